// The main frame: recent files and their menu items, deferred deletions, the context bars'
// angles, worksheet loading, the frame commands, the frame's close and its menu states (inside
// the running program on the offscreen platform), and the kernel poll with the scripted test
// kernel behind a kernel server and in process.
#include "app/KMainFrame.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/KFrameAdaptor.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "app/program_resources.h"
#include "document/exec/OutputSink.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/ReplyStreams.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/ContainerElement.h"
#include "document/tree/ViewCaret.h"
#include "kernel_link/KKernelSession.h"
#include "options/KOptions.h"
#include "platform/gui/Menu.h"
#include "platform/gui/Printer.h"
#include "platform/gui/ToolBox.h"
#include "platform/gui/gui_test.h"
#include "platform/os/sysprobe.h"
#include "tovu/ifvars.h"
#include "util/errjump.h"
#include "util/messages.h"

namespace {

namespace fs = std::filesystem;

// ---- the frame alone -------------------------------------------------------------------------

class FrameAlone : public ::testing::Test {
protected:
    void SetUp() override {
        gui::ensureApplication();
        gui::test::activate();
        gui::test::clearRecords();
        ASSERT_TRUE(loadProgramResources());
        frame = std::make_unique<KMainFrame>();
    }
    void TearDown() override {
        frame.reset();
        gui::test::deactivate();
    }
    std::vector<std::string> recent() const {
        std::vector<std::string> out;
        for (int i = 0; i < frame->recentCount(); ++i) out.push_back(frame->recentPath(i).str());
        return out;
    }
    std::unique_ptr<KMainFrame> frame;
};

TEST_F(FrameAlone, IsBuiltWithItsTitleBarsAndPollTimer) {
    EXPECT_EQ(frame->getText().str(), "Kelvo V Release 5");
    EXPECT_EQ(frame->getStyle(), uint32_t(WB_APP_FRAME));
    EXPECT_EQ(frame->currentMenuBar(), 1020);
    EXPECT_EQ(frame->currentToolBox(), 1000);
    EXPECT_EQ(frame->currentContextBar(), 5);
    for (int i = 0; i < KMainFrame::kContextBarCount; ++i) {
        ASSERT_NE(frame->contextBar(i), nullptr) << i;
        EXPECT_EQ(frame->contextBar(i)->getSizePixel().height, 0) << i;
    }
    // The math bar checks the Kelvo Input button, the text bar the Text Input button.
    ToolBox* box = frame->toolBox(1000);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isItemChecked(2505));
    EXPECT_FALSE(box->isItemChecked(2506));
    frame->setContextBar(0, nullptr, 7);
    EXPECT_TRUE(box->isItemChecked(2506));
    EXPECT_FALSE(box->isItemChecked(2505));
    // Index -2 gives the current bar its owner data only.
    int owner = 0;
    frame->setContextBar(KMainFrameInterface::kRemoveContextBar, &owner, 9);
    EXPECT_EQ(frame->currentContextBar(), 0);
    EXPECT_EQ(frame->contextBarOwner(0), &owner);
    EXPECT_EQ(frame->contextBarData(0), 9);
    // Every menu bar and tool box of the resources is built; others are not.
    for (int id = 1020; id <= 1025; ++id) EXPECT_NE(frame->menuBar(id), nullptr) << id;
    for (int id = 1000; id <= 1004; ++id) EXPECT_NE(frame->toolBox(id), nullptr) << id;
    EXPECT_EQ(frame->menuBar(1026), nullptr);
    EXPECT_EQ(frame->toolBox(1005), nullptr);
    // Menu bar 1 and the current id change nothing.
    frame->setMenuBar(1);
    EXPECT_EQ(frame->currentMenuBar(), 1020);
    frame->setMenuBar(1021);
    EXPECT_EQ(frame->currentMenuBar(), 1021);
    EXPECT_NE(frame->frameMenu(1150), nullptr);
}

