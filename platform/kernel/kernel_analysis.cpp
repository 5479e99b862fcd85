// Limits, definite integrals, real roots, quadrature and float evaluation; see kernel_analysis.h.

#include "kernel_analysis.h"

#include <algorithm>

#include <cln/rational.h>
#include <cln/float.h>
#include <cln/real.h>

using namespace GiNaC;

namespace {

long shownDigits = 10;

// The sign of a real expression: -1, 0 or 1; false when it is not a known real number.
bool realSign(const ex& e, int* sign) {
    if (e.is_zero()) { *sign = 0; return true; }
    ex v;
    try {
        v = e.evalf();
    } catch (const std::exception&) {
        return false;
    }
    if (!is_a<numeric>(v) || !ex_to<numeric>(v).is_real()) return false;
    const numeric& n = ex_to<numeric>(v);
    *sign = n.is_zero() ? 0 : n.is_positive() ? 1 : -1;
    if (*sign == 0 && !e.normal().is_zero()) return false;   // too small to tell at this precision
    return true;
}

bool isFinite(const ex& v) {
    return !v.has(kernel_infinity()) && !v.has(kernel_symbol("undefined"));
}

// ---- limits at infinity, by the structure of the expression ---------------------------------------

KLimit atInfinity(const ex& e, const symbol& x, int s);

KLimit rationalAtInfinity(const ex& num, const ex& den, const symbol& x, int s) {
    int m = num.degree(x), n = den.degree(x);
    ex ratio = num.lcoeff(x) / den.lcoeff(x);
    if (ratio.has(x)) return KLimit::unknown();
    if (m < n) return KLimit::finite(0);
    if (m == n) return KLimit::finite(ratio.normal());
    int sign;
    if (!realSign(ratio, &sign) || sign == 0) return KLimit::unknown();
    if (s < 0 && (m - n) % 2 != 0) sign = -sign;
    return KLimit::infinite(sign);
}

KLimit atInfinity(const ex& e, const symbol& x, int s) {
    if (!e.has(x)) return KLimit::finite(e);
    if (e.is_equal(x)) return KLimit::infinite(s);
    try {
        ex nd = e.normal().numer_denom();
        if (nd.op(0).is_polynomial(x) && nd.op(1).is_polynomial(x))
            return rationalAtInfinity(nd.op(0).expand(), nd.op(1).expand(), x, s);
    } catch (const std::exception&) {
    }
    if (is_a<add>(e)) {
        ex sum = 0;
        int inf = 0;
        for (std::size_t i = 0; i < e.nops(); ++i) {
            KLimit t = atInfinity(e.op(i), x, s);
            if (t.kind == KLimit::Unknown) return t;
            if (t.kind == KLimit::Finite) { sum += t.value; continue; }
            if (inf != 0 && inf != t.infinitySign()) return KLimit::unknown();
            inf = t.infinitySign();
        }
        return inf != 0 ? KLimit::infinite(inf) : KLimit::finite(sum);
    }
    if (is_a<mul>(e)) {
        ex product = 1;
        int inf = 0;
        for (std::size_t i = 0; i < e.nops(); ++i) {
            KLimit t = atInfinity(e.op(i), x, s);
            if (t.kind == KLimit::Unknown) return t;
            if (t.kind == KLimit::Finite) product *= t.value;
            else inf = (inf == 0 ? 1 : inf) * t.infinitySign();
        }
        if (inf == 0) return KLimit::finite(product);
        int sign;
        if (!realSign(product, &sign) || sign == 0) return KLimit::unknown();
        return KLimit::infinite(inf * sign);
    }
    if (is_a<power>(e)) {
        const ex &b = e.op(0), &n = e.op(1);
        if (n.has(x)) {
            // c^u with a positive constant c: exp(u*ln(c)).
            int sign;
            if (b.has(x) || !realSign(b, &sign) || sign <= 0) return KLimit::unknown();
            return atInfinity(exp(n * log(b)), x, s);
        }
        KLimit base = atInfinity(b, x, s);
        if (base.kind == KLimit::Unknown || !is_a<numeric>(n) || !ex_to<numeric>(n).is_real())
            return KLimit::unknown();
        const numeric& p = ex_to<numeric>(n);
        if (base.kind == KLimit::Finite) {
            if (base.value.is_zero() && !p.is_positive()) return KLimit::unknown();
            return KLimit::finite(pow(base.value, n));
        }
        if (p.is_negative()) return KLimit::finite(0);
        if (base.kind == KLimit::PlusInfinity) return KLimit::infinite(1);
        if (!p.is_integer()) return KLimit::unknown();
        return KLimit::infinite(p.is_even() ? 1 : -1);
    }
    if (is_a<function>(e) && e.nops() == 1) {
        std::string name = ex_to<function>(e).get_name();
        KLimit a = atInfinity(e.op(0), x, s);
        if (a.kind == KLimit::Unknown) return a;
        if (a.kind == KLimit::Finite) {
            try {
                return KLimit::finite(function(ex_to<function>(e).get_serial(), a.value));
            } catch (const std::exception&) {
                return KLimit::unknown();
            }
        }
        int sign = a.infinitySign();
        if (name == "exp") return sign > 0 ? KLimit::infinite(1) : KLimit::finite(0);
        if (name == "log") return sign > 0 ? KLimit::infinite(1) : KLimit::unknown();
        if (name == "atan") return KLimit::finite(sign * Pi / 2);
        if (name == "tanh") return KLimit::finite(sign);
        if (name == "sinh") return KLimit::infinite(sign);
        if (name == "cosh") return KLimit::infinite(1);
        if (name == "asinh") return KLimit::infinite(sign);
        return KLimit::unknown();
    }
    return KLimit::unknown();
}

// The limit at a finite point from the leading term of the series there.
KLimit seriesLimit(const ex& f, const symbol& x, const ex& a, int direction, bool* sidesDiffer) {
    for (int order : {4, 10, 24}) {
        ex s;
        try {
            s = f.series(x == a, order);
        } catch (const std::exception&) {
            return KLimit::unknown();
        }
        if (!is_a<pseries>(s)) return KLimit::unknown();
        const pseries& ps = ex_to<pseries>(s);
        if (ps.nops() == 0) return KLimit::finite(0);
        ex c = ps.coeffop(0), e = ps.exponop(0);
        if (!is_a<numeric>(e) || !ex_to<numeric>(e).is_real()) return KLimit::unknown();
        const numeric& n = ex_to<numeric>(e);
        if (is_order_function(c)) {
            // O((x-a)^n) with n > 0 tends to 0; otherwise look further.
            if (n.is_positive()) return KLimit::finite(0);
            continue;
        }
        if (c.has(x)) return KLimit::unknown();
        if (n.is_positive()) return KLimit::finite(0);
        if (n.is_zero()) return KLimit::finite(c);
        int sign;
        if (!realSign(c, &sign) || sign == 0) return KLimit::unknown();
        int right = sign, left = 0;
        if (n.is_integer()) left = n.is_even() ? sign : -sign;
        if (direction > 0) return KLimit::infinite(right);
        if (direction < 0) return left != 0 ? KLimit::infinite(left) : KLimit::unknown();
        if (left == right) return KLimit::infinite(right);
        if (left != 0 && sidesDiffer) *sidesDiffer = true;
        return KLimit::unknown();
    }
    return KLimit::unknown();
}

// ---- polynomials and their real roots ----------------------------------------------------------

// Exact rational value of a real numeric (floats exactly as stored).
numeric rationalOf(const numeric& n) {
    if (n.is_rational()) return n;
    return numeric(cln::rational(cln::the<cln::cl_R>(n.to_cl_N())));
}

// p with every coefficient made rational (exact irrational coefficients by their value at the
// working precision); false when a coefficient is not a real number.
bool rationalPolynomial(const ex& p, const symbol& x, ex* out) {
    ex q = p.expand();
    if (!q.is_polynomial(x)) return false;
    int n = q.degree(x);
    ex r = 0;
    for (int i = 0; i <= n; ++i) {
        ex c = q.coeff(x, i);
        if (c.has(x)) return false;
        ex v = is_a<numeric>(c) ? c : c.evalf();
        if (!is_a<numeric>(v) || !ex_to<numeric>(v).is_real()) return false;
        r += rationalOf(ex_to<numeric>(v)) * pow(x, i);
    }
    *out = r;
    return true;
}

struct Sturm {
    std::vector<ex> seq;
    symbol x;

