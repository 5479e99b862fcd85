#pragma once
// The GDI typesetting device (kind 4, size levels 0 and 1) and the metafile export of typeset
// expressions built on it.
//
// The device measures with the GDI layer's measuring context (platform/gdi/measure.h) and
// draws into a recording device context of the layer while a piece is recorded.  Fonts, by
// index: 0 roman, 1 italic, 2 Symbol, 3 bold (of the options' face, by default
// "Times New Roman", at the options' point size, by default 12; level 1 at two thirds, at
// least 4 points), and per level an enlarged Symbol font (1.5 times) for the summation and
// product signs.
//
// State (GdiDeviceState) is one per process: fonts, metrics and pens stay from one export to
// the next while the face, the level-0 size, the map mode and the pixels per inch stay the same;
// a change of any of them rebuilds them.  Glyph node caches (per level, codes 128..192) live in
// a run's node arena and are forgotten at every export and every open.
//
// Logical units per point ("scale") are the map mode's units per inch over 72: 20 in MM_TWIPS,
// 254 / 72 in MM_LOMETRIC, the pixels per inch over 72 in MM_TEXT.
//
// export_expression_metafile results:
//   0 success; 1 no request, its size is not 24, or its flags (without bit 4) are not 0, 1 or 2
//   (nothing is touched); 3 no typesetting context; 4 too large for one metafile (an extent
//   above 32767 without page split) or more than 128 pieces (nothing recorded); 5 layout failed
//   (or the run's own error code); 6 the callback asked to stop; 7 a piece's file could not be
//   created or completely written (nothing called back for it; the partial file is removed).
//
// File names (flag 0x10): "/" is the separator; the extension (after the last "." behind the
// last "/") is dropped and ".wmf" or ".emf" added.  The name is never a format: one "%d"
// conversion (flags and width allowed, as in "%03d") takes the piece index, "%%" gives "%", any
// other "%" stays; a name without an index conversion is used as it stands for one piece and
// gets the index as "%03d" appended when there are several.  Without a base name each piece goes
// to a new file made by mkstemp in $TMPDIR (else the system's temporary folder), named "mmf..."
// without an extension.

#include <cstdint>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/gdi/measure.h"
#include "typeset/typeset.h"

extern const TypesetDevice GdiTypesetDevice;

struct GdiFontSpec {
    char face[32] = {};
    int italic = 0;
    int weight = 400;
};

struct GdiSizeLevel {
    struct Font {
        HFONT handle = nullptr;
        LOGFONTA logfont;
        int longestRun = 1;   // characters measured in one call: 32000 / width of "M"
    } fonts[4];
    HFONT bigSymbol = nullptr;
    LOGFONTA bigLogfont;
    int metrics[4][13] = {};   // by font, metric numbers 0..12
    int bigHeight = 0, bigHalf = 0, bigAscent = 0;
    int shift[4] = {};         // how far each font's ascent was raised to the common ascent
    int digitWidth[10] = {};   // roman '0'..'9'; 0: not measured yet
};

struct GdiDeviceState {
    HDC drawDC = nullptr;                    // the recording context while a piece is recorded
    const GdiMeasureDC* measureDC = nullptr;
    GdiMeasureDC ownMeasureDC;               // the measuring context of the last set-up
    GdiFontSpec specs[4];
    int pointSize[2] = {0, 0};
    GdiSizeLevel levels[2];
    bool loaded[2] = {false, false};
    TypesetNode** glyphCache[2] = {nullptr, nullptr};   // 65 slots each, in the run's arena
    int mapMode = 0;
    int pixelsPerInch = 0;
    double scale = 0;                        // logical units per point
    int curFont = -1, curLevel = -1;         // font selected into drawDC (-1: none)
    bool setUp = false;
    HPEN pens[8] = {};                       // by width 0..7, in the text colour
    COLORREF textColor = 0;
    long fontsMade = 0;                      // fonts created so far (a set-up that keeps them makes none)
};

GdiDeviceState& gdi_device_state();

// Font set-up for an export: face and size from the options, map mode and pixels per inch from
// the measuring context.
void gdi_setup_fonts(GdiDeviceState* state, const LayoutOptions* options, const GdiMeasureDC* dc);
LOGFONTA gdi_create_font(const GdiDeviceState* state, const GdiFontSpec& spec, int pointSize,
                         bool symbolCharset);
// 0, or 2 when a font cannot be made or measured.
int gdi_ensure_level(GdiDeviceState* state, int level);
int gdi_load_level(GdiDeviceState* state, int level);
void gdi_release_fonts(GdiDeviceState* state);
// Fonts and pens released, levels unloaded (the program's shut-down).
void gdi_typeset_cleanup();

// ---- metafile export --------------------------------------------------------------------------

struct MetafileRequest {
    uint16_t size = 24;
    uint16_t flags = 0;             // 1 placeable header, 2 enhanced, 0x10 files
    const char* baseName = nullptr;
    const GdiMeasureDC* measureDC = nullptr;   // null: a 96 dots-per-inch context for the call
    uint16_t pageSplit = 0;
    int mapMode = 0;                // 0: by platform, MM_TWIPS here
    COLORREF textColor = 0;
    long fontsMade = 0;                      // fonts created so far (a set-up that keeps them makes none)
};

struct MetafilePiece {
    uint16_t flags = 0;
    uint16_t index = 0;
    uint16_t count = 0;
    uint16_t unitsPerInch = 0;
    int32_t width = 0, height = 0;
    // Without flag 0x10 one of the handles, owned by the callback from then on; with it the file
    // name (freed by the export after the callback returns).
    HMETAFILE metafile = nullptr;
    HENHMETAFILE enhMetafile = nullptr;
    const char* fileName = nullptr;
};

using MetafilePieceCallback = int (*)(void* user, const MetafilePiece* piece);

int export_expression_metafile(const DagWord* dag, const LayoutOptions* options,
                               const MetafileRequest* request, MetafilePieceCallback callback,
                               void* user);
void delete_metafile(HMETAFILE metafile);
void delete_metafile(HENHMETAFILE metafile);

// The file name of piece `index` of `count` for a base name (extension already dropped).
std::string metafile_piece_name(const std::string& base, int index, int count);
// The base name of a request: the extension after the last "." behind the last "/" dropped.
std::string metafile_base_name(const char* name);
