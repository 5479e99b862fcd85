#pragma once
// Reader of Adobe Font Metrics (AFM) files: the one home of AFM parsing, used by the LaTeX
// device to measure text with the metrics of the PostScript fonts LaTeX will set it in.
//
// An AFM file is text: a global section (keyword, value per line), then
//
//   StartCharMetrics n        n character lines "C code ; WX width ; N name ; B llx lly urx ury ;
//   ...                                          L successor ligature ;"
//   EndCharMetrics
//   StartKernData             (optional)
//     StartTrackKern n  / TrackKern degree minPt minKern maxPt maxKern / EndTrackKern
//     StartKernPairs n  / KP a b dx dy  or  KPX a b dx               / EndKernPairs
//   EndKernData
//   StartComposites n         CC name pieces ; PCC piece dx dy ; ...  / EndComposites
//   EndFontMetrics
//
// `afm_parse_file` reads the sections that its flags ask for into an `AfmFontInfo`:
//   1 global information, 2 character widths and left bounds (256 entries each, by code),
//   4 character metrics with ligatures (then the two 256-entry arrays are not filled),
//   8 kern pairs, 0x10 track kerns, 0x20 composites.
// Sections not asked for are scanned to their end keyword.
//
// Results: 0 success; -1 a parse error (reading goes on; what could be read is kept); -2 the
// file ended early (wins over parse errors); -3 memory ran out (returned at once).  The record,
// once made, is handed out with every result.
//
// The file is outside data.  Invariants the reader keeps:
//   1. A count (characters, track kerns, kern pairs, composites, pieces) is trusted only when
//      it is not negative and the rest of the file could hold that many entries (two bytes
//      each at least); otherwise it is a parse error and nothing is allocated for it.
//   2. A token or rest-of-line value longer than the 4096-byte token buffer is a parse error
//      and is skipped; nothing is written past the buffer.
//   3. A number that does not parse, or does not fit its type, is a parse error.
//   4. WX or B before any C, and codes outside 0..255, store nothing.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

enum : int {
    AFM_GLOBAL = 0x1,
    AFM_WIDTHS = 0x2,
    AFM_CHARMETRICS = 0x4,
    AFM_KERNPAIRS = 0x8,
    AFM_TRACKKERNS = 0x10,
    AFM_COMPOSITES = 0x20,
    AFM_ALL = 0x3F,
};

enum : int { AFM_OK = 0, AFM_PARSE_ERROR = -1, AFM_EARLY_END = -2, AFM_NO_MEMORY = -3 };

struct AfmGlobalInfo {
    std::string afmVersion;          // value of StartFontMetrics
    std::string fontName;
    std::string fullName;            // rest of line
    std::string familyName;          // rest of line
    std::string weight;
    double italicAngle = 0;
    int isFixedPitch = 0;            // 0 for "false", else 1
    int fontBBox[4] = {0, 0, 0, 0};  // llx, lly, urx, ury
    int underlinePosition = 0;
    int underlineThickness = 0;
    std::string version;
    std::string notice;              // rest of line
    std::string encodingScheme;
    int capHeight = 0;
    int xHeight = 0;
    int ascender = 0;
    int descender = 0;
};

struct AfmLigature {
    std::string successor;
    std::string ligature;
};

struct AfmCharMetrics {
    int code = -1;
    int wx = 0, wy = 0;
    std::string name;
    int bbox[4] = {0, 0, 0, 0};
    std::vector<AfmLigature> ligatures;   // in file order
};

struct AfmTrackKern {
    int degree = 0;
    double minPointSize = 0, minKern = 0, maxPointSize = 0, maxKern = 0;
};

struct AfmKernPair {
    std::string first, second;
    int xAmount = 0, yAmount = 0;   // KPX gives y 0
};

struct AfmPiece {
    std::string name;
    int dx = 0, dy = 0;
};

struct AfmComposite {
    std::string name;
    int pieceCount = 0;              // as announced
    std::vector<AfmPiece> pieces;
};

struct AfmFontInfo {
    std::unique_ptr<AfmGlobalInfo> global;   // flag 1
    std::vector<int> widths;                 // flag 2: 256 entries by code
    std::vector<int> leftBounds;             // flag 2: 256 entries, left x of each box
    int charCount = 0;                       // as announced after StartCharMetrics
    std::vector<AfmCharMetrics> charMetrics; // flag 4
    int trackKernCount = 0;
    std::vector<AfmTrackKern> trackKerns;    // flag 0x10
    int kernPairCount = 0;
    std::vector<AfmKernPair> kernPairs;      // flag 8
    int compositeCount = 0;
    std::vector<AfmComposite> composites;    // flag 0x20
};

// Reads the file from its current position to its end.
int afm_parse_file(std::FILE* file, std::unique_ptr<AfmFontInfo>* out, int flags);

// The keyword table (sorted in byte order), for tests: the index of a word, or -1.
int afm_keyword_index(const char* word);
int afm_keyword_count();
const char* afm_keyword(int index);

// Opens afm_directory() + "/" + fileName and reads it with flags 1 + 2; null when the file
// cannot be opened or the reader gives a negative result.
std::unique_ptr<AfmFontInfo> afm_open(const char* fileName);
// The counterpart of afm_open: the record belongs to its unique_ptr, so there is nothing to do.
void afm_release(const AfmFontInfo* metrics);
