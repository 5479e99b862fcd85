// File, colour and print dialogs under the test script, the refusal of file names cp1252 cannot
// hold, and the script file format.
#include "platform/gui/StdDialogs.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/gui/Dialog.h"
#include "platform/gui/gui_test.h"

namespace {

using gui::test::Step;

class StdDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::test::clearRecords();
        gui::test::setScript({});
        gui::test::takeFailures();
    }
    void TearDown() override { EXPECT_EQ(gui::test::stepsLeft(), 0u); }
};

Step file(const std::string& path, const std::string& filter = "", const std::string& title = "") {
    Step s;
    s.kind = Step::ChooseFile;
    s.path = path;
    s.text = filter;
    s.expect = title;
    return s;
}
Step cancel() {
    Step s;
    s.kind = Step::CancelDialog;
    return s;
}
Step okBox() {
    Step s;
    s.kind = Step::AnswerBox;
    s.answer = RET_OK;
    return s;
}

void worksheetFilters(FileDialog& d) {
    d.addFilter("Kelvo Worksheet", "*.kws;*.kw");
    d.addFilter("Text", "*.txt");
    d.addFilter("All Files", "*.*");
}

TEST_F(StdDialogsTest, FileDialogAnswersTable) {
    struct Row {
        const char* name;
        uint32_t style;
        Step step;
        long result;
        const char* path;    // expected path after execute (cp1252)
        const char* filter;  // expected current filter
    } rows[] = {
        {"open with filter", WB_OPEN, file("/tmp/a.kws", "Text", "Open Worksheet"), 1, "/tmp/a.kws", "Text"},
        {"open keeps current filter", WB_OPEN, file("/tmp/b.txt"), 1, "/tmp/b.txt", "Kelvo Worksheet"},
        {"open adds no extension", WB_OPEN, file("/tmp/noext"), 1, "/tmp/noext", "Kelvo Worksheet"},
        {"save adds the default extension", WB_SAVEAS, file("/tmp/new", "Kelvo Worksheet"), 1, "/tmp/new.kws", "Kelvo Worksheet"},
        {"save keeps a given extension", WB_SAVEAS, file("/tmp/new.txt", "Text"), 1, "/tmp/new.txt", "Text"},
        {"cp1252 name passes", WB_SAVEAS, file("/tmp/caf\xC3\xA9 \xE2\x82\xAC.kws"), 1, "/tmp/caf\xE9 \x80.kws", "Kelvo Worksheet"},
        {"cancel", WB_OPEN, cancel(), 0, "start.kws", "Kelvo Worksheet"},
        {"empty path cancels", WB_OPEN, file(""), 0, "start.kws", "Kelvo Worksheet"},
    };
    for (const Row& r : rows) {
        gui::test::setScript({r.step});
        FileDialog d(nullptr, r.style);
        worksheetFilters(d);
        d.setDefaultExt("kws");
        d.setText("Open Worksheet");
        d.setPath("start.kws");
        EXPECT_EQ(d.execute(), r.result) << r.name;
        EXPECT_EQ(d.getPath(), String(r.path)) << r.name;
        EXPECT_EQ(d.getCurFilter(), String(r.filter)) << r.name;
        EXPECT_TRUE(gui::test::takeFailures().empty()) << r.name;
    }
}

TEST_F(StdDialogsTest, NameOutsideCp1252IsRefusedWithAMessage) {
    // Cyrillic and CJK characters have no cp1252 byte: "?" would name another file.
    gui::test::setScript({file("/tmp/\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.kws"), okBox()});
    FileDialog d(nullptr, WB_SAVEAS);
    worksheetFilters(d);
    d.setPath("old.kws");
    EXPECT_EQ(d.execute(), 0);
    EXPECT_EQ(d.getPath(), String("old.kws"));
    ASSERT_EQ(gui::test::messages().size(), 1u);
    EXPECT_NE(gui::test::messages()[0].find("cannot be used"), std::string::npos) << gui::test::messages()[0];
    EXPECT_TRUE(gui::test::takeFailures().empty());
}

