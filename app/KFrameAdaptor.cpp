// The frame adaptor's operations on the held document window.
#include "app/KFrameAdaptor.h"

#include "app/KDocWindow.h"

KFrameAdaptor::~KFrameAdaptor() = default;

void KFrameAdaptor::setHeldWindow(KDocWindow* window) { heldWindow_ = window; }

void KFrameAdaptor::show(bool visible) {
    if (heldWindow_) heldWindow_->show(visible);
}

void KFrameAdaptor::setPos(int32_t x, int32_t y) {
    if (heldWindow_) heldWindow_->setPosPixel(Point(x, y));
}

void KFrameAdaptor::getPos(int32_t& x, int32_t& y) const {
    Point p = heldWindow_ ? heldWindow_->getPosPixel() : Point();
    x = p.x;
    y = p.y;
}

void KFrameAdaptor::getSize(int32_t& width, int32_t& height) const {
    Size s = heldWindow_ ? heldWindow_->getSizePixel() : Size();
    width = s.width;
    height = s.height;
}

void KFrameAdaptor::setSize(int32_t width, int32_t height) {
    if (heldWindow_) heldWindow_->setSizePixel(Size(width, height));
}

void KFrameAdaptor::grabFocus() {
    if (heldWindow_) heldWindow_->grabFocus();
}

bool KFrameAdaptor::hasFocus() const { return heldWindow_ && heldWindow_->hasFocus(); }

void KFrameAdaptor::activateHeld() {
    if (heldWindow_) heldWindow_->activate();
}

bool KFrameAdaptor::closeFrame() { return true; }
