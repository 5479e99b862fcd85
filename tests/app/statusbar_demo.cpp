// statusbar_demo: the worksheet program on a real display with the scripted test kernel
// (KELVO_KERNEL).  Once its loop runs, the active worksheet runs a statement whose kernel sends
// STATUS with 1000 words and 2.5 seconds, and the program prints "STATUS <time>|<bytes>|
// <available>" with the status bar's three items.  It then records an undo group "Typing" in
// the worksheet, brings an Edit menu up to date through the menu rules, prints "MENU <undo
// text>" and opens the menu at the frame's top left until it is closed (Escape); then it prints
// "CLOSED" and runs until it is told to end (SIGTERM).
#include <cstdio>
#include <cstdlib>

#include "app/KMainFrame.h"
#include "app/KWorksheetWindow.h"
#include "app/KMenuRules.h"
#include "app/KWorksheetApp.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/exec/OutputSink.h"
#include "document/exec/WorksheetDocument.h"
#include "tests/app/menu_rules_doubles.h"

namespace {

using namespace menu_rules_doubles;

class Sink : public OutputSink {
public:
    void resetOutput() override {}
    bool output(Dag, int) override { return true; }
    bool newTextInputRegion() override { return false; }
};

void showOff(KWorksheetApp& app) {
    KWorksheetWindow* window = dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet());
    WorksheetDocument* document = window->document();
    Sink sink;
    document->executeInput(&sink, KString("ask(STATUS, 0, 1000, 2.5);"));
    document->runExecutionToEnd();
    KStatusBar& bar = *app.frame->statusBar();
    std::printf("STATUS %s|%s|%s\n", bar.getItemText(KStatusBar::kTimeItem).c_str(),
                bar.getItemText(KStatusBar::kBytesItem).c_str(), bar.getItemText(KStatusBar::kAvailableItem).c_str());

    // One typed edit: a paragraph appended in an undo group "Typing".
    // (The worksheet window that builds a new worksheet's tree is not there yet.)
    if (!document->root()) document->setRoot(new SectionElement());
    UndoHistory* history = document->undoHistory();
    history->beginGroup("Typing", nullptr, false);
    document->root()->insertChild(new ParagraphElement(0, nullptr), nullptr, kInsertAfter);
    history->endUndoGroup(nullptr);

    FrameDouble frame;
    WindowDouble answers;
    answers.doc = document;
    answers.undo = history->canUndo();
    answers.canCopy = true;
    frame.window = &answers;
    KMenuRules rules(frame);
    PopupMenu edit;
    const struct { int id; const char* text; } items[] = {
        {1151, "~Undo"}, {1152, "~Redo"}, {1153, "Cu~t"}, {1154, "~Copy"}, {1155, "~Paste"}, {2507, "~Delete Paragraph"},
    };
    for (const auto& item : items) edit.insertItem(static_cast<uint16_t>(item.id), String(item.text));
    rules.updateMenu(&edit);
    std::printf("MENU %s\n", edit.getItemText(1151).c_str());
    std::fflush(stdout);
    edit.execute(app.frame, Point(10, 10));
    std::printf("CLOSED\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    KWorksheetApp app;
    app.onLoopRunning = showOff;
    app.Main(argc, argv);
    return 0;
}
