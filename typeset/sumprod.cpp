// Sums with their signs, truncated power series with order terms, products as fractions, powers
// and square roots, and the operator table that gives every DAG type its binding level and the
// limits of its operands.

#include <cstring>

#include "typeset_layout.h"

namespace {

// One row per DAG type code 0..45.  Codes outside the table (46 and above, which a header's six
// type bits can hold) get the empty row.
const OperatorInfo kOperatorTable[46] = {
    {-1, nullptr, 0, 0, 0, 0},                        // 0
    {-1, nullptr, 0, 0, 0, 0},                        // 1 INTNEG
    {-1, nullptr, 0, 0, 0, 0},                        // 2 INTPOS
    {-1, nullptr, 0, 0, 0, 0},                        // 3 RATIONAL
    {-1, nullptr, 0, 0, 0, 0},                        // 4 FLOAT
    {-1, nullptr, 0, 0, 0, 0},                        // 5 STRING
    {-1, nullptr, 0, 0, 0, 0},                        // 6 NAME
    {-1, nullptr, 0, 2, 0xe0000, 0},                  // 7 TABLEREF
    {0, "::", 0x1a0001, 2, 0x1a0000, 0x1a0000},       // 8 DCOLON
    {0, ".", 0xc0001, 2, 0xc0001, 0xc0001},           // 9 CATENATE
    {-1, nullptr, 0, 2, 0x13ffff, 0x13ffff},          // 10 POWER
    {-1, nullptr, 0, 0, 0, 0},                        // 11 PROD
    {-1, nullptr, 0, 0, 0, 0},                        // 12 SERIES
    {-1, nullptr, 0, 0, 0, 0},                        // 13 SUM
    {-1, nullptr, 0, 0, 0, 0},                        // 14 FUNCTION
    {-1, nullptr, 0, 1, 0, 0},                        // 15 UNEVAL
    {2, "=", 0x200001, 2, 0x200000, 0x200000},        // 16 EQUATION
    {2, "\xB9", 0x200001, 2, 0x200000, 0x200000},     // 17 INEQUAT
    {2, "\xA3", 0x200001, 2, 0x200000, 0x200000},     // 18 LESSEQ
    {2, "<", 0x200001, 2, 0x200000, 0x200000},        // 19 LESSTHAN
    {0, "and", 0x200001, 2, 0x200001, 0x200001},      // 20 AND
    {0, "not", 0x200000, 1, 0x200000, 0},             // 21 NOT
    {0, "or", 0x200002, 2, 0x200002, 0x200002},       // 22 OR
    {-1, nullptr, 0, 0, 0, 0},                        // 23 EXPSEQ
    {-1, nullptr, 0x40000, 1, 0x300000, 0},           // 24 LIST
    {-1, nullptr, 0, 0, 0, 0},                        // 25 LOCAL
    {-1, nullptr, 0, 0, 0, 0},                        // 26 PARAM
    {-1, nullptr, 0, 0, 0, 0},                        // 27 LEXICAL
    {-1, nullptr, 0, 0, 0, 0},                        // 28 PROC
    {0, "..", 0x1a0001, 2, 0x1a0000, 0x1a0000},       // 29 RANGE
    {-1, nullptr, 0x40000, 1, 0x300000, 0},           // 30 SET
    {-1, nullptr, 0x40000, 0, 0, 0},                  // 31 TABLE
    {-1, nullptr, 0, 0, 0, 0},                        // 32 HFARRAY
    {0, ":=", 0, 2, 0x420000, 0x420000},              // 33 ASSIGN
    {-1, nullptr, 0, 0, 0, 0},                        // 34 FOR
    {-1, nullptr, 0, 0, 0, 0},                        // 35 IF
    {-1, "read", 0, 1, 0, 0},                         // 36 READ
    {-1, "save", 0, 1, 0, 0},                         // 37 SAVE
    {-1, nullptr, 0, 0, 0, 0},                        // 38 STATSEQ
    {-1, nullptr, 0, 0, 0, 0},                        // 39 STOP
    {-1, nullptr, 0, 0, 0, 0},                        // 40 HASH
    {-1, nullptr, 0, 0, 0, 0},                        // 41 HASHTAB
    {-1, nullptr, 0, 0, 0, 0},                        // 42
    {-1, nullptr, 0, 0, 0, 0},                        // 43
    {-1, nullptr, 0, 0, 0, 0},                        // 44
    {-1, nullptr, 0, 0, 0, 0},                        // 45
};
const OperatorInfo kEmptyRow = {-1, nullptr, 0, 0, 0, 0};

bool is_rational_number(const DagWord* d) {
    unsigned t = dag_type(d);
    return t == DAG_RATIONAL;
}

// Horizontal layout of boxes on one baseline: each box is a set of child slots (already offset
// inside the box) that move together.
struct RowBox {
    TypesetChild* slots[3] = {nullptr, nullptr, nullptr};
    int count = 0;
    int width = 0, ascent = 0, height = 0;
};

void row_place(TypesetNode* node, RowBox* boxes, int n) {
    int A = 0, D = 0, x = 0;
    for (int i = 0; i < n; ++i) {
        if (boxes[i].ascent > A) A = boxes[i].ascent;
        if (boxes[i].height - boxes[i].ascent > D) D = boxes[i].height - boxes[i].ascent;
    }
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < boxes[i].count; ++k) {
            boxes[i].slots[k]->x += x;
            boxes[i].slots[k]->y += A - boxes[i].ascent;
        }
        x += boxes[i].width;
    }
    node->width = x;
    node->ascent = A;
    node->height = A + D;
}

