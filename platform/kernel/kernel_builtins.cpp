// Built-in procedures of the kernel.  Each takes the evaluated argument sequence (lazy ones the
// unevaluated argument node) and returns a value or raises KError with a message that the
// interpreter prefixes with "(in name)".  The mathematics is GiNaC's; what GiNaC cannot do is
// returned unevaluated (int, limit) or done numerically (solve of higher-degree polynomials).

#include <algorithm>
#include <cmath>

#include "KInterpreter.h"
#include "kernel_analysis.h"
#include "kernel_child.h"
#include "kernel_factor.h"
#include "kernel_integrate.h"
#include "kernel_matrix.h"
#include "kernel_series.h"

using namespace GiNaC;

namespace {

using Args = KSeq;

void need(const Args& a, std::size_t lo, std::size_t hi) {
    if (a.size() < lo || a.size() > hi) throw KError("wrong number (or type) of parameters");
}

ex exOf(KInterpreter& k, const KValue& v) { return k.toEx(v, "argument"); }

symbol symOf(const KValue& v, const char* what) {
    if (v.kind == KValue::Expr && is_a<symbol>(v.ex)) return ex_to<symbol>(v.ex);
    throw KError(std::string("invalid ") + what + ": " + kernel_value_text(v));
}

numeric intOf(const KValue& v) {
    if (v.kind == KValue::Expr && is_a<numeric>(v.ex) && ex_to<numeric>(v.ex).is_integer())
        return ex_to<numeric>(v.ex);
    throw KError("integer expected, got " + kernel_value_text(v));
}

// An upper bound on the number of terms the expansion of x has, found without expanding; one
// beyond what any memory holds raises "object too large".  A power of a sum to a positive
// integer n has at most C(terms + n - 1, n) terms; products multiply, sums add; exponents and
// function arguments are expanded on their own, so each is checked by its own call.
constexpr double kMaxExpansionTerms = 1e7;

double expansion_terms(const ex& x) {
    double t = 1;
    if (is_a<add>(x)) {
        t = 0;
        for (std::size_t i = 0; i < x.nops(); ++i) t += expansion_terms(x.op(i));
    } else if (is_a<mul>(x)) {
        for (std::size_t i = 0; i < x.nops(); ++i) t *= expansion_terms(x.op(i));
    } else if (is_a<power>(x)) {
        const double base = expansion_terms(x.op(0));
        const ex& e = x.op(1);
        expansion_terms(e);
        t = base;
        if (base > 1 && is_a<numeric>(e) && ex_to<numeric>(e).is_pos_integer()) {
            // log C(base + n - 1, n) through lgamma, so that huge exponents do not overflow.
            const double n = ex_to<numeric>(e).to_double();
            const double logTerms = std::lgamma(base + n) - std::lgamma(n + 1) - std::lgamma(base);
            if (logTerms > std::log(kMaxExpansionTerms)) throw KError("object too large");
            t = std::exp(logTerms);
        }
    } else {
        for (std::size_t i = 0; i < x.nops(); ++i) expansion_terms(x.op(i));
    }
    if (t > kMaxExpansionTerms) throw KError("object too large");
    return t;
}

// Applies f to every expression inside lists, sets, sequences and relations.
KValue mapEx(const KValue& v, const std::function<ex(const ex&)>& f) {
    switch (v.kind) {
    case KValue::Expr: {
        KValue r(f(v.ex));
        r.digits = v.digits;
        return r;
    }
    case KValue::Seq: case KValue::List: case KValue::Set: case KValue::Rel: case KValue::Range:
    case KValue::And: case KValue::Or: case KValue::Not: {
        KValue r = v;
        for (auto& i : r.items) i = mapEx(i, f);
        return r;
    }
    default: return v;
    }
}

KValue makeSet(const KSeq& items) {
    KSeq unique;
    for (const auto& i : items) {
        bool seen = false;
        for (const auto& u : unique) seen = seen || kernel_value_equal(u, i);
        if (!seen) unique.push_back(i);
    }
    std::stable_sort(unique.begin(), unique.end(), [](const KValue& a, const KValue& b) {
        return kernel_value_text(a) < kernel_value_text(b);
    });
    return KValue::make(KValue::Set, std::move(unique));
}

bool isEquation(const KValue& v) { return v.kind == KValue::Rel && v.rel == DAG_EQUATION; }

// lhs - rhs of an equation, or the expression itself.
ex asZero(KInterpreter& k, const KValue& v) {
    if (isEquation(v)) return exOf(k, v.items[0]) - exOf(k, v.items[1]);
    return exOf(k, v);
}

KSeq elements(const KValue& v) {
    if (v.kind == KValue::Set || v.kind == KValue::List || v.kind == KValue::Seq) return v.items;
    return {v};
}

// ---- solving ----------------------------------------------------------------------------------

// Real roots of a polynomial with numeric coefficients, as floats.
KSeq numericRoots(KInterpreter& k, const ex& p, const symbol& x) {
    KSeq roots;
    for (const numeric& r : kernel_real_roots(k, p, x)) roots.push_back(KValue(r));
    return roots;
}

// sqrt of a rational with square factors taken out (sqrt(8) = 2*sqrt(2)); GiNaC leaves 8^(1/2).
// Square factors are found by trial division up to 10^5, which covers every discriminant a
// user types; larger square factors stay inside the root (still correct, less tidy).
ex tidySqrt(const ex& d) {
    if (!is_a<numeric>(d) || !ex_to<numeric>(d).is_rational()) return sqrt(d);
    numeric q = ex_to<numeric>(d);
    numeric sign = q.is_negative() ? -1 : 1;
    numeric n = abs(q.numer()) * q.denom(), den = q.denom();
    numeric outside = 1;
    for (numeric p = 2; p < 100000 && p * p <= n; p += 1) {
        while (irem(n, p * p).is_zero()) {
            n = iquo(n, p * p);
            outside *= p;
        }
    }
    ex root = n == 1 ? ex(1) : sqrt(ex(n));
    if (sign.is_negative()) root *= I;
    return outside / den * root;
}

KSeq solvePoly(KInterpreter& k, const ex& eq, const symbol& x);

// The three roots of a*x^3+b*x^2+c*x+d by Cardano's formula: with x = t - b/(3a) the cubic is
// t^3 + p*t + q, and t = w*C - p/(3*w*C) for the cube roots of unity w, where C^3 is
// -q/2 + sqrt(q^2/4 + p^3/27) (the other sign when that is 0).  Any cube root C gives the three
// roots, so GiNaC's principal branch is fine.
KSeq cubicRoots(const ex& a, const ex& b, const ex& c, const ex& d) {
    ex p = ((3 * a * c - b * b) / (3 * a * a)).normal();
    ex q = ((2 * b * b * b - 9 * a * b * c + 27 * a * a * d) / (27 * a * a * a)).normal();
    ex shift = -b / (3 * a);
    ex disc = (q * q / 4 + p * p * p / 27).normal();
    KSeq roots;
    ex discValue = disc.evalf();
    if (is_a<numeric>(discValue) && ex_to<numeric>(discValue).is_real() &&
        ex_to<numeric>(discValue).is_negative() && is_a<numeric>(p.evalf())) {
        // Three real roots: the trigonometric form keeps them real (Cardano's radicals would
        // pass through complex numbers and leave rounding noise in the imaginary part).
        ex m = 2 * sqrt(-p / 3);
        ex theta = acos((3 * q / (2 * p) * sqrt(-3 / p)).normal()) / 3;
        for (int k = 0; k < 3; ++k) roots.push_back(KValue((m * cos(theta - 2 * Pi * k / 3) + shift).expand()));
        return roots;
    }
    ex cube = -q / 2 + sqrt(disc);
    if (cube.normal().is_zero()) cube = -q / 2 - sqrt(disc);
    if (cube.normal().is_zero()) {   // p = q = 0: a triple root
        for (int i = 0; i < 3; ++i) roots.push_back(KValue(shift.normal()));
        return roots;
    }
    ex C = pow(cube, numeric(1, 3));
    ex w = numeric(-1, 2) + I * sqrt(ex(3)) / 2;
    for (const ex& u : {ex(1), w, pow(w, 2).expand()}) {
        ex t = p.is_zero() ? u * C : u * C - p / (3 * u * C);
        roots.push_back(KValue((t + shift).expand()));
    }
    return roots;
}

// All roots of one irreducible factor.
KSeq solveFactor(KInterpreter& k, const ex& g, const symbol& x) {
    int d = g.degree(x);
    if (d <= 2) return solvePoly(k, g, x);
    if (d == 3) return cubicRoots(g.coeff(x, 3), g.coeff(x, 2), g.coeff(x, 1), g.coeff(x, 0));
    if (d == 4 && g.coeff(x, 3).is_zero() && g.coeff(x, 1).is_zero()) {
        // A quadratic in x^2.
        symbol y("y_solve");
        KSeq squares = solvePoly(k, g.coeff(x, 4) * y * y + g.coeff(x, 2) * y + g.coeff(x, 0), y);
        KSeq roots;
        for (const KValue& s : squares) {
            ex r = sqrt(s.ex);
            roots.push_back(KValue(r));
            roots.push_back(KValue(-r));
        }
        return roots;
    }
    return {KValue(kernel_inert_call("RootOf", {g.subs(x == kernel_symbol("_Z"))}))};
}

KSeq solvePoly(KInterpreter& k, const ex& eq, const symbol& x) {
    ex p = eq.normal().numer().expand();
    if (!p.is_polynomial(x)) {
        throw KError("cannot solve for " + x.get_name() + ": not a polynomial equation");
    }
    int n = p.degree(x);
    if (n == 0) return {};
    if (n == 1) return {KValue((-p.coeff(x, 0) / p.coeff(x, 1)).normal())};
    if (n == 2) {
        ex a = p.coeff(x, 2), b = p.coeff(x, 1), c = p.coeff(x, 0);
        ex d = tidySqrt((b * b - 4 * a * c).expand());
        ex r1 = ((-b + d) / (2 * a)), r2 = ((-b - d) / (2 * a));
        if (r1.is_equal(r2)) return {KValue(r1), KValue(r2)};
        return {KValue(r1), KValue(r2)};
    }
    // Higher degree: every irreducible factor gives all of its roots, exactly (degree up to 3,
    // and quartics in x^2), or as RootOf(factor) when no formula applies; never a subset.
    // Polynomials with float coefficients cannot be factored: solved as one factor.
    ex f;
    try {
        f = kernel_factor(k, p);
    } catch (const std::exception&) {
        f = p;
    }
    KSeq out;
    auto one = [&](const ex& fac) {
        if (!fac.has(x)) return;
        ex base = is_a<power>(fac) ? fac.op(0) : fac;
        KSeq r = solveFactor(k, base.expand(), x);
        out.insert(out.end(), r.begin(), r.end());
    };
    if (is_a<mul>(f)) for (std::size_t i = 0; i < f.nops(); ++i) one(f.op(i));
    else one(f);
    // GiNaC's order of the factors changes from run to run; roots that are numbers come in
    // the order of their real, then imaginary parts.
    std::vector<std::pair<numeric, numeric>> keys;
    for (const KValue& r : out) {
        ex v = r.ex.evalf();
        if (!is_a<numeric>(v)) return out;
        keys.push_back({ex_to<numeric>(v).real(), ex_to<numeric>(v).imag()});
    }
    std::vector<std::size_t> order(out.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (keys[a].first != keys[b].first) return keys[a].first < keys[b].first;
        return keys[a].second < keys[b].second;
    });
    KSeq sorted;
    for (std::size_t i : order) sorted.push_back(out[i]);
    return sorted;
}

