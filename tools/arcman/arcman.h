#pragma once
// The archive tool: one command on one archive directory per run.
//
//   arcman -a dir { file name }   add members          arcman -l dir   list the index
//   arcman -u dir { file name }   replace members      arcman -p dir   pack the data file
//   arcman -x dir { name file }   extract members      arcman -r dir   rehash the index
//   arcman -d dir { name }        delete members       arcman -c dir tableSize   create
//
// Listings and statistics go to `out`; errors, warnings and the usage text to `err`, each
// message formatted whole first and written with one call.  Every message but the usage,
// listing and statistics lines begins with "arcman: ".  The result is the exit status: 0 on
// success (warnings included), 1 on any error.
//
// Every command locks the index (see archive.h) before it reads or changes the archive, and
// first finishes or discards a rebuild that an earlier run left unfinished.

#include <cstdio>

int arcman_main(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
