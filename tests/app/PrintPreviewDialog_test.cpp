// The Print Preview dialog over a worksheet window's print view: the zoom steps and the
// buttons' states as tables of button sequences, the fitted start ratios, page travel in one-
// and two-page view, the page windows drawing the worksheet's pages with their footers, Print
// from the dialog, and the window's Print Preview command running the dialog under the test
// script.  The screen is fixed at 1000 x 800, so the dialog is 900 x 720.
#include "app/PrintPreviewDialog.h"

#include <QAbstractButton>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/PrintView.h"
#include "document/views/PageList.h"
#include "platform/gui/PreviewPage.h"
#include "platform/gui/Printer.h"
#include "platform/gui/ScrollBar.h"
#include "tests/app/worksheet_window_fixture.h"

namespace {

using worksheet_window_test::WorksheetWindowFixture;
using D = PrintPreviewDialog;

const Size kScreen(1000, 800);

// A worksheet of n groups of one input each.
std::unique_ptr<WorksheetDocument> groups(int n) {
    std::vector<std::string> texts;
    for (int i = 0; i < n; ++i) texts.push_back("line" + std::to_string(i) + ":=" + std::to_string(i) + "+x^2");
    std::vector<const char*> pointers;
    for (const std::string& t : texts) pointers.push_back(t.c_str());
    return WorksheetWindowFixture::worksheetOf(pointers, "preview.kws");
}

// Pixels of a page window's back buffer that are not white, in rows top..bottom, leaving out
// the paper's frame (within 3 pixels of the window's edges).
long inkInRows(PreviewPage& page, long top, long bottom) {
    constexpr int kFrame = 3;
    const QImage image = gui::test::grabBackBuffer(page);
    long ink = 0;
    for (long y = std::max<long>(kFrame, top); y <= std::min<long>(bottom, image.height() - 1 - kFrame); ++y)
        for (int x = kFrame; x < image.width() - kFrame; ++x)
            ink += (image.pixel(x, static_cast<int>(y)) & 0xffffffu) != 0xffffffu;
    return ink;
}

class PrintPreviewTest : public WorksheetWindowFixture {
protected:
    void SetUp() override {
        WorksheetWindowFixture::SetUp();
        gui::test::fixScreenSize(kScreen);
        printer_ = std::make_unique<Printer>(String(Printer::kPdfName));
        printer_->setRecordPages(true);
        PrintView::setProgramPrinter(printer_.get());
    }
    void TearDown() override {
        dialog_.reset();
        view_.reset();
        PrintView::setProgramPrinter(nullptr);
        gui::test::unfixScreenSize();
        EXPECT_TRUE(gui::test::takeFailures().empty());
        WorksheetWindowFixture::TearDown();
        printer_.reset();
    }
    // The dialog over a print view of the window's document, shown (not run).
    PrintPreviewDialog& open(std::unique_ptr<WorksheetDocument> document) {
        dialog_.reset();
        view_.reset();
        reopen(std::move(document));
        view_ = PrintView::create(window->document(), window, true);
        view_->formatForPrinter();
        dialog_ = std::make_unique<PrintPreviewDialog>(window, printer_->getJobSetup(), *view_);
        dialog_->show();
        return *dialog_;
    }
    // A click as the user makes it: nothing happens on a disabled button.
    void click(int id) {
        QWidget* w = dialog_->findControl(id == D::kDone ? "CancelButton" : "PushButton", id);
        ASSERT_NE(w, nullptr) << id;
        static_cast<QAbstractButton*>(w)->click();
    }
    bool enabled(int id) const { return dialog_->findControl("PushButton", id)->isEnabled(); }

