#pragma once
// How the style dialogs answer until their own windows are built: they run no window and take
// the GUI layer's test script in the user's place, step by step, as the real dialogs will.
//
// styledlg_run takes steps until one closes the dialog: a "cancel" step or a click on the
// Cancel button answers 0, a click on the OK button answers 1; every other step goes to
// `apply` (which sets the working style from it).  Outside the test mode, or when the script
// has no step left, the answer is OK with the working style as it stands.

#include <functional>

#include "platform/gui/gui_test.h"

long styledlg_run(const std::function<void(const gui::test::Step&)>& apply);

// The style value of a three-state box's state: checked 1 (on), unchecked 2 (off), the third
// state 0 (undefined).
int styledlg_tristate_value(int state);
