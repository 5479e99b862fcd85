// The smart plot procedures as a smart plot region meets them: statements evaluated by the real
// kernel library in process (KL_Direct) and behind kernsrv (KL_PipeServer).  Each reply is
// checked as a DAG, its one-line print exactly, every answered argument text with the region's
// reading rules (SmartPlotText), and every PLOT and PLOT3D reply with the plot engine's
// structure reader.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

#if defined(KL_REAL_KERNEL) && defined(KL_KERNSRV)

#include "tests/plot/plot_kernel_replies.h"
#include "tests/plot/smart_plot_text.h"

namespace {

using namespace plot_kernel;

class SmartPlotTest : public ::testing::TestWithParam<KLVia> {
protected:
    static void TearDownTestSuite() {
        direct.reset();
        server.reset();
    }
    std::vector<Reply> run(const std::string& text) {
        auto& k = GetParam() == KLVia::Direct ? direct : server;
        if (!k) k = std::make_unique<Kernel>(GetParam());
        return k->run(text);
    }
    // The answer of an edit or append: exactly one RESULT, then DONE; its print.
    std::string answer(const std::string& statement) {
        auto replies = run(statement);
        EXPECT_EQ(streams(replies), (std::vector<std::string>{"RESULT", "DONE"}))
            << statement << ": " << (replies.empty() ? "" : replies[0].printed);
        return replies.size() == 2 && replies[0].stream == "RESULT" ? replies[0].printed : "<no result>";
    }
    // The plot of an argument text as the region asks for it: one reply read without error,
    // with at least one object per curve of the text.
    std::vector<Reply> plotOf(const std::string& arguments, int dimension) {
        std::string command = std::string(dimension == 2 ? "SMARTPLOT2D" : "SMARTPLOT3D") + "(" + arguments + ");";
        auto replies = run(command);
        std::string kind = dimension == 2 ? "PLOT" : "PLOT3D";
        EXPECT_EQ(streams(replies), (std::vector<std::string>{kind, "DONE"}))
            << command << ": " << (replies.empty() ? "" : replies[0].printed);
        if (replies.size() == 2 && replies[0].stream == kind) {
            EXPECT_NE(replies[0].plot, nullptr) << command << ": " << replies[0].readError;
            if (replies[0].plot) {
                EXPECT_EQ(objects_of(replies[0].plot->first).size(), std::size_t(SmartPlotText(arguments).curveCount()))
                    << command;
            }
        }
        return replies;
    }
    static std::unique_ptr<Kernel> direct, server;
};
std::unique_ptr<Kernel> SmartPlotTest::direct, SmartPlotTest::server;

const PlotObject* object_at(const Reply& r, std::size_t i) {
    if (!r.plot) return nullptr;
    auto objects = objects_of(r.plot->first);
    return i < objects.size() ? objects[i] : nullptr;
}

// ---- smartplot and smartplot3d ---------------------------------------------------------------------

struct SendCase {
    const char* name;
    const char* statement;
    const char* stream;
    const char* printed;
    std::vector<const char*> curves;   // each curve's expression as the region reads it
};

const SendCase sendCases[] = {
    {"one_curve", "smartplot(sin(x));", "SMARTPLOT2D", "[sin(x), x = -10 .. 10]", {"sin(x)"}},
    {"given_range", "smartplot(x^2, x = 0 .. 1);", "SMARTPLOT2D", "[x^2, x = 0 .. 1]", {"x^2"}},
    {"list_with_own_names", "smartplot([sin(x), cos(t)], color = red);", "SMARTPLOT2D",
     "[sin(x), x = -10 .. 10], [cos(t), t = -10 .. 10], color = red", {"sin(x)", "cos(t)"}},
    {"constant_over_x", "smartplot(5);", "SMARTPLOT2D", "[5, x = -10 .. 10]", {"5"}},
    {"surface", "smartplot3d(x*y);", "SMARTPLOT3D", "[x*y, x = -10 .. 10, y = -10 .. 10]", {"x*y"}},
    {"bracketed_option_first", "smartplot3d(sin(x), axes = BOXED, view = [DEFAULT, DEFAULT, -1 .. 1]);",
     "SMARTPLOT3D", "[sin(x), x = -10 .. 10, y = -10 .. 10], view = [DEFAULT, DEFAULT, -1 .. 1], axes = BOXED",
     {"sin(x)"}},
};

TEST_P(SmartPlotTest, SmartplotSendsTheArgumentTextAndNoResult) {
    for (const SendCase& c : sendCases) {
        auto replies = run(c.statement);
        ASSERT_EQ(streams(replies), (std::vector<std::string>{c.stream, "DONE"})) << c.name;
        EXPECT_EQ(replies[0].printed, c.printed) << c.name;
        SmartPlotText text(replies[0].printed);
        ASSERT_EQ(text.curveCount(), int(c.curves.size())) << c.name;
        for (std::size_t i = 0; i < c.curves.size(); ++i) EXPECT_EQ(text.curveText(int(i + 1)), c.curves[i]) << c.name;
        // The region asks for the plot of the text it was given.
        plotOf(replies[0].printed, std::string(c.stream) == "SMARTPLOT2D" ? 2 : 3);
    }
}

// ---- SMARTPLOT2D and SMARTPLOT3D -------------------------------------------------------------------

TEST_P(SmartPlotTest, OneGroupIsOneCurveOnItsRange) {
    auto replies = plotOf("[sin(x), x = -10 .. 10]", 2);
    ASSERT_EQ(replies.size(), 2u);
    const PlotObject* o = object_at(replies[0], 0);
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->kind, PLOT_CURVES);
    auto v = vertices_of(o);
    ASSERT_GE(v.size(), 50u);
    EXPECT_EQ(v.front().x, -10.0);
    EXPECT_EQ(v.back().x, 10.0);
    for (const PlotVertex& p : v) EXPECT_NEAR(p.y, std::sin(p.x), 1e-9);
}

