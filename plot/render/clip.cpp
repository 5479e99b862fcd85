// Clip box, clip-box primitives and isosurface extraction.

#include "plot/render/clip.h"

#include <vector>

#include "plot/render/view.h"

namespace {

struct ClipState {
    bool on = false;
    double box[6] = {0, 0, 0, 0, 0, 0};   // x min, x max, y min, y max, z min, z max
    int firstPlane = 0;                    // 0 in 3-D, 2 in 2-D
    std::vector<DrawVertex*> created;      // vertices made by cutting, newest last
} clip;

double distance(const DrawVertex* v, int plane) {
    switch (plane) {
    case 0: return v->z - clip.box[4];
    case 1: return clip.box[5] - v->z;
    case 2: return v->x - clip.box[0];
    case 3: return clip.box[1] - v->x;
    case 4: return v->y - clip.box[2];
    default: return clip.box[3] - v->y;
    }
}

DrawVertex* new_vertex(StorageArea* area, const DrawVertex* a, const DrawVertex* b, double t, ColourWord colour) {
    DrawVertex* v = plot_alloc<DrawVertex>(area);
    v->x = a->x + (b->x - a->x) * t;
    v->y = a->y + (b->y - a->y) * t;
    v->z = a->z + (b->z - a->z) * t;
    v->colour = colour;
    clip.created.push_back(v);
    return v;
}

// The polygon pipeline: one stage per plane in use, then the collecting stage.
struct Stage {
    bool hasFirst;
    DrawVertex* first;
    double firstD;
    DrawVertex* prev;
    double prevD;
};
Stage stages[6];
bool changed;
std::vector<DrawVertex*> output;
StorageArea* polygonArea;

void feed(int plane, DrawVertex* v) {
    if (plane >= 6) {
        output.push_back(v);
        return;
    }
    Stage& s = stages[plane];
    double d = distance(v, plane);
    if (!s.hasFirst) {
        s.hasFirst = true;
        s.first = v;
        s.firstD = d;
    } else if ((d > 0 && s.prevD <= 0) || (d < 0 && s.prevD >= 0)) {
        changed = true;
        feed(plane + 1, new_vertex(polygonArea, v, s.prev, d / (d - s.prevD), v->colour));
    }
    s.prev = v;
    s.prevD = d;
    if (d >= 0) feed(plane + 1, v);
}

void close(int plane) {
    if (plane >= 6) return;
    Stage& s = stages[plane];
    if (!s.hasFirst) return;
    if ((s.firstD > 0 && s.prevD <= 0) || (s.firstD < 0 && s.prevD >= 0)) {
        changed = true;
        feed(plane + 1, new_vertex(polygonArea, s.first, s.prev, s.firstD / (s.firstD - s.prevD), s.first->colour));
    }
    close(plane + 1);
}

}  // namespace

void clip_set_box(const double box[6], bool threeD) {
    clip.on = true;
    for (int i = 0; i < 6; ++i) clip.box[i] = box[i];
    clip.firstPlane = threeD ? 0 : 2;
    clip.created.clear();
}

void clip_off() {
    clip.on = false;
    clip.created.clear();
}

void clip_box_begin(const PlotRecord* plot, const PlotFrame* frame, PlotDrawables*, StorageArea*) {
    clip.firstPlane = plot->dimension == 3 ? 0 : 2;
    const ViewBox* view = frame && frame->options.view ? frame->options.view : plot->options.view;
    clip.created.clear();
    if (!view) {
        clip.on = false;
        return;
    }
    clip.on = true;
    clip.box[0] = view->lo[0]; clip.box[1] = view->hi[0];
    clip.box[2] = view->lo[1]; clip.box[3] = view->hi[1];
    clip.box[4] = view->lo[2]; clip.box[5] = view->hi[2];
}

