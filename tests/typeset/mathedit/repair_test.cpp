// The repairing math-input parser: exact repairs, where the added keywords stand, the token text
// and bytes of the whole cp1252 range passing both stages, and deep bracket nesting.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tovu/print.h"
#include "tovu/table.h"
#include "typeset/mathedit/repair.h"
#include "tests/support/named_rows.h"

namespace {

// Result of parse_with_repair as plain values; the repaired text is freed here.
struct Repair {
    bool parsed = false;
    bool repaired = false;
    std::string text;
    int position = -2;
    std::string printed;
};

Repair repair(const std::string& input) {
    Repair r;
    char* text = nullptr;
    Dag d = parse_with_repair(input.c_str(), &text, &r.position);
    r.parsed = d != nullptr;
    if (d) r.printed = print_to_text(d);
    if (text) {
        r.repaired = true;
        r.text = text;
        buffer_free(text);
    }
    return r;
}

using kelvo_test::PrintTo;

struct RepairCase {
    const char* name;
    const char* input;
    const char* expected;   // the repaired text
};

const RepairCase kRepairs[] = {
    {"missing_operand_gets_placeholder", "x+", "x+ %? "},
    {"unclosed_parenthesis_closed", "(a+b", "(a+b)"},
    {"unopened_parenthesis_opened", "a+b)", "(a+b)"},
    {"number_times_name", "2x", "2*x"},
    {"names_separated_by_blank", "a b", "a *b"},
    {"operators_without_operand_between", "a+*b", "a+ %? *b"},
    {"empty_arguments", "f(,)", "f( %? , %? )"},
    {"assignment_without_value", "x:=", "x := %? "},
    {"nested_brackets_closed_in_order", "f([a, (b", "f([a, (b)])"},
};

class Repairs : public ::testing::TestWithParam<RepairCase> {};

TEST_P(Repairs, RepairedTextIsExactAndParses) {
    const RepairCase& c = GetParam();
    Repair r = repair(c.input);
    EXPECT_TRUE(r.parsed) << c.input;
    EXPECT_TRUE(r.repaired);
    EXPECT_EQ(r.text, c.expected) << c.input;
    EXPECT_EQ(r.position, -1);
}

INSTANTIATE_TEST_SUITE_P(Table, Repairs, ::testing::ValuesIn(kRepairs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepairPosition, TextThatParsesIsNotRepairedAndReportsWhatWasConsumed) {
    struct Row { const char* input; int position; };
    const Row rows[] = {{"x+1", 3}, {"x+1;", 4}, {"a; b", 2}, {"f(x):", 5}};
    for (const Row& row : rows) {
        Repair r = repair(row.input);
        EXPECT_TRUE(r.parsed) << row.input;
        EXPECT_FALSE(r.repaired) << row.input;
        EXPECT_EQ(r.position, row.position) << row.input;
    }
    // Without out parameters nothing is handed back and nothing leaks.
    EXPECT_NE(parse_with_repair("x+", nullptr, nullptr), nullptr);
}

TEST(RepairPosition, TextThatFailsEvenRepairedGivesNull) {
    char* text = reinterpret_cast<char*>(1);
    int position = 7;
    EXPECT_EQ(parse_with_repair("x := := ;; )(", &text, &position), nullptr);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(position, -1);
}

TEST(RepairExponent, NumberInExponentNotationGetsNoTimes) {
    EXPECT_EQ(insert_operators("2e5"), "2e5");
    EXPECT_EQ(insert_operators("2E5+3x"), "2E5+3*x");
    EXPECT_EQ(insert_operators("2.5y"), "2.5*y");
}

// Where the added keywords stand: the repaired text parses, and the keyword is where it belongs.
TEST(RepairKeywords, MissingBlockKeywordsAreAddedWhereTheyBelong) {
    Repair r = repair("if x then y");
    ASSERT_TRUE(r.parsed);
    EXPECT_EQ(r.text.substr(r.text.size() - 2), "fi") << r.text;
    EXPECT_EQ(r.printed.find("if"), 0u) << r.printed;

    r = repair("x then y fi");
    ASSERT_TRUE(r.parsed);
    EXPECT_EQ(r.text.rfind("if", 0), 0u) << r.text;

    r = repair("for i to 3 do x");
    ASSERT_TRUE(r.parsed);
    EXPECT_EQ(r.text.substr(r.text.size() - 2), "od") << r.text;

    r = repair("proc x; x end");
    ASSERT_TRUE(r.parsed);
    std::string squeezed;
    for (char c : r.text)
        if (c != ' ') squeezed += c;
    EXPECT_EQ(squeezed, "proc(x);xend") << r.text;
}

TEST(RepairQuotes, BackquotedNamesPassBothStagesUntouched) {
    const std::string name = "`a(+[b*)' if`";
    EXPECT_EQ(balance("f(" + name), "f(" + name + ")");
    EXPECT_EQ(insert_operators(name + "  " + name), name + " *" + name);
    Repair r = repair("2 " + name);
    ASSERT_TRUE(r.parsed);
    EXPECT_EQ(r.text, "2 *" + name);
    EXPECT_EQ(r.printed, "2*" + name);
}

TEST(RepairQuotes, UnclosedBackquoteRunsToTheEndAndTheMarksStayOut) {
    EXPECT_EQ(detokenize(tokenize("a `b")), "a `b");
    EXPECT_EQ(detokenize(tokenize("`if x")), "`if x");
    EXPECT_EQ(insert_operators("2 `x"), "2 *`x");
}

TEST(RepairBalance, StopsAfterFiveCyclesWhenTheTextKeepsChanging) {
    // Each cycle adds another bracket pair before the unmatched "end".
    const std::string input = "end )";
    TokenText t = tokenize(input);
    std::vector<TokenText> after{t};
    for (int i = 0; i < 6; ++i) after.push_back(balance_cycle(after.back()));
    for (int i = 1; i <= 6; ++i) ASSERT_NE(after[i], after[i - 1]) << "cycle " << i;
    EXPECT_EQ(balance(input), detokenize(after[5]));
}

TEST(RepairTokens, KeywordsOnlyAtWordBoundaries) {
    TokenText t = tokenize("format ifx 2do x_or od");
    // None of "or", "if", "do" inside the names is a token; the "od" at the end is.
    int tokens = 0;
    for (RepairUnit u : t)
        if (u >= REPAIR_TOKEN_FIRST && u < REPAIR_START_MARK) ++tokens;
    EXPECT_EQ(tokens, 1);
    EXPECT_EQ(t.front(), REPAIR_START_MARK);
    EXPECT_EQ(t.back(), REPAIR_END_MARK);
    // Blank runs collapse; a leading blank goes; tokens get blanks around them.
    EXPECT_EQ(detokenize(tokenize("   a    b")), "a b");
    EXPECT_EQ(detokenize(tokenize("x:=y")), "x := y");
}

// ---- bytes of the whole range --------------------------------------------------------------------

TEST(RepairBytes, PoundSignInAStringIsKept) {
    const std::string input = "f(\"\xA3" "5\"";
    EXPECT_EQ(balance(input), input + ")");
}

// The input's bytes, in order, must be a subsequence of the output.
bool keeps_in_order(const std::string& input, const std::string& output) {
    std::size_t j = 0;
    for (char c : input) {
        if (c == ' ') continue;
        j = output.find(c, j);
        if (j == std::string::npos) return false;
        ++j;
    }
    return true;
}

TEST(RepairBytes, EveryHighByteComesBackUnchangedInsideAndOutsideStrings) {
    std::string high;
    for (int c = 128; c < 256; ++c) high += char(c);
    for (const std::string& input : {high, "\"" + high + "\"", "x+" + high + " y"}) {
        std::string balanced = balance(input);
        std::string inserted = insert_operators(input);
        EXPECT_TRUE(keeps_in_order(input, balanced));
        EXPECT_TRUE(keeps_in_order(input, inserted));
        std::string highOut;
        for (char c : balanced)
            if (static_cast<unsigned char>(c) >= 128) highOut += c;
        EXPECT_EQ(highOut, high);
        highOut.clear();
        for (char c : inserted)
            if (static_cast<unsigned char>(c) >= 128) highOut += c;
        EXPECT_EQ(highOut, high);
    }
}

TEST(RepairDepth, HundredThousandOpenBracketsAreBalanced) {
    std::string input(100000, '(');
    input += "x";
    std::string balanced = balance(input);
    EXPECT_EQ(balanced, input + std::string(100000, ')'));
    char* text = nullptr;
    Dag d = parse_with_repair(input.c_str(), &text, nullptr);
    // The language parser may refuse such depth; either way the text is handed back sound.
    if (d) {
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text), balanced);
    }
    if (text) buffer_free(text);
}

}  // namespace
