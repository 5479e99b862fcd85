// The 3-D plot library on off-screen devices: backgrounds and repeatable pictures, turning by the
// pointer and the view box while turning, the part under the pointer and the 2-D inverse
// mapping, animation frames, projection and lighting changes, fonts, and refused calls.

#include <QImage>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gl3d/gl3d.h"
#include "platform/gui/Application.h"
#include "platform/gui/VirtualDevice.h"
#include "plot_env.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

// z = sin(x) cos(y) sampled n x n over [-3, 3]^2, with extra plot options.
std::string surface(int n, const std::string& options = "") { return sinCosSurface(n, options); }

std::uint32_t rgbAt(const VirtualDevice& d, int x, int y) {
    Color c = d.getPixel(Point(x, y));
    return (std::uint32_t{c.red8()} << 16) | (std::uint32_t{c.green8()} << 8) | c.blue8();
}

// Every colour in the rectangle [x0, x1) x [y0, y1).
std::set<std::uint32_t> coloursIn(const VirtualDevice& d, int x0, int y0, int x1, int y1) {
    d.flushDrawing();
    const QImage& im = *d.image();
    std::set<std::uint32_t> out;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) out.insert(im.pixel(x, y) & 0xFFFFFF);
    return out;
}

QImage imageOf(const VirtualDevice& d) {
    d.flushDrawing();
    return d.image()->copy();
}

// Fills the whole device with one colour.
void paint(VirtualDevice& d, std::uint32_t rgb) {
    Color c = Color::fromRGB8(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
    d.setPen(Pen(c, 0, PEN_NULL));
    d.setFillInBrush(Brush(c));
    d.drawRect(Rectangle(Point(0, 0), d.getOutputSizePixel()));
}

// A plot with its handle on an off-screen device of its own.
class Gl3dTest : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        gui::ensureApplication("gl3d_test");
        std::vector<unsigned char> zero(GL3D_FONT_TABLE_BYTES, 0);
        ActivateFonts(zero.data());
    }
    void TearDown() override {
        for (int h : handles) oglExit(h);
        gl3dMakeCurrent(nullptr);
        PlotTest::TearDown();
    }

    PlotRecord* read(const std::string& text, int dimension) {
        std::string error;
        PlotRecord* plot = readPlot(text, dimension, area, &error);
        EXPECT_NE(plot, nullptr) << error;
        return plot;
    }
    // Reads the plot, makes a handle of that size and builds its objects.
    int open(PlotRecord* plot, int width, int height) {
        int h = oglPlotInitialize(plot, 0, 0, width, height, 0);
        EXPECT_GT(h, 0);
        handles.push_back(h);
        EXPECT_EQ(oglCreateObjects(h, plot, 0, 100, 100), 0);
        return h;
    }
    std::unique_ptr<VirtualDevice> device(int width, int height, std::uint32_t fill = 0x00FF00) {
        auto d = std::make_unique<VirtualDevice>();
        EXPECT_TRUE(d->setOutputSizePixel(Size(width, height)));
        paint(*d, fill);
        return d;
    }
    // Draws frame `frame` of the handle's plot on `d`.
    int draw(VirtualDevice& d, int h, PlotRecord* plot, int frame = 0) {
        gl3dMakeCurrent(&d);
        return oglRedraw(h, plot, frame, 0);
    }

    std::vector<int> handles;
};

// ---- backgrounds and repeatable pictures ------------------------------------------------------

