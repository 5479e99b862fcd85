// The frames of document windows and the window proxy, on the offscreen platform: adaptor
// operations, the frame window's events, and the close request with refusal, consent and
// deletion of adaptor, frame window and held window, once each.
#include "app/KDocFrame.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "app/KDocWindow.h"
#include "app/KScrolledDocWindow.h"
#include "app/WindowProxy.h"
#include "document/edit/Document.h"
#include "document/views/WindowView.h"
#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/ToolBox.h"
#include "platform/gui/VirtualDevice.h"
#include "platform/gui/gui_test.h"
#include "tests/app/doc_window_support.h"

namespace {

using docwin_test::AppWindowScope;
using docwin_test::RecordingFrame;

int windowsDestroyed = 0;
int adaptorsDestroyed = 0;

// A document window that paints its document through a WindowView and can be told to refuse
// its close request.
class FrameTestWindow : public KScrolledDocWindow {
public:
    FrameTestWindow(KFrameAdaptor* adaptor, FontCache* cache)
        : KScrolledDocWindow(adaptor, 0), view(new Document, this, cache) {}
    ~FrameTestWindow() override { ++windowsDestroyed; }

    void paint(const Rectangle&) override {
        Size s = getOutputSizePixel();
        view.setViewSize(s.width, s.height);
        view.fillRect({0, 0, s.width, s.height}, 0x00C000, 0, 1);   // green paper
    }
    void activate() override { ++activations; }
    bool closeQuery() override { return refuse ? false : KDocWindow::closeQuery(); }

    WindowView view;   // its document goes with it
    bool refuse = false;
    int activations = 0;
};

template <class Frame>
class Counted : public Frame {
public:
    using Frame::Frame;
    ~Counted() override { ++adaptorsDestroyed; }
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::ensureApplication();
        gui::test::activate();
        windowsDestroyed = adaptorsDestroyed = 0;
    }
    // The events the layer deferred (deleted peers, resizes).
    static void settle() {
        for (int i = 0; i < 3; ++i) Application::reschedule();
    }
    static QPointer<QWidget> peerOf(Window* w) { return QPointer<QWidget>(static_cast<QWidget*>(w->getNativeHandle())); }

    AppWindowScope app_;
    RecordingFrame frame_;
    FontCache cache_;
};

// One frame of each kind, made as the program makes them: the adaptor first, then the window,
// which tells the adaptor about itself.
struct Kind {
    const char* name;
    std::function<KDocFrame*()> make;
    bool asks;
};

const Kind kinds[] = {
    {"mdi", [] { return new Counted<KMDIFrame>(nullptr, WB_MDI_CHILD); }, true},
    {"top", [] { return new Counted<KTopFrame>(nullptr); }, false},
    {"help page", [] { return new Counted<KHelpPageFrame>(nullptr); }, true},
};

TEST_F(FrameTest, MdiFrameStateTitleAndIconThroughTheAdaptor) {
    KMDIFrame* frame = KMDIFrame::create();
    auto* window = new FrameTestWindow(frame, &cache_);
    EXPECT_EQ(frame->heldWindow(), window);
    EXPECT_EQ(window->getParent(), frame->frameWindow()) << "re-parented into the frame window";
    EXPECT_EQ(frame->frameValue(), std::uintptr_t(WB_MDI_CHILD));
    frame->showFrame(true);
    window->show();
    settle();

    struct Step {
        const char* name;
        std::function<void()> act;
        bool minimized, maximized;
    } steps[] = {
        {"minimise", [&] { frame->minimize(); }, true, false},
        {"restore a minimised frame", [&] { frame->restore(); }, false, false},
        {"maximise", [&] { frame->maximize(); }, false, true},
        {"restore leaves a maximised frame", [&] { frame->restore(); }, false, true},
    };
    for (const Step& s : steps) {
        s.act();
        settle();
        EXPECT_EQ(frame->isMinimized(), s.minimized) << s.name;
        EXPECT_EQ(frame->isMaximized(), s.maximized) << s.name;
        EXPECT_EQ(frame->frameWindow()->isMinimized(), s.minimized) << s.name;
    }
    frame->setTitle(String("Untitled (1)"));
    EXPECT_EQ(frame->frameWindow()->getText(), String("Untitled (1)"));
    VirtualDevice image;
    image.setOutputSizePixel(Size(16, 16));
    gui::registerImage(4321, image.getBitmap(Point(0, 0), Size(16, 16)));
    frame->setIcon(4321);
    EXPECT_FALSE(peerOf(frame->frameWindow())->windowIcon().isNull());
    frame->toTop();
    delete frame;   // the held window goes with its adaptor
    EXPECT_EQ(windowsDestroyed, 1);
}

TEST_F(FrameTest, WithoutAHeldWindowPlacementAndFocusDoNothing) {
    for (const Kind& k : kinds) {
        KDocFrame* frame = k.make();
        frame->show(true);
        frame->setPos(10, 20);
        frame->setSize(100, 80);
        frame->grabFocus();
        frame->activateHeld();
        int32_t x = -1, y = -1, w = -1, h = -1;
        frame->getPos(x, y);
        frame->getSize(w, h);
        EXPECT_EQ(x, 0) << k.name;
        EXPECT_EQ(h, 0) << k.name;
        EXPECT_FALSE(frame->hasFocus()) << k.name;
        EXPECT_NE(frame->frameWindow(), nullptr) << k.name;
        delete frame;
    }
    EXPECT_EQ(adaptorsDestroyed, 3);
}

