// Names and printed text as leaves, names with assumptions (a trailing "~") and their note after
// the expression, and the labelling pass that shows large repeated subexpressions as %1, %2, ...
//
// The labelling pass walks the DAG twice (counting uses, then measuring).  Both walks visit the
// operands of a DAG only on its first visit: a DAG shared n times is counted n times but its
// inside is walked once, so heavily shared expressions cost linear time, not exponential.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "typeset_layout.h"
#include "tovu/print.h"

// ---- leaves --------------------------------------------------------------------------------------

namespace {

void collect_char(void* data, int c) { static_cast<std::string*>(data)->push_back(char(c)); }
// The printer's messages are not shown: an error ends the text where it stands.
void drop_message(void*, const char*) {}

}  // namespace

// One-line text of a part no layout handles, through the language's printer, with the printer's
// current procedure set to the procedure being laid out so that parameters, locals and lexicals
// print by their names.
char* typeset_printed_text(TypesetContext* ctx, const DagWord* dag) {
    if (dag && dag_type(dag) == DAG_NAME && !ctx->currentProcedure) {
        const char* t = dag_text(dag);
        if (!*t) return typeset_arena_text(ctx, " ", 1);
        return const_cast<char*>(t);
    }
    std::string text;
    {
        PrintProcedureScope scope(ctx->currentProcedure);
        print_expression(dag, collect_char, drop_message, 0, PRINT_TILDES, &text);
    }
    // An empty text (nothing printable) still takes a place on the line.
    if (text.empty()) text = " ";
    return typeset_arena_text(ctx, text.data(), text.size());
}

void typeset_printed_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level) {
    typeset_text_leaf(ctx, leaf, typeset_printed_text(ctx, dag), STYLE_ROMAN, level, false);
}

static void name_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level,
                      int which, int dflt) {
    leaf->source = dag;
    const char* text = nullptr;
    int style = 0;
    const char* name = dag_type(dag) == DAG_NAME ? dag_text(dag) : "";
    if (dag_type(dag) == DAG_NAME && identifier_style_lookup(ctx, name, which, &text, &style) == 0) {
        typeset_text_leaf(ctx, leaf, text, style, level, false);
    } else {
        typeset_text_leaf(ctx, leaf, typeset_printed_text(ctx, dag), dflt, level, false);
    }
    typeset_assumed_name(ctx, leaf);
}

void typeset_name_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level) {
    name_leaf(ctx, leaf, dag, level, 2, STYLE_ITALIC);
}

void typeset_function_name_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level) {
    name_leaf(ctx, leaf, dag, level, 1, STYLE_ROMAN);
}

void typeset_string_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level) {
    typeset_printed_leaf(ctx, leaf, dag, level);
}

// ---- assumptions -----------------------------------------------------------------------------------

void typeset_assumed_name(TypesetContext* ctx, TypesetNode* leaf) {
    if (ctx->showAssumed != 0 && ctx->showAssumed != 2) return;
    const char* t = leaf->text;
    std::size_t n = t ? std::strlen(t) : 0;
    if (n == 0 || t[n - 1] != '~') return;
    const char* stripped = typeset_arena_text(ctx, t, n - 1);
    typeset_text_leaf(ctx, leaf, stripped, node_style(leaf), node_level(leaf), false);
    if (ctx->showAssumed == 2) typeset_note_assumed(ctx, leaf);
}

void typeset_note_assumed(TypesetContext* ctx, TypesetNode* leaf) {
    for (int i = 0; i < ctx->assumedCapacity; ++i) {
        TypesetNode*& slot = ctx->assumed[i];
        if (!slot) {
            slot = leaf;
            return;
        }
        if (std::strcmp(slot->text, leaf->text) == 0) {
            if (node_level(slot) > 0 || node_style(slot) != STYLE_ITALIC) slot = leaf;
            return;
        }
    }
    int cap = ctx->assumedCapacity + 8;
    auto** grown = static_cast<TypesetNode**>(typeset_alloc(&ctx->nodeArena, sizeof(TypesetNode*) * std::size_t(cap)));
    if (!grown) throw TypesetJump{3};
    for (int i = 0; i < cap; ++i) grown[i] = i < ctx->assumedCapacity ? ctx->assumed[i] : nullptr;
    grown[ctx->assumedCapacity] = leaf;
    ctx->assumed = grown;
    ctx->assumedCapacity = cap;
}

