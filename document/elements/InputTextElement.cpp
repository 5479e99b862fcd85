// InputTextElement: a one-dimensional input run.
#include "document/elements/InputTextElement.h"

#include "util/KString.h"

InputTextElement::InputTextElement(int flag, const char* text) : flag_(flag), text_(text ? text : "") {}

void InputTextElement::collectInputText(KString& text) { text.appendN(text_.data(), static_cast<int>(text_.size())); }
