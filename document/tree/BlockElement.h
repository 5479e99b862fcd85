#pragma once
// BlockElement: the block line's base.  Adds the parent link (not owned; null for the root and
// for a detached element) and the extent of the last layout (width, height in view pixels).
// The operations 125..136 that the block line adds after Element's are declared here with
// their block-element answers; CompositeElement gives them their content.

#include "document/tree/Element.h"

class BlockElement : public Element {
public:
    BlockElement() = default;
    BlockElement(const BlockElement& other) : Element(other) {}

    Element* parent() const override { return parent_; }
    void setParent(Element* element) override { parent_ = element; }
    Element* joinWithSibling(int direction) override;
    bool movePosition(TextPosition&, int, Element*, int) override { return false; }
    void selectionMarkChanged(int newMark) override;
    int markFromSelection(Selection& selection) override;

    /* 125 */ virtual void draw(int x, int y, const ElementRect& clip) { (void)x, (void)y, (void)clip; }
    /* 126 */ virtual void measure(ElementExtent& out, int width) { (void)out, (void)width; }
    /* 127 */ virtual void positionAtPoint(TextPosition& position, int x, int y) { (void)position, (void)x, (void)y; }
    /* 128 */ virtual int availableWidth() const { return 0; }
    /* 129 */ virtual void bounds(ElementRect& out) const;
    /* 130 */ virtual bool forcesRelayout() const { return false; }
    /* 131 */ virtual void computeIndent() {}
    /* 132 */ virtual void deleteAllChildren() {}
    /* 133 */ virtual void childResized(Element* child, int x, int y, int width, int height) {
        (void)child, (void)x, (void)y, (void)width, (void)height;
    }
    /* 134 */ virtual void showChild(Element* child, ElementRect rect) { (void)child, (void)rect; }
    /* 135 */ virtual int moveAllChildrenTo(Element* target, Element* reference) {
        (void)target, (void)reference;
        return 0;
    }
    /* 136 */ virtual void stackChildren() {}

    // Number of ancestors, following the parent field.
    int depth() const;

    int width = 0;
    int height = 0;

protected:
    Element* parent_ = nullptr;
};
