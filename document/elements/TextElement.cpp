// TextElement: a styled text run.
#include "document/elements/TextElement.h"

#include <cstring>

TextElement::TextElement(int styleIndex, const char* text, int length) : styleIndex_(styleIndex) {
    if (!text) return;
    std::size_t n = length > 0 ? static_cast<std::size_t>(length) : std::strlen(text);
    text_.assign(text, n);
}
