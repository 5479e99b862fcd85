// Wrapped Windows metafiles played through the metafile layer into images: where lines and text
// land, the window mapped onto the rectangle, clipping to it, bitmaps, damaged bits and the
// device's state afterwards.
#include "platform/gui/Picture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/gdi/gdi.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/VirtualDevice.h"
#include "tests/platform/gdi/gdi_test_util.h"

namespace {

using gdi_test::WmfBuilder;

constexpr int kW = 400, kH = 300;
const Color kRed = Color::fromRGB8(255, 0, 0);

// Records a metafile through the layer's device context; `draw` makes the calls.
std::vector<uint8_t> recordWmf(const std::function<void(HDC)>& draw) {
    HDC dc = CreateMetaFileA(nullptr);
    draw(dc);
    HMETAFILE mf = CloseMetaFile(dc);
    std::vector<uint8_t> bits = gdi_test::metafileBits(mf);
    DeleteMetaFile(mf);
    return bits;
}

// A picture wrapping the bits, preferring `size` in units of 1/`inch` inch (as the placeable
// form and the spreadsheet's cells describe it).
Picture wrap(std::vector<uint8_t> bits, const Size& size, int inch = 1440) {
    Picture pic;
    pic.setWindowsMetafile(std::move(bits));
    pic.setPrefSize(size);
    pic.setPrefMapMode(MapMode(MapUnit::Inch, Point(), Fraction(1, inch), Fraction(1, inch)));
    return pic;
}

// A red line across the picture at a tenth of its height, from 10% to 90% of its width.
std::vector<uint8_t> redLine() {
    return recordWmf([](HDC dc) {
        HPEN pen = CreatePen(PS_SOLID, 0, RGB(255, 0, 0));
        SelectObject(dc, pen);
        MoveToEx(dc, 144, 72, nullptr);
        LineTo(dc, 1296, 72);
        DeleteObject(pen);
    });
}

class WmfPlayback : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dev.setOutputSizePixel(Size(kW, kH))); }
    Color at(int x, int y) {
        dev.flushDrawing();
        return dev.getPixel(Point(x, y));
    }
    // The columns of red pixels in row y.
    std::pair<int, int> redSpan(int y) {
        dev.flushDrawing();
        int first = -1, last = -1;
        for (int x = 0; x < kW; ++x)
            if (dev.getPixel(Point(x, y)) == kRed) {
                if (first < 0) first = x;
                last = x;
            }
        return {first, last};
    }
    // Pixels darker than mid-grey inside the rectangle.
    int darkPixels(const Rectangle& r) {
        dev.flushDrawing();
        const QImage* img = dev.image();
        int n = 0;
        for (int y = r.top; y <= r.bottom; ++y)
            for (int x = r.left; x <= r.right; ++x)
                if (qGray(img->pixel(x, y)) < 128) ++n;
        return n;
    }
    VirtualDevice dev;
};

TEST_F(WmfPlayback, ALineLandsWhereTheMappingPutsItAndScalesWithTheRectangle) {
    const Picture pic = wrap(redLine(), Size(1440, 720));
    dev.drawMetafile(Rectangle(20, 30, 20 + 143, 30 + 71), pic);  // 144 x 72: a tenth
    EXPECT_EQ(at(90, 30 + 7), kRed);
    const auto [first, last] = redSpan(37);
    EXPECT_NEAR(first, 20 + 14, 1);
    EXPECT_NEAR(last, 20 + 130, 1);

    dev.erase();
    dev.drawMetafile(Rectangle(20, 30, 20 + 287, 30 + 143), pic);  // twice as large
    const auto [first2, last2] = redSpan(30 + 14);
    EXPECT_NEAR(first2 - 20, 2 * (first - 20), 2);
    EXPECT_NEAR(last2 - 20, 2 * (last - 20), 2) << "the line's end lies twice as far";
}

