// The worksheet window on the offscreen platform: the action names, the executor's frame
// (typing into one undo group, typing over a selection, the placeholder, the read-only rule, an
// injected error), the keys as synthesized events and the painting through the view.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/KWorksheetWindow.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/MathElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/PlaceholderElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/exec/WorksheetFile.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/KViewOptions.h"
#include "document/tree/ElementPosition.h"
#include "document/views/WindowView.h"
#include "kernel_link/KKernelSession.h"
#include "tovu/ifvars.h"
#include "tovu/parse_driver.h"
#include "document/tree/Element.h"
#include "document/tree/ViewCaret.h"
#include "platform/gui/gui_test.h"
#include "platform/os/sysprobe.h"
#include "tests/app/worksheet_window_fixture.h"

// After the project's headers: the writer has an operation named like a Qt macro.
#include <QImage>

namespace {

using worksheet_window_test::WorksheetWindowFixture;

// A window over a new worksheet without a kernel, 400 x 300 pixels, opened with its caret.
class WorksheetWindowTest : public WorksheetWindowFixture {
protected:
    std::string rootKinds() {
        std::string out;
        Element* root = window->document()->root();
        for (int i = 0; i < root->childCount(); ++i) out += std::to_string(root->childAt(i)->elementKind()) + " ";
        return out;
    }
};

TEST(UndoActionName, NamesOfTheCodes) {
    struct Row {
        unsigned code;
        const char* name;
    } rows[] = {{0, "Enter"},   {9, "Typing"},  {10, "Typing"},         {11, "Delete"}, {19, "Cut"},
                {35, "Split Section"}, {71, "Idle"}, {72, ""}, {1000, ""}};
    for (const Row& r : rows) EXPECT_STREQ(undo_action_name(r.code).text(), r.name) << "code " << r.code;
}

TEST_F(WorksheetWindowTest, TypingMakesAnInputAndJoinsOneUndoGroup) {
    type("1+2;");
    ASSERT_NE(input(), nullptr) << rootKinds() << " caret on " << (window->caret()->element() ? window->caret()->element()->elementKind() : -1);
    EXPECT_STREQ(input()->text(), "1+2;");
    EXPECT_EQ(window->caret()->offset(), 4);
    UndoHistory* history = window->document()->undoHistory();
    EXPECT_EQ(history->nesting(), 0);
    EXPECT_TRUE(window->document()->modified);
    // The four keystrokes undo as one step.
    KString text;
    ASSERT_TRUE(history->undoMenuText(text));
    EXPECT_STREQ(text.text(), "Typing");
    EXPECT_EQ(window->caret()->hideCount(), 0) << "the caret shows after the actions";
}

TEST_F(WorksheetWindowTest, BackspaceAndDeleteEditTheInputAroundTheCaret) {
    struct Row {
        const char* name;
        uint16_t code;
        int caretAt;
        const char* text;
        int offset;
        bool beeps;
    } rows[] = {
        {"Backspace deletes before the caret", KEY_BACKSPACE, 4, "abc", 3, false},
        {"Delete deletes after the caret", KEY_DELETE, 1, "ac", 1, false},
        {"Backspace at the start of the group's first paragraph beeps", KEY_BACKSPACE, 0, "ac", 0, true},
    };
    type("abcd");
    for (const Row& r : rows) {
        ASSERT_NE(input(), nullptr) << r.name;
        window->caret()->setPosition(input(), r.caretAt);
        const int beeps = gui::test::beepCount();
        key(r.code);
        ASSERT_NE(input(), nullptr) << r.name;
        EXPECT_STREQ(input()->text(), r.text) << r.name;
        EXPECT_EQ(window->caret()->offset(), r.offset) << r.name;
        EXPECT_EQ(gui::test::beepCount() > beeps, r.beeps) << r.name;
        EXPECT_EQ(window->caret()->hideCount(), 0) << r.name;
    }
}

TEST_F(WorksheetWindowTest, AnInjectedErrorIsReportedAndLeavesTheCaretShownAndTheGroupClosed) {
    type("x");
    KWorksheetWindow::injectedActionError = 1;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window->executeAction(KWorksheetWindow::kTypeChar, "y", 0));
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("Typing"), std::string::npos) << report;
    EXPECT_EQ(window->caret()->hideCount(), 0);
    EXPECT_FALSE(window->caret()->busy);
    EXPECT_EQ(window->document()->undoHistory()->nesting(), 0);
    EXPECT_STREQ(input()->text(), "x");
}

TEST_F(WorksheetWindowTest, DeletingEveryElementLeavesThePlaceholder) {
    type("a");
    Element* group = window->document()->root()->firstChild();
    ASSERT_NE(group, nullptr);
    window->caret()->setPosition(group, 0);
    EXPECT_TRUE(window->executeAction(KWorksheetWindow::kDeleteParagraph, nullptr, 0));
    EXPECT_EQ(rootKinds(), std::to_string(KIND_PLACEHOLDER) + " ");
}

TEST_F(WorksheetWindowTest, TheViewPaintsTheTypedText) {
    window->invalidate();
    window->update();
    const QImage before = window->backBuffer()->copy();
    type("888");
    window->invalidate();
    window->update();
    const QImage after = *window->backBuffer();
    int darkBefore = 0, darkAfter = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 12; x < 200; ++x) {   // right of the group's bracket
            darkBefore += qGray(before.pixel(x, y)) < 96;
            darkAfter += qGray(after.pixel(x, y)) < 96;
        }
    EXPECT_GT(darkAfter, darkBefore + 20) << "the digits are drawn beside the brackets";
}

