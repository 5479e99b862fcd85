#pragma once
// InlineElement: the base of the paragraph-level element classes (text runs, inputs, math,
// plots).  Adds the parent link (not owned) and a stand-in layout: until the inline line lays
// itself out, a run measures 7 pixels per character (at least 7) by 12, and places a position
// at its origin plus 7 pixels per character.  Subclasses hold their own content.

#include "document/tree/Element.h"

class InlineElement : public Element {
public:
    InlineElement() = default;
    InlineElement(const InlineElement& other) : Element(other) {}

    bool isInline() const override { return true; }
    Element* parent() const override { return parent_; }
    void setParent(Element* element) override { parent_ = element; }
    void locatePosition(TextPosition& position) override;
    void layout(ElementExtent& area) override;
    // Puts the document's active caret on this element at the offset (when there is a caret).
    void setCaretOffset(int offset) override;

protected:
    // Characters the stand-in layout measures.
    virtual int displayLength() const { return 1; }

private:
    Element* parent_ = nullptr;
};
