#pragma once
// PrintPreviewDialog: the modal Print Preview dialog (resource 5000, "Print Preview").  It shows
// the pages of a print view (PrintView.h, formatted for the printer) in print-preview page
// windows (PreviewPage.h), one or two at a time, at a zoom, and can print from there.
//
// Children: the buttons come from the resource (5004 Zoom In, 5005 Zoom Out, 5006 100%,
// 5007 Sngl. Page, 5008 Dbl. Page, 5009 Prev. Page, 5010 Next Page, 5012 Print; 5011 Done, the
// cancel button); the preview area (5001, dark grey) and the vertical (5002) and horizontal
// (5003) scroll bars are program windows placed into the dialog.  The page windows sit in the
// area: the first always, the second from the first double-page view on.
//
// Layout (bw, bh a button's size; vw the vertical bar's width; hh the horizontal bar's height;
// W, H the client size).  The dialog is 9/10 of the screen, centred.  Buttons in one row at
// y = 5 from x = vw + 6, each bw + 3 further, in the order Print, Prev. Page, Next Page,
// Sngl. Page, Dbl. Page, 100%, Zoom In, Zoom Out, Done; the area at (vw + 6, bh + 10), W - 2 vw
// - 12 wide and H - bh - hh - 16 high.  An area narrower than 9 bw + 24 breaks the row before
// 100%, which starts a second row at (vw + 6, bh + 10); the area then starts at 2 bh + 15 and
// is bh + 5 lower.  The vertical bar stands right of the area, the horizontal one below it.
//
// Zoom: a ratio of the page's printed size (0/1 = the whole page fitted into the area), kept
// reduced.  Zoom In from the whole page goes to the zoom-in start ratio, else by 3/2, never past
// 16/1; Zoom Out to the zoom-out start ratio, else by 2/3, never below 1/16.  A zoom button is
// disabled as soon as its next step would reach its limit, and enabled again by the other zoom
// buttons, 100%, Sngl. Page and Dbl. Page.  The two start ratios are program-wide (1/1 and 2/3
// at start) and fitted once, by the first dialog of the run, to its area: the zoom-out start
// becomes the first of 2/3, 1/2, ..., 1/9 whose page is narrower than the whole page, and the
// zoom-in start the ratio tried before it.
//
// Scroll bars: hidden at the whole-page zoom; otherwise a direction in which the page is larger
// than the area shows its bar, ranging over the page's twips not shown; moving a bar scrolls the
// page window.  The double-page view shows the current page and the next one side by side, each
// fitted into half the area, without scroll bars.
//
// Invariants:
//  1. The current page is 1 .. max(1, the page count); Prev. Page is enabled only above page 1
//     and Next Page only below the count.
//  2. The first page window shows the current page, the second (when it exists) the page after.
//  3. While a print run started here is going on, the page windows draw no page and use no
//     printer: the run may replace the printer the view borrowed.  Afterwards the view is
//     formatted for the program's current printer again and the windows take it.
//
// The dialog borrows the view and the worksheet window; it owns its windows.  What it leaves
// out: selecting a plot palette when a page changes (a true-colour display has no palette).

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gui/Dialog.h"
#include "platform/gui/base/geometry.h"

class KWorksheetWindow;
class PreviewPage;
class PrintView;
class ScrollBar;
class Window;

class PrintPreviewDialog : public ModalDialog {
public:
    static constexpr int kResourceId = 5000;
    enum : int {
        kArea = 5001, kVerticalBar = 5002, kHorizontalBar = 5003,
        kZoomIn = 5004, kZoomOut = 5005, kActualSize = 5006, kSinglePage = 5007, kDoublePage = 5008,
        kPreviousPage = 5009, kNextPage = 5010, kDone = 5011, kPrint = 5012,
    };
    static constexpr Fraction kWholePage{0, 1};
    static constexpr Fraction kLargestZoom{16, 1};
    static constexpr Fraction kSmallestZoom{1, 16};

    // Runs the dialog over the view's pages with a copy of its printer's job set-up.
    static void run(PrintView& view);

    // `window` is what Print prints (none: Print does nothing).
    PrintPreviewDialog(KWorksheetWindow* window, std::vector<uint8_t> jobSetup, PrintView& view);
    ~PrintPreviewDialog() override;

    // What the buttons run.
    void zoomIn();
    void zoomOut();
    void actualSize();
    void singlePage();
    void doublePage();
    void previousPage();
    void nextPage();
    void print();

    const Fraction& zoom() const { return zoom_; }
    int currentPage() const { return page_; }
    int pageCount() const;
    PreviewPage& firstPageWindow() { return *first_; }
    PreviewPage* secondPageWindow() { return second_.get(); }
    Window& area() { return *area_; }
    ScrollBar& verticalBar() { return *verticalBar_; }
    ScrollBar& horizontalBar() { return *horizontalBar_; }

    // The program-wide start ratios of Zoom In and Zoom Out, and whether they were fitted.
    static Fraction zoomInStart();
    static Fraction zoomOutStart();
    static bool zoomStartsFitted();

private:
    struct Buttons;

    void layout();
    PreviewPage* makePageWindow(int page);
    // The area less 8 pixels each way: what a page window may take.
    Size pageRoom() const;
    void fitStartRatios();
    void fitPageWindow();
    void setUpScrollBars();
    void scrolled();
    // Zoom In and Zoom Out: the step from the whole page or by a factor, within a limit.
    void stepZoom(bool in);
    void applyZoom();
    // Enables the buttons by what the zoom shows.
    void enableZoomButtons(bool zoomIn, bool zoomOut, bool actual, bool single, bool dual);
    void hideSecondPage();
    void showPage(int page);
    long paintPage(PreviewPage* window);
    // Formats the view for the current printer again and shows the pages (invariant 3).
    void afterPrint();

    KWorksheetWindow* window_;
    PrintView& view_;
    std::vector<uint8_t> jobSetup_;
    Fraction zoom_ = kWholePage;
    int page_ = 1;
    bool printing_ = false;
    bool dual_ = false;   // the double-page view is shown
    std::unique_ptr<Buttons> buttons_;
    std::unique_ptr<Window> area_;
    std::unique_ptr<ScrollBar> verticalBar_, horizontalBar_;
    // Children of the area: declared after it, so deleted first.
    std::unique_ptr<PreviewPage> first_, second_;
};
