// Reply throughput of the main frame's kernel poll: one statement of the scripted kernel that
// sends many PRINT replies, read from a kernel server through pollKernels, beside the same
// statement on the in-process link (whose replies arrive inside the evaluation).  Reported in
// replies per second each, with their ratio.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <string>

#include "app/KMainFrame.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "document/exec/OutputSink.h"
#include "document/exec/WorksheetDocument.h"
#include "kernel_link/KKernelSession.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kReplies = 2000;

class CountingSink : public OutputSink {
public:
    void endOutput() override { done = true; }
    void resetOutput() override { done = true; }
    bool output(Dag, int) override {
        ++outputs;
        return true;
    }
    bool newTextInputRegion() override { return false; }
    int outputs = 0;
    bool done = false;
};

void loopUntil(const std::function<bool()>& condition) {
    while (!condition()) {
        Application::reschedule();
        ::usleep(200);
    }
}

// The statement "prints(1, 2, ..., n);".
std::string printsStatement(int n) {
    std::string s = "prints(";
    for (int i = 1; i <= n; ++i) s += (i > 1 ? "," : "") + std::to_string(i);
    return s + ");";
}

// Opens a worksheet on the host's current kernel settings, waits for its session, and answers
// the replies per second of one prints statement.
double repliesPerSecond(KWorksheetApp& app) {
    app.frame->frame_command(1101, 0);
    WorksheetDocument* doc = dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet())->document();
    loopUntil([doc] { return doc->evaluator()->session()->argumentsSent && doc->queueIsEmpty(); });
    CountingSink sink;
    const Clock::time_point begin = Clock::now();
    doc->executeInput(&sink, KString(printsStatement(kReplies).c_str()));
    loopUntil([&sink] { return sink.done; });
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return sink.outputs / seconds;
}

void BM_poll_replies_kernsrv_vs_in_process(benchmark::State& state) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("KELVO_KERNEL", BENCH_SCRIPT_KERNEL, 1);
    const std::filesystem::path config = std::filesystem::temp_directory_path() / "kelvo_bench_poll";
    std::filesystem::create_directories(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    gui::ensureApplication();
    double server = 0, inProcess = 0;
    for (auto _ : state) {
        KWorksheetApp app;
        app.onLoopRunning = [&](KWorksheetApp& a) {
            // The program's own shared in-process kernel first, then a server per worksheet.
            inProcess = repliesPerSecond(a);
            WorksheetHost& host = worksheetHost();
            host.kernelMode = kKernelPerWorksheet;
            host.linkKind = kLinkServer;
            host.serverCommand = BENCH_KERNSRV;
            server = repliesPerSecond(a);
            Application::quit();
        };
        char name[] = "wkelvo", option[] = "-nosplash";
        char* argv[] = {name, option, nullptr};
        app.Main(2, argv);
    }
    state.counters["kernsrv_replies_per_s"] = server;
    state.counters["in_process_replies_per_s"] = inProcess;
    state.counters["in_process_to_kernsrv"] = server > 0 ? inProcess / server : 0;
    std::filesystem::remove_all(config);
}
BENCHMARK(BM_poll_replies_kernsrv_vs_in_process)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
