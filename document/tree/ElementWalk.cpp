// The tree walk, and the deferred deletion that keeps it and the tree operations safe.
//
// Walk of element E with visitor V and record R:
//   1. n = childCount; with flag bit 7 and E's mark 0, return (E's subtree is not visited).
//   2. Store pass 0.  A leaf (n < 0) gets pass 4 and one visit, whatever bits 0 and 1 say.
//   3. Bit 0: pass 1, visit; stop bit 1 ends the walk.
//   4. Unless stop bit 0: the children, each after storing pass 0; stop bit 1 ends the walk.
//   5. Bit 1: pass 2, visit (the caller's check sees a stop set here).
//
// Children are taken as a snapshot before any is visited (by index, or with firstChild /
// nextChild under flag bit 4) and kept on one shared stack (indices, not pointers, because it
// grows).  A visitor may remove or destroy children: each snapshot entry is visited only when
// it is still a child of E, so no child is visited twice, none is skipped and no null child is
// visited; an element destroyed directly during the walk clears its own snapshot entries in its
// destructor.  Deletions through destroyElement wait until the outermost walk or tree operation
// has returned, so E itself stays alive while its walk runs, whatever its visitors remove.
#include <algorithm>
#include <vector>

#include "document/tree/Element.h"
#include "document/tree/ElementPosition.h"
#include "document/records/KWorksheetWriter.h"

namespace {

std::vector<Element*> walkStack;         // the snapshots of every running walk
int operationDepth = 0;                  // nesting of walks and tree operations
std::vector<Element*> deferredDeletions; // waiting for operationDepth to reach 0
bool flushing = false;

void flushDeferred() {
    if (flushing) return;
    flushing = true;
    // Each deletion may defer more (destructors removing further elements); hold the depth
    // at 1 so that they queue, and run until nothing is left.
    ++operationDepth;
    while (!deferredDeletions.empty()) {
        Element* e = deferredDeletions.back();
        deferredDeletions.pop_back();
        delete e;
    }
    --operationDepth;
    flushing = false;
}

bool stillChildOf(Element* child, Element* parent) {
    Element* p = child->parent();
    if (p) return p == parent;
    return parent->indexOfChild(child) >= 0;
}

void callMethod(Element* element, WalkControl& control) { (element->*control.method)(control); }

}  // namespace

ElementOperationScope::ElementOperationScope() { ++operationDepth; }

ElementOperationScope::~ElementOperationScope() {
    if (--operationDepth == 0 && !deferredDeletions.empty()) flushDeferred();
}

bool ElementOperationScope::active() { return operationDepth > 0; }

void destroyElement(Element* element) {
    if (!element) return;
    ElementPosition::releasePositionsIn(element);
    if (operationDepth > 0) {
        if (std::find(deferredDeletions.begin(), deferredDeletions.end(), element) ==
            deferredDeletions.end())
            deferredDeletions.push_back(element);
        return;
    }
    delete element;
}

// Called from ~Element: clears the element's snapshot entries, and drops it from the deferred
// list when someone deletes it directly after it was queued (no double free).
void elementDying(const Element* element) {
    for (Element*& e : walkStack)
        if (e == element) e = nullptr;
    if (!flushing || !deferredDeletions.empty()) {
        auto it = std::find(deferredDeletions.begin(), deferredDeletions.end(), element);
        if (it != deferredDeletions.end()) deferredDeletions.erase(it);
    }
}

void Element::walk(WalkVisitor visitor, WalkControl& control) {
    int n = childCount();
    if ((control.flags & WALK_MARKED_ONLY) && mark == 0) return;
    ElementOperationScope scope;
    control.storePass(PASS_DESCEND);
    if (n < 0) {
        control.storePass(PASS_LEAF);
        visitor(this, control);
        return;
    }
    if (control.flags & WALK_BEFORE) {
        control.storePass(PASS_BEFORE);
        visitor(this, control);
        if (control.stop() & STOP_WALK) return;
    }
    if (!(control.stop() & STOP_CHILDREN)) {
        std::size_t begin = walkStack.size();
        if (control.flags & WALK_LINKED) {
            for (Element* c = firstChild(); c; c = nextChild(c)) walkStack.push_back(c);
        } else {
            for (int i = 0; i < n; ++i)
                if (Element* c = childAt(i)) walkStack.push_back(c);
        }
        std::size_t end = walkStack.size();
        bool ended = false;
        for (std::size_t k = begin; k < end; ++k) {
            Element* child = walkStack[k];
            if (!child || !stillChildOf(child, this)) continue;
            control.storePass(PASS_DESCEND);
            child->walk(visitor, control);
            if (control.stop() & STOP_WALK) {
                ended = true;
                break;
            }
        }
        walkStack.resize(begin);
        if (ended) return;
    }
    if (control.flags & WALK_AFTER) {
        control.storePass(PASS_AFTER);
        visitor(this, control);
    }
}

void Element::walkMethod(WalkMethod method, WalkControl& control) {
    control.method = method;
    walk(&callMethod, control);
}

void writeNewRepHeader(Element*, WalkControl& control) {
    if (control.writer) control.writer->writeRaw("{NEWREP ");
}

void writeRecordTail(Element* element, WalkControl& control) {
    if (element) element->writeRecordTail(control);
}