// ---- derivatives of unknown functions ----------------------------------------------------------

bool hasDerivative(const ex& e) {
    return kernel_has_part(e, [](const ex& x) { return kernel_is_exactly<fderivative>(x); });
}

// GiNaC's D[0](f)(u) for a function of one argument that is a name becomes diff(f(u), u);
// any other derivative leaves no way to write it, so the whole derivative stays unevaluated.
ex inertDerivatives(const ex& d) {
    exmap m;
    for (const_preorder_iterator i = d.preorder_begin(); i != d.preorder_end(); ++i) {
        if (!is_a<fderivative>(*i)) continue;
        const fderivative& fd = ex_to<fderivative>(*i);
        if (fd.nops() != 1 || !is_a<symbol>(fd.op(0))) throw KError("derivative not expressible");
        exvector args{kernel_inert_call(fd.get_name(), {fd.op(0)})};
        for (std::size_t n = 0; n < fd.derivatives().size(); ++n) args.push_back(fd.op(0));
        m[*i] = kernel_inert_call("diff", args);
    }
    return d.subs(m, subs_options::no_pattern);
}

KValue solveBuiltin(KInterpreter& k, const Args& a) {
    need(a, 1, 2);
    KSeq eqs = elements(a[0]);
    bool setForm = a[0].kind == KValue::Set || a[0].kind == KValue::List;
    KSeq vars;
    if (a.size() == 2) vars = elements(a[1]);
    else {
        // All names of the equations.
        exset names;
        for (const auto& e : eqs) {
            ex z = asZero(k, e);
            for (const_preorder_iterator i = z.preorder_begin(); i != z.preorder_end(); ++i)
                if (is_a<symbol>(*i)) names.insert(*i);
        }
        for (const auto& s : names) vars.push_back(KValue(s));
    }
    if (eqs.size() == 1 && vars.size() == 1 && !setForm) {
        symbol x = symOf(vars[0], "variable");
        return KValue::seq(solvePoly(k, asZero(k, eqs[0]), x));
    }
    lst le, lv;
    for (const auto& e : eqs) le.append(asZero(k, e) == 0);
    for (const auto& v : vars) lv.append(symOf(v, "variable"));
    ex sol;
    try {
        sol = lsolve(le, lv);
    } catch (const std::logic_error&) {
        if (eqs.size() == 1 && vars.size() == 1) {
            KSeq roots = solvePoly(k, asZero(k, eqs[0]), ex_to<symbol>(lv.op(0)));
            KSeq out;
            for (const auto& r : roots)
                out.push_back(makeSet({KValue::relation(DAG_EQUATION, vars[0], r)}));
            return KValue::seq(out);
        }
        throw KError("cannot solve this nonlinear system");
    }
    if (!is_a<lst>(sol) || sol.nops() == 0) return KValue::seq();   // no solution
    KSeq out;
    for (std::size_t i = 0; i < sol.nops(); ++i)
        out.push_back(KValue::relation(DAG_EQUATION, KValue(sol.op(i).op(0)), KValue(sol.op(i).op(1))));
    return makeSet(out);
}

