#pragma once
// StyledInlineElement: the abstract base of the inline elements that flow over the lines of
// their paragraph in a character style (text runs; the math element shares it).  It adds no
// field: it answers canFlow with true, takes no mark from a selection by itself, and routes
// the paragraph's flowing layout to flowIntoLines, which each concrete class gives its body.

#include "document/elements/InlineElement.h"

class StyledInlineElement : public InlineElement {
public:
    StyledInlineElement() = default;
    StyledInlineElement(const StyledInlineElement& other) : InlineElement(other) {}

    bool canFlow() const override { return true; }
    int markFromSelection(Selection& selection) override {
        (void)selection;
        return 0;
    }
    // Breaks the element into pieces over the paragraph's lines from its current line on.
    virtual void flowIntoLines(int childIndex) = 0;
    void flowInLines(int childIndex, const ExtentRecord& extent) override {
        (void)extent;
        flowIntoLines(childIndex);
    }
};
