// Ordering caret positions in a worksheet of 10,000 paragraphs (one text run each) in 1,000
// execution groups under one section: 1,000,000 random pairs of text positions (random run,
// random byte offset; one pair in ten inside one run), each asked isBefore, isAfter and isSame.
//   BM_order_random_pairs       ns_per_comparison: one isBefore/isAfter/isSame triple
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "document/edit/Document.h"
#include "document/elements/TextElement.h"
#include "document/tree/CaretPosition.h"
#include "document/tree/CompositeElement.h"
#include "document/tree/ContainerElement.h"

namespace {

constexpr int GROUPS = 1000;
constexpr int PARAGRAPHS_PER_GROUP = 10;
constexpr int PAIRS = 1000000;

class Section : public ContainerElement {
public:
    Element* cloneElement() const override { return new Section; }
    int elementKind() const override { return KIND_SECTION; }
};

class Group : public ContainerElement {
public:
    Element* cloneElement() const override { return new Group; }
    int elementKind() const override { return KIND_GROUP; }
};

class Paragraph : public CompositeElement {
public:
    Element* cloneElement() const override { return new Paragraph; }
    int elementKind() const override { return KIND_PARAGRAPH; }
};

void BM_order_random_pairs(benchmark::State& state) {
    Document doc;
    auto* root = new Section;
    doc.setRoot(root);
    std::vector<Element*> runs;
    for (int g = 0; g < GROUPS; ++g) {
        auto* group = new Group;
        root->insertChild(group, nullptr, kInsertAfter);
        for (int p = 0; p < PARAGRAPHS_PER_GROUP; ++p) {
            auto* paragraph = new Paragraph;
            group->insertChild(paragraph, nullptr, kInsertAfter);
            auto* run = new TextElement(-1, ("line " + std::to_string(g * PARAGRAPHS_PER_GROUP + p)).c_str());
            paragraph->insertChild(run, nullptr, kInsertAfter);
            runs.push_back(run);
        }
    }
    std::mt19937 rng(29);
    auto position = [&](Element* run) {
        CaretHandle h;
        run->createCaretPosition(h, false);
        h.single()->setOffset(static_cast<int>(rng() % 6));
        return h;
    };
    std::vector<std::pair<CaretHandle, CaretHandle>> pairs;
    pairs.reserve(PAIRS);
    for (int i = 0; i < PAIRS; ++i) {
        Element* a = runs[rng() % runs.size()];
        Element* b = i % 10 == 0 ? a : runs[rng() % runs.size()];
        pairs.emplace_back(position(a), position(b));
    }
    long before = 0;
    for (auto _ : state) {
        for (const auto& [a, b] : pairs) {
            const SingleCaret& x = *a.single();
            const SingleCaret& y = *b.single();
            before += x.isBefore(y) + 2 * x.isAfter(y) + 4 * x.isSame(y);
        }
        benchmark::DoNotOptimize(before);
    }
    state.counters["ns_per_comparison"] =
        benchmark::Counter(PAIRS * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_order_random_pairs)->Unit(benchmark::kMillisecond);

}  // namespace
