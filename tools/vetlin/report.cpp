// Reports of the checker (see report.h).
#include "tools/vetlin/report.h"

#include <algorithm>

#include "tools/vetlin/run.h"

void report_print(const VWord*) {}

void report_procedure(const char*, bool, long, long) {}

void report_end_of_file() { vl_exit(4 - std::min(vl.TotalSeverity, vl.Severity)); }
