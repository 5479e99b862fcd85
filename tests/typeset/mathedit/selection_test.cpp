// Typeset selection on the fixed-metric fake device with operand paths kept: points to
// positions, caret steps, operand ranges and their rectangles, and the selected part as text.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../dag_build.h"
#include "../fake_device.h"
#include "tovu/print.h"
#include "typeset/mathedit/selection.h"

using namespace tb;

namespace {

struct PathFree {
    TypesetContext* ctx;
    void operator()(TypesetPath* p) const { typeset_path_free(ctx, p); }
};
using Path = std::unique_ptr<TypesetPath, PathFree>;

struct CursorFree {
    void operator()(NodeCursor* c) const { node_cursor_free(c); }
};
using Cursor = std::unique_ptr<NodeCursor, CursorFree>;

struct TextFree {
    void operator()(char* t) const { std::free(t); }
};

std::vector<int> indices(const NodeCursor* c) {
    std::vector<int> v;
    for (int i = 0; i < c->path->count; ++i) v.push_back(int_stack_get(c->path, i));
    return v;
}

// Position of a child slot's node in tree coordinates, found by its text.
bool find_text(const TypesetNode* n, const char* text, int x, int y, int* ox, int* oy) {
    if (!n) return false;
    if (typeset_is_text_type(n->type) && n->text && std::string(n->text) == text) {
        *ox = x;
        *oy = y;
        return true;
    }
    if (!typeset_is_composite_type(n->type)) return false;
    for (int i = 0; i < n->firstCount; ++i) {
        const TypesetChild& c = n->firstArray[i];
        if (find_text(c.node, text, x + c.x, y + c.y, ox, oy)) return true;
    }
    return false;
}

class Selection : public ::testing::Test {
protected:
    void lay(Dag expression, bool keepPaths = true) {
        dev.setKeepPaths(keepPaths);
        ASSERT_EQ(dev.run(Seq({expression})), 0);
        ctx = dev.context();
    }
    // A position at tree point (x, y), given through line n's coordinates.
    Path at(int treeX, int treeY, int n = 0) {
        int x = 0, y = 0;
        EXPECT_TRUE(typeset_tree_to_line(ctx, n, treeX, treeY, &x, &y));
        return Path(typeset_find_at_point(ctx, nullptr, n, x, y, true), PathFree{ctx});
    }
    // Positions at the start and at the end of the leaf showing `text`.
    Path start_of(const char* text) {
        int x = 0, y = 0;
        EXPECT_TRUE(find_text(dev.root(), text, 0, 0, &x, &y)) << text;
        return at(x, y + 1);
    }
    Path end_of(const char* text) {
        int x = 0, y = 0;
        EXPECT_TRUE(find_text(dev.root(), text, 0, 0, &x, &y)) << text;
        return at(x + 2 * int(std::string(text).size()) - 1, y + 1);
    }
    Cursor select(const Path& p, const Path& q) {
        Cursor c(node_cursor_new());
        typeset_select_range(ctx, p.get(), q.get(), c.get());
        return c;
    }
    std::string linear() {
        std::unique_ptr<char, TextFree> t(render_linear_text(ctx));
        return t ? std::string(t.get()) : std::string("<null>");
    }
    const TypesetPath* last(const Path& p) { return typeset_path_last(p.get()); }

