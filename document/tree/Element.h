#pragma once
// Element: the base of every node of a worksheet tree, with the one virtual interface through
// which the document, the walk, the record writers, search, marks, caret placement, context
// menus and the mouse reach every element class.
//
// The interface by facet; each facet is one section of the class below, in this order.
//
// | facet                 | operations                                   | called by                       |
// |-----------------------|----------------------------------------------|---------------------------------|
// | kind and queries      | cloneElement, elementKind, is* queries,      | tag table and readers, paste,   |
// |                       | setOutput, holdsCaretInside, ownsWindow      | editing actions, groups         |
// | tree structure and    | parent, child access by index and neighbour, | the walk, navigation, tree      |
// | children              | insert/remove/replace/move/copy children,    | edits and their undo records,   |
// |                       | split, join, acceptsChild                    | paste, the readers              |
// | walks                 | walk; handlers with work of their own:       | Document's walks, the bookmark  |
// |                       | commands, styles, words, bookmarks, groups,  | index, search, execution,       |
// |                       | execution, find, counts, OLE and math lists, | printing, the math context menu |
// |                       | input syntax, pagination                     |                                 |
// | records and export    | takeFragment, copyAsBitmap, writeElement,    | worksheet writer, clipboard,    |
// |                       | record head and tail, text/LaTeX/HTML export,| exporters, the execution group  |
// |                       | input text for the kernel                    | (input of a group)              |
// | positions, caret and  | edges, selected tests, carets and ranges,    | positions and carets, the       |
// | selection             | locate/move/release, caret arrival, ranges   | selection and marks, editing    |
// |                       | of text kinds, help word, marks              | actions, context help           |
// | layout and drawing    | layout, renderAt, refreshTextLayout,         | document and views, the parent  |
// |                       | childOffset, elementAtPoint                  | paragraph, hit tests            |
// | mouse, keys and       | command, mouse events, context menu and its  | the worksheet window; commands  |
// | commands              | per-kind cache                               | go from the caret upwards       |
// | notices               | styles, rename, child windows, session,      | Document's broadcasts, sections,|
// |                       | collapse/expand, shown/closing, caret left,  | the session, the document's     |
// |                       | fit to contents                              | windows, the caret              |
//
// Every walk handler and notice takes the walk control record as its one argument, so that the
// walk calls it through a pointer to member (`WalkMethod`); a notice's data travels in the
// record (`showFlag`, `viewScale`).  Notices keep one operation each, overridden by name: each
// is sent by its own walk with its own flags and data, and element classes react to different
// subsets of them.
//
// An operation a class does not handle answers false, null, 0 or -1 (as given at each one);
// callers take that answer as "not handled" or "none".  Subclasses override by name; the block
// line adds its own operations in BlockElement.h.
//
// Fields (in order): `mark` (0 not, 1 wholly, 2 partly selected), the cached document (null
// until first asked; only the root's is set by its owner), `flags`:
//
// | bit | meaning                                                                        |
// |-----|--------------------------------------------------------------------------------|
// | 0   | needs layout (set by the constructor)                                          |
// | 1   | a descendant needs layout                                                      |
// | 2   | a collapsed section (set by the section class; read by enclosingCollapsedSection) |
//
// Ownership: an element is owned by its parent (the root by its document); a detached element
// by whoever holds it.  Deletion goes through the virtual destructor, or `destroyElement`,
// which postpones the deletion while a walk or a tree operation is running (see
// ElementWalk.cpp): no element is freed while one of its own operations or a walk over it is
// still on the stack.  A destroyed element takes every position off itself first
// (ElementPosition.h), so no caret, selection end or held position keeps a dangling pointer.
//
// Kinds run 0..28; tables indexed by kind have ELEMENT_KIND_COUNT entries.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "document/tree/DocumentView.h"
#include "document/tree/ElementEnvironment.h"

