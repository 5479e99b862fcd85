#pragma once
// Reader of the unquoted expression form of worksheet files of format major version 1.
//
// Every node is one type character and its length in words as upper-case hexadecimal:
//
// | char | type     | char | type     | char | type     | char | type     |
// |------|----------|------|----------|------|----------|------|----------|
// | i    | INTNEG   | +    | SUM      | &    | AND      | =    | EQUATION |
// | j    | INTPOS   | (    | FUNCTION | !    | NOT      | $    | LESSEQ   |
// | /    | RATIONAL | u    | UNEVAL   | \|   | OR       | :    | ASSIGN   |
// | e    | FLOAT    | >    | INEQUAT  | ,    | EXPSEQ   | f    | FOR      |
// | n    | NAME     | <    | LESSTHAN | [    | LIST     | ?    | IF       |
// | b    | TABLEREF | l    | LOCAL    | @    | PROC     | r    | READ     |
// | .    | CATENATE | a    | PARAM    | ~    | RANGE    | s    | SAVE     |
// | ^    | POWER    | %    | SET      | t    | TABLE    | ;    | STATSEQ  |
// | *    | PROD     | _    | SERIES   | #    | HASH     | h    | HASHTAB  |
//
// "\" is an empty slot; "p" and a hex number n refers to the node registered under n + 1.
// Integers, LOCAL and PARAM: one separator, then each data word (last first) as four decimal
// characters.  NAME: the value node, a delimiter, the text up to the delimiter ("~(" "{",
// "~)" "}", "~~" "~", "~X" X - 64).  SERIES: the expansion, then (coefficient, separator, hex
// exponent) pairs.  PROC is padded to 9 words.
//
// Node numbers count words read so far: a header one, each integer data word one, a NAME its
// length minus 2 more.
//
// Robustness: lengths are checked against what each type can hold, nesting is capped, a node
// is built only after its operands were read (so a length never allocates more than the input
// supplied, and a reference to a node that is still open, which would make a cycle, is refused),
// and every fault makes the whole expression fail.  Hash tables of this form cannot be rebuilt
// (their keys were addresses of the old program) and fail too.  A name's stored value is read
// and dropped: the result lives in a storage area that the next expression read releases, so it
// cannot become the value of a name that outlives it.

#include "tovu/dag.h"

class KWorksheetReader;

// One expression of the old form at the reader's position; null when it is malformed.
// Builds in the current storage area.
Dag old_expression_read(KWorksheetReader& reader);

// Deepest nesting accepted.
constexpr int OLD_EXPRESSION_MAX_DEPTH = 1000;
