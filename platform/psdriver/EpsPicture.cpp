// The EPS picture: recording the renderer's primitives and writing them as PostScript.

#include "platform/psdriver/EpsPicture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <strings.h>

#include "plot/plot_hidden_surface.h"

namespace psdriver {

namespace {

// How far outside the picture a mark is still written before it is cut (its pen stays whole).
constexpr double kMargin = 16;
// Points of one path at most: long curves are stroked in pieces.
constexpr std::size_t kPathMax = 1000;

EpsPicture* self(PlotOutputCallbacks* cb) { return static_cast<EpsPicture*>(cb); }

bool same(const char* a, const char* b) { return a && strcasecmp(a, b) == 0; }

const char kProlog[] =
    "%%BeginProlog\n"
    "/KelvoPlotDict 40 dict def\n"
    "KelvoPlotDict begin\n"
    "/M {moveto} bind def\n"
    "/L {lineto} bind def\n"
    "/S {stroke} bind def\n"
    "/F {closepath fill} bind def\n"
    "/C {setrgbcolor} bind def\n"
    "/W {setlinewidth} bind def\n"
    "/D {0 setdash} bind def\n"
    "% (text) x y alignment /Font size T: alignment 1 ends the text at x, 2 starts it there,\n"
    "% 0 centres it; y is the baseline.\n"
    "/T {exch findfont exch scalefont setfont /th exch def moveto\n"
    "  th 1 eq {dup stringwidth pop neg 0 rmoveto} if\n"
    "  th 0 eq {dup stringwidth pop -2 div 0 rmoveto} if\n"
    "  show} bind def\n"
    "% Code page 1252 for the Latin fonts.\n"
    "/Win1252 ISOLatin1Encoding 256 array copy def\n"
    "Win1252 16#27 /quotesingle put Win1252 16#2D /hyphen put Win1252 16#60 /grave put\n"
    "[16#80 /Euro 16#81 /.notdef 16#82 /quotesinglbase 16#83 /florin 16#84 /quotedblbase\n"
    " 16#85 /ellipsis 16#86 /dagger 16#87 /daggerdbl 16#88 /circumflex 16#89 /perthousand\n"
    " 16#8A /Scaron 16#8B /guilsinglleft 16#8C /OE 16#8D /.notdef 16#8E /Zcaron 16#8F /.notdef\n"
    " 16#90 /.notdef 16#91 /quoteleft 16#92 /quoteright 16#93 /quotedblleft 16#94 /quotedblright\n"
    " 16#95 /bullet 16#96 /endash 16#97 /emdash 16#98 /tilde 16#99 /trademark 16#9A /scaron\n"
    " 16#9B /guilsinglright 16#9C /oe 16#9D /.notdef 16#9E /zcaron 16#9F /Ydieresis]\n"
    "aload length 2 idiv {Win1252 3 1 roll put} repeat\n"
    "/RE {findfont dup length dict begin {1 index /FID ne {def} {pop pop} ifelse} forall\n"
    "  /Encoding Win1252 def currentdict end definefont pop} bind def\n"
    "/Times-Roman-1252 /Times-Roman RE /Times-Bold-1252 /Times-Bold RE\n"
    "/Times-Italic-1252 /Times-Italic RE /Times-BoldItalic-1252 /Times-BoldItalic RE\n"
    "/Helvetica-1252 /Helvetica RE /Helvetica-Bold-1252 /Helvetica-Bold RE\n"
    "/Helvetica-Oblique-1252 /Helvetica-Oblique RE /Helvetica-BoldOblique-1252 /Helvetica-BoldOblique RE\n"
    "/Courier-1252 /Courier RE /Courier-Bold-1252 /Courier-Bold RE\n"
    "/Courier-Oblique-1252 /Courier-Oblique RE /Courier-BoldOblique-1252 /Courier-BoldOblique RE\n"
    "end\n"
    "%%EndProlog\n";

// Dash patterns of the LINESTYLE values 2, 3 and 4; others are solid.
const char* dashPattern(int dash) {
    switch (dash) {
    case 2: return "[4 2]";
    case 3: return "[1 2]";
    case 4: return "[4 2 1 2]";
    default: return "[]";
    }
}

int dashOf(ColourWord w) {
    int d = static_cast<int>((w >> 25) & 7);
    return d >= 2 && d <= 4 ? d : 1;
}

double widthOf(ColourWord w) {
    int t = static_cast<int>((w >> 28) & 0xF);
    return 0.5 * std::max(t, 1);
}

}  // namespace

void eps_append_number(std::string& out, double v) {
    if (!std::isfinite(v) || std::fabs(v) > 1e9) v = 0;
    if (std::fabs(v) < 0.005) v = 0;   // no "-0.00"
    char buf[48];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    out.append(buf, r.ptr);
}

void eps_append_string(std::string& out, const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '(' || c == ')' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[5] = {'\\', static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
                           static_cast<char>('0' + (c & 7)), 0};
            out.append(buf, 4);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
}

namespace {

EpsFont fontOf(const char* family, const char* style, double size) {
    EpsFont f{"Helvetica-1252", std::clamp(size, 1.0, 1000.0), 0.55};
    if (same(family, "times")) {
        f.widthFactor = 0.5;
        if (same(style, "bold")) f.name = "Times-Bold-1252";
        else if (same(style, "italic")) f.name = "Times-Italic-1252";
        else if (same(style, "bolditalic")) f.name = "Times-BoldItalic-1252";
        else f.name = "Times-Roman-1252";
    } else if (same(family, "helvetica") || same(family, "courier")) {
        std::string base = same(family, "courier") ? "Courier" : "Helvetica";
        f.widthFactor = same(family, "courier") ? 0.6 : 0.55;
        if (same(style, "bold")) f.name = base + "-Bold-1252";
        else if (same(style, "oblique")) f.name = base + "-Oblique-1252";
        else if (same(style, "boldoblique")) f.name = base + "-BoldOblique-1252";
        else f.name = base + "-1252";
    } else if (same(family, "symbol")) {
        f.name = "Symbol";
        f.widthFactor = 0.6;
    }
    return f;
}

const PlotFont* plotFont(const PlotRecord* plot, int index) {
    if (!plot || index < 1 || index > plot->fontCount || !plot->fonts) return nullptr;
    return plot->fonts[index - 1];
}

}  // namespace

EpsFont eps_font(const PlotRecord* plot, int index) {
    const PlotFont* f = plotFont(plot, index);
    return f ? fontOf(f->family, f->style, f->size) : fontOf("helvetica", "", 8);
}

EpsFont eps_title_font(const PlotRecord* plot, const PlotFrame* frame) {
    int index = frame && frame->options.titleFont ? frame->options.titleFont : plot ? plot->options.titleFont : 0;
    const PlotFont* f = plotFont(plot, index);
    return f ? fontOf(f->family, f->style, f->size) : fontOf("times", "roman", 14);
}

EpsPicture::EpsPicture(const PlotRecord* p, const PlotFrame* f) : PlotOutputCallbacks{}, plot(p), frame(f) {
    scaling.width = kEpsWidth;
    scaling.height = kEpsHeight;
    background = 0xFFFFFF;
    point = [](PlotOutputCallbacks* cb, double x, double y, ColourWord c) {
        EpsPicture* e = self(cb);
        e->inSymbol_ = true;
        plot_draw_point_symbol(cb, x, y, c);
        e->inSymbol_ = false;
    };
    line = [](PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord c) {
        EpsPicture* e = self(cb);
        (e->inSymbol_ ? e->symbolLines_ : e->lines_).push_back(Line{x1, y1, x2, y2, c});
    };
    polygon = [](PlotOutputCallbacks* cb, int n, const double* xs, const double* ys, ColourWord c) {
        EpsPicture* e = self(cb);
        if (n < 3 || !xs || !ys || (c & COLOUR_BACKGROUND_FILL)) return;
        e->shapes_.push_back(Shape{e->shapeXs_.size(), n, c});
        e->shapeXs_.insert(e->shapeXs_.end(), xs, xs + n);
        e->shapeYs_.insert(e->shapeYs_.end(), ys, ys + n);
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
        EpsPicture* e = self(cb);
        e->scaling.compute(xmin, xmax, ymin, ymax, kEpsWidth, kEpsHeight, plot_scaling_constrained(e->plot, e->frame));
    };
}

void EpsPicture::textBox(double x, double y, const char* s, int align, int font, double* x0, double* y0, double* x1,
                         double* y1) const {
    EpsFont f = eps_font(plot, font);
    double w = static_cast<double>(s ? std::strlen(s) : 0) * f.size * f.widthFactor, h = f.size;
    double u = scaling.u(x), v = scaling.v(y);
    double left = (align & ALIGN_LEFT) ? u - w : (align & ALIGN_RIGHT) ? u : u - w / 2;
    double bottom = (align & ALIGN_BELOW) ? v - h : (align & ALIGN_ABOVE) ? v : v - h / 2;
    *x0 = scaling.viewX(left);
    *x1 = scaling.viewX(left + w);
    *y0 = scaling.viewY(bottom);
    *y1 = scaling.viewY(bottom + h);
}

void EpsPicture::setColour(std::string& out, std::uint32_t rgb) {
    if (colour_ == static_cast<std::int64_t>(rgb)) return;
    colour_ = rgb;
    std::string s;
    for (int shift = 16; shift >= 0; shift -= 8) {
        int c = static_cast<int>((rgb >> shift) & 0xFF);
        int milli = (c * 1000 + 127) / 255;
        char part[16];
        std::snprintf(part, sizeof part, "%d.%03d ", milli / 1000, milli % 1000);   // integers: no locale
        s += part;
    }
    out += s + "C\n";
}

void EpsPicture::setPen(std::string& out, double width, int dash) {
    if (width != width_) {
        width_ = width;
        eps_append_number(out, width);
        out += " W\n";
    }
    if (dash != dash_) {
        dash_ = dash;
        out += dashPattern(dash);
        out += " D\n";
    }
}

void EpsPicture::writePolygon(std::string& out, const Shape& s) {
    PlotRing ring;
    ring.reserve(static_cast<std::size_t>(s.count) + 4);
    for (int i = 0; i < s.count; ++i)
        ring.emplace_back(scaling.u(shapeXs_[s.first + i]), scaling.v(shapeYs_[s.first + i]));
    if (!plot_clip_polygon(ring, -kMargin, kEpsWidth + kMargin, -kMargin, kEpsHeight + kMargin) || ring.size() < 3) return;
    setColour(out, s.colour & 0xFFFFFF);
    for (std::size_t i = 0; i < ring.size(); ++i) {
        eps_append_number(out, ring[i].first);
        out.push_back(' ');
        eps_append_number(out, ring[i].second);
        out += i == 0 ? " M\n" : " L\n";
    }
    out += "F\n";
}

void EpsPicture::writeLines(std::string& out, const std::vector<Line>& lines, bool axes) {
    // Segments that meet end to end with the same colour word become one path; the renderer
    // hands a curve's segments over last first, so a path grows at either end.
    std::deque<std::pair<double, double>> path;
    ColourWord pathColour = 0;
    auto flush = [&] {
        if (path.size() < 2) {
            path.clear();
            return;
        }
        std::uint32_t rgb = pathColour & 0xFFFFFF;
        if (axes && rgb == 0xFFFFFF) rgb = 0;   // axes stay visible on the white paper
        setColour(out, rgb);
        setPen(out, axes ? 0.5 : widthOf(pathColour), axes ? 1 : dashOf(pathColour));
        bool first = true;
        for (const auto& p : path) {
            eps_append_number(out, p.first);
            out.push_back(' ');
            eps_append_number(out, p.second);
            out += first ? " M\n" : " L\n";
            first = false;
        }
        out += "S\n";
        path.clear();
    };
    for (const Line& l : lines) {
        double u1 = scaling.u(l.x1), v1 = scaling.v(l.y1), u2 = scaling.u(l.x2), v2 = scaling.v(l.y2);
        if (!plot_clip_segment(u1, v1, u2, v2, -kMargin, kEpsWidth + kMargin, -kMargin, kEpsHeight + kMargin)) continue;
        std::pair<double, double> a{u1, v1}, b{u2, v2};
        if (!path.empty() && l.colour == pathColour && path.size() < kPathMax) {
            if (a == path.back()) { path.push_back(b); continue; }
            if (b == path.back()) { path.push_back(a); continue; }
            if (b == path.front()) { path.push_front(a); continue; }
            if (a == path.front()) { path.push_front(b); continue; }
        }
        flush();
        pathColour = l.colour;
        path.push_back(a);
        path.push_back(b);
    }
    flush();
}

void EpsPicture::writeLabel(std::string& out, const Label& t, bool axis) {
    double u = scaling.u(t.x), v = scaling.v(t.y);
    if (!std::isfinite(u) || !std::isfinite(v)) return;
    if (u < -kEpsWidth || u > 2 * kEpsWidth || v < -kEpsHeight || v > 2 * kEpsHeight) return;
    EpsFont f = eps_font(plot, t.font);
    double baseline = (t.align & ALIGN_BELOW) ? v - 0.8 * f.size : (t.align & ALIGN_ABOVE) ? v + 0.2 * f.size
                                                                                             : v - 0.35 * f.size;
    int h = (t.align & ALIGN_LEFT) ? 1 : (t.align & ALIGN_RIGHT) ? 2 : 0;
    std::uint32_t rgb = t.colour & 0xFFFFFF;
    if (axis && rgb == 0xFFFFFF) rgb = 0;
    setColour(out, rgb);
    out.push_back('(');
    eps_append_string(out, t.text.data(), t.text.size());
    out += ") ";
    eps_append_number(out, u);
    out.push_back(' ');
    eps_append_number(out, baseline);
    out += ' ' + std::to_string(h) + " /" + f.name + ' ';
    eps_append_number(out, f.size);
    out += " T\n";
}

void EpsPicture::writeTitle(std::string& out) {
    const char* title = frame && frame->options.title && *frame->options.title ? frame->options.title
                        : plot ? plot->options.title
                               : nullptr;
    if (!title || !*title) return;
    EpsFont f = eps_title_font(plot, frame);
    if (f.size > kEpsHeight) return;   // taller than the picture
    std::size_t length = std::strlen(title);
    double width = static_cast<double>(length) * f.size * f.widthFactor;
    if (width > kEpsWidth) {
        length = static_cast<std::size_t>(static_cast<double>(length) * kEpsWidth / width);
        if (length < 1) return;
    }
    setColour(out, 0);
    out.push_back('(');
    eps_append_string(out, title, length);
    out += ") ";
    eps_append_number(out, kEpsWidth / 2.0);
    out.push_back(' ');
    eps_append_number(out, kEpsHeight - 0.8 * f.size);
    out += " 0 /" + f.name + ' ';
    eps_append_number(out, f.size);
    out += " T\n";
}

std::string EpsPicture::document() {
    std::string body;
    for (const Shape& s : shapes_) writePolygon(body, s);
    writeLines(body, lines_, false);
    writeLines(body, symbolLines_, false);
    for (const Label& t : labels_) writeLabel(body, t, false);
    // Axis records are kept newest first.
    std::reverse(axisLines_.begin(), axisLines_.end());
    std::reverse(axisLabels_.begin(), axisLabels_.end());
    writeLines(body, axisLines_, true);
    for (const Label& t : axisLabels_) writeLabel(body, t, true);
    writeTitle(body);

    std::string out;
    out.reserve(body.size() + sizeof kProlog + 512);
    char box[160];
    std::snprintf(box, sizeof box,
                  "%%%%BoundingBox: 0 0 %d %d\n%%%%HiResBoundingBox: 0 0 %d %d\n", kEpsWidth, kEpsHeight, kEpsWidth,
                  kEpsHeight);
    out += "%!PS-Adobe-3.0 EPSF-3.0\n";
    out += box;
    out += "%%Creator: Kelvo\n%%LanguageLevel: 2\n%%Pages: 1\n%%EndComments\n";
    out += kProlog;
    out += "%%Page: 1 1\nKelvoPlotDict begin\ngsave\n";
    out += "0 0 " + std::to_string(kEpsWidth) + " " + std::to_string(kEpsHeight) + " rectclip\n";
    out += "1 setlinejoin 1 setlinecap\n";
    out += body;
    out += "grestore\nend\nshowpage\n%%Trailer\n%%EOF\n";
    return out;
}

}  // namespace psdriver
