// The plot options of the language and the plot-structure elements they become
// (kernel_plot.h).  Option names and value words are compared ignoring case; every value is
// checked here, so that each element the kernel sends reads without error.
//
// | option                   | values                                  | element               |
// |--------------------------|-----------------------------------------|-----------------------|
// | title                    | a string or name                        | TITLE("text")         |
// | color, colour            | one of the 24 names, or [r, g, b] 0..1  | COLOUR(RGB, r, g, b)  |
// | style                    | line point patch patchnogrid; 3-D also  | STYLE(...);           |
// |                          | patchcontour hidden contour wireframe   | wireframe STYLE(LINE) |
// | symbol                   | cross diamond point circle box          | SYMBOL(...)           |
// | linestyle                | 1 .. 4                                  | LINESTYLE(n)          |
// | thickness                | 0 .. 3                                  | THICKNESS(n), 0: none |
// | axes                     | boxed frame normal none                 | AXESSTYLE(BOX), ...   |
// | scaling                  | constrained unconstrained               | SCALING(...)          |
// | view                     | [a..b or DEFAULT, ...], one per axis    | VIEW(...), float ends |
// | shading (3-D)            | xyz xy z zhue zgreyscale none           | COLOUR(XYZSHADING)... |
// | gridstyle (3-D)          | triangular rectangular                  | GRIDSTYLE(...)        |
// | lightmodel (3-D)         | none light1 .. light4                   | LIGHTMODEL(LIGHT_1)...|
// | projection (3-D)         | r in 0 .. 1                             | PROJECTION(θ, φ, r)   |
// | orientation (3-D)        | [θ, φ]                                  | PROJECTION(θ, φ, r)   |
// | numpoints, grid, frames  | sampling, where the procedure takes it  | -                     |

#include "kernel_plot.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace GiNaC;

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The word of a value: a name's or a string's text in lower case, "" for anything else.
std::string word_of(const KValue& v) {
    std::string text;
    if (v.kind == KValue::Str) return lower(v.text);
    if (v.kind == KValue::Expr && kernel_is_name(v.ex, &text)) return lower(text);
    return "";
}

struct WordCode {
    const char* word;
    const char* element;   // the NAME argument of the element
    bool only3d;
};

// One of `table`'s words, or a KError naming the option and the value.
const WordCode& pick(const std::string& option, const KValue& value, const WordCode* table, std::size_t n,
                     int dimension) {
    std::string w = word_of(value);
    for (std::size_t i = 0; i < n; ++i) {
        if (w != table[i].word) continue;
        if (table[i].only3d && dimension != 3)
            throw KError("plot option " + option + " = " + w + " is for 3-D plots only");
        return table[i];
    }
    throw KError("invalid value for plot option " + option + ": " + kernel_value_text(value));
}

bool real_value(const KValue& v, double* out) {
    if (v.kind == KValue::Seq && v.items.size() == 1) return real_value(v.items[0], out);
    if (v.kind != KValue::Expr) return false;
    ex r = v.ex.evalf();
    if (!is_a<numeric>(r) || !ex_to<numeric>(r).is_real()) return false;
    *out = ex_to<numeric>(r).to_double();
    return std::isfinite(*out);
}

long integer_in(const std::string& option, const KValue& v, long lo, long hi) {
    if (v.kind == KValue::Expr && is_a<numeric>(v.ex) && ex_to<numeric>(v.ex).is_integer()) {
        const numeric& n = ex_to<numeric>(v.ex);
        if (n >= lo && n <= hi) return n.to_long();
    }
    throw KError("plot option " + option + " must be an integer from " + std::to_string(lo) + " to " +
                 std::to_string(hi) + ", not " + kernel_value_text(v));
}

double number_in(const std::string& option, const KValue& v, double lo, double hi) {
    double d;
    if (!real_value(v, &d) || d < lo || d > hi)
        throw KError("invalid value for plot option " + option + ": " + kernel_value_text(v));
    return d;
}

