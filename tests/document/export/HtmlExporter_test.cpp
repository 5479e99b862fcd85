// The HTML writer: escaping, character and paragraph markup, page head and tail, names of files
// and pictures, animations and failing pictures.

#include "document/export/HtmlExporter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "document/styles/CharStyle.h"
#include "html_test_support.h"

namespace {

// An exporter writing one page, doc.html, in a fresh folder; `page()` is what it holds.
class HtmlWriter : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.path().empty());
        exporter_ = std::make_unique<HtmlExporter>(folder_.filePath("doc.html"));
        ASSERT_TRUE(exporter_->openFile("", false));
    }
    std::string page() {
        exporter_->closeAll();
        return readFile(folder_.file("doc.html"));
    }
    TempFolder folder_;
    std::unique_ptr<HtmlExporter> exporter_;
};

TEST_F(HtmlWriter, TextIsEscaped) {
    exporter_->writeText("a<b&c\nd>e");
    const char control[] = {'x', 0x01, 0x7f, 'y', 0};
    exporter_->writeText(control);
    exporter_->writeText("\xe9");  // a cp1252 letter stays a byte
    exporter_->writeInt(-42);
    EXPECT_EQ(page(), "a&lt;b&amp;c<br>\nd&gt;ex&#1;&#127;y\xe9-42");
}

struct AttributeRow {
    const char* name;
    const char* given;
    const char* anchor;  // writeAnchor
    const char* link;    // beginLink with the default target
};

TEST_F(HtmlWriter, AnchorsAndLinksEscapeTheirValues) {
    const AttributeRow rows[] = {
        {"plain", "KelvoAutoBookmark1", "<a name=\"KelvoAutoBookmark1\">",
         "<a href=\"KelvoAutoBookmark1\" target=\"Content\">"},
        {"quote", "say \"hi\"", "<a name=\"say &quot;hi&quot;\">", "<a href=\"say%20%22hi%22\" target=\"Content\">"},
        {"markup", "a&b<c>", "<a name=\"a&amp;b&lt;c&gt;\">", "<a href=\"a&amp;b&lt;c&gt;\" target=\"Content\">"},
        {"percent", "50%", "<a name=\"50%\">", "<a href=\"50%25\" target=\"Content\">"},
    };
    std::string expected;
    for (const AttributeRow& row : rows) {
        exporter_->writeAnchor(row.given);
        exporter_->beginLink(row.given);
        exporter_->endLink();
        expected += std::string(row.anchor) + row.link + "</a>";
    }
    exporter_->beginLink("doc2.html", "Other\"frame");
    expected += "<a href=\"doc2.html\" target=\"Other&quot;frame\">";
    EXPECT_EQ(page(), expected);
}

struct CharStyleRow {
    const char* name;
    int sizeMode, size;
    bool red, italic, bold, underline, fixedLines;
    const char* begin;
    const char* end;
};

TEST_F(HtmlWriter, CharacterStyles) {
    const CharStyleRow rows[] = {
        {"24 points", 1, 24, false, false, false, false, false, "<font size=6>", "</font>\n"},
        {"12 points", 1, 12, false, false, false, false, false, "<font>", "</font>\n"},
        {"9 points", 1, 9, false, false, false, false, false, "<font size=1>", "</font>\n"},
        {"10 points", 1, 10, false, false, false, false, false, "<font size=2>", "</font>\n"},
        {"30 points", 1, 30, false, false, false, false, false, "<font size=7>", "</font>\n"},
        {"one step down", 2, 1, false, false, false, false, false, "<font size=1>", "</font>\n"},
        {"no size", 0, 0, false, false, false, false, false, "<font>", "</font>\n"},
        {"red", 0, 0, true, false, false, false, false, "<font color=#FF0000>", "</font>\n"},
        {"all faces", 1, 12, false, true, true, true, false, "<i><b><u><font>", "</font></u></b></i>\n"},
        {"fixed lines", 1, 12, false, false, true, false, true, "<b><tt><pre><font>", "</font></pre></tt></b>\n"},
    };
    for (const CharStyleRow& row : rows) {
        CharStyle style;
        style.sizeMode = row.sizeMode;
        style.size = static_cast<std::int16_t>(row.size);
        if (row.red) style.setColor(255, 0, 0);
        style.italic = row.italic;
        style.bold = row.bold;
        style.underline = row.underline;
        style.lineBreak = row.fixedLines ? 3 : 1;
        exporter_->closeAll();
        ASSERT_TRUE(exporter_->openNamedFile("doc.html"));
        exporter_->beginCharStyle(&style);
        exporter_->endCharStyle(&style);
        EXPECT_EQ(page(), std::string(row.begin) + row.end) << row.name;
    }
    ASSERT_TRUE(exporter_->openNamedFile("doc.html"));
    exporter_->beginCharStyle(nullptr);
    exporter_->endCharStyle(nullptr);
    EXPECT_EQ(page(), "<font></font>\n");
}

