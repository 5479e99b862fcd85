#pragma once
// The renderer's stage order for one plot, as the plot elements drive it: drawables, per frame
// the view set-up and transform (and lighting in 3-D), then the direct output, or the
// hidden-surface removal for a 3-D frame with polygons (the sweep of plot_hidden_surface unless a
// caller installs another stage, or none), then the axes.
//
// plot_render runs every frame; plot_render_frame runs the same stages for one frame whose
// drawables the caller built (and keeps), for callers that redraw one frame at a time.  Both
// hand setDrawingArea the union of the extents of all frames, so the frames of an animation
// share one mapping to the device and do not jump.

#include "plot/render/drawables.h"

// The hidden-surface stage: sorts and outputs every primitive of a 3-D frame with polygons.
using PlotHiddenSurface = void (*)(PlotDrawables* set, const PlotRecord* plot, PlotOutputCallbacks* cb);
// Installs the stage (null: 3-D frames with polygons go through the direct output).
void plot_set_hidden_surface(PlotHiddenSurface stage);

// Runs every stage for every frame into `cb`, or for the first `frameLimit` frames when it is
// above 0; drawables live in `area`, which the caller frees.  Stops after the current frame when
// interruptTest answers nonzero.  Answers the frames drawn.
int plot_render(PlotRecord* plot, PlotOutputCallbacks* cb, StorageArea* area, int frameLimit = 0);

// The view of `frame` (2-D or 3-D by the plot's dimension) and, in *all, the union of the
// extents of every frame of the plot in view units (x in lo[0]..hi[0], y in lo[1]..hi[1]).
void plot_frame_view(const PlotRecord* plot, const PlotFrame* frame, PlotView* view, ViewBox* all);

// The stages of plot_render for one frame: hands setDrawingArea the union extent, transforms
// `set` (the frame's untransformed drawables; changed in place, as are its lists by the
// hidden-surface stage), lights it in 3-D, outputs it and the axes.  *view receives the frame's
// view when view is not null.
void plot_render_frame(PlotRecord* plot, PlotFrame* frame, PlotDrawables* set, PlotOutputCallbacks* cb,
                       PlotView* view);
