// Scrolled document windows: the layout of bars, corner box and document, scrolling by pixels
// and by repainting, keeping rectangles in view, and the bars' events.
#include "app/KScrolledDocWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/KScrollBar.h"
#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"
#include "tests/app/doc_window_support.h"

namespace {

using docwin_test::AppWindowScope;
using docwin_test::canvasImage;
using docwin_test::freshCanvasImage;
using docwin_test::HoldingAdaptor;
using docwin_test::LinesDocument;
using docwin_test::LinesWindow;
using docwin_test::RecordingFrame;

// The canvas as scrolling left it equals a fresh paint of the whole window.
void expectCanvasFresh(LinesWindow& w) {
    QImage left = canvasImage(w);
    QImage fresh = freshCanvasImage(w);
    EXPECT_EQ(left, fresh);
}

constexpr int kCentre = KScrolledDocWindow::CREATE_CENTRE_H | KScrolledDocWindow::CREATE_CENTRE_V;

class ScrolledTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::ensureApplication();
        gui::test::activate();
    }

    // A shown window of the given output size over `doc`.
    std::unique_ptr<LinesWindow> open(LinesDocument& doc, Size size, int createFlags = 0) {
        auto w = std::make_unique<LinesWindow>(&adaptor_, createFlags, &doc);
        w->setSizePixel(size);
        w->show();
        w->update();
        return w;
    }

    AppWindowScope app_;
    RecordingFrame frame_;
    HoldingAdaptor adaptor_;
};

TEST_F(ScrolledTest, ConstructionTakesFlagsAndBarSizes) {
    struct Row {
        const char* name;
        int create;
        uint8_t flags;
    };
    const Row rows[] = {
        {"none", 0, 0},
        {"live", 1, KScrolledDocWindow::FLAG_LIVE},
        {"centre vertically", 2, KScrolledDocWindow::FLAG_CENTRE_V},
        {"centre horizontally", 4, KScrolledDocWindow::FLAG_CENTRE_H},
        {"always", 8, KScrolledDocWindow::FLAG_BARS_ALWAYS},
        {"never", 16, KScrolledDocWindow::FLAG_BARS_NEVER},
        {"all", 31, 0x3E},
    };
    LinesDocument doc(3, 20, 100);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LinesWindow w(&adaptor_, row.create, &doc);
        EXPECT_EQ(w.flags, row.flags);
        EXPECT_EQ(w.getStyle(), WB_SCROLLED_DOC);
        EXPECT_GT(w.vBarWidth, 0);
        EXPECT_GT(w.hBarHeight, 0);
        EXPECT_EQ(w.vBarWidth, w.verticalBar().getSizePixel().width);
        EXPECT_EQ(w.hBarHeight, w.horizontalBar().getSizePixel().height);
        EXPECT_EQ(w.hLineStep, w.vBarWidth);
        EXPECT_EQ(w.vLineStep, w.hBarHeight);
        EXPECT_EQ(w.cornerBox().getBackgroundBrush(), Brush(Color(KScrolledDocWindow::kCornerColour), BRUSH_SOLID));
    }
}

// Sizes are given in bar thicknesses from the window's own bars: `b` is the vertical bar's
// width, `h` the horizontal bar's height.
struct LayoutCase {
    const char* name;
    int docW, docH;              // pixels, plus the bar terms below
    int docWBars, docHBars;      // how many halves of a bar thickness to add (may be negative)
    int winW, winH;
    int create;
    int mode;                    // setScrollBarMode, or -1 to leave it
    bool hBar, vBar;
};

