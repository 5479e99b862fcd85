// The hidden-surface driver and the output relays.

#include "plot/plot_hidden_surface.h"

#include <algorithm>
#include <cmath>

#include "plot/plot_sweep.h"
#include "plot/render/pipeline.h"
#include "plot/render/view.h"

SweepTolerances sweep_tol{1e-10, 1e-10, 1e-10, 1e-10};

namespace {

PlotOutputCallbacks* current = nullptr;
bool sweeping = false;
long eventsHandled = 0;

bool finite(const DrawVertex* v) {
    return v && std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z);
}

// Unlinks the items the predicate rejects; answers the new head.
template <typename T, typename Keep>
T* filterList(T* head, Keep keep) {
    T* first = nullptr;
    T** tailLink = &first;
    for (T* t = head; t; t = t->next) {
        if (!keep(t)) continue;
        *tailLink = t;
        tailLink = &t->next;
    }
    *tailLink = nullptr;
    return first;
}

struct Extent {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void add(const DrawVertex* v) {
        const double c[3] = {v->x, v->y, v->z};
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::fmin(lo[i], c[i]);
            hi[i] = std::fmax(hi[i], c[i]);
        }
    }
};

double range(double lo, double hi, double fallback) {
    double r = hi - lo;
    return std::isfinite(r) && r > 0 ? r : fallback;
}

void setTolerances(const PlotDrawables* set) {
    Extent e;
    for (const DrawPolygon* p = set->polygons; p; p = p->next)
        for (int i = 0; i < p->count; ++i) e.add(p->v[i]);
    for (const DrawSegment* s = set->segments; s; s = s->next) { e.add(s->a); e.add(s->b); }
    for (const DrawPoint* p = set->points; p; p = p->next) e.add(p->v);
    for (const DrawText* t = set->texts; t; t = t->next) e.add(t->v);
    // The frame's extents as the view transform left them; the primitives' own extents where
    // those are missing or not finite.
    double rx = range(set->xmin, set->xmax, range(e.lo[0], e.hi[0], 1));
    double ry = range(set->ymin, set->ymax, range(e.lo[1], e.hi[1], 1));
    double rz = range(set->zmin, set->zmax, range(e.lo[2], e.hi[2], 1));
    sweep_tol.x = rx * 2e-10;
    sweep_tol.y = ry * 2e-10;
    sweep_tol.z = rz * 2e-10;
    sweep_tol.area = ry * rx * 2e-10;
}

// Rotates the vertex ring so that it starts at its lowest vertex (the first among equals).
void rotateToLowest(DrawPolygon* p) {
    int low = 0;
    for (int i = 1; i < p->count; ++i)
        if (p->v[i]->y < p->v[low]->y) low = i;
    if (low) std::rotate(p->v, p->v + low, p->v + p->count);
}

// Closes every working area of the sweep however the sweep ends.
struct SweepAreas {
    bool queue = false, spans = false, trees = false, boundary = false;
    ~SweepAreas() {
        if (spans) spantab_close();
        if (trees) depth_tree_close();
        if (queue) eventq_close();
        if (boundary) boundary_end();
        current = nullptr;
        sweeping = false;
    }
};

}  // namespace

long plot_hidden_surface_events() { return eventsHandled; }

void plot_hidden_surface(PlotDrawables* set, const PlotRecord*, PlotOutputCallbacks* cb) {
    if (sweeping || !set || !cb) return;
    sweeping = true;
    SweepAreas areas;
    current = cb;
    eventsHandled = 0;

    // Degenerate input never reaches the sweep: primitives with a missing or non-finite vertex.
    set->polygons = filterList(set->polygons, [](const DrawPolygon* p) {
        if (p->count < 3 || !p->v) return false;
        for (int i = 0; i < p->count; ++i)
            if (!finite(p->v[i])) return false;
        return true;
    });
    set->segments = filterList(set->segments, [](const DrawSegment* s) { return finite(s->a) && finite(s->b); });
    set->points = filterList(set->points, [](const DrawPoint* p) { return finite(p->v); });
    set->texts = filterList(set->texts, [](const DrawText* t) { return finite(t->v) && t->text; });
    setTolerances(set);

    for (DrawSegment* s = set->segments; s; s = s->next)
        if (s->b->y < s->a->y) std::swap(s->a, s->b);
    for (DrawPolygon* p = set->polygons; p; p = p->next) {
        rotateToLowest(p);
        p->spanLink[0] = p->spanLink[1] = nullptr;
    }
    plot_sort(set);
    eventq_open();
    areas.queue = true;
    DrawPolygon* polygon = set->polygons;
    DrawSegment* segment = set->segments;
    DrawPoint* point = set->points;
    DrawText* text = set->texts;
    // The sorted lists run through memory in no order, so each feed asks for what the next
    // feeds will read, a level deeper for each step ahead: the third polygon's record, the
    // second's vertex array and the next one's first vertex (a segment: record, then vertex).
    auto feedPolygon = [&] {
        if (!polygon) return;
        eventq_insert(polygon->v[0]->x, polygon->v[0]->y + sweep_tol.y, SWEEP_POLYGON_START, polygon, nullptr);
        if (const DrawPolygon* n1 = polygon->next) {
            __builtin_prefetch(n1->v[0]);
            if (const DrawPolygon* n2 = n1->next) {
                __builtin_prefetch(n2->v);
                __builtin_prefetch(n2->next);
            }
        }
    };
    auto feedSegment = [&] {
        if (!segment) return;
        eventq_insert(segment->a->x, segment->a->y, SWEEP_LINE_START, segment, nullptr);
        if (const DrawSegment* n1 = segment->next) {
            __builtin_prefetch(n1->a);
            __builtin_prefetch(n1->next);
        }
    };
    auto feedPoint = [&] { if (point) eventq_insert(point->v->x, point->v->y, SWEEP_POINT, point, nullptr); };
    auto feedText = [&] { if (text) eventq_insert(text->v->x, text->v->y, SWEEP_TEXT, text, nullptr); };
    feedPolygon();
    feedSegment();
    feedPoint();
    feedText();
    spantab_open();
    areas.spans = true;
    depth_tree_open();
    areas.trees = true;
    boundary_begin();
    areas.boundary = true;

    while (SweepEvent* e = eventq_pop()) {
        std::int32_t kind = e->kind;
        sweep_dispatch(e);
        switch (kind) {
        case SWEEP_POLYGON_START: polygon = polygon->next; feedPolygon(); break;
        case SWEEP_LINE_START: segment = segment->next; feedSegment(); break;
        case SWEEP_POINT: point = point->next; feedPoint(); break;
        case SWEEP_TEXT: text = text->next; feedText(); break;
        default: break;
        }
        eventq_release(e);
        ++eventsHandled;
        if (eventsHandled % 4096 != 0 && cb->interruptTest && cb->interruptTest(cb)) break;
    }
}

