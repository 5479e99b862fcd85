// SectionElement: the bracket and collapse button of a nested section: their geometry from the
// view's scales, the stacking of the children beside them, drawing, and the button's clicks.
#include <algorithm>

#include "document/elements/SectionElement.h"
#include "document/tree/DocumentView.h"
#include "document/tree/ParagraphLine.h"
#include "document/tree/ViewCaret.h"

namespace {

// Colours of the button (RGB values, red in the low byte).
constexpr std::uint32_t kFaceColour = 0xC0C0C0;
constexpr std::uint32_t kLightColour = 0xFFFFFF;
constexpr std::uint32_t kShadowColour = 0x808080;
constexpr std::uint32_t kBarColour = 0x000000;

// The height and top of the heading's first line, relative to the heading (the child's whole
// height when it has no lines).
void firstLineOf(Element* heading, int slotHeight, int& top, int& height) {
    top = 0;
    height = slotHeight;
    auto* block = dynamic_cast<BlockElement*>(heading);
    ParagraphLine* line = block ? block->lineAt(0) : nullptr;
    if (!line) return;
    ElementRect r;
    line->lineRect(r);
    ElementPoint o = heading->absoluteOrigin();
    if (r.height <= 0) return;
    top = std::max(0, r.y - o.y);
    height = r.height;
}

}  // namespace

SectionButtonGeometry SectionElement::buttonGeometryFor(int r1, int r2, int z1, int z2) {
    r1 = std::max(r1, 1), r2 = std::max(r2, 1), z1 = std::max(z1, 1), z2 = std::max(z2, 1);
    SectionButtonGeometry g;
    g.face = (8 * r1 / r2) * z1 / z2;
    g.margin = r1 / r2;
    g.gap = std::max((2 * r1 / r2) * z1 / z2, g.margin);
    g.bevel = (r1 / r2) * z1 / z2;
    g.side = g.face + 2 * (g.bevel + g.margin + g.gap);
    return g;
}

SectionButtonGeometry SectionElement::buttonGeometry() {
    DocumentView* view = activeView();
    if (!view) return buttonGeometryFor(1, 1, 1, 1);
    return buttonGeometryFor(view->unitsPerPointNumerator(), view->unitsPerPointDenominator(), view->zoomNumerator(),
                             view->zoomDenominator());
}

void SectionElement::computeIndent() {
    // The root has no bracket; a nested section leaves room for its button.
    if (!parent()) {
        setIndent(0);
        return;
    }
    setIndent(buttonGeometry().side * 5 / 4);
}

void SectionElement::stackChildren() {
    if (!parent() || !activeView()) {
        bracketShown = 0;
        ContainerElement::stackChildren();
        if (collapsed) {
            const ChildSlot* heading = slot(0);
            savedWidth = width, savedHeight = height;
            if (heading) width = heading->x + heading->width, height = heading->y + heading->height;
        }
        return;
    }
    const SectionButtonGeometry g = buttonGeometry();
    bracketShown = 1;
    buttonGap = g.gap;
    const int n = childCount();
    const ChildSlot* heading = slot(0);
    int lineTop = 0, lineHeight = 0;
    if (heading) firstLineOf(heading->child, heading->height, lineTop, lineHeight);
    int headingShift = 0, restShift = 0, boxTop = lineTop;
    headingShifted = 0;
    if (heading && lineHeight < g.side) {
        // The line is shorter than the box: the heading moves down to the box's middle.
        headingShift = (g.side - lineHeight) / 2;
        restShift = g.side - lineHeight;
        headingShifted = 1;
        boxTop = lineTop;
    } else if (heading) {
        boxTop = lineTop + (lineHeight - g.side) / 2;
    }
    extraIndent = restShift;
    button.box = {0, boxTop, g.side, g.side};
    width = 0;
    height = 0;
    int y = 0;
    for (int i = 0; i < n; ++i) {
        auto* s = const_cast<ChildSlot*>(slot(i));
        s->x = indent();
        s->y = i == 0 ? headingShift : y;
        if (i == 0) y = restShift;
        y += s->height;
        width = std::max(width, s->x + s->width);
        height = std::max(height, s->y + s->height);
    }
    width = std::max(width, button.box.right());
    height = std::max(height, button.box.bottom());
    if (collapsed && heading) {
        // Only the heading shows; the full extent is kept for the expand.
        savedWidth = width;
        savedHeight = height;
        width = std::max(heading->x + heading->width, button.box.right());
        height = std::max(heading->y + heading->height, button.box.bottom());
    }
}

