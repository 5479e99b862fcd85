#pragma once
// The frames of document windows: each owns a top-level frame window and holds one document
// window in it (KFrameAdaptor.h).
//
//   KDocFrame       what the frames share: the frame window's operations mapped one to one,
//                   the held window re-parented into the frame window and sized to its output
//                   size, and the frame window's events (resize, focus, drops, activation, the
//                   close request) routed to the held window.
//   KMDIFrame       an MDIWindow in the application window's MDI area (style 258 by default):
//                   worksheet windows, plot windows, the help browser.  The held window takes
//                   the focus after the frame got it; the close request asks the held window.
//   KTopFrame       a WorkWindow under the application window (style 496 or a given one):
//                   help documents.  Closes without asking; setIcon builds the icon and does
//                   not apply it.
//   KHelpPageFrame  a KTopFrame of style 5 for help pages: maximize does nothing, and the close
//                   request asks the held window.
//
// Close request (the frame window's closeQuery), in this order:
//   1. The adaptor lets go of the held window, so that nothing reaches it while it decides and
//      goes.  A frame that asks runs the held window's closeQuery: a refusal gives the window
//      back and answers false, with nothing changed.  Consent means the window deleted itself
//      (KDocWindow::closeQuery); one that did not is deleted here.  A KTopFrame deletes the
//      held window without asking (its view goes, and with the last view its document).
//   2. The adaptor deletes itself with its frame window, last, and the request answers true at
//      once: nothing of the adaptor, the frame window or the held window is touched after its
//      deletion.  The GUI layer keeps the frame window's peer until its handler has returned
//      and does not call Window::close from inside the request.
//
// Ownership: an adaptor owns its frame window and the held window (deleted with it when still
// held); it is created before the document window, handed to its constructor, and deletes
// itself in the close request (or is deleted by its owner).

#include <cstdint>

#include "app/KFrameAdaptor.h"
#include "platform/gui/Window.h"

class KDocFrame;

// The frame window's link back to its adaptor (null once the adaptor let go of it).
struct KFrameWindowLink {
    KDocFrame* adaptor = nullptr;
};

class KDocFrame : public KFrameAdaptor {
public:
    ~KDocFrame() override;

    // Stores the window, re-parents it into the frame window and sizes it to the frame window's
    // output size.
    void setHeldWindow(KDocWindow* window) override;

    bool isMinimized() const override;
    bool isMaximized() const override;
    void restore() override;
    void maximize() override;
    void minimize() override;
    void setIcon(int resourceId) override;
    void setPalette(const Palette& palette) override;
    // The frame window's style bits (no caller depends on the value).
    std::uintptr_t frameValue() const override;
    void setTitle(const String& text) override;
    void toTop() override;
    void showFrame(bool visible) override;
    // Sends the frame window its close request; true when it closed.  The adaptor may be gone
    // afterwards (it deletes itself when the frame closes).
    bool closeFrame() override;

    WorkWindow* frameWindow() const { return frame_; }

    // ---- the frame window's events ----
    // The held window gets exactly the frame window's output size.
    void frameResized();
    virtual void frameGotFocus() {}
    bool frameDrop(const MouseEvent& e);
    bool frameQueryDrop(const MouseEvent& e);
    // The close request (see the opening comment); may delete this adaptor.
    bool frameCloseRequest();

protected:
    KDocFrame() = default;
    // Takes ownership of the frame window (built by the subclass with a link to this adaptor).
    void adoptFrameWindow(WorkWindow* frame, KFrameWindowLink* link);
    // Whether the close request asks the held window first.
    virtual bool asksHeldWindow() const { return true; }

private:
    WorkWindow* frame_ = nullptr;      // owned
    KFrameWindowLink* link_ = nullptr; // the frame window's link (part of it)
    bool* goneFlag_ = nullptr;         // set by the destructor while closeFrame waits
};

// Builds a frame window of `Base` (MDIWindow or WorkWindow) whose events reach the adaptor.
template <class Base>
class KFrameWindow : public Base, public KFrameWindowLink {
public:
    KFrameWindow(KDocFrame* owner, Window* parent, uint32_t style) : Base(parent, style) { adaptor = owner; }

    void resize() override {
        if (adaptor) adaptor->frameResized();
        Base::resize();
    }
    void getFocus() override {
        Base::getFocus();
        if (adaptor) adaptor->frameGotFocus();
    }
    bool drop(const MouseEvent& e) override { return adaptor && adaptor->frameDrop(e); }
    bool queryDrop(const MouseEvent& e) override { return adaptor && adaptor->frameQueryDrop(e); }
    void activate() override {
        if (adaptor) adaptor->activateHeld();
    }
    // Returns at once after the adaptor's request: the adaptor may have deleted this window.
    bool closeQuery() override { return adaptor ? adaptor->frameCloseRequest() : true; }
};

class KMDIFrame : public KDocFrame {
public:
    KMDIFrame(KDocWindow* heldWindow, uint32_t style);
    // A frame with no held window and the MDI child style 258.
    static KMDIFrame* create();

    void frameGotFocus() override;
};

class KTopFrame : public KDocFrame {
public:
    explicit KTopFrame(KDocWindow* heldWindow, uint32_t style = WB_FRAME);
    // Builds the icon of the resource and leaves the frame's icon as it is.
    void setIcon(int resourceId) override;

protected:
    bool asksHeldWindow() const override { return false; }
};

class KHelpPageFrame : public KTopFrame {
public:
    explicit KHelpPageFrame(KDocWindow* heldWindow);
    void maximize() override {}

protected:
    bool asksHeldWindow() const override { return true; }
};
