#pragma once
// The kernel's plot procedures (plot, plot3d, animate, animate3d, in kernel_plot.cpp) and the
// pieces they share with other plot-making procedures: functions sampled in machine doubles
// (kernel_plot_eval.cpp), the plot options of the language and the structure elements they
// become (kernel_plot_options.cpp), and the plot structure built as a DAG.
//
// Road of one plot: the arguments are read into function specifications, ranges and a
// `KPlotOptions`; the limits are checked; the functions are sampled into `KPlotObject`s of
// doubles; only then is the PLOT or PLOT3D reply built in the reply area and sent, so that an
// interrupted or failed plot sends nothing.  Sampled data goes into HFARRAYs (NaN marks an
// undefined point), never one FLOAT DAG per coordinate.
//
// Limits, checked before any sampling (a call beyond them is an error, never a hang or an
// exhausted memory): numpoints 2 to 100,000; grid sides 2 to 1,000; frames 1 to 1,000; at most
// 10^7 sampled values in one structure (the refinement budget of 2-D curves included).

#include <memory>
#include <string>
#include <vector>

#include "KInterpreter.h"

constexpr long KPLOT_MIN_POINTS = 2, KPLOT_MAX_POINTS = 100000;
constexpr long KPLOT_MIN_GRID = 2, KPLOT_MAX_GRID = 1000;
constexpr long KPLOT_MIN_FRAMES = 1, KPLOT_MAX_FRAMES = 1000;
constexpr long KPLOT_MAX_VALUES = 10000000;
// Extra points per 2-D curve that the refinement may add where the curve bends.
constexpr long KPLOT_REFINE_BUDGET = 1000;

// A real function of the sampled names, evaluated point by point in doubles.
//
// An expression made only of numbers, the sampled names, arithmetic and the elementary
// functions is compiled once into a small stack program over doubles.  Anything else (a
// procedure, a call the kernel keeps unevaluated, a name it does not know) goes through the
// interpreter at each point, with the names bound to the point's values.  Either way a point
// where the evaluation raises or gives a non-real or non-finite value is NaN; an interrupt
// (KInterrupt) and memory exhaustion are not caught.  Every evaluation polls.
class KPlotFunction {
public:
    // f: an expression in `names`, or a procedure value (or the name of a built-in) that takes
    // the point's values in the order of `names`.
    KPlotFunction(KInterpreter& k, const KValue& f, std::vector<std::string> names);
    ~KPlotFunction();
    KPlotFunction(KPlotFunction&&) noexcept;
    KPlotFunction(const KPlotFunction&) = delete;
    KPlotFunction& operator=(const KPlotFunction&) = delete;

    // The value at the point: one double per name, in order.
    double operator()(const double* at);
    bool compiled() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The names of the language that an expression holds (GiNaC constants such as Pi excluded).
std::vector<std::string> kernel_plot_free_names(const KValue& v);

// One sampled object of a plot structure.
struct KPlotObject {
    enum Kind { Curve, Grid, Mesh };
    Kind kind = Curve;
    long rows = 0;               // Curve: vertices; Grid: x steps; Mesh: first parameter steps
    long cols = 0;               // Curve: 2; Grid: y steps; Mesh: second parameter steps
    std::vector<double> data;    // Curve rows x 2, Grid rows x cols, Mesh rows x cols x 3
    double range[4] = {};        // Grid: x from, x to, y from, y to
    bool coloured = false;       // its own colour
    double rgb[3] = {};
    bool anyDefined() const;
};

// The options of one plot call.  Texts of the element fields are the NAME arguments of the
// structure elements (LINE, BOX, ZHUE, ...), empty when the option was not given.
struct KPlotOptions {
    int dimension = 2;
    // sampling
    long numpoints = 50;
    long gridM = 25, gridN = 25;
    long frames = 16;
    // elements
    bool hasTitle = false;
    std::string title;
    bool hasColour = false;
    double rgb[3] = {};
    std::string style, symbol, axes, scaling, shading, gridStyle, lightModel;
    long lineStyle = 0;          // 0: not given
    long thickness = -1;         // -1: not given; 0 sends nothing
    bool hasView = false;
    bool viewSet[3] = {};
    double viewLo[3] = {}, viewHi[3] = {};
    bool hasProjection = false, hasOrientation = false;
    double projection = 1, theta = 45, phi = 45;
};

// The sampling options a procedure takes besides the element options.
enum : unsigned { KPLOT_NUMPOINTS = 1, KPLOT_GRID = 2, KPLOT_FRAMES = 4 };

// True for an argument of the form name = value whose value is not a range (a range equation
// names a variable).
bool kernel_plot_is_option(const KValue& v);
// Reads one name = value option (names and values compared ignoring case) into `o`, whose
// dimension is set; KError naming the option or the value when it is unknown, out of range or
// not for this dimension or procedure.
void kernel_plot_read_option(const KValue& option, unsigned sampling, KPlotOptions& o);

// The colour of the index-th curve without a colour of its own (red first).
void kernel_plot_default_colour(std::size_t index, double rgb[3]);

// ---- structure elements, built in the current storage area ----------------------------------
Dag kernel_plot_float(double v);
Dag kernel_plot_element(const char* name, std::initializer_list<Dag> args);
Dag kernel_plot_element(const char* name, const std::vector<Dag>& args);
// An HFARRAY with origin 1 in every dimension, holding `data` row after row.
Dag kernel_plot_hfarray(const std::vector<double>& data, std::initializer_list<long> extents);
// The elements of the options (TITLE, AXESSTYLE, VIEW, ...), appended in a fixed order.
void kernel_plot_option_elements(const KPlotOptions& o, std::vector<Dag>& out);
// One object element: CURVES, GRID or MESH, with its own colour.
Dag kernel_plot_object_element(const KPlotObject& object);
// The argument sequence of PLOT or PLOT3D: the objects of one frame, or ANIMATE with a list
// per frame when `animate` is set, then the option elements.
Dag kernel_plot_structure(const std::vector<std::vector<KPlotObject>>& frames, bool animate,
                          const KPlotOptions& o);

// ---- sampling for other plot-making procedures (kernel_plot.cpp) ------------------------------
// The values a curve of `numpoints` samples may take, its refinement included, for the limit
// check below.
double kernel_plot_curve_values(long numpoints);
// KError when `count` values pass KPLOT_MAX_VALUES.
void kernel_plot_check_values(double count);
// The curve y = f over name = lo .. hi, sampled and refined as plot samples it.
KPlotObject kernel_plot_sample_curve(KInterpreter& k, const KValue& f, const std::string& name, double lo,
                                     double hi, long numpoints);
// The grid z = f over names[0] = range[0] .. range[1], names[1] = range[2] .. range[3], m x n.
KPlotObject kernel_plot_sample_grid(KInterpreter& k, const KValue& f, const std::vector<std::string>& names,
                                    const double range[4], long m, long n);