RowBox single_box(TypesetChild* slot) {
    RowBox b;
    if (slot && slot->node) {
        b.slots[0] = slot;
        b.count = 1;
        b.width = slot->node->width;
        b.ascent = slot->node->ascent;
        b.height = slot->node->height;
    }
    return b;
}

int type_level_of(const DagWord* d) {
    unsigned t = dag_type(d);
    switch (t) {
    case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL: case DAG_FUNCTION:
        return BIND_NAME;
    default:
        return bind_of(t);
    }
}

}  // namespace

const OperatorInfo& operator_row(unsigned type) {
    return type < 46 ? kOperatorTable[type] : kEmptyRow;
}

TypesetNode* text_leaf_new(TypesetContext* ctx, const char* text, int style, int level, bool copy) {
    TypesetNode* leaf = typeset_node_new(ctx, TS_TEXT_LEAF, level);
    typeset_text_leaf(ctx, leaf, text, style, level, copy);
    return leaf;
}

TypesetNode* bar_node_new(TypesetContext* ctx, int width, int thickness, int level) {
    TypesetNode* bar = typeset_node_new(ctx, TS_UNDERBAR, level);
    bar->width = width;
    bar->size = width;
    bar->height = thickness;
    bar->ascent = (thickness + 1) / 2;
    return bar;
}

// ---- signed terms -------------------------------------------------------------------------------

