#pragma once
// The syntax checker `vetlin`: `vetlin [options] [file]` reads one source file of the Kelvo
// language (the standard input without a file) and reports syntax errors and doubtful uses of
// names, procedure by procedure (options: startup.h).
//
// vetlin_main runs the checker once on the given streams and answers the exit status: 127 for a
// fatal condition or a failed start-up (usage, a file that cannot be opened), otherwise
// 4 - TotalSeverity (4 - the lowest class of any error recorded).  Every call starts from a
// fresh state, so one process may run the checker many times.  The report goes to `out` (or
// the file of -o), start-up messages and the usage text to `err`.

#include <cstdio>

int vetlin_main(int argc, const char* const* argv, std::FILE* in, std::FILE* out, std::FILE* err);
