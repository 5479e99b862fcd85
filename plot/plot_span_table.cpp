// The span table: the edges cut by the sweep line, left to right, and the crossings of
// neighbours.
//
// The table is a doubly linked list of links.  Searches start at a finger, the link last
// inserted or located (polygons start in order of y, and neighbouring cells of a surface start
// near each other), and walk left or right from there.  The
// order is kept by the crossing events (two neighbours that meet are exchanged), so the list is
// sorted by x at the sweep height up to the tolerances.

#include <cmath>

#include "plot/plot_storage_records.h"
#include "plot/plot_sweep.h"

namespace {

StorageArea spanArea;
StorageArea linkArea;
StorageArea nodeArea;   // kept for the area set of the sweep; the list needs no inner nodes
SpanLink* head = nullptr;
SpanLink* tail = nullptr;
int leaves = 0;
SpanLink* finger = nullptr;   // a live link near the last search, or null
std::uint32_t nextSerial = 1;

void linkBefore(SpanLink* at, SpanLink* link) {
    link->right = at;
    link->left = at->left;
    if (at->left) at->left->right = link; else head = link;
    at->left = link;
}

void linkAfter(SpanLink* at, SpanLink* link) {
    link->left = at;
    link->right = at->right;
    if (at->right) at->right->left = link; else tail = link;
    at->right = link;
}

SpanLink* newLink(Span* span) {
    auto* link = area_record<SpanLink>(&linkArea);
    link->left = link->right = nullptr;
    link->span = span;
    span->link = link;
    return link;
}

}  // namespace

Span* span_left(const Span* s) { return s && s->link && s->link->left ? s->link->left->span : nullptr; }
Span* span_right(const Span* s) { return s && s->link && s->link->right ? s->link->right->span : nullptr; }

void spantab_open() {
    head = tail = finger = nullptr;
    leaves = 0;
    storage_init(&nodeArea, STORAGE_ALIGN8, "spantab-ST");
    storage_init(&spanArea, STORAGE_ALIGN8, "spantab-Span");
    storage_init(&linkArea, STORAGE_ALIGN8 | STORAGE_NOZERO, "spantab-Link");
}

void spantab_close() {
    storage_free(&nodeArea);
    storage_free(&spanArea);
    storage_free(&linkArea);
    head = tail = finger = nullptr;
    leaves = 0;
}

Span* spantab_first() { return head ? head->span : nullptr; }
int spantab_count() { return leaves; }

Span* span_new() {
    auto* s = area_record<Span>(&spanArea);
    s->serial = nextSerial++;
    if (nextSerial == 0) nextSerial = 1;
    return s;
}

Span* span_visible_owner(Span* span) {
    for (Span* s = span; s; s = span_left(s))
        if ((s->flags & SPAN_VISIBLE) && !(s->flags & SPAN_LINE)) return s;
    return nullptr;
}

Span* spantab_locate(double x, double y) {
    // The leftmost span at or right of x, else the rightmost span.
    SpanLink* l = finger ? finger : head;
    if (!l) return nullptr;
    if (span_x(l->span, y) - x >= 0) {
        while (l->left && span_x(l->left->span, y) - x >= 0) l = l->left;
    } else {
        while (l->right && !(span_x(l->span, y) - x >= 0)) l = l->right;
    }
    finger = l;
    return l->span;
}

void spantab_exchange(Span* left, Span* right) {
    SpanLink* a = left->link;
    SpanLink* b = right->link;
    a->span = right;
    b->span = left;
    right->link = a;
    left->link = b;
}

void spantab_insert(double x, double y, Span* span) {
    SpanLink* link = newLink(span);
    ++leaves;
    if (!head) {
        head = tail = link;
        return;
    }
    // The leftmost link right of x, found from the finger; the new link goes before it.
    SpanLink* at = finger ? finger : head;
    if (span_x(at->span, y) > x) {
        while (at->left && span_x(at->left->span, y) > x) at = at->left;
    } else {
        while (at && !(span_x(at->span, y) > x)) at = at->right;
    }
    if (at) linkBefore(at, link); else linkAfter(tail, link);
    // Fix-up for a list that is out of order at this height.
    while (link->right && span_x(link->right->span, y) < x) {
        Span* other = link->right->span;
        spantab_exchange(span, other);
        link = span->link;
    }
    while (link->left && span_x(link->left->span, y) > x) {
        Span* other = link->left->span;
        spantab_exchange(other, span);
        link = span->link;
    }
    finger = link;
}

void spantab_insert_right_of(Span* span, Span* newSpan) {
    SpanLink* link = newLink(newSpan);
    ++leaves;
    linkAfter(span->link, link);
}

void spantab_remove(Span* span) {
    SpanLink* link = span->link;
    if (!link) return;
    if (link->left) link->left->right = link->right; else head = link->right;
    if (link->right) link->right->left = link->left; else tail = link->left;
    --leaves;
    if (finger == link) finger = link->left ? link->left : link->right;
    span->link = nullptr;
    span->serial = 0;
    area_give_back(&linkArea, link);
    area_give_back(&spanArea, span);
}

void schedule_crossing(Span* l, Span* r, double y) {
    if (!l || !r) return;
    if (l->owner == r->owner || l->toVertex == r->toVertex) return;
    if (!(std::fabs(l->slope - r->slope) > 2e-9)) return;
    double yc = (r->intercept - l->intercept) / (l->slope - r->slope);
    double xc = l->intercept + l->slope * yc;
    if (yc <= y + 10 * sweep_tol.y) {
        if (l->slope <= r->slope) return;   // they separate
        if (yc < y) {
            yc = y;
            xc = l->slope * yc + l->intercept;
        }
    }
    if (yc + sweep_tol.y < l->toVertex->y && yc + sweep_tol.y < r->toVertex->y) {
        SweepEvent* e = eventq_insert(xc, yc, SWEEP_CROSSING, l, r);
        e->stamp = l->serial;
        e->secondStamp = r->serial;
    }
}
