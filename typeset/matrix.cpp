// Layouts that arrange operands in rows and columns: matrices (calls and lists marked matrix),
// vectors (calls and lists marked row or column), table and array calls and piecewise
// definitions.  Every one declines on a shape it does not know (the call is then shown in its
// ordinary form) and reports binding level 0, piecewise definitions excepted.

#include <cstring>
#include <vector>

#include "typeset_layout.h"

namespace {

enum : int {
    TS_VECTOR = 62, TS_INTERVAL = 63, TS_PIECE = 64,
};

// The operand sequence of a call, or null.
const DagWord* call_operands(const DagWord* call, int* count) {
    const DagWord* seq = dag_length(call) > 2 ? dag_op(call, 2) : nullptr;
    if (!seq || dag_type(seq) != DAG_EXPSEQ) return nullptr;
    *count = int(dag_length(seq)) - 1;
    for (int i = 1; i <= *count; ++i)
        if (!dag_op(seq, std::size_t(i))) return nullptr;
    return seq;
}

// The elements of a LIST (its EXPSEQ), or null when d is no well-formed list.
const DagWord* list_elements(const DagWord* d, int* count) {
    if (!d || dag_type(d) != DAG_LIST || dag_length(d) < 2) return nullptr;
    const DagWord* seq = dag_op(d, 1);
    if (!seq || dag_type(seq) != DAG_EXPSEQ) return nullptr;
    *count = int(dag_length(seq)) - 1;
    for (int i = 1; i <= *count; ++i)
        if (!dag_op(seq, std::size_t(i))) return nullptr;
    return seq;
}

int ceil_half(int v) { return v > 0 ? (v + 1) / 2 : v / 2; }

bool is_integer_leaf(const TypesetNode* n) {
    return n && (n->type == DAG_INTPOS || n->type == DAG_INTNEG);
}

// Entries of a row with a separation of four blanks and no commas.
void layout_vector_row(TypesetContext* ctx, TypesetNode* node, const DagWord* seq, int level) {
    layout_sequence(ctx, node, seq, level, 4 * metric(ctx, 0, level, 4));
}

void layout_vector_column(TypesetContext* ctx, TypesetNode* node, const DagWord* seq, int level) {
    int n = int(dag_length(seq)) - 1;
    int m4 = metric(ctx, 0, level, 4);
    if (n <= 0) {
        node->width = m4;
        node->height = 0;
        node->ascent = 0;
        return;
    }
    typeset_node_children(ctx, node, n, 0);
    int c = 0;
    for (int i = 0; i < n; ++i) {
        layout_dag(ctx, dag_op(seq, std::size_t(i) + 1), 0, level, &node->firstArray[i], i + 1);
        if (node->firstArray[i].node->width > c) c = node->firstArray[i].node->width;
    }
    if (c >= ctx->partLimit - 4 * m4) {
        // Too wide to stack: one row after all.
        layout_sequence(ctx, node, seq, level, 0);
        return;
    }
    int y = 0;
    for (int i = 0; i < n; ++i) {
        TypesetChild* e = &node->firstArray[i];
        if (i > 0) y += ctx->lineGap;
        e->x = (c - e->node->width) / 2;
        e->y = y;
        y += e->node->height;
    }
    node->width = c;
    node->height = y;
    node->ascent = ceil_half(y);
}

// Brackets around a grid of content width a and height b; the content's start x.
int matrix_add_brackets(TypesetContext* ctx, TypesetNode* node, int a, int b, int level) {
    int least = ctx->device->symbolKind(ctx, G_SLBRACK, level);
    bool stretch = b >= least;
    TypesetNode* open = typeset_glyph(ctx, stretch ? G_SLBRACK : G_LBRACK, level);
    TypesetNode* close = typeset_glyph(ctx, stretch ? G_SRBRACK : G_RBRACK, level);
    if (stretch) {
        ctx->device->sizeSymbol(ctx, open, level, b);
        ctx->device->sizeSymbol(ctx, close, level, b);
    }
    TypesetChild* glyphs = typeset_children_alloc(ctx, node->secondCount + 2);
    for (int i = 0; i < node->secondCount; ++i) glyphs[i + 1] = node->secondArray[i];
    node->secondArray = glyphs;
    node->secondCount += 2;
    TypesetChild* l = &glyphs[0];
    TypesetChild* r = &glyphs[node->secondCount - 1];
    node->ascent = ceil_half(b);
    l->node = open;
    l->x = 0;
    l->y = node->ascent - open->ascent;
    r->node = close;
    r->x = a + open->width;
    r->y = node->ascent - close->ascent;
    node->width = a + open->width + close->width;
    node->height = b;
    bracket_pair_link(open, close);
    return open->width;
}

// Columns made only of integers are right-aligned (divisor 1), others centred (2).
std::vector<int> matrix_numeric_columns(const TypesetNode* grid, int n) {
    std::vector<int> d(std::size_t(n), 1);
    for (int i = 0; i < grid->firstCount; ++i) {
        const TypesetNode* row = grid->firstArray[i].node;
        for (int j = 0; j < n && j < row->firstCount; ++j)
            if (!is_integer_leaf(row->firstArray[j].node)) d[std::size_t(j)] = 2;
    }
    return d;
}

void matrix_place_aligned(TypesetContext* ctx, TypesetNode* grid, int n, const std::vector<int>& col,
                          int extra, int start, int level) {
    int m4 = metric(ctx, 0, level, 4);
    std::vector<int> d = matrix_numeric_columns(grid, n);
    int y = 0;
    for (int i = 0; i < grid->firstCount; ++i) {
        TypesetChild* rs = &grid->firstArray[i];
        TypesetNode* row = rs->node;
        if (i > 0) y += ctx->lineGap;
        rs->x = 0;
        rs->y = y;
        int x = start;
        for (int j = 0; j < n; ++j) {
            TypesetChild* e = &row->firstArray[j];
            e->x = x + (extra + col[std::size_t(j)] - e->node->width) / d[std::size_t(j)];
            x += col[std::size_t(j)] + extra + 4 * m4;
        }
        row->width = x - 4 * m4;
        y += row->height;
    }
}

// Every row as one comma-separated line; the widest line's width.
int matrix_rows_as_lists(TypesetContext* ctx, TypesetNode* grid, int n, int level) {
    int m3 = metric(ctx, 0, level, 3), m4 = metric(ctx, 0, level, 4);
    int widest = 0;
    for (int i = 0; i < grid->firstCount; ++i) {
        TypesetNode* row = grid->firstArray[i].node;
        row->secondCount = n - 1;
        row->secondArray = typeset_children_alloc(ctx, n - 1);
        int x = 0;
        for (int j = 0; j < n; ++j) {
            TypesetChild* e = &row->firstArray[j];
            e->x = x;
            x += e->node->width;
            if (j + 1 < n) {
                TypesetChild* g = &row->secondArray[j];
                g->node = typeset_glyph(ctx, G_COMMA, level);
                g->x = x + m4;
                x = g->x + g->node->width + m3;
            }
        }
        typeset_row_metrics(row);
        row->width = x;
        if (x > widest) widest = x;
    }
    return widest;
}

void matrix_place_spread(TypesetContext* ctx, TypesetNode* grid, int n, int width, int start) {
    int y = 0;
    for (int i = 0; i < grid->firstCount; ++i) {
        TypesetChild* rs = &grid->firstArray[i];
        TypesetNode* row = rs->node;
        if (i > 0) y += ctx->lineGap;
        rs->x = start;
        rs->y = y;
        if (n > 1) {
            int spare = width - row->width;
            int each = spare / (n - 1), rest = spare % (n - 1);
            int shift = 0;
            for (int j = 1; j < n; ++j) {
                shift += each + (j - 1 < rest ? 1 : 0);
                row->firstArray[j].x += shift;
                row->secondArray[j - 1].x += shift - (each + (j - 1 < rest ? 1 : 0));
            }
            row->width = width;
        }
        y += row->height;
    }
}

void matrix_arrange(TypesetContext* ctx, TypesetNode* grid, int n, int level) {
    int rows = grid->firstCount;
    int m4 = metric(ctx, 0, level, 4);
    int limit = ctx->partLimit;
    std::vector<int> col(std::size_t(n), 0);
    int total = 0;
    for (int i = 0; i < rows; ++i) {
        const TypesetNode* row = grid->firstArray[i].node;
        total += row->height + (i > 0 ? ctx->lineGap : 0);
        for (int j = 0; j < n; ++j)
            if (row->firstArray[j].node->width > col[std::size_t(j)]) col[std::size_t(j)] = row->firstArray[j].node->width;
    }
    long g = 4L * m4 * (n - 1);
    for (int w : col) g += w;
    if (g < limit - 4 * m4) {
        int t = n * total / rows;
        int extra = 0;
        if (g < t) {
            if (t >= limit - 4 * m4) t = limit - 4 * m4;
            extra = (t - int(g)) / n;
            if (extra < 0) extra = 0;
            g += long(n) * extra;
        }
        int start = matrix_add_brackets(ctx, grid, int(g), total, level);
        matrix_place_aligned(ctx, grid, n, col, extra, start, level);
        grid->flags |= TSF_ATOMIC;
        return;
    }
    int widest = matrix_rows_as_lists(ctx, grid, n, level);
    if (widest < limit - 4 * m4) {
        int start = matrix_add_brackets(ctx, grid, widest, total, level);
        matrix_place_spread(ctx, grid, n, widest, start);
        grid->flags |= TSF_ATOMIC;
        return;
    }
    // Bracketed rows side by side; the line breaker puts each on a line of its own.
    int x = 0;
    for (int i = 0; i < rows; ++i) {
        TypesetChild* rs = &grid->firstArray[i];
        add_brackets(ctx, rs->node, level, '[', ']', true, false);
        rs->x = x;
        x += rs->node->width;
    }
    const TypesetNode* first = grid->firstArray[0].node;
    for (int i = 0; i < rows; ++i) grid->firstArray[i].y = first->ascent - grid->firstArray[i].node->ascent;
    grid->width = x;
    grid->height = first->height;
    grid->ascent = first->ascent;
    grid->flags |= TSF_BREAK;
}

// k = lo..hi as lo < k <= hi; an end CLOSED(e) takes "<=".
TypesetNode* layout_piecewise_condition(TypesetContext* ctx, const DagWord* cond, int level,
                                        TypesetChild* slot) {
    if (dag_type(cond) == DAG_EQUATION && dag_length(cond) == 3 && dag_op(cond, 1) && dag_op(cond, 2) &&
        dag_type(dag_op(cond, 2)) == DAG_RANGE && dag_length(dag_op(cond, 2)) == 3 &&
        dag_op(dag_op(cond, 2), 1) && dag_op(dag_op(cond, 2), 2)) {
        const DagWord* ends[2] = {dag_op(dag_op(cond, 2), 1), dag_op(dag_op(cond, 2), 2)};
        int rel[2];
        for (int k = 0; k < 2; ++k) {
            rel[k] = G_LESS;
            const DagWord* e = ends[k];
            if (dag_type(e) == DAG_FUNCTION && dag_length(e) >= 3 && dag_op(e, 1) &&
                dag_type(dag_op(e, 1)) == DAG_NAME) {
                const char* name = dag_text(dag_op(e, 1));
                int count = 0;
                const DagWord* seq = call_operands(e, &count);
                bool closed = std::strcmp(name, "CLOSED") == 0, open = std::strcmp(name, "OPEN") == 0;
                if ((closed || open) && seq && count == 1) {
                    ends[k] = dag_op(seq, 1);
                    if (closed) rel[k] = G_LESSEQ;
                }
            }
        }
        TypesetNode* n = typeset_node_new(ctx, TS_INTERVAL, level);
        n->source = cond;
        typeset_node_children(ctx, n, 3, 2);
        layout_dag(ctx, ends[0], 0, level, &n->firstArray[0], 0);
        layout_dag(ctx, dag_op(cond, 1), 0, level, &n->firstArray[1], 0);
        layout_dag(ctx, ends[1], 0, level, &n->firstArray[2], 0);
        int x = 0;
        for (int k = 0; k < 3; ++k) {
            n->firstArray[k].x = x;
            x += n->firstArray[k].node->width;
            if (k < 2) {
                n->secondArray[k].node = typeset_glyph(ctx, rel[k], level);
                n->secondArray[k].x = x;
                x += n->secondArray[k].node->width;
            }
        }
        typeset_row_metrics(n);
        n->width = x;
        typeset_flags_from_children(n);
        slot->node = n;
        return n;
    }
    layout_dag(ctx, cond, 0, level, slot, 0);
    return slot->node;
}

}  // namespace

