// The Print Preview dialog: layout, zoom steps, page travel and printing (rules in
// PrintPreviewDialog.h).
#include "app/PrintPreviewDialog.h"

#include <algorithm>
#include <numeric>

#include "app/KWorksheetWindow.h"
#include "app/PrintView.h"
#include "app/program_resources.h"
#include "document/views/PageList.h"
#include "platform/gui/Application.h"
#include "platform/gui/PreviewPage.h"
#include "platform/gui/Printer.h"
#include "platform/gui/ScrollBar.h"

namespace {

// Pixels a page window leaves free in the area (half of it each side when centred).
constexpr int kPageMargin = 8;

struct ZoomStarts {
    Fraction in{1, 1};
    Fraction out{2, 3};
    bool fitted = false;
};
ZoomStarts& zoomStarts() {
    static ZoomStarts starts;
    return starts;
}

bool isWhole(const Fraction& f) { return f.num <= 0 || f.den <= 0; }

// f * n / d, reduced.
Fraction scaled(const Fraction& f, long long n, long long d) {
    long long num = static_cast<long long>(f.num) * n, den = static_cast<long long>(f.den) * d;
    const long long g = std::gcd(num, den);
    if (g > 1) num /= g, den /= g;
    return Fraction(static_cast<int32_t>(num), static_cast<int32_t>(den));
}

bool below(const Fraction& a, const Fraction& b) {
    return static_cast<long long>(a.num) * b.den < static_cast<long long>(b.num) * a.den;
}

}  // namespace

struct PrintPreviewDialog::Buttons {
    explicit Buttons(Dialog* d)
        : zoomIn(d, ResId(kZoomIn)), zoomOut(d, ResId(kZoomOut)), actual(d, ResId(kActualSize)),
          single(d, ResId(kSinglePage)), dual(d, ResId(kDoublePage)), previous(d, ResId(kPreviousPage)),
          next(d, ResId(kNextPage)), print(d, ResId(kPrint)), done(d, ResId(kDone)) {}
    PushButton zoomIn, zoomOut, actual, single, dual, previous, next, print;
    CancelButton done;
    // The row's order.
    Control* row[9] = {&print, &previous, &next, &single, &dual, &actual, &zoomIn, &zoomOut, &done};
};

Fraction PrintPreviewDialog::zoomInStart() { return zoomStarts().in; }
Fraction PrintPreviewDialog::zoomOutStart() { return zoomStarts().out; }
bool PrintPreviewDialog::zoomStartsFitted() { return zoomStarts().fitted; }

void PrintPreviewDialog::run(PrintView& view) {
    std::vector<uint8_t> job;
    if (Printer* printer = view.printer()) job = printer->getJobSetup();
    PrintPreviewDialog dialog(view.window(), std::move(job), view);
    dialog.execute();
}

namespace {
// The resource must be there before the dialog's base is built from it.
int loadedResourceId() {
    loadProgramResources();
    return PrintPreviewDialog::kResourceId;
}
}  // namespace

PrintPreviewDialog::PrintPreviewDialog(KWorksheetWindow* window, std::vector<uint8_t> jobSetup, PrintView& view)
    : ModalDialog(window, ResId(loadedResourceId())), window_(window), view_(view), jobSetup_(std::move(jobSetup)),
      buttons_(std::make_unique<Buttons>(this)) {
    auto on = [this](void (PrintPreviewDialog::*action)()) {
        return Link([this, action](void*) {
            (this->*action)();
            return 0L;
        });
    };
    Buttons& b = *buttons_;
    b.zoomIn.setClickHdl(on(&PrintPreviewDialog::zoomIn));
    b.zoomOut.setClickHdl(on(&PrintPreviewDialog::zoomOut));
    b.actual.setClickHdl(on(&PrintPreviewDialog::actualSize));
    b.single.setClickHdl(on(&PrintPreviewDialog::singlePage));
    b.dual.setClickHdl(on(&PrintPreviewDialog::doublePage));
    b.previous.setClickHdl(on(&PrintPreviewDialog::previousPage));
    b.next.setClickHdl(on(&PrintPreviewDialog::nextPage));
    b.print.setClickHdl(on(&PrintPreviewDialog::print));

    area_ = std::make_unique<Window>(nullptr, WB_CHILD_PLAIN);
    area_->setBackgroundBrush(Brush(Color(COL_GRAY)));
    verticalBar_ = std::make_unique<ScrollBar>(nullptr, WB_SCROLL_VERT);
    horizontalBar_ = std::make_unique<ScrollBar>(nullptr, WB_SCROLL_HORZ);
    for (Window* w : {area_.get(), static_cast<Window*>(verticalBar_.get()), static_cast<Window*>(horizontalBar_.get())}) {
        insertWindow(*w);
        w->show();
    }
    const Link scroll([this](void*) {
        scrolled();
        return 0L;
    });
    verticalBar_->setScrollHdl(scroll);
    horizontalBar_->setScrollHdl(scroll);
    layout();

    first_.reset(makePageWindow(page_));
    fitPageWindow();
    setUpScrollBars();
    fitStartRatios();

    b.single.enable(false);
    b.previous.enable(false);
    b.next.enable(pageCount() > 1);
    first_->show();
}

