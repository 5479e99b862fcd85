#pragma once
// Printer: printing through QPrinter.  Besides the installed printers there is always one
// printer named "PDF" that writes a PDF file (setPrintFile), so printing works on a machine
// without printers.
//
// A job: startJob (false when the printer refuses), then per page startPage ... endPage, then
// endJob (or abortJob).  Drawing between startPage and endPage goes through this OutputDevice;
// set map mode twips to draw in page twips.  Raster operations are ignored.  Errors reach the
// error handler with our numbers: 1 a page could not be started, 2 the output could not be
// written.
//
// Page recording: with setRecordPages(true) a job needs no printer and no output file; each
// page is kept as a Picture (preferred size the paper in twips, map mode twips) of exactly the
// calls drawn on it, and nothing reaches QPrinter.  Tests and the worksheet's print checks read
// the pages back; a new job starts an empty list.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gui/OutputDevice.h"
#include "platform/gui/Picture.h"
#include "platform/gui/base/Link.h"

class Printer : public OutputDevice {
public:
    static constexpr const char* kPdfName = "PDF";

    Printer();  // the default printer (the PDF printer when none is installed)
    explicit Printer(const String& name);
    ~Printer() override;

    static int getPrinterCount();
    static String getPrinterName(int i);

    const String& getName() const;
    String getDescription() const;
    bool isPdf() const;
    // The file the PDF printer writes (UTF-8 path).
    void setPrintFile(const std::string& path);
    void setCopyCount(int copies, bool collate);

    // Page size and printable area in twips.
    Size getPaperSizeTwips() const;
    Rectangle getPrintableAreaTwips() const;

    bool startJob(const String& documentName);
    bool startPage();
    bool endPage();
    bool endJob();
    bool abortJob();
    bool isJobActive() const;

    // Called with 1 (a page could not be started) or 2 (the output could not be written).
    void setErrorHdl(const LinkOf<long>& handler);

    void setRecordPages(bool on);
    bool isRecordingPages() const;
    // The pages of the last recorded job, first page first.
    const std::vector<Picture>& getRecordedPages() const;

    // Job set-up bytes (printer name, copies, collate): size, then a copy.
    std::size_t getJobSetupSize() const;
    std::vector<uint8_t> getJobSetup() const;

    struct PrinterImpl;

protected:
    QPaintDevice* paintTarget() const override;
    QImage* imageTarget() const override { return nullptr; }
    QPainter* externalPainter() const override;

private:
    std::unique_ptr<PrinterImpl> pr_;
};
