// Printing from the worksheet window: Print, Print Preview and the printer set-up.
//
// Print and Preview build a print view (PrintView.h) for one run.  While it lives it is the
// document's active view and its fonts are the printer's; afterwards the printer's entries are
// dropped from the font cache (the printer may be replaced before the next run, and an entry
// keeps its device) and the window's own view lays the document out again, since the print
// view's layout in twips replaced the window's.
#include <memory>

#include "app/KAppOptionsHost.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "app/PrintView.h"
#include "document/tree/ViewCaret.h"
#include "document/views/FontCache.h"
#include "options/KOptions.h"
#include "platform/gui/Printer.h"
#include "platform/gui/StdDialogs.h"
#include "util/messages.h"

namespace {

constexpr const char* kNoPrinters = "This system has no printers";
constexpr int kPrinterDeviceKey = 4;

}  // namespace

bool KWorksheetWindow::print(int mode, Window* owner) {
    clearMarks();
    if (!PrintView::programPrinter()) {
        showMessage(kNoPrinters);
        return false;
    }
    {
        std::unique_ptr<PrintView> view = PrintView::create(document_, this, false);
        view->printPages(mode & 0xffff, owner ? owner : this);
    }
    if (FontCache* fonts = FontCache::program()) fonts->purge(kPrinterDeviceKey);
    relayoutAll();
    invalidate();
    return true;
}

bool KWorksheetWindow::printPreview() {
    clearMarks();
    if (!PrintView::programPrinter()) {
        showMessage(kNoPrinters);
        return false;
    }
    {
        std::unique_ptr<PrintView> view = PrintView::create(document_, this, true);
        ViewCaret* c = caret();
        // The caret leaves the window alone while the preview runs.
        struct Busy {
            ViewCaret* c;
            bool was;
            explicit Busy(ViewCaret* caret) : c(caret), was(caret && caret->busy) {
                if (c) c->busy = true;
            }
            ~Busy() {
                if (c) c->busy = was;
            }
        } busy(c);
        view->previewPages();
    }
    if (FontCache* fonts = FontCache::program()) fonts->purge(kPrinterDeviceKey);
    relayoutAll();
    invalidate();
    return true;
}

bool KWorksheetWindow::printerSetup() {
    Printer* printer = PrintView::programPrinter();
    if (!printer) {
        showMessage(kNoPrinters);
        return false;
    }
    PrinterSetupDialog dialog(this);
    dialog.setPrinterName(printer->getName());
    if (dialog.execute() == 0) return false;
    KWorksheetApp* app = worksheetApp();
    if (app && dialog.getPrinterName() != printer->getName()) {
        app->optionsHost().makePrinter(dialog.getPrinterName());
        printer = app->printer();
    }
    if (printer && !dialog.getPrintFile().empty()) printer->setPrintFile(dialog.getPrintFile());
    if (app && theOptions) theOptions->writePrinter();
    return printer != nullptr;
}
