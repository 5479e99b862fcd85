// Typeset selection: points to positions, caret steps, positions to operand ranges and ranges to
// highlight rectangles (see selection.h).
//
// Every walk checks a step's child index against the node's array before it follows it, so a
// path from an older tree or a hand-made one never reads outside a child array, and every walk
// is bounded by the tree's depth cap.

#include "selection.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kWalkCap = 8 * TYPESET_MAX_DEPTH;

// Node flag bits that the selection reads: a number laid out as a unit (no ranges inside) and
// a bracketing wrapper or structural part (never a selection of its own).
constexpr unsigned char kNoRanges = TSF_MEASURED;
constexpr unsigned char kStructural = TSF_BRACKET;

const TypesetChild* root_slot(const TypesetContext* ctx) {
    return ctx && ctx->lines && ctx->lines->root && ctx->lines->root->node ? ctx->lines->root : nullptr;
}

// The DAG the cursor's indices start from: the laid-out expression (inside a labelled root).
const DagWord* root_dag(const TypesetContext* ctx) {
    const TypesetChild* r = root_slot(ctx);
    if (!r) return nullptr;
    const TypesetNode* n = r->node;
    if (n->type == TS_LABELLED && n->firstCount > 0 && n->firstArray[0].node) n = n->firstArray[0].node;
    return static_cast<const DagWord*>(n->source);
}

int root_operand_count(const TypesetContext* ctx) {
    const DagWord* d = root_dag(ctx);
    return d ? int(dag_length(d)) - 1 : 0;
}

const TypesetLine* line_of(const TypesetContext* ctx, int n) {
    if (!ctx || !ctx->lines || !ctx->lines->lines || n < 0 || n >= ctx->lines->count) return nullptr;
    return &ctx->lines->lines[n];
}

// The child a composite step leads to, or null when the step does not fit the node.
const TypesetChild* step_child(const TypesetPath* e) {
    if (!e || e->leaf || !e->node || !typeset_is_composite_type(e->node->type)) return nullptr;
    const TypesetNode* n = e->node;
    if (path_in_first_array(e)) return e->index >= 0 && e->index < n->firstCount ? &n->firstArray[e->index] : nullptr;
    if (path_in_second_array(e))
        return e->index >= 0 && e->index < n->secondCount ? &n->secondArray[e->index] : nullptr;
    return nullptr;
}

bool is_candidate(const TypesetChild* c) {
    if (!c->node) return false;
    const TypesetNode* n = c->node;
    return !typeset_is_composite_type(n->type) || n->firstCount > 0 || n->secondCount > 0 ||
           n->type == DAG_EXPSEQ;
}

// Squared distance (doubled coordinates) from the point to the box centre; -1 inside the box.
long long box_distance(const TypesetChild* c, int x, int y) {
    int w = c->node->width, h = c->node->height;
    if (x >= c->x && x < c->x + w && y >= c->y && y < c->y + h) return -1;
    long long dx = 2LL * x - (2LL * c->x + w);
    long long dy = 2LL * y - (2LL * c->y + h);
    return dx * dx + dy * dy;
}

// The best candidate of one child array: the first box holding the point, else the nearest
// centre (the first of equal ones).  -1 when there is none.
int best_child(const TypesetChild* array, int count, int x, int y, long long* distance) {
    int best = -1;
    long long bestD = 0;
    for (int i = 0; i < count; ++i) {
        const TypesetChild* c = &array[i];
        if (!is_candidate(c)) continue;
        long long d = box_distance(c, x, y);
        if (d < 0) {
            *distance = -1;
            return i;
        }
        if (best < 0 || d < bestD) {
            best = i;
            bestD = d;
        }
    }
    *distance = bestD;
    return best;
}

bool is_sum_or_product(const TypesetNode* n) { return n->type == DAG_SUM || n->type == DAG_PROD; }

TypesetPath* chain_head(TypesetPath* e) {
    while (e && e->prev) e = e->prev;
    return e;
}

}  // namespace

