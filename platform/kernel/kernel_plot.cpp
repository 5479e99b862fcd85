// The plot procedures plot, plot3d, animate and animate3d (kernel_plot.h): their arguments,
// the sampling of curves, grids and meshes, and the PLOT and PLOT3D replies.
//
// Calls:
//   plot(f, x = a..b, options)          f an expression, a procedure (with a plain range a..b),
//                                       a list or set of them, a parametric [fx, fy, t = a..b],
//                                       or a list of points [[x1, y1], ...]; without a range
//                                       the one free name runs over -10..10 (a constant over x)
//   plot3d(f, x = a..b, y = c..d, opts) f an expression or procedure (GRID), or a parametric
//                                       [fx, fy, fz] over the two ranges (MESH)
//   animate(f, x = a..b, t = c..d, opts)            one frame of curves per value of t
//   animate3d(f, x = a..b, y = c..d, t = e..f, opts) one frame of a grid per value of t
// Each sends one PLOT or PLOT3D reply and gives NULL.
//
// Curves: numpoints evenly spaced samples, ends included, then a breadth-first refinement: each
// pass evaluates the middle of every interval that was refined in the pass before, and keeps it
// where the curve bends (the middle lies more than kBendTolerance of the plot's extent off the
// chord) or where a gap begins; at most KPLOT_REFINE_BUDGET middles a curve and kRefinePasses
// passes.  An interval that still bends after the last pass is a jump (1/x at 0): its middle is
// made undefined, so the curve has a gap there.

#include "kernel_plot.h"

#include <algorithm>
#include <cmath>
#include <functional>

using namespace GiNaC;