TEST_F(FrameAlone, RecentFilesKeepFourMostRecentFirst) {
    struct Row {
        const char* name;
        std::vector<std::string> opened;
        std::vector<std::string> expected;
    } rows[] = {
        {"one", {"/w/a.kws"}, {"/w/a.kws"}},
        {"the first again leaves the list unchanged", {"/w/a.kws", "/w/b.kws", "/w/b.kws"}, {"/w/b.kws", "/w/a.kws"}},
        {"an older one comes first", {"/w/a.kws", "/w/b.kws", "/w/c.kws", "/w/a.kws"},
         {"/w/a.kws", "/w/c.kws", "/w/b.kws"}},
        {"a fifth distinct file drops the oldest",
         {"/w/a.kws", "/w/b.kws", "/w/c.kws", "/w/d.kws", "/w/e.kws"},
         {"/w/e.kws", "/w/d.kws", "/w/c.kws", "/w/b.kws"}},
        {"the oldest of a full list comes first",
         {"/w/a.kws", "/w/b.kws", "/w/c.kws", "/w/d.kws", "/w/a.kws"},
         {"/w/a.kws", "/w/d.kws", "/w/c.kws", "/w/b.kws"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        frame = std::make_unique<KMainFrame>();
        for (const std::string& p : r.opened) frame->addRecentFile(p.c_str());
        EXPECT_EQ(recent(), r.expected);
        for (int i = 0; i < frame->recentCount(); ++i)
            EXPECT_EQ(frame->recentName(i).str(), fs::path(r.expected[i]).filename().string());
    }
}

// The ids of a menu, separators as 0.
std::vector<int> idsOf(Menu* m) {
    std::vector<int> out;
    for (uint16_t pos = 0; pos < m->getItemCount(); ++pos) out.push_back(m->getItemId(pos));
    return out;
}

TEST_F(FrameAlone, TheFileMenuHoldsTheRecentItemsBeforeTheItemPrecedingExit) {
    for (int bar : {1020, 1021}) {
        SCOPED_TRACE(bar);
        frame = std::make_unique<KMainFrame>();
        Menu* file = frame->menuBar(bar)->getPopupMenu(1100);
        ASSERT_NE(file, nullptr);
        const std::vector<int> plain = idsOf(file);
        frame->rebuildRecentMenu(file);
        EXPECT_EQ(idsOf(file), plain) << "an empty list adds nothing";
        frame->addRecentFile("/w/a.kws");
        frame->addRecentFile("/w/b.kws");
        frame->rebuildRecentMenu(file);
        std::vector<int> expected(plain.begin(), plain.end() - 2);
        expected.insert(expected.end(), {0, 1140, 1141, 0, 1109});
        EXPECT_EQ(idsOf(file), expected);
        EXPECT_EQ(file->getItemText(1140).str(), "~1 b.kws");
        EXPECT_EQ(file->getHelpText(1141).str(), "Open /w/a.kws");
        // Rebuilt with three entries: still one separator before them.
        frame->addRecentFile("/w/c.kws");
        frame->rebuildRecentMenu(file);
        expected.insert(expected.end() - 2, 1142);
        EXPECT_EQ(idsOf(file), expected);
        EXPECT_EQ(file->getItemText(1142).str(), "~3 a.kws");
        EXPECT_TRUE(file->isItemEnabled(1142));
    }
}

// Records the order in which objects go; one of them queues another as it goes.
struct Tracked {
    Tracked(std::vector<int>& log, int id, bool queueAnother = false) : log_(log), id_(id), queue_(queueAnother) {}
    virtual ~Tracked() {
        log_.push_back(id_);
        if (queue_) KMainFrame::deleteLater(new Tracked(log_, 1000 + id_));
    }
    std::vector<int>& log_;
    int id_;
    bool queue_;
};

TEST_F(FrameAlone, DeferredDeletionsGoLastFirstInAListGrowingBy32) {
    std::vector<int> log;
    for (int i = 0; i < 40; ++i) KMainFrame::deleteLater(new Tracked(log, i, i == 0));
    EXPECT_EQ(KMainFrame::deferredCount(), 40u);
    EXPECT_EQ(KMainFrame::deferredCapacity() % KMainFrame::kDeferredGrowthStep, 0u);
    EXPECT_GE(KMainFrame::deferredCapacity(), 40u);
    KMainFrame::flushDeferredDeletes();
    std::vector<int> expected;
    for (int i = 39; i >= 0; --i) expected.push_back(i);
    expected.push_back(1000);   // queued by the last one deleted, deleted in the same flush
    EXPECT_EQ(log, expected);
    EXPECT_EQ(KMainFrame::deferredCount(), 0u);
}

TEST_F(FrameAlone, PlotAnglesComeIntoMinus180To180) {
    struct Row {
        int in, out;
    } rows[] = {{0, 0}, {180, 180}, {-180, -180}, {181, -179}, {-181, 179}, {540, 180}, {725, 5}, {-725, -5}};
    for (const Row& r : rows) EXPECT_EQ(KMainFrame::normaliseAngle(r.in), r.out) << r.in;
    int theta = 370, phi = -200;
    frame->contextAnglesEntered(theta, phi);
    EXPECT_EQ(theta, 10);
    EXPECT_EQ(phi, 160);
}

// ---- inside the running program --------------------------------------------------------------

// The next message box is answered (1 OK, 2 Yes, 3 No, 0 Cancel).
void addAnswer(int answer) {
    gui::test::Step step;
    step.kind = gui::test::Step::AnswerBox;
    step.answer = answer;
    gui::test::addStep(step);
}

// Counts what a statement's region receives.
class CountingSink : public OutputSink {
public:
    void endOutput() override { ++ends; }
    void resetOutput() override { ++resets; }
    bool output(Dag, int) override {
        ++outputs;
        return true;
    }
    bool newTextInputRegion() override { return false; }
    int outputs = 0, ends = 0, resets = 0;
};

// A sink whose output runs out of memory.
class FailingSink : public CountingSink {
public:
    bool output(Dag, int) override { raiseRecord(&outOfMemoryRecord); }
};

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kwsframe_" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "config");
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        start_ = fs::current_path();
        gui::ensureApplication();
        gui::test::activate();
        gui::test::clearRecords();
        gui::test::setScript({});
        gui::test::takeFailures();
        gui::test::fixScreenSize(Size(1280, 1024));
#ifdef APP_TEST_SCRIPT_KERNEL
        // The program's in-process kernel is the scripted one.
        ::setenv("KELVO_KERNEL", APP_TEST_SCRIPT_KERNEL, 1);
#endif
    }
    void TearDown() override {
        fs::current_path(start_);
        gui::test::unfixScreenSize();
        gui::test::deactivate();
        for (const char* v : {"KELVO_KERNEL", "KL_SCRIPT_TRACE"}) ::unsetenv(v);
        fs::remove_all(dir_);
    }

    std::string worksheet(const std::string& name) {
        fs::path p = dir_ / name;
        std::ofstream(p) << "{VERSION 5 0 \"Linux\" \"5.0\" }\n";
        return p.string();
    }

    // Runs the program with the words; the body runs inside its event loop, which ends after.
    void inLoop(std::vector<std::string> words, const std::function<void(KWorksheetApp&)>& body) {
        KWorksheetApp app;
        app.splashTimeoutMs = 3600 * 1000;
        app.onLoopRunning = [&](KWorksheetApp& a) {
            body(a);
            Application::quit();
        };
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        app.Main(static_cast<int>(words.size()), argv.data());
        EXPECT_EQ(errjump_depth(), 0);
        EXPECT_EQ(gui::test::takeFailures(), std::vector<std::string>{});
    }

    // Runs the event loop until the condition holds; false when it did not within a generous
    // bound (a failsafe only: the condition is what is waited for).
    static bool waitFor(const std::function<bool()>& condition) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            Application::reschedule();
            ::usleep(1000);
        }
        return true;
    }

    static std::vector<std::string> titles() {
        std::vector<std::string> out;
        for (KWorksheetWindow* w : KWorksheetWindow::all()) out.push_back(w->document()->plainTitle().text());
        return out;
    }

    static KWorksheetWindow* active() { return dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet()); }

    static int countMessages(const std::string& prefix) {
        int n = 0;
        for (const std::string& m : gui::test::messages())
            if (m.compare(0, prefix.size(), prefix) == 0) ++n;
        return n;
    }

    fs::path dir_;
    fs::path start_;
};

