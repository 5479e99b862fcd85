// The message-box side of util/messages.h.
#include "platform/gui/message_hooks.h"

#include "platform/gui/Application.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Window.h"
#include "util/messages.h"

namespace gui {

namespace {

void errorBox(void* parent, int style, const char* text) {
    ErrorBox(static_cast<Window*>(parent), static_cast<uint32_t>(style), String(text ? text : "")).execute();
}
int questionBox(int style, const char* text) {
    return static_cast<int>(QueryBox(Application::getAppWindow(), static_cast<uint32_t>(style), String(text ? text : "")).execute());
}
void infoBox(const char* text) { InfoBox(Application::getAppWindow(), String(text ? text : "")).execute(); }
void beep() { Sound::beep(); }
bool isRunning() { return Application::isRunning(); }

}  // namespace

void gui_install_message_hooks() {
    static bool done = false;
    if (done) return;
    done = true;
    MessageGuiHooks h;
    h.errorBox = errorBox;
    h.questionBox = questionBox;
    h.infoBox = infoBox;
    h.beep = beep;
    h.isRunning = isRunning;
    messages_set_gui_hooks(h);
}

}  // namespace gui
