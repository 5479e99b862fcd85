// Taylor series through FLINT's truncated power series over the rationals.
//
// The expression is first compiled, on GiNaC's side, into a postfix program over t = x - a
// (numbers, the variable, sums, products, powers, functions); the program then runs on
// fmpq_poly values truncated to the order, each exact modulo t^N.  Every value is a Taylor
// series (no negative powers), so a product, a quotient by a series with a non-zero constant
// term and a composition with a function's series are all exact modulo t^N: no precision is
// lost on the way.  N is the order plus kGuardTerms, the terms past the order that decide
// whether the answer is given here at all.
//
// FLINT aborts the process on an argument outside a function's domain (exp of a series with a
// non-zero constant term, log of one whose constant term is not 1), so every such condition is
// checked here first and answered with "outside" (GiNaC's series then answers the call).
//
// The program's result leaves the FLINT side as text, so that the same work can run in a child:
//   S <denominator>            a series: the common denominator, a positive integer,
//   <c0> ... <cN-1>            then the numerators of the coefficients of t^0 .. t^(N-1)
//   O                          outside: GiNaC is to answer

#include "kernel_series.h"

#include "KInterpreter.h"
#include "kernel_child.h"

#include <flint/flint.h>
#include <flint/fmpq.h>
#include <flint/fmpq_poly.h>
#include <flint/fmpz.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

using namespace GiNaC;

