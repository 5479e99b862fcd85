#pragma once
// SectionElement (kind 1, worksheet tag SECT): groups paragraphs, execution groups and nested
// sections under a heading.  The root of every document is a section at depth 0; a nested
// section (depth 1 or more) starts with its heading paragraph and can be collapsed to it.
//
// Members after the container's, in order:
//
// | member         | meaning                                                                 |
// |----------------|-------------------------------------------------------------------------|
// | button         | the collapse button: its box and pressed state (a plus when collapsed)  |
// | collapsed      | 0 at creation; 1: only the first child (the heading) is shown           |
// | bracketShown   | 0 at creation; the bracket and button are laid out (decided by layout)  |
// | buttonGap      | the gap inside the button box, in device units (set by layout)         |
// | savedWidth/Height | the extent before the last collapse, given back on expand            |
// | extraIndent    | 0 at creation; the shift that aligns the heading with the button        |
// | headingShifted | 0 at creation; layout moved the heading down to the button             |
// | pageName, anchorName | the HTML export's page file and anchor of this section            |
//
// Invariants:
//   1. collapsed != 0 exactly when the element flag ELEMENT_COLLAPSED_SECTION is set.
//   2. A nested section whose first child is not a paragraph gets a heading again after a
//      removal (ensureHeading), unless it is being emptied by its caller.
//   3. A child inserted without a reference never goes after a trailing placeholder (kind 24).
//
// The "{SECT " record: the head, the collapsed flag as an integer (files of format 2.1 and
// later), the records of the children, "}".  The tag table's element reader bounds how deep
// such records nest.
//
// Bracket and button (SectionElement_layout.cpp): a nested section on a view gets a square
// button box at its left, its side from the view's units per point r1/r2 and zoom z1/z2 (integer
// division in this order): face s = (8*r1/r2)*z1/z2, margin m = r1/r2, gap g = max((2*r1/r2)*z1/z2,
// m), bevel t = (r1/r2)*z1/z2, side = s + 2*(t + m + g); the children's indent is side*5/4 (0 for
// the root).  The box and the heading's first line are aligned: a shorter line moves the heading
// down by half the difference and the later children by all of it.  The bracket runs from the
// box's bottom centre down to the section's bottom less 2*r1/r2, then right by a third of the
// side.  A collapsed section lays out, draws and hit-tests its heading only.

#include <cstdint>
#include <string>

#include "document/tree/ContainerElement.h"
#include "util/KString.h"

class KWorksheetReader;
class ParagraphElement;

// The collapse button's state.  Its face shows a minus while the section is expanded and a
// plus while it is collapsed; the box is the square laid out at the section's left.
struct SectionButtonGeometry {
    int face = 0;
    int margin = 0;
    int gap = 0;
    int bevel = 0;
    int side = 0;
};

struct SectionButton {
    ElementRect box;        // relative to the section's origin; empty until laid out
    bool pressed = false;   // the mouse went down on the box and has not come up
};

class SectionElement : public ContainerElement {
public:
    // Paragraph styles of the headings.
    static constexpr int STYLE_HEADING_1 = 3;
    static constexpr int STYLE_HEADING_2 = 4;
    static constexpr int STYLE_HEADING_3 = 5;
    static constexpr int STYLE_HEADING_4 = 20;

    // Editing command codes the section answers.
    enum Command : int {
        CMD_ENTER = 0,
        CMD_INSERT_SUBSECTION = 1,
        CMD_INSERT_SECTION = 2,
        CMD_TYPING = 10,
        CMD_DELETE = 11,
        CMD_DELETE_PARAGRAPH = 15,
        CMD_EXPAND = 21,
        CMD_COLLAPSE = 22,
        CMD_JOIN_SECTIONS = 34,
        CMD_SPLIT_SECTION = 35,
        CMD_INDENT = 41,
        CMD_OUTDENT = 42,
    };

    SectionElement() = default;
    // An empty section with a heading paragraph for the level (0 or less: its depth).
    explicit SectionElement(int level);
    // Copies collapsed, bracketShown, the gap value, extraIndent and headingShifted, then the
    // children.
    SectionElement(const SectionElement& other);
    ~SectionElement() override = default;

