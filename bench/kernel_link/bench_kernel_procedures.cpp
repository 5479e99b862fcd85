// The kernel procedures of the worksheet's own commands: ContextMenu of a 1,000-term polynomial
// and of an expression nested 200 deep, in process (ms each; the worksheet waits for the menu),
// and `Spreadsheet/eval` cell commands through kernsrv (items per second = commands per second).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

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
    const char* w[] = {"bench_kernel_procedures"};
    info.args = KL_ArgList(1, w);
    return info;
}

Dag answer_nothing(void*, Dag) { return nullptr; }

std::string polynomial(int terms) {
    std::string p;
    for (int i = 1; i <= terms; ++i) p += (i > 1 ? "+" : "") + std::to_string(i) + "*x^" + std::to_string(i);
    return p;
}

std::string nested(int depth) {
    std::string e = "x";
    for (int i = 0; i < depth; ++i) e = "sin(" + e + "+y)";
    return e;
}

void menu(benchmark::State& state, const std::string& participant) {
    init();
    KL_Direct link(args(KL_ConnectInfo()), KL_REAL_KERNEL);
    if (link.state() != KL_IDLE) {
        state.SkipWithError(link.errorText());
        return;
    }
    link.setHandlers(answer_nothing, nullptr, nullptr);
    Dag stmt = parse_text(("print(ContextMenu(" + participant + "));").c_str());
    for (auto _ : state) link.startEvaluation(stmt, 1);
}

void BM_context_menu_polynomial_1000_terms(benchmark::State& state) { menu(state, polynomial(1000)); }
BENCHMARK(BM_context_menu_polynomial_1000_terms)->Unit(benchmark::kMillisecond);

void BM_context_menu_nested_200(benchmark::State& state) { menu(state, nested(200)); }
BENCHMARK(BM_context_menu_nested_200)->Unit(benchmark::kMillisecond);

void BM_sheet_eval_kernsrv(benchmark::State& state) {
    init();
    ::setenv("KELVO_KERNEL", KL_REAL_KERNEL, 1);
    ::setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
    KL_PipeServer link(args(KL_ConnectInfo(KL_TRANSPORT_PIPES, KL_KERNSRV)));
    if (link.state() != KL_IDLE || link.sendArguments() != 0) {
        state.SkipWithError(link.errorText());
        return;
    }
    Dag stmt = parse_text("`Spreadsheet/eval`([a+2*b], `symbolic`, 10);");
    for (auto _ : state) {
        link.startEvaluation(stmt, 1);
        while (link.state() == KL_BUSY || link.state() == KL_RESULT_READY) {
            if (link.getResult(1) == nullptr) break;
            link.sendReply(dag_NULL);
        }
    }
    if (link.state() == KL_DEAD) state.SkipWithError(link.errorText());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_sheet_eval_kernsrv);

}  // namespace
