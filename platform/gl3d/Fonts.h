#pragma once
// The plot fonts of the 3-D plot library: font descriptions (face, points, bold, oblique) kept
// once each for the run and named by id from 1, the font table that SetupFonts fills (layout in
// gl3d.h), and the fonts ActivateFonts selected for drawing texts.
//
// A plot font (family, style, size) maps to a description with the names compared without
// regard to case: "times" with style "roman" is "Times New Roman" with no attributes; other
// "times" styles are "Times", italic for "italic", bold for "bold", both for "bolditalic";
// "courier" is "Courier" and "helvetica" "Helvetica", bold for "bold", oblique for "oblique",
// both for "boldoblique"; "symbol" is "Symbol"; any other family names no face (the GUI
// layer's default).  The default text font is helvetica 8 points, the title font times 14.
//
// Sizes come from plot structures (kernel or file): the pixel height resolution x points / 72 is
// computed in 64 bits and held to 1 .. 4096.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/base/Font.h"

struct PlotRecord;

namespace gl3d {

struct FontDescription {
    std::string face;
    std::int32_t points = 0;
    bool bold = false;
    bool oblique = false;
    bool operator==(const FontDescription&) const = default;
};

FontDescription mapPlotFont(const char* family, const char* style, std::int32_t points);
// The id of the description, entered on first use.
int fontId(const FontDescription& d);
// Null for an id no description has.
const FontDescription* fontById(int id);

// The fonts texts are drawn with: the values of a font table.
struct ActiveFonts {
    int resolution = 96;
    int defaultText = 0;
    int title = 0;
    std::vector<int> plotFonts;   // id of plot font n at n - 1
};

// The screen's resolution in dots per inch.
int screenResolution();
// Fills the caller's table (GL3D_FONT_TABLE_BYTES) for `plot` (may be null).
void fillFontTable(const PlotRecord* plot, void* table, int resolution);
// Copies the table's values; a zeroed table (or null) gives the defaults at screen resolution.
void activateFontTable(const void* table);
const ActiveFonts& activeFonts();

// The id for a text's font index (1-based into the plot's font table, 0 = the default text font;
// an index beyond the table is the default text font too).
int textFontId(int index);
// The GUI font of an id at the active resolution (pixel height 1 .. 4096).
Font guiFont(int id);
// resolution x points / 72, held to 1 .. 4096.
long pixelHeight(int resolution, std::int64_t points);

}  // namespace gl3d
