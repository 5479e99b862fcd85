#pragma once
// KBookmarkDialog: the modal question for the bookmark name of the paragraph that holds the
// caret, built from dialog resource 8004 "Add or Modify BookMark" (wkelvo.res): the fixed text 1
// "~Bookmark Text:", the edit 1 with the name, OK 1 and Cancel 1.
//
// The caller gives the paragraph's current name (setName), runs the dialog and, after OK, takes
// name() as typed; an empty name is a valid answer (it removes the bookmark).  Built for one
// question and destroyed after it.

#include "platform/gui/Dialog.h"
#include "util/KString.h"

class Window;

class KBookmarkDialog : public ModalDialog {
public:
    static constexpr int kResourceId = 8004;

    explicit KBookmarkDialog(Window* parent);

    // Shows the text in the edit (and keeps it as the name until the edit is read).
    void setName(const KString& text);
    // The edit's text, now the dialog's name.
    const KString& name();

private:
    FixedText label_;
    Edit edit_;
    OKButton ok_;
    CancelButton cancel_;
    KString name_;
};
