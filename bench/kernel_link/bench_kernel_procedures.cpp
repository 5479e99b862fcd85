// The kernel procedures of the worksheet's own commands: ContextMenu of a 1,000-term polynomial
// and of an expression nested 200 deep, in process (ms each; the worksheet waits for the menu),
// and `Spreadsheet/eval` cell commands through kernsrv (items per second = commands per second).

#include <benchmark/benchmark.h>

#include <string>

#include "bench_link_support.h"
#include "tovu/parse_driver.h"

namespace {

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
    const char* error = nullptr;
    auto link = bench_start_direct("bench_kernel_procedures", &error);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    Dag stmt = parse_text(("print(ContextMenu(" + participant + "));").c_str());
    for (auto _ : state) link->startEvaluation(stmt, 1);
}

void BM_context_menu_polynomial_1000_terms(benchmark::State& state) { menu(state, polynomial(1000)); }
BENCHMARK(BM_context_menu_polynomial_1000_terms)->Unit(benchmark::kMillisecond);

void BM_context_menu_nested_200(benchmark::State& state) { menu(state, nested(200)); }
BENCHMARK(BM_context_menu_nested_200)->Unit(benchmark::kMillisecond);

void BM_sheet_eval_kernsrv(benchmark::State& state) {
    const char* error = nullptr;
    auto link = bench_start_kernsrv("bench_kernel_procedures", &error);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    Dag stmt = parse_text("`Spreadsheet/eval`([a+2*b], `symbolic`, 10);");
    for (auto _ : state) bench_kernsrv_round_trip(*link, stmt);
    if (link->state() == KL_DEAD) state.SkipWithError(link->errorText());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_sheet_eval_kernsrv);

}  // namespace
