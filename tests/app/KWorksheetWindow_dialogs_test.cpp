// The worksheet window's dialog commands with the dialogs answered by the GUI layer's script
// (bookmark, paragraph and character style, style management), the format commands, search,
// the math editor's action and the replacement of the shown document.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/KWindowRegistry.h"
#include "app/program_resources.h"
#include "document/edit/BookmarkIndex.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/styles/CharStyle.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/Selection.h"
#include "tests/app/worksheet_window_fixture.h"

namespace {

using gui::test::Step;
using worksheet_window_test::WorksheetWindowFixture;
namespace fs = std::filesystem;

// One scripted user step on a control of the dialog that runs.
Step onControl(Step::Kind kind, const char* control, int id, int state = 0, const char* text = "") {
    Step s;
    s.kind = kind;
    s.control = control;
    s.id = id;
    s.state = state;
    s.text = text;
    return s;
}

Step typeInto(const char* control, int id, const char* text) { return onControl(Step::SetEditText, control, id, 0, text); }
Step click(const char* control, int id = 1) { return onControl(Step::ClickButton, control, id); }
Step check(const char* control, int id, int state) { return onControl(Step::CheckBox, control, id, state); }
// The entry at a position (the entry text left empty).
Step selectAt(const char* control, int id, int position) { return onControl(Step::SelectEntry, control, id, position); }

Step cancel() {
    Step s;
    s.kind = Step::CancelDialog;
    return s;
}

// A worksheet of text paragraphs, one run each.
std::unique_ptr<WorksheetDocument> textWorksheet(const std::vector<const char*>& lines) {
    auto document = std::make_unique<WorksheetDocument>(nullptr);
    auto* root = new SectionElement();
    for (const char* line : lines) {
        auto* paragraph = new ParagraphElement(0, nullptr);
        paragraph->insertChild(new TextElement(-1, line), nullptr, kInsertAfter);
        root->insertChild(paragraph, nullptr, kInsertAfter);
    }
    document->setRoot(root);
    return document;
}

ParagraphElement* paragraphAt(Element* root, int index) { return dynamic_cast<ParagraphElement*>(root->childAt(index)); }

TextElement* runOf(Element* paragraph) { return dynamic_cast<TextElement*>(paragraph->firstChild()); }

class WorksheetDialogsTest : public WorksheetWindowFixture {
public:
    void SetUp() override {
        WorksheetWindowFixture::SetUp();
        ASSERT_TRUE(loadProgramResources());
        gui::test::takeFailures();
    }
    void TearDown() override {
        EXPECT_EQ(gui::test::stepsLeft(), 0u);
        EXPECT_EQ(gui::test::takeFailures(), std::vector<std::string>{});
        WorksheetWindowFixture::TearDown();
    }
    Element* root() { return window->document()->root(); }
    // What f reports on the error stream (message boxes outside the event loop go there).
    static std::string reportOf(const std::function<void()>& f) {
        testing::internal::CaptureStderr();
        f();
        return testing::internal::GetCapturedStderr();
    }
    static bool holds(const std::string& report, const std::string& text) {
        return report.find(text) != std::string::npos;
    }
};

// ---- bookmarks --------------------------------------------------------------------------------------

TEST_F(WorksheetDialogsTest, BookmarkDialogEditsTheParagraphAtTheCaret) {
    struct Row {
        const char* name;
        const char* before;
        std::vector<Step> steps;
        bool result;
        const char* after;
    } rows[] = {
        {"a new name", "", {typeInto("Edit", 1, "intro"), click("OKButton")}, true, "intro"},
        {"renamed", "old", {typeInto("Edit", 1, "new"), click("OKButton")}, true, "new"},
        {"OK keeps the shown name", "kept", {click("OKButton")}, true, "kept"},
        {"an empty name is stored", "gone", {typeInto("Edit", 1, ""), click("OKButton")}, true, ""},
        {"Cancel", "stays", {typeInto("Edit", 1, "other"), click("CancelButton")}, false, "stays"},
    };
    for (const Row& r : rows) {
        reopen(textWorksheet({"first line", "second line"}));
        ParagraphElement* paragraph = paragraphAt(root(), 1);
        paragraph->bookmark.assign(r.before);
        BookmarkIndex* index = window->document()->bookmarks();
        index->count();   // built before the edit: the edit must make it stale
        window->caret()->setPosition(runOf(paragraph), 3);
        gui::test::setScript(r.steps);
        EXPECT_EQ(window->window_command(1901, nullptr, 0), r.result) << r.name;
        EXPECT_STREQ(paragraph->bookmark.text(), r.after) << r.name;
        if (*r.after) EXPECT_EQ(index->find(r.after), paragraph) << r.name;
        else EXPECT_EQ(index->count(), 0) << r.name;
        EXPECT_EQ(window->caret()->hideCount(), 0) << r.name;
    }
}

TEST_F(WorksheetDialogsTest, BookmarkOutsideAParagraphShowsItsMessageAndNoDialog) {
    reopen(worksheetOf({"x := 1;"}));
    window->caret()->setPosition(root(), 0);
    const std::string report = reportOf([&] { EXPECT_FALSE(window->window_command(1901, nullptr, 0)); });
    EXPECT_TRUE(holds(report, "Bookmarks can only be set on a paragraph.")) << report;
}

// A bookmarked paragraph inside a subsection is listed, found by name and by number, and the
// caret goes there (expanding the collapsed subsection).
TEST_F(WorksheetDialogsTest, BookmarkInsideASubsectionIsFound) {
    auto document = textWorksheet({"top"});
    Element* top = document->root();
    auto* subsection = new SectionElement();
    auto* heading = new ParagraphElement(0, nullptr);
    heading->insertChild(new TextElement(-1, "Heading"), nullptr, kInsertAfter);
    subsection->insertChild(heading, nullptr, kInsertAfter);
    auto* inner = new ParagraphElement(0, nullptr);
    inner->insertChild(new TextElement(-1, "inside"), nullptr, kInsertAfter);
    inner->bookmark.assign("deep");
    subsection->insertChild(inner, nullptr, kInsertAfter);
    top->insertChild(subsection, nullptr, kInsertAfter);
    reopen(std::move(document));
    subsection->collapse(false);
    BookmarkIndex* index = window->document()->bookmarks();
    index->invalidate();
    ASSERT_EQ(index->count(), 1);
    EXPECT_EQ(index->find("deep"), inner);
    EXPECT_EQ(index->element(0), inner);
    window->caret()->setPosition(runOf(paragraphAt(root(), 0)), 0);
    EXPECT_TRUE(window->window_command(KWorksheetWindow::kFirstBookmarkCommand, nullptr, 0));
    EXPECT_EQ(window->caret()->element(), inner->firstChild());
    EXPECT_FALSE(subsection->isCollapsed());

    // The same worksheet saved and loaded into the window.
    registerExecutionGroupReaders();
    registerSectionReaders();
    registerTextReaders();
    registerParagraphReaders();
    const std::string path = ::testing::TempDir() + "bookmark_in_subsection.kws";
    ASSERT_TRUE(window->writeFile(path, KWorksheetWindow::kSaveWorksheet));
    ASSERT_TRUE(window->openInWindow(path.c_str()));
    index = window->document()->bookmarks();
    ASSERT_EQ(index->count(), 1);
    Element* loaded = index->find("deep");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->parent()->elementKind(), KIND_SECTION);
    EXPECT_NE(loaded->parent(), window->document()->root());
    std::remove(path.c_str());

