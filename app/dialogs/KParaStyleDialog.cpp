// The paragraph style question (stand-in, KParaStyleDialog.h).
#include "app/dialogs/KParaStyleDialog.h"

#include "app/dialogs/style_dialog_standin.h"

void KParaStyleDialog::setStyle(const ParaStyle& record, bool existing, bool named) {
    style = record;
    existing_ = existing;
    named_ = named;
}

long KParaStyleDialog::execute() {
    (void)parent_;
    (void)styles_;
    return styledlg_run([this](const gui::test::Step& step) {
        if (step.kind != gui::test::Step::SelectEntry || step.control != "ListBox" || step.id != kJustificationList)
            return;
        // The list's positions are the stored values; entries are chosen by position here.
        if (step.text.empty() && step.state >= 0 && step.state <= 3) style.justification = step.state;
    });
}
