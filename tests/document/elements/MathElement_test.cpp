// The math element: its two-dimensional character text laid out and drawn through a view of
// fixed metrics, and its "XPPMATH" record written and read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "document/elements/MathElement.h"
#include "document/export/LatexExport.h"
#include "document/records/KExportWriter.h"
#include "document/styles/WorksheetTagTable.h"
#include "tests/document/elements/text_fixture.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

namespace {

using namespace textfixture;

// The character-cell rendering at a width, as lines without their line feeds (leading and
// trailing blank lines and the indentation all lines share dropped).
std::vector<std::string> renderedLines(const char* source, int columns) {
    LayoutOptions options;
    layout_options_init(1, &options, interface_default_block());
    options.pageWidth = columns;
    int code = -1;
    std::string text = render_text_2d_string(parse_text(source), &options, &code);
    EXPECT_EQ(code, 0) << source;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.emplace_back(text, at, end - at);
        at = end + 1;
    }
    auto blank = [](const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; };
    while (!lines.empty() && blank(lines.back())) lines.pop_back();
    while (!lines.empty() && blank(lines.front())) lines.erase(lines.begin());
    std::size_t indent = std::string::npos;
    for (const std::string& line : lines)
        if (!blank(line)) indent = std::min(indent, line.find_first_not_of(' '));
    for (std::string& line : lines) line.erase(0, std::min(indent, line.size()));
    return lines;
}

class MathElementTest : public TextFixture {
protected:
    void SetUp() override {
        TextFixture::SetUp();
        registerMathReaders();
        worksheetTagTable.resetReadState();
    }
    void TearDown() override {
        worksheetTagTable.registerReader("XPPMATH", nullptr);   // other suites read "DAG" unread
        worksheetTagTable.resetReadState();
        TextFixture::TearDown();
    }
    MathElement* mathOf(const char* source) { return new MathElement(parse_text(source), MathElement::kResultValue); }
};

// ---- layout and drawing ---------------------------------------------------------------------------

// The element draws the renderer's lines at the view's width in characters, one row a line
// pitch apart, in the text-output face; its extent holds every line.
TEST_F(MathElementTest, DrawsTheTwoDimensionalTextAtTheViewsWidth) {
    struct Row {
        const char* name;
        const char* source;
        int viewWidth;   // pixels; 10 a character
        std::size_t minLines;
    } rows[] = {
        {"one line", "x^2+2*x+1;", 400, 1},
        {"a fraction stacks", "x^2/y;", 400, 3},
        {"a long sum breaks at 20 columns", "a1+a2+a3+a4+a5+a6+a7+a8+a9+a10+a11+a12;", 200, 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        MathElement* math = mathOf(r.source);
        ParagraphElement* p = paragraph({math});
        layoutAt(r.viewWidth);
        const std::vector<std::string> expected = renderedLines(r.source, r.viewWidth / kByteWidth);
        ASSERT_GE(expected.size(), r.minLines);
        view->drawn.clear();
        p->draw(0, 0, ElementRect{0, 0, r.viewWidth, 10000});
        // Each non-empty row of the rendering is drawn at its row's place; empty rows are not.
        std::vector<Drawn> lines;
        for (const Drawn& d : view->drawn)
            if (!d.text.empty()) lines.push_back(d);
        ASSERT_FALSE(lines.empty());
        std::size_t widest = 0, k = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            widest = std::max(widest, expected[i].size());
            if (expected[i].empty()) continue;
            ASSERT_LT(k, lines.size()) << "row " << i << " is not drawn";
            EXPECT_EQ(lines[k].text, expected[i]) << "row " << i;
            EXPECT_EQ(lines[k].y - lines[0].y, int(i) * kFontHeight) << "row " << i;
            EXPECT_EQ(lines[k].x, lines[0].x) << "row " << i;
            ++k;
        }
        EXPECT_EQ(k, lines.size()) << "nothing else is drawn";
        EXPECT_EQ(view->current.paraStyle, MathElement::kTextFaceParagraphStyle) << "the fixed-pitch face";
        EXPECT_EQ(math->width, int(widest) * kByteWidth);
        EXPECT_EQ(math->height, int(expected.size()) * kFontHeight);
        EXPECT_EQ(math->ascent, math->height - (kFontHeight - kFontAscent)) << "baseline on the last line";
    }
}

