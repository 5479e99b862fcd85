// The engine bridge against a real octave-cli, with a test kernel playing the caller.

#include "bridges/engbridge/engbridge.h"

#include "kernel_table.h"
#include "tovu/errors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class BridgeEnvironment : public ::testing::Environment {
public:
    void SetUp() override { tovu_start(); }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new BridgeEnvironment);

const KernelSlot* T() { return kernel_table(); }

// The message the call raised through slot 12, or "(returned)".
std::string raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const KernelError& e) {
        return e.message;
    }
    return "(returned)";
}

long integer_value(const DagWord* d) { return d && dag_type(d) == DAG_INTPOS && dag_length(d) == 2 ? long(d[1]) : -1; }

// Runs a command that must succeed in the engine.
void run(const std::string& command) {
    EXPECT_EQ(raised([&] { MatlabExecuteCommand(T(), make_args({make_string(command.c_str())})); }), "(returned)")
        << command;
}

void set(const char* name, Dag re, Dag im = nullptr) {
    std::vector<Dag> args = {make_name(name), re};
    if (im) args.push_back(im);
    MatlabSetVariable(T(), make_args(args));
}

KernelValue get(const char* name) { return MatlabGetVariable(T(), make_args({make_string(name)})); }

// Children of this process whose program is octave.
int octave_children() {
    int n = 0;
    DIR* d = opendir("/proc");
    std::string me = std::to_string(::getpid());
    while (dirent* e = readdir(d)) {
        std::string stat = std::string("/proc/") + e->d_name + "/stat";
        FILE* f = std::fopen(stat.c_str(), "r");
        if (!f) continue;
        char line[512] = {};
        size_t got = std::fread(line, 1, sizeof line - 1, f);
        std::fclose(f);
        std::string text(line, got);
        size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        // pid (comm) state ppid ...
        std::string comm = text.substr(text.find('(') + 1, close - text.find('(') - 1);
        long ppid = std::strtol(text.c_str() + close + 4, nullptr, 10);
        if (std::to_string(ppid) == me && comm.find("octave") != std::string::npos) ++n;
    }
    closedir(d);
    return n;
}

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(integer_value(MatlabOpenEngine(T())), 1); }
    void TearDown() override { EXPECT_EQ(integer_value(MatlabCloseEngine(T())), 1); }

    // Kills the engine's process.
    void kill_engine() {
        run("kelvo_pid = getpid();");
        KernelValue v = get("kelvo_pid");
        ASSERT_EQ(call_name(v), "float");
        ASSERT_EQ(::kill(static_cast<pid_t>(values_of(call_arg(v, 0))[0]), SIGKILL), 0);
    }
};

TEST_F(BridgeTest, OpeningTwiceKeepsOneEngine) {
    run("kept = 5;");
    EXPECT_EQ(integer_value(MatlabOpenEngine(T())), 1);
    EXPECT_EQ(octave_children(), 1);
    KernelValue v = get("kept");
    EXPECT_EQ(values_of(call_arg(v, 0)), std::vector<double>{5});
}

TEST(Bridge, ClosingWithoutEngineAndFailingStart) {
    EXPECT_EQ(integer_value(MatlabCloseEngine(T())), 1);
    ::setenv("KELVO_OCTAVE", "/nonexistent/octave", 1);
    EXPECT_EQ(raised([] { MatlabOpenEngine(T()); }), "Kelvo/Matlab Link: Can't start Matlab engine");
    ::unsetenv("KELVO_OCTAVE");
    const char* opened = "Matlab engine is not opened";
    EXPECT_EQ(raised([] { set("x", make_hfarray({{1, 1}}, {1})); }), opened);
    EXPECT_EQ(raised([] { MatlabExecuteCommand(T(), make_args({make_string("1")})); }), opened);
    EXPECT_EQ(raised([] { get("x"); }), opened);
}

