// The paragraph's record ("PARA"), the readers of the oldest format's regions ("INP_R",
// "COM_R", "OUT_R"), and the paragraph's plain-text, LaTeX and HTML exports.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "document/elements/InputTextElement.h"
#include "document/elements/LatexWalk.h"
#include "document/elements/MathElement.h"
#include "document/records/KExportWriter.h"
#include "document/records/KWorksheetReader.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/ContainerElement.h"
#include "tests/document/document_env.h"
#include "tests/document/elements/text_fixture.h"
#include "tests/document/export/html_test_support.h"
#include "util/errjump.h"

namespace {

using namespace textfixture;

// The children's texts of an element, "|"-separated ("<kind>" for a child without text).
std::string textsOf(Element* e) {
    std::string out;
    for (int i = 0; e && i < e->childCount(); ++i) {
        if (i) out += '|';
        if (auto* t = dynamic_cast<TextElement*>(e->childAt(i))) out += t->text();
        else out += "<" + std::to_string(e->childAt(i)->elementKind()) + ">";
    }
    return out;
}

// The old format's groups as the tag table asks for them: each group a container that notes
// what was appended and which outputs were attached.
class NotedGroup : public ContainerElement {
public:
    Element* cloneElement() const override { return new NotedGroup; }
    int elementKind() const override { return KIND_GROUP; }
};

class NotingGroups : public OldRegionGroups {
public:
    Element* newGroup() override {
        groups.push_back(new NotedGroup);
        return groups.back();
    }
    void append(Element* group, Element* region) override { group->insertChild(region, nullptr, kInsertAfter); }
    void attachOutput(Element* group, Element* region) override {
        if (region) group->insertChild(region, nullptr, kInsertAfter);
        ++attached;
    }
    bool inputComplete(Element*) override { return true; }
    std::vector<Element*> groups;   // owned by whoever holds the delivered elements
    int attached = 0;
};

class ParagraphRecords : public TextFixture {
protected:
    void SetUp() override {
        TextFixture::SetUp();
        registerParagraphReaders();
        worksheetTagTable.resetReadState();
    }
    void TearDown() override {
        worksheetTagTable.setOldRegionGroups(nullptr);
        worksheetTagTable.resetReadState();
        TextFixture::TearDown();
    }
    // Every element record of `bytes` (read until the enclosing record ends).
    std::vector<std::unique_ptr<Element>> readAll(const std::string& bytes, int major = 3, int minor = 0) {
        return readRecords(bytes, major, minor);
    }
    std::string writeOne(Element* e) {
        KWorksheetWriter writer;
        WalkControl control;
        control.flags = WALK_BEFORE | WALK_AFTER;
        control.writer = &writer;
        e->walkMethod(&Element::writeElement, control);
        return writer.getBuffer();
    }
    static ParagraphElement* asParagraph(const std::unique_ptr<Element>& e) { return dynamic_cast<ParagraphElement*>(e.get()); }
};

// ---- "PARA" ------------------------------------------------------------------------------------------

TEST_F(ParagraphRecords, RoundTripsByteForByte) {
    struct Row {
        const char* name;
        int style;
        const char* prompt;   // null: none
        bool output;
        const char* bookmark;
        int children;         // 0 none, 1 an input, 2 an input and a text run
    } rows[] = {
        {"plain", 0, nullptr, false, "", 0},
        {"prompt and input", 0, "> ", false, "", 1},
        {"output", ParagraphElement::STYLE_KELVO_OUTPUT, nullptr, true, "", 2},
        {"bookmark with quotes and brackets", 3, nullptr, false, "a \"b\" <c>", 2},
        {"every field", 4, "[1]", true, "mark", 2},
    };
    for (const Row& r : rows) {
        auto p = std::make_unique<ParagraphElement>(r.style, r.prompt);
        p->setOutput(r.output);
        p->bookmark.assign(r.bookmark);
        if (r.children >= 1) p->insertChild(new InputTextElement(1, "x := 1;"), nullptr, kInsertAfter);
        if (r.children >= 2) p->insertChild(new TextElement(-1, "note"), nullptr, kInsertAfter);
        const std::string bytes = writeOne(p.get());
        auto back = readAll(bytes);
        ASSERT_EQ(back.size(), 1u) << r.name << ": " << bytes;
        ParagraphElement* q = asParagraph(back[0]);
        ASSERT_NE(q, nullptr) << r.name;
        EXPECT_EQ(q->styleIndex, r.style) << r.name;
        EXPECT_STREQ(q->prompt() ? q->prompt() : "", r.prompt ? r.prompt : "") << r.name;
        EXPECT_EQ(q->isOutput(), r.output) << r.name;
        EXPECT_STREQ(q->bookmark.text(), r.bookmark) << r.name;
        EXPECT_EQ(q->childCount(), r.children) << r.name;
        EXPECT_EQ(writeOne(q), bytes) << r.name;
    }
}

TEST_F(ParagraphRecords, StyleIndexesFromAFile) {
    worksheetTagTable.paraStyleRenumber.assign(512, 0);
    worksheetTagTable.paraStyleRenumber[300] = 260;
    struct Row {
        const char* name;
        const char* index;
        int major;
        int expected;
    } rows[] = {
        {"-1 is Normal", "-1", 3, 0},
        {"built-in", "7", 3, 7},
        {"renumbered", "300", 3, 260},
        {"user index without an entry keeps its number", "301", 3, 301},
        {"user index beyond the map keeps its number", "9000", 3, 9000},
        {"format 1 is not renumbered", "300", 1, 300},
        {"beyond 16 bits is Normal", "70000", 3, 0},
        {"two billion is Normal", "2000000000", 3, 0},
        {"very negative is Normal", "-2000000000", 3, 0},
    };
    for (const Row& r : rows) {
        auto back = readAll(std::string("{PARA ") + r.index + " \"\" 0 \"\" }", r.major);
        ASSERT_EQ(back.size(), 1u) << r.name;
        EXPECT_EQ(asParagraph(back[0])->styleIndex, r.expected) << r.name;
        // A look-up never grows the map.
        EXPECT_EQ(worksheetTagTable.paraStyleRenumber.size(), 512u) << r.name;
    }
}

TEST_F(ParagraphRecords, ChildrenThatMayNotStandInAParagraphAreDropped) {
    auto back = readAll("{PARA 0 \"\" 0 \"\" {TEXT -1 1 \"a\" }{PARA 0 \"\" 0 \"\" {TEXT -1 1 \"b\" }}"
                        "{SECT 0 {PARA 0 \"\" 0 \"\" }}{KLVTEXT 1 0 1 \"c\" }}");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(textsOf(back[0].get()), "a|c");
}

TEST_F(ParagraphRecords, DamagedRecordsDeliverNothingAndTheReadGoesOn) {
    struct Row {
        const char* name;
        const char* record;
    } rows[] = {
        {"style not a number", "{PARA x \"\" 0 \"\" }"},
        {"prompt missing", "{PARA 0 0 \"\" }"},
        {"cut after the style", "{PARA 0 }"},
    };
    for (const Row& r : rows) {
        auto back = readAll(std::string(r.record) + "{PARA 0 \"\" 0 \"\" {TEXT -1 1 \"z\" }}");
        ASSERT_FALSE(back.empty()) << r.name;
        EXPECT_EQ(textsOf(back.back().get()), "z") << r.name;
        for (std::size_t i = 0; i + 1 < back.size(); ++i) EXPECT_EQ(asParagraph(back[i]), nullptr) << r.name;
    }
}

// ---- the oldest format's regions -----------------------------------------------------------------------

class OldRegions : public ParagraphRecords {
protected:
    void SetUp() override {
        ParagraphRecords::SetUp();
        worksheetTagTable.setOldRegionGroups(&groups);
        worksheetTagTable.styleSet = doc->styleSet();
        // Font numbers 1 and 2 of the file stand for paragraph styles 3 and 4.
        worksheetTagTable.fontStyleMap = {0, 3, 4};
        worksheetTagTable.fontStyleMapLast = 2;
    }
    NotingGroups groups;
};

TEST_F(OldRegions, InputRegionBecomesAnInputParagraphInItsGroup) {
    auto back = readAll("{INP_R 1 0 \"> \" {TEXT 0 5 \"x:=1;\" }}", 1, 40);
    ASSERT_EQ(back.size(), 1u);
    ASSERT_EQ(groups.groups.size(), 1u);
    EXPECT_EQ(back[0].get(), groups.groups[0]);
    auto* p = dynamic_cast<ParagraphElement*>(back[0]->firstChild());
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->prompt(), "> ");
    auto* input = dynamic_cast<InputTextElement*>(p->firstChild());
    ASSERT_NE(input, nullptr);
    EXPECT_TRUE(input->active());
    EXPECT_STREQ(input->text(), "x:=1;");
}

