// The renderer end to end through an SVG output side registered as a plot device, checked with
// xmllint and, after rsvg-convert, by pixels; ticks, colours, clipping and the device table.

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "plot/plot_device.h"
#include "plot/render/clip.h"
#include "plot/render/colour.h"
#include "plot/render/pipeline.h"
#include "plot/render/ticks.h"
#include "plot_env.h"
#include "svg_device.h"
#include "tovu/ifvars.h"

namespace {

std::string tempPath(const char* name) { return std::string(KELVO_BINARY_DIR) + "/tests/plot/" + name; }

class RenderTest : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        plot_driver_reset();
        plot_driver_register("svg", svgDriver, nullptr);
    }
    // Sends the plot to the svg device writing `file`; answers the reporter's message.
    std::string send(const std::string& text, int dimension, const std::string& file, int* result) {
        InterfaceSettings s;
        std::snprintf(s.plotdevice, sizeof s.plotdevice, "svg");
        std::snprintf(s.plotoutput, sizeof s.plotoutput, "%s", file.c_str());
        std::string message;
        *result = plot_to_device(plotArgs(text), nullptr,
                                 [](void* ctx, const char* m) { *static_cast<std::string*>(ctx) = m; }, 0, &s,
                                 dimension, &message);
        return message;
    }
};

TEST_F(RenderTest, TwoDimensionalPlotInEveryAxesStyle) {
    const char* styles[] = {"NORMAL", "BOX", "FRAME", "NONE", "DEFAULT"};
    for (const char* style : styles) {
        SCOPED_TRACE(style);
        std::string file = tempPath((std::string("plot2d_") + style + ".svg").c_str());
        int result = 0;
        std::string text = std::string("PLOT(CURVES([[-1, -1], [0, 1], [1, 0]], COLOUR(RGB, 1, 0, 0), THICKNESS(3)), "
                                       "POINTS([0.5, 0.5], COLOUR(RGB, 0, 0, 1)), POLYGONS([[-1, 0.5], [-0.5, 0.5], [-0.75, 1]], "
                                       "COLOUR(RGB, 0, 1, 0)), TEXT([0, -0.5], \"label & <text>\"), AXESLABELS(x, y), AXESSTYLE(") +
                           style + "));";
        std::string message = send(text, 2, file, &result);
        ASSERT_EQ(result, 1) << message;
        EXPECT_EQ(run("xmllint --noout " + file), 0);
        struct stat st;
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0022, 0u) << "output must not be group or world writable";
        Image img;
        ASSERT_TRUE(rasterise(file, &img));
        if (std::string(style) == "NORMAL") {
            // The y axis crosses x = 0, the middle of [-1.04, 1.04]: column 200 is black there.
            bool black = false;
            for (int x = 197; x <= 203; ++x) black = black || img.at(x, 40) == 0x000000;
            EXPECT_TRUE(black);
        }
        // Somewhere along the red curve from (0, 1) to (1, 0): pixel near the midpoint.
        int mx = static_cast<int>(200 + 180 * (0.5 / 1.04)), my = static_cast<int>(200 - 180 * (0.5 / 1.04));
        bool red = false;
        for (int dx = -3; dx <= 3; ++dx)
            for (int dy = -3; dy <= 3; ++dy) red = red || img.at(mx + dx, my + dy) == 0xff0000;
        EXPECT_TRUE(red);
    }
}

TEST_F(RenderTest, ThreeDimensionalPlotWithoutSurfaces) {
    std::string file = tempPath("plot3d.svg");
    int result = 0;
    std::string message = send("PLOT3D(CURVES([[0,0,0],[1,1,1]], COLOUR(RGB, 0, 0, 1), THICKNESS(3)), POINTS([1,0,0]), "
                               "AXESSTYLE(BOX), AXESLABELS(x, y, z));",
                               3, file, &result);
    ASSERT_EQ(result, 1) << message;
    EXPECT_EQ(run("xmllint --noout " + file), 0);
    Image img;
    ASSERT_TRUE(rasterise(file, &img));
    // The diagonal passes through the centre of the view box, which the view puts at the origin.
    bool blue = false;
    for (int dx = -4; dx <= 4; ++dx)
        for (int dy = -4; dy <= 4; ++dy) blue = blue || img.at(200 + dx, 200 + dy) == 0x0000ff;
    EXPECT_TRUE(blue);
}

