#pragma once
// Window: a window of the program with a Qt peer widget, a back buffer and the virtual events
// the program overrides.
//
// Back buffer: every window keeps a QImage (Format_RGB32, device-pixel ratio 1) of its output
// size.  Drawing through the window's OutputDevice writes into it at any time, also outside
// paint events; the screen catches up at the next paint event without a call into the program.
// The peer's paint event first lets the program paint the areas it invalidated (invalidate,
// first show, resize), then copies the image to the screen and draws the text caret on top (the
// caret never enters the image).  Window::update paints the pending areas at once.
//
// Lifetime guards:
//  1. The peer is detached at the start of the window's destructor: no event reaches the window
//     after that (events during a derived class's destructor body still reach it).
//  2. A window deleted inside one of its own handlers is never touched again: the peer counts
//     the handlers running on it and deletes itself after the outermost one returns.
//  3. A peer deleted by Qt (its parent peer went first) tells its window, which then has none.
//
// Events, in slot order: mouseMove, mouseButtonDown, mouseButtonUp, keyInput, paint, resize,
// move, getFocus, loseFocus, requestHelp (F1), drop, queryDrop, activate, closeQuery.  Each
// runs through gui::guardedCall (Application.h).
//
// Drag and drop: the program prepares the data of a drag through DragServer (DragServer.h) and
// runs it with startDrag.  Drops arriving at a window ask queryDrop while the pointer moves over
// it and drop when released; both get a MouseEvent with the point (window pixels) and the
// action as its click count (DROP_MOVE 1, DROP_COPY 2: a copy while Ctrl is held), and read the
// data through DragServer while they run.

#include <cstdint>

#include "platform/gui/OutputDevice.h"
#include "platform/gui/base/input_events.h"

class QWidget;
class Cursor;

// Window styles the program passes.
enum : uint32_t {
    WB_CHILD_PLAIN = 0,         // splash (top-level): borderless
    WB_SCROLLED_DOC = 2,        // document and GL plot windows
    WB_BAR = 4,                 // context bars, help column pane
    WB_POPUP_FRAME = 5,         // help pop-up frame: borderless top-level; status bar style
    WB_MDI_CHILD = 258,         // MDI child frame
    WB_FRAME = 496,             // ordinary resizable top-level window
    WB_APP_FRAME = 1520,        // the main frame with the MDI client area
    WB_SCROLL_HORZ = 0x5000,
    WB_SCROLL_VERT = 0x6000,
    WB_SPLITTER = 0x2000,
};

enum : int { POINTER_ARROW = 0, POINTER_WAIT = 1, POINTER_TEXT = 3 };

// Drag actions: the allowed set passed to startDrag (bits; 15 = any) and its result.
enum : int { DRAG_COPY = 1, DRAG_MOVE = 2, DRAG_LINK = 4, DRAG_ALL = 15 };
// The action of a drop event (its click count).
enum : uint16_t { DROP_MOVE = 1, DROP_COPY = 2 };

class Pointer {
public:
    Pointer() = default;
    // A system style (0 arrow, 1 wait, 3 text) or a pointer resource id (1000-1006).
    explicit Pointer(int styleOrResource) : id_(styleOrResource) {}
    int getId() const { return id_; }
    bool operator==(const Pointer&) const = default;

private:
    int id_ = POINTER_ARROW;
};

class Window : public OutputDevice {
public:
    Window(Window* parent, uint32_t style = 0);
    ~Window() override;

    // ---- events (override) ----
    virtual void mouseMove(const MouseEvent& e);
    virtual void mouseButtonDown(const MouseEvent& e);
    virtual void mouseButtonUp(const MouseEvent& e);
    // Unhandled keys go to the parent window.
    virtual void keyInput(const KeyEvent& e);
    // Paints the rectangle (pixels); the default erases it with the background brush.
    virtual void paint(const Rectangle& r);
    virtual void resize();
    virtual void move();
    virtual void getFocus();
    virtual void loseFocus();
    virtual void requestHelp();
    // A drop at the event's point; true when the window took the data.  Default: refused.
    virtual bool drop(const MouseEvent& e);
    // Whether a drop at the event's point would be taken.  Default: refused.
    virtual bool queryDrop(const MouseEvent& e);
    virtual void activate();
    // The close request; true lets the window close.
    virtual bool closeQuery();

