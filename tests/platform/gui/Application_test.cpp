// The loop: timers never re-entered during nested pumping, idle handlers in priority order,
// exceptions stored and rethrown after the loop, pending input, application events.
#include "platform/gui/Application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"

namespace {

// Pumps events for about `ms` milliseconds without blocking the test for long.
void pumpFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Runs a blocking loop (idle handlers run only when the loop is about to block).
void runLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class PollTimer : public Timer {
public:
    void Timeout() override {
        ++calls;
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        // The kernel poll pumps the GUI while it runs; the timer keeps falling due meanwhile.
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            Application::reschedule();
        }
        --depth;
    }
    int calls = 0, depth = 0, maxDepth = 0;
};

TEST(Timer, HandlerNeverReenteredDuringReschedule) {
    PollTimer t;
    t.setTimeout(1);
    t.setRepeat(true);
    t.start();
    pumpFor(150);
    t.stop();
    EXPECT_GE(t.calls, 2);
    EXPECT_EQ(t.maxDepth, 1);
    int calls = t.calls;
    pumpFor(30);
    EXPECT_EQ(t.calls, calls) << "a stopped timer fired";
}

TEST(Timer, OneShotByDefaultAndLinkHandler) {
    Timer t;
    int hits = 0;
    t.setTimeoutHdl(Link([&](void*) { ++hits; return 0L; }));
    t.setTimeout(5);
    EXPECT_EQ(t.getTimeout(), 5u);
    t.start();
    pumpFor(60);
    EXPECT_EQ(hits, 1);
}

class SelfDeletingTimer : public Timer {
public:
    explicit SelfDeletingTimer(bool* gone) : gone_(gone) {}
    ~SelfDeletingTimer() override { *gone_ = true; }
    void Timeout() override { delete this; }

private:
    bool* gone_;
};

TEST(Timer, TimerDeletedInItsOwnHandler) {
    bool gone = false;
    auto* t = new SelfDeletingTimer(&gone);
    t->setTimeout(1);
    t->start();
    pumpFor(40);
    EXPECT_TRUE(gone);
}

TEST(Application, IdleHandlersRunInPriorityOrderAndAreNotReentered) {
    std::vector<int> order;
    int depth = 0, maxDepth = 0;
    uint64_t a = Application::insertIdleHandler(Link([&](void*) { order.push_back(5); return 0L; }), 5);
    uint64_t b = Application::insertIdleHandler(Link([&](void*) {
        order.push_back(2);
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        Application::reschedule();  // a modal box shown from the idle handler pumps events
        --depth;
        return 0L;
    }), 2);
    QTimer kick;  // keeps the loop waking up so that it blocks again and again
    kick.start(5);
    runLoopFor(400);
    Application::removeIdleHandler(a);
    Application::removeIdleHandler(b);
    size_t n = order.size();
    ASSERT_GE(n, 2u);
    EXPECT_EQ(order[0], 2);
    EXPECT_EQ(order[1], 5);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_LE(n, 12u) << "idle handlers ran more often than every 100 ms";
    runLoopFor(250);
    EXPECT_EQ(order.size(), n) << "a removed idle handler ran";
}

TEST(Application, ExceptionInTopLoopHandlerIsRethrownFromExecute) {
    EXPECT_FALSE(Application::isRunning());
    bool runningInside = false;
    QTimer::singleShot(0, [&] {
        gui::guardedCall([&] {
            runningInside = Application::isRunning();
            throw std::runtime_error("from a handler");
        });
    });
    QTimer safety;  // ends the loop should the exception not do so
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { Application::quit(); });
    safety.start(5000);
    EXPECT_THROW(Application::execute(), std::runtime_error);
    EXPECT_TRUE(safety.isActive()) << "the loop ran until the safety timer";
    EXPECT_TRUE(runningInside);
    EXPECT_FALSE(Application::isRunning());
}

