// The view caret: hide counter and busy flag against a recording text cursor, own-drawn
// carets, moves and their column, scrolling into view, command dispatch (also to a section that
// deletes itself), capture and restore.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ElementTreeFakes.h"
#include "document/tree/CaretPosition.h"

using namespace fakes;

namespace {

struct CaretFixture : ::testing::Test {
    CaretFixture() {
        t.layout();
        caret = std::make_unique<ViewCaret>(&t.doc, &t.doc.window);
        t.doc.window.caretObject = caret.get();
        callLog.clear();
    }
    ~CaretFixture() override { t.doc.window.caretObject = nullptr; }
    SmallTree t;
    std::unique_ptr<ViewCaret> caret;
};

TEST_F(CaretFixture, StartsHiddenAndCountsHides) {
    EXPECT_EQ(caret->hideCount(), 1);
    caret->setPosition(t.t1, 2);
    caret->show();
    EXPECT_EQ(caret->hideCount(), 0);
    // The cursor goes to the window point: the document point (34, 0) moved by the margins.
    EXPECT_EQ(callLog, (std::vector<std::string>{"cursor.setSize 1 12", "cursor.setPos 44 10", "cursor.show"}));
    callLog.clear();
    caret->hide();
    caret->hide();
    EXPECT_EQ(caret->hideCount(), 2);
    caret->show();
    EXPECT_EQ(caret->hideCount(), 1);
    EXPECT_EQ(callLog, (std::vector<std::string>{"cursor.hide", "cursor.hide"}));   // still hidden
    caret->show();
    EXPECT_EQ(caret->hideCount(), 0);
    EXPECT_EQ(callLog.back(), "cursor.show");
    caret->show();   // never below 0
    EXPECT_EQ(caret->hideCount(), 0);
}

TEST_F(CaretFixture, BusyCaretLeavesCursorAlone) {
    caret->setPosition(t.t1, 0);
    caret->busy = true;
    caret->show();
    caret->hide();
    caret->hideShow(5);
    caret->show();
    EXPECT_TRUE(callLog.empty());
    EXPECT_EQ(caret->hideCount(), 1);
    caret->refreshWindow();
    EXPECT_FALSE(caret->busy);
    EXPECT_EQ(callLog, std::vector<std::string>{"update"});
}

TEST_F(CaretFixture, CodeTwoDoesNothing) {
    caret->hideShow(2);
    EXPECT_EQ(caret->hideCount(), 1);
    EXPECT_TRUE(callLog.empty());
}

TEST_F(CaretFixture, OwnCaretDrawnByElement) {
    caret->setPosition(t.g2, 0);
    caret->show();
    EXPECT_TRUE(caret->ownCaret);
    EXPECT_TRUE(caret->ownDrawn);
    ASSERT_EQ(callLog.size(), 2u);
    EXPECT_EQ(callLog[0], "update");
    EXPECT_EQ(callLog[1].rfind("xorline", 0), 0u);
    callLog.clear();
    caret->hide();
    EXPECT_FALSE(caret->ownDrawn);
    ASSERT_EQ(callLog.size(), 2u);
    EXPECT_EQ(callLog[0].rfind("xorline", 0), 0u);   // drawn again: erased
    EXPECT_EQ(callLog[1], "update");
}

struct ColumnCase {
    int code;
    bool setsColumn;
};
void PrintTo(const ColumnCase& c, std::ostream* os) {
    *os << "code " << c.code << (c.setsColumn ? " sets" : " keeps") << " the column";
}

class CaretColumn : public CaretFixture, public ::testing::WithParamInterface<ColumnCase> {};

TEST_P(CaretColumn, CodesSetOrKeepColumn) {
    const ColumnCase& c = GetParam();
    caret->setPosition(t.t1, 2);   // x 34
    caret->column = 999;
    caret->moveBy(c.code);
    EXPECT_EQ(caret->column, c.setsColumn ? 34 : 999) << "code " << c.code;
}

INSTANTIATE_TEST_SUITE_P(Codes, CaretColumn,
                         ::testing::Values(ColumnCase{0, true}, ColumnCase{1, true}, ColumnCase{2, true},
                                           ColumnCase{3, true}, ColumnCase{8, true}, ColumnCase{9, true},
                                           ColumnCase{20, true}, ColumnCase{4, false}, ColumnCase{5, false},
                                           ColumnCase{13, false}, ColumnCase{7, false}),
                         [](const auto& info) {
                             return "code" + std::to_string(info.param.code) + (info.param.setsColumn ? "_sets" : "_keeps");
                         });

TEST_F(CaretFixture, CodeTwelveGoesToParentOrMovesByTen) {
    caret->setPosition(t.t3, 1);
    caret->moveBy(12);
    EXPECT_EQ(caret->element(), t.p3);
    caret->setPosition(t.g1, 0);   // a child of the root: code 10 instead, which nothing handles
    caret->moveBy(12);
    EXPECT_EQ(caret->element(), t.g1);
}

TEST_F(CaretFixture, CodeFourteenFindsNextInputOrBeeps) {
    caret->setPosition(t.t1, 0);
    caret->moveBy(14);
    EXPECT_EQ(caret->element(), t.i1);
    caret->setPosition(t.t4, 0);
    caret->moveBy(14);
    EXPECT_EQ(caret->element(), t.t4);
    EXPECT_EQ(callLog.back(), "beep");
    caret->moveBy(15);
    EXPECT_EQ(caret->element(), t.i1);
}

TEST_F(CaretFixture, ScrollIntoViewWithMarginAndCentre) {
    caret->setPosition(t.t4, 0);   // (20, 48) 1 x 12
    caret->scrollIntoView(false);
    EXPECT_TRUE(callLog.empty());   // already visible
    t.doc.window.visibleTop = 100;
    caret->scrollIntoView(false);
    // The rectangle's corner taken back through the view's margins, less 4 on every side.
    EXPECT_EQ(callLog, std::vector<std::string>{"scroll 6 34 9 20"});
    callLog.clear();
    caret->scrollIntoView(true);   // half of 400 less the two margins, on both sides
    EXPECT_EQ(callLog, std::vector<std::string>{"scroll 6 -156 9 400"});
}

TEST_F(CaretFixture, ScrollIntoViewExpandsCollapsedSection) {
    auto* g = new FakeGroup("hidden");
    t.s2->insertChild(g, nullptr, kInsertAfter);
    auto* p = new FakeParagraph("hp");
    g->insertChild(p, nullptr, kInsertAfter);
    t.s2->setCollapsed(true);
    caret->setPosition(p, 0);
    caret->scrollIntoView(false);
    EXPECT_EQ(t.s2->expandCount, 1);
}

TEST_F(CaretFixture, MoveToPointRemembersColumn) {
    caret->show();   // visible, on no element yet
    callLog.clear();
    caret->moveToPoint(25, 14);
    EXPECT_EQ(caret->element(), t.t2);
    EXPECT_EQ(caret->column, 20);
    EXPECT_EQ(callLog.front(), "cursor.hide");
    EXPECT_EQ(callLog.back(), "cursor.show");
}

TEST_F(CaretFixture, MoveByAndShowScrollsAndShows) {
    caret->setPosition(t.t1, 0);
    caret->show();
    callLog.clear();
    caret->moveByAndShow(14);
    EXPECT_EQ(caret->element(), t.i1);
    EXPECT_EQ(callLog.front(), "cursor.hide");
    EXPECT_EQ(callLog.back(), "cursor.show");
    EXPECT_EQ(caret->hideCount(), 0);
}

TEST_F(CaretFixture, DispatchGoesUpToTheFirstHandler) {
    caret->setPosition(t.t3, 0);
    t.t3->acceptCommands = false;
    EXPECT_TRUE(caret->dispatchCommand(FakeSection::COMMAND_EXPAND, nullptr, 0));
    EXPECT_EQ(t.t3->commands, std::vector<int>{FakeSection::COMMAND_EXPAND});
    EXPECT_EQ(t.s2->expandCount, 1);
    EXPECT_FALSE(caret->dispatchCommand(12345, nullptr, 0));
}

TEST_F(CaretFixture, CaretOnSectionThatDeletesItself) {
    Selection sel(&t.doc, &t.doc.window);
    TextPosition a(&t.doc), c(&t.doc);
    a.setPosition(t.t3, 0);
    c.setPosition(t.t3, 2);
    sel.setAnchor(a);
    sel.extendTo(c);
    caret->setPosition(t.s2, 0);
    caret->show();
    EXPECT_TRUE(caret->dispatchCommand(FakeSection::COMMAND_DELETE_SELF, nullptr, 0));
    EXPECT_EQ(t.root->childCount(), 2);
    // Nothing points into the deleted section; the caret kept its place as a point.
    EXPECT_EQ(caret->heldElement(), nullptr);
    EXPECT_TRUE(caret->pending);
    EXPECT_EQ(sel.anchor.heldElement(), nullptr);
    EXPECT_EQ(sel.current.heldElement(), nullptr);
    EXPECT_EQ(caret->element(), t.t4);   // resolved again in g3, now in s2's place
    caret->hide();
    caret->show();
    sel.clear();
}

TEST_F(CaretFixture, CaptureFlagsViewCaretAndRestoreShows) {
    caret->setPosition(t.t2, 1);
    CaretHandle holder;
    EXPECT_TRUE(caret->captureCaret(holder, false));
    ASSERT_NE(holder.single(), nullptr);
    EXPECT_TRUE(holder.single()->isViewCaret);
    caret->setPosition(t.t4, 0);
    caret->show();
    callLog.clear();
    caret->restoreFromCaret(holder);
    EXPECT_EQ(caret->element(), t.t2);
    EXPECT_EQ(caret->offset(), 0);   // a leaf of the element kind keeps no offset of its own
    EXPECT_EQ(caret->hideCount(), 0);
    EXPECT_EQ(callLog.front(), "cursor.hide");
    EXPECT_EQ(callLog.back(), "cursor.show");
}

TEST(ViewCaretLife, CursorMadeAtStartAndHiddenAtEnd) {
    callLog.clear();
    FakeDocument doc;
    {
        ViewCaret caret(&doc, &doc.window);
        EXPECT_EQ(callLog, std::vector<std::string>{"cursor.create"});
    }
    EXPECT_EQ(callLog.back(), "cursor.hide");
    callLog.clear();
}

}  // namespace
