// Layout driver and generic layouts: dispatch by DAG type, the bracketing rule, sequences, calls
// and indexed names, lists and sets, quotes, hardware-float arrays and the
// labelled root.

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "tovu/errors.h"
#include "typeset_layout.h"
#include "util/errjump.h"

TypesetNode* typeset_glyph(TypesetContext* ctx, int code, int level) {
    return ctx->device->glyphNode(ctx, code, level);
}

void bracket_pair_link(TypesetNode* open, TypesetNode* close) {
    // Only arena nodes (stretchy forms) are linked: cached glyphs are shared by every run.
    if (open && close && open->type > 192 && close->type > 192) {
        open->partner = close;
        close->partner = open;
    }
}

// ---- brackets ----------------------------------------------------------------------------------

namespace {

struct BracketCodes { int fixed, stretchy; };

BracketCodes bracket_codes(int ch, bool opening) {
    switch (ch) {
    case '(': return opening ? BracketCodes{G_LPAREN, G_SLPAREN} : BracketCodes{G_RPAREN, G_SRPAREN};
    case '[': return opening ? BracketCodes{G_LBRACK, G_SLBRACK} : BracketCodes{G_RBRACK, G_SRBRACK};
    case '{': return opening ? BracketCodes{G_LBRACE, G_SLBRACE} : BracketCodes{G_RBRACE, G_SRBRACE};
    case '<': return opening ? BracketCodes{G_LANGLE, 0} : BracketCodes{G_RANGLE, 0};
    default: return {0, 0};
    }
}

int closing_of(int ch) {
    switch (ch) {
    case '(': return ')';
    case '[': return ']';
    case '{': return '}';
    case '<': return '>';
    default: return 0;
    }
}

}  // namespace

void add_brackets(TypesetContext* ctx, TypesetNode* node, int level, int open, int close,
                  bool mayStretch, bool noGap) {
    int gap = metric(ctx, 0, level, 12);
    bool stretch = mayStretch &&
                   node->height > (noGap ? 0 : metric(ctx, 0, level, 11)) + metric(ctx, 0, level, 0);
    BracketCodes oc = bracket_codes(open, true);
    BracketCodes cc = bracket_codes(close ? open : 0, false);
    if (close && close != closing_of(open)) {
        // An unmatched closing bracket: take its own codes.
        for (int c : {'(', '[', '{', '<'})
            if (closing_of(c) == close) cc = bracket_codes(c, false);
    }
    if (stretch) {
        bool haveBoth = (!open || oc.stretchy) && (!close || cc.stretchy);
        int least = open ? ctx->device->symbolKind(ctx, oc.stretchy, level) : 0;
        if (!haveBoth || node->height < least) stretch = false;
    }
    TypesetNode* ob = nullptr;
    TypesetNode* cb = nullptr;
    if (open) ob = typeset_glyph(ctx, stretch ? oc.stretchy : oc.fixed, level);
    if (close) cb = typeset_glyph(ctx, stretch ? cc.stretchy : cc.fixed, level);
    if (stretch) {
        int least = 0;
        if (ob) least = ctx->device->symbolKind(ctx, ob->type, level);
        if (cb) {
            int l2 = ctx->device->symbolKind(ctx, cb->type, level);
            if (l2 > least) least = l2;
        }
        int h = node->height > least ? node->height : least;
        if (ob) ctx->device->sizeSymbol(ctx, ob, level, h);
        if (cb) ctx->device->sizeSymbol(ctx, cb, level, h);
        bracket_pair_link(ob, cb);
    }
    // New second array: opening bracket, existing glyphs, closing bracket.
    int extra = (ob ? 1 : 0) + (cb ? 1 : 0);
    TypesetChild* glyphs = typeset_children_alloc(ctx, node->secondCount + extra);
    int k = 0;
    TypesetChild* openSlot = nullptr;
    TypesetChild* closeSlot = nullptr;
    if (ob) {
        openSlot = &glyphs[k++];
        openSlot->node = ob;
    }
    for (int i = 0; i < node->secondCount; ++i) glyphs[k++] = node->secondArray[i];
    if (cb) {
        closeSlot = &glyphs[k++];
        closeSlot->node = cb;
    }
    int innerFirst = ob ? 1 : 0, innerEnd = innerFirst + node->secondCount;
    node->secondArray = glyphs;
    node->secondCount += extra;

    int shift = ob ? gap + ob->width : 0;
    const TypesetNode* ref = ob ? ob : cb;
    bool shorter = ref && ref->height < node->height;
    for (int i = 0; i < node->firstCount; ++i) {
        node->firstArray[i].x += shift;
        if (ref && !shorter) node->firstArray[i].y += ref->height - node->height;
    }
    for (int i = innerFirst; i < innerEnd; ++i) {
        glyphs[i].x += shift;
        if (ref && !shorter) glyphs[i].y += ref->height - node->height;
    }
    if (openSlot) {
        openSlot->x = 0;
        openSlot->y = shorter ? node->ascent - ob->ascent : 0;
    }
    if (closeSlot) {
        closeSlot->x = gap + node->width + shift;
        closeSlot->y = shorter ? node->ascent - cb->ascent : 0;
    }
    node->width += shift + (cb ? gap + cb->width : 0);
    if (ref && !shorter) {
        node->height = ref->height;
        node->ascent = ref->ascent;
    }
}