namespace {

bool layout_signed_term(TypesetContext* ctx, const DagWord* d, int level, bool dropUnit,
                        TypesetChild* slot, int pathIndex) {
    if (ctx->keepPaths && pathIndex) path_record_set(ctx, slot, pathIndex);
    unsigned type = dag_type(d);
    if ((type == DAG_RATIONAL || type == DAG_FLOAT) &&
        (dag_length(d) != 3 || !dag_op(d, 1) || !dag_op(d, 2))) {
        // A number with a missing part (read from a file): its printed text.
        layout_dag(ctx, d, BIND_PROD, level, slot, 0);
        return false;
    }
    switch (type) {
    case DAG_INTNEG:
        if (dropUnit && dag_is_int_value(d, -1)) return true;
        typeset_integer_leaf_at(ctx, slot, d, level, false);
        slot->node->source = d;
        return true;
    case DAG_INTPOS:
        if (dropUnit && dag_is_int_value(d, 1)) return false;
        typeset_integer_leaf_at(ctx, slot, d, level, false);
        return false;
    case DAG_RATIONAL: {
        TypesetNode* n = typeset_node_new(ctx, DAG_RATIONAL, level);
        n->source = d;
        typeset_rational(ctx, n, d, level, false, 0);
        slot->node = n;
        return dag_type(dag_op(d, 1)) == DAG_INTNEG;
    }
    case DAG_FLOAT: {
        TypesetNode* n = typeset_node_new(ctx, DAG_FLOAT, level);
        n->source = d;
        slot->node = n;
        format_float(ctx, n, d, level, false, slot);
        return dag_type(dag_op(d, 1)) == DAG_INTNEG;
    }
    case DAG_SUM:
        if (dag_length(d) == 3) {
            TypesetDepth depth(ctx);
            TypesetNode* n = typeset_node_new(ctx, DAG_SUM, level);
            n->source = d;
            slot->node = n;
            bool neg = layout_sum(ctx, n, d, level, true);
            typeset_flags_from_children(n);
            return neg;
        }
        [[fallthrough]];
    default:
        layout_dag(ctx, d, BIND_PROD, level, slot, 0);
        return false;
    }
}

// Lays out coefficient c and term t into the two slots; the box receives the joint metrics and
// the slots' offsets inside it.
bool layout_coefficient_term(TypesetContext* ctx, const DagWord* c, const DagWord* t, int level,
                             TypesetChild* cslot, TypesetChild* tslot, RowBox* box,
                             TypesetChild* timesSlot) {
    bool neg;
    bool allNegative = t && dag_type(t) == DAG_PROD && dag_length(t) >= 3 && dag_length(t) % 2 == 1;
    if (allNegative) {
        for (std::size_t i = 2; i < dag_length(t); i += 2)
            if (dag_is_nonnegative(dag_op(t, i))) allNegative = false;
    }
    if (allNegative && !tslot->node && !is_rational_number(c)) {
        TypesetDepth depth(ctx);
        TypesetNode* n = typeset_node_new(ctx, DAG_PROD, level);
        n->source = t;
        tslot->node = n;
        neg = layout_product(ctx, n, t, c, level);
        typeset_flags_from_children(n);
        *box = single_box(tslot);
        return neg;
    }
    neg = layout_signed_term(ctx, c, level, true, cslot, 0);
    if (t && !tslot->node) layout_dag(ctx, t, BIND_PROD, level, tslot, 0);
    if (cslot->node && tslot->node) {
        TypesetNode tmp;
        if (timesSlot) {
            TypesetNode* g = typeset_glyph(ctx, G_TIMES, level);
            timesSlot->node = g;
            cslot->x = 0;
            timesSlot->x = cslot->node->width;
            tslot->x = timesSlot->x + g->width;
            int A = 0, D = 0;
            for (TypesetChild* s : {cslot, timesSlot, tslot}) {
                if (s->node->ascent > A) A = s->node->ascent;
                if (s->node->height - s->node->ascent > D) D = s->node->height - s->node->ascent;
            }
            for (TypesetChild* s : {cslot, timesSlot, tslot}) s->y = A - s->node->ascent;
            box->slots[0] = cslot;
            box->slots[1] = timesSlot;
            box->slots[2] = tslot;
            box->count = 3;
            box->width = tslot->x + tslot->node->width;
            box->ascent = A;
            box->height = A + D;
        } else {
            typeset_place_script(ctx, 3, level, &tmp, cslot, tslot);
            box->slots[0] = cslot;
            box->slots[1] = tslot;
            box->count = 2;
            box->width = tmp.width;
            box->ascent = tmp.ascent;
            box->height = tmp.height;
        }
    } else if (tslot->node) {
        *box = single_box(tslot);
    } else {
        *box = single_box(cslot);
    }
    return neg;
}

TypesetNode* sign_glyph(TypesetContext* ctx, bool negative, bool leading, int level) {
    return typeset_glyph(ctx, negative ? (leading ? G_LEADMINUS : G_MINUS) : G_PLUS, level);
}

}  // namespace

// ---- sums ----------------------------------------------------------------------------------------

