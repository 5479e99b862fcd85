#pragma once
// Library lookup: whether the library defines a name, from its two sources.
//
//   1. A source file: "<library>/<name>.m" ("<library><name>.m" for a name beginning with "/";
//      no second ".m" for a name that already ends in ".m").  Only a regular file counts; it is
//      tried through the input-file stack (pushed, and popped again when it opened), opened
//      without blocking, so a FIFO or device of that name never holds up the run.
//   2. The archive index "<library>/kelvo.ind": the texts of its 64-byte slots (archive.h),
//      loaded on first use into a list of copies that lives until the run ends, then compared
//      one by one with the member name (the path after the library directory and one separator).
//      Empty slots are not loaded; a deleted slot (its text is the one byte 1) matches no name.
//
// An index that cannot be opened makes every later index lookup answer false without a message;
// when the list's memory (one pointer per 64 bytes of index, through os_alloc) cannot be had,
// "Warning: could not load library archive index\n" goes to the report output, once, and the
// index stays unused for the rest of the run.

// Whether the name is a library routine.
bool library_is_routine(const char* name);

// Forgets the loaded index and gives its memory back (the start and end of a run).
void library_reset();

// The number of slot texts loaded: 0 before the first use, -1 when the index is unusable (tests).
long library_index_count();
