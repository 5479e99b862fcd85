#pragma once
// The Enhanced Metafile records this layer writes (nothing in the program plays one).  All
// numbers little-endian, every record a multiple of 4 bytes: iType (4), nSize (4, bytes), data.
//
// Header record (EMR_HEADER, type 1), 108 bytes, then the description:
//
//   offset  size  field
//   0       4     iType 1
//   4       4     nSize: 108 + the description's bytes, rounded up to 4
//   8       16    rclBounds: the frame in reference-device pixels (left, top, right, bottom,
//                 inclusive)
//   24      16    rclFrame: the frame as given, hundredths of a millimetre
//   40      4     dSignature 0x464D4520 (" EMF")
//   44      4     nVersion 0x10000
//   48      4     nBytes: the whole metafile
//   52      4     nRecords: every record, header and end record included
//   56      2     nHandles: object table size, slot 0 (reserved) included
//   58      2     reserved 0
//   60      4     nDescription: UTF-16 characters of the description, both NULs included
//   64      4     offDescription: 108 (0 with no description)
//   68      4     nPalEntries 0
//   72      8     szlDevice: the reference device in pixels
//   80      8     szlMillimeters: the reference device in millimetres
//   88      4     cbPixelFormat 0
//   92      4     offPixelFormat 0
//   96      4     bOpenGL 0
//   100     8     szlMicrometers: the reference device in micrometres
//
// Records after it:
//
//   record                      type  data after iType and nSize
//   EMR_POLYLINE                4     bounds (16), count (4), count points (x, y: 4 each)
//   EMR_EOF                     14    nPalEntries 0, offPalEntries 16, nSizeLast 20
//   EMR_SETBKMODE               18    mode (4)
//   EMR_SETTEXTALIGN            22    align (4)
//   EMR_SETTEXTCOLOR            24    COLORREF (4)
//   EMR_MOVETOEX                27    x, y (4 each)
//   EMR_SELECTOBJECT            37    object index, or 0x80000000 + stock index (4)
//   EMR_CREATEPEN               38    index, style, width x, width y, COLORREF (4 each)
//   EMR_CREATEBRUSHINDIRECT     39    index, style, COLORREF, hatch (4 each)
//   EMR_DELETEOBJECT            40    object index (4)
//   EMR_LINETO                  54    x, y (4 each)
//   EMR_EXTCREATEFONTINDIRECTW  82    index (4), LOGFONTW (92: five 32-bit numbers, eight
//                                     bytes, 32 UTF-16 face characters) and 228 zero bytes of
//                                     the rest of the 320-byte extended form
//   EMR_EXTTEXTOUTA             83    bounds (16), graphics mode 1, x scale, y scale (floats),
//                                     reference point (8), count, string offset, options,
//                                     rectangle (16), advance offset (4 each), then the bytes
//                                     padded to 4 and count advances (4 each)
//
// Object indices start at 1; a new object takes the lowest free one.

#include <cstdint>

namespace emf {

constexpr uint32_t EMR_HEADER = 1, EMR_POLYLINE = 4, EMR_EOF = 14, EMR_SETBKMODE = 18,
                   EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_MOVETOEX = 27,
                   EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38, EMR_CREATEBRUSHINDIRECT = 39,
                   EMR_DELETEOBJECT = 40, EMR_LINETO = 54, EMR_EXTCREATEFONTINDIRECTW = 82,
                   EMR_EXTTEXTOUTA = 83;

constexpr uint32_t kHeaderBytes = 108;
constexpr uint32_t kSignature = 0x464D4520;
constexpr uint32_t kStockFlag = 0x80000000u;
constexpr uint32_t kExtLogFontBytes = 320;

// The reference device when none is given: a 96 dots-per-inch screen of 1920 x 1080 pixels.
constexpr int kRefPixelsX = 1920, kRefPixelsY = 1080;
constexpr int kRefMicrometresX = 508000, kRefMicrometresY = 285750;

}  // namespace emf
