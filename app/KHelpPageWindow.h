#pragma once
// KHelpPageWindow: a help page that a hyperlink opens in a small pop-up frame (KHelpPageFrame)
// and that vanishes on the next click, key or loss of focus.  It is the worksheet window over
// the page's document with four window operations replaced (mouse button down, key input, loss
// of focus and the command entry all dismiss the page); its view and editor part are the
// worksheet window's.
//
// Invariants:
//   1. dismiss closes the page at most once: `dismissed` is set before anything else, so a
//      second event (one already queued, or the focus loss that the close itself causes) finds
//      it set and does nothing.
//   2. A handler that dismissed the page returns at once: the close deletes the window (with
//      its view, document and caret) and the frame, so nothing of them is touched afterwards.
//
// Ownership: as for every worksheet window, the frame owns the window and the window's view
// the document.

#include <cstdint>
#include <memory>

#include "app/KWorksheetWindow.h"

class KHelpPageFrame;

class KHelpPageWindow : public KWorksheetWindow {
public:
    // Builds the worksheet window over the document in the frame (whose frame window it shows),
    // hides the caret, captures the mouse and takes the focus.  registry, viewOptions, menuBar
    // and contextBar are the worksheet window's.
    KHelpPageWindow(std::unique_ptr<WorksheetDocument> document, KHelpPageFrame* frame, KWindowRegistry* registry,
                    const KViewOptions* viewOptions, int menuBar, int contextBar);
    ~KHelpPageWindow() override;

    // Once only: releases the mouse and closes the window as the close command does (through
    // the frame's close request).  The window is gone when it returns.
    void dismiss();

    void mouseButtonDown(const MouseEvent& e) override;
    void keyInput(const KeyEvent& e) override;
    void loseFocus() override;
    // Dismisses the page and answers true, whatever the command.
    bool command(int commandId, std::intptr_t argument) override;

    // Help pages alive (each counted from construction to destruction).
    static int liveCount();

    bool dismissed = false;
};
