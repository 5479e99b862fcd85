// WindowView over a recording device: what reached the device is what the view drew.  Sizes
// are compared with what a device of the same resolution measures, never with numbers of a
// particular font.
#include "document/views/WindowView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gui/Picture.h"
#include "tests/document/views/views_fixture.h"

namespace {

class WindowViewTest : public viewtests::ViewsFixture {
protected:
    WindowViewTest() : recorder(Size(600, 400)), view(doc, &recorder, &cache) {
        view.setViewSize(600, 400);
        style = addStyle("Arial", 12);
    }
    std::vector<PictureAction> actionsOf(int type) const {
        std::vector<PictureAction> out;
        for (const PictureAction& a : recorder.getPicture().actions())
            if (a.type == type) out.push_back(a);
        return out;
    }
    void selectTestStyle() { view.selectStyleParts(std::int16_t(style), 0, -1, false); }
    FontEntry* entry() { return static_cast<FontEntry*>(view.currentFont()); }
    // What a device of the same resolution measures in the current entry's font.
    long deviceWidth(const std::string& text) {
        reference.setFont(entry()->font());
        return reference.getTextWidth(String(text));
    }

    FontCache cache;
    PictureRecorder recorder;
    WindowView view;
    VirtualDevice reference;
    int style = 0;
};

TEST_F(WindowViewTest, ClampedConversionAndLinesEndingThere) {
    ElementPoint right = view.documentToWindowXY16(40000, 10);
    ElementPoint left = view.documentToWindowXY16(-40000, 10);
    EXPECT_EQ(right.x, 32767);
    EXPECT_EQ(left.x, -32768);
    view.drawLine({0, 0}, {40000, -40000}, 0);
    view.drawLine({0, 0}, {-40000, 40000}, 3);
    std::vector<PictureAction> lines = actionsOf(PA_LINE);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].point2, Point(32767, -32768));
    EXPECT_EQ(lines[1].point2, Point(-32768, 32767));
    // The wide line used a pen of its own width inside a push and pop.
    EXPECT_EQ(actionsOf(PA_PUSH).size(), 1u);
    EXPECT_EQ(actionsOf(PA_POP).size(), 1u);
}

TEST_F(WindowViewTest, ZeroSidesReachTheDeviceAsEmptyEdgesAndDrawNothing) {
    view.fillRect({10, 10, 0, 20}, 0x0000FF, 0, 1);
    view.fillRectIndexed({10, 10, 20, 0}, 3, 1);
    std::vector<PictureAction> rects = actionsOf(PA_RECT);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0].rect.right, RECT_EMPTY);
    EXPECT_EQ(rects[1].rect.bottom, RECT_EMPTY);
    // Played on a real device, they change no pixel.
    VirtualDevice target;
    target.setOutputSizePixel(Size(40, 40));
    Bitmap before = target.getBitmap(Point(0, 0), Size(40, 40));
    WindowView onTarget(doc, &target, &cache);
    onTarget.setViewSize(40, 40);
    onTarget.fillRect({10, 10, 0, 20}, 0x0000FF, 0, 1);
    onTarget.fillRectIndexed({10, 10, 20, 0}, 3, 1);
    EXPECT_EQ(target.getBitmap(Point(0, 0), Size(40, 40)), before);
}

TEST_F(WindowViewTest, NoStyleSelectedAnswersNothing) {
    EXPECT_EQ(view.currentFont(), nullptr);
    EXPECT_EQ(view.setTextColour(0x00FF00, 0), nullptr);
    EXPECT_EQ(view.fontMetrics(), nullptr);
    ExtentRecord e;
    view.stringExtent(e, "text", -1);
    EXPECT_EQ(e.width, 0);
    view.drawText({0, 0}, "text", -1, false);
    EXPECT_TRUE(actionsOf(PA_TEXT).empty());
}