    // ---- operations ----
    void show(bool visible = true);
    void hide() { show(false); }
    bool isVisible() const;
    // Paints the pending invalid areas at once.
    void update();
    void invalidate(const Rectangle& r);
    void invalidate();
    // Also invalidates the child windows.
    void invalidateAll();
    // Moves the pixels of `area` (the whole output when empty) by (dx, dy) and invalidates the
    // uncovered strip.
    void scroll(long dx, long dy, const Rectangle& area = Rectangle());
    void setPosPixel(const Point& p);
    Point getPosPixel() const;
    void setSizePixel(const Size& s);
    Size getSizePixel() const;
    void setPosSizePixel(const Point& p, const Size& s);
    void setText(const String& text);
    String getText() const;
    void toTop();
    void grabFocus();
    bool hasFocus() const;
    void enableInput(bool on);
    bool isInputEnabled() const;
    void captureMouse();
    void releaseMouse();
    void setPointer(const Pointer& p);
    const Pointer& getPointer() const;
    void setCursor(Cursor* c);
    Cursor* getCursor() const;
    // Kept and returned; a true-colour display needs nothing.
    Palette setPalette(const Palette& p);
    Point outputToScreenPixel(const Point& p) const;
    // The peer widget (opaque); null once the peer is gone.
    void* getNativeHandle() const;
    void setParent(Window* parent);
    Window* getParent() const;
    // Runs the close request; true when the window closed (was hidden).
    bool close();
    // Runs a drag of the data prepared through DragServer since its last clear, showing the
    // move and copy pointers (resources 1000 and 1001) over targets, and returns when it ends:
    // DRAG_COPY (1) or DRAG_MOVE (2) when a target took it, 0 when nobody did or the allowed set
    // holds neither.  In the test mode the next script step (DropAt or CancelDialog) decides.
    // An exception a handler lets escape during the drag is rethrown here.
    int startDrag(const Pointer& movePointer, const Pointer& copyPointer, int allowedActions = DRAG_ALL);
    uint32_t getStyle() const;

    // The back buffer (test mode and the layer's own use).
    const QImage* backBuffer() const;

    struct WinImpl;
    WinImpl* win_;

protected:
    QPaintDevice* paintTarget() const override;
    QImage* imageTarget() const override;
    void touched() const override;
};

// The text caret: a rectangle in window pixels drawn over the back buffer (never into it),
// blinking in the focused window only.
class Cursor {
public:
    Cursor() = default;
    ~Cursor();
    void setSize(const Size& s);
    const Size& getSize() const { return size_; }
    void setPos(const Point& p);
    const Point& getPos() const { return pos_; }
    void show();
    void hide();
    bool isVisible() const { return visible_; }

private:
    friend class Window;
    void repaint();
    Window* window_ = nullptr;
    Point pos_;
    Size size_{2, 16};
    bool visible_ = false;
};

// A top-level window.  With style WB_APP_FRAME it is the application frame: it holds the MDI
// area of the document frames, which fills its output area less the heights of the bars the
// frame places itself at the top (tool box, context bar) and at the bottom (status bar).
class WorkWindow : public Window {
public:
    WorkWindow(Window* parent, uint32_t style);
    bool isMinimized() const;
    bool isMaximized() const;
    void minimize();
    void maximize();
    void restore();
    // The frame's icon (an empty icon removes it).
    void setIcon(const Icon& icon);
    // Application frame: the pixel heights taken by the bars above and below the MDI area
    // (negative values count as 0).  The frame's resize layout reports them.
    void setClientInsets(long top, long bottom);
    // The MDI area's rectangle in the frame's output pixels (empty without an area).
    Rectangle getClientRect() const;
    // Application frame: a menu bar across the top made of the menu's items (their sub-menus
    // open from it); null removes it.  The menu is borrowed: it stays alive while it is the
    // bar, or is replaced first.  The insets count from below the bar.
    void setAppMenuBar(class Menu* menu);
    // The height the menu bar takes (0 without one).
    long getMenuBarHeight() const;
};

// A document frame inside the MDI area of the application window (the parent's area, else the
// application window's).  Position, title, window state and the close request act on the
// sub-window; the output size is the area inside its frame.  Without any MDI area the frame
// is an ordinary top-level window.  Closing only hides it; the program deletes it.
class MDIWindow : public WorkWindow {
public:
    MDIWindow(Window* parent, uint32_t style = WB_MDI_CHILD);
    ~MDIWindow() override;
    // True when it is the area's active document frame.
    bool isActiveFrame() const;
};

// A small tool window with a title that floats over the main frame (its parent's top-level
// window); hidden with it, never behind it.
class FloatingWindow : public Window {
public:
    FloatingWindow(Window* parent, uint32_t style = WB_FRAME);
    // The output size (the area inside the title and borders).
    void setOutputSizePixel(const Size& s) { setSizePixel(s); }
};

// The MDI operations on the application window's area (Window menu commands 1351 to 1356; Close
// All is Application::closeAll).  Each does nothing without an area.
namespace MDI {
void cascade();
// Sub-windows in a grid.
void tile();
// One above another, each as wide as the area.
void horizontal();
// Side by side, each as high as the area.
void vertical();
// Minimised frames in a row along the bottom edge of the area, left to right.
void arrangeIcons();
// The window-list menu: the layer appends, after a separator, one item per document frame
// ("~1 title" ...), with ids from WINDOWLIST_FIRST_ID, each time the menu is about to show;
// choosing one activates (and restores) that frame.  The menu is not owned; null stops.
void setWindowListMenu(class Menu* menu);
constexpr uint16_t WINDOWLIST_FIRST_ID = 30000;
constexpr uint16_t WINDOWLIST_MAX = 100;
}  // namespace MDI