TEST_F(BridgeTest, RowMajorArraysArriveAtTheSameIndices) {
    set("x", make_hfarray({{1, 2}, {1, 3}}, {1, 2, 3, 4, 5, 6}));
    run("assert(isequal(x, [1 2 3; 4 5 6]))");
    KernelValue back = get("x");
    EXPECT_EQ(bounds_of(back), (std::vector<std::pair<long, long>>{{1, 2}, {1, 3}}));
    EXPECT_EQ(values_of(back), (std::vector<double>{1, 2, 3, 4, 5, 6}));

    set("z", make_hfarray({{1, 2}, {1, 3}}, {1, 2, 3, 4, 5, 6}), make_hfarray({{1, 2}, {1, 3}}, {-1, -2, -3, -4, -5, -6}));
    run("assert(isequal(z, [1 2 3; 4 5 6] - 1i * [1 2 3; 4 5 6]))");
    KernelValue c = get("z");
    ASSERT_EQ(call_name(c), "complexarray");
    EXPECT_EQ(values_of(call_arg(c, 0)), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(values_of(call_arg(c, 1)), (std::vector<double>{-1, -2, -3, -4, -5, -6}));
    EXPECT_EQ(bounds_of(call_arg(c, 1)), (std::vector<std::pair<long, long>>{{1, 2}, {1, 3}}));

    // Three dimensions: the value at (i, j, l) is 100 i + 10 j + l, in row-major order.
    std::vector<double> cube;
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 3; ++j)
            for (int l = 1; l <= 4; ++l) cube.push_back(100 * i + 10 * j + l);
    set("t", make_hfarray({{1, 2}, {1, 3}, {1, 4}}, cube));
    run("[i, j, l] = ndgrid(1:2, 1:3, 1:4); assert(isequal(size(t), [2 3 4]) && isequal(t, 100*i + 10*j + l))");
    KernelValue t = get("t");
    EXPECT_EQ(bounds_of(t), (std::vector<std::pair<long, long>>{{1, 2}, {1, 3}, {1, 4}}));
    EXPECT_EQ(values_of(t), cube);

    // One dimension: a 1 x n row.
    set("r", make_hfarray({{1, 3}}, {7, 8, 9}));
    run("assert(isequal(r, [7 8 9]))");
}

TEST_F(BridgeTest, ShapesReadBack) {
    run("s = 2.5; w = 1 - 2i; col = [1; 2; 3]; row = [1 2 3];");
    KernelValue s = get("s");
    ASSERT_EQ(call_name(s), "float");
    EXPECT_EQ(values_of(call_arg(s, 0)), std::vector<double>{2.5});
    KernelValue w = get("w");
    ASSERT_EQ(call_name(w), "complexfloat");
    EXPECT_EQ(values_of(call_arg(w, 0)), (std::vector<double>{1, -2}));
    KernelValue col = get("col");
    EXPECT_EQ(bounds_of(col), (std::vector<std::pair<long, long>>{{1, 3}}));
    EXPECT_EQ(values_of(col), (std::vector<double>{1, 2, 3}));
    KernelValue row = get("row");
    EXPECT_EQ(bounds_of(row), (std::vector<std::pair<long, long>>{{1, 1}, {1, 3}}));
    EXPECT_EQ(raised([] { get("missing"); }), "Matlab cannot get array!");
    run("empty = [];");
    EXPECT_EQ(raised([] { get("empty"); }), "Matlab cannot get array!");
}

struct ErrorRow {
    const char* name;
    std::function<void()> call;
    const char* message;
};

