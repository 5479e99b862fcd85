// Saving a worksheet of about 50 MB two ways, in MB/s of file written:
//   BM_save_worksheet_replace   the program's Save: the worksheet writer fills a temporary file
//                               beside the target, which is flushed to the disk (fsync), closed
//                               and renamed over it (replace_file);
//   BM_save_worksheet_in_place  the writer opened on the target itself (truncated at once), no
//                               fsync: what a save cost before it became safe.
// Both write the same document, built once: 25 000 execution groups, each input a line of about
// 2 000 characters from a fixed seed.  The second reports the ratio of the two rates.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "document/elements/InputTextElement.h"
#include "document/elements/SectionElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/WorksheetDocument.h"
#include "document/records/KWorksheetWriter.h"
#include "platform/os/replace_file.h"

namespace {

constexpr int kGroups = 25000;
constexpr std::size_t kInputLength = 2000;

InputTextElement* firstInput(Element* e) {
    if (auto* input = dynamic_cast<InputTextElement*>(e)) return input;
    for (int i = 0; e && i < e->childCount(); ++i)
        if (InputTextElement* found = firstInput(e->childAt(i))) return found;
    return nullptr;
}

WorksheetDocument& document() {
    static std::unique_ptr<WorksheetDocument> doc = [] {
        auto d = std::make_unique<WorksheetDocument>("bench.kws");
        auto* root = new SectionElement();
        std::mt19937 random(20261211);
        std::uniform_int_distribution<int> digit(0, 9);
        for (int g = 0; g < kGroups; ++g) {
            std::string text = "x" + std::to_string(g) + ":=";
            while (text.size() < kInputLength) text += std::to_string(digit(random)) + "+";
            text += "0";
            auto* group = new ExecutionGroup(ExecutionGroup::WithInput{});
            if (InputTextElement* input = firstInput(group)) input->setText(text.c_str());
            root->insertChild(group, nullptr, kInsertAfter);
        }
        d->setRoot(root);
        return d;
    }();
    return *doc;
}

std::string target() {
    return (std::filesystem::temp_directory_path() / ("kelvo_bench_save_" + std::to_string(getpid()) + ".kws")).string();
}

bool writeTo(const std::string& path) {
    KWorksheetWriter writer;
    if (!writer.open(path)) return false;
    const bool written = document().writeWorksheet(writer, nullptr, nullptr, true);
    return writer.close() && written;
}

// MB/s of the last run of each, for the ratio.
double gReplaceRate = 0;

// Runs `save` until the time is up; the counters give the file's size and the rate; answers MB/s.
template <class Save>
double run(benchmark::State& state, const std::string& path, Save save) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        if (!save()) state.SkipWithError("the save failed");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    const double rate = seconds > 0 ? megabytes * static_cast<double>(state.iterations()) / seconds : 0;
    state.counters["file_MB"] = megabytes;
    state.counters["MB_per_s"] = rate;
    std::filesystem::remove(path);
    return rate;
}

void BM_save_worksheet_replace(benchmark::State& state) {
    document();
    const std::string path = target();
    if (!writeTo(path)) state.SkipWithError("cannot write the first copy");
    gReplaceRate = run(state, path, [&] {
        return replace_file(path, [](const std::string& temp) { return writeTo(temp); }) == 0;
    });
}

// Runs after the replacing save and prints how much of the in-place rate it keeps.
void BM_save_worksheet_in_place(benchmark::State& state) {
    document();
    const std::string path = target();
    const double rate = run(state, path, [&] { return writeTo(path); });
    if (rate > 0 && gReplaceRate > 0) state.counters["replace_over_in_place"] = gReplaceRate / rate;
}

BENCHMARK(BM_save_worksheet_replace)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_save_worksheet_in_place)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

}  // namespace
