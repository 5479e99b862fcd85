#pragma once
// The hidden-surface sweep: a horizontal line moves up in screen y across one projected frame;
// the edges it cuts are kept left to right in the span table, every visible polygon span holds
// the depth tree of the region right of it, and visible pieces are traced as boundary chains.
//
// Span flags:
//
// | bit  | meaning                                                                     |
// |------|-----------------------------------------------------------------------------|
// | 0x01 | visible: a polygon span bounding a visible piece, or a line span being drawn |
// | 0x02 | left span of its polygon                                                    |
// | 0x04 | line span                                                                   |
// | 0x20 | reached its polygon's top vertex and waits for its partner                  |
// | 0x40 | walks the polygon's vertex ring forwards (index + 1), else backwards         |
//
// The span table is a doubly linked list of SpanLinks in left-to-right order (each link holds
// one Span; exchanging two neighbours swaps the spans their links hold).  Runs of consecutive
// links form blocks that carry bounds on their spans' x, so that a search can pass a whole block
// in one step (plot_span_table.cpp).  Spans come from the area "spantab-Span" (zeroed), links
// from "spantab-Link", blocks from "spantab-ST"; all are recycled through the areas' free lists.  Every span gets a fresh serial number when it is made, so events that
// name a span which has since been removed are recognised and dropped.
//
// All state is process-wide and lives for one sweep; nothing here is re-entrant.

#include <cstdint>

#include "plot/plot_boundary.h"
#include "plot/plot_depth_tree.h"
#include "plot/plot_sweep_queue.h"
#include "plot/render/drawables.h"

enum : std::uint32_t {
    SPAN_VISIBLE = 0x01,
    SPAN_LEFT = 0x02,
    SPAN_LINE = 0x04,
    SPAN_WAITING = 0x20,
    SPAN_FORWARD = 0x40,
};

struct SpanLink;
struct SpanBlock;

struct Span {
    double slope;        // dx/dy: x = slope * y + intercept
    double intercept;
    double visibleFromX, visibleFromY;
    void* owner;         // DrawPolygon or DrawSegment
    DrawVertex* fromVertex;
    DrawVertex* toVertex;
    std::uint32_t flags;
    std::int32_t toIndex;
    SpanLink* link;
    DepthTree depth;     // tree of the region right of the span while visible
    BoundaryChain leftChain;
    BoundaryChain rightChain;
    std::uint32_t serial;   // 0 once removed
};

struct SpanLink {
    SpanLink* right;
    SpanLink* left;
    Span* span;
    SpanBlock* block;   // the run of links this one belongs to
};

// Sweep tolerances, set by plot_hidden_surface from the frame's extents.
struct SweepTolerances {
    double x, y, z, area;
};
extern SweepTolerances sweep_tol;

inline double span_x(const Span* s, double y) { return s->slope * y + s->intercept; }
inline DrawPolygon* span_polygon(const Span* s) { return static_cast<DrawPolygon*>(s->owner); }
inline Span* polygon_left_span(const DrawPolygon* p) { return static_cast<Span*>(p->spanLink[0]); }
inline Span* polygon_right_span(const DrawPolygon* p) { return static_cast<Span*>(p->spanLink[1]); }
inline DrawSegment* span_line(const Span* s) { return static_cast<DrawSegment*>(s->owner); }
// The neighbours in the table; null at either end, for a null span and for a span not in it.
inline Span* span_left(const Span* s) { return s && s->link && s->link->left ? s->link->left->span : nullptr; }
inline Span* span_right(const Span* s) { return s && s->link && s->link->right ? s->link->right->span : nullptr; }

// ---- span table -----------------------------------------------------------------------------
void spantab_open();
void spantab_close();
Span* span_new();
Span* span_visible_owner(Span* span);
Span* spantab_locate(double x, double y);
void spantab_insert(double x, double y, Span* span);
void spantab_insert_right_of(Span* span, Span* newSpan);
void spantab_remove(Span* span);
void spantab_exchange(Span* left, Span* right);   // two neighbours, `left` left of `right`
void spantab_line_changed(Span* span);   // after a linked span's slope or intercept was set
Span* spantab_first();
int spantab_count();
void schedule_crossing(Span* left, Span* right, double y);

// ---- event handlers -------------------------------------------------------------------------
void sweep_dispatch(SweepEvent* event);
void on_polygon_start(SweepEvent* event);
void on_edge_end(SweepEvent* event);
void on_line_start(SweepEvent* event);
void on_line_end(SweepEvent* event);
void on_point(SweepEvent* event);
void on_crossing(SweepEvent* event);
void on_text(SweepEvent* event);
bool polygon_plane(DrawPolygon* p);

// ---- ordering, depth tests and visible pieces -------------------------------------------------
void plot_sort(PlotDrawables* set);
void sort_by_key(double* keys, void** items, int n);
bool polygon_behind(const DrawPolygon* p, const DrawPolygon* q, double y);
bool line_visible_against(const DrawSegment* line, const DrawPolygon* p, double y);
void region_open(DrawPolygon* p, double x0, double y0);
void region_close(DrawPolygon* p, double x, double y);
void span_extend_boundary(Span* span, double x, double y);
void cross_polygon_spans(Span* m, Span* n, double x, double y);
void cross_line_span(Span* m, Span* n, double x, double y);

// ---- output relays (plot_hidden_surface.cpp) ----------------------------------------------------
void output_point(double x, double y, ColourWord colour);
void output_line(double x1, double y1, double x2, double y2, ColourWord colour);
void output_polygon(int n, const double* xs, const double* ys, ColourWord colour);
void output_text(double x, double y, const char* text, int align, ColourWord colour, int font);
