// The main frame: construction, the kernel poll, worksheet loading, recent files, the frame's
// close, the layout, the bars and their handlers, and the frame commands (rules in
// KMainFrame.h).  The menu and command-state members hand on to the menu rules
// (KMainFrame_menus.cpp).
#include "app/KMainFrame.h"

#include <poll.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "app/KDocFrame.h"
#include "app/KStatusBar.h"
#include "app/KWindowRegistry.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "document/elements/InputTextElement.h"
#include "document/exec/ReplyStreams.h"
#include "document/exec/WorksheetDocument.h"
#include "document/exec/WorksheetFile.h"
#include "document/styles/KViewOptions.h"
#include "document/tree/ElementPosition.h"
#include "kernel_link/KKernelSession.h"
#include "kernel_link/KL_PipeServer.h"
#include "options/KOptions.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/DescriptorWatch.h"
#include "platform/gui/Menu.h"
#include "platform/gui/Resource.h"
#include "platform/gui/StatusBar.h"
#include "platform/gui/StdDialogs.h"
#include "platform/gui/ToolBox.h"
#include "platform/os/mbtext.h"
#include "platform/os/proc.h"
#include "platform/os/sysprobe.h"
#include "tovu/ifvars.h"
#include "util/errjump.h"
#include "util/messages.h"

namespace {

// The active worksheet window while no application object runs.
KDocWindow* gActiveWorksheet = nullptr;

// The deferred-deletion list: objects with their deleters, grown in steps of 32 entries.
struct DeferredEntry {
    void* object;
    void (*deleter)(void*);
};
std::vector<DeferredEntry>& deferredList() {
    static std::vector<DeferredEntry> list;
    return list;
}

// Frame command ids.
enum : int {
    kCmdNew = 1101,
    kCmdOpen = 1102,
    kCmdExit = 1109,
    kCmdSaveSettings = 1110,
    kCmdAutoSaveSettings = 1111,
    kCmdShowObjects = 1159,
    kCmdToolBar = 1201,
    kCmdStatusLine = 1202,
    kCmdContextBar = 1203,
    kCmdSymbolPalette = 1241,
    kCmdExpressionPalette = 1242,
    kCmdMatrixPalette = 1243,
    kCmdCascade = 1351,
    kCmdTile = 1352,
    kCmdHorizontal = 1353,
    kCmdVertical = 1354,
    kCmdArrangeIcons = 1355,
    kCmdCloseAll = 1356,
    kCmdCloseAllHelp = 1357,
    kCmdIntroduction = 1401,
    kCmdUsingHelp = 1402,
    kCmdAbout = 1403,
    kCmdBalloonHelp = 1404,
    kCmdSaveToDatabase = 1406,
    kCmdRemoveTopic = 1407,
    kCmdHelpOnContext = 1408,
    kCmdUsingHelp2 = 1409,
    kCmdIntroduction2 = 1410,
    kCmdWhatsNew = 1411,
    kCmdNewUserTour = 1412,
    kCmdTopicSearch = 1651,
    kCmdFullTextSearch = 1653,
    kCmdHistory = 1654,
    kCmdPreviousTopic = 1655,
    kCmdNextTopic = 1656,
    kCmdParentTopic = 1657,
    kCmdHistoryBack = 1658,
    kCmdHistoryForward = 1659,
    kCmdContextTopic = 2512,
    kCmdInterrupt = 2504,
    kCmdFontName = 2502,
    kCmdFontSize = 2503,
    kCmdParagraphStyle = 2510,
    kCmdCharacterStyle = 2511,
    kCmdPlotAngles = 21500,
    kFirstTemplateButton = 4051,
    kLastTemplateButton = 4795,
    kCmdTemplateButton = 4014,
};
constexpr int kFileMenu = 1100;
constexpr int kEditMenu = 1150;
constexpr int kViewMenu = 1200;
constexpr int kPaletteMenu = 1240;
constexpr int kWindowMenu = 1350;
constexpr int kHelpMenu = 1400;
constexpr uint32_t kFileDialogStyle = WB_OPEN;   // 4132

// The program-wide show-objects flag (Show OLE Objects) and the new-window counter.
bool gShowObjects = true;
int gNewWindowDepth = 0;

// How long a kernel server may take to stop after it was told to.
constexpr int kServerStopMs = 5000;

// Waits until the process has exited (it may stay a zombie until the link's waiter reaps it);
// true when it has.  A process already reaped counts as exited.
bool waitForExit(pid_t pid, int timeoutMs) {
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) return errno == ESRCH;
    pollfd p{fd, POLLIN, 0};
    int n;
    do n = ::poll(&p, 1, timeoutMs);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    return n > 0;
}

bool listed(const std::vector<QuietEvaluator*>& list, const QuietEvaluator* e) {
    return std::find(list.begin(), list.end(), e) != list.end();
}

KWorksheetWindow* windowOf(const WorksheetDocument* document) {
    for (KWorksheetWindow* w : KWorksheetWindow::all())
        if (w->document() == document) return w;
    return nullptr;
}

// A path in matching double, single or back quotes loses them.
std::string unquoted(const char* path) {
    std::string p(path);
    if (p.size() >= 2 && (p.front() == '"' || p.front() == '\'' || p.front() == '`') && p.back() == p.front())
        p = p.substr(1, p.size() - 2);
    return p;
}

