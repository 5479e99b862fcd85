// Windows: the Qt peer, the back buffer, events and window operations (rules in Window.h).
#include "platform/gui/Window.h"

#include <QIcon>
#include <QPixmap>
#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>
#include <QWidget>

#include <cmath>

#include "platform/gui/Application.h"
#include "platform/gui/DragServer.h"
#include "platform/gui/gui_test.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/window_private.h"

namespace {

uint16_t modifiersOf(Qt::KeyboardModifiers m) {
    uint16_t r = 0;
    if (m & Qt::ShiftModifier) r |= KEY_SHIFT;
    if (m & Qt::ControlModifier) r |= KEY_MOD1;
    if (m & Qt::AltModifier) r |= KEY_MOD2;
    return r;
}

uint16_t buttonsOf(Qt::MouseButtons b) {
    uint16_t r = 0;
    if (b & Qt::LeftButton) r |= MOUSE_LEFT;
    if (b & Qt::MiddleButton) r |= MOUSE_MIDDLE;
    if (b & Qt::RightButton) r |= MOUSE_RIGHT;
    return r;
}

uint16_t keyCodeOf(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint16_t>(KEY_0 + (key - Qt::Key_0));
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<uint16_t>(KEY_A + (key - Qt::Key_A));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<uint16_t>(KEY_F1 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Down: return KEY_DOWN;
    case Qt::Key_Up: return KEY_UP;
    case Qt::Key_Left: return KEY_LEFT;
    case Qt::Key_Right: return KEY_RIGHT;
    case Qt::Key_Home: return KEY_HOME;
    case Qt::Key_End: return KEY_END;
    case Qt::Key_PageUp: return KEY_PAGEUP;
    case Qt::Key_PageDown: return KEY_PAGEDOWN;
    case Qt::Key_Return: case Qt::Key_Enter: return KEY_RETURN;
    case Qt::Key_Escape: return KEY_ESCAPE;
    case Qt::Key_Tab: case Qt::Key_Backtab: return KEY_TAB;
    case Qt::Key_Backspace: return KEY_BACKSPACE;
    case Qt::Key_Space: return KEY_SPACE;
    case Qt::Key_Insert: return KEY_INSERT;
    case Qt::Key_Delete: return KEY_DELETE;
    case Qt::Key_Pause: case Qt::Key_Cancel: return KEY_BREAK;
    default: return KEY_OTHER;
    }
}

int functionOf(QKeyEvent* e) {
    static const QKeySequence::StandardKey keys[] = {
        QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste, QKeySequence::Undo,
        QKeySequence::Redo, QKeySequence::New, QKeySequence::Open, QKeySequence::Save,
        QKeySequence::Print, QKeySequence::Close, QKeySequence::Quit, QKeySequence::Find,
    };
    for (int i = 0; i < 12; ++i)
        if (e->matches(keys[i])) return i + 1;
    return KEYFUNC_DONTKNOW;
}

}  // namespace

namespace gui::detail {

Qt::CursorShape pointerShape(int id) {
    switch (id) {
    case 1: return Qt::WaitCursor;
    case 3: return Qt::IBeamCursor;
    case 1000: return Qt::DragMoveCursor;
    case 1001: return Qt::DragCopyCursor;
    case 1002: return Qt::SizeVerCursor;
    case 1003: return Qt::SizeHorCursor;
    case 1004: return Qt::SizeBDiagCursor;
    case 1005: return Qt::SizeFDiagCursor;
    case 1006: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
    }
}

}  // namespace gui::detail

// The Qt peer of a Window.  It forwards events while attached and owns nothing of the window.
class WindowPeer : public QWidget {
public:
    WindowPeer(Window* owner, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), owner_(owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setAcceptDrops(true);
    }
    ~WindowPeer() override;

