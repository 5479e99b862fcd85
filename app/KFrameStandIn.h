#pragma once
// Stand-ins for the windows of the application shell that are not built yet: the main frame
// (a style-1520 work window with its MDI area, titled "Kelvo V Release 5") and the worksheet
// window (a document frame in that area that owns its worksheet document and shows its title).
// They offer exactly the operations start-up and shut-down call: load_worksheet, the frame
// commands 1101 (new worksheet) and 2504 (interrupt), the status message, the command-state
// refresh and the release of the kernels.
//
// Ownership: the frame owns its worksheet windows; each window owns its document and is
// registered in the application's window registry while it lives.  The frame's evaluator list
// is the worksheet host's (one list); releaseKernels deletes every window (per-worksheet
// kernels end with their documents) and then the shared kernel's evaluators, which stops it.

#include <memory>
#include <vector>

#include "app/KStatusBar.h"
#include "platform/gui/Window.h"
#include "platform/gui/base/String.h"

class KWindowRegistry;
class WorksheetDocument;

enum : int {
    kCommandNewWorksheet = 1101,
    kCommandInterrupt = 2504,
};

class KWorksheetWindowStandIn : public MDIWindow {
public:
    KWorksheetWindowStandIn(Window* frame, std::unique_ptr<WorksheetDocument> document,
                            KWindowRegistry* registry);
    ~KWorksheetWindowStandIn() override;
    void paint(const Rectangle& r) override;
    bool closeQuery() override;

    WorksheetDocument* document() const { return document_.get(); }

private:
    std::unique_ptr<WorksheetDocument> document_;
    KWindowRegistry* registry_;
};

class KFrameStandIn : public WorkWindow {
public:
    static constexpr const char* kTitle = "Kelvo V Release 5";

    explicit KFrameStandIn(KWindowRegistry* registry);
    ~KFrameStandIn() override;

    // Opens the worksheet file in a new window, or brings forward the window that shows it
    // already.  Quiet (flags bit 1): no messages.  False when the file could not be opened.
    bool load_worksheet(const char* path, int flags);
    // Runs a frame command; false for a command the stand-in does not know.
    bool command(int id);
    void setStatusMessage(const String& text) { statusBar.setStatusMessage(text); }
    String statusMessage() const { return statusBar.getText(); }
    void updateCommandState(int id) { ++commandStateUpdates_; lastCommandState_ = id; }
    int commandStateUpdates() const { return commandStateUpdates_; }

    // Deletes every worksheet window, then the shared kernel's evaluators.
    void releaseKernels();
    const std::vector<KWorksheetWindowStandIn*>& worksheetWindows() const { return windows_; }
    KWorksheetWindowStandIn* activeWorksheetWindow() const;

    bool closeQuery() override;
    void paint(const Rectangle& r) override;
    // The status bar along the bottom edge, the MDI area above it.
    void resize() override;

    KStatusBar statusBar;

private:
    KWorksheetWindowStandIn* openWindow(std::unique_ptr<WorksheetDocument> document);

    KWindowRegistry* registry_;
    std::vector<KWorksheetWindowStandIn*> windows_;   // owned
    int commandStateUpdates_ = 0;
    int lastCommandState_ = 0;
};