bool layout_matrix_grid(TypesetContext* ctx, TypesetNode* node, const DagWord* list, int level,
                        int* code, bool callPaths) {
    int rows = 0;
    const DagWord* seq = list_elements(list, &rows);
    if (!seq || rows < 1) return false;
    int n = -1;
    for (int i = 1; i <= rows; ++i) {
        int k = 0;
        if (!list_elements(dag_op(seq, std::size_t(i)), &k) || k < 1 || (n >= 0 && k != n)) return false;
        n = k;
    }
    node->type = TS_MATRIX;
    typeset_node_children(ctx, node, rows, 0);
    for (int i = 0; i < rows; ++i) {
        const DagWord* rowDag = dag_op(seq, std::size_t(i) + 1);
        TypesetNode* row = typeset_node_new(ctx, DAG_LIST, level);
        row->source = rowDag;
        TypesetChild* rs = &node->firstArray[i];
        rs->node = row;
        if (ctx->keepPaths) {
            if (callPaths)
                path_record_set(ctx, rs, 2, i + 1);
            else
                path_record_set(ctx, rs, i + 1);
        }
        layout_vector_row(ctx, row, dag_op(rowDag, 1), level);
        typeset_flags_from_children(row);
        row->flags |= TSF_BRACKET;
    }
    matrix_arrange(ctx, node, n, level);
    *code = 0;
    return true;
}