namespace {

// Nesting deeper than this is left to GiNaC (the compiler recurses once per level).
constexpr int kMaxDepth = 200;
// Exponents are applied by FLINT's repeated squaring on a machine word; larger ones (and
// roots of a higher index, whose rational value is rare) are left to GiNaC.
constexpr long kMaxIntegerExponent = 1L << 30;
constexpr long kMaxRootIndex = 1000;
// The work, estimated as (products, powers and functions) * N^2.5 for N terms, below which the
// series is computed in the kernel's process without polls; above it, in a child that an
// interrupt ends.  Coefficients grow with the order, so the cost grows faster than N^2:
// sin(tan(x)) to order 30 (work 1.8e4) took 0.4 ms, to order 144 (work 1e6) 17 ms, on a loaded
// machine; this bound keeps an unpollable stretch below about 10 ms.
constexpr double kInProcessWork = 5e5;
// Terms computed past the order.  GiNaC's series drops the order term where it finds the
// expression to be a polynomial of a lower degree (its derivatives vanish: atan(tan(x)),
// log(exp(x))), and such an expression is a polynomial only when every term past the order
// vanishes; so an answer is given only when one of these terms is non-zero.  Eight covers the
// even and odd functions of x, x^2 and x^3 (sin(tan(x)), cos(x^2)); an expression whose terms
// are sparser (exp(x^12) to order 3) is left to GiNaC.
constexpr int kGuardTerms = 8;

// The functions whose series FLINT composes, each defined where its argument's series has the
// constant term `at` (0, or 1 for the logarithm), where the function's value is rational.
enum class Fn { Exp, Log, Sin, Cos, Tan, Asin, Atan, Sinh, Cosh, Tanh, Asinh, Atanh };

struct FnInfo {
    const char* name;   // GiNaC's name
    Fn fn;
    int at;             // the argument's constant term the function needs
};

const FnInfo kFunctions[] = {
    {"exp", Fn::Exp, 0},   {"log", Fn::Log, 1},     {"sin", Fn::Sin, 0},   {"cos", Fn::Cos, 0},
    {"tan", Fn::Tan, 0},   {"asin", Fn::Asin, 0},   {"atan", Fn::Atan, 0}, {"sinh", Fn::Sinh, 0},
    {"cosh", Fn::Cosh, 0}, {"tanh", Fn::Tanh, 0},   {"asinh", Fn::Asinh, 0}, {"atanh", Fn::Atanh, 0},
};

// One instruction of the postfix program.
struct Op {
    enum Kind { Const, Var, Add, Mul, Pow, Root, Func };
    explicit Op(Kind k) : kind(k) {}
    Kind kind;
    std::size_t args = 0;     // Add, Mul: operands taken from the stack
    std::string num, den;     // Const: the rational num/den; Var: the point a as num/den
    long p = 0, q = 1;        // Pow: exponent p; Root: exponent p/q in lowest terms, q > 1
    const FnInfo* fn = nullptr;
};

struct Program {
    std::vector<Op> ops;
    double heavyOps = 0;   // products, powers and functions, for the work estimate
};

bool rationalText(const ex& e, std::string* num, std::string* den) {
    if (!is_a<numeric>(e) || !ex_to<numeric>(e).is_rational()) return false;
    std::ostringstream n, d;
    n << ex_to<numeric>(e).numer();
    d << ex_to<numeric>(e).denom();
    *num = n.str();
    *den = d.str();
    return true;
}

// Appends the program of e; false where e lies outside the fast path.
bool compile(const ex& e, const symbol& x, const Op& var, int depth, Program* prog) {
    if (depth > kMaxDepth) return false;
    if (is_a<numeric>(e)) {
        Op op(Op::Const);
        if (!rationalText(e, &op.num, &op.den)) return false;
        prog->ops.push_back(std::move(op));
        return true;
    }
    if (is_a<symbol>(e)) {
        if (!e.is_equal(x)) return false;
        prog->ops.push_back(var);
        return true;
    }
    if (is_a<add>(e) || is_a<mul>(e)) {
        for (std::size_t i = 0; i < e.nops(); ++i)
            if (!compile(e.op(i), x, var, depth + 1, prog)) return false;
        Op op(is_a<add>(e) ? Op::Add : Op::Mul);
        op.args = e.nops();
        if (op.kind == Op::Mul) prog->heavyOps += double(e.nops() - 1);
        prog->ops.push_back(std::move(op));
        return true;
    }
    if (is_a<power>(e)) {
        if (!is_a<numeric>(e.op(1)) || !ex_to<numeric>(e.op(1)).is_rational()) return false;
        const numeric& r = ex_to<numeric>(e.op(1));
        const numeric p = r.numer(), q = r.denom();
        if (abs(p) > kMaxIntegerExponent || q > kMaxRootIndex) return false;
        if (!compile(e.op(0), x, var, depth + 1, prog)) return false;
        Op op(q.is_equal(numeric(1)) ? Op::Pow : Op::Root);
        op.p = p.to_long();
        op.q = q.to_long();
        prog->heavyOps += 1;
        prog->ops.push_back(std::move(op));
        return true;
    }
    if (is_a<function>(e) && e.nops() == 1) {
        const std::string name = ex_to<function>(e).get_name();
        for (const FnInfo& f : kFunctions) {
            if (name != f.name) continue;
            if (!compile(e.op(0), x, var, depth + 1, prog)) return false;
            Op op(Op::Func);
            op.fn = &f;
            prog->heavyOps += 1;
            prog->ops.push_back(std::move(op));
            return true;
        }
    }
    return false;
}

// ---- the FLINT side ------------------------------------------------------------------------

// An fmpq_poly owned by value; moves swap, so a stack of them never copies coefficients.
class QSeries {
public:
    QSeries() { fmpq_poly_init(p_); }
    ~QSeries() { fmpq_poly_clear(p_); }
    QSeries(QSeries&& o) noexcept { fmpq_poly_init(p_); fmpq_poly_swap(p_, o.p_); }
    QSeries& operator=(QSeries&& o) noexcept {
        fmpq_poly_swap(p_, o.p_);
        return *this;
    }
    QSeries(const QSeries&) = delete;
    QSeries& operator=(const QSeries&) = delete;
    fmpq_poly_struct* get() { return p_; }

private:
    fmpq_poly_t p_;
};

// An fmpq owned by value.
class QNumber {
public:
    QNumber() { fmpq_init(q_); }
    ~QNumber() { fmpq_clear(q_); }
    QNumber(const QNumber&) = delete;
    QNumber& operator=(const QNumber&) = delete;
    fmpq* get() { return q_; }

private:
    fmpq_t q_;
};

bool setRational(fmpq* q, const Op& op) {
    if (fmpz_set_str(fmpq_numref(q), op.num.c_str(), 10) != 0) return false;
    if (fmpz_set_str(fmpq_denref(q), op.den.c_str(), 10) != 0) return false;
    fmpq_canonicalise(q);
    return true;
}

// c^(1/q) for a positive rational c when it is rational.
bool exactRoot(fmpq* root, const fmpq* c, long q) {
    fmpz_t r;
    fmpz_init(r);
    bool exact = true;
    for (int part = 0; part < 2 && exact; ++part) {
        const fmpz* v = part == 0 ? fmpq_numref(c) : fmpq_denref(c);
        fmpz_root(r, v, q);
        fmpz_t back;
        fmpz_init(back);
        fmpz_pow_ui(back, r, ulong(q));
        exact = fmpz_equal(back, v);
        fmpz_clear(back);
        fmpz_set(part == 0 ? fmpq_numref(root) : fmpq_denref(root), r);
    }
    fmpz_clear(r);
    return exact;
}

// f(u) modulo t^n, where u's constant term is the one f needs.
void applyFunction(Fn fn, fmpq_poly_struct* r, const fmpq_poly_struct* u, slong n) {
    switch (fn) {
    case Fn::Exp: fmpq_poly_exp_series(r, u, n); break;
    case Fn::Log: fmpq_poly_log_series(r, u, n); break;
    case Fn::Sin: fmpq_poly_sin_series(r, u, n); break;
    case Fn::Cos: fmpq_poly_cos_series(r, u, n); break;
    case Fn::Tan: fmpq_poly_tan_series(r, u, n); break;
    case Fn::Asin: fmpq_poly_asin_series(r, u, n); break;
    case Fn::Atan: fmpq_poly_atan_series(r, u, n); break;
    case Fn::Sinh: fmpq_poly_sinh_series(r, u, n); break;
    case Fn::Cosh: fmpq_poly_cosh_series(r, u, n); break;
    case Fn::Tanh: fmpq_poly_tanh_series(r, u, n); break;
    case Fn::Asinh: fmpq_poly_asinh_series(r, u, n); break;
    case Fn::Atanh: fmpq_poly_atanh_series(r, u, n); break;
    }
}

// The program's series modulo t^n (n >= 1) as the text described at the top.
std::string run(const Program& prog, slong n) {
    std::vector<QSeries> stack;
    QNumber c, c0;
    auto constantTerm = [&](QSeries& s) { fmpq_poly_get_coeff_fmpq(c0.get(), s.get(), 0); };
    for (const Op& op : prog.ops) {
        switch (op.kind) {
        case Op::Const: case Op::Var: {
            QSeries s;
            if (!setRational(c.get(), op)) return "O";
            fmpq_poly_set_fmpq(s.get(), c.get());
            if (op.kind == Op::Var && n > 1) fmpq_poly_set_coeff_si(s.get(), 1, 1);
            stack.push_back(std::move(s));
            break;
        }
        case Op::Add: case Op::Mul: {
            const std::size_t first = stack.size() - op.args;
            QSeries r = std::move(stack[first]);
            for (std::size_t i = first + 1; i < stack.size(); ++i) {
                if (op.kind == Op::Add) fmpq_poly_add(r.get(), r.get(), stack[i].get());
                else fmpq_poly_mullow(r.get(), r.get(), stack[i].get(), n);
            }
            stack.resize(first);
            stack.push_back(std::move(r));
            break;
        }
        case Op::Pow: {
            QSeries& b = stack.back();
            constantTerm(b);
            if (op.p < 0) {
                // A pole where the base vanishes: a Laurent series, GiNaC's to give.
                if (fmpq_is_zero(c0.get())) return "O";
                fmpq_poly_inv_series(b.get(), b.get(), n);
            }
            QSeries r;
            fmpq_poly_pow_trunc(r.get(), b.get(), ulong(std::labs(op.p)), n);
            b = std::move(r);
            break;
        }
        case Op::Root: {
            // b^(p/q) = c^(p/q) * exp(p/q * log(b/c)), c the constant term, which must be
            // positive (no branch to choose) with a rational c^(1/q).
            QSeries& b = stack.back();
            constantTerm(b);
            QNumber root, scale;
            if (fmpq_sgn(c0.get()) <= 0 || !exactRoot(root.get(), c0.get(), op.q)) return "O";
            fmpq_pow_si(root.get(), root.get(), op.p);
            fmpq_poly_scalar_div_fmpq(b.get(), b.get(), c0.get());
            QSeries l;
            fmpq_poly_log_series(l.get(), b.get(), n);
            fmpq_set_si(scale.get(), op.p, ulong(op.q));
            fmpq_poly_scalar_mul_fmpq(l.get(), l.get(), scale.get());
            fmpq_poly_exp_series(b.get(), l.get(), n);
            fmpq_poly_scalar_mul_fmpq(b.get(), b.get(), root.get());
            break;
        }
        case Op::Func: {
            QSeries& u = stack.back();
            constantTerm(u);
            if (!fmpq_equal_si(c0.get(), op.fn->at)) return "O";
            QSeries r;
            applyFunction(op.fn->fn, r.get(), u.get(), n);
            u = std::move(r);
            break;
        }
        }
    }
    if (stack.size() != 1) return "O";
    QSeries& s = stack.back();
    fmpq_poly_truncate(s.get(), n);
    std::string out = "S";
    auto append = [&](const fmpz* v) {
        char* text = fmpz_get_str(nullptr, 10, v);
        out += ' ';
        out += text;
        flint_free(text);
    };
    append(fmpq_poly_denref(s.get()));
    fmpz_t zero;
    fmpz_init(zero);
    for (slong i = 0; i < n; ++i) append(i < fmpq_poly_length(s.get()) ? s.get()->coeffs + i : zero);
    fmpz_clear(zero);
    return out;
}

// The pseries of the text `run` wrote, its terms below `order`; nullopt when the guard terms
// past the order are all zero (see kGuardTerms).
std::optional<ex> readSeries(const std::string& text, const symbol& x, const ex& point, int order) {
    std::istringstream in(text);
    std::string word;
    if (!(in >> word) || word != "S" || !(in >> word)) return std::nullopt;
    const numeric den(word.c_str());
    epvector terms;
    for (int i = 0; i < order; ++i) {
        if (!(in >> word)) return std::nullopt;
        if (word == "0") continue;
        terms.push_back(expair(numeric(word.c_str()) / den, numeric(i)));
    }
    bool higherTerms = false;
    for (int i = 0; i < kGuardTerms; ++i) {
        if (!(in >> word)) return std::nullopt;
        higherTerms = higherTerms || word != "0";
    }
    if (!higherTerms) return std::nullopt;
    terms.push_back(expair(Order(ex(1)), numeric(order)));
    return ex(pseries(x == point, std::move(terms)));
}

}  // namespace

std::optional<ex> kernel_taylor_series(const ex& f, const symbol& x, const ex& point, int order) {
    // A polynomial's series is the polynomial itself, in the form GiNaC's series gives it.
    if (order < 0 || f.is_polynomial(x)) return std::nullopt;
    Op var(Op::Var);
    if (!rationalText(point, &var.num, &var.den)) return std::nullopt;
    Program prog;
    if (!compile(f, x, var, 0, &prog)) return std::nullopt;
    const slong n = slong(order) + kGuardTerms;
    auto work = [&] { return run(prog, n); };
    std::string text;
    if (prog.heavyOps * std::pow(double(n), 2.5) <= kInProcessWork) {
        KLibraryPollPause pause;
        text = work();
    } else if (std::optional<std::string> fromChild = kernel_run_in_child(work, "series")) {
        text = *fromChild;
    } else {
        KLibraryPollPause pause;
        text = work();
    }
    return readSeries(text, x, point, order);
}
