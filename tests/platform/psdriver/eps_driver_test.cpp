// The EPS plot driver library: loaded by the plot device table for the device "ps", its pictures
// checked with Ghostscript (rendering, bounding box, pixels, extracted text), its strings and
// numbers, and its failures.

#include <dlfcn.h>
#include <link.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/psdriver/EpsPicture.h"
#include "plot/plot_device.h"
#include "plot/render/pipeline.h"
#include "plot/render/scaling.h"
#include "plot_env.h"
#include "svg_device.h"
#include "tovu/ifvars.h"

namespace {

std::string tempPath(const std::string& name) { return std::string(KELVO_BINARY_DIR) + "/tests/platform/psdriver/" + name; }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a command; its standard output and error in *out.  The output goes through a file of
// this process's own: ctest runs the cases of this binary as processes side by side.
int shell(const std::string& command, std::string* out = nullptr) {
    std::string file = tempPath("command." + std::to_string(::getpid()) + ".out");
    int rc = std::system((command + " > " + file + " 2>&1").c_str());
    if (out) *out = slurp(file);
    std::remove(file.c_str());
    return rc;
}

const std::string kGs = "gs -q -dSAFER -dBATCH -dNOPAUSE ";

// A picture rendered by Ghostscript at `dpi` (EPS crop), as 0xRRGGBB pixels, y down.
struct Raster {
    int w = 0, h = 0;
    std::string data;
    unsigned at(int x, int y) const {
        std::size_t i = (static_cast<std::size_t>(y) * w + x) * 3;
        return (unsigned(static_cast<unsigned char>(data[i])) << 16) |
               (unsigned(static_cast<unsigned char>(data[i + 1])) << 8) | unsigned(static_cast<unsigned char>(data[i + 2]));
    }
    bool dark(int x, int y) const { return (at(x, y) & 0xFFFFFF) != 0xFFFFFF; }
};

bool gsRaster(const std::string& eps, int dpi, Raster* r) {
    std::string ppm = eps + ".ppm";
    if (shell(kGs + "-dEPSCrop -sDEVICE=ppmraw -r" + std::to_string(dpi) + " -o " + ppm + " " + eps) != 0) return false;
    std::ifstream in(ppm, std::ios::binary);
    // P6, width, height, maximum value, each perhaps after comment lines.
    std::string word[4];
    for (std::string& w : word) {
        while (in >> std::ws && in.peek() == '#') in.ignore(1 << 20, '\n');
        in >> w;
    }
    in.get();
    r->w = std::atoi(word[1].c_str());
    r->h = std::atoi(word[2].c_str());
    r->data.assign(std::istreambuf_iterator<char>(in), {});
    return word[0] == "P6" && r->w > 0 && r->data.size() >= static_cast<std::size_t>(r->w) * r->h * 3;
}

class EpsDriverTest : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        plot_driver_reset();
        plot_set_driver_folder(PS_DRIVER_FOLDER);
    }
    // Writes the plot through the device "ps" to `path`; answers the reporter's message ("" when
    // none) and the result in *result.
    std::string write(const std::string& text, int dimension, const std::string& path, int* result = nullptr) {
        InterfaceSettings s;
        std::snprintf(s.plotdevice, sizeof s.plotdevice, "ps");
        std::snprintf(s.plotoutput, sizeof s.plotoutput, "%s", path.c_str());
        std::string message;
        int r = plot_to_device(plotArgs(text), nullptr,
                               [](void* ctx, const char* m) { *static_cast<std::string*>(ctx) = m; }, 0, &s, dimension,
                               &message);
        if (result) *result = r;
        return message;
    }
    // Writes the plot and expects success.
    std::string writeOk(const std::string& text, int dimension, const std::string& name) {
        std::string path = tempPath(name);
        int result = 0;
        std::string message = write(text, dimension, path, &result);
        EXPECT_EQ(result, 1) << message;
        EXPECT_EQ(message, "");
        return path;
    }
};

std::string surface(int n, const std::string& options = ", STYLE(PATCH), AXESSTYLE(BOX), TITLE(Surface)") {
    return sinCosSurface(n, options);
}

