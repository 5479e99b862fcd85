#pragma once
// InputTextElement (kind 6): a one-line, one-dimensional input run.  An active input: its text
// is what an execution group sends to the kernel, and the caret can stand at any character
// offset 0..length.

#include <string>

#include "document/elements/InlineElement.h"

class KString;

class InputTextElement : public InlineElement {
public:
    // flag: 1 for a live input (the imports and the execution group pass 1).  A null text is empty.
    InputTextElement(int flag, const char* text);
    InputTextElement(const InputTextElement& other) = default;

    Element* cloneElement() const override { return new InputTextElement(*this); }
    int elementKind() const override { return KIND_INPUT_TEXT; }
    bool isActiveInput() const override { return true; }
    bool isText() const override { return true; }
    bool acceptsInnerCaret() const override { return true; }
    void collectInputText(KString& text) override;
    int inputTextLength() const override { return static_cast<int>(text_.size()); }

    const char* text() const { return text_.c_str(); }
    void setText(const char* text) { text_ = text ? text : ""; markNeedsLayout(); }
    int flag() const { return flag_; }

protected:
    const char* layoutText(int& length, int& charStyle) const override {
        length = inputTextLength();
        charStyle = -1;
        return text_.c_str();
    }
    bool characterCaret() const override { return true; }

private:
    int flag_;
    std::string text_;
};
