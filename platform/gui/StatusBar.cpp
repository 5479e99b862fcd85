// The status bar: items on the right and a message, drawn by the layer (rules in StatusBar.h).
#include "platform/gui/StatusBar.h"

#include <algorithm>
#include <vector>

namespace {
constexpr long kGap = 4;      // pixels between items and around the text
}  // namespace

struct StatusBar::BarImpl {
    struct Item {
        uint16_t id;
        long width;
        uint16_t align;
        String text;
    };
    std::vector<Item> items;
    bool itemsVisible = true;
    String message;

    Item* find(uint16_t id) {
        for (Item& it : items)
            if (it.id == id) return &it;
        return nullptr;
    }
};

StatusBar::StatusBar(Window* parent, uint32_t style) : Window(parent, style), bar_(std::make_unique<BarImpl>()) {}
StatusBar::~StatusBar() = default;

void StatusBar::insertItem(uint16_t id, long width, uint16_t align, uint16_t) {
    width = std::clamp(width, 0L, 32767L);
    if (BarImpl::Item* it = bar_->find(id)) {
        it->width = width;
        it->align = align;
    } else {
        bar_->items.push_back({id, width, align, String()});
    }
    repaintBar();
}

void StatusBar::removeItem(uint16_t id) {
    std::erase_if(bar_->items, [id](const BarImpl::Item& it) { return it.id == id; });
    repaintBar();
}

uint16_t StatusBar::getItemCount() const { return static_cast<uint16_t>(bar_->items.size()); }

void StatusBar::setItemText(uint16_t id, const String& text) {
    if (BarImpl::Item* it = bar_->find(id)) {
        it->text = text;
        repaintBar();
    }
}

String StatusBar::getItemText(uint16_t id) const {
    BarImpl::Item* it = bar_->find(id);
    return it ? it->text : String();
}

Rectangle StatusBar::getItemRect(uint16_t id) const {
    if (!bar_->itemsVisible) return Rectangle();
    Size out = getOutputSizePixel();
    long right = out.width - 1 - kGap;
    // Items run from the right end leftwards in reverse order of insertion's position.
    for (auto it = bar_->items.rbegin(); it != bar_->items.rend(); ++it) {
        long left = right - it->width + 1;
        if (it->id == id) return Rectangle(left, 1, right, std::max<long>(1, out.height - 2));
        right = left - 1 - kGap;
    }
    return Rectangle();
}

void StatusBar::showItems() {
    bar_->itemsVisible = true;
    repaintBar();
}
void StatusBar::hideItems() {
    bar_->itemsVisible = false;
    repaintBar();
}
bool StatusBar::areItemsVisible() const { return bar_->itemsVisible; }

void StatusBar::setText(const String& text) {
    bar_->message = text;
    repaintBar();
}
String StatusBar::getText() const { return bar_->message; }

Size StatusBar::calcWindowSizePixel() const {
    return Size(getSizePixel().width, getTextHeight() + 2 * kGap);
}

void StatusBar::repaintBar() { invalidate(); }

void StatusBar::paint(const Rectangle& r) {
    erase(r);
    Size out = getOutputSizePixel();
    long textY = std::max<long>(0, (out.height - getTextHeight()) / 2);
    long messageRight = out.width - 1;
    push();
    setPen(Pen(Color(COL_GRAY)));
    setFillInBrush(Brush(Color(COL_WHITE), BRUSH_NULL));
    if (bar_->itemsVisible) {
        for (const BarImpl::Item& it : bar_->items) {
            Rectangle box = getItemRect(it.id);
            if (box.isEmpty()) continue;
            messageRight = std::min(messageRight, box.left - kGap);
            drawRect(box);
            long w = getTextWidth(it.text);
            long x = box.left + kGap;
            if (it.align == SIB_CENTER) x = box.left + (box.right - box.left + 1 - w) / 2;
            else if (it.align == SIB_RIGHT) x = box.right - kGap - w;
            push();
            intersectClipRegion(Rectangle(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1));
            drawText(Point(x, textY), it.text);
            pop();
        }
    }
    if (!bar_->message.isEmpty() && messageRight > kGap) {
        intersectClipRegion(Rectangle(0, 0, messageRight, out.height - 1));
        drawText(Point(kGap, textY), bar_->message);
    }
    pop();
}
