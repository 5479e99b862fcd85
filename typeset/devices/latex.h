#pragma once
// The LaTeX device (kind 3, size levels 0..2) and the LaTeX writer of typeset expressions.
//
// The device measures with the AFM metrics of the fonts LaTeX sets the output in, so that line
// breaks and the choice between stacked and one-line forms match the printed page.  Device
// units are hundredths of a point; an AFM value v (thousandths of the font size) at a level of
// point size p is v * p / 10 (integer division).
//
// Fonts, one AFM file each in the AFM folder (afm_directory()), by font index:
//   0 roman "tmr.afm", 1 italic "tmi.afm", 2 Symbol "sym.afm", 3 bold "tmb.afm".
// The metrics block (eleven metrics per font, in AFM units) is process-wide: loaded by the
// first open, kept until a load fails or latex_unload_metrics.  Metrics, before scaling:
//   0 box height (FontBBox top - bottom) raised to the common ascent, then the largest of all;
//   1 half of metric 0;  2 FontBBox top raised to the largest;  3, 4 width of the blank;
//   5, 7 zero;  6 XHeight * 0.9 (or the font's own box height / 2 without an XHeight);
//   8 XHeight / -2 (or the box height / -2);  9 -UnderlinePosition;  10 UnderlineThickness.
// fontMetric answers 0..10 scaled at the level, 11 as twice metric 0, others 0.
//
// Glyph nodes of codes 128..192 are cached per size level (heap leaves, freed by latex_close),
// so a glyph measured at one level never serves another.
//
// latex_write_expression lays an expression out on this device and writes it as LaTeX text,
// one character at a time, through the caller's callback.  Results:
//   0 written; 1 no callback; 2 an AFM file is missing or unreadable (nothing written);
//   3 no typesetting context; 5 layout or line breaking failed (or the run's own code);
//   6 the callback asked to stop (what was written stays written).
// Output lines stay within 65 columns unless one piece is longer; a break is never made at
// column 0, and a break inside the text of an \mbox ends its line with "%".

#include "typeset/typeset.h"

extern const TypesetDevice LatexDevice;

// Point sizes of the three levels from a base: each level 2/3 of the previous, at least 4.
void latex_set_point_sizes(int base);
int latex_point_size(int level);
// An AFM value scaled to device units at a level.
int latex_scale(int value, int level);

int latex_open(TypesetContext* ctx, const LayoutOptions* options);
int latex_close(TypesetContext* ctx);
// 0 when the four fonts are loaded (or were), 2 when one cannot be read.
int latex_load_metrics();
void latex_unload_metrics();

using LatexCharCallback = int (*)(void* user, int ch);

int latex_write_expression(const DagWord* dag, const LayoutOptions* options, bool inlineForm,
                           LatexCharCallback callback, void* user);
