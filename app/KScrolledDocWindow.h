#pragma once
// KScrolledDocWindow: a document window that scrolls a document of a given size with a
// horizontal and a vertical scroll bar and a corner box between them.
//
// Coordinates: the scroll offset (scrollX, scrollY) is where the document's top-left corner lies
// in window pixels; it is at most 0 while the document is larger than the canvas, and positive
// only when a smaller document is centred.  The canvas is the window's output size less the
// height of a visible horizontal bar and the width of a visible vertical bar; everything that
// lays out for the window asks canvasSize, because the GUI layer's output size is not virtual.
// Document sizes, offsets and the rectangles passed here are 32-bit; the bars scale their
// positions (KScrollBar).
//
// Scrolling moves the canvas's pixels when it can and repaints what they uncover; a change
// beyond 32766 pixels, or one that leaves nothing of the canvas in place, repaints the whole
// window.  Subclasses hook in through beforeScroll (before pixels move), afterScroll (the offset
// has its new value) and scrolled (a scroll, or a movement of a bar, has ended).
//
// Bar events: the first movement of a bar calls beforeScroll and sets FLAG_SCROLLING.  With live
// scrolling the document follows every movement at once; otherwise it moves once, by the whole
// movement, when the bar is released.  Then the flag is cleared and scrolled runs with the
// change of the offset over the whole movement.
//
// Owns its bars and its corner box.

#include <cstdint>
#include <memory>

#include "app/KDocWindow.h"
#include "document/tree/ElementEnvironment.h"

class KScrollBar;

class KScrolledDocWindow : public KDocWindow {
public:
    // Flag bits.
    static constexpr uint8_t FLAG_SCROLLING = 1u << 0;   // a bar is being moved
    static constexpr uint8_t FLAG_LIVE = 1u << 1;        // the document follows the thumb
    static constexpr uint8_t FLAG_CENTRE_H = 1u << 2;
    static constexpr uint8_t FLAG_CENTRE_V = 1u << 3;
    static constexpr uint8_t FLAG_BARS_ALWAYS = 1u << 4;
    static constexpr uint8_t FLAG_BARS_NEVER = 1u << 5;
    // The constructor's flags argument.
    static constexpr int CREATE_LIVE = 1;
    static constexpr int CREATE_CENTRE_V = 2;
    static constexpr int CREATE_CENTRE_H = 4;
    static constexpr int CREATE_BARS_ALWAYS = 8;
    static constexpr int CREATE_BARS_NEVER = 16;
    // setScrollBarMode's modes; any other value is automatic.
    static constexpr int MODE_ALWAYS = 0;
    static constexpr int MODE_NEVER = 1;
    static constexpr int MODE_AUTOMATIC = 2;
    // Colour name of the corner box.
    static constexpr int kCornerColour = 28;

    KScrolledDocWindow(KFrameAdaptor* adaptor, int createFlags);
    ~KScrolledDocWindow() override;

    // ---- fields, in their order ----
    int32_t docWidth = 0;
    int32_t docHeight = 0;
    int32_t scrollX = 0;
    int32_t scrollY = 0;
    int16_t vBarWidth = 0;     // from the bars' sizes at construction
    int16_t hBarHeight = 0;
    int16_t hLineStep = 0;     // initially vBarWidth
    int16_t vLineStep = 0;     // initially hBarHeight
    uint8_t flags = 0;

    // The output size less the visible bars.
    Size canvasSize() const;
    // Runs layout.
    void resize() override;

    // Hooks, empty here.
    virtual void beforeScroll() {}
    virtual void afterScroll() {}
    // (dx, dy): how far the document moved in window pixels.
    virtual void scrolled(long dx, long dy) { (void)dx, (void)dy; }

    void setDocumentSize(int32_t width, int32_t height);
    // Places the bars, the corner box and the document for the current output size.
    void layout();
    // Positive values move the document towards the top-left; never past either end.
    void scrollBy(long dx, long dy);
    // Brings the document point to the canvas's top-left corner, or with atBottom to its bottom
    // edge.
    void scrollTo(ElementPoint point, bool atBottom);
    // The document grew by (dx, dy) at the document point `at`: what lies below moves by dy.
    void resizeDocumentAt(int32_t dx, int32_t dy, ElementPoint at);
    // Whether the canvas holds the rectangle (window pixels).
    bool isRectVisible(const ElementRect& rect) const;
    // Scrolls the nearer edge of the rectangle (window pixels) to the canvas's edge; with
    // adjust the rectangle is first moved inside the document.  True when the canvas is at
    // least as large as what it was asked to show.
    bool scrollIntoView(const ElementRect& rect, bool adjust);
    void setScrollBarMode(int mode);

    KScrollBar& horizontalBar() const { return *hBar_; }
    KScrollBar& verticalBar() const { return *vBar_; }
    Window& cornerBox() const { return *corner_; }
    bool isHorizontalBarShown() const { return hShown_; }
    bool isVerticalBarShown() const { return vShown_; }

private:
    long barMoved(void* bar);
    long barReleased(void* bar);
    void moveCanvasPixels(long dx, long dy);

    std::unique_ptr<KScrollBar> vBar_;
    std::unique_ptr<KScrollBar> hBar_;
    std::unique_ptr<Window> corner_;
    bool hShown_ = false;
    bool vShown_ = false;
    // The movement of the bars in progress: the offsets at its start and how far each bar
    // moved since (document pixels).
    int32_t moveStartX_ = 0, moveStartY_ = 0;
    long hMoved_ = 0, vMoved_ = 0;
};
