// The span table: the edges cut by the sweep line, left to right, and the crossings of
// neighbours.
//
// The table is a doubly linked list of links.  Searches start at a finger, the link last
// inserted or located (polygons start in order of y, and neighbouring cells of a surface start
// near each other), and walk left or right from there to the first link where the test on x
// changes.  The order is kept by the crossing events (two neighbours that meet are exchanged),
// so the list is sorted by x at the sweep height up to the tolerances, but only up to them:
// spans that meet at a vertex lie a few units in the last place out of order, and which of them
// a walk stops at depends on where it started.  The walks therefore keep their exact meaning,
// link by link, and are made fast without changing it:
//
// Blocks.  The list is cut into runs of consecutive links (blocks of kBlockMin to kBlockMax
// links, fewer only when the table is small).  A block keeps bounds that hold for every span
// it holds at every height y:
//
//     x(y) <= hiX + (y >= refY ? hiSlope : loSlope) * (y - refY)
//     x(y) >= loX + (y >= refY ? loSlope : hiSlope) * (y - refY)
//
// where hiX and loX are the largest and smallest x at refY and hiSlope, loSlope the largest
// and smallest slopes.  A walk that reaches a block's end link and finds by these bounds (less
// a rounding margin) that the test comes out the same for every span in it passes the block
// in one step; otherwise it tests the links one by one as before, and a block it passed link
// by link gets its bounds taken afresh at the walk's height.  A bound never decides a test
// that could go either way, so every walk ends where the link-by-link walk ends, whether or
// not the list is in order.  NaN anywhere makes a bound NaN, and a NaN bound never passes a block.
//
// Keeping the bounds: a span entering a block (insert, exchange across a block boundary, a new
// line for a linked span through spantab_line_changed) widens the block's bounds; a span
// leaving one leaves them as they are (still true, only looser).  Blocks split above
// kBlockMax links and merge into a neighbour below kBlockMin.

#include <cfloat>
#include <cmath>

#include "plot/plot_storage_records.h"
#include "plot/plot_sweep.h"

struct SpanBlock {
    SpanLink* first;
    SpanLink* last;
    int count;
    double refY;                 // the height hiX and loX were taken at
    double hiX, loX;             // largest and smallest x of the spans at refY
    double hiSlope, loSlope;     // largest and smallest slope
    double absSlope, absIntercept;   // largest |slope| and |intercept|: the rounding margin's scale
};

