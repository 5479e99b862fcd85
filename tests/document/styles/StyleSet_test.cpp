// Tests of style sets: the default set, resolution and its cache, storing, removing, loops,
// the style table record, the fragment merge and style edits.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "tests/document/document_env.h"

namespace {

struct RecordingOwner : StyleSetOwner {
    int kind = 1;
    std::vector<std::tuple<bool, int, int>> replaced;
    int paraNotices = 0;
    int documentKind() const override { return kind; }
    void paraStyleChanged(int) override { ++paraNotices; }
    void replaceStyleIndex(bool character, int from, int to) override {
        replaced.emplace_back(character, from, to);
    }
};

std::string styleTableText(const StyleSet& set, bool usedOnly, bool withBuiltIns) {
    KWorksheetWriter w;
    set.writeStyleTable(w, usedOnly, withBuiltIns);
    return w.getBuffer();
}

void expectSameStyles(const StyleSet& a, const StyleSet& b) {
    int n = std::max(a.charTableSize(), b.charTableSize());
    for (int i = 0; i < n; ++i) {
        const CharStyle* x = a.charStyle(i);
        const CharStyle* y = b.charStyle(i);
        ASSERT_EQ(x == nullptr, y == nullptr) << "char " << i;
        if (x) {
            EXPECT_TRUE(x->equals(*y)) << "char " << i;
            EXPECT_EQ(x->basedOn, y->basedOn) << "char " << i;
        }
    }
    n = std::max(a.paraTableSize(), b.paraTableSize());
    for (int i = 0; i < n; ++i) {
        const ParaStyle* x = a.paraStyle(i);
        const ParaStyle* y = b.paraStyle(i);
        ASSERT_EQ(x == nullptr, y == nullptr) << "para " << i;
        if (x) {
            EXPECT_TRUE(x->equals(*y)) << "para " << i;
            EXPECT_EQ(x->basedOn, y->basedOn) << "para " << i;
        }
    }
}

TEST(StyleSet, DefaultSetHasFixedIndices) {
    StyleSet set;
    EXPECT_EQ(0, set.findParaStyle("Normal"));
    EXPECT_EQ(20, set.findParaStyle("Heading 4"));
    EXPECT_EQ(0, set.findCharStyle("Kelvo Input"));
    EXPECT_EQ(32, set.findCharStyle("LaTeX"));
    EXPECT_EQ(nullptr, set.charStyle(12));
    EXPECT_EQ(nullptr, set.paraStyle(1));
    EXPECT_EQ(-1, set.findCharStyle("kelvo input"));
}

struct ResolveCase {
    const char* name;
    int c, p, o;
    const char* font;
    int size, bold, italic, underline, red, green, blue, colourKind;
};

TEST(StyleSet, EffectiveCharacterStyles) {
    const ResolveCase rows[] = {
        {"normal_text", -1, 0, -1, "Times New Roman", 12, 2, 2, 2, 0, 0, 0, 5},
        {"one_step_up_math", 7, 0, -1, "Times New Roman", 8, 2, 2, 2, 0, 0, 0, 5},
        {"input", 0, 0, -1, "Courier New", 12, 1, 2, 2, 255, 0, 0, 0},
        {"input_in_heading", 0, 3, -1, "Courier New", 18, 1, 2, 2, 255, 0, 0, 0},
        {"heading_2_inherits_bold", -1, 4, -1, "Times New Roman", 14, 1, 2, 2, 0, 0, 0, 5},
        {"heading_3_italic", -1, 5, -1, "Times New Roman", 12, 1, 1, 2, 0, 0, 0, 5},
        {"error_output", -1, 8, -1, "Courier New", 10, 2, 2, 2, 255, 0, 255, 0},
        {"symbol_two_down", 6, 0, -1, "Symbol", 21, 2, 2, 2, 0, 0, 0, 5},
        {"override_wins", 2, 0, 22, "Times New Roman", 12, 1, 2, 2, 0, 0, 0, 5},
        {"override_colour_over_input", 0, 0, 20, "Times New Roman", 12, 1, 2, 2, 0, 0, 255, 0},
        {"missing_style", 200, 0, -1, "Times New Roman", 12, 2, 2, 2, 0, 0, 0, 5},
        {"no_paragraph", 22, -1, -1, "Times New Roman", 12, 1, 2, 2, 0, 0, 0, 5},
        {"title", -1, 18, -1, "Times New Roman", 18, 1, 2, 1, 0, 0, 0, 5},
    };
    StyleSet set;
    for (const ResolveCase& r : rows) {
        const CharStyle& s = set.effectiveCharStyle(r.c, r.p, r.o);
        ASSERT_TRUE(s.fontName) << r.name;
        EXPECT_EQ(r.font, *s.fontName) << r.name;
        EXPECT_EQ(1, s.sizeMode) << r.name;
        EXPECT_EQ(r.size, s.size) << r.name;
        EXPECT_EQ(r.bold, s.bold) << r.name;
        EXPECT_EQ(r.italic, s.italic) << r.name;
        EXPECT_EQ(r.underline, s.underline) << r.name;
        EXPECT_EQ(r.red, s.color.red) << r.name;
        EXPECT_EQ(r.green, s.color.green) << r.name;
        EXPECT_EQ(r.blue, s.color.blue) << r.name;
        EXPECT_EQ(r.colourKind, s.colourKind) << r.name;
    }
}

TEST(StyleSet, ResolvedParagraphStyles) {
    StyleSet set;
    const ParaStyle& h2 = set.resolvedParaStyle(4);
    EXPECT_EQ("Heading 2", *h2.name);
    EXPECT_EQ(1, h2.justification);
    EXPECT_EQ(0, h2.firstIndent);
    EXPECT_EQ(8, h2.preleading);
    EXPECT_EQ(2, h2.postleading);
    EXPECT_EQ(4, h2.index);
    const ParaStyle& unnamed = set.resolvedParaStyle(12);
    EXPECT_EQ("Kelvo Output", *unnamed.name);
    EXPECT_EQ(1, unnamed.justification);
    EXPECT_EQ(3, unnamed.spacing);
    const ParaStyle& none = set.resolvedParaStyle(-1);
    EXPECT_EQ("No Name", *none.name);
    EXPECT_EQ(14, set.resolvedParaStyle(14).nextStyle);
}

TEST(StyleSet, CacheAnswersSameObjectUntilInvalidated) {
    RecordingOwner owner;
    StyleSet set(&owner);
    const CharStyle* a = &set.effectiveCharStyle(3, 0, -1);
    EXPECT_EQ(a, &set.effectiveCharStyle(3, 0, -1));
    EXPECT_EQ(1, a->italic);
    set.charStyle(3)->italic = 2;
    set.invalidateCharCombination(3, 0, -1);
    EXPECT_EQ(2, set.effectiveCharStyle(3, 0, -1).italic);
    set.paraStyle(0)->charPart.bold = 1;
    set.invalidateResolvedParaStyle(0);
    EXPECT_EQ(1, set.effectiveCharStyle(-1, 0, -1).bold);
    EXPECT_EQ(1, set.effectiveCharStyle(3, 0, -1).bold);
    EXPECT_GT(owner.paraNotices, 0);
}

TEST(StyleSet, ResolutionSurvivesInjectedCycles) {
    StyleSet set;
    set.charStyle(3)->basedOn = 5;
    set.charStyle(5)->basedOn = 3;
    set.paraStyle(3)->basedOn = 4;   // 4 is based on 3
    const CharStyle& c = set.effectiveCharStyle(3, 3, -1);
    EXPECT_EQ(1, c.italic);
    EXPECT_EQ(1, c.bold);
    const ParaStyle& p = set.resolvedParaStyle(3);
    EXPECT_EQ(8, p.preleading);
    EXPECT_TRUE(set.wouldCharBaseLoop(7, 3));
}

TEST(StyleSet, StoringAndNaming) {
    StyleSet set;
    auto named = std::make_unique<CharStyle>(2);
    named->setName("Mine");
    named->bold = 1;
    CharStyle copy = *named;
    EXPECT_EQ(256, set.addCharStyle(std::move(named), -1));
    EXPECT_EQ(256, set.addCharStyle(std::make_unique<CharStyle>(copy), -1));
    EXPECT_EQ(nullptr, set.charStyle(257));
    EXPECT_EQ(-1, set.addCharStyleByName(std::make_unique<CharStyle>()));
    auto other = std::make_unique<CharStyle>(copy);
    other->italic = 1;
    EXPECT_EQ(256, set.addCharStyleByName(std::move(other)));   // same name replaces
    EXPECT_EQ(1, set.charStyle(256)->italic);
    auto second = std::make_unique<CharStyle>();
    second->setName("Second");
    EXPECT_EQ(257, set.addCharStyleByName(std::move(second)));
    EXPECT_EQ(-1, set.addCharStyle(std::make_unique<CharStyle>(), 40000));
    EXPECT_EQ(258, set.copyCharStyleForEdit(257, false));
    EXPECT_FALSE(set.charStyle(258)->name);
    EXPECT_EQ(258, set.copyCharStyleForEdit(258, false));
}

TEST(StyleSet, RemovingReplacesUsesAndRebases) {
    RecordingOwner owner;
    StyleSet set(&owner);
    auto s = std::make_unique<CharStyle>(2);
    s->bold = 1;
    ASSERT_EQ(260, set.addCharStyle(std::move(s), 260));
    auto t = std::make_unique<CharStyle>(260);
    ASSERT_EQ(261, set.addCharStyle(std::move(t), 261));
    EXPECT_TRUE(set.removeCharStyle(260));
    ASSERT_EQ(1u, owner.replaced.size());
    EXPECT_EQ(std::make_tuple(true, 260, 2), owner.replaced[0]);
    EXPECT_EQ(2, set.charStyle(261)->basedOn);
    EXPECT_EQ(nullptr, set.charStyle(260));
    set.removeParaStyle(11);   // based on 0; 12 is based on it
    EXPECT_EQ(std::make_tuple(false, 11, 0), owner.replaced[1]);
    EXPECT_EQ(0, set.paraStyle(12)->basedOn);
}

TEST(StyleSet, BaseLoops) {
    StyleSet set;
    struct Row {
        int index, base;
        bool loop;
    };
    const Row rows[] = {{3, 4, true}, {3, 18, false}, {3, 3, true}, {3, 20, true}, {20, 0, false},
                        {3, -1, false}, {3, 999, false}};
    for (const Row& r : rows)
        EXPECT_EQ(r.loop, set.wouldParaBaseLoop(r.index, r.base)) << r.index << "->" << r.base;
    EXPECT_TRUE(set.wouldCharBaseLoop(2, 11));
    EXPECT_FALSE(set.wouldCharBaseLoop(4, 5));
}

TEST(StyleSet, UsedOnlyTableWithoutUserStylesIsEmpty) {
    StyleSet set;
    set.clearUsedMarks();
    EXPECT_EQ("{USTYLETAB }\n", styleTableText(set, true, false));
}

TEST(StyleSet, DefaultSetWrittenAndReadBackEqual) {
    StyleSet original;
    std::string text = styleTableText(original, false, true);
    std::ifstream golden(dataPath("default_styles.kws"), std::ios::binary);
    std::string expected((std::istreambuf_iterator<char>(golden)), std::istreambuf_iterator<char>());
    EXPECT_EQ(expected, text);

    StyleSet damaged;
    damaged.charStyle(0)->bold = 2;
    damaged.removeCharStyle(17);
    damaged.paraStyle(18)->preleading = 1;
    TextReader t(text);
    EXPECT_TRUE(damaged.readStyleTable(t.reader));
    expectSameStyles(original, damaged);
    EXPECT_FALSE(damaged.readStyleTable(t.reader));
}

TEST(StyleSet, UserStyleTableRoundTrip) {
    StyleSet set;
    auto a = std::make_unique<CharStyle>(2);
    a->setName("A");
    a->bold = 1;
    set.addCharStyle(std::move(a), 256);
    auto b = std::make_unique<CharStyle>(256);
    b->italic = 1;
    set.addCharStyle(std::move(b), 257);
    auto p = std::make_unique<ParaStyle>(3);
    p->setName("P");
    set.addParaStyle(std::move(p), 256);
    set.clearUsedMarks();
    set.markCharStyleChainUsed(257);
    set.setParaStyleUsed(256, true);
    std::string text = styleTableText(set, true, false);

    StyleSet back;
    worksheetTagTable.resetReadState();
    TextReader t(text);
    EXPECT_TRUE(back.readUserStyleTable(t.reader));
    ASSERT_NE(nullptr, back.charStyle(257));
    EXPECT_EQ(256, back.charStyle(257)->basedOn);
    EXPECT_EQ("A", *back.charStyle(256)->name);
    EXPECT_EQ("P", *back.paraStyle(256)->name);
    EXPECT_EQ(1, back.effectiveCharStyle(257, 0, -1).bold);
}

TEST(StyleSet, StyleTableReadsRefuseCycles) {
    const std::string cstyle = " 0 0 0 0 0 0 0 1 0 0 0 0 0 0 0 }";
    struct Row {
        const char* name;
        std::string table;
    };
    const Row rows[] = {
        {"self", "{USTYLETAB {CSTYLE \"\" 256 256 \"\"" + cstyle + "}\n"},
        {"pair", "{USTYLETAB {CSTYLE \"\" 257 256 \"\"" + cstyle + "{CSTYLE \"\" 256 257 \"\"" + cstyle + "}\n"},
        {"builtin_self", "{USTYLETAB {CSTYLE \"\" 3 3 \"\"" + cstyle + "}\n"},
    };
    for (const Row& r : rows) {
        StyleSet set;
        worksheetTagTable.resetReadState();
        TextReader t(r.table);
        EXPECT_TRUE(set.readUserStyleTable(t.reader)) << r.name;
        for (int i = 0; i < set.charTableSize(); ++i)
            if (set.charStyle(i)) {
                EXPECT_FALSE(set.wouldCharBaseLoop(i, set.charStyle(i)->basedOn)) << r.name << " " << i;
            }
        EXPECT_EQ(2, set.effectiveCharStyle(256, 0, -1).italic) << r.name;
    }
}

TEST(StyleSet, DamagedTableKeepsWhatWasRead) {
    StyleSet set;
    worksheetTagTable.resetReadState();
    TextReader t("{USTYLETAB {CSTYLE \"Kept\" -1 256 \"\" 0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 } junk {CSTYLE \"Lost\" } } 5");
    EXPECT_TRUE(set.readUserStyleTable(t.reader));
    EXPECT_EQ(256, set.findCharStyle("Kept"));
    EXPECT_EQ(-1, set.findCharStyle("Lost"));
}

TEST(StyleSet, MergeRenumbersFragmentStyles) {
    StyleSet document;
    auto existing = std::make_unique<CharStyle>();
    existing->setName("Existing");
    document.addCharStyle(std::move(existing), 256);

    StyleSet fragment;
    auto s300 = std::make_unique<CharStyle>(2);
    s300->setName("F300");
    fragment.addCharStyle(std::move(s300), 300);
    auto s301 = std::make_unique<CharStyle>(300);
    s301->setName("F301");
    fragment.addCharStyle(std::move(s301), 301);
    auto s302 = std::make_unique<CharStyle>(303);   // based on a later style: keeps the number
    s302->setName("F302");
    fragment.addCharStyle(std::move(s302), 302);
    auto same = std::make_unique<CharStyle>();
    same->setName("Existing");
    fragment.addCharStyle(std::move(same), 310);

    document.mergeStyles(fragment);
    EXPECT_EQ(257, charStyleIndexMap.map(300));
    EXPECT_EQ(258, charStyleIndexMap.map(301));
    EXPECT_EQ(256, charStyleIndexMap.map(310));
    EXPECT_EQ(257, document.charStyle(258)->basedOn);
    EXPECT_EQ(303, document.charStyle(259)->basedOn);
    EXPECT_EQ(2, document.charStyle(257)->basedOn);
}

TEST(StyleSet, DescriptionTexts) {
    StyleSet set;
    std::string text;
    set.describeCharStyleText(3, text);
    EXPECT_EQ("Style \"2D Math\" + italic.", text);
    set.describeParaStyleText(0, text);
    EXPECT_EQ("No defined attributes.", text);
    set.describeCharStyleText(22, text);
    EXPECT_EQ("bold.", text);
}

TEST(StyleSet, ChangeCharacterStyleMakesPrivateStyle) {
    StyleSet set;
    int index = 2;
    CharStyle request;
    request.bold = 1;
    EXPECT_TRUE(set.changeCharStyle(index, 0, request, -1));
    EXPECT_EQ(256, index);
    EXPECT_EQ(2, set.charStyle(256)->basedOn);
    EXPECT_EQ(1, set.effectiveCharStyle(index, 0, -1).bold);
    EXPECT_FALSE(set.changeCharStyle(index, 0, request, -1));
    CharStyle back;
    back.bold = 2;
    EXPECT_TRUE(set.changeCharStyle(index, 0, back, -1));
    EXPECT_EQ(2, index);   // nothing left defined: back to the base
    EXPECT_EQ(nullptr, set.charStyle(256));
}

TEST(StyleSet, CharStyleForOldRegionCarriesParagraphAttributes) {
    StyleSet set;
    int c = set.charStyleForParaAndChar(3, 0);
    ASSERT_GE(c, 256);
    const CharStyle& s = set.effectiveCharStyle(c, 0, -1);
    EXPECT_EQ(18, s.size);
    EXPECT_EQ(1, s.bold);
}

TEST(StyleSet, ChangeParagraphStyle) {
    StyleSet set;
    int index = 0;
    ParaStyle request;
    request.justification = 3;
    request.preleading = 6;
    EXPECT_TRUE(set.changeParaStyle(index, request));
    EXPECT_EQ(256, index);
    EXPECT_EQ(3, set.resolvedParaStyle(index).justification);
    EXPECT_EQ(6, set.resolvedParaStyle(index).preleading);
    EXPECT_FALSE(set.changeParaStyle(index, request));
}

TEST(StyleSet, CopyConstructorIsDeep) {
    StyleSet a;
    StyleSet b(a);
    b.charStyle(0)->bold = 2;
    EXPECT_EQ(1, a.charStyle(0)->bold);
    expectSameStyles(a, StyleSet());
}

}  // namespace
