// The stand-in plot elements: inline plot element and smart plot regions.
#include "document/elements/PlotElements.h"

#include <algorithm>

#include "tovu/print.h"

InlinePlotElement* inlineLastPlot = nullptr;

InlinePlotElement::InlinePlotElement(const DagWord* plot, int dimension) : dimension_(dimension) {
    if (plot) text_ = print_to_text(plot);
}

void InlinePlotElement::layout(ElementExtent& area) {
    area = {width_, height_};
    flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
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

void PlotRegion::layout(ElementExtent& area) {
    area = {width_, height_};
    flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
}

void PlotRegion::setPlotSize(int width, int height, int) {
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    markNeedsLayout();
}