int typeset_assumed_count(const TypesetContext* ctx) {
    int n = 0;
    while (n < ctx->assumedCapacity && ctx->assumed[n]) ++n;
    return n;
}

void typeset_assumptions_note(TypesetContext* ctx, TypesetChild* slot, int level) {
    int n = typeset_assumed_count(ctx);
    TypesetNode* note = typeset_node_new(ctx, TS_ASSUMED_NOTE, level);
    typeset_node_children(ctx, note, n, n);
    int x = 0;
    int blank = metric(ctx, STYLE_ROMAN, level, 3);
    for (int j = 0; j < n; ++j) {
        TypesetNode* sep;
        if (j == 0)
            sep = text_leaf_new(ctx, "with assumptions on", STYLE_ROMAN, level, false);
        else if (j == n - 1)
            sep = text_leaf_new(ctx, " and", STYLE_ROMAN, level, false);
        else
            sep = typeset_glyph(ctx, G_COMMA, level);
        note->secondArray[j].node = sep;
        note->secondArray[j].x = x;
        x += blank + sep->width;
        TypesetNode* noted = ctx->assumed[j];
        TypesetNode* name = noted;
        if (node_level(noted) != level) {
            name = typeset_node_new(ctx, noted->type, level);
            name->source = noted->source;
            typeset_text_leaf(ctx, name, noted->text, node_style(noted), level, false);
        }
        note->firstArray[j].node = name;
        note->firstArray[j].x = x;
        x += name->width;
    }
    typeset_row_metrics(note);
    note->width = x;
    slot->node = note;
}

// ---- labels ------------------------------------------------------------------------------------------

