// The AFM reader: the Debian font files, a complete small fixture, and malformed files.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "typeset/devices/afm.h"
#include "typeset/typeset.h"
#include "tests/support/named_rows.h"

namespace {

const std::string kAfmDir = std::string(KELVO_BINARY_DIR) + "/share/afm";
const std::string kData = std::string(KELVO_TEST_DATA) + "/typeset/devices";

int parse_file(const std::string& path, int flags, std::unique_ptr<AfmFontInfo>* out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return 99;
    }
    int rc = afm_parse_file(f, out, flags);
    std::fclose(f);
    return rc;
}

int parse_text(const std::string& text, int flags, std::unique_ptr<AfmFontInfo>* out) {
    std::FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    if (!f) {
        ADD_FAILURE() << "fmemopen failed";
        return 99;
    }
    int rc = afm_parse_file(f, out, flags);
    std::fclose(f);
    return rc;
}

TEST(AfmKeywords, EveryKeywordIsFoundAndOthersAreNot) {
    for (int i = 0; i < afm_keyword_count(); ++i) EXPECT_EQ(afm_keyword_index(afm_keyword(i)), i) << afm_keyword(i);
    for (const char* w : {"", "A", "Cc", "KPY", "Zzz", "comment", "WXX", "XHeightx"})
        EXPECT_EQ(afm_keyword_index(w), -1) << w;
}

// ---- the Debian files, linked into the build tree's AFM folder ----------------------------

struct DebianFont {
    const char* file;
    int chars, kernPairs, composites;
    int bbox[4];
};

const DebianFont kFonts[] = {
    {"tmr.afm", 228, 283, 58, {-168, -218, 1000, 898}},
    {"tmi.afm", 228, 283, 58, {-169, -217, 1010, 883}},
    {"tmb.afm", 228, 283, 58, {-168, -218, 1000, 935}},
    {"sym.afm", 189, 0, 0, {-180, -293, 1090, 1010}},
};

TEST(AfmDebianFiles, ReadWithWidthsAndWithEverySection) {
    for (const DebianFont& font : kFonts) {
        SCOPED_TRACE(font.file);
        std::string path = kAfmDir + "/" + font.file;
        std::unique_ptr<AfmFontInfo> w, all;
        ASSERT_EQ(parse_file(path, AFM_GLOBAL | AFM_WIDTHS, &w), 0);
        ASSERT_TRUE(w->global);
        EXPECT_EQ(w->widths.size(), 256u);
        EXPECT_TRUE(w->charMetrics.empty());
        EXPECT_TRUE(w->kernPairs.empty());
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(w->global->fontBBox[i], font.bbox[i]);
        }

        ASSERT_EQ(parse_file(path, AFM_ALL, &all), 0);
        EXPECT_EQ(int(all->charMetrics.size()), font.chars);
        EXPECT_EQ(all->charCount, font.chars);
        EXPECT_EQ(int(all->kernPairs.size()), font.kernPairs);
        EXPECT_EQ(int(all->composites.size()), font.composites);
        EXPECT_TRUE(all->widths.empty());   // character metrics replace the width arrays
        // The character records agree with the width array of the other reading.
        for (const AfmCharMetrics& c : all->charMetrics) {
            if (c.code >= 0 && c.code < 256) {
                EXPECT_EQ(c.wx, w->widths[std::size_t(c.code)]) << c.name;
            }
        }
        for (const AfmComposite& c : all->composites) {
            EXPECT_EQ(int(c.pieces.size()), c.pieceCount) << c.name;
        }
    }
}

TEST(AfmDebianFiles, TimesRomanAndSymbolValues) {
    std::unique_ptr<AfmFontInfo> tmr, sym;
    ASSERT_EQ(parse_file(kAfmDir + "/tmr.afm", AFM_GLOBAL | AFM_WIDTHS, &tmr), 0);
    ASSERT_EQ(parse_file(kAfmDir + "/sym.afm", AFM_GLOBAL | AFM_WIDTHS, &sym), 0);
    const AfmGlobalInfo& g = *tmr->global;
    EXPECT_EQ(g.fontName, "Times-Roman");
    EXPECT_EQ(g.fullName, "Times Roman");
    EXPECT_EQ(g.xHeight, 450);
    EXPECT_EQ(g.underlinePosition, -100);
    EXPECT_EQ(g.underlineThickness, 50);
    EXPECT_EQ(g.isFixedPitch, 0);
    EXPECT_EQ(tmr->widths['x'], 500);
    EXPECT_EQ(tmr->widths[' '], 250);
    EXPECT_EQ(sym->global->xHeight, 0);   // the Symbol font has none
    EXPECT_EQ(sym->widths[97], 631);
}

