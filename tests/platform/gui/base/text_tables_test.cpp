// Text tables: cp1252 round trip, replacement of what cp1252 cannot hold, malformed UTF-8,
// Symbol mapping and Shift-JIS.
#include "platform/gui/base/text_tables.h"

#include <gtest/gtest.h>

namespace {

TEST(TextTables, All256Cp1252BytesRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::size_t replaced = 99;
    std::string back = utf8ToCp1252(cp1252ToUtf8(all), &replaced);
    EXPECT_EQ(back, all);
    EXPECT_EQ(replaced, 0u);
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(unicodeToCp1252(cp1252ToUnicode(static_cast<uint8_t>(b))), b);
    }
}

struct MapCase { const char* name; std::string utf8; std::string cp1252; std::size_t replaced; };

TEST(TextTables, Utf8ToCp1252) {
    const MapCase cases[] = {
        {"ascii", "abc", "abc", 0},
        {"latin1", "Caf\xC3\xA9", "Caf\xE9", 0},
        {"euro", "\xE2\x82\xAC", "\x80", 0},
        {"ellipsis and quotes", "\xE2\x80\xA6\xE2\x80\x9C", "\x85\x93", 0},
        {"outside cp1252 (alpha)", "\xCE\xB1", "?", 1},
        {"cjk", "\xE6\x97\xA5x", "?x", 1},
        {"emoji", "\xF0\x9F\x98\x80", "?", 1},
        {"truncated sequence", "a\xC3", "a?", 1},
        {"lone continuation", "\x80z", "?z", 1},
        {"overlong slash", "\xC0\xAF", "??", 2},
        {"surrogate", "\xED\xA0\x80", "???", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t replaced = 0;
        EXPECT_EQ(utf8ToCp1252(c.utf8, &replaced), c.cp1252);
        EXPECT_EQ(replaced, c.replaced);
    }
}

TEST(TextTables, SymbolBytesMapToUnicodeAndPrivateUseGlyphs) {
    struct { uint8_t b; char32_t u; } cases[] = {
        {0x61, 0x03B1}, {0x41, 0x0391}, {0xA3, 0x2264}, {0xAE, 0x2192}, {0xB4, 0x00D7},
        {0xB6, 0x2202}, {0xB9, 0x2260}, {0xBF, 0x21B5}, {0xD5, 0x220F}, {0xE1, 0x2329},
        {0xE5, 0x2211}, {0xEF, 0x23AA}, {0xF1, 0x232A}, {0xF2, 0x222B}, {0xFE, 0x23AD},
        {0x20, 0x0020}, {0x7F, 0}, {0x80, 0}, {0xF0, 0}, {0xFF, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.b);
        EXPECT_EQ(symbolToUnicode(c.b), c.u);
    }
    EXPECT_EQ(symbolGlyphCodePoint(0xB6), 0xF0B6u);
    EXPECT_EQ(symbolToUtf8("a\xFF"), "\xCE\xB1?");
}

TEST(TextTables, ShiftJisInJapaneseMode) {
    // "日本" in CP932 is 93 FA 96 7B.
    EXPECT_EQ(sjisToUtf8("\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC");
    std::size_t replaced = 0;
    EXPECT_EQ(utf8ToSjis("\xE6\x97\xA5\xE6\x9C\xAC", &replaced), "\x93\xFA\x96\x7B");
    EXPECT_EQ(replaced, 0u);
    EXPECT_EQ(utf8ToSjis("a\xF0\x9F\x98\x80" "b", &replaced), "a?b");
    EXPECT_EQ(replaced, 1u);

    setJapaneseTextMode(true);
    EXPECT_EQ(programTextToUtf8("\x93\xFA"), "\xE6\x97\xA5");
    setJapaneseTextMode(false);
    EXPECT_EQ(programTextToUtf8("\xE9"), "\xC3\xA9");
}

}  // namespace
