// Conversions between the expression library's DAGs and the kernel's own values:
//   - statement DAG -> KNode tree (kernel_translate), read once per request;
//   - KValue / GiNaC expression -> DAG in normal form (kernel_value_to_dag) for replies:
//       integers INTPOS/INTNEG, fractions RATIONAL, floats FLOAT(mantissa, exponent) rounded to
//       the shown digits, c*t as SUM(t, c), products PROD(factor, exponent) for numeric
//       exponents and POWER otherwise, sums SUM(term, coefficient) with the number term last,
//       calls FUNCTION(name, EXPSEQ), truncated power series SERIES with an O(1) order term.
//   - answer DAG -> KValue (kernel_dag_to_value) for GET answers.
// Sum terms are put in a fixed order (total degree descending, then by variable), so that the
// same result always prints the same way whatever GiNaC's internal order is.

#include <algorithm>
#include <cmath>
#include <sstream>

#include <cln/integer.h>
#include <gmp.h>

#include "KValue.h"
#include "tovu/src/errors.h"

using namespace GiNaC;

namespace {

// The parser's stacks hold 1024 entries, so statements it builds nest less deeply than this;
// deeper requests come from hand-made or damaged DAGs.  The stack bound covers small thread
// stacks and sanitizer builds, where each level takes more room.
constexpr int TRANSLATE_MAX_DEPTH = 2000;
constexpr std::size_t TRANSLATE_MAX_STACK_BYTES = 1u << 20;

struct Translator {
    int depth = 0;
    const char* stackBase = nullptr;

    KNodePtr node(const DagWord* d) {
        if (d == nullptr) throw KError("invalid request");
        char here;
        if (++depth > TRANSLATE_MAX_DEPTH ||
            (stackBase && std::size_t(stackBase - &here) > TRANSLATE_MAX_STACK_BYTES))
            throw KError("expression nesting too deep");
        KNodePtr r = build(d);
        --depth;
        return r;
    }
    KNodePtr opt(const DagWord* d) { return d ? node(d) : nullptr; }

    void kidsFrom(KNode& n, const DagWord* d, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) n.kids.push_back(node(dag_op(d, i)));
    }

    static std::string nameOf(const DagWord* d) {
        if (d == nullptr) throw KError("invalid parameter");
        unsigned t = dag_type(d);
        if (t == DAG_NAME || t == DAG_STRING) return dag_text(d);
        if (t == DAG_DCOLON || t == DAG_ASSIGN) return nameOf(dag_op(d, 1));   // typed, default
        throw KError("invalid parameter");
    }
    static std::vector<std::string> namesOf(const DagWord* seq) {
        std::vector<std::string> out;
        if (seq == nullptr) return out;
        if (dag_type(seq) != DAG_EXPSEQ) { out.push_back(nameOf(seq)); return out; }
        for (std::size_t i = 1; i < dag_length(seq); ++i) out.push_back(nameOf(dag_op(seq, i)));
        return out;
    }

