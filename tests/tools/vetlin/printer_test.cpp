// Tests of the expression printer: objects built in the store, each with the text it prints.
#include "tools/vetlin/printer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/lexer.h"
#include "tools/vetlin/parser.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/writer.h"

namespace vetlin_test {
namespace {

class PrinterTest : public CheckerFixture {
public:
    VObj n(const char* text) { return store_name(text); }
    VObj i(long value) { return store_integer(value); }
    VObj seq(std::initializer_list<VObj> items) {
        VObj s = store_new(long(items.size()) + 1, DAG_EXPSEQ);
        long k = 1;
        for (VObj item : items) vl_set_op(s, k++, item);
        return s;
    }
    VObj call(const char* f, std::initializer_list<VObj> arguments) {
        return store_make(DAG_FUNCTION, n(f), seq(arguments));
    }
    // The parsed first statement of a source.
    VObj parse(const std::string& text) {
        restart(text);
        return parser_read_statement();
    }
};

TEST_F(PrinterTest, Forms) {
    const struct {
        const char* what;
        std::function<VObj(PrinterTest&)> object;
        const char* text;
    } rows[] = {
        {"a+b*c", [](PrinterTest& t) { return store_make(DAG_SUM, t.n("a"), t.i(1), store_make(DAG_PROD, t.n("b"), t.i(1), t.n("c"), t.i(1)), t.i(1)); }, "a+b*c"},
        {"(a+b)*c", [](PrinterTest& t) { return store_make(DAG_PROD, store_make(DAG_SUM, t.n("a"), t.i(1), t.n("b"), t.i(1)), t.i(1), t.n("c"), t.i(1)); }, "(a+b)*c"},
        {"PROD(x, 2)", [](PrinterTest& t) { return store_make(DAG_PROD, t.n("x"), t.i(2)); }, "x**2"},
        {"PROD(x, -1)", [](PrinterTest& t) { return store_make(DAG_PROD, t.n("x"), t.i(-1)); }, "1/x"},
        {"PROD(x, -3)", [](PrinterTest& t) { return store_make(DAG_PROD, t.n("x"), t.i(-3)); }, "1/x**3"},
        {"PROD(x, 1, y, -2)", [](PrinterTest& t) { return store_make(DAG_PROD, t.n("x"), t.i(1), t.n("y"), t.i(-2)); }, "x/y**2"},
        {"PROD(x, 1, y, -1)", [](PrinterTest& t) { return store_make(DAG_PROD, t.n("x"), t.i(1), t.n("y"), t.i(-1)); }, "x/y"},
        {"PROD(-2, 1, x, 1)", [](PrinterTest& t) { return store_make(DAG_PROD, t.i(-2), t.i(1), t.n("x"), t.i(1)); }, "(-2)*x"},
        {"PROD(x, 1, y, n)", [](PrinterTest& t) { return store_make(DAG_PROD, t.n("x"), t.i(1), t.n("y"), t.n("n")); }, "x*y**n"},
        {"SUM(a, 1, b, -1)", [](PrinterTest& t) { return store_make(DAG_SUM, t.n("a"), t.i(1), t.n("b"), t.i(-1)); }, "a-b"},
        {"SUM(a, 1, b, 2)", [](PrinterTest& t) { return store_make(DAG_SUM, t.n("a"), t.i(1), t.n("b"), t.i(2)); }, "a+2*b"},
        {"SUM(a, 1, b, -3)", [](PrinterTest& t) { return store_make(DAG_SUM, t.n("a"), t.i(1), t.n("b"), t.i(-3)); }, "a-3*b"},
        {"SUM(a, -1)", [](PrinterTest& t) { return store_make(DAG_SUM, t.n("a"), t.i(-1)); }, "-a"},
        {"SUM(a, 1, -2, 1)", [](PrinterTest& t) { return store_make(DAG_SUM, t.n("a"), t.i(1), t.i(-2), t.i(1)); }, "a-2"},
        {"SUM(a, 3, b, 1)", [](PrinterTest& t) { return store_make(DAG_SUM, t.n("a"), t.i(3), t.n("b"), t.i(1)); }, "3*a+b"},
        {"SUM(a, 1, SUM(b, 1, c, 1), -1)", [](PrinterTest& t) { return store_make(DAG_SUM, t.n("a"), t.i(1), store_make(DAG_SUM, t.n("b"), t.i(1), t.n("c"), t.i(1)), t.i(-1)); }, "a-(b+c)"},
        {"FLOAT(12345, -2)", [](PrinterTest& t) { return store_make(DAG_FLOAT, t.i(12345), t.i(-2)); }, "123.45"},
        {"FLOAT(5, 3)", [](PrinterTest& t) { return store_make(DAG_FLOAT, t.i(5), t.i(3)); }, "Float(5, 3)"},
        {"FLOAT(-25, -1)", [](PrinterTest& t) { return store_make(DAG_FLOAT, t.i(-25), t.i(-1)); }, "-2.5"},
        {"FLOAT(7, -3)", [](PrinterTest& t) { return store_make(DAG_FLOAT, t.i(7), t.i(-3)); }, "Float(7, -3)"},
        {"a negative power base", [](PrinterTest& t) { return store_make(DAG_POWER, t.i(-2), t.n("x")); }, "(-2) ** x"},
        {"rational", [](PrinterTest& t) { return store_make(DAG_RATIONAL, t.i(2), t.i(3)); }, "2/3"},
        {"a big integer", [](PrinterTest&) { return store_make(DAG_INTPOS, 5, 0, 12); }, "1200000005"},
        {"zero", [](PrinterTest& t) { return t.i(0); }, "0"},
        {"a string with a tab", [](PrinterTest&) { return store_string("a\tb\"c\\d"); }, "\"a\\tb\"c\\d\""},
        {"the escapes", [](PrinterTest&) { return store_string("\a\b\n\v\f\r\x1b"); }, "\"\\a\\b\\n\\v\\f\\r\\e\""},
        {"a name with a blank", [](PrinterTest& t) { return t.n("a b"); }, "`a b`"},
        {"the empty name", [](PrinterTest& t) { return t.n(""); }, "``"},
        {"a plain name", [](PrinterTest& t) { return t.n("x_1"); }, "x_1"},
        {"factorial", [](PrinterTest& t) { return t.call("factorial", {t.n("n")}); }, "n!"},
        {"factorial of a sum", [](PrinterTest& t) { return t.call("factorial", {store_make(DAG_SUM, t.n("n"), t.i(1), t.i(1), t.i(1))}); }, "(n+1)!"},
        {"a call", [](PrinterTest& t) { return t.call("f", {t.n("x"), t.i(2)}); }, "f(x,2)"},
        {"a table reference", [](PrinterTest& t) { return store_make(DAG_TABLEREF, t.n("T"), t.seq({t.i(1), t.n("j")})); }, "T[1,j]"},
        {"a list and a set", [](PrinterTest& t) { return t.seq({store_make(DAG_LIST, t.seq({t.i(1), t.i(2)})), store_make(DAG_SET, t.seq({t.n("a")}))}); }, "[1, 2], {a}"},
        {"relations", [](PrinterTest& t) { return store_make(DAG_AND, store_make(DAG_LESSTHAN, t.n("a"), t.n("b")), store_make(DAG_NOT, store_make(DAG_EQUATION, t.n("c"), t.i(1)))); }, "a < b and not c = 1"},
        {"an or inside an and", [](PrinterTest& t) { return store_make(DAG_AND, store_make(DAG_OR, t.n("a"), t.n("b")), t.n("c")); }, "(a or b) and c"},
        {"a range and a typed name", [](PrinterTest& t) { return t.seq({store_make(DAG_RANGE, t.i(1), t.n("n")), store_make(DAG_DCOLON, t.n("x"), t.n("integer"))}); }, "1 .. n, x::integer"},
        {"an unevaluated name", [](PrinterTest& t) { return store_make(DAG_UNEVAL, t.n("x")); }, "'x'"},
        {"a catenation", [](PrinterTest& t) { return store_make(DAG_CATENATE, t.n("x"), t.i(1)); }, "x . 1"},
        {"PARAM args", [](PrinterTest&) { return store_make(DAG_PARAM, VWord(-1)); }, "args"},
        {"PARAM nargs", [](PrinterTest&) { return store_make(DAG_PARAM, VWord(0)); }, "nargs"},
        {"PARAM procname", [](PrinterTest&) { return store_make(DAG_PARAM, VWord(-2)); }, "procname"},
        {"PARAM 3", [](PrinterTest&) { return store_make(DAG_PARAM, VWord(3)); }, "args[3]"},
        {"LOCAL 2", [](PrinterTest&) { return store_make(DAG_LOCAL, VWord(2)); }, "loc[2]"},
        {"a series", [](PrinterTest& t) { return store_make(DAG_SERIES, t.n("x"), t.i(1), 0, t.i(2), 1, t.i(3), VWord(-2)); }, "1+2*x**1+3*x**(-2)"},
        {"a series with its order term", [](PrinterTest& t) { return store_make(DAG_SERIES, t.n("x"), t.i(1), 0, t.n("O"), 4); }, "1+O(x**4)"},
        {"GARBAGE", [](PrinterTest&) { return store_new(3, DAG_GARBAGE); }, "----unable to print----"},
        {"code 0", [](PrinterTest&) { return store_new(2, 0); }, "----unable to print----"},
        {"LEXICAL", [](PrinterTest&) { return store_new(2, DAG_LEXICAL); }, "----unable to print----"},
        {"HFARRAY", [](PrinterTest&) { return store_new(2, DAG_HFARRAY); }, "----unable to print----"},
        {"code 44", [](PrinterTest&) { return store_new(2, 44); }, "----unable to print----"},
        {"code 50", [](PrinterTest&) { return store_new(2, 50); }, "----unable to print----"},
        {"a procedure", [](PrinterTest& t) { return t.parse("proc(x, y) local t; options remember; t := x; t + y end;\n"); },
         "proc (x, y) local t; options remember; t := x; t+y end"},
        {"a loop", [](PrinterTest& t) { return t.parse("for i from 2 to n while i < 9 do s := s + i od;\n"); },
         "for i from 2 by 1 to n while i < 9 do s := s+i od"},
        {"a loop over a list", [](PrinterTest& t) { return t.parse("for e in L do print(e) od;\n"); }, "for e in L do print(e) od"},
        {"a conditional", [](PrinterTest& t) { return t.parse("if a then b elif c then d else e fi;\n"); }, "if a then b elif c then d else e fi"},
        {"read and save", [](PrinterTest& t) { return t.seq({t.parse("read f;\n"), store_make(DAG_SAVE, t.seq({t.n("x"), t.n("y")}))}); }, "read f, save x, y"},
        {"quit", [](PrinterTest& t) { return t.parse("quit\n"); }, "quit"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        VObj o = row.object(*this);
        ASSERT_NE(o, nullptr) << row.what;
        EXPECT_EQ(printer_text(o), row.text) << row.what;
    }
}

// Through the line writer: the same text, wrapped as report lines are.
TEST_F(PrinterTest, WritesThroughTheLineWriter) {
    VObj sum = store_make(DAG_SUM, n("alpha"), i(1), n("beta"), i(-1));
    writer_begin_line(2);
    printer_print(sum);
    writer_end_line();
    std::string longName(90, 'n');
    writer_begin_line(0);
    printer_print(n(longName.c_str()));
    writer_end_line();
    EXPECT_EQ(output(), "  alpha-beta\n" + longName.substr(0, 79) + "\n    " + longName.substr(79) + "\n");
}

}  // namespace
}  // namespace vetlin_test
