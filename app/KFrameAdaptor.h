#pragma once
// KFrameAdaptor: the one set of window operations a document window asks of the frame that
// holds it, so that the same window class works in an MDI child and in a free-standing top-level
// window.  A frame (KMDIFrame, KTopFrame, KHelpPageFrame) derives from this base, owns its
// frame window and re-parents the held document window into it.
//
// The base acts on the held window only, and each operation does nothing when no window is held
// (hasFocus answers false, getPos and getSize answer 0).  The operations on the frame window
// itself (state, icon, palette, title, order, visibility) are the frames' own.
//
// Ownership: the adaptor does not own the held window; the frame window's child list does.  An
// adaptor lives as long as its frame window: it is made before the document window, handed to
// its constructor (which calls setHeldWindow with itself) and deleted by the frame's close
// request.

#include <cstdint>

#include "platform/gui/base/Color.h"
#include "platform/gui/base/String.h"

class KDocWindow;

class KFrameAdaptor {
public:
    KFrameAdaptor() = default;
    virtual ~KFrameAdaptor();
    KFrameAdaptor(const KFrameAdaptor&) = delete;
    KFrameAdaptor& operator=(const KFrameAdaptor&) = delete;

    // Stores the window (null forgets it).  The frames also re-parent it into their frame window
    // and run the frame window's resize handling.
    virtual void setHeldWindow(KDocWindow* window);
    // Does nothing; a frame may give it a meaning.
    virtual void reservedOperation() {}
    virtual void show(bool visible);
    virtual void setPos(int32_t x, int32_t y);
    virtual void getPos(int32_t& x, int32_t& y) const;
    virtual void getSize(int32_t& width, int32_t& height) const;
    virtual void setSize(int32_t width, int32_t height);
    virtual void grabFocus();
    virtual bool hasFocus() const;
    // Runs the held window's activate.
    virtual void activateHeld();

    // ---- the frame window's own operations ----
    virtual bool isMinimized() const = 0;
    virtual bool isMaximized() const = 0;
    // Restores the frame window when it is minimised.
    virtual void restore() = 0;
    virtual void maximize() = 0;
    virtual void minimize() = 0;
    virtual void setIcon(int resourceId) = 0;
    // Selects a colour palette into the frame window.
    virtual void setPalette(const Palette& palette) = 0;
    // A copy of a value the frame window holds; its meaning is the frame's.
    virtual std::uintptr_t frameValue() const = 0;
    virtual void setTitle(const String& text) = 0;
    // Brings the frame window in front.
    virtual void toTop() = 0;
    virtual void showFrame(bool visible) = 0;
    // The frame's close request; the base answers true.
    virtual bool closeFrame();

    KDocWindow* heldWindow() const { return heldWindow_; }

protected:
    KDocWindow* heldWindow_ = nullptr;   // not owned; null when none
};
