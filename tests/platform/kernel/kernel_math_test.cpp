// The kernel's mathematics as a user meets it: each row is a statement and what the worksheet
// prints for it.  Where the kernel cannot be sure of an answer it leaves the call unevaluated;
// these rows pin that it never prints a confident wrong value instead (integrals across poles,
// limits with a direction, roots dropped by solve, sqrt(x^2) taken as x, ...).

#include <gmp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "kkernel_test_support.h"
#include "tests/support/named_rows.h"

namespace {

using namespace kernel_test;

using kelvo_test::PrintTo;

struct MathCase {
    const char* name;
    std::vector<std::string> statements;   // all but the last only set things up
    const char* printed;                   // the RESULT as the one-line printer writes it
};

class KernelMathTest : public KernelTest, public ::testing::WithParamInterface<MathCase> {};

TEST_P(KernelMathTest, PrintsTheRightAnswerOrNone) {
    const MathCase& c = GetParam();
    Recorder rec = runAll(c.statements);
    EXPECT_EQ(rec.printed("RESULT"), c.printed) << c.statements.back();
    EXPECT_EQ(rec.first("ERROR"), "<none>") << c.statements.back();
    ASSERT_FALSE(rec.replies.empty());
    EXPECT_EQ(rec.replies.back().stream, "DONE");
}

const MathCase mathCases[] = {
    // Definite integrals: poles between the limits, improper integrals, infinity.
    {"int_double_pole_inside", {"int(1/x^2, x=-1..1);"}, "infinity"},
    {"int_double_pole_shifted", {"int(1/(x-1)^2, x=0..2);"}, "infinity"},
    {"int_simple_pole_inside", {"int(1/x, x=-1..1);"}, "int(1/x,x = -1 .. 1)"},
    {"int_simple_pole_shifted", {"int(1/(x-2), x=0..3);"}, "int(1/(x-2),x = 0 .. 3)"},
    {"int_pole_at_lower_end", {"int(1/x, x=0..1);"}, "infinity"},
    {"int_negative_divergence", {"int(-1/x^2, x=0..1);"}, "-infinity"},
    {"int_reversed_divergence", {"int(1/x^2, x=1..-1);"}, "-infinity"},
    {"int_pole_outside", {"int(1/x^2, x=1..2);"}, "1/2"},
    {"int_exp_to_infinity", {"int(exp(-x), x=0..infinity);"}, "1"},
    {"int_inverse_square_to_infinity", {"int(1/x^2, x=1..infinity);"}, "1"},
    {"int_divergent_to_infinity", {"int(1/x, x=1..infinity);"}, "infinity"},
    {"int_from_minus_infinity", {"int(exp(x), x=-infinity..0);"}, "1"},
    {"int_oscillating_to_infinity", {"int(sin(x), x=0..infinity);"}, "int(sin(x),x = 0 .. infinity)"},
    {"int_polynomial", {"int(x^2, x=0..3);"}, "9"},
    {"int_symbolic_range", {"int(x, x=a..b);"}, "-1/2*a^2+1/2*b^2"},
    {"int_symbolic_range_with_pole", {"int(1/x, x=a..b);"}, "int(1/x,x = a .. b)"},
    {"int_numeric_without_antiderivative", {"int(exp(-x^2), x=0..1);"}, ".7468241328"},
    // Limits: direction, infinity, poles.
    {"limit_right", {"limit(1/x, x=0, right);"}, "infinity"},
    {"limit_left", {"limit(1/x, x=0, left);"}, "-infinity"},
    {"limit_two_sided_differ", {"limit(1/x, x=0);"}, "undefined"},
    {"limit_even_pole", {"limit(1/x^2, x=0);"}, "infinity"},
    {"limit_negative_cube", {"limit(-x^3, x=infinity);"}, "-infinity"},
    {"limit_cube_minus_infinity", {"limit(x^3, x=-infinity);"}, "-infinity"},
    {"limit_rational_at_infinity", {"limit((x^2+1)/(2*x^2-3), x=infinity);"}, "1/2"},
    {"limit_exp_decay", {"limit(x^2*exp(-x)+exp(-x), x=infinity);"}, "limit(x^2*exp(-x)+exp(-x),x = infinity)"},
    {"limit_exp_at_minus_infinity", {"limit(exp(x), x=-infinity);"}, "0"},
    {"limit_arctan", {"limit(arctan(x), x=infinity);"}, "1/2*Pi"},
    {"limit_sinc", {"limit(sin(x)/x, x=0);"}, "1"},
    {"limit_oscillating", {"limit(sin(x), x=infinity);"}, "limit(sin(x),x = infinity)"},
    {"limit_removable", {"limit((x^2-1)/(x-1), x=1);"}, "2"},
    // solve: every root of every factor, or RootOf.
    {"solve_quartic_in_square", {"solve(x^4+1, x);"}, "-I^(1/2), -(-I)^(1/2), (-I)^(1/2), I^(1/2)"},
    {"solve_eighth_roots", {"solve(x^8-1, x);"},
     "-1, -I^(1/2), -(-I)^(1/2), -I, I, (-I)^(1/2), I^(1/2), 1"},
    {"solve_cube_root", {"evalf([solve(x^3-2, x)]);"},
     "[-.6299605249-1.091123636*I, -.6299605249+1.091123636*I, 1.25992105]"},
    {"solve_cube_root_exact_real", {"solve(x^3-2, x)[3];"}, "2^(1/3)"},
    {"solve_casus_irreducibilis", {"evalf([solve(x^3-3*x+1, x)]);"},
     "[-1.879385242, .3472963553, 1.532088886]"},
    {"solve_rational_cubic", {"solve(x^3-6*x^2+11*x-6, x);"}, "1, 2, 3"},
    {"solve_quintic_rootof", {"solve(x^5-x-1, x);"}, "RootOf(_Z^5-_Z-1)"},
    {"solve_triple_root", {"solve((x-2)^3, x);"}, "2"},
    // sqrt(x^2) is not x.
    {"simplify_sqrt_square", {"simplify(sqrt(x^2));"}, "(x^2)^(1/2)"},
    {"factor_sqrt_square", {"factor(sqrt(x^2));"}, "(x^2)^(1/2)"},
    {"factor_sqrt_shifted_square", {"factor(sqrt((x-1)^2));"}, "((x-1)^2)^(1/2)"},
    {"power_of_square", {"(x^2)^(3/2);"}, "(x^2)^(3/2)"},
    {"cube_root_of_cube", {"(x^3)^(1/3);"}, "(x^3)^(1/3)"},
    {"factor_still_factors", {"factor(x^2*y-y);"}, "y*(x-1)*(x+1)"},
    // Exact complex numbers.
    {"abs_exact_complex", {"abs(1+I);"}, "2^(1/2)"},
    {"abs_gaussian", {"abs(3+4*I);"}, "5"},
    {"power_of_i", {"I^4;"}, "1"},
    {"square_of_i", {"I^2;"}, "-1"},
    {"imaginary_coefficient", {"x-I*y/2;"}, "x-1/2*I*y"},
    // Series print with signs between terms and read back to the same series.
    {"series_sin", {"series(sin(x),x=0,8);"}, "series(1*x-1/6*x^3+1/120*x^5-1/5040*x^7+O(x^8),x,8)"},
    {"series_about_one", {"series(exp(x),x=1,3);"},
     "series(exp(1)+exp(1)*(x-1)+(1/2*exp(1))*(x-1)^2+O((x-1)^3),x=1,3)"},
    {"series_about_minus_three", {"series(1/x,x=-3,2);"}, "series(-1/3-1/9*(x+3)+O((x+3)^2),x=-3,2)"},
    {"series_sin_read_back", {"series(1*x-1/6*x^3+1/120*x^5-1/5040*x^7+O(x^8),x,8);"},
     "series(1*x-1/6*x^3+1/120*x^5-1/5040*x^7+O(x^8),x,8)"},
    {"series_about_one_read_back", {"series(exp(1)+exp(1)*(x-1)+(1/2*exp(1))*(x-1)^2+O((x-1)^3),x=1,3);"},
     "series(exp(1)+exp(1)*(x-1)+(1/2*exp(1))*(x-1)^2+O((x-1)^3),x=1,3)"},
    // fsolve: zero derivatives and double roots.
    {"fsolve_bracket", {"fsolve(x^2-2, x=0..2);"}, "1.414213562"},
    {"fsolve_double_root", {"fsolve(x^2-2*x+1, x);"}, "1."},
    {"fsolve_all_real_roots", {"fsolve(x^3-x, x);"}, "-1., 0., 1."},
    {"fsolve_no_root_in_range", {"fsolve(x^2+1, x=0..1);"}, "fsolve(x^2+1,x = 0 .. 1.)"},
    {"fsolve_transcendental", {"fsolve(sin(x)=0, x=3..4);"}, "3.141592654"},
    // Language: calls of unassigned names, option remember, lcm and gcd of many arguments.
    {"unassigned_call", {"f(x);"}, "f(x)"},
    {"unassigned_call_in_sum", {"g(2)+1;"}, "g(2)+1"},
    {"diff_unassigned", {"diff(f(x), x);"}, "diff(f(x),x)"},
    {"diff_unassigned_in_sum", {"diff(x^2+g(x), x);"}, "2*x+diff(g(x),x)"},
    {"diff_unassigned_composed", {"diff(f(x^2), x);"}, "diff(f(x^2),x)"},
    // Derivatives and integrals found inside a power, a product and a sum of the result.
    {"diff_unassigned_squared_in_product", {"diff(x*f(x)^2, x);"}, "2*x*diff(f(x),x)*f(x)+f(x)^2"},
    {"diff_unassigned_under_a_coefficient", {"diff(3*x^2+5*y*g(x)^3, x);"}, "6*x+15*y*diff(g(x),x)*g(x)^2"},
    {"diff_integral_in_product", {"diff(x^2*int(exp(x^2), x), x);"}, "x^2*exp(x^2)+2*x*int(exp(x^2),x)"},
    // Factors and terms that are 1, and calls whose names differ in GiNaC.
    {"power_one_of_sum", {"(x+y)^1*z;"}, "z*(x+y)"},
    {"single_factor_and_term", {"a := 1:", "b := 0:", "a*sin(x) + b;"}, "sin(x)"},
    {"renamed_calls", {"arctan(x)+ln(x)*arcsin(y)-GAMMA(z)^2;"}, "arcsin(y)*ln(x)+arctan(x)-GAMMA(z)^2"},
    {"remember", {"fibr:=proc(n) option remember; if n<2 then n else fibr(n-1)+fibr(n-2) fi end:",
                  "fibr(50):", "fibr(100);"}, "354224848179261915075"},
    {"lcm_three", {"lcm(4,6,10);"}, "60"},
    {"gcd_three", {"gcd(12,18,8);"}, "2"},
    {"lcm_polynomials", {"expand(lcm(x-1,x+1,x^2-1));"}, "x^2-1"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelMathTest, ::testing::ValuesIn(mathCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- floats against references to 70 digits --------------------------------------------------

struct FloatCase {
    const char* name;
    const char* statement;   // "%s" is replaced by the statement's text of Digits
    const char* reference;   // the true value, 70 significant digits
};

// The decimal digits and the exponent of a printed float (".123e5", "-1.5", "280e43421") or of
// a reference ("1.23e+45"): value = 0.digits x 10^exponent, digits without leading zeros.
bool decimal(const std::string& text, bool* negative, std::string* digits, long* exponent) {
    std::size_t i = 0;
    *negative = !text.empty() && text[0] == '-';
    if (*negative) ++i;
    std::string ds;
    long point = -1;
    for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'); ++i) {
        if (text[i] == '.') point = long(ds.size());
        else ds += text[i];
    }
    if (ds.empty()) return false;
    if (point < 0) point = long(ds.size());
    long e = 0;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E') return false;
        e = std::strtol(text.c_str() + i + 1, nullptr, 10);
    }
    std::size_t nz = ds.find_first_not_of('0');
    if (nz == std::string::npos) return false;
    *digits = ds.substr(nz);
    *exponent = point - long(nz) + e;
    while (digits->size() > 1 && digits->back() == '0') digits->pop_back();
    return true;
}

// The reference rounded to `n` significant digits (half up), as digits and exponent.
void roundTo(std::string* digits, long* exponent, std::size_t n) {
    if (digits->size() <= n) return;
    bool up = (*digits)[n] >= '5';
    digits->resize(n);
    if (up) {
        int i = int(n) - 1;
        while (i >= 0 && (*digits)[i] == '9') (*digits)[i--] = '0';
        if (i < 0) { digits->insert(digits->begin(), '1'); digits->pop_back(); ++*exponent; }
        else ++(*digits)[i];
    }
    while (digits->size() > 1 && digits->back() == '0') digits->pop_back();
}

class KernelFloatTest : public KernelTest,
                        public ::testing::WithParamInterface<std::tuple<FloatCase, int>> {};

TEST_P(KernelFloatTest, CorrectToDigits) {
    const FloatCase& c = std::get<0>(GetParam());
    const int digits = std::get<1>(GetParam());
    run("Digits:=" + std::to_string(digits) + ":");
    std::string statement = c.statement;
    Recorder rec = run(statement);
    std::string printed = rec.printed("RESULT");
    bool neg, refNeg;
    std::string ds, refDs;
    long e, refE;
    ASSERT_TRUE(decimal(printed, &neg, &ds, &e)) << statement << " printed " << printed;
    ASSERT_TRUE(decimal(c.reference, &refNeg, &refDs, &refE));
    roundTo(&refDs, &refE, std::size_t(digits));
    EXPECT_EQ(neg, refNeg) << statement;
    EXPECT_EQ(ds, refDs) << statement << " at Digits " << digits << " printed " << printed;
    EXPECT_EQ(e, refE) << statement << " at Digits " << digits << " printed " << printed;
}

const FloatCase floatCases[] = {
    {"sin_huge", "evalf(sin(10^20));",
     "-0.6452512852657808442058117113125230074069041966868971183031170068878986"},
    {"sin_large", "evalf(sin(10^15));",
     "0.8582727931702358355238863908484066466002034082207297078153417717877363"},
    {"factorial_1000", "evalf(1000!);",
     "4.023872600770937735437024339230039857193748642107146325437999104299385e+2567"},
    {"exp_beyond_double", "evalf(exp(10^5));",
     "2.806663360426123179318385818571742708536366270565886545387436534257865e+43429"},
    {"exp_below_double", "evalf(exp(-1000));",
     "5.075958897549456765291809479574336919305599282892837361832393845410541e-435"},
    {"float_input_beyond_double", "1.0e400*3;", "3e400"},
    {"pi", "evalf(Pi);", "3.141592653589793238462643383279502884197169399375105820974944592307816"},
    {"numeric_integral", "int(1/(1+x^2)^(1/2)*exp(x^2)/exp(x^2), x=0..1);",
     "0.8813735870195430252326093249797923090281603282616354107532956086533772"},
    {"numeric_integral_gauss", "int(exp(x^2), x=0..1);",
     "1.462651745907181608804048586856988155120870096216739185660114580218763"},
    {"fsolve_sqrt2", "fsolve(x^2-2, x=0..2);",
     "1.414213562373095048801688724209698078569671875376948073176679737990732"},
    {"fsolve_cos", "fsolve(cos(x)-x, x=0..1);",
     "0.7390851332151606416553120876738734040134117589007574649656806357732847"},
    // Floating powers, computed as numbers before any power object is made.
    {"float_exponent", "2^0.5;", "1.414213562373095048801688724209698078569671875376948073176679737990732"},
    {"float_base_rational_exponent", "3.0^(1/3);",
     "1.442249570307408382321638310780109588391869253499350577546416194541687596"},
    {"float_base_negative_exponent", "0.5^(-3);", "8"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelFloatTest,
                         ::testing::Combine(::testing::ValuesIn(floatCases), ::testing::Values(10, 20, 50)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_digits_" +
                                    std::to_string(std::get<1>(info.param));
                         });

// ---- interrupts inside the arithmetic libraries -------------------------------------------------

// Each of these spends its time inside single FLINT, CLN or GMP calls (seconds to a minute or
// more uninterrupted); the kernel polls from the libraries' allocation functions or while it
// waits for FLINT's worker, so the interrupt asked for at the second poll ends the statement
// with INTR then DONE.
TEST_F(KernelTest, LongLibraryComputationsStopOnInterrupt) {
    for (const char* statement : {"factor(expand((x^1000+x+1)*(x^1000+2*x+3))):", "y := 2^(10^9):",
                                  "3^(10^8)*5^(10^8):"}) {
        Recorder rec;
        rec.interruptAfterPolls = 1;
        rec = run(statement, rec);
        EXPECT_EQ(rec.streams(), (std::vector<std::string>{"INTR", "DONE"})) << statement;
        EXPECT_EQ(run("1+1;").first("RESULT"), "EXPSEQ(2)") << "after " << statement;
    }
}

// ---- memory limits ------------------------------------------------------------------------------

// Runs `body` in a child process whose address space may grow by only `headroomBytes` (as
// under ulimit -v), and answers what it wrote to stdout; the child's exit status is checked.
std::string inLimitedChild(long long headroomBytes, const std::function<std::string()>& body) {
    return inChild([&] {
        unsigned long long pages = 0;
        if (std::FILE* f = std::fopen("/proc/self/statm", "re")) {
            if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        rlim_t limit = rlim_t(pages * sysconf(_SC_PAGESIZE) + headroomBytes);
        rlimit rl{limit, limit};
        setrlimit(RLIMIT_AS, &rl);
        return body();
    });
}

TEST_F(KernelTest, IntegerTooLargeForTheAddressLimitIsAnErrorAndTheKernelLives) {
    std::string out = inLimitedChild(256ll << 20, [&] {
        Recorder big = run("2^(10^10):");
        Recorder fact = run("factorial(10^9):");
        Recorder after = run("1+1;");
        return big.first("ERROR") + "|" + fact.first("ERROR") + "|" + after.first("RESULT");
    });
    EXPECT_EQ(out, "EXPSEQ(Error, object too large)|EXPSEQ(Error, (in factorial) object too large)|EXPSEQ(2)");
}

// An expansion with more terms than any memory holds is refused before it starts; expansions of
// a size a student meets still run.
TEST_F(KernelTest, ExpansionBeyondAnyMemoryIsRefusedBeforeItStarts) {
    struct Row {
        const char* statement;
        const char* error;    // expected ERROR reply, or "" for a result
        const char* result;   // the printed RESULT when no error
    };
    const Row rows[] = {
        {"expand((x+1)^187981229);", "EXPSEQ(Error, (in expand) object too large)", ""},
        {"expand((x+y+z+1)^(10^6));", "EXPSEQ(Error, (in expand) object too large)", ""},
        {"expand(sin((x+y)^(10^8)));", "EXPSEQ(Error, (in expand) object too large)", ""},
        {"expand((a+b)^(10^4)*(c+d)^(10^4));", "EXPSEQ(Error, (in expand) object too large)", ""},
        {"nops(expand((x+y+z+1)^20));", "", "1771"},
        {"expand((x+1)^2*(x-1));", "", "x^3+x^2-x-1"},
        {"expand((x+1)^(-3));", "", "1/(x+1)^3"},
    };
    for (const Row& r : rows) {
        Recorder rec = run(r.statement);
        if (*r.error) {
            EXPECT_EQ(rec.first("ERROR"), r.error) << r.statement;
        } else {
            EXPECT_EQ(rec.first("ERROR"), "<none>") << r.statement;
            EXPECT_EQ(rec.printed("RESULT"), r.result) << r.statement;
        }
    }
}

#if !defined(__SANITIZE_ADDRESS__)
// An allocation that fails inside GMP raises std::bad_alloc (answered as "object too large")
// instead of GMP's abort.  The sanitizer's allocator ends the process itself, so this runs only
// in the plain build.
TEST_F(KernelTest, FailedGmpAllocationRaisesInsteadOfAborting) {
    std::string out = inLimitedChild(64ll << 20, [] {
        void* (*allocate)(std::size_t);
        void* (*reallocate)(void*, std::size_t, std::size_t);
        void (*release)(void*, std::size_t);
        mp_get_memory_functions(&allocate, &reallocate, &release);
        try {
            void* p = allocate(std::size_t(1) << 30);
            release(p, std::size_t(1) << 30);
            return std::string("allocated");
        } catch (const std::bad_alloc&) {
            return std::string("bad_alloc");
        }
    });
    EXPECT_EQ(out, "bad_alloc");
}
#endif

}  // namespace
