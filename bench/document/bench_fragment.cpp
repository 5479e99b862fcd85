// Worksheet fragments in the clipboard format: 100,000 paragraphs, every other one holding a
// text run and the rest a one-line input, each copied group a "{NEWREP" row after the style
// table.  Reports MB/s:
//   BM_fragment_write_100k   writing the rows through the worksheet writer, as a copy does
//   BM_fragment_read_100k    reading the text back into a fragment with its styles
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/elements/WorksheetFragment.h"
#include "document/exec/ExecutionGroup.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/StyleSet.h"
#include "document/tree/Element.h"
#include "tovu/dag.h"

namespace {

constexpr int PARAGRAPHS = 100000;

std::vector<std::unique_ptr<Element>> makeParagraphs() {
    std::vector<std::unique_ptr<Element>> out;
    out.reserve(PARAGRAPHS);
    for (int i = 0; i < PARAGRAPHS; ++i) {
        auto p = std::make_unique<ParagraphElement>(0, i % 2 ? "> " : nullptr);
        const std::string n = std::to_string(i);
        if (i % 2) p->insertChild(new InputTextElement(1, ("x" + n + " := int(x^" + n + ", x);").c_str()), nullptr, kInsertAfter);
        else p->insertChild(new TextElement(-1, ("Paragraph " + n + " says \"hello\" {and} more.").c_str()), nullptr, kInsertAfter);
        out.push_back(std::move(p));
    }
    return out;
}

std::string write(const std::vector<std::unique_ptr<Element>>& paragraphs) {
    KWorksheetWriter writer;
    StyleSet styles;
    styles.writeStyleTable(writer, true, false);
    for (const auto& p : paragraphs) {
        WalkControl control;
        control.flags = WALK_BEFORE | WALK_AFTER;
        control.writer = &writer;
        writer.writeRaw("{NEWREP ");
        p->walkMethod(&Element::writeElement, control);
        writer.writeRaw("}");
    }
    return writer.getBuffer();
}

void setUp() {
    static bool done = [] {
        tovu_start();
        registerSectionReaders();
        registerExecutionGroupReaders();
        registerTextReaders();
        registerParagraphReaders();
        registerFragmentReader();
        return true;
    }();
    (void)done;
}

void BM_fragment_write_100k(benchmark::State& state) {
    setUp();
    const auto paragraphs = makeParagraphs();
    for (auto _ : state) {
        std::string text = write(paragraphs);
        benchmark::DoNotOptimize(text.data());
        state.SetBytesProcessed(state.bytes_processed() + std::int64_t(text.size()));
    }
}

void BM_fragment_read_100k(benchmark::State& state) {
    setUp();
    const std::string text = write(makeParagraphs());
    for (auto _ : state) {
        std::unique_ptr<WorksheetFragment> fragment = WorksheetFragment::readFragmentFromText(text.data(), text.size());
        if (!fragment || fragment->rowCount() != PARAGRAPHS + 1) state.SkipWithError("the fragment lost rows");
        state.SetBytesProcessed(state.bytes_processed() + std::int64_t(text.size()));
    }
}

BENCHMARK(BM_fragment_write_100k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_fragment_read_100k)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