// Whether a read of the descriptor would return at once (bytes, its end, or an error).
bool stillReadable(int fd) {
    struct pollfd p = {fd, POLLIN, 0};
    return proc_poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

// The periodic poll timer.
class KMainFrame::PollTimer : public Timer {
public:
    explicit PollTimer(KMainFrame* frame) : frame_(frame) {}
    void Timeout() override { frame_->pollOnTimer(); }

private:
    KMainFrame* frame_;
};

// ---- the boundary guard of handlers ------------------------------------------------------------

// Every handler the GUI layer calls runs its work here: an error is reported as running out of
// memory during the operation, and nothing reaches Qt.
template <class F>
void KMainFrame::guarded(const char* word, F&& f) {
    try {
        ErrorGuard guard;
        f();
    } catch (...) {
        try {
            reportOutOfMemory(word);
        } catch (...) {
        }
    }
}

// ---- construction --------------------------------------------------------------------------------

KMainFrame::KMainFrame() : WorkWindow(nullptr, WB_APP_FRAME) {
    // 1
    statusBar_ = std::make_unique<KStatusBar>(this);
    pollTimer_ = std::make_unique<PollTimer>(this);
    continueTimer_ = std::make_unique<PollTimer>(this);
    continueTimer_->setRepeat(false);
    continueTimer_->setTimeout(0);
    if (KWorksheetApp* app = worksheetApp()) registry_ = app->windowRegistry;
    Application::setAppWindow(this);
    KMainFrameInterface::setCurrent(this);
    // 2
    setIcon(Icon(ResId(kIconResource)));
    setText(String((std::string("Kelvo V ") + "Release 5").c_str()));
    // 3: stand-in bars of height 0 until the context bars' own classes come.
    for (Window*& bar : contextBars_) {
        bar = new (std::nothrow) Window(this, WB_BAR);
        if (bar) {
            bar->setSizePixel(Size(0, 0));
            bar->hide();
        }
    }
    // 4
    setMenuBar(kFirstMenuBar);
    setToolBox(kFirstToolBox);
    setContextBar(kMathContextBar, nullptr, 0);
    // 5: the memory-block walk has no work in this program; only the deferred deletions run.
    flushIdleHandler_ = Application::insertIdleHandler(Link(this, &KMainFrame::idleFlushDeletes), kIdlePriority);
    // 6
    menuDepth_ = 0;
    recentCount_ = 0;
    if (!theOptions || theOptions->showStatusBar) statusBar_->show();
    pollTimer_->setRepeat(true);
    pollTimer_->setTimeout(kPollIntervalMs);
    pollTimer_->start();
}

KMainFrame::~KMainFrame() {
    pollTimer_->stop();
    continueTimer_->stop();
    Application::removeIdleHandler(flushIdleHandler_);
    // The windows go first: while they go they still reach the frame.
    releaseKernels();
    flushDeferredDeletes();
    if (KMainFrameInterface::current() == this) KMainFrameInterface::setCurrent(nullptr);
    hide();
    setAppMenuBar(nullptr);
    MDI::setWindowListMenu(nullptr);
    for (Menu*& m : menuBars_) {
        delete m;
        m = nullptr;
    }
    for (ToolBox*& t : toolBoxes_) {
        delete t;
        t = nullptr;
    }
    for (Window*& b : contextBars_) {
        delete b;
        b = nullptr;
    }
    statusBar_.reset();
    if (Application::getAppWindow() == this) Application::setAppWindow(nullptr);
}

void KMainFrame::releaseKernels() {
    dropLinkWatches();
    std::vector<QuietEvaluator*>& list = evaluators();
    // The servers of the links about to go: each is told to stop when its link is deleted.
    std::vector<pid_t> servers;
    for (QuietEvaluator* e : list)
        if (auto* server = dynamic_cast<KL_PipeServer*>(e->session()->link))
            if (server->serverPid() > 0) servers.push_back(server->serverPid());
    for (QuietEvaluator* e : orphans_)
        if (auto* server = dynamic_cast<KL_PipeServer*>(e->session()->link))
            if (server->serverPid() > 0) servers.push_back(server->serverPid());
    // Worksheet windows go with their frames; their documents end their own kernels.
    std::vector<KWorksheetWindow*> windows = KWorksheetWindow::all();
    for (KWorksheetWindow* w : windows) {
        const auto& live = KWorksheetWindow::all();
        if (std::find(live.begin(), live.end(), w) == live.end()) continue;
        if (w->adaptor) delete w->adaptor;
        else delete w;
    }
    std::vector<QuietEvaluator*> left;
    left.swap(list);
    for (QuietEvaluator* e : left) delete e;
    std::vector<QuietEvaluator*> orphans;
    orphans.swap(orphans_);
    for (QuietEvaluator* e : orphans) delete e;
    worksheetHost().directLink = nullptr;
    // Every server has exited before the storage it shared with us goes; one that does not stop
    // when told is ended.
    for (pid_t pid : servers)
        if (!waitForExit(pid, kServerStopMs)) {
            ::kill(pid, SIGKILL);
            waitForExit(pid, kServerStopMs);
        }
}

std::vector<QuietEvaluator*>& KMainFrame::evaluators() { return worksheetHost().evaluators; }

KDocWindow* KMainFrame::activeWorksheet() {
    if (KWorksheetApp* app = worksheetApp()) return dynamic_cast<KDocWindow*>(app->activeWindow);
    return gActiveWorksheet;
}

void KMainFrame::setActiveWorksheet(KDocWindow* window) {
    gActiveWorksheet = window;
    if (KWorksheetApp* app = worksheetApp()) app->activeWindow = window;
}

// ---- the kernel poll -----------------------------------------------------------------------------

void KMainFrame::pollKernels() {
    struct Depth {
        KMainFrame* f;
        explicit Depth(KMainFrame* frame) : f(frame) { f->deepestPoll_ = std::max(f->deepestPoll_, ++f->pollDepth_); }
        ~Depth() { --f->pollDepth_; }
    } depth(this);
    ++pollCount_;
    // Set when the poll stops with work left: a pass that made progress was the last one, so
    // a reply may wait in a link's buffer or a document that went idle still has to run its
    // queue (the end of a region, the next statement).  No pipe wakes a watch for that.
    bool workLeft = false;
    // The timer's handler is a boundary: nothing may reach the event loop.
    guarded("calculation", [this, &workLeft] {
        std::vector<QuietEvaluator*>& list = evaluators();
        for (int pass = 0; pass < kPollPassLimit; ++pass) {
            bool progressed = false;
            bool deadSeen = false;
            std::vector<WorksheetDocument*> toClose;
            // a. One step for each evaluator.  The walk is over a copy: a handler may end
            //    documents (and with them evaluators); an entry gone from the list is skipped.
            const std::vector<QuietEvaluator*> snapshot = list;
            for (QuietEvaluator* e : snapshot) {
                if (!listed(list, e)) continue;
                auto* doc = static_cast<WorksheetDocument*>(e->document());
                if (!doc) continue;
                // The document outlives this step, even when a handler asks for its end.
                WorksheetDocument::HandlerScope scope(doc);
                KKernelSession* session = e->session();
                if (!session->argumentsSent) e->getServerStatus();
                const int state = e->poll();
                if (state == KL_DEAD) deadSeen = true;
                if (state == KL_IDLE) {
                    if (!session->argumentsSent) {
                        // A session starts once its document is shown.
                        if (doc->activeCaret()) {
                            e->sendArguments();
                            session->argumentsSent = true;
                            doc->startSession();
                        }
                    } else if (session->currentEvaluator == e || session->currentEvaluator == nullptr) {
                        doc->runQueue();
                        if (doc->stopped && !doc->closeDeclined && session->currentEvaluator == nullptr &&
                            std::find(toClose.begin(), toClose.end(), doc) == toClose.end())
                            toClose.push_back(doc);
                    }
                } else if (state == KL_RESULT_READY && session->currentEvaluator == e) {
                    Dag reply = e->getResult(1);
                    progressed = true;
                    ++repliesRead_;
                    if (reply) {
                        Dag answer = WorksheetDocument::kernelReplyCallback(doc, reply);
                        // Every reply is answered: the server waits for the answer.
                        if (listed(list, e)) e->sendReply(answer ? answer : dag_NULL);
                    }
                }
            }
            // b. Dead kernels, each reported once.
            while (deadSeen) {
                deadSeen = false;
                QuietEvaluator* dead = nullptr;
                for (QuietEvaluator* e : list)
                    if (e->poll() == KL_DEAD) {
                        dead = e;
                        break;
                    }
                if (!dead) break;
                deadSeen = true;
                reportDeadKernel(dead);
                if (auto* doc = static_cast<WorksheetDocument*>(dead->document()))
                    if (windowOf(doc) && std::find(toClose.begin(), toClose.end(), doc) == toClose.end())
                        toClose.push_back(doc);
            }
            // The closes of this pass, each through the window's close question.
            for (WorksheetDocument* doc : toClose)
                if (windowOf(doc) && !closeDocumentWindow(doc)) doc->closeDeclined = true;
            // c, d
            if (!progressed) return;
            if (Application::hasPendingInput(kPendingInputMask)) {
                workLeft = true;
                return;
            }
        }
        workLeft = true;   // the pass limit
    });
    if (pollDepth_ != 1) return;
    // The links this poll leaves are watched, so that their next replies start the next poll;
    // work left continues once the pending events have run, without waiting for a tick.
    guarded("calculation", [this] { watchLinks(); });
    if (workLeft && !continueTimer_->isActive()) continueTimer_->start();
}

Timer& KMainFrame::pollTimer() { return *pollTimer_; }

void KMainFrame::pollOnTimer() {
    if (pollDepth_ > 0) return;   // a nested event loop inside a poll starts no pass
    for (const std::unique_ptr<LinkWatch>& w : linkWatches_) w->resting = false;
    pollKernels();
}

void KMainFrame::pollOnLink(LinkWatch* watch) {
    if (pollDepth_ > 0) {
        // Inside a poll: the outer poll arms the watch again when it ends.
        watch->watch->setEnabled(false);
        return;
    }
    ++linkHandlerDepth_;
    const long before = repliesRead_;
    pollKernels();
    --linkHandlerDepth_;
    // Still readable though the poll read nothing (a reply it does not take yet, or the end of
    // a link): the watch rests until the next tick instead of waking the loop again at once.
    // A watch whose bytes another poll took before it ran (its wake-up came late) sees an
    // empty pipe and stays armed: resting there would leave the next reply to the tick.
    if (repliesRead_ == before && watch->watch && stillReadable(watch->fd)) {
        watch->resting = true;
        watch->watch->setEnabled(false);
    }
}

KMainFrame::LinkWatch::~LinkWatch() {
    watch.reset();
    if (fd >= 0) ::close(fd);
}

namespace {

// The identity of an open descriptor's file (0 when it cannot be read).
unsigned long long inodeOf(int fd) {
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0) return 0;
    return static_cast<unsigned long long>(st.st_ino);
}

KL_PipeServer* serverLinkOf(QuietEvaluator* e) {
    KKernelSession* session = e->session();
    auto* server = session ? dynamic_cast<KL_PipeServer*>(session->link) : nullptr;
    if (!server || server->state() == KL_DEAD || server->resultDescriptor() < 0) return nullptr;
    return server;
}

}  // namespace

