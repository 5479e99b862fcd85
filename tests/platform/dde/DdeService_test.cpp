// The service end over its socket, without the GUI: folder and name checks, start-up over stale
// and live sockets, peer credentials, and the client end's waits.
#include "platform/dde/DdeService.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <thread>

#include "platform/dde/DdeClient.h"
#include "platform/dde/dde_socket.h"
#include "tests/platform/dde/dde_test_env.h"
#include "tests/support/named_rows.h"

using namespace dde;
using dde_test::DispatchThread;
using dde_test::Recorder;
using dde_test::RuntimeDir;

namespace {

constexpr int kWait = 5000;  // upper bound of every wait; the tests wait for events

bool exists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

}  // namespace

TEST(DdeService, ConversationThroughTheClient) {
    RuntimeDir dir;
    Recorder rec;
    DdeService svc(rec.deliver());
    ASSERT_EQ(svc.listen("wkelvo"), DdeService::Listen::Listening);
    EXPECT_EQ(svc.socketPath(), dir.folder() + "/wkelvo");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    DispatchThread t(svc);
    DdeClient c;
    ASSERT_TRUE(c.connect("wkelvo"));
    EXPECT_EQ(c.initiate("wkelvo", kTopic, kWait), DdeClient::Reply::Positive);
    EXPECT_EQ(c.poke("Print", "a.kws", kWait), DdeClient::Reply::Positive);
    EXPECT_EQ(c.poke("Other", "b", kWait), DdeClient::Reply::Negative);
    // As the bridge does it: the poke's acknowledgement is not awaited before the terminate.
    ASSERT_TRUE(c.sendPoke("BM_LAUNCH_TEXT", "x^2;", kWait));
    EXPECT_TRUE(c.terminate(kWait));
    t.stop();
    ASSERT_EQ(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[0], std::make_pair(std::string("Print"), std::string("a.kws")));
    EXPECT_EQ(rec.events[1], std::make_pair(std::string("BM_LAUNCH_TEXT"), std::string("x^2;")));
}

TEST(DdeService, SocketFileRemovedAtDestruction) {
    RuntimeDir dir;
    std::string path;
    {
        DdeService svc(nullptr);
        ASSERT_EQ(svc.listen("svc"), DdeService::Listen::Listening);
        path = svc.socketPath();
        EXPECT_TRUE(exists(path));
    }
    EXPECT_FALSE(exists(path));
}