bool layout_matrix_call(TypesetContext* ctx, TypesetNode* node, const DagWord* call, int level, int* code) {
    int count = 0;
    const DagWord* seq = call_operands(call, &count);
    if (!seq || count != 1) return false;
    return layout_matrix_grid(ctx, node, dag_op(seq, 1), level, code, true);
}

bool layout_vector(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level, int* code) {
    const DagWord* list = dag;
    if (dag_type(dag) == DAG_FUNCTION) {
        int count = 0;
        const DagWord* seq = call_operands(dag, &count);
        if (!seq || count != 1) return false;
        list = dag_op(seq, 1);
    }
    int n = 0;
    const DagWord* elements = list_elements(list, &n);
    if (!elements) return false;
    node->type = TS_VECTOR;
    typeset_node_children(ctx, node, 1, 0);
    TypesetNode* inner = typeset_node_new(ctx, DAG_LIST, level);
    inner->source = list;
    node->firstArray[0].node = inner;
    if (ctx->keepPaths) path_record_set(ctx, &node->firstArray[0], list == dag ? 1 : 2);
    if (dag_has_attribute(dag, "column"))
        layout_vector_column(ctx, inner, elements, level);
    else
        layout_vector_row(ctx, inner, elements, level);
    typeset_flags_from_children(inner);
    copy_metrics(node, inner);
    add_brackets(ctx, node, level, '[', ']', true, true);
    *code = 0;
    return true;
}

