// Our kernel against GiNaC called directly on the same work.  Each iteration runs the statement
// through kernel_evaluate (parsed once beforehand; the result converted to a DAG and handed to
// the query callback, as in a worksheet) and then the same computation in GiNaC alone; the
// counters give both times per iteration and their ratio (kernel / GiNaC), the layer's overhead.

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

#include <ginac/ginac.h>

#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"

namespace {

Dag onQuery(void* link, Dag reply) {
    ++*static_cast<long*>(link);
    benchmark::DoNotOptimize(reply);
    return nullptr;
}
int onPoll(void*) { return 0; }

void startKernel() {
    static bool started = false;
    if (started) return;
    storage_init_default();
    dag_init();
    char prog[] = "kernel";
    char* argv[] = {prog, nullptr};
    kernel_start(1, argv);
    started = true;
}

void compare(benchmark::State& state, const char* statement, const std::function<void()>& direct) {
    startKernel();
    int flag = 0;
    Dag stmt = parse_text_full(statement, nullptr, nullptr, nullptr, nullptr, &flag, nullptr,
                               nullptr, false);
    if (stmt == nullptr) {
        state.SkipWithError("statement does not parse");
        return;
    }
    using Clock = std::chrono::steady_clock;
    double kernelSeconds = 0, ginacSeconds = 0;
    long replies = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        kernel_evaluate(stmt, onQuery, onPoll, flag, 1, &replies);
        auto t1 = Clock::now();
        direct();
        auto t2 = Clock::now();
        kernelSeconds += std::chrono::duration<double>(t1 - t0).count();
        ginacSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    double n = double(state.iterations());
    state.counters["kernel_ms"] = 1000 * kernelSeconds / n;
    state.counters["ginac_ms"] = 1000 * ginacSeconds / n;
    state.counters["ratio"] = ginacSeconds > 0 ? kernelSeconds / ginacSeconds : 0;
}

void BM_kernel_expand_power_20(benchmark::State& state) {
    GiNaC::symbol x("x"), y("y"), z("z");
    compare(state, "expand((1+x+y+z)^20);", [&] {
        GiNaC::ex e = GiNaC::pow(1 + x + y + z, 20).expand();
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_expand_power_20)->Unit(benchmark::kMillisecond);

// The same with ":" : no result is sent, so this is the interpreter's own overhead without the
// conversion of the 1771-term result into DAGs.
void BM_kernel_expand_power_20_no_result(benchmark::State& state) {
    GiNaC::symbol x("x"), y("y"), z("z");
    compare(state, "expand((1+x+y+z)^20):", [&] {
        GiNaC::ex e = GiNaC::pow(1 + x + y + z, 20).expand();
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_expand_power_20_no_result)->Unit(benchmark::kMillisecond);

void BM_kernel_factorial_2000(benchmark::State& state) {
    compare(state, "factorial(2000);", [] {
        GiNaC::ex e = GiNaC::factorial(2000);
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_factorial_2000)->Unit(benchmark::kMillisecond);

void BM_kernel_series_200_terms(benchmark::State& state) {
    GiNaC::symbol x("x");
    compare(state, "series(exp(x),x,200);", [&] {
        GiNaC::ex e = GiNaC::exp(x).series(x == 0, 200);
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_series_200_terms)->Unit(benchmark::kMillisecond);

}  // namespace
