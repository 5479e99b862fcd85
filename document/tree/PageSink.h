#pragma once
// PageSink: what a paragraph needs of the page list when a document is cut into pages for the
// printer (the paginate walk): whether a line box still fits on the current page, a new page,
// and placing the box.  The page list of the views (document/views/PageList.h) implements it;
// the tree declares it here so that paragraphs reach it without the views.

#include "document/tree/DocumentView.h"

class PageSink {
public:
    virtual ~PageSink() = default;
    // Whether the box, placed at `offset`, fits on the current page.
    virtual bool fits(const ExtentRecord& box, ElementPoint offset) const = 0;
    // Places the box at `offset` on the current page.
    virtual void place(const ExtentRecord& box, ElementPoint offset) = 0;
    // Opens a new page unless the current one is still empty.
    virtual void newPage() = 0;
};
