// Printing through QPrinter (rules in Printer.h).
#include "platform/gui/Printer.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/gui/Application.h"
#include "platform/gui/qt_text.h"

#include <cmath>

struct Printer::PrinterImpl {
    String name;
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QPainter> painter;
    bool inPage = false;
    int pagesStarted = 0;
    LinkOf<long> onError;
    bool record = false;
    bool recordJob = false;         // a recorded job is running
    Picture page;                   // the page being recorded (the device records into it)
    std::vector<Picture> recorded;  // finished pages of the last recorded job
};

namespace {

bool pdfOnly(const String& name) { return name.isEmpty() || name == String(Printer::kPdfName); }

// The system's default printer, or "" (the PDF printer) when none is installed.
String defaultPrinterName() {
    gui::ensureApplication();
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    return info.isNull() ? String() : gui::fromQString(info.printerName());
}

}  // namespace

Printer::Printer() : Printer(defaultPrinterName()) {}

Printer::Printer(const String& name) : OutputDevice(OUTDEV_PRINTER, 1200, 1200), pr_(std::make_unique<PrinterImpl>()) {
    gui::ensureApplication();
    pr_->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinterInfo info = QPrinterInfo::printerInfo(gui::toQString(name));
    if (pdfOnly(name) || info.isNull()) {
        pr_->name = String(kPdfName);
        pr_->printer->setOutputFormat(QPrinter::PdfFormat);
    } else {
        pr_->name = name;
        pr_->printer->setPrinterName(info.printerName());
    }
    setResolution(pr_->printer->resolution(), pr_->printer->resolution());
}

Printer::~Printer() {
    if (pr_->painter || pr_->recordJob) abortJob();
}

int Printer::getPrinterCount() { return static_cast<int>(QPrinterInfo::availablePrinterNames().size()) + 1; }

String Printer::getPrinterName(int i) {
    QStringList names = QPrinterInfo::availablePrinterNames();
    if (i >= 0 && i < names.size()) return gui::fromQString(names[i]);
    return String(kPdfName);
}

const String& Printer::getName() const { return pr_->name; }
String Printer::getDescription() const {
    if (isPdf()) return String("PDF file");
    QString d = QPrinterInfo::printerInfo(gui::toQString(pr_->name)).description();
    return d.isEmpty() ? pr_->name : gui::fromQString(d);
}
bool Printer::isPdf() const { return pr_->printer->outputFormat() == QPrinter::PdfFormat; }
void Printer::setPrintFile(const std::string& path) { pr_->printer->setOutputFileName(QString::fromStdString(path)); }
void Printer::setCopyCount(int copies, bool collate) {
    pr_->printer->setCopyCount(std::max(1, copies));
    pr_->printer->setCollateCopies(collate);
}

Size Printer::getPaperSizeTwips() const {
    QSizeF mm = pr_->printer->pageLayout().fullRect(QPageLayout::Point).size();
    return Size(std::lround(mm.width() * 20), std::lround(mm.height() * 20));
}

Rectangle Printer::getPrintableAreaTwips() const {
    QRectF r = pr_->printer->pageLayout().paintRect(QPageLayout::Point);
    return Rectangle(Point(std::lround(r.x() * 20), std::lround(r.y() * 20)),
                     Size(std::lround(r.width() * 20), std::lround(r.height() * 20)));
}

void Printer::setRecordPages(bool on) { pr_->record = on; }
bool Printer::isRecordingPages() const { return pr_->record; }
const std::vector<Picture>& Printer::getRecordedPages() const { return pr_->recorded; }

bool Printer::startJob(const String& documentName) {
    if (pr_->painter || pr_->recordJob) return false;
    pr_->printer->setDocName(gui::toQString(documentName));
    if (pr_->record) {
        pr_->recorded.clear();
        pr_->recordJob = true;
        pr_->pagesStarted = 0;
        pr_->inPage = false;
        return true;
    }
    if (isPdf() && pr_->printer->outputFileName().isEmpty()) return false;
    pr_->pagesStarted = 0;
    pr_->inPage = false;
    return true;
}

bool Printer::startPage() {
    if (pr_->inPage) return false;
    if (pr_->recordJob) {
        pr_->page = Picture();
        pr_->page.setPrefSize(getPaperSizeTwips());
        pr_->page.setPrefMapMode(MapMode(MapUnit::Twip));
        setRecording(&pr_->page);
        ++pr_->pagesStarted;
        pr_->inPage = true;
        return true;
    }
    if (pr_->pagesStarted == 0) {
        // The painter begins the first page itself.
        pr_->painter = std::make_unique<QPainter>();
        if (!pr_->painter->begin(pr_->printer.get())) {
            pr_->painter.reset();
            pr_->onError.call(1);
            return false;
        }
    } else if (!pr_->printer->newPage()) {
        pr_->onError.call(1);
        return false;
    }
    ++pr_->pagesStarted;
    pr_->inPage = true;
    return true;
}

bool Printer::endPage() {
    if (!pr_->inPage) return false;
    pr_->inPage = false;
    if (pr_->recordJob) {
        setRecording(nullptr);
        pr_->recorded.push_back(std::move(pr_->page));
        pr_->page = Picture();
        return true;
    }
    if (pr_->printer->printerState() == QPrinter::Error) {
        pr_->onError.call(2);
        return false;
    }
    return true;
}

bool Printer::endJob() {
    if (pr_->recordJob) {
        if (pr_->inPage) endPage();
        pr_->recordJob = false;
        return true;
    }
    if (!pr_->painter) return pr_->pagesStarted == 0;
    flushDrawing();
    bool ok = pr_->painter->end();
    pr_->painter.reset();
    pr_->inPage = false;
    if (!ok || pr_->printer->printerState() == QPrinter::Error) {
        pr_->onError.call(2);
        return false;
    }
    return true;
}

bool Printer::abortJob() {
    if (pr_->recordJob) {
        setRecording(nullptr);
        pr_->inPage = false;
        pr_->recordJob = false;
        return true;
    }
    bool ok = pr_->printer->abort();
    flushDrawing();
    if (pr_->painter) {
        pr_->painter->end();
        pr_->painter.reset();
    }
    pr_->inPage = false;
    return ok;
}

bool Printer::isJobActive() const { return pr_->painter != nullptr || pr_->recordJob; }
void Printer::setErrorHdl(const LinkOf<long>& handler) { pr_->onError = handler; }

std::vector<uint8_t> Printer::getJobSetup() const {
    // Layout: name length (2 bytes, little-endian), name bytes, copies (2), collate (1).
    std::vector<uint8_t> b;
    const std::string& n = pr_->name.str();
    std::size_t len = std::min<std::size_t>(n.size(), 0xFFFF);
    b.push_back(static_cast<uint8_t>(len & 0xFF));
    b.push_back(static_cast<uint8_t>(len >> 8));
    b.insert(b.end(), n.begin(), n.begin() + static_cast<long>(len));
    int copies = pr_->printer->copyCount();
    b.push_back(static_cast<uint8_t>(copies & 0xFF));
    b.push_back(static_cast<uint8_t>((copies >> 8) & 0xFF));
    b.push_back(pr_->printer->collateCopies() ? 1 : 0);
    return b;
}
std::size_t Printer::getJobSetupSize() const { return getJobSetup().size(); }

QPaintDevice* Printer::paintTarget() const { return pr_->inPage ? pr_->printer.get() : nullptr; }
QPainter* Printer::externalPainter() const { return pr_->inPage ? pr_->painter.get() : nullptr; }
