// Statement checks (see checks.h).
#include "tools/vetlin/checks.h"

VObj checks_expand_macros(VObj statement) { return statement; }

void CheckStatement(VObj) {}