PrintPreviewDialog::~PrintPreviewDialog() = default;

int PrintPreviewDialog::pageCount() const {
    const PageList* pages = view_.pageList();
    return pages ? pages->count() : 0;
}

// ---- layout ------------------------------------------------------------------------------------

void PrintPreviewDialog::layout() {
    const Size screen = System::getScreenSize();
    const Size client(screen.width * 9 / 10, screen.height * 9 / 10);
    setPosSizePixel(Point((screen.width - client.width) / 2, (screen.height - client.height) / 2), client);

    const Size button = buttons_->print.getSizePixel();
    const long bw = button.width, bh = button.height;
    const long vw = verticalBar_->getSizePixel().width, hh = horizontalBar_->getSizePixel().height;
    const long width = client.width, height = client.height;
    const long areaWidth = width - 2 * vw - 12;
    long areaTop = bh + 10, areaHeight = height - bh - hh - 16;
    const bool twoRows = areaWidth < 9 * bw + 24;
    if (twoRows) {
        areaTop = 2 * bh + 15;
        areaHeight -= bh + 5;
    }
    long x = vw + 6, y = 5;
    for (Control* c : buttons_->row) {
        if (twoRows && c == &buttons_->actual) x = vw + 6, y = bh + 10;
        c->setPosSizePixel(Point(x, y), button);
        x += bw + 3;
    }
    const Size areaSize(std::max(1L, areaWidth), std::max(1L, areaHeight));
    area_->setPosSizePixel(Point(vw + 6, areaTop), areaSize);
    verticalBar_->setPosSizePixel(Point(areaSize.width + vw + 7, areaTop), Size(vw, areaSize.height));
    horizontalBar_->setPosSizePixel(Point(vw + 6, areaTop + areaSize.height + 1), Size(areaSize.width, hh));
}

PreviewPage* PrintPreviewDialog::makePageWindow(int page) {
    auto* w = new PreviewPage(area_.get(), 0);
    w->setPrinter(view_.printer());
    w->setJobSetup(jobSetup_);
    w->setBackgroundBrush(Brush(Color(COL_WHITE)));
    w->setPageNumber(page);
    w->setPaintPageHdl(LinkOf<PreviewPage*>([this](PreviewPage* p) { return paintPage(p); }));
    return w;
}

Size PrintPreviewDialog::pageRoom() const {
    const Size a = area_->getSizePixel();
    return Size(std::max(0, a.width - kPageMargin), std::max(0, a.height - kPageMargin));
}

void PrintPreviewDialog::fitStartRatios() {
    ZoomStarts& starts = zoomStarts();
    if (starts.fitted) return;
    first_->setZoom(kWholePage);
    const long whole = first_->calcWindowSizePixel(pageRoom()).width;
    for (int n = 2; n <= 9; ++n) {
        first_->setZoom(starts.out);
        if (first_->calcWindowSizePixel(pageRoom()).width < whole) break;
        starts.in = starts.out;
        starts.out = Fraction(1, n);
    }
    starts.fitted = true;
    first_->setZoom(kWholePage);
}

void PrintPreviewDialog::fitPageWindow() {
    const Size a = area_->getSizePixel();
    const Size s = first_->calcWindowSizePixel(pageRoom());
    const Point at(s.width < a.width ? (a.width >> 1) - (s.width >> 1) : 0,
                   s.height < a.height ? (a.height >> 1) - (s.height >> 1) : 0);
    first_->setPosSizePixel(at, s);
}

void PrintPreviewDialog::setUpScrollBars() {
    ScrollBar* bars[2] = {horizontalBar_.get(), verticalBar_.get()};
    if (isWhole(zoom_)) {
        for (ScrollBar* bar : bars) {
            bar->hide();
            bar->setThumbPos(0);
        }
        first_->setOrigin(Point());
        return;
    }
    const Size a = area_->getSizePixel(), w = first_->getSizePixel();
    const Size page = first_->getPageSizeTwips(), visible = first_->getVisibleSizeTwips();
    const bool fills[2] = {w.width + kPageMargin == a.width, w.height + kPageMargin == a.height};
    const long pageLength[2] = {page.width, page.height}, shown[2] = {visible.width, visible.height};
    for (int i = 0; i < 2; ++i) {
        ScrollBar& bar = *bars[i];
        if (fills[i]) {
            bar.setRange(Range(0, std::max(0L, pageLength[i] - shown[i])));
            bar.setLineSize(shown[i] / 10);
            bar.setPageSize(shown[i] / 3);
            bar.setVisibleSize(shown[i]);
            bar.show();
        } else {
            bar.hide();
            bar.setThumbPos(0);
        }
    }
    first_->setOrigin(Point(horizontalBar_->getThumbPos(), verticalBar_->getThumbPos()));
}

