#pragma once
// KDocWindow: a document window, a child of the application window that brings its own menu
// bar and tool bar with it when it becomes active.  It is held by a frame adaptor
// (KFrameAdaptor.h), which it tells about itself at construction, and reaches the main frame
// through KMainFrameInterface.
//
// Invariants:
//  1. Every KDocWindow alive is counted (liveCount); a window whose destructor runs no longer
//     is.
//  2. The destructor hides the window and removes the context bar; when no document window is
//     left the frame returns to menu bar 1020, tool bar 1000 and context bar 0.
//
// Ownership: the adaptor is borrowed (it owns the frame window, whose child list owns this
// window).  closeQuery deletes the window.

#include <cstdint>

#include "platform/gui/Window.h"

class KFrameAdaptor;

class KDocWindow : public Window {
public:
    // Menus and items whose check marks activate sets from the options.
    static constexpr int kFileMenu = 1100;
    static constexpr int kAutoSaveItem = 1111;
    static constexpr int kViewMenu = 1200;
    static constexpr int kToolBarItem = 1201;
    static constexpr int kStatusLineItem = 1202;
    static constexpr int kContextBarItem = 1203;
    static constexpr int kHelpMenu = 1400;
    static constexpr int kBalloonHelpItem = 1404;
    // Context bar shown when the last document window goes.
    static constexpr int kDefaultContextBar = 0;

    // A child of the application window (Application::getAppWindow) with the given style; tells
    // the adaptor (may be null) about itself.
    explicit KDocWindow(KFrameAdaptor* adaptor, uint32_t style = 0);
    ~KDocWindow() override;

    // ---- fields, in their order ----
    int32_t contextBarIndex = 1;
    int32_t toolBarId = 1;
    int32_t menuBarId = 1;
    int32_t reservedValue = 0;
    KFrameAdaptor* adaptor = nullptr;   // borrowed; null for a window without a frame

    // Sets the window's size in pixels and answers the size it took.
    virtual Size setSizePixelOut(const Size& size);
    // Remembers the menu bar id; the frame shows it at once when this is the active window.
    virtual void setMenuBarId(int id);
    // The frame shows this window's menu bar and tool bar; the check marks of the frame's
    // option items and the balloon help follow the options.
    void activate() override;
    // A menu command; true when handled (the base handles none).
    virtual bool command(int commandId, std::intptr_t argument);
    // Deletes the window and answers true.
    bool closeQuery() override;

    // Stores the context bar index and tool bar id this window shows.
    void setContextBar(int index, int toolBar);
    // Shows a context bar through the frame, only when this is the active worksheet window.
    void setContextBarFor(int index, void* owner, std::intptr_t data);

    // The number of document windows alive.
    static int liveCount();
};
