// Selection marks from zones, the mark updates, commands to marked elements, and the
// navigation over the tree (caret stops, active inputs, input regions, splitting at the caret).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ElementTreeFakes.h"
#include "tests/support/named_rows.h"

using namespace fakes;

namespace {

constexpr int WIDE = Selection::WIDE;

std::string marksOf(SmallTree& t) {
    std::string s;
    for (Element* e : std::initializer_list<Element*>{t.root, t.g1, t.p1, t.t1, t.t2, t.p2, t.i1, t.s2, t.g2,
                                                      t.p3, t.t3, t.g3, t.p4, t.t4})
        s += (s.empty() ? "" : " ") + nameOf(e) + ":" + std::to_string(e->mark);
    return s;
}

std::string logText() {
    std::string s;
    for (const auto& [name, m] : markLog) s += (s.empty() ? "" : " ") + name + ":" + std::to_string(m);
    return s;
}

using kelvo_test::PrintTo;

struct MarkCase {
    const char* name;
    ElementRect top, middle, bottom;
    const char* marks;
    const char* notifications;
};

class MarkFromSelection : public ::testing::TestWithParam<MarkCase> {};

TEST_P(MarkFromSelection, MarksTree) {
    const MarkCase& c = GetParam();
    SmallTree t;
    t.layout();
    Selection sel(&t.doc, &t.doc.window);
    sel.top = c.top;
    sel.middle = c.middle;
    sel.bottom = c.bottom;
    markLog.clear();
    t.root->markFromSelectionTree(sel);
    EXPECT_EQ(marksOf(t), c.marks) << c.name;
    EXPECT_EQ(logText(), c.notifications) << c.name;
}

// Geometry of the small tree after layout: t1 (20,0) 35x12, t2 (20,12) 14x12, i1 (20,24)
// 21x12, t3 (30,36) 21x12, t4 (20,48) 21x12; g1 (10,0) 45x36, s2 (10,36), g3 (10,48).
INSTANTIATE_TEST_SUITE_P(
    Selections, MarkFromSelection,
    ::testing::Values(
        // From the start of t1 to the end of i1: every child of g1 is wholly inside, so g1 is.
        MarkCase{"all_children_of_group",
                 {20, 0, WIDE - 20, 12},
                 {0, 12, WIDE, 12},
                 {0, 24, 41, 12},
                 "root:2 g1:1 p1:1 t1:1 t2:1 p2:1 i1:1 s2:0 g2:0 p3:0 t3:0 g3:0 p4:0 t4:0",
                 "root:2 g1:2 p1:1 p2:1 p1:2 p2:2 g1:1"},
        // Both runs of p1 wholly inside: the paragraph keeps its children's marks.
        MarkCase{"paragraph_keeps_children",
                 {20, 0, WIDE - 20, 12},
                 {0, 12, WIDE, 0},
                 {0, 12, 34, 12},
                 "root:2 g1:2 p1:2 t1:1 t2:1 p2:0 i1:0 s2:0 g2:0 p3:0 t3:0 g3:0 p4:0 t4:0",
                 "root:2 g1:2 p1:2 t1:1 t2:1"},
        // Everything inside: the root gets 2, each wholly marked subtree one notice at its top.
        MarkCase{"whole_document_root_gets_2",
                 {0, 0, 0, 0},
                 {0, 0, WIDE, 100},
                 {0, 100, 0, 0},
                 "root:2 g1:1 p1:1 t1:1 t2:1 p2:1 i1:1 s2:1 g2:1 p3:1 t3:1 g3:1 p4:1 t4:1",
                 "root:2 g1:1 s2:1 g3:1"},
        MarkCase{"selection_below_document",
                 {0, 200, WIDE, 12},
                 {0, 212, WIDE, 0},
                 {0, 212, 5, 12},
                 "root:0 g1:0 p1:0 t1:0 t2:0 p2:0 i1:0 s2:0 g2:0 p3:0 t3:0 g3:0 p4:0 t4:0",
                 ""},
        MarkCase{"inside_one_run",
                 {27, 0, 0, 0},
                 {27, 0, 14, 12},
                 {27, 12, 0, 0},
                 "root:2 g1:2 p1:2 t1:2 t2:0 p2:0 i1:0 s2:0 g2:0 p3:0 t3:0 g3:0 p4:0 t4:0",
                 "root:2 g1:2 p1:2 t1:2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SelectionMarks, ExtendToMarksAndDrawsZones) {
    SmallTree t;
    t.layout();
    Selection sel(&t.doc, &t.doc.window);
    TextPosition a(&t.doc), c(&t.doc);
    a.setPosition(t.t1, 0);
    c.setPosition(t.i1, 3);
    sel.setAnchor(a);
    callLog.clear();
    sel.extendTo(c);
    EXPECT_TRUE(sel.active);
    EXPECT_EQ(t.g1->mark, 1);
    EXPECT_EQ(t.root->mark, 2);
    EXPECT_EQ(rectText(sel.top), "20 0 " + std::to_string(WIDE - 20) + " 12");
    EXPECT_EQ(rectText(sel.bottom), "0 24 41 12");
    EXPECT_EQ(rectText(sel.middle), "0 12 " + std::to_string(WIDE) + " 12");
    // The new zones are drawn (the middle one cut to the output width less the margins).
    std::vector<std::string> inverts;
    for (const auto& s : callLog)
        if (s.rfind("invert", 0) == 0) inverts.push_back(s);
    ASSERT_GE(inverts.size(), 3u);
    EXPECT_EQ(inverts[inverts.size() - 2], "invert 0 12 580 12");
    EXPECT_EQ(inverts.back(), "invert 0 24 41 12");
    EXPECT_EQ(callLog.back(), "state 1153");
    // Extending to the same place again changes nothing and draws nothing.
    callLog.clear();
    TextPosition same(&t.doc);
    same.setPosition(t.i1, 3);
    sel.extendTo(same);
    EXPECT_TRUE(callLog.empty());
}

TEST(SelectionMarks, SameLineHasEmptyTopAndBottom) {
    SmallTree t;
    t.layout();
    Selection sel(&t.doc, &t.doc.window);
    TextPosition a(&t.doc), c(&t.doc);
    a.setPosition(t.t1, 4);
    c.setPosition(t.t1, 1);
    sel.setAnchor(a);
    sel.extendTo(c);
    EXPECT_EQ(rectText(sel.middle), "27 0 21 12");
    EXPECT_TRUE(sel.top.empty());
    EXPECT_TRUE(sel.bottom.empty());
    EXPECT_FALSE(sel.anchorFirst);
    EXPECT_EQ(t.t1->mark, 2);
    // Clear erases the zones once: a second clear draws nothing.
    callLog.clear();
    sel.clear();
    EXPECT_EQ(callLog.front(), "invert 27 0 21 12");
    EXPECT_EQ(sel.anchor.heldElement(), nullptr);
    callLog.clear();
    sel.clear();
    for (const auto& s : callLog) EXPECT_NE(s.rfind("invert", 0), 0u) << s;
}

TEST(SelectionMarks, ZonesNotDrawnWithoutDebugSwitch) {
    SmallTree t;
    t.layout();
    t.doc.window.zones = false;
    Selection sel(&t.doc, &t.doc.window);
    TextPosition a(&t.doc), c(&t.doc);
    a.setPosition(t.t1, 4);
    c.setPosition(t.t1, 1);
    sel.setAnchor(a);
    callLog.clear();
    sel.extendTo(c);
    for (const auto& s : callLog) EXPECT_NE(s.rfind("invert 27", 0), 0u) << s;
    EXPECT_EQ(t.t1->mark, 2);
}

struct ClassifyCase {
    const char* name;
    ElementPoint a, b;
    int expected;
};

class SelectionClassify : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(SelectionClassify, Spans) {
    const ClassifyCase& c = GetParam();
    SmallTree t;
    Selection sel(&t.doc, &t.doc.window);
    sel.top = {20, 10, 100, 10};
    sel.middle = {0, 20, WIDE, 20};
    sel.bottom = {0, 40, 30, 10};
    EXPECT_EQ(sel.classify(c.a, c.b), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Spans, SelectionClassify,
    ::testing::Values(ClassifyCase{"wholly_above", {0, 0}, {50, 9}, 3},
                      ClassifyCase{"touching_top_counts_above", {0, 0}, {50, 10}, 3},
                      ClassifyCase{"wholly_below", {0, 50}, {10, 60}, 4},
                      ClassifyCase{"inside_top_and_middle", {25, 12}, {90, 30}, 1},
                      ClassifyCase{"inside_middle_and_bottom", {5, 25}, {29, 45}, 1},
                      ClassifyCase{"left_of_top_zone", {5, 12}, {90, 30}, 2},
                      ClassifyCase{"right_of_bottom_zone", {5, 25}, {60, 45}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SelectionMarks, ContainsPointEdgesAndEmptyZones) {
    SmallTree t;
    Selection sel(&t.doc, &t.doc.window);
    sel.middle = {10, 10, 20, 5};
    EXPECT_TRUE(sel.containsPoint({10, 10}));
    EXPECT_TRUE(sel.containsPoint({30, 15}));
    EXPECT_FALSE(sel.containsPoint({31, 15}));
    EXPECT_FALSE(sel.containsPoint({0, 0}));   // empty top and bottom zones contain nothing
}

TEST(MarkUpdates, ClearingOneRunOfAWhollyMarkedGroup) {
    SmallTree t;
    t.layout();
    Selection sel(&t.doc, &t.doc.window);
    sel.top = {20, 0, WIDE - 20, 12};
    sel.middle = {0, 12, WIDE, 12};
    sel.bottom = {0, 24, 41, 12};
    t.root->markFromSelectionTree(sel);
    markLog.clear();
    t.t1->mark = 0;
    t.t1->updateAncestorMarks();
    EXPECT_EQ(marksOf(t), "root:2 g1:2 p1:2 t1:0 t2:1 p2:1 i1:1 s2:0 g2:0 p3:0 t3:0 g3:0 p4:0 t4:0");
    EXPECT_EQ(logText(), "t1:2 t2:2 g1:0 p1:2 p2:2");
}

TEST(MarkUpdates, MarkingOnlyChildMarksParentWholly) {
    SmallTree t;
    t.i1->mark = 1;
    t.i1->updateAncestorMarks();
    EXPECT_EQ(marksOf(t), "root:2 g1:2 p1:0 t1:0 t2:0 p2:1 i1:1 s2:0 g2:0 p3:0 t3:0 g3:0 p4:0 t4:0");
    EXPECT_EQ(logText(), "p2:1");
}

TEST(MarkUpdates, ClearChildMarksAndSetAncestors) {
    SmallTree t;
    t.t3->setAncestorsMark(2);
    EXPECT_EQ(t.s2->mark, 2);
    EXPECT_EQ(t.root->mark, 2);
    t.g2->mark = 1;
    markLog.clear();
    t.root->clearChildMarks();
    EXPECT_EQ(marksOf(t), "root:0 g1:0 p1:0 t1:0 t2:0 p2:0 i1:0 s2:0 g2:0 p3:0 t3:0 g3:0 p4:0 t4:0");
    // Only tops of marks are told, with their old marks: g2 (wholly) and s2 (partly, under a
    // partly marked root); p3 under the wholly marked g2 is not.
    EXPECT_EQ(logText(), "g2:1 s2:2");
}

TEST(MarkCommands, OfferedToMarkedDescendants) {
    SmallTree t;
    t.root->mark = 2;
    t.g1->mark = 1;
    t.p1->mark = 1;
    t.t1->mark = 1;
    t.t2->mark = 1;
    t.t4->mark = 0;
    EXPECT_FALSE(t.root->commandToMarked(77, nullptr, 0));
    EXPECT_EQ(t.t1->commands, std::vector<int>{77});
    EXPECT_EQ(t.t2->commands, std::vector<int>{77});
    EXPECT_TRUE(t.i1->commands.empty());   // p2 is not marked
    EXPECT_TRUE(t.t4->commands.empty());
    t.t2->acceptCommands = true;
    EXPECT_TRUE(t.root->commandToMarked(78, nullptr, 0));
}

// ---- navigation ----------------------------------------------------------------------------------

struct StopCase {
    const char* name;
    const char* from;
    bool backward;
    const char* expected;
};

class CaretStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(CaretStops, NextCaretStop) {
    const StopCase& c = GetParam();
    SmallTree t;
    Element* from = nullptr;
    for (Element* e : std::initializer_list<Element*>{t.t1, t.t2, t.i1, t.t3, t.t4, t.g2})
        if (nameOf(e) == c.from) from = e;
    ASSERT_NE(from, nullptr);
    EXPECT_EQ(nameOf(from->nextCaretStop(c.backward)), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Stops, CaretStops,
    ::testing::Values(StopCase{"t1_forward", "t1", false, "t2"},
                      StopCase{"t2_forward_crosses_paragraph", "t2", false, "i1"},
                      StopCase{"i1_forward_into_section", "i1", false, "t3"},
                      StopCase{"last_inline_forward_is_null", "t4", false, "null"},
                      StopCase{"t3_backward", "t3", true, "i1"},
                      StopCase{"first_backward_is_null", "t1", true, "null"},
                      StopCase{"group_forward", "g2", false, "t4"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Navigation, FirstStopActiveInputsAndRegions) {
    SmallTree t;
    EXPECT_EQ(t.root->firstCaretStop(), t.t1);
    EXPECT_EQ(t.s2->firstCaretStop(), t.t3);
    EXPECT_EQ(t.t1->nextActiveInput(false), t.i1);
    EXPECT_EQ(t.t4->nextActiveInput(true), t.i1);
    EXPECT_EQ(t.t3->nextActiveInput(false), nullptr);
    EXPECT_EQ(t.t1->nextInputRegion(), t.i1);
    EXPECT_EQ(t.t3->nextInputRegion(), nullptr);
    // From before g1: the match is the group, whose last input is the answer.
    auto* g0 = new FakeGroup("g0");
    t.root->insertChild(g0, t.g1, kInsertBefore);
    auto* p0 = new FakeParagraph("p0");
    g0->insertChild(p0, nullptr, kInsertAfter);
    EXPECT_EQ(p0->nextInputRegion(), t.i1);
    EXPECT_EQ(t.root->findDescendantBackward(t.root->childCount() - 1, [](const Element* e) {
        return e->elementKind() == KIND_PARAGRAPH;
    }), t.p4);
}

TEST(Navigation, SplitAtCaretUpToSplitsEveryLevel) {
    SmallTree t;
    t.layout();
    ViewCaret caret(&t.doc, &t.doc.window);
    caret.setPosition(t.t3, 1);
    Element* answer = t.s2->splitAtCaretUpTo(caret, 0);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(nameOf(answer), "s2'");
    std::string names;
    for (int i = 0; i < t.root->childCount(); ++i) names += nameOf(t.root->childAt(i)) + " ";
    EXPECT_EQ(names, "g1 s2 s2' g3 ");
    EXPECT_EQ(t.t3->text, "a");
    Element* e = answer;
    std::string path;
    while (e->childCount() > 0) {
        e = e->childAt(0);
        path += nameOf(e) + " ";
    }
    EXPECT_EQ(path, "g2' p3' t3' ");
    EXPECT_EQ(nameOf(caret.element()), "t3'");
    EXPECT_EQ(caret.offset(), 0);
    EXPECT_EQ(t.doc.held, 0);   // the held layout was released
}

TEST(Navigation, SplitAtCaretAtRunEndClimbsToNextSibling) {
    SmallTree t;
    ViewCaret caret(&t.doc, &t.doc.window);
    caret.setPosition(t.t1, 5);   // end of "hello": no split of the run
    Element* answer = t.g1->splitAtCaretUpTo(caret, 0);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(nameOf(answer), "g1'");
    EXPECT_EQ(nameOf(t.g1->childAt(0)), "p1");
    EXPECT_EQ(nameOf(answer->childAt(0)->childAt(0)), "t2");
    ViewCaret other(&t.doc, &t.doc.window);
    other.setPosition(t.t4, 3);
    EXPECT_EQ(t.g3->splitAtCaretUpTo(other, 0), nullptr);   // nothing after the caret
    EXPECT_EQ(t.g1->splitAtCaretUpTo(other, 0), nullptr);   // caret outside the element
}

}  // namespace