TEST_F(StdDialogsTest, ScriptMismatchesAreReported) {
    struct Row {
        const char* name;
        std::vector<Step> steps;
        const char* failure;
    } rows[] = {
        {"ran out", {}, "script ran out at open dialog \"Open\""},
        {"wrong title", {file("/tmp/x", "", "Save As")}, "expected \"Save As\""},
        {"unknown filter", {file("/tmp/x", "Pictures")}, "has no filter \"Pictures\""},
        {"box step", {okBox()}, "opened where the script had another step"},
    };
    for (const Row& r : rows) {
        gui::test::setScript(r.steps);
        FileDialog d(nullptr, WB_OPEN);
        worksheetFilters(d);
        EXPECT_EQ(d.execute(), 0) << r.name;
        auto f = gui::test::takeFailures();
        ASSERT_EQ(f.size(), 1u) << r.name;
        EXPECT_NE(f[0].find(r.failure), std::string::npos) << r.name << ": " << f[0];
    }
}

TEST_F(StdDialogsTest, ColorDialogKeepsSixteenBitComponents) {
    Step c;
    c.kind = Step::ChooseColor;
    c.red = 0x1234;
    c.green = 0xFFFF;
    c.blue = 0x0001;
    gui::test::setScript({c, cancel()});
    ColorDialog d(nullptr, WB_COLORDIALOG);
    d.setColor(Color::fromRGB8(10, 20, 30));
    EXPECT_EQ(d.execute(), 1);
    EXPECT_EQ(d.getColor(), Color(0x1234, 0xFFFF, 0x0001));
    EXPECT_EQ(d.execute(), 0);  // cancelled: the colour stays
    EXPECT_EQ(d.getColor(), Color(0x1234, 0xFFFF, 0x0001));
}

TEST_F(StdDialogsTest, PrintDialogTakesPrinterCopiesRangeAndFile) {
    Step p;
    p.kind = Step::ChoosePrinter;
    p.text = "PDF";
    p.copies = 3;
    p.collate = true;
    p.firstPage = 2;
    p.lastPage = 4;
    p.path = "/tmp/out.pdf";
    Step outside = p;
    outside.lastPage = 40;
    gui::test::setScript({p, outside});
    PrintDialog d(nullptr, WB_PRINTDIALOG);
    d.setMinPage(1);
    d.setMaxPage(9);
    EXPECT_EQ(d.execute(), 1);
    EXPECT_EQ(d.getPrinterName(), String("PDF"));
    EXPECT_EQ(d.getCopyCount(), 3);
    EXPECT_TRUE(d.isCollate());
    EXPECT_TRUE(d.isPageRange());
    EXPECT_EQ(d.getFirstPage(), 2);
    EXPECT_EQ(d.getLastPage(), 4);
    EXPECT_EQ(d.getPrintFile(), "/tmp/out.pdf");
    // A range outside the document's pages is a script fault; the earlier choice stays.
    EXPECT_EQ(d.execute(), 0);
    ASSERT_EQ(gui::test::takeFailures().size(), 1u);
    EXPECT_EQ(d.getLastPage(), 4);
}

TEST_F(StdDialogsTest, PrinterSetupChoosesOnlyThePrinter) {
    Step p;
    p.kind = Step::ChoosePrinter;
    p.text = "Office";
    p.copies = 7;
    gui::test::setScript({p});
    PrinterSetupDialog d(nullptr);
    EXPECT_EQ(d.getPrinterName(), String("PDF"));
    EXPECT_EQ(d.execute(), 1);
    EXPECT_EQ(d.getPrinterName(), String("Office"));
    EXPECT_EQ(d.getCopyCount(), 1);
}

