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

}  // namespace lt
