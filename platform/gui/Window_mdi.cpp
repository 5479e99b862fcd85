// The MDI facet of the windows: the application frame's area, document frames in it, the MDI
// operations, the window-list menu and floating tool windows (rules in Window.h).
#include <QAction>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <vector>

#include "platform/gui/Application.h"
#include "platform/gui/Menu.h"
#include "platform/gui/Window.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/window_private.h"

namespace {

// Marks the items the layer put into the window-list menu (the menu's select handler skips
// them).
const char* const kListProperty = "kelvo-windowlist";

QPointer<QMenu> gListMenu;
QMetaObject::Connection gListConnection;

QMdiArea* appArea() {
    WorkWindow* app = Application::getAppWindow();
    return app ? static_cast<Window*>(app)->win_->mdiArea.data() : nullptr;
}

// The document frames of the area that belong to live windows, in creation order.
std::vector<QMdiSubWindow*> liveFrames(QMdiArea* area) {
    std::vector<QMdiSubWindow*> out;
    if (!area) return out;
    for (QMdiSubWindow* s : area->subWindowList(QMdiArea::CreationOrder))
        if (gui::detail::windowOfPeer(s->widget())) out.push_back(s);
    return out;
}

std::vector<QMdiSubWindow*> shownFrames(QMdiArea* area) {
    std::vector<QMdiSubWindow*> out;
    for (QMdiSubWindow* s : liveFrames(area))
        if (s->isVisible() && !s->isMinimized()) out.push_back(s);
    return out;
}

void fillWindowList() {
    QMenu* menu = gListMenu;
    if (!menu) return;
    for (QAction* a : menu->actions())
        if (a->property(kListProperty).isValid()) {
            menu->removeAction(a);
            delete a;
        }
    QMdiArea* area = appArea();
    std::vector<QMdiSubWindow*> frames;
    for (QMdiSubWindow* s : liveFrames(area))
        if (s->isVisible()) frames.push_back(s);
    if (frames.empty()) return;
    QAction* sep = menu->addSeparator();
    sep->setProperty(kListProperty, true);
    int n = 0;
    for (QMdiSubWindow* s : frames) {
        if (n == MDI::WINDOWLIST_MAX) break;
        // Entries 1 to 9 get their digit as mnemonic.
        QString label = n < 9 ? QStringLiteral("&%1 ").arg(n + 1) : QStringLiteral("%1 ").arg(n + 1);
        label += s->windowTitle().replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* a = new QAction(label, menu);
        a->setData(static_cast<uint>(MDI::WINDOWLIST_FIRST_ID + n));
        a->setProperty(kListProperty, true);
        a->setCheckable(true);
        a->setChecked(area->activeSubWindow() == s);
        QPointer<QMdiSubWindow> target = s;
        QObject::connect(a, &QAction::triggered, menu, [target] {
            if (!target || !target->mdiArea()) return;
            if (target->isMinimized()) target->showNormal();
            target->mdiArea()->setActiveSubWindow(target);
        });
        menu->addAction(a);
        ++n;
    }
}

}  // namespace

namespace gui::detail {

void createMdiArea(Window& frame) {
    Window::WinImpl& m = *frame.win_;
    if (m.mdiArea || !m.peer) return;
    auto* area = new QMdiArea(static_cast<QWidget*>(frame.getNativeHandle()));
    area->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    m.mdiArea = area;
    // Activation of a document frame reaches its window's activate handler.
    QObject::connect(area, &QMdiArea::subWindowActivated, area, [](QMdiSubWindow* s) {
        if (s) dispatchToPeer(s->widget(), [](Window& w) { w.activate(); });
    });
    layoutMdiArea(frame);
    area->show();
}

void layoutMdiArea(Window& frame) {
    Window::WinImpl& m = *frame.win_;
    if (!m.mdiArea || !m.peer) return;
    QWidget* peer = m.mdiArea->parentWidget();
    int barHeight = 0;
    if (m.menuBar) {
        barHeight = std::min(m.menuBar->sizeHint().height(), peer->height());
        m.menuBar->setGeometry(0, 0, peer->width(), barHeight);
    }
    int top = static_cast<int>(std::clamp<long>(barHeight + m.insetTop, 0, peer->height()));
    int bottom = static_cast<int>(std::clamp<long>(m.insetBottom, 0, peer->height() - top));
    m.mdiArea->setGeometry(0, top, peer->width(), peer->height() - top - bottom);
}

void releaseMdiFrame(Window& w) {
    Window::WinImpl& m = *w.win_;
    QMdiSubWindow* sub = m.sub;
    m.sub = nullptr;
    if (!sub) return;
    sub->hide();
    // The peer leaves the sub-window first: its own deletion follows the peer rules (Window.h),
    // and the sub-window may be inside its own close request, so it goes later.
    if (sub->widget()) sub->setWidget(nullptr);
    if (QMdiArea* area = sub->mdiArea()) area->removeSubWindow(sub);
    sub->deleteLater();
}

}  // namespace gui::detail

// ---- WorkWindow (application frame) ----

void WorkWindow::setClientInsets(long top, long bottom) {
    win_->insetTop = std::max(0L, top);
    win_->insetBottom = std::max(0L, bottom);
    gui::detail::layoutMdiArea(*this);
}

