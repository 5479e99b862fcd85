// The plot structure reader, part one: the element loop, the plot and object options, fonts,
// tick specifications, colours and the bounding-box pass that ends every read.  The objects,
// their vertices and ANIMATE are read in plot_read_objects.cpp.

#include "plot/plot_read.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "plot/plot_read_internal.h"

char* plot_strdup(StorageArea* area, const char* text) {
    if (!text) text = "";
    std::size_t n = std::strlen(text);
    char* copy = plot_alloc<char>(area, n + 1);
    std::memcpy(copy, text, n + 1);
    return copy;
}

namespace plotread {

State state;

// ---- DAG access -------------------------------------------------------------------------------

unsigned type_of(const DagWord* d) { return d ? dag_type(d) : 0; }

Args seq_args(const DagWord* const* slot) {
    Args a;
    const DagWord* d = *slot;
    if (!d) return a;
    if (dag_type(d) == DAG_EXPSEQ) {
        std::size_t len = dag_length(d);
        if (len > 1) {
            a.items = reinterpret_cast<const DagWord* const*>(d + 1);
            a.n = len - 1;
        }
        return a;
    }
    a.items = slot;
    a.n = 1;
    return a;
}

Args function_args(const DagWord* f) {
    if (type_of(f) != DAG_FUNCTION || dag_length(f) < 3) return Args{};
    return seq_args(reinterpret_cast<const DagWord* const*>(f + 2));
}

Args list_items(const DagWord* list) {
    if (type_of(list) != DAG_LIST || dag_length(list) < 2) return Args{};
    return seq_args(reinterpret_cast<const DagWord* const*>(list + 1));
}

bool is_numeric(const DagWord* d) {
    switch (type_of(d)) {
    case DAG_INTNEG: case DAG_INTPOS: case DAG_RATIONAL: case DAG_FLOAT: return true;
    default: return false;
    }
}

static bool dag_is_integer_safe(const DagWord* d) { return d && dag_is_integer(d) && dag_length(d) >= 2; }

double numeric(const DagWord* d) {
    // A RATIONAL or FLOAT whose parts are not integers is not a number the library can convert;
    // refuse it here rather than let the conversion read foreign operands.
    unsigned t = type_of(d);
    if ((t == DAG_RATIONAL || t == DAG_FLOAT) &&
        (dag_length(d) < 3 || !dag_is_integer_safe(dag_op(d, 1)) || !dag_is_integer_safe(dag_op(d, 2))))
        return std::nan("");
    if (dag_is_integer(d) && dag_length(d) < 2) return std::nan("");
    return arith_to_double(d);
}

bool is_name_or_string(const DagWord* d) {
    unsigned t = type_of(d);
    return (t == DAG_NAME || t == DAG_STRING) && dag_length(d) >= 4;
}

const char* name_of(const DagWord* d) {
    if (!is_name_or_string(d)) return "";
    // The text must end inside the DAG; a forged length could leave it unterminated.
    const char* text = dag_text(d);
    std::size_t room = (dag_length(d) - 3) * sizeof(DagWord);
    if (std::memchr(text, 0, room) == nullptr) return "";
    return text;
}

bool is_name(const DagWord* d, const char* text) {
    return type_of(d) == DAG_NAME && std::strcmp(name_of(d), text) == 0;
}

bool is_function(const DagWord* d) {
    return type_of(d) == DAG_FUNCTION && dag_length(d) >= 3 && type_of(dag_op(d, 1)) == DAG_NAME;
}

const char* function_name(const DagWord* d) { return is_function(d) ? name_of(dag_op(d, 1)) : ""; }

bool is_function_named(const DagWord* d, const char* name) {
    return is_function(d) && std::strcmp(function_name(d), name) == 0;
}

bool is_undefined_name(const DagWord* d) { return is_name(d, "FAIL") || is_name(d, "infinity"); }

bool is_positive_int(const DagWord* d) {
    if (type_of(d) != DAG_INTPOS) return false;
    std::size_t len = dag_length(d);
    if (len < 2 || len > 4) return false;   // at most 12 decimal digits before the range test
    long long value = 0;
    for (std::size_t i = len - 1; i >= 1; --i) {
        DagWord digit = d[i];
        if (digit > 9999) return false;
        value = value * 10000 + static_cast<long long>(digit);
    }
    return value > 0 && value <= 0x7FFFFFFF;
}

bool hf_view(const DagWord* d, Hf* out) {
    if (type_of(d) != DAG_HFARRAY) return false;
    std::size_t len = dag_length(d);
    if (len < 5 || (len - 3) % 2 != 0) return false;
    int rank = static_cast<int>((len - 3) / 2);
    if (rank > 8) return false;
    Hf h;
    h.rank = rank;
    h.count = static_cast<long>(dag_word(d, 2));
    long product = 1;
    for (int i = 0; i < rank; ++i) {
        h.lo[i] = static_cast<long>(dag_word(d, 3 + 2 * i));
        h.hi[i] = static_cast<long>(dag_word(d, 4 + 2 * i));
        if (h.lo[i] < -(1L << 40) || h.hi[i] > (1L << 40)) return false;
        long e = h.hi[i] - h.lo[i] + 1;
        if (e < 0) return false;
        if (e > 0 && product > (1L << 40) / e) return false;
        product *= e;
    }
    if (product != h.count) return false;
    h.data = hfarray_data(d);
    if (h.count > 0 && !h.data) return false;
    *out = h;
    return true;
}

Handler find_handler(const Entry* table, const char* name) {
    for (const Entry* e = table; e->name; ++e)
        if (std::strcmp(e->name, name) == 0) return e->handler;
    return nullptr;
}

// ---- small shared readers -------------------------------------------------------------------

namespace {

// Clamping of light and colour values: above 1 is 1, below 0 or not a number is 0.
double clamp01(double v) {
    if (v > 1) return 1;
    if (!(v >= 0)) return 0;
    return v;
}

struct NameCode {
    const char* name;
    std::int32_t code;
};

// The code of a NAME in a table, or -1.
std::int32_t lookup(const NameCode* table, const DagWord* d) {
    if (type_of(d) != DAG_NAME) return -1;
    const char* text = name_of(d);
    for (const NameCode* e = table; e->name; ++e)
        if (std::strcmp(e->name, text) == 0) return e->code;
    return -1;
}

// Exactly one NAME argument: its code, or the given errors.
std::int32_t one_name(Args a, const NameCode* table, const char* notName, const char* unknown) {
    if (a.n != 1 || type_of(a[0]) != DAG_NAME) tovu_error(notName);
    std::int32_t code = lookup(table, a[0]);
    if (code < 0) {
        if (std::strchr(unknown, '%')) tovu_error_fmt(unknown, name_of(a[0]));
        tovu_error(unknown);
    }
    return code;
}

std::int32_t int_value(const DagWord* d) { return arith_to_int(d); }

}  // namespace

// ---- fonts ------------------------------------------------------------------------------------

static std::int32_t read_font(PlotRecord* plot, Args a, const DagWord* argsDag) {
    static const char* const kBad = "invalid FONT specification";
    if (a.n == 0 || !is_name_or_string(a[0])) tovu_error(kBad);
    if (a.n == 1 && is_name(a[0], "DEFAULT")) return 0;
    for (std::int32_t i = 0; i < plot->fontCount; ++i)
        if (state.fontKeys[i] == argsDag) return i + 1;

    const char* family = name_of(a[0]);
    PlotFont* font = plot_alloc<PlotFont>(plot->area);
    font->size = 12;
    font->style = "";
    const DagWord* size = nullptr;
    if (std::strcmp(family, "TIMES") == 0) {
        static const NameCode styles[] = {{"ROMAN", 0}, {"BOLD", 1}, {"ITALIC", 2}, {"BOLDITALIC", 3}, {nullptr, 0}};
        static const char* const texts[] = {"roman", "bold", "italic", "bolditalic"};
        if (a.n != 3 || !is_name_or_string(a[1])) tovu_error(kBad);
        std::int32_t s = -1;
        for (const NameCode* e = styles; e->name; ++e)
            if (std::strcmp(e->name, name_of(a[1])) == 0) s = e->code;
        if (s < 0) tovu_error(kBad);
        font->family = "times";
        font->style = texts[s];
        size = a[2];
    } else if (std::strcmp(family, "COURIER") == 0 || std::strcmp(family, "HELVETICA") == 0) {
        font->family = family[0] == 'C' ? "courier" : "helvetica";
        if (a.n == 2) {
            size = a[1];
        } else if (a.n == 3) {
            static const NameCode styles[] = {{"DEFAULT", 0}, {"OBLIQUE", 1}, {"BOLD", 2}, {"BOLDOBLIQUE", 3}, {nullptr, 0}};
            static const char* const texts[] = {"", "oblique", "bold", "boldoblique"};
            if (!is_name_or_string(a[1])) tovu_error(kBad);
            std::int32_t s = -1;
            for (const NameCode* e = styles; e->name; ++e)
                if (std::strcmp(e->name, name_of(a[1])) == 0) s = e->code;
            if (s < 0) tovu_error(kBad);
            font->style = texts[s];
            size = a[2];
        } else {
            tovu_error(kBad);
        }
    } else if (std::strcmp(family, "SYMBOL") == 0) {
        font->family = "symbol";
        if (a.n >= 2) {
            if (!is_positive_int(a[1])) tovu_error(kBad);
            size = a[1];
        }
    } else {
        tovu_error(kBad);
    }
    if (size && is_positive_int(size)) font->size = int_value(size);

    if (plot->fontCount >= state.fontCapacity) {
        std::int32_t capacity = state.fontCapacity == 0 ? 6 : state.fontCapacity * 2 + 6;
        auto** keys = plot_alloc<const DagWord*>(plot->area, capacity);
        auto** fonts = plot_alloc<PlotFont*>(plot->area, capacity);
        for (std::int32_t i = 0; i < plot->fontCount; ++i) {
            keys[i] = state.fontKeys[i];
            fonts[i] = plot->fonts[i];
        }
        state.fontKeys = keys;
        plot->fonts = fonts;
        state.fontCapacity = capacity;
    }
    state.fontKeys[plot->fontCount] = argsDag;
    plot->fonts[plot->fontCount] = font;
    return ++plot->fontCount;
}

// The font number of a FONT(...) element.
static std::int32_t read_font_element(PlotRecord* plot, const DagWord* element) {
    return read_font(plot, function_args(element), dag_op(element, 2));
}

// ---- tick specifications ------------------------------------------------------------------------

static TickSet* read_tick_spec(PlotRecord* plot, const DagWord* d, const char* option) {
    if (type_of(d) == DAG_NAME) {
        if (is_name(d, "DEFAULT")) return nullptr;
        tovu_error_fmt("invalid %s parameter", option);
    }
    TickSet* t = plot_alloc<TickSet>(plot->area);
    if (is_positive_int(d)) {
        t->kind = 1;
        t->count = int_value(d);
        return t;
    }
    if (type_of(d) != DAG_LIST) tovu_error_fmt("invalid %s parameter", option);
    Args items = list_items(d);
    if (items.n == 0) {
        t->kind = 1;
        t->count = 0;
        return t;
    }
    if (items.n > 0x7FFFFFF) tovu_error_fmt("invalid %s parameter", option);
    t->count = static_cast<std::int32_t>(items.n);
    t->positions = plot_alloc<double>(plot->area, items.n);
    if (is_numeric(items[0])) {
        t->kind = 2;
        for (std::size_t i = 0; i < items.n; ++i) {
            if (!is_numeric(items[i])) tovu_error_fmt("invalid %s parameter", option);
            t->positions[i] = numeric(items[i]);
        }
        return t;
    }
    if (type_of(items[0]) != DAG_EQUATION) tovu_error_fmt("invalid %s parameter", option);
    t->kind = 3;
    t->labels = plot_alloc<char*>(plot->area, items.n);
    for (std::size_t i = 0; i < items.n; ++i) {
        const DagWord* e = items[i];
        if (type_of(e) != DAG_EQUATION || dag_length(e) < 3 || !is_numeric(dag_op(e, 1)))
            tovu_error_fmt("invalid %s parameter", option);
        t->positions[i] = numeric(dag_op(e, 1));
        const DagWord* rhs = dag_op(e, 2);
        if (is_name_or_string(rhs)) {
            t->labels[i] = plot_strdup(plot->area, name_of(rhs));
        } else if (is_numeric(rhs)) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%5g", numeric(rhs));
            t->labels[i] = plot_strdup(plot->area, buffer);
        } else {
            tovu_error_fmt("invalid %s parameter", option);
        }
    }
    return t;
}

