// Printing to the PDF printer: two pages, page size as reported, the text of each page, and the
// job errors.
#include "platform/gui/Printer.h"

#include "platform/gui/Picture.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string run(const std::string& cmd) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
    if (!p) return out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p.get())) > 0) out.append(buf.data(), n);
    return out;
}

TEST(Printer, PdfPrinterIsAlwaysThere) {
    EXPECT_GE(Printer::getPrinterCount(), 1);
    EXPECT_EQ(Printer::getPrinterName(Printer::getPrinterCount() - 1), String("PDF"));
    Printer p(String("PDF"));
    EXPECT_TRUE(p.isPdf());
    EXPECT_EQ(p.getDescription(), String("PDF file"));
    EXPECT_EQ(p.getOutDevType(), OUTDEV_PRINTER);
    Printer unknown(String("no such printer"));
    EXPECT_TRUE(unknown.isPdf());
    EXPECT_FALSE(unknown.startJob("x")) << "a PDF job without a file";
}

TEST(Printer, TwoPagesToPdf) {
    std::string file = std::filesystem::temp_directory_path() / ("kelvo_print_" + std::to_string(getpid()) + ".pdf");
    Printer p(String("PDF"));
    p.setPrintFile(file);
    Size paper = p.getPaperSizeTwips();
    ASSERT_GT(paper.width, 0);
    Rectangle area = p.getPrintableAreaTwips();
    EXPECT_FALSE(area.isEmpty());
    EXPECT_LE(area.getWidth(), paper.width);
    int errors = 0;
    p.setErrorHdl(LinkOf<long>([&](long) { ++errors; return 0L; }));
    ASSERT_TRUE(p.startJob("test document"));
    p.setMapMode(MapMode(MapUnit::Twip));
    Font f("Times New Roman", Size(0, 240));  // 12 points
    f.setColor(Color(COL_BLACK));
    ASSERT_TRUE(p.startPage());
    p.setFont(f);
    p.setRasterOp(ROP_XOR);  // printers ignore it
    p.drawText(Point(1440, 1440), "Caf\xE9 \x80");
    p.setPen(Pen(Color(COL_BLACK), 20));
    p.drawLine(Point(1440, 2000), Point(5000, 2000));
    ASSERT_TRUE(p.endPage());
    ASSERT_TRUE(p.startPage());
    p.drawText(Point(1440, 1440), "Page 2");
    ASSERT_TRUE(p.endPage());
    ASSERT_TRUE(p.endJob());
    EXPECT_EQ(errors, 0);
    ASSERT_TRUE(std::filesystem::exists(file));

    std::string info = run("pdfinfo '" + file + "'");
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    char size[128];
    std::snprintf(size, sizeof size, "Page size:       %g x %g pts", paper.width / 20.0, paper.height / 20.0);
    EXPECT_NE(info.find(size), std::string::npos) << info << "\nexpected: " << size;
    EXPECT_NE(run("pdftotext -f 1 -l 1 '" + file + "' -").find("Café €"), std::string::npos);
    EXPECT_NE(run("pdftotext -f 2 -l 2 '" + file + "' -").find("Page 2"), std::string::npos);
    std::filesystem::remove(file);
    std::vector<uint8_t> setup = p.getJobSetup();
    EXPECT_EQ(setup.size(), p.getJobSetupSize());
    EXPECT_EQ(setup[0], 3);  // "PDF"
}

TEST(Printer, UnwritableFileIsReportedAsAPageError) {
    Printer p(String("PDF"));
    p.setPrintFile("/nonexistent-folder/x.pdf");
    int last = 0;
    p.setErrorHdl(LinkOf<long>([&](long code) { last = static_cast<int>(code); return 0L; }));
    ASSERT_TRUE(p.startJob("doc"));
    EXPECT_FALSE(p.startPage());
    EXPECT_EQ(last, 1);
    p.drawLine(Point(0, 0), Point(10, 10));  // outside a page: nothing, no crash
    EXPECT_TRUE(p.endJob());
}

// The texts a recorded page draws, in order.
std::vector<std::string> textsOf(const Picture& page) {
    std::vector<std::string> out;
    for (const PictureAction& a : page.actions())
        if (a.type == PA_TEXT || a.type == PA_TEXTARRAY) out.push_back(a.text.str());
    return out;
}

TEST(Printer, RecordedJobKeepsEachPageAsAPictureAndWritesNothing) {
    Printer p(String("PDF"));   // no print file: a real job would be refused
    p.setRecordPages(true);
    ASSERT_TRUE(p.startJob("recorded"));
    EXPECT_TRUE(p.isJobActive());
    EXPECT_FALSE(p.startJob("second")) << "one job at a time";
    p.setMapMode(MapMode(MapUnit::Twip));
    p.setFont(Font("Times New Roman", Size(0, 240)));
    ASSERT_TRUE(p.startPage());
    EXPECT_FALSE(p.startPage()) << "a page is open";
    p.drawText(Point(1440, 1440), "first");
    p.drawLine(Point(1440, 2000), Point(5000, 2000));
    ASSERT_TRUE(p.endPage());
    p.drawText(Point(0, 0), "between pages");   // outside a page: not on any page
    ASSERT_TRUE(p.startPage());
    p.drawText(Point(1440, 1440), "second");
    ASSERT_TRUE(p.endPage());
    ASSERT_TRUE(p.endJob());
    EXPECT_FALSE(p.isJobActive());

    const std::vector<Picture>& pages = p.getRecordedPages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(textsOf(pages[0]), std::vector<std::string>{"first"});
    EXPECT_EQ(textsOf(pages[1]), std::vector<std::string>{"second"});
    EXPECT_EQ(pages[0].getPrefSize(), p.getPaperSizeTwips());
    EXPECT_EQ(pages[0].getPrefMapMode().unit, MapUnit::Twip);
    bool line = false;
    for (const PictureAction& a : pages[0].actions()) line |= a.type == PA_LINE && a.point == Point(1440, 2000);
    EXPECT_TRUE(line) << "drawing calls are kept in the page's twips";

    // A new job starts an empty list; an aborted one keeps the pages it finished.
    ASSERT_TRUE(p.startJob("aborted"));
    ASSERT_TRUE(p.startPage());
    p.drawText(Point(0, 0), "lost");
    EXPECT_TRUE(p.abortJob());
    EXPECT_TRUE(p.getRecordedPages().empty());
    EXPECT_FALSE(p.isJobActive());
}

}  // namespace