    KNodePtr build(const DagWord* d) {
        auto n = std::make_shared<KNode>();
        unsigned t = dag_type(d);
        std::size_t len = dag_length(d);
        n->type = t;
        switch (t) {
        case DAG_INTPOS:
        case DAG_INTNEG:
            n->number = numeric(dag_integer_to_text(d).c_str());
            break;
        case DAG_RATIONAL: {
            if (len < 3) throw KError("invalid rational");
            numeric a(dag_integer_to_text(dag_op(d, 1)).c_str());
            numeric b(dag_integer_to_text(dag_op(d, 2)).c_str());
            if (b.is_zero()) throw KError("division by zero");
            n->number = a / b;
            break;
        }
        case DAG_FLOAT:
            if (len < 3) throw KError("invalid float");
            n->mantissa = dag_integer_to_text(dag_op(d, 1));
            n->index = arith_to_int(dag_op(d, 2));
            break;
        case DAG_NAME:
        case DAG_STRING:
            n->text = dag_text(d);
            break;
        case DAG_LOCAL:
        case DAG_PARAM:
            n->index = dag_word(d, 1);
            break;
        case DAG_SUM:
        case DAG_PROD:
            if (len % 2 == 0) throw KError("invalid sum or product");
            kidsFrom(*n, d, 1, len);
            break;
        case DAG_FUNCTION:
        case DAG_TABLEREF:
            if (len < 3) throw KError("invalid function call");
            kidsFrom(*n, d, 1, 3);
            break;
        case DAG_LIST:
        case DAG_SET:
            if (len < 2) throw KError("invalid list");
            kidsFrom(*n, d, 1, 2);
            break;
        case DAG_POWER: case DAG_EQUATION: case DAG_INEQUAT: case DAG_LESSEQ: case DAG_LESSTHAN:
        case DAG_AND: case DAG_OR: case DAG_RANGE: case DAG_ASSIGN: case DAG_CATENATE:
        case DAG_DCOLON:
            if (len != 3) throw KError("invalid expression");
            kidsFrom(*n, d, 1, 3);
            break;
        case DAG_NOT: case DAG_UNEVAL: case DAG_READ: case DAG_SAVE:
            if (len != 2) throw KError("invalid expression");
            kidsFrom(*n, d, 1, 2);
            break;
        case DAG_EXPSEQ: case DAG_STATSEQ:
            kidsFrom(*n, d, 1, len);
            break;
        case DAG_IF:
            if (len < 3) throw KError("invalid if statement");
            kidsFrom(*n, d, 1, len);
            break;
        case DAG_FOR:
            if (len != 7 && len != 5) throw KError("invalid loop");
            for (std::size_t i = 1; i < len; ++i) {
                const DagWord* k = dag_op(d, i);
                // An absent variable or bound is NULL; keep it as an absent part.
                n->kids.push_back(k && !dag_is_null(k) ? node(k) : nullptr);
            }
            break;
        case DAG_STOP:
            break;
        case DAG_CONTROL:
            // An empty statement or a text of comments only: nothing to do.
            n->type = DAG_STATSEQ;
            break;
        case DAG_PROC: {
            if (len < 6) throw KError("invalid procedure");
            n->params = namesOf(dag_op(d, 1));
            n->locals = namesOf(dag_op(d, 2));
            if (const DagWord* o = dag_op(d, 3)) {
                for (const auto& s : namesOf(o)) n->options.push_back(s);
            }
            n->kids.push_back(node(dag_op(d, 5)));
            break;
        }
        default:
            throw KError(std::string("cannot evaluate a ") +
                         (t >= 1 && t <= DAG_TYPE_COUNT ? dag_type_names[t - 1] : "malformed") +
                         " structure");
        }
        return n;
    }
};

// ---- numbers ------------------------------------------------------------------------------

// An integer DAG from its sign and base-10000 words (least significant first, no leading zero
// word unless the value is 0).
Dag words_dag(bool negative, const std::vector<DagWord>& words) {
    if (words.size() == 1 && words[0] == 0) return dag_zero;
    Dag d = dag_new(words.size() + 1, negative ? DAG_INTNEG : DAG_INTPOS);
    std::copy(words.begin(), words.end(), d + 1);
    return d;
}