namespace {

using Args = KSeq;

// Refinement: a middle farther than this fraction of the extent from its chord is a bend.
constexpr double kBendTolerance = 0.001;
// Each pass halves the intervals it refines: ten passes reach 1/1024 of the first spacing.
constexpr int kRefinePasses = 10;
constexpr double kDefaultFrom = -10, kDefaultTo = 10;

struct Range {
    std::string name;   // empty for a plain range a..b
    double lo = 0, hi = 0;
};

bool real_of(const KValue& v, double* out) {
    if (v.kind == KValue::Seq && v.items.size() == 1) return real_of(v.items[0], out);
    if (v.kind != KValue::Expr) return false;
    ex r = v.ex.evalf();
    if (!is_a<numeric>(r) || !ex_to<numeric>(r).is_real()) return false;
    *out = ex_to<numeric>(r).to_double();
    return true;
}

bool is_range_argument(const KValue& v) {
    if (v.kind == KValue::Range) return true;
    return v.kind == KValue::Rel && v.rel == DAG_EQUATION && v.items[1].kind == KValue::Range;
}

Range read_range(const KValue& v) {
    Range r;
    const KValue* range = &v;
    if (v.kind == KValue::Rel) {
        if (v.items[0].kind != KValue::Expr || !kernel_is_name(v.items[0].ex, &r.name))
            throw KError("invalid range " + kernel_value_text(v) + ": the left side must be a name");
        range = &v.items[1];
    }
    if (!real_of(range->items[0], &r.lo) || !real_of(range->items[1], &r.hi) || !std::isfinite(r.lo) ||
        !std::isfinite(r.hi))
        throw KError("the range " + kernel_value_text(v) + " must have finite real ends");
    if (!(r.lo < r.hi)) throw KError("the range " + kernel_value_text(v) + " must end above its start");
    return r;
}

// A call's arguments after the first: ranges first, then options.
struct Call {
    KValue f;
    std::vector<Range> ranges;
    KPlotOptions options;
};

Call read_call(const Args& a, std::size_t maxRanges, int dimension, unsigned sampling) {
    if (a.empty()) throw KError("nothing to plot");
    Call c;
    c.f = a[0];
    c.options.dimension = dimension;
    bool optionSeen = false;
    for (std::size_t i = 1; i < a.size(); ++i) {
        if (is_range_argument(a[i]) && !optionSeen) {
            if (c.ranges.size() == maxRanges) throw KError("unexpected range " + kernel_value_text(a[i]));
            c.ranges.push_back(read_range(a[i]));
            continue;
        }
        if (!kernel_plot_is_option(a[i])) throw KError("invalid plot argument " + kernel_value_text(a[i]));
        optionSeen = true;
        kernel_plot_read_option(a[i], sampling, c.options);
    }
    return c;
}

bool is_procedure(const KValue& f) {
    std::string name;
    return f.kind == KValue::Proc || (f.kind == KValue::Expr && kernel_is_name(f.ex, &name) && kernel_find_builtin(name));
}

// The expression's free names must all be among `names`.
void check_names(const KValue& f, const std::vector<std::string>& names) {
    if (is_procedure(f)) return;
    std::string extra;
    for (const std::string& n : kernel_plot_free_names(f)) {
        bool known = false;
        for (const std::string& m : names) known = known || m == n;
        if (!known) extra += (extra.empty() ? "" : ", ") + n;
    }
    if (extra.empty()) return;
    std::string over;
    for (const std::string& m : names) over += (over.empty() ? "" : ", ") + m;
    throw KError("the plot of " + kernel_value_text(f) + " over " + (over.empty() ? "no name" : over) +
                 " has other free names: " + extra);
}

void check_values(double count) {
    if (count > double(KPLOT_MAX_VALUES))
        throw KError("too many points to plot: at most " + std::to_string(KPLOT_MAX_VALUES) + " values in one plot");
}

double step_at(double lo, double hi, long i, long n) {
    if (n < 2) return lo;
    return i == n - 1 ? hi : lo + (hi - lo) * double(i) / double(n - 1);
}

// ---- curves ------------------------------------------------------------------------------------

struct CurvePoint {
    double t, x, y;
    bool defined() const { return std::isfinite(x) && std::isfinite(y); }
};
using CurveAt = std::function<CurvePoint(double)>;

std::vector<double> sample_curve(const CurveAt& at, double a, double b, long n) {
    std::vector<CurvePoint> pts;
    pts.reserve(std::size_t(n));
    for (long i = 0; i < n; ++i) pts.push_back(at(step_at(a, b, i, n)));
    double xlo = INFINITY, xhi = -INFINITY, ylo = INFINITY, yhi = -INFINITY;
    for (const CurvePoint& p : pts) {
        if (!p.defined()) continue;
        xlo = std::min(xlo, p.x);
        xhi = std::max(xhi, p.x);
        ylo = std::min(ylo, p.y);
        yhi = std::max(yhi, p.y);
    }
    double sx = xhi > xlo ? xhi - xlo : 1, sy = yhi > ylo ? yhi - ylo : 1;
    std::vector<char> active(pts.size() - 1, 1);
    long budget = KPLOT_REFINE_BUDGET;
    for (int pass = 0; pass < kRefinePasses && budget > 0; ++pass) {
        std::vector<CurvePoint> next;
        std::vector<char> nextActive;
        bool refined = false;
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            next.push_back(pts[i]);
            if (!active[i] || budget == 0) {
                nextActive.push_back(0);
                continue;
            }
            const CurvePoint &p0 = pts[i], &p1 = pts[i + 1];
            CurvePoint m = at((p0.t + p1.t) / 2);
            --budget;
            bool all = p0.defined() && p1.defined() && m.defined();
            bool keep;
            if (all) {
                double dx = (m.x - (p0.x + p1.x) / 2) / sx, dy = (m.y - (p0.y + p1.y) / 2) / sy;
                keep = std::hypot(dx, dy) > kBendTolerance;
            } else {
                keep = p0.defined() || p1.defined() || m.defined();   // the edge of a gap
            }
            if (!keep) {
                nextActive.push_back(0);
                continue;
            }
            if (all && pass == kRefinePasses - 1) m.y = NAN;   // a jump: the curve breaks here
            next.push_back(m);
            nextActive.push_back(1);
            nextActive.push_back(1);
            refined = true;
        }
        next.push_back(pts.back());
        pts.swap(next);
        active.swap(nextActive);
        if (!refined) break;
    }
    std::vector<double> data;
    data.reserve(pts.size() * 2);
    for (const CurvePoint& p : pts) {
        bool ok = p.defined();
        data.push_back(std::isfinite(p.x) ? p.x : NAN);
        data.push_back(ok ? p.y : NAN);
    }
    return data;
}

