// PositionPath: child-index paths from the document root.
#include "document/tree/PositionPath.h"

#include <algorithm>

#include "document/tree/Element.h"

PositionPath::PositionPath(Element* element) { assign(element); }

PositionPath::PositionPath(const PositionPath& other) { *this = other; }

PositionPath& PositionPath::operator=(const PositionPath& other) {
    if (this == &other) return *this;
    clear();
    for (int i = 0; i < other.count_; ++i) put(i, other.indexes_[i]);
    document_ = other.document_;
    noElement_ = other.noElement_;
    return *this;
}

PositionPath::~PositionPath() { delete[] indexes_; }

void PositionPath::clear() {
    delete[] indexes_;
    indexes_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}

void PositionPath::put(int i, std::int32_t value) {
    if (i >= capacity_) {
        int newCapacity = (i / growStep_ + 1) * growStep_;
        auto* grown = new std::int32_t[newCapacity]();
        std::copy(indexes_, indexes_ + count_, grown);
        delete[] indexes_;
        indexes_ = grown;
        capacity_ = newCapacity;
    }
    indexes_[i] = value;
    count_ = i + 1;
}

void PositionPath::assign(Element* element) {
    count_ = 0;
    noElement_ = false;
    document_ = nullptr;
    if (!element) {
        noElement_ = true;
        return;
    }
    document_ = element->document();
    Element* e = element;
    while (Element* p = e->parent()) {
        int index = p->indexOfChild(e);
        if (index < 0) break;   // a parent that does not list the child: treated as detached
        put(count_, index);
        e = p;
    }
    // A path only means something from the document's root: an element of a detached subtree
    // would otherwise name whatever stands at the same indexes in the live tree.
    if (!document_ || e != document_->root() || e->parent()) {
        count_ = 0;
        noElement_ = true;
    }
}

Element* PositionPath::element() const {
    if (noElement_ || !document_) return nullptr;
    Element* e = document_->root();
    for (int i = count_ - 1; i >= 0 && e; --i) e = e->childAt(indexes_[i]);
    return e;
}