namespace {

// The label list: process-wide, reset by every labelling pass.
std::vector<const DagWord*> g_labels;

constexpr int kWalkCap = 4 * TYPESET_MAX_DEPTH;

void count_uses(TypesetContext* ctx, const DagWord* d, int depth) {
    if (!d || depth > kWalkCap) return;
    unsigned t = dag_type(d);
    if (t < 7 || t > 41) return;
    auto count = [&]() -> bool {
        WorkRecord* r = typeset_work_record(ctx, d, true);
        return ++r->uses == 1;   // walk the inside on the first visit only
    };
    std::size_t len = dag_length(d);
    switch (t) {
    case DAG_PROD: case DAG_SUM: case DAG_EXPSEQ: case DAG_LIST: case DAG_SET:
        if (count())
            for (std::size_t i = len - 1; i >= 1; --i) count_uses(ctx, dag_op(d, i), depth + 1);
        break;
    case DAG_SERIES:
        if (count())
            for (std::size_t i = 2; i < len; i += 2) count_uses(ctx, dag_op(d, i), depth + 1);
        break;
    case DAG_UNEVAL: case DAG_NOT:
        if (count() && len > 1) count_uses(ctx, dag_op(d, 1), depth + 1);
        break;
    case DAG_TABLE:
        if (count() && len > 3) count_uses(ctx, dag_op(d, 3), depth + 1);
        break;
    case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL: case DAG_PROC: case DAG_HFARRAY:
    case DAG_FOR: case DAG_IF: case DAG_READ: case DAG_SAVE: case DAG_STATSEQ: case DAG_STOP:
        break;
    case DAG_HASH:
        for (std::size_t i = 2; i < len; i += 2)
            if (dag_op(d, i - 1)) count_uses(ctx, dag_op(d, i), depth + 1);
        break;
    case DAG_HASHTAB:
        for (std::size_t i = 1; i < len; ++i) count_uses(ctx, dag_op(d, i), depth + 1);
        break;
    default:
        if (count()) {
            if (len > 1) count_uses(ctx, dag_op(d, 1), depth + 1);
            if (len > 2) count_uses(ctx, dag_op(d, 2), depth + 1);
        }
        break;
    }
}

bool is_unit(const DagWord* d) { return dag_is_int_value(d, 1) || dag_is_int_value(d, -1); }

long text_length(const DagWord* d) { return long(std::strlen(dag_text(d))); }

long measure(TypesetContext* ctx, const DagWord* d, const DagWord* parent, int depth);

long measure_op(TypesetContext* ctx, const DagWord* d, std::size_t i, int depth) {
    return i < dag_length(d) ? measure(ctx, dag_op(d, i), d, depth + 1) : 0;
}

bool is_function_named(const DagWord* d, const char* name) {
    if (dag_type(d) != DAG_FUNCTION || dag_length(d) < 3) return false;
    const DagWord* h = dag_op(d, 1);
    return h && dag_type(h) == DAG_NAME && std::strcmp(dag_text(h), name) == 0;
}

long measure(TypesetContext* ctx, const DagWord* d, const DagWord* parent, int depth) {
    if (!d || depth > kWalkCap) return 0;
    WorkRecord* self = typeset_work_record(ctx, d, false);
    if (self && self->uses < 0) return 2;
    if (self && self->estimate >= 0) return self->estimate;   // measured before
    unsigned t = dag_type(d);
    std::size_t len = dag_length(d);
    long est = 0;
    switch (t) {
    case DAG_INTNEG: case DAG_INTPOS:
        return arith_digit_count(d);
    case DAG_RATIONAL: {
        // A rational read from a file may lack a part: nothing to count there.
        if (len < 3 || !dag_op(d, 1) || !dag_op(d, 2) || !dag_is_integer(dag_op(d, 1)) ||
            !dag_is_integer(dag_op(d, 2)))
            return 4;
        long a = arith_digit_count(dag_op(d, 1)), b = arith_digit_count(dag_op(d, 2));
        long m = a > b ? a : b;
        return m < 4 ? 4 : m;
    }
    case DAG_FLOAT:
        return len >= 2 && dag_op(d, 1) && dag_is_integer(dag_op(d, 1)) ? arith_digit_count(dag_op(d, 1)) : 0;
    case DAG_STRING: case DAG_NAME:
        return text_length(d);
    case DAG_TABLEREF: case DAG_DCOLON: case DAG_CATENATE: case DAG_POWER: case DAG_EQUATION:
    case DAG_INEQUAT: case DAG_LESSEQ: case DAG_LESSTHAN: case DAG_AND: case DAG_OR: case DAG_RANGE:
    case DAG_ASSIGN:
        est = measure_op(ctx, d, 1, depth) + measure_op(ctx, d, 2, depth) + 3;
        break;
    case DAG_PROD: {
        long pos = 0, neg = 0;
        for (std::size_t i = 1; i + 1 < len; i += 2) {
            const DagWord* e = dag_op(d, i + 1);
            long v = measure_op(ctx, d, i, depth) + (e && is_unit(e) ? 0 : measure_op(ctx, d, i + 1, depth)) + 1;
            if (!e || dag_is_nonnegative(e)) pos += v; else neg += v;
        }
        est = pos > neg ? pos : neg;
        break;
    }
    case DAG_SERIES:
        for (std::size_t i = 2; i < len; i += 2) est += measure_op(ctx, d, i, depth) + 5;
        break;
    case DAG_SUM:
        for (std::size_t i = 1; i < len; ++i) {
            const DagWord* op = dag_op(d, i);
            if (op && is_unit(op)) continue;
            est += measure_op(ctx, d, i, depth) + 2;
        }
        break;
    case DAG_FUNCTION: {
        const DagWord* args = dag_length(d) > 2 ? dag_op(d, 2) : nullptr;
        bool two = args && dag_type(args) == DAG_EXPSEQ && dag_length(args) == 3;
        bool isSum = is_function_named(d, "Sum") || is_function_named(d, "sum");
        bool isProd = is_function_named(d, "Product") || is_function_named(d, "product");
        const DagWord* eq = two ? dag_op(args, 2) : nullptr;
        if ((isSum || isProd) && eq && dag_type(eq) == DAG_EQUATION) {
            const DagWord* right = dag_op(eq, 2);
            long c = measure(ctx, right, eq, depth + 1);
            long dd = measure(ctx, dag_op(eq, 1), eq, depth + 1);
            est = c + dd + (isSum ? 5 : 10);
            WorkRecord* rr = typeset_work_record(ctx, right, false);
            bool labelled = rr && rr->uses < 0;
            if (c + dd > (isSum ? 14 : 18) && right && dag_type(right) != DAG_RANGE && !labelled) {
                WorkRecord* r = typeset_work_record(ctx, right, true);
                r->uses = -1;
                g_labels.push_back(right);
                est = 2;
            }
            break;
        }
        const DagWord* head = dag_op(d, 1);
        est = (head && dag_type(head) == DAG_NAME ? text_length(head) : measure_op(ctx, d, 1, depth)) + 3;
        if (args && dag_type(args) == DAG_EXPSEQ)
            for (std::size_t i = 1; i < dag_length(args); ++i) est += measure(ctx, dag_op(args, i), args, depth + 1);
        break;
    }
    case DAG_UNEVAL: case DAG_LIST: case DAG_SET:
        est = measure_op(ctx, d, 1, depth) + 2;
        break;
    case DAG_NOT:
        est = measure_op(ctx, d, 1, depth) + 4;
        break;
    case DAG_EXPSEQ:
        for (std::size_t i = 1; i < len; ++i) est += measure_op(ctx, d, i, depth) + 2;
        break;
    case DAG_TABLE:
        measure_op(ctx, d, 3, depth);
        est = 80;
        break;
    case DAG_HASH: case DAG_HASHTAB:
        for (std::size_t i = t == DAG_HASH ? 2 : 1; i < len; i += (t == DAG_HASH ? 2 : 1))
            measure(ctx, dag_op(d, i), parent, depth + 1);
        return 0;
    default:
        return 0;
    }
    self = typeset_work_record(ctx, d, false);
    WorkRecord* up = parent ? typeset_work_record(ctx, parent, false) : nullptr;
    if (self && up && self->uses > up->uses) {
        long W = ctx->labelWidth, u = self->uses;
        if ((W < est && u > 3) || (2 * W < est && u > 2)) {
            g_labels.push_back(d);
            self->uses = -1;
            est = 2;
        }
    }
    if (self && self->uses >= 0) self->estimate = int(est > 0x7fffffff ? 0x7fffffff : est);
    return est;
}

}  // namespace

