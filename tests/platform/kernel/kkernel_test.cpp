// Tests of the kernel library through its entry points, with recording callbacks: statements
// are parsed with the language parser, evaluated, and every reply is recorded as its stream
// name and a structural dump of its arguments (DAG type names, decimal integers, name texts).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "kkernel_test_support.h"
#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/storage.h"
#include "tests/support/named_rows.h"

// CLN and GiNaC keep a few blocks from their static initialisation (number constants, the
// function registry) that they never release; LeakSanitizer is told about them here so that the
// leak check still covers everything else.
extern "C" const char* __lsan_default_suppressions() { return "leak:libcln.so\nleak:libginac.so\n"; }

namespace {

using namespace kernel_test;

// ---- results of single statements --------------------------------------------------------

using kelvo_test::PrintTo;

struct ResultCase {
    const char* name;
    std::vector<std::string> statements;   // all but the last only set things up
    const char* expected;                  // dump of the RESULT argument sequence
};

class KernelResultTest : public KernelTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(KernelResultTest, SendsResultThenDone) {
    const ResultCase& c = GetParam();
    Recorder rec = runAll(c.statements);
    EXPECT_EQ(rec.first("RESULT"), c.expected) << c.statements.back();
    ASSERT_FALSE(rec.replies.empty());
    EXPECT_EQ(rec.replies.back().stream, "DONE");
    EXPECT_EQ(rec.first("ERROR"), "<none>");
}

const ResultCase resultCases[] = {
    {"small_sum", {"1+2;"}, "EXPSEQ(3)"},
    {"big_power_exact", {"2^100;"}, "EXPSEQ(1267650600228229401496703205376)"},
    // Integers around the machine-word limit and with zero base-10000 words inside.
    {"largest_word_integer", {"2^63-1;"}, "EXPSEQ(9223372036854775807)"},
    {"first_multi_limb_integer", {"2^63;"}, "EXPSEQ(9223372036854775808)"},
    {"negative_two_limbs", {"-(2^64);"}, "EXPSEQ(-18446744073709551616)"},
    {"power_of_ten_zero_words", {"10^40;"}, "EXPSEQ(10000000000000000000000000000000000000000)"},
    {"negative_nines", {"1-10^41;"}, "EXPSEQ(-99999999999999999999999999999999999999999)"},
    {"zero_words_between", {"10^36+7*10^8+1;"}, "EXPSEQ(1000000000000000000000000000700000001)"},
    {"negative", {"3-5;"}, "EXPSEQ(-2)"},
    {"rational", {"1/3+1/6;"}, "EXPSEQ(RATIONAL(1,2))"},
    {"assigned_power", {"x:=2:", "x^10;"}, "EXPSEQ(1024)"},
    {"expand_cube", {"expand((a+b)^3);"},
     "EXPSEQ(SUM(PROD(a,3),1,PROD(a,2,b,1),3,PROD(a,1,b,2),3,PROD(b,3),1))"},
    {"diff_sin", {"diff(sin(x),x);"}, "EXPSEQ(FUNCTION(cos,EXPSEQ(x)))"},
    {"int_square", {"int(x^2,x);"}, "EXPSEQ(SUM(PROD(x,3),RATIONAL(1,3)))"},
    {"factor_difference", {"factor(x^2-1);"}, "EXPSEQ(PROD(SUM(x,1,-1,1),1,SUM(x,1,1,1),1))"},
    {"linear_system", {"solve({x+y=3,x-y=1},{x,y});"}, "EXPSEQ(SET(EXPSEQ(EQUATION(x,2),EQUATION(y,1))))"},
    {"factorial_recursion",
     {"f:=proc(n) if n<2 then 1 else n*f(n-1) fi end:", "f(20);"},
     "EXPSEQ(2432902008176640000)"},
    {"float_digits", {"evalf(1/3);"}, "EXPSEQ(FLOAT(3333333333,-10))"},
    {"scaled_name", {"2*x;"}, "EXPSEQ(SUM(x,2))"},
    {"list_index", {"L:=[5,6,7]:", "L[2];"}, "EXPSEQ(6)"},
    {"table_entry", {"t[1]:=5:", "t[1]+1;"}, "EXPSEQ(6)"},
    {"unassigned_index", {"b[3];"}, "EXPSEQ(TABLEREF(b,EXPSEQ(3)))"},
    {"for_loop_sum", {"s:=0:", "for i from 1 to 10 do s:=s+i od:", "s;"}, "EXPSEQ(55)"},
    {"for_in_loop", {"s:=1:", "for v in [2,3,4] do s:=s*v od:", "s;"}, "EXPSEQ(24)"},
    {"while_loop", {"n:=1:", "while n<100 do n:=2*n od:", "n;"}, "EXPSEQ(128)"},
    {"break_loop", {"for i to 100 do if i^2>50 then break fi od:", "i;"}, "EXPSEQ(8)"},
    {"seq_squares", {"seq(i^2,i=1..4);"}, "EXPSEQ(1,4,9,16)"},
    {"sum_finite", {"sum(k,k=1..100);"}, "EXPSEQ(5050)"},
    {"product_finite", {"product(k,k=1..5);"}, "EXPSEQ(120)"},
    {"full_evaluation", {"y:=z^2:", "z:=3:", "y;"}, "EXPSEQ(9)"},
    {"local_variables", {"g:=proc(a) local t; t:=a*2; t+1 end:", "g(4);"}, "EXPSEQ(9)"},
    {"return_early", {"h:=proc(a) if a>0 then RETURN(1) fi; -1 end:", "h(5),h(-5);"}, "EXPSEQ(1,-1)"},
    {"nargs", {"k:=proc() nargs end:", "k(1,2,3);"}, "EXPSEQ(3)"},
    {"boolean_and", {"evalb(1<2) and evalb(3<2);"}, "EXPSEQ(false)"},
    {"set_dedup", {"{3,1,3,2};"}, "EXPSEQ(SET(EXPSEQ(1,2,3)))"},
    {"nops_list", {"nops([a,b,c]);"}, "EXPSEQ(3)"},
    {"op_list", {"op(2,[a,b,c]);"}, "EXPSEQ(b)"},
    {"numer_denom", {"numer(3/4), denom(3/4);"}, "EXPSEQ(3,4)"},
    {"coeff", {"coeff(3*x^2+5*x+7,x,1);"}, "EXPSEQ(5)"},
    {"degree", {"degree(x^5+x,x);"}, "EXPSEQ(5)"},
    {"gcd", {"gcd(12,18), lcm(4,6);"}, "EXPSEQ(6,12)"},
    {"isprime", {"isprime(97), isprime(91);"}, "EXPSEQ(true,false)"},
    {"ifactor", {"ifactor(12);"}, "EXPSEQ(PROD(FUNCTION(,EXPSEQ(2)),2,FUNCTION(,EXPSEQ(3)),1))"},
    {"max_min", {"max(3,7,5), min(3,7,5);"}, "EXPSEQ(7,3)"},
    {"abs_sqrt", {"abs(-4), sqrt(16);"}, "EXPSEQ(4,4)"},
    {"subs", {"subs(x=2, x^2+1);"}, "EXPSEQ(5)"},
    {"eval_at", {"eval(x^2, x=3);"}, "EXPSEQ(9)"},
    {"quadratic", {"solve(x^2-4=0,x);"}, "EXPSEQ(2,-2)"},
    {"linear_single", {"solve(2*x+4,x);"}, "EXPSEQ(-2)"},
    {"series_exp",
     {"series(exp(x),x,3);"},
     "EXPSEQ(SERIES(x,1,0,1,1,RATIONAL(1,2),2,FUNCTION(O,EXPSEQ(1)),3))"},
    {"limit_sinc", {"limit(sin(x)/x, x=0);"}, "EXPSEQ(1)"},
    {"normal", {"normal((x^2-1)/(x-1));"}, "EXPSEQ(SUM(x,1,1,1))"},
    {"pi_float", {"evalf(Pi);"}, "EXPSEQ(FLOAT(3141592654,-9))"},
    {"digits_variable", {"Digits:=5:", "evalf(Pi);"}, "EXPSEQ(FLOAT(31416,-4))"},
    {"int_definite", {"int(x,x=0..2);"}, "EXPSEQ(2)"},
    {"int_unevaluated", {"int(exp(x^2),x);"}, "EXPSEQ(FUNCTION(int,EXPSEQ(FUNCTION(exp,EXPSEQ(PROD(x,2))),x)))"},
    {"ditto", {"5*7;", "%+1;"}, "EXPSEQ(36)"},
    {"string", {"\"hello\";"}, "EXPSEQ(\"hello\")"},
    {"assignment_shown", {"w:=4;"}, "EXPSEQ(ASSIGN(w,4))"},
    {"dollar_sequence", {"x$3;"}, "EXPSEQ(x,x,x)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelResultTest, ::testing::ValuesIn(resultCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- shapes and term order of converted results -----------------------------------------

// Rows of tests/data/platform/kernel/result_shapes.txt: a statement, then its RESULT dump.
struct ShapeRow {
    int line;
    std::string statement;
    std::string expected;
};

std::vector<ShapeRow> readShapeRows() {
    std::vector<ShapeRow> rows;
    std::ifstream in(std::string(KELVO_TEST_DATA) + "/platform/kernel/result_shapes.txt");
    std::string statement, line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        if (statement.empty()) {
            statement = line;
        } else {
            rows.push_back({number - 1, statement, line});
            statement.clear();
        }
    }
    return rows;
}

TEST_F(KernelTest, ResultShapesAndTermOrderStayPinned) {
    const std::vector<ShapeRow> rows = readShapeRows();
    ASSERT_FALSE(rows.empty()) << "fixture missing";
    for (const ShapeRow& row : rows) {
        EXPECT_EQ(run(row.statement).first("RESULT"), row.expected)
            << "fixture line " << row.line << ": " << row.statement;
    }
}

// More variables than the conversion looks up one by one: terms and factors still come in the
// order of the names, whatever order the names were made in.
TEST_F(KernelTest, ManyVariablesOrderByName) {
    std::string sum, product, sumExpected, productExpected;
    for (int i = 20; i >= 1; --i) {
        char name[16];
        std::snprintf(name, sizeof name, "v%02d", i);
        sum += std::string(i == 20 ? "" : "+") + name;
        product += std::string(i == 20 ? "" : "*") + name;
    }
    for (int i = 1; i <= 20; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "v%02d", i);
        sumExpected += std::string(i == 1 ? "" : ",") + name + ",1";
        productExpected += std::string(i == 1 ? "" : ",") + name + ",1";
    }
    EXPECT_EQ(run(sum + ";").first("RESULT"), "EXPSEQ(SUM(" + sumExpected + "))");
    EXPECT_EQ(run(product + ";").first("RESULT"), "EXPSEQ(PROD(" + productExpected + "))");
    // The same variables in one sum of scaled powers: by degree first, then by name.
    EXPECT_EQ(run("3*v02^2+v20^3-2*v01^2;").first("RESULT"),
              "EXPSEQ(SUM(PROD(v20,3),1,PROD(v01,2),-2,PROD(v02,2),3))");
}

// ---- results as the worksheet prints them ---------------------------------------------------

struct PrintedCase {
    const char* name;
    std::vector<std::string> statements;
    const char* printed;
};

class KernelPrintedTest : public KernelTest, public ::testing::WithParamInterface<PrintedCase> {};

TEST_P(KernelPrintedTest, PrintsAsExpected) {
    const PrintedCase& c = GetParam();
    Recorder rec = runAll(c.statements);
    EXPECT_EQ(rec.printed("RESULT"), c.printed) << c.statements.back();
}

const PrintedCase printedCases[] = {
    {"sum", {"1+2;"}, "3"},
    {"power_of_two", {"2^100;"}, "1267650600228229401496703205376"},
    {"assigned", {"x:=2:", "x^10;"}, "1024"},
    {"expand", {"expand((a+b)^3);"}, "a^3+3*a^2*b+3*a*b^2+b^3"},
    {"diff", {"diff(sin(x),x);"}, "cos(x)"},
    {"int", {"int(x^2,x);"}, "1/3*x^3"},
    {"factor", {"factor(x^2-1);"}, "(x-1)*(x+1)"},
    {"evalf_pi_30", {"evalf(Pi,30);"}, "3.14159265358979323846264338328"},
    {"solve_system", {"solve({x+y=3,x-y=1},{x,y});"}, "{x = 2, y = 1}"},
    {"recursive_factorial",
     {"f:=proc(n) if n<2 then 1 else n*f(n-1) fi end:", "f(20);"},
     "2432902008176640000"},
    {"rational_function", {"diff(1/x,x);"}, "-1/x^2"},
    {"quadratic_roots", {"solve(x^2-2=0,x);"}, "2^(1/2), -2^(1/2)"},
    {"quadratic_square_factor", {"solve(x^2-8=0,x);"}, "2*2^(1/2), -2*2^(1/2)"},
    {"quadratic_complex", {"solve(x^2+1=0,x);"}, "I, -I"},
    {"small_float", {"evalf(1/3000);"}, ".3333333333e-3"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelPrintedTest, ::testing::ValuesIn(printedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- errors -------------------------------------------------------------------------------

struct ErrorCase {
    const char* name;
    std::vector<std::string> statements;
    const char* expected;   // dump of the ERROR arguments
};

class KernelErrorTest : public KernelTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(KernelErrorTest, SendsErrorThenDone) {
    const ErrorCase& c = GetParam();
    Recorder rec = runAll(c.statements);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"ERROR", "DONE"})) << c.statements.back();
    EXPECT_EQ(rec.first("ERROR"), c.expected);
}

const ErrorCase errorCases[] = {
    {"division_by_zero", {"1/0;"}, "EXPSEQ(Error, division by zero)"},
    {"division_by_zero_float", {"1.0/0;"}, "EXPSEQ(Error, division by zero)"},
    {"wrong_argument_count", {"diff(x);"},
     "EXPSEQ(Error, (in diff) wrong number (or type) of parameters)"},
    {"deep_recursion", {"r:=proc(n) r(n+1) end:", "r(1);"},
     "EXPSEQ(Error, (in r) too many levels of recursion)"},
    {"missing_argument", {"p:=proc(a,b) a+b end:", "p(1);"},
     "EXPSEQ(Error, (in p) p uses a 2nd argument, b, which is missing)"},
    {"user_error", {"q:=proc() ERROR(\"bad input\") end:", "q();"}, "EXPSEQ(Error, (in q) bad input)"},
    {"protected_name", {"Pi:=3;"}, "EXPSEQ(Error, attempting to assign to `Pi` which is protected)"},
    {"undecidable_condition", {"if z1<z2 then 1 fi;"}, "EXPSEQ(Error, cannot evaluate boolean: z1 < z2)"},
    {"bad_index", {"L:=[1,2]:", "L[5];"}, "EXPSEQ(Error, invalid subscript selector)"},
    {"bad_digits", {"Digits:=-3;"}, "EXPSEQ(Error, Digits must be a positive integer)"},
    {"recursive_assignment", {"u:=u+1;"}, "EXPSEQ(Error, recursive assignment)"},
    {"not_a_procedure", {"nf:=3:", "nf(4);"}, "EXPSEQ(Error, invalid function call: 3 is not a procedure)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelErrorTest, ::testing::ValuesIn(errorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KernelTest, ErrorLeavesEarlierValuesAlone) {
    run("x:=5:");
    run("1/0;");
    EXPECT_EQ(run("x;").first("RESULT"), "EXPSEQ(5)");
}

TEST_F(KernelTest, ErrorInsideLoopRestoresDigits) {
    run("Digits:=20:");
    run("evalf(1/0, 40);");
    EXPECT_EQ(run("Digits;").first("RESULT"), "EXPSEQ(20)");
}

// ---- streams ------------------------------------------------------------------------------

TEST_F(KernelTest, NullRequestAnswersLogoAndDone) {
    Recorder rec;
    kernel_evaluate(dag_NULL, onQuery, onPoll, 1, 1, &rec);
    ASSERT_EQ(rec.streams(), (std::vector<std::string>{"LOGO", "DONE"}));
    EXPECT_NE(rec.replies[0].args.find("Kelvo Kernel"), std::string::npos);
}

// The session's start-up statement tells the help system the library folders, and nothing else.
TEST_F(KernelTest, SessionStartStatementSendsOnlyTheHelpPath) {
    Recorder rec = run("readlib(`context/init`)();");
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"HELP", "DONE"}));
    EXPECT_EQ(rec.first("HELP").rfind("EXPSEQ(setpath,\"", 0), 0u) << rec.first("HELP");
}

