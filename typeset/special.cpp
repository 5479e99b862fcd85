// Two-dimensional forms of calls of well-known functions: integrals, sums and products,
// derivatives, limits, evaluation bars, absolute values, conjugates, exponentials, square
// roots, compositions, angle brackets, infix operators and neutral (&-) operators.
//
// `layout_named_operator` finds the call's name in `special_layout_table` by bisection; the
// entry's layout either builds the 2-D form and reports its binding level, or declines, and
// the driver then shows an ordinary call.  A layout declines on any shape it does not know and
// on every part wider than the context's partLimit where the form would not fit a line.

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "typeset_layout.h"

namespace {

// Binding levels used below (DAG type codes shifted left by 17, with small offsets).
constexpr int BIND_BELOW_POWER = BIND_POWER - 1;   // 0x13ffff
constexpr int BIND_BELOW_PROD = BIND_PROD - 1;     // 0x15ffff
constexpr int BIND_BELOW_SUM = BIND_SUM - 1;       // 0x19ffff
constexpr int BIND_UNEVAL = bind_of(DAG_UNEVAL);   // 0x1e0000

// Node types made here.
enum : int {
    TS_INDEX_EQUATION = 51, TS_INTEGRAL_SIGN = 55, TS_SUM_SIGN_BOX = 56, TS_PRODUCT_SIGN_BOX = 57,
    TS_LIMIT_BOX = 58, TS_DERIVATIVE = 59, TS_EXPONENTIAL = 60, TS_REPEATED_COMPOSITION = 61,
    TS_CONJUGATE = 66, TS_SQRT = 72, TS_EVAL_BAR = 73,
};

// Glyph codes drawn here.
enum : int {
    G_PARTIAL_D = 157, G_INTEGRAL = 200, G_LEFT_BAR = 207, G_RIGHT_BAR = 208, G_EVAL_BAR = 210,
};

// The call being laid out: its name and operand sequence.
struct Call {
    const DagWord* dag;
    const char* name;
    const DagWord* seq;   // EXPSEQ of the operands
    int count;            // number of operands
    bool inert;           // capitalised (inert) form
    const DagWord* op(int i) const { return dag_op(seq, std::size_t(i)); }   // 1-based
};

}  // namespace

struct SpecialLayoutEntry;
using SpecialLayoutFn = bool (*)(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                                 int* code, const SpecialLayoutEntry& entry);

struct SpecialLayoutEntry {
    const char* name;
    int kind;               // 0 infix operator of two operands, 3 layout operation
    const char* display;    // operator text; null: the name itself
    int textStyle;
    int linear;             // 1: also applies in linear mode (procedure listings)
    SpecialLayoutFn layout;
};

