// The kernel's plot3d from the statement to the PLOT3D reply, in process (KL_Direct) and through
// kernsrv (KL_PipeServer), against gnuplot tabulating the same function on the same grid with
// `set table` (the whole gnuplot process, start-up included, as a user would run it):
// z = sin(x) cos(y) on a 200 x 200 grid over [-3, 3]^2.  After the runs the time ratios
// (kelvo / gnuplot) are printed.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kernel_link/KL_Direct.h"
#include "kernel_link/KL_PipeServer.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libcln.so\nleak:libginac.so\n"; }

namespace {

constexpr const char* kStatement =
    "plot3d(sin(x)*cos(y), x = -3 .. 3, y = -3 .. 3, grid = [200, 200]);";

void init() {
    static bool done = false;
    if (!done) {
        storage_init_default();
        dag_init();
        done = true;
    }
}

KL_ConnectInfo args(KL_ConnectInfo info) {
    const char* w[] = {"bench_kernel_plot"};
    info.args = KL_ArgList(1, w);
    return info;
}

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
    init();
    KL_Direct link(args(KL_ConnectInfo()), KL_REAL_KERNEL);
    if (link.state() != KL_IDLE) {
        state.SkipWithError(link.errorText());
        return;
    }
    Seen seen;
    link.setHandlers(note_reply, nullptr, &seen);
    Dag stmt = parse_text(kStatement);
    double total = 0;
    long runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        link.startEvaluation(stmt, 1);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    if (!seen.plot) state.SkipWithError("no PLOT3D reply");
    if (runs) directSeconds = total / double(runs);
}
BENCHMARK(BM_plot3d_direct_sincos_200)->Unit(benchmark::kMillisecond);

void BM_plot3d_kernsrv_sincos_200(benchmark::State& state) {
    init();
    ::setenv("KELVO_KERNEL", KL_REAL_KERNEL, 1);
    ::setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
    KL_PipeServer link(args(KL_ConnectInfo(KL_TRANSPORT_PIPES, KL_KERNSRV)));
    if (link.state() != KL_IDLE || link.sendArguments() != 0) {
        state.SkipWithError(link.errorText());
        return;
    }
    Dag stmt = parse_text(kStatement);
    Seen seen;
    double total = 0;
    long runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        link.startEvaluation(stmt, 1);
        while (link.state() == KL_BUSY || link.state() == KL_RESULT_READY) {
            Dag r = link.getResult(1);
            if (r == nullptr) break;
            note_reply(&seen, r);
            link.sendReply(dag_NULL);
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    if (link.state() == KL_DEAD) state.SkipWithError(link.errorText());
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