    void detach() {
        owner_ = nullptr;
        if (depth_ == 0) delete this;
        else deleteLater();  // the outermost handler on this peer is still running
    }
    Window* owner() const { return owner_; }
    bool busy() const { return depth_ > 0; }

    // Runs program code for an event; false when the window is gone afterwards.
    template <typename F>
    bool dispatch(F&& f) {
        if (!owner_) return false;
        ++depth_;
        gui::guardedCall(std::forward<F>(f));
        --depth_;
        return owner_ != nullptr;
    }

    bool blitPending = false;
    bool caretOn = true;
    QTimer* blink = nullptr;
    // Click counting: Qt reports only double clicks.
    QPoint lastPress;
    qint64 lastPressMs = -1;
    int clicks = 0;
    Qt::MouseButton lastButton = Qt::NoButton;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent*) override;
    void moveEvent(QMoveEvent*) override { dispatch([this] { owner_->move(); }); }
    void mouseMoveEvent(QMouseEvent* e) override {
        MouseEvent me(Point(e->position().x(), e->position().y()), 0, buttonsOf(e->buttons()), modifiersOf(e->modifiers()));
        dispatch([&] { owner_->mouseMove(me); });
    }
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        MouseEvent me(Point(e->position().x(), e->position().y()), static_cast<uint16_t>(clicks),
                      buttonsOf(e->button()), modifiersOf(e->modifiers()));
        dispatch([&] { owner_->mouseButtonUp(me); });
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_F1 && e->modifiers() == Qt::NoModifier) {
            dispatch([this] { owner_->requestHelp(); });
            return;
        }
        uint16_t code = static_cast<uint16_t>(keyCodeOf(e->key()) | modifiersOf(e->modifiers()));
        if (e->key() == Qt::Key_Backtab) code |= KEY_SHIFT;
        String text = gui::fromQString(e->text());
        uint8_t ch = text.len() == 1 ? text[0] : 0;
        uint16_t bare = code & KEY_CODE_MASK;
        if (ch < 0x20 && ch != 0 && bare != KEY_RETURN && bare != KEY_TAB && bare != KEY_BACKSPACE &&
            bare != KEY_ESCAPE)
            ch = 0;  // control characters of Ctrl+letter travel as the key code alone
        KeyEvent ke(ch, code, e->isAutoRepeat(), functionOf(e));
        dispatch([&] { owner_->keyInput(ke); });
    }
    bool focusNextPrevChild(bool) override { return false; }  // Tab reaches the program
    void focusInEvent(QFocusEvent*) override {
        caretOn = true;
        dispatch([this] { owner_->getFocus(); });
        update();
    }
    void focusOutEvent(QFocusEvent*) override {
        dispatch([this] { owner_->loseFocus(); });
        update();
    }
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::ActivationChange && isActiveWindow() && isWindow())
            dispatch([this] { owner_->activate(); });
        QWidget::changeEvent(e);
    }
    void dragEnterEvent(QDragEnterEvent* e) override { askDrop(e, false); }
    void dragMoveEvent(QDragMoveEvent* e) override { askDrop(e, false); }
    void dropEvent(QDropEvent* e) override { askDrop(e, true); }
    void closeEvent(QCloseEvent* e) override {
        bool allow = true;
        if (!dispatch([&] { allow = owner_->closeQuery(); }) && owner_ == nullptr) {
            e->ignore();  // deleted during its close request: the peer goes with it
            return;
        }
        if (allow) e->accept();
        else e->ignore();
    }

