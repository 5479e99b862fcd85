// The worksheet window: its parts, construction and destruction, painting, resize, focus,
// activation, the computing state and the close question.
#include "app/KWorksheetWindow.h"

#include <algorithm>
#include <functional>
#include <new>

#include "app/KEditorPart.h"
#include "app/KFrameAdaptor.h"
#include "app/KMainFrame.h"
#include "app/KMainFrameInterface.h"
#include "app/KStatusBar.h"
#include "app/KWindowRegistry.h"
#include "app/KWorksheetApp.h"
#include "document/records/KWorksheetWriter.h"
#include "options/KOptions.h"
#include "platform/gui/ToolBox.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/SectionElement.h"
#include "document/exec/PlaceholderElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "document/views/WindowView.h"
#include "platform/gui/Application.h"
#include "util/errjump.h"
#include "util/messages.h"

namespace {

void showStatus(const char* text) {
    if (KWorksheetApp* app = worksheetApp(); app && app->frame)
        if (KStatusBar* bar = app->frame->statusBar()) bar->setStatusMessage(String(text));
}

std::vector<KWorksheetWindow*>& liveWindows() {
    static std::vector<KWorksheetWindow*> windows;
    return windows;
}

// The GUI text cursor a caret places: the window's caret, detached with the cursor.
class WindowCursor : public TextCursor {
public:
    explicit WindowCursor(Window* window) { window->setCursor(&cursor_); }
    void setSize(int width, int height) override { cursor_.setSize(Size(std::max(width, 1), std::max(height, 1))); }
    void setPos(int x, int y) override { cursor_.setPos(Point(x, y)); }
    void show() override { cursor_.show(); }
    void hide() override { cursor_.hide(); }

private:
    Cursor cursor_;
};

}  // namespace

// A timer that runs a function (the posted close, the drag-scroll step).
class KWorksheetWindow::FunctionTimer : public Timer {
public:
    explicit FunctionTimer(std::function<void()> f) : f_(std::move(f)) {}
    void Timeout() override { f_(); }

private:
    std::function<void()> f_;
};

// ---- the element-window part: what the caret, the selection and the elements ask -------------

class KWorksheetWindow::Target : public ElementWindow {
public:
    explicit Target(KWorksheetWindow* window) : w_(window) {}
    DocumentView* view() override { return w_->view(); }
    TextCursor* createCursor() override { return new WindowCursor(w_); }
    bool isRectVisible(const ElementRect& r) override { return w_->KScrolledDocWindow::isRectVisible(toWindow(r)); }
    void scrollIntoView(const ElementRect& r) override {
        w_->KScrolledDocWindow::scrollIntoView(toWindow(r), true);
        w_->afterScroll();
    }
    void invert(const ElementRect& r) override {
        if (w_->view()) w_->view()->highlightRect(r);
    }
    void update() override { w_->Window::update(); }
    void setMenuBarId(int id) override { w_->KDocWindow::setMenuBarId(id); }
    int menuBarId() const override { return w_->KDocWindow::menuBarId; }
    void refreshCommandState(int) override {}
    void beep() override { Sound::beep(); }
    // The selection shows through the elements' own highlight; the zones are a debugging aid.
    bool drawsSelectionZones() const override { return false; }
    ViewCaret* caret() override { return w_->caret(); }
    Selection* selection() override { return w_->selection(); }
    void captureElement(Element* element, ElementPoint) override {
        w_->captured_ = element;
        w_->captureMouse();
    }
    void releaseElement(Element* element, ElementPoint) override {
        if (w_->captured_ == element) w_->captured_ = nullptr;
        w_->releaseMouse();
    }
    void setPointer(int resourceId) override { w_->Window::setPointer(Pointer(resourceId)); }
    void showContextBar(int index, Element* owner) override { w_->showContextBarFor(index, owner); }
    bool executeAction(int code, const char* text, std::intptr_t argument) override {
        return w_->executeAction(code, text, argument);
    }
    void clearSelectionMarks() override { w_->clearMarks(); }
    void setComputing(bool on) override { w_->setComputing(on); }

