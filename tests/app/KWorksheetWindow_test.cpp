// The worksheet window on the offscreen platform: the action names, the executor's frame
// (typing into one undo group, typing over a selection, the placeholder, the read-only rule, an
// injected error), the keys as synthesized events and the painting through the view.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>

#include "app/KWorksheetWindow.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/InputTextElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/PlaceholderElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/tree/ViewCaret.h"
#include "platform/gui/gui_test.h"
#include "tests/app/worksheet_window_fixture.h"

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

}  // namespace
