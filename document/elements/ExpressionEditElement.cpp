// ExpressionEditElement: the stand-in of the two-dimensional math input.
#include "document/elements/ExpressionEditElement.h"

#include "document/elements/InputTextElement.h"
#include "tovu/print.h"
#include "util/KString.h"

ExpressionEditElement::ExpressionEditElement(int value, const char* label) : value_(value), label_(label ? label : "") {}

ExpressionEditElement::ExpressionEditElement(const DagWord* expression, int value) : value_(value) {
    if (expression) text_ = print_to_text(expression);
}

void ExpressionEditElement::collectInputText(KString& text) {
    text.appendN(text_.data(), static_cast<int>(text_.size()));
}

InputTextElement* ExpressionEditElement::convertToInput() {
    Element* p = parent();
    if (!p) return nullptr;
    auto* input = new InputTextElement(1, text_.c_str());
    if (!p->replaceChild(this, input)) {
        delete input;
        return nullptr;
    }
    destroyElement(this);
    return input;
}
