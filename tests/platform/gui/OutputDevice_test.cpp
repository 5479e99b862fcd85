// Devices: virtual devices, map modes, text measuring, Symbol glyphs, font list and metrics,
// clipping with push and pop, bitmaps.
#include "platform/gui/VirtualDevice.h"

#include <QFontInfo>
#include <QImage>

#include <gtest/gtest.h>

#include "platform/gui/Window.h"
#include "platform/gui/qt_text.h"

namespace {

void sized(VirtualDevice& d, int w, int h) { ASSERT_TRUE(d.setOutputSizePixel(Size(w, h))); }

int inkPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) != qRgb(255, 255, 255);
    return n;
}

TEST(VirtualDevice, SizeKeepsOrErasesContent) {
    VirtualDevice d;
    ASSERT_TRUE(d.setOutputSizePixel(Size(40, 30)));
    EXPECT_EQ(d.getOutputSizePixel(), Size(40, 30));
    EXPECT_EQ(d.getPixel(Point(5, 5)), Color(COL_WHITE));
    d.drawPixel(Point(5, 5), Color::fromRGB8(1, 2, 3));
    EXPECT_EQ(d.getPixel(Point(5, 5)), Color::fromRGB8(1, 2, 3));
    ASSERT_TRUE(d.setOutputSizePixel(Size(60, 60), false));
    EXPECT_EQ(d.getPixel(Point(5, 5)), Color::fromRGB8(1, 2, 3));
    EXPECT_EQ(d.getPixel(Point(50, 50)), Color(COL_WHITE));
    ASSERT_TRUE(d.setOutputSizePixel(Size(60, 60), true));
    EXPECT_EQ(d.getPixel(Point(5, 5)), Color(COL_WHITE));
    EXPECT_EQ(d.getPixel(Point(500, 5)), Color());  // outside: black, no crash
    EXPECT_EQ(d.getOutDevType(), OUTDEV_VIRDEV);
    EXPECT_EQ(d.getColorCount(), 16777216);
    EXPECT_EQ(gui::nativeDcDpiY(d.getNativeDC()), 96);
}

TEST(VirtualDevice, KeepsTheReferenceResolution) {
    VirtualDevice screen;
    EXPECT_EQ(screen.getDPIY(), 96);
    VirtualDevice compat(screen);
    EXPECT_EQ(compat.getDPIX(), screen.getDPIX());
    // Drawing on an unsized device does nothing and does not crash.
    compat.drawLine(Point(0, 0), Point(10, 10));
    compat.drawText(Point(0, 0), "x");
    EXPECT_TRUE(compat.getBitmap(Point(0, 0), Size(5, 5)).isEmpty());
}

TEST(OutputDevice, MapModeAppliesToDrawingAndConversions) {
    VirtualDevice d;
    sized(d, 200, 200);
    d.setMapMode(MapMode(MapUnit::Twip));
    EXPECT_EQ(d.logicToPixel(Point(1440, 720)), Point(96, 48));
    EXPECT_EQ(d.pixelToLogic(Point(96, 48)), Point(1440, 720));
    EXPECT_EQ(d.logicToPixel(Size(1440, 15)), Size(96, 1));
    EXPECT_EQ(d.getOutputSize(), Size(3000, 3000));
    d.setPen(Pen(Color(COL_BLACK)));
    d.drawLine(Point(0, 1440), Point(1440, 1440));
    EXPECT_EQ(d.getPixel(Point(720, 1440)), Color(COL_BLACK));
    d.setMapMode(MapMode());
    EXPECT_EQ(d.getPixel(Point(48, 96)), Color(COL_BLACK));
    EXPECT_EQ(d.getPixel(Point(48, 95)), Color(COL_WHITE));
}

