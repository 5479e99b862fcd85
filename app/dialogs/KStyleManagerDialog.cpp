// The style management dialog (stand-in, KStyleManagerDialog.h).
#include "app/dialogs/KStyleManagerDialog.h"

#include "app/dialogs/style_dialog_standin.h"

long KStyleManagerDialog::execute() {
    (void)parent_;
    (void)styles_;
    return styledlg_run(nullptr);
}
