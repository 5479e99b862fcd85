#pragma once
// PageList: the pages a document is cut into when it is formatted for the printer.  The print
// view opens the list (which opens the first page) and walks the tree; each paragraph asks
// whether a line box still fits on the current page (fits), opens a new page when it does not
// (newPage) and places the box (place).  Printing and the preview then take each page's
// rectangle (pageRect).
//
// A page, in document coordinates of the view it was made for:
//   originX, top   where its first box lies
//   width          the widest box placed on it
//   height         from top to the lowest box bottom
//   boxes          how many boxes were placed on it
//   usableWidth, usableHeight   the view's size less its margins when the page was opened
//
// Invariants:
//  1. A new list holds one empty page.
//  2. newPage adds no page while the current one holds no box, so a forced page break at the
//     top of a page leaves no blank page.
//  3. A box taller than the usable height fits on an empty page (it is placed, not lost).
//
// Owned by its view (DocumentView::setPageList); borrows the view, which outlives it.

#include <cstdint>
#include <vector>

#include "document/tree/DocumentView.h"
#include "document/tree/PageSink.h"

class PageList : public PageSink {
public:
    static constexpr std::size_t kGrowStep = 32;

    struct Page {
        std::int32_t originX = 0;
        std::int32_t top = 0;
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::int32_t boxes = 0;
        std::int32_t usableWidth = 0;
        std::int32_t usableHeight = 0;
    };

    // An empty table with the first page opened.
    explicit PageList(const DocumentView& view);

    // Whether the box, placed at `offset`, fits on the current page.
    bool fits(const ExtentRecord& box, ElementPoint offset) const override;
    // Places the box at `offset` on the current page.
    void place(const ExtentRecord& box, ElementPoint offset) override;
    // Opens a new page unless the current one is still empty.
    void newPage() override;
    int count() const { return static_cast<int>(pages_.size()); }
    // (originX, top, width, height) of a page; an empty rectangle for an index outside the list.
    ElementRect pageRect(int index) const;
    const Page& page(int index) const { return pages_.at(static_cast<std::size_t>(index)); }

private:
    const DocumentView& view_;
    std::vector<Page> pages_;   // grown by kGrowStep entries at a time
};