TEST_F(OldRegions, InputRegionWithoutTextStillOpensItsGroupForItsOutput) {
    auto back = readAll("{INP_R 3 0 \"\" {DAG 1 2 }}{OUT_R 0 0 3 {TEXT 1 1 \"7\" }}", 1, 40);
    ASSERT_EQ(groups.groups.size(), 1u);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].get(), groups.groups[0]);
    // The output found the group under the region's number.
    EXPECT_EQ(groups.attached, 1);
    ASSERT_EQ(back[0]->childCount(), 1);
    auto* out = dynamic_cast<ParagraphElement*>(back[0]->firstChild());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_TEXT_OUTPUT);
    EXPECT_EQ(textsOf(out), "7");
}

TEST_F(OldRegions, CommentRegionStyles) {
    auto back = readAll("{COM_R 2 0 1 1 {TEXT 1 4 \"note\" }{TEXT 2 1 \"!\" }}", 1, 40);
    ASSERT_EQ(groups.groups.size(), 1u);
    auto* p = dynamic_cast<ParagraphElement*>(groups.groups[0]->firstChild());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(textsOf(p), "note|!");
    // The run in the paragraph's own font takes the paragraph's style; the other keeps a
    // style of its own.
    EXPECT_EQ(static_cast<TextElement*>(p->childAt(0))->styleIndex(), -1);
    EXPECT_NE(static_cast<TextElement*>(p->childAt(1))->styleIndex(), -1);
    // Centred: the paragraph has a style of its own with that justification.
    const ParaStyle* own = doc->styleSet()->paraStyle(p->styleIndex);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->justification, 3);
    (void)back;
}

