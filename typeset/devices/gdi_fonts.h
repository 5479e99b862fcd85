#pragma once
// The font-metric source of the GDI device on this platform: faces found with fontconfig and
// measured with FreeType, on the metric-compatible fonts Debian ships:
//   "Times New Roman" (roman, italic, bold)  -> Liberation Serif      (fonts-liberation2)
//   "Arial", "Courier New"                  -> Liberation Sans, Mono
//   "Symbol" (or any font of character set 2) -> Standard Symbols PS  (fonts-urw-base35)
// Other face names go to fontconfig as they are (it substitutes as GDI does).  Bytes of a font
// of character set 2 are Symbol-encoding bytes (symbolToUnicode); other bytes are cp1252.
// Metrics come from the face's OS/2 table (Windows ascent and descent, average width).
//
// Faces are opened once and kept for the process.  Single-threaded.

#include "platform/gdi/measure.h"

const GdiFontMetricSource& gdi_freetype_metric_source();
