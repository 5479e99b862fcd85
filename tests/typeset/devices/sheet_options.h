#pragma once
// The layout options a spreadsheet cell's typeset value is made with: preset 4, one level, the
// cell's page values.  Shared by the device tests and the metafile benchmark.

#include "typeset/typeset.h"

inline LayoutOptions sheet_options() {
    LayoutOptions o;
    layout_options_init(4, &o, nullptr);
    o.levelCount = 1;
    o.pageWidth = 288;
    o.pageHeight = 7200;
    o.indentStep = 2;
    o.firstIndent = 0;
    o.contIndent = 18;
    o.lineGap = 4;
    return o;
}
