// Element: base answers of the virtual interface, the non-virtual tree queries and the
// per-kind tables.  The walk and deferred deletion are in ElementWalk.cpp, the marks and the
// navigation in ElementMarks.cpp.
#include "document/tree/Element.h"

#include <string>

#include "document/tree/BlockElement.h"
#include "document/tree/ElementCaret.h"
#include "document/tree/ElementPosition.h"
#include "document/records/KWorksheetWriter.h"
#include "document/tree/ViewCaret.h"
#include "document/styles/WorksheetTagTable.h"
#include "util/KString.h"

void elementDying(const Element* element);   // ElementWalk.cpp

namespace {
Menu* contextMenus[ELEMENT_KIND_COUNT] = {};
void (*contextMenuDeleter)(Menu*) = nullptr;
}  // namespace

// ---- ElementDocument defaults -------------------------------------------------------------

void ElementDocument::positionAtPoint(TextPosition& position, int x, int y) {
    auto* block = dynamic_cast<BlockElement*>(root());
    if (block) block->positionAtPoint(position, x, y);
}

void ElementDocument::beep() {
    if (ElementWindow* window = activeWindow()) window->beep();
}

// ---- construction ----------------------------------------------------------------------------

Element::Element() = default;

Element::Element(const Element&) : mark(0), flags(ELEMENT_NEEDS_LAYOUT), documentCache_(nullptr) {}

Element::~Element() {
    elementDying(this);
    ElementPosition::releasePositionsOn(this);
    if (documentCache_) documentCache_->forgetElement(this);
}

// ---- visitors ----------------------------------------------------------------------------------

void Element::writeRecordHead(WalkControl& control) {
    if (!control.writer) return;
    std::string tag;
    if (!worksheetTagTable.tagForKind(elementKind(), tag)) return;
    std::string head = "{" + tag + " ";
    control.writer->writeRawString(head);
}

void Element::writeRecordTail(WalkControl& control) {
    if (control.writer) control.writer->writeRaw("}");
}

void Element::commandVisitor(WalkControl& control) {
    if (command(control.code, control.text, control.argument)) control.handled = true;
}

void Element::detachFromViews(WalkControl&) {
    if (ElementDocument* doc = document()) doc->forgetElement(this);
}

void Element::findText(WalkControl& control) {
    if (control.searchStart == this) control.passedStart = true;
}

void Element::countKind(WalkControl& control) {
    int kind = elementKind();
    if (kind >= 0 && kind < ELEMENT_KIND_COUNT) ++control.counts[kind];
}

// ---- tree operations -------------------------------------------------------------------------

bool Element::placePositionAtEdge(ElementPosition& position, bool atStart) {
    int n = childCount();
    if (n < 1) {
        position.setPosition(this, 0);
        return true;
    }
    for (int k = 0; k < n; ++k) {
        int i = atStart ? k : n - 1 - k;
        Element* child = childAt(i);
        if (child && (mark == 1 || child->mark != 0)) return child->placePositionAtEdge(position, atStart);
    }
    Element* edge = atStart ? firstChild() : lastChild();
    if (!edge) {
        position.setPosition(this, 0);
        return true;
    }
    position.setPosition(edge, 0);
    if (!atStart) return position.moveToEnd();
    return atStart;
}

bool Element::isPositionSelected(const ElementPosition& position) const {
    return position.heldElement() == this && mark == 1;
}

int Element::moveChildrenTo(int from, int count, Element* target, Element* reference, int mode) {
    // A child that refuses removal (the placeholder) stays where it is and is stepped over;
    // it is never inserted into the target, so no child gets two parents.
    if (!target || count <= 0 || from < 0) return 0;
    ElementOperationScope scope;
    int moved = 0;
    int index = from;
    for (int k = 0; k < count; ++k) {
        Element* child = childAt(index);
        if (!child) break;
        if (!removeChildAt(indexOfChild(child))) {
            ++index;
            continue;
        }
        if (!target->insertChild(child, reference, moved == 0 ? mode : kInsertAfter)) {
            // The target refused it: give it back where it was, so nothing is lost.
            Element* back = childAt(index);
            if (!insertChild(child, back, kInsertBefore)) destroyElement(child);
            ++index;
            continue;
        }
        reference = child;
        ++moved;
    }
    return moved;
}

