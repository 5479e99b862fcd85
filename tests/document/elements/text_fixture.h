#pragma once
// The fixture of the text run and paragraph editing tests: a document whose view measures
// every byte 10 wide on a font 12 high (ascent 9, line spacing 14) and records what is drawn
// and highlighted, a worksheet window with a caret and a selection, a root section, and
// helpers for styles, paragraphs and an undo group around an edit.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/edit/Document.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "util/errjump.h"

namespace textfixture {

constexpr int kByteWidth = 10;
constexpr int kFontHeight = 12;
constexpr int kFontAscent = 9;
constexpr int kLineSpacing = 14;

struct Drawn {
    int x, y;
    std::string text;
};

class NullCursor : public TextCursor {
public:
    void setSize(int, int) override {}
    void setPos(int, int) override {}
    void show() override {}
    void hide() override {}
};

class ByteView;

class TestWindow : public ElementWindow {
public:
    explicit TestWindow(ByteView* view, Document* doc);
    DocumentView* view() override;
    TextCursor* createCursor() override { return new NullCursor; }
    bool isRectVisible(const ElementRect&) override { return true; }
    void scrollIntoView(const ElementRect&) override {}
    void invert(const ElementRect&) override {}
    void beep() override { ++beeps; }
    void showTextPointer() override { ++textPointers; }
    void showContextBar(int index, Element* owner) override { contextBars.push_back({index, owner}); }
    ViewCaret* caret() override { return &caret_; }
    Selection* selection() override { return &selection_; }

    int beeps = 0;
    int textPointers = 0;
    // The context bars asked for, with their owners.
    struct ContextBar {
        int index;
        Element* owner;
    };
    std::vector<ContextBar> contextBars;

private:
    ByteView* view_;
    ViewCaret caret_;
    Selection selection_;
};

class ByteView : public DocumentView {
public:
    explicit ByteView(Document* doc) : DocumentView(doc) { setViewSize(400, 300); }
    ~ByteView() override {
        window_.reset();
        leaveDocument();
    }
    void selectStyle(const StyleKey& key, bool) override { current = key; }
    const FontEntryMetrics* fontMetrics() const override { return &metrics_; }
    int textWidth(const char* text, int length) override {
        if (length < 0) length = static_cast<int>(std::strlen(text));
        return length * kByteWidth;
    }
    void textExtent(ExtentRecord& out, const char* text, int length) override {
        out = ExtentRecord{0, 0, textWidth(text, length), kLineSpacing, kFontAscent};
    }
    void stringExtent(ExtentRecord& out, const char* text, int length) override { textExtent(out, text, length); }
    void drawText(const ElementPoint& p, const char* text, int length, bool) override {
        if (length < 0) length = static_cast<int>(std::strlen(text));
        drawn.push_back({p.x, p.y, std::string(text, static_cast<std::size_t>(length))});
    }
    void highlightRect(const ElementRect& rect) override { highlights.push_back(rect); }
    ElementWindow* worksheetWindow() override { return window_.get(); }
    ElementWindow* worksheetEditTarget() override { return window_.get(); }
    ViewCaret* viewCaret() override { return window_ ? window_->caret() : nullptr; }
    void makeWindow() { window_ = std::make_unique<TestWindow>(this, document()); }
    TestWindow* window() const { return window_.get(); }

    std::vector<Drawn> drawn;
    std::vector<ElementRect> highlights;
    StyleKey current;

private:
    FontEntryMetrics metrics_{kFontHeight, kFontHeight - kFontAscent, kFontAscent, kLineSpacing, kByteWidth, true};
    std::unique_ptr<TestWindow> window_;
};

inline TestWindow::TestWindow(ByteView* view, Document* doc) : view_(view), caret_(doc, this), selection_(doc, this) {}
inline DocumentView* TestWindow::view() { return view_; }

// Every element the records of `bytes` give, read through the tag table until the enclosing
// record ends; the error-jump depth is the same afterwards.
inline std::vector<std::unique_ptr<Element>> readRecords(const std::string& bytes, int major = 3, int minor = 0) {
    KWorksheetReader reader;
    reader.openMemory(bytes + "}");
    reader.majorVersion = major;
    reader.minorVersion = minor;
    std::vector<std::unique_ptr<Element>> out;
    int depth = errjump_depth();
    for (int guard = 0; guard < 100; ++guard) {
        Element* e = nullptr;
        if (!worksheetTagTable.readNewRep(reader, e, nullptr, false, nullptr)) break;
        if (e) out.emplace_back(e);
    }
    EXPECT_EQ(errjump_depth(), depth);
    return out;
}

class TextFixture : public ::testing::Test {
protected:
    void SetUp() override {
        registerTextReaders();
        doc = new Document;
        root = new SectionElement();
        doc->setRoot(root);
        view = std::make_unique<ByteView>(doc);
        view->makeWindow();
        plainStyle = paraStyle([](ParaStyle&) {});
    }
    void TearDown() override { view.reset(); }   // the document goes with its last view

    // A user character style made by the test.
    int charStyle(void (*edit)(CharStyle&)) {
        auto s = std::make_unique<CharStyle>();
        edit(*s);
        return doc->styleSet()->addCharStyle(std::move(s), nextChar++);
    }
    // A user paragraph style without margins or indents, edited by the test.
    int paraStyle(void (*edit)(ParaStyle&)) {
        auto s = std::make_unique<ParaStyle>();
        s->setName(("P" + std::to_string(nextPara)).c_str());
        s->completeWithDefaults();
        s->leftMarginMode = 1, s->leftMargin = 0;
        s->rightMarginMode = 1, s->rightMargin = 0;
        s->firstIndent = 0;
        s->preleading = 0, s->postleading = 0;
        edit(*s);
        return doc->styleSet()->addParaStyle(std::move(s), nextPara++);
    }
    ParagraphElement* paragraph(std::vector<Element*> children, int style = -1) {
        auto* p = new ParagraphElement(style < 0 ? plainStyle : style, nullptr);
        for (Element* c : children) p->insertChild(c, nullptr, kInsertAfter);
        root->insertChild(p, nullptr, kInsertAfter);
        return p;
    }
    void layoutAt(int width) {
        view->setViewSize(width, 300);
        doc->setActiveView(view.get(), width, nullptr);
    }
    ViewCaret& caret() { return *view->window()->caret(); }
    // The worksheet as the writer writes it.
    std::string written() {
        KWorksheetWriter writer;
        WalkControl control;
        control.flags = WALK_BEFORE | WALK_AFTER;
        control.writer = &writer;
        root->walkMethod(&Element::writeElement, control);
        return writer.getBuffer();
    }
    // Runs the edit inside one undo group of the document.
    template <typename Edit>
    void inGroup(const char* name, Edit edit, bool mergeable = false) {
        doc->undoHistory()->beginGroup(name, nullptr, mergeable);
        edit();
        doc->undoHistory()->endUndoGroup(nullptr);
    }

    Document* doc = nullptr;
    SectionElement* root = nullptr;
    std::unique_ptr<ByteView> view;
    int plainStyle = 0;
    int nextChar = 300;
    int nextPara = 300;
};

}  // namespace textfixture