TEST_P(SmartPlotTest, GroupsAreObjectsInGroupOrderWithTheirOwnOptions) {
    auto replies = plotOf("[sin(x), x = -10 .. 10], [cos(x), x = 0 .. 1, color = blue, style = POINT], "
                          "[x^2, x = -1 .. 1, thickness = 2]",
                          2);
    ASSERT_EQ(replies.size(), 2u);
    const PlotObject *a = object_at(replies[0], 0), *b = object_at(replies[0], 1), *c = object_at(replies[0], 2);
    ASSERT_TRUE(a && b && c);
    EXPECT_NEAR(vertices_of(a).back().y, std::sin(10.0), 1e-9);
    EXPECT_EQ(vertices_of(b).front().x, 0.0);
    EXPECT_NEAR(vertices_of(b).front().y, 1.0, 1e-12);
    EXPECT_NEAR(vertices_of(c).front().y, 1.0, 1e-12);
    ASSERT_NE(b->options.colour, nullptr);
    ASSERT_EQ(b->options.colour->kind, SHADE_RGB);
    EXPECT_EQ(b->options.colour->values[0], 0.0);
    EXPECT_EQ(b->options.colour->values[2], 1.0);
    EXPECT_EQ(b->options.style, STYLE_POINT);
    EXPECT_EQ(a->options.style, STYLE_DEFAULT);
    EXPECT_EQ(c->options.thickness, 2);
    // Curves without a colour of their own get distinct ones.
    ASSERT_TRUE(a->options.colour && c->options.colour);
    EXPECT_NE(std::vector<double>(a->options.colour->values, a->options.colour->values + 3),
              std::vector<double>(c->options.colour->values, c->options.colour->values + 3));
}

