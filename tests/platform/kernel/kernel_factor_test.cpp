// Factorisation and gcd through FLINT: each irreducible factor primitive with a positive leading
// coefficient, the unit and content in front; gcds with a positive leading coefficient; integer
// factors and primality; the FLINT worker abandoned on an interrupt.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kkernel_test_support.h"

namespace {

using namespace kernel_test;

struct FactorCase {
    const char* name;
    const char* statement;
    const char* printed;
};

// The factors of a printed product, sorted: the order of the factors in a product is GiNaC's
// and may change from run to run; the factors themselves may not.
std::vector<std::string> factorsOf(const std::string& printed) {
    std::vector<std::string> out;
    std::string current;
    int depth = 0;
    for (char ch : printed) {
        if (ch == '(') ++depth;
        if (ch == ')') --depth;
        if (ch == '*' && depth == 0 && !current.empty() && current.back() != '*' && current.back() != '^') {
            out.push_back(current);
            current.clear();
            continue;
        }
        current += ch;
    }
    out.push_back(current);
    std::sort(out.begin(), out.end());
    return out;
}

class KernelFactorTest : public KernelTest, public ::testing::WithParamInterface<FactorCase> {};

TEST_P(KernelFactorTest, PrintsNormalisedFactors) {
    const FactorCase& c = GetParam();
    Recorder rec = run(c.statement);
    EXPECT_EQ(factorsOf(rec.printed("RESULT")), factorsOf(c.printed))
        << c.statement << " printed " << rec.printed("RESULT");
    EXPECT_EQ(rec.first("ERROR"), "<none>") << c.statement;
}

const FactorCase factorCases[] = {
    {"cyclotomic_factors_of_x100_minus_1", "factor(x^100-1);",
     "(x-1)*(x+1)*(x^20+x^15+x^10+x^5+1)*(x^2+1)*(x^40-x^30+x^20-x^10+1)*(x^4+x^3+x^2+x+1)*"
     "(x^20-x^15+x^10-x^5+1)*(x^8-x^6+x^4-x^2+1)*(x^4-x^3+x^2-x+1)"},
    {"unit_and_content_in_front", "factor(-2*x^2+2);", "-2*(x-1)*(x+1)"},
    {"content_of_a_lone_sum_stays_outside", "factor(2*x+2);", "2*(x+1)"},
    {"rational_content", "factor(x^2/4-1/4);", "1/4*(x-1)*(x+1)"},
    {"difference_of_fourth_powers", "factor(x^4-y^4);", "(x+y)*(x-y)*(x^2+y^2)"},
    {"monomial_content", "factor(6*x^2*y-6*y);", "6*y*(x-1)*(x+1)"},
    {"three_multivariate_powers", "factor(expand((x+y)^5*(x-z)^4*(y+2*z)^3));",
     "(y+2*z)^3*(x+y)^5*(x-z)^4"},
    {"odd_power_keeps_positive_lead", "factor(expand(-(x-z)^3*(x+y)));", "-(x-z)^3*(x+y)"},
    {"quotient_of_factored_parts", "factor((x^2-1)/(x+2)^2);", "1/(x+2)^2*(x-1)*(x+1)"},
    {"irreducible_stays", "factor(x^2+1);", "x^2+1"},
    {"number_stays", "factor(6);", "6"},
    {"gcd_univariate", "gcd(x^2-1, x^2+2*x+1);", "x+1"},
    {"gcd_positive_lead", "gcd(-x+1, x^2-1);", "x-1"},
    {"gcd_keeps_integer_content", "gcd(2*x+2, 4*x+4);", "2*x+2"},
    {"gcd_multivariate", "gcd(expand((x+y)^3*(x-1)), expand((x+y)^2*(x+1)));", "x^2+2*x*y+y^2"},
    {"gcd_large_degree", "gcd(x^100-1, x^60-1);", "x^20-1"},
    {"gcd_of_integers", "gcd(12, 18);", "6"},
    {"ifactor_two_large_primes", "ifactor(2^64+1);", "``(274177)*``(67280421310721)"},
    {"ifactor_sign_and_powers", "ifactor(-360);", "-``(2)^3*``(3)^2*``(5)"},
    {"ifactor_one", "ifactor(1);", "1"},
    {"isprime_mersenne", "isprime(2^127-1);", "true"},
    {"isprime_carmichael", "isprime(561);", "false"},
    {"isprime_negative", "isprime(-7);", "false"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelFactorTest, ::testing::ValuesIn(factorCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A degree-2000 factorisation takes seconds in FLINT's worker; the interrupt asked for at the
// second poll ends it with INTR, and the kernel goes on factoring afterwards.
TEST_F(KernelTest, InterruptAbandonsALongFactorisation) {
    run("p := expand((x^1000+x+1)*(x^1000+2*x+3)):");
    Recorder rec;
    rec.interruptAfterPolls = 1;
    rec = run("factor(p):", rec);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"INTR", "DONE"}));
    EXPECT_EQ(run("factor(x^2-1);").printed("RESULT"), "(x-1)*(x+1)");
}

// Polynomials FLINT does not take go to GiNaC's factorisation, which works on dense
// polynomials: past a degree of a million (FLINT's limit too) the factorisation answers
// "object too large" at once instead of asking for gigabytes; a large one comes back from the
// child it runs in, its errors too.
struct FallbackCase {
    const char* name;
    const char* statement;
    const char* stream;
    const char* printed;
};

const FallbackCase fallbackCases[] = {
    {"degree_past_a_million", "factor(x^333333315-1);", "ERROR", "`Error, (in factor) object too large`"},
    {"denominator_past_a_million", "factor(1/(y^2000001+y));", "ERROR", "`Error, (in factor) object too large`"},
    {"power_past_a_million", "factor((x+1)^2000000);", "ERROR", "`Error, (in factor) object too large`"},
    {"high_power_expanded_in_a_child", "factor((x^2-1)^150);", "RESULT", "(x-1)^150*(x+1)^150"},
    {"library_error_from_a_child", "factor(x^300-2.5*x^299);", "ERROR",
     "`Error, (in factor) gcd: arguments must be polynomials over the rationals`"},
};

class KernelFactorFallbackTest : public KernelTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(KernelFactorFallbackTest, AnswersWithinBounds) {
    const FallbackCase& c = GetParam();
    Recorder rec = run(c.statement);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{c.stream, "DONE"})) << c.statement;
    EXPECT_EQ(rec.printed(c.stream), c.printed) << c.statement;
}

INSTANTIATE_TEST_SUITE_P(Cases, KernelFactorFallbackTest, ::testing::ValuesIn(fallbackCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