TEST_F(FrameTest, HelpPageMaximiseAndTopFrameIconLeaveTheFrameAsItIs) {
    auto* help = new KHelpPageFrame(nullptr);
    new FrameTestWindow(help, &cache_);
    help->showFrame(true);
    settle();
    help->maximize();
    settle();
    EXPECT_FALSE(help->isMaximized());
    EXPECT_EQ(help->frameValue(), std::uintptr_t(WB_POPUP_FRAME));

    auto* top = new KTopFrame(nullptr);
    VirtualDevice image;
    image.setOutputSizePixel(Size(16, 16));
    gui::registerImage(4322, image.getBitmap(Point(0, 0), Size(16, 16)));
    top->setIcon(4322);
    EXPECT_TRUE(peerOf(top->frameWindow())->windowIcon().isNull());
    EXPECT_EQ(top->frameValue(), std::uintptr_t(WB_FRAME));
    delete help;
    delete top;
}

TEST_F(FrameTest, WindowProxyMovesAndSizesAPlainWindow) {
    WorkWindow plain(nullptr, WB_FRAME);
    plain.show();
    WindowProxy proxy(&plain);
    proxy.setPos(30, 40);
    proxy.setSize(220, 160);
    settle();
    int32_t x = 0, y = 0, w = 0, h = 0;
    proxy.getPos(x, y);
    proxy.getSize(w, h);
    EXPECT_EQ(Point(x, y), plain.getPosPixel());
    EXPECT_EQ(w, 220);
    EXPECT_EQ(h, 160);
    EXPECT_FALSE(proxy.isMinimized());
    EXPECT_FALSE(proxy.isMaximized());
    proxy.setBusyPointer(true);
    EXPECT_EQ(plain.getPointer().getId(), POINTER_WAIT);
    proxy.setBusyPointer(false);
    EXPECT_EQ(plain.getPointer().getId(), POINTER_ARROW);
    proxy.show(false);
    EXPECT_FALSE(plain.isVisible());
    WindowProxy none(nullptr);
    none.getSize(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_FALSE(none.hasFocus());
}

TEST_F(FrameTest, ResizeGivesTheHeldWindowTheOutputSizeAndActivationReachesItOnce) {
    for (const Kind& k : kinds) {
        KDocFrame* frame = k.make();
        auto* window = new FrameTestWindow(frame, &cache_);
        frame->showFrame(true);
        window->show();
        frame->frameWindow()->setSizePixel(Size(420, 300));
        settle();
        EXPECT_EQ(window->getSizePixel(), frame->frameWindow()->getOutputSizePixel()) << k.name;
        frame->frameWindow()->setSizePixel(Size(300, 250));
        settle();
        EXPECT_EQ(window->getSizePixel(), frame->frameWindow()->getOutputSizePixel()) << k.name;
        window->activations = 0;
        frame->frameWindow()->activate();
        EXPECT_EQ(window->activations, 1) << k.name;
        delete frame;
    }
}

TEST_F(FrameTest, CloseRequestAsksRefusesAndDeletesEachPartOnce) {
    for (const Kind& k : kinds) {
        windowsDestroyed = adaptorsDestroyed = 0;
        KDocFrame* frame = k.make();
        auto* window = new FrameTestWindow(frame, &cache_);
        frame->showFrame(true);
        window->show();
        settle();
        QPointer<QWidget> framePeer = peerOf(frame->frameWindow());
        window->refuse = true;
        if (k.asks) {
            EXPECT_FALSE(frame->closeFrame()) << k.name;
            settle();
            EXPECT_EQ(adaptorsDestroyed, 0) << k.name;
            EXPECT_EQ(windowsDestroyed, 0) << k.name;
            EXPECT_EQ(frame->heldWindow(), window) << k.name << ": the adaptor is intact";
            EXPECT_TRUE(framePeer) << k.name;
            window->refuse = false;   // a later close works
        }
        EXPECT_TRUE(frame->closeFrame()) << k.name;
        settle();
        EXPECT_EQ(adaptorsDestroyed, 1) << k.name;
        EXPECT_EQ(windowsDestroyed, 1) << k.name;
        EXPECT_FALSE(framePeer) << k.name << ": the frame window went with its adaptor";
    }
}

TEST_F(FrameTest, AThousandOpenAndCloseCyclesOfEachKind) {
    for (const Kind& k : kinds) {
        windowsDestroyed = adaptorsDestroyed = 0;
        for (int i = 0; i < 1000; ++i) {
            KDocFrame* frame = k.make();
            auto* window = new FrameTestWindow(frame, &cache_);
            frame->showFrame(true);
            window->show();
            EXPECT_TRUE(frame->closeFrame()) << k.name << " " << i;
            if (i % 50 == 0) settle();
        }
        settle();
        EXPECT_EQ(windowsDestroyed, 1000) << k.name;
        EXPECT_EQ(adaptorsDestroyed, 1000) << k.name;
    }
}

}  // namespace