// ---- coordinates ------------------------------------------------------------------------------------

bool typeset_line_to_tree(const TypesetContext* ctx, int n, int x, int y, int* treeX, int* treeY) {
    const TypesetLine* l = line_of(ctx, n);
    if (!l) return false;
    int d = l->x;
    *treeX = l->left + l->startX + std::max(x, d) - d;
    *treeY = y + l->top + l->startY;
    return true;
}

bool typeset_tree_to_line(const TypesetContext* ctx, int n, int treeX, int treeY, int* x, int* y) {
    const TypesetLine* l = line_of(ctx, n);
    if (!l) return false;
    *x = treeX + l->x - l->left - l->startX;
    *y = treeY - l->top - l->startY;
    return true;
}

int typeset_line_at_x(const TypesetContext* ctx, int x) {
    if (!ctx || !ctx->lines || !ctx->lines->lines) return -1;
    for (int i = 0; i < ctx->lines->count; ++i) {
        const TypesetLine& l = ctx->lines->lines[i];
        if (!l.used) continue;
        int rel = x - l.startX;
        if (l.left <= rel && rel <= l.right) return i;
    }
    return -1;
}

// ---- point to position ------------------------------------------------------------------------------

TypesetPath* typeset_find_at_point(TypesetContext* ctx, TypesetPath* parent, int n, int x, int y,
                                   bool skipEmptyGlyph) {
    const TypesetChild* slot = root_slot(ctx);
    const TypesetLine* line = line_of(ctx, n);
    if (!slot || !line) return nullptr;
    int px, py;
    typeset_line_to_tree(ctx, n, x, y, &px, &py);
    px -= slot->x;
    py -= slot->y;
    TypesetPath* tail = parent;
    TypesetPath* first = nullptr;
    const TypesetNode* node = slot->node;
    for (int guard = 0; node && guard < kWalkCap; ++guard) {
        TypesetPath* e = typeset_path_append(ctx, tail);
        if (!first) first = e;
        tail = e;
        e->node = node;
        if (typeset_is_glyph_type(node->type)) {
            e->leaf = 1;
            bool after = 2 * px >= node->width;
            e->index = after ? 1 : 0;
            e->word = after ? node->width : 0;
            break;
        }
        if (typeset_is_text_type(node->type)) {
            e->leaf = 1;
            const char* text = node->text ? node->text : "";
            int len = int(std::strlen(text));
            int i = 0, cx = 0;
            if (line->piece.node == node && line->piece.offset >= 0 && line->piece.offset <= len) {
                i = line->piece.offset;
                cx = line->piece.xInNode;
            }
            while (i < len) {
                int cw = ctx->device->charWidth(ctx, static_cast<unsigned char>(text[i]), node_style(node),
                                                node_level(node));
                if (2 * px < 2 * cx + cw) break;
                cx += cw;
                ++i;
            }
            e->index = i;
            e->word = cx;
            break;
        }
        long long d1 = 0, d2 = 0;
        int b1 = best_child(node->firstArray, node->firstCount, px, py, &d1);
        int b2 = best_child(node->secondArray, node->secondCount, px, py, &d2);
        if (skipEmptyGlyph && b2 >= 0 && node->secondArray[b2].node->type == G_HIDDEN_CARET) b2 = -1;
        if (b1 < 0 && b2 < 0) {
            e->leaf = 1;
            e->index = 0;
            e->word = 0;
            break;
        }
        bool second = b1 < 0 || (b2 >= 0 && d2 < d1);
        const TypesetChild* c = second ? &node->secondArray[b2] : &node->firstArray[b1];
        e->index = second ? b2 : b1;
        e->word = second ? 0 : 1;
        int w = c->node->width, h = c->node->height;
        px = std::clamp(px, c->x, c->x + std::max(w - 1, 0));
        py = std::clamp(py, c->y, c->y + std::max(h - 1, 0));
        px -= c->x;
        py -= c->y;
        node = c->node;
    }
    return parent ? chain_head(parent) : first;
}