    Sturm(const ex& p, const symbol& var) : x(var) {
        seq.push_back(p);
        seq.push_back(p.diff(x));
        while (!seq.back().is_zero() && seq.back().degree(x) > 0) {
            ex r = (-rem(seq[seq.size() - 2], seq.back(), x)).expand();
            if (r.is_zero()) break;
            seq.push_back(r);
        }
    }
    // Sign changes at a rational point, or at +-infinity (infinitySign).
    int variations(const numeric& at, int infinitySign = 0) const {
        int count = 0, last = 0;
        for (const ex& q : seq) {
            int s;
            if (infinitySign != 0) {
                numeric lc = ex_to<numeric>(q.lcoeff(x));
                s = lc.is_positive() ? 1 : -1;
                if (infinitySign < 0 && q.degree(x) % 2 != 0) s = -s;
            } else {
                numeric v = ex_to<numeric>(q.subs(x == at));
                s = v.is_zero() ? 0 : v.is_positive() ? 1 : -1;
            }
            if (s == 0) continue;
            if (last != 0 && s != last) ++count;
            last = s;
        }
        return count;
    }
};

// A point of a range: a real number or +-infinity.
struct Point {
    int inf = 0;   // +-1 for +-infinity
    ex value;
};

bool pointOf(const ex& e, Point* p) {
    p->inf = kernel_infinity_sign(e);
    p->value = e;
    if (p->inf != 0) return true;
    int sign;
    return realSign(e, &sign);
}

// a - b as a sign; both real points.
int comparePoints(const Point& a, const Point& b) {
    if (a.inf != 0 || b.inf != 0) return a.inf == b.inf ? 0 : a.inf > b.inf ? 1 : -1;
    int s = 0;
    ex d = a.value - b.value;
    if (!realSign(d, &s)) s = 0;
    return s;
}

// A rational number strictly on the inside of a finite point, for Sturm counts: the point itself
// when rational.
bool rationalPoint(const ex& v, numeric* out) {
    ex f = v.evalf();
    if (is_a<numeric>(v) && ex_to<numeric>(v).is_rational()) { *out = ex_to<numeric>(v); return true; }
    if (!is_a<numeric>(f) || !ex_to<numeric>(f).is_real()) return false;
    *out = rationalOf(ex_to<numeric>(f));
    return true;
}

// Real zeros of a polynomial in [lo, hi]: exact for factors of degree up to 2; false when a
// factor of higher degree has a zero there, or the coefficients are not numbers.
bool zerosIn(const ex& poly, const symbol& x, const Point& lo, const Point& hi, std::vector<ex>* zeros) {
    ex p = poly.expand();
    if (!p.has(x)) return true;
    if (!p.is_polynomial(x)) return false;
    ex f;
    try {
        f = factor(p);
    } catch (const std::exception&) {
        return false;
    }
    exvector factors;
    if (is_a<mul>(f)) factors.assign(f.begin(), f.end());
    else factors.push_back(f);
    for (ex g : factors) {
        if (is_a<power>(g)) g = g.op(0);
        if (!g.has(x)) continue;
        g = g.expand();
        int d = g.degree(x);
        for (int i = 0; i <= d; ++i) {
            int s;
            if (!realSign(g.coeff(x, i), &s)) return false;
        }
        std::vector<ex> candidates;
        if (d == 1) {
            candidates.push_back((-g.coeff(x, 0) / g.coeff(x, 1)).normal());
        } else if (d == 2) {
            ex a = g.coeff(x, 2), b = g.coeff(x, 1), c = g.coeff(x, 0);
            ex disc = (b * b - 4 * a * c).expand();
            int s;
            if (!realSign(disc, &s)) return false;
            if (s >= 0) {
                candidates.push_back(((-b + sqrt(disc)) / (2 * a)).normal());
                if (s > 0) candidates.push_back(((-b - sqrt(disc)) / (2 * a)).normal());
            }
        } else {
            ex r;
            if (!rationalPolynomial(g, x, &r)) return false;
            Sturm st(r, x);
            numeric a, b;
            int va = lo.inf != 0 ? st.variations(0, lo.inf) : 0;
            int vb = hi.inf != 0 ? st.variations(0, hi.inf) : 0;
            if (lo.inf == 0) {
                if (!rationalPoint(lo.value, &a)) return false;
                va = st.variations(a);
                if (ex_to<numeric>(r.subs(x == a)).is_zero()) return false;
            }
            if (hi.inf == 0) {
                if (!rationalPoint(hi.value, &b)) return false;
                vb = st.variations(b);
            }
            if (va - vb != 0) return false;
            continue;
        }
        for (const ex& z : candidates) {
            Point pz{0, z};
            if (comparePoints(pz, lo) >= 0 && comparePoints(pz, hi) <= 0) zeros->push_back(z);
        }
    }
    return true;
}

bool entireFunction(const std::string& name) {
    static const char* const names[] = {"exp", "sin", "cos", "sinh", "cosh", "atan", "asinh", "tanh", "abs"};
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

// The points of [lo, hi] where f may be singular (zeros of denominators, of the arguments of
// logarithms and of the bases of fractional powers); false when they cannot be located.
bool singularPoints(const ex& f, const symbol& x, const Point& lo, const Point& hi, std::vector<ex>* pts) {
    if (!f.has(x)) return true;
    if (is_a<symbol>(f)) return true;
    if (is_a<add>(f) || is_a<mul>(f)) {
        for (std::size_t i = 0; i < f.nops(); ++i)
            if (!singularPoints(f.op(i), x, lo, hi, pts)) return false;
        return true;
    }
    if (is_a<power>(f)) {
        const ex &b = f.op(0), &n = f.op(1);
        if (n.has(x)) {
            int s;
            if (b.has(x) || !realSign(b, &s) || s <= 0) return false;
            return singularPoints(n, x, lo, hi, pts);
        }
        if (!(is_a<numeric>(n) && ex_to<numeric>(n).is_pos_integer())) {
            if (!b.is_polynomial(x) || !zerosIn(b, x, lo, hi, pts)) return false;
        }
        return singularPoints(b, x, lo, hi, pts);
    }
    if (is_a<function>(f)) {
        std::string name = ex_to<function>(f).get_name();
        if (name == "log" && f.nops() == 1) {
            if (!f.op(0).is_polynomial(x) || !zerosIn(f.op(0), x, lo, hi, pts)) return false;
            return singularPoints(f.op(0), x, lo, hi, pts);
        }
        if (!entireFunction(name)) return false;
        for (std::size_t i = 0; i < f.nops(); ++i)
            if (!singularPoints(f.op(i), x, lo, hi, pts)) return false;
        return true;
    }
    return false;
}

// Whether the integral of f diverges on one side of p: 0 when it converges there, +-1 when it
// diverges to +-infinity, 2 when that is not known.
int sideDivergence(const ex& f, const symbol& x, const ex& p, int side) {
    ex s;
    try {
        s = f.series(x == p, 3);
    } catch (const std::exception&) {
        return 2;
    }
    if (!is_a<pseries>(s)) return 2;
    const pseries& ps = ex_to<pseries>(s);
    if (ps.nops() == 0) return 0;
    ex c = ps.coeffop(0), e = ps.exponop(0);
    if (!is_a<numeric>(e) || !ex_to<numeric>(e).is_real()) return 2;
    const numeric& n = ex_to<numeric>(e);
    if (n > -1) return is_order_function(c) || !c.has(x) ? 0 : 2;
    if (is_order_function(c) || c.has(x)) return 2;
    int sign;
    if (!realSign(c, &sign) || sign == 0) return 2;
    if (side < 0) {
        if (!n.is_integer()) return 2;
        if (!n.is_even()) sign = -sign;
    }
    return sign;
}

// The value of F approached at p from `side`.
KLimit valueAt(const ex& F, const symbol& x, const Point& p, int side, bool singular) {
    if (p.inf != 0) return kernel_limit(F, x, p.value, 0);
    if (!singular) {
        try {
            ex v = F.subs(x == p.value);
            if (!v.has(x) && isFinite(v)) return KLimit::finite(v);
        } catch (const std::exception&) {
        }
    }
    return kernel_limit(F, x, p.value, side);
}

numeric powerOfTen(long n) { return pow(numeric(10), numeric(n)); }

numeric evalNumeric(const ex& f, const symbol& x, const numeric& at) {
    ex v = f.subs(x == at).evalf();
    if (!is_a<numeric>(v)) throw KError("the integrand is not numeric at " + kernel_value_text(KValue(at)));
    return ex_to<numeric>(v);
}

bool closeEnough(const numeric& a, const numeric& b, long digits) {
    numeric d = abs(a - b);
    if (d.is_zero()) return true;
    numeric m = std::max(abs(a), abs(b));
    return d <= m * powerOfTen(-(digits + 2));
}

}  // namespace

// ---- digits ----------------------------------------------------------------------------------------

long kernel_working_digits(long shown) { return std::max(shown + 10, 20L); }
long kernel_shown_digits() { return shownDigits; }
void kernel_set_digits(long shown) {
    shownDigits = shown;
    GiNaC::Digits = kernel_working_digits(shown);
}

ex kernel_infinity() { return kernel_symbol("infinity"); }

int kernel_infinity_sign(const ex& e) {
    ex inf = kernel_infinity();
    if (e.is_equal(inf)) return 1;
    if ((-e).is_equal(inf)) return -1;
    return 0;
}

KLimit kernel_limit(const ex& f, const symbol& x, const ex& point, int direction, bool* sidesDiffer) {
    if (!f.has(x)) return KLimit::finite(f);
    int s = kernel_infinity_sign(point);
    if (s != 0) {
        KLimit r = atInfinity(f, x, s);
        if (r.kind != KLimit::Unknown) return r;
        symbol t("t_limit");
        return seriesLimit(f.subs(x == s / t), t, 0, 1, nullptr);
    }
    try {
        ex v = f.subs(x == point);
        if (!v.has(x) && isFinite(v)) return KLimit::finite(v);
    } catch (const std::exception&) {
    }
    return seriesLimit(f, x, point, direction, sidesDiffer);
}

bool kernel_definite_integral(KInterpreter& k, const ex& f, const ex& F, const symbol& x, const ex& lo,
                              const ex& hi, ex* out) {
    Point a, b;
    bool numericRange = pointOf(lo, &a) && pointOf(hi, &b);
    if (!numericRange) {
        // Symbolic limits: only an integrand without singular points on the whole real line.
        std::vector<ex> pts;
        Point all0{-1, -kernel_infinity()}, all1{1, kernel_infinity()};
        if (F.is_zero() && !f.is_zero()) return false;
        if (lo.has(kernel_infinity()) || hi.has(kernel_infinity())) return false;
        if (!singularPoints(f, x, all0, all1, &pts) || !pts.empty()) return false;
        *out = (F.subs(x == hi) - F.subs(x == lo)).normal();
        return true;
    }
    int order = comparePoints(a, b);
    if (order == 0) { *out = 0; return true; }
    if (order > 0) {
        ex r;
        if (!kernel_definite_integral(k, f, F, x, hi, lo, &r)) return false;
        *out = -r;
        return true;
    }
    std::vector<ex> pts;
    if (!singularPoints(f, x, a, b, &pts)) return false;
    // Sorted, without repeats.
    std::vector<Point> sing;
    for (const ex& p : pts) {
        Point q{0, p};
        bool seen = false;
        for (const Point& s : sing) seen = seen || comparePoints(s, q) == 0;
        if (!seen) sing.push_back(q);
    }
    std::sort(sing.begin(), sing.end(), [](const Point& u, const Point& v) { return comparePoints(u, v) < 0; });
    // A pole of order one or more makes the integral diverge; its sign must be the same
    // everywhere to be known.
    int divergence = 0;
    for (const Point& p : sing) {
        for (int side : {-1, 1}) {
            if (side < 0 && comparePoints(p, a) <= 0) continue;
            if (side > 0 && comparePoints(p, b) >= 0) continue;
            k.step();
            int d = sideDivergence(f, x, p.value, side);
            if (d == 2) return false;
            if (d == 0) continue;
            if (divergence != 0 && divergence != d) return false;
            divergence = d;
        }
    }
    if (divergence != 0) {
        *out = divergence * kernel_infinity();
        return true;
    }
    std::vector<Point> cuts;
    cuts.push_back(a);
    for (const Point& p : sing)
        if (comparePoints(p, a) > 0 && comparePoints(p, b) < 0) cuts.push_back(p);
    cuts.push_back(b);
    auto isSingular = [&](const Point& p) {
        for (const Point& s : sing)
            if (comparePoints(s, p) == 0) return true;
        return false;
    };
    if (F.is_zero() && !f.is_zero()) {
        // No antiderivative: a number, over a finite range only.
        if (a.inf != 0 || b.inf != 0) return false;
        numeric total = 0;
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            ex u = cuts[i].value.evalf(), v = cuts[i + 1].value.evalf();
            total += kernel_quadrature(k, f, x, ex_to<numeric>(u), ex_to<numeric>(v));
        }
        *out = total;
        return true;
    }
    ex total = 0;
    int inf = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        k.step();
        KLimit upper = valueAt(F, x, cuts[i + 1], -1, isSingular(cuts[i + 1]));
        KLimit lower = valueAt(F, x, cuts[i], 1, isSingular(cuts[i]));
        for (auto [lim, sign] : {std::pair{upper, 1}, std::pair{lower, -1}}) {
            if (lim.kind == KLimit::Unknown) return false;
            if (lim.kind == KLimit::Finite) { total += sign * lim.value; continue; }
            int s = sign * lim.infinitySign();
            if (inf != 0 && inf != s) return false;
            inf = s;
        }
    }
    *out = inf != 0 ? inf * kernel_infinity() : total.normal();
    return true;
}

