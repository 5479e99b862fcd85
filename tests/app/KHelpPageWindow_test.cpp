// The help page window on the offscreen platform, in its real pop-up frame: each event that
// dismisses the page (mouse presses inside and outside, a key, the loss of focus, the command
// entry) closes it with its frame, view and document; a second event that reaches the page's
// peer afterwards does nothing; the focus loss the close itself causes does not close twice;
// and a thousand open-and-dismiss cycles leave nothing behind.
#include "app/KHelpPageWindow.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>

#include "app/KDocFrame.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/ViewCaret.h"
#include "platform/gui/gui_test.h"
#include "tests/app/doc_window_support.h"

namespace {

using docwin_test::AppWindowScope;
using docwin_test::RecordingFrame;

// What reaches a help page from outside.
enum class Event { LeftPress, RightPress, PressOutside, Key, FocusOut, CloseCommand };

QWidget* peerOf(Window* w) { return static_cast<QWidget*>(w->getNativeHandle()); }

// Delivers the event to the page's peer as Qt would (the command entry is called directly).
void deliver(QWidget* peer, Event event) {
    switch (event) {
    case Event::LeftPress:
    case Event::RightPress:
    case Event::PressOutside: {
        const QPointF at = event == Event::PressOutside ? QPointF(-40, -30) : QPointF(20, 15);
        const Qt::MouseButton button = event == Event::RightPress ? Qt::RightButton : Qt::LeftButton;
        QMouseEvent press(QEvent::MouseButtonPress, at, peer->mapToGlobal(at), button, button, Qt::NoModifier);
        QCoreApplication::sendEvent(peer, &press);
        break;
    }
    case Event::Key: {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(peer, &key);
        break;
    }
    case Event::FocusOut: {
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(peer, &out);
        break;
    }
    case Event::CloseCommand:
        break;
    }
}

// A help page frame that counts the close requests it got and, like a window system, lets the
// page lose the focus while the close runs.
int closeRequests = 0;
class FocusLosingFrame : public KHelpPageFrame {
public:
    FocusLosingFrame() : KHelpPageFrame(nullptr) {}
    bool closeFrame() override {
        ++closeRequests;
        if (KDocWindow* held = heldWindow()) deliver(peerOf(held), Event::FocusOut);
        return KHelpPageFrame::closeFrame();
    }
};

class HelpPageWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::test::activate();
        savedHost_ = worksheetHost();
        worksheetHost().connectKernel = connectNoKernel;
        FontCache::setProgram(&fonts_);
        closeRequests = 0;
        pagesBefore_ = KHelpPageWindow::liveCount();
        windowsBefore_ = KDocWindow::liveCount();
    }
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        FontCache::setProgram(nullptr);
        worksheetHost() = savedHost_;
        gui::test::deactivate();
    }
    // A page over a help document in the given frame (a new pop-up frame when null).
    KHelpPageWindow* openPage(KHelpPageFrame* frame = nullptr) {
        if (!frame) frame = new KHelpPageFrame(nullptr);
        frame->frameWindow()->setPosSizePixel(Point(60, 40), Size(240, 160));
        return new KHelpPageWindow(std::make_unique<WorksheetDocument>("Kelvo Library Help page"), frame, nullptr,
                                   nullptr, 1021, 1000);
    }
    bool pageGone() const {
        return KHelpPageWindow::liveCount() == pagesBefore_ && KDocWindow::liveCount() == windowsBefore_;
    }

    AppWindowScope app_;
    RecordingFrame frame_;
    FontCache fonts_;
    WorksheetHost savedHost_;
    int pagesBefore_ = 0;
    int windowsBefore_ = 0;
};

TEST_F(HelpPageWindowTest, OpensWithTheCaretHiddenAndNotDismissed) {
    KHelpPageWindow* page = openPage();
    EXPECT_FALSE(page->dismissed);
    EXPECT_TRUE(page->isVisible());
    EXPECT_TRUE(page->document()->isHelpDocument());
    ASSERT_NE(page->caret(), nullptr);
    EXPECT_GT(page->caret()->hideCount(), 0) << "the caret is hidden";
    page->dismiss();
    EXPECT_TRUE(pageGone());
}

TEST_F(HelpPageWindowTest, TheFirstEventClosesThePageAndASecondDoesNothing) {
    struct Row {
        const char* name;
        Event event;
    } rows[] = {
        {"left button pressed on the page", Event::LeftPress},
        {"right button pressed on the page", Event::RightPress},
        {"button pressed outside the page (the mouse is captured)", Event::PressOutside},
        {"a key", Event::Key},
        {"loss of the focus", Event::FocusOut},
        {"the command entry", Event::CloseCommand},
    };
    for (const Row& r : rows) {
        KHelpPageWindow* page = openPage();
        QPointer<QWidget> peer = peerOf(page);
        QPointer<QWidget> framePeer = peerOf(static_cast<KDocFrame*>(page->adaptor)->frameWindow());
        ASSERT_FALSE(pageGone()) << r.name;
        if (r.event == Event::CloseCommand) {
            EXPECT_TRUE(page->command(1105, 0)) << r.name;
        } else {
            deliver(peer, r.event);
        }
        EXPECT_TRUE(pageGone()) << r.name << ": the window, its frame and its document are deleted";
        // A second event already on its way reaches the peer the GUI layer still keeps.
        for (Event second : {Event::LeftPress, Event::Key, Event::FocusOut})
            if (peer) deliver(peer, second);
        EXPECT_TRUE(pageGone()) << r.name;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(peer.isNull()) << r.name;
        EXPECT_TRUE(framePeer.isNull()) << r.name;
    }
}

TEST_F(HelpPageWindowTest, TheFocusLossOfTheCloseItselfDoesNotCloseTwice) {
    for (Event event : {Event::LeftPress, Event::Key, Event::FocusOut}) {
        closeRequests = 0;
        KHelpPageWindow* page = openPage(new FocusLosingFrame);
        deliver(peerOf(page), event);
        EXPECT_EQ(closeRequests, 1) << static_cast<int>(event);
        EXPECT_TRUE(pageGone()) << static_cast<int>(event);
    }
}

TEST_F(HelpPageWindowTest, AThousandOpenAndDismissCyclesLeaveNothingBehind) {
    const Event events[] = {Event::LeftPress, Event::PressOutside, Event::Key, Event::FocusOut, Event::CloseCommand};
    for (int i = 0; i < 1000; ++i) {
        KHelpPageWindow* page = openPage();
        const Event event = events[i % 5];
        if (event == Event::CloseCommand) page->command(1105, 0);
        else deliver(peerOf(page), event);
        ASSERT_TRUE(pageGone()) << "cycle " << i;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

}  // namespace
