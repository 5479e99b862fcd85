#pragma once
// ParagraphElement (kind 2, worksheet tag PARA): a line-broken run of inline elements with a
// paragraph style, an optional prompt ("> ", "DBG> ") and an optional bookmark name.
//
// Members after the composite's: styleIndex (index into the document's style set; user styles
// from 256), prompt (owned copy or none), outputFlag (the paragraph is kernel output: set when
// an execution group places it; output paragraphs go when a group's output is replaced),
// bookmark (empty: none).
//
// The children are the composite's slots (each child owned, inserted and removed with undo
// recording); the slots' geometry is not used.  The paragraph breaks its inline children into
// lines (ParagraphLine) within the width its parent gives it, places each child as a piece on
// a line, aligns and indents the lines from its style, and answers hit tests and caret moves
// from the lines.  All measuring and drawing goes through the active view.
//
// Layout fields: the lines (owned; currentLine is the one being filled, -1 without lines),
// fontHeight and fontAscent of the paragraph style's font, the content width after margins,
// the measured prompt and list-marker boxes, markerIndent (the indent of continuation lines)
// and fixedWidth (when positive: the content width and the room on any line).
//
// Invariant: destroying a paragraph that has a bookmark marks its document's bookmark index
// as not built, so no stale name survives.

#include <cstdint>
#include <memory>
#include <string>

#include <vector>

#include "document/tree/CompositeElement.h"
#include "document/tree/DocumentView.h"
#include "document/tree/ParagraphLine.h"
#include "util/KString.h"

class Document;
class ElementDocument;
class ParaStyle;

class ParagraphElement : public CompositeElement {
public:
    // Paragraph styles of the worksheet's outputs and lists.
    enum StyleIndex : int {
        STYLE_NORMAL = 0,
        STYLE_TEXT_OUTPUT = 2,
        STYLE_LINE_PRINTED = 6,
        STYLE_WARNING = 7,
        STYLE_ERROR = 8,
        STYLE_DIAGNOSTIC = 9,
        STYLE_KELVO_OUTPUT = 11,
        STYLE_KELVO_PLOT = 13,
        STYLE_BULLET_ITEM = 15,
        STYLE_DASH_ITEM = 16,
    };

    ParagraphElement(int styleIndex, const char* prompt);
    // Copies the output flag, bookmark, style and prompt, then the children.
    ParagraphElement(const ParagraphElement& other);
    ~ParagraphElement() override;

    Element* cloneElement() const override { return new ParagraphElement(*this); }
    int elementKind() const override { return KIND_PARAGRAPH; }
    bool isOutput() const override { return outputFlag_ != 0; }
    void setOutput(bool flag) override { outputFlag_ = flag ? 1 : 0; }

    // Frees the old prompt; keeps a copy of the text, or none for null.
    void setPrompt(const char* text);
    const char* prompt() const { return prompt_.get(); }
    // The resolved paragraph style of styleIndex in the document's style set (this paragraph's
    // own document when none is given); null without a document.
    const ParaStyle* paraStyle(Document* document = nullptr);
    // True with a prompt, or for the Bullet Item and Dash Item styles.
    bool isPromptOrList() const;
    // The document's bookmark index (when there is a document) is marked as not built.
    void clearBookmarkIndex();

