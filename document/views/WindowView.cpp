// WindowView: drawing and measuring on a GUI output device.
#include "document/views/WindowView.h"

#include <algorithm>
#include <cstring>

#include "document/edit/Document.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/OutputDevice.h"
#include "platform/gui/Picture.h"

namespace {

std::size_t lengthOf(const char* text, int length) {
    if (!text) return 0;
    return length < 0 ? std::strlen(text) : std::size_t(length);
}

// The character of the Symbol face drawn for a newline, and the face's character set.
constexpr char NEWLINE_MARK = char(191);

}  // namespace

WindowView::WindowView(Document* document, OutputDevice* device, FontCache* cache)
    : DocumentView(document), device_(device), cache_(cache ? cache : FontCache::program()),
      styleFonts_(cache_, this) {
    polygon_.reserve(16);
}

WindowView::~WindowView() {
    // Every entry goes back to the cache before the base leaves the document.
    current_ = nullptr;
    styleFonts_.dropAll(-1);
}

// ---- colours ----------------------------------------------------------------------------------

int WindowView::namedColourCode(int colourIndex) {
    switch (colourIndex) {
    case 1: return COL_BUTTONFACE;
    case 2: return COL_SHADOW;
    case 3: return COL_HIGHLIGHT;
    case 4: return COL_BUTTONTEXT;
    case 5: return COL_WINDOWTEXT;
    default: return COL_BLACK;
    }
}

Color WindowView::colourFor(std::uint32_t rgb, int colourIndex) {
    if (colourIndex != 0) return Color(namedColourCode(colourIndex));
    return Color::fromRGB8(std::uint8_t(rgb & 0xFF), std::uint8_t((rgb >> 8) & 0xFF), std::uint8_t((rgb >> 16) & 0xFF));
}

int WindowView::penStyleFor(int style) {
    return style == PEN_NULL || style == PEN_DASH || style == PEN_DOT || style == PEN_DASHDOT ? style : PEN_SOLID;
}

int WindowView::fillStyleFor(int style) {
    return style == 0 ? BRUSH_NULL : (style == 2 ? BRUSH_HATCH : BRUSH_SOLID);
}

Color WindowView::keptVisible(const Color& colour, std::uint32_t rgb) const {
    if (!device_) return colour;
    const Color& fill = device_->getFillInBrush().color;
    if (colour != fill) return colour;
    return (rgb & 0xFF) == 0 ? Color(COL_WHITE) : Color(COL_BLACK);
}

// ---- geometry ---------------------------------------------------------------------------------

Point WindowView::windowPoint(const ElementPoint& point) const {
    ElementPoint w = documentToWindow16(point);
    return Point(w.x, w.y);
}

Rectangle WindowView::windowRect(const ElementRect& rect) const {
    Point p = windowPoint({rect.x, rect.y});
    // Rectangle(Point, Size) gives the empty edge for a zero side and clamps the far edges.
    return Rectangle(p, Size(rect.width, rect.height));
}

// ---- pens and styles ------------------------------------------------------------------------------

void WindowView::pushPen(std::uint32_t rgb, int colourIndex, int width, int style, bool keepVisible) {
    if (!device_) return;
    device_->push();
    setPen(rgb, colourIndex, width, style, keepVisible);
}

void WindowView::setPen(std::uint32_t rgb, int colourIndex, int width, int style, bool keepVisible) {
    if (!device_) return;
    Color c = colourFor(rgb, colourIndex);
    if (keepVisible) c = keptVisible(c, rgb);
    device_->setPen(Pen(c, width, penStyleFor(style)));
}

void WindowView::popPen() {
    if (device_) device_->pop();
}

void WindowView::selectStyle(const StyleKey& key, bool keepVisible) {
    FontEntry* entry = styleFonts_.find(key);
    Document* doc = document();
    StyleSet* styles = doc ? doc->styleSet() : nullptr;
    if (!styles) {
        if (entry) current_ = entry, currentKey_ = key;
        return;
    }
    const CharStyle& style = styles->effectiveCharStyle(key.charStyle, key.paraStyle, key.overrideStyle);
    if (!entry) {
        if (!cache_ || !device_) return;
        entry = cache_->acquire(style, *this, device_, viewKind());
        if (!entry) return;
        styleFonts_.insert(key, entry);
    }
    current_ = entry;
    currentKey_ = key;
    std::uint32_t rgb = std::uint32_t(style.color.red) | std::uint32_t(style.color.green) << 8 |
                        std::uint32_t(style.color.blue) << 16;
    Color c = colourFor(rgb, style.colourKind);
    if (keepVisible) c = keptVisible(c, rgb);
    current_->setFontColor(c);
}