TEST_F(Gl3dTest, SurfaceFillsTheAreaWithTheBackgroundAndRepeatsExactly) {
    PlotRecord* plot = read(surface(30), 3);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 400, 300);
    ASSERT_EQ(oglSetBackground(h, 0.2f, 0.4f, 0.6f), 0);
    auto a = device(400, 300);
    ASSERT_EQ(draw(*a, h, plot), 0);
    const std::uint32_t background = 0x336699;   // 51, 102, 153
    for (Point p : {Point(0, 0), Point(399, 0), Point(0, 299), Point(399, 299)})
        EXPECT_EQ(rgbAt(*a, p.x, p.y), background) << p.x << "," << p.y;
    std::uint32_t centre = rgbAt(*a, 200, 150);
    EXPECT_NE(centre, background);
    EXPECT_NE(centre, 0x00FF00u);
    a->image()->save(QString::fromStdString(std::string(KELVO_BINARY_DIR) + "/gl3d_surface.png"));

    QImage first = imageOf(*a);
    ASSERT_EQ(draw(*a, h, plot), 0);
    EXPECT_TRUE(imageOf(*a) == first) << "a second rendering differs";
    auto b = device(400, 300, 0xFF0000);
    ASSERT_EQ(draw(*b, h, plot), 0);
    EXPECT_TRUE(imageOf(*b) == first) << "a second target of the same size differs";

    // A larger target keeps its own pixels outside the drawing size.
    auto big = device(500, 400, 0xFF0000);
    ASSERT_EQ(draw(*big, h, plot), 0);
    EXPECT_TRUE(imageOf(*big).copy(0, 0, 400, 300) == first);
    EXPECT_EQ(coloursIn(*big, 400, 0, 500, 400), std::set<std::uint32_t>{0xFF0000});
    EXPECT_EQ(coloursIn(*big, 0, 300, 400, 400), std::set<std::uint32_t>{0xFF0000});
}

TEST_F(Gl3dTest, BackgroundChannelsAreClampedAndRounded) {
    struct Row {
        const char* name;
        float r, g, b;
        std::uint32_t rgb;
    } rows[] = {
        {"in_range", 0.2f, 0.4f, 0.6f, 0x336699},
        {"rounded", 0.5f, 0.999f, 0.001f, 0x80FF00},
        {"clamped", -3.0f, 7.5f, 1.0f, 0x00FFFF},
        {"not_a_number", NAN, 1.0f, 0.0f, 0x00FF00},
    };
    PlotRecord* plot = read("PLOT(POINTS([0,0]), AXESSTYLE(NONE));", 2);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 40, 30);
    auto d = device(40, 30, 0x123456);
    for (const Row& row : rows) {
        ASSERT_EQ(oglSetBackground(h, row.r, row.g, row.b), 0) << row.name;
        ASSERT_EQ(draw(*d, h, plot), 0) << row.name;
        EXPECT_EQ(rgbAt(*d, 0, 0), row.rgb) << row.name;
    }
}

// ---- turning ------------------------------------------------------------------------------------

struct Motion {
    double x, y, px, py;
};
struct TurnRow {
    const char* name;
    int dimension;
    const char* projection;   // plot option giving the starting angles
    std::vector<Motion> motions;
    double first, second;     // expected angles after the motions
};

std::vector<Motion> steps(int n, double dx, double dy) {
    std::vector<Motion> m;
    for (int i = 0; i < n; ++i) m.push_back(Motion{50 + dx * (i + 1), 50 + dy * (i + 1), 50 + dx * i, 50 + dy * i});
    return m;
}

TEST_F(Gl3dTest, TurningFollowsThePointerOverTheDrawingSize) {
    const TurnRow rows[] = {
        {"right_by_half_the_width", 3, ", PROJECTION(30, 60, 1)", {{150, 50, 50, 50}}, 30, -30},
        {"hundred_single_pixels", 3, ", PROJECTION(30, 60, 1)", steps(100, 1, 0), 30, -30},
        {"ten_pixels_up", 3, ", PROJECTION(30, 60, 1)", {{50, 60, 50, 50}}, 48, 60},
        {"wraps_past_180", 3, ", PROJECTION(170, 60, 1)", {{50, 60, 50, 50}}, -172, 60},
        {"wraps_below_minus_180", 3, ", PROJECTION(0, -170, 1)", {{70, 50, 50, 50}}, 0, 172},
        {"no_orientation_yet", 3, "", {{50, 40, 50, 50}}, 27, 45},
    };
    for (const TurnRow& row : rows) {
        SCOPED_TRACE(row.name);
        PlotRecord* plot = read(surface(6, row.projection), row.dimension);
        ASSERT_NE(plot, nullptr);
        int h = open(plot, 200, 100);
        for (const Motion& m : row.motions) ASSERT_EQ(oglAction(h, m.x, m.y, m.px, m.py, plot), 0);
        ASSERT_NE(plot->options.orientation, nullptr);
        EXPECT_NEAR(plot->options.orientation->theta, row.first, 1e-9);
        EXPECT_NEAR(plot->options.orientation->phi, row.second, 1e-9);
    }
}

