#pragma once
// The repairing math-input parser: parses a line of math input and, when it does not parse,
// repairs it in two stages, parsing again after each:
//   1. `balance` closes brackets, quotes and block keywords left open and opens those closed
//      without an opener;
//   2. `insert_operators` fills a gap between operators with the placeholder "%?" and writes
//      implicit multiplications ("2x", "a b") as "*".
// At most three parses run; nothing else is tried.
//
// Both stages work on a token text: a string of 16-bit units in which every byte of the user's
// text (cp1252, any value 0..255) stands for itself and the 40 keywords and operators of
// kRepairTokens, the start mark and the end mark have codes above 255.  So every byte of the
// input passes both stages unchanged and in order; the stages only insert text and collapse
// runs of blanks.
//
// The balancing stack grows with the text (a line of any number of open brackets is balanced).
// No message reaches the user from here: the parser's message callbacks are silent, and a text
// that still fails after both repairs gives null.
//
// Single-threaded: the parse's character state is process-wide, as the language parser is.

#include <cstdint>
#include <string>

#include "tovu/dag.h"

using RepairUnit = std::uint16_t;
using TokenText = std::basic_string<RepairUnit>;

// Token codes: REPAIR_TOKEN_FIRST + index into the token table; the marks follow.
constexpr int REPAIR_TOKEN_COUNT = 40;
constexpr RepairUnit REPAIR_TOKEN_FIRST = 0x100;
constexpr RepairUnit REPAIR_START_MARK = REPAIR_TOKEN_FIRST + REPAIR_TOKEN_COUNT;
constexpr RepairUnit REPAIR_END_MARK = REPAIR_START_MARK + 1;
// The token table, in the order tokens are tried (index = code - REPAIR_TOKEN_FIRST).
extern const char* const kRepairTokens[REPAIR_TOKEN_COUNT];

// Parses the first statement of a NUL-terminated text, repairing it when needed.
//   repaired  null when the text parsed unchanged; else a text from buffer_new (the caller frees
//             it with buffer_free), or null when no repair parsed.  May be null: the repaired
//             text is then freed at once.
//   position  the number of characters the parse consumed when the text parsed unchanged (at
//             most the text's length), else -1.  May be null.
// Result: the statement's DAG (in the current storage area), or null.
Dag parse_with_repair(const char* text, char** repaired, int* position);

// The token text of a text: the start mark, the text with its tokens as codes, blanks collapsed,
// backquoted parts copied unchanged, the end mark.
TokenText tokenize(const std::string& text);
// The text of a token text: tokens written out with blanks around them, marks dropped.
std::string detokenize(const TokenText& tokens);

// The bracket, quote and keyword repair: tokenize, at most five balancing cycles (stopping
// after a cycle that changed nothing), detokenize.
std::string balance(const std::string& text);
// One balancing cycle: the forward pass (left to right, adding missing closers) and the
// backward pass over its output (right to left, adding missing openers).
TokenText balance_cycle(const TokenText& tokens);
// The operator repair: " %? " in gaps between operators, "*" for implicit products.
std::string insert_operators(const std::string& text);