// Two curves (red above, blue below the x axis) and points of every symbol.
std::string curves(const char* axes) {
    return std::string("PLOT(CURVES([[0,0.5],[1,0.5]], COLOUR(RGB,1,0,0), THICKNESS(2)), "
                       "CURVES([[0,-0.5],[1,-0.5]], COLOUR(RGB,0,0,1), THICKNESS(2)), "
                       "POINTS([0.1,0.2], SYMBOL(CROSS)), POINTS([0.2,0.2], SYMBOL(DIAMOND)), "
                       "POINTS([0.3,0.2], SYMBOL(BOX)), POINTS([0.4,0.2], SYMBOL(CIRCLE)), "
                       "POINTS([0.5,0.2], SYMBOL(POINT)), TITLE(Curves), AXESSTYLE(") +
           axes + "));";
}

// ---- pictures through Ghostscript -----------------------------------------------------------------

TEST_F(EpsDriverTest, PicturesRenderInsideTheirBoundingBox) {
    const struct {
        const char* name;
        std::string text;
        int dimension;
    } rows[] = {
        {"curves_normal", curves("NORMAL"), 2}, {"curves_box", curves("BOX"), 2},
        {"curves_frame", curves("FRAME"), 2},   {"curves_none", curves("NONE"), 2},
        {"surface", surface(20), 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string eps = writeOk(row.text, row.dimension, std::string(row.name) + ".eps");
        std::string file = slurp(eps);
        ASSERT_EQ(file.rfind("%!PS-Adobe-3.0 EPSF-3.0\n", 0), 0u);
        ASSERT_NE(file.find("\n%%EndComments\n"), std::string::npos);
        ASSERT_NE(file.find("\nshowpage\n"), std::string::npos);
        ASSERT_EQ(file.substr(file.size() - 6), "%%EOF\n");
        EXPECT_EQ(file.find("nan"), std::string::npos);
        EXPECT_EQ(file.find("inf"), std::string::npos);

        std::string out;
        EXPECT_EQ(shell(kGs + "-dEPSCrop -sDEVICE=png16m -r72 -o " + eps + ".png " + eps, &out), 0) << out;
        EXPECT_EQ(out.find("Error"), std::string::npos) << out;

        int x0, y0, x1, y1;
        ASSERT_EQ(std::sscanf(file.c_str() + file.find("%%BoundingBox:"), "%%%%BoundingBox: %d %d %d %d", &x0, &y0, &x1, &y1),
                  4);
        ASSERT_EQ(shell(kGs + "-sDEVICE=bbox " + eps, &out), 0) << out;
        double b[4];
        std::size_t at = out.find("%%HiResBoundingBox:");
        ASSERT_NE(at, std::string::npos) << out;
        ASSERT_EQ(std::sscanf(out.c_str() + at, "%%%%HiResBoundingBox: %lf %lf %lf %lf", &b[0], &b[1], &b[2], &b[3]), 4);
        EXPECT_GE(b[0], x0);
        EXPECT_GE(b[1], y0);
        EXPECT_LE(b[2], x1);
        EXPECT_LE(b[3], y1);
        EXPECT_GT(b[2] - b[0], 100) << "the marks cover the picture";
    }
}

TEST_F(EpsDriverTest, CurvesAndAxesLieWhereTheyMust) {
    std::string eps = writeOk(curves("NORMAL"), 2, "placed.eps");
    Raster r;
    ASSERT_TRUE(gsRaster(eps, 72, &r));
    ASSERT_EQ(r.w, psdriver::kEpsWidth);
    ASSERT_EQ(r.h, psdriver::kEpsHeight);
    // Down a column right of the points: the red curve, the x axis near the middle, the blue
    // curve, and nothing else.
    int x = r.w * 7 / 10;
    int red = -1, axis = -1, blue = -1, others = 0;
    for (int y = 0; y < r.h; ++y) {
        unsigned c = r.at(x, y);
        if (c == 0xFF0000 && red < 0) red = y;
        else if (c == 0x000000 && axis < 0) axis = y;
        else if (c == 0x0000FF && blue < 0) blue = y;
        else if (c != 0xFFFFFF && c != 0xFF0000 && c != 0x000000 && c != 0x0000FF) ++others;
    }
    ASSERT_GE(red, 0) << "the red curve";
    ASSERT_GE(axis, 0) << "the x axis";
    ASSERT_GE(blue, 0) << "the blue curve";
    EXPECT_LT(red, axis);
    EXPECT_LT(axis, blue);
    EXPECT_NEAR(axis, r.h / 2, r.h / 10);
    EXPECT_NEAR(axis - red, blue - axis, 3) << "the curves lie at equal distances from the axis";
    EXPECT_GT(blue - red, r.h / 2) << "the plot fills most of the picture";
    EXPECT_EQ(others, 0);
}

TEST_F(EpsDriverTest, TextsComeBackAsWritten) {
    const struct {
        const char* name;
        std::string title;   // as the plot structure writes it
        std::string expected;   // UTF-8, as txtwrite extracts it
    } rows[] = {
        {"brackets_and_backslash", "`a(b)c\\\\d`", "a(b)c\\d"},
        {"string_end_and_show", "`) show (x`", ") show (x"},
        {"code_page_1252", "`caf\xE9`", "caf\xC3\xA9"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string eps = writeOk("PLOT(POINTS([0,0]), TITLE(" + row.title + "), AXESSTYLE(NONE));", 2,
                                  std::string(row.name) + ".eps");
        std::string text;
        ASSERT_EQ(shell(kGs + "-sDEVICE=txtwrite -o - " + eps, &text), 0) << text;
        EXPECT_NE(text.find(row.expected), std::string::npos) << text;
    }
    std::string eps = writeOk("PLOT(POINTS([0,0]), TEXT([0,0], abg, FONT(SYMBOL, 12)), AXESSTYLE(NONE));", 2,
                              "symbol.eps");
    std::string text;
    ASSERT_EQ(shell(kGs + "-sDEVICE=txtwrite -o - " + eps, &text), 0) << text;
    EXPECT_NE(text.find("\xCE\xB1\xCE\xB2\xCE\xB3"), std::string::npos) << text;   // alpha beta gamma
}

TEST_F(EpsDriverTest, PicturesAgreeWithTheSvgDeviceAwayFromEdges) {
    plot_driver_register("svg", svgDriver, nullptr);
    const struct {
        const char* name;
        std::string text;
        int dimension;
    } rows[] = {
        {"triangles", "PLOT(POLYGONS([[0,0],[1,0],[1,1]], COLOUR(RGB,1,0,0)), "
                      "POLYGONS([[0,0],[-1,0],[0,-1]], COLOUR(RGB,0.2,0.4,0.6)), AXESSTYLE(NONE));", 2},
        {"surface", surface(12, ", PROJECTION(30, 60, 1)"), 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string svgFile = tempPath(std::string(row.name) + ".svg");
        InterfaceSettings s;
        std::snprintf(s.plotdevice, sizeof s.plotdevice, "svg");
        std::snprintf(s.plotoutput, sizeof s.plotoutput, "%s", svgFile.c_str());
        ASSERT_EQ(plot_to_device(plotArgs(row.text), nullptr, nullptr, 0, &s, row.dimension, nullptr), 1);
        Image svg;
        ASSERT_TRUE(rasterise(svgFile, &svg));
        Raster eps;
        ASSERT_TRUE(gsRaster(writeOk(row.text, row.dimension, std::string(row.name) + "_cmp.eps"), 72, &eps));

        // Where the driver puts a view point: the plot's scaling of the picture.
        std::string error;
        PlotRecord* plot = readPlot(row.text, row.dimension, area, &error);
        ASSERT_NE(plot, nullptr) << error;
        PlotView view{};
        ViewBox all{};
        plot_frame_view(plot, plot->first, &view, &all);
        PlotScaling scaling;
        scaling.compute(all.lo[0], all.hi[0], all.lo[1], all.hi[1], psdriver::kEpsWidth, psdriver::kEpsHeight,
                        plot_scaling_constrained(plot, plot->first));

        auto uniform = [](auto at, int x, int y, int r) {
            unsigned c = at(x, y);
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx)
                    if (at(x + dx, y + dy) != c) return false;
            return true;
        };
        auto svgAt = [&](int x, int y) { return svg.at(x, y); };
        auto epsAt = [&](int x, int y) { return eps.at(x, y); };
        int samples = 0, coloured = 0, disagree = 0;
        for (int py = 4; py < svg.h - 4; py += 5)
            for (int px = 4; px < svg.w - 4; px += 5) {
                if (!uniform(svgAt, px, py, 3)) continue;
                double x = (px + 0.5 - 200) / 180, y = (200 - py - 0.5) / 180;
                int ex = static_cast<int>(std::floor(scaling.u(x))), ey = static_cast<int>(std::floor(eps.h - scaling.v(y)));
                if (ex < 2 || ey < 2 || ex >= eps.w - 2 || ey >= eps.h - 2 || !uniform(epsAt, ex, ey, 1)) continue;
                unsigned a = svg.at(px, py), b = eps.at(ex, ey);
                ++samples;
                coloured += a != 0xFFFFFF;
                bool close = true;
                for (int shift = 0; shift < 24; shift += 8)
                    close = close && std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) <= 2;
                disagree += !close;
            }
        EXPECT_GT(samples, 200);
        EXPECT_GT(coloured, 50);
        EXPECT_LE(disagree, samples / 50) << "of " << samples;
    }
}

// Rows of ink in column x, and the runs of ink along row y.
int inkRows(const Raster& r, int x) {
    int n = 0;
    for (int y = 0; y < r.h; ++y) n += r.dark(x, y);
    return n;
}
int inkRuns(const Raster& r, int y, int x0, int x1) {
    int runs = 0;
    bool in = false;
    for (int x = x0; x < x1; ++x) {
        bool d = r.dark(x, y);
        if (d && !in) ++runs;
        in = d;
    }
    return runs;
}

TEST_F(EpsDriverTest, ThicknessAndLineStyleShowInThePixels) {
    auto line = [&](const std::string& options, const std::string& name) {
        std::string eps = writeOk("PLOT(CURVES([[0,0],[1,0]]" + options + "), AXESSTYLE(NONE));", 2, name);
        Raster r;
        EXPECT_TRUE(gsRaster(eps, 144, &r));
        return r;
    };
    Raster thin = line(", THICKNESS(1)", "thin.eps"), thick = line(", THICKNESS(3)", "thick.eps");
    ASSERT_GT(thin.w, 0);
    ASSERT_GT(thick.w, 0);
    EXPECT_GT(inkRows(thick, thick.w / 2), inkRows(thin, thin.w / 2));
    EXPECT_GT(inkRows(thin, thin.w / 2), 0);

    Raster solid = line("", "solid.eps"), dashed = line(", LINESTYLE(2)", "dashed.eps");
    int y = solid.h / 2;
    EXPECT_EQ(inkRuns(solid, y, solid.w / 4, 3 * solid.w / 4), 1);
    EXPECT_GT(inkRuns(dashed, y, dashed.w / 4, 3 * dashed.w / 4), 5);
}

// ---- the library path of the device table ------------------------------------------------------

int loadedCopies() {
    int count = 0;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.size() >= 6 && name.compare(name.size() - 6, 6, "/ps.so") == 0) ++*static_cast<int*>(data);
            return 0;
        },
        &count);
    return count;
}

