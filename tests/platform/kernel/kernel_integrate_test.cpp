// Indefinite integrals of a first calculus course: every answer must differentiate back to its
// integrand (checked here independently, numerically at two points to 30 digits), integrands
// without an elementary antiderivative stay unevaluated, and derivatives of unevaluated
// integrals follow d/dx int(f, x) = f.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kkernel_test_support.h"
#include "tests/support/named_rows.h"

namespace {

using namespace kernel_test;

using kelvo_test::PrintTo;

struct Integrand {
    const char* name;
    const char* f;   // in x
};

class KernelIntegrateTest : public KernelTest, public ::testing::WithParamInterface<Integrand> {};

TEST_P(KernelIntegrateTest, AnswerDifferentiatesBackToTheIntegrand) {
    const std::string f = GetParam().f;
    std::string answer = run("int(" + f + ", x);").printed("RESULT");
    ASSERT_NE(answer.rfind("int(", 0), 0u) << f << " came back unevaluated";
    run("F := int(" + f + ", x):");
    for (const char* point : {"0.37", "0.71"}) {
        std::string residual =
            run(std::string("evalf(abs(subs(x=") + point + ", diff(F, x) - (" + f + "))), 30);").printed("RESULT");
        char* end = nullptr;
        double r = std::strtod(residual.c_str(), &end);
        ASSERT_NE(end, residual.c_str()) << f << ": residual " << residual;
        EXPECT_LT(r, 1e-20) << f << " at x = " << point << ": antiderivative " << answer;
    }
}

const Integrand integrands[] = {
    // by parts
    {"x_exp", "x*exp(x)"},
    {"x5_exp_sin", "x^5*exp(x)*sin(x)"},
    {"x2_sin", "x^2*sin(x)"},
    {"x_cos_2x", "x*cos(2*x)"},
    {"x3_exp_minus_x", "x^3*exp(-x)"},
    {"x_sinh", "x*sinh(x)"},
    {"x2_cosh_3x", "x^2*cosh(3*x)"},
    {"exp_sin", "exp(x)*sin(x)"},
    {"exp_2x_cos_3x", "exp(2*x)*cos(3*x)"},
    {"x_exp_cos", "x*exp(x)*cos(x)"},
    {"ln", "ln(x)"},
    {"x_ln", "x*ln(x)"},
    {"x2_ln_2x_plus_1", "x^2*ln(2*x+1)"},
    {"arctan", "arctan(x)"},
    {"x_arctan", "x*arctan(x)"},
    {"arcsin", "arcsin(x)"},
    // partial fractions
    {"difference_of_squares", "1/(x^2-1)"},
    {"arctangent", "1/(x^2+1)"},
    {"completed_square", "1/(x^2+x+1)"},
    {"improper_fraction", "(x^3+1)/(x^2-4)"},
    {"three_linear_factors", "1/(x^3-x)"},
    {"repeated_quadratic", "1/(x^2+1)^2"},
    {"repeated_linear", "1/((x-1)^2*(x+2))"},
    {"linear_over_quadratic", "(3*x+5)/(x^2+2*x+5)"},
    {"mixed_factors", "(x^2+1)/((x-1)*(x^2+4))"},
    {"irrational_roots", "1/(x^2-2)"},
    // substitution
    {"cos_of_square", "2*x*cos(x^2)"},
    {"exp_of_square", "x*exp(x^2)"},
    {"ln_over_x", "ln(x)/x"},
    {"root_of_quadratic", "x*sqrt(x^2+1)"},
    {"exp_over_one_plus_exp", "exp(x)/(1+exp(x))"},
    {"sin_of_ln_over_x", "sin(ln(x))/x"},
    {"square_over_cube", "x^2/(x^3+1)^2"},
    // trigonometric powers and products
    {"sin_cubed_cos", "cos(x)*sin(x)^3"},
    {"sin_squared", "sin(x)^2"},
    {"cos_fourth", "cos(x)^4"},
    {"sin_cubed", "sin(x)^3"},
    {"sin2_cos2", "sin(x)^2*cos(x)^2"},
    {"tan", "tan(x)"},
    {"different_angles", "sin(2*x)*cos(3*x)"},
    {"sin5_cos2", "sin(x)^5*cos(x)^2"},
    {"cos_over_sin_squared", "cos(x)/sin(x)^2"},
    {"cos_squared_of_3x", "cos(3*x)^2"},
};

INSTANTIATE_TEST_SUITE_P(Integrands, KernelIntegrateTest, ::testing::ValuesIn(integrands),
                         [](const auto& info) { return std::string(info.param.name); });

class KernelNoAntiderivativeTest : public KernelTest, public ::testing::WithParamInterface<Integrand> {};

TEST_P(KernelNoAntiderivativeTest, StaysUnevaluated) {
    const std::string f = GetParam().f;
    Recorder rec = run("int(" + f + ", x);");
    EXPECT_EQ(rec.printed("RESULT").rfind("int(", 0), 0u) << f << ": " << rec.printed("RESULT");
    EXPECT_EQ(rec.first("ERROR"), "<none>");
}

const Integrand nonElementary[] = {
    {"exp_of_square", "exp(x^2)"},
    {"sinc", "sin(x)/x"},
    {"reciprocal_ln", "1/ln(x)"},
    {"gaussian", "exp(-x^2)"},
    {"root_of_cubic", "sqrt(x^3+1)"},
};

INSTANTIATE_TEST_SUITE_P(Integrands, KernelNoAntiderivativeTest, ::testing::ValuesIn(nonElementary),
                         [](const auto& info) { return std::string(info.param.name); });

struct DiffCase {
    const char* name;
    const char* statement;
    const char* printed;
};

class KernelDiffOfIntTest : public KernelTest, public ::testing::WithParamInterface<DiffCase> {};

TEST_P(KernelDiffOfIntTest, DerivativeOfAnUnevaluatedIntegral) {
    run("F := int(exp(x^2), x):");
    Recorder rec = run(GetParam().statement);
    EXPECT_EQ(rec.printed("RESULT"), GetParam().printed) << GetParam().statement;
}

const DiffCase diffCases[] = {
    {"same_variable_gives_integrand", "diff(F, x);", "exp(x^2)"},
    {"other_variable_free_of_it", "diff(F, y);", "0"},
    {"product_rule", "diff(x*F, x);", "x*exp(x^2)+int(exp(x^2),x)"},
    {"under_the_integral_sign", "diff(int(exp(y*x^2), x), y);", "int(x^2*exp(x^2*y),x)"},
    {"second_derivative", "diff(F, x, x);", "2*x*exp(x^2)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelDiffOfIntTest, ::testing::ValuesIn(diffCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