// ---- limits -----------------------------------------------------------------------------------

KValue limitBuiltin(KInterpreter& k, const Args& a) {
    need(a, 2, 3);
    if (!isEquation(a[1])) throw KError("second argument must be an equation var = point");
    symbol x = symOf(a[1].items[0], "limit variable");
    ex f = exOf(k, a[0]), point = exOf(k, a[1].items[1]);
    int direction = 0;
    std::string dir;
    if (a.size() == 3) {
        if (a[2].kind != KValue::Expr || !kernel_is_name(a[2].ex, &dir) ||
            (dir != "left" && dir != "right" && dir != "real" && dir != "complex"))
            throw KError("the direction must be left, right, real or complex");
        direction = dir == "right" ? 1 : dir == "left" ? -1 : 0;
    }
    bool sidesDiffer = false;
    KLimit r = kernel_limit(f, x, point, direction, &sidesDiffer);
    if (r.kind == KLimit::Finite) return KValue(r.value);
    if (r.kind != KLimit::Unknown) return KValue(r.infinitySign() * kernel_infinity());
    if (sidesDiffer) return KValue(kernel_symbol("undefined"));
    exvector args{f, x == point};
    if (a.size() == 3) args.push_back(a[2].ex);
    return KValue(kernel_inert_call("limit", args));
}

// ---- sequences, sums and products over ranges ---------------------------------------------------

// For seq, sum, product: (expression node, name, list of values).
template <typename F>
KValue overRange(KInterpreter& k, const KNode& argSeq, F combine, KValue start) {
    if (argSeq.type != DAG_EXPSEQ || argSeq.kids.size() != 2)
        throw KError("wrong number (or type) of parameters");
    const KNode& body = *argSeq.kids[0];
    const KNode& spec = *argSeq.kids[1];
    if (spec.type != DAG_EQUATION || spec.kids[0]->type != DAG_NAME)
        throw KError("second argument must be name = range");
    const std::string& name = spec.kids[0]->text;
    KValue over = k.eval(*spec.kids[1]);
    KSeq values;
    if (over.kind == KValue::Range) {
        numeric lo, hi;
        if (over.items[0].kind != KValue::Expr || over.items[1].kind != KValue::Expr ||
            !is_a<numeric>(over.items[0].ex) || !is_a<numeric>(over.items[1].ex))
            throw KError("range bounds must be numbers");
        lo = ex_to<numeric>(over.items[0].ex);
        hi = ex_to<numeric>(over.items[1].ex);
        if (!lo.is_real() || !hi.is_real()) throw KError("range bounds must be real");
        if ((hi - lo) > 10000000) throw KError("range too large");
        for (numeric i = lo; i <= hi; i += 1) values.push_back(KValue(i));
    } else {
        values = elements(over);
    }
    KValue acc = std::move(start);
    for (const auto& v : values) {
        k.step();
        acc = combine(std::move(acc), k.withBinding(name, v, [&] { return k.eval(body); }));
    }
    return acc;
}