void typeset_node_offset(const TypesetContext* ctx, const TypesetPath* path, int n, int* x, int* y,
                         int* kind, int* value) {
    int tx = 0, ty = 0, k = 0, v = 0;
    const TypesetChild* slot = root_slot(ctx);
    if (slot && path) {
        tx = slot->x;
        ty = slot->y;
        int guard = 0;
        for (const TypesetPath* e = path; e && guard < kWalkCap; e = e->next, ++guard) {
            if (e->leaf) {
                tx += e->word;
                k = 2;
                v = e->node ? e->node->height : 0;
                break;
            }
            const TypesetChild* c = step_child(e);
            if (!c || !c->node) break;
            tx += c->x;
            ty += c->y;
            k = 1;
            v = c->node->height;
        }
    }
    int lx = tx, ly = ty;
    if (!typeset_tree_to_line(ctx, n, tx, ty, &lx, &ly)) {
        lx = tx;
        ly = ty;
    }
    if (x) *x = lx;
    if (y) *y = ly;
    if (kind) *kind = k;
    if (value) *value = v;
}

// ---- caret steps -----------------------------------------------------------------------------------------

namespace {

// The next (previous) selectable first-array child of the node at `level` beside the step the
// level takes; -1 when none.
int sibling(const TypesetPath* level, bool forward) {
    const TypesetNode* n = level->node;
    if (!n || !typeset_is_composite_type(n->type)) return -1;
    if (path_in_second_array(level)) {
        // From a glyph: the nearest selectable child on that side of it.
        if (level->index < 0 || level->index >= n->secondCount) return -1;
        int gx = n->secondArray[level->index].x;
        int best = -1;
        for (int i = 0; i < n->firstCount; ++i) {
            const TypesetChild* c = &n->firstArray[i];
            if (!child_slot_selectable(c)) continue;
            if (forward && c->x > gx && (best < 0 || c->x < n->firstArray[best].x)) best = i;
            if (!forward && c->x < gx && (best < 0 || c->x >= n->firstArray[best].x)) best = i;
        }
        return best;
    }
    if (forward) {
        for (int i = std::max(level->index + 1, 0); i < n->firstCount; ++i)
            if (child_slot_selectable(&n->firstArray[i])) return i;
    } else {
        for (int i = std::min(level->index - 1, n->firstCount - 1); i >= 0; --i)
            if (child_slot_selectable(&n->firstArray[i])) return i;
    }
    return -1;
}

int edge_child(const TypesetNode* n, bool forward) {
    if (forward) {
        for (int i = 0; i < n->firstCount; ++i)
            if (child_slot_selectable(&n->firstArray[i])) return i;
    } else {
        for (int i = n->firstCount - 1; i >= 0; --i)
            if (child_slot_selectable(&n->firstArray[i])) return i;
    }
    return -1;
}

}  // namespace

TypesetPath* typeset_step(TypesetContext* ctx, const TypesetPath* path, int code) {
    if (!path) return nullptr;
    const bool forward = code == 2;
    TypesetPath* head = typeset_path_copy(ctx, path);
    TypesetPath* e = typeset_path_last(head);
    for (int guard = 0; guard < kWalkCap; ++guard) {
        // Climb to the nearest level with a selectable child on the wanted side.
        TypesetPath* level = e->prev;
        int child = -1;
        for (; level; level = level->prev) {
            child = sibling(level, forward);
            if (child >= 0) break;
        }
        if (!level) {
            typeset_path_free(ctx, head);
            return nullptr;
        }
        typeset_path_free(ctx, level->next);
        level->index = child;
        level->word = 1;
        level->leaf = 0;
        // Descend to the first (last) selectable leaf below that child.
        const TypesetNode* node = level->node->firstArray[child].node;
        e = level;
        for (int depth = 0; node && depth < kWalkCap; ++depth) {
            e = typeset_path_append(ctx, e);
            e->node = node;
            if (!typeset_is_composite_type(node->type) || (node->type == DAG_EXPSEQ && node->firstCount == 0))
                break;
            int c = edge_child(node, forward);
            if (c < 0) break;
            e->index = c;
            e->word = 1;
            node = node->firstArray[c].node;
        }
        e->leaf = 1;
        e->index = 0;
        e->word = 0;
        if (typeset_is_text_type(node->type)) {
            if (!forward) {
                e->index = node->text ? int(std::strlen(node->text)) : 0;
                e->word = node->width;
            }
            return head;
        }
        if (node->type == DAG_EXPSEQ && node->firstCount == 0) return head;
        // A glyph or a box with nothing to select: go on from there.
    }
    typeset_path_free(ctx, head);
    return nullptr;
}