TEST(OutputDevice, TextMeasuresInLogicUnitsAndDrawsInsideItsBox) {
    VirtualDevice d;
    sized(d, 300, 100);
    Font f("Arial", Size(0, 20));
    d.setFont(f);
    Size px = d.getTextSize("Caf\xE9 \x80");
    EXPECT_GT(px.width, 30);
    EXPECT_GE(px.height, 20);
    FontMetric m = d.getFontMetric();
    EXPECT_EQ(m.ascent + m.descent, px.height);
    EXPECT_EQ(m.charSet, CHARSET_SYSTEM);
    EXPECT_EQ(m.kind, 3);
    EXPECT_EQ(d.getTextWidth(""), 0);
    EXPECT_EQ(d.getTextWidth("abc", 1, 1), d.getTextWidth("b"));
    EXPECT_EQ(d.getTextWidth("abc", 10), 0);  // index past the end
    d.drawText(Point(10, 10), "Caf\xE9 \x80");
    const QImage& img = *d.image();
    int inside = 0, outside = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x) {
            bool dark = qGray(img.pixel(x, y)) < 128;
            bool in = x >= 10 && x < 10 + px.width && y >= 10 && y < 10 + px.height;
            (in ? inside : outside) += dark;
        }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
    // In twips the same text measures 15 times the pixels.
    d.setMapMode(MapMode(MapUnit::Twip));
    f.setSize(Size(0, 300));  // 20 pixels at 96 dpi
    d.setFont(f);
    EXPECT_NEAR(d.getTextWidth("Caf\xE9 \x80"), px.width * 15, 15);
}

TEST(OutputDevice, OpaqueTextFillsItsBackground) {
    VirtualDevice d;
    sized(d, 100, 40);
    Font f("Courier New", Size(0, 16));
    f.setTransparent(false);
    f.setFillColor(Color::fromRGB8(0, 255, 0));
    d.setFont(f);
    d.drawText(Point(0, 0), " ");
    EXPECT_EQ(d.getPixel(Point(2, 5)), Color::fromRGB8(0, 255, 0));
}

TEST(OutputDevice, EverySymbolByteInUseDrawsAGlyph) {
    std::vector<uint8_t> bytes = {0xA3, 0xAE, 0xB4, 0xB6, 0xB9, 0xBF, 0xD5, 0xE1};
    for (int b = 0xE5; b <= 0xEF; ++b) bytes.push_back(static_cast<uint8_t>(b));
    for (int b = 0xF1; b <= 0xFE; ++b) bytes.push_back(static_cast<uint8_t>(b));
    Font sym("Symbol", Size(0, 32));
    sym.setCharSet(CHARSET_SYMBOL);
    for (uint8_t b : bytes) {
        SCOPED_TRACE(b);
        VirtualDevice d;
    sized(d, 64, 64);
        d.setFont(sym);
        EXPECT_EQ(d.getFontMetric().charSet, CHARSET_SYMBOL);
        d.drawText(Point(8, 8), String(std::string(1, static_cast<char>(b))));
        EXPECT_GT(inkPixels(*d.image()), 0);
    }
    EXPECT_EQ(gui::mapFaceName("Symbol"), QString("Standard Symbols PS"));
}

struct FaceCase { const char* face; const char* family; };