struct NamedColour {
    const char* name;
    unsigned char r, g, b;
};
// The 24 colour names of the plot menus, with the usual X11 values.
const NamedColour namedColours[] = {
    {"aquamarine", 127, 255, 212}, {"black", 0, 0, 0},         {"blue", 0, 0, 255},
    {"brown", 165, 42, 42},        {"coral", 255, 127, 80},    {"cyan", 0, 255, 255},
    {"gold", 255, 215, 0},         {"grey", 190, 190, 190},    {"green", 0, 255, 0},
    {"khaki", 240, 230, 140},      {"magenta", 255, 0, 255},   {"maroon", 176, 48, 96},
    {"navy", 0, 0, 128},           {"orange", 255, 165, 0},    {"pink", 255, 192, 203},
    {"plum", 221, 160, 221},       {"red", 255, 0, 0},         {"sienna", 160, 82, 45},
    {"tan", 210, 180, 140},        {"turquoise", 64, 224, 208}, {"violet", 238, 130, 238},
    {"wheat", 245, 222, 179},      {"white", 255, 255, 255},   {"yellow", 255, 255, 0},
};

void read_colour(const std::string& option, const KValue& v, double rgb[3]) {
    std::string w = word_of(v);
    for (const NamedColour& c : namedColours) {
        if (w != c.name) continue;
        rgb[0] = c.r / 255.0;
        rgb[1] = c.g / 255.0;
        rgb[2] = c.b / 255.0;
        return;
    }
    if (v.kind == KValue::List && v.items.size() == 3) {
        for (int i = 0; i < 3; ++i) rgb[i] = number_in(option, v.items[std::size_t(i)], 0, 1);
        return;
    }
    throw KError("invalid value for plot option " + option + ": " + kernel_value_text(v));
}

void read_view(const KValue& v, KPlotOptions& o) {
    std::size_t d = std::size_t(o.dimension);
    if (v.kind != KValue::List || v.items.size() != d)
        throw KError(std::string("plot option view must be a list of ") + (d == 2 ? "two" : "three") +
                     " ranges or DEFAULT, not " + kernel_value_text(v));
    for (std::size_t i = 0; i < d; ++i) {
        const KValue& e = v.items[i];
        o.viewSet[i] = false;
        if (word_of(e) == "default") continue;
        double lo, hi;
        if (e.kind != KValue::Range || !real_value(e.items[0], &lo) || !real_value(e.items[1], &hi) || !(lo < hi))
            throw KError("invalid range in plot option view: " + kernel_value_text(e));
        o.viewSet[i] = true;
        o.viewLo[i] = lo;
        o.viewHi[i] = hi;
    }
    o.hasView = true;
}

void need3d(const std::string& option, const KPlotOptions& o) {
    if (o.dimension != 3) throw KError("plot option " + option + " is for 3-D plots only");
}

void need_sampling(const std::string& option, unsigned taken, unsigned which) {
    if (!(taken & which)) throw KError("plot option " + option + " is not taken by this plot");
}

}  // namespace

bool kernel_plot_is_option(const KValue& v) {
    if (v.kind != KValue::Rel || v.rel != DAG_EQUATION) return false;
    if (v.items[1].kind == KValue::Range) return false;
    return v.items[0].kind == KValue::Expr && kernel_is_name(v.items[0].ex);
}

