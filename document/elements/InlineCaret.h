#pragma once
// The inline kind of caret positions (kind 2), made by the inline-element base for buttons,
// pictures, OLE objects, plots, spreadsheets and every inline element that does not make its
// own: the offset is 0 before, 1 on and 2 after the element as a whole.
//
// Editing: a position deletes the whole element; a range deletes it only when it covers it;
// other positions inside move out of the element; nothing is split or inserted.  The math kind
// (MathCaret.h) edits the same way.

#include "document/tree/CaretPosition.h"

// Offsets 0, 1, 2 with start 0, middle 1 and end 2; shared with the math kind.
class ThreePlaceOffset : public CaretOffset {
public:
    void setStart(const Element*) override { value_ = 0; }
    void setEnd(const Element*) override { value_ = 2; }
    void setMiddle(const Element*) override { value_ = 1; }
    bool isAtEnd(const Element*) const override { return value_ == 2; }
    bool isInside(const Element*) const override { return value_ == 1; }
    bool stepForward(const Element*) override;
    bool stepBackward(const Element*) override;
};

class InlineCaretOffset : public ThreePlaceOffset {
public:
    int offsetKind() const override { return 2; }
    // 0, 1 or 2; any other value leaves the offset as it was.
    void setOffset(const Element* element, int value) override;
    int offset(const Element*) const override { return value_; }
};

// The editing shared by the inline and the math kinds, for a single position or a range.
namespace whole_element_editing {
bool deleteAtCaret(CaretPosition& position);
bool deleteRange(CaretRange& range);
void adjustForDelete(CaretPosition& position, CaretHandle& handle);
}  // namespace whole_element_editing

class InlineCaret : public SingleCaret {
public:
    InlineCaret(Element* element, bool byPath) : SingleCaret(element, byPath) {}
    int positionKind() const override { return 2; }
    CaretOffset& offsetObject() override { return offset_; }
    const CaretOffset& offsetObject() const override { return offset_; }
    bool deleteAtCaret() override { return whole_element_editing::deleteAtCaret(*this); }
    void adjustForDelete(CaretHandle& handle) override { whole_element_editing::adjustForDelete(*this, handle); }
    // Nothing to split inside the element: true, and nothing changes.
    bool split() override { return element() != nullptr; }

private:
    InlineCaretOffset offset_;
};

class InlineCaretRange : public CaretRange {
public:
    InlineCaretRange(Element* element, bool byPath) : CaretRange(element, byPath) {}
    int positionKind() const override { return 2; }
    CaretOffset& start() override { return start_; }
    const CaretOffset& start() const override { return start_; }
    CaretOffset& end() override { return end_; }
    const CaretOffset& end() const override { return end_; }
    bool deleteRange() override { return whole_element_editing::deleteRange(*this); }
    void adjustForDelete(CaretHandle& handle) override { whole_element_editing::adjustForDelete(*this, handle); }

private:
    InlineCaretOffset start_;
    InlineCaretOffset end_;
};
