#pragma once
// InlineElement: the base of the element classes that sit inside a paragraph (text runs, inputs,
// math, pictures, plots).  Adds the parent link (not owned; the paragraph) and the layout protocol
// between a paragraph and its inline children: the child measures itself through the view, is
// placed as one piece on the paragraph's current line, draws one piece, and places a position for
// a click inside it.
//
// Fields: width, height, ascent (view units) from the last measure; lineIndex, pieceIndex: the
// line and piece of the parent paragraph where the element was last placed (valid only after the
// paragraph's layout).

#include "document/tree/DocumentView.h"
#include "document/tree/Element.h"

class ParagraphElement;

class InlineElement : public Element {
public:
    InlineElement() = default;
    InlineElement(const InlineElement& other) : Element(other) {}

    // ---- the inline layout protocol --------------------------------------------------------
    // Paints the element (or one part of it) with its top-left corner at (x, y); the base draws
    // the element's layout text, when it has one, in its character style.
    virtual void draw(int x, int y, const ElementRect& clip, ExtentRecord& piece, int part);
    // Fills the extent (x, y, width, height, ascent); says whether the element flows over lines
    // and whether it holds a forced line break.  The base measures nothing.
    virtual void measure(ExtentRecord& out, bool& flows, bool& hasLineBreak);
    // Appends the element whole to the parent's current line and remembers line and piece.
    virtual void placeInLine(int childIndex, const ExtentRecord& extent);
    // Flows the element over the paragraph's lines; without a flowing layout of its own the
    // element starts a new line and sits there whole.
    virtual void flowInLines(int childIndex, const ExtentRecord& extent);
    virtual bool canFlow() const { return false; }
    // A click at local coordinates: before the element (offset 0) in its left half, after it
    // (offset 2) in its right half; then the position's rectangle.
    virtual void hitTest(TextPosition& position, int localX, int localY, int part);
    // Whether a caret stands inside the element (text kinds) or only before and after it.
    virtual bool acceptsInnerCaret() const { return false; }

    // ---- Element operations ------------------------------------------------------------------
    bool isInline() const override { return true; }
    bool isEmpty() const override { return false; }
    Element* parent() const override { return parent_; }
    void setParent(Element* element) override { parent_ = element; }
    void locatePosition(TextPosition& position) override;
    bool movePosition(TextPosition& position, int code, Element* child, int index) override;
    ParagraphLine* lineAtPosition(TextPosition& position) override;
    void caretArrived() override;
    // Lays the parent paragraph out again and answers the element's size.
    void layout(ElementExtent& area) override;
    // Code 11 (Delete): an empty text removes the element, any other text or none beeps.
    bool command(int code, const char* text, std::intptr_t argument) override;
    // Puts the document's active caret on this element at the offset (when there is a caret).
    void setCaretOffset(int offset) override;
    // A caret on the element (not inside it) is a frame around its rectangle, without handles.
    void drawCaret(TextPosition& position, int mode) override;
    // Inverts the element's rectangle in the view.
    void selectionMarkChanged(int newMark) override;
    // 1 (wholly marked) when the selection holds the element's whole rectangle, else 0.
    int markFromSelection(Selection& selection) override;
    // On white, with a line along the baseline, at the element's size.
    void renderAt(const ElementPoint& baseline, DocumentView& view) override;
    // The element's rectangle in document coordinates.
    ElementRect documentRect() const;
    // Inline positions before, on or after the element (InlineCaret.h); text runs make text
    // positions over their bytes (TextCaret.h), and a range over the marked part of a partly
    // marked run covers the run's marked bytes.
    void createCaretPosition(CaretHandle& handle, bool byPath) override;
    void createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath) override;

    // The paragraph that holds the element (null when the parent is not a paragraph).
    ParagraphElement* paragraph() const;

    int width = 0;
    int height = 0;
    int ascent = 0;
    int lineIndex = -1;
    int pieceIndex = -1;

protected:
    // The text the element shows as one line until its own layout lands (text runs, inputs and
    // the stand-ins of math and expression editing), with its character style (-1: the
    // paragraph's); null for elements that show something else.  Elements with a text measure
    // it, draw it and, when characterCaret() is true, keep the caret between its characters.
    virtual const char* layoutText(int& length, int& charStyle) const {
        (void)length, (void)charStyle;
        return nullptr;
    }
    virtual bool characterCaret() const { return false; }
    // Measures text in a character style (-1: the paragraph's) through the active view: width,
    // the font's height and ascent.  Zero extent without a view.
    void measureText(ExtentRecord& out, int charStyle, const char* text, int length);
    // Draws text in a character style with the top of its line at (x, y).
    void drawTextAt(int x, int y, int charStyle, const char* text, int length);
    // The style key of a character style inside the parent paragraph.
    StyleKey styleKey(int charStyle) const;

private:
    Element* parent_ = nullptr;
};
