// kernsrv as a process: this test plays the worksheet with its own pipes and checks the bytes
// on them, the exit status, and (through the scripted kernel's trace file) when the kernel was
// started and stopped.

#include <fcntl.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tovu/dag.h"
#include "tovu/encode.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"

extern char** environ;

namespace {

class Env : public ::testing::Environment {
public:
    void SetUp() override {
        storage_init_default();
        dag_init();
    }
};
const auto* const env = ::testing::AddGlobalTestEnvironment(new Env);

std::string frame(const DagWord* d) { return dag_to_text(d, DAG_WRITE_NO_VALUES) + '\x01'; }

Dag parse(const char* text) {
    Dag d = parse_text(text);
    EXPECT_NE(d, nullptr) << text;
    return d;
}

Dag reply(const char* stream, std::initializer_list<Dag> args) {
    Dag s = dag_new(args.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (Dag a : args) dag_set_op(s, i++, a);
    return dag_new2(DAG_FUNCTION, dag_name((std::string("INTERFACE_") + stream).c_str()), s);
}

std::string options(std::initializer_list<const char*> texts) {
    std::string m;
    for (const char* t : texts) {
        m += t;
        m.push_back('\0');
    }
    return m + '\x01';
}

// One kernsrv process with the worksheet's ends of its pipes.
class Server {
public:
    // transfer: the PIPES_TRANSFER_VAR value; "" = made from the pipes; null = unset.
    // withLog: the server's log (on standard error) goes to a file that waitForLog reads.
    // The parent watch runs every 50 ms instead of every 10 s, so that a test waiting for it
    // waits for the event, not for the period.
    explicit Server(const char* transfer = "", long parentPid = -1, bool withLog = false) {
        int req[2], res[2], exc[2];
        EXPECT_EQ(::pipe2(req, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(res, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(exc, O_CLOEXEC), 0);
        trace_ = "/tmp/kernsrv_test_trace_" + std::to_string(getpid()) + "_" + std::to_string(++counter_);
        ::unlink(trace_.c_str());
        char var[96];
        std::snprintf(var, sizeof var, "PIPES_TRANSFER_VAR=%08X %08X %08X %ld", unsigned(req[0]), unsigned(res[1]),
                      unsigned(exc[0]), parentPid < 0 ? long(getpid()) : parentPid);
        std::string given = transfer ? std::string("PIPES_TRANSFER_VAR=") + transfer : "";
        // The parent watch repeats its SIGTERM every period while the parent stays gone, and a
        // repeated SIGTERM ends the server hard; the period is long enough for the stop that the
        // first one starts to finish on a loaded machine.
        std::vector<std::string> vars = {std::string("KELVO_KERNEL=") + KL_SCRIPT_KERNEL, "KL_SCRIPT_TRACE=" + trace_,
                                         std::string("LSAN_OPTIONS=detect_leaks=0"), "KELVO_WATCH_PERIOD_MS=1000"};
        if (withLog) {
            log_ = "/tmp/kernsrv_test_log_" + std::to_string(getpid()) + "_" + std::to_string(counter_);
            vars.push_back("KELVO_KERNSRV_LOG=1");
        }
        if (transfer && *transfer == '\0') vars.push_back(var);
        else if (transfer) vars.push_back(given);
        std::vector<char*> envp;
        for (auto& v : vars) envp.push_back(v.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        for (int fd : {req[0], res[1], exc[0]}) posix_spawn_file_actions_adddup2(&fa, fd, fd);
        if (withLog) posix_spawn_file_actions_addopen(&fa, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        char* argv[] = {const_cast<char*>(KL_KERNSRV), nullptr};
        EXPECT_EQ(::posix_spawn(&pid_, KL_KERNSRV, &fa, nullptr, argv, envp.data()), 0);
        posix_spawn_file_actions_destroy(&fa);
        ::close(req[0]);
        ::close(res[1]);
        ::close(exc[0]);
        request_ = req[1];
        result_ = res[0];
        exception_ = exc[1];
    }
    ~Server() {
        closeRequest();
        if (exception_ >= 0) ::close(exception_);
        if (result_ >= 0) ::close(result_);
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::unlink(trace_.c_str());
        if (!log_.empty()) ::unlink(log_.c_str());
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(::write(request_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    void sendException(unsigned char b) { ASSERT_EQ(::write(exception_, &b, 1), 1); }
    // Reads exactly n bytes (fewer when the pipe ends, or when nothing comes for a minute: a
    // reply that never comes fails the test instead of hanging it).
    std::string read(std::size_t n) {
        std::string s;
        char buf[4096];
        while (s.size() < n) {
            struct pollfd p = {result_, POLLIN, 0};
            if (::poll(&p, 1, 60000) <= 0) break;
            ssize_t r = ::read(result_, buf, std::min(sizeof buf, n - s.size()));
            if (r <= 0) break;
            s.append(buf, std::size_t(r));
        }
        return s;
    }
    // Reads one frame back and answers it with NULL; the frame's bytes.
    std::string exchange(const std::string& expected) {
        std::string got = read(expected.size());
        send(frame(dag_NULL));
        return got;
    }
    void closeRequest() {
        if (request_ >= 0) ::close(request_);
        request_ = -1;
    }
    // The exit status; waits (bounded) for the process to end.
    int exitStatus() {
        int st = 0;
        for (int i = 0; i < 1200; ++i) {
            pid_t r = ::waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                waited_ = true;
                if (WIFEXITED(st)) return WEXITSTATUS(st);
                return 1000 + WTERMSIG(st);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;   // still running after a minute
    }
    // Waits (up to a minute) until the server's log holds `text`.
    bool waitForLog(const std::string& text) const {
        for (int i = 0; i < 1200; ++i) {
            std::ifstream in(log_);
            std::stringstream ss;
            ss << in.rdbuf();
            if (ss.str().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::string trace() const {
        std::ifstream in(trace_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

private:
    static inline int counter_ = 0;
    pid_t pid_ = -1;
    bool waited_ = false;
    int request_ = -1, result_ = -1, exception_ = -1;
    std::string trace_;
    std::string log_;
};

TEST(Kernsrv, UnusableTransferVariableExits48) {
    struct Case {
        const char* name;
        const char* value;   // null: unset
    };
    const Case cases[] = {
        {"missing", nullptr},
        {"three numbers", "00000003 00000004 00000005"},
        {"not numbers", "a b c d e"},
        {"trailing text", "00000003 00000004 00000005 1 x"},
        {"descriptors not open", "000003E0 000003E1 000003E2 1"},
    };
    for (const auto& c : cases) {
        Server s(c.value);
        EXPECT_EQ(s.exitStatus(), 48) << c.name;
        EXPECT_EQ(s.trace(), "") << c.name;   // no kernel started
    }
}

TEST(Kernsrv, FramesByteForByte) {
    Server s;
    s.send(options({"2", "wkelvo", "-q"}));
    Dag stmt = parse("prints(a, b, c);");
    s.send("\x01" + frame(stmt));
    // Three outputs: three send-and-answer round trips, then DONE, before the next request.
    for (const char* v : {"a", "b", "c"}) {
        std::string expected = frame(reply("PRINT", {dag_name(v)}));
        EXPECT_EQ(s.exchange(expected), expected) << v;
    }
    std::string done = frame(reply("DONE", {}));
    EXPECT_EQ(s.exchange(done), done);

    // The answer travels back into the kernel.
    s.send(std::string(1, '\0') + frame(parse("ask(GET, prompt);")));
    std::string get = frame(reply("GET", {dag_name("prompt")}));
    EXPECT_EQ(s.read(get.size()), get);
    s.send(frame(dag_of_int(77)));
    std::string result = frame(reply("RESULT", {dag_of_int(77)}));
    EXPECT_EQ(s.exchange(result), result);
    EXPECT_EQ(s.exchange(done), done);

    s.closeRequest();
    EXPECT_EQ(s.exitStatus(), 0);
    EXPECT_EQ(s.trace(), "start 2\nevaluate\nevaluate\nstop\n");
}

// Every request is read into an area of its own that is freed after its reply.  Names and
// strings first read with one request are used again by the later ones and by the kernel's
// replies: they must outlive the area they were read into, with their identity (a freed name
// would be read after its area was given back, which the sanitizer build reports).
TEST(Kernsrv, NamesOutliveTheRequestsThatBroughtThem) {
    Server s;
    s.send(options({"1", "wkelvo"}));
    std::string done = frame(reply("DONE", {}));
    const char* rounds[][2] = {{"first_name", "first text"}, {"second_name", "second text"}, {"first_name", "first text"}};
    for (auto& r : rounds) {
        std::string statement = std::string("prints(") + r[0] + ", first_name, \"" + r[1] + "\");";
        s.send("\x01" + frame(parse(statement.c_str())));
        for (Dag d : {dag_name(r[0]), dag_name("first_name"), dag_intern(r[1], DAG_STRING)}) {
            std::string expected = frame(reply("PRINT", {d}));
            EXPECT_EQ(s.exchange(expected), expected) << statement;
        }
        EXPECT_EQ(s.exchange(done), done) << statement;
    }
    s.closeRequest();
    EXPECT_EQ(s.exitStatus(), 0);
}

TEST(Kernsrv, FlagBytes) {
    struct Case {
        const char* name;
        unsigned char flagByte;
        int flag;
    };
    const Case cases[] = {{"0x00", 0x00, 0}, {"0x01", 0x01, 1}, {"0x31", 0x31, 1}, {"0xFE", 0xFE, 1}, {"0xFF is data too", 0xFF, 1}};
    Server s;
    s.send(options({"1", "wkelvo"}));
    std::string done = frame(reply("DONE", {}));
    for (const auto& c : cases) {
        s.send(std::string(1, char(c.flagByte)) + frame(parse("flag();")));
        std::string expected = frame(reply("RESULT", {dag_of_int(c.flag)}));
        EXPECT_EQ(s.exchange(expected), expected) << c.name;
        EXPECT_EQ(s.exchange(done), done) << c.name;
    }
}

TEST(Kernsrv, WrongEndByteEndsTheLoop) {
    Server s;
    s.send(options({"1", "wkelvo"}));
    std::string bad = "\x01" + frame(parse("flag();"));
    bad.back() = '\x02';
    s.send(bad);
    EXPECT_EQ(s.exitStatus(), 0);
    EXPECT_EQ(s.trace(), "start 1\nstop\n");
}

TEST(Kernsrv, OptionsNotReceivedMeansNoKernel) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"pipe ends at once", ""},
        {"wrong end byte", std::string("1\0wkelvo\0\x02", 10)},
        {"count promises more", std::string("3\0wkelvo\0", 9)},
        {"text without NUL within 2048 bytes", std::string("1\0", 2) + std::string(2100, 'w')},
    };
    for (const auto& c : cases) {
        Server s;
        s.send(c.bytes);
        s.closeRequest();
        EXPECT_EQ(s.exitStatus(), 3) << c.name;
        EXPECT_EQ(s.trace(), "") << c.name;
    }
}

TEST(Kernsrv, KernelStartFailureExits2) {
    Server s;
    s.send(options({"3", "wkelvo", "-T", "fail:no library"}));
    EXPECT_EQ(s.exitStatus(), 2);
    EXPECT_EQ(s.trace(), "start 3\nstop\n");
}

TEST(Kernsrv, InterruptWhileIdleHasNoEffect) {
    Server s("", -1, true);
    s.send(options({"1", "wkelvo"}));
    s.sendException('1');
    // The server has handled the interrupt before the request is sent (on a loaded machine a
    // fixed pause was not always enough, and the late interrupt stopped the evaluation).
    ASSERT_TRUE(s.waitForLog("interrupt requested"));
    s.send("\x01" + frame(parse("spin(30);")));
    std::string expected = frame(reply("RESULT", {dag_of_int(30)}));
    EXPECT_EQ(s.exchange(expected), expected);
}

TEST(Kernsrv, InterruptDuringEvaluation) {
    Server s;
    s.send(options({"1", "wkelvo"}));
    s.send("\x01" + frame(parse("spinp(600000);")));
    // Once the first reply is here the evaluation runs: the interrupt cannot arrive too early.
    std::string spinning = frame(reply("PRINT", {dag_intern("spinning", DAG_STRING)}));
    EXPECT_EQ(s.read(spinning.size()), spinning);
    s.sendException('1');
    s.send(frame(dag_NULL));
    std::string intr = frame(reply("INTR", {}));
    EXPECT_EQ(s.exchange(intr), intr);
    std::string done = frame(reply("DONE", {}));
    EXPECT_EQ(s.exchange(done), done);
}

TEST(Kernsrv, StopDuringEvaluationStopsKernelAfterwardsAndExits) {
    Server s;
    s.send(options({"1", "wkelvo"}));
    s.send("\x01" + frame(parse("spinp(600000);")));
    std::string spinning = frame(reply("PRINT", {dag_intern("spinning", DAG_STRING)}));
    EXPECT_EQ(s.exchange(spinning), spinning);
    s.sendException(0x00);
    // The evaluation is interrupted first; the kernel is stopped only after it returned (the
    // scripted kernel aborts otherwise).
    std::string intr = frame(reply("INTR", {}));
    EXPECT_EQ(s.read(intr.size()), intr);
    EXPECT_EQ(s.exitStatus(), 0);
    EXPECT_EQ(s.trace(), "start 1\nevaluate\nstop\n");
}

TEST(Kernsrv, StopWhileWaitingForRequest) {
    Server s;
    s.send(options({"1", "wkelvo"}));
    s.sendException(0x00);
    EXPECT_EQ(s.exitStatus(), 0);
    EXPECT_EQ(s.trace(), "start 1\nstop\n");
}

TEST(Kernsrv, EndsWhenParentHasGone) {
    // A parent that is already gone: the watch notices within one period and the server ends
    // although its request pipe stays open.
    pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    Server s("", long(child));
    s.send(options({"1", "wkelvo"}));
    EXPECT_EQ(s.exitStatus(), 0);
    EXPECT_EQ(s.trace(), "start 1\nstop\n");
}

}  // namespace
