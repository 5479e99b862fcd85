#pragma once
// The 2-D view scaling of a plot's drawing area and the clipping of mapped coordinates to a
// rectangle, shared by the output sides that draw the renderer's view units on a surface of
// their own (the 3-D plot library's devices, the EPS driver).
//
// Scaling, from the view box (xmin .. xmax, ymin .. ymax in view units) and the area's width
// and height:
//   1. x scale = width * 0.8 / dx when dx > (dx + dy) * 2e-10, else 1; y scale likewise;
//   2. with constrained scaling (the frame's scaling, else the plot's) both become the smaller;
//   3. x offset = (width / x scale - xmax - xmin) / 2, y offset likewise,
// so the box is centred and fills 80 % of the area (of its smaller side when constrained).  A
// view point (x, y) lies at u = (x + x offset) * x scale to the right of the area's left edge
// and v = (y + y offset) * y scale above its bottom edge.

#include <cmath>
#include <utility>
#include <vector>

#include "plot/plot_types.h"

struct PlotScaling {
    double xScale = 1, yScale = 1, xOffset = 0, yOffset = 0;
    int width = 0, height = 0;

    void compute(double xmin, double xmax, double ymin, double ymax, int w, int h, bool constrained) {
        width = w;
        height = h;
        double dx = xmax - xmin, dy = ymax - ymin;
        xScale = dx > (dx + dy) * 2e-10 ? w * 0.8 / dx : 1.0;
        yScale = dy > (dy + dx) * 2e-10 ? h * 0.8 / dy : 1.0;
        if (!std::isfinite(xScale) || xScale <= 0) xScale = 1.0;
        if (!std::isfinite(yScale) || yScale <= 0) yScale = 1.0;
        if (constrained) xScale = yScale = std::fmin(xScale, yScale);
        xOffset = (w / xScale - xmax - xmin) / 2;
        yOffset = (h / yScale - ymax - ymin) / 2;
    }
    double u(double x) const { return (x + xOffset) * xScale; }
    double v(double y) const { return (y + yOffset) * yScale; }
    // View units of a point u to the right of the left edge, v above the bottom edge.
    double viewX(double uu) const { return uu / xScale - xOffset; }
    double viewY(double vv) const { return vv / yScale - yOffset; }
};

// Whether the frame's scaling (else the plot's) is constrained.
inline bool plot_scaling_constrained(const PlotRecord* plot, const PlotFrame* frame) {
    int s = frame ? frame->options.scaling : 0;
    return s == SCALING_CONSTRAINED || (s == SCALING_DEFAULT && plot && plot->options.scaling == SCALING_CONSTRAINED);
}

// Cuts the segment to [xlo, xhi] x [ylo, yhi] (Liang-Barsky); false when nothing is left or a
// coordinate is not finite.
bool plot_clip_segment(double& x1, double& y1, double& x2, double& y2, double xlo, double xhi, double ylo, double yhi);

// Cuts the polygon to the rectangle (Sutherland-Hodgman); fewer than 3 points left means
// nothing.  False (the ring unchanged) when a coordinate is not finite.
using PlotRing = std::vector<std::pair<double, double>>;
bool plot_clip_polygon(PlotRing& ring, double xlo, double xhi, double ylo, double yhi);
