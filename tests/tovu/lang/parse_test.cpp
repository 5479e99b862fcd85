// The grammar and the parse driver: the DAGs built, every message with its position, statement
// splitting, labels, the error hook and the deep copy.
#include <cstring>

#include "lang_test_util.h"
#include "tovu/ifvars.h"

namespace {

class ParseTest : public TovuTest {};

Dag N(const char* t) { return dag_name(t); }
Dag I(long v) { return dag_of_int(v); }
Dag seq(std::initializer_list<Dag> items) {
    Dag d = dag_new(items.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (Dag x : items) dag_set_op(d, i++, x);
    return d;
}
Dag node(unsigned type, std::initializer_list<Dag> ops) {
    Dag d = dag_new(ops.size() + 1, type);
    std::size_t i = 1;
    for (Dag x : ops) dag_set_op(d, i++, x);
    return d;
}
Dag call(const char* f, std::initializer_list<Dag> args) { return node(DAG_FUNCTION, {N(f), seq(args)}); }

// ---- the DAGs built ------------------------------------------------------------------------
TEST_F(ParseTest, BuildsTheExpectedDags) {
    struct Row { const char* text; Dag expected; } rows[] = {
        {"a+b*c;", node(DAG_SUM, {N("a"), I(1), node(DAG_PROD, {N("b"), I(1), N("c"), I(1)}), I(1)})},
        {"a-b-c;", node(DAG_SUM, {N("a"), I(1), N("b"), I(-1), N("c"), I(-1)})},
        {"-a^b;", node(DAG_SUM, {node(DAG_PROD, {N("a"), N("b")}), I(-1)})},
        {"a^(b+c);", node(DAG_POWER, {N("a"), node(DAG_SUM, {N("b"), I(1), N("c"), I(1)})})},
        {"x/y^2;", node(DAG_PROD, {N("x"), I(1), N("y"), I(-2)})},
        {"-7;", I(-7)},
        {"1.05;", node(DAG_FLOAT, {I(105), I(-2)})},
        {"0.001;", node(DAG_FLOAT, {I(1), I(-3)})},
        {".5e3;", node(DAG_FLOAT, {I(5), I(2)})},
        {"2.;", node(DAG_FLOAT, {I(2), I(0)})},
        {"-2.5;", node(DAG_FLOAT, {I(-25), I(-1)})},
        {"a>b;", node(DAG_LESSTHAN, {N("b"), N("a")})},
        {"a>=b;", node(DAG_LESSEQ, {N("b"), N("a")})},
        {"a<>b;", node(DAG_INEQUAT, {N("a"), N("b")})},
        {"a..b=c;", node(DAG_EQUATION, {node(DAG_RANGE, {N("a"), N("b")}), N("c")})},
        {"a$b=c;", call("$", {N("a"), node(DAG_EQUATION, {N("b"), N("c")})})},
        {"not a=b;", node(DAG_NOT, {node(DAG_EQUATION, {N("a"), N("b")})})},
        {"a mod b*c;", call("mod", {N("a"), node(DAG_PROD, {N("b"), I(1), N("c"), I(1)})})},
        {"a union b;", call("union", {N("a"), N("b")})},
        {"a intersect b;", call("intersect", {N("a"), N("b")})},
        {"a@b;", call("@", {N("a"), N("b")})},
        {"a@@2;", call("@@", {N("a"), I(2)})},
        {"a&*b;", call("&*", {N("a"), N("b")})},
        {"n!!;", call("factorial", {call("factorial", {N("n")})})},
        {"a &x b^c;", node(DAG_PROD, {call("&x", {N("a"), N("b")}), N("c")})},
        {"&x a;", call("&x", {N("a")})},
        {"a.b^c;", node(DAG_PROD, {node(DAG_CATENATE, {N("a"), N("b")}), N("c")})},
        {"x::integer;", node(DAG_DCOLON, {N("x"), N("integer")})},
        {"f(x,y)[1];", node(DAG_TABLEREF, {node(DAG_FUNCTION, {N("f"), seq({N("x"), N("y")})}), seq({I(1)})})},
        {"{a,b};", node(DAG_SET, {seq({N("a"), N("b")})})},
        {"[];", node(DAG_LIST, {dag_NULL})},
        {"'a+1';", node(DAG_UNEVAL, {node(DAG_SUM, {N("a"), I(1), I(1), I(1)})})},
        {"<a,b>;", call("anglebracket", {N("a"), N("b")})},
        {"a,b;", seq({N("a"), N("b")})},
        {"x:=1,2;", node(DAG_ASSIGN, {N("x"), seq({I(1), I(2)})})},
        {"a[1],f(x):=y;", node(DAG_ASSIGN, {seq({node(DAG_TABLEREF, {N("a"), seq({I(1)})}),
                                                node(DAG_FUNCTION, {N("f"), seq({N("x")})})}),
                                           N("y")})},
        {"read \"f\";", node(DAG_READ, {dag_intern("f", DAG_STRING)})},
        {"save a,b;", node(DAG_SAVE, {seq({N("a"), N("b")})})},
        {"if a then b elif c then d else e fi;",
         node(DAG_IF, {N("a"), node(DAG_STATSEQ, {N("b")}), N("c"), node(DAG_STATSEQ, {N("d")}),
                       node(DAG_STATSEQ, {N("e")})})},
        {"for i from 2 to n do x; od;",
         node(DAG_FOR, {N("i"), I(2), I(1), N("n"), N("true"), node(DAG_STATSEQ, {N("x")})})},
        {"do od;", node(DAG_FOR, {dag_NULL, I(1), I(1), dag_NULL, N("true"), node(DAG_STATSEQ, {})})},
        {"for x in L while c do y od;",
         node(DAG_FOR, {N("x"), N("L"), N("c"), node(DAG_STATSEQ, {N("y")})})},
        {"x -> x+1;",
         node(DAG_PROC, {seq({N("x")}), dag_NULL, seq({N("operator"), N("arrow")}), dag_NULL,
                         node(DAG_STATSEQ, {node(DAG_SUM, {N("x"), I(1), I(1), I(1)})}),
                         dag_NULL, dag_NULL, dag_NULL})},
        {"proc(x::integer, y) local z; global g; option remember; description \"d\"; z end;",
         node(DAG_PROC, {seq({node(DAG_DCOLON, {N("x"), N("integer")}), N("y")}), seq({N("z")}),
                         seq({N("remember")}), dag_NULL, node(DAG_STATSEQ, {N("z")}),
                         seq({dag_intern("d", DAG_STRING)}), seq({N("g")}), dag_NULL})},
        {"quit", node(DAG_STOP, {})},
        {";", node(DAG_CONTROL, {I(1)})},
        {"  # only a comment", node(DAG_CONTROL, {I(1)})},
    };
    for (const Row& r : rows) {
        ParseOutcome o = parseFull(r.text);
        ASSERT_NE(o.statement, nullptr) << r.text << ": " << o.error;
        EXPECT_TRUE(dag_equal(o.statement, r.expected))
            << r.text << " built " << print_to_text(o.statement);
    }
}

// Forms that the operator levels make syntax errors, with the token that is refused.
TEST_F(ParseTest, LevelsThatDoNotRepeat) {
    struct Row { const char* text; const char* message; } rows[] = {
        {"a^b^c;", "`^` unexpected"},
        {"a=b=c;", "`=` unexpected"},
        {"a..b..c;", "`..` unexpected"},
        {"a mod b mod c;", "reserved word `mod` unexpected"},
        {"a^-b;", "`-` unexpected"},
        {"--a;", "`-` unexpected"},
        {"a=b$c;", "`$` unexpected"},
        {"a or b->c;", "`->` unexpected"},
        {"a::b::c;", "`::` unexpected"},
        {"&x &y;", "unexpected neutral operator"},
    };
    for (const Row& r : rows) {
        ParseOutcome o = parseFull(r.text);
        EXPECT_EQ(o.statement, nullptr) << r.text;
        EXPECT_EQ(o.error, r.message) << r.text;
    }
}

// Operators that share a grammar level by precedence bind exactly as separate levels would:
// prefix and postfix operators of a level take no looser operator's operand, and a place that
// takes only a tighter level refuses them; a name is an operand alone or the head of calls,
// indexes and concatenations.  Each row: the text and its printed statement, or
// the message and its position.
TEST_F(ParseTest, OperatorsBindAsTheirLevelsSay) {
    struct Row {
        const char* text;
        const char* printed;   // null: the parse fails
        const char* message;
        int position;
    } rows[] = {
        {"not a and b or c;", "not a and b or c", nullptr, 0},
        {"a or not b and c;", "a or not b and c", nullptr, 0},
        {"not a $ b;", "not `$`(a,b)", nullptr, 0},
        {"a $ b < c;", "`$`(a,b < c)", nullptr, 0},
        {"not a .. b;", "not a .. b", nullptr, 0},
        {"a = not b;", nullptr, "reserved word `not` unexpected", 7},
        {"a $ b $ c;", nullptr, "`$` unexpected", 6},
        {"not a -> b;", nullptr, "`->` unexpected", 7},
        {"a &x b!;", "`&x`(a,b)!", nullptr, 0},
        {"a! &x b;", nullptr, "unexpected neutral operator", 5},
        {"a :: b!;", "(a::b)!", nullptr, 0},
        {"a! :: b;", nullptr, "`::` unexpected", 4},
        {"a &x b :: c;", "`&x`(a,b::c)", nullptr, 0},
        {"a :: b &x c;", "`&x`(a::b,c)", nullptr, 0},
        {"&x a :: b;", "`&x`(a)::b", nullptr, 0},
        {"a^b!;", "a^b!", nullptr, 0},
        {"a!^b!;", "a!^b!", nullptr, 0},
        {"a^b!^c;", nullptr, "`^` unexpected", 4},
        {"a &x b ^ c &y d;", "`&x`(a,b)^`&y`(c,d)", nullptr, 0},
        {"a*b^c*d/e^f;", "a*b^c*d/(e^f)", nullptr, 0},
        {"a @ b @@ c;", "`@`(a,`@@`(b,c))", nullptr, 0},
        {"a^b@@c;", nullptr, "`@@` unexpected", 4},
        {"a*-b;", nullptr, "`-` unexpected", 3},
        {"a mod b*c;", "`mod`(a,b*c)", nullptr, 0},
        {"a+b mod c;", "`mod`(a+b,c)", nullptr, 0},
        {"a mod b+c;", nullptr, "`+` unexpected", 7},
        {"a mod b .. c = d;", "`mod`(a,b) .. c = d", nullptr, 0},
        {"a .. b mod c;", "a .. `mod`(b,c)", nullptr, 0},
        {"<a .. b, c = d>;", nullptr, "`=` unexpected", 11},
        {"<a .. b, c mod d>;", "anglebracket(a .. b,`mod`(c,d))", nullptr, 0},
        {"f(x)(y)[1].a;", "f(x)(y)[1].a", nullptr, 0},
        {"f()[];", "f()[]", nullptr, 0},
        {"&x f(y) :: g[2];", "`&x`(f(y))::g[2]", nullptr, 0},
        {"a.(b,c)(d);", "a.(b, c)(d)", nullptr, 0},
    };
    for (const Row& r : rows) {
        ParseOutcome o = parseFull(r.text);
        if (r.printed) {
            EXPECT_EQ(o.error, "") << r.text;
            EXPECT_EQ(roundTrip(r.text), r.printed) << r.text;
        } else {
            EXPECT_EQ(o.statement, nullptr) << r.text;
            EXPECT_EQ(o.error, r.message) << r.text;
            EXPECT_EQ(o.errorPosition, r.position) << r.text;
        }
    }
}

TEST_F(ParseTest, LongChainsStayFlat) {
    std::string text = "a";
    for (int i = 0; i < 3000; ++i) text += i % 2 ? "+a" : "-b";
    ParseOutcome o = parseFull(text + ";");
    ASSERT_NE(o.statement, nullptr) << o.error;
    EXPECT_EQ(dag_type(o.statement), unsigned(DAG_SUM));
    EXPECT_EQ(dag_length(o.statement), 1u + 2 * 3001);
}

// ---- messages and positions ------------------------------------------------------------------
TEST_F(ParseTest, EveryMessageWithItsPosition) {
    struct Row { const char* text; const char* message; int position; } rows[] = {
        {"a & b;", "invalid neutral operator", 3},
        {"a := b := c;", "`:=` unexpected", 8},
        {"1 := 2;", "`:=` unexpected", 3},
        {"a..b..c;", "`..` unexpected", 6},
        {"a b;", "missing operator or `;`", 3},
        {"a 1;", "unexpected number", 3},
        {"a 1e5;", "unexpected real number", 5},
        {"&x &y b;", "unexpected neutral operator", 5},
        {"a option;", "reserved word `option` or `options` unexpected", 8},
        {"a options;", "reserved word `option` or `options` unexpected", 9},
        {"@@a;", "`@@` unexpected", 1},
        {"@a;", "`@` or reserved word `intersect` unexpected", 1},
        {"a quit;", "reserved words `quit`, `done`, or `stop` unexpected", 6},
        {"a <= b <= c;", "unexpected relational operator", 8},
        {"a \"s\";", "unexpected string", 5},
        {"union a;", "reserved words `union` or `minus` unexpected", 5},
        {"a %1;", "unexpected label", 3},
        {"&* a;", "`&*` unexpected", 2},
        {"a+b -> c;", "`->` unexpected", 5},
        {"a^b^c;", "`^` unexpected", 3},
        {"a 'b';", "unexpected single forward quote", 2},
        {"f(a:b);", "`:` unexpected", 4},
        {",a;", "`,` unexpected", 0},
        {"/a;", "`/` unexpected", 0},
        {"$a;", "`$` unexpected", 0},
        {"1.5.2;", "`.` unexpected", 4},
        {"a = b = c;", "`=` unexpected", 6},
        {"!a;", "`!` unexpected", 0},
        {"a > b > c;", "`>` unexpected", 7},
        {"a < b < c;", "`<` unexpected", 7},
        {"a {b};", "`{` unexpected", 2},
        {"1[2];", "`[` unexpected", 1},
        {"1(2);", "`(` unexpected", 2},
        {"a+-b;", "`-` unexpected", 3},
        {"a*+b;", "`+` unexpected", 2},
        {"*a;", "`*` unexpected", 1},
        {"a};", "`}` unexpected", 1},
        {"a];", "`]` unexpected", 1},
        {"a);", "`)` unexpected", 1},
        {"f(;", "`;` unexpected", 2},
        {"|a;", "`|` unexpected", 1},
        {"::a;", "`::` unexpected", 1},
        {"a then;", "reserved word `then` unexpected", 6},
        {"a \a;", "control character `\\a` unexpected", 2},
        {"a \\b;", "control character `\\b` unexpected", 3},
        {"a \x1b;", "control character `\\e` unexpected", 2},
        {"a \x01;", "control character unexpected", 2},
        {"a ?;", "character `?` unexpected", 2},
        {"a \xe9;", "symbol unexpected", 2},
        {"a\\n;", "syntax error, `\\` unexpected", 2},
        {"1e99999999999;", "exponent too large", 11},
        {"%5;", "undefined label", 2},
        {"for i from 1 from 2 do od;", "repeated from part", 22},
        {"for i by 1 by 2 do od;", "repeated by part", 18},
        {"for i to 1 to 2 do od;", "repeated to part", 18},
        {"while a while b do od;", "repeated while part", 18},
        {"proc() local a; local b; end;", "repeated local part", 23},
        {"proc() global a; global b; end;", "repeated global part", 25},
        {"proc() option a; options b; end;", "repeated options part", 26},
        {"proc() description a; description b; end;", "repeated description part", 35},
        {"proc(x:integer) x end;", "`:` is obsolete, use `::` instead", 7},
        {"x := 2*Pi*(1+1)*2147483647*2e2147483647;", "integer too large for K_INT", 39},
    };
    for (const Row& r : rows) {
        ParseOutcome o = parseFull(r.text);
        EXPECT_EQ(o.statement, nullptr) << r.text;
        EXPECT_EQ(o.error, r.message) << r.text;
        EXPECT_EQ(o.errorPosition, r.position) << r.text;
        EXPECT_FALSE(o.premature) << r.text;
    }
}

TEST_F(ParseTest, FloatTooLargeForItsExponent) {
    // 3700 mantissa digits with an exponent near the K_INT limit overflow the digit position.
    ParseOutcome o = parseFull(std::string(3700, '7') + "e-2147479999;");
    EXPECT_EQ(o.statement, nullptr);
    EXPECT_EQ(o.error, "integer too large in context");
    EXPECT_EQ(o.errorPosition, 3712);
}

TEST_F(ParseTest, DeepNestingIsAStackOverflowNotACrash) {
    std::string open(2000, '('), close(2000, ')');
    ParseOutcome o = parseFull(open + "a" + close + ";");
    EXPECT_EQ(o.statement, nullptr);
    EXPECT_EQ(o.error, "yacc stack overflow");
    std::string chain = "a";
    for (int i = 0; i < 3000; ++i) chain += " and a";
    o = parseFull(chain + ";");
    EXPECT_EQ(o.statement, nullptr);
    EXPECT_EQ(o.error, "yacc stack overflow");
}

TEST_F(ParseTest, EndOfInputThroughTheDefaultPrematureHandler) {
    Reports reports;
    EXPECT_EQ(parseWithReports("a+", &reports, true), nullptr);
    EXPECT_EQ(reports.lines, std::vector<std::string>{"E2:unexpected end of input"});
    reports.lines.clear();
    EXPECT_EQ(parseWithReports("a+", &reports, false), nullptr);
    EXPECT_EQ(reports.lines, std::vector<std::string>{"P2"});
}

TEST_F(ParseTest, WarningsDoNotStopTheParse) {
    Reports reports;
    Dag d = parseWithReports("\"a\nb\";", &reports);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(dag_text(d), "a\nb");
    EXPECT_EQ(reports.lines, std::vector<std::string>{"W3:incomplete string;  use \" to end the string"});
}

// ---- splitting a text into statements ----------------------------------------------------------
TEST_F(ParseTest, SecondStatementEndsPrematurely) {
    const std::string text = "x:=1; y:=";
    ParseOutcome first = parseFull(text);
    ASSERT_NE(first.statement, nullptr);
    EXPECT_EQ(first.consumed, 5);
    EXPECT_EQ(first.terminator, 1);
    EXPECT_TRUE(dag_equal(first.statement, node(DAG_ASSIGN, {N("x"), I(1)})));
    ParseOutcome second = parseFull(text.substr(std::size_t(first.consumed)));
    EXPECT_EQ(second.statement, nullptr);
    EXPECT_TRUE(second.premature);
    EXPECT_EQ(second.error, "premature end of input");
    EXPECT_EQ(second.errorPosition, 4);   // " y:=" is four characters
    EXPECT_EQ(first.consumed + second.errorPosition, int(text.size()));
}

TEST_F(ParseTest, ConsumedCountsAndTerminators) {
    struct Row { const char* text; int consumed; int terminator; } rows[] = {
        {"a; b;", 2, 1}, {"a: b;", 2, 0}, {"f(x):=3:", 8, 0}, {"quit", 4, 1},
        {"stop;", 5, 1}, {"done:", 5, 0}, {"a\\\n;b", 4, 1}, {"", 0, 1}};
    for (const Row& r : rows) {
        ParseOutcome o = parseFull(r.text);
        ASSERT_NE(o.statement, nullptr) << r.text << ": " << o.error;
        EXPECT_EQ(o.consumed, r.consumed) << r.text;
        EXPECT_EQ(o.terminator, r.terminator) << r.text;
        EXPECT_EQ(interface_default_block()->terminator, r.terminator) << r.text;
    }
}

// parse_text_full reads its text directly and takes runs of plain characters in bulk; a parse
// through a character callback takes them one at a time.  Both must see the same statement, the
// same count of characters and the same first message at the same position, also where escapes,
// continuations, comments, quotes and the end of input cut into a run.
std::string printedOrNull(Dag d) {
    if (d == nullptr) return "<null>";
    std::string error;
    std::string printed = print_to_text(d, 0, 0, &error);
    return error.empty() ? printed : "<print error: " + error + ">";
}

TEST_F(ParseTest, DirectTextAndCharacterSourceAgree) {
    const char* texts[] = {
        "alpha_beta2 := gamma + 12345678901234567890;",
        "ab\\\ncd + 1;",
        "ab\\qcd;",
        "12\\\n34 * x;",
        "0007 + 00000000000000000042;",
        "x   \t\n  + y # comment \\\n still comment\n ;",
        "a # an escaped \\n newline does not end it\n;",
        "\"doubled \"\" and escaped \\\" quotes, a \\t tab\";",
        "\"two\nlines\";",
        "`quoted name with \\` inside` + `a``b`;",
        "\"unterminated",
        "`unterminated name",
        "f(x, 3.14159e-3, .5, 7.) : g;",
        "if a < b then c elif a = b then d else e fi;",
        "x y;",
        "1.2.3;",
        "proc(a::integer) local t; t := a end;",
        "   \t  ;",
        "# only a comment",
        "a;b;",
        "abc\\",
        "%x1 + &foo y &+- z;",
        "x\xC3\xA9;",
        "for i from 1 to 10 do s := s + i od:",
    };
    for (const char* text : texts) {
        Reports reports;
        Dag viaSource = parseWithReports(text, &reports);
        std::string fromSource = printedOrNull(viaSource);
        int consumedFromSource = scan_consumed();

        ParseOutcome direct = parseFull(text);
        EXPECT_EQ(printedOrNull(direct.statement), fromSource) << text;
        EXPECT_EQ(direct.consumed, consumedFromSource) << text;
        bool premature = false;
        for (const std::string& line : reports.lines) premature = premature || line[0] == 'P';
        EXPECT_EQ(direct.premature, premature) << text;
        if (viaSource != nullptr || reports.lines.empty()) continue;
        // The driver keeps the last message printed, or the premature end when none was.
        std::string expected;
        int position = -1;
        for (const std::string& line : reports.lines) {
            std::size_t colon = line.find(':');
            int at = std::stoi(line.substr(1, colon == std::string::npos ? std::string::npos : colon - 1));
            if (line[0] == 'P') {
                if (position == -1) {
                    expected = "premature end of input";
                    position = at;
                }
            } else {
                expected = line.substr(colon + 1);
                position = at > 0 ? at - 1 : 0;
            }
        }
        EXPECT_EQ(direct.error, expected) << text;
        EXPECT_EQ(direct.errorPosition, position) << text;
    }
}

TEST_F(ParseTest, UnterminatedStatementIsPremature) {
    ParseOutcome o = parseFull("x + 1");
    EXPECT_EQ(o.statement, nullptr);
    EXPECT_TRUE(o.premature);
    EXPECT_EQ(o.error, "premature end of input");
    EXPECT_EQ(o.errorPosition, 5);
}

// ---- labels ----------------------------------------------------------------------------------------
TEST_F(ParseTest, LabelsComeFromTheHistory) {
    Dag history = seq({N("first"), node(DAG_SUM, {N("a"), I(1), I(2), I(1)})});
    ParseOutcome o = parseFull("%2*x;", history);
    ASSERT_NE(o.statement, nullptr) << o.error;
    EXPECT_TRUE(dag_equal(o.statement,
                          node(DAG_PROD, {node(DAG_SUM, {N("a"), I(1), I(2), I(1)}), I(1), N("x"), I(1)})));
    EXPECT_NE(dag_op(o.statement, 1), dag_op(history, 2));   // a fresh copy
    o = parseFull("%3;", history);
    EXPECT_EQ(o.error, "undefined label");
    o = parseFull("%3;", history, true);
    ASSERT_NE(o.statement, nullptr);
    EXPECT_TRUE(dag_is_null(o.statement));
}

// ---- the error hook ----------------------------------------------------------------------------------
int acceptObsoleteColon(int, const char* message) {
    return std::strcmp(message, "`:` is obsolete, use `::` instead") == 0;
}

TEST_F(ParseTest, HookLetsTheObsoleteColonGoOn) {
    lang_set_error_hook(acceptObsoleteColon);
    ParseOutcome o = parseFull("proc(x:integer) x end;");
    ParseOutcome bad = parseFull("a b;");
    lang_set_error_hook(nullptr);
    ASSERT_NE(o.statement, nullptr) << o.error;
    EXPECT_TRUE(dag_equal(dag_op(o.statement, 1), seq({node(DAG_DCOLON, {N("x"), N("integer")})})));
    EXPECT_EQ(bad.statement, nullptr);
    EXPECT_EQ(bad.error, "missing operator or `;`");
}

TEST_F(ParseTest, HandlerDepthIsRestored) {
    int depth = error_handler_depth();
    parseFull("a b;");
    parseFull("1e99999999999;");
    parseFull("a+b;");
    EXPECT_EQ(error_handler_depth(), depth);
}

// ---- deep copy ----------------------------------------------------------------------------------------
TEST_F(ParseTest, CopyIntoAnAreaSurvivesTheReset) {
    OwnedArea area(0, "Parsed_DAGs");
    const char* error = nullptr;
    int consumed = 0;
    Dag d = parse_text_full("f(x, x, \"s\") := [1.5, -x];", &error, nullptr, &consumed, nullptr,
                            nullptr, nullptr, area.get(), false);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(consumed, 26);
    // The default area was reset: only the copy remains, and it still prints the same.
    EXPECT_EQ(print_to_text(d), "f(x,x,\"s\") := [1.5, -x]");
    Dag args = dag_op(dag_op(d, 1), 2);
    EXPECT_EQ(dag_op(args, 1), dag_op(args, 2));   // shared parts stay shared
}

TEST_F(ParseTest, ControlStatementCopiesAsNull) {
    OwnedArea area(0, "Parsed_DAGs");
    Dag d = parse_text_full(";", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, area.get(), false);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(dag_is_null(d));
}

TEST_F(ParseTest, DeepCopyRefusesWhatCannotBeCopied) {
    for (unsigned type : {unsigned(DAG_CONTROL), unsigned(DAG_FOREIGN), unsigned(DAG_GARBAGE),
                          unsigned(DAG_PROMPT), unsigned(DAG_DEBUG)}) {
        Dag bad = node(type, {I(1)});
        EXPECT_EQ(dag_copy_deep(node(DAG_LIST, {seq({N("a"), bad})}), nullptr, nullptr), nullptr) << type;
    }
    Dag stop = dag_new0(DAG_STOP);
    Dag copy = dag_copy_deep(stop, nullptr, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(dag_type(copy), unsigned(DAG_STOP));
    // Names are interned again when no allocator is given.
    EXPECT_EQ(dag_copy_deep(N("abc"), nullptr, nullptr), N("abc"));
}

TEST_F(ParseTest, DeepCopyStopsAtExcessiveDepth) {
    Dag d = N("x");
    for (int i = 0; i < DAG_COPY_MAX_DEPTH + 5; ++i) d = node(DAG_NOT, {d});
    EXPECT_EQ(dag_copy_deep(d, nullptr, nullptr), nullptr);
}

}  // namespace