// The base-10000 words of |v| for a CLN integer.  Machine-size values are split directly; larger
// ones go to binary limbs (64 bits at a time through ldb) and from there to decimal digits with
// GMP's subquadratic radix conversion, packed four digits a word.  Printing through CLN's
// ostream instead converted by repeated single-limb division and took several times as long
// as computing 2000! itself.
std::vector<DagWord> integer_words(const cln::cl_I& v) {
    std::vector<DagWord> words;
    cln::cl_I m = cln::abs(v);
    std::size_t bits = cln::integer_length(m);
    if (bits <= 63) {
        auto x = static_cast<std::uint64_t>(cln::cl_I_to_Q(m));
        do {
            words.push_back(static_cast<DagWord>(x % 10000));
            x /= 10000;
        } while (x != 0);
        return words;
    }
    std::size_t limbs = (bits + 63) / 64;
    std::vector<mp_limb_t> binary(limbs);
    for (std::size_t k = 0; k < limbs; ++k)
        binary[k] = static_cast<mp_limb_t>(cln::cl_I_to_UQ(cln::ldb(m, cln::cl_byte(64, 64 * k))));
    // Room for the largest value of `limbs` limbs plus one, as mpn_get_str requires.
    std::vector<unsigned char> digits(limbs * 20 + 2);
    std::size_t count = mpn_get_str(digits.data(), 10, binary.data(), static_cast<mp_size_t>(limbs));
    std::size_t first = 0;   // mpn_get_str may leave leading zeros
    while (first + 1 < count && digits[first] == 0) ++first;
    words.reserve((count - first + 3) / 4);
    for (std::size_t end = count; end > first;) {
        std::size_t start = end - first >= 4 ? end - 4 : first;
        DagWord w = 0;
        for (std::size_t i = start; i < end; ++i) w = w * 10 + digits[i];
        words.push_back(w);
        end = start;
    }
    return words;
}

Dag int_dag(const numeric& n) {
    cln::cl_I v = cln::the<cln::cl_I>(n.to_cl_N());
    return words_dag(cln::minusp(v), integer_words(v));
}

// Decimal digits and exponent of a float: value = digits x 10^exponent (digits without sign).
void float_parts(const numeric& x, bool* negative, std::string* digits, long* exponent) {
    std::ostringstream os;
    os << x;
    std::string s = os.str();
    *negative = !s.empty() && s[0] == '-';
    std::size_t i = *negative ? 1 : 0;
    std::string ds;
    long exp10 = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            ds += c;
            if (point) --exp10;
        } else if (c == '.') {
            point = true;
        } else {
            // exponent marker (E, e, L, d, f, s) followed by a signed integer
            exp10 += std::strtol(s.c_str() + i + 1, nullptr, 10);
            break;
        }
    }
    std::size_t nz = ds.find_first_not_of('0');
    if (nz == std::string::npos) { ds = "0"; exp10 = 0; }
    else ds = ds.substr(nz);
    *digits = ds;
    *exponent = exp10;
}

// Rounds decimal digits to `keep` significant digits (half up), adjusting the exponent, and
// drops trailing zeros beyond the first digit.
void round_digits(std::string* ds, long* exp10, int keep) {
    if (keep < 1) keep = 1;
    if (int(ds->size()) > keep) {
        bool up = (*ds)[keep] >= '5';
        *exp10 += long(ds->size()) - keep;
        ds->resize(keep);
        if (up) {
            int i = keep - 1;
            while (i >= 0 && (*ds)[i] == '9') { (*ds)[i] = '0'; --i; }
            if (i < 0) ds->insert(ds->begin(), '1');
            else ++(*ds)[i];
        }
    }
    while (ds->size() > 1 && ds->back() == '0') { ds->pop_back(); ++*exp10; }
}

Dag real_dag(const numeric& n, int digits) {
    if (n.is_integer()) return int_dag(n);
    if (n.is_rational()) return dag_new2(DAG_RATIONAL, int_dag(n.numer()), int_dag(n.denom()));
    bool neg;
    std::string ds;
    long e;
    float_parts(n, &neg, &ds, &e);
    round_digits(&ds, &e, digits);
    return dag_new_float(dag_integer_from_text((neg && ds != "0" ? "-" : "") + ds), dag_of_int(e));
}

Dag numeric_dag(const numeric& n, int digits) {
    if (n.is_real()) return real_dag(n, digits);
    numeric re = n.real(), im = n.imag();
    Dag nameI = kernel_name_dag("I");
    if (re.is_zero()) {
        if (im == 1) return nameI;
        return dag_new2(DAG_SUM, nameI, real_dag(im, digits));
    }
    return dag_new4(DAG_SUM, real_dag(re, digits), dag_one, nameI, real_dag(im, digits));
}

// ---- names, inert calls and indexed names --------------------------------------------------

