// `Spreadsheet/eval`([entries], mode [, digits]): the value of a spreadsheet cell, as the sheet's
// command text asks for it.
//
//   symbolic  the entries are evaluated as ordinary input, with Digits set to the digits for
//             their float arithmetic;
//   numeric   the entries are evaluated likewise, then approximated with that many digits.
// digits defaults to Digits and must lie in 1 .. 100,000.  One entry answers its value, more
// their sequence.  A lazy built-in: the mode and the digits are read first, so that the entries
// are evaluated under the cell's digits.  Digits is restored on every path (error, interrupt).

#include "KInterpreter.h"
#include "kernel_analysis.h"

using namespace GiNaC;

namespace {

std::string name_of(const KValue& v) {
    std::string t;
    if (v.kind == KValue::Expr && kernel_is_name(v.ex, &t)) return t;
    if (v.kind == KValue::Str) return v.text;
    return "";
}

// Restores Digits when it goes out of scope, however the evaluation ended.
class DigitsRestore {
public:
    explicit DigitsRestore(KInterpreter& k) : k_(k), saved_(k.digits()) {}
    ~DigitsRestore() {
        try {
            k_.setDigits(saved_);
        } catch (...) {
        }
    }
    DigitsRestore(const DigitsRestore&) = delete;
    DigitsRestore& operator=(const DigitsRestore&) = delete;

private:
    KInterpreter& k_;
    long saved_;
};

KValue sheet_eval(KInterpreter& k, const KNode& argSeq) {
    if (argSeq.type != DAG_EXPSEQ || argSeq.kids.size() < 2 || argSeq.kids.size() > 3 || !argSeq.kids[0])
        throw KError("wrong number (or type) of parameters");
    for (const auto& kid : argSeq.kids)
        if (!kid) throw KError("wrong number (or type) of parameters");
    std::string mode = name_of(k.eval(*argSeq.kids[1]));
    if (mode != "symbolic" && mode != "numeric") throw KError("the mode must be symbolic or numeric");
    long digits = k.digits();
    if (argSeq.kids.size() == 3) {
        KValue d = k.eval(*argSeq.kids[2]);
        if (d.kind != KValue::Expr || !is_a<numeric>(d.ex) || !ex_to<numeric>(d.ex).is_integer() ||
            ex_to<numeric>(d.ex) < 1 || ex_to<numeric>(d.ex) > 100000)
            throw KError("the digits must be an integer from 1 to 100000, not " + kernel_value_text(d));
        digits = ex_to<numeric>(d.ex).to_long();
    }
    const KNode& entries = *argSeq.kids[0];
    if (entries.type != DAG_LIST) throw KError("the entries must be a list");
    KSeq values;
    {
        DigitsRestore restore(k);
        k.setDigits(digits);
        values = k.evalArgs(*entries.kids.at(0)).items;
        for (KValue& v : values) {
            if (mode == "numeric") v = k.apply(KValue(kernel_symbol("evalf")), {v, KValue(numeric(digits))});
            // Floats are shown with the digits they were computed to.
            if (v.digits == 0) v.digits = int(digits);
        }
    }
    if (values.size() == 1) return values[0];
    return KValue::seq(std::move(values));
}

}  // namespace

void kernel_add_sheet_builtins(std::map<std::string, KLazyBuiltin>& lazy) { lazy["Spreadsheet/eval"] = sheet_eval; }
