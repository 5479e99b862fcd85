// Tests of the construct matcher: token sequences with the hints they give (clause order,
// mismatches with their further sentences, one hint per reset), the implied do, the stack's
// growth and the small token and column helpers.
#include "tools/vetlin/matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/console/osl.h"
#include "tools/vetlin/tokens.h"

namespace vetlin_test {
namespace {

class MatcherTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        matcher_reset();
        matcher_message().clear();
    }
    static std::string feed(const std::vector<int>& tokens) {
        for (int t : tokens) matcher_feed(t);
        return matcher_message();
    }
};

struct Row {
    const char* name;
    std::vector<int> tokens;
    std::string message;
    int depth;
};

TEST_F(MatcherTest, SequencesAndTheirHints) {
    const Row rows[] = {
        {"loop clauses in any order", {TOK_FOR, TOK_TO, TOK_BY, TOK_FROM, TOK_WHILE, TOK_DO, TOK_OD}, "", 0},
        {"while before from", {TOK_FOR, TOK_WHILE, TOK_FROM, TOK_DO, TOK_OD}, "", 0},
        {"a loop without for", {TOK_FROM, TOK_TO, TOK_DO, TOK_OD}, "", 0},
        {"for in", {TOK_FOR, TOK_IN, TOK_DO, TOK_OD}, "", 0},
        {"nested constructs",
         {TOK_PROC, TOK_IF, TOK_THEN, TOK_LPAREN, TOK_RPAREN, TOK_ELIF, TOK_ELSE, TOK_LBRACKET,
          TOK_LBRACE, TOK_RBRACE, TOK_RBRACKET, TOK_FI, TOK_END},
         "", 0},
        {"from after do", {TOK_FOR, TOK_TO, TOK_DO, TOK_FROM},
         "Syntax error: The from clause should come before the do clause\n", 1},
        {"while after do", {TOK_DO, TOK_WHILE},
         "Syntax error: The while clause should come before the do clause\n", 1},
        {"for after to", {TOK_TO, TOK_FOR},
         "Syntax error: The for clause should come before the to clause\n", 1},
        {"in after while", {TOK_FOR, TOK_WHILE, TOK_IN},
         "Syntax error: The in clause should come before the while clause\n", 1},
        {"a stray fi after a complete if", {TOK_IF, TOK_THEN, TOK_FI, TOK_FI},
         "Syntax error\n"
         "A \"fi\" was found without a previous matching \"if\" or \"then\".\n"
         "There may have been a misplaced \"fi\" earlier.\n",
         0},
        {"end while a do is open", {TOK_FOR, TOK_DO, TOK_END},
         "Syntax error\n"
         "An \"end\" was found without a previous matching \"proc\".\n"
         "An \"od\" may be needed to close the previous \"do\" construct.\n",
         1},
        {"both further sentences", {TOK_IF, TOK_THEN, TOK_FI, TOK_DO, TOK_ELSE},
         "Syntax error\n"
         "An \"else\" was found without a previous matching \"if\" or \"then\".\n"
         "There may have been a misplaced \"fi\" earlier\n"
         "or an \"od\" may be needed to close the previous \"do\" construct.\n",
         1},
        {"a closing parenthesis alone", {TOK_RPAREN},
         "Syntax error\nA \")\" was found without a previous matching \"(\".\n", 0},
        {"then without if", {TOK_LBRACKET, TOK_THEN},
         "Syntax error\n"
         "A \"then\" was found without a previous matching \"if\".\n"
         "A \"]\" may be needed to close the previous \"[\" construct.\n",
         1},
        {"od inside a procedure", {TOK_PROC, TOK_OD},
         "Syntax error\n"
         "An \"od\" was found without a previous matching \"do\".\n"
         "An \"end\" may be needed to close the previous \"proc\" construct.\n",
         1},
        {"one hint per reset", {TOK_RPAREN, TOK_FI, TOK_DO, TOK_FROM},
         "Syntax error\nA \")\" was found without a previous matching \"(\".\n", 1},
    };
    for (const Row& row : rows) {
        matcher_reset();
        matcher_message().clear();
        EXPECT_EQ(feed(row.tokens), row.message) << row.name;
        EXPECT_EQ(matcher_depth(), row.depth) << row.name;
    }
}