class Element;
class ElementPosition;
class TextPosition;
class Selection;
class KString;
class KWorksheetWriter;
class WorksheetFragment;
class CaretHandle;
class CaretRange;
class SingleCaret;
class ParagraphLine;
class Menu;
class KExportWriter;
class HtmlExporter;
class StyleSet;
struct WordScanner;
struct GroupListRecord;
struct StyleIndexChange;

constexpr int ELEMENT_KIND_COUNT = 29;

// One counter per element kind (countKind, Document::countKinds).
using ElementKindCounts = std::array<int, ELEMENT_KIND_COUNT>;
// One counter per byte value (countCharacters, Document::countCharacters).
using CharacterCounts = std::array<int, 256>;

// The views' scale changed (viewScaleChanged, Document::broadcastViewScale): a length L in view
// units becomes L * newScale / oldScale * zoomNumerator / zoomDenominator, in integer
// arithmetic and in that order.
struct ViewScaleChange {
    int oldScale = 1;
    int newScale = 1;
    int zoomNumerator = 1;
    int zoomDenominator = 1;
};

// A view's zoom changed (zoomChanged, Document::zoomChanged): the old and the new ratio.
struct ZoomChange {
    int oldNumerator = 1;
    int oldDenominator = 1;
    int newNumerator = 1;
    int newDenominator = 1;
};

enum ElementKindCode : int {
    KIND_NONE = 0,
    KIND_SECTION = 1,
    KIND_PARAGRAPH = 2,
    KIND_CONTAINER = 3,
    KIND_TEXT = 5,
    KIND_INPUT_TEXT = 6,
    KIND_HYPERLINK = 7,
    KIND_BUTTON = 8,
    KIND_MATH = 9,
    KIND_EXPRESSION_EDIT = 10,
    KIND_GROUP = 14,
    KIND_PLACEHOLDER = 24,
};

enum ElementFlagBits : std::uint32_t {
    ELEMENT_NEEDS_LAYOUT = 1u << 0,
    ELEMENT_CHILD_NEEDS_LAYOUT = 1u << 1,
    ELEMENT_COLLAPSED_SECTION = 1u << 2,
};

// The search record of findText: the pattern, the direction, the start offset inside the
// walk's `searchStart` element, and the answer.  A backward search answers the last match
// before the start; a forward one the first match after it.
struct TextSearch {
    static constexpr unsigned FOUND = 0x200;
    const char* pattern = nullptr;
    bool backward = false;
    int startOffset = 0;
    Element* foundElement = nullptr;
    int foundOffset = -1;
    unsigned flags = 0;   // FOUND once the search is answered
};

// ---- walk control record --------------------------------------------------------------------
using WalkVisitor = void (*)(Element* element, struct WalkControl& control);
using WalkMethod = void (Element::*)(struct WalkControl& control);

enum WalkFlagBits : std::uint8_t {
    WALK_BEFORE = 1u << 0,       // visit before the children (pass 1)
    WALK_AFTER = 1u << 1,        // visit after the children (pass 2)
    WALK_LINKED = 1u << 4,       // iterate with firstChild/nextChild
    WALK_MARKED_ONLY = 1u << 7,  // enter only elements whose mark is not 0
};
enum WalkPass : std::uint32_t { PASS_DESCEND = 0, PASS_BEFORE = 1, PASS_AFTER = 2, PASS_LEAF = 4 };
enum WalkStopBits : std::uint32_t { STOP_CHILDREN = 1u << 0, STOP_WALK = 1u << 1 };

// Shared by the walk and its visitor.  `pass` and `stop` share one word: pass in the low byte,
// stop in the next; the walk stores a pass as the whole word, which clears every stop bit, so
// a stop request is seen only by the check that directly follows the visitor call.
struct WalkControl {
    std::uint8_t flags = 0;
    std::uint32_t passWord = 0;

