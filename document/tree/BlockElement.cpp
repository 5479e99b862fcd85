// BlockElement: parent link, extent, join with a sibling and the block line's selection marks.
#include "document/tree/BlockElement.h"

#include "document/tree/Selection.h"

int BlockElement::depth() const {
    int n = 0;
    for (Element* p = parent_; p; p = p->parent()) ++n;
    return n;
}

void BlockElement::bounds(ElementRect& out) const {
    ElementPoint o = absoluteOrigin();
    out = {o.x, o.y, width, height};
}

Element* BlockElement::joinWithSibling(int direction) {
    Element* p = parent_;
    if (!p) return this;
    Element* sibling = direction == 2 ? p->nextChild(this) : p->previousChild(this);
    if (!sibling || sibling->elementKind() != elementKind()) return this;
    Element* first = direction == 2 ? static_cast<Element*>(this) : sibling;
    Element* second = direction == 2 ? sibling : static_cast<Element*>(this);
    // The second part may be this element: its deletion waits until this operation returned.
    ElementOperationScope scope;
    ElementDocument* doc = document();
    if (doc) doc->holdLayout();
    second->moveChildrenTo(0, second->childCount(), first, nullptr, kInsertAfter);
    p->removeChild(second);
    if (doc) doc->releaseLayout();
    return first;
}

void BlockElement::selectionMarkChanged(int) {
    if (mark != 1) return;
    ElementWindow* window = worksheetWindow();
    DocumentView* view = activeView();
    if (!window) return;
    ElementRect r;
    bounds(r);
    if (view) r.width = 2 * view->availableWidth();
    window->invert(r);
}

int BlockElement::markFromSelection(Selection& selection) {
    if (enclosingCollapsedSection()) return 0;
    ElementRect r;
    bounds(r);
    return selection.classifyRect(r);
}
