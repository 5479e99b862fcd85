// The main frame's status bar: item widths from the sample texts, the free-memory item with
// and without a percentage, the kernel figures, the message that hides the items, and the
// kernel's STATUS reply reaching the bar of the active worksheet in the running program.
#include "app/KStatusBar.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/KMainFrame.h"
#include "app/KWorksheetWindow.h"
#include "app/KWorksheetApp.h"
#include "document/exec/OutputSink.h"
#include "document/exec/WorksheetDocument.h"
#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"
#include "tests/app/dialogs/program_child.h"
#include "util/messages.h"

namespace {

namespace fs = std::filesystem;

// A probe whose answers the test sets.
long long gFreeBytes = 0;
int gPercent = -1;
KStatusBar::MemoryProbe fixedProbe() {
    KStatusBar::MemoryProbe probe;
    probe.freeBytes = [] { return gFreeBytes; };
    probe.freeResourcesPercent = [] { return gPercent; };
    return probe;
}

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::ensureApplication();
        frame_ = std::make_unique<WorkWindow>(nullptr, WB_FRAME);
        frame_->setSizePixel(Size(900, 300));
    }
    std::string item(const KStatusBar& bar, uint16_t id) { return bar.getItemText(id).str(); }
    std::unique_ptr<WorkWindow> frame_;
};

TEST_F(StatusBarTest, ItemsAreAsWideAsTheirSamplesInOrderFromTheLeft) {
    KStatusBar bar(frame_.get(), fixedProbe());
    bar.setSizePixel(Size(900, bar.calcWindowSizePixel().height));
    ASSERT_EQ(bar.getItemCount(), 3);
    // No percentage on this platform: the short sample.
    EXPECT_STREQ(KStatusBar::availableSample(), "Available: 8888M");
    struct Row { uint16_t id; const char* sample; } rows[] = {
        {KStatusBar::kTimeItem, "Time:888888s"},
        {KStatusBar::kBytesItem, "Bytes:88888K"},
        {KStatusBar::kAvailableItem, "Available: 8888M"},
    };
    long previousRight = -1;
    for (const Row& r : rows) {
        Rectangle box = bar.getItemRect(r.id);
        EXPECT_EQ(box.right - box.left + 1, bar.getTextWidth(String(r.sample)) + 2) << r.sample;
        EXPECT_GT(box.left, previousRight) << r.sample;
        previousRight = box.right;
    }
    // The last item ends at the right of the bar.
    EXPECT_GT(previousRight, 900 - 20);
}

TEST_F(StatusBarTest, AvailableItemShowsFreeMemoryAndAPercentageOnlyWhenKnown) {
    struct Row {
        const char* name;
        long long bytes;
        int percent;
        std::string expected;
    } rows[] = {
        {"two gigabytes, no percentage", 2LL << 30, -1, std::string("Available: ") + formatByteCount(2.0 * (1LL << 30))},
        {"percentage of 5 in two digits", 3LL << 20, 5, std::string("Available: ") + formatByteCount(3.0 * (1 << 20)) + " / 05%"},
        {"percentage of 0", 4096, 0, std::string("Available: ") + formatByteCount(4096) + " / 00%"},
        {"percentage of 100", 4096, 100, std::string("Available: ") + formatByteCount(4096) + " / 100%"},
        {"unknown free memory shows no figure", -1, 5, ""},
    };
    KStatusBar bar(frame_.get(), fixedProbe());
    for (const Row& r : rows) {
        gFreeBytes = r.bytes;
        gPercent = r.percent;
        bar.refreshAvailable();
        EXPECT_EQ(item(bar, KStatusBar::kAvailableItem), r.expected) << r.name;
    }
    EXPECT_EQ(item(bar, KStatusBar::kAvailableItem).find('/'), std::string::npos);
}

TEST_F(StatusBarTest, SystemProbeNeverShowsAPercentageHere) {
    KStatusBar bar(frame_.get());
    const std::string text = item(bar, KStatusBar::kAvailableItem);
    EXPECT_EQ(text.rfind("Available: ", 0), 0u) << text;
    EXPECT_EQ(text.find('/'), std::string::npos) << text;
    EXPECT_EQ(text.find('%'), std::string::npos) << text;
}

TEST_F(StatusBarTest, IdleMomentsRefreshTheAvailableItem) {
    KStatusBar bar(frame_.get(), fixedProbe());
    gFreeBytes = 7LL << 20;
    gPercent = -1;
    const std::string expected = std::string("Available: ") + formatByteCount(7.0 * (1 << 20));
    // Idle handlers run in increasing priority number when the loop is about to block: one of
    // a later priority ends the loop after the bar's has run.  A periodic timer keeps the loop
    // waking up so that it blocks again.
    uint64_t after = Application::insertIdleHandler(Link([](void*) { Application::quit(); return 0L; }),
                                                    KStatusBar::kIdlePriority + 1);
    Timer kick;
    kick.setRepeat(true);
    kick.setTimeout(5);
    kick.start();
    Application::execute();
    Application::removeIdleHandler(after);
    EXPECT_EQ(item(bar, KStatusBar::kAvailableItem), expected);
}

