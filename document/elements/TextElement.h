#pragma once
// TextElement (kind 5): a run of text with a character style.  Holds its own copy of the text
// (bytes, NUL-terminated); the style is a character style index or -1 for the paragraph's own
// style.  Its text's length is the run's end offset.

#include <string>

#include "document/elements/InlineElement.h"

class TextElement : public InlineElement {
public:
    // length 0 (or less) takes the text up to its terminator; a null text is empty.
    TextElement(int styleIndex, const char* text, int length = 0);
    TextElement(const TextElement& other) = default;

    Element* cloneElement() const override { return new TextElement(*this); }
    int elementKind() const override { return KIND_TEXT; }
    bool isText() const override { return true; }
    bool acceptsInnerCaret() const override { return true; }

    const char* text() const { return text_.c_str(); }
    int textLength() const { return static_cast<int>(text_.size()); }
    int styleIndex() const { return styleIndex_; }

protected:
    const char* layoutText(int& length, int& charStyle) const override {
        length = textLength();
        charStyle = styleIndex_;
        return text_.c_str();
    }
    bool characterCaret() const override { return true; }

private:
    int styleIndex_;
    std::string text_;
};
