#pragma once
// The private state of a Window, shared by the files that build the window facets (Window.cpp,
// Window_mdi.cpp).  Not for the program.
//
// Frames: a window normally is its peer widget.  An MDI document frame's peer sits inside a
// QMdiSubWindow of the application window's QMdiArea; position, visibility, title, window
// state and the close request then act on that sub-window (frameWidget), while sizes and the
// back buffer stay the peer's output area.

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <Qt>

#include "platform/gui/Window.h"

class QMdiArea;
class QMdiSubWindow;
class QMenuBar;
class QWidget;
class WindowPeer;

struct Window::WinImpl {
    WindowPeer* peer = nullptr;
    Window* parent = nullptr;
    uint32_t style = 0;
    QImage buffer;
    QRegion pending;   // invalidated, waiting for the program's paint
    bool painting = false;
    Pointer pointer;
    Cursor* caret = nullptr;
    Palette palette;
    // Application frame (style WB_APP_FRAME): the area holding the document frames, placed
    // between the bars whose heights the frame reports (setClientInsets).
    QPointer<QMdiArea> mdiArea;
    long insetTop = 0, insetBottom = 0;
    // Application frame: the menu bar across the top (setAppMenuBar), above the insets.
    QPointer<QMenuBar> menuBar;
    // MDI document frame: the sub-window holding the peer.
    QPointer<QMdiSubWindow> sub;
};

namespace gui::detail {

// The Qt shape of a pointer id (Pointer, Window.h); unknown ids give the arrow.
Qt::CursorShape pointerShape(int id);

// The widget that stands for the window on screen: the MDI sub-window, or the peer.
QWidget* frameWidget(const Window& w);
// Runs a handler of the window behind a peer through the peer's guards (Window.h); false when
// the widget is no live peer or the window went away during the call.
bool dispatchToPeer(QWidget* peer, const std::function<void(Window&)>& f);
// The window behind a peer widget, or null.
Window* windowOfPeer(QWidget* peer);
// True while a handler on the peer runs (the peer must then be deleted later).
bool peerBusy(QWidget* peer);
// Places the MDI area of an application frame (after a resize or new insets).
void layoutMdiArea(Window& frame);
// Makes the area of an application frame.
void createMdiArea(Window& frame);
// Takes a document frame out of its area at the start of its window's destructor.
void releaseMdiFrame(Window& w);

}  // namespace gui::detail
