// The worksheet program's service on the GUI thread, driven through the client end from another
// thread: what the application object's app_event receives, what is refused, hostile peers
// beside a good one, and start-up under the registry's name.
#include "platform/dde/gui/dde_app.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/dde/DdeClient.h"
#include "platform/dde/DdeService.h"
#include "platform/gui/Application.h"
#include "platform/gui/DescriptorWatch.h"
#include "platform/gui/gui_test.h"
#include "platform/registry/registry.h"
#include "tests/platform/dde/dde_test_env.h"
#include "tests/support/named_rows.h"

using namespace dde;
using dde_test::RuntimeDir;

namespace {

constexpr int kWait = 5000;  // upper bound of every wait; the tests wait for events

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        gui::ensureApplication("dde_app_test");
        gui::test::activate();
    }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// The test program: its app_event records what it receives and on which thread.
class RecordingApp : public Application {
public:
    void Main(int, char**) override {}
    void app_event(const String& name, const String& data) override {
        events.emplace_back(name.str(), data.str());
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<std::pair<std::string, std::string>> events;
    std::vector<std::thread::id> threads;
};

// Runs the GUI loop while `client` runs on its own thread; the loop ends when the client has
// finished (it signals an eventfd that a descriptor watch sees) and the events it caused were
// delivered.
void runWithClient(const std::function<void()>& client) {
    int done = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(done, 0);
    std::thread t([&] {
        client();
        uint64_t one = 1;
        (void)!::write(done, &one, sizeof one);
    });
    {
        DescriptorWatch watch(done, [] {
            // Events posted before this point are delivered before the loop ends.
            Application::reschedule();
            Application::quit();
        });
        Application::execute();
    }
    t.join();
    ::close(done);
}

std::string allBytes() {
    std::string s;
    for (int b = 1; b < 256; ++b) s.push_back(static_cast<char>(b));
    return s;
}

using kelvo_test::PrintTo;

struct PokeRow {
    const char* name;
    std::string item, data;
};

}  // namespace

class DdeAppPoke : public ::testing::TestWithParam<PokeRow> {};

TEST_P(DdeAppPoke, ArrivesOnceOnTheGuiThreadByteForByte) {
    RuntimeDir dir;
    RecordingApp app;
    auto svc = dde_listen_app("wkelvo");
    ASSERT_NE(svc, nullptr);
    DdeClient::Reply initiated {}, poked {};
    bool terminated = false;
    runWithClient([&] {
        DdeClient c;
        if (!c.connect("wkelvo")) return;
        initiated = c.initiate("wkelvo", kTopic, kWait);
        poked = c.poke(GetParam().item, GetParam().data, kWait);
        terminated = c.terminate(kWait);
    });
    EXPECT_EQ(initiated, DdeClient::Reply::Positive);
    EXPECT_EQ(poked, DdeClient::Reply::Positive);
    EXPECT_TRUE(terminated);
    ASSERT_EQ(app.events.size(), 1u);
    EXPECT_EQ(app.events[0].first, GetParam().item);
    EXPECT_EQ(app.events[0].second, GetParam().data);
    EXPECT_EQ(app.threads[0], std::this_thread::get_id());
}

