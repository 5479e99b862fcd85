// Tests of the growable string: growth rule, editing, searching, multibyte alignment.
#include "util/KString.h"

#include "platform/os/sysprobe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Switches the Japanese mode on for one test and restores the locale's choice afterwards.
class JapaneseMode {
public:
    explicit JapaneseMode(bool on) { sys_set_japanese(on); }
    ~JapaneseMode() { sys_reset_japanese(); }
};

void expectInvariant(const KString& s)
{
    ASSERT_NE(s.text(), nullptr);
    EXPECT_GT(s.capacity(), s.length());
    EXPECT_EQ(s.text()[s.length()], '\0');
}

TEST(KStringTest, DefaultIsEmptyWithCapacity16)
{
    KString s;
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.capacity(), 16);
    EXPECT_EQ(s.growthStep(), 16);
    EXPECT_STREQ(s.text(), "");
}

TEST(KStringTest, GrowthSequenceBySixteenThenDoubling)
{
    KString s;
    std::vector<int> capacities{s.capacity()};
    for (int i = 0; i < 200; ++i) {
        s.appendChar('x');
        expectInvariant(s);
        if (s.capacity() != capacities.back())
            capacities.push_back(s.capacity());
    }
    const std::vector<int> expected{16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 336};
    EXPECT_EQ(capacities, expected);
    EXPECT_EQ(s.length(), 200);
    EXPECT_EQ(std::string(s.text()), std::string(200, 'x'));
}

TEST(KStringTest, GrowthPastSeveralStepsAtOnce)
{
    // A 1000-byte append from 16 steps to 160, then doubles: 336, 688, 1392.
    KString s;
    s.append(std::string(1000, 'a').c_str());
    EXPECT_EQ(s.length(), 1000);
    EXPECT_EQ(s.capacity(), 1392);
    expectInvariant(s);
}

