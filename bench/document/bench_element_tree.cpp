// The element tree at worksheet scale: 100,000 paragraphs (one text run each) in 10,000
// execution groups under one section, laid out against a view with fixed metrics.
//   BM_walk_full                       walk before and after every element; ns per element
//   BM_insert_remove_group_middle      a 10-paragraph group in and out at index 5,000; ms
//   BM_layout_after_one_change         one run grows; the next layout re-measures only the
//                                      flagged path; ms
//   BM_mark_half_selection             marks from a selection over the upper half, then
//                                      cleared; ms
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "document/tree/ContainerElement.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/Selection.h"

namespace {

constexpr int GROUPS = 10000;
constexpr int PARAGRAPHS_PER_GROUP = 10;

class View : public DocumentView {
public:
    View() : DocumentView(nullptr) { setViewSize(800, 600); }
    void drawText(const ElementPoint&, const char*, int, bool) override {}
};

class Window : public ElementWindow {
public:
    DocumentView* view() override { return &v; }
    TextCursor* createCursor() override { return nullptr; }
    bool isRectVisible(const ElementRect&) override { return true; }
    void scrollIntoView(const ElementRect&) override {}
    void invert(const ElementRect&) override {}
    bool drawsSelectionZones() const override { return false; }
    View v;
};

class Document : public ElementDocument {
public:
    Element* root() override { return rootElement; }
    DocumentView* activeView() override { return &window.v; }
    ElementWindow* activeWindow() override { return &window; }
    bool layoutHeld() const override { return held > 0; }
    void holdLayout() override { ++held; }
    void releaseLayout() override { --held; }
    Element* rootElement = nullptr;
    Window window;
    int held = 0;
};

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

class Run : public Element {
public:
    explicit Run(int length) : length(length) {}
    Element* cloneElement() const override { return new Run(length); }
    int elementKind() const override { return KIND_TEXT; }
    bool isInline() const override { return true; }
    Element* parent() const override { return parent_; }
    void setParent(Element* p) override { parent_ = p; }
    int inputTextLength() const override { return length; }
    void layout(ElementExtent& area) override {
        area = {7 * std::max(1, length), 12};
        flags &= ~3u;
    }
    void locatePosition(TextPosition& p) override {
        ElementPoint o = absoluteOrigin();
        p.rect = {o.x + 7 * p.offset(), o.y, 1, 12};
    }
    int markFromSelection(Selection& s) override {
        ElementPoint o = absoluteOrigin();
        return s.classifyRect({o.x, o.y, 7 * std::max(1, length), 12});
    }
    int length;

private:
    Element* parent_ = nullptr;
};

Group* makeGroup(int seed) {
    auto* g = new Group;
    for (int p = 0; p < PARAGRAPHS_PER_GROUP; ++p) {
        auto* para = new Paragraph;
        g->insertChild(para, nullptr, kInsertAfter);
        para->insertChild(new Run(5 + (seed + p) % 40), nullptr, kInsertAfter);
    }
    return g;
}

struct BigTree {
    BigTree() {
        root = new Section;
        doc.rootElement = root;
        root->setDocument(&doc);
        doc.holdLayout();
        for (int g = 0; g < GROUPS; ++g) root->insertChild(makeGroup(g), nullptr, kInsertAfter);
        doc.releaseLayout();
        ElementExtent e;
        root->layout(e);
    }
    ~BigTree() { delete root; }
    Document doc;
    Section* root;
    static constexpr long ELEMENTS = 1 + GROUPS * (1 + 2L * PARAGRAPHS_PER_GROUP);
};

BigTree& tree() {
    static BigTree t;
    return t;
}

void countVisit(Element*, WalkControl& control) { ++control.code; }

void BM_walk_full(benchmark::State& state) {
    BigTree& t = tree();
    for (auto _ : state) {
        WalkControl r;
        r.flags = WALK_BEFORE | WALK_AFTER;
        t.root->walk(&countVisit, r);
        benchmark::DoNotOptimize(r.code);
    }
    // Seconds per element, printed with its SI prefix ("25n" is 25 ns).
    state.counters["time_per_element"] = benchmark::Counter(
        double(BigTree::ELEMENTS) * double(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_walk_full)->Unit(benchmark::kMillisecond);

void BM_insert_remove_group_middle(benchmark::State& state) {
    BigTree& t = tree();
    for (auto _ : state) {
        Group* g = makeGroup(7);
        t.root->insertChild(g, t.root->childAt(GROUPS / 2), kInsertBefore);
        t.root->removeChild(g);
    }
}
BENCHMARK(BM_insert_remove_group_middle)->Unit(benchmark::kMillisecond);

void BM_layout_after_one_change(benchmark::State& state) {
    BigTree& t = tree();
    Element* para = t.root->childAt(GROUPS / 2)->childAt(3);
    auto* run = static_cast<Run*>(para->childAt(0));
    int base = run->length;
    int step = 0;
    for (auto _ : state) {
        run->length = base + (++step % 2) * 30;
        run->markNeedsLayout();
        ElementExtent e;
        t.root->layout(e);
        benchmark::DoNotOptimize(e.height);
    }
}
BENCHMARK(BM_layout_after_one_change)->Unit(benchmark::kMillisecond);

void BM_mark_half_selection(benchmark::State& state) {
    BigTree& t = tree();
    Selection sel(&t.doc, &t.doc.window);
    int half = t.root->height / 2;
    sel.top = {0, 0, Selection::WIDE, 12};
    sel.middle = {0, 12, Selection::WIDE, half - 24};
    sel.bottom = {0, half - 12, 40, 12};
    for (auto _ : state) {
        t.root->markFromSelectionTree(sel);
        benchmark::DoNotOptimize(t.root->mark);
        t.root->clearChildMarks();
    }
}
BENCHMARK(BM_mark_half_selection)->Unit(benchmark::kMillisecond);

}  // namespace
