#pragma once
// Test doubles for the element tree: a document, a view with fixed metrics, a window and a text
// cursor that record their calls in order, and small element classes standing in for the
// section, execution group, paragraph, text run and placeholder classes.
//
// Fixed metrics: output 600 x 400 with margins 10 on every side, scale 1/1 unless a test sets
// another; a text run is 7 pixels per character wide (at least 7) and 12 high; a fake
// paragraph stacks its runs like any composite.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/tree/BlockElement.h"
#include "document/tree/CompositeElement.h"
#include "document/tree/ContainerElement.h"
#include "document/tree/Element.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"

namespace fakes {

// Every call the doubles see, in order ("cursor.hide", "invert 10 0 580 12", ...).
extern std::vector<std::string> callLog;
// Every selectionMarkChanged (element name, mark), in order.
extern std::vector<std::pair<std::string, int>> markLog;

std::string rectText(const ElementRect& r);

class FakeCursor : public TextCursor {
public:
    void setSize(int w, int h) override { callLog.push_back("cursor.setSize " + std::to_string(w) + " " + std::to_string(h)); }
    void setPos(int x, int y) override { callLog.push_back("cursor.setPos " + std::to_string(x) + " " + std::to_string(y)); }
    void show() override { callLog.push_back("cursor.show"); }
    void hide() override { callLog.push_back("cursor.hide"); }
};

// A view of no document (the tree's tests have no Document).
class FakeView : public DocumentView {
public:
    FakeView() : DocumentView(nullptr) {
        setViewSize(600, 400);
        setMargins(10, 10, 10, 10);
    }
    void extentChanged(int dw, int dh, ElementPoint) override {
        callLog.push_back("extent " + std::to_string(dw) + " " + std::to_string(dh));
    }
    void drawPolyLine(const ElementPoint* p, int n) override { logLine("polyline", p, n); }
    void drawXorPolyLine(int, const ElementPoint* p, int n) override { logLine("xorline", p, n); }
    void drawText(const ElementPoint&, const char*, int, bool) override {}

private:
    static void logLine(std::string s, const ElementPoint* p, int n) {
        for (int i = 0; i < n; ++i) s += " " + std::to_string(p[i].x) + "," + std::to_string(p[i].y);
        callLog.push_back(s);
    }
};

class FakeWindow : public ElementWindow {
public:
    DocumentView* view() override { return &viewObject; }
    TextCursor* createCursor() override {
        callLog.push_back("cursor.create");
        return new FakeCursor;
    }
    bool isRectVisible(const ElementRect& r) override { return r.y >= visibleTop && r.bottom() <= visibleTop + 400; }
    void scrollIntoView(const ElementRect& r) override { callLog.push_back("scroll " + rectText(r)); }
    void invert(const ElementRect& r) override { callLog.push_back("invert " + rectText(r)); }
    void update() override { callLog.push_back("update"); }
    void beep() override { callLog.push_back("beep"); }
    void refreshCommandState(int id) override { callLog.push_back("state " + std::to_string(id)); }
    bool drawsSelectionZones() const override { return zones; }
    ViewCaret* caret() override { return caretObject; }
    Selection* selection() override { return selectionObject; }

    FakeView viewObject;
    int visibleTop = 0;
    bool zones = true;
    ViewCaret* caretObject = nullptr;
    Selection* selectionObject = nullptr;
};

class FakeDocument : public ElementDocument {
public:
    Element* root() override { return rootElement; }
    DocumentView* activeView() override { return withView ? &window.viewObject : nullptr; }
    ElementWindow* activeWindow() override { return withView ? &window : nullptr; }
    bool layoutHeld() const override { return held > 0; }
    void holdLayout() override { ++held; }
    void releaseLayout() override { --held; }
    void forgetElement(Element*) override { ++forgotten; }