namespace {

// A LIST whose elements are all EQUATIONs.
const DagWord* equation_list(const DagWord* d, int* count) {
    const DagWord* seq = list_elements(d, count);
    if (!seq) return nullptr;
    for (int i = 1; i <= *count; ++i)
        if (dag_type(dag_op(seq, std::size_t(i))) != DAG_EQUATION) return nullptr;
    return seq;
}

// Shared by table and array calls: head text, optional indexing function, the ranges (arrays),
// then "[", the equations, "]" and ")".  Height and ascent come from all but the equations.
bool layout_table_like(TypesetContext* ctx, TypesetNode* node, int type, const char* headText,
                       const DagWord* function, const DagWord* ranges, const DagWord* equations,
                       int level) {
    int nr = ranges ? int(dag_length(ranges)) - 1 : 0;
    int ne = int(dag_length(equations)) - 1;
    int m3 = metric(ctx, 0, level, 3);
    node->type = type;
    typeset_node_children(ctx, node, 1 + nr + ne, 5 + nr);
    TypesetChild* g = node->secondArray;
    int x = 0;
    g[0].node = text_leaf_new(ctx, headText, STYLE_ROMAN, level, false);
    x += g[0].node->width;
    if (function) {
        layout_dag(ctx, function, 0, level, &node->firstArray[0], 0);
        node->firstArray[0].x = x;
        x += node->firstArray[0].node->width;
        g[1].node = typeset_glyph(ctx, G_COMMA, level);
        g[1].x = x;
        x += g[1].node->width + m3;
    }
    for (int i = 0; i < nr; ++i) {
        TypesetChild* r = &node->firstArray[1 + i];
        layout_dag(ctx, dag_op(ranges, std::size_t(i) + 1), 0, level, r, 0);
        r->x = x;
        x += r->node->width;
        TypesetChild* c = &g[2 + i];
        c->node = typeset_glyph(ctx, G_COMMA, level);
        c->x = x;
        x += c->node->width + m3;
    }
    TypesetChild* open = &g[2 + nr];
    open->node = typeset_glyph(ctx, G_LBRACK, level);
    open->x = x;
    x += open->node->width;
    // Height and ascent without the equations.
    node->firstCount = 1 + nr;
    int savedSecond = node->secondCount;
    node->secondCount = 3 + nr;
    typeset_row_metrics(node);
    int ascent = node->ascent, height = node->height;
    node->firstCount = 1 + nr + ne;
    node->secondCount = savedSecond;
    for (int i = 0; i < ne; ++i) {
        TypesetChild* e = &node->firstArray[1 + nr + i];
        layout_dag(ctx, dag_op(equations, std::size_t(i) + 1), 0, level, e, 0);
        e->x = x;
        e->y = ascent - e->node->ascent;
        x += e->node->width;
    }
    TypesetChild* close = &g[3 + nr];
    close->node = typeset_glyph(ctx, G_RBRACK, level);
    close->x = x;
    close->y = ascent - close->node->ascent;
    x += close->node->width;
    TypesetChild* paren = &g[4 + nr];
    paren->node = typeset_glyph(ctx, G_RPAREN, level);
    paren->x = x;
    paren->y = ascent - paren->node->ascent;
    x += paren->node->width;
    node->width = x;
    node->ascent = ascent;
    node->height = height;
    typeset_flags_from_children(node);
    node->flags |= TSF_BREAK;
    return true;
}

}  // namespace

