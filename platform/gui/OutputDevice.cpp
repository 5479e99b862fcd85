// Drawing and measuring on any device (steps and rules in OutputDevice.h).
#include "platform/gui/OutputDevice.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/gui/Picture.h"
#include "platform/gui/qt_text.h"

namespace {

enum class PainterUse { None, Line, Fill, Text };

struct SavedState {
    Font font;
    Pen pen;
    Brush brush;
    int rop;
    MapMode map;
    bool clipping;
    QRegion clip;
};

QColor toQColor(const Color& c) { return QColor(c.red8(), c.green8(), c.blue8()); }

Qt::PenStyle toQtPenStyle(int s) {
    switch (s) {
    case PEN_NULL: return Qt::NoPen;
    case PEN_DASH: return Qt::DashLine;
    case PEN_DOT: return Qt::DotLine;
    case PEN_DASHDOT: return Qt::DashDotLine;
    default: return Qt::SolidLine;
    }
}

}  // namespace

struct OutputDevice::Impl {
    int type;
    int dpiX, dpiY;
    Font font;
    Pen pen;
    Brush brush;
    Brush background{Color(COL_WHITE)};
    int rop = ROP_OVERPAINT;
    MapMode map;
    bool identity = true;  // map mode is pixels without origin or scale
    bool clipping = false;
    QRegion clip;          // device pixels
    std::vector<SavedState> stack;
    Picture* recording = nullptr;  // set: calls append actions instead of drawing

    // Painter cache.
    std::unique_ptr<QPainter> own;
    QPainter* active = nullptr;
    PainterUse use = PainterUse::None;
    bool ropDirty = true, clipDirty = true, penDirty = true;

    // Font cache.
    bool fontValid = false;
    QFont qfont;
    std::unique_ptr<QFontMetrics> metrics;
    bool symbol = false;
    char16_t symbolMap[256];
};

namespace {

// Appends an action when the device records; the caller then skips drawing.
bool record(OutputDevice::Impl& m, PictureAction&& a) {
    if (!m.recording) return false;
    m.recording->addAction(std::move(a));
    return true;
}

PictureAction rectAction(int type, const Rectangle& r) {
    PictureAction a(type);
    a.rect = r;
    return a;
}

}  // namespace

void OutputDevice::setRecording(Picture* target) { dev_->recording = target; }

OutputDevice::OutputDevice(int type, int dpiX, int dpiY) : dev_(new Impl) {
    dev_->type = type;
    dev_->dpiX = dpiX;
    dev_->dpiY = dpiY;
}

OutputDevice::~OutputDevice() {
    dev_->own.reset();
    delete dev_;
}

int OutputDevice::getOutDevType() const { return dev_->type; }
void OutputDevice::touched() const {}

void OutputDevice::setResolution(int dpiX, int dpiY) {
    dev_->dpiX = dpiX > 0 ? dpiX : 96;
    dev_->dpiY = dpiY > 0 ? dpiY : 96;
    dev_->fontValid = false;
}

int OutputDevice::getDPIX() const { return dev_->dpiX; }
int OutputDevice::getDPIY() const { return dev_->dpiY; }

// ---- painter cache ----

namespace {

QPainter* beginPainter(const OutputDevice& d, OutputDevice::Impl& m, QPaintDevice* target, QPainter* external) {
    if (external) {
        if (m.active != external) {
            m.active = external;
            m.use = PainterUse::None;
            m.ropDirty = m.clipDirty = m.penDirty = true;
        }
    } else if (!m.own) {
        if (!target || target->width() <= 0 || target->height() <= 0) return nullptr;
        m.own = std::make_unique<QPainter>(target);
        if (!m.own->isActive()) { m.own.reset(); return nullptr; }
        m.active = m.own.get();
        m.use = PainterUse::None;
        m.ropDirty = m.clipDirty = m.penDirty = true;
    }
    QPainter* p = m.active;
    (void)d;
    if (m.ropDirty) {
        p->setRenderHint(QPainter::Antialiasing, false);
        if (m.type != OUTDEV_PRINTER)
            p->setCompositionMode(m.rop == ROP_XOR ? QPainter::RasterOp_SourceXorDestination
                                                   : QPainter::CompositionMode_SourceOver);
        m.ropDirty = false;
    }
    if (m.clipDirty) {
        if (m.clipping) p->setClipRegion(m.clip);
        else p->setClipping(false);
        m.clipDirty = false;
    }
    return p;
}

}  // namespace