TEST_F(StatusBarTest, KernelFiguresNeedBothTexts) {
    struct Row {
        const char* name;
        const char* bytes;
        const char* time;
        std::string timeItem, bytesItem;
    } rows[] = {
        {"both", "3.91K", "2.5", "Time:   2.5s", "Bytes: 3.91K"},
        {"six places exactly", "999.9K", "123456", "Time:123456s", "Bytes:999.9K"},
        {"bytes missing", nullptr, "2.5", "", ""},
        {"time missing", "3.91K", nullptr, "", ""},
        {"both missing", nullptr, nullptr, "", ""},
    };
    KStatusBar bar(frame_.get(), fixedProbe());
    for (const Row& r : rows) {
        show_kernel_status(&bar, "1.00K", "1.0");   // something to clear
        show_kernel_status(&bar, r.bytes, r.time);
        EXPECT_EQ(item(bar, KStatusBar::kTimeItem), r.timeItem) << r.name;
        EXPECT_EQ(item(bar, KStatusBar::kBytesItem), r.bytesItem) << r.name;
    }
    // A time text of any length is kept whole.
    const std::string longTime(400, '9');
    show_kernel_status(&bar, "1.00K", longTime.c_str());
    EXPECT_EQ(item(bar, KStatusBar::kTimeItem), "Time:" + longTime + "s");
    show_kernel_status(nullptr, "1.00K", "1.0");   // no bar: nothing happens
}

TEST_F(StatusBarTest, MessageHidesTheItemsAndNoMessageBringsThemBack) {
    KStatusBar bar(frame_.get(), fixedProbe());
    EXPECT_TRUE(bar.areItemsVisible());
    bar.setStatusMessage(String("Loading worksheet..."));
    EXPECT_FALSE(bar.areItemsVisible());
    EXPECT_EQ(bar.getText().str(), "Loading worksheet...");
    EXPECT_TRUE(bar.getItemRect(KStatusBar::kTimeItem).isEmpty());
    bar.setStatusMessage(String());
    EXPECT_TRUE(bar.areItemsVisible());
    EXPECT_EQ(bar.getText().str(), "");
    EXPECT_FALSE(bar.getItemRect(KStatusBar::kTimeItem).isEmpty());
    // A message of any length is kept whole.
    const std::string longMessage(3000, 'm');
    bar.setStatusMessage(String((longMessage + "...").c_str()));
    EXPECT_EQ(bar.getText().str(), longMessage + "...");
}

// ---- the program ------------------------------------------------------------------------------

#ifdef APP_TEST_SCRIPT_KERNEL
class Sink : public OutputSink {
public:
    void resetOutput() override {}
    bool output(Dag, int) override { return true; }
    bool newTextInputRegion() override { return false; }
};

void runStatement(WorksheetDocument* document, const char* text) {
    Sink sink;
    document->executeInput(&sink, KString(text));
    document->runExecutionToEnd();
}

// Runs the program with one worksheet, runs STATUS in it, opens a second worksheet and runs
// another STATUS in the first; prints what the bar showed at each step and exits.
[[noreturn]] void runProgramAndPrintTheBar() {
    runProgramAndReport([](KWorksheetApp& a, std::string& seen) {
        KStatusBar& bar = *a.frame->statusBar();
        KWorksheetWindow* first = dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet());
        runStatement(first->document(), "ask(STATUS, 0, 1000, 2.5);");
        seen += "seen [" + bar.getItemText(KStatusBar::kTimeItem).str() + "|" + bar.getItemText(KStatusBar::kBytesItem).str();
        a.frame->frame_command(1101, 0);   // New
        seen += dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet()) != first ? "|other active" : "|same active";
        runStatement(first->document(), "ask(STATUS, 0, 5000, 7.5);");
        seen += "|" + bar.getItemText(KStatusBar::kTimeItem).str() + "]\n";
    });
}
#endif

// The scripted kernel's STATUS of 1000 words and 2.5 seconds reaches the bar of the active
// worksheet; a STATUS for a worksheet that is not active leaves the bar as it was.  The
// program runs in a child process (the expression library comes up once per process).
TEST(StatusBarProgram, KernelStatusReachesTheBarOfTheActiveWorksheetOnly) {
#ifdef APP_TEST_SCRIPT_KERNEL
    fs::path dir = fs::temp_directory_path() / ("kwsbar_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    ::setenv("KELVO_KERNEL", APP_TEST_SCRIPT_KERNEL, 1);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(runProgramAndPrintTheBar(), ::testing::ExitedWithCode(0),
                "seen \\[Time:   2\\.5s\\|Bytes: 3\\.91K\\|other active\\|Time:   2\\.5s\\]");
    ::unsetenv("KELVO_KERNEL");
    fs::remove_all(dir);
#else
    GTEST_SKIP() << "built without the scripted kernel";
#endif
}

}  // namespace