const std::uint8_t* WindowView::setTextColour(std::uint32_t rgb, int colourIndex) {
    // One record for every caller, overwritten by the next call.
    static std::uint8_t previous[3];
    if (!current_) return nullptr;
    const Color& old = current_->font().getColor();
    previous[0] = old.red8();
    previous[1] = old.green8();
    previous[2] = old.blue8();
    current_->setFontColor(colourFor(rgb, colourIndex));
    return previous;
}

// The current entry goes with the node of its key; another key's node may hold the same entry
// and keep it.
void WindowView::dropStyle(const StyleKey& key) {
    if (styleFonts_.drop(key) && current_ && key == currentKey_) current_ = nullptr;
}

void WindowView::dropStyles(int paraStyle) {
    styleFonts_.dropAll(paraStyle);
    if (current_ && (paraStyle == -1 || currentKey_.paraStyle == paraStyle)) current_ = nullptr;
}

// ---- measuring --------------------------------------------------------------------------------------

int WindowView::charWidth(int character) {
    if (!current_) return DocumentView::charWidth(character);
    unsigned code = unsigned(character) & 0xFFu;
    return current_->charWidth(code <= 32 ? ' ' : int(code));
}

int WindowView::textWidth(const char* text, int length) {
    if (!current_) return DocumentView::textWidth(text, length);
    return current_->textWidth(text, length);
}

void WindowView::textExtent(ExtentRecord& out, const char* text, int length) {
    if (current_) current_->textExtent(out, text, length);
}

std::string_view WindowView::cleaned(const char* text, int length) {
    std::size_t n = lengthOf(text, length);
    char* buffer = scratch_;
    if (n > SCRATCH_TEXT) {
        longText_.assign(n, ' ');
        buffer = longText_.data();
    }
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        buffer[i] = c <= 32 ? ' ' : char(c);
    }
    buffer[n] = '\0';
    return std::string_view(buffer, n);
}

void WindowView::stringExtent(ExtentRecord& out, const char* text, int length) {
    if (!current_) return;
    current_->stringExtent(out, cleaned(text, length));
}

// ---- text -------------------------------------------------------------------------------------------

void WindowView::drawText(const ElementPoint& point, const char* text, int length, bool clean) {
    if (!device_ || !current_ || !text) return;
    Point at = windowPoint(point);
    std::size_t n = lengthOf(text, length);
    // Short texts are copied on the stack, longer ones to the heap; the caller's text is only
    // read.
    char local[129];
    std::string heap;
    char* buffer = local;
    if (n > 128) {
        heap.assign(n, '\0');
        buffer = heap.data();
    }
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    if (clean)
        for (std::size_t i = 0; i < n; ++i)
            if (static_cast<unsigned char>(buffer[i]) < 33) buffer[i] = ' ';
    device_->setFont(current_->font());
    device_->drawText(at, String(buffer, n));
    if (showInvisible) drawInvisibleMarks(at, text, buffer, n);
}

void WindowView::drawInvisibleMarks(const Point& at, const char* text, const char* drawn, std::size_t n) {
    const FontEntryMetrics& m = current_->metrics();
    const Color colour = current_->font().getColor();
    const int space = current_->charWidth(' ');
    const std::int64_t zoomed = std::int64_t(2) * zoomNumerator() / zoomDenominator();
    const int markY = at.y + m.height / 2;
    // The box pen: one unit under the zoom and the second scale.
    const int boxPen = int(std::int64_t(zoomNumerator()) * secondScaleNumerator() /
                           (std::int64_t(zoomDenominator()) * secondScaleDenominator()));
    device_->push();
    Pen pen = device_->getPen();
    pen.color = colour;
    pen.width = std::int32_t(std::min<std::int64_t>(zoomed, 32767));
    device_->setPen(pen);
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c > 32) continue;
        const int before = current_->textWidth(drawn, int(i));
        const long long x = static_cast<long long>(at.x) + before;
        if (c == ' ') {
            device_->drawPixel(Point(x + space / 2, markY), colour);
        } else if (c == '\n') {
            Font symbol(String("Symbol"), current_->font().getSize());
            symbol.setCharSet(CHARSET_SYMBOL);
            symbol.setColor(colour);
            device_->setFont(symbol);
            long symbolAscent = device_->getFontMetric().ascent;
            device_->drawText(Point(x, static_cast<long long>(at.y) + symbolAscent - m.ascent), String(&NEWLINE_MARK, 1));
            device_->setFont(current_->font());
        } else {
            const int w = boxPen;
            Pen box = pen;
            box.width = w;
            device_->setPen(box);
            const long long left = x + w, top = static_cast<long long>(at.y) + w;
            const long long right = left + (space - 2 * w), bottom = top + (m.height - 2 * w);
            device_->drawPolyLine(Polygon{Point(left, top), Point(right, top), Point(right, bottom), Point(left, bottom),
                                          Point(left, top)});
            device_->setPen(pen);
        }
    }
    device_->pop();
}