    std::uint32_t pass() const { return passWord & 0xFFu; }
    std::uint32_t stop() const { return (passWord >> 8) & 0xFFu; }
    void storePass(std::uint32_t p) { passWord = p; }
    void requestStop(std::uint32_t bits) { passWord |= (bits & 0xFFu) << 8; }

    // Visitor-specific fields.
    KWorksheetWriter* writer = nullptr;          // writer walks
    KExportWriter* exportWriter = nullptr;       // exportText
    HtmlExporter* htmlExporter = nullptr;        // the HTML export's walks
    WordScanner* wordScanner = nullptr;          // collectWords
    StyleSet* styleSet = nullptr;                // markUsedStyles
    GroupListRecord* groupList = nullptr;        // collectGroups
    const StyleIndexChange* styleChange = nullptr;  // replaceStyleIndex
    CharacterCounts* characterCounts = nullptr;  // countCharacters
    const ViewScaleChange* viewScale = nullptr;  // viewScaleChanged
    const ZoomChange* zoom = nullptr;            // zoomChanged
    ElementKindCounts counts = {};               // countKind
    int code = 0;                                // commandVisitor
    const char* text = nullptr;
    std::intptr_t argument = 0;
    bool handled = false;                        // commandVisitor: some element handled it
    const Element* searchStart = nullptr;        // findText
    bool passedStart = false;
    TextSearch* search = nullptr;                // findText
    std::vector<Element*>* collected = nullptr;  // collectOleObjects, collectMarkedMath
    bool showFlag = false;                       // showChildWindow
    WalkMethod method = nullptr;                 // the member visitor of walkMethod
    void* context = nullptr;                     // what a walk of one class hands its own visitors
    class PageSink* pages = nullptr;             // paginate
};

// Walk callbacks that write an element's contents as a "{NEWREP " record.
void writeNewRepHeader(Element* element, WalkControl& control);
void writeRecordTail(Element* element, WalkControl& control);

// ---- Element ---------------------------------------------------------------------------------

// Where insertChild, insertSibling and moveChildrenTo put new children relative to the
// reference (no reference appends).
enum InsertMode : int {
    kInsertBefore = 0,
    kInsertAfter = 2,
};

class Element {
public:
    Element();
    Element(const Element& other);   // copies nothing of the tree: mark 0, no document, flags 1
    Element& operator=(const Element&) = delete;

    // Fields.
    std::int32_t mark = 0;
    std::uint32_t flags = ELEMENT_NEEDS_LAYOUT;

    virtual ~Element();

    // ---- kind and queries ------------------------------------------------------------------
    // A deep copy of the element and its subtree (pure: every concrete class answers).
    virtual Element* cloneElement() const = 0;
    // The kind (ElementKindCode; 0 for the bases without a kind of their own).
    virtual int elementKind() const { return 0; }
    virtual bool isInline() const { return false; }
    virtual bool isText() const { return false; }
    virtual bool isMath() const { return false; }
    virtual bool isPlot() const { return false; }
    // An input the kernel executes (one-line input, expression edit).
    virtual bool isActiveInput() const { return false; }
    // A paragraph the execution group inserted for kernel output.
    virtual bool isOutput() const { return false; }
    virtual void setOutput(bool output) { (void)output; }
    // True when childCount is 0: a leaf (-1) is not empty.
    virtual bool isEmpty() const { return childCount() == 0; }
    // The caret can stand inside the element; false puts paragraph moves before or after it.
    virtual bool holdsCaretInside() const { return true; }
    // The element owns a child window (window regions: spreadsheets and plots).
    virtual bool ownsWindow() const { return false; }