    ElementRect toWindow(const ElementRect& r) const {
        ElementPoint p{r.x, r.y};
        if (w_->view()) w_->view()->documentToWindowXY(r.x, r.y, p);
        return {p.x, p.y, r.width, r.height};
    }

private:
    KWorksheetWindow* w_;
};

// ---- the view part -----------------------------------------------------------------------------

class KWorksheetWindow::View : public WindowView {
public:
    View(WorksheetDocument* document, KWorksheetWindow* window) : WindowView(document, window), w_(window) {}
    // The document unlinks the window's undo groups while worksheetWindow still answers.
    ~View() override { leaveDocument(); }

    int viewKind() const override { return 3; }
    bool reservedQuery1() const override { return true; }
    bool reservedQuery2() const override { return w_->viewSecondQuery(); }
    void setTitle(const char* text) override {
        w_->setText(String(text ? text : ""));
        if (w_->adaptor) w_->adaptor->setTitle(String(text ? text : ""));
    }
    ViewCaret* viewCaret() override { return w_->caret(); }
    ElementWindow* worksheetWindow() override { return w_->target_.get(); }
    ElementWindow* worksheetEditTarget() override { return w_->editor_ ? w_->target_.get() : nullptr; }
    // The element that goes away is the caret's: the caret keeps its place as a point, to be
    // resolved after the edit.
    void elementChanging(Element* element) override {
        ViewCaret* c = w_->caret();
        if (c && element && c->heldElement() == element && !c->pending) c->holdAsPoint();
    }
    void forgetElement(Element* element) override {
        if (w_->captured_ == element) w_->captured_ = nullptr;
        if (KMainFrameInterface* frame = KMainFrameInterface::current()) frame->forgetContextBarOwner(element);
    }
    void extentChanged(int, int, ElementPoint) override { w_->updateExtent(); }
    void redraw(const ElementRect& area) override {
        ElementRect r = static_cast<Target*>(w_->target_.get())->toWindow(area);
        const Size c = w_->canvasSize();
        long long right = std::min<long long>(static_cast<long long>(r.x) + r.width, c.width);
        long long bottom = std::min<long long>(static_cast<long long>(r.y) + r.height, c.height);
        long long left = std::max(r.x, 0), top = std::max(r.y, 0);
        if (right <= left || bottom <= top) return;
        w_->invalidate(Rectangle(Point(left, top), Size(right - left, bottom - top)));
    }

private:
    KWorksheetWindow* w_;
};

// ---- the editor part -----------------------------------------------------------------------------

class KWorksheetWindow::Editor : public KEditorPart {
public:
    Editor(WorksheetDocument* document, KWorksheetWindow* window)
        : KEditorPart(document, window->target_.get()), w_(window) {}
    void setComputing(bool on) override { w_->setComputing(on); }
    bool executeAction(int code, const char* text, std::intptr_t argument) override {
        return w_->executeAction(code, text, argument);
    }
    void captureElement(Element* element, ElementPoint origin) override { w_->target_->captureElement(element, origin); }
    void releaseElement(Element* element, ElementPoint origin) override { w_->target_->releaseElement(element, origin); }
    void showStatusText(const char* text) override {
        showStatus(text ? text : "");
    }

private:
    KWorksheetWindow* w_;
};

// ---- construction --------------------------------------------------------------------------------

