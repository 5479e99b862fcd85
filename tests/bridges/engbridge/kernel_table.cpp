// The test kernel's callback table.

#include "kernel_table.h"

#include <cstring>

namespace {

size_t dims_of(const DagWord* d) { return (dag_length(d) - 3) / 2; }

bool is_hfarray(const DagWord* d) {
    return d && dag_type(d) == DAG_HFARRAY && dag_length(d) >= 5 && (dag_length(d) - 3) % 2 == 0;
}

Dag call(const char* name, const std::vector<Dag>& args) { return dag_new2(DAG_FUNCTION, dag_name(name), make_args(args)); }

KernelValue complex_array(KernelValue re, KernelValue im) { return call("complexarray", {re, im}); }

KernelValue new_hfarray(int k, long n) {
    Dag d = dag_new(3 + 2 * static_cast<size_t>(k), DAG_HFARRAY);
    hfarray_alloc(d, static_cast<size_t>(n));
    return d;
}

KernelValue integer(long v) { return dag_of_int(v); }

KernelValue complex_float(double re, double im) { return call("complexfloat", {make_hfarray({{1, 2}}, {re, im})}); }

double* hf_data(KernelValue d) { return hfarray_data(d); }

KernelValue make_float(double v) { return call("float", {make_hfarray({{1, 1}}, {v})}); }

void raise_error(const char* message) { throw KernelError{message}; }

int test_hfarray(KernelValue d) { return is_hfarray(d) ? 1 : 0; }

long lower(KernelValue d, int i) { return static_cast<long>(dag_word(d, 3 + 2 * static_cast<size_t>(i - 1))); }

long upper(KernelValue d, int i) { return static_cast<long>(dag_word(d, 4 + 2 * static_cast<size_t>(i - 1))); }

const char* text(KernelValue d) {
    return d && (dag_type(d) == DAG_NAME || dag_type(d) == DAG_STRING) ? dag_text(d) : nullptr;
}

int dimensions(KernelValue d) { return static_cast<int>(dims_of(d)); }

void set_bounds(KernelValue d, int i, long lo, long hi) {
    d[3 + 2 * static_cast<size_t>(i - 1)] = static_cast<DagWord>(lo);
    d[4 + 2 * static_cast<size_t>(i - 1)] = static_cast<DagWord>(hi);
}

long elements(KernelValue d) { return static_cast<long>(d[2]); }

template <typename F>
KernelSlot as_slot(F f) {
    return reinterpret_cast<KernelSlot>(f);
}

}  // namespace

const KernelSlot* kernel_table() {
    static KernelSlot table[ENGBRIDGE_SLOT_COUNT] = {};
    table[ENGBRIDGE_SLOT_COMPLEX_ARRAY] = as_slot(&complex_array);
    table[ENGBRIDGE_SLOT_NEW_HFARRAY] = as_slot(&new_hfarray);
    table[ENGBRIDGE_SLOT_INTEGER] = as_slot(&integer);
    table[ENGBRIDGE_SLOT_COMPLEX_FLOAT] = as_slot(&complex_float);
    table[ENGBRIDGE_SLOT_HFARRAY_DATA] = as_slot(&hf_data);
    table[ENGBRIDGE_SLOT_FLOAT] = as_slot(&make_float);
    table[ENGBRIDGE_SLOT_ERROR] = as_slot(&raise_error);
    table[ENGBRIDGE_SLOT_IS_HFARRAY] = as_slot(&test_hfarray);
    table[ENGBRIDGE_SLOT_LOWER_BOUND] = as_slot(&lower);
    table[ENGBRIDGE_SLOT_TEXT] = as_slot(&text);
    table[ENGBRIDGE_SLOT_DIMENSIONS] = as_slot(&dimensions);
    table[ENGBRIDGE_SLOT_SET_BOUNDS] = as_slot(&set_bounds);
    table[ENGBRIDGE_SLOT_ELEMENTS] = as_slot(&elements);
    table[ENGBRIDGE_SLOT_UPPER_BOUND] = as_slot(&upper);
    return table;
}

Dag make_hfarray(const std::vector<std::pair<long, long>>& bounds, const std::vector<double>& values) {
    Dag d = new_hfarray(static_cast<int>(bounds.size()), static_cast<long>(values.size()));
    for (size_t i = 0; i < bounds.size(); ++i)
        set_bounds(d, static_cast<int>(i + 1), bounds[i].first, bounds[i].second);
    if (!values.empty()) std::memcpy(hfarray_data(d), values.data(), values.size() * sizeof(double));
    return d;
}

Dag make_args(const std::vector<Dag>& items) {
    Dag d = dag_new(items.size() + 1, DAG_EXPSEQ);
    for (size_t i = 0; i < items.size(); ++i) dag_set_op(d, i + 1, items[i]);
    return d;
}

Dag make_name(const char* text) { return dag_name(text); }

Dag make_string(const char* text) { return dag_intern(text, DAG_STRING); }

std::vector<std::pair<long, long>> bounds_of(const DagWord* d) {
    std::vector<std::pair<long, long>> b;
    if (!is_hfarray(d)) return b;
    for (size_t i = 1; i <= dims_of(d); ++i)
        b.emplace_back(lower(const_cast<Dag>(d), static_cast<int>(i)), upper(const_cast<Dag>(d), static_cast<int>(i)));
    return b;
}

std::vector<double> values_of(const DagWord* d) {
    if (!is_hfarray(d)) return {};
    const double* p = hfarray_data(d);
    return std::vector<double>(p, p + d[2]);
}

std::string call_name(const DagWord* value) {
    if (!value || dag_type(value) != DAG_FUNCTION) return "";
    return dag_text(dag_op(value, 1));
}

const DagWord* call_arg(const DagWord* value, size_t i) { return dag_op(dag_op(value, 2), i + 1); }