TEST_F(OldRegions, OldFormCommentTakesItsStyleFromTheRun) {
    auto back = readAll("{COM_R 4 0 {TEXT 2 1 \"x\" }}", 1, 20);
    ASSERT_EQ(groups.groups.size(), 1u);
    auto* p = dynamic_cast<ParagraphElement*>(groups.groups[0]->firstChild());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->styleIndex, 4);
    EXPECT_EQ(static_cast<TextElement*>(p->firstChild())->styleIndex(), -1);
    (void)back;
}

TEST_F(OldRegions, OutputWithANonTextChildIsKelvoOutput) {
    auto back = readAll("{INP_R 1 0 \"\" {TEXT 0 2 \"x;\" }}{OUT_R 0 0 1 {KLVTEXT 1 0 1 \"x\" }}", 1, 40);
    ASSERT_EQ(groups.groups.size(), 1u);
    Element* group = groups.groups[0];
    ASSERT_EQ(group->childCount(), 2);
    auto* out = dynamic_cast<ParagraphElement*>(group->childAt(1));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_KELVO_OUTPUT);
    (void)back;
}

TEST_F(OldRegions, CommentWithANonTextChildDeliversNothing) {
    auto back = readAll("{COM_R 5 0 1 0 {KLVTEXT 1 0 1 \"x\" }}{COM_R 6 0 1 0 {TEXT 1 1 \"y\" }}", 1, 40);
    ASSERT_FALSE(groups.groups.empty());
    std::string texts;
    for (Element* g : groups.groups) texts += textsOf(g->firstChild()) + ";";
    EXPECT_EQ(texts.find('x'), std::string::npos) << texts;
    EXPECT_NE(texts.find('y'), std::string::npos) << texts;
}

