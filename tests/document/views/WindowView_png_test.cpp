// A picture drawn through a WindowView into an off-screen device, kept as a test artefact
// (build folder: tests/document/views/window_view.png; look at it): styled texts in the four
// faces with invisible characters shown, a frame with handles drawn twice (gone) and once
// (left), a highlight, a scaled bitmap and a played recorded picture.  A few pixels are checked;
// the text itself is not compared with any font's pixels.
#include "document/views/WindowView.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <string>

#include "platform/gui/Picture.h"
#include "tests/document/views/views_fixture.h"

namespace {

class WindowViewPicture : public viewtests::ViewsFixture {
protected:
    WindowViewPicture() : view(doc, &device, &cache) {
        device.setOutputSizePixel(Size(480, 360));
        device.setBackgroundBrush(Brush(Color(COL_WHITE)));
        device.erase();
        view.setViewSize(480, 360);
    }
    Color pixel(int x, int y) { return device.getPixel(Point(x, y)); }
    bool areaIs(const Rectangle& r, const Color& c) {
        for (int y = r.top; y <= r.bottom; ++y)
            for (int x = r.left; x <= r.right; ++x)
                if (pixel(x, y) != c) return false;
        return true;
    }

    FontCache cache;
    WindowView view;
};

TEST_F(WindowViewPicture, StyledTextsFramesHighlightBitmapAndPicture) {
    const Color white(COL_WHITE), black = Color::fromRGB8(0, 0, 0);
    view.showInvisible = true;

    // Texts: the default style (Normal's character part), then one row per face.
    view.selectStyleParts(-1, 0, -1, false);
    const int lineHeight = view.fontMetrics()->height;
    view.drawText({10, 10}, "Default style, black", -1, true);
    const int defaultWidth = view.textWidth("Default style, black", -1);
    const char* faces[] = {"Times New Roman", "Arial", "Courier New"};
    int y = 40;
    for (const char* face : faces) {
        view.selectStyleParts(std::int16_t(addStyle(face, 14)), 0, -1, false);
        view.drawText({10, y}, (std::string(face) + " a b\tc\nd").c_str(), -1, true);
        y += 28;
    }
    view.selectStyleParts(std::int16_t(addStyle("Symbol", 14, 2, 2, 2)), 0, -1, false);
    view.drawText({10, y}, "abgd pqr", -1, true);

    // The blank's mark of a row: half a blank after "Arial", half a line down.
    view.selectStyleParts(std::int16_t(addStyle("Arial", 14)), 0, -1, false);
    const int markX = 10 + view.textWidth("Arial", -1) + view.charWidth(' ') / 2;
    const int markY = 68 + view.fontMetrics()->height / 2;

    // The default text is black, never tinted: its darkest pixel is black and no pixel leans
    // to blue.
    bool anyBlack = false, tinted = false;
    for (int py = 10; py < 10 + lineHeight; ++py)
        for (int px = 10; px < 10 + defaultWidth; ++px) {
            Color c = pixel(px, py);
            anyBlack |= c == black;
            tinted |= c.blue8() > c.red8() + 16;
        }
    EXPECT_TRUE(anyBlack);
    EXPECT_FALSE(tinted);
    EXPECT_EQ(pixel(markX, markY), black) << "the blank's mark";

    // Frames in exclusive-or: drawn twice, the area is the background again; once, it shows.
    const Rectangle twiceArea(20, 200, 120, 260);
    ASSERT_TRUE(areaIs(twiceArea, white));
    view.drawFrame({20, 200, 101, 61}, 7);
    EXPECT_FALSE(areaIs(twiceArea, white));
    view.drawFrameBetween({120, 260}, {20, 200}, 7);
    EXPECT_TRUE(areaIs(twiceArea, white)) << "the second frame erased the first";
    view.drawFrame({150, 200, 101, 61}, 7);
    EXPECT_NE(pixel(150, 200), white);
    EXPECT_NE(pixel(152, 202), white) << "a corner handle";
    EXPECT_EQ(pixel(200, 230), white) << "the frame's inside";

    // A scaled bitmap: 20 x 10, left half red, right half blue, drawn 60 x 30.
    VirtualDevice small;
    small.setOutputSizePixel(Size(20, 10));
    small.setPen(Pen(Color(), 0, PEN_NULL));
    small.setFillInBrush(Brush(Color::fromRGB8(255, 0, 0)));
    small.drawRect(Rectangle(0, 0, 9, 9));
    small.setFillInBrush(Brush(Color::fromRGB8(0, 0, 255)));
    small.drawRect(Rectangle(10, 0, 19, 9));
    view.drawBitmap({280, 200, 60, 30}, small.getBitmap(Point(0, 0), Size(20, 10)));
    EXPECT_EQ(pixel(285, 215), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(pixel(335, 215), Color::fromRGB8(0, 0, 255));

    // A recorded picture played into a rectangle twice its size.
    PictureRecorder recorder(Size(40, 40));
    recorder.setPen(Pen(Color::fromRGB8(0, 128, 0)));
    recorder.setFillInBrush(Brush(Color::fromRGB8(0, 160, 0)));
    recorder.drawEllipse(Rectangle(0, 0, 39, 39));
    recorder.drawLine(Point(0, 39), Point(39, 0));
    view.drawMetafile({360, 200, 80, 80}, recorder.takePicture());
    EXPECT_EQ(pixel(380, 220), Color::fromRGB8(0, 160, 0));

    // A highlight over the blue half of the bitmap and white paper inverts both.
    const Color beforeBlue = pixel(335, 215), beforeWhite = pixel(345, 215);
    view.highlightRect({330, 205, 30, 20});
    auto inverse = [](const Color& c) {
        return Color::fromRGB8(std::uint8_t(255 - c.red8()), std::uint8_t(255 - c.green8()), std::uint8_t(255 - c.blue8()));
    };
    EXPECT_EQ(pixel(335, 215), inverse(beforeBlue));
    EXPECT_EQ(pixel(345, 215), inverse(beforeWhite));

    device.flushDrawing();
    const std::filesystem::path dir = std::filesystem::path(KELVO_BINARY_DIR) / "tests" / "document" / "views";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(device.image()->save(QString::fromStdString((dir / "window_view.png").string())));
}

}  // namespace
