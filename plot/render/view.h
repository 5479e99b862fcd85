#pragma once
// The view of a frame: the view box it is fitted to, the 2-D and 3-D view set-up, the point
// transforms with the perspective divide, the transform of a frame's drawables, and the
// hand-over of finished drawables to the output (the direct output path).
//
// View units: after the transform the view box is centred on the origin and its larger extents
// span about 2 units; in 3-D depth grows away from the viewer.  No function here raises.

#include "plot/render/drawables.h"

void plot_view_box(const PlotRecord* plot, const PlotFrame* frame, ViewBox* out);
void view_box_union(bool threeD, const ViewBox* a, const ViewBox* b, ViewBox* out);

void plot_setup_view_3d(const PlotRecord* plot, const PlotFrame* frame, PlotView* view, ViewBox* extent);
void plot_setup_view_2d(const PlotRecord* plot, const PlotFrame* frame, PlotView* view, ViewBox* extent);
void view_transform_point(const PlotView* view, DrawVertex* v);
void view_transform_point_2d(const PlotView* view, DrawVertex* v);
void plot_transform_3d(PlotDrawables* set, const PlotView* view);
void plot_transform_2d(PlotDrawables* set, const PlotView* view);
void plot_output_primitives(PlotOutputCallbacks* cb, const PlotDrawables* set);

void view_matrix_identity(double m[16]);
void view_matrix_scale(double m[16], double sx, double sy, double sz);
void view_matrix_translate(double m[16], double tx, double ty, double tz);
void view_matrix_mirror_z(double m[16]);
void view_matrix_rotate_z(double m[16], double a);
void view_matrix_rotate_y(double m[16], double a);
void view_matrix_multiply(const double a[16], const double b[16], double out[16]);
