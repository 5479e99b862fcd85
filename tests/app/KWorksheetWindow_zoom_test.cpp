// Zoom of the worksheet window: the fonts follow the zoom, so the laid-out worksheet grows and
// shrinks with it and 100 % gives the first layout back.
#include <gtest/gtest.h>

#include "document/views/WindowView.h"
#include "tests/app/worksheet_window_fixture.h"

namespace {

using worksheet_window_test::WorksheetWindowFixture;

class ZoomTest : public WorksheetWindowFixture {};

TEST_F(ZoomTest, TheLaidOutHeightFollowsTheZoom) {
    reopen(worksheetOf({"1+2;", "expand((x+1)^3);", "int(x^2, x);"}));
    ASSERT_TRUE(window->window_command(1803, nullptr, 0));
    const int full = window->view()->documentExtent().height;
    ASSERT_GT(full, 0);
    struct Row {
        int command;
        double ratio;
    } rows[] = {{1801, 0.5}, {1805, 2.0}, {1803, 1.0}};   // at 400 % the inputs wrap in 400 pixels
    for (const Row& r : rows) {
        ASSERT_TRUE(window->window_command(r.command, nullptr, 0)) << r.command;
        const double ratio = static_cast<double>(window->view()->documentExtent().height) / full;
        EXPECT_NEAR(ratio, r.ratio, r.ratio * 0.25) << r.command;
    }
    EXPECT_EQ(window->view()->documentExtent().height, full) << "100 % lays out as at first";
}

}  // namespace
