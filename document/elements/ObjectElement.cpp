// ObjectElement: stored and displayed size, handle classification and resizing by the mouse.
#include "document/elements/ObjectElement.h"

#include <algorithm>
#include <cstdlib>

#include "document/elements/ParagraphElement.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ViewCaret.h"

namespace {

// v x numerator / denominator without overflow, saturated to a range far beyond any display
// size (the caller clamps to what it shows).
std::int64_t scaleBy(std::int64_t v, int numerator, int denominator) {
    constexpr std::int64_t LIMIT = std::int64_t(1) << 40;
    if (denominator == 0) return v;
    __int128 r = static_cast<__int128>(v) * numerator / denominator;
    if (r > LIMIT) return LIMIT;
    if (r < -LIMIT) return -LIMIT;
    return static_cast<std::int64_t>(r);
}

int clampDisplay(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 1, ObjectElement::MAX_DISPLAY_SIZE));
}

int clampDisplay(double v) {
    if (!(v >= 1.0)) return 1;   // also NaN
    if (v >= ObjectElement::MAX_DISPLAY_SIZE) return ObjectElement::MAX_DISPLAY_SIZE;
    return static_cast<int>(v);
}

// Which corner of a handle stays fixed, and the directions a handle changes.
struct HandleRow {
    int code;
    bool anchorRight;
    bool anchorBottom;
    bool horizontal;
    bool vertical;
    int pointer;
};

constexpr HandleRow HANDLES[] = {
    {ObjectElement::HANDLE_TOP_LEFT, true, true, true, true, ObjectElement::POINTER_NWSE},
    {ObjectElement::HANDLE_TOP_RIGHT, false, true, true, true, ObjectElement::POINTER_NESW},
    {ObjectElement::HANDLE_BOTTOM_LEFT, true, false, true, true, ObjectElement::POINTER_NESW},
    {ObjectElement::HANDLE_BOTTOM_RIGHT, false, false, true, true, ObjectElement::POINTER_NWSE},
    {ObjectElement::HANDLE_TOP, false, true, false, true, ObjectElement::POINTER_NS},
    {ObjectElement::HANDLE_BOTTOM, false, false, false, true, ObjectElement::POINTER_NS},
    {ObjectElement::HANDLE_LEFT, true, true, true, false, ObjectElement::POINTER_EW},
    {ObjectElement::HANDLE_RIGHT, false, false, true, false, ObjectElement::POINTER_EW},
};

const HandleRow* handleRow(int code) {
    for (const HandleRow& row : HANDLES)
        if (row.code == code) return &row;
    return nullptr;
}

}  // namespace

ObjectElement::ObjectElement(int handleSize, int minWidth, int minHeight)
    : handleSize_(handleSize), minHeight_(minHeight), minWidth_(minWidth) {}

ObjectElement::ObjectElement(const ObjectElement& other)
    : InlineElement(other),
      handleSize_(other.handleSize_),
      minHeight_(other.minHeight_),
      minWidth_(other.minWidth_),
      sized_(true),
      storedWidth_(std::max(other.storedWidth_, other.minWidth_)),
      storedHeight_(std::max(other.storedHeight_, other.minHeight_)),
      storedExtra_(other.storedExtra_) {}

void ObjectElement::setSize(const StoredSize& size) {
    storedWidth_ = std::max(minWidth_, size.width);
    storedHeight_ = std::max(minHeight_, size.height);
    storedExtra_ = size.extra;
    sized_ = true;
}

bool ObjectElement::displaySize(ExtentRecord& out) {
    out = ExtentRecord{};
    DocumentView* view = activeView();
    if (!sized_ || !view) return false;
    std::int64_t w1 = scaleBy(storedWidth_, view->unitsPerPointNumerator(), view->unitsPerPointDenominator());
    std::int64_t h1 = scaleBy(storedHeight_, view->unitsPerPointNumerator(), view->unitsPerPointDenominator());
    std::int64_t w = scaleBy(w1, view->zoomNumerator(), view->zoomDenominator());
    std::int64_t h = scaleBy(h1, view->zoomNumerator(), view->zoomDenominator());
    out.width = clampDisplay(w);
    out.height = clampDisplay(h);
    ParagraphElement* p = paragraph();
    if (view->viewKind() != 3 && p && p->contentWidth() < w && w1 > 0) {
        // Scaled to the content width less 10, aspect kept; a very narrow paragraph still
        // shows a picture of at least one pixel.
        int room = std::max(1, p->contentWidth() - 10);
        double factor = double(room) / double(w1);
        out.width = clampDisplay(double(w1) * factor);
        out.height = clampDisplay(double(h1) * factor);
    }
    out.ascent = out.height;
    return true;
}

void ObjectElement::measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) {
    if (!sized_) loadPicture();
    displaySize(out);
    width = out.width;
    height = out.height;
    ascent = out.ascent;
    flows = canFlow();
    hasLineBreak = false;
}

void ObjectElement::drawCaret(TextPosition& position, int mode) {
    (void)mode;
    ElementWindow* window = worksheetWindow();
    if (DocumentView* view = window ? window->view() : nullptr) view->drawFrame(position.rect, handleSize_);
}