TEST_F(MainFrameTest, QuotedPathsOpenTheUnquotedFile) {
    const std::string plain = worksheet("a.kws");
    const std::string odd = worksheet("\"odd.kws'");
    struct Row {
        const char* name;
        std::string given;
        std::string title;
    } rows[] = {
        {"double quotes", "\"" + plain + "\"", "a.kws"},
        {"single quotes", "'" + plain + "'", "a.kws"},
        {"back quotes", "`" + plain + "`", "a.kws"},
        {"mismatched quotes stay", odd, "\"odd.kws'"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
            EXPECT_TRUE(app.frame->load_worksheet(r.given.c_str(), false));
            EXPECT_EQ(titles().back(), r.title);
            EXPECT_EQ(app.frame->recentName(0).str(), r.title);
        });
    }
}

TEST_F(MainFrameTest, OpeningAFileTwiceBringsItsWindowForward) {
    const std::string a = worksheet("a.kws");
    worksheet("b.kws");
    inLoop({"wkelvo", a}, [&](KWorksheetApp& app) {
        KWorksheetWindow* first = KWorksheetWindow::all().front();
        fs::current_path(dir_);
        ASSERT_TRUE(app.frame->load_worksheet("b.kws", false));
        EXPECT_EQ(active()->document()->plainTitle().text(), std::string("b.kws"));
        // Once by a relative name, once through a symbolic link: the first window comes back.
        fs::create_symlink(dir_ / "a.kws", dir_ / "link.kws");
        for (const char* again : {"a.kws", "link.kws", "./a.kws"}) {
            SCOPED_TRACE(again);
            EXPECT_TRUE(app.frame->load_worksheet(again, false));
            EXPECT_EQ(KWorksheetWindow::all().size(), 2u);
            EXPECT_TRUE(waitFor([&] { return active() == first; }));
        }
    });
}

TEST_F(MainFrameTest, ASavedZoomComesBackWhenTheFileIsOpened) {
    const std::string a = worksheet("a.kws");
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        ASSERT_TRUE(app.frame->load_worksheet(a.c_str(), false));
        EXPECT_EQ(active()->zoomCommand(), 1803) << "a file without view options opens at 100 %";
        ASSERT_TRUE(active()->window_command(1804, nullptr, 0));
        ASSERT_TRUE(active()->save());
    });
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        ASSERT_TRUE(app.frame->load_worksheet(a.c_str(), false));
        EXPECT_EQ(active()->zoomCommand(), 1804);
    });
}

TEST_F(MainFrameTest, AMissingFileIsReported) {
    const std::string missing = (dir_ / "none.kws").string();
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        gui::test::clearRecords();
        addAnswer(1);
        addAnswer(1);
        EXPECT_FALSE(app.frame->load_worksheet(missing.c_str(), false));
        EXPECT_EQ(gui::test::messages(),
                  (std::vector<std::string>{"The file " + missing + " could not be found.", "Unable to load the worksheet"}));
        EXPECT_EQ(app.frame->recentCount(), 0);
        gui::test::clearRecords();
        EXPECT_FALSE(app.frame->load_worksheet(missing.c_str(), true));
        EXPECT_EQ(gui::test::messages(), std::vector<std::string>{});
    });
}

TEST_F(MainFrameTest, TheRecentCommandsOpenTheirFilesAndOnePastGoesToTheWindow) {
    const std::string a = worksheet("a.kws"), b = worksheet("b.kws");
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        app.frame->addRecentFile(a.c_str());
        app.frame->addRecentFile(b.c_str());
        EXPECT_TRUE(app.frame->frame_command(1141, 0));
        EXPECT_EQ(titles(), (std::vector<std::string>{"Untitled (1)", "a.kws"}));
        KWorksheetWindow* w = active();
        ASSERT_NE(w, nullptr);
        const int past = 1140 + app.frame->recentCount();
        EXPECT_TRUE(app.frame->frame_command(past, 0));
        EXPECT_EQ(w->receivedCommands(), std::vector<int>{past});
        EXPECT_EQ(titles().size(), 2u);
    });
}

TEST_F(MainFrameTest, CloseAllHelpClosesEveryHelpWindow) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        for (int i = 0; i < 5; ++i) {
            const std::string title = "Kelvo Library Help topic" + std::to_string(i);
            app.frame->openWorksheetWindow(std::make_unique<WorksheetDocument>(title.c_str()));
            if (i % 2 == 0) app.frame->frame_command(1101, 0);
        }
        EXPECT_EQ(app.windowRegistry->count(), 9);
        EXPECT_TRUE(app.frame->frame_command(1357, 0));
        EXPECT_EQ(titles(), (std::vector<std::string>{"Untitled (1)", "Untitled (2)", "Untitled (3)", "Untitled (4)"}));
        EXPECT_EQ(app.windowRegistry->count(), 4);
    });
}

