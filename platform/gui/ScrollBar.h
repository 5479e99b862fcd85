#pragma once
// ScrollBar: a scroll bar window over QScrollBar (style WB_SCROLL_VERT or WB_SCROLL_HORZ).
// Ranges, positions, line, page and visible sizes are 16-bit: every value the bar receives is
// clamped to -32768..32767, so a program whose document is taller scales its positions itself.
//
// Handlers: scroll (the user moved the thumb or pressed a part of the bar; getDelta tells the
// change, getType what was pressed) and end-scroll (the mouse button that pressed the bar was
// released, after a drag of the thumb or a press of an arrow or the track).  A new bar is as
// thick as the style draws scroll bars.

#include <cstdint>
#include <memory>

#include "platform/gui/Window.h"
#include "platform/gui/base/Link.h"

struct Range {
    long min = 0, max = 0;
    Range() = default;
    Range(long a, long b) : min(a), max(b) {}
    bool operator==(const Range&) const = default;
};

enum ScrollType : int {
    SCROLL_DONTKNOW = 0,
    SCROLL_LINEUP = 1,
    SCROLL_LINEDOWN = 2,
    SCROLL_PAGEUP = 3,
    SCROLL_PAGEDOWN = 4,
    SCROLL_DRAG = 5,
    SCROLL_SET = 6,
};

class ScrollBar : public Window {
public:
    ScrollBar(Window* parent, uint32_t style);
    ~ScrollBar() override;

    void setRange(const Range& r);
    Range getRange() const;
    void setThumbPos(long pos);
    long getThumbPos() const;
    void setLineSize(long n);
    long getLineSize() const;
    void setPageSize(long n);
    long getPageSize() const;
    // The part of the range the view shows (the thumb's length).
    void setVisibleSize(long n);
    long getVisibleSize() const;
    // The change of the last scroll and what caused it.
    long getDelta() const;
    int getType() const;
    bool isVertical() const;

    void setScrollHdl(const Link& l);
    void setEndScrollHdl(const Link& l);
    // Moves as a user's action would (test mode, keyboard): runs the handlers.
    void doScroll(int type);

    struct BarImpl;

private:
    std::unique_ptr<BarImpl> bar_;
};
