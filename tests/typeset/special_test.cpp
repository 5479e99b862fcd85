// Two-dimensional forms of special function calls on the character grid and on a fake device.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "dag_build.h"
#include "fake_device.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

using namespace tb;

namespace {

struct Case {
    const char* name;
    std::function<Dag()> build;
    const char* expected;
};

Dag f() { return N("f"); }
Dag x() { return N("x"); }
Dag eq(Dag a, Dag b) { return Bin(DAG_EQUATION, a, b); }
Dag range(Dag a, Dag b) { return Bin(DAG_RANGE, a, b); }

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
