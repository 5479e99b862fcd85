// The event loop, handler guards, timers and idle handlers (rules in Application.h).
#include "platform/gui/Application.h"
#include "platform/gui/break_key.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"
#include "platform/gui/qt_text.h"

namespace {

Application* gApp = nullptr;
bool gRunning = false;
Font gAppFont;
WorkWindow* gAppWindow = nullptr;
int gBusy = 0;
bool gBalloons = false;
Application::SystemMessageHook gSysHook;
QApplication* gOwnedApp = nullptr;  // kept to the end of the process unless runProgram made it
int gArgc = 1;
char gArgv0[256] = "wkelvo";
char* gArgv[] = {gArgv0, nullptr};

// Loops currently running, innermost last, each with the way to end it.
struct LoopRecord { gui::LoopKind kind; std::function<void()> end; };
std::vector<LoopRecord> gLoops;
std::exception_ptr gPending;

// hasPendingInput state.
int gHandlerDepth = 0;
QElapsedTimer gHandlerClock;
bool gInputWhileNested = false;
int gRescheduleDepth = 0;
bool gBreakKey = false;

struct IdleEntry { Link handler; int priority; bool running; uint64_t id; };
std::vector<IdleEntry> gIdle;
uint64_t gIdleNextId = 1;
QElapsedTimer gIdleClock;
bool gIdleScheduled = false;

int gTimeSliceMs = 20;   // see setTimeSlice
constexpr int kIdleIntervalMs = 100;

const QEvent::Type kAppEventType = static_cast<QEvent::Type>(QEvent::User + 101);

class AppEvent : public QEvent {
public:
    AppEvent(String n, String d) : QEvent(kAppEventType), name(std::move(n)), data(std::move(d)) {}
    String name, data;
};

bool isInputEvent(QEvent::Type t) {
    switch (t) {
    case QEvent::KeyPress: case QEvent::KeyRelease: case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: case QEvent::MouseButtonDblClick: case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

// Application-wide filter: input seen during nested pumping, the break key, application events.
class AppFilter : public QObject {
public:
    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (isInputEvent(ev->type()) && gRescheduleDepth > 0) gInputWhileNested = true;
        if (ev->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(ev);
            if ((k->key() == Qt::Key_Pause || k->key() == Qt::Key_Cancel) &&
                (k->modifiers() & Qt::ControlModifier))
                gBreakKey = true;
        }
        return QObject::eventFilter(obj, ev);
    }
};

// Receives posted application events.
class AppEventSink : public QObject {
public:
    bool event(QEvent* ev) override {
        if (ev->type() == kAppEventType) {
            auto* a = static_cast<AppEvent*>(ev);
            if (gApp) gui::guardedCall([&] { gApp->app_event(a->name, a->data); });
            return true;
        }
        return QObject::event(ev);
    }
};
AppEventSink* gSink = nullptr;

void runIdleHandlers() {
    gIdleScheduled = false;
    gIdleClock.restart();
    // Copy the ids first: a handler may insert or remove handlers.
    std::vector<uint64_t> order;
    {
        std::vector<IdleEntry> sorted = gIdle;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const IdleEntry& a, const IdleEntry& b) { return a.priority < b.priority; });
        for (const IdleEntry& e : sorted) order.push_back(e.id);
    }
    for (uint64_t id : order) {
        auto it = std::find_if(gIdle.begin(), gIdle.end(), [id](const IdleEntry& e) { return e.id == id; });
        if (it == gIdle.end() || it->running) continue;  // removed meanwhile, or re-entered
        it->running = true;
        Link h = it->handler;
        gui::guardedCall([&] { h.call(nullptr); });
        it = std::find_if(gIdle.begin(), gIdle.end(), [id](const IdleEntry& e) { return e.id == id; });
        if (it != gIdle.end()) it->running = false;
    }
}

void onAboutToBlock() {
    if (gIdle.empty() || gIdleScheduled) return;
    gIdleScheduled = true;
    qint64 wait = gIdleClock.isValid() ? std::max<qint64>(0, kIdleIntervalMs - gIdleClock.elapsed()) : 0;
    QTimer::singleShot(static_cast<int>(wait), qApp, runIdleHandlers);
}

}  // namespace

// ---- gui:: ----

