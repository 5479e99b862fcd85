// Exported worksheets compile: pdflatex reads the export of a worksheet with nested sections,
// groups with active and inert inputs, line-printed outputs, warnings and errors, paragraphs
// in built-in and user styles (one named "center", others with characters LaTeX cannot take in
// a name), centred and right-justified paragraphs and bold, italic and underlined runs, with
// both preambles and the project's style files (share/latex of the build tree); pdftotext
// finds every input and output text in the PDF.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LatexFakes.h"
#include "document/edit/Document.h"
#include "document/exec/ExecutionGroup.h"
#include "document/elements/SectionElement.h"

namespace {

const char* const kInputs[] = {
    "x := 100%;   # a comment",
    "f := (a_1, b^2) -> a_1 & b^2 $ ~c;",
    "s := \"<tag>\" . {1, 2} . \\ \\\\ end;",
    "plot(sin(x), x = -Pi..Pi);",
};
const char* const kOutputs[] = {
    "x := 100%",
    "f := (a_1, b^2) -> a_1 & b^2 $ ~c   # kept",
    "s := <tag>{1, 2}\\n \\\\ {}",
};
// A 2-D input shows its typeset form, not its text.
const char* const k2dInput = "y := sqrt(x^2 + 1);";
const char* const k2dLatex = "$y:=\\sqrt{{x}^{2}+1}$";
const char* const kWarning = "Warning, `x` is implicitly declared local {50%}";
const char* const kError = "Error, (in f) invalid subscript selector: a_1^2 & $b$ < 3 > #4 ~5";

Element* para(int style, const char* env, std::initializer_list<Element*> children, bool output = false,
              const char* heading = "") {
    auto* p = new LatexParagraph(style, true, env, heading);
    p->setOutput(output);
    for (Element* c : children) p->insertChild(c, nullptr, kInsertAfter);
    return p;
}

Element* group(Element* input, std::initializer_list<Element*> outputs) {
    auto* g = new ExecutionGroup();
    g->insertChild(input, nullptr, kInsertAfter);
    for (Element* o : outputs) g->insertChild(o, nullptr, kInsertAfter);
    return g;
}

Element* output(int style, const char* text) {
    return para(style, "kelvottyout", {new LatexText(0, text, true)}, true);
}

// A section whose heading paragraph writes the section macro of its depth.
SectionElement* section(int level, const char* heading, std::initializer_list<Element*> children) {
    static const char* const macros[] = {"section", "subsection", "subsubsection"};
    auto* s = new SectionElement(level);
    Element* plain = s->firstChild();
    if (s->replaceChild(plain, para(3, "", {new LatexText(0, heading, true)}, false, macros[level > 3 ? 2 : level - 1])))
        delete plain;
    for (Element* c : children) s->insertChild(c, nullptr, kInsertAfter);
    return s;
}

int addPara(Document& doc, const char* name, int justification = 0) {
    auto s = std::make_unique<ParaStyle>();
    s->setName(name);
    s->justification = justification;
    return doc.styleSet()->addParaStyle(std::move(s), -1);
}

int addChar(Document& doc, const char* name) {
    auto s = std::make_unique<CharStyle>();
    s->setName(name);
    return doc.styleSet()->addCharStyle(std::move(s), -1);
}

void buildWorksheet(Document& doc) {
    auto* root = new SectionElement();
    doc.setRoot(root);
    doc.setDisplayTitle("/tmp/a worksheet/with % and # in its path {}.kws");
    int center = addPara(doc, "center");
    int notes = addPara(doc, "My Notes $&_ (2)");
    int centred = addPara(doc, nullptr, 3);
    int right = addPara(doc, nullptr, 2);
    int emph = addChar(doc, "Emph");
    int badChar = addChar(doc, "x}y^^Jz");

    auto* top = section(1, "Level one & 100%", {
        group(para(0, "kelvoinput", {new LatexInput(kInputs[0], true, true)}), {output(2, kOutputs[0])}),
        group(para(0, "kelvoinput", {new LatexInput(kInputs[1], true, true)}), {output(2, kOutputs[1])}),
        section(2, "Level two", {
            section(3, "Level three #3", {
                group(para(0, "", {new LatexInput(kInputs[2], false, true)}),
                      {output(2, kOutputs[2]), output(7, kWarning), output(8, kError)}),
                group(para(0, "kelvoinput", {new LatexInput(kInputs[3], true, true)}), {output(8, kError)}),
                group(para(0, "kelvoinput", {new LatexInput(k2dInput, true, true, k2dLatex)}), {}),
            }),
        }),
    });
    root->insertChild(top, nullptr, kInsertAfter);
    root->insertChild(para(18, "", {new LatexText(0, "A title in the built-in style", true)}), nullptr, kInsertAfter);
    root->insertChild(para(17, "", {new LatexText(0, "Fixed width: a_b #1 $2 {3} <4> \\5 ^6 ~7", true)}), nullptr,
                      kInsertAfter);
    root->insertChild(para(center, "", {new LatexText(0, "In the user style center", true)}), nullptr, kInsertAfter);
    root->insertChild(para(notes, "", {new LatexText(0, "Plain, ", true), new LatexText(0, "bold", true, 2),
                                      new LatexText(0, " italic", true, 1), new LatexText(0, " underlined", true, 4),
                                      new LatexText(emph, " emphasised", true, 0, "Emph"),
                                      new LatexText(badChar, " odd style", true, 3, "x}y^^Jz")}),
                      nullptr, kInsertAfter);
    const char* badNames[] = {"a{b", "c}d", "e\\f", "g%h", "i#j", "k~l", "m^^Jn", "o\xe9p"};
    for (const char* name : badNames) {
        int index = addPara(doc, name);
        root->insertChild(para(index, "", {new LatexText(0, name, true)}), nullptr, kInsertAfter);
    }
    root->insertChild(para(centred, "", {new LatexText(0, "Centred", true)}), nullptr, kInsertAfter);
    root->insertChild(para(right, "", {new LatexText(0, "Right-justified", true)}), nullptr, kInsertAfter);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The text without blanks and line breaks; the typewriter font's quotes, which pdftotext
// reads as typographic ones (U+2018, U+2019), as the ASCII characters they show.
std::string withoutBlanks(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (text.compare(i, 3, "\xE2\x80\x98") == 0 || text.compare(i, 3, "\xE2\x80\x99") == 0) {
            out += text[i + 2] == '\x98' ? '`' : '\'';
            i += 2;
        } else if (c != ' ' && c != '\n' && c != '\r' && c != '\t' && c != '\f') {
            out += c;
        }
    }
    return out;
}

TEST(LatexPdflatex, ExportedWorksheetCompilesWithBothPreambles) {
    for (bool latex2e : {true, false}) {
        SCOPED_TRACE(latex2e ? "LaTeX 2e" : "LaTeX 2.09");
        Document doc;
        buildWorksheet(doc);
        char dir[] = "/tmp/kelvo_latex_export_XXXXXX";
        ASSERT_TRUE(mkdtemp(dir));
        const std::string stem = "sheet";
        const std::string tex = std::string(dir) + "/" + stem + ".tex";
        {
            std::ofstream out(tex, std::ios::binary);
            KLatexExportWriter writer(&out);
            ASSERT_TRUE(doc.exportLatex(writer, 0, latex2e, tex, stem + ".tex"));
        }
        // The file holds what the test means to compile.
        std::string source = readFile(tex);
        for (const char* piece : {"\\DefineParaStyle{center}", "\\begin{center}", "\\begin{My Notes $&_ (2)}",
                                  "\\begin{flushright}", "\\subsubsection{", "\\kelvoinline{inert}{1d}", "\\kelvoinline{active}{2d}",
                                  "\\begin{kelvottyout}", "\\QTR{Emph}{", "\\textbf{", "\\textit{", "\\underline{"})
            EXPECT_NE(source.find(piece), std::string::npos) << piece;
        EXPECT_EQ(source.find("x}y"), std::string::npos);
        std::string latexDir = std::string(KELVO_BINARY_DIR) + "/share/latex";
        std::string cmd = "cd " + std::string(dir) + " && TEXINPUTS=" + latexDir +
                          ": pdflatex -interaction=nonstopmode -halt-on-error " + stem +
                          ".tex > pdflatex.out 2>&1 && pdftotext -layout " + stem + ".pdf " + stem + ".txt";
        int status = std::system(cmd.c_str());
        std::string log = readFile(std::string(dir) + "/" + stem + ".log");
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && log.find("\n! ") == std::string::npos)
            << "pdflatex failed on " << tex << "\n" << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
        // The style files were the project's copies.
        EXPECT_NE(log.find(latexDir + "/kelvo2e.sty"), std::string::npos);
        std::string pdfText = withoutBlanks(readFile(std::string(dir) + "/" + stem + ".txt"));
        for (const char* text : kInputs) EXPECT_NE(pdfText.find(withoutBlanks(text)), std::string::npos) << text;
        for (const char* text : kOutputs) EXPECT_NE(pdfText.find(withoutBlanks(text)), std::string::npos) << text;
        EXPECT_EQ(pdfText.find("sqrt(x^2"), std::string::npos);
        EXPECT_NE(pdfText.find("y:="), std::string::npos);
        for (const char* text : {kWarning, kError})
            EXPECT_NE(pdfText.find(withoutBlanks(text)), std::string::npos) << text;
        if (!::testing::Test::HasFailure()) std::system(("rm -rf " + std::string(dir)).c_str());
    }
}

}  // namespace
