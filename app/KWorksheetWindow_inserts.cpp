// The worksheet window's insert operations (input, text, the input toggle, math) and the
// context menu of an element.
//
// The context menu runs the chosen item inside the undo group "Popup Menu Command" and under the
// window's guard: an error in the item is reported, the group is closed on every path, and the
// next edit is an undo step of its own.
#include <new>

#include "app/KWorksheetWindow.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/ExpressionEditElement.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/MathElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "platform/gui/Application.h"
#include "platform/gui/Menu.h"
#include "platform/gui/Resource.h"
#include "util/errjump.h"
#include "util/messages.h"

bool KWorksheetWindow::insertInput(bool convertOnly) {
    ViewCaret* c = caret();
    Element* p = c ? c->element() : nullptr;
    if (!p) return false;
    if (p->elementKind() == KIND_PARAGRAPH && c->offset() == 0 && p->firstChild()) {
        p = p->firstChild();
        c->setPosition(p, 0);
    }
    const int kind = p->elementKind();
    if (kind == KIND_INPUT_TEXT) {
        auto* input = dynamic_cast<InputTextElement*>(p);
        if (!convertOnly) return true;
        if (input && input->text() && *input->text()) {
            showMessage("Templates cannot be used on textual Kelvo input.\nConvert to Standard Math form to use templates.");
            return false;
        }
    } else if (kind == KIND_EXPRESSION_EDIT && !convertOnly) {
        return true;
    }
    bool removeOld = false;
    Element* made = nullptr;
    if (p->isInline() && p->parent() && p->parent()->elementKind() == KIND_PARAGRAPH) {
        removeOld = p->childCount() == 0 && p->isEmpty();
        made = new ExpressionEditElement(0, nullptr);
    } else if (convertOnly) {
        made = new ExpressionEditElement(1, nullptr);
    } else {
        made = new InputTextElement(1, "");
    }
    if (!insertAndPlace(made, kInsertAfter, made, 0)) {
        delete made;
        return false;
    }
    if (removeOld && p != made && p->parent()) {
        Element* parent = p->parent();
        parent->removeChild(p);
        delete p;
    }
    if (made->isMath()) c->setPosition(made, 0);
    updateCaretState(false);
    return true;
}

bool KWorksheetWindow::insertText() {
    ViewCaret* c = caret();
    Element* old = c ? c->element() : nullptr;
    if (!old) return false;
    if (old->elementKind() == KIND_TEXT) return true;
    auto* text = new TextElement(-1, "");
    if (!insertAndPlace(text, kInsertAfter, text, 0)) {
        delete text;
        return false;
    }
    grabFocus();
    if (old != text && old->isInline() && old->isEmpty() && old->parent()) {
        Element* parent = old->parent();
        parent->removeChild(old);
        delete old;
    }
    return true;
}

bool KWorksheetWindow::toggleInput() {
    ViewCaret* c = caret();
    Element* e = c ? c->element() : nullptr;
    if (e && (e->isActiveInput() || e->elementKind() == KIND_EXPRESSION_EDIT)) return insertText();
    return insertInput(false);
}

bool KWorksheetWindow::insertMath() {
    clearMarks();
    auto* math = new MathElement(nullptr, 20);
    auto* paragraph = new ParagraphElement(0, nullptr);
    paragraph->insertChild(math, nullptr, kInsertAfter);
    auto* group = new ExecutionGroup(paragraph);
    if (!insertElement(group, kInsertAfter, false)) {
        delete group;
        return false;
    }
    caret()->setPosition(math, 0);
    updateCaretState(false);
    return true;
}

// ---- the context menu ------------------------------------------------------------------------------

bool KWorksheetWindow::contextMenu(const MouseEvent& e, Element* element, ElementPoint point) {
    if (isReadOnly() || !element || !document_) return false;
    Menu* menu = element->cachedContextMenu();
    if (!menu) {
        const int id = element->contextId();
        if (id == 0) return false;
        try {
            menu = new PopupMenu(ResId(id));
        } catch (const std::exception&) {
            return false;
        }
        element->setCachedContextMenu(menu);
    }
    auto* popup = dynamic_cast<PopupMenu*>(menu);
    if (!popup) return false;
    inPopup_ = true;
    element->contextMenu(menu, point.y);
    const int chosen = popup->execute(this, e.getPosPixel());
    if (chosen != 0) {
        Window::update();
        if (Selection* s = selection()) s->clear();
        selecting_ = false;
        UndoHistory* history = chosen != kPopupNoUndoItem ? document_->undoHistory() : nullptr;
        if (history) history->beginGroup("Popup Menu Command", caret(), false);
        guardedHandler("Popup Menu Command", [&] {
            if (!element->runContextMenuEntry(chosen)) window_command(chosen, nullptr, 0);
        });
        if (history) history->endUndoGroup(caret());
    }
    inPopup_ = false;
    return true;
}
