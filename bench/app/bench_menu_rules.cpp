// What runs on every menu activation and idle moment: one menu refresh pass over a worksheet
// with 495 bookmarks whose caret sits ten levels deep, and one refresh of the status bar's
// free-memory item; reported in microseconds each, on the offscreen platform.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "app/KMenuRules.h"
#include "app/KStatusBar.h"
#include "document/edit/BookmarkIndex.h"
#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "platform/gui/Application.h"
#include "tests/app/menu_rules_doubles.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace menu_rules_doubles;

constexpr int kDepth = 10;

void BM_refresh_menus_495_bookmarks_caret_ten_deep(benchmark::State& state) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    gui::ensureApplication();
    Document doc;
    auto* root = new SectionElement();
    doc.setRoot(root);
    for (int i = 0; i < BookmarkIndex::MAX_NAMES; ++i) {
        auto* p = new ParagraphElement(0, nullptr);
        p->bookmark.assign(("bookmark " + std::to_string(i)).c_str());
        root->insertChild(p, nullptr, kInsertAfter);
    }
    // Sections nested below the root, a paragraph with a text run at the bottom: the caret's
    // element is ten levels deep.
    Element* parent = root;
    for (int level = 2; level < kDepth - 1; ++level) {
        auto* section = new SectionElement();
        parent->insertChild(section, nullptr, kInsertAfter);
        parent = section;
    }
    auto* paragraph = new ParagraphElement(0, nullptr);
    auto* text = new TextElement(-1, "deep", 4);
    paragraph->insertChild(text, nullptr, kInsertAfter);
    parent->insertChild(paragraph, nullptr, kInsertAfter);

    FrameDouble frame;
    WindowDouble window;
    window.doc = &doc;
    window.current = window.paragraphPosition = text;
    window.undo = true;
    frame.window = &window;
    KMenuRules rules(frame);
    double micros = 0;
    for (auto _ : state) {
        // A bookmark changed since the last opening: the index is built again, as after an edit.
        doc.bookmarks()->invalidate();
        const Clock::time_point begin = Clock::now();
        rules.refreshMenus();
        micros += std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
    }
    state.counters["refresh_us"] = micros / static_cast<double>(state.iterations());
}
BENCHMARK(BM_refresh_menus_495_bookmarks_caret_ten_deep)->Unit(benchmark::kMicrosecond);

void BM_refresh_available(benchmark::State& state) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    gui::ensureApplication();
    WorkWindow frame(nullptr, WB_FRAME);
    KStatusBar bar(&frame);
    double micros = 0;
    for (auto _ : state) {
        const Clock::time_point begin = Clock::now();
        bar.refreshAvailable();
        micros += std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
    }
    state.counters["refresh_us"] = micros / static_cast<double>(state.iterations());
}
BENCHMARK(BM_refresh_available)->Unit(benchmark::kMicrosecond);

}  // namespace
