// Edit records: delete, insert, modify and style records, the suspension counter.
#include "document/edit/EditRecord.h"

#include "document/edit/Document.h"
#include "document/tree/Element.h"
#include "document/styles/StyleSet.h"
#include "util/KString.h"

namespace {

int suspension = 0;

// A saved copy carries no selection marks.
void clearMarks(Element* element) {
    element->mark = 0;
    for (int i = 0, n = element->childCount(); i < n; ++i)
        if (Element* child = element->childAt(i)) clearMarks(child);
}

Element* deepCopy(const Element* element) {
    Element* copy = element->cloneElement();
    if (copy) clearMarks(copy);
    return copy;
}

}  // namespace

bool (*textOfElement)(const Element* element, std::string& out) = nullptr;

int undoSuspensionCount() { return suspension; }
RecordingSuspension::RecordingSuspension() { ++suspension; }
RecordingSuspension::~RecordingSuspension() { --suspension; }

// ---- ElementRecord ---------------------------------------------------------------------------

ElementRecord::~ElementRecord() { delete saved_; }

void ElementRecord::describeWith(const char* word, KString& text) const {
    text.assign(word);
    if (saved_) {
        text.appendChar(' ');
        text.appendInt(saved_->elementKind());
    }
}

void ElementRecord::relayoutParent(Element* parent) {
    ElementExtent extent;
    parent->layout(extent);
}

// ---- DeleteRecord ----------------------------------------------------------------------------

void DeleteRecord::addElement(Element* element, int) {
    RecordingSuspension suspend;
    if (!element) return;
    delete saved_;
    saved_ = deepCopy(element);
    Element* parent = element->parent();
    index_ = parent ? parent->indexOfChild(element) : -1;
    path_.assign(parent);
}

bool DeleteRecord::apply() {
    RecordingSuspension suspend;
    Element* parent = path_.element();
    if (!saved_ || !parent || index_ < 0 || index_ > parent->childCount()) return false;
    Element* copy = saved_->cloneElement();
    if (!copy) return false;
    clearMarks(copy);
    Element* reference = parent->childAt(index_);
    bool inserted = reference ? parent->insertChild(copy, reference, kInsertBefore) : parent->insertChild(copy, nullptr, kInsertAfter);
    if (!inserted) {
        delete copy;
        return false;
    }
    return true;
}

// ---- InsertRecord ----------------------------------------------------------------------------

void InsertRecord::addElement(Element* element, int) {
    RecordingSuspension suspend;
    if (!element) return;
    path_.assign(element);
    listed_ = true;
}

bool InsertRecord::apply() {
    RecordingSuspension suspend;
    if (!listed_) return false;
    Element* element = path_.element();
    Element* parent = element ? element->parent() : nullptr;
    if (!parent) return false;
    if (!parent->removeChildAt(parent->indexOfChild(element))) return false;
    destroyElement(element);
    relayoutParent(parent);
    return true;
}

// ---- ModifyRecord ----------------------------------------------------------------------------

void ModifyRecord::addElement(Element* element, int) {
    RecordingSuspension suspend;
    if (!element) return;
    path_.assign(element);
    delete saved_;
    saved_ = deepCopy(element);
    listed_ = true;
}

bool ModifyRecord::apply() {
    RecordingSuspension suspend;
    if (!listed_ || !saved_) return false;
    Element* element = path_.element();
    Element* parent = element ? element->parent() : nullptr;
    if (!parent) return false;
    Element* copy = saved_->cloneElement();
    if (!copy) return false;
    clearMarks(copy);
    if (!parent->replaceChild(element, copy)) {
        delete copy;
        return false;
    }
    destroyElement(element);
    relayoutParent(parent);
    return true;
}

bool ModifyRecord::mergeWith(const EditRecord& other) const {
    if (other.recordKind() != RECORD_MODIFY || !textOfElement) return false;
    const auto& o = static_cast<const ModifyRecord&>(other);
    if (!listed_ || !o.listed_ || !saved_ || !o.saved_) return false;
    if (!saved_->isText() || !o.saved_->isText()) return false;
    if (saved_->elementKind() != o.saved_->elementKind()) return false;
    // The same element: the same document and the same indexes from its root.
    if (path_.noElement() || o.path_.noElement() || path_.document() != o.path_.document() ||
        path_.count() != o.path_.count())
        return false;
    for (int i = 0; i < path_.count(); ++i)
        if (path_.indexAt(i) != o.path_.indexAt(i)) return false;
    std::string a, b;
    if (!textOfElement(saved_, a) || !textOfElement(o.saved_, b)) return false;
    return a == b;
}

// ---- StyleEditRecord -------------------------------------------------------------------------

StyleEditRecord::StyleEditRecord(Document* document) : document_(document) {}
StyleEditRecord::~StyleEditRecord() = default;

void StyleEditRecord::describe(KString& text) const { text.assign("Style"); }

void StyleEditRecord::captureState() {
    if (!document_ || !document_->styleSet()) return;
    saved_ = std::make_unique<StyleSet>(*document_->styleSet());
    saved_->setOwner(nullptr);
}

bool StyleEditRecord::apply() {
    RecordingSuspension suspend;
    if (!saved_ || !document_) return false;
    auto copy = std::make_unique<StyleSet>(*saved_);
    document_->replaceStyleSet(std::move(copy));
    return true;
}