void KMainFrame::watchLinks() {
    const std::vector<QuietEvaluator*>& list = evaluators();
    // A watch whose evaluator left the list, or whose link is another or gone, retires.
    for (auto it = linkWatches_.begin(); it != linkWatches_.end();) {
        LinkWatch& w = **it;
        KL_PipeServer* server = listed(list, w.evaluator) ? serverLinkOf(w.evaluator) : nullptr;
        if (server && server == w.link && inodeOf(server->resultDescriptor()) == w.inode) {
            if (w.watch->isEnabled() == w.resting) w.watch->setEnabled(!w.resting);
            ++it;
            continue;
        }
        w.watch->setEnabled(false);
        retiredWatches_.push_back(std::move(*it));
        it = linkWatches_.erase(it);
    }
    if (linkHandlerDepth_ == 0) retiredWatches_.clear();
    // Every other server link gets a watch.
    for (QuietEvaluator* e : list) {
        KL_PipeServer* server = serverLinkOf(e);
        if (!server) continue;
        const bool watched = std::any_of(linkWatches_.begin(), linkWatches_.end(),
                                         [e](const std::unique_ptr<LinkWatch>& w) { return w->evaluator == e; });
        if (watched) continue;
        auto w = std::make_unique<LinkWatch>();
        w->evaluator = e;
        w->link = server;
        w->fd = ::fcntl(server->resultDescriptor(), F_DUPFD_CLOEXEC, 0);
        if (w->fd < 0) continue;   // no watch: the ticks still serve this link
        w->inode = inodeOf(w->fd);
        LinkWatch* raw = w.get();
        w->watch = std::make_unique<DescriptorWatch>(w->fd, [this, raw] { pollOnLink(raw); });
        linkWatches_.push_back(std::move(w));
    }
}

