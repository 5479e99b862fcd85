// Typeset node model: allocation in the node arena, the allocation hook, the work table that
// shares the layout of repeated subexpressions, path records of editing, small DAG helpers, and
// the drawing walk of one line.

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

#include "typeset_layout.h"
#include "util/errjump.h"

// ---- allocation hook -----------------------------------------------------------------------------

namespace {
TypesetErrorHook g_hook = nullptr;
int g_armed = 0;

void jump_hook(int code) { throw TypesetJump{code}; }
}  // namespace

void typeset_set_error_hook(TypesetErrorHook hook) { g_hook = hook; }

TypesetHookArm::TypesetHookArm() {
    ++g_armed;
    g_hook = jump_hook;
}
TypesetHookArm::~TypesetHookArm() {
    if (--g_armed == 0) g_hook = nullptr;
}

static void call_hook(int code) {
    if (g_hook) g_hook(code);
}

void* typeset_alloc(StorageArea* arena, std::size_t bytes) {
    // Words of DagWord size; one spare word as the arena format always had.
    std::size_t words = (bytes + sizeof(DagWord)) / sizeof(DagWord);
    try {
        ErrorGuard guard;
        return dag_alloc(arena, words);
    } catch (const ErrorJump&) {
        call_hook(3);
        return nullptr;
    }
}

void* typeset_mem_alloc(std::size_t bytes) {
    if (bytes == 0) {
        call_hook(5);
        return nullptr;
    }
    void* p = std::calloc(1, bytes);
    if (!p) call_hook(3);
    return p;
}

void typeset_mem_free(void* p) { std::free(p); }

char* typeset_strdup(const char* text) {
    std::size_t n = std::strlen(text) + 1;
    char* p = static_cast<char*>(typeset_mem_alloc(n));
    if (p) std::memcpy(p, text, n);
    return p;
}

// An arena allocation inside a layout never returns null: the armed hook jumps out.  Outside a
// layout a failure is a jump too, since nothing could go on with a missing node.
static void* arena_alloc(TypesetContext* ctx, std::size_t bytes) {
    void* p = typeset_alloc(&ctx->nodeArena, bytes);
    if (!p) throw TypesetJump{3};
    return p;
}

bool typeset_is_text_type(int type) {
    switch (type) {
    case 1: case 2: case 4: case 5: case 6: case 25: case 26: case 27: case TS_TEXT:
    case TS_TEXT_LEAF:
        return true;
    default:
        return false;
    }
}

TypesetNode* typeset_node_new(TypesetContext* ctx, int type, int level) {
    auto* node = new (arena_alloc(ctx, sizeof(TypesetNode))) TypesetNode;
    node->type = type;
    node->flags = static_cast<unsigned char>(level & TSF_LEVEL);
    return node;
}

TypesetChild* typeset_children_alloc(TypesetContext* ctx, int n) {
    if (n <= 0) return nullptr;
    auto* slots = static_cast<TypesetChild*>(arena_alloc(ctx, sizeof(TypesetChild) * std::size_t(n)));
    for (int i = 0; i < n; ++i) new (&slots[i]) TypesetChild;
    return slots;
}

void typeset_node_children(TypesetContext* ctx, TypesetNode* node, int n, int m) {
    node->firstCount = n;
    node->secondCount = m;
    node->firstArray = typeset_children_alloc(ctx, n);
    node->secondArray = typeset_children_alloc(ctx, m);
}

TypesetNode* typeset_leaf_new(int type, int level) {
    void* p = typeset_mem_alloc(sizeof(TypesetNode));
    if (!p) return nullptr;
    auto* node = new (p) TypesetNode;
    node->type = type;
    node->flags = static_cast<unsigned char>(level & TSF_LEVEL);
    return node;
}

char* typeset_arena_text(TypesetContext* ctx, const char* text, std::size_t length) {
    char* p = static_cast<char*>(arena_alloc(ctx, length + 1));
    std::memcpy(p, text, length);
    p[length] = 0;
    return p;
}

void typeset_flags_from_children(TypesetNode* node) {
    for (int i = 0; i < node->firstCount; ++i) {
        const TypesetNode* c = node->firstArray[i].node;
        if (c) node->flags |= (c->flags & TSF_BREAK);
    }
}

void copy_metrics(TypesetNode* dst, const TypesetNode* src) {
    dst->width = src->width;
    dst->height = src->height;
    dst->ascent = src->ascent;
}

