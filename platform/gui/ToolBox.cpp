// Tool boxes: tool buttons in rows on a window of the layer (rules in ToolBox.h).
#include "platform/gui/ToolBox.h"

#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QToolButton>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <vector>

#include "platform/gui/Application.h"
#include "platform/gui/Resource.h"
#include "platform/gui/qt_text.h"

namespace {

constexpr int kSeparatorGap = 6;  // pixels between the groups of a row
constexpr int kMargin = 2;        // around the rows

std::map<int, Bitmap>& images() {
    static std::map<int, Bitmap> m;
    return m;
}

}  // namespace

struct ToolBox::BoxImpl : public QObject {
    struct Item {
        int type = TOOLBOXITEM_BUTTON;
        uint16_t id = 0;
        String text, help;
        Bitmap image;
        QToolButton* button = nullptr;
    };
    ToolBox* self = nullptr;
    std::vector<Item> items;
    Link select, highlight, activate, deactivate;
    uint16_t current = 0;
    Size needed;

    Item* find(uint16_t id) {
        for (Item& it : items)
            if (it.type == TOOLBOXITEM_BUTTON && it.id == id) return &it;
        return nullptr;
    }
    void run(const Link& l) {
        Link copy = l;  // the handler may replace itself
        gui::guardedCall([&] { copy.call(self); });
    }
    // Enter and leave of the box and its buttons.
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Enter) {
            if (o == self->getNativeHandle()) run(activate);
            for (Item& it : items)
                if (it.button == o) {
                    current = it.id;
                    run(highlight);
                    break;
                }
        } else if (e->type() == QEvent::Leave && o == self->getNativeHandle()) {
            run(deactivate);
        }
        return false;
    }
};

ToolBox::ToolBox(Window* parent, uint32_t style) : Window(parent, style), box_(std::make_unique<BoxImpl>()) {
    box_->self = this;
    static_cast<QWidget*>(getNativeHandle())->installEventFilter(box_.get());
    relayout();
}

ToolBox::ToolBox(Window* parent, const ResId& id) : ToolBox(parent) {
    const gui::ToolBoxDesc* desc = gui::findToolBox(id.id);
    if (!desc) throw std::runtime_error("tool-box resource " + std::to_string(id.id) + " not found");
    for (const gui::ToolItemDesc& it : desc->items) {
        if (it.kind == gui::ToolItemDesc::Separator) insertSeparator();
        else if (it.kind == gui::ToolItemDesc::Break) insertBreak();
        else insertItem(static_cast<uint16_t>(it.id), it.text, it.help, it.image ? gui::findImage(it.image) : Bitmap());
    }
}

ToolBox::~ToolBox() {
    if (QWidget* peer = static_cast<QWidget*>(getNativeHandle())) peer->removeEventFilter(box_.get());
    for (BoxImpl::Item& it : box_->items) delete it.button;
}

void ToolBox::insertItem(uint16_t id, const String& text, const String& help, const Bitmap& image) {
    BoxImpl::Item it;
    it.id = id;
    it.text = text;
    it.help = help;
    it.image = image;
    if (QWidget* peer = static_cast<QWidget*>(getNativeHandle())) {
        auto* b = new QToolButton(peer);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolTip(gui::toQString(help));
        b->installEventFilter(box_.get());
        BoxImpl* impl = box_.get();
        QObject::connect(b, &QToolButton::clicked, b, [impl, id, b] {
            // The pressed state is the program's (checkItem): a click does not toggle it.
            if (b->isCheckable()) b->setChecked(!b->isChecked());
            impl->current = id;
            impl->run(impl->select);
        });
        b->show();
        it.button = b;
    }
    box_->items.push_back(std::move(it));
    setItemImage(id, image);  // sets the face and lays the rows out
}

void ToolBox::insertSeparator() {
    box_->items.push_back(BoxImpl::Item{TOOLBOXITEM_SEPARATOR, 0, {}, {}, {}, nullptr});
    relayout();
}

void ToolBox::insertBreak() {
    box_->items.push_back(BoxImpl::Item{TOOLBOXITEM_BREAK, 0, {}, {}, {}, nullptr});
    relayout();
}

void ToolBox::clear() {
    for (BoxImpl::Item& it : box_->items) delete it.button;
    box_->items.clear();
    relayout();
}