bool layout_table_call(TypesetContext* ctx, TypesetNode* node, const DagWord* call, int level, int* code) {
    int count = 0;
    const DagWord* seq = call_operands(call, &count);
    if (!seq || count < 1 || count > 2) return false;
    const DagWord* function = count == 2 ? dag_op(seq, 1) : nullptr;
    if (function && dag_type(function) != DAG_NAME) return false;
    int n = 0;
    const DagWord* equations = equation_list(dag_op(seq, std::size_t(count)), &n);
    if (!equations) return false;
    layout_table_like(ctx, node, TS_TABLE, "table(", function, nullptr, equations, level);
    *code = 0;
    return true;
}

bool layout_array_call(TypesetContext* ctx, TypesetNode* node, const DagWord* call, int level, int* code) {
    int count = 0;
    const DagWord* seq = call_operands(call, &count);
    if (!seq || count < 2 || count > 3) return false;
    const DagWord* function = count == 3 ? dag_op(seq, 1) : nullptr;
    if (function && dag_type(function) != DAG_NAME) return false;
    int nr = 0, ne = 0;
    const DagWord* ranges = list_elements(dag_op(seq, std::size_t(count) - 1), &nr);
    if (!ranges) return false;
    for (int i = 1; i <= nr; ++i) {
        const DagWord* r = dag_op(ranges, std::size_t(i));
        if (dag_type(r) != DAG_RANGE || dag_length(r) != 3 || !dag_op(r, 1) || !dag_op(r, 2) ||
            !dag_is_integer(dag_op(r, 1)) || !dag_is_integer(dag_op(r, 2)))
            return false;
    }
    const DagWord* equations = equation_list(dag_op(seq, std::size_t(count)), &ne);
    if (!equations) return false;
    layout_table_like(ctx, node, TS_ARRAY, "array(", function, ranges, equations, level);
    *code = 0;
    return true;
}