TEST(KStringTest, ConstructorsAndAssignments)
{
    struct Case {
        const char* name;
        KString value;
        const char* expected;
    };
    const Case cases[] = {
        {"null text", KString(nullptr), ""},
        {"c string", KString("abc"), "abc"},
        {"first n", KString("abcdef", 3), "abc"},
        {"n zero is whole", KString("abcdef", 0), "abcdef"},
        {"n past the text stops at its end", KString("ab", 10), "ab"},
        {"null with n", KString(nullptr, 4), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(c.value.text(), c.expected);
        EXPECT_EQ(c.value.length(), static_cast<int>(std::string(c.expected).size()));
        expectInvariant(c.value);
    }

    KString s("hello");
    KString copy(s);
    s.appendChar('!');
    EXPECT_STREQ(copy.text(), "hello");
    copy = s;
    EXPECT_STREQ(copy.text(), "hello!");
    copy = copy;
    EXPECT_STREQ(copy.text(), "hello!");
    copy.assignChar('z');
    EXPECT_STREQ(copy.text(), "z");
    copy.assign(nullptr);
    EXPECT_STREQ(copy.text(), "");
    const int capacityBefore = s.capacity();
    EXPECT_STREQ(s.clear(), "");
    EXPECT_EQ(s.capacity(), capacityBefore);
}

TEST(KStringTest, EqualityAndMatching)
{
    struct Case {
        const char* name;
        const char* a;
        const char* b;
        bool equal;
        bool matchesIgnoringCase;
    };
    const Case cases[] = {
        {"same", "abc", "abc", true, true},
        {"case differs", "ABC", "abc", false, true},
        {"length differs", "abc", "abcd", false, false},
        {"prefix", "ab", "abc", false, false},
        {"both empty", "", "", true, true},
        {"different letters", "abd", "abc", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KString a(c.a), b(c.b);
        EXPECT_EQ(a.equals(c.b), c.equal);
        EXPECT_EQ(a.equalsString(b), c.equal);
        EXPECT_EQ(a.matches(b, false), c.equal);
        EXPECT_EQ(a.matches(b, true), c.matchesIgnoringCase);
    }
    EXPECT_TRUE(KString().equals(nullptr));
}

TEST(KStringTest, EqualsComparesEmbeddedNulByLength)
{
    KString s;
    s.appendN("a\0b", 3);
    EXPECT_EQ(s.length(), 3);
    EXPECT_FALSE(s.equals("a"));
    KString t;
    t.appendN("a\0c", 3);
    EXPECT_FALSE(s.equalsString(t));
}

TEST(KStringTest, Appends)
{
    KString s("x=");
    s.appendInt(-42);
    s.appendChar(';');
    s.append(" y");
    s.append(nullptr);
    s.appendN("=1234", 2);
    s.appendN("ignored", 0);
    s.appendN("ignored", -3);
    s.appendString(KString("!"));
    EXPECT_STREQ(s.text(), "x=-42; y=1!");
    s.appendInt(-2147483647 - 1);
    EXPECT_STREQ(s.text(), "x=-42; y=1!-2147483648");
    expectInvariant(s);
}

TEST(KStringTest, AppendOfOwnTextSurvivesReallocation)
{
    KString s("0123456789abcde");   // 15 bytes: the next append reallocates
    s.appendN(s.text(), s.length());
    EXPECT_STREQ(s.text(), "0123456789abcde0123456789abcde");
    s.appendString(s);
    EXPECT_EQ(s.length(), 60);
    s.insertString(1, s);
    EXPECT_EQ(s.length(), 120);
    expectInvariant(s);
}

TEST(KStringTest, GapsAndInserts)
{
    struct Case {
        const char* name;
        const char* start;
        int position;
        const char* inserted;
        const char* expected;
    };
    const Case cases[] = {
        {"front", "world", 0, "hello ", "hello world"},
        {"middle", "held", 2, "l", "helld"},
        {"end", "ab", 2, "cd", "abcd"},
        {"past the end is the end", "ab", 9, "c", "abc"},
        {"negative is the front", "ab", -4, "c", "cab"},
        {"empty insert", "ab", 1, "", "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KString s(c.start);
        s.insert(c.position, c.inserted);
        EXPECT_STREQ(s.text(), c.expected);
        expectInvariant(s);
        KString t(c.start);
        t.insertString(c.position, KString(c.inserted));
        EXPECT_STREQ(t.text(), c.expected);
    }

    KString s("ad");
    s.openGap(1, 2);
    EXPECT_EQ(s.length(), 4);
    *s.charAt(1) = 'b';
    *s.charAt(2) = 'c';
    EXPECT_STREQ(s.text(), "abcd");
    s.insertChar(4, 'e');
    s.insertChar(0, '>');
    EXPECT_STREQ(s.text(), ">abcde");
}

TEST(KStringTest, EraseRangeSingleByte)
{
    struct Case {
        const char* name;
        int first;
        int last;
        int removed;
        const char* expected;
    };
    const Case cases[] = {
        {"one byte", 2, 2, 1, "abdef"},
        {"inclusive range", 1, 3, 3, "aef"},
        {"whole", 0, 5, 6, ""},
        {"last clamped", 4, 99, 2, "abcd"},
        {"first negative", -5, 0, 1, "bcdef"},
        {"first after last", 3, 2, 0, "abcdef"},
        {"first past the end", 6, 8, 0, "abcdef"},
        {"last negative", -3, -1, 0, "abcdef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KString s("abcdef");
        EXPECT_EQ(s.eraseRange(c.first, c.last), c.removed);
        EXPECT_STREQ(s.text(), c.expected);
        expectInvariant(s);
    }
}

// "a" + two-byte character (0x82 0xA0) + "b" + two-byte character (0x88 0x5C, trail is '\')
const char kJapanese[] = "a\x82\xA0" "b\x88\x5C";

TEST(KStringTest, EraseRangeInsideDoubleByteCharacterRemovesWholeCharacter)
{
    JapaneseMode mode(true);
    struct Case {
        const char* name;
        int first;
        int last;
        int removed;
        const char* expected;
    };
    const Case cases[] = {
        {"both ends on the trail byte", 2, 2, 2, "ab\x88\x5C"},
        {"both ends on the lead byte", 1, 1, 2, "ab\x88\x5C"},
        {"lead to trail", 1, 2, 2, "ab\x88\x5C"},
        {"range ends on a trail byte", 0, 5, 6, ""},
        {"range starts on a trail byte", 2, 3, 3, "a\x88\x5C"},
        {"last character", 5, 5, 2, "a\x82\xA0" "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KString s(kJapanese);
        EXPECT_EQ(s.eraseRange(c.first, c.last), c.removed);
        EXPECT_STREQ(s.text(), c.expected);
    }
}

TEST(KStringTest, EraseRangeWithoutJapaneseModeIsBytewise)
{
    JapaneseMode mode(false);
    KString s(kJapanese);
    EXPECT_EQ(s.eraseRange(2, 2), 1);
    EXPECT_STREQ(s.text(), "a\x82" "b\x88\x5C");
}

TEST(KStringTest, SubstringAndAlignment)
{
    JapaneseMode mode(true);
    KString s(kJapanese);
    EXPECT_STREQ(s.substring(2, 2).text(), "\x82\xA0");
    EXPECT_STREQ(s.substring(0, 3).text(), "a\x82\xA0" "b");
    EXPECT_STREQ(s.substring(3, 100).text(), "b\x88\x5C");
    EXPECT_STREQ(s.substring(4, 2).text(), "");
    EXPECT_STREQ(s.substring(9, 12).text(), "");

    struct Case {
        int position;
        bool toStart;
        int expected;
    };
    const Case cases[] = {
        {0, true, 0}, {1, true, 1}, {2, true, 1}, {2, false, 3},
        {5, true, 4}, {5, false, 6}, {6, true, 6}, {-2, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        int position = c.position;
        EXPECT_EQ(s.alignToChar(position, c.toStart), c.expected);
        EXPECT_EQ(position, c.expected);
    }
}

TEST(KStringTest, FindCharForwardAndBackward)
{
    const KString s("a,b,c");
    struct Case {
        const char* name;
        char c;
        int position;
        int forward;
        int backward;
    };
    const Case cases[] = {
        {"from start", ',', 0, 1, -1},
        {"on a hit", ',', 3, 3, 3},
        {"between hits", ',', 2, 3, 1},
        {"absent", 'z', 0, -1, -1},
        {"NUL finds the length", '\0', 0, 5, -1},
        {"position at the length", '\0', 5, 5, 5},
        {"position past the length", ',', 6, -1, 3},
        {"negative position", 'a', -1, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s.findChar(c.c, c.position), c.forward);
        EXPECT_EQ(s.findCharBackward(c.c, c.position), c.backward);
    }
}

TEST(KStringTest, FindClosingSkipsNestedPairs)
{
    struct Case {
        const char* name;
        const char* text;
        int position;
        char open;
        char close;
        int expected;
    };
    const Case cases[] = {
        {"nested pair skipped", "a(b(c)d)e", 2, '(', ')', 7},
        {"from the outer open", "a(b(c)d)e", 1, '(', ')', -1},
        {"inner pair", "a(b(c)d)e", 4, '(', ')', 5},
        {"deep nesting", "x{{{}}}}", 1, '{', '}', 7},
        {"unbalanced", "(a(b)", 1, '(', ')', -1},
        {"close at the position", ")", 0, '(', ')', 0},
        {"past the end", "a)", 5, '(', ')', -1},
        {"brackets", "[a[b]]", 1, '[', ']', 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KString(c.text).findClosing(c.position, c.open, c.close), c.expected);
    }
}

TEST(KStringTest, FindClosingOnDeepNestingDoesNotRecurse)
{
    std::string text(100000, '(');
    text += std::string(100000, ')');
    text += ")";
    EXPECT_EQ(KString(text.c_str()).findClosing(0, '(', ')'), 200000);
}

TEST(KStringTest, EscapeChar)
{
    struct Case {
        const char* name;
        const char* text;
        char c;
        char prefix;
        int count;
        const char* expected;
    };
    const Case cases[] = {
        {"two quotes", "say \"hi\"", '"', '\\', 2, "say \\\"hi\\\""},
        {"none", "plain", '"', '\\', 0, "plain"},
        {"escape the prefix itself once", "a\\b\\", '\\', '\\', 2, "a\\\\b\\\\"},
        {"adjacent", "{{", '{', '\\', 2, "\\{\\{"},
        {"empty", "", '"', '\\', 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KString s(c.text);
        EXPECT_EQ(s.escapeChar(c.c, c.prefix), c.count);
        EXPECT_STREQ(s.text(), c.expected);
        expectInvariant(s);
    }
}

}  // namespace
