#pragma once
// The statement parser of the checker and its lexer.

#include "tools/vetlin/store.h"

// Readies the lexer for a run (called once at start-up).
void parser_init();

// The next statement of the current input, or the end-of-input marker (type 44) at its end.
// For now every input ends at once.
VObj parser_read_statement();
