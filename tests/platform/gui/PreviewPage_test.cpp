// The print-preview page window: sizes at a zoom within an area, zoom and origin rules, the page
// number and its notification, printer and job set-up, and the page paint mapping twips onto the
// window.
#include "platform/gui/PreviewPage.h"

#include <gtest/gtest.h>

#include "platform/gui/Printer.h"

namespace {

struct SizeCase {
    const char* name;
    Fraction zoom;
    Size area;
    Size expected;
};

TEST(PreviewPage, WindowSizeAPageNeedsAtAZoomWithinAnArea) {
    PreviewPage w(nullptr, WB_FRAME);  // no printer: Letter, 12240 x 15840 twips
    ASSERT_EQ(w.getPageSizeTwips(), Size(12240, 15840));
    const SizeCase cases[] = {
        {"whole page, tall area", Fraction(0, 1), Size(300, 300), Size(231, 300)},
        {"whole page, wide area", Fraction(0, 1), Size(400, 200), Size(154, 200)},
        {"whole page, no area", Fraction(0, 1), Size(0, 0), Size(0, 0)},
        {"100% in a small area is cut to it", Fraction(1, 1), Size(500, 500), Size(500, 500)},
        {"100% in a large area", Fraction(1, 1), Size(1000, 2000), Size(816, 1056)},
        {"50%", Fraction(1, 2), Size(1000, 2000), Size(408, 528)},
        {"zero denominator is whole page", Fraction(3, 0), Size(300, 300), Size(231, 300)},
    };
    for (const SizeCase& c : cases) {
        w.setZoom(c.zoom);
        EXPECT_EQ(w.calcWindowSizePixel(c.area), c.expected) << c.name;
    }
}

TEST(PreviewPage, ZoomOriginPageNumberAndNotification) {
    PreviewPage w(nullptr, WB_FRAME);
    int changes = 0;
    long seen = 0;
    w.setPageChangedHdl(LinkOf<PreviewPage*>([&](PreviewPage* p) {
        ++changes;
        seen = p->getPageNumber();
        return 0L;
    }));
    EXPECT_EQ(w.getPageNumber(), 1);
    w.setPageNumber(3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(seen, 3);
    w.setPageNumber(3);  // unchanged: no notification
    EXPECT_EQ(changes, 1);
    w.setPageNumber(-4);
    EXPECT_EQ(w.getPageNumber(), 1);
    EXPECT_EQ(changes, 2);

    EXPECT_TRUE(w.isWholePage());
    w.setOrigin(Point(100, 200));
    EXPECT_EQ(w.getOrigin(), Point());  // the whole page has no origin
    w.setZoom(Fraction(3, 2));
    w.setOrigin(Point(100, 200));
    EXPECT_EQ(w.getOrigin(), Point(100, 200));
    w.setZoom(Fraction(0, 1));
    EXPECT_EQ(w.getOrigin(), Point());

    const std::vector<uint8_t> job = {1, 2, 0, 0xFF};
    w.setJobSetup(job);
    EXPECT_EQ(w.getJobSetup(), job);
    Printer pdf(String("PDF"));
    w.setPrinter(&pdf);
    EXPECT_EQ(w.getPrinter(), &pdf);
    EXPECT_EQ(w.getPageSizeTwips(), pdf.getPaperSizeTwips());
}

// Draws a black square of one inch at the page's twips (1440, 1440).
long paintInch(PreviewPage* p) {
    p->setPen(Pen(Color(), 0, PEN_NULL));
    p->setFillInBrush(Brush(Color::fromRGB8(0, 0, 0)));
    p->drawRect(Rectangle(1440, 1440, 2879, 2879));
    return 0;
}

struct PaintCase {
    const char* name;
    Fraction zoom;
    Point origin;
    Size window;
    Point black, white;
};

TEST(PreviewPage, PagePaintMapsPrinterTwipsOntoTheWindow) {
    const PaintCase cases[] = {
        // Whole page in 231 x 300: an inch is about 27 pixels, so the square spans 27..54.
        {"whole page", Fraction(0, 1), Point(), Size(231, 300), Point(40, 40), Point(20, 20)},
        // 100%: an inch is 96 pixels; the origin one inch in puts the square at 0..95.
        {"100% scrolled", Fraction(1, 1), Point(1440, 1440), Size(200, 200), Point(50, 50), Point(100, 100)},
        {"50% unscrolled", Fraction(1, 2), Point(), Size(200, 200), Point(60, 60), Point(40, 40)},
    };
    for (const PaintCase& c : cases) {
        SCOPED_TRACE(c.name);
        PreviewPage w(nullptr, WB_FRAME);
        w.setBackgroundBrush(Brush(Color(COL_WHITE)));
        w.setZoom(c.zoom);
        w.setOrigin(c.origin);
        w.setSizePixel(c.window);
        int calls = 0;
        w.setPaintPageHdl(LinkOf<PreviewPage*>([&](PreviewPage* p) {
            ++calls;
            EXPECT_EQ(p->getMapMode().unit, MapUnit::Twip);
            return paintInch(p);
        }));
        w.show();
        w.invalidate();
        w.update();
        EXPECT_GE(calls, 1);
        EXPECT_EQ(w.getMapMode(), MapMode());  // restored after the handler
        EXPECT_EQ(w.getPixel(c.black), Color::fromRGB8(0, 0, 0));
        EXPECT_EQ(w.getPixel(c.white), Color(COL_WHITE));
    }
}

// With a printer, the handler draws in the printer's coordinates: twip (0, 0) is the printable
// area's corner on the paper.
TEST(PreviewPage, WithAPrinterTwipZeroIsThePrintableAreaCorner) {
    Printer pdf(String("PDF"));
    const Rectangle printable = pdf.getPrintableAreaTwips();
    ASSERT_FALSE(printable.isEmpty());
    ASSERT_GE(printable.left, 150) << "the PDF printer keeps a margin, which this test needs";
    ASSERT_GE(printable.top, 150);
    PreviewPage w(nullptr, WB_FRAME);
    w.setBackgroundBrush(Brush(Color(COL_WHITE)));
    w.setPrinter(&pdf);
    w.setZoom(Fraction(1, 1));   // 96 pixels an inch
    w.setSizePixel(Size(300, 300));
    w.setPaintPageHdl(LinkOf<PreviewPage*>([](PreviewPage* p) {
        p->setPen(Pen(Color(), 0, PEN_NULL));
        p->setFillInBrush(Brush(Color::fromRGB8(0, 0, 0)));
        p->drawRect(Rectangle(0, 0, 1439, 1439));
        return 0L;
    }));
    w.show();
    w.invalidate();
    w.update();
    const int left = printable.left * 96 / 1440, top = printable.top * 96 / 1440;
    EXPECT_EQ(w.getPixel(Point(left + 3, top + 3)), Color::fromRGB8(0, 0, 0));
    EXPECT_EQ(w.getPixel(Point(left - 3, top + 3)), Color(COL_WHITE)) << "left of the printable area";
    EXPECT_EQ(w.getPixel(Point(left + 3, top - 3)), Color(COL_WHITE)) << "above the printable area";

    // Scrolled by the origin, the corner moves up and left by as much.
    w.setOrigin(Point(printable.left, printable.top));
    w.update();
    EXPECT_EQ(w.getPixel(Point(2, 2)), Color::fromRGB8(0, 0, 0));
}

struct VisibleCase {
    const char* name;
    Fraction zoom;
    Size window;
    Size expected;   // twips of Letter shown
};

TEST(PreviewPage, VisibleTwipsAreThePartOfThePageTheWindowShows) {
    PreviewPage w(nullptr, WB_FRAME);   // Letter: 816 x 1056 pixels at 100 %
    const VisibleCase cases[] = {
        {"whole page: the paper", Fraction(0, 1), Size(100, 100), Size(12240, 15840)},
        {"100%, a window of two inches", Fraction(1, 1), Size(192, 192), Size(2880, 2880)},
        {"200%, a window of two inches", Fraction(2, 1), Size(192, 192), Size(1440, 1440)},
        {"a window larger than the page shows the page", Fraction(1, 2), Size(1000, 1000), Size(12240, 15840)},
    };
    for (const VisibleCase& c : cases) {
        w.setZoom(c.zoom);
        w.setSizePixel(c.window);
        EXPECT_EQ(w.getVisibleSizeTwips(), c.expected) << c.name;
    }
}

}  // namespace
