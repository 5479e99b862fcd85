#pragma once
// Procedure scoping: what simplifying a PROC does to it before the checks read it.

#include "tools/vetlin/store.h"

// Simplifies the parts of a PROC in place.  For now only its body (operand 5) is simplified.
void scoping_simplify_proc(VObj proc);