// ---- exports ----------------------------------------------------------------------------------------------

using ParagraphExport = ParagraphRecords;

TEST_F(ParagraphExport, PlainTextPrefixByFirstChild) {
    struct Row {
        const char* name;
        int first;   // 0 text, 1 input, 2 math, 3 output text
        const char* expected;
    } rows[] = {
        {"text", 0, "# abc\r\n"},
        {"input", 1, "> abc\r\n"},
        {"output", 3, "abc\r\n"},
    };
    for (const Row& r : rows) {
        Element* child = nullptr;
        switch (r.first) {
        case 0: child = new TextElement(-1, "abc"); break;
        case 1: child = new InputTextElement(1, "abc"); break;
        case 2: child = new MathElement(nullptr, 0); break;
        default: child = new TextElement(-1, "abc"); break;
        }
        ParagraphElement* p = paragraph({child});
        if (r.first == 3) p->setOutput(true);
        std::ostringstream out;
        KExportWriter writer(&out, 0);
        WalkControl control;
        control.exportWriter = &writer;
        control.flags = WALK_BEFORE | WALK_AFTER;
        p->walkMethod(&Element::exportText, control);
        writer.writeString("", true);
        EXPECT_EQ(out.str(), r.expected) << r.name;
        root->removeChild(p);
    }
}

// A LaTeX export of the root's children with one state, as the export driver walks them.
std::string latexOf(Element* root, LatexExportState& state) {
    std::ostringstream out;
    KLatexExportWriter writer(&out, 0);
    state.writer = &writer;
    WalkControl control;
    control.context = &state;
    control.flags = WALK_BEFORE | WALK_AFTER;
    root->walkMethod(&Element::exportLatexElement, control);
    writer.writeString("", true);
    state.writer = nullptr;
    return out.str();
}

TEST_F(ParagraphExport, LatexHeadingsByDepth) {
    Element* parent = root;
    std::vector<std::string> headings;
    for (int depth = 1; depth <= 4; ++depth) {
        auto* section = new SectionElement();
        parent->insertChild(section, nullptr, kInsertAfter);
        auto* heading = new ParagraphElement(plainStyle, nullptr);
        heading->insertChild(new TextElement(-1, ("H" + std::to_string(depth)).c_str()), nullptr, kInsertAfter);
        section->insertChild(heading, nullptr, kInsertAfter);
        parent = section;
    }
    LatexExportState state;
    const std::string tex = latexOf(root, state);
    const std::size_t h1 = tex.find("\\section{H1}"), h2 = tex.find("\\subsection{H2}"),
                      h3 = tex.find("\\subsubsection{H3}"), h4 = tex.find("\\subsubsection{H4}");
    EXPECT_NE(h1, std::string::npos) << tex;
    EXPECT_NE(h2, std::string::npos) << tex;
    EXPECT_NE(h3, std::string::npos) << tex;
    EXPECT_NE(h4, std::string::npos) << tex;
    EXPECT_TRUE(h1 < h2 && h2 < h3 && h3 < h4) << tex;
}