bool layout_sum(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level, bool handBack) {
    int terms = int(dag_length(dag) - 1) / 2;
    int perSign = ctx->linearMode ? 2 : 1;
    typeset_node_children(ctx, node, 2 * terms, perSign * terms);
    // Boxes: sign, optional gap, coefficient-term box for every term.
    RowBox* boxes = static_cast<RowBox*>(typeset_alloc(&ctx->nodeArena, sizeof(RowBox) * std::size_t(2 * terms)));
    if (!boxes) throw TypesetJump{3};
    int nb = 0;
    bool result = false;
    int gapAfterLead = 0;
    for (int i = 0; i < terms; ++i) {
        const DagWord* t = dag_op(dag, std::size_t(2 * i + 1));
        const DagWord* c = dag_op(dag, std::size_t(2 * i + 2));
        TypesetChild* cs = &node->firstArray[2 * i];
        TypesetChild* ts = &node->firstArray[2 * i + 1];
        RowBox box;
        bool neg;
        if (!t || !c) {
            layout_dag(ctx, t ? t : c, 0, level, ts, 2 * i + 1);
            box = single_box(ts);
            neg = false;
        } else if (dag_is_int_value(c, 1)) {
            neg = layout_signed_term(ctx, t, level, false, ts, 2 * i + 1);
            box = single_box(ts);
        } else {
            TypesetChild* times = ctx->linearMode ? &node->secondArray[perSign * i + 1] : nullptr;
            neg = layout_coefficient_term(ctx, c, t, level, cs, ts, &box, times);
            if (ctx->keepPaths) {
                path_record_set(ctx, cs, 2 * i + 2);
                if (!ts->path) path_record_set(ctx, ts, 2 * i + 1);
            }
        }
        TypesetChild* ss = &node->secondArray[perSign * i];
        if (i == 0) {
            if (neg && !handBack) {
                ss->node = sign_glyph(ctx, true, true, level);
                boxes[nb++] = single_box(ss);
                bool fraction = cs->node ? cs->node->type == DAG_RATIONAL
                                         : (ts->node && ts->node->type == DAG_PROD &&
                                            ts->node->secondCount > 0);
                if (ctx->device->kind != 3 && fraction) gapAfterLead = metric(ctx, 0, level, 4);
                boxes[nb - 1].width += gapAfterLead;
            } else {
                result = neg;
            }
        } else {
            ss->node = sign_glyph(ctx, neg, false, level);
            boxes[nb++] = single_box(ss);
        }
        boxes[nb++] = box;
    }
    row_place(node, boxes, nb);
    return result;
}

// ---- powers --------------------------------------------------------------------------------------

void power_linear(TypesetContext* ctx, TypesetNode* power, int level) {
    TypesetNode* caret = typeset_glyph(ctx, G_CARET, level);
    power->secondCount = 1;
    power->secondArray = typeset_children_alloc(ctx, 1);
    power->secondArray[0].node = caret;
    TypesetChild* b = &power->firstArray[0];
    TypesetChild* e = &power->firstArray[1];
    b->x = 0;
    power->secondArray[0].x = b->node->width;
    e->x = b->node->width + caret->width;
    typeset_row_metrics(power);
    power->width = e->x + e->node->width;
}

void power_hidden_caret(TypesetContext* ctx, TypesetNode* power, int level) {
    TypesetNode* caret = typeset_glyph(ctx, G_HIDDEN_CARET, level);
    power->secondCount = 1;
    power->secondArray = typeset_children_alloc(ctx, 1);
    power->secondArray[0].node = caret;
    const TypesetChild* b = &power->firstArray[0];
    power->secondArray[0].x = b->x + b->node->width - caret->width;
    power->secondArray[0].y = power->ascent - caret->ascent;
}

// ---- series ---------------------------------------------------------------------------------------

namespace {

// x^n with coefficient c into the slot.
void series_power(TypesetContext* ctx, const DagWord* x, const DagWord* c, long n, int level,
                  TypesetChild* slot) {
    int limit = (n == 1 && dag_is_int_value(c, 1)) ? BIND_SUM : BIND_POWER - 1;
    if (n == 1) {
        layout_dag(ctx, x, limit, level, slot, 0);
        return;
    }
    TypesetNode* p = typeset_node_new(ctx, DAG_POWER, level);
    typeset_node_children(ctx, p, 2, 0);
    layout_dag(ctx, x, limit, level, &p->firstArray[0], 0);
    typeset_small_int_leaf(ctx, &p->firstArray[1], script_level(ctx, level), n);
    if (ctx->linearMode) {
        power_linear(ctx, p, level);
    } else {
        typeset_place_script(ctx, 2, level, p, &p->firstArray[0], &p->firstArray[1]);
        power_hidden_caret(ctx, p, level);
    }
    typeset_flags_from_children(p);
    slot->node = p;
}

void series_order_term(TypesetContext* ctx, const DagWord* x, const DagWord* o, long n, int level,
                       TypesetChild* slot) {
    TypesetNode* f = typeset_node_new(ctx, DAG_FUNCTION, level);
    f->flags |= TSF_BRACKET;
    f->source = o;
    typeset_node_children(ctx, f, 2, 0);
    TypesetNode* name = typeset_node_new(ctx, DAG_NAME, level);
    name->flags |= TSF_BRACKET;
    const DagWord* head = dag_op(o, 1);
    name->source = head;
    typeset_function_name_leaf(ctx, name, head, level);
    f->firstArray[0].node = name;
    TypesetNode* args = typeset_node_new(ctx, DAG_EXPSEQ, level);
    typeset_node_children(ctx, args, 1, 0);
    series_power(ctx, x, dag_one, n, level, &args->firstArray[0]);
    copy_metrics(args, args->firstArray[0].node);
    typeset_flags_from_children(args);
    f->firstArray[1].node = args;
    layout_call_brackets(ctx, f, level, level, true);
    typeset_flags_from_children(f);
    slot->node = f;
}

}  // namespace

