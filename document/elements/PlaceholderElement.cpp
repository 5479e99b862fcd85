// PlaceholderElement: the caret stands at its origin.
#include "document/elements/PlaceholderElement.h"

#include "document/tree/ElementPosition.h"

void PlaceholderElement::locatePosition(TextPosition& position) {
    ElementPoint o = absoluteOrigin();
    position.rect = {o.x, o.y, 2, 10};
    position.ownCaret = true;
    position.valid = true;
}
