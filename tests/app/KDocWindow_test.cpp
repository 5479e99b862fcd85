// Document windows and their frame adaptor base with a recording main frame: activation, the
// option check marks, the context bar, the frame's defaults after the last window.
#include "app/KDocWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/KAppOptionsHost.h"
#include "options/KOptions.h"
#include "platform/gui/Application.h"
#include "platform/gui/Menu.h"
#include "platform/gui/base/Config.h"
#include "platform/gui/gui_test.h"
#include "tests/app/doc_window_support.h"

namespace {

using docwin_test::AppWindowScope;
using docwin_test::HoldingAdaptor;
using docwin_test::RecordingFrame;

class DocWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::ensureApplication();
        gui::test::activate();
        const char* words[] = {"wkelvo"};
        options_ = std::make_unique<KOptions>(1, words, host_, config_);
        saved_ = theOptions;
        theOptions = options_.get();
        balloons_ = Help::isBalloonsEnabled();
    }
    void TearDown() override {
        theOptions = saved_;
        Help::enableBalloons(balloons_);
    }

    AppWindowScope app_;
    RecordingFrame frame_;
    KAppOptionsHost host_;
    Config config_;
    std::unique_ptr<KOptions> options_;
    KOptions* saved_ = nullptr;
    bool balloons_ = false;
};

TEST_F(DocWindowTest, ConstructionTellsTheAdaptorAndStartsWithBarIdsOne) {
    HoldingAdaptor adaptor;
    auto* w = new KDocWindow(&adaptor);
    EXPECT_EQ(adaptor.heldCalls, 1);
    EXPECT_EQ(adaptor.heldWindow(), w);
    EXPECT_EQ(w->getParent(), &app_.window());
    EXPECT_EQ(w->contextBarIndex, 1);
    EXPECT_EQ(w->toolBarId, 1);
    EXPECT_EQ(w->menuBarId, 1);
    EXPECT_FALSE(w->command(1101, 0));
    Size got = w->setSizePixelOut(Size(123, 45));
    EXPECT_EQ(got, Size(123, 45));
    EXPECT_EQ(w->getSizePixel(), Size(123, 45));
    // closeQuery deletes the window.
    int before = KDocWindow::liveCount();
    EXPECT_TRUE(w->closeQuery());
    EXPECT_EQ(KDocWindow::liveCount(), before - 1);
}

struct OptionMarks {
    const char* name;
    bool saveOptions, toolBar, statusBar, contextBar, balloons;
};

TEST_F(DocWindowTest, ActivationShowsTheWindowsBarsAndMarksTheOptions) {
    const OptionMarks rows[] = {
        {"defaults", true, true, true, true, false},
        {"all toggled", false, false, false, false, true},
        {"mixed", true, false, true, false, true},
        {"mixed the other way", false, true, false, true, false},
    };
    HoldingAdaptor adaptor;
    auto w = std::make_unique<KDocWindow>(&adaptor);
    w->menuBarId = 1030;
    w->toolBarId = 1005;
    for (const OptionMarks& row : rows) {
        SCOPED_TRACE(row.name);
        options_->saveOptions = row.saveOptions;
        options_->showToolBar = row.toolBar;
        options_->showStatusBar = row.statusBar;
        options_->showContextBar = row.contextBar;
        options_->balloonHelp = row.balloons;
        Help::enableBalloons(!row.balloons);
        frame_.calls.clear();
        // The adaptor forwards the frame's activation.
        adaptor.activateHeld();
        EXPECT_EQ(frame_.calls, (std::vector<std::string>{"menubar 1030", "toolbar 1005"}));
        EXPECT_EQ(frame_.fileMenu.isItemChecked(KDocWindow::kAutoSaveItem), row.saveOptions);
        EXPECT_EQ(frame_.viewMenu.isItemChecked(KDocWindow::kToolBarItem), row.toolBar);
        EXPECT_EQ(frame_.viewMenu.isItemChecked(KDocWindow::kStatusLineItem), row.statusBar);
        EXPECT_EQ(frame_.viewMenu.isItemChecked(KDocWindow::kContextBarItem), row.contextBar);
        EXPECT_EQ(frame_.helpMenu.isItemChecked(KDocWindow::kBalloonHelpItem), row.balloons);
        EXPECT_EQ(Help::isBalloonsEnabled(), row.balloons);
    }
}