INSTANTIATE_TEST_SUITE_P(Rows, DdeAppPoke, ::testing::Values(
    PokeRow{"launchText", "BM_LAUNCH_TEXT", "1+1;"},
    PokeRow{"everyByteValue", "BM_PASTE_TEXT", allBytes()},
    PokeRow{"openTwoFiles", "Open", "/tmp/one.kws\n/tmp/two.kws"},
    PokeRow{"printEmpty", "Print", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedRow {
    const char* name;
    std::string application, topic, item;  // item empty: the initiate itself is refused
};

class DdeAppRefused : public ::testing::TestWithParam<RefusedRow> {};

TEST_P(DdeAppRefused, NegativeAndNothingReceived) {
    RuntimeDir dir;
    RecordingApp app;
    auto svc = dde_listen_app("wkelvo");
    ASSERT_NE(svc, nullptr);
    const RefusedRow& row = GetParam();
    DdeClient::Reply initiated {}, poked {};
    bool closedAfter = false;
    runWithClient([&] {
        DdeClient c;
        if (!c.connect("wkelvo")) return;
        initiated = c.initiate(row.application, row.topic, kWait);
        if (!row.item.empty()) poked = c.poke(row.item, "x", kWait);
        else closedAfter = c.waitClosed(kWait);
    });
    if (row.item.empty()) {
        EXPECT_EQ(initiated, DdeClient::Reply::Negative);
        EXPECT_TRUE(closedAfter);
    } else {
        EXPECT_EQ(initiated, DdeClient::Reply::Positive);
        EXPECT_EQ(poked, DdeClient::Reply::Negative);
    }
    EXPECT_TRUE(app.events.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DdeAppRefused, ::testing::Values(
    RefusedRow{"topicSystem", "wkelvo", "System", ""},
    RefusedRow{"otherApplication", "kelvo", kTopic, ""},
    RefusedRow{"itemOther", "wkelvo", kTopic, "Other"}),
    [](const auto& info) { return std::string(info.param.name); });

// Three hostile peers and a good one at once: each hostile connection ends by itself (the
// stalled one after the stall limit), the good poke arrives meanwhile, and a GUI timer keeps
// firing all along.
TEST(DdeApp, HostilePeersEndTheirOwnConnectionsOnly) {
    RuntimeDir dir;
    RecordingApp app;
    auto svc = dde_listen_app("wkelvo");
    ASSERT_NE(svc, nullptr);
    std::atomic<int> ticks {0};
    Timer timer;
    timer.setTimeout(10);
    timer.setRepeat(true);
    timer.setTimeoutHdl(Link([&ticks](void*) -> long { ++ticks; return 0; }));
    timer.start();

    bool bigClosed = false, longNameClosed = false, stalledClosed = false;
    DdeClient::Reply good {};
    int ticksAtGood = 0, ticksAtStallEnd = 0;
    long long stallMs = 0;
    runWithClient([&] {
        std::string init;
        frame_initiate(init, "wkelvo", kTopic);
        DdeClient stalled, big, longName, ok;
        if (!stalled.connect("wkelvo") || !big.connect("wkelvo") || !longName.connect("wkelvo")) return;
        std::string half;
        frame_poke(half, "BM_LAUNCH_TEXT", "1+1;");
        half.resize(half.size() / 2);
        long long stallStart = dde_now_ms();
        stalled.sendBytes(init + half, kWait);
        // A frame declaring 17 MiB: only its header is sent.
        std::string bigHeader("\x03\x00\x00\x10\x01", 5);
        big.sendBytes(init + bigHeader, kWait);
        // An application name of 300 bytes.
        std::string longInit(1, '\x01');
        uint32_t len = 300 + 1 + 10 + 1;
        for (int i = 0; i < 4; ++i) longInit.push_back(static_cast<char>((len >> (8 * i)) & 0xFF));
        longInit += std::string(300, 'w') + std::string(1, '\0') + kTopic + std::string(1, '\0');
        longName.sendBytes(longInit, kWait);

        if (ok.connect("wkelvo") && ok.initiate("wkelvo", kTopic, kWait) == DdeClient::Reply::Positive)
            good = ok.poke("BM_LAUNCH_TEXT", "2+2;", kWait);
        ok.terminate(kWait);
        ticksAtGood = ticks;
        bigClosed = big.waitClosed(kWait);
        longNameClosed = longName.waitClosed(kWait);
        stalledClosed = stalled.waitClosed(kWait);
        stallMs = dde_now_ms() - stallStart;
        ticksAtStallEnd = ticks;
    });
    timer.stop();
    EXPECT_TRUE(bigClosed);
    EXPECT_TRUE(longNameClosed);
    EXPECT_TRUE(stalledClosed);
    EXPECT_GE(stallMs, 1900);  // never before the stall limit
    EXPECT_EQ(good, DdeClient::Reply::Positive);
    ASSERT_EQ(app.events.size(), 1u);
    EXPECT_EQ(app.events[0], std::make_pair(std::string("BM_LAUNCH_TEXT"), std::string("2+2;")));
    // The timer fired while the stalled peer was held.
    EXPECT_GT(ticksAtStallEnd, ticksAtGood);
    EXPECT_EQ(svc->service().peerCount(), 0u);
}

TEST(DdeApp, ListensUnderTheRegistryNameOrWkelvo) {
    RuntimeDir dir;
    char tmpl[] = "/tmp/kelvo-dde-config-XXXXXX";
    std::string config = ::mkdtemp(tmpl);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    registry_set_system_file(config + "/no-system-file.ini");
    EXPECT_EQ(dde_app_service_name(), "wkelvo");
    ::mkdir((config + "/orvane").c_str(), 0700);
    {
        std::ofstream f(config + "/orvane/registry.ini");
        f << "[Software\\Orvane\\DDE Services]\nCONNECT_TO=Kelvo\n"
             "[Software\\Orvane\\Kelvo\\DDE Services]\nAPPNAME=kelvo-test\nEXEPATH=/usr/bin/wkelvo\n";
    }
    EXPECT_EQ(dde_app_service_name(), "kelvo-test");
    std::string path = dir.folder() + "/kelvo-test";
    {
        auto first = dde_listen_app();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->serviceName(), "kelvo-test");
        EXPECT_EQ(first->service().socketPath(), path);
        // A second program under the same name runs without the service and leaves the socket.
        auto second = dde_listen_app();
        EXPECT_EQ(second, nullptr);
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0);
    }
    struct stat st {};
    EXPECT_NE(::lstat(path.c_str(), &st), 0);  // removed at shut-down
    std::remove((config + "/orvane/registry.ini").c_str());
    ::rmdir((config + "/orvane").c_str());
    ::rmdir(config.c_str());
    ::unsetenv("XDG_CONFIG_HOME");
    registry_set_system_file("");
}

TEST(DdeApp, RefusedFolderMeansNoService) {
    RuntimeDir dir;
    ASSERT_EQ(::mkdir(dir.folder().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(dir.folder().c_str(), 0777), 0);
    ::testing::internal::CaptureStderr();
    auto svc = dde_listen_app("wkelvo");
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(svc, nullptr);
    EXPECT_NE(err.find("open to other users"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}
