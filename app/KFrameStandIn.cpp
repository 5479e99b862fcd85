#include "app/KFrameStandIn.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "app/KWindowRegistry.h"
#include "document/exec/WorksheetDocument.h"
#include "document/exec/WorksheetFile.h"
#include "document/styles/KViewOptions.h"
#include "document/tree/ElementPosition.h"
#include "kernel_link/KKernelSession.h"
#include "kernel_link/KL_PipeServer.h"
#include "options/KOptions.h"
#include "platform/gui/Application.h"

KWorksheetWindowStandIn::KWorksheetWindowStandIn(Window* frame, std::unique_ptr<WorksheetDocument> document,
                                                 KWindowRegistry* registry)
    : MDIWindow(frame), document_(std::move(document)), registry_(registry) {
    setText(String(document_->title()));
    if (registry_) {
        const std::string path = document_->filePath();
        if (!path.empty()) registry_->add(this, path, KWindowRegistry::kModeFile);
        else registry_->add(this, document_->title(), 0);
    }
}

KWorksheetWindowStandIn::~KWorksheetWindowStandIn() {
    if (registry_) registry_->remove(this);
    document_.reset();
}

void KWorksheetWindowStandIn::paint(const Rectangle& r) {
    setFillInBrush(Brush(Color(COL_WHITE)));
    setBackgroundBrush(Brush(Color(COL_WHITE)));
    erase(r);
}

// The stand-in has nothing unsaved to ask about.
bool KWorksheetWindowStandIn::closeQuery() { return true; }

KFrameStandIn::KFrameStandIn(KWindowRegistry* registry)
    : WorkWindow(nullptr, WB_APP_FRAME), statusBar(this), registry_(registry) {
    setText(String(kTitle));
    Application::setAppWindow(this);
}

KFrameStandIn::~KFrameStandIn() {
    releaseKernels();
    if (Application::getAppWindow() == this) Application::setAppWindow(nullptr);
}

namespace {

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

// How long a kernel server may take to stop after it was told to.
constexpr int kServerStopMs = 5000;

}  // namespace

void KFrameStandIn::releaseKernels() {
    // The servers of the links about to go: each is told to stop when its link is deleted.
    std::vector<pid_t> servers;
    for (QuietEvaluator* e : worksheetHost().evaluators)
        if (auto* server = dynamic_cast<KL_PipeServer*>(e->session()->link))
            if (server->serverPid() > 0) servers.push_back(server->serverPid());
    std::vector<KWorksheetWindowStandIn*> windows;
    windows.swap(windows_);
    for (KWorksheetWindowStandIn* w : windows) delete w;
    WorksheetHost& host = worksheetHost();
    std::vector<QuietEvaluator*> shared;
    shared.swap(host.evaluators);
    for (QuietEvaluator* e : shared) delete e;
    host.directLink = nullptr;
    // Every server has exited before the storage it shared with us goes; one that does not stop
    // when told is ended.
    for (pid_t pid : servers)
        if (!waitForExit(pid, kServerStopMs)) {
            ::kill(pid, SIGKILL);
            waitForExit(pid, kServerStopMs);
        }
}

KWorksheetWindowStandIn* KFrameStandIn::openWindow(std::unique_ptr<WorksheetDocument> document) {
    auto* window = new KWorksheetWindowStandIn(this, std::move(document), registry_);
    windows_.push_back(window);
    window->setSizePixel(Size(600, 400));
    window->show();
    return window;
}

bool KFrameStandIn::load_worksheet(const char* path, int flags) {
    if (!path || !*path) return false;
    if (registry_) {
        if (Window* open = registry_->find(path, KWindowRegistry::kModeFile)) {
            open->toTop();
            return true;
        }
    }
    std::unique_ptr<WorksheetDocument> document;
    std::unique_ptr<ElementPosition> mark;
    std::unique_ptr<KViewOptions> viewOptions;
    if (!loadWorksheet(path, document, mark, viewOptions, (flags & 2) != 0) || !document) return false;
    mark.reset();
    openWindow(std::move(document));
    return true;
}

bool KFrameStandIn::command(int id) {
    switch (id) {
    case kCommandNewWorksheet:
        openWindow(std::make_unique<WorksheetDocument>(nullptr));
        return true;
    case kCommandInterrupt:
        if (KWorksheetWindowStandIn* w = activeWorksheetWindow()) w->document()->interrupt();
        return true;
    default:
        return false;
    }
}

KWorksheetWindowStandIn* KFrameStandIn::activeWorksheetWindow() const {
    for (KWorksheetWindowStandIn* w : windows_)
        if (w->isActiveFrame()) return w;
    return windows_.empty() ? nullptr : windows_.back();
}

// Closing the frame ends the program.
bool KFrameStandIn::closeQuery() {
    Application::quit();
    return true;
}

void KFrameStandIn::paint(const Rectangle& r) { erase(r); }

void KFrameStandIn::resize() {
    const Size out = getOutputSizePixel();
    // (A child counts as hidden while the frame itself is, so the option decides.)
    const long height = theOptions && theOptions->showStatusBar ? statusBar.calcWindowSizePixel().height : 0;
    if (height > 0) statusBar.setPosSizePixel(Point(0, out.height - height), Size(out.width, height));
    setClientInsets(0, height);
}
