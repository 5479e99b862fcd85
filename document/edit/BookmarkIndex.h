#pragma once
// BookmarkIndex: the bookmark names of a document's paragraphs, in document order, built lazily
// by a walk of the tree and thrown away whenever a paragraph with a bookmark is destroyed.
//
// Fields: the document (its root is walked), the names (owned copies), count, capacity, the
// growth step (32), built.  Invariants:
//   1. count <= MAX_NAMES (495): add ignores a name when 495 are held.
//   2. capacity is a multiple of 32: writing at an index at or past it grows the array to
//      (index / 32 + 1) * 32 zero-filled slots.
//   3. While built is false the names are stale; every query rebuilds first.
//
// The walk: paragraphs implement Element::collectBookmarks and call bookmarkVisit with their
// bookmark name; BookmarkWalk (the walk control's context) says whether the walk collects
// names (mode 0) or finds the paragraph of a name (mode 1; the last match in document order
// wins, as the walk does not stop).
//
// Indexes given to name and element are checked: out of range answers null.

#include <memory>

#include "util/KString.h"

class Element;
class ElementDocument;
struct WalkControl;
class BookmarkIndex;

struct BookmarkWalk {
    int mode = 0;                    // 0 collect, 1 find
    BookmarkIndex* index = nullptr;  // mode 0
    const KString* name = nullptr;   // mode 1
    Element* found = nullptr;        // mode 1: the last paragraph with the name
};

// What a paragraph's collectBookmarks does with its bookmark name (null or empty: nothing).
void bookmarkVisit(Element* paragraph, const char* bookmarkName, WalkControl& control);

class BookmarkIndex {
public:
    static constexpr int MAX_NAMES = 495;
    static constexpr int GROWTH_STEP = 32;

    explicit BookmarkIndex(ElementDocument* document);
    ~BookmarkIndex();
    BookmarkIndex(const BookmarkIndex&) = delete;
    BookmarkIndex& operator=(const BookmarkIndex&) = delete;

    int count();
    void add(const char* name);
    const KString* name(int index);
    Element* element(int index);
    Element* find(const char* name);
    // The tree changed (a bookmarked paragraph went): the next query rebuilds.
    void invalidate() { built_ = false; }

    bool built() const { return built_; }
    int capacity() const { return capacity_; }
    int buildCount() const { return builds_; }

private:
    void build();
    void freeNames();

    ElementDocument* document_;
    KString** names_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
    int growStep_ = GROWTH_STEP;
    bool built_ = false;
    int builds_ = 0;   // how many times the list was built (for tests)
};
