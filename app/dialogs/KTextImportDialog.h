#pragma once
// KTextImportDialog: the modal question how a file that is not a worksheet is imported, built
// from dialog resource 8003 "Text Format Choice" (wkelvo.res): the fixed text 1 "Text Format:",
// the list box 100 with "Kelvo Text" (position 0: program text, lines marked "#" and ">") and
// "Text" (position 1: every line a text paragraph), OK 101 and Cancel 102.
//
// OK sets `choice` to the selected position (0 when nothing is selected) and ends the dialog
// with 1; Cancel ends it with the GUI layer's cancel result (RET_CANCEL).  Built for one
// question and destroyed after it.

#include "platform/gui/Dialog.h"
#include "platform/gui/Dialog_controls.h"

class Window;

class KTextImportDialog : public ModalDialog {
public:
    static constexpr int kResourceId = 8003;

    explicit KTextImportDialog(Window* parent);

    // The list's position that OK took.
    unsigned choice = 0;

    // The loader's question (WorksheetFileHooks::chooseTextImport): runs the dialog over the
    // application window and answers the choice, or -1 for Cancel.
    static int chooseTextImport(const char* path, const char* const* entries, int count);

private:
    FixedText label_;
    ListBox formats_;
    OKButton ok_;
    CancelButton cancel_;
};
