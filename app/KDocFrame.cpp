// The frames of document windows: the frame window's operations, its events and the close
// request (rules in KDocFrame.h).
#include "app/KDocFrame.h"

#include "app/KDocWindow.h"
#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Resource.h"

// ---- KDocFrame ---------------------------------------------------------------------------------

KDocFrame::~KDocFrame() {
    if (goneFlag_) *goneFlag_ = true;
    if (KDocWindow* held = heldWindow_) {
        heldWindow_ = nullptr;
        delete held;
    }
    if (link_) link_->adaptor = nullptr;   // no late event of the frame window reaches us
    delete frame_;
}

void KDocFrame::adoptFrameWindow(WorkWindow* frame, KFrameWindowLink* link) {
    frame_ = frame;
    link_ = link;
}

void KDocFrame::setHeldWindow(KDocWindow* window) {
    KFrameAdaptor::setHeldWindow(window);
    if (!window || !frame_) return;
    window->setParent(frame_);
    frameResized();
}

bool KDocFrame::isMinimized() const { return frame_ && frame_->isMinimized(); }
bool KDocFrame::isMaximized() const { return frame_ && frame_->isMaximized(); }

void KDocFrame::restore() {
    if (frame_ && frame_->isMinimized()) frame_->restore();
}

void KDocFrame::maximize() {
    if (frame_) frame_->maximize();
}

void KDocFrame::minimize() {
    if (frame_) frame_->minimize();
}

void KDocFrame::setIcon(int resourceId) {
    if (frame_) frame_->setIcon(Icon(ResId(resourceId)));
}

void KDocFrame::setPalette(const Palette& palette) {
    if (frame_) frame_->setPalette(palette);
}

std::uintptr_t KDocFrame::frameValue() const { return frame_ ? frame_->getStyle() : 0; }

void KDocFrame::setTitle(const String& text) {
    if (frame_) frame_->setText(text);
}

void KDocFrame::toTop() {
    if (frame_) frame_->toTop();
}

void KDocFrame::showFrame(bool visible) {
    if (frame_) frame_->show(visible);
}

bool KDocFrame::closeFrame() {
    if (!frame_) return false;
    // The frame closes by deleting this adaptor with itself, which the GUI layer reports as a
    // close that did not happen: the flag on the stack tells.
    bool gone = false;
    goneFlag_ = &gone;
    bool closed = frame_->close();
    if (gone) return true;
    goneFlag_ = nullptr;
    return closed;
}

void KDocFrame::frameResized() {
    if (heldWindow_ && frame_) heldWindow_->setSizePixelOut(frame_->getOutputSizePixel());
}

bool KDocFrame::frameDrop(const MouseEvent& e) { return heldWindow_ && heldWindow_->drop(e); }
bool KDocFrame::frameQueryDrop(const MouseEvent& e) { return heldWindow_ && heldWindow_->queryDrop(e); }

bool KDocFrame::frameCloseRequest() {
    if (KDocWindow* held = heldWindow_) {
        heldWindow_ = nullptr;
        if (asksHeldWindow()) {
            const int before = KDocWindow::liveCount();
            if (!held->closeQuery()) {
                heldWindow_ = held;   // refused: everything stays as it was
                return false;
            }
            // A window that consented without deleting itself goes here.
            if (KDocWindow::liveCount() == before) delete held;
        } else {
            delete held;
        }
    }
    delete this;   // with the frame window, whose handler is running: nothing is touched after
    return true;
}

// ---- the frames ---------------------------------------------------------------------------------

KMDIFrame::KMDIFrame(KDocWindow* heldWindow, uint32_t style) {
    auto* frame = new KFrameWindow<MDIWindow>(this, Application::getAppWindow(), style);
    adoptFrameWindow(frame, frame);
    if (heldWindow) setHeldWindow(heldWindow);
}

KMDIFrame* KMDIFrame::create() { return new KMDIFrame(nullptr, WB_MDI_CHILD); }

void KMDIFrame::frameGotFocus() {
    if (heldWindow_) heldWindow_->grabFocus();
}

KTopFrame::KTopFrame(KDocWindow* heldWindow, uint32_t style) {
    auto* frame = new KFrameWindow<WorkWindow>(this, Application::getAppWindow(), style);
    adoptFrameWindow(frame, frame);
    if (heldWindow) setHeldWindow(heldWindow);
}

void KTopFrame::setIcon(int resourceId) {
    // Built as the frames build it, but top-level help frames keep the icon they have.
    Icon icon{ResId(resourceId)};
    (void)icon;
}

KHelpPageFrame::KHelpPageFrame(KDocWindow* heldWindow) : KTopFrame(heldWindow, WB_POPUP_FRAME) {}
