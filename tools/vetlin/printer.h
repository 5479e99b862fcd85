#pragma once
// The expression printer: an object back into the language's own syntax, through the line
// writer, with parentheses only where precedence needs them.  It never fails: what it cannot
// show prints "----unable to print----".
//
// Precedence by type (higher binds tighter); an object below its context's precedence is
// printed between parentheses, with context 0 inside:
//
//   1 OR   2 AND   3 NOT   4 EQUATION INEQUAT LESSEQ LESSTHAN HASH   5 RANGE   6 SERIES   7 SUM
//   8 INTNEG   9 RATIONAL PROD   10 POWER   11 FLOAT TABLEREF DCOLON FUNCTION
//   12 INTPOS STRING NAME CATENATE LIST LOCAL PARAM PROC SET   0 every other type
//
// A negative number is parenthesised at context 6 and above (a negative float at 9 and above).
// Special parameters: PARAM -1 prints "args", 0 "nargs", -2 "procname".  SERIES(x, c1, o1,
// c2, o2, ...), the orders raw integers, prints its terms c*x**o joined by "+" ("**(o)" for a
// negative order; a term of order 0 is its coefficient alone), a term whose coefficient is the
// name O as "O(x**o)".

#include <string>

#include "tools/vetlin/store.h"

void printer_print(const VWord* o, int context = 0);
// The object as text (tests; the same forms without the line writer's wrapping).
std::string printer_text(const VWord* o);