// ---- colours ------------------------------------------------------------------------------------

void read_colour(PlotRecord* plot, Args a, long count) {
    if (a.n == 0 || type_of(a[0]) != DAG_NAME) tovu_error("COLOUR argument must be a NAME");
    static const NameCode shadings[] = {
        {"XYZSHADING", 1}, {"XYZ_SHADING", 1}, {"XYSHADING", 2}, {"XY_SHADING", 2},
        {"ZSHADING", 3}, {"Z_SHADING", 3}, {"ZHUE", 4}, {"Z_HUE", 4}, {"ZGREYSCALE", 5},
        {"Z_GREYSCALE", 5}, {"NONE", 9}, {nullptr, 0}};
    PlotColour* c = plot_alloc<PlotColour>(plot->area);
    std::int32_t shading = lookup(shadings, a[0]);
    Args rest = a.from(1);
    Hf hf;
    if (shading > 0) {
        c->kind = shading;
    } else if (is_name(a[0], "HUE")) {
        c->kind = SHADE_HUE;
        if (rest.n == 1 && type_of(rest[0]) == DAG_HFARRAY) {
            if (!hf_view(rest[0], &hf) || hf.count != count)
                tovu_error("incorrect hfarray size for HUE COLOUR data");
            c->count = static_cast<std::int32_t>(hf.count);
            c->values = plot_alloc<double>(plot->area, hf.count);
            for (long i = 0; i < hf.count; ++i) c->values[i] = hf.data[i];
        } else if (rest.n == 1) {
            if (!is_numeric(rest[0])) tovu_error("invalid HUE COLOUR data");
            c->count = 1;
            c->values = plot_alloc<double>(plot->area, 1);
            c->values[0] = numeric(rest[0]);
        } else if (count != 0 && static_cast<long>(rest.n) == count) {
            c->count = static_cast<std::int32_t>(count);
            c->values = plot_alloc<double>(plot->area, rest.n);
            for (std::size_t i = 0; i < rest.n; ++i) {
                if (!is_numeric(rest[i])) tovu_error("invalid HUE COLOUR data");
                c->values[i] = numeric(rest[i]);
            }
        } else {
            tovu_error("incorrect amount of HUE COLOUR data");
        }
        for (std::int32_t i = 0; i < c->count; ++i) c->values[i] = clamp01(c->values[i]);
    } else if (is_name(a[0], "RGB") || is_name(a[0], "HSV")) {
        bool rgb = is_name(a[0], "RGB");
        c->kind = rgb ? SHADE_RGB : SHADE_HSV;
        long n = 3 * count;
        if (rest.n == 1 && type_of(rest[0]) == DAG_HFARRAY) {
            if (!hf_view(rest[0], &hf) || hf.count != n)
                tovu_error("incorrect hfarray size for RGB/HSV COLOUR data");
            c->count = static_cast<std::int32_t>(n);
            c->values = plot_alloc<double>(plot->area, n);
            for (long i = 0; i < n; ++i) c->values[i] = hf.data[i];
        } else if (rest.n == 3 || (count != 0 && static_cast<long>(rest.n) == n)) {
            c->count = static_cast<std::int32_t>(rest.n);
            c->values = plot_alloc<double>(plot->area, rest.n);
            for (std::size_t i = 0; i < rest.n; ++i) {
                if (!is_numeric(rest[i])) tovu_error("invalid RGB/HSV COLOUR data");
                c->values[i] = numeric(rest[i]);
            }
        } else {
            tovu_error("incorrect amount of RGB/HSV COLOUR data");
        }
        if (rgb)
            for (std::int32_t i = 0; i < c->count; ++i) c->values[i] = clamp01(c->values[i]);
    } else {
        tovu_error_fmt("invalid COLOUR argument %s", name_of(a[0]));
    }
    state.objectOptions->colour = c;
}

