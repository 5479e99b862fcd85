// Functions sampled for plots (kernel_plot.h): the compiled form over doubles and the
// interpreter's point-by-point evaluation.
//
// The compiled form is a postfix program over a stack of doubles.  It is made only from
// numbers, the sampled names, sums, products, powers and the elementary functions below, whose
// C library versions give NaN or an infinity exactly where the kernel's own evaluation raises or
// leaves the real numbers (sqrt and log of negatives, 1/0, arcsin(2)); non-finite results are
// turned into NaN, so both forms agree on which points are undefined.

#include "kernel_plot.h"

#include <cmath>
#include <set>

#include "tovu/errors.h"
#include "tovu/storage.h"

using namespace GiNaC;

namespace {

struct Op {
    enum Code : unsigned char { Const, Var, Add, Mul, Pow, PowInt, Sqrt, Fn1, Fn2 };
    Code code;
    int n = 0;                              // Var: index; Add, Mul: operand count; PowInt: exponent
    double c = 0;                           // Const
    double (*f1)(double) = nullptr;         // Fn1
    double (*f2)(double, double) = nullptr; // Fn2
};

struct Unary {
    const char* name;
    double (*f)(double);
};
// GiNaC's names of the elementary functions (the language's arcsin is GiNaC's asin).
const Unary unaryFunctions[] = {
    {"sin", [](double x) { return std::sin(x); }},     {"cos", [](double x) { return std::cos(x); }},
    {"tan", [](double x) { return std::tan(x); }},     {"exp", [](double x) { return std::exp(x); }},
    {"log", [](double x) { return std::log(x); }},     {"abs", [](double x) { return std::fabs(x); }},
    {"asin", [](double x) { return std::asin(x); }},   {"acos", [](double x) { return std::acos(x); }},
    {"atan", [](double x) { return std::atan(x); }},   {"sinh", [](double x) { return std::sinh(x); }},
    {"cosh", [](double x) { return std::cosh(x); }},   {"tanh", [](double x) { return std::tanh(x); }},
    {"asinh", [](double x) { return std::asinh(x); }}, {"acosh", [](double x) { return std::acosh(x); }},
    {"atanh", [](double x) { return std::atanh(x); }},
    // GiNaC writes even powers of abs through the conjugate, which is the identity on the reals.
    {"conjugate", [](double x) { return x; }},
};

// Appends the program of e; false when e holds anything the compiled form does not take.
bool compile(const ex& e, const std::vector<std::string>& names, std::vector<Op>& prog) {
    if (is_a<numeric>(e)) {
        const numeric& n = ex_to<numeric>(e);
        if (!n.is_real()) return false;
        prog.push_back({Op::Const, 0, n.to_double()});
        return true;
    }
    if (is_a<constant>(e)) {
        ex v = e.evalf();
        if (!is_a<numeric>(v) || !ex_to<numeric>(v).is_real()) return false;
        prog.push_back({Op::Const, 0, ex_to<numeric>(v).to_double()});
        return true;
    }
    if (is_a<symbol>(e)) {
        std::string text;
        if (!kernel_is_name(e, &text)) return false;
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == text) {
                prog.push_back({Op::Var, int(i)});
                return true;
            }
        return false;
    }
    if (is_a<add>(e) || is_a<mul>(e)) {
        for (std::size_t i = 0; i < e.nops(); ++i)
            if (!compile(e.op(i), names, prog)) return false;
        prog.push_back({is_a<add>(e) ? Op::Add : Op::Mul, int(e.nops())});
        return true;
    }
    if (is_a<power>(e)) {
        if (!compile(e.op(0), names, prog)) return false;
        const ex& p = e.op(1);
        if (is_a<numeric>(p) && ex_to<numeric>(p).is_integer() && abs(ex_to<numeric>(p)) <= 64) {
            prog.push_back({Op::PowInt, int(ex_to<numeric>(p).to_int())});
            return true;
        }
        if (is_a<numeric>(p) && ex_to<numeric>(p) == numeric(1, 2)) {
            prog.push_back({Op::Sqrt});
            return true;
        }
        if (!compile(p, names, prog)) return false;
        prog.push_back({Op::Pow});
        return true;
    }
    if (is_a<function>(e)) {
        std::string name = ex_to<function>(e).get_name();
        if (name == "atan2" && e.nops() == 2) {
            if (!compile(e.op(0), names, prog) || !compile(e.op(1), names, prog)) return false;
            Op op{Op::Fn2};
            op.f2 = [](double y, double x) { return std::atan2(y, x); };
            prog.push_back(op);
            return true;
        }
        if (e.nops() != 1) return false;
        for (const Unary& u : unaryFunctions) {
            if (name != u.name) continue;
            if (!compile(e.op(0), names, prog)) return false;
            Op op{Op::Fn1};
            op.f1 = u.f;
            prog.push_back(op);
            return true;
        }
        return false;
    }
    return false;
}

