// The LaTeX device's measures on the Debian AFM files, and the writer's output.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "latex_support.h"
#include "typeset/typeset.h"
#include "tests/support/named_rows.h"

using namespace tb;

namespace {

// ---- device -------------------------------------------------------------------------------------

class LatexDeviceTest : public ::testing::Test {
public:
    void SetUp() override {
        ctx = typeset_context_new(&LatexDevice);
        ASSERT_TRUE(ctx);
        LayoutOptions o;
        layout_options_init(3, &o, nullptr);
        ASSERT_EQ(LatexDevice.open(ctx, &o), 0);
    }
    void TearDown() override { typeset_context_free(ctx); }

    int metric(int font, int level, int m) { return LatexDevice.fontMetric(ctx, font, level, m); }
    int width(int ch, int font, int level) { return LatexDevice.charWidth(ctx, ch, font, level); }

    TypesetContext* ctx = nullptr;
};

TEST_F(LatexDeviceTest, MetricsAndWidths) {
    struct Row {
        const char* name;
        std::function<int(LatexDeviceTest&)> value;
        int expected;
    };
    const Row rows[] = {
        // 1303 AFM units, the Symbol box, is every font's height after equalising.
        {"height of roman at 12 pt", [](LatexDeviceTest& t) { return t.metric(STYLE_ROMAN, 0, 0); }, 1563},
        {"height of bold at 12 pt", [](LatexDeviceTest& t) { return t.metric(STYLE_BOLD, 0, 0); }, 1563},
        {"half height", [](LatexDeviceTest& t) { return t.metric(STYLE_ITALIC, 0, 1); }, 781},
        {"metric 11 twice the height", [](LatexDeviceTest& t) { return t.metric(STYLE_ROMAN, 0, 11); }, 3126},
        {"common ascent (Symbol box top)", [](LatexDeviceTest& t) { return t.metric(STYLE_ROMAN, 0, 2); }, 1212},
        {"rule thickness of roman", [](LatexDeviceTest& t) { return t.metric(STYLE_ROMAN, 0, 10); }, 60},
        {"x-height of roman", [](LatexDeviceTest& t) { return t.metric(STYLE_ROMAN, 0, 6); }, 486},
        {"Symbol without x-height", [](LatexDeviceTest& t) { return t.metric(STYLE_SYMBOL, 0, 8); }, -781},
        {"unknown metric", [](LatexDeviceTest& t) { return t.metric(STYLE_ROMAN, 0, 12); }, 0},
        {"blank at 12 pt", [](LatexDeviceTest& t) { return t.width(' ', STYLE_ROMAN, 0); }, 300},
        {"blank at 8 pt", [](LatexDeviceTest& t) { return t.width(' ', STYLE_ROMAN, 1); }, 200},
        {"blank at 5 pt", [](LatexDeviceTest& t) { return t.width(' ', STYLE_ROMAN, 2); }, 125},
        {"italic x at 12 pt", [](LatexDeviceTest& t) { return t.width('x', STYLE_ITALIC, 0); }, 532},
        {"italic x at 8 pt", [](LatexDeviceTest& t) { return t.width('x', STYLE_ITALIC, 1); }, 355},
        {"a byte above 127 as unsigned", [](LatexDeviceTest& t) { return t.width(char(0xF3), STYLE_SYMBOL, 0); },
         823},
        {"stretchy symbols always stretched", [](LatexDeviceTest& t) { return LatexDevice.symbolKind(t.ctx, 194, 0); },
         0},
        {"part limit of preset 3", [](LatexDeviceTest& t) { return t.ctx->partLimit; }, 36000},
        {"page width in hundredths of a point", [](LatexDeviceTest& t) { return t.ctx->pageWidth; }, 43200},
        {"size levels", [](LatexDeviceTest& t) { return t.ctx->levelCount; }, 3},
    };
    for (const Row& r : rows) EXPECT_EQ(r.value(*this), r.expected) << r.name;
}

TEST_F(LatexDeviceTest, StringExtentAndSymbolSizes) {
    TypesetNode n;
    LatexDevice.stringExtent(ctx, "sin", STYLE_ROMAN, 0, &n);   // 1167 AFM units
    EXPECT_EQ(n.width, 1400);
    EXPECT_EQ(n.height, 1563);
    EXPECT_EQ(n.ascent, 781);
    LatexDevice.stringExtent(ctx, "\xF3", STYLE_SYMBOL, 0, &n);
    EXPECT_EQ(n.width, 823);

    struct Row {
        int type, height, width, ascent;
    };
    const Row rows[] = {
        {200, 5000, 823, 2500},   // the integral: Symbol 0xF3 wide
        {204, 2, 2, 2},           // a slash two high keeps ascent 2
        {204, 900, 900, 450},
        {205, 1200, 1200, 600},
        {207, 3000, 60, 1500},    // bars: the roman rule thickness
        {194, 4000, 77, 2000},    // other types keep their width
    };
    for (const Row& r : rows) {
        TypesetNode s;
        s.type = r.type;
        s.width = 77;
        EXPECT_EQ(LatexDevice.sizeSymbol(ctx, &s, 0, r.height), r.width) << r.type;
        EXPECT_EQ(s.height, r.height) << r.type;
        EXPECT_EQ(s.size, r.height) << r.type;
        EXPECT_EQ(s.ascent, r.ascent) << r.type;
    }
}

TEST_F(LatexDeviceTest, GlyphNodesAreCachedPerSizeLevel) {
    TypesetNode* small = LatexDevice.glyphNode(ctx, G_COMMA, 1);
    TypesetNode* full = LatexDevice.glyphNode(ctx, G_COMMA, 0);
    EXPECT_EQ(small->width, 200);
    EXPECT_EQ(full->width, 300);
    EXPECT_EQ(LatexDevice.glyphNode(ctx, G_COMMA, 1), small);
    // Symbol glyphs are measured in the Symbol font: " = " is blank, 0x3D, blank, 250 + 549 + 250
    // AFM units scaled once.
    EXPECT_EQ(LatexDevice.glyphNode(ctx, G_EQUAL, 0)->width, 1258);
    TypesetNode* stretchy = LatexDevice.glyphNode(ctx, G_SLPAREN, 0);
    EXPECT_NE(stretchy, LatexDevice.glyphNode(ctx, G_SLPAREN, 0));   // arena nodes, never shared
    EXPECT_EQ(stretchy->width, 1);
    EXPECT_EQ(stretchy->height, 0);
}

TEST(LatexPointSizes, EachLevelTwoThirdsOfThePreviousAtLeastFour) {
    struct Row {
        int base, sizes[3];
    };
    for (const Row& r : {Row{12, {12, 8, 5}}, Row{6, {6, 4, 4}}, Row{30, {30, 20, 13}}}) {
        latex_set_point_sizes(r.base);
        for (int l = 0; l < 3; ++l) EXPECT_EQ(latex_point_size(l), r.sizes[l]) << r.base << " level " << l;
    }
    latex_set_point_sizes(12);
    EXPECT_EQ(latex_scale(1167, 0), 1400);
    EXPECT_EQ(latex_scale(-293, 2), -146);
}

// ---- writer: exact outputs ----------------------------------------------------------------------

using kelvo_test::PrintTo;

struct ExactCase {
    const char* name;
    std::function<Dag()> build;
    bool inlineForm;
    const char* expected;
};

const ExactCase kExact[] = {
    {"sum displayed", [] { return Sum({{N("x"), I(1)}, {I(1), I(1)}}); }, false, "\\[\nx + 1\n\\]\n"},
    {"sum inline", [] { return Sum({{N("x"), I(1)}, {I(1), I(1)}}); }, true, "$x + 1$"},
    {"alpha", [] { return N("alpha"); }, false, "\\[\n\\alpha \n\\]\n"},
    {"Theta, Symbol 0x51", [] { return N("Theta"); }, true, "$\\Theta $"},
    {"CHI, Symbol 0x43", [] { return N("CHI"); }, true, "$X $"},
    {"Greek with digits", [] { return N("beta12"); }, true, "$\\beta 12$"},
    {"italic name", [] { return N("abc"); }, true, "$\\mathit{abc}$"},
    {"roman function name", [] { return Fn("sin", {N("x")}); }, true, "$\\mathrm{sin}(x)$"},
    {"string with a blank and a percent", [] { return S("a b%"); }, true, "$\\mbox{``a~b\\%''}$"},
    {"escaped characters of a name", [] { return N("a_b#c"); }, true, "$\\mathit{a\\_b\\#c}$"},
    {"a byte above 127 in a name", [] { return N("caf\xE9"); }, true, "$\\mathit{caf\\char\"E9}$"},
    {"read", [] { return Un(DAG_READ, S("f")); }, true, "$\\textbf{read } \\mbox{``f''}$"},
    {"power", [] { return Pow(N("x"), I(2)); }, true, "$x^{2}$"},
    {"fraction inline", [] { return Q(1, 2); }, true, "$\\frac {1}{2}$"},
    {"fraction displayed", [] { return Q(1, 2); }, false, "\\[\n{\\displaystyle \\frac {1}{2}} \n\\]\n"},
};

class LatexExactTest : public ::testing::TestWithParam<ExactCase> {};

TEST_P(LatexExactTest, Output) {
    const ExactCase& c = GetParam();
    lt::Written w = lt::write(c.build(), c.inlineForm);
    EXPECT_EQ(w.result, 0);
    EXPECT_EQ(w.text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Writer, LatexExactTest, ::testing::ValuesIn(kExact),
                         [](const ::testing::TestParamInfo<ExactCase>& info) {
                             std::string n;
                             for (const char* p = info.param.name; *p; ++p)
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

// ---- writer: lines, columns and breaks -----------------------------------------------------------

std::vector<std::string> split_lines(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t nl = s.find('\n', start);
        out.push_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return out;
}

int count_of(const std::string& s, const std::string& what) {
    int n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + what.size())) ++n;
    return n;
}

TEST(LatexWriterLines, TwoLinesGoIntoAnEqnarray) {
    LayoutOptions o = lt::export_options(120);
    lt::Written w = lt::write(lt::long_sum(16), false, &o);
    ASSERT_EQ(w.result, 0);
    const std::string head = "\\begin{eqnarray*}\n\\lefteqn{";
    const std::string tail = "\n\\end{eqnarray*}\n";
    ASSERT_EQ(w.text.compare(0, head.size(), head), 0) << w.text;
    ASSERT_GE(w.text.size(), tail.size());
    EXPECT_EQ(w.text.substr(w.text.size() - tail.size()), tail) << w.text;
    // The first line closes the lefteqn; every line but the last ends with \\.
    std::size_t close = w.text.find("} \\\\");
    ASSERT_NE(close, std::string::npos) << w.text;
    EXPECT_EQ(w.text.find("\n & & "), close + 4);
    int lines = count_of(w.text, "\n & & ") + 1;
    EXPECT_GT(lines, 1);
    EXPECT_EQ(count_of(w.text, " \\\\"), lines - 1);
    for (int i = 1; i <= 16; ++i)
        EXPECT_EQ(count_of(w.text, "\\mathit{x" + std::to_string(i) + "}"), 1) << i << "\n" << w.text;
}

TEST(LatexWriterLines, NestedStatementsAreIndentedByTheirDepth) {
    lt::Written w = lt::write(lt::nested_proc(), false);
    ASSERT_EQ(w.result, 0);
    EXPECT_NE(w.text.find("\n & & \\kelvoIndent{2} "), std::string::npos) << w.text;
    EXPECT_NE(w.text.find("\\textbf{proc} "), std::string::npos) << w.text;
}

TEST(LatexWriterLines, NoLinePassesColumn65ForShortPieces) {
    for (bool inl : {false, true}) {
        lt::Written w = lt::write(lt::long_sum(60, "abc"), inl);
        ASSERT_EQ(w.result, 0);
        for (const std::string& line : split_lines(w.text)) EXPECT_LE(line.size(), 65u) << line;
        EXPECT_EQ(w.text.find("\n\n"), std::string::npos);
    }
}

TEST(LatexWriterLines, ALongPieceAfterADisplayOpeningGetsNoEmptyLine) {
    std::string digits = lt::power_of_two(230);
    ASSERT_EQ(digits.size(), 70u);
    lt::Written w = lt::write(Big(digits), false);
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.text, "\\[\n" + digits + "\n\\]\n");
}

TEST(LatexWriterLines, ALongStringKeepsEveryLetterAndBreaksWithPercent) {
    std::string letters;
    for (int i = 0; i < 300; ++i) letters.push_back(char('a' + i % 26));
    lt::Written w = lt::write(S(letters.c_str()), true);
    ASSERT_EQ(w.result, 0);
    std::size_t open = w.text.find("\\mbox{");
    std::size_t close = w.text.rfind('}');
    ASSERT_NE(open, std::string::npos);
    std::string inside = w.text.substr(open + 6, close - open - 6);
    EXPECT_GT(count_of(inside, "\n"), 0);
    EXPECT_EQ(count_of(inside, "\n"), count_of(inside, "%\n")) << inside;
    std::string joined;
    for (std::size_t i = 0; i < inside.size(); ++i) {
        if (inside.compare(i, 2, "%\n") == 0) {
            ++i;
            continue;
        }
        joined.push_back(inside[i]);
    }
    EXPECT_EQ(joined, "``" + letters + "''");
    for (const std::string& line : split_lines(w.text))
        EXPECT_TRUE(line.size() <= 65u || line.find_first_of(" {}") == std::string::npos) << line;
}

// ---- writer: glyphs, brackets and results --------------------------------------------------------

TEST(LatexWriterGlyphs, KeywordsOfReadSaveAndQuit) {
    struct Row {
        Dag d;
        const char* expected;
    };
    const Row rows[] = {
        {Un(DAG_READ, S("f")), "\\textbf{read } "},
        {Un(DAG_SAVE, S("f")), "\\textbf{save } "},
        {dag_new0(DAG_STOP), "\\textbf{quit} "},
    };
    for (const Row& r : rows) {
        lt::Written w = lt::write(r.d, true);
        ASSERT_EQ(w.result, 0);
        EXPECT_NE(w.text.find(r.expected), std::string::npos) << w.text;
        EXPECT_EQ(w.text.find(" ? "), std::string::npos) << w.text;
    }
}

// Per line of a display: every \left has its \right.
void expect_balanced_lines(const std::string& text) {
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(" \\\\", start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        EXPECT_EQ(count_of(line, "\\left") - count_of(line, "\\lefteqn"), count_of(line, "\\right")) << line;
        if (end == std::string::npos) break;
        start = end + 3;
    }
}

TEST(LatexWriterBrackets, PairsOnOneLineAndStrutsWhereTheBreakFalls) {
    lt::Written w = lt::write(lt::bracketed_times_z(lt::long_sum(30)), false);
    ASSERT_EQ(w.result, 0);
    ASSERT_NE(w.text.find("eqnarray"), std::string::npos) << w.text;
    expect_balanced_lines(w.text);
    // The opening bracket's line closes it with a null delimiter, the closing bracket's line
    // opens one; both sized by a strut.
    EXPECT_NE(w.text.find(" \\left( {\\vrule height"), std::string::npos) << w.text;
    EXPECT_NE(w.text.find("\\! \\left. "), std::string::npos) << w.text;
    EXPECT_EQ(count_of(w.text, "{\\vrule height"), 2) << w.text;

    // On one line the same brackets pair up without struts.
    lt::Written one = lt::write(lt::bracketed_times_z(lt::long_sum(1)), false);
    ASSERT_EQ(one.result, 0);
    EXPECT_EQ(one.text.find("vrule"), std::string::npos) << one.text;
    EXPECT_EQ(count_of(one.text, "\\left("), 1) << one.text;
    EXPECT_EQ(count_of(one.text, "\\right)"), 1) << one.text;
}

TEST(LatexWriterResults, CallbackStopsAtTheFirstCharacter) {
    int calls = 0;
    int rc = latex_write_expression(
        N("x"), nullptr, false,
        [](void* u, int) {
            ++*static_cast<int*>(u);
            return 1;
        },
        &calls);
    EXPECT_EQ(rc, 6);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(latex_write_expression(N("x"), nullptr, false, nullptr, nullptr), 1);
}

TEST(LatexWriterResults, WithoutAfmFilesNothingIsWritten) {
    std::string saved = afm_directory();
    latex_unload_metrics();
    set_afm_directory((std::string(KELVO_TEST_DATA) + "/typeset/devices/none").c_str());
    int calls = 0;
    int rc = latex_write_expression(
        N("x"), nullptr, false,
        [](void* u, int) {
            ++*static_cast<int*>(u);
            return 0;
        },
        &calls);
    EXPECT_EQ(rc, 2);
    EXPECT_EQ(calls, 0);
    set_afm_directory(saved.c_str());
    // The failed load kept nothing: the next export loads the files again.
    EXPECT_EQ(lt::write(N("x"), true).result, 0);
}

}  // namespace
