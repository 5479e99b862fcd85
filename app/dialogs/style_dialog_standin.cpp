// The style dialogs' scripted answers (rules in style_dialog_standin.h).
#include "app/dialogs/style_dialog_standin.h"

long styledlg_run(const std::function<void(const gui::test::Step&)>& apply) {
    if (!gui::test::isActive()) return 1;
    gui::test::Step step;
    while (gui::test::stepsLeft() > 0 && gui::test::takeStep(step)) {
        if (step.kind == gui::test::Step::CancelDialog) return 0;
        if (step.kind == gui::test::Step::ClickButton && step.control == "CancelButton") return 0;
        if (step.kind == gui::test::Step::ClickButton && step.control == "OKButton") return 1;
        if (apply) apply(step);
    }
    return 1;
}

int styledlg_tristate_value(int state) { return state == 1 ? 1 : state == 0 ? 2 : 0; }
