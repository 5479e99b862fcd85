// The interpreter's arithmetic over lists and equations: they combine with numbers and
// expressions element by element and with each other position by position, nested lists
// included; what cannot be combined is an error that says why.  Each operand of a sum or product
// is evaluated exactly once.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kkernel_test_support.h"

namespace {

using namespace kernel_test;

struct ArithCase {
    const char* name;
    const char* statement;
    const char* printed;   // the RESULT, or the ERROR's text
};

class KernelListArithmeticTest : public KernelTest, public ::testing::WithParamInterface<ArithCase> {};

TEST_P(KernelListArithmeticTest, Answers) {
    const ArithCase& c = GetParam();
    Recorder rec = run(c.statement);
    std::string got = rec.printed("RESULT");
    if (got == "<none>") got = rec.printed("ERROR");
    EXPECT_EQ(got, c.printed) << c.statement;
}

const ArithCase listCases[] = {
    {"scaled_list_plus_list", "[1,2]*3+[1,1];", "[4, 7]"},
    {"list_plus_scaled_list", "[1,1]+3*[1,2];", "[4, 7]"},
    {"list_minus_list", "[5,7]-[1,2];", "[4, 5]"},
    {"list_over_number", "[2,3]/2;", "[1, 3/2]"},
    {"number_over_list", "2/[1,4];", "[2, 1/2]"},
    {"negated_list", "-[1,x];", "[-1, -x]"},
    {"list_power", "[2,x]^2;", "[4, x^2]"},
    {"list_plus_number", "[1,2]+1;", "[2, 3]"},
    {"symbolic_scale_and_sum", "a*[1,2]+b*[3,4];", "[a+3*b, 2*a+4*b]"},
    {"three_lists", "[1,0]+[0,1]+2*[1,1];", "[3, 3]"},
    {"nested_lists", "[[1,2],[3,4]]*2+[[1,1],[1,1]];", "[[3, 5], [7, 9]]"},
    {"equations_add_by_sides", "(a=b)*2+(c=d);", "2*a+c = 2*b+d"},
    {"different_lengths", "[1,2]+[1,2,3];", "`Error, adding lists of different lengths`"},
    {"list_plus_equation", "[1,2]+(a=b);", "`Error, cannot add a list and an equation`"},
    {"list_times_list", "[1,2]*[3,4];", "`Error, cannot multiply two lists`"},
    {"list_times_matrix", "[1,2]*matrix([[1,0],[0,1]]);", "`Error, cannot combine a list and a matrix`"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelListArithmeticTest, ::testing::ValuesIn(listCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A procedure with an effect, used as the one operand of a negation, reciprocal or power, runs
// once: n counts its calls.
struct OnceCase {
    const char* name;
    const char* statement;
};

class KernelOperandOnceTest : public KernelTest, public ::testing::WithParamInterface<OnceCase> {};

TEST_P(KernelOperandOnceTest, EvaluatesTheOperandOnce) {
    run("n := 0:");
    run("f := proc() global n; n := n+1; x end:");
    Recorder rec = run(GetParam().statement);
    EXPECT_EQ(rec.printed("ERROR"), "<none>");
    EXPECT_EQ(run("n;").printed("RESULT"), "1") << GetParam().statement;
}

const OnceCase onceCases[] = {
    {"negation", "-f();"}, {"reciprocal", "1/f();"}, {"power", "f()^2;"},
    {"scaled", "3*f();"},  {"sum", "f()+1;"},        {"product", "f()*y;"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelOperandOnceTest, ::testing::ValuesIn(onceCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
