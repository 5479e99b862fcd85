// The renderer's stage order for one plot.

#include "plot/render/pipeline.h"

#include <vector>

#include "plot/render/axes.h"
#include "plot/render/build.h"
#include "plot/render/colour.h"
#include "plot/render/view.h"
#include "plot/plot_hidden_surface.h"

namespace {
// 3-D frames with polygons go through hidden-surface removal unless a caller replaces the stage
// (nullptr sends them to the direct output).
PlotHiddenSurface hiddenSurface = plot_hidden_surface;

void setup_view(const PlotRecord* plot, const PlotFrame* frame, PlotView* view, ViewBox* extent) {
    if (plot->dimension == 3) plot_setup_view_3d(plot, frame, view, extent);
    else plot_setup_view_2d(plot, frame, view, extent);
}

void transform(PlotRecord* plot, PlotFrame* frame, PlotDrawables* set, const PlotView* view) {
    if (plot->dimension == 3) {
        plot_transform_3d(set, view);
        plot_apply_lighting(plot, frame, set);
    } else {
        plot_transform_2d(set, view);
    }
}

void output(PlotRecord* plot, PlotFrame* frame, PlotDrawables* set, const PlotView* view, PlotOutputCallbacks* cb) {
    if (plot->dimension == 3) {
        if (set->polygons && hiddenSurface) hiddenSurface(set, plot, cb);
        else plot_output_primitives(cb, set);
        plot_build_axes_3d(cb, plot, frame, view);
    } else {
        plot_output_primitives(cb, set);
        plot_build_axes_2d(cb, plot, frame, view);
    }
}

void set_drawing_area(PlotOutputCallbacks* cb, const ViewBox& all) {
    if (cb->setDrawingArea) cb->setDrawingArea(cb, all.lo[0], all.hi[0], all.lo[1], all.hi[1]);
}
}  // namespace

void plot_set_hidden_surface(PlotHiddenSurface stage) { hiddenSurface = stage; }

int plot_render(PlotRecord* plot, PlotOutputCallbacks* cb, StorageArea* area, int frameLimit) {
    PlotDrawables* sets = plot_build_drawables(plot, area, 0);
    std::vector<PlotView> views;
    PlotFrame* frame = plot->first;
    ViewBox all{};
    bool first = true;
    for (PlotDrawables* set = sets; set && frame; set = set->next, frame = frame->next) {
        PlotView view{};
        ViewBox extent{};
        setup_view(plot, frame, &view, &extent);
        transform(plot, frame, set, &view);
        views.push_back(view);
        if (first) all = extent; else view_box_union(false, &all, &extent, &all);
        first = false;
    }
    set_drawing_area(cb, all);
    int drawn = 0;
    frame = plot->first;
    for (PlotDrawables* set = sets; set && frame; set = set->next, frame = frame->next) {
        output(plot, frame, set, &views[static_cast<std::size_t>(drawn)], cb);
        ++drawn;
        if (frameLimit > 0 && drawn >= frameLimit) break;
        if (cb->interruptTest && cb->interruptTest(cb)) break;
    }
    return drawn;
}

void plot_frame_view(const PlotRecord* plot, const PlotFrame* frame, PlotView* view, ViewBox* all) {
    *all = ViewBox{};
    bool first = true;
    for (const PlotFrame* f = plot->first; f; f = f->next) {
        PlotView v{};
        ViewBox extent{};
        setup_view(plot, f, &v, &extent);
        if (f == frame) *view = v;
        if (first) *all = extent; else view_box_union(false, all, &extent, all);
        first = false;
    }
}

void plot_render_frame(PlotRecord* plot, PlotFrame* frame, PlotDrawables* set, PlotOutputCallbacks* cb,
                       PlotView* viewOut) {
    PlotView view{};
    ViewBox all{};
    plot_frame_view(plot, frame, &view, &all);
    set_drawing_area(cb, all);
    transform(plot, frame, set, &view);
    output(plot, frame, set, &view, cb);
    if (viewOut) *viewOut = view;
}
