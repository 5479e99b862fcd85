#pragma once
// The renderer's stage order for one plot, as the plot elements drive it: drawables, per frame
// the view set-up and transform (and lighting in 3-D), then the direct output, or the
// hidden-surface removal for a 3-D frame with polygons (the sweep of plot_hidden_surface unless a
// caller installs another stage, or none), then the axes.

#include "plot/render/drawables.h"

// The hidden-surface stage: sorts and outputs every primitive of a 3-D frame with polygons.
using PlotHiddenSurface = void (*)(PlotDrawables* set, const PlotRecord* plot, PlotOutputCallbacks* cb);
// Installs the stage (null: 3-D frames with polygons go through the direct output).
void plot_set_hidden_surface(PlotHiddenSurface stage);

// Runs every stage for every frame into `cb`; drawables live in `area`, which the caller frees.
// Stops after the current frame when interruptTest answers nonzero.  Answers the frames drawn.
int plot_render(PlotRecord* plot, PlotOutputCallbacks* cb, StorageArea* area);