std::map<std::string, symbol>& symbol_table() {
    static std::map<std::string, symbol> table;
    return table;
}
std::map<std::string, std::pair<std::string, KSeq>>& indexed_table() {
    static std::map<std::string, std::pair<std::string, KSeq>> table;
    return table;
}
std::map<std::pair<std::string, std::size_t>, unsigned>& inert_table() {
    static std::map<std::pair<std::string, std::size_t>, unsigned> table;
    return table;
}

// GiNaC's names of the functions whose language names differ.
std::string language_function_name(const std::string& g) {
    static const std::map<std::string, std::string> names = {
        {"log", "ln"}, {"tgamma", "GAMMA"}, {"asin", "arcsin"}, {"acos", "arccos"},
        {"atan", "arctan"}, {"asinh", "arcsinh"}, {"acosh", "arccosh"}, {"atanh", "arctanh"},
        {"zeta", "Zeta"}, {"psi", "Psi"}, {"Order", "O"}, {"lgamma", "lnGAMMA"},
    };
    auto it = names.find(g);
    return it == names.end() ? g : it->second;
}

// Exact class tests by the class's registration record: one virtual call, where is_a's
// dynamic_cast cost a type-name comparison per test and was a quarter of converting a large
// sum.  symbol has subclasses (realsymbol, possymbol), so its test falls back to is_a.
template <class T>
bool is_exactly(const GiNaC::ex& e) {
    return &ex_to<basic>(e).get_class_info() == &T::get_class_info_static();
}
bool is_symbol(const GiNaC::ex& e) { return is_exactly<symbol>(e) || is_a<symbol>(e); }

// The factors of a product; each op() of a mul builds the factor afresh, so callers take them once.
exvector factors_of(const GiNaC::ex& e) {
    exvector f;
    std::size_t n = e.nops();
    f.reserve(n);
    for (std::size_t i = 0; i < n; ++i) f.push_back(e.op(i));
    return f;
}

struct DagBuilder {
    int digits;

    Dag seq(const exvector& v) {
        Dag s = dag_new(v.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < v.size(); ++i) dag_set_op(s, i + 1, conv(v[i]));
        return s;
    }

