// CompositeElement: child slots, insertion and removal, measure, stacking, lazy layout, hit
// tests and the block line's caret moves.
#include "document/tree/CompositeElement.h"

#include <algorithm>

#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"
#include "document/tree/Selection.h"
#include "document/tree/TreeRecording.h"
#include "document/tree/ViewCaret.h"

namespace {

constexpr int FAR_RIGHT = 0x40000000;

BlockElement* asBlock(Element* e) { return dynamic_cast<BlockElement*>(e); }

// Measures any child: block elements through measure, others through their layout.
void measureChild(Element* child, ElementExtent& out, int width) {
    if (BlockElement* block = asBlock(child)) {
        block->measure(out, width);
    } else {
        child->layout(out);
    }
}

}  // namespace

CompositeElement::CompositeElement(const CompositeElement& other) : BlockElement(other) {}

CompositeElement::~CompositeElement() { deleteAllChildren(); }

bool CompositeElement::layoutLive() {
    ElementDocument* doc = document();
    return doc && doc->activeView() && !doc->layoutHeld();
}

void CompositeElement::writeElement(WalkControl& control) {
    if ((control.flags & WALK_MARKED_ONLY) && mark != 1) return;
    if (control.pass() == PASS_BEFORE) writeRecordHead(control);
    else if (control.pass() == PASS_AFTER) writeRecordTail(control);
}

// ---- child access -------------------------------------------------------------------------

Element* CompositeElement::childAt(int index) const {
    return index >= 0 && index < count_ ? slots_[index]->child : nullptr;
}

int CompositeElement::indexOfChild(const Element* child) const {
    if (!child) return -1;
    // Callers mostly go through the children in order (origins, marks, navigation): try the
    // last answer and its neighbours before the linear search.
    for (int i : {lastIndex_, lastIndex_ + 1, lastIndex_ - 1}) {
        if (i >= 0 && i < count_ && slots_[i]->child == child) {
            lastIndex_ = i;
            return i;
        }
    }
    for (int i = 0; i < count_; ++i) {
        if (slots_[i]->child == child) {
            lastIndex_ = i;
            return i;
        }
    }
    return -1;
}

Element* CompositeElement::childAfterIndex(int index) const {
    return index + 1 < count_ && index + 1 >= 0 ? slots_[index + 1]->child : nullptr;
}

Element* CompositeElement::childBeforeIndex(int index) const {
    return index != 0 && index - 1 < count_ && index - 1 >= 0 ? slots_[index - 1]->child : nullptr;
}

Element* CompositeElement::nextChild(const Element* child) const {
    int i = indexOfChild(child);
    return i < 0 ? nullptr : childAfterIndex(i);
}

Element* CompositeElement::previousChild(const Element* child) const {
    int i = indexOfChild(child);
    return i < 0 ? nullptr : childBeforeIndex(i);
}

int CompositeElement::childOffset(const Element* child, ElementPoint& out) const {
    int i = indexOfChild(child);
    const ChildSlot* s = i >= 0 ? slots_[i] : (count_ > 0 ? slots_[0] : nullptr);
    out = s ? ElementPoint{s->x, s->y} : ElementPoint{0, 0};
    return i;
}

// ---- insertion and removal ------------------------------------------------------------------

void CompositeElement::growSlots() {
    int newCapacity = capacity_ + SLOT_GROWTH;
    auto** grown = new ChildSlot*[newCapacity];
    std::copy(slots_, slots_ + count_, grown);
    delete[] slots_;
    slots_ = grown;
    capacity_ = newCapacity;
}

bool CompositeElement::insertChild(Element* child, Element* reference, int mode) {
    if (!child || child == this || child->parent() || child->contains(this)) return false;
    int index = count_;
    if (reference) {
        int r = indexOfChild(reference);
        if (r < 0) return false;   // a reference that is not a child is refused
        index = r + (mode == kInsertAfter ? 1 : 0);
    }
    if (count_ == capacity_) growSlots();
    auto* s = new ChildSlot{child, 0, 0, 0, 0};
    child->setParent(this);
    if (index < count_) {
        std::copy_backward(slots_ + index, slots_ + count_, slots_ + count_ + 1);
        slots_[index] = s;
        ++count_;
        s->y = slots_[index + 1]->y;
    } else {
        index = count_;
        slots_[count_++] = s;
        s->y = height;
    }
    s->x = indent_;
    if (layoutLive()) {
        ElementExtent e;
        child->flags |= ELEMENT_NEEDS_LAYOUT;
        measureChild(child, e, availableWidth_);
        childResized(child, s->x, s->y, e.width, e.height);
    } else {
        child->markNeedsLayout();
        flags |= ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT;
    }
    recordInsertion(this, child);   // undo removes it again, redo puts a copy back
    return true;
}

