// The event handlers of the hidden-surface sweep: polygon starts with their planes, edge ends
// with horizontal runs, crossings (bundles of coincident spans cross together), lines, points
// and texts.

#include <cmath>
#include <vector>

#include "plot/plot_sweep.h"

namespace {

bool live(const Span* s, std::uint32_t serial) { return s && serial != 0 && s->serial == serial && s->link; }

void queueEdgeEnd(Span* s) {
    SweepEvent* e = eventq_insert(s->toVertex->x, s->toVertex->y, SWEEP_EDGE_END, s, nullptr);
    e->stamp = s->serial;
}

void crossUpdate(Span* moved, Span* other, double x, double y) {
    bool movedLine = (moved->flags & SPAN_LINE) != 0, otherLine = (other->flags & SPAN_LINE) != 0;
    if (movedLine && otherLine) return;
    if (movedLine || otherLine) cross_line_span(moved, other, x, y);
    else cross_polygon_spans(moved, other, x, y);
}

DrawVertex* ringVertex(const DrawPolygon* p, int i) {
    int n = p->count;
    i %= n;
    if (i < 0) i += n;
    return p->v[i];
}

// Moves a span whose current edge is horizontal along it, left (its lower end lies right of
// its upper end) past the neighbours that the edge crosses.
void spanShiftLeft(Span* s) {
    const DrawVertex* from = s->fromVertex;
    const DrawVertex* to = s->toVertex;
    if (from->x - to->x < sweep_tol.x) return;
    double e = (from->y - to->y) / (from->x - to->x);
    double f = from->y - e * from->x;
    for (Span* n = span_left(s); n; n = span_left(s)) {
        double ym = (n->intercept * e + f) / (1 - n->slope * e);
        double xm = n->intercept + n->slope * ym;
        if (!(xm >= to->x) || n->owner == s->owner) break;
        if (xm - to->x <= sweep_tol.x && !(n->flags & SPAN_LEFT)) break;
        spantab_exchange(n, s);
        crossUpdate(n, s, xm, ym);
    }
}

void spanShiftRight(Span* s) {
    const DrawVertex* from = s->fromVertex;
    const DrawVertex* to = s->toVertex;
    if (from->x - to->x > -sweep_tol.x) return;
    double e = (from->y - to->y) / (from->x - to->x);
    double f = from->y - e * from->x;
    for (Span* n = span_right(s); n; n = span_right(s)) {
        double ym = (n->intercept * e + f) / (1 - n->slope * e);
        double xm = n->intercept + n->slope * ym;
        if (!(xm <= to->x) || n->owner == s->owner) break;
        spantab_exchange(s, n);
        crossUpdate(s, n, xm, ym);
    }
}

void edgeEnd(Span* s, double x, double y, int depth);

void polygonFinish(Span* s1, Span* s2, double x, double y) {
    Span* b = (s1->flags & SPAN_LEFT) ? s1 : s2;
    Span* c = b == s1 ? s2 : s1;
    DrawPolygon* p = span_polygon(b);
    Span* formerLeft = span_left(b);
    Span* formerRight = span_right(c);
    bool moved = false;
    if (span_right(b) != c) {
        bool cRight = false;
        for (Span* t = span_right(b); t; t = span_right(t))
            if (t == c) { cRight = true; break; }
        moved = true;
        if (cRight) {
            for (Span* n = span_right(b); n && n != c; n = span_right(b)) {
                spantab_exchange(b, n);
                crossUpdate(b, n, x, y);
            }
        } else {
            // The partner lies left (a degenerate ring): bring the two together without
            // disturbing the order of the others more than needed.
            for (Span* n = span_left(b); n && n != c; n = span_left(b)) {
                spantab_exchange(n, b);
                crossUpdate(n, b, x, y);
            }
            spantab_exchange(c, b);
        }
        formerRight = span_right(c);
    }
    region_close(p, x, y);
    depth_tree_release(b->depth);
    depth_tree_release(c->depth);
    b->depth = c->depth = nullptr;
    p->spanLink[0] = p->spanLink[1] = nullptr;
    spantab_remove(b);
    spantab_remove(c);
    if (moved) {
        if (formerLeft) schedule_crossing(formerLeft, span_right(formerLeft), y);
        if (formerRight) schedule_crossing(span_left(formerRight), formerRight, y);
    } else if (formerLeft && formerRight && span_right(formerLeft) == formerRight) {
        schedule_crossing(formerLeft, formerRight, y);
    }
}

void edgeEnd(Span* s, double x, double y, int depth) {
    DrawPolygon* p = span_polygon(s);
    Span* partner = polygon_left_span(p) == s ? polygon_right_span(p) : polygon_left_span(p);
    if (!partner) return;
    if (s->toVertex == partner->toVertex || depth > p->count) {
        if (partner->flags & SPAN_WAITING) {
            polygonFinish(s, partner, x, y);
        } else {
            s->flags |= SPAN_WAITING;
            s->slope = 0;
            s->intercept = s->toVertex->x;
            spantab_line_changed(s);
        }
        return;
    }
    span_extend_boundary(s, x, y);
    s->toIndex += (s->flags & SPAN_FORWARD) ? 1 : -1;
    if (s->toIndex < 0) s->toIndex += p->count;
    if (s->toIndex >= p->count) s->toIndex -= p->count;
    s->fromVertex = s->toVertex;
    s->toVertex = ringVertex(p, s->toIndex);
    double dx = s->toVertex->x - s->fromVertex->x, dy = s->toVertex->y - s->fromVertex->y;
    if (!(std::fabs(dy) > (std::fabs(dx) + 1) * sweep_tol.y * 100)) {
        Span* g = span_left(s);
        std::uint32_t gSerial = g ? g->serial : 0;
        if (s->toVertex->x < s->fromVertex->x) spanShiftLeft(s); else spanShiftRight(s);
        edgeEnd(s, s->toVertex->x, s->toVertex->y, depth + 1);
        if (live(g, gSerial)) {
            Span* r = span_right(g);
            if (r && r != s) schedule_crossing(g, r, y);
        }
        return;
    }
    s->slope = dx / dy;
    s->intercept = s->fromVertex->x - s->fromVertex->y * s->slope;
    spantab_line_changed(s);
    queueEdgeEnd(s);
    schedule_crossing(s, span_right(s), y);
    schedule_crossing(span_left(s), s, y);
}

// Slope of a polygon's first edge; a first edge too flat to follow is walked along until an
// edge that rises.  Answers false when the polygon is flat at the bottom.
bool startSlope(DrawPolygon* p, Span* s, double x0, double y0, double plainRatio, bool forB, bool* horizontal) {
    const DrawVertex* to = s->toVertex;
    if (std::fabs(to->x - x0) * plainRatio < std::fabs(to->y - y0)) {
        s->slope = (to->x - x0) / (to->y - y0);
        s->intercept = x0 - s->slope * y0;
        spantab_line_changed(s);
        *horizontal = false;
        return true;
    }
    int step = (s->flags & SPAN_FORWARD) ? 1 : -1;
    int ib = s->toIndex;
    const DrawVertex* va = p->v[0];
    const DrawVertex* vb = to;
    for (int guard = 0; guard <= p->count; ++guard) {
        double ady = std::fabs(va->y - vb->y), adx = std::fabs(va->x - vb->x);
        bool rises = forB ? ady >= adx * 2e-8 : ady >= (adx + 1) * 10 * sweep_tol.y;
        if (rises) {
            s->slope = (vb->x - va->x) / (vb->y - va->y);
            s->intercept = va->x - s->slope * va->y;
            spantab_line_changed(s);
            *horizontal = true;
            return true;
        }
        if (vb == p->v[0] || vb->y < va->y) return false;
        va = vb;
        ib += step;
        vb = ringVertex(p, ib);
    }
    return false;
}

// Draws a near-horizontal line from its left end a to its right end b, piece by piece as it
// passes in front of and behind the regions it crosses.
void lineSweep(const DrawVertex* a, const DrawVertex* b, const DrawSegment* line) {
    Span* s0 = spantab_locate(a->x, a->y);
    if (!s0) {
        output_line(a->x, a->y, b->x, b->y, line->colour);
        return;
    }
    while (span_left(s0) && span_x(s0, b->y) > a->x) s0 = span_left(s0);
    double my = (a->y - b->y) / (a->x - b->x), cy = a->y - my * a->x;
    double mz = (a->z - b->z) / (a->x - b->x), cz = a->z - mz * a->x;
    auto meetRight = [&](const DrawPolygon* f, double* xm) {
        const Span* r = polygon_right_span(f);
        double ym = (r->intercept * my + cy) / (1 - r->slope * my);
        *xm = r->slope * ym + r->intercept;
    };
    auto visibleAgainst = [&](const DrawPolygon* f, double from) {
        if (!f) return true;
        double xm = b->x;
        meetRight(f, &xm);
        if (!(xm < b->x)) xm = b->x;
        double xmid = (from + xm) / 2, ymid = my * xmid + cy;
        return f->plane[0] * xmid + f->plane[1] * ymid + f->plane[2] + sweep_tol.z / 100 >= mz * xmid + cz;
    };
    bool visible;
    const DrawPolygon* front = nullptr;
    Span* walk;
    if (a->x < span_x(s0, a->y)) {
        visible = true;
        walk = s0;
    } else {
        Span* owner = span_visible_owner(s0);
        front = owner ? depth_tree_front(owner->depth) : nullptr;
        visible = visibleAgainst(front, a->x);
        walk = span_right(s0);
    }
    double sx = a->x, sy = a->y;
    for (Span* n = walk; n; n = span_right(n)) {
        double ym = (n->intercept * my + cy) / (1 - n->slope * my);
        double xm = n->slope * ym + n->intercept;
        if (!(b->x > xm)) break;
        if (!(n->flags & SPAN_VISIBLE) || (n->flags & SPAN_LINE)) continue;
        const DrawPolygon* nf = depth_tree_front(n->depth);
        if (nf == front) continue;
        front = nf;
        bool now = visibleAgainst(front, xm);
        if (visible && !now) output_line(sx, sy, xm, ym, line->colour);
        if (!visible && now) { sx = xm; sy = ym; }
        visible = now;
    }
    if (visible) output_line(sx, sy, b->x, b->y, line->colour);
}

// The front polygon of the region holding (x, y), or null.
const DrawPolygon* frontAt(double x, double y) {
    Span* s = spantab_locate(x, y);
    while (s && span_left(s) && span_x(s, y) > x) s = span_left(s);
    if (!s || span_x(s, y) > x) return nullptr;
    Span* owner = span_visible_owner(s);
    return owner ? depth_tree_front(owner->depth) : nullptr;
}

bool pointShows(const DrawVertex* v) {
    const DrawPolygon* f = frontAt(v->x, v->y);
    return !f || f->plane[0] * v->x + f->plane[1] * v->y + f->plane[2] + sweep_tol.z / 100 > v->z;
}

}  // namespace

