// InlineElement: parent link and the stand-in layout of paragraph-level elements.
#include "document/elements/InlineElement.h"

#include <algorithm>

#include "document/tree/ElementPosition.h"
#include "document/tree/ViewCaret.h"

namespace {
constexpr int kRunCharWidth = 7;    // stand-in metrics, pixels
constexpr int kRunLineHeight = 12;
}

void InlineElement::locatePosition(TextPosition& position) {
    ElementPoint origin = absoluteOrigin();
    int offset = std::max(0, position.offset());
    position.rect = {origin.x + kRunCharWidth * offset, origin.y, 1, kRunLineHeight};
    position.ownCaret = false;
    position.valid = true;
}

void InlineElement::layout(ElementExtent& area) {
    area = {std::max(kRunCharWidth, kRunCharWidth * displayLength()), kRunLineHeight};
    flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
}

void InlineElement::setCaretOffset(int offset) {
    if (ViewCaret* caret = activeCaret()) caret->setPosition(this, offset);
}
