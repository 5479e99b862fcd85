// The Find dialog and the fit-window command inside the running program: Find builds one
// dialog and keeps it; its buttons search the active worksheet through the main frame; Cancel
// hides it and the next Find shows the same dialog with its text.  The program runs in a child
// process (the expression library comes up once per process).
#include "app/dialogs/KFindDialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include <gmock/gmock.h>

#include "app/KFrameAdaptor.h"
#include "app/KMainFrame.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/ViewCaret.h"
#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"
#include "tests/app/dialogs/program_child.h"

namespace {

namespace fs = std::filesystem;

std::unique_ptr<WorksheetDocument> twoLines() {
    auto document = std::make_unique<WorksheetDocument>(nullptr);
    auto* root = new SectionElement();
    for (const char* line : {"no match here", "a needle in text"}) {
        auto* paragraph = new ParagraphElement(0, nullptr);
        paragraph->insertChild(new TextElement(-1, line), nullptr, kInsertAfter);
        root->insertChild(paragraph, nullptr, kInsertAfter);
    }
    document->setRoot(root);
    return document;
}

// Runs the program, drives the Find dialog and the fit-window command, prints what it saw and
// exits.
[[noreturn]] void findInTheProgram() {
    runProgramAndReport([](KWorksheetApp& a, std::string& seen) {
        a.frame->openWorksheetWindow(twoLines());
        auto* window = dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet());
        if (!window) {
            seen += "no window\n";
            return;
        }
        window->window_command(1167, nullptr, 0);
        auto* dialog = dynamic_cast<KFindDialog*>(a.findDialog);
        seen += std::string("built ") + (dialog ? "yes" : "no") + " shown " + (dialog && dialog->isVisible() ? "yes" : "no") + "\n";
        if (dialog) {
            Edit(dialog, ResId(1)).setText(String("needle"));
            dialog->findNext();
            ViewCaret* c = window->caret();
            const auto* run = dynamic_cast<TextElement*>(c->heldElement());
            seen += std::string("found at ") + (run ? run->text() : "?") + " " + std::to_string(c->offset()) + "\n";
            dialog->cancel();
            seen += std::string("after cancel shown ") + (dialog->isVisible() ? "yes" : "no") + "\n";
            window->window_command(1167, nullptr, 0);
            seen += std::string("same ") + (a.findDialog == dialog ? "yes" : "no") + " shown " +
                    (dialog->isVisible() ? "yes" : "no") + " text " + dialog->text() + "\n";
        }
        // Fit window: at 0,0 over the client area less the menu bar and the bars.
        window->window_command(1358, nullptr, 0);
        int32_t x = -1, y = -1, w = 0, h = 0;
        window->adaptor->getPos(x, y);
        window->adaptor->getSize(w, h);
        const Size out = a.frame->getOutputSizePixel();
        const long wanted = out.height - a.frame->getMenuBarHeight() - a.frame->barHeights(7);
        seen += "fit " + std::to_string(x) + "," + std::to_string(y) + " width " +
                (w == out.width ? "ok" : std::to_string(w)) + " height " +
                (h == wanted ? "ok" : std::to_string(h) + "/" + std::to_string(wanted)) + "\n";
    });
}

TEST(FindDialogProgram, FindsThroughTheFrameAndComesBackAfterCancel) {
    const std::string expected =
        "built yes shown yes\n"
        "found at a needle in text 2\n"
        "after cancel shown no\n"
        "same yes shown yes text needle\n"
        "fit 0,0 width ok height ok\n"
        "failures 0";
    fs::path dir = fs::temp_directory_path() / ("kwsfind_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(findInTheProgram(), ::testing::ExitedWithCode(0), ::testing::HasSubstr(expected));
    fs::remove_all(dir);
}

}  // namespace
