#pragma once
// The measuring device context of the GDI layer: what GDI reports about a font selected into a
// device context of some map mode (text metrics, text extents), computed from a font-metric
// source instead of a display driver.
//
// A measuring context is a small value: a map mode (MM_TEXT .. MM_TWIPS; 0 is taken as MM_TEXT)
// and the pixels per inch (96 unless the caller makes one for its own device).  Fonts are the
// layer's LOGFONTA values; their sizes are in the context's logical units as GDI takes them:
//   lfHeight < 0: the em height is -lfHeight;
//   lfHeight > 0: the cell height (Windows ascent + descent) is lfHeight;
//   lfHeight = 0: a 12-point em.
// Text metrics are those GDI reports for such a font: ascent and descent are the face's Windows
// ascent and descent scaled to the em height (rounded), internal leading = ascent + descent - em
// height, the average character width scaled likewise; extents add the scaled advance widths
// (each rounded once over the whole run).  Everything is in logical units.
//
// A font-metric source answers in the face's design units.  `gdi_fixed_metric_source` has fixed
// values, for tests; the typesetting device brings its own over fontconfig and FreeType.

#include <cstdint>

#include "platform/gdi/gdi.h"

struct TEXTMETRICA {
    int32_t tmHeight = 0;
    int32_t tmAscent = 0;
    int32_t tmDescent = 0;
    int32_t tmInternalLeading = 0;
    int32_t tmExternalLeading = 0;
    int32_t tmAveCharWidth = 0;
    int32_t tmMaxCharWidth = 0;
    int32_t tmWeight = 0;
    BYTE tmItalic = 0;
    BYTE tmCharSet = 0;
};

struct SIZE {
    int32_t cx = 0, cy = 0;
};

// What a face tells in its own design units.
struct GdiFaceMetrics {
    int unitsPerEm = 1000;
    int winAscent = 0;     // above the baseline
    int winDescent = 0;    // below the baseline, positive
    int avgCharWidth = 0;
    int maxCharWidth = 0;
};

class GdiFontMetricSource {
public:
    virtual ~GdiFontMetricSource() = default;
    // The face the font names (face name, weight, italic, character set); false when there is
    // none.
    virtual bool face(const LOGFONTA& font, GdiFaceMetrics* out) const = 0;
    // The advance width of one byte of the font's encoding (cp1252, or the Symbol font's own
    // bytes under character set 2), in design units.
    virtual int advance(const LOGFONTA& font, unsigned char c) const = 0;
};

// Fixed values: 1000 units per em, ascent 900, descent 300 (internal leading 200 per em),
// average width 500; advances: blank 250, 'M' 1000, 'l' and 'i' 250, digits 500, every other
// byte 500.  Bold faces are 10 % wider, italic faces have the same widths.  Fonts of character
// set 2 (Symbol) have ascent 1000 and descent 250.  A face named "" or "Missing" does not
// exist.
const GdiFontMetricSource& gdi_fixed_metric_source();

struct GdiMeasureDC {
    int mapMode = MM_TEXT;
    int pixelsPerInch = 96;
    const GdiFontMetricSource* source = nullptr;   // null: the fixed source
};

// Logical units per inch of a map mode (MM_TEXT: the pixels per inch).
int gdi_units_per_inch(int mapMode, int pixelsPerInch);

// FALSE when the source has no face for the font.
BOOL GetTextMetricsA(const GdiMeasureDC& dc, const LOGFONTA& font, TEXTMETRICA* tm);
// The extent of `count` bytes; FALSE when the source has no face or count is negative.
BOOL GetTextExtentPointA(const GdiMeasureDC& dc, const LOGFONTA& font, const char* text, int count, SIZE* size);