// In the Japanese mode a lead byte typed alone waits for its trail byte, and the two go in as
// one character; otherwise every byte is a character of its own.
TEST_F(WorksheetWindowTest, ALeadByteWaitsForItsTrailByteInTheJapaneseMode) {
    struct Row {
        const char* name;
        bool japanese;
        bool firstDone;       // what typing the first byte answers
        const char* typed;    // the input's text after both bytes
    } rows[] = {
        {"Shift-JIS pair", true, false, "\x82\xa0"},
        {"code page 1252", false, true, "\x82\xa0"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        reopen(worksheetOf({""}));
        sys_set_japanese(r.japanese);
        type("a");
        ASSERT_NE(input(), nullptr);
        EXPECT_EQ(window->executeAction(KWorksheetWindow::kTypeChar, "\x82", 0), r.firstDone);
        EXPECT_STREQ(input()->text(), r.firstDone ? "a\x82" : "a") << "a lead byte alone is not typed";
        EXPECT_TRUE(window->executeAction(KWorksheetWindow::kTypeChar, "\xa0", 0));
        EXPECT_EQ(std::string(input()->text()), std::string("a") + r.typed);
        // The next byte is a character of its own again.
        type("b");
        EXPECT_EQ(std::string(input()->text()), std::string("a") + r.typed + "b");
        sys_reset_japanese();
    }
}

// The first math element under e.
MathElement* firstMath(Element* e) {
    if (auto* math = dynamic_cast<MathElement*>(e)) return math;
    for (int i = 0; e && i < e->childCount(); ++i)
        if (MathElement* found = firstMath(e->childAt(i))) return found;
    return nullptr;
}

// With "PrettyPrint" 3 (a fresh ini file) a result arrives as a math element: the window draws
// its two-dimensional text, and the written worksheet holds it, so that it comes back on load.
TEST_F(WorksheetWindowTest, ATypesetResultIsDrawnAndWrittenWithPrettyPrint3) {
    tovu_start();
    registerExecutionGroupReaders();
    registerSectionReaders();
    registerTextReaders();
    registerParagraphReaders();
    registerMathReaders();
    InterfaceSettings* settings = interface_default_block();
    const int savedPretty = settings->prettyprint;
    settings->prettyprint = 3;
    reopen(worksheetOf({"expand((x+1)^2);"}));
    auto* group = dynamic_cast<ExecutionGroup*>(window->document()->root()->firstChild());
    ASSERT_NE(group, nullptr);
    // What the kernel answers for the input; the window repaints what the layout reports as
    // changed (nothing forces a full repaint).
    window->invalidate();
    window->update();
    group->output(parse_text("x^2+2*x+1;"), kOutputResult);
    settings->prettyprint = savedPretty;
    window->document()->relayout();
    window->update();
    MathElement* math = firstMath(group);
    ASSERT_NE(math, nullptr) << "the result is a math element";
    auto* paragraph = dynamic_cast<ParagraphElement*>(math->parent());
    ASSERT_NE(paragraph, nullptr);
    EXPECT_EQ(paragraph->styleIndex, ParagraphElement::STYLE_KELVO_OUTPUT);
    ASSERT_GT(math->width, 0);
    ASSERT_GT(math->height, 0);

    // Ink inside the result's rectangle: the superscript row and the main row.
    const ElementRect r = math->documentRect();
    ElementPoint topLeft;
    window->view()->documentToWindow({r.x, r.y}, topLeft);
    const QImage& image = *window->backBuffer();
    int ink = 0;
    for (int y = std::max(0, topLeft.y); y < std::min(image.height(), topLeft.y + r.height); ++y)
        for (int x = std::max(0, topLeft.x); x < std::min(image.width(), topLeft.x + r.width); ++x)
            ink += qGray(image.pixel(x, y)) < 160;
    EXPECT_GT(ink, 30) << "the result is drawn at (" << topLeft.x << ", " << topLeft.y << ") " << r.width << " x "
                       << r.height;
    EXPECT_EQ(math->textLines(math->viewColumns()).size(), 2u) << "the exponents stand above the main row";

    // Written and loaded again.
    char path[] = "/tmp/kws_typeset_resultXXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    {
        KWorksheetWriter writer;
        ASSERT_TRUE(writer.open(path));
        ASSERT_TRUE(window->document()->writeWorksheet(writer, nullptr, nullptr, true));
    }
    std::unique_ptr<WorksheetDocument> back;
    std::unique_ptr<ElementPosition> mark;
    std::unique_ptr<KViewOptions> options;
    ASSERT_TRUE(loadWorksheet(path, back, mark, options, true));
    ::unlink(path);
    ASSERT_NE(back, nullptr);
    MathElement* loaded = firstMath(back->root());
    ASSERT_NE(loaded, nullptr) << "the output paragraph holds the result";
    EXPECT_EQ(loaded->text(), "x^2+2*x+1");
    auto* loadedParagraph = dynamic_cast<ParagraphElement*>(loaded->parent());
    ASSERT_NE(loadedParagraph, nullptr);
    EXPECT_EQ(loadedParagraph->styleIndex, ParagraphElement::STYLE_KELVO_OUTPUT);
    mark.reset();
    back.reset();
    std::vector<QuietEvaluator*> left = worksheetHost().evaluators;
    worksheetHost().evaluators.clear();
    for (QuietEvaluator* e : left) delete e;
}

}  // namespace
