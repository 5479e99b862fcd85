// Ordering of the sweep: the sort of the primitive lists, the depth tests, and the bookkeeping
// of depth trees and boundary chains as polygons open and close and spans cross.

#include <cmath>
#include <utility>

#include "plot/plot_storage_records.h"
#include "plot/plot_sweep.h"

namespace {

BoundaryChain point(double x, double y) { return boundary_edge_new(x, y, nullptr); }
// (x, y) in front of the chain, or none when the chain is none.
BoundaryChain prependOrNone(double x, double y, BoundaryChain chain) {
    return chain ? boundary_edge_new(x, y, chain) : nullptr;
}

bool isLeft(const Span* s) { return (s->flags & SPAN_LEFT) != 0; }
bool isVisible(const Span* s) { return (s->flags & SPAN_VISIBLE) != 0; }
void setVisible(Span* s, bool v) {
    if (v) s->flags |= SPAN_VISIBLE; else s->flags &= ~SPAN_VISIBLE;
}

// Inserts p keeping `front` in front (a plain insert when there is no front).
DepthTree insertKeepingFront(DepthTree t, DrawPolygon* p, const DrawPolygon* front, double y) {
    t = depth_tree_insert(t, p, y);
    if (front && depth_tree_front(t) != front) t = depth_tree_restore_front(t, const_cast<DrawPolygon*>(front));
    return t;
}

// Rebuilds the tree of the region just left of `to` from the nearest visible span r left of it.
DepthTree treeLeftOf(Span* r, Span* to, double y, bool behind) {
    DepthTree t = depth_tree_retain(r->depth);
    for (Span* e = span_right(r); e && e != to; e = span_right(e)) {
        if (e->flags & SPAN_LINE) continue;
        if (isLeft(e)) t = behind ? depth_tree_insert_behind(t, span_polygon(e), y) : depth_tree_insert(t, span_polygon(e), y);
        else t = depth_tree_remove(t, span_polygon(e), y);
    }
    return t;
}

void selectionSort(double* keys, void** items, int n) {
    for (int i = 0; i + 1 < n; ++i) {
        int best = i;
        for (int k = i + 1; k < n; ++k)
            if (keys[k] < keys[best]) best = k;
        std::swap(keys[i], keys[best]);
        std::swap(items[i], items[best]);
    }
}

}  // namespace

// ---- sorting ------------------------------------------------------------------------------------
void sort_by_key(double* keys, void** items, int n) {
    // Median-of-three quicksort; the smaller part recurses, the larger one loops, so the depth
    // stays logarithmic.
    while (n > 9) {
        int mid = n / 2, last = n - 1;
        if (keys[mid] < keys[0]) { std::swap(keys[mid], keys[0]); std::swap(items[mid], items[0]); }
        if (keys[last] < keys[0]) { std::swap(keys[last], keys[0]); std::swap(items[last], items[0]); }
        if (keys[last] < keys[mid]) { std::swap(keys[last], keys[mid]); std::swap(items[last], items[mid]); }
        double pivot = keys[mid];
        int i = 0, j = last;
        while (i <= j) {
            while (keys[i] < pivot) ++i;
            while (keys[j] > pivot) --j;
            if (i <= j) {
                std::swap(keys[i], keys[j]);
                std::swap(items[i], items[j]);
                ++i;
                --j;
            }
        }
        // [0, j] <= pivot <= [i, n)
        int leftN = j + 1, rightN = n - i;
        if (leftN < rightN) {
            sort_by_key(keys, items, leftN);
            keys += i;
            items += i;
            n = rightN;
        } else {
            sort_by_key(keys + i, items + i, rightN);
            n = leftN;
        }
    }
    selectionSort(keys, items, n);
}

namespace {

template <typename T, typename Key>
T* sortList(T* head, int count, double* keys, void** items, Key key) {
    int n = 0;
    for (T* t = head; t && n < count; t = t->next) {
        keys[n] = key(t);
        items[n] = t;
        ++n;
    }
    sort_by_key(keys, items, n);
    for (int i = 0; i < n; ++i) static_cast<T*>(items[i])->next = i + 1 < n ? static_cast<T*>(items[i + 1]) : nullptr;
    return n ? static_cast<T*>(items[0]) : nullptr;
}

template <typename T>
int listLength(const T* t) {
    int n = 0;
    for (; t; t = t->next) ++n;
    return n;
}

}  // namespace

