#pragma once
// KParaStyleDialog: the paragraph style question (dialog resource 8001, "Paragraph Style").  It
// edits a working copy of one paragraph style record and never writes into the style set; the
// caller takes `style` after OK.
//
// Until the dialog's own window is built this is a stand-in that answers through
// style_dialog_standin.h: a script step "select ListBox 2 @<n>" chooses the justification list's
// entry n (0 undefined, 1 left, 2 right, 3 centred), as the dialog's list does.

#include "document/styles/CharStyle.h"

class StyleSet;
class Window;

class KParaStyleDialog {
public:
    static constexpr int kResourceId = 8001;
    static constexpr int kJustificationList = 2;

    KParaStyleDialog(Window* parent, StyleSet* styles) : parent_(parent), styles_(styles) {}
    void setStyle(const ParaStyle& record, bool existing, bool named);
    // 1 for OK, 0 for Cancel.
    long execute();

    ParaStyle style;

private:
    Window* parent_;
    StyleSet* styles_;
    bool existing_ = false;
    bool named_ = false;
};
