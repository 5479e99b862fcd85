// Selection marks and navigation over the element tree.  Everything here goes through the
// virtual interface of Element, so it holds for every element class.
//
// Marks: 0 not, 1 wholly, 2 partly selected.  Notifications (selectionMarkChanged) go only to
// elements that are the top of their mark, so a wholly marked subtree is highlighted once, at
// its top.  The root is never wholly marked by a selection inside it: it gets 2.
#include <vector>

#include "document/tree/Element.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/Selection.h"

// ---- marks -----------------------------------------------------------------------------------

void Element::markSubtree(int value) {
    int n = childCount();
    if (value == 1) {
        mark = 1;
        if (isTopOfMark()) selectionMarkChanged(1);
        for (int i = 0; i < n; ++i)
            if (Element* c = childAt(i)) c->markSubtree(1);
        return;
    }
    for (int i = 0; i < n; ++i) {
        Element* c = childAt(i);
        if (c && c->mark != 0) c->markSubtree(value);
    }
    int old = mark;
    if (old != 0 && isTopOfMark()) selectionMarkChanged(old);
    mark = 0;
}

void Element::clearChildMarks() {
    if (mark == 0) return;
    for (int i = 0, n = childCount(); i < n; ++i) {
        Element* c = childAt(i);
        if (c && c->mark != 0) c->markSubtree(0);
    }
    mark = 0;
}

void Element::setAncestorsMark(int value) {
    for (Element* p = parent(); p; p = p->parent()) p->mark = value;
}

void Element::markFromSelectionTree(Selection& selection) {
    int cls = markFromSelection(selection);
    mark = cls == 1 ? (parent() ? 1 : 2) : cls == 2 ? 2 : 0;
    if (mark != 0 && isTopOfMark()) selectionMarkChanged(mark);
    int n = childCount();
    if (mark == 1) {
        for (int i = 0; i < n; ++i)
            if (Element* c = childAt(i)) c->markSubtree(1);
        return;
    }
    // An element wholly above or below the selection holds no selected child: its children
    // lie inside its own rectangle.
    if (mark == 0 || n <= 0) return;
    bool allWhole = true;
    bool anyMarked = false;
    for (int i = 0; i < n; ++i) {
        Element* c = childAt(i);
        if (!c) continue;
        c->markFromSelectionTree(selection);
        if (c->mark != 1) allWhole = false;
        if (c->mark != 0) anyMarked = true;
    }
    if (allWhole && anyMarked && parent() && elementKind() != KIND_PARAGRAPH) {
        for (int i = 0; i < n; ++i)
            if (Element* c = childAt(i)) c->selectionMarkChanged(mark);
        markSubtree(1);
        return;
    }
    if (!anyMarked) mark = 0;
}

void Element::updateAncestorMarks() {
    Element* c = this;
    for (Element* q = parent(); q; c = q, q = q->parent()) {
        int n = q->childCount();
        if (c->mark != 1) {
            bool wasWhole = q->mark == 1;
            if (wasWhole && q->isTopOfMark()) q->selectionMarkChanged(0);
            bool any = false;
            for (int i = 0; i < n && !any; ++i) {
                Element* k = q->childAt(i);
                any = k && k->mark != 0;
            }
            q->mark = any ? 2 : 0;
            if (wasWhole && q->mark == 2) {
                for (int i = 0; i < n; ++i)
                    if (Element* k = q->childAt(i)) k->selectionMarkChanged(2);
            } else if (c->childCount() < 0) {
                c->selectionMarkChanged(0);
            }
        } else if (q->mark != 1) {
            bool all = true;
            for (int i = 0; i < n && all; ++i) {
                Element* k = q->childAt(i);
                all = !k || k->mark == 1;
            }
            if (all) {
                q->mark = 1;
                for (int i = 0; i < n; ++i) {
                    Element* k = q->childAt(i);
                    if (k && k != c) k->selectionMarkChanged(0);
                }
            } else {
                q->mark = 2;
                c->selectionMarkChanged(1);
                q->setAncestorsMark(2);
                return;
            }
        }
    }
}