    // A subsection made by Insert Subsection, its heading named through the dialog after the
    // index was built.
    reopen(textWorksheet({"one", "two"}));
    window->caret()->setPosition(runOf(paragraphAt(root(), 1)), 0);
    ASSERT_TRUE(window->window_command(1602, nullptr, 0));
    ASSERT_EQ(window->document()->bookmarks()->count(), 0);
    gui::test::setScript({typeInto("Edit", 1, "made"), click("OKButton")});
    ASSERT_TRUE(window->window_command(1901, nullptr, 0));
    Element* named = window->document()->bookmarks()->find("made");
    ASSERT_NE(named, nullptr);
    EXPECT_NE(named->parent(), root());
    window->caret()->setPosition(runOf(paragraphAt(root(), 0)), 0);
    EXPECT_TRUE(window->window_command(KWorksheetWindow::kFirstBookmarkCommand, nullptr, 0));
    Element* at = window->caret()->element();
    while (at && at->elementKind() != KIND_PARAGRAPH) at = at->parent();
    EXPECT_EQ(at, named);
}

// ---- format commands and the style dialogs ----------------------------------------------------------

TEST_F(WorksheetDialogsTest, FormatCommandsAndStyleDialogsChangeTheTextAtTheCaret) {
    struct Row {
        const char* name;
        int command;
        std::vector<Step> steps;
        bool result;
        int bold, italic, justification;   // of the caret's run and its paragraph afterwards
    } rows[] = {
        {"Bold", 1252, {}, true, 1, 0, 0},
        {"Italic", 1251, {}, true, 0, 1, 0},
        {"Center", 1260, {}, true, 0, 0, 3},
        {"Character dialog: bold", 1257, {check("TriStateBox", 2, 1), click("OKButton")}, true, 1, 0, 0},
        {"Character dialog: Cancel", 1257, {check("TriStateBox", 1, 1), click("CancelButton")}, false, 0, 0, 0},
        {"Paragraph dialog: right", 1256, {selectAt("ListBox", 2, 2), click("OKButton")}, true, 0, 0, 2},
        {"Paragraph dialog: cancel", 1256, {selectAt("ListBox", 2, 3), cancel()}, false, 0, 0, 0},
    };
    for (const Row& r : rows) {
        reopen(textWorksheet({"plain words"}));
        ParagraphElement* paragraph = paragraphAt(root(), 0);
        TextElement* run = runOf(paragraph);
        const int undoBefore = window->document()->undoHistory()->cursor();
        window->caret()->setPosition(run, 2);
        gui::test::setScript(r.steps);
        EXPECT_EQ(window->window_command(r.command, nullptr, 0), r.result) << r.name;
        // Without a selection a character format applies at the caret: to the run there, or to
        // an empty run split off for what is typed next.
        run = dynamic_cast<TextElement*>(window->caret()->element());
        ASSERT_NE(run, nullptr) << r.name;
        ASSERT_NE(run->characterStyle(), nullptr) << r.name;
        EXPECT_EQ(run->characterStyle()->bold == 1, r.bold == 1) << r.name;
        EXPECT_EQ(run->characterStyle()->italic == 1, r.italic == 1) << r.name;
        const ParaStyle* style = paragraph->paraStyle();
        ASSERT_NE(style, nullptr) << r.name;
        if (r.justification) EXPECT_EQ(style->justification, r.justification) << r.name;
        else EXPECT_NE(style->justification, 3) << r.name;
        // A change is one undo step named "Set Format"; a cancelled dialog records nothing.
        UndoHistory* history = window->document()->undoHistory();
        EXPECT_EQ(history->cursor(), undoBefore + (r.result ? 1 : 0)) << r.name;
        KString text;
        if (r.result) {
            ASSERT_TRUE(history->undoMenuText(text)) << r.name;
            EXPECT_STREQ(text.text(), "Set Format") << r.name;
        }
        EXPECT_EQ(history->nesting(), 0) << r.name;
    }
}