void plot_sort(PlotDrawables* set) {
    int np = listLength(set->polygons), ns = listLength(set->segments), nq = listLength(set->points),
        nt = listLength(set->texts);
    int most = std::max(std::max(np, ns), std::max(nq, nt));
    StorageArea scratch;
    storage_init(&scratch, STORAGE_ALIGN8 | STORAGE_NOZERO, "plot-sort");
    struct Free {
        StorageArea* a;
        ~Free() { storage_free(a); }
    } freeScratch{&scratch};
    auto* keys = reinterpret_cast<double*>(dag_alloc(&scratch, static_cast<std::size_t>(most) + 1));
    auto* items = reinterpret_cast<void**>(dag_alloc(&scratch, static_cast<std::size_t>(most) + 1));
    if (!keys || !items) tovu_error("graphics out of memory");
    set->polygons = sortList(set->polygons, np, keys, items, [](const DrawPolygon* p) { return p->v[0]->y; });
    set->segments = sortList(set->segments, ns, keys, items, [](const DrawSegment* s) { return s->a->y; });
    set->points = sortList(set->points, nq, keys, items, [](const DrawPoint* p) { return p->v->y; });
    set->texts = sortList(set->texts, nt, keys, items, [](const DrawText* t) { return t->v->y; });
}

// ---- depth tests --------------------------------------------------------------------------------
bool polygon_behind(const DrawPolygon* p, const DrawPolygon* q, double y) {
    // 1-2. Depth ranges that do not overlap settle it without a plane.
    if (p->plane[3] >= q->plane[4]) return true;
    if (q->plane[3] >= p->plane[4]) return false;
    // 3. Planes compared in the middle of the stretch both cover on the sweep line.
    const Span* pl = polygon_left_span(p);
    const Span* pr = polygon_right_span(p);
    const Span* ql = polygon_left_span(q);
    const Span* qr = polygon_right_span(q);
    if (!pl || !pr || !ql || !qr) return false;
    double lo = std::fmax(span_x(pl, y), span_x(ql, y));
    double hi = std::fmin(span_x(pr, y), span_x(qr, y));
    double xm = (lo + hi) / 2;
    return (p->plane[0] - q->plane[0]) * xm + (p->plane[1] - q->plane[1]) * y + p->plane[2] - q->plane[2] > 0;
}

bool line_visible_against(const DrawSegment* line, const DrawPolygon* p, double y) {
    double lzmin = line->work[2], lzmax = line->work[3];
    if (p->plane[3] >= lzmax) return true;
    if (lzmin - sweep_tol.z >= p->plane[4]) return false;
    const Span* ls = static_cast<const Span*>(line->spanLink);
    const Span* el = polygon_left_span(p);
    const Span* er = polygon_right_span(p);
    if (!ls || !el || !er) return true;
    double h = std::fmin(line->b->y, std::fmin(el->toVertex->y, er->toVertex->y));
    for (const Span* e : {el, er}) {
        if (std::fabs(e->slope - ls->slope) > 2e-10) {
            double yc = (ls->intercept - e->intercept) / (e->slope - ls->slope);
            if (yc > y + sweep_tol.y && yc < h) h = yc;
        }
    }
    double ym = (y + h) / 2 + sweep_tol.y;
    double xl = ls->slope * ym + ls->intercept;
    double lz = line->work[0] * ym + line->work[1];
    return lz <= p->plane[0] * xl + p->plane[1] * ym + p->plane[2] + sweep_tol.z;
}