void clip_list_end(const PlotRecord*, const PlotFrame*, PlotDrawables* set, StorageArea* area) {
    if (clip.on && !clip.created.empty()) {
        VertexArray* a = plot_alloc<VertexArray>(area);
        a->count = static_cast<std::int32_t>(clip.created.size());
        a->v = plot_alloc<DrawVertex*>(area, clip.created.size());
        for (std::size_t i = 0; i < clip.created.size(); ++i) a->v[i] = clip.created[clip.created.size() - 1 - i];
        if (set->arraysTail) set->arraysTail->next = a; else set->arrays = a;
        set->arraysTail = a;
    }
    clip.created.clear();
    clip.created.shrink_to_fit();
}

unsigned clip_outcode(const DrawVertex* v, double d[6], int firstPlane) {
    unsigned code = 0;
    for (int p = firstPlane; p < 6; ++p) {
        d[p] = distance(v, p);
        if (d[p] < 0) code |= 1u << p;
    }
    return code;
}

DrawVertex* clip_point(DrawVertex* v) {
    if (!clip.on) return v;
    double d[6];
    return clip_outcode(v, d, clip.firstPlane) == 0 ? v : nullptr;
}

DrawSegment* clip_segment(DrawSegment* s, StorageArea* area) {
    if (!clip.on) return s;
    double da[6], db[6];
    unsigned ca = clip_outcode(s->a, da, clip.firstPlane);
    unsigned cb = clip_outcode(s->b, db, clip.firstPlane);
    if ((ca | cb) == 0) return s;
    if (ca & cb) return nullptr;
    double tin = 0, tout = 1;
    for (int p = clip.firstPlane; p < 6; ++p) {
        if (!((ca | cb) & (1u << p))) continue;
        double t = da[p] / (da[p] - db[p]);
        if (da[p] >= 0) { if (t < tout) tout = t; }
        else if (t > tin) tin = t;
    }
    if (!(tout > tin)) return nullptr;
    DrawVertex* a = s->a;
    DrawVertex* b = s->b;
    if (ca) s->a = new_vertex(area, a, b, tin, a->colour);
    if (cb) s->b = new_vertex(area, a, b, tout, b->colour);
    return s;
}

DrawPolygon* clip_polygon(DrawPolygon* p, StorageArea* area) {
    if (!clip.on) return p;
    for (Stage& s : stages) s = Stage{};
    changed = false;
    output.clear();
    polygonArea = area;
    // Planes not in use are skipped by starting the pipeline at the first plane in use.
    for (int i = 0; i < p->count; ++i) feed(clip.firstPlane, p->v[i]);
    close(clip.firstPlane);
    if (output.empty()) return nullptr;
    if (!changed) return p;
    std::size_t n = output.size();
    DrawPolygon* result = p;
    if (n > static_cast<std::size_t>(p->count)) {
        result = plot_alloc<DrawPolygon>(area);
        result->colour = p->colour;
        result->v = plot_alloc<DrawVertex*>(area, n);
    }
    result->count = static_cast<std::int32_t>(n);
    for (std::size_t i = 0; i < n; ++i) result->v[i] = output[i];
    return result;
}

// ---- isosurfaces --------------------------------------------------------------------------------

