// Scaled scroll bars: the scale of a range, and every value coming back times the scale.
#include "app/KScrollBar.h"

#include <gtest/gtest.h>

#include "platform/gui/Application.h"

namespace {

struct ScaleCase {
    const char* name;
    long min, max;
    int32_t scale;
    long barMin, barMax;   // what the GUI layer's bar holds
};

TEST(KScrollBar, RangeScaleAndScaledValues) {
    gui::ensureApplication();
    const ScaleCase rows[] = {
        {"small", 0, 1000, 1, 0, 1000},
        {"just below 16 bits", 0, 32766, 1, 0, 32766},
        {"16 bits", 0, 32767, 2, 0, 16383},
        {"larger", 0, 100000, 4, 0, 25000},
        {"negative end decides", -70000, 10, 3, -23333, 3},
        {"empty", 0, 0, 1, 0, 0},
    };
    for (const ScaleCase& row : rows) {
        SCOPED_TRACE(row.name);
        KScrollBar bar(nullptr, WB_SCROLL_VERT);
        bar.setRange(row.min, row.max);
        EXPECT_EQ(bar.scale, row.scale);
        EXPECT_EQ(bar.getRange(), Range(row.barMin, row.barMax));

        long pos = row.max / 2;
        EXPECT_EQ(bar.setThumbPos(pos), pos / row.scale * row.scale);
        EXPECT_EQ(bar.getThumbPos(), pos / row.scale);
        EXPECT_EQ(bar.setLineSize(40), 40 / row.scale * row.scale);
        EXPECT_EQ(bar.getLineSize(), 40 / row.scale);
        EXPECT_EQ(bar.setPageSize(400), 400 / row.scale * row.scale);
        EXPECT_EQ(bar.getPageSize(), 400 / row.scale);
        // A step down the bar moves by one line in the bar's units, the line size in ours.
        if (row.max > pos + 40) {
            bar.doScroll(SCROLL_LINEDOWN);
            EXPECT_EQ(bar.getDelta(), 40 / row.scale);
            EXPECT_EQ(bar.delta(), 40 / row.scale * row.scale);
        }
    }
}

TEST(KScrollBar, SetupDescribesTheViewOverTheDocument) {
    gui::ensureApplication();
    KScrollBar bar(nullptr, WB_SCROLL_HORZ);
    bar.setup(300, 100000, 50000, 16);
    EXPECT_EQ(bar.scale, 4);
    EXPECT_EQ(bar.getRange(), Range(0, (100000 - 300) / 4));
    EXPECT_EQ(bar.getThumbPos(), 12500);
    EXPECT_EQ(bar.getPageSize(), 75);
    EXPECT_EQ(bar.getLineSize(), 4);
    // A view larger than its document has nothing to scroll.
    bar.setup(500, 200, 0, 16);
    EXPECT_EQ(bar.getRange(), Range(0, 0));
    // A line smaller than the scale still moves the bar.
    bar.setup(300, 100000, 0, 2);
    EXPECT_EQ(bar.getLineSize(), 1);
}

}  // namespace