namespace {

// ---- small helpers ---------------------------------------------------------------------------------

bool is_call_named(const DagWord* d, const char* a, const char* b = nullptr) {
    if (!d || dag_type(d) != DAG_FUNCTION || dag_length(d) < 3) return false;
    const DagWord* head = dag_op(d, 1);
    if (!head || dag_type(head) != DAG_NAME) return false;
    const char* n = dag_text(head);
    return std::strcmp(n, a) == 0 || (b && std::strcmp(n, b) == 0);
}

// Operand sequence of a call with n operands exactly, or null.
int operand_count(const DagWord* d) {
    const DagWord* seq = dag_length(d) > 2 ? dag_op(d, 2) : nullptr;
    if (!seq || dag_type(seq) != DAG_EXPSEQ) return -1;
    return int(dag_length(seq)) - 1;
}

bool operands_present(const Call& call) {
    for (int i = 1; i <= call.count; ++i)
        if (!call.op(i)) return false;
    return true;
}

// A glyph marked inert: cached glyphs are shared by every run, so the mark goes on a copy.
TypesetNode* marked_glyph(TypesetContext* ctx, int code, int level, bool inert) {
    TypesetNode* g = typeset_glyph(ctx, code, level);
    if (!inert) return g;
    if (g->type <= TS_GLYPH_LAST) {
        TypesetNode* copy = typeset_node_new(ctx, g->type, level);
        *copy = *g;
        g = copy;
    }
    g->flags |= TSF_INERT;
    return g;
}

TypesetNode* marked_text(TypesetContext* ctx, const char* text, int style, int level, bool inert,
                         bool copy = false) {
    TypesetNode* t = text_leaf_new(ctx, text, style, level, copy);
    if (inert) t->flags |= TSF_INERT;
    return t;
}

TypesetNode* stretched(TypesetContext* ctx, TypesetNode* sign, int level, int h) {
    int least = ctx->device->symbolKind(ctx, sign->type, level);
    ctx->device->sizeSymbol(ctx, sign, level, h > least ? h : least);
    return sign;
}

int next_level(const TypesetContext* ctx, int level) { return clamp_level(ctx, level + 1); }

bool too_wide(const TypesetContext* ctx, const TypesetNode* n) {
    return n && n->width > ctx->partLimit;
}

void path2(TypesetContext* ctx, TypesetChild* slot, int operand) {
    if (ctx->keepPaths) path_record_set(ctx, slot, 2, operand);
}

// Lays operand i of the call into a slot, recording its path (2, i).
int operand_into(TypesetContext* ctx, const Call& call, int i, int required, int level,
                 TypesetChild* slot) {
    int code = layout_dag(ctx, call.op(i), required, level, slot, 0);
    path2(ctx, slot, i);
    return code;
}

// ---- infix and neutral operators ----------------------------------------------------------------

bool layout_infix(TypesetContext* ctx, TypesetNode* node, const Call& call, int level, int* code,
                  const SpecialLayoutEntry& entry, TypesetNode* op) {
    if (call.count != 2 || !operands_present(call)) return false;
    typeset_node_children(ctx, node, 3, 0);
    operand_into(ctx, call, 1, BIND_PROD, level, &node->firstArray[0]);
    node->firstArray[1].node = op;
    if (ctx->keepPaths) path_record_set(ctx, &node->firstArray[1], 1);
    operand_into(ctx, call, 2, BIND_PROD, level, &node->firstArray[2]);
    int g = metric(ctx, entry.textStyle, level, 3);
    node->firstArray[1].x = node->firstArray[0].node->width + g;
    node->firstArray[2].x = node->firstArray[1].x + op->width + g;
    typeset_row_metrics(node);
    node->width = node->firstArray[2].x + node->firstArray[2].node->width;
    *code = BIND_SUM + 1;
    return true;
}

bool layout_infix_operator(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                           int* code, const SpecialLayoutEntry& entry) {
    if (call.count != 2) return false;
    TypesetNode* op = text_leaf_new(ctx, entry.display ? entry.display : call.name, entry.textStyle,
                                    level, false);
    return layout_infix(ctx, node, call, level, code, entry, op);
}

bool layout_neutral_operator(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                             int* code, const SpecialLayoutEntry& entry) {
    if (call.count != 2) return false;
    const DagWord* head = dag_op(call.dag, 1);
    TypesetNode* name = typeset_node_new(ctx, DAG_NAME, level);
    name->source = head;
    typeset_name_leaf(ctx, name, head, level);
    return layout_infix(ctx, node, call, level, code, entry, name);
}

// ---- compositions, factorial, angle brackets --------------------------------------------------------

bool layout_composition(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                        int* code, const SpecialLayoutEntry& entry) {
    if (call.count < 2 || !operands_present(call)) return false;
    int n = call.count;
    typeset_node_children(ctx, node, n, n - 1);
    int x = 0;
    for (int i = 0; i < n; ++i) {
        TypesetChild* c = &node->firstArray[i];
        operand_into(ctx, call, i + 1, BIND_NAME, level, c);
        c->x = x;
        x += c->node->width;
        if (i + 1 < n) {
            TypesetChild* j = &node->secondArray[i];
            j->node = text_leaf_new(ctx, entry.display, entry.textStyle, level, false);
            j->x = x;
            x += j->node->width;
        }
    }
    typeset_row_metrics(node);
    node->width = x;
    *code = BIND_PROD;
    return true;
}

bool layout_repeated_composition(TypesetContext* ctx, TypesetNode* node, const Call& call,
                                 int level, int* code, const SpecialLayoutEntry& entry) {
    if (call.count != 2 || !operands_present(call)) return false;
    if (ctx->linearMode) return layout_composition(ctx, node, call, level, code, entry);
    node->type = TS_REPEATED_COMPOSITION;
    typeset_node_children(ctx, node, 2, 0);
    operand_into(ctx, call, 1, BIND_NAME, level, &node->firstArray[0]);
    operand_into(ctx, call, 2, 1, next_level(ctx, level), &node->firstArray[1]);
    typeset_place_script(ctx, 2, level, node, &node->firstArray[0], &node->firstArray[1]);
    *code = BIND_PROD;
    return true;
}

bool layout_factorial(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                      int* code, const SpecialLayoutEntry&) {
    if (call.count != 1 || !operands_present(call)) return false;
    typeset_node_children(ctx, node, 1, 1);
    operand_into(ctx, call, 1, BIND_BELOW_POWER, level, &node->firstArray[0]);
    TypesetNode* bang = text_leaf_new(ctx, "!", STYLE_ROMAN, level, false);
    node->secondArray[0].node = bang;
    node->secondArray[0].x = node->firstArray[0].node->width;
    typeset_row_metrics(node);
    node->width = node->secondArray[0].x + bang->width;
    *code = BIND_PROD;
    return true;
}

bool layout_anglebracket(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                         int*, const SpecialLayoutEntry&) {
    typeset_node_children(ctx, node, 1, 0);
    TypesetNode* seq = typeset_node_new(ctx, DAG_EXPSEQ, level);
    seq->source = call.seq;
    node->firstArray[0].node = seq;
    if (ctx->keepPaths) path_record_set(ctx, &node->firstArray[0], 2);
    layout_sequence(ctx, seq, call.seq, level, 0);
    typeset_flags_from_children(seq);
    copy_metrics(node, seq);
    add_brackets(ctx, node, level, '<', '>', false, false);
    return true;
}

// ---- exp, abs, conjugate, sqrt -------------------------------------------------------------------------

bool layout_exp(TypesetContext* ctx, TypesetNode* node, const Call& call, int level, int* code,
                const SpecialLayoutEntry&) {
    if (ctx->device->kind == 1 || call.count != 1 || !operands_present(call)) return false;
    node->type = TS_EXPONENTIAL;
    TypesetNode* e = text_leaf_new(ctx, "e", STYLE_BOLD, level, false);
    if (dag_is_int_value(call.op(1), 1)) {
        typeset_node_children(ctx, node, 1, 0);
        node->firstArray[0].node = e;
        copy_metrics(node, e);
    } else {
        typeset_node_children(ctx, node, 2, 0);
        node->firstArray[0].node = e;
        operand_into(ctx, call, 1, BIND_BELOW_POWER, next_level(ctx, level), &node->firstArray[1]);
        typeset_place_script(ctx, 2, level, node, &node->firstArray[0], &node->firstArray[1]);
    }
    *code = BIND_PROD;
    return true;
}

bool layout_abs(TypesetContext* ctx, TypesetNode* node, const Call& call, int level, int* code,
                const SpecialLayoutEntry&) {
    if (call.count != 1 || !operands_present(call)) return false;
    typeset_node_children(ctx, node, 1, 2);
    TypesetChild* arg = &node->firstArray[0];
    operand_into(ctx, call, 1, 0, level, arg);
    const TypesetNode* a = arg->node;
    bool tall = metric(ctx, 0, level, 11) + metric(ctx, 0, level, 0) < a->height;
    int d = tall ? a->height : metric(ctx, 0, level, 0);
    TypesetNode* left = typeset_glyph(ctx, G_LEFT_BAR, level);
    TypesetNode* right = typeset_glyph(ctx, G_RIGHT_BAR, level);
    ctx->device->sizeSymbol(ctx, left, level, d);
    ctx->device->sizeSymbol(ctx, right, level, d);
    if (tall) left->ascent = right->ascent = a->ascent;
    bracket_pair_link(left, right);
    int m4 = metric(ctx, 0, level, 4);
    node->secondArray[0].node = left;
    arg->x = m4 + left->width;
    node->secondArray[1].node = right;
    node->secondArray[1].x = 2 * m4 + left->width + a->width;
    typeset_row_metrics(node);
    node->width = node->secondArray[1].x + right->width;
    *code = 0;
    return true;
}

bool layout_conjugate(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                      int* code, const SpecialLayoutEntry&) {
    if (call.count != 1 || !operands_present(call)) return false;
    typeset_node_children(ctx, node, 1, 1);
    TypesetChild* arg = &node->firstArray[0];
    operand_into(ctx, call, 1, 0, level, arg);
    if (too_wide(ctx, arg->node)) return false;
    const TypesetNode* a = arg->node;
    bool builtUpFraction = a->type == DAG_PROD && a->secondCount == 1 && a->secondArray[0].node &&
                           a->secondArray[0].node->type == TS_RULE;
    if (builtUpFraction) bracket_if_needed(ctx, arg, BIND_PROD, 1, level);
    a = arg->node;
    int m10 = metric(ctx, 0, level, 10);
    TypesetNode* bar = bar_node_new(ctx, a->width, m10, level);
    node->secondArray[0].node = bar;
    node->secondArray[0].x = 0;
    node->secondArray[0].y = m10 / 2;
    int c = ctx->device->kind == 1 ? bar->height : 2 * bar->height;
    arg->x = 0;
    arg->y = c;
    node->width = a->width;
    node->height = a->height + c;
    node->ascent = a->ascent + c;
    node->type = TS_CONJUGATE;
    node->flags |= TSF_ATOMIC;
    *code = 0;
    return true;
}

bool layout_sqrt(TypesetContext* ctx, TypesetNode* node, const Call& call, int level, int*,
                 const SpecialLayoutEntry&) {
    if (ctx->device->kind == 1 || call.count != 1 || !operands_present(call)) return false;
    typeset_node_children(ctx, node, 1, 0);
    operand_into(ctx, call, 1, 0, level, &node->firstArray[0]);
    if (too_wide(ctx, node->firstArray[0].node)) return false;
    layout_radical(ctx, level, node, &node->firstArray[0]);
    node->type = TS_SQRT;
    node->flags |= TSF_ATOMIC;
    return true;
}

// ---- integrals --------------------------------------------------------------------------------------------

bool is_variable_type(const DagWord* d) {
    unsigned t = dag_type(d);
    return t == DAG_NAME || t == DAG_TABLEREF || t == DAG_LOCAL || t == DAG_PARAM;
}

// The height of the integral sign that starts the layout of an integral, or -1.
int inner_integral_sign_height(const TypesetNode* n) {
    if (!n || n->firstCount < 1 || !n->firstArray[0].node) return -1;
    const TypesetNode* box = n->firstArray[0].node;
    if (box->type != TS_INTEGRAL_SIGN || box->secondCount < 1 || !box->secondArray[0].node) return -1;
    return box->secondArray[0].node->height;
}

bool layout_integral(TypesetContext* ctx, TypesetNode* node, const Call& call, int level, int* code,
                     const SpecialLayoutEntry&) {
    if (call.count != 2 || !operands_present(call)) return false;
    const DagWord* f = call.op(1);
    const DagWord* r = call.op(2);
    const DagWord* var = r;
    const DagWord* lower = nullptr;
    const DagWord* upper = nullptr;
    if (dag_type(r) == DAG_EQUATION && dag_length(r) == 3 && dag_op(r, 1) && dag_op(r, 2) &&
        is_variable_type(dag_op(r, 1)) && dag_type(dag_op(r, 2)) == DAG_RANGE &&
        dag_length(dag_op(r, 2)) == 3 && dag_op(dag_op(r, 2), 1) && dag_op(dag_op(r, 2), 2)) {
        var = dag_op(r, 1);
        lower = dag_op(dag_op(r, 2), 1);
        upper = dag_op(dag_op(r, 2), 2);
    }
    typeset_node_children(ctx, node, 3, 1);
    TypesetNode* box = typeset_node_new(ctx, TS_INTEGRAL_SIGN, level);
    box->flags |= TSF_BRACKET | TSF_ATOMIC;
    node->firstArray[0].node = box;
    int sub = next_level(ctx, level);
    if (lower) {
        typeset_node_children(ctx, box, 2, 1);
        layout_dag(ctx, lower, 0, sub, &box->firstArray[0], 0);
        layout_dag(ctx, upper, 0, sub, &box->firstArray[1], 0);
        if (ctx->keepPaths) {
            path_record_set(ctx, &box->firstArray[0], 2, 2);
            path_record_set(ctx, &box->firstArray[1], 2, 2);
        }
        if (too_wide(ctx, box->firstArray[0].node) || too_wide(ctx, box->firstArray[1].node))
            return false;
    } else {
        typeset_node_children(ctx, box, 0, 1);
    }
    TypesetChild* integrand = &node->firstArray[1];
    operand_into(ctx, call, 1, 0, level, integrand);
    TypesetChild* variable = &node->firstArray[2];
    layout_dag(ctx, var, 0, level, variable, 0);
    path2(ctx, variable, 2);

    int h;
    int inner = is_call_named(f, "Int", "int") ? inner_integral_sign_height(integrand->node) : -1;
    if (!is_call_named(f, "Int", "int"))
        h = integrand->node->height + (ctx->device->kind == 1 ? 0 : metric(ctx, 0, level, 0));
    else if (inner >= 0)
        h = inner;
    else
        h = metric(ctx, 0, level, 0) + integrand->node->height;
    TypesetNode* sign = stretched(ctx, marked_glyph(ctx, G_INTEGRAL, level, call.inert), level, h);
    TypesetChild* signSlot = &box->secondArray[0];
    signSlot->node = sign;
    if (lower) {
        TypesetChild* lo = &box->firstArray[0];
        TypesetChild* up = &box->firstArray[1];
        TypesetNode scratch;
        typeset_place_script(ctx, 0, level, &scratch, signSlot, up);
        int raise = signSlot->y;
        TypesetChild base = *signSlot;
        typeset_place_script(ctx, 1, level, &scratch, &base, lo);
        lo->x -= sign->width / 3;
        lo->y += raise;
        signSlot->x = 0;
        signSlot->y = raise;
        int right = up->x + up->node->width;
        if (lo->x + lo->node->width > right) right = lo->x + lo->node->width;
        box->width = right;
        int bottom = lo->y + lo->node->height;
        if (signSlot->y + sign->height > bottom) bottom = signSlot->y + sign->height;
        box->height = bottom;
        box->ascent = signSlot->y + sign->ascent;
    } else {
        box->width = sign->width;
        box->height = sign->height;
        box->ascent = sign->ascent;
    }
    TypesetNode* d = marked_text(ctx, "d", STYLE_ITALIC, level, call.inert);
    node->secondArray[0].node = d;
    int m4 = metric(ctx, 0, level, 4);
    integrand->x = box->width + (ctx->device->kind == 1 ? m4 : 0);
    node->secondArray[0].x = integrand->x + integrand->node->width + m4;
    variable->x = node->secondArray[0].x + d->width;
    typeset_row_metrics(node);
    node->width = variable->x + variable->node->width;
    *code = BIND_PROD;
    return true;
}

// ---- evaluation bar -------------------------------------------------------------------------------------

bool layout_eval_bar(TypesetContext* ctx, TypesetNode* node, const Call& call, int level, int* code,
                     const SpecialLayoutEntry&) {
    if (call.count != 2 || !operands_present(call)) return false;
    const DagWord* p = call.op(2);
    unsigned pt = dag_type(p);
    if (pt == DAG_LIST || pt == DAG_SET) {
        const DagWord* s = dag_length(p) > 1 ? dag_op(p, 1) : nullptr;
        if (!s || dag_type(s) != DAG_EXPSEQ || dag_length(s) != 2 || !dag_op(s, 1)) return false;
        p = dag_op(s, 1);
    } else if (pt != DAG_EQUATION) {
        return false;
    }
    node->type = TS_EVAL_BAR;
    typeset_node_children(ctx, node, 2, 1);
    TypesetChild* fs = &node->firstArray[0];
    TypesetChild* ps = &node->firstArray[1];
    operand_into(ctx, call, 1, BIND_BELOW_SUM, level, fs);
    layout_dag(ctx, p, 0, next_level(ctx, level), ps, 0);
    path2(ctx, ps, 2);
    const TypesetNode* fn = fs->node;
    const TypesetNode* pn = ps->node;
    fs->y = 0;
    node->ascent = fn->ascent;
    if (fn->ascent + pn->height < fn->height) {
        ps->y = fn->height - pn->height;
        node->height = fn->height;
    } else {
        ps->y = fn->ascent;
        node->height = fn->ascent + pn->height;
    }
    TypesetNode* bar = marked_glyph(ctx, G_EVAL_BAR, level, call.inert);
    ctx->device->sizeSymbol(ctx, bar, level, node->height);
    bar->size = pn->ascent;
    int m12 = metric(ctx, 0, level, 12);
    node->secondArray[0].node = bar;
    node->secondArray[0].x = fn->width + m12;
    node->secondArray[0].y = 0;
    ps->x = node->secondArray[0].x + bar->width + m12;
    node->width = ps->x + pn->width;
    *code = BIND_PROD;
    return true;
}

// ---- sums and products ----------------------------------------------------------------------------------

// k = a under a sign: k, " = ", a on one baseline one size smaller.
TypesetNode* layout_index_equation(TypesetContext* ctx, const DagWord* k, const DagWord* a, int level) {
    TypesetNode* eq = typeset_node_new(ctx, TS_INDEX_EQUATION, level);
    eq->flags |= TSF_BRACKET;
    typeset_node_children(ctx, eq, 2, 1);
    layout_dag(ctx, k, 0, level, &eq->firstArray[0], 0);
    TypesetNode* g = typeset_glyph(ctx, G_EQUAL, level);
    eq->secondArray[0].node = g;
    layout_dag(ctx, a, 0, level, &eq->firstArray[1], 0);
    eq->secondArray[0].x = eq->firstArray[0].node->width;
    eq->firstArray[1].x = eq->secondArray[0].x + g->width;
    typeset_row_metrics(eq);
    eq->width = eq->firstArray[1].x + eq->firstArray[1].node->width;
    typeset_flags_from_children(eq);
    eq->flags |= TSF_BRACKET;
    return eq;
}

// The operand of a sum or product call node laid out here, seen through one pair of parentheses.
const TypesetNode* inner_summand(const TypesetNode* n) {
    if (n && n->type == TS_WRAPPER && n->firstCount == 1) n = n->firstArray[0].node;
    if (!n || n->firstCount < 2 || !n->firstArray[1].node) return nullptr;
    const TypesetNode* box = n->firstArray[0].node;
    if (!box || (box->type != TS_SUM_SIGN_BOX && box->type != TS_PRODUCT_SIGN_BOX)) return nullptr;
    return n->firstArray[1].node;
}

bool layout_sum_product(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                        int* code, const SpecialLayoutEntry&) {
    if ((call.count != 1 && call.count != 2) || !operands_present(call)) return false;
    const DagWord* k = nullptr;
    const DagWord* lowValue = nullptr;
    const DagWord* upValue = nullptr;
    if (call.count == 2) {
        const DagWord* r = call.op(2);
        if (dag_type(r) == DAG_NAME) {
            k = r;
        } else if (dag_type(r) == DAG_EQUATION && dag_length(r) == 3 && dag_op(r, 1) && dag_op(r, 2)) {
            k = dag_op(r, 1);
            const DagWord* v = dag_op(r, 2);
            if (dag_type(v) == DAG_RANGE && dag_length(v) == 3 && dag_op(v, 1) && dag_op(v, 2)) {
                lowValue = dag_op(v, 1);
                upValue = dag_op(v, 2);
            } else {
                lowValue = v;
            }
        } else {
            return false;
        }
    }
    bool isSum = std::strcmp(call.name, "Sum") == 0 || std::strcmp(call.name, "sum") == 0;
    int sub = next_level(ctx, level);
    typeset_node_children(ctx, node, 2, 0);
    TypesetNode* box = typeset_node_new(ctx, isSum ? TS_SUM_SIGN_BOX : TS_PRODUCT_SIGN_BOX, level);
    node->firstArray[0].node = box;
    int parts = (k ? 1 : 0) + (upValue ? 1 : 0);
    typeset_node_children(ctx, box, parts, 1);
    TypesetChild* lo = parts > 0 ? &box->firstArray[0] : nullptr;
    TypesetChild* up = parts > 1 ? &box->firstArray[1] : nullptr;
    if (lo) {
        if (lowValue)
            lo->node = layout_index_equation(ctx, k, lowValue, sub);
        else
            layout_dag(ctx, k, 0, sub, lo, 0);
        path2(ctx, lo, 2);
        if (too_wide(ctx, lo->node)) return false;
    }
    if (up) {
        layout_dag(ctx, upValue, 0, sub, up, 0);
        path2(ctx, up, 2);
        if (too_wide(ctx, up->node)) return false;
    }
    TypesetChild* fs = &node->firstArray[1];
    operand_into(ctx, call, 1, BIND_PROD, level, fs);
    int three = 3 * metric(ctx, 0, level, 0);
    int h;
    const DagWord* f = call.op(1);
    const TypesetNode* inner = is_call_named(f, "Sum", "sum") || is_call_named(f, "Product", "product")
                                   ? inner_summand(fs->node)
                                   : nullptr;
    if (inner)
        h = inner->height;
    else
        h = fs->node->height < three ? fs->node->height : three;
    TypesetNode* sign =
        stretched(ctx, marked_glyph(ctx, isSum ? TS_SUMSIGN : TS_PRODSIGN, level, call.inert), level, h);
    TypesetChild* ss = &box->secondArray[0];
    ss->node = sign;
    int wb = sign->width;
    if (lo && lo->node->width > wb) wb = lo->node->width;
    if (up && up->node->width > wb) wb = up->node->width;
    int y = 0;
    if (up) {
        up->x = (wb - up->node->width) / 2;
        up->y = 0;
        y = up->node->height;
    }
    ss->x = (wb - sign->width) / 2;
    ss->y = y;
    box->ascent = y + sign->ascent;
    y += sign->height;
    if (lo) {
        lo->x = (wb - lo->node->width) / 2;
        lo->y = y;
        y += lo->node->height;
    }
    box->width = wb;
    box->height = y;
    box->flags |= TSF_BRACKET | TSF_ATOMIC;
    fs->x = wb + metric(ctx, 0, level, 3);
    typeset_row_metrics(node);
    node->width = fs->x + fs->node->width;
    *code = BIND_UNEVAL;
    return true;
}

// ---- derivatives -----------------------------------------------------------------------------------------

struct DerivativeItem {
    const DagWord* variable;
    const DagWord* countDag;   // given by "$": shown as it is
    int count;
    int path;                  // operand index of the outermost call, for editing
};

// A positive machine-sized count of a "$"(v, n) call, or 0.
int dollar_count(const DagWord* n) {
    if (!n || dag_type(n) != DAG_INTPOS) return 0;
    if (arith_digit_count(n) > 9) return 0;
    K_INT v = arith_to_int(n);
    return v > 0 && v <= INT_MAX ? int(v) : 0;
}

// Adds the variables of one operand, last first; false when the operand is no variable.
bool collect_variable(const TypesetContext* ctx, const DagWord* d, int path,
                      std::vector<DerivativeItem>& items, bool inList) {
    if (!d) return false;
    unsigned t = dag_type(d);
    if (t == DAG_NAME || t == DAG_TABLEREF) {
        if (!ctx->keepPaths && !items.empty() && items.back().variable == d && !items.back().countDag &&
            items.back().count < INT_MAX) {
            ++items.back().count;
        } else {
            items.push_back({d, nullptr, 1, path});
        }
        return true;
    }
    if (t == DAG_FUNCTION && is_call_named(d, "$") && operand_count(d) == 2) {
        const DagWord* seq = dag_op(d, 2);
        const DagWord* v = dag_op(seq, 1);
        int n = dollar_count(dag_op(seq, 2));
        if (!v || n <= 0) return false;
        items.push_back({v, dag_op(seq, 2), n, path});
        return true;
    }
    if (t == DAG_LIST && !inList) {
        const DagWord* s = dag_length(d) > 1 ? dag_op(d, 1) : nullptr;
        if (!s || dag_type(s) != DAG_EXPSEQ) return false;
        for (std::size_t i = dag_length(s) - 1; i >= 1; --i)
            if (!collect_variable(ctx, dag_op(s, i), path, items, true)) return false;
        return true;
    }
    return false;
}

bool collect_variables(const TypesetContext* ctx, const DagWord* seq, int count,
                       std::vector<DerivativeItem>& items) {
    for (int i = count; i >= 2; --i)
        if (!collect_variable(ctx, dag_op(seq, std::size_t(i)), i, items, false)) return false;
    return true;
}

bool layout_derivative(TypesetContext* ctx, TypesetNode* node, const Call& call, int level,
                       int* code, const SpecialLayoutEntry&) {
    if (call.count < 2 || !operands_present(call)) return false;
    std::vector<DerivativeItem> items;   // released on every way out, also by a layout jump
    if (!collect_variables(ctx, call.seq, call.count, items)) return false;
    const DagWord* f = call.op(1);
    int fPath = 1;
    while (!ctx->keepPaths && is_call_named(f, call.name) && operand_count(f) >= 2) {
        const DagWord* seq = dag_op(f, 2);
        if (!dag_op(seq, 1) || !collect_variables(ctx, seq, operand_count(f), items)) return false;
        f = dag_op(seq, 1);
        fPath = 0;
    }
    if (items.empty()) return false;
    int order = 0;
    for (const DerivativeItem& it : items) {
        if (it.count > INT_MAX - order) return false;   // the total order does not fit
        order += it.count;
    }
    int n = int(items.size());
    int sub = next_level(ctx, level);
    typeset_node_children(ctx, node, 2, 0);
    TypesetNode* frac = typeset_node_new(ctx, TS_DERIVATIVE, level);
    node->firstArray[0].node = frac;
    typeset_node_children(ctx, frac, 1 + n, 1 + n);
    // Denominator: d item d item ...
    int x = 0, m4 = metric(ctx, 0, level, 4);
    for (int i = 0; i < n; ++i) {
        const DerivativeItem& it = items[std::size_t(i)];
        TypesetNode* g = marked_glyph(ctx, G_PARTIAL_D, level, call.inert);
        if (g->type > TS_GLYPH_LAST || (g->flags & TSF_INERT)) g->flags |= TSF_BRACKET;
        TypesetChild* gs = &frac->secondArray[1 + i];
        gs->node = g;
        gs->x = x;
        x += g->width;
        TypesetNode* item = typeset_node_new(ctx, DAG_POWER, level);
        TypesetChild* is = &frac->firstArray[1 + i];
        is->node = item;
        if (ctx->keepPaths) path_record_set(ctx, is, 2, it.path);
        if (it.count > 1 || it.countDag) {
            typeset_node_children(ctx, item, 2, 0);
            layout_dag(ctx, it.variable, 0, level, &item->firstArray[0], 0);
            if (it.countDag)
                layout_dag(ctx, it.countDag, 0, sub, &item->firstArray[1], 0);
            else
                typeset_small_int_leaf(ctx, &item->firstArray[1], sub, it.count);
            typeset_place_script(ctx, 2, level, item, &item->firstArray[0], &item->firstArray[1]);
        } else {
            typeset_node_children(ctx, item, 1, 0);
            layout_dag(ctx, it.variable, 0, level, &item->firstArray[0], 0);
            copy_metrics(item, item->firstArray[0].node);
        }
        typeset_flags_from_children(item);
        item->flags |= TSF_BRACKET;
        is->x = x;
        x += item->width;
        if (x > ctx->partLimit) return false;
        if (i + 1 < n) x += m4;
    }
    int denomWidth = x;
    // Numerator: d with the total order as superscript.
    TypesetNode* num = typeset_node_new(ctx, DAG_POWER, level);
    TypesetNode* nd = marked_glyph(ctx, G_PARTIAL_D, level, call.inert);
    if (order >= 2) {
        typeset_node_children(ctx, num, 2, 0);
        num->firstArray[0].node = nd;
        typeset_small_int_leaf(ctx, &num->firstArray[1], sub, order);
        typeset_place_script(ctx, 2, level, num, &num->firstArray[0], &num->firstArray[1]);
    } else {
        typeset_node_children(ctx, num, 1, 0);
        num->firstArray[0].node = nd;
        copy_metrics(num, nd);
    }
    num->flags |= TSF_BRACKET | TSF_MEASURED;
    TypesetChild* ns = &frac->firstArray[0];
    ns->node = num;
    int width = denomWidth;
    if (denomWidth >= num->width) {
        ns->x = (denomWidth - num->width) / 2;
    } else {
        ns->x = 0;
        width = num->width;
        int shift = (num->width - denomWidth) / 2;
        for (int i = 0; i < n; ++i) {
            frac->firstArray[1 + i].x += shift;
            frac->secondArray[1 + i].x += shift;
        }
    }
    // Vertical: numerator, rule, denominator on one baseline.
    int m9 = metric(ctx, STYLE_ITALIC, level, 9), m10 = metric(ctx, STYLE_ITALIC, level, 10);
    int ruleY = num->height + m9;
    int ascent = ruleY + m10;
    int t = ascent + m9;
    int da = 0, dd = 0;
    for (int i = 0; i < n; ++i) {
        for (const TypesetNode* c : {frac->firstArray[1 + i].node, frac->secondArray[1 + i].node}) {
            if (c->ascent > da) da = c->ascent;
            if (c->height - c->ascent > dd) dd = c->height - c->ascent;
        }
    }
    for (int i = 0; i < n; ++i) {
        frac->firstArray[1 + i].y = t + da - frac->firstArray[1 + i].node->ascent;
        frac->secondArray[1 + i].y = t + da - frac->secondArray[1 + i].node->ascent;
    }
    ns->y = 0;
    TypesetNode* rule = typeset_rule_leaf(ctx, width, m10, level);
    if (call.inert) rule->flags |= TSF_INERT;
    frac->secondArray[0].node = rule;
    frac->secondArray[0].x = 0;
    frac->secondArray[0].y = ruleY;
    frac->width = width;
    frac->ascent = ascent;
    frac->height = t + da + dd;
    frac->flags |= TSF_BRACKET | TSF_ATOMIC;
    TypesetChild* fs = &node->firstArray[1];
    layout_dag(ctx, f, BIND_PROD, level, fs, 0);
    if (ctx->keepPaths && fPath) path_record_set(ctx, fs, 2, fPath);
    fs->x = width + m4;
    typeset_row_metrics(node);
    node->width = fs->x + fs->node->width;
    *code = BIND_UNEVAL;
    return true;
}

// ---- limits ------------------------------------------------------------------------------------------------

bool layout_limit(TypesetContext* ctx, TypesetNode* node, const Call& call, int level, int* code,
                  const SpecialLayoutEntry&) {
    if ((call.count != 2 && call.count != 3) || !operands_present(call)) return false;
    const DagWord* eq = call.op(2);
    if (dag_type(eq) != DAG_EQUATION || dag_length(eq) != 3 || !dag_op(eq, 1) || !dag_op(eq, 2))
        return false;
    const DagWord* dir = call.count == 3 ? call.op(3) : nullptr;
    if (dir && dag_type(dir) != DAG_NAME) return false;
    int low = ctx->levelCount - 1 < level + 1 ? ctx->levelCount - 1 : level + 1;
    typeset_node_children(ctx, node, 2, 0);
    TypesetNode* box = typeset_node_new(ctx, TS_LIMIT_BOX, level);
    node->firstArray[0].node = box;
    typeset_node_children(ctx, box, 2, dir ? 3 : 2);
    TypesetChild* xs = &box->firstArray[0];
    TypesetChild* as = &box->firstArray[1];
    layout_dag(ctx, dag_op(eq, 1), 0, low, xs, 0);
    layout_dag(ctx, dag_op(eq, 2), BIND_BELOW_PROD, low, as, 0);
    if (ctx->keepPaths) {
        path_record_set(ctx, xs, 2, 2);
        path_record_set(ctx, as, 2, 2);
    }
    TypesetNode* lim = marked_text(ctx, "lim", STYLE_ROMAN, level, call.inert);
    TypesetNode* arrow = typeset_glyph(ctx, G_ARROW, low);
    TypesetNode* dirText = nullptr;
    if (dir) {
        const char* dn = dag_text(dir);
        if (std::strcmp(dn, "left") == 0) {
            dirText = text_leaf_new(ctx, "-", STYLE_ROMAN, low, false);
        } else if (std::strcmp(dn, "right") == 0) {
            dirText = text_leaf_new(ctx, "+", STYLE_ROMAN, low, false);
        } else {
            char buf[24];
            std::snprintf(buf, sizeof buf, ",%.15s", dn);
            dirText = text_leaf_new(ctx, buf, STYLE_ROMAN, low, true);
        }
    }
    box->secondArray[0].node = lim;
    box->secondArray[1].node = arrow;
    if (dir) box->secondArray[2].node = dirText;
    // The line under "lim": variable, arrow, point, direction.
    TypesetChild* line[4] = {xs, &box->secondArray[1], as, dir ? &box->secondArray[2] : nullptr};
    int x = 0, la = 0, ld = 0;
    for (TypesetChild* c : line) {
        if (!c) continue;
        c->x = x;
        x += c->node->width;
        if (c->node->ascent > la) la = c->node->ascent;
        if (c->node->height - c->node->ascent > ld) ld = c->node->height - c->node->ascent;
    }
    if (x > ctx->partLimit) return false;
    int lineWidth = x;
    int shift = 0;
    TypesetChild* limSlot = &box->secondArray[0];
    if (lim->width > lineWidth) {
        shift = (lim->width - lineWidth) / 2;
        limSlot->x = 0;
    } else {
        limSlot->x = (lineWidth - lim->width) / 2;
    }
    limSlot->y = 0;
    for (TypesetChild* c : line) {
        if (!c) continue;
        c->x += shift;
        c->y = lim->height + la - c->node->ascent;
    }
    box->width = lim->width > lineWidth ? lim->width : lineWidth;
    box->ascent = lim->ascent;
    box->height = lim->height + la + ld;
    box->flags |= TSF_BRACKET | TSF_ATOMIC;
    TypesetChild* fs = &node->firstArray[1];
    operand_into(ctx, call, 1, 0, level, fs);
    fs->x = box->width + 2 * metric(ctx, 0, level, 3);
    typeset_row_metrics(node);
    node->width = fs->x + fs->node->width;
    *code = BIND_SUM + 1;
    return true;
}

// ---- the table -------------------------------------------------------------------------------------------

template <bool (*Layout)(TypesetContext*, TypesetNode*, const DagWord*, int, int*)>
bool rows_and_columns(TypesetContext* ctx, TypesetNode* node, const Call& call, int level, int* code,
                      const SpecialLayoutEntry&) {
    return Layout(ctx, node, call.dag, level, code);
}

}  // namespace

