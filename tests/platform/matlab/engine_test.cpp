// The engine against a real octave-cli: exact doubles both ways, extents, captured output,
// refused names, and engines whose child dies.

#include "platform/matlab/engine.h"
#include "tests/support/named_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct ArrayDeleter {
    void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

int open_descriptors() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n;
}

uint64_t bits_of(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

std::string hex_of(double v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits_of(v)));
    return text;
}

// Same bits, or both NaN.
bool same_double(double a, double b) { return (std::isnan(a) && std::isnan(b)) || bits_of(a) == bits_of(b); }

const std::vector<double>& edge_values() {
    static const std::vector<double> values = {
        0.0, -0.0, 1.0, -1.0, 0.1, M_PI, 4.9e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
        -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()};
    return values;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

bool is_nan_hex(const std::string& h) {
    if (h.size() != 16) return false;
    uint64_t b = std::strtoull(h.c_str(), nullptr, 16);
    return ((b >> 52) & 0x7ff) == 0x7ff && (b & ((1ULL << 52) - 1)) != 0;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        fdsBefore_ = open_descriptors();
        ep_ = engOpen(nullptr);
        ASSERT_NE(ep_, nullptr) << "octave-cli did not start (Debian package octave)";
        std::memset(buffer_, '#', sizeof buffer_);
        ASSERT_EQ(engOutputBuffer(ep_, buffer_, kBufferSize), 0);
    }

    void TearDown() override {
        if (ep_) {
            EXPECT_EQ(engClose(ep_), 0);
        }
        EXPECT_EQ(open_descriptors(), fdsBefore_);
    }

    // Runs a command and answers what it printed, less the ">> " prompt.
    std::string run(const std::string& command) {
        EXPECT_EQ(engEvalString(ep_, command.c_str()), 0) << command;
        std::string text = buffer_;
        EXPECT_EQ(text.substr(0, 3), ">> ");
        return text.size() >= 3 ? text.substr(3) : text;
    }

    pid_t engine_pid() { return static_cast<pid_t>(std::atol(run("disp(getpid())").c_str())); }

    // A put of 2 x 6 values, checked in the engine through num2hex.
    void expect_hex_in_engine(const char* expression, const std::vector<double>& values) {
        std::vector<std::string> lines = lines_of(run(std::string("disp(num2hex(") + expression + "))"));
        ASSERT_EQ(lines.size(), values.size()) << expression;
        for (size_t i = 0; i < values.size(); ++i) {
            if (std::isnan(values[i])) {
                EXPECT_TRUE(is_nan_hex(lines[i])) << expression << " " << i << " " << lines[i];
            } else {
                EXPECT_EQ(lines[i], hex_of(values[i])) << expression << " " << i;
            }
        }
    }

    static constexpr int kBufferSize = 256;
    Engine* ep_ = nullptr;
    char buffer_[kBufferSize + 64];
    int fdsBefore_ = 0;
};

TEST_F(EngineTest, DoublesTravelBitForBit) {
    const std::vector<double>& v = edge_values();
    Array real(mxCreateDoubleMatrix(2, 6, mxREAL));
    std::memcpy(mxGetPr(real.get()), v.data(), v.size() * sizeof(double));
    mxSetName(real.get(), "a");
    ASSERT_EQ(engPutArray(ep_, real.get()), 0);
    expect_hex_in_engine("a(:)", v);

    std::vector<double> im(v.rbegin(), v.rend());
    Array cplx(mxCreateDoubleMatrix(2, 6, mxCOMPLEX));
    std::memcpy(mxGetPr(cplx.get()), v.data(), v.size() * sizeof(double));
    std::memcpy(mxGetPi(cplx.get()), im.data(), im.size() * sizeof(double));
    mxSetName(cplx.get(), "z");
    ASSERT_EQ(engPutArray(ep_, cplx.get()), 0);
    expect_hex_in_engine("real(z(:))", v);
    expect_hex_in_engine("imag(z(:))", im);

    // Made in the engine from hex texts, read back.
    std::string hexRows = "b = reshape(hex2num([";
    for (double d : v) hexRows += "'" + hex_of(d) + "';";
    hexRows += "]), 2, 6);";
    run(hexRows + " c = complex(b, reshape(flipud(b(:)), 2, 6));");
    Array b(engGetArray(ep_, "b"));
    ASSERT_TRUE(b);
    ASSERT_EQ(mxGetNumberOfElements(b.get()), v.size());
    for (size_t i = 0; i < v.size(); ++i) EXPECT_TRUE(same_double(mxGetPr(b.get())[i], v[i])) << i;
    Array c(engGetArray(ep_, "c"));
    ASSERT_TRUE(c);
    ASSERT_TRUE(mxIsComplex(c.get()));
    EXPECT_EQ(mxGetN(c.get()), 6);
    for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_TRUE(same_double(mxGetPr(c.get())[i], v[i])) << i;
        EXPECT_TRUE(same_double(mxGetPi(c.get())[i], im[i])) << i;
    }
}

