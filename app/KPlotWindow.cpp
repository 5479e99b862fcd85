// The plot window: wrapping the region, the background and fitting the region to the window
// (rules in KPlotWindow.h).
#include "app/KPlotWindow.h"

#include <algorithm>
#include <new>

#include "app/KFrameAdaptor.h"
#include "document/edit/EditRecord.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/PlotElements.h"
#include "document/elements/SectionElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/ContainerElement.h"
#include "document/views/WindowView.h"
#include "options/KOptions.h"
#include "util/errjump.h"
#include "util/messages.h"

namespace {

// The container the region's paragraph stands in (the container kind, copied as a whole).
class PlotContainer : public ContainerElement {
public:
    PlotContainer() = default;
    PlotContainer(const PlotContainer& other) = default;
    Element* cloneElement() const override { return new PlotContainer(*this); }
};

}  // namespace

std::unique_ptr<WorksheetDocument> KPlotWindow::wrapRegion(PlotRegion* region) {
    Element* section = nullptr;
    {
        RecordingSuspension quiet;
        // The region is an inline element: a plot paragraph lays it out.
        auto* paragraph = new ParagraphElement(ParagraphElement::STYLE_KELVO_PLOT, nullptr);
        if (region) paragraph->insertChild(region, nullptr, kInsertAfter);
        auto* container = new PlotContainer();
        container->insertChild(paragraph, nullptr, kInsertAfter);
        section = new SectionElement();
        section->insertChild(container, nullptr, kInsertAfter);
    }
    return std::make_unique<WorksheetDocument>(nullptr, section);
}

KPlotWindow::KPlotWindow(PlotRegion* region, KFrameAdaptor* frame, KWindowRegistry* registry,
                         const KViewOptions* viewOptions, int menuBar, int contextBar)
    : KWorksheetWindow(frame, wrapRegion(region), registry, viewOptions, menuBar, contextBar), region_(region) {
    if (theOptions && !theOptions->plotBackgroundDefault) setBackgroundBrush(Brush(theOptions->plotBackground));
    setScrollBarMode(MODE_NEVER);
    fitRegion();
    relayoutAll();
    const Size c = canvasSize();
    setDocumentSize(c.width, c.height);
}

KPlotWindow::~KPlotWindow() = default;

bool KPlotWindow::fitRegion() {
    if (!region_ || (adaptor && adaptor->isMinimized())) return false;
    const Size c = canvasSize();
    const int width = static_cast<int>(c.width), height = static_cast<int>(c.height);
    region_->setPlotSize(width, height, height);
    return true;
}

void KPlotWindow::relayoutAll() {
    WindowView* v = view();
    if (!v) return;
    const Size c = canvasSize();
    v->setViewSize(std::max<long>(c.width, 1), std::max<long>(c.height, 1));
    v->relayout();
}

void KPlotWindow::resize() {
    try {
        ErrorGuard guard;
        if (!fitRegion()) return;
        // The layout reports the region's extent, indents included: the document size comes
        // after it.
        relayoutAll();
        const Size c = canvasSize();
        setDocumentSize(c.width, c.height);
        invalidate();
    } catch (const ErrorJump&) {
        reportOutOfMemory("resize");
    } catch (const std::bad_alloc&) {
        reportOutOfMemory("resize");
    }
}
