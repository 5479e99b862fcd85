#pragma once
// KStyleManagerDialog: the style management dialog (dialog resource 8005, "Style Management")
// over a document's style set, where styles are made, changed and deleted in place; the caller
// wraps the run in an undo group that records the style set before and after it.
//
// Until the dialog's own window is built this is a stand-in that answers through
// style_dialog_standin.h and changes nothing in the style set.

class StyleSet;
class Window;

class KStyleManagerDialog {
public:
    static constexpr int kResourceId = 8005;

    KStyleManagerDialog(Window* parent, StyleSet* styles) : parent_(parent), styles_(styles) {}
    // 1 for OK, 0 for Cancel.
    long execute();

private:
    Window* parent_;
    StyleSet* styles_;
};