TEST_F(EngineTest, ExtentsAndOrderBothWays) {
    const int dims[] = {2, 3, 4};
    Array a(mxCreateNumericArray(3, dims, mxDOUBLE_CLASS, mxREAL));
    for (int i = 0; i < 24; ++i) mxGetPr(a.get())[i] = i + 1;
    mxSetName(a.get(), "t");
    ASSERT_EQ(engPutArray(ep_, a.get()), 0);
    EXPECT_EQ(run("disp(isequal(t, reshape(1:24, [2 3 4])))"), "1\n");
    EXPECT_EQ(run("disp(t(2, 3, 4))"), "24\n");

    Array back(engGetArray(ep_, "t"));
    ASSERT_TRUE(back);
    ASSERT_EQ(mxGetNumberOfDimensions(back.get()), 3);
    EXPECT_EQ(std::vector<int>(mxGetDimensions(back.get()), mxGetDimensions(back.get()) + 3),
              (std::vector<int>{2, 3, 4}));
    for (int i = 0; i < 24; ++i) EXPECT_EQ(mxGetPr(back.get())[i], i + 1);

    run("col = [1; 2; 3]; row = [1 2 3]; e = zeros(0, 3); lasterr(''); result_for_kelvo_eval = isempty(lasterr);");
    struct {
        const char* name;
        int m, n;
    } shapes[] = {{"col", 3, 1}, {"row", 1, 3}, {"e", 0, 3}, {"result_for_kelvo_eval", 1, 1}};
    for (const auto& s : shapes) {
        Array x(engGetArray(ep_, s.name));
        ASSERT_TRUE(x) << s.name;
        EXPECT_TRUE(mxIsDouble(x.get()));
        EXPECT_EQ(mxGetDimensions(x.get())[0], s.m) << s.name;
        EXPECT_EQ(mxGetN(x.get()), s.n) << s.name;
    }
    Array flag(engGetArray(ep_, "result_for_kelvo_eval"));
    EXPECT_EQ(mxGetPr(flag.get())[0], 1.0);

    // Logical, character and sparse values arrive as doubles; other classes and missing
    // variables as none.
    run("l = [true false]; s = 'AB'; sp = sparse([0 2]); st.x = 1; cl = {1};");
    Array s(engGetArray(ep_, "s"));
    ASSERT_TRUE(s);
    EXPECT_EQ(mxGetPr(s.get())[1], 66.0);
    Array sp(engGetArray(ep_, "sp"));
    ASSERT_TRUE(sp);
    EXPECT_EQ(mxGetPr(sp.get())[1], 2.0);
    EXPECT_TRUE(Array(engGetArray(ep_, "l")));
    EXPECT_FALSE(Array(engGetArray(ep_, "st")));
    EXPECT_FALSE(Array(engGetArray(ep_, "cl")));
    EXPECT_FALSE(Array(engGetArray(ep_, "nosuchvariable")));
    // The engine still answers after each refusal.
    EXPECT_EQ(run("disp(7)"), "7\n");
}

TEST_F(EngineTest, CapturedOutput) {
    EXPECT_EQ(buffer_[0], '#') << "written before a command ran";
    ASSERT_EQ(engEvalString(ep_, "disp(1)"), 0);
    EXPECT_STREQ(buffer_, ">> 1\n");
    ASSERT_EQ(engEvalString(ep_, "error('bad')"), 0);
    EXPECT_STREQ(buffer_, ">> error: bad\n");
    ASSERT_EQ(engEvalString(ep_, "disp(lasterr)"), 0);
    EXPECT_STREQ(buffer_, ">> bad\n");
    // Quotes and line breaks in the command reach Octave as written.
    ASSERT_EQ(engEvalString(ep_, "q = 'it''s';\ndisp(q)"), 0);
    EXPECT_STREQ(buffer_, ">> it's\n");

    ASSERT_EQ(engEvalString(ep_, "disp(repmat('x', 1, 10000))"), 0);
    EXPECT_EQ(std::strlen(buffer_), static_cast<size_t>(kBufferSize - 1));
    for (size_t i = kBufferSize; i < sizeof buffer_; ++i) EXPECT_EQ(buffer_[i], '#') << "guard byte " << i;

    ASSERT_EQ(engOutputBuffer(ep_, nullptr, 0), 0);
    std::memset(buffer_, 0, sizeof buffer_);
    EXPECT_EQ(engEvalString(ep_, "disp(repmat('y', 1, 1000000))"), 0);
    EXPECT_EQ(buffer_[0], 0);
}