private:
    // Asks the program about a drop arriving here (queryDrop) or carries it out (drop), with the
    // drag's data readable through DragServer meanwhile.
    void askDrop(QDropEvent* e, bool isDrop) {
        const Qt::DropActions possible = e->possibleActions();
        bool copy = (e->modifiers() & Qt::ControlModifier) || !(possible & Qt::MoveAction);
        if (copy && !(possible & Qt::CopyAction)) {
            e->ignore();
            return;
        }
        MouseEvent me(Point(std::lround(e->position().x()), std::lround(e->position().y())), copy ? DROP_COPY : DROP_MOVE,
                      MOUSE_LEFT, modifiersOf(e->modifiers()));
        bool taken = false;
        {
            gui::detail::IncomingDragScope scope(e->mimeData());
            dispatch([&] { taken = isDrop ? owner_->drop(me) : owner_->queryDrop(me); });
        }
        if (taken) {
            e->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
            e->accept();
        } else {
            e->ignore();
        }
    }

    Window* owner_;
    int depth_ = 0;
};


WindowPeer::~WindowPeer() {
    // Qt deletes a child peer with its parent: the window then has none.
    if (owner_) owner_->win_->peer = nullptr;
}

namespace {

QColor bgColor(const Window& w) {
    const Color& c = w.getBackgroundBrush().color;
    return QColor(c.red8(), c.green8(), c.blue8());
}

// Lets the program paint every pending area into the back buffer.
void paintPending(Window& w, Window::WinImpl& m) {
    if (m.painting || m.pending.isEmpty() || m.buffer.isNull()) return;
    m.painting = true;
    QRegion todo = m.pending.intersected(QRect(QPoint(0, 0), m.buffer.size()));
    m.pending = QRegion();
    WindowPeer* peer = m.peer;
    for (const QRect& r : todo) {
        Rectangle rect(r.left(), r.top(), r.right(), r.bottom());
        if (!peer || !peer->dispatch([&] { w.paint(rect); })) return;  // deleted while painting
    }
    m.painting = false;
}

}  // namespace

void WindowPeer::paintEvent(QPaintEvent* e) {
    if (!owner_) return;
    Window& w = *owner_;
    Window::WinImpl& m = *w.win_;
    ++depth_;
    paintPending(w, m);
    --depth_;
    if (!owner_) return;
    w.flushDrawing();
    blitPending = false;
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(e->rect().topLeft(), m.buffer, e->rect());
    Cursor* c = m.caret;
    if (c && c->isVisible() && hasFocus() && caretOn) {
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.fillRect(QRect(c->getPos().x, c->getPos().y, c->getSize().width, c->getSize().height), Qt::black);
    }
}

void WindowPeer::resizeEvent(QResizeEvent*) {
    if (!owner_) return;
    Window::WinImpl& m = *owner_->win_;
    owner_->flushDrawing();
    QSize s = size();
    if (s != m.buffer.size()) {
        QImage next(std::max(s.width(), 1), std::max(s.height(), 1), QImage::Format_RGB32);
        next.setDevicePixelRatio(1.0);
        next.fill(bgColor(*owner_));
        m.buffer = std::move(next);
        m.pending = QRegion(QRect(QPoint(0, 0), s));
    }
    dispatch([this] { owner_->resize(); });
    if (owner_ && owner_->win_->mdiArea) gui::detail::layoutMdiArea(*owner_);
}

void WindowPeer::mousePressEvent(QMouseEvent* e) {
    qint64 now = QDateTime::currentMSecsSinceEpoch();
    QPoint pos = e->position().toPoint();
    int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    int distance = QGuiApplication::styleHints()->mouseDoubleClickDistance();
    if (lastPressMs >= 0 && now - lastPressMs <= interval && e->button() == lastButton &&
        (pos - lastPress).manhattanLength() <= distance)
        clicks = clicks >= 3 ? 1 : clicks + 1;
    else
        clicks = 1;
    lastPress = pos;
    lastPressMs = now;
    lastButton = e->button();
    MouseEvent me(Point(pos.x(), pos.y()), static_cast<uint16_t>(clicks), buttonsOf(e->button()),
                  modifiersOf(e->modifiers()));
    if (owner_) {
        // A single click first paints pending areas.
        ++depth_;
        paintPending(*owner_, *owner_->win_);
        --depth_;
    }
    dispatch([&] { owner_->mouseButtonDown(me); });
}

