// Objects, recording device contexts and metafile handles of the GDI layer.
#include "platform/gdi/gdi.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/gdi/emf_format.h"
#include "platform/gdi/gdi_bytes.h"
#include "platform/gdi/metafile_bits.h"
#include "platform/gdi/wmf_format.h"

using gdi::ByteWriter;

// ---- handle records ----

struct GdiObject {
    enum Kind { Font, Pen, Brush } kind;
    LOGFONTA font;
    LOGPEN pen;
    LOGBRUSH brush;
    int stockIndex = -1;  // >= 0 for a stock object, which is never freed
};

struct GdiMetafile {
    std::vector<uint8_t> bits;
};

struct GdiEnhMetafile {
    std::vector<uint8_t> bits;
};

namespace {

// Every handle the layer has given out and not yet freed, with its kind: a freed address that
// the allocator hands out again for a record of another kind is not taken for the old handle.
enum class HandleKind { Object, DC, Metafile, EnhMetafile };
template <class T> constexpr HandleKind kindOf();
template <> constexpr HandleKind kindOf<GdiObject>() { return HandleKind::Object; }
template <> constexpr HandleKind kindOf<GdiDC>() { return HandleKind::DC; }
template <> constexpr HandleKind kindOf<GdiMetafile>() { return HandleKind::Metafile; }
template <> constexpr HandleKind kindOf<GdiEnhMetafile>() { return HandleKind::EnhMetafile; }

std::unordered_map<const void*, HandleKind>& liveHandles() {
    static std::unordered_map<const void*, HandleKind> live;
    return live;
}
template <class T>
bool alive(const T* h) {
    if (!h) return false;
    auto it = liveHandles().find(h);
    return it != liveHandles().end() && it->second == kindOf<T>();
}
template <class T>
T* give(std::unique_ptr<T> p) {
    liveHandles()[p.get()] = kindOf<T>();
    return p.release();
}
template <class T>
std::unique_ptr<T> take(T* h) {
    liveHandles().erase(h);
    return std::unique_ptr<T>(h);
}

int16_t to16(long long v) { return static_cast<int16_t>(std::clamp<long long>(v, -32768, 32767)); }

// cp1252 to UTF-16 for the enhanced metafile's texts: bytes 0x80..0x9F through the code page's
// table, every other byte as the same code point.
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
uint16_t utf16Of(unsigned char c) { return c >= 0x80 && c <= 0x9F ? kCp1252High[c - 0x80] : c; }

// ---- the two record writers ----

// What a recording context writes; the context keeps the state and the object table, the writer
// only lays out records.
class RecordWriter {
public:
    virtual ~RecordWriter() = default;
    virtual void setTextAlign(UINT align) = 0;
    virtual void setBkMode(int mode) = 0;
    virtual void setTextColor(COLORREF c) = 0;
    virtual void createObject(uint32_t slot, const GdiObject& obj) = 0;
    virtual void selectSlot(uint32_t slot) = 0;
    virtual void deleteSlot(uint32_t slot) = 0;
    virtual void textOut(int x, int y, const char* text, int count) = 0;
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    virtual void polyline(const POINT* pts, int count) = 0;
    // Ends the metafile: `tableSize` is the object table's high-water mark.
    virtual std::vector<uint8_t> finish(uint32_t tableSize) = 0;
};

class WmfWriter : public RecordWriter {
public:
    WmfWriter() { w_.zeros(wmf::kHeaderBytes); }