TEST_F(KernelTest, ColonSuppressesResult) {
    EXPECT_EQ(run("1+2:").streams(), (std::vector<std::string>{"DONE"}));
    EXPECT_EQ(run("x:=3:").streams(), (std::vector<std::string>{"DONE"}));
}

// The decimal digits of n!, by schoolbook multiplication in base 10000 (independent of the
// kernel's conversion).
std::string factorialText(int n) {
    std::vector<unsigned> words{1};   // least significant first
    for (int k = 2; k <= n; ++k) {
        unsigned carry = 0;
        for (unsigned& w : words) {
            unsigned v = w * unsigned(k) + carry;
            w = v % 10000;
            carry = v / 10000;
        }
        for (; carry; carry /= 10000) words.push_back(carry % 10000);
    }
    std::string text = std::to_string(words.back());
    char group[8];
    for (std::size_t i = words.size() - 1; i-- > 0;) {
        std::snprintf(group, sizeof group, "%04u", words[i]);
        text += group;
    }
    return text;
}

TEST_F(KernelTest, LargeIntegersKeepEveryDigit) {
    for (int n : {20, 21, 25, 100, 2000}) {
        std::string expected = "EXPSEQ(" + factorialText(n) + ")";
        EXPECT_EQ(run("factorial(" + std::to_string(n) + ");").first("RESULT"), expected) << n;
        EXPECT_EQ(run("-factorial(" + std::to_string(n) + ");").first("RESULT"),
                  "EXPSEQ(-" + factorialText(n) + ")") << n;
    }
}

