// Axes and tick labels.

#include "plot/render/axes.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "plot/render/ticks.h"
#include "plot/render/view.h"

const int kBoxEdges[12][3] = {{1, 1, 3}, {0, 3, 7}, {1, 5, 7}, {0, 1, 5}, {2, 0, 1}, {2, 2, 3},
                              {2, 6, 7}, {2, 4, 5}, {1, 0, 2}, {0, 2, 6}, {1, 4, 6}, {0, 0, 4}};

namespace {

// Faces of the box: corners C0 .. C3, then the four edges; (C1 - C0) x (C3 - C0) points outward.
const int kBoxFaces[6][8] = {{1, 5, 7, 3, 0, 1, 2, 3}, {2, 6, 4, 0, 8, 9, 10, 11}, {5, 4, 6, 7, 2, 6, 7, 10},
                             {1, 3, 2, 0, 0, 4, 5, 8},  {3, 7, 6, 2, 1, 5, 6, 9},   {1, 0, 4, 5, 3, 4, 7, 11}};

using Pt = AxesPoint;
struct Box {
    double x0, y0, x1, y1;   // normalised: x0 <= x1, y0 <= y1
};
struct Seg {
    Pt a, b;
    Box box;
};

Box norm(double x0, double y0, double x1, double y1) {
    return {std::fmin(x0, x1), std::fmin(y0, y1), std::fmax(x0, x1), std::fmax(y0, y1)};
}
bool overlap(const Box& a, const Box& b) { return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1; }

struct Axes {
    PlotOutputCallbacks* cb;
    StorageArea* area;
    std::vector<Box> boxes;
    std::vector<Seg> segs;
    double gapX = 0, gapY = 0, W = 1, H = 1;
    ColourWord c = 0;
    int tickFont = 0, labelFont = 0, subdivision = 5;
};

class AxesArea {
public:
    AxesArea() { storage_init(&a_, STORAGE_ALIGN8, "axes-def"); }
    ~AxesArea() { storage_free(&a_); }
    AxesArea(const AxesArea&) = delete;
    AxesArea& operator=(const AxesArea&) = delete;
    StorageArea* get() { return &a_; }

private:
    StorageArea a_;
};

bool measure(Axes& s, double x, double y, const char* text, int align, int font, Box* out) {
    if (!s.cb->textExtent) return false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    s.cb->textExtent(s.cb, x, y, text, align, 0, font, &x0, &y0, &x1, &y1);
    *out = norm(x0, y0, x1, y1);
    return true;
}

void add_segment(Axes& s, Pt a, Pt b) { s.segs.push_back({a, b, norm(a.x, a.y, b.x, b.y)}); }

bool clear_of_segments(const Axes& s, const Box& b) {
    Pt corners[4] = {{b.x0, b.y0}, {b.x1, b.y0}, {b.x1, b.y1}, {b.x0, b.y1}};
    for (const Seg& g : s.segs) {
        if (!overlap(g.box, b)) continue;
        bool pos = false, neg = false;
        for (const Pt& p : corners) {
            double cross = (g.b.x - g.a.x) * (p.y - g.a.y) - (g.b.y - g.a.y) * (p.x - g.a.x);
            if (cross > 0) pos = true;
            if (cross < 0) neg = true;
        }
        if (pos && neg) return false;
    }
    return true;
}

// 0 when the text was placed and drawn, 1 when it would overlap and was left out.
int place_text(Axes& s, double x, double y, const char* text, int align, int font) {
    Box b;
    if (measure(s, x, y, text, align, font, &b)) {
        Box grown{b.x0 - s.gapX, b.y0 - s.gapY, b.x1 + s.gapX, b.y1 + s.gapY};
        for (const Box& o : s.boxes)
            if (overlap(o, grown)) return 1;
        if (!clear_of_segments(s, grown)) return 1;
        s.boxes.push_back(b);
    }
    if (s.cb->overlayText) s.cb->overlayText(s.cb, x, y, text, align, s.c, font);
    return 0;
}

int label_alignment(Pt n) {
    int a = 0;
    if (n.x > 0.2) a |= ALIGN_RIGHT; else if (n.x < -0.2) a |= ALIGN_LEFT;
    if (n.y > 0.2) a |= ALIGN_ABOVE; else if (n.y < -0.2) a |= ALIGN_BELOW;
    return a;
}

void line(Axes& s, Pt a, Pt b, ColourWord w) {
    if (s.cb->overlayLine) s.cb->overlayLine(s.cb, a.x, a.y, b.x, b.y, w | s.c);
}

void draw_axis(Axes& s, Pt A, Pt B, const Pt* crossing, double lo, double hi, const char* label, const TickSet* spec,
               double fraction, int flags, Pt centre, Pt n) {
    if (hi < lo) {
        std::swap(A, B);
        std::swap(lo, hi);
    }
    double dx = (B.x - A.x) / s.W, dy = (B.y - A.y) / s.H;
    if (dx < 0) { dx = -dx; dy = -dy; }
    double L = std::sqrt(dx * dx + dy * dy);
    if (!(L > 0)) return;
    int wanted = L <= 0.1 ? 0 : (L <= 0.4 ? 3 : 5);
    if (dx <= (std::fabs(A.x) + std::fabs(B.x) + std::fabs(A.y) + std::fabs(B.y)) * 2e-10) { dx = -dx; dy = -dy; }
    if (n.x == 0 && n.y == 0) n = {dy / L, -dx / L};
    auto dist = [&](Pt p) { return std::fabs(p.x - centre.x) + std::fabs(p.y - centre.y); };
    if (dist({A.x + n.x, A.y + n.y}) < dist({A.x - n.x, A.y - n.y}) - 0.05) n = {-n.x, -n.y};
    int align = label_alignment(n);
    bool horizontal = align & (ALIGN_LEFT | ALIGN_RIGHT);
    line(s, A, B, 0x22000000);
    if (hi == lo) return;
    double hM = 0.04, wM = 0.04, minStep = 0.1;
    Box m;
    double len = std::hypot(B.x - A.x, B.y - A.y);
    if (measure(s, 0, 0, "M", 0, s.tickFont, &m)) {
        hM = m.y1 - m.y0;
        wM = m.x1 - m.x0;
        minStep = std::fabs(hi - lo) * hM * 1.5 / len;
    }
    TickSet* ticks = tick_set_build(s.area, lo, hi, wanted, minStep, spec, s.subdivision);
    for (int i = 0; ticks && i < ticks->count; ++i) {
        double t = ticks->positions[i];
        double tol = (hi - lo) * 2e-10;
        if (!(t >= lo - tol && t <= hi + tol)) continue;
        double f = (t - lo) / (hi - lo);
        Pt P{A.x + f * (B.x - A.x), A.y + f * (B.y - A.y)};
        int a = align;
        if (crossing && std::fabs(P.x - crossing->x) <= 2e-10 && std::fabs(P.y - crossing->y) <= 2e-10) {
            if (flags & 1) continue;
            a += horizontal ? ALIGN_BELOW : ALIGN_RIGHT;
        }
        const char* text = ticks->labels ? ticks->labels[i] : nullptr;
        double k = (hM / 4) * std::fabs(n.y) + (wM / 4) * std::fabs(n.x);
        if (text && *text) k *= 2;
        Pt end{P.x + 0.7 * k * n.x, P.y + 0.7 * k * n.y};
        s.boxes.push_back(norm(P.x, P.y, end.x, end.y));
        if (text && *text) place_text(s, P.x + k * n.x, P.y + k * n.y, text, a, s.tickFont);
        line(s, P, end, 0x12000000);
    }
    if (label && *label) {
        Pt Q{A.x + fraction * (B.x - A.x), A.y + fraction * (B.y - A.y)};
        for (int j = 8; j < 1000; j += 2)
            if (place_text(s, Q.x + n.x * j * 0.01, Q.y + n.y * j * 0.01, label, align, s.labelFont) == 0) break;
    }
}

void setup(Axes& s, PlotOutputCallbacks* cb, const PlotRecord* plot, const PlotFrame* frame, StorageArea* area) {
    s.cb = cb;
    s.area = area;
    s.c = cb->background ? 0 : 0xFFFFFF;
    const PlotOptions& fo = frame->options;
    const PlotOptions& po = plot->options;
    s.labelFont = fo.axesLabelsFont ? fo.axesLabelsFont
                  : po.axesLabelsFont ? po.axesLabelsFont
                  : frame->objectOptions.font ? frame->objectOptions.font : plot->objectOptions.font;
    s.tickFont = fo.axesTicksFont ? fo.axesTicksFont
                 : po.axesTicksFont ? po.axesTicksFont
                 : frame->objectOptions.font ? frame->objectOptions.font : plot->objectOptions.font;
    s.subdivision = fo.axesParameter ? fo.axesParameter : po.axesParameter;
    Box n;
    if (measure(s, 0, 0, "N", 0, s.tickFont, &n)) {
        s.gapX = (n.x1 - n.x0) / 10;
        s.gapY = (n.y1 - n.y0) / 10;
    }
}

int style_of(const PlotRecord* plot, const PlotFrame* frame) {
    return frame->options.axesStyle != AXES_DEFAULT ? frame->options.axesStyle : plot->options.axesStyle;
}
TickSet* const* ticks_of(const PlotRecord* plot, const PlotFrame* frame) {
    return frame->options.axesTicks ? frame->options.axesTicks : plot->options.axesTicks;
}
char* const* labels_of(const PlotRecord* plot, const PlotFrame* frame) {
    return frame->options.axesLabels ? frame->options.axesLabels : plot->options.axesLabels;
}

double label_fraction(double lo, double hi) {
    if (!(lo < 0 && hi > 0) || hi == lo) return 0.5;
    if (hi * 1.5 <= -lo) return -(lo / 2) / (hi - lo);
    return (hi / 2 - lo) / (hi - lo);
}

}  // namespace