    void setTextAlign(UINT align) override {
        begin(wmf::META_SETTEXTALIGN);
        w_.u16(align & 0xFFFF);
        w_.u16(align >> 16);
        end();
    }
    void setBkMode(int mode) override { param16(wmf::META_SETBKMODE, mode); }
    void setTextColor(COLORREF c) override {
        begin(wmf::META_SETTEXTCOLOR);
        w_.u32(c);
        end();
    }
    void createObject(uint32_t, const GdiObject& o) override {
        switch (o.kind) {
        case GdiObject::Font: {
            begin(wmf::META_CREATEFONTINDIRECT);
            const LOGFONTA& f = o.font;
            w_.i16(to16(f.lfHeight));
            w_.i16(to16(f.lfWidth));
            w_.i16(to16(f.lfEscapement));
            w_.i16(to16(f.lfOrientation));
            w_.i16(to16(f.lfWeight));
            for (BYTE b : {f.lfItalic, f.lfUnderline, f.lfStrikeOut, f.lfCharSet, f.lfOutPrecision,
                           f.lfClipPrecision, f.lfQuality, f.lfPitchAndFamily})
                w_.u8(b);
            w_.raw(f.lfFaceName, LF_FACESIZE);
            break;
        }
        case GdiObject::Pen:
            begin(wmf::META_CREATEPENINDIRECT);
            w_.u16(o.pen.lopnStyle);
            w_.i16(to16(o.pen.lopnWidth.x));
            w_.i16(to16(o.pen.lopnWidth.y));
            w_.u32(o.pen.lopnColor);
            break;
        case GdiObject::Brush:
            begin(wmf::META_CREATEBRUSHINDIRECT);
            w_.u16(o.brush.lbStyle);
            w_.u32(o.brush.lbColor);
            w_.u16(o.brush.lbHatch);
            break;
        }
        end();
    }
    void selectSlot(uint32_t slot) override { param16(wmf::META_SELECTOBJECT, slot); }
    void deleteSlot(uint32_t slot) override { param16(wmf::META_DELETEOBJECT, slot); }
    void textOut(int x, int y, const char* text, int count) override {
        begin(wmf::META_TEXTOUT);
        w_.u16(count);
        w_.raw(text, count);
        if (count % 2) w_.u8(0);
        w_.i16(to16(y));
        w_.i16(to16(x));
        end();
    }
    void moveTo(int x, int y) override { point(wmf::META_MOVETO, x, y); }
    void lineTo(int x, int y) override { point(wmf::META_LINETO, x, y); }
    void polyline(const POINT* pts, int count) override {
        begin(wmf::META_POLYLINE);
        w_.u16(count);
        for (int i = 0; i < count; ++i) {
            w_.i16(to16(pts[i].x));
            w_.i16(to16(pts[i].y));
        }
        end();
    }
    std::vector<uint8_t> finish(uint32_t tableSize) override {
        begin(wmf::META_EOF);
        end();
        w_.patch16(0, 1);  // in memory
        w_.patch16(2, wmf::kHeaderBytes / 2);
        w_.patch16(4, 0x0300);
        w_.patch32(6, static_cast<uint32_t>(w_.size() / 2));
        w_.patch16(10, tableSize);
        w_.patch32(12, maxRecord_);
        w_.patch16(16, 0);
        return std::move(w_.bytes());
    }

private:
    void begin(uint16_t function) {
        start_ = w_.size();
        w_.u32(0);
        w_.u16(function);
    }
    void end() {
        const uint32_t words = static_cast<uint32_t>((w_.size() - start_) / 2);
        w_.patch32(start_, words);
        maxRecord_ = std::max(maxRecord_, words);
    }
    void param16(uint16_t function, uint32_t v) {
        begin(function);
        w_.u16(v);
        end();
    }
    void point(uint16_t function, int x, int y) {
        begin(function);
        w_.i16(to16(y));
        w_.i16(to16(x));
        end();
    }