void ToolBox::relayout() {
    int x = kMargin, y = kMargin, rowHeight = 0, width = 0;
    for (BoxImpl::Item& it : box_->items) {
        if (it.type == TOOLBOXITEM_BREAK) {
            if (rowHeight > 0) y += rowHeight;
            x = kMargin;
            rowHeight = 0;
        } else if (it.type == TOOLBOXITEM_SEPARATOR) {
            x += kSeparatorGap;
        } else if (it.button) {
            QSize s = it.button->sizeHint();
            it.button->setGeometry(x, y, s.width(), s.height());
            x += s.width();
            rowHeight = std::max(rowHeight, s.height());
        }
        width = std::max(width, x);
    }
    box_->needed = Size(width + kMargin, y + rowHeight + kMargin);
}

Size ToolBox::calcWindowSize() const { return box_->needed; }

uint16_t ToolBox::getItemCount() const { return static_cast<uint16_t>(box_->items.size()); }
int ToolBox::getItemType(uint16_t pos) const {
    return pos < box_->items.size() ? box_->items[pos].type : TOOLBOXITEM_DONTKNOW;
}
uint16_t ToolBox::getItemId(uint16_t pos) const { return pos < box_->items.size() ? box_->items[pos].id : 0; }
uint16_t ToolBox::getItemPos(uint16_t id) const {
    for (std::size_t i = 0; i < box_->items.size(); ++i)
        if (box_->items[i].type == TOOLBOXITEM_BUTTON && box_->items[i].id == id) return static_cast<uint16_t>(i);
    return TOOLBOX_ITEM_NOTFOUND;
}

void ToolBox::checkItem(uint16_t id, bool on) {
    if (BoxImpl::Item* it = box_->find(id); it && it->button) {
        it->button->setCheckable(true);
        it->button->setChecked(on);
    }
}
bool ToolBox::isItemChecked(uint16_t id) const {
    BoxImpl::Item* it = box_->find(id);
    return it && it->button && it->button->isChecked();
}
void ToolBox::enableItem(uint16_t id, bool on) {
    if (BoxImpl::Item* it = box_->find(id); it && it->button) it->button->setEnabled(on);
}
bool ToolBox::isItemEnabled(uint16_t id) const {
    BoxImpl::Item* it = box_->find(id);
    return it && it->button && it->button->isEnabled();
}
void ToolBox::setItemText(uint16_t id, const String& text) {
    if (BoxImpl::Item* it = box_->find(id)) {
        it->text = text;
        setItemImage(id, it->image);
    }
}
String ToolBox::getItemText(uint16_t id) const {
    BoxImpl::Item* it = box_->find(id);
    return it ? it->text : String();
}
String ToolBox::getHelpText(uint16_t id) const {
    BoxImpl::Item* it = box_->find(id);
    return it ? it->help : String();
}

void ToolBox::setItemImage(uint16_t id, const Bitmap& image) {
    BoxImpl::Item* it = box_->find(id);
    if (!it) return;
    it->image = image;
    if (QToolButton* b = it->button) {
        if (image.isEmpty()) {
            b->setIcon(QIcon());
            b->setText(gui::toQString(it->text));
            b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        } else {
            const QImage& img = gui::bitmapImage(image);
            b->setIcon(QIcon(QPixmap::fromImage(img)));
            b->setIconSize(img.size());
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        }
    }
    relayout();
}
Bitmap ToolBox::getItemImage(uint16_t id) const {
    BoxImpl::Item* it = box_->find(id);
    return it ? it->image : Bitmap();
}

Rectangle ToolBox::getItemRect(uint16_t id) const {
    BoxImpl::Item* it = box_->find(id);
    if (!it || !it->button) return Rectangle();
    QRect g = it->button->geometry();
    return Rectangle(g.left(), g.top(), g.right(), g.bottom());
}

void ToolBox::setSelectHdl(const Link& l) { box_->select = l; }
void ToolBox::setHighlightHdl(const Link& l) { box_->highlight = l; }
void ToolBox::setActivateHdl(const Link& l) { box_->activate = l; }
void ToolBox::setDeactivateHdl(const Link& l) { box_->deactivate = l; }
uint16_t ToolBox::getCurItemId() const { return box_->current; }

void ToolBox::click(uint16_t id) {
    if (BoxImpl::Item* it = box_->find(id); it && it->button && it->button->isEnabled()) it->button->click();
}

namespace gui {
void registerImage(int id, const Bitmap& image) { images()[id] = image; }
Bitmap findImage(int id) {
    auto it = images().find(id);
    return it == images().end() ? Bitmap() : it->second;
}
}  // namespace gui
