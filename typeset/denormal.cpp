// Display denormalisation: products in the kernel's normal form (factor/exponent pairs, negative
// exponents for what stands below a fraction bar) are rewritten into numerator over denominator,
// every factor raised to its exponent as a POWER and the exponent 1/2 shown as sqrt.
//
// Rules, in the order they are tried on one DAG (memoised, so shared parts stay shared):
//   1. numbers, strings, names, indices and hardware arrays are returned unchanged;
//   2. SERIES: the expansion expression and the coefficients are rewritten, exponents kept;
//   3. PROD: split by the sign of the exponents (see rewrite_product);
//   4. anything else: every operand is rewritten.
// A DAG is copied only when one of its operands changed.  Nesting beyond kDepthCap is returned
// unchanged rather than walked on an exhausted stack.

#include <cstring>
#include <unordered_map>

#include "typeset.h"

namespace {

constexpr int kDepthCap = 2000;

struct PairKey {
    const DagWord* f;
    const DagWord* e;
    bool operator==(const PairKey& o) const { return f == o.f && e == o.e; }
};
struct PairHash {
    std::size_t operator()(const PairKey& k) const {
        return std::hash<const void*>()(k.f) * 31 + std::hash<const void*>()(k.e);
    }
};

// A rational or float read from outside may lack its parts; only a whole one is rewritten.
bool number_whole(const DagWord* e) {
    return dag_length(e) == 3 && dag_op(e, 1) && dag_op(e, 2);
}

bool exponent_negative(const DagWord* e) {
    if (!e) return false;
    switch (dag_type(e)) {
    case DAG_INTNEG: return true;
    case DAG_RATIONAL:
    case DAG_FLOAT: return number_whole(e) && dag_type(dag_op(e, 1)) == DAG_INTNEG;
    default: return false;
    }
}

bool is_half(const DagWord* e) {
    return e && dag_type(e) == DAG_RATIONAL && number_whole(e) && dag_is_int_value(dag_op(e, 1), 1) &&
           dag_is_int_value(dag_op(e, 2), 2);
}

Dag negate_integer(const DagWord* i) {
    Dag c = dag_copy(i);
    c[0] = dag_header(DAG_INTPOS, dag_length(c));
    return c;
}

Dag negate_exponent(const DagWord* e) {
    switch (dag_type(e)) {
    case DAG_INTNEG:
        return negate_integer(e);
    case DAG_RATIONAL:
        return dag_new2(DAG_RATIONAL, negate_integer(dag_op(e, 1)), dag_op(e, 2));
    case DAG_FLOAT: {
        Dag c = dag_copy(e);
        dag_set_op(c, 1, negate_integer(dag_op(e, 1)));
        return c;
    }
    default:
        return const_cast<Dag>(e);
    }
}

bool operand_is_dag(unsigned type, std::size_t i) {
    switch (type) {
    case DAG_SERIES: return i == 1 || i % 2 == 0;
    case DAG_HASH: return i % 2 == 0;
    default: return true;
    }
}

class Denormaliser {
public:
    Dag rewrite(Dag d, int depth) {
        if (!d || depth > kDepthCap) return d;
        auto it = memo_.find(d);
        if (it != memo_.end()) return it->second;
        Dag r = rewriteOnce(d, depth);
        memo_[d] = r;
        return r;
    }

private:
    std::unordered_map<const DagWord*, Dag> memo_;
    std::unordered_map<PairKey, Dag, PairHash> powers_;

    Dag rewriteOnce(Dag d, int depth) {
        unsigned t = dag_type(d);
        switch (t) {
        case DAG_INTNEG: case DAG_INTPOS: case DAG_RATIONAL: case DAG_FLOAT: case DAG_STRING:
        case DAG_NAME: case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL: case DAG_HFARRAY:
            return d;
        case DAG_PROD:
            if (dag_length(d) >= 3 && dag_length(d) % 2 == 1) return rewriteProduct(d, depth);
            return d;
        default:
            return rewriteOperands(d, depth);
        }
    }

    Dag rewriteOperands(Dag d, int depth) {
        unsigned t = dag_type(d);
        std::size_t len = dag_length(d);
        Dag copy = nullptr;
        for (std::size_t i = 1; i < len; ++i) {
            if (!operand_is_dag(t, i) || !d[i]) continue;
            Dag op = dag_op(d, i);
            Dag r = rewrite(op, depth + 1);
            if (r != op) {
                if (!copy) copy = dag_copy(d);
                dag_set_op(copy, i, r);
            }
        }
        return copy ? copy : d;
    }

    Dag powerOf(Dag f, Dag e) {
        PairKey key{f, e};
        auto it = powers_.find(key);
        if (it != powers_.end()) return it->second;
        Dag r;
        if (is_half(e))
            r = dag_new2(DAG_FUNCTION, dag_name("sqrt"), dag_new1(DAG_EXPSEQ, f));
        else if (!dag_is_int_value(e, 1))
            r = dag_new2(DAG_POWER, f, e);
        else
            r = f;
        powers_[key] = r;
        return r;
    }

    // Pairs of the product become (power, 1); a single pair with exponent 1 may collapse.
    Dag powerStep(Dag p, bool collapse) {
        std::size_t len = dag_length(p);
        if (collapse && len == 3 && dag_is_int_value(dag_op(p, 2), 1)) return dag_op(p, 1);
        for (std::size_t i = 1; i + 1 < len; i += 2) {
            dag_set_op(p, i, powerOf(dag_op(p, i), dag_op(p, i + 1)));
            dag_set_op(p, i + 1, dag_one);
        }
        return p;
    }

    Dag rewriteProduct(Dag d, int depth) {
        std::size_t len = dag_length(d);
        std::size_t pairs = (len - 1) / 2, negatives = 0;
        for (std::size_t i = 2; i < len; i += 2)
            if (exponent_negative(dag_op(d, i))) ++negatives;
        if (negatives == 0) {
            Dag c = dag_copy(d);
            for (std::size_t i = 1; i < len; i += 2) dag_set_op(c, i, rewrite(dag_op(d, i), depth + 1));
            return powerStep(c, false);
        }
        Dag den = dag_new(2 * negatives + 1, DAG_PROD);
        Dag num = negatives < pairs ? dag_new(2 * (pairs - negatives) + 1, DAG_PROD) : nullptr;
        std::size_t ni = 1, di = 1;
        for (std::size_t i = 1; i < len; i += 2) {
            Dag f = rewrite(dag_op(d, i), depth + 1);
            Dag e = dag_op(d, i + 1);
            if (exponent_negative(e)) {
                dag_set_op(den, di, f);
                dag_set_op(den, di + 1, negate_exponent(e));
                di += 2;
            } else {
                dag_set_op(num, ni, f);
                dag_set_op(num, ni + 1, e);
                ni += 2;
            }
        }
        Dag top = num ? powerStep(num, true) : dag_one;
        Dag bottom = powerStep(den, true);
        return dag_new4(DAG_PROD, top, dag_one, bottom, dag_minus_one);
    }
};

}  // namespace

Dag denormalise_dag(Dag dag) {
    if (!dag) return nullptr;
    Denormaliser d;
    return d.rewrite(dag, 0);
}
