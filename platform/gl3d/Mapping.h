#pragma once
// Mapping: view units to pixels of the drawing area, the plot's 2-D view scaling
// (plot/render/scaling.h) with y counted down from the area's top: a view point (x, y) lies at
// the pixel (trunc(u(x)), height - trunc(v(y))).

#include <cmath>

#include "plot/render/scaling.h"

namespace gl3d {

struct Mapping : PlotScaling {
    // The pixel of (u, v), y down.
    double pixelX(double uu) const { return std::trunc(uu); }
    double pixelY(double vv) const { return height - std::trunc(vv); }
    // View units of a pixel (x right, y down from the top).
    double pixelToViewX(double px) const { return viewX(px); }
    double pixelToViewY(double py) const { return viewY(height - py); }
};

}  // namespace gl3d