TEST_F(KernelTest, NullValueSendsNoResult) {
    EXPECT_EQ(run("NULL;").streams(), (std::vector<std::string>{"DONE"}));
}

TEST_F(KernelTest, PrintAndLprintStreams) {
    Recorder rec = run("print(x+1, 2); lprint(y);");
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"PRINT", "DONE"}));
    EXPECT_EQ(rec.first("PRINT"), "EXPSEQ(SUM(x,1,1,1),2)");
    rec = run("lprint(y);");
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"LPRINT", "DONE"}));
    EXPECT_EQ(rec.first("LPRINT"), "EXPSEQ(y)");
}

TEST_F(KernelTest, StopStatementSendsStopThenDone) {
    for (const char* text : {"quit;", "done;", "stop;"}) {
        Recorder rec = run(text);
        EXPECT_EQ(rec.streams(), (std::vector<std::string>{"STOP", "DONE"})) << text;
    }
}

TEST_F(KernelTest, InterfaceSetAndGetGoToTheWorksheet) {
    Recorder rec;
    rec.answer = [](const std::string& stream, Dag) -> Dag {
        if (stream == "GET") return dag_of_int(79);
        return nullptr;
    };
    rec = run("interface(screenwidth=100);", rec);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"SET", "DONE"}));
    EXPECT_EQ(rec.first("SET"), "EXPSEQ(screenwidth,100)");

    Recorder get;
    get.answer = rec.answer;
    get = run("interface(screenwidth);", get);
    EXPECT_EQ(get.streams(), (std::vector<std::string>{"GET", "RESULT", "DONE"}));
    EXPECT_EQ(get.first("GET"), "EXPSEQ(screenwidth)");
    EXPECT_EQ(get.first("RESULT"), "EXPSEQ(79)");
}