TEST_F(EngineTest, NamesThatAreNotIdentifiersAreRefused) {
    std::string folder = run("disp(pwd)");
    folder.pop_back();
    std::string marker = folder + "/p";
    ::unlink(marker.c_str());
    const std::string tooLong(64, 'v');
    Array a(mxCreateDoubleMatrix(2, 3, mxREAL));
    for (const char* name : {"x;system('touch p')", "1x", "", "a b", tooLong.c_str()}) {
        mxSetName(a.get(), name);
        EXPECT_EQ(engPutArray(ep_, a.get()), 1) << name;
        EXPECT_FALSE(Array(engGetArray(ep_, name))) << name;
    }
    struct stat st;
    EXPECT_NE(::stat(marker.c_str(), &st), 0) << "a name ran as a command";
    // A keyword is an identifier that Octave refuses.
    mxSetName(a.get(), "for");
    EXPECT_EQ(engPutArray(ep_, a.get()), 1);
    const std::string longest(63, 'v');
    mxSetName(a.get(), longest.c_str());
    EXPECT_EQ(engPutArray(ep_, a.get()), 0);
    EXPECT_TRUE(Array(engGetArray(ep_, longest.c_str())));
    // After the refused transfer the next one is whole.
    mxGetPr(a.get())[5] = 42;
    mxSetName(a.get(), "w");
    ASSERT_EQ(engPutArray(ep_, a.get()), 0);
    EXPECT_EQ(run("disp(w(2, 3))"), "42\n");
}

using kelvo_test::PrintTo;

struct DeathRow {
    const char* name;
    const char* command;  // null: the test kills the child between two calls
};

class EngineDeathTest : public EngineTest, public ::testing::WithParamInterface<DeathRow> {};

TEST_P(EngineDeathTest, FailsWithoutHangingAndReaps) {
    pid_t pid = engine_pid();
    ASSERT_GT(pid, 0);
    if (GetParam().command) {
        std::string command = GetParam().command;
        EXPECT_EQ(engEvalString(ep_, command.c_str()), 1);
    } else {
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        EXPECT_EQ(engEvalString(ep_, "disp(1)"), 1);
    }
    // Later calls fail at once; a put to the dead child does not end this process through
    // SIGPIPE (the default action is in force).
    struct sigaction action {};
    sigaction(SIGPIPE, nullptr, &action);
    ASSERT_EQ(action.sa_handler, SIG_DFL);
    EXPECT_EQ(engEvalString(ep_, "disp(2)"), 1);
    Array big(mxCreateDoubleMatrix(1000, 100, mxREAL));
    mxSetName(big.get(), "big");
    EXPECT_EQ(engPutArray(ep_, big.get()), 1);
    EXPECT_FALSE(Array(engGetArray(ep_, "big")));
    EXPECT_EQ(engClose(ep_), 0);
    ep_ = nullptr;
    int status;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1) << "the child was left unreaped";
}

INSTANTIATE_TEST_SUITE_P(
    Deaths, EngineDeathTest,
    ::testing::Values(DeathRow{"killed_between_calls", nullptr},
                      DeathRow{"kills_itself", "system(sprintf('kill -9 %d', getpid()))"},
                      DeathRow{"exits", "exit"},
                      DeathRow{"grandchild_holds_output", "system('sleep 30 &'); system(sprintf('kill -9 %d', getpid()))"}),
    [](const ::testing::TestParamInfo<DeathRow>& info) { return std::string(info.param.name); });

TEST_F(EngineTest, PutToAChildThatStoppedReadingFails) {
    pid_t pid = engine_pid();
    // Stopped, the child reads nothing; killed, its pipes break while bytes are still queued.
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    Array big(mxCreateDoubleMatrix(1000, 1000, mxREAL));
    mxSetName(big.get(), "big");
    EXPECT_EQ(engPutArray(ep_, big.get()), 1);
}

TEST(EngineOpen, ProgramsThatDoNotAnswerLeaveNothingBehind) {
    for (const char* program : {"/nonexistent/octave", "/bin/false", "/bin/true"}) {
        int before = open_descriptors();
        ::setenv("KELVO_OCTAVE", program, 1);
        EXPECT_EQ(engOpen(nullptr), nullptr) << program;
        ::unsetenv("KELVO_OCTAVE");
        EXPECT_EQ(open_descriptors(), before) << program;
        int status;
        errno = 0;
        EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << program << ": a child was left";
        EXPECT_EQ(errno, ECHILD);
    }
    // The start command wins over the environment.
    ::setenv("KELVO_OCTAVE", "/nonexistent/octave", 1);
    Engine* ep = engOpen("octave-cli");
    ::unsetenv("KELVO_OCTAVE");
    ASSERT_NE(ep, nullptr);
    EXPECT_EQ(engClose(ep), 0);
    EXPECT_EQ(engClose(nullptr), 1);
}

}  // namespace
