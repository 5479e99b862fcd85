#pragma once
// KPlotWindow: one plot shown alone in a window of its own.  The plot region is wrapped in a
// new worksheet document (region in a plot paragraph, in a container, in the root section),
// built while undo recording is suspended, and shown by the worksheet window in a frame.
// Replaced entries of the worksheet window:
//   resize         fits the region to the window's output size (the canvas), unless the frame
//                  is minimised, makes that the document size and redraws the whole window;
//   relayoutAll    lays the view out directly, without the "Formatting document" message;
//   the view's second reserved query answers false.
// With "PlotBGColor" other than "default" the window's background is a solid brush of that
// colour; with "default" it keeps the worksheet window's.
//
// The document is always exactly the window's size, so the window shows no scroll bars.
//
// Ownership: the region belongs to the window's document (the window's view owns the
// document); `region` is borrowed and lives as long as the window.

#include <memory>

#include "app/KWorksheetWindow.h"

class PlotRegion;

class KPlotWindow : public KWorksheetWindow {
public:
    // Takes the region (owned by the window's document from now on), wraps it in a new
    // document and shows it in the frame (a KMDIFrame from KMDIFrame::create); sets the
    // background and fits the region.  registry, viewOptions, menuBar and contextBar are the
    // worksheet window's.
    KPlotWindow(PlotRegion* region, KFrameAdaptor* frame, KWindowRegistry* registry, const KViewOptions* viewOptions,
                int menuBar, int contextBar);
    ~KPlotWindow() override;

    PlotRegion* region() const { return region_; }

    void resize() override;
    void relayoutAll() override;

    // The document a region is wrapped in: the region in a plot paragraph, in a container, in
    // a root section, built with undo recording suspended.
    static std::unique_ptr<WorksheetDocument> wrapRegion(PlotRegion* region);

protected:
    bool viewSecondQuery() const override { return false; }

private:
    // Hands the canvas size to the region unless the frame is minimised; false when it did not.
    bool fitRegion();

    PlotRegion* region_;
};
