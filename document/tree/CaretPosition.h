#pragma once
// Caret positions: a place inside one element (a single position) or a start and an end
// inside one element (a range), through which deletion, splitting, insertion, the undo
// groups' saved carets and the caret's movement between elements find their place.  Each
// element family counts its offsets in its own way and makes its own classes through
// `Element::createCaretPosition` and `Element::createCaretRange`:
//
// | kind | position / range                  | family             | the offset counts                |
// |------|-----------------------------------|--------------------|----------------------------------|
// | 0    | CaretPosition, SingleCaret, ...   | abstract bases     | -                                |
// | 1    | ElementCaret / ElementCaretRange  | block elements     | half steps: 2i the gap before    |
// |      |                                   |                    | child i, 2i+1 on child i         |
// | 2    | InlineCaret / InlineCaretRange    | inline elements    | 0 before, 1 on, 2 after it       |
// | 3    | TextCaret / TextCaretRange        | text runs          | bytes of the run's text          |
// | 4    | MathCaret / MathCaretRange        | math elements      | 0 before, 1 inside, 2 after      |
//
// Classes: CaretPosition (the element, held directly or by path, and the validity flag) with
// SingleCaret (one CaretOffset) and CaretRange (a start and an end CaretOffset); each family
// holds its offset objects by value.  CaretHandle is the shared, reference-counted holder that
// every operation putting a new position somewhere puts it into.
//
// Invariants:
//   1. A position held directly never holds a destroyed element: it keeps its element through
//      a registered ElementPosition, which the tree empties when the element goes.
//   2. A position held by path names its element by child indexes from its document's root
//      and finds whatever stands there now; a path that leads nowhere gives a null element.
//   3. Every operation that reaches the element looks at it first: a null element makes it do
//      nothing (answering false where it answers at all), so a stale position never edits.
//   4. A text offset is clamped to 0..length of the current text, on a character boundary,
//      before any use (the text may have become shorter since the offset was stored).
//   5. An operation that puts a new position into a handle whose old position it still reads
//      takes one more reference to the old one first (a copy of the handle), so that it stays
//      alive until the reading ends.
//
// Ownership: a handle's holder owns its position; the last handle to let go deletes both.  A
// position owns its path.  Positions borrow their elements.

#include <cstdint>
#include <memory>

#include "document/tree/ElementPosition.h"

class Element;
class ElementDocument;
class PositionPath;
class CaretPosition;
class SingleCaret;
class CaretRange;

// ---- CaretHandle ---------------------------------------------------------------------------------

// A shared holder of one position (or of none).  Copies share the holder; putting a position
// into a handle releases the handle's reference to its old holder and gives it a new one
// (count 1).  The holder deletes its position when its count drops to 0.
class CaretHandle {
public:
    CaretHandle() = default;
    CaretHandle(const CaretHandle& other);
    CaretHandle& operator=(const CaretHandle& other);
    ~CaretHandle();

    CaretPosition* position() const { return holder_ ? holder_->position : nullptr; }
    SingleCaret* single() const;
    CaretRange* range() const;
    // Takes ownership of the position (may be null: a holder with no position).
    void put(CaretPosition* position);
    // Lets go of the holder: the handle is empty (no holder at all).
    void release();
    bool hasHolder() const { return holder_ != nullptr; }
    int referenceCount() const { return holder_ ? holder_->count : 0; }

private:
    struct Holder {
        CaretPosition* position = nullptr;
        int count = 1;
    };
    Holder* holder_ = nullptr;
};

// ---- CaretOffset ---------------------------------------------------------------------------------

