// ContainerElement: indent, bracket, own caret.
#include "document/tree/ContainerElement.h"

#include <algorithm>

#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"

void ContainerElement::computeIndent() {
    DocumentView* view = activeView();
    setIndent(view ? view->scaled(10) : 10);
}

int ContainerElement::bracketPoints(int x, int y, ElementPoint out[4]) {
    DocumentView* view = activeView();
    auto s = [view](int n) { return view ? view->scaled(n) : n; };
    int i = indent();
    out[0] = {x + i - s(5), y + s(2)};
    out[1] = {x + s(2), y + s(2)};
    out[2] = {x + s(2), y + height - s(3)};
    out[3] = {x + i - s(5), y + height - s(3)};
    return 4;
}

void ContainerElement::draw(int x, int y, const ElementRect& clip) {
    CompositeElement::draw(x, y, clip);
    DocumentView* view = activeView();
    if (view && view->showGroupRanges && clip.x < x + indent()) {
        ElementPoint points[4];
        view->drawPolyLine(points, bracketPoints(x, y, points));
    }
    if (mark == 1 && isTopOfMark()) selectionMarkChanged(1);
}

void ContainerElement::drawCaret(TextPosition&, int) {
    DocumentView* view = activeView();
    if (!view) return;
    ElementPoint o = absoluteOrigin();
    ElementPoint points[4];
    view->drawXorPolyLine(0, points, bracketPoints(o.x, o.y, points));
}

void ContainerElement::measure(ElementExtent& out, int givenWidth) {
    computeIndent();
    if (flags & ELEMENT_NEEDS_LAYOUT) {
        CompositeElement::measure(out, givenWidth);
        return;
    }
    out = {width, height};
}

void ContainerElement::positionAtPoint(TextPosition& position, int x, int y) {
    if (x < indent() && x >= 1) {
        position.setPosition(this, 0);
        locatePosition(position);
        return;
    }
    CompositeElement::positionAtPoint(position, x, y);
}

void ContainerElement::locatePosition(TextPosition& position) {
    ElementPoint o = absoluteOrigin();
    int dy = 0;
    int h = 10;
    Element* first = firstChild();
    auto* block = first && first->elementKind() == KIND_PARAGRAPH ? dynamic_cast<BlockElement*>(first) : nullptr;
    if (block) {
        ElementRect line;
        if (ParagraphLine* l = block->lineAt(0)) {
            l->lineRect(line);
            ElementPoint fo = first->absoluteOrigin();
            dy = line.y - fo.y;
            h = line.height;
        }
    }
    position.rect = {o.x, o.y + dy, 2, h};
    position.ownCaret = true;
    position.hintA = 0;
    position.hintB = 0;
    position.extra = 0;
}

void ContainerElement::childResized(Element* child, int x, int y, int newWidth, int newHeight) {
    int oldHeight = height;
    CompositeElement::childResized(child, x, y, newWidth, newHeight);
    if (height == oldHeight) return;
    int index = indexOfChild(child);
    if (index == 0 || index >= childCount() - 2) {
        if (DocumentView* view = activeView()) {
            ElementPoint o = absoluteOrigin();
            view->redraw({o.x, o.y, indent(), std::max(height, oldHeight)});
        }
    }
}