void WorkWindow::setAppMenuBar(Menu* menu) {
    Window::WinImpl& m = *win_;
    QWidget* peer = static_cast<QWidget*>(getNativeHandle());
    if (!menu) {
        if (m.menuBar) m.menuBar->deleteLater();
        m.menuBar = nullptr;
    } else if (peer) {
        if (!m.menuBar) m.menuBar = new QMenuBar(peer);
        // The bar shows the menu's own actions: their sub-menus and handlers stay the menu's.
        m.menuBar->clear();
        for (QAction* a : menu->qmenu()->actions()) m.menuBar->addAction(a);
        m.menuBar->show();
    }
    gui::detail::layoutMdiArea(*this);
}

long WorkWindow::getMenuBarHeight() const {
    QMenuBar* bar = win_->menuBar;
    return bar ? bar->height() : 0;
}

Rectangle WorkWindow::getClientRect() const {
    QMdiArea* area = win_->mdiArea;
    if (!area) return Rectangle();
    QRect g = area->geometry();
    if (g.isEmpty()) return Rectangle();
    return Rectangle(g.left(), g.top(), g.right(), g.bottom());
}

// ---- MDIWindow ----

MDIWindow::MDIWindow(Window* parent, uint32_t style) : WorkWindow(parent, style) {
    QMdiArea* area = parent ? parent->win_->mdiArea.data() : nullptr;
    if (!area) area = appArea();
    QWidget* peer = static_cast<QWidget*>(getNativeHandle());
    if (!area || !peer) {
        if (peer) peer->setParent(nullptr, Qt::Window);  // no area: an ordinary top-level window
        return;
    }
    peer->setParent(nullptr);
    QMdiSubWindow* sub = area->addSubWindow(peer);
    // Closing hides the frame; the program deletes the window.
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->hide();
    win_->sub = sub;
}

MDIWindow::~MDIWindow() = default;

bool MDIWindow::isActiveFrame() const {
    QMdiSubWindow* sub = win_->sub;
    return sub && sub->mdiArea() && sub->mdiArea()->activeSubWindow() == sub;
}

// ---- FloatingWindow ----

FloatingWindow::FloatingWindow(Window* parent, uint32_t style) : Window(nullptr, style) {
    QWidget* peer = static_cast<QWidget*>(getNativeHandle());
    QWidget* owner = nullptr;
    if (parent && parent->getNativeHandle()) owner = static_cast<QWidget*>(parent->getNativeHandle())->window();
    else if (WorkWindow* app = Application::getAppWindow(); app && app->getNativeHandle())
        owner = static_cast<QWidget*>(app->getNativeHandle());
    // A tool window with a parent floats over it and hides with it.
    peer->setParent(owner, Qt::Tool);
    win_->parent = parent;
}

// ---- Application and the MDI operations ----

int Application::getMDIWindowCount() { return static_cast<int>(liveFrames(appArea()).size()); }

bool Application::closeAll() {
    std::vector<QPointer<QMdiSubWindow>> frames;
    for (QMdiSubWindow* s : liveFrames(appArea())) frames.emplace_back(s);
    for (const QPointer<QMdiSubWindow>& s : frames) {
        if (!s || !gui::detail::windowOfPeer(s->widget())) continue;  // gone meanwhile
        if (!s->isVisible()) continue;
        s->close();
        // A frame still shown with its window alive refused.
        if (s && gui::detail::windowOfPeer(s->widget()) && s->isVisible()) return false;
    }
    return true;
}

namespace MDI {

void cascade() {
    if (QMdiArea* a = appArea()) a->cascadeSubWindows();
}

void tile() {
    if (QMdiArea* a = appArea()) a->tileSubWindows();
}

namespace {
// Splits the area into equal strips, one per shown frame; `across` puts them side by side.
void strips(bool across) {
    QMdiArea* area = appArea();
    if (!area) return;
    std::vector<QMdiSubWindow*> frames = shownFrames(area);
    if (frames.empty()) return;
    QSize vs = area->viewport()->size();
    int n = static_cast<int>(frames.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* s = frames[i];
        if (s->isMaximized()) s->showNormal();
        if (across) {
            int x0 = vs.width() * i / n, x1 = vs.width() * (i + 1) / n;
            s->setGeometry(x0, 0, x1 - x0, vs.height());
        } else {
            int y0 = vs.height() * i / n, y1 = vs.height() * (i + 1) / n;
            s->setGeometry(0, y0, vs.width(), y1 - y0);
        }
    }
}
}  // namespace

void horizontal() { strips(false); }
void vertical() { strips(true); }

void arrangeIcons() {
    QMdiArea* area = appArea();
    if (!area) return;
    QSize vs = area->viewport()->size();
    int x = 0, y = -1;
    for (QMdiSubWindow* s : liveFrames(area)) {
        if (!s->isVisible() || !s->isMinimized()) continue;
        QSize sz = s->size();
        if (y < 0) y = vs.height() - sz.height();
        if (x > 0 && x + sz.width() > vs.width()) {  // the row is full: next row above
            x = 0;
            y -= sz.height();
        }
        s->move(x, std::max(0, y));
        x += sz.width();
    }
}

void setWindowListMenu(Menu* menu) {
    if (gListConnection) QObject::disconnect(gListConnection);
    gListMenu = menu ? menu->qmenu() : nullptr;
    if (gListMenu) gListConnection = QObject::connect(gListMenu.data(), &QMenu::aboutToShow, gListMenu.data(), fillWindowList);
}

}  // namespace MDI
