#pragma once
// Test elements for the undo history, bookmark and document tests: section, group, paragraph
// (with a bookmark name) and text run, each copied deeply by cloneElement, written by the
// worksheet writer in a compact record form so that whole trees compare as text, and a text
// run whose text change records a modify pair as the text elements do.

#include <string>

#include "document/edit/BookmarkIndex.h"
#include "document/tree/CompositeElement.h"
#include "document/tree/ContainerElement.h"
#include "document/edit/Document.h"
#include "document/edit/EditBracket.h"
#include "document/edit/EditRecord.h"
#include "document/records/KWorksheetWriter.h"

namespace undofakes {

// Copies the children of `from` into `to` (detached, so nothing records).
void copyChildren(const Element* from, Element* to);
// Writes the tree under `root` with the worksheet writer.
std::string treeText(Element* root);

template <typename T>
Element* splitAfter(T* self, int index) {
    Element* p = self->parent();
    if (!p || index <= 0 || index >= self->childCount()) return self;
    T* second = new T();
    self->moveChildrenTo(index, self->childCount() - index, second, nullptr, kInsertAfter);
    if (!p->insertChild(second, self, kInsertAfter)) {
        delete second;
        return self;
    }
    return second;
}

class USection : public ContainerElement {
public:
    Element* cloneElement() const override {
        auto* c = new USection;
        copyChildren(this, c);
        return c;
    }
    int elementKind() const override { return KIND_SECTION; }
    void writeElement(WalkControl& control) override;
    Element* splitAtIndex(int index) override { return splitAfter(this, index); }
};

class UGroup : public ContainerElement {
public:
    Element* cloneElement() const override {
        auto* c = new UGroup;
        copyChildren(this, c);
        return c;
    }
    int elementKind() const override { return KIND_GROUP; }
    void writeElement(WalkControl& control) override;
    Element* splitAtIndex(int index) override { return splitAfter(this, index); }
};

// A paragraph with a bookmark name; destroying a bookmarked paragraph clears its document's
// bookmark index.
class UPara : public CompositeElement {
public:
    explicit UPara(std::string name = "") : bookmark(std::move(name)) {}
    ~UPara() override;
    Element* cloneElement() const override {
        auto* c = new UPara(bookmark);
        copyChildren(this, c);
        return c;
    }
    int elementKind() const override { return KIND_PARAGRAPH; }
    void writeElement(WalkControl& control) override;
    void collectBookmarks(WalkControl& control) override { bookmarkVisit(this, bookmark.c_str(), control); }
    Element* splitAtIndex(int index) override { return splitAfter(this, index); }
    std::string bookmark;
};

// A text run (kind 5).
class UText : public Element {
public:
    explicit UText(std::string t = "") : text(std::move(t)) {}
    Element* cloneElement() const override { return new UText(text); }
    int elementKind() const override { return KIND_TEXT; }
    bool isInline() const override { return true; }
    bool isText() const override { return true; }
    Element* parent() const override { return parent_; }
    void setParent(Element* p) override { parent_ = p; }
    void locatePosition(TextPosition&) override {}
    void writeElement(WalkControl& control) override;
    // Changes the text in place, recording a modify pair when the document records.
    void setTextRecorded(const std::string& newText);
    std::string text;

private:
    Element* parent_ = nullptr;
};

// Installs the text hook of the typing merge for UText.
void installTextHook();

}  // namespace undofakes
