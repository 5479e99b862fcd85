// Procedures and statements on the character grid, and DAGs of procedures and statements whose
// indices or shapes do not fit (as a reader may build them from a file).

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "dag_build.h"
#include "fake_device.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

using namespace tb;

namespace {

Dag indexed(unsigned type, long index) {
    Dag d = dag_new(2, type);
    d[1] = static_cast<DagWord>(index);
    return d;
}

// PROC with parameters, locals, options, body, description, globals and lexical table.
Dag proc(Dag params, Dag locals, Dag options, Dag body, Dag lexicals = nullptr) {
    Dag p = dag_new(9, DAG_PROC);
    dag_set_op(p, 1, params);
    dag_set_op(p, 2, locals);
    dag_set_op(p, 3, options);
    dag_set_op(p, 4, dag_NULL);
    dag_set_op(p, 5, body);
    dag_set_op(p, 6, Seq({}));
    dag_set_op(p, 7, Seq({}));
    dag_set_op(p, 8, lexicals ? lexicals : Seq({}));
    return p;
}

Dag for6(Dag var, Dag from, Dag by, Dag to, Dag cond, Dag body) {
    Dag d = dag_new(7, DAG_FOR);
    Dag ops[] = {var, from, by, to, cond, body};
    for (std::size_t i = 0; i < 6; ++i) dag_set_op(d, i + 1, ops[i]);
    return d;
}

Dag if_of(std::initializer_list<Dag> ops) {
    Dag d = dag_new(ops.size() + 1, DAG_IF);
    std::size_t i = 1;
    for (Dag o : ops) dag_set_op(d, i++, o);
    return d;
}

std::string render(Dag d, int verboseproc = 1) {
    LayoutOptions o;
    layout_options_init(1, &o, nullptr);
    o.pageWidth = 60;
    o.verboseproc = verboseproc;
    int code = -1;
    std::string text = render_text_2d_string(d, &o, &code);
    EXPECT_EQ(code, 0);
    return text;
}

Dag param(long n) { return indexed(DAG_PARAM, n); }
Dag local(long n) { return indexed(DAG_LOCAL, n); }

TEST(Procedures, ListingHasItsLinesWithoutGapsAndTheBodyIndented) {
    Dag square = proc(Seq({N("x")}), Seq({}), Seq({}), Pow(param(1), I(2)));
    EXPECT_EQ(render(square), "  proc(x)\n    x^2\nend\n");
}

TEST(Procedures, ForLoopShowsOnlyTheKeywordsThatAreNeeded) {
    Dag loop = proc(Seq({}), Seq({N("i")}), Seq({}),
                    for6(local(1), I(1), I(1), I(10), N("true"), Fn("print", {local(1)})));
    EXPECT_EQ(render(loop),
              "  proc()\n"
              "local i;\n"
              "    for i to 10 do\n"
              "        print(i)\n"
              "    od\n"
              "end\n");
    Dag full = for6(N("i"), I(2), I(3), I(10), N("c"), N("s"));
    EXPECT_NE(render(full).find("for i from 2 by 3 to 10 while c do"), std::string::npos);
}

// The keywords of an IF, read line by line in order.
std::string keywords_of(const std::string& text) {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        std::size_t b = line.find_first_not_of(' ');
        if (b == std::string::npos) continue;
        line = line.substr(b);
        std::size_t sp = 0;
        while (sp < line.size()) {
            std::size_t e = line.find(' ', sp);
            std::string word = line.substr(sp, e - sp);
            if (word == "if" || word == "then" || word == "elif" || word == "else" || word == "fi")
                out += (out.empty() ? "" : " ") + word;
            sp = e == std::string::npos ? line.size() : e + 1;
        }
    }
    return out;
}

TEST(Procedures, IfKeywordsInOrder) {
    EXPECT_EQ(keywords_of(render(if_of({N("c"), N("a"), N("b")}))), "if then else fi");
    EXPECT_EQ(keywords_of(render(if_of({N("c1"), N("a"), N("c2"), N("b")}))), "if then elif then fi");
    EXPECT_EQ(keywords_of(render(if_of({N("c1"), N("a"), N("c2"), N("b"), N("d")}))),
              "if then elif then else fi");
}

