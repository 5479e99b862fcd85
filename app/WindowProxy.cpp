// WindowProxy: one GUI window's placement, size, focus and pointer.
#include "app/WindowProxy.h"

#include "platform/gui/Window.h"

void WindowProxy::show(bool visible) {
    if (window_) window_->show(visible);
}

void WindowProxy::setPos(int32_t x, int32_t y) {
    if (window_) window_->setPosPixel(Point(x, y));
}

void WindowProxy::getPos(int32_t& x, int32_t& y) const {
    Point p = window_ ? window_->getPosPixel() : Point();
    x = p.x;
    y = p.y;
}

void WindowProxy::getSize(int32_t& width, int32_t& height) const {
    Size s = window_ ? window_->getSizePixel() : Size();
    width = s.width;
    height = s.height;
}

void WindowProxy::setSize(int32_t width, int32_t height) {
    if (window_) window_->setSizePixel(Size(width, height));
}

void WindowProxy::grabFocus() {
    if (window_) window_->grabFocus();
}

bool WindowProxy::hasFocus() const { return window_ && window_->hasFocus(); }

void WindowProxy::setBusyPointer(bool busy) {
    // The system's wait and arrow pointers until the application keeps pointers of its own.
    if (window_) window_->setPointer(Pointer(busy ? POINTER_WAIT : POINTER_ARROW));
}