bool polygon_plane(DrawPolygon* p) {
    int n = p->count;
    for (int i = 0; i < n;) {
        const DrawVertex* v = p->v[i];
        const DrawVertex* w = p->v[(i + 1) % n];
        if (std::fabs(v->x - w->x) <= sweep_tol.x && std::fabs(v->y - w->y) <= sweep_tol.y &&
            std::fabs(v->z - w->z) <= sweep_tol.z) {
            for (int k = i; k + 1 < n; ++k) p->v[k] = p->v[k + 1];
            --n;
            p->count = n;
            if (n <= 2) return false;
            continue;
        }
        ++i;
    }
    double zmin = p->v[0]->z, zmax = p->v[0]->z, nx = 0, ny = 0, nz = 0, area = 0;
    for (int i = 0; i < n; ++i) {
        const DrawVertex* v = p->v[i];
        const DrawVertex* w = p->v[(i + 1) % n];
        zmin = std::fmin(zmin, v->z);
        zmax = std::fmax(zmax, v->z);
        nx += (w->z + v->z) * (v->y - w->y);
        ny += (w->x + v->x) * (v->z - w->z);
        nz += (v->x - w->x) * (w->y + v->y);
        area += w->y * v->x - v->y * w->x;
    }
    if (!(std::fabs(area) >= sweep_tol.area)) return false;
    double d = 0;
    for (int i = 0; i < n; ++i) d += p->v[i]->x * nx + p->v[i]->y * ny + p->v[i]->z * nz;
    if (!((std::fabs(ny) + std::fabs(nx) + std::fabs(nz)) * 1e-5 < std::fabs(nz))) return false;
    p->plane[0] = -nx / nz;
    p->plane[1] = -ny / nz;
    p->plane[2] = (d / n) / nz;
    p->plane[3] = zmin;
    p->plane[4] = zmax;
    return true;
}

