// DocumentView: registration with the document, relayout, the ratios and the conversions.
#include "document/tree/DocumentView.h"

#include <algorithm>
#include <cstring>

#include "document/edit/Document.h"

namespace {

int clampCoordinate(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -32768, 32767)); }

}  // namespace

DocumentView::DocumentView(Document* document) : document_(document) {
    if (document_) document_->addView(this);
}

DocumentView::~DocumentView() {
    pageList_.reset();
    leaveDocument();
}

void DocumentView::leaveDocument() {
    // The document deletes itself with its last view.
    if (Document* doc = document_) {
        document_ = nullptr;
        doc->removeView(this);
    }
}

int DocumentView::textWidth(const char* text, int length) {
    if (length < 0) return text ? int(std::strlen(text)) : 0;
    return length;
}

void DocumentView::relayout() {
    if (document_) {
        ElementExtent extent;
        document_->setActiveView(this, availableWidth(), &extent);
        documentExtent_ = {0, 0, extent.width, extent.height};
    }
    afterLayout();
}

// ---- ratios -------------------------------------------------------------------------------------

bool DocumentView::setZoom(int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0) return false;
    if (numerator == zoomNumerator_ && denominator == zoomDenominator_) return true;
    int oldNumerator = zoomNumerator_, oldDenominator = zoomDenominator_;
    zoomNumerator_ = numerator;
    zoomDenominator_ = denominator;
    if (document_) document_->zoomChanged(oldNumerator, oldDenominator, numerator, denominator);
    return true;
}

bool DocumentView::setSecondScale(int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0) return false;
    secondScaleNumerator_ = numerator;
    secondScaleDenominator_ = denominator;
    return true;
}

bool DocumentView::setUnitsPerPoint(int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0) return false;
    unitsPerPointNumerator_ = numerator;
    unitsPerPointDenominator_ = denominator;
    return true;
}

int DocumentView::fontHeightFor(int points) const {
    // Left to right as style sizes are scaled, but wide enough that no product of a 16-bit size
    // and four positive 32-bit terms wraps before the clamp.
    __int128 h = __int128(points) * unitsPerPointNumerator_ / unitsPerPointDenominator_;
    h = h * zoomNumerator_ * secondScaleNumerator_ / (__int128(zoomDenominator_) * secondScaleDenominator_);
    return int(h < 1 ? 1 : (h > 32767 ? 32767 : h));
}

// ---- conversions ----------------------------------------------------------------------------------

void DocumentView::documentToWindowXY(int x, int y, ElementPoint& out) const {
    out = {int(std::int64_t(x) - scrollX_ + leftMargin_), int(std::int64_t(y) - scrollY_ + topMargin_)};
}

void DocumentView::documentToWindow(const ElementPoint& point, ElementPoint& out) const {
    documentToWindowXY(point.x, point.y, out);
}

void DocumentView::documentToWindowInPlace(ElementPoint& point) const {
    ElementPoint in = point;
    documentToWindow(in, point);
}

ElementPoint DocumentView::documentToWindowPair(int x, int y) const {
    ElementPoint out;
    documentToWindow({x, y}, out);
    return out;
}

void DocumentView::windowToDocument(const ElementPoint& point, ElementPoint& out) const {
    out = {int(std::int64_t(point.x) + scrollX_ - leftMargin_), int(std::int64_t(point.y) + scrollY_ - topMargin_)};
}

void DocumentView::windowToDocumentInPlace(ElementPoint& point) const {
    ElementPoint in = point;
    windowToDocument(in, point);
}

ElementPoint DocumentView::documentToWindow16(const ElementPoint& point) const {
    ElementPoint out;
    documentToWindow(point, out);
    return {clampCoordinate(out.x), clampCoordinate(out.y)};
}

ElementPoint DocumentView::documentToWindowXY16(int x, int y) const { return documentToWindow16({x, y}); }

ElementPoint DocumentView::documentToWindowUnclamped(int x, int y) const {
    ElementPoint p{x, y};
    documentToWindowInPlace(p);
    return p;
}

ElementPoint DocumentView::windowToDocument16(int x, int y) const {
    ElementPoint out;
    windowToDocument({clampCoordinate(x), clampCoordinate(y)}, out);
    return out;
}

// ---- shapes built from others ---------------------------------------------------------------------

void DocumentView::drawRectOutline(const ElementRect& r) {
    ElementPoint points[5] = {{r.x, r.y}, {r.x + r.width, r.y}, {r.x + r.width, r.y + r.height}, {r.x, r.y + r.height}, {r.x, r.y}};
    drawPolyLine(points, 5);
}