KWorksheetWindow::KWorksheetWindow(KFrameAdaptor* adaptorIn, std::unique_ptr<WorksheetDocument> document,
                                   KWindowRegistry* registry, const KViewOptions* viewOptions, int menuBar,
                                   int contextBar)
    : KScrolledDocWindow(adaptorIn, 0), document_(document.get()), registry_(registry) {
    // A new worksheet starts as a root section holding only its placeholder.
    if (!document_->root()) {
        auto* root = new SectionElement();
        root->insertChild(new PlaceholderElement(), nullptr, kInsertAfter);
        document_->setRoot(root);
    }
    target_ = std::make_unique<Target>(this);
    view_ = std::make_unique<View>(document.release(), this);
    editor_ = std::make_unique<Editor>(document_, this);
    setBackgroundBrush(Brush(Color(COL_WHITE)));
    setFillInBrush(Brush(Color(COL_WHITE)));
    menuBarId = menuBar;
    toolBarId = KMainFrame::kWorksheetToolBox;
    contextBarIndex = contextBar;
    setViewOptions(viewOptions);
    const Size c = canvasSize();
    view_->setViewSize(std::max<long>(c.width, 1), std::max<long>(c.height, 1));
    if (registry_) {
        const std::string path = document_->filePath();
        if (document_->documentKind() == 1 && !path.empty()) registry_->add(this, path, KWindowRegistry::kModeFile);
        else registry_->add(this, document_->title(), 0);
    }
    liveWindows().push_back(this);
    relayoutAll();
}

KWorksheetWindow::~KWorksheetWindow() {
    hide();
    auto& live = liveWindows();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    // Nothing shared may name this window once it is gone.
    stopTracking();
    DragRecord& drag = dragRecord();
    if (drag.source == this) drag.source = nullptr;
    if (drag.target == this) drag.target = nullptr;
    UndoHistory::unlinkWindow(target_.get());
    if (registry_) registry_->remove(this);
    if (KMainFrame::activeWorksheet() == this) KMainFrame::setActiveWorksheet(nullptr);
    setContextBar(kNoContextBar, toolBarId);
    editor_.reset();
    view_.reset();   // the document goes with its last view
    target_.reset();
    document_ = nullptr;
}

const std::vector<KWorksheetWindow*>& KWorksheetWindow::all() { return liveWindows(); }

WindowView* KWorksheetWindow::view() const { return view_.get(); }
ViewCaret* KWorksheetWindow::caret() const { return editor_ ? editor_->caret() : nullptr; }
Selection* KWorksheetWindow::selection() const { return editor_ ? editor_->selection() : nullptr; }
KEditorPart* KWorksheetWindow::editorPart() const { return editor_.get(); }
ElementWindow* KWorksheetWindow::elementWindow() const { return target_.get(); }

bool KWorksheetWindow::isHelpDocument() const { return document_ && document_->isHelpDocument(); }

void KWorksheetWindow::showContextBarFor(int index, Element* owner) {
    setContextBarFor(index, owner, 0);
    auto* input = dynamic_cast<InputTextElement*>(owner);
    KMainFrameInterface* frame = KMainFrameInterface::current();
    if (!input || index != InputTextElement::INPUT_CONTEXT_BAR || !frame || !frame->isActiveWorksheetWindow(this))
        return;
    KMainFrameInterface::InputBarState bar;
    bar.owner = input;
    bar.fieldText = input->text() ? input->text() : "";
    bar.notationPressed = true;
    bar.typePressed = input->active();
    bar.executeEnabled = input->active() && !isHelpDocument() && !(adaptor && adaptor->isMinimized());
    frame->showInputBar(bar);
}

bool KWorksheetWindow::isReadOnly() const { return isHelpDocument() && document_->evaluator() == nullptr; }

void KWorksheetWindow::open(Element* element) {
    guardedHandler("open", [&] {
        if (KMainFrameInterface* frame = KMainFrameInterface::current())
            frame->setContextBar(contextBarIndex, nullptr, 0);
        view_->setTitle(document_->title());
        if (adaptor) adaptor->showFrame(true);
        show();
        enableInput(true);
        relayoutAll();
        ViewCaret* c = caret();
        Element* root = document_->root();
        Element* stop = element ? element->firstCaretStop() : (root ? root->firstCaretStop() : nullptr);
        // A worksheet with nothing to stand on yet (an empty root keeps only its placeholder).
        if (!stop) stop = element ? element : (root && root->lastChild() ? root->lastChild() : root);
        if (c && stop) c->setPosition(stop, 0);
        KMainFrame::setActiveWorksheet(this);
        activate();
        if (c) {
            c->scrollIntoView(false);
            c->notifyElement();
            c->show();
        }
        if (adaptor) adaptor->toTop();
        grabFocus();
    });
}

