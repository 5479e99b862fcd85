#pragma once
// Reports of the checker: the expression printer, the procedure reports and the end of the file.

#include "tools/vetlin/store.h"

// Writes the object through the line writer.  For now nothing is written.
void report_print(const VWord* o);

// The report of the current scope's procedure.  For now nothing is printed.
void report_procedure(const char* name, bool isOperator, long firstLine, long lastLine);

// The end of the file under check: the file report, then the exit with 4 - TotalSeverity.  For
// now no report is printed and the status is 4 - min(TotalSeverity, Severity).
[[noreturn]] void report_end_of_file();