namespace {

// Block sizes: a search passes a block in one step, so smaller blocks pass less at once and
// larger ones cost more to walk where the bounds cannot decide.  Under cachegrind, the whole
// 200 x 200 surface benchmark (about 1,500 spans in the table): blocks of 4..16 links 1.99 G
// instructions and 20.9 M first-level data misses, 8..32 1.95 G and 17.9 M, 16..64 1.94 G and
// 18.0 M.
constexpr int kBlockMax = 32;
constexpr int kBlockMin = 8;
// The bounds are compared with a margin of this size relative to the magnitudes involved,
// which covers the rounding of x = slope * y + intercept and of the bounds themselves (about a
// thousand units in the last place).
constexpr double kMarginScale = 1e-12;

StorageArea spanArea;
StorageArea linkArea;
StorageArea nodeArea;   // the blocks
SpanLink* head = nullptr;
SpanLink* tail = nullptr;
int leaves = 0;
SpanLink* finger = nullptr;   // a live link near the last search, or null
std::uint32_t nextSerial = 1;

// ---- block bounds ---------------------------------------------------------------------------------
void widenMax(double& m, double v) { if (v > m || v != v) m = v; }   // NaN sticks
void widenMin(double& m, double v) { if (v < m || v != v) m = v; }

void blockTake(SpanBlock* b, const Span* s) {
    widenMax(b->hiX, s->slope * b->refY + s->intercept);
    widenMin(b->loX, s->slope * b->refY + s->intercept);
    widenMax(b->hiSlope, s->slope);
    widenMin(b->loSlope, s->slope);
    widenMax(b->absSlope, std::fabs(s->slope));
    widenMax(b->absIntercept, std::fabs(s->intercept));
}

// Takes the bounds afresh from the block's spans at height y.
void blockRefresh(SpanBlock* b, double y) {
    b->refY = y;
    b->hiX = b->hiSlope = -HUGE_VAL;
    b->loX = b->loSlope = HUGE_VAL;
    b->absSlope = b->absIntercept = 0;
    for (SpanLink* l = b->first;; l = l->right) {
        blockTake(b, l->span);
        if (l == b->last) break;
    }
}

double blockMargin(const SpanBlock* b, double y) {
    return kMarginScale * (b->absIntercept + b->absSlope * (std::fabs(y) + std::fabs(b->refY)) + std::fabs(b->hiX) +
                           std::fabs(b->loX)) + DBL_MIN;
}
double blockUpper(const SpanBlock* b, double y) {
    double d = y - b->refY;
    return b->hiX + (d >= 0 ? b->hiSlope : b->loSlope) * d + blockMargin(b, y);
}
double blockLower(const SpanBlock* b, double y) {
    double d = y - b->refY;
    return b->loX + (d >= 0 ? b->loSlope : b->hiSlope) * d - blockMargin(b, y);
}

// The tests the walks make, each with the bound that settles it for a whole block.
//   Right of x:          span_x > x        every span: lower > x;  no span: upper <= x
//   At or right of x:    span_x - x >= 0   every span: lower > x;  no span: upper < x
struct RightOf {
    static bool holds(const Span* s, double x, double y) { return span_x(s, y) > x; }
    static bool all(const SpanBlock* b, double x, double y) { return blockLower(b, y) > x; }
    static bool none(const SpanBlock* b, double x, double y) { return blockUpper(b, y) <= x; }
};
struct AtOrRightOf {
    static bool holds(const Span* s, double x, double y) { return span_x(s, y) - x >= 0; }
    static bool all(const SpanBlock* b, double x, double y) { return blockLower(b, y) > x; }
    static bool none(const SpanBlock* b, double x, double y) { return blockUpper(b, y) < x; }
};

// From `at`, moves left while the link to the left passes the test.
template <typename Test>
SpanLink* walkLeftWhile(SpanLink* at, double x, double y) {
    SpanBlock* walked = nullptr;
    while (SpanLink* l = at->left) {
        SpanBlock* b = l->block;
        if (l == b->last) {
            if (Test::all(b, x, y)) { at = b->first; continue; }
            walked = b;
        }
        if (!Test::holds(l->span, x, y)) break;
        if (l == b->first && walked == b) blockRefresh(b, y);
        at = l;
    }
    return at;
}

// From `at`, moves right while the link fails the test; off the end (null) when `stayIn` is
// false, else it stops at the last link.
template <typename Test>
SpanLink* walkRightUntil(SpanLink* at, double x, double y, bool stayIn) {
    SpanBlock* walked = nullptr;
    while (at) {
        SpanBlock* b = at->block;
        if (at == b->first) {
            if ((!stayIn || b->last->right) && Test::none(b, x, y)) { at = b->last->right; continue; }
            walked = b;
        }
        if (stayIn && !at->right) break;
        if (Test::holds(at->span, x, y)) break;
        if (at == b->last && walked == b) blockRefresh(b, y);
        at = at->right;
    }
    return at;
}

// ---- blocks as runs of the list ------------------------------------------------------------------
SpanBlock* newBlock(SpanLink* first, SpanLink* last, int count, double refY) {
    auto* b = area_record<SpanBlock>(&nodeArea);
    b->first = first;
    b->last = last;
    b->count = count;
    for (SpanLink* l = first;; l = l->right) {
        l->block = b;
        if (l == last) break;
    }
    blockRefresh(b, refY);
    return b;
}

// Cuts a block that grew past kBlockMax in two halves.
void blockSplit(SpanBlock* b) {
    SpanLink* mid = b->first;
    for (int i = 0; i < b->count / 2; ++i) mid = mid->right;
    SpanLink* last = b->last;
    int right = b->count - b->count / 2;
    b->last = mid->left;
    b->count -= right;
    blockRefresh(b, b->refY);
    newBlock(mid, last, right, b->refY);
}

// Joins a block that shrank below kBlockMin to a neighbour with room for it.
void blockMerge(SpanBlock* b) {
    SpanBlock* into = nullptr;
    if (b->last->right && b->last->right->block->count + b->count <= kBlockMax) into = b->last->right->block;
    else if (b->first->left && b->first->left->block->count + b->count <= kBlockMax) into = b->first->left->block;
    if (!into) return;
    for (SpanLink* l = b->first;; l = l->right) {
        l->block = into;
        blockTake(into, l->span);
        if (l == b->last) break;
    }
    if (into->first == b->last->right) into->first = b->first; else into->last = b->last;
    into->count += b->count;
    area_give_back(&nodeArea, b);
}

// Counts a link just placed next to `near` into near's block.
void joinBlock(SpanLink* link, SpanLink* near) {
    SpanBlock* b = near->block;
    link->block = b;
    if (b->first == link->right) b->first = link;
    if (b->last == link->left) b->last = link;
    ++b->count;
    blockTake(b, link->span);
    if (b->count > kBlockMax) blockSplit(b);
}

void linkBefore(SpanLink* at, SpanLink* link) {
    link->right = at;
    link->left = at->left;
    if (at->left) at->left->right = link; else head = link;
    at->left = link;
    joinBlock(link, at);
}

void linkAfter(SpanLink* at, SpanLink* link) {
    link->left = at;
    link->right = at->right;
    if (at->right) at->right->left = link; else tail = link;
    at->right = link;
    joinBlock(link, at);
}

SpanLink* newLink(Span* span) {
    auto* link = area_record<SpanLink>(&linkArea);
    link->left = link->right = nullptr;
    link->span = span;
    link->block = nullptr;
    span->link = link;
    return link;
}

}  // namespace

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
    if (!span) return nullptr;
    if (!span->link) return (span->flags & SPAN_VISIBLE) && !(span->flags & SPAN_LINE) ? span : nullptr;
    // Along the links: the next link does not wait for the span record of this one.
    for (const SpanLink* l = span->link; l; l = l->left)
        if ((l->span->flags & SPAN_VISIBLE) && !(l->span->flags & SPAN_LINE)) return l->span;
    return nullptr;
}

