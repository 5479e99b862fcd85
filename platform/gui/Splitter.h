#pragma once
// Splitter: a bar the user drags within an area to split it.  Style WB_SPLITTER (0x2000) is a
// horizontal bar that moves up and down; with WB_SPLITTER_VERT also set it is a vertical bar
// that moves left and right.
//
// The program paints the bar (override paint) and lays its area out again from the split
// handler, which runs once when a drag ends at a new position.  The position is the bar's top
// (or left) edge in the parent's pixels and always lies within the drag area.

#include <cstdint>

#include "platform/gui/Window.h"
#include "platform/gui/base/Link.h"

enum : uint32_t { WB_SPLITTER_VERT = 0x0400 };

class Splitter : public Window {
public:
    explicit Splitter(Window* parent, uint32_t style = WB_SPLITTER);

    bool isHorizontal() const { return (getStyle() & WB_SPLITTER_VERT) == 0; }
    // The area (parent pixels) within which the bar may be dragged.
    void setDragRectPixel(const Rectangle& r);
    const Rectangle& getDragRectPixel() const { return drag_; }
    // Moves the bar; the position is kept within the drag area.
    void setSplitPosPixel(long pos);
    long getSplitPosPixel() const { return pos_; }
    // Runs after a drag that moved the bar; getSplitPosPixel tells where.
    void setSplitHdl(const Link& l) { split_ = l; }
    bool isDragging() const { return dragging_; }

    void mouseButtonDown(const MouseEvent& e) override;
    void mouseMove(const MouseEvent& e) override;
    void mouseButtonUp(const MouseEvent& e) override;

private:
    long limit(long pos) const;
    Rectangle drag_;
    long pos_ = 0;
    long grabOffset_ = 0;
    long startPos_ = 0;
    bool dragging_ = false;
    Link split_;
};