// ---- plot options -------------------------------------------------------------------------------

namespace {

bool is2d(const PlotRecord* plot) { return plot->dimension == 2; }

void opt_title(PlotRecord* plot, Args a, const DagWord*) {
    if (a.n == 0 || !is_name_or_string(a[0])) tovu_error("TITLE must be a NAME");
    state.options->title = plot_strdup(plot->area, name_of(a[0]));
    if (a.n >= 2) {
        if (!is_function_named(a[1], "FONT")) tovu_error("invalid option on TITLE");
        state.options->titleFont = read_font_element(plot, a[1]);
    }
}

void opt_view(PlotRecord* plot, Args a, const DagWord*) {
    static const char* const kRanges = "VIEW must contain numeric ranges";
    if (a.n < 2) tovu_error(kRanges);
    if (!is2d(plot) && a.n < 3) tovu_error("VIEW must be three numeric ranges");
    ViewBox* box = plot_alloc<ViewBox>(plot->area);
    for (int axis = 0; axis < plot->dimension; ++axis) {
        const DagWord* e = a[axis];
        if (is_name(e, "DEFAULT")) continue;
        if (type_of(e) != DAG_RANGE || dag_length(e) < 3 || !is_numeric(dag_op(e, 1)) ||
            !is_numeric(dag_op(e, 2)))
            tovu_error(kRanges);
        box->lo[axis] = numeric(dag_op(e, 1));
        box->hi[axis] = numeric(dag_op(e, 2));
        box->set[axis] = 1;
    }
    state.options->view = box;
}

void opt_axesstyle(PlotRecord*, Args a, const DagWord*) {
    static const NameCode names[] = {{"BOX", 2}, {"FRAME", 3}, {"NORMAL", 4}, {"NONE", 1}, {"DEFAULT", 0}, {nullptr, 0}};
    state.options->axesStyle =
        one_name(a, names, "AXESSTYLE argument must be a NAME", "invalid AXESSTYLE argument %s");
}

void opt_axesticks(PlotRecord* plot, Args a, const DagWord*) {
    TickSet** ticks = plot_alloc<TickSet*>(plot->area, 3);
    state.options->axesTicks = ticks;
    std::size_t d = static_cast<std::size_t>(plot->dimension);
    if (a.n == 1) {
        if (is_positive_int(a[0])) {
            TickSet* t = plot_alloc<TickSet>(plot->area);
            t->kind = 1;
            t->count = int_value(a[0]);
            ticks[0] = ticks[1] = ticks[2] = t;
        } else if (!is_name(a[0], "DEFAULT")) {
            tovu_error("invalid AXESTICKS parameter");
        }
        return;
    }
    if (a.n < d || a.n > d + 1) tovu_error("AXESTICKS has wrong number of definitions");
    for (std::size_t i = 0; i < d; ++i) ticks[i] = read_tick_spec(plot, a[i], "AXESTICKS");
    if (a.n == d + 1) {
        if (!is_function_named(a[d], "FONT")) tovu_error("invalid option on AXESTICKS");
        state.options->axesTicksFont = read_font_element(plot, a[d]);
    }
}

void opt_axeslabels(PlotRecord* plot, Args a, const DagWord*) {
    std::size_t d = static_cast<std::size_t>(plot->dimension);
    bool ok = a.n >= d;
    for (std::size_t i = 0; ok && i < d; ++i) ok = is_name_or_string(a[i]);
    if (!ok)
        tovu_error(d == 2 ? "AXESLABELS must contain two NAMEs or STRINGs"
                          : "AXESLABELS must contain three NAMEs or STRINGs");
    char** labels = plot_alloc<char*>(plot->area, 3);
    for (std::size_t i = 0; i < 3; ++i) labels[i] = plot_strdup(plot->area, i < d ? name_of(a[i]) : "");
    state.options->axesLabels = labels;
    if (a.n > d) {
        if (!is_function_named(a[d], "FONT")) tovu_error("invalid option on AXESLABELS");
        state.options->axesLabelsFont = read_font_element(plot, a[d]);
    }
}

void opt_scaling(PlotRecord*, Args a, const DagWord*) {
    static const NameCode names[] = {{"CONSTRAINED", 1}, {"UNCONSTRAINED", 2}, {"DEFAULT", 0}, {nullptr, 0}};
    state.options->scaling =
        one_name(a, names, "SCALING argument must be a NAME", "invalid SCALING argument %s");
}

void opt_colour(PlotRecord* plot, Args a, const DagWord*) { read_colour(plot, a, 1); }

void opt_projection(PlotRecord* plot, Args a, const DagWord*) {
    if (is2d(plot)) tovu_error("PROJECTION invalid in 2D plotting");
    if (a.n != 3) return;
    for (int i = 0; i < 3; ++i)
        if (!is_numeric(a[i])) tovu_error("PROJECTION argument must be three numbers");
    PlotOrientation* o = state.options->orientation;
    if (!o) o = state.options->orientation = plot_alloc<PlotOrientation>(plot->area);
    o->phi = numeric(a[1]);
    o->theta = numeric(a[0]);
    o->r = numeric(a[2]);
    if (state.options->projection == 0) state.options->projection = std::fabs(o->r - 1) < 0.001 ? 1 : 2;
}

void opt_lightmodel(PlotRecord* plot, Args a, const DagWord*) {
    static const NameCode names[] = {{"NONE", 1}, {"USER", 2}, {"LIGHT_1", 3}, {"LIGHT_2", 4}, {"LIGHT_3", 5}, {"LIGHT_4", 6}, {nullptr, 0}};
    if (is2d(plot)) tovu_error("LIGHTMODEL invalid in 2D plotting");
    state.options->lightModel =
        one_name(a, names, "LIGHTMODEL argument must a name", "unknown LIGHTMODEL");
}

void opt_light(PlotRecord* plot, Args a, const DagWord*) {
    if (is2d(plot)) tovu_error("LIGHT invalid in 2D plotting");
    if (state.options->lightModel == 0) state.options->lightModel = LIGHT_USER;
    bool ok = a.n == 5;
    for (std::size_t i = 0; ok && i < 5; ++i) ok = is_numeric(a[i]);
    if (!ok) tovu_error("LIGHT argument must be five numbers");
    PlotLight* light = plot_alloc<PlotLight>(plot->area);
    for (int i = 0; i < 5; ++i) light->v[i] = numeric(a[i]);
    for (int i = 2; i < 5; ++i) light->v[i] = clamp01(light->v[i]);
    light->next = state.options->lights;
    state.options->lights = light;
}

void opt_ambient(PlotRecord* plot, Args a, const DagWord*) {
    if (is2d(plot)) tovu_error("AMBIENTLIGHT invalid in 2D plotting");
    bool ok = a.n == 3;
    for (std::size_t i = 0; ok && i < 3; ++i) ok = is_numeric(a[i]);
    if (!ok) tovu_error("AMBIENTLIGHT argument must be three numbers");
    if (state.options->lightModel == 0) state.options->lightModel = LIGHT_USER;
    PlotLight* light = plot_alloc<PlotLight>(plot->area);
    for (int i = 0; i < 3; ++i) light->v[2 + i] = clamp01(numeric(a[i]));
    light->next = state.options->ambient;
    state.options->ambient = light;
}

void ignore(PlotRecord*, Args, const DagWord*) {}

// ---- object options (at the top level, in ANIMATE, inside objects) ------------------------------

void oopt_name(PlotRecord* plot, Args a, const DagWord*) {
    if (a.n != 1 || !is_name_or_string(a[0])) tovu_error("NAME must be a string");
    state.objectOptions->name = plot_strdup(plot->area, name_of(a[0]));
}

void oopt_gridstyle(PlotRecord*, Args a, const DagWord*) {
    static const NameCode names[] = {{"TRIANGULAR", 1}, {"RECTANGULAR", 2}, {"DEFAULT", 0}, {nullptr, 0}};
    state.objectOptions->gridStyle =
        one_name(a, names, "GRIDSTYLE argument must be a NAME", "invalid GRIDSTYLE argument %s");
}

void oopt_style(PlotRecord* plot, Args a, const DagWord*) {
    static const NameCode names[] = {{"HIDDEN", 1}, {"PATCH", 2}, {"PATCHNOGRID", 3}, {"LINE", 6}, {"POINT", 5},
                                     {"CONTOUR", 7}, {"PATCHCONTOUR", 4}, {"DEFAULT", 0}, {nullptr, 0}};
    std::int32_t style = one_name(a, names, "STYLE argument must be a NAME", "invalid STYLE argument %s");
    if (is2d(plot) && style != STYLE_PATCH && style != STYLE_PATCHNOGRID && style != STYLE_POINT &&
        style != STYLE_LINE)
        tovu_error("invalid STYLE for 2D plotting ");
    state.objectOptions->style = style;
}

void oopt_linestyle(PlotRecord*, Args a, const DagWord*) {
    if (a.n != 1 || !is_positive_int(a[0])) tovu_error("LINESTYLE argument must be an integer");
    state.objectOptions->lineStyle = int_value(a[0]);
}

void oopt_thickness(PlotRecord*, Args a, const DagWord*) {
    if (a.n != 1 || !is_positive_int(a[0])) tovu_error("THICKNESS argument must be an integer");
    state.objectOptions->thickness = int_value(a[0]);
}

void oopt_symbol(PlotRecord*, Args a, const DagWord*) {
    static const NameCode names[] = {{"BOX", 3}, {"DIAMOND", 2}, {"CROSS", 1}, {"CIRCLE", 4}, {"POINT", 5}, {"DEFAULT", 0}, {nullptr, 0}};
    state.objectOptions->symbol = one_name(a, names, "SYMBOL argument must be a name", "invalid SYMBOL");
}

void oopt_font(PlotRecord* plot, Args a, const DagWord* argsDag) {
    state.objectOptions->font = read_font(plot, a, argsDag);
}

void oopt_contours(PlotRecord* plot, Args a, const DagWord*) {
    if (is2d(plot)) tovu_error("CONTOURS invalid in 2D plotting");
    if (a.n != 1) tovu_error("CONTOURS take exactly one parameter");
    state.objectOptions->contours = read_tick_spec(plot, a[0], "CONTOURS");
}

}  // namespace