void plot_build_axes_2d(PlotOutputCallbacks* cb, const PlotRecord* plot, const PlotFrame* frame, const PlotView* view) {
    AxesArea area;
    Axes s;
    setup(s, cb, plot, frame, area.get());
    ViewBox box;
    plot_view_box(plot, frame, &box);
    auto project = [&](double x, double y) {
        DrawVertex v{x, y, 0, 0};
        view_transform_point_2d(view, &v);
        return Pt{v.x, v.y};
    };
    double x0 = box.lo[0], x1 = box.hi[0], y0 = box.lo[1], y1 = box.hi[1];
    Pt C0 = project(x0, y0), C1 = project(x0, y1), C2 = project(x1, y1), C3 = project(x1, y0);
    Pt centre = project((x0 + x1) / 2, (y0 + y1) / 2);
    s.W = std::fmax(std::fabs(C2.x - C0.x), 0) == 0 ? 1.0 : std::fabs(C2.x - C0.x);
    s.H = std::fabs(C2.y - C0.y) == 0 ? 1.0 : std::fabs(C2.y - C0.y);
    int style = style_of(plot, frame);
    TickSet* const* ticks = ticks_of(plot, frame);
    char* const* labels = labels_of(plot, frame);
    const TickSet* tx = ticks ? ticks[0] : nullptr;
    const TickSet* ty = ticks ? ticks[1] : nullptr;
    const char* lx = labels ? labels[0] : nullptr;
    const char* ly = labels ? labels[1] : nullptr;
    if (style == AXES_NONE) return;
    if (style == AXES_BOX || style == AXES_FRAME) {
        add_segment(s, C0, C1);
        add_segment(s, C0, C3);
        if (style == AXES_BOX) {
            add_segment(s, C2, C1);
            add_segment(s, C2, C3);
        }
        draw_axis(s, C0, C1, &C0, y0, y1, ly, ty, 0.5, 0, centre, {0, 0});
        draw_axis(s, C0, C3, &C0, x0, x1, lx, tx, 0.5, C0.x == C0.y ? 1 : 0, centre, {0, 0});
        if (style == AXES_BOX) {
            line(s, C1, C2, 0x22000000);
            line(s, C3, C2, 0x22000000);
        }
        return;
    }
    double cx = (x0 > 0 || x1 < 0) ? x0 : 0;
    double cy = (y0 > 0 || y1 < 0) ? y0 : 0;
    Pt cross = project(cx, cy);
    Pt yA = project(cx, y0), yB = project(cx, y1), xA = project(x0, cy), xB = project(x1, cy);
    add_segment(s, yA, yB);
    add_segment(s, xA, xB);
    draw_axis(s, yA, yB, &cross, y0, y1, ly, ty, label_fraction(y0, y1), 0, centre, {0, 0});
    draw_axis(s, xA, xB, &cross, x0, x1, lx, tx, label_fraction(x0, x1), 0, centre, {0, 0});
}

