#pragma once
// TextElement (kind 5, record "TEXT"): a run of characters in one character style inside a
// paragraph.  The paragraph lays its runs out into lines; a run breaks itself into pieces, one
// per line it touches, draws and highlights them, hit-tests points, writes its record and
// exports itself as plain text, LaTeX and HTML.  Editing of the characters (typing, deleting,
// splitting, style changes, caret moves, marking) is in TextElement_edit.cpp.
//
// Fields, in order:
//   text        the characters (bytes of the code page; a character is one or two bytes in
//               the Japanese mode).  Every stored offset is moved to a character boundary
//               before use.
//   charStyle   16-bit index of the character style in the document's style set; -1 none
//               (the paragraph's own character part).
//   pieces      the run's parts on the paragraph's lines, rebuilt at every layout.
//   markStart, markEnd
//               with selection mark 2 the bytes markStart..markEnd-1 are marked.
//
// Invariants:
//   1. 0 <= markStart <= markEnd <= text length after every operation of the run; a change
//      of the text (an undo, an edit through another position) clamps them (clampMarks), so
//      drawing the highlight, counting and writing the marked part never read past the text.
//   2. pieces are valid from a layout of the paragraph to the next change of the run; every
//      change ends in an in-place re-fit or a layout.
//   3. Every change of the text, the style or the mark made by an editing operation is
//      recorded for undo as a pair of modify records (the run before, the run after).
//
// Owned by its paragraph; owns its text and pieces.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "document/elements/StyledInlineElement.h"
#include "util/KString.h"

class CharStyle;
class KWorksheetReader;

// One part of a run on one line of the paragraph.
struct TextPiece {
    int start = 0;        // byte offset of the piece's first character
    int length = 0;       // bytes; -1 up to the end of the text (the single piece of placeInLine)
    int lineIndex = -1;   // the paragraph's line and the slot of that line holding the piece
    int pieceIndex = -1;
};

// The resolved attributes breaking and editing read.
struct TextStyleFacts {
    bool readOnly = false;
    int lineBreak = 1;        // 1 at spaces, 2 anywhere, 3 only at newlines
    bool doubleByte = false;  // the style's font is double-byte and the Japanese mode is on
};

class TextElement : public StyledInlineElement {
public:
    // Context menu resource of a run.
    static constexpr int CONTEXT_MENU = 1250;

    // The first `length` bytes of text (0: up to its terminator; null: empty).
    TextElement(int charStyle, const char* text, int length = 0);
    // The same style and characters; no pieces, no mark.
    TextElement(const TextElement& other);

    // ---- kind and queries ------------------------------------------------------------------
    Element* cloneElement() const override { return new TextElement(*this); }
    int elementKind() const override { return KIND_TEXT; }
    bool isText() const override { return true; }
    bool isEmpty() const override { return text_.length() == 0; }
    bool acceptsInnerCaret() const override { return true; }
    int contextId() const override { return CONTEXT_MENU; }

    const char* text() const { return text_.text(); }
    int textLength() const { return text_.length(); }
    int styleIndex() const { return charStyle_; }
    // Sets the style index as a reader or an import finds it (no undo record, no layout); an
    // index that does not fit 16 bits becomes -1 (the paragraph's).
    void setStyleIndex(int index) { charStyle_ = std::int16_t(index >= -1 && index < 32768 ? index : -1); }
    int markStart() const { return markStart_; }
    int markEnd() const { return markEnd_; }
    const std::vector<TextPiece>& pieces() const { return pieces_; }

    // The resolved character style (with the paragraph's style; null without a document).
    const CharStyle* characterStyle();
    TextStyleFacts styleFacts();

    // ---- records and export ----------------------------------------------------------------
    void writeElement(WalkControl& control) override;
    void exportText(WalkControl& control) override;
    void exportLatexElement(WalkControl& control) override;
    void exportHtmlElement(WalkControl& control) override;

    // ---- walks -----------------------------------------------------------------------------
    void markUsedStyles(WalkControl& control) override;
    void collectWords(WalkControl& control) override;
    void findText(WalkControl& control) override;
    void countCharacters(WalkControl& control) override;
    void replaceStyleIndex(WalkControl& control) override;
    void remapStyleIndex(WalkControl& control) override;

    // ---- positions and marks ---------------------------------------------------------------
    bool placePositionAtEdge(ElementPosition& position, bool atStart) override;
    bool isPositionSelected(const ElementPosition& position) const override;
    void helpWordAt(KString& word, int offset) const override;
    void selectionMarkChanged(int newMark) override;
    void positionReleased(ElementPosition& position, int offset) override { (void)position, (void)offset; }
    bool mouseMove(const ElementMouseEvent& event) override;

