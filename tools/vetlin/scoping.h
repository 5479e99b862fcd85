#pragma once
// Procedure scoping: what simplifying a PROC does to it before the checks read it.
//
// The PROC as the parser builds it, and as the analysis reads it afterwards:
//
//   op | as parsed                         | after simplification
//   ---+-----------------------------------+-----------------------------------------------
//   1  | parameters (EXPSEQ)               | the same; for an operator procedure without
//      |                                   | arrow and without parameters, the body's names
//   2  | LIST holding the locals' EXPSEQ   | a plain EXPSEQ of the locals, the implicit
//      |                                   | locals appended
//   3  | options                           | the same
//   4  | NULL                              | a copy of the declared globals (op 7)
//   5  | body                              | the body, simplified
//   6  | description                       | a copy of the explicitly declared locals
//   7  | declared globals                  | the same (what the scoping tests against)
//   8  | NULL                              | the scoped names: pairs (name, position)
//
// Scope chain: the procedures being simplified, innermost first.  A name of the body that is
// neither declared global, a parameter, a local nor already scoped, and is not an environment
// name, is looked up along the chain: an enclosing procedure that declares it global ends the
// search; one that has it as a parameter, local or scoped name makes it a scoped name of this
// procedure (once), with its position there (negative for a parameter).  Nested procedures are
// not entered: each collects its own when it is simplified.
//
// Implicit locals: a name assigned (the table of a table reference) or used as a loop variable
// in the body's statements (through IF, FOR bodies and statement sequences) that is none of the
// above and resolves to nothing on the chain becomes a local.
//
// Environment names, never scoped and never made local: Digits, Order, mod, Testzero,
// Normalizer, printlevel and every name beginning "_Env".

#include "tools/vetlin/store.h"

// Simplifies the parts of a PROC in place (called by the simplifier).
void scoping_simplify_proc(VObj proc);

// Whether the name is an environment name.
bool scoping_environment_name(const char* text);

// The names equal as declared names: both NAMEs (a DCOLON counts as its first operand) with the
// same text.
bool scoping_same_name(const VWord* a, const VWord* b);
// The NAME of a declared name (the first operand of a DCOLON), or null.
const VWord* scoping_declared_name(const VWord* o);

// Forgets the scope chain (the start of a run).
void scoping_reset();