TEST_F(EpsDriverTest, LibraryIsLoadedOnceAndWriteFailuresAreReported) {
    writeOk("PLOT(CURVES([[0,0],[1,1]]));", 2, "first.eps");
    writeOk(surface(5), 3, "second.eps");
    EXPECT_EQ(loadedCopies(), 1);

    int result = 1;
    EXPECT_EQ(write("PLOT(CURVES([[0,0],[1,1]]));", 2, "/dev/full", &result), "could not write the plot output");
    EXPECT_EQ(result, 0);
    // A larger picture fills the buffer before the end: the failure comes from inside the driver.
    EXPECT_EQ(write(surface(40), 3, "/dev/full", &result), "could not write the plot output");
    EXPECT_EQ(result, 0);
    // The device still works afterwards.
    writeOk("PLOT(CURVES([[0,0],[1,1]]));", 2, "after.eps");
}

TEST_F(EpsDriverTest, AnAnimationIsWrittenAsItsFirstFrame) {
    std::string eps = writeOk("PLOT(ANIMATE([CURVES([[0,0],[1,1]], COLOUR(RGB,1,0,0))], "
                              "[CURVES([[0,0],[1,1]], COLOUR(RGB,0,0,1))]), AXESSTYLE(NONE));", 2, "animation.eps");
    std::string file = slurp(eps);
    EXPECT_NE(file.find("1.000 0.000 0.000 C"), std::string::npos);
    EXPECT_EQ(file.find("0.000 0.000 1.000 C"), std::string::npos);
}