void layout_series(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level) {
    const DagWord* x = dag_op(dag, 1);
    int terms = int(dag_length(dag) - 2) / 2;
    typeset_node_children(ctx, node, 2 * terms, terms);
    RowBox* boxes = static_cast<RowBox*>(typeset_alloc(&ctx->nodeArena, sizeof(RowBox) * std::size_t(2 * terms + 1)));
    if (!boxes) throw TypesetJump{3};
    int nb = 0;
    for (int i = 0; i < terms; ++i) {
        const DagWord* c = dag_op(dag, std::size_t(2 * i + 2));
        long n = long(dag_word(dag, std::size_t(2 * i + 3)));
        TypesetChild* cs = &node->firstArray[2 * i];
        TypesetChild* ps = &node->firstArray[2 * i + 1];
        RowBox box;
        bool neg = false;
        if (!c) {
            layout_dag(ctx, c, 0, level, ps, 0);
            box = single_box(ps);
        } else if (i == terms - 1 && dag_is_big_o(c)) {
            series_order_term(ctx, x, c, n, level, ps);
            box = single_box(ps);
        } else if (n != 0) {
            series_power(ctx, x, c, n, level, ps);
            neg = layout_coefficient_term(ctx, c, nullptr, level, cs, ps, &box, nullptr);
        } else {
            neg = layout_signed_term(ctx, c, level, false, ps, 0);
            box = single_box(ps);
        }
        if (ctx->keepPaths) {
            if (!cs->path && cs->node) path_record_set(ctx, cs, 2 * i + 2);
            if (!ps->path) path_record_set(ctx, ps, 2 * i + 2);
        }
        if (i > 0 || neg) {
            TypesetChild* ss = &node->secondArray[i];
            ss->node = sign_glyph(ctx, neg, false, level);
            boxes[nb++] = single_box(ss);
        }
        boxes[nb++] = box;
    }
    row_place(node, boxes, nb);
}

// ---- products ---------------------------------------------------------------------------------------

namespace {

void paren_pair(TypesetContext* ctx, int height, int level, TypesetNode** open, TypesetNode** close) {
    if (height <= metric(ctx, 0, level, 11) + metric(ctx, 0, level, 0)) {
        *open = typeset_glyph(ctx, G_LPAREN, level);
        *close = typeset_glyph(ctx, G_RPAREN, level);
        return;
    }
    *open = typeset_glyph(ctx, G_SLPAREN, level);
    *close = typeset_glyph(ctx, G_SRPAREN, level);
    int least = ctx->device->symbolKind(ctx, G_SLPAREN, level);
    int l2 = ctx->device->symbolKind(ctx, G_SRPAREN, level);
    if (l2 > least) least = l2;
    int h = height > least ? height : least;
    ctx->device->sizeSymbol(ctx, *open, level, h);
    ctx->device->sizeSymbol(ctx, *close, level, h);
    bracket_pair_link(*open, *close);
}

}  // namespace

void layout_radical(TypesetContext* ctx, int level, TypesetNode* node, TypesetChild* radicand) {
    int m12 = metric(ctx, 0, level, 12), m10 = metric(ctx, 0, level, 10);
    const TypesetNode* r = radicand->node;
    int h = r->height;
    radicand->x = m12 + h / 2;
    radicand->y = m10 + metric(ctx, 0, level, 9);
    node->width = 2 * m12 + h / 2 + r->width;
    node->height = r->height + radicand->y;
    node->ascent = r->ascent + radicand->y;
    typeset_radical_leaf(ctx, node, level, node->width, h / 4, node->height, node->ascent);
}