void KMainFrame::dropLinkWatches() {
    for (std::unique_ptr<LinkWatch>& w : linkWatches_) {
        w->watch->setEnabled(false);
        retiredWatches_.push_back(std::move(w));
    }
    linkWatches_.clear();
    if (linkHandlerDepth_ == 0) retiredWatches_.clear();
}

// The texts come first: closing the window may delete the document and the evaluator.
void KMainFrame::reportDeadKernel(QuietEvaluator* dead) {
    std::vector<QuietEvaluator*>& list = evaluators();
    auto* doc = static_cast<WorksheetDocument*>(dead->document());
    const bool server = dead->linkType() != KL_LINK_DIRECT;
    const char* error = dead->errorText();
    std::string text = std::string("Kernel ") + (server ? "server " : "") + "failure:\n" + (error ? error : "");
    list.erase(std::remove(list.begin(), list.end(), dead), list.end());
    // A document deletes its own evaluator unless it is the shared in-process kernel's; any
    // other dead evaluator is the frame's to delete.
    if (!doc || !server) orphans_.push_back(dead);
    if (!doc || !doc->activeWorksheetWindow()) return;   // nobody to tell
    showMessage(text.c_str());
    doc->drainAfterDeadLink();
}

bool KMainFrame::closeDocumentWindow(WorksheetDocument* document) {
    KWorksheetWindow* window = windowOf(document);
    if (!window) return true;
    if (KFrameAdaptor* adaptor = window->adaptor) return adaptor->closeFrame();
    return window->close();
}

// ---- deferred deletion ---------------------------------------------------------------------------

void KMainFrame::queueDeletion(void* object, void (*deleter)(void*)) {
    std::vector<DeferredEntry>& list = deferredList();
    if (list.size() == list.capacity()) list.reserve((list.size() / kDeferredGrowthStep + 1) * kDeferredGrowthStep);
    list.push_back({object, deleter});
}

void KMainFrame::flushDeferredDeletes() {
    std::vector<DeferredEntry>& list = deferredList();
    // A destructor may queue further objects: each entry leaves the list before it is deleted.
    while (!list.empty()) {
        DeferredEntry last = list.back();
        list.pop_back();
        last.deleter(last.object);
    }
}

std::size_t KMainFrame::deferredCount() { return deferredList().size(); }
std::size_t KMainFrame::deferredCapacity() { return deferredList().capacity(); }

long KMainFrame::idleFlushDeletes(void*) {
    guarded("command", [] { flushDeferredDeletes(); });
    return 0;
}

// ---- loading worksheets --------------------------------------------------------------------------

bool KMainFrame::load_worksheet(const char* pathIn, bool quiet) {
    KWorksheetApp* app = worksheetApp();
    std::string path;
    if (pathIn) {
        path = unquoted(pathIn);
    } else {
        if (app) app->enterLastDirectory(0);
        FileDialog dialog(this, kFileDialogStyle);
        dialog.addFilter(String("Kelvo Worksheet"), String("*.kws;*.kw"));
        dialog.addFilter(String("Kelvo Text"), String("*.txt"));
        dialog.addFilter(String("All Files"), String("*.*"));
        dialog.setCurFilter(String("Kelvo Worksheet"));
        if (!dialog.execute()) {
            if (app) app->enterLastDirectory(3);
            return false;
        }
        path = dialog.getPath().str();
        if (app) {
            FilePath dir = FilePath::fromNative(path);
            dir.makeAbsolute();
            dir.cutName();
            app->optionsHost().applicationPath(APP_PATH_OPEN) = dir;
            app->enterLastDirectory(3);
        }
    }
    if (path.empty()) return false;
    // A file that a window shows already is not opened twice: that window comes forward.
    if (registry_)
        if (Window* open = registry_->find(path, KWindowRegistry::kModeFile)) {
            if (auto* doc = dynamic_cast<KDocWindow*>(open); doc && doc->adaptor) {
                doc->adaptor->restore();
                doc->adaptor->toTop();
            } else {
                open->toTop();
            }
            addRecentFile(path.c_str());
            return true;
        }
    errorRaised = 0;
    std::unique_ptr<WorksheetDocument> document;
    std::unique_ptr<ElementPosition> mark;
    std::unique_ptr<KViewOptions> viewOptions;
    loadWorksheet(path.c_str(), document, mark, viewOptions, quiet);
    const bool made = document != nullptr;
    mark.reset();
    if (made) {
        openWorksheetWindow(std::move(document), viewOptions.get());
        addRecentFile(path.c_str());
        if (errorRaised) showMessage("There were problems during the loading process.\nYour worksheet may be incomplete.");
    } else if (!quiet) {
        showMessage("Unable to load the worksheet");
    }
    errorRaised = 0;
    return made;
}

