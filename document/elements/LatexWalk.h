#pragma once
// What an element's exportLatexElement reads from the LaTeX walk: the export's state (the
// walk control's context, filled by Document::exportLatex) and its writer.  A walk that hands
// the writer directly as the control's export writer (an element exported on its own) is
// served too.

#include "document/export/LatexExport.h"
#include "document/records/KExportWriter.h"
#include "document/tree/Element.h"

inline LatexExportState* latexStateOf(WalkControl& control) {
    return control.exportWriter ? nullptr : static_cast<LatexExportState*>(control.context);
}

inline KLatexExportWriter* latexWriterOf(WalkControl& control) {
    if (control.exportWriter) return dynamic_cast<KLatexExportWriter*>(control.exportWriter);
    LatexExportState* state = latexStateOf(control);
    return state ? state->writer : nullptr;
}
