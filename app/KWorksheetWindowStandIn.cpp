// The worksheet window stand-in: title, view and caret, registration, activation and the close
// question.
#include "app/KWorksheetWindowStandIn.h"

#include <algorithm>
#include <string>

#include "app/KFrameAdaptor.h"
#include "app/KMainFrame.h"
#include "app/KWindowRegistry.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/DocumentView.h"
#include "document/tree/ViewCaret.h"
#include "util/messages.h"

namespace {

std::vector<KWorksheetWindowStandIn*>& liveWindows() {
    static std::vector<KWorksheetWindowStandIn*> windows;
    return windows;
}

// Question-box answers and styles.
constexpr int kAnswerYes = 2;
constexpr int kAnswerNo = 3;
constexpr int kStyleYesNo = 4160;
constexpr int kStyleYesNoCancel = 4224;

// The stand-in draws no caret.
class NoCursor : public TextCursor {
public:
    void setSize(int, int) override {}
    void setPos(int, int) override {}
    void show() override {}
    void hide() override {}
};

}  // namespace

// The editing side of the window that the document reaches: its view and caret.
class KWorksheetWindowStandIn::EditWindow : public ElementWindow {
public:
    explicit EditWindow(WorksheetDocument* document);
    ~EditWindow() override;
    DocumentView* view() override;
    TextCursor* createCursor() override { return new NoCursor; }
    bool isRectVisible(const ElementRect&) override { return true; }
    void scrollIntoView(const ElementRect&) override {}
    void invert(const ElementRect&) override {}
    ViewCaret* caret() override { return caret_.get(); }

private:
    std::unique_ptr<View> view_;
    std::unique_ptr<ViewCaret> caret_;
};

class KWorksheetWindowStandIn::View : public DocumentView {
public:
    View(WorksheetDocument* document, ElementWindow* window) : DocumentView(document), window_(window) {
        setViewSize(600, 400);
    }
    void drawText(const ElementPoint&, const char*, int, bool) override {}
    ElementWindow* worksheetWindow() override { return window_; }
    ElementWindow* worksheetEditTarget() override { return window_; }

private:
    ElementWindow* window_;
};

KWorksheetWindowStandIn::EditWindow::EditWindow(WorksheetDocument* document)
    : view_(std::make_unique<View>(document, this)) {
    document->setActiveView(view_.get(), 0, nullptr);
    caret_ = std::make_unique<ViewCaret>(document, this);
}

// The caret goes before the view; the document goes with its last view.
KWorksheetWindowStandIn::EditWindow::~EditWindow() {
    caret_.reset();
    view_.reset();
}

DocumentView* KWorksheetWindowStandIn::EditWindow::view() { return view_.get(); }

KWorksheetWindowStandIn::KWorksheetWindowStandIn(KFrameAdaptor* adaptorIn, std::unique_ptr<WorksheetDocument> document,
                                                 KWindowRegistry* registry)
    : KDocWindow(adaptorIn), document_(document.get()), registry_(registry) {
    editWindow_ = std::make_unique<EditWindow>(document.release());
    menuBarId = KMainFrame::kWorksheetMenuBar;
    toolBarId = KMainFrame::kWorksheetToolBox;
    contextBarIndex = KMainFrame::kMathContextBar;
    if (adaptor) adaptor->setTitle(String(document_->title()));
    if (registry_) {
        const std::string path = document_->filePath();
        if (!path.empty()) registry_->add(this, path, KWindowRegistry::kModeFile);
        else registry_->add(this, document_->title(), 0);
    }
    liveWindows().push_back(this);
}

KWorksheetWindowStandIn::~KWorksheetWindowStandIn() {
    auto& live = liveWindows();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (registry_) registry_->remove(this);
    if (KMainFrame::activeWorksheet() == this) KMainFrame::setActiveWorksheet(nullptr);
    editWindow_.reset();
    document_ = nullptr;
}

const std::vector<KWorksheetWindowStandIn*>& KWorksheetWindowStandIn::all() { return liveWindows(); }

void KWorksheetWindowStandIn::paint(const Rectangle& r) {
    setFillInBrush(Brush(Color(COL_WHITE)));
    setBackgroundBrush(Brush(Color(COL_WHITE)));
    erase(r);
}

void KWorksheetWindowStandIn::activate() {
    KMainFrame::setActiveWorksheet(this);
    KDocWindow::activate();
    if (KMainFrameInterface* frame = KMainFrameInterface::current())
        frame->setContextBar(contextBarIndex, nullptr, 0);
}

void KWorksheetWindowStandIn::getFocus() { KMainFrame::setActiveWorksheet(this); }

bool KWorksheetWindowStandIn::command(int commandId, std::intptr_t) {
    received_.push_back(commandId);
    // Interrupt is the one window command the program needs before the real window comes.
    if (commandId == 2504 && document_) {
        document_->interrupt();
        return true;
    }
    return false;
}

bool KWorksheetWindowStandIn::closeQuery() {
    WorksheetDocument* doc = document_;
    if (doc && (doc->computing() || doc->waitingForReadline)) {
        std::string text = "You are in the middle of a computation";
        if (doc->waitingForReadline) text += "\n(stopped in a Kelvo readline() statement).";
        text += "\nDo you wish to interrupt it?";
        if (askQuestion(text.c_str(), kStyleYesNo) == kAnswerYes) {
            doc->interrupt();
            doc->setComputing(false);
        }
        return false;
    }
    if (doc && doc->modified && doc->documentKind() == 1) {
        std::string text = std::string("The worksheet \"") + doc->title() +
                           "\" has been modified.\nDo you wish to save it before closing?";
        const int answer = askQuestion(text.c_str(), kStyleYesNoCancel);
        // Saving comes with the real window: until then Yes keeps the window and its edits.
        if (answer != kAnswerNo) return false;
    }
    if (doc) doc->notifyClosing();
    return KDocWindow::closeQuery();
}
