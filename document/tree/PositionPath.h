#pragma once
// PositionPath: names an element by the child indexes that lead to it from its document's root,
// so that an undo record or a held caret finds the same place again after the element objects
// on the way were deleted and re-created.
//
// Fields, in order: the index array (owned), the count in use, the capacity, the growth step
// (32), the document whose root the path starts from, and the no-element flag.
//
// indexes[0] is the element's index in its parent, indexes[1] the parent's index in the
// grandparent, ..., indexes[count - 1] the top-level ancestor's index in the root.  The root
// itself has an empty path.
//
// A path leads nowhere (element() answers null) when it was made for no element, for an element
// that is not in its document's tree (a detached element or subtree), or when one of its steps
// no longer finds a child.  Callers treat that as "the place is gone".

#include <cstdint>

class Element;
class ElementDocument;

class PositionPath {
public:
    static constexpr int GROWTH_STEP = 32;

    explicit PositionPath(Element* element = nullptr);
    PositionPath(const PositionPath& other);
    PositionPath& operator=(const PositionPath& other);
    ~PositionPath();

    // Recomputes the path for the element (null: no element).
    void assign(Element* element);
    // The element the path leads to now, or null.
    Element* element() const;
    // Frees the array; count and capacity 0.
    void clear();

    int count() const { return count_; }
    int capacity() const { return capacity_; }
    int indexAt(int i) const { return i >= 0 && i < count_ ? indexes_[i] : -1; }
    bool noElement() const { return noElement_; }
    ElementDocument* document() const { return document_; }

private:
    // Writes the index at position i, growing the array to the next multiple of the step.
    void put(int i, std::int32_t value);

    std::int32_t* indexes_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
    int growStep_ = GROWTH_STEP;
    ElementDocument* document_ = nullptr;
    bool noElement_ = false;
};
