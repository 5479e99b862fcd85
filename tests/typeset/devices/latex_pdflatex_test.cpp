// The writer's output compiles: documents of exported results, displayed and inline, go
// through pdflatex without an error.  The documents use the export's style file kelvo2e.sty (its
// kelvolatex environment and \kelvoIndent), the copy in the build tree's share/latex.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "latex_support.h"
#include "typeset/typeset.h"

using namespace tb;

namespace {

struct Result {
    std::string name;
    Dag dag;
};

Dag eq(Dag a, Dag b) { return Bin(DAG_EQUATION, a, b); }
Dag range(Dag a, Dag b) { return Bin(DAG_RANGE, a, b); }
Dag x() { return N("x"); }
Dag sum2(Dag a, Dag b) { return Sum({{a, I(1)}, {b, I(1)}}); }

std::string long_name(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(char('a' + i % 26));
    return s;
}

std::vector<Result> table_of_results() {
    std::string letters300 = long_name(300);
    std::string wide = long_name(40);
    Dag W = N(wide.c_str());
    std::vector<Result> r = {
        {"int indefinite", Fn("int", {Fn("sin", {x()}), x()})},
        {"int definite", Fn("int", {Pow(x(), I(2)), eq(x(), range(N("a"), N("b")))})},
        {"Int inert", Fn("Int", {Q(1, 2), eq(x(), range(I(0), N("infinity")))})},
        {"sum", Fn("sum", {Fn("f", {N("k")}), eq(N("k"), range(I(1), N("n")))})},
        {"product", Fn("product", {N("k"), eq(N("k"), range(I(1), N("n")))})},
        {"limit with direction", Fn("limit", {Q(1, 2), eq(x(), I(0)), N("left")})},
        {"limit", Fn("Limit", {Fn("sin", {x()}), eq(x(), N("infinity"))})},
        {"diff", Fn("diff", {Fn("f", {x(), N("y")}), x(), N("y")})},
        {"Diff twice", Fn("Diff", {Fn("g", {x()}), x(), x()})},
        {"exp", Fn("exp", {sum2(x(), I(1))})},
        {"abs", Fn("abs", {lt::tall_fraction()})},
        {"conjugate", Fn("conjugate", {sum2(x(), N("y"))})},
        {"sqrt", Fn("sqrt", {sum2(x(), I(1))})},
        {"eval bar", Fn("eval", {Fn("f", {x()}), eq(x(), I(1))})},
        {"factorial", Fn("factorial", {N("n")})},
        {"indexed name", Tref(N("a"), {I(1), N("j")})},
        {"vector", Fn("vector", {List({I(1), I(2), I(3)})})},
        {"matrix aligned", Fn("matrix", {List({List({I(1), I(-2)}), List({Q(3, 4), x()})})})},
        {"matrix of list rows", Fn("matrix", {List({List({W, I(1)}), List({I(2), W})})})},
        {"matrix of bracketed rows", Fn("matrix", {List({List({W, W, W}), List({I(2), I(3), I(4)})})})},
        {"piecewise", Fn("PIECEWISE", {List({I(1), Bin(DAG_LESSTHAN, x(), I(0))}),
                                       List({lt::tall_fraction(), N("otherwise")})})},
        {"procedure over lines", lt::nested_proc()},
        {"Greek and Symbol names", Seq({N("alpha"), N("Theta"), N("CHI"), N("Zeta"), N("ZETA"), N("aleph"),
                                        N("infinity"), N("GAMMA"), Fn("Re", {x()}), Fn("Im", {x()}),
                                        N("alpha1"), N("_beta"), N("Pi")})},
        {"escaped characters", Seq({S("a b'c\\d^e~f\"g#h$i%j&k_l{m}n\""), N("a'b"), N("c\\d"), N("e_f{g}"),
                                    N("caf\xE9"), S("tab\there")})},
        {"2^230", Big(lt::power_of_two(230))},
        {"300-letter string", S(letters300.c_str())},
        {"300-letter name", N(letters300.c_str())},
        {"read save quit", Seq({Un(DAG_READ, S("file.m")), Un(DAG_SAVE, S("out.m")), dag_new0(DAG_STOP)})},
        {"relations", Seq({Bin(DAG_LESSEQ, x(), I(1)), Bin(DAG_INEQUAT, x(), I(2)), Bin(DAG_AND, N("a"), N("b")),
                           Un(DAG_NOT, N("c")), Bin(DAG_OR, N("a"), N("b")), Bin(DAG_ASSIGN, N("a"), I(1))})},
        {"list and set", Seq({List({I(1), x()}), Set({N("a"), N("b")}), range(I(1), I(9))})},
        {"tall bracket closing on the next line", lt::bracketed_times_z(lt::long_sum(30))},
        {"float", F(-12345, -3)},
    };
    return r;
}

// A seeded generator of expressions: sums, products, powers, special calls, lists, matrices.
class RandomExpressions {
public:
    explicit RandomExpressions(unsigned seed) : rng_(seed) {}

