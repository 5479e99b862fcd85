#pragma once
// WorksheetDocument: the document of an ordinary worksheet.  On top of Document it owns the
// connection to the math kernel (a QuietEvaluator over a KKernelSession) and the execution
// queue.  An input region's text comes in through executeInput with the region's OutputSink;
// the text is parsed into statements, queued between a begin and an end marker, started one at
// a time on the session, and every kernel reply is routed through the reply-stream handlers
// (ReplyStreams.h) to the sink of the statement that runs.
//
// States while executing (the function making each transition):
//
//   idle --executeInput--> parsing --(region queued)--> queued
//   queued --runExecutionQueue (begin marker, start)--> running
//   running --DONE reply (routeOutput)--> statement done --runExecutionQueue--> running | idle
//   running --INTR reply--> draining --runExecutionQueue--> idle (resetOutput on every node)
//   any --link found dead (drainAfterDeadLink)--> idle (resetOutput on every node)
//   running --READLINE reply--> waiting (events pumped until the answer, STOP, Interrupt or a
//                               dead link ends the wait)
//
// Invariants:
//   1. Every sink that got beginOutput gets exactly one endOutput or resetOutput, also when the
//      low-memory check refuses a region (it then gets beginOutput and endOutput at once).
//   2. While a reply handler of this document runs, the document is not destroyed: a delete
//      requested meanwhile (requestDestroy) is carried out when the last handler returns.
//   3. No exception leaves kernelReplyCallback or kernelPollCallback: they are called by the
//      kernel library.
//
// Ownership: the evaluator is owned by the document when its link type is not 2; an evaluator
// of the shared in-process kernel (link type 2) stays in the host's evaluator list for the next
// document.  The queue's nodes borrow their sinks; the parsed statements live in the
// "Parsed_DAGs" area, freed whenever the queue runs empty.
//
// WorksheetHost stands in for the pieces of the application that are not built yet: the
// options (kernel mode, link kind, kernel words, server command, template path), the main
// frame's evaluator list, the application's directLink, the GUI pump, the status bar and the
// help window.  Each hook is null until the layer that provides it is wired.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "document/edit/Document.h"
#include "document/exec/OutputSink.h"
#include "document/exec/KernelQueue.h"
#include "tovu/dag.h"
#include "tovu/storage.h"
#include "util/KString.h"

class KL_Direct;
class KKernelSession;
class QuietEvaluator;
struct StorageArea;
class WorksheetDocument;

// The options' kernel mode and link kind.
enum : int {
    kKernelShared = 0,        // one kernel for every worksheet (any value but kKernelPerWorksheet)
    kKernelPerWorksheet = 1,  // one kernel per worksheet
    kLinkInProcess = 2,       // the kernel library in this process
    kLinkServer = 3,          // a kernel server (any value but kLinkInProcess)
};

// Where a new worksheet's kernel connection comes from: answers the evaluator the document
// uses (listed in the host's evaluators), or null for a document without a kernel, whose
// statements end at once as after a dead link.  connectKernelFromOptions builds the link the
// host's options ask for; connectNoKernel lets tests and fuzz targets load and write
// worksheets without starting a kernel.
using KernelConnectionFactory = QuietEvaluator* (*)(WorksheetDocument* document);
QuietEvaluator* connectKernelFromOptions(WorksheetDocument* document);
QuietEvaluator* connectNoKernel(WorksheetDocument* document);

struct WorksheetHost {
    // Options.
    int kernelMode = kKernelShared;            // kKernelPerWorksheet, or one shared kernel
    int linkKind = kLinkInProcess;             // kLinkInProcess, or (any other) a server
    KernelConnectionFactory connectKernel = connectKernelFromOptions;
    std::vector<std::string> kernelArgs{"wkelvo"};   // program name first
    std::string serverCommand;                 // the server command line (empty: the default)
    std::string kernelLibrary;                 // in-process kernel library (empty: the default)
    std::string templatePath;                  // style template worksheet (empty: unset)

    // Main frame and application.
    std::vector<QuietEvaluator*> evaluators;   // the main frame's evaluator list
    KL_Direct* directLink = nullptr;           // the last in-process link built
    int untitledCount = 0;                     // new worksheets so far: "Untitled (n)"

    // Processes pending GUI events (Application::reschedule).  Called on every fifth kernel poll
    // and repeatedly while a READLINE request waits.
    void (*reschedule)(void* data) = nullptr;
    void* rescheduleData = nullptr;
    // The low-memory check before a region is queued (warnLowVirtualMemory by default).
    bool (*lowMemoryCheck)() = nullptr;
    // The status bar: memory and time texts of the active worksheet's session.
    void (*showKernelStatus)(WorksheetDocument* document, const char* memory, const char* time) = nullptr;
    // The help window for a TEXT reply: takes the new help document and its paragraphs (each
    // the text of one paragraph of style 10).  Without a hook the document is deleted.
    void (*showHelpDocument)(std::unique_ptr<WorksheetDocument> document,
                             const std::vector<std::string>& paragraphs) = nullptr;
    // Whether the document's window is the application's active window.
    bool (*isActiveWindow)(WorksheetDocument* document) = nullptr;
    // Creates the application's placeholder expressions once; called by every new worksheet
    // document that connects to a kernel.
    void (*initExpressionPlaceholders)() = nullptr;
};
WorksheetHost& worksheetHost();