TEST_F(WmfPlayback, TextFallsInItsBoxWithBaselineAlignmentAndSymbolBytes) {
    const auto bits = recordWmf([](HDC dc) {
        LOGFONTA lf;
        lf.lfHeight = -400;  // 40 pixels at a tenth
        std::strcpy(lf.lfFaceName, "Times New Roman");
        HFONT roman = CreateFontIndirectA(&lf);
        lf.lfCharSet = SYMBOL_CHARSET;
        std::strcpy(lf.lfFaceName, "Symbol");
        HFONT symbol = CreateFontIndirectA(&lf);
        SetTextAlign(dc, TA_BASELINE);
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, roman);
        TextOutA(dc, 100, 1000, "HH", 2);
        SelectObject(dc, symbol);
        TextOutA(dc, 2000, 1000, "\xB9", 1);  // not-equal in the Symbol encoding
        DeleteObject(roman);
        DeleteObject(symbol);
    });
    dev.drawMetafile(Rectangle(0, 0, kW - 1, kH - 1), wrap(bits, Size(4000, 3000)));
    // The baseline is at y = 100: the capitals stand above it, nothing hangs far below.
    EXPECT_GT(darkPixels(Rectangle(10, 75, 60, 99)), 100);
    EXPECT_EQ(darkPixels(Rectangle(0, 104, 199, 140)), 0);
    EXPECT_EQ(darkPixels(Rectangle(0, 0, 199, 60)), 0);
    EXPECT_GT(darkPixels(Rectangle(200, 70, 240, 102)), 20) << "the Symbol byte draws a glyph";
}

TEST_F(WmfPlayback, TopAlignedOpaqueTextHangsBelowItsPositionOnItsBackground) {
    const auto bits = recordWmf([](HDC dc) {
        LOGFONTA lf;
        lf.lfHeight = -400;
        std::strcpy(lf.lfFaceName, "Times New Roman");
        HFONT roman = CreateFontIndirectA(&lf);
        SetTextAlign(dc, TA_TOP);
        SelectObject(dc, roman);
        TextOutA(dc, 100, 1000, "HH", 2);
        DeleteObject(roman);
    });
    Picture pic = wrap(bits, Size(4000, 3000));
    dev.setBackgroundBrush(Brush(Color::fromRGB8(200, 200, 255)));
    dev.erase();
    dev.drawMetafile(Rectangle(0, 0, kW - 1, kH - 1), pic);
    EXPECT_EQ(darkPixels(Rectangle(0, 60, 199, 98)), 0);
    EXPECT_GT(darkPixels(Rectangle(10, 101, 60, 140)), 100);
    EXPECT_EQ(at(12, 102), Color(COL_WHITE)) << "an opaque background in the default white";
}

TEST_F(WmfPlayback, TheMetafilesWindowMapsOntoTheRectangle) {
    // Window (100, 100) extending 200 x 100: the line at y = 150 runs through the middle.
    const auto bits = WmfBuilder()
                          .windowOrg(100, 100)
                          .windowExt(200, 100)
                          .pen(0, 0, RGB(255, 0, 0))
                          .select(0)
                          .moveTo(100, 150)
                          .lineTo(300, 150)
                          .bits();
    dev.drawMetafile(Rectangle(10, 10, 209, 109), wrap(bits, Size(5, 5)));
    const auto [first, last] = redSpan(60);
    EXPECT_EQ(first, 10);
    EXPECT_GE(last, 208);
    EXPECT_NE(at(110, 30), kRed);
    EXPECT_NE(at(110, 90), kRed);
}

TEST_F(WmfPlayback, NothingIsDrawnOutsideTheRectangle) {
    const auto bits = recordWmf([](HDC dc) {
        HPEN pen = CreatePen(PS_SOLID, 40, RGB(255, 0, 0));
        SelectObject(dc, pen);
        MoveToEx(dc, -5000, -5000, nullptr);
        LineTo(dc, 9000, 9000);
        const POINT pts[3] = {{-3000, 500}, {7000, 500}, {500, 7000}};
        Polyline(dc, pts, 3);
        DeleteObject(pen);
    });
    const Rectangle r(100, 80, 299, 199);
    dev.drawMetafile(r, wrap(bits, Size(1440, 720)));
    dev.flushDrawing();
    const QImage* img = dev.image();
    int inside = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const bool in = r.isInside(Point(x, y));
            if (!in) ASSERT_EQ(img->pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
            else if (img->pixel(x, y) != qRgb(255, 255, 255)) ++inside;
        }
    EXPECT_GT(inside, 100);
}

