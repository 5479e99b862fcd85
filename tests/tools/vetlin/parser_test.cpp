// Tests of the checker's grammar: the trees the parser builds for statements (before
// simplification) with their lines, the repeated-part and obsolete-colon messages, recovery
// after syntax errors, and the depth limit.
#include "tools/vetlin/parser.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/input.h"
#include "tools/vetlin/lexer.h"

namespace vetlin_test {
namespace {

// A tree as text: names bare, integers in decimal, other objects as TYPE(operands).
std::string render(const VWord* o) {
    if (o == nullptr) return "0";
    switch (vl_type(o)) {
    case DAG_NAME: return vl_name_text(o);
    case DAG_INTPOS: return lexer_decimal(o);
    case DAG_INTNEG: return "-" + lexer_decimal(o);
    case DAG_STRING: return std::string("\"") + vl_string_text(o) + "\"";
    default: break;
    }
    std::string text = std::string(vl_type_name(vl_type(o))) + "(";
    for (long i = 1; i < vl_length(o); ++i) text += (i > 1 ? ", " : "") + render(vl_op(o, i));
    return text + ")";
}

class ParserTest : public CheckerFixture {
protected:
    // The statements of the source, rendered, one a line, up to the end of input; an abandoned
    // parse shows as "-".
    std::string statements() {
        std::string out;
        for (int guard = 0; guard < 100; ++guard) {
            VObj s = parser_read_statement();
            if (s != nullptr && vl_type(s) == VL_END_OF_INPUT) break;
            out += (s == nullptr ? "-" : render(s)) + "\n";
        }
        return out;
    }
};

struct Row {
    const char* source;
    std::string trees;
    long errors;
};

TEST_F(ParserTest, StatementsAndTheirTrees) {
    const Row rows[] = {
        {"x := a, b;", "ASSIGN(x, EXPSEQ(a, b))\n", 0},
        {"a - -b;", "", 1},
        {"-a^2;", "SUM(PROD(a, 2), -1)\n", 0},
        {"a^b^c;", "", 1},
        {"y^2;", "PROD(y, 2)\n", 0},
        {"y^x;", "POWER(y, x)\n", 0},
        {"2^x;", "POWER(2, x)\n", 0},
        {"a > b;", "LESSTHAN(b, a)\n", 0},
        {"a >= b;", "LESSEQ(b, a)\n", 0},
        {"a <= b; a <> b; a < b; a = b;", "LESSEQ(a, b)\nINEQUAT(a, b)\nLESSTHAN(a, b)\nEQUATION(a, b)\n", 0},
        {"a mod b + c;", "SUM(FUNCTION(mod, EXPSEQ(a, b)), 1, c, 1)\n", 0},
        {"a + b - c;", "SUM(a, 1, b, 1, c, -1)\n", 0},
        {"a*b/c*d^2;", "PROD(a, 1, b, 1, c, -1, d, 2)\n", 0},
        {"a minus b union c;", "FUNCTION(union, EXPSEQ(FUNCTION(minus, EXPSEQ(a, b)), c))\n", 0},
        {"a intersect b @ c;", "FUNCTION(@, EXPSEQ(FUNCTION(intersect, EXPSEQ(a, b)), c))\n", 0},
        {"n!!;", "FUNCTION(factorial, EXPSEQ(FUNCTION(factorial, EXPSEQ(n))))\n", 0},
        {"a &x b; &y c; &z();", "FUNCTION(&x, EXPSEQ(a, b))\nFUNCTION(&y, EXPSEQ(c))\nFUNCTION(&z, EXPSEQ())\n", 0},
        {"x::integer;", "DCOLON(x, integer)\n", 0},
        {"a or b and not c;", "OR(a, AND(b, NOT(c)))\n", 0},
        {"a..b;", "RANGE(a, b)\n", 0},
        {"a $ b; $ 3;", "FUNCTION($, EXPSEQ(a, b))\nFUNCTION($, EXPSEQ(3))\n", 0},
        {"for i to 10 do od;", "FOR(i, 1, 1, 10, true, EXPSEQ())\n", 0},
        {"for i from 2 by 3 while c do x od;", "FOR(i, 2, 3, EXPSEQ(), c, x)\n", 0},
        {"for x in L do y; z od;", "FOR(x, L, true, STATSEQ(y, z))\n", 0},
        {"for i from 1 from 2 do od;", "FOR(i, 1, 1, EXPSEQ(), true, EXPSEQ())\n", 1},
        {"if a then b elif c then d else e fi;", "IF(a, b, c, d, e)\n", 0},
        {"x -> x^2;",
         "PROC(EXPSEQ(x), LIST(EXPSEQ()), EXPSEQ(operator, arrow), EXPSEQ(), PROD(x, 2), EXPSEQ(), "
         "EXPSEQ(), EXPSEQ())\n",
         0},
        {"proc(x:integer) x end;",
         "PROC(EXPSEQ(DCOLON(x, integer)), LIST(EXPSEQ()), EXPSEQ(), EXPSEQ(), x, EXPSEQ(), EXPSEQ(), "
         "EXPSEQ())\n",
         1},
        {"proc(a, b) local c; global g; options remember; description \"d\"; c := a; b end;",
         "PROC(EXPSEQ(a, b), LIST(EXPSEQ(c)), EXPSEQ(remember), EXPSEQ(), STATSEQ(ASSIGN(c, a), b), "
         "EXPSEQ(\"d\"), EXPSEQ(g), EXPSEQ())\n",
         0},
        {"proc() local a; local b; end;",
         "PROC(EXPSEQ(), LIST(EXPSEQ(a)), EXPSEQ(), EXPSEQ(), EXPSEQ(), EXPSEQ(), EXPSEQ(), EXPSEQ())\n", 1},
        {"1.5; .25; 1.05e3; 2.; 3e-2; 0.001;",
         "FLOAT(15, -1)\nFLOAT(25, -2)\nFLOAT(105, 1)\nFLOAT(2, 0)\nFLOAT(3, -2)\nFLOAT(1, -3)\n", 0},
        {"f(x)[1]; a.b.1; \"s\".t;",
         "TABLEREF(FUNCTION(f, EXPSEQ(x)), EXPSEQ(1))\nCATENATE(CATENATE(a, b), 1)\nCATENATE(\"s\", t)\n", 0},
        {"'x'; [a, b]; {}; <a, b>; %1;",
         "UNEVAL(x)\nLIST(EXPSEQ(a, b))\nSET(EXPSEQ())\nFUNCTION(anglebracket, EXPSEQ(a, b))\nEXPSEQ()\n", 0},
        {"read \"f\"; save x, \"f\"; quit", "READ(\"f\")\nSAVE(EXPSEQ(x, \"f\"))\nSTOP()\n", 0},
        {"x := 1 2; y := 3;", "ASSIGN(y, 3)\n", 1},
        {";", "EXPSEQ()\n", 0},
    };
    for (const Row& row : rows) {
        restart(row.source);
        EXPECT_EQ(statements(), row.trees) << row.source;
        EXPECT_EQ(lexer_syntax_errors(), row.errors) << row.source;
    }
}

TEST_F(ParserTest, RepeatedPartsAndObsoleteColonAreReported) {
    struct {
        const char* source;
        const char* message;
    } rows[] = {
        {"for i from 1 from 2 do od;", "^ repeated from part"},
        {"for i by 1 by 2 do od;", "^ repeated by part"},
        {"for i to 1 to 2 do od;", "^ repeated to part"},
        {"for i while a while b do od;", "^ repeated while part"},
        {"proc() local a; local b; end;", "^ repeated local part"},
        {"proc() global a; global b; end;", "^ repeated global part"},
        {"proc() option a; options b; end;", "^ repeated options part"},
        {"proc() description \"a\"; description \"b\"; end;", "^ repeated description part"},
        {"proc(x:integer) x end;", "^ `:` is obsolete, use `::` instead"},
    };
    for (const auto& row : rows) {
        std::FILE* in = std::tmpfile();
        std::FILE* out = std::tmpfile();
        std::fputs(row.source, in);
        std::rewind(in);
        vl_begin_run(in, out, out);
        vl_make_constants();
        vl.noLogo = true;
        vl_init_checker();
        statements();
        const std::string report = slurp(out);
        EXPECT_NE(report.find(row.message), std::string::npos) << row.source << "\n" << report;
        vl_end_run();
        std::fclose(in);
        std::fclose(out);
    }
}

TEST_F(ParserTest, LinesOfStatementsAndProcedures) {
    source(std::string(8999, '\n') + "f := proc(x)\n  x\n\nend;\ny;\n");
    VObj assign = parser_read_statement();
    ASSERT_NE(assign, nullptr);
    EXPECT_EQ(vl_first_line(assign), 9000);
    EXPECT_EQ(vl_last_line(assign), 9003);
    VObj proc = vl_op(assign, 2);
    EXPECT_EQ(vl_type(proc), unsigned(DAG_PROC));
    EXPECT_EQ(vl_first_line(proc), 9000);
    EXPECT_EQ(vl_last_line(proc), 9003);
    EXPECT_EQ(render(parser_read_statement()), "y");
}

// Trees deeper than the parser's stack are refused; the run goes on.
TEST_F(ParserTest, DeepTreesAreRefused) {
    struct {
        const char* name;
        std::string source;
        bool refused;
    } rows[] = {
        {"x and 100000 factorials", "x" + std::string(100000, '!') + ";\ny;\n", true},
        {"101000 indices", [] {
             std::string s = "a";
             for (int i = 0; i < 101000; ++i) s += "[1]";
             return s + ";\ny;\n";
         }(), true},
        {"500 parentheses", std::string(500, '(') + "x" + std::string(500, ')') + ";\ny;\n", false},
        {"400 negated parentheses", [] {
             std::string s;
             for (int i = 0; i < 400; ++i) s += "-(";
             return s + "x" + std::string(400, ')') + ";\ny;\n";
         }(), false},
    };
    for (const auto& row : rows) {
        std::FILE* in = std::tmpfile();
        std::FILE* out = std::tmpfile();
        std::fwrite(row.source.data(), 1, row.source.size(), in);
        std::rewind(in);
        vl_begin_run(in, out, out);
        vl_make_constants();
        vl.noLogo = true;
        vl_init_checker();
        const std::string trees = statements();
        const std::string report = slurp(out);
        EXPECT_EQ(report.find("yacc stack overflow") != std::string::npos, row.refused) << row.name;
        EXPECT_EQ(trees.substr(trees.size() >= 2 ? trees.size() - 2 : 0), "y\n") << row.name;
        if (!row.refused) {
            EXPECT_EQ(lexer_syntax_errors(), 0) << row.name;
            EXPECT_EQ(trees.substr(0, 4), row.name[0] == '5' ? "x\ny\n" : "SUM(") << row.name;
        }
        vl_end_run();
        std::fclose(in);
        std::fclose(out);
    }
}

}  // namespace
}  // namespace vetlin_test
