#pragma once
// The procedure database: across runs, how many arguments each globally defined procedure takes.
//
// File: plain text, one procedure a line, five fields separated by blanks:
//
//   field | meaning
//   ------+------------------------------------------------------------------------
//   1     | procedure name
//   2, 3  | least and most arguments (both the number of parameters when written;
//         | 999 as the most means any number)
//   4     | 1 when the procedure uses args or nargs (any count is accepted), else 0
//   5     | the source file that defined it
//
// Written with "%-32s %2ld %2ld %1d %s\n" (-a).  Loaded (-d) in lines of up to 500 characters (a
// longer line in pieces, each read as a line of its own); a line whose five fields do not read
// as a word, three decimal integers and a word goes to the error output as "Format error: " and
// the line as read, and is skipped.  A number beyond a machine integer, or beyond the store's
// integers, ends the run with "Integer too large to represent" and status 127.
//
// Table: the database HASHTAB of 251 slots (store.h) maps the name to a NAME of its own whose
// value slot holds the entry, EXPSEQ(least, most, flag, file NAME); a later line of the same
// name replaces the entry.  A loaded database switches the call check on (vl.databaseLoaded).

#include <cstdio>

#include "tools/vetlin/store.h"

// Loads the lines of an open file into the database table.
void procdb_load(std::FILE* file);
// Reads one line (as the loader does).
void procdb_load_line(const char* line);

// Appends the definition's line to the -a database file (nothing without one).
void procdb_write(const char* name, long parameters, bool variableArguments, const char* fileName);

// The entry of a name (the NAME of the database table), or null.
VObj procdb_find(const char* name);

// The call check of a call of `called` with `arguments` arguments on `line`: a call of a known
// procedure outside its counts records error 22 and appends the call-mismatch entry,
// EXPSEQ(name, arguments, line, least, most, file), to the current scope's list.  A malformed entry
// is reported on the error output ("%s did not have EXPSEQ value\n", "%s did not have length
// of 5\n") and passes.
void procdb_check_call(const VWord* called, long arguments, long line);