TEST_F(Gl3dTest, TurningLeavesTwoDimensionalPlotsAndChangesTheSurfacePicture) {
    PlotRecord* flat = read("PLOT(CURVES([[0,0],[1,1]]));", 2);
    ASSERT_NE(flat, nullptr);
    int h2 = open(flat, 200, 100);
    auto d2 = device(200, 100);
    ASSERT_EQ(draw(*d2, h2, flat), 0);
    QImage before2 = imageOf(*d2);
    const PlotOrientation* o = flat->options.orientation;
    double theta = o ? o->theta : 0, phi = o ? o->phi : 0;
    ASSERT_EQ(oglAction(h2, 150, 50, 50, 50, flat), 0);
    ASSERT_EQ(flat->options.orientation, o);
    if (o) {
        EXPECT_EQ(o->theta, theta);
        EXPECT_EQ(o->phi, phi);
    }
    ASSERT_EQ(draw(*d2, h2, flat), 0);
    EXPECT_TRUE(imageOf(*d2) == before2);

    PlotRecord* plot = read(surface(12, ", PROJECTION(30, 60, 1)"), 3);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 200, 100);
    auto d = device(200, 100);
    ASSERT_EQ(draw(*d, h, plot), 0);
    QImage before = imageOf(*d);
    ASSERT_EQ(oglAction(h, 70, 60, 50, 50, plot), 0);
    ASSERT_EQ(draw(*d, h, plot), 0);
    EXPECT_FALSE(imageOf(*d) == before);
}

// Lowers the box threshold for one test.
struct BoxThreshold {
    long was;
    explicit BoxThreshold(long polygons) : was(gl3dSetBoxThreshold(polygons)) {}
    ~BoxThreshold() { gl3dSetBoxThreshold(was); }
};

TEST_F(Gl3dTest, WhileTurningALargeSurfaceOnlyItsViewBoxIsDrawn) {
    BoxThreshold threshold(10);
    PlotRecord* plot = read(surface(20, ", PROJECTION(30, 60, 1)"), 3);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 300, 200);
    auto d = device(300, 200);
    ASSERT_EQ(oglStartAction(h, plot, 0, 1, 0), 0);
    for (int step = 0; step < 3; ++step) {
        ASSERT_EQ(oglAction(h, 60 + 5 * step, 50, 55 + 5 * step, 50, plot), 0);
        ASSERT_EQ(draw(*d, h, plot), 0);
        std::set<std::uint32_t> colours = coloursIn(*d, 0, 0, 300, 200);
        EXPECT_EQ(colours, (std::set<std::uint32_t>{kWhite, 0x000000})) << "step " << step;
        EXPECT_EQ(oglMouseMove(h, 150, 100, plot), -1) << "the box has no parts";
    }
    // On a black background the box is white.
    ASSERT_EQ(oglSetBackground(h, 0, 0, 0), 0);
    ASSERT_EQ(draw(*d, h, plot), 0);
    EXPECT_EQ(coloursIn(*d, 0, 0, 300, 200), (std::set<std::uint32_t>{kWhite, 0x000000}));
    ASSERT_EQ(oglSetBackground(h, 1, 1, 1), 0);

    ASSERT_EQ(oglEndAction(h, plot, 0, 0), 0);
    ASSERT_EQ(draw(*d, h, plot), 0);
    EXPECT_GT(coloursIn(*d, 0, 0, 300, 200).size(), 10u) << "the surface is drawn after the turn";

    // Below the threshold the surface is drawn while turning too.
    gl3dSetBoxThreshold(1000000);
    ASSERT_EQ(oglStartAction(h, plot, 0, 1, 0), 0);
    ASSERT_EQ(draw(*d, h, plot), 0);
    EXPECT_GT(coloursIn(*d, 0, 0, 300, 200).size(), 10u);
    ASSERT_EQ(oglEndAction(h, plot, 0, 0), 0);
}

// ---- the part under the pointer and the inverse mapping --------------------------------------------