// ---- Window ----

Window::Window(Window* parent, uint32_t style) : OutputDevice(OUTDEV_WINDOW), win_(new WinImpl) {
    gui::ensureApplication();
    win_->parent = parent;
    win_->style = style;
    QWidget* parentPeer = parent ? parent->win_->peer : nullptr;
    Qt::WindowFlags flags;
    if (!parentPeer) {
        flags = Qt::Window;
        if (style == WB_CHILD_PLAIN || style == WB_POPUP_FRAME) flags |= Qt::FramelessWindowHint;
    }
    win_->peer = new WindowPeer(this, parentPeer, flags);
    setBackgroundBrush(Brush(Color(COL_WHITE)));
}

Window::~Window() {
    if (win_->caret) win_->caret->window_ = nullptr;
    gui::detail::releaseMdiFrame(*this);
    if (win_->peer) {
        WindowPeer* peer = win_->peer;
        win_->peer = nullptr;
        peer->hide();
        peer->detach();
    }
    flushDrawing();
    delete win_;
}

void Window::mouseMove(const MouseEvent&) {}
void Window::mouseButtonDown(const MouseEvent&) {}
void Window::mouseButtonUp(const MouseEvent&) {}
void Window::keyInput(const KeyEvent& e) {
    if (win_->parent) win_->parent->keyInput(e);
}
void Window::paint(const Rectangle& r) { erase(r); }
void Window::resize() {}
void Window::move() {}
void Window::getFocus() {}
void Window::loseFocus() {}
void Window::requestHelp() {}
bool Window::drop(const MouseEvent&) { return false; }
bool Window::queryDrop(const MouseEvent&) { return false; }

namespace {

// A scripted drag: the next step names the target and point (test mode; offscreen has no drag).
int scriptedDrag(Window& source, int allowed) {
    gui::test::Step step;
    if (!gui::test::takeStepFor(gui::test::Step::DropAt, "drag", "", step) ||
        step.kind == gui::test::Step::CancelDialog)
        return 0;
    bool copy = step.state == 1 || !(allowed & DRAG_MOVE);
    if (copy && !(allowed & DRAG_COPY)) return 0;
    Window* target = step.dropTarget ? step.dropTarget : &source;
    QWidget* peer = static_cast<QWidget*>(target->getNativeHandle());
    if (!peer) return 0;
    MouseEvent me(step.point, copy ? DROP_COPY : DROP_MOVE, MOUSE_LEFT, copy ? KEY_MOD1 : 0);
    const QMimeData* data = gui::detail::outgoingDragData();
    bool taken = false;
    {
        gui::detail::IncomingDragScope scope(data);
        if (!gui::detail::dispatchToPeer(peer, [&](Window& w) { taken = w.queryDrop(me); }) || !taken) return 0;
        taken = false;
        peer = static_cast<QWidget*>(target->getNativeHandle());
        if (!peer || !gui::detail::dispatchToPeer(peer, [&](Window& w) { taken = w.drop(me); }) || !taken) return 0;
    }
    return copy ? DRAG_COPY : DRAG_MOVE;
}

}  // namespace