int bracket_if_needed(TypesetContext* ctx, TypesetChild* slot, int code, int required, int level) {
    if (required == 0 || required >= code || !slot->node) return code;
    TypesetNode* inner = slot->node;
    TypesetNode* wrap = typeset_node_new(ctx, TS_WRAPPER, level);
    wrap->flags |= TSF_BRACKET | (inner->flags & TSF_BREAK);
    wrap->source = inner->source;
    typeset_node_children(ctx, wrap, 1, 0);
    wrap->firstArray[0].node = inner;
    copy_metrics(wrap, inner);
    add_brackets(ctx, wrap, level, '(', ')', true, false);
    slot->node = wrap;
    return 0;
}

// ---- sequences and calls ---------------------------------------------------------------------------

void layout_sequence(TypesetContext* ctx, TypesetNode* node, const DagWord* seq, int level, int gap) {
    if (dag_type(seq) != DAG_EXPSEQ) {
        // Not a sequence where one was expected: show the operand as a one-element sequence.
        typeset_node_children(ctx, node, 1, 0);
        layout_dag(ctx, seq, 0, level, &node->firstArray[0], 1);
        copy_metrics(node, node->firstArray[0].node);
        return;
    }
    int n = int(dag_length(seq)) - 1;
    if (n <= 0) {
        node->width = metric(ctx, 0, level, 4) & ~1;
        node->height = metric(ctx, 0, level, 0);
        node->ascent = metric(ctx, 0, level, 1);
        return;
    }
    typeset_node_children(ctx, node, n, gap ? 0 : n - 1);
    int x = 0;
    int space = metric(ctx, 0, level, 3);
    for (int i = 0; i < n; ++i) {
        TypesetChild* c = &node->firstArray[i];
        layout_dag(ctx, dag_op(seq, std::size_t(i) + 1), 0, level, c, i + 1);
        c->x = x;
        x += c->node->width;
        if (i + 1 < n) {
            if (gap) {
                x += gap;
            } else {
                TypesetChild* g = &node->secondArray[i];
                g->node = typeset_glyph(ctx, G_COMMA, level);
                g->x = x;
                x += g->node->width + space;
            }
        }
    }
    typeset_row_metrics(node);
    node->width = x;
}

