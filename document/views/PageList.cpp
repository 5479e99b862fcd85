// The page list of printer formatting.
#include "document/views/PageList.h"

PageList::PageList(const DocumentView& view) : view_(view) { newPage(); }

bool PageList::fits(const ExtentRecord& box, ElementPoint offset) const {
    if (pages_.empty() || pages_.back().boxes == 0) return true;
    const Page& p = pages_.back();
    long long bottom = static_cast<long long>(offset.y) + box.y + box.height;
    return bottom - p.top <= p.usableHeight;
}

void PageList::place(const ExtentRecord& box, ElementPoint offset) {
    if (pages_.empty()) newPage();
    Page& p = pages_.back();
    long long top = static_cast<long long>(offset.y) + box.y;
    if (p.boxes == 0) {
        p.originX = box.x + offset.x;
        p.top = static_cast<std::int32_t>(top);
        p.height = box.height;
    } else {
        long long height = top + box.height - p.top;
        if (height > p.height) p.height = static_cast<std::int32_t>(height);
    }
    if (box.width > p.width) p.width = box.width;
    ++p.boxes;
}

void PageList::newPage() {
    if (!pages_.empty() && pages_.back().boxes == 0) return;
    if (pages_.size() == pages_.capacity()) pages_.reserve(pages_.capacity() + kGrowStep);
    Page p;
    p.usableWidth = view_.availableWidth();
    p.usableHeight = view_.availableHeight();
    pages_.push_back(p);
}

ElementRect PageList::pageRect(int index) const {
    if (index < 0 || index >= count()) return ElementRect{};
    const Page& p = pages_[static_cast<std::size_t>(index)];
    return ElementRect{p.originX, p.top, p.width, p.height};
}
