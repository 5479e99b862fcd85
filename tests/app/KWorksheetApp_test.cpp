// The application object: start-up and shut-down through Main on the offscreen platform, the
// command lines, the splash's life, the fatal error, the outermost guard, the installation
// directory and the small services.
#include "app/KWorksheetApp.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/KMainFrame.h"
#include "app/KStatusBar.h"
#include "app/KWorksheetWindow.h"
#include "platform/gui/StatusBar.h"
#include "app/KSplashWindow.h"
#include "document/exec/OutputSink.h"
#include "document/exec/WorksheetDocument.h"
#include "kernel_link/KKernelSession.h"
#include "platform/gui/gui_test.h"
#include "util/errjump.h"
#include "util/messages.h"

namespace {

namespace fs = std::filesystem;

// What the running loop showed.
struct LoopView {
    int mdiWindows = 0;
    std::vector<std::string> titles;
    std::string frameTitle;
    bool frameVisible = false;
    bool splashExists = false;
    bool splashVisible = false;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kwsapp_" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "config");
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        gui::ensureApplication();
        gui::test::activate();
        gui::test::clearRecords();
        gui::test::fixScreenSize(Size(1280, 1024));
    }
    void TearDown() override {
        gui::test::unfixScreenSize();
        gui::test::deactivate();
        fs::remove_all(dir_);
    }

    std::string worksheet(const std::string& name) {
        fs::path p = dir_ / name;
        std::ofstream(p) << "{VERSION 5 0 \"Linux\" \"5.0\" }\n";
        return p.string();
    }

    // Runs Main on the words (the program name first); the probe looks at the running loop
    // and ends it.
    // The splash timer cannot run out during start-up unless a test asks for that.
    LoopView run(std::vector<std::string> words, const std::function<void(KWorksheetApp&)>& extra = nullptr,
                 unsigned splashMs = 3600 * 1000) {
        LoopView view;
        KWorksheetApp app;
        app.splashTimeoutMs = splashMs;
        app.onLoopRunning = [&](KWorksheetApp& a) {
            view.mdiWindows = Application::getMDIWindowCount();
            for (KWorksheetWindow* w : KWorksheetWindow::all()) view.titles.push_back(w->document()->title());
            view.frameTitle = a.frame->getText().str();
            view.frameVisible = a.frame->isVisible();
            view.splashExists = a.splash != nullptr;
            view.splashVisible = a.splash && a.splash->isVisible();
            if (extra) extra(a);
            Application::quit();
        };
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        app.Main(static_cast<int>(words.size()), argv.data());
        lastSplashCreated_ = app.splashCreated;
        lastSplashDeleted_ = app.splashDeleted;
        lastSplashShown_ = app.splashShown;
        EXPECT_EQ(worksheetApp(), nullptr);
        EXPECT_EQ(errjump_depth(), 0);
        return view;
    }

    fs::path dir_;
    bool lastSplashCreated_ = false, lastSplashDeleted_ = false, lastSplashShown_ = false;
};

TEST_F(AppTest, StartsWithTheFrameAndOneNewWorksheet) {
    LoopView view = run({"wkelvo"});
    EXPECT_TRUE(view.frameVisible);
    EXPECT_EQ(view.frameTitle, "Kelvo V Release 5");
    EXPECT_EQ(view.mdiWindows, 1);
    EXPECT_EQ(view.titles, std::vector<std::string>{"Untitled (1)"});
}