    // Sort key of a sum term: total degree (descending), then the variables' exponents.
    struct TermKey {
        int rank;   // 0 polynomial term, 1 anything else, 2 a number
        double degree;
        std::vector<std::pair<std::string, double>> powers;
    };
    static void collect(const GiNaC::ex& t, double p, TermKey* key) {
        if (is_exactly<power>(t)) {
            const GiNaC::ex& x = t.op(1);
            if (is_exactly<numeric>(x) && ex_to<numeric>(x).is_real()) {
                collect(t.op(0), p * ex_to<numeric>(x).to_double(), key);
                return;
            }
        } else if (is_exactly<mul>(t)) {
            for (const GiNaC::ex& f : factors_of(t)) collect(f, p, key);
            return;
        } else if (is_exactly<numeric>(t)) {
            return;
        }
        if (is_symbol(t)) {
            key->powers.push_back({ex_to<symbol>(t).get_name(), p});
            key->degree += p;
        } else {
            key->rank = 1;
        }
    }
    // The key of a term; a product's factors come from its caller, which uses them again.
    static TermKey key_of(const GiNaC::ex& t, const exvector* factors) {
        TermKey k{is_exactly<numeric>(t) ? 2 : 0, 0.0, {}};
        if (factors) {
            for (const GiNaC::ex& f : *factors) collect(f, 1.0, &k);
        } else {
            collect(t, 1.0, &k);
        }
        std::sort(k.powers.begin(), k.powers.end());
        return k;
    }
    static bool before(const TermKey& a, const TermKey& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.degree != b.degree) return a.degree > b.degree;
        // Compare exponents variable by variable: larger power of the earlier name first.
        std::size_t i = 0;
        for (; i < a.powers.size() && i < b.powers.size(); ++i) {
            if (a.powers[i].first != b.powers[i].first) return a.powers[i].first < b.powers[i].first;
            if (a.powers[i].second != b.powers[i].second) return a.powers[i].second > b.powers[i].second;
        }
        return a.powers.size() > b.powers.size();
    }

    // Sort key of a product's factor: the name of a variable or of a power's base, so that
    // factors come in the order of their names; other factors keep GiNaC's order after them.
    static std::string factor_key(const GiNaC::ex& f) {
        const GiNaC::ex& base = is_a<power>(f) ? f.op(0) : f;
        if (is_a<symbol>(base)) return ex_to<symbol>(base).get_name();
        std::ostringstream os;
        os << f;
        return "\x7f" + os.str();
    }

    // The PROD of a GiNaC product without its numeric coefficient, which goes to *coeff; a
    // product of one factor with exponent 1 is that factor alone.
    Dag product(const exvector& all, numeric* coeff) {
        std::vector<std::pair<std::string, GiNaC::ex>> factors;
        factors.reserve(all.size());
        for (const GiNaC::ex& f : all) {
            if (is_exactly<numeric>(f)) { *coeff *= ex_to<numeric>(f); continue; }
            factors.push_back({factor_key(f), f});
        }
        std::stable_sort(factors.begin(), factors.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        auto numericPower = [](const GiNaC::ex& f) { return is_exactly<power>(f) && is_exactly<numeric>(f.op(1)); };
        if (factors.size() == 1 && !numericPower(factors[0].second)) return conv(factors[0].second);
        Dag p = dag_new(2 * factors.size() + 1, DAG_PROD);
        for (std::size_t i = 0; i < factors.size(); ++i) {
            const GiNaC::ex& f = factors[i].second;
            if (numericPower(f)) {
                dag_set_op(p, 2 * i + 1, conv(f.op(0)));
                dag_set_op(p, 2 * i + 2, conv(f.op(1)));
            } else {
                dag_set_op(p, 2 * i + 1, conv(f));
                dag_set_op(p, 2 * i + 2, dag_one);
            }
        }
        return p;
    }

    Dag conv(const GiNaC::ex& e) {
        if (is_exactly<numeric>(e)) return numeric_dag(ex_to<numeric>(e), digits);
        if (is_symbol(e)) {
            std::string name = ex_to<symbol>(e).get_name();
            auto it = indexed_table().find(name);
            if (it != indexed_table().end()) {
                Dag idx = dag_new(it->second.second.size() + 1, DAG_EXPSEQ);
                for (std::size_t i = 0; i < it->second.second.size(); ++i)
                    dag_set_op(idx, i + 1, kernel_value_to_dag(it->second.second[i]));
                return dag_new2(DAG_TABLEREF, kernel_name_dag(it->second.first.c_str()), idx);
            }
            return kernel_name_dag(name.c_str());
        }
        if (is_a<constant>(e)) {
            if (e.is_equal(Pi)) return kernel_name_dag("Pi");
            if (e.is_equal(Catalan)) return kernel_name_dag("Catalan");
            if (e.is_equal(Euler)) return kernel_name_dag("gamma");
            std::ostringstream os;
            os << e;
            return kernel_name_dag(os.str().c_str());
        }
        if (is_a<add>(e)) {
            // Each op() of a sum builds the term afresh (coefficient times rest), so take it once.
            struct Term {
                TermKey key;
                GiNaC::ex ex;
                exvector factors;   // of a product, taken once for the key and the PROD
            };
            std::vector<Term> terms;
            std::size_t n = e.nops();
            terms.reserve(n);
            for (std::size_t i = 0; i < n; ++i) {
                GiNaC::ex t = e.op(i);
                exvector factors;
                bool product = is_exactly<mul>(t);
                if (product) factors = factors_of(t);
                TermKey k = key_of(t, product ? &factors : nullptr);
                terms.push_back({std::move(k), std::move(t), std::move(factors)});
            }
            std::stable_sort(terms.begin(), terms.end(),
                             [](const Term& a, const Term& b) { return before(a.key, b.key); });
            Dag s = dag_new(2 * terms.size() + 1, DAG_SUM);
            for (std::size_t i = 0; i < terms.size(); ++i) {
                const GiNaC::ex& t = terms[i].ex;
                numeric c = 1;
                Dag term;
                if (is_exactly<numeric>(t)) {
                    term = numeric_dag(ex_to<numeric>(t), digits);
                } else if (is_exactly<mul>(t)) {
                    term = product(terms[i].factors, &c);
                } else {
                    term = conv(t);
                }
                dag_set_op(s, 2 * i + 1, term);
                dag_set_op(s, 2 * i + 2, numeric_dag(c, digits));
            }
            return s;
        }
        if (is_a<mul>(e)) {
            numeric c = 1;
            Dag p = product(factors_of(e), &c);
            if (c != 1) return dag_new2(DAG_SUM, p, numeric_dag(c, digits));
            return p;
        }
        if (is_a<power>(e)) {
            if (e.op(0).is_equal(exp(1))) return dag_new2(DAG_FUNCTION, kernel_name_dag("exp"), seq({e.op(1)}));
            return dag_new2(is_a<numeric>(e.op(1)) ? DAG_PROD : DAG_POWER, conv(e.op(0)), conv(e.op(1)));
        }
        if (is_a<function>(e)) {
            exvector args(e.begin(), e.end());
            std::string name = language_function_name(ex_to<function>(e).get_name());
            return dag_new2(DAG_FUNCTION, kernel_name_dag(name.c_str()), seq(args));
        }
        if (is_a<relational>(e)) {
            const relational& r = ex_to<relational>(e);
            Dag l = conv(e.op(0)), rr = conv(e.op(1));
            if (r.info(info_flags::relation_equal)) return dag_new2(DAG_EQUATION, l, rr);
            if (r.info(info_flags::relation_not_equal)) return dag_new2(DAG_INEQUAT, l, rr);
            if (r.info(info_flags::relation_less)) return dag_new2(DAG_LESSTHAN, l, rr);
            if (r.info(info_flags::relation_less_or_equal)) return dag_new2(DAG_LESSEQ, l, rr);
            if (r.info(info_flags::relation_greater)) return dag_new2(DAG_LESSTHAN, rr, l);
            return dag_new2(DAG_LESSEQ, rr, l);
        }
        if (is_a<lst>(e)) {
            exvector v(e.begin(), e.end());
            return dag_new1(DAG_LIST, seq(v));
        }
        if (is_a<pseries>(e)) return series(ex_to<pseries>(e));
        std::ostringstream os;
        os << e;
        throw KError("cannot convert " + os.str());
    }

    Dag series(const pseries& s) {
        GiNaC::ex var = s.get_var(), point = s.get_point();
        Dag head = point.is_zero() ? conv(var)
                                   : dag_new4(DAG_SUM, conv(var), dag_one, conv(point), dag_minus_one);
        std::size_t n = s.nops();
        Dag d = dag_new(2 * n + 2, DAG_SERIES);
        dag_set_op(d, 1, head);
        for (std::size_t i = 0; i < n; ++i) {
            GiNaC::ex c = s.coeffop(i);
            GiNaC::ex k = s.exponop(i);
            Dag cd = is_order_function(c)
                         ? dag_new2(DAG_FUNCTION, kernel_name_dag("O"), seq({GiNaC::ex(1)}))
                         : conv(c);
            dag_set_op(d, 2 * i + 2, cd);
            long kk = is_a<numeric>(k) && ex_to<numeric>(k).is_integer() ? ex_to<numeric>(k).to_long() : 0;
            d[2 * i + 3] = DagWord(kk);
        }
        return d;
    }
};

