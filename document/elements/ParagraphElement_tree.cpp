// ParagraphElement's tree editing: inserting, removing, replacing and splitting off children,
// and wrapping the paragraph in an execution group.  The composite keeps the children and
// records every change for undo; the paragraph lays its lines out after each change.
#include <memory>

#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/styles/StyleSet.h"
#include "document/tree/ElementPosition.h"

Element* (*ParagraphElement::makeExecutionGroup)(Element* first) = nullptr;

namespace {

void relayout(Element* element) {
    ElementExtent ignored;
    element->layout(ignored);
}

}  // namespace

int ParagraphElement::styleForSplit() {
    // The same index for a named (shared) style, a private copy for an unnamed one, so that
    // formatting one half later leaves the other as it is.
    auto* doc = dynamic_cast<Document*>(document());
    StyleSet* set = doc ? doc->styleSet() : nullptr;
    const ParaStyle* style = set ? set->paraStyle(styleIndex) : nullptr;
    if (!style || style->hasName()) return styleIndex;
    return set->copyParaStyleForEdit(styleIndex, true);
}

void ParagraphElement::childResized(Element* child, int x, int y, int w, int h) {
    (void)child, (void)x, (void)y, (void)w, (void)h;
}

bool ParagraphElement::insertChild(Element* child, Element* reference, int mode) {
    // With layout live the composite measures the new child, which lays this paragraph out.
    return CompositeElement::insertChild(child, reference, mode);
}

void ParagraphElement::removeChild(Element* child) {
    ElementOperationScope scope;   // the child is deleted once this operation has returned
    int index = indexOfChild(child);
    if (index < 0 || child->elementKind() == KIND_PLACEHOLDER) return;
    removeSlot(index, true);
    relayout(this);
}

bool ParagraphElement::removeChildAt(int index) {
    if (!CompositeElement::removeChildAt(index)) return false;
    markNeedsLayout();
    return true;
}

bool ParagraphElement::replaceChild(Element* oldChild, Element* newChild) {
    if (!CompositeElement::replaceChild(oldChild, newChild)) return false;
    relayout(this);
    return true;
}

Element* ParagraphElement::splitAtIndex(int index) {
    int count = childCount();
    Element* p = parent();
    if (index <= 0 || index > count || !p) return this;
    auto second = std::make_unique<ParagraphElement>(styleForSplit(), nullptr);
    moveChildrenTo(index, count - index, second.get(), nullptr, kInsertAfter);
    ParagraphElement* made = second.get();
    if (!p->insertChild(made, this, kInsertAfter)) {
        // Nowhere to put it: the children go back, so nothing is lost.
        made->moveChildrenTo(0, made->childCount(), this, nullptr, kInsertAfter);
        relayout(this);
        return this;
    }
    second.release();
    relayout(this);
    relayout(made);
    return made;
}

Element* ParagraphElement::splitAtChild(Element* child) {
    int index = indexOfChild(child);
    return index < 0 ? this : splitAtIndex(index);
}

Element* ParagraphElement::wrapInGroup() {
    Element* p = parent();
    if (!p || !makeExecutionGroup) return nullptr;
    ElementDocument* doc = document();
    Element* group = nullptr;
    {
        LayoutHoldScope hold(doc);
        // A section's heading stays a paragraph: a new one takes its place first.
        if (p->elementKind() == KIND_SECTION && p->firstChild() == this && p->parent()) {
            auto heading = std::make_unique<ParagraphElement>(styleForSplit(), nullptr);
            if (p->insertChild(heading.get(), this, kInsertBefore)) heading.release();
        }
        int index = p->indexOfChild(this);
        Element* before = p->childAt(index - 1);
        if (!p->removeChildAt(index)) return nullptr;
        group = makeExecutionGroup(this);
        // After the child before it, or first (a reference of null appends to an empty parent).
        Element* reference = before ? before : p->firstChild();
        int mode = before ? kInsertAfter : kInsertBefore;
        bool placed = group && p->insertChild(group, reference, mode);
        if (!placed) {
            // Put the paragraph back where it stood.
            if (group) group->removeChildAt(group->indexOfChild(this));
            delete group;
            group = nullptr;
            p->insertChild(this, reference, mode);
            return nullptr;
        }
    }
    relayout(this);
    if (ElementWindow* window = worksheetWindow()) window->update();
    return group;
}
