// Undo history timings: typing into one text element (one merged group), inserting many
// paragraphs in one group, and undoing and redoing both; prints the history's memory.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>

#include "document/tree/ContainerElement.h"
#include "document/edit/Document.h"
#include "document/edit/EditBracket.h"
#include "document/edit/EditRecord.h"
#include "document/edit/UndoHistory.h"

namespace {

bool textOf(const Element* e, std::string& out);

class Run : public Element {
public:
    explicit Run(std::string t = "") : text(std::move(t)) {}
    Element* cloneElement() const override { return new Run(text); }
    int elementKind() const override { return KIND_TEXT; }
    bool isInline() const override { return true; }
    bool isText() const override { return true; }
    Element* parent() const override { return parent_; }
    void setParent(Element* p) override { parent_ = p; }
    void locatePosition(TextPosition&) override {}
    void type(char c) {
        EditBracket bracket(document());
        bool recording = bracket.isRecording();
        if (recording) {
            bracket.open();
            bracket.setUndoRecord(new ModifyRecord(document()));
            bracket.addUndoElement(this);
        }
        text.push_back(c);
        if (recording) {
            bracket.setRedoRecord(new ModifyRecord(document()));
            bracket.addRedoElement(this);
        }
    }
    std::string text;

private:
    Element* parent_ = nullptr;
};

class Box : public ContainerElement {
public:
    explicit Box(int k) : kind_(k) {}
    Element* cloneElement() const override {
        auto* c = new Box(kind_);
        for (int i = 0; i < childCount(); ++i) c->insertChild(childAt(i)->cloneElement(), nullptr, kInsertAfter);
        return c;
    }
    int elementKind() const override { return kind_; }

private:
    int kind_;
};

bool textOf(const Element* e, std::string& out) {
    auto* r = dynamic_cast<const Run*>(e);
    if (!r) return false;
    out = r->text;
    return true;
}

std::size_t heapInUse() { return mallinfo2().uordblks; }

void BM_undo_typing_10000_chars(benchmark::State& state) {
    textOfElement = &textOf;
    for (auto _ : state) {
        Document doc;
        auto* root = new Box(KIND_SECTION);
        doc.setRoot(root);
        auto* para = new Box(KIND_PARAGRAPH);
        root->insertChild(para, nullptr, kInsertAfter);
        auto* run = new Run;
        para->insertChild(run, nullptr, kInsertAfter);
        UndoHistory& h = *doc.undoHistory();
        std::size_t before = heapInUse();
        for (int i = 0; i < 10000; ++i) {
            h.beginGroup("Typing", nullptr, true);
            static_cast<Run*>(para->childAt(0))->type(char('a' + i % 26));
            h.endUndoGroup(nullptr);
        }
        state.counters["groups"] = h.groupCount();
        state.counters["history_bytes"] = double(heapInUse() - before);
        h.undo(nullptr);
        h.redo(nullptr);
        benchmark::DoNotOptimize(para->childAt(0));
    }
}
BENCHMARK(BM_undo_typing_10000_chars)->Unit(benchmark::kMillisecond);

void BM_undo_insert_10000_paragraphs(benchmark::State& state) {
    for (auto _ : state) {
        Document doc;
        auto* root = new Box(KIND_SECTION);
        doc.setRoot(root);
        UndoHistory& h = *doc.undoHistory();
        std::size_t before = heapInUse();
        h.beginGroup("Paste", nullptr, false);
        for (int i = 0; i < 10000; ++i) {
            auto* para = new Box(KIND_PARAGRAPH);
            para->insertChild(new Run("p"), nullptr, kInsertAfter);
            root->insertChild(para, nullptr, kInsertAfter);
        }
        h.endUndoGroup(nullptr);
        state.counters["history_bytes"] = double(heapInUse() - before);
        h.undo(nullptr);
        h.redo(nullptr);
        benchmark::DoNotOptimize(root->childCount());
    }
}
BENCHMARK(BM_undo_insert_10000_paragraphs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
