// Round trips of the trivial statement "1;" through the real kernel: in-process (KL_Direct)
// and over a kernsrv process (KL_PipeServer), each reply answered as the worksheet would.
// Items per second = statements per second.

#include <benchmark/benchmark.h>

#include "bench_link_support.h"
#include "tovu/parse_driver.h"

namespace {

void BM_roundtrip_direct_trivial(benchmark::State& state) {
    const char* error = nullptr;
    auto link = bench_start_direct("bench_links", &error);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    Dag stmt = parse_text("1;");
    for (auto _ : state) link->startEvaluation(stmt, 1);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_roundtrip_direct_trivial);

void BM_roundtrip_kernsrv_trivial(benchmark::State& state) {
    const char* error = nullptr;
    auto link = bench_start_kernsrv("bench_links", &error);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    Dag stmt = parse_text("1;");
    for (auto _ : state) bench_kernsrv_round_trip(*link, stmt);
    if (link->state() == KL_DEAD) state.SkipWithError(link->errorText());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_roundtrip_kernsrv_trivial);

}  // namespace
