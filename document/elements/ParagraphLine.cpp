// ParagraphLine: pieces, metrics, alignment, hit tests and drawing of one paragraph line.
#include "document/tree/ParagraphLine.h"

#include <algorithm>

#include "document/elements/InlineElement.h"
#include "document/tree/ElementPosition.h"

namespace {
InlineElement* inlineChild(Element* paragraph, int index) {
    return paragraph ? dynamic_cast<InlineElement*>(paragraph->childAt(index)) : nullptr;
}
}  // namespace

int ParagraphLine::pieceAtX(int px) const {
    int k = 0;
    int n = pieceCount();
    // A gap between two pieces belongs to the left one up to its midpoint.
    while (k + 1 < n) {
        const LinePiece& left = pieces[k];
        int end = left.x + left.extent.width;
        if (end + (pieces[k + 1].x - end) / 2 > px) break;
        ++k;
    }
    return k;
}

bool ParagraphLine::hitTest(TextPosition& position, int px, int py) {
    if (pieces.empty()) return false;
    const LinePiece& p = pieces[pieceAtX(px)];
    int localX = std::min(std::max(0, px - p.x), std::max(0, p.extent.width - 1));
    int localY = py - p.y;
    InlineElement* child = inlineChild(paragraph, p.childIndex);
    if (!child) return false;
    position.setPosition(child, 0);
    child->hitTest(position, localX, localY, p.part);
    return true;
}

void ParagraphLine::draw(int ox, int oy, const ElementRect& clip) {
    for (LinePiece& p : pieces) {
        int left = ox + p.x;
        if (left + p.extent.width < clip.x) continue;
        if (left > clip.x + clip.width) break;
        InlineElement* child = inlineChild(paragraph, p.childIndex);
        if (!child) continue;
        int top = oy + p.y;
        bool meets = top < clip.y + clip.height && top + p.extent.height > clip.y;
        if (meets || child->mark != 0) child->draw(left, top, clip, p.extent, p.part);
    }
}

int ParagraphLine::addPiece(int childIndex, const ExtentRecord& extent, int part) {
    LinePiece piece;
    piece.childIndex = childIndex;
    piece.part = part;
    piece.x = width;
    piece.y = 0;
    piece.extent = extent;
    pieces.push_back(piece);
    width += extent.width;
    return pieceCount() - 1;
}

void ParagraphLine::pieceOffset(int piece, ElementPoint& point) const {
    if (piece < 0 || piece >= pieceCount()) return;
    point.x += pieces[piece].x;
    point.y += pieces[piece].y;
}

void ParagraphLine::pieceRect(int piece, ElementRect& rect) const {
    if (piece < 0 || piece >= pieceCount()) return;
    rect.x += pieces[piece].x;
    rect.y += pieces[piece].y;
    rect.width = pieces[piece].extent.width;
    rect.height = pieces[piece].extent.height;
}

void ParagraphLine::computeMetrics() {
    bool hasPrompt = first && prompt && prompt->width != 0;
    bool hasMarker = first && marker && marker->width != 0;
    int base = 0;
    for (const LinePiece& p : pieces) base = std::max(base, p.extent.ascent);
    if (pieces.empty()) base = fontAscent;
    if (hasPrompt) base = std::max(base, prompt->ascent);
    if (hasMarker) base = std::max(base, marker->ascent);
    int h = prompt ? prompt->height : 0;
    if (pieces.empty()) h = std::max(h, fontHeight);
    for (LinePiece& p : pieces) {
        p.y = base - p.extent.ascent;
        h = std::max(h, p.y + p.extent.height);
    }
    if (hasPrompt) {
        prompt->y = base - prompt->ascent;
        h = std::max(h, prompt->y + prompt->height);
    }
    if (hasMarker) {
        marker->y = base - marker->ascent;
        h = std::max(h, marker->y + marker->height);
    }
    lineBaseline = base;
    lineHeight = h;
}

void ParagraphLine::align(int justification, int alignWidth) {
    if (width >= alignWidth) return;
    if (justification == 2) x = alignWidth - width;
    else if (justification == 3) x = (alignWidth - width) / 2;
}

bool ParagraphLine::resizePiece(int k, const ExtentRecord& extent, int& dy, bool allowShrink, int limit) {
    dy = 0;
    if (k < 0 || k >= pieceCount()) return false;
    LinePiece& piece = pieces[k];
    int dw = extent.width - piece.extent.width;
    if (dw < 0 && !allowShrink) return false;
    if (x + width + dw > limit) return false;
    for (int i = k + 1; i < pieceCount(); ++i) pieces[i].x += dw;
    width += dw;
    dy = extent.height - piece.extent.height;
    bool ascentChanged = extent.ascent != piece.extent.ascent;
    // The whole extent, so that the metrics below see the new height and ascent.
    piece.extent.width = extent.width;
    piece.extent.height = extent.height;
    piece.extent.ascent = extent.ascent;
    if (dy != 0 || ascentChanged) {
        int oldHeight = lineHeight;
        computeMetrics();
        dy = lineHeight - oldHeight;
    }
    return true;
}

void ParagraphLine::lineRect(ElementRect& out) const {
    ElementPoint o = paragraph ? paragraph->absoluteOrigin() : ElementPoint{};
    out = {o.x + x, o.y + y, width, lineHeight};
}

Element* ParagraphLine::childAtX(int px, ElementPoint& point) const {
    if (pieces.empty() || !paragraph) return nullptr;
    int k = pieceAtX(px);
    point.x += pieces[k].x;
    point.y += pieces[k].y;
    return paragraph->childAt(pieces[k].childIndex);
}