// Entries 0..31 sorted by byte value of the name, the end record, then the neutral operators.
const SpecialLayoutEntry special_layout_table[34] = {
    {"$", 0, "$", 0, 0, nullptr},
    {"@", 3, "@", 0, 1, layout_composition},
    {"@@", 3, "@@", 0, 1, layout_repeated_composition},
    {"ARRAY", 3, nullptr, 0, 0, rows_and_columns<layout_array_call>},
    {"Diff", 3, nullptr, 0, 0, layout_derivative},
    {"Eval", 3, nullptr, 0, 0, layout_eval_bar},
    {"Int", 3, nullptr, 0, 0, layout_integral},
    {"Limit", 3, nullptr, 0, 0, layout_limit},
    {"MATRIX", 3, nullptr, 0, 0, rows_and_columns<layout_matrix_call>},
    {"PIECEWISE", 3, nullptr, 0, 0, rows_and_columns<layout_piecewise>},
    {"Product", 3, nullptr, 0, 0, layout_sum_product},
    {"Sum", 3, nullptr, 0, 0, layout_sum_product},
    {"TABLE", 3, nullptr, 0, 0, rows_and_columns<layout_table_call>},
    {"VECTOR", 3, nullptr, 0, 0, rows_and_columns<layout_vector>},
    {"abs", 3, nullptr, 0, 0, layout_abs},
    {"anglebracket", 3, nullptr, 0, 1, layout_anglebracket},
    {"conjugate", 3, nullptr, 0, 0, layout_conjugate},
    {"diff", 3, nullptr, 0, 0, layout_derivative},
    {"eval", 3, nullptr, 0, 0, layout_eval_bar},
    {"exp", 3, nullptr, 0, 0, layout_exp},
    {"factorial", 3, nullptr, 0, 1, layout_factorial},
    {"int", 3, nullptr, 0, 0, layout_integral},
    {"intersect", 0, "intersect", 0, 1, nullptr},
    {"limit", 3, nullptr, 0, 0, layout_limit},
    {"matrix", 3, nullptr, 0, 0, rows_and_columns<layout_matrix_call>},
    {"minus", 0, "minus", 0, 1, nullptr},
    {"mod", 0, "mod", 0, 1, nullptr},
    {"product", 3, nullptr, 0, 0, layout_sum_product},
    {"sqrt", 3, nullptr, 0, 0, layout_sqrt},
    {"sum", 3, nullptr, 0, 0, layout_sum_product},
    {"union", 0, "union", 0, 1, nullptr},
    {"vector", 3, nullptr, 0, 0, rows_and_columns<layout_vector>},
    {nullptr, 0, nullptr, 0, 0, nullptr},
    {"&", 3, nullptr, 0, 1, layout_neutral_operator},
};