TEST(AfmOpen, ReadsFromTheAfmFolderAndRefusesWhatIsMissing) {
    std::string saved = afm_directory();
    EXPECT_EQ(saved, kAfmDir);   // the build tree's folder until start-up names another
    std::unique_ptr<AfmFontInfo> m = afm_open("tmr.afm");
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->global);
    EXPECT_EQ(m->widths.size(), 256u);
    EXPECT_TRUE(m->charMetrics.empty());   // flags 1 + 2 only
    afm_release(m.get());
    EXPECT_FALSE(afm_open("missing.afm"));
    set_afm_directory(kData.c_str());
    EXPECT_TRUE(afm_open("small.afm"));
    EXPECT_FALSE(afm_open("README"));   // not an AFM file: a negative result drops the record
    set_afm_directory(saved.c_str());
}

// ---- the complete fixture ---------------------------------------------------------------------

TEST(AfmSmallFixture, EverySectionIsStoredAsWritten) {
    std::unique_ptr<AfmFontInfo> a;
    ASSERT_EQ(parse_file(kData + "/small.afm", AFM_ALL, &a), 0);
    const AfmGlobalInfo& g = *a->global;
    EXPECT_EQ(g.afmVersion, "4.1");
    EXPECT_EQ(g.fullName, "Small Roman Regular");
    EXPECT_EQ(g.familyName, "Small");
    EXPECT_EQ(g.notice, "Free to use: a test fixture.");
    EXPECT_DOUBLE_EQ(g.italicAngle, -12.5);
    EXPECT_EQ(g.isFixedPitch, 1);
    EXPECT_EQ(g.capHeight, 700);
    EXPECT_EQ(g.ascender, 720);
    EXPECT_EQ(g.descender, -210);
    ASSERT_EQ(a->charMetrics.size(), 4u);
    const AfmCharMetrics& f = a->charMetrics[1];
    EXPECT_EQ(f.code, 102);
    EXPECT_EQ(f.name, "f");
    EXPECT_EQ(f.bbox[2], 383);
    ASSERT_EQ(f.ligatures.size(), 2u);
    EXPECT_EQ(f.ligatures[0].successor, "i");
    EXPECT_EQ(f.ligatures[0].ligature, "fi");
    EXPECT_EQ(f.ligatures[1].ligature, "fl");
    EXPECT_EQ(a->charMetrics[3].code, -1);
    ASSERT_EQ(a->trackKerns.size(), 1u);
    EXPECT_EQ(a->trackKerns[0].degree, -1);
    EXPECT_DOUBLE_EQ(a->trackKerns[0].maxKern, -1.25);
    ASSERT_EQ(a->kernPairs.size(), 2u);
    EXPECT_EQ(a->kernPairs[0].xAmount, -20);
    EXPECT_EQ(a->kernPairs[0].yAmount, 0);
    EXPECT_EQ(a->kernPairs[1].yAmount, 5);
    ASSERT_EQ(a->composites.size(), 1u);
    ASSERT_EQ(a->composites[0].pieces.size(), 2u);
    EXPECT_EQ(a->composites[0].pieces[1].name, "acute");
    EXPECT_EQ(a->composites[0].pieces[1].dy, 204);

    // Widths: the unencoded character (C -1) stores nothing; left bounds from B.
    std::unique_ptr<AfmFontInfo> w;
    ASSERT_EQ(parse_file(kData + "/small.afm", AFM_WIDTHS, &w), 0);
    EXPECT_FALSE(w->global);
    EXPECT_EQ(w->widths[102], 333);
    EXPECT_EQ(w->leftBounds[102], 20);
    int stored = 0;
    for (int v : w->widths) stored += v != 0;
    EXPECT_EQ(stored, 3);   // 32, 102, 105; nothing for the unencoded 556
    // Flags 1 + 2 scan the kerning sections without storing them.
    EXPECT_TRUE(w->kernPairs.empty());
    EXPECT_TRUE(w->composites.empty());
    EXPECT_EQ(w->kernPairCount, 2);
}

