// Helpers of the LaTeX device tests.

#include "latex_support.h"

#include <initializer_list>
#include <vector>

namespace lt {

LayoutOptions export_options(int pageWidth) {
    LayoutOptions o;
    layout_options_init(3, &o, nullptr);
    o.pageWidth = pageWidth;
    o.pageHeight = 576;
    return o;
}

Written write(Dag d, bool inlineForm, const LayoutOptions* options) {
    Written w;
    LayoutOptions o = export_options();
    w.result = latex_write_expression(
        d, options ? options : &o, inlineForm,
        [](void* u, int ch) {
            static_cast<std::string*>(u)->push_back(char(ch));
            return 0;
        },
        &w.text);
    return w;
}

std::string power_of_two(int n) {
    std::vector<int> digits{1};   // least significant first
    for (int i = 0; i < n; ++i) {
        int carry = 0;
        for (int& d : digits) {
            int v = d * 2 + carry;
            d = v % 10;
            carry = v / 10;
        }
        if (carry) digits.push_back(carry);
    }
    std::string s;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) s.push_back(char('0' + *it));
    return s;
}

Dag long_sum(int n, const char* prefix) {
    Dag s = dag_new(std::size_t(2 * n + 1), DAG_SUM);
    for (int i = 0; i < n; ++i) {
        std::string name = prefix + std::to_string(i + 1);
        dag_set_op(s, std::size_t(2 * i + 1), tb::N(name.c_str()));
        dag_set_op(s, std::size_t(2 * i + 2), tb::I(1));
    }
    return s;
}

Dag nested_proc() {
    using namespace tb;
    Dag body = dag_new(2, DAG_STATSEQ);
    Dag inner = dag_new(2, DAG_STATSEQ);
    dag_set_op(inner, 1, Bin(DAG_ASSIGN, N("n"), I(2)));
    Dag cond = dag_new(3, DAG_IF);
    dag_set_op(cond, 1, Bin(DAG_LESSTHAN, N("n"), I(1)));
    dag_set_op(cond, 2, inner);
    dag_set_op(body, 1, cond);
    Dag p = dag_new(9, DAG_PROC);
    dag_set_op(p, 1, Seq({N("n")}));
    dag_set_op(p, 2, Seq({}));
    dag_set_op(p, 3, Seq({}));
    dag_set_op(p, 4, dag_NULL);
    dag_set_op(p, 5, body);
    for (std::size_t i = 6; i <= 8; ++i) dag_set_op(p, i, Seq({}));
    return p;
}

Dag tall_fraction() {
    using namespace tb;
    return Prod({{Sum({{Q(1, 2), I(1)}, {N("x"), I(1)}}), I(1)}, {Sum({{Q(1, 3), I(1)}, {N("y"), I(1)}}), I(-1)}});
}

Dag bracketed_times_z(Dag rest) {
    using namespace tb;
    std::size_t n = dag_length(rest) - 1;
    Dag with = dag_new(n + 3, DAG_SUM);
    dag_set_op(with, 1, tall_fraction());
    dag_set_op(with, 2, I(1));
    for (std::size_t i = 1; i <= n; ++i) dag_set_op(with, i + 2, dag_op(rest, i));
    return Prod({{with, I(1)}, {N("z"), I(1)}});
}

}  // namespace lt