void layout_call_brackets(TypesetContext* ctx, TypesetNode* node, int argumentLevel, int level,
                          bool isFunction) {
    (void)argumentLevel;
    TypesetChild* head = &node->firstArray[0];
    TypesetChild* args = &node->firstArray[1];
    int rowH = args->node->height;
    bool stretchy = ctx->device->kind != 1 &&
                    rowH > metric(ctx, 0, level, 0) + metric(ctx, 0, level, 11);
    int oc = isFunction ? (stretchy ? G_SLPAREN : G_LPAREN) : (stretchy ? G_SLBRACK : G_LBRACK);
    int cc = isFunction ? (stretchy ? G_SRPAREN : G_RPAREN) : (stretchy ? G_SRBRACK : G_RBRACK);
    TypesetNode* ob = typeset_glyph(ctx, oc, level);
    TypesetNode* cb = typeset_glyph(ctx, cc, level);
    if (stretchy) {
        int least = ctx->device->symbolKind(ctx, oc, level);
        int l2 = ctx->device->symbolKind(ctx, cc, level);
        if (l2 > least) least = l2;
        int h = rowH > least ? rowH : least;
        ctx->device->sizeSymbol(ctx, ob, level, h);
        ctx->device->sizeSymbol(ctx, cb, level, h);
        ob->ascent = cb->ascent = args->node->ascent;
        bracket_pair_link(ob, cb);
    }
    node->secondCount = 2;
    node->secondArray = typeset_children_alloc(ctx, 2);
    node->secondArray[0].node = ob;
    node->secondArray[1].node = cb;
    int gap = metric(ctx, 0, level, 12);
    head->x = 0;
    node->secondArray[0].x = head->node->width;
    args->x = node->secondArray[0].x + ob->width + gap;
    node->secondArray[1].x = args->x + args->node->width + gap;
    typeset_row_metrics(node);
    node->width = node->secondArray[1].x + cb->width;
}

void layout_call(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level) {
    bool isFunction = dag_type(dag) == DAG_FUNCTION;
    int argLevel = isFunction || ctx->linearMode ? level : clamp_level(ctx, level + 1);
    typeset_node_children(ctx, node, 2, 0);
    const DagWord* head = dag_length(dag) > 1 ? dag_op(dag, 1) : nullptr;
    const DagWord* args = dag_length(dag) > 2 ? dag_op(dag, 2) : nullptr;
    TypesetChild* hs = &node->firstArray[0];
    if (head && dag_type(head) == DAG_NAME) {
        TypesetNode* leaf = typeset_node_new(ctx, DAG_NAME, level);
        leaf->source = head;
        if (isFunction)
            typeset_function_name_leaf(ctx, leaf, head, level);
        else
            typeset_name_leaf(ctx, leaf, head, level);
        hs->node = leaf;
        if (ctx->keepPaths) path_record_set(ctx, hs, 1);
    } else {
        layout_dag(ctx, head, BIND_CATENATE + 1, level, hs, 1);
    }
    TypesetChild* as = &node->firstArray[1];
    TypesetNode* seq = typeset_node_new(ctx, DAG_EXPSEQ, argLevel);
    seq->source = args;
    as->node = seq;
    if (ctx->keepPaths) path_record_set(ctx, as, 2);
    if (args)
        layout_sequence(ctx, seq, args, argLevel, 0);
    else
        layout_sequence(ctx, seq, dag_NULL, argLevel, 0);
    typeset_flags_from_children(seq);
    bool emptyArgs = !args || dag_is_null(args);
    if (isFunction || ctx->device->kind == 1 || ctx->linearMode || emptyArgs) {
        layout_call_brackets(ctx, node, argLevel, level, isFunction);
    } else {
        typeset_place_script(ctx, 1, level, node, hs, as);
    }
}

// ---- hardware-float arrays -----------------------------------------------------------------------