int Window::startDrag(const Pointer& movePointer, const Pointer& copyPointer, int allowedActions) {
    if (!(allowedActions & (DRAG_COPY | DRAG_MOVE))) return 0;
    gui::LoopScope scope(gui::LoopKind::Modal, nullptr);
    int result = 0;
    if (gui::test::isActive()) {
        result = scriptedDrag(*this, allowedActions);
    } else if (win_->peer) {
        // QDrag owns the data it carries: hand it a copy, so the program's data stays readable.
        const QMimeData* src = gui::detail::outgoingDragData();
        auto* data = new QMimeData;
        for (const QString& f : src->formats()) data->setData(f, src->data(f));
        QDrag drag(win_->peer);
        drag.setMimeData(data);
        for (auto [pointer, action] : {std::pair{movePointer, Qt::MoveAction}, std::pair{copyPointer, Qt::CopyAction}}) {
            QPixmap pm = QCursor(gui::detail::pointerShape(pointer.getId())).pixmap();
            if (!pm.isNull()) drag.setDragCursor(pm, action);
        }
        Qt::DropActions allowed;
        if (allowedActions & DRAG_COPY) allowed |= Qt::CopyAction;
        if (allowedActions & DRAG_MOVE) allowed |= Qt::MoveAction;
        Qt::DropAction done = drag.exec(allowed, (allowed & Qt::MoveAction) ? Qt::MoveAction : Qt::CopyAction);
        result = done == Qt::CopyAction ? DRAG_COPY : done == Qt::MoveAction ? DRAG_MOVE : 0;
    }
    scope.rethrowIfFailed();
    return result;
}
void Window::activate() {}
bool Window::closeQuery() { return true; }

QPaintDevice* Window::paintTarget() const { return win_->buffer.isNull() ? nullptr : &win_->buffer; }
QImage* Window::imageTarget() const { return win_->buffer.isNull() ? nullptr : &win_->buffer; }
const QImage* Window::backBuffer() const { return imageTarget(); }

void Window::touched() const {
    WindowPeer* p = win_->peer;
    if (p && !p->blitPending) {
        p->blitPending = true;
        p->update();
    }
}

void Window::show(bool visible) {
    if (!win_->peer) return;
    if (win_->sub) {
        win_->peer->setVisible(visible);
        win_->sub->setVisible(visible);
        return;
    }
    if (visible) {
        win_->peer->show();
        // A window shown with no size yet gets its buffer at its first resize event.
    } else {
        win_->peer->hide();
    }
}
bool Window::isVisible() const { return win_->peer && gui::detail::frameWidget(*this)->isVisible(); }

void Window::update() {
    WindowPeer* p = win_->peer;
    if (!p) return;
    if (win_->buffer.size() != p->size() && p->width() > 0 && p->height() > 0) {
        QResizeEvent ev(p->size(), win_->buffer.size());
        QCoreApplication::sendEvent(p, &ev);
        if (!win_->peer) return;
    }
    paintPending(*this, *win_);
    if (win_->peer) win_->peer->update();
}

void Window::invalidate(const Rectangle& r) {
    Rectangle j = r;
    if (j.isEmpty()) return;
    j.justify();
    QRect q(QPoint(j.left, j.top), QPoint(j.right, j.bottom));
    win_->pending += q;
    if (win_->peer) win_->peer->update(q);
}

void Window::invalidate() {
    WindowPeer* p = win_->peer;
    QSize s = p ? p->size() : win_->buffer.size();
    win_->pending += QRect(QPoint(0, 0), s);
    if (p) p->update();
}

void Window::invalidateAll() {
    invalidate();
    if (!win_->peer) return;
    for (QObject* o : win_->peer->children())
        if (auto* child = dynamic_cast<WindowPeer*>(o); child && child->owner()) child->owner()->invalidateAll();
}

void Window::scroll(long dx, long dy, const Rectangle& area) {
    if (win_->buffer.isNull() || (dx == 0 && dy == 0)) return;
    flushDrawing();
    QRect a = area.isEmpty() ? QRect(QPoint(0, 0), win_->buffer.size())
                             : QRect(QPoint(area.left, area.top), QPoint(area.right, area.bottom)).normalized();
    a &= QRect(QPoint(0, 0), win_->buffer.size());
    if (a.isEmpty()) return;
    QImage copy = win_->buffer.copy(a);
    {
        QPainter p(&win_->buffer);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.setClipRect(a);
        p.fillRect(a, bgColor(*this));
        p.drawImage(a.topLeft() + QPoint(static_cast<int>(dx), static_cast<int>(dy)), copy);
    }
    QRegion exposed = QRegion(a).subtracted(QRegion(a.translated(static_cast<int>(dx), static_cast<int>(dy))));
    win_->pending = win_->pending.translated(static_cast<int>(dx), static_cast<int>(dy)).united(exposed);
    if (win_->peer) win_->peer->update(a);
}

