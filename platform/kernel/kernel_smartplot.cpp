// The smart plot procedures: smartplot and smartplot3d, which send the argument text of a smart
// plot region, and the five procedures that the region calls with that text: SMARTPLOT2D and
// SMARTPLOT3D (the plot), EDITSMARTPLOT (an option set), APPENDPLOT and APPENDPLOTS (curves
// added).
//
// The argument text is a sequence of items, printed on one line by the region:
//
//   [f, x = a .. b, options]                one group per curve, in curve order: 2-D
//   [f, x = a .. b, y = c .. d, options]    3-D
//   name = value, ...                       the whole-plot options, after every group
//
// The region reads that line by its characters: a curve's expression is the text from its
// group's "[" to the first comma after it, so every group holds a range after its expression;
// curves are counted until a "=" comes before the next "[", so groups come first; whole-plot
// options are looked up only after the line's last "]", so an option whose value prints with a
// bracket (view = [...], orientation = [...], grid = [...]) comes before the others.  Every
// text these procedures answer is put in that order (items_of).
//
// Replies:
//   smartplot, smartplot3d       SMARTPLOT2D or SMARTPLOT3D with the items; the value is NULL
//   SMARTPLOT2D, SMARTPLOT3D     one PLOT or PLOT3D (one CURVES or GRID per group, in group
//                                order, with the group's own options); NULL.  No groups: nothing
//   EDITSMARTPLOT, APPENDPLOT(S) the new items as the value; an APPENDPLOT(S) whose curves
//                                cannot be plotted in the dimension gives NULL (a refusal)
//
// Safety: the texts come from worksheet files and the clipboard and reach the kernel when a
// region is pasted or opened, without the user running anything.  So every argument is read
// as mathematics only (kernel_inspect, Math mode: names stand for themselves, only pure
// functions are applied, procedures and statements are refused, and a call of a built-in that
// sends replies or changes settings is refused before anything runs), and sampling runs with a
// sink that refuses every reply, so a procedure of the session that a curve calls cannot send
// one either.  Sampling keeps the limits and polls of plot (kernel_plot.h), for all groups
// together.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include "kernel_inspect.h"
#include "kernel_plot.h"

using namespace GiNaC;