// The offset inside one element, by the counting of one family.  Operations that depend on
// the element take it (it may be null for an unresolved position: the answers are then those
// of an empty element).
class CaretOffset {
public:
    virtual ~CaretOffset() = default;
    virtual int offsetKind() const { return 0; }
    virtual void setStart(const Element* element) = 0;
    virtual void setEnd(const Element* element) = 0;
    virtual void setMiddle(const Element* element) = 0;
    virtual void copyFrom(const CaretOffset& other) { value_ = other.value_; }
    virtual void setOffset(const Element* element, int value) = 0;
    virtual int offset(const Element* element) const = 0;
    virtual void setChildSide(const Element* element, int index, int side) { (void)element, (void)index, (void)side; }
    virtual int childIndex(const Element* element, bool flag) const { (void)element, (void)flag; return 0; }
    virtual bool isAtStart(const Element* element) const { (void)element; return value_ == 0; }
    virtual bool isAtEnd(const Element* element) const = 0;
    virtual bool isInside(const Element* element) const = 0;
    virtual bool isValid(const Element* element) const { (void)element; return true; }
    virtual bool isAfter(const CaretOffset& other) const { return value_ > other.value_; }
    virtual bool isBefore(const CaretOffset& other) const { return value_ < other.value_; }
    virtual bool isSame(const CaretOffset& other) const { return value_ == other.value_; }
    virtual bool stepForward(const Element* element) = 0;
    virtual bool stepBackward(const Element* element) = 0;
    bool isNotSame(const CaretOffset& other) const { return !isSame(other); }
    bool isAfterOrSame(const CaretOffset& other) const { return isSame(other) || isAfter(other); }
    bool isBeforeOrSame(const CaretOffset& other) const { return isSame(other) || isBefore(other); }
    bool isBetween(const CaretOffset& first, const CaretOffset& last) const {
        return isAfterOrSame(first) && isBeforeOrSame(last);
    }
    // The stored value, as it is (no element consulted).
    std::int32_t raw() const { return value_; }

protected:
    std::int32_t value_ = 0;
};

// ---- CaretPosition -------------------------------------------------------------------------------

class CaretPosition {
public:
    CaretPosition(Element* element, bool byPath);
    virtual ~CaretPosition();
    CaretPosition(const CaretPosition&) = delete;
    CaretPosition& operator=(const CaretPosition&) = delete;

    virtual int positionKind() const { return 0; }
    virtual ElementDocument* document() const { return document_; }
    // By path: what the path leads to now (null when nothing); otherwise the element held.
    virtual Element* element() const;
    virtual void setElement(Element* element);
    virtual void holdByPath();
    // The next (previous) element outside this one that accepts the caret, as a new position
    // held directly at its start (end); false when there is none, or, with sameParentOnly,
    // when it has another parent than this element.  The handle is then left as it was.
    virtual bool toNextCaretStop(CaretHandle& handle, bool sameParentOnly);
    virtual bool toPreviousCaretStop(CaretHandle& handle, bool sameParentOnly);
    // Removes the element from its parent and lays the parent out again; false when there is
    // no element, no parent, or the parent keeps the child.
    virtual bool deleteElement();
    // The handle's valid position in this element or below it goes to the next caret stop
    // after this element, else the previous one, else it is invalidated.
    virtual void moveOutOfElement(CaretHandle& handle);
    virtual bool isStructural() const { return false; }

    bool isHeldByPath() const { return byPath_; }
    bool isValid() const { return valid_; }
    // Clears the validity flag and lets go of the element.
    void invalidate();
    // This position's element is other's element or an ancestor of it.
    bool covers(const CaretPosition& other) const;

protected:
    // Makes a single position of the element (held directly) into the handle at its start.
    static SingleCaret* makeSingle(Element* element, CaretHandle& handle, bool byPath);

private:
    ElementDocument* document_ = nullptr;
    ElementPosition direct_;              // the element held directly (emptied when it dies)
    bool byPath_ = false;
    std::unique_ptr<PositionPath> path_;  // made on first use
    bool valid_ = true;
};

// ---- SingleCaret ---------------------------------------------------------------------------------

class SingleCaret : public CaretPosition {
public:
    SingleCaret(Element* element, bool byPath) : CaretPosition(element, byPath) {}

