// Windows: back buffer drawing, exclusive-or and inversion restore every pixel, the empty-edge
// value and the 16-bit clamp, input translation, self-deletion inside a handler, scrolling.
#include "platform/gui/Window.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"

namespace {

class Canvas : public WorkWindow {
public:
    Canvas() : WorkWindow(nullptr, WB_FRAME) {
        setSizePixel(Size(200, 120));
        show();
        update();
    }
    void paint(const Rectangle& r) override {
        ++paints;
        erase(r);
    }
    void keyInput(const KeyEvent& e) override { keys.push_back(e); }
    void requestHelp() override { ++helps; }
    void mouseButtonDown(const MouseEvent& e) override { downs.push_back(e); }
    int paints = 0, helps = 0;
    std::vector<KeyEvent> keys;
    std::vector<MouseEvent> downs;
};

QImage buffer(Window& w) { return gui::test::grabBackBuffer(w); }

// A background of a gradient, lines and text to draw over.
void drawBackground(Window& w) {
    for (int x = 0; x < 200; ++x) {
        w.setPen(Pen(Color::fromRGB8(static_cast<uint8_t>(x), static_cast<uint8_t>(255 - x), 90)));
        w.drawLine(Point(x, 0), Point(x, 119));
    }
    w.setPen(Pen(Color(COL_BLACK)));
    w.drawLine(Point(0, 0), Point(199, 119));
    Font f("Times New Roman", Size(0, 20));
    w.setFont(f);
    w.drawText(Point(20, 40), "Kelvo \xE9\x80");
}

TEST(Window, BackBufferHoldsDrawingOutsidePaintEvents) {
    Canvas w;
    w.setPen(Pen(Color::fromRGB8(255, 0, 0)));
    w.drawLine(Point(5, 5), Point(50, 5));
    QImage img = buffer(w);
    ASSERT_EQ(img.size(), QSize(200, 120));
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(50, 5), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(5, 6), qRgb(255, 255, 255));
    // The screen shows the same pixels without another paint call into the program.
    int paintsBefore = w.paints;
    QImage shown = gui::test::grabWindow(w);
    EXPECT_EQ(shown.pixel(20, 5), qRgb(255, 0, 0));
    EXPECT_EQ(w.paints, paintsBefore);
    // An invalidated area is painted again by the program at update.
    w.invalidate(Rectangle(0, 0, 60, 10));
    w.update();
    EXPECT_GT(w.paints, paintsBefore);
    EXPECT_EQ(buffer(w).pixel(20, 5), qRgb(255, 255, 255));
}

struct XorCase { const char* name; Color pen; bool useInvert; };