const SpecialLayoutEntry* special_layout_find(const char* name) {
    int lo = 0, hi = 31;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = std::strcmp(name, special_layout_table[mid].name);
        if (c == 0) return &special_layout_table[mid];
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return name[0] == '&' ? &special_layout_table[33] : nullptr;
}

bool layout_named_operator(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level,
                           int* code) {
    const DagWord* head = dag_op(dag, 1);
    if (!head || dag_type(head) != DAG_NAME) return false;
    const SpecialLayoutEntry* entry = special_layout_find(dag_text(head));
    if (!entry) return false;
    int count = operand_count(dag);
    if (count < 0) return false;
    if (ctx->linearMode && !entry->linear) return false;
    static const char* const kInert[] = {"Int", "Sum", "Product", "Limit", "Diff", "Eval"};
    bool inert = false;
    for (const char* n : kInert) inert = inert || std::strcmp(entry->name, n) == 0;
    Call call{dag, dag_text(head), dag_op(dag, 2), count, inert};
    int result = *code;
    bool built = entry->kind == 0 ? layout_infix_operator(ctx, node, call, level, &result, *entry)
                                  : entry->layout(ctx, node, call, level, &result, *entry);
    if (!built) return false;
    if (node->type == DAG_FUNCTION) node->type = TS_CALL;
    *code = result;
    return true;
}
