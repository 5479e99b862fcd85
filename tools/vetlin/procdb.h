#pragma once
// The procedure database: one line per procedure defined in a library source, with its
// argument counts, for the argument-count check.

#include <cstdio>

// Loads the database lines of an open file into the database table.  For now nothing is
// loaded.
void procdb_load(std::FILE* file);
