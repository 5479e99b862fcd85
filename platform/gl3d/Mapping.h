#pragma once
// Mapping: view units to pixels of the drawing area, the plot's 2-D view scaling.
//
// From the view box (xmin .. xmax, ymin .. ymax in view units) and the area's width and height:
//   1. x scale = width * 0.8 / dx when dx > (dx + dy) * 2e-10, else 1; y scale likewise;
//   2. with constrained scaling both become the smaller one;
//   3. x offset = (width / x scale - xmax - xmin) / 2, y offset likewise,
// so the box is centred and fills 80 % of the area (of its smaller side when constrained).  A
// view point (x, y) lies at the pixel (trunc((x + x offset) * x scale),
// height - trunc((y + y offset) * y scale)), y counted down from the area's top.

#include <cmath>

#include "plot/plot_types.h"

namespace gl3d {

struct Mapping {
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
    // Continuous coordinates before truncation: u grows right, v up, both in pixels.
    double u(double x) const { return (x + xOffset) * xScale; }
    double v(double y) const { return (y + yOffset) * yScale; }
    // The pixel of (u, v), y down.
    double pixelX(double uu) const { return std::trunc(uu); }
    double pixelY(double vv) const { return height - std::trunc(vv); }
    // View units of a pixel (x right, y down from the top).
    double viewX(double px) const { return px / xScale - xOffset; }
    double viewY(double py) const { return (height - py) / yScale - yOffset; }
};

// Whether the frame's scaling (else the plot's) is constrained.
inline bool scalingConstrained(const PlotRecord* plot, const PlotFrame* frame) {
    int s = frame ? frame->options.scaling : 0;
    return s == SCALING_CONSTRAINED || (s == SCALING_DEFAULT && plot && plot->options.scaling == SCALING_CONSTRAINED);
}

}  // namespace gl3d
