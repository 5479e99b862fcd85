#pragma once
// The source update tool: `srcmend [infile [outfile]]` rewrites one source file written for the
// previous release of the language so that it reads correctly in the current one (the source
// update facility, update/update.h), inserting warning lines where a meaning changed.
//
// Without infile the text comes from `in`, without outfile it goes to `out`.  Every message goes
// to `err`, formatted whole and written with one call; warnings of the facility are written one
// a line.  The result is the exit status: 0 on success, 1 on any error.
//
// Nothing is written before the whole update has succeeded.  An output file is written to a new
// temporary file beside it, which is then renamed over it, so it is never left half-written.
// Input holding a NUL byte is not text and is refused.

#include <cstdio>

// The program's version text, which the interface variable `version` names inside this tool.
extern const char* const srcmend_version;

int srcmend_main(int argc, const char* const* argv, std::FILE* in, std::FILE* out, std::FILE* err);