TEST_F(MainFrameTest, WithoutAWorksheetWindowUnhandledCommandsDoNothing) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        ASSERT_TRUE(Application::closeAll());
        EXPECT_TRUE(KWorksheetWindow::all().empty());
        EXPECT_EQ(KMainFrame::activeWorksheet(), nullptr);
        for (int id : {1140, 1151, 1103, 2504, 9999}) EXPECT_TRUE(app.frame->frame_command(id, 0)) << id;
        EXPECT_EQ(gui::test::messages(), std::vector<std::string>{});
        // The frame is back to its own bars.
        EXPECT_EQ(app.frame->currentMenuBar(), 1020);
    });
}

TEST_F(MainFrameTest, AboutAndSaveToDatabaseShowTheirTexts) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        kernelBanner().assign("Kernel banner 5");
        gui::test::clearRecords();
        addAnswer(1);
        EXPECT_TRUE(app.frame->frame_command(1403, 0));
        ASSERT_EQ(gui::test::messages().size(), 1u);
        EXPECT_EQ(gui::test::messages()[0], "Kelvo V Release 5\nVersion 5.00 \nNov 27 1997\nKernel banner 5");
        kernelBanner().clear();
        // With a help window active, and with none.
        app.frame->openWorksheetWindow(std::make_unique<WorksheetDocument>("Kelvo Library Help sin"));
        for (int round = 0; round < 2; ++round) {
            gui::test::clearRecords();
            addAnswer(1);
            EXPECT_TRUE(app.frame->frame_command(1406, 0));
            EXPECT_EQ(gui::test::messages(),
                      std::vector<std::string>{"This command saves the currently active non-help worksheet.\nThere is no "
                                               "such worksheet active.\n"});
            ASSERT_TRUE(Application::closeAll());
        }
    });
}

TEST_F(MainFrameTest, AnErrorInACommandIsReportedAndTheCommandAnswersFalse) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        app.frame->showHelpTopicHook = [](const char*) { raiseRecord(&outOfMemoryRecord); };
        gui::test::clearRecords();
        addAnswer(1);
        const int depth = errjump_depth();
        EXPECT_FALSE(app.frame->frame_command(1401, 0));
        char expected[256];
        formatOutOfMemoryText(expected, sizeof expected, "command");
        EXPECT_EQ(gui::test::messages(), std::vector<std::string>{expected});
        EXPECT_EQ(errjump_depth(), depth);
        // The next command runs as usual.
        std::vector<std::string> topics;
        static std::vector<std::string>* shown;
        shown = &topics;
        app.frame->showHelpTopicHook = [](const char* topic) { shown->push_back(topic); };
        struct Row {
            int id;
            const char* topic;
        } rows[] = {{1401, "introduction"}, {1410, "introduction"}, {1402, "HelpGuide"}, {1409, "HelpGuide"},
                    {1411, "updates,R5"},   {1412, "newuser"}};
        for (const Row& r : rows) EXPECT_TRUE(app.frame->frame_command(r.id, 0));
        std::vector<std::string> expectedTopics;
        for (const Row& r : rows) expectedTopics.push_back(r.topic);
        EXPECT_EQ(topics, expectedTopics);
    });
}

TEST_F(MainFrameTest, SettingCommandsToggleTheirOptionsAndCheckTheirItems) {
    struct Row {
        int id;
        int menu;
        bool KOptions::*option;
    } rows[] = {
        {1111, 1100, &KOptions::saveOptions}, {1201, 1200, &KOptions::showToolBar},
        {1202, 1200, &KOptions::showStatusBar}, {1203, 1200, &KOptions::showContextBar},
        {1404, 1400, &KOptions::balloonHelp},
    };
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        ASSERT_NE(theOptions, nullptr);
        for (const Row& r : rows) {
            SCOPED_TRACE(r.id);
            const bool before = theOptions->*r.option;
            for (bool expected : {!before, before}) {
                EXPECT_TRUE(app.frame->frame_command(r.id, 0));
                EXPECT_EQ(theOptions->*r.option, expected);
                Menu* menu = app.frame->frameMenu(r.menu);
                ASSERT_NE(menu, nullptr);
                EXPECT_EQ(menu->isItemChecked(static_cast<uint16_t>(r.id)), expected);
            }
        }
        // What the bars do with them.
        app.frame->frame_command(1201, 0);
        EXPECT_FALSE(app.frame->toolBox(1000)->isVisible());
        app.frame->frame_command(1201, 0);
        EXPECT_TRUE(app.frame->toolBox(1000)->isVisible());
        EXPECT_EQ(Help::isBalloonsEnabled(), theOptions->balloonHelp);
    });
}

TEST_F(MainFrameTest, CloseFrameKeepsTheActiveWorksheetsSettingsAndARefusalKeepsItOpen) {
#ifdef APP_TEST_SCRIPT_KERNEL
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        app.frame->frame_command(1101, 0);
        KWorksheetWindow* w = active();
        ASSERT_NE(w, nullptr);
        InterfaceSettings* s = w->document()->interfaceVars()->settings();
        s->prettyprint = 0;
        s->showassumed = 2;
        std::strcpy(s->plotdevice, "window");
        // A modified worksheet whose save question is cancelled keeps the frame open.
        w->document()->modified = true;
        addAnswer(0);
        EXPECT_FALSE(app.frame->closeFrame());
        EXPECT_EQ(gui::test::stepsLeft(), 0u);
        EXPECT_TRUE(app.frame->isVisible());
        EXPECT_EQ(KWorksheetWindow::all(), std::vector<KWorksheetWindow*>{w});
        EXPECT_NE(theOptions->prettyPrint, 0);
        // Answered No, everything closes and the settings become the defaults.
        addAnswer(3);
        EXPECT_TRUE(app.frame->closeFrame());
        EXPECT_TRUE(KWorksheetWindow::all().empty());
        EXPECT_EQ(theOptions->prettyPrint, 0);
        EXPECT_EQ(theOptions->showAssumed, 2);
        EXPECT_STREQ(theOptions->plotDevice.text(), "window");
    });