TEST_F(KernelTest, InterfaceErrorAnswerBecomesError) {
    Recorder rec;
    rec.answer = [](const std::string&, Dag) -> Dag {
        return dag_name("Error, unknown interface parameter");
    };
    rec = run("interface(nonsense=1);", rec);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"SET", "ERROR", "DONE"}));
    EXPECT_EQ(rec.first("ERROR"), "EXPSEQ(Error, (in interface) unknown interface parameter)");
}

TEST_F(KernelTest, EvalfThirtyDigits) {
    Recorder rec = run("evalf(Pi,30);");
    EXPECT_EQ(rec.first("RESULT"), "EXPSEQ(FLOAT(314159265358979323846264338328,-29))");
}

TEST_F(KernelTest, ResultsInsideTopLevelLoopAreShown) {
    Recorder rec = run("for i to 3 do i^2 od;");
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"RESULT", "RESULT", "RESULT", "DONE"}));
    EXPECT_EQ(rec.replies[2].args, "EXPSEQ(9)");
}

// ---- interrupts and polling ---------------------------------------------------------------

TEST_F(KernelTest, EndlessLoopIsInterrupted) {
    Recorder rec;
    rec.interruptAfterPolls = 3;
    auto start = std::chrono::steady_clock::now();
    rec = run("do x:=1 od:", rec);
    (void)start;
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"INTR", "DONE"}));
    EXPECT_EQ(rec.polls, 4);
}