TEST(Procedures, ParametersOutsideAProcedure) {
    EXPECT_EQ(render(param(3)), "                          args[3]\n");
    EXPECT_EQ(render(param(0)), "                           nargs\n");
    EXPECT_EQ(render(param(-1)), "                            args\n");
}

TEST(Procedures, CopyrightListingIsElidedBelowVerboseprocTwo) {
    Dag p = proc(Seq({N("x")}), Seq({N("t")}), Seq({N("Copyright (c) 2026")}), param(1));
    EXPECT_EQ(render(p, 1), "  proc(x)\n     ...\nend\n");
    EXPECT_EQ(render(p, 2), "  proc(x)\nlocal t;\noption `Copyright (c) 2026`;\n    x\nend\n");
}

TEST(Procedures, ArrowProcedureParenthesesOnlyForSeveralParameters) {
    Dag one = proc(Seq({N("x")}), Seq({}), Seq({N("operator"), N("arrow")}), Sum({{param(1), I(1)}, {I(1), I(1)}}));
    EXPECT_EQ(render(one), "                         x -> x + 1\n");
    Dag two = proc(Seq({N("x"), N("y")}), Seq({}), Seq({N("operator"), N("arrow")}),
                   Sum({{param(1), I(1)}, {param(2), I(1)}}));
    EXPECT_EQ(render(two), "                      (x, y) -> x + y\n");
}

TEST(Procedures, LocalInsideOneLineTextPrintsByItsName) {
    // A TABLE DAG has no layout of its own: it is shown as its one-line text, which must still
    // know the procedure it stands in.
    Dag bucket = dag_new(3, DAG_EXPSEQ);
    dag_set_op(bucket, 1, I(1));
    dag_set_op(bucket, 2, local(1));
    Dag hashtab = dag_new(2, DAG_HASHTAB);
    dag_set_op(hashtab, 1, bucket);
    Dag table = dag_new(4, DAG_TABLE);
    dag_set_op(table, 1, dag_NULL);
    dag_set_op(table, 2, N("false"));
    dag_set_op(table, 3, hashtab);
    Dag p = proc(Seq({}), Seq({N("count")}), Seq({}), table);
    std::string text = render(p);
    EXPECT_NE(text.find("table([(1)=count])"), std::string::npos) << text;
    // Outside its procedure the same LOCAL has no name to print.
    EXPECT_NE(render(table).find("loc[1]"), std::string::npos);
}

// ---- indices and shapes that do not fit -------------------------------------------------------

TEST(ProcedureFaults, IndicesOutsideTheirSequencesShowTheirNumbers) {
    Dag p = proc(Seq({}), Seq({N("u")}), Seq({}),
                 List({local(0), local(-5), local(1), local(2), indexed(DAG_LEXICAL, 0),
                       indexed(DAG_LEXICAL, -1), indexed(DAG_LEXICAL, 7),
                       indexed(DAG_LEXICAL, -9223372036854775807L - 1)}),
                 Seq({N("w"), local(1)}));
    EXPECT_EQ(render(p),
              "  proc()\nlocal u;\n"
              "    [LOC[0], LOC[-5], u, LOC[2], LEX[0], w, LEX[7],\n"
              "    LEX[9223372036854775808]]\nend\n");
}

TEST(ProcedureFaults, ForOfAnotherOperandCountAndEmptyOperandsFallBackToText) {
    Dag three = dag_new(4, DAG_FOR);
    dag_set_op(three, 1, N("i"));
    dag_set_op(three, 2, N("L"));
    dag_set_op(three, 3, N("s"));
    // The statement layouts put the body on a line of its own; the one-line text does not.
    auto one_line = [](const std::string& text) {
        return !text.empty() && text.find('\n') == text.size() - 1;
    };
    std::string text = render(three);
    EXPECT_TRUE(one_line(text)) << text;
    Dag holes = for6(N("i"), I(1), I(1), nullptr, N("true"), N("s"));
    text = render(holes);
    EXPECT_TRUE(one_line(text)) << text;
    Dag ifHoles = if_of({N("c"), nullptr});
    text = render(ifHoles);
    EXPECT_TRUE(one_line(text)) << text;
    // The same shapes whole are laid out as statements.
    EXPECT_FALSE(one_line(render(for6(N("i"), I(1), I(1), I(3), N("true"), N("s")))));
    EXPECT_FALSE(one_line(render(if_of({N("c"), N("s")}))));
}