TEST_F(RenderTest, ReaderErrorReachesReporter) {
    int result = 1;
    std::string message = send("PLOT(TITLE(a));", 2, tempPath("none.svg"), &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(message, "empty plot");
}

TEST_F(RenderTest, UnwritableOutputIsReported) {
    int result = 1;
    std::string message = send("PLOT(POINTS([0,0]));", 2, "/nonexistent-dir/x.svg", &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(message, "could not open `/nonexistent-dir/x.svg` for writing");
}

TEST_F(RenderTest, LibraryDevicesAreRestricted) {
    struct Row {
        const char* device;
        const char* message;
    } rows[] = {
        {"../evil", "no plot device driver for plotdevice=../evil"},
        {"nosuch", "no plot device driver for plotdevice=nosuch"},
        {"a/b", "no plot device driver for plotdevice=a/b"},
        {"", "no plot device specified"},
    };
    plot_set_driver_folder(tempPath("").c_str());
    for (const Row& r : rows) {
        InterfaceSettings s;
        std::snprintf(s.plotdevice, sizeof s.plotdevice, "%s", r.device);
        std::snprintf(s.plotoutput, sizeof s.plotoutput, "%s", tempPath("lib.out").c_str());
        std::string message;
        int result = plot_to_device(plotArgs("PLOT(POINTS([0,0]));"), nullptr,
                                    [](void* ctx, const char* m) { *static_cast<std::string*>(ctx) = m; }, 0, &s, 2,
                                    &message);
        EXPECT_EQ(result, 0) << r.device;
        EXPECT_EQ(message, r.message) << r.device;
    }
}

TEST_F(RenderTest, TableHoldsFiftyDevices) {
    plot_driver_reset();
    static char names[60][16];
    int accepted = 0;
    for (int i = 0; i < 51; ++i) {
        std::snprintf(names[i], sizeof names[i], "d%d", i);
        accepted += plot_driver_register(names[i], svgDriver, nullptr);
    }
    EXPECT_EQ(accepted, PLOT_DRIVER_MAX);
    EXPECT_EQ(plot_driver_find("d49"), 0);
    EXPECT_EQ(plot_driver_find("d50"), 1);
}

// ---- ticks --------------------------------------------------------------------------------------

TEST(Ticks, NiceSteps) {
    struct Row {
        double lo, hi;
        int count;
        double minStep, first, step;
    } rows[] = {{0, 10, 5, 0, 0, 2}, {0, 1, 3, 0.3, 0, 0.5}, {2, 6, 1, 0, 4, 5}};
    for (const Row& r : rows) {
        double first, step;
        tick_nice_step(r.lo, r.hi, r.count, r.minStep, &first, &step);
        EXPECT_DOUBLE_EQ(first, r.first);
        EXPECT_DOUBLE_EQ(step, r.step);
    }
}

TEST_F(PlotTest, TickSetsSubdivisionLabelsAndLimits) {
    TickSet* t = tick_set_build(area, 0, 10, 5, 0, nullptr, 5);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->count, 26);
    EXPECT_STREQ(t->labels[5], "2");
    EXPECT_EQ(t->labels[1], nullptr);
    TickSet* neg = tick_set_build(area, -0.9, 10, 5, 0, nullptr, 5);
    ASSERT_NE(neg, nullptr);
    EXPECT_NEAR(neg->positions[0], -0.8, 1e-12);
    EXPECT_EQ(neg->labels[0], nullptr);
    TickSet* fine = tick_set_build(area, 1000, 1000.5, 5, 0, nullptr, 0);
    ASSERT_NE(fine, nullptr);
    EXPECT_STREQ(fine->labels[1], "1000.1");
    // Degenerate or hostile input gives no ticks or a bounded set, never a hang.
    EXPECT_EQ(tick_set_build(area, 1, 1, 5, 0, nullptr, 0), nullptr);
    EXPECT_EQ(tick_set_build(area, 0, NAN, 5, 0, nullptr, 0), nullptr);
    TickSet huge{1, 2000000000, nullptr, nullptr};
    TickSet* capped = tick_set_build(area, 0, 1, 0, 0, &huge, 5);
    ASSERT_NE(capped, nullptr);
    EXPECT_LE(capped->count, TICK_MAX_BUILT);
}

// ---- colours -----------------------------------------------------------------------------------

TEST(Colour, HsvAndClamping) {
    EXPECT_EQ(hsv_to_rgb(0, 0.9, 1.0), 0xff1919u);
    EXPECT_EQ(hsv_to_rgb(360, 0.9, 1.0), hsv_to_rgb(0, 0.9, 1.0));
    // A value above 1 saturates the channel instead of spilling into the flag bits.
    EXPECT_EQ(hsv_to_rgb(0, 0, 5) & 0xFF000000u, 0u);
    EXPECT_EQ(hsv_to_rgb(0, 0, 5), 0xffffffu);
    EXPECT_EQ(colour_channel(NAN), 0);
    EXPECT_EQ(colour_channel(-3), 0);
    EXPECT_EQ(colour_channel(300), 255);
}

// ---- clipping ----------------------------------------------------------------------------------

TEST_F(PlotTest, ClipSegmentsAndPolygons) {
    double box[6] = {0, 1, 0, 1, 0, 1};
    clip_set_box(box, true);
    DrawVertex in{0.5, 0.5, 0.5, 1}, out{2, 0.5, 0.5, 2}, far{3, 3, 3, 3};
    EXPECT_EQ(clip_point(&far), nullptr);
    EXPECT_EQ(clip_point(&in), &in);
    DrawSegment s{};
    s.a = &in;
    s.b = &out;
    ASSERT_NE(clip_segment(&s, area), nullptr);
    EXPECT_DOUBLE_EQ(s.b->x, 1);
    EXPECT_EQ(s.b->colour, 2u);
    DrawVertex a{0.2, 0.2, 0.5, 0}, b{0.8, 0.2, 0.5, 0}, c{0.5, 1.5, 0.5, 0};
    DrawVertex* tri[3] = {&a, &b, &c};
    DrawPolygon p{};
    p.count = 3;
    p.v = tri;
    p.colour = 0x123456;
    DrawPolygon* q = clip_polygon(&p, area);
    ASSERT_NE(q, nullptr);
    EXPECT_NE(q, &p);
    EXPECT_EQ(q->count, 4);
    EXPECT_EQ(q->colour, 0x123456u);
    clip_off();
}

}  // namespace