    // ---- tree structure and children -------------------------------------------------------
    virtual Element* parent() const { return nullptr; }
    virtual void setParent(Element* parent) { (void)parent; }
    // -1 for a leaf.
    virtual int childCount() const { return -1; }
    virtual Element* firstChild() const { return nullptr; }
    virtual Element* lastChild() const { return nullptr; }
    virtual Element* nextChild(const Element* child) const { (void)child; return nullptr; }
    virtual Element* previousChild(const Element* child) const { (void)child; return nullptr; }
    virtual Element* childAfterIndex(int index) const { (void)index; return nullptr; }
    virtual Element* childBeforeIndex(int index) const { (void)index; return nullptr; }
    virtual Element* childAt(int index) const { (void)index; return nullptr; }
    virtual int indexOfChild(const Element* child) const { (void)child; return -1; }
    // mode: an InsertMode.
    virtual bool insertChild(Element* child, Element* reference, int mode) {
        (void)child, (void)reference, (void)mode;
        return false;
    }
    // Removes and deletes the child.
    virtual void removeChild(Element* child) { (void)child; }
    // Answers true when the child was taken out (the caller then owns it); a child that
    // refuses removal (the placeholder) stays and the answer is false.
    virtual bool removeChildAt(int index) { (void)index; return false; }
    // True when the old child was replaced (the caller then owns it).
    virtual bool replaceChild(Element* oldChild, Element* newChild) {
        (void)oldChild, (void)newChild;
        return false;
    }
    // Moves count children from index `from` into the target, in order; the number moved.
    virtual int moveChildrenTo(int from, int count, Element* target, Element* reference, int mode);
    // Appends a clone of every child to the target; the number copied.
    virtual int copyChildrenTo(Element* target) const;
    // Splits the element before the child at the index (or the child, or the position); the
    // second part, or the element itself when nothing was split.
    virtual Element* splitAtIndex(int index) { (void)index; return this; }
    virtual Element* splitAtChild(Element* child) { return splitAtIndex(indexOfChild(child)); }
    virtual Element* splitAt(ElementPosition& position) { (void)position; return this; }
    virtual Element* joinWithSibling(int direction) { (void)direction; return this; }
    // The parent's removeChild; without a parent the element deletes itself.
    virtual void removeFromParent();
    // A chain of single children collapsed to its last element; the element itself here.
    virtual Element* extractSoleDescendant() { return this; }
    // Whether the element may hold the candidate child; needsParagraph asks the caller to
    // wrap an inline child in a new paragraph first.
    virtual bool acceptsChild(const Element* child, bool& needsParagraph) const;

    // ---- walks -----------------------------------------------------------------------------
    // The tree walk of ElementWalk.cpp: calls the visitor on the element and its descendants
    // as the control's flags ask.
    virtual void walk(WalkVisitor visitor, WalkControl& control);
    // Walk handlers with work of their own; each is called by the walk on every element it
    // visits, reads its input from and leaves its answer in the control record.
    // `command` with the record's code, text and argument; sets `handled` when it was taken.
    virtual void commandVisitor(WalkControl& control);
    virtual void markUsedStyles(WalkControl& control) { (void)control; }   // in `styleSet`
    virtual void collectWords(WalkControl& control) { (void)control; }     // into `wordScanner`
    virtual void collectBookmarks(WalkControl& control) { (void)control; }
    // Every view of the document forgets the element.
    virtual void detachFromViews(WalkControl& control);
    // The execute-all walk: execution and session groups run their input.
    virtual void executeGroup(WalkControl& control) { (void)control; }
    virtual void removeOutput(WalkControl& control) { (void)control; }
    virtual void collectGroups(WalkControl& control) { (void)control; }    // into `groupList`
    // Sets `passedStart` when the element is the search's `searchStart`.
    virtual void findText(WalkControl& control);
    // Adds 1 to `counts` at the element's kind.
    virtual void countKind(WalkControl& control);
    virtual void countCharacters(WalkControl& control) { (void)control; }  // into `characterCounts`
    virtual void replaceStyleIndex(WalkControl& control) { (void)control; }  // by `styleChange`
    // Pasted elements map their style indices through the reader's index maps.
    virtual void remapStyleIndex(WalkControl& control) { (void)control; }
    // Embedded objects that are not linked add themselves to `collected`.
    virtual void collectOleObjects(WalkControl& control) { (void)control; }
    // Math elements of the math context menu's request add themselves to `collected`.
    virtual void collectMarkedMath(WalkControl& control) { (void)control; }
    // Every input region changes to the current input language (after an old worksheet).
    virtual void updateInputSyntax(WalkControl& control) { (void)control; }
    // Printing: paragraphs place their lines on the pages of the record's page list.
    virtual void paginate(WalkControl& control) { (void)control; }

