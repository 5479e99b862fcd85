#pragma once
// PlaceholderElement (kind 24): the element that stands last in the root of an opened
// worksheet, so that the caret has somewhere to go below the last group.  It has no content,
// writes no record and refuses removal (CompositeElement never takes out a kind-24 child).
// Its drawing and caret behaviour come with the worksheet view; here it is the tree's stand-in.

#include "document/tree/BlockElement.h"

class PlaceholderElement : public BlockElement {
public:
    PlaceholderElement() = default;
    PlaceholderElement(const PlaceholderElement& other) : BlockElement(other) {}

    Element* cloneElement() const override { return new PlaceholderElement(*this); }
    int elementKind() const override { return KIND_PLACEHOLDER; }
    bool isEmpty() const override { return true; }
    void locatePosition(TextPosition& position) override;
};