void Element::removeFromParent() {
    if (Element* p = parent()) {
        p->removeChild(this);
        return;
    }
    destroyElement(this);
}

bool Element::acceptsChild(const Element* element, bool& needsParagraph) const {
    needsParagraph = false;
    if (!element) return false;
    switch (elementKind()) {
    case KIND_SECTION:
        needsParagraph = element->isInline();
        return true;
    case KIND_PARAGRAPH:
        return element->isInline();
    case KIND_GROUP:
        if (element->elementKind() == KIND_PARAGRAPH) return true;
        if (element->isInline()) {
            needsParagraph = true;
            return true;
        }
        return false;
    default:
        return false;
    }
}

int Element::copyChildrenTo(Element* target) const {
    if (!target) return 0;
    int copied = 0;
    for (int i = 0, n = childCount(); i < n; ++i) {
        Element* child = childAt(i);
        if (!child) continue;
        Element* copy = child->cloneElement();
        if (!copy) continue;
        if (target->insertChild(copy, nullptr, kInsertAfter)) {
            ++copied;
        } else {
            delete copy;
        }
    }
    return copied;
}

void Element::createCaretPosition(CaretHandle& handle, bool byPath) {
    auto* caret = new ElementCaret(this, byPath);
    handle.put(caret);
    caret->toStart();
}

void Element::createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath) {
    if (markedOnly && mark == 0) {
        handle.put(nullptr);
        return;
    }
    auto* range = new ElementCaretRange(this, byPath);
    handle.put(range);
    range->selectAll();
    if (!markedOnly || mark != 2) return;
    int first = -1, last = -1;
    for (int i = 0, n = childCount(); i < n; ++i) {
        Element* child = childAt(i);
        if (!child || child->mark == 0) continue;
        if (first < 0) first = i;
        last = i;
    }
    if (first < 0) return;
    range->start().setChildSide(this, first, childAt(first)->mark == 2 ? 1 : 0);
    range->end().setChildSide(this, last, childAt(last)->mark == 2 ? 1 : 2);
}

Element* Element::splitAtCaret(const SingleCaret& caret) {
    if (caret.isAtEnd()) return nullptr;
    if (caret.isAtStart()) return this;
    return splitAtIndex(caret.childIndex(true));
}

void Element::caretArrived() {
    ElementWindow* window = worksheetWindow();
    if (window) window->setMenuBarId(window->menuBarId());
}

void Element::collectInputText(KString& text) {
    for (int i = 0, n = childCount(); i < n; ++i)
        if (Element* child = childAt(i)) child->collectInputText(text);
}

int Element::inputTextLength() const {
    int sum = 0;
    for (int i = 0, n = childCount(); i < n; ++i)
        if (Element* child = childAt(i)) sum += child->inputTextLength();
    return sum;
}

void Element::setCaretOffset(int offset) {
    int sum = 0;
    for (int i = 0, n = childCount(); i < n; ++i) {
        Element* child = childAt(i);
        if (!child) continue;
        int length = child->inputTextLength();
        if (length != 0 && sum < offset && sum + length >= offset) {
            child->setCaretOffset(offset - sum);
            return;
        }
        sum += length;
    }
}

Menu* Element::cachedContextMenu() const { return contextMenuEntry(elementKind()); }

void Element::setCachedContextMenu(Menu* menu) { setContextMenuEntry(elementKind(), menu); }

bool Element::isTopOfMark() const {
    Element* p = parent();
    return !(p && p->mark == 1);
}

int Element::childOffset(const Element*, ElementPoint& out) const {
    out = {0, 0};
    return 0;
}

// ---- non-virtual -----------------------------------------------------------------------------

