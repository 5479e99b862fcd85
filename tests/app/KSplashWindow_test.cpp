// The splash window: its place on the screen, the palette rule, pictures without a palette or
// without a resource, and hiding on a click or a key.
#include "app/KSplashWindow.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"

namespace {

class SplashTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::ensureApplication();
        gui::test::activate();
        gui::test::fixScreenSize(Size(1280, 1024));
    }
    void TearDown() override {
        KSplashWindow::setPictureSource(nullptr);
        gui::test::unfixScreenSize();
        gui::test::deactivate();
    }
};

SplashPicture trueColourPicture(int w, int h) {
    SplashPicture pic;
    pic.image.width = w;
    pic.image.height = h;
    pic.image.bitCount = 24;
    std::size_t stride = DeviceIndependentImage::rowBytes(w, 24);
    pic.image.rows.assign(stride * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* px = &pic.image.rows[y * stride + x * 3];
            px[0] = 200, px[1] = 30, px[2] = 10;   // blue, green, red
        }
    return pic;
}

TEST(KSplashWindowRules, PaletteColourCount) {
    struct Row {
        int bits;
        unsigned used;
        unsigned count;
    } rows[] = {{8, 0, 256}, {8, 16, 16}, {4, 0, 16}, {1, 0, 2}, {24, 0, 0}, {32, 0, 0}, {24, 12, 12}};
    for (const Row& r : rows)
        EXPECT_EQ(KSplashWindow::paletteColorCount(r.bits, r.used), r.count) << r.bits << " " << r.used;
}

TEST(KSplashWindowRules, CentredWithXRoundedDownToEight) {
    struct Row {
        Size screen, picture;
        Point expected;
    } rows[] = {
        {Size(1280, 1024), Size(520, 316), Point(376, 354)},
        {Size(1024, 768), Size(520, 316), Point(248, 226)},
        {Size(1366, 768), Size(520, 316), Point(416, 226)},
    };
    for (const Row& r : rows) EXPECT_EQ(KSplashWindow::centredPosition(r.screen, r.picture), r.expected);
}

TEST_F(SplashTest, TheProgramPictureIsDrawnWithItsPaletteAtTheCentre) {
    KSplashWindow splash;
    EXPECT_TRUE(splash.hasPicture());
    EXPECT_EQ(splash.palette().colors.size(), 256u);
    EXPECT_EQ(splash.getPosPixel(), Point(376, 354));
    EXPECT_EQ(splash.getSizePixel(), Size(520, 316));
    // The frame's light colour at the corner, the field's blue inside: not an empty window.
    Color corner = splash.getPixel(Point(1, 1));
    Color inside = splash.getPixel(Point(100, 100));
    EXPECT_GT(corner.getRed() >> 8, 180);
    EXPECT_LT(inside.getRed() >> 8, 60);
    EXPECT_GT(inside.getBlue() >> 8, 80);
}

TEST_F(SplashTest, ATrueColourPictureGetsNoPaletteAndIsDrawn) {
    KSplashWindow::setPictureSource([] { return std::optional<SplashPicture>(trueColourPicture(40, 20)); });
    KSplashWindow splash;
    EXPECT_TRUE(splash.hasPicture());
    EXPECT_FALSE(splash.hasPalette());
    EXPECT_EQ(splash.getSizePixel(), Size(40, 20));
    Color c = splash.getPixel(Point(5, 5));
    EXPECT_EQ(c.getRed() >> 8, 10);
    EXPECT_EQ(c.getBlue() >> 8, 200);
}

TEST_F(SplashTest, AMissingPictureGivesAWindowWithoutOne) {
    KSplashWindow::setPictureSource([] { return std::optional<SplashPicture>(); });
    KSplashWindow splash;
    EXPECT_FALSE(splash.hasPicture());
    EXPECT_FALSE(splash.hasPalette());
    splash.show();
    splash.update();   // paints nothing, crashes nothing
}

TEST_F(SplashTest, AClickOrAKeyHidesIt) {
    for (int kind = 0; kind < 2; ++kind) {
        KSplashWindow splash;
        splash.show();
        ASSERT_TRUE(splash.isVisible());
        if (kind == 0) splash.mouseButtonDown(MouseEvent());
        else splash.keyInput(KeyEvent());
        EXPECT_FALSE(splash.isVisible()) << kind;
    }
}

}  // namespace
