// Tests of the numbered-name builder.
#include "util/KNameMaker.h"

#include <gtest/gtest.h>

namespace {

TEST(KNameMakerTest, MakeTable)
{
    struct Case {
        const char* name;
        const char* prefix;
        const char* suffix;
        int maxLength;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"prefix cut, suffix not counted", "plot", ".gif", 6, "123", "plo123.gif"},
        {"fits exactly", "plot", ".gif", 7, "123", "plot123.gif"},
        {"no limit", "plot", ".gif", 0, "123456789", "plot123456789.gif"},
        {"negative limit is no limit", "ab", "", -1, "cd", "abcd"},
        {"empty prefix, long text cut", "", ".htm", 4, "worksheet", "work.htm"},
        {"prefix gone entirely", "plot", ".gif", 3, "12345", "123.gif"},
        {"running number", "sec", "", 0, nullptr, "sec0"},
        {"running number with cut", "section", "", 4, nullptr, "sec0"},
        {"empty everything", "", "", 0, "", ""},
        {"null prefix and suffix", nullptr, nullptr, 0, "x", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KNameMaker maker;
        maker.set(c.prefix, c.suffix, c.maxLength);
        KString out("old contents");
        maker.make(out, c.text);
        EXPECT_STREQ(out.text(), c.expected);
    }
}

TEST(KNameMakerTest, NextCountsOnlyWithoutText)
{
    KNameMaker maker;
    maker.set("plot", ".gif", 0);
    KString out;
    maker.next(out, nullptr);
    EXPECT_STREQ(out.text(), "plot1.gif");
    maker.next(out, nullptr);
    EXPECT_STREQ(out.text(), "plot2.gif");
    maker.next(out, "x");
    EXPECT_STREQ(out.text(), "plotx.gif");
    EXPECT_EQ(maker.number(), 2);
    maker.make(out, nullptr);
    EXPECT_STREQ(out.text(), "plot2.gif");
    maker.reset();
    maker.next(out, nullptr);
    EXPECT_STREQ(out.text(), "plot1.gif");
}

TEST(KNameMakerTest, NumberGrowingPastLimitKeepsDigitsFirst)
{
    KNameMaker maker;
    maker.set("img", ".gif", 4);
    KString out;
    const char* expected[] = {"img1.gif", "im10.gif", "1000.gif", "1000.gif"};
    const int numbers[] = {1, 10, 1000, 10000};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(numbers[i]);
        maker.reset();
        for (int n = 0; n < numbers[i]; ++n)
            maker.next(out, nullptr);
        EXPECT_STREQ(out.text(), expected[i]);
    }
}

}  // namespace
