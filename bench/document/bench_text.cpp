// Text runs through a WindowView with the font cache:
//   BM_text_break_1mb_view_vs_qt    breaking a 1 MB run of seeded random words (a newline now and
//                                   then) into lines at widths of 200, 600 and 2000 pixels, and
//                                   Qt's QTextLayout breaking the same text at the same widths
//                                   in the same run; the counters give both times and the
//                                   ratio (Qt time / view time).
//   BM_text_typing_100kb            typing 10,000 characters one by one at the end of a 100 KB
//                                   run: the in-place re-fit of the last piece, in microseconds
//                                   per keystroke.
// Run with QT_QPA_PLATFORM=offscreen when no display is there.

#include <benchmark/benchmark.h>

#include <QFontMetrics>
#include <QString>
#include <QTextLayout>

#include <chrono>
#include <random>
#include <string>

#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/views/WindowView.h"
#include "platform/gui/Application.h"
#include "platform/gui/VirtualDevice.h"
#include "platform/gui/qt_text.h"

namespace {

constexpr int kWidths[] = {200, 600, 2000};

// Words of 1 to 12 lower-case letters and a blank, a newline after about every 400 words.
std::string sampleText(std::size_t bytes) {
    std::mt19937 rng(30);
    std::uniform_int_distribution<int> length(1, 12), letter('a', 'z'), breakLine(0, 399);
    std::string text;
    text.reserve(bytes + 16);
    while (text.size() < bytes) {
        for (int i = length(rng); i > 0; --i) text += char(letter(rng));
        text += breakLine(rng) == 0 ? '\n' : ' ';
    }
    return text;
}

class BenchView : public DocumentView {
public:
    explicit BenchView(Document* d) : DocumentView(d) {}
    void drawText(const ElementPoint&, const char*, int, bool) override {}
};

// A document holding one paragraph with one run of the text, laid out through a WindowView.
struct TextDocument {
    explicit TextDocument(const std::string& text) : doc(new Document), keeper(doc) {
        gui::ensureApplication("bench_text");
        doc->styleSet()->buildDefaultStyles();
        auto* root = new SectionElement();
        doc->setRoot(root);
        paragraph = new ParagraphElement(0, nullptr);
        run = new TextElement(-1, text.c_str(), int(text.size()));
        paragraph->insertChild(run, nullptr, kInsertAfter);
        root->insertChild(paragraph, nullptr, kInsertAfter);
        view = std::make_unique<WindowView>(doc, &device, &cache);
    }
    void layoutAt(int width) {
        view->setViewSize(width, 1000);
        doc->setActiveView(view.get(), width, nullptr);
    }
    Document* doc;   // deleted with its last view
    BenchView keeper;
    VirtualDevice device;
    FontCache cache;
    std::unique_ptr<WindowView> view;
    ParagraphElement* paragraph = nullptr;
    TextElement* run = nullptr;
};

void BM_text_break_1mb_view_vs_qt(benchmark::State& state) {
    const std::string text = sampleText(1u << 20);
    TextDocument d(text);
    d.view->selectStyleParts(-1, 0, -1, false);
    auto* entry = static_cast<FontEntry*>(d.view->currentFont());
    const QFont font = gui::makeQFont(entry->font(), entry->font().getSize().height);
    const QString qtext = gui::toQString(std::string_view(text));

    double viewSeconds = 0, qtSeconds = 0;
    long long viewLines = 0, qtLines = 0;
    for (auto _ : state) {
        for (int width : kWidths) {
            auto t0 = std::chrono::steady_clock::now();
            d.layoutAt(width);
            auto t1 = std::chrono::steady_clock::now();
            QTextLayout layout(qtext, font);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
                line.setLineWidth(d.paragraph->contentWidth());
            layout.endLayout();
            auto t2 = std::chrono::steady_clock::now();
            viewLines += d.paragraph->lineCount();
            qtLines += layout.lineCount();
            viewSeconds += std::chrono::duration<double>(t1 - t0).count();
            qtSeconds += std::chrono::duration<double>(t2 - t1).count();
        }
    }
    state.counters["view_ms"] = viewSeconds * 1e3 / double(state.iterations());
    state.counters["qt_ms"] = qtSeconds * 1e3 / double(state.iterations());
    state.counters["ratio_qt_to_view"] = viewSeconds > 0 ? qtSeconds / viewSeconds : 0;
    state.counters["view_lines"] = double(viewLines) / double(state.iterations());
    state.counters["qt_lines"] = double(qtLines) / double(state.iterations());
}
BENCHMARK(BM_text_break_1mb_view_vs_qt)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_text_typing_100kb(benchmark::State& state) {
    constexpr int kKeys = 10000;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TextDocument d(sampleText(100u << 10));
        d.layoutAt(600);
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        // Without a caret the run takes typing at its end.
        for (int i = 0; i < kKeys; ++i) d.run->command(10, i % 7 == 6 ? " " : "x", 0);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(d.run->textLength());
    }
    state.counters["us_per_key"] = seconds * 1e6 / (double(kKeys) * double(state.iterations()));
}
BENCHMARK(BM_text_typing_100kb)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
