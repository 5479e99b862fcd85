// The kernel's plot procedures as the worksheet meets them: statements evaluated by the real
// kernel library in process (KL_Direct) and behind kernsrv (KL_PipeServer), each PLOT and
// PLOT3D reply checked as a DAG and read with the plot engine's structure reader.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#if defined(KL_REAL_KERNEL) && defined(KL_KERNSRV)

#include "tests/plot/plot_kernel_replies.h"

namespace {

using namespace plot_kernel;

class PlotKernelTest : public ::testing::TestWithParam<KLVia> {
protected:
    static void TearDownTestSuite() {
        direct.reset();
        server.reset();
    }
    Kernel& kernel() {
        auto& k = GetParam() == KLVia::Direct ? direct : server;
        if (!k) k = std::make_unique<Kernel>(GetParam());
        return *k;
    }
    std::vector<Reply> run(const std::string& text, bool interruptOnPrint = false) {
        return kernel().run(text, interruptOnPrint);
    }
    static std::unique_ptr<Kernel> direct, server;
};
std::unique_ptr<Kernel> PlotKernelTest::direct, PlotKernelTest::server;


// ---- curves ---------------------------------------------------------------------------------------

TEST_P(PlotKernelTest, SineCurveLiesOnSineFromStartToEndAndIsNoResult) {
    auto replies = run("plot(sin(x), x = 0 .. 2*Pi);");
    const Reply* r = plot_of(replies, "plot");
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->elements.size(), 1u);
    EXPECT_EQ(r->elements[0].rfind("CURVES(HF[", 0), 0u) << r->elements[0];
    ASSERT_EQ(r->plot->frameCount, 1);
    auto objects = objects_of(r->plot->first);
    ASSERT_EQ(objects.size(), 1u);
    ASSERT_EQ(objects[0]->kind, PLOT_CURVES);
    auto v = vertices_of(objects[0]);
    ASSERT_GE(v.size(), 50u);
    for (const PlotVertex& p : v) {
        ASSERT_FALSE(std::isnan(p.x));
        EXPECT_NEAR(p.y, std::sin(p.x), 1e-9) << "at x = " << p.x;
    }
    EXPECT_EQ(v.front().x, 0.0);
    EXPECT_NEAR(v.back().x, 2 * M_PI, 1e-12);
    for (std::size_t i = 1; i < v.size(); ++i) EXPECT_GT(v[i].x, v[i - 1].x);
}

TEST_P(PlotKernelTest, PoleLeavesAGapAndNoError) {
    auto replies = run("plot(1/x, x = -1 .. 1);");
    const Reply* r = plot_of(replies, "plot");
    ASSERT_NE(r, nullptr);
    auto v = vertices_of(objects_of(r->plot->first)[0]);
    // No two defined vertices that follow each other lie on both sides of the pole.
    bool gap = false;
    for (std::size_t i = 1; i < v.size(); ++i) {
        bool left = !std::isnan(v[i - 1].y) && v[i - 1].x < 0, right = !std::isnan(v[i].y) && v[i].x > 0;
        EXPECT_FALSE(left && right) << "joined across the pole at " << v[i - 1].x << " and " << v[i].x;
        if (std::isnan(v[i].y)) gap = true;
    }
    EXPECT_TRUE(gap);
    for (const PlotVertex& p : v) {
        if (std::isnan(p.y)) continue;
        EXPECT_NEAR(p.y, 1 / p.x, 1e-9 * std::fabs(1 / p.x));
    }
}

TEST_P(PlotKernelTest, NonRealPartIsUndefined) {
    for (const char* statement : {"plot(sqrt(x), x = -1 .. 1);", "plot(ln(x)+sqrt(x), x = -1 .. 1);"}) {
        auto replies = run(statement);
        const Reply* r = plot_of(replies, statement);
        ASSERT_NE(r, nullptr);
        auto v = vertices_of(objects_of(r->plot->first)[0]);
        int defined = 0;
        for (const PlotVertex& p : v) {
            if (std::isnan(p.y)) continue;
            EXPECT_GE(p.x, 0.0) << statement;
            ++defined;
        }
        EXPECT_GT(defined, 20) << statement;
    }
}