// ---- clip, pixels, lines ------------------------------------------------------------------------------

void WindowView::setClipRect(const ElementRect& rect) {
    if (!device_) return;
    Point a = windowPoint({rect.x, rect.y});
    Point b = windowPoint({int(std::clamp<std::int64_t>(std::int64_t(rect.x) + rect.width, INT32_MIN, INT32_MAX)),
                           int(std::clamp<std::int64_t>(std::int64_t(rect.y) + rect.height, INT32_MIN, INT32_MAX))});
    device_->setClipRegion(Region(Rectangle(a, Size(b.x - a.x, b.y - a.y))));
}

void WindowView::resetClip() {
    if (device_) device_->resetClip();
}

void WindowView::drawPixelInPenColour(const ElementPoint& point) {
    if (device_) device_->drawPixel(windowPoint(point), device_->getPen().color);
}

void WindowView::drawPixel(const ElementPoint& point) {
    if (device_) device_->drawPixel(windowPoint(point));
}

void WindowView::drawLine(const ElementPoint& from, const ElementPoint& to, int width) {
    if (!device_) return;
    if (width == 0) {
        device_->drawLine(windowPoint(from), windowPoint(to));
        return;
    }
    device_->push();
    Pen pen = device_->getPen();
    pen.width = width;
    device_->setPen(pen);
    device_->drawLine(windowPoint(from), windowPoint(to));
    device_->pop();
}

void WindowView::drawPolyLine(const ElementPoint* points, int count) {
    if (!device_ || !points || count <= 0) return;
    polygon_.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) polygon_[std::size_t(i)] = windowPoint(points[i]);
    device_->drawPolyLine(polygon_);
}

void WindowView::drawPointList(const ViewPointList& list) { drawPolyLine(list.points, list.count); }

void WindowView::drawXorPolyLine(int width, const ElementPoint* points, int count) {
    if (!device_) return;
    device_->push();
    Pen pen = device_->getPen();
    pen.width = width;
    device_->setPen(pen);
    device_->setRasterOp(ROP_XOR);
    drawPolyLine(points, count);
    device_->pop();
}

// ---- fills ------------------------------------------------------------------------------------------

void WindowView::fillRect(const ElementRect& rect, std::uint32_t rgb, int colourIndex, int fillStyle) {
    if (!device_) return;
    Brush saved = device_->getFillInBrush();
    device_->setFillInBrush(Brush(colourFor(rgb, colourIndex), fillStyleFor(fillStyle)));
    device_->drawRect(windowRect(rect));
    device_->setFillInBrush(saved);
}

void WindowView::fillRectIndexed(const ElementRect& rect, int colourIndex, int fillStyle) {
    if (!device_) return;
    int code = namedColourCode(colourIndex);
    Color colour = code == COL_RGB ? Color(COL_BLACK) : Color(code);
    Brush saved = device_->getFillInBrush();
    device_->setFillInBrush(Brush(colour, fillStyleFor(fillStyle)));
    device_->drawRect(windowRect(rect));
    device_->setFillInBrush(saved);
}

void WindowView::fillPolygon(const ViewPointList& list, std::uint32_t rgb, int colourIndex) {
    if (!device_ || !list.points || list.count <= 0) return;
    Color colour = colourFor(rgb, colourIndex);
    Pen savedPen = device_->getPen();
    Brush savedBrush = device_->getFillInBrush();
    device_->setPen(Pen(colour));
    device_->setFillInBrush(Brush(colour, BRUSH_SOLID));
    polygon_.resize(std::size_t(list.count));
    for (int i = 0; i < list.count; ++i) polygon_[std::size_t(i)] = windowPoint(list.points[i]);
    device_->drawPolygon(polygon_);
    device_->setPen(savedPen);
    device_->setFillInBrush(savedBrush);
}