    ByteWriter w_;
    std::size_t start_ = 0;
    uint32_t maxRecord_ = wmf::kEndRecordWords;
};

class EmfWriter : public RecordWriter {
public:
    EmfWriter(const RECT& frame, const std::vector<uint16_t>& description) {
        begin(emf::EMR_HEADER);
        // Bounds: the frame in pixels of the reference device, inclusive.
        auto px = [](long long v, long long pixels, long long micrometres) {
            return static_cast<int32_t>(v * 10 * pixels / micrometres);
        };
        w_.i32(px(frame.left, emf::kRefPixelsX, emf::kRefMicrometresX));
        w_.i32(px(frame.top, emf::kRefPixelsY, emf::kRefMicrometresY));
        w_.i32(px(frame.right, emf::kRefPixelsX, emf::kRefMicrometresX) - 1);
        w_.i32(px(frame.bottom, emf::kRefPixelsY, emf::kRefMicrometresY) - 1);
        w_.i32(frame.left);
        w_.i32(frame.top);
        w_.i32(frame.right);
        w_.i32(frame.bottom);
        w_.u32(emf::kSignature);
        w_.u32(0x10000);
        w_.u32(0);  // nBytes, at finish
        w_.u32(0);  // nRecords, at finish
        w_.u16(0);  // nHandles, at finish
        w_.u16(0);
        w_.u32(static_cast<uint32_t>(description.size()));
        w_.u32(description.empty() ? 0 : emf::kHeaderBytes);
        w_.u32(0);
        w_.i32(emf::kRefPixelsX);
        w_.i32(emf::kRefPixelsY);
        w_.i32(emf::kRefMicrometresX / 1000);
        w_.i32((emf::kRefMicrometresY + 500) / 1000);
        w_.u32(0);
        w_.u32(0);
        w_.u32(0);
        w_.i32(emf::kRefMicrometresX);
        w_.i32(emf::kRefMicrometresY);
        for (uint16_t c : description) w_.u16(c);
        end();
    }

    void setTextAlign(UINT align) override { param(emf::EMR_SETTEXTALIGN, align); }
    void setBkMode(int mode) override { param(emf::EMR_SETBKMODE, mode); }
    void setTextColor(COLORREF c) override { param(emf::EMR_SETTEXTCOLOR, c); }
    void createObject(uint32_t slot, const GdiObject& o) override {
        switch (o.kind) {
        case GdiObject::Font: {
            begin(emf::EMR_EXTCREATEFONTINDIRECTW);
            w_.u32(slot);
            const LOGFONTA& f = o.font;
            for (int32_t v : {f.lfHeight, f.lfWidth, f.lfEscapement, f.lfOrientation, f.lfWeight}) w_.i32(v);
            for (BYTE b : {f.lfItalic, f.lfUnderline, f.lfStrikeOut, f.lfCharSet, f.lfOutPrecision,
                           f.lfClipPrecision, f.lfQuality, f.lfPitchAndFamily})
                w_.u8(b);
            for (int i = 0; i < LF_FACESIZE; ++i) w_.u16(utf16Of(static_cast<unsigned char>(f.lfFaceName[i])));
            w_.zeros(emf::kExtLogFontBytes - 92);
            break;
        }
        case GdiObject::Pen:
            begin(emf::EMR_CREATEPEN);
            w_.u32(slot);
            w_.u32(o.pen.lopnStyle);
            w_.i32(o.pen.lopnWidth.x);
            w_.i32(o.pen.lopnWidth.y);
            w_.u32(o.pen.lopnColor);
            break;
        case GdiObject::Brush:
            begin(emf::EMR_CREATEBRUSHINDIRECT);
            w_.u32(slot);
            w_.u32(o.brush.lbStyle);
            w_.u32(o.brush.lbColor);
            w_.u32(o.brush.lbHatch);
            break;
        }
        end();
    }
    void selectSlot(uint32_t slot) override { param(emf::EMR_SELECTOBJECT, slot); }
    void deleteSlot(uint32_t slot) override { param(emf::EMR_DELETEOBJECT, slot); }
    void textOut(int x, int y, const char* text, int count) override {
        begin(emf::EMR_EXTTEXTOUTA);
        emptyBounds();
        w_.u32(1);  // GM_COMPATIBLE
        w_.f32(0.0f);
        w_.f32(0.0f);
        w_.i32(x);
        w_.i32(y);
        w_.u32(count);
        w_.u32(76);  // the string follows the fixed part
        w_.u32(0);
        emptyBounds();
        w_.u32(0);  // no advances: the reader spaces the text by its font
        w_.raw(text, count);
        w_.zeros((4 - count % 4) % 4);
        end();
    }
    void moveTo(int x, int y) override { pointRecord(emf::EMR_MOVETOEX, x, y); }
    void lineTo(int x, int y) override { pointRecord(emf::EMR_LINETO, x, y); }
    void polyline(const POINT* pts, int count) override {
        begin(emf::EMR_POLYLINE);
        int32_t l = pts[0].x, t = pts[0].y, r = l, b = t;
        for (int i = 1; i < count; ++i) {
            l = std::min(l, pts[i].x);
            r = std::max(r, pts[i].x);
            t = std::min(t, pts[i].y);
            b = std::max(b, pts[i].y);
        }
        for (int32_t v : {l, t, r, b}) w_.i32(v);
        w_.u32(count);
        for (int i = 0; i < count; ++i) {
            w_.i32(pts[i].x);
            w_.i32(pts[i].y);
        }
        end();
    }
    std::vector<uint8_t> finish(uint32_t tableSize) override {
        begin(emf::EMR_EOF);
        w_.u32(0);
        w_.u32(16);
        w_.u32(20);
        end();
        w_.patch32(48, static_cast<uint32_t>(w_.size()));
        w_.patch32(52, records_);
        w_.patch16(56, tableSize);
        return std::move(w_.bytes());
    }

private:
    void begin(uint32_t type) {
        start_ = w_.size();
        w_.u32(type);
        w_.u32(0);
    }
    void end() {
        w_.zeros((4 - (w_.size() - start_) % 4) % 4);
        w_.patch32(start_ + 4, static_cast<uint32_t>(w_.size() - start_));
        ++records_;
    }
    void param(uint32_t type, uint32_t v) {
        begin(type);
        w_.u32(v);
        end();
    }
    void pointRecord(uint32_t type, int x, int y) {
        begin(type);
        w_.i32(x);
        w_.i32(y);
        end();
    }
    void emptyBounds() {
        for (int32_t v : {0, 0, -1, -1}) w_.i32(v);
    }