void layout_hfarray(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level) {
    std::size_t len = dag_length(dag);
    if (len < 5 || (len - 3) % 2 != 0) return;   // malformed: shown as printed text
    const double* data = hfarray_data(dag);
    long count = long(dag_word(dag, 2));
    std::size_t rank = (len - 3) / 2;
    std::vector<long> extent(rank);
    long total = 1;
    for (std::size_t i = 0; i < rank; ++i) {
        long lo = long(dag_word(dag, 3 + 2 * i)), hi = long(dag_word(dag, 4 + 2 * i));
        if (hi < lo || hi - lo >= 1000000) return;
        extent[i] = hi - lo + 1;
        total *= extent[i];
        if (total > 1000000) return;
    }
    if (!data || total > count) return;
    // Glyphs: per inner list of each dimension "[" and "]", commas between its elements.
    std::vector<TypesetNode*> leaves;
    std::vector<std::pair<int, bool>> order;   // (index, isGlyph) in left-to-right order
    std::vector<TypesetNode*> glyphs;
    long next = 0;
    auto emit = [&](auto&& self, std::size_t dim) -> void {
        glyphs.push_back(typeset_glyph(ctx, G_LBRACK, level));
        order.push_back({int(glyphs.size()) - 1, true});
        for (long i = 0; i < extent[dim]; ++i) {
            if (i > 0) {
                glyphs.push_back(typeset_glyph(ctx, G_COMMA, level));
                order.push_back({int(glyphs.size()) - 1, true});
            }
            if (dim + 1 < rank) {
                self(self, dim + 1);
            } else {
                TypesetNode* leaf = typeset_node_new(ctx, DAG_FLOAT, level);
                typeset_hfloat_leaf(ctx, leaf, data[next++], level);
                leaves.push_back(leaf);
                order.push_back({int(leaves.size()) - 1, false});
            }
        }
        glyphs.push_back(typeset_glyph(ctx, G_RBRACK, level));
        order.push_back({int(glyphs.size()) - 1, true});
    };
    emit(emit, 0);
    typeset_node_children(ctx, node, int(leaves.size()), int(glyphs.size()));
    int x = 0;
    for (auto [i, isGlyph] : order) {
        TypesetChild* s = isGlyph ? &node->secondArray[i] : &node->firstArray[i];
        s->node = isGlyph ? glyphs[std::size_t(i)] : leaves[std::size_t(i)];
        s->x = x;
        x += s->node->width;
    }
    typeset_row_metrics(node);
    node->width = x;
}

// ---- the driver --------------------------------------------------------------------------------------

