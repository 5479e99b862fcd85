#pragma once
// Texts and fonts of the fixed glyphs (codes 128 to 183) on the devices that set real fonts:
// the LaTeX device measures them, the GDI device measures and draws them.
//
// Fonts are the style codes of text leaves: 0 roman, 1 italic, 2 Symbol, 3 bold.  Symbol-font
// characters are bytes of the Symbol font's own encoding (0xB9 not-equal, 0xA3 less-or-equal,
// 0xAE right arrow, 0xE1 / 0xF1 angle brackets, 0xB6 partial sign, 0xB4 multiplication sign).
// Codes 184 to 192 have no glyph on these devices: they get the empty roman text.

struct GlyphText {
    const char* text;
    int font;
};

// The text and font of a glyph code; null outside 128..192.
const GlyphText* glyph_text(int code);
