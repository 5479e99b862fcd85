// MDI windows: the area between the bars, document frames, the MDI operations, Close All, the
// window-list menu, floating tool windows.
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Application.h"
#include "platform/gui/Menu.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"

namespace {

class Doc : public MDIWindow {
public:
    Doc(Window* parent, const char* title) : MDIWindow(parent) {
        setText(title);
        setSizePixel(Size(160, 100));
        show();
    }
    bool closeQuery() override {
        ++asked;
        if (deleteInClose) {
            delete this;  // the frame adaptor's close path
            return true;
        }
        return allowClose;
    }
    void activate() override { ++activations; }
    bool allowClose = true;
    bool deleteInClose = false;
    int asked = 0, activations = 0;
};

gui::test::Step chooseItem(int id) {
    gui::test::Step s;
    s.kind = gui::test::Step::ChooseMenuItem;
    s.answer = id;
    return s;
}

class MdiTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::test::takeFailures();
        frame = std::make_unique<WorkWindow>(nullptr, WB_APP_FRAME);
        frame->setSizePixel(Size(600, 400));
        frame->show();
        Application::setAppWindow(frame.get());
        frame->setClientInsets(30, 20);
    }
    void TearDown() override {
        MDI::setWindowListMenu(nullptr);
        Application::setAppWindow(nullptr);
        frame.reset();
        Application::reschedule();
        EXPECT_TRUE(gui::test::takeFailures().empty());
    }
    QMdiArea* area() const { return static_cast<QWidget*>(frame->getNativeHandle())->findChild<QMdiArea*>(); }
    static QMdiSubWindow* subOf(Window& w) {
        return qobject_cast<QMdiSubWindow*>(static_cast<QWidget*>(w.getNativeHandle())->parentWidget());
    }
    std::unique_ptr<WorkWindow> frame;
};

TEST_F(MdiTest, AreaFillsTheFrameBetweenTheBars) {
    ASSERT_NE(area(), nullptr);
    Rectangle r = frame->getClientRect();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right, 599);
    EXPECT_EQ(r.bottom, 379);
    // The frame's resize moves the area with the bars' heights.
    frame->setSizePixel(Size(500, 300));
    r = frame->getClientRect();
    EXPECT_EQ(r.right, 499);
    EXPECT_EQ(r.bottom, 279);
    // Heights that do not fit or are negative never give a negative area.
    frame->setClientInsets(-5, 1000);
    r = frame->getClientRect();
    EXPECT_TRUE(r.isEmpty() || r.top == 0);
    frame->setClientInsets(0, 0);
    EXPECT_EQ(frame->getClientRect().bottom, 299);
    // Other windows have no area.
    WorkWindow plain(nullptr, WB_FRAME);
    EXPECT_TRUE(plain.getClientRect().isEmpty());
}

TEST_F(MdiTest, DocumentFramesLiveInTheAreaWithTheirOutputSize) {
    Doc a(frame.get(), "Alpha");
    QMdiSubWindow* sub = subOf(a);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->mdiArea(), area());
    EXPECT_EQ(a.getSizePixel(), Size(160, 100));
    a.update();
    ASSERT_NE(a.backBuffer(), nullptr);
    EXPECT_EQ(a.backBuffer()->size(), QSize(160, 100));
    EXPECT_EQ(sub->windowTitle(), QString("Alpha"));
    EXPECT_TRUE(a.isVisible());
    a.setPosPixel(Point(25, 15));
    EXPECT_EQ(a.getPosPixel(), Point(25, 15));
    a.maximize();
    EXPECT_TRUE(a.isMaximized());
    a.restore();
    EXPECT_FALSE(a.isMaximized());
    a.minimize();
    EXPECT_TRUE(a.isMinimized());
    a.restore();
    a.hide();
    EXPECT_FALSE(a.isVisible());
}

