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
#include "tovu/ifvars.h"

namespace {

// ---- SVG output side --------------------------------------------------------------------------
// View units are mapped to a 400 x 400 picture: x' = 200 + 180 x, y' = 200 - 180 y.
struct Svg {
    PlotOutputCallbacks cb;
    std::ostringstream body;
};
double px(double x) { return 200 + 180 * x; }
double py(double y) { return 200 - 180 * y; }
std::string rgb(ColourWord w) {
    char b[16];
    std::snprintf(b, sizeof b, "#%06x", w & 0xFFFFFF);
    return b;
}
Svg* of(PlotOutputCallbacks* cb) { return reinterpret_cast<Svg*>(cb); }
std::string esc(const char* t) {
    std::string s;
    for (; *t; ++t) {
        if (*t == '<') s += "&lt;"; else if (*t == '&') s += "&amp;"; else if (*t == '>') s += "&gt;"; else s += *t;
    }
    return s;
}
void svgLine(PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord w) {
    int width = static_cast<int>((w >> 28) & 0xF);
    of(cb)->body << "<line x1='" << px(x1) << "' y1='" << py(y1) << "' x2='" << px(x2) << "' y2='" << py(y2)
                 << "' stroke='" << rgb(w) << "' stroke-width='" << (width ? width : 1) << "'/>\n";
}
void svgPoint(PlotOutputCallbacks* cb, double x, double y, ColourWord w) {
    of(cb)->body << "<rect x='" << px(x) - 2 << "' y='" << py(y) - 2 << "' width='4' height='4' fill='" << rgb(w) << "'/>\n";
}
void svgPolygon(PlotOutputCallbacks* cb, int n, const double* xs, const double* ys, ColourWord w) {
    of(cb)->body << "<polygon points='";
    for (int i = 0; i < n; ++i) of(cb)->body << px(xs[i]) << "," << py(ys[i]) << " ";
    of(cb)->body << "' fill='" << rgb(w) << "'/>\n";
}
void svgText(PlotOutputCallbacks* cb, double x, double y, const char* t, int align, ColourWord w, int) {
    if (!*t) return;
    const char* anchor = (align & ALIGN_LEFT) ? "end" : (align & ALIGN_RIGHT) ? "start" : "middle";
    of(cb)->body << "<text x='" << px(x) << "' y='" << py(y) << "' font-size='10' text-anchor='" << anchor
                 << "' fill='" << rgb(w) << "'>" << esc(t) << "</text>\n";
}
void svgExtent(PlotOutputCallbacks*, double x, double y, const char* t, int align, int, int, double* x0, double* y0,
               double* x1, double* y1) {
    double w = 6.0 * std::char_traits<char>::length(t) / 180, h = 10.0 / 180;
    double left = (align & ALIGN_LEFT) ? x - w : (align & ALIGN_RIGHT) ? x : x - w / 2;
    double bottom = (align & ALIGN_BELOW) ? y - h : (align & ALIGN_ABOVE) ? y : y - h / 2;
    *x0 = left; *x1 = left + w; *y0 = bottom; *y1 = bottom + h;
}

void initSvg(Svg* s) {
    s->cb = PlotOutputCallbacks{};
    s->cb.point = svgPoint;
    s->cb.line = svgLine;
    s->cb.polygon = svgPolygon;
    s->cb.text = svgText;
    s->cb.textExtent = svgExtent;
    s->cb.overlayLine = svgLine;
    s->cb.overlayText = svgText;
    s->cb.background = 0xFFFFFF;
}

std::string document(const Svg& s) {
    return "<?xml version='1.0'?>\n<svg xmlns='http://www.w3.org/2000/svg' width='400' height='400'>\n"
           "<rect width='400' height='400' fill='#ffffff'/>\n" + s.body.str() + "</svg>\n";
}

// The "svg" device: renders the plot and writes the document through the byte writer.
std::int32_t svgDriver(const char*, const char*, const char*, const char*, PlotByteWriter writer, int, PlotRecord* plot,
                       const char*, int, int) {
    Svg s;
    initSvg(&s);
    StorageArea draw;
    storage_init(&draw, STORAGE_ALIGN8, "draw");
    plot_render(plot, &s.cb, &draw);
    storage_free(&draw);
    for (char ch : document(s)) writer(nullptr, static_cast<unsigned char>(ch));
    return 0;
}

std::string tempPath(const char* name) { return std::string(KELVO_BINARY_DIR) + "/tests/plot/" + name; }

int run(const std::string& command) { return std::system(command.c_str()); }

// Pixel (x, y) of the PNG converted from the SVG, as 0xRRGGBB (via a PPM written by rsvg/convert).
struct Image {
    int w = 0, h = 0;
    std::string data;
    unsigned at(int x, int y) const {
        std::size_t i = (static_cast<std::size_t>(y) * w + x) * 3;
        return (unsigned(static_cast<unsigned char>(data[i])) << 16) | (unsigned(static_cast<unsigned char>(data[i + 1])) << 8) |
               unsigned(static_cast<unsigned char>(data[i + 2]));
    }
};

bool rasterise(const std::string& svg, Image* img) {
    std::string png = svg + ".png", ppm = svg + ".ppm";
    if (run("rsvg-convert -w 400 -h 400 -o " + png + " " + svg) != 0) return false;
    if (run("convert " + png + " -alpha remove -depth 8 " + ppm) != 0) return false;
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int maxval;
    in >> magic >> img->w >> img->h >> maxval;
    in.get();
    img->data.assign(std::istreambuf_iterator<char>(in), {});
    return magic == "P6" && img->data.size() >= static_cast<std::size_t>(img->w * img->h * 3);
}

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
