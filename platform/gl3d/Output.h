#pragma once
// Output: the renderer's output side (PlotOutputCallbacks) drawing onto an OutputDevice.
//
// The primitives are recorded as the renderer hands them over and drawn by replay() list by
// list: polygons, lines, points, texts, axis lines, axis texts.  Lines lying on the edges of the
// surface's polygons (its grid) thus stay on top of the fills; the hidden-surface stage has
// already cut away every hidden piece.
//
//   * lines are joined into polylines (a line continues the open one when an end meets its last
//     point and the colour word is the same; at most 1024 points);
//   * points are pixel patterns by their symbol (bits 28-31: 1 cross, 2 diamond, 3 box,
//     4 circle, 5 one pixel, others diamond), drawn when within 2 pixels of the area;
//   * polygons are filled in their colour (the background colour for background fills);
//   * texts are placed by their alignment bits (1: the box ends at x, 2: it starts at x, neither:
//     centred; 4: below y, 8: above y, neither: centred) and cut at the area's left and right
//     edges (leading characters dropped in proportion to the overhang, trailing ones until the
//     text fits);
//   * axis lines are drawn solid, 1 pixel wide, in a colour that differs from the background,
//     and lengthened to at least 2 pixels when shorter (except while only the view box is shown).
//
// Every coordinate is mapped (Mapping.h) and clipped in doubles to the area, widened by a few
// pixels, before it becomes a 16-bit device coordinate, so no line is bent by the device's
// clamp; a primitive with a non-finite coordinate draws nothing.  The device is clipped to the
// area, so nothing is drawn outside it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gl3d/Mapping.h"
#include "platform/gui/OutputDevice.h"
#include "plot/render/drawables.h"

namespace gl3d {

struct Output : PlotOutputCallbacks {
    // Binds the device and the area (width x height at the device's origin); `backgroundRgb` is
    // 0xRRGGBB.  The device's state is saved here and restored by finish().
    Output(OutputDevice* device, const PlotRecord* plot, const PlotFrame* frame, int width, int height,
           std::uint32_t backgroundRgb, bool boxOnly);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Fills the area with the background.
    void fillBackground();
    // Draws the recorded lists and forgets them.
    void replay();
    // The title of the frame (else of the plot) at the top of the area, centred; nothing when it
    // is empty or taller than the area; shortened when wider.
    void drawTitle();
    // A line in the colour of the view box (black, white on a black background).
    void boxLine(double x1, double y1, double x2, double y2);

    OutputDevice* device;
    const PlotRecord* plot;
    const PlotFrame* frame;
    Mapping map;
    std::uint32_t backgroundRgb;   // 0xRRGGBB
    bool boxOnly;

private:
    struct Pen {
        std::uint32_t rgb;
        int width, style;
        bool operator==(const Pen&) const = default;
    };
    void usePen(const Pen& p, bool fill);
    void lineSegment(double x1, double y1, double x2, double y2, ColourWord colour);
    void axisLine(double x1, double y1, double x2, double y2, ColourWord colour);
    void drawPoint(double x, double y, ColourWord colour);
    void fillPolygon(int n, const double* xs, const double* ys, ColourWord colour);
    void drawText(double x, double y, const char* s, int align, ColourWord colour, int font, bool axis);
    void textBox(double x, double y, const char* s, int align, int font, double* x0, double* y0, double* x1,
                 double* y1);
    // Places the text's box in pixels; false when the anchor is not finite.
    bool place(double x, double y, const char* s, int align, int fontId, double* left, double* top, double* w,
               double* h);
    std::uint32_t contrast(std::uint32_t rgb) const;

    void flush();

    struct Line {
        double x1, y1, x2, y2;
        ColourWord colour;
    };
    struct Dot {
        double x, y;
        ColourWord colour;
    };
    struct Shape {
        std::size_t first;
        int count;
        ColourWord colour;
    };
    struct Label {
        double x, y;
        std::string text;   // a copy: axis labels live in an area freed before the replay
        int align;
        ColourWord colour;
        int font;
    };
    std::vector<Shape> shapes_;
    std::vector<double> shapeXs_, shapeYs_;
    std::vector<Line> lines_, axisLines_;
    std::vector<Dot> dots_;
    std::vector<Label> labels_, axisLabels_;

    std::vector<::Point> polyline_;
    ColourWord polylineColour_ = 0;
    bool havePen_ = false;
    Pen pen_{};
    bool penFill_ = false;
    int fontId_ = -1;
    std::uint32_t fontRgb_ = 0;
};

}  // namespace gl3d
