// The procedure database (see procdb.h).
#include "tools/vetlin/procdb.h"

void procdb_load(std::FILE*) {}