void plot_build_axes_3d(PlotOutputCallbacks* cb, const PlotRecord* plot, const PlotFrame* frame, const PlotView* view) {
    AxesArea area;
    Axes s;
    setup(s, cb, plot, frame, area.get());
    ViewBox box;
    plot_view_box(plot, frame, &box);
    auto project = [&](double x, double y, double z) {
        DrawVertex v{x, y, z, 0};
        view_transform_point(view, &v);
        return Pt{v.x, v.y};
    };
    Pt corner[8];
    double depth[8];   // the projected z of each corner
    double X0 = 0, X1 = 0, Y0 = 0, Y1 = 0;
    for (int k = 0; k < 8; ++k) {
        DrawVertex v{(k & 4) ? box.hi[0] : box.lo[0], (k & 2) ? box.hi[1] : box.lo[1], (k & 1) ? box.hi[2] : box.lo[2], 0};
        view_transform_point(view, &v);
        corner[k] = Pt{v.x, v.y};
        depth[k] = v.z;
        if (k == 0 || corner[k].x < X0) X0 = corner[k].x;
        if (k == 0 || corner[k].x > X1) X1 = corner[k].x;
        if (k == 0 || corner[k].y < Y0) Y0 = corner[k].y;
        if (k == 0 || corner[k].y > Y1) Y1 = corner[k].y;
    }
    s.W = X1 - X0 == 0 ? 1.0 : X1 - X0;
    s.H = Y1 - Y0 == 0 ? 1.0 : Y1 - Y0;
    int style = style_of(plot, frame);
    TickSet* const* ticks = ticks_of(plot, frame);
    char* const* labels = labels_of(plot, frame);
    Pt origin{0, 0};
    if (style == AXES_NORMAL) {
        double o[3];
        for (int a = 0; a < 3; ++a) o[a] = (box.lo[a] > 0 || box.hi[a] <= 0) ? box.lo[a] : 0;
        Pt O = project(o[0], o[1], o[2]);
        bool same = o[0] == o[1] && o[1] == o[2];
        for (int a = 2; a >= 0; --a) {
            double lo[3] = {o[0], o[1], o[2]}, hi[3] = {o[0], o[1], o[2]};
            lo[a] = box.lo[a];
            hi[a] = box.hi[a];
            Pt A = project(lo[0], lo[1], lo[2]), B = project(hi[0], hi[1], hi[2]);
            add_segment(s, A, B);
            draw_axis(s, A, B, a < 2 && same ? &O : nullptr, box.lo[a], box.hi[a], labels ? labels[a] : nullptr,
                      ticks ? ticks[a] : nullptr, 0.5, a < 2 && same ? 1 : 0, origin, {0, 0});
        }
        return;
    }
    if (style != AXES_BOX && style != AXES_FRAME) return;
    bool visible[12];
    int chosen[3];
    axes_box_edges(corner, depth, visible, chosen);
    for (int e = 0; e < 12; ++e)
        if (visible[e]) add_segment(s, corner[kBoxEdges[e][1]], corner[kBoxEdges[e][2]]);
    Pt candidates[5];
    axes_tick_directions(corner, chosen, candidates);
    for (int a = 0; a < 3; ++a) {
        int e = chosen[a];
        if (e < 0) continue;
        Pt A = corner[kBoxEdges[e][1]], B = corner[kBoxEdges[e][2]];
        draw_axis(s, A, B, nullptr, box.lo[a], box.hi[a], labels ? labels[a] : nullptr, ticks ? ticks[a] : nullptr, 0.5, 0,
                  origin, axes_pick_tick_direction(candidates, A, B));
        visible[e] = false;
    }
    if (style == AXES_BOX)
        for (int e = 0; e < 12; ++e)
            if (visible[e]) line(s, corner[kBoxEdges[e][1]], corner[kBoxEdges[e][2]], 0x22000000);
}

