// The worksheet program itself, started under Qt's offscreen platform with a socket folder and
// settings of the test's own: it listens for DDE conversations from start-up, replaces a stale
// socket file, leaves a live program's socket alone and removes its socket when it ends.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/dde/DdeClient.h"
#include "tests/platform/dde/dde_test_env.h"
#include "tests/support/named_rows.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Start-up of a sanitizer build can take long on a busy machine; every wait is for an event
// and ends as soon as it comes.
constexpr int kStartMs = 120000;
constexpr int kAnswerMs = 20000;
constexpr const char* kNoServiceLine = "wkelvo: runs without its DDE service";

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// One running wkelvo with its standard error in a file.
class Program {
public:
    Program(const std::string& configDir, const std::string& errPath) : errPath_(errPath) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string v(*e);
            if (v.rfind("QT_QPA_PLATFORM=", 0) == 0 || v.rfind("XDG_CONFIG_HOME=", 0) == 0 ||
                v.rfind("LSAN_OPTIONS=", 0) == 0)
                continue;
            env.push_back(v);
        }
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("XDG_CONFIG_HOME=" + configDir);
        // The libraries' own start-up blocks are not the program's leaks.
        env.push_back(std::string("LSAN_OPTIONS=suppressions=") + KELVO_TEST_DATA + "/app/lsan.supp");
        std::vector<char*> envp;
        for (std::string& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string program = WKELVO_PROGRAM, flag = "-nosplash";
        char* argv[] = {program.data(), flag.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0) << std::strerror(rc);
        if (rc != 0) pid_ = -1;
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    // Asks the program to end, as the session manager would, and answers its exit status.
    int terminate() {
        if (pid_ <= 0) return -1;
        ::kill(pid_, SIGTERM);
        return wait();
    }
    // Waits until the program catches SIGTERM, which it does from the start of its event loop
    // (a SIGTERM before that ends it at once, without its shut-down).
    bool waitForLoop(int timeoutMs) const {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            std::istringstream status(readText("/proc/" + std::to_string(pid_) + "/status"));
            for (std::string line; std::getline(status, line);)
                if (line.rfind("SigCgt:", 0) == 0 &&
                    (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGTERM - 1))) != 0)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::string errors() const { return readText(errPath_); }
    bool running() const { return pid_ > 0; }

private:
    int wait() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string errPath_;
    pid_t pid_ = -1;
};

class WkelvoDdeTest : public ::testing::Test {
protected:
    void SetUp() override {
        config_ = runtime_.path() + "/config";
        fs::create_directories(config_);
    }
    std::string socketPath() const { return runtime_.folder() + "/wkelvo"; }
    std::string errPath(const char* tag) const { return runtime_.path() + "/" + tag + ".err"; }

    // A conversation with the service "wkelvo": true when the initiate was acknowledged and the
    // terminate answered.
    static bool converses() {
        dde::DdeClient client;
        std::string why;
        if (!client.connect("wkelvo", &why)) {
            ADD_FAILURE() << why;
            return false;
        }
        if (client.initiate("wkelvo", "DURavIreru", kAnswerMs) != dde::DdeClient::Reply::Positive) return false;
        return client.terminate(kAnswerMs);
    }

    dde_test::RuntimeDir runtime_;
    std::string config_;
};

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A socket file that nothing listens on any more, as a killed program leaves it.
void leaveStaleSocket(const std::string& folder, const std::string& path) {
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << std::strerror(errno);
    ::close(fd);
}

using kelvo_test::PrintTo;

struct StartRow {
    const char* name;
    bool staleSocket;
};

class WkelvoStart : public WkelvoDdeTest, public ::testing::WithParamInterface<StartRow> {};

TEST_P(WkelvoStart, ListensFromStartUpAndRemovesItsSocketAtExit) {
    if (GetParam().staleSocket) {
        leaveStaleSocket(runtime_.folder(), socketPath());
        ASSERT_FALSE(dde::DdeClient::waitForService("wkelvo", 0));
    }
    Program program(config_, errPath("first"));
    ASSERT_TRUE(program.running());
    ASSERT_TRUE(dde::DdeClient::waitForService("wkelvo", kStartMs)) << program.errors();
    EXPECT_TRUE(converses());
    EXPECT_EQ(program.errors().find(kNoServiceLine), std::string::npos) << program.errors();
    ASSERT_TRUE(program.waitForLoop(kStartMs)) << program.errors();
    EXPECT_EQ(program.terminate(), 0) << program.errors();
    EXPECT_FALSE(fs::exists(fs::symlink_status(socketPath())));
}

INSTANTIATE_TEST_SUITE_P(Rows, WkelvoStart,
                         ::testing::Values(StartRow{"fresh_folder", false}, StartRow{"stale_socket", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WkelvoDdeTest, SecondProgramLeavesTheFirstOnesSocketAlone) {
    Program first(config_, errPath("first"));
    ASSERT_TRUE(dde::DdeClient::waitForService("wkelvo", kStartMs)) << first.errors();
    const ino_t socket = inodeOf(socketPath());
    ASSERT_NE(socket, 0u);

    Program second(config_, errPath("second"));
    // The second program says once that it runs without the service; wait for that line.
    std::string said;
    for (int i = 0; i < kStartMs / 20 && said.find(kNoServiceLine) == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        said = second.errors();
    }
    ASSERT_NE(said.find(kNoServiceLine), std::string::npos) << said;
    EXPECT_EQ(inodeOf(socketPath()), socket);
    EXPECT_TRUE(converses());

    ASSERT_TRUE(second.waitForLoop(kStartMs)) << second.errors();
    EXPECT_EQ(second.terminate(), 0) << second.errors();
    EXPECT_EQ(inodeOf(socketPath()), socket);
    EXPECT_TRUE(converses());
    ASSERT_TRUE(first.waitForLoop(kStartMs)) << first.errors();
    EXPECT_EQ(first.terminate(), 0) << first.errors();
    EXPECT_FALSE(fs::exists(fs::symlink_status(socketPath())));
}

}  // namespace