namespace {

// Exponent of a product factor into the slot; 0 asks for a square root, 1 otherwise.
int layout_exponent(TypesetContext* ctx, const DagWord* e, const TypesetNode* base, int level,
                    TypesetChild* slot) {
    switch (dag_type(e)) {
    case DAG_INTPOS:
    case DAG_INTNEG:
        typeset_integer_leaf_at(ctx, slot, e, level, false);
        return 1;
    case DAG_RATIONAL: {
        // A rational read without its parts is never a half (typeset_rational shows its text).
        const DagWord* num = dag_length(e) == 3 ? dag_op(e, 1) : nullptr;
        bool half = num && (dag_is_int_value(num, 1) || dag_is_int_value(num, -1)) &&
                    dag_is_int_value(dag_op(e, 2), 2);
        if (!ctx->linearMode && ctx->device->kind != 1 && half && base->width < ctx->partLimit)
            return 0;
        TypesetNode* n = typeset_node_new(ctx, DAG_RATIONAL, level);
        n->source = e;
        typeset_rational(ctx, n, e, level, false, 0);
        slot->node = n;
        if (ctx->linearMode) add_brackets(ctx, n, level, '(', ')', false, false);
        return 1;
    }
    case DAG_FLOAT: {
        TypesetNode* n = typeset_node_new(ctx, DAG_FLOAT, level);
        n->source = e;
        slot->node = n;
        format_float(ctx, n, e, level, false, slot);
        return 1;
    }
    default:
        layout_dag(ctx, e, 0, level, slot, 0);
        return 1;
    }
}

void layout_factor(TypesetContext* ctx, const DagWord* f, const DagWord* e, bool alone, int level,
                   TypesetChild* slot) {
    if (dag_is_int_value(e, 1) || dag_is_int_value(e, -1)) {
        layout_dag(ctx, f, alone ? 0 : BIND_PROD, level, slot, 0);
        return;
    }
    TypesetDepth depth(ctx);
    TypesetNode* p = typeset_node_new(ctx, DAG_POWER, level);
    typeset_node_children(ctx, p, 2, 0);
    TypesetChild* bs = &p->firstArray[0];
    int code = layout_dag(ctx, f, 0, level, bs, 0);
    int r = layout_exponent(ctx, e, bs->node, script_level(ctx, level), &p->firstArray[1]);
    if (r == 0) {
        p->firstCount = 1;
        layout_radical(ctx, level, p, bs);
        p->flags |= TSF_ATOMIC;
    } else {
        bracket_if_needed(ctx, bs, code, BIND_POWER - 1, level);
        if (ctx->linearMode) {
            power_linear(ctx, p, level);
        } else {
            typeset_place_script(ctx, 2, level, p, bs, &p->firstArray[1]);
            power_hidden_caret(ctx, p, level);
        }
    }
    typeset_flags_from_children(p);
    slot->node = p;
}

int looseness(const DagWord* f, const DagWord* e, int dflt, long unit) {
    if (!dag_is_int_value(e, unit)) return dflt;
    if (dag_type(f) == DAG_PROD && dag_length(f) >= 3 && dag_is_int_value(dag_op(f, 2), 1))
        return type_level_of(dag_op(f, 1));
    return type_level_of(f);
}

// Lays a group of factors on one baseline, from first-array slot `first` on; returns width etc.
struct Group {
    int width = 0, height = 0, ascent = 0;
};

Group layout_group(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, const int* idx, int count,
                   int first, TypesetChild* times, int level) {
    Group g;
    int gap = metric(ctx, STYLE_ITALIC, level, 4);
    for (int k = 0; k < count; ++k) {
        TypesetChild* s = &node->firstArray[first + k];
        layout_factor(ctx, dag_op(dag, std::size_t(idx[k])), dag_op(dag, std::size_t(idx[k]) + 1),
                      count == 1, level, s);
        if (ctx->keepPaths) path_record_set(ctx, s, idx[k]);
    }
    int A = 0, D = 0, x = 0;
    for (int k = 0; k < count; ++k) {
        TypesetChild* s = &node->firstArray[first + k];
        if (k > 0) {
            if (times) {
                TypesetNode* tg = typeset_glyph(ctx, G_TIMES, level);
                times[k - 1].node = tg;
                times[k - 1].x = x;
                x += tg->width;
                if (tg->ascent > A) A = tg->ascent;
            } else {
                x += gap;
            }
        }
        s->x = x;
        x += s->node->width;
        if (s->node->ascent > A) A = s->node->ascent;
        if (s->node->height - s->node->ascent > D) D = s->node->height - s->node->ascent;
    }
    for (int k = 0; k < count; ++k) {
        TypesetChild* s = &node->firstArray[first + k];
        s->y = A - s->node->ascent;
    }
    if (times)
        for (int k = 0; k + 1 < count; ++k) times[k].y = A - times[k].node->ascent;
    g.width = x;
    g.ascent = A;
    g.height = A + D;
    return g;
}

}  // namespace