TEST(Window, ExclusiveOrAndInversionTwiceRestoreEveryPixel) {
    const XorCase cases[] = {
        {"black pen", Color(COL_BLACK), false},
        {"coloured pen", Color::fromRGB8(30, 140, 220), false},
        {"inversion", Color(COL_BLACK), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas w;
        drawBackground(w);
        const QImage before = buffer(w);
        auto once = [&] {
            if (c.useInvert) {
                w.invert(Rectangle(10, 10, 150, 90));
                w.invert(Rectangle(Point(3, 3), Size(0, 50)));  // empty: nothing
                return;
            }
            w.setRasterOp(ROP_XOR);
            w.setPen(Pen(c.pen));
            w.setFillInBrush(Brush(Color(COL_BLACK), BRUSH_NULL));
            w.drawRect(Rectangle(10, 10, 150, 90));
            w.drawLine(Point(0, 60), Point(199, 61));
            w.drawPolyLine(Polygon{Point(5, 100), Point(50, 20), Point(120, 110)});
            w.setRasterOp(ROP_OVERPAINT);
        };
        once();
        const QImage middle = buffer(w);
        EXPECT_NE(middle, before) << "the first drawing changed no pixel";
        once();
        const QImage after = buffer(w);
        ASSERT_EQ(after.sizeInBytes(), before.sizeInBytes());
        EXPECT_EQ(0, std::memcmp(after.constBits(), before.constBits(), static_cast<size_t>(before.sizeInBytes())));
    }
}

TEST(Window, ExclusiveOrWithBlackPenShowsOnWhite) {
    Canvas w;
    w.setRasterOp(ROP_XOR);
    w.setPen(Pen(Color(COL_BLACK)));
    w.drawLine(Point(10, 10), Point(100, 10));
    EXPECT_EQ(buffer(w).pixel(50, 10), qRgb(0, 0, 0));
}

TEST(Window, EmptyEdgeDrawsNothingAndLinesClampAt16Bits) {
    Canvas w;
    const QImage blank = buffer(w);
    w.setPen(Pen(Color(COL_BLACK)));
    w.setFillInBrush(Brush(Color(COL_BLACK)));
    w.drawRect(Rectangle(10, 10, RECT_EMPTY, 50));
    w.drawRect(Rectangle(10, 10, 50, RECT_EMPTY));
    w.invert(Rectangle(10, 10, RECT_EMPTY, 50));
    w.erase(Rectangle(0, 0, RECT_EMPTY, RECT_EMPTY));
    EXPECT_EQ(buffer(w), blank);

    Canvas a, b;
    a.setPen(Pen(Color(COL_BLACK)));
    b.setPen(Pen(Color(COL_BLACK)));
    Point far(0, 0);
    far.x = 40000;  // a caller that forgot to clamp
    far.y = 30;
    a.drawLine(Point(0, 30), far);
    b.drawLine(Point(0, 30), Point(32767, 30));
    EXPECT_EQ(buffer(a), buffer(b));
    EXPECT_EQ(buffer(a).pixel(199, 30), qRgb(0, 0, 0));
    Point wrapped;
    wrapped.x = 65536 + 100;  // would wrap to 100 in 16 bits
    wrapped.y = 60;
    a.drawLine(Point(199, 60), wrapped);
    EXPECT_EQ(buffer(a).pixel(150, 60), qRgb(255, 255, 255)) << "the line wrapped around";
}

struct KeyCase { const char* name; int qtKey; Qt::KeyboardModifiers mods; QString text; uint16_t code; uint8_t ch; int function; };

TEST(Window, KeyEventsTranslate) {
    const KeyCase cases[] = {
        {"Return", Qt::Key_Return, Qt::NoModifier, "\r", KEY_RETURN, '\r', 0},
        {"Shift+Return", Qt::Key_Return, Qt::ShiftModifier, "\r", KEY_RETURN | KEY_SHIFT, '\r', 0},
        {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier, "", KEY_RETURN | KEY_MOD1, 0, 0},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, "\x1b", KEY_ESCAPE, 0x1b, 0},
        {"Shift+Tab", Qt::Key_Backtab, Qt::ShiftModifier, "", KEY_TAB | KEY_SHIFT, 0, 0},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, "\b", KEY_BACKSPACE, '\b', 0},
        {"Delete", Qt::Key_Delete, Qt::NoModifier, "", KEY_DELETE, 0, 0},
        {"cursor up", Qt::Key_Up, Qt::NoModifier, "", KEY_UP, 0, 0},
        {"page down", Qt::Key_PageDown, Qt::NoModifier, "", KEY_PAGEDOWN, 0, 0},
        {"letter", Qt::Key_A, Qt::NoModifier, "a", KEY_A, 'a', 0},
        {"e acute", Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)), KEY_OTHER, 0xE9, 0},
        {"euro", Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x20AC)), KEY_OTHER, 0x80, 0},
        {"Ctrl+H", Qt::Key_H, Qt::ControlModifier, "\b", (KEY_A + 7) | KEY_MOD1, 0, 0},
        {"Ctrl+C is Copy", Qt::Key_C, Qt::ControlModifier, "\x03", (KEY_A + 2) | KEY_MOD1, 0, KEYFUNC_COPY},
        {"Ctrl+V is Paste", Qt::Key_V, Qt::ControlModifier, "\x16", (KEY_A + 21) | KEY_MOD1, 0, KEYFUNC_PASTE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas w;
        QKeyEvent ev(QEvent::KeyPress, c.qtKey, c.mods, c.text);
        QApplication::sendEvent(static_cast<QWidget*>(w.getNativeHandle()), &ev);
        ASSERT_EQ(w.keys.size(), 1u);
        EXPECT_EQ(w.keys[0].getKeyCode(), c.code);
        EXPECT_EQ(w.keys[0].getCharCode(), c.ch);
        EXPECT_EQ(w.keys[0].getFunction(), c.function);
        EXPECT_FALSE(w.keys[0].isRepeat());
    }
    Canvas w;
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(static_cast<QWidget*>(w.getNativeHandle()), &f1);
    EXPECT_EQ(w.helps, 1);
    EXPECT_TRUE(w.keys.empty());
    QKeyEvent rep(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(static_cast<QWidget*>(w.getNativeHandle()), &rep);
    ASSERT_EQ(w.keys.size(), 1u);
    EXPECT_TRUE(w.keys[0].isRepeat());
}

void press(Window& w, QPoint at, Qt::MouseButton b, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent ev(QEvent::MouseButtonPress, QPointF(at), QPointF(at), b, b, mods);
    QApplication::sendEvent(static_cast<QWidget*>(w.getNativeHandle()), &ev);
}