// ---- malformed and edge files ------------------------------------------------------------------

const std::string kHead = "StartFontMetrics 2.0\nFontName T\nFontBBox 0 -100 500 700\nXHeight 400\n";

std::string chars(const std::string& body, int count) {
    return "StartCharMetrics " + std::to_string(count) + "\n" + body + "EndCharMetrics\n";
}

using kelvo_test::PrintTo;

struct AfmCase {
    const char* name;
    std::string text;
    int flags;
    int expected;
    std::function<void(const AfmFontInfo&)> check;
};

const AfmCase kCases[] = {
    {"global section ended by EndFontMetrics", kHead + "EndFontMetrics\n", AFM_GLOBAL | AFM_WIDTHS, 0,
     [](const AfmFontInfo& a) {
         EXPECT_TRUE(a.widths.empty());
         EXPECT_EQ(a.global->xHeight, 400);
     }},
    {"unknown words of the global section are ignored",
     kHead + "CharacterSet Special\nMetricsSets 0\n" + chars("C 65 ; WX 600 ;\n", 1) + "EndFontMetrics\n",
     AFM_GLOBAL | AFM_WIDTHS, 0, [](const AfmFontInfo& a) { EXPECT_EQ(a.widths[65], 600); }},
    {"IsFixedPitch true gives 1", kHead + "IsFixedPitch true\nEndFontMetrics\n", AFM_GLOBAL, 0,
     [](const AfmFontInfo& a) { EXPECT_EQ(a.global->isFixedPitch, 1); }},
    {"a colon is a token of its own", kHead + "Weight :Bold\nEndFontMetrics\n", AFM_GLOBAL, 0,
     [](const AfmFontInfo& a) { EXPECT_EQ(a.global->weight, ":"); }},
    {"a file cut inside the character metrics", kHead + "StartCharMetrics 3\nC 32 ; WX 250 ;\nC 33 ; W",
     AFM_GLOBAL | AFM_WIDTHS, -2, [](const AfmFontInfo& a) { EXPECT_EQ(a.widths[32], 250); }},
    {"a file cut in the global section", kHead + "FontName", AFM_GLOBAL | AFM_WIDTHS, -2, nullptr},
    {"WX and B before any C store nothing", kHead + chars("WX 700 ; B 5 0 1 1 ;\nC 66 ; WX 10 ;\n", 1),
     AFM_WIDTHS, 0,
     [](const AfmFontInfo& a) {
         int stored = 0;
         for (int v : a.widths) stored += v != 0;
         for (int v : a.leftBounds) stored += v != 0;
         EXPECT_EQ(stored, 1);
         EXPECT_EQ(a.widths[66], 10);
     }},
    {"codes above 255 store nothing", kHead + chars("C 300 ; WX 700 ;\n", 1), AFM_WIDTHS, 0,
     [](const AfmFontInfo& a) {
         for (int v : a.widths) EXPECT_EQ(v, 0);
     }},
    {"W in the width section is a parse error", kHead + chars("C 65 ; W 600 0 ;\n", 1), AFM_WIDTHS, -1,
     [](const AfmFontInfo& a) { EXPECT_EQ(a.widths[65], 0); }},
    {"a negative character count allocates nothing", kHead + chars("C 65 ; WX 600 ;\n", -5),
     AFM_CHARMETRICS, -1, [](const AfmFontInfo& a) { EXPECT_TRUE(a.charMetrics.empty()); }},
    {"a count larger than the file could hold allocates nothing",
     kHead + chars("C 65 ; WX 600 ;\n", 999999999), AFM_CHARMETRICS, -1,
     [](const AfmFontInfo& a) {
         EXPECT_TRUE(a.charMetrics.empty());
         EXPECT_EQ(a.charCount, 0);
     }},
    {"a huge kern pair count allocates nothing",
     kHead + chars("", 0) + "StartKernPairs 2000000000\nKPX a b 1\nEndKernPairs\nEndFontMetrics\n", AFM_KERNPAIRS,
     -1, [](const AfmFontInfo& a) { EXPECT_TRUE(a.kernPairs.empty()); }},
    {"more characters than announced", kHead + chars("C 65 ; WX 1 ;\nC 66 ; WX 2 ;\n", 1), AFM_CHARMETRICS, -1,
     [](const AfmFontInfo& a) { EXPECT_EQ(a.charMetrics.size(), 1u); }},
    {"fewer characters than announced", kHead + chars("C 65 ; WX 1 ;\n", 2), AFM_CHARMETRICS, -1,
     [](const AfmFontInfo& a) { EXPECT_EQ(a.charMetrics.size(), 1u); }},
    {"fewer kern pairs than announced",
     kHead + chars("", 0) + "StartKernPairs 3\nKPX a b 1\nEndKernPairs\nEndFontMetrics\n", AFM_KERNPAIRS, -1,
     [](const AfmFontInfo& a) { EXPECT_EQ(a.kernPairs.size(), 1u); }},
    {"a composite with too few pieces",
     kHead + chars("", 0) + "StartComposites 2\nCC A 2 ; PCC x 0 0 ;\nCC B 1 ; PCC y 1 1 ;\nEndComposites\n",
     AFM_COMPOSITES, -1, [](const AfmFontInfo& a) { ASSERT_EQ(a.composites.size(), 2u); }},
    {"a composite with too many pieces",
     kHead + chars("", 0) + "StartComposites 1\nCC A 1 ; PCC x 0 0 ; PCC y 0 0 ;\nEndComposites\n",
     AFM_COMPOSITES, -1,
     [](const AfmFontInfo& a) {
         ASSERT_EQ(a.composites.size(), 1u);
         EXPECT_EQ(a.composites[0].pieces.size(), 1u);
     }},
    {"a file cut inside the kern pairs", kHead + chars("", 0) + "StartKernPairs 2\nKPX a b 1\n", AFM_KERNPAIRS,
     -2, nullptr},
    {"an over-long token is skipped", kHead + std::string(5000, 'A') + "\nCapHeight 650\nEndFontMetrics\n",
     AFM_GLOBAL, -1, [](const AfmFontInfo& a) { EXPECT_EQ(a.global->capHeight, 650); }},
    {"an over-long rest of line is skipped",
     kHead + "Notice " + std::string(5000, 'n') + "\nCapHeight 650\nEndFontMetrics\n", AFM_GLOBAL, -1,
     [](const AfmFontInfo& a) {
         EXPECT_TRUE(a.global->notice.empty());
         EXPECT_EQ(a.global->capHeight, 650);
     }},
    {"a token of 4095 bytes fits the buffer",
     kHead + "FontName " + std::string(4095, 'F') + "\nEndFontMetrics\n", AFM_GLOBAL, 0,
     [](const AfmFontInfo& a) { EXPECT_EQ(a.global->fontName.size(), 4095u); }},
    {"an integer out of range", kHead + "CapHeight 99999999999\nEndFontMetrics\n", AFM_GLOBAL, -1,
     [](const AfmFontInfo& a) { EXPECT_EQ(a.global->capHeight, 0); }},
    {"a float out of range", kHead + "ItalicAngle 1e999\nEndFontMetrics\n", AFM_GLOBAL, -1, nullptr},
    {"a number that is no number", kHead + "CapHeight twelve\nEndFontMetrics\n", AFM_GLOBAL, -1, nullptr},
    {"a keyword out of place", kHead + "KPX a b 1\nEndFontMetrics\n", AFM_GLOBAL, -1, nullptr},
    {"an unknown word after the character metrics", kHead + chars("", 0) + "Bogus\nEndFontMetrics\n",
     AFM_ALL, -1, nullptr},
    {"an early end wins over a parse error",
     kHead + "CapHeight x\nStartCharMetrics 1\nC 65 ;", AFM_ALL, -2, nullptr},
};

class AfmCaseTest : public ::testing::TestWithParam<AfmCase> {};

TEST_P(AfmCaseTest, ResultAndRecord) {
    const AfmCase& c = GetParam();
    std::unique_ptr<AfmFontInfo> a;
    EXPECT_EQ(parse_text(c.text, c.flags, &a), c.expected);
    ASSERT_TRUE(a);   // the record is handed out with every result
    if ((c.flags & AFM_GLOBAL) && c.check) {
        ASSERT_TRUE(a->global);
    }
    if (c.check) c.check(*a);
}

INSTANTIATE_TEST_SUITE_P(Files, AfmCaseTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<AfmCase>& info) {
                             std::string n;
                             for (const char* p = info.param.name; *p; ++p)
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

}  // namespace