#else
    GTEST_SKIP() << "built without the scripted kernel";
#endif
}

// An element that reports the OLE element's kind.
class FakeOleElement : public ContainerElement {
public:
    Element* cloneElement() const override { return new FakeOleElement; }
    int elementKind() const override { return 11; }
};

std::vector<int> verbsRun;

TEST_F(MainFrameTest, TheMessageHookTakesOleVerbsOnlyForAnOleElement) {
    struct Row {
        unsigned message;
        uintptr_t id;
        intptr_t control;
        bool takenByOle;   // consumed when the current element is an OLE element
    } rows[] = {{273, 1451, 0, true},  {273, 1549, 0, true},  {273, 1450, 0, false},
                {273, 1550, 0, false}, {274, 1500, 0, false}, {273, 1500, 5, false}};
    inLoop({"wkelvo"}, [&](KWorksheetApp&) {
        verbsRun.clear();
        oleVerbHook = [](Element*, int id) { verbsRun.push_back(id); };
        FakeOleElement ole;
        for (bool oleCurrent : {false, true}) {
            SCOPED_TRACE(oleCurrent ? "OLE element current" : "no current element");
            active()->document()->setCurrentElement(oleCurrent ? &ole : nullptr);
            for (const Row& r : rows)
                EXPECT_EQ(Application::callSystemMessageHook(r.message, r.id, r.control) != 0, oleCurrent && r.takenByOle)
                    << r.message << " " << r.id;
        }
        active()->document()->setCurrentElement(nullptr);
        oleVerbHook = nullptr;
        EXPECT_EQ(verbsRun, (std::vector<int>{1451, 1549}));
    });
}

TEST_F(MainFrameTest, TheDeviceResolutionIsTheDevicesOwn) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        ASSERT_TRUE(app.ensurePrinter());
        int resolution = 0, points = 0;
        sys_device_resolution(app.printer()->getNativeDC(), nullptr, &resolution, &points);
        EXPECT_EQ(resolution, app.printer()->getDPIY());
        EXPECT_EQ(points, 72);
        sys_device_resolution(app.frame->getNativeDC(), nullptr, &resolution, &points);
        EXPECT_EQ(resolution, app.frame->getDPIY());
    });
}

// ---- the menu rules over the running frame -------------------------------------------------------

// One undoable edit, named as typing names its group: a paragraph added to the document (given a
// section to hold it when it has no root yet).
void typeInto(WorksheetDocument* doc) {
    if (!doc->root()) doc->setRoot(new SectionElement());
    doc->undoHistory()->beginGroup("Typing", nullptr, false);
    doc->root()->insertChild(new ParagraphElement(0, nullptr), nullptr, kInsertAfter);
    doc->undoHistory()->endUndoGroup(nullptr);
}

// The frame's menus and tool box for the active worksheet window: each row brings the program
// to a state, refreshes the menus and reads the Edit and File popups, the tool box and the
// context bar.
TEST_F(MainFrameTest, MenusAndCommandStatesFollowTheActiveWorksheet) {
    struct Row {
        const char* name;
        std::function<void(KWorksheetApp&)> set;
        bool window, undoEnabled, redoEnabled;
        const char* undoText;
        const char* redoText;
        bool contextBarEnabled;
    };
    auto typing = [](KWorksheetApp&) { typeInto(active()->document()); };
    const Row rows[] = {
        {"no window", [](KWorksheetApp&) { ASSERT_TRUE(Application::closeAll()); },
         false, false, false, "~Undo", "~Redo", false},
        {"a new worksheet: nothing to undo", [](KWorksheetApp& app) { app.frame->frame_command(1101, 0); },
         true, false, false, "~Undo", "~Redo", true},
        {"after typing", typing, true, true, false, "~Undo Typing", "~Redo", true},
        {"after undoing the typing", [](KWorksheetApp&) { active()->document()->undoHistory()->undo(nullptr); },
         true, false, true, "~Undo", "~Redo Typing", true},
        {"a help worksheet",
         [](KWorksheetApp& app) {
             app.frame->openWorksheetWindow(std::make_unique<WorksheetDocument>("Kelvo Library Help sin"));
         },
         true, false, false, "~Undo", "~Redo", false},
    };
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        KMainFrame& frame = *app.frame;
        for (const Row& r : rows) {
            SCOPED_TRACE(r.name);
            r.set(app);
            frame.refreshMenus();
            Menu* bar = frame.menuBar();
            ASSERT_NE(bar, nullptr);
            // Without a worksheet the bar is the frame's own, with neither Save nor an Edit menu.
            Menu* edit = bar->getPopupMenu(1150);
            ASSERT_EQ(edit != nullptr, r.window);
            if (edit) {
                EXPECT_TRUE(bar->getPopupMenu(1100)->isItemEnabled(1103));
                EXPECT_EQ(edit->isItemEnabled(1151), r.undoEnabled);
                EXPECT_EQ(edit->isItemEnabled(1152), r.redoEnabled);
                EXPECT_EQ(edit->getItemText(1151).str(), r.undoText);
                EXPECT_EQ(edit->getItemText(1152).str(), r.redoText);
                // The stand-in window carries out no clipboard command: nothing offers one.
                for (uint16_t id : {1153, 1154, 1155}) EXPECT_FALSE(edit->isItemEnabled(id)) << id;
            }
            ToolBox* box = frame.toolBox();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->isItemEnabled(1151), r.undoEnabled);
            EXPECT_EQ(box->isItemEnabled(1152), r.redoEnabled);
            Window* contextBar = frame.contextBar(frame.currentContextBar());
            ASSERT_NE(contextBar, nullptr);
            EXPECT_EQ(contextBar->isInputEnabled(), r.contextBarEnabled);
        }
    });
}

