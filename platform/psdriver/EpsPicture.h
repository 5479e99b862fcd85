#pragma once
// EpsPicture: the output side of the EPS plot driver.  The renderer hands it the primitives of
// one frame (view units); it records them and writes an Encapsulated PostScript picture of
// kEpsWidth x kEpsHeight points:
//
//   %!PS-Adobe-3.0 EPSF-3.0, %%BoundingBox and %%HiResBoundingBox of the whole picture (every
//   mark is clipped to it), %%EndComments, the prolog (short procedures, the Latin fonts
//   re-encoded for code page 1252), the marks, showpage, %%EOF.
//
// Marks are written list by list as the worksheet's plots draw them: polygons (filled; the
// background fill is never drawn), lines (joined into paths while they continue each other with
// the same colour word; width from the THICKNESS bits 28-31, dash from the LINESTYLE bits
// 25-27), point symbols (as lines), texts, axis lines, axis texts, then the title.
//
// Everything written is checked: coordinates are clipped in doubles to the picture (widened by
// a margin) and written with two decimals in the C locale, whatever the process locale; a
// primitive with a coordinate that is not finite is left out; texts go into PostScript strings
// with "(", ")" and "\" escaped and every byte outside printable ASCII as an octal escape, and
// never into comments.
//
// Text sizes: each plot font's PostScript font at its size (1 .. 1000 points), font 0 Helvetica
// 8; the title in its font or Times 14.  Widths for placing tick labels (textExtent) and for
// shortening a title come from a fixed average character width per family.

#include <cstdint>
#include <string>
#include <vector>

#include "plot/render/drawables.h"
#include "plot/render/scaling.h"

namespace psdriver {

inline constexpr int kEpsWidth = 360;    // 5 inches
inline constexpr int kEpsHeight = 288;   // 4 inches

// A plot font as written: PostScript name, size in points, average width per point of size.
struct EpsFont {
    std::string name;
    double size;
    double widthFactor;
};
// The font of a text's font index (1-based into the plot's table; 0 or beyond: Helvetica 8).
EpsFont eps_font(const PlotRecord* plot, int index);
// The title's font: the frame's or the plot's title font, else Times-Roman 14.
EpsFont eps_title_font(const PlotRecord* plot, const PlotFrame* frame);

// Appends the text as the body of a PostScript string (without the parentheses).
void eps_append_string(std::string& out, const char* text, std::size_t length);
// Appends a number with two decimals ("." whatever the locale); not finite or beyond 1e9 is 0.
void eps_append_number(std::string& out, double v);

struct EpsPicture : PlotOutputCallbacks {
    EpsPicture(const PlotRecord* plot, const PlotFrame* frame);
    EpsPicture(const EpsPicture&) = delete;
    EpsPicture& operator=(const EpsPicture&) = delete;

    // The whole file: header, prolog, the recorded marks, the title, trailer.
    std::string document();

    const PlotRecord* plot;
    const PlotFrame* frame;
    PlotScaling scaling;

private:
    struct Line {
        double x1, y1, x2, y2;
        ColourWord colour;
    };
    struct Label {
        double x, y;
        std::string text;
        int align;
        ColourWord colour;
        int font;
    };
    struct Shape {
        std::size_t first;
        int count;
        ColourWord colour;
    };

    void writePolygon(std::string& out, const Shape& s);
    void writeLines(std::string& out, const std::vector<Line>& lines, bool axes);
    void writeLabel(std::string& out, const Label& t, bool axis);
    void writeTitle(std::string& out);
    void setColour(std::string& out, std::uint32_t rgb);
    void setPen(std::string& out, double width, int dash);
    void textBox(double x, double y, const char* s, int align, int font, double* x0, double* y0, double* x1,
                 double* y1) const;

    std::vector<Shape> shapes_;
    std::vector<double> shapeXs_, shapeYs_;
    std::vector<Line> lines_, symbolLines_, axisLines_;
    std::vector<Label> labels_, axisLabels_;
    bool inSymbol_ = false;

    // What the written file has set: -1 for nothing yet.
    std::int64_t colour_ = -1;
    double width_ = -1;
    int dash_ = -1;
};

}  // namespace psdriver
