// The Windows-metafile player: record loop, object table and the decoding of each record kind.
#include "platform/gdi/wmf_player.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_bytes.h"
#include "platform/gdi/metafile_bits.h"
#include "platform/gdi/placeable.h"
#include "platform/gdi/wmf_format.h"

namespace {

using gdi::ByteReader;

class Player {
public:
    Player(MetafileTarget& t, std::size_t tableSize) : target_(t), capacity_(std::min(tableSize, kMaxObjects)) {}

    // Plays one record's parameters; false when the record is damaged.
    bool record(uint16_t function, ByteReader& r) {
        using namespace wmf;
        switch (function) {
        case META_SETMAPMODE: return param(r, [&](int v) { target_.setMapMode(v); });
        case META_SETBKMODE: return param(r, [&](int v) { target_.setBkMode(v); });
        case META_SETTEXTALIGN: {
            UINT align = r.u16();
            if (r.has(2)) align |= r.u16() << 16;
            if (r.failed) return false;
            target_.setTextAlign(align);
            return true;
        }
        case META_SETBKCOLOR:
        case META_SETTEXTCOLOR: {
            COLORREF c = r.u32();
            if (r.failed) return false;
            if (function == META_SETBKCOLOR) target_.setBkColor(c);
            else target_.setTextColor(c);
            return true;
        }
        case META_SETWINDOWORG:
        case META_SETWINDOWEXT:
        case META_MOVETO:
        case META_LINETO: {
            int y = r.i16(), x = r.i16();
            if (r.failed) return false;
            if (function == META_SETWINDOWORG) target_.setWindowOrg(x, y);
            else if (function == META_SETWINDOWEXT) target_.setWindowExt(x, y);
            else if (function == META_MOVETO) target_.moveTo(x, y);
            else target_.lineTo(x, y);
            return true;
        }
        case META_CREATEFONTINDIRECT: return createFont(r);
        case META_CREATEPENINDIRECT: {
            MetafileObject o;
            o.kind = MetafileObject::Pen;
            o.pen.lopnStyle = r.u16();
            o.pen.lopnWidth.x = r.i16();
            o.pen.lopnWidth.y = r.i16();
            o.pen.lopnColor = r.u32();
            return !r.failed && create(o);
        }
        case META_CREATEBRUSHINDIRECT: {
            MetafileObject o;
            o.kind = MetafileObject::Brush;
            o.brush.lbStyle = r.u16();
            o.brush.lbColor = r.u32();
            o.brush.lbHatch = r.u16();
            return !r.failed && create(o);
        }
        case META_SELECTOBJECT:
        case META_DELETEOBJECT: {
            const uint32_t slot = r.u16();
            if (r.failed || slot >= table_.size() || !table_[slot].used) return false;
            if (function == META_SELECTOBJECT) {
                target_.selectObject(static_cast<int>(slot), table_[slot].object);
            } else {
                table_[slot].used = false;
                target_.deleteObject(static_cast<int>(slot));
            }
            return true;
        }
        case META_POLYLINE:
        case META_POLYGON: {
            const uint32_t n = r.u16();
            if (r.failed || !r.has(std::size_t(n) * 4)) return false;
            points_.resize(n);
            for (POINT& p : points_) {
                p.x = r.i16();
                p.y = r.i16();
            }
            if (function == META_POLYLINE) target_.polyline(points_);
            else target_.polygon(points_);
            return true;
        }
        case META_RECTANGLE: {
            int bottom = r.i16(), right = r.i16(), top = r.i16(), left = r.i16();
            if (r.failed) return false;
            target_.rectangle(left, top, right, bottom);
            return true;
        }
        case META_TEXTOUT: {
            const uint32_t n = r.u16();
            std::string_view text = r.bytes(n);
            r.skip(n % 2);
            int y = r.i16(), x = r.i16();
            if (r.failed) return false;
            target_.textOut(x, y, text);
            return true;
        }
        case META_EXTTEXTOUT: return extTextOut(r);
        case META_SAVEDC: target_.saveDC(); return true;
        case META_RESTOREDC: return param(r, [&](int v) { target_.restoreDC(static_cast<int16_t>(v)); });
        case META_STRETCHDIB: return stretchDib(r);
        default: return true;  // a record kind the player does not know: skipped by its size
        }
    }

private:
    struct Slot {
        bool used = false;
        MetafileObject object;
    };

    template <class F>
    static bool param(ByteReader& r, F f) {
        uint32_t v = r.u16();
        if (r.failed) return false;
        f(static_cast<int>(v));
        return true;
    }

    bool createFont(ByteReader& r) {
        MetafileObject o;
        o.kind = MetafileObject::Font;
        LOGFONTA& f = o.font;
        f.lfHeight = r.i16();
        f.lfWidth = r.i16();
        f.lfEscapement = r.i16();
        f.lfOrientation = r.i16();
        f.lfWeight = r.i16();
        for (BYTE* b : {&f.lfItalic, &f.lfUnderline, &f.lfStrikeOut, &f.lfCharSet, &f.lfOutPrecision,
                        &f.lfClipPrecision, &f.lfQuality, &f.lfPitchAndFamily})
            *b = static_cast<BYTE>(r.u8());
        if (r.failed) return false;
        // Writers store the face name with its NUL and may leave out the rest of the 32 bytes.
        std::string_view face = r.bytes(std::min<std::size_t>(r.left(), LF_FACESIZE - 1));
        std::memcpy(f.lfFaceName, face.data(), face.size());
        return create(o);
    }

