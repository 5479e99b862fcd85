// Interrupts asked for while GiNaC, CLN and GMP compute.  Every allocation of the arithmetic
// libraries polls here, and the interrupt is asked for at one allocation after another along
// each statement: the statement must end with INTR (or its own replies, when it no longer
// needs a step) and one DONE, and afterwards the kernel must compute exactly what it computed
// before.  Memory left half-made or freed twice shows up under the sanitizers as well.
#include "kkernel_test_support.h"

#include "platform/kernel/KInterpreter.h"
#include "tests/support/named_rows.h"

using namespace kernel_test;

namespace {

using Streams = std::vector<std::string>;

using kelvo_test::PrintTo;

struct InterruptCase {
    const char* name;
    const char* statement;
};

const InterruptCase interruptCases[] = {
    {"big_integers", "a := 3^4000 * 7^3000 - 11^2500 + 5^6000 / 13^900:"},
    {"expand", "expand((x + y + 2^70)^12):"},
    {"normal", "normal((x^30 - y^30) / (x - y) + 1 / (x + 1)):"},
    {"float_constants", "evalf(exp(1/7) * Pi + sqrt(2), 300):"},
    {"factor_in_process", "factor(x^40 - 1):"},
    {"differentiate", "diff(sin(x^2) * exp(3*x) / (1 + x^2), x, x, x):"},
    {"series_through_flint", "series(sin(tan(x)) + sqrt(1 + x), x, 20):"},
    {"context_menu", "print(ContextMenu(x^2 - 1/3*y + sin(2.5))):"},
    {"context_approximate", "print(ContextApproximate([ none, Pi^2/7 + sqrt(3) ], \"autoassign\"=false, \"parse\"=true)):"},
    {"context_factor", "print(ContextFactor([ none, x^6 - y^6 ], \"autoassign\"=false, \"parse\"=true)):"},
    {"sheet_numeric", "`Spreadsheet/eval`([1/3 + exp(1/3), 2^200], `numeric`, 60);"},
};

// Statements whose replies must not change after any interrupt: the numbers GiNaC shares
// (0, 1, -1, 1/2, ...), cached constants, products, powers and the inspection of participants.
const char* const checks[] = {
    "expand((x + 1)^3 * (x - 1/2));",
    "1/3 + 2/3 - 1 + 1/2 * 2;",
    "2^70 * 3 - 2^71;",
    "evalf(Pi * exp(1/7), 40);",
    "normal((x^2 - 1) / (x - 1));",
    "print(ContextMenu(x^2 - 1));",
    "Digits;",
};

class InterruptAtAllocationTest : public KernelTest, public ::testing::WithParamInterface<InterruptCase> {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        kernel_poll_at_every_library_allocation(true);
    }
    void TearDown() override {
        kernel_poll_at_every_library_allocation(false);
        KernelTest::TearDown();
    }

    std::vector<std::string> checkReplies() {
        std::vector<std::string> out;
        for (const char* c : checks) {
            Recorder r = run(c);
            std::string all;
            for (const Reply& reply : r.replies) all += reply.stream + " " + reply.args + "; ";
            out.push_back(all);
        }
        return out;
    }
};

TEST_P(InterruptAtAllocationTest, KernelComputesTheSameAfterwards) {
    const std::string statement = GetParam().statement;
    const std::vector<std::string> expected = checkReplies();
    const Recorder whole = run(statement);
    ASSERT_FALSE(whole.replies.empty());
    ASSERT_EQ(whole.replies.back().stream, "DONE");
    ASSERT_NE(whole.streams(), (Streams{"INTR", "DONE"}));
    ASSERT_GT(whole.polls, 0) << "the statement allocates nothing in the libraries";

    // About forty interrupt points spread over the statement's polls, the first ones included.
    const int stride = std::max(1, whole.polls / 40);
    for (int at = 0; at < whole.polls; at += at < 8 ? 1 : stride) {
        Recorder rec;
        rec.interruptAfterPolls = at;
        rec = run(statement, rec);
        if (rec.streams() != Streams{"INTR", "DONE"}) {
            ASSERT_EQ(rec.streams(), whole.streams()) << "interrupted at poll " << at;
            for (std::size_t i = 0; i < rec.replies.size(); ++i)
                EXPECT_EQ(rec.replies[i].args, whole.replies[i].args) << "interrupted at poll " << at;
        }
        ASSERT_EQ(checkReplies(), expected) << "after an interrupt at poll " << at << " of " << whole.polls;
    }
    // And the statement itself still gives what it gave.
    Recorder again = run(statement);
    ASSERT_EQ(again.streams(), whole.streams());
    for (std::size_t i = 0; i < again.replies.size(); ++i) EXPECT_EQ(again.replies[i].args, whole.replies[i].args);
}

INSTANTIATE_TEST_SUITE_P(Statements, InterruptAtAllocationTest, ::testing::ValuesIn(interruptCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Values too large to compute in the kernel's process come back from a child whole: integers of
// either sign, expansions whose names are the kernel's own, errors.
struct ChildCase {
    const char* name;
    const char* statement;
    const char* expected;   // the RESULT's dump
};

const ChildCase childCases[] = {
    {"power_against_products", "evalb(7^(2^22) = 7^(2^20) * 7^(2^20) * 7^(2^20) * 7^(2^20));", "EXPSEQ(true)"},
    {"negative_power", "evalb((-3)^(2^22 + 1) + 3 * 3^(2^22) = 0);", "EXPSEQ(true)"},
    {"factorial", "evalb(250000! / 249999! = 250000);", "EXPSEQ(true)"},
    {"expansion_keeps_names", "evalb(subs(x = 1, y = 2, z = 3, w = 4, expand((x + y + z + w + 1)^25)) = 11^25);",
     "EXPSEQ(true)"},
};

class ChildValueTest : public KernelTest, public ::testing::WithParamInterface<ChildCase> {};

TEST_P(ChildValueTest, ComesBackWhole) {
    EXPECT_EQ(run(GetParam().statement).first("RESULT"), GetParam().expected) << GetParam().statement;
}

INSTANTIATE_TEST_SUITE_P(Values, ChildValueTest, ::testing::ValuesIn(childCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A statement that fails after FLINT has worked in the kernel's process: the GMP numbers FLINT
// keeps in its caches stay its own, and the next factorisations use them.
TEST_F(KernelTest, FailedStatementKeepsFlintNumbers) {
    const std::string factors = run("ifactor(2^100 + 1);").first("RESULT");
    ASSERT_NE(factors, "<none>");
    for (const char* failing : {"[ifactor(2^100 + 1), 1/0];", "[ifactor(3^70 - 1), ifactor(2^90 + 3), x[0][0]];"}) {
        const Recorder rec = run(failing);
        EXPECT_EQ(rec.streams(), (Streams{"ERROR", "DONE"})) << failing;
        EXPECT_EQ(run("ifactor(2^100 + 1);").first("RESULT"), factors) << "after " << failing;
        EXPECT_EQ(run("ifactor(5^50 + 7);").first("RESULT"), run("ifactor(5^50 + 7);").first("RESULT"));
    }
}

}  // namespace
