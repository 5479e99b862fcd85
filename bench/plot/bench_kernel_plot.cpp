// The kernel's plot3d from the statement to the PLOT3D reply, in process (KL_Direct) and through
// kernsrv (KL_PipeServer), against gnuplot tabulating the same function on the same grid with
// `set table` (the whole gnuplot process, start-up included, as a user would run it):
// z = sin(x) cos(y) on a 200 x 200 grid over [-3, 3]^2.  After the runs the time ratios
// (kelvo / gnuplot) are printed.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/kernel_link/bench_link_support.h"
#include "tovu/parse_driver.h"

namespace {

constexpr const char* kName = "bench_kernel_plot";
constexpr const char* kStatement =
    "plot3d(sin(x)*cos(y), x = -3 .. 3, y = -3 .. 3, grid = [200, 200]);";

struct Seen {
    bool plot = false;
};

Dag note_reply(void* data, Dag reply) {
    if (std::string(dag_text(dag_op(reply, 1))) == "INTERFACE_PLOT3D") static_cast<Seen*>(data)->plot = true;
    return nullptr;
}

double directSeconds = 0, serverSeconds = 0, gnuplotSeconds = 0;

struct RatioPrinter {
    ~RatioPrinter() {
        if (gnuplotSeconds <= 0) return;
        std::printf("\nplot3d 200 x 200, time ratio kelvo / gnuplot (below 1: kelvo faster)\n");
        if (directSeconds > 0)
            std::printf("  in process  %8.2f ms  gnuplot %8.2f ms  ratio %.3f\n", directSeconds * 1e3,
                        gnuplotSeconds * 1e3, directSeconds / gnuplotSeconds);
        if (serverSeconds > 0)
            std::printf("  kernsrv     %8.2f ms  gnuplot %8.2f ms  ratio %.3f\n", serverSeconds * 1e3,
                        gnuplotSeconds * 1e3, serverSeconds / gnuplotSeconds);
    }
} printer;

void BM_plot3d_direct_sincos_200(benchmark::State& state) {
    Seen seen;
    const char* error = nullptr;
    auto link = bench_start_direct(kName, &error, note_reply, &seen);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    Dag stmt = parse_text(kStatement);
    double total = 0;
    long runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        link->startEvaluation(stmt, 1);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    if (!seen.plot) state.SkipWithError("no PLOT3D reply");
    if (runs) directSeconds = total / double(runs);
}
BENCHMARK(BM_plot3d_direct_sincos_200)->Unit(benchmark::kMillisecond);

void BM_plot3d_kernsrv_sincos_200(benchmark::State& state) {
    const char* error = nullptr;
    auto link = bench_start_kernsrv(kName, &error);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    Dag stmt = parse_text(kStatement);
    Seen seen;
    double total = 0;
    long runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        bench_kernsrv_round_trip(*link, stmt, [&](Dag reply) { note_reply(&seen, reply); });
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    if (link->state() == KL_DEAD) state.SkipWithError(link->errorText());
    else if (!seen.plot) state.SkipWithError("no PLOT3D reply");
    if (runs) serverSeconds = total / double(runs);
}
BENCHMARK(BM_plot3d_kernsrv_sincos_200)->Unit(benchmark::kMillisecond);

void BM_plot3d_gnuplot_table_sincos_200(benchmark::State& state) {
    std::string out = "/tmp/bench_kernel_plot_gnuplot.dat";
    std::string command = "gnuplot -e \"set table '" + out +
                          "'; set samples 200, 200; set isosamples 200, 200; "
                          "splot [-3:3] [-3:3] sin(x)*cos(y)\" 2>/dev/null";
    double total = 0;
    long runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gnuplot failed (is gnuplot-nox installed?)");
            break;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    if (runs) gnuplotSeconds = total / double(runs);
}
BENCHMARK(BM_plot3d_gnuplot_table_sincos_200)->Unit(benchmark::kMillisecond);

}  // namespace