namespace {

constexpr long kDefaultFrom = -10, kDefaultTo = 10;
// Exact numbers in an argument text are at most this many bits (about 30,000 digits): a curve,
// a range end or an option value needs none larger, and a message or a print of a larger one
// would take seconds.
constexpr std::size_t kMaxNumberBits = 100000;
// Messages show a value of at most this many nodes; a larger one is named, not printed.
constexpr std::size_t kShownNodes = 2000;
// Names that a curve with fewer free names than ranges is plotted over, first unused first.
const char* const kDefaultNames[] = {"x", "y", "z", "u", "v", "w"};

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string option_name(const KValue& option) {
    std::string name;
    kernel_is_name(option.items[0].ex, &name);
    return name;
}

// Options of one slot replace each other: the name ignoring case, and color, colour and
// shading in one slot since all three set the plot's COLOUR.
std::string slot_of(const KValue& option) {
    std::string s = lower(option_name(option));
    return s == "colour" || s == "shading" ? "color" : s;
}

// Options the plot takes as a whole, never for one curve.
bool is_whole_plot_slot(const std::string& slot) {
    static const char* const slots[] = {"axes", "scaling", "projection", "view", "title", "orientation", "lightmodel"};
    for (const char* s : slots)
        if (slot == s) return true;
    return false;
}

bool is_range_item(const KValue& v) {
    return v.kind == KValue::Rel && v.rel == DAG_EQUATION && v.items[1].kind == KValue::Range &&
           v.items[0].kind == KValue::Expr && kernel_is_name(v.items[0].ex);
}

// Whether every exact number of the value has at most `maxBits` bits and the value at most
// `maxNodes` nodes (0: any count).
bool fits(const KValue& v, std::size_t maxBits, std::size_t maxNodes, std::size_t& nodes) {
    if (v.kind == KValue::Expr) {
        for (const_preorder_iterator i = v.ex.preorder_begin(); i != v.ex.preorder_end(); ++i) {
            if (maxNodes != 0 && ++nodes > maxNodes) return false;
            if (!is_a<numeric>(*i)) continue;
            const numeric& n = ex_to<numeric>(*i);
            for (const numeric& part : {n.real(), n.imag()})
                if (part.is_rational() &&
                    std::size_t(part.numer().int_length()) + std::size_t(part.denom().int_length()) > maxBits)
                    return false;
        }
        return true;
    }
    for (const KValue& item : v.items)
        if (!fits(item, maxBits, maxNodes, nodes)) return false;
    return true;
}

// The text of a value for a message, or its description when it is too large to print.
std::string shown(const KValue& v) {
    std::size_t nodes = 0;
    return fits(v, kMaxNumberBits, kShownNodes, nodes) ? kernel_value_text(v) : "an expression too large to show";
}

// A curve: an expression (not a relation, list, string, range or sequence).
bool is_curve(const KValue& v) { return v.kind == KValue::Expr; }

bool real_of(const KValue& v, double* out) {
    if (v.kind != KValue::Expr) return false;
    ex r = v.ex.evalf();
    if (!is_a<numeric>(r) || !ex_to<numeric>(r).is_real()) return false;
    *out = ex_to<numeric>(r).to_double();
    return std::isfinite(*out);
}

bool integer_of(const KValue& v, numeric* out) {
    if (v.kind != KValue::Expr || !is_a<numeric>(v.ex) || !ex_to<numeric>(v.ex).is_integer()) return false;
    *out = ex_to<numeric>(v.ex);
    return true;
}

struct Range {
    std::string name;
    KValue item;   // name = a .. b as given
    double lo = 0, hi = 0;
};

struct Group {
    KValue expr;
    std::vector<Range> ranges;     // one (2-D) or two (3-D)
    std::vector<KValue> options;   // name = value
};

struct Text {
    std::vector<Group> groups;
    std::vector<KValue> options;   // the whole-plot options
    int dimension() const { return groups.empty() ? 0 : int(groups[0].ranges.size()) + 1; }
};

Range read_range(const KValue& item) {
    Range r;
    kernel_is_name(item.items[0].ex, &r.name);
    r.item = item;
    const KValue& range = item.items[1];
    if (!real_of(range.items[0], &r.lo) || !real_of(range.items[1], &r.hi) || !(r.lo < r.hi))
        throw KError("the range " + shown(item) + " must have finite real ends, the second above the first");
    return r;
}

unsigned sampling_of(int dimension) { return dimension == 2 ? KPLOT_NUMPOINTS : KPLOT_GRID; }

// KError when the option is unknown or its value is not one the dimension takes.
void check_option(const KValue& option, int dimension) {
    KPlotOptions o;
    o.dimension = dimension;
    kernel_plot_read_option(option, sampling_of(dimension), o);
}

// For a text without groups, whose dimension is not known: either dimension will do.
void check_option_any(const KValue& option, int dimension) {
    if (dimension != 0) {
        check_option(option, dimension);
        return;
    }
    try {
        check_option(option, 2);
    } catch (const KError&) {
        check_option(option, 3);
    }
}

Group read_group(const KValue& v) {
    if (v.kind != KValue::List || v.items.empty()) throw KError("invalid curve group " + shown(v));
    Group g;
    g.expr = v.items[0];
    if (!is_curve(g.expr)) throw KError("cannot plot " + shown(g.expr));
    std::size_t i = 1;
    for (; i < v.items.size() && is_range_item(v.items[i]); ++i) g.ranges.push_back(read_range(v.items[i]));
    if (g.ranges.empty() || g.ranges.size() > 2)
        throw KError("a curve group holds its expression, then one range (2-D) or two (3-D): " + shown(v));
    if (g.ranges.size() == 2 && g.ranges[0].name == g.ranges[1].name)
        throw KError("the two ranges of a curve group must name different variables: " + shown(v));
    for (; i < v.items.size(); ++i) {
        if (!kernel_plot_is_option(v.items[i]))
            throw KError("invalid item in a curve group: " + shown(v.items[i]));
        check_option(v.items[i], int(g.ranges.size()) + 1);
        g.options.push_back(v.items[i]);
    }
    for (const std::string& n : kernel_plot_free_names(g.expr)) {
        bool ranged = false;
        for (const Range& r : g.ranges) ranged = ranged || r.name == n;
        if (!ranged)
            throw KError("the curve " + shown(g.expr) + " has the free name " + n + " without a range");
    }
    return g;
}

// The items from position `from` on: groups, then whole-plot options.
Text read_text(const KSeq& a, std::size_t from) {
    Text t;
    for (std::size_t i = from; i < a.size(); ++i) {
        const KValue& v = a[i];
        if (v.kind == KValue::List) {
            if (!t.options.empty()) throw KError("a curve group after the plot options: " + shown(v));
            Group g = read_group(v);
            if (!t.groups.empty() && g.ranges.size() != t.groups[0].ranges.size())
                throw KError("curve groups of 2-D and 3-D plots mixed: " + shown(v));
            t.groups.push_back(std::move(g));
        } else if (kernel_plot_is_option(v)) {
            t.options.push_back(v);
        } else {
            throw KError("invalid smart plot argument " + shown(v));
        }
    }
    for (const KValue& o : t.options) check_option_any(o, t.dimension());
    return t;
}

// The items in the order the region reads them.
KSeq items_of(const Text& t) {
    KSeq out;
    for (const Group& g : t.groups) {
        KSeq l{g.expr};
        for (const Range& r : g.ranges) l.push_back(r.item);
        l.insert(l.end(), g.options.begin(), g.options.end());
        out.push_back(KValue::make(KValue::List, std::move(l)));
    }
    auto bracketed = [](const KValue& o) {
        std::string text = kernel_value_text(o.items[1]);
        return text.find('[') != std::string::npos || text.find(']') != std::string::npos;
    };
    for (const KValue& o : t.options)
        if (bracketed(o)) out.push_back(o);
    for (const KValue& o : t.options)
        if (!bracketed(o)) out.push_back(o);
    return out;
}

// Sets the option in place of the first of its slot (dropping any further ones), or at the end.
void set_option(std::vector<KValue>& options, const KValue& option) {
    std::string slot = slot_of(option);
    bool placed = false;
    for (auto it = options.begin(); it != options.end();) {
        if (slot_of(*it) != slot) {
            ++it;
        } else if (!placed) {
            *it = option;
            placed = true;
            ++it;
        } else {
            it = options.erase(it);
        }
    }
    if (!placed) options.push_back(option);
}

KValue range_item(const std::string& name, const KValue& lo, const KValue& hi) {
    return KValue::relation(DAG_EQUATION, KValue(kernel_symbol(name)), KValue::make(KValue::Range, {lo, hi}));
}

using Bounds = std::vector<std::pair<KValue, KValue>>;

Bounds default_bounds(int dimension) {
    return Bounds(std::size_t(dimension - 1), {KValue(numeric(kDefaultFrom)), KValue(numeric(kDefaultTo))});
}

// The bounds of the first group's ranges, else -10 .. 10.
Bounds bounds_of(const Text& t, int dimension) {
    if (t.groups.empty()) return default_bounds(dimension);
    Bounds b;
    for (const Range& r : t.groups[0].ranges) b.emplace_back(r.item.items[1].items[0], r.item.items[1].items[1]);
    return b;
}

// The group of curve f over its own free names, filled up with x, y, ... to one name a range,
// in alphabetical order, each name over its bounds.  Nothing when f cannot be plotted in the
// dimension; `why` then says why.
std::optional<Group> make_group(const KValue& f, int dimension, const Bounds& bounds, std::string* why) {
    if (!is_curve(f)) {
        *why = "cannot plot " + shown(f);
        return std::nullopt;
    }
    std::vector<std::string> names = kernel_plot_free_names(f);
    std::size_t want = std::size_t(dimension - 1);
    if (names.size() > want) {
        *why = "cannot plot " + shown(f) + " in a " + std::to_string(dimension) + "-D plot: it has " +
               std::to_string(names.size()) + " free names";
        return std::nullopt;
    }
    for (const char* n : kDefaultNames) {
        if (names.size() == want) break;
        if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    Group g;
    g.expr = f;
    for (std::size_t i = 0; i < want; ++i) g.ranges.push_back(read_range(range_item(names[i], bounds[i].first, bounds[i].second)));
    return g;
}

// Arguments read as mathematics only; a refusal is the procedure's error.
KSeq read_args(KInterpreter& k, const KNode& argSeq) {
    KSeq a;
    try {
        a = kernel_inspect_args(k, argSeq, KInspectMode::Math);
    } catch (const KInspectRefused& r) {
        throw KError("smart plot arguments are mathematics only, not " + r.why);
    }
    for (const KValue& v : a) {
        std::size_t nodes = 0;
        if (!fits(v, kMaxNumberBits, 0, nodes))
            throw KError("a smart plot argument holds a number of more than " + std::to_string(kMaxNumberBits) + " bits");
    }
    return a;
}

int dimension_arg(const KValue& v) {
    numeric d;
    if (!integer_of(v, &d) || (d != 2 && d != 3))
        throw KError("the dimension must be 2 or 3, not " + shown(v));
    return int(d.to_int());
}

// ---- sampling under a sink that refuses replies ---------------------------------------------

// Thrown by the refusing sink; no KError, so that the point-by-point evaluation of a curve
// (which makes a failing point undefined) does not swallow it.
struct ReplyRefused {
    std::string stream;
};

class RefusingSink : public KReplySink {
public:
    explicit RefusingSink(KReplySink& inner) : inner_(inner) {}
    KValue reply(const char* stream, const KSeq&) override { throw ReplyRefused{stream}; }
    void replyBuilt(const char* stream, const std::function<Dag()>&) override { throw ReplyRefused{stream}; }
    int poll() override { return inner_.poll(); }

private:
    KReplySink& inner_;
};

class SinkSwap {
public:
    SinkSwap(KInterpreter& k, KReplySink* s) : k_(k), old_(k.swapSink(s)) {}
    ~SinkSwap() { k_.swapSink(old_); }
    SinkSwap(const SinkSwap&) = delete;
    SinkSwap& operator=(const SinkSwap&) = delete;

private:
    KInterpreter& k_;
    KReplySink* old_;
};

bool has_slot(const std::vector<KValue>& options, const char* slot) {
    for (const KValue& o : options)
        if (slot_of(o) == slot) return true;
    return false;
}

// The object's own options after its data (and its colour).
Dag object_element(const KPlotObject& object, const KPlotOptions& own) {
    Dag plain = kernel_plot_object_element(object);
    const DagWord* args = dag_op(plain, 2);
    std::vector<Dag> all;
    for (std::size_t i = 1; i < dag_length(args); ++i) all.push_back(dag_op(args, i));
    auto named = [&](const char* element, const std::string& word) {
        all.push_back(kernel_plot_element(element, {kernel_name_dag(word.c_str())}));
    };
    if (!own.style.empty()) named("STYLE", own.style);
    if (!own.symbol.empty()) named("SYMBOL", own.symbol);
    if (own.lineStyle > 0) all.push_back(kernel_plot_element("LINESTYLE", {dag_of_int(own.lineStyle)}));
    if (own.thickness > 0) all.push_back(kernel_plot_element("THICKNESS", {dag_of_int(own.thickness)}));
    if (!own.gridStyle.empty()) named("GRIDSTYLE", own.gridStyle);
    if (!own.shading.empty() && !own.hasColour) named("COLOUR", own.shading);
    return kernel_plot_element(object.kind == KPlotObject::Grid ? "GRID" : "CURVES", all);
}

KValue draw(KInterpreter& k, const KNode& argSeq, int dimension) {
    Text t = read_text(read_args(k, argSeq), 0);
    if (t.groups.empty()) return KValue::seq();   // an empty region: nothing to plot yet
    if (t.dimension() != dimension)
        throw KError(dimension == 2 ? "a 2-D smart plot takes curve groups with one range each"
                                    : "a 3-D smart plot takes curve groups with two ranges each");
    unsigned sampling = sampling_of(dimension);
    KPlotOptions whole;
    whole.dimension = dimension;
    std::vector<KPlotOptions> own(t.groups.size());
    // Whole-plot options written inside a group apply to the plot; those after the groups win.
    for (std::size_t i = 0; i < t.groups.size(); ++i) {
        own[i].dimension = dimension;
        for (const KValue& o : t.groups[i].options)
            kernel_plot_read_option(o, sampling, is_whole_plot_slot(slot_of(o)) ? whole : own[i]);
    }
    for (const KValue& o : t.options) kernel_plot_read_option(o, sampling, whole);

    // A group's own numpoints or grid, else the plot's; the limit holds for all groups together.
    const char* samplingSlot = dimension == 2 ? "numpoints" : "grid";
    std::vector<const KPlotOptions*> samplingOf;
    double values = 0;
    for (std::size_t i = 0; i < t.groups.size(); ++i) {
        const KPlotOptions* s = has_slot(t.groups[i].options, samplingSlot) ? &own[i] : &whole;
        samplingOf.push_back(s);
        values += dimension == 2 ? kernel_plot_curve_values(s->numpoints) : double(s->gridM) * double(s->gridN);
    }
    kernel_plot_check_values(values);

    std::vector<KPlotObject> objects;
    try {
        RefusingSink refusing(k.sink());
        SinkSwap swap(k, &refusing);
        for (std::size_t i = 0; i < t.groups.size(); ++i) {
            const Group& g = t.groups[i];
            const KPlotOptions& s = *samplingOf[i];
            if (dimension == 2) {
                objects.push_back(kernel_plot_sample_curve(k, g.expr, g.ranges[0].name, g.ranges[0].lo,
                                                           g.ranges[0].hi, s.numpoints));
            } else {
                double range[4] = {g.ranges[0].lo, g.ranges[0].hi, g.ranges[1].lo, g.ranges[1].hi};
                objects.push_back(kernel_plot_sample_grid(k, g.expr, {g.ranges[0].name, g.ranges[1].name}, range,
                                                          s.gridM, s.gridN));
            }
        }
    } catch (const ReplyRefused& r) {
        throw KError("a plotted curve may not send " + r.stream + " replies");
    }
    bool any = false;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        any = any || objects[i].anyDefined();
        if (own[i].hasColour) {
            objects[i].coloured = true;
            std::copy(own[i].rgb, own[i].rgb + 3, objects[i].rgb);
        } else if (dimension == 2 && !whole.hasColour) {
            // Curves without a colour of their own take the plot's when it has one.
            objects[i].coloured = true;
            kernel_plot_default_colour(i, objects[i].rgb);
        }
    }
    if (!any) throw KError("the plot has no defined point");
    k.sink().replyBuilt(dimension == 2 ? "PLOT" : "PLOT3D", [&] {
        std::vector<Dag> elements;
        for (std::size_t i = 0; i < objects.size(); ++i) elements.push_back(object_element(objects[i], own[i]));
        kernel_plot_option_elements(whole, elements);
        Dag seq = dag_new(elements.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < elements.size(); ++i) dag_set_op(seq, i + 1, elements[i]);
        return seq;
    });
    return KValue::seq();
}

// ---- the procedures -------------------------------------------------------------------------------

// smartplot(f, ranges, options), f an expression or a list or set of them; without a range
// each curve runs over its own free names from -10 to 10.
KValue smartplot(KInterpreter& k, const KNode& argSeq, int dimension) {
    KSeq a = read_args(k, argSeq);
    if (a.empty()) throw KError("nothing to plot");
    KSeq curves = a[0].kind == KValue::List || a[0].kind == KValue::Set ? a[0].items : KSeq{a[0]};
    if (curves.empty()) throw KError("nothing to plot");
    std::size_t want = std::size_t(dimension - 1), i = 1;
    std::vector<KValue> named;   // x = a .. b
    Bounds plain;                // a .. b
    for (; i < a.size() && (is_range_item(a[i]) || a[i].kind == KValue::Range); ++i) {
        if (named.size() + plain.size() == want) throw KError("unexpected range " + shown(a[i]));
        if (a[i].kind == KValue::Range) plain.emplace_back(a[i].items[0], a[i].items[1]);
        else named.push_back(a[i]);
    }
    std::size_t given = named.size() + plain.size();
    if (given != 0 && given != want)
        throw KError(dimension == 2 ? "a 2-D smart plot takes one range" : "a 3-D smart plot takes two ranges");
    if (!named.empty() && !plain.empty()) throw KError("the ranges must all name their variables, or none");
    Text t;
    for (; i < a.size(); ++i) {
        if (!kernel_plot_is_option(a[i])) throw KError("invalid plot argument " + shown(a[i]));
        check_option(a[i], dimension);
        t.options.push_back(a[i]);
    }
    for (const KValue& f : curves) {
        if (!named.empty()) {
            KSeq group{f};
            group.insert(group.end(), named.begin(), named.end());
            t.groups.push_back(read_group(KValue::make(KValue::List, group)));
            continue;
        }
        std::string why;
        std::optional<Group> g = make_group(f, dimension, plain.empty() ? default_bounds(dimension) : plain, &why);
        if (!g) throw KError(why);
        t.groups.push_back(std::move(*g));
    }
    k.sink().reply(dimension == 2 ? "SMARTPLOT2D" : "SMARTPLOT3D", items_of(t));
    return KValue::seq();
}

// EDITSMARTPLOT([n,] option, items): the items with the option set in group n, or among the
// whole-plot options.
KValue edit_smartplot(KInterpreter& k, const KNode& argSeq) {
    KSeq a = read_args(k, argSeq);
    std::size_t i = 0;
    numeric curve = 0;
    if (!a.empty() && integer_of(a[0], &curve)) i = 1;
    if (i >= a.size() || !kernel_plot_is_option(a[i]))
        throw KError("expects an optional curve number, an option name = value and the smart plot arguments");
    const KValue& option = a[i];
    Text t = read_text(a, i + 1);
    if (curve > numeric(long(t.groups.size())))
        throw KError("there is no curve " + shown(KValue(curve)) + ": the plot has " +
                     std::to_string(t.groups.size()));
    check_option_any(option, t.dimension());
    if (curve.is_positive() && !is_whole_plot_slot(slot_of(option)))
        set_option(t.groups[std::size_t(curve.to_long() - 1)].options, option);
    else
        set_option(t.options, option);
    return KValue::seq(items_of(t));
}

// APPENDPLOT(f, dimension[, items]) and APPENDPLOTS([f or group, ...], dimension[, items]).
KValue append_plots(KInterpreter& k, const KNode& argSeq, bool many) {
    KSeq a = read_args(k, argSeq);
    if (a.size() < 2) throw KError("expects the curves, the dimension 2 or 3 and the smart plot arguments");
    int dimension = dimension_arg(a[1]);
    Text t = read_text(a, 2);
    if (t.dimension() != 0 && t.dimension() != dimension)
        throw KError("the smart plot arguments are not those of a " + std::to_string(dimension) + "-D plot");
    Bounds bounds = bounds_of(t, dimension);
    KSeq added = many ? (a[0].kind == KValue::List ? a[0].items : KSeq{}) : KSeq{a[0]};
    if (added.empty()) return KValue::seq();
    std::string why;
    for (const KValue& f : added) {
        if (f.kind == KValue::List) {
            // A group of its own: it must be one, and of this dimension.
            if (!many || f.items.size() < 2 || !is_range_item(f.items[1])) return KValue::seq();
            try {
                Group g = read_group(f);
                if (int(g.ranges.size()) + 1 != dimension) return KValue::seq();
                t.groups.push_back(std::move(g));
            } catch (const KError&) {
                return KValue::seq();
            }
            continue;
        }
        std::optional<Group> g = make_group(f, dimension, bounds, &why);
        if (!g) return KValue::seq();
        t.groups.push_back(std::move(*g));
    }
    return KValue::seq(items_of(t));
}

}  // namespace

void kernel_add_smartplot_builtins(std::map<std::string, KLazyBuiltin>& lazy) {
    lazy["smartplot"] = [](KInterpreter& k, const KNode& a) { return smartplot(k, a, 2); };
    lazy["smartplot3d"] = [](KInterpreter& k, const KNode& a) { return smartplot(k, a, 3); };
    lazy["SMARTPLOT2D"] = [](KInterpreter& k, const KNode& a) { return draw(k, a, 2); };
    lazy["SMARTPLOT3D"] = [](KInterpreter& k, const KNode& a) { return draw(k, a, 3); };
    lazy["EDITSMARTPLOT"] = edit_smartplot;
    lazy["APPENDPLOT"] = [](KInterpreter& k, const KNode& a) { return append_plots(k, a, false); };
    lazy["APPENDPLOTS"] = [](KInterpreter& k, const KNode& a) { return append_plots(k, a, true); };
}
