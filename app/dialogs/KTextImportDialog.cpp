// The text import question (rules in KTextImportDialog.h).
#include "app/dialogs/KTextImportDialog.h"

#include "document/exec/WorksheetFile.h"
#include "platform/gui/Application.h"
#include "platform/gui/Window.h"

KTextImportDialog::KTextImportDialog(Window* parent)
    : ModalDialog(parent, ResId(kResourceId)), label_(this, ResId(1)), formats_(this, ResId(100)),
      ok_(this, ResId(101)), cancel_(this, ResId(102)) {
    for (const char* entry : kTextImportEntries) formats_.insertEntry(String(entry));
    ok_.setClickHdl(Link([this](void*) {
        const uint16_t selected = formats_.getSelectEntryPos();
        choice = selected == LISTBOX_ENTRY_NOTFOUND ? 0 : selected;
        endDialog(RET_OK);
        return 0L;
    }));
}

int KTextImportDialog::chooseTextImport(const char*, const char* const*, int) {
    KTextImportDialog dialog(Application::getAppWindow());
    return dialog.execute() == RET_OK ? static_cast<int>(dialog.choice) : -1;
}
