#pragma once
// The worksheet's reply-stream handlers: the 27 handlers of the global stream table, each
// turning one kernel reply (context: the WorksheetDocument of the running statement) into an
// output for the statement's sink, a change of interface variables, a status update, a help
// document, a wait for a line of user input, a redirection to a file or an interrupt.
//
// Registration order (the table's order; an unknown stream falls back to PRINT):
//   DONE RESULT CHAR LPRINT PRINT PLOT PLOT3D TEXT INTR SET GET REDIRECT READLINE ERROR
//   FATALERR WARN DIAG HELP INFO DEBUG STATUS LOGO START STOP CALLBACK SMARTPLOT2D SMARTPLOT3D
//
// Replies are outside data: every handler checks the shape it reads and ignores a reply of
// another shape.  Answers are NULL unless noted (SET, GET, REDIRECT, READLINE).

#include <string>
#include <vector>

#include "tovu/dag.h"
#include "util/KString.h"

class WorksheetDocument;

constexpr int REPLY_STREAM_COUNT = 27;
extern const char* const replyStreamNames[REPLY_STREAM_COUNT];

// The text of the last LOGO reply whose first element was a text; empty until then.
KString& kernelBanner();

void registerReplyStreams();
void freeReplyStreams();

// The text of a STRING or NAME, else null.
const char* replyText(const DagWord* dag);
// Element n (from 1) of an expression sequence, else null.
const DagWord* replyElement(const DagWord* reply, std::size_t n);
// Number of elements of an expression sequence (0 for anything else).
std::size_t replyCount(const DagWord* reply);

// The help worksheet of a TEXT reply: its title and the texts of its paragraphs.
struct HelpText {
    std::string title;
    std::vector<std::string> paragraphs;
};
HelpText helpTextOf(const DagWord* reply);

// The seconds of a STATUS reply as text ("2.5"), without a fixed buffer; empty when the value
// is not a number.
std::string statusTimeText(const DagWord* seconds);
// Bytes for a word count, computed without overflow; negative when not a non-negative integer.
double statusByteCount(const DagWord* words);

// The help manager's stream (stand-in until the help manager is wired): receives HELP replies.
using HelpStreamHook = void (*)(WorksheetDocument* document, Dag reply);
void setHelpStreamHook(HelpStreamHook hook);