TEST_F(HtmlWriter, Paragraphs) {
    const char* expected[] = {"<p>", "<p align=left>", "<p align=right>", "<p align=center>", "<p>"};
    std::string all;
    for (int justification = 0; justification <= 4; ++justification) {
        ParaStyle style;
        style.justification = justification;
        exporter_->beginParagraph(&style);
        exporter_->beginParagraphContent();
        exporter_->endParagraphContent();
        exporter_->endParagraph();
        all += std::string(expected[justification]) + "\n</p>\n";
    }
    exporter_->beginParagraph(nullptr);
    exporter_->beginComment();
    exporter_->endComment();
    all += "<p><!--  -->\n";
    EXPECT_EQ(page(), all);
}

// The page head and tail, and the frameset file, byte for byte.
TEST_F(HtmlWriter, PagesMatchGoldenFiles) {
    exporter_->beginDocument(false);
    exporter_->endDocument(false);
    EXPECT_EQ(page(), readFile(KELVO_TEST_DATA "/document/export/page.html"));
    ASSERT_TRUE(exporter_->openNamedFile("doc.html"));
    exporter_->contentFileName = "doc1.html";
    exporter_->beginDocument(true);
    exporter_->writeFrameset();
    exporter_->endDocument(true);
    EXPECT_EQ(page(), readFile(KELVO_TEST_DATA "/document/export/frameset.html"));
}

TEST(HtmlExporterFiles, WritesWithoutOpenFileAreSkipped) {
    TempFolder folder;
    HtmlExporter exporter(folder.filePath("doc.html"));
    exporter.writeText("nothing");
    exporter.writeAnchor("x");
    exporter.closeFile();
    EXPECT_EQ(exporter.depth(), 0u);
    EXPECT_EQ(exporter.currentFileName().length(), 0);
}

TEST(HtmlExporterFiles, NamesOfPagesAndPictures) {
    TempFolder folder;
    HtmlExporter exporter(folder.filePath("doc.html"));
    KString name;
    exporter.mainNames().next(name, "");
    EXPECT_STREQ(name.text(), "doc.html");
    exporter.mainNames().next(name, "TOC");
    EXPECT_STREQ(name.text(), "docTOC.html");
    exporter.mainNames().next(name, nullptr);
    EXPECT_STREQ(name.text(), "doc1.html");
    exporter.bookmarkNames().next(name, nullptr);
    EXPECT_STREQ(name.text(), "KelvoAutoBookmark1");
    EXPECT_STREQ(exporter.exportFileName().text(), "doc.html");

    TestPicture picture(5, 4);
    ASSERT_TRUE(exporter.openFile("", false));
    EXPECT_TRUE(exporter.writeImage(picture, "a \"picture\"", true, 0));
    EXPECT_TRUE(exporter.writeImage(picture, nullptr, false, 0));
    exporter.closeAll();
    EXPECT_EQ(readFile(folder.file("doc.html")),
              "<img src=\"images/doc1.gif\" width=5 height=4 alt=\"a &quot;picture&quot;\" align=middle>\n"
              "<img src=\"images/doc2.gif\" width=5 height=4>\n");
    DecodedGif gif = decodeGif(folder.file("images/doc1.gif"));
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.frames, 1);
    ASSERT_EQ(gif.pixels.size(), 20u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(gif.pixels[y * 5 + x], picture.pixelColor(x, y)) << x << "," << y;
    EXPECT_TRUE(fileExists(folder.file("images/doc2.gif")));
}