TEST_F(WorksheetDialogsTest, StyleManagementRunsInsideTheFormatStyleGroup) {
    struct Row {
        const char* name;
        std::vector<Step> steps;
        bool result;
    } rows[] = {{"OK", {click("OKButton")}, true}, {"Cancel", {cancel()}, false}};
    for (const Row& r : rows) {
        reopen(textWorksheet({"styled"}));
        UndoHistory* history = window->document()->undoHistory();
        const int before = history->cursor();
        gui::test::setScript(r.steps);
        EXPECT_EQ(window->window_command(1255, nullptr, 0), r.result) << r.name;
        EXPECT_EQ(history->nesting(), 0) << r.name;
        ASSERT_EQ(history->cursor(), before + 1) << r.name;
        KString text;
        ASSERT_TRUE(history->undoMenuText(text)) << r.name;
        EXPECT_STREQ(text.text(), "format style") << r.name;
        // Undo gives back the style set copied before the dialog: a style added since goes.
        auto later = std::make_unique<ParaStyle>();
        later->setName("Later");
        ASSERT_GE(window->document()->styleSet()->addParaStyleByName(std::move(later)), 0) << r.name;
        EXPECT_TRUE(window->window_command(1151, nullptr, 0)) << r.name;
        EXPECT_EQ(window->document()->styleSet()->findParaStyle("Later"), -1) << r.name;
    }
}