// ---- strings and numbers ---------------------------------------------------------------------------

TEST(EpsText, StringsCannotEndEarly) {
    const struct {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"plain", "abc 12", "abc 12"},
        {"brackets", "a(b)c", "a\\(b\\)c"},
        {"backslash", "a\\b", "a\\\\b"},
        {"newline", "a\nb%c", "a\\012b%c"},
        {"high_byte", "\xE9\x80", "\\351\\200"},
        {"control_and_delete", std::string("\x01\x7F", 2), "\\001\\177"},
        {"nul", std::string("a\0b", 3), "a\\000b"},
    };
    for (const auto& row : rows) {
        std::string out;
        psdriver::eps_append_string(out, row.in.data(), row.in.size());
        EXPECT_EQ(out, row.out) << row.name;
    }
}

TEST(EpsText, NumbersAreFiniteWithTwoDecimals) {
    const struct {
        double in;
        const char* out;
    } rows[] = {
        {1.5, "1.50"}, {-2.25, "-2.25"}, {0.001, "0.00"}, {-0.001, "0.00"}, {NAN, "0.00"},
        {INFINITY, "0.00"}, {-INFINITY, "0.00"}, {1e300, "0.00"}, {123456.789, "123456.79"},
    };
    for (const auto& row : rows) {
        std::string out;
        psdriver::eps_append_number(out, row.in);
        EXPECT_EQ(out, row.out) << row.in;
    }
}

