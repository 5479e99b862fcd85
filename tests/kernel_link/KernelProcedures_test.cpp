// The kernel procedures the worksheet's own commands call, through the real kernel library in
// process (KL_Direct) and behind kernsrv: spreadsheet cells (`Spreadsheet/eval`), context
// menus (ContextMenu and its commands) and the HELP stream (libname, help, INTERFACE_HELP).
// Replies are checked as DAGs while they are alive.

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/kernel_link/kl_kernel_replies.h"
#include "tests/kernel_link/kl_real_kernel.h"
#include "tests/kernel_link/kl_test_util.h"

#if defined(KL_REAL_KERNEL) && defined(KL_KERNSRV)

namespace {

using namespace kl_replies;

// ---- replies ------------------------------------------------------------------------------------------

struct Reply {
    std::string stream;
    std::string printed;          // the argument sequence on one line
    std::vector<MenuItem> menu;   // a PRINT of a menu, read
    bool isMenu = false;
    std::string helpFault;        // HELP: the request rules' complaint
};

class Kernel {
public:
    Kernel(KLVia via, std::vector<const char*> words = {}) : kernel_(via, std::move(words)) {
        kernel_.onReply = [this](Dag reply) {
            Reply r;
            r.stream = std::string(dag_text(dag_op(reply, 1))).substr(10);
            Dag args = dag_op(reply, 2);
            r.printed = kl_printed(args);
            if (r.stream == "PRINT" && dag_length(args) == 2 && is_menu(dag_op(args, 1))) {
                r.isMenu = true;
                r.menu = read_menu(dag_op(args, 1));
            }
            if (r.stream == "HELP") r.helpFault = help_request_fault(args);
            replies_.push_back(r);
        };
    }
    std::vector<Reply> run(const std::string& text, bool interruptOnPrint = false) {
        replies_.clear();
        kernel_.run(text, interruptOnPrint);
        return replies_;
    }

private:
    KLRealKernel kernel_;
    std::vector<Reply> replies_;
};

std::vector<std::string> streams(const std::vector<Reply>& replies) {
    std::vector<std::string> s;
    for (const Reply& r : replies) s.push_back(r.stream);
    return s;
}

// "STREAM:printed" of each reply but DONE.
std::vector<std::string> answers(const std::vector<Reply>& replies) {
    std::vector<std::string> s;
    for (const Reply& r : replies)
        if (r.stream != "DONE") s.push_back(r.stream + ":" + r.printed);
    return s;
}

class ProcedureTest : public ::testing::TestWithParam<KLVia> {
protected:
    static void TearDownTestSuite() { kernels.clear(); }
    Kernel& kernel() {
        auto& k = kernels[GetParam() == KLVia::Direct ? 0 : 1];
        if (!k) k = std::make_unique<Kernel>(GetParam());
        return *k;
    }
    std::vector<Reply> run(const std::string& text, bool interruptOnPrint = false) {
        return kernel().run(text, interruptOnPrint);
    }
    static std::vector<std::unique_ptr<Kernel>> kernels;
};
std::vector<std::unique_ptr<Kernel>> ProcedureTest::kernels(2);

// ---- spreadsheet cells ----------------------------------------------------------------------------------

struct SheetCase {
    const char* name;
    const char* command;
    std::vector<std::string> answers;   // STREAM:printed, DONE left out
};

const SheetCase sheetCases[] = {
    {"symbolic_sum", "`Spreadsheet/eval`([x+1], `symbolic`, 10);", {"RESULT:x+1"}},
    {"numeric_default_digits", "`Spreadsheet/eval`([1/3], `numeric`);", {"RESULT:.3333333333"}},
    {"numeric_five_digits", "`Spreadsheet/eval`([1/3], `numeric`, 5);", {"RESULT:.33333"}},
    {"symbolic_exact_integer", "`Spreadsheet/eval`([2^100], `symbolic`);", {"RESULT:1267650600228229401496703205376"}},
    {"symbolic_floats_at_the_digits", "`Spreadsheet/eval`([1.0/3], `symbolic`, 5);", {"RESULT:.33333"}},
    {"two_entries_a_sequence", "`Spreadsheet/eval`([2+3, y], `symbolic`);", {"RESULT:5, y"}},
    {"quoted_name_of_a_text_that_does_not_parse", "`1+`;", {"RESULT:`1+`"}},
};

TEST_P(ProcedureTest, SheetCommandsAnswerTheirValueAndKeepDigits) {
    for (const SheetCase& c : sheetCases) {
        auto replies = run(c.command);
        EXPECT_EQ(answers(replies), c.answers) << c.name;
        ASSERT_FALSE(replies.empty());
        EXPECT_EQ(replies.back().stream, "DONE");
        EXPECT_EQ(answers(run("Digits;")), (std::vector<std::string>{"RESULT:10"})) << c.name;
    }
}

TEST_P(ProcedureTest, SheetRefusalsAreErrorsAndDigitsComesBack) {
    run("Digits := 15:");
    const char* bad[] = {
        "`Spreadsheet/eval`([1/0], `symbolic`, 10);",     "`Spreadsheet/eval`([1], `symbolic`, 0);",
        "`Spreadsheet/eval`([1], `numeric`, 100001);",     "`Spreadsheet/eval`([1], `exact`);",
        "`Spreadsheet/eval`([1], `symbolic`, 5/2);",       "`Spreadsheet/eval`(1, `symbolic`);",
    };
    for (const char* command : bad) {
        auto replies = run(command);
        EXPECT_EQ(streams(replies), (std::vector<std::string>{"ERROR", "DONE"})) << command;
        EXPECT_EQ(answers(run("Digits;")), (std::vector<std::string>{"RESULT:15"})) << command;
    }
    // Interrupted while the cell's digits are set.
    run("spin := proc() print(started); while true do od end:");
    auto replies = run("`Spreadsheet/eval`([spin()], `symbolic`, 5);", true);
    EXPECT_EQ(streams(replies), (std::vector<std::string>{"PRINT", "INTR", "DONE"}));
    EXPECT_EQ(answers(run("Digits;")), (std::vector<std::string>{"RESULT:15"}));
    run("Digits := 10:");
}

// ---- context menus --------------------------------------------------------------------------------------

const Reply* menu_of(const std::vector<Reply>& replies, const std::string& request) {
    EXPECT_EQ(streams(replies), (std::vector<std::string>{"PRINT", "DONE"})) << request;
    if (replies.empty() || !replies[0].isMenu) {
        ADD_FAILURE() << request << ": no menu in " << (replies.empty() ? "" : replies[0].printed);
        return nullptr;
    }
    return &replies[0];
}

TEST_P(ProcedureTest, FactorItemAnswersAnInputAndInPlaceTheFactors) {
    auto mReplies = run("print(ContextMenu(x^2-1));");
    const Reply* m = menu_of(mReplies, "x^2-1");
    ASSERT_NE(m, nullptr);
    const MenuItem* factor = find(m->menu, "Factor");
    ASSERT_NE(factor, nullptr);
    ASSERT_FALSE(factor->command.empty());
    std::string factored = answers(run("factor(x^2-1);")).at(0);

    auto input = run("print(" + factor->command + "([ none, x^2-1 ]));");
    ASSERT_EQ(streams(input), (std::vector<std::string>{"PRINT", "DONE"}));
    std::string text = input[0].printed;
    ASSERT_GE(text.size(), 2u);
    ASSERT_EQ(text.front(), '"') << text;
    // The worksheet executes the string as a new input.
    EXPECT_EQ(answers(run(text.substr(1, text.size() - 2))), (std::vector<std::string>{factored}));

    auto inPlace = run("print(" + factor->command + "([ none, x^2-1 ], \"autoassign\"=false, \"parse\"=true));");
    EXPECT_EQ(answers(inPlace), (std::vector<std::string>{"PRINT:" + factored.substr(7)}));
}

TEST_P(ProcedureTest, MenusFollowTheKindOfExpression) {
    struct Case {
        const char* participant;
        std::vector<std::string> present, absent;
    };
    const Case cases[] = {
        {"x^2+y", {"Factor", "Expand", "Differentiate", "Integrate", "Plot 3D"}, {"Solve", "Plot", "Integer Factors"}},
        {"12", {"Integer Factors"}, {"Factor", "Approximate", "Plot"}},
        {"x^2 = 1", {"Solve"}, {"Factor", "Plot"}},
        {"sin(x)", {"Plot", "Differentiate"}, {"Plot 3D", "Solve", "Approximate"}},
        {"Pi*x + 1/2", {"Approximate", "Factor"}, {"Integer Factors"}},
        {"x^2-1, x+1", {"Factor", "Plot"}, {"Solve"}},
        {"x^2-1, 12", {}, {"Factor", "Integer Factors"}},
    };
    for (const Case& c : cases) {
        std::string request = std::string("print(ContextMenu(") + c.participant + "));";
        auto mReplies = run(request);
    const Reply* m = menu_of(mReplies, request);
        if (!m) continue;
        for (const std::string& label : c.present) EXPECT_NE(find(m->menu, label), nullptr) << c.participant << ": " << label;
        for (const std::string& label : c.absent) EXPECT_EQ(find(m->menu, label), nullptr) << c.participant << ": " << label;
        // Separators stand only between items.
        if (!m->menu.empty()) {
            EXPECT_NE(m->menu.front().command, "-");
            EXPECT_NE(m->menu.back().command, "-");
        }
    }
}

TEST_P(ProcedureTest, PerNameCommandsOfSubmenusWork) {
    auto mReplies = run("print(ContextMenu(x^2+y));");
    const Reply* m = menu_of(mReplies, "x^2+y");
    ASSERT_NE(m, nullptr);
    const MenuItem* diff = find(m->menu, "Differentiate");
    ASSERT_NE(diff, nullptr);
    ASSERT_EQ(diff->submenu.size(), 2u);
    EXPECT_EQ(diff->submenu[0].label, "x");
    EXPECT_EQ(diff->submenu[1].label, "y");
    const std::string options = ", \"autoassign\"=false, \"parse\"=true));";
    EXPECT_EQ(answers(run("print(" + diff->submenu[1].command + "([ none, x^2+y ]" + options)),
              (std::vector<std::string>{"PRINT:1"}));
    EXPECT_EQ(answers(run("print(" + diff->submenu[0].command + "([ none, x^2+y ]" + options)),
              (std::vector<std::string>{"PRINT:2*x"}));

    auto sReplies = run("print(ContextMenu(x^2 = 1));");
    const Reply* s = menu_of(sReplies, "x^2 = 1");
    ASSERT_NE(s, nullptr);
    const MenuItem* solve = find(s->menu, "Solve");
    ASSERT_NE(solve, nullptr);
    ASSERT_EQ(solve->submenu.size(), 1u);
    // Two roots: no single expression replaces the selection, so the worksheet asks plainly.
    EXPECT_EQ(answers(run("print(" + solve->submenu[0].command + "([ none, x^2 = 1 ]" + options)),
              (std::vector<std::string>{"PRINT:"}));
    auto plain = answers(run("print(" + solve->submenu[0].command + "([ none, x^2 = 1 ]));"));
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_NE(plain[0].find("solve("), std::string::npos) << plain[0];

    auto pReplies = run("print(ContextMenu(sin(x)));");
    const Reply* p = menu_of(pReplies, "sin(x)");
    ASSERT_NE(p, nullptr);
    const MenuItem* plot = find(p->menu, "Plot");
    ASSERT_NE(plot, nullptr);
    auto plotInput = answers(run("print(" + plot->command + "([ none, sin(x) ]));"));
    ASSERT_EQ(plotInput.size(), 1u);
    EXPECT_NE(plotInput[0].find("plot(sin(x)"), std::string::npos) << plotInput[0];
    EXPECT_EQ(answers(run("print(" + plot->command + "([ none, sin(x) ]" + options)),
              (std::vector<std::string>{"PRINT:"}));

    auto iReplies = run("print(ContextMenu(12));");
    const Reply* i = menu_of(iReplies, "12");
    ASSERT_NE(i, nullptr);
    const MenuItem* ifactor = find(i->menu, "Integer Factors");
    ASSERT_NE(ifactor, nullptr);
    auto factors = answers(run("print(" + ifactor->command + "([ none, 12 ]" + options));
    EXPECT_EQ(factors, (std::vector<std::string>{"PRINT:" + answers(run("ifactor(12);")).at(0).substr(7)}));
}

// Participants are inspected, never run: nothing of an effectful call happens.
TEST_P(ProcedureTest, EffectfulParticipantGetsNothingAndRunsNothing) {
    const char* participants[] = {
        "INTERFACE_HELP(display, topic = int)", "x + help(int)", "print(x)", "x*interface(prettyprint = 0)",
        "readlib(`context/init`)()", "plot(x)", "[ContextMenu(x)]",
    };
    const char* commands[] = {"ContextFactor", "ContextExpand", "ContextApproximate", "ContextDiff(x)",
                              "ContextPlot", "ContextSolve(x)", "ContextIfactor"};
    for (const char* p : participants) {
        auto menu = run(std::string("print(ContextMenu(") + p + "));");
        const Reply* m = menu_of(menu, p);
        if (m) {
            EXPECT_TRUE(m->menu.empty()) << p;
        }
        for (const char* c : commands) {
            for (const char* tail : {" ]));", " ], \"autoassign\"=false, \"parse\"=true));"}) {
                auto replies = run(std::string("print(") + c + "([ none, " + p + tail);
                EXPECT_EQ(answers(replies), (std::vector<std::string>{"PRINT:"})) << c << " on " << p;
            }
        }
    }
}

// ---- the HELP stream ------------------------------------------------------------------------------------

TEST_P(ProcedureTest, HelpRequestsArriveAsWritten) {
    struct Case {
        const char* statement;
        std::vector<std::string> answers;
    };
    const Case cases[] = {
        {"help(int);", {"HELP:display, topic = int"}},
        {"help();", {"HELP:display, topic = help"}},
        {"help(\"plot3d\");", {"HELP:display, topic = \"plot3d\""}},
        {"INTERFACE_HELP(insert, helpfile = \"hd\", topic = t, text = TEXT(\"a\", \"b\"));",
         {"HELP:insert, helpfile = \"hd\", topic = t, text = TEXT(\"a\",\"b\")"}},
        {"INTERFACE_HELP(delete, helpfile = \"hd\", topic = t);", {"HELP:delete, helpfile = \"hd\", topic = t"}},
        {"libname := \"lib1\", \"lib2\":", {"HELP:setpath, \"lib1\", \"lib2\""}},
        {"readlib(`context/init`)();", {"HELP:setpath, \"lib1\", \"lib2\""}},
    };
    for (const Case& c : cases) {
        auto replies = run(c.statement);
        EXPECT_EQ(answers(replies), c.answers) << c.statement;
        for (const Reply& r : replies) {
            if (r.stream != "HELP") continue;
            EXPECT_EQ(r.helpFault, "") << c.statement;
        }
    }
    // An assignment of something that holds no folders is refused.
    EXPECT_EQ(streams(run("libname := 1/2:")), (std::vector<std::string>{"ERROR", "DONE"}));
}

struct StartCase {
    const char* name;
    std::vector<const char*> words;
    std::string folder;
};

class HelpStartTest : public ::testing::TestWithParam<KLVia> {};

TEST_P(HelpStartTest, StartUpStatementSendsTheLibraryFolders) {
    std::string library = KL_REAL_KERNEL;
    std::string libraryFolder = library.substr(0, library.find_last_of('/'));
    const StartCase cases[] = {
        {"option_b", {"-b", "/tmp/kelvo-test-lib"}, "/tmp/kelvo-test-lib"},
        {"option_b_attached", {"-b/srv/lib"}, "/srv/lib"},
        {"library_folder", {}, libraryFolder},
    };
    for (const StartCase& c : cases) {
        Kernel k(GetParam(), c.words);
        auto replies = k.run("readlib(`context/init`)();");
        EXPECT_EQ(answers(replies), (std::vector<std::string>{"HELP:setpath, \"" + c.folder + "\""})) << c.name;
        ASSERT_FALSE(replies.empty());
        EXPECT_EQ(replies.back().stream, "DONE");
        EXPECT_EQ(replies[0].helpFault, "") << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Links, ProcedureTest, ::testing::Values(KLVia::Direct, KLVia::Server), kl_via_name);
INSTANTIATE_TEST_SUITE_P(Links, HelpStartTest, ::testing::Values(KLVia::Direct, KLVia::Server), kl_via_name);

}  // namespace

#endif
