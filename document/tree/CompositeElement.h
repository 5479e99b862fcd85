#pragma once
// CompositeElement: a block element with an ordered list of children and per-child geometry.
//
// Child slots: an array of pointers to heap slots of five words {child (owned), x, y, width,
// height}; x, y are the child's offset inside this element, width, height its extent.  The
// array grows by SLOT_GROWTH entries when full (the old one is freed).  Lookup by index is
// constant time; indexOfChild is linear.
//
// Invariants:
//   1. slots_[0..count_-1] are non-null and each child's parent() is this element.
//   2. After stackChildren, slot i's y is the sum of the heights before it and every x is
//      `indent`.
//   3. A child of kind 24 (the placeholder) is never removed.
//   4. A child is deleted only through destroyElement, so that a removal inside a walk or
//      inside the composite's own operation (an emptied group removing itself) waits until
//      that operation has returned.
//
// Undo recording: insertChild, removeSlot (every removal) and replaceChild record their
// change through an edit bracket (EditBracket.h) when the document's history has a group open.

#include "document/tree/BlockElement.h"

struct ChildSlot {
    Element* child = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class CompositeElement : public BlockElement {
public:
    static constexpr int SLOT_GROWTH = 16;

    CompositeElement() = default;
    // Copies the geometry fields only; subclasses copy their children with copyChildrenTo.
    CompositeElement(const CompositeElement& other);
    ~CompositeElement() override;

    void writeElement(WalkControl& control) override;
    int childCount() const override { return count_; }
    Element* firstChild() const override { return count_ > 0 ? slots_[0]->child : nullptr; }
    Element* lastChild() const override { return count_ > 0 ? slots_[count_ - 1]->child : nullptr; }
    Element* nextChild(const Element* child) const override;
    Element* childAfterIndex(int index) const override;
    Element* previousChild(const Element* child) const override;
    Element* childBeforeIndex(int index) const override;
    Element* childAt(int index) const override;
    int indexOfChild(const Element* child) const override;
    Element* extractSoleDescendant() override;
    bool removeChildAt(int index) override;
    // Mode 2 inserts after the reference, any other mode before it; without a reference the
    // child is appended.  A reference that is not a child, a null child, this element or one
    // of its ancestors, and a child that has a parent already, are refused (false).
    bool insertChild(Element* child, Element* reference, int mode) override;
    void removeChild(Element* child) override;
    bool replaceChild(Element* oldChild, Element* newChild) override;
    int childOffset(const Element* child, ElementPoint& out) const override;
    Element* elementAtPoint(int x, int y, ElementPoint& origin) override;
    void locatePosition(TextPosition& position) override;
    bool movePosition(TextPosition& position, int code, Element* child, int index) override;
    void layout(ElementExtent& area) override;
    ParagraphLine* lineAtPosition(TextPosition& position) override;
    bool mouseDown(const ElementMouseEvent& event) override;

    void draw(int x, int y, const ElementRect& clip) override;
    void measure(ElementExtent& out, int width) override;
    void positionAtPoint(TextPosition& position, int x, int y) override;
    int availableWidth() const override { return availableWidth_; }
    void computeIndent() override { indent_ = 0; }
    void deleteAllChildren() override;
    void childResized(Element* child, int x, int y, int width, int height) override;
    void showChild(Element* child, ElementRect rect) override;
    int moveAllChildrenTo(Element* target, Element* reference) override;
    void stackChildren() override;

    // Takes the slot out; with `destroy` the child is deleted (through destroyElement).
    void removeSlot(int index, bool destroy);
    // The slot under a point, and the point made relative to it (clamped into the slot).
    int childSlotAtPoint(int x, int y, ElementPoint& relative) const;

    const ChildSlot* slot(int index) const {
        return index >= 0 && index < count_ ? slots_[index] : nullptr;
    }
    int capacity() const { return capacity_; }
    int indent() const { return indent_; }

protected:
    // Draw hook after the children (the container's bracket).
    void setIndent(int indent) { indent_ = indent; }
    // Reports a new size to the parent or, at the root, to the view.
    void reportSizeChange(int oldWidth, int oldHeight);

private:
    bool layoutLive();   // the document has a view and layout is not held
    void growSlots();

    ChildSlot** slots_ = nullptr;
    int capacity_ = 0;
    int count_ = 0;
    int indent_ = 0;
    int availableWidth_ = 0;
    mutable int lastIndex_ = 0;   // the last answer of indexOfChild (a hint only)
};