    virtual CaretOffset& offsetObject() = 0;
    virtual const CaretOffset& offsetObject() const = 0;
    // Each sets the element first when one is given.
    virtual void toStart(Element* element = nullptr);
    virtual void toEnd(Element* element = nullptr);
    virtual void toMiddle(Element* element = nullptr);
    virtual void setOffset(int value);
    virtual int offset() const;
    virtual void setChildSide(int index, int side);
    virtual int childIndex(bool flag) const;
    virtual bool stepForwardInElement();
    virtual bool stepBackwardInElement();
    virtual bool isAtStart() const;
    virtual bool isAtEnd() const;
    virtual bool isInside() const;

    // Ordering: by the elements in document order (an ancestor before its descendants,
    // siblings by index), then by the offsets inside one element.  Positions without an
    // element, or in different trees, are neither before, after nor the same.
    virtual bool isAfter(const SingleCaret& other) const;
    virtual bool isBefore(const SingleCaret& other) const;
    virtual bool isSame(const SingleCaret& other) const;
    virtual bool isNotSame(const SingleCaret& other) const { return !isSame(other); }
    virtual bool isAfterOrSame(const SingleCaret& other) const { return isSame(other) || isAfter(other); }
    virtual bool isBeforeOrSame(const SingleCaret& other) const { return isSame(other) || isBefore(other); }
    virtual bool isBetween(const SingleCaret& first, const SingleCaret& last) const {
        return isAfterOrSame(first) && isBeforeOrSame(last);
    }

    // Movement; each answers false when it found nowhere to go (the handle is then unchanged).
    virtual bool stepBackward(CaretHandle& handle, bool acrossParents);
    virtual bool stepForward(CaretHandle& handle);
    virtual bool toParent(CaretHandle& handle);
    // The position at which the caret shows for this one; the base puts a copy of itself.
    virtual bool caretStop(CaretHandle& handle);

    // Editing of the family; see each family's file.
    virtual bool deleteAtCaret() = 0;
    virtual void adjustForDelete(CaretHandle& handle) = 0;
    virtual bool split() = 0;
    virtual bool insertElement(Element* element) { (void)element; return false; }
    virtual bool insertText(const char* text) { (void)text; return false; }
    virtual void adjustForInsert(CaretHandle& handle, int length) { (void)handle, (void)length; }

    // setChildSide with the child's index in this position's element.
    void moveToChild(const Element* child, int side);
    // A new position of the element (held by path when asked) with this offset.
    bool copyInto(CaretHandle& handle, bool byPath) const;

    // A position that an adjustment left at its element's start moves to the end of the
    // previous caret stop of the same parent, when there is one.
    static void snapToPreviousStop(CaretHandle& handle);

    // Set when the caret of a window was captured into this position.
    bool isViewCaret = false;
};

// ---- CaretRange ----------------------------------------------------------------------------------

class CaretRange : public CaretPosition {
public:
    CaretRange(Element* element, bool byPath) : CaretPosition(element, byPath) {}

    virtual void assign(const CaretRange& other);
    virtual void setStartFrom(const CaretOffset& offset) { start().copyFrom(offset); }
    virtual void setEndFrom(const CaretOffset& offset) { end().copyFrom(offset); }
    virtual CaretOffset& start() = 0;
    virtual const CaretOffset& start() const = 0;
    virtual CaretOffset& end() = 0;
    virtual const CaretOffset& end() const = 0;
    virtual bool isOrdered() const { return start().isBeforeOrSame(end()); }
    virtual bool isCollapsed() const { return start().isSame(end()); }
    virtual void selectAll();
    virtual bool isWhole() const;
    // A new single position of the element (held directly) at the start or the end.
    virtual bool startPosition(CaretHandle& handle) const;
    virtual bool endPosition(CaretHandle& handle) const;
    virtual bool deleteRange() = 0;
    virtual void adjustForDelete(CaretHandle& handle) = 0;

    // The start and the end offsets as the element reads them (text offsets clamped).
    int startOffset() const { return start().offset(element()); }
    int endOffset() const { return end().offset(element()); }
};