    // ---- layout ------------------------------------------------------------------------------
    // Breaks the children into lines for the width (negative: the parent's content width);
    // only while the needs-layout bit is set.
    void measure(ElementExtent& out, int width) override;
    void layout(ElementExtent& area) override;
    int availableWidth() const override { return contentWidth(); }
    // Starts a new line (a current line without pieces is reused).
    void newLine();
    // The room left on the current line, and the width of continuation lines.
    int remainingWidth() const;
    int continuationWidth() const;
    // Appends a piece to the current line (a first line is made when there is none).
    void addPiece(int childIndex, const ExtentRecord& extent, int part, int& lineIndex, int& pieceIndex);
    // Adds the line's and the piece's offsets to the point; answers the line (null: none).
    ParagraphLine* piecePosition(int line, int piece, ElementPoint& point) const;
    // The piece's rectangle inside the paragraph; answers the line (null: none).
    ParagraphLine* pieceRectAt(int line, int piece, ElementRect& rect) const;
    // The composite's size notice does not apply to lines: the paragraph's tree operations
    // lay it out whole instead (ParagraphElement_tree.cpp).
    void childResized(Element* child, int x, int y, int width, int height) override;
    // Quick re-fit after one piece changed its extent; a full layout when the line has no
    // room for it or when forced.
    void childResized(Element* child, int line, int piece, const ExtentRecord& extent, bool forceFull);
    // Right end, bottom and baseline of line n (zeros for no such line).
    void lineBottom(int n, ElementPoint& rightBottom, int& baselineY) const;
    int contentWidth() const { return fixedWidth > 0 ? fixedWidth : contentWidth_; }
    int lineCount() const { return static_cast<int>(lines_.size()); }
    ParagraphLine* lineAt(int index) const override;
    int fontHeight() const { return fontHeight_; }
    int fontAscent() const { return fontAscent_; }
    const ExtentRecord& promptBox() const { return promptBox_; }
    const ExtentRecord& markerBox() const { return markerBox_; }
    int markerIndent() const { return markerIndent_; }

    // ---- drawing, hit tests, positions -------------------------------------------------------
    void draw(int x, int y, const ElementRect& clip) override;
    int childOffset(const Element* child, ElementPoint& out) const override;
    void positionAtPoint(TextPosition& position, int x, int y) override;
    Element* elementAtPoint(int x, int y, ElementPoint& origin) override;
    void locatePosition(TextPosition& position) override;
    bool movePosition(TextPosition& position, int code, Element* child, int index) override;
    ParagraphLine* lineAtPosition(TextPosition& position) override;
    // The selection's class of the span from the first line's top-left to the last line's
    // bottom-right (the bounds without lines); 0 inside a collapsed section.
    int markFromSelection(Selection& selection) override;
    // A triple click selects the whole paragraph.
    bool mouseDown(const ElementMouseEvent& event) override;

    // ---- tree editing (ParagraphElement_tree.cpp) -------------------------------------------
    // Each is recorded for undo through the composite's records and leaves the paragraph laid
    // out again (or needing layout while layout is held).
    bool insertChild(Element* child, Element* reference, int mode) override;
    // Removes and deletes the child; an emptied paragraph stays.
    void removeChild(Element* child) override;
    bool removeChildAt(int index) override;
    bool replaceChild(Element* oldChild, Element* newChild) override;
    // Index 0 (or one outside 1..childCount) changes nothing and answers the paragraph; else a
    // new paragraph after this one (the same named style, or a private copy of an unnamed one)
    // takes children index.. and is answered.
    Element* splitAtIndex(int index) override;
    Element* splitAtChild(Element* child) override;
    // Puts the paragraph into a new execution group standing where it stood (a section's
    // heading leaves a new heading paragraph behind); the group, or null when none can be made.
    Element* wrapInGroup();
    // Makes the execution group of wrapInGroup around its first child; set by the layer that
    // owns execution groups.
    static Element* (*makeExecutionGroup)(Element* first);
    // The style index of a paragraph split off this one: the same for a named style, a new
    // private copy of an unnamed one.
    int styleForSplit();

    // ---- editing commands (ParagraphElement_edit.cpp) ---------------------------------------
    // 0 Enter, 1 Insert Subsection, 2 Insert Section, 3 Set Format (a FormatCommand), 4 Set
    // Paragraph Style, 9 and 10 typing at paragraph level, 11 Delete (argument: the child that
    // passed it on), 15 Delete Paragraph; false for every other code.
    bool command(int code, const char* text, std::intptr_t argument) override;

