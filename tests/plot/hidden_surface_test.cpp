// Hidden-surface removal: the event queue and depth trees, the sort, outline cleaning, the
// sweep checked geometrically on hand-made projected scenes (areas of visible pieces, nothing
// of a back polygon inside a front one, background fill, interpenetrating surfaces, lines,
// points, degenerate and non-finite input, interrupts), the relays, point symbols and the view
// box, and an SVG of a surface checked by pixels after rsvg-convert.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "plot/plot_boundary.h"
#include "plot/plot_depth_tree.h"
#include "plot/plot_hidden_surface.h"
#include "plot/plot_sweep.h"
#include "plot/plot_sweep_queue.h"
#include "plot/render/pipeline.h"
#include "plot/render/view.h"
#include "plot_env.h"
#include "svg_device.h"

namespace {

// ---- a hand-made projected scene ----------------------------------------------------------------
struct Scene {
    std::deque<DrawVertex> verts;
    std::deque<std::vector<DrawVertex*>> rings;
    std::deque<DrawPolygon> polys;
    std::deque<DrawSegment> segs;
    std::deque<DrawPoint> points;
    std::deque<DrawText> texts;
    PlotDrawables set{};

    DrawVertex* v(double x, double y, double z) {
        verts.push_back(DrawVertex{x, y, z, 0});
        return &verts.back();
    }
    DrawPolygon* poly(std::vector<DrawVertex*> ring, ColourWord colour) {
        rings.push_back(std::move(ring));
        polys.push_back(DrawPolygon{});
        DrawPolygon* p = &polys.back();
        p->count = static_cast<std::int32_t>(rings.back().size());
        p->v = rings.back().data();
        p->colour = colour;
        p->next = set.polygons;
        set.polygons = p;
        return p;
    }
    // A rectangle at constant depth, as one quadrilateral or as two triangles.
    void rect(double x0, double y0, double x1, double y1, double z, ColourWord colour, bool triangles = false) {
        DrawVertex *a = v(x0, y0, z), *b = v(x1, y0, z), *c = v(x1, y1, z), *d = v(x0, y1, z);
        if (triangles) {
            poly({a, b, c}, colour);
            poly({a, c, d}, colour);
        } else {
            poly({a, b, c, d}, colour);
        }
    }
    // The square [0, 1]^2 as an n x n mesh of triangles at depth f(x, y).
    template <typename F>
    void mesh(int n, F f, ColourWord colour) {
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double x0 = double(i) / n, x1 = double(i + 1) / n, y0 = double(j) / n, y1 = double(j + 1) / n;
                DrawVertex *a = v(x0, y0, f(x0, y0)), *b = v(x1, y0, f(x1, y0)), *c = v(x1, y1, f(x1, y1)),
                           *d = v(x0, y1, f(x0, y1));
                poly({a, b, c}, colour);
                poly({a, c, d}, colour);
            }
    }
    DrawSegment* seg(DrawVertex* a, DrawVertex* b, ColourWord colour) {
        segs.push_back(DrawSegment{});
        DrawSegment* s = &segs.back();
        s->a = a;
        s->b = b;
        s->colour = colour;
        s->next = set.segments;
        set.segments = s;
        return s;
    }
    void point(DrawVertex* at, ColourWord colour) {
        points.push_back(DrawPoint{at, set.points, colour});
        set.points = &points.back();
    }
    void text(DrawVertex* at, const char* t, ColourWord colour) {
        texts.push_back(DrawText{at, set.texts, 0, 0, t, colour});
        set.texts = &texts.back();
    }
    // Frame extents from the finite vertices, as the view transform would leave them.
    PlotDrawables* finish() {
        bool first = true;
        for (const DrawVertex& d : verts) {
            if (!std::isfinite(d.x) || !std::isfinite(d.y) || !std::isfinite(d.z)) continue;
            if (first) {
                set.xmin = set.xmax = d.x; set.ymin = set.ymax = d.y; set.zmin = set.zmax = d.z;
                first = false;
            }
            set.xmin = std::fmin(set.xmin, d.x); set.xmax = std::fmax(set.xmax, d.x);
            set.ymin = std::fmin(set.ymin, d.y); set.ymax = std::fmax(set.ymax, d.y);
            set.zmin = std::fmin(set.zmin, d.z); set.zmax = std::fmax(set.zmax, d.z);
        }
        if (set.zmax == set.zmin) set.zmax = set.zmin + 1;
        return &set;
    }
};

// ---- an output side that records everything ------------------------------------------------------
struct Pt { double x, y; };
struct Piece { std::vector<Pt> pts; ColourWord colour; };
struct Line { double x1, y1, x2, y2; ColourWord colour; };

struct Recorder {
    PlotOutputCallbacks cb{};
    std::vector<Piece> pieces;
    std::vector<Line> lines;
    std::vector<Pt> points;
    std::vector<std::string> texts;
    long interruptCalls = 0;
    long stopAt = -1;   // interruptTest answers 1 on this call (1-based), else 0
    Recorder() {
        cb.point = [](PlotOutputCallbacks* c, double x, double y, ColourWord) { of(c)->points.push_back({x, y}); };
        cb.line = [](PlotOutputCallbacks* c, double x1, double y1, double x2, double y2, ColourWord w) {
            of(c)->lines.push_back({x1, y1, x2, y2, w});
        };
        cb.polygon = [](PlotOutputCallbacks* c, int n, const double* xs, const double* ys, ColourWord w) {
            Piece p{{}, w};
            for (int i = 0; i < n; ++i) p.pts.push_back({xs[i], ys[i]});
            of(c)->pieces.push_back(p);
        };
        cb.text = [](PlotOutputCallbacks* c, double, double, const char* t, int, ColourWord, int) {
            of(c)->texts.push_back(t);
        };
        cb.background = 0xFFFFFF;
    }
    void withInterrupt() {
        cb.interruptTest = [](PlotOutputCallbacks* c) {
            Recorder* r = of(c);
            return ++r->interruptCalls == r->stopAt ? 1 : 0;
        };
    }
    static Recorder* of(PlotOutputCallbacks* c) { return reinterpret_cast<Recorder*>(c); }
};

double polyArea(const std::vector<Pt>& p) {
    double a = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Pt& u = p[i];
        const Pt& w = p[(i + 1) % p.size()];
        a += u.x * w.y - w.x * u.y;
    }
    return std::fabs(a) / 2;
}