void OutputDevice::flushDrawing() const {
    dev_->own.reset();
    if (dev_->active && !externalPainter()) dev_->active = nullptr;
    dev_->use = PainterUse::None;
}

// ---- state ----

void OutputDevice::setFont(const Font& f) {
    if (f == dev_->font) return;
    if (dev_->recording) {
        PictureAction a(PA_FONT);
        a.font = f;
        record(*dev_, std::move(a));
    }
    dev_->font = f;
    dev_->fontValid = false;
    if (dev_->use == PainterUse::Text) dev_->use = PainterUse::None;
}
const Font& OutputDevice::getFont() const { return dev_->font; }

void OutputDevice::setPen(const Pen& p) {
    if (p == dev_->pen) return;
    if (dev_->recording) {
        PictureAction a(PA_PEN);
        a.pen = p;
        record(*dev_, std::move(a));
    }
    dev_->pen = p;
    dev_->penDirty = true;
}
const Pen& OutputDevice::getPen() const { return dev_->pen; }

void OutputDevice::setFillInBrush(const Brush& b) {
    if (b == dev_->brush) return;
    if (dev_->recording) {
        PictureAction a(PA_FILLBRUSH);
        a.brush = b;
        record(*dev_, std::move(a));
    }
    dev_->brush = b;
    dev_->penDirty = true;
}
const Brush& OutputDevice::getFillInBrush() const { return dev_->brush; }
void OutputDevice::setBackgroundBrush(const Brush& b) {
    if (dev_->recording && !(b == dev_->background)) {
        PictureAction a(PA_BACKBRUSH);
        a.brush = b;
        record(*dev_, std::move(a));
    }
    dev_->background = b;
}
const Brush& OutputDevice::getBackgroundBrush() const { return dev_->background; }

void OutputDevice::setRasterOp(int op) {
    op = op == ROP_XOR ? ROP_XOR : ROP_OVERPAINT;
    if (op == dev_->rop) return;
    if (dev_->recording) {
        PictureAction a(PA_RASTEROP);
        a.rasterOp = op;
        record(*dev_, std::move(a));
    }
    dev_->rop = op;
    dev_->ropDirty = dev_->penDirty = true;
    dev_->use = PainterUse::None;
}
int OutputDevice::getRasterOp() const { return dev_->rop; }

void OutputDevice::setMapMode(const MapMode& m) {
    if (dev_->recording && !(m == dev_->map)) {
        PictureAction a(PA_MAPMODE);
        a.mapMode = m;
        record(*dev_, std::move(a));
    }
    dev_->map = m;
    dev_->identity = m.unit == MapUnit::Pixel && m.origin == Point() && m.scaleX.num == m.scaleX.den &&
                     m.scaleY.num == m.scaleY.den;
    dev_->fontValid = false;
    dev_->penDirty = true;
    if (dev_->use == PainterUse::Text) dev_->use = PainterUse::None;
}
const MapMode& OutputDevice::getMapMode() const { return dev_->map; }

// ---- units ----

namespace {

inline QPoint toPixel(const OutputDevice::Impl& m, const Point& p) {
    int x = clamp16(p.x), y = clamp16(p.y);
    if (m.identity) return QPoint(x, y);
    return QPoint(static_cast<int>(std::clamp<long long>(m.map.logicToPixelX(x, m.dpiX), INT32_MIN / 2, INT32_MAX / 2)),
                  static_cast<int>(std::clamp<long long>(m.map.logicToPixelY(y, m.dpiY), INT32_MIN / 2, INT32_MAX / 2)));
}

inline long lengthX(const OutputDevice::Impl& m, long v) {
    return m.identity ? v : static_cast<long>(m.map.lengthToPixelX(v, m.dpiX));
}
inline long lengthY(const OutputDevice::Impl& m, long v) {
    return m.identity ? v : static_cast<long>(m.map.lengthToPixelY(v, m.dpiY));
}

// The pixel rectangle of a non-empty logic rectangle (inclusive edges, justified).
inline bool toPixelRect(const OutputDevice::Impl& m, Rectangle r, QRect& out) {
    if (r.isEmpty()) return false;
    r.justify();
    QPoint a = toPixel(m, Point(r.left, r.top)), b = toPixel(m, Point(r.right, r.bottom));
    out = QRect(a, b).normalized();
    return true;
}

}  // namespace

