// Tests of the statement checks, the name usage and the procedure analysis: small sources (one a
// row) checked in the process, each summed up as what it recorded -- per procedure (in the order
// the analyses end) and for the file: Severity, parameters, locals and scoped names, the errors
// on names, the location entries with their lines -- and the run's exit status.
#include "tools/vetlin/checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/scoping.h"
#include "tools/vetlin/usage.h"

namespace vetlin_test {
namespace {

std::string text(const VWord* o) {
    if (o == nullptr) return "null";
    switch (vl_type(o)) {
    case DAG_NAME:
        return vl_name_text(o);
    case DAG_DCOLON:
        return text(vl_op(o, 1));
    case DAG_FUNCTION:
        return text(vl_op(o, 1)) + "()";
    case DAG_INTPOS:
    case DAG_INTNEG:
        return std::to_string(store_to_integer(o));
    default:
        return vl_type_name(vl_type(o));
    }
}

std::string records(const VWord* list) {
    std::string s;
    for (long i = 1; i < vl_length(list); ++i) s += (i > 1 ? "," : "") + text(usage_name(vl_op(list, i)));
    return s;
}

std::string pairs(const VWord* list) {
    std::string s;
    for (long i = 1; i + 1 < vl_length(list); i += 2)
        s += (i > 1 ? "," : "") + text(vl_op(list, i)) + "@" + text(vl_op(list, i + 1));
    return s;
}

std::string singles(const VWord* list) {
    std::string s;
    for (long i = 1; i < vl_length(list); ++i) s += (i > 1 ? "," : "") + text(vl_op(list, i));
    return s;
}

// The current scope as one line: only what is not empty.
std::string summary(const std::string& label) {
    const VetlinScope& s = vl.scope;
    std::string line = label + " S=" + std::to_string(vl.Severity);
    auto part = [&](const char* key, const std::string& value) {
        if (!value.empty()) line += std::string(" ") + key + "=" + value;
    };
    part("p", records(s.parameters));
    part("l", records(s.locals));
    part("s", records(s.scoped));
    part("g", records(s.globals));
    part("u", records(s.underscoreGlobals));
    std::vector<std::pair<int, std::string>> errors;
    for (long i = 1; i < vl_length(s.errors); ++i)
        for (int n = 0; n < VL_ERRORS; ++n)
            if ((usage_flags(vl_op(s.errors, i)) & (VWord(1) << n)) != 0)
                errors.emplace_back(n, text(usage_name(vl_op(s.errors, i))));
    std::sort(errors.begin(), errors.end());
    std::string e;
    for (const auto& [n, name] : errors) e += (e.empty() ? "" : ",") + std::to_string(n) + ":" + name;
    part("e", e);
    part("U", pairs(s.unreachable));
    part("L", pairs(s.outsideLoops));
    part("P", pairs(s.outsideProcedures));
    part("M", pairs(s.macroNames));
    part("Q", pairs(s.seqConstructs));
    part("E", singles(s.equations));
    part("I", pairs(s.impliedMultiplications));
    part("V", singles(s.invalidTargets));
    part("B", pairs(s.backquotes));
    return line;
}

std::vector<std::string>* analysed = nullptr;
void note_procedure(const char* name) { analysed->push_back(summary(name[0] == '\0' ? "anonymous" : name)); }

class ChecksTest : public CheckerFixture {
protected:
    void SetUp() override {
        CheckerFixture::SetUp();
        analysed = &lines_;
        usageAnalysedHook = note_procedure;
    }
    void TearDown() override {
        usageAnalysedHook = nullptr;
        analysed = nullptr;
        CheckerFixture::TearDown();
    }
    // Checks the source with the settings `configure` makes; every procedure's summary, the
    // file's, the macro names and the status, joined by " | ".
    template <typename Configure>
    std::string check(const std::string& text, Configure configure) {
        lines_.clear();
        restart(text);
        configure();
        const int status = exit_status([] { vl_statement_loop(); });
        lines_.push_back(summary("file"));
        lines_.push_back("T=" + std::to_string(vl.TotalSeverity) + " status " + std::to_string(status));
        std::string all;
        for (const std::string& l : lines_) all += (all.empty() ? "" : " | ") + l;
        return all;
    }
    std::vector<std::string> lines_;
};

struct Row {
    const char* what;
    const char* source;
    const char* settings;   // "l": -l; "t11": -t 11
    const char* recorded;
};

const Row kRows[] = {
    {"a parameter twice", "f := proc(x, x) x end;", "",
     "f S=1 p=x e=3:x | file S=4 g=f | T=1 status 3"},
    {"a parameter also declared local", "f := proc(x) local x; x end;", "",
     "f S=1 p=x e=4:x | file S=4 g=f | T=1 status 3"},
    {"a local declared twice", "f := proc() local t, t; t := 1; t end;", "",
     "f S=1 l=t e=2:t | file S=4 g=f | T=1 status 3"},
    {"a local only assigned", "f := proc() local t; t := 1 end;", "",
     "f S=2 l=t e=13:t | file S=4 g=f | T=2 status 2"},
    {"a local read but never assigned", "f := proc() local t; t end;", "",
     "f S=2 l=t e=12:t | file S=4 g=f | T=2 status 2"},
    {"a local never mentioned", "f := proc() local t; 1 end;", "",
     "f S=2 l=t e=11:t | file S=4 g=f | T=2 status 2"},
    {"a local never mentioned, error 11 off", "f := proc() local t; 1 end;", "t11",
     "f S=4 l=t | file S=4 g=f | T=4 status 0"},
    {"a parameter never mentioned", "f := proc(x) 1 end;", "",
     "f S=2 p=x e=14:x | file S=4 g=f | T=2 status 2"},
    {"a parameter never mentioned, args used", "f := proc(x) args end;", "",
     "f S=3 p=x e=31:x | file S=4 g=f | T=3 status 1"},
    {"a parameter and a local that are system names", "f := proc(sin) local cos; cos := sin; cos end;", "",
     "f S=3 p=sin l=cos e=27:cos,27:sin | file S=4 g=f | T=3 status 1"},
    {"Digits and printlevel assigned in a procedure",
     "f := proc() Digits := 20; printlevel := 2 end;", "", "f S=4 | file S=4 g=f | T=4 status 0"},
    {"a system name assigned in a procedure", "f := proc() global Pi; Pi := 3 end;", "",
     "f S=3 e=24:Pi | file S=4 g=f | T=3 status 1"},
    {"Pi assigned at file level", "Pi := 3;", "", "file S=3 e=24:Pi | T=3 status 1"},
    {"Pi assigned at file level with -l", "Pi := 3;", "l", "file S=4 | T=4 status 0"},
    {"an underscore global and an environment name",
     "f := proc() global _y; _y := 1; _EnvZ := _EnvZ + 1 end;", "",
     "f S=2 u=_y e=10:_y | file S=4 g=f | T=2 status 2"},
    {"an underscore global with -l", "f := proc() global _y; _y := 1 end;", "l",
     "f S=4 u=_y | file S=4 g=f | T=4 status 0"},
    {"an undeclared global assigned", "f := proc() global g; g := 1; h := 2; h end;", "",
     "f S=2 l=h g=g e=21:h | file S=4 g=f | T=2 status 2"},
    {"a global used as a table", "f := proc() x[1] end;", "",
     "f S=2 g=x e=9:x | file S=4 g=f | T=2 status 2"},
    {"a global declared and used as a table", "f := proc() global x; x[1] end;", "",
     "f S=4 g=x | file S=4 g=f | T=4 status 0"},
    {"a global defined in a procedure without a declaration",
     "f := proc() g[1] := 2 end;", "",
     "f S=2 l=g e=13:g,21:g | file S=4 g=f | T=2 status 2"},
    {"a statement after RETURN", "f := proc(x)\nRETURN(x);\nx := 2\nend;", "",
     "f S=2 p=x U=RETURN@2 | file S=4 g=f | T=2 status 2"},
    {"only the first statement after a jump", "f := proc(x)\nRETURN(x);\nx;\nx\nend;", "",
     "f S=2 p=x U=RETURN@2 | file S=4 g=f | T=2 status 2"},
    {"an IF without else", "f := proc(x) if x then RETURN(1) fi; x end;", "",
     "f S=4 p=x | file S=4 g=f | T=4 status 0"},
    {"an IF whose branches all jump", "f := proc(x)\nif x then RETURN(1) else RETURN(2) fi;\nx\nend;", "",
     "f S=2 p=x U=if@2 | file S=4 g=f | T=2 status 2"},
    {"an IF with one branch that does not jump",
     "f := proc(x)\nif x then RETURN(1) elif x then x else RETURN(2) fi;\nx\nend;", "",
     "f S=4 p=x | file S=4 g=f | T=4 status 0"},
    {"break at file level", "break;", "", "file S=1 L=break@1 | T=1 status 3"},
    {"next in a procedure", "f := proc()\nnext\nend;", "",
     "f S=1 L=next@2 | file S=4 g=f | T=1 status 3"},
    {"break inside a loop", "for i to 3 do break od;", "", "file S=4 g=i | T=4 status 0"},
    {"quit makes the next statement unreachable", "f := proc()\nquit;\n1\nend;", "",
     "f S=2 U=quit@2 | file S=4 g=f | T=2 status 2"},
    {"RETURN at file level", "RETURN(1);", "", "file S=1 P=RETURN@1 | T=1 status 3"},
    {"ERROR in a procedure", "f := proc() ERROR(`bad value`) end;", "",
     "f S=4 | file S=4 g=f | T=4 status 0"},
    {"a loop reusing an enclosing loop's variable",
     "f := proc() local i; for i to 3 do for i to 2 do i od od end;", "",
     "f S=2 l=i e=6:i | file S=4 g=f | T=2 status 2"},
    {"a seq construct without its control variable", "y := seq(i^2, j = 1..3);", "",
     "file S=3 g=j,i,y Q=seq()@1 | T=3 status 1"},
    {"a seq construct with its control variable", "y := seq(i^2, i = 1..3);", "",
     "file S=4 g=i,y | T=4 status 0"},
    {"a sum over a loop variable", "for k to 2 do sum(k, k = 1..3) od;", "",
     "file S=2 g=k e=8:k | T=2 status 2"},
    {"a number called", "y := 2(x+1);", "", "file S=2 g=x,y I=2()@1 | T=2 status 2"},
    {"a name called on itself", "y := x(x+1);", "", "file S=2 g=x,y I=x()@1 | T=2 status 2"},
    {"a system function", "y := sin(x);", "", "file S=4 g=x,y | T=4 status 0"},
    {"a macro removed again", "macro(a = b);\nmacro(a = a);\ny := a;", "",
     "file S=4 g=a,y | T=4 status 0"},
    {"a macro expanded", "macro(a = b);\ny := a;", "", "file S=4 g=b,y | T=4 status 0"},
    {"a macro defined twice", "macro(a = b);\nmacro(a = c);", "", "file S=3 e=28:a | T=3 status 1"},
    {"a system name made a macro", "macro(sin = s);", "", "file S=3 e=25:sin | T=3 status 1"},
    {"a loop variable expanded to a number", "macro(n = 3);\nfor n to 2 do od;", "",
     "file S=2 M=n@2 | T=2 status 2"},
    {"an invalid assignment target", "1 := x;", "", "file S=1 g=x V=1 | T=1 status 3"},
    {"a name assigned in a procedure becomes a local", "f := proc() t := 1; t end;", "",
     "f S=2 l=t e=21:t | file S=4 g=f | T=2 status 2"},
    {"Digits assigned makes no local", "f := proc() Digits := 3; Digits end;", "",
     "f S=4 | file S=4 g=f | T=4 status 0"},
    {"an outer local used in an inner procedure",
     "outer := proc()\nlocal v, inner;\nv := 1;\ninner := proc() v end;\ninner()\nend;", "",
     "inner S=4 s=v | outer S=4 l=v,inner | file S=4 g=outer | T=4 status 0"},
    {"an inner procedure's unused local",
     "outer := proc(a) local inner; inner := proc(y) local z; y end; inner(a) end;", "",
     "inner S=2 p=y l=z e=11:z | outer S=4 p=a l=inner | file S=4 g=outer | T=2 status 2"},
    {"two equations on lines 2 and 5", "y := 1;\nx = 1;\ny;\ny;\nx = 1;\n", "",
     "file S=3 g=y,x E=2,5 | T=3 status 1"},
    {"two breaks on lines 3 and 8", "f := proc(x)\nx;\nbreak;\nx;\nx;\nx;\nx;\nbreak\nend;", "",
     "f S=1 p=x U=break@3 L=break@3,break@8 | file S=4 g=f | T=1 status 3"},
    {"needless backquotes once", "`abc` := 1;\nabc;\nabc;\n", "",
     "file S=2 g=abc B=abc@1 | T=2 status 2"},
    {"needless backquotes on a later line", "abc := 1;\nabc;\n`abc`;\n", "",
     "file S=2 g=abc B=abc@3 | T=2 status 2"},
    {"backquotes that are needed", "`a b` := 1;\n`1x` := 2;\n", "", "file S=4 g=a b,1x | T=4 status 0"},
    {"a catenated name", "x.1 := 2;", "", "file S=3 | T=3 status 1"},
    {"a catenated name with -l at file level", "x.1 := 2;", "l", "file S=4 | T=4 status 0"},
};

TEST_F(ChecksTest, WhatSourcesRecord) {
    for (const Row& row : kRows) {
        const std::string settings = row.settings;
        const std::string got = check(row.source, [&] {
            vl.suppressLibraryWarnings = settings == "l";
            if (settings == "t11") {
                vl.turnedOff[11] = true;
                vl.forced[11] = true;
            }
        });
        EXPECT_EQ(got, row.recorded) << row.what << "\n" << row.source;
    }
}

TEST_F(ChecksTest, MacroValueOfANonName) {
    EXPECT_EQ(MacroValue(store_integer(3)), nullptr);
    EXPECT_EQ(errors(), "vetlin: Internal error - MacroValue was passed something other than a name\n");
}

TEST_F(ChecksTest, MacroExpansionCopiesOnlyWhatChanged) {
    check("macro(a = b);", [] {});
    source("");
    VObj unchanged = store_simplify(store_make(DAG_SUM, store_name("x"), vl.one, store_name("y"), vl.one));
    EXPECT_EQ(checks_expand_macros(unchanged), unchanged);
    VObj statement = store_make(DAG_ASSIGN, store_name("y"), store_make(DAG_SUM, store_name("a"), vl.one));
    vl_set_lines(statement, 7, 9);
    VObj expanded = checks_expand_macros(statement);
    ASSERT_NE(expanded, statement);
    EXPECT_EQ(vl_op(expanded, 1), vl_op(statement, 1));
    EXPECT_STREQ(vl_name_text(vl_op(vl_op(expanded, 2), 1)), "b");
    EXPECT_EQ(vl_first_line(expanded), 7);
    EXPECT_EQ(vl_last_line(expanded), 9);
    EXPECT_STREQ(vl_name_text(vl_op(vl_op(statement, 2), 1)), "a");   // the original stays
    VObj definition = store_make(DAG_FUNCTION, store_name("macro"), store_make(DAG_EXPSEQ, store_name("a")));
    EXPECT_EQ(checks_expand_macros(definition), definition);
}

TEST_F(ChecksTest, DebugDumpsAndSeverityLines) {
    check("f := proc(x) x end;", [] { vl.debug = 1; });
    const std::string out = output();
    for (const char* expected : {"CheckStatement called with: ", "CheckExp called with: ",
                                 "Before body check, Severity=4, TotalSeverity=4\n",
                                 "After body check, Severity=4, TotalSeverity=4\n"})
        EXPECT_NE(out.find(expected), std::string::npos) << expected;
}

}  // namespace
}  // namespace vetlin_test
