// The inline kind of caret positions: before, on or after the element as a whole.
#include "document/elements/InlineCaret.h"

#include "document/elements/InlineElement.h"
#include "document/elements/TextCaret.h"
#include "document/elements/TextElement.h"
#include "document/tree/Element.h"

bool ThreePlaceOffset::stepForward(const Element*) {
    if (value_ >= 2) return false;
    ++value_;
    return true;
}

bool ThreePlaceOffset::stepBackward(const Element*) {
    if (value_ <= 0) return false;
    --value_;
    return true;
}

void InlineCaretOffset::setOffset(const Element*, int value) {
    if (value >= 0 && value <= 2) value_ = value;
}

namespace whole_element_editing {

bool deleteAtCaret(CaretPosition& position) { return position.deleteElement(); }

bool deleteRange(CaretRange& range) { return range.isWhole() && range.deleteElement(); }

void adjustForDelete(CaretPosition& position, CaretHandle& handle) { position.moveOutOfElement(handle); }

}  // namespace whole_element_editing

// ---- creation ------------------------------------------------------------------------------------
// The inline elements' creation operations live here with their family; text runs make the
// text family.

void InlineElement::createCaretPosition(CaretHandle& handle, bool byPath) {
    SingleCaret* caret = nullptr;
    if (dynamic_cast<TextElement*>(this)) caret = new TextCaret(this, byPath);
    else caret = new InlineCaret(this, byPath);
    handle.put(caret);
    caret->toStart();
}

void InlineElement::createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath) {
    if (markedOnly && mark == 0) {
        handle.put(nullptr);
        return;
    }
    CaretRange* range = nullptr;
    if (dynamic_cast<TextElement*>(this)) range = new TextCaretRange(this, byPath);
    else range = new InlineCaretRange(this, byPath);
    handle.put(range);
    range->selectAll();
}
