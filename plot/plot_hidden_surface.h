#pragma once
// Hidden-surface removal of one 3-D frame, the outline of the view box drawn while a view is
// turned, and point symbols drawn as lines.
//
// plot_hidden_surface sweeps the frame's projected primitives (view units, smaller z nearer the
// viewer) and hands only what is visible to the output callbacks: visible pieces of polygons as
// separate polygons, visible pieces of segments, and the points and texts not hidden.  A
// polygon whose colour word has the background-fill bit hides what lies behind it and is never
// drawn.  Primitives with a non-finite coordinate are left out.  The callbacks' interruptTest
// (may be null) is asked after every handled event except every 4096th; a nonzero answer ends
// the sweep.  Every working area is released when the sweep ends, is interrupted, or an error
// is raised through it.
//
// The sweep state is process-wide: one sweep at a time; an interrupt test or output callback
// that starts another sweep gets nothing drawn for it.

#include "plot/render/drawables.h"

void plot_hidden_surface(PlotDrawables* set, const PlotRecord* plot, PlotOutputCallbacks* cb);
// Makes the renderer pipeline send 3-D frames with polygons through plot_hidden_surface.
void plot_hidden_surface_install();

using PlotLineSink = void (*)(PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord colour);
// Draws the edges of the faces of the frame's view box that face the viewer through `sink`
// (called with `cb`), colour word 0; an edge shared by two such faces is drawn twice.
void plot_draw_view_box(const PlotRecord* plot, const PlotFrame* frame, const PlotView* view, PlotOutputCallbacks* cb,
                        PlotLineSink sink);
// A point symbol (SYMBOL in bits 28-31 of the colour word) as lines through cb->line.
void plot_draw_point_symbol(PlotOutputCallbacks* cb, double x, double y, ColourWord colour);

// Events handled by the last sweep (for checks of the interrupt test).
long plot_hidden_surface_events();
