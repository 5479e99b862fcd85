#pragma once
// The language scanner: turns the characters of a statement into tokens for the grammar in
// parse.y.  One scanner state exists per process (parses run one at a time); the parse driver
// (parse_driver.cpp) binds it to a character source and resets it at the start of each parse.
//
// Characters come from a callback one at a time; NUL or -1 ends the input.  The scanner keeps one
// character of lookahead, counts every character taken from the source (`position`, escapes
// counted with their backslash) and removes backslash escapes before anything else sees them:
//
// | source            | character seen                                              |
// |-------------------|-------------------------------------------------------------|
// | \ + white space   | nothing (line continuation: both are dropped)               |
// | \a \b \e \f \r \t \v | 7 8 27 12 13 9 11                                        |
// | \n \" \`          | SCAN_ESC_NEWLINE / SCAN_ESC_DQUOTE / SCAN_ESC_BQUOTE (above |
// |                   | the byte range: literal inside strings and quoted names,    |
// |                   | "syntax error, `\` unexpected" anywhere else)               |
// | \ + other         | that character                                              |
//
// Token values are DAGs of the current storage area (names and strings interned).  Errors found
// by the scanner itself go through scan_report_error, the same road as the parser's syntax
// errors; scan_syntax_message builds the message of a syntax error from the current token.

#include <cstdint>
#include <string>

#include "dag.h"

// Token codes.  Single characters are their own code (1..255); the named kinds start at 300 and
// parse.y declares the same numbers.
enum LangToken : int {
    LT_END = 0,
    LT_ASSIGN = 300,   // :=
    LT_DCOLON,         // ::        value: the name "::"
    LT_RANGE,          // .. (and any longer run of dots)
    LT_NAME,           // value: NAME
    LT_INTEGER,        // value: INTPOS
    LT_INTEXP,         // digits with an exponent; value: INTPOS, exponent in the token
    LT_NEUTRAL,        // &name or & and symbol characters; value: NAME of the whole operator
    LT_ANDSTAR,        // &*
    LT_ATAT,           // @@        value: the name "@@"
    LT_AT,             // @ or intersect; value: the name "@" or "intersect"
    LT_LE,             // <=
    LT_NE,             // <>
    LT_GE,             // >=
    LT_STRING,         // value: STRING
    LT_ARROW,          // ->
    LT_POWER,          // ^ or **
    LT_LABEL,          // % before a digit
    // reserved words (a row of the word table shares one token)
    LT_AND, LT_BY, LT_DESCRIPTION, LT_DO, LT_QUIT, LT_ELIF, LT_ELSE, LT_END_WORD, LT_FI, LT_FOR,
    LT_FROM, LT_GLOBAL, LT_IF, LT_IN, LT_LOCAL, LT_MINUS_UNION, LT_MOD, LT_NOT, LT_OD, LT_OPTION,
    LT_OR, LT_PROC, LT_READ, LT_SAVE, LT_THEN, LT_TO, LT_WHILE,
    LT_BADCHAR,        // a character no rule uses (control characters, bytes above 126)
};

// Escaped forms, outside the byte range.
constexpr int SCAN_ESC_NEWLINE = 256;
constexpr int SCAN_ESC_DQUOTE = 257;
constexpr int SCAN_ESC_BQUOTE = 258;

using LangCharSource = int (*)(void* context);
using LangPrematureEnd = void (*)(void* context, int position);
using LangMessage = void (*)(void* context, int position, const char* message);
// Installed by callers that may repair an error; a non-zero result lets the parse go on.
using LangErrorHook = int (*)(int position, const char* message);

// Thrown by the scanner and the parser to abandon a parse; the driver catches it.
struct LangParseAbort {};

struct ScanState {
    LangCharSource source = nullptr;
    void* context = nullptr;
    LangPrematureEnd prematureEnd = nullptr;
    LangMessage errorPrinter = nullptr;
    LangMessage warningPrinter = nullptr;
    LangErrorHook errorHook = nullptr;
    // When set, characters are read straight from this NUL-terminated text instead of through
    // `source` (the driver sets it for a text it holds whole); runs of plain characters are then
    // taken in bulk.
    const unsigned char* cursor = nullptr;

    int lookahead = -2;           // next character; -2 none
    int lookaheadWidth = 0;       // source characters that produced the lookahead
    std::int32_t position = 0;    // characters taken from the source
    bool atEnd = false;           // the end of input was met where a statement was not complete
    bool errorReported = false;   // one report per parse

    // current token
    int token = LT_END;
    int tokenChar = 0;            // the character of a single-character or bad-character token
    const char* tokenWord = nullptr;   // the reserved word as written
    Dag tokenValue = nullptr;
    int digitCount = 0;
    std::int32_t exponent = 0;

    std::string text;             // scratch for names, strings and digit runs
};

extern ScanState scan;

// Resets the scanner for a new parse; `fresh` also discards the lookahead character.
void scan_reset(bool fresh);
// Reads the next token into scan.token / tokenValue / digitCount / exponent and returns it.
int scan_token();
// Characters taken from the source, not counting the pending lookahead.
int scan_consumed();

// Index of a reserved word in the sorted table of 32, or -1.  One-character texts are never
// reserved.
int lang_keyword_index(const char* text);
constexpr int LANG_KEYWORD_COUNT = 32;
extern const char* const lang_keywords[LANG_KEYWORD_COUNT];

// The message of a syntax error at the current token.
std::string scan_syntax_message();
// Reports an error at the current position: premature end when the input ended inside the
// statement, else the error hook and then the error printer.  Returns only when the hook
// accepted the error; otherwise throws LangParseAbort.
void scan_report_error(const char* message);
// The same report for errors after which the parse cannot go on, whatever a hook answers.
[[noreturn]] void scan_fail(const char* message);
// Reports a warning at the current position; the parse goes on.
void scan_report_warning(const char* message);
