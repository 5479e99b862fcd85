#pragma once
// Pieces around the language scanner and parser that the console tools carry: the table of
// data-structure labels (the DAG type names) in both directions, the reserved-word lookup, a
// character reader with the scanner's backslash escapes, the stack that lets one parse run
// inside another, the entry that starts a parse with its callbacks, and a collector of all
// names in an expression.
//
// Errors go through the expression library's error routine (tovu_error): "unknown data
// structure label", "parsers nested too deeply", "too many parsers popped from internal stack".

#include <cstdint>

#include "tovu/dag.h"
#include "tovu/parse_driver.h"

constexpr int PARSER_STACK_LEVELS = 20;

unsigned label_to_type(const char* label);         // 1..46
const char* type_to_label(std::uintptr_t code);    // null outside 1..46; a header word above
                                                   // 0x1FFFF gives its type field's label
int keyword_index(const char* name);               // 1-based in the table of 32; 0 when absent

// The character reader: binds a source, then scan_char reads with escapes and scan_next keeps
// one character of lookahead.
void scan_support_bind(LangCharSource source, void* context);
// The next character with escapes applied: backslash + white space is skipped, \" -> 258,
// \` -> 257, \a \b \e \f \n \r \t \v -> 7 8 27 12 256 13 9 11, backslash + other -> other.
int scan_char();
// The current character, reading the following one ahead.  At the end of input the lookahead
// is cleared and the parse is abandoned (LangParseAbort).
int scan_next();
int scan_support_lookahead();    // -2 when none
int scan_support_position();     // characters taken from the source

// Saves the scanner state around a nested parse; 20 levels.
void parser_push();
void parser_pop();
int parser_depth();

// One statement: null arguments take their defaults (standard input; "Kelvo(%d): %s\n" on the
// standard error stream; "unexpected end of input" through the error printer; "Warning(%d),
// %s\n" on the standard output; no labels).  Flag bit 0 discards the lookahead first.  The
// number of characters read goes to *outPosition when given.  Null after an error.
Dag parse_start(unsigned flags, LangCharSource source, LangPrematureEnd prematureEnd,
                LangMessage errorPrinter, LangMessage warningPrinter, LangLabelLookup further,
                void* context, int* outPosition);

// An EXPSEQ of every distinct NAME reachable from the expression, in the order first met.
Dag collect_names(const DagWord* expression);