Point OutputDevice::logicToPixel(const Point& p) const {
    QPoint q = toPixel(*dev_, p);
    return Point(q.x(), q.y());
}
Size OutputDevice::logicToPixel(const Size& s) const { return Size(lengthX(*dev_, s.width), lengthY(*dev_, s.height)); }
Rectangle OutputDevice::logicToPixel(const Rectangle& r) const {
    if (r.isEmpty()) return r;
    Point a = logicToPixel(Point(r.left, r.top)), b = logicToPixel(Point(r.right, r.bottom));
    return Rectangle(a.x, a.y, b.x, b.y);
}
Point OutputDevice::pixelToLogic(const Point& p) const {
    if (dev_->identity) return p;
    return Point(dev_->map.pixelToLogicX(p.x, dev_->dpiX), dev_->map.pixelToLogicY(p.y, dev_->dpiY));
}
Size OutputDevice::pixelToLogic(const Size& s) const {
    if (dev_->identity) return s;
    return Size(dev_->map.lengthToLogicX(s.width, dev_->dpiX), dev_->map.lengthToLogicY(s.height, dev_->dpiY));
}
Rectangle OutputDevice::pixelToLogic(const Rectangle& r) const {
    if (r.isEmpty()) return r;
    Point a = pixelToLogic(Point(r.left, r.top)), b = pixelToLogic(Point(r.right, r.bottom));
    return Rectangle(a.x, a.y, b.x, b.y);
}

Size OutputDevice::getOutputSizePixel() const {
    QPaintDevice* t = paintTarget();
    return t ? Size(t->width(), t->height()) : Size();
}
Size OutputDevice::getOutputSize() const { return pixelToLogic(getOutputSizePixel()); }

// ---- clipping ----

void OutputDevice::setClipRegion(const Region& r) {
    if (dev_->recording) {
        PictureAction a(PA_CLIPREGION);
        a.region = r;
        a.clipping = true;  // an empty region clips everything away; resetClip records false
        record(*dev_, std::move(a));
    }
    QRegion q;
    switch (r.kind) {
    case Region::Empty: break;
    case Region::Rect: {
        QRect qr;
        if (toPixelRect(*dev_, r.rect, qr)) q = QRegion(qr);
        break;
    }
    case Region::Poly:
    case Region::PolyPoly:
        for (const Polygon& poly : r.polygons) {
            QPolygon qp;
            for (const Point& p : poly) qp << toPixel(*dev_, p);
            q = q.united(QRegion(qp));
        }
        break;
    }
    dev_->clip = q;
    dev_->clipping = true;
    dev_->clipDirty = true;
}

void OutputDevice::intersectClipRegion(const Rectangle& r) {
    record(*dev_, rectAction(PA_INTERSECTCLIP, r));
    QRect qr;
    QRegion add = toPixelRect(*dev_, r, qr) ? QRegion(qr) : QRegion();
    dev_->clip = dev_->clipping ? dev_->clip.intersected(add) : add;
    dev_->clipping = true;
    dev_->clipDirty = true;
}

void OutputDevice::moveClipRegion(long dx, long dy) {
    if (dev_->recording) {
        PictureAction a(PA_MOVECLIP);
        a.dx = clamp16(dx);
        a.dy = clamp16(dy);
        record(*dev_, std::move(a));
    }
    if (!dev_->clipping) return;
    dev_->clip.translate(static_cast<int>(lengthX(*dev_, clamp16(dx))), static_cast<int>(lengthY(*dev_, clamp16(dy))));
    dev_->clipDirty = true;
}

void OutputDevice::resetClip() {
    if (dev_->recording && dev_->clipping) record(*dev_, PictureAction(PA_CLIPREGION));
    dev_->clipping = false;
    dev_->clip = QRegion();
    dev_->clipDirty = true;
}
bool OutputDevice::isClipping() const { return dev_->clipping; }

void OutputDevice::push() {
    record(*dev_, PictureAction(PA_PUSH));
    dev_->stack.push_back({dev_->font, dev_->pen, dev_->brush, dev_->rop, dev_->map, dev_->clipping, dev_->clip});
}

