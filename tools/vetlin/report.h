#pragma once
// Reports of the checker: the expression printer and the end of the file.

#include "tools/vetlin/store.h"

// Writes the object through the line writer.  For now nothing is written.
void report_print(const VWord* o);

// The end of the file under check: the file report, then the exit with 4 - TotalSeverity.  For
// now no report is printed and the status is 4 - min(TotalSeverity, Severity).
[[noreturn]] void report_end_of_file();