    // ---- layout and drawing (TextElement_layout.cpp) -----------------------------------------
    void measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) override;
    void placeInLine(int childIndex, const ExtentRecord& extent) override;
    void flowIntoLines(int childIndex) override;
    void draw(int x, int y, const ElementRect& clip, ExtentRecord& piece, int part) override;
    void hitTest(TextPosition& position, int localX, int localY, int part) override;
    void locatePosition(TextPosition& position) override;
    ParagraphLine* lineAtPosition(TextPosition& position) override;
    // Absorbs the next and then the previous sibling when they are runs of the same style;
    // the number absorbed (0 to 2).
    int mergeWithNeighbours();

    // ---- editing (TextElement_edit.cpp) ------------------------------------------------------
    bool movePosition(TextPosition& position, int code, Element* child, int index) override;
    // A double click marks the word at the caret (handled); a triple click clears the run's
    // mark and is left to the paragraph.
    bool mouseDown(const ElementMouseEvent& event) override;
    void selectRange(int start, int end) override;
    int markFromSelection(Selection& selection) override;
    // With markedOnly, a partly marked run gives a range over its marked bytes.
    void createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath) override;
    // Codes 0 (read-only test), 3 (format), 9 and 10 (typing), 11 (delete), 23 (split the
    // paragraph), 31 (convert), 40 (character style).
    bool command(int code, const char* text, std::intptr_t argument) override;
    // The element starting the second half: this run (offset 0 or read-only), the next child
    // (at the end), or a new run of the bytes from the offset.
    Element* splitAt(ElementPosition& position) override;
    // The text positions hand byte offsets (TextCaret.h); the whole run's removal is theirs.
    Element* splitAtCaret(const SingleCaret& caret) override;
    void deleteRange(CaretRange& range) override;
    void deleteAtPosition(SingleCaret& position) override;
    bool fitsWithin(int maxWidth, const CaretRange* range, CaretHandle& rangeHandle) override;
    // The extent of the range's bytes (the whole text without a range) in the run's style.
    ElementExtent rangeExtent(const CaretRange* range, DocumentView* view) const override;

    // ---- changes (each recorded for undo) --------------------------------------------------
    // Inserts text at the offset, then lays the paragraph out.
    void insertTextAt(const char* text, int offset) override;
    // Marks bytes start..end-1 (clamped into the text and onto character boundaries): mark 1
    // for the whole text, 2 for a part, 0 for an empty range.
    void setMarkRange(int start, int end);
    // Keeps the mark range within the text (invariant 1).
    void clampMarks();

protected:
    // The bytes a walk covers: the marked part in a walk over marked material only, else the
    // whole text.  The marks are kept within the text first.
    const char* walkedText(const WalkControl& control, int& length);
    // Writes the run's record: its tag, the `leading` integers, the style, the length and the
    // quoted bytes of the walk.
    void writeTextRecord(WalkControl& control, std::initializer_list<int> leading);

    const char* layoutText(int& length, int& charStyle) const override {
        length = text_.length();
        charStyle = charStyle_;
        return text_.text();
    }
    bool characterCaret() const override { return true; }

    // Runs `change` between the two halves of a modify record pair (when recording), then
    // clamps the marks.
    void recordChange(const std::function<void()>& change);

    // The offset moved onto a character boundary within 0..length.
    int aligned(int offset, bool toStart) const;
    // Selects the run's style on the view.
    void selectOwnStyle(DocumentView& view);
    // The index of the piece holding the offset (the last one at the end); -1 without pieces.
    int pieceAt(int offset) const;
    // Bytes of piece k: its length, or the rest of the text for -1.
    int pieceLength(int k) const;
    // Caret rectangle at the offset inside piece k.
    void caretRect(TextPosition& position, int offset, int k);
    // Measures piece k again and has the paragraph re-fit it in place.
    void refitPiece(int k, bool forceFull);
    void insertAtCaret(const char* text);
    // Erases the character at the offset (re-fitting in place in the last piece).
    void eraseAt(int offset);
    // Backspace (a non-empty text) or Delete at the caret.
    bool deleteAtCaret(const char* text);
    // The run that carries the marked bytes alone (cut out of this one), or a new empty run
    // at the caret when nothing is marked.
    TextElement* isolateMark();
    bool applyFormat(const struct FormatCommand& format);
    bool convertMark(int commandId);

    KString text_;
    std::int16_t charStyle_ = -1;
    std::vector<TextPiece> pieces_;
    int markStart_ = 0;
    int markEnd_ = 0;
};

// The "TEXT" record's reader (the tag table calls it inside a guard).
bool readTextRecord(KWorksheetReader& reader, Element*& out, Element* parent);
// Skips the value that files of format 2.0 may keep after a run's text (a 2 and two integers,
// or one other integer).
void skipFormat20Trailer(KWorksheetReader& reader);
// Registers the "TEXT" reader with the tag table and the undo history's text hook.
void registerTextReaders();