// ---- visible pieces -----------------------------------------------------------------------------
void region_open(DrawPolygon* p, double x0, double y0) {
    Span* b = polygon_left_span(p);
    Span* c = polygon_right_span(p);
    Span* r = span_visible_owner(b);
    DrawPolygon* f = r ? depth_tree_front(r->depth) : nullptr;
    if (f && polygon_behind(p, f, y0 + sweep_tol.y)) return;   // hidden at its start
    if (f) {
        DepthTree t = treeLeftOf(r, b, y0, true);
        c->depth = depth_tree_retain(t);
        b->depth = depth_tree_push_front(t, p);
    } else {
        c->depth = nullptr;
        b->depth = depth_tree_push_front(nullptr, p);
    }
    setVisible(b, true);
    setVisible(c, true);
    b->visibleFromX = c->visibleFromX = x0;
    b->visibleFromY = c->visibleFromY = y0;
    b->rightChain = point(x0, y0);
    c->leftChain = point(x0, y0);
    if (f) {
        double xr = span_x(r, y0);
        c->rightChain = boundary_edge_new(x0, y0, boundary_edge_new(xr, y0, r->rightChain));
        r->rightChain = point(xr, y0);
        b->leftChain = boundary_edge_new(x0, y0, point(xr, y0));
    } else {
        c->rightChain = nullptr;
        b->leftChain = nullptr;
    }
}

void region_close(DrawPolygon* p, double x, double y) {
    Span* b = polygon_left_span(p);
    Span* c = polygon_right_span(p);
    if (!isVisible(b) || !isVisible(c)) return;
    DrawPolygon* f = depth_tree_front(c->depth);
    boundary_emit(x, y, b->rightChain, c->leftChain, p);
    b->rightChain = c->leftChain = nullptr;
    Span* r = span_visible_owner(span_left(b));
    DrawPolygon* g = r ? depth_tree_front(r->depth) : nullptr;
    if (g && g == f) {
        double xr = span_x(r, y);
        boundary_emit(x, y, boundary_edge_new(xr, y, r->rightChain), b->leftChain, g);
        b->leftChain = nullptr;
        r->rightChain = c->rightChain ? boundary_edge_new(xr, y, boundary_edge_new(x, y, c->rightChain)) : nullptr;
        c->rightChain = nullptr;
    } else if (g) {
        BoundaryChain k = b->leftChain;
        b->leftChain = nullptr;
        bool placed = false;
        for (Span* e = span_left(b); e; e = span_left(e)) {
            if (e->flags & SPAN_LINE) continue;
            double xe = span_x(e, y);
            if (span_polygon(e) == f && isVisible(e)) {
                boundary_emit(xe, y, e->rightChain, k, f);
                e->rightChain = prependOrNone(xe, y, c->rightChain);
                placed = true;
                break;
            }
            if (span_polygon(e) == f) {
                e->visibleFromX = xe;
                e->visibleFromY = y;
                Span* owner = span_visible_owner(e);
                DepthTree t = owner ? treeLeftOf(owner, e, y, false) : nullptr;
                depth_tree_release(e->depth);
                e->depth = depth_tree_push_front(t, f);
                setVisible(e, true);
                e->rightChain = prependOrNone(xe, y, c->rightChain);
                e->leftChain = prependOrNone(xe, y, k);
                placed = true;
                break;
            }
            if (isVisible(e)) {
                DrawPolygon* front = depth_tree_front(e->depth);
                if (front) boundary_emit(xe, y, e->rightChain, k, front);
                else { boundary_chain_free(e->rightChain); boundary_chain_free(k); }
                e->rightChain = nullptr;
                k = nullptr;
                if (!isLeft(e)) {
                    e->rightChain = prependOrNone(xe, y, c->rightChain);
                    placed = true;
                    break;
                }
                k = prependOrNone(xe, y, e->leftChain);
                e->leftChain = nullptr;
                depth_tree_release(e->depth);
                e->depth = nullptr;
                setVisible(e, false);
            }
        }
        if (!placed) {
            boundary_chain_free(k);
            boundary_chain_free(c->rightChain);
        }
        c->rightChain = nullptr;
    }
    depth_tree_release(b->depth);
    depth_tree_release(c->depth);
    b->depth = c->depth = nullptr;
}

