// Document::exportLatex: golden files of a small worksheet with both preambles, the header's
// comment lines, the style definitions, the export state the elements see, and the plot
// device put back after exports that succeed, fail in the stream or raise in an element.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "LatexFakes.h"
#include "document/edit/Document.h"
#include "document/exec/ExecutionGroup.h"
#include "document/elements/SectionElement.h"
#include "tests/document/document_env.h"
#include "tovu/ifvars.h"

namespace {

std::time_t fixedClock() { return 1699000000; }   // Fri Nov  3 08:26:40 2023 UTC

// A fixed clock read as UTC, and the program's plot device and output as they were.
class LatexExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        setenv("TZ", "UTC0", 1);
        tzset();
        savedClock_ = latexExportClock;
        latexExportClock = fixedClock;
        InterfaceSettings* s = interface_default_block();
        savedDevice_ = s->plotdevice;
        savedOutput_ = s->plotoutput;
    }
    void TearDown() override {
        if (hadTz_) setenv("TZ", savedTz_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
        latexExportClock = savedClock_;
        setPlot(savedDevice_.c_str(), savedOutput_.c_str());
    }
    static void setPlot(const char* device, const char* output) {
        InterfaceSettings* s = interface_default_block();
        std::snprintf(s->plotdevice, sizeof s->plotdevice, "%s", device);
        std::snprintf(s->plotoutput, sizeof s->plotoutput, "%s", output);
    }

private:
    std::string savedTz_;
    bool hadTz_ = false;
    LatexExportClock savedClock_ = nullptr;
    std::string savedDevice_, savedOutput_;
};

int addParaStyle(Document& doc, const char* name, int index) {
    auto s = std::make_unique<ParaStyle>();
    s->setName(name);
    return doc.styleSet()->addParaStyle(std::move(s), index);
}

int addCharStyle(Document& doc, const char* name, int index) {
    auto s = std::make_unique<CharStyle>();
    s->setName(name);
    return doc.styleSet()->addCharStyle(std::move(s), index);
}

Element* paragraph(int style, std::initializer_list<Element*> children, bool output = false) {
    auto* p = new LatexParagraph(style, false);
    p->setOutput(output);
    for (Element* c : children) p->insertChild(c, nullptr, kInsertAfter);
    return p;
}

// A section holding a group (an input and its line-printed output), text paragraphs in the
// user styles "Zeta Notes" and "Alpha Notes" (the first with a run in the character style
// "Emph", and the output in "2D Output", based on "2D Math"), one in a style whose name LaTeX
// cannot hold, and the unused style "Unused".  The section's heading uses "Heading 1".
void buildSmallWorksheet(Document& doc) {
    auto* root = new SectionElement();
    doc.setRoot(root);
    doc.setDisplayTitle("/home/user/sample.kws");
    addParaStyle(doc, "Zeta Notes", 256);
    addParaStyle(doc, "Alpha Notes", 257);
    addParaStyle(doc, "Unused", 258);
    addParaStyle(doc, "bad{name", 259);
    addCharStyle(doc, "Emph", 256);

    auto* section = new SectionElement(1);
    section->firstChild()->insertChild(new LatexText(0, "Intro", false), nullptr, kInsertAfter);
    auto* group = new ExecutionGroup();
    group->insertChild(paragraph(0, {new LatexInput("x := 1;", true, false)}), nullptr, kInsertAfter);
    group->insertChild(paragraph(2, {new LatexText(20, "x := 1", false)}, true), nullptr, kInsertAfter);
    section->insertChild(group, nullptr, kInsertAfter);
    section->insertChild(paragraph(256, {new LatexText(0, "Some ", false), new LatexText(256, "notes", false)}),
                         nullptr, kInsertAfter);
    section->insertChild(paragraph(257, {new LatexText(0, "More", false)}), nullptr, kInsertAfter);
    section->insertChild(paragraph(259, {new LatexText(0, "Odd", false)}), nullptr, kInsertAfter);
    root->insertChild(section, nullptr, kInsertAfter);
}