void on_polygon_start(SweepEvent* event) {
    auto* p = static_cast<DrawPolygon*>(event->subject);
    p->spanLink[0] = p->spanLink[1] = nullptr;
    if (p->count < 3 || !polygon_plane(p)) return;
    int n = p->count;
    DrawVertex* v0 = p->v[0];
    double x0 = event->x, y0 = v0->y;
    Span* b = span_new();
    Span* c = span_new();
    for (Span* s : {b, c}) {
        s->slope = 0;
        s->intercept = x0;
        s->fromVertex = v0;
        s->owner = p;
    }
    b->flags = SPAN_LEFT;
    c->flags = 0;
    p->spanLink[0] = b;
    p->spanLink[1] = c;
    spantab_insert(x0, event->y, b);
    spantab_insert_right_of(b, c);
    const DrawVertex* v1 = p->v[1];
    const DrawVertex* vl = p->v[n - 1];
    double d1x = v1->x - v0->x, d1y = v1->y - v0->y, dlx = vl->x - v0->x, dly = vl->y - v0->y;
    Span* fwd = d1x * dly - d1y * dlx >= 0 ? c : b;
    Span* back = fwd == c ? b : c;
    fwd->flags |= SPAN_FORWARD;
    fwd->toIndex = 1;
    back->toIndex = n - 1;
    b->toVertex = p->v[b->toIndex];
    c->toVertex = p->v[c->toIndex];
    bool bHorizontal = false, cHorizontal = false;
    if (!startSlope(p, b, x0, y0, 2e-9, true, &bHorizontal) || !startSlope(p, c, x0, y0, 2e-8, false, &cHorizontal)) {
        p->spanLink[0] = p->spanLink[1] = nullptr;
        spantab_remove(b);
        spantab_remove(c);
        return;
    }
    region_open(p, x0, y0);
    if (!bHorizontal && !cHorizontal) {
        schedule_crossing(c, span_right(c), y0);
        queueEdgeEnd(c);
        schedule_crossing(span_left(b), b, y0);
        queueEdgeEnd(b);
        return;
    }
    std::uint32_t bSerial = b->serial, cSerial = c->serial;
    if (!bHorizontal) {
        spanShiftRight(c);
        edgeEnd(c, c->toVertex->x, c->toVertex->y, 0);
        if (!live(b, bSerial)) return;
        queueEdgeEnd(b);
        schedule_crossing(span_left(b), b, y0);
        if (span_right(b) != c) schedule_crossing(b, span_right(b), y0);
        return;
    }
    if (!cHorizontal) {
        spanShiftLeft(b);
        edgeEnd(b, b->toVertex->x, b->toVertex->y, 0);
        if (!live(c, cSerial)) return;
        queueEdgeEnd(c);
        schedule_crossing(c, span_right(c), y0);
        if (span_left(c) != b) schedule_crossing(span_left(c), c, y0);
        return;
    }
    if (b->toVertex->x >= x0) {
        spanShiftRight(c);
        if (b->toVertex->x > x0) spanShiftRight(b); else spanShiftLeft(b);
    } else {
        spanShiftLeft(b);
        spanShiftLeft(c);
    }
    edgeEnd(c, c->toVertex->x, c->toVertex->y, 0);
    if (live(b, bSerial)) edgeEnd(b, b->toVertex->x, b->toVertex->y, 0);
}

