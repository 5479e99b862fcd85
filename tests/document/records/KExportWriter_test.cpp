// Tests of the export line writer and the LaTeX writer.
#include <gtest/gtest.h>

#include <sstream>

#include "document/records/KExportWriter.h"

namespace {

TEST(ExportWriter, LongWordIsCutIntoLinesOfTheWidth) {
    std::ostringstream out;
    KExportWriter w(&out, 70);
    w.writeString(std::string(200, 'a'));
    w.writeString("\n");
    std::string expected = std::string(70, 'a') + "\r\n" + std::string(70, 'a') + "\r\n" +
                           std::string(60, 'a') + "\r\n";
    EXPECT_EQ(expected, out.str());
    EXPECT_EQ(long(expected.size()), w.charCount);
}

TEST(ExportWriter, BreaksAtLastBlankAndDropsIt) {
    std::ostringstream out;
    KExportWriter w(&out, 10);
    w.writeString("aaaa bbbb cccc\n");
    EXPECT_EQ("aaaa bbbb\r\ncccc\r\n", out.str());
}

TEST(ExportWriter, BreaksBeforeBackslashWhenAsked) {
    std::ostringstream out;
    KExportWriter w(&out, 10);
    w.writeString("abcdef\\ghijk", false, true);
    w.writeString("\n");
    EXPECT_EQ("abcdef\r\n\\ghijk\r\n", out.str());
}

TEST(ExportWriter, PrefixesStartLines) {
    std::ostringstream out;
    KExportWriter w(&out, 0);
    w.setLinePrefixMode(1);
    w.writeString("x := 1;\ny\n");
    w.setLinePrefixMode(0);
    w.writeString("text\n");
    EXPECT_EQ("> x := 1;\r\n> y\r\n# text\r\n", out.str());
}

TEST(ExportWriter, BlankLinesAndStartLine) {
    std::ostringstream out;
    KExportWriter w(&out, 0);
    w.writeString("a");
    w.ensureBlankLine();
    w.startLine("b");
    w.startLine("c");
    EXPECT_EQ("a\r\n\r\nb\r\nc", out.str());
}

TEST(ExportWriter, SinkCallbackReplacesStream) {
    std::ostringstream out;
    std::string sunk;
    KExportWriter w(&out, 0);
    w.setSink([](void* context, char c) { static_cast<std::string*>(context)->push_back(c); }, &sunk);
    w.writeString("hi\n");
    EXPECT_EQ("hi\r\n", sunk);
    EXPECT_EQ("", out.str());
}

struct LatexCase {
    const char* name;
    std::string input;
    std::string outside;   // written outside kelvottyout
};

TEST(LatexExportWriter, EscapesTable) {
    const LatexCase rows[] = {
        {"underscore", "a_b", "a\\_b"},
        {"specials", "#$%&{}", "\\#\\$\\%\\&\\{\\}"},
        {"angles", "<>", "\\TEXTsymbol{<}\\TEXTsymbol{>}"},
        {"backslash", "\\", "\\TEXTsymbol{\\backslash}"},
        {"caret_tilde", "^~", "\\symbol{94}\\symbol{126}"},
        {"controls_dropped", "a\tb\x01", "ab"},
    };
    for (const LatexCase& r : rows) {
        std::ostringstream out;
        KLatexExportWriter w(&out, 0);
        w.writeEscapedText(r.input);
        EXPECT_EQ(r.outside, out.str()) << r.name;
    }
}

TEST(LatexExportWriter, TtyOutputIsUnescaped) {
    std::ostringstream out;
    KLatexExportWriter w(&out, 0);
    w.beginEnvironment("kelvottyout");
    EXPECT_TRUE(w.inTtyOutput());
    w.writeEscapedText("a_b\n");
    w.endEnvironment("kelvottyout");
    EXPECT_FALSE(w.inTtyOutput());
    EXPECT_EQ("\\begin{kelvottyout}\r\na_b\r\n\\end{kelvottyout}\r\n", out.str());
}

TEST(LatexExportWriter, FontGroupsOpenOnceAndCloseOnce) {
    std::ostringstream out;
    KLatexExportWriter w(&out, 0);
    EXPECT_TRUE(w.setFontStyle(KLatexExportWriter::FONT_ITALIC, true));
    EXPECT_FALSE(w.setFontStyle(KLatexExportWriter::FONT_ITALIC, true));
    w.writeEscapedText("x");
    EXPECT_TRUE(w.setFontStyle(KLatexExportWriter::FONT_BOLD, true));
    // Turning italic off closes bold above it too.
    EXPECT_TRUE(w.setFontStyle(KLatexExportWriter::FONT_ITALIC, false));
    EXPECT_FALSE(w.setFontStyle(KLatexExportWriter::FONT_BOLD, false));
    EXPECT_TRUE(w.setFontStyle(KLatexExportWriter::FONT_LARGE, true));
    EXPECT_TRUE(w.setFontStyle(KLatexExportWriter::FONT_NAMED, true, "Mine"));
    EXPECT_TRUE(w.setFontStyle(KLatexExportWriter::FONT_LARGE, false));
    EXPECT_EQ("\\textit{x\\textbf{}}{\\large \\QTR{Mine}{}}", out.str());
    EXPECT_TRUE(w.groups.empty());
}

TEST(LatexExportWriter, ReopenedEnvironmentWritesNothing) {
    std::ostringstream out;
    KLatexExportWriter w(&out, 0);
    w.beginEnvironment("center");
    std::string after = out.str();
    w.beginEnvironment("center");
    EXPECT_EQ(after, out.str());
    w.endEnvironment("center");
    EXPECT_EQ(after, out.str());
    w.endEnvironment("center");
    EXPECT_EQ(after + "\\end{center}\r\n", out.str());
}

TEST(LatexExportWriter, BlocksAndMacros) {
    std::ostringstream out;
    KLatexExportWriter w(&out, 0);
    w.beginBlock("itemize");
    w.beginMacro("section", "*");
    w.writeEscapedText("T");
    w.endMacro();
    w.endBlock();
    EXPECT_EQ("\\begin{itemize}\r\n\\section*{T}\r\n\\end{itemize}\r\n\r\n", out.str());
    EXPECT_TRUE(w.groups.empty());
}

// Style names go into the file as environment names and \QTR arguments: those LaTeX cannot
// hold open an unnamed block and no named group, and the text is still written.
TEST(LatexExportWriter, UnusableStyleNamesOpenNothingNamed) {
    struct Row {
        const char* name;
        std::string style;
        bool usable;
    } rows[] = {
        {"plain", "Notes", true},
        {"blanks and punctuation", "My style (2) $&_-[]", true},
        {"LaTeX's own environment", "center", true},
        {"empty", "", false},
        {"opening brace", "a{b", false},
        {"closing brace", "a}b", false},
        {"backslash", "a\\b", false},
        {"percent", "a%b", false},
        {"hash", "a#b", false},
        {"tilde", "a~b", false},
        {"caret", "a^^Mb", false},
        {"byte above ASCII", "caf\xe9", false},
        {"control byte", "a\tb", false},
        {"delete", "a\x7f", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(KLatexExportWriter::isUsableName(r.style), r.usable) << r.name;

        std::ostringstream block;
        KLatexExportWriter b(&block, 0);
        b.beginBlock(r.style);
        b.writeEscapedText("t");
        b.endBlock();
        std::string named = "\\begin{" + r.style + "}\r\nt\r\n\\end{" + r.style + "}\r\n\r\n";
        EXPECT_EQ(block.str(), r.usable ? named : std::string("t\r\n\r\n")) << r.name;
        EXPECT_TRUE(b.groups.empty()) << r.name;

        std::ostringstream font;
        KLatexExportWriter f(&font, 0);
        EXPECT_EQ(f.setFontStyle(KLatexExportWriter::FONT_NAMED, true, r.style), r.usable) << r.name;
        f.writeEscapedText("t");
        EXPECT_EQ(f.setFontStyle(KLatexExportWriter::FONT_NAMED, false), r.usable) << r.name;
        EXPECT_EQ(font.str(), r.usable ? "\\QTR{" + r.style + "}{t}" : std::string("t")) << r.name;
    }
}

// A failed write shows in the writer's stream state; a sink never fails.
TEST(LatexExportWriter, StreamFailureIsReported) {
    std::ostringstream good;
    KLatexExportWriter ok(&good, 70);
    ok.writeString("fine\n");
    EXPECT_FALSE(ok.streamFailed());

    std::ostringstream bad;
    bad.setstate(std::ios::badbit);
    KLatexExportWriter failing(&bad, 70);
    failing.writeString("lost\n");
    EXPECT_TRUE(failing.streamFailed());

    KLatexExportWriter sink(&bad, 70);
    std::string collected;
    sink.setSink([](void* context, char c) { static_cast<std::string*>(context)->push_back(c); }, &collected);
    sink.writeString("kept\n");
    EXPECT_FALSE(sink.streamFailed());
    EXPECT_EQ(collected, "kept\r\n");
}

}  // namespace
