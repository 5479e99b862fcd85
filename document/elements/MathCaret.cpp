// The math kind of caret positions.
#include "document/elements/MathCaret.h"

#include "document/elements/MathElement.h"

void MathCaretOffset::setOffset(const Element* element, int value) {
    if (value < 0) {
        value_ = 2;
        return;
    }
    auto* math = dynamic_cast<const MathElement*>(element);
    value_ = math && math->offsetInSecondHalf(value) ? 2 : 0;
}

// ---- creation ------------------------------------------------------------------------------------

void MathElement::createCaretPosition(CaretHandle& handle, bool byPath) {
    auto* caret = new MathCaret(this, byPath);
    handle.put(caret);
    caret->toStart();
}

void MathElement::createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath) {
    if (markedOnly && mark == 0) {
        handle.put(nullptr);
        return;
    }
    auto* range = new MathCaretRange(this, byPath);
    handle.put(range);
    range->selectAll();
    if (markedOnly && mark == 2) range->end().setStart(this);
}