void kernel_plot_read_option(const KValue& option, unsigned sampling, KPlotOptions& o) {
    std::string name;
    if (!kernel_plot_is_option(option) || !kernel_is_name(option.items[0].ex, &name))
        throw KError("invalid plot argument " + kernel_value_text(option));
    std::string key = lower(name);
    const KValue& v = option.items[1];
    if (key == "title") {
        std::string text;
        if (v.kind == KValue::Str) o.title = v.text;
        else if (v.kind == KValue::Expr && kernel_is_name(v.ex, &text)) o.title = text;
        else throw KError("invalid value for plot option title: " + kernel_value_text(v));
        o.hasTitle = true;
    } else if (key == "color" || key == "colour") {
        read_colour(key, v, o.rgb);
        o.hasColour = true;
    } else if (key == "style") {
        static const WordCode styles[] = {
            {"line", "LINE", false},           {"point", "POINT", false},    {"patch", "PATCH", false},
            {"patchnogrid", "PATCHNOGRID", false}, {"patchcontour", "PATCHCONTOUR", true},
            {"hidden", "HIDDEN", true},        {"contour", "CONTOUR", true}, {"wireframe", "LINE", true}};
        o.style = pick(key, v, styles, std::size(styles), o.dimension).element;
    } else if (key == "symbol") {
        static const WordCode symbols[] = {{"cross", "CROSS", false}, {"diamond", "DIAMOND", false},
                                           {"point", "POINT", false}, {"circle", "CIRCLE", false},
                                           {"box", "BOX", false}};
        o.symbol = pick(key, v, symbols, std::size(symbols), o.dimension).element;
    } else if (key == "linestyle") {
        o.lineStyle = integer_in(key, v, 1, 4);
    } else if (key == "thickness") {
        o.thickness = integer_in(key, v, 0, 3);
    } else if (key == "axes") {
        static const WordCode axes[] = {{"boxed", "BOX", false}, {"frame", "FRAME", false},
                                        {"normal", "NORMAL", false}, {"none", "NONE", false}};
        o.axes = pick(key, v, axes, std::size(axes), o.dimension).element;
    } else if (key == "scaling") {
        static const WordCode scalings[] = {{"constrained", "CONSTRAINED", false},
                                            {"unconstrained", "UNCONSTRAINED", false}};
        o.scaling = pick(key, v, scalings, std::size(scalings), o.dimension).element;
    } else if (key == "view") {
        read_view(v, o);
    } else if (key == "shading") {
        need3d(key, o);
        static const WordCode shadings[] = {{"xyz", "XYZSHADING", true}, {"xy", "XYSHADING", true},
                                            {"z", "ZSHADING", true},     {"zhue", "ZHUE", true},
                                            {"zgreyscale", "ZGREYSCALE", true}, {"none", "NONE", true}};
        o.shading = pick(key, v, shadings, std::size(shadings), o.dimension).element;
    } else if (key == "gridstyle") {
        need3d(key, o);
        static const WordCode styles[] = {{"triangular", "TRIANGULAR", true}, {"rectangular", "RECTANGULAR", true}};
        o.gridStyle = pick(key, v, styles, std::size(styles), o.dimension).element;
    } else if (key == "lightmodel") {
        need3d(key, o);
        static const WordCode models[] = {{"none", "NONE", true},       {"light1", "LIGHT_1", true},
                                          {"light2", "LIGHT_2", true}, {"light3", "LIGHT_3", true},
                                          {"light4", "LIGHT_4", true}};
        o.lightModel = pick(key, v, models, std::size(models), o.dimension).element;
    } else if (key == "projection") {
        need3d(key, o);
        o.projection = number_in(key, v, 0, 1);
        o.hasProjection = true;
    } else if (key == "orientation") {
        need3d(key, o);
        if (v.kind != KValue::List || v.items.size() != 2)
            throw KError("invalid value for plot option orientation: " + kernel_value_text(v));
        o.theta = number_in(key, v.items[0], -1e6, 1e6);
        o.phi = number_in(key, v.items[1], -1e6, 1e6);
        o.hasOrientation = true;
    } else if (key == "numpoints") {
        need_sampling(key, sampling, KPLOT_NUMPOINTS);
        o.numpoints = integer_in(key, v, KPLOT_MIN_POINTS, KPLOT_MAX_POINTS);
    } else if (key == "grid") {
        need_sampling(key, sampling, KPLOT_GRID);
        if (v.kind != KValue::List || v.items.size() != 2)
            throw KError("plot option grid must be a list [m, n], not " + kernel_value_text(v));
        o.gridM = integer_in(key, v.items[0], KPLOT_MIN_GRID, KPLOT_MAX_GRID);
        o.gridN = integer_in(key, v.items[1], KPLOT_MIN_GRID, KPLOT_MAX_GRID);
    } else if (key == "frames") {
        need_sampling(key, sampling, KPLOT_FRAMES);
        o.frames = integer_in(key, v, KPLOT_MIN_FRAMES, KPLOT_MAX_FRAMES);
    } else {
        throw KError("unknown plot option " + name);
    }
}

