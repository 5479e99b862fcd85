// BookmarkIndex: lazy list of the paragraphs' bookmark names.
#include "document/edit/BookmarkIndex.h"

#include <algorithm>
#include <cstring>

#include "document/tree/Element.h"

void bookmarkVisit(Element* paragraph, const char* bookmarkName, WalkControl& control) {
    auto* walk = static_cast<BookmarkWalk*>(control.context);
    if (!walk || !bookmarkName || !*bookmarkName) return;
    // The paragraph learns its document now, while it is in the tree, so that its destruction
    // (when it is already detached) still reaches this index.
    paragraph->document();
    if (walk->mode == 0) {
        if (walk->index) walk->index->add(bookmarkName);
    } else if (walk->name && walk->name->equals(bookmarkName)) {
        walk->found = paragraph;
    }
}

BookmarkIndex::BookmarkIndex(ElementDocument* document) : document_(document) {}

BookmarkIndex::~BookmarkIndex() { freeNames(); }

void BookmarkIndex::freeNames() {
    for (int i = 0; i < count_; ++i) delete names_[i];
    delete[] names_;
    names_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}

void BookmarkIndex::add(const char* name) {
    if (count_ >= MAX_NAMES) return;
    if (count_ >= capacity_) {
        int newCapacity = (count_ / growStep_ + 1) * growStep_;
        auto** grown = new KString*[newCapacity]();
        std::copy(names_, names_ + count_, grown);
        delete[] names_;
        names_ = grown;
        capacity_ = newCapacity;
    }
    names_[count_++] = new KString(name);
}

void BookmarkIndex::build() {
    freeNames();
    ++builds_;
    Element* root = document_ ? document_->root() : nullptr;
    if (root) {
        BookmarkWalk walk;
        walk.mode = 0;
        walk.index = this;
        WalkControl control;
        control.flags = WALK_BEFORE;
        control.context = &walk;
        root->walkMethod(&Element::collectBookmarks, control);
    }
    built_ = true;
}

int BookmarkIndex::count() {
    if (!built_) build();
    return count_;
}

const KString* BookmarkIndex::name(int index) {
    if (!built_) build();
    return index >= 0 && index < count_ ? names_[index] : nullptr;
}

Element* BookmarkIndex::element(int index) {
    const KString* wanted = name(index);
    Element* root = document_ ? document_->root() : nullptr;
    if (!wanted || !root) return nullptr;
    KString copy(*wanted);   // the walk must not depend on the list staying as it is
    BookmarkWalk walk;
    walk.mode = 1;
    walk.name = &copy;
    WalkControl control;
    control.flags = WALK_BEFORE;
    control.context = &walk;
    root->walkMethod(&Element::collectBookmarks, control);
    return walk.found;
}

Element* BookmarkIndex::find(const char* name) {
    if (!name) return nullptr;
    if (!built_) build();
    for (int i = 0; i < count_; ++i)
        if (names_[i]->equals(name) && names_[i]->length() == int(std::strlen(name))) return element(i);
    return nullptr;
}