Span* spantab_locate(double x, double y) {
    // The leftmost span at or right of x, else the rightmost span.
    SpanLink* l = finger ? finger : head;
    if (!l) return nullptr;
    if (AtOrRightOf::holds(l->span, x, y)) l = walkLeftWhile<AtOrRightOf>(l, x, y);
    else l = walkRightUntil<AtOrRightOf>(l, x, y, true);
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
    if (a->block != b->block) {
        blockTake(a->block, right);
        blockTake(b->block, left);
    }
}

void spantab_line_changed(Span* span) {
    if (span->link) blockTake(span->link->block, span);
}

void spantab_insert(double x, double y, Span* span) {
    SpanLink* link = newLink(span);
    ++leaves;
    if (!head) {
        head = tail = link;
        newBlock(link, link, 1, y);
        finger = link;
        return;
    }
    // The leftmost link right of x, found from the finger; the new link goes before it.
    SpanLink* at = finger ? finger : head;
    if (RightOf::holds(at->span, x, y)) at = walkLeftWhile<RightOf>(at, x, y);
    else at = walkRightUntil<RightOf>(at, x, y, false);
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
    SpanBlock* b = link->block;
    if (b->first == link) b->first = link->right;
    if (b->last == link) b->last = link->left;
    if (link->left) link->left->right = link->right; else head = link->right;
    if (link->right) link->right->left = link->left; else tail = link->left;
    --leaves;
    if (finger == link) finger = link->left ? link->left : link->right;
    span->link = nullptr;
    span->serial = 0;
    area_give_back(&linkArea, link);
    area_give_back(&spanArea, span);
    if (--b->count == 0) area_give_back(&nodeArea, b);
    else if (b->count < kBlockMin) blockMerge(b);
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
