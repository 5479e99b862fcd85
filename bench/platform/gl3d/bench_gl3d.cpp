// Turning a surface in the 3-D plot library against gnuplot: z = sin(x) cos(y) sampled on n x n
// grids (50, 100) over [-3, 3]^2, drawn at 400 x 300 through a sequence of views three pixels
// of pointer motion apart (1.35 degrees).  Ours: one oglAction and one full oglRedraw (hidden
// surfaces, no view box) per frame onto an off-screen device.  gnuplot: one process drawing the
// same number of frames with `set hidden3d`, `set view` per frame and a PNG per frame through
// the pngcairo terminal (start-up included).  After the runs both rates (frames per second) and
// their ratio are printed per size; the library's view-box threshold is taken from these rates.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "platform/gl3d/gl3d.h"
#include "platform/gui/Application.h"
#include "platform/gui/VirtualDevice.h"
#include "plot/plot_read.h"
#include "tovu/errors.h"
#include "tovu/parse_driver.h"

namespace {

constexpr int kWidth = 400, kHeight = 300;
constexpr int kGnuplotFrames = 20;
constexpr double kStepPixels = 3;

double sample(int n, int i) { return -3 + 6.0 * i / (n - 1); }

std::string surfaceText(int n) {
    std::ostringstream s;
    s << "PLOT3D(GRID(-3..3, -3..3, [";
    for (int i = 0; i < n; ++i) {
        s << (i ? "," : "") << "[";
        for (int j = 0; j < n; ++j) {
            char value[32];
            std::snprintf(value, sizeof value, "%.6f", std::sin(sample(n, i)) * std::cos(sample(n, j)));
            s << (j ? "," : "") << value;
        }
        s << "]";
    }
    s << "]), PROJECTION(60, 30, 1));";
    return s.str();
}

std::map<int, double> oursRate, gnuplotRate;

struct RatePrinter {
    ~RatePrinter() {
        if (oursRate.empty()) return;
        std::printf("\nturning a surface at %d x %d, frames per second (ratio above 1: kelvo faster)\n", kWidth, kHeight);
        for (const auto& [n, ours] : oursRate) {
            auto g = gnuplotRate.find(n);
            if (g == gnuplotRate.end() || g->second <= 0) {
                std::printf("  %3d x %-3d  kelvo %7.1f /s\n", n, n, ours);
                continue;
            }
            std::printf("  %3d x %-3d  kelvo %7.1f /s  gnuplot %7.1f /s  ratio %.2f\n", n, n, ours, g->second,
                        ours / g->second);
        }
    }
} printer;

void BM_gl3d_turn(benchmark::State& state) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    gui::ensureApplication("bench_gl3d");
    tovu_start();
    const int n = static_cast<int>(state.range(0));
    std::unique_ptr<StorageArea, void (*)(StorageArea*)> area(storage_new(STORAGE_ALIGN8, "bench"), storage_delete);
    PlotRecord* plot = nullptr;
    try {
        TovuHandlerGuard guard;
        const char* error = nullptr;
        Dag d = parse_text_full(surfaceText(n).c_str(), &error, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                false);
        if (d) plot = plot_read_structure(dag_op(d, 2), 3, area.get());
    } catch (const TovuError& e) {
        state.SkipWithError(e.what());
        return;
    }
    if (!plot) {
        state.SkipWithError("the surface does not parse");
        return;
    }
    VirtualDevice device;
    device.setOutputSizePixel(Size(kWidth, kHeight));
    gl3dMakeCurrent(&device);
    int h = oglPlotInitialize(plot, 0, 0, kWidth, kHeight, 0);
    oglCreateObjects(h, plot, 0, 100, 100);
    double x = 100;
    long frames = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        oglAction(h, x + kStepPixels, 150, x, 150, plot);
        x += kStepPixels;
        if (oglRedraw(h, plot, 0, 0) != 0) {
            state.SkipWithError("oglRedraw failed");
            break;
        }
        device.flushDrawing();
        ++frames;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (frames && seconds > 0) oursRate[n] = frames / seconds;
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    oglExit(h);
    gl3dMakeCurrent(nullptr);
}
BENCHMARK(BM_gl3d_turn)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_gl3d_gnuplot(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string stem = "/tmp/bench_gl3d_gnuplot_" + std::to_string(n);
    std::string data = stem + ".dat", script = stem + ".gp";
    {
        std::ofstream d(data);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j)
                d << sample(n, i) << ' ' << sample(n, j) << ' ' << std::sin(sample(n, i)) * std::cos(sample(n, j)) << '\n';
            d << '\n';
        }
        std::ofstream s(script);
        s << "set terminal pngcairo size " << kWidth << "," << kHeight << "\nset hidden3d\n";
        for (int f = 0; f < kGnuplotFrames; ++f) {
            s << "set view 60," << std::fmod(30 + f * kStepPixels * 180 / kWidth, 360.0) << "\n";
            s << "set output '" << stem << "_" << f << ".png'\n";
            s << "splot '" << data << "' with lines notitle\n";
        }
    }
    std::string command = "gnuplot " + script + " 2>/dev/null";
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
    if (runs && total > 0) gnuplotRate[n] = runs * kGnuplotFrames / total;
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(runs * kGnuplotFrames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_gl3d_gnuplot)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
