#pragma once
// The statement parser of the checker and its lexer.

#include "tools/vetlin/store.h"

// Readies the lexer for a run (called once at start-up).
void parser_init();

// The next statement of the current input (not yet simplified), the end-of-input marker (type
// 44) at its end, or null when the parse of a statement had to be abandoned (a tree too deep,
// the stack full): the caller asks again.  Syntax errors are reported on the way.
VObj parser_read_statement();
