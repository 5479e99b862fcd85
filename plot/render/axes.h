#pragma once
// Axes and tick labels on the overlay layer: axis lines, frame or box, tick marks, tick labels
// and axis labels in every axes style, with labels kept clear of each other, of tick marks and
// of axis lines.  Working records live in "axes-def", freed at the end of every build.

#include "plot/render/drawables.h"

void plot_build_axes_2d(PlotOutputCallbacks* cb, const PlotRecord* plot, const PlotFrame* frame, const PlotView* view);
void plot_build_axes_3d(PlotOutputCallbacks* cb, const PlotRecord* plot, const PlotFrame* frame, const PlotView* view);