    // ---- records and export ----------------------------------------------------------------
    // A pasted or dropped fragment: true when the element takes it as it is.
    virtual bool takeFragment(WorksheetFragment* fragment) { (void)fragment; return true; }
    // Plots draw themselves into a bitmap on the clipboard; true when one was put there.
    virtual bool copyAsBitmap() { return false; }
    // The element's record through the record's `writer` (walk handler).
    virtual void writeElement(WalkControl& control) { (void)control; }
    // "{", the kind's tag and a blank, and "}", through the record's `writer`.
    virtual void writeRecordHead(WalkControl& control);
    virtual void writeRecordTail(WalkControl& control);
    // Exports, as walk handlers; the defaults write nothing.
    virtual void exportText(WalkControl& control) { (void)control; }   // into `exportWriter`
    virtual void exportLatexElement(WalkControl& control) { (void)control; }
    virtual void exportHtmlElement(WalkControl& control) { (void)control; }
    virtual void exportHtmlContents(WalkControl& control) { (void)control; }
    // HTML export: sections take their anchor and page names.
    virtual void assignHtmlNames(WalkControl& control) { (void)control; }
    // The text of the element's active inputs, each followed by a newline, and its length.
    virtual void collectInputText(KString& text);
    virtual int inputTextLength() const;