void CompositeElement::removeSlot(int index, bool destroy) {
    if (index < 0 || index >= count_) return;
    ChildSlot* s = slots_[index];
    Element* child = s->child;
    recordRemoval(this, child);   // while the child still stands at its index
    s->child = nullptr;
    child->setParent(nullptr);
    delete s;
    std::copy(slots_ + index + 1, slots_ + count_, slots_ + index);
    --count_;
    if (destroy) destroyElement(child);
}

bool CompositeElement::removeChildAt(int index) {
    Element* child = childAt(index);
    if (!child || child->elementKind() == KIND_PLACEHOLDER) return false;
    if (layoutLive()) {
        childResized(child, 0, 0, 0, 0);
    } else {
        markNeedsLayout();
    }
    removeSlot(index, false);
    return true;
}

void CompositeElement::removeChild(Element* child) {
    // An emptied composite removes itself from its parent below; its deletion (and that of
    // the child) waits until this operation and any walk over it have returned.
    ElementOperationScope scope;
    int index = indexOfChild(child);
    if (index < 0 || child->elementKind() == KIND_PLACEHOLDER) return;
    if (layoutLive()) {
        childResized(child, 0, 0, 0, 0);
    } else {
        markNeedsLayout();
    }
    removeSlot(index, true);
    if (count_ == 0 && mark == 0 && parent_) parent_->removeChild(this);
}

bool CompositeElement::replaceChild(Element* oldChild, Element* newChild) {
    int index = indexOfChild(oldChild);
    if (index < 0 || !newChild || newChild == oldChild || newChild->parent() || newChild == this ||
        newChild->contains(this))
        return false;
    recordReplacement(this, oldChild, newChild, [&] {
        newChild->setParent(this);
        oldChild->setParent(nullptr);
        slots_[index]->child = newChild;
        newChild->markNeedsLayout();
    });
    return true;
}

int CompositeElement::moveAllChildrenTo(Element* target, Element* reference) {
    if (!target || target == this) return 0;
    ElementOperationScope scope;
    int moved = 0;
    int index = 0;
    while (index < count_) {
        Element* child = slots_[index]->child;
        if (!removeChildAt(index)) {   // the placeholder stays where it is
            ++index;
            continue;
        }
        if (target->insertChild(child, reference, kInsertAfter)) {
            reference = child;
            ++moved;
        } else {
            // Refused by the target: back into its old place, so that nothing is lost.
            if (!insertChild(child, childAt(index), kInsertBefore)) destroyElement(child);
            ++index;
        }
    }
    return moved;
}

void CompositeElement::deleteAllChildren() {
    for (int i = 0; i < count_; ++i) {
        Element* child = slots_[i]->child;
        delete slots_[i];
        slots_[i] = nullptr;
        if (child) {
            child->setParent(nullptr);
            destroyElement(child);
        }
    }
    count_ = 0;
    delete[] slots_;
    slots_ = nullptr;
    capacity_ = 0;
}

Element* CompositeElement::extractSoleDescendant() {
    Element* e = this;
    while (e->childCount() == 1) e = e->childAt(0);
    if (!e->isInline() && e->childCount() <= 0) return nullptr;
    if (count_ != 1) return this;
    Element* p = e->parent();
    if (!p || !p->removeChildAt(p->indexOfChild(e))) return nullptr;
    return e;
}

// ---- geometry ----------------------------------------------------------------------------------

void CompositeElement::stackChildren() {
    width = 0;
    height = 0;
    for (int i = 0; i < count_; ++i) {
        ChildSlot* s = slots_[i];
        s->x = indent_;
        s->y = height;
        width = std::max(width, indent_ + s->width);
        height = std::max(height, s->y + s->height);
    }
}

void CompositeElement::measure(ElementExtent& out, int givenWidth) {
    if (flags & ELEMENT_NEEDS_LAYOUT) {
        width = 0;
        height = 0;
        availableWidth_ = givenWidth - indent_;
        for (int i = 0; i < count_; ++i) {
            ElementExtent e;
            measureChild(slots_[i]->child, e, availableWidth_);
            slots_[i]->width = e.width;
            slots_[i]->height = e.height;
        }
        stackChildren();
        flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
    }
    out = {width, height};
}

void CompositeElement::reportSizeChange(int oldWidth, int oldHeight) {
    if (parent_) {
        if (BlockElement* p = asBlock(parent_)) {
            ElementPoint o;
            p->childOffset(this, o);
            p->childResized(this, o.x, o.y, width, height);
        }
        return;
    }
    if (DocumentView* view = activeView()) view->extentChanged(width - oldWidth, height - oldHeight, absoluteOrigin());
}

