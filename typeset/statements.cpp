// Procedures and statements as program text: keyword glyphs and parts on one running line that
// the line breaker splits, parameters, locals and lexicals by their names.
//
// Every DAG read here may come from outside the program (kernel replies, worksheet files):
// indices are checked against the sequences they index, operand counts against the shapes
// expected, and an empty operand makes the layout leave the node to the one-line text.

#include <cstdio>
#include <cstring>

#include "typeset_layout.h"

namespace {

enum : int {
    G_LOCAL = 158, G_GLOBAL = 159, G_DESCRIPTION = 160, G_OPTION = 161, G_PROC = 162, G_END = 163,
    G_IF = 164, G_THEN = 165, G_ELIF = 166, G_ELSE = 167, G_FI = 168, G_FOR = 169, G_IN = 170,
    G_FROM = 171, G_BY = 172, G_TO = 173, G_WHILE = 174, G_DO = 175, G_OD = 176, G_HASH = 179,
};

constexpr int TS_ARROW_PROC = 67;

// A node's parts in order: children and glyphs on one baseline from x 0, with a running x.
struct Row {
    TypesetContext* ctx;
    TypesetNode* node;
    int level;
    int x = 0, nf = 0, ng = 0;

    int gap() const { return metric(ctx, 0, level, 4); }
    void glyph(int code, bool gapAfter) {
        TypesetChild* s = &node->secondArray[ng++];
        s->node = typeset_glyph(ctx, code, level);
        s->x = x;
        x += s->node->width + (gapAfter ? gap() : 0);
    }
    TypesetChild* part(const DagWord* d, int required, int path, bool gapAfter) {
        TypesetChild* s = &node->firstArray[nf++];
        layout_dag(ctx, d, required, level, s, path);
        s->x = x;
        x += s->node->width + (gapAfter ? gap() : 0);
        return s;
    }
    void child(TypesetNode* n, bool gapAfter) {
        TypesetChild* s = &node->firstArray[nf++];
        s->node = n;
        s->x = x;
        x += n->width + (gapAfter ? gap() : 0);
    }
    void finish() {
        node->firstCount = nf;
        node->secondCount = ng;
        typeset_row_metrics(node);
        node->width = x;
        typeset_flags_from_children(node);
    }
};

bool operands_present(const DagWord* d) {
    for (std::size_t i = 1; i < dag_length(d); ++i)
        if (!dag_op(d, i)) return false;
    return true;
}

const DagWord* proc_op(const DagWord* p, std::size_t i) {
    return p && dag_length(p) > i ? dag_op(p, i) : nullptr;
}

bool seq_empty(const DagWord* s) {
    return !s || dag_is_null(s) || (dag_type(s) == DAG_EXPSEQ && dag_length(s) <= 1);
}

void name_text_leaf(TypesetContext* ctx, TypesetNode* node, const DagWord* name, int level) {
    if (name && dag_type(name) == DAG_DCOLON && dag_length(name) >= 2) name = dag_op(name, 1);
    if (!name || dag_type(name) != DAG_NAME) {
        typeset_printed_leaf(ctx, node, name ? name : dag_NULL, level);
        return;
    }
    const char* text = nullptr;
    int style = STYLE_ITALIC;
    if (identifier_style_lookup(ctx, dag_text(name), 2, &text, &style) != 0) {
        text = dag_text(name);
        style = STYLE_ITALIC;
    }
    typeset_text_leaf(ctx, node, text, style, level, false);
}

void indexed_text_leaf(TypesetContext* ctx, TypesetNode* node, const char* format, long n, int level) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, n);
    typeset_text_leaf(ctx, node, buf, STYLE_ROMAN, level, true);
}

// keyword, a gap, the list, the terminator.
TypesetNode* layout_keyword_list(TypesetContext* ctx, const DagWord* list, int keyword, int terminator,
                                 int level, int path) {
    TypesetNode* n = typeset_node_new(ctx, int(dag_type(list)), level);
    n->source = list;
    typeset_node_children(ctx, n, 1, 2);
    Row r{ctx, n, level};
    r.glyph(keyword, true);
    r.part(list, 0, path, false);
    if (terminator) r.glyph(terminator, false);
    r.finish();
    return n;
}

bool has_name_prefix(const DagWord* seq, const char* prefix) {
    if (!seq || dag_type(seq) != DAG_EXPSEQ) return false;
    std::size_t n = std::strlen(prefix);
    for (std::size_t i = 1; i < dag_length(seq); ++i) {
        const DagWord* e = dag_op(seq, i);
        if (e && dag_type(e) == DAG_NAME && std::strncmp(dag_text(e), prefix, n) == 0) return true;
    }
    return false;
}

