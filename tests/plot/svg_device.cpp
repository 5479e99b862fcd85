// The SVG plot device of the engine's tests.

#include "svg_device.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "plot/render/pipeline.h"

namespace {

// ---- SVG output side --------------------------------------------------------------------------
// View units are mapped to a 400 x 400 picture: x' = 200 + 180 x, y' = 200 - 180 y.
struct Svg {
    PlotOutputCallbacks cb;
    std::ostringstream body;
};
double px(double x) { return 200 + 180 * x; }
double py(double y) { return 200 - 180 * y; }
std::string rgb(ColourWord w) {
    char b[16];
    std::snprintf(b, sizeof b, "#%06x", w & 0xFFFFFF);
    return b;
}
Svg* of(PlotOutputCallbacks* cb) { return reinterpret_cast<Svg*>(cb); }
std::string esc(const char* t) {
    std::string s;
    for (; *t; ++t) {
        if (*t == '<') s += "&lt;"; else if (*t == '&') s += "&amp;"; else if (*t == '>') s += "&gt;"; else s += *t;
    }
    return s;
}
void svgLine(PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord w) {
    int width = static_cast<int>((w >> 28) & 0xF);
    of(cb)->body << "<line x1='" << px(x1) << "' y1='" << py(y1) << "' x2='" << px(x2) << "' y2='" << py(y2)
                 << "' stroke='" << rgb(w) << "' stroke-width='" << (width ? width : 1) << "'/>\n";
}
void svgPoint(PlotOutputCallbacks* cb, double x, double y, ColourWord w) {
    of(cb)->body << "<rect x='" << px(x) - 2 << "' y='" << py(y) - 2 << "' width='4' height='4' fill='" << rgb(w) << "'/>\n";
}
void svgPolygon(PlotOutputCallbacks* cb, int n, const double* xs, const double* ys, ColourWord w) {
    of(cb)->body << "<polygon points='";
    for (int i = 0; i < n; ++i) of(cb)->body << px(xs[i]) << "," << py(ys[i]) << " ";
    of(cb)->body << "' fill='" << rgb(w) << "'/>\n";
}
void svgText(PlotOutputCallbacks* cb, double x, double y, const char* t, int align, ColourWord w, int) {
    if (!*t) return;
    const char* anchor = (align & ALIGN_LEFT) ? "end" : (align & ALIGN_RIGHT) ? "start" : "middle";
    of(cb)->body << "<text x='" << px(x) << "' y='" << py(y) << "' font-size='10' text-anchor='" << anchor
                 << "' fill='" << rgb(w) << "'>" << esc(t) << "</text>\n";
}
void svgExtent(PlotOutputCallbacks*, double x, double y, const char* t, int align, int, int, double* x0, double* y0,
               double* x1, double* y1) {
    double w = 6.0 * std::char_traits<char>::length(t) / 180, h = 10.0 / 180;
    double left = (align & ALIGN_LEFT) ? x - w : (align & ALIGN_RIGHT) ? x : x - w / 2;
    double bottom = (align & ALIGN_BELOW) ? y - h : (align & ALIGN_ABOVE) ? y : y - h / 2;
    *x0 = left; *x1 = left + w; *y0 = bottom; *y1 = bottom + h;
}

void initSvg(Svg* s) {
    s->cb = PlotOutputCallbacks{};
    s->cb.point = svgPoint;
    s->cb.line = svgLine;
    s->cb.polygon = svgPolygon;
    s->cb.text = svgText;
    s->cb.textExtent = svgExtent;
    s->cb.overlayLine = svgLine;
    s->cb.overlayText = svgText;
    s->cb.background = 0xFFFFFF;
}

std::string document(const Svg& s) {
    return "<?xml version='1.0'?>\n<svg xmlns='http://www.w3.org/2000/svg' width='400' height='400'>\n"
           "<rect width='400' height='400' fill='#ffffff'/>\n" + s.body.str() + "</svg>\n";
}

}  // namespace

// The "svg" device: renders the plot and writes the document through the byte writer.
std::int32_t svgDriver(const char*, const char*, const char*, const char*, PlotByteWriter writer, int, PlotRecord* plot,
                       const char*, int, int) {
    Svg s;
    initSvg(&s);
    StorageArea draw;
    storage_init(&draw, STORAGE_ALIGN8, "draw");
    plot_render(plot, &s.cb, &draw);
    storage_free(&draw);
    for (char ch : document(s)) writer(nullptr, static_cast<unsigned char>(ch));
    return 0;
}


int run(const std::string& command) { return std::system(command.c_str()); }

bool rasterise(const std::string& svg, Image* img) {
    std::string png = svg + ".png", ppm = svg + ".ppm";
    if (run("rsvg-convert -w 400 -h 400 -o " + png + " " + svg) != 0) return false;
    if (run("convert " + png + " -alpha remove -depth 8 " + ppm) != 0) return false;
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int maxval;
    in >> magic >> img->w >> img->h >> maxval;
    in.get();
    img->data.assign(std::istreambuf_iterator<char>(in), {});
    return magic == "P6" && img->data.size() >= static_cast<std::size_t>(img->w * img->h * 3);
}
