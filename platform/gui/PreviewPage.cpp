// The print-preview page window (PreviewPage.h).
#include "platform/gui/PreviewPage.h"

#include <algorithm>

#include "platform/gui/Printer.h"

namespace {

// Letter, for a preview without a printer.
constexpr long kLetterWidthTwips = 12240, kLetterHeightTwips = 15840;
// Twips per inch and the screen resolution pages are shown at.
constexpr long long kTwipsPerInch = 1440, kScreenDpi = 96;

}  // namespace

PreviewPage::PreviewPage(Window* parent, uint32_t style) : Window(parent, style) {}
PreviewPage::~PreviewPage() = default;

void PreviewPage::setPrinter(Printer* printer) {
    printer_ = printer;
    invalidate();
}

void PreviewPage::setPageNumber(long page) {
    page = std::max(1L, page);
    if (page == page_) return;
    page_ = page;
    invalidate();
    pageChanged_.call(this);
}

void PreviewPage::setZoom(const Fraction& zoom) {
    zoom_ = zoom.den > 0 && zoom.num > 0 ? zoom : Fraction(0, 1);
    if (isWholePage()) origin_ = Point();
    invalidate();
}

void PreviewPage::setOrigin(const Point& twips) {
    origin_ = isWholePage() ? Point() : twips;
    invalidate();
}

Size PreviewPage::getPageSizeTwips() const {
    Size s = printer_ ? printer_->getPaperSizeTwips() : Size();
    if (s.width <= 0 || s.height <= 0) s = Size(kLetterWidthTwips, kLetterHeightTwips);
    return s;
}

Size PreviewPage::fitInto(const Size& area) const {
    if (area.width <= 0 || area.height <= 0) return Size();
    const Size paper = getPageSizeTwips();
    // The larger page that fits: compare area.w / paper.w with area.h / paper.h.
    long long w = area.width, h = area.height;
    if (w * paper.height > h * paper.width) w = std::max(1LL, h * paper.width / paper.height);
    else h = std::max(1LL, w * paper.height / paper.width);
    return Size(w, h);
}

Size PreviewPage::getPageSizePixel() const {
    if (isWholePage()) return fitInto(getSizePixel());
    const Size paper = getPageSizeTwips();
    auto px = [&](long twips) {
        long long v = static_cast<long long>(twips) * kScreenDpi * zoom_.num / (kTwipsPerInch * zoom_.den);
        return std::clamp<long long>(v, 1, 32767);
    };
    return Size(px(paper.width), px(paper.height));
}

Size PreviewPage::calcWindowSizePixel(const Size& area) const {
    if (isWholePage()) return fitInto(area);
    Size page = getPageSizePixel();
    return Size(std::min<long>(page.width, std::max<int32_t>(area.width, 0)),
                std::min<long>(page.height, std::max<int32_t>(area.height, 0)));
}

Size PreviewPage::getVisibleSizeTwips() const {
    const Size paper = getPageSizeTwips();
    if (isWholePage()) return paper;
    const Size page = getPageSizePixel();
    const Size window = getSizePixel();
    auto twips = [](long pixels, long pagePixels, long paperTwips) {
        const long long v = static_cast<long long>(std::clamp<long>(pixels, 0, pagePixels)) * paperTwips / pagePixels;
        return std::min<long long>(v, paperTwips);
    };
    return Size(twips(window.width, page.width, paper.width), twips(window.height, page.height, paper.height));
}

void PreviewPage::paint(const Rectangle& r) {
    push();
    setMapMode(MapMode());
    erase(r);
    const Size page = getPageSizePixel();
    const Size paper = getPageSizeTwips();
    if (page.width <= 0 || page.height <= 0) {
        pop();
        return;
    }
    // Pixel position of the page's top left: the origin (twips) scrolled off to the top left.
    const long long offX = static_cast<long long>(origin_.x) * page.width / paper.width;
    const long long offY = static_cast<long long>(origin_.y) * page.height / paper.height;
    const Rectangle paperRect(Point(-offX, -offY), page);
    setPen(Pen(Color(COL_SHADOW)));
    setFillInBrush(Brush(Color(COL_WHITE)));
    drawRect(paperRect);
    if (paintPage_.isSet()) {
        // Twips map onto the page as shown: a twip is page.width / paper.width pixels, that is a
        // scale of page.width * 1440 / (paper.width * dpi) on the twip unit.
        intersectClipRegion(paperRect);
        const Rectangle printable = printer_ ? printer_->getPrintableAreaTwips() : Rectangle();
        const Point corner = printable.isEmpty() ? Point() : printable.topLeft();
        setMapMode(MapMode(MapUnit::Twip, Point(corner.x - origin_.x, corner.y - origin_.y),
                           Fraction(static_cast<int32_t>(page.width) * 1440, paper.width * getDPIX()),
                           Fraction(static_cast<int32_t>(page.height) * 1440, paper.height * getDPIY())));
        push();
        paintPage_.call(this);
        pop();
    }
    pop();
}