void OutputDevice::pop() {
    if (dev_->stack.empty()) return;
    record(*dev_, PictureAction(PA_POP));
    Picture* recording = dev_->recording;
    dev_->recording = nullptr;  // the restoring setters below are part of the pop
    SavedState s = std::move(dev_->stack.back());
    dev_->stack.pop_back();
    setFont(s.font);
    setPen(s.pen);
    setFillInBrush(s.brush);
    setRasterOp(s.rop);
    setMapMode(s.map);
    dev_->clipping = s.clipping;
    dev_->clip = s.clip;
    dev_->clipDirty = true;
    dev_->recording = recording;
}

// ---- pens and brushes on the painter ----

namespace {

QPen linePen(const OutputDevice::Impl& m) {
    if (m.pen.style == PEN_NULL) return QPen(Qt::NoPen);
    QColor c = toQColor(m.pen.color);
    if (m.rop == ROP_XOR && m.type != OUTDEV_PRINTER && c == QColor(Qt::black)) c = Qt::white;
    long w = m.pen.width > 0 ? lengthX(m, m.pen.width) : 0;
    QPen pen(c, static_cast<qreal>(std::max(0L, w)), toQtPenStyle(m.pen.style));
    pen.setCosmetic(w <= 1);
    if (w <= 1) pen.setWidth(0);
    return pen;
}

QBrush fillBrush(const OutputDevice::Impl& m) {
    if (m.brush.style == BRUSH_NULL || m.brush.transparent) return QBrush(Qt::NoBrush);
    QColor c = toQColor(m.brush.color);
    if (m.rop == ROP_XOR && m.type != OUTDEV_PRINTER && c == QColor(Qt::black)) c = Qt::white;
    return QBrush(c, m.brush.style == BRUSH_HATCH ? Qt::BDiagPattern : Qt::SolidPattern);
}

void useFor(QPainter* p, OutputDevice::Impl& m, PainterUse use) {
    if (m.use == use && !m.penDirty) return;
    if (use == PainterUse::Line) {
        p->setPen(linePen(m));
        p->setBrush(Qt::NoBrush);
    } else if (use == PainterUse::Fill) {
        p->setPen(linePen(m));
        p->setBrush(fillBrush(m));
    }
    m.use = use;
    m.penDirty = false;
}

}  // namespace

// ---- shapes ----

void OutputDevice::drawLine(const Point& a, const Point& b) {
    if (dev_->recording) {
        PictureAction act(PA_LINE);
        act.point = a;
        act.point2 = b;
        record(*dev_, std::move(act));
        return;
    }
    if (dev_->pen.style == PEN_NULL) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    useFor(p, *dev_, PainterUse::Line);
    p->drawLine(toPixel(*dev_, a), toPixel(*dev_, b));
    touched();
}

void OutputDevice::drawPolyLine(const Polygon& poly) {
    if (dev_->recording) {
        PictureAction a(PA_POLYLINE);
        a.polygons.push_back(poly);
        record(*dev_, std::move(a));
        return;
    }
    if (dev_->pen.style == PEN_NULL || poly.size() < 2) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    useFor(p, *dev_, PainterUse::Line);
    QPolygon q;
    q.reserve(static_cast<qsizetype>(poly.size()));
    for (const Point& pt : poly) q << toPixel(*dev_, pt);
    p->drawPolyline(q);
    touched();
}

void OutputDevice::drawPolygon(const Polygon& poly) {
    if (dev_->recording) {
        PictureAction a(PA_POLYGON);
        a.polygons.push_back(poly);
        record(*dev_, std::move(a));
        return;
    }
    if (poly.size() < 2) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    useFor(p, *dev_, PainterUse::Fill);
    QPolygon q;
    q.reserve(static_cast<qsizetype>(poly.size()));
    for (const Point& pt : poly) q << toPixel(*dev_, pt);
    p->drawPolygon(q);
    touched();
}

