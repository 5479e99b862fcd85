#pragma once
// The known-name tables of the checker: which names the system and its library give a meaning
// to, and in which contexts, without reading any library.
//
//   - The category table: texts 1 to 38 ("throughout Kelvo", ..., "as a function in the
//     student package"), framed by an empty text before 1 and after 38.  Categories 1 to 23 are
//     contexts of the system itself; 24 to 38 are the library's packages.
//   - The known-name table: 979 rows in byte order of their names, then a row with an empty
//     name.  Each row has a category string: one byte per category number, one to ten of them,
//     ended by NUL (known_names.inc holds the rows).
//
// A name counts as a system name when it is found and, below info level 3 and without -p, one of
// its categories is at most the threshold 23: package functions count only at level 3 and above
// or with -p.  The empty text never counts.
//
// Before the first lookup the self-check (known_self_check) proves the tables whole; a broken
// table ends the run with status 127 and "vetlin: Internal inconsistancy: ..." on the error
// output.  A table whose rows are out of byte order is then bubble-sorted in place.

#include <string>

constexpr long VL_CATEGORIES = 38;
constexpr int VL_CATEGORY_THRESHOLD = 23;
constexpr long VL_KNOWN_NAMES = 979;

// One row of the known-name table: the name and its category string (NUL-ended bytes 1-38).
struct KnownRow {
    const char* name;
    const char* categories;
};

// The tables the self-check and the lookups use.  `categories` holds VL_CATEGORIES + 2 texts
// (the frame included); `rows` holds VL_KNOWN_NAMES + 1 rows (the empty row included).
struct KnownTables {
    const char* const* categories;
    KnownRow* rows;
};

// The built-in tables (the rows' order may change: the self-check sorts them).
KnownTables known_builtin_tables();
// Test hook: the tables of the following self-check and lookups; known_builtin_tables() puts the
// built-in ones back.  The run's start (vl_begin_run) puts them back too.
void known_use_tables(KnownTables tables);

// The self-check, then the sort of rows out of order.
void known_self_check();

// The row of a name that counts as a system name, or -1.
long known_lookup(const char* text);
inline bool known_is_system(const char* text) { return known_lookup(text) >= 0; }

// A name needs backquotes when it holds a character other than a letter, a digit or "_"; the
// empty name does not.
bool known_needs_backquotes(const char* text);

// One line through the line writer at `indentation`: the name ("`%s` " when it needs
// backquotes, else "%-6s "; continuation lines are indented by that part's width), "defined ",
// then the texts of its categories in row order separated by ", ", or "as the name of a library
// routine" when the name does not count as a system name.
void known_describe(const char* text, long indentation);

// The text "defined ..." would carry for the name (tests).
std::string known_contexts(const char* text);