double int_power(double b, int n) {
    bool invert = n < 0;
    unsigned m = unsigned(invert ? -n : n);
    double r = 1;
    while (m) {
        if (m & 1) r *= b;
        b *= b;
        m >>= 1;
    }
    return invert ? 1 / r : r;
}

double run(const std::vector<Op>& prog, std::vector<double>& stack, const double* at) {
    double* sp = stack.data();
    for (const Op& op : prog) {
        switch (op.code) {
        case Op::Const: *sp++ = op.c; break;
        case Op::Var: *sp++ = at[op.n]; break;
        case Op::Add: {
            sp -= op.n;
            double s = 0;
            for (int i = 0; i < op.n; ++i) s += sp[i];
            *sp++ = s;
            break;
        }
        case Op::Mul: {
            sp -= op.n;
            double s = 1;
            for (int i = 0; i < op.n; ++i) s *= sp[i];
            *sp++ = s;
            break;
        }
        case Op::Pow: {
            double e = *--sp;
            sp[-1] = std::pow(sp[-1], e);
            break;
        }
        case Op::PowInt: sp[-1] = int_power(sp[-1], op.n); break;
        case Op::Sqrt: sp[-1] = std::sqrt(sp[-1]); break;
        case Op::Fn1: sp[-1] = op.f1(sp[-1]); break;
        case Op::Fn2: {
            double b = *--sp;
            sp[-1] = op.f2(sp[-1], b);
            break;
        }
        }
    }
    return sp[-1];
}

double finite_or_nan(double v) { return std::isfinite(v) ? v : NAN; }

// The real value of an interpreter result, or NaN.
double real_of(const KValue& v) {
    const KValue* one = &v;
    if (v.kind == KValue::Seq && v.items.size() == 1) one = &v.items[0];
    if (one->kind != KValue::Expr) return NAN;
    ex r = one->ex.evalf();
    if (!is_a<numeric>(r) || !ex_to<numeric>(r).is_real()) return NAN;
    return finite_or_nan(ex_to<numeric>(r).to_double());
}

// The names of e; in a call the kernel keeps unevaluated, a name bound by an argument
// name = a..b (int, sum, seq) is not free, while the ends of its range are read.
void collect_ex_names(const ex& e, std::set<std::string>& out) {
    std::string text;
    if (is_a<symbol>(e)) {
        if (kernel_is_name(e, &text)) out.insert(text);
        return;
    }
    if (is_a<function>(e)) {
        std::set<std::string> inner, bound, ends;
        for (std::size_t i = 0; i < e.nops(); ++i) {
            const ex& a = e.op(i);
            if (is_a<relational>(a) && a.info(info_flags::relation_equal) && is_a<symbol>(a.op(0)) &&
                kernel_is_name(a.op(0), &text) && is_a<function>(a.op(1)) &&
                ex_to<function>(a.op(1)).get_name() == "..") {
                bound.insert(text);
                collect_ex_names(a.op(1), ends);
            } else {
                collect_ex_names(a, inner);
            }
        }
        for (const std::string& n : inner)
            if (!bound.count(n)) out.insert(n);
        out.insert(ends.begin(), ends.end());
        return;
    }
    for (std::size_t i = 0; i < e.nops(); ++i) collect_ex_names(e.op(i), out);
}