std::string exportToString(Document& doc, bool latex2e, bool* ok = nullptr) {
    std::ostringstream out;
    KLatexExportWriter writer(&out);
    bool result = doc.exportLatex(writer, 0, latex2e, "/tmp/out/sample.tex", "sample.tex");
    if (ok) *ok = result;
    return out.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

TEST_F(LatexExportTest, SmallWorksheetMatchesGoldenFiles) {
    struct Row {
        const char* name;
        bool latex2e;
        const char* golden;
    } rows[] = {{"LaTeX 2e", true, "latex/small_2e.tex"}, {"LaTeX 2.09", false, "latex/small_209.tex"}};
    for (const Row& r : rows) {
        Document doc;
        buildSmallWorksheet(doc);
        bool ok = false;
        std::string text = exportToString(doc, r.latex2e, &ok);
        EXPECT_TRUE(ok) << r.name;
        std::ifstream golden(dataPath(r.golden), std::ios::binary);
        ASSERT_TRUE(golden.good()) << r.golden;
        std::string expected((std::istreambuf_iterator<char>(golden)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, expected) << r.name;
        // Every line ends in CR LF: no bare line feed anywhere.
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << r.name << " at " << i;
    }
}

TEST_F(LatexExportTest, HeaderCommentsStayWhole) {
    struct Row {
        const char* name;
        std::string title;
        std::string shown;   // the title as the comment line holds it
    };
    std::string longPath = "/home/user";
    while (longPath.size() < 190) longPath += "/a folder with blanks";
    longPath = longPath.substr(0, 190) + "/sheet.kws";
    const Row rows[] = {
        {"200-character path with blanks", longPath, longPath},
        {"line breaks in the title", "first\nsecond\r\\end{document}", "first second \\end{document}"},
        {"empty title", "", ""},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(r.name != std::string("200-character path with blanks") || r.title.size() == 200);
        Document doc;
        doc.setRoot(new SectionElement());
        doc.setDisplayTitle(r.title.c_str());
        std::vector<std::string> lines = linesOf(exportToString(doc, true));
        ASSERT_GE(lines.size(), 4u) << r.name;
        EXPECT_EQ(lines[0], "%% Created by Kelvo V Release 5 (IBM INTEL NT)") << r.name;
        EXPECT_EQ(lines[1], "%% Source Worksheet: " + r.shown) << r.name;
        EXPECT_EQ(lines[2], "%% Generated: Fri Nov  3 08:26:40 2023") << r.name;
        EXPECT_EQ(lines[3], "\\documentclass{article}") << r.name;
        EXPECT_EQ(lines.back(), "%% End of Kelvo V Output") << r.name;
    }
}

TEST_F(LatexExportTest, StyleDefinitionsLeaveOutCommonStylesAndUnusableNames) {
    Document doc;
    buildSmallWorksheet(doc);
    // Names that would break the file, each on a used user paragraph style.
    const char* bad[] = {"a}b", "c\\d", "e%f", "g#h", "i~j", "k^^M", "l\xe9m", "tab\there"};
    int index = 300;
    for (const char* name : bad) {
        addParaStyle(doc, name, index);
        doc.root()->insertChild(paragraph(index++, {new LatexText(0, "x", false)}), nullptr, kInsertAfter);
    }
    addParaStyle(doc, "a$b&c_d [e]", index);
    doc.root()->insertChild(paragraph(index, {}), nullptr, kInsertAfter);
    std::string text = exportToString(doc, true);
    std::vector<std::string> defined;
    for (const std::string& line : linesOf(text))
        if (line.rfind("\\Define", 0) == 0) defined.push_back(line);
    EXPECT_EQ(defined, (std::vector<std::string>{"\\DefineParaStyle{Alpha Notes}", "\\DefineParaStyle{Heading 1}",
                                                 "\\DefineParaStyle{Zeta Notes}",
                                                 "\\DefineParaStyle{a$b&c_d [e]}", "\\DefineCharStyle{2D Math}",
                                                 "\\DefineCharStyle{2D Output}",
                                                 "\\DefineCharStyle{Emph}"}));
    // Paragraph styles 0 and 2 and character style 0 are used by every worksheet with input
    // and output, and never defined.
    for (const char* common : {"{Normal}", "{Text Output}", "{Kelvo Input}"})
        EXPECT_EQ(text.find(common), std::string::npos) << common;
    EXPECT_LT(text.find("\\DefineCharStyle"), text.find("\\begin{document}"));
}

TEST_F(LatexExportTest, ElementsSeeTheExportState) {
    Document doc;
    auto* root = new SectionElement();
    doc.setRoot(root);
    root->insertChild(paragraph(0, {new LatexProbe()}), nullptr, kInsertAfter);
    setPlot("window", "picture.out");
    LatexProbe::seen = LatexExportState();
    std::ostringstream out;
    KLatexExportWriter writer(&out);
    ASSERT_TRUE(doc.exportLatex(writer, 7, false, "/tmp/x/report.tex", "report.tex"));
    const LatexExportState& s = LatexProbe::seen;
    EXPECT_EQ(s.writer, &writer);
    EXPECT_EQ(s.option, 7);
    EXPECT_FALSE(s.latex2e);
    EXPECT_EQ(s.settings, interface_default_block());
    EXPECT_EQ(s.baseName, "report.tex");
    EXPECT_EQ(s.path, "/tmp/x/report.tex");
    EXPECT_TRUE(s.markResults);
    EXPECT_FALSE(s.resultMacroWritten);
    EXPECT_EQ(LatexProbe::deviceDuringWalk, "ps");
    EXPECT_STREQ(interface_default_block()->plotdevice, "window");
    EXPECT_STREQ(interface_default_block()->plotoutput, "picture.out");
    EXPECT_FALSE(writer.rawText);
}

// A stream buffer that takes `room` characters and then refuses every write.
class FullBuffer : public std::streambuf {
public:
    explicit FullBuffer(std::size_t room) : room_(room) {}

protected:
    int_type overflow(int_type c) override {
        if (room_ == 0) return traits_type::eof();
        --room_;
        return traits_type::not_eof(c);
    }

private:
    std::size_t room_;
};

TEST_F(LatexExportTest, PlotDeviceRestoredOnEveryPath) {
    enum Failure { NONE, STREAM_FULL, STREAM_RAISES, ELEMENT_RAISES, STREAM_FULL_AT_START };
    struct Row {
        const char* name;
        Failure failure;
        bool expectedResult;
        bool raises;
    } rows[] = {
        {"export that succeeds", NONE, true, false},
        {"stream full in the middle of the walk", STREAM_FULL, false, false},
        {"stream full before the header ends", STREAM_FULL_AT_START, false, false},
        {"stream raising on failure", STREAM_RAISES, false, false},
        {"element export raising", ELEMENT_RAISES, false, true},
    };
    for (const Row& r : rows) {
        Document doc;
        buildSmallWorksheet(doc);
        doc.root()->insertChild(paragraph(0, {new LatexProbe(r.failure == ELEMENT_RAISES)}), nullptr, kInsertAfter);
        // Large enough to pass the header and the style definitions.
        FullBuffer buffer(r.failure == STREAM_FULL_AT_START ? 20 : r.failure == NONE || r.failure == ELEMENT_RAISES ? 100000 : 400);
        std::ostream stream(&buffer);
        if (r.failure == STREAM_RAISES) stream.exceptions(std::ios::badbit | std::ios::failbit);
        KLatexExportWriter writer(&stream);
        setPlot("window", "plots/out.ps");
        LatexProbe::deviceDuringWalk.clear();
        bool result = !r.expectedResult;
        bool raised = false;
        try {
            result = doc.exportLatex(writer, 0, true, "/tmp/p.tex", "p.tex");
        } catch (const std::runtime_error&) {
            raised = true;
        }
        EXPECT_EQ(raised, r.raises) << r.name;
        if (!r.raises) EXPECT_EQ(result, r.expectedResult) << r.name;
        if (r.failure != STREAM_FULL_AT_START && r.failure != STREAM_RAISES)
            EXPECT_EQ(LatexProbe::deviceDuringWalk, "ps") << r.name;
        EXPECT_STREQ(interface_default_block()->plotdevice, "window") << r.name;
        EXPECT_STREQ(interface_default_block()->plotoutput, "plots/out.ps") << r.name;
    }
}

TEST_F(LatexExportTest, NoRootWritesNothing) {
    Document doc;
    std::ostringstream out;
    KLatexExportWriter writer(&out);
    EXPECT_FALSE(doc.exportLatex(writer, 0, true, "/tmp/p.tex", "p.tex"));
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