int ObjectElement::classifyHandle(int mx, int my, int ox, int oy, int w, int h, int band) {
    int code = 0;
    if (ox + w - band <= mx && mx <= ox + w + band) code += 2;
    else if (ox - band <= mx && mx <= ox + band) code += 1;
    if (oy + h - band <= my && my <= oy + h + band) code += 8;
    else if (oy - band <= my && my <= oy + band) code += 4;
    if (std::abs(mx - (ox + w / 2)) <= band) code += 16;
    else if (std::abs(my - (oy + h / 2)) <= band) code += 32;
    return code;
}

int ObjectElement::pointerForHandle(int code) {
    const HandleRow* row = handleRow(code);
    return row ? row->pointer : 0;
}

void ObjectElement::drawOutline() {
    DocumentView* view = resizeWindow_ ? resizeWindow_->view() : nullptr;
    if (view) view->drawFrameBetween({anchorX_, anchorY_}, {dragX_, dragY_}, handleSize_);
}

bool ObjectElement::mouseDown(const ElementMouseEvent& event) {
    ElementWindow* window = worksheetWindow();
    ViewCaret* caret = window ? window->caret() : nullptr;
    if (handleSize_ == 0 || !caret || caret->element() != this) return false;
    ElementPoint o = absoluteOrigin();
    const HandleRow* row = handleRow(classifyHandle(event.x, event.y, o.x, o.y, width, height, handleSize_));
    if (!row) return false;
    int left = o.x, right = o.x + width - 1, top = o.y, bottom = o.y + height - 1;
    anchorX_ = row->anchorRight ? right : left;
    anchorY_ = row->anchorBottom ? bottom : top;
    dragX_ = row->anchorRight ? left : right;
    dragY_ = row->anchorBottom ? top : bottom;
    startX_ = dragX_;
    startY_ = dragY_;
    resizeH_ = row->horizontal ? 1 : 0;
    resizeV_ = row->vertical ? 1 : 0;
    grabDX_ = dragX_ - event.x;
    grabDY_ = dragY_ - event.y;
    resizeWindow_ = window;
    window->captureElement(this, o);
    caret->hideShow(3);
    caret->busy = true;
    drawOutline();
    return true;
}

int ObjectElement::dragTo(int anchor, int moving, int target, int minimum) {
    int d = anchor - target;
    if (d == 0) return moving;
    int s = d < 0 ? -1 : 1;
    int before = anchor - moving < 0 ? -1 : 1;
    // Corners are inclusive: a picture of the minimum size spans minimum - 1 beyond its anchor.
    int span = std::max(0, minimum - 1);
    if (s != before) return anchor + s * span;   // crossed the anchor: the minimum, on its own side
    if (std::abs(d) < span) return anchor - s * span;
    return target;
}

bool ObjectElement::mouseDrag(const ElementMouseEvent& event) {
    if (!resizeWindow_) return false;
    drawOutline();
    if (resizeH_) dragX_ = dragTo(anchorX_, dragX_, event.x + grabDX_, minWidth_);
    if (resizeV_) dragY_ = dragTo(anchorY_, dragY_, event.y + grabDY_, minHeight_);
    drawOutline();
    return true;
}

bool ObjectElement::mouseUp(const ElementMouseEvent& event) {
    (void)event;
    if (!resizeWindow_) return false;
    ElementWindow* window = resizeWindow_;
    drawOutline();
    window->releaseElement(this, absoluteOrigin());
    if (dragX_ != startX_ || dragY_ != startY_) {
        // The span of two inclusive corners is their distance plus one; the zoom is undone.
        DocumentView* view = window->view();
        int zn = view ? view->zoomNumerator() : 1, zd = view ? view->zoomDenominator() : 1;
        std::int64_t w = std::int64_t(std::abs(std::int64_t(anchorX_) - dragX_)) + 1;
        std::int64_t h = std::int64_t(std::abs(std::int64_t(anchorY_) - dragY_)) + 1;
        w = std::clamp<std::int64_t>(scaleBy(w, zd, zn), 0, MAX_DISPLAY_SIZE);
        h = std::clamp<std::int64_t>(scaleBy(h, zd, zn), 0, MAX_DISPLAY_SIZE);
        setSize({static_cast<std::int32_t>(w), static_cast<std::int32_t>(h), storedExtra_});
        ElementExtent ignored;
        layout(ignored);
    }
    resizeWindow_ = nullptr;
    if (ViewCaret* caret = window->caret()) {
        caret->valid = false;
        caret->busy = false;
        caret->refreshWindow();
        caret->show();
    }
    return true;
}

bool ObjectElement::mouseMove(const ElementMouseEvent& event) {
    ElementWindow* window = worksheetWindow();
    if (!window || handleSize_ == 0) return false;
    ElementPoint o = absoluteOrigin();
    int pointer = pointerForHandle(classifyHandle(event.x, event.y, o.x, o.y, width, height, handleSize_));
    if (pointer == 0) return false;
    window->setPointer(pointer);
    return true;
}