void KMainFrame::openWorksheetWindow(std::unique_ptr<WorksheetDocument> document, const KViewOptions* viewOptions) {
    WorksheetDocument* doc = document.get();
    KMDIFrame* adaptor = KMDIFrame::create();
    auto* window = new KWorksheetWindow(adaptor, std::move(document), registry_);
    // The frame window takes the size; the held window gets the frame's output size from it.
    if (WorkWindow* frameWindow = adaptor->frameWindow()) frameWindow->setSizePixel(Size(600, 400));
    adaptor->setSize(600, 400);
    // The file's zoom and range switches; a file without them keeps the window's defaults.
    if (viewOptions) window->setViewOptions(viewOptions);
    window->open(nullptr);
    doc->notifyShown();
}

// ---- recent files --------------------------------------------------------------------------------

void KMainFrame::addRecentFile(const char* path) {
    if (!path) return;
    const String entry(path);
    int at = 0;
    while (at < recentCount_ && !(recentPaths_[at] == entry)) ++at;
    if (at == recentCount_) {
        if (recentCount_ == kRecentMax) at = kRecentMax - 1;   // the oldest goes
        else ++recentCount_;
    }
    for (int k = at; k > 0; --k) {
        recentPaths_[k] = recentPaths_[k - 1];
        recentNames_[k] = recentNames_[k - 1];
    }
    recentPaths_[0] = entry;
    recentNames_[0] = String(path_file_name(path));
}

void KMainFrame::rebuildRecentMenu(Menu* fileMenu) {
    if (!fileMenu) return;
    // The recent items that follow item 1140 go.
    bool hadRecent = false;
    uint16_t first = fileMenu->getItemPos(kFirstRecentItem);
    if (first != ITEM_NOTFOUND) {
        hadRecent = true;
        while (first < fileMenu->getItemCount()) {
            const uint16_t id = fileMenu->getItemId(first);
            if (id < kFirstRecentItem || id >= kFirstRecentItem + kRecentMax) break;
            fileMenu->removeItem(first);
        }
    }
    const uint16_t exitPos = fileMenu->getItemPos(kCmdExit);
    if (exitPos == ITEM_NOTFOUND || exitPos == 0) return;
    const uint16_t at = static_cast<uint16_t>(exitPos - 1);   // before the item preceding Exit
    for (int k = recentCount_ - 1; k >= 0; --k) {
        const uint16_t id = static_cast<uint16_t>(kFirstRecentItem + k);
        const std::string text = "~" + std::to_string(k + 1) + " " + recentNames_[k].str();
        fileMenu->insertItem(id, String(text.c_str()), 0, at);
        fileMenu->enableItem(id, true);
        fileMenu->setHelpText(id, String(("Open " + recentPaths_[k].str()).c_str()));
    }
    if (!hadRecent && recentCount_ > 0) fileMenu->insertSeparator(at);
}

// ---- closing -------------------------------------------------------------------------------------

bool KMainFrame::closeFrame() {
    bool taken = false;
    int32_t prettyPrint = 0, showAssumed = 0;
    std::string plotDevice;
    if (auto* window = dynamic_cast<KWorksheetWindow*>(activeWorksheet()))
        if (WorksheetDocument* doc = window->document())
            if (KInterfaceVars* vars = doc->interfaceVars()) {
                const InterfaceSettings* s = vars->settings();
                prettyPrint = static_cast<int32_t>(s->prettyprint);
                showAssumed = static_cast<int32_t>(s->showassumed);
                plotDevice = s->plotdevice;
                taken = true;
            }
    if (!Application::closeAll()) return false;
    if (taken && theOptions) {
        theOptions->prettyPrint = prettyPrint;
        theOptions->showAssumed = showAssumed;
        theOptions->plotDevice.assign(plotDevice.c_str());
    }
    flushDeferredDeletes();
    // The frame's window closing ends the program.
    Application::quit();
    return true;
}

bool KMainFrame::closeQuery() {
    bool closed = false;
    guarded("command", [&] { closed = closeFrame(); });
    return closed;
}

void KMainFrame::paint(const Rectangle& r) { erase(r); }

// ---- layout --------------------------------------------------------------------------------------

void KMainFrame::resize() {
    const Size out = getOutputSizePixel();
    long top = getMenuBarHeight();
    long toolHeight = 0;
    if (ToolBox* box = currentToolBox_ ? toolBox(currentToolBox_) : nullptr; box && box->isVisible()) {
        const Size need = box->calcWindowSize();
        box->setPosSizePixel(Point(0, top), Size(out.width, need.height));
        toolHeight = need.height;
    }
    // Every context bar as wide as the frame and as high as the tallest, right under the tool
    // box (one pixel up, not above the top).
    long barHeight = 0;
    for (Window* bar : contextBars_)
        if (bar) barHeight = std::max<long>(barHeight, bar->getSizePixel().height);
    const long barTop = std::max(top, top + toolHeight - 1);
    for (Window* bar : contextBars_)
        if (bar) bar->setPosSizePixel(Point(0, barTop), Size(out.width, barHeight));
    long barsBelow = 0;
    if (statusBar_ && statusBar_->isVisible()) {
        const long h = statusBar_->calcWindowSizePixel().height;
        statusBar_->setPosSizePixel(Point(0, out.height - h), Size(out.width, h));
        barsBelow = h;
    }
    const bool contextShown = currentContextBar_ >= 0 && contextBars_[currentContextBar_] &&
                              contextBars_[currentContextBar_]->isVisible();
    const long above = std::max(toolHeight, contextShown ? barTop - top + barHeight : 0L);
    setClientInsets(above, barsBelow);
}