std::vector<numeric> kernel_real_roots(KInterpreter& k, const ex& p, const symbol& x, const numeric* lo,
                                       const numeric* hi) {
    ex r;
    if (!rationalPolynomial(p, x, &r)) throw KError("the coefficients are not real numbers");
    std::vector<numeric> roots;
    if (r.degree(x) < 1) return roots;
    // Square-free part: every real root is simple and shows as a sign change.
    ex g = gcd(r, r.diff(x));
    ex q = quo(r, g, x).expand();
    int n = q.degree(x);
    numeric lead = ex_to<numeric>(q.coeff(x, n));
    numeric bound = 1;
    for (int i = 0; i < n; ++i) bound = std::max(bound, numeric(1) + abs(ex_to<numeric>(q.coeff(x, i)) / lead));
    numeric a = -bound, b = bound;
    if (lo) a = std::max(a, rationalOf(*lo));
    if (hi) b = std::min(b, rationalOf(*hi));
    if (a > b) return roots;
    Sturm st(q, x);
    auto value = [&](const numeric& t) { return ex_to<numeric>(q.subs(x == t)); };
    if (value(a).is_zero()) roots.push_back(a);
    // Isolate: intervals (u, v] holding exactly one root.
    std::vector<std::pair<numeric, numeric>> todo{{a, b}}, isolated;
    while (!todo.empty()) {
        k.step();
        auto [u, v] = todo.back();
        todo.pop_back();
        int count = st.variations(u) - st.variations(v);
        if (count == 0) continue;
        if (count == 1) { isolated.push_back({u, v}); continue; }
        numeric m = (u + v) / 2;
        todo.push_back({u, m});
        todo.push_back({m, v});
    }
    for (auto [u, v] : isolated) {
        if (value(v).is_zero()) { roots.push_back(v); continue; }
        // Move u off a root of its own, keeping one root inside.
        while (value(u).is_zero()) {
            k.step();
            numeric m = (u + v) / 2;
            if (st.variations(m) - st.variations(v) == 1) u = m;
            else v = m;
        }
        numeric root;
        if (!kernel_find_root(k, q, x, u, v, &root)) throw KError("root refinement failed");
        roots.push_back(root);
    }
    std::sort(roots.begin(), roots.end(), [](const numeric& u, const numeric& v) { return u < v; });
    for (auto& t : roots) t = numeric(cln::cl_float(cln::the<cln::cl_R>(t.to_cl_N()), cln::float_format(GiNaC::Digits)));
    return roots;
}

