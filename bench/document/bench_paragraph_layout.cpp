// Paragraph layout and hit tests on a view of fixed metrics with inline elements of fixed
// sizes: one paragraph of 100,000 children laid out at three widths, 10,000 paragraphs of 20
// children, and 100,000 hit tests spread over a laid-out document.  Times in ms.

#include <benchmark/benchmark.h>

#include <random>

#include "document/edit/Document.h"
#include "document/elements/InlineElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/tree/ContainerElement.h"
#include "document/tree/ElementPosition.h"

namespace {

class BenchView : public DocumentView {
public:
    explicit BenchView(Document* d) : DocumentView(d) {}
    const FontEntryMetrics* fontMetrics() const override { return &metrics_; }
    void textExtent(ExtentRecord& out, const char* text, int length) override {
        out = ExtentRecord{0, 0, 7 * textLength(text, length), 12, 9};
    }
    void stringExtent(ExtentRecord& out, const char* text, int length) override { textExtent(out, text, length); }
    void drawText(const ElementPoint&, const char*, int, bool) override {}

private:
    static int textLength(const char* text, int length) {
        if (length >= 0) return length;
        int n = 0;
        while (text[n]) ++n;
        return n;
    }
    FontEntryMetrics metrics_{12, 3, 9, 12, 7, true};
};

// A picture-like inline element of a fixed size.
class Piece : public InlineElement {
public:
    Piece(int w, int h) : w_(w), h_(h) {}
    Element* cloneElement() const override { return new Piece(*this); }
    int elementKind() const override { return 15; }
    void measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) override {
        out = ExtentRecord{0, 0, w_, h_, h_};
        width = w_, height = h_, ascent = h_;
        flows = false;
        hasLineBreak = false;
    }

private:
    int w_, h_;
};

class Root : public ContainerElement {
public:
    Element* cloneElement() const override { return new Root; }
    int elementKind() const override { return KIND_SECTION; }
};

// A document of `paragraphs` paragraphs of `children` pieces of seeded widths 5..60.
struct Sheet {
    Document* doc = new Document;
    Root* root = new Root;
    BenchView* view;

    Sheet(int paragraphs, int children) {
        doc->setRoot(root);
        view = new BenchView(doc);
        std::mt19937 rng(28);
        std::uniform_int_distribution<int> w(5, 60), h(8, 20);
        for (int p = 0; p < paragraphs; ++p) {
            auto* para = new ParagraphElement(0, nullptr);
            for (int c = 0; c < children; ++c) para->insertChild(new Piece(w(rng), h(rng)), nullptr, kInsertAfter);
            root->insertChild(para, nullptr, kInsertAfter);
        }
    }
    ~Sheet() { delete view; }   // the document goes with its last view
    void layout(int width) {
        view->setViewSize(width, 600);
        root->flags |= ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT;
        for (int i = 0; i < root->childCount(); ++i) root->childAt(i)->flags |= ELEMENT_NEEDS_LAYOUT;
        doc->setActiveView(view, width, nullptr);
    }
};

void BM_layout_one_paragraph_of_100000(benchmark::State& state) {
    Sheet sheet(1, 100000);
    for (auto _ : state) sheet.layout(static_cast<int>(state.range(0)));
    auto* p = static_cast<ParagraphElement*>(sheet.root->childAt(0));
    state.counters["lines"] = p->lineCount();
}
BENCHMARK(BM_layout_one_paragraph_of_100000)->Arg(300)->Arg(1200)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_layout_10000_paragraphs_of_20(benchmark::State& state) {
    Sheet sheet(10000, 20);
    for (auto _ : state) sheet.layout(800);
}
BENCHMARK(BM_layout_10000_paragraphs_of_20)->Unit(benchmark::kMillisecond);

void BM_hit_tests_100000(benchmark::State& state) {
    Sheet sheet(1000, 20);
    sheet.layout(800);
    ElementRect extent = sheet.view->documentExtent();
    std::mt19937 rng(29);
    std::uniform_int_distribution<int> x(0, 800), y(0, std::max(1, extent.height));
    std::vector<ElementPoint> points(100000);
    for (ElementPoint& p : points) p = {x(rng), y(rng)};
    TextPosition position(sheet.doc);
    for (auto _ : state) {
        for (const ElementPoint& p : points) sheet.doc->positionAtPoint(position, p.x, p.y);
        benchmark::DoNotOptimize(position.rect);
    }
}
BENCHMARK(BM_hit_tests_100000)->Unit(benchmark::kMillisecond);

}  // namespace
