// Two-dimensional character text of whole expressions (the character-cell device and
// render_text_2d), its return codes, and the limits on very deep and very wide expressions.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "dag_build.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"
#include "tests/support/named_rows.h"

using namespace tb;

namespace {

using kelvo_test::PrintTo;

struct Case {
    const char* name;
    std::function<Dag()> build;
    std::function<void(LayoutOptions&)> tweak;   // may be empty
    const char* expected;
};

LayoutOptions narrow_options(int width) {
    LayoutOptions o;
    layout_options_init(1, &o, nullptr);
    o.pageWidth = width;
    return o;
}

Dag x() { return N("x"); }
Dag y() { return N("y"); }
Dag sum2(Dag a, Dag ca, Dag b, Dag cb) { return Sum({{a, ca}, {b, cb}}); }

const Case kCases[] = {
    {"fraction_built_up", [] { return Prod({{x(), I(1)}, {sum2(y(), I(1), I(1), I(1)), I(-1)}}); }, {},
     "                   x\n                 -----\n                 y + 1\n"},
    {"fraction_one_char_inline", [] { return Prod({{x(), I(1)}, {y(), I(-1)}}); }, {},
     "                  x/y\n"},
    {"fraction_numerator_one", [] { return Prod({{I(1), I(1)}, {x(), I(-1)}}); }, {},
     "                  1/x\n"},
    {"power", [] { return Pow(x(), I(2)); }, {},
     "                    2\n                   x\n"},
    {"power_of_sum_bracketed", [] { return Pow(sum2(x(), I(1), I(1), I(1)), I(2)); }, {},
     "                       2\n                (x + 1)\n"},
    {"negative_base_bracketed", [] { return Pow(I(-2), x()); }, {},
     "                     x\n                 (-2)\n"},
    {"root_as_half_power", [] { return Prod({{x(), Q(1, 2)}}); }, {},
     "                   1/2\n                  x\n"},
    {"sqrt_call", [] { return Fn("sqrt", {sum2(x(), I(1), I(1), I(1))}); }, {},
     "              sqrt(x + 1)\n"},
    {"sum_with_signs", [] { return Sum({{Pow(x(), I(2)), I(1)}, {x(), I(-2)}, {I(1), I(1)}}); }, {},
     "               2\n              x  - 2 x + 1\n"},
    {"sum_leading_minus", [] { return sum2(x(), I(-1), y(), I(1)); }, {},
     "                 -x + y\n"},
    {"sum_rational_coefficient", [] { return sum2(x(), Q(-1, 2), I(1), I(1)); }, {},
     "              - 1/2 x + 1\n"},
    {"product_juxtaposed", [] { return Prod({{N("a"), I(1)}, {sum2(N("b"), I(1), N("c"), I(1)), I(1)}}); }, {},
     "               a (b + c)\n"},
    {"coefficient_over_product", [] { return sum2(Prod({{x(), I(-1)}, {y(), I(-1)}}), I(3), I(1), I(1)); }, {},
     "                 3\n                --- + 1\n                x y\n"},
    {"series_with_order_term", [] { return Series(x(), {{I(1), 0}, {I(1), 1}, {Q(-1, 2), 2}, {BigO(), 3}}); }, {},
     "                      2      3\n         1 + x - 1/2 x  + O(x )\n"},
    {"series_shifted_point", [] { return Series(sum2(x(), I(1), N("a"), I(-1)), {{I(1), 0}, {I(1), 1}, {BigO(), 2}}); }, {},
     "                             2\n        1 + x - a + O((x - a) )\n"},
    {"rational_stacked", [] { return Q(12, 35); }, {},
     "                   12\n                   --\n                   35\n"},
    {"rational_inline", [] { return Q(1, 3); }, {},
     "                  1/3\n"},
    {"float_point_inside", [] { return F(12345, -2); }, {},
     "                 123.45\n"},
    {"float_trailing_point", [] { return F(123, 2); }, {},
     "                 12300.\n"},
    {"float_leading_zeros", [] { return F(5, -5); }, {},
     "                 .00005\n"},
    {"float_exponent_negative", [] { return F(5, -6); }, {},
     "                     -5\n                .5 10\n"},
    {"float_exponent_positive", [] { return F(15, 9); }, {},
     "                      11\n                .15 10\n"},
    {"float_negative", [] { return F(-25, -1); }, {},
     "                  -2.5\n"},
    {"float_digits_padded", [] { return F(12345, -2); }, [](LayoutOptions& o) { o.floatDigits = 3; },
     "                123.450\n"},
    {"float_digits_cut", [] { return F(12345, -2); }, [](LayoutOptions& o) { o.floatDigits = 1; },
     "                 123.4\n"},
    {"float_big_exponent_word", [] { return dag_new2(DAG_FLOAT, I(7), Big("123456789")); }, {},
     "          Float(7, 123456789)\n"},
    {"long_integer_broken", [] { return Big(std::string(70, '7')); }, {},
     "  7777777777777777777777777777777777\\\n        7777777777777777777777777777\\\n        77777777\n"},
    {"negative_integer", [] { return I(-42); }, {},
     "                  -42\n"},
    {"function_call", [] { return Fn("f", {x(), y()}); }, {},
     "                f(x, y)\n"},
    {"empty_call", [] { return Fn("f", {}); }, {},
     "                  f()\n"},
    {"indexed_name", [] { return Tref(N("a"), {I(1), I(2)}); }, {},
     "                a[1, 2]\n"},
    {"list_and_set", [] { return List({I(1), Set({x(), y()})}); }, {},
     "              [1, {x, y}]\n"},
    {"equation_nested", [] { return Bin(DAG_EQUATION, N("a"), Bin(DAG_EQUATION, N("b"), N("c"))); }, {},
     "              a = (b = c)\n"},
    {"and_or_not", [] { return Bin(DAG_OR, Bin(DAG_AND, N("a"), N("b")), Un(DAG_NOT, Bin(DAG_OR, N("c"), N("d")))); }, {},
     "        a and b or not (c or d)\n"},
    {"range_and_relations", [] { return Seq({Bin(DAG_RANGE, I(1), N("n")), Bin(DAG_LESSEQ, x(), y()), Bin(DAG_INEQUAT, x(), y())}); }, {},
     "         1 .. n, x <= y, x <> y\n"},
    {"neutral_operator", [] { return Fn("&x", {N("a"), N("b")}); }, {},
     "                 a &x b\n"},
    {"string", [] { return S("hello"); }, {},
     "                \"hello\"\n"},
    {"assumed_shown", [] { return sum2(N("x~"), I(1), N("y~"), I(1)); }, {},
     "                x~ + y~\n"},
    {"assumed_dropped", [] { return sum2(N("x~"), I(1), N("y~"), I(1)); }, [](LayoutOptions& o) { o.showAssumed = 0; },
     "                 x + y\n"},
    {"assumed_noted", [] { return Sum({{N("x~"), I(1)}, {N("y~"), I(1)}, {N("z~"), I(1)}}); }, [](LayoutOptions& o) { o.showAssumed = 2; },
     "               x + y + z\n\n       with assumptions on x, y and z\n"},
    {"labels_repeated", [] {
         Dag big = Fn("f", {Sum({{N("alpha"), I(1)}, {N("beta"), I(1)}, {N("gamma"), I(1)}, {N("delta"), I(1)}, {N("epsilon"), I(1)}})});
         return List({big, big, big, big});
     }, [](LayoutOptions& o) { o.labelWidth = 10; },
     "  [%1, %1, %1, %1]\n\n  %1 := f(alpha + beta + gamma + delta\n\n         + epsilon)\n"},
    {"unknown_type_code", [] { Dag d = dag_new(2, 0); d[0] = dag_header(50, 2); d[1] = reinterpret_cast<DagWord>(N("q")); return d; }, {},
     "\n"},   // unprintable: the printer stops before writing anything
    {"long_sum_breaks_before_sign", [] {
         return Sum({{N("aaaaaaaaaa"), I(1)}, {N("bbbbbbbbbb"), I(-1)}, {N("cccccccccc"), I(1)}, {N("dddddddddd"), I(-1)}});
     }, [](LayoutOptions& o) { o.pageWidth = 40; },
     "  aaaaaaaaaa - bbbbbbbbbb + cccccccccc\n\n         - dddddddddd\n"},
};

class Render2d : public ::testing::TestWithParam<Case> {};

TEST_P(Render2d, ExactText) {
    const Case& c = GetParam();
    LayoutOptions o = narrow_options(40);
    if (c.tweak) c.tweak(o);
    int code = -1;
    std::string text = render_text_2d_string(c.build(), &o, &code);
    EXPECT_EQ(code, 0) << c.name;
    EXPECT_EQ(text, c.expected) << c.name << "\n" << text;
}

INSTANTIATE_TEST_SUITE_P(Table, Render2d, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

}  // namespace