KValue seqLazy(KInterpreter& k, const KNode& a) {
    return overRange(k, a, [](KValue acc, const KValue& v) {
        if (v.kind == KValue::Seq) acc.items.insert(acc.items.end(), v.items.begin(), v.items.end());
        else acc.items.push_back(v);
        return acc;
    }, KValue::seq());
}

KValue sumLazy(KInterpreter& k, const KNode& a) {
    return overRange(k, a, [&](const KValue& acc, const KValue& v) {
        return KValue(k.toEx(acc, "sum") + k.toEx(v, "sum"));
    }, KValue(ex(0)));
}

KValue productLazy(KInterpreter& k, const KNode& a) {
    return overRange(k, a, [&](const KValue& acc, const KValue& v) {
        return KValue(k.toEx(acc, "product") * k.toEx(v, "product"));
    }, KValue(ex(1)));
}

// x$n and f(i)$i=a..b
KValue dollarLazy(KInterpreter& k, const KNode& a) {
    if (a.type == DAG_EXPSEQ && a.kids.size() == 2 && a.kids[1]->type == DAG_EQUATION)
        return seqLazy(k, a);
    KValue args = k.evalArgs(a);
    need(args.items, 2, 2);
    numeric n = intOf(args.items[1]);
    if (n > 10000000) throw KError("sequence too long");
    KSeq out;
    for (numeric i = 0; i < n; i += 1) out.push_back(args.items[0]);
    return KValue::seq(out);
}

// ---- integers ---------------------------------------------------------------------------------