void slot_clear(TypesetChild* slot) { *slot = TypesetChild{}; }

// ---- work table ------------------------------------------------------------------------------------

struct WorkTable {
    std::unordered_map<const DagWord*, WorkRecord> map;
};

void typeset_work_begin(TypesetContext* ctx) {
    typeset_release_work(ctx);
    ctx->work = new WorkTable;
    ctx->work->map.reserve(256);
}

WorkRecord* typeset_work_record(TypesetContext* ctx, const DagWord* dag, bool create) {
    if (!ctx->work || !dag) return nullptr;
    auto it = ctx->work->map.find(dag);
    if (it != ctx->work->map.end()) return &it->second;
    if (!create) return nullptr;
    return &ctx->work->map[dag];
}

TypesetNode* typeset_work_lookup(TypesetContext* ctx, const DagWord* dag, int level, int* code) {
    WorkRecord* r = typeset_work_record(ctx, dag, false);
    if (!r || level < 0 || level > 2 || !r->nodes[level]) return nullptr;
    if (code) *code = r->codes[level];
    return r->nodes[level];
}

void typeset_work_store(TypesetContext* ctx, const DagWord* dag, int level, TypesetNode* node,
                        int code) {
    if (level < 0 || level > 2) return;
    WorkRecord* r = typeset_work_record(ctx, dag, true);
    if (r && !r->nodes[level]) {
        r->nodes[level] = node;
        r->codes[level] = code;
    }
}

void typeset_work_force(TypesetContext* ctx, const DagWord* dag, int level, TypesetNode* node,
                        int code) {
    if (level < 0 || level > 2) return;
    WorkRecord* r = typeset_work_record(ctx, dag, true);
    if (r) {
        r->nodes[level] = node;
        r->codes[level] = code;
    }
}

void typeset_work_forget(TypesetContext* ctx, const DagWord* dag) {
    WorkRecord* r = typeset_work_record(ctx, dag, false);
    if (r) {
        for (int i = 0; i < 3; ++i) {
            r->nodes[i] = nullptr;
            r->codes[i] = 0;
        }
    }
}

void typeset_release_work(TypesetContext* ctx) {
    delete ctx->work;
    ctx->work = nullptr;
}

// ---- IntStack and paths ------------------------------------------------------------------------------

IntStack* int_stack_new() { return new IntStack; }

void int_stack_free(IntStack* s) {
    if (!s) return;
    delete[] s->items;
    delete s;
}

IntStack* int_stack_copy(const IntStack* s) {
    IntStack* c = int_stack_new();
    for (int i = 0; i < s->count; ++i) int_stack_push(c, s->items[i]);
    return c;
}

void int_stack_clear(IntStack* s) { s->count = 0; }

void int_stack_push(IntStack* s, int v) {
    if (s->count == s->capacity) {
        int cap = s->count + 16;
        int* items = new int[std::size_t(cap)];
        for (int i = 0; i < s->count; ++i) items[i] = s->items[i];
        delete[] s->items;
        s->items = items;
        s->capacity = cap;
    }
    s->items[s->count++] = v;
}

void int_stack_pop(IntStack* s) {
    if (s->count > 0) --s->count;
}

int int_stack_get(const IntStack* s, int i) { return (i >= 0 && i < s->count) ? s->items[i] : -1; }

void int_stack_set(IntStack* s, int i, int v) {
    if (i >= 0 && i < s->count) s->items[i] = v;
}

bool dag_operand_is_dag(const DagWord* d, std::size_t i) {
    if (!d || i < 1 || i >= dag_length(d)) return false;
    switch (dag_type(d)) {
    case DAG_INTNEG: case DAG_INTPOS: case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL:
    case DAG_HFARRAY:
        return false;
    case DAG_NAME: case DAG_STRING:
        return i == 2 && d[i] != 0;   // the attributes; the value word and the text are not
    case DAG_SERIES:
        return (i == 1 || i % 2 == 0) && d[i] != 0;   // the exponents are machine integers
    default:
        return d[i] != 0;
    }
}

const DagWord* int_stack_walk(const IntStack* s, const DagWord* dag, int n) {
    if (!s) return dag;
    int steps = s->count - n;
    for (int k = 0; k < steps && dag; ++k) {
        int i = s->items[k];
        if (i < 1 || !dag_operand_is_dag(dag, std::size_t(i))) return nullptr;
        dag = dag_op(dag, std::size_t(i));
    }
    return dag;
}

