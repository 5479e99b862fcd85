// The program's messages reach this layer's boxes once the loop runs; before, they do not.
#include "platform/gui/message_hooks.h"

#include <QTimer>

#include <gtest/gtest.h>

#include "platform/gui/Application.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/gui_test.h"
#include "util/messages.h"

namespace {

TEST(MessageHooks, QuestionsAndMessagesUseTheBoxesWhileTheLoopRuns) {
    gui::ensureApplication("gui_messages_test");
    gui::test::activate();
    gui::test::clearRecords();
    gui_install_message_hooks();
    gui_install_message_hooks();  // once only

    showMessage("before the loop\n");  // goes to stderr: no box, no step taken
    EXPECT_TRUE(gui::test::messages().empty());

    gui::test::Step yes;
    yes.kind = gui::test::Step::AnswerBox;
    yes.answer = RET_YES;
    gui::test::Step ok = yes;
    ok.answer = RET_OK;
    gui::test::setScript({yes, ok, ok});
    int answer = -1;
    QTimer::singleShot(0, [&] {
        gui::guardedCall([&] {
            answer = askQuestion("Save changes?", WB_QUERY_YNC);
            showMessage("Internal Kelvo Error.  Exiting.");
            showInfo("Done");
        });
        Application::quit();
    });
    Application::execute();
    EXPECT_EQ(answer, RET_YES);
    ASSERT_EQ(gui::test::messages().size(), 3u);
    EXPECT_EQ(gui::test::messages()[0], "Save changes?");
    EXPECT_EQ(gui::test::messages()[1], "Internal Kelvo Error.  Exiting.");
    EXPECT_EQ(gui::test::messages()[2], "Done");
    EXPECT_TRUE(gui::test::takeFailures().empty());
    EXPECT_EQ(gui::test::stepsLeft(), 0u);
    messages_clear_gui_hooks();
}

}  // namespace