KPlotObject curve_object(std::vector<double> data) {
    KPlotObject o;
    o.kind = KPlotObject::Curve;
    o.rows = long(data.size() / 2);
    o.cols = 2;
    o.data = std::move(data);
    return o;
}

// One curve of a 2-D plot before sampling.
struct CurveSpec {
    enum Kind { Function, Parametric, Points } kind = Function;
    KValue f, fy;       // Function: f; Parametric: f (x) and fy (y)
    Range own;          // Parametric: its parameter's range
    std::vector<double> points;   // Points: x, y pairs
};

bool is_parametric(const KValue& v) {
    return v.kind == KValue::List && v.items.size() == 3 && v.items[2].kind == KValue::Rel &&
           v.items[2].rel == DAG_EQUATION && v.items[2].items[1].kind == KValue::Range;
}

bool is_point_list(const KValue& v) {
    if (v.kind != KValue::List || v.items.empty()) return false;
    for (const KValue& p : v.items) {
        if (p.kind != KValue::List || p.items.size() != 2) return false;
        for (const KValue& c : p.items)
            if (c.kind != KValue::Expr || !kernel_plot_free_names(c).empty()) return false;
    }
    return true;
}

CurveSpec spec_of(const KValue& v) {
    CurveSpec s;
    if (is_parametric(v)) {
        s.kind = CurveSpec::Parametric;
        s.f = v.items[0];
        s.fy = v.items[1];
        s.own = read_range(v.items[2]);
        if (s.own.name.empty() && !(is_procedure(s.f) && is_procedure(s.fy)))
            throw KError("the range of a parametric curve must name its parameter");
        check_names(s.f, {s.own.name});
        check_names(s.fy, {s.own.name});
        return s;
    }
    if (is_point_list(v)) {
        s.kind = CurveSpec::Points;
        for (const KValue& p : v.items)
            for (const KValue& c : p.items) {
                double d;
                s.points.push_back(real_of(c, &d) && std::isfinite(d) ? d : NAN);
            }
        return s;
    }
    if (v.kind == KValue::List || v.kind == KValue::Set || v.kind == KValue::Seq || v.kind == KValue::Str ||
        v.kind == KValue::Table || v.kind == KValue::Rel || v.kind == KValue::Range)
        throw KError("cannot plot " + kernel_value_text(v));
    s.f = v;
    return s;
}

std::vector<CurveSpec> curve_specs(const KValue& f) {
    std::vector<CurveSpec> specs;
    if ((f.kind == KValue::List && !is_parametric(f) && !is_point_list(f)) || f.kind == KValue::Set) {
        for (const KValue& item : f.items) specs.push_back(spec_of(item));
    } else {
        specs.push_back(spec_of(f));
    }
    if (specs.empty()) throw KError("nothing to plot");
    return specs;
}

// The variable and range of the function curves: the given range, or the one free name over
// -10..10 (x for constants).
Range function_range(const Call& c, const std::vector<CurveSpec>& specs) {
    bool any = false;
    std::vector<std::string> names;
    for (const CurveSpec& s : specs) {
        if (s.kind != CurveSpec::Function) continue;
        any = true;
        if (is_procedure(s.f)) continue;
        for (const std::string& n : kernel_plot_free_names(s.f))
            if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
    }
    Range r;
    if (!c.ranges.empty()) {
        r = c.ranges[0];
        if (!any) throw KError("unexpected range: the curves bring their own");
    } else {
        r.lo = kDefaultFrom;
        r.hi = kDefaultTo;
    }
    if (r.name.empty()) {
        if (names.size() > 1) {
            std::string all;
            for (const std::string& n : names) all += (all.empty() ? "" : ", ") + n;
            throw KError("cannot plot over more than one free name in a 2-D plot: " + all);
        }
        r.name = names.empty() ? "x" : names[0];
    }
    for (const CurveSpec& s : specs)
        if (s.kind == CurveSpec::Function) check_names(s.f, {r.name});
    return r;
}

