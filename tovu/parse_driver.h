#pragma once
// The parse driver: binds the grammar (parse.y) and the scanner (scan.h) to a character source
// and to handlers for errors, warnings, a premature end of input and label lookups, runs one
// parse and returns one statement.  Also the deep copy that moves a parsed statement out of the
// parse's working storage.
//
// One parse at a time: the driver's settings, the scanner state and the error buffer of
// parse_text_full are process-wide.
//
// A parse ends after one statement with its terminator (";" gives terminator flag 1, ":" gives
// 0) or at one of the words quit, done or stop (STOP).  Two forms produce the control statement
// CONTROL(1) instead of a statement: a text holding nothing but white space and comments, and an
// empty statement (a lone terminator).  Callers split a text into statements by parsing again
// from the consumed offset.
//
// Errors: every error is reported once, through the error printer with the position in
// characters, and the parse returns null.  When the input ends inside a statement the
// premature-end handler is called instead.  Library errors raised while the parse runs (through
// the library's handler stack) are reported the same way.

#include <cstddef>

#include "dag.h"
#include "scan.h"
#include "storage.h"

using LangLabelLookup = Dag (*)(void* context, int number);

enum : unsigned {
    LANG_FRESH_TEXT = 1u << 0,   // discard the scanner's lookahead character first
};

// Parses one statement.  A null callback takes its default: the next character of standard
// input; the error printer with "unexpected end of input"; "Kelvo(%d): %s\n" on standard error;
// "Warning(%d), %s\n" on standard output; no labels.  *outTerminatorFlag (when given) receives
// the statement's terminator flag.
Dag lang_parse(LangCharSource charSource, LangPrematureEnd prematureEnd, LangMessage errorPrinter,
               LangMessage warningPrinter, LangLabelLookup labelLookup, unsigned flags,
               int* outTerminatorFlag, void* context);

// Installs (or, with null, removes) the error hook: called with the position and the message
// before the error printer; a non-zero answer lets the parse go on where it can.
void lang_set_error_hook(LangErrorHook hook);

// Parses the first statement of a NUL-terminated text.
//   outErrorText      the message (at most 255 characters) when the parse failed
//   outErrorPosition  its position (index of the last character taken), -1 when none
//   outConsumed       characters taken, the lookahead character not counted
//   outPrematureEnd   whether the text ended inside the statement
//   outTerminatorFlag 1 for ";", 0 for ":"
//   history           the results that labels (%1, %2, ...) refer to: an EXPSEQ or LIST whose
//                     items are numbered from 1, or null
//   area              when given, a successful statement is deep-copied into it (the NULL
//                     expression when it cannot be copied) and the default area is reset
//                     (storage_reset), so only the copy survives
//   nullLabels        a label past the history gives NULL instead of "undefined label"
// Every output pointer may be null.
Dag parse_text_full(const char* text, const char** outErrorText, int* outErrorPosition,
                    int* outConsumed, bool* outPrematureEnd, int* outTerminatorFlag,
                    const DagWord* history, StorageArea* area, bool nullLabels);
// parse_text_full with no outputs, no history and no area; null on error.
Dag parse_text(const char* text);

// Deep copy.  Each part is copied once (shared parts stay shared).  With `allocate` every node
// comes from it (names and strings are copied, not interned); without, names and strings are
// interned and other nodes come from the current area.  GARBAGE, FOREIGN, CONTROL, PROMPT, DEBUG
// and unknown types cannot be copied: the answer is then null.  Nesting deeper than
// DAG_COPY_MAX_DEPTH fails the same way rather than exhausting the machine stack.
using DagAllocator = DagWord* (*)(StorageArea* area, std::size_t words);
constexpr int DAG_COPY_MAX_DEPTH = 20000;
Dag dag_copy_deep(const DagWord* dag, DagAllocator allocate, StorageArea* area);

// ---- for the grammar (parse.y) ---------------------------------------------------------------
int lang_run_parser();                              // the generated parser's entry
void lang_finish(Dag statement, int terminatorFlag);
Dag lang_lookup_label(int number);                  // null when the label is unknown
void lang_report_failure(const char* message);      // a syntax error of the grammar
