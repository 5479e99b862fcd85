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

// Integers that fit in a machine word take shorter ways through remainders, comparisons in
// conditions and sums of a parameter and a written number; at the edges of the word and with
// other kinds of operands the answers stay those of exact arithmetic.
struct WordCase {
    const char* name;
    const char* setup;       // run first (nullptr: nothing)
    const char* statement;
    const char* printed;     // the RESULT, or the ERROR's text
};

class KernelMachineWordTest : public KernelTest, public ::testing::WithParamInterface<WordCase> {};

TEST_P(KernelMachineWordTest, Answers) {
    const WordCase& c = GetParam();
    if (c.setup) ASSERT_EQ(run(c.setup).printed("ERROR"), "<none>") << c.setup;
    Recorder rec = run(c.statement);
    std::string got = rec.printed("RESULT");
    if (got == "<none>") got = rec.printed("ERROR");
    EXPECT_EQ(got, c.printed) << c.statement;
}

const WordCase wordCases[] = {
    {"irem_signs", nullptr, "[irem(7,3), irem(-7,3), irem(7,-3), irem(-7,-3), irem(0,5)];", "[1, -1, 1, -1, 0]"},
    {"irem_past_a_word", nullptr, "[irem(2^70+5, 7), irem(5, 2^70), irem(-2^70, 3)];", "[0, 5, -1]"},
    {"irem_by_zero", nullptr, "irem(5, 0);", "`Error, division by zero`"},
    {"irem_of_a_name", nullptr, "irem(x, 2);", "`Error, (in irem) integer expected, got x`"},
    {"irem_loop", "p := proc() local s, i; s := 0; for i from 1 to 100 do s := s + irem(i^2, 7) od; s end:", "p();",
     "201"},
    {"less_than_in_a_procedure", "f := proc(n) if n < 2 then 1 else 0 fi end:",
     "[f(1), f(2), f(-3), f(2^70), f(-2^70), f(5/2), f(3/2)];", "[1, 0, 1, 0, 1, 0, 1]"},
    {"less_or_equal_in_a_procedure", "g := proc(n) if n <= 2 then 1 else 0 fi end:",
     "[g(2), g(3), g(2^62), g(5/2)];", "[1, 0, 0, 0]"},
    {"condition_on_a_name", "f := proc(n) if n < 2 then 1 else 0 fi end:", "f(y);",
     "`Error, (in f) cannot evaluate boolean: y < 2`"},
    {"parameter_plus_number_past_a_word", "h := proc(n) n + 1 end:", "[h(2^61-1), h(2^63-1), h(-2^63), h(1/2), h(y)];",
     "[2305843009213693952, 9223372036854775808, -9223372036854775807, 3/2, y+1]"},
    {"recursive_fib", "fib := proc(n) if n < 2 then n else fib(n-1) + fib(n-2) fi end:", "fib(15);", "610"},
    {"procedure_assigning_its_own_name", "r := proc() r := 5; 7 end:", "[r(), r];", "[7, 5]"},
    {"local_procedure_shadowing_a_global", "q := proc() local q; q := proc() 3 end; q() end:", "q();", "3"},
    {"missing_parameter", "h := proc(n) n + 1 end:", "h();", "`Error, (in h) h uses a 1st argument, n, which is missing`"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelMachineWordTest, ::testing::ValuesIn(wordCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
