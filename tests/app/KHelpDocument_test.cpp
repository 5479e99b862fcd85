// The help worksheet of a TEXT reply: its tree, its top-level frame, the read-only rule, and the
// keys that still work in it.
#include <gtest/gtest.h>

#include "app/KDocFrame.h"
#include "app/KHelpDocument.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "tests/app/worksheet_window_fixture.h"

namespace {

using worksheet_window_test::WorksheetWindowFixture;

class HelpDocumentTest : public WorksheetWindowFixture {
protected:
    void SetUp() override {
        WorksheetWindowFixture::SetUp();
        help = openHelpDocument(std::make_unique<WorksheetDocument>("Kelvo Library Help topic"),
                                {"first line\nsecond line\n", "", "last\n"}, nullptr);
        ASSERT_NE(help, nullptr);
    }
    void TearDown() override {
        delete help->adaptor;   // the frame goes with its window
        WorksheetWindowFixture::TearDown();
    }
    Element* root() { return help->document()->root(); }
    KWorksheetWindow* help = nullptr;
};

TEST_F(HelpDocumentTest, TheRepliesParagraphsShowInATopLevelFrameOfTheirOwn) {
    ASSERT_EQ(root()->childCount(), 3);
    const char* texts[] = {"first line\nsecond line\n", "", "last\n"};
    for (int i = 0; i < 3; ++i) {
        auto* paragraph = dynamic_cast<ParagraphElement*>(root()->childAt(i));
        ASSERT_NE(paragraph, nullptr);
        EXPECT_EQ(paragraph->styleIndex, kHelpTextStyle);
        auto* text = dynamic_cast<TextElement*>(paragraph->firstChild());
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text->text(), static_cast<std::size_t>(text->textLength())), texts[i]);
    }
    EXPECT_NE(dynamic_cast<KTopFrame*>(help->adaptor), nullptr);
    EXPECT_EQ(help->menuBarId, kHelpMenuBar);
    EXPECT_EQ(help->contextBarIndex, kHelpContextBar);
    EXPECT_TRUE(help->isReadOnly());
    EXPECT_EQ(help->document()->evaluator(), nullptr);
    EXPECT_STREQ(help->document()->title(), "topic");
    EXPECT_EQ(help->caret()->element(), root()->firstCaretStop()) << "opened at the start";
}

TEST_F(HelpDocumentTest, TypingBeepsAndChangesNothing) {
    const int beeps = gui::test::beepCount();
    for (char ch : std::string("xy")) help->keyInput(KeyEvent(static_cast<uint8_t>(ch), KEY_OTHER));
    help->keyInput(KeyEvent(0, KEY_BACKSPACE));
    help->keyInput(KeyEvent(0, KEY_RETURN));
    EXPECT_EQ(gui::test::beepCount(), beeps + 4);
    EXPECT_EQ(root()->childCount(), 3);
    EXPECT_FALSE(help->document()->modified);
    EXPECT_EQ(help->caret()->hideCount(), 0);
}

TEST_F(HelpDocumentTest, SelectAllAndTheSectionKeysWork) {
    EXPECT_TRUE(help->executeAction(KWorksheetWindow::kSelectAll, nullptr, 0));
    EXPECT_NE(root()->mark, 0);
    help->clearMarks();
    // A help worksheet with a section: "-" collapses it, "+" expands it.
    auto* section = new SectionElement(1);
    root()->insertChild(section, nullptr, kInsertAfter);
    section->insertChild(new ParagraphElement(kHelpTextStyle, nullptr), nullptr, kInsertAfter);
    help->relayoutAll();
    help->caret()->setPosition(section, 0);
    help->keyInput(KeyEvent('-', KEY_OTHER));
    EXPECT_TRUE(section->isCollapsed());
    help->keyInput(KeyEvent('+', KEY_OTHER));
    EXPECT_FALSE(section->isCollapsed());
    EXPECT_EQ(help->document()->undoHistory()->nesting(), 0);
}

}  // namespace
