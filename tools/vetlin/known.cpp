// The known-name tables (see known.h).
#include "tools/vetlin/known.h"

void known_self_check() {}
