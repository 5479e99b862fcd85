// The scanner: tokens, escapes, numbers, digraphs, comments, quoting and reserved words.
#include <cstring>

#include "lang_test_util.h"
#include "tovu/scan.h"

namespace {

struct Text {
    std::string text;
    std::size_t at = 0;
};
Text source;
std::vector<std::string> messages;

int next(void*) {
    return source.at < source.text.size() ? static_cast<unsigned char>(source.text[source.at++]) : -1;
}
void onError(void*, int position, const char* m) { messages.push_back("E" + std::to_string(position) + ":" + m); }
void onWarning(void*, int position, const char* m) { messages.push_back("W" + std::to_string(position) + ":" + m); }
void onPremature(void*, int position) { messages.push_back("P" + std::to_string(position)); }

class ScanTest : public TovuTest {
protected:
    void start(const std::string& text) {
        source = Text{text, 0};
        messages.clear();
        scan.source = next;
        scan.errorPrinter = onError;
        scan.warningPrinter = onWarning;
        scan.prematureEnd = onPremature;
        scan.errorHook = nullptr;
        scan_reset(true);
    }
    // Every token up to the end, or until the scanner abandons the parse.
    std::vector<int> tokens() {
        std::vector<int> out;
        try {
            for (int t = scan_token(); t != LT_END; t = scan_token()) out.push_back(t);
        } catch (const LangParseAbort&) {
            out.push_back(-1);
        }
        return out;
    }
};

TEST_F(ScanTest, LeadingZerosCountAsDigits) {
    start("007");
    ASSERT_EQ(scan_token(), LT_INTEGER);
    EXPECT_EQ(arith_to_int(scan.tokenValue), 7);
    EXPECT_EQ(scan.digitCount, 3);
}

TEST_F(ScanTest, ZeroIsTheSharedConstant) {
    start("0 ");
    ASSERT_EQ(scan_token(), LT_INTEGER);
    EXPECT_EQ(scan.tokenValue, dag_zero);
}

TEST_F(ScanTest, DecimalPointIsNotPartOfTheNumber) {
    start("1.05");
    ASSERT_EQ(scan_token(), LT_INTEGER);
    EXPECT_EQ(arith_to_int(scan.tokenValue), 1);
    ASSERT_EQ(scan_token(), '.');
    ASSERT_EQ(scan_token(), LT_INTEGER);
    EXPECT_EQ(arith_to_int(scan.tokenValue), 5);
    EXPECT_EQ(scan.digitCount, 2);
    EXPECT_EQ(scan_token(), LT_END);
}

TEST_F(ScanTest, LongIntegersKeepEveryDigit) {
    start("123456789012345678901234567890");
    ASSERT_EQ(scan_token(), LT_INTEGER);
    EXPECT_EQ(dag_integer_to_text(scan.tokenValue), "123456789012345678901234567890");
    EXPECT_EQ(scan.digitCount, 30);
}

TEST_F(ScanTest, Exponents) {
    struct Row { const char* text; int exponent; } rows[] = {
        {"5e3", 3}, {"5E+12", 12}, {"5e-7", -7}, {"5e2147483647", 2147483647}};
    for (const Row& r : rows) {
        start(r.text);
        ASSERT_EQ(scan_token(), LT_INTEXP) << r.text;
        EXPECT_EQ(scan.exponent, r.exponent) << r.text;
    }
}

TEST_F(ScanTest, ExponentOfElevenNinesIsTooLarge) {
    start("1e99999999999");
    EXPECT_EQ(tokens(), std::vector<int>{-1});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "E12:exponent too large");
}

TEST_F(ScanTest, BackslashNewlineJoinsNames) {
    start("abc\\\ndef");
    ASSERT_EQ(scan_token(), LT_NAME);
    EXPECT_STREQ(dag_text(scan.tokenValue), "abcdef");
    EXPECT_EQ(scan_token(), LT_END);
}

TEST_F(ScanTest, DigraphsReadAsBrackets) {
    start("(* *) (| |)");
    EXPECT_EQ(tokens(), (std::vector<int>{'{', '}', '[', ']'}));
}

TEST_F(ScanTest, CommentOnlyLineGivesTheEnd) {
    start("   # nothing here ; x := 1\n");
    EXPECT_EQ(scan_token(), LT_END);
    EXPECT_TRUE(scan.atEnd);
}

TEST_F(ScanTest, DoubledDelimitersStandForOne) {
    start("`a``b` \"c\"\"d\"");
    ASSERT_EQ(scan_token(), LT_NAME);
    EXPECT_STREQ(dag_text(scan.tokenValue), "a`b");
    ASSERT_EQ(scan_token(), LT_STRING);
    EXPECT_STREQ(dag_text(scan.tokenValue), "c\"d");
    EXPECT_EQ(dag_type(scan.tokenValue), unsigned(DAG_STRING));
}

TEST_F(ScanTest, EscapesInsideStrings) {
    start("\"\\a\\t\\n\\\"\\`\\q\\\\\"");
    ASSERT_EQ(scan_token(), LT_STRING);
    EXPECT_STREQ(dag_text(scan.tokenValue), "\a\t\n\"`q\\");
}

