// The element kind's deletion, which reaches the section class: a section that keeps children
// gets its heading paragraph back instead of being removed.
#include "document/tree/ElementCaret.h"

#include "document/elements/SectionElement.h"

bool deleteStructural(CaretPosition& position) {
    Element* e = position.element();
    if (!e) return false;
    if (e->childCount() <= 0) return position.deleteElement();
    if (auto* section = dynamic_cast<SectionElement*>(e)) {
        int before = section->childCount();
        section->ensureHeading();
        return section->childCount() != before;
    }
    return false;
}
