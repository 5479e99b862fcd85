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
}

void plot_set_hidden_surface(PlotHiddenSurface stage) { hiddenSurface = stage; }

int plot_render(PlotRecord* plot, PlotOutputCallbacks* cb, StorageArea* area) {
    PlotDrawables* sets = plot_build_drawables(plot, area, 0);
    bool threeD = plot->dimension == 3;
    std::vector<PlotView> views;
    PlotFrame* frame = plot->first;
    ViewBox all{};
    bool first = true;
    for (PlotDrawables* set = sets; set && frame; set = set->next, frame = frame->next) {
        PlotView view{};
        ViewBox extent{};
        if (threeD) {
            plot_setup_view_3d(plot, frame, &view, &extent);
            plot_transform_3d(set, &view);
            plot_apply_lighting(plot, frame, set);
        } else {
            plot_setup_view_2d(plot, frame, &view, &extent);
            plot_transform_2d(set, &view);
        }
        views.push_back(view);
        if (first) all = extent; else view_box_union(false, &all, &extent, &all);
        first = false;
    }
    if (cb->setDrawingArea) cb->setDrawingArea(cb, all.lo[0], all.hi[0], all.lo[1], all.hi[1]);
    int drawn = 0;
    frame = plot->first;
    for (PlotDrawables* set = sets; set && frame; set = set->next, frame = frame->next) {
        const PlotView& view = views[static_cast<std::size_t>(drawn)];
        if (threeD) {
            if (set->polygons && hiddenSurface) hiddenSurface(set, plot, cb);
            else plot_output_primitives(cb, set);
            plot_build_axes_3d(cb, plot, frame, &view);
        } else {
            plot_output_primitives(cb, set);
            plot_build_axes_2d(cb, plot, frame, &view);
        }
        ++drawn;
        if (cb->interruptTest && cb->interruptTest(cb)) break;
    }
    return drawn;
}
