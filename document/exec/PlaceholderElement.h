#pragma once
// PlaceholderElement (kind 24): the element that stands last in the root of a new worksheet (and
// of a loaded one whose root is left empty), so that the caret always has somewhere to stand.
// It has no size, draws nothing, writes no record and refuses removal (CompositeElement never
// takes out a kind-24 child).
//
// When the user acts on it (Enter, typing, inserting a section) or the window's idle action
// reaches it in an empty worksheet, it makes the real content in front of itself, an execution
// group or a section, hands the caret to it and stays behind as the last caret stop.
//
// Caret and position code that asks an element for its line always gets one: the placeholder
// embeds a line of its own (PlaceholderLine) whose rectangle is the placeholder's and which
// holds no pieces.

#include "document/tree/BlockElement.h"
#include "document/tree/ParagraphLine.h"

class PlaceholderElement;

// The placeholder's line: no pieces, the placeholder's own (empty) rectangle, -1 for the last
// child, the baseline and the height.
class PlaceholderLine : public ParagraphLine {
public:
    explicit PlaceholderLine(PlaceholderElement* owner) : ParagraphLine(nullptr), owner(owner) {}
    bool hitTest(TextPosition&, int, int) override { return false; }
    void draw(int, int, const ElementRect&) override {}
    int addPiece(int, const ExtentRecord&, int) override { return -1; }
    void pieceOffset(int, ElementPoint&) const override {}
    void pieceRect(int, ElementRect&) const override {}
    void computeMetrics() override {}
    void align(int, int) override {}
    bool resizePiece(int, const ExtentRecord&, int& dy, bool, int) override {
        dy = 0;
        return false;
    }
    void lineRect(ElementRect& out) const override;
    int lastChildIndex() const override { return -1; }
    int baseline() const override { return -1; }
    int height() const override { return -1; }
    Element* childAtX(int, ElementPoint&) const override { return nullptr; }

    PlaceholderElement* owner;
};

class PlaceholderElement : public BlockElement {
public:
    // The editing actions it answers.
    enum Action : int {
        ACTION_ENTER = 0,
        ACTION_INSERT_SUBSECTION = 1,
        ACTION_INSERT_SECTION = 2,
        ACTION_TYPING = 9,
        ACTION_TYPING_TEXT = 10,
        ACTION_IDLE = 71,
    };
    // The context bar shown while the caret stands on the placeholder.
    static constexpr int CONTEXT_BAR = 8;

    PlaceholderElement() : line_(this) {}
    PlaceholderElement(const PlaceholderElement& other) : BlockElement(other), line_(this) {
        width = other.width;
        height = other.height;
    }

    Element* cloneElement() const override { return new PlaceholderElement(*this); }
    int elementKind() const override { return KIND_PLACEHOLDER; }
    bool isEmpty() const override { return true; }

    // Its absolute origin and its (empty) size.
    void measure(ElementExtent& out, int width) override;
    void positionAtPoint(TextPosition& position, int x, int y) override;
    // At the origin, 2 wide and as high as the active view's current font (0 without a view).
    void locatePosition(TextPosition& position) override;
    bool movePosition(TextPosition& position, int code, Element* child, int index) override;
    ParagraphLine* lineAtPosition(TextPosition& position) override;
    Element* elementAtPoint(int x, int y, ElementPoint& origin) override;
    void caretArrived() override;
    // Enter and typing make an execution group before the placeholder (typing is then
    // dispatched from the caret in its input); the section commands make a section; the idle
    // action makes a group only in an empty worksheet, without an undo step.
    bool command(int code, const char* text, std::intptr_t argument) override;

    // The depth of the section that holds the placeholder (0 in the root).
    int sectionDepth() const;

private:
    // A new execution group before the placeholder with the caret at the start of its input.
    Element* insertGroup(bool releaseHeldLayout);
    void insertSection(int code);

    PlaceholderLine line_;
};
