#pragma once
// The checker's input reader, lexer and syntax-error reporter.
//
// Lines are read from the current input file (input.h) into a line buffer of 512 bytes: a
// longer line is read in pieces of 511 characters, and the piece that starts a line raises the
// line number (storeLine), so a last line without its newline has its own number too.  A line beginning with "!" is skipped (after a flush of the
// report output), as is a line that is only a backslash.  Before each line read from a terminal
// the prompt goes to the report output.
//
// The character reader joins a line ending in a backslash with the next one and turns a
// backslash pair into one character: \a \b \e \f \r \t \v their control codes, \n the code 256
// (a newline inside text), \` 257 and \" 258 (quotes that do not end a text); a backslash before
// any other character gives that character.  A NUL byte is a character like any other.
//
// Tokens (tokens.h) carry their object in lexerValue: names their unique NAME (a back-quoted
// name that needed no quotes gets the mark in its prefix word), strings a STRING, integers an
// INTPOS, integers with an exponent a FLOAT (mantissa, exponent), "@", "@@", "::", neutral
// operators and the words minus, union and intersect their NAME, relations their kind.  Keywords and brackets are fed to the construct
// matcher.  Outside a text, the codes 256-258 would read as tokens: they are returned as 127, a
// character the grammar has no use for.

#include <cstdint>

#include "tools/vetlin/store.h"

extern VWord lexerValue;
extern long lexerDigits;   // digits of the last number, leading zeros included

// Relation kinds in lexerValue of TOK_RELATION: the type code from bit 13 on; ">=" is "<="
// with the operands swapped, a negative kind.
constexpr long VL_KIND_LESSEQ = long(DAG_LESSEQ) << 13;
constexpr long VL_KIND_INEQUAT = long(DAG_INEQUAT) << 13;
constexpr long VL_KIND_GREATEREQ = -VL_KIND_LESSEQ;

constexpr int VL_SYNTAX_ERROR_LIMIT = 5;

void lexer_init();      // the matcher reset, empty buffers, no line read
void lexer_release();

int lexer_next_token();

// Reports a syntax error at the last token (see the reporter's rules in lexer.cpp); the fifth
// error of a run finishes the file.
void lexer_syntax_error(const char* message);
long lexer_syntax_errors();

// The integer whose decimal digits are those of `integerPart` followed by the `digits` digits
// of `fraction` (leading zeros included).
VObj lexer_fraction_mantissa(const VWord* integerPart, const VWord* fraction, long digits);

// Decimal text of an integer object's magnitude, and an INTPOS from decimal digits.
std::string lexer_decimal(const VWord* integer);
VObj lexer_integer(const std::string& digits);