TEST_F(ScanTest, SingleCharacterWordsAreNames) {
    for (const char* w : {"a", "d", "e", "f", "i", "o", "t", "w"}) {
        start(w);
        EXPECT_EQ(scan_token(), LT_NAME) << w;
    }
}

TEST_F(ScanTest, ReservedWordTable) {
    struct Row { const char* word; int token; } rows[] = {
        {"and", LT_AND}, {"by", LT_BY}, {"description", LT_DESCRIPTION}, {"do", LT_DO},
        {"done", LT_QUIT}, {"quit", LT_QUIT}, {"stop", LT_QUIT}, {"elif", LT_ELIF},
        {"else", LT_ELSE}, {"end", LT_END_WORD}, {"fi", LT_FI}, {"for", LT_FOR},
        {"from", LT_FROM}, {"global", LT_GLOBAL}, {"if", LT_IF}, {"in", LT_IN},
        {"intersect", LT_AT}, {"local", LT_LOCAL}, {"minus", LT_MINUS_UNION},
        {"union", LT_MINUS_UNION}, {"mod", LT_MOD}, {"not", LT_NOT}, {"od", LT_OD},
        {"option", LT_OPTION}, {"options", LT_OPTION}, {"or", LT_OR}, {"proc", LT_PROC},
        {"read", LT_READ}, {"save", LT_SAVE}, {"then", LT_THEN}, {"to", LT_TO},
        {"while", LT_WHILE}, {"While", LT_NAME}, {"ands", LT_NAME}, {"fin", LT_NAME}};
    for (const Row& r : rows) {
        start(r.word);
        EXPECT_EQ(scan_token(), r.token) << r.word;
    }
    for (int i = 0; i < LANG_KEYWORD_COUNT; ++i) EXPECT_EQ(lang_keyword_index(lang_keywords[i]), i);
    EXPECT_EQ(lang_keyword_index("x"), -1);
    for (const char* other : {"_do", "Do", "zz", "dox", "wh", "an", "intersects", "~do"})
        EXPECT_EQ(lang_keyword_index(other), -1) << other;
}

TEST_F(ScanTest, OperatorsAndSpecialNames) {
    struct Row { const char* text; int token; const char* value; } rows[] = {
        {":=", LT_ASSIGN, nullptr}, {"::", LT_DCOLON, "::"}, {"..", LT_RANGE, nullptr},
        {"....", LT_RANGE, nullptr}, {"&foo", LT_NEUTRAL, "&foo"}, {"&+-", LT_NEUTRAL, "&+-"},
        {"&*", LT_ANDSTAR, nullptr}, {"@@", LT_ATAT, "@@"}, {"@", LT_AT, "@"},
        {"<=", LT_LE, nullptr}, {"<>", LT_NE, nullptr}, {">=", LT_GE, nullptr},
        {"->", LT_ARROW, nullptr}, {"^", LT_POWER, nullptr}, {"**", LT_POWER, nullptr},
        {"%1", LT_LABEL, nullptr}, {"%", LT_NAME, "%"}, {"%%", LT_NAME, "%%"},
        {"%%%", LT_NAME, "%%%"}, {"%a_1?", LT_NAME, "%a_1?"}, {"~x$1", LT_NAME, "~x$1"},
        {"_a1", LT_NAME, "_a1"}, {"?", '?', nullptr}, {"\x01", LT_BADCHAR, nullptr}};
    for (const Row& r : rows) {
        start(r.text);
        EXPECT_EQ(scan_token(), r.token) << r.text;
        if (r.value != nullptr) {
            ASSERT_NE(scan.tokenValue, nullptr) << r.text;
            EXPECT_STREQ(dag_text(scan.tokenValue), r.value) << r.text;
        }
    }
}

TEST_F(ScanTest, LineEndInQuotesWarns) {
    struct Row { const char* text; const char* warning; } rows[] = {
        {"`ab\ncd`", "W4:incomplete quoted name;  use ` to end the name"},
        {"\"ab\ncd\"", "W4:incomplete string;  use \" to end the string"},
        {"\" ab\ncd\"", "W5:incomplete string;  use \" to end the string (note that the ditto "
                        "operator is now % instead of \")"}};
    for (const Row& r : rows) {
        start(r.text);
        EXPECT_NE(scan_token(), LT_END);
        ASSERT_EQ(messages.size(), 1u) << r.text;
        EXPECT_EQ(messages[0], r.warning);
    }
}

TEST_F(ScanTest, EndInsideQuotesIsPrematureEnd) {
    start("\"abc");
    EXPECT_EQ(tokens(), std::vector<int>{-1});
    EXPECT_EQ(messages, std::vector<std::string>{"P4"});
}

TEST_F(ScanTest, EscapedFormsOutsideQuotesAreErrors) {
    start("a \\n");
    EXPECT_EQ(tokens(), (std::vector<int>{LT_NAME, -1}));
    EXPECT_EQ(messages, std::vector<std::string>{"E4:syntax error, `\\` unexpected"});
}

TEST_F(ScanTest, PositionCountsEscapesWithTheirBackslash) {
    start("a\\\nb;");
    EXPECT_EQ(scan_token(), LT_NAME);   // reads the ';' as lookahead
    EXPECT_EQ(scan.position, 5);
    EXPECT_EQ(scan_consumed(), 4);
}

}  // namespace