void span_extend_boundary(Span* s, double x, double y) {
    if (!isVisible(s)) return;
    if (s->leftChain) s->leftChain = boundary_edge_new(x, y, s->leftChain);
    if (s->rightChain) s->rightChain = boundary_edge_new(x, y, s->rightChain);
}

void cross_polygon_spans(Span* m, Span* n, double x, double y) {
    DrawPolygon* pm = span_polygon(m);
    DrawPolygon* pn = span_polygon(n);
    Span* w = span_visible_owner(span_left(n));
    DrawPolygon* g = w ? depth_tree_front(w->depth) : nullptr;
    DrawPolygon* a = depth_tree_front(m->depth);
    DrawPolygon* h = depth_tree_front(n->depth);
    const bool mWas = isVisible(m), nWas = isVisible(n);
    const bool mLeft = isLeft(m), nLeft = isLeft(n);
    const double yb = y + sweep_tol.y;
    bool mNow = mWas, nNow = nWas;
    // Adds pm to a tree: the region between n and m lies on the other side of m.
    auto addPm = [&](DepthTree t) { return mLeft ? depth_tree_remove(t, pm, y) : depth_tree_insert(t, pm, y); };
    auto pmKeepingH = [&](DepthTree t) { return mLeft ? depth_tree_remove(t, pm, y) : insertKeepingFront(t, pm, h, y); };

    if (!mWas && !nWas) return;
    if (!mWas && nWas) {
        if (!h) {
            mNow = true;
            m->depth = nullptr;
            n->depth = depth_tree_insert(n->depth, pm, y);
        } else if (pm == h) {
            mNow = true;
            m->depth = depth_tree_retain(n->depth);
            n->depth = depth_tree_remove(n->depth, pm, y);
        } else if (!mLeft && nLeft) {
            mNow = false;
            n->depth = insertKeepingFront(n->depth, pm, h, y);
        } else if (!mLeft && polygon_behind(h, pm, yb)) {
            mNow = true;
            m->depth = depth_tree_retain(n->depth);
            n->depth = depth_tree_push_front(n->depth, pm);
        } else {
            mNow = false;
            n->depth = pmKeepingH(n->depth);
        }
    } else if (mWas && !nWas) {
        if (!nLeft && pn == g) {
            nNow = true;
            m->depth = depth_tree_remove(m->depth, pn, y);
            n->depth = addPm(depth_tree_retain(m->depth));
        } else if (!nLeft) {
            nNow = false;
            m->depth = depth_tree_remove(m->depth, pn, y);
        } else if (!g || (mLeft && polygon_behind(g, pn, yb))) {
            nNow = true;
            n->depth = depth_tree_retain(m->depth);
            m->depth = insertKeepingFront(m->depth, pn, a, y);
            n->depth = depth_tree_push_front(addPm(n->depth), pn);
        } else {
            nNow = false;
            m->depth = insertKeepingFront(m->depth, pn, a, y);
        }
    } else {
        auto dropM = [&] { depth_tree_release(m->depth); m->depth = nullptr; };
        if (pn == g) {
            nNow = true;
            if (pm == h) {
                mNow = true;
                dropM();
                m->depth = depth_tree_retain(n->depth);
                n->depth = depth_tree_remove(n->depth, pm, y);
            } else if (!h) {
                mNow = true;
                dropM();
                n->depth = depth_tree_insert(n->depth, pm, y);
            } else {
                mNow = false;
                dropM();
                n->depth = pmKeepingH(n->depth);
            }
        } else if (pm == h) {
            mNow = true;
            nNow = false;
            dropM();
            m->depth = n->depth;
            n->depth = nullptr;
        } else if (h == g) {
            mNow = nNow = false;
            dropM();
            depth_tree_release(n->depth);
            n->depth = nullptr;
        } else if (!g) {
            mNow = false;
            nNow = true;
            dropM();
            n->depth = depth_tree_remove(n->depth, pm, y);
        } else if (!h) {
            mNow = true;
            nNow = false;
            dropM();
            depth_tree_release(n->depth);
            n->depth = nullptr;
        } else if ((!mLeft && !nLeft) || (mLeft != nLeft && !polygon_behind(g, h, yb))) {
            mNow = true;
            nNow = false;
            dropM();
            m->depth = n->depth;
            n->depth = nullptr;
        } else if (mLeft != nLeft) {
            mNow = false;
            nNow = true;
            dropM();
            n->depth = pmKeepingH(n->depth);
        } else {
            mNow = false;
            nNow = true;
            dropM();
            n->depth = depth_tree_remove(n->depth, pm, y);
        }
    }
    setVisible(m, mNow);
    setVisible(n, nNow);
    if (!mNow) { depth_tree_release(m->depth); m->depth = nullptr; }
    if (!nNow) { depth_tree_release(n->depth); n->depth = nullptr; }

    // Chains.
    if (!mWas && nWas) {
        if (mNow) {
            m->visibleFromX = x;
            m->visibleFromY = y;
            m->rightChain = prependOrNone(x, y, n->rightChain);
            n->rightChain = nullptr;
            if (n->depth) {
                n->rightChain = point(x, y);
                m->leftChain = point(x, y);
            } else {
                m->leftChain = nullptr;
            }
        }
    } else if (mWas && !nWas) {
        if (nNow) {
            n->visibleFromX = x;
            n->visibleFromY = y;
            n->leftChain = prependOrNone(x, y, m->leftChain);
            m->leftChain = nullptr;
            if (n->depth) {
                m->leftChain = point(x, y);
                n->rightChain = point(x, y);
            } else {
                n->rightChain = nullptr;
            }
        }
    } else {
        if (a) {
            boundary_emit(x, y, m->rightChain, n->leftChain, a);
        } else {
            boundary_chain_free(m->rightChain);
            boundary_chain_free(n->leftChain);
        }
        m->rightChain = n->leftChain = nullptr;
        if (mNow && nNow) {
            m->rightChain = prependOrNone(x, y, n->rightChain);
            n->leftChain = prependOrNone(x, y, m->leftChain);
            if (n->depth) {
                m->leftChain = point(x, y);
                n->rightChain = point(x, y);
            } else {
                m->leftChain = n->rightChain = nullptr;
            }
        } else if (mNow) {
            m->rightChain = prependOrNone(x, y, n->rightChain);
            n->leftChain = n->rightChain = nullptr;
        } else if (nNow) {
            n->leftChain = prependOrNone(x, y, m->leftChain);
            m->leftChain = m->rightChain = nullptr;
        } else {
            if (w && g) {
                double xw = span_x(w, y);
                boundary_emit(x, y, m->leftChain, boundary_edge_new(xw, y, w->rightChain), g);
                w->rightChain = boundary_edge_new(xw, y, n->rightChain);
            } else {
                boundary_chain_free(m->leftChain);
                boundary_chain_free(n->rightChain);
            }
            m->leftChain = m->rightChain = n->leftChain = n->rightChain = nullptr;
        }
    }
}

void cross_line_span(Span* m, Span* n, double x, double y) {
    bool lineIsM = (m->flags & SPAN_LINE) != 0;
    Span* l = lineIsM ? m : n;
    Span* s = lineIsM ? n : m;
    if (!isVisible(s)) return;
    const bool lineVisible = isVisible(l);
    const DrawPolygon* q;
    if (lineIsM) {
        q = isLeft(s) ? span_polygon(s) : (lineVisible ? nullptr : depth_tree_front(s->depth));
    } else if (isLeft(s)) {
        Span* owner = lineVisible ? nullptr : span_visible_owner(span_left(s));
        q = owner ? depth_tree_front(owner->depth) : nullptr;
    } else {
        q = span_polygon(s);
    }
    const DrawSegment* line = span_line(l);
    bool front = !q || line_visible_against(line, q, y);
    if (front && !lineVisible) {
        setVisible(l, true);
        l->visibleFromX = x;
        l->visibleFromY = y;
    } else if (!front && lineVisible) {
        output_line(l->visibleFromX, l->visibleFromY, x, y, line->colour);
        setVisible(l, false);
        l->visibleFromX = x;
        l->visibleFromY = y;
    }
}
