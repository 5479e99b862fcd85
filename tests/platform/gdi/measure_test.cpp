// The measuring context: text metrics and extents on the fixed-metric source in several map modes.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/measure.h"

namespace {

LOGFONTA font(const char* face, int height, BYTE charset = ANSI_CHARSET, int weight = FW_NORMAL) {
    LOGFONTA f;
    std::strncpy(f.lfFaceName, face, LF_FACESIZE - 1);
    f.lfHeight = height;
    f.lfCharSet = charset;
    f.lfWeight = weight;
    return f;
}

TEST(GdiMeasure, UnitsPerInchOfTheMapModes) {
    struct Row {
        int mode, ppi, expected;
    };
    for (Row r : {Row{MM_TEXT, 96, 96}, Row{MM_TEXT, 120, 120}, Row{MM_LOMETRIC, 96, 254}, Row{MM_HIMETRIC, 96, 2540},
                  Row{MM_LOENGLISH, 96, 100}, Row{MM_HIENGLISH, 96, 1000}, Row{MM_TWIPS, 96, 1440}, Row{0, 96, 96}})
        EXPECT_EQ(gdi_units_per_inch(r.mode, r.ppi), r.expected) << r.mode;
}

TEST(GdiMeasure, TextMetricsScaleTheFaceToTheEmHeight) {
    struct Row {
        const char* name;
        LOGFONTA font;
        int ascent, descent, internalLeading, average;
    };
    const Row rows[] = {
        // 1000 units per em: ascent 900, descent 300, average 500.
        {"12 pt in twips", font("Times New Roman", -240), 216, 72, 48, 120},
        {"16 pixels", font("Times New Roman", -16), 14, 5, 3, 8},
        {"cell height 288 is an em of 240", font("Times New Roman", 288), 216, 72, 48, 120},
        {"Symbol: ascent 1000, descent 250", font("Symbol", -240, SYMBOL_CHARSET), 240, 60, 60, 120},
    };
    GdiMeasureDC dc;
    dc.mapMode = MM_TWIPS;
    for (const Row& r : rows) {
        TEXTMETRICA tm;
        ASSERT_TRUE(GetTextMetricsA(dc, r.font, &tm)) << r.name;
        EXPECT_EQ(tm.tmAscent, r.ascent) << r.name;
        EXPECT_EQ(tm.tmDescent, r.descent) << r.name;
        EXPECT_EQ(tm.tmInternalLeading, r.internalLeading) << r.name;
        EXPECT_EQ(tm.tmHeight, r.ascent + r.descent) << r.name;
        EXPECT_EQ(tm.tmAveCharWidth, r.average) << r.name;
    }
    TEXTMETRICA tm;
    EXPECT_FALSE(GetTextMetricsA(dc, font("Missing", -240), &tm));
    EXPECT_FALSE(GetTextMetricsA(dc, font("", -240), &tm));
}

TEST(GdiMeasure, ExtentsAddTheAdvancesOfARun) {
    GdiMeasureDC dc;
    dc.mapMode = MM_TWIPS;
    struct Row {
        const char* text;
        int weight, cx;
    };
    // At an em of 240: blank, "l", "i" 60; "M" 240; others 120; bold 10 % wider.
    for (Row r : {Row{"M", FW_NORMAL, 240}, Row{" ", FW_NORMAL, 60}, Row{"Mil x", FW_NORMAL, 240 + 60 + 60 + 60 + 120},
                  Row{"", FW_NORMAL, 0}, Row{"ab", 600, 264}}) {
        SIZE sz;
        ASSERT_TRUE(GetTextExtentPointA(dc, font("Times New Roman", -240, ANSI_CHARSET, r.weight), r.text,
                                        int(std::strlen(r.text)), &sz))
            << r.text;
        EXPECT_EQ(sz.cx, r.cx) << r.text;
        EXPECT_EQ(sz.cy, 288) << r.text;
    }
    SIZE sz;
    EXPECT_FALSE(GetTextExtentPointA(dc, font("Times New Roman", -240), "x", -1, &sz));
    EXPECT_FALSE(GetTextExtentPointA(dc, font("Missing", -240), "x", 1, &sz));
}

}  // namespace
