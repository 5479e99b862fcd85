#pragma once
// ContainerElement (kind 3): children stacked one under another behind a left bracket; the base
// of sections and execution groups.  Its indent is 10 view units (10 x the view's scale
// numerator / denominator).  The bracket is the open polyline, with s(n) the scaled n, origin
// (x, y), indent I and height H:
//   (x + I - s(5), y + s(2)), (x + s(2), y + s(2)), (x + s(2), y + H - s(3)), (x + I - s(5), y + H - s(3))

#include "document/tree/CompositeElement.h"

class ContainerElement : public CompositeElement {
public:
    ContainerElement() = default;
    ContainerElement(const ContainerElement& other) : CompositeElement(other) {}

    int elementKind() const override { return KIND_CONTAINER; }
    void locatePosition(TextPosition& position) override;
    void drawCaret(TextPosition& position, int mode) override;
    void draw(int x, int y, const ElementRect& clip) override;
    void measure(ElementExtent& out, int width) override;
    void positionAtPoint(TextPosition& position, int x, int y) override;
    void computeIndent() override;
    void childResized(Element* child, int x, int y, int width, int height) override;

    // The four points of the bracket at origin (x, y).
    int bracketPoints(int x, int y, ElementPoint out[4]);
};