TEST_P(SmartPlotTest, WholePlotColourColoursEveryCurveWithoutItsOwn) {
    auto replies = plotOf("[sin(x), x = -10 .. 10], [cos(x), x = -10 .. 10, color = blue], color = red", 2);
    ASSERT_EQ(replies.size(), 2u);
    const PlotObject *a = object_at(replies[0], 0), *b = object_at(replies[0], 1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->options.colour, nullptr);   // the plot's colour applies
    const PlotColour* whole = replies[0].plot->objectOptions.colour;
    ASSERT_NE(whole, nullptr);
    ASSERT_EQ(whole->kind, SHADE_RGB);
    EXPECT_EQ(whole->values[0], 1.0);
    EXPECT_EQ(whole->values[2], 0.0);
    ASSERT_NE(b->options.colour, nullptr);
    EXPECT_EQ(b->options.colour->values[2], 1.0);
}

TEST_P(SmartPlotTest, ThreeDimensionalGroupsAreOneGridEach) {
    auto replies = plotOf("[x*y, x = -1 .. 1, y = -1 .. 1], [x+y, x = 0 .. 1, y = 0 .. 2, shading = ZHUE, grid = [5, 7]]", 3);
    ASSERT_EQ(replies.size(), 2u);
    const PlotObject *a = object_at(replies[0], 0), *b = object_at(replies[0], 1);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->kind, PLOT_GRID);
    ASSERT_EQ(b->kind, PLOT_GRID);
    auto* g = static_cast<const PlotGridData*>(b->data);
    EXPECT_EQ(g->rows, 5);
    EXPECT_EQ(g->cols, 7);
    EXPECT_NEAR(g->values[g->rows * g->cols - 1], 3.0, 1e-12);   // at x = 1, y = 2
    ASSERT_NE(b->options.colour, nullptr);
    EXPECT_EQ(b->options.colour->kind, SHADE_ZHUE);
    EXPECT_EQ(a->options.colour, nullptr);
}

TEST_P(SmartPlotTest, TextWithoutGroupSendsNothing) {
    for (const char* statement : {"SMARTPLOT2D();", "SMARTPLOT3D();", "SMARTPLOT2D(axes = BOXED);"})
        EXPECT_EQ(streams(run(statement)), (std::vector<std::string>{"DONE"})) << statement;
}

// ---- EDITSMARTPLOT ---------------------------------------------------------------------------------

struct EditCase {
    const char* name;
    const char* statement;
    const char* printed;
    int dimension;
    std::vector<const char*> curves;
    // Options where the menus look for them: name, curve (0: the whole plot), value text.
    std::vector<std::tuple<const char*, int, const char*>> options;
};

const char* const kSin = "[sin(x), x = -10 .. 10]";
const char* const kThree = "[sin(x), x = -10 .. 10], [cos(x), x = -10 .. 10], [tan(x), x = -10 .. 10]";