bool layout_product(TypesetContext* ctx, TypesetNode* node, const DagWord* dag,
                    const DagWord* coefficient, int level) {
    int pairs = int(dag_length(dag) - 1) / 2;
    int* num = static_cast<int*>(typeset_alloc(&ctx->nodeArena, sizeof(int) * std::size_t(2 * pairs + 2)));
    if (!num) throw TypesetJump{3};
    int* den = num + pairs + 1;
    int I = 0, J = 0;
    for (int p = 0; p < pairs; ++p) {
        int i = 2 * p + 1;
        const DagWord* e = dag_op(dag, std::size_t(i) + 1);
        if (!e || dag_is_nonnegative(e))
            num[I++] = i;
        else
            den[J++] = i;
    }
    int Bn = BIND_PROD, Bd = BIND_POWER;
    if (I > 0) Bn = looseness(dag_op(dag, std::size_t(num[0])), dag_op(dag, std::size_t(num[0]) + 1), BIND_PROD, 1);
    if (J > 0) Bd = looseness(dag_op(dag, std::size_t(den[0])), dag_op(dag, std::size_t(den[0]) + 1), BIND_POWER, -1);
    int numSlots = I > 0 ? I : 1;
    int timesCount = ctx->linearMode ? (I > 1 ? I - 1 : 0) + (J > 1 ? J - 1 : 0) : 0;
    // Second array: up to 2 + timesCount + 1 + 2 entries (parentheses, times glyphs, divider).
    typeset_node_children(ctx, node, numSlots + J, 0);
    TypesetChild* scratch = typeset_children_alloc(ctx, timesCount + 1);
    TypesetChild* numTimes = ctx->linearMode && I > 1 ? scratch : nullptr;
    TypesetChild* denTimes = ctx->linearMode && J > 1 ? scratch + (I > 1 ? I - 1 : 0) : nullptr;

    bool result = false;
    Group gn, gd;
    if (I > 0) {
        gn = layout_group(ctx, node, dag, num, I, 0, numTimes, level);
    } else {
        const DagWord* c = coefficient ? coefficient : dag_one;
        result = layout_signed_term(ctx, c, level, false, &node->firstArray[0], 0);
        if (coefficient) Bn = type_level_of(coefficient);
        TypesetNode* cn = node->firstArray[0].node;
        gn.width = cn->width;
        gn.height = cn->height;
        gn.ascent = cn->ascent;
    }
    if (J > 0) gd = layout_group(ctx, node, dag, den, J, numSlots, denTimes, level);
    int Wn = gn.width, Wd = gd.width, Hn = gn.height, Hd = gd.height;
    bool cell = ctx->device->kind == 1;
    int a = cell ? ((Wn <= 2 && Wd <= 2) ? 2 : 0) : metric(ctx, STYLE_ITALIC, level, 4);
    bool oneLine = J == 0 || Wd + a > ctx->partLimit || Wn + a > ctx->partLimit || ctx->linearMode ||
                   (cell && Wn == 1 && Wd == 1 && Hn == 1 && Hd == 1);

    // Collect second-array entries in their final order.
    TypesetChild* entries = typeset_children_alloc(ctx, timesCount + 5);
    int ne = 0;
    auto shift_range = [&](int from, int to, int dx) {
        for (int k = from; k < to; ++k) node->firstArray[k].x += dx;
    };
    if (!oneLine) {
        int m9 = metric(ctx, STYLE_ITALIC, level, 9), m10 = metric(ctx, STYLE_ITALIC, level, 10);
        int ruleY = Hn + m9;
        node->ascent = ruleY + m10;
        int denTop = node->ascent + m9;
        node->height = denTop + Hd;
        int w = (Wn > Wd ? Wn : Wd);
        node->width = w + a;
        int nx = (w - Wn) / 2 + a / 2, dx = (w - Wd) / 2 + a / 2;
        shift_range(0, numSlots, nx);
        shift_range(numSlots, numSlots + J, dx);
        for (int k = numSlots; k < numSlots + J; ++k) node->firstArray[k].y += denTop;
        TypesetNode* rule = typeset_rule_leaf(ctx, node->width, m10, level);
        node->secondCount = 1;
        node->secondArray = typeset_children_alloc(ctx, 1);
        node->secondArray[0].node = rule;
        node->secondArray[0].x = 0;
        node->secondArray[0].y = ruleY;
        node->flags |= TSF_ATOMIC;
        return result;
    }
    // One-line form: [ (num) ] [ / ] [ (den) ] on one baseline.
    int m12 = metric(ctx, 0, level, 12);
    bool parenNum = J > 0 && I == 1 && Bn > BIND_PROD;
    bool parenDen = J > 1 || Bd >= BIND_PROD;
    int x = 0;
    TypesetNode *no = nullptr, *nc = nullptr, *dop = nullptr, *dc = nullptr, *div = nullptr;
    if (parenNum) paren_pair(ctx, Hn, level, &no, &nc);
    if (J > 0 && parenDen) paren_pair(ctx, Hd, level, &dop, &dc);
    // numerator
    if (no) {
        entries[ne].node = no;
        entries[ne++].x = x;
        x += no->width + m12;
    }
    shift_range(0, numSlots, x);
    if (numTimes)
        for (int k = 0; k < I - 1; ++k) {
            numTimes[k].x += x;
            entries[ne++] = numTimes[k];
        }
    x += Wn;
    if (nc) {
        x += m12;
        entries[ne].node = nc;
        entries[ne++].x = x;
        x += nc->width;
    }
    if (J > 0) {
        int lower = Hn < Hd ? Hn : Hd;
        div = typeset_glyph(ctx, G_SLASH, level);
        if (div->height < lower) {
            div = typeset_glyph(ctx, TS_SLASH, level);
            int least = ctx->device->symbolKind(ctx, TS_SLASH, level);
            ctx->device->sizeSymbol(ctx, div, level, lower > least ? lower : least);
        }
        entries[ne].node = div;
        entries[ne++].x = x;
        x += div->width;
        if (dop) {
            entries[ne].node = dop;
            entries[ne++].x = x;
            x += dop->width + m12;
        }
        shift_range(numSlots, numSlots + J, x);
        if (denTimes)
            for (int k = 0; k < J - 1; ++k) {
                denTimes[k].x += x;
                entries[ne++] = denTimes[k];
            }
        x += Wd;
        if (dc) {
            x += m12;
            entries[ne].node = dc;
            entries[ne++].x = x;
            x += dc->width;
        }
    }
    // Baselines: each group keeps its inner y offsets relative to its own ascent.
    int A = gn.ascent > gd.ascent ? gn.ascent : gd.ascent;
    int D = 0;
    auto desc = [&](const TypesetNode* n) {
        if (n && n->height - n->ascent > D) D = n->height - n->ascent;
        if (n && n->ascent > A) A = n->ascent;
    };
    desc(no); desc(nc); desc(dop); desc(dc); desc(div);
    if (gn.height - gn.ascent > D) D = gn.height - gn.ascent;
    if (gd.height - gd.ascent > D) D = gd.height - gd.ascent;
    for (int k = 0; k < numSlots; ++k) node->firstArray[k].y += A - gn.ascent;
    for (int k = numSlots; k < numSlots + J; ++k) node->firstArray[k].y += A - gd.ascent;
    for (int k = 0; k < ne; ++k) {
        entries[k].y = A - entries[k].node->ascent;
    }
    node->secondCount = ne;
    node->secondArray = entries;
    node->width = x;
    node->ascent = A;
    node->height = A + D;
    return result;
}
