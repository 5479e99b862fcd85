// The clipboard byte form of recorded pictures (layout in picture_bytes.h).
#include "platform/gui/picture_bytes.h"

#include <QBuffer>
#include <QImage>

#include <cstring>
#include <string>

#include "platform/gui/Picture.h"

namespace {

constexpr char kMagic[8] = {'K', 'W', 'P', 'I', 'C', 'T', '1', '\0'};
// Bitmaps larger than this (PNG bytes) are refused on reading; the image decoder has its own
// limit on the decoded size.
constexpr std::size_t kMaxPng = std::size_t(64) << 20;

class Writer {
public:
    std::vector<uint8_t> out;
    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
    void i32(int64_t v) {
        uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(v));
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
    }
    void bytes(const void* p, std::size_t n) {
        i32(static_cast<int64_t>(n));
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    void point(const Point& p) { i32(p.x); i32(p.y); }
    void size(const Size& s) { i32(s.width); i32(s.height); }
    void rect(const Rectangle& r) { i32(r.left); i32(r.top); i32(r.right); i32(r.bottom); }
    void color(const Color& c) { u16(static_cast<uint32_t>(c.getCode())); u16(c.getRed()); u16(c.getGreen()); u16(c.getBlue()); }
    void polygon(const Polygon& p) {
        i32(static_cast<int64_t>(p.size()));
        for (const Point& q : p) point(q);
    }
    void polygons(const std::vector<Polygon>& ps) {
        i32(static_cast<int64_t>(ps.size()));
        for (const Polygon& p : ps) polygon(p);
    }
    void map(const MapMode& m) {
        i32(static_cast<int>(m.unit));
        point(m.origin);
        i32(m.scaleX.num); i32(m.scaleX.den); i32(m.scaleY.num); i32(m.scaleY.den);
    }
};

class Reader {
public:
    Reader(const uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    bool ok = true;
    std::size_t left() const { return n_ - pos_; }

    bool take(void* to, std::size_t n) {
        if (!ok || n > left()) return ok = false;
        if (n) std::memcpy(to, d_ + pos_, n);
        pos_ += n;
        return true;
    }
    uint8_t u8() { uint8_t b = 0; take(&b, 1); return b; }
    uint16_t u16() {
        uint8_t b[2] = {0, 0};
        take(b, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    int32_t i32() {
        uint8_t b[4] = {0, 0, 0, 0};
        take(b, 4);
        return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                    (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
    }
    bool flag() {
        uint8_t b = u8();
        if (b > 1) ok = false;
        return b != 0;
    }
    // A count of items of at least `minItemBytes` each that must fit into the bytes left.
    std::size_t count(std::size_t minItemBytes) {
        int32_t c = i32();
        if (!ok || c < 0 || static_cast<std::size_t>(c) > left() / minItemBytes) {
            ok = false;
            return 0;
        }
        return static_cast<std::size_t>(c);
    }
    std::string block(std::size_t max) {
        std::size_t n = count(1);
        if (n > max) ok = false;
        if (!ok) return {};
        std::string s(n, '\0');
        take(s.data(), n);
        return s;
    }
    Point point() { int32_t x = i32(); return Point(x, i32()); }
    Size size() { int32_t w = i32(); return Size(w, i32()); }
    Rectangle rect() {
        int32_t l = i32(), t = i32(), r = i32();
        return Rectangle(l, t, r, i32());
    }
    Color color() {
        int code = u16();
        uint16_t r = u16(), g = u16(), b = u16();
        return code == COL_RGB ? Color(r, g, b) : Color(code);
    }
    Polygon polygon() {
        Polygon p(count(8));
        for (Point& q : p) q = point();
        return p;
    }
    std::vector<Polygon> polygons() {
        std::vector<Polygon> ps(count(4));
        for (Polygon& p : ps) {
            if (!ok) break;
            p = polygon();
        }
        return ps;
    }
    MapMode map() {
        MapMode m;
        m.unit = mapUnitFromCode(i32());
        m.origin = point();
        m.scaleX.num = i32(); m.scaleX.den = i32(); m.scaleY.num = i32(); m.scaleY.den = i32();
        return m;
    }

private:
    const uint8_t* d_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

void writeBitmap(Writer& w, const Bitmap& b) {
    QByteArray png;
    if (!b.isEmpty()) {
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        gui::bitmapImage(b).save(&buf, "PNG");
    }
    w.bytes(png.constData(), static_cast<std::size_t>(png.size()));
    w.u16(static_cast<uint32_t>(b.isEmpty() ? 0 : b.getBitCount()));
}

Bitmap readBitmap(Reader& r) {
    std::string png = r.block(kMaxPng);
    int bits = r.u16();
    if (!r.ok || png.empty()) return Bitmap();
    QImage img;
    if (!img.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG")) {
        r.ok = false;
        return Bitmap();
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) bits = 24;
    return gui::makeBitmap(img.convertToFormat(QImage::Format_RGB32), bits);
}

void writeFont(Writer& w, const Font& f) {
    w.bytes(f.getName().view().data(), f.getName().len());
    w.size(f.getSize());
    w.i32(f.getWeight());
    w.u8(f.isItalic());
    w.u8(f.isUnderline());
    w.i32(f.getCharSet());
    w.i32(f.getFamily());
    w.i32(f.getPitch());
    w.i32(f.getAlign());
    w.u8(f.isTransparent());
    w.color(f.getColor());
    w.color(f.getFillColor());
}

Font readFont(Reader& r) {
    Font f;
    f.setName(String(r.block(1024)));
    f.setSize(r.size());
    f.setWeight(r.i32());
    f.setItalic(r.flag());
    f.setUnderline(r.flag());
    f.setCharSet(r.i32());
    f.setFamily(r.i32());
    f.setPitch(r.i32());
    f.setAlign(r.i32());
    f.setTransparent(r.flag());
    f.setColor(r.color());
    f.setFillColor(r.color());
    return f;
}

void writeAction(Writer& w, const PictureAction& a) {
    w.u16(static_cast<uint32_t>(a.type));
    w.point(a.point);
    w.point(a.point2);
    w.rect(a.rect);
    w.i32(a.roundX);
    w.i32(a.roundY);
    w.color(a.color);
    w.polygons(a.polygons);
    w.bytes(a.text.view().data(), a.text.len());
    w.i32(a.textIndex);
    w.i32(a.textCount);
    w.i32(static_cast<int64_t>(a.offsets.size()));
    for (int32_t o : a.offsets) w.i32(o);
    writeBitmap(w, a.bitmap);
    w.size(a.size);
    w.color(a.pen.color);
    w.i32(a.pen.width);
    w.i32(a.pen.style);
    writeFont(w, a.font);
    w.i32(a.orientation);
    w.i32(a.lineOrientation);
    w.i32(a.strikeout);
    w.u8(a.outline);
    w.u8(a.shadow);
    w.color(a.brush.color);
    w.i32(a.brush.style);
    w.u8(a.brush.transparent);
    w.color(a.fillColor);
    w.map(a.mapMode);
    w.i32(a.region.kind);
    w.rect(a.region.rect);
    w.polygons(a.region.polygons);
    w.u8(a.clipping);
    w.i32(a.rasterOp);
    w.i32(a.dx);
    w.i32(a.dy);
}

bool readAction(Reader& r, PictureAction& a) {
    a.type = r.u16();
    if (a.type < PA_FIRST || a.type > PA_LAST) return false;
    a.point = r.point();
    a.point2 = r.point();
    a.rect = r.rect();
    a.roundX = r.i32();
    a.roundY = r.i32();
    a.color = r.color();
    a.polygons = r.polygons();
    a.text = String(r.block(std::size_t(16) << 20));
    a.textIndex = r.i32();
    a.textCount = r.i32();
    a.offsets.resize(r.count(4));
    for (int32_t& o : a.offsets) o = r.i32();
    a.bitmap = readBitmap(r);
    a.size = r.size();
    a.pen.color = r.color();
    a.pen.width = r.i32();
    a.pen.style = r.i32();
    a.font = readFont(r);
    a.orientation = r.i32();
    a.lineOrientation = r.i32();
    a.strikeout = r.i32();
    a.outline = r.flag();
    a.shadow = r.flag();
    a.brush.color = r.color();
    a.brush.style = r.i32();
    a.brush.transparent = r.flag();
    a.fillColor = r.color();
    a.mapMode = r.map();
    int kind = r.i32();
    if (kind < Region::Empty || kind > Region::PolyPoly) return false;
    a.region.kind = static_cast<Region::Kind>(kind);
    a.region.rect = r.rect();
    a.region.polygons = r.polygons();
    a.clipping = r.flag();
    a.rasterOp = r.i32();
    a.dx = r.i32();
    a.dy = r.i32();
    return r.ok;
}

}  // namespace

std::vector<uint8_t> picture_bytes_write(const Picture& pic) {
    Writer w;
    w.out.insert(w.out.end(), kMagic, kMagic + sizeof kMagic);
    w.size(pic.getPrefSize());
    w.map(pic.getPrefMapMode());
    w.bytes(pic.getWindowsMetafile().data(), pic.getWindowsMetafile().size());
    w.i32(static_cast<int64_t>(pic.getActionCount()));
    for (const PictureAction& a : pic.actions()) writeAction(w, a);
    return std::move(w.out);
}

bool picture_bytes_read(const uint8_t* data, std::size_t length, Picture& out) {
    out = Picture();
    if (!data || length < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0) return false;
    Reader r(data + sizeof kMagic, length - sizeof kMagic);
    Picture pic;
    pic.setPrefSize(r.size());
    pic.setPrefMapMode(r.map());
    std::string wmf = r.block(std::size_t(64) << 20);
    // Each action record takes well over 100 bytes; 2 is a safe lower bound for the count check.
    std::size_t n = r.count(2);
    for (std::size_t i = 0; i < n && r.ok; ++i) {
        PictureAction a;
        if (!readAction(r, a)) return false;
        pic.addAction(std::move(a));
    }
    if (!r.ok || r.left() != 0) return false;
    if (!wmf.empty()) pic.setWindowsMetafile(std::vector<uint8_t>(wmf.begin(), wmf.end()));
    out = std::move(pic);
    return true;
}
