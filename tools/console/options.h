#pragma once
// The option scanner of the console tools, in the manner of the classic getopt: it walks the
// argument vector one option letter at a time, hands back option arguments, stops at the first
// operand, and on misuse prints a usage line built from the option string and ends the program
// with status 1.
//
// Option string: option letters; a letter followed by ":" takes an argument (in the rest of its
// cluster, "-bfile", or in the next argument, "-b file").  ":" itself is never an option.
//
// State is process-wide (one scan at a time); option_reset starts a new scan.

#include <string>

extern int optionIndex;              // next argument to look at; 1 after a reset
extern const char* optionCursor;     // inside the current cluster of letters, or null
extern const char* optionArgument;   // the last option's argument, or null

void option_reset();

// The next option letter, or -1 when the options are over (operands start at optionIndex).
// "--" and a lone "-" end the options and are skipped.  Misuse (an unknown letter, a missing
// argument) answers '?' and leaves the reaction to the caller, which may print a usage of its own.
int option_next_checked(int argc, const char* const* argv, const char* options);

// As option_next_checked, but misuse prints the usage line and exits with status 1.
int option_next(int argc, const char* const* argv, const char* options, const char* program,
                const char* operands);

// The usage line: "Usage: prog [-ac] [-b...] operands", as option_usage prints it.
std::string option_usage_line(const char* program, const char* options, const char* operands);

// Prints the usage line to the standard error stream and exits with status 1.
[[noreturn]] void option_usage(const char* program, const char* options, const char* operands);