TEST_P(PlotKernelTest, ListGivesOneCurveEachInDistinctColoursRedFirst) {
    auto replies = run("plot([sin(x), cos(x)], x = 0 .. 1);");
    const Reply* r = plot_of(replies, "plot");
    ASSERT_NE(r, nullptr);
    auto objects = objects_of(r->plot->first);
    ASSERT_EQ(objects.size(), 2u);
    const PlotColour* c[2];
    for (int i = 0; i < 2; ++i) {
        c[i] = objects[std::size_t(i)]->options.colour;
        ASSERT_NE(c[i], nullptr);
        EXPECT_EQ(c[i]->kind, SHADE_RGB);
        double x = vertices_of(objects[std::size_t(i)]).back().x;
        double y = vertices_of(objects[std::size_t(i)]).back().y;
        EXPECT_NEAR(y, i == 0 ? std::sin(x) : std::cos(x), 1e-9);
    }
    EXPECT_EQ(std::vector<double>(c[0]->values, c[0]->values + 3), (std::vector<double>{1, 0, 0}));
    EXPECT_NE(std::vector<double>(c[0]->values, c[0]->values + 3), std::vector<double>(c[1]->values, c[1]->values + 3));
}

// Curves of the other forms, each checked against what it should pass through.
struct FormCase {
    const char* name;
    const char* statement;
    int curves;
    std::function<double(double)> y;   // y of a vertex from its x (not used when null)
    std::function<bool(const PlotVertex&)> onCurve;
};

class PlotFormTest : public PlotKernelTest {};

TEST_P(PlotFormTest, EachFormGivesItsCurves) {
    const FormCase cases[] = {
        {"no_range_one_name", "plot(t^2);", 1, nullptr,
         [](const PlotVertex& p) { return std::fabs(p.y - p.x * p.x) < 1e-9 && p.x >= -10 && p.x <= 10; }},
        {"constant_over_x", "plot(3);", 1, nullptr, [](const PlotVertex& p) { return p.y == 3 && p.x >= -10; }},
        {"parametric_circle", "plot([cos(t), sin(t), t = 0 .. 2*Pi]);", 1, nullptr,
         [](const PlotVertex& p) { return std::fabs(p.x * p.x + p.y * p.y - 1) < 1e-9; }},
        {"points", "plot([[0, 1], [2, 3], [4, 5]]);", 1, nullptr,
         [](const PlotVertex& p) { return p.y == p.x + 1; }},
        {"procedure", "plot(proc(u) if u < 0 then -u else u fi end, -1 .. 1);", 1, nullptr,
         [](const PlotVertex& p) { return std::fabs(p.y - std::fabs(p.x)) < 1e-12; }},
        {"set_of_two", "plot({x, 2*x}, x = 0 .. 1);", 2, nullptr, nullptr},
    };
    for (const FormCase& c : cases) {
        auto replies = run(c.statement);
        const Reply* r = plot_of(replies, c.statement);
        ASSERT_NE(r, nullptr) << c.name;
        auto objects = objects_of(r->plot->first);
        ASSERT_EQ(int(objects.size()), c.curves) << c.name;
        for (const PlotObject* o : objects) {
            auto v = vertices_of(o);
            ASSERT_FALSE(v.empty()) << c.name;
            if (!c.onCurve) continue;
            for (const PlotVertex& p : v) EXPECT_TRUE(c.onCurve(p)) << c.name << " at " << p.x << ", " << p.y;
        }
    }
}

// An integral the kernel keeps unevaluated is computed by the interpreter at every point; its
// variable of integration is bound, not a free name of the plot.
TEST_P(PlotKernelTest, CallLeftUnevaluatedIsEvaluatedPointByPoint) {
    auto replies = run("plot(int(exp(-t^2), t = 0 .. x), x = 0 .. 1, numpoints = 5);");
    const Reply* r = plot_of(replies, "plot");
    ASSERT_NE(r, nullptr);
    auto v = vertices_of(objects_of(r->plot->first)[0]);
    ASSERT_GE(v.size(), 5u);
    for (const PlotVertex& p : v) EXPECT_NEAR(p.y, std::sqrt(M_PI) / 2 * std::erf(p.x), 1e-8) << "at " << p.x;
}