// The first row from the top (or from the bottom) of column x that is not white.
int inkRow(const VirtualDevice& d, int x, bool fromTop) {
    Size s = d.getOutputSizePixel();
    for (int i = 0; i < s.height; ++i) {
        int y = fromTop ? i : s.height - 1 - i;
        if (rgbAt(d, x, y) != kWhite) return y;
    }
    return -1;
}

TEST_F(Gl3dTest, PartUnderThePointerOfTwoCurves) {
    // Two curves above and below the x axis, at equal distances from it.
    PlotRecord* plot = read("PLOT(CURVES([[0,0.5],[1,0.5]]), CURVES([[0,-0.5],[1,-0.5]]));", 2);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 400, 300);
    auto d = device(400, 300);
    ASSERT_EQ(oglMouseMove(h, 200, 150, plot), -1) << "nothing drawn yet";
    ASSERT_EQ(draw(*d, h, plot), 0);
    int first = inkRow(*d, 200, true), second = inkRow(*d, 200, false);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, first + 20);
    const struct {
        const char* name;
        double x, y;   // y up from the bottom
        int part;
    } rows[] = {
        {"on_the_second", 200, 300.0 - second, 1},
        {"near_the_second", 200, 300.0 - second - 2, 1},
        {"on_the_first", 200, 300.0 - first, 0},
        {"between_on_the_axis", 200, 300.0 - (first + second) / 2.0, -1},
        {"second_with_y_from_the_top", 200, static_cast<double>(second), 0},
        {"beside_the_curves", 5, 300.0 - second + 40, -1},
    };
    for (const auto& row : rows) EXPECT_EQ(oglMouseMove(h, row.x, row.y, plot), row.part) << row.name;
}

TEST_F(Gl3dTest, PartUnderThePointerOfASurface) {
    PlotRecord* plot = read(surface(10), 3);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 400, 300);
    auto d = device(400, 300);
    ASSERT_EQ(draw(*d, h, plot), 0);
    EXPECT_EQ(oglMouseMove(h, 200, 150, plot), 0);
    EXPECT_EQ(oglMouseMove(h, 1, 1, plot), -1);
    EXPECT_EQ(oglMouseMove(h, 398, 298, plot), -1);
}

TEST_F(Gl3dTest, PlotCoordinatesOfTheDrawnPixel) {
    // A single red pixel at (0.25, 0.5) in a plot from (0, 0) to (1, 1).
    PlotRecord* plot = read("PLOT(POINTS([0.25,0.5], SYMBOL(POINT), COLOUR(RGB,1,0,0)), "
                            "CURVES([[0,0],[1,1]], COLOUR(RGB,0,0,1)), AXESSTYLE(NONE));", 2);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 400, 300);
    auto d = device(400, 300);
    ASSERT_EQ(draw(*d, h, plot), 0);
    int px = -1, py = -1;
    for (int y = 0; y < 300 && px < 0; ++y)
        for (int x = 0; x < 400; ++x)
            if (rgbAt(*d, x, y) == 0xFF0000) {
                px = x;
                py = y;
                break;
            }
    ASSERT_GE(px, 0) << "the point is not drawn";
    double x = 0, y = 0;
    ASSERT_EQ(ogl2dCoordToPlot(h, plot, px, py, &x, &y), 0);
    // A pixel's worth: the plot's unit spans 80 % of the area.
    EXPECT_NEAR(x, 0.25, 1.0 / (0.8 * 400));
    EXPECT_NEAR(y, 0.5, 1.0 / (0.8 * 300));

    PlotRecord* solid = read(surface(4), 3);
    ASSERT_NE(solid, nullptr);
    int h3 = open(solid, 400, 300);
    x = y = 7;
    EXPECT_EQ(ogl2dCoordToPlot(h3, solid, 10, 10, &x, &y), -1) << "3-D plots have no plot coordinates";
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 7);
}

// ---- animation, projection and lighting -------------------------------------------------------------