TEST_F(ScrolledTest, LayoutDecidesBarsCanvasAndPlace) {
    const LayoutCase rows[] = {
        {"small document, centred, no bars", 200, 100, 0, 0, 400, 300, kCentre, -1, false, false},
        {"small document at the start", 200, 100, 0, 0, 400, 300, 0, -1, false, false},
        {"too wide: horizontal bar", 500, 100, 0, 0, 400, 300, 0, -1, true, false},
        {"too high: vertical bar", 100, 500, 0, 0, 400, 300, 0, -1, false, true},
        // The horizontal bar takes height the document needed: the vertical bar follows.
        {"horizontal bar makes the vertical necessary", 500, 300, 0, -1, 400, 300, 0, -1, true, true},
        {"vertical bar makes the horizontal necessary", 400, 500, -1, 0, 400, 300, 0, -1, true, true},
        {"always: both bars for a small document", 100, 100, 0, 0, 400, 300, 0, KScrolledDocWindow::MODE_ALWAYS,
         true, true},
        {"never: no bars for a large document", 900, 900, 0, 0, 400, 300, 0, KScrolledDocWindow::MODE_NEVER, false,
         false},
        {"always from the constructor", 100, 100, 0, 0, 400, 300, KScrolledDocWindow::CREATE_BARS_ALWAYS, -1, true,
         true},
    };
    for (const LayoutCase& row : rows) {
        SCOPED_TRACE(row.name);
        LinesDocument doc(1, 1, 1);
        auto w = open(doc, Size(row.winW, row.winH), row.create);
        if (row.mode >= 0) w->setScrollBarMode(row.mode);
        int dw = row.docW + row.docWBars * w->vBarWidth / 2;
        int dh = row.docH + row.docHBars * w->hBarHeight / 2;
        doc = LinesDocument(1, dh, dw);
        w->setDocumentSize(dw, dh);

        EXPECT_EQ(w->isHorizontalBarShown(), row.hBar);
        EXPECT_EQ(w->isVerticalBarShown(), row.vBar);
        EXPECT_EQ(w->horizontalBar().isVisible(), row.hBar);
        EXPECT_EQ(w->verticalBar().isVisible(), row.vBar);
        EXPECT_EQ(w->cornerBox().isVisible(), row.hBar && row.vBar);
        Size canvas(row.winW - (row.vBar ? w->vBarWidth : 0), row.winH - (row.hBar ? w->hBarHeight : 0));
        EXPECT_EQ(w->canvasSize(), canvas);
        if (row.hBar) {
            EXPECT_EQ(w->horizontalBar().getPosPixel(), Point(0, canvas.height));
            EXPECT_EQ(w->horizontalBar().getSizePixel(), Size(canvas.width, w->hBarHeight));
        }
        if (row.vBar) {
            EXPECT_EQ(w->verticalBar().getPosPixel(), Point(canvas.width, 0));
            EXPECT_EQ(w->verticalBar().getSizePixel(), Size(w->vBarWidth, canvas.height));
        }
        if (row.hBar && row.vBar) {
            EXPECT_EQ(w->cornerBox().getPosPixel(), Point(canvas.width, canvas.height));
            EXPECT_EQ(w->cornerBox().getSizePixel(), Size(w->vBarWidth, w->hBarHeight));
        }
        // Centred without a bar, else at the start.
        int x = (row.create & KScrolledDocWindow::CREATE_CENTRE_H) && !row.hBar ? (canvas.width - dw) / 2 : 0;
        int y = (row.create & KScrolledDocWindow::CREATE_CENTRE_V) && !row.vBar ? (canvas.height - dh) / 2 : 0;
        EXPECT_EQ(w->scrollX, x);
        EXPECT_EQ(w->scrollY, y);
    }
}

TEST_F(ScrolledTest, ABarThatAppearsStartsAtTheDocumentsStart) {
    LinesDocument doc(5, 20, 200);
    auto w = open(doc, Size(400, 300), kCentre);
    ASSERT_EQ(w->scrollX, 100);
    ASSERT_EQ(w->scrollY, 100);
    // The document grows taller than the window: the vertical bar appears at 0, the width
    // stays centred.
    doc = LinesDocument(50, 20, 200);
    w->setDocumentSize(doc.width, doc.height());
    EXPECT_TRUE(w->isVerticalBarShown());
    EXPECT_EQ(w->scrollY, 0);
    EXPECT_EQ(w->scrollX, (w->canvasSize().width - 200) / 2);
    EXPECT_EQ(w->verticalBar().getThumbPos(), 0);
    // Scrolled down and then made smaller than the window: centred again.
    w->scrollBy(0, 300);
    ASSERT_EQ(w->scrollY, -300);
    doc = LinesDocument(5, 20, 200);
    w->setDocumentSize(doc.width, doc.height());
    EXPECT_FALSE(w->isVerticalBarShown());
    EXPECT_EQ(w->scrollY, 100);
    expectCanvasFresh(*w);
}