// ---- bars ----------------------------------------------------------------------------------------

Menu* KMainFrame::menuBar(int id) {
    const int index = id - kFirstMenuBar;
    if (index < 0 || index >= kMenuBarCount) return nullptr;
    if (!menuBars_[index]) {
        Menu* bar = nullptr;
        try {
            bar = new Menu(ResId(id));
        } catch (const std::exception&) {
            return nullptr;
        }
        // The activate, highlight and deactivate handlers belong to each popup; the select
        // handler of the bar sees the items of every popup.
        std::vector<Menu*> popups;
        auto collect = [&popups](Menu* m, auto& self) -> void {
            for (uint16_t pos = 0; pos < m->getItemCount(); ++pos)
                if (Menu* sub = m->getPopupMenu(m->getItemId(pos))) {
                    popups.push_back(sub);
                    self(sub, self);
                }
        };
        collect(bar, collect);
        for (Menu* p : popups) {
            p->setActivateHdl(Link(this, &KMainFrame::menuActivated));
            p->setHighlightHdl(Link(this, &KMainFrame::menuHighlighted));
            p->setDeactivateHdl(Link(this, &KMainFrame::menuDeactivated));
        }
        bar->setSelectHdl(Link(this, &KMainFrame::menuSelected));
        menuBars_[index] = bar;
    }
    return menuBars_[index];
}

void KMainFrame::setMenuBar(int id) {
    if (id == currentMenuBar_ || id == 1) return;
    Menu* bar = menuBar(id);
    if (!bar) return;
    currentMenuBar_ = id;
    setAppMenuBar(bar);
    MDI::setWindowListMenu(bar->getPopupMenu(kWindowMenu));
    resize();
}

Menu* KMainFrame::frameMenu(int menuId) {
    Menu* bar = currentMenuBar_ ? menuBar(currentMenuBar_) : nullptr;
    return bar ? bar->getPopupMenu(static_cast<uint16_t>(menuId)) : nullptr;
}

ToolBox* KMainFrame::toolBox(int id) {
    const int index = id - kFirstToolBox;
    if (index < 0 || index >= kToolBoxCount) return nullptr;
    if (!toolBoxes_[index]) {
        ToolBox* box = nullptr;
        try {
            box = new ToolBox(this, ResId(id));
        } catch (const std::exception&) {
            return nullptr;
        }
        box->hide();
        box->setActivateHdl(Link(this, &KMainFrame::toolActivated));
        box->setDeactivateHdl(Link(this, &KMainFrame::toolDeactivated));
        box->setHighlightHdl(Link(this, &KMainFrame::toolHighlighted));
        box->setSelectHdl(Link(this, &KMainFrame::toolSelected));
        toolBoxes_[index] = box;
    }
    return toolBoxes_[index];
}

void KMainFrame::setToolBox(int id) {
    if (id == currentToolBox_ || id == 1) return;
    ToolBox* previous = currentToolBox_ ? toolBox(currentToolBox_) : nullptr;
    const bool previousShown = previous && previous->isVisible();
    ToolBox* box = toolBox(id);
    if (box) {
        if (!theOptions || theOptions->showToolBar) {
            const Size need = box->calcWindowSize();
            box->setPosSizePixel(Point(0, getMenuBarHeight()), Size(getOutputSizePixel().width, need.height));
            box->show();
        } else {
            box->hide();
        }
    }
    currentToolBox_ = id;
    if (previousShown && id != 0 && previous != box) previous->hide();
    resize();
}

Window* KMainFrame::contextBar(int index) const {
    return index >= 0 && index < kContextBarCount ? contextBars_[index] : nullptr;
}

void* KMainFrame::contextBarOwner(int index) const {
    return index >= 0 && index < kContextBarCount ? contextOwners_[index] : nullptr;
}

std::intptr_t KMainFrame::contextBarData(int index) const {
    return index >= 0 && index < kContextBarCount ? contextData_[index] : 0;
}

void KMainFrame::placeContextBar(int index) {
    Window* bar = contextBar(index);
    if (!bar) return;
    long top = getMenuBarHeight();
    if (ToolBox* box = currentToolBox_ ? toolBox(currentToolBox_) : nullptr; box && box->isVisible())
        top = std::max(top, top + box->getSizePixel().height - 1);
    bar->setPosSizePixel(Point(0, top), Size(getOutputSizePixel().width, bar->getSizePixel().height));
}

void KMainFrame::setContextBar(int index, void* owner, std::intptr_t data) {
    if (index == kRemoveContextBar) {
        if (currentContextBar_ >= 0) {
            contextOwners_[currentContextBar_] = owner;
            contextData_[currentContextBar_] = data;
        }
        return;
    }
    if (index < 0 || index >= kContextBarCount) return;
    contextOwners_[index] = owner;
    contextData_[index] = data;
    // Another owner of the input bar (or none) until it shows its own field.
    if (index == kMathContextBar && owner != inputBar_.owner) inputBar_.owner = nullptr;
    if (index != currentContextBar_ && (!theOptions || theOptions->showContextBar)) {
        Window* previous = contextBar(currentContextBar_);
        placeContextBar(index);
        if (Window* bar = contextBar(index)) bar->show();
        if (previous) previous->hide();
        else resize();
    }
    currentContextBar_ = index;
    if (index == kTextContextBar || index == kMathContextBar)
        if (ToolBox* box = toolBox(kFirstToolBox)) {
            box->checkItem(kTextInputButton, index == kTextContextBar);
            box->checkItem(kMathInputButton, index == kMathContextBar);
        }
    refreshContextBarState();
}

bool KMainFrame::isActiveWorksheetWindow(const KDocWindow* window) const {
    return window && activeWorksheet() == window;
}

// ---- menu and tool-box handlers --------------------------------------------------------------------