TEST_F(Gl3dTest, AnimationFramesShareOneMappingAndOthersDrawTheBackground) {
    PlotRecord* plot = read("PLOT(ANIMATE([CURVES([[0,0],[1,1]])], [CURVES([[0,0],[2,1]])], "
                            "[CURVES([[0,0],[3,1]])]), AXESSTYLE(NONE));", 2);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 200, 100);
    auto d = device(200, 100);
    std::vector<QImage> images;
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(draw(*d, h, plot, frame), 0);
        images.push_back(imageOf(*d));
    }
    EXPECT_FALSE(images[0] == images[1]);
    EXPECT_FALSE(images[1] == images[2]);
    EXPECT_FALSE(images[0] == images[2]);
    // One mapping: every frame's line starts at the same pixel (the origin, lower left).
    auto lowest = [](const QImage& im) {
        for (int y = im.height() - 1; y >= 0; --y)
            for (int x = 0; x < im.width(); ++x)
                if ((im.pixel(x, y) & 0xFFFFFF) != kWhite) return std::make_pair(x, y);
        return std::make_pair(-1, -1);
    };
    EXPECT_EQ(lowest(images[0]), lowest(images[1]));
    EXPECT_EQ(lowest(images[0]), lowest(images[2]));
    for (int frame : {3, -1, 1000}) {
        paint(*d, 0x00FF00);
        ASSERT_EQ(draw(*d, h, plot, frame), 0) << frame;
        EXPECT_EQ(coloursIn(*d, 0, 0, 200, 100), std::set<std::uint32_t>{kWhite}) << frame;
        EXPECT_EQ(oglMouseMove(h, 100, 50, plot), -1) << frame;
    }
}

TEST_F(Gl3dTest, ProjectionAndLightingChangesShowInTheNextPicture) {
    PlotRecord* plot = read(surface(12, ", PROJECTION(30, 60, 1)"), 3);
    ASSERT_NE(plot, nullptr);
    int h = open(plot, 200, 150);
    auto d = device(200, 150);
    ASSERT_EQ(draw(*d, h, plot), 0);
    QImage orthogonal = imageOf(*d);

    plot->options.projection = 2;
    plot->options.orientation->r = 0.5;
    ASSERT_EQ(oglPerspective(h, plot, 200.0 / 150), 0);
    ASSERT_EQ(draw(*d, h, plot), 0);
    QImage perspective = imageOf(*d);
    EXPECT_FALSE(perspective == orthogonal);

    plot->options.lightModel = LIGHT_1;
    ASSERT_EQ(oglChangeLighting(h, plot), 0);
    ASSERT_EQ(draw(*d, h, plot), 0);
    QImage lit = imageOf(*d);
    EXPECT_FALSE(lit == perspective);
    // The light falls on untransformed drawables each time: a second rendering is the same.
    ASSERT_EQ(draw(*d, h, plot), 0);
    EXPECT_TRUE(imageOf(*d) == lit);
}

// ---- fonts ----------------------------------------------------------------------------------------

std::vector<std::int32_t> setupTable(PlotRecord* plot, int resolution) {
    std::vector<std::int32_t> table(GL3D_FONT_TABLE_BYTES / 4, 0);
    EXPECT_EQ(SetupFonts(nullptr, plot, table.data(), resolution, nullptr, nullptr), 0);
    return table;
}

TEST_F(Gl3dTest, FontQueriesAnswerTheMappedFaces) {
    PlotFont fonts[] = {{"times", "roman", 12}, {"TIMES", "bolditalic", 10}, {"courier", "bold", 9},
                        {"Helvetica", "BoldOblique", 7}, {"symbol", "", 11}, {"gothic", "bold", 8}};
    PlotFont* list[std::size(fonts)];
    for (std::size_t i = 0; i < std::size(fonts); ++i) list[i] = &fonts[i];
    PlotRecord plot{};
    plot.fontCount = static_cast<std::int32_t>(std::size(fonts));
    plot.fonts = list;
    std::vector<std::int32_t> table = setupTable(&plot, 96);
    EXPECT_EQ(table[1], 96);
    ASSERT_EQ(table[2], plot.fontCount);
    const struct {
        const char* face;
        int points, bold, oblique;
    } expected[] = {{"Times New Roman", 12, 0, 0}, {"Times", 10, 1, 1}, {"Courier", 9, 1, 0},
                    {"Helvetica", 7, 1, 1},        {"Symbol", 11, 0, 0}, {"", 8, 0, 0}};
    for (std::size_t i = 0; i < std::size(fonts); ++i) {
        int id = table[GL3D_FONT_TABLE_HEADER + i];
        SCOPED_TRACE(fonts[i].family);
        EXPECT_STREQ(glwFontName(id), expected[i].face);
        EXPECT_EQ(glwPointSize(id), expected[i].points);
        EXPECT_EQ(glwFontIsBold(id) != 0, expected[i].bold != 0);
        EXPECT_EQ(glwFontIsOblique(id) != 0, expected[i].oblique != 0);
    }
    // The default text and title fonts; each description is kept once.
    EXPECT_STREQ(glwFontName(table[3]), "Helvetica");
    EXPECT_EQ(glwPointSize(table[3]), 8);
    EXPECT_STREQ(glwFontName(table[4]), "Times");
    EXPECT_EQ(glwPointSize(table[4]), 14);
    EXPECT_EQ(setupTable(&plot, 96), table);
    EXPECT_STREQ(glwFontName(0), "");
    EXPECT_EQ(glwPointSize(-5), 0);
    // The screen's resolution for -1.
    EXPECT_GT(setupTable(&plot, -1)[1], 0);
}

