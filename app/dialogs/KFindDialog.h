#pragma once
// KFindDialog: the program's one modeless Find dialog, built from dialog resource 8007 "Find"
// (wkelvo.res): the fixed text 1 "Fi~nd Text:", the edit 1 with the text to find, the buttons
// "~Find Next" (push button 1), "Find ~Previous" (push button 2) and Cancel 1.
//
// Find Next sends the main frame the command 2508 and Find Previous 2509, each with the edit's
// text (a NUL-terminated cp1252 string passed as the command's argument, valid for the call);
// the frame hands them to the active worksheet window.  Cancel only hides the dialog: the same
// dialog, with its last text, comes back on the next Find.
//
// Ownership: the application object keeps the dialog (KWorksheetApp::findDialog) from its
// first use to shut-down; the worksheet window's Find command builds it once.

#include <string>

#include "platform/gui/Dialog.h"

class Window;

class KFindDialog : public ModelessDialog {
public:
    static constexpr int kResourceId = 8007;
    static constexpr int kFindNextCommand = 2508;
    static constexpr int kFindPreviousCommand = 2509;

    explicit KFindDialog(Window* parent);
    ~KFindDialog() override;

    // Enables Find Next and gives the edit the focus (before each show).
    void prepare();
    // The text to find, as typed.
    std::string text() const;
    // The buttons, as a click runs them.
    void findNext() { next_.click(); }
    void findPrevious() { previous_.click(); }
    void cancel() { cancel_.click(); }

private:
    void send(int command);

    FixedText label_;
    Edit edit_;
    PushButton next_;
    PushButton previous_;
    CancelButton cancel_;
};