// ---- search -----------------------------------------------------------------------------------------

TEST_F(WorksheetDialogsTest, SearchMarksTheMatchAndMovesTheCaret) {
    struct Row {
        const char* name;
        int command;
        const char* text;
        int fromParagraph, fromOffset;
        int paragraph, offset;   // where the caret goes; -1: nowhere (a beep)
    } rows[] = {
        {"forward in the same run", 2508, "cat", 0, 0, 0, 8},
        {"forward into the next paragraph", 2508, "dog", 0, 0, 1, 4},
        {"forward past the caret's own match", 2508, "cat", 0, 8, 2, 0},
        {"backward", 2509, "cat", 2, 0, 0, 8},
        {"backward from inside a match finds that match", 2509, "cat", 2, 2, 2, 0},
        {"no match beeps", 2508, "cow", 0, 0, -1, -1},
        {"forward past the last match beeps", 2508, "dog", 2, 0, -1, -1},
    };
    for (const Row& r : rows) {
        reopen(textWorksheet({"the big cat", "hot dog", "cat food"}));
        TextElement* start = runOf(paragraphAt(root(), r.fromParagraph));
        window->caret()->setPosition(start, r.fromOffset);
        const int beeps = gui::test::beepCount();
        EXPECT_TRUE(window->window_command(r.command, r.text, 0)) << r.name;
        if (r.paragraph < 0) {
            EXPECT_EQ(gui::test::beepCount(), beeps + 1) << r.name;
            EXPECT_EQ(window->caret()->element(), start) << r.name;
            EXPECT_EQ(root()->mark, 0) << r.name;
            continue;
        }
        TextElement* found = runOf(paragraphAt(root(), r.paragraph));
        EXPECT_EQ(gui::test::beepCount(), beeps) << r.name;
        EXPECT_EQ(window->caret()->heldElement(), found) << r.name;
        EXPECT_EQ(window->caret()->offset(), r.offset) << r.name;
        EXPECT_NE(root()->mark, 0) << r.name << ": the match is marked";
        EXPECT_EQ(found->markStart(), r.offset) << r.name;
        EXPECT_EQ(found->markEnd(), r.offset + 3) << r.name;
    }
    // An empty text does nothing and still answers true.
    const int beeps = gui::test::beepCount();
    EXPECT_TRUE(window->window_command(2508, "", 0));
    EXPECT_EQ(gui::test::beepCount(), beeps);
    EXPECT_EQ(window->caret()->hideCount(), 0);
}

// ---- the math editor's action ---------------------------------------------------------------------

TEST_F(WorksheetDialogsTest, TemplateCommandConvertsOrRefusesTextualInput) {
    // On a paragraph whose first child is a non-empty one-line input the template is refused.
    reopen(worksheetOf({"x := 1;"}));
    Element* paragraph = root()->firstChild()->firstChild();
    ASSERT_EQ(paragraph->elementKind(), KIND_PARAGRAPH);
    window->caret()->setPosition(paragraph, 0);
    std::string report = reportOf([&] { EXPECT_FALSE(window->window_command(4014, "", 0)); });
    EXPECT_TRUE(holds(report, "Templates cannot be used on textual Kelvo input.\nConvert to Standard Math form to use "
                              "templates."))
        << report;
    // In a text run the template first makes a math input at the caret.
    reopen(textWorksheet({"words"}));
    window->caret()->setPosition(runOf(paragraphAt(root(), 0)), 5);
    report = reportOf([&] { window->window_command(4014, "", 0); });
    EXPECT_FALSE(holds(report, "Templates")) << report;
    Element* now = window->caret()->element();
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->elementKind(), KIND_EXPRESSION_EDIT);
    EXPECT_EQ(window->document()->undoHistory()->nesting(), 0);
}