int shown_digits(const KValue& v) { return v.digits > 0 ? v.digits : int(GiNaC::Digits); }

}  // namespace

// Interned names and strings stay in the name table for the life of the process, so they are
// made in an area that is never freed (reply areas are).
namespace {
StorageArea* names_area() {
    static StorageArea* area = storage_new(0, "KERNEL-NAMES");
    return area;
}
}  // namespace

Dag kernel_name_dag(const char* text) {
    StoragePush push(names_area());
    return dag_name(text);
}

Dag kernel_string_dag(const char* text) {
    StoragePush push(names_area());
    return dag_intern(text, DAG_STRING);
}

KNodePtr kernel_translate(const DagWord* dag) {
    if (dag == nullptr) throw KError("invalid request");
    try {
        TovuHandlerGuard guard;
        Translator t;
        char base;
        t.stackBase = &base;
        return t.node(dag);
    } catch (const TovuError& e) {
        throw KError(e.message);
    }
}

GiNaC::symbol kernel_symbol(const std::string& name) {
    auto& t = symbol_table();
    auto it = t.find(name);
    if (it != t.end()) return it->second;
    symbol s(name);
    t.emplace(name, s);
    return s;
}

bool kernel_is_name(const GiNaC::ex& e, std::string* text) {
    if (!is_a<symbol>(e)) return false;
    if (text) *text = ex_to<symbol>(e).get_name();
    return true;
}