TEST_F(DocWindowTest, MenuBarAndContextBarReachTheFrameOnlyForTheActiveWorksheetWindow) {
    HoldingAdaptor a1, a2;
    auto one = std::make_unique<KDocWindow>(&a1);
    auto two = std::make_unique<KDocWindow>(&a2);
    frame_.active = one.get();
    int owner = 0;

    two->setMenuBarId(1040);
    two->setContextBarFor(5, &owner, 7);
    EXPECT_EQ(two->menuBarId, 1040);
    EXPECT_TRUE(frame_.calls.empty());

    one->setMenuBarId(1050);
    one->setContextBarFor(5, &owner, 7);
    EXPECT_EQ(frame_.calls, (std::vector<std::string>{"menubar 1050", "contextbar 5"}));
    EXPECT_EQ(frame_.contextOwner, &owner);

    // setContextBar only stores.
    frame_.calls.clear();
    one->setContextBar(3, 1007);
    EXPECT_EQ(one->contextBarIndex, 3);
    EXPECT_EQ(one->toolBarId, 1007);
    EXPECT_TRUE(frame_.calls.empty());
    frame_.active = nullptr;
}

TEST_F(DocWindowTest, TheLastWindowGoneRestoresTheFramesDefaults) {
    HoldingAdaptor a1, a2;
    auto* one = new KDocWindow(&a1);
    auto* two = new KDocWindow(&a2);
    ASSERT_EQ(KDocWindow::liveCount(), 2);
    frame_.menuBar = 1030;
    frame_.calls.clear();

    delete one;
    EXPECT_EQ(frame_.calls, (std::vector<std::string>{"contextbar -2"}));
    EXPECT_EQ(frame_.menuBar, 1030);

    frame_.calls.clear();
    two->show();
    delete two;
    EXPECT_EQ(frame_.calls,
              (std::vector<std::string>{"contextbar -2", "menubar 1020", "toolbar 1000", "contextbar 0"}));
    EXPECT_EQ(KDocWindow::liveCount(), 0);
}

TEST_F(DocWindowTest, WithoutAFrameNothingIsSwitched) {
    KMainFrameInterface::setCurrent(nullptr);
    {
        HoldingAdaptor adaptor;
        KDocWindow w(&adaptor);
        w.activate();
        w.setMenuBarId(1030);
        w.setContextBarFor(0, nullptr, 0);
    }
    EXPECT_TRUE(frame_.calls.empty());
    KMainFrameInterface::setCurrent(&frame_);
}

// ---- the adaptor base ----

TEST_F(DocWindowTest, AdaptorWithoutAWindowDoesNothing) {
    HoldingAdaptor adaptor;
    adaptor.show(true);
    adaptor.setPos(10, 20);
    adaptor.setSize(100, 50);
    adaptor.grabFocus();
    adaptor.activateHeld();
    adaptor.reservedOperation();
    int32_t x = -1, y = -1, wd = -1, ht = -1;
    adaptor.getPos(x, y);
    adaptor.getSize(wd, ht);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(wd, 0);
    EXPECT_EQ(ht, 0);
    EXPECT_FALSE(adaptor.hasFocus());
    EXPECT_TRUE(adaptor.closeFrame());
    EXPECT_TRUE(frame_.calls.empty());
}

TEST_F(DocWindowTest, AdaptorPlacesShowsAndSizesItsWindow) {
    HoldingAdaptor adaptor;
    KDocWindow w(&adaptor);
    adaptor.setPos(30, 40);
    adaptor.setSize(200, 150);
    adaptor.show(true);
    int32_t x = 0, y = 0, wd = 0, ht = 0;
    adaptor.getPos(x, y);
    adaptor.getSize(wd, ht);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 40);
    EXPECT_EQ(wd, 200);
    EXPECT_EQ(ht, 150);
    EXPECT_EQ(w.getPosPixel(), Point(30, 40));
    adaptor.show(false);
    EXPECT_FALSE(w.isVisible());
    adaptor.setHeldWindow(nullptr);
}

}  // namespace