// Samples a curve spec; `extra` holds values of further names (the time of an animation).
std::vector<double> sample_spec(KInterpreter& k, const CurveSpec& s, const Range& r, long n,
                                const std::vector<std::string>& extraNames, const std::vector<double>& extra) {
    if (s.kind == CurveSpec::Points) return s.points;
    std::vector<std::string> names;
    double lo = r.lo, hi = r.hi;
    if (s.kind == CurveSpec::Parametric) {
        names.push_back(s.own.name);
        lo = s.own.lo;
        hi = s.own.hi;
    } else {
        names.push_back(r.name);
    }
    names.insert(names.end(), extraNames.begin(), extraNames.end());
    std::vector<double> at(names.size());
    for (std::size_t i = 0; i < extra.size(); ++i) at[i + 1] = extra[i];
    KPlotFunction fx(k, s.f, names);
    if (s.kind == CurveSpec::Parametric) {
        KPlotFunction fy(k, s.fy, names);
        return sample_curve(
            [&](double t) {
                at[0] = t;
                double x = fx(at.data()), y = fy(at.data());
                return CurvePoint{t, x, y};
            },
            lo, hi, n);
    }
    return sample_curve(
        [&](double t) {
            at[0] = t;
            return CurvePoint{t, t, fx(at.data())};
        },
        lo, hi, n);
}

double curve_values(const std::vector<CurveSpec>& specs, long n) {
    double total = 0;
    for (const CurveSpec& s : specs)
        total += s.kind == CurveSpec::Points ? double(s.points.size()) : kernel_plot_curve_values(n);
    return total;
}

void colour_curves(std::vector<KPlotObject>& objects, const KPlotOptions& o) {
    if (o.hasColour) return;   // the plot's colour, sent once for all
    for (std::size_t i = 0; i < objects.size(); ++i) {
        objects[i].coloured = true;
        kernel_plot_default_colour(i, objects[i].rgb);
    }
}

void send(KInterpreter& k, const char* stream, const std::vector<std::vector<KPlotObject>>& frames, bool animate,
          const KPlotOptions& o) {
    bool any = false;
    for (const auto& frame : frames)
        for (const KPlotObject& object : frame) any = any || object.anyDefined();
    if (!any) throw KError("the plot has no defined point");
    k.sink().replyBuilt(stream, [&] { return kernel_plot_structure(frames, animate, o); });
}

// ---- grids and meshes ----------------------------------------------------------------------------

// The names of a 3-D plot's ranges; plain ranges only for procedures (or constants).
std::vector<std::string> range_names(const KValue& f, const std::vector<Range>& ranges) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        if (ranges[i].name.empty()) {
            bool constant = !is_procedure(f) && kernel_plot_free_names(f).empty();
            if (!is_procedure(f) && !constant)
                throw KError("the ranges of an expression must name their variables, as in x = a .. b");
            names.push_back("_plot" + std::to_string(i));
        } else {
            names.push_back(ranges[i].name);
        }
    }
    return names;
}