// The compiled form and the interpreter agree on every point: the same expression plotted
// directly (compiled) and inside a procedure (the interpreter at each point) gives the same
// vertices and the same gaps.
TEST_P(PlotKernelTest, CompiledAndInterpretedSamplesAgree) {
    const char* expressions[] = {
        "sqrt(x)", "ln(x)", "1/x", "x^(1/3)", "arcsin(x)", "tan(x)", "exp(x)*cos(3*x)",
        "abs(x)^(-2)", "x^2 - 2*x + Pi", "arctan(x, 1)", "sinh(x)/cosh(x)", "arccosh(x)",
    };
    for (const char* e : expressions) {
        std::string direct = std::string("plot(") + e + ", x = -2 .. 2, numpoints = 21);";
        std::string viaProc = std::string("plot(proc(x) ") + e + " end, -2 .. 2, numpoints = 21);";
        auto a = run(direct), b = run(viaProc);
        const Reply* ra = plot_of(a, direct);
        const Reply* rb = plot_of(b, viaProc);
        if (!ra || !rb) continue;
        auto va = vertices_of(objects_of(ra->plot->first)[0]), vb = vertices_of(objects_of(rb->plot->first)[0]);
        ASSERT_EQ(va.size(), vb.size()) << e;
        for (std::size_t i = 0; i < va.size(); ++i) {
            ASSERT_EQ(std::isnan(va[i].y), std::isnan(vb[i].y)) << e << " at " << va[i].x << " / " << vb[i].x;
            if (std::isnan(va[i].y)) continue;
            EXPECT_NEAR(va[i].x, vb[i].x, 1e-12) << e;
            EXPECT_NEAR(va[i].y, vb[i].y, 1e-9 * (1 + std::fabs(va[i].y))) << e << " at " << va[i].x;
        }
    }
}

// ---- options ------------------------------------------------------------------------------------

struct OptionCase {
    const char* name;
    const char* statement;
    const char* element;   // expected among the elements; "!X" means no element starting with X
    std::function<void(const PlotRecord*)> check;
};

void expect_element(const Reply& r, const std::string& e, const char* name) {
    if (e[0] == '!') {
        for (const std::string& s : r.elements) EXPECT_NE(s.rfind(e.substr(1), 0), 0u) << name << ": " << s;
        return;
    }
    bool found = false;
    for (const std::string& s : r.elements) found = found || s == e;
    std::string all;
    for (const std::string& s : r.elements) all += s.substr(0, 60) + " | ";
    EXPECT_TRUE(found) << name << ": " << e << " not in " << all;
}

const PlotColour* top_colour(const PlotRecord* p) { return p->objectOptions.colour; }
std::vector<double> values(const PlotColour* c) {
    return c ? std::vector<double>(c->values, c->values + c->count) : std::vector<double>{};
}

