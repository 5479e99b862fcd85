// The text kind of caret positions: byte offsets on character boundaries, clamped to the text.
#include "document/elements/TextCaret.h"

#include <algorithm>

#include "document/elements/TextElement.h"
#include "platform/os/mbtext.h"

namespace {

const TextElement* runOf(const Element* element) { return dynamic_cast<const TextElement*>(element); }

int lengthOf(const Element* element) {
    const TextElement* r = runOf(element);
    return r ? r->textLength() : 0;
}

// The value clamped to the run's text and moved back to the start of its character.
int clampToText(const Element* element, int value) {
    const TextElement* r = runOf(element);
    if (!r) return 0;
    int length = r->textLength();
    return mb_align(r->text(), std::clamp(value, 0, length), length, true);
}

// The other position of the handle when it is a valid text position in the element.
SingleCaret* textPositionIn(const CaretPosition& self, const CaretHandle& handle) {
    SingleCaret* other = handle.single();
    if (!other || !other->isValid() || !self.covers(*other) || other->positionKind() != 3) return nullptr;
    return other;
}

}  // namespace

// ---- TextCaretOffset -----------------------------------------------------------------------------

void TextCaretOffset::setEnd(const Element* element) { value_ = lengthOf(element); }

void TextCaretOffset::setMiddle(const Element* element) { value_ = clampToText(element, lengthOf(element) / 2); }

int TextCaretOffset::offset(const Element* element) const { return clampToText(element, value_); }

bool TextCaretOffset::isAtEnd(const Element* element) const { return offset(element) == lengthOf(element); }

bool TextCaretOffset::isInside(const Element* element) const {
    int at = offset(element);
    return at != 0 && at != lengthOf(element);
}

bool TextCaretOffset::stepForward(const Element* element) {
    const TextElement* r = runOf(element);
    int at = offset(element);
    if (!r || at >= r->textLength()) return false;
    value_ = mb_next(r->text(), at);
    return true;
}

bool TextCaretOffset::stepBackward(const Element* element) {
    const TextElement* r = runOf(element);
    int at = offset(element);
    if (!r || at <= 0) return false;
    value_ = std::max(0, mb_prev(r->text(), at));
    return true;
}

// ---- TextCaret -----------------------------------------------------------------------------------

TextElement* TextCaret::run() const { return dynamic_cast<TextElement*>(element()); }

bool TextCaret::deleteAtCaret() {
    TextElement* r = run();
    if (!r) return false;
    if (r->textLength() == 0) return deleteElement();
    int at = offset();
    setOffset(at);   // the run is handed an offset inside its text
    deletedBytes_ = at < r->textLength() ? mb_char_length(r->text(), at) : 0;
    r->deleteAtPosition(*this);
    return true;
}

void TextCaret::adjustForDelete(CaretHandle& handle) {
    TextElement* r = run();
    if (!r) return;
    CaretHandle keep = handle;
    SingleCaret* other = textPositionIn(*this, keep);
    if (!other) return;
    if (offset() == 0 && r->textLength() == 0) {
        moveOutOfElement(handle);
        return;
    }
    int mine = offsetObject().raw();
    int theirs = other->offsetObject().raw();
    if (theirs > mine) other->setOffset(std::max(mine, theirs - deletedBytes_));
    SingleCaret::snapToPreviousStop(handle);
}

bool TextCaret::split() {
    TextElement* r = run();
    if (!r) return false;
    if (isAtStart() || isAtEnd()) return true;
    setOffset(offset());
    Element* second = r->splitAtCaret(*this);
    return second && second != r;
}

bool TextCaret::insertText(const char* text) {
    TextElement* r = run();
    if (!r || !text) return false;
    int at = offset();
    setOffset(at);
    r->insertTextAt(text, at);
    ElementExtent area;
    r->layout(area);
    return true;
}

void TextCaret::adjustForInsert(CaretHandle& handle, int length) {
    if (!run()) return;
    CaretHandle keep = handle;
    SingleCaret* other = textPositionIn(*this, keep);
    if (!other) return;
    int mine = offsetObject().raw();
    int theirs = other->offsetObject().raw();
    if (theirs >= mine) other->setOffset(theirs + length);
}

// ---- TextCaretRange ------------------------------------------------------------------------------

TextElement* TextCaretRange::run() const { return dynamic_cast<TextElement*>(element()); }

bool TextCaretRange::deleteRange() {
    TextElement* r = run();
    if (!r) return false;
    deleted_ = true;
    deletedWhole_ = isWhole();
    if (deletedWhole_) return deleteElement();
    int from = startOffset();
    int to = endOffset();
    if (from > to) std::swap(from, to);
    start().setOffset(r, from);
    end().setOffset(r, to);
    r->deleteRange(*this);
    return true;
}

void TextCaretRange::adjustForDelete(CaretHandle& handle) {
    if (!run()) return;
    CaretHandle keep = handle;
    SingleCaret* other = textPositionIn(*this, keep);
    if (!other) return;
    if (deleted_ ? deletedWhole_ : isWhole()) {
        moveOutOfElement(handle);
        return;
    }
    int from = start().raw();
    int to = end().raw();
    if (from > to) std::swap(from, to);
    int theirs = other->offsetObject().raw();
    if (theirs >= from && theirs <= to) other->setOffset(from);
    else if (theirs > to) other->setOffset(theirs - (to - from));
    SingleCaret::snapToPreviousStop(handle);
}
