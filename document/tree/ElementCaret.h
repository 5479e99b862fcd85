#pragma once
// Caret objects that capture a place in the tree beyond one edit: ElementCaret (one
// sub-position) and ElementCaretRange (a start and an end given as (child index, side)), and
// CaretHolder, the shared slot that holds one of them with a reference count.
//
// Sides of a place value: 0 before the child, 1 inside it, 2 after it.  The element classes of
// the inline line keep richer carets of their own; these are what the block line uses.
//
// Ownership: a CaretRecord owns its caret object; holders share records through shared_ptr, so
// the record and its caret go when the last holder lets go.

#include <memory>

#include "document/tree/ElementPosition.h"

class Element;

class ElementCaret {
public:
    ElementCaret(Element* element, int offset);
    virtual ~ElementCaret() = default;
    ElementCaret(const ElementCaret&) = delete;
    ElementCaret& operator=(const ElementCaret&) = delete;

    // Placement: answers 1 when the caret stands on an element, else 0.
    virtual int place(int argument);
    ElementPosition& subPosition() { return sub_; }
    bool isViewCaret = false;

protected:
    ElementPosition sub_;
};

struct CaretPlace {
    int index = 0;
    int side = 0;   // 0 before, 1 inside, 2 after
    bool operator==(const CaretPlace&) const = default;
};

class ElementCaretRange : public ElementCaret {
public:
    ElementCaretRange(Element* element, int offset) : ElementCaret(element, offset) {}
    static CaretPlace makePlace(int index, int side) { return {index, side}; }
    void setStart(CaretPlace place) { start_ = place; }
    void setEnd(CaretPlace place) { end_ = place; }
    CaretPlace start() const { return start_; }
    CaretPlace end() const { return end_; }
    // Covers the whole element: before its first child to after its last.
    void finishWhole();
    bool whole() const { return whole_; }
    // The two questions of the base splitAtCaret: the range is empty; the range covers the
    // whole element.
    bool isEmptyRange() const { return !whole_ && start_ == end_; }
    bool coversWhole() const { return whole_; }

private:
    CaretPlace start_;
    CaretPlace end_;
    bool whole_ = false;
};

struct CaretRecord {
    std::unique_ptr<ElementCaret> caret;   // none for an empty record
};

struct CaretHolder {
    std::shared_ptr<CaretRecord> record;
    ElementCaret* caret() const { return record ? record->caret.get() : nullptr; }
    // The old record loses this reference; a new record with count 1 takes `caret`.
    void reset(std::unique_ptr<ElementCaret> caret) {
        record = std::make_shared<CaretRecord>();
        record->caret = std::move(caret);
    }
};