TEST_F(ParagraphExport, LatexResultMacroOnceBeforeTheFirstOutput) {
    auto* input = new InputTextElement(1, "x:=1;");
    paragraph({input});
    for (int i = 0; i < 2; ++i) paragraph({new TextElement(-1, "1")})->setOutput(true);
    for (bool marking : {true, false}) {
        LatexExportState state;
        state.markResults = marking;
        const std::string tex = latexOf(root, state);
        const std::size_t first = tex.find("\\kelvoresult\r\n");
        if (!marking) {
            EXPECT_EQ(first, std::string::npos) << tex;
            continue;
        }
        ASSERT_NE(first, std::string::npos) << tex;
        EXPECT_EQ(tex.find("\\kelvoresult", first + 1), std::string::npos) << tex;
        EXPECT_LT(tex.find("\\kelvoinline"), first) << tex;
        EXPECT_LT(first, tex.find("kelvottyout")) << tex;
        EXPECT_TRUE(state.resultMacroWritten);
    }
}

TEST_F(ParagraphExport, LatexEnvironments) {
    int named = paraStyle([](ParaStyle& s) { s.setName("Remark"); });
    int unusable = paraStyle([](ParaStyle& s) { s.setName("Bad{name}"); });
    // Names LaTeX cannot take leave the justification to choose.
    int centred = paraStyle([](ParaStyle& s) { s.setName("a%b"); s.justification = 3; });
    int right = paraStyle([](ParaStyle& s) { s.setName("a\\b"); s.justification = 2; });
    struct Row {
        const char* name;
        int style;    // -1: Normal (0)
        int first;    // 0 text, 1 active input, 2 inert input
        bool output;
        const char* environment;   // "" none expected
    } rows[] = {
        {"named style", named, 0, false, "\\begin{Remark}"},
        {"active input", -1, 1, false, "\\begin{kelvoinput}"},
        {"inert input", -1, 2, false, ""},
        {"text output", -1, 0, true, "\\begin{kelvottyout}"},
        {"name with braces gives no style environment", unusable, 0, false, "\\begin{flushleft}"},
        {"centred", centred, 0, false, "\\begin{center}"},
        {"right", right, 0, false, "\\begin{flushright}"},
    };
    for (const Row& r : rows) {
        Element* child = r.first == 0 ? static_cast<Element*>(new TextElement(-1, "t"))
                                      : new InputTextElement(r.first == 1, "t;");
        ParagraphElement* p = paragraph({child}, r.style < 0 ? 0 : r.style);
        if (r.output) p->setOutput(true);
        LatexExportState state;
        const std::string tex = latexOf(root, state);
        if (*r.environment) EXPECT_NE(tex.find(r.environment), std::string::npos) << r.name << ": " << tex;
        else EXPECT_EQ(tex.find("\\begin{"), std::string::npos) << r.name << ": " << tex;
        for (const char* name : {"Bad{name}", "a%b", "a\\b"}) EXPECT_EQ(tex.find(name), std::string::npos) << r.name << ": " << tex;
        root->removeChild(p);
    }
}

TEST_F(ParagraphExport, HtmlAnchorEscapedOnceAndPromptInTeletype) {
    ParagraphElement* p = paragraph({new InputTextElement(1, "1+2;")});
    p->setPrompt("> ");
    p->bookmark.assign("say \"a<b\" & go");
    TempFolder folder;
    auto exporter = std::make_unique<HtmlExporter>(folder.filePath("doc.html"));
    ASSERT_TRUE(exporter->openFile("", false));
    WalkControl control;
    control.htmlExporter = exporter.get();
    control.flags = WALK_BEFORE | WALK_AFTER;
    p->walkMethod(&Element::exportHtmlElement, control);
    exporter->closeAll();
    const std::string page = readFile(folder.file("doc.html"));
    EXPECT_NE(page.find("<a name=\"say &quot;a&lt;b&quot; &amp; go\">"), std::string::npos) << page;
    EXPECT_EQ(page.find("&amp;quot;"), std::string::npos) << page;
    EXPECT_NE(page.find("<tt>&gt; </tt>"), std::string::npos) << page;
    EXPECT_NE(page.find("1+2;"), std::string::npos) << page;
}

}  // namespace