TEST_F(AppTest, CommandLinesOpenTheirWorksheets) {
    const std::string a = worksheet("a.kws"), b = worksheet("b.kws");
    // Expected titles: each window's title begins with its text (a server kernel adds its name).
    struct Row {
        const char* name;
        std::vector<std::string> words;
        std::vector<std::string> titles;
    } rows[] = {
        {"only options open one new worksheet", {"wkelvo", "-kd", "l"}, {"Untitled (1)"}},
        {"two files open both and no new one", {"wkelvo", a, b}, {"a.kws", "b.kws"}},
        {"a word after an option word is its value", {"wkelvo", "-nosplash", a, b}, {"b.kws"}},
        {"a file named twice opens once", {"wkelvo", a, a}, {"a.kws"}},
        {"a missing file opens nothing", {"wkelvo", (dir_ / "none.kws").string()}, {"Untitled (1)"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gui::test::clearRecords();
        LoopView view = run(r.words);
        ASSERT_EQ(view.titles.size(), r.titles.size());
        for (std::size_t i = 0; i < r.titles.size(); ++i)
            EXPECT_EQ(view.titles[i].substr(0, r.titles[i].size()), r.titles[i]) << view.titles[i];
        EXPECT_EQ(view.mdiWindows, static_cast<int>(r.titles.size()));
    }
}

TEST_F(AppTest, FortyFiveWorksheetsOpenFortyFiveWindows) {
    std::vector<std::string> words{"wkelvo"};
    for (int i = 0; i < 45; ++i) words.push_back(worksheet("w" + std::to_string(i) + ".kws"));
    LoopView view = run(words);
    EXPECT_EQ(view.mdiWindows, 45);
    ASSERT_EQ(view.titles.size(), 45u);
    EXPECT_EQ(view.titles.back(), "w44.kws");
}

TEST_F(AppTest, SplashIsShownUnlessNosplashAndAlwaysCreatedAndDeleted) {
    struct Row {
        const char* name;
        std::vector<std::string> words;
        bool shown;
    } rows[] = {{"plain", {"wkelvo"}, true}, {"nosplash", {"wkelvo", "-nosplash"}, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LoopView view = run(r.words);
        EXPECT_TRUE(lastSplashCreated_);
        EXPECT_EQ(lastSplashShown_, r.shown);
        // The loop was ended before the 3 s timer: the splash lives in the loop and goes at
        // shut-down.
        EXPECT_TRUE(view.splashExists);
        EXPECT_EQ(view.splashVisible, r.shown);
        EXPECT_TRUE(lastSplashDeleted_);
    }
}

TEST_F(AppTest, ASplashTimerRunOutDuringStartUpEndsTheSplashBeforeTheLoop) {
    for (const std::vector<std::string>& words : {std::vector<std::string>{"wkelvo"},
                                                  std::vector<std::string>{"wkelvo", "-nosplash"}}) {
        SCOPED_TRACE(words.size() == 1 ? "splash" : "nosplash");
        LoopView view = run(words, nullptr, 0);
        EXPECT_TRUE(lastSplashCreated_);
        EXPECT_FALSE(view.splashExists);
        EXPECT_TRUE(lastSplashDeleted_);
    }
}

TEST_F(AppTest, SplashTimeoutDeletesTheSplashOnlyInsideTheLoop) {
    bool deletedInLoop = false;
    run({"wkelvo"}, [&](KWorksheetApp& app) {
        ASSERT_NE(app.splash, nullptr);
        app.splashTimeout();
        deletedInLoop = app.splash == nullptr;
    });
    EXPECT_TRUE(deletedInLoop);
    KWorksheetApp idle;   // not running: nothing happens
    idle.splashTimeout();
    EXPECT_EQ(idle.splash, nullptr);
}

TEST_F(AppTest, AnErrorEscapingToTheOutermostGuardShowsTheMessageAndShutsDown) {
    bool frameWent = false;
    {
        KWorksheetApp app;
        app.onLoopRunning = [](KWorksheetApp&) { raiseRecord(nullptr); };
        char name[] = "wkelvo";
        char* argv[] = {name, nullptr};
        app.Main(1, argv);
        frameWent = app.frame == nullptr && app.windowRegistry == nullptr;
    }
    EXPECT_TRUE(frameWent);
    const std::vector<std::string>& messages = gui::test::messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "Internal Kelvo Error.  Exiting.");
    EXPECT_EQ(errjump_depth(), 0);
}

TEST_F(AppTest, ServicesInsideTheLoop) {
    run({"wkelvo"}, [&](KWorksheetApp& app) {
        // Placeholders: made once, in "kwsstatics".
        app.initExpressionPlaceholders();   // the new worksheet made them already
        Dag first[] = {app.noMemoryText, app.queryText, app.doubleQueryText, app.charText, app.emptySequence};
        for (Dag d : first) EXPECT_NE(d, nullptr);
        app.initExpressionPlaceholders();
        Dag second[] = {app.noMemoryText, app.queryText, app.doubleQueryText, app.charText, app.emptySequence};
        for (int i = 0; i < 5; ++i) EXPECT_EQ(first[i], second[i]) << i;
        // Busy indicator.
        app.showBusy(false, nullptr);
        EXPECT_EQ(app.frame->statusBar()->getText().str(), "");
        EXPECT_FALSE(Application::isWaitMode());
        app.showBusy(true, "Loading worksheet");
        EXPECT_EQ(app.frame->statusBar()->getText().str(), "Loading worksheet...");
        EXPECT_TRUE(Application::isWaitMode());
        app.showBusy(false, nullptr);
        EXPECT_EQ(app.frame->statusBar()->getText().str(), "");
        EXPECT_FALSE(Application::isWaitMode());
        // A true-colour display.
        EXPECT_FALSE(app.isMonochrome());
        // Directories: kind 4 changes nothing; kind 3 returns to the start directory.
        fs::path before = fs::current_path();
        app.enterLastDirectory(4);
        EXPECT_EQ(fs::current_path(), before);
        fs::current_path(dir_);
        app.enterLastDirectory(3);
        EXPECT_EQ(fs::current_path(), before);
        EXPECT_TRUE(app.ensurePrinter());
        EXPECT_NE(app.printer(), nullptr);
        EXPECT_EQ(app.symbolPalette, nullptr);   // no palette can be built yet
    });
}

// Counts the results a statement sends.
class CountingSink : public OutputSink {
public:
    void resetOutput() override { ++resets; }
    bool output(Dag, int) override { ++outputs; return true; }
    bool newTextInputRegion() override { return false; }
    int outputs = 0, resets = 0;
};

// Runs one statement in a worksheet window's document and answers how many outputs came.
int runStatement(KWorksheetWindow* window) {
    CountingSink sink;
    window->document()->executeInput(&sink, KString("1+2;"));
    window->document()->runExecutionToEnd();
    return sink.outputs;
}

// No child process is running: every kernel server started has exited (the link's waiter may
// not have reaped it yet).
bool noChildRunning() {
    for (const auto& e : fs::directory_iterator("/proc")) {
        std::ifstream stat(e.path() / "stat");
        std::string pid, comm, state, ppid;
        if (stat >> pid >> comm >> state >> ppid && ppid == std::to_string(::getpid()) && state != "Z") {
            std::fprintf(stderr, "still running: %s %s\n", pid.c_str(), comm.c_str());
            return false;
        }
    }
    return true;
}

// Shut-down ends the kernels before the storage they use goes (the sanitizer build reports a
// use after free otherwise) and leaves no kernel server behind.
TEST_F(AppTest, ShutDownEndsEveryKernelFirst) {
#if defined(APP_TEST_KERNEL) && defined(APP_TEST_KERNSRV)
    ::setenv("KELVO_KERNEL", APP_TEST_KERNEL, 1);
    ::setenv("KELVO_KERNSRV", APP_TEST_KERNSRV, 1);
    struct Row {
        const char* name;
        std::vector<std::string> words;
        int worksheets;
    } rows[] = {
        {"the shared in-process kernel", {"wkelvo", "-nosplash"}, 2},
        {"two worksheets on their own servers", {"wkelvo", "-km", "p"}, 2},
    };
    // Each row runs in a fresh process (the expression library is brought up once per process,
    // as in the program); it exits 0 when the statements ran and no server is left, and the
    // leak check at its exit fails it otherwise.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EXIT(
            {
                bool ok = noChildRunning();
                std::vector<int> outputs;
                run(r.words, [&](KWorksheetApp& app) {
                    while (static_cast<int>(KWorksheetWindow::all().size()) < r.worksheets)
                        app.frame->frame_command(1101, 0);
                    for (KWorksheetWindow* w : KWorksheetWindow::all())
                        outputs.push_back(runStatement(w));
                });
                ok = ok && outputs == std::vector<int>(r.worksheets, 1) && noChildRunning();
                std::fprintf(stderr, "ok %d\n", ok ? 1 : 0);
                std::exit(ok ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "ok 1");
    }
    ::unsetenv("KELVO_KERNEL");
    ::unsetenv("KELVO_KERNSRV");
#else
    GTEST_SKIP() << "built without the kernel library and server";
#endif
}

TEST(KWorksheetAppPaths, InstallDirectoryDropsTheProgramAndItsFolder) {
    EXPECT_EQ(KWorksheetApp::installDirectoryOf("/opt/kelvo/bin/wkelvo"), "/opt/kelvo");
    EXPECT_EQ(KWorksheetApp::installDirectoryOf("/opt/kelvo/app/../bin/wkelvo"), "/opt/kelvo");
    // The program's own file is the real one, whatever argv[0] says.
    EXPECT_EQ(KWorksheetApp::programFile("wkelvo"), fs::canonical("/proc/self/exe").string());
}

TEST(KWorksheetAppPaths, DataFoldersPreferShare) {
    fs::path install = fs::temp_directory_path() / ("kelvo_install_" + std::to_string(::getpid()));
    fs::create_directories(install);
    EXPECT_EQ(KWorksheetApp::dataFolderOf(install.string(), "afm"), (install / "afm").string());
    fs::create_directories(install / "share" / "afm");
    EXPECT_EQ(KWorksheetApp::dataFolderOf(install.string(), "afm"), (install / "share" / "afm").string());
    fs::remove_all(install);
}

// fatal_error ends the process: each code runs in a child whose message boxes write to stderr.
std::string fatalErrorOutput(int16_t code, int& status) {
    int fds[2];
    if (::pipe(fds) != 0) return "pipe";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 2);
        MessageGuiHooks hooks;
        hooks.errorBox = [](void*, int, const char* text) { std::fprintf(stderr, "BOX[%s]\n", text); };
        hooks.isRunning = [] { return true; };
        messages_set_gui_hooks(hooks);
        KWorksheetApp app;
        app.fatal_error(code);
    }
    ::close(fds[1]);
    std::string out;
    char buf[256];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, std::size_t(n));
    ::close(fds[0]);
    ::waitpid(pid, &status, 0);
    // Only the boxes: the child's exit may add sanitizer notes.
    std::string boxes;
    for (std::size_t at = out.find("BOX["); at != std::string::npos; at = out.find("BOX[", at + 1))
        boxes += out.substr(at, out.find('\n', at) + 1 - at);
    return boxes;
}

TEST(KWorksheetAppFatal, ShowsTheCodeUnless768) {
    struct Row {
        int16_t code;
        const char* expected;
    } rows[] = {{5, "BOX[Fatal Application Error: code 5]\n"}, {-3, "BOX[Fatal Application Error: code -3]\n"},
                {768, ""}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.code);
        int status = 0;
        EXPECT_EQ(fatalErrorOutput(r.code, status), r.expected);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_NE(WEXITSTATUS(status), 0);
    }
}

}  // namespace