// The part of a polygon inside the rectangle (Sutherland-Hodgman; any subject polygon).
std::vector<Pt> clipRect(std::vector<Pt> p, double x0, double y0, double x1, double y1) {
    auto clip = [&](auto inside, auto cut) {
        std::vector<Pt> out;
        for (std::size_t i = 0; i < p.size(); ++i) {
            Pt a = p[i], b = p[(i + 1) % p.size()];
            bool ia = inside(a), ib = inside(b);
            if (ia) out.push_back(a);
            if (ia != ib) out.push_back(cut(a, b));
        }
        p = out;
    };
    auto atX = [](Pt a, Pt b, double x) { return Pt{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
    auto atY = [](Pt a, Pt b, double y) { return Pt{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
    clip([&](Pt a) { return a.x >= x0; }, [&](Pt a, Pt b) { return atX(a, b, x0); });
    clip([&](Pt a) { return a.x <= x1; }, [&](Pt a, Pt b) { return atX(a, b, x1); });
    clip([&](Pt a) { return a.y >= y0; }, [&](Pt a, Pt b) { return atY(a, b, y0); });
    clip([&](Pt a) { return a.y <= y1; }, [&](Pt a, Pt b) { return atY(a, b, y1); });
    return p;
}

double areaOf(const Recorder& r, ColourWord colour) {
    double a = 0;
    for (const Piece& p : r.pieces)
        if (p.colour == colour) a += polyArea(p.pts);
    return a;
}

double areaInside(const Recorder& r, ColourWord colour, double x0, double y0, double x1, double y1) {
    double a = 0;
    for (const Piece& p : r.pieces)
        if (p.colour == colour) a += polyArea(clipRect(p.pts, x0, y0, x1, y1));
    return a;
}

constexpr ColourWord RED = 0xFF0000, BLUE = 0x0000FF, GREEN = 0x00FF00;

class HiddenTest : public ::testing::Test {
protected:
    void SetUp() override { sweep_tol = SweepTolerances{1e-10, 1e-10, 1e-10, 1e-10}; }
    Recorder run(Scene& s) {
        Recorder r;
        plot_hidden_surface(s.finish(), nullptr, &r.cb);
        return r;
    }
};

// ---- event queue --------------------------------------------------------------------------------
TEST_F(HiddenTest, QueueEmptyPopsNone) {
    eventq_open();
    EXPECT_EQ(eventq_pop(), nullptr);
    eventq_close();
}

TEST_F(HiddenTest, QueuePopsInOrderOfYAndGrowsAt2046th) {
    eventq_open();
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> d(-10, 10);
    for (int i = 0; i < 2045; ++i) eventq_insert(0, d(rng), SWEEP_POINT, nullptr, nullptr);
    EXPECT_EQ(eventq_capacity(), 2046);
    eventq_insert(0, d(rng), SWEEP_POINT, nullptr, nullptr);
    EXPECT_EQ(eventq_capacity(), 4092);
    for (int i = 0; i < 3000; ++i) eventq_insert(0, std::floor(d(rng)), SWEEP_POINT, nullptr, nullptr);
    double last = -HUGE_VAL;
    int n = 0;
    while (SweepEvent* e = eventq_pop()) {
        EXPECT_LE(last, e->y);
        last = e->y;
        eventq_release(e);
        ++n;
    }
    EXPECT_EQ(n, 5046);
    eventq_close();
}

TEST_F(HiddenTest, QueueLaterEqualRisesAbove) {
    eventq_open();
    SweepEvent* a = eventq_insert(0, 1, SWEEP_POINT, nullptr, nullptr);
    SweepEvent* b = eventq_insert(0, 1, SWEEP_POINT, nullptr, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(eventq_pop(), b);
    EXPECT_EQ(eventq_pop(), a);
    // A released record is what the next insert reuses.
    eventq_release(a);
    EXPECT_EQ(eventq_insert(0, 2, SWEEP_POINT, nullptr, nullptr), a);
    eventq_close();
}

// Events of equal y come out in an order the sweep's output depends on, so the queue must pop
// exactly the sequence of a plain binary heap: sift up past parents of equal or greater y; pop by
// taking the smaller child (the left one on a tie) down to the bottom, then sift the last slot up
// past parents of equal or greater y.  The model below is that heap; the queue is run against it
// with many ties, signed zeros, infinities and NaN, pops between inserts, and growth.
struct ReferenceHeap {
    std::vector<std::pair<double, SweepEvent*>> slots;
    void insert(double y, SweepEvent* e) {
        std::size_t hole = slots.size();
        slots.emplace_back();
        while (hole > 0) {
            std::size_t parent = (hole - 1) / 2;
            if (!(slots[parent].first >= y)) break;
            slots[hole] = slots[parent];
            hole = parent;
        }
        slots[hole] = {y, e};
    }
    SweepEvent* pop() {
        if (slots.empty()) return nullptr;
        SweepEvent* result = slots[0].second;
        auto last = slots.back();
        slots.pop_back();
        const std::size_t n = slots.size();
        if (n == 0) return result;
        std::size_t hole = 0, child = 1;
        while (child + 1 < n) {
            if (slots[child + 1].first < slots[child].first) ++child;
            slots[hole] = slots[child];
            hole = child;
            child = 2 * hole + 1;
        }
        if (child + 1 == n) {
            slots[hole] = slots[child];
            hole = child;
        }
        while (hole > 0) {
            std::size_t parent = (hole - 1) / 2;
            if (!(last.first <= slots[parent].first)) break;
            slots[hole] = slots[parent];
            hole = parent;
        }
        slots[hole] = last;
        return result;
    }
};

TEST_F(HiddenTest, QueuePopsEqualKeysAsTheReferenceHeap) {
    const double keys[] = {0.0, -0.0, 1.0, 1.0, 2.0, 3.0, -HUGE_VAL, HUGE_VAL, std::nan("")};
    struct Case {
        const char* name;
        int keyCount;        // keys drawn from the first keyCount entries of `keys`
        int insertPercent;   // chance of an insert against a pop
        int steps;
    };
    const Case cases[] = {
        {"two keys, mostly inserts", 2, 70, 20000},
        {"five keys, balanced", 5, 50, 20000},
        {"with infinities, past growth", 8, 80, 12000},
        {"with NaN", 9, 60, 20000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        eventq_open();
        ReferenceHeap model;
        std::mt19937 rng(11);
        for (int step = 0; step < c.steps; ++step) {
            if (static_cast<int>(rng() % 100) < c.insertPercent) {
                double y = keys[rng() % c.keyCount];
                model.insert(y, eventq_insert(step, y, SWEEP_POINT, nullptr, nullptr));
            } else {
                SweepEvent* want = model.pop();
                SweepEvent* got = eventq_pop();
                ASSERT_EQ(got, want) << "step " << step;
                if (got) eventq_release(got);
            }
        }
        while (SweepEvent* want = model.pop()) ASSERT_EQ(eventq_pop(), want);
        EXPECT_EQ(eventq_pop(), nullptr);
        eventq_close();
    }
}

// ---- span table ---------------------------------------------------------------------------------
// The table against a model that walks link by link from the finger, as a plain list would: the
// place a span is inserted at and the span located must be the same whether or not the table is
// in order at the height asked, with ties, lines changed while in the table, spans crossing, and
// NaN.  Enough spans and operations that blocks split, merge and get passed whole.
struct SpanTableModel {
    std::vector<Span*> order;
    int finger = -1;   // index into order, or -1
    static bool right(const Span* s, double x, double y) { return span_x(s, y) > x; }
    static bool atOrRight(const Span* s, double x, double y) { return span_x(s, y) - x >= 0; }
    int at() const { return finger >= 0 ? finger : 0; }
    void insert(double x, double y, Span* s) {
        if (order.empty()) { order.push_back(s); finger = 0; return; }
        int i = at();
        if (right(order[i], x, y)) {
            while (i > 0 && right(order[i - 1], x, y)) --i;
        } else {
            while (i < int(order.size()) && !right(order[i], x, y)) ++i;
        }
        order.insert(order.begin() + i, s);
        while (i + 1 < int(order.size()) && span_x(order[i + 1], y) < x) { std::swap(order[i], order[i + 1]); ++i; }
        while (i > 0 && span_x(order[i - 1], y) > x) { std::swap(order[i], order[i - 1]); --i; }
        finger = i;
    }
    void insertRightOf(Span* s, Span* n) {
        int i = index(s);
        order.insert(order.begin() + i + 1, n);
        if (finger > i) ++finger;
    }
    Span* locate(double x, double y) {
        if (order.empty()) return nullptr;
        int i = at();
        if (atOrRight(order[i], x, y)) {
            while (i > 0 && atOrRight(order[i - 1], x, y)) --i;
        } else {
            while (i + 1 < int(order.size()) && !atOrRight(order[i], x, y)) ++i;
        }
        finger = i;
        return order[i];
    }
    void remove(Span* s) {
        int i = index(s);
        order.erase(order.begin() + i);
        if (finger == i) finger = i > 0 ? i - 1 : (order.empty() ? -1 : 0);
        else if (finger > i) --finger;
    }
    int index(const Span* s) const { return int(std::find(order.begin(), order.end(), s) - order.begin()); }
};

TEST_F(HiddenTest, SpanTableWalksAsALinkByLinkListWould) {
    struct Case {
        const char* name;
        int slopes;        // slopes drawn from {-slopes/2 .. slopes/2} / 4, or any when 0
        int intercepts;    // intercepts on a grid of this many steps in [-1, 1], or any when 0
        bool yGoesBack;    // heights sometimes below the previous ones
        bool nans;         // now and then a span with a NaN line
    };
    const Case cases[] = {
        {"random lines", 0, 0, false, false},
        {"ties on a coarse grid, parallel", 1, 6, false, false},
        {"ties on a coarse grid, crossing", 5, 8, false, false},
        {"random lines, heights back and forth", 0, 0, true, false},
        {"ties, heights back and forth", 3, 4, true, false},
        {"with NaN lines", 0, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> u(-1, 1);
        auto pick = [&](int steps) { return steps ? std::floor((u(rng) + 1) / 2 * steps) / steps * 2 - 1 : u(rng); };
        auto line = [&](Span* s) {
            s->slope = c.slopes ? pick(c.slopes) * c.slopes / 8 : u(rng) * 3;
            s->intercept = pick(c.intercepts);
            if (c.nans && rng() % 50 == 0) s->intercept = std::nan("");
        };
        spantab_open();
        SpanTableModel model;
        double y = 0;
        for (int step = 0; step < 6000; ++step) {
            y += c.yGoesBack ? u(rng) * 0.05 : (u(rng) + 1) * 0.01;
            // Grows to about 300 spans, then shrinks and grows again.
            int target = step < 2000 ? 300 : step < 4000 ? 40 : 300;
            int op = rng() % 10;
            if (model.order.empty() || (op < 4 && int(model.order.size()) < target)) {
                Span* s = span_new();
                line(s);
                double x = rng() % 4 == 0 && !model.order.empty()
                               ? span_x(model.order[rng() % model.order.size()], y)   // a tie
                               : pick(c.intercepts) + y * (c.slopes ? 0 : u(rng));
                if (rng() % 5 == 0 && !model.order.empty()) {
                    Span* left = model.order[rng() % model.order.size()];
                    spantab_insert_right_of(left, s);
                    model.insertRightOf(left, s);
                } else {
                    spantab_insert(x, y, s);
                    model.insert(x, y, s);
                }
            } else if (op < 6) {
                Span* s = model.order[rng() % model.order.size()];
                model.remove(s);
                spantab_remove(s);
            } else if (op < 7 && model.order.size() > 1) {
                std::size_t i = rng() % (model.order.size() - 1);
                spantab_exchange(model.order[i], model.order[i + 1]);
                std::swap(model.order[i], model.order[i + 1]);
            } else if (op < 8) {
                Span* s = model.order[rng() % model.order.size()];
                line(s);
                spantab_line_changed(s);
            } else {
                double x = rng() % 3 == 0 ? span_x(model.order[rng() % model.order.size()], y) : u(rng) * 2;
                ASSERT_EQ(spantab_locate(x, y), model.locate(x, y)) << "step " << step << " x " << x << " y " << y;
            }
            ASSERT_EQ(spantab_count(), int(model.order.size())) << "step " << step;
            if (step % 97 == 0 || step > 5900) {
                Span* s = spantab_first();
                for (std::size_t i = 0; i < model.order.size(); ++i, s = span_right(s))
                    ASSERT_EQ(s, model.order[i]) << "step " << step << " position " << i;
                ASSERT_EQ(s, nullptr);
            }
        }
        spantab_close();
    }
}

// ---- depth trees --------------------------------------------------------------------------------
class DepthTreeTest : public HiddenTest {
protected:
    // Polygons ordered by disjoint depth ranges: polygon k lies in [k, k + 0.5].
    DrawPolygon p[6]{};
    void SetUp() override {
        HiddenTest::SetUp();
        for (int k = 0; k < 6; ++k) {
            p[k].plane[3] = k;
            p[k].plane[4] = k + 0.5;
        }
        depth_tree_open();
    }
    void TearDown() override { depth_tree_close(); }
    // The polygons of the tree in order (in-order walk = front to back).
    static void order(DepthTree t, std::vector<const DrawPolygon*>& out) {
        if (!t) return;
        order(t->left, out);
        out.push_back(t->polygon);
        order(t->right, out);
    }
    std::vector<int> indices(DepthTree t) {
        std::vector<const DrawPolygon*> o;
        order(t, o);
        std::vector<int> r;
        for (const DrawPolygon* q : o) r.push_back(static_cast<int>(q - p));
        return r;
    }
};

TEST_F(DepthTreeTest, InsertKeepsFrontToBackOrder) {
    DepthTree t = nullptr;
    for (int k : {3, 1, 4, 0, 5, 2}) t = depth_tree_insert(t, &p[k], 0);
    EXPECT_EQ(indices(t), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(depth_tree_front(t), &p[0]);
    depth_tree_release(t);
    EXPECT_EQ(depth_tree_live_nodes(), 0);
}

TEST_F(DepthTreeTest, RemoveCases) {
    struct Case { const char* name; std::vector<int> build; int remove; std::vector<int> expected; };
    const Case cases[] = {
        {"only", {2}, 2, {}},
        {"leaf", {2, 1, 3}, 3, {1, 2}},
        {"root_two_children", {2, 1, 3}, 2, {1, 3}},
        {"inner_one_child", {1, 2, 3}, 2, {1, 3}},
        {"front", {3, 1, 2, 0}, 0, {1, 2, 3}},
        {"absent_leaves_tree", {1, 3}, 4, {1, 3}},
        {"absent_from_empty", {}, 4, {}},
    };
    for (const Case& c : cases) {
        DepthTree t = nullptr;
        for (int k : c.build) t = depth_tree_insert(t, &p[k], 0);
        t = depth_tree_remove(t, &p[c.remove], 0);
        EXPECT_EQ(indices(t), c.expected) << c.name;
        depth_tree_release(t);
        EXPECT_EQ(depth_tree_live_nodes(), 0) << c.name;
    }
}

TEST_F(DepthTreeTest, SharedTreesCopyOnlyWhatChanges) {
    DepthTree a = nullptr;
    for (int k : {2, 1, 4}) a = depth_tree_insert(a, &p[k], 0);
    long before = depth_tree_live_nodes();
    DepthTree b = depth_tree_insert(depth_tree_retain(a), &p[0], 0);
    b = depth_tree_remove(b, &p[4], 0);
    EXPECT_EQ(indices(a), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(indices(b), (std::vector<int>{0, 1, 2}));
    EXPECT_GT(depth_tree_live_nodes(), before);
    depth_tree_release(a);
    EXPECT_EQ(indices(b), (std::vector<int>{0, 1, 2}));
    depth_tree_release(b);
    EXPECT_EQ(depth_tree_live_nodes(), 0);
}

TEST_F(DepthTreeTest, PushFrontAndInsertBehind) {
    DepthTree t = nullptr;
    for (int k : {2, 4}) t = depth_tree_insert(t, &p[k], 0);
    t = depth_tree_push_front(t, &p[5]);   // no comparison: 5 becomes front
    EXPECT_EQ(depth_tree_front(t), &p[5]);
    depth_tree_release(t);
    t = nullptr;
    for (int k : {2, 4}) t = depth_tree_insert(t, &p[k], 0);
    t = depth_tree_insert_behind(t, &p[0], 0);   // would be front: takes second place
    EXPECT_EQ(indices(t), (std::vector<int>{2, 0, 4}));
    t = depth_tree_insert_behind(t, &p[5], 0);   // behind anyway
    EXPECT_EQ(indices(t), (std::vector<int>{2, 0, 4, 5}));
    depth_tree_release(t);
    EXPECT_EQ(depth_tree_live_nodes(), 0);
}

// ---- sort and outlines --------------------------------------------------------------------------
TEST_F(HiddenTest, SortByKeyTable) {
    for (int n : {0, 1, 2, 9, 10, 11, 100, 1000}) {
        std::mt19937 rng(n);
        std::vector<double> keys(n);
        std::vector<void*> items(n);
        std::vector<int> ids(n);
        for (int i = 0; i < n; ++i) {
            keys[i] = static_cast<double>(rng() % 13);   // many equal keys
            ids[i] = i;
            items[i] = &ids[i];
        }
        std::vector<double> original = keys;
        sort_by_key(keys.data(), items.data(), n);
        std::vector<int> seen(n, 0);
        for (int i = 0; i < n; ++i) {
            if (i) { EXPECT_LE(keys[i - 1], keys[i]) << "n=" << n; }
            int id = *static_cast<int*>(items[i]);
            EXPECT_EQ(original[id], keys[i]) << "n=" << n << " item moved without its key";
            ++seen[id];
        }
        for (int i = 0; i < n; ++i) EXPECT_EQ(seen[i], 1) << "n=" << n;
    }
}

TEST_F(HiddenTest, OutlineCleaning) {
    struct Case { const char* name; std::vector<Pt> in; std::vector<Pt> expected; };
    const Case cases[] = {
        {"square_kept", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        {"last_repeats_first", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        {"collinear_middle", {{0, 0}, {0.5, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        {"repeated_inside", {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        {"zero_area", {{0, 0}, {1, 1}, {2, 2}}, {}},
        {"two_points", {{0, 0}, {1, 1}}, {}},
    };
    for (const Case& c : cases) {
        std::vector<double> xs, ys;
        for (Pt p : c.in) { xs.push_back(p.x); ys.push_back(p.y); }
        int n = boundary_clean(xs.data(), ys.data(), static_cast<int>(xs.size()));
        ASSERT_EQ(n, static_cast<int>(c.expected.size())) << c.name;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(xs[i], c.expected[i].x) << c.name << " point " << i;
            EXPECT_EQ(ys[i], c.expected[i].y) << c.name << " point " << i;
        }
    }
}

TEST_F(HiddenTest, OutlineOfTwoChainsGrowsTheStacks) {
    Recorder r;
    Scene s;
    plot_hidden_surface(s.finish(), nullptr, &r.cb);   // an empty sweep sets the tolerances
    sweep_tol = SweepTolerances{2e-10, 2e-10, 2e-10, 2e-10};
    PlotOutputCallbacks* keep = &r.cb;
    (void)keep;
    boundary_begin();
    EXPECT_EQ(boundary_stack_capacity(), 100);
    // A 250-gon: the start point, then points 1..124 in the first chain (read newest first), then
    // 125..249 in the second (read oldest first).
    const int n = 250;
    auto at = [&](int i, double* x, double* y) { *x = std::cos(2 * M_PI * i / n); *y = std::sin(2 * M_PI * i / n); };
    BoundaryChain first = nullptr, second = nullptr;
    double x, y;
    for (int i = 124; i >= 1; --i) { at(i, &x, &y); first = boundary_edge_new(x, y, first); }
    for (int i = 125; i < n; ++i) { at(i, &x, &y); second = boundary_edge_new(x, y, second); }
    DrawPolygon p{};
    p.colour = RED;
    at(0, &x, &y);
    // Outside a sweep the relays have no output: count the outline through the stacks instead.
    boundary_emit(x, y, first, second, &p);
    EXPECT_EQ(boundary_stack_capacity(), 400);
    // Background fill: the records go back and are reused, nothing is drawn.
    BoundaryEdge* a = boundary_edge_new(1, 0, nullptr);
    p.colour = COLOUR_BACKGROUND_FILL | RED;
    boundary_emit(0, 0, a, boundary_edge_new(1, 1, nullptr), &p);
    BoundaryEdge* b = boundary_edge_new(2, 2, nullptr);
    BoundaryEdge* c = boundary_edge_new(3, 3, nullptr);
    EXPECT_TRUE((b == a) || (c == a)) << "record not reused";
    boundary_end();
    EXPECT_EQ(boundary_stack_capacity(), 0);
}

// ---- the sweep, geometrically -------------------------------------------------------------------
struct SquaresCase { const char* name; bool triangles; bool frontFirst; };

TEST_F(HiddenTest, OverlappingSquaresGiveTheUnion) {
    const SquaresCase cases[] = {
        {"quads_back_first", false, false},
        {"quads_front_first", false, true},
        {"triangles_back_first", true, false},
        {"triangles_front_first", true, true},
    };
    for (const SquaresCase& c : cases) {
        Scene s;
        if (c.frontFirst) {
            s.rect(1, 1, 3, 3, 0, RED, c.triangles);
            s.rect(0, 0, 2, 2, 1, BLUE, c.triangles);
        } else {
            s.rect(0, 0, 2, 2, 1, BLUE, c.triangles);
            s.rect(1, 1, 3, 3, 0, RED, c.triangles);
        }
        Recorder r = run(s);
        EXPECT_NEAR(areaOf(r, RED) + areaOf(r, BLUE), 7.0, 1e-6) << c.name;
        EXPECT_NEAR(areaOf(r, RED), 4.0, 1e-6) << c.name;
        EXPECT_NEAR(areaInside(r, BLUE, 1, 1, 3, 3), 0.0, 1e-6) << c.name;
    }
}

TEST_F(HiddenTest, BackgroundFillHidesWithoutBeingDrawn) {
    const ColourWord fill = COLOUR_BACKGROUND_FILL | GREEN;
    Scene s;
    s.rect(0, 0, 2, 2, 1, BLUE);
    s.rect(1, 1, 3, 3, 0, fill, true);
    Recorder r = run(s);
    for (const Piece& p : r.pieces) EXPECT_EQ(p.colour & COLOUR_BACKGROUND_FILL, 0u);
    EXPECT_NEAR(areaOf(r, BLUE), 3.0, 1e-6);
    EXPECT_NEAR(areaInside(r, BLUE, 1, 1, 3, 3), 0.0, 1e-6);
}

TEST_F(HiddenTest, InterpenetratingSurfacesSplitAtTheirIntersection) {
    // Two tilted meshes over the unit square crossing along x = 0.5: the red one is nearer for
    // x < 0.5, the blue one for x > 0.5.  Pieces follow the mesh, so the split line is exact up
    // to one cell.
    const int n = 16;
    Scene s;
    s.mesh(n, [](double x, double) { return x - 0.5; }, RED);
    s.mesh(n, [](double x, double) { return 0.5 - x; }, BLUE);
    Recorder r = run(s);
    const double cell = 1.0 / n;
    EXPECT_NEAR(areaOf(r, RED) + areaOf(r, BLUE), 1.0, 1e-6);
    EXPECT_NEAR(areaOf(r, RED), 0.5, cell);
    EXPECT_NEAR(areaInside(r, RED, 0.5 + cell, 0, 1, 1), 0.0, 1e-6);
    EXPECT_NEAR(areaInside(r, BLUE, 0, 0, 0.5 - cell, 1), 0.0, 1e-6);
}

TEST_F(HiddenTest, SurfaceOverSurfaceHidesExactly) {
    // A bumpy surface over a flat one further back, both meshes: only the near one shows.
    Scene s;
    s.mesh(12, [](double x, double y) { return 1.0 + 0.1 * std::sin(7 * x) * std::cos(5 * y); }, BLUE);
    s.mesh(10, [](double x, double y) { return 0.1 * std::sin(3 * x + y); }, RED);
    Recorder r = run(s);
    EXPECT_NEAR(areaOf(r, RED), 1.0, 1e-6);
    EXPECT_NEAR(areaOf(r, BLUE), 0.0, 1e-6);
}

TEST_F(HiddenTest, LinesArePiecedByWhatHidesThem) {
    struct Case { const char* name; double z; double visibleLength; };
    const Case cases[] = {{"behind", 2, 3.0}, {"in_front", -1, 5.0}};
    for (const Case& c : cases) {
        Scene s;
        s.rect(1, 1, 3, 3, 0, RED);
        s.seg(s.v(2, -1, c.z), s.v(2.2, 4, c.z), GREEN);
        Recorder r = run(s);
        double length = 0;
        for (const Line& l : r.lines) {
            length += std::hypot(l.x2 - l.x1, l.y2 - l.y1);
            if (c.z > 0) {
                double my = (l.y1 + l.y2) / 2;
                EXPECT_FALSE(my > 1 + 1e-6 && my < 3 - 1e-6) << c.name << ": piece inside the square";
            }
        }
        EXPECT_NEAR(length, c.visibleLength * std::hypot(0.2, 5) / 5, 1e-6) << c.name;
    }
}

TEST_F(HiddenTest, NearHorizontalLineBehindSquare) {
    Scene s;
    s.rect(1, 1, 3, 3, 0, RED);
    s.seg(s.v(0, 2, 1), s.v(4, 2, 1), GREEN);   // horizontal: drawn at once, never a span
    Recorder r = run(s);
    double length = 0;
    for (const Line& l : r.lines) length += std::fabs(l.x2 - l.x1);
    EXPECT_NEAR(length, 2.0, 1e-6);
}

TEST_F(HiddenTest, PointsAndTextsBehindAreHidden) {
    struct Case { const char* name; double x, y, z; bool shown; };
    const Case cases[] = {
        {"behind", 2, 2, 1, false},
        {"in_front", 2, 2, -1, true},
        {"on_plane", 2, 2, 0, true},
        {"beside", 5, 2, 1, true},
    };
    for (const Case& c : cases) {
        Scene s;
        s.rect(1, 1, 3, 3, 0, RED);
        s.point(s.v(c.x, c.y, c.z), GREEN);
        s.text(s.v(c.x, c.y, c.z), "t", GREEN);
        Recorder r = run(s);
        EXPECT_EQ(r.points.size(), c.shown ? 1u : 0u) << c.name;
        EXPECT_EQ(r.texts.size(), c.shown ? 1u : 0u) << c.name;
    }
}

TEST_F(HiddenTest, RelayDropsTinyLines) {
    Scene s;
    s.v(0, 0, 0);
    s.v(1, 1, 1);   // extents 1 in each axis: tol = 2e-10
    const double tol = 2e-10;
    s.seg(s.v(0, 0, 0), s.v(9 * tol, 9 * tol, 0), GREEN);
    s.seg(s.v(0, 0.5, 0), s.v(11 * tol, 0.5, 0), BLUE);
    Recorder r = run(s);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0].colour, BLUE);
}

TEST_F(HiddenTest, RingStartsAtLowestVertex) {
    Scene s;
    DrawVertex *a = s.v(0, 0, 0), *b = s.v(1, 0.5, 0), *c = s.v(0.2, 1, 0);
    DrawPolygon* p = s.poly({b, c, a}, RED);
    Recorder r = run(s);
    EXPECT_EQ(p->v[0], a);
    EXPECT_EQ(p->v[1], b);
    EXPECT_EQ(p->v[2], c);
    EXPECT_NEAR(areaOf(r, RED), 0.5 * std::fabs(1 * 1 - 0.5 * 0.2), 1e-9);
}

TEST_F(HiddenTest, DegenerateInputIsDroppedQuietly) {
    const double nan = std::nan(""), inf = HUGE_VAL;
    Scene s;
    s.rect(0, 0, 1, 1, 0, RED);   // the one sound polygon
    s.poly({s.v(0, 0, 0), s.v(1, 1, 0), s.v(2, 2, 0)}, BLUE);                       // zero area
    s.poly({s.v(0.5, 0.5, -1), s.v(0.5, 0.5, -1), s.v(0.6, 0.7, -1)}, BLUE);        // coincident vertices
    s.poly({s.v(0.1, 0.1, -1), s.v(0.1, 0.9, -1), s.v(0.1, 0.5, -1)}, BLUE);        // vertical, flat
    s.poly({s.v(0, 0, -1), s.v(nan, 0.5, -1), s.v(0.5, 1, -1)}, BLUE);              // NaN
    s.poly({s.v(0, 0, -1), s.v(inf, 0.5, -1), s.v(0.5, 1, -1)}, BLUE);              // infinite
    s.poly({s.v(0, 0.2, -1), s.v(1, 0.2, -1), s.v(0.5, 0.2, -1)}, BLUE);            // horizontal, flat
    s.seg(s.v(nan, 0, 0), s.v(1, 1, 0), GREEN);
    s.point(s.v(0.5, inf, -1), GREEN);
    Recorder r = run(s);
    EXPECT_NEAR(areaOf(r, RED), 1.0, 1e-9);
    EXPECT_NEAR(areaOf(r, BLUE), 0.0, 1e-12);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_TRUE(r.points.empty());
}

TEST_F(HiddenTest, RandomScenesKeepAreaBounds) {
    // Random overlapping triangles, many sharing vertices and edges: the sweep must end, and the
    // visible pieces can never cover more than the triangles do.
    for (int seed = 1; seed <= 30; ++seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> d(0, 1);
        std::uniform_int_distribution<int> grid(0, 4);
        Scene s;
        double total = 0;
        for (int i = 0; i < 40; ++i) {
            bool snap = i % 3 == 0;   // coarse grid: coincident vertices, shared and vertical edges
            auto c = [&] { return snap ? grid(rng) / 4.0 : d(rng); };
            double x[3] = {c(), c(), c()}, y[3] = {c(), c(), c()};
            s.poly({s.v(x[0], y[0], d(rng)), s.v(x[1], y[1], d(rng)), s.v(x[2], y[2], d(rng))}, 0x010101u * (i + 1));
            total += std::fabs((x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0])) / 2;
        }
        Recorder r = run(s);
        double shown = 0;
        for (const Piece& p : r.pieces) shown += polyArea(p.pts);
        EXPECT_LE(shown, total + 1e-6) << "seed " << seed;
        EXPECT_GT(shown, 0) << "seed " << seed;
    }
}

TEST_F(HiddenTest, InterruptStopsTheSweepAndReleasesItsAreas) {
    Scene s;
    s.mesh(8, [](double x, double y) { return x * y; }, RED);
    Recorder r;
    r.withInterrupt();
    r.stopAt = 1;
    plot_hidden_surface(s.finish(), nullptr, &r.cb);
    EXPECT_EQ(plot_hidden_surface_events(), 1);
    EXPECT_EQ(r.interruptCalls, 1);
    EXPECT_EQ(eventq_capacity(), 0);
    EXPECT_EQ(boundary_stack_capacity(), 0);
    EXPECT_EQ(spantab_count(), 0);
    // The next sweep starts clean and draws everything.
    Scene again;
    again.rect(0, 0, 1, 1, 0, RED);
    Recorder full = run(again);
    EXPECT_NEAR(areaOf(full, RED), 1.0, 1e-9);
}

TEST_F(HiddenTest, InterruptTestSkippedEvery4096thEvent) {
    Scene s;
    for (int i = 0; i < 5000; ++i) s.point(s.v(i * 1e-3, i * 1e-3, 0), GREEN);
    Recorder r;
    r.withInterrupt();
    plot_hidden_surface(s.finish(), nullptr, &r.cb);
    long events = plot_hidden_surface_events();
    EXPECT_EQ(events, 5000);
    EXPECT_EQ(r.interruptCalls, events - events / 4096);
    EXPECT_EQ(r.points.size(), 5000u);
}

TEST_F(HiddenTest, PointSymbols) {
    struct Case { const char* name; unsigned symbol; std::size_t lines; };
    const Case cases[] = {{"default", 0, 4}, {"cross", 1, 2}, {"diamond", 2, 4}, {"box", 3, 4}, {"circle", 4, 8}, {"point", 5, 4}};
    std::vector<Line> diamond;
    for (const Case& c : cases) {
        Recorder r;
        plot_draw_point_symbol(&r.cb, 0.5, 0.25, (ColourWord(c.symbol) << 28) | 0x123456);
        ASSERT_EQ(r.lines.size(), c.lines) << c.name;
        for (const Line& l : r.lines) {
            EXPECT_EQ(l.colour, 0x2123456u) << c.name;
            EXPECT_LE(std::fabs(l.x1 - 0.5), 0.008 + 1e-12) << c.name;
            EXPECT_LE(std::fabs(l.y1 - 0.25), 0.008 + 1e-12) << c.name;
        }
        if (c.symbol == 2) diamond = r.lines;
    }
    Recorder zero;
    plot_draw_point_symbol(&zero.cb, 0.5, 0.25, 0x123456);
    ASSERT_EQ(zero.lines.size(), diamond.size());
    for (std::size_t i = 0; i < diamond.size(); ++i) {
        EXPECT_EQ(zero.lines[i].x1, diamond[i].x1);
        EXPECT_EQ(zero.lines[i].y2, diamond[i].y2);
    }
}

// ---- through the plot reader and the pipeline ----------------------------------------------------
class HiddenPlotTest : public PlotTest {};

TEST_F(HiddenPlotTest, ViewBoxDrawsFacesTowardTheViewer) {
    std::string error;
    PlotRecord* plot = readPlot("PLOT3D(POINTS([0,0,0],[1,1,1]), PROJECTION(45, 45, 1));", 3, area, &error);
    ASSERT_NE(plot, nullptr) << error;
    PlotView view{};
    ViewBox extent{};
    plot_setup_view_3d(plot, plot->first, &view, &extent);
    Recorder r;
    plot_draw_view_box(plot, plot->first, &view, &r.cb, r.cb.line);
    ASSERT_EQ(r.lines.size(), 12u);
    // Nine distinct edges, three of them drawn twice.
    std::vector<int> times;
    std::vector<Line> distinct;
    for (const Line& l : r.lines) {
        bool found = false;
        for (std::size_t i = 0; i < distinct.size(); ++i) {
            const Line& d = distinct[i];
            bool same = (std::fabs(d.x1 - l.x1) + std::fabs(d.y1 - l.y1) + std::fabs(d.x2 - l.x2) + std::fabs(d.y2 - l.y2) < 1e-9) ||
                        (std::fabs(d.x1 - l.x2) + std::fabs(d.y1 - l.y2) + std::fabs(d.x2 - l.x1) + std::fabs(d.y2 - l.y1) < 1e-9);
            if (same) { ++times[i]; found = true; break; }
        }
        if (!found) { distinct.push_back(l); times.push_back(1); }
        EXPECT_EQ(l.colour, 0u);
    }
    EXPECT_EQ(distinct.size(), 9u);
    EXPECT_EQ(std::count(times.begin(), times.end(), 2), 3);
}

// View units to a 400 x 400 picture: x' = 200 + 180 x, y' = 200 - 180 y.
struct Svg {
    PlotOutputCallbacks cb{};
    std::ostringstream body;
    static Svg* of(PlotOutputCallbacks* c) { return reinterpret_cast<Svg*>(c); }
    Svg(double scale, double ox, double oy) : k(scale), cx(ox), cy(oy) {
        cb.polygon = [](PlotOutputCallbacks* c, int n, const double* xs, const double* ys, ColourWord w) {
            Svg* s = of(c);
            s->body << "<polygon points='";
            for (int i = 0; i < n; ++i) s->body << s->px(xs[i]) << "," << s->py(ys[i]) << " ";
            char colour[16];
            std::snprintf(colour, sizeof colour, "#%06x", w & 0xFFFFFF);
            s->body << "' fill='" << colour << "' stroke='" << colour << "' stroke-width='0.5'/>\n";
        };
        cb.line = [](PlotOutputCallbacks*, double, double, double, double, ColourWord) {};
        cb.background = 0xFFFFFF;
    }
    double k, cx, cy;
    double px(double x) const { return 200 + k * (x - cx); }
    double py(double y) const { return 200 - k * (y - cy); }
    std::string document() const {
        return "<?xml version='1.0'?>\n<svg xmlns='http://www.w3.org/2000/svg' width='400' height='400'>\n"
               "<rect width='400' height='400' fill='#ffffff'/>\n" + body.str() + "</svg>\n";
    }
};

TEST_F(HiddenTest, SvgOfSurfaceWithHiddenPartsRemoved) {
    // The surface z = sin(3u) cos(3v) over [-1, 1]^2, tilted towards the viewer so that its
    // front ridge hides part of what lies behind.  The near half (v < 0) is red and the far
    // half blue; the far half comes last in the list, so painting in list order would let blue
    // cover red.  After hidden-surface removal the picture shows, at known places: red where the
    // near half is in front, blue where only the far half lies, white outside.
    const int n = 40;
    const double tilt = 1.2;
    auto project = [&](double u, double v, double* x, double* y, double* z) {
        double h = 0.3 * std::sin(3 * u) * std::cos(3 * v);
        // Rotate about the x axis: screen y from v and height, depth away from the viewer.
        *x = u;
        *y = v * std::cos(tilt) + h * std::sin(tilt);
        *z = v * std::sin(tilt) - h * std::cos(tilt);
    };
    Scene s;
    for (int half = 0; half < 2; ++half) {
        ColourWord colour = half == 0 ? BLUE : RED;   // added last = first in the list
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n / 2; ++j) {
                double u0 = -1 + 2.0 * i / n, u1 = -1 + 2.0 * (i + 1) / n;
                double v0 = (half == 0 ? 0 : -1) + 2.0 * j / n, v1 = v0 + 2.0 / n;
                DrawVertex* c[4];
                double uv[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
                for (int k = 0; k < 4; ++k) {
                    double x, y, z;
                    project(uv[k][0], uv[k][1], &x, &y, &z);
                    c[k] = s.v(x, y, z);
                }
                s.poly({c[0], c[1], c[2]}, colour);
                s.poly({c[0], c[2], c[3]}, colour);
            }
    }
    Svg svg(180, 0, 0);
    plot_hidden_surface(s.finish(), nullptr, &svg.cb);
    std::string file = std::string(KELVO_BINARY_DIR) + "/tests/plot/hidden_surface.svg";
    std::ofstream(file) << svg.document();
    ASSERT_EQ(std::system(("xmllint --noout " + file).c_str()), 0);
    Image img;
    ASSERT_TRUE(rasterise(file, &img));
    // Reference: which half is nearest at a screen point, by brute force over the mesh.
    auto nearest = [&](double x, double y) -> unsigned {
        double best = HUGE_VAL;
        unsigned colour = 0xFFFFFF;
        for (const DrawPolygon& p : s.polys) {
            const DrawVertex *a = p.v[0], *b = p.v[1], *c = p.v[2];
            double d = (b->x - a->x) * (c->y - a->y) - (c->x - a->x) * (b->y - a->y);
            if (std::fabs(d) < 1e-15) continue;
            double l1 = ((x - a->x) * (c->y - a->y) - (c->x - a->x) * (y - a->y)) / d;
            double l2 = ((b->x - a->x) * (y - a->y) - (x - a->x) * (b->y - a->y)) / d;
            if (l1 < 0 || l2 < 0 || l1 + l2 > 1) continue;
            double z = a->z + l1 * (b->z - a->z) + l2 * (c->z - a->z);
            if (z < best) { best = z; colour = p.colour & 0xFFFFFF; }
        }
        return colour;
    };
    int checked = 0, red = 0, blue = 0;
    for (int py = 20; py < 380; py += 9)
        for (int px = 20; px < 380; px += 9) {
            double x = (px + 0.5 - 200) / 180, y = (200 - (py + 0.5)) / 180;
            unsigned want = nearest(x, y);
            // Only pixels well inside one colour: the same answer a little way round.
            bool clear = true;
            for (double dx : {-2.5 / 180, 2.5 / 180})
                for (double dy : {-2.5 / 180, 2.5 / 180}) clear = clear && nearest(x + dx, y + dy) == want;
            if (!clear) continue;
            ++checked;
            red += want == RED;
            blue += want == BLUE;
            // Seams between abutting pieces are antialiased: allow a few levels per channel.
            unsigned got = img.at(px, py);
            int worst = 0;
            for (int shift : {0, 8, 16})
                worst = std::max(worst, std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)));
            EXPECT_LE(worst, 0x20) << "pixel " << px << "," << py << " is " << std::hex << got << ", want " << want;
        }
    EXPECT_GT(red, 50);
    EXPECT_GT(blue, 50);
    EXPECT_GT(checked, 500);
}

// Everything the sweep hands the output side for a 20 x 20 surface, numbers in hexadecimal so
// that the last bit counts, against tests/data/plot/sweep_sincos20.txt.  The order in which the
// sweep meets spans that touch at a vertex decides how the pieces are cut, so any change to the
// span table or the event queue that changes an order shows here.  On a difference the output
// is written next to the test binary (sweep_sincos20.txt) for comparison.
TEST_F(HiddenPlotTest, SweepOutputOfASurfaceIsPinned) {
    struct Text {
        PlotOutputCallbacks cb{};
        std::string out;
        static Text* of(PlotOutputCallbacks* c) { return reinterpret_cast<Text*>(c); }
        void add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
            char line[256];
            va_list args;
            va_start(args, format);
            std::vsnprintf(line, sizeof line, format, args);
            va_end(args);
            out += line;
        }
    } t;
    t.cb.polygon = [](PlotOutputCallbacks* c, int n, const double* xs, const double* ys, ColourWord w) {
        Text::of(c)->add("P %x", w);
        for (int i = 0; i < n; ++i) Text::of(c)->add(" %a,%a", xs[i], ys[i]);
        Text::of(c)->add("\n");
    };
    t.cb.line = [](PlotOutputCallbacks* c, double x1, double y1, double x2, double y2, ColourWord w) {
        Text::of(c)->add("L %x %a %a %a %a\n", w, x1, y1, x2, y2);
    };
    t.cb.background = 0xFFFFFF;
    plot_hidden_surface_install();
    std::string error;
    PlotRecord* plot = readPlot(sinCosSurface(20, ", PROJECTION(60, 30, 1)"), 3, area, &error);
    ASSERT_NE(plot, nullptr) << error;
    StorageArea draw;
    storage_init(&draw, STORAGE_ALIGN8, "draw");
    plot_render(plot, &t.cb, &draw);
    storage_free(&draw);
    plot_set_hidden_surface(nullptr);
    std::ifstream in(std::string(KELVO_TEST_DATA) + "/plot/sweep_sincos20.txt");
    std::stringstream want;
    want << in.rdbuf();
    // The file's first line says what it holds.
    std::string expected = want.str();
    expected.erase(0, expected.find('\n') + 1);
    if (t.out != expected) {
        std::ofstream(std::string(KELVO_BINARY_DIR) + "/tests/plot/sweep_sincos20.txt") << t.out;
        std::size_t at = 0;
        while (at < t.out.size() && at < expected.size() && t.out[at] == expected[at]) ++at;
        FAIL() << "output differs from byte " << at << " (" << t.out.size() << " bytes, expected " << expected.size() << ")";
    }
}

TEST_F(HiddenPlotTest, PipelineSendsSurfacesThroughTheSweep) {
    plot_hidden_surface_install();
    std::string error;
    PlotRecord* plot = readPlot("PLOT3D(GRID(0..3, 0..3, [[0,1,0,1],[1,0,1,0],[0,1,0,1],[1,0,1,0]]), "
                                "POINTS([0,0,5]), PROJECTION(30, 60, 1));", 3, area, &error);
    ASSERT_NE(plot, nullptr) << error;
    Recorder r;
    StorageArea draw;
    storage_init(&draw, STORAGE_ALIGN8, "draw");
    plot_render(plot, &r.cb, &draw);
    storage_free(&draw);
    plot_set_hidden_surface(nullptr);
    EXPECT_GT(plot_hidden_surface_events(), 0);
    EXPECT_FALSE(r.pieces.empty());
    double total = 0;
    for (const Piece& p : r.pieces) total += polyArea(p.pts);
    EXPECT_GT(total, 0);
}

}  // namespace
