#pragma once
// The one-line printer: writes an expression DAG in the language's linear input syntax through a
// character sink (the caller decides where the text goes).  It parenthesises by the operator
// precedences below, quotes names and strings where needed, writes procedures, loops and
// conditionals in full, and breaks lines at a given width, with a backslash continuation when a
// break falls inside a token (a number, name or word).
//
// Precedence by type (higher binds tighter; a DAG whose precedence is below its context's is
// parenthesised):
//
// | 12 | INTPOS STRING NAME CATENATE LIST LOCAL PARAM LEXICAL PROC SET |
// | 11 | FLOAT TABLEREF DCOLON FUNCTION HFARRAY                       |
// | 10 | POWER              |  9 | RATIONAL PROD  |  8 | INTNEG       |
// |  7 | SUM                |  6 | SERIES         |  5 | RANGE        |
// |  4 | EQUATION INEQUAT LESSEQ LESSTHAN HASH                      |
// |  3 | NOT  |  2 | AND  |  1 | OR  |  0 | every other type          |
//
// Quoting modes: 0 (names quoted where needed), 1 (names at the outermost level never quoted),
// 9999 (raw: strings unquoted, names quoted only inside procedures).
//
// Errors ("unprintable data structure" and any library error raised while printing) go to the
// error sink and end the print at once; what was written stays with the sink.  The output and
// printer state is process-wide and set at each call.

#include <string>

#include "dag.h"
#include "encode.h"

enum : unsigned {
    PRINT_RAW = 1u << 0,          // quoting mode 9999
    PRINT_ATTRIBUTES = 1u << 1,   // show attributes with setattribute(...)
    PRINT_TOP_UNQUOTED = 1u << 2, // quoting mode 1 (when PRINT_RAW is clear)
    PRINT_TILDES = 1u << 3,       // show the trailing tildes of names
};

// Deepest nesting the printer follows; a deeper DAG is "unprintable data structure".
constexpr int PRINT_MAX_DEPTH = 5000;

using OutLineBreakHook = void (*)();

// Prints one DAG at the outermost level.  Null sinks take the defaults (standard output;
// "Output Error: %s\n" on standard error).  The line width used is `width` - 1; 0 or less: none.
void print_expression(const DagWord* dag, DagSink sink, DagErrorSink errorSink, int width,
                      unsigned flags, void* data);
// Prints the items of an expression sequence with the separator: " " is a space or break, a
// character followed by a space is that character and a space or break, anything else is
// written as it is.
void print_sequence(const DagWord* dag, const char* separator, DagSink sink, DagErrorSink errorSink,
                    int width, unsigned flags, void* data);

// The printer's current procedure: a process-wide setting that every print starts from, so that
// a LOCAL, PARAM or LEXICAL printed outside its procedure's own text (a part of a procedure
// shown by itself) prints by its declared name.  Null (the default): they print as loc[n],
// args[n] and lex[n].  PrintProcedureScope sets it for its lifetime and restores what it found.
void print_set_current_procedure(const DagWord* proc);
const DagWord* print_current_procedure();

class PrintProcedureScope {
public:
    explicit PrintProcedureScope(const DagWord* proc) : saved_(print_current_procedure()) {
        print_set_current_procedure(proc);
    }
    ~PrintProcedureScope() { print_set_current_procedure(saved_); }
    PrintProcedureScope(const PrintProcedureScope&) = delete;
    PrintProcedureScope& operator=(const PrintProcedureScope&) = delete;

private:
    const DagWord* saved_;
};

// Whether a name's text must be written between backquotes to read back as the same name.
bool name_needs_quotes(const char* text);

// Conveniences for callers that want the text (errors give the text written so far and, when
// `error` is given, the message).
std::string print_to_text(const DagWord* dag, unsigned flags = 0, int width = 0,
                          std::string* error = nullptr);

// ---- output layer ------------------------------------------------------------------------------
void out_set_sinks(DagSink sink, DagErrorSink errorSink, OutLineBreakHook hook, int width, void* data);
void out_char(int c);
void out_text(const char* text);
void out_long(long value);
void out_space_or_break();
void out_continuation();
void out_error(const char* message);
int out_column();
int out_width();
