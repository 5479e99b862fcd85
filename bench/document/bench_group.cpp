// Output placement of an execution group (no document: no undo recording, no view).
//   BM_append_line_printed_10000   10,000 line-printed outputs appended to one group; outputs/s
//   BM_replace_1000_outputs        clear a group holding 1,000 outputs and refill it, as a
//                                  re-execution with replaceOutput set does; ms per round
#include <benchmark/benchmark.h>

#include <memory>

#include "document/exec/ExecutionGroup.h"
#include "document/exec/OutputSink.h"
#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"

namespace {

void initLibrary() {
    static bool done = false;
    if (done) return;
    done = true;
    tovu_start();
}

void BM_append_line_printed_10000(benchmark::State& state) {
    initLibrary();
    Dag line = parse_text("`a line of printed text`;");
    for (auto _ : state) {
        auto group = std::make_unique<ExecutionGroup>(ExecutionGroup::WithInput{"> "});
        for (int i = 0; i < 10000; ++i) group->insertOutput(line, kOutputText);
        benchmark::DoNotOptimize(group->childCount());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_append_line_printed_10000)->Unit(benchmark::kMillisecond);

void BM_replace_1000_outputs(benchmark::State& state) {
    initLibrary();
    Dag line = parse_text("`output`;");
    auto group = std::make_unique<ExecutionGroup>(ExecutionGroup::WithInput{"> "});
    for (int i = 0; i < 1000; ++i) group->insertOutput(line, kOutputText);
    for (auto _ : state) {
        group->clearOutputs();
        for (int i = 0; i < 1000; ++i) group->insertOutput(line, kOutputText);
        benchmark::DoNotOptimize(group->childCount());
    }
}
BENCHMARK(BM_replace_1000_outputs)->Unit(benchmark::kMillisecond);

}  // namespace
