// The worksheet window's close question, keys and clicks as synthesized events, and drag and
// drop within one window and between two (one Undo, an injected error).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

#include "document/edit/UndoHistory.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/records/KWorksheetWriter.h"
#include "document/tree/Selection.h"
#include "document/views/WindowView.h"
#include "tests/app/worksheet_window_fixture.h"

namespace {

using namespace worksheet_window_test;

class WindowCloseTest : public WorksheetWindowFixture {
protected:
    // The fixture's window over a worksheet with a file path in a fresh folder.
    std::string reopenWithFile() {
        folder_ = std::filesystem::temp_directory_path() / ("kws_close_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        std::string path = (folder_ / "sheet.kws").string();
        reopen(worksheetOf({"1+1;"}, path.c_str()));
        return path;
    }
    void TearDown() override {
        WorksheetWindowFixture::TearDown();
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    std::filesystem::path folder_;
};

TEST_F(WindowCloseTest, TheAnswersOfTheModifiedQuestion) {
    struct Row {
        const char* name;
        bool withFile;      // the worksheet has a file to save to
        bool readOnlyFile;  // the file's folder refuses the write
        int answer;
        bool closes;
        bool saved;
    } rows[] = {
        {"no closes without saving", true, false, 3, true, false},
        {"cancel keeps the window", true, false, 0, false, false},
        {"yes saves and closes", true, false, 2, true, true},
        {"yes with a failed save keeps the window", false, false, 2, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::string path;
        if (r.withFile) path = reopenWithFile();
        else reopen(worksheetOf({"1+1;"}));
        type("x");
        ASSERT_TRUE(window->document()->modified);
        gui::test::clearRecords();
        answer(r.answer);
        bool closed = false;
        inEventLoop([&] { closed = adaptor.closeFrame(); });
        EXPECT_EQ(closed, r.closes);
        EXPECT_EQ(adaptor.window == nullptr, r.closes);
        ASSERT_EQ(gui::test::messages().size(), 1u);
        EXPECT_NE(gui::test::messages()[0].find("has been modified"), std::string::npos) << gui::test::messages()[0];
        EXPECT_EQ(!path.empty() && std::filesystem::exists(path), r.saved);
        if (closed) window = openWindow(std::make_unique<WorksheetDocument>(nullptr), adaptor);
        else EXPECT_TRUE(window->document()->modified) << "nothing saved, nothing forgotten";
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
}

TEST_F(WindowCloseTest, AnUnmodifiedWorksheetClosesUnasked) {
    bool closed = false;
    inEventLoop([&] { closed = adaptor.closeFrame(); });
    EXPECT_TRUE(closed);
    EXPECT_TRUE(gui::test::messages().empty());
    window = nullptr;
}

TEST_F(WindowCloseTest, DuringAComputationTheQuestionOffersToInterruptAndTheWindowStays) {
    struct Row {
        const char* name;
        bool readline;
        int answer;
    } rows[] = {{"computing, interrupt", false, 2}, {"computing, go on", false, 3}, {"readline wait", true, 2}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gui::test::clearRecords();
        window->document()->waitingForReadline = r.readline;
        window->setComputing(!r.readline);
        answer(r.answer);
        bool closed = true;
        inEventLoop([&] { closed = adaptor.closeFrame(); });
        EXPECT_FALSE(closed);
        ASSERT_NE(adaptor.window, nullptr);
        ASSERT_EQ(gui::test::messages().size(), 1u);
        const std::string& text = gui::test::messages()[0];
        EXPECT_NE(text.find("middle of a computation"), std::string::npos) << text;
        EXPECT_EQ(text.find("readline()") != std::string::npos, r.readline) << text;
        // Interrupting ends the computing state; going on keeps it.
        EXPECT_EQ(window->computing(), !r.readline && r.answer != 2);
        window->setComputing(false);
        window->document()->waitingForReadline = false;
    }
}

TEST_F(WindowCloseTest, AfterTheKernelsStopTheModifiedWorksheetIsAskedAboutOnceAfterTheHandler) {
    window->document()->stopped = true;
    type("y");
    // The handler returned with the window alive and its edit kept; the close waits.
    ASSERT_NE(adaptor.window, nullptr);
    EXPECT_TRUE(window->closePending());
    EXPECT_TRUE(window->document()->modified);
    EXPECT_TRUE(gui::test::messages().empty());
    type("z");   // a second action does not post a second close
    answer(3);
    // The posted close runs from the event loop, before the loop's end.
    inEventLoop([] {});
    EXPECT_EQ(adaptor.window, nullptr) << "closed";
    EXPECT_EQ(adaptor.closeCalls, 1);
    EXPECT_EQ(gui::test::messages().size(), 1u);
    EXPECT_EQ(gui::test::stepsLeft(), 0u);
    window = nullptr;
}

// ---- keys and clicks ------------------------------------------------------------------------------

class WindowEventTest : public WorksheetWindowFixture {
public:
    void SetUp() override {
        WorksheetWindowFixture::SetUp();
        reopen(textAndGroup());
    }
    // A text paragraph "abcd" and a group with the input "efgh".
    static std::unique_ptr<WorksheetDocument> textAndGroup() {
        auto document = worksheetOf({"efgh"});
        auto* paragraph = new ParagraphElement(0, nullptr);
        paragraph->insertChild(new TextElement(-1, "abcd"), nullptr, kInsertAfter);
        document->root()->insertChild(paragraph, document->root()->firstChild(), kInsertBefore);
        return document;
    }
    Element* root() { return window->document()->root(); }
    InputTextElement* inputOf(int group) { return firstInput(root()->childAt(group)); }
    TextElement* textOf(int paragraph) { return dynamic_cast<TextElement*>(root()->childAt(paragraph)->firstChild()); }
    // The texts of the root's paragraphs and groups, each followed by a blank.
    std::string texts() {
        std::string out;
        for (int i = 0; i < root()->childCount(); ++i) {
            Element* c = root()->childAt(i);
            if (InputTextElement* in = firstInput(c)) out += std::string(in->text()) + " ";
            else if (auto* t = dynamic_cast<TextElement*>(c->firstChild()))
                out += std::string(t->text(), static_cast<std::size_t>(t->textLength())) + " ";
        }
        return out;
    }
    // The window point at the input's offset.
    Point pointAt(InputTextElement* in, int offset) {
        window->relayoutAll();
        window->caret()->setPosition(in, offset);
        window->caret()->invalidate();
        const ElementRect r = window->caret()->rectangle();
        ElementPoint w;
        window->view()->documentToWindowXY(r.x, r.y + r.height / 2, w);
        return Point(w.x, w.y);
    }
    void click(Point p, int clicks) {
        window->mouseButtonDown(MouseEvent(p, clicks, MOUSE_LEFT, 0));
        window->mouseButtonUp(MouseEvent(p, clicks, MOUSE_LEFT, 0));
    }
};

TEST_F(WindowEventTest, SynthesizedEvents) {
    struct Row {
        const char* name;
        std::function<void(WindowEventTest&)> act;
        std::function<void(WindowEventTest&)> check;
    } rows[] = {
        {"Shift+Left twice marks two characters",
         [](WindowEventTest& t) {
             t.window->caret()->setPosition(t.textOf(0), 4);
             t.key(KEY_LEFT | KEY_SHIFT);
             t.key(KEY_LEFT | KEY_SHIFT);
         },
         [](WindowEventTest& t) {
             EXPECT_NE(t.root()->mark, 0);
             EXPECT_EQ(t.window->selection()->anchor.offset(), 4);
             EXPECT_EQ(t.window->caret()->offset(), 2);
             EXPECT_EQ(t.window->caret()->hideCount() > 0, true) << "the marked selection hides the caret";
         }},
        {"then Left collapses the selection to its start",
         [](WindowEventTest& t) {
             t.window->caret()->setPosition(t.textOf(0), 4);
             t.key(KEY_LEFT | KEY_SHIFT);
             t.key(KEY_LEFT | KEY_SHIFT);
             t.key(KEY_LEFT);
         },
         [](WindowEventTest& t) {
             EXPECT_EQ(t.root()->mark, 0);
             EXPECT_EQ(t.window->caret()->element(), t.textOf(0));
             EXPECT_EQ(t.window->caret()->offset(), 2);
             EXPECT_EQ(t.window->caret()->hideCount(), 0);
         }},
        {"Backspace at the start of the group's first paragraph beeps and stays",
         [](WindowEventTest& t) {
             t.window->caret()->setPosition(t.inputOf(1), 0);
             t.key(KEY_BACKSPACE);
         },
         [](WindowEventTest& t) {
             EXPECT_GT(gui::test::beepCount(), 0);
             EXPECT_EQ(t.window->caret()->element(), t.inputOf(1));
             EXPECT_EQ(t.window->caret()->offset(), 0);
             EXPECT_EQ(t.texts(), "abcd efgh ");
         }},
        {"Ctrl+Return splits",
         [](WindowEventTest& t) {
             t.window->caret()->setPosition(t.textOf(0), 2);
             t.key(KEY_RETURN | KEY_MOD1);
         },
         [](WindowEventTest& t) { EXPECT_EQ(t.texts(), "ab cd efgh "); }},
        {"a double click selects the element",
         [](WindowEventTest& t) { t.click(t.pointAt(t.inputOf(1), 1), 2); },
         [](WindowEventTest& t) {
             EXPECT_NE(t.root()->mark, 0);
             EXPECT_NE(t.inputOf(1)->mark, 0);
             EXPECT_EQ(t.textOf(0)->mark, 0);
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        reopen(textAndGroup());
        gui::test::clearRecords();
        r.act(*this);
        r.check(*this);
        EXPECT_EQ(window->document()->undoHistory()->nesting(), 0);
    }
}

// ---- drag and drop ----------------------------------------------------------------------------------

class WindowDragTest : public WindowEventTest {
public:
    void SetUp() override {
        WindowEventTest::SetUp();
        reopen(worksheetOf({"abcd", "efgh"}));
    }
    void TearDown() override {
        KWorksheetWindow::DragRecord& drag = KWorksheetWindow::dragRecord();
        drag.fragment.reset();
        drag.source = drag.target = nullptr;
        KWorksheetWindow::injectedDropError = 0;
        WindowEventTest::TearDown();
    }
    // Marks the source window's group and fills the drag record with a copy of it.
    void dragGroup(KWorksheetWindow* source, int group) {
        Element* r = source->document()->root();
        Element* g = r->childAt(group);
        g->markSubtree(1);
        r->mark = 2;
        KWorksheetWindow::DragRecord& drag = KWorksheetWindow::dragRecord();
        auto fragment = std::make_unique<SectionElement>();
        fragment->insertChild(g->cloneElement(), nullptr, kInsertAfter);
        fragment->firstChild()->markSubtree(0);
        drag.fragment = std::move(fragment);
        drag.source = source;
    }
    // A window point inside the last group of the window's worksheet.
    static Point insideLastGroup(KWorksheetWindow* w) {
        w->relayoutAll();
        Element* last = w->document()->root()->lastChild();
        ElementPoint o = last->absoluteOrigin();
        ElementPoint p;
        w->view()->documentToWindowXY(o.x + 20, o.y + 4, p);
        return Point(p.x, p.y);
    }
};

TEST_F(WindowDragTest, DroppingTheSelectionOntoItselfIsRefused) {
    dragGroup(window, 0);
    window->relayoutAll();
    ElementPoint o = root()->childAt(0)->absoluteOrigin();
    ElementPoint p;
    window->view()->documentToWindowXY(o.x + 20, o.y + 4, p);
    EXPECT_FALSE(window->queryDrop(MouseEvent(Point(p.x, p.y), 1, MOUSE_LEFT, 0)));
    EXPECT_TRUE(window->queryDrop(MouseEvent(insideLastGroup(window), 1, MOUSE_LEFT, 0)));
}

TEST_F(WindowDragTest, AMoveWithinOneWindowUndoesInOneStep) {
    dragGroup(window, 0);
    ASSERT_TRUE(window->dropAt(insideLastGroup(window), false));
    EXPECT_EQ(groupTexts(root()), "efgh abcd ");
    UndoHistory* history = window->document()->undoHistory();
    EXPECT_EQ(history->nesting(), 0);
    history->undo(window->caret());
    EXPECT_EQ(groupTexts(root()), "abcd efgh ");
}

TEST_F(WindowDragTest, BetweenTwoWindowsOneUndoRevertsBothAndAnErrorLeavesBothAsBefore) {
    struct Row {
        const char* name;
        int injected;   // 0 none, 1 out of memory, 2 an ordinary error
    } rows[] = {{"a move and its Undo", 0}, {"out of memory while inserting", 1}, {"an error while inserting", 2}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        reopen(worksheetOf({"abcd", "efgh"}));
        KWorksheetWindow* other = openAnother(worksheetOf({"xyz"}));
        dragGroup(window, 0);
        KWorksheetWindow::injectedDropError = r.injected;
        testing::internal::CaptureStderr();
        const bool dropped = other->dropAt(insideLastGroup(other), false);
        const std::string report = testing::internal::GetCapturedStderr();
        UndoHistory* sourceHistory = window->document()->undoHistory();
        UndoHistory* targetHistory = other->document()->undoHistory();
        EXPECT_EQ(sourceHistory->nesting(), 0);
        EXPECT_EQ(targetHistory->nesting(), 0);
        if (r.injected == 0) {
            ASSERT_TRUE(dropped);
            EXPECT_EQ(groupTexts(root()), "efgh ");
            EXPECT_EQ(groupTexts(other->document()->root()), "xyz abcd ");
            // One Undo in the target takes back the linked group of the source too.
            targetHistory->undo(other->caret());
        } else {
            EXPECT_FALSE(dropped);
            EXPECT_NE(report.find("drop"), std::string::npos) << report;
        }
        EXPECT_EQ(groupTexts(root()), "abcd efgh ");
        EXPECT_EQ(groupTexts(other->document()->root()), "xyz ");
        EXPECT_EQ(window->caret()->hideCount(), 0);
        KWorksheetWindow::dragRecord().fragment.reset();
    }
}

TEST_F(WindowDragTest, AClosedWindowLeavesNoReferenceInTheDragRecord) {
    KWorksheetWindow* other = openAnother(worksheetOf({"xyz"}));
    dragGroup(other, 0);
    KWorksheetWindow::dragRecord().target = other;
    ASSERT_TRUE(closeAnother(other));
    EXPECT_EQ(KWorksheetWindow::dragRecord().source, nullptr);
    EXPECT_EQ(KWorksheetWindow::dragRecord().target, nullptr);
    EXPECT_EQ(KWorksheetWindow::dragWindow(), nullptr);
}

}  // namespace
