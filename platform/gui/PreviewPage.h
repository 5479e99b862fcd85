#pragma once
// PreviewPage: the print-preview page window.  It shows one page of a print job as the printer
// would print it, at a zoom, and lets the program draw the page through a paint handler.
//
//  - Page number: from 1; changing it repaints the window and runs the page-changed handler.
//  - Zoom: a ratio of the page's printed size on a 96 dots-per-inch screen; a numerator of 0
//    means "whole page": the page is fitted into the window.
//  - calcWindowSizePixel(area): the window size a page needs at the current zoom within an area:
//    at the whole-page zoom the largest size with the paper's proportions that fits; otherwise
//    the zoomed page, cut to the area where it is larger (the rest is reached by the origin).
//  - Origin: the page point (twips) shown at the window's top left when the page is larger than
//    the window; (0, 0) at the whole-page zoom.
//  - Printer and job set-up: the printer (borrowed; its paper size sets the page size, Letter
//    when there is none) and the job set-up bytes the preview was opened with, kept as given.
//  - Paint: the window is erased with its background, the paper is drawn white with a grey frame,
//    then the paint handler runs with the window's map mode set so that the printer's twips map
//    onto the page as shown: as on the printer, twip (0, 0) is the printable area's top left (the
//    paper's corner without a printer), and the page is scrolled by the origin.  The handler
//    draws clipped to the paper.  The window's drawing state (map mode, pen, brush, font, clip)
//    is restored after the handler.

#include <cstdint>
#include <vector>

#include "platform/gui/Window.h"
#include "platform/gui/base/Link.h"

class Printer;

class PreviewPage : public Window {
public:
    explicit PreviewPage(Window* parent, uint32_t style = 0);
    ~PreviewPage() override;

    void setPrinter(Printer* printer);
    Printer* getPrinter() const { return printer_; }
    void setJobSetup(std::vector<uint8_t> bytes) { jobSetup_ = std::move(bytes); }
    const std::vector<uint8_t>& getJobSetup() const { return jobSetup_; }

    void setPageNumber(long page);  // values below 1 become 1
    long getPageNumber() const { return page_; }
    void setZoom(const Fraction& zoom);  // a zero or negative denominator means whole page
    const Fraction& getZoom() const { return zoom_; }
    bool isWholePage() const { return zoom_.num <= 0 || zoom_.den <= 0; }
    void setOrigin(const Point& twips);
    const Point& getOrigin() const { return origin_; }

    // The paper size in twips (the printer's, or Letter).
    Size getPageSizeTwips() const;
    // The page's size in pixels at the current zoom, uncut; at the whole-page zoom the size that
    // fits the window.
    Size getPageSizePixel() const;
    Size calcWindowSizePixel(const Size& area) const;
    // The part of the page the window shows, in twips (the paper at the whole-page zoom).
    Size getVisibleSizeTwips() const;

    // Called with this window to draw the page (window device mapped to printer twips).
    void setPaintPageHdl(const LinkOf<PreviewPage*>& handler) { paintPage_ = handler; }
    // Called with this window after its page number changed.
    void setPageChangedHdl(const LinkOf<PreviewPage*>& handler) { pageChanged_ = handler; }

    void paint(const Rectangle& r) override;

private:
    Size fitInto(const Size& area) const;

    Printer* printer_ = nullptr;
    std::vector<uint8_t> jobSetup_;
    long page_ = 1;
    Fraction zoom_{0, 1};
    Point origin_;
    LinkOf<PreviewPage*> paintPage_, pageChanged_;
};
