// Font metrics over fontconfig and FreeType.

#include "gdi_fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

#include <cstring>
#include <map>
#include <string>

#include "platform/gui/base/text_tables.h"

namespace {

const char* family_of(const LOGFONTA& f) {
    if (f.lfCharSet == SYMBOL_CHARSET || std::strcmp(f.lfFaceName, "Symbol") == 0) return "Standard Symbols PS";
    if (std::strcmp(f.lfFaceName, "Times New Roman") == 0) return "Liberation Serif";
    if (std::strcmp(f.lfFaceName, "Arial") == 0) return "Liberation Sans";
    if (std::strcmp(f.lfFaceName, "Courier New") == 0) return "Liberation Mono";
    return f.lfFaceName;
}

class FreetypeSource : public GdiFontMetricSource {
public:
    FreetypeSource() {
        libraryOk_ = FT_Init_FreeType(&library_) == 0;
        FcInit();
    }
    ~FreetypeSource() override {
        for (auto& [key, face] : faces_)
            if (face) FT_Done_Face(face);
        if (libraryOk_) FT_Done_FreeType(library_);
        FcFini();   // fontconfig's configuration and caches
    }
    FreetypeSource(const FreetypeSource&) = delete;
    FreetypeSource& operator=(const FreetypeSource&) = delete;

    bool face(const LOGFONTA& f, GdiFaceMetrics* out) const override {
        FT_Face face = load(f);
        if (!face) return false;
        GdiFaceMetrics m;
        m.unitsPerEm = face->units_per_EM ? face->units_per_EM : 1000;
        auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            m.winAscent = os2->usWinAscent;
            m.winDescent = os2->usWinDescent;
            m.avgCharWidth = os2->xAvgCharWidth;
        } else {
            m.winAscent = face->ascender;
            m.winDescent = -face->descender;
            m.avgCharWidth = m.unitsPerEm / 2;
        }
        m.maxCharWidth = face->max_advance_width;
        *out = m;
        return true;
    }

    int advance(const LOGFONTA& f, unsigned char c) const override {
        FT_Face face = load(f);
        if (!face) return 0;
        FT_UInt glyph = 0;
        if (f.lfCharSet == SYMBOL_CHARSET) {
            // A Symbol face answers by the Windows symbol code points (0xF000 + byte), by
            // Unicode, or (as URW's Standard Symbols PS) by the bytes themselves at their own
            // code points: a face without a Greek alpha but with a glyph at "a" is of that kind.
            glyph = FT_Get_Char_Index(face, symbolGlyphCodePoint(c));
            bool byteKeyed = FT_Get_Char_Index(face, 0x3B1) == 0 && FT_Get_Char_Index(face, 'a') != 0;
            if (!glyph) glyph = FT_Get_Char_Index(face, byteKeyed ? FT_ULong(c) : FT_ULong(symbolToUnicode(c)));
        } else {
            glyph = FT_Get_Char_Index(face, cp1252ToUnicode(c));
        }
        FT_Fixed adv = 0;
        if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &adv) != 0) return 0;
        return int(adv);
    }

private:
    FT_Library library_ = nullptr;
    bool libraryOk_ = false;
    mutable std::map<std::string, FT_Face> faces_;   // null: looked for and not found

    FT_Face load(const LOGFONTA& f) const {
        if (!libraryOk_ || f.lfFaceName[0] == '\0') return nullptr;
        const char* family = family_of(f);
        int weight = f.lfWeight ? f.lfWeight : FW_NORMAL;
        std::string key = std::string(family) + '|' + std::to_string(weight) + '|' + (f.lfItalic ? "i" : "r");
        auto it = faces_.find(key);
        if (it != faces_.end()) return it->second;
        FT_Face face = nullptr;
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
        FcPatternAddInteger(pattern, FC_SLANT, f.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        if (match) {
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
                FcPatternGetInteger(match, FC_INDEX, 0, &index);
                if (FT_New_Face(library_, reinterpret_cast<const char*>(file), index, &face) != 0) face = nullptr;
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
        faces_[key] = face;
        return face;
    }
};

}  // namespace

const GdiFontMetricSource& gdi_freetype_metric_source() {
    static const FreetypeSource source;
    return source;
}