// ---- the edges of a 3-D box or frame ----------------------------------------------------------

void axes_box_edges(const AxesPoint corner[8], const double depth[8], bool visible[12], int chosen[3]) {
    for (int e = 0; e < 12; ++e) visible[e] = false;
    for (int a = 0; a < 3; ++a) chosen[a] = -1;
    for (const auto& f : kBoxFaces) {
        Pt c0 = corner[f[0]], c1 = corner[f[1]], c3 = corner[f[3]];
        double cross = (c1.x - c0.x) * (c3.y - c0.y) - (c3.x - c0.x) * (c1.y - c0.y);
        if (cross > 0)
            for (int e = 4; e < 8; ++e) visible[f[e]] = true;
    }
    auto leftEnd = [&](int e) { return std::fmin(corner[kBoxEdges[e][1]].x, corner[kBoxEdges[e][2]].x); };
    auto touches = [&](int e, int k) { return kBoxEdges[e][1] == k || kBoxEdges[e][2] == k; };
    double right = corner[0].x;
    for (int k = 1; k < 8; ++k) right = std::fmax(right, corner[k].x);
    double best = right;
    for (int e = 0; e < 12; ++e)
        if (visible[e] && kBoxEdges[e][0] == 2 && leftEnd(e) < best) {
            chosen[2] = e;
            best = leftEnd(e);
        }
    int first = -1;
    if (chosen[2] >= 0) {
        int z1 = kBoxEdges[chosen[2]][1], z2 = kBoxEdges[chosen[2]][2];
        int P = corner[z1].y < corner[z2].y ? z1 : z2;
        double slope = 0;
        for (int e = 0; e < 12; ++e) {
            if (!visible[e] || e == chosen[2] || !touches(e, P)) continue;
            int a = kBoxEdges[e][1], b = kBoxEdges[e][2];
            double dx = corner[a].x - corner[b].x;
            if (std::fabs(dx) < 2e-10) dx = std::copysign(2e-10, dx);
            double v = (depth[a] - depth[b]) / dx;
            if (first < 0 || v < slope) {
                first = e;
                slope = v;
            }
        }
        if (first >= 0) {
            int axis = kBoxEdges[first][0];
            chosen[axis] = first;
            int Q = kBoxEdges[first][1] == P ? kBoxEdges[first][2] : kBoxEdges[first][1];
            int other = 1 - axis;
            for (int e = 0; e < 12; ++e)
                if (visible[e] && kBoxEdges[e][0] == other && touches(e, Q)) chosen[other] = e;
            if (chosen[other] < 0)
                for (int e = 0; e < 12; ++e)
                    if (visible[e] && kBoxEdges[e][0] == other && (touches(e, z1) || touches(e, z2))) chosen[other] = e;
        }
    }
    if (first < 0) {
        // A degenerate view without a usable z edge: each of x and y takes its leftmost visible edge.
        for (int a = 0; a < 2; ++a) {
            double leftmost = 0;
            for (int e = 0; e < 12; ++e)
                if (visible[e] && kBoxEdges[e][0] == a && (chosen[a] < 0 || leftEnd(e) < leftmost)) {
                    chosen[a] = e;
                    leftmost = leftEnd(e);
                }
        }
    }
}

void axes_tick_directions(const AxesPoint corner[8], const int chosen[3], AxesPoint out[5]) {
    out[0] = {1, 0};
    out[1] = {0, 1};
    int slot = 2;
    for (int a = 0; a < 3; ++a)
        if (chosen[a] >= 0) out[slot++] = axes_unit_direction(corner[kBoxEdges[chosen[a]][1]], corner[kBoxEdges[chosen[a]][2]]);
    while (slot < 5) out[slot++] = {0, 0};
}

AxesPoint axes_unit_direction(AxesPoint a, AxesPoint b) {
    double dx = b.x - a.x, dy = b.y - a.y, L = std::hypot(dx, dy);
    if (!(L > 0)) return {0, 0};
    return {dx / L, dy / L};
}

AxesPoint axes_pick_tick_direction(const AxesPoint candidates[5], AxesPoint a, AxesPoint b) {
    AxesPoint along = axes_unit_direction(a, b), chosen{0, 0};
    double best = 2.0;
    for (int i = 0; i < 5; ++i) {
        double dot = std::fabs(candidates[i].x * along.x + candidates[i].y * along.y);
        if (dot < best) {
            best = dot;
            chosen = candidates[i];
        }
    }
    return chosen;
}