    // ---- Element ---------------------------------------------------------------------------
    Element* cloneElement() const override { return new SectionElement(*this); }
    int elementKind() const override { return KIND_SECTION; }
    void writeElement(WalkControl& control) override;
    void exportText(WalkControl& control) override;
    // HTML export (SectionElement_html.cpp): names, the table-of-contents entry and the
    // content pass, through the control's htmlExporter.
    void assignHtmlNames(WalkControl& control) override;
    void exportHtmlContents(WalkControl& control) override;
    void exportHtmlElement(WalkControl& control) override;
    bool insertChild(Element* child, Element* reference, int mode) override;
    void removeChild(Element* child) override;
    Element* splitAtIndex(int index) override;
    Element* splitAtChild(Element* child) override { return splitAtIndex(indexOfChild(child)); }
    bool command(int code, const char* text, std::intptr_t argument) override;
    bool mouseDown(const ElementMouseEvent& event) override;
    bool mouseUp(const ElementMouseEvent& event) override;
    Element* elementAtPoint(int x, int y, ElementPoint& origin) override;
    void draw(int x, int y, const ElementRect& clip) override;
    void computeIndent() override;
    void stackChildren() override;

    // ---- bracket and button --------------------------------------------------------------------
    // The button's geometry for units per point r1/r2 and zoom z1/z2 (terms below 1 count as 1).
    static SectionButtonGeometry buttonGeometryFor(int r1, int r2, int z1, int z2);
    // The geometry on the active view (1/1 terms without one).
    SectionButtonGeometry buttonGeometry();
    // Whether the point (relative to the section) lies on the laid-out button.
    bool inButton(int x, int y) const;
    // A click on the button: collapses an expanded section (a caret below the heading moves to
    // the section) or expands a collapsed one.
    void toggleCollapsed();

    // ---- headings ----------------------------------------------------------------------------
    // Level 1..3 give Heading 1..3, any other level Heading 4; level 0 or less: the depth.
    int headingStyleForLevel(int level) const;
    void insertHeading(int level);
    // A new paragraph of the style, without prompt, holding an empty text run, inserted
    // relative to the reference with the mode.
    ParagraphElement* insertHeadingParagraph(int style, Element* reference, int mode);
    void ensureHeading();

    // The heading's text (its text runs joined, trailing white space removed); " " when empty.
    std::string headingText() const;
    // A nested section that is collapsed: the HTML export gives it a page of its own.
    bool startsHtmlPage() const { return depth() > 0 && isCollapsed(); }

    // ---- collapse state ------------------------------------------------------------------------
    void collapse(bool redraw);
    void expand(bool redraw);
    bool isCollapsed() const { return collapsed != 0; }
    // Sets the state without layout (the record reader).
    void setCollapsedFlag(bool on);

    // ---- indent and outdent ------------------------------------------------------------------
    // Moves the marked children (and the reference) into one subsection; true when one was used.
    bool wrapInSection(Element* reference);
    // Moves the run of marked children (or the reference) out into the parent after this
    // section.
    void outdent(Element* reference);

    SectionButton button;
    std::uint8_t collapsed = 0;
    std::uint8_t bracketShown = 0;
    int buttonGap = 0;
    std::int32_t savedWidth = 0;
    std::int32_t savedHeight = 0;
    std::int32_t extraIndent = 0;
    std::uint8_t headingShifted = 0;
    KString pageName;
    KString anchorName;

private:
    // Shared steps of collapse and expand after the state changed.
    void collapseStateChanged(bool nowCollapsed, bool redraw);
    void markDocumentModified();
    void drawButton(DocumentView& view, int x, int y);
};

// The reader of the "{SECT " record (tag table entry): a section, or none for a record
// without children (out null).  An error inside destroys the partial section and skips the
// rest of the record.
bool readSectRecord(KWorksheetReader& reader, Element*& out, Element* parent);
// The section entry of a fragment's element list (dragged or pasted material): three integers
// the list keeps before the record are dropped, the rest is read as readSectRecord.
bool readFragmentSectRecord(KWorksheetReader& reader, Element*& out, Element* parent);
// Enters readSectRecord under "SECT".
void registerSectionReaders();