TEST_F(ScrolledTest, ScrollByStaysInsideTheDocumentAndMovesOnlyWhatWasAsked) {
    LinesDocument doc(100, 20, 1000);   // 1000 x 2000
    auto w = open(doc, Size(400, 300));
    const Size c = w->canvasSize();
    struct Row {
        const char* name;
        long dx, dy;
        int32_t x, y;   // offsets after the scroll
    };
    const Row rows[] = {
        {"before the start", -50, -50, 0, 0},
        {"down", 0, 120, 0, -120},
        {"right", 70, 0, -70, -120},
        {"past the bottom", 0, 100000, -70, c.height - 2000},
        {"past the right", 100000, 0, c.width - 1000, c.height - 2000},
        {"back to the top-left", -1000000, -1000000, 0, 0},
        {"nothing", 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w->scrollBy(row.dx, row.dy);
        EXPECT_EQ(w->scrollX, row.x);
        EXPECT_EQ(w->scrollY, row.y);
        EXPECT_EQ(w->horizontalBar().getThumbPos() * w->horizontalBar().scale, -row.x);
        EXPECT_EQ(w->verticalBar().getThumbPos() * w->verticalBar().scale, -row.y);
    }
}

TEST_F(ScrolledTest, SmallScrollsMovePixelsLargeOnesRepaint) {
    LinesDocument doc(5000, 20, 1000);   // 100,000 pixels high
    auto w = open(doc, Size(400, 300));
    const Size c = w->canvasSize();
    // A small scroll paints only the uncovered strip.
    w->painted.clear();
    w->beforeCalls = w->afterCalls = w->scrolledCalls = 0;
    w->scrollBy(0, 25);
    ASSERT_EQ(w->painted.size(), 1u);
    EXPECT_EQ(w->painted[0].getHeight(), 25);
    EXPECT_EQ(w->painted[0].bottom, c.height - 1);
    EXPECT_EQ(w->beforeCalls, 1);
    EXPECT_EQ(w->afterCalls, 1);
    EXPECT_EQ(w->scrolledCalls, 1);
    EXPECT_EQ(w->lastScrolledY, -25);
    // More than 32766 pixels: the whole window is painted again.
    w->painted.clear();
    w->scrollBy(0, 40000);
    EXPECT_EQ(w->scrollY, -40025);
    ASSERT_FALSE(w->painted.empty());
    EXPECT_TRUE(w->painted[0].isInside(Point(0, 0)));
    EXPECT_TRUE(w->painted[0].isInside(Point(c.width - 1, c.height - 1)));
    EXPECT_EQ(w->verticalBar().scale, 4);
    expectCanvasFresh(*w);
}

TEST_F(ScrolledTest, AfterScrollsTheCanvasEqualsAFreshPaint) {
    LinesDocument doc(60, 23, 900);
    auto w = open(doc, Size(400, 300));
    const struct {
        long dx, dy;
    } steps[] = {{0, 37}, {23, 0}, {-11, -5}, {41, 19}, {0, 299}, {-400, 0}};
    for (const auto& s : steps) {
        w->scrollBy(s.dx, s.dy);
        expectCanvasFresh(*w);
    }
}

TEST_F(ScrolledTest, ResizingTheDocumentAtABandMovesWhatLiesBelow) {
    LinesDocument doc(60, 20, 900);
    auto w = open(doc, Size(400, 300));
    w->scrollBy(13, 55);
    struct Row {
        const char* name;
        int line;     // the line that changes height
        int delta;
    };
    const Row rows[] = {
        {"grow inside the canvas", 5, 30},
        {"shrink inside the canvas", 6, -15},
        {"grow above the canvas", 1, 12},
        {"shrink above the canvas", 0, -10},
        {"grow below the canvas", 40, 25},
        {"grow by more than the canvas", 4, 400},
        {"shrink by more than the canvas", 4, -400},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // The change begins where the shorter of the old and new line ends.
        int old = doc.heights[row.line];
        doc.heights[row.line] += row.delta;
        int at = doc.lineTop(row.line) + std::min(old, doc.heights[row.line]);
        w->resizeDocumentAt(0, row.delta, ElementPoint{0, at});
        EXPECT_EQ(w->docHeight, doc.height());
        w->update();
        expectCanvasFresh(*w);
    }
}

TEST_F(ScrolledTest, ScrollToBringsAPointToTheTopOrTheBottom) {
    LinesDocument doc(100, 20, 1000);
    auto w = open(doc, Size(400, 300));
    const int ch = w->canvasSize().height;
    w->scrollTo(ElementPoint{30, 500}, false);
    EXPECT_EQ(w->scrollX, -30);
    EXPECT_EQ(w->scrollY, -500);
    w->scrollTo(ElementPoint{0, 900}, true);
    EXPECT_EQ(w->scrollX, 0);
    EXPECT_EQ(w->scrollY + 900, ch);
}

TEST_F(ScrolledTest, ScrollIntoView) {
    LinesDocument doc(100, 20, 1000);   // 1000 x 2000
    auto w = open(doc, Size(400, 300));
    const Size c = w->canvasSize();

    // Visible: nothing scrolls.
    w->beforeCalls = 0;
    EXPECT_TRUE(w->isRectVisible(ElementRect{10, 10, 50, 20}));
    EXPECT_TRUE(w->scrollIntoView(ElementRect{10, 10, 50, 20}, false));
    EXPECT_EQ(w->scrollY, 0);
    EXPECT_EQ(w->beforeCalls, 0);

    // Below the canvas: its bottom edge comes to the canvas's bottom edge.
    ElementRect below{10, c.height + 100, 50, 30};
    EXPECT_FALSE(w->isRectVisible(below));
    EXPECT_TRUE(w->scrollIntoView(below, false));
    EXPECT_EQ(below.y + below.height - 1 + (w->scrollY - 0), c.height - 1);
    EXPECT_EQ(w->scrollX, 0);

    // Above the canvas: its top comes to the canvas's top.
    int before = w->scrollY;
    EXPECT_TRUE(w->scrollIntoView(ElementRect{10, -40, 50, 20}, false));
    EXPECT_EQ(w->scrollY, before + 40);

    // Wholly beyond the document's end: without adjust nothing of it is in the document and
    // nothing scrolls; with adjust it is moved inside, so the document's end shows.
    w->scrollTo(ElementPoint{0, 0}, false);
    ElementRect past{10, 2000 + 50, 50, 30};
    EXPECT_TRUE(w->scrollIntoView(past, false));
    EXPECT_EQ(w->scrollY, 0);
    EXPECT_TRUE(w->scrollIntoView(past, true));
    EXPECT_EQ(w->scrollY, c.height - 2000);

    // Taller than the canvas: scrolled as far as it goes, answered false.
    w->scrollTo(ElementPoint{0, 0}, false);
    EXPECT_FALSE(w->scrollIntoView(ElementRect{0, 400, 50, c.height + 10}, false));
}

TEST_F(ScrolledTest, BarEventsWithAndWithoutLiveScrolling) {
    for (bool live : {false, true}) {
        SCOPED_TRACE(live ? "live" : "on release");
        LinesDocument doc(100, 20, 1000);
        auto w = open(doc, Size(400, 300), live ? KScrolledDocWindow::CREATE_LIVE : 0);
        w->beforeCalls = w->scrolledCalls = 0;
        // Two presses of the lower arrow, two of the right track.
        w->verticalBar().doScroll(SCROLL_LINEDOWN);
        w->verticalBar().doScroll(SCROLL_LINEDOWN);
        EXPECT_EQ(w->scrollY, -2 * w->vLineStep);
        EXPECT_EQ(w->beforeCalls, 2);
        EXPECT_EQ(w->scrolledCalls, 2);
        EXPECT_EQ(w->lastScrolledY, -w->vLineStep);
        EXPECT_EQ(w->flags & KScrolledDocWindow::FLAG_SCROLLING, 0);
        w->horizontalBar().doScroll(SCROLL_PAGEDOWN);
        EXPECT_EQ(w->scrollX, -w->canvasSize().width);
        EXPECT_EQ(w->lastScrolledX, -w->canvasSize().width);
        EXPECT_EQ(w->scrollY, -2 * w->vLineStep);
        expectCanvasFresh(*w);
    }
}

}  // namespace
