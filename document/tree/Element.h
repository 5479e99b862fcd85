#pragma once
// Element: the base of every node of a worksheet tree, with the one virtual interface through
// which the document, the walk, the record writers, search, marks, caret placement, context
// menus and the mouse reach every element class.
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
// The virtual operations keep a fixed order (their slot numbers are given in the comments);
// subclasses override them by name and the block line adds its own after slot 124.  Slots
// without a role of their own here keep their default under a name of the form `slotNN`.
//
// Kinds run 0..28; tables indexed by kind have ELEMENT_KIND_COUNT entries.

#include <cstdint>
#include <memory>
#include <vector>

#include "document/tree/ElementEnvironment.h"

class Element;
class ElementPosition;
class TextPosition;
class Selection;
class KString;
class KWorksheetWriter;
class WorksheetFragment;
class ElementCaretRange;
class ParagraphLine;
class Menu;
struct CaretHolder;

constexpr int ELEMENT_KIND_COUNT = 29;

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
    int counts[ELEMENT_KIND_COUNT] = {};         // countKind
    int code = 0;                                // commandVisitor
    const char* text = nullptr;
    std::intptr_t argument = 0;
    bool handled = false;                        // commandVisitor: some element handled it
    const Element* searchStart = nullptr;        // findText
    bool passedStart = false;
    std::vector<Element*>* collected = nullptr;  // collectOleObjects, collectGroups
    bool showFlag = false;                       // showChildWindow
    WalkMethod method = nullptr;                 // the member visitor of walkMethod
    void* context = nullptr;                     // anything else a visitor needs
};

// Walk callbacks that write an element's contents as a "{NEWREP " record.
void writeNewRepHeader(Element* element, WalkControl& control);
void writeRecordTail(Element* element, WalkControl& control);

// ---- Element ---------------------------------------------------------------------------------
class Element {
public:
    Element();
    Element(const Element& other);   // copies nothing of the tree: mark 0, no document, flags 1
    Element& operator=(const Element&) = delete;

    // Fields.
    std::int32_t mark = 0;
    std::uint32_t flags = ELEMENT_NEEDS_LAYOUT;