    ByteWriter w_;
    std::size_t start_ = 0;
    uint32_t records_ = 0;
};

// Stock objects: made once, alive for the whole process.
GdiObject* stockObject(int index) {
    static GdiObject* table[SYSTEM_FONT + 1] = {};
    if (index < 0 || index > SYSTEM_FONT) return nullptr;
    if (table[index]) return table[index];
    auto o = std::make_unique<GdiObject>();
    o->stockIndex = index;
    switch (index) {
    case WHITE_BRUSH: case BLACK_BRUSH: case NULL_BRUSH:
        o->kind = GdiObject::Brush;
        o->brush.lbStyle = index == NULL_BRUSH ? BS_NULL : BS_SOLID;
        o->brush.lbColor = index == WHITE_BRUSH ? RGB(255, 255, 255) : 0;
        break;
    case WHITE_PEN: case BLACK_PEN: case NULL_PEN:
        o->kind = GdiObject::Pen;
        o->pen.lopnStyle = index == NULL_PEN ? PS_NULL : PS_SOLID;
        o->pen.lopnColor = index == WHITE_PEN ? RGB(255, 255, 255) : 0;
        break;
    case SYSTEM_FONT:
        o->kind = GdiObject::Font;
        o->font.lfHeight = 16;
        o->font.lfWeight = FW_BOLD;
        std::strcpy(o->font.lfFaceName, "System");
        break;
    default: return nullptr;
    }
    table[index] = give(std::move(o));
    return table[index];
}

}  // namespace

// ---- recording device contexts ----

struct GdiDC {
    bool enhanced = false;
    std::unique_ptr<RecordWriter> writer;
    UINT textAlign = 0;
    int bkMode = OPAQUE;
    COLORREF textColor = 0;
    POINT position;
    GdiObject* selected[3] = {};  // by GdiObject::Kind
    // Object table: slot i holds the object written there, or null when free.  Enhanced
    // metafiles reserve slot 0.
    std::vector<GdiObject*> table;

    uint32_t firstSlot() const { return enhanced ? 1 : 0; }
    // The slot holding `o`, or -1.
    long slotOf(const GdiObject* o) const {
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i] == o) return static_cast<long>(i);
        return -1;
    }
    // The slot `o` is written to now: the lowest free one.
    uint32_t addToTable(GdiObject* o) {
        for (std::size_t i = firstSlot(); i < table.size(); ++i)
            if (!table[i]) {
                table[i] = o;
                return static_cast<uint32_t>(i);
            }
        if (table.size() < firstSlot()) table.resize(firstSlot());
        table.push_back(o);
        return static_cast<uint32_t>(table.size() - 1);
    }
};

