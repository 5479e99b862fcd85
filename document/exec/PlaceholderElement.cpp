// PlaceholderElement: the last caret stop of a worksheet, which makes groups and sections in
// front of itself when the user acts on it.
#include "document/exec/PlaceholderElement.h"

#include "document/edit/EditRecord.h"
#include "document/elements/SectionElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"

void PlaceholderLine::lineRect(ElementRect& out) const {
    ElementPoint o = owner ? owner->absoluteOrigin() : ElementPoint{};
    out = {o.x, o.y, owner ? owner->width : 0, owner ? owner->height : 0};
}

void PlaceholderElement::measure(ElementExtent& out, int givenWidth) {
    (void)givenWidth;
    flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
    out = {width, height};
}

void PlaceholderElement::positionAtPoint(TextPosition& position, int x, int y) {
    (void)x, (void)y;
    position.setPosition(this, 0);
    locatePosition(position);
}

void PlaceholderElement::locatePosition(TextPosition& position) {
    ElementPoint o = absoluteOrigin();
    int lineHeight = 0;
    if (DocumentView* view = activeView())
        if (const FontEntryMetrics* m = view->fontMetrics()) lineHeight = m->height;
    position.rect = {o.x, o.y, 2, lineHeight};
    position.ownCaret = false;
    position.hintA = 0;
    position.hintB = 0;
    position.valid = true;
}

bool PlaceholderElement::movePosition(TextPosition& position, int code, Element* child, int index) {
    (void)child, (void)index;
    Element* p = parent();
    return p ? p->movePosition(position, code, this, -1) : false;
}

ParagraphLine* PlaceholderElement::lineAtPosition(TextPosition& position) {
    (void)position;
    return &line_;
}

Element* PlaceholderElement::elementAtPoint(int x, int y, ElementPoint& origin) {
    (void)x, (void)y, (void)origin;
    return this;
}

void PlaceholderElement::caretArrived() {
    if (ElementWindow* window = worksheetWindow()) window->showContextBar(CONTEXT_BAR, this);
}

int PlaceholderElement::sectionDepth() const {
    int d = 0;
    for (Element* p = parent(); p && p->parent(); p = p->parent())
        if (p->elementKind() == KIND_SECTION) ++d;
    return d;
}

Element* PlaceholderElement::insertGroup(bool releaseHeldLayout) {
    auto* group = new ExecutionGroup(ExecutionGroup::WithInput{nullptr});
    ElementDocument* doc = document();
    bool released = releaseHeldLayout && doc && doc->layoutHeld();
    if (released) doc->releaseLayout();
    bool inserted = insertSibling(group, kInsertBefore);
    if (released) doc->holdLayout();
    if (!inserted) {
        delete group;
        return nullptr;
    }
    ElementWindow* window = worksheetWindow();
    ViewCaret* caret = window ? window->caret() : nullptr;
    Element* paragraph = group->firstChild();
    Element* input = paragraph ? paragraph->firstChild() : nullptr;
    if (caret && input) {
        caret->setPosition(input, 0);
        if (input->elementKind() == KIND_EXPRESSION_EDIT) {
            window->clearSelectionMarks();
            if (Selection* selection = window->selection()) {
                selection->anchor = *caret;
                selection->current = *caret;
            }
        }
    }
    return group;
}

void PlaceholderElement::insertSection(int code) {
    int d = sectionDepth();
    SectionElement* section;
    bool inserted;
    if (code == ACTION_INSERT_SECTION && d != 0) {
        section = new SectionElement(d);
        inserted = insertSibling(section, kInsertAfter);
    } else {
        section = new SectionElement(d + 1);
        inserted = insertSibling(section, kInsertBefore);
    }
    if (!inserted) {
        delete section;
        return;
    }
    Element* heading = section->firstChild();
    Element* first = heading ? heading->firstChild() : nullptr;
    if (ViewCaret* caret = activeCaret(); caret && first) caret->setPosition(first, 0);
}

bool PlaceholderElement::command(int code, const char* text, std::intptr_t argument) {
    switch (code) {
    case ACTION_ENTER:
        insertGroup(false);
        return true;
    case ACTION_TYPING:
    case ACTION_TYPING_TEXT: {
        if (!insertGroup(code == ACTION_TYPING)) return false;
        ViewCaret* caret = activeCaret();
        return caret ? caret->dispatchCommand(code, text, argument) : false;
    }
    case ACTION_INSERT_SUBSECTION:
    case ACTION_INSERT_SECTION:
        insertSection(code);
        return true;
    case ACTION_IDLE: {
        Element* p = parent();
        if (!p || p->firstChild() != this) return false;
        {
            RecordingSuspension quiet;
            if (!insertGroup(false)) return false;
        }
        ElementWindow* window = worksheetWindow();
        return window ? window->executeAction(code, text, argument) : false;
    }
    default:
        return BlockElement::command(code, text, argument);
    }
}