const EditCase editCases[] = {
    {"whole_plot_axes", "EDITSMARTPLOT(axes=BOXED, [sin(x), x = -10 .. 10]);", "[sin(x), x = -10 .. 10], axes = BOXED", 2,
     {"sin(x)"}, {{"axes", 0, "BOXED"}}},
    {"same_option_replaced", "EDITSMARTPLOT(axes=NONE, [sin(x), x = -10 .. 10], axes = BOXED);",
     "[sin(x), x = -10 .. 10], axes = NONE", 2, {"sin(x)"}, {{"axes", 0, "NONE"}}},
    {"replaced_ignoring_case", "EDITSMARTPLOT(style=LINE, [sin(x), x = -10 .. 10], STYLE = POINT);",
     "[sin(x), x = -10 .. 10], style = LINE", 2, {"sin(x)"}, {{"style", 0, "LINE"}}},
    {"linestyle_is_not_style", "EDITSMARTPLOT(style=LINE, [sin(x), x = -10 .. 10], linestyle = 2);",
     "[sin(x), x = -10 .. 10], linestyle = 2, style = LINE", 2, {"sin(x)"},
     {{"style", 0, "LINE"}, {"linestyle", 0, "2"}}},
    {"second_curve_only",
     "EDITSMARTPLOT(         2,style=POINT, [sin(x), x = -10 .. 10], [cos(x), x = -10 .. 10], [tan(x), x = -10 .. 10]);",
     "[sin(x), x = -10 .. 10], [cos(x), x = -10 .. 10, style = POINT], [tan(x), x = -10 .. 10]", 2,
     {"sin(x)", "cos(x)", "tan(x)"}, {{"style", 2, "POINT"}, {"style", 1, "<none>"}, {"style", 3, "<none>"}, {"style", 0, "<none>"}}},
    {"curve_option_replaced", "EDITSMARTPLOT(         1,color=navy, [sin(x), x = -10 .. 10, color = red, style = LINE]);",
     "[sin(x), x = -10 .. 10, color = navy, style = LINE]", 2, {"sin(x)"}, {{"color", 1, "navy"}, {"style", 1, "LINE"}}},
    {"axes_of_a_3d_curve_go_to_the_plot", "EDITSMARTPLOT(         1,axes=BOXED, [x*y, x = -1 .. 1, y = -1 .. 1]);",
     "[x*y, x = -1 .. 1, y = -1 .. 1], axes = BOXED", 3, {"x*y"}, {{"axes", 0, "BOXED"}, {"axes", 1, "<none>"}}},
    {"scaling_of_a_3d_curve_goes_to_the_plot",
     "EDITSMARTPLOT(         1,scaling=CONSTRAINED, [x*y, x = -1 .. 1, y = -1 .. 1], axes = BOXED);",
     "[x*y, x = -1 .. 1, y = -1 .. 1], axes = BOXED, scaling = CONSTRAINED", 3, {"x*y"},
     {{"scaling", 0, "CONSTRAINED"}, {"axes", 0, "BOXED"}}},
    {"colour_after_view", "EDITSMARTPLOT(color=red, [sin(x), x = -10 .. 10], view = [0 .. 1, DEFAULT]);",
     "[sin(x), x = -10 .. 10], view = [0 .. 1, DEFAULT], color = red", 2, {"sin(x)"}, {{"color", 0, "red"}}},
    {"view_goes_before_colour", "EDITSMARTPLOT(view=[ 0..1, DEFAULT], [sin(x), x = -10 .. 10], color = red);",
     "[sin(x), x = -10 .. 10], view = [0 .. 1, DEFAULT], color = red", 2, {"sin(x)"}, {{"color", 0, "red"}}},
    {"shading_replaces_colour", "EDITSMARTPLOT(         1,shading=ZHUE, [x*y, x = -1 .. 1, y = -1 .. 1, color = red]);",
     "[x*y, x = -1 .. 1, y = -1 .. 1, shading = ZHUE]", 3, {"x*y"}, {{"shading", 1, "ZHUE"}, {"color", 1, "<none>"}}},
    {"colour_replaces_shading", "EDITSMARTPLOT(colour=red, [x*y, x = -1 .. 1, y = -1 .. 1], shading = Z, axes = BOXED);",
     "[x*y, x = -1 .. 1, y = -1 .. 1], colour = red, axes = BOXED", 3, {"x*y"},
     {{"colour", 0, "red"}, {"shading", 0, "<none>"}}},
    {"curve_zero_is_the_whole_plot", "EDITSMARTPLOT(0, style=POINT, [sin(x), x = -10 .. 10]);",
     "[sin(x), x = -10 .. 10], style = POINT", 2, {"sin(x)"}, {{"style", 0, "POINT"}}},
    // No group: nothing for the menus to look up yet; the text waits for its first curve.
    {"empty_region", "EDITSMARTPLOT(style=LINE);", "style = LINE", 0, {}, {}},
};