TEST_F(MathElementTest, AWiderViewRendersAgainInFewerLines) {
    const char* source = "a1+a2+a3+a4+a5+a6+a7+a8+a9+a10+a11+a12;";
    MathElement* math = mathOf(source);
    paragraph({math});
    layoutAt(200);
    const std::size_t narrow = math->textLines(math->viewColumns()).size();
    EXPECT_EQ(math->textLines(math->viewColumns()), renderedLines(source, 20));
    layoutAt(800);
    EXPECT_EQ(math->textLines(math->viewColumns()), renderedLines(source, 80));
    EXPECT_LT(math->textLines(math->viewColumns()).size(), narrow);
    EXPECT_EQ(math->height, kFontHeight) << "one line at 80 columns";
}

TEST_F(MathElementTest, WithoutAnExpressionNothingIsDrawnOrWritten) {
    MathElement* math = new MathElement(nullptr, MathElement::kResultValue);
    ParagraphElement* p = paragraph({math});
    layoutAt(400);
    view->drawn.clear();
    p->draw(0, 0, ElementRect{0, 0, 400, 1000});
    for (const Drawn& d : view->drawn) EXPECT_TRUE(d.text.empty()) << d.text;
    EXPECT_EQ(math->expression(), nullptr);
    EXPECT_EQ(written().find("XPPMATH"), std::string::npos) << written();
}

// ---- exports ---------------------------------------------------------------------------------------

// A result exported as text is its two-dimensional text at the writer's width (70 when the
// writer does not wrap), after a line break: a fraction keeps its three rows and a long sum
// breaks within the width.  A text export that dropped it would lose the worksheet's results.
TEST_F(MathElementTest, TextExportWritesTheTwoDimensionalTextAtTheWritersWidth) {
    std::string longSum;
    for (int i = 1; i <= 40; ++i) longSum += (i > 1 ? "+a" : "a") + std::to_string(i);
    longSum += ";";
    struct Row {
        const char* name;
        std::string source;
        int writerWidth;
        int columns;   // the rendering the export must hold
    } rows[] = {
        {"fraction, no wrapping", "x^2/y;", 0, 70},
        {"fraction at 70", "x^2/y;", 70, 70},
        {"long sum, no wrapping, breaks at 70", longSum, 0, 70},
        {"long sum at 40", longSum, 40, 40},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ParagraphElement* p = paragraph({mathOf(r.source.c_str())});
        p->setOutput(true);
        std::ostringstream out;
        KExportWriter writer(&out, r.writerWidth);
        WalkControl control;
        control.exportWriter = &writer;
        control.flags = WALK_BEFORE | WALK_AFTER;
        p->walkMethod(&Element::exportText, control);
        writer.writeString("", true);
        std::string text = out.str();
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ(text.substr(0, 2), "\r\n") << "the result starts on a line of its own: " << text;
        std::vector<std::string> exported;
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = text.find("\r\n", at);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(at, end - at);
            if (line.find_first_not_of(' ') != std::string::npos) exported.push_back(line);   // rows only
            at = end + 2;
        }
        std::vector<std::string> expected;
        for (const std::string& line : renderedLines(r.source.c_str(), r.columns))
            if (line.find_first_not_of(' ') != std::string::npos) expected.push_back(line);
        ASSERT_EQ(exported.size(), expected.size()) << text;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NE(exported[i].find(expected[i]), std::string::npos) << exported[i] << " / " << expected[i];
            EXPECT_LE(static_cast<int>(exported[i].size()), r.columns) << exported[i];
        }
        root->removeChild(p);
    }
}

// In a LaTeX export the result is LaTeX in the "kelvolatex" environment (one environment with
// its paragraph's), not an empty environment.
TEST_F(MathElementTest, LatexExportWritesTheExpressionInItsEnvironment) {
    ParagraphElement* p = paragraph({mathOf("x^2/y;")});
    p->setOutput(true);
    std::ostringstream out;
    KLatexExportWriter writer(&out, 0);
    LatexExportState state;
    state.writer = &writer;
    state.option = 432;
    WalkControl control;
    control.context = &state;
    control.flags = WALK_BEFORE | WALK_AFTER;
    root->walkMethod(&Element::exportLatexElement, control);
    writer.writeString("", true);
    const std::string tex = out.str();
    const std::size_t begin = tex.find("\\begin{kelvolatex}"), end = tex.find("\\end{kelvolatex}");
    ASSERT_NE(begin, std::string::npos) << tex;
    ASSERT_NE(end, std::string::npos) << tex;
    EXPECT_EQ(tex.find("\\begin{kelvolatex}", begin + 1), std::string::npos) << "one environment: " << tex;
    const std::string body = tex.substr(begin, end - begin);
    EXPECT_NE(body.find("frac"), std::string::npos) << tex;
    EXPECT_NE(body.find('x'), std::string::npos) << tex;
    EXPECT_EQ(state.errorFlags, 0);
}