const OptionCase optionCases[] = {
    {"title", "plot(x, x = 0 .. 1, title = \"Sine\");", "TITLE(\"Sine\")",
     [](const PlotRecord* p) { EXPECT_STREQ(p->options.title, "Sine"); }},
    {"red", "plot(x, x = 0 .. 1, color = red);", "COLOUR(RGB,1,0,0)",
     [](const PlotRecord* p) {
         ASSERT_NE(top_colour(p), nullptr);
         EXPECT_EQ(top_colour(p)->kind, SHADE_RGB);
         EXPECT_EQ(values(top_colour(p)), (std::vector<double>{1, 0, 0}));
         EXPECT_EQ(p->first->first->options.colour, nullptr);   // the curve takes the plot's
     }},
    {"colour_list_any_case", "plot(x, x = 0 .. 1, COLOUR = [0, 0.5, 1]);", "COLOUR(RGB,0,0.5,1)",
     [](const PlotRecord* p) { EXPECT_EQ(values(top_colour(p)), (std::vector<double>{0, 0.5, 1})); }},
    {"boxed", "plot(x, x = 0 .. 1, axes = boxed);", "AXESSTYLE(BOX)",
     [](const PlotRecord* p) { EXPECT_EQ(p->options.axesStyle, AXES_BOX); }},
    {"none_axes", "plot(x, x = 0 .. 1, axes = NONE);", "AXESSTYLE(NONE)",
     [](const PlotRecord* p) { EXPECT_EQ(p->options.axesStyle, AXES_NONE); }},
    {"constrained", "plot(x, x = 0 .. 1, scaling = CONSTRAINED);", "SCALING(CONSTRAINED)",
     [](const PlotRecord* p) { EXPECT_EQ(p->options.scaling, SCALING_CONSTRAINED); }},
    {"point_style", "plot(x, x = 0 .. 1, style = point);", "STYLE(POINT)",
     [](const PlotRecord* p) { EXPECT_EQ(p->objectOptions.style, STYLE_POINT); }},
    {"wireframe", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, style = wireframe);", "STYLE(LINE)",
     [](const PlotRecord* p) { EXPECT_EQ(p->objectOptions.style, STYLE_LINE); }},
    {"hidden", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, style = hidden);", "STYLE(HIDDEN)",
     [](const PlotRecord* p) { EXPECT_EQ(p->objectOptions.style, STYLE_HIDDEN); }},
    {"symbol", "plot(x, x = 0 .. 1, symbol = box);", "SYMBOL(BOX)",
     [](const PlotRecord* p) { EXPECT_EQ(p->objectOptions.symbol, 3); }},
    {"linestyle", "plot(x, x = 0 .. 1, linestyle = 3);", "LINESTYLE(3)",
     [](const PlotRecord* p) { EXPECT_EQ(p->objectOptions.lineStyle, 3); }},
    {"thickness_zero", "plot(x, x = 0 .. 1, thickness = 0);", "!THICKNESS",
     [](const PlotRecord* p) { EXPECT_EQ(p->objectOptions.thickness, 0); }},
    {"thickness_two", "plot(x, x = 0 .. 1, thickness = 2);", "THICKNESS(2)",
     [](const PlotRecord* p) { EXPECT_EQ(p->objectOptions.thickness, 2); }},
    {"view", "plot(x, x = 0 .. 1, view = [0 .. 1, DEFAULT]);", "VIEW(0..1,DEFAULT)",
     [](const PlotRecord* p) {
         ASSERT_NE(p->options.view, nullptr);
         EXPECT_EQ(p->options.view->lo[0], 0.0);
         EXPECT_EQ(p->options.view->hi[0], 1.0);
         EXPECT_EQ(p->options.view->set[0], 1);
         EXPECT_EQ(p->options.view->set[1], 0);
     }},
    {"zhue", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, shading = zhue);", "COLOUR(ZHUE)",
     [](const PlotRecord* p) { EXPECT_EQ(top_colour(p)->kind, SHADE_ZHUE); }},
    {"greyscale", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, shading = ZGREYSCALE);", "COLOUR(ZGREYSCALE)",
     [](const PlotRecord* p) { EXPECT_EQ(top_colour(p)->kind, SHADE_ZGREY); }},
    {"triangular", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, gridstyle = triangular);", "GRIDSTYLE(TRIANGULAR)",
     [](const PlotRecord* p) { EXPECT_EQ(p->objectOptions.gridStyle, 1); }},
    {"light2", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, lightmodel = light2);", "LIGHTMODEL(LIGHT_2)",
     [](const PlotRecord* p) { EXPECT_EQ(p->options.lightModel, LIGHT_2); }},
    {"projection_09", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, projection = 0.9);", "PROJECTION(45,45,0.9)",
     [](const PlotRecord* p) { EXPECT_EQ(p->options.projection, 2); }},
    {"projection_1", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, projection = 1);", "PROJECTION(45,45,1)",
     [](const PlotRecord* p) { EXPECT_EQ(p->options.projection, 1); }},
    {"orientation", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, orientation = [30, 60]);", "PROJECTION(30,60,1)",
     [](const PlotRecord* p) {
         ASSERT_NE(p->options.orientation, nullptr);
         EXPECT_EQ(p->options.orientation->theta, 30.0);
         EXPECT_EQ(p->options.orientation->phi, 60.0);
     }},
    {"view_3d", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, view = [DEFAULT, DEFAULT, -1 .. 2]);",
     "VIEW(DEFAULT,DEFAULT,-1..2)", [](const PlotRecord* p) {
         EXPECT_EQ(p->options.view->set[2], 1);
         EXPECT_EQ(p->options.view->lo[2], -1.0);
     }},
};

class PlotOptionTest : public PlotKernelTest {};

TEST_P(PlotOptionTest, EachOptionBecomesItsElementAndReaderField) {
    for (const OptionCase& c : optionCases) {
        SCOPED_TRACE(c.name);
        auto replies = run(c.statement);
        const Reply* r = plot_of(replies, c.statement);
        if (!r) continue;
        expect_element(*r, c.element, c.name);
        c.check(r->plot);
    }
}

// ---- surfaces and animations ---------------------------------------------------------------------

struct GridCase {
    const char* statement;
    long m, n;
    double x0, x1, y0, y1;
    std::function<double(double, double)> f;
};

