#pragma once
// KCharStyleDialog: the character style question (dialog resource 8000, "Character Style").
// It edits a working copy of one character style record and never writes into the style set;
// the caller takes `style` after OK.
//
// Until the dialog's own window is built this is a stand-in that answers through
// style_dialog_standin.h: a script step "check TriStateBox <id> <state>" sets italic (1), bold
// (2), underline (3) or read-only (6) as the dialog's three-state boxes do.

#include "document/styles/CharStyle.h"

class StyleSet;
class Window;

class KCharStyleDialog {
public:
    static constexpr int kResourceId = 8000;

    KCharStyleDialog(Window* parent, StyleSet* styles) : parent_(parent), styles_(styles) {}
    // The record to edit (copied), whether it is already in the style set and whether the
    // dialog shows and checks its name (the Format Character command: an empty record, new,
    // anonymous).
    void setStyle(const CharStyle& record, bool existing, bool named);
    // 1 for OK, 0 for Cancel.
    long execute();

    CharStyle style;

private:
    Window* parent_;
    StyleSet* styles_;
    bool existing_ = false;
    bool named_ = false;
};
