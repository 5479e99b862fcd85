// The context menus of math elements: `ContextMenu`(expressions) and the commands its items
// name.
//
// The worksheet asks print(ContextMenu(e1, e2, ...)); and gets
//   CONTEXTMENU(title, help, [entry, ...])
// with entries [label, help, command], "<SeparatorLine>" between groups, and submenus
// CONTEXTMENU(label, help, [entries]).  A chosen item is sent back as
//   print(command([ "name" or none, expression ], ...[, "autoassign"=false, "parse"=true]));
// Without "parse" a command answers a string holding an input that applies the operation (the
// worksheet inserts and executes it); with "parse"=true it answers the result itself, or NULL
// where no single expression can replace the selection.
//
// Participants are printed outputs and selections of worksheets: they are inspected as
// mathematics (kernel_inspect.h), never run, both by ContextMenu and by the commands, which are
// therefore lazy built-ins.  A participant that would run an effectful built-in gets the empty
// menu, and a command given it answers NULL.  The items follow the participant's structure
// only (free names, constants, equations, integers): nothing is factored or solved to build a
// menu.
//
// | group        | item (command)                         | offered for                        |
// |--------------|----------------------------------------|------------------------------------|
// | algebra      | Factor, Expand, Normal, Simplify       | expressions with free names        |
// | numbers      | Approximate (ContextApproximate)       | constants or non-integer numbers   |
// | calculus     | Differentiate, Integrate: one item a   | expressions with free names        |
// |              | name (ContextDiff(x), ContextInt(x))   |                                    |
// | plots        | Plot (one free name), Plot 3D (two)    | expressions                        |
// | equations    | Solve: one item a name (ContextSolve)  | equations with free names          |
// | integers     | Integer Factors (ContextIfactor)       | integers other than 0, 1, -1       |
//
// A call f(a)(b) of a lazy built-in f reaches it as f with the argument sequence
// (CURRIED(a), b) (KInterpreter::call): that is how ContextDiff(x)([none, e]) works.

#include <algorithm>
#include <set>

#include "KInterpreter.h"
#include "kernel_inspect.h"
#include "tovu/errors.h"
#include "tovu/print.h"

using namespace GiNaC;