namespace {

// Open recording contexts, so that DeleteObject reaches every one that holds the object.
std::vector<GdiDC*>& openContexts() {
    static std::vector<GdiDC*> open;
    return open;
}

HDC openContext(std::unique_ptr<RecordWriter> writer, bool enhanced) {
    auto dc = std::make_unique<GdiDC>();
    dc->enhanced = enhanced;
    dc->writer = std::move(writer);
    dc->selected[GdiObject::Font] = stockObject(SYSTEM_FONT);
    dc->selected[GdiObject::Pen] = stockObject(BLACK_PEN);
    dc->selected[GdiObject::Brush] = stockObject(WHITE_BRUSH);
    HDC h = give(std::move(dc));
    openContexts().push_back(h);
    return h;
}

std::vector<uint8_t> closeContext(HDC dc) {
    std::unique_ptr<GdiDC> owned = take(dc);
    auto& open = openContexts();
    open.erase(std::remove(open.begin(), open.end(), dc), open.end());
    uint32_t tableSize = static_cast<uint32_t>(std::min<std::size_t>(owned->table.size(), 0xFFFF));
    return owned->writer->finish(tableSize);
}

HGDIOBJ newObject(GdiObject o) { return give(std::make_unique<GdiObject>(o)); }

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA* lf) {
    if (!lf) return nullptr;
    GdiObject o{GdiObject::Font, *lf, {}, {}};
    o.font.lfFaceName[LF_FACESIZE - 1] = '\0';
    return newObject(o);
}

HPEN CreatePen(int style, int width, COLORREF color) {
    GdiObject o{GdiObject::Pen, {}, {}, {}};
    o.pen.lopnStyle = static_cast<UINT>(style);
    o.pen.lopnWidth.x = width;
    o.pen.lopnColor = color;
    return newObject(o);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
    if (!lb) return nullptr;
    return newObject(GdiObject{GdiObject::Brush, {}, {}, *lb});
}

HBRUSH CreateSolidBrush(COLORREF color) {
    LOGBRUSH lb;
    lb.lbColor = color;
    return CreateBrushIndirect(&lb);
}

HGDIOBJ GetStockObject(int index) { return stockObject(index); }

BOOL DeleteObject(HGDIOBJ obj) {
    if (!alive(obj)) return FALSE;
    if (obj->stockIndex >= 0) return TRUE;
    for (GdiDC* dc : openContexts()) {
        long slot = dc->slotOf(obj);
        if (slot >= 0) {
            dc->writer->deleteSlot(static_cast<uint32_t>(slot));
            dc->table[static_cast<std::size_t>(slot)] = nullptr;
        }
        // A context that still has it selected falls back to the stock object (not recorded: the
        // metafile's player keeps drawing with what it last selected).
        GdiObject*& sel = dc->selected[obj->kind];
        if (sel == obj)
            sel = stockObject(obj->kind == GdiObject::Font ? SYSTEM_FONT
                              : obj->kind == GdiObject::Pen ? BLACK_PEN : WHITE_BRUSH);
    }
    take(obj);
    return TRUE;
}

HDC CreateMetaFileA(const char* fileName) {
    if (fileName) return nullptr;
    return openContext(std::make_unique<WmfWriter>(), false);
}

HDC CreateEnhMetaFileA(HDC reference, const char* fileName, const RECT* frame, const char* description) {
    if (reference || fileName || !frame) return nullptr;
    std::vector<uint16_t> text;
    if (description) {
        // Two NUL-terminated parts and a closing NUL; the NULs are part of the description.
        const char* p = description;
        for (int part = 0; part < 2 && *p; ++part) {
            for (; *p; ++p) text.push_back(utf16Of(static_cast<unsigned char>(*p)));
            text.push_back(0);
            ++p;
        }
        if (!text.empty()) text.push_back(0);
    }
    return openContext(std::make_unique<EmfWriter>(*frame, text), true);
}

UINT SetTextAlign(HDC dc, UINT align) {
    if (!alive(dc)) return GDI_ERROR;
    UINT old = dc->textAlign;
    dc->textAlign = align;
    dc->writer->setTextAlign(align);
    return old;
}

