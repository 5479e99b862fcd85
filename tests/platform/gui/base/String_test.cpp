// String: digits test with the optional minus, number parsing, case folding, trimming.
#include "platform/gui/base/String.h"

#include <climits>

#include <gtest/gtest.h>

#include "platform/gui/base/Link.h"

namespace {

struct DigitsCase { const char* in; bool digits; long value; };

TEST(String, IsAllDigitsAndToLong) {
    const DigitsCase cases[] = {
        {"0", true, 0}, {"123", true, 123}, {"-45", true, -45}, {"", false, 0}, {"-", false, 0},
        {"--1", false, 0}, {"+12", false, 12}, {"12a", false, 12}, {" 12", false, 12},
        {"1-2", false, 1}, {"99999999999999999999", true, LONG_MAX},
        {"-99999999999999999999", true, LONG_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        String s(c.in);
        EXPECT_EQ(s.isAllDigits(), c.digits);
        EXPECT_EQ(s.toLong(), c.value);
    }
}

TEST(String, KeepsEveryByteAndFoldsOnlyAscii) {
    String s(std::string("a\0\xE9Z", 4));
    EXPECT_EQ(s.len(), 4u);
    EXPECT_EQ(s[2], 0xE9);
    EXPECT_EQ(s.upper(), String(std::string("A\0\xE9Z", 4)));
    EXPECT_EQ(s.lower(), String(std::string("a\0\xE9z", 4)));
    EXPECT_TRUE(String("Options").equalsIgnoreCase("oPTIONS"));
    EXPECT_FALSE(String("Option").equalsIgnoreCase("Options"));
    EXPECT_EQ(String(" \t x y \t").trimmed(), String("x y"));
    EXPECT_EQ(String("abc").copy(1), String("bc"));
    EXPECT_EQ(String("abc").copy(5), String());
    EXPECT_EQ(String("abcabc").search("ca"), 2u);
}

struct Counter {
    int hits = 0;
    long onEvent(void* p) { ++hits; return p ? 7 : 3; }
};

TEST(Link, CopiesCallTheSameHandlerAndEmptyLinksAnswerZero) {
    Counter c;
    Link a(&c, &Counter::onEvent);
    Link saved = a;  // copied aside before it is replaced
    a = Link([](void*) { return 42L; });
    EXPECT_EQ(saved(&c), 7);
    EXPECT_EQ(saved(nullptr), 3);
    EXPECT_EQ(c.hits, 2);
    EXPECT_EQ(a(nullptr), 42);
    Link empty;
    EXPECT_FALSE(empty.isSet());
    EXPECT_EQ(empty(nullptr), 0);
}

}  // namespace
