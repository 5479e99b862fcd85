// The plot structure reader: malformed structures and their exact messages, well-formed ones
// and what they set, defaults and bounding boxes.

#include <cmath>
#include <cstring>

#include "plot_env.h"
#include "tests/support/named_rows.h"

namespace {

using kelvo_test::PrintTo;

struct BadCase {
    const char* name;
    int dimension;
    const char* text;
    const char* message;
};

const BadCase kBad[] = {
    {"only_options", 2, "PLOT(TITLE(a));", "empty plot"},
    {"not_function", 2, "PLOT(3);", "invalid structure"},
    {"unknown_element", 2, "PLOT(FOO(1));", "unknown element FOO"},
    {"points_fail_only", 2, "PLOT(POINTS(FAIL));", "empty plot"},
    {"vertex_symbolic", 2, "PLOT(POINTS([1, x]));", "non-numeric vertex definition"},
    {"vertex_three_in_2d", 2, "PLOT(POINTS([1, 2, 3]));", "vertex requires two components"},
    {"vertex_two_in_3d", 3, "PLOT3D(POINTS([1, 2]));", "vertex requires three components"},
    {"style_default_2d", 2, "PLOT(CURVES([[0,0],[1,1]]), STYLE(DEFAULT));", "invalid STYLE for 2D plotting "},
    {"style_unknown", 3, "PLOT3D(POINTS([0,0,0]), STYLE(FOO));", "invalid STYLE argument FOO"},
    {"style_not_name", 3, "PLOT3D(POINTS([0,0,0]), STYLE(1));", "STYLE argument must be a NAME"},
    {"gridstyle_unknown", 3, "PLOT3D(POINTS([0,0,0]), GRIDSTYLE(X));", "invalid GRIDSTYLE argument X"},
    {"linestyle_name", 2, "PLOT(POINTS([0,0]), LINESTYLE(a));", "LINESTYLE argument must be an integer"},
    {"thickness_zero", 2, "PLOT(POINTS([0,0]), THICKNESS(0));", "THICKNESS argument must be an integer"},
    {"symbol_unknown", 2, "PLOT(POINTS([0,0]), SYMBOL(STAR));", "invalid SYMBOL"},
    {"symbol_not_name", 2, "PLOT(POINTS([0,0]), SYMBOL(2));", "SYMBOL argument must be a name"},
    {"font_times_no_size", 2, "PLOT(POINTS([0,0]), FONT(TIMES, BOLD));", "invalid FONT specification"},
    {"font_symbol_float", 2, "PLOT(POINTS([0,0]), FONT(SYMBOL, 10.5));", "invalid FONT specification"},
    {"font_family", 2, "PLOT(POINTS([0,0]), FONT(ARIAL, 10));", "invalid FONT specification"},
    {"contours_2d", 2, "PLOT(POINTS([0,0]), CONTOURS(5));", "CONTOURS invalid in 2D plotting"},
    {"contours_two", 3, "PLOT3D(POINTS([0,0,0]), CONTOURS(5, 6));", "CONTOURS take exactly one parameter"},
    {"contours_bad", 3, "PLOT3D(POINTS([0,0,0]), CONTOURS(x));", "invalid CONTOURS parameter"},
    {"title_number", 2, "PLOT(POINTS([0,0]), TITLE(3));", "TITLE must be a NAME"},
    {"title_option", 2, "PLOT(POINTS([0,0]), TITLE(a, 3));", "invalid option on TITLE"},
    {"scaling_unknown", 2, "PLOT(POINTS([0,0]), SCALING(BIG));", "invalid SCALING argument BIG"},
    {"ambient_2d", 2, "PLOT(POINTS([0,0]), AMBIENTLIGHT(1,1,1));", "AMBIENTLIGHT invalid in 2D plotting"},
    {"ambient_two", 3, "PLOT3D(POINTS([0,0,0]), AMBIENTLIGHT(1,1));", "AMBIENTLIGHT argument must be three numbers"},
    {"lightmodel_2d", 2, "PLOT(POINTS([0,0]), LIGHTMODEL(NONE));", "LIGHTMODEL invalid in 2D plotting"},
    {"lightmodel_unknown", 3, "PLOT3D(POINTS([0,0,0]), LIGHTMODEL(SUN));", "unknown LIGHTMODEL"},
    {"lightmodel_number", 3, "PLOT3D(POINTS([0,0,0]), LIGHTMODEL(1));", "LIGHTMODEL argument must a name"},
    {"light_2d", 2, "PLOT(POINTS([0,0]), LIGHT(1,2,3,4,5));", "LIGHT invalid in 2D plotting"},
    {"light_four", 3, "PLOT3D(POINTS([0,0,0]), LIGHT(1,2,3,4));", "LIGHT argument must be five numbers"},
    {"projection_2d", 2, "PLOT(POINTS([0,0]), PROJECTION(1,2,3));", "PROJECTION invalid in 2D plotting"},
    {"projection_symbolic", 3, "PLOT3D(POINTS([0,0,0]), PROJECTION(1,2,x));", "PROJECTION argument must be three numbers"},
    {"view_one", 2, "PLOT(POINTS([0,0]), VIEW(0..1));", "VIEW must contain numeric ranges"},
    {"view_symbolic", 2, "PLOT(POINTS([0,0]), VIEW(0..a, 0..1));", "VIEW must contain numeric ranges"},
    {"view_two_in_3d", 3, "PLOT3D(POINTS([0,0,0]), VIEW(0..1, 0..1));", "VIEW must be three numeric ranges"},
    {"axesstyle_unknown", 2, "PLOT(POINTS([0,0]), AXESSTYLE(ROUND));", "invalid AXESSTYLE argument ROUND"},
    {"axeslabels_2d", 2, "PLOT(POINTS([0,0]), AXESLABELS(a));", "AXESLABELS must contain two NAMEs or STRINGs"},
    {"axeslabels_3d", 3, "PLOT3D(POINTS([0,0,0]), AXESLABELS(a, b));", "AXESLABELS must contain three NAMEs or STRINGs"},
    {"axeslabels_option", 2, "PLOT(POINTS([0,0]), AXESLABELS(a, b, 3));", "invalid option on AXESLABELS"},
    {"axesticks_list_alone", 2, "PLOT(POINTS([0,0]), AXESTICKS([1, 2]));", "invalid AXESTICKS parameter"},
    {"axesticks_negative", 2, "PLOT(POINTS([0,0]), AXESTICKS(-3));", "invalid AXESTICKS parameter"},
    {"axesticks_too_many", 2, "PLOT(POINTS([0,0]), AXESTICKS(1, 2, 3, 4));", "AXESTICKS has wrong number of definitions"},
    {"axesticks_option", 2, "PLOT(POINTS([0,0]), AXESTICKS(1, 2, 3));", "invalid option on AXESTICKS"},
    {"axesticks_spec", 2, "PLOT(POINTS([0,0]), AXESTICKS(x, 2));", "invalid AXESTICKS parameter"},
    {"object_option_form", 2, "PLOT(POINTS([0,0], 3));", "object options take the form CLASS(VALUE)"},
    {"object_option_unknown", 2, "PLOT(POINTS([0,0], TITLE(a)));", "unknown object option TITLE"},
    {"colour_not_name", 2, "PLOT(POINTS([0,0]), COLOUR(1));", "COLOUR argument must be a NAME"},
    {"colour_unknown", 2, "PLOT(POINTS([0,0]), COLOUR(PINK));", "invalid COLOUR argument PINK"},
    {"hue_amount", 2, "PLOT(POINTS([0,0],[1,1],[2,2],[3,3],[4,4], COLOUR(HUE, 0.1, 0.2)));",
     "incorrect amount of HUE COLOUR data"},
    {"hue_symbolic", 2, "PLOT(POINTS([0,0]), COLOUR(HUE, a));", "invalid HUE COLOUR data"},
    {"rgb_amount", 2, "PLOT(POINTS([0,0]), COLOUR(RGB, 1, 0));", "incorrect amount of RGB/HSV COLOUR data"},
    {"rgb_symbolic", 2, "PLOT(POINTS([0,0]), COLOUR(RGB, 1, 0, a));", "invalid RGB/HSV COLOUR data"},
    {"text_no_string", 2, "PLOT(TEXT([1, 2]));", "TEXT takes a location and a NAME"},
    {"mesh_shape", 3, "PLOT3D(MESH([1, 2]));", "MESH must be a list of lists of vertices, or an hfarray"},
    {"grid_order", 3, "PLOT3D(GRID(1..0, 0..1, [[1, 2], [3, 4]]));", "invalid order on ranges in GRID"},
    {"grid_shape", 3, "PLOT3D(GRID(0..1, [[1]]));", "GRID must have two ranges, and a list of lists of values or an hfarray"},
    {"grid_value", 3, "PLOT3D(GRID(0..1, 0..1, [[1, a]]));", "GRID must have two ranges, and a list of lists of values or an hfarray"},
    {"iso_empty", 3, "PLOT3D(ISOSURFACE());", "ISOSURFACE must be a list of lists of lists of vertices, or an hfarray"},
    {"animate_twice", 2, "PLOT(ANIMATE([POINTS([0,0])]), ANIMATE([POINTS([0,0])]));", "at most one ANIMATE structure per plot"},
    {"animate_after_object", 2, "PLOT(CURVES([[0,0],[1,1]]), ANIMATE([POINTS([0,0])]));",
     "plots containing ANIMATE cannot contain other objects"},
    {"object_after_animate", 2, "PLOT(ANIMATE([CURVES([[0,0],[1,1]])]), CURVES([[0,0],[1,1]]));", "unknown element CURVES"},
    {"animate_not_list", 2, "PLOT(ANIMATE(POINTS([0,0])));", "ANIMATE must contain lists of objects"},
    {"animate_unknown", 2, "PLOT(ANIMATE([FOO(1)]));", "unknown element FOO in ANIMATE"},
    {"framescaling_none", 2, "PLOT(POINTS([0,0]), FRAMESCALING());", "FRAMESCALING takes a location and a NAME"},
    {"framescaling_unknown", 2, "PLOT(POINTS([0,0]), FRAMESCALING(ODD));", "invalid FRAMESCALING argument ODD"},
    {"name_number", 2, "PLOT(POINTS([0,0]), NAME(3));", "NAME must be a string"},
};

class BadStructure : public PlotTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadStructure, RaisesItsMessage) {
    const BadCase& c = GetParam();
    std::string error;
    int depth = error_handler_depth();
    PlotRecord* plot = readPlot(c.text, c.dimension, area, &error);
    EXPECT_EQ(plot, nullptr) << c.text;
    EXPECT_EQ(error, c.message) << c.text;
    EXPECT_EQ(error_handler_depth(), depth);
}

