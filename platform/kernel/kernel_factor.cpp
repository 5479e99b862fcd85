// Factorisation and gcd of polynomials over the rationals through FLINT.
//
// GiNaC's univariate factorisation does not scale with the number of factors (x^100-1 takes a
// minute); FLINT's Zassenhaus/van Hoeij (fmpz_poly_factor) and its multivariate factoriser
// (fmpz_mpoly_factor) answer the same in milliseconds.  The polynomial is converted at this
// file's edge: a GiNaC expression becomes a list of integer terms (the lcm of the denominators
// taken out), FLINT works on that, and its answer comes back as text that is read into GiNaC.
//
// The text between the worker and the reader (one token per word):
//   C <constant>                      the unit and content, an integer
//   F <exponent> <terms>              one factor, followed by <terms> lines of
//   <coefficient> <e1> ... <en>       a term: integer coefficient and one exponent per variable
//   E                                 the end (a worker that failed writes X instead)
// The same text leaves a child process through a pipe when the work is large: the kernel waits
// for it while polling for an interrupt and kills the child when one comes.

#include "kernel_factor.h"

#include "kernel_child.h"

#include <flint/fmpz.h>
#include <flint/fmpz_factor.h>
#include <flint/fmpz_mpoly.h>
#include <flint/fmpz_mpoly_factor.h>
#include <flint/fmpz_poly.h>
#include <flint/fmpz_poly_factor.h>
#include <gmp.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <sstream>

using namespace GiNaC;

