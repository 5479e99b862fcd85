#pragma once
// Text tables of the GUI layer: Windows code page 1252 <-> Unicode, the Symbol face's encoding,
// and Shift-JIS (code page 932) for the Japanese mode.
//
// Rules:
//  1. cp1252 -> Unicode is a 256-entry table.  The five bytes cp1252 leaves unassigned (0x81,
//     0x8D, 0x8F, 0x90, 0x9D) map to the C1 control with the same number, so all 256 bytes
//     round-trip.
//  2. Unicode -> cp1252 gives "?" for every character outside the code page, and for malformed
//     UTF-8 (one "?" per bad byte); it never yields a byte that means another character.
//  3. The Symbol face is addressed by its Symbol-encoding bytes: byte b is drawn as code point
//     U+F000 + b, which the font's symbol character map resolves (symbolGlyphCodePoint).  Text
//     that leaves the program uses symbolToUnicode (the standard Adobe Symbol mapping, with the
//     private-use extender pieces replaced by their Unicode counterparts).
//  4. Shift-JIS goes through iconv (code page 932); characters it cannot express become "?".
//
// Conversion happens only at the screen, clipboard and file-name boundary.  Qt-free.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

char32_t cp1252ToUnicode(uint8_t byte);
// The cp1252 byte of a character, or -1 when the code page has none.
int unicodeToCp1252(char32_t ch);

std::string cp1252ToUtf8(std::string_view bytes);
// `replaced` (optional) receives the number of characters that became "?".
std::string utf8ToCp1252(std::string_view utf8, std::size_t* replaced = nullptr);

// Decodes one UTF-8 character at `pos` and advances it; returns 0xFFFFFFFF for a malformed
// sequence (advancing one byte).  Overlong forms and surrogates count as malformed.
char32_t decodeUtf8(std::string_view s, std::size_t& pos);
void appendUtf8(std::string& out, char32_t ch);

// The Unicode character of a Symbol-encoding byte, 0 when the byte is unassigned.
char32_t symbolToUnicode(uint8_t byte);
constexpr char32_t symbolGlyphCodePoint(uint8_t byte) { return 0xF000u + byte; }
std::string symbolToUtf8(std::string_view bytes);

std::string sjisToUtf8(std::string_view bytes);
std::string utf8ToSjis(std::string_view utf8, std::size_t* replaced = nullptr);

// The Japanese mode makes the screen boundary use Shift-JIS instead of cp1252.
void setJapaneseTextMode(bool on);
bool isJapaneseTextMode();
// Program text to UTF-8 and back, in the current mode.
std::string programTextToUtf8(std::string_view bytes);
std::string utf8ToProgramText(std::string_view utf8, std::size_t* replaced = nullptr);