bool Element::commandToMarked(int code, const char* text, std::intptr_t argument) {
    // Commands may remove marked elements; their deletion waits until this returns.
    ElementOperationScope scope;
    std::vector<Element*> marked;
    for (int i = 0, n = childCount(); i < n; ++i) {
        Element* c = childAt(i);
        if (c && c->mark != 0) marked.push_back(c);
    }
    bool handled = false;
    for (Element* c : marked) {
        if (c->command(code, text, argument)) {
            handled = true;
        } else if (!c->isInline() && c->childCount() >= 0) {
            handled = c->commandToMarked(code, text, argument) || handled;
        }
    }
    return handled;
}

// ---- navigation ------------------------------------------------------------------------------

Element* Element::findDescendant(int start, Predicate predicate) const {
    int n = childCount();
    for (int i = start < 0 ? 0 : start; i < n; ++i) {
        Element* c = childAt(i);
        if (!c) continue;
        if (predicate(c)) return c;
        if (c->childCount() > 0)
            if (Element* hit = c->findDescendant(0, predicate)) return hit;
    }
    return nullptr;
}

Element* Element::findDescendantBackward(int start, Predicate predicate) const {
    int n = childCount();
    for (int i = start >= n ? n - 1 : start; i >= 0; --i) {
        Element* c = childAt(i);
        if (!c) continue;
        if (predicate(c)) return c;
        if (int m = c->childCount(); m > 0)
            if (Element* hit = c->findDescendantBackward(m - 1, predicate)) return hit;
    }
    return nullptr;
}

namespace {

bool isInlinePredicate(const Element* e) { return e->isInline(); }
bool isActiveInputPredicate(const Element* e) { return e->isActiveInput(); }

bool groupOrInputPredicate(const Element* e) {
    if (e->elementKind() != KIND_GROUP) return e->isActiveInput();
    for (int i = 0, n = e->childCount(); i < n; ++i) {
        Element* c = e->childAt(i);
        if (!c) continue;
        if (c->isActiveInput()) return true;
        for (int k = 0, m = c->childCount(); k < m; ++k) {
            Element* g = c->childAt(k);
            if (g && g->isActiveInput()) return true;
        }
    }
    return false;
}

Element* climbSearch(const Element* from, bool backward, Element::Predicate predicate) {
    const Element* c = from;
    for (Element* p = from->parent(); p; c = p, p = p->parent()) {
        int index = p->indexOfChild(c);
        Element* hit = backward ? p->findDescendantBackward(index - 1, predicate)
                                : p->findDescendant(index + 1, predicate);
        if (hit) return hit;
    }
    return nullptr;
}

}  // namespace

Element* Element::firstCaretStop() const { return findDescendant(0, isInlinePredicate); }

Element* Element::nextCaretStop(bool backward) const { return climbSearch(this, backward, isInlinePredicate); }

Element* Element::nextActiveInput(bool backward) const {
    return climbSearch(this, backward, isActiveInputPredicate);
}

Element* Element::nextInputRegion() const {
    Element* match = climbSearch(this, false, groupOrInputPredicate);
    if (!match || match->elementKind() != KIND_GROUP) return match;
    for (int i = match->childCount() - 1; i >= 0; --i) {
        Element* c = match->childAt(i);
        if (!c) continue;
        if (c->isActiveInput()) return c;
        for (int k = c->childCount() - 1; k >= 0; --k) {
            Element* g = c->childAt(k);
            if (g && g->isActiveInput()) return g;
        }
    }
    return match;
}

Element* Element::splitAtCaretUpTo(TextPosition& caret, int kind) {
    Element* e = caret.element();
    if (!e || !contains(e)) return nullptr;
    ElementOperationScope scope;
    ElementDocument* doc = document();
    if (doc) doc->holdLayout();
    Element* answer = nullptr;
    Element* part = e->splitAt(caret);
    if (part) {
        caret.setPosition(part, 0);
        answer = part;
    } else {
        // Nothing split at the caret: the first later sibling on the way up is the part.
        for (Element* c = e; c && c != this; c = c->parent()) {
            Element* p = c->parent();
            Element* next = p ? p->nextChild(c) : nullptr;
            if (next) {
                part = next;
                answer = c;
                break;
            }
        }
    }
    Element* myParent = parent();
    while (part && part->parent() != myParent && part->elementKind() != kind) {
        Element* p = part->parent();
        if (!p) break;
        Element* second = p->splitAtChild(part);
        if (!second || second == p) break;   // this level does not split: stop climbing
        part = second;
        answer = second;
    }
    if (doc) doc->releaseLayout();
    return answer;
}