// ---- the record ------------------------------------------------------------------------------------

// The element keeps its own copy: the reader's storage, reset for every expression read,
// holds none of it (the sanitizer build reports a use after free otherwise).
TEST_F(MathElementTest, RecordsRoundTripWithTheStyleIndexAndTheExpression) {
    struct Row {
        const char* source;
        int style;
    } rows[] = {{"x^2+2*x+1;", 20}, {"[a, b/c, sin(x)];", 20}, {"f(x) = -3.5*y;", 7}, {"\"text\";", 300}};
    std::string bytes;
    for (const Row& r : rows) {
        MathElement math(parse_text(r.source), r.style);
        KWorksheetWriter writer;
        WalkControl control;
        control.flags = WALK_BEFORE | WALK_AFTER;
        control.writer = &writer;
        math.walkMethod(&Element::writeElement, control);
        ASSERT_EQ(writer.getBuffer().rfind("{XPPMATH ", 0), 0u) << writer.getBuffer();
        bytes += writer.getBuffer();
    }
    auto back = readRecords(bytes);
    ASSERT_EQ(back.size(), std::size(rows));
    for (std::size_t i = 0; i < back.size(); ++i) {
        auto* math = dynamic_cast<MathElement*>(back[i].get());
        ASSERT_NE(math, nullptr) << rows[i].source;
        EXPECT_EQ(math->value(), rows[i].style) << rows[i].source;
        EXPECT_EQ(math->text(), print_to_text(parse_text(rows[i].source))) << rows[i].source;
        ASSERT_NE(math->expression(), nullptr);
    }
}

TEST_F(MathElementTest, RecordEdgeCases) {
    worksheetTagTable.charStyleRenumber.assign(512, 0);
    worksheetTagTable.charStyleRenumber[301] = 260;
    // The encoding of x (and of NULL) as the writer gives it.
    auto encoded = [](const DagWord* dag) {
        KWorksheetWriter writer;
        writer.writeExpression(dag);
        return writer.getBuffer();
    };
    const std::string x = encoded(parse_text("x;"));
    const std::string null = encoded(dag_NULL);
    struct Row {
        const char* name;
        std::string record;
        int major;
        int expectedStyle;   // -2: no element
    } rows[] = {
        {"NULL gives no element", "{XPPMATH 20 " + null + "}", 3, -2},
        {"an unmapped user style keeps its number", "{XPPMATH 300 " + x + "}", 3, 300},
        {"a mapped user style is renumbered", "{XPPMATH 301 " + x + "}", 3, 260},
        {"an index beyond 16 bits falls back to the result style", "{XPPMATH 70000 " + x + "}", 3, 20},
        {"the older tag reads the same", "{DAG 20 " + x + "}", 3, 20},
        {"an expression that is not an encoding gives nothing", "{XPPMATH 20 \"@@\" }", 3, -2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // A text run after the record is still read: the record was consumed whole.
        auto back = readRecords(r.record + "{TEXT -1 1 \"z\" }", r.major);
        ASSERT_FALSE(back.empty());
        auto* after = dynamic_cast<TextElement*>(back.back().get());
        ASSERT_NE(after, nullptr);
        EXPECT_STREQ(after->text(), "z");
        if (r.expectedStyle == -2) {
            EXPECT_EQ(back.size(), 1u);
            continue;
        }
        ASSERT_EQ(back.size(), 2u);
        auto* math = dynamic_cast<MathElement*>(back[0].get());
        ASSERT_NE(math, nullptr);
        EXPECT_EQ(math->value(), r.expectedStyle);
        EXPECT_EQ(math->text(), "x");
    }
}

TEST_F(MathElementTest, ACopyOwnsItsExpression) {
    auto original = std::make_unique<MathElement>(parse_text("x^2/y;"), 20);
    std::unique_ptr<Element> copy(original->cloneElement());
    original.reset();
    auto* math = dynamic_cast<MathElement*>(copy.get());
    ASSERT_NE(math, nullptr);
    EXPECT_EQ(math->text(), "x^2/y");
    EXPECT_EQ(math->textLines(40), renderedLines("x^2/y;", 40));
}

}  // namespace