    Element* rootElement = nullptr;
    FakeWindow window;
    bool withView = true;
    int held = 0;
    int forgotten = 0;
};

// Names every fake element for logs and tables.
struct Named {
    std::string name;
};

// Splits a fake composite at a child index: a new element of the same class takes the children
// from the index on and follows this one in its parent.
template <typename T>
Element* splitComposite(T* self, int index) {
    Element* p = self->parent();
    if (!p || index < 0 || index > self->childCount()) return self;
    T* second = new T(self->name + "'");
    self->moveChildrenTo(index, self->childCount() - index, second, nullptr, kInsertAfter);
    if (!p->insertChild(second, self, kInsertAfter)) {
        delete second;
        return self;
    }
    return second;
}

class FakeSection : public ContainerElement, public Named {
public:
    explicit FakeSection(std::string n) : Named{std::move(n)} {}
    Element* cloneElement() const override { return new FakeSection(name); }
    int elementKind() const override { return KIND_SECTION; }
    bool command(int code, const char*, std::intptr_t) override;
    Element* splitAtIndex(int index) override { return splitComposite(this, index); }
    void selectionMarkChanged(int m) override {
        markLog.emplace_back(name, m);
        ContainerElement::selectionMarkChanged(m);
    }
    void setCollapsed(bool on) {
        if (on) flags |= ELEMENT_COLLAPSED_SECTION;
        else flags &= ~ELEMENT_COLLAPSED_SECTION;
    }
    static constexpr int COMMAND_EXPAND = 21;
    static constexpr int COMMAND_DELETE_SELF = 900;   // removes the section itself
    int expandCount = 0;
};

class FakeGroup : public ContainerElement, public Named {
public:
    explicit FakeGroup(std::string n) : Named{std::move(n)} {}
    Element* cloneElement() const override { return new FakeGroup(name); }
    int elementKind() const override { return KIND_GROUP; }
    Element* splitAtIndex(int index) override { return splitComposite(this, index); }
    void selectionMarkChanged(int m) override {
        markLog.emplace_back(name, m);
        ContainerElement::selectionMarkChanged(m);
    }
};

class FakeParagraph : public CompositeElement, public Named {
public:
    explicit FakeParagraph(std::string n) : Named{std::move(n)} {}
    Element* cloneElement() const override { return new FakeParagraph(name); }
    int elementKind() const override { return KIND_PARAGRAPH; }
    Element* splitAtIndex(int index) override { return splitComposite(this, index); }
    void selectionMarkChanged(int m) override {
        markLog.emplace_back(name, m);
        CompositeElement::selectionMarkChanged(m);
    }
};

// An inline leaf with a text: kind 5 (or 6 for an active input).
class FakeText : public Element, public Named {
public:
    FakeText(std::string n, std::string t, bool input = false)
        : Named{std::move(n)}, text(std::move(t)), input_(input) {}
    Element* cloneElement() const override { return new FakeText(name, text, input_); }
    int elementKind() const override { return input_ ? KIND_INPUT_TEXT : KIND_TEXT; }
    bool isInline() const override { return true; }
    bool isActiveInput() const override { return input_; }
    bool isText() const override { return true; }
    Element* parent() const override { return parent_; }
    void setParent(Element* p) override { parent_ = p; }
    int inputTextLength() const override { return int(text.size()); }
    void setCaretOffset(int offset) override { caretOffset = offset; }
    void layout(ElementExtent& area) override {
        area = {std::max(7, 7 * int(text.size())), 12};
        flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
    }
    void locatePosition(TextPosition& p) override {
        ElementPoint o = absoluteOrigin();
        p.rect = {o.x + 7 * p.offset(), o.y, 1, 12};
        p.ownCaret = false;
    }
    int markFromSelection(Selection& s) override {
        ElementPoint o = absoluteOrigin();
        return s.classifyRect({o.x, o.y, std::max(7, 7 * int(text.size())), 12});
    }
    void selectionMarkChanged(int m) override { markLog.emplace_back(name, m); }
    void positionReleased(ElementPosition&, int) override { ++released; }
    // Splits the text at the position: the tail becomes a new run after this one.
    Element* splitAt(ElementPosition& position) override;
    bool command(int code, const char*, std::intptr_t) override {
        commands.push_back(code);
        return acceptCommands;
    }

    std::string text;
    int caretOffset = -1;
    int released = 0;
    bool acceptCommands = false;
    std::vector<int> commands;

private:
    Element* parent_ = nullptr;
    bool input_;
};

class FakePlaceholder : public BlockElement {
public:
    Element* cloneElement() const override { return new FakePlaceholder; }
    int elementKind() const override { return KIND_PLACEHOLDER; }
    void locatePosition(TextPosition& p) override { p.rect = {0, 0, 2, 12}; }
};

// The name of a fake element, "?" for others.
std::string nameOf(const Element* e);

// A small document:
//   root (section)
//     g1 (group)            p1 [t1 "hello", t2 "ab"]     p2 [i1 input "x=1"]
//     s2 (section)
//       g2 (group)          p3 [t3 "abc"]
//     g3 (group)            p4 [t4 "end"]
struct SmallTree {
    SmallTree();
    ~SmallTree();
    FakeDocument doc;
    FakeSection* root;
    FakeGroup *g1, *g2, *g3;
    FakeSection* s2;
    FakeParagraph *p1, *p2, *p3, *p4;
    FakeText *t1, *t2, *i1, *t3, *t4;
    // Lays the whole tree out against the fake view.
    void layout();
};

}  // namespace fakes
