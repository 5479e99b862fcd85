#pragma once
// MathElement (kind 9): typeset math of an expression.  Until the typeset math element lands it
// keeps the expression's one-line printed text, which it shows and gives as its expression
// text.  `kernelOutput` marks an element made from a kernel result.

#include <string>

#include "document/elements/InlineElement.h"
#include "tovu/dag.h"

class KString;

class MathElement : public InlineElement {
public:
    // The value kernel results, plot regions and the spreadsheet give their math elements.
    static constexpr int kResultValue = 20;

    MathElement(const DagWord* expression, int value);
    MathElement(const MathElement& other) = default;

    Element* cloneElement() const override { return new MathElement(*this); }
    int elementKind() const override { return KIND_MATH; }
    bool isMath() const override { return true; }

    // Appends the linear text of the expression.
    void expressionText(KString& out) const;
    const std::string& text() const { return text_; }
    int value() const { return value_; }
    // Whether a place in the expression's text falls in its second half (the caret then
    // stands after the expression); from the one-line text until the typeset layout lands.
    bool offsetInSecondHalf(int offset) const { return 2 * offset > static_cast<int>(text_.size()); }

    // Math positions: before, inside or after the expression (MathCaret.h).  A range over
    // the marked part of a partly marked element has both ends at the start.
    void createCaretPosition(CaretHandle& handle, bool byPath) override;
    void createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath) override;

    unsigned char kernelOutput = 0;

protected:
    const char* layoutText(int& length, int& charStyle) const override {
        length = static_cast<int>(text_.size());
        charStyle = -1;
        return text_.c_str();
    }

private:
    int value_;
    std::string text_;
};
