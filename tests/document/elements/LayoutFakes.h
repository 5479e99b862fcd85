#pragma once
// Fakes of the element tests: a view of fixed metrics that records what is drawn, a worksheet
// window that records the requests elements make of it, inline elements of fixed sizes, and a
// fixture holding a document with a root, the view and (on request) the window and its caret.
//
// The view measures every character 7 units wide (5 in the Symbol style 16) on a font 12 high
// with ascent 9.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/edit/Document.h"
#include "document/elements/InlineElement.h"
#include "document/elements/ObjectElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/tree/ContainerElement.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"

constexpr int kCharWidth = 7;
constexpr int kSymbolWidth = 5;
constexpr int kFontHeight = 12;
constexpr int kFontAscent = 9;

struct DrawnText {
    int x, y;
    std::string text;
    int charStyle;
};

struct DrawnFrame {
    ElementPoint a, b;
    int handle;
    friend bool operator==(const DrawnFrame& l, const DrawnFrame& r) {
        return l.a.x == r.a.x && l.a.y == r.a.y && l.b.x == r.b.x && l.b.y == r.b.y && l.handle == r.handle;
    }
};

class FixedView : public DocumentView {
public:
    explicit FixedView(Document* doc) : DocumentView(doc) { setViewSize(400, 300); }
    int viewKind() const override { return kind; }
    void selectStyle(const StyleKey& key, bool) override { current_ = key; }
    const FontEntryMetrics* fontMetrics() const override { return &metrics_; }
    int textWidth(const char* text, int length) override {
        if (length < 0) length = static_cast<int>(std::strlen(text));
        return length * (current_.charStyle == 16 ? kSymbolWidth : kCharWidth);
    }
    void textExtent(ExtentRecord& out, const char* text, int length) override {
        out = ExtentRecord{0, 0, textWidth(text, length), kFontHeight, kFontAscent};
    }
    void stringExtent(ExtentRecord& out, const char* text, int length) override { textExtent(out, text, length); }
    void drawText(const ElementPoint& p, const char* text, int length, bool) override {
        if (length < 0) length = static_cast<int>(std::strlen(text));
        drawn.push_back({p.x, p.y, std::string(text, static_cast<std::size_t>(length)), current_.charStyle});
    }
    void drawFrameBetween(const ElementPoint& a, const ElementPoint& b, int handle) override {
        outlines.push_back({a, b, handle});
    }
    void drawFrame(const ElementRect& r, int handle) override { frames.push_back({{r.x, r.y}, {r.width, r.height}, handle}); }
    void highlightRect(const ElementRect& r) override { highlights.push_back(r); }
    void fillRect(const ElementRect& r, std::uint32_t, int, int) override { fills.push_back(r); }
    void drawLine(const ElementPoint& from, const ElementPoint& to, int) override { lines.push_back({from, to, 0}); }
    ElementWindow* worksheetEditTarget() override { return window; }
    ElementWindow* worksheetWindow() override { return window; }

    std::vector<DrawnText> drawn;
    std::vector<DrawnFrame> outlines;
    std::vector<DrawnFrame> frames;
    std::vector<ElementRect> highlights;
    std::vector<ElementRect> fills;
    std::vector<DrawnFrame> lines;
    ElementWindow* window = nullptr;
    int kind = 0;

private:
    StyleKey current_;
    FontEntryMetrics metrics_{kFontHeight, kFontHeight - kFontAscent, kFontAscent, kFontHeight, kCharWidth, true};
};

class QuietCursor : public TextCursor {
public:
    void setSize(int, int) override {}
    void setPos(int, int) override {}
    void show() override {}
    void hide() override {}
};

