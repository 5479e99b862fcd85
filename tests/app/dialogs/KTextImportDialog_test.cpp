// The text import dialog driven by the GUI layer's script: the choice after OK with and
// without a selection, Cancel, and a plain-text file loaded through the loader's question.
#include "app/dialogs/KTextImportDialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gmock/gmock.h>

#include "app/KMainFrame.h"
#include "app/KWorksheetWindow.h"
#include "app/KWorksheetApp.h"
#include "app/program_resources.h"
#include "document/exec/WorksheetDocument.h"
#include "document/exec/WorksheetFile.h"
#include "document/styles/KViewOptions.h"
#include "document/tree/Element.h"
#include "document/tree/ElementPosition.h"
#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"
#include "tests/app/dialogs/program_child.h"

namespace {

using gui::test::Step;
namespace fs = std::filesystem;

Step selectEntry(const char* text) {
    Step s;
    s.kind = Step::SelectEntry;
    s.id = 100;
    s.text = text;
    return s;
}

Step answerBox(const char* text) {
    Step s;
    s.kind = Step::AnswerBox;
    s.answer = 1;
    s.expect = text;
    return s;
}

Step click(const char* control, int id) {
    Step s;
    s.kind = Step::ClickButton;
    s.control = control;
    s.id = id;
    s.expect = "Text Format Choice";
    return s;
}

class TextImportDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::ensureApplication();
        ASSERT_TRUE(loadProgramResources());
        gui::test::activate();
        gui::test::takeFailures();
    }
    void TearDown() override {
        EXPECT_EQ(gui::test::stepsLeft(), 0u);
        EXPECT_TRUE(gui::test::takeFailures().empty());
        gui::test::setScript({});
        gui::test::deactivate();
    }
};

TEST_F(TextImportDialogTest, ListsBothFormatsUnderItsTitle) {
    KTextImportDialog dialog(nullptr);
    EXPECT_EQ(dialog.getText().str(), "Text Format Choice");
    ListBox list(&dialog, ResId(100));
    ASSERT_EQ(list.getEntryCount(), 2);
    EXPECT_EQ(list.getEntry(0).str(), "Kelvo Text");
    EXPECT_EQ(list.getEntry(1).str(), "Text");
    EXPECT_EQ(list.getSelectEntryPos(), LISTBOX_ENTRY_NOTFOUND);
    EXPECT_EQ(FixedText(&dialog, ResId(1)).getText().str(), "Text Format:");
    EXPECT_EQ(dialog.choice, 0u);
}

TEST_F(TextImportDialogTest, ScriptedAnswers) {
    struct Row {
        const char* name;
        std::vector<Step> steps;
        long result;
        unsigned choice;
        int hookAnswer;   // what the loader's question answers for the same steps
    } rows[] = {
        {"OK with nothing selected", {click("OKButton", 101)}, RET_OK, 0, 0},
        {"Kelvo Text", {selectEntry("Kelvo Text"), click("OKButton", 101)}, RET_OK, 0, 0},
        {"Text", {selectEntry("Text"), click("OKButton", 101)}, RET_OK, 1, 1},
        {"Cancel after a selection", {selectEntry("Text"), click("CancelButton", 102)}, RET_CANCEL, 0, -1},
    };
    for (const Row& r : rows) {
        gui::test::setScript(r.steps);
        KTextImportDialog dialog(nullptr);
        EXPECT_EQ(dialog.execute(), r.result) << r.name;
        EXPECT_EQ(dialog.choice, r.choice) << r.name;
        gui::test::setScript(r.steps);
        EXPECT_EQ(KTextImportDialog::chooseTextImport("f.txt", kTextImportEntries, 2), r.hookAnswer) << r.name;
    }
}

struct LoadRow {
    const char* name;
    std::vector<Step> steps;
    std::string expected;   // the kinds of the root's children, or "none" when nothing loaded
};

// The kinds of the root's children of the worksheet a window shows.
std::string rootKinds(KWorksheetWindow* window) {
    std::string kinds;
    Element* root = window && window->document() ? window->document()->root() : nullptr;
    for (int i = 0; root && i < root->childCount(); ++i)
        kinds += (kinds.empty() ? "" : ",") + std::to_string(root->childAt(i)->elementKind());
    return kinds;
}

// Runs the program and loads a copy of the file per row through the frame, the script
// answering the question; prints "<name>: <kinds>" per row and exits.
[[noreturn]] void loadThroughTheProgram(const std::vector<LoadRow>& rows, const fs::path& dir) {
    runProgramAndReport([&](KWorksheetApp& a, std::string& seen) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const fs::path copy = dir / ("import" + std::to_string(i) + ".txt");
            fs::copy_file(std::string(KELVO_TEST_DATA) + "/app/import_choice.txt", copy);
            gui::test::setScript(rows[i].steps);
            const bool loaded = a.frame->load_worksheet(copy.c_str(), 0);
            seen += std::string(rows[i].name) + ": " + (loaded ? rootKinds(dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet())) : "none") + "\n";
        }
    });
}

// A plain-text file opened in the program is imported as the dialog's choice: Kelvo Text
// gathers the comment and the first statement in one execution group and the second statement
// in another; Text makes one paragraph a line; Cancel opens nothing.  The program runs in a
// child process (the expression library comes up once per process).
TEST(TextImportProgram, PlainTextFileLoadsAsTheChosenFormat) {
    const std::vector<LoadRow> rows = {
        {"Kelvo Text", {click("OKButton", 101)},
         std::to_string(KIND_GROUP) + "," + std::to_string(KIND_GROUP)},
        {"Text", {selectEntry("Text"), click("OKButton", 101)},
         std::to_string(KIND_PARAGRAPH) + "," + std::to_string(KIND_PARAGRAPH) + "," + std::to_string(KIND_PARAGRAPH)},
        // The frame then reports that nothing was loaded.
        {"Cancel", {click("CancelButton", 102), answerBox("Unable to load the worksheet")}, "none"},
    };
    std::string expected;
    for (const LoadRow& r : rows) expected += std::string(r.name) + ": " + r.expected + "\n";
    expected += "failures 0";
    fs::path dir = fs::temp_directory_path() / ("kwsimport_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loadThroughTheProgram(rows, dir), ::testing::ExitedWithCode(0), ::testing::HasSubstr(expected));
    fs::remove_all(dir);
}

}  // namespace
