#pragma once
// One run of the syntax checker `vetlin`: the run settings, the error tables with
// `RecordErrorClass`, the checker's constants and predefined names, the fatal path, the debug
// dump and the statement loop.
//
// A run is one call of vetlin_main (vetlin.h).  All state of a run lives in `vl` and in the
// store, the line writer and the input-file stack, which vetlin_main resets before it starts,
// so one process can run the checker many times (tests, fuzz targets).  Every end of a run
// (the fatal path, the usage text, the end of the file) throws VetlinExit with the exit status,
// which vetlin_main catches; nothing is cleaned up on the way except what vetlin_main owns.
//
// Exit statuses: 127 for a fatal condition or a failed start-up; otherwise 4 - TotalSeverity.

#include <cstdio>
#include <string>

#include "tools/vetlin/store.h"

struct VetlinExit {
    int status;
};
[[noreturn]] void vl_exit(int status);

// The fatal path: the message becomes the value of `lasterror`, "%s\n" goes to the report
// output, and the run ends with status 127.  The two variants write "System error (in %s)\n"
// and "Object too large (in %s)\n" with the routine's name.
[[noreturn]] void vl_fatal(const char* message);
[[noreturn]] void vl_fatal_system(const char* routine);
[[noreturn]] void vl_fatal_too_large(const char* routine);

// Number of error numbers and of info levels.
constexpr int VL_ERRORS = 32;
constexpr int VL_LEVELS = 5;

// Positions in the table of predefined names (dag_builtin_texts of tovu holds the same 217 texts
// in the same order) that the checker uses by number.
enum : int {
    VL_PRE_DIGITS = 5, VL_PRE_NULL = 8, VL_PRE_ORDER = 11, VL_PRE_ARROW = 19,
    VL_PRE_FACTORIAL = 26, VL_PRE_LASTERROR = 33, VL_PRE_LIBNAME = 35, VL_PRE_MOD = 38,
    VL_PRE_OPERATOR = 42, VL_PRE_PRINTLEVEL = 43, VL_PRE_TRUE = 49, VL_PRE_DOLLAR = 96,
};
constexpr int VL_PREDEFINED = 217;

// What the checks record for one procedure, or for the file outside procedures.  Saved on entry
// to a procedure's analysis and restored on exit, so nested procedures have their own.  The
// lists are growable EXPSEQs (store.h).
struct VetlinScope {
    // Usage records (type 46: flags word, name): parameters, locals, scoped names, globals,
    // underscore globals, library and system names, catenated names.
    VObj parameters = nullptr, locals = nullptr, scoped = nullptr;
    VObj globals = nullptr, underscoreGlobals = nullptr, systemNames = nullptr, catenated = nullptr;
    VObj errors = nullptr;         // error records: flags bit n for error n, the name
    VObj notAssigned = nullptr;    // locals not yet assigned (names)
    VObj declaredGlobals = nullptr;   // the procedure's declared globals (EXPSEQ)
    // Location lists.  Pairs (object, line) unless said otherwise.
    VObj argumentCounts = nullptr;     // EXPSEQ(name, arguments, line, least, most, file) each
    VObj unreachable = nullptr;        // (jump name, line)
    VObj outsideLoops = nullptr;       // (break or next, line)
    VObj outsideProcedures = nullptr;  // (RETURN, ERROR or goto, line)
    VObj macroNames = nullptr;         // (macro name, line): expanded to a non-name
    VObj seqConstructs = nullptr;      // (call, line)
    VObj equations = nullptr;          // lines
    VObj impliedMultiplications = nullptr;   // (call, line)
    VObj invalidTargets = nullptr;     // lines
    VObj backquotes = nullptr;         // (name, line)
    VObj argsCalls = nullptr;          // (called name, line)
    VObj errorTexts = nullptr;         // argument sequences of ERROR calls
    VObj calledFunctions = nullptr;    // names
    bool usesArgs = false;
    bool usesNargs = false;
    // The statement checks' state: the jump state, the loop depth and the active loop variables
    // (innermost last).
    bool jump = false;
    VObj jumpName = nullptr;
    long jumpLine = 0;
    long loopDepth = 0;
    VObj loopVariables = nullptr;
};

struct VetlinRun {
    // Streams: the caller's standard streams, and the report output (standard output or the
    // file of -o).
    std::FILE* in = nullptr;
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
    std::FILE* report = nullptr;
    std::FILE* reportFile = nullptr;    // the -o file, owned
    std::FILE* appendDatabase = nullptr;   // the -a file, owned
    std::string program = "vetlin";     // argv[0], for messages

    // Settings of the command line and the start-up file.
    std::string fileName = "stdin";     // the current file name
    std::string path;                   // the current path, then the routine name worked out in it
    std::string libraryDirectory;
    int infoLevel = 2;
    bool syntaxOnly = false;
    bool suppressLibraryWarnings = false;   // -l
    bool noLogo = false;                    // -q
    bool skipStartupFile = false;           // -s
    bool crossReference = false;            // -x
    bool allPackages = false;               // -p
    bool impliedDo = false;                 // -n
    bool databaseLoaded = false;            // -d

    // Errors: class, turned-off and forced flag per error number; counts per class; the highest
    // error reported at each info level.
    int errorClass[VL_ERRORS] = {};
    bool turnedOff[VL_ERRORS] = {};
    bool forced[VL_ERRORS] = {};
    long classCount[VL_LEVELS] = {};
    int highestError[VL_LEVELS] = {0, 5, 21, 31, 31};
    int Severity = 4;
    int TotalSeverity = 4;
    bool forcedReport = false;

    // The debug switch: 1 enables the dumps.  No option sets it; tests do.
    int debug = 0;
    // Set while the fatal path runs: a failure inside it ends the run at once.
    bool inFatal = false;

    // Constants and names made at start-up.
    VObj zero = nullptr, one = nullptr, minusOne = nullptr, ten = nullptr, null = nullptr;
    VObj builtin = nullptr;
    VObj predefined[VL_PREDEFINED] = {};
    VObj fileNameObject = nullptr;
    VObj endOfInput = nullptr;

    // The scope under analysis (file level outside procedures), the nesting depth of procedure
    // analyses, and the macro table: pairs (macro or alias name, value).
    VetlinScope scope;
    int depth = 0;
    VObj macros = nullptr;
    const char* prompt = "";
};
extern VetlinRun vl;

// Starts a fresh run on the given streams: resets `vl`, the store, the line writer and the
// input stack.  Closes what an earlier run left open.
void vl_begin_run(std::FILE* in, std::FILE* out, std::FILE* err);
// Closes the files the run opened (report file, database, input files).
void vl_end_run();

// The steps of a run, in order (vetlin_main calls them).
void vl_make_constants();          // tables and the constants 0, 1, -1, 10, NULL
void vl_init_checker();            // builtin, predefined names, values, tables, banner
void vl_statement_loop();          // until the end-of-input marker, then the end of the file

// Counts error n: 0 when it is turned off; otherwise the forced-report flag, Severity and the
// class count are updated and the result is 1.
int RecordErrorClass(int n);

// The debug dump of an object under a title; does nothing unless vl.debug is 1.
void vl_dump(const VWord* o, const char* title);

// The banner's five lines (without -q).
extern const char* const vl_banner[5];
