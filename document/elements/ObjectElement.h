#pragma once
// ObjectElement: an inline element that shows a picture of a stored size (bitmaps, metafiles,
// embedded objects, inline plots, window regions), which the user can drag to a new size by
// the handles around its frame.
//
// Fields after the inline element's: handleSize (half-width of the band around each edge that
// counts as a handle; 0: no resizing by the mouse), minWidth and minHeight (the smallest
// stored size), the resize in progress (anchor: the fixed corner, drag: the moving corner,
// grab: moving corner minus the mouse at the start, the directions it changes, the window that
// owns it: null when idle), sized (the stored size is known), storedWidth and storedHeight
// (points, the size at 100% zoom) and storedExtra (a third size value kept beside them for the
// picture classes).
//
// Corners of a resize are inclusive pixel corners: a picture W wide spans x .. x + W - 1, so
// the size a resize stores is the distance between the corners plus one.  While resizing only
// the outline moves (drawn in exclusive-or: drawing it again erases it); the stored size
// changes once, on release, and not at all when the mouse did not move.

#include <cstdint>

#include "document/elements/InlineElement.h"

// The size passed to setSize: width and height in points, and the extra value.
struct StoredSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t extra = 0;
};

class ObjectElement : public InlineElement {
public:
    // Handle codes of the classification (sums of edge bits; only eight are handles).
    enum HandleCode : int {
        HANDLE_TOP_LEFT = 5,
        HANDLE_TOP_RIGHT = 6,
        HANDLE_BOTTOM_LEFT = 9,
        HANDLE_BOTTOM_RIGHT = 10,
        HANDLE_TOP = 20,
        HANDLE_BOTTOM = 24,
        HANDLE_LEFT = 33,
        HANDLE_RIGHT = 34,
    };
    // Pointer resources shown over the handles.
    enum PointerResource : int { POINTER_NS = 1002, POINTER_EW = 1003, POINTER_NESW = 1004, POINTER_NWSE = 1005 };
    // The largest displayed width or height: room is left for the sums of piece offsets and
    // widths that a line adds up in 32-bit coordinates.
    static constexpr int MAX_DISPLAY_SIZE = 1 << 28;

    ObjectElement(int handleSize, int minWidth, int minHeight);
    // Takes the handle size and minimums, the stored size raised to the minimums and the extra
    // value; the copy is sized.
    ObjectElement(const ObjectElement& other);

    // Stores the size, raised to the minimums; the element is sized.
    virtual void setSize(const StoredSize& size);
    // The size shown on the active view: the stored size under the view's units per point and
    // zoom, scaled down to the paragraph's content width less 10 (aspect kept, zoom ignored)
    // when wider, except on views of kind 3.  Each side is kept within 1 .. MAX_DISPLAY_SIZE.
    // Not sized or no view: a zero extent and false.
    virtual bool displaySize(ExtentRecord& out);
    // Loads the picture and sets the stored size.
    virtual void loadPicture() = 0;

    // Loads the picture when not sized, then reports the displayed size (ascent = height).
    void measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) override;
    // The caret on an object is a frame with its handles.
    void drawCaret(TextPosition& position, int mode) override;
    bool mouseDown(const ElementMouseEvent& event) override;
    bool mouseDrag(const ElementMouseEvent& event) override;
    bool mouseUp(const ElementMouseEvent& event) override;
    // Shows the resize pointer over a handle; true there.
    bool mouseMove(const ElementMouseEvent& event) override;

    // The handle code of a point: +2 right edge else +1 left edge, +8 bottom else +4 top, +16
    // horizontal middle else +32 vertical middle, for an element at (ox, oy) of w x h with
    // handle bands of half-width h.
    static int classifyHandle(int mx, int my, int ox, int oy, int width, int height, int handle);
    // The pointer resource of a handle code; 0 for a code that is no handle.
    static int pointerForHandle(int code);

    bool isResizing() const { return resizeWindow_ != nullptr; }
    bool isSized() const { return sized_; }
    int handleSize() const { return handleSize_; }
    int minWidth() const { return minWidth_; }
    int minHeight() const { return minHeight_; }
    int storedWidth() const { return storedWidth_; }
    int storedHeight() const { return storedHeight_; }
    int storedExtra() const { return storedExtra_; }
    ElementPoint anchor() const { return {anchorX_, anchorY_}; }
    ElementPoint dragCorner() const { return {dragX_, dragY_}; }

private:
    // Draws (or, drawn again, erases) the outline between the anchor and the moving corner.
    void drawOutline();
    // One direction of a drag: the new moving coordinate.
    static int dragTo(int anchor, int moving, int target, int minimum);

    int handleSize_;
    int minHeight_;
    int minWidth_;
    int anchorX_ = 0, anchorY_ = 0;
    int dragX_ = 0, dragY_ = 0;
    int grabDX_ = 0, grabDY_ = 0;
    int startX_ = 0, startY_ = 0;   // the moving corner when the resize began
    unsigned char resizeH_ = 0;
    unsigned char resizeV_ = 0;
    ElementWindow* resizeWindow_ = nullptr;
    bool sized_ = false;
    int storedWidth_ = 0;
    int storedHeight_ = 0;
    int storedExtra_ = 0;
};
