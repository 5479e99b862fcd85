// Tests of multibyte boundaries, path names and the Japanese line-breaking tables.
#include "platform/os/mbtext.h"

#include "platform/os/sysprobe.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MbTextTest : public ::testing::Test {
protected:
    void SetUp() override { sys_set_japanese(true); }
    void TearDown() override { sys_reset_japanese(); }
};

// "a", two-byte 0x82 0xA0, "b", two-byte 0x88 0x5C (trail byte is a backslash).
const char kText[] = "a\x82\xA0" "b\x88\x5C";
const int kLength = 6;

TEST_F(MbTextTest, LeadByteRanges)
{
    struct Case {
        unsigned char byte;
        bool lead;
    };
    const Case cases[] = {
        {0x00, false}, {0x41, false}, {0x80, false}, {0x81, true},  {0x9F, true},
        {0xA0, false}, {0xA1, false}, {0xDF, false}, {0xE0, true},  {0xFC, true},
        {0xFD, false}, {0xFF, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        EXPECT_EQ(mb_is_lead_byte(c.byte), c.lead);
    }
    sys_set_japanese(false);
    for (const Case& c : cases)
        EXPECT_FALSE(mb_is_lead_byte(c.byte)) << static_cast<int>(c.byte);
}

TEST_F(MbTextTest, AlignTable)
{
    struct Case {
        const char* name;
        int position;
        bool toStart;
        int expected;
    };
    const Case cases[] = {
        {"single byte", 0, true, 0},
        {"lead byte", 1, false, 1},
        {"trail byte back", 2, true, 1},
        {"trail byte forward", 2, false, 3},
        {"trail that looks like a backslash, back", 5, true, 4},
        {"trail that looks like a backslash, forward", 5, false, 6},
        {"at the length", 6, false, 6},
        {"past the length", 9, true, 6},
        {"negative", -1, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(mb_align(kText, c.position, kLength, c.toStart), c.expected);
    }
}

TEST_F(MbTextTest, AlignWithoutJapaneseModeKeepsEveryPosition)
{
    sys_set_japanese(false);
    for (int i = 0; i <= kLength; ++i) {
        EXPECT_EQ(mb_align(kText, i, kLength, true), i);
        EXPECT_EQ(mb_align(kText, i, kLength, false), i);
    }
}

TEST_F(MbTextTest, StepsAndLengths)
{
    EXPECT_EQ(mb_char_length(kText, 0), 1);
    EXPECT_EQ(mb_char_length(kText, 1), 2);
    EXPECT_EQ(mb_char_length(kText, 4), 2);
    EXPECT_EQ(mb_next(kText, 0), 1);
    EXPECT_EQ(mb_next(kText, 1), 3);
    EXPECT_EQ(mb_next(kText, 4), 6);
    EXPECT_EQ(mb_prev(kText, 6), 4);
    EXPECT_EQ(mb_prev(kText, 4), 3);
    EXPECT_EQ(mb_prev(kText, 3), 1);
    EXPECT_EQ(mb_prev(kText, 1), 0);
    EXPECT_EQ(mb_prev(kText, 0), -1);
}

TEST_F(MbTextTest, LeadByteBeforeTheEndIsOneCharacter)
{
    const char cut[] = "ab\x82";
    EXPECT_EQ(mb_char_length(cut, 2), 1);
    EXPECT_EQ(mb_next(cut, 2), 3);
    EXPECT_EQ(mb_align(cut, 2, 3, false), 2);
    EXPECT_STREQ(path_file_name("dir\\x\x82"), "x\x82");
}

TEST_F(MbTextTest, PathFileName)
{
    struct Case {
        const char* name;
        const char* path;
        bool japanese;
        const char* expected;
    };
    const Case cases[] = {
        {"backslash then slash", "c:\\work\\sub/file.kws", false, "file.kws"},
        {"slash then backslash", "a/b\\c.kws", false, "c.kws"},
        {"no separator", "file.kws", false, "file.kws"},
        {"trailing separator", "dir/", false, ""},
        {"empty", "", false, ""},
        {"trail byte 0x5C is no separator", "d\\\x88\x5Cname", true, "\x88\x5Cname"},
        {"same bytes without Japanese mode", "d\\\x88\x5Cname", false, "name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sys_set_japanese(c.japanese);
        EXPECT_STREQ(path_file_name(c.path), c.expected);
    }
    const char path[] = "x/y";
    EXPECT_EQ(path_file_name(path), path + 2);
    EXPECT_EQ(path_file_name(nullptr), nullptr);
}

TEST_F(MbTextTest, LineBreakTables)
{
    struct Case {
        const char* name;
        const char* text;
        bool mayStart;
        bool mayEnd;
    };
    const Case cases[] = {
        {"full-width closing parenthesis", "\x81\x6A", false, true},
        {"full-width opening parenthesis", "\x81\x69", true, false},
        {"ideographic full stop", "\x81\x42", false, true},
        {"hiragana a", "\x82\xA0", false, true},
        {"katakana ke", "\x83\x50", false, true},
        {"closing tortoise shell", "\x81\x6C", false, true},
        {"opening corner bracket", "\x81\x75", true, false},
        {"postal mark", "\x81\xA7", true, false},
        {"section sign", "\x81\x98", true, false},
        {"kanji (not listed)", "\x88\x9F", true, true},
        {"comma", ",", false, true},
        {"closing brace", "}", false, true},
        {"half-width full stop", "\xA1", false, true},
        {"half-width voicing mark", "\xDF", false, true},
        {"half-width opening corner bracket", "\xA2", true, false},
        {"dollar", "$", true, false},
        {"backslash", "\\", true, false},
        {"opening parenthesis", "(", true, false},
        {"letter", "a", true, true},
        {"lead byte at the end", "\x81", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(jp_may_start_line(c.text, 0), c.mayStart);
        EXPECT_EQ(jp_may_end_line(c.text, 0), c.mayEnd);
    }
}

TEST_F(MbTextTest, LineBreakAtAPositionInsideText)
{
    // "x" + full-width closing parenthesis + "y"
    const char text[] = "x\x81\x6Ay";
    EXPECT_TRUE(jp_may_start_line(text, 0));
    EXPECT_FALSE(jp_may_start_line(text, 1));
    EXPECT_TRUE(jp_may_start_line(text, 3));
}

}  // namespace
