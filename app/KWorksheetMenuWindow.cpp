// The active worksheet window's answers to the menu rules (KWorksheetMenuWindow.h).
#include "app/KWorksheetMenuWindow.h"

#include "app/KWorksheetWindow.h"
#include "document/edit/UndoHistory.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/ViewCaret.h"

bool KWorksheetMenuWindow::isHelpWindow() const { return window_ && window_->document() && window_->document()->isHelpDocument(); }

bool KWorksheetMenuWindow::isReadOnly() const { return window_ && window_->isReadOnly(); }

Document* KWorksheetMenuWindow::document() const { return window_ ? window_->document() : nullptr; }

ViewCaret* KWorksheetMenuWindow::caret() const { return window_ ? window_->caret() : nullptr; }

bool KWorksheetMenuWindow::canUndo() {
    Document* doc = document();
    return doc && doc->undoHistory() && doc->undoHistory()->canUndo();
}

bool KWorksheetMenuWindow::canRedo() {
    Document* doc = document();
    return doc && doc->undoHistory() && doc->undoHistory()->canRedo();
}

bool KWorksheetMenuWindow::canDeleteParagraph() { return false; }

bool KWorksheetMenuWindow::canCutCopy(bool, bool) { return false; }

bool KWorksheetMenuWindow::canPaste(bool) { return false; }

int KWorksheetMenuWindow::inputMode() { return 0; }

int KWorksheetMenuWindow::displayChoice(int) { return -1; }

std::string KWorksheetMenuWindow::contextTopic() { return std::string(); }

bool KWorksheetMenuWindow::hasSelection() { return false; }

Element* KWorksheetMenuWindow::currentElement() {
    ViewCaret* c = caret();
    return c ? c->elementIfResolved() : nullptr;
}

Element* KWorksheetMenuWindow::currentParagraphElement() { return currentElement(); }

KMenuSpreadsheet* KWorksheetMenuWindow::spreadsheet() { return nullptr; }