    /*   0 */ virtual ~Element();
    /*   1 */ virtual Element* cloneElement() const = 0;
    /*   2 */ virtual int elementKind() const { return 0; }
    /*   3 */ virtual bool isInline() const { return false; }
    /*   4 */ virtual bool holdsCaretInside() const { return true; }
    /*   5 */ virtual bool isActiveInput() const { return false; }
    /*   6 */ virtual bool isOutput() const { return false; }
    /*   7 */ virtual void setOutput(bool flag) { (void)flag; }
    /*   8 */ virtual bool isEmpty() const { return childCount() == 0; }
    /*   9 */ virtual bool isMath() const { return false; }
    /*  10 */ virtual bool takeFragment(WorksheetFragment* fragment) { (void)fragment; return true; }
    /*  11 */ virtual bool isText() const { return false; }
    /*  12 */ virtual bool isPlot() const { return false; }
    /*  13 */ virtual bool copyAsBitmap() { return false; }
    /*  14 */ virtual void walk(WalkVisitor visitor, WalkControl& control);
    /*  15 */ virtual void writeElement(WalkControl& control) { (void)control; }
    /*  16 */ virtual void writeRecordHead(WalkControl& control);
    /*  17 */ virtual void writeRecordTail(WalkControl& control);
    /*  18 */ virtual void exportText(WalkControl& control) { (void)control; }
    /*  19 */ virtual void exportLatexElement(WalkControl& control) { (void)control; }
    /*  20 */ virtual void exportHtmlElement(WalkControl& control) { (void)control; }
    /*  21 */ virtual void exportHtmlContents(WalkControl& control) { (void)control; }
    /*  22 */ virtual void assignHtmlNames(WalkControl& control) { (void)control; }
    /*  23 */ virtual void slot23(WalkControl& control) { (void)control; }
    /*  24 */ virtual void stylesChanged(WalkControl& control) { (void)control; }
    /*  25 */ virtual void worksheetRenamed(WalkControl& control) { (void)control; }
    /*  26 */ virtual void collectOleObjects(WalkControl& control) { (void)control; }
    /*  27 */ virtual void refreshTextLayout(WalkControl& control) { (void)control; }
    /*  28 */ virtual void commandVisitor(WalkControl& control);
    /*  29 */ virtual void slot29(WalkControl& control) { (void)control; }
    /*  30 */ virtual void markUsedStyles(WalkControl& control) { (void)control; }
    /*  31 */ virtual void collectWords(WalkControl& control) { (void)control; }
    /*  32 */ virtual void collectBookmarks(WalkControl& control) { (void)control; }
    /*  33 */ virtual void detachFromViews(WalkControl& control);
    /*  34 */ virtual void slot34(WalkControl& control) { (void)control; }
    /*  35 */ virtual void removeOutput(WalkControl& control) { (void)control; }
    /*  36 */ virtual void collectGroups(WalkControl& control) { (void)control; }
    /*  37 */ virtual void findText(WalkControl& control);
    /*  38 */ virtual void countKind(WalkControl& control);
    /*  39 */ virtual void countCharacters(WalkControl& control) { (void)control; }
    /*  40 */ virtual void replaceStyleIndex(WalkControl& control) { (void)control; }
    /*  41 */ virtual void remapStyleIndex(WalkControl& control) { (void)control; }
    /*  42 */ virtual void slot42(WalkControl& control) { (void)control; }
    /*  43 */ virtual void slot43(WalkControl& control) { (void)control; }
    /*  44 */ virtual void slot44(WalkControl& control) { (void)control; }
    /*  45 */ virtual void placeChildWindow(WalkControl& control) { (void)control; }
    /*  46 */ virtual void notice4(WalkControl& control) { (void)control; }
    /*  47 */ virtual void showChildWindow(WalkControl& control) { (void)control; }
    /*  48 */ virtual void sessionRestarted(WalkControl& control) { (void)control; }
    /*  49 */ virtual void slot49(WalkControl& control) { (void)control; }
    /*  50 */ virtual void sectionCollapsed(WalkControl& control) { (void)control; }
    /*  51 */ virtual void sectionExpanded(WalkControl& control) { (void)control; }
    /*  52 */ virtual void updateInputSyntax(WalkControl& control) { (void)control; }
    /*  53 */ virtual void repaintChildWindow(WalkControl& control) { (void)control; }
    /*  54 */ virtual void documentShown(WalkControl& control) { (void)control; }
    /*  55 */ virtual void documentClosing(WalkControl& control) { (void)control; }
    /*  56 */ virtual Element* parent() const { return nullptr; }
    /*  57 */ virtual int childCount() const { return -1; }
    /*  58 */ virtual Element* firstChild() const { return nullptr; }
    /*  59 */ virtual Element* lastChild() const { return nullptr; }
    /*  60 */ virtual Element* nextChild(const Element* child) const { (void)child; return nullptr; }
    /*  61 */ virtual Element* childAfterIndex(int index) const { (void)index; return nullptr; }
    /*  62 */ virtual Element* previousChild(const Element* child) const { (void)child; return nullptr; }
    /*  63 */ virtual Element* childBeforeIndex(int index) const { (void)index; return nullptr; }
    /*  64 */ virtual Element* childAt(int index) const { (void)index; return nullptr; }
    /*  65 */ virtual int indexOfChild(const Element* child) const { (void)child; return -1; }
    /*  66 */ virtual Element* extractSoleDescendant() { return this; }
    // Answers true when the child was taken out (the caller then owns it); a child that
    // refuses removal (the placeholder) stays and the answer is false.
    /*  67 */ virtual bool removeChildAt(int index) { (void)index; return false; }
    /*  68 */ virtual bool placePositionAtEdge(ElementPosition& position, bool atStart);
    /*  69 */ virtual bool isPositionSelected(const ElementPosition& position) const;
    /*  70 */ virtual bool isPositionUnselected(const ElementPosition& position) const {
        return !isPositionSelected(position);
    }
    /*  71 */ virtual void setParent(Element* element) { (void)element; }
    /*  72 */ virtual bool insertChild(Element* child, Element* reference, int mode) {
        (void)child, (void)reference, (void)mode;
        return false;
    }
    /*  73 */ virtual void removeChild(Element* child) { (void)child; }
    // True when the old child was replaced (the caller then owns it).
    /*  74 */ virtual bool replaceChild(Element* oldChild, Element* newChild) {
        (void)oldChild, (void)newChild;
        return false;
    }
    /*  75 */ virtual int moveChildrenTo(int from, int count, Element* target, Element* reference, int mode);
    /*  76 */ virtual Element* splitAtIndex(int index) { (void)index; return this; }
    /*  77 */ virtual Element* splitAtChild(Element* child) { return splitAtIndex(indexOfChild(child)); }
    /*  78 */ virtual Element* splitAt(ElementPosition& position) { (void)position; return this; }
    /*  79 */ virtual Element* joinWithSibling(int direction) { (void)direction; return this; }
    /*  80 */ virtual void removeFromParent();
    /*  81 */ virtual bool acceptsChild(const Element* element, bool& needsParagraph) const;
    /*  82 */ virtual int copyChildrenTo(Element* target) const;
    /*  83 */ virtual int createCaretPosition(CaretHolder& holder, int offset);
    /*  84 */ virtual int createCaretRange(CaretHolder& holder, bool whole, int offset);
    /*  85 */ virtual bool slot85(int a, int b, int c, int d) { (void)a, (void)b, (void)c, (void)d; return false; }
    /*  86 */ virtual void slot86(int a, int b, std::intptr_t out[3]) { (void)a, (void)b; out[0] = out[1] = out[2] = 0; }
    /*  87 */ virtual void slot87(int a, int b, int c) { (void)a, (void)b, (void)c; }
    /*  88 */ virtual void slot88(int a) { (void)a; }
    /*  89 */ virtual void slot89(int a) { (void)a; }
    /*  90 */ virtual Element* setCharStyle(ElementCaretRange& range);
    /*  91 */ virtual std::intptr_t slot91() { return 0; }
    /*  92 */ virtual std::intptr_t slot92() { return 0; }
    /*  93 */ virtual void drawCaret(TextPosition& position, int mode) { (void)position, (void)mode; }
    /*  94 */ virtual bool extraVisibleArea(ElementRect& area) { (void)area; return false; }
    /*  95 */ virtual void locatePosition(TextPosition& position) = 0;
    /*  96 */ virtual bool movePosition(TextPosition& position, int code, Element* child, int index) {
        (void)position, (void)code, (void)child, (void)index;
        return false;
    }
    /*  97 */ virtual void positionReleased(ElementPosition& position, int offset) { (void)position, (void)offset; }
    /*  98 */ virtual int slot98(std::intptr_t value, int number) { (void)value; return number; }
    /*  99 */ virtual ParagraphLine* lineAtPosition(TextPosition& position) { (void)position; return nullptr; }
    /* 100 */ virtual bool slot100(int a, int b) { (void)a, (void)b; return false; }
    /* 101 */ virtual void caretArrived();
    /* 102 */ virtual bool command(int code, const char* text, std::intptr_t argument) {
        (void)code, (void)text, (void)argument;
        return false;
    }
    /* 103 */ virtual void appendText(KString& text, int value) { (void)text, (void)value; }
    /* 104 */ virtual void layout(ElementExtent& area) { (void)area; }
    /* 105 */ virtual void slot105(int a) { (void)a; }
    /* 106 */ virtual void collectInputText(KString& text);
    /* 107 */ virtual int inputTextLength() const;
    /* 108 */ virtual void setCaretOffset(int offset);
    /* 109 */ virtual int contextId() const { return 0; }
    /* 110 */ virtual void contextMenu(Menu* menu, int value) { (void)menu, (void)value; }
    /* 111 */ virtual bool runContextMenuEntry(int entry) { (void)entry; return false; }
    /* 112 */ virtual Menu* cachedContextMenu() const;
    /* 113 */ virtual void setCachedContextMenu(Menu* menu);
    /* 114 */ virtual bool isTopOfMark() const;
    /* 115 */ virtual bool ownsWindow() const { return false; }
    /* 116 */ virtual void selectionMarkChanged(int newMark) { (void)newMark; }
    /* 117 */ virtual int markFromSelection(Selection& selection) { (void)selection; return 0; }
    /* 118 */ virtual void slot118(int a, int b) { (void)a, (void)b; }
    /* 119 */ virtual bool mouseDown(const ElementMouseEvent& event) { (void)event; return false; }
    /* 120 */ virtual bool mouseUp(const ElementMouseEvent& event) { (void)event; return false; }
    /* 121 */ virtual bool mouseDrag(const ElementMouseEvent& event) { (void)event; return false; }
    /* 122 */ virtual bool mouseMove(const ElementMouseEvent& event) { (void)event; return false; }
    /* 123 */ virtual int childOffset(const Element* child, ElementPoint& out) const;
    /* 124 */ virtual Element* elementAtPoint(int x, int y, ElementPoint& origin) {
        (void)x, (void)y, (void)origin;
        return nullptr;
    }

    // ---- non-virtual operations -----------------------------------------------------------
    // The cached document; found through the root (a section) and cached on first use.
    ElementDocument* document();
    // Set by the document on its root element.
    void setDocument(ElementDocument* document) { documentCache_ = document; }
    ElementView* activeView();
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
