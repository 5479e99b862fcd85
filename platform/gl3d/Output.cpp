// The renderer's output side over an OutputDevice.

#include "platform/gl3d/Output.h"

#include <cmath>
#include <cstring>

#include "platform/gl3d/Fonts.h"

namespace gl3d {

namespace {

// How far outside the area a primitive is still drawn before the device clips it: enough for
// the widest pen, small enough for 16-bit device coordinates.
constexpr double kMargin = 32;
constexpr std::size_t kPolylineMax = 1024;

Color colourOf(std::uint32_t rgb) {
    return Color::fromRGB8(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                           static_cast<std::uint8_t>(rgb));
}

int penStyleOf(ColourWord w) {
    switch ((w >> 25) & 7) {
    case 2: return PEN_DASH;
    case 3: return PEN_DOT;
    case 4: return PEN_DASHDOT;
    default: return PEN_SOLID;
    }
}

// ---- the callbacks ----
Output* self(PlotOutputCallbacks* cb) { return static_cast<Output*>(cb); }

}  // namespace

Output::Output(OutputDevice* dev, const PlotRecord* p, const PlotFrame* f, int width, int height,
               std::uint32_t rgb, bool box)
    : PlotOutputCallbacks{}, device(dev), plot(p), frame(f), backgroundRgb(rgb & 0xFFFFFF), boxOnly(box) {
    map.width = width;
    map.height = height;
    background = 0xFFFFFF;
    point = [](PlotOutputCallbacks* cb, double x, double y, ColourWord c) { self(cb)->dots_.push_back(Dot{x, y, c}); };
    line = [](PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord c) {
        self(cb)->lines_.push_back(Line{x1, y1, x2, y2, c});
    };
    polygon = [](PlotOutputCallbacks* cb, int n, const double* xs, const double* ys, ColourWord c) {
        Output* o = self(cb);
        if (n < 1 || !xs || !ys) return;
        o->shapes_.push_back(Shape{o->shapeXs_.size(), n, c});
        o->shapeXs_.insert(o->shapeXs_.end(), xs, xs + n);
        o->shapeYs_.insert(o->shapeYs_.end(), ys, ys + n);
    };
    text = [](PlotOutputCallbacks* cb, double x, double y, const char* s, int align, ColourWord c, int font) {
        if (s && *s) self(cb)->labels_.push_back(Label{x, y, s, align, c, font});
    };
    textExtent = [](PlotOutputCallbacks* cb, double x, double y, const char* s, int align, int, int font, double* x0,
                    double* y0, double* x1, double* y1) { self(cb)->textBox(x, y, s, align, font, x0, y0, x1, y1); };
    overlayLine = [](PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord c) {
        self(cb)->axisLines_.push_back(Line{x1, y1, x2, y2, c});
    };
    overlayText = [](PlotOutputCallbacks* cb, double x, double y, const char* s, int align, ColourWord c, int font) {
        if (s && *s) self(cb)->axisLabels_.push_back(Label{x, y, s, align, c, font});
    };
    setDrawingArea = [](PlotOutputCallbacks* cb, double xmin, double xmax, double ymin, double ymax) {
        Output* o = self(cb);
        o->map.compute(xmin, xmax, ymin, ymax, o->map.width, o->map.height, plot_scaling_constrained(o->plot, o->frame));
    };
    device->push();
    device->setMapMode(MapMode());
    device->setRasterOp(ROP_OVERPAINT);
    device->intersectClipRegion(Rectangle(::Point(0, 0), Size(width, height)));
}

Output::~Output() { device->pop(); }

void Output::replay() {
    for (const Shape& p : shapes_) fillPolygon(p.count, &shapeXs_[p.first], &shapeYs_[p.first], p.colour);
    for (const Line& l : lines_) lineSegment(l.x1, l.y1, l.x2, l.y2, l.colour);
    flush();
    for (const Dot& d : dots_) drawPoint(d.x, d.y, d.colour);
    for (const Label& t : labels_) drawText(t.x, t.y, t.text.c_str(), t.align, t.colour, t.font, false);
    // Axis records are kept newest first.
    for (auto l = axisLines_.rbegin(); l != axisLines_.rend(); ++l) axisLine(l->x1, l->y1, l->x2, l->y2, l->colour);
    for (auto t = axisLabels_.rbegin(); t != axisLabels_.rend(); ++t)
        drawText(t->x, t->y, t->text.c_str(), t->align, t->colour, t->font, true);
    shapes_.clear();
    shapeXs_.clear();
    shapeYs_.clear();
    lines_.clear();
    axisLines_.clear();
    dots_.clear();
    labels_.clear();
    axisLabels_.clear();
}

std::uint32_t Output::contrast(std::uint32_t rgb) const {
    rgb &= 0xFFFFFF;
    if (rgb != backgroundRgb) return rgb;
    // Each component that is 0 becomes full, every other one 0.
    std::uint32_t r = 0;
    for (int shift = 0; shift < 24; shift += 8)
        if (((rgb >> shift) & 0xFF) == 0) r |= 0xFFu << shift;
    return r;
}

void Output::usePen(const Pen& p, bool fill) {
    if (havePen_ && p == pen_ && fill == penFill_) return;
    Color c = colourOf(p.rgb);
    device->setPen(::Pen(c, p.width, p.style));
    device->setFillInBrush(fill ? Brush(c) : Brush(c, BRUSH_NULL));
    pen_ = p;
    penFill_ = fill;
    havePen_ = true;
}

void Output::fillBackground() {
    usePen(Pen{backgroundRgb, 0, PEN_NULL}, true);
    device->drawRect(Rectangle(::Point(0, 0), Size(map.width, map.height)));
}

void Output::flush() {
    if (polyline_.size() >= 2) {
        usePen(Pen{polylineColour_ & 0xFFFFFF, static_cast<int>((polylineColour_ >> 28) & 0xF), penStyleOf(polylineColour_)},
               false);
        if (polyline_.size() == 2) device->drawLine(polyline_[0], polyline_[1]);
        else device->drawPolyLine(polyline_);
    }
    polyline_.clear();
}

void Output::lineSegment(double x1, double y1, double x2, double y2, ColourWord colour) {
    double u1 = map.u(x1), v1 = map.v(y1), u2 = map.u(x2), v2 = map.v(y2);
    if (!plot_clip_segment(u1, v1, u2, v2, -kMargin, map.width + kMargin, -kMargin, map.height + kMargin)) return;
    ::Point a(static_cast<long long>(map.pixelX(u1)), static_cast<long long>(map.pixelY(v1)));
    ::Point b(static_cast<long long>(map.pixelX(u2)), static_cast<long long>(map.pixelY(v2)));
    if (!polyline_.empty() && colour == polylineColour_ && polyline_.size() < kPolylineMax) {
        if (a == polyline_.back()) {
            polyline_.push_back(b);
            return;
        }
        if (b == polyline_.back()) {
            polyline_.push_back(a);
            return;
        }
    }
    flush();
    polylineColour_ = colour;
    polyline_.push_back(a);
    polyline_.push_back(b);
}

void Output::boxLine(double x1, double y1, double x2, double y2) {
    double u1 = map.u(x1), v1 = map.v(y1), u2 = map.u(x2), v2 = map.v(y2);
    if (!plot_clip_segment(u1, v1, u2, v2, -kMargin, map.width + kMargin, -kMargin, map.height + kMargin)) return;
    usePen(Pen{backgroundRgb == 0 ? 0xFFFFFFu : 0u, 0, PEN_SOLID}, false);
    device->drawLine(::Point(static_cast<long long>(map.pixelX(u1)), static_cast<long long>(map.pixelY(v1))),
                     ::Point(static_cast<long long>(map.pixelX(u2)), static_cast<long long>(map.pixelY(v2))));
}

void Output::axisLine(double x1, double y1, double x2, double y2, ColourWord colour) {
    double u1 = map.u(x1), v1 = map.v(y1), u2 = map.u(x2), v2 = map.v(y2);
    if (!plot_clip_segment(u1, v1, u2, v2, -kMargin, map.width + kMargin, -kMargin, map.height + kMargin)) return;
    long long ax = static_cast<long long>(map.pixelX(u1)), ay = static_cast<long long>(map.pixelY(v1));
    long long bx = static_cast<long long>(map.pixelX(u2)), by = static_cast<long long>(map.pixelY(v2));
    if (!boxOnly) {
        // A very short line stays visible: a horizontal step of one pixel gets one more to the
        // right; a vertical stub of at most one pixel (or a single pixel) reaches two pixels up
        // from its lower end.
        long long dx = std::llabs(ax - bx), dy = std::llabs(ay - by);
        if (dy == 0 && dx == 1) {
            if (ax > bx) ++ax; else ++bx;
        } else if (dx == 0 && dy <= 1) {
            if (ay <= by) ay = by - 2; else by = ay - 2;
        }
    }
    usePen(Pen{contrast(colour), 1, PEN_SOLID}, false);
    device->drawLine(::Point(ax, ay), ::Point(bx, by));
}

void Output::drawPoint(double x, double y, ColourWord colour) {
    double u = map.u(x), v = map.v(y);
    if (!std::isfinite(u) || !std::isfinite(v)) return;
    double px = map.pixelX(u), py = map.pixelY(v);
    if (px < -2 || px > map.width - 1 + 2 || py < -2 || py > map.height - 1 + 2) return;
    int cx = static_cast<int>(px), cy = static_cast<int>(py);
    static const int cross[][2] = {{0, 0}, {1, 0}, {2, 0}, {-1, 0}, {-2, 0}, {0, 1}, {0, 2}, {0, -1}, {0, -2}};
    static const int diamond[][2] = {{0, 2}, {1, 1}, {2, 0}, {1, -1}, {0, -2}, {-1, -1}, {-2, 0}, {-1, 1}};
    static const int circle[][2] = {{-1, 2}, {0, 2}, {1, 2}, {-1, -2}, {0, -2}, {1, -2},
                                    {2, -1}, {2, 0}, {2, 1}, {-2, -1}, {-2, 0}, {-2, 1}};
    static const int single[][2] = {{0, 0}};
    int box[16][2];
    int n = 0;
    for (int i = -2; i <= 2; ++i)
        for (int j = -2; j <= 2; ++j)
            if (i == -2 || i == 2 || j == -2 || j == 2) {
                box[n][0] = i;
                box[n][1] = j;
                ++n;
            }
    const int (*pattern)[2] = diamond;
    int count = 8;
    switch ((colour >> 28) & 0xF) {
    case 1: pattern = cross; count = 9; break;
    case 3: pattern = box; count = 16; break;
    case 4: pattern = circle; count = 12; break;
    case 5: pattern = single; count = 1; break;
    default: break;
    }
    Color c = colourOf(colour & 0xFFFFFF);
    for (int i = count - 1; i >= 0; --i) device->drawPixel(::Point(cx + pattern[i][0], cy + pattern[i][1]), c);
}

void Output::fillPolygon(int n, const double* xs, const double* ys, ColourWord colour) {
    if (n < 3 || !xs || !ys) return;
    PlotRing ring;
    ring.reserve(static_cast<std::size_t>(n) + 4);
    for (int i = 0; i < n; ++i) ring.emplace_back(map.u(xs[i]), map.v(ys[i]));
    if (!plot_clip_polygon(ring, -kMargin, map.width + kMargin, -kMargin, map.height + kMargin)) return;
    if (ring.size() < 3) return;
    ::Polygon poly;
    poly.reserve(ring.size());
    for (const auto& p : ring)
        poly.emplace_back(static_cast<long long>(map.pixelX(p.first)), static_cast<long long>(map.pixelY(p.second)));
    std::uint32_t rgb = (colour & COLOUR_BACKGROUND_FILL) ? backgroundRgb : (colour & 0xFFFFFF);
    usePen(Pen{rgb, 0, PEN_SOLID}, true);
    device->drawPolygon(poly);
}

bool Output::place(double x, double y, const char* s, int align, int fontId, double* left, double* top, double* w,
                   double* h) {
    double u = map.u(x), v = map.v(y);
    if (!std::isfinite(u) || !std::isfinite(v)) return false;
    double ax = map.pixelX(u), ay = map.pixelY(v);
    if (fontId != fontId_) {
        Font f = guiFont(fontId);
        f.setColor(colourOf(fontRgb_));
        device->setFont(f);
        fontId_ = fontId;
    }
    *w = static_cast<double>(device->getTextWidth(String(s)));
    *h = static_cast<double>(device->getTextHeight());
    *left = (align & ALIGN_LEFT) ? ax - *w : (align & ALIGN_RIGHT) ? ax : ax - *w / 2;
    *top = (align & ALIGN_BELOW) ? ay : (align & ALIGN_ABOVE) ? ay - *h : ay - *h / 2;
    return true;
}

void Output::drawText(double x, double y, const char* s, int align, ColourWord colour, int font, bool axis) {
    if (!s || !*s) return;
    std::uint32_t rgb = axis ? contrast(colour) : (colour & 0xFFFFFF);
    if (rgb != fontRgb_) {
        fontRgb_ = rgb;
        fontId_ = -1;   // the colour is part of the device's font
    }
    double left, top, w, h;
    if (!place(x, y, s, align, textFontId(font), &left, &top, &w, &h)) return;
    String str(s);
    std::size_t len = str.len(), from = 0;
    if (w <= 0) return;
    if (left < 0) {
        double drop = std::trunc(static_cast<double>(len) * -left / w);
        if (drop >= static_cast<double>(len)) return;
        from = static_cast<std::size_t>(drop);
        left = 0;
    }
    if (left >= map.width) return;
    std::size_t count = len - from;
    while (count > 0 && left + static_cast<double>(device->getTextWidth(str, from, count)) > map.width) --count;
    if (count == 0) return;
    if (!std::isfinite(top) || top < -32768 || top > 32767) return;
    device->drawText(::Point(static_cast<long long>(left), static_cast<long long>(top)), str, from, count);
}

void Output::textBox(double x, double y, const char* s, int align, int font, double* x0, double* y0, double* x1,
                     double* y1) {
    double left, top, w, h;
    if (!s || !place(x, y, s, align, textFontId(font), &left, &top, &w, &h)) {
        *x0 = *x1 = x;
        *y0 = *y1 = y;
        return;
    }
    *x0 = map.pixelToViewX(left);
    *x1 = map.pixelToViewX(left + w);
    *y0 = map.pixelToViewY(top + h);
    *y1 = map.pixelToViewY(top);
}

void Output::drawTitle() {
    const char* title = frame && frame->options.title && *frame->options.title ? frame->options.title
                        : plot ? plot->options.title
                               : nullptr;
    if (!title || !*title) return;
    int index = frame && frame->options.titleFont ? frame->options.titleFont : plot ? plot->options.titleFont : 0;
    const ActiveFonts& fonts = activeFonts();
    int id = fonts.title;
    if (index >= 1 && static_cast<std::size_t>(index) <= fonts.plotFonts.size() &&
        fontById(fonts.plotFonts[static_cast<std::size_t>(index) - 1]))
        id = fonts.plotFonts[static_cast<std::size_t>(index) - 1];
    Font f = guiFont(id);
    f.setColor(colourOf(contrast(0)));
    device->setFont(f);
    fontId_ = -1;
    String str(title);
    std::size_t len = str.len();
    long w = device->getTextWidth(str), h = device->getTextHeight();
    if (w <= 0 || h > map.height) return;
    if (w > map.width) {
        len = static_cast<std::size_t>(static_cast<double>(len) * map.width / static_cast<double>(w));
        if (len < 1) return;
        w = device->getTextWidth(str, 0, len);
    }
    device->drawText(::Point((map.width - w) / 2, 0), str, 0, len);
}

}  // namespace gl3d