namespace gui {

void ensureApplication(const char* argv0) {
    if (!QApplication::instance()) {
        std::snprintf(gArgv0, sizeof gArgv0, "%s", argv0 ? argv0 : "wkelvo");
        gOwnedApp = new QApplication(gArgc, gArgv);
    }
    static bool wired = false;
    if (!wired) {
        wired = true;
        static AppFilter* filter = new AppFilter;
        qApp->installEventFilter(filter);
        gSink = new AppEventSink;
        QObject::connect(QAbstractEventDispatcher::instance(qApp->thread()),
                         &QAbstractEventDispatcher::aboutToBlock, qApp, onAboutToBlock);
        test::initFromEnvironment();
        installBreakKeyHook();
    }
}

namespace {

// True while a thread of this process carries the name Qt gives its pool's worker threads.
bool poolThreadsRunning() {
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) return false;
    bool found = false;
    while (dirent* e = ::readdir(tasks)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name == "Thread (pooled)") {
            found = true;
            break;
        }
    }
    ::closedir(tasks);
    return found;
}

}  // namespace

int runProgram(int argc, char** argv) {
    ensureApplication(argc > 0 ? argv[0] : "wkelvo");
    if (!gApp) {
        std::fputs("no application object\n", stderr);
        return 1;
    }
    gApp->Main(argc, argv);
    // Qt's own statics go before ours at exit: the application object must not outlive main.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete gOwnedApp;
    gOwnedApp = nullptr;
    // The application object tells the worker threads Qt draws large images with to finish, but
    // they may still be ending (their thread data not yet freed) when main returns, and the
    // process would end with them half-way.  Wait, for a bounded time, until they are gone.
    auto start = std::chrono::steady_clock::now();
    while (poolThreadsRunning() && std::chrono::steady_clock::now() - start < std::chrono::seconds(2))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}

bool guardedCall(const std::function<void()>& f) {
    if (gHandlerDepth == 0) {
        gHandlerClock.restart();
        gInputWhileNested = false;
    }
    ++gHandlerDepth;
    bool ok = true;
    try {
        f();
    } catch (...) {
        ok = false;
        if (!gPending) gPending = std::current_exception();
        if (!gLoops.empty() && gLoops.back().end) gLoops.back().end();
    }
    --gHandlerDepth;
    return ok;
}

LoopScope::LoopScope(LoopKind kind, std::function<void()> end) : kind_(kind) {
    saved_ = gPending;  // normally null: an outer failure ends the outer loop first
    gPending = nullptr;
    gLoops.push_back({kind, std::move(end)});
    if (kind == LoopKind::Reschedule) ++gRescheduleDepth;
}

LoopScope::~LoopScope() {
    if (kind_ == LoopKind::Reschedule) --gRescheduleDepth;
    gLoops.pop_back();
    if (!gPending) gPending = saved_;
}

void LoopScope::rethrowIfFailed() {
    if (gPending) {
        std::exception_ptr e = gPending;
        gPending = saved_;
        saved_ = nullptr;
        std::rethrow_exception(e);
    }
}

int handlerDepth() { return gHandlerDepth; }

void setTimeSlice(int ms) { gTimeSliceMs = ms; }

int timeSlice() { return gTimeSliceMs; }

bool breakKeyPressed() {
    bool b = gBreakKey || test::takeBreakKey();
    gBreakKey = false;
    return b;
}
void setBreakKeyPressed(bool on) { gBreakKey = on; }

}  // namespace gui

// ---- Application ----

Application::Application() { gApp = this; }
Application::~Application() {
    if (gApp == this) gApp = nullptr;
}
Application* Application::get() { return gApp; }

void Application::app_event(const String&, const String&) {}

void Application::exception(uint16_t code) {
    std::fprintf(stderr, "fatal GUI error %u\n", static_cast<unsigned>(code));
    std::fflush(nullptr);
    std::_Exit(1);
}

void Application::execute() {
    gui::ensureApplication();
    gui::LoopScope scope(gui::LoopKind::Top, [] { QCoreApplication::exit(0); });
    bool wasRunning = gRunning;
    gRunning = true;
    QApplication::exec();
    gRunning = wasRunning;
    scope.rethrowIfFailed();
}

void Application::quit() {
    if (QCoreApplication::instance()) QCoreApplication::exit(0);
}

bool Application::isRunning() { return gRunning; }

namespace {

// One pass of events as a nested loop of its own (processEvents returns by itself).
void processOnce(QEventLoop::ProcessEventsFlags flags) {
    gui::ensureApplication();
    gui::LoopScope scope(gui::LoopKind::Reschedule, nullptr);
    QCoreApplication::processEvents(flags);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    scope.rethrowIfFailed();
}

}  // namespace

void Application::reschedule() { processOnce(QEventLoop::AllEvents); }

void Application::waitForEvents() { processOnce(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents); }

bool Application::hasPendingInput(uint16_t) {
    if (gInputWhileNested) return true;
    return gHandlerDepth > 0 && gHandlerClock.isValid() && gHandlerClock.elapsed() > gTimeSliceMs;
}

