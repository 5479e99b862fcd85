// Playback of a wrapped Windows metafile: a target of the metafile layer's player that draws on
// an OutputDevice.
//
// Mapping: the metafile's window (origin and extent, from its records, else origin 0 and the
// picture's preferred size) maps onto the destination rectangle in device pixels.  Map-mode
// records are taken as GDI takes them in a context prepared for playback (anisotropic): the
// window alone decides the scale.  Heights of fonts, pen widths and bitmap sizes scale with it.
//
// GDI state the device has no place for (text alignment, background mode and colour, current
// position, the window) is kept here and saved and restored with the device's own state on the
// metafile's save and restore records.  Escapement (rotated text) is not drawn rotated.
#include "platform/gui/Picture.h"

#include <QImage>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/gdi/wmf_player.h"

namespace {

// Saved states at most: a metafile of endless saves stops saving there.
constexpr std::size_t kMaxSaves = 1024;

Color colorOf(COLORREF c) {
    return Color::fromRGB8(static_cast<uint8_t>(GetRValue(c)), static_cast<uint8_t>(GetGValue(c)),
                           static_cast<uint8_t>(GetBValue(c)));
}

class DeviceTarget : public MetafileTarget {
public:
    DeviceTarget(OutputDevice& dev, const Rectangle& destPixel, const Size& window)
        : dev_(dev), dest_(destPixel) {
        s_.extX = window.width > 0 ? window.width : destPixel.getWidth();
        s_.extY = window.height > 0 ? window.height : destPixel.getHeight();
        s_.font.lfHeight = 0;
        std::strcpy(s_.font.lfFaceName, "System");
        applyPen();
        applyBrush();
    }

    // Pushes of the device made by save records and not yet restored.
    std::size_t depth() const { return saves_.size(); }

    void setWindowOrg(int x, int y) override {
        s_.orgX = x;
        s_.orgY = y;
    }
    void setWindowExt(int x, int y) override {
        if (x != 0) s_.extX = x;
        if (y != 0) s_.extY = y;
    }
    void setTextAlign(UINT align) override { s_.align = align; }
    void setBkMode(int mode) override { s_.bkMode = mode; }
    void setBkColor(COLORREF c) override { s_.bkColor = c; }
    void setTextColor(COLORREF c) override { s_.textColor = c; }
    void selectObject(int, const MetafileObject& o) override {
        switch (o.kind) {
        case MetafileObject::Font: s_.font = o.font; break;
        case MetafileObject::Pen:
            s_.pen = o.pen;
            applyPen();
            break;
        case MetafileObject::Brush:
            s_.brush = o.brush;
            applyBrush();
            break;
        }
    }
    void moveTo(int x, int y) override { s_.pos = POINT{x, y}; }
    void lineTo(int x, int y) override {
        dev_.drawLine(point(s_.pos.x, s_.pos.y), point(x, y));
        s_.pos = POINT{x, y};
    }
    void polyline(std::span<const POINT> pts) override { dev_.drawPolyLine(mapped(pts)); }
    void polygon(std::span<const POINT> pts) override { dev_.drawPolygon(mapped(pts)); }
    void rectangle(int l, int t, int r, int b) override {
        // GDI leaves out the right and bottom edges; the device's rectangles include them.
        Point a = point(l, t), z = point(r, b);
        dev_.drawRect(Rectangle(std::min(a.x, z.x), std::min(a.y, z.y), std::max(a.x, z.x) - 1, std::max(a.y, z.y) - 1));
    }
    void textOut(int x, int y, std::string_view bytes) override { text(x, y, bytes, {}); }
    void extTextOut(int x, int y, UINT options, const RECT* clip, std::string_view bytes,
                    std::span<const int16_t> dx) override {
        if (clip && (options & ETO_OPAQUE)) {
            Point a = point(clip->left, clip->top), z = point(clip->right, clip->bottom);
            const Pen pen = dev_.getPen();
            const Brush brush = dev_.getFillInBrush();
            dev_.setPen(Pen(Color(), 0, PEN_NULL));
            dev_.setFillInBrush(Brush(colorOf(s_.bkColor)));
            dev_.drawRect(Rectangle(a.x, a.y, z.x - 1, z.y - 1));
            dev_.setPen(pen);
            dev_.setFillInBrush(brush);
        }
        if (clip && (options & ETO_CLIPPED)) {
            dev_.push();
            Point a = point(clip->left, clip->top), z = point(clip->right, clip->bottom);
            dev_.intersectClipRegion(Rectangle(a.x, a.y, z.x - 1, z.y - 1));
            text(x, y, bytes, dx);
            dev_.pop();
        } else {
            text(x, y, bytes, dx);
        }
    }
    void saveDC() override {
        if (saves_.size() >= kMaxSaves) return;
        saves_.push_back(s_);
        dev_.push();
    }
    void restoreDC(int which) override {
        // -n: n saves back; n > 0: back to the state before the n-th save.
        std::size_t keep;
        if (which < 0) {
            const std::size_t back = static_cast<std::size_t>(-static_cast<long>(which));
            if (back > saves_.size()) return;
            keep = saves_.size() - back;
        } else {
            if (which == 0 || static_cast<std::size_t>(which) > saves_.size()) return;
            keep = static_cast<std::size_t>(which) - 1;
        }
        while (saves_.size() > keep) {
            s_ = saves_.back();
            saves_.pop_back();
            dev_.pop();
        }
    }
    void stretchDib(const RECT& d, const RECT& s, uint32_t, const MetafileDib& dib) override {
        Bitmap bmp;
        if (!gui::bitmapFromDib(dib, bmp)) return;
        // The source rectangle counts y from the bottom row.
        if (s.left != 0 || s.top != 0 || s.right != dib.width || s.bottom != dib.height) {
            if (s.right <= 0 || s.bottom <= 0) return;
            QImage part = gui::bitmapImage(bmp).copy(s.left, dib.height - s.top - s.bottom, s.right, s.bottom);
            if (part.isNull()) return;
            bmp = gui::makeBitmap(part, dib.bitCount);
        }
        Point a = point(d.left, d.top), z = point(d.left + d.right, d.top + d.bottom);
        Size size(std::abs(z.x - a.x), std::abs(z.y - a.y));
        if (size.width == 0 || size.height == 0) return;
        dev_.drawBitmap(Point(std::min(a.x, z.x), std::min(a.y, z.y)), size, bmp);
    }

private:
    struct State {
        int orgX = 0, orgY = 0, extX = 1, extY = 1;
        UINT align = TA_TOP;
        int bkMode = OPAQUE;
        COLORREF bkColor = RGB(255, 255, 255), textColor = 0;
        POINT pos;
        LOGFONTA font;
        LOGPEN pen;
        LOGBRUSH brush;
    };

