#pragma once
// The math kind of caret positions (kind 4), made by math elements: 0 before, 1 inside and 2
// after the typeset expression.  An element offset (as the window's caret keeps it: -1 after
// the whole expression, otherwise a place in the expression's text) maps onto the two ends:
// a negative value or one in the expression's second half is the end, anything else the
// start.  Editing is the inline kind's (InlineCaret.h).

#include "document/elements/InlineCaret.h"

class MathCaretOffset : public ThreePlaceOffset {
public:
    int offsetKind() const override { return 4; }
    void setOffset(const Element* element, int value) override;
    // -1 at the end, else 0.
    int offset(const Element*) const override { return value_ == 2 ? -1 : 0; }
};

class MathCaret : public SingleCaret {
public:
    MathCaret(Element* element, bool byPath) : SingleCaret(element, byPath) {}
    int positionKind() const override { return 4; }
    CaretOffset& offsetObject() override { return offset_; }
    const CaretOffset& offsetObject() const override { return offset_; }
    bool deleteAtCaret() override { return whole_element_editing::deleteAtCaret(*this); }
    void adjustForDelete(CaretHandle& handle) override { whole_element_editing::adjustForDelete(*this, handle); }
    bool split() override { return element() != nullptr; }

private:
    MathCaretOffset offset_;
};

class MathCaretRange : public CaretRange {
public:
    MathCaretRange(Element* element, bool byPath) : CaretRange(element, byPath) {}
    int positionKind() const override { return 4; }
    CaretOffset& start() override { return start_; }
    const CaretOffset& start() const override { return start_; }
    CaretOffset& end() override { return end_; }
    const CaretOffset& end() const override { return end_; }
    bool deleteRange() override { return whole_element_editing::deleteRange(*this); }
    void adjustForDelete(CaretHandle& handle) override { whole_element_editing::adjustForDelete(*this, handle); }

private:
    MathCaretOffset start_;
    MathCaretOffset end_;
};