namespace {

// Polynomials up to these sizes are worked on in the kernel's process, where FLINT answers them
// in milliseconds (x^100-1: 8 ms; x^200-1: 40 ms, on a loaded machine) and a fork would cost
// more than the work (x^100-1 took 66 ms through a child).  Univariate ones with word-sized
// coefficients up to degree 256; multivariate ones are costlier per term and go to a child
// sooner (x^40-y^40-1 took FLINT over ten seconds).  Anything larger runs in a child that an
// interrupt can kill.
constexpr long kInProcessUnivariateDegree = 256;
constexpr std::size_t kInProcessCoefficientDigits = 18;
constexpr long kInProcessDegree = 12;
constexpr std::size_t kInProcessTerms = 64;
// Exponents above this are not converted (a dense FLINT polynomial of that degree would not fit
// in memory); GiNaC keeps such polynomials.
constexpr unsigned long kMaxExponent = 1000000;

struct Term {
    std::string coeff;                  // decimal integer
    std::vector<unsigned long> exps;    // one per variable
};
using Poly = std::vector<Term>;

// A polynomial over the rationals as integer terms over the sorted variables, times 1/scale.
struct Converted {
    Poly poly;
    numeric scale = 1;
    long degree = 0;   // total degree
};

std::string decimal_text(const numeric& n) {
    std::ostringstream s;
    s << n;
    return s.str();
}

// The variables of es, sorted by name; false when they hold anything but names and numbers under
// sums, products and powers.
bool variablesOf(const exvector& es, std::vector<symbol>* vars) {
    exset seen;
    for (const ex& e : es) {
        for (const_preorder_iterator i = e.preorder_begin(); i != e.preorder_end(); ++i) {
            if (is_a<symbol>(*i)) seen.insert(*i);
            else if (!is_a<numeric>(*i) && !is_a<add>(*i) && !is_a<mul>(*i) && !is_a<power>(*i))
                return false;
        }
    }
    vars->clear();
    for (const ex& s : seen) vars->push_back(ex_to<symbol>(s));
    std::sort(vars->begin(), vars->end(),
              [](const symbol& a, const symbol& b) { return a.get_name() < b.get_name(); });
    return true;
}

// One term of an expanded polynomial: a rational coefficient and powers of variables.
bool readTerm(const ex& t, const std::vector<symbol>& vars, numeric* coeff, std::vector<unsigned long>* exps) {
    exps->assign(vars.size(), 0);
    *coeff = 1;
    auto factor = [&](const ex& f) {
        ex base = f;
        unsigned long n = 1;
        if (is_a<numeric>(f)) {
            if (!ex_to<numeric>(f).is_rational()) return false;
            *coeff *= ex_to<numeric>(f);
            return true;
        }
        if (is_a<power>(f)) {
            const ex& p = f.op(1);
            if (!is_a<numeric>(p) || !ex_to<numeric>(p).is_pos_integer() || ex_to<numeric>(p) > kMaxExponent)
                return false;
            n = ex_to<numeric>(p).to_long();
            base = f.op(0);
        }
        if (!is_a<symbol>(base)) return false;
        for (std::size_t v = 0; v < vars.size(); ++v)
            if (ex(vars[v]).is_equal(base)) { (*exps)[v] += n; return true; }
        return false;
    };
    if (is_a<mul>(t)) {
        for (std::size_t i = 0; i < t.nops(); ++i) if (!factor(t.op(i))) return false;
        return true;
    }
    return factor(t);
}

bool convert(KInterpreter& k, const ex& expanded, const std::vector<symbol>& vars, Converted* out) {
    std::vector<std::pair<numeric, std::vector<unsigned long>>> terms;
    numeric scale = 1;
    auto one = [&](const ex& t) {
        numeric c;
        std::vector<unsigned long> e;
        if (!readTerm(t, vars, &c, &e)) return false;
        scale = lcm(scale, c.denom());
        terms.push_back({c, std::move(e)});
        return true;
    };
    if (is_a<add>(expanded)) {
        for (std::size_t i = 0; i < expanded.nops(); ++i) {
            if (i % 4096 == 0) k.step();
            if (!one(expanded.op(i))) return false;
        }
    } else if (!one(expanded)) {
        return false;
    }
    out->poly.clear();
    out->degree = 0;
    for (const auto& [c, e] : terms) {
        unsigned long d = 0;
        for (unsigned long x : e) d += x;
        out->degree = std::max(out->degree, long(d));
        out->poly.push_back({decimal_text(c * scale), e});
    }
    out->scale = scale;
    return true;
}

// ---- the FLINT side (runs in the kernel or in a child; touches no GiNaC) ------------------------

struct Fmpz {
    fmpz_t v;
    Fmpz() { fmpz_init(v); }
    ~Fmpz() { fmpz_clear(v); }
    Fmpz(const Fmpz&) = delete;
    Fmpz& operator=(const Fmpz&) = delete;
};

std::string fmpzText(const fmpz_t f) {
    char* s = fmpz_get_str(nullptr, 10, f);
    std::string r(s);
    flint_free(s);
    return r;
}

class MpolyCtx {
public:
    explicit MpolyCtx(std::size_t nvars) { fmpz_mpoly_ctx_init(ctx, slong(nvars), ORD_LEX); }
    ~MpolyCtx() { fmpz_mpoly_ctx_clear(ctx); }
    MpolyCtx(const MpolyCtx&) = delete;
    MpolyCtx& operator=(const MpolyCtx&) = delete;
    fmpz_mpoly_ctx_t ctx;
};

class Mpoly {
public:
    Mpoly(const Poly& p, const MpolyCtx& c) : c_(c) {
        fmpz_mpoly_init(v, c_.ctx);
        Fmpz coeff;
        for (const Term& t : p) {
            fmpz_set_str(coeff.v, t.coeff.c_str(), 10);
            std::vector<ulong> e(t.exps.begin(), t.exps.end());
            fmpz_mpoly_push_term_fmpz_ui(v, coeff.v, e.data(), c_.ctx);
        }
        fmpz_mpoly_sort_terms(v, c_.ctx);
        fmpz_mpoly_combine_like_terms(v, c_.ctx);
    }
    explicit Mpoly(const MpolyCtx& c) : c_(c) { fmpz_mpoly_init(v, c_.ctx); }
    ~Mpoly() { fmpz_mpoly_clear(v, c_.ctx); }
    Mpoly(const Mpoly&) = delete;
    Mpoly& operator=(const Mpoly&) = delete;
    fmpz_mpoly_t v;

private:
    const MpolyCtx& c_;
};

// Writes one factor; negates it first when its leading coefficient is negative (and then the
// constant too, for an odd exponent).
void writeMpoly(std::ostringstream& out, fmpz_mpoly_t p, unsigned long exponent, fmpz_t constant,
                const fmpz_mpoly_ctx_t ctx) {
    Fmpz c;
    slong n = fmpz_mpoly_length(p, ctx);
    std::size_t nvars = std::size_t(fmpz_mpoly_ctx_nvars(ctx));
    std::vector<ulong> e(nvars), best(nvars);
    if (n > 0) {
        // The leading term with the first variable the most significant (the first of names
        // sorted alphabetically), whatever order FLINT keeps the terms in.
        slong lead = 0;
        fmpz_mpoly_get_term_exp_ui(best.data(), p, 0, ctx);
        for (slong i = 1; i < n; ++i) {
            fmpz_mpoly_get_term_exp_ui(e.data(), p, i, ctx);
            if (std::lexicographical_compare(best.begin(), best.end(), e.begin(), e.end())) {
                best = e;
                lead = i;
            }
        }
        fmpz_mpoly_get_term_coeff_fmpz(c.v, p, lead, ctx);
        if (fmpz_sgn(c.v) < 0) {
            fmpz_mpoly_neg(p, p, ctx);
            if (exponent % 2 == 1) fmpz_neg(constant, constant);
        }
    }
    out << "F " << exponent << ' ' << n << '\n';
    for (slong i = 0; i < n; ++i) {
        fmpz_mpoly_get_term_coeff_fmpz(c.v, p, i, ctx);
        fmpz_mpoly_get_term_exp_ui(e.data(), p, i, ctx);
        out << fmpzText(c.v);
        for (ulong x : e) out << ' ' << x;
        out << '\n';
    }
}

std::string factorUnivariate(const Poly& p) {
    fmpz_poly_t f;
    fmpz_poly_init(f);
    Fmpz coeff;
    for (const Term& t : p) {
        fmpz_set_str(coeff.v, t.coeff.c_str(), 10);
        fmpz_poly_set_coeff_fmpz(f, slong(t.exps[0]), coeff.v);
    }
    fmpz_poly_factor_t fac;
    fmpz_poly_factor_init(fac);
    fmpz_poly_factor(fac, f);
    Fmpz constant;
    fmpz_set(constant.v, &fac->c);
    std::ostringstream body;
    for (slong i = 0; i < fac->num; ++i) {
        fmpz_poly_struct* g = fac->p + i;
        unsigned long exponent = (unsigned long)fac->exp[i];
        if (fmpz_sgn(fmpz_poly_lead(g)) < 0) {
            fmpz_poly_neg(g, g);
            if (exponent % 2 == 1) fmpz_neg(constant.v, constant.v);
        }
        slong terms = 0;
        for (slong d = 0; d <= fmpz_poly_degree(g); ++d) terms += !fmpz_is_zero(g->coeffs + d);
        body << "F " << exponent << ' ' << terms << '\n';
        // Highest degree first, as the multivariate writer does.
        for (slong d = fmpz_poly_degree(g); d >= 0; --d)
            if (!fmpz_is_zero(g->coeffs + d)) body << fmpzText(g->coeffs + d) << ' ' << d << '\n';
    }
    fmpz_poly_factor_clear(fac);
    fmpz_poly_clear(f);
    return "C " + fmpzText(constant.v) + '\n' + body.str() + "E\n";
}

std::string factorMultivariate(const Poly& p, std::size_t nvars) {
    MpolyCtx ctx(nvars);
    Mpoly a(p, ctx);
    fmpz_mpoly_factor_t fac;
    fmpz_mpoly_factor_init(fac, ctx.ctx);
    std::string result = "X\n";
    if (fmpz_mpoly_factor(fac, a.v, ctx.ctx) && fmpz_is_one(fac->constant_den)) {
        Fmpz constant;
        fmpz_set(constant.v, fac->constant);
        std::ostringstream body;
        for (slong i = 0; i < fac->num; ++i)
            writeMpoly(body, fac->poly + i, fmpz_get_ui(fac->exp + i), constant.v, ctx.ctx);
        result = "C " + fmpzText(constant.v) + '\n' + body.str() + "E\n";
    }
    fmpz_mpoly_factor_clear(fac, ctx.ctx);
    return result;
}

std::string gcdMultivariate(const Poly& p, const Poly& q, std::size_t nvars) {
    MpolyCtx ctx(nvars);
    Mpoly a(p, ctx), b(q, ctx), g(ctx);
    if (!fmpz_mpoly_gcd(g.v, a.v, b.v, ctx.ctx)) return "X\n";
    Fmpz one;
    fmpz_one(one.v);
    std::ostringstream body;
    writeMpoly(body, g.v, 1, one.v, ctx.ctx);
    return "C 1\n" + body.str() + "E\n";
}

// ---- running the work where an interrupt can abandon it ------------------------------------------

// Runs work in the kernel when `large` is false, otherwise in a child process (kernel_child.h)
// that an interrupt kills.  In the kernel's process the work runs without polls from GMP's
// allocation functions: FLINT keeps GMP numbers in caches of its own.
std::string runAbandonable(bool large, const std::function<std::string()>& work) {
    auto here = [&] {
        KLibraryPollPause pause;
        return work();
    };
    if (!large) return here();
    std::optional<std::string> text = kernel_run_in_child(work, "factorisation");
    return text ? *text : here();
}

// ---- reading the answer back ------------------------------------------------------------------

struct Factors {
    numeric constant;
    std::vector<std::pair<ex, unsigned long>> factors;
};

bool readAnswer(const std::string& text, const std::vector<symbol>& vars, Factors* out) {
    std::istringstream in(text);
    std::string word;
    if (!(in >> word) || word != "C" || !(in >> word)) return false;
    out->constant = numeric(word.c_str());
    out->factors.clear();
    while (in >> word && word == "F") {
        unsigned long exponent = 0;
        std::size_t terms = 0;
        if (!(in >> exponent >> terms)) return false;
        exvector sum;
        for (std::size_t t = 0; t < terms; ++t) {
            if (!(in >> word)) return false;
            exvector product{numeric(word.c_str())};
            for (const symbol& v : vars) {
                unsigned long e = 0;
                if (!(in >> e)) return false;
                if (e > 0) product.push_back(pow(v, e));
            }
            sum.push_back(mul(product));
        }
        out->factors.push_back({add(sum), exponent});
    }
    return word == "E";
}

bool large(const Converted& c, std::size_t nvars) {
    if (nvars == 1) {
        std::size_t digits = 0;
        for (const Term& t : c.poly) digits = std::max(digits, t.coeff.size());
        return c.degree > kInProcessUnivariateDegree || digits > kInProcessCoefficientDigits;
    }
    return c.degree > kInProcessDegree || c.poly.size() > kInProcessTerms;
}

// The largest integer exponent of a power in e (0 without one): the degree of the dense
// polynomials an expansion or GiNaC's factorisation makes.
double largestExponent(const ex& e) {
    double most = 0;
    if (is_a<power>(e) && is_a<numeric>(e.op(1)) && ex_to<numeric>(e.op(1)).is_integer())
        most = std::fabs(ex_to<numeric>(e.op(1)).to_double());
    for (std::size_t i = 0; i < e.nops(); ++i) most = std::max(most, largestExponent(e.op(i)));
    return most;
}

// FLINT's factors of e with the unit and content; false when e is not a polynomial over the
// rationals in plain names.
bool flintFactor(KInterpreter& k, const ex& e, Factors* f) {
    std::vector<symbol> vars;
    if (!variablesOf({e}, &vars) || vars.empty()) return false;
    // A high power expands into a long polynomial: where an interrupt can abandon it.
    ex expanded = kernel_compute(largestExponent(e) > double(kInProcessUnivariateDegree), e, [&] { return e.expand(); });
    if (expanded.is_zero()) return false;
    Converted c;
    if (!convert(k, expanded, vars, &c)) return false;
    std::string text = runAbandonable(large(c, vars.size()), [&] {
        return vars.size() == 1 ? factorUnivariate(c.poly) : factorMultivariate(c.poly, vars.size());
    });
    if (!readAnswer(text, vars, f)) return false;
    f->constant = f->constant / c.scale;
    return true;
}

// unit * product of factors^exponent, held as it stands: GiNaC's evaluation of a product would
// spread the number over a lone sum (2*(x+1) -> 2*x+2), take the sign out of sums in an order
// of its own (-(x-1)*(-x^2-1)) and turn (x-y)^4 into (y-x)^4.
ex heldProduct(const numeric& unit, const std::vector<std::pair<ex, long>>& factors) {
    exvector product;
    if (!unit.is_equal(1)) product.push_back(unit);
    for (const auto& [g, n] : factors) product.push_back(n == 1 ? g : ex(power(g, n).hold()));
    if (product.empty()) return unit;
    if (product.size() == 1) return product[0];
    return mul(product).hold();
}

}  // namespace

