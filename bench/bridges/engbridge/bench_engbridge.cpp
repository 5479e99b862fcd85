// Moving a 1000 x 1000 real matrix into the engine and back through the bridge, beside Octave
// saving and loading the same matrix in its own binary format (to a file in /tmp), in the same
// run.  Counters: bridge_MBps and octave_MBps (matrix bytes moved both ways per second) and
// their ratio.

#include "bridges/engbridge/engbridge.h"
#include "kernel_table.h"
#include "platform/matlab/engine.h"
#include "tovu/errors.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSide = 1000;

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

void BM_engbridge_matrix_roundtrip_1000x1000(benchmark::State& state) {
    tovu_start();
    const KernelSlot* table = kernel_table();
    MatlabOpenEngine(table);
    std::vector<double> values(static_cast<size_t>(kSide) * kSide);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i) * 0.5;
    Dag array = make_hfarray({{1, kSide}, {1, kSide}}, values);
    Dag setArgs = make_args({make_name("x"), array});
    Dag getArgs = make_args({make_string("x")});
    std::string file = "/tmp/kelvo_bench_" + std::to_string(::getpid()) + ".bin";
    Dag saveArgs = make_args({make_string(("save('-binary', '" + file + "', 'x'); clear x; load('" + file + "');").c_str())});
    double bridge = 0, octave = 0;
    for (auto _ : state) {
        auto t = std::chrono::steady_clock::now();
        MatlabSetVariable(table, setArgs);
        benchmark::DoNotOptimize(MatlabGetVariable(table, getArgs));
        bridge += seconds_since(t);
        t = std::chrono::steady_clock::now();
        MatlabExecuteCommand(table, saveArgs);
        octave += seconds_since(t);
    }
    double megabytes = 2.0 * values.size() * sizeof(double) / 1e6 * static_cast<double>(state.iterations());
    state.counters["bridge_MBps"] = megabytes / bridge;
    state.counters["octave_MBps"] = megabytes / octave;
    state.counters["ratio"] = (megabytes / bridge) / (megabytes / octave);
    std::remove(file.c_str());
    MatlabCloseEngine(table);
}
BENCHMARK(BM_engbridge_matrix_roundtrip_1000x1000)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