void OutputDevice::drawRect(const Rectangle& r) {
    if (record(*dev_, rectAction(PA_RECT, r))) return;
    QRect qr;
    if (!toPixelRect(*dev_, r, qr)) return;
    bool pen = dev_->pen.style != PEN_NULL;
    bool fill = dev_->brush.style != BRUSH_NULL && !dev_->brush.transparent;
    if (!pen && !fill) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    if (!pen) {
        // Fill every pixel of the inclusive rectangle once.
        p->fillRect(qr, fillBrush(*dev_));
    } else {
        useFor(p, *dev_, PainterUse::Fill);
        // With a cosmetic pen Qt outlines x..x+w, so the outline lands on the inclusive edges.
        p->drawRect(QRect(qr.x(), qr.y(), qr.width() - 1, qr.height() - 1));
    }
    touched();
}

void OutputDevice::drawEllipse(const Rectangle& r) {
    if (record(*dev_, rectAction(PA_ELLIPSE, r))) return;
    QRect qr;
    if (!toPixelRect(*dev_, r, qr)) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    useFor(p, *dev_, PainterUse::Fill);
    p->drawEllipse(QRect(qr.x(), qr.y(), qr.width() - 1, qr.height() - 1));
    touched();
}

void OutputDevice::drawRect(const Rectangle& r, long roundX, long roundY) {
    if (dev_->recording) {
        PictureAction a = rectAction(PA_RECT, r);
        a.roundX = clamp16(roundX);
        a.roundY = clamp16(roundY);
        record(*dev_, std::move(a));
        return;
    }
    if (roundX <= 0 || roundY <= 0) {
        drawRect(r);
        return;
    }
    QRect qr;
    if (!toPixelRect(*dev_, r, qr)) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    useFor(p, *dev_, PainterUse::Fill);
    p->drawRoundedRect(QRect(qr.x(), qr.y(), qr.width() - 1, qr.height() - 1),
                       static_cast<qreal>(lengthX(*dev_, clamp16(roundX))) / 2,
                       static_cast<qreal>(lengthY(*dev_, clamp16(roundY))) / 2);
    touched();
}

namespace {

// Start angle and span (1/16 degree, counter-clockwise, y pointing down on screen) of the arc of
// `r` between the rays through `a` and `b`; equal rays give the whole ellipse.
void arcAngles(const QRect& r, QPoint a, QPoint b, int& start, int& span) {
    double cx = r.x() + (r.width() - 1) / 2.0, cy = r.y() + (r.height() - 1) / 2.0;
    auto angle = [&](QPoint q) {
        if (q.x() == cx && q.y() == cy) return 0.0;
        double deg = std::atan2(cy - q.y(), q.x() - cx) * 180.0 / 3.14159265358979323846;
        return deg < 0 ? deg + 360.0 : deg;
    };
    double s = angle(a), e = angle(b);
    double d = e - s;
    if (d <= 0) d += 360.0;
    start = static_cast<int>(std::lround(s * 16));
    span = static_cast<int>(std::lround(d * 16));
}

}  // namespace

void OutputDevice::drawArc(const Rectangle& r, const Point& start, const Point& end) {
    if (dev_->recording) {
        PictureAction a = rectAction(PA_ARC, r);
        a.point = start;
        a.point2 = end;
        record(*dev_, std::move(a));
        return;
    }
    QRect qr;
    if (dev_->pen.style == PEN_NULL || !toPixelRect(*dev_, r, qr)) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    useFor(p, *dev_, PainterUse::Line);
    int a = 0, span = 0;
    arcAngles(qr, toPixel(*dev_, start), toPixel(*dev_, end), a, span);
    p->drawArc(QRect(qr.x(), qr.y(), qr.width() - 1, qr.height() - 1), a, span);
    touched();
}

void OutputDevice::drawPie(const Rectangle& r, const Point& start, const Point& end) {
    if (dev_->recording) {
        PictureAction a = rectAction(PA_PIE, r);
        a.point = start;
        a.point2 = end;
        record(*dev_, std::move(a));
        return;
    }
    QRect qr;
    if (!toPixelRect(*dev_, r, qr)) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    useFor(p, *dev_, PainterUse::Fill);
    int a = 0, span = 0;
    arcAngles(qr, toPixel(*dev_, start), toPixel(*dev_, end), a, span);
    p->drawPie(QRect(qr.x(), qr.y(), qr.width() - 1, qr.height() - 1), a, span);
    touched();
}

void OutputDevice::drawMetafile(const Rectangle& r, const Picture& picture) { picture.play(*this, r); }

