#pragma once
// BlockElement: the block line's base.  Adds the parent link (not owned; null for the root and
// for a detached element) and the extent of the last layout (width, height in view pixels).
// The operations that the block line adds to Element (drawing, measuring, hit tests, child
// geometry) are declared here with their block-element answers; CompositeElement gives them
// their content.

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

    virtual void draw(int x, int y, const ElementRect& clip) { (void)x, (void)y, (void)clip; }
    virtual void measure(ElementExtent& out, int width) { (void)out, (void)width; }
    virtual void positionAtPoint(TextPosition& position, int x, int y) { (void)position, (void)x, (void)y; }
    virtual int availableWidth() const { return 0; }
    virtual void bounds(ElementRect& out) const;
    virtual bool forcesRelayout() const { return false; }
    virtual void computeIndent() {}
    virtual void deleteAllChildren() {}
    virtual void childResized(Element* child, int x, int y, int width, int height) {
        (void)child, (void)x, (void)y, (void)width, (void)height;
    }
    virtual void showChild(Element* child, ElementRect rect) { (void)child, (void)rect; }
    virtual int moveAllChildrenTo(Element* target, Element* reference) {
        (void)target, (void)reference;
        return 0;
    }
    virtual void stackChildren() {}
    // Line n of a paragraph's layout; null for every other block element and past the last line.
    virtual ParagraphLine* lineAt(int index) const { (void)index; return nullptr; }

    // Number of ancestors, following the parent field.
    int depth() const;

    int width = 0;
    int height = 0;

protected:
    Element* parent_ = nullptr;
};