int SetBkMode(HDC dc, int mode) {
    if (!alive(dc) || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int old = dc->bkMode;
    dc->bkMode = mode;
    dc->writer->setBkMode(mode);
    return old;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    if (!alive(dc)) return CLR_INVALID;
    COLORREF old = dc->textColor;
    dc->textColor = color;
    dc->writer->setTextColor(color);
    return old;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
    if (!alive(dc) || !alive(obj)) return nullptr;
    GdiObject*& sel = dc->selected[obj->kind];
    GdiObject* old = sel;
    if (dc->enhanced && obj->stockIndex >= 0) {
        dc->writer->selectSlot(emf::kStockFlag | static_cast<uint32_t>(obj->stockIndex));
    } else {
        long slot = dc->slotOf(obj);
        if (slot < 0) {
            slot = dc->addToTable(obj);
            dc->writer->createObject(static_cast<uint32_t>(slot), *obj);
        }
        dc->writer->selectSlot(static_cast<uint32_t>(slot));
    }
    sel = obj;
    return old;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) {
    if (!alive(dc) || count < 0 || count > 32767 || (count > 0 && !text)) return FALSE;
    dc->writer->textOut(x, y, text ? text : "", count);
    return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    if (!alive(dc)) return FALSE;
    if (previous) *previous = dc->position;
    dc->position = POINT{x, y};
    dc->writer->moveTo(x, y);
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (!alive(dc)) return FALSE;
    dc->position = POINT{x, y};
    dc->writer->lineTo(x, y);
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
    if (!alive(dc) || !points || count < 2 || count > 32767) return FALSE;
    dc->writer->polyline(points, count);
    return TRUE;
}

HMETAFILE CloseMetaFile(HDC dc) {
    if (!alive(dc) || dc->enhanced) return nullptr;
    auto mf = std::make_unique<GdiMetafile>();
    mf->bits = closeContext(dc);
    return give(std::move(mf));
}

HENHMETAFILE CloseEnhMetaFile(HDC dc) {
    if (!alive(dc) || !dc->enhanced) return nullptr;
    auto mf = std::make_unique<GdiEnhMetafile>();
    mf->bits = closeContext(dc);
    return give(std::move(mf));
}

namespace {
UINT copyBits(const std::vector<uint8_t>& bits, UINT size, void* buffer) {
    if (!buffer) return static_cast<UINT>(bits.size());
    if (size < bits.size()) return 0;
    std::memcpy(buffer, bits.data(), bits.size());
    return static_cast<UINT>(bits.size());
}
}  // namespace

UINT GetMetaFileBitsEx(HMETAFILE mf, UINT size, void* buffer) {
    return alive(mf) ? copyBits(mf->bits, size, buffer) : 0;
}

UINT GetEnhMetaFileBits(HENHMETAFILE mf, UINT size, BYTE* buffer) {
    return alive(mf) ? copyBits(mf->bits, size, buffer) : 0;
}

BOOL DeleteMetaFile(HMETAFILE mf) {
    if (!alive(mf)) return FALSE;
    take(mf);
    return TRUE;
}

BOOL DeleteEnhMetaFile(HENHMETAFILE mf) {
    if (!alive(mf)) return FALSE;
    take(mf);
    return TRUE;
}

HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data) {
    if (!data || size < wmf::kHeaderBytes) return nullptr;
    gdi::ByteReader r(data, size);
    const uint32_t type = r.u16(), headerWords = r.u16(), version = r.u16(), words = r.u32();
    if ((type != 1 && type != 2) || headerWords != wmf::kHeaderBytes / 2 || (version != 0x100 && version != 0x300))
        return nullptr;
    const uint64_t bytes = uint64_t(words) * 2;
    if (bytes < wmf::kHeaderBytes + wmf::kEndRecordWords * 2 || bytes > size) return nullptr;
    auto mf = std::make_unique<GdiMetafile>();
    mf->bits.assign(data, data + bytes);
    return give(std::move(mf));
}

const std::vector<uint8_t>* gdi_metafile_bits(HMETAFILE mf) { return alive(mf) ? &mf->bits : nullptr; }