void CompositeElement::layout(ElementExtent& area) {
    if (!layoutLive()) {
        markNeedsLayout();
        area = {width, height};
        return;
    }
    bool needs = (flags & ELEMENT_NEEDS_LAYOUT) != 0;
    if (needs) {
        computeIndent();
        if (parent_) {
            BlockElement* p = asBlock(parent_);
            availableWidth_ = (p ? p->availableWidth() : 0) - indent_;
        } else if (DocumentView* view = activeView()) {
            availableWidth_ = view->availableWidth();
        }
    }
    // Top of the first child whose height changed (-1: none); what lies below it moved.
    int changedFrom = -1;
    for (int i = 0; i < count_; ++i) {
        Element* child = slots_[i]->child;
        if (!(child->flags & (ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT))) continue;
        ElementExtent e;
        child->layout(e);
        ChildSlot* s = slots_[i];   // the child's layout may have reported into the slots
        if (!needs && e.height != s->height) {
            int d = e.height - s->height;
            for (int k = i + 1; k < count_; ++k) slots_[k]->y += d;
            if (changedFrom < 0) changedFrom = s->y;
        }
        s->width = e.width;
        s->height = e.height;
        if (forcesRelayout()) flags |= ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT;
    }
    if (needs || (flags & ELEMENT_NEEDS_LAYOUT)) {
        int oldWidth = width, oldHeight = height;
        stackChildren();
        if ((oldWidth != width || oldHeight != height) && ancestorsClean() && !enclosingCollapsedSection()) {
            reportSizeChange(oldWidth, oldHeight);
            if (DocumentView* view = activeView()) {
                ElementPoint o = absoluteOrigin();
                view->redraw({o.x, o.y, std::max(width, oldWidth), std::max(height, oldHeight)});
            }
        }
    } else {
        // Only children changed: their new heights were shifted in above; the extent follows.
        int w = 0, h = 0;
        for (int i = 0; i < count_; ++i) {
            w = std::max(w, slots_[i]->x + slots_[i]->width);
            h = std::max(h, slots_[i]->y + slots_[i]->height);
        }
        // The children laid out above could not redraw themselves (this element was still
        // dirty): what moved or grew, from the first changed child down, is drawn again.
        if (changedFrom >= 0 && ancestorsClean() && !enclosingCollapsedSection())
            if (DocumentView* view = activeView()) {
                ElementPoint o = absoluteOrigin();
                view->redraw({o.x, o.y + changedFrom, std::max(w, width), std::max(h, height) - changedFrom});
            }
        width = w;
        height = h;
    }
    flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
    area = {width, height};
}

void CompositeElement::childResized(Element* child, int, int, int newWidth, int newHeight) {
    if (flags & ELEMENT_NEEDS_LAYOUT) return;
    int index = indexOfChild(child);
    if (index < 0) return;
    ChildSlot* s = slots_[index];
    int oldWidth = width, oldHeight = height;
    bool widthChanged = s->width != newWidth;
    int d = newHeight - s->height;
    s->width = newWidth;
    s->height = newHeight;
    if (widthChanged) {
        width = 0;
        for (int i = 0; i < count_; ++i) width = std::max(width, slots_[i]->x + slots_[i]->width);
    }
    if (d != 0) {
        for (int i = index + 1; i < count_; ++i) slots_[i]->y += d;
        height += d;
        // The child cannot redraw what moved below it: from its top down is drawn again.
        if (ancestorsClean() && !enclosingCollapsedSection())
            if (DocumentView* view = activeView()) {
                ElementPoint o = absoluteOrigin();
                view->redraw({o.x, o.y + s->y, std::max(width, oldWidth), std::max(height, oldHeight) - s->y});
            }
    }
    if (width == oldWidth && height == oldHeight) return;
    reportSizeChange(oldWidth, oldHeight);
}

void CompositeElement::showChild(Element* child, ElementRect rect) {
    int index = indexOfChild(child);
    if (index < 0) return;
    const ChildSlot* s = slots_[index];
    if (rect.width == 0 && rect.height == 0) rect = {0, 0, s->width, s->height};
    rect.x += s->x;
    rect.y += s->y;
    if (BlockElement* p = asBlock(parent_)) {
        p->showChild(this, rect);
    } else if (!parent_) {
        if (ElementWindow* window = worksheetWindow()) window->scrollIntoView(rect);
    }
}

// ---- drawing and hit tests -------------------------------------------------------------------

void CompositeElement::draw(int x, int y, const ElementRect& clip) {
    for (int i = 0; i < count_; ++i) {
        const ChildSlot* s = slots_[i];
        if (s->height == 0) continue;
        int top = y + s->y;
        if (top >= clip.bottom()) break;
        if (top + s->height <= clip.y) continue;
        if (BlockElement* b = asBlock(s->child)) b->draw(x + s->x, top, clip);
    }
}