namespace {

const char* const kSeparator = "<SeparatorLine>";

// ---- what a participant is ----------------------------------------------------------------------

struct Traits {
    bool expression = false;   // an expression (not a list, string, ...)
    bool equation = false;
    bool integer = false;      // an integer whose factors are worth showing
    bool approximable = false; // holds a constant or a non-integer number
    std::vector<std::string> names;   // free names, sorted
};

void collect(const ex& e, std::set<std::string>& names, bool& approximable) {
    if (is_a<symbol>(e)) {
        std::string text;
        if (kernel_is_name(e, &text)) names.insert(text);
        return;
    }
    if (is_a<constant>(e)) {
        approximable = true;
        return;
    }
    if (is_a<numeric>(e)) {
        if (!ex_to<numeric>(e).is_rational() || !ex_to<numeric>(e).is_integer()) approximable = true;
        return;
    }
    for (std::size_t i = 0; i < e.nops(); ++i) collect(e.op(i), names, approximable);
}

Traits traits_of(const KValue& v) {
    Traits t;
    std::set<std::string> names;
    if (v.kind == KValue::Expr) {
        t.expression = true;
        collect(v.ex, names, t.approximable);
        if (is_a<numeric>(v.ex) && ex_to<numeric>(v.ex).is_integer()) {
            numeric n = abs(ex_to<numeric>(v.ex));
            t.integer = n > 1;
        }
        // A power of an integer base (2^(1/2)) is a number to approximate too.
        if (names.empty() && !is_a<numeric>(v.ex)) t.approximable = true;
    } else if (v.kind == KValue::Rel && v.rel == DAG_EQUATION && v.items[0].kind == KValue::Expr &&
               v.items[1].kind == KValue::Expr) {
        t.equation = true;
        collect(v.items[0].ex, names, t.approximable);
        collect(v.items[1].ex, names, t.approximable);
    }
    t.names.assign(names.begin(), names.end());
    return t;
}

// ---- menu entries --------------------------------------------------------------------------------

struct Entry {
    int group;
    std::string label, help, command;          // command: a built-in's name
    bool perName = false;                      // a submenu with one item a name
    std::vector<std::string> names;
};

std::vector<Entry> entries_for(const Traits& t) {
    std::vector<Entry> e;
    bool withNames = !t.names.empty();
    if (t.expression && withNames) {
        e.push_back({0, "Factor", "Factor the expression", "ContextFactor", false, {}});
        e.push_back({0, "Expand", "Expand the expression", "ContextExpand", false, {}});
        e.push_back({0, "Normal", "Normalise the expression", "ContextNormal", false, {}});
        e.push_back({0, "Simplify", "Simplify the expression", "ContextSimplify", false, {}});
    }
    if ((t.expression || t.equation) && t.approximable)
        e.push_back({1, "Approximate", "Approximate the numbers", "ContextApproximate", false, {}});
    if (t.expression && withNames) {
        e.push_back({2, "Differentiate", "Differentiate with respect to a name", "ContextDiff", true, t.names});
        e.push_back({2, "Integrate", "Integrate with respect to a name", "ContextInt", true, t.names});
    }
    if (t.expression && t.names.size() == 1) e.push_back({3, "Plot", "Plot the expression", "ContextPlot", false, {}});
    if (t.expression && t.names.size() == 2) e.push_back({3, "Plot 3D", "Plot the expression in 3-D", "ContextPlot3d", false, {}});
    if (t.equation && withNames)
        e.push_back({4, "Solve", "Solve the equation for a name", "ContextSolve", true, t.names});
    if (t.integer) e.push_back({5, "Integer Factors", "Factor the integer", "ContextIfactor", false, {}});
    return e;
}

// The entries that apply to every participant; submenus keep the names common to all.
std::vector<Entry> common_entries(const std::vector<Traits>& all) {
    std::vector<Entry> common = entries_for(all.at(0));
    for (std::size_t i = 1; i < all.size(); ++i) {
        std::vector<Entry> next = entries_for(all[i]), kept;
        for (Entry& c : common) {
            auto it = std::find_if(next.begin(), next.end(), [&](const Entry& n) { return n.command == c.command; });
            if (it == next.end()) continue;
            if (c.perName) {
                std::vector<std::string> both;
                std::set_intersection(c.names.begin(), c.names.end(), it->names.begin(), it->names.end(),
                                      std::back_inserter(both));
                if (both.empty()) continue;
                c.names = both;
            }
            kept.push_back(c);
        }
        common = kept;
    }
    return common;
}

KValue menu(const std::string& label, const std::string& help, KSeq entries) {
    return KValue::call("CONTEXTMENU", {KValue::str(label), KValue::str(help), KValue::make(KValue::List, std::move(entries))});
}

KValue item(const std::string& label, const std::string& help, KValue command) {
    return KValue::make(KValue::List, {KValue::str(label), KValue::str(help), std::move(command)});
}

KValue build_menu(const std::vector<Entry>& entries) {
    KSeq list;
    int group = -1;
    for (const Entry& e : entries) {
        if (group >= 0 && e.group != group) list.push_back(KValue::str(kSeparator));
        group = e.group;
        if (!e.perName) {
            list.push_back(item(e.label, e.help, KValue(kernel_symbol(e.command))));
            continue;
        }
        KSeq sub;
        for (const std::string& n : e.names)
            sub.push_back(item(n, e.help + " " + n, KValue(kernel_inert_call(e.command, {kernel_symbol(n)}))));
        list.push_back(menu(e.label, e.help, std::move(sub)));
    }
    return menu("Kelvo", "Operations on the expression", std::move(list));
}

KValue context_menu(KInterpreter& k, const KNode& argSeq) {
    std::vector<Traits> all;
    try {
        for (const KValue& v : kernel_inspect_args(k, argSeq, KInspectMode::Math)) all.push_back(traits_of(v));
    } catch (const KInspectRefused&) {
        return menu("Kelvo", "Operations on the expression", {});
    }
    if (all.empty()) return menu("Kelvo", "Operations on the expression", {});
    return build_menu(common_entries(all));
}

// ---- commands ---------------------------------------------------------------------------------------

struct Request {
    std::vector<std::string> names;   // "name" of each participant, or empty
    KSeq expressions;
    bool parse = false;
    std::string by;                   // the name of a per-name command
    bool refused = false;
};

bool is_string_option(const KValue& v, const char* name) {
    return v.kind == KValue::Rel && v.rel == DAG_EQUATION && v.items[0].kind == KValue::Str && v.items[0].text == name;
}

bool is_true(const KValue& v) {
    std::string t;
    return v.kind == KValue::Expr && kernel_is_name(v.ex, &t) && t == "true";
}

// Reads the argument nodes: an optional CURRIED(name), participant lists, options.
Request read_request(KInterpreter& k, const KNode& argSeq, bool perName) {
    Request r;
    std::vector<const KNode*> kids;
    if (argSeq.type == DAG_EXPSEQ) {
        for (const auto& kid : argSeq.kids) kids.push_back(kid.get());
    } else {
        kids.push_back(&argSeq);
    }
    std::size_t first = 0;
    if (!kids.empty() && kids[0] && kids[0]->type == KNODE_CURRIED) {
        KSeq curried;
        try {
            curried = kernel_inspect_args(k, *kids[0]->kids.at(0), KInspectMode::Math);
        } catch (const KInspectRefused&) {
            r.refused = true;
            return r;
        }
        if (curried.size() != 1 || curried[0].kind != KValue::Expr || !kernel_is_name(curried[0].ex, &r.by))
            throw KError("the command takes one name");
        first = 1;
    }
    if (perName && r.by.empty()) throw KError("the command needs a name, as in ContextDiff(x)");
    for (std::size_t i = first; i < kids.size(); ++i) {
        if (!kids[i]) continue;
        KValue v;
        try {
            v = kernel_inspect(k, *kids[i], KInspectMode::Math);
        } catch (const KInspectRefused&) {
            r.refused = true;
            return r;
        }
        if (is_string_option(v, "parse")) {
            r.parse = is_true(v.items[1]);
            continue;
        }
        if (is_string_option(v, "autoassign")) continue;
        if (v.kind != KValue::List || v.items.size() != 2)
            throw KError("participants take the form [ \"name\" or none, expression ]");
        r.names.push_back(v.items[0].kind == KValue::Str ? v.items[0].text : "");
        r.expressions.push_back(v.items[1]);
    }
    if (r.expressions.empty()) throw KError("no expression given");
    return r;
}

std::string printed(const KValue& v) {
    std::string text;
    try {
        TovuHandlerGuard guard;
        OwnedArea area(0, "context-print");
        StoragePush push(area.get());
        text = print_to_text(kernel_value_to_dag(v));
    } catch (const TovuError& e) {
        throw KError(e.message);
    }
    return text;
}

struct Command {
    const char* name;
    bool perName;
    // The input text applying the operation to one printed expression (and the name).
    std::string (*input)(const std::string& e, const std::string& by);
    // The in-place answer, or NULL when no single expression can replace the selection.
    KValue (*answer)(KInterpreter& k, const KValue& e, const std::string& by);
};

KValue apply_builtin(KInterpreter& k, const char* name, KSeq args) {
    return k.apply(KValue(kernel_symbol(name)), std::move(args));
}

KValue one_or_null(const KValue& v) {
    if (v.kind == KValue::Seq) return v.items.size() == 1 ? v.items[0] : KValue::seq();
    return v;
}

const Command commands[] = {
    {"ContextFactor", false, [](const std::string& e, const std::string&) { return "factor(" + e + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string&) { return apply_builtin(k, "factor", {e}); }},
    {"ContextExpand", false, [](const std::string& e, const std::string&) { return "expand(" + e + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string&) { return apply_builtin(k, "expand", {e}); }},
    {"ContextNormal", false, [](const std::string& e, const std::string&) { return "normal(" + e + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string&) { return apply_builtin(k, "normal", {e}); }},
    {"ContextSimplify", false, [](const std::string& e, const std::string&) { return "simplify(" + e + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string&) { return apply_builtin(k, "simplify", {e}); }},
    {"ContextApproximate", false, [](const std::string& e, const std::string&) { return "evalf(" + e + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string&) { return apply_builtin(k, "evalf", {e}); }},
    {"ContextIfactor", false, [](const std::string& e, const std::string&) { return "ifactor(" + e + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string&) { return apply_builtin(k, "ifactor", {e}); }},
    {"ContextDiff", true, [](const std::string& e, const std::string& x) { return "diff(" + e + ", " + x + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string& x) {
         return apply_builtin(k, "diff", {e, KValue(kernel_symbol(x))});
     }},
    {"ContextInt", true, [](const std::string& e, const std::string& x) { return "int(" + e + ", " + x + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string& x) {
         return apply_builtin(k, "int", {e, KValue(kernel_symbol(x))});
     }},
    {"ContextSolve", true, [](const std::string& e, const std::string& x) { return "solve(" + e + ", " + x + ");"; },
     [](KInterpreter& k, const KValue& e, const std::string& x) {
         return one_or_null(apply_builtin(k, "solve", {e, KValue(kernel_symbol(x))}));
     }},
    {"ContextPlot", false,
     [](const std::string& e, const std::string&) { return "plot(" + e + ");"; },
     [](KInterpreter&, const KValue&, const std::string&) { return KValue::seq(); }},
    {"ContextPlot3d", false, nullptr, [](KInterpreter&, const KValue&, const std::string&) { return KValue::seq(); }},
};

// plot3d needs its two ranges named: the participant's free names over -10 .. 10.
std::string plot3d_input(const KValue& e, const std::string& text) {
    std::vector<std::string> names = traits_of(e).names;
    std::string r = "plot3d(" + text;
    for (const std::string& n : names) r += ", " + n + " = -10 .. 10";
    return r + ");";
}

KValue run_command(KInterpreter& k, const Command& c, const KNode& argSeq) {
    Request r = read_request(k, argSeq, c.perName);
    if (r.refused) return KValue::seq();
    // A command runs only on participants whose menu offered it.
    for (const KValue& e : r.expressions) {
        bool offered = false;
        for (const Entry& entry : entries_for(traits_of(e))) {
            if (entry.command != c.name) continue;
            offered = !entry.perName || std::find(entry.names.begin(), entry.names.end(), r.by) != entry.names.end();
        }
        if (!offered) return KValue::seq();
    }
    if (r.parse) {
        if (r.expressions.size() != 1) return KValue::seq();
        return c.answer(k, r.expressions[0], r.by);
    }
    std::string input;
    for (std::size_t i = 0; i < r.expressions.size(); ++i) {
        std::string text = printed(r.expressions[i]);
        std::string one = c.input ? c.input(text, r.by) : plot3d_input(r.expressions[i], text);
        // Several participants: one statement applying the operation to each.
        if (r.expressions.size() > 1) one.pop_back();
        input += (i ? ", " : "") + one;
    }
    if (r.expressions.size() > 1) input += ";";
    return KValue::str(input);
}

}  // namespace

void kernel_add_context_builtins(std::map<std::string, KLazyBuiltin>& lazy) {
    lazy["ContextMenu"] = context_menu;
    for (const Command& c : commands)
        lazy[c.name] = [&c](KInterpreter& k, const KNode& argSeq) { return run_command(k, c, argSeq); };
}