// ---- positions to an operand range ------------------------------------------------------------------------

namespace {

// Node types whose operands never form a range of their own.
bool without_range(int type) {
    switch (type) {
    case DAG_SERIES: case TS_MATRIX: case TS_CALL: case 56: case 57: case 61: case TS_PIECEWISE: case 73:
        return true;
    default:
        return false;
    }
}

bool is_unit(const DagWord* d) { return dag_is_int_value(d, 1) || dag_is_int_value(d, -1); }

struct Level {
    const TypesetPath* a;
    const TypesetPath* b;
    int pushed;   // indices this level's slot pushed onto the cursor path
};

// Step 4 of the mapping at the node where the two positions part: the range of operands between
// the children they step into.  False when the node gives no range.
bool range_at(const TypesetPath* a, const TypesetPath* b, NodeCursor* cursor) {
    if (!a || !b || a->node != b->node) return false;
    const TypesetNode* n = a->node;
    if (!typeset_is_composite_type(n->type) || (n->flags & kNoRanges)) return false;
    if (!path_in_first_array(a) || !path_in_first_array(b)) return false;
    const TypesetChild* ca = step_child(a);
    const TypesetChild* cb = step_child(b);
    if (!ca || !cb || without_range(n->type)) return false;
    if (n->type == DAG_SUM) {
        // Children come in pairs (coefficient, term) for the DAG's pairs (term, coefficient):
        // the range takes whole pairs.
        int lo = std::min(a->index, b->index) / 2, hi = std::max(a->index, b->index) / 2;
        cursor->first = 2 * lo + 1;
        cursor->last = 2 * hi + 2;
        return true;
    }
    if (ca->x > cb->x) std::swap(ca, cb);
    int na = path_count(ca), nb = path_count(cb);
    if (na == 0 || nb == 0) {
        int lows[2] = {typeset_first_level_child(ca, -1), typeset_first_level_child(cb, -1)};
        int highs[2] = {typeset_first_level_child(ca, 1), typeset_first_level_child(cb, 1)};
        int first = -1, last = -1;
        for (int v : lows)
            if (v >= 0 && (first < 0 || v < first)) first = v;
        for (int v : highs)
            if (v >= 0 && v > last) last = v;
        if (first < 0 || last < 0) return false;
        cursor->first = first;
        cursor->last = last;
        return true;
    }
    int common = 0;
    while (common < na && common < nb && path_index(ca, common) == path_index(cb, common)) ++common;
    int d = std::min({common, na - 1, nb - 1});
    for (int i = 0; i < d; ++i) int_stack_push(cursor->path, path_index(ca, i));
    cursor->first = path_index(ca, d);
    cursor->last = path_index(cb, d);
    if (cursor->first > cursor->last) std::swap(cursor->first, cursor->last);
    return true;
}

// Step 5: widen the range by the parent DAG's shape.  True when the range now covers every
// operand of a DAG other than an expression sequence.
bool adjust_range(const DagWord* parent, NodeCursor* cursor) {
    if (!parent) return false;
    int len = int(dag_length(parent));
    if (cursor->first < 1 || cursor->last >= len || cursor->first > cursor->last) {
        cursor->first = 0;
        cursor->last = -1;
        return false;
    }
    unsigned type = dag_type(parent);
    auto op = [&](int i) -> const DagWord* {
        return dag_operand_is_dag(parent, std::size_t(i)) ? dag_op(parent, std::size_t(i)) : nullptr;
    };
    if (type == DAG_PROD) {
        bool quotient = len == 5 && dag_is_int_value(op(2), 1) && dag_is_int_value(op(4), -1);
        if (quotient && cursor->first <= 2 && cursor->last >= 3) {
            cursor->first = 1;
            cursor->last = 4;
        } else if (cursor->last % 2 == 1 && cursor->last + 1 < len && !dag_is_int_value(op(cursor->last + 1), -1)) {
            ++cursor->last;
        }
    } else if (type == DAG_SUM && cursor->first == cursor->last) {
        int i = cursor->first;
        if (i % 2 == 1 && i + 1 < len && is_unit(op(i + 1))) cursor->last = i + 1;
        else if (i % 2 == 0 && i > 1 && is_unit(op(i - 1))) cursor->first = i - 1;
    }
    return type != DAG_EXPSEQ && cursor->first == 1 && cursor->last == len - 1;
}

}  // namespace

