#pragma once
// Routes the program's messages (util/messages.h: showMessage, askQuestion, showInfo, the beep)
// to this layer's message boxes.  Built when the util library is part of the build.

namespace gui {
// Installs the hooks once; later calls do nothing.
void gui_install_message_hooks();
}  // namespace gui

using gui::gui_install_message_hooks;
