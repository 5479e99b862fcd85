#pragma once
// The construct matcher: a stack of the open constructs (loops, conditionals, procedures,
// brackets) fed with every keyword and bracket token the lexer reads.  When a closing or
// continuing token does not fit the construct on top, it writes a plain-language hint into the
// pending syntax-error message: which token was found without its partner, which earlier token
// may have been misplaced, which closer may be missing; and it tells loop clauses given in the
// wrong order.  At most one hint is written per reset.
//
// Families and their closers: loop (by, do, for, from, in, to, while; od), conditional (if,
// then, elif, else; fi), procedure (proc; end), braces, brackets, parentheses.
//
// The stack starts with room for 50 entries and doubles when full (through os_realloc); when it
// cannot grow, hints are switched off.  The state belongs to the run and is freed by
// matcher_release.

#include <string>
#include <string_view>
#include <vector>

void matcher_reset();       // empty stack, nothing seen, hints on
void matcher_release();     // frees the stack (end of a run)
void matcher_feed(int token);
// Feeds do once for a loop whose do is implied; feeding do itself re-arms it.
void matcher_implicit_do();

// The pending syntax-error message that hints are written into; the error reporter prints and
// empties it.
std::string& matcher_message();

// The open construct on top (a token code), or 0 when none is open.
int matcher_top();
bool matcher_hints_on();
int matcher_depth();

bool matcher_is_loop_clause(int token);   // by, do, for, from, to, while
bool matcher_is_block(int token);         // do, elif, else, end, fi, if, od, proc
bool matcher_is_bracket(int c);           // ( ) [ ] { }

// The column of `position` in `line`: characters before it, tabs advancing to the next multiple
// of 8, plus 1.
long matcher_column(std::string_view line, long position);

// "Indentation problem: symbol is %s" and the indentation stack (entries of three words: token,
// and two numbers) on the report output.
void matcher_indentation_problem(int token, const std::vector<long>& stack);

const char* matcher_token_text(int token);