namespace {

void fallback_text(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level) {
    node->type = DAG_STRING;
    node->firstCount = node->secondCount = 0;
    node->firstArray = node->secondArray = nullptr;
    typeset_printed_leaf(ctx, node, dag, level);
}

void layout_power(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level) {
    typeset_node_children(ctx, node, 2, 0);
    layout_dag(ctx, dag_op(dag, 1), BIND_POWER - 1, level, &node->firstArray[0], 1);
    layout_dag(ctx, dag_op(dag, 2), BIND_POWER - 1, script_level(ctx, level), &node->firstArray[1], 2);
    if (ctx->linearMode) {
        power_linear(ctx, node, level);
    } else {
        typeset_place_script(ctx, 2, level, node, &node->firstArray[0], &node->firstArray[1]);
        power_hidden_caret(ctx, node, level);
    }
}

void layout_list_or_set(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level) {
    typeset_node_children(ctx, node, 1, 0);
    const DagWord* seq = dag_length(dag) > 1 ? dag_op(dag, 1) : dag_NULL;
    layout_dag(ctx, seq, BIND_LIST, level, &node->firstArray[0], 1);
    copy_metrics(node, node->firstArray[0].node);
    bool set = dag_type(dag) == DAG_SET;
    add_brackets(ctx, node, level, set ? '{' : '[', set ? '}' : ']', ctx->device->kind != 1, false);
}

void layout_quote(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level) {
    typeset_node_children(ctx, node, 1, 2);
    layout_dag(ctx, dag_op(dag, 1), 0, level, &node->firstArray[0], 1);
    TypesetNode* q = typeset_glyph(ctx, G_QUOTE, level);
    node->secondArray[0].node = q;
    node->firstArray[0].x = q->width;
    node->secondArray[1].node = q;
    node->secondArray[1].x = q->width + node->firstArray[0].node->width;
    typeset_row_metrics(node);
    node->width = node->secondArray[1].x + q->width;
}

void layout_generic(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level, int* code) {
    unsigned type = dag_type(dag);
    const OperatorInfo& row = operator_row(type);
    int n = int(dag_length(dag)) - 1;
    if (n <= 0) return;
    if (row.operands > 0 && n > row.operands) n = row.operands;   // attributes are not shown
    typeset_node_children(ctx, node, n, 0);
    for (int i = 0; i < n; ++i) {
        int limit = i == 0 ? row.limit1 : row.limit2;
        const DagWord* op = dag_op(dag, std::size_t(i) + 1);
        if (type == DAG_CATENATE && op && dag_type(op) == DAG_FLOAT) limit = bind_of(DAG_FLOAT) - 1;
        layout_dag(ctx, op, limit, level, &node->firstArray[i], i + 1);
    }
    *code = row.level ? row.level : bind_of(type);
    if (row.text && n == row.operands) typeset_operator(ctx, node, level);
}

// Sums, products and powers read from a file may have empty operand slots; those are
// shown as their printed text.
bool operands_present(const DagWord* dag) {
    for (std::size_t i = 1; i < dag_length(dag); ++i)
        if (!dag_op(dag, i)) return false;
    return true;
}

// A declined special form may have left parts behind: the node starts afresh.
void node_restart(TypesetNode* node, const DagWord* dag, int level) {
    *node = TypesetNode{};
    node->type = int(dag_type(dag));
    node->flags = static_cast<unsigned char>(level & TSF_LEVEL);
    node->source = dag;
}

void layout_stop(TypesetContext* ctx, TypesetNode* node, int level) {
    typeset_node_children(ctx, node, 0, 1);
    node->secondArray[0].node = typeset_glyph(ctx, G_QUIT, level);
    copy_metrics(node, node->secondArray[0].node);
}

}  // namespace