const Entry plotOptionTable[] = {
    {"AMBIENTLIGHT", opt_ambient}, {"AXESLABELS", opt_axeslabels}, {"AXESSTYLE", opt_axesstyle},
    {"AXESTICKS", opt_axesticks},  {"COLOR", opt_colour},          {"COLOUR", opt_colour},
    {"FUNCTION", ignore},          {"LIGHT", opt_light},           {"LIGHTMODEL", opt_lightmodel},
    {"PROJECTION", opt_projection}, {"SCALING", opt_scaling},      {"TITLE", opt_title},
    {"VIEW", opt_view},            {nullptr, nullptr}};

const Entry objectOptionTable[] = {
    {"NAME", oopt_name},           {"GRIDSTYLE", oopt_gridstyle}, {"STYLE", oopt_style},
    {"LINESTYLE", oopt_linestyle}, {"SYMBOL", oopt_symbol},       {"THICKNESS", oopt_thickness},
    {"FONT", oopt_font},           {"CONTOURS", oopt_contours},   {nullptr, nullptr}};

// ---- object options inside an object ------------------------------------------------------------

void read_object_options(PlotRecord* plot, PlotObject* object, Args options, long count) {
    for (std::size_t i = 0; i < options.n; ++i) plot_read_object_option(plot, object, options[i], count);
}

}  // namespace plotread

