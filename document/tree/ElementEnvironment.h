#pragma once
// ElementEnvironment: what the element tree needs of the document, its views and its worksheet
// window, as narrow interfaces.  The element layer sees the world only through these, so that
// it builds and is tested without the GUI layer: the worksheet document and window classes
// implement them (over platform/gui), tests implement them with fixed metrics and recorders.
//
// Owns nothing.  Every pointer handed out by these interfaces is borrowed for one call.
//
//   ElementDocument  the owning document: views, held layout, placing a position at a point,
//                    the document's own caret moves, the active worksheet window.
//   DocumentView     (DocumentView.h) the view the document is shown in: geometry, scales,
//                    coordinates, measuring and drawing.
//   ElementWindow    the worksheet window: visibility and scrolling, inversion, repaint,
//                    menu bar, command states, the beep and the text cursor.
//   TextCursor       the GUI text cursor that a caret places, sizes, shows and hides.
//
// Geometry is in document pixels unless a name says window.

#include <cstdint>

class DocumentView;
class Element;
class StyleSet;
class TextPosition;
class ViewCaret;

struct ElementPoint {
    int x = 0;
    int y = 0;
};

struct ElementRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    int right() const { return x + width; }     // one past the last column
    int bottom() const { return y + height; }   // one past the last row
};

struct ElementExtent {
    int width = 0;
    int height = 0;
};

// A mouse event as elements see it: document point, click count, buttons (1 left, 4 right).
struct ElementMouseEvent {
    int x = 0;
    int y = 0;
    int clicks = 1;
    int buttons = 1;
};

class TextCursor {
public:
    virtual ~TextCursor() = default;
    virtual void setSize(int width, int height) = 0;
    virtual void setPos(int x, int y) = 0;   // window coordinates
    virtual void show() = 0;
    virtual void hide() = 0;
};

class ElementWindow {
public:
    virtual ~ElementWindow() = default;
    virtual DocumentView* view() = 0;
    // Makes the text cursor of the window (Cursor::Cursor, Window::setCursor); owned by the caller.
    virtual TextCursor* createCursor() = 0;
    virtual bool isRectVisible(const ElementRect& documentRect) = 0;
    virtual void scrollIntoView(const ElementRect& documentRect) = 0;
    virtual void invert(const ElementRect& documentRect) = 0;
    virtual void update() {}                 // paint pending invalid areas
    virtual bool allowsCaret() const { return true; }
    virtual void setMenuBarId(int id) { (void)id; }
    virtual int menuBarId() const { return 0; }
    virtual void refreshCommandState(int commandId) { (void)commandId; }
    virtual void beep() {}
    // The pointer over text (the application's text pointer) until the mouse moves on.
    virtual void showTextPointer() {}
    // The options' debug switch: selection zones are drawn only while it is set.
    virtual bool drawsSelectionZones() const { return true; }
    // The selection of this window, flagged active after a double click.
    virtual void selectionActivated() {}
    virtual ViewCaret* caret() { return nullptr; }
    virtual class Selection* selection() { return nullptr; }

    // Requests of elements to the window's editing part (nothing happens here).
    // An element takes the mouse while it drags (its origin in document pixels), and gives it
    // back.
    virtual void captureElement(Element* element, ElementPoint origin) { (void)element, (void)origin; }
    virtual void releaseElement(Element* element, ElementPoint origin) { (void)element, (void)origin; }
    // Shows the pointer of a program resource over the window (the resize pointers 1002-1005).
    virtual void setPointer(int resourceId) { (void)resourceId; }
    // Selects context bar `index` for its owner element and shows the window's context bar again.
    virtual void showContextBar(int index, Element* owner) { (void)index, (void)owner; }
    // The style boxes show a paragraph style and a character style of the style set.
    virtual void showStyles(StyleSet* styleSet, int paragraphStyle, int characterStyle) {
        (void)styleSet, (void)paragraphStyle, (void)characterStyle;
    }
    // Runs an editing action through the window; false when not handled.
    virtual bool executeAction(int code, const char* text, std::intptr_t argument) {
        (void)code, (void)text, (void)argument;
        return false;
    }
    // Clears the selection's marks from the whole tree.
    virtual void clearSelectionMarks() {}
    // The document's computation started or ended: the window keeps editing out meanwhile.
    virtual void setComputing(bool on) { (void)on; }
};

class ElementDocument {
public:
    virtual ~ElementDocument() = default;
    virtual Element* root() = 0;
    virtual DocumentView* activeView() { return nullptr; }
    virtual ElementWindow* activeWindow() { return nullptr; }
    // Held layout: tree changes only flag layout while it is held.
    virtual bool layoutHeld() const { return false; }
    virtual void holdLayout() {}
    virtual void releaseLayout() {}
    // Every view of the document forgets the element (it is being destroyed or detached).
    virtual void forgetElement(Element* element) { (void)element; }
    // Places the position at a document point; the default descends from the root.
    virtual void positionAtPoint(TextPosition& position, int x, int y);
    // The document's own caret moves; true when it handled the code.
    virtual bool moveCaret(ViewCaret& caret, int code) { (void)caret, (void)code; return false; }
    virtual void beep();
};

// Holds a document's layout for a scope (none without a document); the release that ends the
// outermost hold lays the tree out once.
class LayoutHoldScope {
public:
    explicit LayoutHoldScope(ElementDocument* document) : document_(document) {
        if (document_) document_->holdLayout();
    }
    ~LayoutHoldScope() {
        if (document_) document_->releaseLayout();
    }
    LayoutHoldScope(const LayoutHoldScope&) = delete;
    LayoutHoldScope& operator=(const LayoutHoldScope&) = delete;

private:
    ElementDocument* document_;
};
