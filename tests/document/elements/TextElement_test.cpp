// Text runs: breaking into lines, the "TEXT" record, the exports, search, counts, the context
// word, drawing with the highlight and joining, on a view where every byte is 10 wide.
#include "document/elements/TextElement.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "document/records/KExportWriter.h"
#include "document/records/KWorksheetReader.h"
#include "document/styles/WorksheetTagTable.h"
#include "platform/os/mbtext.h"
#include "tests/document/export/html_test_support.h"
#include "platform/os/sysprobe.h"
#include "tests/document/elements/text_fixture.h"
#include "util/errjump.h"
#include "tests/support/named_rows.h"

namespace {

using namespace textfixture;

// The pieces of a run as "start:length@line", blank-separated.
std::string piecesOf(const TextElement* run) {
    std::string out;
    for (const TextPiece& p : run->pieces()) {
        if (!out.empty()) out += ' ';
        out += std::to_string(p.start) + ":" + std::to_string(p.length) + "@" + std::to_string(p.lineIndex);
    }
    return out;
}

// ---- breaking into lines -------------------------------------------------------------------------

using kelvo_test::PrintTo;

struct BreakCase {
    const char* name;
    const char* before;   // a run in front of the tested one on the same line ("" none)
    const char* text;
    int width;            // the paragraph's content width
    int mode;             // line-break mode of the run's style
    const char* expected;
};

const BreakCase breakCases[] = {
    {"fits whole", "", "abc def", 100, 1, "0:-1@0"},
    {"first word moves whole to the next line", "abc ", "defgh", 80, 1, "0:5@1"},
    {"word wider than the line breaks after what fits", "", "abcdefghij", 60, 1, "0:6@0 6:4@1"},
    {"word wider than the line after other text", "ab ", "cdefghijklmn", 60, 1, "0:6@1 6:6@2"},
    {"break at the last blank", "", "abc def ghi", 80, 1, "0:8@0 8:3@1"},
    {"blanks at a break stay on the line", "", "abcde   fg", 60, 1, "0:8@0 8:2@1"},
    {"newline breaks and ends with an empty piece", "", "ab\ncd\n", 100, 1, "0:3@0 3:3@1 6:0@2"},
    {"mode 3 breaks only at newlines", "", "aaaaaaaaaa bbbbbbbbbb\ncc", 60, 3, "0:22@0 22:2@1"},
    {"mode 2 breaks anywhere", "", "abcd efghij", 60, 2, "0:6@0 6:5@1"},
    {"mode 2 with blanks after a full line finishes", "", "abcdef  gh", 60, 2, "0:8@0 8:2@1"},
    {"mode 2 with blanks on a later line finishes", "", "abcdefghijkl  mn", 60, 2, "0:6@0 6:8@1 14:2@2"},
    {"blanks only", "", "            ", 60, 2, "0:12@0"},
    {"blanks only at spaces", "", "            ", 60, 1, "0:12@0"},
};

class Breaking : public TextFixture, public ::testing::WithParamInterface<BreakCase> {};

TEST_P(Breaking, PiecesAndLines) {
    const BreakCase& c = GetParam();
    static int mode;
    mode = c.mode;
    int style = charStyle([](CharStyle& s) { s.lineBreak = mode; });
    auto* run = new TextElement(style, c.text);
    std::vector<Element*> children;
    if (*c.before) children.push_back(new TextElement(style, c.before));
    children.push_back(run);
    ParagraphElement* p = paragraph(children);
    layoutAt(c.width);
    ASSERT_EQ(p->contentWidth(), c.width);
    EXPECT_EQ(piecesOf(run), c.expected) << c.name;
    // No line is wider than the room it had, unless lines only break at newlines.
    if (c.mode != 3) {
        for (int i = 0; i < p->lineCount(); ++i) EXPECT_LE(p->lineAt(i)->width, c.width) << c.name << " line " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Text, Breaking, ::testing::ValuesIn(breakCases),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

using TextLayout = TextFixture;

TEST_F(TextLayout, TrailingNewlinePieceIsAsHighAsTheFontsLine) {
    auto* run = new TextElement(-1, "ab\n");
    ParagraphElement* p = paragraph({run});
    layoutAt(100);
    ASSERT_EQ(piecesOf(run), "0:3@0 3:0@1");
    ASSERT_EQ(p->lineCount(), 2);
    EXPECT_EQ(p->lineAt(1)->height(), kLineSpacing);
    EXPECT_EQ(p->lineAt(1)->pieces[0].extent.width, 0);
}

TEST_F(TextLayout, CappedBlankLineKeepsTheLineWithinItsWidth) {
    int style = charStyle([](CharStyle& s) { s.lineBreak = 1; });
    auto* run = new TextElement(style, "abcde   fg");
    ParagraphElement* p = paragraph({run});
    layoutAt(60);
    ASSERT_EQ(p->lineCount(), 2);
    EXPECT_EQ(p->lineAt(0)->width, 60);
    EXPECT_EQ(p->lineAt(1)->width, 20);
}

class JapaneseBreaking : public TextFixture {
protected:
    void SetUp() override {
        TextFixture::SetUp();
        sys_set_japanese(true);
        style = charStyle([](CharStyle& s) {
            s.setFontName("MS Mincho");
            s.doubleByteFont = true;
        });
    }
    void TearDown() override {
        sys_reset_japanese();
        TextFixture::TearDown();
    }
    int style = -1;
};

TEST_F(JapaneseBreaking, BreaksOnlyBetweenCharactersAndKeepsTheLineRules) {
    struct Row {
        const char* name;
        const char* text;
        const char* expected;
    } rows[] = {
        // Five two-byte characters, 20 wide each, on lines of 60.
        {"between characters", "\x88\x9f\x88\xa0\x88\xa1\x88\xa2\x88\xa3", "0:6@0 6:4@1"},
        // An ideographic full stop may not begin a line: the character before it goes along.
        {"line-start rule", "\x88\x9f\x88\xa0\x88\xa1\x81\x42\x88\xa3", "0:4@0 4:6@1"},
        // An opening bracket may not end a line: it goes to the next line with what follows.
        {"line-end rule", "\x88\x9f\x88\xa0\x81\x75\x88\xa2\x88\xa3", "0:4@0 4:6@1"},
        // Single-byte letters among them break between any two characters.
        {"mixed", "abcdefgh\x88\x9f", "0:6@0 6:4@1"},
    };
    for (const Row& r : rows) {
        auto* run = new TextElement(style, r.text);
        paragraph({run});
        layoutAt(60);
        EXPECT_EQ(piecesOf(run), r.expected) << r.name;
        // No piece starts or ends inside a character.
        for (const TextPiece& p : run->pieces()) {
            int at = p.start;
            EXPECT_EQ(mb_align(r.text, at, int(std::strlen(r.text)), true), at) << r.name;
        }
        root->removeChild(root->lastChild());
    }
}

// ---- records -------------------------------------------------------------------------------------

class TextRecord : public TextFixture {
protected:
    std::string write(TextElement& run, bool markedOnly) {
        KWorksheetWriter writer;
        WalkControl control;
        control.writer = &writer;
        control.flags = markedOnly ? WALK_MARKED_ONLY : 0;
        control.storePass(PASS_LEAF);
        run.writeElement(control);
        return writer.getBuffer();
    }
    // Reads one element record; null when it yields none.
    std::unique_ptr<Element> read(const std::string& bytes, int major = 3, int minor = 0) {
        KWorksheetReader reader;
        reader.openMemory(bytes);
        reader.majorVersion = major;
        reader.minorVersion = minor;
        Element* out = nullptr;
        std::string token;
        reader.readToken(token);
        EXPECT_EQ(token, "{TEXT");
        int depth = errjump_depth();
        readTextRecord(reader, out, nullptr);
        EXPECT_EQ(errjump_depth(), depth);
        return std::unique_ptr<Element>(out);
    }
};

TEST_F(TextRecord, EveryByteValueRoundTrips) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(char(b));
    TextElement run(-1, all.c_str());
    std::unique_ptr<Element> back = read(write(run, false));
    auto* text = dynamic_cast<TextElement*>(back.get());
    ASSERT_NE(text, nullptr);
    // The record's string turns a carriage return into a newline, as every string field does.
    std::string expected = all;
    expected[12] = '\n';
    EXPECT_EQ(std::string(text->text(), std::size_t(text->textLength())), expected);
    EXPECT_EQ(text->styleIndex(), -1);
}

TEST_F(TextRecord, MarkedPartOnlyWritesTheMarkedBytes) {
    TextElement run(0, "hello world");
    run.setMarkRange(6, 11);
    ASSERT_EQ(run.mark, 2);
    EXPECT_EQ(write(run, false), "{TEXT 0 11 \"hello world\" }");
    EXPECT_EQ(write(run, true), "{TEXT 0 5 \"world\" }");
    run.setMarkRange(0, 11);
    EXPECT_EQ(run.mark, 1);
    EXPECT_EQ(write(run, true), "{TEXT 0 11 \"hello world\" }");
}

TEST_F(TextRecord, TrailingValuesOfTwoPointZero) {
    struct Row {
        const char* name;
        const char* record;
        int major, minor;
        const char* text;
    } rows[] = {
        {"2.0 with trailing 2 and two values", "{TEXT 0 3 \"abc\" 2 7 8 }", 2, 0, "abc"},
        {"2.0 with trailing 0", "{TEXT 0 3 \"abc\" 0 }", 2, 0, "abc"},
        {"2.0 without trailing value", "{TEXT 0 3 \"abc\" }", 2, 0, "abc"},
        {"3.0 ignores further fields", "{TEXT 0 3 \"abc\" 2 7 8 }", 3, 0, "abc"},
    };
    for (const Row& r : rows) {
        std::unique_ptr<Element> e = read(std::string(r.record) + "{TEXT 0 1 \"z\" }", r.major, r.minor);
        auto* text = dynamic_cast<TextElement*>(e.get());
        ASSERT_NE(text, nullptr) << r.name;
        EXPECT_STREQ(text->text(), r.text) << r.name;
    }
}

TEST_F(TextRecord, DamagedStyleIndexLoadsWithNoStyleAndNoAllocation) {
    int mapped = charStyle([](CharStyle& s) { s.bold = 1; });
    worksheetTagTable.resetReadState();
    worksheetTagTable.styleSet = doc->styleSet();
    worksheetTagTable.charStyleRenumber.assign(512, 0);
    worksheetTagTable.charStyleRenumber[400] = mapped;
    struct Row {
        const char* name;
        const char* index;
        int expected;
    } rows[] = {
        {"two billion", "2000000000", -1},
        {"beyond 16 bits", "70000", -1},
        {"negative", "-5", -1},
        {"beyond the map, no such style", "5000", -1},
        {"renumbered", "400", mapped},
        {"built-in", "17", 17},
    };
    for (const Row& r : rows) {
        std::unique_ptr<Element> e = read(std::string("{TEXT ") + r.index + " 3 \"abc\" }");
        auto* text = dynamic_cast<TextElement*>(e.get());
        ASSERT_NE(text, nullptr) << r.name;
        EXPECT_EQ(text->styleIndex(), r.expected) << r.name;
        EXPECT_STREQ(text->text(), "abc") << r.name;
        EXPECT_EQ(worksheetTagTable.charStyleRenumber.size(), 512u) << r.name;
    }
    worksheetTagTable.resetReadState();
}

TEST_F(TextRecord, PastedRunsRemapTheirStyleWithoutGrowingAMap) {
    charStyleIndexMap.clear();
    charStyleIndexMap.set(300, 260);
    worksheetTagTable.resetReadState();
    struct Row {
        int index;
        int expected;
    } rows[] = {{300, 260}, {301, 301}, {32767, 32767}, {12, 12}};
    for (const Row& r : rows) {
        TextElement run(r.index, "x");
        WalkControl control;
        control.storePass(PASS_LEAF);
        run.remapStyleIndex(control);
        EXPECT_EQ(run.styleIndex(), r.expected) << r.index;
    }
    EXPECT_TRUE(worksheetTagTable.charStyleRenumber.empty());
    charStyleIndexMap.clear();
}

TEST_F(TextRecord, RegisteredReaderLoadsThroughTheTagTable) {
    KWorksheetReader reader;
    reader.openMemory(std::string("{TEXT -1 2 \"hi\" }{TEXT -1 \"broken\" }}"));
    Element* first = nullptr;
    ASSERT_TRUE(worksheetTagTable.readNewRep(reader, first, nullptr, false, nullptr));
    std::unique_ptr<Element> owned(first);
    ASSERT_NE(dynamic_cast<TextElement*>(first), nullptr);
    // A record that cannot be read yields no element and the read goes on.
    Element* second = nullptr;
    ASSERT_TRUE(worksheetTagTable.readNewRep(reader, second, nullptr, false, nullptr));
    EXPECT_EQ(second, nullptr);
    Element* end = nullptr;
    EXPECT_FALSE(worksheetTagTable.readNewRep(reader, end, nullptr, false, nullptr));
}

// ---- exports --------------------------------------------------------------------------------------

using TextExport = TextFixture;

TEST_F(TextExport, PlainTextAfterThePendingPrefix) {
    auto* run = new TextElement(-1, "a <b> & c");
    paragraph({run});
    std::ostringstream out;
    KExportWriter writer(&out, 0);
    writer.writeString(">");
    writer.setLinePrefixMode(1);   // a text prefix is pending
    WalkControl control;
    control.exportWriter = &writer;
    control.storePass(PASS_LEAF);
    run->exportText(control);
    writer.writeString("\n", true);
    EXPECT_EQ(out.str(), "># a <b> & c\r\n");
    // The marked part only.
    std::ostringstream part;
    KExportWriter partWriter(&part, 0);
    run->setMarkRange(2, 5);
    control.exportWriter = &partWriter;
    control.flags = WALK_MARKED_ONLY;
    run->exportText(control);
    partWriter.writeString("", true);
    EXPECT_EQ(part.str(), "<b>");
}

TEST_F(TextExport, LatexGroupsAndEscaping) {
    int latex = charStyle([](CharStyle& s) { s.setName("LaTeX"); });
    int named = charStyle([](CharStyle& s) { s.setName("Emph"); });
    int bold = charStyle([](CharStyle& s) { s.bold = 1; });
    int notBold = charStyle([](CharStyle& s) { s.bold = 2; });
    int large = charStyle([](CharStyle& s) { s.sizeMode = 1, s.size = 40; });
    int diagnostic = ParagraphElement::STYLE_DIAGNOSTIC;
    struct Row {
        const char* name;
        std::vector<int> styles;   // one run of "a_b" per style
        int paragraphStyle;        // -1: the test's plain style
        const char* expected;
    } rows[] = {
        {"style named LaTeX is raw", {latex}, -1, "a_b"},
        {"diagnostic paragraph is raw", {-1}, diagnostic, "a_b"},
        {"plain is escaped", {-1}, -1, "a\\_b"},
        {"bold opens and not-bold closes", {bold, notBold}, -1, "\\textbf{a\\_b}a\\_b"},
        {"larger size opens the larger group", {large}, -1, "{\\large a\\_b"},
        {"named style opens group 5", {named}, -1, "\\QTR{Emph}{a\\_b}"},
    };
    for (const Row& r : rows) {
        std::vector<Element*> runs;
        for (int s : r.styles) runs.push_back(new TextElement(s, "a_b"));
        ParagraphElement* p = paragraph(runs, r.paragraphStyle);
        std::ostringstream out;
        KLatexExportWriter writer(&out, 0);
        WalkControl control;
        control.exportWriter = &writer;
        control.flags = WALK_BEFORE;
        // The runs alone: the paragraph's own environments are not what is looked at here.
        for (Element* run : runs) run->walkMethod(&Element::exportLatexElement, control);
        writer.writeString("", true);
        EXPECT_EQ(out.str(), r.expected) << r.name;
        root->removeChild(p);
    }
}

TEST_F(TextExport, HtmlEscapesTheTextInsideItsStyleMarkup) {
    int bold = charStyle([](CharStyle& s) { s.bold = 1; });
    auto* run = new TextElement(bold, "a<b&c");
    auto* empty = new TextElement(bold, "");
    paragraph({run, empty});
    TempFolder folder;
    auto exporter = std::make_unique<HtmlExporter>(folder.filePath("doc.html"));
    ASSERT_TRUE(exporter->openFile("", false));
    WalkControl control;
    control.htmlExporter = exporter.get();
    control.storePass(PASS_LEAF);
    run->exportHtmlElement(control);
    exporter->writeRaw("|");
    empty->exportHtmlElement(control);
    exporter->closeAll();
    std::string page = readFile(folder.file("doc.html"));
    std::size_t at = page.find("a&lt;b&amp;c");
    ASSERT_NE(at, std::string::npos) << page;
    EXPECT_NE(page.rfind("<b>", at), std::string::npos) << page;
    // An empty run writes no markup at all.
    EXPECT_EQ(page.substr(page.size() - 1), "|") << page;
}

// ---- search, counts, words -------------------------------------------------------------------------

using TextSearching = TextFixture;

TEST_F(TextSearching, OverlappingMatchesAndBothDirections) {
    auto* a = new TextElement(-1, "aaaa");
    auto* b = new TextElement(-1, "xaax");
    paragraph({a, b});
    struct Row {
        const char* name;
        TextElement* start;
        int offset;
        bool backward;
        TextElement* found;   // null: no match
        int foundOffset;
    } rows[] = {
        {"forward from the start finds the overlapping next", a, 0, false, a, 1},
        {"forward from 1", a, 1, false, a, 2},
        {"forward past the last match goes on to the next run", a, 2, false, b, 1},
        {"forward past every match", b, 1, false, nullptr, -1},
        {"backward answers the last match before the start", a, 2, true, a, 1},
        {"backward from a match in a later run", b, 1, true, a, 2},
        {"backward from a place that is no match", b, 3, true, b, 1},
        {"backward before every match", a, 0, true, nullptr, -1},
    };
    for (const Row& r : rows) {
        TextSearch search;
        search.pattern = "aa";
        search.backward = r.backward;
        search.startOffset = r.offset;
        WalkControl control;
        control.flags = WALK_BEFORE;
        control.search = &search;
        control.searchStart = r.start;
        root->walkMethod(&Element::findText, control);
        EXPECT_EQ(search.foundElement, r.found) << r.name;
        if (r.found) {
            EXPECT_EQ(search.foundOffset, r.foundOffset) << r.name;
            EXPECT_TRUE(search.flags & TextSearch::FOUND) << r.name;
        }
    }
}

TEST_F(TextSearching, DocumentFindsTextInSectionsThroughTheHook) {
    auto* section = new SectionElement();
    section->insertChild(new TextElement(-1, "needle here"), nullptr, kInsertAfter);
    root->insertChild(section, nullptr, kInsertAfter);
    Element* found = nullptr;
    EXPECT_TRUE(doc->findTextInSections("needle", &found));
    EXPECT_EQ(found, section);
    EXPECT_FALSE(doc->findTextInSections("haystack", &found));
}

TEST_F(TextSearching, CountsWholeOrMarkedBytes) {
    auto* run = new TextElement(-1, "abcabc\xe9");
    paragraph({run});
    CharacterCounts counts{};
    WalkControl control;
    control.characterCounts = &counts;
    control.storePass(PASS_LEAF);
    run->countCharacters(control);
    EXPECT_EQ(counts['a'], 2);
    EXPECT_EQ(counts[0xe9], 1);
    counts = {};
    run->setMarkRange(1, 3);
    control.flags = WALK_MARKED_ONLY;
    run->countCharacters(control);
    EXPECT_EQ(counts['a'], 0);
    EXPECT_EQ(counts['b'], 1);
    EXPECT_EQ(counts['c'], 1);
}

TEST_F(TextSearching, ContextHelpWord) {
    TextElement run(-1, "plot(sin(x), x=0..1)");
    struct Row {
        int offset;
        const char* expected;
    } rows[] = {{0, "plot"}, {3, "plot"}, {4, "("}, {6, "sin"}, {19, ")"}, {50, ")"}};
    for (const Row& r : rows) {
        KString word;
        run.helpWordAt(word, r.offset);
        EXPECT_STREQ(word.text(), r.expected) << r.offset;
    }
    KString word;
    TextElement(-1, std::string(60, 'w').c_str()).helpWordAt(word, 10);
    EXPECT_EQ(word.length(), 32);
}

// ---- drawing, hit tests, joining -------------------------------------------------------------------

using TextDrawing = TextFixture;

TEST_F(TextDrawing, HighlightIsNarrowedToTheMarkedBytesOfEachPiece) {
    int style = charStyle([](CharStyle& s) { s.lineBreak = 1; });
    auto* run = new TextElement(style, "abcd efgh ijkl");
    ParagraphElement* p = paragraph({run});
    layoutAt(60);
    ASSERT_EQ(piecesOf(run), "0:5@0 5:5@1 10:4@2");
    run->setMarkRange(3, 7);
    view->highlights.clear();
    run->selectionMarkChanged(2);
    ElementPoint o = p->absoluteOrigin();
    ASSERT_EQ(view->highlights.size(), 2u);
    EXPECT_EQ(view->highlights[0].x, o.x + 30);
    EXPECT_EQ(view->highlights[0].width, 20);
    EXPECT_EQ(view->highlights[1].x, o.x);
    EXPECT_EQ(view->highlights[1].width, 20);
    EXPECT_EQ(view->highlights[1].y, o.y + p->lineAt(1)->y);
}

TEST_F(TextDrawing, HitTestAndCaretRectangle) {
    auto* run = new TextElement(-1, "abcdef");
    ParagraphElement* p = paragraph({run});
    layoutAt(200);
    ElementPoint o = p->absoluteOrigin();
    struct Row {
        int x;
        int offset;
    } rows[] = {{0, 0}, {4, 0}, {5, 1}, {24, 2}, {59, 6}, {500, 6}};
    for (const Row& r : rows) {
        TextPosition position(run, 0);
        run->hitTest(position, r.x, 0, 0);
        EXPECT_EQ(position.offset(), r.offset) << r.x;
        EXPECT_EQ(position.rect.x, o.x + 10 * r.offset) << r.x;
        EXPECT_EQ(position.rect.width, 2);
        EXPECT_EQ(position.rect.height, kFontHeight);
    }
}

TEST_F(TextDrawing, JoiningAbsorbsRunsOfTheSameStyleAndKeepsTheMarkedBytes) {
    int a = charStyle([](CharStyle& s) { s.italic = 1; });
    int b = charStyle([](CharStyle& s) { s.italic = 1; });
    int other = charStyle([](CharStyle& s) { s.bold = 1; });
    auto* left = new TextElement(a, "ab");
    auto* middle = new TextElement(a, "cd");
    auto* right = new TextElement(b, "ef");
    auto* last = new TextElement(other, "gh");
    ParagraphElement* p = paragraph({left, middle, right, last});
    right->setMarkRange(0, 1);
    EXPECT_EQ(middle->mergeWithNeighbours(), 2);
    ASSERT_EQ(p->childCount(), 2);
    EXPECT_STREQ(middle->text(), "abcdef");
    EXPECT_EQ(middle->mark, 2);
    EXPECT_EQ(middle->markStart(), 4);
    EXPECT_EQ(middle->markEnd(), 5);
    EXPECT_EQ(middle->mergeWithNeighbours(), 0);
}

}  // namespace