GiNaC::ex kernel_indexed_symbol(const std::string& base, const KSeq& index) {
    std::string key = base + "[";
    for (std::size_t i = 0; i < index.size(); ++i) key += (i ? "," : "") + kernel_value_text(index[i]);
    key += "]";
    indexed_table()[key] = {base, index};
    return kernel_symbol(key);
}

GiNaC::ex kernel_inert_call(const std::string& name, const GiNaC::exvector& args) {
    auto& t = inert_table();
    auto key = std::make_pair(name, args.size());
    auto it = t.find(key);
    unsigned serial;
    if (it == t.end()) {
        serial = function::register_new(function_options(name, unsigned(args.size())));
        t.emplace(key, serial);
    } else {
        serial = it->second;
    }
    return function(serial, args);
}

KValue kernel_bool(bool b) { return KValue(kernel_symbol(b ? "true" : "false")); }

Dag kernel_ex_to_dag(const GiNaC::ex& e) {
    DagBuilder b{int(GiNaC::Digits)};
    return b.conv(e);
}

Dag kernel_value_to_dag(const KValue& v) {
    DagBuilder b{shown_digits(v)};
    auto seq = [&](const KSeq& items) {
        Dag s = dag_new(items.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < items.size(); ++i) {
            KValue item = items[i];
            if (item.digits == 0) item.digits = v.digits;
            dag_set_op(s, i + 1, kernel_value_to_dag(item));
        }
        return s;
    };
    auto two = [&](unsigned type) {
        KValue a = v.items.at(0), c = v.items.at(1);
        if (a.digits == 0) a.digits = v.digits;
        if (c.digits == 0) c.digits = v.digits;
        return dag_new2(type, kernel_value_to_dag(a), kernel_value_to_dag(c));
    };
    switch (v.kind) {
    case KValue::Expr: return b.conv(v.ex);
    case KValue::Seq: return v.items.size() == 1 ? kernel_value_to_dag(v.items[0]) : seq(v.items);
    case KValue::List: return dag_new1(DAG_LIST, seq(v.items));
    case KValue::Set: return dag_new1(DAG_SET, seq(v.items));
    case KValue::Rel: return two(v.rel);
    case KValue::Range: return two(DAG_RANGE);
    case KValue::And: return two(DAG_AND);
    case KValue::Or: return two(DAG_OR);
    case KValue::Not: return dag_new1(DAG_NOT, kernel_value_to_dag(v.items.at(0)));
    case KValue::Str: return kernel_string_dag(v.text.c_str());
    case KValue::Proc: {
        // Shown as proc(params) ... end: parameters and locals, the body left out.
        Dag params = dag_new(v.proc->params.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < v.proc->params.size(); ++i)
            dag_set_op(params, i + 1, kernel_name_dag(v.proc->params[i].c_str()));
        Dag locals = dag_new(v.proc->locals.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < v.proc->locals.size(); ++i)
            dag_set_op(locals, i + 1, kernel_name_dag(v.proc->locals[i].c_str()));
        Dag body = dag_new1(DAG_STATSEQ, kernel_name_dag("..."));
        return dag_new8(DAG_PROC, params, locals, dag_NULL, dag_NULL, body, dag_NULL, dag_NULL,
                        dag_NULL);
    }
    case KValue::Table: {
        // Shown as table([index = value, ...]).
        KSeq entries;
        for (const auto& [key, entry] : *v.table) {
            (void)key;
            KValue index = entry.first.size() == 1 ? entry.first[0] : KValue::seq(entry.first);
            entries.push_back(KValue::relation(DAG_EQUATION, index, entry.second));
        }
        return dag_new2(DAG_FUNCTION, kernel_name_dag("table"),
                        dag_new1(DAG_EXPSEQ, dag_new1(DAG_LIST, seq(entries))));
    }
    }
    return dag_NULL;
}