bool kernel_find_root(KInterpreter& k, const ex& f, const symbol& x, const numeric& lo, const numeric& hi,
                      numeric* root) {
    numeric a = ex_to<numeric>(lo.evalf()), b = ex_to<numeric>(hi.evalf());
    auto value = [&](const numeric& t) {
        numeric v = evalNumeric(f, x, t);
        if (!v.is_real()) throw KError("the function is not real in the range");
        return v;
    };
    numeric fa = value(a), fb = value(b);
    if (fa.is_zero()) { *root = a; return true; }
    if (fb.is_zero()) { *root = b; return true; }
    if (fa.is_positive() == fb.is_positive()) {
        // No sign change at the ends: look for one inside.
        const int pieces = 64;
        numeric step = (b - a) / pieces, u = a, fu = fa;
        bool found = false;
        for (int i = 1; i <= pieces && !found; ++i) {
            k.step();
            numeric v = i == pieces ? b : a + step * i, fv = value(v);
            if (fv.is_zero()) { *root = v; return true; }
            if (fu.is_positive() != fv.is_positive()) { a = u; fa = fu; b = v; fb = fv; found = true; }
            u = v;
            fu = fv;
        }
        if (!found) return false;
    }
    // Illinois regula falsi, with a bisection whenever it makes poor progress.
    numeric tolerance = powerOfTen(-(GiNaC::Digits - 2));
    int side = 0;
    for (int i = 0; i < 100000; ++i) {
        k.step();
        numeric width = abs(b - a);
        if (width <= tolerance * std::max(abs(a), abs(b)) || width.is_zero()) break;
        numeric c = (a * fb - b * fa) / (fb - fa);
        if (i % 4 == 3 || !(c > std::min(a, b) && c < std::max(a, b))) c = (a + b) / 2;
        numeric fc = value(c);
        if (fc.is_zero()) { a = b = c; break; }
        if (fc.is_positive() == fb.is_positive()) {
            b = c;
            fb = fc;
            if (side == -1) fa /= 2;
            side = -1;
        } else {
            a = c;
            fa = fc;
            if (side == 1) fb /= 2;
            side = 1;
        }
    }
    *root = abs(fa) < abs(fb) ? a : b;
    return true;
}

