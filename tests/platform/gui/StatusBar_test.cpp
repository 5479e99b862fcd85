// Status bar: items on the right with their widths, the message across the bar while the items
// are hidden; scroll bars: 16-bit values, the scroll handlers and their thickness.
#include "platform/gui/StatusBar.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>

#include <gtest/gtest.h>

#include "platform/gui/ScrollBar.h"
#include "platform/gui/gui_test.h"

namespace {

bool hasDarkPixel(const QImage& img, const Rectangle& r) {
    for (long y = r.top; y <= r.bottom; ++y)
        for (long x = r.left; x <= r.right; ++x)
            if (img.valid(x, y) && qGray(img.pixel(x, y)) < 100) return true;
    return false;
}

TEST(StatusBar, ItemsRightAlignedAndMessageAcrossWhenHidden) {
    StatusBar bar(nullptr);
    bar.setSizePixel(Size(400, 24));
    bar.show();
    bar.insertItem(1, 60);
    bar.insertItem(2, 80);
    bar.insertItem(3, -5);  // no negative widths
    EXPECT_EQ(bar.getItemCount(), 3);
    Rectangle r1 = bar.getItemRect(1), r2 = bar.getItemRect(2);
    EXPECT_EQ(r2.right - r2.left + 1, 80);
    EXPECT_EQ(r1.right - r1.left + 1, 60);
    EXPECT_LT(r1.right, r2.left);  // inserted first, further left
    EXPECT_LE(r2.right, 399);
    bar.setItemText(2, "Ready");
    EXPECT_EQ(bar.getItemText(2), String("Ready"));
    EXPECT_EQ(bar.getItemText(77), String());

    // A long message stops left of the items while they show ...
    bar.setText(String(std::string(80, 'W')));
    QImage shown = gui::test::grabBackBuffer(bar);
    Rectangle inside1(r1.left + 2, r1.top + 2, r1.right - 2, r1.bottom - 2);  // item 1 has no text
    EXPECT_FALSE(hasDarkPixel(shown, inside1));
    EXPECT_TRUE(hasDarkPixel(shown, Rectangle(0, 0, r1.left - 1, 23)));
    EXPECT_FALSE(hasDarkPixel(shown, Rectangle(r2.right + 2, 0, 399, 23)));
    // ... and runs across the bar when they are hidden.
    bar.hideItems();
    EXPECT_FALSE(bar.areItemsVisible());
    EXPECT_TRUE(bar.getItemRect(1).isEmpty());
    QImage hidden = gui::test::grabBackBuffer(bar);
    EXPECT_TRUE(hasDarkPixel(hidden, Rectangle(r2.left, 2, r2.right, 21)));
    EXPECT_TRUE(hasDarkPixel(hidden, inside1));
    bar.showItems();
    bar.removeItem(1);
    EXPECT_EQ(bar.getItemCount(), 2);
    EXPECT_GT(bar.calcWindowSizePixel().height, 0);
}

TEST(ScrollBar, ValuesAreClampedTo16Bits) {
    ScrollBar sb(nullptr, WB_SCROLL_VERT);
    EXPECT_TRUE(sb.isVertical());
    const struct { const char* name; Range in; Range out; } ranges[] = {
        {"plain", Range(0, 1000), Range(0, 1000)},
        {"too large", Range(0, 100000), Range(0, 32767)},
        {"too small", Range(-70000, 10), Range(-32768, 10)},
        {"reversed", Range(50, 10), Range(10, 50)},
    };
    for (const auto& c : ranges) {
        sb.setRange(c.in);
        EXPECT_EQ(sb.getRange(), c.out) << c.name;
    }
    sb.setRange(Range(0, 32767));
    sb.setThumbPos(40000);
    EXPECT_EQ(sb.getThumbPos(), 32767);
    sb.setThumbPos(-5);
    EXPECT_EQ(sb.getThumbPos(), 0);
    sb.setPageSize(70000);
    EXPECT_EQ(sb.getPageSize(), 32767);
    sb.setVisibleSize(-3);
    EXPECT_EQ(sb.getVisibleSize(), 0);
    ScrollBar h(nullptr, WB_SCROLL_HORZ);
    EXPECT_FALSE(h.isVertical());
}

TEST(ScrollBar, HandlersTellDeltaAndType) {
    ScrollBar sb(nullptr, WB_SCROLL_HORZ);
    sb.setRange(Range(0, 100));
    sb.setLineSize(3);
    sb.setPageSize(20);
    sb.setThumbPos(50);
    int scrolls = 0, ends = 0;
    long seenInHandler = -1;
    sb.setScrollHdl(Link([&](void*) {
        ++scrolls;
        seenInHandler = sb.getThumbPos();
        return 1L;
    }));
    sb.setEndScrollHdl(Link([&](void*) { ++ends; return 1L; }));
    const struct { const char* name; int type; long delta; long pos; } steps[] = {
        {"line down", SCROLL_LINEDOWN, 3, 53},
        {"line up", SCROLL_LINEUP, -3, 50},
        {"page down", SCROLL_PAGEDOWN, 20, 70},
        {"page down at the end", SCROLL_PAGEDOWN, 20, 90},
        {"page down clamps", SCROLL_PAGEDOWN, 10, 100},
        {"page up", SCROLL_PAGEUP, -20, 80},
    };
    int n = 0;
    for (const auto& s : steps) {
        sb.doScroll(s.type);
        ++n;
        EXPECT_EQ(sb.getType(), s.type) << s.name;
        EXPECT_EQ(sb.getDelta(), s.delta) << s.name;
        EXPECT_EQ(sb.getThumbPos(), s.pos) << s.name;
        EXPECT_EQ(seenInHandler, s.pos) << s.name << ": the handler sees the new position";
        EXPECT_EQ(scrolls, n) << s.name;
        EXPECT_EQ(ends, n) << s.name;
    }
    // Positions the program sets run no handler.
    sb.setThumbPos(10);
    EXPECT_EQ(scrolls, n);
}

// A press on an arrow scrolls at once; its release ends the scroll, as the release of a dragged
// thumb does.  A new bar is as thick as the style draws bars.
TEST(ScrollBar, ReleasingAnArrowEndsTheScroll) {
    ScrollBar sb(nullptr, WB_SCROLL_VERT);
    auto* peer = static_cast<QWidget*>(sb.getNativeHandle());
    auto* qbar = peer->findChild<QScrollBar*>();
    ASSERT_NE(qbar, nullptr);
    EXPECT_EQ(sb.getSizePixel().width, qbar->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, qbar));
    sb.setSizePixel(Size(sb.getSizePixel().width, 200));
    sb.setRange(Range(0, 100));
    sb.setLineSize(7);
    sb.show();
    int scrolls = 0, ends = 0;
    sb.setScrollHdl(Link([&](void*) { ++scrolls; return 1L; }));
    sb.setEndScrollHdl(Link([&](void*) { ++ends; return 1L; }));
    const QPointF lowerArrow(qbar->width() / 2.0, qbar->height() - 3.0);
    QMouseEvent press(QEvent::MouseButtonPress, lowerArrow, qbar->mapToGlobal(lowerArrow), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(qbar, &press);
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(sb.getDelta(), 7);
    EXPECT_EQ(ends, 0);
    QMouseEvent release(QEvent::MouseButtonRelease, lowerArrow, qbar->mapToGlobal(lowerArrow), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(qbar, &release);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(sb.getThumbPos(), 7);
}

}  // namespace