TEST_P(SmartPlotTest, EditAnswersTheTextWithTheOptionWhereTheMenusLook) {
    for (const EditCase& c : editCases) {
        std::string printed = answer(c.statement);
        EXPECT_EQ(printed, c.printed) << c.name;
        SmartPlotText text(printed);
        ASSERT_EQ(text.curveCount(), int(c.curves.size())) << c.name << ": " << printed;
        for (std::size_t i = 0; i < c.curves.size(); ++i) EXPECT_EQ(text.curveText(int(i + 1)), c.curves[i]) << c.name;
        for (const auto& [name, curve, value] : c.options)
            EXPECT_EQ(text.optionValue(name, curve), value) << c.name << ": " << name << " of curve " << curve;
        if (c.dimension != 0) plotOf(printed, c.dimension);
    }
}

TEST_P(SmartPlotTest, EditsChainAsTheRegionSendsThem) {
    // Each answer becomes the next edit's argument text, as the region's wizard does.
    std::string text = kThree;
    const char* edits[] = {"axes=BOXED", "2,color=blue", "view=[ 0..1, DEFAULT]", "color=red", "2,thickness=3",
                           "axes=FRAME"};
    for (const char* e : edits) text = answer(std::string("EDITSMARTPLOT(") + e + ", " + text + ");");
    EXPECT_EQ(text, "[sin(x), x = -10 .. 10], [cos(x), x = -10 .. 10, color = blue, thickness = 3], "
                    "[tan(x), x = -10 .. 10], view = [0 .. 1, DEFAULT], axes = FRAME, color = red");
    SmartPlotText read(text);
    EXPECT_EQ(read.curveCount(), 3);
    EXPECT_EQ(read.optionValue("axes"), "FRAME");
    EXPECT_EQ(read.optionValue("color"), "red");
    EXPECT_EQ(read.optionValue("color", 2), "blue");
    plotOf(text, 2);
}

// Every option text of the plot menus and the range dialog: accepted for the whole plot and
// for a curve, and read back by the structure reader in the field it sets.
enum class Field { Style, Symbol, LineStyle, Thickness, Colour, Axes, Scaling, Projection, GridStyle, View };

struct OptionCase {
    int dimension;
    std::string option;   // as the menus send it
    Field field;
    int expected;         // the field's value
    bool wholeOnly;       // goes among the whole-plot options even with a curve number
};