using namespace plotread;

void plot_read_object_option(PlotRecord* plot, PlotObject* object, const DagWord* element,
                             long count) {
    if (!is_function(element)) tovu_error("object options take the form CLASS(VALUE)");
    // The object's own options are the current ones for this call; restored on every path.
    struct Swap {
        ObjectOptions* saved;
        explicit Swap(ObjectOptions* own) : saved(state.objectOptions) { state.objectOptions = own; }
        ~Swap() { state.objectOptions = saved; }
    } swap(&object->options);
    const char* name = function_name(element);
    Args args = function_args(element);
    if (Handler h = find_handler(objectOptionTable, name)) {
        h(plot, args, dag_op(element, 2));
    } else if (std::strcmp(name, "COLOUR") == 0 || std::strcmp(name, "COLOR") == 0) {
        read_colour(plot, args, count);
    } else {
        tovu_error_fmt("unknown object option %s", name);
    }
}

// ---- bounding boxes -------------------------------------------------------------------------------

namespace {

void widen(PlotBBox* box, const PlotBBox& other) {
    for (int a = 0; a < 3; ++a) {
        if (other.v[2 * a] < box->v[2 * a]) box->v[2 * a] = other.v[2 * a];
        if (other.v[2 * a + 1] > box->v[2 * a + 1]) box->v[2 * a + 1] = other.v[2 * a + 1];
    }
}

// An axis of zero width is widened so that it has a size to scale by.
void widen_degenerate(PlotBBox* box) {
    for (int a = 0; a < 3; ++a) {
        double& lo = box->v[2 * a];
        double& hi = box->v[2 * a + 1];
        if (hi == lo) {
            lo = lo - ((std::fabs(lo) + std::fabs(hi)) / 1000000 + 1);
            hi = hi + ((std::fabs(hi) + std::fabs(lo)) / 1000000 + 1);
        }
    }
}

void add_margins(PlotBBox* box) {
    for (int a = 0; a < 3; ++a) {
        double& lo = box->v[2 * a];
        double& hi = box->v[2 * a + 1];
        lo = lo - (hi - lo) * 0.02;
        hi = hi + (hi - lo) * 0.02;
    }
}

void fill_view(ViewBox* view, const PlotBBox& box) {
    if (!view) return;
    for (int a = 0; a < 3; ++a) {
        if (view->set[a]) continue;
        view->lo[a] = box.lo(a);
        view->hi[a] = box.hi(a);
    }
}

void compute_boxes(PlotRecord* plot) {
    PlotFrame* firstWithObject = nullptr;
    for (PlotFrame* f = plot->first; f; f = f->next)
        if (f->first) { firstWithObject = f; break; }
    if (!firstWithObject) tovu_error("empty plot");
    plot->box = firstWithObject->first->box;
    for (PlotFrame* f = plot->first; f; f = f->next)
        for (PlotObject* o = f->first; o; o = o->next) widen(&plot->box, o->box);
    widen_degenerate(&plot->box);
    add_margins(&plot->box);
    for (PlotFrame* f = plot->first; f; f = f->next) {
        if (f->first) {
            f->box = f->first->box;
            for (PlotObject* o = f->first; o; o = o->next) widen(&f->box, o->box);
            add_margins(&f->box);
            widen_degenerate(&f->box);
            fill_view(f->options.view, f->box);
        } else {
            f->box = plot->box;
        }
    }
    fill_view(plot->options.view, plot->box);
}

}  // namespace

