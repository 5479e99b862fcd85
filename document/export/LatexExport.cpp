// The LaTeX export's clock.
#include "document/export/LatexExport.h"

namespace {
std::time_t systemTime() { return std::time(nullptr); }
}  // namespace

LatexExportClock latexExportClock = systemTime;
