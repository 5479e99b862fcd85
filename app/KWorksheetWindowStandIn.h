#pragma once
// KWorksheetWindowStandIn: the worksheet window until the real one comes.  A document window in
// an MDI frame that shows its document's title, gives the document a view and a caret (so the
// kernel poll sees the document as shown and starts its session), registers itself in the
// window registry, becomes the active worksheet window when activated, and asks the ordinary
// close question:
//   1. while the document computes or waits for a read-line answer: "You are in the middle of
//      a computation" (with the read-line line when it waits) "\nDo you wish to interrupt it?";
//      Yes interrupts; the window never closes on this path;
//   2. a modified worksheet: "The worksheet \"<title>\" has been modified.\nDo you wish to save
//      it before closing?"; Yes cannot save yet and keeps the window, No closes, Cancel keeps it;
//   3. otherwise it closes.
//
// Ownership: the window owns its view and caret; the view keeps the document (the document
// deletes itself with its last view), so the document goes with the window.

#include <cstdint>
#include <memory>
#include <vector>

#include "app/KDocWindow.h"

class KFrameAdaptor;
class KWindowRegistry;
class WorksheetDocument;

class KWorksheetWindowStandIn : public KDocWindow {
public:
    KWorksheetWindowStandIn(KFrameAdaptor* adaptor, std::unique_ptr<WorksheetDocument> document,
                            KWindowRegistry* registry);
    ~KWorksheetWindowStandIn() override;

    WorksheetDocument* document() const { return document_; }
    void paint(const Rectangle& r) override;
    void activate() override;
    void getFocus() override;
    bool closeQuery() override;
    // The commands the frame hands on are kept (the window commands come with the real window).
    bool command(int commandId, std::intptr_t argument) override;
    const std::vector<int>& receivedCommands() const { return received_; }

    // Every stand-in alive, oldest first.
    static const std::vector<KWorksheetWindowStandIn*>& all();

private:
    class View;
    class EditWindow;
    WorksheetDocument* document_;   // kept alive by the view
    std::unique_ptr<EditWindow> editWindow_;
    KWindowRegistry* registry_;
    std::vector<int> received_;
};
