#pragma once
// The plot elements as the worksheet's execution groups see them, until the plot element
// classes land: the size operation shared by every plot element, the inline plot element
// (kind 16) that the inline plot device makes, and the smart plot regions (kinds 22 and 23)
// that a smart plot reply becomes.
//
// inlineLastPlot: the inline plot device's last made plot element, process-wide.  A caller
// clears it before rendering a plot and reads it afterwards: non-null when the device made an
// element for the worksheet (the caller then owns it).
//
// Sizes are in document pixels; the baseline is the distance from the top.

#include <string>

#include "document/elements/InlineElement.h"
#include "tovu/dag.h"

class Document;

class PlotElementSize {
public:
    virtual ~PlotElementSize() = default;
    virtual int plotWidth() const = 0;
    virtual int plotHeight() const = 0;
    virtual void setPlotSize(int width, int height, int baseline) = 0;
};

class InlinePlotElement : public InlineElement, public PlotElementSize {
public:
    static constexpr int DEFAULT_WIDTH = 400;
    static constexpr int DEFAULT_HEIGHT = 300;

    // dimension 2 or 3; the plot's linear text stands for its picture.
    InlinePlotElement(const DagWord* plot, int dimension);
    InlinePlotElement(const InlinePlotElement& other) = default;

    Element* cloneElement() const override { return new InlinePlotElement(*this); }
    int elementKind() const override { return 16; }
    bool isPlot() const override { return true; }
    // Placed as one piece of its stored size, sitting on the baseline.
    void measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) override;

    int plotWidth() const override { return width_; }
    int plotHeight() const override { return height_; }
    void setPlotSize(int width, int height, int baseline) override;
    int baseline() const { return baseline_; }
    int dimension() const { return dimension_; }

private:
    int dimension_;
    int width_ = DEFAULT_WIDTH;
    int height_ = DEFAULT_HEIGHT;
    int baseline_ = DEFAULT_HEIGHT;
    std::string text_;
};

extern InlinePlotElement* inlineLastPlot;

// A smart plot region: kind 22 (2-D) or 23 (3-D).  Keeps the plot's linear text.
class PlotRegion : public InlineElement, public PlotElementSize {
public:
    PlotRegion(int kind, const DagWord* plot, Document* document);
    PlotRegion(const PlotRegion& other) = default;

    Element* cloneElement() const override { return new PlotRegion(*this); }
    int elementKind() const override { return kind_; }
    bool isPlot() const override { return true; }
    // Placed as one piece of its stored size, sitting on the baseline.
    void measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) override;

    int plotWidth() const override { return width_; }
    int plotHeight() const override { return height_; }
    void setPlotSize(int width, int height, int baseline) override;
    const std::string& text() const { return text_; }

private:
    int kind_;
    int width_ = InlinePlotElement::DEFAULT_WIDTH;
    int height_ = InlinePlotElement::DEFAULT_HEIGHT;
    std::string text_;
};

class PlotRegion2D : public PlotRegion {
public:
    PlotRegion2D(const DagWord* plot, Document* document) : PlotRegion(22, plot, document) {}
};

class PlotRegion3D : public PlotRegion {
public:
    PlotRegion3D(const DagWord* plot, Document* document) : PlotRegion(23, plot, document) {}
};