void OutputDevice::drawPixel(const Point& pt) {
    if (dev_->recording) {
        PictureAction a(PA_POINT);
        a.point = pt;
        record(*dev_, std::move(a));
        return;
    }
    drawPixel(pt, dev_->pen.color);
}

void OutputDevice::drawPixel(const Point& pt, const Color& c) {
    if (dev_->recording) {
        PictureAction a(PA_PIXEL);
        a.point = pt;
        a.color = c;
        record(*dev_, std::move(a));
        return;
    }
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    QColor qc = toQColor(c);
    if (dev_->rop == ROP_XOR && dev_->type != OUTDEV_PRINTER && qc == QColor(Qt::black)) qc = Qt::white;
    p->fillRect(QRect(toPixel(*dev_, pt), QSize(1, 1)), qc);
    touched();
}

void OutputDevice::invert(const Rectangle& r) {
    if (record(*dev_, rectAction(PA_INVERT, r))) return;
    QRect qr;
    if (!toPixelRect(*dev_, r, qr) || dev_->type == OUTDEV_PRINTER) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    p->setCompositionMode(QPainter::RasterOp_NotDestination);
    p->fillRect(qr, Qt::black);
    dev_->ropDirty = true;
    touched();
}

namespace {

// A recorded erase: the rectangle filled with the background brush, the state kept.
void recordErase(OutputDevice& d, OutputDevice::Impl& m, const Rectangle& r) {
    Brush fill = m.background;
    fill.transparent = false;
    d.push();
    d.setPen(Pen(Color(), 0, PEN_NULL));
    d.setFillInBrush(fill);
    d.drawRect(r);
    d.pop();
}

}  // namespace

void OutputDevice::erase() {
    if (dev_->recording) {
        const Picture& pic = *dev_->recording;
        recordErase(*this, *dev_, Rectangle(Point(0, 0), pic.getPrefSize()));
        return;
    }
    Size s = getOutputSizePixel();
    if (s.width <= 0 || s.height <= 0) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->save();
    p->setClipping(false);
    p->fillRect(QRect(0, 0, s.width, s.height), toQColor(dev_->background.color));
    p->restore();
    dev_->ropDirty = dev_->clipDirty = true;
    touched();
}

void OutputDevice::erase(const Rectangle& r) {
    if (dev_->recording) {
        recordErase(*this, *dev_, r);
        return;
    }
    QRect qr;
    if (!toPixelRect(*dev_, r, qr)) return;
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->fillRect(qr, toQColor(dev_->background.color));
    dev_->ropDirty = true;
    touched();
}

// ---- text ----

namespace {

void ensureFont(OutputDevice::Impl& m) {
    if (m.fontValid) return;
    long h = std::labs(lengthY(m, m.font.getSize().height));
    if (h == 0) h = (12 * m.dpiY + 36) / 72;  // no height given: 12 points
    m.qfont = gui::makeQFont(m.font, static_cast<int>(std::min(h, 32767L)));
    m.metrics = std::make_unique<QFontMetrics>(m.qfont);
    m.symbol = gui::isSymbolFont(m.font);
    if (m.symbol) gui::buildSymbolMap(m.qfont, m.symbolMap);
    m.fontValid = true;
}

std::string_view slice(const String& s, std::size_t index, std::size_t len) {
    std::string_view v = s.view();
    if (index >= v.size()) return {};
    return v.substr(index, len);
}

QString textFor(OutputDevice::Impl& m, std::string_view bytes) {
    return m.symbol ? gui::symbolToQString(bytes, m.symbolMap) : gui::toQString(bytes);
}

}  // namespace

