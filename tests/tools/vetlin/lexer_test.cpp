// Tests of the checker's input reader and lexer: the tokens of source texts with their values,
// line counting, continuations, escapes, long lines, names and texts, and the syntax-error
// reporter's caret lines, hints and limit.
#include "tools/vetlin/lexer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/input.h"
#include "tools/vetlin/matcher.h"
#include "tools/vetlin/tokens.h"

namespace vetlin_test {
namespace {

class LexerTest : public CheckerFixture {
protected:
    // The tokens up to the end of input: the code, with ":" and the value where there is one.
    static std::string tokens() {
        std::string out;
        for (int guard = 0; guard < 10000; ++guard) {
            const int t = lexer_next_token();
            if (!out.empty()) out += ' ';
            out += std::to_string(t);
            const VWord* o = reinterpret_cast<const VWord*>(lexerValue);
            if (o == nullptr || t == TOK_RELATION) {
                if (t == TOK_RELATION) out += ":" + std::to_string(long(lexerValue));
            } else if (t == TOK_NAME || t == TOK_NEUTRAL || t == TOK_AMPSTAR || t == TOK_ATAT ||
                       t == TOK_INTERSECT || t == TOK_DCOLON) {
                out += std::string(":") + vl_name_text(o) + (vl_backquoted(o) ? "(q)" : "");
            } else if (t == TOK_INTEGER) {
                out += ":" + lexer_decimal(o) + "/" + std::to_string(lexerDigits);
            } else if (t == TOK_EXPONENT) {
                out += ":" + lexer_decimal(vl_op(o, 1)) + "e" +
                       (vl_type(vl_op(o, 2)) == DAG_INTNEG ? "-" : "") + lexer_decimal(vl_op(o, 2));
            } else if (t == TOK_STRING) {
                out += std::string(":") + vl_string_text(o);
            }
            if (t == TOK_EOF) break;
        }
        return out;
    }
};

struct Row {
    const char* name;
    std::string text;
    std::string tokens;
};

std::string n(int token) { return std::to_string(token); }

TEST_F(LexerTest, TokensOfSourceTexts) {
    const std::string eof = n(TOK_EOF);
    const Row rows[] = {
        {"assignment", "x := a, b;", "273:x 258 273:a 297 273:b 320 " + eof},
        {"comment", "a # b c\nd", "273:a 273:d " + eof},
        {"numbers", "0 007 12345 100000000", "274:0/1 274:7/3 274:12345/5 274:100000000/9 " + eof},
        {"exponents", "1e5 2E-3 3e+0 4e x", "275:1e5 275:2e-3 275:3e0 274:4/1 273:e 273:x " + eof},
        {"keywords", "for i from 1 by 2 to 3 while true do od",
         "267 273:i 268 274:1/1 259 274:2/1 291 274:3/1 292 273:true 261 278 " + eof},
        {"keyword lookalikes", "fortune Do od_ i", "273:fortune 273:Do 273:od_ 273:i " + eof},
        {"every keyword", "and description done elif else end fi global if in intersect local minus mod not "
                          "option options or proc quit read save stop then union",
         "257 260 284 262 264 265 266 269 270 271 283:intersect 272 289 293 277 279 279 280 282 284 285 287 284 290 289 " + eof},
        {"percent forms", "% %% %%% %%%% %2 %ab", "273:% 273:%% 273:%%% 273:%%% 273:% 305 274:2/1 273:%ab " + eof},
        {"neutral operators", "&foo &*  &+- & x &",
         "276:&foo 310:&* 276:&+- 32 273:x 32 " + eof},
        {"operators", "** @@ @ .. ... . <= <> >= < > -> - := :: : (* *) (| |) | ^ *",
         "314 281:@@ 283:@ 263 263 300 286:" + std::to_string(VL_KIND_LESSEQ) + " 286:" +
             std::to_string(VL_KIND_INEQUAT) + " 286:" + std::to_string(VL_KIND_GREATEREQ) +
             " 306 304 312 311 258 295::: 296 307 317 308 318 321 314 315 " + eof},
        {"single characters", "$ ! ' ( ) + , / ; = [ ] { } ? ~",
         "299 303 316 309 319 313 297 298 320 301 308 318 307 317 63 126 " + eof},
        {"strings", "\"ab\" \"a\"\"b\" \"t\\tx\" \"q\\\"\" \"n\\n\"",
         "288:ab 288:a\"b 288:t\tx 288:q\" 288:n\n " + eof},
        {"back quotes", "`abc` `a b` `` `if` `1x` `a``b`",
         "273:abc(q) 273:a b 273: 273:if 273:1x 273:a`b " + eof},
        {"escapes outside texts", "a \\n \\\" b", "273:a 127 127 273:b " + eof},
        {"continuation", "ab\\\ncd", "273:abcd " + eof},
        {"a line of one backslash is skipped", "a\n\\\nb", "273:a 273:b " + eof},
        {"a line with ! is skipped", "a\n!shell command\nb", "273:a 273:b " + eof},
        {"a piece of a long line starting with ! is not",
         std::string(511, ' ') + "!x\n", "303 273:x " + eof},
        {"a NUL is a character", std::string("a\0b", 3), "273:a 0 273:b " + eof},
        {"unterminated text", "\"abc", "288:abc " + eof},
    };
    for (const Row& row : rows) {
        restart(row.text);
        EXPECT_EQ(tokens(), row.tokens) << row.name;
    }
}

TEST_F(LexerTest, LinesAreCounted) {
    source("a\nb\\\nc\n\nd");
    EXPECT_EQ(lexer_next_token(), TOK_NAME);
    EXPECT_EQ(storeLine, 1);
    EXPECT_EQ(lexer_next_token(), TOK_NAME);   // b joined with c
    EXPECT_STREQ(vl_name_text(reinterpret_cast<VObj>(lexerValue)), "bc");
    EXPECT_EQ(storeLine, 3);
    EXPECT_EQ(lexer_next_token(), TOK_NAME);
    EXPECT_EQ(storeLine, 5);                   // the last line, without its newline
    EXPECT_EQ(vl_first_line(reinterpret_cast<VObj>(lexerValue)), 5);
    EXPECT_EQ(lexer_next_token(), TOK_EOF);
    EXPECT_EQ(lexer_next_token(), TOK_EOF);
}

// A line longer than the buffer is read in pieces; names and texts go on across the pieces.
TEST_F(LexerTest, LongLinesLongNamesAndTexts) {
    const std::string name(450, 'n');
    const std::string text(2000, 't');
    source(std::string(600, ' ') + name + " \"" + text + "\" x\n");
    EXPECT_EQ(lexer_next_token(), TOK_NAME);
    EXPECT_EQ(vl_name_text(reinterpret_cast<VObj>(lexerValue)), name);
    EXPECT_EQ(lexer_next_token(), TOK_STRING);
    EXPECT_EQ(vl_string_text(reinterpret_cast<VObj>(lexerValue)), text);
    EXPECT_EQ(lexer_next_token(), TOK_NAME);
    EXPECT_EQ(storeLine, 1);
    EXPECT_EQ(lexer_next_token(), TOK_EOF);
}

TEST_F(LexerTest, NameOfFiveHundredCharactersEndsTheRun) {
    source(std::string(500, 'n') + ";");
    EXPECT_EQ(exit_status([] { lexer_next_token(); }), 127);
    EXPECT_EQ(output(), "name too long\n");
}

TEST_F(LexerTest, NeutralOperatorStopsAt499) {
    source("&" + std::string(600, '+'));
    EXPECT_EQ(lexer_next_token(), TOK_NEUTRAL);
    EXPECT_EQ(std::string(vl_name_text(reinterpret_cast<VObj>(lexerValue))), "&" + std::string(498, '+'));
    EXPECT_EQ(lexer_next_token(), TOK_PLUS);
}

TEST_F(LexerTest, InvalidNeutralOperatorIsReported) {
    source("& ;");
    EXPECT_EQ(lexer_next_token(), ' ');
    EXPECT_EQ(output(), "Invalid neutral operator &\n");
}

TEST_F(LexerTest, KeywordsAndBracketsFeedTheMatcher) {
    source("proc() if [");
    for (int i = 0; i < 5; ++i) lexer_next_token();
    EXPECT_EQ(matcher_depth(), 3);
    EXPECT_EQ(matcher_top(), TOK_LBRACKET);
}

TEST_F(LexerTest, FractionMantissa) {
    struct {
        const char* integer;
        const char* fraction;
        long digits;
        const char* mantissa;
    } rows[] = {
        {"12", "345", 3, "12345"},
        {"1", "5", 3, "1005"},
        {"0", "25", 2, "25"},
        {"123456789", "0", 1, "1234567890"},
    };
    for (const auto& row : rows) {
        VObj m = lexer_fraction_mantissa(lexer_integer(row.integer), lexer_integer(row.fraction), row.digits);
        EXPECT_EQ(lexer_decimal(m), row.mantissa) << row.integer << "." << row.fraction;
    }
    EXPECT_EQ(lexer_decimal(lexer_integer("100000000")), "100000000");
    EXPECT_EQ(lexer_integer("100000000")[3], 1u);
}

// Reads tokens until the one at `index` (from 0) and reports a syntax error there.
std::string report_at(LexerTest* test, const std::string& text, int index);

struct ErrorRow {
    const char* name;
    std::string text;
    int index;   // the token the error is reported at
    std::string expected;
};

TEST_F(LexerTest, SyntaxErrorReports) {
    const ErrorRow rows[] = {
        {"missing operator", "x := 1 2;\n", 3,
         "on line     1: x := 1 2;\n" + std::string(22, ' ') +
             "^ syntax error - Probably missing an operator such as *\n"},
        {"first token of its line", "x := 1\n2;\n", 3,
         "on line     2: 2;\n" + std::string(15, ' ') +
             "^ syntax error - Probably missing a ; on the previous line or an operator such as *\n"},
        {"for clause", "for i 1 to 5 do od;\n", 2,
         "on line     1: for i 1 to 5 do od;\n" + std::string(21, ' ') +
             "^ syntax error - A name must used for the for clause\n"},
        {"then", "if x 1 fi;\n", 2,
         "on line     1: if x 1 fi;\n" + std::string(20, ' ') +
             "^ syntax error - Probably missing the keyword then or an operator such as *\n"},
        {"do", "while x y do od;\n", 2,
         "on line     1: while x y do od;\n" + std::string(23, ' ') +
             "^ syntax error - Probably missing the keyword do or an operator such as *\n"},
        {"tab kept", "\tx y;\n", 1,
         "on line     1: \tx y;\n" + std::string(15, ' ') + "\t  ^ syntax error - Probably missing an operator such as *\n"},
        {"other token", "x := ;\n", 2,
         "on line     1: x := ;\n" + std::string(20, ' ') + "^ syntax error\n"},
        {"after a back quote", "x := ``y;\n", 3,
         "on line     1: x := ``y;\n" + std::string(22, ' ') + "^ syntax error - Probably missing a previous `\n"},
        {"pending hint", "for i to 3 do from\n", 5,
         "on line     1: for i to 3 do from\n" + std::string(29, ' ') +
             "^ Syntax error: The from clause should come before the do clause\n\n"},
    };
    for (const ErrorRow& row : rows) {
        EXPECT_EQ(report_at(this, row.text, row.index), row.expected) << row.name;
    }
}

std::string report_at(LexerTest* test, const std::string& text, int index) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), in);
    std::rewind(in);
    vl_begin_run(in, out, out);
    vl_make_constants();
    vl.noLogo = true;
    vl_init_checker();
    for (int i = 0; i <= index; ++i) lexer_next_token();
    lexer_syntax_error("syntax error");
    EXPECT_EQ(vl.Severity, 1);
    EXPECT_EQ(vl.classCount[1], 1);
    std::string result = slurp(out);
    vl_end_run();
    std::fclose(in);
    std::fclose(out);
    (void)test;
    return result;
}

