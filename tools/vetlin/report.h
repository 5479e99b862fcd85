#pragma once
// Reports of the checker: one after each procedure whose Severity reaches the info level (or
// that recorded a forced error, or with -x), one for the whole file at its end, and the exit.
// Every line goes through the line writer; names and expressions through the printer.
//
// A report, in order:
//   1. the heading of a procedure: "Nested " from depth 2 on, "Procedure " or "Operator ", the
//      name and its parameters, "on line n" or "on lines n to m" (not for terminal input);
//   2. per error number up to the info level's highest (or forced): its heading and the names
//      that carry it;
//   3. the detail lines of the located errors (22, 7, 0, 1, 18, 29, 30, 19, 5, 20), each when the
//      info level reaches its class or it is forced;
//   4. the usage sections (level 4: usage lists; level 3: name lists);
//   5. at level 4, the texts of the ERROR calls;
//   6. the known names: at level 4 every system or library name used, at levels 2 and 3 those
//      assigned (and at 3 those used as parameters or locals); then, at level 4 or with -x, the
//      functions called.
// Procedure reports indent their lists by 2 (name lines by 6), the file report by 0 (4).

#include <string>

#include "tools/vetlin/store.h"

// Writes the object through the line writer.
void report_print(const VWord* o);

// The report of the current scope's procedure.
void report_procedure(const char* name, bool isOperator, long firstLine, long lastLine);

// The end of the file under check: the errors that only the whole file shows, the file report,
// then the exit with 4 - TotalSeverity.
[[noreturn]] void report_end_of_file();

// The argument-count phrase of a database entry ("exactly 2 args", "1 or more args", ...).
std::string report_count_phrase(long least, long most);