static void path_store(TypesetContext* ctx, TypesetChild* slot, const int* indices, int n) {
    if (!ctx->keepPaths) return;
    int* p = static_cast<int*>(arena_alloc(ctx, sizeof(int) * std::size_t(n + 1)));
    p[0] = n;
    for (int i = 0; i < n; ++i) p[i + 1] = indices[i];
    slot->path = p;
}

void path_record_set(TypesetContext* ctx, TypesetChild* slot, int a) {
    int v[1] = {a};
    path_store(ctx, slot, v, 1);
}

void path_record_set(TypesetContext* ctx, TypesetChild* slot, int a, int b) {
    int v[2] = {a, b};
    path_store(ctx, slot, v, 2);
}

int path_count(const TypesetChild* slot) { return slot->path ? slot->path[0] : 0; }

int path_index(const TypesetChild* slot, int i) {
    return (slot->path && i >= 0 && i < slot->path[0]) ? slot->path[i + 1] : -1;
}

int typeset_first_level_child(const TypesetChild* slot, int direction) {
    int n = path_count(slot);
    if (n > 0) return path_index(slot, n - 1);
    const TypesetNode* node = slot->node;
    if (!node || !typeset_is_composite_type(node->type)) return -1;
    int best = -1;
    for (int i = 0; i < node->firstCount; ++i) {
        const TypesetChild* c = &node->firstArray[i];
        if (path_count(c) != 1) continue;
        int v = path_index(c, 0);
        if (best < 0 || (direction <= 0 ? v < best : v > best)) best = v;
    }
    return best;
}

bool child_slot_empty(const TypesetChild* slot) { return !slot || !slot->node; }

bool child_slot_selectable(const TypesetChild* slot) {
    if (child_slot_empty(slot)) return false;
    const TypesetNode* n = slot->node;
    if (typeset_is_glyph_type(n->type) || typeset_is_text_type(n->type) || n->type == DAG_EXPSEQ)
        return true;
    for (int i = 0; i < n->firstCount; ++i)
        if (n->firstArray[i].node) return true;
    return false;
}

// ---- DAG helpers --------------------------------------------------------------------------------------

bool dag_is_nonnegative(const DagWord* d) {
    // A number read without its parts (a reader accepts any length and empty slots) counts as
    // non-negative: its first part is read only when it is there.
    if (!d) return true;
    switch (dag_type(d)) {
    case DAG_INTNEG:
        return false;
    case DAG_RATIONAL:
    case DAG_FLOAT: {
        const DagWord* first = dag_length(d) >= 2 ? dag_op(d, 1) : nullptr;
        return !first || dag_type(first) != DAG_INTNEG;
    }
    default:
        return true;
    }
}

bool dag_is_int_value(const DagWord* d, long v) {
    if (!d || !dag_is_integer(d) || dag_length(d) != 2) return false;
    long m = long(d[1]);
    return dag_type(d) == DAG_INTPOS ? m == v : -m == v;
}

bool dag_is_big_o(const DagWord* d) {
    if (!d || dag_type(d) != DAG_FUNCTION || dag_length(d) < 3) return false;
    const DagWord* head = dag_op(d, 1);
    const DagWord* args = dag_op(d, 2);
    if (!head || dag_type(head) != DAG_NAME || std::strcmp(dag_text(head), "O") != 0) return false;
    if (!args || dag_type(args) != DAG_EXPSEQ || dag_length(args) != 2) return false;
    const DagWord* a = dag_op(args, 1);
    return a && dag_type(a) == DAG_INTPOS && dag_length(a) == 2 && a[1] == 1;
}

bool exprseq_has_name(const DagWord* seq, const char* name) {
    if (!seq || dag_type(seq) != DAG_EXPSEQ) return false;
    for (std::size_t i = 1; i < dag_length(seq); ++i) {
        const DagWord* op = dag_op(seq, i);
        if (op && dag_type(op) == DAG_NAME && std::strcmp(dag_text(op), name) == 0) return true;
    }
    return false;
}

bool dag_has_attribute(const DagWord* d, const char* name) {
    const DagWord* a = dag_attributes(d);
    if (!a) return false;
    if (dag_type(a) == DAG_NAME) return std::strcmp(dag_text(a), name) == 0;
    return exprseq_has_name(a, name);
}

// ---- drawing -----------------------------------------------------------------------------------------

