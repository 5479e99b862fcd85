// The element kind of caret positions: half-step offsets over the children.
#include "document/tree/ElementCaret.h"

#include <algorithm>

#include "document/tree/Element.h"

namespace {

int childrenOf(const Element* element) { return element ? std::max(0, element->childCount()) : 0; }

}  // namespace

// ---- ElementCaretOffset --------------------------------------------------------------------------

void ElementCaretOffset::setStart(const Element*) { value_ = 0; }

void ElementCaretOffset::setEnd(const Element* element) { value_ = 2 * childrenOf(element); }

void ElementCaretOffset::setMiddle(const Element* element) { value_ = childrenOf(element); }

void ElementCaretOffset::setOffset(const Element*, int) { value_ = 0; }

int ElementCaretOffset::offset(const Element*) const { return 0; }

void ElementCaretOffset::setChildSide(const Element*, int index, int side) { value_ = 2 * index + side; }

int ElementCaretOffset::childIndex(const Element* element, bool flag) const {
    if (isAtEnd(element)) return childrenOf(element) - 1;
    if (value_ == 0) return 0;
    int index = value_ / 2;
    if (value_ % 2 == 0 && !flag) --index;
    return index;
}

bool ElementCaretOffset::isAtEnd(const Element* element) const { return value_ == 2 * childrenOf(element); }

bool ElementCaretOffset::isInside(const Element* element) const { return value_ != 0 && !isAtEnd(element); }

bool ElementCaretOffset::isValid(const Element* element) const {
    return value_ >= 0 && value_ <= 2 * childrenOf(element);
}

bool ElementCaretOffset::stepForward(const Element* element) {
    int end = 2 * childrenOf(element);
    if (value_ >= end) return false;
    int next = value_ + 1;
    if (next % 2 != 0) ++next;
    value_ = std::min(next, end);
    return true;
}

bool ElementCaretOffset::stepBackward(const Element*) {
    if (value_ <= 0) return false;
    int previous = value_ - 1;
    if (previous % 2 != 0) --previous;
    value_ = std::max(previous, 0);
    return true;
}

// ---- ElementCaret --------------------------------------------------------------------------------

bool ElementCaret::caretStop(CaretHandle& handle) {
    Element* e = element();
    if (!e || e->childCount() <= 0) return false;
    bool atEnd = isAtEnd();
    Element* c = atEnd ? e->lastChild() : e->childAt(childIndex(true));
    while (c && !c->isInline()) c = atEnd ? c->lastChild() : c->firstChild();
    if (!c) return false;
    CaretHandle fresh;
    SingleCaret* stop = makeSingle(c, fresh, false);
    if (!stop) return false;
    if (atEnd) stop->toEnd();
    handle = fresh;
    return true;
}

bool ElementCaret::deleteAtCaret() { return deleteStructural(*this); }

namespace {

// The other position goes to its element's place in the parent when the element that was
// edited has no children left.
void adjustStructural(CaretPosition& self, CaretHandle& handle) {
    Element* e = self.element();
    if (!e) return;
    CaretHandle keep = handle;
    SingleCaret* other = keep.single();
    if (!other || !other->isValid() || !self.covers(*other)) return;
    if (e->childCount() <= 0) other->toParent(handle);
}

}  // namespace

void ElementCaret::adjustForDelete(CaretHandle& handle) { adjustStructural(*this, handle); }

bool ElementCaret::split() {
    Element* e = element();
    if (!e) return false;
    Element* second = e->splitAtCaret(*this);
    return second && second != e;
}

bool ElementCaret::insertElement(Element* child) {
    Element* e = element();
    if (!e || !child) return false;
    if (isAtEnd()) return e->insertChild(child, e->lastChild(), kInsertAfter);
    return e->insertChild(child, e->childAt(childIndex(true)), kInsertBefore);
}

// ---- ElementCaretRange ---------------------------------------------------------------------------

bool ElementCaretRange::deleteRange() { return deleteStructural(*this); }

void ElementCaretRange::adjustForDelete(CaretHandle& handle) { adjustStructural(*this, handle); }