ElementDocument* Element::document() {
    if (documentCache_) return documentCache_;
    Element* root = this;
    while (Element* p = root->parent()) root = p;
    if (root == this || root->elementKind() != KIND_SECTION) return nullptr;
    documentCache_ = root->documentCache_;
    return documentCache_;
}

DocumentView* Element::activeView() {
    ElementDocument* doc = document();
    return doc ? doc->activeView() : nullptr;
}

ElementWindow* Element::worksheetWindow() {
    ElementDocument* doc = document();
    return doc ? doc->activeWindow() : nullptr;
}

ViewCaret* Element::activeCaret() {
    ElementWindow* window = worksheetWindow();
    return window ? window->caret() : nullptr;
}

ElementPoint Element::absoluteOrigin() const {
    ElementPoint sum;
    const Element* step = this;
    for (Element* p = parent(); p; step = p, p = p->parent()) {
        ElementPoint o;
        p->childOffset(step, o);
        sum.x += o.x;
        sum.y += o.y;
    }
    return sum;
}

void Element::markNeedsLayout() {
    flags |= ELEMENT_NEEDS_LAYOUT;
    for (Element* p = parent(); p; p = p->parent()) p->flags |= ELEMENT_CHILD_NEEDS_LAYOUT;
}

bool Element::ancestorsClean() const {
    for (Element* p = parent(); p; p = p->parent())
        if (p->flags & ELEMENT_NEEDS_LAYOUT) return false;
    return true;
}

bool Element::contains(const Element* other) const {
    for (const Element* e = other; e; e = e->parent())
        if (e == this) return true;
    return false;
}

int Element::ancestorCount() const {
    int n = 0;
    for (Element* p = parent(); p; p = p->parent()) ++n;
    return n;
}

Element* Element::enclosingGroup() const {
    for (Element* p = parent(); p; p = p->parent())
        if (p->elementKind() == KIND_GROUP) return p;
    return nullptr;
}

Element* Element::enclosingParagraph() const {
    for (Element* p = parent(); p; p = p->parent())
        if (p->elementKind() == KIND_PARAGRAPH) return p;
    return nullptr;
}

Element* Element::enclosingSection(Element** pathChild) const {
    const Element* step = this;
    for (Element* p = parent(); p; step = p, p = p->parent()) {
        if (p->elementKind() == KIND_SECTION) {
            if (pathChild) *pathChild = const_cast<Element*>(step);
            return p;
        }
    }
    if (pathChild) *pathChild = nullptr;
    return nullptr;
}

bool Element::enclosingCollapsedSection(Element** section, int* index) const {
    const Element* step = this;
    for (Element* p = parent(); p; step = p, p = p->parent()) {
        if (p->elementKind() != KIND_SECTION || !(p->flags & ELEMENT_COLLAPSED_SECTION)) continue;
        int i = p->indexOfChild(step);
        if (i != 0) {
            if (section) *section = p;
            if (index) *index = i;
            return true;
        }
    }
    return false;
}

void Element::expandAncestors() {
    std::vector<Element*> ancestors;
    for (Element* p = parent(); p; p = p->parent()) ancestors.push_back(p);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) (*it)->command(21, nullptr, 0);
}

bool Element::insertSibling(Element* element, int mode) {
    Element* p = parent();
    return p ? p->insertChild(element, this, mode) : false;
}

// ---- per-kind tables -------------------------------------------------------------------------

Menu* Element::contextMenuEntry(int index) {
    return index >= 0 && index < ELEMENT_KIND_COUNT ? contextMenus[index] : nullptr;
}

void Element::setContextMenuEntry(int index, Menu* menu) {
    if (index >= 0 && index < ELEMENT_KIND_COUNT) contextMenus[index] = menu;
}

void Element::setContextMenuDeleter(void (*deleter)(Menu*)) { contextMenuDeleter = deleter; }

void Element::releaseElementKindObjects() {
    for (Menu*& menu : contextMenus) {
        if (menu && contextMenuDeleter) contextMenuDeleter(menu);
        menu = nullptr;
    }
}