TEST(EpsText, FontsFollowThePlotFonts) {
    PlotFont fonts[] = {{"times", "roman", 12}, {"times", "bolditalic", 10}, {"helvetica", "oblique", 9},
                        {"courier", "boldoblique", 7}, {"symbol", "", 11}, {"courier", "", 100000}};
    PlotFont* list[std::size(fonts)];
    for (std::size_t i = 0; i < std::size(fonts); ++i) list[i] = &fonts[i];
    PlotRecord plot{};
    plot.fontCount = static_cast<std::int32_t>(std::size(fonts));
    plot.fonts = list;
    const struct {
        int index;
        const char* name;
        double size;
    } rows[] = {
        {0, "Helvetica-1252", 8},  {1, "Times-Roman-1252", 12}, {2, "Times-BoldItalic-1252", 10},
        {3, "Helvetica-Oblique-1252", 9}, {4, "Courier-BoldOblique-1252", 7}, {5, "Symbol", 11},
        {6, "Courier-1252", 1000}, {7, "Helvetica-1252", 8},
    };
    for (const auto& row : rows) {
        psdriver::EpsFont f = psdriver::eps_font(&plot, row.index);
        EXPECT_EQ(f.name, row.name) << row.index;
        EXPECT_EQ(f.size, row.size) << row.index;
    }
    EXPECT_EQ(psdriver::eps_title_font(&plot, nullptr).name, "Times-Roman-1252");
    plot.options.titleFont = 3;
    EXPECT_EQ(psdriver::eps_title_font(&plot, nullptr).name, "Helvetica-Oblique-1252");
}