uint64_t Application::insertIdleHandler(const Link& handler, int priority) {
    gIdle.push_back({handler, priority, false, gIdleNextId});
    return gIdleNextId++;
}

void Application::removeIdleHandler(uint64_t handle) {
    std::erase_if(gIdle, [handle](const IdleEntry& e) { return e.id == handle; });
}

void Application::setBusy(bool on) {
    if (on) {
        if (gBusy++ == 0 && qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (gBusy > 0) {
        if (--gBusy == 0 && qApp) QApplication::restoreOverrideCursor();
    }
}

bool Application::isWaitMode() { return gBusy > 0; }

void Application::setAppFont(const Font& font) {
    gAppFont = font;
    // The font's height is in points; the screen has 96 pixels an inch.
    const long points = font.getSize().height;
    if (qApp) QApplication::setFont(gui::makeQFont(font, points > 0 ? static_cast<int>((points * 96 + 36) / 72) : 0));
}
const Font& Application::getAppFont() { return gAppFont; }

void Application::setAppWindow(WorkWindow* w) { gAppWindow = w; }
WorkWindow* Application::getAppWindow() { return gAppWindow; }
void* Application::getMainWindowHandle() {
    return gAppWindow ? static_cast<Window*>(gAppWindow)->getNativeHandle() : nullptr;
}
// getMDIWindowCount and closeAll live with the MDI windows (Window_mdi.cpp).

void Application::abort(const String& text) {
    if (!text.isEmpty()) std::fprintf(stderr, "%s\n", cp1252ToUtf8(text.view()).c_str());
    std::fflush(nullptr);
    std::exit(1);
}

void Application::setSystemMessageHook(SystemMessageHook hook) { gSysHook = std::move(hook); }
long Application::callSystemMessageHook(unsigned message, uintptr_t wParam, intptr_t lParam) {
    return gSysHook ? gSysHook(message, wParam, lParam) : 0;
}

void* Application::getInstanceHandle() {
    static int token;
    return &token;
}

void Application::postAppEvent(const String& name, const String& data) {
    gui::ensureApplication();
    QCoreApplication::postEvent(gSink, new AppEvent(name, data));
}

// ---- Timer ----

struct Timer::Impl {
    QTimer* qt = nullptr;
    Link handler;
    bool running = false;  // the handler is on the stack
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

Timer::Timer() : impl_(new Impl) {
    gui::ensureApplication();
    impl_->qt = new QTimer;
    impl_->qt->setSingleShot(true);
    Impl* impl = impl_;
    Timer* self = this;
    QObject::connect(impl_->qt, &QTimer::timeout, [impl, self] {
        if (impl->running) return;  // never re-entered: the tick is dropped
        std::shared_ptr<bool> alive = impl->alive;
        impl->running = true;
        gui::guardedCall([self] { self->Timeout(); });
        if (*alive) impl->running = false;  // the timer may have been deleted by its handler
    });
}

Timer::~Timer() {
    *impl_->alive = false;
    impl_->qt->stop();
    if (impl_->running) impl_->qt->deleteLater();  // deleted inside its own signal
    else delete impl_->qt;
    delete impl_;
}

void Timer::setTimeout(unsigned ms) { impl_->qt->setInterval(static_cast<int>(std::min(ms, 0x7fffffffu))); }
unsigned Timer::getTimeout() const { return static_cast<unsigned>(impl_->qt->interval()); }
void Timer::setRepeat(bool on) { impl_->qt->setSingleShot(!on); }
void Timer::start() { impl_->qt->start(); }
void Timer::stop() { impl_->qt->stop(); }
bool Timer::isActive() const { return impl_->qt->isActive(); }
void Timer::setTimeoutHdl(const Link& handler) { impl_->handler = handler; }
void Timer::Timeout() { impl_->handler.call(this); }

// ---- Sound, Help, System ----

void Sound::beep() {
    if (gui::test::isActive()) {
        gui::test::recordBeep();
        return;
    }
    QApplication::beep();
}

void Help::enableBalloons(bool on) { gBalloons = on; }
bool Help::isBalloonsEnabled() { return gBalloons; }

Size System::getScreenSize() {
    Size fixed;
    if (gui::test::fixedScreenSize(fixed)) return fixed;
    gui::ensureApplication();
    QScreen* s = QGuiApplication::primaryScreen();
    if (!s) return Size(640, 480);
    QSize q = s->size();
    return Size(q.width(), q.height());
}

// Leak-checker suppressions for system libraries the layer loads: fontconfig keeps its
// configuration until FcFini, which Qt does not call at exit; none of those blocks is ours.
// The sanitizer runtime asks for this weak hook (here, in a file every program of the layer
// links); builds without the sanitizer never call it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
