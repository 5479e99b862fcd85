// The split bar (rules in Splitter.h).
#include "platform/gui/Splitter.h"

#include <algorithm>

Splitter::Splitter(Window* parent, uint32_t style) : Window(parent, style | WB_SPLITTER) {
    setPointer(Pointer(isHorizontal() ? 1002 : 1003));
}

void Splitter::setDragRectPixel(const Rectangle& r) {
    drag_ = r;
    drag_.justify();
}

long Splitter::limit(long pos) const {
    if (drag_.isEmpty()) return pos;
    const Size s = getSizePixel();
    long lo = isHorizontal() ? drag_.top : drag_.left;
    long hi = (isHorizontal() ? drag_.bottom - s.height : drag_.right - s.width) + 1;
    return std::clamp(pos, lo, std::max(lo, hi));
}

void Splitter::setSplitPosPixel(long pos) {
    pos_ = limit(pos);
    Point p = getPosPixel();
    if (isHorizontal()) setPosPixel(Point(p.x, pos_));
    else setPosPixel(Point(pos_, p.y));
}

void Splitter::mouseButtonDown(const MouseEvent& e) {
    if (!e.isLeft()) return;
    dragging_ = true;
    startPos_ = pos_;
    grabOffset_ = isHorizontal() ? e.getPosPixel().y : e.getPosPixel().x;
    captureMouse();
}

void Splitter::mouseMove(const MouseEvent& e) {
    if (!dragging_) return;
    // Mouse positions are in the bar's own pixels; the bar moves with the pointer.
    const long delta = (isHorizontal() ? e.getPosPixel().y : e.getPosPixel().x) - grabOffset_;
    setSplitPosPixel(pos_ + delta);
}

void Splitter::mouseButtonUp(const MouseEvent& e) {
    if (!dragging_) return;
    mouseMove(e);
    dragging_ = false;
    releaseMouse();
    if (pos_ != startPos_) {
        Link l = split_;
        l.call(this);
    }
}