// ---- layout ------------------------------------------------------------------------------------

void KWorksheetWindow::updateExtent() {
    if (!document_ || !document_->root() || !view_) return;
    ElementExtent extent;
    document_->root()->layout(extent);
    if (extent.width != docWidth || extent.height != docHeight) setDocumentSize(extent.width, extent.height);
}

void KWorksheetWindow::relayoutAll() {
    if (!view_) return;
    showStatus("Formatting document");
    const Pointer old = getPointer();
    Window::setPointer(Pointer(POINTER_WAIT));
    const Size c = canvasSize();
    view_->setViewSize(std::max<long>(c.width, 1), std::max<long>(c.height, 1));
    view_->relayout();
    const ElementRect& e = view_->documentExtent();
    setDocumentSize(e.width, e.height);
    Window::setPointer(old);
    showStatus("");
}

void KWorksheetWindow::afterScroll() {
    if (view_) view_->setScrollOrigin(-scrollX, -scrollY);
}

// ---- painting, resize, focus ---------------------------------------------------------------------

void KWorksheetWindow::paint(const Rectangle& r) {
    guardedHandler("drawing", [&] {
        push();
        // The background brush: white, unless a subclass window chose another.
        setFillInBrush(getBackgroundBrush());
        setPen(Pen(getBackgroundBrush().color, 0, PEN_NULL));
        drawRect(r);
        pop();
        if (!view_ || !document_) return;
        ViewCaret* c = caret();
        if (c) c->hideShow(3);
        struct ShowAgain {
            ViewCaret* c;
            ~ShowAgain() {
                if (c) c->hideShow(4);
            }
        } showAgain{c};
        ElementPoint from, to;
        if (r.isEmpty()) return;
        view_->windowToDocument({static_cast<int>(r.left), static_cast<int>(r.top)}, from);
        view_->windowToDocument({static_cast<int>(r.right) + 1, static_cast<int>(r.bottom) + 1}, to);
        document_->layoutForView(view_.get(), {from.x, from.y, to.x - from.x, to.y - from.y});
    });
}

void KWorksheetWindow::resize() {
    if (adaptor && adaptor->isMinimized()) return;
    const Size before = canvasSize();
    KScrolledDocWindow::resize();
    if (!view_) return;
    const Size after = canvasSize();
    if (after.width != view_->viewWidth()) {
        guardedHandler("resize", [&] {
            relayoutAll();
            invalidate();
        });
    } else if (after.height != before.height) {
        view_->setViewSize(std::max<long>(after.width, 1), std::max<long>(after.height, 1));
        layout();
    }
}

void KWorksheetWindow::getFocus() {
    guardedHandler("focus", [&] {
        KMainFrame::setActiveWorksheet(this);
        if (ViewCaret* c = caret(); c && c->element()) {
            c->notifyElement();
            c->show();
        }
    });
}

void KWorksheetWindow::loseFocus() {
    guardedHandler("focus", [&] {
        if (ViewCaret* c = caret()) c->hide();
    });
}

void KWorksheetWindow::activate() {
    guardedHandler("activate", [&] {
        KDocWindow::activate();
        KMainFrame::setActiveWorksheet(this);
        if (KMainFrameInterface* frame = KMainFrameInterface::current())
            frame->setContextBar(contextBarIndex, nullptr, 0);
        if (document_ && document_->evaluator() && worksheetHost().showKernelStatus)
            worksheetHost().showKernelStatus(document_, document_->memoryStatusText(), document_->timeStatusText());
    });
}

// ---- the computing state ------------------------------------------------------------------------

void KWorksheetWindow::setComputing(bool on) {
    if (computing_ == on) return;
    computing_ = on;
    if (KWorksheetApp* app = worksheetApp(); app && app->frame)
        if (ToolBox* box = app->frame->toolBox(KMainFrame::kWorksheetToolBox)) box->enableItem(kInterruptButton, on);
    ViewCaret* c = caret();
    if (on) {
        Window::setPointer(Pointer(POINTER_WAIT));
        if (c) c->hide();
    } else {
        if (c) {
            c->scrollIntoView(false);
            c->show();
        }
        Window::setPointer(Pointer(POINTER_ARROW));
    }
}

