// One input region of 1,000 trivial statements ("1;" each) through executeInput, the execution
// queue and the reply handlers, to a counting sink; statements per second for each link:
//   BM_region_script_in_process   the scripted stand-in kernel loaded in this process
//   BM_region_script_kernsrv      the same kernel behind the kernel server (pipes)
//   BM_region_real_in_process     the real kernel library in this process
//   BM_link_ratio                 in-process over server statements per second (script kernel)
// The document and its kernel are built before the timed loop: only the region is measured.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "document/exec/OutputSink.h"
#include "document/exec/ReplyStreams.h"
#include "document/exec/WorksheetDocument.h"
#include "tovu/dag.h"
#include "tovu/storage.h"

namespace {

constexpr int kStatements = 1000;

void initLibrary() {
    static bool done = false;
    if (done) return;
    done = true;
    tovu_start();
    registerReplyStreams();
}

class CountingSink : public OutputSink {
public:
    void beginOutput() override { ++begins; }
    void endOutput() override { ++ends; }
    void resetOutput() override { ++resets; }
    bool output(Dag, int) override {
        ++outputs;
        return true;
    }
    bool newTextInputRegion() override { return false; }
    int begins = 0, ends = 0, resets = 0, outputs = 0;
};

enum class Link { ScriptDirect, ScriptServer, RealDirect };

const std::string& regionText() {
    static const std::string text = [] {
        std::string t;
        for (int i = 0; i < kStatements; ++i) t += "1;\n";
        return t;
    }();
    return text;
}

// Statements per second measured by the benchmarks, for the ratio.
double scriptDirectRate = 0;
double scriptServerRate = 0;

void runRegion(benchmark::State& state, Link link) {
    initLibrary();
    WorksheetHost& host = worksheetHost();
    host = WorksheetHost();
    host.kernelMode = 1;
    host.lowMemoryCheck = [] { return false; };
    if (link == Link::ScriptServer) {
#ifdef KERNSRV_PROGRAM
        host.linkKind = 3;
        host.serverCommand = KERNSRV_PROGRAM;
        ::setenv("KELVO_KERNEL", SCRIPT_KERNEL, 1);
#else
        state.SkipWithError("the kernel server is not built");
        return;
#endif
    } else {
        host.linkKind = 2;
#ifdef REAL_KERNEL
        host.kernelLibrary = link == Link::RealDirect ? REAL_KERNEL : SCRIPT_KERNEL;
#else
        if (link == Link::RealDirect) {
            state.SkipWithError("the kernel library is not built");
            return;
        }
        host.kernelLibrary = SCRIPT_KERNEL;
#endif
    }
    auto doc = std::make_unique<WorksheetDocument>(nullptr);
    double seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        CountingSink sink;
        doc->executeInput(&sink, KString(regionText().c_str()));
        doc->runExecutionToEnd(4 * kStatements);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (sink.begins != 1 || sink.ends != 1 || sink.resets != 0 || sink.outputs != kStatements) {
            state.SkipWithError(("region did not run whole: " + std::to_string(sink.outputs) + " outputs, " +
                                 std::to_string(sink.resets) + " resets")
                                    .c_str());
            break;
        }
    }
    double rate = seconds > 0 ? double(state.iterations()) * kStatements / seconds : 0;
    state.counters["statements/s"] = rate;
    if (link == Link::ScriptDirect) scriptDirectRate = rate;
    if (link == Link::ScriptServer) scriptServerRate = rate;
    state.SetItemsProcessed(state.iterations() * kStatements);
    doc.reset();
}

void BM_region_script_in_process(benchmark::State& state) { runRegion(state, Link::ScriptDirect); }
void BM_region_script_kernsrv(benchmark::State& state) { runRegion(state, Link::ScriptServer); }
void BM_region_real_in_process(benchmark::State& state) { runRegion(state, Link::RealDirect); }

// Runs after the two script-kernel benchmarks (registration order): how many times faster the
// in-process link carries the same region than the server link.
void BM_link_ratio(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(scriptDirectRate);
    if (scriptDirectRate <= 0 || scriptServerRate <= 0) {
        state.SkipWithError("a link benchmark did not run");
        return;
    }
    state.counters["in_process_per_server"] = scriptDirectRate / scriptServerRate;
}

BENCHMARK(BM_region_script_in_process)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_region_script_kernsrv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_region_real_in_process)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_link_ratio)->Iterations(1);

}  // namespace