INSTANTIATE_TEST_SUITE_P(Messages, BadStructure, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- well-formed structures ----------------------------------------------------------------------

struct GoodCase {
    const char* name;
    int dimension;
    const char* text;
    void (*check)(const PlotRecord* plot);
};

const PlotObject* firstObject(const PlotRecord* p) { return p->first->first; }

const GoodCase kGood[] = {
    {"defaults_2d", 2, "PLOT(POINTS([0,0]));",
     [](const PlotRecord* p) {
         EXPECT_EQ(p->options.axesStyle, AXES_NORMAL);
         EXPECT_EQ(p->objectOptions.colour->kind, SHADE_NONE);
         EXPECT_EQ(p->objectOptions.style, STYLE_PATCH);
         EXPECT_EQ(p->objectOptions.gridStyle, 2);
         EXPECT_EQ(p->objectOptions.lineStyle, 1);
         EXPECT_EQ(p->options.scaling, SCALING_UNCONSTRAINED);
         EXPECT_EQ(p->options.axesParameter, 5);
         EXPECT_EQ(p->options.orientation->phi, 45);
         EXPECT_EQ(p->frameCount, 1);
     }},
    {"defaults_3d", 3, "PLOT3D(POINTS([0,0,0]));",
     [](const PlotRecord* p) {
         EXPECT_EQ(p->options.axesStyle, AXES_NONE);
         EXPECT_EQ(p->objectOptions.colour->kind, SHADE_XYZ);
     }},
    {"projection", 3, "PLOT3D(POINTS([0,0,0]), PROJECTION(30, 60, 1), PROJECTION(1, 2, 5));",
     [](const PlotRecord* p) {
         EXPECT_EQ(p->options.orientation->phi, 2);
         EXPECT_EQ(p->options.orientation->theta, 1);
         EXPECT_EQ(p->options.orientation->r, 5);
         EXPECT_EQ(p->options.projection, 1);   // the first PROJECTION decides the kind
     }},
    {"projection_ignored", 3, "PLOT3D(POINTS([0,0,0]), PROJECTION(30, 60));",
     [](const PlotRecord* p) { EXPECT_EQ(p->options.projection, 0); }},
    {"axesticks_shared", 2, "PLOT(POINTS([0,0]), AXESTICKS(5));",
     [](const PlotRecord* p) {
         ASSERT_NE(p->options.axesTicks, nullptr);
         EXPECT_EQ(p->options.axesTicks[0], p->options.axesTicks[1]);
         EXPECT_EQ(p->options.axesTicks[0]->kind, 1);
         EXPECT_EQ(p->options.axesTicks[0]->count, 5);
     }},
    {"axesticks_given", 2, "PLOT(POINTS([0,0]), AXESTICKS([1, 2], [3 = lab, 4 = 0.5]));",
     [](const PlotRecord* p) {
         TickSet* x = p->options.axesTicks[0];
         TickSet* y = p->options.axesTicks[1];
         EXPECT_EQ(x->kind, 2);
         EXPECT_EQ(x->count, 2);
         EXPECT_EQ(x->positions[1], 2);
         EXPECT_EQ(y->kind, 3);
         EXPECT_STREQ(y->labels[0], "lab");
         EXPECT_STREQ(y->labels[1], "  0.5");
     }},
    {"fonts", 2, "PLOT(POINTS([0,0]), FONT(SYMBOL, 10), TITLE(t, FONT(COURIER, 10.5)));",
     [](const PlotRecord* p) {
         ASSERT_EQ(p->fontCount, 2);
         EXPECT_STREQ(p->fonts[0]->family, "symbol");
         EXPECT_STREQ(p->fonts[0]->style, "");
         EXPECT_EQ(p->fonts[0]->size, 10);
         EXPECT_EQ(p->objectOptions.font, 1);
         EXPECT_STREQ(p->fonts[1]->family, "courier");
         EXPECT_EQ(p->fonts[1]->size, 12);
         EXPECT_EQ(p->options.titleFont, 2);
         EXPECT_STREQ(p->options.title, "t");
     }},
    {"rgb_clamped", 2, "PLOT(POINTS([0,0]), COLOUR(RGB, 2, -1, 0.5));",
     [](const PlotRecord* p) {
         PlotColour* c = p->objectOptions.colour;
         EXPECT_EQ(c->kind, SHADE_RGB);
         ASSERT_EQ(c->count, 3);
         EXPECT_EQ(c->values[0], 1);
         EXPECT_EQ(c->values[1], 0);
         EXPECT_EQ(c->values[2], 0.5);
     }},
    {"hue_one_for_five", 2, "PLOT(POINTS([0,0],[1,1],[2,2],[3,3],[4,4], COLOUR(HUE, 0.3)));",
     [](const PlotRecord* p) { EXPECT_EQ(firstObject(p)->options.colour->count, 1); }},
    {"points_with_fail", 2, "PLOT(POINTS([0, 0], FAIL, [1, 2]));",
     [](const PlotRecord* p) {
         auto* d = static_cast<PlotPointList*>(firstObject(p)->data);
         ASSERT_EQ(d->count, 3);
         EXPECT_EQ(d->vertices[1], nullptr);
         const PlotBBox& b = firstObject(p)->box;
         EXPECT_EQ(b.v[0], 0); EXPECT_EQ(b.v[1], 1); EXPECT_EQ(b.v[2], 0); EXPECT_EQ(b.v[3], 2);
     }},
    {"curves_pieces", 2, "PLOT(CURVES([[0, 0], [1, 1]], [[2, 2], [3, 3]], COLOUR(RGB, 1, 0, 0)));",
     [](const PlotRecord* p) {
         auto* d = static_cast<PlotCurveList*>(firstObject(p)->data);
         EXPECT_EQ(d->pieceCount, 2);
         EXPECT_EQ(d->first->count, 2);
         EXPECT_EQ(d->first->next->indices[0], 2);
         EXPECT_EQ(firstObject(p)->options.colour->count, 3);
     }},
    {"text_alignment", 2, "PLOT(TEXT([1, 2], \"hi\", ALIGNLEFT, ALIGNRIGHT, COLOUR(RGB, 0, 1, 0)));",
     [](const PlotRecord* p) {
         auto* d = static_cast<PlotText*>(firstObject(p)->data);
         EXPECT_EQ(d->align, ALIGN_RIGHT);
         EXPECT_STREQ(d->text, "hi");
         EXPECT_EQ(firstObject(p)->options.colour->kind, SHADE_RGB);
     }},
    {"grid_defined", 3, "PLOT3D(GRID(0..1, 0..1, [[1, 2], [3, FAIL]]));",
     [](const PlotRecord* p) {
         auto* g = static_cast<PlotGridData*>(firstObject(p)->data);
         EXPECT_EQ(g->defined[0] + g->defined[1] + g->defined[2], 3);
         EXPECT_EQ(g->defined[3], 0);
         EXPECT_EQ(firstObject(p)->box.v[4], 1);
         EXPECT_EQ(firstObject(p)->box.v[5], 3);
     }},
    {"curves_empty", 2, "PLOT(CURVES(), POINTS([1,1]));",
     [](const PlotRecord* p) {
         EXPECT_EQ(firstObject(p)->kind, PLOT_CURVES);
         EXPECT_EQ(static_cast<PlotCurveList*>(firstObject(p)->data)->pieceCount, 0);
     }},
    {"animate_frames", 2, "PLOT(ANIMATE([TITLE(a), POINTS([0,0])], [POINTS([1,1])]));",
     [](const PlotRecord* p) {
         EXPECT_EQ(p->frameCount, 2);
         EXPECT_STREQ(p->first->options.title, "a");
         EXPECT_EQ(p->options.title, nullptr);
         EXPECT_EQ(p->last->prev, p->first);
     }},
    {"view_default_axis", 2, "PLOT(POINTS([0,0],[4,1]), VIEW(DEFAULT, 0..1));",
     [](const PlotRecord* p) {
         ViewBox* v = p->options.view;
         EXPECT_EQ(v->set[0], 0);
         EXPECT_EQ(v->lo[0], p->box.v[0]);
         EXPECT_EQ(v->hi[1], 1);
     }},
    {"flat_z_widened", 2, "PLOT(POINTS([0,0],[1,1]));",
     [](const PlotRecord* p) {
         EXPECT_NEAR(p->box.v[4], -1.04000002, 1e-12);
         EXPECT_NEAR(p->box.v[5], 1.0408010204, 1e-12);
     }},
    {"lights", 3, "PLOT3D(POINTS([0,0,0]), LIGHT(1, 2, 3, -1, 0.5), AMBIENTLIGHT(0.1, 0.2, 2));",
     [](const PlotRecord* p) {
         EXPECT_EQ(p->options.lightModel, LIGHT_USER);
         EXPECT_EQ(p->options.lights->v[2], 1);
         EXPECT_EQ(p->options.lights->v[3], 0);
         EXPECT_EQ(p->options.ambient->v[4], 1);
     }},
};

class GoodStructure : public PlotTest, public ::testing::WithParamInterface<GoodCase> {};

TEST_P(GoodStructure, SetsItsOptions) {
    const GoodCase& c = GetParam();
    std::string error;
    PlotRecord* plot = readPlot(c.text, c.dimension, area, &error);
    ASSERT_NE(plot, nullptr) << c.text << ": " << error;
    c.check(plot);
}

INSTANTIATE_TEST_SUITE_P(Options, GoodStructure, ::testing::ValuesIn(kGood),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlotTest, SameFontDagTwiceGetsOneNumber) {
    // Both options point at the very same FONT argument sequence.
    const DagWord* args = plotArgs("PLOT(POINTS([0,0]), FONT(TIMES, ROMAN, 9));");
    ASSERT_NE(args, nullptr);
    Dag font = dag_op(args, 2);
    Dag seq = dag_new(4, DAG_EXPSEQ);
    dag_set_op(seq, 1, dag_op(args, 1));
    dag_set_op(seq, 2, font);
    dag_set_op(seq, 3, font);
    TovuHandlerGuard guard;
    PlotRecord* p = plot_read_structure(seq, 2, area);
    EXPECT_EQ(p->fontCount, 1);
    EXPECT_STREQ(p->fonts[0]->style, "roman");
    EXPECT_EQ(p->fonts[0]->size, 9);
}

}  // namespace