    long long mapX(long long x) const {
        return dest_.left + std::llround(static_cast<double>(x - s_.orgX) * dest_.getWidth() / s_.extX);
    }
    long long mapY(long long y) const {
        return dest_.top + std::llround(static_cast<double>(y - s_.orgY) * dest_.getHeight() / s_.extY);
    }
    long lenX(long long v) const { return std::lround(std::abs(static_cast<double>(v) * dest_.getWidth() / s_.extX)); }
    long lenY(long long v) const { return std::lround(std::abs(static_cast<double>(v) * dest_.getHeight() / s_.extY)); }
    Point point(long long x, long long y) const { return Point(mapX(x), mapY(y)); }
    Polygon mapped(std::span<const POINT> pts) const {
        Polygon out;
        out.reserve(pts.size());
        for (const POINT& p : pts) out.push_back(point(p.x, p.y));
        return out;
    }

    void applyPen() {
        static const int kStyles[] = {PEN_SOLID, PEN_DASH, PEN_DOT, PEN_DASHDOT, PEN_DASHDOT, PEN_NULL};
        const int style = s_.pen.lopnStyle < 6 ? kStyles[s_.pen.lopnStyle] : PEN_SOLID;
        long width = s_.pen.lopnWidth.x > 0 ? std::max(1L, lenX(s_.pen.lopnWidth.x)) : 0;
        dev_.setPen(Pen(colorOf(s_.pen.lopnColor), static_cast<int32_t>(width), style));
    }
    void applyBrush() {
        const int style = s_.brush.lbStyle == BS_NULL ? BRUSH_NULL : s_.brush.lbStyle == BS_HATCHED ? BRUSH_HATCH : BRUSH_SOLID;
        dev_.setFillInBrush(Brush(colorOf(s_.brush.lbColor), style, style == BRUSH_NULL));
    }

    // Text at (x, y) in the selected font with the GDI alignment; `dx` the advances, when given.
    void text(int x, int y, std::string_view bytes, std::span<const int16_t> dx) {
        if (bytes.empty()) return;
        const LOGFONTA& lf = s_.font;
        Font f(String(std::string_view(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE))),
               Size(lenX(lf.lfWidth), lenY(lf.lfHeight)));
        f.setWeight(lf.lfWeight >= FW_SEMIBOLD ? WEIGHT_BOLD : WEIGHT_NORMAL);
        f.setItalic(lf.lfItalic != 0);
        f.setUnderline(lf.lfUnderline != 0);
        if (lf.lfCharSet == SYMBOL_CHARSET) f.setCharSet(CHARSET_SYMBOL);
        const UINT vertical = s_.align & TA_BASELINE;
        f.setAlign(vertical == TA_BASELINE ? ALIGN_BASELINE : vertical == TA_BOTTOM ? ALIGN_BOTTOM : ALIGN_TOP);
        f.setColor(colorOf(s_.textColor));
        f.setTransparent(s_.bkMode == TRANSPARENT);
        f.setFillColor(colorOf(s_.bkColor));
        dev_.setFont(f);

        const bool updateCp = s_.align & TA_UPDATECP;
        if (updateCp) {
            x = s_.pos.x;
            y = s_.pos.y;
        }
        const String s{bytes};
        long width = dev_.getTextWidth(s);  // pixels
        long long left = mapX(x);
        const UINT horizontal = s_.align & TA_CENTER;
        if (horizontal == TA_CENTER) left -= width / 2;
        else if (horizontal == TA_RIGHT) left -= width;
        const long long top = mapY(y);
        if (dx.size() == bytes.size()) {
            long long at = 0;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                dev_.drawText(Point(left + lenX(at) * (at < 0 ? -1 : 1), top), s, i, 1);
                at += dx[i];
            }
            width = lenX(at);
        } else {
            dev_.drawText(Point(left, top), s);
        }
        if (updateCp && s_.extX != 0) {
            s_.pos.x = static_cast<int32_t>(x + std::llround(static_cast<double>(width) * s_.extX / std::max(1L, dest_.getWidth())));
        }
    }

    OutputDevice& dev_;
    Rectangle dest_;
    State s_;
    std::vector<State> saves_;
};

}  // namespace

std::size_t Picture::playWindowsMetafile(OutputDevice& dev, const Rectangle& destPixel) const {
    DeviceTarget target(dev, destPixel, prefSize_);
    wmf_play(wmf_.data(), wmf_.size(), target);
    return target.depth();
}
