#pragma once
// gdi: the Windows GDI calls the program makes to record pictures as Windows metafiles and
// enhanced metafiles, over handle types of this layer.  Qt-free; the one home of metafile bytes.
//
// What it owns:
//  - objects: fonts (every LOGFONT field), pens (style, width, colour) and brushes.  They belong
//    to the layer, not to a device context, and outlive any recording; DeleteObject frees one.
//    An object is written into a metafile the first time it is selected into its device context,
//    and only then; DeleteObject writes the matching delete record into every open metafile
//    that holds it.
//  - metafile device contexts (CreateMetaFileA, CreateEnhMetaFileA): they record the calls below
//    as records of the published Windows Metafile and Enhanced Metafile formats (wmf_format.h
//    and emf_format.h draw the layouts).
//  - metafiles: the bytes a closed device context produced, or bytes given to SetMetaFileBitsEx.
//    PlayMetaFile (wmf_player.h) plays a Windows metafile into a target.
//
// Handles are pointers to the layer's own records.  Every call checks that its handle is alive
// and of the right kind (a handle deleted or never made fails like a bad Win32 handle: null,
// FALSE or 0), so deleting twice or using a deleted handle does no harm.  As with Win32 handles,
// a deleted handle's value may come back for a new handle of the same kind.
//
// Left out: device contexts that draw or measure (the typesetting device adds its measuring
// context here), files (metafiles live in memory only), map modes of the recording context.
//
// Single-threaded: the table of live handles is process-wide.

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using BOOL = int;
using COLORREF = uint32_t;  // 0x00BBGGRR

constexpr BOOL FALSE = 0, TRUE = 1;

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned GetRValue(COLORREF c) { return c & 0xFF; }
constexpr unsigned GetGValue(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr unsigned GetBValue(COLORREF c) { return (c >> 16) & 0xFF; }

struct POINT {
    int32_t x = 0, y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};
struct RECT {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const RECT&, const RECT&) = default;
};

constexpr int LF_FACESIZE = 32;

struct LOGFONTA {
    int32_t lfHeight = 0;  // < 0: character height, > 0: cell height, logical units
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;  // 0 default, 400 normal, 700 bold
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;  // 0 ANSI, 2 Symbol
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};  // NUL-terminated, cp1252
    friend bool operator==(const LOGFONTA&, const LOGFONTA&) = default;
};

struct LOGPEN {
    UINT lopnStyle = 0;
    POINT lopnWidth;  // x is the width; y is unused
    COLORREF lopnColor = 0;
    friend bool operator==(const LOGPEN&, const LOGPEN&) = default;
};

struct LOGBRUSH {
    UINT lbStyle = 0;
    COLORREF lbColor = 0;
    uint32_t lbHatch = 0;
    friend bool operator==(const LOGBRUSH&, const LOGBRUSH&) = default;
};

// Constants of the calls below.
constexpr UINT TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6;
constexpr UINT TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24;
constexpr int TRANSPARENT = 1, OPAQUE = 2;
constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5;
constexpr UINT BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2;
constexpr BYTE ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2;
constexpr int FW_NORMAL = 400, FW_SEMIBOLD = 600, FW_BOLD = 700;
constexpr int MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5,
              MM_TWIPS = 6, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8;
constexpr UINT ETO_OPAQUE = 2, ETO_CLIPPED = 4;
constexpr int WHITE_BRUSH = 0, BLACK_BRUSH = 4, NULL_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7,
              NULL_PEN = 8, SYSTEM_FONT = 13;
constexpr UINT GDI_ERROR = 0xFFFFFFFFu;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

struct GdiObject;
struct GdiDC;
struct GdiMetafile;
struct GdiEnhMetafile;
using HGDIOBJ = GdiObject*;
using HFONT = GdiObject*;
using HPEN = GdiObject*;
using HBRUSH = GdiObject*;
using HDC = GdiDC*;
using HMETAFILE = GdiMetafile*;
using HENHMETAFILE = GdiEnhMetafile*;

// ---- objects ----
HFONT CreateFontIndirectA(const LOGFONTA* lf);
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
// The stock objects listed above; they are never deleted (DeleteObject answers TRUE and keeps
// them).  Another index gives null.
HGDIOBJ GetStockObject(int index);
// Frees the object; every open metafile that holds it gets its delete record first.
BOOL DeleteObject(HGDIOBJ obj);

// ---- recording device contexts ----
// A Windows metafile in memory; a file name is refused (null).
HDC CreateMetaFileA(const char* fileName);
// An enhanced metafile in memory: no reference context (the reference is a 96 dots-per-inch
// screen), no file name, `frame` in hundredths of a millimetre (null: refused), `description`
// a text of two NUL-terminated parts ended by a second NUL (null: none).
HDC CreateEnhMetaFileA(HDC reference, const char* fileName, const RECT* frame, const char* description);
// Each returns the previous value, or GDI_ERROR / CLR_INVALID / 0 for a bad context.
UINT SetTextAlign(HDC dc, UINT align);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
// The previous object of the same kind (a stock object at first); null for a bad handle.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
// `text` holds `count` bytes, recorded unchanged (cp1252, or Symbol-encoding bytes under a font
// of character set 2); at most 32767.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
// At least 2 points, at most 32767 in a Windows metafile.
BOOL Polyline(HDC dc, const POINT* points, int count);
// End the recording and give the metafile; the context is gone afterwards.  Null for a context of
// the other kind (which stays open) or a bad handle.
HMETAFILE CloseMetaFile(HDC dc);
HENHMETAFILE CloseEnhMetaFile(HDC dc);

// ---- metafile bits ----
// With a null buffer: the byte count.  Otherwise the bytes are copied when `size` holds them all
// (returns the count) and nothing is copied when it does not (returns 0).
UINT GetMetaFileBitsEx(HMETAFILE mf, UINT size, void* buffer);
UINT GetEnhMetaFileBits(HENHMETAFILE mf, UINT size, BYTE* buffer);
BOOL DeleteMetaFile(HMETAFILE mf);
BOOL DeleteEnhMetaFile(HENHMETAFILE mf);
// A metafile from a copy of Windows-metafile bits (no placeable header).  Null unless the bytes
// start with a Windows metafile header (type 1 or 2, header size 9 words, version 0x100 or
// 0x300) whose size field (16-bit words) is at least the header and an end record and whose
// size in bytes fits in `size`; the metafile keeps exactly that many bytes.  The records
// themselves are checked by the player, which plays what comes before any damage.
HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data);
