#pragma once
// The element kind of caret positions (kind 1), made by the element base for sections,
// execution groups, paragraphs and every element that does not make its own: the offset
// counts half steps between and on the element's children.
//
// | offset | meaning                       |
// |--------|-------------------------------|
// | 2i     | the gap before child i        |
// | 2i + 1 | on child i                    |
// | 2n     | the end (n children)          |
//
// Editing: a position in an element without children deletes the element; in a section with
// children it gives the section its heading paragraph and does nothing else (that part lives
// beside the section class, in document/elements/ElementCaret_sections.cpp).  Splitting asks the
// element to split itself at the caret; inserting puts an element into the gap.

#include "document/tree/CaretPosition.h"

class ElementCaretOffset : public CaretOffset {
public:
    int offsetKind() const override { return 1; }
    void setStart(const Element* element) override;
    void setEnd(const Element* element) override;
    void setMiddle(const Element* element) override;
    // The element kind keeps no free offset: setOffset stores 0 and offset answers 0.
    void setOffset(const Element* element, int value) override;
    int offset(const Element* element) const override;
    // 2 x index + side (0 before child index, 1 on it, 2 after it).
    void setChildSide(const Element* element, int index, int side) override;
    // At the end the last child, at the start child 0, otherwise the child the offset is on
    // or, in a gap, the child before it (flag false) or after it (flag true).
    int childIndex(const Element* element, bool flag) const override;
    bool isAtEnd(const Element* element) const override;
    bool isInside(const Element* element) const override;
    bool isValid(const Element* element) const override;
    // To the next (previous) gap, never past the end (before the start).
    bool stepForward(const Element* element) override;
    bool stepBackward(const Element* element) override;
};

class ElementCaret : public SingleCaret {
public:
    ElementCaret(Element* element, bool byPath) : SingleCaret(element, byPath) {}
    int positionKind() const override { return 1; }
    bool isStructural() const override { return true; }
    CaretOffset& offsetObject() override { return offset_; }
    const CaretOffset& offsetObject() const override { return offset_; }
    // Descends from the child at the caret through elements that do not take the caret
    // (their last child at the end, their first otherwise) to one that does; false when the
    // element or a descent meets no child.
    bool caretStop(CaretHandle& handle) override;
    bool deleteAtCaret() override;
    // Another position in this element or below it goes to this element's place in its
    // parent when this element has no children left.
    void adjustForDelete(CaretHandle& handle) override;
    bool split() override;
    // Into the gap: after the last child at the end, else before the child after the gap.
    bool insertElement(Element* element) override;

private:
    ElementCaretOffset offset_;
};

class ElementCaretRange : public CaretRange {
public:
    ElementCaretRange(Element* element, bool byPath) : CaretRange(element, byPath) {}
    int positionKind() const override { return 1; }
    bool isStructural() const override { return true; }
    CaretOffset& start() override { return start_; }
    const CaretOffset& start() const override { return start_; }
    CaretOffset& end() override { return end_; }
    const CaretOffset& end() const override { return end_; }
    bool deleteRange() override;
    void adjustForDelete(CaretHandle& handle) override;

private:
    ElementCaretOffset start_;
    ElementCaretOffset end_;
};

// Shared by the single position and the range of the element kind: the element goes when it
// has no children; a section with children gets its heading.  True when something changed.
bool deleteStructural(CaretPosition& position);
