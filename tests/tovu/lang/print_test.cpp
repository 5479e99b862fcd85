// The one-line printer: statements that parse and print back, hand-built DAGs for the forms the
// parser never builds, quoting modes, line breaking and errors.
#include <cstring>
#include <limits>
#include <vector>

#include "lang_test_util.h"

namespace {

class PrintTest : public TovuTest {};

Dag N(const char* t) { return dag_name(t); }
Dag I(long v) { return dag_of_int(v); }
Dag node(unsigned type, std::initializer_list<Dag> ops) {
    Dag d = dag_new(ops.size() + 1, type);
    std::size_t i = 1;
    for (Dag x : ops) dag_set_op(d, i++, x);
    return d;
}

TEST_F(PrintTest, StatementsPrintBack) {
    struct Row { const char* name; const char* input; const char* expected; } rows[] = {
        {"precedence", "a+b*c;", "a+b*c"},
        {"sum in product", "(a+b)*c;", "(a+b)*c"},
        {"grouped difference", "a-(b-c);", "a-(b-c)"},
        {"chain", "a-b+c-d;", "a-b+c-d"},
        {"unary minus of power", "-a^2;", "-a^2"},
        {"negative integer", "-5;", "-5"},
        {"negative factor", "a*(-2);", "a*(-2)"},
        {"negative term", "a+(-2);", "a-2"},
        {"power of sum", "a^(b+c);", "a^(b+c)"},
        {"grouped power", "(a^b)^c;", "(a^b)^c"},
        {"reciprocal", "x^(-1);", "1/x"},
        {"quotient of power", "x/y^2;", "x/y^2"},
        {"quotients", "a/b/c;", "a/b/c"},
        {"coefficient", "2*x;", "2*x"},
        {"float", "2.5;", "2.5"},
        {"float with zeros", "1.05;", "1.05"},
        {"fraction only", ".5;", ".5"},
        {"point only", "3.;", "3."},
        {"float exponent", "1.5e3;", ".15e4"},
        {"small float", "0.001;", ".1e-2"},
        {"negative float", "-2.5;", "-2.5"},
        {"big integer", "123456789012345678901234567890;", "123456789012345678901234567890"},
        {"string", "\"hello world\";", "\"hello world\""},
        {"string with quote", "\"a\"\"b\";", "\"a\\\"b\""},
        {"string with newline", "\"a\\nb\";", "\"a\\nb\""},
        {"name with blank", "`a b`;", "`a b`"},
        {"reserved name", "`if`;", "`if`"},
        {"name with backquote", "`a``b`;", "`a\\`b`"},
        {"percent name", "%a?;", "%a?"},
        {"tilde name", "~x;", "~x"},
        {"ditto", "%%;", "%%"},
        {"call", "f(x,y);", "f(x,y)"},
        {"empty call", "f();", "f()"},
        {"call of call", "f(x)(y);", "f(x)(y)"},
        {"quoted argument", "f(`x y`);", "f(`x y`)"},
        {"indexed", "a[1,2];", "a[1,2]"},
        {"concatenation", "a.b.1;", "a.b.1"},
        {"concatenation of sum", "a.(b+c);", "a.(b+c)"},
        {"set", "{a,b};", "{a, b}"},
        {"list", "[a,[b]];", "[a, [b]]"},
        {"empty list", "[];", "[]"},
        {"sequence", "a,b,c;", "a, b, c"},
        {"range", "a..b;", "a .. b"},
        {"equation", "a=b+1;", "a = b+1"},
        {"inequation", "a<>b;", "a <> b"},
        {"greater", "a>b;", "b < a"},
        {"greater or equal", "a>=b;", "b <= a"},
        {"logic", "a and b or not c;", "a and b or not c"},
        {"not relation", "not a=b;", "not a = b"},
        {"unevaluated", "'a+b';", "'a+b'"},
        {"type test", "x::integer;", "x::integer"},
        {"factorial", "n!;", "n!"},
        {"factorial of sum", "(n+1)!;", "(n+1)!"},
        {"mod", "a mod b;", "`mod`(a,b)"},
        {"union", "a union b;", "`union`(a,b)"},
        {"neutral", "a &x b;", "`&x`(a,b)"},
        {"angle", "<a,b>;", "anglebracket(a,b)"},
        {"assignment", "x := 1;", "x := 1"},
        {"multiple assignment", "a,b := 1,2;", "a, b := 1, 2"},
        {"procedure", "f := proc(x) x^2 end;", "f := proc (x) x^2 end"},
        {"procedure parts", "proc(x::integer, y) local z; global g; options remember, system; z := x; z end;",
         "proc (x::integer, y) local z; global g; options remember, system; z := x; z end"},
        {"empty procedure", "proc() end;", "proc () end"},
        {"arrow", "x -> x+1;", "proc (x) options operator, arrow; x+1 end"},
        {"arrow of two", "(x,y) -> x*y;", "proc (x, y) options operator, arrow; x*y end"},
        {"if", "if a then b else c fi;", "if a then b else c fi"},
        {"elif", "if a<b then b; c elif c then d fi;", "if a < b then b; c elif c then d fi"},
        {"for", "for i from 2 to 10 do x od;", "for i from 2 to 10 do x od"},
        {"for by", "for i by 2 while i<n do x od;", "for i by 2 while i < n do x od"},
        {"for in", "for i in L do x od;", "for i in L do x od"},
        {"while", "while a do b od;", "while a do b od"},
        {"read", "read \"file\";", "read \"file\""},
        {"save", "save a, b;", "save a, b"},
        {"quit", "quit;", "quit"},
    };
    for (const Row& r : rows) EXPECT_EQ(roundTrip(r.input), r.expected) << r.name << ": " << r.input;
}

// Printing and parsing again gives the same DAG.
TEST_F(PrintTest, PrintedTextParsesToTheSameDag) {
    const char* inputs[] = {"a+b*c-d/e^2;", "f(x,[1,2],{y})[3];", "-(a+b)^2;",
                            "if x then y elif z then w else v fi;", "`a b`+\"s\";",
                            "proc(x) local y; y := x; y end;", "a..b = c;", "not a and b or c;",
                            "for i from 3 by 2 to n while p do s od;"};
    for (const char* text : inputs) {
        ParseOutcome first = parseFull(text);
        ASSERT_NE(first.statement, nullptr) << text;
        std::string printed = print_to_text(first.statement) + ";";
        ParseOutcome second = parseFull(printed);
        ASSERT_NE(second.statement, nullptr) << printed << ": " << second.error;
        EXPECT_TRUE(dag_equal(first.statement, second.statement)) << text << " -> " << printed;
    }
}

TEST_F(PrintTest, HandBuiltDags) {
    Dag float5 = node(DAG_FLOAT, {I(12345), I(3)});
    struct Row { const char* name; Dag dag; const char* expected; } rows[] = {
        {"power of power", node(DAG_POWER, {node(DAG_POWER, {N("a"), N("b")}), N("c")}), "(a^b)^c"},
        {"x to the -1", node(DAG_PROD, {N("x"), I(-1)}), "1/x"},
        {"empty exponent slot", node(DAG_PROD, {N("x"), nullptr}), "x^"},   // no crash; nothing to print
        {"x times y to the -2", node(DAG_PROD, {N("x"), I(1), N("y"), I(-2)}), "x/y^2"},
        {"float exponent 3", float5, ".12345e8"},
        {"float exponent -7", node(DAG_FLOAT, {I(12345), I(-7)}), ".12345e-2"},
        {"float exponent -5", node(DAG_FLOAT, {I(12345), I(-5)}), ".12345"},
        {"float exponent -2", node(DAG_FLOAT, {I(12345), I(-2)}), "123.45"},
        {"float exponent 0", node(DAG_FLOAT, {I(5), I(0)}), "5."},
        {"negative float in product", node(DAG_PROD, {node(DAG_FLOAT, {I(-15), I(-1)}), I(2)}), "(-1.5)^2"},
        {"rational", node(DAG_RATIONAL, {I(-1), I(2)}), "-1/2"},
        {"rational exponent", node(DAG_PROD, {N("x"), node(DAG_RATIONAL, {I(-1), I(2)})}), "1/x^(1/2)"},
        {"coefficient", node(DAG_SUM, {N("x"), I(3), N("y"), I(-2)}), "3*x-2*y"},
        {"coefficient of product", node(DAG_SUM, {node(DAG_PROD, {N("x"), I(1), N("y"), I(-1)}), I(2)}), "2*x/y"},
        {"stop", dag_new0(DAG_STOP), "quit"},
        {"null", dag_NULL, ""},
        {"local outside", node(DAG_LOCAL, {reinterpret_cast<Dag>(DagWord(2))}), "loc[2]"},
        {"param outside", node(DAG_PARAM, {reinterpret_cast<Dag>(DagWord(3))}), "args[3]"},
        {"nargs", node(DAG_PARAM, {reinterpret_cast<Dag>(DagWord(0))}), "nargs"},
        {"args", node(DAG_PARAM, {reinterpret_cast<Dag>(~DagWord(0))}), "args"},
        {"lexical outside", node(DAG_LEXICAL, {reinterpret_cast<Dag>(DagWord(1))}), "lex[1]"},
        {"table", node(DAG_TABLE, {dag_NULL, N("false"), hash_new(4)}), "table([])"},
        {"series", node(DAG_SERIES, {N("x"), I(1), reinterpret_cast<Dag>(DagWord(0)), I(2),
                                     reinterpret_cast<Dag>(DagWord(1)),
                                     node(DAG_FUNCTION, {N("O"), node(DAG_EXPSEQ, {I(1)})}),
                                     reinterpret_cast<Dag>(DagWord(2))}),
         "series(1+2*x+O(x^2),x,2)"},
        // A negative coefficient is a sign between terms, not a parenthesised factor.
        {"series negative coefficient",
         node(DAG_SERIES, {N("x"), I(1), reinterpret_cast<Dag>(DagWord(1)), node(DAG_RATIONAL, {I(-1), I(6)}),
                           reinterpret_cast<Dag>(DagWord(3)),
                           node(DAG_FUNCTION, {N("O"), node(DAG_EXPSEQ, {I(1)})}),
                           reinterpret_cast<Dag>(DagWord(5))}),
         "series(1*x-1/6*x^3+O(x^5),x,5)"},
        // About x = 1 (the expansion expression x-1): powers of (x-1), the point written as 1.
        {"series about a point",
         node(DAG_SERIES, {node(DAG_SUM, {N("x"), I(1), I(-1), I(1)}), I(2), reinterpret_cast<Dag>(DagWord(0)),
                           I(-3), reinterpret_cast<Dag>(DagWord(2)),
                           node(DAG_FUNCTION, {N("O"), node(DAG_EXPSEQ, {I(1)})}),
                           reinterpret_cast<Dag>(DagWord(3))}),
         "series(2-3*(x-1)^2+O((x-1)^3),x=1,3)"},
        {"series about a name",
         node(DAG_SERIES, {node(DAG_SUM, {N("x"), I(1), N("a"), I(-1)}), I(2), reinterpret_cast<Dag>(DagWord(1))}),
         "series(2*(x-a),x=a)"},
    };
    for (const Row& r : rows) EXPECT_EQ(print_to_text(r.dag), r.expected) << r.name;
}

TEST_F(PrintTest, ProcedureNamesItsLocalsAndParameters) {
    // proc(x) local y; y := x + nargs end with LOCAL 1 and PARAM 1 in the body.
    Dag local1 = node(DAG_LOCAL, {reinterpret_cast<Dag>(DagWord(1))});
    Dag param1 = node(DAG_PARAM, {reinterpret_cast<Dag>(DagWord(1))});
    Dag nargs = node(DAG_PARAM, {reinterpret_cast<Dag>(DagWord(0))});
    Dag body = node(DAG_STATSEQ, {node(DAG_ASSIGN, {local1, node(DAG_SUM, {param1, I(1), nargs, I(1)})})});
    Dag proc = node(DAG_PROC, {node(DAG_EXPSEQ, {node(DAG_DCOLON, {N("x"), N("integer")})}),
                               node(DAG_EXPSEQ, {N("y")}), dag_NULL, dag_NULL, body, dag_NULL,
                               dag_NULL, dag_NULL});
    EXPECT_EQ(print_to_text(proc), "proc (x::integer) local y; y := x+nargs end");
}

TEST_F(PrintTest, QuotingModes) {
    Dag spaced = N("a b");
    Dag f = node(DAG_FUNCTION, {N("f"), node(DAG_EXPSEQ, {spaced})});
    Dag s = dag_intern("text", DAG_STRING);
    EXPECT_EQ(print_to_text(spaced, 0), "`a b`");
    EXPECT_EQ(print_to_text(spaced, PRINT_TOP_UNQUOTED), "a b");
    EXPECT_EQ(print_to_text(f, PRINT_TOP_UNQUOTED), "f(`a b`)");
    EXPECT_EQ(print_to_text(f, PRINT_RAW), "f(a b)");
    EXPECT_EQ(print_to_text(s, 0), "\"text\"");
    EXPECT_EQ(print_to_text(s, PRINT_RAW), "text");
    // A top-level sequence is one level shallower: its items count as outermost.
    Dag pair = node(DAG_EXPSEQ, {spaced, N("c")});
    EXPECT_EQ(print_to_text(pair, PRINT_TOP_UNQUOTED), "a b, c");
}

TEST_F(PrintTest, TrailingTildes) {
    EXPECT_EQ(print_to_text(N("x~")), "x");
    EXPECT_EQ(print_to_text(N("x~"), PRINT_TILDES), "x~");
}

TEST_F(PrintTest, Attributes) {
    Dag f = node(DAG_FUNCTION, {N("f"), node(DAG_EXPSEQ, {N("x")}), N("attr")});
    EXPECT_EQ(print_to_text(f), "f(x)");
    EXPECT_EQ(print_to_text(f, PRINT_ATTRIBUTES), "setattribute(f(x),attr)");
}

TEST_F(PrintTest, ProtectedAssignment) {
    Dag name = dag_new(dag_length(N("pp")), DAG_NAME);
    std::memcpy(name, N("pp"), dag_length(N("pp")) * sizeof(DagWord));
    dag_set_op(name, 2, N("protected"));
    EXPECT_EQ(print_to_text(node(DAG_ASSIGN, {name, I(1)})),
              "unprotect('pp'); pp := 1; protect('pp')");
    EXPECT_EQ(print_to_text(node(DAG_ASSIGN, {N("x"), N("x")})), "x := 'x'");
}

TEST_F(PrintTest, LineBreaking) {
    struct Row { const char* name; const char* input; int width; const char* expected; } rows[] = {
        {"sum breaks at spaces", "a = bbbbbbbbbb+cccccccccc;", 12, "a = \nbbbbbbbbbb+\ncccccccccc"},
        {"number moves to a new line", "x = 123456789;", 12, "x = \n123456789"},
        {"long number breaks inside with a backslash", "123456789012345;", 11, "1234567890\\\n12345"},
        {"no width", "a = bbbbbbbbbb+cccccccccc;", 0, "a = bbbbbbbbbb+cccccccccc"},
    };
    for (const Row& r : rows) {
        ParseOutcome o = parseFull(r.input);
        ASSERT_NE(o.statement, nullptr) << r.name;
        EXPECT_EQ(print_to_text(o.statement, 0, r.width), r.expected) << r.name;
    }
}

TEST_F(PrintTest, SequenceSeparators) {
    Dag items = node(DAG_EXPSEQ, {N("a"), N("b"), N("c")});
    struct Row { const char* separator; const char* expected; } rows[] = {
        {", ", "a, b, c"}, {" ", "a b c"}, {"   ", "a   b   c"}, {",", "a,b,c"}, {"; ", "a; b; c"}};
    for (const Row& r : rows) {
        std::string text;
        print_sequence(items, r.separator, [](void* d, int c) { static_cast<std::string*>(d)->push_back(char(c)); },
                       nullptr, 0, 0, &text);
        EXPECT_EQ(text, r.expected) << '"' << r.separator << '"';
    }
}

TEST_F(PrintTest, UnprintableStopsWithTheTextSoFar) {
    std::string error;
    Dag bad = node(DAG_LIST, {node(DAG_EXPSEQ, {N("a"), node(DAG_CONTROL, {I(1)})})});
    EXPECT_EQ(print_to_text(bad, 0, 0, &error), "[a, ");
    EXPECT_EQ(error, "unprintable data structure");
    int depth = error_handler_depth();
    Dag deep = N("x");
    for (int i = 0; i < PRINT_MAX_DEPTH + 10; ++i) deep = node(DAG_NOT, {deep});
    print_to_text(deep, 0, 0, &error);
    EXPECT_EQ(error, "unprintable data structure");
    EXPECT_EQ(error_handler_depth(), depth);

    // An hfarray whose bounds multiply past the word size (wrapping to its count of 0) once
    // walked far past its data; found by fuzzing kernel replies.
    Dag wrapping = dag_new(7, DAG_HFARRAY);
    wrapping[1] = 0;
    wrapping[2] = 0;
    wrapping[3] = 1;
    wrapping[4] = DagWord(1) << 32;
    wrapping[5] = 1;
    wrapping[6] = DagWord(1) << 32;
    error.clear();
    print_to_text(wrapping, 0, 0, &error);
    EXPECT_EQ(error, "unprintable data structure");
}

// Hfarrays print as nested lists, first index slowest; an empty range is an empty list.
TEST_F(PrintTest, HfarrayNestedLists) {
    struct Row {
        const char* name;
        std::vector<long> bounds;
        std::vector<double> data;
        const char* expected;
    } rows[] = {
        {"one dimension", {1, 3}, {1, -2.5, 0.125}, "hfarray(1..3,[1,-2.5,0.125])"},
        {"two dimensions", {0, 1, 1, 2}, {1, 2, 3, 4}, "hfarray(0..1,1..2,[[1,2],[3,4]])"},
        // Once the printer took 25-52+1 as an unsigned extent and read far past the data.
        {"first range empty", {52, 25, 2, 10, 54, 9}, {}, "hfarray(52..25,2..10,54..9,[])"},
        {"inner range empty", {1, 2, 5, 4}, {}, "hfarray(1..2,5..4,[[],[]])"},
        // An empty array costs no data however large its other ranges: printing a billion
        // empty lists once hung the worksheet.
        {"too many empty lists", {1, 1000000000, 2, 1}, {}, ""},
        {"too many empty lists past a full range",
         {1, 1000000000, std::numeric_limits<long>::min(), std::numeric_limits<long>::max(), 2, 1}, {}, ""},
        {"data does not fill the ranges", {1, 2, 1, 2}, {1, 2, 3}, ""},
    };
    for (const Row& r : rows) {
        Dag a = dag_new(3 + r.bounds.size(), DAG_HFARRAY);
        for (std::size_t k = 0; k < r.bounds.size(); ++k) a[3 + k] = DagWord(r.bounds[k]);
        hfarray_alloc(a, r.data.size());
        for (std::size_t k = 0; k < r.data.size(); ++k) hfarray_data(a)[k] = r.data[k];
        std::string error;
        EXPECT_EQ(print_to_text(a, 0, 0, &error), r.expected) << r.name;
        EXPECT_EQ(error, r.expected[0] == '\0' ? "unprintable data structure" : "") << r.name;
    }
}

TEST_F(PrintTest, NameQuotingRules) {
    struct Row { const char* text; bool quotes; } rows[] = {
        {"", true}, {"abc", false}, {"a_1%", false}, {"_x", false}, {"if", true}, {"1a", true},
        {"a b", true}, {"%a$?", false}, {"%a~", true}, {"~a$_", false}, {"~a%", true}, {"&x", true},
        {"x", false}, {"a.b", true}};
    for (const Row& r : rows) EXPECT_EQ(name_needs_quotes(r.text), r.quotes) << '"' << r.text << '"';
}

}  // namespace