int layout_dag(TypesetContext* ctx, const DagWord* dag, int required, int level, TypesetChild* slot,
               int pathIndex) {
    level = clamp_level(ctx, level);
    if (level < 0) level = 0;
    if (ctx->keepPaths && pathIndex) path_record_set(ctx, slot, pathIndex);
    if (!dag) {
        // A missing operand shows as nothing.
        TypesetNode* empty = typeset_node_new(ctx, DAG_STRING, level);
        typeset_const_leaf(ctx, empty, "", level);
        slot->node = empty;
        return BIND_INTPOS;
    }
    int code = 0;
    if (TypesetNode* hit = typeset_work_lookup(ctx, dag, level, &code)) {
        slot->node = hit;
        return bracket_if_needed(ctx, slot, code, required, level);
    }
    TypesetDepth depthGuard(ctx);
    unsigned type = dag_type(dag);
    TypesetNode* node = typeset_node_new(ctx, int(type), level);
    node->source = dag;
    slot->node = node;
    code = bind_of(type);
    switch (type) {
    case DAG_INTNEG:
    case DAG_INTPOS:
        typeset_integer_leaf(ctx, node, dag, level, true);
        if (type == DAG_INTNEG) code = BIND_SUM;
        break;
    case DAG_RATIONAL:
        // A number read from a file may lack a part: it is then shown as its printed text.
        if (dag_length(dag) != 3 || !dag_op(dag, 1) || !dag_op(dag, 2) ||
            !dag_is_integer(dag_op(dag, 1)) || !dag_is_integer(dag_op(dag, 2)))
            break;
        typeset_rational(ctx, node, dag, level, true, 0);
        code = dag_type(dag_op(dag, 1)) == DAG_INTNEG ? BIND_SUM : BIND_PROD;
        break;
    case DAG_FLOAT:
        if (dag_length(dag) < 3) break;
        format_float(ctx, node, dag, level, true, slot);
        node = slot->node;
        if (dag_op(dag, 1) && dag_type(dag_op(dag, 1)) == DAG_INTNEG) code = BIND_SUM;
        break;
    case DAG_STRING:
        typeset_string_leaf(ctx, node, dag, level);
        break;
    case DAG_NAME:
        typeset_name_leaf(ctx, node, dag, level);
        break;
    case DAG_TABLEREF:
        if (dag_length(dag) >= 3) layout_call(ctx, node, dag, level);
        code = BIND_TABLEREF;
        break;
    case DAG_POWER:
        if (dag_length(dag) == 3 && operands_present(dag)) layout_power(ctx, node, dag, level);
        break;
    case DAG_PROD:
        if (dag_length(dag) >= 3 && dag_length(dag) % 2 == 1 && operands_present(dag))
            layout_product(ctx, node, dag, nullptr, level);
        break;
    case DAG_SERIES:
        if (dag_length(dag) >= 2 && dag_length(dag) % 2 == 0) layout_series(ctx, node, dag, level);
        break;
    case DAG_SUM:
        if (dag_length(dag) >= 3 && dag_length(dag) % 2 == 1 && operands_present(dag))
            layout_sum(ctx, node, dag, level, false);
        break;
    case DAG_FUNCTION:
        if (dag_length(dag) < 3) break;
        code = BIND_INTPOS;
        if (!layout_named_operator(ctx, node, dag, level, &code)) {
            node_restart(node, dag, level);
            code = BIND_INTPOS;
            layout_call(ctx, node, dag, level);
            code = BIND_TABLEREF;
        }
        break;
    case DAG_UNEVAL:
        if (dag_length(dag) == 2) layout_quote(ctx, node, dag, level);
        code = BIND_INTPOS;
        break;
    case DAG_EXPSEQ:
        layout_sequence(ctx, node, dag, level, 0);
        break;
    case DAG_LIST:
        code = BIND_INTPOS;
        if (dag_has_attribute(dag, "matrix") && layout_matrix_grid(ctx, node, dag, level, &code, false))
            break;
        if ((dag_has_attribute(dag, "row") || dag_has_attribute(dag, "column")) &&
            layout_vector(ctx, node, dag, level, &code))
            break;
        node_restart(node, dag, level);
        code = BIND_INTPOS;
        layout_list_or_set(ctx, node, dag, level);
        break;
    case DAG_SET:
        layout_list_or_set(ctx, node, dag, level);
        code = BIND_INTPOS;
        break;
    case DAG_LOCAL:
        layout_local(ctx, node, dag, level);
        code = BIND_INTPOS;
        break;
    case DAG_PARAM:
        layout_param(ctx, node, dag, level);
        code = BIND_INTPOS;
        break;
    case DAG_LEXICAL:
        code = BIND_INTPOS;
        if (const DagWord* binding = layout_lexical(ctx, node, dag, level)) {
            code = layout_dag(ctx, binding, 0, level, slot, 0);
            node = slot->node;
        }
        break;
    case DAG_HFARRAY:
        layout_hfarray(ctx, node, dag, level);
        break;
    case DAG_STOP:
        layout_stop(ctx, node, level);
        break;
    case DAG_PROC:
        layout_procedure(ctx, node, dag, level);
        code = BIND_INTPOS;
        break;
    case DAG_STATSEQ:
        layout_statseq(ctx, node, dag, level);
        break;
    case DAG_IF:
        layout_if(ctx, node, dag, level);
        break;
    case DAG_FOR:
        layout_for(ctx, node, dag, level);
        break;
    case DAG_TABLE:
        break;   // shown as its printed text
    default:
        if (type < DAG_HASH) layout_generic(ctx, node, dag, level, &code);
        break;
    }
    if (typeset_is_composite_type(node->type)) typeset_flags_from_children(node);
    if (node->width < 0) fallback_text(ctx, node, dag, level);
    typeset_work_store(ctx, dag, level, node, code);
    return bracket_if_needed(ctx, slot, code, required, level);
}