    std::unique_ptr<Printer> printer_;
    std::unique_ptr<PrintView> view_;
    std::unique_ptr<PrintPreviewDialog> dialog_;
};

// Expected zooms that depend on the fitted start ratios.
enum class Zoom { Whole, InStart, OutStart, Given };

struct ButtonRow {
    const char* name;
    std::vector<int> clicks;
    Zoom zoomKind;
    Fraction zoom;      // for Zoom::Given
    // Enabled: Zoom In, Zoom Out, 100%, Sngl. Page, Dbl. Page.
    bool zoomIn, zoomOut, actual, single, dual;
    int page;
    int bars;           // -1 not checked, 0 both hidden, 2 both shown
};

TEST_F(PrintPreviewTest, ButtonSequencesSetTheZoomAndTheButtons) {
    const std::vector<int> toLimit = {D::kActualSize, D::kZoomIn, D::kZoomIn, D::kZoomIn, D::kZoomIn, D::kZoomIn, D::kZoomIn};
    auto with = [](std::vector<int> a, std::initializer_list<int> more) {
        a.insert(a.end(), more);
        return a;
    };
    const ButtonRow rows[] = {
        {"opens at the whole page", {}, Zoom::Whole, {}, true, true, true, false, true, 1, 0},
        {"the first Zoom In takes the fitted start", {D::kZoomIn}, Zoom::InStart, {}, true, true, true, true, true, 1, -1},
        {"the first Zoom Out takes the fitted start", {D::kZoomOut}, Zoom::OutStart, {}, true, true, true, true, true, 1, -1},
        {"100%", {D::kActualSize}, Zoom::Given, {1, 1}, true, true, false, true, true, 1, -1},
        {"Zoom In from 100% by 3/2", {D::kActualSize, D::kZoomIn}, Zoom::Given, {3, 2}, true, true, true, true, true, 1, -1},
        {"Zoom Out from 100% by 2/3", {D::kActualSize, D::kZoomOut}, Zoom::Given, {2, 3}, true, true, true, true, true, 1, -1},
        // 729/64 is 11.4; a further 3/2 would be 17.1, past 16/1: the button goes grey first.
        {"Zoom In is disabled before the step past 16/1", toLimit, Zoom::Given, {729, 64}, false, true, true, true, true, 1, 2},
        {"a disabled Zoom In does nothing", with(toLimit, {D::kZoomIn}), Zoom::Given, {729, 64}, false, true, true, true, true, 1, 2},
        {"Zoom Out enables Zoom In again", with(toLimit, {D::kZoomOut}), Zoom::Given, {243, 32}, true, true, true, true, true, 1, -1},
        // 64/729 is 0.088; a further 2/3 would be 0.059, below 1/16.
        {"Zoom Out is disabled before the step below 1/16",
         {D::kActualSize, D::kZoomOut, D::kZoomOut, D::kZoomOut, D::kZoomOut, D::kZoomOut, D::kZoomOut, D::kZoomOut},
         Zoom::Given, {64, 729}, true, false, true, true, true, 1, -1},
        {"Sngl. Page goes back to the whole page", {D::kActualSize, D::kSinglePage}, Zoom::Whole, {}, true, true, true, false, true, 1, 0},
        {"Dbl. Page shows whole pages", with(toLimit, {D::kDoublePage}), Zoom::Whole, {}, true, true, true, true, false, 1, 0},
        {"Zoom In from two pages takes the start", {D::kDoublePage, D::kZoomIn}, Zoom::InStart, {}, true, true, true, true, true, 1, -1},
        {"Next Page", {D::kNextPage}, Zoom::Whole, {}, true, true, true, false, true, 2, 0},
        {"Prev. Page after Next Page", {D::kNextPage, D::kPreviousPage}, Zoom::Whole, {}, true, true, true, false, true, 1, 0},
        {"a disabled Prev. Page does nothing", {D::kPreviousPage}, Zoom::Whole, {}, true, true, true, false, true, 1, 0},
    };
    for (const ButtonRow& r : rows) {
        SCOPED_TRACE(r.name);
        PrintPreviewDialog& d = open(groups(200));
        const int count = d.pageCount();
        ASSERT_GE(count, 3) << "200 groups fill more than two pages";
        for (int id : r.clicks) click(id);
        const Fraction want = r.zoomKind == Zoom::Whole     ? D::kWholePage
                              : r.zoomKind == Zoom::InStart ? D::zoomInStart()
                              : r.zoomKind == Zoom::OutStart ? D::zoomOutStart()
                                                             : r.zoom;
        EXPECT_EQ(d.zoom(), want) << d.zoom().num << "/" << d.zoom().den;
        EXPECT_EQ(d.firstPageWindow().getZoom(), want);
        const bool actual = r.zoomKind == Zoom::InStart && D::zoomInStart() == Fraction(1, 1) ? false : r.actual;
        EXPECT_EQ(enabled(D::kZoomIn), r.zoomIn);
        EXPECT_EQ(enabled(D::kZoomOut), r.zoomOut);
        EXPECT_EQ(enabled(D::kActualSize), actual);
        EXPECT_EQ(enabled(D::kSinglePage), r.single);
        EXPECT_EQ(enabled(D::kDoublePage), r.dual);
        EXPECT_EQ(d.currentPage(), r.page);
        EXPECT_EQ(d.firstPageWindow().getPageNumber(), r.page);
        EXPECT_EQ(enabled(D::kPreviousPage), r.page > 1);
        EXPECT_EQ(enabled(D::kNextPage), r.page < count);
        if (r.bars >= 0) {
            EXPECT_EQ(d.verticalBar().isVisible(), r.bars == 2);
            EXPECT_EQ(d.horizontalBar().isVisible(), r.bars == 2);
        }
    }
}

TEST_F(PrintPreviewTest, ZoomStartsAreFittedOnceToTheFirstArea) {
    PrintPreviewDialog& d = open(groups(3));
    ASSERT_TRUE(D::zoomStartsFitted());
    const Fraction in = D::zoomInStart(), out = D::zoomOutStart();
    // The zoom-out start is the first of 2/3, 1/2 .. 1/9 narrower than the whole page, the
    // zoom-in start the one tried before it (1/1 before 2/3).
    const std::vector<Fraction> tried = {{1, 1}, {2, 3}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {1, 7}, {1, 8}, {1, 9}};
    std::size_t at = 1;
    while (at < tried.size() && !(tried[at] == out)) ++at;
    ASSERT_LT(at, tried.size()) << out.num << "/" << out.den;
    EXPECT_EQ(in, tried[at - 1]);
    PreviewPage& page = d.firstPageWindow();
    const Size a = d.area().getSizePixel();
    const Size room(a.width - 8, a.height - 8);
    const long whole = page.calcWindowSizePixel(room).width;
    auto widthAt = [&](Fraction f) {
        page.setZoom(f);
        const long w = page.calcWindowSizePixel(room).width;
        page.setZoom(D::kWholePage);
        return w;
    };
    EXPECT_GE(widthAt(in), whole) << "Zoom In from the whole page shows no smaller page";
    if (at + 1 < tried.size()) EXPECT_LT(widthAt(out), whole) << "Zoom Out shows a smaller one";
    // In this 900 x 720 dialog the whole page is about 500 pixels wide: 2/3 is wider, 1/2 not.
    EXPECT_EQ(in, Fraction(2, 3));
    EXPECT_EQ(out, Fraction(1, 2));

    // A later dialog on another screen keeps them.
    gui::test::fixScreenSize(Size(640, 480));
    open(groups(3));
    EXPECT_EQ(D::zoomInStart(), in);
    EXPECT_EQ(D::zoomOutStart(), out);
}

TEST_F(PrintPreviewTest, TheLayoutPlacesTheButtonsInOrderAndBreaksTheRowWhenNarrow) {
    const int order[] = {D::kPrint, D::kPreviousPage, D::kNextPage, D::kSinglePage, D::kDoublePage, D::kActualSize,
                         D::kZoomIn, D::kZoomOut, D::kDone};
    auto buttonAt = [&](int id) {
        QWidget* w = dialog_->findControl(id == D::kDone ? "CancelButton" : "PushButton", id);
        return Rectangle(Point(w->x(), w->y()), Size(w->width(), w->height()));
    };
    // The buttons' size follows the dialog font: the screens are chosen around the width at
    // which nine buttons no longer fit in one row (the area narrower than 9 bw + 24).
    open(groups(3));
    const long bw = buttonAt(D::kPrint).getWidth(), vw0 = dialog_->verticalBar().getSizePixel().width;
    const long rowWidth = 9 * bw + 24 + 2 * vw0 + 12;   // the client width that just fits
    struct Row {
        const char* name;
        long clientWidth;
        bool twoRows;
    } rows[] = {{"wide: one row", rowWidth + 40, false}, {"narrow: 100% starts a second row", rowWidth - 40, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Size screen(r.clientWidth * 10 / 9 + 1, 800);
        gui::test::fixScreenSize(screen);
        PrintPreviewDialog& d = open(groups(3));
        EXPECT_EQ(d.getOutputSizePixel(), Size(screen.width * 9 / 10, screen.height * 9 / 10));
        const Rectangle first = buttonAt(D::kPrint);
        const long bh = first.getHeight();
        const long vw = d.verticalBar().getSizePixel().width;
        EXPECT_EQ(first.topLeft(), Point(vw + 6, 5));
        for (std::size_t i = 1; i < std::size(order); ++i) {
            const Rectangle b = buttonAt(order[i]), before = buttonAt(order[i - 1]);
            if (r.twoRows && order[i] == D::kActualSize) {
                EXPECT_EQ(b.topLeft(), Point(vw + 6, bh + 10)) << order[i];
            } else {
                EXPECT_EQ(b.top, before.top) << order[i];
                EXPECT_EQ(b.left, before.left + first.getWidth() + 3) << order[i];
            }
        }
        const Point areaAt = d.area().getPosPixel();
        EXPECT_EQ(areaAt, Point(vw + 6, r.twoRows ? 2 * bh + 15 : bh + 10));
        // The bars stand right of and below the area.
        const Size area = d.area().getSizePixel();
        EXPECT_EQ(d.verticalBar().getPosPixel(), Point(areaAt.x + area.width + 1, areaAt.y));
        EXPECT_EQ(d.horizontalBar().getPosPixel(), Point(areaAt.x, areaAt.y + area.height + 1));
        // The whole page is centred in the area.
        const Point pageAt = d.firstPageWindow().getPosPixel();
        const Size page = d.firstPageWindow().getSizePixel();
        EXPECT_NEAR(pageAt.x * 2 + page.width, area.width, 1);
        EXPECT_NEAR(pageAt.y * 2 + page.height, area.height, 1);
    }
}

TEST_F(PrintPreviewTest, AOnePageDocumentOpensWithBothPageButtonsDisabled) {
    PrintPreviewDialog& d = open(groups(2));
    ASSERT_EQ(d.pageCount(), 1);
    EXPECT_FALSE(enabled(D::kPreviousPage));
    EXPECT_FALSE(enabled(D::kNextPage));
    click(D::kNextPage);
    EXPECT_EQ(d.currentPage(), 1);
}

TEST_F(PrintPreviewTest, TwoPageViewShowsTheCurrentPageAndTheNext) {
    PrintPreviewDialog& d = open(groups(200));
    const int count = d.pageCount();
    ASSERT_GE(count, 3);
    EXPECT_EQ(d.secondPageWindow(), nullptr) << "made on first use";
    click(D::kNextPage);
    click(D::kDoublePage);
    ASSERT_NE(d.secondPageWindow(), nullptr);
    PreviewPage& first = d.firstPageWindow();
    PreviewPage& second = *d.secondPageWindow();
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(first.getPageNumber(), 2);
    EXPECT_EQ(second.getPageNumber(), 3);
    // Side by side about the area's middle, each a whole page in half the area.
    const long middle = d.area().getSizePixel().width / 2;
    EXPECT_EQ(first.getPosPixel().x + first.getSizePixel().width, middle - 2);
    EXPECT_EQ(second.getPosPixel().x, middle + 2);
    EXPECT_EQ(first.getSizePixel(), second.getSizePixel());
    EXPECT_TRUE(second.isWholePage());

    click(D::kPreviousPage);
    EXPECT_EQ(first.getPageNumber(), 1);
    EXPECT_EQ(second.getPageNumber(), 2);
    for (int i = 0; i < count + 2; ++i) click(D::kNextPage);
    EXPECT_EQ(first.getPageNumber(), count);
    EXPECT_EQ(second.getPageNumber(), count + 1) << "past the last page: blank paper";

    // One page again: the second window is hidden and still follows the current page.
    click(D::kSinglePage);
    EXPECT_FALSE(second.isVisible());
    click(D::kPreviousPage);
    EXPECT_EQ(second.getPageNumber(), count);
    click(D::kDoublePage);
    EXPECT_TRUE(second.isVisible());
}

TEST_F(PrintPreviewTest, PageWindowsDrawTheWorksheetsPagesWithTheirFooters) {
    PrintPreviewDialog& d = open(groups(200));
    PreviewPage& page = d.firstPageWindow();
    const Size paper = page.getPageSizeTwips();
    const Size pixels = page.getSizePixel();
    auto row = [&](long twips) { return twips * pixels.height / paper.height; };
    // The worksheet's first lines start three quarters of an inch down; the footer row sits
    // above the bottom margin, on the printer's coordinates (from the printable area's top).
    const long textTop = row(1080), textBottom = row(1080 + 1440);
    const long printableTop = printer_->getPrintableAreaTwips().top;
    const long footerBottom = row(printableTop + view_->viewHeight() - view_->bottomMargin());
    const long footerTop = row(printableTop + view_->viewHeight() - view_->bottomMargin() - 300);

    const long text = inkInRows(page, textTop, textBottom);
    const long footer = inkInRows(page, footerTop, footerBottom);
    EXPECT_GT(text, 50) << "the first groups are drawn";
    EXPECT_GT(footer, 10) << "\"Page 1\" is drawn";
    EXPECT_EQ(inkInRows(page, footerBottom + 3, pixels.height), 0) << "nothing below the footer";

    // A page past the last one is blank paper.
    page.setPageNumber(d.pageCount() + 1);
    EXPECT_EQ(inkInRows(page, 0, pixels.height), 0);

    // Another page draws other lines.
    page.setPageNumber(1);
    const QImage one = gui::test::grabBackBuffer(page);
    page.setPageNumber(2);
    const QImage two = gui::test::grabBackBuffer(page);
    EXPECT_NE(one, two);

    // At 100 % the page is larger and the footer is still drawn where the bar shows it.
    click(D::kActualSize);
    ASSERT_TRUE(d.verticalBar().isVisible());
    EXPECT_GT(inkInRows(page, 1, page.getSizePixel().height), text) << "the text is larger";
}

TEST_F(PrintPreviewTest, MovingAScrollBarScrollsThePage) {
    PrintPreviewDialog& d = open(groups(200));
    click(D::kActualSize);
    ScrollBar& bar = d.verticalBar();
    ASSERT_TRUE(bar.isVisible());
    const long visible = d.firstPageWindow().getVisibleSizeTwips().height;
    EXPECT_EQ(bar.getRange(), Range(0, d.firstPageWindow().getPageSizeTwips().height - visible));
    EXPECT_EQ(bar.getPageSize(), visible / 3);
    const QImage top = gui::test::grabBackBuffer(d.firstPageWindow());
    bar.doScroll(SCROLL_PAGEDOWN);
    EXPECT_EQ(d.firstPageWindow().getOrigin(), Point(0, visible / 3));
    EXPECT_NE(gui::test::grabBackBuffer(d.firstPageWindow()), top);
}

TEST_F(PrintPreviewTest, PrintFromTheDialogPrintsAndThePreviewDrawsItsPagesAgain) {
    PrintPreviewDialog& d = open(groups(200));
    click(D::kNextPage);
    gui::test::Step choose;
    choose.kind = gui::test::Step::ChoosePrinter;
    choose.text = Printer::kPdfName;
    gui::test::setScript({choose});
    click(D::kPrint);
    EXPECT_EQ(gui::test::stepsLeft(), 0u) << "the print dialog was asked";
    EXPECT_EQ(printer_->getRecordedPages().size(), static_cast<std::size_t>(d.pageCount()));
    // The print run's own view was the document's active one; the preview's is again.
    EXPECT_EQ(window->document()->activeView(), view_.get());
    EXPECT_EQ(d.firstPageWindow().getPrinter(), printer_.get());
    EXPECT_EQ(d.currentPage(), 2);
    EXPECT_GT(inkInRows(d.firstPageWindow(), 0, d.firstPageWindow().getSizePixel().height), 50);
}

TEST_F(PrintPreviewTest, ThePreviewCommandRunsTheDialogUnderTheScript) {
    reopen(groups(200));
    auto step = [](const char* cls, int id) {
        gui::test::Step s;
        s.kind = gui::test::Step::ClickButton;
        s.control = cls;
        s.id = id;
        s.expect = "Print Preview";
        return s;
    };
    gui::test::setScript({step("PushButton", D::kZoomIn), step("PushButton", D::kNextPage),
                          step("PushButton", D::kDoublePage), step("CancelButton", D::kDone)});
    EXPECT_TRUE(window->window_command(1107, nullptr, 0));
    EXPECT_EQ(gui::test::stepsLeft(), 0u);
    EXPECT_TRUE(printer_->getRecordedPages().empty()) << "a preview prints nothing";
    EXPECT_EQ(window->document()->activeView(), window->view());
    EXPECT_FALSE(window->caret()->busy);
}

}  // namespace
