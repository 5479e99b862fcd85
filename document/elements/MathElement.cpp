// MathElement: the stand-in of typeset math.
#include "document/elements/MathElement.h"

#include "tovu/print.h"
#include "util/KString.h"

MathElement::MathElement(const DagWord* expression, int value) : value_(value) {
    if (expression) text_ = print_to_text(expression);
}

void MathElement::expressionText(KString& out) const { out.appendN(text_.data(), static_cast<int>(text_.size())); }