TEST_F(MdiTest, CountAndCloseAllAskEveryFrame) {
    Doc* a = new Doc(frame.get(), "A");
    Doc* b = new Doc(frame.get(), "B");
    EXPECT_EQ(Application::getMDIWindowCount(), 2);
    b->allowClose = false;
    EXPECT_FALSE(Application::closeAll());
    EXPECT_EQ(a->asked, 1);
    EXPECT_EQ(b->asked, 1);
    EXPECT_FALSE(a->isVisible());  // closed: hidden, still the program's to delete
    EXPECT_TRUE(b->isVisible());
    b->allowClose = true;
    EXPECT_TRUE(Application::closeAll());
    EXPECT_EQ(a->asked, 1);  // a hidden frame is not asked again
    EXPECT_EQ(b->asked, 2);
    delete a;
    EXPECT_EQ(Application::getMDIWindowCount(), 1);
    delete b;
    EXPECT_EQ(Application::getMDIWindowCount(), 0);
    EXPECT_TRUE(Application::closeAll());
}

TEST_F(MdiTest, FrameDeletedInItsOwnCloseRequest) {
    Doc* a = new Doc(frame.get(), "A");
    a->deleteInClose = true;
    std::unique_ptr<Doc> b = std::make_unique<Doc>(frame.get(), "B");
    a->close();  // a is gone afterwards; AddressSanitizer watches the layer
    Application::reschedule();
    EXPECT_EQ(Application::getMDIWindowCount(), 1);
    // Close All where a frame deletes itself goes on with the next one.
    Doc* c = new Doc(frame.get(), "C");
    c->deleteInClose = true;
    EXPECT_TRUE(Application::closeAll());
    EXPECT_EQ(b->asked, 1);
    Application::reschedule();
    EXPECT_EQ(Application::getMDIWindowCount(), 1);
}

TEST_F(MdiTest, WindowListMenuListsTheFramesAndActivatesTheChosenOne) {
    Doc a(frame.get(), "Alpha");
    Doc b(frame.get(), "Beta & Co");
    PopupMenu window;
    window.insertItem(1351, "~Cascade");
    window.insertItem(1356, "Close ~All");
    int selected = 0;
    window.setSelectHdl(Link([&](void*) { ++selected; return 1L; }));
    MDI::setWindowListMenu(&window);
    b.toTop();
    EXPECT_TRUE(b.isActiveFrame());
    // Filled each time it is about to show, never twice.
    for (int round = 0; round < 2; ++round) {
        emit window.qmenu()->aboutToShow();
        ASSERT_EQ(window.getItemCount(), 5) << "round " << round;
        EXPECT_EQ(window.getItemId(2), 0);  // separator
        EXPECT_EQ(window.getItemId(3), 30000);
        EXPECT_EQ(window.getItemId(4), 30001);
        EXPECT_EQ(window.getItemText(30000), String("~1 Alpha"));
        EXPECT_EQ(window.getItemText(30001), String("~2 Beta & Co"));
        EXPECT_TRUE(window.isItemChecked(30001));
        EXPECT_FALSE(window.isItemChecked(30000));
    }
    int before = a.activations;
    gui::test::setScript({chooseItem(30000)});
    EXPECT_EQ(window.execute(frame.get(), Point(5, 5)), 30000);
    EXPECT_TRUE(a.isActiveFrame());
    EXPECT_FALSE(b.isActiveFrame());
    EXPECT_GT(a.activations, before);
    EXPECT_EQ(selected, 0);  // the layer's items never reach the program's select handler
    // A minimised frame is restored when chosen.
    b.minimize();
    emit window.qmenu()->aboutToShow();
    gui::test::setScript({chooseItem(30001)});
    EXPECT_EQ(window.execute(frame.get(), Point(5, 5)), 30001);
    EXPECT_FALSE(b.isMinimized());
    EXPECT_TRUE(b.isActiveFrame());
    // Hidden frames are not listed; with none left the list and its separator go.
    a.hide();
    b.hide();
    emit window.qmenu()->aboutToShow();
    EXPECT_EQ(window.getItemCount(), 2);
}

