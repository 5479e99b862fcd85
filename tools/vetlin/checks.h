#pragma once
// Statement checks: macro expansion and the checks of one top-level statement.

#include "tools/vetlin/store.h"

// The statement with its macros expanded.  For now the statement as it is.
VObj checks_expand_macros(VObj statement);

// Checks one simplified, expanded statement.  For now nothing is checked.
void CheckStatement(VObj statement);
