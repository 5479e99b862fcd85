// Selection: anchor, current position, zones and the marks they give the tree.
#include "document/tree/Selection.h"

#include <algorithm>
#include <cstdlib>

#include "document/tree/Element.h"
#include "document/tree/ParagraphLine.h"

Selection::Selection(ElementDocument* document, ElementWindow* window)
    : anchor(document), current(document), document_(document), window_(window) {}

void Selection::copyPosition(TextPosition& to, TextPosition& from) {
    Element* e = from.element();
    ElementRect r = from.rectangle();
    to.setPosition(e, from.offset());
    to.rect = r;
    to.valid = from.valid;
    to.ownCaret = from.ownCaret;
    to.hintA = from.hintA;
    to.hintB = from.hintB;
    to.column = from.column;
}

void Selection::refreshCommands() {
    if (!window_) return;
    window_->refreshCommandState(COMMAND_COPY);
    window_->refreshCommandState(COMMAND_CUT);
}

void Selection::resetMarks() {
    if (document_) {
        if (Element* root = document_->root()) root->clearChildMarks();
    }
    top = middle = bottom = ElementRect{};
}

void Selection::setAnchor(TextPosition& caret) {
    resetMarks();
    refreshCommands();
    active = false;
    copyPosition(anchor, caret);
    copyPosition(current, caret);
    drawZones();
}

void Selection::extendTo(TextPosition& caret) {
    if (current.equals(caret)) return;
    active = true;
    drawZones();   // erases the old zones
    resetMarks();
    copyPosition(current, caret);
    computeZones();
    if (document_) {
        if (Element* root = document_->root()) root->markFromSelectionTree(*this);
    }
    drawZones();
    refreshCommands();
}

void Selection::clear() {
    drawZones();
    // The zones were erased: forget them, so that a second clear draws nothing.
    top = middle = bottom = ElementRect{};
    anchor.detach(true);
    current.detach(true);
    refreshCommands();
}

namespace {

// The line of a position: the paragraph's line when there is one, else a row as high as the
// position's own rectangle across the whole width.  Answers the line's identity (null when
// the row stands in for it).
const ParagraphLine* lineOf(TextPosition& position, ElementRect& out) {
    const ElementRect& r = position.rectangle();
    ParagraphLine* line = position.line();
    if (line) {
        line->lineRect(out);
        return line;
    }
    out = {0, r.y, Selection::WIDE, r.height};
    return nullptr;
}

bool sameLine(const ParagraphLine* a, const ElementRect& ra, const ParagraphLine* b, const ElementRect& rb) {
    if (a || b) return a == b;
    return ra.y == rb.y && ra.height == rb.height;
}

}  // namespace

void Selection::computeZones() {
    ElementRect a = anchor.rectangle();
    ElementRect c = current.rectangle();
    ElementRect la, lc;
    const ParagraphLine* lineA = lineOf(anchor, la);
    const ParagraphLine* lineC = lineOf(current, lc);
    if (sameLine(lineA, la, lineC, lc)) {
        if (anchor.element() == current.element()) {
            middle.height = std::max({std::abs(a.y - c.y - c.height), a.height, c.height});
            middle.y = std::min(a.y, c.y);
        } else {
            middle.y = la.y;
            middle.height = la.height;
        }
        middle.x = std::min(a.x, c.x);
        middle.width = std::max(a.x, c.x) - middle.x;
        anchorFirst = a.x <= c.x;
        top = {middle.x, middle.y, 0, 0};
        bottom = {middle.x, middle.bottom(), 0, 0};
        return;
    }
    anchorFirst = a.y < c.y;
    const ElementRect& f = anchorFirst ? a : c;
    const ElementRect& l = anchorFirst ? c : a;
    const ElementRect& lf = anchorFirst ? la : lc;
    const ElementRect& ll = anchorFirst ? lc : la;
    top = {f.x, lf.y, std::max(0, lf.right() - f.x), lf.height};
    bottom = {ll.x, ll.y, std::max(0, l.x - ll.x), ll.height};
    middle = {0, top.bottom(), WIDE, std::max(0, bottom.y - top.bottom())};
}

void Selection::drawZones() {
    if (!window_ || !window_->drawsSelectionZones()) return;
    DocumentView* view = window_->view();
    if (!top.empty()) window_->invert(top);
    if (!middle.empty()) {
        ElementRect m = middle;
        if (view) m.width = std::min(m.width, view->availableWidth());
        if (!m.empty()) window_->invert(m);
    }
    if (!bottom.empty()) window_->invert(bottom);
}

namespace {
bool inZone(const ElementRect& z, ElementPoint p) {
    if (z.empty()) return false;
    return p.x >= z.x && p.x <= z.x + z.width && p.y >= z.y && p.y <= z.y + z.height;
}
}  // namespace

bool Selection::containsPoint(ElementPoint point) const {
    return inZone(middle, point) || inZone(top, point) || inZone(bottom, point);
}

int Selection::classify(ElementPoint corner1, ElementPoint corner2) const {
    int spanTop = std::min(corner1.y, corner2.y);
    int spanBottom = std::max(corner1.y, corner2.y);
    if (top.y >= spanBottom) return 3;
    if (spanTop >= bottom.bottom()) return 4;
    if (containsPoint(corner1) && containsPoint(corner2)) return 1;
    return 2;
}

int Selection::classifyRect(const ElementRect& rect) const {
    ElementPoint a{rect.x, rect.y};
    ElementPoint b{rect.x + std::max(rect.width, 1) - 1, rect.y + std::max(rect.height, 1) - 1};
    return classify(a, b);
}
