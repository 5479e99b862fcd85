// The LaTeX export's options question (stand-in, KLatexOptionsDialog.h).
#include "app/dialogs/KLatexOptionsDialog.h"

#include "platform/gui/gui_test.h"

long KLatexOptionsDialog::execute() {
    (void)parent_;
    if (gui::test::isActive() && gui::test::stepsLeft() > 0) {
        gui::test::Step step;
        if (gui::test::takeStep(step) && step.kind == gui::test::Step::CancelDialog) return 0;
    }
    return 1;
}
