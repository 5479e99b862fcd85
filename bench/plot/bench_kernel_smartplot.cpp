// One option edit of a smart plot region as the region runs it: EDITSMARTPLOT on a one-group
// 3-D text whose grid is 50 x 50, its answer printed on one line and parsed again into the
// SMARTPLOT3D request, and that request's PLOT3D reply.  In process (KL_Direct) and through
// kernsrv (KL_PipeServer); the time of one edit and plot in ms.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/kernel_link/bench_link_support.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"

namespace {

constexpr const char* kName = "bench_kernel_smartplot";
constexpr const char* kEdit =
    "EDITSMARTPLOT(         1,shading=ZHUE, [sin(x)*cos(y), x = -3 .. 3, y = -3 .. 3, grid = [50, 50]], axes = BOXED);";

// The replies of one statement: the RESULT's print and whether a PLOT3D came.
struct Seen {
    std::string result;
    bool plot = false;
};

Dag note_reply(void* data, Dag reply) {
    auto* seen = static_cast<Seen*>(data);
    std::string stream = dag_text(dag_op(reply, 1));
    if (stream == "INTERFACE_RESULT") seen->result = print_to_text(dag_op(reply, 2));
    if (stream == "INTERFACE_PLOT3D") seen->plot = true;
    return nullptr;
}

// Runs one edit and the plot request made of its answer through `evaluate`.
template <typename Evaluate>
void edit_and_plot(benchmark::State& state, Evaluate evaluate) {
    for (auto _ : state) {
        Dag edit = parse_text(kEdit);
        Seen seen;
        evaluate(edit, seen);
        Dag request = parse_text(("SMARTPLOT3D(" + seen.result + ");").c_str());
        if (request == nullptr) {
            state.SkipWithError("the edit's answer does not parse");
            return;
        }
        evaluate(request, seen);
        if (!seen.plot) {
            state.SkipWithError("no PLOT3D reply");
            return;
        }
    }
}

void BM_smartplot_edit_then_plot3d_50x50_direct(benchmark::State& state) {
    Seen* current = nullptr;
    const char* error = nullptr;
    auto link = bench_start_direct(
        kName, &error, [](void* data, Dag reply) { return note_reply(*static_cast<Seen**>(data), reply); },
        &current);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    edit_and_plot(state, [&](Dag statement, Seen& seen) {
        current = &seen;
        link->startEvaluation(statement, 1);
    });
}
BENCHMARK(BM_smartplot_edit_then_plot3d_50x50_direct)->Unit(benchmark::kMillisecond);

void BM_smartplot_edit_then_plot3d_50x50_kernsrv(benchmark::State& state) {
    const char* error = nullptr;
    auto link = bench_start_kernsrv(kName, &error);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    edit_and_plot(state, [&](Dag statement, Seen& seen) {
        bench_kernsrv_round_trip(*link, statement, [&](Dag reply) { note_reply(&seen, reply); });
    });
    if (link->state() == KL_DEAD) state.SkipWithError(link->errorText());
}
BENCHMARK(BM_smartplot_edit_then_plot3d_50x50_kernsrv)->Unit(benchmark::kMillisecond);

}  // namespace