TEST_F(LexerTest, QuietAtLevelZeroUnlessSyntaxOnly) {
    source("x y;\n");
    vl.infoLevel = 0;
    lexer_next_token();
    lexer_next_token();
    lexer_syntax_error("syntax error");
    EXPECT_EQ(output(), "");
    EXPECT_EQ(vl.Severity, 1);
    vl.syntaxOnly = true;
    lexer_syntax_error("syntax error");
    EXPECT_NE(output(), "");
}

TEST_F(LexerTest, FifthErrorFinishesTheFile) {
    source("x y;\n");
    lexer_next_token();
    for (int i = 1; i < VL_SYNTAX_ERROR_LIMIT; ++i) lexer_syntax_error("syntax error");
    EXPECT_EQ(exit_status([] { lexer_syntax_error("syntax error"); }), 3);
    EXPECT_EQ(lexer_syntax_errors(), VL_SYNTAX_ERROR_LIMIT);
}

// A token begun before a continuation has its caret at the end of the line held.
TEST_F(LexerTest, CaretNeverPastTheLine) {
    source(std::string(100, ' ') + "abc\\\nd y\n");
    EXPECT_EQ(lexer_next_token(), TOK_NAME);   // abcd, begun at column 100 of line 1
    lexer_syntax_error("syntax error");
    EXPECT_EQ(output(), "on line     2: d y\n" + std::string(19, ' ') +
                            "^ syntax error - Probably missing an operator such as *\n");
}

}  // namespace
}  // namespace vetlin_test
