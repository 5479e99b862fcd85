#pragma once
// KWorksheetMenuWindow: the active worksheet window as the menu rules see it (KMenuWindow).
// The main frame keeps one and points it at the active worksheet window before each question;
// the answers come from the window's document and caret.
//
// The window does not yet carry out the clipboard commands or Delete Paragraph from the menus:
// those are answered false so that no item offers a command that cannot act; there is no input
// mode to choose, no display choice, no context topic and no spreadsheet.  Undo and Redo follow
// the document's history; a help document's window is a help window.
//
// Owns nothing; the window is borrowed and must outlive the questions asked through it.

#include <string>

#include "app/KMenuRules.h"

class KWorksheetWindow;

class KWorksheetMenuWindow : public KMenuWindow {
public:
    void attach(KWorksheetWindow* window) { window_ = window; }
    KWorksheetWindow* window() const { return window_; }

    bool isHelpWindow() const override;
    bool isReadOnly() const override;
    Document* document() const override;
    ViewCaret* caret() const override;
    bool canUndo() override;
    bool canRedo() override;
    bool canDeleteParagraph() override;
    bool canCutCopy(bool asText, bool cut) override;
    bool canPaste(bool asText) override;
    int inputMode() override;
    int displayChoice(int popupFirstItem) override;
    std::string contextTopic() override;
    bool hasSelection() override;
    Element* currentElement() override;
    Element* currentParagraphElement() override;
    KMenuSpreadsheet* spreadsheet() override;

private:
    KWorksheetWindow* window_ = nullptr;
};
