// The modeless Find dialog (rules in KFindDialog.h).
#include "app/dialogs/KFindDialog.h"

#include <cstdint>

#include "app/KMainFrame.h"
#include "app/KWorksheetApp.h"

KFindDialog::KFindDialog(Window* parent)
    : ModelessDialog(parent, ResId(kResourceId)), label_(this, ResId(1)), edit_(this, ResId(1)),
      next_(this, ResId(1)), previous_(this, ResId(2)), cancel_(this, ResId(1)) {
    next_.setClickHdl(Link([this](void*) {
        send(kFindNextCommand);
        return 0L;
    }));
    previous_.setClickHdl(Link([this](void*) {
        send(kFindPreviousCommand);
        return 0L;
    }));
}

KFindDialog::~KFindDialog() = default;

void KFindDialog::prepare() {
    next_.enable(true);
    edit_.grabFocus();
}

std::string KFindDialog::text() const { return edit_.getText().str(); }

void KFindDialog::send(int command) {
    KWorksheetApp* app = worksheetApp();
    if (!app || !app->frame) return;
    const std::string wanted = text();
    app->frame->frame_command(command, reinterpret_cast<std::intptr_t>(wanted.c_str()));
}
