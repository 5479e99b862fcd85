// The help page window: construction and the events that dismiss it (rules in KHelpPageWindow.h).
#include "app/KHelpPageWindow.h"

#include "app/KDocFrame.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/ViewCaret.h"

namespace {
int livePages = 0;
}  // namespace

KHelpPageWindow::KHelpPageWindow(std::unique_ptr<WorksheetDocument> document, KHelpPageFrame* frame,
                                 KWindowRegistry* registry, const KViewOptions* viewOptions, int menuBar,
                                 int contextBar)
    : KWorksheetWindow(frame, std::move(document), registry, viewOptions, menuBar, contextBar) {
    ++livePages;
    if (ViewCaret* c = caret()) c->hide();
    // A pop-up: shown at once, so that the capture and the focus take hold.
    if (adaptor) adaptor->showFrame(true);
    show();
    captureMouse();
    grabFocus();
}

KHelpPageWindow::~KHelpPageWindow() { --livePages; }

int KHelpPageWindow::liveCount() { return livePages; }

void KHelpPageWindow::dismiss() {
    if (dismissed) return;
    dismissed = true;
    releaseMouse();
    // The frame's close request deletes this window; hiding the frame on the way loses the
    // focus, which comes back here and finds the page dismissed.
    if (adaptor) adaptor->closeFrame();
    else close();
}

void KHelpPageWindow::mouseButtonDown(const MouseEvent&) { dismiss(); }

void KHelpPageWindow::keyInput(const KeyEvent&) { dismiss(); }

void KHelpPageWindow::loseFocus() { dismiss(); }

bool KHelpPageWindow::command(int, std::intptr_t) {
    dismiss();
    return true;
}