KPlotObject sample_grid(KInterpreter& k, const KValue& f, const std::vector<std::string>& names, const Range& rx,
                        const Range& ry, long m, long n, const std::vector<double>& extra) {
    KPlotFunction fn(k, f, names);
    KPlotObject o;
    o.kind = KPlotObject::Grid;
    o.rows = m;
    o.cols = n;
    o.range[0] = rx.lo;
    o.range[1] = rx.hi;
    o.range[2] = ry.lo;
    o.range[3] = ry.hi;
    o.data.resize(std::size_t(m * n));
    std::vector<double> at(names.size());
    for (std::size_t i = 0; i < extra.size(); ++i) at[i + 2] = extra[i];
    // Row i holds the values at x_i, column j those at y_j.
    for (long i = 0; i < m; ++i) {
        at[0] = step_at(rx.lo, rx.hi, i, m);
        for (long j = 0; j < n; ++j) {
            at[1] = step_at(ry.lo, ry.hi, j, n);
            o.data[std::size_t(i * n + j)] = fn(at.data());
        }
    }
    return o;
}

KPlotObject sample_mesh(KInterpreter& k, const KValue& f, const std::vector<std::string>& names, const Range& rs,
                        const Range& rt, long m, long n) {
    std::vector<KPlotFunction> fns;
    for (const KValue& c : f.items) fns.emplace_back(k, c, names);
    KPlotObject o;
    o.kind = KPlotObject::Mesh;
    o.rows = m;
    o.cols = n;
    o.data.resize(std::size_t(m * n * 3));
    double at[2];
    for (long i = 0; i < m; ++i) {
        at[0] = step_at(rs.lo, rs.hi, i, m);
        for (long j = 0; j < n; ++j) {
            at[1] = step_at(rt.lo, rt.hi, j, n);
            double* v = &o.data[std::size_t((i * n + j) * 3)];
            for (int c = 0; c < 3; ++c) v[c] = fns[std::size_t(c)](at);
            if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) v[0] = v[1] = v[2] = NAN;
        }
    }
    return o;
}

// ---- the procedures ------------------------------------------------------------------------------

KValue plot_builtin(KInterpreter& k, const Args& a) {
    Call c = read_call(a, 1, 2, KPLOT_NUMPOINTS);
    std::vector<CurveSpec> specs = curve_specs(c.f);
    Range r = function_range(c, specs);
    check_values(curve_values(specs, c.options.numpoints));
    std::vector<KPlotObject> objects;
    for (const CurveSpec& s : specs) objects.push_back(curve_object(sample_spec(k, s, r, c.options.numpoints, {}, {})));
    colour_curves(objects, c.options);
    send(k, "PLOT", {objects}, false, c.options);
    return KValue::seq();
}

KValue plot3d_builtin(KInterpreter& k, const Args& a) {
    Call c = read_call(a, 2, 3, KPLOT_GRID);
    if (c.ranges.size() != 2) throw KError("plot3d needs two ranges, x = a .. b and y = c .. d");
    const KPlotOptions& o = c.options;
    check_values(3.0 * double(o.gridM) * double(o.gridN));
    KPlotObject object;
    if (c.f.kind == KValue::List && c.f.items.size() == 3) {
        std::vector<std::string> names;
        for (const KValue& item : c.f.items) {
            std::vector<std::string> n = range_names(item, c.ranges);
            check_names(item, n);
            names = n;
        }
        object = sample_mesh(k, c.f, names, c.ranges[0], c.ranges[1], o.gridM, o.gridN);
    } else {
        if (c.f.kind != KValue::Expr && !is_procedure(c.f)) throw KError("cannot plot " + kernel_value_text(c.f));
        std::vector<std::string> names = range_names(c.f, c.ranges);
        check_names(c.f, names);
        object = sample_grid(k, c.f, names, c.ranges[0], c.ranges[1], o.gridM, o.gridN, {});
    }
    send(k, "PLOT3D", {{object}}, false, o);
    return KValue::seq();
}

// Frame f of n: the value of the animation's time.
double frame_time(const Range& t, long f, long n) { return step_at(t.lo, t.hi, f, n); }