    // ---- records and exports (ParagraphElement_records.cpp) ---------------------------------
    // The "PARA" record: style, prompt, output flag and bookmark after the head; in a walk of
    // marked elements only a wholly marked paragraph writes its head and tail.
    void writeElement(WalkControl& control) override;
    // Pass 1 sets the line prefix from the first child (output: none); pass 2 ends the line.
    void exportText(WalkControl& control) override;
    // Paragraph, bookmark anchor and prompt ("<tt>") around the children.
    void exportHtmlElement(WalkControl& control) override;
    // A block (the style's environment), then a heading macro, the result macro and an
    // output, input or justification environment; pass 2 closes the block.
    void exportLatexElement(WalkControl& control) override;
    // The first child of a section that has a parent.
    bool isSectionHeading() const;
    // The environment named after the paragraph's style, or "" (Normal, outputs, headings,
    // unnamed styles and names LaTeX cannot take).
    std::string latexStyleEnvironment();

    // ---- walks -------------------------------------------------------------------------------
    void collectBookmarks(WalkControl& control) override;
    // A paragraph-style change (kind 2) naming this paragraph's style takes the new index.
    void replaceStyleIndex(WalkControl& control) override;
    // Cuts the lines into pages: a style that starts a new page opens one; a line that does
    // not fit on the current page goes whole onto a new one.  Nothing in a collapsed section.
    void paginate(WalkControl& control) override;
    // Marks the paragraph style and the styles it is based on as used.
    void markUsedStyles(WalkControl& control) override;
    // A user style index renumbered while its worksheet was read takes its new index; an
    // index the load-time map does not cover stays.
    void remapStyleIndex(WalkControl& control) override;
    // The style boxes show the paragraph's style; the paragraph context bar is selected.
    void caretArrived() override;
    // The context bar of paragraphs.
    static constexpr int CONTEXT_BAR = 0;

    int fixedWidth = 0;

    std::int16_t styleIndex = 0;
    KString bookmark;

private:
    // Aligns and stacks the lines; the extent of the paragraph.
    void finishLayout(ElementExtent& out, int extra, int hang, int leftIndent);
    int lineIndexOfChild(int index) const;
    // The resolved style, or the defaults (in `fallback`) without a document.
    const ParaStyle* styleOrDefaults(ParaStyle& fallback);
    // The points of style measures as view units (`zoomed` also under the view's zoom).
    int units(int points, bool zoomed) const;

    // Command helpers (ParagraphElement_edit.cpp).
    bool enter();
    bool insertSection(bool subsection);
    bool setFormat(const struct FormatCommand& format);
    bool deleteWithBuffer(const char* text, Element* child);
    // An empty paragraph gets an empty input (when the model starts with active input) or an
    // empty text run.
    void fillIfEmpty(const ParagraphElement& model);

    std::vector<std::unique_ptr<ParagraphLine>> lines_;
    int currentLine_ = -1;
    int fontHeight_ = 0;
    int fontAscent_ = 0;
    int contentWidth_ = 0;
    int markerIndent_ = 0;
    int firstIndent_ = 0;       // the style's first-line indent in view units (zoomed)
    ExtentRecord promptBox_;
    ExtentRecord markerBox_;
    int listKind_ = 0;
    std::unique_ptr<char[]> prompt_;
    unsigned char outputFlag_ = 0;
};

// The tag table's readers of "PARA" and of the oldest format's regions "INP_R", "COM_R" and
// "OUT_R" (ParagraphElement_records.cpp).  Each answers true; a record that cannot be rebuilt
// delivers no element.  The region readers hand what they built to the tag table's old-region
// operations.
class KWorksheetReader;
bool readParagraph(KWorksheetReader& reader, Element*& out, Element* parent);
bool readInputRegion(KWorksheetReader& reader, Element*& out, Element* parent);
bool readCommentRegion(KWorksheetReader& reader, Element*& out, Element* parent);
bool readOutputRegion(KWorksheetReader& reader, Element*& out, Element* parent);
// Registers the readers of "PARA", "KLVTEXT", "INP_R", "COM_R" and "OUT_R" with the tag table.
void registerParagraphReaders();