void Window::setPosPixel(const Point& p) { if (win_->peer) gui::detail::frameWidget(*this)->move(p.x, p.y); }
Point Window::getPosPixel() const {
    if (!win_->peer) return Point();
    QWidget* f = gui::detail::frameWidget(*this);
    QPoint q = f->isWindow() ? f->frameGeometry().topLeft() : f->pos();
    return Point(q.x(), q.y());
}
void Window::setSizePixel(const Size& s) {
    if (!win_->peer) return;
    QSize want(std::max<int32_t>(s.width, 0), std::max<int32_t>(s.height, 0));
    if (QMdiSubWindow* sub = win_->sub) {
        // The size is the output area's: the sub-window adds its own frame around it.
        if (sub->layout()) sub->layout()->activate();
        QSize frame = sub->size() - win_->peer->size();
        if (frame.width() < 0 || frame.height() < 0) frame = QSize(0, 0);
        sub->resize(want + frame);
        if (sub->layout()) sub->layout()->activate();
    }
    win_->peer->resize(want);
    if (!win_->peer->isVisible()) {
        // Hidden widgets get no resize event until shown: keep the buffer in step now.
        QResizeEvent ev(win_->peer->size(), win_->buffer.size());
        QCoreApplication::sendEvent(win_->peer, &ev);
    }
}
Size Window::getSizePixel() const {
    if (!win_->peer) return Size();
    return Size(win_->peer->width(), win_->peer->height());
}
void Window::setPosSizePixel(const Point& p, const Size& s) {
    setPosPixel(p);
    setSizePixel(s);
}

void Window::setText(const String& text) {
    if (!win_->peer) return;
    win_->peer->setWindowTitle(gui::toQString(text));
    if (win_->sub) win_->sub->setWindowTitle(gui::toQString(text));
}
String Window::getText() const { return win_->peer ? gui::fromQString(win_->peer->windowTitle()) : String(); }

void Window::toTop() {
    if (!win_->peer) return;
    if (QMdiSubWindow* sub = win_->sub) {
        sub->raise();
        if (sub->mdiArea()) sub->mdiArea()->setActiveSubWindow(sub);
        return;
    }
    win_->peer->raise();
    win_->peer->activateWindow();
}
void Window::grabFocus() {
    if (!win_->peer) return;
    win_->peer->window()->activateWindow();
    win_->peer->setFocus(Qt::OtherFocusReason);
}
bool Window::hasFocus() const { return win_->peer && win_->peer->hasFocus(); }
void Window::enableInput(bool on) { if (win_->peer) win_->peer->setEnabled(on); }
bool Window::isInputEnabled() const { return win_->peer && win_->peer->isEnabled(); }
void Window::captureMouse() { if (win_->peer && win_->peer->isVisible()) win_->peer->grabMouse(); }
void Window::releaseMouse() { if (win_->peer) win_->peer->releaseMouse(); }
void Window::setPointer(const Pointer& p) {
    win_->pointer = p;
    if (win_->peer) win_->peer->setCursor(QCursor(gui::detail::pointerShape(p.getId())));
}
const Pointer& Window::getPointer() const { return win_->pointer; }

void Window::setCursor(Cursor* c) {
    if (win_->caret == c) return;
    if (win_->caret) win_->caret->window_ = nullptr;
    win_->caret = c;
    if (c) {
        if (c->window_ && c->window_ != this) c->window_->win_->caret = nullptr;
        c->window_ = this;
    }
    WindowPeer* p = win_->peer;
    if (p && c && !p->blink) {
        p->blink = new QTimer(p);
        int flash = QGuiApplication::styleHints()->cursorFlashTime();
        p->blink->setInterval(flash > 0 ? flash / 2 : 500);
        QObject::connect(p->blink, &QTimer::timeout, p, [p] {
            p->caretOn = !p->caretOn;
            if (p->hasFocus()) p->update();
        });
        p->blink->start();
    }
    if (p) p->update();
}
Cursor* Window::getCursor() const { return win_->caret; }

