// PrintView: page geometry, pagination, the print run and page drawing (rules in PrintView.h).
#include "app/PrintView.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/KAppOptionsHost.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "app/PrintPreviewDialog.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/views/PageList.h"
#include "options/KOptions.h"
#include "platform/gui/Printer.h"
#include "platform/gui/StdDialogs.h"
#include "platform/gui/Window.h"
#include "util/messages.h"

namespace {

Printer* gInstalledPrinter = nullptr;
PrintView::Factory gFactory = nullptr;
PrintView::PreviewHandler gPreviewHandler = nullptr;

// The choice of the last mode-2 dialog, for mode 1.
struct StoredChoice {
    bool valid = false;
    String printer;
    std::string file;
    int copies = 1;
    bool collate = false;
    int firstPage = 0, lastPage = 0;
};
StoredChoice& storedChoice() {
    static StoredChoice choice;
    return choice;
}

void showBusy(bool busy, const char* text) {
    if (KWorksheetApp* app = worksheetApp()) app->showBusy(busy, text);
}

}  // namespace

PrintView::PrintView(WorksheetDocument* document, KWorksheetWindow* window, bool preview)
    : WindowView(document), window_(window), printer_(programPrinter()), preview_(preview) {
    setUnitsPerPoint(kUnitsPerPoint, 1);
    if (WindowView* shown = window ? window->view() : nullptr) {
        setZoom(shown->zoomNumerator(), shown->zoomDenominator());
        showInvisible = shown->showInvisible;
        showSectionRanges = shown->showSectionRanges;
        showGroupRanges = shown->showGroupRanges;
    }
    styleFonts().deviceKey = 4;   // the print view's kind
}

PrintView::~PrintView() = default;

// ---- the program's printer and the factory -----------------------------------------------------

Printer* PrintView::programPrinter() {
    if (KWorksheetApp* app = worksheetApp()) return app->ensurePrinter() ? app->printer() : nullptr;
    return gInstalledPrinter;
}

void PrintView::setProgramPrinter(Printer* printer) { gInstalledPrinter = printer; }

PrintView::Factory PrintView::setFactory(Factory factory) {
    Factory old = gFactory;
    gFactory = factory;
    return old;
}

std::unique_ptr<PrintView> PrintView::create(WorksheetDocument* document, KWorksheetWindow* window, bool preview) {
    if (gFactory) return gFactory(document, window, preview);
    return std::make_unique<PrintView>(document, window, preview);
}

void PrintView::setPreviewHandler(PreviewHandler handler) { gPreviewHandler = handler; }

// ---- formatting -------------------------------------------------------------------------------

Font PrintView::footerFont() {
    Font font(String(), Size(0, kFooterPoints * kUnitsPerPoint));
    font.setCharSet(CHARSET_SYSTEM);
    font.setFamily(FAMILY_ROMAN);
    return font;
}

void PrintView::formatForPrinter() {
    if (!printer_) return;
    Printer& p = *printer_;
    p.setMapMode(MapMode(MapUnit::Twip));
    setOutputDevice(&p);
    const Size paper = p.getPaperSizeTwips();
    const Rectangle area = p.getPrintableAreaTwips();
    const long areaRight = area.left + area.getWidth();
    const long areaBottom = area.top + area.getHeight();
    const long least = kMinimumMargin * kUnitsPerPoint;
    setViewSize(static_cast<int>(paper.width), static_cast<int>(paper.height));
    p.setFont(footerFont());
    const long leading = p.getFontMetric().leading;
    const long bottom = std::max<long>(kBottomMargin * kUnitsPerPoint, paper.height - areaBottom + 2 * leading);
    setMargins(static_cast<int>(std::max<long>(least, area.left)), static_cast<int>(std::max<long>(least, paper.width - areaRight)),
               static_cast<int>(std::max<long>(least, area.top)), static_cast<int>(bottom));
    showBusy(true, "Formatting document for the printer");
    struct EndBusy {
        ~EndBusy() { showBusy(false, nullptr); }
    } endBusy;
    relayout();
    paginated_ = true;
}

void PrintView::paginate() {
    setPageList(OwnedPageList(new PageList(*this), [](PageList* list) { delete list; }));
    Element* root = document() ? document()->root() : nullptr;
    if (!root) return;
    WalkControl control;
    control.flags = WALK_BEFORE;
    control.pages = pageList();
    root->walkMethod(&Element::paginate, control);
}

// ---- pages ------------------------------------------------------------------------------------

