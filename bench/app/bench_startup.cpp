// Start-up of the worksheet program to its running event loop, and its shut-down, on the
// offscreen platform with "nosplash" and one new worksheet; reported in ms each.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "app/KWorksheetApp.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_StartUpAndShutDown(benchmark::State& state) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::filesystem::path config = std::filesystem::temp_directory_path() / "kelvo_bench_startup";
    std::filesystem::create_directories(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    gui::ensureApplication();
    double startMs = 0, stopMs = 0;
    for (auto _ : state) {
        KWorksheetApp app;
        Clock::time_point begin = Clock::now(), running;
        app.onLoopRunning = [&](KWorksheetApp&) {
            running = Clock::now();
            Application::quit();
        };
        char name[] = "wkelvo", option[] = "-nosplash";
        char* argv[] = {name, option, nullptr};
        app.Main(2, argv);
        Clock::time_point end = Clock::now();
        startMs += std::chrono::duration<double, std::milli>(running - begin).count();
        stopMs += std::chrono::duration<double, std::milli>(end - running).count();
    }
    state.counters["startup_ms"] = startMs / static_cast<double>(state.iterations());
    state.counters["loop_and_shutdown_ms"] = stopMs / static_cast<double>(state.iterations());
    std::filesystem::remove_all(config);
}
BENCHMARK(BM_StartUpAndShutDown)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