TEST_F(MatcherTest, ResetSwitchesHintsOnAgain) {
    EXPECT_EQ(feed({TOK_RPAREN}), "Syntax error\nA \")\" was found without a previous matching \"(\".\n");
    EXPECT_FALSE(matcher_hints_on());
    matcher_message().clear();
    EXPECT_EQ(feed({TOK_RBRACKET}), "");
    matcher_reset();
    EXPECT_TRUE(matcher_hints_on());
    // The reset forgot the earlier ")": no misplaced sentence.
    EXPECT_EQ(feed({TOK_RPAREN}), "Syntax error\nA \")\" was found without a previous matching \"(\".\n");
}

TEST_F(MatcherTest, ImpliedDoIsFedOnce) {
    matcher_feed(TOK_FOR);
    matcher_implicit_do();
    EXPECT_EQ(matcher_top(), TOK_DO);
    matcher_implicit_do();
    EXPECT_EQ(matcher_depth(), 1);
    matcher_feed(TOK_OD);
    EXPECT_EQ(matcher_depth(), 0);
    matcher_feed(TOK_DO);                  // feeding do re-arms the implied do
    matcher_implicit_do();
    EXPECT_EQ(matcher_depth(), 2);
    EXPECT_EQ(matcher_message(), "");
}

TEST_F(MatcherTest, StackGrowsAndHintsStopWhenItCannot) {
    for (int i = 0; i < 500; ++i) matcher_feed(TOK_LPAREN);
    EXPECT_EQ(matcher_depth(), 500);
    for (int i = 0; i < 500; ++i) matcher_feed(TOK_RPAREN);
    EXPECT_EQ(matcher_depth(), 0);
    EXPECT_EQ(matcher_message(), "");
    matcher_release();
    matcher_reset();
    os_alloc_fail_after(1);
    for (int i = 0; i < 60; ++i) matcher_feed(TOK_LPAREN);
    os_alloc_fail_after(-1);
    EXPECT_EQ(matcher_depth(), 50);
    EXPECT_FALSE(matcher_hints_on());
    EXPECT_EQ(feed({TOK_FI}), "");
}

TEST_F(MatcherTest, TokenTestsAndColumns) {
    for (int t : {TOK_BY, TOK_DO, TOK_FOR, TOK_FROM, TOK_TO, TOK_WHILE}) EXPECT_TRUE(matcher_is_loop_clause(t));
    for (int t : {TOK_IN, TOK_OD, TOK_IF}) EXPECT_FALSE(matcher_is_loop_clause(t));
    for (int t : {TOK_DO, TOK_ELIF, TOK_ELSE, TOK_END, TOK_FI, TOK_IF, TOK_OD, TOK_PROC}) EXPECT_TRUE(matcher_is_block(t));
    for (int t : {TOK_THEN, TOK_FOR, TOK_LPAREN}) EXPECT_FALSE(matcher_is_block(t));
    for (char c : std::string("()[]{}")) EXPECT_TRUE(matcher_is_bracket(c));
    EXPECT_FALSE(matcher_is_bracket('<'));
    EXPECT_EQ(matcher_column("abc", 0), 1);
    EXPECT_EQ(matcher_column("abc", 2), 3);
    EXPECT_EQ(matcher_column("a\tb", 2), 9);
    EXPECT_EQ(matcher_column("\t\tb", 2), 17);
    EXPECT_EQ(matcher_column("12345678\tx", 9), 17);
    EXPECT_EQ(matcher_column("ab", 10), 3);      // never past the line
}

TEST_F(MatcherTest, IndentationDiagnostics) {
    matcher_indentation_problem(TOK_OD, {TOK_DO, 4, 12, TOK_IF, 8, 13, 99});
    EXPECT_EQ(output(),
              "Indentation problem: symbol is od\n"
              "Indent stack height = 2 + 1/3\n"
              "  0         do    4  12\n"
              "  3         if    8  13\n");
}

}  // namespace
}  // namespace vetlin_test
