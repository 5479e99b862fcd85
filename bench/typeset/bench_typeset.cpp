// Layout and 2-D rendering speed on the character-cell device, in expressions per second:
// a polynomial of 1,000 terms (seeded coefficients) and a rational of two 100-digit integers.

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

}  // namespace