    // ---- positions, caret and selection ----------------------------------------------------
    // Puts the position at the start or the end of the element (of its marked part).
    virtual bool placePositionAtEdge(ElementPosition& position, bool atStart);
    virtual bool isPositionSelected(const ElementPosition& position) const;
    virtual bool isPositionUnselected(const ElementPosition& position) const {
        return !isPositionSelected(position);
    }
    // A new caret position of the element's family into the handle, at the element's start,
    // held by path when asked (CaretPosition.h).  The base makes element-kind positions.
    virtual void createCaretPosition(CaretHandle& handle, bool byPath);
    // A new caret range over the whole element.  With markedOnly: an unmarked element gives
    // the handle a holder with no position, and a partly marked one a range over its marked
    // part (the base: from the first to the last marked child).
    virtual void createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath);
    // The position's rectangle (pure: every concrete class answers).
    virtual void locatePosition(TextPosition& position) = 0;
    // Moves the position by an editing-action code; `child` and `index` say where it comes
    // from.  False when the element does not move it.
    virtual bool movePosition(TextPosition& position, int code, Element* child, int index) {
        (void)position, (void)code, (void)child, (void)index;
        return false;
    }
    // A position left the element (it was at `offset`).
    virtual void positionReleased(ElementPosition& position, int offset) { (void)position, (void)offset; }
    virtual ParagraphLine* lineAtPosition(TextPosition& position) { (void)position; return nullptr; }
    virtual void drawCaret(TextPosition& position, int mode) { (void)position, (void)mode; }
    // An area the caret's scroll-into-view keeps visible as well; false when none.
    virtual bool extraVisibleArea(ElementRect& area) const { (void)area; return false; }
    // The element now holds the active window's caret.
    virtual void caretArrived();
    // Gives the offset into the collected input text to the child whose span holds it.
    virtual void setCaretOffset(int offset);
    // Splits the element at the caret: null at its end, the element itself at its start,
    // else the second part (the base splits before the child after the caret's gap).
    virtual Element* splitAtCaret(const SingleCaret& caret);
    // Text kinds: whether the text from the range's end fits in maxWidth pixels, with the
    // fitting part as a new range in the handle; the range's extent; deleting the range or
    // the character at the position; inserting text at a byte offset; marking a byte range.
    // The text caret hands these offsets already clamped to the text.
    virtual bool fitsWithin(int maxWidth, const CaretRange* range, CaretHandle& rangeHandle) {
        (void)maxWidth, (void)range, (void)rangeHandle;
        return false;
    }
    virtual ElementExtent rangeExtent(const CaretRange* range, DocumentView* view) const {
        (void)range, (void)view;
        return {};
    }
    virtual void deleteRange(CaretRange& range) { (void)range; }
    virtual void deleteAtPosition(SingleCaret& position) { (void)position; }
    virtual void insertTextAt(const char* text, int offset) { (void)text, (void)offset; }
    virtual void selectRange(int start, int end) { (void)start, (void)end; }
    // The word for context help at the offset (appended to `word`).
    virtual void helpWordAt(KString& word, int offset) const { (void)word, (void)offset; }
    // Math inputs: the expression bar's edit field is to be refreshed from the element.
    virtual void setEditorFlags(bool pending) { (void)pending; }
    // False when the parent exists and is wholly marked.
    virtual bool isTopOfMark() const;
    virtual void selectionMarkChanged(int newMark) { (void)newMark; }
    // The mark the selection gives the element (0 none, 1 wholly, 2 partly).
    virtual int markFromSelection(Selection& selection) { (void)selection; return 0; }

    // ---- layout and drawing ----------------------------------------------------------------
    // Lays the element out (lazily: only flagged subtrees) and answers its size.
    virtual void layout(ElementExtent& area) { (void)area; }
    // Draws the element with its baseline at the point through the view.
    virtual void renderAt(const ElementPoint& baseline, DocumentView& view) { (void)baseline, (void)view; }
    // Walk handler: text elements form their lines again.
    virtual void refreshTextLayout(WalkControl& control) { (void)control; }
    // The child's offset inside this element.
    virtual int childOffset(const Element* child, ElementPoint& out) const;
    // The deepest element under the point, adding its offset to origin; null when none.
    virtual Element* elementAtPoint(int x, int y, ElementPoint& origin) {
        (void)x, (void)y, (void)origin;
        return nullptr;
    }

    // ---- mouse, keys and commands ----------------------------------------------------------
    // An editing command (action code, text, argument); false when not handled, and the
    // caller offers it to the parent.
    virtual bool command(int code, const char* text, std::intptr_t argument) {
        (void)code, (void)text, (void)argument;
        return false;
    }
    virtual bool mouseDown(const ElementMouseEvent& event) { (void)event; return false; }
    virtual bool mouseUp(const ElementMouseEvent& event) { (void)event; return false; }
    virtual bool mouseDrag(const ElementMouseEvent& event) { (void)event; return false; }
    // False: the window shows its default pointer.
    virtual bool mouseMove(const ElementMouseEvent& event) { (void)event; return false; }
    // The context menu's resource (0: none), its set-up, and its entries.
    virtual int contextId() const { return 0; }
    virtual void contextMenu(Menu* menu, int value) { (void)menu, (void)value; }
    virtual bool runContextMenuEntry(int entry) { (void)entry; return false; }
    // The per-kind cache of built context menus (see contextMenuEntry).
    virtual Menu* cachedContextMenu() const;
    virtual void setCachedContextMenu(Menu* menu);

    // ---- notices (walk handlers) -----------------------------------------------------------
    // Styles changed (post-order); the worksheet got a new name.
    virtual void stylesChanged(WalkControl& control) { (void)control; }
    virtual void worksheetRenamed(WalkControl& control) { (void)control; }
    // Window regions: move the child window to the element's place; the views' scale changed
    // (`viewScale`); show or hide it by `showFlag`; repaint it; follow a scroll.
    virtual void placeChildWindow(WalkControl& control) { (void)control; }
    virtual void viewScaleChanged(WalkControl& control) { (void)control; }
    // A view's zoom changed (`zoom`: the old and the new ratio); nothing in the base.
    virtual void zoomChanged(WalkControl& control) { (void)control; }
    virtual void showChildWindow(WalkControl& control) { (void)control; }
    virtual void repaintChildWindow(WalkControl& control) { (void)control; }
    virtual void repositionChildWindow(WalkControl& control) { (void)control; }
    virtual void sessionRestarted(WalkControl& control) { (void)control; }
    virtual void sectionCollapsed(WalkControl& control) { (void)control; }
    virtual void sectionExpanded(WalkControl& control) { (void)control; }
    // A window of the document was shown; is closing.
    virtual void documentShown(WalkControl& control) { (void)control; }
    virtual void documentClosing(WalkControl& control) { (void)control; }
    // The caret left the element (plot regions stop capturing the mouse).
    virtual void caretLeft(WalkControl& control) { (void)control; }
    // Spreadsheets fit their rows and columns to the cells' contents.
    virtual void fitToContents(WalkControl& control) { (void)control; }

    // ---- non-virtual operations -----------------------------------------------------------
    // The cached document; found through the root (a section) and cached on first use.
    ElementDocument* document();
    // Set by the document on its root element.
    void setDocument(ElementDocument* document) { documentCache_ = document; }
    DocumentView* activeView();
    ElementWindow* worksheetWindow();
    ViewCaret* activeCaret();

    ElementPoint absoluteOrigin() const;
    void getAbsoluteOrigin(ElementPoint& out) const { out = absoluteOrigin(); }
    void markNeedsLayout();
    bool ancestorsClean() const;
    bool contains(const Element* other) const;
    int ancestorCount() const;
    Element* enclosingGroup() const;
    Element* enclosingParagraph() const;
    Element* enclosingSection(Element** pathChild = nullptr) const;
    // The nearest collapsed section that hides this element (the path child is not its first),
    // with the path child's index.
    bool enclosingCollapsedSection(Element** section = nullptr, int* index = nullptr) const;
    void expandAncestors();
    bool insertSibling(Element* element, int mode);
    // Walks with a member visitor.
    void walkMethod(WalkMethod method, WalkControl& control);

    // ---- selection marks (ElementMarks.cpp) ----------------------------------------------
    void markSubtree(int value);
    void clearChildMarks();
    void setAncestorsMark(int value);
    void updateAncestorMarks();
    void markFromSelectionTree(Selection& selection);
    bool commandToMarked(int code, const char* text, std::intptr_t argument);

    // ---- navigation ----------------------------------------------------------------------
    using Predicate = bool (*)(const Element* element);
    Element* findDescendant(int start, Predicate predicate) const;
    Element* findDescendantBackward(int start, Predicate predicate) const;
    Element* firstCaretStop() const;
    Element* nextCaretStop(bool backward) const;
    Element* nextActiveInput(bool backward) const;
    Element* nextInputRegion() const;
    Element* splitAtCaretUpTo(TextPosition& caret, int kind);

    // ---- per-kind tables -------------------------------------------------------------------
    static Menu* contextMenuEntry(int index);
    static void setContextMenuEntry(int index, Menu* menu);
    // Destroys every cached menu through the deleter set by the GUI side (shut-down only).
    static void releaseElementKindObjects();
    static void setContextMenuDeleter(void (*deleter)(Menu*));

private:
    ElementDocument* documentCache_ = nullptr;
};

// Deletes the element now, or, while a walk or a tree operation runs, once the outermost of
// them has returned.  Positions leave the element (and its subtree) at once.
void destroyElement(Element* element);

// Holds deletions through destroyElement until the outermost scope ends.
class ElementOperationScope {
public:
    ElementOperationScope();
    ~ElementOperationScope();
    ElementOperationScope(const ElementOperationScope&) = delete;
    ElementOperationScope& operator=(const ElementOperationScope&) = delete;
    static bool active();
};