numeric kernel_quadrature(KInterpreter& k, const ex& f, const symbol& x, const numeric& lo, const numeric& hi) {
    // Double exponential (tanh-sinh) rule on [lo, hi]; nodes near the ends are placed by their
    // distance to the end, so that integrable end singularities are never met exactly.
    long digits = kernel_shown_digits();
    numeric a = ex_to<numeric>(lo.evalf()), b = ex_to<numeric>(hi.evalf());
    numeric half = (b - a) / 2, mid = (a + b) / 2;
    numeric halfPi = ex_to<numeric>((Pi / 2).evalf());
    numeric tiny = powerOfTen(-(GiNaC::Digits + 5));
    // Sum of w*f over the nodes k*h for odd k (or every k at the first level).
    auto levelSum = [&](const numeric& h, bool all) {
        numeric sum = 0;
        if (all) sum = halfPi * evalNumeric(f, x, mid);
        for (long j = 1;; j += all ? 1 : 2) {
            k.step();
            numeric t = h * j;
            numeric u = halfPi * sinh(t);
            numeric e2u = exp(2 * u);
            numeric c = 2 / (e2u + 1);                  // 1 - tanh(u)
            numeric coshU = (exp(u) + exp(-u)) / 2;
            numeric w = halfPi * cosh(t) / (coshU * coshU);
            if (w < tiny || c < tiny) break;
            numeric dx = half * c;
            sum += w * (evalNumeric(f, x, b - dx) + evalNumeric(f, x, a + dx));
            if (j > 100000) throw KError("numeric integration does not settle");
        }
        return sum;
    };
    numeric h = numeric(1, 2);
    numeric sum = levelSum(h, true);
    numeric previous = half * h * sum;
    for (int level = 0; level < 12; ++level) {
        h /= 2;
        sum += levelSum(h, false);
        numeric current = half * h * sum;
        if (closeEnough(current, previous, digits)) return current;
        previous = current;
    }
    throw KError("numeric integration does not settle to the requested digits");
}

