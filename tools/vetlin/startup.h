#pragma once
// Start-up of the checker: the run settings' defaults, the library directory, the options of
// the command line and of the start-up file "VETLIN.INI" (read from the current directory after
// the command line, so that its options override; not with -s), the file to check, and the
// routine name that the file is expected to define.  Also the small text and sequence helpers
// that the start-up and the macro expansion share.
//
// Options ("a:b:d:gi:lno:pqsSxt:"; an argument follows its letter directly or as the next word):
//   -a db      append procedure definitions to the database file db (opened with mode "a")
//   -b dir     the library directory
//   -d db      load the procedure database db
//   -g         accepted and ignored
//   -i level   info level, an unsigned decimal; above 4 means 4; 0 while -S is on
//   -l         suppress library warnings      -n  implied do for loop clauses
//   -o file    report output to the file (mode "w")
//   -p         all packages count             -q  no banner
//   -s         skip the start-up file         -S  syntax only: every error off, level 0
//   -t n       n below 32: toggles both the turned-off and the forced flag of error n
//   -x         cross reference
// At most one argument remains: the file to check.

#include <cstdio>
#include <string>
#include <vector>

#include "tools/vetlin/store.h"

// The start-up of a run; false after its message when the run must end with status 127.  The
// usage text ends the run itself.
bool startup_run(int argc, const char* const* argv);

// Parses one argument vector (the command line, or the start-up file's words).
bool startup_parse_options(int argc, const char* const* argv);

// Writes the usage text to the error stream and ends the run with status 127.
[[noreturn]] void startup_usage();
extern const char* const startup_usage_text;

// The start-up file's words after the program name: words of up to 511 characters (the rest of
// a longer word is skipped), separated by whitespace, up to the end of the file or, with
// `stopAtNewline`, the end of the line.  The words go to `words` after `program`.  False when
// the file holds more than 131 words.
constexpr std::size_t VL_STARTUP_WORD = 511;
constexpr std::size_t VL_STARTUP_WORDS = 131;
bool startup_read_words(std::FILE* file, bool stopAtNewline, const char* program,
                        std::vector<std::string>& words);

// The routine name worked out in place from a path (see the start-up order).
void startup_routine_name(std::string& path, const std::string& libraryDirectory);

// The library directory: "%s/lib" of $KELVO, or of "/kelvov2/lib".
std::string startup_library_directory();

// The value of an unsigned decimal, or -1 when empty or holding a non-digit; a number too long
// for a long is LONG_MAX.
long startup_unsigned(const char* text);
void startup_remove_prefix(std::string& text, std::size_t n);
// Position of the first `part` in `text`: 0 for an empty part, -1 when absent.
long startup_find(const std::string& text, const std::string& part);

// The last element of a sequence, removed; "Trying to pop an empty stack\n" on the report
// output and the empty sequence when there is none.
VObj startup_pop(VObj sequence);
VObj startup_append(VObj sequence, const VWord* item);