TEST_F(WindowViewTest, HighlightInvertsOnlyTheVisiblePartAndKeepsTheCallersRectangle) {
    struct Row {
        const char* name;
        ElementRect rect;
        bool drawn;
        Rectangle inverted;
    } rows[] = {
        {"wholly right of the view", {700, 10, 50, 20}, false, {}},
        {"wholly below the view", {10, 500, 50, 20}, false, {}},
        {"inside", {10, 10, 5, 5}, true, Rectangle(10, 10, 14, 14)},
        {"starts left of the view", {-30, 10, 100, 20}, true, Rectangle(0, 10, 69, 29)},
        {"starts above the view", {20, -5, 10, 10}, true, Rectangle(20, 0, 29, 4)},
        {"over the right edge", {590, 0, 30, 10}, true, Rectangle(590, 0, 599, 9)},
        {"wholly left of the view", {-100, 10, 50, 20}, false, {}},
        {"zero width", {10, 10, 0, 20}, false, {}},
    };
    for (const Row& r : rows) {
        (void)recorder.takePicture();
        ElementRect caller = r.rect;
        view.highlightRect(caller);
        EXPECT_EQ(caller.x, r.rect.x) << r.name;
        EXPECT_EQ(caller.width, r.rect.width) << r.name;
        EXPECT_EQ(caller.y, r.rect.y) << r.name;
        EXPECT_EQ(caller.height, r.rect.height) << r.name;
        std::vector<PictureAction> inverts = actionsOf(PA_INVERT);
        ASSERT_EQ(inverts.size(), r.drawn ? 1u : 0u) << r.name;
        if (r.drawn) {
            EXPECT_EQ(inverts[0].rect, r.inverted) << r.name;
        }
    }
}

TEST_F(WindowViewTest, ColourNamesPenAndFillStyles) {
    struct Row {
        const char* name;
        std::uint32_t rgb;
        int index;
        int code;
        RGB8 components;
    } rows[] = {
        {"RGB value, red in the low byte", 0x3020FF, 0, COL_RGB, {0xFF, 0x20, 0x30}},
        {"index 1", 0, 1, COL_BUTTONFACE, {192, 192, 192}},
        {"index 2", 0, 2, COL_SHADOW, {128, 128, 128}},
        {"index 3", 0, 3, COL_HIGHLIGHT, {255, 255, 255}},
        {"index 4", 0, 4, COL_BUTTONTEXT, {0, 0, 0}},
        {"index 5, the automatic text colour, is black", 0xFFFFFF, 5, COL_WINDOWTEXT, {0, 0, 0}},
        {"any other index", 0xFFFFFF, 9, COL_BLACK, {0, 0, 0}},
    };
    for (const Row& r : rows) {
        Color c = WindowView::colourFor(r.rgb, r.index);
        EXPECT_EQ(c.getCode(), r.code) << r.name;
        EXPECT_EQ(c, Color::fromRGB8(r.components.r, r.components.g, r.components.b)) << r.name;
    }
    const int pens[][2] = {{0, PEN_NULL}, {1, PEN_SOLID}, {2, PEN_DASH}, {3, PEN_DOT}, {4, PEN_DASHDOT}, {7, PEN_SOLID}};
    for (const auto& p : pens) EXPECT_EQ(WindowView::penStyleFor(p[0]), p[1]) << p[0];
    const int fills[][2] = {{0, BRUSH_NULL}, {1, BRUSH_SOLID}, {2, BRUSH_HATCH}, {3, BRUSH_SOLID}};
    for (const auto& f : fills) EXPECT_EQ(WindowView::fillStyleFor(f[0]), f[1]) << f[0];
}

TEST_F(WindowViewTest, DefaultStylesDrawInBlack) {
    view.selectStyleParts(-1, 0, -1, false);   // the paragraph style Normal's own character part
    ASSERT_NE(entry(), nullptr);
    EXPECT_EQ(entry()->font().getColor(), Color::fromRGB8(0, 0, 0));
    const std::uint8_t* previous = view.setTextColour(0x0000FF, 0);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(previous[0], 0);
    EXPECT_EQ(entry()->font().getColor(), Color::fromRGB8(0xFF, 0, 0));
    previous = view.setTextColour(0, 5);
    EXPECT_EQ(previous[0], 0xFF) << "the colour before this call";
}