void on_edge_end(SweepEvent* event) {
    auto* s = static_cast<Span*>(event->subject);
    if (!live(s, event->stamp)) return;
    edgeEnd(s, event->x, event->y, 0);
}

void on_crossing(SweepEvent* event) {
    auto* p = static_cast<Span*>(event->subject);
    auto* q = static_cast<Span*>(event->second);
    if (!live(p, event->stamp) || !live(q, event->secondStamp)) return;
    if (span_right(p) != q) return;
    if (p->fromVertex == q->fromVertex && p->toVertex == q->toVertex) return;
    static std::vector<Span*> lefts, rights;
    lefts.clear();
    rights.clear();
    for (Span* s = p; s && s->fromVertex == p->fromVertex && s->toVertex == p->toVertex; s = span_left(s)) lefts.push_back(s);
    for (Span* s = q; s && s->fromVertex == q->fromVertex && s->toVertex == q->toVertex; s = span_right(s)) rights.push_back(s);
    double x = event->x, y = event->y;
    bool stop = false;
    for (Span* pl : lefts) {
        for (Span* qr : rights) {
            if (pl->owner == qr->owner) { stop = true; break; }
            if (span_right(pl) != qr) { stop = true; break; }
            spantab_exchange(pl, qr);
            crossUpdate(pl, qr, x, y);
        }
        if (stop) break;
    }
    schedule_crossing(p, span_right(p), y);
    schedule_crossing(span_left(q), q, y);
}