void kernel_plot_default_colour(std::size_t index, double rgb[3]) {
    // Distinct colours in a fixed order, red first.
    static const double order[][3] = {{1, 0, 0},     {0, 0.6, 0},   {0, 0, 1},       {1, 0, 1},
                                      {0, 0.7, 0.7}, {1, 0.55, 0},  {0.5, 0, 0.5},   {0.55, 0.27, 0.07},
                                      {0, 0, 0.5},   {0.5, 0.5, 0}, {0.4, 0.4, 0.4}, {0.69, 0.19, 0.38}};
    const double* c = order[index % std::size(order)];
    for (int i = 0; i < 3; ++i) rgb[i] = c[i];
}

// ---- elements -----------------------------------------------------------------------------------

Dag kernel_plot_float(double v) {
    if (!std::isfinite(v)) v = 0;
    // Seventeen significant digits give the double back exactly.
    char text[40];
    std::snprintf(text, sizeof text, "%.16e", v);
    char* e = std::strchr(text, 'e');
    long exponent = std::strtol(e + 1, nullptr, 10) - 16;
    std::string mantissa;
    for (char* p = text; p < e; ++p)
        if (*p == '-' || (*p >= '0' && *p <= '9')) mantissa.push_back(*p);
    while (mantissa.size() > 1 && mantissa.back() == '0' && mantissa[mantissa.size() - 2] != '-') {
        mantissa.pop_back();
        ++exponent;
    }
    if (mantissa == "0" || mantissa == "-0") return dag_new_float(dag_of_int(0), dag_of_int(0));
    return dag_new_float(dag_integer_from_text(mantissa), dag_of_int(exponent));
}

Dag kernel_plot_element(const char* name, const std::vector<Dag>& args) {
    Dag seq = dag_new(args.size() + 1, DAG_EXPSEQ);
    for (std::size_t i = 0; i < args.size(); ++i) dag_set_op(seq, i + 1, args[i]);
    return dag_new2(DAG_FUNCTION, kernel_name_dag(name), seq);
}

Dag kernel_plot_element(const char* name, std::initializer_list<Dag> args) {
    return kernel_plot_element(name, std::vector<Dag>(args));
}

Dag kernel_plot_hfarray(const std::vector<double>& data, std::initializer_list<long> extents) {
    Dag d = dag_new(3 + 2 * extents.size(), DAG_HFARRAY);
    hfarray_alloc(d, data.size());
    std::size_t w = 3;
    for (long e : extents) {
        d[w++] = DagWord(1);
        d[w++] = DagWord(e);
    }
    if (!data.empty()) std::memcpy(hfarray_data(d), data.data(), data.size() * sizeof(double));
    return d;
}

namespace {

Dag rgb_colour(const double rgb[3]) {
    return kernel_plot_element("COLOUR", {kernel_name_dag("RGB"), kernel_plot_float(rgb[0]),
                                          kernel_plot_float(rgb[1]), kernel_plot_float(rgb[2])});
}

Dag named(const char* element, const std::string& word) {
    return kernel_plot_element(element, {kernel_name_dag(word.c_str())});
}

}  // namespace