// ---- the shown document ---------------------------------------------------------------------------

TEST_F(WorksheetDialogsTest, ReplaceDocumentAsksTheOldOnesQuestionAndShowsTheNewOne) {
    const std::string report = reportOf([&] { EXPECT_FALSE(window->replaceDocument(nullptr, nullptr, nullptr)); });
    EXPECT_TRUE(holds(report, "Unable to locate document")) << report;

    struct Row {
        const char* name;
        int answer;   // the save question's answer
        bool replaced;
    } rows[] = {{"Cancel keeps the old worksheet", 0, false}, {"No replaces it", 3, true}};
    for (const Row& r : rows) {
        reopen(worksheetOf({"old := 1;"}, "Old"));
        WorksheetDocument* old = window->document();
        old->modified = true;
        auto fresh = worksheetOf({"a := 1;", "b := 2;"}, "Fresh");
        Element* second = fresh->root()->childAt(1);
        InputTextElement* target = worksheet_window_test::firstInput(second);
        auto position = std::make_unique<ElementPosition>(target, 2);
        KViewOptions options;
        options.zoomNumerator = 2;
        options.zoomDenominator = 1;
        options.zoomCommand = 1805;
        options.showGroupRanges = 1;
        bool result = false;
        answer(r.answer);
        inEventLoop([&] { result = window->replaceDocument(std::move(fresh), std::move(position), &options); });
        EXPECT_EQ(result, r.replaced) << r.name;
        if (!r.replaced) {
            EXPECT_EQ(window->document(), old) << r.name;
            continue;
        }
        EXPECT_STREQ(worksheet_window_test::groupTexts(window->document()->root()).c_str(), "a := 1; b := 2; ")
            << r.name;
        EXPECT_EQ(window->caret()->element(), target) << r.name;
        EXPECT_EQ(window->caret()->offset(), 2) << r.name;
        EXPECT_EQ(window->zoomCommand(), 1805) << r.name;
        EXPECT_TRUE(window->view()->showGroupRanges) << r.name;
        EXPECT_EQ(window->caret()->hideCount(), 0) << r.name;
        // The window keeps working on the new document.
        type("z");
        EXPECT_STREQ(target->text(), "b z:= 2;") << r.name;
    }
}

TEST_F(WorksheetDialogsTest, OpenInWindowLoadsTheFileIntoThisWindowUnderItsPath) {
    const fs::path dir = fs::temp_directory_path() / ("kwsdialogs_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "linked.kws").string();
    // A worksheet saved at 200 %.
    KWorksheetWindow* writer = openAnother(worksheetOf({"linked := 7;"}));
    ASSERT_TRUE(writer->window_command(1805, nullptr, 0));
    ASSERT_TRUE(writer->writeFile(path, KWorksheetWindow::kSaveWorksheet));
    ASSERT_TRUE(closeAnother(writer));

    registerExecutionGroupReaders();
    registerSectionReaders();
    registerTextReaders();
    registerParagraphReaders();
    KWindowRegistry registry;
    worksheet_window_test::ClosingAdaptor holder;
    auto* shown = new KWorksheetWindow(&holder, worksheetOf({"before := 0;"}), &registry);
    holder.window = shown;
    shown->setSizePixel(Size(400, 300));
    shown->open(nullptr);
    EXPECT_TRUE(shown->openInWindow(path.c_str()));
    EXPECT_STREQ(worksheet_window_test::groupTexts(shown->document()->root()).c_str(), "linked := 7; ");
    EXPECT_EQ(shown->zoomCommand(), 1805);
    EXPECT_EQ(registry.find(fs::canonical(path).string(), KWindowRegistry::kModeFile), shown);
    // A file that cannot be loaded leaves the window as it was.
    WorksheetDocument* kept = shown->document();
    reportOf([&] { EXPECT_FALSE(shown->openInWindow((dir / "missing.kws").c_str())); });
    EXPECT_EQ(shown->document(), kept);
    delete holder.window;
    fs::remove_all(dir);
}

}  // namespace