TEST_P(PlotKernelTest, GridRowsFollowXAndColumnsY) {
    const GridCase cases[] = {
        {"plot3d(x*y, x = -1 .. 1, y = -1 .. 1, grid = [10, 10]);", 10, 10, -1, 1, -1, 1,
         [](double x, double y) { return x * y; }},
        {"plot3d(x + 10*y, x = 0 .. 1, y = 0 .. 2, grid = [3, 5]);", 3, 5, 0, 1, 0, 2,
         [](double x, double y) { return x + 10 * y; }},
        {"plot3d(proc(a, b) a - b end, 0 .. 4, 0 .. 1, grid = [5, 2]);", 5, 2, 0, 4, 0, 1,
         [](double x, double y) { return x - y; }},
    };
    for (const GridCase& c : cases) {
        auto replies = run(c.statement);
        const Reply* r = plot_of(replies, c.statement);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->elements[0].rfind("GRID(", 0), 0u) << r->elements[0];
        auto objects = objects_of(r->plot->first);
        ASSERT_EQ(objects.size(), 1u);
        ASSERT_EQ(objects[0]->kind, PLOT_GRID);
        auto* g = static_cast<const PlotGridData*>(objects[0]->data);
        ASSERT_EQ(g->rows, c.m);
        ASSERT_EQ(g->cols, c.n);
        for (long i = 0; i < c.m; ++i)
            for (long j = 0; j < c.n; ++j) {
                double x = c.x0 + double(i) * (c.x1 - c.x0) / double(c.m - 1);
                double y = c.y0 + double(j) * (c.y1 - c.y0) / double(c.n - 1);
                ASSERT_TRUE(g->defined[i * c.n + j]);
                EXPECT_NEAR(g->values[i * c.n + j], c.f(x, y), 1e-12) << c.statement << " at " << i << ", " << j;
            }
    }
}

TEST_P(PlotKernelTest, ParametricSphereIsAMeshOnTheSphere) {
    auto replies = run("plot3d([sin(s)*cos(t), sin(s)*sin(t), cos(s)], s = 0 .. Pi, t = 0 .. 2*Pi, grid = [12, 16]);");
    const Reply* r = plot_of(replies, "plot3d");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->elements[0], "MESH(HF[12x16x3])");
    auto objects = objects_of(r->plot->first);
    ASSERT_EQ(objects.size(), 1u);
    ASSERT_EQ(objects[0]->kind, PLOT_MESH);
    auto* m = static_cast<const PlotMeshData*>(objects[0]->data);
    ASSERT_EQ(m->rows, 12);
    ASSERT_EQ(m->cols, 16);
    for (int i = 0; i < 12 * 16; ++i) {
        const PlotVertex* v = m->vertices[i];
        ASSERT_NE(v, nullptr);
        EXPECT_NEAR(v->x * v->x + v->y * v->y + v->z * v->z, 1, 1e-12);
    }
    // Row i is s_i: the first row is the pole.
    EXPECT_NEAR(m->vertices[0]->z, 1, 1e-12);
    EXPECT_NEAR(m->vertices[11 * 16]->z, -1, 1e-12);
}

TEST_P(PlotKernelTest, AnimateSendsOneListPerFrame) {
    auto replies = run("animate(sin(x + t), x = 0 .. 1, t = 0 .. 1, frames = 5);");
    const Reply* r = plot_of(replies, "animate");
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->elements.size(), 1u);
    EXPECT_EQ(r->elements[0].rfind("ANIMATE([CURVES(", 0), 0u);
    ASSERT_EQ(r->plot->frameCount, 5);
    int k = 0;
    for (const PlotFrame* f = r->plot->first; f; f = f->next, ++k) {
        auto objects = objects_of(f);
        ASSERT_EQ(objects.size(), 1u);
        double t = k / 4.0;
        for (const PlotVertex& p : vertices_of(objects[0])) EXPECT_NEAR(p.y, std::sin(p.x + t), 1e-9) << "frame " << k;
    }
    EXPECT_EQ(k, 5);
}

TEST_P(PlotKernelTest, Animate3dSendsOneGridPerFrame) {
    auto replies = run("animate3d(x*y*t, x = 0 .. 1, y = 0 .. 1, t = 1 .. 3, frames = 3, grid = [4, 4]);");
    const Reply* r = plot_of(replies, "animate3d");
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->elements.size(), 1u);
    EXPECT_EQ(r->elements[0].rfind("ANIMATE([GRID(", 0), 0u);
    ASSERT_EQ(r->plot->frameCount, 3);
    int k = 0;
    for (const PlotFrame* f = r->plot->first; f; f = f->next, ++k) {
        auto* g = static_cast<const PlotGridData*>(objects_of(f).at(0)->data);
        EXPECT_NEAR(g->values[15], 1.0 * (k + 1), 1e-12);   // x = y = 1, t = 1, 2, 3
    }
}

// ---- refusals -------------------------------------------------------------------------------------