    FakeDevice dev;
    TypesetContext* ctx = nullptr;
};

Dag a_minus_b() { return Sum({{N("a"), I(1)}, {N("b"), I(-1)}}); }

// ---- points to positions ------------------------------------------------------------------------

TEST_F(Selection, ClickLeftOfTheIndentationActsAsAtTheIndentation) {
    lay(a_minus_b());
    const TypesetLine& line = ctx->lines->lines[0];
    ASSERT_GT(line.x, 0);
    Path left(typeset_find_at_point(ctx, nullptr, 0, 0, 1, false), PathFree{ctx});
    Path atIndent(typeset_find_at_point(ctx, nullptr, 0, line.x, 1, false), PathFree{ctx});
    const TypesetPath* p = left.get();
    const TypesetPath* q = atIndent.get();
    for (; p && q; p = p->next, q = q->next) {
        EXPECT_EQ(p->node, q->node);
        EXPECT_EQ(p->index, q->index);
        EXPECT_EQ(p->word, q->word);
        EXPECT_EQ(p->leaf, q->leaf);
    }
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(q, nullptr);
}

TEST_F(Selection, GlyphAndCharacterHalves) {
    lay(a_minus_b());
    // The minus sign stands between a (x 0..1) and b; find it in the sum's second array.
    const TypesetNode* sum = dev.root()->firstArray[0].node;
    const TypesetChild* minus = nullptr;
    for (int i = 0; i < sum->secondCount; ++i)
        if (sum->secondArray[i].node && sum->secondArray[i].node->type == G_MINUS) minus = &sum->secondArray[i];
    ASSERT_NE(minus, nullptr);
    struct Row { int dx; int offset; };
    for (Row r : {Row{0, 0}, Row{1, 1}}) {
        Path p = at(minus->x + r.dx, minus->y + 1);
        ASSERT_TRUE(last(p)->leaf);
        EXPECT_EQ(last(p)->node->type, G_MINUS);
        EXPECT_EQ(last(p)->index, r.offset) << r.dx;
    }
    // In a text leaf: the character boundary nearest to the point.
    Path before = start_of("a");
    Path after = end_of("a");
    EXPECT_EQ(last(before)->index, 0);
    EXPECT_EQ(last(after)->index, 1);
    EXPECT_EQ(last(after)->word, 2);
}

TEST_F(Selection, StepsVisitEveryLeafAndNeverAGlyph) {
    lay(Fn("f", {N("x"), N("y"), a_minus_b()}));
    Path p = start_of("f");
    std::vector<std::string> forward{last(p)->node->text};
    for (;;) {
        Path next(typeset_step(ctx, p.get(), 2), PathFree{ctx});
        if (!next) break;
        const TypesetPath* e = last(next);
        ASSERT_TRUE(e->leaf);
        ASSERT_FALSE(typeset_is_glyph_type(e->node->type));
        forward.push_back(e->node->text ? e->node->text : "");
        p = std::move(next);
    }
    EXPECT_EQ(forward, (std::vector<std::string>{"f", "x", "y", "a", "b"}));
    // From the last leaf there is no step forward; backward retraces the leaves.
    EXPECT_EQ(Path(typeset_step(ctx, p.get(), 2), PathFree{ctx}), nullptr);
    std::vector<std::string> backward{last(p)->node->text};
    for (;;) {
        Path prev(typeset_step(ctx, p.get(), 0), PathFree{ctx});
        if (!prev) break;
        backward.push_back(last(prev)->node->text);
        p = std::move(prev);
    }
    EXPECT_EQ(backward, (std::vector<std::string>{"b", "a", "y", "x", "f"}));
}

TEST_F(Selection, LineAtXFindsTheSliceOrNothing) {
    Dag loc = dag_new(2, DAG_LOCAL);
    loc[1] = 1;
    Dag p = dag_new(9, DAG_PROC);
    Dag ops[] = {Seq({N("x")}), Seq({N("t")}), Seq({}), dag_NULL, Fn("f", {loc}), Seq({}), Seq({}), Seq({})};
    for (int i = 0; i < 8; ++i) dag_set_op(p, std::size_t(i) + 1, ops[i]);
    lay(p);
    ASSERT_GT(ctx->lines->count, 1);
    for (int i = 0; i < ctx->lines->count; ++i) {
        const TypesetLine& l = ctx->lines->lines[i];
        EXPECT_EQ(typeset_line_at_x(ctx, l.startX + l.left), i);
        // A point of the line maps to the tree and back unchanged.
        int tx, ty, x, y;
        ASSERT_TRUE(typeset_line_to_tree(ctx, i, l.x + 1, 1, &tx, &ty));
        ASSERT_TRUE(typeset_tree_to_line(ctx, i, tx, ty, &x, &y));
        EXPECT_EQ(x, l.x + 1);
        EXPECT_EQ(y, 1);
    }
    EXPECT_EQ(typeset_line_at_x(ctx, dev.root()->width + 100), -1);
    EXPECT_EQ(typeset_line_at_x(ctx, -100), -1);
    // The LOCAL selected inside the listing is written by its name.
    Path q = start_of("t");
    Path r = end_of("t");
    // The second "t" is the use in f(t): the first is the locals' declaration.
    int tx = 0, ty = 0;
    const TypesetNode* call = nullptr;
    const TypesetNode* procNode = dev.root()->firstArray[0].node;
    for (int i = 0; i < procNode->firstCount; ++i)
        if (procNode->firstArray[i].node && procNode->firstArray[i].node->type == DAG_FUNCTION) {
            call = procNode->firstArray[i].node;
            tx = procNode->firstArray[i].x;
            ty = procNode->firstArray[i].y;
        }
    ASSERT_NE(call, nullptr);
    int lx = 0, ly = 0;
    ASSERT_TRUE(find_text(call, "t", tx, ty, &lx, &ly));
    int n = typeset_line_at_x(ctx, lx);
    ASSERT_GE(n, 0);
    Path u = at(lx, ly + 1, n);
    Path v = at(lx + 1, ly + 1, n);
    typeset_select_range(ctx, u.get(), v.get(), nullptr);
    EXPECT_TRUE(ctx->selectionShown);
    EXPECT_EQ(linear(), "t");
}

// ---- operand ranges -----------------------------------------------------------------------------

TEST_F(Selection, IdenticalPositionsGiveACaretAndNoPathsGiveTheWhole) {
    lay(a_minus_b());
    Path p = start_of("b");
    Path q = start_of("b");
    Cursor c = select(p, q);
    EXPECT_EQ(c->selected, 0);
    lay(a_minus_b(), false);
    ASSERT_EQ(ctx->pathsAbsent, 1);
    Path r = start_of("a");
    Path s = end_of("a");
    c = select(r, s);
    EXPECT_EQ(c->selected, 1);
    EXPECT_TRUE(indices(c.get()).empty());
    EXPECT_EQ(c->first, 1);
    EXPECT_EQ(c->last, 1);
    EXPECT_TRUE(ctx->selectionShown);
    EXPECT_EQ(ctx->selLeft, 0);
    EXPECT_EQ(ctx->selWidth, dev.root()->width);
}

TEST_F(Selection, FromNumeratorIntoDenominatorSelectsTheWholeQuotient) {
    lay(Prod({{N("a"), I(1)}, {N("b"), I(-1)}}));
    Path p = start_of("a");
    Path q = end_of("b");
    Cursor c = select(p, q);
    EXPECT_EQ(c->selected, 1);
    EXPECT_EQ(indices(c.get()), std::vector<int>{1});
    EXPECT_EQ(c->first, 1);
    EXPECT_EQ(c->last, 4);
}

TEST_F(Selection, TermWithMinusSignStartsAtTheSign) {
    lay(a_minus_b());
    Path p = start_of("b");
    Path q = end_of("b");
    Cursor c = select(p, q);
    EXPECT_EQ(indices(c.get()), std::vector<int>{1});
    EXPECT_EQ(c->first, 3);
    EXPECT_EQ(c->last, 4);
    int bx = 0, by = 0;
    ASSERT_TRUE(find_text(dev.root(), "b", 0, 0, &bx, &by));
    const TypesetNode* sum = dev.root()->firstArray[0].node;
    int signX = -1;
    for (int i = 0; i < sum->secondCount; ++i)
        if (sum->secondArray[i].node && sum->secondArray[i].node->type == G_MINUS) signX = sum->secondArray[i].x;
    ASSERT_TRUE(ctx->selectionShown);
    EXPECT_EQ(ctx->selLeft, signX);
    EXPECT_EQ(ctx->selLeft + ctx->selWidth, bx + 2);
}

TEST_F(Selection, PositionsPartingInsideSignBoxOrPiecewiseMakeNoRangeThere) {
    struct Row {
        const char* name;
        Dag expression;
        const char* from;
        const char* to;
    };
    const Row rows[] = {
        {"summation bounds", Fn("sum", {N("f"), Bin(DAG_EQUATION, N("k"), Bin(DAG_RANGE, I(1), N("n")))}), "k", "n"},
        {"piecewise parts", Fn("PIECEWISE", {List({N("a"), Bin(DAG_LESSTHAN, N("x"), I(0))}),
                                             List({N("b"), N("otherwise")})}), "a", "x"},
    };
    for (const Row& r : rows) {
        lay(r.expression);
        Path p = start_of(r.from);
        Path q = end_of(r.to);
        Cursor c = select(p, q);
        // No range inside: the call itself, the root sequence's only operand.
        EXPECT_TRUE(indices(c.get()).empty()) << r.name;
        EXPECT_EQ(c->first, 1) << r.name;
        EXPECT_EQ(c->last, 1) << r.name;
    }
}

// ---- linear text ---------------------------------------------------------------------------------

TEST_F(Selection, LinearTextOfSelections) {
    lay(Prod({{I(2), I(1)}, {N("x"), I(1)}}));
    Path p = start_of("2");
    Path q = end_of("x");
    Cursor c = select(p, q);
    EXPECT_EQ(linear(), "2*x");

    // A square root shown as a radical: the radicand followed by ^(1/2).
    lay(Prod({{N("x"), Q(1, 2)}, {N("y"), I(1)}}));
    ASSERT_EQ(dev.root()->firstArray[0].node->firstArray[0].node->type, DAG_POWER);
    p = start_of("x");
    q = end_of("x");
    c = select(p, q);
    EXPECT_EQ(indices(c.get()), std::vector<int>{1});
    EXPECT_EQ(c->first, 1);
    EXPECT_EQ(c->last, 1);
    EXPECT_EQ(linear(), "x^(1/2)");

    // The whole expression: its one-line print.
    Dag whole = Fn("f", {a_minus_b(), Prod({{N("a"), I(1)}, {N("b"), I(-1)}})});
    lay(whole);
    c.reset(node_cursor_new());
    c->selected = 1;
    c->first = 1;
    c->last = 1;
    ASSERT_TRUE(typeset_show_selection(ctx, c.get()));
    EXPECT_EQ(linear(), print_to_text(Seq({whole})));
    typeset_clear_selection(ctx);
    EXPECT_EQ(linear(), "");
}

}  // namespace
