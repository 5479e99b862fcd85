#pragma once
// The clip box of a frame and the primitives that cut drawables to it, and isosurface
// extraction.
//
// The clip box is set from the frame's VIEW (else the plot's) before the frame's objects are
// built; while neither has a VIEW clipping is off and every primitive passes unchanged.  In a
// 2-D plot only the x and y planes cut.  Vertices made by cutting are listed and handed to the
// view transform as one more VertexArray of the frame (clip_list_end).
//
// State is process-wide and valid for the frame being built.

#include "plot/render/drawables.h"

void clip_box_begin(const PlotRecord* plot, const PlotFrame* frame, PlotDrawables* set, StorageArea* area);
void clip_list_end(const PlotRecord* plot, const PlotFrame* frame, PlotDrawables* set, StorageArea* area);
// Sets the box directly (on), for callers that clip without a frame.
void clip_set_box(const double box[6], bool threeD);
void clip_off();

DrawVertex* clip_point(DrawVertex* v);
DrawSegment* clip_segment(DrawSegment* s, StorageArea* area);
DrawPolygon* clip_polygon(DrawPolygon* p, StorageArea* area);
// Distances to the planes in use (from the first plane on) and the outcode.
unsigned clip_outcode(const DrawVertex* v, double d[6], int firstPlane);

// Replaces the object's polygon set by the surface where the sampled value crosses 0.
void isosurface_extract(const PlotRecord* plot, PlotObject* object, StorageArea* area);
