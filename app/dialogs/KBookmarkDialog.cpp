// The bookmark name question (rules in KBookmarkDialog.h).
#include "app/dialogs/KBookmarkDialog.h"

KBookmarkDialog::KBookmarkDialog(Window* parent)
    : ModalDialog(parent, ResId(kResourceId)), label_(this, ResId(1)), edit_(this, ResId(1)), ok_(this, ResId(1)),
      cancel_(this, ResId(1)) {}

void KBookmarkDialog::setName(const KString& text) {
    name_.assign(text.text() ? text.text() : "");
    edit_.setText(String(name_.text()));
}

const KString& KBookmarkDialog::name() {
    name_.assign(edit_.getText().c_str());
    return name_;
}
