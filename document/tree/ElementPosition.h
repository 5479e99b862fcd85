#pragma once
// ElementPosition and TextPosition: a place in a worksheet (an element and an offset in it),
// and the same with its pixel rectangle in the view, which can be held as a point while the
// tree changes.  Also the "{MARK " record that stores the caret in a worksheet file.
//
// Offsets belong to the element: a character index in text kinds (5, 6, 7), -1 in math kinds
// (9, 10) for the place after the whole expression, 0 for block elements.
//
// Invariants:
//   1. A position never holds a destroyed element.  Every live position is registered in one
//      process-wide list; when an element is destroyed (or handed to destroyElement) each
//      position on it or below it leaves it without calling into it: a plain position detaches,
//      a TextPosition keeps its place as a pending point (holdAsPoint) and is resolved again
//      the next time its element is asked for.
//   2. The element a position leaves is told (`positionReleased`), except in invariant 1.
//
// "{MARK " record:
//
// | item   | form                                                                      |
// |--------|---------------------------------------------------------------------------|
// | head   | raw "{MARK "                                                              |
// | path   | quoted string: child indexes from the root down to the element, decimal,  |
// |        | separated by one blank; empty for the root or a detached position          |
// | offset | integer                                                                   |
// | tail   | raw "}"                                                                   |
//
// readMark takes the path from the file: each index is read with bounds (at most 9 digits,
// no sign); anything else is a missing child, and the record is refused with the position
// unchanged.  The offset is checked against the element it lands on: 0..text length for text
// kinds, 0 for block elements, -1..text length for math kinds; one out of range puts the
// position at the element's end.

#include <cstdint>

#include "document/tree/ElementEnvironment.h"

class Element;
class KWorksheetReader;
class KWorksheetWriter;
class ParagraphLine;
class CaretHandle;

class ElementPosition {
public:
    explicit ElementPosition(ElementDocument* document = nullptr);
    ElementPosition(Element* element, int offset);
    ElementPosition(const ElementPosition& other);
    ElementPosition& operator=(const ElementPosition& other);

    virtual ~ElementPosition();
    virtual void detach(bool notify);
    virtual void setPosition(Element* element, int offset);
    virtual Element* element() { return element_; }
    virtual bool moveToEnd();
    virtual bool placeAtEndOf(Element* element);
    // A caret position of the element at this offset into the handle (held by path when
    // byPath is set); without an element the handle gets a holder with no position and the
    // answer is false.
    virtual bool captureCaret(CaretHandle& handle, bool byPath);
    // Back to the handle's position, unless it has no element any more.
    virtual void restoreFromCaret(CaretHandle& handle);

    int offset() const { return offset_; }
    ElementDocument* document() const { return document_; }
    void setDocument(ElementDocument* document) { document_ = document; }
    // The held element without resolving anything.
    Element* heldElement() const { return element_; }

    // The element (or one it holds) is being destroyed: leave it without calling into it.
    virtual void elementDestroyed();

    // Every position whose element is `element` or lies below it leaves it (invariant 1).
    static void releasePositionsIn(const Element* element);
    static void releasePositionsOn(const Element* element);

protected:
    ElementDocument* document_ = nullptr;
    Element* element_ = nullptr;
    std::int32_t offset_ = 0;

private:
    void registerSelf();
    void unregisterSelf();
    ElementPosition* prevLive_ = nullptr;
    ElementPosition* nextLive_ = nullptr;
};

class TextPosition : public ElementPosition {
public:
    explicit TextPosition(ElementDocument* document = nullptr) : ElementPosition(document) {}
    TextPosition(Element* element, int offset) : ElementPosition(element, offset) {}
    TextPosition(const TextPosition& other) = default;
    TextPosition& operator=(const TextPosition& other) = default;

    void detach(bool notify) override;
    void setPosition(Element* element, int offset) override;
    Element* element() override;
    virtual void setFromPoint(int x, int y, bool rememberColumn);
    void elementDestroyed() override { holdAsPointSilently(); }

    Element* elementIfResolved() const { return pending ? nullptr : element_; }
    void holdAsPoint();
    const ElementRect& rectangle();
    bool equals(TextPosition& other);
    void offsetBy(ElementPoint point) {
        rect.x += point.x;
        rect.y += point.y;
    }
    ParagraphLine* line();
    void invalidate() { valid = false; }

    // Fields (elements and callers read and set them).
    bool ownCaret = false;   // the element draws the caret itself
    bool valid = false;      // the rectangle is up to date
    bool pending = false;    // held as a point
    int pendingX = 0;
    int pendingY = 0;
    ElementRect rect;
    int hintA = -1;
    int hintB = -1;
    int extra = 0;           // the further word that detach clears
    int column = 0;          // the remembered x for vertical moves

private:
    void holdAsPointSilently();
};

// The "{MARK " record of a position.
void writeMark(KWorksheetWriter& writer, ElementPosition& position);
// Reads one record; false at the end of input, for another record (skipped), and for a path
// that does not fit the tree under `root` (the position is then unchanged).
bool readMark(KWorksheetReader& reader, ElementPosition& position, Element* root);
// The offset of a "{MARK " record checked against the element it lands on.
int clampMarkOffset(Element* element, int offset);

