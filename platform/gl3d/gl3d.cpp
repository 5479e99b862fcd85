// The entries of the 3-D plot library: the handle table, the view state and the renderings.

#include "platform/gl3d/gl3d.h"

#include <climits>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "platform/gl3d/Fonts.h"
#include "platform/gl3d/FrameImage.h"
#include "platform/gl3d/Output.h"
#include "plot/plot_hidden_surface.h"
#include "plot/render/axes.h"
#include "plot/render/build.h"
#include "plot/render/pipeline.h"
#include "tovu/dag.h"
#include "tovu/errors.h"
#include "util/errjump.h"

namespace {

using gl3d::FrameImage;
using gl3d::Mapping;

// Above this many polygons a frame is shown as its view box while it is being turned.  From
// bench/platform/gl3d (z = sin(x) cos(y) at 400 x 300, one full rendering per step, optimised
// build on a loaded 8-core machine): 22 renderings per second at 50 x 50 samples (2401
// polygons), 4.8 at 100 x 100 (9801); the threshold keeps turning at about 20 steps per second.
constexpr long kDefaultBoxThreshold = 2500;
long boxThreshold = kDefaultBoxThreshold;

// The pointer reaches a line or point within this many pixels.
constexpr double kPartReach = 3;

OutputDevice* current = nullptr;

struct AreaDelete {
    void operator()(StorageArea* a) const { storage_delete(a); }
};
using Area = std::unique_ptr<StorageArea, AreaDelete>;

Area newArea(const char* name) { return Area(storage_new(STORAGE_ALIGN8, name)); }

struct Handle {
    PlotRecord* plot = nullptr;
    int width = 0, height = 0;
    std::uint32_t background = 0xFFFFFF;
    bool acting = false;   // between oglStartAction and oglEndAction
    Area built = newArea("gl3d-objects");   // drawables of oglCreateObjects (texts point here)
    std::vector<FrameImage> frames;
    Area rendering = newArea("gl3d-render");   // the drawables of the last rendering
    // The last frame drawn in full: its transformed vertices (in `rendering`) and mapping.
    const DrawVertex* drawn = nullptr;
    int drawnFrame = -1;
    Mapping drawnMap;

    void forgetRendering() {
        drawn = nullptr;
        drawnFrame = -1;
        storage_free(rendering.get());
    }
};

std::map<int, std::unique_ptr<Handle>>& handles() {
    static std::map<int, std::unique_ptr<Handle>> table;
    return table;
}
int nextHandle = 1;

Handle* find(int handle) {
    auto& table = handles();
    auto it = table.find(handle);
    return it == table.end() ? nullptr : it->second.get();
}

// The handle when it exists and belongs to `plot`.
Handle* find(int handle, const PlotRecord* plot) {
    Handle* h = find(handle);
    return h && plot && h->plot == plot ? h : nullptr;
}

PlotFrame* frameAt(PlotRecord* plot, int index) {
    if (index < 0) return nullptr;
    PlotFrame* f = plot->first;
    for (int i = 0; f && i < index; ++i) f = f->next;
    return f;
}

// Runs work under both error stacks of the engine; false when it raised or threw.
template <typename Work>
bool guarded(Work work) {
    try {
        ErrorGuard jumps;
        TovuHandlerGuard errors;
        work();
        return true;
    } catch (...) {
        return false;
    }
}

void boxSink(PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord) {
    static_cast<gl3d::Output*>(cb)->boxLine(x1, y1, x2, y2);
}

std::uint8_t channel(float v) {
    if (!(v > 0)) return 0;   // also NaN
    if (v >= 1) return 255;
    return static_cast<std::uint8_t>(std::lround(static_cast<double>(v) * 255));
}

}  // namespace

void gl3dMakeCurrent(OutputDevice* device) { current = device; }

long gl3dSetBoxThreshold(long polygons) {
    long was = boxThreshold;
    boxThreshold = polygons;
    return was;
}

