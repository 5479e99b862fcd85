// Scrolling a document of a given size: layout of bars and corner box, pixel scrolling, the
// bars' events, keeping rectangles in view.
#include "app/KScrolledDocWindow.h"

#include <algorithm>
#include <cstdlib>

#include "app/KScrollBar.h"

namespace {

// A change beyond this many pixels repaints instead of moving pixels.
constexpr long kLargestPixelMove = 32766;

// Inclusive 32-bit edges.
struct Edges {
    long long left, top, right, bottom;
    long long width() const { return right - left + 1; }
    long long height() const { return bottom - top + 1; }
    bool empty() const { return right < left || bottom < top; }
    bool contains(const Edges& o) const {
        return o.left >= left && o.top >= top && o.right <= right && o.bottom <= bottom;
    }
};

Edges edgesOf(const ElementRect& r) {
    return {r.x, r.y, static_cast<long long>(r.x) + r.width - 1, static_cast<long long>(r.y) + r.height - 1};
}

uint8_t flagsFromCreate(int create) {
    uint8_t f = 0;
    if (create & KScrolledDocWindow::CREATE_LIVE) f |= KScrolledDocWindow::FLAG_LIVE;
    if (create & KScrolledDocWindow::CREATE_CENTRE_V) f |= KScrolledDocWindow::FLAG_CENTRE_V;
    if (create & KScrolledDocWindow::CREATE_CENTRE_H) f |= KScrolledDocWindow::FLAG_CENTRE_H;
    if (create & KScrolledDocWindow::CREATE_BARS_ALWAYS) f |= KScrolledDocWindow::FLAG_BARS_ALWAYS;
    if (create & KScrolledDocWindow::CREATE_BARS_NEVER) f |= KScrolledDocWindow::FLAG_BARS_NEVER;
    return f;
}

long clampLong(long long v) {
    return static_cast<long>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

KScrolledDocWindow::KScrolledDocWindow(KFrameAdaptor* adaptorIn, int createFlags)
    : KDocWindow(adaptorIn, WB_SCROLLED_DOC), flags(flagsFromCreate(createFlags)) {
    vBar_ = std::make_unique<KScrollBar>(this, WB_SCROLL_VERT);
    hBar_ = std::make_unique<KScrollBar>(this, WB_SCROLL_HORZ);
    corner_ = std::make_unique<Window>(this, 0);
    corner_->setBackgroundBrush(Brush(Color(kCornerColour), BRUSH_SOLID));
    vBarWidth = static_cast<int16_t>(vBar_->getSizePixel().width);
    hBarHeight = static_cast<int16_t>(hBar_->getSizePixel().height);
    hLineStep = vBarWidth;
    vLineStep = hBarHeight;
    vBar_->hide();
    hBar_->hide();
    corner_->hide();
    for (KScrollBar* bar : {vBar_.get(), hBar_.get()}) {
        bar->setScrollHdl(Link(this, &KScrolledDocWindow::barMoved));
        bar->setEndScrollHdl(Link(this, &KScrolledDocWindow::barReleased));
    }
    layout();
}

KScrolledDocWindow::~KScrolledDocWindow() {
    // The bars' handlers point here: no event may reach them while the window goes.
    vBar_->setScrollHdl(Link());
    vBar_->setEndScrollHdl(Link());
    hBar_->setScrollHdl(Link());
    hBar_->setEndScrollHdl(Link());
}

Size KScrolledDocWindow::canvasSize() const {
    Size out = getOutputSizePixel();
    long w = out.width - (vShown_ ? vBarWidth : 0);
    long h = out.height - (hShown_ ? hBarHeight : 0);
    return Size(std::max(0L, w), std::max(0L, h));
}

void KScrolledDocWindow::resize() { layout(); }

void KScrolledDocWindow::setDocumentSize(int32_t width, int32_t height) {
    docWidth = std::max<int32_t>(0, width);
    docHeight = std::max<int32_t>(0, height);
    layout();
}

void KScrolledDocWindow::layout() {
    // 1. Which bars show, and the canvas they leave.
    Size out = getOutputSizePixel();
    long cw = out.width, ch = out.height;
    bool showH = false, showV = false;
    if (flags & FLAG_BARS_ALWAYS) {
        showH = showV = true;
        cw -= vBarWidth;
        ch -= hBarHeight;
    } else if (!(flags & FLAG_BARS_NEVER)) {
        // A horizontal bar takes height, which may make the vertical bar necessary, and the
        // other way round: repeat until neither changes.
        bool changed = true;
        while (changed) {
            changed = false;
            if (cw < docWidth && !showH) {
                showH = changed = true;
                ch -= hBarHeight;
            }
            if (ch < docHeight && !showV) {
                showV = changed = true;
                cw -= vBarWidth;
            }
        }
    }
    cw = std::max(0L, cw);
    ch = std::max(0L, ch);

    // 2. A document scrolled past its end comes back to the canvas's far edge (never past
    //    its own start).
    long x = scrollX, y = scrollY;
    if (x < 0 && x + docWidth < cw) x = std::min(0L, cw - docWidth);
    if (y < 0 && y + docHeight < ch) y = std::min(0L, ch - docHeight);
    // 3. Without its bar a direction is not scrolled: the document sits at the start or centred.
    if (!(showH && showV)) {
        if (!showV) y = (flags & FLAG_CENTRE_V) ? (ch - docHeight) / 2 : 0;
        if (!showH) x = (flags & FLAG_CENTRE_H) ? (cw - docWidth) / 2 : 0;
    }
    // 4. A bar that appears starts at the document's start.
    if (showH && !hShown_) x = 0;
    if (showV && !vShown_) y = 0;
    hShown_ = showH;
    vShown_ = showV;

    // 5. Move what shows.
    long dx = x - scrollX, dy = y - scrollY;
    if (dx != 0 || dy != 0) {
        beforeScroll();
        scrollX = static_cast<int32_t>(x);
        scrollY = static_cast<int32_t>(y);
        moveCanvasPixels(dx, dy);
        afterScroll();
        scrolled(dx, dy);
    }

    // 6. The corner box between two bars.
    corner_->setPosSizePixel(Point(cw, ch), Size(vBarWidth, hBarHeight));
    corner_->show(showH && showV);

    // 7. The bars along the canvas.
    hBar_->setPosSizePixel(Point(0, ch), Size(cw, hBarHeight));
    hBar_->setup(cw, docWidth, -scrollX, hLineStep);
    vBar_->setPosSizePixel(Point(cw, 0), Size(vBarWidth, ch));
    vBar_->setup(ch, docHeight, -scrollY, vLineStep);
    hBar_->show(showH);
    vBar_->show(showV);
}

void KScrolledDocWindow::moveCanvasPixels(long dx, long dy) {
    Size c = canvasSize();
    if (c.width <= 0 || c.height <= 0) return;
    if (std::max(std::labs(dx), std::labs(dy)) > kLargestPixelMove ||
        (std::labs(dy) >= c.height && std::labs(dx) >= c.width)) {
        invalidate();
        return;
    }
    scroll(dx, dy, Rectangle(Point(0, 0), c));
}

void KScrolledDocWindow::scrollBy(long dx, long dy) {
    if (dx == 0 && dy == 0) return;
    const bool inProgress = flags & FLAG_SCROLLING;
    if (!inProgress) beforeScroll();
    Size c = canvasSize();
    long long nx = scrollX, ny = scrollY;
    if (dx != 0) nx = std::min<long long>(std::max<long long>(nx - dx, static_cast<long long>(c.width) - docWidth), 0);
    if (dy != 0) ny = std::min<long long>(std::max<long long>(ny - dy, static_cast<long long>(c.height) - docHeight), 0);
    long cx = static_cast<long>(nx - scrollX), cy = static_cast<long>(ny - scrollY);
    if (cx != 0 || cy != 0) {
        update();
        scrollX = static_cast<int32_t>(nx);
        scrollY = static_cast<int32_t>(ny);
        moveCanvasPixels(cx, cy);
        afterScroll();
        update();
    }
    if (!inProgress) {
        scrolled(cx, cy);
        if (cx != 0) hBar_->setThumbPos(-scrollX);
        if (cy != 0) vBar_->setThumbPos(-scrollY);
    }
}

void KScrolledDocWindow::scrollTo(ElementPoint point, bool atBottom) {
    long long py = point.y;
    if (atBottom) py -= canvasSize().height;
    scrollBy(clampLong(point.x + static_cast<long long>(scrollX)), clampLong(py + scrollY));
}

void KScrolledDocWindow::resizeDocumentAt(int32_t dx, int32_t dy, ElementPoint at) {
    Size c = canvasSize();
    long long r = static_cast<long long>(scrollY) + at.y;   // the window row of the point
    if (dy != 0 && r < c.height && c.width > 0) {
        long long from = std::max<long long>(r, 0);
        long long bandTop = std::max<long long>(dy < 0 ? r - dy : r, 0);
        if (std::labs(dy) < c.height && bandTop < c.height) {
            scroll(0, dy, Rectangle(0, from, c.width - 1, c.height - 1));
            if (dy < 0) invalidate(Rectangle(0, c.height + dy, c.width - 1, c.height - 1));
        } else {
            invalidate(Rectangle(0, from, c.width - 1, c.height - 1));
        }
    }
    docWidth = static_cast<int32_t>(std::max<long long>(0, static_cast<long long>(docWidth) + dx));
    docHeight = static_cast<int32_t>(std::max<long long>(0, static_cast<long long>(docHeight) + dy));
    layout();
}

bool KScrolledDocWindow::isRectVisible(const ElementRect& rect) const {
    Size c = canvasSize();
    return Edges{0, 0, c.width - 1, c.height - 1}.contains(edgesOf(rect));
}

bool KScrolledDocWindow::scrollIntoView(const ElementRect& rect, bool adjust) {
    Size c = canvasSize();
    const Edges canvas{0, 0, c.width - 1, c.height - 1};
    const Edges given = edgesOf(rect);
    const Edges doc{scrollX, scrollY, static_cast<long long>(scrollX) + docWidth - 1,
                    static_cast<long long>(scrollY) + docHeight - 1};
    Edges target = given;
    if (adjust) {
        // Back inside the document: first against the right and bottom edges, then against the
        // left and top ones, never beyond the opposite edge.
        auto shiftBack = [](long long& lo, long long& hi, long long docLo, long long docHi) {
            if (hi > docHi) {
                long long s = std::min(hi - docHi, std::max(0LL, lo - docLo));
                lo -= s;
                hi -= s;
            }
            if (lo < docLo) {
                long long s = std::min(docLo - lo, std::max(0LL, docHi - hi));
                lo += s;
                hi += s;
            }
        };
        shiftBack(target.left, target.right, doc.left, doc.right);
        shiftBack(target.top, target.bottom, doc.top, doc.bottom);
    } else {
        target = {std::max(given.left, doc.left), std::max(given.top, doc.top), std::min(given.right, doc.right),
                  std::min(given.bottom, doc.bottom)};
    }
    if (canvas.contains(given)) return true;
    if (!target.empty() && (target.left != canvas.left || target.top != canvas.top)) {
        Edges u{std::min(target.left, canvas.left), std::min(target.top, canvas.top),
                std::max(target.right, canvas.right), std::max(target.bottom, canvas.bottom)};
        scrollBy(clampLong((u.left + u.right) - (canvas.left + canvas.right)),
                 clampLong((u.top + u.bottom) - (canvas.top + canvas.bottom)));
    }
    if (target.empty()) return true;
    return c.width >= target.width() && c.height >= target.height();
}

void KScrolledDocWindow::setScrollBarMode(int mode) {
    flags &= static_cast<uint8_t>(~(FLAG_BARS_ALWAYS | FLAG_BARS_NEVER));
    if (mode == MODE_ALWAYS) flags |= FLAG_BARS_ALWAYS;
    else if (mode == MODE_NEVER) flags |= FLAG_BARS_NEVER;
    layout();
}

long KScrolledDocWindow::barMoved(void* barArg) {
    auto* bar = static_cast<KScrollBar*>(barArg);
    if (!(flags & FLAG_SCROLLING)) {
        beforeScroll();
        flags |= FLAG_SCROLLING;
        moveStartX_ = scrollX;
        moveStartY_ = scrollY;
        hMoved_ = vMoved_ = 0;
    }
    // The movement so far, in document pixels (the bar answers each step's delta).
    if (bar == hBar_.get()) hMoved_ += bar->delta();
    else vMoved_ += bar->delta();
    if (flags & FLAG_LIVE) {
        if (bar == hBar_.get()) scrollBy(bar->delta(), 0);
        else scrollBy(0, bar->delta());
    }
    return 0;
}

long KScrolledDocWindow::barReleased(void*) {
    if (!(flags & FLAG_SCROLLING)) return 0;
    if (!(flags & FLAG_LIVE)) scrollBy(hMoved_, vMoved_);
    flags &= static_cast<uint8_t>(~FLAG_SCROLLING);
    hMoved_ = vMoved_ = 0;
    // The thumbs show where the document came to rest.
    hBar_->setThumbPos(-scrollX);
    vBar_->setThumbPos(-scrollY);
    scrolled(scrollX - moveStartX_, scrollY - moveStartY_);
    return 0;
}