void collect_names(const KValue& v, std::set<std::string>& out) {
    if (v.kind == KValue::Expr) {
        collect_ex_names(v.ex, out);
        return;
    }
    if (v.kind == KValue::Proc || v.kind == KValue::Str || v.kind == KValue::Table) return;
    for (const KValue& item : v.items) collect_names(item, out);
}

}  // namespace

std::vector<std::string> kernel_plot_free_names(const KValue& v) {
    std::set<std::string> names;
    collect_names(v, names);
    return {names.begin(), names.end()};
}

struct KPlotFunction::Impl {
    KInterpreter& k;
    KValue f;
    std::vector<std::string> names;
    std::vector<Op> prog;
    std::vector<double> stack;
    bool compiled = false;
    bool applied = false;   // a procedure: applied to the values
    KNodePtr node;          // an expression for the interpreter
    unsigned calls = 0;

    Impl(KInterpreter& kk, KValue ff, std::vector<std::string> nn) : k(kk), f(std::move(ff)), names(std::move(nn)) {}

    KValue bound(std::size_t i, const double* at) {
        if (i == names.size()) return k.eval(*node);
        return k.withBinding(names[i], KValue(numeric(at[i])), [&] { return bound(i + 1, at); });
    }

    double interpret(const double* at) {
        try {
            if (applied) {
                KSeq args;
                for (std::size_t i = 0; i < names.size(); ++i) args.push_back(KValue(numeric(at[i])));
                return real_of(k.apply(f, std::move(args)));
            }
            return real_of(bound(0, at));
        } catch (const KError&) {
            return NAN;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {   // GiNaC's own failures (division by zero, ...)
            return NAN;
        }
    }
};

KPlotFunction::KPlotFunction(KInterpreter& k, const KValue& f, std::vector<std::string> names)
    : impl_(std::make_unique<Impl>(k, f, std::move(names))) {
    Impl& m = *impl_;
    std::string builtin;
    if (f.kind == KValue::Proc ||
        (f.kind == KValue::Expr && kernel_is_name(f.ex, &builtin) && kernel_find_builtin(builtin))) {
        m.applied = true;
        return;
    }
    const KValue* one = &f;
    if (f.kind == KValue::Seq && f.items.size() == 1) one = &f.items[0];
    if (one->kind != KValue::Expr) throw KError("cannot plot " + kernel_value_text(f));
    if (compile(one->ex, m.names, m.prog)) {
        m.compiled = true;
        m.stack.resize(m.prog.size() + 1);
        return;
    }
    // The interpreter's statement tree of the expression, made once.
    OwnedArea area(0, "plot-function");
    try {
        TovuHandlerGuard guard;
        StoragePush push(area.get());
        m.node = kernel_translate(kernel_ex_to_dag(one->ex));
    } catch (const TovuError& e) {
        throw KError(e.message);
    }
}

KPlotFunction::~KPlotFunction() = default;
KPlotFunction::KPlotFunction(KPlotFunction&&) noexcept = default;

bool KPlotFunction::compiled() const { return impl_->compiled; }

double KPlotFunction::operator()(const double* at) {
    Impl& m = *impl_;
    if (!m.compiled) return m.interpret(at);   // the interpreter polls at every step
    // The compiled form takes well under a microsecond a point: polling every 64th keeps the
    // clock reads out of the profile and still answers an interrupt at once.
    if ((++m.calls & 63) == 0) m.k.step();
    return finite_or_nan(run(m.prog, m.stack, at));
}
