// Scroll bars over QScrollBar with 16-bit values (rules in ScrollBar.h).
#include "platform/gui/ScrollBar.h"

#include <QEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

#include "platform/gui/Application.h"

namespace {
int clamp16(long v) { return static_cast<int>(std::clamp(v, -32768L, 32767L)); }
}  // namespace

struct ScrollBar::BarImpl : public QObject {
    ScrollBar* self = nullptr;
    QScrollBar* bar = nullptr;
    Link scroll, endScroll;
    long delta = 0;
    int type = SCROLL_DONTKNOW;
    int last = 0;        // position before the current action
    bool programSet = false;  // positions the program sets run no handler
    long visible = 0;

    void moved(int type0) {
        if (programSet) return;
        // actionTriggered comes before the value is set: the slider position is the new one.
        int now = bar->sliderPosition();
        delta = now - last;
        type = type0;
        last = now;
        Link l = scroll;
        gui::guardedCall([&] { l.call(self); });
    }
    void ended() {
        if (programSet) return;
        Link l = endScroll;
        gui::guardedCall([&] { l.call(self); });
    }
    // The bar fills its window.  Releasing the mouse ends every press, on the thumb, an arrow
    // or the track alike.
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Resize && o == bar->parent()) bar->setGeometry(static_cast<QWidget*>(o)->rect());
        if (e->type() == QEvent::MouseButtonRelease && o == bar) ended();
        return false;
    }
};

ScrollBar::ScrollBar(Window* parent, uint32_t style) : Window(parent, style), bar_(std::make_unique<BarImpl>()) {
    auto* peer = static_cast<QWidget*>(getNativeHandle());
    BarImpl* b = bar_.get();
    b->self = this;
    b->bar = new QScrollBar(style == WB_SCROLL_HORZ ? Qt::Horizontal : Qt::Vertical, peer);
    // A new bar has the style's thickness across its direction.
    const int thickness = b->bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, b->bar);
    if (style == WB_SCROLL_HORZ) peer->resize(peer->width(), thickness);
    else peer->resize(thickness, peer->height());
    b->bar->setGeometry(peer->rect());
    b->bar->setRange(0, 0);
    peer->installEventFilter(b);
    b->bar->installEventFilter(b);
    QObject::connect(b->bar, &QAbstractSlider::actionTriggered, b->bar, [b](int action) {
        int t = SCROLL_DONTKNOW;
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: t = SCROLL_LINEUP; break;
        case QAbstractSlider::SliderSingleStepAdd: t = SCROLL_LINEDOWN; break;
        case QAbstractSlider::SliderPageStepSub: t = SCROLL_PAGEUP; break;
        case QAbstractSlider::SliderPageStepAdd: t = SCROLL_PAGEDOWN; break;
        case QAbstractSlider::SliderMove: t = SCROLL_DRAG; break;
        default: t = SCROLL_SET; break;
        }
        b->moved(t);
    });
}

ScrollBar::~ScrollBar() {
    // The bar is a child of the peer: both are gone when Qt deleted the peer first.
    if (auto* peer = static_cast<QWidget*>(getNativeHandle())) {
        peer->removeEventFilter(bar_.get());
        bar_->bar->removeEventFilter(bar_.get());
    }
}

void ScrollBar::setRange(const Range& r) {
    long lo = std::min(r.min, r.max), hi = std::max(r.min, r.max);
    bar_->programSet = true;
    bar_->bar->setRange(clamp16(lo), clamp16(hi));
    bar_->programSet = false;
    bar_->last = bar_->bar->value();
}
Range ScrollBar::getRange() const { return Range(bar_->bar->minimum(), bar_->bar->maximum()); }
void ScrollBar::setThumbPos(long pos) {
    bar_->programSet = true;
    bar_->bar->setValue(clamp16(pos));
    bar_->programSet = false;
    bar_->last = bar_->bar->value();
}
// The slider's position: during an action (inside the scroll handler) it is already the new
// one, while the value follows only after the action.
long ScrollBar::getThumbPos() const { return bar_->bar->sliderPosition(); }
void ScrollBar::setLineSize(long n) { bar_->bar->setSingleStep(std::max(0, clamp16(n))); }
long ScrollBar::getLineSize() const { return bar_->bar->singleStep(); }
void ScrollBar::setPageSize(long n) { bar_->bar->setPageStep(std::max(0, clamp16(n))); }
long ScrollBar::getPageSize() const { return bar_->bar->pageStep(); }
void ScrollBar::setVisibleSize(long n) { bar_->visible = std::max(0, clamp16(n)); }
long ScrollBar::getVisibleSize() const { return bar_->visible; }
long ScrollBar::getDelta() const { return bar_->delta; }
int ScrollBar::getType() const { return bar_->type; }
bool ScrollBar::isVertical() const { return bar_->bar->orientation() == Qt::Vertical; }
void ScrollBar::setScrollHdl(const Link& l) { bar_->scroll = l; }
void ScrollBar::setEndScrollHdl(const Link& l) { bar_->endScroll = l; }

void ScrollBar::doScroll(int type) {
    QAbstractSlider::SliderAction a = QAbstractSlider::SliderNoAction;
    switch (type) {
    case SCROLL_LINEUP: a = QAbstractSlider::SliderSingleStepSub; break;
    case SCROLL_LINEDOWN: a = QAbstractSlider::SliderSingleStepAdd; break;
    case SCROLL_PAGEUP: a = QAbstractSlider::SliderPageStepSub; break;
    case SCROLL_PAGEDOWN: a = QAbstractSlider::SliderPageStepAdd; break;
    default: return;
    }
    bar_->bar->triggerAction(a);
    bar_->ended();
}