// A popup brought up to date when it opens: the Edit menu names the last undo group.
TEST_F(MainFrameTest, OpeningTheEditMenuNamesTheLastUndoGroup) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        app.frame->frame_command(1101, 0);
        ASSERT_NE(active(), nullptr);
        typeInto(active()->document());
        Menu* edit = app.frame->frameMenu(1150);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->getItemText(1151).str(), "~Undo");
        app.frame->updateMenu(edit);
        EXPECT_EQ(edit->getItemText(1151).str(), "~Undo Typing");
        EXPECT_TRUE(edit->isItemEnabled(1151));
        // The frame's own cut, copy and paste questions go to the same rules.
        EXPECT_FALSE(app.frame->canCutCopy(false, true));
        EXPECT_FALSE(app.frame->canPaste(false));
    });
}

// ---- the input context bar ---------------------------------------------------------------------

InputTextElement* firstInput(Element* e) {
    if (auto* input = dynamic_cast<InputTextElement*>(e)) return input;
    for (int i = 0; e && i < e->childCount(); ++i)
        if (InputTextElement* found = firstInput(e->childAt(i))) return found;
    return nullptr;
}

// The input bar follows the input whose caret arrives in the active worksheet window: the
// input's text in the field, its state in the tools.  The user's edits in the field reach the
// input, Return runs it, and an input that leaves the document leaves no owner behind.
TEST_F(MainFrameTest, TheInputBarShowsTheInputOfTheActiveWindowAndDrivesIt) {
    const std::string trace = (dir_ / "trace.txt").string();
    ::setenv("KL_SCRIPT_TRACE", trace.c_str(), 1);
    auto evaluations = [&trace] {
        std::ifstream in(trace);
        int n = 0;
        for (std::string line; std::getline(in, line);) n += line.find("evaluate") != std::string::npos;
        return n;
    };
    // A worksheet of one group (with its input).
    auto withGroup = [](const char* title) {
        auto doc = std::make_unique<WorksheetDocument>(title);
        auto* root = new SectionElement();
        root->insertChild(new ExecutionGroup(ExecutionGroup::WithInput{}), nullptr, kInsertAfter);
        doc->setRoot(root);
        return doc;
    };
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        ASSERT_TRUE(Application::closeAll());
        app.frame->openWorksheetWindow(withGroup(nullptr));
        KWorksheetWindow* w = active();
        ASSERT_NE(w, nullptr);
        WorksheetDocument* doc = w->document();
        ASSERT_TRUE(waitFor([doc] { return doc->evaluator()->session()->argumentsSent && doc->queueIsEmpty(); }));
        auto* input = dynamic_cast<InputTextElement*>(w->caret()->element());
        ASSERT_NE(input, nullptr);
        const KMainFrame::InputBarState& bar = app.frame->inputBar();
        auto expectBar = [&](InputTextElement* owner, const char* text, bool typePressed, bool executeEnabled) {
            EXPECT_EQ(app.frame->currentContextBar(), InputTextElement::INPUT_CONTEXT_BAR);
            EXPECT_EQ(app.frame->contextBarOwner(InputTextElement::INPUT_CONTEXT_BAR), owner);
            EXPECT_EQ(bar.owner, owner);
            EXPECT_EQ(bar.fieldText, text);
            EXPECT_TRUE(bar.notationPressed);
            EXPECT_EQ(bar.typePressed, typePressed);
            EXPECT_EQ(bar.executeEnabled, executeEnabled);
        };

        // What the bar shows as the input changes.
        struct Row {
            const char* name;
            std::function<void()> change;
            bool typePressed, executeEnabled;
        } rows[] = {
            {"an active input", [&] { input->setText("x+1;"); }, true, true},
            {"turned inert", [&] { input->runContextMenuEntry(InputTextElement::MENU_KELVO_INPUT); }, false, false},
            {"active again", [&] { input->runContextMenuEntry(InputTextElement::MENU_KELVO_INPUT); }, true, true},
        };
        for (const Row& r : rows) {
            SCOPED_TRACE(r.name);
            r.change();
            input->caretArrived();
            expectBar(input, "x+1;", r.typePressed, r.executeEnabled);
        }

        // The field's text goes to the input; Return runs it.
        app.frame->contextFieldChanged("y:=2;");
        EXPECT_STREQ(input->text(), "y:=2;");
        EXPECT_EQ(bar.fieldText, "y:=2;");
        const int before = evaluations();
        app.frame->contextButton(InputTextElement::MENU_EVALUATE);
        EXPECT_TRUE(waitFor([&] { return evaluations() > before && doc->queueIsEmpty(); }));

        // An input of a help worksheet cannot be executed from the bar; the input of a window
        // that is not the active one changes nothing.
        std::unique_ptr<WorksheetDocument> help = withGroup("Kelvo Library Help sin");
        InputTextElement* helpInput = firstInput(help->root());
        ASSERT_NE(helpInput, nullptr);
        helpInput->setText("h;");
        app.frame->openWorksheetWindow(std::move(help));
        ASSERT_NE(active(), w);
        helpInput->caretArrived();
        expectBar(helpInput, "h;", true, false);
        input->caretArrived();
        expectBar(helpInput, "h;", true, false);
        ASSERT_NE(active()->adaptor, nullptr);
        active()->adaptor->closeFrame();
        ASSERT_EQ(active(), w);

        // A minimised window's input cannot be executed from the bar.
        w->adaptor->minimize();
        input->caretArrived();
        EXPECT_TRUE(w->adaptor->isMinimized());
        expectBar(input, "y:=2;", true, false);

        // Converted to two-dimensional input, the input is gone and the bar owns nothing: an
        // edit in the field then reaches no element.
        input->runContextMenuEntry(InputTextElement::MENU_STANDARD_MATH);
        EXPECT_EQ(app.frame->contextBarOwner(InputTextElement::INPUT_CONTEXT_BAR), nullptr);
        EXPECT_EQ(bar.owner, nullptr);
        app.frame->contextFieldChanged("z;");
        EXPECT_EQ(bar.fieldText, "z;");
    });
}

