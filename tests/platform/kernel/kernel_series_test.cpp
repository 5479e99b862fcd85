// Taylor series through FLINT: each answer is the series GiNaC's own path gives, printed the
// same; expressions outside the fast path (poles, Puiseux terms, constants such as pi/4 or
// sin(1) in a coefficient, names, floats, polynomials in disguise) are left to GiNaC; large
// orders run in a child that an interrupt ends.

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <ginac/ginac.h>

#include "kkernel_test_support.h"
#include "platform/kernel/kernel_series.h"
#include "tests/support/named_rows.h"

namespace {

using namespace GiNaC;
using namespace kernel_test;

using kelvo_test::PrintTo;

struct SeriesCase {
    const char* name;
    const char* expression;   // in GiNaC's syntax (log, asin, atan, ...), in x, a and y
    const char* point;
    int order;
};

std::string text(const ex& e) {
    std::ostringstream out;
    out << e;
    return out.str();
}

struct Parsed {
    symbol x{"x"}, a{"a"}, y{"y"};
    ex f, point;
    explicit Parsed(const SeriesCase& c) {
        symtab names{{"x", x}, {"a", a}, {"y", y}};
        parser reader(names);
        f = reader(c.expression);
        point = reader(c.point);
    }
};

// Functions, compositions, quotients and powers at 0 and at rational points, at small orders,
// the order 0 and orders where the terms cancel or vanish.
const SeriesCase fastCases[] = {
    {"exp_at_zero", "exp(x)", "0", 8},
    {"log_one_plus_x", "log(1+x)", "0", 7},
    {"geometric", "1/(1-x)", "0", 6},
    {"sin_tan_30", "sin(tan(x))", "0", 30},
    {"sqrt_one_plus_x", "sqrt(1+x)", "0", 6},
    {"cube_root_of_eight_plus_x", "(8+x)^(1/3)", "0", 5},
    {"root_with_negative_exponent", "(4+x)^(-3/2)", "0", 5},
    {"sqrt_at_three", "sqrt(1+x)", "3", 4},
    {"negative_power", "(2+x)^(-3)", "0", 5},
    {"log_at_one", "log(x)", "1", 5},
    {"exp_at_a_half", "exp(x-1/2)", "1/2", 4},
    {"reciprocal_at_minus_three", "1/x", "-3", 2},
    {"quotient_at_minus_two_thirds", "(1+x)/(3+x^2)", "-2/3", 5},
    {"arcsin_times_arctan", "asin(x)*atan(x)", "0", 9},
    {"hyperbolic", "sinh(x)+cosh(x)*tanh(x)", "0", 8},
    {"inverse_hyperbolic", "asinh(x)-atanh(x/2)", "0", 8},
    {"cos_over_one_plus_x_squared", "cos(x)/(1+x^2)", "0", 10},
    {"rational_coefficients", "2/5*sin(x/3)+7/3", "0", 6},
    {"nested_three_deep", "exp(atan(sin(x)))", "0", 9},
    {"log_of_cos", "log(cos(x))", "0", 10},
    {"power_times_function", "x^3*cos(x)", "0", 7},
    {"power_beyond_order", "x^10*sin(x)", "0", 6},
    {"cancelling_terms", "sin(x)-x", "0", 6},
    {"order_zero", "sin(x)", "0", 0},
    {"order_one", "exp(x)", "0", 1},
    {"square_of_sum_with_function", "(1+sin(x))^2", "0", 5},
    {"tan_of_shifted_argument", "tan(x-1)", "1", 6},
    {"sum_of_polynomial_and_function", "x^2+1+tan(x)", "0", 5},
};

class KernelSeriesTest : public ::testing::TestWithParam<SeriesCase> {};

TEST_P(KernelSeriesTest, GivesGinacsSeries) {
    const SeriesCase& c = GetParam();
    Parsed p(c);
    const std::optional<ex> fast = kernel_taylor_series(p.f, p.x, p.point, c.order);
    ASSERT_TRUE(fast.has_value()) << c.expression << " was left to GiNaC";
    const ex expected = p.f.series(p.x == p.point, c.order);
    EXPECT_EQ(text(*fast), text(expected)) << c.expression;
    EXPECT_TRUE(fast->is_equal(expected)) << c.expression;
}

INSTANTIATE_TEST_SUITE_P(Cases, KernelSeriesTest, ::testing::ValuesIn(fastCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Left to GiNaC: a non-rational constant in a coefficient, a pole, a Puiseux term, a root that
// is not rational or has no real branch, names, floats, constants, functions FLINT does not
// compose, polynomials (also in disguise: GiNaC gives them without an order term) and terms
// too sparse to show a term past the order.
const SeriesCase fallbackCases[] = {
    {"arctan_at_one", "atan(x)", "1", 3},
    {"exp_at_one", "exp(x)", "1", 3},
    {"sin_at_one", "sin(x)", "1", 3},
    {"log_at_zero", "log(x)", "0", 3},
    {"log_at_two", "log(x)", "2", 3},
    {"pole", "1/x", "0", 3},
    {"pole_of_a_function", "1/sin(x)", "0", 3},
    {"puiseux", "sqrt(x)", "0", 3},
    {"irrational_root", "sqrt(2+x)", "0", 3},
    {"root_of_a_negative_constant", "sqrt(-1+x)", "0", 3},
    {"symbolic_parameter", "sin(a*x)", "0", 4},
    {"float_coefficient", "sin(0.5*x)", "0", 4},
    {"constant_pi", "sin(Pi*x)", "0", 4},
    {"other_function", "acos(x)", "0", 4},
    {"polynomial", "(1+x)^3", "0", 6},
    {"polynomial_in_disguise", "log(exp(x))", "0", 6},
    {"polynomial_through_inverse", "atan(tan(x))+x^2", "0", 6},
    {"sparse_terms", "exp(x^12)", "0", 3},
    {"symbolic_point", "sin(x)", "y", 3},
};

class KernelSeriesFallbackTest : public ::testing::TestWithParam<SeriesCase> {};

TEST_P(KernelSeriesFallbackTest, IsLeftToGinac) {
    const SeriesCase& c = GetParam();
    Parsed p(c);
    EXPECT_FALSE(kernel_taylor_series(p.f, p.x, p.point, c.order).has_value()) << c.expression;
}

INSTANTIATE_TEST_SUITE_P(Cases, KernelSeriesFallbackTest, ::testing::ValuesIn(fallbackCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Orders past the in-process bound are computed in a child and come back whole.
TEST(KernelSeriesChildTest, LargeOrdersComeBackWhole) {
    const SeriesCase cases[] = {
        {"exp_400", "exp(x)", "0", 400},
        {"geometric_400", "1/(1-x)", "0", 400},
        {"log_at_one_300", "log(x)", "1", 300},
    };
    for (const SeriesCase& c : cases) {
        Parsed p(c);
        const std::optional<ex> fast = kernel_taylor_series(p.f, p.x, p.point, c.order);
        ASSERT_TRUE(fast.has_value()) << c.name;
        EXPECT_TRUE(fast->is_equal(p.f.series(p.x == p.point, c.order))) << c.name;
    }
}

// Through the kernel: the fast path's answers and GiNaC's for the calls left to it, printed.
struct StatementCase {
    const char* name;
    const char* statement;
    const char* printed;
};

const StatementCase statementCases[] = {
    {"sin_tan_coefficient", "coeff(series(sin(tan(x)), x=0, 30), x, 29);",
     "155015924346163216960553093/8841761993739701954543616000000"},
    {"sqrt_at_three", "series(sqrt(1+x), x=3, 3);", "series(2+1/4*(x-3)-1/64*(x-3)^2+O((x-3)^3),x=3,3)"},
    {"arctan_at_one_falls_back", "series(arctan(x), x=1, 3);",
     "series(1/4*Pi+1/2*(x-1)-1/4*(x-1)^2+O((x-1)^3),x=1,3)"},
    // GiNaC's own series put O(1) inside this coefficient: 8/3*(1+1/81*O(1)^2)^(-1/2).
    {"no_order_term_inside_a_coefficient", "series((-16+(1+3*x)^2)/9/sqrt(1+(-16+(1+3*x)^2)^2/81), x=1, 2);",
     "series(8/3*(x-1)+O((x-1)^2),x=1,2)"},
    {"order_term_read_back", "series(series(ln(1+x), x, 4) + sin(x), x, 6);",
     "series(2*x-1/2*x^2+1/6*x^3+O(x^4),x,4)"},
};

class KernelSeriesStatementTest : public KernelTest, public ::testing::WithParamInterface<StatementCase> {};

TEST_P(KernelSeriesStatementTest, Prints) {
    const StatementCase& c = GetParam();
    Recorder rec = run(c.statement);
    EXPECT_EQ(rec.printed("RESULT"), c.printed) << c.statement;
    EXPECT_EQ(rec.first("ERROR"), "<none>") << c.statement;
}

INSTANTIATE_TEST_SUITE_P(Cases, KernelSeriesStatementTest, ::testing::ValuesIn(statementCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A series of a high order runs in a child: an interrupt ends it, and the kernel goes on.
TEST_F(KernelTest, InterruptAbandonsALongSeries) {
    Recorder rec;
    rec.interruptAfterPolls = 1;
    rec = run("series(sin(tan(x)), x, 4000):", rec);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"INTR", "DONE"}));
    EXPECT_EQ(run("coeff(series(sin(tan(x)), x, 8), x, 7);").printed("RESULT"), "-55/1008");
}

}  // namespace