void OutputDevice::drawText(const Point& pt, const String& text, std::size_t index, std::size_t len) {
    std::string_view bytes = slice(text, index, len);
    if (bytes.empty()) return;
    if (dev_->recording) {
        PictureAction a(PA_TEXT);
        a.point = pt;
        a.text = text;
        a.textIndex = static_cast<int32_t>(std::min<std::size_t>(index, text.len()));
        a.textCount = static_cast<int32_t>(bytes.size());
        record(*dev_, std::move(a));
        return;
    }
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    ensureFont(*dev_);
    Impl& m = *dev_;
    QString qs = textFor(m, bytes);
    QPoint at = toPixel(m, pt);
    int ascent = m.metrics->ascent();
    int top = at.y();
    if (m.font.getAlign() == ALIGN_BASELINE) top -= ascent;
    else if (m.font.getAlign() == ALIGN_BOTTOM) top -= m.metrics->height();
    if (!m.font.isTransparent())
        p->fillRect(QRect(at.x(), top, m.metrics->horizontalAdvance(qs), m.metrics->height()),
                    toQColor(m.font.getFillColor()));
    if (m.use != PainterUse::Text) {
        p->setFont(m.qfont);
        QColor c = toQColor(m.font.getColor());
        if (m.rop == ROP_XOR && m.type != OUTDEV_PRINTER && c == QColor(Qt::black)) c = Qt::white;
        p->setPen(c);
        m.use = PainterUse::Text;
        m.penDirty = true;  // the line pen must be set again
    }
    p->drawText(QPoint(at.x(), top + ascent), qs);
    touched();
}

Size OutputDevice::getTextSize(const String& text, std::size_t index, std::size_t len) const {
    return Size(getTextWidth(text, index, len), getTextHeight());
}

long OutputDevice::getTextWidth(const String& text, std::size_t index, std::size_t len) const {
    ensureFont(*dev_);
    std::string_view bytes = slice(text, index, len);
    if (bytes.empty()) return 0;
    int w = dev_->metrics->horizontalAdvance(textFor(*dev_, bytes));
    return dev_->identity ? w : static_cast<long>(dev_->map.lengthToLogicX(w, dev_->dpiX));
}

long OutputDevice::getTextHeight() const {
    ensureFont(*dev_);
    int h = dev_->metrics->height();
    return dev_->identity ? h : static_cast<long>(dev_->map.lengthToLogicY(h, dev_->dpiY));
}

FontMetric OutputDevice::getFontMetric() const {
    ensureFont(*dev_);
    const QFontMetrics& fm = *dev_->metrics;
    auto toLogic = [this](long v) {
        return dev_->identity ? v : static_cast<long>(dev_->map.lengthToLogicY(v, dev_->dpiY));
    };
    FontMetric r;
    r.ascent = toLogic(fm.ascent());
    r.descent = toLogic(fm.descent());
    r.leading = toLogic(fm.leading());
    r.averageWidth = dev_->identity ? fm.averageCharWidth()
                                    : static_cast<long>(dev_->map.lengthToLogicX(fm.averageCharWidth(), dev_->dpiX));
    r.kind = 3;
    r.charSet = dev_->symbol ? CHARSET_SYMBOL
                             : (dev_->font.getCharSet() == CHARSET_SHIFTJIS ? CHARSET_SHIFTJIS : CHARSET_SYSTEM);
    return r;
}

// ---- pixels and images ----

Color OutputDevice::getPixel(const Point& pt) const {
    const QImage* img = imageTarget();
    if (!img) return Color();
    QPoint q = toPixel(*dev_, pt);
    if (!img->valid(q)) return Color();
    QRgb c = img->pixel(q);
    return Color::fromRGB8(static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)), static_cast<uint8_t>(qBlue(c)));
}

void OutputDevice::drawBitmap(const Point& pt, const Bitmap& b) {
    if (b.isEmpty()) return;
    if (dev_->recording) {
        PictureAction a(PA_BITMAP);
        a.point = pt;
        a.bitmap = b;
        record(*dev_, std::move(a));
        return;
    }
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    const QImage& img = gui::bitmapImage(b);
    if (dev_->identity) p->drawImage(toPixel(*dev_, pt), img);
    else p->drawImage(QRect(toPixel(*dev_, pt), QSize(static_cast<int>(lengthX(*dev_, img.width())),
                                                       static_cast<int>(lengthY(*dev_, img.height())))), img);
    touched();
}

void OutputDevice::drawBitmap(const Point& pt, const Size& s, const Bitmap& b) {
    if (b.isEmpty() || s.width == 0 || s.height == 0) return;
    if (dev_->recording) {
        PictureAction a(PA_BITMAPSCALE);
        a.point = pt;
        a.size = s;
        a.bitmap = b;
        record(*dev_, std::move(a));
        return;
    }
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    QPoint a = toPixel(*dev_, pt);
    QRect target(a, QSize(static_cast<int>(lengthX(*dev_, s.width)), static_cast<int>(lengthY(*dev_, s.height))));
    p->drawImage(target.normalized(), gui::bitmapImage(b));
    touched();
}