void plot_hidden_surface_install() { plot_set_hidden_surface(plot_hidden_surface); }

// ---- output relays -------------------------------------------------------------------------------
void output_point(double x, double y, ColourWord colour) {
    if (current && current->point) current->point(current, x, y, colour);
}

void output_line(double x1, double y1, double x2, double y2, ColourWord colour) {
    if (std::fabs(x1 - x2) <= 10 * sweep_tol.x && std::fabs(y1 - y2) <= 10 * sweep_tol.y) return;
    if (current && current->line) current->line(current, x1, y1, x2, y2, colour);
}

void output_polygon(int n, const double* xs, const double* ys, ColourWord colour) {
    if (current && current->polygon) current->polygon(current, n, xs, ys, colour);
}

void output_text(double x, double y, const char* text, int align, ColourWord colour, int font) {
    if (current && current->text) current->text(current, x, y, text, align, colour, font);
}

// ---- view box and point symbols -----------------------------------------------------------------
void plot_draw_view_box(const PlotRecord* plot, const PlotFrame* frame, const PlotView* view, PlotOutputCallbacks* cb,
                        PlotLineSink sink) {
    if (!sink) return;
    ViewBox box{};
    plot_view_box(plot, frame, &box);
    DrawVertex corner[8];
    for (int k = 0; k < 8; ++k) {
        corner[k] = DrawVertex{(k & 4) ? box.hi[0] : box.lo[0], (k & 2) ? box.hi[1] : box.lo[1],
                               (k & 1) ? box.hi[2] : box.lo[2], 0};
        view_transform_point(view, &corner[k]);
    }
    static const int faces[6][4] = {{1, 5, 7, 3}, {2, 6, 4, 0}, {5, 4, 6, 7}, {1, 3, 2, 0}, {3, 7, 6, 2}, {1, 0, 4, 5}};
    for (const auto& f : faces) {
        const DrawVertex& p0 = corner[f[0]];
        const DrawVertex& p1 = corner[f[1]];
        const DrawVertex& p3 = corner[f[3]];
        if ((p1.x - p0.x) * (p3.y - p0.y) - (p3.x - p0.x) * (p1.y - p0.y) > 0) {
            for (int i = 0; i < 4; ++i) {
                const DrawVertex& a = corner[f[i]];
                const DrawVertex& b = corner[f[(i + 1) % 4]];
                sink(cb, a.x, a.y, b.x, b.y, 0);
            }
        }
    }
}

void plot_draw_point_symbol(PlotOutputCallbacks* cb, double x, double y, ColourWord colour) {
    if (!cb || !cb->line) return;
    const double d = 0.008, e = 0.005656;
    const ColourWord w = (colour & 0xffffff) | 0x2000000;
    auto line = [&](double x1, double y1, double x2, double y2) { cb->line(cb, x1, y1, x2, y2, w); };
    switch ((colour >> 28) & 0xF) {
    case 1:   // cross
        line(x + d, y, x - d, y);
        line(x, y + d, x, y - d);
        break;
    case 3:   // box
        line(x + d, y + d, x + d, y - d);
        line(x + d, y - d, x - d, y - d);
        line(x - d, y - d, x - d, y + d);
        line(x - d, y + d, x + d, y + d);
        break;
    case 4: {   // circle, as an octagon
        const double px[9] = {x, x + e, x + d, x + e, x, x - e, x - d, x - e, x};
        const double py[9] = {y + d, y + e, y, y - e, y - d, y - e, y, y + e, y + d};
        for (int i = 0; i < 8; ++i) line(px[i], py[i], px[i + 1], py[i + 1]);
        break;
    }
    default:   // diamond
        line(x, y + d, x + d, y);
        line(x + d, y, x, y - d);
        line(x, y - d, x - d, y);
        line(x - d, y, x, y + d);
        break;
    }
}
