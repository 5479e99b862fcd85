#pragma once
// The Windows Metafile format as this layer writes and reads it.  All numbers little-endian.
//
// Header (18 bytes, at offset 0 of the bits):
//
//   offset  size  field          value
//   0       2     mtType         1 memory, 2 disk (both read; 1 written)
//   2       2     mtHeaderSize   9 (words)
//   4       2     mtVersion      0x0300 (0x0100 also read)
//   6       4     mtSize         whole metafile in 16-bit words: bytes = 2 * mtSize
//   10      2     mtNoObjects    object table size: the largest number of objects alive at once
//   12      4     mtMaxRecord    largest record, in words
//   16      2     mtNoParameters 0
//
// Records follow, each: rdSize (4, the record in words, at least 3), rdFunction (2), then
// rdSize - 3 words of parameters.  The last record is the end record (size 3, function 0).
// Coordinates are signed 16-bit, and a point whose two numbers are given alone is stored y first.
//
//   function                  number  parameters (16-bit words unless noted)
//   META_EOF                  0x0000  none
//   META_SAVEDC               0x001E  none
//   META_SETBKCOLOR           0x0201  COLORREF (32-bit)
//   META_SETBKMODE            0x0102  mode
//   META_SETMAPMODE           0x0103  mode
//   META_RESTOREDC            0x0127  which (signed: < 0 counts back from the last save)
//   META_SELECTOBJECT         0x012D  object index
//   META_SETTEXTALIGN         0x012E  align low word, high word
//   META_DELETEOBJECT         0x01F0  object index
//   META_SETTEXTCOLOR         0x0209  COLORREF (32-bit)
//   META_SETWINDOWORG         0x020B  y, x
//   META_SETWINDOWEXT         0x020C  y, x
//   META_LINETO               0x0213  y, x
//   META_MOVETO               0x0214  y, x
//   META_CREATEPENINDIRECT    0x02FA  style, width x, width y, COLORREF (32-bit)
//   META_CREATEFONTINDIRECT   0x02FB  LOGFONT16 (below)
//   META_CREATEBRUSHINDIRECT  0x02FC  style, COLORREF (32-bit), hatch
//   META_POLYGON              0x0324  count, count points (x, y)
//   META_POLYLINE             0x0325  count, count points (x, y)
//   META_RECTANGLE            0x041B  bottom, right, top, left
//   META_TEXTOUT              0x0521  count, the bytes padded to a word, y, x
//   META_EXTTEXTOUT           0x0A32  y, x, count, options, [clip rectangle left, top, right,
//                                     bottom when options has ETO_OPAQUE or ETO_CLIPPED], the
//                                     bytes padded to a word, [count advances]
//   META_STRETCHDIB           0x0F43  raster op (32-bit), colour use, source height, width, y,
//                                     x, destination height, width, y, x, then a packed DIB
//                                     (BITMAPINFOHEADER, colour table, rows bottom first)
//
// LOGFONT16 (50 bytes): height, width, escapement, orientation, weight (16-bit signed each),
// italic, underline, strike-out, character set, output precision, clip precision, quality,
// pitch and family (one byte each), face name (32 bytes, NUL-padded).
//
// Object indices: a new object takes the lowest free slot of the table; a delete frees it.

#include <cstdint>

namespace wmf {

constexpr uint16_t META_EOF = 0x0000, META_SAVEDC = 0x001E, META_SETBKCOLOR = 0x0201,
                   META_SETBKMODE = 0x0102, META_SETMAPMODE = 0x0103, META_RESTOREDC = 0x0127,
                   META_SELECTOBJECT = 0x012D, META_SETTEXTALIGN = 0x012E,
                   META_DELETEOBJECT = 0x01F0, META_SETTEXTCOLOR = 0x0209,
                   META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C, META_LINETO = 0x0213,
                   META_MOVETO = 0x0214, META_CREATEPENINDIRECT = 0x02FA,
                   META_CREATEFONTINDIRECT = 0x02FB, META_CREATEBRUSHINDIRECT = 0x02FC,
                   META_POLYGON = 0x0324, META_POLYLINE = 0x0325, META_RECTANGLE = 0x041B,
                   META_TEXTOUT = 0x0521, META_EXTTEXTOUT = 0x0A32, META_STRETCHDIB = 0x0F43;

constexpr uint32_t kHeaderBytes = 18;
constexpr uint32_t kRecordHeadBytes = 6;  // rdSize and rdFunction
constexpr uint32_t kEndRecordWords = 3;
constexpr uint32_t kLogFont16Bytes = 50;
constexpr uint32_t kBitmapInfoHeaderBytes = 40;

}  // namespace wmf