TEST_F(BridgeTest, ArgumentErrors) {
    const char* setUsage = "usage: matlab_set(\"var_name\", value)";
    const char* evalUsage = "usage: matlab_eval(\"command\")";
    const char* badArray = "check the sizes and attributes of hfarray";
    auto hf23 = [] { return make_hfarray({{1, 2}, {1, 3}}, {1, 2, 3, 4, 5, 6}); };
    const ErrorRow rows[] = {
        {"set, one argument", [] { MatlabSetVariable(T(), make_args({make_name("x")})); }, setUsage},
        {"set, four arguments", [&] { MatlabSetVariable(T(), make_args({make_name("x"), hf23(), hf23(), hf23()})); }, setUsage},
        {"set, not a sequence", [&] { MatlabSetVariable(T(), hf23()); }, setUsage},
        {"set, name without text", [&] { MatlabSetVariable(T(), make_args({hf23(), hf23()})); }, "No name is assigned"},
        {"set, not an array", [] { MatlabSetVariable(T(), make_args({make_name("x"), make_name("y")})); }, badArray},
        {"set, lower bound 0", [] { set("x", make_hfarray({{0, 1}, {1, 3}}, {1, 2, 3, 4, 5, 6})); },
         "cannot use HFArray with lower bound != 1"},
        {"set, imaginary lower bound 0", [&] { set("x", hf23(), make_hfarray({{1, 2}, {0, 2}}, {1, 2, 3, 4, 5, 6})); },
         "cannot use HFArray with lower bound != 1"},
        {"set, parts of different bounds", [&] { set("x", hf23(), make_hfarray({{1, 3}, {1, 2}}, {1, 2, 3, 4, 5, 6})); },
         "Two HFARRAYs don't match in range bounds"},
        {"set, parts of different counts", [&] { set("x", hf23(), make_hfarray({{1, 1}, {1, 3}}, {1, 2, 3})); }, badArray},
        {"set, imaginary part not an array", [&] { set("x", hf23(), make_name("y")); }, badArray},
        {"set, bounds disagree with count", [] { set("x", make_hfarray({{1, 2}, {1, 3}}, {1, 2, 3})); }, badArray},
        {"set, bounds overflow", [] { set("x", make_hfarray({{1, 1L << 40}, {1, 1L << 40}}, {1})); }, badArray},
        {"eval, no argument", [] { MatlabExecuteCommand(T(), make_args({})); }, evalUsage},
        {"eval, argument without text", [&] { MatlabExecuteCommand(T(), make_args({hf23()})); }, evalUsage},
        {"get, three arguments", [] { MatlabGetVariable(T(), make_args({make_name("x"), make_name("y"), make_name("z")})); },
         "usage: matlab_get(var_string_name)"},
        {"get, no argument", [] { MatlabGetVariable(T(), make_args({})); }, "No name is assigned"},
        {"get, argument without text", [&] { MatlabGetVariable(T(), make_args({hf23()})); }, "No name is assigned"},
    };
    for (const ErrorRow& row : rows) EXPECT_EQ(raised(row.call), row.message) << row.name;
    // Nothing above reached the engine.
    EXPECT_EQ(raised([] { get("x"); }), "Matlab cannot get array!");
}

TEST_F(BridgeTest, FailingCommandRaisesItsOutput) {
    EXPECT_EQ(raised([] { MatlabExecuteCommand(T(), make_args({make_string("error('bad')")})); }), "\n error: bad\n");
    // A command whose output overfills the buffer: the message is cut at the buffer's end.
    std::string message = raised([] {
        MatlabExecuteCommand(T(), make_args({make_string("disp(repmat('x', 1, 10000)); error('late')")}));
    });
    EXPECT_EQ(message.substr(0, 4), "\n xx");
    EXPECT_EQ(message.size(), 1u + 255 - 2);
    // An error left in lasterr without output: only the prompt's last character remains.
    EXPECT_EQ(raised([] { MatlabExecuteCommand(T(), make_args({make_string("lasterr('quiet')")})); }), "\n ");
}

TEST_F(BridgeTest, NamesNeverRunAsCommands) {
    run("kelvo_folder = pwd;");
    std::string marker = "p";
    ::unlink(marker.c_str());
    EXPECT_EQ(raised([] { set("x;system('touch p')", make_hfarray({{1, 2}, {1, 3}}, {1, 2, 3, 4, 5, 6})); }),
              "cannot put variable into the engine");
    struct stat st;
    EXPECT_NE(::stat(marker.c_str(), &st), 0);
    EXPECT_EQ(raised([] { get("x;system('touch p')"); }), "Matlab cannot get array!");
}

TEST_F(BridgeTest, LostEngine) {
    kill_engine();
    EXPECT_EQ(raised([] { MatlabExecuteCommand(T(), make_args({make_string("disp(1)")})); }),
              "cannot execute command, connection to Matlab may be lost");
    EXPECT_EQ(raised([] { set("t", make_hfarray({{1, 2}, {1, 1}, {1, 2}}, {1, 2, 3, 4})); }),
              "MATLAB engine on PC does not support 3D arrays");
    EXPECT_EQ(raised([] { set("m", make_hfarray({{1, 2}, {1, 2}}, {1, 2, 3, 4})); }), "cannot put variable into the engine");
    EXPECT_EQ(raised([] { get("m"); }), "Matlab cannot get array!");
}

}  // namespace
