#pragma once
// The line writer through which every report line of the checker passes.
//
// A line starts at an indentation n (blanks written straight to the report output) and holds
// text up to a width limit: 79 - n columns on its first piece, 79 - n - e on each continuation,
// e being the continuation extra (4 unless set).  Text longer than the limit is broken after
// the last blank, tab or newline before the limit (after a newline within the limit when the
// appended text held one), else exactly at the limit; each piece is written without its leading
// whitespace, and continuations start at n + e blanks.  The limit never falls below 20 columns,
// so breaking always progresses however wide n + e is.  The buffer grows with the text: appended
// text of any length is wrapped, never cut.

#include <cstdio>

void writer_reset();
void writer_begin_line(long indentation);
void writer_set_extra(long extra);
void writer_write(const char* text);
void writer_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void writer_end_line();

// " on line %ld", unless the current input is a terminal.
void writer_location(long line);

// The current width limit (tests).
long writer_limit();