void PrintPreviewDialog::scrolled() {
    first_->setOrigin(Point(horizontalBar_->getThumbPos(), verticalBar_->getThumbPos()));
    first_->invalidate();
}

// ---- zoom --------------------------------------------------------------------------------------

void PrintPreviewDialog::enableZoomButtons(bool zoomIn, bool zoomOut, bool actual, bool single, bool dual) {
    buttons_->zoomIn.enable(zoomIn);
    buttons_->zoomOut.enable(zoomOut);
    buttons_->actual.enable(actual);
    buttons_->single.enable(single);
    buttons_->dual.enable(dual);
}

void PrintPreviewDialog::applyZoom() {
    first_->setZoom(zoom_);
    fitPageWindow();
    setUpScrollBars();
}

void PrintPreviewDialog::hideSecondPage() {
    dual_ = false;
    if (second_) second_->hide();
}

void PrintPreviewDialog::stepZoom(bool in) {
    hideSecondPage();
    ZoomStarts& starts = zoomStarts();
    if (in) {
        zoom_ = isWhole(zoom_) ? starts.in : scaled(zoom_, 3, 2);
        if (below(kLargestZoom, zoom_)) zoom_ = kLargestZoom;
    } else {
        zoom_ = isWhole(zoom_) ? starts.out : scaled(zoom_, 2, 3);
        if (below(zoom_, kSmallestZoom)) zoom_ = kSmallestZoom;
    }
    applyZoom();
    // The button goes grey before the step that would reach its limit.
    const bool nextInRoom = below(scaled(zoom_, 3, 2), kLargestZoom);
    const bool nextOutRoom = below(kSmallestZoom, scaled(zoom_, 2, 3));
    const bool actual = !(zoom_ == Fraction(1, 1));
    if (in) enableZoomButtons(nextInRoom, true, actual, true, true);
    else enableZoomButtons(true, nextOutRoom, actual, true, true);
}

void PrintPreviewDialog::zoomIn() { stepZoom(true); }
void PrintPreviewDialog::zoomOut() { stepZoom(false); }

void PrintPreviewDialog::actualSize() {
    hideSecondPage();
    zoom_ = Fraction(1, 1);
    applyZoom();
    enableZoomButtons(true, true, false, true, true);
}

void PrintPreviewDialog::singlePage() {
    horizontalBar_->hide();
    verticalBar_->hide();
    hideSecondPage();
    zoom_ = kWholePage;
    applyZoom();
    enableZoomButtons(true, true, true, false, true);
}

void PrintPreviewDialog::doublePage() {
    dual_ = true;
    zoom_ = kWholePage;
    first_->setZoom(zoom_);
    setUpScrollBars();
    if (!second_) second_.reset(makePageWindow(page_ + 1));
    second_->setZoom(kWholePage);
    second_->setOrigin(Point());
    second_->invalidate();
    second_->show();
    // Both pages in half the area each (both windows show whole pages of one paper, so they
    // need the same size), side by side and centred.
    const Size a = area_->getSizePixel();
    const Size half(std::max(0, a.width / 2 - 7), std::max(0, a.height - 10));
    const Size s = second_->calcWindowSizePixel(half);
    const long y = (a.height - s.height) / 2;
    first_->setPosSizePixel(Point(a.width / 2 - s.width - 2, y), s);
    second_->setPosSizePixel(Point(a.width / 2 + 2, y), s);
    enableZoomButtons(true, true, true, true, false);
}

// ---- pages -------------------------------------------------------------------------------------

void PrintPreviewDialog::showPage(int page) {
    page_ = page;
    first_->setPageNumber(page_);
    first_->update();
    if (second_) {
        second_->setPageNumber(page_ + 1);
        if (second_->isVisible()) second_->update();
    }
    buttons_->previous.enable(page_ > 1);
    buttons_->next.enable(page_ < pageCount());
}

void PrintPreviewDialog::previousPage() {
    if (page_ > 1) showPage(page_ - 1);
}

void PrintPreviewDialog::nextPage() {
    if (page_ < pageCount()) showPage(page_ + 1);
}

long PrintPreviewDialog::paintPage(PreviewPage* window) {
    const long page = window->getPageNumber();
    if (!printing_ && page <= pageCount()) view_.drawPage(*window, static_cast<int>(page));
    return 0;
}

void PrintPreviewDialog::print() {
    if (!window_) return;
    // The run may replace the printer the view and the page windows borrowed (invariant 3).
    printing_ = true;
    for (PreviewPage* w : {first_.get(), second_.get()})
        if (w) w->setPrinter(nullptr);
    try {
        window_->print(0, area_.get());
    } catch (...) {
        afterPrint();
        throw;
    }
    afterPrint();
}

void PrintPreviewDialog::afterPrint() {
    printing_ = false;
    view_.refreshForPrinter();
    for (PreviewPage* w : {first_.get(), second_.get()})
        if (w) w->setPrinter(view_.printer());
    showPage(std::clamp(page_, 1, std::max(1, pageCount())));
    if (dual_) doublePage();
    else applyZoom();
}