KValue animate_builtin(KInterpreter& k, const Args& a) {
    Call c = read_call(a, 2, 2, KPLOT_NUMPOINTS | KPLOT_FRAMES);
    if (c.ranges.size() != 2) throw KError("animate needs two ranges, x = a .. b and t = c .. d");
    const KPlotOptions& o = c.options;
    std::vector<CurveSpec> specs;
    if (c.f.kind == KValue::List || c.f.kind == KValue::Set) {
        for (const KValue& item : c.f.items) specs.push_back(spec_of(item));
    } else {
        specs.push_back(spec_of(c.f));
    }
    if (specs.empty()) throw KError("nothing to plot");
    Range x = c.ranges[0], t = c.ranges[1];
    std::vector<std::string> names = range_names(c.f, {x, t});
    x.name = names[0];
    t.name = names[1];
    for (const CurveSpec& s : specs) {
        if (s.kind == CurveSpec::Parametric) {
            check_names(s.f, {s.own.name, t.name});
            check_names(s.fy, {s.own.name, t.name});
        } else if (s.kind == CurveSpec::Function) {
            check_names(s.f, {x.name, t.name});
        }
    }
    check_values(double(o.frames) * curve_values(specs, o.numpoints));
    std::vector<std::vector<KPlotObject>> frames;
    for (long f = 0; f < o.frames; ++f) {
        std::vector<KPlotObject> objects;
        double time = frame_time(t, f, o.frames);
        for (const CurveSpec& s : specs)
            objects.push_back(curve_object(sample_spec(k, s, x, o.numpoints, {t.name}, {time})));
        colour_curves(objects, o);
        frames.push_back(std::move(objects));
    }
    send(k, "PLOT", frames, true, o);
    return KValue::seq();
}

KValue animate3d_builtin(KInterpreter& k, const Args& a) {
    Call c = read_call(a, 3, 3, KPLOT_GRID | KPLOT_FRAMES);
    if (c.ranges.size() != 3) throw KError("animate3d needs three ranges, x = a .. b, y = c .. d and t = e .. f");
    const KPlotOptions& o = c.options;
    if (c.f.kind != KValue::Expr && !is_procedure(c.f)) throw KError("cannot plot " + kernel_value_text(c.f));
    std::vector<std::string> names = range_names(c.f, c.ranges);
    check_names(c.f, names);
    check_values(double(o.frames) * double(o.gridM) * double(o.gridN));
    std::vector<std::vector<KPlotObject>> frames;
    for (long f = 0; f < o.frames; ++f) {
        KPlotObject object = sample_grid(k, c.f, names, c.ranges[0], c.ranges[1], o.gridM, o.gridN,
                                         {frame_time(c.ranges[2], f, o.frames)});
            frames.push_back({std::move(object)});
    }
    send(k, "PLOT3D", frames, true, o);
    return KValue::seq();
}

}  // namespace

double kernel_plot_curve_values(long numpoints) { return 2.0 * double(numpoints + KPLOT_REFINE_BUDGET); }

void kernel_plot_check_values(double count) { check_values(count); }

KPlotObject kernel_plot_sample_curve(KInterpreter& k, const KValue& f, const std::string& name, double lo,
                                     double hi, long numpoints) {
    CurveSpec s;
    s.f = f;
    Range r;
    r.name = name;
    r.lo = lo;
    r.hi = hi;
    return curve_object(sample_spec(k, s, r, numpoints, {}, {}));
}

KPlotObject kernel_plot_sample_grid(KInterpreter& k, const KValue& f, const std::vector<std::string>& names,
                                    const double range[4], long m, long n) {
    Range rx, ry;
    rx.lo = range[0];
    rx.hi = range[1];
    ry.lo = range[2];
    ry.hi = range[3];
    return sample_grid(k, f, names, rx, ry, m, n, {});
}

void kernel_add_plot_builtins(std::map<std::string, KBuiltin>& table) {
    table["plot"] = plot_builtin;
    table["plot3d"] = plot3d_builtin;
    table["animate"] = animate_builtin;
    table["animate3d"] = animate3d_builtin;
}