TEST_F(WmfPlayback, TheDeviceStateIsAsBeforeEvenAfterUnbalancedSaves) {
    Pen pen(Color::fromRGB8(1, 2, 3), 2);
    Font font("Arial", Size(0, 17));
    MapMode map(MapUnit::Twip);
    dev.setPen(pen);
    dev.setFont(font);
    dev.setMapMode(map);
    const auto bits = WmfBuilder()
                          .record(0x001E, {})  // save, never restored
                          .pen(0, 5, RGB(255, 0, 0))
                          .select(0)
                          .record(0x0103, {8})
                          .record(0x001E, {})
                          .record(0x0127, {5})  // restores a save that was never made
                          .moveTo(0, 0)
                          .lineTo(100, 100)
                          .bits();
    dev.drawMetafile(Rectangle(0, 0, 2000, 2000), wrap(bits, Size(100, 100)));
    EXPECT_EQ(dev.getPen(), pen);
    EXPECT_EQ(dev.getFont(), font);
    EXPECT_EQ(dev.getMapMode(), map);
    EXPECT_FALSE(dev.isClipping());
}

TEST_F(WmfPlayback, StretchedBitmapsFillTheirDestination) {
    // 2 x 2, 24 bits, bottom row first: blue, red; then green, white.
    std::vector<uint16_t> words = {0x0020, 0x00CC, 0, 2, 2, 0, 0, 200, 200, 0, 0,
                                   40, 0, 2, 0, 2, 0, 1, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t px[] = {255, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0};
    for (std::size_t i = 0; i < sizeof px; i += 2) words.push_back(uint16_t(px[i] | (px[i + 1] << 8)));
    const auto bits = WmfBuilder().record(0x0F43, words).bits();
    dev.drawMetafile(Rectangle(0, 0, 199, 199), wrap(bits, Size(200, 200)));
    EXPECT_EQ(at(50, 50), Color::fromRGB8(0, 255, 0));
    EXPECT_EQ(at(150, 50), Color::fromRGB8(255, 255, 255));
    EXPECT_EQ(at(50, 150), Color::fromRGB8(0, 0, 255));
    EXPECT_EQ(at(150, 150), kRed);
}

TEST_F(WmfPlayback, DamagedBitsPlayWhatComesBeforeTheDamage) {
    const auto bits = WmfBuilder()
                          .pen(0, 0, RGB(255, 0, 0))
                          .select(0)
                          .moveTo(0, 10)
                          .lineTo(100, 10)
                          .record(0x0213, {50, 50}, 0)  // a record of size 0
                          .moveTo(0, 50)
                          .lineTo(100, 50)
                          .bits();
    dev.drawMetafile(Rectangle(0, 0, 99, 99), wrap(bits, Size(100, 100)));
    EXPECT_EQ(at(50, 10), kRed);
    EXPECT_NE(at(50, 50), kRed);
}

TEST(WmfPlaybackClipboard, TheRenderingBesideACopiedPictureShowsTheMetafile) {
    Clipboard::clear();
    ASSERT_TRUE(Clipboard::copyPicture(wrap(redLine(), Size(1440, 720))));  // 96 x 48 pixels
    const Bitmap shown = Clipboard::pasteBitmap();
    ASSERT_EQ(shown.getSizePixel(), Size(96, 48));
    EXPECT_EQ(shown.getPixel(Point(48, 5)), kRed);
    EXPECT_EQ(shown.getPixel(Point(48, 30)), Color(COL_WHITE));
}

}  // namespace
