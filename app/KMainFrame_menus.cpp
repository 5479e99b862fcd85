// The main frame's menu and command-state rules.  Until those rules come, a popup opens as it
// was built and the commands keep their state.
#include "app/KMainFrame.h"

#include "platform/gui/ToolBox.h"

void KMainFrame::updateMenu(Menu*) {}

void KMainFrame::refreshContextBarState() {}

bool KMainFrame::updateCommandState(int) { return currentToolBox_ != 0 && toolBox(currentToolBox_) != nullptr; }
