#pragma once
// Outlines of visible pieces.  The sweep traces each visible piece of a polygon as two chains
// of boundary edge records (newest point first); boundary_emit joins them into one outline,
// drops repeated and collinear points and hands what is left to output_polygon.
//
// Records live in the storage area "boundary" (8-byte aligned, not zeroed) and go back to its
// free list as soon as they are read; a record is never given back twice (the `live` mark), and
// a walk never takes more steps than there are live records, so a damaged chain cannot loop.
// The outline stacks (x and y) are heap arrays of 100 entries at the start of a sweep, doubled
// whenever they fill.  Both live from boundary_begin to boundary_end.

#include <cstdint>

struct DrawPolygon;

struct BoundaryEdge {
    double x, y;
    BoundaryEdge* next;
    std::int32_t live;   // 1 while handed out
};
using BoundaryChain = BoundaryEdge*;

void boundary_begin();
void boundary_end();
BoundaryEdge* boundary_edge_new(double x, double y, BoundaryEdge* next);
// Gives every record of the chain back.
void boundary_chain_free(BoundaryChain chain);
void boundary_emit(double x, double y, BoundaryChain first, BoundaryChain second, const DrawPolygon* polygon);
// Capacity of the outline stacks (0 outside a sweep).
int boundary_stack_capacity();
// Cleans an outline in place (coincident and collinear points) and answers the points left.
int boundary_clean(double* xs, double* ys, int n);