void typeset_selection_from_positions(TypesetContext* ctx, const TypesetPath* p, const TypesetPath* q,
                                      NodeCursor* cursor) {
    if (!cursor) return;
    if (!cursor->path) cursor->path = int_stack_new();
    int_stack_clear(cursor->path);
    cursor->first = 0;
    cursor->last = -1;
    int x1, y1, k1, v1, x2, y2, k2, v2;
    typeset_node_offset(ctx, p, 0, &x1, &y1, &k1, &v1);
    typeset_node_offset(ctx, q, 0, &x2, &y2, &k2, &v2);
    cursor->selected = (x1 == x2 && y1 == y2 && k1 == k2 && v1 == v2) ? 0 : 1;
    const DagWord* rootDag = root_dag(ctx);

    if (ctx->pathsAbsent || !p || !q || !root_slot(ctx)) {
        cursor->selected = 1;
    } else {
        // Step 3: descend while both positions pass through the same first-array slot.
        std::vector<Level> levels;
        const TypesetPath* a = p;
        const TypesetPath* b = q;
        while (a && b && a->node == b->node && path_in_first_array(a) && path_in_first_array(b) &&
               a->index == b->index && step_child(a) && !(a->node->flags & kNoRanges) &&
               !(is_sum_or_product(a->node) && ((a->next && a->next->leaf) || (b->next && b->next->leaf))) &&
               levels.size() < std::size_t(kWalkCap)) {
            const TypesetChild* slot = step_child(a);
            int pushed = path_count(slot);
            for (int i = 0; i < pushed; ++i) int_stack_push(cursor->path, path_index(slot, i));
            levels.push_back({a, b, pushed});
            a = a->next;
            b = b->next;
        }
        // Steps 4 and 5, climbing out of structural parts and out of ranges that cover a DAG.
        bool climb = false;
        for (int guard = 0; guard < kWalkCap; ++guard) {
            while (!levels.empty() && (climb || (a && (a->node->flags & kStructural)))) {
                Level l = levels.back();
                levels.pop_back();
                for (int i = 0; i < l.pushed; ++i) int_stack_pop(cursor->path);
                a = l.a;
                b = l.b;
                climb = false;
            }
            climb = false;
            cursor->first = 0;
            cursor->last = -1;
            if (!range_at(a, b, cursor)) break;
            const DagWord* parent = int_stack_walk(cursor->path, rootDag, 0);
            bool whole = adjust_range(parent, cursor);
            // Climb only to a node that has a parent itself: the root keeps its operand range.
            if (whole && levels.size() >= 2) {
                const TypesetNode* above = levels.back().a->node;
                if (above->type != TS_CALL && !(above->flags & kStructural)) {
                    climb = true;
                    continue;
                }
            }
            break;
        }
    }
    // Step 6: without a range, the deepest operand on the path, or the whole expression.
    if (cursor->first == 0 || cursor->last == -1) {
        if (cursor->path->count > 0) {
            node_cursor_pop(cursor);
        } else {
            cursor->first = 1;
            cursor->last = root_operand_count(ctx);
        }
    }
    typeset_show_selection(ctx, cursor);
}