ex kernel_evalf(KInterpreter& k, const ex& e, long digits) {
    long saved = GiNaC::Digits;
    struct Restore {
        long d;
        ~Restore() { GiNaC::Digits = d; }
    } restore{saved};
    long working = kernel_working_digits(digits);
    GiNaC::Digits = working;
    ex previous = e.evalf();
    if (!is_a<numeric>(previous)) {
        // Floats inside a symbolic result were computed with guard digits already.
        return previous;
    }
    long previousWorking = working;
    // Ten more digits: two values that agree to digits + 2 places at precisions ten apart have
    // lost fewer digits than the guard holds.
    working += 10;
    // A value at the noise floor of each precision, shrinking as the precision grows, is zero.
    auto noise = [](const numeric& v, long w) { return abs(v) < powerOfTen(-(w - 10)); };
    for (int round = 0; round < 8; ++round) {
        k.step();
        GiNaC::Digits = working;
        ex current = e.evalf();
        if (!is_a<numeric>(current)) return current;
        const numeric &c = ex_to<numeric>(current), &p = ex_to<numeric>(previous);
        if (closeEnough(c, p, digits)) {
            // An imaginary part at the noise floor of both precisions that does not settle
            // (a real root written with complex radicals) is rounding error: drop it.
            if (!c.is_real() && !closeEnough(c.imag(), p.imag(), 2) &&
                abs(c.imag()) <= abs(c) * powerOfTen(-(working - 10)) &&
                abs(p.imag()) <= abs(p) * powerOfTen(-(previousWorking - 10)))
                return c.real();
            return current;
        }
        if (noise(c, working) && noise(p, previousWorking) &&
            abs(c) < abs(p) * powerOfTen(-(working - previousWorking) / 2))
            return numeric(cln::cl_float(0, cln::float_format(GiNaC::Digits)));
        previous = current;
        previousWorking = working;
        working *= 2;
    }
    throw KError("the value could not be computed to the requested digits");
}