// ---- whole expressions --------------------------------------------------------------------------------

namespace {

void labelled_root(TypesetContext* ctx, LineTable* lt, int level) {
    int n = labels_count(ctx);
    bool assumed = typeset_assumed_count(ctx) > 0;
    TypesetNode* root = typeset_node_new(ctx, TS_LABELLED, level);
    typeset_node_children(ctx, root, 1 + n + (assumed ? 1 : 0), 0);
    root->firstArray[0] = *lt->root;
    root->firstArray[0].x = root->firstArray[0].y = 0;
    for (int k = 1; k <= n; ++k) {
        const DagWord* dag = label_dag(ctx, k);
        TypesetNode* def = typeset_node_new(ctx, DAG_ASSIGN, level);
        typeset_node_children(ctx, def, 2, 0);
        int labelCode = 0;
        TypesetNode* labelLeaf = typeset_work_lookup(ctx, dag, level, &labelCode);
        layout_dag(ctx, dag, 0, level, &def->firstArray[0], 0);
        typeset_work_forget(ctx, dag);
        layout_dag(ctx, dag, 0, level, &def->firstArray[1], 0);
        // Later definitions keep showing this subexpression by its label.
        if (labelLeaf) typeset_work_force(ctx, dag, level, labelLeaf, labelCode);
        typeset_operator(ctx, def, level);
        typeset_flags_from_children(def);
        root->firstArray[k].node = def;
    }
    if (assumed) typeset_assumptions_note(ctx, &root->firstArray[n + 1], level);
    int x = 0;
    for (int i = 0; i < root->firstCount; ++i) {
        root->firstArray[i].x = x;
        root->firstArray[i].y = 0;
        x += root->firstArray[i].node->width;
    }
    root->width = x;
    root->height = root->firstArray[0].node->height;
    root->ascent = root->firstArray[0].node->ascent;
    typeset_flags_from_children(root);
    root->flags |= TSF_BREAK;
    lt->root->node = root;
}

}  // namespace

LineTable* layout_expression(TypesetContext* ctx, const DagWord* dag, int required) {
    int level = ctx->firstLevel;
    ctx->depth = 0;
    if (!dag) {
        ctx->errorCode = 5;
        return nullptr;
    }
    LineTable* lt = nullptr;
    int code = 0;
    try {
        typeset_work_begin(ctx);
        TypesetHookArm arm;
        ErrorGuard memoryGuard;
        TovuHandlerGuard libraryGuard;
        typeset_make_labels(ctx, dag);
        void* mem = typeset_alloc(&ctx->nodeArena, sizeof(LineTable));
        if (!mem) throw TypesetJump{3};
        lt = new (mem) LineTable;
        lt->root = typeset_children_alloc(ctx, 1);
        lt->firstLevel = level;
        layout_dag(ctx, dag, required, level, lt->root, 0);
        if (labels_count(ctx) > 0 || typeset_assumed_count(ctx) > 0) labelled_root(ctx, lt, level);
        if (!lt->root->node) code = 5;
    } catch (const TypesetJump& jump) {
        code = jump.code;
    } catch (const ErrorJump&) {
        code = 3;
    } catch (const TovuError&) {
        code = 3;
    } catch (const std::bad_alloc&) {
        code = 3;
    }
    ctx->depth = 0;
    typeset_release_work(ctx);
    ctx->errorCode = code;
    return code ? nullptr : lt;
}
