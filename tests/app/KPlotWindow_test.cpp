// The plot window on the offscreen platform, in a real MDI frame: the region wrapped in its own
// document without undo records, the view's replaced queries, the region following the
// window's size but not a minimised frame, and the "PlotBGColor" background.
#include "app/KPlotWindow.h"

#include <gtest/gtest.h>

#include <QImage>

#include <memory>
#include <string>

#include "app/KAppOptionsHost.h"
#include "app/KDocFrame.h"
#include "document/edit/EditRecord.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/PlotElements.h"
#include "document/exec/WorksheetDocument.h"
#include "document/views/WindowView.h"
#include "options/KOptions.h"
#include "platform/gui/base/Config.h"
#include "platform/gui/gui_test.h"
#include "tests/app/doc_window_support.h"

namespace {

using docwin_test::AppWindowScope;
using docwin_test::RecordingFrame;

class PlotWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::test::activate();
        savedHost_ = worksheetHost();
        worksheetHost().connectKernel = connectNoKernel;
        FontCache::setProgram(&fonts_);
        savedOptions_ = theOptions;
        useOptions("default");
    }
    void TearDown() override {
        if (frame) frame->closeFrame();
        theOptions = savedOptions_;
        FontCache::setProgram(nullptr);
        worksheetHost() = savedHost_;
        gui::test::deactivate();
    }
    // Options read from an ini whose "PlotBGColor" is the value.
    void useOptions(const char* plotBackground) {
        config_ = std::make_unique<Config>();
        config_->setGroup("Options");
        config_->writeKey("PlotBGColor", plotBackground);
        const char* words[] = {"wkelvo"};
        options_ = std::make_unique<KOptions>(1, words, host_, *config_);
        theOptions = options_.get();
    }
    // A plot window over a new 2-D region in a new MDI frame of the given frame size.
    void openWindow(Size frameSize = Size(360, 260)) {
        region = new PlotRegion2D(nullptr, nullptr);
        frame = KMDIFrame::create();
        frame->frameWindow()->setPosSizePixel(Point(10, 10), frameSize);
        frame->showFrame(true);
        window = new KPlotWindow(region, frame, nullptr, nullptr, 1021, 1000);
        window->open(nullptr);
    }
    Size outputSize() const { return window->getOutputSizePixel(); }
    // The window's back buffer after a full repaint.
    QImage painted() {
        window->invalidate();
        window->update();
        return window->backBuffer()->copy();
    }

    AppWindowScope app_;
    RecordingFrame recording_;
    FontCache fonts_;
    WorksheetHost savedHost_;
    KAppOptionsHost host_;
    std::unique_ptr<Config> config_;
    std::unique_ptr<KOptions> options_;
    KOptions* savedOptions_ = nullptr;
    KMDIFrame* frame = nullptr;
    KPlotWindow* window = nullptr;
    PlotRegion* region = nullptr;
};

TEST_F(PlotWindowTest, TheRegionIsWrappedInItsOwnDocumentWithoutUndoRecords) {
    openWindow();
    WorksheetDocument* doc = window->document();
    Element* root = doc->root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->elementKind(), KIND_SECTION);
    ASSERT_EQ(root->childCount(), 1);
    Element* container = root->childAt(0);
    EXPECT_EQ(container->elementKind(), KIND_CONTAINER);
    ASSERT_EQ(container->childCount(), 1);
    Element* paragraph = container->childAt(0);
    ASSERT_EQ(paragraph->childCount(), 1);
    EXPECT_EQ(paragraph->childAt(0), region);
    EXPECT_EQ(window->region(), region);
    EXPECT_EQ(region->document(), doc);
    KString text;
    EXPECT_FALSE(doc->undoHistory() && doc->undoHistory()->undoMenuText(text)) << "nothing to undo: " << text.text();
    EXPECT_FALSE(doc->modified);
    EXPECT_EQ(undoSuspensionCount(), 0);
    // The view's replaced query.
    EXPECT_TRUE(window->view()->reservedQuery1());
    EXPECT_FALSE(window->view()->reservedQuery2());
}

TEST_F(PlotWindowTest, TheRegionFollowsTheWindowSizeButNotAMinimisedFrame) {
    openWindow();
    EXPECT_EQ(region->plotWidth(), outputSize().width) << "fitted at construction";
    EXPECT_EQ(region->plotHeight(), outputSize().height);
    struct Row {
        const char* name;
        Size frameSize;
    } rows[] = {{"larger", Size(520, 400)}, {"smaller", Size(200, 150)}, {"wide and flat", Size(640, 90)}};
    for (const Row& r : rows) {
        frame->frameWindow()->setSizePixel(r.frameSize);
        const Size out = outputSize();
        EXPECT_GT(out.width, 0) << r.name;
        EXPECT_EQ(region->plotWidth(), out.width) << r.name;
        EXPECT_EQ(region->plotHeight(), out.height) << r.name;
        EXPECT_EQ(window->docWidth, out.width) << r.name;
        EXPECT_EQ(window->docHeight, out.height) << r.name;
        EXPECT_FALSE(window->isHorizontalBarShown() || window->isVerticalBarShown()) << r.name;
    }
    const int width = region->plotWidth(), height = region->plotHeight();
    frame->minimize();
    ASSERT_TRUE(frame->isMinimized());
    window->setSizePixel(Size(40, 30));   // what the minimised frame does to its child
    EXPECT_EQ(region->plotWidth(), width);
    EXPECT_EQ(region->plotHeight(), height);
    frame->restore();
    frame->frameWindow()->setSizePixel(Size(300, 220));
    EXPECT_EQ(region->plotWidth(), outputSize().width) << "follows again once restored";
}

TEST_F(PlotWindowTest, PlotBackgroundColour) {
    // The worksheet window's background for comparison.
    docwin_test::HoldingAdaptor holding;
    QRgb worksheetPaper = 0;
    {
        KWorksheetWindow sheet(&holding, std::make_unique<WorksheetDocument>(nullptr), nullptr);
        const Color& c = sheet.getBackgroundBrush().color;
        worksheetPaper = qRgb(c.red8(), c.green8(), c.blue8());
    }
    openWindow();
    struct Row {
        const char* name;
        const char* value;
        QRgb expected;
    } rows[] = {{"default", "default", worksheetPaper}, {"blue", "0 0 255", qRgb(0, 0, 255)}};
    for (const Row& r : rows) {
        frame->closeFrame();
        useOptions(r.value);
        openWindow();
        const QImage image = painted();
        // The middle of the window, away from the brackets: nothing is drawn there.
        const QRgb pixel = image.pixel(outputSize().width / 2, outputSize().height / 2) & 0xFFFFFF;
        EXPECT_EQ(pixel, r.expected & 0xFFFFFF) << r.name << ": " << std::hex << pixel;
    }
}

}  // namespace