TEST_F(Gl3dTest, FontTableIsNeverWrittenPastItsEnd) {
    constexpr int kFonts = GL3D_FONT_TABLE_FONTS + 500;
    std::vector<PlotFont> fonts(kFonts, PlotFont{"courier", "", 9});
    std::vector<PlotFont*> list;
    for (PlotFont& f : fonts) list.push_back(&f);
    PlotRecord plot{};
    plot.fontCount = kFonts;
    plot.fonts = list.data();
    std::vector<unsigned char> block(GL3D_FONT_TABLE_BYTES + 64, 0xAB);
    ASSERT_EQ(SetupFonts(nullptr, &plot, block.data(), 96, nullptr, nullptr), 0);
    for (std::size_t i = GL3D_FONT_TABLE_BYTES; i < block.size(); ++i) ASSERT_EQ(block[i], 0xAB) << i;
    std::int32_t count;
    std::memcpy(&count, block.data() + 8, 4);
    EXPECT_EQ(count, GL3D_FONT_TABLE_FONTS);
    EXPECT_EQ(SetupFonts(nullptr, &plot, nullptr, 96, nullptr, nullptr), -1);
}

// Height in pixels of the ink in the top `rows` rows.
int inkHeight(const VirtualDevice& d, int rows) {
    Size s = d.getOutputSizePixel();
    int top = -1, bottom = -1;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < s.width; ++x)
            if (rgbAt(d, x, y) != kWhite) {
                if (top < 0) top = y;
                bottom = y;
                break;
            }
    return top < 0 ? 0 : bottom - top + 1;
}

TEST_F(Gl3dTest, TitleScalesWithTheFontResolution) {
    PlotRecord* plot = read("PLOT(POINTS([0,0], SYMBOL(POINT)), TITLE(HIJ), AXESSTYLE(NONE));", 2);
    ASSERT_NE(plot, nullptr);
    std::vector<std::int32_t> screen = setupTable(plot, 96);
    ASSERT_EQ(ActivateFonts(screen.data()), 0);
    int h = open(plot, 400, 300);
    auto small = device(400, 300);
    ASSERT_EQ(draw(*small, h, plot), 0);
    int at96 = inkHeight(*small, 100);
    ASSERT_GT(at96, 5);

    std::vector<std::int32_t> print = setupTable(plot, 288);
    ASSERT_EQ(ActivateFonts(print.data()), 0);
    // The table's values were copied: the caller may drop it.
    std::fill(print.begin(), print.end(), 0x7F7F7F7F);
    ASSERT_EQ(oglResize(h, plot, 0, 0, 1200, 900), 0);
    auto big = device(1200, 900);
    ASSERT_EQ(draw(*big, h, plot), 0);
    EXPECT_NEAR(inkHeight(*big, 300), 3 * at96, 2);
}

// ---- refusals --------------------------------------------------------------------------------------