std::vector<OptionCase> option_cases() {
    std::vector<OptionCase> rows;
    for (int d : {2, 3}) {
        struct Word {
            const char* text;
            int code;
        };
        std::vector<Word> styles = d == 2 ? std::vector<Word>{{"LINE", STYLE_LINE}, {"POINT", STYLE_POINT},
                                                              {"PATCH", STYLE_PATCH}, {"PATCHNOGRID", STYLE_PATCHNOGRID}}
                                          : std::vector<Word>{{"PATCH", STYLE_PATCH},   {"PATCHNOGRID", STYLE_PATCHNOGRID},
                                                              {"PATCHCONTOUR", STYLE_PATCHCONTOUR},
                                                              {"HIDDEN", STYLE_HIDDEN}, {"CONTOUR", STYLE_CONTOUR},
                                                              {"WIREFRAME", STYLE_LINE}, {"POINT", STYLE_POINT}};
        for (const Word& w : styles) rows.push_back({d, std::string("style=") + w.text, Field::Style, w.code, false});
        for (const Word& w : std::vector<Word>{{"CROSS", 1}, {"DIAMOND", 2}, {"POINT", 5}, {"CIRCLE", 4}, {"BOX", 3}})
            rows.push_back({d, std::string("symbol=") + w.text, Field::Symbol, w.code, false});
        for (int n = 1; n <= 4; ++n)
            rows.push_back({d, "linestyle=" + std::to_string(n), Field::LineStyle, n, false});
        for (int n = 0; n <= 3; ++n)
            rows.push_back({d, "thickness=" + std::to_string(n), Field::Thickness, n, false});
        for (const char* c : {"aquamarine", "black", "blue", "brown", "coral", "cyan", "gold", "grey", "green", "khaki",
                              "magenta", "maroon", "navy", "orange", "pink", "plum", "red", "sienna", "tan", "turquoise",
                              "violet", "wheat", "white", "yellow"})
            rows.push_back({d, std::string("color=") + c, Field::Colour, SHADE_RGB, false});
        for (const Word& w : std::vector<Word>{{"BOXED", AXES_BOX}, {"FRAME", AXES_FRAME}, {"NORMAL", AXES_NORMAL}, {"NONE", AXES_NONE}})
            rows.push_back({d, std::string("axes=") + w.text, Field::Axes, w.code, true});
        rows.push_back({d, "scaling=CONSTRAINED", Field::Scaling, SCALING_CONSTRAINED, true});
        rows.push_back({d, "scaling=UNCONSTRAINED", Field::Scaling, SCALING_UNCONSTRAINED, true});
    }
    rows.push_back({2, "view=[ 0..1, DEFAULT]", Field::View, 1, true});
    rows.push_back({2, "view=[ DEFAULT, DEFAULT]", Field::View, 0, true});
    rows.push_back({2, "view=[ -1..2, -3..4 ]", Field::View, 3, true});
    rows.push_back({3, "view=[ DEFAULT, DEFAULT,DEFAULT]", Field::View, 0, true});
    rows.push_back({3, "view=[ -1..1, DEFAULT,0..2 ]", Field::View, 5, true});
    for (const auto& [text, code] : std::vector<std::pair<const char*, int>>{
             {"shading=XYZ", SHADE_XYZ}, {"shading=XY", SHADE_XY}, {"shading=Z", SHADE_Z}, {"shading=ZHUE", SHADE_ZHUE},
             {"shading=ZGREYSCALE", SHADE_ZGREY}, {"shading=NONE", SHADE_NONE}})
        rows.push_back({3, text, Field::Colour, code, false});
    rows.push_back({3, "projection=1", Field::Projection, 1, true});
    rows.push_back({3, "projection=0.1", Field::Projection, 2, true});
    rows.push_back({3, "projection=0.5", Field::Projection, 2, true});
    rows.push_back({3, "projection=0.9", Field::Projection, 2, true});
    rows.push_back({3, "gridstyle=triangular", Field::GridStyle, 1, false});
    rows.push_back({3, "gridstyle=rectangular", Field::GridStyle, 2, false});
    return rows;
}

int field_of(const PlotRecord* p, const PlotObject* o, Field f, bool own) {
    const ObjectOptions& oo = own ? o->options : p->objectOptions;
    switch (f) {
    case Field::Style: return oo.style;
    case Field::Symbol: return oo.symbol;
    case Field::LineStyle: return oo.lineStyle;
    case Field::Thickness: return oo.thickness;
    case Field::Colour: return oo.colour ? oo.colour->kind : -1;
    case Field::GridStyle: return oo.gridStyle;
    case Field::Axes: return p->options.axesStyle;
    case Field::Scaling: return p->options.scaling;
    case Field::Projection: return p->options.projection;
    case Field::View:
        return p->options.view ? p->options.view->set[0] + 2 * p->options.view->set[1] + 4 * p->options.view->set[2] : -1;
    }
    return -1;
}

TEST_P(SmartPlotTest, EveryMenuOptionIsAcceptedAndReadInItsField) {
    for (const OptionCase& c : option_cases()) {
        const char* base = c.dimension == 2 ? kSin : "[x*y, x = -1 .. 1, y = -1 .. 1]";
        for (int curve : {0, 1}) {
            std::string statement = std::string("EDITSMARTPLOT(") + (curve ? "         1," : "") + c.option + ", " + base + ");";
            std::string printed = answer(statement);
            bool own = curve == 1 && !c.wholeOnly;
            SmartPlotText text(printed);
            EXPECT_EQ(text.curveCount(), 1) << statement << " -> " << printed;
            std::string name = c.option.substr(0, c.option.find('='));
            if (c.field != Field::View) {
                EXPECT_NE(text.findOption(name, own ? 1 : 0).first, -1) << statement << " -> " << printed;
            }
            auto replies = plotOf(printed, c.dimension);
            if (replies.size() != 2 || !replies[0].plot) continue;
            EXPECT_EQ(field_of(replies[0].plot, object_at(replies[0], 0), c.field, own), c.expected)
                << statement << " -> " << printed;
        }
    }
}