void WindowView::fillPolygonIndexed(const ViewPointList& list, int colourIndex) {
    int code = namedColourCode(colourIndex);
    if (code == COL_RGB) code = COL_BLACK;
    if (!device_ || !list.points || list.count <= 0) return;
    Color colour(code);
    Pen savedPen = device_->getPen();
    Brush savedBrush = device_->getFillInBrush();
    device_->setPen(Pen(colour));
    device_->setFillInBrush(Brush(colour, BRUSH_SOLID));
    polygon_.resize(std::size_t(list.count));
    for (int i = 0; i < list.count; ++i) polygon_[std::size_t(i)] = windowPoint(list.points[i]);
    device_->drawPolygon(polygon_);
    device_->setPen(savedPen);
    device_->setFillInBrush(savedBrush);
}

// ---- frames and highlights ----------------------------------------------------------------------------

void WindowView::drawFrameBetween(const ElementPoint& corner1, const ElementPoint& corner2, int handleSize) {
    ElementRect r;
    r.x = std::min(corner1.x, corner2.x);
    r.y = std::min(corner1.y, corner2.y);
    r.width = int(std::min<std::int64_t>(std::llabs(std::int64_t(corner1.x) - corner2.x) + 1, INT32_MAX));
    r.height = int(std::min<std::int64_t>(std::llabs(std::int64_t(corner1.y) - corner2.y) + 1, INT32_MAX));
    drawFrame(r, handleSize);
}

void WindowView::drawFrame(const ElementRect& rect, int a) {
    if (!device_) return;
    const Point o = windowPoint({rect.x, rect.y});
    const long long x = o.x, y = o.y, w = rect.width, h = rect.height;
    device_->push();
    device_->setRasterOp(ROP_XOR);
    // The outline ends one pixel below its start, so that no pixel is drawn twice (which would
    // erase it in exclusive-or).
    device_->drawPolyLine(Polygon{Point(x, y), Point(x + w - 1, y), Point(x + w - 1, y + h - 1), Point(x, y + h - 1),
                                  Point(x, y + 1)});
    if (a > 0) {
        const long long wi = w - 2, hi = h - 2;
        const long long rows[3] = {y + 1, y + (hi - a) / 2 + 1, y + hi - a + 1};
        const long long columns[3] = {x + 1, x + 1 + (wi - a) / 2, x + wi - a + 1};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                if (r == 1 && c == 1) continue;   // the middle row has only its two ends
                // Inverting is its own inverse, like the exclusive-or of the outline.
                device_->invert(Rectangle(Point(columns[c], rows[r]), Size(a, a)));
            }
    }
    device_->pop();
}

void WindowView::highlightRect(const ElementRect& rect) {
    if (!device_ || rect.width <= 0 || rect.height <= 0) return;
    // The visible part only, computed on a copy in 64 bits: the caller's rectangle stays as it
    // was, and a rectangle that starts left of (or above) the view inverts no more than what
    // lies inside it.
    ElementPoint origin;
    documentToWindow({rect.x, rect.y}, origin);
    std::int64_t left = origin.x, top = origin.y;
    std::int64_t right = left + rect.width, bottom = top + rect.height;   // exclusive
    std::int64_t viewRight = viewWidth() >= 0 ? viewWidth() : device_->getOutputSizePixel().width;
    std::int64_t viewBottom = viewHeight() >= 0 ? viewHeight() : device_->getOutputSizePixel().height;
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min(right, viewRight);
    bottom = std::min(bottom, viewBottom);
    if (left >= right || top >= bottom) return;
    device_->invert(Rectangle(Point(left, top), Size(right - left, bottom - top)));
}

// ---- pictures -----------------------------------------------------------------------------------------

void WindowView::drawMetafile(const ElementRect& rect, const Picture& metafile) {
    if (device_) device_->drawMetafile(windowRect(rect), metafile);
}

void WindowView::drawBitmap(const ElementRect& rect, const Bitmap& bitmap) {
    if (device_) device_->drawBitmap(windowPoint({rect.x, rect.y}), Size(rect.width, rect.height), bitmap);
}