KValue kernel_dag_to_value(const DagWord* d) {
    if (d == nullptr) return KValue::seq();
    switch (dag_type(d)) {
    case DAG_INTPOS:
    case DAG_INTNEG: return KValue(numeric(dag_integer_to_text(d).c_str()));
    case DAG_NAME: return KValue(kernel_symbol(dag_text(d)));
    case DAG_STRING: return KValue::str(dag_text(d));
    case DAG_EXPSEQ: {
        KSeq s;
        for (std::size_t i = 1; i < dag_length(d); ++i) s.push_back(kernel_dag_to_value(dag_op(d, i)));
        return s.size() == 1 ? s[0] : KValue::seq(std::move(s));
    }
    case DAG_LIST: {
        KValue inner = kernel_dag_to_value(dag_op(d, 1));
        KValue v;
        v.kind = KValue::List;
        v.items = inner.kind == KValue::Seq ? inner.items : KSeq{inner};
        return v;
    }
    default: return KValue(kernel_symbol(dag_type_names[dag_type(d) - 1]));
    }
}

std::string kernel_value_text(const KValue& v) {
    auto join = [](const KSeq& s) {
        std::string r;
        for (std::size_t i = 0; i < s.size(); ++i) r += (i ? ", " : "") + kernel_value_text(s[i]);
        return r;
    };
    switch (v.kind) {
    case KValue::Expr: {
        std::ostringstream os;
        os << v.ex;
        return os.str();
    }
    case KValue::Seq: return join(v.items);
    case KValue::List: return "[" + join(v.items) + "]";
    case KValue::Set: return "{" + join(v.items) + "}";
    case KValue::Rel: {
        const char* op = v.rel == DAG_EQUATION ? " = " : v.rel == DAG_INEQUAT ? " <> "
                       : v.rel == DAG_LESSEQ ? " <= " : " < ";
        return kernel_value_text(v.items[0]) + op + kernel_value_text(v.items[1]);
    }
    case KValue::Range: return kernel_value_text(v.items[0]) + ".." + kernel_value_text(v.items[1]);
    case KValue::And: return kernel_value_text(v.items[0]) + " and " + kernel_value_text(v.items[1]);
    case KValue::Or: return kernel_value_text(v.items[0]) + " or " + kernel_value_text(v.items[1]);
    case KValue::Not: return "not " + kernel_value_text(v.items[0]);
    case KValue::Str: return v.text;
    case KValue::Proc: return "proc";
    case KValue::Table: return "table";
    }
    return "";
}

bool kernel_value_equal(const KValue& a, const KValue& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case KValue::Expr: return a.ex.is_equal(b.ex);
    case KValue::Str: return a.text == b.text;
    case KValue::Proc: return a.proc == b.proc;
    case KValue::Table: return a.table == b.table;
    default:
        if (a.rel != b.rel || a.items.size() != b.items.size()) return false;
        for (std::size_t i = 0; i < a.items.size(); ++i)
            if (!kernel_value_equal(a.items[i], b.items[i])) return false;
        return true;
    }
}