bool layout_piecewise(TypesetContext* ctx, TypesetNode* node, const DagWord* call, int level, int* code) {
    int count = 0;
    const DagWord* seq = call_operands(call, &count);
    if (!seq || count < 1) return false;
    for (int i = 1; i <= count; ++i) {
        int k = 0;
        if (!list_elements(dag_op(seq, std::size_t(i)), &k) || k != 2) return false;
    }
    int m3 = metric(ctx, 0, level, 3), m4 = metric(ctx, 0, level, 4);
    node->type = TS_PIECEWISE;
    typeset_node_children(ctx, node, count, 1);
    int b = 0, c = 0;
    for (int i = 0; i < count; ++i) {
        const DagWord* pair = dag_op(dag_op(seq, std::size_t(i) + 1), 1);
        TypesetNode* piece = typeset_node_new(ctx, TS_PIECE, level);
        piece->source = dag_op(seq, std::size_t(i) + 1);
        node->firstArray[i].node = piece;
        if (ctx->keepPaths) path_record_set(ctx, &node->firstArray[i], 2, i + 1);
        typeset_node_children(ctx, piece, 2, 0);
        layout_dag(ctx, dag_op(pair, 1), 0, level, &piece->firstArray[0], 0);
        layout_piecewise_condition(ctx, dag_op(pair, 2), level, &piece->firstArray[1]);
        if (piece->firstArray[0].node->width > b) b = piece->firstArray[0].node->width;
        if (piece->firstArray[1].node->width > c) c = piece->firstArray[1].node->width;
    }
    int height = 0;
    if (b + 8 * m4 + c > ctx->partLimit) {
        // Comma-separated lines side by side; the line breaker stacks them.
        int x = 0;
        for (int i = 0; i < count; ++i) {
            TypesetChild* ps = &node->firstArray[i];
            TypesetNode* piece = ps->node;
            piece->secondCount = 1;
            piece->secondArray = typeset_children_alloc(ctx, 1);
            TypesetChild* comma = &piece->secondArray[0];
            comma->node = typeset_glyph(ctx, G_COMMA, level);
            comma->x = piece->firstArray[0].node->width + m4;
            piece->firstArray[1].x = comma->x + comma->node->width + m3;
            typeset_row_metrics(piece);
            piece->width = piece->firstArray[1].x + piece->firstArray[1].node->width;
            ps->x = x;
            x += piece->width;
            if (piece->height > height) height = piece->height;
        }
        for (int i = 0; i < count; ++i) node->firstArray[i].y = 0;
        node->width = x;
        node->flags |= TSF_BREAK;
    } else {
        int y = 0;
        for (int i = 0; i < count; ++i) {
            TypesetChild* ps = &node->firstArray[i];
            TypesetNode* piece = ps->node;
            TypesetChild* v = &piece->firstArray[0];
            TypesetChild* k = &piece->firstArray[1];
            int a = v->node->ascent > k->node->ascent ? v->node->ascent : k->node->ascent;
            int dv = v->node->height - v->node->ascent, dk = k->node->height - k->node->ascent;
            v->x = (b - v->node->width) / 2;
            v->y = a - v->node->ascent;
            k->x = b + 8 * m4 + (c - k->node->width) / 2;
            k->y = a - k->node->ascent;
            piece->width = b + 8 * m4 + c;
            piece->ascent = a;
            piece->height = a + (dv > dk ? dv : dk);
            if (i > 0) y += ctx->lineGap;
            ps->x = 0;
            ps->y = y;
            y += piece->height;
        }
        height = y;
        node->width = b + 8 * m4 + c;
        node->flags |= TSF_ATOMIC;
    }
    for (int i = 0; i < count; ++i) {
        typeset_flags_from_children(node->firstArray[i].node);
        node->firstArray[i].node->flags |= TSF_BRACKET;
    }
    node->height = height;
    node->ascent = ceil_half(height);
    int least = ctx->device->symbolKind(ctx, G_SLBRACE, level);
    bool stretch = height >= metric(ctx, 0, level, 11) + metric(ctx, 0, level, 0) && height >= least;
    TypesetNode* brace = typeset_glyph(ctx, stretch ? G_SLBRACE : G_LBRACE, level);
    if (stretch) ctx->device->sizeSymbol(ctx, brace, level, height);
    node->secondArray[0].node = brace;
    node->secondArray[0].x = 0;
    node->secondArray[0].y = node->ascent - brace->ascent;
    int shift = brace->width + m3;
    for (int i = 0; i < count; ++i) node->firstArray[i].x += shift;
    node->width += shift;
    *code = BIND_SUM;
    return true;
}
