// Test expression builders and the library start-up for the typesetter tests.

#include "dag_build.h"

#include <gtest/gtest.h>

#include "tovu/storage.h"
#include "typeset/typeset.h"

namespace {

class TypesetEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        tovu_start();
        IdentifierStyleTable::loadBuiltin();
    }
    void TearDown() override { IdentifierStyleTable::free(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new TypesetEnvironment);

}  // namespace

namespace tb {

Dag I(long v) { return dag_of_int(v); }
Dag Big(const std::string& digits) { return dag_integer_from_text(digits); }
Dag N(const char* text) { return dag_name(text); }
Dag S(const char* text) { return dag_intern(text, DAG_STRING); }
Dag Q(long num, long den) { return dag_new2(DAG_RATIONAL, I(num), I(den)); }
Dag F(long mantissa, long exponent) { return dag_new2(DAG_FLOAT, I(mantissa), I(exponent)); }

Dag Seq(std::initializer_list<Dag> items) {
    Dag s = dag_new(items.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (Dag d : items) dag_set_op(s, i++, d);
    return s;
}

Dag Fn(const char* name, std::initializer_list<Dag> args) {
    return dag_new2(DAG_FUNCTION, N(name), Seq(args));
}

static Dag pairs(unsigned type, std::initializer_list<std::pair<Dag, Dag>> items) {
    Dag s = dag_new(2 * items.size() + 1, type);
    std::size_t i = 1;
    for (auto& [a, b] : items) {
        dag_set_op(s, i++, a);
        dag_set_op(s, i++, b);
    }
    return s;
}

Dag Sum(std::initializer_list<std::pair<Dag, Dag>> tc) { return pairs(DAG_SUM, tc); }
Dag Prod(std::initializer_list<std::pair<Dag, Dag>> fe) { return pairs(DAG_PROD, fe); }
Dag Pow(Dag base, Dag exponent) { return dag_new2(DAG_POWER, base, exponent); }
Dag Bin(unsigned type, Dag a, Dag b) { return dag_new2(type, a, b); }
Dag Un(unsigned type, Dag a) { return dag_new1(type, a); }
Dag List(std::initializer_list<Dag> items) { return dag_new1(DAG_LIST, Seq(items)); }
Dag Set(std::initializer_list<Dag> items) { return dag_new1(DAG_SET, Seq(items)); }
Dag Tref(Dag base, std::initializer_list<Dag> indices) {
    return dag_new2(DAG_TABLEREF, base, Seq(indices));
}

Dag Series(Dag x, std::initializer_list<std::pair<Dag, long>> terms) {
    Dag s = dag_new(2 * terms.size() + 2, DAG_SERIES);
    dag_set_op(s, 1, x);
    std::size_t i = 2;
    for (auto& [c, n] : terms) {
        dag_set_op(s, i++, c);
        s[i++] = DagWord(n);
    }
    return s;
}

Dag BigO() { return Fn("O", {I(1)}); }

}  // namespace tb