void KMainFrame::setStatusMessage(const String& text) {
    if (statusBar_) statusBar_->setStatusMessage(text);
}

long KMainFrame::menuActivated(void* menuArg) {
    guarded("command", [&] {
        auto* menu = static_cast<Menu*>(menuArg);
        ++menuDepth_;
        if (statusBar_) statusBar_->hideItems();
        updateMenu(menu);
        if (menu->getItemCount() > 0 && menu->getItemId(0) == kCmdNew) rebuildRecentMenu(menu);
        if (statusBar_) statusBar_->setText(menu->getHelpText(menu->getCurItemId()));
    });
    return 0;
}

long KMainFrame::menuHighlighted(void* menuArg) {
    guarded("command", [&] {
        auto* menu = static_cast<Menu*>(menuArg);
        if (statusBar_) statusBar_->setText(menu->getHelpText(menu->getCurItemId()));
    });
    return 0;
}

long KMainFrame::menuSelected(void* menuArg) {
    auto* menu = static_cast<Menu*>(menuArg);
    frame_command(menu->getCurItemId(), 0);
    return 0;
}

long KMainFrame::menuDeactivated(void*) {
    guarded("command", [&] {
        if (--menuDepth_ < 1) {
            menuDepth_ = 0;
            if (statusBar_) {
                statusBar_->setText(String());
                statusBar_->showItems();
            }
        }
    });
    return 0;
}

long KMainFrame::toolActivated(void*) {
    guarded("command", [&] {
        if (statusBar_) {
            statusBar_->setText(String());
            statusBar_->showItems();
        }
    });
    return 0;
}

long KMainFrame::toolDeactivated(void*) {
    guarded("command", [&] {
        if (statusBar_) statusBar_->hideItems();
    });
    return 0;
}

long KMainFrame::toolHighlighted(void* boxArg) {
    guarded("command", [&] {
        auto* box = static_cast<ToolBox*>(boxArg);
        if (statusBar_) statusBar_->setText(box->getHelpText(box->getCurItemId()));
    });
    return 0;
}

long KMainFrame::toolSelected(void* boxArg) {
    auto* box = static_cast<ToolBox*>(boxArg);
    const uint16_t id = box->getCurItemId();
    // A palette template button gives the template command with its text.
    if (id >= kFirstTemplateButton && id <= kLastTemplateButton) {
        const std::string text = box->getItemText(id).str();
        frame_command(kCmdTemplateButton, reinterpret_cast<std::intptr_t>(text.c_str()));
    } else {
        frame_command(id, 0);
    }
    return 0;
}

// ---- context-bar controls --------------------------------------------------------------------------

int KMainFrame::normaliseAngle(int degrees) {
    while (degrees > 180) degrees -= 360;
    while (degrees < -180) degrees += 360;
    return degrees;
}

namespace {
// The keyboard focus goes back to the application window after a context-bar control.
void focusBack() {
    if (WorkWindow* w = Application::getAppWindow()) w->grabFocus();
}
}  // namespace

void KMainFrame::contextStyleChosen(bool paragraphStyle, const char* styleName) {
    frame_command(paragraphStyle ? kCmdParagraphStyle : kCmdCharacterStyle, reinterpret_cast<std::intptr_t>(styleName));
    focusBack();
}

void KMainFrame::contextFontChosen(const char* fontName) {
    frame_command(kCmdFontName, reinterpret_cast<std::intptr_t>(fontName));
    focusBack();
}

void KMainFrame::contextSizeChosen(int size) {
    const std::string text = std::to_string(size);
    frame_command(kCmdFontSize, reinterpret_cast<std::intptr_t>(text.c_str()));
    focusBack();
}

void KMainFrame::contextButton(int commandId) {
    frame_command(commandId, 0);
    focusBack();
}

void KMainFrame::showInputBar(const InputBarState& state) {
    if (state.owner != contextOwners_[kMathContextBar]) return;   // the bar is another's
    inputBar_ = state;
}

void KMainFrame::contextFieldChanged(const char* text) {
    guarded("command", [&] {
        inputBar_.fieldText = text ? text : "";
        if (auto* input = dynamic_cast<InputTextElement*>(inputBar_.owner)) input->setTextFromField(text);
    });
}

void KMainFrame::forgetContextBarOwner(const void* owner) {
    if (!owner) return;
    for (void*& o : contextOwners_)
        if (o == owner) o = nullptr;
    if (inputBar_.owner == owner) inputBar_.owner = nullptr;
}

void KMainFrame::contextAnglesEntered(int& theta, int& phi) {
    theta = normaliseAngle(theta);
    phi = normaliseAngle(phi);
    int angles[2] = {theta, phi};
    frame_command(kCmdPlotAngles, reinterpret_cast<std::intptr_t>(angles));
    focusBack();
}

void KMainFrame::contextKeyPassed(const KeyEvent& e) {
    guarded("command", [&] {
        focusBack();
        if (KDocWindow* w = activeWorksheet()) w->keyInput(e);
    });
}

// ---- frame commands --------------------------------------------------------------------------------

void KMainFrame::showHelpTopic(const char* topic) {
    if (showHelpTopicHook) showHelpTopicHook(topic);
}

void KMainFrame::closeAllHelp() {
    if (!registry_) return;
    // The visit survives windows whose destructors leave the registry.
    registry_->visit([](Window* w) {
        auto* sheet = dynamic_cast<KWorksheetWindow*>(w);
        if (!sheet || !sheet->document() || !sheet->document()->isHelpDocument()) return;
        if (sheet->adaptor) sheet->adaptor->closeFrame();
        else sheet->close();
    });
}

