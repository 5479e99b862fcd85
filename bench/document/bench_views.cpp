// Measuring words through a WindowView with the font cache, against Qt's font metrics called
// directly: every word of a 10 MB text of seeded random words, measured both ways in one run.
// The counters give both rates (words per second) and their ratio (direct rate / view rate).
// Run with QT_QPA_PLATFORM=offscreen when no display is there.

#include <benchmark/benchmark.h>

#include <QFontMetrics>
#include <QString>

#include <chrono>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "document/edit/Document.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/views/WindowView.h"
#include "platform/gui/Application.h"
#include "platform/gui/VirtualDevice.h"
#include "platform/gui/qt_text.h"

namespace {

constexpr std::size_t kTextBytes = 10u << 20;

// Words of 1 to 12 lower-case letters and a blank, from a fixed seed.
std::string sampleText() {
    std::mt19937 rng(25);
    std::uniform_int_distribution<int> length(1, 12), letter('a', 'z');
    std::string text;
    text.reserve(kTextBytes + 16);
    while (text.size() < kTextBytes) {
        for (int i = length(rng); i > 0; --i) text += char(letter(rng));
        text += ' ';
    }
    return text;
}

std::vector<std::string_view> wordsOf(const std::string& text) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == ' ') {
            words.emplace_back(text.data() + start, i - start);
            start = i + 1;
        }
    return words;
}

class BenchView : public DocumentView {
public:
    explicit BenchView(Document* d) : DocumentView(d) {}
    void drawText(const ElementPoint&, const char*, int, bool) override {}
};

void BM_views_measure_words_view_vs_qt(benchmark::State& state) {
    gui::ensureApplication("bench_views");
    const std::string text = sampleText();
    const std::vector<std::string_view> words = wordsOf(text);

    auto* doc = new Document;   // deleted with its last view
    BenchView keeper(doc);
    doc->styleSet()->buildDefaultStyles();
    auto style = std::make_unique<CharStyle>();
    style->setName("bench");
    style->setFontName("Times New Roman");
    style->sizeMode = 1;
    style->size = 12;
    style->italic = 2;
    const int index = doc->styleSet()->addCharStyle(std::move(style), -1);

    VirtualDevice device;
    FontCache cache;
    WindowView view(doc, &device, &cache);
    view.selectStyleParts(std::int16_t(index), 0, -1, false);
    auto* entry = static_cast<FontEntry*>(view.currentFont());
    const QFont font = gui::makeQFont(entry->font(), entry->font().getSize().height);
    const QFontMetrics metrics(font);

    double viewSeconds = 0, qtSeconds = 0;
    long long viewSum = 0, qtSum = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (std::string_view w : words) viewSum += view.textWidth(w.data(), int(w.size()));
        auto t1 = std::chrono::steady_clock::now();
        for (std::string_view w : words) qtSum += metrics.horizontalAdvance(gui::toQString(w));
        auto t2 = std::chrono::steady_clock::now();
        viewSeconds += std::chrono::duration<double>(t1 - t0).count();
        qtSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    benchmark::DoNotOptimize(viewSum);
    benchmark::DoNotOptimize(qtSum);
    const double n = double(words.size()) * double(state.iterations());
    const double viewRate = viewSeconds > 0 ? n / viewSeconds : 0;
    const double qtRate = qtSeconds > 0 ? n / qtSeconds : 0;
    state.counters["view_words_per_s"] = viewRate;
    state.counters["qt_words_per_s"] = qtRate;
    state.counters["ratio_qt_to_view"] = viewRate > 0 ? qtRate / viewRate : 0;
    state.counters["widths_equal"] = viewSum == qtSum ? 1 : 0;
}
BENCHMARK(BM_views_measure_words_view_vs_qt)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