void KWorksheetWindow::updateCaretState(bool refresh) {
    Element* root = document_ ? document_->root() : nullptr;
    const bool nothing = !root || root->mark == 0;
    if (nothing != nothingMarked_) {
        nothingMarked_ = nothing;
        if (ViewCaret* c = caret()) {
            if (nothing) c->show();
            else c->hide();
        }
    }
    (void)refresh;
}

void KWorksheetWindow::clearMarks() {
    if (editor_) editor_->clearSelectionMarks();
    if (Selection* s = selection()) s->clear();
    selecting_ = false;
    updateCaretState(false);
    invalidate();
}

void KWorksheetWindow::makeVisible(const ElementRect& documentRect) {
    target_->scrollIntoView(documentRect);
}

// ---- commands and closing -------------------------------------------------------------------------

bool KWorksheetWindow::command(int commandId, std::intptr_t argument) {
    const bool done = window_command(commandId, nullptr, argument);
    if (!done) received_.push_back(commandId);
    return done;
}

bool KWorksheetWindow::saveDocument() { return save(); }

bool KWorksheetWindow::askToSave() {
    WorksheetDocument* doc = document_;
    if (!doc || !doc->modified || doc->documentKind() != 1) return true;
    std::string text = std::string("The worksheet \"") + doc->title() +
                       "\" has been modified.\nDo you wish to save it before closing?";
    const int answer = askQuestion(text.c_str(), kStyleYesNoCancel);
    if (answer == kAnswerYes) return saveDocument();
    return answer == kAnswerNo;
}

void KWorksheetWindow::swapDocument(std::unique_ptr<WorksheetDocument> document) {
    stopTracking();
    captured_ = nullptr;
    DragRecord& drag = dragRecord();
    if (drag.source == this) drag.source = nullptr;
    if (drag.target == this) drag.target = nullptr;
    UndoHistory::unlinkWindow(target_.get());
    editor_.reset();
    view_.reset();   // the old document goes with its last view
    document_ = document.get();
    view_ = std::make_unique<View>(document.release(), this);
    editor_ = std::make_unique<Editor>(document_, this);
    const Size c = canvasSize();
    view_->setViewSize(std::max<long>(c.width, 1), std::max<long>(c.height, 1));
}

bool KWorksheetWindow::closeQuery() {
    bool closing = false;
    guardedHandler("close", [&] {
        WorksheetDocument* doc = document_;
        if (doc && (computing_ || doc->computing() || doc->waitingForReadline)) {
            std::string text = "You are in the middle of a computation";
            if (doc->waitingForReadline) text += "\n(stopped in a Kelvo readline() statement).";
            text += "\nDo you wish to interrupt it?";
            if (askQuestion(text.c_str(), kStyleYesNo) == kAnswerYes) {
                command(kInterruptButton, 0);
                setComputing(false);
                doc->setComputing(false);
            }
            return;
        }
        closing = askToSave();
    });
    if (!closing) return false;
    if (adaptor) {
        if (theOptions) theOptions->mdiWinMaximized = adaptor->isMaximized();
        adaptor->showFrame(false);
    }
    setComputing(false);
    if (document_) document_->notifyClosing();
    if (KMainFrame::activeWorksheet() == this) KMainFrame::setActiveWorksheet(nullptr);
    return KDocWindow::closeQuery();
}

void KWorksheetWindow::postClose() {
    if (closePending_) return;
    closePending_ = true;
    if (!closeTimer_) closeTimer_ = std::make_unique<FunctionTimer>([this] { runPendingClose(); });
    closeTimer_->setTimeout(0);
    closeTimer_->start();
}

void KWorksheetWindow::runPendingClose() {
    if (!closePending_) return;
    closePending_ = false;
    if (adaptor) adaptor->closeFrame();
    else close();
}