TEST(DdeService, StaleSocketIsReplacedLiveOneLeftAlone) {
    RuntimeDir dir;
    {
        // A socket file nothing listens on, as a killed program leaves it.
        std::string folder;
        ASSERT_TRUE(dde_prepare_socket_folder(::geteuid(), folder));
        sockaddr_un addr {};
        ASSERT_TRUE(dde_socket_address(folder, "svc", addr));
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
        ASSERT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    ASSERT_TRUE(exists(dir.folder() + "/svc"));
    DdeService first(nullptr);
    std::string why;
    ASSERT_EQ(first.listen("svc", &why), DdeService::Listen::Listening) << why;
    struct stat before {};
    ASSERT_EQ(::lstat(first.socketPath().c_str(), &before), 0);
    {
        DdeService second(nullptr);
        EXPECT_EQ(second.listen("svc", &why), DdeService::Listen::InUse);
        EXPECT_NE(why.find("another program"), std::string::npos);
    }
    // The second one's end removed nothing of the first.
    struct stat after {};
    ASSERT_EQ(::lstat(first.socketPath().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    DispatchThread t(first);
    EXPECT_TRUE(DdeClient::waitForService("svc", kWait));
}

// The peer sends a whole INITIATE at once and then sees the connection end without a byte
// back: it was closed before its frame was read.
TEST(DdeService, PeerOfAnotherUserClosedBeforeItsFirstFrame) {
    RuntimeDir dir;
    Recorder rec;
    DdeService::Options o;
    o.peerUid = ::geteuid() + 4242;  // the compared id injected
    DdeService svc(rec.deliver(), o);
    ASSERT_EQ(svc.listen("svc"), DdeService::Listen::Listening);
    DispatchThread t(svc);
    DdeClient c;
    ASSERT_TRUE(c.connect("svc"));
    std::string init;
    frame_initiate(init, "svc", kTopic);
    std::string poke;
    frame_poke(poke, "Open", "x");
    c.sendBytes(init + poke, kWait);
    EXPECT_EQ(c.initiate("svc", kTopic, kWait), DdeClient::Reply::NoAnswer);
    EXPECT_FALSE(c.connected());
    t.stop();
    EXPECT_EQ(svc.droppedCount(), 1u);
    EXPECT_TRUE(rec.events.empty());
}

// The same with a real second user: root opens the folder and socket to others (as a
// misconfiguration would), and a child process of user 65534 connects.
TEST(DdeService, PeerOfARealOtherUserIsClosed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a child as another user";
    RuntimeDir dir;
    Recorder rec;
    DdeService svc(rec.deliver());
    ASSERT_EQ(svc.listen("svc"), DdeService::Listen::Listening);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(dir.folder().c_str(), 0711), 0);
    ASSERT_EQ(::chmod(svc.socketPath().c_str(), 0777), 0);
    // Forked before the dispatch thread starts, so the child inherits one thread only.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        DdeClient c;
        if (!c.connect("svc", 65534, nullptr)) ::_exit(3);
        // connect() looks in the folder of the given user; here both name the same folder.
        DdeClient::Reply r = c.initiate("svc", kTopic, kWait);
        ::_exit(r == DdeClient::Reply::NoAnswer && !c.connected() ? 0 : 4);
    }
    DispatchThread t(svc);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    t.stop();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(rec.events.empty());
}

using kelvo_test::PrintTo;

struct FolderRow {
    const char* name;
    int mode;        // the folder's mode, or -1 for a symbolic link to a good folder
    bool otherUser;  // the service runs for another user id than the folder's owner
};

class DdeServiceFolder : public ::testing::TestWithParam<FolderRow> {};

TEST_P(DdeServiceFolder, IsRefused) {
    RuntimeDir dir;
    const FolderRow& row = GetParam();
    if (row.mode < 0) {
        std::string real = dir.path() + "/real";
        ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
        ASSERT_EQ(::symlink(real.c_str(), dir.folder().c_str()), 0);
    } else {
        ASSERT_EQ(::mkdir(dir.folder().c_str(), 0700), 0);
        ASSERT_EQ(::chmod(dir.folder().c_str(), static_cast<mode_t>(row.mode)), 0);
    }
    DdeService::Options o;
    if (row.otherUser) o.uid = ::geteuid() + 4242;
    DdeService svc(nullptr, o);
    std::string why;
    EXPECT_EQ(svc.listen("svc", &why), DdeService::Listen::Refused);
    EXPECT_NE(why.find(dir.folder()), std::string::npos) << why;
    EXPECT_FALSE(exists(dir.folder() + "/svc"));
    // Nothing was repaired.
    struct stat st {};
    ASSERT_EQ(::lstat(dir.folder().c_str(), &st), 0);
    if (row.mode >= 0) {
        EXPECT_EQ(st.st_mode & 0777, static_cast<mode_t>(row.mode));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, DdeServiceFolder, ::testing::Values(
    FolderRow{"mode0777", 0777, false},
    FolderRow{"mode0750", 0750, false},
    FolderRow{"mode0701", 0701, false},
    FolderRow{"ownedByAnotherUser", 0700, true},
    FolderRow{"symbolicLink", -1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DdeService, TmpFolderWhenNoRuntimeDir) {
    RuntimeDir dir;
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(dde_socket_folder_path(1234), "/tmp/wkelvo-dde-1234");
    ::setenv("XDG_RUNTIME_DIR", "relative", 1);
    EXPECT_EQ(dde_socket_folder_path(1234), "/tmp/wkelvo-dde-1234");
}

struct NameRow {
    const char* name;
    std::string service;
};

class DdeServiceName : public ::testing::TestWithParam<NameRow> {};

TEST_P(DdeServiceName, IsRefusedNeverCut) {
    RuntimeDir dir;
    DdeService svc(nullptr);
    EXPECT_EQ(svc.listen(GetParam().service), DdeService::Listen::Refused);
    // Nothing but the folder itself was made.
    std::size_t entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.folder()));
    DdeClient c;
    EXPECT_FALSE(c.connect(GetParam().service));
}

INSTANTIATE_TEST_SUITE_P(Rows, DdeServiceName, ::testing::Values(
    NameRow{"dotDotSlash", "../x"},
    NameRow{"slash", "a/b"},
    NameRow{"dot", "."},
    NameRow{"dotDot", ".."},
    NameRow{"empty", ""},
    NameRow{"nul", std::string("wk\0elvo", 7)},
    NameRow{"bytes200", std::string(200, 'w')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DdeService, LongestNameThatFitsIsUsedWhole) {
    RuntimeDir dir;
    std::size_t room = sizeof(sockaddr_un{}.sun_path) - dir.folder().size() - 2;
    DdeService svc(nullptr);
    std::string name(room, 'n');
    ASSERT_EQ(svc.listen(name), DdeService::Listen::Listening);
    EXPECT_EQ(svc.socketPath(), dir.folder() + "/" + name);
    DdeService longer(nullptr);
    EXPECT_EQ(longer.listen(name + "n"), DdeService::Listen::Refused);
}

TEST(DdeClient, WaitsEndWhenNothingAnswers) {
    RuntimeDir dir;
    EXPECT_FALSE(DdeClient::waitForService("nobody", 50));
    // A service that accepts but never dispatches: the initiate's wait runs out, the
    // connection stays.
    DdeService mute(nullptr);
    ASSERT_EQ(mute.listen("mute"), DdeService::Listen::Listening);
    EXPECT_TRUE(DdeClient::waitForService("mute", kWait));
    DdeClient c;
    ASSERT_TRUE(c.connect("mute"));
    EXPECT_EQ(c.initiate("mute", kTopic, 50), DdeClient::Reply::NoAnswer);
    EXPECT_TRUE(c.connected());
    EXPECT_FALSE(c.terminate(50));
}

TEST(DdeClient, WaitForServiceSeesOneThatStartsLater) {
    RuntimeDir dir;
    DdeService svc(nullptr);
    std::thread later([&] {
        // Starts once the waiter is waiting: the folder exists only after this.
        svc.listen("late");
    });
    EXPECT_TRUE(DdeClient::waitForService("late", kWait));
    later.join();
}
