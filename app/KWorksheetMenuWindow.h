#pragma once
// KWorksheetMenuWindow: the active worksheet window as the menu rules see it (KMenuWindow).
// The main frame keeps one and points it at the active worksheet window before each question;
// the answers come from the window's document and caret.
//
// The worksheet window here is the stand-in, which carries out none of the editing commands:
// deleting a paragraph, cutting, copying and pasting are answered false so that no item offers
// a command that cannot act, there is no input mode to choose, no display choice, no context
// topic and no spreadsheet.  Undo and Redo follow the document's history; a help document's
// window is a help window.
//
// Owns nothing; the window is borrowed and must outlive the questions asked through it.

#include <string>

#include "app/KMenuRules.h"

class KWorksheetWindowStandIn;

class KWorksheetMenuWindow : public KMenuWindow {
public:
    void attach(KWorksheetWindowStandIn* window) { window_ = window; }
    KWorksheetWindowStandIn* window() const { return window_; }

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
    KWorksheetWindowStandIn* window_ = nullptr;
};
