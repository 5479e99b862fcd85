// The character style question (stand-in, KCharStyleDialog.h).
#include "app/dialogs/KCharStyleDialog.h"

#include "app/dialogs/style_dialog_standin.h"

void KCharStyleDialog::setStyle(const CharStyle& record, bool existing, bool named) {
    style = record;
    existing_ = existing;
    named_ = named;
}

long KCharStyleDialog::execute() {
    (void)parent_;
    (void)styles_;
    return styledlg_run([this](const gui::test::Step& step) {
        if (step.kind != gui::test::Step::CheckBox || step.control != "TriStateBox") return;
        const int value = styledlg_tristate_value(step.state);
        switch (step.id) {
        case 1: style.italic = value; break;
        case 2: style.bold = value; break;
        case 3: style.underline = value; break;
        case 6: style.readOnly = value; break;
        default: break;
        }
    });
}