// ---- highlight rectangles -----------------------------------------------------------------------------------

namespace {

struct Found {
    const TypesetChild* slot = nullptr;
    const TypesetNode* parent = nullptr;
    int index = -1;           // the slot's index in the parent's first array
    int parentX = 0, parentY = 0;
};

int common_run(const TypesetChild* c, const std::vector<int>& target, std::size_t pos) {
    int n = path_count(c), m = 0;
    while (m < n && pos + std::size_t(m) < target.size() && path_index(c, m) == target[pos + std::size_t(m)]) ++m;
    return m;
}

// The child slot that the operand indices target[pos..] lead to below node (at ox, oy).
bool find_slot(const TypesetNode* node, const std::vector<int>& target, std::size_t pos, int ox, int oy,
               int depth, Found* out) {
    if (!node || depth > kWalkCap || !typeset_is_composite_type(node->type)) return false;
    int best = -1, bestM = 0;
    for (int i = 0; i < node->firstCount; ++i) {
        const TypesetChild* c = &node->firstArray[i];
        if (!c->node || path_count(c) == 0) continue;
        int m = common_run(c, target, pos);
        // A recorded path must match whole unless it reaches past the target's end.
        if (m < path_count(c) && pos + std::size_t(m) < target.size()) continue;
        if (m > bestM) {
            best = i;
            bestM = m;
        }
    }
    if (best >= 0) {
        const TypesetChild* c = &node->firstArray[best];
        if (pos + std::size_t(bestM) >= target.size()) {
            *out = Found{c, node, best, ox, oy};
            return true;
        }
        return find_slot(c->node, target, pos + std::size_t(bestM), ox + c->x, oy + c->y, depth + 1, out);
    }
    for (int i = 0; i < node->firstCount; ++i) {
        const TypesetChild* c = &node->firstArray[i];
        if (!c->node || path_count(c) > 0) continue;
        if (find_slot(c->node, target, pos, ox + c->x, oy + c->y, depth + 1, out)) return true;
    }
    return false;
}

void set_rectangle(TypesetContext* ctx, int left, int top, int width, int height) {
    ctx->selLeft = left;
    ctx->selTop = top;
    ctx->selWidth = width;
    ctx->selHeight = height;
}

bool two_children_type(int t) {
    return (t >= 7 && t <= 30) || (t >= 33 && t <= 35) || t == 38 || t == 50 || t == 52 || t == 54 ||
           (t >= 63 && t <= 65) || t == 67;
}

}  // namespace

