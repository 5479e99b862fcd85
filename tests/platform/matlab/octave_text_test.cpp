// Names, string literals and the marker scanner of the Octave engine.

#include "platform/matlab/octave_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NameRow {
    const char* name;
    bool ok;
};

TEST(OctaveText, IdentifiersOnly) {
    const std::string longest(63, 'a');
    const std::string tooLong(64, 'a');
    const NameRow rows[] = {
        {"x", true},      {"x_1", true},        {"A9b", true},  {longest.c_str(), true},  {tooLong.c_str(), false},
        {"", false},      {"1x", false},        {"_x", false},  {"a b", false},           {"x;system('touch p')", false},
        {"x'", false},    {"\xc3\xa9", false},  {"a-b", false}, {"a\n", false},
    };
    for (const NameRow& row : rows) EXPECT_EQ(mateng::is_identifier(row.name), row.ok) << '"' << row.name << '"';
    EXPECT_FALSE(mateng::is_identifier(nullptr));
}

struct LiteralRow {
    const char* name;
    std::string text;
    std::string literal;
};

TEST(OctaveText, StringLiteralQuotesAndControlBytes) {
    const LiteralRow rows[] = {
        {"empty", "", "['']"},
        {"plain", "disp(1)", "['' 'disp(1)']"},
        {"quotes doubled", "error('bad')", "['' 'error(''bad'')']"},
        {"line breaks", "a\nb", "['' 'a' char(10) 'b']"},
        {"control only", "\t\r", "['' char(9) char(13)]"},
        {"a literal cannot be ended early", "'); system('x", "['' '''); system(''x']"},
    };
    for (const LiteralRow& row : rows) EXPECT_EQ(mateng::string_literal(row.text), row.literal) << row.name;
}

const std::string kToken = "KLVMARKabc";

TEST(MarkerScanner, SplitsOutputFromMarkerAcrossChunks) {
    const std::string stream = "ans = 1\nmore" + kToken + "0\n";
    // Every split point of the stream into two reads gives the same result.
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        mateng::MarkerScanner scan(kToken, 100);
        bool done = scan.feed(stream.data(), cut);
        if (!done) done = scan.feed(stream.data() + cut, stream.size() - cut);
        ASSERT_TRUE(done) << cut;
        EXPECT_EQ(scan.status(), '0');
        EXPECT_EQ(scan.captured(), "ans = 1\nmore") << cut;
    }
}

TEST(MarkerScanner, TokenWithoutStatusAndNewlineIsOutput) {
    mateng::MarkerScanner scan(kToken, 100);
    std::string text = kToken + "xyz\n" + kToken + "1\n";
    EXPECT_TRUE(scan.feed(text.data(), text.size()));
    EXPECT_EQ(scan.status(), '1');
    EXPECT_EQ(scan.captured(), kToken + "xyz\n");
}

TEST(MarkerScanner, KeepsAtMostTheLimitOfAnyAmountOfOutput) {
    mateng::MarkerScanner scan(kToken, 5);
    std::string block(65536, 'y');
    for (int i = 0; i < 64; ++i) ASSERT_FALSE(scan.feed(block.data(), block.size()));
    std::string end = kToken + "0\n";
    EXPECT_TRUE(scan.feed(end.data(), end.size()));
    EXPECT_EQ(scan.captured(), "yyyyy");
}

}  // namespace
