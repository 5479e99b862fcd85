#pragma once
// Readers of kernel replies with the worksheet's own rules, for tests of the kernel procedures:
// a context menu as the math element reads it, and the help manager's checks of a HELP
// request.

#include <string>
#include <vector>

#include "tovu/dag.h"
#include "tovu/print.h"

namespace kl_replies {

inline std::string printed(const DagWord* d) { return d ? print_to_text(d) : "<null>"; }

// ---- menus as the worksheet reads them ------------------------------------------------------------

// A menu read with the worksheet's rules: a call CONTEXTMENU(title, help, [entries]); an entry
// is [label, help, command] (an item), "<SeparatorLine>" (a separator) or a three-argument call
// (a submenu, read again); anything else is skipped.
struct MenuItem {
    std::string label, help, command;   // command: printed on one line; "-" for a separator
    std::vector<MenuItem> submenu;
};

inline std::string text_of(const DagWord* d) {
    if (d && (dag_type(d) == DAG_NAME || dag_type(d) == DAG_STRING)) return dag_text(d);
    return printed(d);
}

inline std::size_t arg_count(const DagWord* call) { return dag_length(dag_op(call, 2)) - 1; }
inline const DagWord* arg(const DagWord* call, std::size_t i) { return dag_op(dag_op(call, 2), i); }

inline bool is_menu(const DagWord* d) {
    return d && dag_type(d) == DAG_FUNCTION && dag_type(dag_op(d, 1)) == DAG_NAME &&
           std::string(dag_text(dag_op(d, 1))) == "CONTEXTMENU" && arg_count(d) == 3 &&
           dag_type(arg(d, 3)) == DAG_LIST;
}

inline std::vector<MenuItem> read_menu(const DagWord* d) {
    std::vector<MenuItem> items;
    if (!is_menu(d)) return items;
    const DagWord* seq = dag_op(arg(d, 3), 1);
    for (std::size_t i = 1; i < dag_length(seq); ++i) {
        const DagWord* e = dag_op(seq, i);
        if (dag_type(e) == DAG_LIST && dag_length(dag_op(e, 1)) == 4) {
            const DagWord* s = dag_op(e, 1);
            items.push_back({text_of(dag_op(s, 1)), text_of(dag_op(s, 2)), printed(dag_op(s, 3)), {}});
        } else if ((dag_type(e) == DAG_NAME || dag_type(e) == DAG_STRING) && text_of(e) == "<SeparatorLine>") {
            items.push_back({"", "", "-", {}});
        } else if (dag_type(e) == DAG_FUNCTION && arg_count(e) == 3) {
            items.push_back({text_of(arg(e, 1)), text_of(arg(e, 2)), "", read_menu(e)});
        }
    }
    return items;
}

inline const MenuItem* find(const std::vector<MenuItem>& menu, const std::string& label) {
    for (const MenuItem& m : menu)
        if (m.label == label) return &m;
    return nullptr;
}

// ---- the HELP stream's request rules ----------------------------------------------------------------

// The help manager's checks of one HELP request; "" when it passes.
inline std::string help_request_fault(const DagWord* args) {
    std::size_t n = dag_length(args) - 1;
    auto isText = [](const DagWord* d) { return d && (dag_type(d) == DAG_NAME || dag_type(d) == DAG_STRING); };
    if (n < 1 || !isText(dag_op(args, 1))) return "wrong number or type of arguments to help stream";
    std::string op = dag_text(dag_op(args, 1));
    bool topic = false, text = false;
    for (std::size_t i = 2; i <= n; ++i) {
        const DagWord* a = dag_op(args, i);
        if (op == "setpath") {
            if (!isText(a)) return "names expected for setpath";
            continue;
        }
        if (dag_type(a) != DAG_EQUATION || dag_type(dag_op(a, 1)) != DAG_NAME) return "parameter of form <lhs> = <rhs> expected";
        std::string name = dag_text(dag_op(a, 1));
        if (name == "topic") topic = isText(dag_op(a, 2));
        if (name == "text") text = dag_type(dag_op(a, 2)) == DAG_FUNCTION;
    }
    if (op == "display" && !topic && !text) return "topic or text required for display";
    return "";
}

}  // namespace kl_replies