bool typeset_show_selection(TypesetContext* ctx, const NodeCursor* cursor) {
    if (!cursor) {
        typeset_clear_selection(ctx);
        return false;
    }
    const TypesetChild* root = root_slot(ctx);
    ctx->selectionShown = false;
    if (!root) return false;
    int depth = cursor->path ? cursor->path->count : 0;
    if (depth == 0 && cursor->first == 1 && cursor->last == root_operand_count(ctx)) {
        set_rectangle(ctx, root->x, root->y, root->node->width, root->node->height);
        ctx->selectionShown = cursor->selected != 0;
        return ctx->selectionShown;
    }
    std::vector<int> target;
    for (int i = 0; i < depth; ++i) target.push_back(int_stack_get(cursor->path, i));
    target.push_back(cursor->first);
    Found f;
    if (!find_slot(root->node, target, 0, root->x, root->y, 0, &f)) return false;
    const TypesetNode* parent = f.parent;
    int low = f.index, high = f.index;
    int minY = f.slot->y, maxBottom = f.slot->y + f.slot->node->height;
    for (int k = cursor->first + 1; k <= cursor->last; ++k) {
        target.back() = k;
        Found g;
        if (!find_slot(root->node, target, 0, root->x, root->y, 0, &g)) continue;
        if (g.parent != parent) return false;
        low = std::min(low, g.index);
        high = std::max(high, g.index);
        minY = std::min(minY, g.slot->y);
        maxBottom = std::max(maxBottom, g.slot->y + g.slot->node->height);
    }
    const TypesetChild* lo = &parent->firstArray[low];
    const TypesetChild* hi = &parent->firstArray[high];
    if (lo->x > hi->x) std::swap(lo, hi);
    int left = lo->x;
    int right = std::max(hi->x + hi->node->width, lo->x + lo->node->width);
    if (parent->type == DAG_SUM) {
        // The range starts at the sign standing before its first term.
        const TypesetChild* sign = nullptr;
        for (int i = 0; i < parent->secondCount; ++i) {
            const TypesetChild* g = &parent->secondArray[i];
            if (!g->node || (g->node->type != G_MINUS && g->node->type != G_LEADMINUS && g->node->type != G_PLUS))
                continue;
            if (g->x < left && (!sign || g->x > sign->x)) sign = g;
        }
        if (sign && (sign->node->type == G_MINUS || sign->node->type == G_LEADMINUS)) {
            bool between = false;
            for (int i = 0; i < parent->firstCount; ++i) {
                const TypesetChild* c = &parent->firstArray[i];
                if (c->node && c->x > sign->x && c->x < left) between = true;
            }
            if (!between) left = sign->x;
        }
    }
    set_rectangle(ctx, f.parentX + left, f.parentY + minY, right - left, maxBottom - minY);
    ctx->selectionShown = cursor->selected != 0;
    return ctx->selectionShown;
}

void typeset_clear_selection(TypesetContext* ctx) {
    if (ctx) ctx->selectionShown = false;
}

void typeset_select_range(TypesetContext* ctx, const TypesetPath* p, const TypesetPath* q,
                          NodeCursor* cursor) {
    if (cursor && p && q) {
        typeset_selection_from_positions(ctx, p, q, cursor);
        return;
    }
    const TypesetChild* root = root_slot(ctx);
    if (!root) return;
    struct Up {
        const TypesetPath* a;
        const TypesetPath* b;
        int x, y;
    };
    std::vector<Up> ups;
    const TypesetPath* a = p;
    const TypesetPath* b = q;
    int ox = root->x, oy = root->y;
    while (a && b && a->node == b->node && !a->leaf && !b->leaf && (a->word & 0xFF) == (b->word & 0xFF) &&
           a->index == b->index && step_child(a) && step_child(a)->node && ups.size() < std::size_t(kWalkCap)) {
        ups.push_back({a, b, ox, oy});
        ox += step_child(a)->x;
        oy += step_child(a)->y;
        a = a->next;
        b = b->next;
    }
    while (a && !ups.empty() && (!a->node->source || (a->node->flags & kStructural))) {
        a = ups.back().a;
        b = ups.back().b;
        ox = ups.back().x;
        oy = ups.back().y;
        ups.pop_back();
    }
    if (!a || !a->node) {
        set_rectangle(ctx, root->x, root->y, root->node->width, root->node->height);
    } else {
        const TypesetNode* n = a->node;
        const TypesetChild* ca = step_child(a);
        const TypesetChild* cb = b ? step_child(b) : nullptr;
        if (typeset_is_composite_type(n->type) && two_children_type(n->type) && ca && cb && ca->node && cb->node) {
            if (ca->x > cb->x) std::swap(ca, cb);
            int right = std::max(cb->x + cb->node->width, ca->x + ca->node->width);
            set_rectangle(ctx, ox + ca->x, oy, right - ca->x, n->height);
        } else {
            set_rectangle(ctx, ox, oy, n->width, n->height);
        }
    }
    ctx->selectionShown = true;
}
