// The edges that carry the axes of a 3-D BOX or FRAME, and their tick directions, for boxes
// drawn in a few oblique views worked out by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plot/render/axes.h"

namespace {

// The unit box seen in an oblique view: x' = x + sx * y, y' = z + sy * y, depth y.
struct View {
    AxesPoint corner[8];
    double depth[8];
};
View oblique(double sx, double sy) {
    View v;
    for (int k = 0; k < 8; ++k) {
        double x = (k & 4) ? 1 : 0, y = (k & 2) ? 1 : 0, z = (k & 1) ? 1 : 0;
        v.corner[k] = {x + sx * y, z + sy * y};
        v.depth[k] = y;
    }
    return v;
}

std::string visibleEdges(const bool visible[12]) {
    std::string text;
    for (int e = 0; e < 12; ++e)
        if (visible[e]) text += (text.empty() ? "" : " ") + std::to_string(e);
    return text;
}

TEST(BoxEdges, AxesFollowTheLowerLeftCorner) {
    struct Row {
        const char* name;
        double sx, sy;
        const char* visible;
        int x, y, z;   // the chosen edges
    } rows[] = {
        // Top, front and right faces: z up the front-left edge, x along the front bottom, y
        // from its right end backwards.
        {"from above right", 0.4, 0.3, "0 1 2 3 4 6 7 10 11", 11, 10, 4},
        // Top, front and left faces: z up the back-left edge; only the left bottom edge meets
        // its lower end, so y comes first and x runs on from the front.
        {"from above left", -0.4, 0.3, "0 1 2 3 4 5 7 8 11", 11, 8, 5},
        // Bottom, front and right faces: two edges meet the lower end of the z edge; the x edge
        // stays at one depth while the y edge recedes, so x is taken.
        {"from below right", 0.4, -0.3, "2 3 4 6 7 8 9 10 11", 11, 10, 4},
        // Bottom, front and left faces: at the back-left corner the y edge comes forward as it
        // goes right and wins over the x edge that stays at one depth.
        {"from below left", -0.4, -0.3, "0 3 4 5 7 8 9 10 11", 11, 8, 5},
    };
    for (const Row& r : rows) {
        View v = oblique(r.sx, r.sy);
        bool visible[12];
        int chosen[3];
        axes_box_edges(v.corner, v.depth, visible, chosen);
        EXPECT_EQ(visibleEdges(visible), r.visible) << r.name;
        EXPECT_EQ(chosen[0], r.x) << r.name;
        EXPECT_EQ(chosen[1], r.y) << r.name;
        EXPECT_EQ(chosen[2], r.z) << r.name;
    }
}

TEST(BoxEdges, CollapsedBoxChoosesNothing) {
    View v{};
    bool visible[12];
    int chosen[3];
    axes_box_edges(v.corner, v.depth, visible, chosen);
    EXPECT_EQ(visibleEdges(visible), "");
    EXPECT_EQ(chosen[0], -1);
    EXPECT_EQ(chosen[1], -1);
    EXPECT_EQ(chosen[2], -1);
}

TEST(BoxEdges, TickDirectionsStandAcrossTheirEdges) {
    View v = oblique(0.4, 0.3);
    int chosen[3] = {11, 10, 4};
    AxesPoint candidates[5];
    axes_tick_directions(v.corner, chosen, candidates);
    // Across, up, then the x edge (1, 0), the y edge (0.8, 0.6) and the z edge (0, 1).
    double expected[5][2] = {{1, 0}, {0, 1}, {1, 0}, {0.8, 0.6}, {0, 1}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(candidates[i].x, expected[i][0], 1e-12) << i;
        EXPECT_NEAR(candidates[i].y, expected[i][1], 1e-12) << i;
    }
    struct Row {
        const char* axis;
        int edge;
        double nx, ny;
    } rows[] = {
        {"x ticks point up", 11, 0, 1},
        {"y ticks point up too: the first candidate of least slant", 10, 0, 1},
        {"z ticks point across", 4, 1, 0},
    };
    for (const Row& r : rows) {
        AxesPoint n = axes_pick_tick_direction(candidates, v.corner[kBoxEdges[r.edge][1]], v.corner[kBoxEdges[r.edge][2]]);
        EXPECT_EQ(n.x, r.nx) << r.axis;
        EXPECT_EQ(n.y, r.ny) << r.axis;
    }

    // Without a y edge the last slot stays empty, and an empty candidate lets a slanted axis
    // compute its own direction.
    int twoEdges[3] = {11, -1, 4};
    axes_tick_directions(v.corner, twoEdges, candidates);
    EXPECT_EQ(candidates[4].x, 0);
    EXPECT_EQ(candidates[4].y, 0);
    AxesPoint n = axes_pick_tick_direction(candidates, v.corner[2], v.corner[6]);   // a back edge along x
    EXPECT_EQ(n.x, 0);
    EXPECT_EQ(n.y, 1);
    n = axes_pick_tick_direction(candidates, v.corner[4], v.corner[6]);   // the slanted y edge
    EXPECT_EQ(n.x, 0);
    EXPECT_EQ(n.y, 0);
}

TEST(BoxEdges, UnitDirection) {
    AxesPoint d = axes_unit_direction({1, 1}, {4, 5});
    EXPECT_DOUBLE_EQ(d.x, 0.6);
    EXPECT_DOUBLE_EQ(d.y, 0.8);
    d = axes_unit_direction({2, 2}, {2, 2});
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
}

}  // namespace
