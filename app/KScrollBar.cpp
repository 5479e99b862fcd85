// Scaled scroll bar positions.
#include "app/KScrollBar.h"

#include <algorithm>
#include <cstdlib>

KScrollBar::KScrollBar(Window* parent, uint32_t style) : ScrollBar(parent, style) {}

void KScrollBar::setRange(long min, long max) {
    long larger = std::max(std::labs(min), std::labs(max));
    scale = static_cast<int32_t>(larger / 32767 + 1);
    ScrollBar::setRange(Range(min / scale, max / scale));
}

long KScrollBar::setThumbPos(long position) {
    ScrollBar::setThumbPos(position / scale);
    return getThumbPos() * scale;
}

// A positive size smaller than the scale still moves the bar by one of its units.
long KScrollBar::setLineSize(long size) {
    ScrollBar::setLineSize(size > 0 ? std::max(1L, size / scale) : size / scale);
    return getLineSize() * scale;
}

long KScrollBar::setPageSize(long size) {
    ScrollBar::setPageSize(size > 0 ? std::max(1L, size / scale) : size / scale);
    return getPageSize() * scale;
}

long KScrollBar::delta() const { return getDelta() * scale; }

void KScrollBar::setup(long visible, long total, long position, long line) {
    setRange(0, std::max(0L, total - visible));
    setThumbPos(position);
    setPageSize(visible);
    setLineSize(line);
}