struct BadCase {
    const char* name;
    const char* statement;
    const char* mentions;   // the error names this
};

const BadCase badCases[] = {
    {"reversed_range", "plot(sin(x), x = 1 .. 0);", "1..0"},
    {"empty_range", "plot(sin(x), x = 1 .. 1);", "1..1"},
    {"infinite_range", "plot(sin(x), x = 0 .. infinity);", "infinity"},
    {"numpoints_huge", "plot(sin(x), x = 0 .. 1, numpoints = 10^9);", "numpoints"},
    {"numpoints_one", "plot(sin(x), x = 0 .. 1, numpoints = 1);", "numpoints"},
    {"grid_zero", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, grid = [0, 5]);", "grid"},
    {"frames_too_many", "animate(sin(x+t), x = 0 .. 1, t = 0 .. 1, frames = 1001);", "frames"},
    {"too_many_values", "animate(sin(x+t), x = 0 .. 1, t = 0 .. 1, numpoints = 100000, frames = 1000);",
     "too many"},
    {"unknown_option", "plot(x, x = 0 .. 1, colr = red);", "colr"},
    {"unknown_value", "plot(x, x = 0 .. 1, axes = sideways);", "sideways"},
    {"unknown_colour", "plot(x, x = 0 .. 1, color = mauve);", "mauve"},
    {"colour_out_of_range", "plot(x, x = 0 .. 1, color = [2, 0, 0]);", "color"},
    {"style_3d_in_2d", "plot(x, x = 0 .. 1, style = hidden);", "hidden"},
    {"shading_in_2d", "plot(x, x = 0 .. 1, shading = zhue);", "shading"},
    {"grid_in_2d", "plot(x, x = 0 .. 1, grid = [5, 5]);", "grid"},
    {"numpoints_in_3d", "plot3d(x*y, x = 0 .. 1, y = 0 .. 1, numpoints = 5);", "numpoints"},
    {"two_free_names", "plot(x*y);", "x, y"},
    {"free_name_beside_range", "plot(x*y, x = 0 .. 1);", "y"},
    {"view_wrong_count", "plot(x, x = 0 .. 1, view = [0 .. 1]);", "view"},
    {"nowhere_defined", "plot(sqrt(x), x = -2 .. -1);", "defined"},
    {"call_without_value", "plot(cos(x)*g(x), x = 0 .. 1);", "defined"},
    {"plot3d_one_range", "plot3d(x*y, x = 0 .. 1);", "two ranges"},
};

class PlotRefusalTest : public PlotKernelTest {};

TEST_P(PlotRefusalTest, BadCallIsOneErrorThenDoneAndNoPlot) {
    for (const BadCase& c : badCases) {
        auto replies = run(c.statement);
        ASSERT_EQ(streams(replies), (std::vector<std::string>{"ERROR", "DONE"})) << c.name;
        EXPECT_NE(replies[0].text.find(c.mentions), std::string::npos) << c.name << ": " << replies[0].text;
    }
}

// A slow procedure on a large grid stops at the interrupt: INTR, DONE, nothing of the plot.
TEST_P(PlotKernelTest, SlowPlotIsInterrupted) {
    run("calls := 0:");
    run("slow := proc(a, b) local i; calls := calls + 1; if calls = 1 then print(started) fi; "
        "for i to 300 do od; a*b end:");
    auto replies = run("plot3d(slow, -1 .. 1, -1 .. 1, grid = [1000, 1000]);", true);
    EXPECT_EQ(streams(replies), (std::vector<std::string>{"PRINT", "INTR", "DONE"}));
    // The kernel is still there and answers.
    replies = run("evalb(calls < 1000000);");
    ASSERT_EQ(streams(replies), (std::vector<std::string>{"RESULT", "DONE"}));
    EXPECT_EQ(replies[0].text, "true");
}

INSTANTIATE_TEST_SUITE_P(Links, PlotKernelTest, ::testing::Values(KLVia::Direct, KLVia::Server), kl_via_name);
INSTANTIATE_TEST_SUITE_P(Links, PlotFormTest, ::testing::Values(KLVia::Direct, KLVia::Server), kl_via_name);
INSTANTIATE_TEST_SUITE_P(Links, PlotOptionTest, ::testing::Values(KLVia::Direct, KLVia::Server), kl_via_name);
INSTANTIATE_TEST_SUITE_P(Links, PlotRefusalTest, ::testing::Values(KLVia::Direct, KLVia::Server), kl_via_name);

}  // namespace

#endif