PlotRecord* plot_read_structure(const DagWord* structure, int dimension, StorageArea* area) {
    state = State{};
    PlotRecord* plot = plot_alloc<PlotRecord>(area);
    plot->area = area;
    plot->dimension = dimension == 2 ? 2 : 3;
    bool two = plot->dimension == 2;

    PlotOrientation* o = plot_alloc<PlotOrientation>(area);
    o->phi = 45;
    o->theta = 45;
    o->r = 1;
    plot->options.orientation = o;
    PlotFrame* frame = plot_alloc<PlotFrame>(area);
    plot->first = plot->last = frame;
    plot->frameCount = 1;
    PlotColour* colour = plot_alloc<PlotColour>(area);
    colour->kind = two ? SHADE_NONE : SHADE_XYZ;
    plot->objectOptions.colour = colour;
    plot->objectOptions.lineStyle = 1;
    plot->objectOptions.style = STYLE_PATCH;
    plot->objectOptions.gridStyle = 2;
    plot->options.axesStyle = two ? AXES_NORMAL : AXES_NONE;
    plot->options.scaling = SCALING_UNCONSTRAINED;
    plot->options.projection = 0;
    plot->options.axesParameter = 5;

    state.options = &plot->options;
    state.objectOptions = &plot->objectOptions;

    const DagWord* slot[1] = {structure};
    Args elements = seq_args(slot);
    if (structure && type_of(structure) != DAG_EXPSEQ) tovu_error("invalid structure");
    for (std::size_t i = 0; i < elements.n; ++i) {
        const DagWord* e = elements[i];
        if (!is_function(e)) tovu_error("invalid structure");
        const char* name = function_name(e);
        Handler h = find_handler(plotLevelTable, name);
        if (!h && !state.animateSeen) h = find_handler(objectTable, name);
        if (!h) h = find_handler(plotOptionTable, name);
        if (!h) h = find_handler(objectOptionTable, name);
        if (!h) tovu_error_fmt("unknown element %s", name);
        h(plot, function_args(e), dag_op(e, 2));
    }
    compute_boxes(plot);
    return plot;
}