TEST_F(WindowViewTest, KeepVisibleTurnsTheFillColourWhiteOrBlack) {
    struct Row {
        const char* name;
        Color fill;
        std::uint32_t rgb;
        bool keep;
        Color pen;
    } rows[] = {
        {"white on white, red byte set: black", Color(COL_WHITE), 0xFFFFFF, true, Color(COL_BLACK)},
        {"black on black, red byte 0: white", Color(COL_BLACK), 0x000000, true, Color(COL_WHITE)},
        {"another colour stays", Color(COL_WHITE), 0x0000FF, true, Color::fromRGB8(0xFF, 0, 0)},
        {"without keep visible it stays", Color(COL_WHITE), 0xFFFFFF, false, Color(COL_WHITE)},
    };
    for (const Row& r : rows) {
        recorder.setFillInBrush(Brush(r.fill));
        view.setPen(r.rgb, 0, 0, 1, r.keep);
        EXPECT_EQ(recorder.getPen().color, r.pen) << r.name;
    }
}

TEST_F(WindowViewTest, StyleNoticesDropTheirFonts) {
    view.selectStyleParts(std::int16_t(style), 3, -1, false);
    view.selectStyleParts(std::int16_t(style), 0, -1, false);
    EXPECT_EQ(view.styleFonts().size(), 2);
    view.paraStyleChanged(3);
    EXPECT_EQ(view.styleFonts().size(), 1);
    EXPECT_NE(view.currentFont(), nullptr) << "the current key was not dropped";
    view.charStyleChanged(style, 0, -1);
    EXPECT_EQ(view.styleFonts().size(), 0);
    EXPECT_EQ(view.currentFont(), nullptr);
}

TEST_F(WindowViewTest, InvisibleCharacterMarks) {
    selectTestStyle();
    view.showInvisible = true;
    (void)recorder.takePicture();
    view.drawText({0, 0}, "a b\nc\td", -1, true);
    const FontEntryMetrics& m = *view.fontMetrics();
    std::vector<PictureAction> texts = actionsOf(PA_TEXT);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text.str(), "a b c d") << "cleaned";
    EXPECT_EQ(texts[0].point, Point(0, 0));

    // The blank: one pixel at half a blank's width after "a", half a line down.
    std::vector<PictureAction> pixels = actionsOf(PA_PIXEL);
    ASSERT_EQ(pixels.size(), 1u);
    EXPECT_EQ(pixels[0].point, Point(deviceWidth("a") + deviceWidth(" ") / 2, m.height / 2));

    // The newline: Symbol character 191 after "a b", moved by the difference of the ascents.
    EXPECT_EQ(texts[1].text.str(), "\xBF");
    EXPECT_EQ(texts[1].point.x, deviceWidth("a b"));
    Font symbol(String("Symbol"), entry()->font().getSize());
    symbol.setCharSet(CHARSET_SYMBOL);
    reference.setFont(symbol);
    EXPECT_EQ(texts[1].point.y, reference.getFontMetric().ascent - m.ascent);
    bool symbolFont = false;
    for (const PictureAction& a : actionsOf(PA_FONT)) symbolFont |= a.font.getName().str() == "Symbol";
    EXPECT_TRUE(symbolFont);

    // The tab: a box one unit inside the blank's cell after "a b c".
    std::vector<PictureAction> boxes = actionsOf(PA_POLYLINE);
    ASSERT_EQ(boxes.size(), 1u);
    const Polygon& box = boxes[0].polygons[0];
    ASSERT_EQ(box.size(), 5u);
    long x = deviceWidth("a b c") + 1;
    EXPECT_EQ(box[0], Point(x, 1));
    EXPECT_EQ(box[2], Point(x + deviceWidth(" ") - 2, 1 + m.height - 2));
    EXPECT_EQ(box[4], box[0]);
    // The marks' drawing state is saved and restored.
    EXPECT_EQ(actionsOf(PA_PUSH).size(), actionsOf(PA_POP).size());
}