TEST(Application, ExceptionInNestedRescheduleReachesTheCaller) {
    Timer t;
    t.setTimeoutHdl(Link([](void*) -> long { throw std::logic_error("in reschedule"); }));
    t.setTimeout(0);
    t.start();
    bool caught = false;
    for (int i = 0; i < 50 && !caught; ++i) {
        try {
            Application::reschedule();
        } catch (const std::logic_error&) {
            caught = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(caught);
    Application::reschedule();  // nothing left over
}

TEST(Application, PendingInputAfterATimeSliceOrNestedInput) {
    EXPECT_FALSE(Application::hasPendingInput());
    const int slice = gui::timeSlice();
    bool early = true, late = false, afterInput = false;
    gui::guardedCall([&] {
        // Within a slice no input is pending; once the slice (now 0 ms) is over, it is.
        gui::setTimeSlice(60000);
        early = Application::hasPendingInput();
        gui::setTimeSlice(0);
        QElapsedTimer bound;
        bound.start();
        while (!(late = Application::hasPendingInput()) && bound.elapsed() < 10000) std::this_thread::yield();
    });
    gui::setTimeSlice(slice);
    EXPECT_FALSE(early);
    EXPECT_TRUE(late);
    Window w(nullptr, WB_FRAME);
    w.setSizePixel(Size(20, 20));
    gui::guardedCall([&] {
        QKeyEvent* ev = new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::postEvent(static_cast<QWidget*>(w.getNativeHandle()), ev);
        Application::reschedule();
        afterInput = Application::hasPendingInput();
    });
    EXPECT_TRUE(afterInput);
}

class EventApp : public Application {
public:
    void Main(int, char**) override {}
    void app_event(const String& name, const String& data) override { got.emplace_back(name, data); }
    std::vector<std::pair<String, String>> got;
};

TEST(Application, AppEventsArriveBetweenEvents) {
    EventApp app;
    Application::postAppEvent("Open", "/tmp/a.kws");
    Application::postAppEvent("BM_PASTE_TEXT", "x");
    EXPECT_TRUE(app.got.empty());
    Application::reschedule();
    ASSERT_EQ(app.got.size(), 2u);
    EXPECT_EQ(app.got[0].first, String("Open"));
    EXPECT_EQ(app.got[0].second, String("/tmp/a.kws"));
    EXPECT_EQ(app.got[1].first, String("BM_PASTE_TEXT"));
}

TEST(Application, BusyCountAndBeepsAndScreenSize) {
    Application::setBusy(true);
    Application::setBusy(true);
    Application::setBusy(false);
    EXPECT_TRUE(Application::isWaitMode());
    Application::setBusy(false);
    EXPECT_FALSE(Application::isWaitMode());
    Application::setBusy(false);  // unbalanced: stays off
    EXPECT_FALSE(Application::isWaitMode());
    int beeps = gui::test::beepCount();
    Sound::beep();
    EXPECT_EQ(gui::test::beepCount(), beeps + 1);
    gui::test::fixScreenSize(Size(1024, 768));
    EXPECT_EQ(System::getScreenSize(), Size(1024, 768));
    gui::test::unfixScreenSize();
    EXPECT_GT(System::getScreenSize().width, 0);
    long seen = -1;
    Application::setSystemMessageHook([&](unsigned m, uintptr_t id, intptr_t) { seen = id; return m == 273 ? 1 : 0; });
    EXPECT_EQ(Application::callSystemMessageHook(273, 1451, 0), 1);
    EXPECT_EQ(seen, 1451);
    Application::setSystemMessageHook(nullptr);
    EXPECT_EQ(Application::callSystemMessageHook(273, 1, 0), 0);
    EXPECT_NE(Application::getInstanceHandle(), nullptr);
}

TEST(Application, BreakKeyFromCtrlPause) {
    Window w(nullptr, WB_FRAME);
    EXPECT_FALSE(gui::breakKeyPressed());
    QKeyEvent ev(QEvent::KeyPress, Qt::Key_Pause, Qt::ControlModifier);
    QCoreApplication::sendEvent(static_cast<QWidget*>(w.getNativeHandle()), &ev);
    EXPECT_TRUE(gui::breakKeyPressed());
    EXPECT_FALSE(gui::breakKeyPressed());  // cleared by the query
    gui::test::pressBreakKey();
    EXPECT_TRUE(gui::breakKeyPressed());
}

}  // namespace
