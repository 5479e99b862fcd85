#pragma once
// The console operating-system layer: the few services that the expression library asks of its
// host program when it runs in a console tool, over POSIX.
//
//   - an elapsed-time clock that leaves out the time spent in shell commands;
//   - running a shell command (line breaks in it become blanks);
//   - the program's library directory: the directory above the one that holds the module;
//   - new temporary files, created with mkstemp (never a predictable name);
//   - allocation with a running count of blocks and bytes.
//
// State is process-wide; the tools are single-threaded.

#include <cstddef>
#include <cstdint>
#include <string>

std::uint64_t os_ticks();                      // milliseconds of a monotonic clock
double os_elapsed_seconds();
void os_clock_mark();
void os_clock_accumulate();

// Runs the command through /bin/sh (std::system); carriage returns and line feeds in `command`
// are replaced by blanks in place.  The command's wait status, or -1 when it could not run.
int os_system(char* command);

const char* os_file_name(const char* name);    // the same name: no translation here

// `module` is the module's path (null: this program, from /proc/self/exe); the directory above
// the module's own directory is kept (at most 511 bytes; a longer path keeps "").
void os_set_library_directory(const char* module, const char* value);
const char* os_library_directory();
const char* os_library_value();

// Creates a new empty file "<dir>/zup4XXXXXX" in $TMPDIR (or /tmp) and answers its name, or
// null when none could be made.  The name stays valid until the next call.
const char* os_temp_file_name();

// Creates a new temporary file beside `path` ("<path>.XXXXXX", mode 0600, close-on-exec) and
// answers its descriptor, with its name in *name; -1 (errno set) when it cannot be made.
int os_temp_file_beside(const std::string& path, std::string* name);

void* os_alloc(std::size_t bytes);             // null when out of memory
void os_free(void* block);
void* os_realloc(void* block, std::size_t bytes);   // null (block kept) when out of memory
// Blocks and bytes handed out so far; the byte total is also the result.
std::size_t os_alloc_stats(std::size_t* blocks, std::size_t* bytes);
void os_alloc_reset_stats();

// Tests make allocations fail: the next `after` allocations succeed, then every one fails.
// A negative count turns the failure off.
void os_alloc_fail_after(long after);