ex kernel_factor_quotient(KInterpreter& k, const ex& numer, const ex& denom) {
    // Dense polynomials past FLINT's reach would ask for gigabytes.
    const double degree = std::max(largestExponent(numer), largestExponent(denom));
    if (degree > double(kMaxExponent)) throw KError("object too large");
    Factors fn, fd;
    bool plainDenominator = denom.is_equal(1);
    if (flintFactor(k, numer, &fn) && (plainDenominator || flintFactor(k, denom, &fd))) {
        if (plainDenominator) fd.constant = 1;
        std::vector<std::pair<ex, long>> all;
        for (const auto& [g, n] : fn.factors) all.push_back({g, long(n)});
        for (const auto& [g, n] : fd.factors) all.push_back({g, -long(n)});
        return heldProduct(fn.constant / fd.constant, all);
    }
    // GiNaC's factorisation works on dense polynomials: large ones run where an interrupt can
    // abandon them.
    return kernel_compute(degree > double(kInProcessUnivariateDegree), numer / denom, [&] {
        ex r = factor(numer);
        return plainDenominator ? r : r / factor(denom);
    });
}

ex kernel_factor(KInterpreter& k, const ex& e) { return kernel_factor_quotient(k, e, 1); }

ex kernel_gcd(KInterpreter& k, const ex& a, const ex& b) {
    std::vector<symbol> vars;
    if (!variablesOf({a, b}, &vars) || vars.empty()) return gcd(a, b);
    ex ea = a.expand(), eb = b.expand();
    if (ea.is_zero() || eb.is_zero()) return gcd(a, b);
    Converted ca, cb;
    if (!convert(k, ea, vars, &ca) || !convert(k, eb, vars, &cb) || !ca.scale.is_equal(1) || !cb.scale.is_equal(1))
        return gcd(a, b);
    std::string text = runAbandonable(large(ca, vars.size()) || large(cb, vars.size()),
                                      [&] { return gcdMultivariate(ca.poly, cb.poly, vars.size()); });
    Factors f;
    if (!readAnswer(text, vars, &f) || f.factors.size() != 1) return gcd(a, b);
    return f.factors[0].first;
}