    // Puts the object into the lowest free slot; a full table creates nothing.
    bool create(const MetafileObject& o) {
        std::size_t slot = 0;
        while (slot < table_.size() && table_[slot].used) ++slot;
        if (slot == capacity_) return true;
        if (slot == table_.size()) table_.emplace_back();
        table_[slot].used = true;
        table_[slot].object = o;
        const int s = static_cast<int>(slot);
        switch (o.kind) {
        case MetafileObject::Font: target_.createFont(s, o.font); break;
        case MetafileObject::Pen: target_.createPen(s, o.pen); break;
        case MetafileObject::Brush: target_.createBrush(s, o.brush); break;
        }
        return true;
    }

    bool extTextOut(ByteReader& r) {
        const int y = r.i16(), x = r.i16();
        const uint32_t n = r.u16();
        const UINT options = r.u16();
        RECT clip;
        const bool hasRect = options & (ETO_OPAQUE | ETO_CLIPPED);
        if (hasRect) {
            clip.left = r.i16();
            clip.top = r.i16();
            clip.right = r.i16();
            clip.bottom = r.i16();
        }
        std::string_view text = r.bytes(n);
        if (r.failed) return false;
        r.skip(std::min<std::size_t>(n % 2, r.left()));
        dx_.clear();
        if (r.has(std::size_t(n) * 2)) {
            dx_.resize(n);
            for (int16_t& d : dx_) d = static_cast<int16_t>(r.i16());
        }
        target_.extTextOut(x, y, options, hasRect ? &clip : nullptr, text, dx_);
        return true;
    }

    bool stretchDib(ByteReader& r) {
        const uint32_t rop = r.u32();
        const uint32_t usage = r.u16();
        RECT src, dest;  // as x, y, width, height
        src.bottom = r.i16();
        src.right = r.i16();
        src.top = r.i16();
        src.left = r.i16();
        dest.bottom = r.i16();
        dest.right = r.i16();
        dest.top = r.i16();
        dest.left = r.i16();
        const uint32_t headerSize = r.u32();
        const int32_t width = r.i32(), height = r.i32();
        r.u16();  // planes
        const uint32_t bits = r.u16(), compression = r.u32();
        r.skip(12);  // image size, resolutions
        const uint32_t used = r.u32();
        r.u32();  // important colours
        if (r.failed || headerSize < wmf::kBitmapInfoHeaderBytes) return false;
        r.skip(headerSize - wmf::kBitmapInfoHeaderBytes);
        if (r.failed) return false;
        // Kinds this player does not draw: palette-index colours, compressed rows, other depths.
        if (usage != 0 || compression != 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
            return true;
        if (width < 1 || width > 32767 || height == 0 || height < -32767 || height > 32767) return false;
        const uint32_t maxColors = bits <= 8 ? 1u << bits : 256;
        const uint32_t colors = used ? used : (bits <= 8 ? maxColors : 0);
        if (colors > maxColors) return false;
        MetafileDib dib;
        dib.width = width;
        dib.height = height < 0 ? -height : height;
        dib.bitCount = static_cast<int>(bits);
        if (!r.has(std::size_t(colors) * 4)) return false;
        for (uint32_t i = 0; i < colors; ++i) {
            uint32_t q = r.u32();
            if (bits <= 8) dib.palette.push_back(q & 0xFFFFFF);
        }
        const std::size_t stride = MetafileDib::rowBytes(width, dib.bitCount);
        if (!r.has(stride * dib.height)) return false;
        std::string_view px = r.bytes(stride * dib.height);
        dib.rows.resize(px.size());
        if (height > 0) {
            std::memcpy(dib.rows.data(), px.data(), px.size());
        } else {
            // Top-down rows: turned bottom first.
            for (int row = 0; row < dib.height; ++row)
                std::memcpy(dib.rows.data() + stride * (dib.height - 1 - row), px.data() + stride * row, stride);
        }
        target_.stretchDib(dest, src, rop, dib);
        return true;
    }

    MetafileTarget& target_;
    std::size_t capacity_;
    std::vector<Slot> table_;
    std::vector<POINT> points_;
    std::vector<int16_t> dx_;
};

}  // namespace

bool wmf_play(const uint8_t* data, std::size_t size, MetafileTarget& target) {
    if (!data) return false;
    PlaceableHeader placeable;
    if (placeable_header_read(data, size, placeable)) {
        data += PLACEABLE_HEADER_BYTES;
        size -= PLACEABLE_HEADER_BYTES;
    }
    ByteReader header(data, size);
    header.skip(2);
    const uint32_t headerWords = header.u16();
    header.skip(2);
    const uint64_t bytes = uint64_t(header.u32()) * 2;
    const uint32_t objects = header.u16();
    if (header.failed || headerWords * 2 < wmf::kHeaderBytes) return false;
    const std::size_t end = static_cast<std::size_t>(std::min<uint64_t>(bytes, size));

    Player player(target, objects);
    std::size_t pos = std::size_t(headerWords) * 2;
    while (pos < end) {
        ByteReader head(data + pos, end - pos);
        const uint64_t recordBytes = uint64_t(head.u32()) * 2;
        const uint16_t function = static_cast<uint16_t>(head.u16());
        if (head.failed || recordBytes < wmf::kRecordHeadBytes || recordBytes > end - pos) return false;
        if (function == wmf::META_EOF) return true;
        ByteReader params(data + pos + wmf::kRecordHeadBytes, static_cast<std::size_t>(recordBytes) - wmf::kRecordHeadBytes);
        if (!player.record(function, params)) return false;
        pos += static_cast<std::size_t>(recordBytes);
    }
    return false;  // no end record
}

bool PlayMetaFile(MetafileTarget& target, HMETAFILE mf) {
    const std::vector<uint8_t>* bits = gdi_metafile_bits(mf);
    return bits && wmf_play(bits->data(), bits->size(), target);
}