bool KMainFrame::frame_command(int id, std::intptr_t argument) {
    bool ok = true;
    try {
        ErrorGuard guard;
        KWorksheetApp* app = worksheetApp();
        auto checkIn = [this](int menuId, int item, bool on) {
            if (Menu* m = frameMenu(menuId)) m->checkItem(static_cast<uint16_t>(item), on);
        };
        if (id >= kFirstRecentItem && id < kFirstRecentItem + recentCount_) {
            const std::string path = recentPaths_[id - kFirstRecentItem].str();
            load_worksheet(path.c_str(), false);
        } else {
            switch (id) {
            case kCmdNew: {
                ++gNewWindowDepth;
                struct Lower {
                    ~Lower() { --gNewWindowDepth; }
                } lower;
                openWorksheetWindow(std::make_unique<WorksheetDocument>(nullptr));
                break;
            }
            case kCmdOpen: load_worksheet(nullptr, false); break;
            case kCmdExit: close(); break;
            case kCmdSaveSettings:
                if (theOptions) theOptions->options_write();
                break;
            case kCmdAutoSaveSettings:
                if (theOptions) {
                    theOptions->saveOptions = !theOptions->saveOptions;
                    checkIn(kFileMenu, id, theOptions->saveOptions);
                }
                break;
            case kCmdShowObjects:
                gShowObjects = !gShowObjects;
                checkIn(kEditMenu, id, gShowObjects);
                if (registry_) registry_->visit([](Window* w) { w->invalidate(); });
                break;
            case kCmdToolBar:
                if (theOptions) {
                    theOptions->showToolBar = !theOptions->showToolBar;
                    if (ToolBox* box = currentToolBox_ ? toolBox(currentToolBox_) : nullptr) box->show(theOptions->showToolBar);
                    resize();
                    checkIn(kViewMenu, id, theOptions->showToolBar);
                }
                break;
            case kCmdStatusLine:
                if (theOptions) {
                    theOptions->showStatusBar = !theOptions->showStatusBar;
                    if (statusBar_) statusBar_->show(theOptions->showStatusBar);
                    resize();
                    MDI::arrangeIcons();
                    checkIn(kViewMenu, id, theOptions->showStatusBar);
                }
                break;
            case kCmdContextBar:
                if (theOptions) {
                    theOptions->showContextBar = !theOptions->showContextBar;
                    if (Window* bar = contextBar(currentContextBar_)) {
                        if (theOptions->showContextBar) placeContextBar(currentContextBar_);
                        bar->show(theOptions->showContextBar);
                    }
                    resize();
                    checkIn(kViewMenu, id, theOptions->showContextBar);
                }
                break;
            case kCmdSymbolPalette:
            case kCmdExpressionPalette:
            case kCmdMatrixPalette: {
                Window* palette = nullptr;
                if (app)
                    palette = id == kCmdSymbolPalette       ? app->symbolPalette
                              : id == kCmdExpressionPalette ? app->expressionPalette
                                                            : app->matrixPalette;
                if (palette) {
                    palette->show(!palette->isVisible());
                    checkIn(kPaletteMenu, id, palette->isVisible());
                }
                break;
            }
            case kCmdCascade: MDI::cascade(); break;
            case kCmdTile: MDI::tile(); break;
            case kCmdHorizontal: MDI::horizontal(); break;
            case kCmdVertical: MDI::vertical(); break;
            case kCmdArrangeIcons: MDI::arrangeIcons(); break;
            case kCmdCloseAll: Application::closeAll(); break;
            case kCmdCloseAllHelp: closeAllHelp(); break;
            case kCmdIntroduction:
            case kCmdIntroduction2: showHelpTopic("introduction"); break;
            case kCmdUsingHelp:
            case kCmdUsingHelp2: showHelpTopic("HelpGuide"); break;
            case kCmdAbout: {
                // The about box's four texts, until its dialog comes.
                const std::string text = std::string("Kelvo V") + " " + "Release 5" + "\n" + "Version 5.00 " + "\n" +
                                         "Nov 27 1997" + "\n" + (kernelBanner().text() ? kernelBanner().text() : "");
                showInfo(text.c_str());
                break;
            }
            case kCmdBalloonHelp:
                if (theOptions) {
                    theOptions->balloonHelp = !theOptions->balloonHelp;
                    Help::enableBalloons(theOptions->balloonHelp);
                    checkIn(kHelpMenu, id, theOptions->balloonHelp);
                }
                break;
            case kCmdSaveToDatabase: {
                auto* w = dynamic_cast<KWorksheetWindow*>(activeWorksheet());
                if (!w || !w->document() || w->document()->isHelpDocument())
                    showMessage("This command saves the currently active non-help worksheet.\nThere is no such "
                                "worksheet active.\n");
                // The save-help-page dialog comes with the help system.
                break;
            }
            case kCmdRemoveTopic: break;   // the remove-topic dialog comes with the help system
            case kCmdHelpOnContext:
                if (KDocWindow* w = activeWorksheet()) {
                    KString topic;
                    w->command(kCmdContextTopic, reinterpret_cast<std::intptr_t>(&topic));
                    if (topic.length() > 0) showHelpTopic(topic.text());
                }
                break;
            case kCmdWhatsNew: showHelpTopic("updates,R5"); break;
            case kCmdNewUserTour: showHelpTopic("newuser"); break;
            // The help search dialogs and the help history come with the help system.
            case kCmdTopicSearch:
            case kCmdFullTextSearch:
            case kCmdHistory:
            case kCmdPreviousTopic:
            case kCmdNextTopic:
            case kCmdParentTopic: break;
            case kCmdHistoryBack:
            case kCmdHistoryForward: Sound::beep(); break;
            default:
                if (KDocWindow* w = activeWorksheet()) w->command(id, argument);
                break;
            }
        }
    } catch (...) {
        ok = false;
        try {
            reportOutOfMemory("command");
        } catch (...) {
        }
    }
    if (sys_resources_low()) warnLowResources();
    return ok;
}