Bitmap OutputDevice::getBitmap(const Point& pt, const Size& s) const {
    const QImage* img = imageTarget();
    if (!img || s.width <= 0 || s.height <= 0) return Bitmap();
    QPoint a = toPixel(*dev_, pt);
    QRect r(a, QSize(static_cast<int>(lengthX(*dev_, s.width)), static_cast<int>(lengthY(*dev_, s.height))));
    return gui::makeBitmap(img->copy(r).convertToFormat(QImage::Format_RGB32), 24);
}

void OutputDevice::copyFromDevice(const Point& dest, const Size& size, const Point& src, const OutputDevice& from) {
    const QImage* img = from.imageTarget();
    if (!img || size.width <= 0 || size.height <= 0) return;
    if (dev_->recording) {
        // The recorder keeps a copy of the pixels as a scaled bitmap.
        drawBitmap(dest, size, from.getBitmap(src, size));
        return;
    }
    QPainter* p = beginPainter(*this, *dev_, paintTarget(), externalPainter());
    if (!p) return;
    QPoint s = toPixel(*from.dev_, src);
    QSize sz(static_cast<int>(lengthX(*from.dev_, size.width)), static_cast<int>(lengthY(*from.dev_, size.height)));
    QPoint d = toPixel(*dev_, dest);
    QSize dz(static_cast<int>(lengthX(*dev_, size.width)), static_cast<int>(lengthY(*dev_, size.height)));
    if (&from == this) {
        QImage copy = img->copy(QRect(s, sz));
        p->drawImage(QRect(d, dz), copy);
    } else {
        p->drawImage(QRect(d, dz), *img, QRect(s, sz));
    }
    touched();
}

// ---- fonts ----

namespace {

const std::vector<String>& fontNames() {
    static const std::vector<String> names = [] {
        std::vector<String> v = {"Times New Roman", "Arial", "Courier New", "Symbol"};
        for (const QString& fam : QFontDatabase::families()) {
            std::size_t bad = 0;
            String n = gui::fromQString(fam, &bad);
            if (bad == 0 && std::find(v.begin(), v.end(), n) == v.end()) v.push_back(n);
        }
        return v;
    }();
    return names;
}

}  // namespace

int OutputDevice::getDevFontCount() const { return static_cast<int>(fontNames().size()); }

DevFont OutputDevice::getDevFont(int i) const {
    DevFont f;
    const auto& names = fontNames();
    if (i < 0 || i >= static_cast<int>(names.size())) return f;
    f.name = names[static_cast<std::size_t>(i)];
    QString fam = gui::mapFaceName(f.name);
    f.charSet = f.name == String("Symbol") ? CHARSET_SYMBOL : CHARSET_ANSI;
    f.pitch = QFontDatabase::isFixedPitch(fam) ? PITCH_FIXED : PITCH_VARIABLE;
    f.family = f.name == String("Times New Roman") ? FAMILY_ROMAN : (f.name == String("Arial") ? FAMILY_SWISS : FAMILY_DONTKNOW);
    return f;
}

int OutputDevice::getDevFontSizeCount(const Font& f) const {
    QString fam = gui::mapFaceName(f.getName());
    if (QFontDatabase::isSmoothlyScalable(fam) || QFontDatabase::isScalable(fam)) return 1;
    return static_cast<int>(QFontDatabase::pointSizes(fam).size());
}

Size OutputDevice::getDevFontSize(const Font& f, int j) const {
    QString fam = gui::mapFaceName(f.getName());
    if (QFontDatabase::isSmoothlyScalable(fam) || QFontDatabase::isScalable(fam)) return Size(0, 0);
    QList<int> sizes = QFontDatabase::pointSizes(fam);
    if (j < 0 || j >= sizes.size()) return Size(0, 0);
    long px = (static_cast<long>(sizes[j]) * dev_->dpiY + 36) / 72;
    return pixelToLogic(Size(0, px));
}

namespace gui {
int nativeDcDpiY(void* dc) { return dc ? static_cast<OutputDevice*>(dc)->getDPIY() : 96; }
}  // namespace gui
