#pragma once
// Axes and tick labels on the overlay layer: axis lines, frame or box, tick marks, tick labels
// and axis labels in every axes style, with labels kept clear of each other, of tick marks and
// of axis lines.  Working records live in "axes-def", freed at the end of every build.

#include "plot/render/drawables.h"

void plot_build_axes_2d(PlotOutputCallbacks* cb, const PlotRecord* plot, const PlotFrame* frame, const PlotView* view);
void plot_build_axes_3d(PlotOutputCallbacks* cb, const PlotRecord* plot, const PlotFrame* frame, const PlotView* view);

// ---- the edges of a 3-D box or frame ----------------------------------------------------------
// Box corners are numbered 0 .. 7: x is the maximum when the number has bit 4, y with bit 2,
// z with bit 1.  Edge e runs along axis kBoxEdges[e][0] from corner [1] (the minimum end) to [2].

struct AxesPoint {
    double x, y;
};

extern const int kBoxEdges[12][3];

// Marks the edges of the faces turned toward the viewer as visible and chooses the edge that
// carries each axis (-1 for none): the leftmost visible z edge; from its lower end P the x or y
// edge that recedes least steeply; from that edge's other end Q an edge of the remaining axis.
// corner and depth are the projected corners (view x, y) and their projected z.
void axes_box_edges(const AxesPoint corner[8], const double depth[8], bool visible[12], int chosen[3]);

// The five candidate tick directions: across, up, then the directions of the chosen x, y and z
// edges that exist; unused slots stay (0, 0).
void axes_tick_directions(const AxesPoint corner[8], const int chosen[3], AxesPoint out[5]);

// (b - a) scaled to length 1; (0, 0) when the points coincide.
AxesPoint axes_unit_direction(AxesPoint a, AxesPoint b);

// The candidate most nearly at right angles to the edge from a to b (the first one on a tie); a
// (0, 0) answer lets the axis compute its own direction.
AxesPoint axes_pick_tick_direction(const AxesPoint candidates[5], AxesPoint a, AxesPoint b);