bool has_name(const DagWord* seq, const char* name) {
    if (!seq) return false;
    if (dag_type(seq) == DAG_NAME) return std::strcmp(dag_text(seq), name) == 0;
    return dag_type(seq) == DAG_EXPSEQ && exprseq_has_name(seq, name);
}

const DagWord* locals_sequence(const DagWord* p) {
    const DagWord* l = proc_op(p, 2);
    if (l && dag_type(l) == DAG_LIST && dag_length(l) >= 2) l = dag_op(l, 1);
    return l && dag_type(l) == DAG_EXPSEQ ? l : nullptr;
}

bool layout_arrow_procedure(TypesetContext* ctx, TypesetNode* node, const DagWord* p, int level) {
    if (!has_name(proc_op(p, 3), "arrow")) return false;
    const DagWord* params = proc_op(p, 1);
    const DagWord* body = proc_op(p, 5);
    if (!params || !body) return false;
    const DagWord* locals = locals_sequence(p);
    node->type = TS_ARROW_PROC;
    typeset_node_children(ctx, node, 3, 2);
    Row r{ctx, node, level};
    bool one = dag_type(params) == DAG_EXPSEQ && dag_length(params) == 2;
    TypesetChild* ps = r.part(params, one ? 0 : 1, 1, false);
    if (!one && dag_type(params) == DAG_EXPSEQ && dag_length(params) <= 1) {
        // No parameters: an empty pair of parentheses.
        TypesetNode* wrap = typeset_node_new(ctx, TS_WRAPPER, level);
        typeset_node_children(ctx, wrap, 1, 0);
        wrap->firstArray[0].node = ps->node;
        copy_metrics(wrap, ps->node);
        add_brackets(ctx, wrap, level, '(', ')', false, false);
        ps->node = wrap;
        r.x = ps->x + wrap->width;
    }
    r.glyph(G_ARROW, false);
    if (!seq_empty(locals)) {
        TypesetNode* word = text_leaf_new(ctx, "local ", STYLE_ROMAN, level, false);
        r.child(word, false);
        r.part(locals, 0, 2, false);
        r.glyph(G_SEMI, true);
    }
    r.part(body, dag_type(body) == DAG_EXPSEQ ? 1 : 0, 5, false);
    r.finish();
    return true;
}

void layout_remember_table(TypesetContext* ctx, TypesetNode* node, const DagWord* table, int level);

// Seven child slots (parameters, locals, globals, options, description, body, remember table) and
// five glyph slots ("proc", "(", ")", " ... ", "end"); parts not shown leave their slot empty.
void layout_procedure_listing(TypesetContext* ctx, TypesetNode* node, const DagWord* p, int level) {
    const DagWord* params = proc_op(p, 1);
    const DagWord* options = proc_op(p, 3);
    bool elided = ctx->verboseproc < 2 && has_name_prefix(options, "Copyright");
    typeset_node_children(ctx, node, 7, 5);
    Row r{ctx, node, level};
    r.glyph(G_PROC, false);
    r.glyph(G_LPAREN, false);
    if (!seq_empty(params)) r.part(params, 0, 1, false);
    r.glyph(G_RPAREN, false);
    struct Section { const DagWord* list; int keyword; int path; };
    const Section sections[] = {{locals_sequence(p), G_LOCAL, 2}, {proc_op(p, 7), G_GLOBAL, 7},
                                {options, G_OPTION, 3}};
    for (int k = 0; k < 3; ++k) {
        const Section& sec = sections[k];
        if (elided || seq_empty(sec.list)) continue;
        r.x += r.gap();
        r.nf = 1 + k;
        r.child(layout_keyword_list(ctx, sec.list, sec.keyword, G_SEMI, level, sec.path), false);
    }
    const DagWord* description = proc_op(p, 6);
    if (!seq_empty(description)) {
        r.x += r.gap();
        r.nf = 4;
        r.child(layout_keyword_list(ctx, description, G_DESCRIPTION, elided ? 0 : G_SEMI, level, 6), false);
    }
    r.x += r.gap();
    r.nf = 5;
    r.ng = 3;
    if (elided) {
        r.glyph(G_DOTS, false);
    } else {
        r.part(proc_op(p, 5), 0, 5, false);
        r.ng = 4;
    }
    r.x += r.gap();
    r.glyph(G_END, false);
    const DagWord* remember = proc_op(p, 4);
    if (ctx->verboseproc >= 3 && remember && !dag_is_null(remember) && !ctx->procedureMode &&
        dag_type(remember) == DAG_HASHTAB) {
        ctx->procedureMode = 1;
        TypesetNode* t = typeset_node_new(ctx, 68, level);
        t->source = remember;
        layout_remember_table(ctx, t, remember, level);
        ctx->procedureMode = 0;
        r.x += r.gap();
        r.nf = 6;
        r.child(t, false);
    }
    r.nf = 7;
    r.ng = 5;
    r.finish();
    node->flags |= TSF_BREAK;   // a listing is always shown over several lines
}