void typeset_make_labels(TypesetContext* ctx, const DagWord* dag) {
    g_labels.clear();
    if (!ctx->labelling) {
        if (ctx->labelOutput) ctx->labelOutput->hasLabels = false;
        return;
    }
    count_uses(ctx, dag, 0);
    // The root has no parent record: give it one so that repeated children can be chosen.
    WorkRecord* root = typeset_work_record(ctx, dag, true);
    (void)root;
    measure(ctx, dag, nullptr, 0);
    // Label leaves for every size level of the device.
    for (std::size_t k = 0; k < g_labels.size(); ++k) {
        char text[32];
        std::snprintf(text, sizeof text, "%%%zu", k + 1);
        for (int level = ctx->firstLevel; level < ctx->levelCount && level < 3; ++level) {
            TypesetNode* leaf = typeset_node_new(ctx, DAG_NAME, level);
            leaf->source = g_labels[k];
            typeset_text_leaf(ctx, leaf, text, STYLE_ROMAN, level, true);
            typeset_work_force(ctx, g_labels[k], level, leaf, 0x40000);
        }
    }
    if (LabelOutput* out = ctx->labelOutput) {
        out->hasLabels = !g_labels.empty();
        if (!g_labels.empty()) {
            delete[] out->dags;
            out->dags = nullptr;
            out->count = 0;
            out->dags = new (std::nothrow) const DagWord*[g_labels.size()];
            if (out->dags) {
                for (std::size_t i = 0; i < g_labels.size(); ++i) out->dags[i] = g_labels[i];
                out->count = int(g_labels.size());
            }
        }
    }
}

int labels_count(const TypesetContext*) { return int(g_labels.size()); }

const DagWord* label_dag(const TypesetContext*, int n) {
    return (n >= 1 && std::size_t(n) <= g_labels.size()) ? g_labels[std::size_t(n) - 1] : nullptr;
}