TEST(Window, MouseClicksAreCountedByTheLayer) {
    Canvas w;
    press(w, QPoint(10, 10), Qt::LeftButton);
    press(w, QPoint(11, 10), Qt::LeftButton);
    press(w, QPoint(11, 11), Qt::LeftButton);
    press(w, QPoint(100, 100), Qt::LeftButton);  // far away: a new single click
    press(w, QPoint(100, 100), Qt::RightButton, Qt::ShiftModifier);
    ASSERT_EQ(w.downs.size(), 5u);
    EXPECT_EQ(w.downs[0].getClicks(), 1);
    EXPECT_EQ(w.downs[1].getClicks(), 2);
    EXPECT_EQ(w.downs[2].getClicks(), 3);
    EXPECT_EQ(w.downs[3].getClicks(), 1);
    EXPECT_EQ(w.downs[4].getClicks(), 1);
    EXPECT_EQ(w.downs[0].getButtons(), MOUSE_LEFT);
    EXPECT_EQ(w.downs[4].getButtons(), MOUSE_RIGHT);
    EXPECT_EQ(w.downs[4].getModifier(), KEY_SHIFT);
    EXPECT_EQ(w.downs[2].getPosPixel(), Point(11, 11));
}

// Deletes itself in its own button-down handler, as a dismissed pop-up does.
class SelfDeleting : public Window {
public:
    explicit SelfDeleting(bool* flag) : Window(nullptr, WB_FRAME), deleted_(flag) { setSizePixel(Size(50, 50)); show(); }
    ~SelfDeleting() override { *deleted_ = true; }
    void mouseButtonDown(const MouseEvent&) override {
        drawLine(Point(0, 0), Point(10, 10));
        delete this;
    }
    void loseFocus() override { ADD_FAILURE() << "event reached a destroyed window"; }

private:
    bool* deleted_;
};

TEST(Window, WindowDeletedInItsOwnHandlerIsNotTouchedAgain) {
    bool deleted = false;
    auto* w = new SelfDeleting(&deleted);
    QWidget* peer = static_cast<QWidget*>(w->getNativeHandle());
    QMouseEvent ev(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(peer, &ev);
    EXPECT_TRUE(deleted);
    // The peer goes after the handler returned; pumping deletes it without touching the window.
    Application::reschedule();
    Application::reschedule();
}

TEST(Window, ChildPeerDeletedWithItsParentLeavesTheChildWindowUsable) {
    auto* parent = new Canvas;
    Window child(parent, WB_BAR);
    child.setSizePixel(Size(20, 20));
    delete parent;
    EXPECT_EQ(child.getNativeHandle(), nullptr);
    child.show();
    child.invalidate();
    child.update();
    child.drawLine(Point(0, 0), Point(5, 5));
    EXPECT_EQ(child.getSizePixel(), Size());
}

TEST(Window, ScrollMovesPixelsAndInvalidatesTheStrip) {
    Canvas w;
    w.setPen(Pen(Color(COL_BLACK)));
    w.drawLine(Point(0, 50), Point(199, 50));
    int paints = w.paints;
    w.scroll(0, -20);
    QImage img = buffer(w);  // update runs the program's paint for the exposed strip
    EXPECT_EQ(img.pixel(100, 30), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(100, 50), qRgb(255, 255, 255));
    EXPECT_GT(w.paints, paints);
}

TEST(Window, TextCaretIsDrawnOverTheBufferNeverIntoIt) {
    Canvas w;
    Cursor caret;
    caret.setPos(Point(30, 30));
    caret.setSize(Size(2, 16));
    w.setCursor(&caret);
    caret.show();
    w.grabFocus();
    QImage back = buffer(w);
    EXPECT_EQ(back.pixel(30, 35), qRgb(255, 255, 255));
    EXPECT_EQ(w.getCursor(), &caret);
}

TEST(Window, TextAndPaletteAndPointer) {
    Canvas w;
    w.setText("Caf\xE9 \x80");
    EXPECT_EQ(w.getText(), String("Caf\xE9 \x80"));
    EXPECT_EQ(static_cast<QWidget*>(w.getNativeHandle())->windowTitle(), QString::fromUtf8("Café €"));
    Palette p;
    p.colors.push_back(Color(COL_WINDOWTEXT));
    EXPECT_TRUE(w.setPalette(p).colors.empty());
    EXPECT_EQ(w.setPalette(Palette()), p);
    w.setPointer(Pointer(1006));
    EXPECT_EQ(static_cast<QWidget*>(w.getNativeHandle())->cursor().shape(), Qt::PointingHandCursor);
}

}  // namespace
