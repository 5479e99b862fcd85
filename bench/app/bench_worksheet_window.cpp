// The worksheet window as a user drives it, on the offscreen platform: typing 10,000 characters
// into one input of a worksheet of 5,000 groups, each key through the window's key handler
// (the editing action, the layout it asks for) and followed by the repaint of what changed,
// reported in keystrokes per second; and one full repaint of the 800 x 600 window, in ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>

#include "app/KWorksheetWindow.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/SectionElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/ViewCaret.h"
#include "document/views/FontCache.h"
#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"
#include "tests/app/doc_window_support.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kGroups = 5000;
constexpr int kKeystrokes = 10000;

InputTextElement* firstInput(Element* e) {
    if (auto* input = dynamic_cast<InputTextElement*>(e)) return input;
    for (int i = 0; e && i < e->childCount(); ++i)
        if (InputTextElement* found = firstInput(e->childAt(i))) return found;
    return nullptr;
}

// A worksheet window of kGroups groups ("x1 := 1;", ...), 800 x 600, without a kernel, its
// caret at the end of the first group's input.
// The offscreen platform and the application, before any window exists.
struct OffscreenApplication {
    OffscreenApplication() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        gui::ensureApplication();
        gui::test::activate();
    }
};

struct WindowScene {
    WindowScene() {
        savedHost = worksheetHost();
        worksheetHost().connectKernel = connectNoKernel;
        FontCache::setProgram(&fonts);
        auto document = std::make_unique<WorksheetDocument>(nullptr);
        auto* root = new SectionElement();
        for (int i = 1; i <= kGroups; ++i) {
            auto* group = new ExecutionGroup(ExecutionGroup::WithInput{});
            const std::string text = "x" + std::to_string(i) + " := " + std::to_string(i) + ";";
            firstInput(group)->setText(text.c_str());
            root->insertChild(group, nullptr, kInsertAfter);
        }
        document->setRoot(root);
        window = new KWorksheetWindow(&adaptor, std::move(document), nullptr);
        window->setSizePixel(Size(800, 600));
        window->open(nullptr);
        InputTextElement* input = firstInput(root);
        window->caret()->setPosition(input, static_cast<int>(std::char_traits<char>::length(input->text())));
        window->invalidate();
        window->update();
    }
    ~WindowScene() {
        delete window;
        FontCache::setProgram(nullptr);
        worksheetHost() = savedHost;
        gui::test::deactivate();
    }
    OffscreenApplication platform;   // first: the members below need the application
    docwin_test::AppWindowScope app;
    docwin_test::RecordingFrame frame;
    docwin_test::HoldingAdaptor adaptor;
    FontCache fonts;
    WorksheetHost savedHost;
    KWorksheetWindow* window = nullptr;
};

void BM_type_10000_chars_into_one_input_of_5000_groups(benchmark::State& state) {
    double seconds = 0;
    for (auto _ : state) {
        WindowScene scene;   // not timed: only the keys count (manual time)
        const char* pattern = "a+b*c-1;";
        const auto start = Clock::now();
        for (int i = 0; i < kKeystrokes; ++i) {
            scene.window->keyInput(KeyEvent(static_cast<uint8_t>(pattern[i % 8]), KEY_OTHER));
            scene.window->update();
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        // Every key reached the input ("x1 := 1;" and the keys), or the figure means nothing.
        const std::size_t typed = std::char_traits<char>::length(firstInput(scene.window->document()->root())->text());
        if (typed != 8 + std::size_t(kKeystrokes)) state.SkipWithError("the keys did not all reach the input");
    }
    state.counters["keystrokes_per_s"] =
        seconds > 0 ? double(kKeystrokes) * double(state.iterations()) / seconds : 0.0;
}
BENCHMARK(BM_type_10000_chars_into_one_input_of_5000_groups)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_full_repaint_of_a_5000_group_worksheet(benchmark::State& state) {
    WindowScene scene;
    double millis = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        scene.window->invalidate();
        scene.window->update();
        millis += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    state.counters["repaint_ms"] = state.iterations() ? millis / double(state.iterations()) : 0.0;
}
BENCHMARK(BM_full_repaint_of_a_5000_group_worksheet)->Unit(benchmark::kMillisecond);

}  // namespace
