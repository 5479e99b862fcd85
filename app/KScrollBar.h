#pragma once
// KScrollBar: a scroll bar whose positions are scaled so that documents larger than the GUI
// layer's 16-bit range can be scrolled.  Every value the program passes is divided by the
// scale before it reaches the bar, and every value the bar answers is multiplied by it.
//
// Scale: setRange(min, max) sets scale = max(|min|, |max|) / 32767 + 1, so the bar's range
// min / scale .. max / scale stays within 16 bits.  A range whose larger end is below 32767
// keeps the scale 1.

#include <cstdint>

#include "platform/gui/ScrollBar.h"

class KScrollBar : public ScrollBar {
public:
    KScrollBar(Window* parent, uint32_t style);

    int32_t scale = 1;   // at least 1

    void setRange(long min, long max);
    // Each passes the value divided by the scale and answers the bar's value times the scale.
    long setThumbPos(long position);
    long setLineSize(long size);
    long setPageSize(long size);
    // The bar's last movement, times the scale.
    long delta() const;
    // A view of `visible` units over `total` at `position`: range 0 .. total - visible (0 when
    // the view is larger), thumb position, page size = visible, line size = line.
    void setup(long visible, long total, long position, long line);
};