// ---- APPENDPLOT and APPENDPLOTS ------------------------------------------------------------------

struct AppendCase {
    const char* name;
    const char* statement;
    const char* printed;   // null: refused (no reply but DONE)
};

const AppendCase appendCases[] = {
    {"one_curve_takes_the_first_range", "APPENDPLOT(cos(x), 2, [sin(x), x = 0 .. 1], axes = BOXED);",
     "[sin(x), x = 0 .. 1], [cos(x), x = 0 .. 1], axes = BOXED"},
    {"own_free_name", "APPENDPLOT(cos(t), 2, [sin(x), x = 0 .. 1]);", "[sin(x), x = 0 .. 1], [cos(t), t = 0 .. 1]"},
    {"two_curves_one_a_group", "APPENDPLOTS([ tan(x), [exp(x), x = 0 .. 1] ], 2, [sin(x), x = -10 .. 10]);",
     "[sin(x), x = -10 .. 10], [tan(x), x = -10 .. 10], [exp(x), x = 0 .. 1]"},
    {"plots_of_other_regions", "APPENDPLOTS([ [cos(x), x = 0 .. 2, color = red] ], 2, [sin(x), x = 0 .. 1], color = blue);",
     "[sin(x), x = 0 .. 1], [cos(x), x = 0 .. 2, color = red], color = blue"},
    {"without_a_text", "APPENDPLOT(cos(x), 2 );", "[cos(x), x = -10 .. 10]"},
    {"surface_fills_its_names", "APPENDPLOT(t^2, 3, [x*y, x = 0 .. 1, y = 0 .. 2]);",
     "[x*y, x = 0 .. 1, y = 0 .. 2], [t^2, t = 0 .. 1, x = 0 .. 2]"},
    {"string", "APPENDPLOT(\"abc\", 2 );", nullptr},
    {"too_many_names", "APPENDPLOT(x*y, 2, [sin(x), x = 0 .. 1]);", nullptr},
    {"too_many_names_3d", "APPENDPLOT(x*y*z, 3 );", nullptr},
    {"list_that_is_no_group", "APPENDPLOTS([ [a, b] ], 2, [sin(x), x = 0 .. 1]);", nullptr},
    {"list_for_one_curve", "APPENDPLOT([sin(x), x = 0 .. 1], 2 );", nullptr},
    {"group_of_the_other_dimension", "APPENDPLOTS([ [x*y, x = 0 .. 1, y = 0 .. 1] ], 2 );", nullptr},
    {"one_curve_of_two_refused", "APPENDPLOTS([ cos(x), \"abc\" ], 2 );", nullptr},
};

TEST_P(SmartPlotTest, AppendAddsGroupsOrRefuses) {
    for (const AppendCase& c : appendCases) {
        if (c.printed == nullptr) {
            EXPECT_EQ(streams(run(c.statement)), (std::vector<std::string>{"DONE"})) << c.name;
            continue;
        }
        std::string printed = answer(c.statement);
        EXPECT_EQ(printed, c.printed) << c.name;
        SmartPlotText text(printed);
        EXPECT_EQ(text.curveCount(), SmartPlotText(c.printed).curveCount()) << c.name;
        plotOf(printed, std::strstr(c.statement, ", 3") ? 3 : 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, SmartPlotTest, ::testing::Values(KLVia::Direct, KLVia::Server), kl_via_name);

}  // namespace

#endif
