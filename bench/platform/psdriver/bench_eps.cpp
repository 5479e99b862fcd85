// The EPS plot driver against gnuplot's `set terminal postscript eps color`: z = sin(x) cos(y)
// on n x n grids (50, 100, 200) over [-3, 3]^2 with hidden surfaces (gnuplot: `set hidden3d`),
// and a 2-D curve of 100,000 points.  Ours: plot_to_device with the plot device "ps" (reading
// the structure, rendering, the driver library, the file).  gnuplot: the whole process on a data
// file written beforehand.  After the runs the time ratios (ours / gnuplot) and both file sizes
// are printed per case.

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "plot/plot_device.h"
#include "tovu/errors.h"
#include "tovu/ifvars.h"
#include "tovu/parse_driver.h"

namespace {

constexpr int kCurvePoints = 100000;

double sample(int n, int i) { return -3 + 6.0 * i / (n - 1); }
double curveY(int i) { return std::sin(i * 0.001) * std::cos(i * 0.0003); }

// Case keys: n for an n x n surface, 0 for the curve.
std::string caseName(int n) { return n ? std::to_string(n) + " x " + std::to_string(n) : "curve 100000"; }

std::string structureText(int n) {
    std::ostringstream s;
    char v[40];
    if (n == 0) {
        s << "PLOT(CURVES([";
        for (int i = 0; i < kCurvePoints; ++i) {
            std::snprintf(v, sizeof v, "%s[%d,%.6f]", i ? "," : "", i, curveY(i));
            s << v;
        }
        s << "]));";
        return s.str();
    }
    s << "PLOT3D(GRID(-3..3, -3..3, [";
    for (int i = 0; i < n; ++i) {
        s << (i ? "," : "") << "[";
        for (int j = 0; j < n; ++j) {
            std::snprintf(v, sizeof v, "%s%.6f", j ? "," : "", std::sin(sample(n, i)) * std::cos(sample(n, j)));
            s << v;
        }
        s << "]";
    }
    s << "]), PROJECTION(60, 30, 1));";
    return s.str();
}

long fileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

struct Result {
    double seconds = 0;
    long bytes = 0;
};
std::map<int, Result> ours, theirs;

struct RatioPrinter {
    ~RatioPrinter() {
        if (ours.empty()) return;
        std::printf("\nEPS output, time ratio kelvo / gnuplot (below 1: kelvo faster), file sizes\n");
        for (const auto& [n, o] : ours) {
            auto g = theirs.find(n);
            if (g == theirs.end() || g->second.seconds <= 0) continue;
            std::printf("  %-13s kelvo %8.1f ms %9ld bytes  gnuplot %8.1f ms %9ld bytes  ratio %.3f\n",
                        caseName(n).c_str(), o.seconds * 1e3, o.bytes, g->second.seconds * 1e3, g->second.bytes,
                        o.seconds / g->second.seconds);
        }
    }
} printer;

std::string tempFile(const char* stem, int n, const char* ext) {
    return std::string("/tmp/bench_eps_") + stem + "_" + std::to_string(n) + ext;
}

void BM_eps_kelvo(benchmark::State& state) {
    tovu_start();
    plot_set_driver_folder(PS_DRIVER_FOLDER);
    const int n = static_cast<int>(state.range(0));
    const char* error = nullptr;
    Dag d = parse_text_full(structureText(n).c_str(), &error, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, false);
    if (!d) {
        state.SkipWithError("the structure does not parse");
        return;
    }
    InterfaceSettings s;
    std::snprintf(s.plotdevice, sizeof s.plotdevice, "ps");
    std::string out = tempFile("kelvo", n, ".eps");
    std::snprintf(s.plotoutput, sizeof s.plotoutput, "%s", out.c_str());
    double total = 0;
    long runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        std::string message;
        if (!plot_to_device(dag_op(d, 2), nullptr, [](void* c, const char* m) { *static_cast<std::string*>(c) = m; }, 0,
                            &s, n ? 3 : 2, &message)) {
            state.SkipWithError(message.c_str());
            break;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    if (runs) ours[n] = Result{total / runs, fileSize(out)};
}
BENCHMARK(BM_eps_kelvo)->Arg(50)->Arg(100)->Arg(200)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_eps_gnuplot(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string data = tempFile("gnuplot", n, ".dat"), out = tempFile("gnuplot", n, ".eps");
    {
        std::ofstream f(data);
        if (n == 0) {
            for (int i = 0; i < kCurvePoints; ++i) f << i << ' ' << curveY(i) << '\n';
        } else {
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j)
                    f << sample(n, i) << ' ' << sample(n, j) << ' ' << std::sin(sample(n, i)) * std::cos(sample(n, j)) << '\n';
                f << '\n';
            }
        }
    }
    std::string command = "gnuplot -e \"set terminal postscript eps color; set output '" + out + "'; " +
                          (n ? "set view 60,30; set hidden3d; splot '" : "plot '") + data +
                          "' with lines notitle\" 2>/dev/null";
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
    if (runs) theirs[n] = Result{total / runs, fileSize(out)};
}
BENCHMARK(BM_eps_gnuplot)->Arg(50)->Arg(100)->Arg(200)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