// The worksheet window: its caret and selection, and a record of the requests.
class RecordingWindow : public ElementWindow {
public:
    RecordingWindow(Document* doc, FixedView* v) : view_(v), caret_(doc, this), selection_(doc, this) {}
    DocumentView* view() override { return view_; }
    TextCursor* createCursor() override { return new QuietCursor; }
    bool isRectVisible(const ElementRect&) override { return true; }
    void scrollIntoView(const ElementRect&) override {}
    void invert(const ElementRect&) override {}
    void beep() override { ++beeps; }
    ViewCaret* caret() override { return &caret_; }
    Selection* selection() override { return &selection_; }
    void captureElement(Element* e, ElementPoint) override { captured = e; }
    void releaseElement(Element* e, ElementPoint) override {
        if (captured == e) captured = nullptr;
        ++releases;
    }
    void setPointer(int id) override { pointer = id; }
    void showContextBar(int index, Element* owner) override { contextBar = index, contextOwner = owner; }
    void showStyles(StyleSet*, int para, int character) override { paraStyle = para, charStyle = character; }
    bool executeAction(int code, const char*, std::intptr_t) override {
        actions.push_back(code);
        return true;
    }
    void clearSelectionMarks() override { ++clears; }

    Element* captured = nullptr;
    int releases = 0;
    int pointer = 0;
    int contextBar = -1;
    Element* contextOwner = nullptr;
    int paraStyle = -100;
    int charStyle = -100;
    std::vector<int> actions;
    int clears = 0;
    int beeps = 0;

private:
    FixedView* view_;
    ViewCaret caret_;
    Selection selection_;
};

// An inline element of a fixed size sitting on the baseline (a picture: no caret inside).
class Box : public InlineElement {
public:
    Box(int w, int h) : w_(w), h_(h) {}
    Element* cloneElement() const override { return new Box(*this); }
    int elementKind() const override { return 15; }
    void measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) override {
        out = ExtentRecord{0, 0, w_, h_, h_};
        width = w_, height = h_, ascent = h_;
        flows = false;
        hasLineBreak = false;
    }
    void grow(int w, int h) { w_ = w, h_ = h; }

private:
    int w_, h_;
};

// An object element whose picture has a fixed stored size; counts its loads.
class TestObject : public ObjectElement {
public:
    TestObject(int w, int h, int minimum = 10) : ObjectElement(5, minimum, minimum), w_(w), h_(h) {}
    Element* cloneElement() const override { return new TestObject(*this); }
    int elementKind() const override { return 16; }
    void loadPicture() override {
        ++loads;
        setSize({w_, h_, 0});
    }
    int loads = 0;

private:
    int w_, h_;
};

class Root : public ContainerElement {
public:
    Element* cloneElement() const override { return new Root; }
    int elementKind() const override { return KIND_SECTION; }
};

class LayoutFixture : public ::testing::Test {
protected:
    void SetUp() override {
        doc = new Document;
        root = new Root;
        doc->setRoot(root);
        view = std::make_unique<FixedView>(doc);
    }
    void TearDown() override {
        window.reset();
        view.reset();   // the document goes with its last view
    }
    // Gives the view a worksheet window with a caret.
    RecordingWindow& withWindow() {
        window = std::make_unique<RecordingWindow>(doc, view.get());
        view->window = window.get();
        return *window;
    }

    // A user paragraph style made by the test.
    int style(void (*edit)(ParaStyle&)) {
        auto s = std::make_unique<ParaStyle>();
        s->setName(("T" + std::to_string(nextStyle)).c_str());
        s->completeWithDefaults();
        edit(*s);
        return doc->styleSet()->addParaStyle(std::move(s), nextStyle++);
    }
    ParagraphElement* paragraph(int styleIndex, std::vector<Element*> children, const char* prompt = nullptr) {
        auto* p = new ParagraphElement(styleIndex, prompt);
        for (Element* c : children) p->insertChild(c, nullptr, 2);
        root->insertChild(p, nullptr, 2);
        return p;
    }
    void layoutAt(int width) {
        view->setViewSize(width, 300);
        doc->setActiveView(view.get(), width, nullptr);
    }
    static ParagraphLine& line(ParagraphElement* p, int n) {
        ParagraphLine* l = p->lineAt(n);
        EXPECT_NE(l, nullptr);
        static ParagraphLine none(nullptr);
        return l ? *l : none;
    }

    Document* doc = nullptr;
    Root* root = nullptr;
    std::unique_ptr<FixedView> view;
    std::unique_ptr<RecordingWindow> window;
    int nextStyle = 300;
};
