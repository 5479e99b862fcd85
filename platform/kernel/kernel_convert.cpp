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
//
// Speed: converting a large result once cost several times GiNaC's computing it.  Sums and
// products are therefore read through GiNaC's stored (rest, coeff) pairs rather than op(), which
// builds a new object per term; each variable's name, NAME and sort rank are found once per
// conversion; terms are ordered by one packed integer key each where the exponents allow; the
// many small DAGs of a sum are cut from one block; machine-size integers skip CLN calls and big
// ones are read from CLN's digits in place.  On expand((1+x+y+z)^20), 1771 terms, the
// conversion went from about 28 to about 3 million instructions.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <forward_list>
#include <sstream>
#include <unordered_map>

#include <cln/integer.h>
#include <gmp.h>

#include "KValue.h"
#include "kernel_analysis.h"
#include "kernel_names.h"
#include "tovu/errors.h"

using namespace GiNaC;

namespace {

// The parser's stacks hold 1024 entries, so statements it builds nest less deeply than this;
// deeper requests come from hand-made or damaged DAGs.  The stack bound covers small thread
// stacks and sanitizer builds, where each level takes more room.
constexpr int TRANSLATE_MAX_DEPTH = 2000;
constexpr std::size_t TRANSLATE_MAX_STACK_BYTES = 1u << 20;

// The value of an integer DAG: up to four base-10000 words (below 10^16) in a machine word;
// longer ones, words that are not digits and other DAGs go through the decimal text as before.
numeric integer_value(const DagWord* d) {
    const std::size_t len = d != nullptr && dag_is_integer(d) ? dag_length(d) : 0;
    if (len >= 2 && len <= 5) {
        long v = 0;
        bool digits = true;
        for (std::size_t i = len - 1; i >= 1 && digits; --i) {
            digits = d[i] < 10000;
            v = v * 10000 + long(d[i] % 10000);
        }
        if (digits) return numeric(dag_type(d) == DAG_INTNEG ? -v : v);
    }
    return numeric(dag_integer_to_text(d).c_str());
}

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
        n.kids.reserve(to - from);
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
        case DAG_INTNEG: {
            // GiNaC shares one object for each small integer; ex(long) takes it without
            // allocating (numbers in statements are mostly small exponents and coefficients).
            numeric v = integer_value(d);
            std::int64_t k;
            if (kernel_fixnum(v, &k)) n->number = GiNaC::ex(long(k));
            else n->number = v;
            break;
        }
        case DAG_RATIONAL: {
            if (len < 3) throw KError("invalid rational");
            numeric a = integer_value(dag_op(d, 1));
            numeric b = integer_value(dag_op(d, 2));
            if (b.is_zero()) throw KError("division by zero");
            n->number = a / b;
            break;
        }
        case DAG_FLOAT:
            if (len < 3) throw KError("invalid float");
            n->text = dag_integer_to_text(dag_op(d, 1));
            n->index = arith_to_int(dag_op(d, 2));
            break;
        case DAG_NAME:
            n->text = dag_text(d);
            n->name = kernel_name_id(n->text);
            break;
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
            auto names = std::make_unique<KProcNames>();
            names->params = namesOf(dag_op(d, 1));
            names->locals = namesOf(dag_op(d, 2));
            if (const DagWord* o = dag_op(d, 3)) names->options = namesOf(o);
            n->proc = std::move(names);
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

// The binary limbs of m >= 0 through CLN's public interface, 64 bits at a time.  Each ldb of 64
// bits makes a heap number (a fixnum holds 62 bits), which made this the larger part of
// converting the denominators of a long series.
void limbs_through_ldb(const cln::cl_I& m, std::size_t limbs, mp_limb_t* out) {
    for (std::size_t k = 0; k < limbs; ++k)
        out[k] = static_cast<mp_limb_t>(cln::cl_I_to_UQ(cln::ldb(m, cln::cl_byte(64, 64 * k))));
}

// CLN keeps a bignum as a heap object: the public reference-count header (cl_heap), its digit
// count, then its 64-bit digits least significant first (two's complement), at the first
// 8-byte boundary after the count.  That layout is CLN's own, not in its public headers, so it
// is checked once against a number of known limbs; where it does not hold, callers fall back to
// limbs_through_ldb.
constexpr std::size_t kBignumCountOffset = sizeof(cln::cl_heap);
constexpr std::size_t kBignumDigitOffset = (sizeof(cln::cl_heap) + sizeof(std::uint32_t) + 7) / 8 * 8;

bool read_bignum_digits(const cln::cl_I& m, std::size_t bits, mp_limb_t* out) {
    static_assert(sizeof(mp_limb_t) == 8, "64-bit limbs expected");
    if (!cln::cl_pointer_p(m.word) || bits == 0) return false;
    const std::size_t limbs = (bits + 63) / 64;
    const auto* object = reinterpret_cast<const unsigned char*>(m.heappointer);
    std::uint32_t count;   // the low half of a 64-bit count on this little-endian machine
    std::memcpy(&count, object + kBignumCountOffset, sizeof count);
    if (count < limbs || count > limbs + 1) return false;   // one more for the sign digit
    std::memcpy(out, object + kBignumDigitOffset, limbs * sizeof(mp_limb_t));
    return out[limbs - 1] >> ((bits - 1) % 64) == 1;   // the top bit where integer_length says
}

bool bignum_layout_holds() {
    static const bool holds = [] {
        // 3 * 2^193 + 5 * 2^128 + 7 * 2^64 + 9: the four limbs 9, 7, 5, 6.
        const cln::cl_I probe = cln::ash(cln::cl_I(3), 193) + cln::ash(cln::cl_I(5), 128) +
                                cln::ash(cln::cl_I(7), 64) + cln::cl_I(9);
        const std::size_t bits = cln::integer_length(probe);
        const std::size_t limbs = (bits + 63) / 64;
        std::vector<mp_limb_t> direct(limbs), expected(limbs);
        limbs_through_ldb(probe, limbs, expected.data());
        return read_bignum_digits(probe, bits, direct.data()) && direct == expected;
    }();
    return holds;
}

// The limbs of m >= 0 (integer_length bits, more than 63) copied from CLN's digits in place.
bool bignum_limbs_in_place(const cln::cl_I& m, std::size_t bits, mp_limb_t* out) {
    return bignum_layout_holds() && read_bignum_digits(m, bits, out);
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
    if (!bignum_limbs_in_place(m, bits, binary.data())) limbs_through_ldb(m, limbs, binary.data());
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

// The commonest numbers of a result (coefficients, exponents) are fixnums.
inline bool fixnum_value(const numeric& n, std::int64_t* value) { return kernel_fixnum(n, value); }

// An integer DAG of a machine-size value: a shared small constant or words made directly.
Dag small_int_dag(std::int64_t x) {
    if (x >= 0 && x < 140) return dag_intpos[x];
    if (x < 0 && x >= -140) return dag_intneg[-x - 1];
    std::uint64_t m = x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
    DagWord words[5];   // 2^63 has 19 decimal digits
    std::size_t count = 0;
    do {
        words[count++] = static_cast<DagWord>(m % 10000);
        m /= 10000;
    } while (m != 0);
    Dag d = dag_new(count + 1, x < 0 ? DAG_INTNEG : DAG_INTPOS);
    std::copy(words, words + count, d + 1);
    return d;
}

// Words small_int_dag(x) allocates: 0 for a shared constant, else header and digit words.
std::size_t small_int_words(std::int64_t x) {
    if (x >= -140 && x < 140) return 0;
    std::uint64_t m = x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
    std::size_t count = 1;
    while (m >= 10000) {
        m /= 10000;
        ++count;
    }
    return count + 1;
}

// Consecutive DAGs cut from one block of the current area, for the many small DAGs of a large
// sum: one allocation instead of one per DAG.  The caller counts the words beforehand and fills
// every word of each DAG it takes.  Should the count fall short, further DAGs come from the
// area one by one; words left over stay unused in the block.
struct DagRun {
    DagWord* next = nullptr;
    DagWord* end = nullptr;
    Dag take(std::size_t n, unsigned type) {
        if (std::size_t(end - next) < n) return dag_new(n, type);   // miscounted: not from the run
        Dag d = next;
        next += n;
        d[0] = dag_header(type, n);
        return d;
    }
};

Dag small_int_dag(std::int64_t x, DagRun* run) {
    if (run == nullptr || (x >= -140 && x < 140)) return small_int_dag(x);
    std::uint64_t m = x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
    DagWord words[5];
    std::size_t count = 0;
    do {
        words[count++] = static_cast<DagWord>(m % 10000);
        m /= 10000;
    } while (m != 0);
    Dag d = run->take(count + 1, x < 0 ? DAG_INTNEG : DAG_INTPOS);
    std::copy(words, words + count, d + 1);
    return d;
}

Dag int_dag(const numeric& n) {
    std::int64_t x;
    if (fixnum_value(n, &x)) return small_int_dag(x);
    cln::cl_I v = cln::the<cln::cl_I>(n.to_cl_N());
    if (cln::integer_length(v) <= 63) {
        return small_int_dag(static_cast<std::int64_t>(cln::cl_I_to_Q(v)));
    }
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
    std::int64_t x;
    if (fixnum_value(n, &x)) return small_int_dag(x);
    if (n.is_real()) return real_dag(n, digits);
    numeric re = n.real(), im = n.imag();
    // GiNaC can leave an exact zero imaginary part on a power of I (I^4 = 1+0*I).
    if (im.is_zero() && im.is_rational()) return real_dag(re, digits);
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

// Exact class tests (kernel_is_exactly): is_a's dynamic_cast was a quarter of converting a
// large sum.  symbol has subclasses (realsymbol, possymbol), so its test falls back to is_a.
template <class T>
bool is_exactly(const GiNaC::ex& e) {
    return kernel_is_exactly<T>(e);
}
bool is_symbol(const GiNaC::ex& e) {
    if (is_exactly<symbol>(e)) return true;
    // The classes that make up nearly every result are known not to be symbols; only others
    // pay for the dynamic_cast.
    if (is_exactly<mul>(e) || is_exactly<power>(e) || is_exactly<numeric>(e) || is_exactly<add>(e) ||
        is_exactly<function>(e))
        return false;
    return is_a<symbol>(e);
}

// The factors of a product through op(), for products whose pairs are not read in place.
exvector factors_of(const GiNaC::ex& e) {
    exvector f;
    std::size_t n = e.nops();
    f.reserve(n);
    for (std::size_t i = 0; i < n; ++i) f.push_back(e.op(i));
    return f;
}

// Sums, products and powers are read in place (KValue.h): op() would build a new object for
// every pair, which was most of the time of converting a large sum.
using kernel_detail::ArgumentAccess;
using kernel_detail::PairAccess;
using kernel_detail::PowerAccess;

// Whether a numeric coefficient equals 1 (as GiNaC's own test: a float 1.0 does too).
bool is_one(const GiNaC::ex& c) {
    static const numeric one(1);
    std::int64_t x;
    if (fixnum_value(ex_to<numeric>(c), &x)) return x == 1;
    return ex_to<numeric>(c).is_equal(one);
}

// A real numeric exponent as a double; integers that a double holds exactly without a CLN call.
double exponent_double(const numeric& n) {
    std::int64_t x;
    if (fixnum_value(n, &x) && x > -(std::int64_t(1) << 53) && x < (std::int64_t(1) << 53)) return double(x);
    return n.to_double();
}

// ---- an order of expressions that is the same in every process ---------------------------------
// GiNaC orders the operands of its sums and products by hash values that follow the load address
// of type names and the creation order of symbols, so that order differs from one process to the
// next.  Where terms or factors need an order beyond degrees and names, this one is used: it looks
// only at structure, names and values.  Classes come in the order their printed forms would sort
// (sums and products, then numbers, then names and calls by name, then the rest); a power goes by
// its base, and of two powers of one base the higher comes first.

// The class order above.
int canonical_class(const GiNaC::ex& e) {
    if (is_exactly<add>(e)) return 0;
    if (is_exactly<mul>(e)) return 1;
    if (is_exactly<numeric>(e)) return 2;
    if (is_exactly<function>(e) || is_symbol(e) || is_a<constant>(e)) return 3;
    return 4;
}

std::string canonical_name(const GiNaC::ex& e) {
    if (is_exactly<function>(e)) return ex_to<function>(e).get_name();
    if (is_symbol(e)) return ex_to<symbol>(e).get_name();
    std::ostringstream os;   // the three constants
    os << e;
    return os.str();
}

int canonical_compare(const GiNaC::ex& a, const GiNaC::ex& b);

// The total degree in the variables (real numeric exponents; anything else counts 0), so that
// factors such as (x-1) come before (x^2+1).
double canonical_degree(const GiNaC::ex& e) {
    if (is_symbol(e)) return 1.0;
    if (is_exactly<power>(e)) {
        const GiNaC::ex& x = PowerAccess::exponent_of(ex_to<power>(e));
        if (!is_exactly<numeric>(x) || !ex_to<numeric>(x).is_real()) return 0.0;
        return canonical_degree(PowerAccess::base_of(ex_to<power>(e))) * exponent_double(ex_to<numeric>(x));
    }
    double d = 0.0;
    if (is_exactly<mul>(e)) {
        for (std::size_t i = 0; i < e.nops(); ++i) d += canonical_degree(e.op(i));
    } else if (is_exactly<add>(e)) {
        for (std::size_t i = 0; i < e.nops(); ++i) d = std::max(d, canonical_degree(e.op(i)));
    }
    return d;
}

// The operands of a sum or product in canonical order.
exvector canonical_operands(const GiNaC::ex& e) {
    exvector v = factors_of(e);
    std::sort(v.begin(), v.end(), [](const GiNaC::ex& x, const GiNaC::ex& y) { return canonical_compare(x, y) < 0; });
    return v;
}

// Compares base^expo (expo null: e itself, split when it is a power) with another.
int canonical_compare(const GiNaC::ex& a, const GiNaC::ex* ea, const GiNaC::ex& b, const GiNaC::ex* eb) {
    const GiNaC::ex* ba = &a;
    const GiNaC::ex* bb = &b;
    if (ea == nullptr && is_exactly<power>(a)) {
        ba = &PowerAccess::base_of(ex_to<power>(a));
        ea = &PowerAccess::exponent_of(ex_to<power>(a));
    }
    if (eb == nullptr && is_exactly<power>(b)) {
        bb = &PowerAccess::base_of(ex_to<power>(b));
        eb = &PowerAccess::exponent_of(ex_to<power>(b));
    }
    if (ba != bb) {
        const GiNaC::ex& x = *ba;
        const GiNaC::ex& y = *bb;
        const int cx = canonical_class(x), cy = canonical_class(y);
        if (cx != cy) return cx < cy ? -1 : 1;
        switch (cx) {
        case 2:
            if (int c = ex_to<numeric>(x).compare(ex_to<numeric>(y)); c != 0) return c;
            break;
        case 3: {
            if (int c = canonical_name(x).compare(canonical_name(y)); c != 0) return c;
            const bool fx = is_exactly<function>(x), fy = is_exactly<function>(y);
            if (fx != fy) return fx ? 1 : -1;   // the name before a call of that name
            if (!fx) break;
            [[fallthrough]];
        }
        case 4: {
            if (cx == 4) {
                const char* nx = ex_to<basic>(x).class_name();
                const char* ny = ex_to<basic>(y).class_name();
                if (int c = std::strcmp(nx, ny); c != 0) return c;
            }
            const std::size_t n = x.nops(), m = y.nops();
            for (std::size_t i = 0; i < n && i < m; ++i)
                if (int c = canonical_compare(x.op(i), y.op(i)); c != 0) return c;
            if (n != m) return n < m ? -1 : 1;
            break;
        }
        default: {   // sums and products: the lower degree first, then their operands in order
            const double dx = canonical_degree(x), dy = canonical_degree(y);
            if (dx != dy) return dx < dy ? -1 : 1;
            exvector vx = canonical_operands(x), vy = canonical_operands(y);
            for (std::size_t i = 0; i < vx.size() && i < vy.size(); ++i)
                if (int c = canonical_compare(vx[i], vy[i]); c != 0) return c;
            if (vx.size() != vy.size()) return vx.size() < vy.size() ? -1 : 1;
            break;
        }
        }
    }
    if (ea == eb) return 0;
    static const GiNaC::ex one(1);
    return canonical_compare(eb ? *eb : one, ea ? *ea : one);   // the higher power first
}

int canonical_compare(const GiNaC::ex& a, const GiNaC::ex& b) { return canonical_compare(a, nullptr, b, nullptr); }

struct DagBuilder {
    explicit DagBuilder(int shownDigits) : digits(shownDigits) {}

    int digits;

    // ---- variables seen in this conversion --------------------------------------------------
    // A variable's name, NAME DAG and sort rank are found once per conversion instead of once
    // per occurrence.  Entries hold the symbol, so an address is never reused for another one.
    struct SymbolEntry {
        const basic* ptr;
        GiNaC::ex sym;
        std::string name;
        Dag dag;    // its NAME; nullptr for an indexed name, converted afresh at each use
        int rank;   // order of the name among the names seen; set before a sum is sorted
    };
    static constexpr std::size_t kLinearSymbols = 16;   // searched in order up to this many
    std::vector<SymbolEntry> symbols;
    std::unordered_map<const basic*, int> symbolIndex;   // all entries, once there are more

    // Objects made by op() where pairs could not be read in place; they live as long as the
    // builder so that factors and terms may point at them.
    std::forward_list<GiNaC::ex> keep;
    const GiNaC::ex& kept(GiNaC::ex e) {
        keep.push_front(std::move(e));
        return keep.front();
    }

    int symbol_id(const GiNaC::ex& s) {
        const basic* p = &ex_to<basic>(s);
        if (symbols.size() <= kLinearSymbols) {
            for (std::size_t i = 0; i < symbols.size(); ++i)
                if (symbols[i].ptr == p) return int(i);
        } else {
            auto it = symbolIndex.find(p);
            if (it != symbolIndex.end()) return it->second;
        }
        return new_symbol(s, p);
    }
    [[gnu::noinline]] int new_symbol(const GiNaC::ex& s, const basic* p) {
        std::string name = ex_to<symbol>(s).get_name();
        Dag dag = indexed_table().count(name) ? nullptr : kernel_name_dag(name.c_str());
        symbols.push_back({p, s, std::move(name), dag, 0});
        int id = int(symbols.size() - 1);
        if (symbols.size() == kLinearSymbols + 1) {
            for (std::size_t i = 0; i < symbols.size(); ++i)
                symbolIndex.emplace(symbols[i].ptr, int(i));
        } else if (symbols.size() > kLinearSymbols + 1) {
            symbolIndex.emplace(p, id);
        }
        return id;
    }

    // Ranks follow the names' order; variables of equal names share a rank.
    std::size_t rankedSymbols = 0;   // symbols with ids below this have a valid rank
    void rank_symbols() {
        rankedSymbols = symbols.size();
        std::vector<int> order(symbols.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = int(i);
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return symbols[a].name < symbols[b].name; });
        int rank = -1;
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (k == 0 || symbols[order[k]].name != symbols[order[k - 1]].name) ++rank;
            symbols[order[k]].rank = rank;
        }
    }

    Dag symbol_dag(const GiNaC::ex& e) {
        const SymbolEntry& s = symbols[symbol_id(e)];
        if (s.dag) return s.dag;
        auto it = indexed_table().find(s.name);
        Dag idx = dag_new(it->second.second.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < it->second.second.size(); ++i)
            dag_set_op(idx, i + 1, kernel_value_to_dag(it->second.second[i]));
        return dag_new2(DAG_TABLEREF, kernel_name_dag(it->second.first.c_str()), idx);
    }

    Dag seq(const exvector& v) {
        Dag s = dag_new(v.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < v.size(); ++i) dag_set_op(s, i + 1, conv(v[i]));
        return s;
    }

    // ---- sort keys ----------------------------------------------------------------------------
    // Sum terms are ordered by: rank (0 polynomial term, 1 anything else, 2 a number), total
    // degree descending, then the variables' exponents compared variable by variable in the
    // order of their names, a larger power of the earlier name first, a term with more variables
    // first.  Exponents are doubles so that fractional and float exponents order too.
    struct Power {
        int sym;   // symbol id while collecting, its rank once the sum is about to be sorted
        double p;
        bool operator<(const Power& o) const { return sym != o.sym ? sym < o.sym : p < o.p; }
    };
    struct Key {
        int rank = 0;
        double degree = 0.0;
        std::vector<Power>* powers = nullptr;   // where the variables go; null: no key wanted
    };

    void add_power(const GiNaC::ex& sym, double p, Key* key) {
        key->powers->push_back({symbol_id(sym), p});
        key->degree += p;
    }
    void collect(const GiNaC::ex& t, double p, Key* key) {
        if (is_exactly<power>(t)) {
            const GiNaC::ex& x = PowerAccess::exponent_of(ex_to<power>(t));
            if (is_exactly<numeric>(x) && ex_to<numeric>(x).is_real()) {
                collect(PowerAccess::base_of(ex_to<power>(t)), p * exponent_double(ex_to<numeric>(x)), key);
                return;
            }
        } else if (is_exactly<mul>(t)) {
            for (const GiNaC::ex& f : factors_of(t)) collect(f, p, key);
            return;
        } else if (is_exactly<numeric>(t)) {
            return;
        }
        if (is_symbol(t)) add_power(t, p, key);
        else key->rank = 1;
    }

    // ---- products -----------------------------------------------------------------------------
    // One factor: base^expo for a power with a numeric exponent (expo set), else the factor whole
    // (expo null) with exponent 1.  Factors are ordered by the name of a variable or of a
    // power's base, and after those, other factors in the order of canonical_compare.
    struct Factor {
        const GiNaC::ex* base;
        const GiNaC::ex* expo;
        int sym;     // id of the variable whose name orders it, or -1
        bool symbolBase = false;   // base is that variable itself
    };
    // <0, 0 or >0 as a goes before, beside or after b in a product (and, for the terms of a
    // sum that tie on degrees, in the sum: a higher power of one base first).
    int factor_compare(const Factor& a, const Factor& b) const {
        if (a.sym >= 0 && b.sym >= 0) {
            if (a.sym != b.sym) {
                if (std::size_t(a.sym) < rankedSymbols && std::size_t(b.sym) < rankedSymbols) {
                    if (symbols[a.sym].rank != symbols[b.sym].rank) return symbols[a.sym].rank < symbols[b.sym].rank ? -1 : 1;
                } else if (int c = symbols[a.sym].name.compare(symbols[b.sym].name); c != 0) {
                    return c;
                }
            }
        } else if (a.sym >= 0 || b.sym >= 0) {
            return a.sym >= 0 ? -1 : 1;
        }
        return canonical_compare(*a.base, a.expo, *b.base, b.expo);
    }

    static void multiply(GiNaC::ex* coeff, const GiNaC::ex& n) {
        *coeff = ex_to<numeric>(*coeff).mul(ex_to<numeric>(n));
    }

    // A factor f that lives as long as the builder: numbers go into *coeff, the rest to *out,
    // and its variables to the key when one is wanted.
    void add_factor(const GiNaC::ex& f, std::vector<Factor>* out, GiNaC::ex* coeff, Key* key) {
        if (is_exactly<numeric>(f)) { multiply(coeff, f); return; }
        if (key->powers) collect(f, 1.0, key);
        if (is_symbol(f)) { out->push_back({&f, nullptr, symbol_id(f), true}); return; }
        const bool isPower = is_exactly<power>(f);   // power has no subclasses
        const GiNaC::ex* base = &f;
        const GiNaC::ex* expo = nullptr;
        if (isPower) {
            base = &PowerAccess::base_of(ex_to<power>(f));
            if (is_exactly<power>(f) && is_exactly<numeric>(PowerAccess::exponent_of(ex_to<power>(f))))
                expo = &PowerAccess::exponent_of(ex_to<power>(f));
        }
        if (is_symbol(*base)) {
            out->push_back({expo ? base : &f, expo, symbol_id(*base), expo != nullptr});
            return;
        }
        out->push_back({expo ? base : &f, expo, -1, false});
    }

    // The factors of the product m in the order of m.op(0..nops-1), reading its pairs in place:
    // a pair (x, c) with a variable x and c != 1 is the power x^c; other pairs whose op() would
    // build something new are taken through op().
    void mul_factors(const mul& m, std::vector<Factor>* out, GiNaC::ex* coeff, Key* key) {
        const epvector& pairs = PairAccess::pairs(m);
        for (std::size_t j = 0; j < pairs.size(); ++j) {
            const GiNaC::ex& r = pairs[j].rest;
            const GiNaC::ex& c = pairs[j].coeff;
            const numeric& cn = ex_to<numeric>(c);
            std::int64_t x = 0;
            const bool fix = fixnum_value(cn, &x);
            if (fix ? x == 1 : is_one(c)) {
                if (is_exactly<symbol>(r)) {   // the commonest factor, as add_factor takes it
                    int id = symbol_id(r);
                    if (key->powers) {
                        key->powers->push_back({id, 1.0});
                        key->degree += 1.0;
                    }
                    out->push_back({&r, nullptr, id, true});
                } else {
                    add_factor(r, out, coeff, key);
                }
            } else if (is_symbol(r)) {
                int id = symbol_id(r);
                if (key->powers) {
                    if (fix || cn.is_real()) {
                        const double p = fix ? exponent_double(cn) : cn.to_double();
                        key->powers->push_back({id, p});
                        key->degree += p;
                    } else {
                        key->rank = 1;
                    }
                }
                out->push_back({&r, &c, id, true});
            } else if (is_exactly<add>(r) && cn.is_integer()) {
                // A sum to an integer power stays as the product holds it: op() would evaluate
                // the power again, which may move a sign out of the sum of a held product.
                add_factor(kept(GiNaC::ex(power(r, c).hold())), out, coeff, key);
            } else {
                add_factor(kept(m.op(j)), out, coeff, key);
            }
        }
        const GiNaC::ex& oc = PairAccess::overall(m);
        if (!is_one(oc)) multiply(coeff, oc);
    }

    // The factors of any product, in op() order.
    void product_factors(const GiNaC::ex& e, std::vector<Factor>* out, GiNaC::ex* coeff, Key* key) {
        if (is_exactly<mul>(e)) {
            mul_factors(ex_to<mul>(e), out, coeff, key);
            return;
        }
        std::size_t n = e.nops();
        for (std::size_t i = 0; i < n; ++i) add_factor(kept(e.op(i)), out, coeff, key);
    }

    // The PROD of factors (without the numeric coefficient); one factor with exponent 1 is that
    // factor alone.
    // Words product() cuts from a run for these (sorted) factors.
    static std::size_t product_words(const Factor* fs, std::size_t n) {
        if (n == 1 && fs[0].expo == nullptr) return 0;
        std::size_t words = 2 * n + 1;
        for (std::size_t i = 0; i < n; ++i) {
            std::int64_t x;
            if (fs[i].expo && fixnum_value(ex_to<numeric>(*fs[i].expo), &x)) words += small_int_words(x);
        }
        return words;
    }

    void sort_factors(Factor* fs, std::size_t n) const {
        // Stable insertion sort: products have few factors.  Ranks follow the names, so two
        // ranked variables compare by rank.
        for (std::size_t i = 1; i < n; ++i) {
            for (std::size_t k = i; k > 0 && factor_compare(fs[k], fs[k - 1]) < 0; --k) std::swap(fs[k], fs[k - 1]);
        }
    }

    // The PROD of sorted factors, its PROD and integer exponents cut from *run when given.
    Dag product(const Factor* fs, std::size_t n, DagRun* run) {
        if (n == 1 && fs[0].expo == nullptr) return conv(*fs[0].base);
        Dag p = run ? run->take(2 * n + 1, DAG_PROD) : dag_new(2 * n + 1, DAG_PROD);
        for (std::size_t i = 0; i < n; ++i) {
            Dag base = fs[i].symbolBase ? symbols[fs[i].sym].dag : nullptr;
            dag_set_op(p, 2 * i + 1, base ? base : conv(*fs[i].base));
            Dag expo = dag_one;
            if (fs[i].expo) {   // always a number
                std::int64_t x;
                expo = fixnum_value(ex_to<numeric>(*fs[i].expo), &x) ? small_int_dag(x, run) : conv(*fs[i].expo);
            }
            dag_set_op(p, 2 * i + 2, expo);
        }
        return p;
    }

    // ---- sums ---------------------------------------------------------------------------------
    struct Term {
        enum Kind : unsigned char { Number, Single, Product } kind;
        int rank;
        double degree;
        std::uint32_t powFirst, powCount;   // its variables in the sum's power list
        std::uint32_t facFirst, facCount;   // a product's factors in the sum's factor list
        const GiNaC::ex* item;              // Number: the number; Single: the term
        GiNaC::ex coeff;                    // Product: its numeric coefficient
    };
    struct SumParts {
        std::vector<Term> terms;
        std::vector<Power> powers;
        std::vector<Factor> factors;
        std::vector<std::uint32_t> order;
        std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;
        std::vector<std::uint64_t> dense;
        std::vector<std::uint64_t> packed;
        void clear() {
            terms.clear();
            powers.clear();
            factors.clear();
            order.clear();
            keys.clear();
            dense.clear();
            packed.clear();
        }
    };
    // For terms that tie on rank, degree and variables (terms with calls or other non-polynomial
    // factors): their factors compared in order, fewer factors first, then the coefficients.
    // Products' factors must be sorted.  Without this the tie would keep GiNaC's order.
    int term_compare(const Term& a, const Term& b, const SumParts& s) const {
        Factor fa1, fb1;
        const Factor* fa = term_factors(a, s, &fa1);
        const Factor* fb = term_factors(b, s, &fb1);
        std::size_t na = a.kind == Term::Product ? a.facCount : (a.kind == Term::Single ? 1 : 0);
        std::size_t nb = b.kind == Term::Product ? b.facCount : (b.kind == Term::Single ? 1 : 0);
        for (std::size_t i = 0; i < na && i < nb; ++i)
            if (int c = factor_compare(fa[i], fb[i]); c != 0) return c;
        if (na != nb) return na < nb ? -1 : 1;
        const numeric& ca = ex_to<numeric>(a.kind == Term::Number ? *a.item : a.coeff);
        const numeric& cb = ex_to<numeric>(b.kind == Term::Number ? *b.item : b.coeff);
        return ca.compare(cb);
    }
    const Factor* term_factors(const Term& t, const SumParts& s, Factor* single) const {
        if (t.kind == Term::Product) return s.factors.data() + t.facFirst;
        if (t.kind == Term::Single) {
            const GiNaC::ex& e = *t.item;
            int sym = -1;
            if (is_symbol(e)) sym = find_symbol(e);
            else if (is_exactly<power>(e) && is_symbol(PowerAccess::base_of(ex_to<power>(e))))
                sym = find_symbol(PowerAccess::base_of(ex_to<power>(e)));
            *single = {&e, nullptr, sym, false};
        }
        return single;
    }
    // The id of a variable already seen in this conversion.
    int find_symbol(const GiNaC::ex& s) const {
        const basic* p = &ex_to<basic>(s);
        for (std::size_t i = 0; i < symbols.size(); ++i)
            if (symbols[i].ptr == p) return int(i);
        return -1;
    }

    // The lists of the sums being converted, one set per nesting level, kept from one conversion
    // to the next: allocating and freeing a large sum's lists each time cost more than filling
    // them (a large block makes malloc consolidate its free lists).  They keep the size of the
    // largest sum converted so far.
    struct SumLevel {
        SumParts& parts;
        explicit SumLevel(std::size_t n) : parts(take()) {
            try {
                parts.terms.reserve(n);
                parts.powers.reserve(3 * n);
                parts.factors.reserve(3 * n);
            } catch (...) {
                --depth();
                throw;
            }
        }
        ~SumLevel() {
            parts.clear();   // drops the references to GiNaC objects, keeps the room
            --depth();
        }
        SumLevel(const SumLevel&) = delete;
        SumLevel& operator=(const SumLevel&) = delete;
        static int& depth() {
            static thread_local int d = 0;
            return d;
        }
        static SumParts& take() {
            static thread_local std::vector<std::unique_ptr<SumParts>> levels;
            int d = depth();
            if (std::size_t(d) >= levels.size()) levels.push_back(std::make_unique<SumParts>());
            ++depth();
            return *levels[d];
        }
    };

    // A term t (living as long as the builder) as op(i) of the sum gives it.
    void add_term(const GiNaC::ex& t, SumParts* s) {
        Term term{Term::Single, 0, 0.0, std::uint32_t(s->powers.size()), 0,
                  std::uint32_t(s->factors.size()), 0, &t, GiNaC::ex(1)};
        Key key{0, 0.0, &s->powers};
        if (is_exactly<numeric>(t)) {
            term.kind = Term::Number;
            key.rank = 2;
        } else if (is_exactly<mul>(t)) {
            term.kind = Term::Product;
            mul_factors(ex_to<mul>(t), &s->factors, &term.coeff, &key);
        } else {
            collect(t, 1.0, &key);
        }
        finish_term(std::move(term), key, s);
    }
    void finish_term(Term term, const Key& key, SumParts* s) {
        term.rank = key.rank;
        term.degree = key.degree;
        term.powCount = std::uint32_t(s->powers.size() - term.powFirst);
        term.facCount = std::uint32_t(s->factors.size() - term.facFirst);
        s->terms.push_back(std::move(term));
    }

    // Pair (r, c) of a sum, the term r*c, c != 1, read in place where op() would give a product
    // of the variable r, of r's own power of a variable, or of r's factors, and then c.
    bool add_scaled_term(const GiNaC::ex& r, const GiNaC::ex& c, SumParts* s) {
        Term term{Term::Product, 0, 0.0, std::uint32_t(s->powers.size()), 0,
                  std::uint32_t(s->factors.size()), 0, nullptr, c};
        Key key{0, 0.0, &s->powers};
        if (is_symbol(r)) {
            add_power(r, 1.0, &key);
            s->factors.push_back({&r, nullptr, symbol_id(r), true});
        } else if (is_exactly<power>(r) && is_symbol(PowerAccess::base_of(ex_to<power>(r))) &&
                   is_exactly<numeric>(PowerAccess::exponent_of(ex_to<power>(r)))) {
            const GiNaC::ex& b = PowerAccess::base_of(ex_to<power>(r));
            const GiNaC::ex& x = PowerAccess::exponent_of(ex_to<power>(r));
            if (ex_to<numeric>(x).is_real()) add_power(b, exponent_double(ex_to<numeric>(x)), &key);
            else key.rank = 1;
            s->factors.push_back({&b, &x, symbol_id(b), true});
        } else if (is_exactly<mul>(r) && is_one(PairAccess::overall(ex_to<mul>(r)))) {
            GiNaC::ex none(1);
            mul_factors(ex_to<mul>(r), &s->factors, &none, &key);
        } else {
            return false;
        }
        finish_term(std::move(term), key, s);
        return true;
    }

    // The order of the terms by one 64-bit key each, when every exponent is a positive integer
    // and each term has a variable at most once: then comparing the variables' lists as the
    // general comparison does is comparing the dense exponent vectors (indexed by name rank),
    // larger first, an absent variable counting as exponent 0.  The key packs, from the top:
    // rank, (max degree - degree), and (max exponent - exponent) for each name rank; ties keep
    // the terms' order through the index.  Answers false when the key does not fit.
    bool packed_order(SumParts& s) const {
        double maxExp = 0, maxDeg = 0;
        for (const Power& p : s.powers) {
            if (!(p.p >= 1 && p.p <= 65535) || p.p != double(std::uint32_t(p.p))) return false;
            maxExp = std::max(maxExp, p.p);
        }
        for (const Term& t : s.terms) maxDeg = std::max(maxDeg, t.degree);
        const unsigned ranks = symbols.empty() ? 0 : unsigned(symbols.size());
        const unsigned eBits = unsigned(std::bit_width(std::uint64_t(maxExp)));
        const unsigned dBits = unsigned(std::bit_width(std::uint64_t(maxDeg)));
        if (2 + dBits + std::uint64_t(ranks) * eBits > 64) return false;
        const std::uint64_t topExp = std::uint64_t(maxExp);
        std::vector<std::pair<std::uint64_t, std::uint32_t>>& keys = s.keys;
        std::vector<std::uint64_t>& dense = s.dense;
        keys.resize(s.terms.size());
        dense.resize(ranks);
        for (std::size_t i = 0; i < s.terms.size(); ++i) {
            const Term& t = s.terms[i];
            std::fill(dense.begin(), dense.end(), 0);
            for (std::uint32_t k = 0; k < t.powCount; ++k) {
                const Power& p = s.powers[t.powFirst + k];
                if (dense[p.sym] != 0) return false;   // two variables of one name
                dense[p.sym] = std::uint64_t(p.p);
            }
            std::uint64_t key = std::uint64_t(t.rank);
            key = (key << dBits) | (std::uint64_t(maxDeg) - std::uint64_t(t.degree));
            for (unsigned r = 0; r < ranks; ++r) key = (key << eBits) | (topExp - dense[r]);
            keys[i] = {key, std::uint32_t(i)};
        }
        // With the term's index packed below the key the sort compares plain integers, which
        // is cheaper than comparing (key, index) pairs; the order is the same.
        const unsigned keyBits = 2 + dBits + ranks * eBits;
        const unsigned indexBits = unsigned(std::bit_width(std::uint64_t(keys.size())));
        if (keyBits + indexBits <= 64) {
            std::vector<std::uint64_t>& packed = s.packed;
            packed.resize(keys.size());
            for (std::size_t i = 0; i < keys.size(); ++i) packed[i] = (keys[i].first << indexBits) | keys[i].second;
            std::sort(packed.begin(), packed.end());
            const std::uint64_t indexMask = (std::uint64_t(1) << indexBits) - 1;
            for (std::size_t i = 0; i < keys.size(); ++i)
                keys[i] = {packed[i] >> indexBits, std::uint32_t(packed[i] & indexMask)};
        } else {
            std::sort(keys.begin(), keys.end());
        }
        for (std::size_t i = 0; i < keys.size(); ++i) s.order[i] = keys[i].second;
        // Terms of one key (non-polynomial factors beside the same variables) in their own order.
        for (std::size_t i = 0; i < keys.size();) {
            std::size_t j = i + 1;
            while (j < keys.size() && keys[j].first == keys[i].first) ++j;
            if (j - i > 1)
                std::sort(s.order.begin() + i, s.order.begin() + j, [&](std::uint32_t ia, std::uint32_t ib) {
                    return term_compare(s.terms[ia], s.terms[ib], s) < 0;
                });
            i = j;
        }
        return true;
    }

    Dag sum(const GiNaC::ex& e) {
        std::size_t n = e.nops();
        SumLevel level(n);
        SumParts& s = level.parts;
        if (is_exactly<add>(e)) {
            const epvector& pairs = PairAccess::pairs(ex_to<add>(e));
            for (std::size_t i = 0; i < pairs.size(); ++i) {
                const GiNaC::ex& r = pairs[i].rest;
                const GiNaC::ex& c = pairs[i].coeff;
                if (is_one(c)) add_term(r, &s);
                else if (!add_scaled_term(r, c, &s)) add_term(kept(e.op(i)), &s);
            }
            if (n > pairs.size()) add_term(PairAccess::overall(ex_to<add>(e)), &s);
        } else {
            for (std::size_t i = 0; i < n; ++i) add_term(kept(e.op(i)), &s);
        }

        // Names to ranks, then each term's variables in order of name and exponent.
        rank_symbols();
        for (Power& p : s.powers) p.sym = symbols[p.sym].rank;
        for (const Term& t : s.terms)
            std::sort(s.powers.begin() + t.powFirst, s.powers.begin() + t.powFirst + t.powCount);

        // Each product's factors in order (term_compare reads them).
        std::size_t runWords = 0;
        for (Term& t : s.terms) {
            if (t.kind != Term::Product) continue;
            Factor* fs = s.factors.data() + t.facFirst;
            sort_factors(fs, t.facCount);
            runWords += product_words(fs, t.facCount);
            std::int64_t x;
            if (fixnum_value(ex_to<numeric>(t.coeff), &x)) runWords += small_int_words(x);
        }

        std::vector<std::uint32_t>& order = s.order;
        order.resize(s.terms.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = std::uint32_t(i);
        if (!packed_order(s))
            std::sort(order.begin(), order.end(), [&](std::uint32_t ia, std::uint32_t ib) {
            const Term& a = s.terms[ia];
            const Term& b = s.terms[ib];
            if (a.rank != b.rank) return a.rank < b.rank;
            if (a.degree != b.degree) return a.degree > b.degree;
            const Power* pa = s.powers.data() + a.powFirst;
            const Power* pb = s.powers.data() + b.powFirst;
            for (std::uint32_t i = 0; i < a.powCount && i < b.powCount; ++i) {
                if (pa[i].sym != pb[i].sym) return pa[i].sym < pb[i].sym;
                if (pa[i].p != pb[i].p) return pa[i].p > pb[i].p;
            }
            if (a.powCount != b.powCount) return a.powCount > b.powCount;
            return term_compare(a, b, s) < 0;
        });

        // The SUM and the products' PRODs and machine-size integers come from one block.
        const std::size_t sumWords = 2 * s.terms.size() + 1;
        if (sumWords > DAG_MAX_LENGTH) return dag_new(sumWords, DAG_SUM);   // raises "object too large"
        DagRun run;
        run.next = storage_alloc_current(sumWords + runWords);
        run.end = run.next + sumWords + runWords;
        Dag d = run.take(sumWords, DAG_SUM);
        for (std::size_t i = 0; i < order.size(); ++i) {
            const Term& t = s.terms[order[i]];
            Dag term = nullptr;
            Dag coeff = dag_one;
            switch (t.kind) {
            case Term::Number: term = numeric_dag(ex_to<numeric>(*t.item), digits); break;
            case Term::Single: term = conv(*t.item); break;
            case Term::Product: {
                term = product(s.factors.data() + t.facFirst, t.facCount, &run);
                std::int64_t x;
                if (fixnum_value(ex_to<numeric>(t.coeff), &x)) coeff = small_int_dag(x, &run);
                else imaginary_coefficient(ex_to<numeric>(t.coeff), &term, &coeff);
                break;
            }
            }
            dag_set_op(d, 2 * i + 1, term);
            dag_set_op(d, 2 * i + 2, coeff);
        }
        return d;
    }

    // The coefficient of a product term; a purely imaginary one (b*I) puts I among the factors
    // and keeps b as the coefficient, so that the sum prints with one sign (x-1/2*I*y).
    void imaginary_coefficient(const numeric& c, Dag* term, Dag* coeff) {
        if (c.is_real() || !c.real().is_zero()) {
            *coeff = numeric_dag(c, digits);
            return;
        }
        *coeff = numeric_dag(c.imag(), digits);
        Dag i = kernel_name_dag("I");
        if (dag_type(*term) == DAG_PROD) {
            std::size_t n = dag_length(*term);
            Dag p = dag_new(n + 2, DAG_PROD);
            dag_set_op(p, 1, i);
            dag_set_op(p, 2, dag_one);
            for (std::size_t k = 1; k < n; ++k) dag_set_op(p, k + 2, dag_op(*term, k));
            *term = p;
        } else {
            *term = dag_new4(DAG_PROD, i, dag_one, *term, dag_one);
        }
    }

    Dag product_dag(const GiNaC::ex& e) {
        GiNaC::ex c(1);
        std::vector<Factor> factors;
        Key none;
        product_factors(e, &factors, &c, &none);
        sort_factors(factors.data(), factors.size());
        Dag p = product(factors.data(), factors.size(), nullptr);
        if (is_one(c)) return p;
        Dag coeff;
        imaginary_coefficient(ex_to<numeric>(c), &p, &coeff);
        return dag_new2(DAG_SUM, p, coeff);
    }

    Dag power_dag(const power& p) {
        static const GiNaC::ex e1 = exp(GiNaC::ex(1));
        const GiNaC::ex& base = PowerAccess::base_of(p);
        const GiNaC::ex& expo = PowerAccess::exponent_of(p);
        if (base.is_equal(e1)) return dag_new2(DAG_FUNCTION, kernel_name_dag("exp"), seq({expo}));
        return dag_new2(is_exactly<numeric>(expo) ? DAG_PROD : DAG_POWER, conv(base), conv(expo));
    }

    // A call: its name in the language, found once per function and kept (interned names live
    // as long as the process).
    Dag call_dag(const function& f, const exvector& args) {
        static std::unordered_map<unsigned, Dag> names;   // by GiNaC's function serial; null: ".."
        Dag name;
        auto it = names.find(f.get_serial());
        if (it != names.end()) {
            name = it->second;
        } else {
            std::string text = language_function_name(f.get_name());
            name = text == ".." ? nullptr : kernel_name_dag(text.c_str());
            names.emplace(f.get_serial(), name);
        }
        // A range inside an unevaluated call (int(f, x = a..b)).
        if (name == nullptr) {
            if (args.size() == 2) return dag_new2(DAG_RANGE, conv(args[0]), conv(args[1]));
            name = kernel_name_dag("..");
        }
        return dag_new2(DAG_FUNCTION, name, seq(args));
    }

    // The commonest classes are told by exact class tests first: is_a's dynamic_cast compares
    // type names for every class it passes, which was a third of converting a small result.
    Dag conv(const GiNaC::ex& e) {
        if (is_exactly<numeric>(e)) return numeric_dag(ex_to<numeric>(e), digits);
        if (is_symbol(e)) return symbol_dag(e);
        if (is_exactly<add>(e)) return sum(e);
        if (is_exactly<mul>(e)) return product_dag(e);
        if (is_exactly<power>(e)) return power_dag(ex_to<power>(e));
        if (is_exactly<function>(e)) return call_dag(ex_to<function>(e), ArgumentAccess::of(ex_to<function>(e)));
        if (is_a<constant>(e)) {
            if (e.is_equal(Pi)) return kernel_name_dag("Pi");
            if (e.is_equal(Catalan)) return kernel_name_dag("Catalan");
            if (e.is_equal(Euler)) return kernel_name_dag("gamma");
            std::ostringstream os;
            os << e;
            return kernel_name_dag(os.str().c_str());
        }
        if (is_a<add>(e)) return sum(e);
        if (is_a<mul>(e)) return product_dag(e);
        if (is_a<function>(e)) return call_dag(ex_to<function>(e), exvector(e.begin(), e.end()));
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
        if (is_a<matrix>(e)) {
            // matrix([[row 1], [row 2], ...]), the call the typesetter lays out as a grid.
            const matrix& m = ex_to<matrix>(e);
            Dag rows = dag_new(m.rows() + 1, DAG_EXPSEQ);
            for (unsigned i = 0; i < m.rows(); ++i) {
                exvector row;
                for (unsigned j = 0; j < m.cols(); ++j) row.push_back(m(i, j));
                dag_set_op(rows, i + 1, dag_new1(DAG_LIST, seq(row)));
            }
            return dag_new2(DAG_FUNCTION, kernel_name_dag("matrix"),
                            dag_new1(DAG_EXPSEQ, dag_new1(DAG_LIST, rows)));
        }
        if (is_a<pseries>(e)) return series(ex_to<pseries>(e));
        std::ostringstream os;
        os << e;
        throw KError("cannot convert " + os.str());
    }

    Dag series(const pseries& s) {
        GiNaC::ex var = s.get_var(), point = s.get_point();
        Dag head = conv(var - point);
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

int shown_digits(const KValue& v) { return v.digits > 0 ? v.digits : int(kernel_shown_digits()); }

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
    if (!is_symbol(e)) return false;
    if (text) *text = ex_to<symbol>(e).get_name();
    return true;
}

GiNaC::ex kernel_indexed_symbol(const std::string& base, const KSeq& index) {
    std::string key = base + "[";
    for (std::size_t i = 0; i < index.size(); ++i) {
        if (i) key += ',';
        key += kernel_value_text(index[i]);
    }
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
    DagBuilder b{int(kernel_shown_digits())};
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
    case KValue::Call: return dag_new2(DAG_FUNCTION, kernel_name_dag(v.text.c_str()), seq(v.items));
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
    case DAG_INTNEG: return KValue(integer_value(d));
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
    case KValue::Call: return v.text + "(" + join(v.items) + ")";
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
        if (a.kind == KValue::Call && a.text != b.text) return false;
        if (a.rel != b.rel || a.items.size() != b.items.size()) return false;
        for (std::size_t i = 0; i < a.items.size(); ++i)
            if (!kernel_value_equal(a.items[i], b.items[i])) return false;
        return true;
    }
}
