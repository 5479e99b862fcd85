// The glyph text table of the font devices.

#include "glyphtext.h"

#include "typeset/typeset.h"

namespace {

constexpr int R = STYLE_ROMAN, S = STYLE_SYMBOL, B = STYLE_BOLD;

const GlyphText kGlyphs[65] = {
    {"", R},                                                              // 128
    {" + ", S}, {" - ", S}, {"(", R}, {")", R}, {" = ", S},               // 129-133
    {" \xB9 ", S}, {" < ", S}, {" \xA3 ", S},                             // 134-136
    {" and ", B}, {"not ", B}, {" or ", B},                               // 137-139
    {",", R}, {" .. ", R}, {" := ", R}, {" ... ", R}, {"/", R},           // 140-144
    {"{", R}, {"}", R}, {"[", R}, {"]", R},                               // 145-148
    {"-", S}, {";", R},                                                   // 149-150
    {" \xAE ", S}, {" \xE1 ", S}, {" \xF1 ", S},                          // 151-153
    {"'", R}, {".", R}, {"::", R}, {"\xB6", S},                           // 154-157
    {"local", B}, {"global", B}, {"description", B}, {"option", B},       // 158-161
    {"proc", B}, {"end", B}, {"if", B}, {"then", B}, {"elif", B},         // 162-166
    {"else", B}, {"fi", B}, {"for", B}, {"in", B}, {"from", B},           // 167-171
    {"by", B}, {"to", B}, {"while", B}, {"do", B}, {"od", B},             // 172-176
    {"^", R}, {"^", R}, {"#", R},                                         // 177-179
    {"read ", B}, {"save ", B}, {"quit", B},                              // 180-182
    {"\xB4", S},                                                          // 183
    {"", R}, {"", R}, {"", R}, {"", R}, {"", R}, {"", R}, {"", R}, {"", R}, {"", R},   // 184-192
};

}  // namespace

const GlyphText* glyph_text(int code) {
    if (code < 128 || code > 192) return nullptr;
    return &kGlyphs[code - 128];
}
