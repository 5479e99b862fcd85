// Round trips of the trivial statement "1;" through the real kernel: in-process (KL_Direct)
// and over a kernsrv process (KL_PipeServer), each reply answered as the worksheet would.
// Items per second = statements per second.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "kernel_link/KL_Direct.h"
#include "kernel_link/KL_PipeServer.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libcln.so\nleak:libginac.so\n"; }

namespace {

void init() {
    static bool done = false;
    if (!done) {
        storage_init_default();
        dag_init();
        done = true;
    }
}

KL_ConnectInfo args(KL_ConnectInfo info) {
    const char* w[] = {"bench_links"};
    info.args = KL_ArgList(1, w);
    return info;
}

Dag answer_nothing(void*, Dag) { return nullptr; }

void BM_roundtrip_direct_trivial(benchmark::State& state) {
    init();
    KL_Direct link(args(KL_ConnectInfo()), KL_REAL_KERNEL);
    if (link.state() != KL_IDLE) {
        state.SkipWithError(link.errorText());
        return;
    }
    link.setHandlers(answer_nothing, nullptr, nullptr);
    Dag stmt = parse_text("1;");
    for (auto _ : state) link.startEvaluation(stmt, 1);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_roundtrip_direct_trivial);

void BM_roundtrip_kernsrv_trivial(benchmark::State& state) {
    init();
    ::setenv("KELVO_KERNEL", KL_REAL_KERNEL, 1);
    ::setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
    KL_PipeServer link(args(KL_ConnectInfo(KL_TRANSPORT_PIPES, KL_KERNSRV)));
    if (link.state() != KL_IDLE || link.sendArguments() != 0) {
        state.SkipWithError(link.errorText());
        return;
    }
    Dag stmt = parse_text("1;");
    for (auto _ : state) {
        link.startEvaluation(stmt, 1);
        while (link.state() == KL_BUSY) {
            if (link.getResult(1) == nullptr) break;
            link.sendReply(dag_NULL);
        }
    }
    if (link.state() == KL_DEAD) state.SkipWithError(link.errorText());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_roundtrip_kernsrv_trivial);

}  // namespace
