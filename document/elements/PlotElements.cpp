// The stand-in plot elements: inline plot element and smart plot regions.
#include "document/elements/PlotElements.h"

#include <algorithm>

#include "tovu/print.h"

InlinePlotElement* inlineLastPlot = nullptr;

InlinePlotElement::InlinePlotElement(const DagWord* plot, int dimension) : dimension_(dimension) {
    if (plot) text_ = print_to_text(plot);
}

namespace {
void plotExtent(InlineElement& e, ExtentRecord& out, int w, int h, bool& flows, bool& hasLineBreak) {
    out = ExtentRecord{0, 0, w, h, h};
    e.width = w;
    e.height = h;
    e.ascent = h;
    flows = false;
    hasLineBreak = false;
}
}  // namespace

void InlinePlotElement::measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) {
    plotExtent(*this, out, width_, height_, flows, hasLineBreak);
}

void InlinePlotElement::setPlotSize(int width, int height, int baseline) {
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    baseline_ = std::max(0, baseline);
    markNeedsLayout();
}

PlotRegion::PlotRegion(int kind, const DagWord* plot, Document*) : kind_(kind) {
    if (plot) text_ = print_to_text(plot);
}

void PlotRegion::measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) {
    plotExtent(*this, out, width_, height_, flows, hasLineBreak);
}

void PlotRegion::setPlotSize(int width, int height, int) {
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    markNeedsLayout();
}
