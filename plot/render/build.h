#pragma once
// The drawable builders: each object of each frame becomes points, segments, polygons and texts
// with their colour words, by object kind and drawing style, clipped to the frame's clip box.

#include "plot/render/drawables.h"

// One PlotDrawables per frame, in frame order, all in `area`; null for a plot without frames.
// With `inverse` the default colour of lines, points and texts is white instead of black.
PlotDrawables* plot_build_drawables(PlotRecord* plot, StorageArea* area, int inverse);
void merge_object_options(const ObjectOptions* own, const ObjectOptions* fallback, ObjectOptions* result);