TEST(ProcedureFaults, RememberBucketWithoutNullKeyEndsAtItsLastPair) {
    Dag bucket = dag_new(5, DAG_EXPSEQ);   // two pairs, no null key after them
    dag_set_op(bucket, 1, I(1));
    dag_set_op(bucket, 2, I(10));
    dag_set_op(bucket, 3, I(2));
    dag_set_op(bucket, 4, I(20));
    Dag table = dag_new(2, DAG_HASHTAB);
    dag_set_op(table, 1, bucket);
    Dag p = proc(Seq({N("n")}), Seq({}), Seq({N("remember")}), param(1));
    dag_set_op(p, 4, table);
    std::string text = render(p, 3);
    EXPECT_NE(text.find("# (1) = 10"), std::string::npos) << text;
    EXPECT_NE(text.find("# (2) = 20"), std::string::npos) << text;
}

TEST(ProcedureFaults, NumbersWithMissingPartsShowAsText) {
    Dag floatHole = dag_new(3, DAG_FLOAT);   // mantissa and exponent slots left empty
    Dag ratHole = dag_new(3, DAG_RATIONAL);
    dag_set_op(ratHole, 1, I(1));
    Dag shortFloat = dag_new(2, DAG_FLOAT);
    dag_set_op(shortFloat, 1, I(5));
    Dag sumHole = dag_new(5, DAG_SUM);   // x + (empty) with an empty coefficient
    dag_set_op(sumHole, 1, N("x"));
    dag_set_op(sumHole, 2, ratHole);
    dag_set_op(sumHole, 3, N("y"));
    // Exponents with no parts at all, or an empty first part, under a quote and as a term.
    Dag bareRat = dag_new(1, DAG_RATIONAL);
    Dag bareFloat = dag_new(1, DAG_FLOAT);
    Dag emptyRat = dag_new(3, DAG_RATIONAL);
    Dag quotedProd = Un(DAG_UNEVAL, Prod({{N("x"), bareRat}, {N("y"), emptyRat}, {N("z"), bareFloat}}));
    Dag negTerm = Sum({{Prod({{N("x"), emptyRat}, {N("y"), bareRat}}), I(2)}});
    for (Dag d : {floatHole, ratHole, shortFloat, sumHole, Sum({{N("x"), ratHole}, {N("y"), floatHole}}),
                  Prod({{N("x"), shortFloat}}), Prod({{N("x"), ratHole}}), Pow(N("x"), ratHole),
                  quotedProd, negTerm}) {
        LayoutOptions o;
        layout_options_init(1, &o, nullptr);
        int code = -1;
        render_text_2d_string(Fn("f", {d, d}), &o, &code);
        EXPECT_EQ(code, 0);
    }
}

// ---- linear mode inside listings, on the fake device ------------------------------------------

TEST(ProcedureListing, OnlyOneLineFormsKeepTheirSpecialLayout) {
    Dag body = List({Fn("exp", {N("x")}), Fn("@@", {N("f"), I(3)}), Fn("factorial", {N("n")}),
                     Fn("int", {N("f"), N("x")})});
    FakeDevice dev;
    ASSERT_EQ(dev.run(proc(Seq({}), Seq({}), Seq({}), body)), 0);
    EXPECT_EQ(dev.drawsOf("exp").size(), 1u);   // an ordinary call
    EXPECT_EQ(dev.drawsOf("e").size(), 0u);
    EXPECT_EQ(dev.drawsOf("@@").size(), 1u);    // joined like a composition
    EXPECT_EQ(dev.drawsOf("!").size(), 1u);
    EXPECT_EQ(dev.drawsOf("int").size(), 1u);
    EXPECT_TRUE(dev.drawsOfType(200).empty());
    // Outside a listing the same calls take their two-dimensional forms.
    ASSERT_EQ(dev.run(body), 0);
    EXPECT_EQ(dev.drawsOf("e").size(), 1u);
    EXPECT_EQ(dev.drawsOf("@@").size(), 0u);
    EXPECT_EQ(dev.drawsOfType(200).size(), 1u);
}

}  // namespace