TEST_F(KernelTest, InterruptedRecursionLeavesKernelUsable) {
    Recorder rec;
    rec.interruptAfterPolls = 1;
    run("w:=proc(n) local s; s:=0; while true do s:=s+1 od end:");
    rec = run("w(1);", rec);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"INTR", "DONE"}));
    EXPECT_EQ(run("2+2;").first("RESULT"), "EXPSEQ(4)");
}

TEST_F(KernelTest, ShortStatementsNeedNoPoll) {
    Recorder rec = run("1+1;");
    EXPECT_EQ(rec.polls, 0);
}

// ---- entry points -------------------------------------------------------------------------

struct OptionCase {
    const char* name;
    std::vector<std::string> words;
    bool ok;
};

class KernelOptionTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(KernelOptionTest, StartChecksOptions) {
    const OptionCase& c = GetParam();
    std::vector<std::string> words = {"kernel"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const char* err = kernel_start(int(words.size()), argv.data());
    if (c.ok) EXPECT_EQ(err, nullptr) << err;
    else EXPECT_NE(err, nullptr);
    kernel_stop();
}

const OptionCase optionCases[] = {
    {"flags", {"-q", "-s", "-I", "-a", "-f", "-t"}, true},
    {"values_separate", {"-b", "/lib", "-w", "3"}, true},
    {"values_attached", {"-b/lib", "-L100", "-T5", "-e2", "-g8", "-p1"}, true},
    {"value_missing", {"-b"}, false},
    {"unknown_option", {"-z"}, false},
    {"plain_word", {"file"}, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelOptionTest, ::testing::ValuesIn(optionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KernelEntry, EvaluateBeforeStartSendsErrorAndDone) {
    if (dag_NULL == nullptr) {
        storage_init_default();
        dag_init();
    }
    kernel_stop();
    Recorder rec;
    EXPECT_EQ(kernel_evaluate(dag_NULL, onQuery, onPoll, 1, 1, &rec), 1);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"ERROR", "DONE"}));
}

TEST_F(KernelTest, StopForgetsVariables) {
    run("v:=7:");
    kernel_stop();
    char prog[] = "kernel";
    char* argv[] = {prog, nullptr};
    ASSERT_EQ(kernel_start(1, argv), nullptr);
    EXPECT_EQ(run("v;").first("RESULT"), "EXPSEQ(v)");
}

TEST_F(KernelTest, OverlyDeepRequestGivesErrorNotCrash) {
    Dag d = dag_name("x");
    for (int i = 0; i < 100000; ++i) d = dag_new2(DAG_SUM, d, dag_one);
    Recorder rec;
    kernel_evaluate(d, onQuery, onPoll, 1, 1, &rec);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"ERROR", "DONE"}));
    EXPECT_EQ(rec.first("ERROR"), "EXPSEQ(Error, expression nesting too deep)");
}

TEST_F(KernelTest, MalformedRequestGivesError) {
    Dag bad = dag_new1(DAG_CONTROL + 1, dag_one);   // PROMPT with an operand: not a statement
    Recorder rec;
    kernel_evaluate(bad, onQuery, onPoll, 1, 1, &rec);
    EXPECT_EQ(rec.streams(), (std::vector<std::string>{"ERROR", "DONE"}));
}

}  // namespace