namespace {

struct IsoState {
    std::vector<PlotVertex*> vertices;
    std::vector<PlotPiece*> polygons;
    StorageArea* area;
} iso;

void iso_vertex(const PlotVertex* a, const PlotVertex* b, double fa, double fb) {
    PlotVertex* v = plot_alloc<PlotVertex>(iso.area);
    double den = fb - fa;
    v->x = (fb * a->x - fa * b->x) / den;
    v->y = (fb * a->y - fa * b->y) / den;
    v->z = (fb * a->z - fa * b->z) / den;
    iso.vertices.push_back(v);
}

void iso_polygon(int k) {
    PlotPiece* piece = plot_alloc<PlotPiece>(iso.area);
    piece->count = k;
    piece->indices = plot_alloc<std::int32_t>(iso.area, k);
    auto count = static_cast<std::int32_t>(iso.vertices.size());
    for (int i = 0; i < k; ++i) piece->indices[i] = count - 1 - i;
    iso.polygons.push_back(piece);
}

void iso_tetrahedron(const PlotVertex* const P[4], const double f[4]) {
    for (int i = 0; i < 4; ++i)
        if (!P[i]) return;
    unsigned inside = 0;
    for (int i = 0; i < 4; ++i)
        if (f[i] > 0) inside |= 1u << i;
    if (inside > 7) inside = ~inside & 15u;   // a set and its complement give the same points
    // Edges (i, j) of the points to make, in order, for each inside set of corners 0..7.
    static const int kEdges[8][4][2] = {
        {},                                          // none
        {{0, 1}, {0, 2}, {0, 3}, {-1, -1}},          // 0
        {{0, 1}, {1, 2}, {1, 3}, {-1, -1}},          // 1
        {{0, 2}, {1, 2}, {1, 3}, {0, 3}},            // 0 and 1
        {{0, 2}, {1, 2}, {2, 3}, {-1, -1}},          // 2
        {{0, 1}, {1, 2}, {2, 3}, {0, 3}},            // 0 and 2
        {{0, 1}, {0, 2}, {2, 3}, {1, 3}},            // 1 and 2
        {{0, 3}, {1, 3}, {2, 3}, {-1, -1}},          // all but 3
    };
    if (inside == 0) return;
    int k = 0;
    for (int e = 0; e < 4 && kEdges[inside][e][0] >= 0; ++e, ++k) {
        int i = kEdges[inside][e][0], j = kEdges[inside][e][1];
        iso_vertex(P[i], P[j], f[i], f[j]);
    }
    iso_polygon(k);
}

}  // namespace

void isosurface_extract(const PlotRecord*, PlotObject* object, StorageArea* area) {
    auto* data = static_cast<PlotIsoData*>(object->data);
    iso.vertices.clear();
    iso.polygons.clear();
    iso.area = area;
    long N = data->n, M = data->m, L = data->l;
    auto idx = [&](long a, long b, long c) { return (a * M + b) * L + c; };
    static const int kTets[6][4] = {{0, 4, 2, 1}, {4, 2, 1, 5}, {2, 1, 5, 3}, {4, 2, 6, 5}, {2, 6, 5, 3}, {6, 5, 3, 7}};
    for (long c = 0; c + 1 < L; ++c)
        for (long a = 0; a + 1 < N; ++a)
            for (long b = 0; b + 1 < M; ++b) {
                // Corner k: x (a) from bit 4, y (b) from bit 2, z (c) from bit 1.
                const PlotVertex* V[8];
                double F[8];
                for (int k = 0; k < 8; ++k) {
                    long i = idx(a + ((k >> 2) & 1), b + ((k >> 1) & 1), c + (k & 1));
                    V[k] = data->vertices[i];
                    F[k] = data->values[i];
                }
                for (const auto& t : kTets) {
                    const PlotVertex* P[4] = {V[t[0]], V[t[1]], V[t[2]], V[t[3]]};
                    double f[4] = {F[t[0]], F[t[1]], F[t[2]], F[t[3]]};
                    iso_tetrahedron(P, f);
                }
            }
    auto* set = plot_alloc<PlotCurveList>(area);
    set->vertexCount = static_cast<std::int32_t>(iso.vertices.size());
    set->pieceCount = static_cast<std::int32_t>(iso.polygons.size());
    set->vertices = plot_alloc<PlotVertex*>(area, iso.vertices.size());
    for (std::size_t i = 0; i < iso.vertices.size(); ++i) set->vertices[i] = iso.vertices[i];
    // The polygon list runs newest first.
    for (PlotPiece* p : iso.polygons) {
        p->next = set->first;
        set->first = p;
    }
    data->polygons = set;
    iso.vertices.clear();
    iso.polygons.clear();
}