void typeset_draw_state_init(TypesetDrawState* state, TypesetContext* ctx, const TypesetLine* line) {
    *state = TypesetDrawState{};
    state->ctx = ctx;
    state->leftLimit = line->left;
    state->rightLimit = line->right;
    state->indent = line->x;
    state->originShift = line->left - line->x;
    state->originY = -line->top;
    state->piece = line->piece;
}

namespace {

void draw_glyph(TypesetDrawState* st, const TypesetNode* n, int x, int y, int inv) {
    // Decorations carry their own inert mark (the operator symbols of inert calls).
    if (!inv && (n->flags & TSF_INERT)) inv = 1;
    if (n->type == G_HIDDEN_CARET) {
        // Shown only where a line break cuts the power right after its base.
        if (x + n->width == st->rightLimit)
            st->ctx->device->drawSymbol(st, n, x + n->width, y, inv);
        return;
    }
    st->ctx->device->drawSymbol(st, n, x, y, inv);
}

void draw_whole(TypesetDrawState* st, const TypesetNode* n, int x, int y, int inv, int depth) {
    if (!n || depth > 8 * TYPESET_MAX_DEPTH) return;
    if (!inv && (n->flags & TSF_INERT)) inv = 1;
    const TypesetDevice* dev = st->ctx->device;
    if (typeset_is_text_type(n->type)) {
        if (n->flags & TSF_BREAK)
            dev->drawTextClipped(st, n, x, y, inv);
        else
            dev->drawText(st, n, x, y, inv);
    } else if (typeset_is_glyph_type(n->type)) {
        draw_glyph(st, n, x, y, inv);
    } else {
        for (int i = 0; i < n->secondCount; ++i) {
            const TypesetChild& c = n->secondArray[i];
            if (c.node) draw_glyph(st, c.node, x + c.x, y + c.y, inv);
        }
        for (int i = 0; i < n->firstCount; ++i) {
            const TypesetChild& c = n->firstArray[i];
            if (c.node) draw_whole(st, c.node, x + c.x, y + c.y, inv, depth + 1);
        }
    }
    if ((n->flags & TSF_ATOMIC) && x + n->width > st->ctx->pageWidth) dev->hook(st, y, 3, n->height);
}

// Positions here are relative to the line's start node; the visible range is [left, right).
void draw_clipped(TypesetDrawState* st, const TypesetNode* n, int x, int y, int inv, int depth) {
    if (!n || depth > 8 * TYPESET_MAX_DEPTH) return;
    if (!inv && (n->flags & TSF_INERT)) inv = 1;
    if (typeset_is_text_type(n->type)) {
        st->ctx->device->drawTextClipped(st, n, x, y, inv);
        return;
    }
    if (typeset_is_glyph_type(n->type)) {
        draw_glyph(st, n, x, y, inv);
        return;
    }
    for (int i = 0; i < n->firstCount; ++i) {
        const TypesetChild& c = n->firstArray[i];
        if (!c.node) continue;
        int cx = x + c.x;
        int right = cx + c.node->width;
        if (cx >= st->rightLimit) continue;   // children are not always in x order
        if (right <= st->leftLimit && c.node->width > 0) continue;
        if (cx >= st->leftLimit && right <= st->rightLimit)
            draw_whole(st, c.node, cx, y + c.y, inv, depth + 1);
        else
            draw_clipped(st, c.node, cx, y + c.y, inv, depth + 1);
    }
    for (int i = 0; i < n->secondCount; ++i) {
        const TypesetChild& c = n->secondArray[i];
        if (!c.node) continue;
        int cx = x + c.x;
        if (c.node->type == G_HIDDEN_CARET) {
            draw_glyph(st, c.node, cx, y + c.y, inv);
            continue;
        }
        if (cx >= st->leftLimit && cx + c.node->width <= st->rightLimit)
            draw_glyph(st, c.node, cx, y + c.y, inv);
    }
}

}  // namespace

void typeset_draw(TypesetDrawState* state, const TypesetLine* line, int x, int y) {
    if (!line->start || !line->start->node) return;
    const TypesetNode* root = line->start->node;
    // x, y: device position of the line's origin; the state's origin values map node positions.
    state->originShift -= x;
    state->originY += y;
    if (0 < state->leftLimit || root->width > state->rightLimit || (root->flags & TSF_BREAK))
        draw_clipped(state, root, 0, 0, 0, 0);
    else
        draw_whole(state, root, 0, 0, 0, 0);
    state->originShift += x;
    state->originY -= y;
}