extern "C" {

int oglPlotInitialize(PlotRecord* plot, int, int, int width, int height, int) {
    if (!plot || nextHandle == INT_MAX) return -1;
    try {
        tovu_start();   // once per process; a program that has not started the expression library yet
        auto h = std::make_unique<Handle>();
        h->plot = plot;
        h->width = width;
        h->height = height;
        int id = nextHandle++;
        handles().emplace(id, std::move(h));
        return id;
    } catch (...) {
        return -1;
    }
}

int oglSetBackground(int handle, float red, float green, float blue) {
    Handle* h = find(handle);
    if (!h) return -1;
    h->background = (std::uint32_t{channel(red)} << 16) | (std::uint32_t{channel(green)} << 8) | channel(blue);
    return 0;
}

int oglCreateObjects(int handle, PlotRecord* plot, int, int, int) {
    Handle* h = find(handle, plot);
    if (!h) return -1;
    h->forgetRendering();
    h->frames.clear();
    storage_free(h->built.get());
    bool ok = guarded([&] {
        PlotDrawables* sets = plot_build_drawables(plot, h->built.get(), 0);
        for (PlotDrawables* set = sets; set; set = set->next) h->frames.emplace_back(*set);
    });
    if (!ok) {
        h->frames.clear();
        storage_free(h->built.get());
        return -1;
    }
    return 0;
}

int oglRedraw(int handle, PlotRecord* plot, int index, int) {
    Handle* h = find(handle, plot);
    if (!h || !current || h->width <= 0 || h->height <= 0) return -1;
    h->forgetRendering();
    PlotFrame* frame = frameAt(plot, index);
    bool drawable = frame && static_cast<std::size_t>(index) < h->frames.size();
    bool box = drawable && h->acting && plot->dimension == 3 &&
               static_cast<long>(h->frames[static_cast<std::size_t>(index)].polygonCount()) > boxThreshold;
    bool ok = guarded([&] {
        gl3d::Output out(current, plot, frame, h->width, h->height, h->background, box);
        out.fillBackground();
        if (!drawable) return;
        PlotView view{};
        if (box) {
            // While turning: the edges of the view box that face the viewer, and the axes.
            ViewBox all{};
            plot_frame_view(plot, frame, &view, &all);
            out.setDrawingArea(&out, all.lo[0], all.hi[0], all.lo[1], all.hi[1]);
            plot_draw_view_box(plot, frame, &view, &out, boxSink);
            plot_build_axes_3d(&out, plot, frame, &view);
        } else {
            DrawVertex* vertices = nullptr;
            PlotDrawables* set = h->frames[static_cast<std::size_t>(index)].make(h->rendering.get(), &vertices);
            plot_render_frame(plot, frame, set, &out, &view);
            h->drawn = vertices;
            h->drawnFrame = index;
            h->drawnMap = out.map;
        }
        out.replay();
        if (!box) out.drawTitle();
    });
    if (!ok) {
        h->forgetRendering();
        return -1;
    }
    return 0;
}

int oglResize(int handle, PlotRecord* plot, int, int, int width, int height) {
    Handle* h = find(handle, plot);
    if (!h) return -1;
    h->width = width;
    h->height = height;
    return 0;
}

int oglMouseMove(int handle, double x, double y, PlotRecord* plot) {
    Handle* h = find(handle, plot);
    if (!h || !h->drawn || !std::isfinite(x) || !std::isfinite(y)) return -1;
    const FrameImage& image = h->frames[static_cast<std::size_t>(h->drawnFrame)];
    return image.partAt(h->drawn, h->drawnMap, plot->dimension == 3, x, h->drawnMap.height - y, kPartReach);
}

int oglStartAction(int handle, PlotRecord* plot, int, int, int) {
    Handle* h = find(handle, plot);
    if (!h) return -1;
    h->acting = true;
    return 0;
}

int oglAction(int handle, double x, double y, double px, double py, PlotRecord* plot) {
    Handle* h = find(handle, plot);
    if (!h || h->width <= 0 || h->height <= 0) return -1;
    if (plot->dimension != 3) return 0;
    double dSecond = -(x - px) * 180 / h->width;
    double dFirst = (y - py) * 180 / h->height;   // y grows upwards here
    if (!std::isfinite(dFirst) || !std::isfinite(dSecond)) return -1;
    PlotOrientation* o = plot->options.orientation;
    if (!o) {
        if (!plot->area || !guarded([&] { o = plot_alloc<PlotOrientation>(plot->area); })) return -1;
        o->theta = 45;
        o->phi = 45;
        o->r = 1;
        plot->options.orientation = o;
    }
    o->theta = std::remainder(o->theta + dFirst, 360.0);
    o->phi = std::remainder(o->phi + dSecond, 360.0);
    return 0;
}

int oglEndAction(int handle, PlotRecord* plot, int, int) {
    Handle* h = find(handle, plot);
    if (!h) return -1;
    h->acting = false;
    return 0;
}

int ogl2dCoordToPlot(int handle, PlotRecord* plot, double x, double y, double* plotX, double* plotY) {
    Handle* h = find(handle, plot);
    if (!h || !plotX || !plotY || plot->dimension != 2 || h->width <= 0 || h->height <= 0) return -1;
    PlotFrame* frame = frameAt(plot, h->drawnFrame >= 0 ? h->drawnFrame : 0);
    if (!frame) return -1;
    PlotView view{};
    ViewBox all{};
    plot_frame_view(plot, frame, &view, &all);
    Mapping map;
    map.compute(all.lo[0], all.hi[0], all.lo[1], all.hi[1], h->width, h->height, plot_scaling_constrained(plot, frame));
    // The 2-D view: v = (p + m[0]) / m[4], so p = v * m[4] - m[0].
    double X = map.pixelToViewX(x) * view.m[4] - view.m[0];
    double Y = map.pixelToViewY(y) * view.m[5] - view.m[1];
    if (!std::isfinite(X) || !std::isfinite(Y)) return -1;
    *plotX = X;
    *plotY = Y;
    return 0;
}

int oglPerspective(int handle, PlotRecord* plot, double) {
    // Every rendering sets the view up from the plot record as it stands.
    return find(handle, plot) ? 0 : -1;
}

int oglChangeLighting(int handle, PlotRecord* plot) {
    // Every rendering lights untransformed drawables by the plot record as it stands.
    return find(handle, plot) ? 0 : -1;
}

int oglExit(int handle) { return handles().erase(handle) ? 0 : -1; }

int SetupFonts(void*, PlotRecord* plot, void* fontTable, int resolution, Gl3dGlyphCallback, Gl3dFreeCallback) {
    if (!fontTable) return -1;
    try {
        gl3d::fillFontTable(plot, fontTable, resolution);
        return 0;
    } catch (...) {
        return -1;
    }
}

int ActivateFonts(void* fontTable) {
    try {
        gl3d::activateFontTable(fontTable);
        return 0;
    } catch (...) {
        return -1;
    }
}

const char* glwFontName(int fontId) {
    const gl3d::FontDescription* d = gl3d::fontById(fontId);
    return d ? d->face.c_str() : "";
}

int glwPointSize(int fontId) {
    const gl3d::FontDescription* d = gl3d::fontById(fontId);
    return d ? d->points : 0;
}

int glwFontIsBold(int fontId) {
    const gl3d::FontDescription* d = gl3d::fontById(fontId);
    return d && d->bold ? 1 : 0;
}

int glwFontIsOblique(int fontId) {
    const gl3d::FontDescription* d = gl3d::fontById(fontId);
    return d && d->oblique ? 1 : 0;
}

}  // extern "C"