TEST(HtmlExporterFiles, PicturesBesideThePageWhenNoImagesFolder) {
    TempFolder folder;
    // A file named "images" keeps the folder from being made.
    { std::ofstream(folder.file("images")) << "x"; }
    HtmlExporter exporter(folder.filePath("doc.html"));
    TestPicture picture(2, 2);
    ASSERT_TRUE(exporter.openFile("", false));
    EXPECT_TRUE(exporter.writeImage(picture, nullptr, false, 0));
    exporter.closeAll();
    EXPECT_EQ(readFile(folder.file("doc.html")), "<img src=\"doc1.gif\" width=2 height=2>\n");
    EXPECT_TRUE(decodeGif(folder.file("doc1.gif")).ok);
}

TEST(HtmlExporterFiles, AnimationIsOneFileOfItsFrames) {
    TempFolder folder;
    HtmlExporter exporter(folder.filePath("doc.html"));
    ASSERT_TRUE(exporter.openFile("", false));
    TestPicture a(6, 3), b(6, 3), c(6, 3);
    // The palette passes first (colours only), then the frames.
    EXPECT_TRUE(exporter.writePlotImage(a, HtmlExporter::IMAGE_ANIMATION | HtmlExporter::IMAGE_FIRST));
    EXPECT_TRUE(exporter.writePlotImage(b, HtmlExporter::IMAGE_ANIMATION));
    EXPECT_TRUE(exporter.writePlotImage(c, HtmlExporter::IMAGE_ANIMATION));
    EXPECT_TRUE(exporter.writeImage(a, nullptr, false, 0x81));
    EXPECT_EQ(exporter.depth(), 2u) << "the image file stays open between frames";
    EXPECT_TRUE(exporter.writeImage(b, nullptr, false, 0x80));
    EXPECT_TRUE(exporter.writeImage(c, nullptr, false, 0x82));
    EXPECT_EQ(exporter.depth(), 1u);
    exporter.closeAll();
    EXPECT_EQ(readFile(folder.file("doc.html")), "<img src=\"images/doc1.gif\" width=6 height=3>\n");
    DecodedGif gif = decodeGif(folder.file("images/doc1.gif"));
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.frames, 3);
    // A frame without its animation's first frame fails.
    HtmlExporter other(folder.filePath("other.html"));
    ASSERT_TRUE(other.openFile("", false));
    EXPECT_FALSE(other.writeImage(a, nullptr, false, 0x80));
    EXPECT_EQ(other.depth(), 1u);
}

TEST(HtmlExporterFiles, FailingPicturesWriteNoImage) {
    TempFolder folder;
    HtmlExporter exporter(folder.filePath("doc.html"));
    ASSERT_TRUE(exporter.openFile("", false));
    TestPicture cannotRender(4, 4, true);
    EXPECT_FALSE(exporter.writeImage(cannotRender, nullptr, false, 0));   // images/doc1.gif
    TestPicture empty(0, 4);
    EXPECT_FALSE(exporter.writeImage(empty, nullptr, false, 0));          // images/doc2.gif
    // The next image file is a directory: it cannot be made.
    ASSERT_EQ(::mkdir(folder.file("images/doc3.gif").c_str(), 0777), 0);
    TestPicture fine(4, 4);
    EXPECT_FALSE(exporter.writeImage(fine, nullptr, false, 0));
    // A file that takes no bytes: the writer fails.
    ASSERT_EQ(::symlink("/dev/full", folder.file("images/doc4.gif").c_str()), 0);
    EXPECT_FALSE(exporter.writeImage(fine, nullptr, false, 0));
    // An animation whose second frame fails leaves no image file open.
    EXPECT_TRUE(exporter.writePlotImage(fine, HtmlExporter::IMAGE_ANIMATION | HtmlExporter::IMAGE_FIRST));
    EXPECT_TRUE(exporter.writeImage(fine, nullptr, false, 0x81));
    EXPECT_FALSE(exporter.writeImage(cannotRender, nullptr, false, 0x82));
    EXPECT_EQ(exporter.depth(), 1u);
    // BMP has no writer here.
    exporter.setImageFormat(HtmlExporter::IMAGE_BMP);
    EXPECT_FALSE(exporter.writeImage(fine, nullptr, false, 0));
    EXPECT_TRUE(fileExists(folder.file("images/doc6.bmp")));
    exporter.closeAll();
    EXPECT_EQ(readFile(folder.file("doc.html")), "");
}

}  // namespace