// Entries "# key = value" side by side.  A bucket is a sequence of (key, value) pairs ended by
// a null key; one without that end stops at its last pair.
void layout_remember_table(TypesetContext* ctx, TypesetNode* node, const DagWord* table, int level) {
    int entries = 0;
    auto walk = [&](auto&& visit) {
        for (std::size_t b = 1; b < dag_length(table); ++b) {
            const DagWord* bucket = dag_op(table, b);
            if (!bucket || dag_is_null(bucket)) continue;
            std::size_t len = dag_length(bucket);
            for (std::size_t k = 1; k + 1 < len; k += 2) {
                const DagWord* key = dag_op(bucket, k);
                if (!key) break;
                if (!dag_op(bucket, k + 1)) break;
                visit(key, dag_op(bucket, k + 1));
            }
        }
    };
    walk([&](const DagWord*, const DagWord*) { ++entries; });
    typeset_node_children(ctx, node, entries, 0);
    int i = 0, x = 0;
    walk([&](const DagWord* key, const DagWord* value) {
        TypesetNode* e = typeset_node_new(ctx, 69, level);
        bool dcolon = dag_type(key) == DAG_DCOLON && dag_length(key) >= 3 && dag_op(key, 1) && dag_op(key, 2);
        typeset_node_children(ctx, e, dcolon ? 3 : 2, dcolon ? 4 : 2);
        Row r{ctx, e, level};
        r.glyph(G_HASH, true);
        if (dcolon) {
            r.glyph(G_LBRACK, false);
            r.part(dag_op(key, 1), 0, 0, false);
            r.glyph(G_RBRACK, false);
            r.part(dag_op(key, 2), bind_of(1), 0, false);
        } else {
            r.part(key, bind_of(1), 0, false);
        }
        r.glyph(G_EQUAL, false);
        r.part(value, 0, 0, true);
        r.finish();
        TypesetChild* s = &node->firstArray[i++];
        s->node = e;
        s->x = x;
        x += e->width;
    });
    typeset_row_metrics(node);
    node->width = x;
    typeset_flags_from_children(node);
}

}  // namespace

bool layout_procedure(TypesetContext* ctx, TypesetNode* node, const DagWord* p, int level) {
    if (dag_length(p) < 6) return false;
    const DagWord* savedProc = ctx->currentProcedure;
    ctx->currentProcedure = p;
    ++ctx->procedureDepth;
    struct Restore {
        TypesetContext* ctx;
        const DagWord* proc;
        unsigned char linear;
        ~Restore() {
            ctx->currentProcedure = proc;
            --ctx->procedureDepth;
            ctx->linearMode = linear;
        }
    } restore{ctx, savedProc, ctx->linearMode};
    const DagWord* body = proc_op(p, 5);
    bool built = false;
    if (body && has_name(proc_op(p, 3), "operator")) {
        unsigned t = dag_type(body);
        if (t != DAG_ASSIGN && t != DAG_FOR && t != DAG_IF && t != DAG_READ && t != DAG_SAVE &&
            t != DAG_STATSEQ)
            built = layout_arrow_procedure(ctx, node, p, level);
    }
    if (!built) {
        ctx->linearMode = 1;
        layout_procedure_listing(ctx, node, p, level);
    }
    node->flags |= TSF_MEASURED;
    return true;
}

void layout_statseq(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level) {
    int n = int(dag_length(d)) - 1;
    if (n <= 0 || !operands_present(d)) return;
    typeset_node_children(ctx, node, n, n - 1);
    int m4 = metric(ctx, 0, level, 4);
    int x = 0;
    for (int i = 0; i < n; ++i) {
        TypesetChild* s = &node->firstArray[i];
        layout_dag(ctx, dag_op(d, std::size_t(i) + 1), 0, level, s, i + 1);
        s->x = x;
        x += s->node->width;
        if (i + 1 < n) {
            TypesetChild* g = &node->secondArray[i];
            g->node = typeset_glyph(ctx, G_SEMI, level);
            g->x = x + m4 / 4;
            x = g->x + g->node->width + m4;
        }
    }
    typeset_row_metrics(node);
    node->width = x;
    typeset_flags_from_children(node);
    if (n > 1) node->flags |= TSF_BREAK;
}

