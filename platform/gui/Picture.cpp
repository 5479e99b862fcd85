// Recorded pictures: the action list, playback into a rectangle and the recording device.
#include "platform/gui/Picture.h"

#include <QImage>

#include <cmath>
#include <utility>

bool Picture::addAction(PictureAction a) {
    if (a.type < PA_FIRST || a.type > PA_LAST) return false;
    actions_.push_back(std::move(a));
    return true;
}

void Picture::clear() {
    actions_.clear();
    wmf_.clear();
}

void Picture::setWindowsMetafile(std::vector<uint8_t> bytes) {
    actions_.clear();
    wmf_ = std::move(bytes);
}

bool operator==(const PictureAction& a, const PictureAction& b) {
    return a.type == b.type && a.point == b.point && a.point2 == b.point2 && a.rect == b.rect &&
           a.roundX == b.roundX && a.roundY == b.roundY && a.color == b.color && a.polygons == b.polygons &&
           a.text == b.text && a.textIndex == b.textIndex && a.textCount == b.textCount &&
           a.offsets == b.offsets && a.bitmap == b.bitmap && a.size == b.size && a.pen == b.pen &&
           a.font == b.font && a.orientation == b.orientation && a.lineOrientation == b.lineOrientation &&
           a.strikeout == b.strikeout && a.outline == b.outline && a.shadow == b.shadow &&
           a.brush == b.brush && a.fillColor == b.fillColor && a.mapMode == b.mapMode &&
           a.region == b.region && a.clipping == b.clipping && a.rasterOp == b.rasterOp && a.dx == b.dx &&
           a.dy == b.dy;
}

bool operator==(const Picture& a, const Picture& b) {
    return a.prefSize_ == b.prefSize_ && a.prefMap_ == b.prefMap_ && a.actions_ == b.actions_ && a.wmf_ == b.wmf_;
}

// ---- playback ----

namespace {

// Pictures measure themselves in pixels of a 96 dots-per-inch reference; only the ratio between
// the preferred size and the destination matters, so the reference resolution cancels out.
constexpr int kRefDpi = 96;

// Maps the picture's logic units (in its current map mode) onto device pixels of the destination.
class Mapper {
public:
    Mapper(const Rectangle& destPixel, long long prefW, long long prefH, const MapMode& map)
        : left_(destPixel.left), top_(destPixel.top), dw_(destPixel.getWidth()), dh_(destPixel.getHeight()),
          pw_(prefW), ph_(prefH), map_(map) {}

    void setMapMode(const MapMode& m) { map_ = m; }

    Point point(const Point& p) const {
        return Point(left_ + scale(map_.logicToPixelX(p.x, kRefDpi), dw_, pw_),
                     top_ + scale(map_.logicToPixelY(p.y, kRefDpi), dh_, ph_));
    }
    long lenX(long v) const { return static_cast<long>(scale(map_.lengthToPixelX(v, kRefDpi), dw_, pw_)); }
    long lenY(long v) const { return static_cast<long>(scale(map_.lengthToPixelY(v, kRefDpi), dh_, ph_)); }
    Rectangle rect(const Rectangle& r) const {
        if (r.isEmpty()) return r;
        Point a = point(Point(r.left, r.top)), b = point(Point(r.right, r.bottom));
        return Rectangle(a.x, a.y, b.x, b.y);
    }
    Polygon polygon(const Polygon& poly) const {
        Polygon out;
        out.reserve(poly.size());
        for (const Point& p : poly) out.push_back(point(p));
        return out;
    }
    Region region(const Region& r) const {
        switch (r.kind) {
        case Region::Rect: return Region(rect(r.rect));
        case Region::Poly: return r.polygons.empty() ? Region() : Region(polygon(r.polygons.front()));
        case Region::PolyPoly: {
            std::vector<Polygon> ps;
            for (const Polygon& p : r.polygons) ps.push_back(polygon(p));
            return Region(std::move(ps));
        }
        default: return Region();
        }
    }

private:
    // v * num / den rounded to the nearest integer.
    static long long scale(long long v, long long num, long long den) {
        if (num == den) return v;
        return std::llround(static_cast<double>(v) * static_cast<double>(num) / static_cast<double>(den));
    }
    long long left_, top_, dw_, dh_, pw_, ph_;
    MapMode map_;
};

}  // namespace

void Picture::play(OutputDevice& dev, const Rectangle& destLogic) const {
    if (isEmpty()) return;
    Rectangle dest = destLogic;
    dest.justify();
    if (dest.isEmpty()) return;
    const bool metafile = !wmf_.empty();
    if (!metafile && (prefMap_.lengthToPixelX(prefSize_.width, kRefDpi) <= 0 ||
                      prefMap_.lengthToPixelY(prefSize_.height, kRefDpi) <= 0))
        return;  // nothing to scale from
    const Rectangle destPixel = dev.logicToPixel(dest);

    // The picture starts from a device's initial drawing state, in device pixels, clipped to the
    // destination (within any clip the device had); everything is restored afterwards.
    const Brush savedBackground = dev.getBackgroundBrush();
    dev.push();
    dev.setMapMode(MapMode());
    dev.intersectClipRegion(destPixel);
    dev.setPen(Pen());
    dev.setFillInBrush(Brush());
    dev.setFont(Font());
    dev.setRasterOp(ROP_OVERPAINT);
    dev.setBackgroundBrush(Brush(Color(COL_WHITE)));
    std::size_t depth = metafile ? playWindowsMetafile(dev, destPixel) : playActions(dev, destPixel);
    for (; depth > 0; --depth) dev.pop();
    dev.pop();
    dev.setBackgroundBrush(savedBackground);
}

