// Tests of the reports: small sources checked in the process with options, each with the whole
// report it prints and its exit status.  The expected reports are worked out from the report
// rules and the line writer's wrapping (79 columns, continuation lines 4 further in).
#include "tools/vetlin/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/vetlin.h"

namespace vetlin_test {
namespace {

struct Checked {
    int status = -1;
    std::string out;
    std::string err;
};

Checked run_checker(const std::string& source, std::vector<std::string> options) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fwrite(source.data(), 1, source.size(), in);
    std::rewind(in);
    options.insert(options.begin(), {"vetlin", "-q", "-s"});
    std::vector<const char*> argv;
    for (const std::string& o : options) argv.push_back(o.c_str());
    Checked r;
    r.status = vetlin_main(int(argv.size()), argv.data(), in, out, err);
    r.out = slurp(out);
    r.err = slurp(err);
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    return r;
}

struct Row {
    const char* what;
    std::string source;
    std::vector<std::string> options;
    std::string report;
    int status;
};

const std::string kUnusedLocal = "g := proc(x) local t; x end;\n";

const Row kRows[] = {
    {"an unused local", kUnusedLocal, {},
     "Procedure  g( x ) on line 1\n"
     "  These local variables were never used:  t\n", 2},
    {"an unused local at level 0", kUnusedLocal, {"-i", "0"}, "", 2},
    {"an unused local at level 1", kUnusedLocal, {"-i", "1"}, "", 2},
    {"an unused local at level 3", kUnusedLocal, {"-i", "3"},
     "Procedure  g( x ) on line 1\n"
     "  These local variables were never used:  t\n"
     "Global names used in this file:  g\n", 2},
    {"an unused local at level 4", kUnusedLocal, {"-i", "4"},
     "Procedure  g( x ) on line 1\n"
     "  These local variables were never used:  t\n"
     "  Parameter usage: \n"
     "      x      was used as a value\n"
     "  Local variable usage: \n"
     "      t      was never used\n"
     "  No functions were called.\n"
     "Global variables used in this file: \n"
     "    g      was assigned a procedure\n"
     "No functions were called.\n", 2},
    {"an unused local with -x", kUnusedLocal, {"-x"},
     "Procedure  g( x ) on line 1\n"
     "  These local variables were never used:  t\n"
     "  No functions were called.\n"
     "No functions were called.\n", 2},
    {"an unused local, syntax only and error 11 forced", kUnusedLocal, {"-S", "-t", "11"},
     "Procedure  g( x ) on line 1\n"
     "  These local variables were never used:  t\n", 2},
    {"an unused local, syntax only", kUnusedLocal, {"-S"}, "", 0},
    {"a clean procedure at level 4", "sq := proc(x) x^2 end;\n", {"-i", "4"},
     "Procedure  sq( x ) on line 1\n"
     "  Parameter usage: \n"
     "      x      was used as a value\n"
     "  No functions were called.\n"
     "Global variables used in this file: \n"
     "    sq     was assigned a procedure\n"
     "No functions were called.\n", 0},
    {"break at file level", "break;\n", {}, "A break statement is found outside of any loop on line 1\n", 3},
    {"needless backquotes", "`abc` := 1;\n", {}, "This name on line 1 does not need backquotes(``): abc\n", 2},
    {"a nested procedure",
     "outer := proc(a)\n    local inner;\n    inner := proc(y) local z; y end;\n    inner(a)\nend;\n", {},
     "Nested Procedure  inner( y ) on line 3\n"
     "  These local variables were never used:  z\n", 2},
    {"an operator procedure", "f := proc(x) options operator; local t; x end;\n", {},
     "Operator  f( x ) on line 1\n"
     "  These local variables were never used:  t\n", 2},
    {"an anonymous procedure", "proc() local t; 1 end;\n", {},
     "Anonymous Procedure  proc() on line 1\n"
     "  These local variables were never used:  t\n", 2},
    {"unreachable code", "f := proc(x)\nRETURN(x);\nx := 2\nend;\n", {},
     "Procedure  f( x ) on lines 1 to 4\n"
     "  There is unreachable code following a RETURN statement on line 2\n", 2},
    {"RETURN at file level", "RETURN(1);\n", {},
     "A RETURN statement is found outside of any procedure on line 1\n", 3},
    {"break in a procedure", "f := proc(x)\nbreak;\nx\nend;\n", {},
     "Procedure  f( x ) on lines 1 to 4\n"
     "  There is unreachable code following a break statement on line 2\n"
     "  A break statement is found outside of any loop on line 2\n", 3},
    {"implied multiplication", "y := 2(x+1);\n", {},
     "This function call on line 1 seems to be a product which is missing the * \n"
     "    operator: 2(x+1)\n", 2},
    {"an equation at level 2", "x = 1;\n", {}, "", 1},
    {"an equation at level 3", "x = 1;\n", {"-i", "3"},
     "An equation is used as a statement on line 1\n"
     "Global names used in this file:  x\n", 1},
    {"two equations", "y := 1;\nx = 1;\ny;\ny;\nx = 1;\n", {"-i", "3"},
     "There are 2 equations used as statements on lines 2, 5\n"
     "Global names used in this file:  x, y\n", 1},
    {"invalid targets", "1 := x;\n\n2 := y;\n", {},
     "Invalid left hand side of assignment on lines 1, 3\n", 3},
    {"a seq construct at level 3", "y := seq(i^2, j = 1..3);\n", {"-i", "3"},
     "The main expr of a seq construct on line 1 doesn't contain the iteration \n"
     "    control variable.\n"
     "Global names used in this file:  i, j, y\n", 1},
    {"a macro expanded to a number", "macro(n = 3);\nfor n to 2 do od;\n", {},
     "The macro name n was expanded into an non-assignable expr where a name was \n"
     "    needed  on line 2\n", 2},
    {"Pi assigned", "Pi := 3;\n", {},
     "These names are special to Kelvo: \n"
     "    Pi     defined throughout Kelvo, as a constant, for evalf, for evalhf\n", 1},
    {"Pi assigned with -l", "Pi := 3;\n", {"-l"}, "", 0},
    {"Pi assigned at level 3", "Pi := 3;\n", {"-i", "3"},
     "These system defined names were assigned a value:  Pi\n"
     "These names are special to Kelvo: \n"
     "    Pi     defined throughout Kelvo, as a constant, for evalf, for evalhf\n", 1},
    {"an underscore global", "_x := 1;\n", {},
     "Underscore names are reserved for use in the library. These global names start \n"
     "    with _:  _x\n", 2},
    {"an underscore global with -l", "_x := 1;\n", {"-l"}, "", 0},
    {"globals without underscores under -l", "f := proc() 1 end;\ng := proc() 2 end;\n", {"-l"},
     "These names were used as global names but the names don't start with _:  f, g\n", 2},
    {"one global under -l", "f := proc() 1 end;\n", {"-l"}, "", 0},
    {"a catenated name at level 3", "x.1 := 2;\n", {"-i", "3"},
     "Catenated names used in this file:  x . 1\n", 1},
    {"no functions called, with -x", "x := 1;\n", {"-x"}, "No functions were called.\n", 0},
    {"functions called, with -x", "x := f(1);\ny := g(x);\n", {"-x"},
     "These functions were called:  f, g\n", 0},
    {"usage lines at level 4", "y := x;\n", {"-i", "4"},
     "Global variables used in this file: \n"
     "    x      was used as a value\n"
     "    y      was assigned a value\n"
     "No functions were called.\n", 0},
    {"system names at level 4", "y := sin(x);\n", {"-i", "4"},
     "Global variables used in this file: \n"
     "    x      was used as a call-by-value arg\n"
     "    y      was assigned a value\n"
     "System names used in this file: \n"
     "    sin    was called as a fcn\n"
     "Kelvo uses these names: \n"
     "    sin    defined as a readlib-defined name, for evalc, for evalf, for the \n"
     "           diff routines, for the expand routine, for the limit routine, in \n"
     "           the series routines, for evalhf\n"
     "These functions were called:  sin\n", 0},
    {"error texts at level 4", "f := proc(x) if x then ERROR(`bad x`, x) fi; x end;\n", {"-i", "4"},
     "Procedure  f( x ) on line 1\n"
     "  Parameter usage: \n"
     "      x      was used as a value, used as a call-by-value arg\n"
     "  System names used in this procedure: \n"
     "      ERROR  was called as a fcn\n"
     "  Error msgs generated:\n"
     "      `bad x`, x\n"
     "  Kelvo uses these names: \n"
     "      ERROR  defined throughout Kelvo\n"
     "  These functions were called:  ERROR\n"
     "Global variables used in this file: \n"
     "    f      was assigned a procedure\n"
     "No functions were called.\n", 0},
    {"a typed parameter never used", "f := proc(n::integer) 1 end;\n", {},
     "Procedure  f( n::integer ) on line 1\n"
     "  These parameters were never used:  n::integer\n", 2},
    {"a parameter twice", "f := proc(x, x) x end;\n", {"-i", "1"},
     "Procedure  f( x ) on line 1\n"
     "  These names appeared more than once in the parameter list:  x\n", 3},
    {"the fifth syntax error ends the file", "break;\n1 2;\n1 2;\n1 2;\n1 2;\n1 2;\nRETURN(1);\n", {"-i", "0"}, "", 3},
};

TEST(ReportTest, WholeReports) {
    for (const Row& row : kRows) {
        const Checked r = run_checker(row.source, row.options);
        EXPECT_EQ(r.out, row.report) << row.what;
        EXPECT_EQ(r.status, row.status) << row.what;
        EXPECT_EQ(r.err, "") << row.what;
    }
}

TEST(ReportTest, ArgumentCountsAgainstTheDatabase) {
    ScratchFolder folder;
    std::FILE* db = std::fopen("procs.db", "w");
    std::fputs("f 2 2 0 lib.m\nh 2 5 0 h.m\n", db);
    std::fclose(db);
    const std::string source = "f(1, 2, 3);\nf(1);\nf(1, 2);\nh(1);\n";
    Checked r = run_checker(source, {"-d", "procs.db", "-i", "3"});
    EXPECT_EQ(r.out,
              "f was called with 3 args, on line 1 but defined for exactly 2 args in lib.m\n"
              "f was called with 1 arg on line 2 but defined for exactly 2 args in lib.m\n"
              "h was called with 1 arg on line 4 but defined for 2 to 5 args in h.m\n"
              "Global names used in this file:  f, h\n");
    EXPECT_EQ(r.status, 1);
    r = run_checker(source, {"-d", "procs.db"});   // class 3: below level 3 only the status shows
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
}

TEST(ReportTest, HeadingOverLongLineNumbers) {
    const std::string source = std::string(9000, '\n') + "f := proc(x)\nlocal t;\nx\nend;\n";
    const Checked r = run_checker(source, {});
    EXPECT_EQ(r.out, "Procedure  f( x ) on lines 9001 to 9004\n  These local variables were never used:  t\n");
}

TEST(ReportTest, CountPhrases) {
    const struct {
        long least, most;
        const char* phrase;
    } rows[] = {
        {0, 0, "no args"},          {1, 1, "exactly 1 arg"},    {2, 2, "exactly 2 args"},
        {2, 3, "2 or 3 args"},      {1, 999, "1 or more args"}, {0, 999, "any number of args"},
        {2, 5, "2 to 5 args"},      {998, 999, "998 or 999 args"},
    };
    for (const auto& row : rows) EXPECT_EQ(report_count_phrase(row.least, row.most), row.phrase);
}

}  // namespace
}  // namespace vetlin_test
