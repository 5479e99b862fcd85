#pragma once
// The Windows-metafile player: reads metafile bits (wmf_format.h draws the records) and hands
// each record it knows to a target, one operation per record kind.
//
// Invariants of the reader (the bits come from worksheet files and the clipboard):
//  1. Nothing is read past the bits, nor past the size the header gives them.
//  2. A record must hold its own size and function words (at least 3 words) and lie inside the
//     bits; playback stops at the first record that does not, so a size of 0 never loops.
//  3. Every count and string length is checked against its record; an object index against the
//     table; a record that fails a check is damage, and playback stops there.
//  4. The object table has the header's size, at most kMaxObjects slots; a creation that finds
//     no free slot creates nothing (as GDI does when the table is full).
// A damaged metafile therefore plays what comes before the damage.  Records of other kinds are
// skipped by their size.
//
// The player keeps the object table: targets get each creation with its slot, and each
// selection with the object itself, so that a target that only draws need keep no table.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

// An object as a metafile creates it.
struct MetafileObject {
    enum Kind { Font, Pen, Brush } kind = Font;
    LOGFONTA font;
    LOGPEN pen;
    LOGBRUSH brush;
};

// A stretched-bitmap record's image.
using MetafileDib = DeviceIndependentImage;

// Where a metafile plays.  Every operation does nothing unless overridden; coordinates are the
// metafile's logical units.
class MetafileTarget {
public:
    virtual ~MetafileTarget() = default;
    virtual void setMapMode(int /*mode*/) {}
    virtual void setWindowOrg(int /*x*/, int /*y*/) {}
    virtual void setWindowExt(int /*x*/, int /*y*/) {}
    virtual void setTextAlign(UINT /*align*/) {}
    virtual void setBkMode(int /*mode*/) {}
    virtual void setBkColor(COLORREF) {}
    virtual void setTextColor(COLORREF) {}
    virtual void createFont(int /*slot*/, const LOGFONTA&) {}
    virtual void createPen(int /*slot*/, const LOGPEN&) {}
    virtual void createBrush(int /*slot*/, const LOGBRUSH&) {}
    virtual void selectObject(int /*slot*/, const MetafileObject&) {}
    virtual void deleteObject(int /*slot*/) {}
    virtual void moveTo(int /*x*/, int /*y*/) {}
    virtual void lineTo(int /*x*/, int /*y*/) {}
    virtual void polyline(std::span<const POINT>) {}
    virtual void polygon(std::span<const POINT>) {}
    virtual void rectangle(int /*left*/, int /*top*/, int /*right*/, int /*bottom*/) {}
    virtual void textOut(int /*x*/, int /*y*/, std::string_view /*bytes*/) {}
    // `clip` is null unless the options carry ETO_OPAQUE or ETO_CLIPPED; `dx` is empty when the
    // record has no advances.
    virtual void extTextOut(int /*x*/, int /*y*/, UINT /*options*/, const RECT* /*clip*/,
                            std::string_view /*bytes*/, std::span<const int16_t> /*dx*/) {}
    virtual void saveDC() {}
    // `which` < 0 counts back from the last save (-1: the last); > 0 names a save by number.
    virtual void restoreDC(int /*which*/) {}
    // Source and destination rectangles as (x, y, width, height).
    virtual void stretchDib(const RECT& /*dest*/, const RECT& /*source*/, uint32_t /*rop*/, const MetafileDib&) {}
};

constexpr std::size_t kMaxObjects = 4096;

// Plays the metafile into the target.  True when it reached the end record with no damage.
bool PlayMetaFile(MetafileTarget& target, HMETAFILE mf);
// Plays Windows-metafile bits, with or without a placeable header before them.  A header size
// field larger than the bytes given is cut to them.  True as for PlayMetaFile.
bool wmf_play(const uint8_t* data, std::size_t size, MetafileTarget& target);