std::size_t Picture::playActions(OutputDevice& dev, const Rectangle& destPixel) const {
    const long long prefW = prefMap_.lengthToPixelX(prefSize_.width, kRefDpi);
    const long long prefH = prefMap_.lengthToPixelY(prefSize_.height, kRefDpi);
    Mapper m(destPixel, prefW, prefH, prefMap_);
    std::size_t depth = 0;  // pushes made by the picture and not yet popped

    for (const PictureAction& a : actions_) {
        switch (a.type) {
        case PA_PIXEL: dev.drawPixel(m.point(a.point), a.color); break;
        case PA_POINT: dev.drawPixel(m.point(a.point)); break;
        case PA_LINE: dev.drawLine(m.point(a.point), m.point(a.point2)); break;
        case PA_RECT:
            if (a.roundX > 0 && a.roundY > 0) dev.drawRect(m.rect(a.rect), m.lenX(a.roundX), m.lenY(a.roundY));
            else dev.drawRect(m.rect(a.rect));
            break;
        case PA_ELLIPSE: dev.drawEllipse(m.rect(a.rect)); break;
        case PA_ARC: dev.drawArc(m.rect(a.rect), m.point(a.point), m.point(a.point2)); break;
        case PA_PIE: dev.drawPie(m.rect(a.rect), m.point(a.point), m.point(a.point2)); break;
        case PA_INVERT:
        case PA_HIGHLIGHT: dev.invert(m.rect(a.rect)); break;
        case PA_POLYLINE:
            if (!a.polygons.empty()) dev.drawPolyLine(m.polygon(a.polygons.front()));
            break;
        case PA_POLYGON:
            if (!a.polygons.empty()) dev.drawPolygon(m.polygon(a.polygons.front()));
            break;
        case PA_POLYPOLYGON:
            for (const Polygon& p : a.polygons) dev.drawPolygon(m.polygon(p));
            break;
        case PA_TEXT:
            if (a.textIndex >= 0 && a.textCount > 0)
                dev.drawText(m.point(a.point), a.text, static_cast<std::size_t>(a.textIndex),
                             static_cast<std::size_t>(a.textCount));
            break;
        case PA_TEXTARRAY: {
            if (a.textIndex < 0 || a.textCount <= 0) break;
            const std::size_t first = static_cast<std::size_t>(a.textIndex);
            const std::size_t count = static_cast<std::size_t>(a.textCount);
            if (a.offsets.size() + 1 < count) {
                // Too few offsets for the characters: the text keeps its own spacing.
                dev.drawText(m.point(a.point), a.text, first, count);
                break;
            }
            for (std::size_t i = 0; i < count && first + i < a.text.len(); ++i) {
                long off = i == 0 ? 0 : a.offsets[i - 1];
                dev.drawText(m.point(Point(static_cast<long long>(a.point.x) + off, a.point.y)), a.text, first + i, 1);
            }
            break;
        }
        case PA_BITMAP: {
            Size px = a.bitmap.getSizePixel();
            Size s(m.lenX(px.width), m.lenY(px.height));
            if (s == px) dev.drawBitmap(m.point(a.point), a.bitmap);
            else dev.drawBitmap(m.point(a.point), s, a.bitmap);
            break;
        }
        case PA_BITMAPSCALE:
            dev.drawBitmap(m.point(a.point), Size(m.lenX(a.size.width), m.lenY(a.size.height)), a.bitmap);
            break;
        case PA_PEN: {
            Pen p = a.pen;
            p.width = static_cast<int32_t>(m.lenX(p.width));
            dev.setPen(p);
            break;
        }
        case PA_FONT: {
            Font f = a.font;
            f.setSize(Size(m.lenX(f.getSize().width), m.lenY(f.getSize().height)));
            dev.setFont(f);
            break;
        }
        case PA_BACKBRUSH: dev.setBackgroundBrush(a.brush); break;
        case PA_FILLBRUSH: dev.setFillInBrush(a.brush); break;
        case PA_MAPMODE: m.setMapMode(a.mapMode); break;
        case PA_CLIPREGION:
            if (a.clipping) dev.setClipRegion(m.region(a.region));
            else dev.resetClip();
            dev.intersectClipRegion(destPixel);
            break;
        case PA_RASTEROP: dev.setRasterOp(a.rasterOp); break;
        case PA_PUSH:
            dev.push();
            ++depth;
            break;
        case PA_POP:
            // A pop without its push would undo the playback's own state.
            if (depth > 0) {
                dev.pop();
                --depth;
            }
            break;
        case PA_MOVECLIP:
            dev.moveClipRegion(m.lenX(a.dx), m.lenY(a.dy));
            dev.intersectClipRegion(destPixel);
            break;
        case PA_INTERSECTCLIP: dev.intersectClipRegion(m.rect(a.rect)); break;
        default: break;  // reserved and placeholder actions draw nothing
        }
    }
    return depth;
}

// ---- recorder ----

PictureRecorder::PictureRecorder(const Size& prefSize, const MapMode& map, int dpi)
    : OutputDevice(OUTDEV_VIRDEV, dpi, dpi), scratch_(new QImage(1, 1, QImage::Format_RGB32)) {
    picture_.setPrefSize(prefSize);
    picture_.setPrefMapMode(map);
    setMapMode(map);
    setRecording(&picture_);
}

PictureRecorder::~PictureRecorder() {
    setRecording(nullptr);
    flushDrawing();
    delete scratch_;
}

Picture PictureRecorder::takePicture() {
    Picture out = std::move(picture_);
    picture_ = Picture();
    picture_.setPrefSize(out.getPrefSize());
    picture_.setPrefMapMode(out.getPrefMapMode());
    return out;
}

QPaintDevice* PictureRecorder::paintTarget() const { return scratch_; }