TEST(OutputDevice, FacesMapToInstalledFonts) {
    const FaceCase cases[] = {
        {"Times New Roman", "Liberation Serif"}, {"Times", "Liberation Serif"}, {"Arial", "Liberation Sans"},
        {"Helvetica", "Liberation Sans"}, {"MS Sans Serif", "Liberation Sans"},
        {"Courier New", "Liberation Mono"}, {"courier", "Liberation Mono"}, {"Symbol", "Standard Symbols PS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.face);
        QFont q = gui::makeQFont(Font(c.face, Size(0, 12)), 12);
        EXPECT_EQ(q.family(), QString(c.family));
        EXPECT_TRUE(QFontInfo(q).family().startsWith(QString(c.family))) << "font not installed";
    }
    VirtualDevice d;
    ASSERT_GE(d.getDevFontCount(), 4);
    EXPECT_EQ(d.getDevFont(0).name, String("Times New Roman"));
    EXPECT_EQ(d.getDevFont(3).name, String("Symbol"));
    for (int i = 0; i < d.getDevFontCount(); ++i) EXPECT_NE(d.getDevFont(i).kind, 10);
    EXPECT_EQ(d.getDevFontSizeCount(Font("Arial", Size())), 1);
    EXPECT_EQ(d.getDevFontSize(Font("Arial", Size()), 0), Size(0, 0));
}

TEST(OutputDevice, ClipWithPushAndPop) {
    VirtualDevice d;
    sized(d, 50, 50);
    d.setPen(Pen(Color(COL_BLACK)));
    d.push();
    d.intersectClipRegion(Rectangle(0, 0, 9, 49));
    EXPECT_TRUE(d.isClipping());
    d.drawLine(Point(0, 5), Point(49, 5));
    d.setPen(Pen(Color::fromRGB8(255, 0, 0)));
    d.pop();
    EXPECT_FALSE(d.isClipping());
    EXPECT_EQ(d.getPen().color, Color(COL_BLACK));
    EXPECT_EQ(d.getPixel(Point(9, 5)), Color(COL_BLACK));
    EXPECT_EQ(d.getPixel(Point(10, 5)), Color(COL_WHITE));
    d.drawLine(Point(0, 7), Point(49, 7));
    EXPECT_EQ(d.getPixel(Point(40, 7)), Color(COL_BLACK));
    d.setClipRegion(Region(Polygon{Point(20, 20), Point(40, 20), Point(40, 40), Point(20, 40)}));
    d.setFillInBrush(Brush(Color::fromRGB8(0, 0, 255)));
    d.setPen(Pen(Color(), 0, PEN_NULL));
    d.drawRect(Rectangle(0, 0, 49, 49));
    EXPECT_EQ(d.getPixel(Point(30, 30)), Color::fromRGB8(0, 0, 255));
    EXPECT_EQ(d.getPixel(Point(10, 30)), Color(COL_WHITE));
    d.pop();  // more pops than pushes: ignored
}

TEST(OutputDevice, RectanglesCoverTheirInclusiveEdges) {
    VirtualDevice d;
    sized(d, 30, 30);
    d.setPen(Pen(Color(COL_BLACK)));
    d.setFillInBrush(Brush(Color::fromRGB8(255, 0, 0)));
    d.drawRect(Rectangle(5, 5, 10, 10));
    EXPECT_EQ(d.getPixel(Point(5, 5)), Color(COL_BLACK));
    EXPECT_EQ(d.getPixel(Point(10, 10)), Color(COL_BLACK));
    EXPECT_EQ(d.getPixel(Point(11, 11)), Color(COL_WHITE));
    EXPECT_EQ(d.getPixel(Point(7, 7)), Color::fromRGB8(255, 0, 0));
    d.setPen(Pen(Color(), 0, PEN_NULL));
    d.drawRect(Rectangle(15, 15, 20, 20));
    EXPECT_EQ(d.getPixel(Point(20, 20)), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(d.getPixel(Point(21, 21)), Color(COL_WHITE));
}

TEST(OutputDevice, BitmapsCopyAndDrawScaled) {
    VirtualDevice d;
    sized(d, 40, 40);
    d.drawPixel(Point(2, 3), Color::fromRGB8(10, 20, 30));
    Bitmap b = d.getBitmap(Point(0, 0), Size(4, 4));
    ASSERT_FALSE(b.isEmpty());
    EXPECT_EQ(b.getSizePixel(), Size(4, 4));
    EXPECT_EQ(b.getBitCount(), 24);
    EXPECT_EQ(b.getPixel(Point(2, 3)), Color::fromRGB8(10, 20, 30));
    VirtualDevice e;
    sized(e, 40, 40);
    e.drawBitmap(Point(10, 10), Size(8, 8), b);  // scaled 2x
    EXPECT_EQ(e.getPixel(Point(14, 16)), Color::fromRGB8(10, 20, 30));
    EXPECT_EQ(e.getPixel(Point(15, 17)), Color::fromRGB8(10, 20, 30));
    e.copyFromDevice(Point(30, 30), Size(4, 4), Point(0, 0), d);
    EXPECT_EQ(e.getPixel(Point(32, 33)), Color::fromRGB8(10, 20, 30));
    Bitmap copy = b;
    EXPECT_EQ(copy, b);
}

}  // namespace