void SectionElement::drawButton(DocumentView& view, int x, int y) {
    const SectionButtonGeometry g = buttonGeometry();
    const ElementRect box{x + button.box.x, y + button.box.y, button.box.width, button.box.height};
    if (box.width <= 0 || box.height <= 0) return;
    view.pushPen(kShadowColour, 0, 1, 1, false);
    view.fillRect(box, button.pressed ? kShadowColour : kFaceColour, 0, 1);
    // The bevel: light top and left edges, dark bottom and right (swapped while pressed).
    const std::uint32_t topLeft = button.pressed ? kShadowColour : kLightColour;
    const std::uint32_t bottomRight = button.pressed ? kLightColour : kShadowColour;
    const int right = box.x + box.width - 1, bottom = box.y + box.height - 1;
    for (int i = 0; i < std::max(g.bevel, 1); ++i) {
        view.setPen(topLeft, 0, 1, 1, false);
        view.drawLine({box.x + i, box.y + i}, {right - i, box.y + i}, 0);
        view.drawLine({box.x + i, box.y + i}, {box.x + i, bottom - i}, 0);
        view.setPen(bottomRight, 0, 1, 1, false);
        view.drawLine({box.x + i, bottom - i}, {right - i, bottom - i}, 0);
        view.drawLine({right - i, box.y + i}, {right - i, bottom - i}, 0);
    }
    // The minus, and the plus's upright while collapsed.
    const int inset = g.bevel + g.margin + g.gap;
    const int thick = std::max(g.bevel, 1);
    const int midY = box.y + (box.height - thick) / 2;
    const int midX = box.x + (box.width - thick) / 2;
    view.setPen(kBarColour, 0, 1, 1, false);
    view.fillRect({box.x + inset, midY, box.width - 2 * inset, thick}, kBarColour, 0, 1);
    if (collapsed) view.fillRect({midX, box.y + inset, thick, box.height - 2 * inset}, kBarColour, 0, 1);
    view.popPen();
}

void SectionElement::draw(int x, int y, const ElementRect& clip) {
    DocumentView* view = activeView();
    if (!parent() || !bracketShown || !view) {
        // The root section draws only its children: no bracket, no mark of its own.
        if (!parent()) CompositeElement::draw(x, y, clip);  // NOLINT(bugprone-parent-virtual-call)
        else ContainerElement::draw(x, y, clip);
        return;
    }
    if (collapsed) {
        if (const ChildSlot* heading = slot(0)) {
            if (auto* b = dynamic_cast<BlockElement*>(heading->child)) b->draw(x + heading->x, y + heading->y, clip);
        }
    } else {
        // The children without the container's bracket: the section draws its own below.
        CompositeElement::draw(x, y, clip);  // NOLINT(bugprone-parent-virtual-call)
        const int centre = x + button.box.x + button.box.width / 2;
        if (view->showSectionRanges && childCount() > 1 && centre >= clip.x && centre < clip.right()) {
            const int r = view->unitsPerPointNumerator() / std::max(view->unitsPerPointDenominator(), 1);
            const int bottom = y + height - 2 * r;
            ElementPoint points[3] = {{centre, y + button.box.bottom()},
                                      {centre, bottom},
                                      {centre + button.box.width / 3, bottom}};
            view->pushPen(0, 0, 1, 1, false);
            view->drawPolyLine(points, 3);
            view->popPen();
        }
    }
    const ElementRect box{x + button.box.x, y + button.box.y, button.box.width, button.box.height};
    if (box.x < clip.right() && box.right() > clip.x && box.y < clip.bottom() && box.bottom() > clip.y)
        drawButton(*view, x, y);
    if (mark == 1 && isTopOfMark()) selectionMarkChanged(1);
}

Element* SectionElement::elementAtPoint(int x, int y, ElementPoint& origin) {
    // Nothing below a collapsed section's heading is hit.
    if (collapsed && x >= indent()) {
        const ChildSlot* heading = slot(0);
        if (!heading) return this;
        const int rx = x - heading->x;
        const int ry = std::clamp(y - heading->y, 0, std::max(heading->height - 1, 0));
        origin.x += heading->x;
        origin.y += heading->y;
        Element* hit = heading->child->elementAtPoint(rx, ry, origin);
        return hit ? hit : heading->child;
    }
    return ContainerElement::elementAtPoint(x, y, origin);
}

bool SectionElement::inButton(int x, int y) const {
    return bracketShown && button.box.width > 0 && x >= button.box.x && x < button.box.right() &&
           y >= button.box.y && y < button.box.bottom();
}

bool SectionElement::mouseDown(const ElementMouseEvent& event) {
    if (!parent() || !inButton(event.x, event.y)) return ContainerElement::mouseDown(event);
    button.pressed = true;
    if (ElementWindow* window = worksheetWindow()) window->captureElement(this, absoluteOrigin());
    return true;
}

bool SectionElement::mouseUp(const ElementMouseEvent& event) {
    if (!button.pressed) return false;
    button.pressed = false;
    if (ElementWindow* window = worksheetWindow()) window->releaseElement(this, absoluteOrigin());
    if (!inButton(event.x, event.y)) {
        if (DocumentView* view = activeView()) {
            ElementPoint o = absoluteOrigin();
            view->redraw({o.x + button.box.x, o.y + button.box.y, button.box.width, button.box.height});
        }
        return true;
    }
    toggleCollapsed();
    return true;
}

void SectionElement::toggleCollapsed() {
    if (collapsed) {
        expand(true);
        return;
    }
    collapse(true);
    // A caret hidden inside the collapsed part goes to the section itself.
    ViewCaret* caret = activeCaret();
    Element* at = caret ? caret->element() : nullptr;
    Element* heading = firstChild();
    if (at && at != this && contains(at) && !(heading && heading->contains(at))) caret->setPosition(this, 0);
    if (DocumentView* view = activeView()) {
        ElementPoint o = absoluteOrigin();
        view->redraw({o.x, o.y, std::max(width, savedWidth), std::max(height, savedHeight)});
    }
}
