#pragma once
// Application, the event loop and what runs from it: timers, idle handlers, the application
// event slot, beeps, balloon help, the screen size.
//
// The application object is a static object of the program, built before the program entry
// runs; its constructor therefore touches no Qt object.  The layer's program entry
// (gui::runProgram, called from main) makes the QApplication, giving it only argv[0] so that Qt
// removes none of the program's words, and calls Main with every command-line word.
//
// Re-entrancy guards (the GUI is re-entered from program code through reschedule, every modal
// run, the drag loop and the print loop):
//  1. A timer's handler and an idle handler are never re-entered: a tick that falls due while
//     its own handler runs (in a nested reschedule or modal run) is dropped.
//  2. A window deleted inside one of its own handlers is never touched again by the layer; its
//     Qt peer is deleted after the outermost handler on it returns (Window.h).
//  3. Every call from a Qt handler into the program goes through gui::guardedCall.  An
//     exception that escapes it is stored, the innermost running loop ends (a modal dialog
//     closes with 0, reschedule returns, the top loop quits) and the exception is rethrown in
//     program code right after that loop returns.  Only the first exception of a loop is kept.
//
// hasPendingInput: Qt 6 cannot ask whether input is waiting.  The answer is true once the
// current outermost handler has run longer than one time slice (20 ms), or when an input event
// was delivered during a nested reschedule since it began; so a polling loop that returns on
// pending input never starves the user.

#include <cstdint>
#include <exception>
#include <functional>

#include "platform/gui/base/Font.h"
#include "platform/gui/base/Link.h"
#include "platform/gui/base/String.h"
#include "platform/gui/base/geometry.h"

class Window;
class WorkWindow;

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The program's own start-up; returns when the loop has ended.
    virtual void Main(int argc, char** argv) = 0;
    // An application event (name, data) posted with postAppEvent, delivered between events.
    virtual void app_event(const String& name, const String& data);
    // The layer's fatal states: a resource that cannot be loaded, no display.  768 means that
    // no message box can be shown.  The default ends the program.
    virtual void exception(uint16_t code);

    // Runs the event loop until quit; rethrows an exception a handler let escape.
    static void execute();
    static void quit();
    // False until the loop runs (nested loops keep it set).
    static bool isRunning();
    // One pass of pending events; rethrows an exception a handler let escape.
    static void reschedule();
    // Like reschedule, but waits until at least one event comes (a timer's tick, a readable
    // watched descriptor, input) instead of returning at once when none is pending.
    static void waitForEvents();
    static bool hasPendingInput(uint16_t mask = 31);
    // Handlers run, in increasing priority number, when the loop is about to block, at most
    // every 100 ms.  The Link receives a null argument.
    // Returns a handle for removeIdleHandler.
    static uint64_t insertIdleHandler(const Link& handler, int priority);
    static void removeIdleHandler(uint64_t handle);
    // Counted wait pointer.
    static void setBusy(bool on);
    static bool isWaitMode();
    static void setAppFont(const Font& font);
    static const Font& getAppFont();
    static void setAppWindow(WorkWindow* w);
    static WorkWindow* getAppWindow();
    static void* getMainWindowHandle();
    static int getMDIWindowCount();
    // Asks every document window to close; false when one refuses.
    static bool closeAll();
    // Shows the text when not empty, then ends the process with code 1.
    [[noreturn]] static void abort(const String& text);
    // Called with (273, id, 0) before any menu command is dispatched; a non-zero answer
    // consumes the command.
    using SystemMessageHook = std::function<long(unsigned message, uintptr_t wParam, intptr_t lParam)>;
    static void setSystemMessageHook(SystemMessageHook hook);
    static long callSystemMessageHook(unsigned message, uintptr_t wParam, intptr_t lParam);
    // An opaque non-null token standing for the module instance.
    static void* getInstanceHandle();
    // Queues an application event to the application object (any thread).
    static void postAppEvent(const String& name, const String& data);

    static Application* get();
};

class Timer {
public:
    Timer();
    virtual ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setTimeout(unsigned ms);
    unsigned getTimeout() const;
    // One-shot by default; periodic when repeat is on.
    void setRepeat(bool on);
    void start();
    void stop();
    bool isActive() const;
    void setTimeoutHdl(const Link& handler);
    // Runs the handler; override or set a Link.
    virtual void Timeout();

    struct Impl;

private:
    Impl* impl_;
};

namespace Sound { void beep(); }
namespace Help {
void enableBalloons(bool on);
bool isBalloonsEnabled();
}
namespace System { Size getScreenSize(); }

namespace gui {

// Makes the QApplication when none exists (argv[0] only); idempotent.
void ensureApplication(const char* argv0 = "wkelvo");
// The program entry: makes the QApplication and calls the application object's Main with
// every word.  Returns the process exit code.
int runProgram(int argc, char** argv);

// Calls program code from a Qt handler (see guard 3 above).  Returns false when it threw.
bool guardedCall(const std::function<void()>& f);
// The innermost loop's kind, to end it when a handler throws.
enum class LoopKind { Top, Modal, Reschedule, Nested };
// RAII record of a running loop; `end` is called when a handler throws inside it.
class LoopScope {
public:
    LoopScope(LoopKind kind, std::function<void()> end);
    ~LoopScope();
    LoopScope(const LoopScope&) = delete;
    LoopScope& operator=(const LoopScope&) = delete;
    // Rethrows the exception stored while this loop ran (call after the loop returned).
    void rethrowIfFailed();

private:
    LoopKind kind_;
    std::exception_ptr saved_;  // an exception pending from an outer loop
};

// Handler nesting and input tracking behind hasPendingInput.
int handlerDepth();
// The time slice after which hasPendingInput answers true (20 ms; tests choose their own so that
// they never race it).
void setTimeSlice(int ms);
int timeSlice();

// The break key: Ctrl+Break or Ctrl+Pause seen since the last query (cleared by the query).
bool breakKeyPressed();
void setBreakKeyPressed(bool on);

}  // namespace gui