// ---- the kernel poll ---------------------------------------------------------------------------

#if defined(APP_TEST_KERNSRV) && defined(APP_TEST_SCRIPT_KERNEL)

class PollTest : public MainFrameTest {
protected:
    // Every new worksheet gets its own kernel server over the scripted kernel, whose trace
    // lists the statements it ran.  The start-up's worksheet (on the shared in-process kernel)
    // goes first.
    void useServers() {
        ASSERT_TRUE(Application::closeAll());
        WorksheetHost& host = worksheetHost();
        host.connectKernel = connectKernelFromOptions;
        host.kernelMode = kKernelPerWorksheet;
        host.linkKind = kLinkServer;
        host.serverCommand = APP_TEST_KERNSRV;
        ::setenv("KELVO_KERNEL", APP_TEST_SCRIPT_KERNEL, 1);
        trace_ = (dir_ / "trace.txt").string();
        ::setenv("KL_SCRIPT_TRACE", trace_.c_str(), 1);
    }
    // How many statements of the trace contain the text.
    int traced(const std::string& text) const {
        std::ifstream in(trace_);
        int n = 0;
        for (std::string line; std::getline(in, line);)
            if (line.find(text) != std::string::npos) ++n;
        return n;
    }
    // A new worksheet window whose session has started.
    KWorksheetWindow* newStartedWorksheet(KWorksheetApp& app) {
        app.frame->frame_command(1101, 0);
        KWorksheetWindow* w = active();
        if (!w) return nullptr;
        WorksheetDocument* doc = w->document();
        waitFor([doc] { return doc->evaluator()->session()->argumentsSent && doc->queueIsEmpty(); });
        return w;
    }
    // Runs the statement and waits until its region has ended (or was reset).
    static void run(WorksheetDocument* doc, CountingSink& sink, const char* text) {
        doc->executeInput(&sink, KString(text));
        waitFor([&sink] { return sink.ends + sink.resets > 0; });
    }
    std::string trace_;
};

TEST_F(PollTest, RepliesReachTheDocumentAndTheSessionStartsOnceItIsShown) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        useServers();
        // Built, not shown: its session waits.
        auto doc = std::make_unique<WorksheetDocument>(nullptr);
        WorksheetDocument* d = doc.get();
        for (int i = 0; i < 20; ++i) app.frame->pollKernels();
        EXPECT_FALSE(d->evaluator()->session()->argumentsSent);
        EXPECT_EQ(traced("evaluate"), 0);
        // Shown: the start-up statement runs, once.
        app.frame->openWorksheetWindow(std::move(doc));
        ASSERT_TRUE(waitFor([&] { return traced("evaluate") == 1 && d->queueIsEmpty(); }));
        CountingSink sink;
        run(d, sink, "pr(1, 2);");
        EXPECT_EQ(sink.ends, 1);
        EXPECT_EQ(sink.outputs, 2);
        for (int i = 0; i < 20; ++i) app.frame->pollKernels();
        EXPECT_EQ(traced("evaluate"), 2);
        EXPECT_EQ(traced("start"), 1);
        EXPECT_EQ(app.frame->deepestPollNesting(), 1);
    });
}

TEST_F(PollTest, RepliesArriveThroughTheLinkWatchWithTheTimerStopped) {
    // Once the session has started the ticks stop.  One poll sends each input, as a tick would;
    // every reply after it, the next statements of the input and the end of its region come
    // through the watch on the server's result pipe alone.
    std::string many = "prints(";
    for (int i = 1; i <= 300; ++i) many += (i > 1 ? "," : "") + std::to_string(i);
    many += ");";
    struct Row {
        const char* name;
        std::string text;
        int outputs;
    } rows[] = {
        {"one statement, two replies", "pr(1, 2);", 2},
        {"three statements in one input", "pr(1, 2); prints(3); pr(4, 5);", 5},
        {"one statement, 300 replies", many, 300},
    };
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        useServers();
        KWorksheetWindow* w = newStartedWorksheet(app);
        ASSERT_NE(w, nullptr);
        WorksheetDocument* doc = w->document();
        app.frame->pollTimer().stop();
        for (const Row& r : rows) {
            SCOPED_TRACE(r.name);
            const int traces = traced("evaluate");
            CountingSink sink;
            ASSERT_TRUE(doc->executeInput(&sink, KString(r.text.c_str())));
            app.frame->pollKernels();
            const long polls = app.frame->pollCount();
            EXPECT_TRUE(waitFor([&] { return sink.ends + sink.resets > 0 && doc->queueIsEmpty(); }));
            EXPECT_EQ(sink.ends, 1);
            EXPECT_EQ(sink.resets, 0);
            EXPECT_EQ(sink.outputs, r.outputs);
            EXPECT_FALSE(doc->computing());
            EXPECT_GE(traced("evaluate") - traces, 1);
            EXPECT_GT(app.frame->pollCount(), polls);
            EXPECT_FALSE(app.frame->pollTimer().isActive());
        }
        EXPECT_EQ(app.frame->deepestPollNesting(), 1);
    });
}

