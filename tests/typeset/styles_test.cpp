// Identifier styles and the AFM folder setting.

#include <gtest/gtest.h>

#include <string>

#include "dag_build.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

namespace {

class Styles : public ::testing::Test {
protected:
    void SetUp() override {
        screen = CharCellDevice;
        screen.kind = 0;   // a device of another kind than the character cell
        ctx = typeset_context_new(&screen);
        cell = typeset_context_new(nullptr);
    }
    void TearDown() override {
        typeset_context_free(ctx);
        typeset_context_free(cell);
    }
    TypesetDevice screen{};
    TypesetContext* ctx = nullptr;
    TypesetContext* cell = nullptr;
};

TEST_F(Styles, Lookups) {
    struct Row { const char* name; int which; int result; const char* text; int style; };
    const Row rows[] = {
        {"alpha", 2, 0, "a", STYLE_SYMBOL},
        {"alpha1", 2, 0, "a1", STYLE_SYMBOL},
        {"_alpha", 2, 0, "_a", STYLE_SYMBOL},
        {"alpha~", 2, 0, "a~", STYLE_SYMBOL},
        {"Zeta", 2, 0, "z", STYLE_SYMBOL},
        {"ZETA", 2, 0, "Z", STYLE_SYMBOL},
        {"GAMMA", 1, 0, "G", STYLE_SYMBOL},
        {"sin", 1, 0, "sin", STYLE_ROMAN},
        {"infinity", 2, 0, "\xA5", STYLE_SYMBOL},
        {"%??", 2, 0, "?", STYLE_BOLD},
        {"%?", 2, 0, "?", STYLE_ROMAN},
        {"INTERFACE_PLOT", 2, 0, "PLOT", STYLE_ROMAN},
        {"INTERFACE_PLOT3D", 1, 0, "PLOT3D", STYLE_ROMAN},
        {"nothing", 2, -1, nullptr, 0},
        {"12", 2, -1, nullptr, 0},
    };
    for (const Row& r : rows) {
        const char* text = nullptr;
        int style = -1;
        EXPECT_EQ(identifier_style_lookup(ctx, r.name, r.which, &text, &style), r.result) << r.name;
        if (r.result == 0) {
            EXPECT_STREQ(text, r.text) << r.name;
            EXPECT_EQ(style, r.style) << r.name;
        }
    }
}

TEST_F(Styles, CharacterCellKeepsSpellingsExceptFixedEntries) {
    const char* text = nullptr;
    int style = -1;
    EXPECT_EQ(identifier_style_lookup(cell, "alpha", 2, &text, &style), -1);
    EXPECT_EQ(identifier_style_lookup(cell, "INTERFACE_PLOT", 2, &text, &style), 0);
    EXPECT_STREQ(text, "PLOT");
}

TEST_F(Styles, LongNamesAreNeverLookedUp) {
    std::string name(65, 'a');
    ASSERT_EQ(style_line_parse((name + " bold X").c_str()), 0);
    const char* text = nullptr;
    int style = -1;
    EXPECT_EQ(identifier_style_lookup(ctx, name.c_str(), 2, &text, &style), -1);
}

TEST_F(Styles, QualifiersSetOneSide) {
    ASSERT_EQ(style_line_parse("qq,fn NORM"), 0);
    const char* text = nullptr;
    int style = -1;
    EXPECT_EQ(identifier_style_lookup(ctx, "qq", 1, &text, &style), 0);
    EXPECT_EQ(style, STYLE_ROMAN);
    EXPECT_EQ(identifier_style_lookup(ctx, "qq", 2, &text, &style), -1);
    ASSERT_EQ(style_line_parse("qq,var ITAL \\\\x\\101"), 0);
    EXPECT_EQ(identifier_style_lookup(ctx, "qq", 1, &text, &style), 0);
    EXPECT_EQ(style, STYLE_ROMAN);
    EXPECT_EQ(identifier_style_lookup(ctx, "qq", 2, &text, &style), 0);
    EXPECT_EQ(style, STYLE_ITALIC);
    EXPECT_STREQ(text, "\\xA");
}

TEST(StyleLines, MalformedLines) {
    struct Row { const char* line; int result; };
    const Row rows[] = {
        {"# comment", 0}, {"   ", 0}, {"", 0}, {"name", -1}, {"name,xx bold", -1},
        {"name frob", -1}, {"name bold", 0},
    };
    for (const Row& r : rows) EXPECT_EQ(style_line_parse(r.line), r.result) << r.line;
    EXPECT_EQ(IdentifierStyleTable::loadBuiltin(), 0) << "a second load is clean";
}

TEST(Afm, DirectoryIsCutTo511) {
    std::string longPath(600, 'd');
    set_afm_directory(longPath.c_str());
    EXPECT_EQ(std::string(afm_directory()), std::string(511, 'd'));
    set_afm_directory("/usr/share/kelvo/afm");
    EXPECT_STREQ(afm_directory(), "/usr/share/kelvo/afm");
}

}  // namespace