// ---- the LaTeX macro -------------------------------------------------------------------------------

// Documents with each preamble include a 2-D and a 3-D picture through \kelvoplot (the style
// files of the build tree's share/latex); latex and dvips make PostScript that Ghostscript
// renders.  Each picture is at most as wide as the line: scaled down in a narrow minipage, at
// its own 360 points in a wide one.
TEST_F(EpsDriverTest, PicturesIncludedByTheLatexMacro) {
    writeOk(curves("NORMAL"), 2, "latex_curves.eps");
    writeOk(surface(15), 3, "latex_surface.eps");
    const struct {
        const char* name;
        const char* preamble;
    } documents[] = {
        {"latex_plots_2e", "\\documentclass{article}\n\\usepackage{kelvo2e}\n"},
        {"latex_plots_209", "\\documentstyle[kelvo209]{article}\n"},
    };
    for (const auto& d : documents) {
        SCOPED_TRACE(d.name);
        std::string tex = tempPath(std::string(d.name) + ".tex");
        {
            std::ofstream out(tex);
            out << d.preamble << "\\begin{document}\n"
                << "\\kelvoplot{latex_curves.eps}\n\n\\kelvoplot{latex_surface.eps}\n\n"
                << "\\sbox{0}{\\includegraphics{latex_surface.eps}}\\typeout{kelvoplot natural \\the\\wd0;}\n";
            for (const char* width : {"200pt", "500pt"}) {
                out << "\\begin{minipage}{" << width << "}\\sbox{0}{\\kelvoplot{latex_surface.eps}}"
                    << "\\typeout{kelvoplot " << width << " \\the\\wd0;}\\usebox{0}\\end{minipage}\n\n";
            }
            out << "\\end{document}\n";
        }
        std::string dir = tempPath("");
        std::string texinputs = "TEXINPUTS=" + std::string(KELVO_BINARY_DIR) + "/share/latex: ";
        std::string output;
        int rc = shell("(cd " + dir + " && " + texinputs + "latex -interaction=nonstopmode -halt-on-error " + d.name +
                           ".tex && dvips -q -o " + d.name + ".ps " + d.name + ".dvi)",
                       &output);
        std::string log = slurp(tempPath(std::string(d.name) + ".log"));
        ASSERT_EQ(rc, 0) << output << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
        EXPECT_EQ(log.find("\n! "), std::string::npos) << log;
        EXPECT_NE(log.find(std::string(KELVO_BINARY_DIR) + "/share/latex/kelvo2e.sty"), std::string::npos);
        // The widths typed out, in points (-1 when missing).
        auto typedOut = [&log](const std::string& key) {
            std::size_t at = log.find("kelvoplot " + key + " ");
            return at == std::string::npos ? -1.0 : std::atof(log.c_str() + at + key.size() + 11);
        };
        EXPECT_NEAR(typedOut("200pt"), 200.0, 0.01);
        EXPECT_GT(typedOut("natural"), 300.0);
        EXPECT_EQ(typedOut("500pt"), typedOut("natural"));

        // Ghostscript renders every page without an error, and the pages are not blank.
        std::string ps = tempPath(std::string(d.name) + ".ps");
        std::string bbox;
        ASSERT_EQ(shell(kGs + "-sDEVICE=bbox " + ps, &bbox), 0) << bbox;
        EXPECT_NE(bbox.find("%%HiResBoundingBox"), std::string::npos) << bbox;
        EXPECT_EQ(bbox.find("%%BoundingBox: 0 0 0 0"), std::string::npos) << "a blank page\n" << bbox;
        EXPECT_EQ(bbox.find("Error"), std::string::npos) << bbox;
        std::string rendered;
        EXPECT_EQ(shell(kGs + "-sDEVICE=png16m -r50 -o " + tempPath(std::string(d.name) + "-%d.png") + " " + ps,
                        &rendered),
                  0)
            << rendered;
        EXPECT_EQ(rendered.find("Error"), std::string::npos) << rendered;
    }
}

}  // namespace
