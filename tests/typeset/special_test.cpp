// Two-dimensional forms of special function calls on the character grid and on a fake device.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "dag_build.h"
#include "fake_device.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"
#include "tests/support/named_rows.h"

using namespace tb;

namespace {

using kelvo_test::PrintTo;

struct Case {
    const char* name;
    std::function<Dag()> build;
    const char* expected;
};

Dag f() { return N("f"); }
Dag x() { return N("x"); }
Dag eq(Dag a, Dag b) { return Bin(DAG_EQUATION, a, b); }
Dag range(Dag a, Dag b) { return Bin(DAG_RANGE, a, b); }
// A list carrying an attribute name (matrix, row, column).
Dag marked(Dag list, const char* attribute) {
    Dag d = dag_new(3, DAG_LIST);
    dag_set_op(d, 1, dag_op(list, 1));
    dag_set_op(d, 2, N(attribute));
    return d;
}

const Case kCases[] = {
    {"sum_range", [] { return Fn("sum", {f(), eq(N("k"), range(I(1), N("n")))}); },
     "                  n\n"
     "                -----\n"
     "                \\\n"
     "                 )    f\n"
     "                /\n"
     "                -----\n"
     "                k = 1\n"},
    {"sum_index", [] { return Fn("sum", {f(), N("k")}); },
     "                -----\n"
     "                \\\n"
     "                 )    f\n"
     "                /\n"
     "                -----\n"
     "                  k\n"},
    {"sum_bare", [] { return Fn("sum", {f()}); },
     "                -----\n"
     "                \\\n"
     "                 )    f\n"
     "                /\n"
     "                -----\n"},
    {"sum_nested", [] { return Fn("Sum", {Fn("Sum", {f(), N("i")}), N("j")}); },
     "            ----- /-----  \\\n"
     "            \\     |\\      |\n"
     "             )    | )    f|\n"
     "            /     |/      |\n"
     "            ----- |-----  |\n"
     "              j   \\  i    /\n"},
    {"int_definite", [] { return Fn("int", {f(), eq(x(), range(N("a"), N("b")))}); },
     "                  b\n"
     "                 /\n"
     "                |\n"
     "                |   f dx\n"
     "                |\n"
     "               /\n"
     "                 a\n"},
    {"int_indefinite", [] { return Fn("int", {f(), x()}); },
     "                  /\n"
     "                 |\n"
     "                 |  f dx\n"
     "                 |\n"
     "                /\n"},
    {"diff_mixed", [] { return Fn("diff", {Fn("f", {x(), N("y")}), x(), x(), N("y")}); },
     "                3\n"
     "               d\n"
     "             ------ f(x, y)\n"
     "                  2\n"
     "             dy dx\n"},
    {"diff_dollar", [] { return Fn("diff", {f(), Fn("$", {x(), I(3)})}); },
     "                  3\n"
     "                 d\n"
     "                 --- f\n"
     "                   3\n"
     "                 dx\n"},
    {"limit_right", [] { return Fn("limit", {f(), eq(x(), I(0)), N("right")}); },
     "                 lim    f\n"
     "               x -> 0+\n"},
    {"limit_named", [] { return Fn("limit", {f(), eq(x(), I(0)), N("abcdefghijklmnopqrst")}); },
     "                lim            f\n"
     "       x -> 0,abcdefghijklmno\n"},
    {"eval_point", [] { return Fn("eval", {f(), eq(x(), I(1))}); },
     "                f|\n"
     "                 |x = 1\n"},
    {"abs", [] { return Fn("abs", {x()}); },
     "                 | x |\n"},
    {"conjugate", [] { return Fn("conjugate", {N("z")}); },
     "                   _\n"
     "                   z\n"},
    {"factorial", [] { return Fn("factorial", {N("n")}); },
     "                   n!\n"},
    {"neutral", [] { return Fn("&op", {N("a"), N("b")}); },
     "                a &op b\n"},
    {"compose", [] { return Fn("@", {f(), N("g"), N("h")}); },
     "                 f@g@h\n"},
    {"compose_repeated", [] { return Fn("@@", {f(), I(3)}); },
     "                   (3)\n"
     "                  f\n"},
    {"exp_call", [] { return Fn("exp", {x()}); },
     "                 exp(x)\n"},
    {"sqrt_call", [] { return Fn("sqrt", {x()}); },
     "                sqrt(x)\n"},
    {"diff_number", [] { return Fn("diff", {f(), I(2)}); },
     "               diff(f, 2)\n"},
    {"neutral_one", [] { return Fn("&op", {N("a")}); },
     "                 &op(a)\n"},
    {"neutral_three", [] { return Fn("&op", {N("a"), N("b"), N("c")}); },
     "              &op(a, b, c)\n"},
    {"mod_infix", [] { return Fn("mod", {N("a"), N("b")}); },
     "                a mod b\n"},
    {"anglebracket", [] { return Fn("anglebracket", {N("a"), N("b")}); },
     "                < a, b >\n"},
    {"matrix_integers", [] { return Fn("matrix", {List({List({I(1), I(-20)}), List({I(300), I(4)})})}); },
     "              [  1    -20]\n"
     "              [          ]\n"
     "              [300      4]\n"},
    {"matrix_spread", [] { return Fn("matrix", {List({List({N("aaaaaaaaaaaaaaaaaa"), N("b")}), List({N("c"), N("dddddddddddddddddd")}), List({N("e"), N("f")})})}); },
     "        [aaaaaaaaaaaaaaaaaa , b]\n"
     "        [                      ]\n"
     "        [c , dddddddddddddddddd]\n"
     "        [                      ]\n"
     "        [e ,                  f]\n"},
    {"matrix_rows", [] { return Fn("matrix", {List({List({N("aaaaaaaaaaaa"), N("bbbbbbbbbbbb")}), List({N("c"), N("d")})})}); },
     "        [aaaaaaaaaaaa , bbbbbbbbbbbb]\n"
     "\n"
     "        [c , d]\n"},
    {"matrix_unequal", [] { return Fn("matrix", {List({List({I(1), I(2)}), List({I(3)})})}); },
     "         matrix([[1, 2], [3]])\n"},
    {"vector_column", [] { return marked(List({N("a"), N("bbb"), N("c")}), "column"); },
     "                 [ a ]\n"
     "                 [   ]\n"
     "                 [bbb]\n"
     "                 [   ]\n"
     "                 [ c ]\n"},
    {"vector_row_call", [] { return Fn("vector", {List({N("a"), N("b")})}); },
     "                [a    b]\n"},
    {"table_call", [] { return Fn("TABLE", {List({eq(N("a"), I(1)), eq(N("b"), I(2))})}); },
     "  table([\n"
     "\n"
     "        a = 1\n"
     "\n"
     "        b = 2\n"
     "\n"
     "        ])\n"},
    {"array_call", [] { return Fn("ARRAY", {List({range(I(1), I(2))}), List({eq(Tref(N("A"), {I(1)}), I(5))})}); },
     "  array(1 .. 2, [\n"
     "\n"
     "        A[1] = 5\n"
     "\n"
     "        ])\n"},
    {"piecewise", [] { return Fn("PIECEWISE", {List({I(1), eq(x(), range(N("a"), Fn("CLOSED", {N("b")})))}), List({I(0), N("otherwise")})}); },
     "         { 1        a < x <= b\n"
     "         {\n"
     "         { 0        otherwise\n"},
    {"diff_huge_count", [] { return Fn("diff", {f(), Fn("$", {x(), Big("100000000000000000000")})}); },
     "   diff(f, x $ 100000000000000000000)\n"},
};

class SpecialRender : public ::testing::TestWithParam<Case> {};

TEST_P(SpecialRender, ExactText) {
    const Case& c = GetParam();
    LayoutOptions o;
    layout_options_init(1, &o, nullptr);
    o.pageWidth = 40;
    int code = -1;
    std::string text = render_text_2d_string(c.build(), &o, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, c.expected) << text;
}

INSTANTIATE_TEST_SUITE_P(Table, SpecialRender, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// ---- on the fake device ----------------------------------------------------------------------

constexpr int kCallNode = 54;   // a call shown in a special form
constexpr int kSumSign = 205, kProdSign = 206, kIntegralSign = 200, kEvalBar = 210, kPartialD = 157;

TEST(SpecialFake, ExpOfOneIsTheLetterAlone) {
    FakeDevice dev;
    ASSERT_EQ(dev.run(Fn("exp", {I(1)})), 0);
    const TypesetNode* n = dev.root();
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->type, 60);
    EXPECT_EQ(n->firstCount, 1);
    ASSERT_EQ(dev.drawsOf("e").size(), 1u);
    EXPECT_EQ(dev.draws().size(), 1u);
}

TEST(SpecialFake, ExpOfXIsASuperscriptOverE) {
    FakeDevice dev;
    ASSERT_EQ(dev.run(Fn("exp", {N("x")})), 0);
    auto e = dev.drawsOf("e");
    auto x = dev.drawsOf("x");
    ASSERT_EQ(e.size(), 1u);
    ASSERT_EQ(x.size(), 1u);
    EXPECT_GT(x[0].x, e[0].x);
    EXPECT_LT(x[0].y, e[0].y);   // raised
}

TEST(SpecialFake, DefiniteIntegralHasNoGapAfterTheSignBox) {
    FakeDevice dev;
    ASSERT_EQ(dev.run(Fn("int", {N("f"), eq(N("x"), range(N("a"), N("b")))})), 0);
    const TypesetNode* n = dev.root();
    ASSERT_EQ(n->type, kCallNode);
    ASSERT_EQ(n->firstCount, 3);
    EXPECT_EQ(n->firstArray[1].x, n->firstArray[0].node->width);
    EXPECT_EQ(n->firstArray[0].node->type, 55);
}

struct InertCase {
    const char* name;
    std::function<Dag()> build;
    int signType;   // the operator symbol, or 0 for a text
    const char* signText;
    bool inert;
};

const InertCase kInertCases[] = {
    {"Int", [] { return Fn("Int", {f(), x()}); }, kIntegralSign, "", true},
    {"int", [] { return Fn("int", {f(), x()}); }, kIntegralSign, "", false},
    {"Sum", [] { return Fn("Sum", {f(), N("k")}); }, kSumSign, "", true},
    {"sum", [] { return Fn("sum", {f(), N("k")}); }, kSumSign, "", false},
    {"Product", [] { return Fn("Product", {f(), N("k")}); }, kProdSign, "", true},
    {"product", [] { return Fn("product", {f(), N("k")}); }, kProdSign, "", false},
    {"Limit", [] { return Fn("Limit", {f(), eq(x(), I(0))}); }, 0, "lim", true},
    {"limit", [] { return Fn("limit", {f(), eq(x(), I(0))}); }, 0, "lim", false},
    {"Diff", [] { return Fn("Diff", {f(), x()}); }, kPartialD, "", true},
    {"diff", [] { return Fn("diff", {f(), x()}); }, kPartialD, "", false},
    {"Eval", [] { return Fn("Eval", {f(), eq(x(), I(1))}); }, kEvalBar, "", true},
    {"eval", [] { return Fn("eval", {f(), eq(x(), I(1))}); }, kEvalBar, "", false},
};

class InertMark : public ::testing::TestWithParam<InertCase> {};

TEST_P(InertMark, ReachesTheDrawCallsOfTheOperatorOnly) {
    const InertCase& c = GetParam();
    FakeDevice dev;
    ASSERT_EQ(dev.run(c.build()), 0);
    auto signs = c.signType ? dev.drawsOfType(c.signType) : dev.drawsOf(c.signText);
    ASSERT_FALSE(signs.empty());
    for (const FakeDraw& d : signs) EXPECT_EQ(d.inverted, c.inert);
    // The operand f is never marked.
    auto fs = dev.drawsOf("f");
    ASSERT_EQ(fs.size(), 1u);
    EXPECT_FALSE(fs[0].inverted);
}

INSTANTIATE_TEST_SUITE_P(Table, InertMark, ::testing::ValuesIn(kInertCases),
                         [](const ::testing::TestParamInfo<InertCase>& i) { return std::string(i.param.name); });

struct DeclineCase {
    const char* name;
    std::function<Dag()> build;
};

// Forms that test their parts against partLimit; with a limit of 1 each shows as a call.
const DeclineCase kNarrowCases[] = {
    {"int_limits", [] { return Fn("int", {f(), eq(x(), range(N("a"), N("b")))}); }},
    {"sum_lower_part", [] { return Fn("sum", {f(), eq(N("k"), range(I(1), N("n")))}); }},
    {"product_index", [] { return Fn("product", {f(), N("k")}); }},
    {"diff_denominator", [] { return Fn("diff", {f(), x()}); }},
    {"limit_line", [] { return Fn("limit", {f(), eq(x(), I(0))}); }},
    {"conjugate_operand", [] { return Fn("conjugate", {N("z")}); }},
    {"sqrt_operand", [] { return Fn("sqrt", {N("z")}); }},
};

class NarrowPartLimit : public ::testing::TestWithParam<DeclineCase> {};

TEST_P(NarrowPartLimit, LayoutDeclinesToAnOrdinaryCall) {
    const DeclineCase& c = GetParam();
    FakeDevice wide;
    ASSERT_EQ(wide.run(c.build()), 0);
    EXPECT_NE(wide.root()->type, DAG_FUNCTION);
    FakeDevice narrow;
    ASSERT_EQ(narrow.run(c.build(), 200, 1), 0);
    EXPECT_EQ(narrow.root()->type, DAG_FUNCTION);
    EXPECT_EQ(narrow.drawsOfType(G_LPAREN).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, NarrowPartLimit, ::testing::ValuesIn(kNarrowCases),
                         [](const ::testing::TestParamInfo<DeclineCase>& i) { return std::string(i.param.name); });

TEST(NarrowPartLimit, RowsAndColumnsTakeTheirNarrowForms) {
    FakeDevice dev;
    // A matrix: bracketed rows that the line breaker puts on lines of their own.
    ASSERT_EQ(dev.run(Fn("matrix", {List({List({I(1), I(2)}), List({I(3), I(4)})})}), 200, 1), 0);
    ASSERT_EQ(dev.root()->type, TS_MATRIX);
    EXPECT_TRUE(dev.root()->flags & TSF_BREAK);
    EXPECT_EQ(dev.context()->lines->count, 2);
    // A column vector: a row.
    ASSERT_EQ(dev.run(marked(List({N("a"), N("b")}), "column"), 200, 1), 0);
    const TypesetNode* inner = dev.root()->firstArray[0].node;
    EXPECT_EQ(inner->firstArray[0].y, inner->firstArray[1].y);
    EXPECT_EQ(dev.drawsOfType(G_COMMA).size(), 1u);
    ASSERT_EQ(dev.run(marked(List({N("a"), N("b")}), "column")), 0);
    inner = dev.root()->firstArray[0].node;
    EXPECT_LT(inner->firstArray[0].y, inner->firstArray[1].y);
    // A piecewise definition: comma-separated lines after the brace.
    Dag pw = Fn("PIECEWISE", {List({I(1), N("c")}), List({I(0), N("otherwise")})});
    ASSERT_EQ(dev.run(pw, 200, 1), 0);
    EXPECT_TRUE(dev.root()->flags & TSF_BREAK);
    EXPECT_EQ(dev.drawsOfType(G_COMMA).size(), 2u);
    EXPECT_EQ(dev.context()->lines->count, 2);
    ASSERT_EQ(dev.run(pw), 0);
    EXPECT_TRUE(dev.root()->flags & TSF_ATOMIC);
    EXPECT_EQ(dev.drawsOfType(G_COMMA).size(), 0u);
}

// ---- derivative counts -------------------------------------------------------------------------

TEST(DerivativeCounts, CountsThatDoNotFitShowAnOrdinaryCall) {
    const Dag shapes[] = {
        Fn("diff", {f(), Fn("$", {x(), Big("100000000000000000000")})}),
        Fn("diff", {f(), Fn("$", {x(), I(2000000000)}), Fn("$", {N("y"), I(2000000000)})}),
        Fn("diff", {f(), Fn("$", {x(), I(0)})}),
        Fn("diff", {f(), Fn("$", {x(), I(-2)})}),
    };
    for (Dag d : shapes) {
        FakeDevice dev;
        ASSERT_EQ(dev.run(d), 0);
        EXPECT_EQ(dev.root()->type, DAG_FUNCTION);
    }
}

TEST(DerivativeCounts, ListsAndNestedCallsAreCollected) {
    // diff(diff(f, y), [x, x]) is d^3 f / (d x^2 d y).
    LayoutOptions o;
    layout_options_init(1, &o, nullptr);
    o.pageWidth = 40;
    int code = -1;
    std::string text = render_text_2d_string(
        Fn("diff", {Fn("diff", {f(), N("y")}), List({x(), x()})}), &o, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text,
              "                   3\n"
              "                  d\n"
              "                ------ f\n"
              "                  2\n"
              "                dx  dy\n");
}

TEST(SpecialLookup, CallOfSpecialFormBecomesTypeFiftyFour) {
    FakeDevice dev;
    ASSERT_EQ(dev.run(Fn("abs", {x()})), 0);
    EXPECT_EQ(dev.root()->type, kCallNode);
    ASSERT_EQ(dev.run(Fn("absolute", {x()})), 0);
    EXPECT_EQ(dev.root()->type, DAG_FUNCTION);
}

}  // namespace