TEST_F(WindowViewTest, TextsOfEveryBufferSizeDrawAndMeasureUnchanged) {
    selectTestStyle();
    for (std::size_t n : {std::size_t(128), std::size_t(129), std::size_t(2048), std::size_t(2049), std::size_t(70000)}) {
        std::string text;
        const char pattern[] = "Words\tand blanks ";
        while (text.size() < n) text += pattern[text.size() % (sizeof pattern - 1)];
        const std::string original = text;
        std::string cleaned = text;
        for (char& c : cleaned)
            if (static_cast<unsigned char>(c) < 33) c = ' ';

        (void)recorder.takePicture();
        view.drawText({5, 6}, text.c_str(), int(n), true);
        std::vector<PictureAction> drawn = actionsOf(PA_TEXT);
        ASSERT_EQ(drawn.size(), 1u) << n;
        EXPECT_EQ(drawn[0].text.str(), cleaned) << n;
        EXPECT_EQ(drawn[0].point, Point(5, 6)) << n;

        // The cleaned extent: one device call for a text within the long-text limit, else the
        // sum of the characters.
        ExtentRecord e;
        view.stringExtent(e, text.c_str(), int(n));
        long expected = 0;
        if (n <= std::size_t(entry()->longTextLimit())) {
            expected = deviceWidth(cleaned);
        } else {
            for (char c : cleaned) expected += entry()->charWidth(static_cast<unsigned char>(c));
        }
        EXPECT_EQ(e.width, expected) << n;
        EXPECT_EQ(e.height, view.fontMetrics()->lineSpacing) << n;
        EXPECT_EQ(e.ascent, view.fontMetrics()->ascent) << n;

        // The raw width: a text within the long-text limit in one device call, a longer one
        // by its characters; from 64 K on in pieces of 65534, each cut's pair measured together
        // and the rest last.
        auto measured = [&](const std::string& part) {
            if (part.size() <= std::size_t(entry()->longTextLimit())) return deviceWidth(part);
            long sum = 0;
            for (char c : part) sum += entry()->charWidth(static_cast<unsigned char>(c));
            return sum;
        };
        long width = 0;
        std::size_t at = 0;
        if (n >= 65536) {
            for (; n - at > std::size_t(FontEntry::LONG_TEXT_PIECE); at += FontEntry::LONG_TEXT_PIECE) {
                width += measured(text.substr(at, FontEntry::LONG_TEXT_PIECE));
                std::string pair = text.substr(at + FontEntry::LONG_TEXT_PIECE, 2);
                if (pair.size() == 2)
                    width += deviceWidth(pair) - entry()->charWidth(static_cast<unsigned char>(pair[0])) -
                             entry()->charWidth(static_cast<unsigned char>(pair[1]));
            }
        }
        width += measured(text.substr(at));
        EXPECT_EQ(view.textWidth(text.c_str(), int(n)), width) << n;
        EXPECT_EQ(text, original) << n << ": the caller's text is only read";
    }
}

TEST_F(WindowViewTest, CharWidthMeasuresControlCharactersAsBlanks) {
    selectTestStyle();
    EXPECT_EQ(view.charWidth('\t'), view.charWidth(' '));
    EXPECT_EQ(view.charWidth(0), view.charWidth(' '));
    EXPECT_EQ(view.charWidth('M'), deviceWidth("M"));
}

TEST_F(WindowViewTest, XorPolylineDrawsInExclusiveOrAndRestores) {
    const ElementPoint points[3] = {{0, 0}, {10, 0}, {10, 10}};
    view.drawXorPolyLine(2, points, 3);
    const auto& actions = recorder.getPicture().actions();
    std::vector<int> types;
    for (const PictureAction& a : actions) types.push_back(a.type);
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.front(), PA_PUSH);
    EXPECT_EQ(types.back(), PA_POP);
    std::vector<PictureAction> rops = actionsOf(PA_RASTEROP);
    ASSERT_EQ(rops.size(), 1u);
    EXPECT_EQ(rops[0].rasterOp, ROP_XOR);
    std::vector<PictureAction> pens = actionsOf(PA_PEN);
    ASSERT_EQ(pens.size(), 1u);
    EXPECT_EQ(pens[0].pen.width, 2);
    EXPECT_EQ(actionsOf(PA_POLYLINE).size(), 1u);
}

}  // namespace