KValue ifactorBuiltin(KInterpreter& k, const Args& a) {
    need(a, 1, 1);
    numeric n = intOf(a[0]);
    if (n.is_zero()) return KValue(ex(0));
    ex sign = n.is_negative() ? ex(-1) : ex(1);
    numeric m = abs(n);
    std::vector<std::pair<numeric, long>> factors;
    if (m != 1) factors = kernel_integer_factors(k, m);
    std::sort(factors.begin(), factors.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    ex r = sign;
    for (const auto& f : factors) r *= pow(kernel_inert_call("", {f.first}), f.second);
    return KValue(r);
}

KValue minmax(KInterpreter& k, const Args& a, bool wantMax) {
    if (a.empty()) throw KError("wrong number (or type) of parameters");
    KSeq items;
    for (const auto& v : a) {
        KSeq e = elements(v);
        items.insert(items.end(), e.begin(), e.end());
    }
    numeric best;
    std::size_t bestIndex = 0;
    exvector all;
    bool numericOnly = true;
    for (std::size_t i = 0; i < items.size(); ++i) {
        ex e = exOf(k, items[i]);
        all.push_back(e);
        ex f = e.evalf();
        if (!is_a<numeric>(f) || !ex_to<numeric>(f).is_real()) { numericOnly = false; continue; }
        numeric v = ex_to<numeric>(f);
        if (i == 0 || (wantMax ? v > best : v < best)) { best = v; bestIndex = i; }
    }
    if (!numericOnly) return KValue(kernel_inert_call(wantMax ? "max" : "min", all));
    return items[bestIndex];
}

// ---- interface variables ----------------------------------------------------------------------

KValue interfaceBuiltin(KInterpreter& k, const Args& a) {
    KValue last = KValue::seq();
    for (const auto& v : a) {
        KValue answer;
        if (isEquation(v)) {
            answer = k.sink().reply("SET", {v.items[0], v.items[1]});
        } else {
            answer = k.sink().reply("GET", {v});
        }
        std::string t;
        if (answer.kind == KValue::Expr && kernel_is_name(answer.ex, &t) && t.rfind("Error, ", 0) == 0)
            throw KError(t.substr(7));
        if (!isEquation(v)) last = answer;
    }
    return last;
}

std::string joinText(const Args& a) {
    std::string m;
    for (std::size_t i = 0; i < a.size(); ++i) m += (i ? ", " : "") + kernel_value_text(a[i]);
    return m;
}

// Runs f on e with every fractional power of a non-number replaced by a new symbol, and puts
// the powers back afterwards.  GiNaC's factor would otherwise merge sqrt(x^2) into x, which is
// wrong for negative x.
ex withFrozenRoots(const ex& e, const std::function<ex(const ex&)>& f) {
    exmap freeze, thaw;
    for (const_postorder_iterator i = e.postorder_begin(); i != e.postorder_end(); ++i) {
        if (!is_a<power>(*i) || is_a<numeric>(i->op(0))) continue;
        const ex& n = i->op(1);
        if (is_a<numeric>(n) && ex_to<numeric>(n).is_integer()) continue;
        if (freeze.count(*i)) continue;
        symbol s;
        freeze[*i] = s;
        thaw[s] = *i;
    }
    if (freeze.empty()) return f(e);
    return f(e.subs(freeze, subs_options::no_pattern)).subs(thaw, subs_options::no_pattern);
}

// ---- the tables -------------------------------------------------------------------------------

using Unary = ex (*)(const ex&);

std::map<std::string, KBuiltin> makeBuiltins() {
    std::map<std::string, KBuiltin> b;
    auto unary = [&](const char* name, const std::function<ex(const ex&)>& f) {
        b[name] = [f](KInterpreter& k, const Args& a) {
            need(a, 1, 1);
            return KValue(f(exOf(k, a[0])));
        };
    };
    unary("sin", [](const ex& x) { return sin(x); });
    unary("cos", [](const ex& x) { return cos(x); });
    unary("tan", [](const ex& x) { return tan(x); });
    unary("sec", [](const ex& x) { return 1 / cos(x); });
    unary("csc", [](const ex& x) { return 1 / sin(x); });
    unary("cot", [](const ex& x) { return cos(x) / sin(x); });
    unary("exp", [](const ex& x) { return exp(x); });
    unary("ln", [](const ex& x) { return log(x); });
    unary("log", [](const ex& x) { return log(x); });
    unary("sqrt", [](const ex& x) { return sqrt(x); });
    unary("abs", [](const ex& x) {
        // GiNaC answers a float for an exact complex number; |a+b*I| is sqrt(a^2+b^2) exactly.
        if (is_a<numeric>(x) && ex_to<numeric>(x).is_crational() && !ex_to<numeric>(x).is_real()) {
            const numeric& n = ex_to<numeric>(x);
            return tidySqrt(n.real() * n.real() + n.imag() * n.imag());
        }
        return ex(abs(x));
    });
    unary("arcsin", [](const ex& x) { return asin(x); });
    unary("arccos", [](const ex& x) { return acos(x); });
    unary("sinh", [](const ex& x) { return sinh(x); });
    unary("cosh", [](const ex& x) { return cosh(x); });
    unary("tanh", [](const ex& x) { return tanh(x); });
    unary("arcsinh", [](const ex& x) { return asinh(x); });
    unary("arccosh", [](const ex& x) { return acosh(x); });
    unary("arctanh", [](const ex& x) { return atanh(x); });
    unary("GAMMA", [](const ex& x) { return tgamma(x); });
    unary("Zeta", [](const ex& x) { return zeta(x); });
    auto checkedFactorial = [](const ex& x) {
        // n! has about n*log2(n) bits.
        double bits = 0;
        if (is_a<numeric>(x) && ex_to<numeric>(x).is_pos_integer()) {
            double n = ex_to<numeric>(x).to_double();
            bits = n * std::log2(n + 1);
            kernel_check_integer_bits(bits);
        }
        return kernel_compute(bits > kernel_child_large_integer_bits, x, [&] { return factorial(x); });
    };
    unary("factorial", checkedFactorial);
    unary("!", checkedFactorial);
    unary("expand", [](const ex& x) {
        // Refuses an expansion no memory could hold before it starts; a long one runs where an
        // interrupt can abandon it.
        const double terms = expansion_terms(x);
        return kernel_compute(terms > kernel_child_large_expansion, x, [&] { return x.expand(); });
    });
    unary("normal", [](const ex& x) { return x.normal(); });
    unary("numer", [](const ex& x) { return x.numer(); });
    unary("denom", [](const ex& x) { return x.denom(); });
    b["arctan"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 2);
        return a.size() == 1 ? KValue(atan(exOf(k, a[0]))) : KValue(atan2(exOf(k, a[0]), exOf(k, a[1])));
    };
    b["binomial"] = [](KInterpreter& k, const Args& a) {
        need(a, 2, 2);
        return KValue(binomial(exOf(k, a[0]), exOf(k, a[1])));
    };
    // Structure-preserving versions of the unary algebra for lists, sets and equations.
    for (const char* name : {"expand", "normal", "numer", "denom"}) {
        KBuiltin plain = b[name];
        b[name] = [plain, name = std::string(name)](KInterpreter& k, const Args& a) {
            need(a, 1, 1);
            if (a[0].kind == KValue::Expr) return plain(k, a);
            return mapEx(a[0], [&](const ex& e) { return plain(k, {KValue(e)}).ex; });
        };
    }
    b["factor"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 1);
        return mapEx(a[0], [&](const ex& e) {
            return withFrozenRoots(e, [&](const ex& r) {
                ex nd = r.normal().numer_denom();
                return kernel_factor_quotient(k, nd.op(0), nd.op(1));
            });
        });
    };
    b["simplify"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 1);
        return mapEx(a[0], [&](const ex& e) {
            ex w = wild();
            ex trig = e.subs(pow(sin(w), 2) == 1 - pow(cos(w), 2), subs_options::algebraic).expand();
            std::vector<ex> candidates = {e, e.normal(), e.expand(), trig, trig.normal()};
            try {
                candidates.push_back(withFrozenRoots(e, [&](const ex& r) {
                    ex nd = r.normal().numer_denom();
                    return kernel_factor_quotient(k, nd.op(0), nd.op(1));
                }));
            } catch (const std::exception&) {
            }
            ex best = e;
            std::size_t bestLen = kernel_value_text(KValue(e)).size();
            for (const auto& c : candidates) {
                std::size_t len = kernel_value_text(KValue(c)).size();
                if (len < bestLen) { best = c; bestLen = len; }
            }
            return best;
        });
    };
    b["diff"] = [](KInterpreter& k, const Args& a) {
        if (a.size() < 2) throw KError("wrong number (or type) of parameters");
        KValue r = a[0];
        for (std::size_t i = 1; i < a.size(); ++i) {
            symbol x = symOf(a[i], "differentiation variable");
            r = mapEx(r, [&](const ex& e) {
                k.step();
                ex d = kernel_diff(k, e, x);
                if (!hasDerivative(d)) return d;
                try {
                    return inertDerivatives(d);
                } catch (const KError&) {
                    return kernel_inert_call("diff", {e, x});
                }
            });
        }
        return r;
    };
    b["int"] = [](KInterpreter& k, const Args& a) {
        need(a, 2, 2);
        ex f = exOf(k, a[0]);
        if (isEquation(a[1]) && a[1].items[1].kind == KValue::Range) {
            symbol x = symOf(a[1].items[0], "integration variable");
            ex lo = exOf(k, a[1].items[1].items[0]), hi = exOf(k, a[1].items[1].items[1]);
            // F(hi) - F(lo) holds only without singularities in between: the analysis checks
            // for them and answers infinity, a value, or nothing (the call stays unevaluated).
            ex F = 0, r;
            if (!kernel_integrate(k, f, x, &F)) F = 0;
            if (!f.is_zero() && kernel_definite_integral(k, f, F, x, lo, hi, &r)) return KValue(r);
            if (f.is_zero()) return KValue(ex(0));
            return KValue(kernel_inert_call("int", {f, x == kernel_inert_call("..", {lo, hi})}));
        }
        symbol x = symOf(a[1], "integration variable");
        ex F;
        if (kernel_integrate(k, f, x, &F)) return KValue(F);
        return KValue(kernel_inert_call("int", {f, x}));
    };
    auto seriesBuiltin = [](KInterpreter& k, const Args& a) {
        need(a, 2, 3);
        ex f = exOf(k, a[0]);
        ex point = 0;
        symbol x;
        if (isEquation(a[1])) {
            x = symOf(a[1].items[0], "series variable");
            point = exOf(k, a[1].items[1]);
        } else {
            x = symOf(a[1], "series variable");
        }
        long order = 6;
        if (a.size() == 3) {
            numeric n = intOf(a[2]);
            if (n < 0 || n > 100000) throw KError("invalid order");
            order = n.to_long();
        }
        // A printed series read back: its O(...) term gives the order.
        exmap orderTerms;
        for (const_preorder_iterator i = f.preorder_begin(); i != f.preorder_end(); ++i) {
            if (!is_a<function>(*i) || ex_to<function>(*i).get_name() != "O" || i->nops() != 1) continue;
            ex arg = i->op(0).expand();
            if (arg.is_polynomial(x)) order = std::min(order, long(arg.degree(x)));
            orderTerms[*i] = 0;
        }
        // FLINT's truncated series where the expression allows them, otherwise GiNaC's.
        auto taylor = [&](const ex& g) {
            if (std::optional<ex> s = kernel_taylor_series(g, x, point, int(order))) return *s;
            return g.series(x == point, int(order));
        };
        if (orderTerms.empty()) return KValue(taylor(f));
        f = f.subs(orderTerms, subs_options::no_pattern);
        ex r = taylor(f);
        // A polynomial part is expanded exactly; the O term it came with stays.
        const pseries& ps = ex_to<pseries>(r);
        if (ps.nops() > 0 && is_order_function(ps.coeffop(ps.nops() - 1))) return KValue(r);
        epvector terms;
        for (std::size_t i = 0; i < ps.nops(); ++i) terms.push_back(expair(ps.coeffop(i), ps.exponop(i)));
        terms.push_back(expair(Order(ex(1)), numeric(order)));
        return KValue(pseries(x == point, std::move(terms)));
    };
    b["series"] = seriesBuiltin;
    b["taylor"] = seriesBuiltin;
    b["limit"] = limitBuiltin;
    b["solve"] = solveBuiltin;
    b["fsolve"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 2);
        ex z = asZero(k, a[0]);
        symbol x;
        if (a.size() == 2 && isEquation(a[1]) && a[1].items[1].kind == KValue::Range) {
            x = symOf(a[1].items[0], "variable");
            ex lo = exOf(k, a[1].items[1].items[0]).evalf(), hi = exOf(k, a[1].items[1].items[1]).evalf();
            if (!is_a<numeric>(lo) || !is_a<numeric>(hi) || !ex_to<numeric>(lo).is_real() ||
                !ex_to<numeric>(hi).is_real())
                throw KError("range bounds must be numbers");
            const numeric &l = ex_to<numeric>(lo), &h = ex_to<numeric>(hi);
            ex p = z.normal().numer().expand();
            if (p.is_polynomial(x) && z.normal().denom().is_polynomial(x)) {
                // Every real root in the range, double roots included.
                std::vector<numeric> roots = kernel_real_roots(k, p, x, &l, &h);
                KSeq out;
                for (const numeric& r : roots) out.push_back(KValue(r));
                if (!out.empty()) return KValue::seq(out);
            } else {
                numeric root;
                if (kernel_find_root(k, z, x, l, h, &root)) return KValue(root);
            }
            // No root found: the call stays unevaluated.
            return KValue(kernel_inert_call("fsolve", {z, x == kernel_inert_call("..", {l, h})}));
        }
        if (a.size() == 2) x = symOf(a[1], "variable");
        else {
            for (const_preorder_iterator i = z.preorder_begin(); i != z.preorder_end(); ++i)
                if (is_a<symbol>(*i)) { x = ex_to<symbol>(*i); break; }
        }
        ex p = z.normal().numer().expand();
        if (!p.is_polynomial(x)) throw KError("give a range var = a..b for a non-polynomial equation");
        return KValue::seq(numericRoots(k, p, x));
    };
    b["subs"] = [](KInterpreter& k, const Args& a) {
        if (a.size() < 2) throw KError("wrong number (or type) of parameters");
        KValue r = a.back();
        for (std::size_t i = 0; i + 1 < a.size(); ++i) {
            exmap m;
            for (const auto& e : elements(a[i])) {
                if (!isEquation(e)) throw KError("substitutions must be equations");
                m[exOf(k, e.items[0])] = exOf(k, e.items[1]);
            }
            r = mapEx(r, [&](const ex& e) { return e.subs(m); });
        }
        return r;
    };
    b["eval"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 2);
        if (a.size() == 1) return a[0];
        exmap m;
        for (const auto& e : elements(a[1])) {
            if (!isEquation(e)) throw KError("substitutions must be equations");
            m[exOf(k, e.items[0])] = exOf(k, e.items[1]);
        }
        return mapEx(a[0], [&](const ex& e) { return e.subs(m); });
    };
    b["evalf"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 2);
        long d = k.digits();
        if (a.size() == 2) {
            numeric n = intOf(a[1]);
            if (n < 1 || n > 100000) throw KError("invalid number of digits");
            d = n.to_long();
        }
        KValue r = mapEx(a[0], [&](const ex& e) { return kernel_evalf(k, e, d); });
        r.digits = int(d);
        return r;
    };
    b["evalb"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 1);
        (void)k;
        const KValue& v = a[0];
        if (v.kind != KValue::Rel) return v;
        const KValue &l = v.items[0], &r = v.items[1];
        if (v.rel == DAG_EQUATION || v.rel == DAG_INEQUAT) {
            bool eq = l.kind == KValue::Expr && r.kind == KValue::Expr ? (l.ex - r.ex).is_zero()
                                                                       : kernel_value_equal(l, r);
            return kernel_bool(v.rel == DAG_EQUATION ? eq : !eq);
        }
        ex d = (exOf(k, r) - exOf(k, l)).evalf();
        if (!is_a<numeric>(d) || !ex_to<numeric>(d).is_real()) return v;
        numeric n = ex_to<numeric>(d);
        return kernel_bool(v.rel == DAG_LESSTHAN ? n.is_positive() : !n.is_negative());
    };
    b["nops"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 1);
        (void)k;
        if (a[0].kind == KValue::Expr) {
            const ex& e = a[0].ex;
            bool atomic = is_a<symbol>(e) || is_a<numeric>(e) || is_a<constant>(e);
            return KValue(numeric(atomic ? 1 : long(e.nops())));
        }
        if (a[0].kind == KValue::Str || a[0].kind == KValue::Proc) return KValue(numeric(1));
        return KValue(numeric(long(a[0].items.size())));
    };
    b["op"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 2);
        (void)k;
        const KValue& v = a.back();
        KSeq ops;
        if (v.kind == KValue::Expr) {
            const ex& e = v.ex;
            if (is_a<symbol>(e) || is_a<numeric>(e) || is_a<constant>(e)) ops.push_back(v);
            else for (std::size_t i = 0; i < e.nops(); ++i) ops.push_back(KValue(e.op(i)));
        } else if (v.kind == KValue::Str) {
            ops.push_back(v);
        } else {
            ops = v.items;
        }
        if (a.size() == 1) return KValue::seq(ops);
        numeric i = intOf(a[0]);
        long n = long(ops.size());
        long idx = i.to_long();
        if (idx < 0) idx += n + 1;
        if (idx == 0 && v.kind == KValue::List) return KValue(kernel_symbol("list"));
        if (idx < 1 || idx > n) throw KError("improper op or subscript selector");
        return ops[std::size_t(idx - 1)];
    };
    b["lhs"] = [](KInterpreter&, const Args& a) {
        need(a, 1, 1);
        if (a[0].kind != KValue::Rel && a[0].kind != KValue::Range) throw KError("invalid argument");
        return a[0].items[0];
    };
    b["rhs"] = [](KInterpreter&, const Args& a) {
        need(a, 1, 1);
        if (a[0].kind != KValue::Rel && a[0].kind != KValue::Range) throw KError("invalid argument");
        return a[0].items[1];
    };
    b["coeff"] = [](KInterpreter& k, const Args& a) {
        need(a, 2, 3);
        ex p = exOf(k, a[0]).expand(), v = exOf(k, a[1]);
        int n = 1;
        if (a.size() == 3) n = int(intOf(a[2]).to_long());
        else if (is_a<power>(v) && is_a<numeric>(v.op(1)) && ex_to<numeric>(v.op(1)).is_integer()) {
            n = int(ex_to<numeric>(v.op(1)).to_long());
            v = v.op(0);
        }
        if (!is_a<symbol>(v)) throw KError("invalid variable");
        return KValue(p.coeff(v, n));
    };
    b["degree"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, 2);
        ex p = exOf(k, a[0]).expand();
        if (a.size() == 2) return KValue(numeric(p.degree(exOf(k, a[1]))));
        // Total degree: the largest sum of exponents over the terms.
        long best = 0;
        auto termDegree = [](const ex& t) {
            long d = 0;
            auto one = [&](const ex& f) {
                if (is_a<symbol>(f)) d += 1;
                else if (is_a<power>(f) && is_a<symbol>(f.op(0)) && is_a<numeric>(f.op(1)))
                    d += ex_to<numeric>(f.op(1)).to_long();
            };
            if (is_a<mul>(t)) for (std::size_t i = 0; i < t.nops(); ++i) one(t.op(i));
            else one(t);
            return d;
        };
        if (is_a<add>(p)) for (std::size_t i = 0; i < p.nops(); ++i) best = std::max(best, termDegree(p.op(i)));
        else best = termDegree(p);
        return KValue(numeric(best));
    };
    // gcd and lcm of any number of arguments, folded pairwise.
    b["gcd"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, std::size_t(-1));
        ex r = exOf(k, a[0]);
        for (std::size_t i = 1; i < a.size(); ++i) { k.step(); r = kernel_gcd(k, r, exOf(k, a[i])); }
        return KValue(r);
    };
    b["lcm"] = [](KInterpreter& k, const Args& a) {
        need(a, 1, std::size_t(-1));
        ex r = exOf(k, a[0]);
        for (std::size_t i = 1; i < a.size(); ++i) { k.step(); r = lcm(r, exOf(k, a[i])); }
        return KValue(r);
    };
    b["igcd"] = [](KInterpreter&, const Args& a) {
        need(a, 2, 2);
        return KValue(gcd(intOf(a[0]), intOf(a[1])));
    };
    b["irem"] = [](KInterpreter&, const Args& a) {
        need(a, 2, 2);
        // Machine-size integers (a loop's counters) in machine words: C++'s % truncates toward
        // zero, so its remainder has the dividend's sign, as irem's has.  INT64_MIN % -1 cannot
        // happen: CLN's immediate integers have 62 bits.
        std::int64_t x, y;
        if (a[0].kind == KValue::Expr && a[1].kind == KValue::Expr && kernel_is_exactly<numeric>(a[0].ex) &&
            kernel_is_exactly<numeric>(a[1].ex) && kernel_fixnum(ex_to<numeric>(a[0].ex), &x) &&
            kernel_fixnum(ex_to<numeric>(a[1].ex), &y) && y != 0)
            return KValue(ex(long(x % y)));
        numeric d = intOf(a[1]);
        if (d.is_zero()) throw KError("division by zero");
        return KValue(irem(intOf(a[0]), d));
    };
    b["iquo"] = [](KInterpreter&, const Args& a) {
        need(a, 2, 2);
        numeric d = intOf(a[1]);
        if (d.is_zero()) throw KError("division by zero");
        return KValue(iquo(intOf(a[0]), d));
    };
    b["mod"] = [](KInterpreter&, const Args& a) {
        need(a, 2, 2);
        numeric d = intOf(a[1]);
        if (d.is_zero()) throw KError("division by zero");
        return KValue(mod(intOf(a[0]), abs(d)));
    };
    b["ifactor"] = ifactorBuiltin;
    b["isprime"] = [](KInterpreter&, const Args& a) {
        need(a, 1, 1);
        numeric n = intOf(a[0]);
        return kernel_bool(kernel_is_probable_prime(n));
    };
    b["max"] = [](KInterpreter& k, const Args& a) { return minmax(k, a, true); };
    b["min"] = [](KInterpreter& k, const Args& a) { return minmax(k, a, false); };
    b["print"] = [](KInterpreter& k, const Args& a) {
        k.sink().reply("PRINT", a);
        return KValue::seq();
    };
    b["lprint"] = [](KInterpreter& k, const Args& a) {
        k.sink().reply("LPRINT", a);
        return KValue::seq();
    };
    b["ERROR"] = [](KInterpreter&, const Args& a) -> KValue { throw KError(joinText(a)); };
    b["interface"] = interfaceBuiltin;
    b["readlib"] = [](KInterpreter&, const Args& a) {
        need(a, 1, 1);
        std::string name;
        if (a[0].kind == KValue::Str) name = a[0].text;
        else if (a[0].kind != KValue::Expr || !kernel_is_name(a[0].ex, &name))
            throw KError("library name expected");
        if (name == "context/init") {
            // Session start-up: a procedure that tells the help system the library folders.
            auto p = std::make_shared<KProc>();
            auto body = std::make_shared<KNode>();
            body->type = DAG_STATSEQ;
            auto call = std::make_shared<KNode>(), callee = std::make_shared<KNode>(), args = std::make_shared<KNode>();
            call->type = DAG_FUNCTION;
            callee->type = DAG_NAME;
            callee->text = "context/init/help";
            args->type = DAG_EXPSEQ;
            call->kids = {callee, args};
            body->kids.push_back(call);
            p->body = body;
            p->name = name;
            KValue v;
            v.kind = KValue::Proc;
            v.proc = p;
            return v;
        }
        if (kernel_find_builtin(name) || kernel_find_lazy_builtin(name)) return KValue(kernel_symbol(name));
        throw KError("could not find library function " + name);
    };
    b["union"] = [](KInterpreter&, const Args& a) {
        KSeq all;
        for (const auto& s : a) {
            if (s.kind != KValue::Set) throw KError("sets expected");
            all.insert(all.end(), s.items.begin(), s.items.end());
        }
        return makeSet(all);
    };
    b["intersect"] = [](KInterpreter&, const Args& a) {
        if (a.empty()) throw KError("wrong number (or type) of parameters");
        for (const auto& s : a) if (s.kind != KValue::Set) throw KError("sets expected");
        KSeq r = a[0].items;
        for (std::size_t i = 1; i < a.size(); ++i) {
            KSeq keep;
            for (const auto& x : r)
                for (const auto& y : a[i].items)
                    if (kernel_value_equal(x, y)) { keep.push_back(x); break; }
            r = keep;
        }
        return makeSet(r);
    };
    b["minus"] = [](KInterpreter&, const Args& a) {
        need(a, 2, 2);
        if (a[0].kind != KValue::Set || a[1].kind != KValue::Set) throw KError("sets expected");
        KSeq r;
        for (const auto& x : a[0].items) {
            bool found = false;
            for (const auto& y : a[1].items) found = found || kernel_value_equal(x, y);
            if (!found) r.push_back(x);
        }
        return makeSet(r);
    };
    kernel_add_plot_builtins(b);
    kernel_add_help_builtins(b);
    kernel_add_matrix_builtins(b);
    return b;
}

std::map<std::string, KLazyBuiltin> makeLazy() {
    std::map<std::string, KLazyBuiltin> b;
    b["seq"] = seqLazy;
    b["sum"] = sumLazy;
    b["add"] = sumLazy;
    b["product"] = productLazy;
    b["mul"] = productLazy;
    b["$"] = dollarLazy;
    kernel_add_context_builtins(b);
    kernel_add_sheet_builtins(b);
    kernel_add_help_lazy_builtins(b);
    kernel_add_smartplot_builtins(b);
    return b;
}

}  // namespace

const KBuiltin* kernel_find_builtin(const std::string& name) {
    static const std::map<std::string, KBuiltin> table = makeBuiltins();
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

const KLazyBuiltin* kernel_find_lazy_builtin(const std::string& name) {
    static const std::map<std::string, KLazyBuiltin> table = makeLazy();
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}
