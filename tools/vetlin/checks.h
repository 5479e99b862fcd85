#pragma once
// Statement and expression checks: every name a statement mentions goes to the name-usage
// recorder (usage.h) with its access mode; the checks local to a statement (unreachable code,
// jumps outside loops and procedures, assignment targets, loop variables, seq constructs,
// implied multiplication, equations used as statements, argument counts) record their errors and
// location entries; procedure definitions go to the procedure analysis.  Also the macro table
// of `macro` and `alias` calls and the macro expansion of statements.
//
// Every diagnostic is first offered to RecordErrorClass; only an accepted one appends its entry.
// Lines are those of the objects' own prefix words (the statement, the call, the name).

#include "tools/vetlin/store.h"

// Forgets the macro table's side notes (the start of a run).
void checks_reset();

// The statement with its macros expanded: every NAME that is not a parameter or local of the
// current procedure and has a macro value is replaced by it.  Compound objects are copied (with
// their prefix word) only when an operand changed; calls of `macro` and `alias`, procedures,
// numbers, strings, LOCAL, PARAM and TABLE objects stay as they are.
VObj checks_expand_macros(VObj statement);

// The value of the macro or alias of a name, or null.  Given a non-name it writes
// "vetlin: Internal error - MacroValue was passed something other than a name\n" to the error
// output and answers null.
VObj MacroValue(const VWord* name);
bool checks_is_macro(const VWord* name);

// Checks one statement (simplified, macros expanded) and updates the jump state.
void CheckStatement(const VWord* statement);
// Checks an expression; answers its type code.
unsigned CheckExp(const VWord* expression);
// Records a use of a target or argument with an access mode.
void checks_record_use(const VWord* object, VWord mode);
