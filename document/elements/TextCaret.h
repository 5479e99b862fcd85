#pragma once
// The text kind of caret positions (kind 3), made by text runs: the offset counts bytes of the
// run's text, on character boundaries of the program's code page (two-byte characters in the
// Japanese mode).
//
// A stored offset may lie beyond the text or inside a two-byte character: the text became
// shorter since (an undo, an edit through another position) or the path now leads to another
// run.  Every use therefore reads the offset clamped to 0..length and moved back to the start
// of its character; the editing operations store that clamped offset before they hand it to
// the run, so the run never sees an offset outside its text.
//
// Editing goes through the run's operations (deleteAtPosition, deleteRange, insertTextAt,
// splitAtCaret); the adjustments move other positions in the same run:
//   after deleteAtCaret:  offsets after this one move back by the bytes of the deleted
//                         character (one, or two for a two-byte character);
//   after deleteRange:    offsets inside the range go to its start, later ones move back by
//                         its length;
//   after insertText:     offsets at or after this one move on by the inserted length;
// and an adjusted position left at the run's start goes to the end of the previous caret stop
// of the same paragraph, when there is one.

#include "document/tree/CaretPosition.h"

class TextElement;

class TextCaretOffset : public CaretOffset {
public:
    int offsetKind() const override { return 3; }
    void setStart(const Element*) override { value_ = 0; }
    void setEnd(const Element* element) override;
    void setMiddle(const Element* element) override;
    // Stores the value as it is; offset answers it clamped to the current text.
    void setOffset(const Element*, int value) override { value_ = value; }
    int offset(const Element* element) const override;
    bool isAtStart(const Element* element) const override { return offset(element) == 0; }
    bool isAtEnd(const Element* element) const override;
    bool isInside(const Element* element) const override;
    // By one character, never past the end (before the start).
    bool stepForward(const Element* element) override;
    bool stepBackward(const Element* element) override;
};

class TextCaret : public SingleCaret {
public:
    TextCaret(Element* element, bool byPath) : SingleCaret(element, byPath) {}
    int positionKind() const override { return 3; }
    CaretOffset& offsetObject() override { return offset_; }
    const CaretOffset& offsetObject() const override { return offset_; }
    // An empty run is removed; otherwise the run deletes the character at the caret.
    bool deleteAtCaret() override;
    void adjustForDelete(CaretHandle& handle) override;
    // At either end nothing is split (true); otherwise true when the run gave a second part.
    bool split() override;
    bool insertText(const char* text) override;
    void adjustForInsert(CaretHandle& handle, int length) override;

private:
    TextElement* run() const;
    TextCaretOffset offset_;
    int deletedBytes_ = 1;   // the length of the character deleteAtCaret deleted
};

class TextCaretRange : public CaretRange {
public:
    TextCaretRange(Element* element, bool byPath) : CaretRange(element, byPath) {}
    int positionKind() const override { return 3; }
    CaretOffset& start() override { return start_; }
    const CaretOffset& start() const override { return start_; }
    CaretOffset& end() override { return end_; }
    const CaretOffset& end() const override { return end_; }
    // A range over the whole run removes it; otherwise the run deletes the bytes from the
    // start up to the end (excluded).
    bool deleteRange() override;
    void adjustForDelete(CaretHandle& handle) override;

private:
    TextElement* run() const;
    TextCaretOffset start_;
    TextCaretOffset end_;
    // What deleteRange did, for the adjustment that follows it (the run is shorter by then).
    bool deleted_ = false;
    bool deletedWhole_ = false;
};