class WorksheetDocument : public Document {
public:
    // title: a file path, a help title ("Kelvo Library Help ...") or null for a new worksheet.
    // root: the root element (owned from now on), or null.
    explicit WorksheetDocument(const char* title, Element* root = nullptr);
    ~WorksheetDocument() override;

    // ---- Document -------------------------------------------------------------------------
    int documentKind() const override { return isHelpDocument_ ? 2 : 1; }
    std::string filePath() const override { return std::string(filePath_.text()); }
    bool hasIdleSession() const override;
    KInterfaceVars* interfaceVars() const override;
    virtual void runQueue();

    // ---- title ----------------------------------------------------------------------------
    void setTitle(const char* text);

    // ---- execution ------------------------------------------------------------------------
    // Parses the region's text and queues its statements.  False when the low-memory check
    // refused the region (the sink then got beginOutput and endOutput, so it is not busy).
    bool executeInput(OutputSink* sink, const KString& text);
    void runExecutionQueue();
    bool routeOutput(Dag dag, int kind);
    void outputWarning(const char* text);
    void outputError(const char* text);
    void outputSyntaxError(int position, const char* text);
    void outputIncomplete(int position, const char* text);
    // How lineOutput adds a reply to the print buffer.
    enum LineOutputMode {
        kLineItems,   // the items of a sequence printed, a line end, the buffer flushed
        kLineChars,   // the reply's text appended; flushed when it ends a line
    };
    void lineOutput(Dag dag, LineOutputMode mode);
    void flushPrintBuffer();
    void startSession();
    void interrupt();
    // The link is dead: drain the queue as after an interrupt (resetOutput on every remaining
    // node, interrupted cleared, "Parsed_DAGs" freed, computing off).
    void drainAfterDeadLink();
    // The synchronous service of a server link for code that runs without the main frame's
    // poll (tests, benchmarks, fuzz targets): reads the replies that are waiting (all of them
    // until the statement's DONE when wait is set), dispatches each through kernelReplyCallback
    // and sends the answer back.  False when the link is dead.
    bool serviceServerLink(bool wait);
    // Whether the link has failed for good; a server link is polled, so a server that has gone
    // is noticed also while the document waits for something else.
    bool linkIsDead();
    // One step of the execution path without the main frame: runs the queue (starts
    // the next statement, ends finished regions), services a server link (reading up to the
    // running statement's DONE when wait is set) and drains the queue when the link is found
    // dead.  Answers whether the queue still holds work.
    bool pollExecution(bool wait);
    // Steps with pollExecution(true) until the queue is empty (at most maxSteps steps) and once
    // more, so that the last region ends: the event loop of tests, benchmarks and fuzz targets.
    void runExecutionToEnd(int maxSteps = 10000);
    // The computing state, handed on to the active editing target (its window).
    void setComputing(bool on);

    QuietEvaluator* evaluator() const { return evaluator_; }
    Dag evaluateString(const char* text);
    const char* memoryStatusText() const;
    const char* timeStatusText() const;
    bool isHelpDocument() const { return isHelpDocument_; }
    bool computing() const { return computing_; }
    bool queueIsEmpty() const { return queue_.isEmpty(); }
    bool startupRunning() const { return startupRunning_; }

    // Deletes the document now, or when the last of its reply handlers has returned.
    void requestDestroy();

    // ---- kernel callbacks (context: the document) ------------------------------------------
    static Dag kernelReplyCallback(void* document, Dag reply);
    static void kernelPollCallback(void* document);

    // ---- members the reply handlers and the execution groups use ---------------------------
    int fileMajorVersion = 0;
    int fileMinorVersion = 0;
    Element* answerGroup = nullptr;
    bool waitingForReadline = false;
    KString readlineAnswer;
    bool readlineHelpQueries = false;
    std::FILE* redirectFile = nullptr;
    bool replaceOutput = true;
    bool insertMode = false;
    // The user kept the window when it was to close after the kernel's STOP or death: the
    // window is not asked again.
    bool closeDeclined = false;

    // The sink of the statement that runs (parsingSink while parsing); null when none.
    OutputSink* currentSink() const;
    // The GUI pump of the host, when there is one.
    static void pumpEvents();

    // Keeps the document alive while one of its handlers runs (see invariant 2).
    class HandlerScope {
    public:
        explicit HandlerScope(WorksheetDocument* document);
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

    private:
        WorksheetDocument* document_;
    };

private:
    void connect();
    void readStyleTemplate();
    void installCallbacks();
    void drainQueue();
    void freeParsedStatements();

    QuietEvaluator* evaluator_ = nullptr;
    bool firstOutputPending_ = false;
    bool statementDone_ = false;
    KernelQueue queue_;
    bool parsing_ = false;
    OutputSink* parsingSink_ = nullptr;
    bool startupRunning_ = false;
    OwnedArea parsedStatements_{0, "Parsed_DAGs"};
    bool isHelpDocument_ = false;
    KString filePath_;
    bool computing_ = false;
    int handlerDepth_ = 0;
    bool destroyRequested_ = false;
    // Line-printed text of the running statement: CHAR text may arrive in pieces, so it is kept
    // until a line ends (or the statement's output is flushed).
    KString printBuffer_;
    bool printPending_ = false;
    int pollCount_ = 0;   // kernel polls since the GUI events were last pumped
};

