#pragma once
// ExpressionEditElement (kind 10): two-dimensional math input.  Until the math editor lands it
// keeps its input as linear text, which is what it contributes to its group's input; the
// caret offsets are math offsets (-1 after the whole expression).

#include <string>

#include "document/elements/InlineElement.h"
#include "tovu/dag.h"

class KString;
class InputTextElement;

class ExpressionEditElement : public InlineElement {
public:
    // value 1 and an empty label for a new input.
    ExpressionEditElement(int value, const char* label);
    // From an expression: its one-line printed form becomes the input text.
    ExpressionEditElement(const DagWord* expression, int value);
    ExpressionEditElement(const ExpressionEditElement& other) = default;

    Element* cloneElement() const override { return new ExpressionEditElement(*this); }
    int elementKind() const override { return KIND_EXPRESSION_EDIT; }
    bool isActiveInput() const override { return true; }
    bool isMath() const override { return true; }
    bool acceptsInnerCaret() const override { return true; }
    void collectInputText(KString& text) override;
    int inputTextLength() const override { return static_cast<int>(text_.size()); }

    // Replaces this element in its paragraph by a one-dimensional input with the same text and
    // destroys it; answers the new element (null, and nothing changed, without a parent).
    InputTextElement* convertToInput();

    const char* text() const { return text_.c_str(); }
    void setText(const char* text) { text_ = text ? text : ""; }
    int value() const { return value_; }

protected:
    const char* layoutText(int& length, int& charStyle) const override {
        length = inputTextLength();
        charStyle = -1;
        return text_.c_str();
    }
    bool characterCaret() const override { return true; }

private:
    int value_;
    std::string label_;
    std::string text_;
};