TEST_F(StdDialogsTest, ScriptFileGivesEveryStepKind) {
    std::string path = std::string(KELVO_TEST_DATA) + "/platform/gui/gui_script.txt";
    ::setenv("WKELVO_GUI_SCRIPT", path.c_str(), 1);
    gui::test::initFromEnvironment();
    ::unsetenv("WKELVO_GUI_SCRIPT");
    EXPECT_TRUE(gui::test::takeFailures().empty());
    Size screen;
    ASSERT_TRUE(gui::test::fixedScreenSize(screen));
    EXPECT_EQ(screen, Size(1024, 768));
    gui::test::unfixScreenSize();
    EXPECT_TRUE(gui::test::takeBreakKey());
    ASSERT_EQ(gui::test::stepsLeft(), 11u);
    std::vector<Step> s(11);
    for (Step& x : s) ASSERT_TRUE(gui::test::takeStep(x));
    EXPECT_EQ(s[0].kind, Step::AnswerBox);
    EXPECT_EQ(s[0].answer, 2);
    EXPECT_EQ(s[0].expect, "Save changes?");
    EXPECT_EQ(s[1].kind, Step::SetEditText);
    EXPECT_EQ(s[1].control, "Edit");
    EXPECT_EQ(s[1].text, "Caf\xE9");  // UTF-8 in the file, cp1252 in the step
    EXPECT_EQ(s[1].expect, "Name Dialog");
    EXPECT_EQ(s[2].kind, Step::CheckBox);
    EXPECT_EQ(s[2].state, 2);
    EXPECT_EQ(s[3].kind, Step::SelectEntry);
    EXPECT_EQ(s[3].state, 3);
    EXPECT_EQ(s[3].text, "");
    EXPECT_EQ(s[4].text, "12");
    EXPECT_EQ(s[5].kind, Step::ClickButton);
    EXPECT_EQ(s[6].kind, Step::ChooseMenuItem);
    EXPECT_EQ(s[6].answer, 1102);
    EXPECT_EQ(s[7].kind, Step::ChooseFile);
    EXPECT_EQ(s[7].path, "/tmp/out put.kws");
    EXPECT_EQ(s[7].text, "Kelvo Worksheet");
    EXPECT_EQ(s[7].expect, "Save As");
    EXPECT_EQ(s[8].kind, Step::ChooseColor);
    EXPECT_EQ(s[8].red, 65535);
    EXPECT_EQ(s[8].blue, 32768);
    EXPECT_EQ(s[9].kind, Step::ChoosePrinter);
    EXPECT_EQ(s[9].copies, 2);
    EXPECT_TRUE(s[9].collate);
    EXPECT_EQ(s[9].firstPage, 3);
    EXPECT_EQ(s[9].lastPage, 5);
    EXPECT_EQ(s[9].path, "/tmp/kelvo print.pdf");
    EXPECT_EQ(s[10].kind, Step::CancelDialog);
}

TEST_F(StdDialogsTest, ScriptFileErrorsNameTheLine) {
    struct Row {
        const char* name;
        const char* text;
        const char* error;
    } rows[] = {
        {"unknown step", "answer 1\nfly 3\n", "line 2: unknown step fly"},
        {"answer out of range", "answer 7\n", "line 1: expected: answer"},
        {"unterminated", "type Edit 1 \"abc\n", "line 1: unterminated text"},
        {"colour too big", "color 1 2 70000\n", "line 1: expected: color"},
        {"range reversed", "printer \"PDF\" 1 0 5 3\n", "line 1: expected: printer"},
        {"select without entry", "select ListBox 1\n", "line 1: expected: select"},
        {"extra words", "click OKButton 1 \"a\" \"b\"\n", "line 1: unexpected words after click"},
        {"screen zero", "screen 0 10\n", "line 1: expected: screen"},
    };
    for (const Row& r : rows) {
        std::vector<Step> out{Step()};
        std::string error;
        EXPECT_FALSE(gui::test::parseScript(r.text, out, &error)) << r.name;
        EXPECT_NE(error.find(r.error), std::string::npos) << r.name << ": " << error;
        EXPECT_EQ(out.size(), 1u) << r.name;  // untouched
    }
    Size s;
    EXPECT_FALSE(gui::test::fixedScreenSize(s));
}

TEST_F(StdDialogsTest, MissingScriptFileIsAFailure) {
    ::setenv("WKELVO_GUI_SCRIPT", "/nonexistent/kelvo-script.txt", 1);
    gui::test::initFromEnvironment();
    ::unsetenv("WKELVO_GUI_SCRIPT");
    auto f = gui::test::takeFailures();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_NE(f[0].find("cannot be read"), std::string::npos);
}

}  // namespace