    Dag next(int depth = 0) {
        int pick = depth >= 3 ? 0 : uniform(0, 10);
        switch (pick) {
        case 0: case 1: return leaf();
        case 2: return Sum({{next(depth + 1), I(uniform(1, 3))}, {next(depth + 1), I(-1)}, {leaf(), I(1)}});
        case 3: return Prod({{next(depth + 1), I(1)}, {next(depth + 1), I(uniform(-2, 2) == 0 ? 1 : -1)}});
        case 4: return Pow(next(depth + 1), uniform(0, 1) ? I(uniform(2, 9)) : leaf());
        case 5: {
            static const char* const fns[] = {"sin", "exp", "sqrt", "abs", "ln", "factorial", "conjugate", "f"};
            return Fn(fns[uniform(0, 7)], {next(depth + 1)});
        }
        case 6: return Fn(uniform(0, 1) ? "int" : "Int", {next(depth + 1), eq(x(), range(leaf(), leaf()))});
        case 7: return Fn(uniform(0, 1) ? "sum" : "product", {next(depth + 1), eq(N("k"), range(I(1), leaf()))});
        case 8: return List({next(depth + 1), leaf(), next(depth + 1)});
        case 9: return Fn("matrix", {List({List({leaf(), next(depth + 1)}), List({leaf(), leaf()})})});
        default: return Fn("diff", {Fn("f", {x()}), x()});
        }
    }

private:
    std::mt19937 rng_;

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    Dag leaf() {
        static const char* const names[] = {"x", "y", "alpha", "theta", "abc", "Omega", "n", "z_1"};
        switch (uniform(0, 3)) {
        case 0: return I(uniform(-99, 999));
        case 1: return Q(uniform(1, 9), uniform(2, 9));
        default: return N(names[uniform(0, 7)]);
        }
    }
};

// Runs pdflatex on a document of the writer's output for every expression, displayed and inline.
void expect_compiles(const std::string& stem, const std::vector<Result>& results) {
    std::ostringstream doc;
    doc << "\\documentclass{article}\n\\usepackage{kelvo2e}\n\\begin{document}\n";
    for (const Result& r : results) {
        for (bool inl : {false, true}) {
            lt::Written w = lt::write(r.dag, inl);
            ASSERT_EQ(w.result, 0) << r.name;
            doc << "% " << r.name << (inl ? " inline" : " displayed") << "\n\\begin{kelvolatex}\n"
                << w.text << (inl ? "\n" : "") << "\\end{kelvolatex}\n";
        }
    }
    doc << "\\end{document}\n";

    char dir[] = "/tmp/kelvo_pdflatex_XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string tex = std::string(dir) + "/" + stem + ".tex";
    std::ofstream(tex) << doc.str();
    std::string data = std::string(KELVO_BINARY_DIR) + "/share/latex";
    std::string cmd = "cd " + std::string(dir) + " && TEXINPUTS=" + data +
                      ": pdflatex -interaction=nonstopmode -halt-on-error " + stem +
                      ".tex > pdflatex.out 2>&1";
    int status = std::system(cmd.c_str());
    std::ifstream logFile(std::string(dir) + "/" + stem + ".log");
    std::stringstream log;
    log << logFile.rdbuf();
    std::string logText = log.str();
    bool errors = logText.find("\n! ") != std::string::npos;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && !errors)
        << "pdflatex failed on " << tex << "\n" << logText.substr(logText.size() > 3000 ? logText.size() - 3000 : 0);
    std::ifstream pdf(std::string(dir) + "/" + stem + ".pdf");
    EXPECT_TRUE(pdf.good());
    if (!::testing::Test::HasFailure()) std::system(("rm -rf " + std::string(dir)).c_str());
}

TEST(LatexPdflatex, TableOfResultsCompiles) { expect_compiles("results", table_of_results()); }

TEST(LatexPdflatex, RandomExpressionsCompile) {
    RandomExpressions gen(41);
    std::vector<Result> results;
    for (int i = 0; i < 200; ++i) results.push_back({"random " + std::to_string(i), gen.next()});
    expect_compiles("random", results);
}

}  // namespace
