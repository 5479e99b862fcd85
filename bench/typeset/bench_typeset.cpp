// Layout and 2-D rendering speed on the character-cell device, in expressions per second:
// a polynomial of 1,000 terms (seeded coefficients), a rational of two 100-digit integers, a
// 100 x 100 integer matrix, a procedure of 1,000 statements and int, sum and diff calls nested
// 50 deep.

#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

namespace {

void init_library() {
    static bool done = false;
    if (done) return;
    done = true;
    tovu_start();
}

Dag polynomial(int terms) {
    std::mt19937 rng(12345);
    Dag x = dag_name("x");
    Dag s = dag_new(std::size_t(2 * terms + 1), DAG_SUM);
    for (int i = 0; i < terms; ++i) {
        Dag term = i == 0 ? dag_of_int(1) : (i == 1 ? x : dag_new2(DAG_POWER, x, dag_of_int(i)));
        long c = long(rng() % 2000) - 1000;
        dag_set_op(s, std::size_t(2 * i + 1), term);
        dag_set_op(s, std::size_t(2 * i + 2), dag_of_int(c == 0 ? 1 : c));
    }
    return s;
}

Dag rational100() {
    std::mt19937 rng(777);
    std::string a, b;
    for (int i = 0; i < 100; ++i) {
        a.push_back(char('1' + rng() % 9));
        b.push_back(char('1' + rng() % 9));
    }
    return dag_new2(DAG_RATIONAL, dag_integer_from_text(a), dag_integer_from_text(b));
}

Dag seq_of(std::initializer_list<Dag> items) {
    Dag s = dag_new(items.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (Dag d : items) dag_set_op(s, i++, d);
    return s;
}

Dag call(const char* name, std::initializer_list<Dag> args) {
    return dag_new2(DAG_FUNCTION, dag_name(name), seq_of(args));
}

Dag matrix100() {
    std::mt19937 rng(99);
    Dag rows = dag_new(101, DAG_EXPSEQ);
    for (std::size_t i = 1; i <= 100; ++i) {
        Dag row = dag_new(101, DAG_EXPSEQ);
        for (std::size_t j = 1; j <= 100; ++j) dag_set_op(row, j, dag_of_int(long(rng() % 1000)));
        dag_set_op(rows, i, dag_new1(DAG_LIST, row));
    }
    return call("matrix", {dag_new1(DAG_LIST, rows)});
}

Dag nested_calculus(int depth) {
    Dag x = dag_name("x");
    Dag e = dag_name("f");
    for (int i = 0; i < depth; ++i) {
        switch (i % 3) {
        case 0: e = call("int", {e, dag_new2(DAG_EQUATION, x, dag_new2(DAG_RANGE, dag_of_int(0), dag_of_int(1)))}); break;
        case 1: e = call("sum", {e, dag_new2(DAG_EQUATION, dag_name("k"), dag_new2(DAG_RANGE, dag_of_int(1), dag_name("n")))}); break;
        default: e = call("diff", {e, x}); break;
        }
    }
    return e;
}

Dag procedure1000() {
    Dag body = dag_new(1001, DAG_STATSEQ);
    Dag x = dag_name("x");
    for (std::size_t i = 1; i <= 1000; ++i)
        dag_set_op(body, i, dag_new2(DAG_ASSIGN, x, dag_new2(DAG_POWER, x, dag_of_int(long(i)))));
    Dag p = dag_new(9, DAG_PROC);
    dag_set_op(p, 1, seq_of({x}));
    for (std::size_t i : {2, 3, 6, 7, 8}) dag_set_op(p, i, seq_of({}));
    dag_set_op(p, 4, dag_NULL);
    dag_set_op(p, 5, body);
    return p;
}

int sink(void* u, int ch) {
    *static_cast<long*>(u) += ch;
    return 0;
}

void run(benchmark::State& state, Dag d) {
    long checksum = 0;
    for (auto _ : state) {
        int rc = render_text_2d(d, nullptr, sink, nullptr, false, &checksum);
        if (rc != 0) state.SkipWithError("render failed");
    }
    benchmark::DoNotOptimize(checksum);
    state.counters["expressions/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_render_polynomial_1000_terms(benchmark::State& state) {
    init_library();
    run(state, polynomial(1000));
}
BENCHMARK(BM_render_polynomial_1000_terms);

void BM_render_rational_100_digits(benchmark::State& state) {
    init_library();
    run(state, rational100());
}
BENCHMARK(BM_render_rational_100_digits);

void BM_render_matrix_100x100(benchmark::State& state) {
    init_library();
    run(state, matrix100());
}
BENCHMARK(BM_render_matrix_100x100);

void BM_render_procedure_1000_statements(benchmark::State& state) {
    init_library();
    run(state, procedure1000());
}
BENCHMARK(BM_render_procedure_1000_statements);

void BM_render_nested_int_sum_diff_50(benchmark::State& state) {
    init_library();
    run(state, nested_calculus(50));
}
BENCHMARK(BM_render_nested_int_sum_diff_50);

}  // namespace