int CompositeElement::childSlotAtPoint(int x, int y, ElementPoint& relative) const {
    if (count_ == 0) return -1;
    // The slots are stacked, so their y grow with the index: the last slot whose y is at or
    // above the point, found by bisection; slot 0 for a point above the second slot.
    int lo = 0, hi = count_ - 1;
    while (lo < hi) {
        int mid = lo + (hi - lo + 1) / 2;
        if (slots_[mid]->y <= y) lo = mid;
        else hi = mid - 1;
    }
    const ChildSlot* s = slots_[lo];
    relative = {x - s->x, y - s->y};
    if (relative.y > s->height - 1) relative.y = s->height - 1;
    if (relative.y < 0) relative.y = 0;
    if (relative.x < 0) relative.x = 0;
    return lo;
}

Element* CompositeElement::elementAtPoint(int x, int y, ElementPoint& origin) {
    if (x < indent_ || count_ == 0) return this;
    ElementPoint rel;
    int index = childSlotAtPoint(x, y, rel);
    const ChildSlot* s = slots_[index];
    origin.x += s->x;
    origin.y += s->y;
    Element* hit = s->child->elementAtPoint(rel.x, rel.y, origin);
    return hit ? hit : s->child;
}

void CompositeElement::positionAtPoint(TextPosition& position, int x, int y) {
    if (count_ == 0) {
        position.setPosition(this, 0);
        locatePosition(position);
        return;
    }
    ElementPoint rel;
    int index = childSlotAtPoint(x, y, rel);
    Element* child = slots_[index]->child;
    if (BlockElement* b = asBlock(child)) {
        b->positionAtPoint(position, rel.x, rel.y);
        return;
    }
    position.setPosition(child, 0);
    child->locatePosition(position);
}

void CompositeElement::locatePosition(TextPosition& position) {
    ElementPoint o = absoluteOrigin();
    position.rect = {o.x, o.y, 2, 12};
    position.ownCaret = false;
    position.hintA = 0;
    position.hintB = 0;
    position.extra = 0;
}

bool CompositeElement::movePosition(TextPosition& position, int code, Element* child, int index) {
    if (child && index < 0) index = indexOfChild(child);
    if (!child) index = -1;
    ElementPoint origin = absoluteOrigin();
    switch (code) {
    case 0:
    case 1:
    case 20:
        if (child && index == 0) {
            if (parent_) {
                position.setPosition(this, 0);
            } else if (ElementDocument* doc = document()) {
                doc->beep();
            }
            return true;
        }
        if (child && index > 0) {
            position.setFromPoint(FAR_RIGHT, origin.y + slots_[index]->y - 1, false);
            return true;
        }
        break;
    case 2:
    case 3:
        if (child && index >= 0 && index < count_ - 1) {
            position.setFromPoint(0, origin.y + slots_[index]->y + slots_[index]->height, false);
            return true;
        }
        if (!child && count_ > 0) {
            position.setFromPoint(origin.x + slots_[0]->x, origin.y + slots_[0]->y, false);
            return true;
        }
        break;
    case 4:
        if (child && index >= 1 && index - 1 < count_) {
            const ChildSlot* s = slots_[index - 1];
            position.setFromPoint(position.column, origin.y + s->y + std::max(s->height, 1) - 1, false);
            return true;
        }
        break;
    case 5: {
        int target = child ? index + 1 : 1;
        if (target >= 0 && target < count_) {
            position.setFromPoint(position.column, origin.y + slots_[target]->y, false);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return parent_ ? parent_->movePosition(position, code, this, -1) : false;
}

ParagraphLine* CompositeElement::lineAtPosition(TextPosition& position) {
    Element* e = childAt(position.offset());
    while (e && e->elementKind() != KIND_PARAGRAPH) e = e->childCount() > 0 ? e->childAt(0) : nullptr;
    auto* block = dynamic_cast<BlockElement*>(e);
    return block ? block->lineAt(0) : nullptr;
}

bool CompositeElement::mouseDown(const ElementMouseEvent& event) {
    if (event.clicks != 2) return false;
    ElementWindow* window = worksheetWindow();
    ViewCaret* caret = window ? window->caret() : nullptr;
    Selection* selection = window ? window->selection() : nullptr;
    if (!caret || !selection) return true;
    caret->setPosition(this, 0);
    selection->setAnchor(*caret);
    caret->moveToEnd();
    selection->extendTo(*caret);
    caret->setPosition(this, 0);
    selection->active = true;
    window->selectionActivated();
    caret->refreshWindow();
    return true;
}
