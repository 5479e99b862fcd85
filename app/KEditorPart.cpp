// The editor part: the caret and selection it owns, the selection marks, the command walk.
#include "app/KEditorPart.h"

#include "document/tree/Element.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"

KEditorPart::KEditorPart(ElementDocument* document, ElementWindow* window)
    : caret_(std::make_unique<ViewCaret>(document, window)),
      selection_(std::make_unique<Selection>(document, window)) {}

KEditorPart::~KEditorPart() {
    caret_.reset();
    selection_.reset();
}

void KEditorPart::clearSelectionMarks() {
    markValue_ = 0;
    selection_->resetMarks();
}

Selection* KEditorPart::selection() { return selection_.get(); }

ViewCaret* KEditorPart::caret() { return caret_.get(); }

bool KEditorPart::walkElements(Element* element, int code, const char* text, std::intptr_t argument,
                               void* context) {
    if (!element) return true;
    WalkControl control;
    control.flags = WALK_BEFORE;
    control.code = code;
    control.text = text;
    control.argument = argument;
    control.context = context;
    element->walkMethod(&Element::commandVisitor, control);
    return true;
}
