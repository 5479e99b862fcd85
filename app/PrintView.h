#pragma once
// PrintView: the view through which a worksheet is printed and previewed.  A WindowView whose
// device is the program's current printer and whose unit is the twip: it lays the document out
// for the printable width, cuts the laid-out lines into pages (PageList, which the paragraphs
// fill through Element::paginate) and draws each page with a "Page n" footer.
//
// Built by the worksheet window's Print and Print Preview commands for one run and destroyed
// right after it; while it lives it is the document's active view, so the window lays its own
// view out again afterwards.
//
// Settings at construction: units per point 20/1 (twips), the window view's zoom and its three
// display switches, font device key 4.  Page geometry (formatForPrinter), all in twips:
//   view size       the paper
//   left, right     at least 1080 (three quarters of an inch), else the unprintable border
//   top             at least 1080, else the unprintable border
//   bottom          1440, or the unprintable border plus two leadings of the footer font when
//                   that is more
//
// Print modes of printPages: 0 asks with the print dialog; 2 asks and keeps the choice (printer,
// copies, collate, pages) for mode 1; 1 uses the kept choice without asking (asks when nothing
// is kept yet).
//
// What this view leaves out: the progress dialog (the page being printed shows in the status
// bar instead).  previewPages formats the pages and runs the preview dialog
// (PrintPreviewDialog.h), which draws them with drawPage; a test may install a preview handler
// (setPreviewHandler) that takes the dialog's place.
//
// The printer is borrowed: the application owns it (the options make it); a program without the
// application object (the tests) installs its own with setProgramPrinter.

#include <memory>

#include "document/views/WindowView.h"

class KWorksheetWindow;
class Printer;
class Window;
class WorksheetDocument;

class PrintView : public WindowView {
public:
    static constexpr int kUnitsPerPoint = 20;       // twips
    static constexpr int kMinimumMargin = 54;       // points, every side but the bottom
    static constexpr int kBottomMargin = 72;        // points
    static constexpr int kFooterPoints = 10;
    static constexpr int kUnformattedPageCount = 9999;

    PrintView(WorksheetDocument* document, KWorksheetWindow* window, bool preview);
    ~PrintView() override;

    int viewKind() const override { return 4; }
    bool isPrintView() const override { return true; }
    bool isPrintPreview() const override { return preview_; }
    // Paginates after every layout.
    void afterLayout() override { paginate(); }

    // Makes the printer the device (map mode twips), sets the page geometry and lays the
    // document out, which paginates.
    void formatForPrinter();
    bool formatted() const { return paginated_; }
    // A new page list, filled by the paragraphs.
    void paginate();
    // Prints the pages (the mode as above) with `owner` as the dialogs' parent.  Virtual so
    // that a test can stand in for the whole job.
    virtual void printPages(int mode, Window* owner);
    // Formats when not yet done and runs the preview dialog (or the installed handler); then the
    // window's own view is laid out again and the window repainted (by the caller).
    virtual void previewPages();
    // Takes the program's current printer again and formats for it.  A print run started from
    // the preview may have replaced the printer this view borrowed, and its own print view was
    // the document's active view meanwhile: the preview calls this when the run is over.
    void refreshForPrinter();
    // Draws page n (from 1) on the device, in twips from the printable area's origin.
    void drawPage(OutputDevice& device, int page);

    Printer* printer() const { return printer_; }
    KWorksheetWindow* window() const { return window_; }

    // The program's current printer: the application's (made from the options on first use),
    // else the one installed here; null when there is none.
    static Printer* programPrinter();
    static void setProgramPrinter(Printer* printer);

    // What the worksheet window builds for a print or a preview; a test installs a recording
    // one.  Null restores the ordinary PrintView.  Answers the previous factory.
    using Factory = std::unique_ptr<PrintView> (*)(WorksheetDocument* document, KWorksheetWindow* window, bool preview);
    static Factory setFactory(Factory factory);
    static std::unique_ptr<PrintView> create(WorksheetDocument* document, KWorksheetWindow* window, bool preview);

    // Takes the preview dialog's place (tests): called with the formatted view.  Null restores
    // the dialog.
    using PreviewHandler = void (*)(PrintView& view);
    static void setPreviewHandler(PreviewHandler handler);

private:
    // The footer font: character set 9, family 3, 10 points.
    static Font footerFont();
    // Makes the dialog's printer the current one (the application makes a new one when the name
    // differs) with its output file, copies and collate flag; false when there is none.
    bool takePrinterChoice(const String& name, const std::string& file, int copies, bool collate);

    KWorksheetWindow* window_;
    Printer* printer_;
    bool preview_;
    bool paginated_ = false;
};