void layout_if(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level) {
    int n = int(dag_length(d)) - 1;
    if (n < 2 || !operands_present(d)) return;
    typeset_node_children(ctx, node, n, n + 1);
    Row r{ctx, node, level};
    for (int k = 0; k < n; ++k) {
        int kw = k == 0 ? G_IF : (k % 2 == 1 ? G_THEN : (k < n - 1 ? G_ELIF : G_ELSE));
        r.glyph(kw, true);
        r.part(dag_op(d, std::size_t(k) + 1), 0, k + 1, true);
    }
    r.glyph(G_FI, false);
    r.finish();
    node->flags |= TSF_BREAK;
}

void layout_for(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level) {
    std::size_t len = dag_length(d);
    if ((len != 5 && len != 7) || !operands_present(d)) return;   // neither 4 nor 6 operands
    typeset_node_children(ctx, node, 6, 7);
    Row r{ctx, node, level};
    const DagWord* var = dag_op(d, 1);
    if (!dag_is_null(var)) {
        r.glyph(G_FOR, true);
        r.part(var, 0, 1, true);
    }
    std::size_t cond = 3, body = 4;
    if (len == 5) {
        r.glyph(G_IN, true);
        r.part(dag_op(d, 2), 0, 2, true);
    } else {
        cond = 5;
        body = 6;
        if (!dag_is_int_value(dag_op(d, 2), 1)) {
            r.glyph(G_FROM, true);
            r.part(dag_op(d, 2), 0, 2, true);
        }
        if (!dag_is_int_value(dag_op(d, 3), 1)) {
            r.glyph(G_BY, true);
            r.part(dag_op(d, 3), 0, 3, true);
        }
        if (!dag_is_null(dag_op(d, 4))) {
            r.glyph(G_TO, true);
            r.part(dag_op(d, 4), 0, 4, true);
        }
    }
    const DagWord* c = dag_op(d, cond);
    if (!(dag_type(c) == DAG_NAME && std::strcmp(dag_text(c), "true") == 0)) {
        r.glyph(G_WHILE, true);
        r.part(c, 0, int(cond), true);
    }
    r.glyph(G_DO, true);
    r.part(dag_op(d, body), 0, int(body), true);
    r.glyph(G_OD, false);
    r.finish();
    node->flags |= TSF_BREAK;
}

void layout_param(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level) {
    long n = dag_length(d) >= 2 ? long(dag_word(d, 1)) : 0;
    const DagWord* params = proc_op(ctx->currentProcedure, 1);
    if (params && dag_type(params) == DAG_EXPSEQ && n > 0 && std::size_t(n) < dag_length(params) &&
        dag_op(params, std::size_t(n))) {
        name_text_leaf(ctx, node, dag_op(params, std::size_t(n)), level);
        return;
    }
    switch (n) {
    case -2: typeset_text_leaf(ctx, node, "procname", STYLE_ROMAN, level, false); return;
    case -1: typeset_text_leaf(ctx, node, "args", STYLE_ROMAN, level, false); return;
    case 0: typeset_text_leaf(ctx, node, "nargs", STYLE_ROMAN, level, false); return;
    default: indexed_text_leaf(ctx, node, "args[%ld]", n, level); return;
    }
}

void layout_local(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level) {
    long n = dag_length(d) >= 2 ? long(dag_word(d, 1)) : 0;
    const DagWord* locals = locals_sequence(ctx->currentProcedure);
    // Index 0 would be the sequence's header word and a negative one lies before it.
    if (locals && n >= 1 && std::size_t(n) < dag_length(locals) && dag_op(locals, std::size_t(n))) {
        name_text_leaf(ctx, node, dag_op(locals, std::size_t(n)), level);
        return;
    }
    indexed_text_leaf(ctx, node, "LOC[%ld]", n, level);
}

const DagWord* layout_lexical(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level) {
    long n = dag_length(d) >= 2 ? long(dag_word(d, 1)) : 0;
    unsigned long b = n < 0 ? 0UL - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
    const DagWord* table = proc_op(ctx->currentProcedure, 8);
    if (b >= 1 && table && dag_type(table) == DAG_EXPSEQ && b <= (dag_length(table) - 1) / 2) {
        const DagWord* binding = dag_op(table, 2 * b);
        const DagWord* name = dag_op(table, 2 * b - 1);
        if (binding) {
            unsigned t = dag_type(binding);
            if (t == DAG_LOCAL || t == DAG_PARAM || t == DAG_LEXICAL) {
                if (name) {
                    name_text_leaf(ctx, node, name, level);
                    return nullptr;
                }
            } else {
                return binding;
            }
        }
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "LEX[%lu]", b);
    typeset_text_leaf(ctx, node, buf, STYLE_ROMAN, level, true);
    return nullptr;
}