void kernel_plot_option_elements(const KPlotOptions& o, std::vector<Dag>& out) {
    if (o.hasTitle) out.push_back(kernel_plot_element("TITLE", {kernel_string_dag(o.title.c_str())}));
    if (!o.axes.empty()) out.push_back(named("AXESSTYLE", o.axes));
    if (!o.scaling.empty()) out.push_back(named("SCALING", o.scaling));
    if (o.hasView) {
        std::vector<Dag> ranges;
        for (int i = 0; i < o.dimension; ++i)
            ranges.push_back(o.viewSet[i] ? dag_new2(DAG_RANGE, kernel_plot_float(o.viewLo[i]),
                                                     kernel_plot_float(o.viewHi[i]))
                                          : kernel_name_dag("DEFAULT"));
        out.push_back(kernel_plot_element("VIEW", ranges));
    }
    if (o.hasProjection || o.hasOrientation)
        out.push_back(kernel_plot_element("PROJECTION", {kernel_plot_float(o.theta), kernel_plot_float(o.phi),
                                                         kernel_plot_float(o.projection)}));
    if (!o.lightModel.empty()) out.push_back(named("LIGHTMODEL", o.lightModel));
    // Object options at the top level apply to every object without its own.
    if (!o.style.empty()) out.push_back(named("STYLE", o.style));
    if (!o.symbol.empty()) out.push_back(named("SYMBOL", o.symbol));
    if (o.lineStyle > 0) out.push_back(kernel_plot_element("LINESTYLE", {dag_of_int(o.lineStyle)}));
    if (o.thickness > 0) out.push_back(kernel_plot_element("THICKNESS", {dag_of_int(o.thickness)}));
    if (!o.gridStyle.empty()) out.push_back(named("GRIDSTYLE", o.gridStyle));
    // A solid colour given for the whole plot wins over a shading scheme: it comes last.
    if (!o.shading.empty()) out.push_back(named("COLOUR", o.shading));
    if (o.hasColour) out.push_back(rgb_colour(o.rgb));
}

Dag kernel_plot_object_element(const KPlotObject& object) {
    std::vector<Dag> args;
    switch (object.kind) {
    case KPlotObject::Curve:
        args.push_back(kernel_plot_hfarray(object.data, {object.rows, 2}));
        break;
    case KPlotObject::Grid:
        args.push_back(dag_new2(DAG_RANGE, kernel_plot_float(object.range[0]), kernel_plot_float(object.range[1])));
        args.push_back(dag_new2(DAG_RANGE, kernel_plot_float(object.range[2]), kernel_plot_float(object.range[3])));
        args.push_back(kernel_plot_hfarray(object.data, {object.rows, object.cols}));
        break;
    case KPlotObject::Mesh:
        args.push_back(kernel_plot_hfarray(object.data, {object.rows, object.cols, 3}));
        break;
    }
    if (object.coloured) args.push_back(rgb_colour(object.rgb));
    const char* name = object.kind == KPlotObject::Curve ? "CURVES" : object.kind == KPlotObject::Grid ? "GRID" : "MESH";
    return kernel_plot_element(name, args);
}

Dag kernel_plot_structure(const std::vector<std::vector<KPlotObject>>& frames, bool animate, const KPlotOptions& o) {
    std::vector<Dag> elements;
    if (animate) {
        std::vector<Dag> lists;
        for (const auto& frame : frames) {
            Dag seq = dag_new(frame.size() + 1, DAG_EXPSEQ);
            for (std::size_t i = 0; i < frame.size(); ++i) dag_set_op(seq, i + 1, kernel_plot_object_element(frame[i]));
            lists.push_back(dag_new1(DAG_LIST, seq));
        }
        elements.push_back(kernel_plot_element("ANIMATE", lists));
    } else {
        for (const auto& frame : frames)
            for (const KPlotObject& object : frame) elements.push_back(kernel_plot_object_element(object));
    }
    kernel_plot_option_elements(o, elements);
    Dag seq = dag_new(elements.size() + 1, DAG_EXPSEQ);
    for (std::size_t i = 0; i < elements.size(); ++i) dag_set_op(seq, i + 1, elements[i]);
    return seq;
}

bool KPlotObject::anyDefined() const {
    // A vertex is defined when all its coordinates are; a grid value on its own.
    std::size_t width = kind == Curve ? 2 : kind == Mesh ? 3 : 1;
    for (std::size_t i = 0; i + width <= data.size(); i += width) {
        bool all = true;
        for (std::size_t c = 0; c < width; ++c) all = all && std::isfinite(data[i + c]);
        if (all) return true;
    }
    return false;
}