struct StripCase { const char* name; void (*op)(); bool across; };

TEST_F(MdiTest, HorizontalAndVerticalSplitTheAreaIntoStrips) {
    Doc a(frame.get(), "A"), b(frame.get(), "B"), c(frame.get(), "C");
    const StripCase cases[] = {{"horizontal", MDI::horizontal, false}, {"vertical", MDI::vertical, true}};
    QSize vs = area()->viewport()->size();
    for (const StripCase& tc : cases) {
        tc.op();
        Doc* docs[] = {&a, &b, &c};
        int edge = 0;
        for (int i = 0; i < 3; ++i) {
            QRect g = subOf(*docs[i])->geometry();
            if (tc.across) {
                EXPECT_EQ(g.left(), edge) << tc.name << " " << i;
                EXPECT_EQ(g.height(), vs.height()) << tc.name;
                edge = g.right() + 1;
            } else {
                EXPECT_EQ(g.top(), edge) << tc.name << " " << i;
                EXPECT_EQ(g.width(), vs.width()) << tc.name;
                edge = g.bottom() + 1;
            }
        }
        EXPECT_EQ(edge, tc.across ? vs.width() : vs.height()) << tc.name;
    }
}

TEST_F(MdiTest, TileCascadeAndArrangeIcons) {
    Doc a(frame.get(), "A"), b(frame.get(), "B"), c(frame.get(), "C"), d(frame.get(), "D");
    Doc* docs[] = {&a, &b, &c, &d};
    QRect view(QPoint(0, 0), area()->viewport()->size());
    MDI::tile();
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(view.contains(subOf(*docs[i])->geometry())) << i;
        for (int j = i + 1; j < 4; ++j)
            EXPECT_FALSE(subOf(*docs[i])->geometry().intersects(subOf(*docs[j])->geometry())) << i << " " << j;
    }
    MDI::cascade();
    for (int i = 1; i < 4; ++i) {
        EXPECT_GT(subOf(*docs[i])->geometry().top(), subOf(*docs[i - 1])->geometry().top()) << i;
        EXPECT_GT(subOf(*docs[i])->geometry().left(), subOf(*docs[i - 1])->geometry().left()) << i;
    }
    a.minimize();
    c.minimize();
    MDI::arrangeIcons();
    QRect ga = subOf(a)->geometry(), gc = subOf(c)->geometry();
    EXPECT_EQ(ga.left(), 0);
    EXPECT_EQ(ga.bottom(), view.bottom());
    EXPECT_EQ(gc.left(), ga.right() + 1);
    EXPECT_EQ(gc.top(), ga.top());
}

TEST_F(MdiTest, FloatingWindowIsAToolWindowOverTheFrame) {
    FloatingWindow palette(frame.get());
    palette.setOutputSizePixel(Size(90, 40));
    auto* peer = static_cast<QWidget*>(palette.getNativeHandle());
    EXPECT_TRUE(peer->isWindow());
    EXPECT_EQ(peer->windowType(), Qt::Tool);
    EXPECT_EQ(peer->parentWidget(), static_cast<QWidget*>(frame->getNativeHandle()));
    EXPECT_EQ(palette.getSizePixel(), Size(90, 40));
    EXPECT_EQ(palette.getParent(), frame.get());
    EXPECT_EQ(Application::getMDIWindowCount(), 0);
}

TEST(MdiWithoutArea, DocumentFrameBecomesATopLevelWindow) {
    ASSERT_EQ(Application::getAppWindow(), nullptr);
    MDIWindow w(nullptr);
    EXPECT_TRUE(static_cast<QWidget*>(w.getNativeHandle())->isWindow());
    EXPECT_EQ(Application::getMDIWindowCount(), 0);
    EXPECT_TRUE(Application::closeAll());
    MDI::tile();  // nothing to do, nothing breaks
    MDI::arrangeIcons();
}

}  // namespace