void on_line_start(SweepEvent* event) {
    auto* line = static_cast<DrawSegment*>(event->subject);
    line->spanLink = nullptr;
    DrawVertex* s = line->a;
    DrawVertex* t = line->b;
    if (std::fabs(s->y - t->y) <= sweep_tol.y && std::fabs(s->x - t->x) <= sweep_tol.x) return;
    line->work[2] = std::fmin(s->z, t->z);
    line->work[3] = std::fmax(s->z, t->z);
    if (std::fabs(t->x - s->x) * 2e-7 > std::fabs(s->y - t->y)) {
        if (t->x >= s->x) lineSweep(s, t, line); else lineSweep(t, s, line);
        return;
    }
    line->work[0] = (s->z - t->z) / (s->y - t->y);
    line->work[1] = s->z - s->y * line->work[0];
    Span* u = span_new();
    u->flags = SPAN_LINE;
    u->owner = line;
    u->fromVertex = s;
    u->toVertex = t;
    u->slope = (s->x - t->x) / (s->y - t->y);
    u->intercept = s->x - s->y * u->slope;
    line->spanLink = u;
    spantab_insert(s->x, s->y, u);
    Span* w = span_left(u);
    Span* owner = w ? span_visible_owner(w) : nullptr;
    DrawPolygon* f = owner ? depth_tree_front(owner->depth) : nullptr;
    if (!f || line_visible_against(line, f, event->y)) {
        u->flags |= SPAN_VISIBLE;
        u->visibleFromX = event->x;
        u->visibleFromY = event->y;
    }
    SweepEvent* e = eventq_insert(t->x, t->y, SWEEP_LINE_END, u, nullptr);
    e->stamp = u->serial;
    schedule_crossing(w, u, event->y);
    schedule_crossing(u, span_right(u), event->y);
}

void on_line_end(SweepEvent* event) {
    auto* u = static_cast<Span*>(event->subject);
    if (!live(u, event->stamp)) return;
    DrawSegment* line = span_line(u);
    if (u->flags & SPAN_VISIBLE) output_line(u->visibleFromX, u->visibleFromY, event->x, event->y, line->colour);
    Span* n = span_left(u);
    line->spanLink = nullptr;
    spantab_remove(u);
    if (n && span_right(n)) schedule_crossing(n, span_right(n), event->y);
}

void on_point(SweepEvent* event) {
    auto* p = static_cast<DrawPoint*>(event->subject);
    if (pointShows(p->v)) output_point(p->v->x, p->v->y, p->colour);
}

void on_text(SweepEvent* event) {
    auto* t = static_cast<DrawText*>(event->subject);
    if (pointShows(t->v)) output_text(t->v->x, t->v->y, t->text, t->align, t->colour, t->font);
}

void sweep_dispatch(SweepEvent* event) {
    switch (event->kind) {
    case SWEEP_POLYGON_START: on_polygon_start(event); break;
    case SWEEP_EDGE_END: on_edge_end(event); break;
    case SWEEP_LINE_START: on_line_start(event); break;
    case SWEEP_LINE_END: on_line_end(event); break;
    case SWEEP_POINT: on_point(event); break;
    case SWEEP_CROSSING: on_crossing(event); break;
    case SWEEP_TEXT: on_text(event); break;
    default: break;
    }
}
