// The drawable builders.
//
// Every pass makes its own VertexArray of the object (copies in the drawing area; the plot's
// own records are never changed) and refers to vertices by index in it.  Scratch records come
// from "draw-temp", freed when the build ends, also when an error ends it.

#include "plot/render/build.h"

#include <cmath>
#include <vector>

#include "plot/render/clip.h"
#include "plot/render/colour.h"
#include "plot/render/ticks.h"
#include "plot/render/view.h"

namespace {

// Frees a scratch area on every path out of the build.
class ScratchArea {
public:
    ScratchArea(unsigned flags, const char* name) { storage_init(&area_, flags, name); }
    ~ScratchArea() { storage_free(&area_); }
    ScratchArea(const ScratchArea&) = delete;
    ScratchArea& operator=(const ScratchArea&) = delete;
    StorageArea* get() { return &area_; }

private:
    StorageArea area_;
};

struct Ctx {
    PlotRecord* plot;
    PlotFrame* frame;
    PlotDrawables* set;
    PlotObject* object;
    ObjectOptions opts;
    StorageArea* area;
    StorageArea* temp;
    int inverse;
    ColourFunction fn;
    const PlotColour* value;
    bool background;   // the background fill: colour words 0x1000000, no colour function
    ViewBox view;
};

PlotColour gridColourValue;   // black RGB, set up on first use
double gridColourData[3] = {0, 0, 0};

const PlotColour* grid_colour() {
    gridColourValue.kind = SHADE_RGB;
    gridColourValue.count = 3;
    gridColourValue.values = gridColourData;
    return &gridColourValue;
}

enum class Paint { Object, Grid, Background };

void use_colour(Ctx& c, Paint paint) {
    c.background = paint == Paint::Background;
    c.value = paint == Paint::Grid ? grid_colour() : c.opts.colour;
    c.fn = select_colour_function(c.plot, c.frame, c.value, c.inverse);
}

ColourWord colour_of(Ctx& c, const PlotColour* value, double x, double y, double z, long index, int mode) {
    if (c.background) return COLOUR_BACKGROUND_FILL;
    return c.fn(c.plot, c.set, value, x, y, z, index, mode) & 0xFFFFFF;
}

ColourWord style_bits(const Ctx& c) {
    return (ColourWord(c.opts.thickness & 0xF) << 28) | (ColourWord(c.opts.lineStyle & 0x7) << 25);
}

VertexArray* new_array(Ctx& c, long n, bool onList, StorageArea* area) {
    VertexArray* a = plot_alloc<VertexArray>(area);
    a->count = static_cast<std::int32_t>(n);
    a->v = plot_alloc<DrawVertex*>(area, n);
    if (onList) {
        if (c.set->arraysTail) c.set->arraysTail->next = a; else c.set->arrays = a;
        c.set->arraysTail = a;
    }
    return a;
}

DrawVertex* copy_vertex(StorageArea* area, const PlotVertex* p) {
    if (!p) return nullptr;
    DrawVertex* v = plot_alloc<DrawVertex>(area);
    v->x = p->x;
    v->y = p->y;
    v->z = p->z;
    return v;
}

// ---- vertex arrays ------------------------------------------------------------------------------

VertexArray* grid_vertices(Ctx& c, bool onList, StorageArea* area) {
    auto* g = static_cast<PlotGridData*>(c.object->data);
    long nx = g->rows, ny = g->cols;
    VertexArray* a = new_array(c, nx * ny, onList, area);
    const PlotBBox& b = c.object->box;
    for (long i = 0; i < nx; ++i)
        for (long j = 0; j < ny; ++j) {
            long k = i * ny + j;
            if (!g->defined[k]) continue;
            DrawVertex* v = plot_alloc<DrawVertex>(area);
            // A grid of one row or one column sits at the start of its range (no 0 / 0).
            v->x = nx > 1 ? b.v[0] + i * (b.v[1] - b.v[0]) / (nx - 1) : b.v[0];
            v->y = ny > 1 ? b.v[2] + j * (b.v[3] - b.v[2]) / (ny - 1) : b.v[2];
            v->z = g->values[k];
            v->colour = colour_of(c, c.value, v->x, v->y, v->z, k, COLOUR_MODE_PATCH);
            a->v[k] = v;
        }
    return a;
}

VertexArray* copy_array(Ctx& c, PlotVertex* const* src, long n, int mode, bool colour, bool onList, StorageArea* area) {
    VertexArray* a = new_array(c, n, onList, area);
    for (long i = 0; i < n; ++i) {
        a->v[i] = copy_vertex(area, src[i]);
        if (a->v[i] && colour) a->v[i]->colour = colour_of(c, c.value, a->v[i]->x, a->v[i]->y, a->v[i]->z, i, mode);
    }
    return a;
}

// Rows and columns of a grid or mesh, and its vertex array.
struct Lattice {
    long rows, cols;
    VertexArray* a;
    DrawVertex* at(long r, long col) const { return a->v[r * cols + col]; }
    long index(long r, long col) const { return r * cols + col; }
};

Lattice lattice(Ctx& c, bool onList, StorageArea* area) {
    if (c.object->kind == PLOT_GRID) {
        auto* g = static_cast<PlotGridData*>(c.object->data);
        return {g->rows, g->cols, grid_vertices(c, onList, area)};
    }
    auto* m = static_cast<PlotMeshData*>(c.object->data);
    return {m->rows, m->cols, copy_array(c, m->vertices, long(m->rows) * m->cols, COLOUR_MODE_PATCH, true, onList, area)};
}

// ---- primitives ---------------------------------------------------------------------------------

void add_point(Ctx& c, DrawVertex* v, ColourWord colour) {
    if (!v || !clip_point(v)) return;
    DrawPoint* p = plot_alloc<DrawPoint>(c.area);
    p->v = v;
    p->colour = colour | (ColourWord(c.opts.symbol & 0xF) << 28);
    p->next = c.set->points;
    c.set->points = p;
    c.set->pointCount++;
}

// Per-item colour data of the object (HUE with a count other than 1, RGB/HSV other than 3).
int per_item(const PlotColour* v) {
    if (!v || !v->values) return 0;
    if (v->kind == SHADE_HUE && v->count != 1) return 1;
    if ((v->kind == SHADE_RGB || v->kind == SHADE_HSV) && v->count != 3) return 3;
    return 0;
}

// The mean of the items at the given indices, as a one-colour value in `out`.
const PlotColour* mean_value(const PlotColour* v, const long* idx, int n, PlotColour* out, double* data) {
    int per = per_item(v);
    if (!per) return v;
    out->kind = v->kind;
    out->count = per;
    out->values = data;
    for (int k = 0; k < per; ++k) {
        double s = 0;
        for (int i = 0; i < n; ++i) {
            long at = idx[i] * per + k;
            s += at >= 0 && at < v->count ? v->values[at] : 0;
        }
        data[k] = s / n;
    }
    return out;
}

void add_segment(Ctx& c, DrawVertex* a, DrawVertex* b, const PlotColour* value, long index) {
    if (!a || !b) return;
    DrawSegment* s = plot_alloc<DrawSegment>(c.area);
    s->a = a;
    s->b = b;
    if (!clip_segment(s, c.area)) return;
    ColourWord w = colour_of(c, value, (s->a->x + s->b->x) / 2, (s->a->y + s->b->y) / 2, (s->a->z + s->b->z) / 2,
                             index, COLOUR_MODE_LINE);
    if (!c.background) w |= style_bits(c);
    s->colour = w;
    s->a->colour = w;
    s->b->colour = w;
    s->next = c.set->segments;
    c.set->segments = s;
    c.set->segmentCount++;
}

DrawPolygon* new_triangle(Ctx& c, DrawVertex* a, DrawVertex* b, DrawVertex* d) {
    DrawPolygon* p = plot_alloc<DrawPolygon>(c.area);
    p->count = 3;
    p->v = plot_alloc<DrawVertex*>(c.area, 3);
    p->v[0] = a;
    p->v[1] = b;
    p->v[2] = d;
    return p;
}

void push_polygon(Ctx& c, DrawPolygon* p) {
    p->next = c.set->polygons;
    c.set->polygons = p;
    c.set->polygonCount++;
}

// ---- passes ---------------------------------------------------------------------------------------

void build_points(Ctx& c) {
    auto* pl = static_cast<PlotPointList*>(c.object->data);
    VertexArray* a = copy_array(c, pl->vertices, pl->count, COLOUR_MODE_POINT, true, true, c.area);
    for (long i = 0; i < pl->count; ++i)
        if (a->v[i]) add_point(c, a->v[i], colour_of(c, c.value, a->v[i]->x, a->v[i]->y, a->v[i]->z, i, COLOUR_MODE_POINT));
}

void build_lattice_points(Ctx& c) {
    Lattice l = lattice(c, true, c.area);
    for (long i = 0; i < l.rows * l.cols; ++i) {
        DrawVertex* v = l.a->v[i];
        if (v) add_point(c, v, colour_of(c, c.value, v->x, v->y, v->z, i, COLOUR_MODE_POINT));
    }
}

void build_text(Ctx& c) {
    auto* t = static_cast<PlotText*>(c.object->data);
    VertexArray* a = new_array(c, 1, true, c.area);
    a->v[0] = copy_vertex(c.area, t->location);
    DrawVertex* v = a->v[0];
    if (!v) return;
    v->colour = colour_of(c, c.value, v->x, v->y, v->z, 0, COLOUR_MODE_TEXT);
    if (!clip_point(v) || !t->text || !t->text[0]) return;
    DrawText* d = plot_alloc<DrawText>(c.area);
    d->v = v;
    d->align = static_cast<std::int16_t>(t->align);
    d->font = static_cast<std::int16_t>(c.opts.font);
    d->text = t->text;
    d->colour = v->colour;
    d->next = c.set->texts;
    c.set->texts = d;
    c.set->textCount++;
}

PlotCurveList* pieces_of(const PlotObject* o) {
    if (o->kind == PLOT_ISOSURFACE) return static_cast<PlotIsoData*>(o->data)->polygons;
    return static_cast<PlotCurveList*>(o->data);
}

VertexArray* piece_vertices(Ctx& c, bool onList, StorageArea* area) {
    PlotCurveList* l = pieces_of(c.object);
    return copy_array(c, l->vertices, l->vertexCount, 0, false, onList, area);
}

bool valid_index(const PlotCurveList* l, std::int32_t i) { return i >= 0 && i < l->vertexCount; }

void build_piece_points(Ctx& c) {
    PlotCurveList* l = pieces_of(c.object);
    VertexArray* a = piece_vertices(c, true, c.area);
    std::vector<long> owner(static_cast<std::size_t>(l->vertexCount), -1);
    long number = 0;
    for (PlotPiece* p = l->first; p; p = p->next, ++number)
        for (int k = 0; k < p->count; ++k)
            if (valid_index(l, p->indices[k]) && owner[p->indices[k]] < 0) owner[p->indices[k]] = number;
    for (long i = 0; i < l->vertexCount; ++i) {
        DrawVertex* v = a->v[i];
        if (!v) continue;
        ColourWord w = colour_of(c, c.value, v->x, v->y, v->z, owner[i] < 0 ? 0 : owner[i], COLOUR_MODE_POINT);
        v->colour = w;
        add_point(c, v, w);
    }
}

void build_curves(Ctx& c) {
    PlotCurveList* l = pieces_of(c.object);
    VertexArray* a = piece_vertices(c, true, c.area);
    long number = 0;
    for (PlotPiece* p = l->first; p; p = p->next, ++number)
        for (int k = 1; k < p->count; ++k)
            if (valid_index(l, p->indices[k - 1]) && valid_index(l, p->indices[k]))
                add_segment(c, a->v[p->indices[k - 1]], a->v[p->indices[k]], c.value, number);
}

void build_polygon_edges(Ctx& c) {
    PlotCurveList* l = pieces_of(c.object);
    VertexArray* a = piece_vertices(c, true, c.area);
    long number = 0;
    for (PlotPiece* p = l->first; p; p = p->next) {
        if (p->count < 1) continue;
        for (int k = 0; k < p->count; ++k) {
            std::int32_t i = p->indices[k], j = p->indices[(k + 1) % p->count];
            if (valid_index(l, i) && valid_index(l, j)) add_segment(c, a->v[i], a->v[j], c.value, number);
        }
        ++number;
    }
}

double clamp_to(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

void build_polygon_faces(Ctx& c) {
    PlotCurveList* l = pieces_of(c.object);
    VertexArray* a = piece_vertices(c, true, c.area);
    long number = -1;
    for (PlotPiece* p = l->first; p; p = p->next) {
        ++number;
        if (p->count < 3) continue;
        bool ok = true;
        double cx = 0, cy = 0, cz = 0;
        for (int k = 0; k < p->count && ok; ++k) {
            ok = valid_index(l, p->indices[k]) && a->v[p->indices[k]];
            if (ok) {
                cx += a->v[p->indices[k]]->x;
                cy += a->v[p->indices[k]]->y;
                cz += a->v[p->indices[k]]->z;
            }
        }
        if (!ok) continue;
        cx = clamp_to(cx / p->count, c.view.lo[0], c.view.hi[0]);
        cy = clamp_to(cy / p->count, c.view.lo[1], c.view.hi[1]);
        cz /= p->count;
        if (c.plot->dimension == 3) cz = clamp_to(cz, c.view.lo[2], c.view.hi[2]);
        ColourWord w = colour_of(c, c.value, cx, cy, cz, number, COLOUR_MODE_PATCH);
        DrawVertex* v0 = a->v[p->indices[0]];
        for (int k = p->count - 1; k >= 2; --k) {
            DrawVertex* vk = a->v[p->indices[k]];
            DrawVertex* vk1 = a->v[p->indices[k - 1]];
            v0->colour = vk->colour = vk1->colour = w;
            DrawPolygon* t = clip_polygon(new_triangle(c, v0, vk, vk1), c.area);
            if (!t) continue;
            t->colour = w;
            push_polygon(c, t);
        }
    }
}

void build_grid_lines(Ctx& c) {
    Lattice l = lattice(c, true, c.area);
    int triangular = c.opts.gridStyle == 1;
    PlotColour mean;
    double data[3];
    for (long r = 0; r + 1 < l.rows; ++r)
        for (long col = 0; col + 1 < l.cols; ++col) {
            long A = l.index(r, col), B = l.index(r, col + 1), C = l.index(r + 1, col), D = l.index(r + 1, col + 1);
            auto edge = [&](long i, long j) {
                long idx[2] = {i, j};
                add_segment(c, l.a->v[i], l.a->v[j], mean_value(c.value, idx, 2, &mean, data), 0);
            };
            edge(A, B);
            if (col + 2 == l.cols) edge(B, D);
            if (r + 2 == l.rows) edge(D, C);
            edge(C, A);
            if (triangular) edge(B, C);
        }
}

void build_grid_patches(Ctx& c) {
    Lattice l = lattice(c, true, c.area);
    PlotColour mean;
    double data[3];
    for (long r = 0; r + 1 < l.rows; ++r)
        for (long col = 0; col + 1 < l.cols; ++col) {
            long A = l.index(r, col), B = l.index(r, col + 1), C = l.index(r + 1, col), D = l.index(r + 1, col + 1);
            long tris[2][3] = {{A, C, B}, {B, C, D}};
            for (auto& t : tris) {
                if (!l.a->v[t[0]] || !l.a->v[t[1]] || !l.a->v[t[2]]) continue;
                DrawPolygon* p = clip_polygon(new_triangle(c, l.a->v[t[0]], l.a->v[t[1]], l.a->v[t[2]]), c.area);
                if (!p) continue;
                double cx = 0, cy = 0, cz = 0;
                for (int k = 0; k < p->count; ++k) {
                    cx += p->v[k]->x;
                    cy += p->v[k]->y;
                    cz += p->v[k]->z;
                }
                p->colour = colour_of(c, mean_value(c.value, t, 3, &mean, data), cx / p->count, cy / p->count,
                                      cz / p->count, 0, COLOUR_MODE_PATCH);
                push_polygon(c, p);
            }
        }
}

// ---- contours -------------------------------------------------------------------------------------

struct Contour {
    Ctx* c;
    TickSet* levels;
    ColourWord style;
    const PlotColour* value;
    std::vector<DrawVertex*> collector;
};

void flush(Contour& k) {
    if (k.collector.empty()) return;
    VertexArray* a = new_array(*k.c, static_cast<long>(k.collector.size()), true, k.c->area);
    for (std::size_t i = 0; i < k.collector.size(); ++i) a->v[i] = k.collector[i];
    k.collector.clear();
}

void contour_segment(Contour& k, double x1, double y1, double x2, double y2, double g) {
    Ctx& c = *k.c;
    if (k.collector.size() > 997) flush(k);
    DrawVertex* a = plot_alloc<DrawVertex>(c.area);
    DrawVertex* b = plot_alloc<DrawVertex>(c.area);
    *a = DrawVertex{x1, y1, g, 0};
    *b = DrawVertex{x2, y2, g, 0};
    DrawSegment* s = plot_alloc<DrawSegment>(c.area);
    s->a = a;
    s->b = b;
    if (!clip_segment(s, c.area)) return;
    k.collector.push_back(a);
    k.collector.push_back(b);
    s->colour = k.style | colour_of(c, k.value, (s->a->x + s->b->x) / 2, (s->a->y + s->b->y) / 2, g, 0, COLOUR_MODE_LINE);
    s->a->colour = k.style | colour_of(c, k.value, s->a->x, s->a->y, g, 0, COLOUR_MODE_LINE);
    s->b->colour = k.style | colour_of(c, k.value, s->b->x, s->b->y, g, 0, COLOUR_MODE_LINE);
    s->next = c.set->segments;
    c.set->segments = s;
    c.set->segmentCount++;
}

void contour_triangle(Contour& k, const DrawVertex* V[3]) {
    constexpr double eps = 2e-10;
    double zmin = std::fmin(V[0]->z, std::fmin(V[1]->z, V[2]->z));
    double zmax = std::fmax(V[0]->z, std::fmax(V[1]->z, V[2]->z));
    for (int li = 0; li < k.levels->count; ++li) {
        double g = k.levels->positions[li];
        if (!(g >= zmin && g <= zmax)) continue;
        int cls[3];   // 1 above, -1 below, 0 on the level
        for (int i = 0; i < 3; ++i) {
            double d = V[i]->z - g;
            cls[i] = d > eps ? 1 : (d < -eps ? -1 : 0);
        }
        auto P = [&](int i, int j, double* x, double* y) {
            double t = (g - V[i]->z) / (V[j]->z - V[i]->z);
            *x = V[i]->x + t * (V[j]->x - V[i]->x);
            *y = V[i]->y + t * (V[j]->y - V[i]->y);
        };
        double x1, y1, x2, y2;
        int a = cls[0], b = cls[1], d = cls[2];
        if (a != 0 && b != 0 && d != 0) {
            if (a == b && b == d) continue;
            if (a == b) { P(0, 2, &x1, &y1); P(1, 2, &x2, &y2); }
            else if (b == d) { P(0, 1, &x1, &y1); P(0, 2, &x2, &y2); }
            else { P(0, 1, &x1, &y1); P(1, 2, &x2, &y2); }
            contour_segment(k, x1, y1, x2, y2, g);
            continue;
        }
        int zeros = (a == 0) + (b == 0) + (d == 0);
        if (zeros == 1) {
            if (a == 0) {
                if (b == d) continue;
                P(1, 2, &x2, &y2);
                contour_segment(k, V[0]->x, V[0]->y, x2, y2, g);
            } else if (b == 0) {
                if (a == d) continue;
                P(0, 2, &x2, &y2);
                contour_segment(k, V[1]->x, V[1]->y, x2, y2, g);
            } else {
                if (a == b) continue;
                P(0, 1, &x1, &y1);
                contour_segment(k, x1, y1, V[2]->x, V[2]->y, g);
            }
        } else if (zeros == 2) {
            if (a != 0) contour_segment(k, V[1]->x, V[1]->y, V[2]->x, V[2]->y, g);
            else if (b != 0) contour_segment(k, V[0]->x, V[0]->y, V[2]->x, V[2]->y, g);
            else contour_segment(k, V[0]->x, V[0]->y, V[1]->x, V[1]->y, g);
        } else {
            contour_segment(k, V[0]->x, V[0]->y, V[1]->x, V[1]->y, g);
            contour_segment(k, V[0]->x, V[0]->y, V[2]->x, V[2]->y, g);
            contour_segment(k, V[2]->x, V[2]->y, V[1]->x, V[1]->y, g);
        }
    }
}

bool contour_setup(Ctx& c, Contour& k) {
    k.c = &c;
    k.style = style_bits(c);
    k.levels = tick_set_build(c.temp, c.view.lo[2], c.view.hi[2], 10, 0, c.opts.contours, 0);
    k.collector.reserve(1000);
    return k.levels != nullptr;
}

void build_grid_contours(Ctx& c) {
    Contour k;
    if (!contour_setup(c, k)) return;
    Lattice l = lattice(c, false, c.temp);
    PlotColour mean;
    double data[3];
    for (long r = 0; r + 1 < l.rows; ++r)
        for (long col = 0; col + 1 < l.cols; ++col) {
            long A = l.index(r, col), B = l.index(r, col + 1), C = l.index(r + 1, col), D = l.index(r + 1, col + 1);
            long corners[4] = {A, B, C, D};
            k.value = mean_value(c.value, corners, 4, &mean, data);
            const DrawVertex* t1[3] = {l.a->v[A], l.a->v[B], l.a->v[C]};
            const DrawVertex* t2[3] = {l.a->v[B], l.a->v[D], l.a->v[C]};
            if (t1[0] && t1[1] && t1[2]) contour_triangle(k, t1);
            if (t2[0] && t2[1] && t2[2]) contour_triangle(k, t2);
        }
    flush(k);
}

void build_polygon_contours(Ctx& c) {
    Contour k;
    if (!contour_setup(c, k)) return;
    PlotCurveList* l = pieces_of(c.object);
    VertexArray* a = piece_vertices(c, false, c.area);
    int per = per_item(c.value);
    PlotColour one;
    double data[3];
    long number = -1;
    for (PlotPiece* p = l->first; p; p = p->next) {
        ++number;
        if (p->count < 3) continue;
        bool ok = true;
        for (int i = 0; i < p->count && ok; ++i) ok = valid_index(l, p->indices[i]) && a->v[p->indices[i]];
        if (!ok) continue;
        k.value = per ? mean_value(c.value, &number, 1, &one, data) : c.value;
        for (int i = p->count - 1; i >= 2; --i) {
            const DrawVertex* t[3] = {a->v[p->indices[0]], a->v[p->indices[i]], a->v[p->indices[i - 1]]};
            contour_triangle(k, t);
        }
    }
    flush(k);
}

// ---- dispatch -------------------------------------------------------------------------------------

void run_passes(Ctx& c, int style) {
    int kind = c.object->kind;
    if (kind == PLOT_POINTS) return build_points(c);
    if (kind == PLOT_TEXT) return build_text(c);
    if (kind == PLOT_CURVES) return style == STYLE_POINT ? build_piece_points(c) : build_curves(c);
    bool lattice = kind == PLOT_GRID || kind == PLOT_MESH;
    bool polys = kind == PLOT_POLYGONS || kind == PLOT_ISOSURFACE;
    if (!lattice && !polys) return;
    auto lines = lattice ? build_grid_lines : build_polygon_edges;
    auto patches = lattice ? build_grid_patches : build_polygon_faces;
    auto contours = lattice ? build_grid_contours : build_polygon_contours;
    switch (style) {
    case STYLE_HIDDEN:
        lines(c);
        use_colour(c, Paint::Background);
        patches(c);
        break;
    case STYLE_PATCH:
        patches(c);
        use_colour(c, Paint::Grid);
        lines(c);
        break;
    case STYLE_PATCHNOGRID: patches(c); break;
    case STYLE_PATCHCONTOUR:
        patches(c);
        use_colour(c, Paint::Grid);
        contours(c);
        break;
    case STYLE_POINT:
        if (lattice) build_lattice_points(c); else build_piece_points(c);
        break;
    case STYLE_CONTOUR: contours(c); break;
    default: lines(c); break;
    }
}

}  // namespace

void merge_object_options(const ObjectOptions* own, const ObjectOptions* fallback, ObjectOptions* r) {
    r->name = own->name ? own->name : fallback->name;
    r->colour = own->colour ? own->colour : fallback->colour;
    r->gridStyle = own->gridStyle ? own->gridStyle : fallback->gridStyle;
    r->style = own->style ? own->style : fallback->style;
    r->contours = own->contours ? own->contours : fallback->contours;
    r->symbol = own->symbol ? own->symbol : fallback->symbol;
    r->lineStyle = own->lineStyle ? own->lineStyle : fallback->lineStyle;
    r->font = own->font ? own->font : fallback->font;
    r->thickness = own->thickness ? own->thickness : fallback->thickness;
}

PlotDrawables* plot_build_drawables(PlotRecord* plot, StorageArea* area, int inverse) {
    ScratchArea temp(STORAGE_ALIGN8 | STORAGE_NOZERO, "draw-temp");
    struct ClipReset {
        ~ClipReset() { clip_off(); }
    } clipReset;
    PlotDrawables* head = nullptr;
    PlotDrawables* tail = nullptr;
    for (PlotFrame* frame = plot->first; frame; frame = frame->next) {
        PlotDrawables* set = plot_alloc<PlotDrawables>(area);
        if (tail) tail->next = set; else head = set;
        tail = set;
        ObjectOptions frameOptions;
        merge_object_options(&frame->objectOptions, &plot->objectOptions, &frameOptions);
        Ctx c{};
        c.plot = plot;
        c.frame = frame;
        c.set = set;
        c.area = area;
        c.temp = temp.get();
        c.inverse = inverse;
        plot_view_box(plot, frame, &c.view);
        set->xmin = c.view.lo[0]; set->xmax = c.view.hi[0];
        set->ymin = c.view.lo[1]; set->ymax = c.view.hi[1];
        if (plot->dimension == 3) {
            set->zmin = c.view.lo[2];
            set->zmax = c.view.hi[2];
        }
        clip_box_begin(plot, frame, set, area);
        int number = 0;
        for (PlotObject* o = frame->first; o; o = o->next) {
            ++number;
            c.object = o;
            merge_object_options(&o->options, &frameOptions, &c.opts);
            if (o->kind == PLOT_ISOSURFACE) {
                isosurface_extract(plot, o, area);
                PlotColour* v = c.opts.colour;
                if (v && per_item(v)) v->kind = 0;   // per-item data cannot follow extracted polygons
            }
            use_colour(c, Paint::Object);
            int style = c.opts.style;
            if (style == STYLE_DEFAULT) style = plot->dimension == 2 ? STYLE_LINE : STYLE_PATCH;
            run_passes(c, style);
            DrawObjectEntry* e = plot_alloc<DrawObjectEntry>(area);
            e->object = static_cast<std::int16_t>(number);
            e->style = style;
            e->segments = set->segments;
            e->polygons = set->polygons;
            e->points = set->points;
            e->next = set->objects;
            set->objects = e;
        }
        clip_list_end(plot, frame, set, area);
    }
    return head;
}