void PrintView::drawPage(OutputDevice& device, int page) {
    PageList* pages = pageList();
    if (!pages || page < 1 || page > pages->count()) return;
    const Rectangle area = printer_ ? printer_->getPrintableAreaTwips() : Rectangle();
    // A device already in twips keeps its origin and scale: the preview's page windows map the
    // printer's twips onto the page as shown that way.
    if (device.getMapMode().unit != MapUnit::Twip) device.setMapMode(MapMode(MapUnit::Twip));
    OutputDevice* previous = outputDevice();
    setOutputDevice(&device);
    const ElementRect rect = pages->pageRect(page - 1);

    // The printer's coordinates start at the printable area; the first line sits three quarters
    // of an inch below the paper's edge.
    const int savedTop = topMargin();
    const int pageTop = std::max<int>(0, kMinimumMargin * kUnitsPerPoint - static_cast<int>(area.top));
    setScrollOrigin(static_cast<int>(area.left), rect.y);
    setMargins(leftMargin(), rightMargin(), pageTop, bottomMargin());
    device.setClipRegion(Region(Rectangle(Point(0, pageTop), Size(viewWidth(), rect.height))));
    if (document()) document()->layoutForView(this, {0, rect.y, 1 << 30, rect.height});
    device.resetClip();

    // The footer: "Page n", centred between the margins.
    device.setFont(footerFont());
    const String text(("Page " + std::to_string(page)).c_str());
    const long width = device.getTextWidth(text);
    const long height = device.getTextHeight();
    const long x = (viewWidth() - leftMargin() - rightMargin() - width) / 2 + leftMargin() - area.left;
    const long y = viewHeight() - bottomMargin() - height;
    device.drawText(Point(std::max(0L, x), y), text);

    setMargins(leftMargin(), rightMargin(), savedTop, bottomMargin());
    setOutputDevice(previous);
}

bool PrintView::takePrinterChoice(const String& name, const std::string& file, int copies, bool collate) {
    KWorksheetApp* app = worksheetApp();
    if (app && printer_ && !name.isEmpty() && name != printer_->getName()) {
        app->optionsHost().makePrinter(name);
        printer_ = app->printer();
        paginated_ = false;   // another printer, other pages
    }
    if (!printer_) return false;
    if (!file.empty()) printer_->setPrintFile(file);
    printer_->setCopyCount(copies, collate);
    return true;
}

void PrintView::printPages(int mode, Window* owner) {
    if (!printer_) return;
    int count = paginated_ && pageList() ? pageList()->count() : kUnformattedPageCount;
    if (count == 0) {
        showMessage("The document contains no pages");
        return;
    }
    StoredChoice& stored = storedChoice();
    StoredChoice choice = stored;
    if (mode != 1 || !stored.valid) {
        PrintDialog dialog(owner, WB_PRINTDIALOG);
        dialog.setPrinterName(printer_->getName());
        dialog.setCopyCount(1);
        dialog.setMinPage(1);
        dialog.setMaxPage(count);
        const bool confirmed = dialog.execute() != 0;
        if (mode == 2) stored.valid = confirmed;
        if (!confirmed) {
            if (window_) window_->invalidate();
            return;
        }
        choice = StoredChoice{true,
                              dialog.getPrinterName(),
                              dialog.getPrintFile(),
                              dialog.getCopyCount(),
                              dialog.isCollate(),
                              dialog.getFirstPage(),
                              dialog.getLastPage()};
        if (mode == 2) stored = choice;
    }
    if (!takePrinterChoice(choice.printer, choice.file, choice.copies, choice.collate)) return;
    formatForPrinter();
    count = pageList() ? pageList()->count() : 0;

    Printer& p = *printer_;
    p.setErrorHdl(LinkOf<long>([](long code) {
        showMessage(("Printer Error " + std::to_string(code)).c_str());
        return 0L;
    }));
    const char* name = document() ? document()->title() : "";
    if (!p.startJob(String(name))) {
        showMessage((std::string("Error printing ") + name).c_str());
        if (window_) window_->invalidate();
        return;
    }
    if (window_) window_->enableInput(false);
    const int first = choice.firstPage > 0 ? choice.firstPage : 1;
    const int last = choice.lastPage > 0 ? std::min(choice.lastPage, count) : count;
    for (int page = first; page <= last; ++page) {
        char progress[32];
        std::snprintf(progress, sizeof progress, "Printing page %u", static_cast<unsigned>(page));
        showBusy(true, progress);
        if (!p.startPage()) break;
        drawPage(p, page);
        if (!p.endPage()) break;
    }
    showBusy(false, nullptr);
    p.endJob();
    p.setErrorHdl(LinkOf<long>());
    if (window_) {
        window_->enableInput(true);
        window_->invalidate();
    }
    if (worksheetApp() && theOptions) theOptions->writePrinter();
}

void PrintView::previewPages() {
    if (!paginated_) formatForPrinter();
    if (gPreviewHandler) gPreviewHandler(*this);
    else PrintPreviewDialog::run(*this);
}

void PrintView::refreshForPrinter() {
    // The fonts go too: they may have been measured for a printer that is gone.
    dropStyles(-1);
    printer_ = programPrinter();
    paginated_ = false;
    formatForPrinter();
}