// ---- integers -------------------------------------------------------------------------------------

namespace {

// Integers up to this many bits are factored in the kernel's process (FLINT's trial division and
// rho finish them in well under a millisecond); larger ones may need its ECM for minutes and
// run in a child.
constexpr std::size_t kInProcessIntegerBits = 100;

std::string factorInteger(const std::string& decimal) {
    Fmpz n;
    fmpz_set_str(n.v, decimal.c_str(), 10);
    fmpz_factor_t fac;
    fmpz_factor_init(fac);
    // First a search for factors of up to 40 bits (trial division, rho, ECM: milliseconds); only
    // when that leaves a composite cofactor the full factoriser, whose quadratic sieve costs
    // 100 ms to set up even for a 65-bit number such as 2^64+1.
    slong bits = slong(fmpz_sizeinbase(n.v, 2));
    if (!fmpz_factor_smooth(fac, n.v, std::min<slong>(bits / 2 + 1, 40), 1)) {
        fmpz_factor_clear(fac);
        fmpz_factor_init(fac);
        fmpz_factor(fac, n.v);
    }
    std::ostringstream out;
    for (slong i = 0; i < fac->num; ++i) out << fmpzText(fac->p + i) << ' ' << fac->exp[i] << '\n';
    out << "E\n";
    fmpz_factor_clear(fac);
    return out.str();
}

}  // namespace

std::vector<std::pair<numeric, long>> kernel_integer_factors(KInterpreter&, const numeric& n) {
    std::string decimal = decimal_text(abs(n));
    double bits = double(decimal.size()) * 3.33;
    std::string text = runAbandonable(bits > kInProcessIntegerBits, [&] { return factorInteger(decimal); });
    std::istringstream in(text);
    std::vector<std::pair<numeric, long>> factors;
    std::string word;
    long e = 0;
    while (in >> word && word != "E") {
        if (!(in >> e)) throw KError("integer factorisation failed");
        factors.push_back({numeric(word.c_str()), e});
    }
    if (word != "E") throw KError("integer factorisation failed");
    return factors;
}

bool kernel_is_probable_prime(const numeric& n) {
    if (!n.is_pos_integer()) return false;
    Fmpz f;
    fmpz_set_str(f.v, decimal_text(n).c_str(), 10);
    return fmpz_is_probabprime(f.v) != 0;
}
