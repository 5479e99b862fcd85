// Document::exportHtml with sections: file names with and without frames, the table of
// contents, collapsed sections' pages, escaping checked by outside parsers (xmllint and
// Python's html.parser), pictures read back by giflib, and failures.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/export/HtmlExporter.h"
#include "export/html_test_support.h"
#include "tests/support/named_rows.h"

namespace {

// Test elements that export through the writer as text runs, bookmarked paragraphs and
// pictures do (leaves: the walk visits them once, in its leaf pass).
class HtmlText : public TextElement {
public:
    explicit HtmlText(const char* text) : TextElement(0, text) {}
    Element* cloneElement() const override { return new HtmlText(text()); }
    void exportHtmlElement(WalkControl& control) override {
        if (control.pass() == PASS_LEAF && control.htmlExporter) control.htmlExporter->writeText(text());
    }
};

class HtmlBookmark : public TextElement {
public:
    explicit HtmlBookmark(const char* name) : TextElement(0, ""), name_(name) {}
    Element* cloneElement() const override { return new HtmlBookmark(name_.c_str()); }
    void exportHtmlElement(WalkControl& control) override {
        if (control.pass() != PASS_LEAF || !control.htmlExporter) return;
        control.htmlExporter->writeAnchor(name_.c_str());
        control.htmlExporter->endLink();
    }

private:
    std::string name_;
};

class HtmlPicture : public TextElement {
public:
    HtmlPicture(int width, int height, bool fails = false) : TextElement(0, ""), picture_(width, height, fails) {}
    Element* cloneElement() const override { return new HtmlPicture(*this); }
    void exportHtmlElement(WalkControl& control) override {
        if (control.pass() == PASS_LEAF && control.htmlExporter)
            control.htmlExporter->writeImage(picture_, "picture", false, 0);
    }

private:
    TestPicture picture_;
};

class HtmlParagraph : public ParagraphElement {
public:
    HtmlParagraph() : ParagraphElement(0, nullptr) {}
    HtmlParagraph(const HtmlParagraph& other) : ParagraphElement(other) {}
    Element* cloneElement() const override { return new HtmlParagraph(*this); }
    void exportHtmlElement(WalkControl& control) override {
        if (!control.htmlExporter) return;
        if (control.pass() == PASS_BEFORE) control.htmlExporter->beginParagraph(nullptr);
        if (control.pass() == PASS_AFTER) control.htmlExporter->endParagraph();
    }
};

Element* paragraph(std::initializer_list<Element*> items) {
    auto* p = new HtmlParagraph();
    for (Element* e : items) p->insertChild(e, nullptr, 2);
    return p;
}

SectionElement* section(int level, const char* heading, bool collapsed, std::initializer_list<Element*> children) {
    auto* s = new SectionElement(level);
    s->firstChild()->insertChild(new HtmlText(heading), nullptr, 2);
    for (Element* c : children) s->insertChild(c, nullptr, 2);
    s->setCollapsedFlag(collapsed);
    return s;
}

const char* const kBookmarkTop = "say \"hi\" & <b> there";
const char* const kBookmarkInner = "inner \"mark\" 100%";

// root: a paragraph with a bookmark; an expanded chapter holding a collapsed section (with an
// expanded and a collapsed section inside it); a collapsed second chapter.
void buildWorksheet(Document& doc) {
    auto* root = new SectionElement();
    doc.setRoot(root);
    doc.setDisplayTitle("Sheet <one> & two");
    root->insertChild(paragraph({new HtmlText("Intro <text> & more\nsecond line"), new HtmlBookmark(kBookmarkTop)}),
                      nullptr, 2);
    root->insertChild(
        section(1, "Chapter <1> & intro  ", false,
                {paragraph({new HtmlText("In chapter one")}),
                 section(2, "Collapsed & <hidden>", true,
                         {paragraph({new HtmlText("Hidden text one"), new HtmlPicture(7, 5)}),
                          section(3, "Inner expanded", false,
                                  {paragraph({new HtmlText("Inner text"), new HtmlBookmark(kBookmarkInner)})}),
                          section(3, "Deep collapsed", true, {paragraph({new HtmlText("Deep text")})})})}),
        nullptr, 2);
    root->insertChild(section(1, "Second", true, {paragraph({new HtmlText("Second text"), new HtmlPicture(3, 9)})}),
                      nullptr, 2);
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a command; its exit status and what it printed.
int run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The messages of xmllint's error lines (the lines after each show the place).
std::vector<std::string> xmllintFaults(const std::string& output) {
    std::vector<std::string> faults;
    const std::string marker = "parser error : ";
    size_t at = 0;
    while (at < output.size()) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(at, end - at);
        if (size_t m = line.find(marker); m != std::string::npos) faults.push_back(line.substr(m + marker.size()));
        at = end + 1;
    }
    return faults;
}

using kelvo_test::PrintTo;

struct ExportCase {
    const char* name;
    bool frames;
    std::set<std::string> pages;
    const char* content;  // the file holding the root's content
};

class HtmlExport : public ::testing::TestWithParam<ExportCase> {
protected:
    void TearDown() override { documentOptions.htmlFrames = true; }
};

TEST_P(HtmlExport, PagesNamesAndLinks) {
    const ExportCase& c = GetParam();
    documentOptions.htmlFrames = c.frames;
    TempFolder folder;
    Document doc;
    buildWorksheet(doc);
    KString error;
    ASSERT_TRUE(doc.exportHtml(folder.filePath("doc.html"), error)) << error.text();

    std::set<std::string> pages;
    for (const char* name : {"doc.html", "docTOC.html", "doc1.html", "doc2.html", "doc3.html", "doc4.html", "doc5.html"})
        if (fileExists(folder.file(name))) pages.insert(name);
    EXPECT_EQ(pages, c.pages);
    EXPECT_TRUE(fileExists(folder.file("images/doc1.gif")));
    EXPECT_TRUE(fileExists(folder.file("images/doc2.gif")));

    // Collapsed sections' pages in document order, each linked from the page around it.
    std::string content = readFile(folder.file(c.content));
    EXPECT_NE(content.find("<a href=\"doc4.html\" target=\"Content\">Second</a>"), std::string::npos);
    std::string chapterPage = content;
    EXPECT_NE(chapterPage.find("<a href=\"doc2.html\" target=\"Content\">Collapsed &amp; &lt;hidden&gt;</a>"),
              std::string::npos);
    std::string collapsedPage = readFile(folder.file("doc2.html"));
    EXPECT_NE(collapsedPage.find("Hidden text one"), std::string::npos);
    EXPECT_NE(collapsedPage.find("Inner text"), std::string::npos) << "an expanded section writes into its page";
    EXPECT_NE(collapsedPage.find("<a href=\"doc3.html\""), std::string::npos);
    EXPECT_NE(readFile(folder.file("doc3.html")).find("Deep text"), std::string::npos);
    EXPECT_EQ(content.find("Hidden text one"), std::string::npos);

    if (c.frames) {
        std::string toc = readFile(folder.file("docTOC.html"));
        EXPECT_NE(toc.find("<table width=1000><tr><td>\n"), std::string::npos);
        EXPECT_NE(toc.find("<a href=\"doc1.html#KelvoAutoBookmark1\" target=\"Content\">Sheet &lt;one&gt; &amp; two</a>"),
                  std::string::npos);
        EXPECT_NE(toc.find("<li><font size=-1><a href=\"doc1.html#KelvoAutoBookmark2\" target=\"Content\">"
                           "Chapter &lt;1&gt; &amp; intro</a></font>\n<ul>\n"),
                  std::string::npos);
        EXPECT_NE(toc.find("<a href=\"doc2.html#KelvoAutoBookmark4\""), std::string::npos)
            << "the expanded section inside the collapsed one is in the collapsed one's page";
    }

    // Outside readers: every link names an existing file and anchor; texts and bookmarks parse
    // back unchanged.
    std::string command = "python3 " + shellQuote(KELVO_SOURCE_DIR "/tests/document/export/check_html.py") + " " +
                          shellQuote(folder.path());
    for (const char* text : {"Intro <text> & more\nsecond line", "Chapter <1> & intro", "Collapsed & <hidden>",
                             "Inner text", "Deep text", "Second text"})
        command += " --text " + shellQuote(text);
    for (const char* anchor : {kBookmarkTop, kBookmarkInner}) command += " --anchor " + shellQuote(anchor);
    std::string output;
    EXPECT_EQ(run(command, output), 0) << output;

    // xmllint answers 0 even for pages it finds faults in: what it prints is the verdict.  The
    // frameset page's fixed markup (frames and the noframes text without a body) is all that
    // HTML 4's parser finds fault with.
    const std::set<std::string> frameset = {"Opening and ending tag mismatch: noframes and body",
                                            "Opening and ending tag mismatch: frameset and body"};
    for (const std::string& page : c.pages) {
        EXPECT_EQ(run("xmllint --html --noout " + shellQuote(folder.file(page)), output), 0) << page;
        for (const std::string& fault : xmllintFaults(output))
            EXPECT_TRUE(c.frames && page == "doc.html" && frameset.count(fault)) << page << ": " << fault;
    }

    DecodedGif gif = decodeGif(folder.file("images/doc1.gif"));
    ASSERT_TRUE(gif.ok);
    TestPicture source(7, 5);
    ASSERT_EQ(gif.pixels.size(), 35u);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(gif.pixels[y * 7 + x], source.pixelColor(x, y));
}

INSTANTIATE_TEST_SUITE_P(
    Frames, HtmlExport,
    ::testing::Values(
        ExportCase{"without_frames", false, {"doc.html", "doc2.html", "doc3.html", "doc4.html"}, "doc.html"},
        ExportCase{"with_frames", true, {"doc.html", "docTOC.html", "doc1.html", "doc2.html", "doc3.html", "doc4.html"},
                   "doc1.html"}),
    [](const ::testing::TestParamInfo<ExportCase>& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    bool frames;
    const char* blocked;  // made a directory before the export
    const char* error;
};

TEST(HtmlExportFailure, FilesThatCannotBeMade) {
    const FailureCase cases[] = {
        {"main file, frames", true, "doc.html", "Unable to create the main file"},
        {"contents, frames", true, "docTOC.html", "Unable to create a table of contents"},
        {"content, frames", true, "doc1.html", "Unable to save the document as HTML"},
        {"content, no frames", false, "doc.html", "Unable to save the document as HTML"},
        {"collapsed page", false, "doc3.html", "Unable to save the document as HTML"},
    };
    for (const FailureCase& c : cases) {
        documentOptions.htmlFrames = c.frames;
        TempFolder folder;
        ASSERT_EQ(::mkdir(folder.file(c.blocked).c_str(), 0777), 0);
        Document doc;
        buildWorksheet(doc);
        KString error;
        EXPECT_FALSE(doc.exportHtml(folder.filePath("doc.html"), error)) << c.name;
        EXPECT_STREQ(error.text(), c.error) << c.name;
    }
    documentOptions.htmlFrames = true;


    // An export folder that cannot be written to (here: one that does not exist).
    for (bool frames : {true, false}) {
        documentOptions.htmlFrames = frames;
        TempFolder folder;
        Document doc;
        buildWorksheet(doc);
        KString error;
        EXPECT_FALSE(doc.exportHtml(folder.filePath("missing/doc.html"), error));
        EXPECT_STREQ(error.text(), frames ? "Unable to create the main file" : "Unable to save the document as HTML");
    }
    documentOptions.htmlFrames = true;
}

TEST(HtmlExportFailure, PictureThatFailsWritesNoImage) {
    documentOptions.htmlFrames = false;
    TempFolder folder;
    Document doc;
    auto* root = new SectionElement();
    doc.setRoot(root);
    root->insertChild(paragraph({new HtmlText("before"), new HtmlPicture(4, 4, true), new HtmlText("after")}), nullptr, 2);
    KString error;
    EXPECT_TRUE(doc.exportHtml(folder.filePath("doc.html"), error));
    std::string page = readFile(folder.file("doc.html"));
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_NE(page.find("beforeafter"), std::string::npos) << page;
    documentOptions.htmlFrames = true;

    Document empty;
    EXPECT_FALSE(empty.exportHtml(folder.filePath("doc.html"), error)) << "no root";
}

}  // namespace