Palette Window::setPalette(const Palette& p) {
    Palette old = win_->palette;
    win_->palette = p;
    return old;
}

Point Window::outputToScreenPixel(const Point& p) const {
    if (!win_->peer) return p;
    QPoint g = win_->peer->mapToGlobal(QPoint(p.x, p.y));
    return Point(g.x(), g.y());
}

void* Window::getNativeHandle() const { return win_->peer; }

void Window::setParent(Window* parent) {
    win_->parent = parent;
    if (!win_->peer) return;
    bool visible = win_->peer->isVisible();
    win_->peer->setParent(parent ? parent->win_->peer : nullptr,
                          parent ? Qt::WindowFlags() : Qt::WindowFlags(Qt::Window));
    if (visible) win_->peer->show();
}
Window* Window::getParent() const { return win_->parent; }

bool Window::close() {
    if (!win_->peer) return false;
    return gui::detail::frameWidget(*this)->close();
}

uint32_t Window::getStyle() const { return win_->style; }

// ---- Cursor ----

Cursor::~Cursor() {
    if (window_) window_->setCursor(nullptr);
}
void Cursor::repaint() {
    if (window_ && window_->getNativeHandle()) static_cast<QWidget*>(window_->getNativeHandle())->update();
}
void Cursor::setSize(const Size& s) { size_ = s; repaint(); }
void Cursor::setPos(const Point& p) { pos_ = p; repaint(); }
void Cursor::show() { visible_ = true; repaint(); }
void Cursor::hide() { visible_ = false; repaint(); }

// ---- WorkWindow ----

WorkWindow::WorkWindow(Window* parent, uint32_t style) : Window(parent, style) {
    if (style == WB_APP_FRAME) gui::detail::createMdiArea(*this);
}
bool WorkWindow::isMinimized() const {
    return getNativeHandle() && gui::detail::frameWidget(*this)->isMinimized();
}
bool WorkWindow::isMaximized() const {
    return getNativeHandle() && gui::detail::frameWidget(*this)->isMaximized();
}
void WorkWindow::minimize() { if (getNativeHandle()) gui::detail::frameWidget(*this)->showMinimized(); }
void WorkWindow::maximize() { if (getNativeHandle()) gui::detail::frameWidget(*this)->showMaximized(); }
void WorkWindow::setIcon(const Icon& icon) {
    if (!getNativeHandle()) return;
    gui::detail::frameWidget(*this)->setWindowIcon(
        icon.isEmpty() ? QIcon() : QIcon(QPixmap::fromImage(gui::bitmapImage(icon.getImage()))));
}
void WorkWindow::restore() { if (getNativeHandle()) gui::detail::frameWidget(*this)->showNormal(); }

// ---- private helpers shared with the other window facets ----

namespace gui::detail {

QWidget* frameWidget(const Window& w) {
    if (w.win_->sub) return w.win_->sub;
    return w.win_->peer;
}

bool dispatchToPeer(QWidget* peer, const std::function<void(Window&)>& f) {
    auto* p = dynamic_cast<WindowPeer*>(peer);
    if (!p || !p->owner()) return false;
    return p->dispatch([&] { f(*p->owner()); });
}

Window* windowOfPeer(QWidget* peer) {
    auto* p = dynamic_cast<WindowPeer*>(peer);
    return p ? p->owner() : nullptr;
}

bool peerBusy(QWidget* peer) {
    auto* p = dynamic_cast<WindowPeer*>(peer);
    return p && p->busy();
}

}  // namespace gui::detail