TEST_F(PollTest, AKilledServerIsReportedOnceAndAModifiedWorksheetIsOfferedForSaving) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        useServers();
        KWorksheetWindow* w = newStartedWorksheet(app);
        ASSERT_NE(w, nullptr);
        WorksheetDocument* doc = w->document();
        QuietEvaluator* evaluator = doc->evaluator();
        doc->modified = true;
        gui::test::clearRecords();
        // The report, then the save question: Cancel keeps the worksheet.
        addAnswer(1);
        addAnswer(0);
        CountingSink sink;
        run(doc, sink, "die();");
        ASSERT_TRUE(waitFor([] { return gui::test::stepsLeft() == 0; }));
        EXPECT_EQ(sink.resets, 1);
        EXPECT_EQ(sink.ends, 0);
        EXPECT_FALSE(doc->computing());
        EXPECT_EQ(countMessages("Kernel server failure:\n"), 1);
        const std::vector<QuietEvaluator*>& list = KMainFrame::evaluators();
        EXPECT_EQ(std::find(list.begin(), list.end(), evaluator), list.end());
        // Kept open without a kernel; the poll does not ask again.
        for (int i = 0; i < 20; ++i) app.frame->pollKernels();
        EXPECT_EQ(KWorksheetWindow::all(), std::vector<KWorksheetWindow*>{w});
        EXPECT_EQ(countMessages("Kernel server failure:\n"), 1);
        EXPECT_EQ(countMessages("The worksheet "), 1);
    });
}

TEST_F(PollTest, StopClosesAnUnmodifiedWorksheetAndAsksForAModifiedOne) {
    struct Row {
        const char* name;
        bool modified;
        int answer;   // to the save question
        bool stays;
    } rows[] = {
        {"unmodified", false, -1, false},
        {"modified, answered No", true, 3, false},
        {"modified, cancelled", true, 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
            useServers();
            KWorksheetWindow* w = newStartedWorksheet(app);
            ASSERT_NE(w, nullptr);
            WorksheetDocument* doc = w->document();
            doc->modified = r.modified;
            if (r.answer >= 0) addAnswer(r.answer);
            gui::test::clearRecords();
            CountingSink sink;
            doc->executeInput(&sink, KString("stopk();"));
            ASSERT_TRUE(waitFor([&] {
                const auto& all = KWorksheetWindow::all();
                const bool gone = std::find(all.begin(), all.end(), w) == all.end();
                return gone || (doc->stopped && doc->closeDeclined);
            }));
            const auto& all = KWorksheetWindow::all();
            EXPECT_EQ(std::find(all.begin(), all.end(), w) != all.end(), r.stays);
            EXPECT_EQ(countMessages("The worksheet "), r.modified ? 1 : 0);
            for (int i = 0; i < 10; ++i) app.frame->pollKernels();
            EXPECT_EQ(countMessages("The worksheet "), r.modified ? 1 : 0);
        });
    }
}

TEST_F(PollTest, AnErrorInAReplyHandlerIsReportedAndTheProgramGoesOn) {
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        useServers();
        KWorksheetWindow* w = newStartedWorksheet(app);
        ASSERT_NE(w, nullptr);
        gui::test::clearRecords();
        addAnswer(1);
        FailingSink failing;
        run(w->document(), failing, "prints(1);");
        char expected[256];
        formatOutOfMemoryText(expected, sizeof expected, "calculation");
        ASSERT_TRUE(waitFor([&] { return countMessages(expected) > 0; }));
        ASSERT_TRUE(waitFor([&] { return w->document()->queueIsEmpty(); }));
        CountingSink sink;
        run(w->document(), sink, "pr(3, 4);");
        EXPECT_EQ(sink.outputs, 2);
        EXPECT_EQ(sink.ends, 1);
    });
}

TEST_F(PollTest, InProcessEvaluationsAndReadlineWaitsNeverNestAPass) {
    // The program's own shared in-process kernel (the scripted one).
    inLoop({"wkelvo"}, [&](KWorksheetApp& app) {
        app.frame->frame_command(1101, 0);
        WorksheetDocument* doc = active()->document();
        ASSERT_TRUE(waitFor([doc] { return doc->evaluator()->session()->argumentsSent && doc->queueIsEmpty(); }));
        // An evaluation that polls (and so pumps events) for a while.
        CountingSink spin;
        run(doc, spin, "spin(200);");
        EXPECT_EQ(spin.ends, 1);
        // A read-line request: the wait pumps events until an answer comes.
        struct Answer : Timer {
            WorksheetDocument* doc;
            void Timeout() override {
                doc->readlineAnswer.assign("42");
                doc->waitingForReadline = false;
            }
        } answer;
        answer.doc = doc;
        answer.setTimeout(100);
        answer.start();
        CountingSink ask;
        run(doc, ask, "ask(READLINE, \"x\");");
        EXPECT_EQ(ask.ends, 1);
        EXPECT_EQ(app.frame->deepestPollNesting(), 1);
    });
}

#endif

}  // namespace