TEST_F(Gl3dTest, CallsWithAHandleThatIsNotThePlotsAreRefused) {
    PlotRecord* plot = read(surface(6), 3);
    PlotRecord* other = read("PLOT(CURVES([[0,0],[1,1]]));", 2);
    ASSERT_NE(plot, nullptr);
    ASSERT_NE(other, nullptr);
    int h = open(plot, 100, 80);
    int released = oglPlotInitialize(plot, 0, 0, 100, 80, 0);
    ASSERT_GT(released, h) << "handles grow and are not reused";
    ASSERT_EQ(oglExit(released), 0);
    EXPECT_EQ(oglExit(released), -1) << "a second exit is refused harmlessly";
    int otherHandle = open(other, 100, 80);
    ASSERT_NE(otherHandle, h);

    const struct {
        const char* name;
        int handle;
        PlotRecord* plot;
    } rows[] = {
        {"after_exit", released, plot},
        {"zero", 0, plot},
        {"never_returned", 12345, plot},
        {"foreign_plot", h, other},
        {"null_plot", h, nullptr},
    };
    auto d = device(100, 80);
    gl3dMakeCurrent(d.get());
    double theta = plot->options.orientation ? plot->options.orientation->theta : 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(oglCreateObjects(row.handle, row.plot, 0, 100, 100), -1);
        EXPECT_EQ(oglRedraw(row.handle, row.plot, 0, 0), -1);
        EXPECT_EQ(oglResize(row.handle, row.plot, 0, 0, 10, 10), -1);
        EXPECT_EQ(oglMouseMove(row.handle, 50, 40, row.plot), -1);
        EXPECT_EQ(oglStartAction(row.handle, row.plot, 0, 1, 0), -1);
        EXPECT_EQ(oglAction(row.handle, 90, 40, 10, 40, row.plot), -1);
        EXPECT_EQ(oglEndAction(row.handle, row.plot, 0, 0), -1);
        EXPECT_EQ(oglPerspective(row.handle, row.plot, 1.0), -1);
        EXPECT_EQ(oglChangeLighting(row.handle, row.plot), -1);
        double x = 7, y = 7;
        EXPECT_EQ(ogl2dCoordToPlot(row.handle, row.plot, 1, 1, &x, &y), -1);
        EXPECT_EQ(x, 7);
        EXPECT_EQ(y, 7);
        EXPECT_EQ(coloursIn(*d, 0, 0, 100, 80), std::set<std::uint32_t>{0x00FF00}) << "nothing drawn";
    }
    EXPECT_EQ(plot->options.orientation ? plot->options.orientation->theta : 0, theta);
    EXPECT_EQ(oglSetBackground(0, 1, 0, 0), -1);
    EXPECT_EQ(oglPlotInitialize(nullptr, 0, 0, 10, 10, 0), -1);
    // The handle itself still works.
    EXPECT_EQ(draw(*d, h, plot), 0);
}

TEST_F(Gl3dTest, DrawingsThatCannotShowAnythingLeaveTheTarget) {
    PlotRecord* plot = read(surface(6), 3);
    PlotRecord* huge = read("PLOT(TEXT([0,0], ABC, FONT(HELVETICA, 100000)), "
                            "TITLE(Big, FONT(TIMES, ROMAN, 100000)), AXESSTYLE(NONE));", 2);
    ASSERT_NE(plot, nullptr);
    ASSERT_NE(huge, nullptr);
    const std::set<std::uint32_t> untouched{0x00FF00}, background{kWhite};
    const struct {
        const char* name;
        PlotRecord* plot;
        int width, height;
        bool target;
        int frame;
        int result;
        const std::set<std::uint32_t>* colours;
    } rows[] = {
        {"no_current_target", plot, 100, 80, false, 0, -1, &untouched},
        {"empty_size", plot, 0, 0, true, 0, -1, &untouched},
        {"negative_size", plot, -5, 80, true, 0, -1, &untouched},
        {"frame_beyond_the_count", plot, 100, 80, true, 1, 0, &background},
        {"font_of_100000_points", huge, 100, 80, true, 0, 0, &background},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::int32_t> table = setupTable(row.plot, 96);
        ASSERT_EQ(ActivateFonts(table.data()), 0);
        int h = open(row.plot, row.width, row.height);
        auto d = device(100, 80);
        gl3dMakeCurrent(row.target ? d.get() : nullptr);
        EXPECT_EQ(oglRedraw(h, row.plot, row.frame, 0), row.result);
        EXPECT_EQ(coloursIn(*d, 0, 0, 100, 80), *row.colours);
    }
}

}  // namespace
