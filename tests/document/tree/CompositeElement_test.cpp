// Composite and container elements: slots, insertion modes, removal (with the placeholder and
// emptied composites), moves between composites, geometry, layout, hit tests, caret moves; and
// the element base's own answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ElementTreeFakes.h"
#include "document/tree/ElementCaret.h"
#include "tests/support/named_rows.h"

using namespace fakes;

namespace {

std::string childNames(const Element* e) {
    std::string s;
    for (int i = 0; i < e->childCount(); ++i) s += (i ? " " : "") + nameOf(e->childAt(i));
    return s;
}

FakeText* text(const std::string& name) { return new FakeText(name, name); }

// ---- insertion ---------------------------------------------------------------------------------

TEST(CompositeInsert, SlotArrayGrowsBySixteen) {
    FakeParagraph p("p");
    EXPECT_EQ(p.capacity(), 0);
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(p.insertChild(text("t" + std::to_string(i)), nullptr, kInsertAfter));
    EXPECT_EQ(p.capacity(), 16);
    ASSERT_TRUE(p.insertChild(text("t16"), nullptr, kInsertAfter));
    EXPECT_EQ(p.capacity(), 32);
    EXPECT_EQ(p.childCount(), 17);
    EXPECT_EQ(nameOf(p.childAt(16)), "t16");
    EXPECT_EQ(nameOf(p.childAt(0)), "t0");
}

using kelvo_test::PrintTo;

struct InsertCase {
    const char* name;
    int reference;   // index of the reference child, -1 none
    InsertMode mode;
    const char* expected;
};

class CompositeInsertModes : public ::testing::TestWithParam<InsertCase> {};

TEST_P(CompositeInsertModes, PlacesChild) {
    const InsertCase& c = GetParam();
    FakeParagraph p("p");
    for (const char* n : {"a", "b", "c"}) p.insertChild(text(n), nullptr, kInsertAfter);
    Element* ref = c.reference >= 0 ? p.childAt(c.reference) : nullptr;
    ASSERT_TRUE(p.insertChild(text("n"), ref, c.mode));
    EXPECT_EQ(childNames(&p), c.expected) << c.name;
    for (int i = 0; i < p.childCount(); ++i) {
        EXPECT_EQ(p.indexOfChild(p.childAt(i)), i) << c.name;
        EXPECT_EQ(p.childAt(i)->parent(), &p) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CompositeInsertModes,
    ::testing::Values(InsertCase{"before_first", 0, kInsertBefore, "n a b c"},
                      InsertCase{"after_first", 0, kInsertAfter, "a n b c"},
                      InsertCase{"before_last", 2, kInsertBefore, "a b n c"},
                      InsertCase{"after_last_appends", 2, kInsertAfter, "a b c n"},
                      InsertCase{"no_reference_appends", -1, kInsertBefore, "a b c n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompositeInsert, RefusesForeignReferenceAndBadChildren) {
    FakeParagraph p("p"), other("o");
    p.insertChild(text("a"), nullptr, kInsertAfter);
    other.insertChild(text("x"), nullptr, kInsertAfter);
    auto* n = text("n");
    EXPECT_FALSE(p.insertChild(n, other.childAt(0), kInsertAfter));   // reference of another composite
    EXPECT_EQ(n->parent(), nullptr);
    EXPECT_FALSE(p.insertChild(other.childAt(0), nullptr, kInsertAfter));   // already has a parent
    EXPECT_FALSE(p.insertChild(nullptr, nullptr, kInsertAfter));
    EXPECT_FALSE(p.insertChild(&p, nullptr, kInsertAfter));
    EXPECT_EQ(childNames(&p), "a");
    EXPECT_EQ(childNames(&other), "x");
    delete n;
}

TEST(CompositeInsert, RefusesInsertingAnAncestor) {
    FakeSection s("s");
    auto* g = new FakeGroup("g");
    s.insertChild(g, nullptr, kInsertAfter);
    FakeSection outer("outer");
    EXPECT_FALSE(g->insertChild(&s, nullptr, kInsertAfter));   // s has no parent but contains g
}

TEST(CompositeReplace, RefusesOldThatIsNoChild) {
    FakeParagraph p("p");
    p.insertChild(text("a"), nullptr, kInsertAfter);
    FakeText stranger("s", "s");
    auto* n = text("n");
    EXPECT_FALSE(p.replaceChild(&stranger, n));
    EXPECT_EQ(n->parent(), nullptr);
    Element* a = p.childAt(0);
    EXPECT_TRUE(p.replaceChild(a, n));
    EXPECT_EQ(childNames(&p), "n");
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_EQ(n->parent(), &p);
    delete a;   // the caller owns the old child
}

// ---- removal -----------------------------------------------------------------------------------

TEST(CompositeRemove, LastChildOfUnmarkedGroupRemovesGroup) {
    SmallTree t;
    t.g3->removeChild(t.p4);
    EXPECT_EQ(childNames(t.root), "g1 s2");
}

TEST(CompositeRemove, MarkedGroupStaysWhenEmptied) {
    SmallTree t;
    t.g3->mark = 2;
    t.g3->removeChild(t.p4);
    EXPECT_EQ(childNames(t.root), "g1 s2 g3");
    EXPECT_EQ(t.g3->childCount(), 0);
    EXPECT_TRUE(t.g3->isEmpty());
}

// A group that clears its own children in one of its operations: the removal of the emptied
// group waits until the operation has returned, so the rest of it runs on a live element.
class SelfClearingGroup : public FakeGroup {
public:
    using FakeGroup::FakeGroup;
    bool command(int code, const char*, std::intptr_t) override {
        if (code != 1) return false;
        while (childCount() > 0) removeChild(childAt(0));
        touchedAfter = childCount();   // reads this element after it was emptied
        return true;
    }
    int touchedAfter = -1;
};

TEST(CompositeRemove, GroupClearingItselfIsRemovedAfterItsOperation) {
    FakeSection root("root");
    auto* g = new SelfClearingGroup("g");
    root.insertChild(g, nullptr, kInsertAfter);
    root.insertChild(new FakeGroup("h"), nullptr, kInsertAfter);
    g->insertChild(new FakeParagraph("p"), nullptr, kInsertAfter);
    {
        ElementOperationScope scope;   // as an editing action would hold it
        EXPECT_TRUE(g->command(1, nullptr, 0));
        EXPECT_EQ(g->touchedAfter, 0);
        EXPECT_EQ(childNames(&root), "h");
    }
    EXPECT_EQ(childNames(&root), "h");
}

TEST(CompositeRemove, PlaceholderRefusesRemoval) {
    FakeSection s("s");
    s.insertChild(text("a"), nullptr, kInsertAfter);
    auto* ph = new FakePlaceholder;
    s.insertChild(ph, nullptr, kInsertAfter);
    EXPECT_FALSE(s.removeChildAt(1));
    s.removeChild(ph);
    EXPECT_EQ(childNames(&s), "a placeholder");
    EXPECT_EQ(ph->parent(), &s);
}

TEST(CompositeMove, PlaceholderStaysThroughMoveAllChildrenTo) {
    FakeSection from("from"), to("to");
    from.insertChild(text("a"), nullptr, kInsertAfter);
    from.insertChild(new FakePlaceholder, nullptr, kInsertAfter);
    from.insertChild(text("b"), nullptr, kInsertAfter);
    to.insertChild(text("x"), nullptr, kInsertAfter);
    EXPECT_EQ(from.moveAllChildrenTo(&to, to.childAt(0)), 2);
    EXPECT_EQ(childNames(&from), "placeholder");
    EXPECT_EQ(childNames(&to), "x a b");
    EXPECT_EQ(from.childAt(0)->parent(), &from);
}

TEST(CompositeMove, MoveChildrenToCountsOnlyMoved) {
    FakeSection from("from"), to("to");
    from.insertChild(text("a"), nullptr, kInsertAfter);
    from.insertChild(new FakePlaceholder, nullptr, kInsertAfter);
    from.insertChild(text("b"), nullptr, kInsertAfter);
    from.insertChild(text("c"), nullptr, kInsertAfter);
    EXPECT_EQ(from.moveChildrenTo(0, 3, &to, nullptr, kInsertAfter), 2);
    EXPECT_EQ(childNames(&from), "placeholder c");
    EXPECT_EQ(childNames(&to), "a b");
}

TEST(CompositeMove, MoveIntoOwnDescendantIsRefusedAndKeepsChildren) {
    FakeSection s("s");
    auto* g = new FakeGroup("g");
    s.insertChild(g, nullptr, kInsertAfter);
    s.insertChild(text("a"), nullptr, kInsertAfter);
    EXPECT_EQ(s.moveAllChildrenTo(g, nullptr), 1);   // "a" moves, g cannot go into itself
    EXPECT_EQ(childNames(&s), "g");
    EXPECT_EQ(childNames(g), "a");
}

TEST(CompositeExtract, SoleDescendant) {
    FakeSection s("s");
    auto* g = new FakeGroup("g");
    s.insertChild(g, nullptr, kInsertAfter);
    auto* p = new FakeParagraph("p");
    g->insertChild(p, nullptr, kInsertAfter);
    auto* a = text("a");
    p->insertChild(a, nullptr, kInsertAfter);
    Element* got = s.extractSoleDescendant();
    EXPECT_EQ(got, a);
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_EQ(p->childCount(), 0);
    delete a;
    FakeParagraph two("two");
    two.insertChild(text("x"), nullptr, kInsertAfter);
    two.insertChild(text("y"), nullptr, kInsertAfter);
    EXPECT_EQ(two.extractSoleDescendant(), &two);
    FakeParagraph none("none");
    EXPECT_EQ(none.extractSoleDescendant(), nullptr);
}

TEST(CompositeJoin, JoinsSameKindSiblings) {
    SmallTree t;
    t.root->insertChild(new FakeGroup("g4"), t.g3, kInsertAfter);
    auto* g4 = static_cast<FakeGroup*>(t.root->childAt(3));
    g4->insertChild(new FakeParagraph("p5"), nullptr, kInsertAfter);
    EXPECT_EQ(t.g3->joinWithSibling(2), t.g3);
    EXPECT_EQ(childNames(t.g3), "p4 p5");
    EXPECT_EQ(childNames(t.root), "g1 s2 g3");
    // A sibling of another kind: nothing happens.
    EXPECT_EQ(t.g3->joinWithSibling(1), t.g3);
    EXPECT_EQ(childNames(t.root), "g1 s2 g3");
    // Joining with the previous sibling: the element itself goes, after the join returned.
    t.root->insertChild(new FakeGroup("g5"), t.g3, kInsertAfter);
    auto* g5 = static_cast<FakeGroup*>(t.root->childAt(3));
    g5->insertChild(new FakeParagraph("p6"), nullptr, kInsertAfter);
    EXPECT_EQ(g5->joinWithSibling(1), t.g3);
    EXPECT_EQ(childNames(t.g3), "p4 p5 p6");
    EXPECT_EQ(childNames(t.root), "g1 s2 g3");
}

// ---- geometry ----------------------------------------------------------------------------------

TEST(CompositeGeometry, LayoutStacksUnderIndent) {
    SmallTree t;
    t.layout();
    EXPECT_EQ(t.root->width, 55);
    EXPECT_EQ(t.root->height, 60);
    ElementPoint o = t.t3->absoluteOrigin();
    EXPECT_EQ(o.x, 30);
    EXPECT_EQ(o.y, 36);
    EXPECT_EQ(t.t4->absoluteOrigin().y, 48);
    EXPECT_EQ(t.g1->availableWidth(), 570);
    EXPECT_EQ(t.s2->depth(), 1);
    EXPECT_EQ(t.p3->depth(), 3);
    EXPECT_EQ(t.root->flags & 3u, 0u);
}

TEST(CompositeGeometry, IndentFollowsViewScale) {
    SmallTree t;
    t.doc.window.viewObject.setSecondScale(3, 2);
    t.layout();
    EXPECT_EQ(t.g1->indent(), 15);
}

TEST(CompositeGeometry, RelayoutOnlyFlaggedPath) {
    SmallTree t;
    t.layout();
    EXPECT_EQ(t.g3->flags & 3u, 0u);
    t.doc.holdLayout();
    t.t3->text = "abcdefgh";   // wider, same height
    t.t3->markNeedsLayout();
    t.doc.releaseLayout();
    EXPECT_EQ(t.g1->flags & 3u, 0u);
    EXPECT_NE(t.root->flags & ELEMENT_CHILD_NEEDS_LAYOUT, 0u);
    t.layout();
    EXPECT_EQ(t.p3->width, 56);
    EXPECT_EQ(t.root->width, 10 + 10 + 10 + 56);
    EXPECT_EQ(t.root->flags & 3u, 0u);
    EXPECT_EQ(t.t4->absoluteOrigin().y, 48);
}

TEST(CompositeGeometry, ChildResizedShiftsAndReportsOnlyOnChange) {
    SmallTree t;
    t.layout();
    callLog.clear();
    // Same size: nothing shifts, nothing goes up to the view.
    t.g1->childResized(t.p1, 10, 0, 35, 24);
    EXPECT_TRUE(callLog.empty());
    // p1 grows by 12: p2 moves down, g1 grows, root grows and tells the view.
    t.g1->childResized(t.p1, 10, 0, 35, 36);
    EXPECT_EQ(t.g1->slot(1)->y, 36);
    EXPECT_EQ(t.g1->height, 48);
    EXPECT_EQ(t.root->slot(1)->y, 48);
    EXPECT_EQ(t.root->height, 72);
    ASSERT_FALSE(callLog.empty());
    EXPECT_EQ(callLog.back(), "extent 0 12");
}

struct SlotPointCase {
    const char* name;
    int x, y;
    int slot;
    int relX, relY;
};

class ChildSlotAtPoint : public ::testing::TestWithParam<SlotPointCase> {};

TEST_P(ChildSlotAtPoint, FindsAndClamps) {
    const SlotPointCase& c = GetParam();
    SmallTree t;
    t.layout();
    ElementPoint rel;
    int slot = t.root->childSlotAtPoint(c.x, c.y, rel);
    EXPECT_EQ(slot, c.slot) << c.name;
    EXPECT_EQ(rel.x, c.relX) << c.name;
    EXPECT_EQ(rel.y, c.relY) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Points, ChildSlotAtPoint,
    ::testing::Values(SlotPointCase{"inside_first", 15, 5, 0, 5, 5},
                      SlotPointCase{"above_everything", 15, -20, 0, 5, 0},
                      SlotPointCase{"second_top_row", 12, 36, 1, 2, 0},
                      SlotPointCase{"below_last_clamps", 30, 500, 2, 20, 11},
                      SlotPointCase{"left_of_slot_clamps_x", 0, 40, 1, 0, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompositeHitTest, ElementAtPoint) {
    SmallTree t;
    t.layout();
    ElementPoint origin;
    EXPECT_EQ(t.root->elementAtPoint(32, 38, origin), t.t3);
    EXPECT_EQ(origin.x, 30);
    EXPECT_EQ(origin.y, 36);
    ElementPoint o2;
    EXPECT_EQ(t.root->elementAtPoint(5, 38, o2), t.root);   // left of the indent
    ElementPoint o3;
    EXPECT_EQ(t.root->elementAtPoint(13, 14, o3), t.g1);   // inside g1's indent
}

TEST(CompositeDraw, ContainerBracketPolyline) {
    SmallTree t;
    t.layout();
    callLog.clear();
    t.g1->draw(10, 0, {0, 0, 600, 400});
    ASSERT_FALSE(callLog.empty());
    EXPECT_EQ(callLog.back(), "polyline 15,2 12,2 12,33 15,33");
    callLog.clear();
    t.doc.window.viewObject.showGroupRanges = false;
    t.g1->draw(10, 0, {0, 0, 600, 400});
    EXPECT_TRUE(callLog.empty());
}

TEST(CompositeCaret, LocateAndContainerOwnCaret) {
    SmallTree t;
    t.layout();
    TextPosition pos(&t.doc);
    pos.setPosition(t.p3, 0);
    EXPECT_EQ(rectText(pos.rectangle()), "30 36 2 12");
    EXPECT_FALSE(pos.ownCaret);
    pos.setPosition(t.g2, 0);
    EXPECT_EQ(rectText(pos.rectangle()), "20 36 2 10");
    EXPECT_TRUE(pos.ownCaret);
    callLog.clear();
    t.g2->drawCaret(pos, 0);
    ASSERT_EQ(callLog.size(), 1u);
    EXPECT_EQ(callLog[0].rfind("xorline", 0), 0u);
}

struct MoveCase {
    const char* name;
    int code;
    const char* from;   // child the move comes from (a child of the root), or "" for none
    bool handled;
    const char* landsOn;
};

class CompositeMoves : public ::testing::TestWithParam<MoveCase> {};

TEST_P(CompositeMoves, MovesByCode) {
    const MoveCase& c = GetParam();
    SmallTree t;
    t.layout();
    TextPosition pos(&t.doc);
    pos.setPosition(t.p2, 0);
    pos.column = 20;
    Element* from = nullptr;
    for (Element* e : {static_cast<Element*>(t.g1), static_cast<Element*>(t.s2), static_cast<Element*>(t.g3)})
        if (nameOf(e) == c.from) from = e;
    callLog.clear();
    bool handled = t.root->movePosition(pos, c.code, from, -1);
    EXPECT_EQ(handled, c.handled) << c.name;
    if (std::string(c.name) == "up_from_first_at_root_beeps") {
        EXPECT_EQ(callLog, std::vector<std::string>{"beep"});
    }
    EXPECT_EQ(nameOf(pos.element()), c.landsOn) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CompositeMoves,
    ::testing::Values(MoveCase{"up_from_first_at_root_beeps", 0, "g1", true, "p2"},
                      MoveCase{"up_from_g3_lands_above", 1, "g3", true, "t3"},
                      MoveCase{"down_from_g1", 2, "g1", true, "t3"},
                      MoveCase{"down_from_last_unhandled", 3, "g3", false, "p2"},
                      MoveCase{"down_without_child_top_left", 2, "", true, "t1"},
                      MoveCase{"line_up_from_s2", 4, "s2", true, "i1"},
                      MoveCase{"line_down_after_s2", 5, "s2", true, "t4"},
                      MoveCase{"other_code_at_root", 7, "g1", false, "p2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompositeMovesNested, UpFromFirstChildTakesComposite) {
    SmallTree t;
    t.layout();
    TextPosition pos(&t.doc);
    EXPECT_TRUE(t.g1->movePosition(pos, 0, t.p1, 0));
    EXPECT_EQ(pos.element(), t.g1);
}

// ---- base answers ------------------------------------------------------------------------------

TEST(ElementBase, EmptinessAndRemoveFromParent) {
    FakeText leaf("l", "x");
    EXPECT_FALSE(leaf.isEmpty());
    FakeParagraph p("p");
    EXPECT_TRUE(p.isEmpty());
    auto* orphan = new FakeParagraph("orphan");
    orphan->removeFromParent();   // deletes it: AddressSanitizer reports a leak otherwise
}

class ContainerElementProbe : public ContainerElement {
public:
    Element* cloneElement() const override { return new ContainerElementProbe; }
};

struct AcceptCase {
    const char* name;
    int containerKind;   // 1 section, 2 paragraph, 14 group, 3 container
    int childKind;       // 2 paragraph, 5 inline text, 14 group
    bool accepts;
    bool needsParagraph;
};

class AcceptsChild : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptsChild, ByKind) {
    const AcceptCase& c = GetParam();
    std::unique_ptr<Element> container;
    if (c.containerKind == 1) container = std::make_unique<FakeSection>("s");
    else if (c.containerKind == 2) container = std::make_unique<FakeParagraph>("p");
    else if (c.containerKind == 14) container = std::make_unique<FakeGroup>("g");
    else container = std::make_unique<ContainerElementProbe>();
    std::unique_ptr<Element> child;
    if (c.childKind == 2) child = std::make_unique<FakeParagraph>("c");
    else if (c.childKind == 5) child = std::make_unique<FakeText>("c", "c");
    else child = std::make_unique<FakeGroup>("c");
    bool needs = true;
    EXPECT_EQ(container->acceptsChild(child.get(), needs), c.accepts) << c.name;
    EXPECT_EQ(needs, c.needsParagraph) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, AcceptsChild,
    ::testing::Values(AcceptCase{"section_paragraph", 1, 2, true, false},
                      AcceptCase{"section_inline", 1, 5, true, true},
                      AcceptCase{"section_group", 1, 14, true, false},
                      AcceptCase{"paragraph_inline", 2, 5, true, false},
                      AcceptCase{"paragraph_paragraph", 2, 2, false, false},
                      AcceptCase{"group_paragraph", 14, 2, true, false},
                      AcceptCase{"group_inline", 14, 5, true, true},
                      AcceptCase{"group_group", 14, 14, false, false},
                      AcceptCase{"container_paragraph", 3, 2, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ElementBase, DocumentFoundThroughSectionRoot) {
    SmallTree t;
    EXPECT_EQ(t.t3->document(), &t.doc);
    FakeGroup detached("d");
    auto* p = new FakeParagraph("p");
    detached.insertChild(p, nullptr, kInsertAfter);
    EXPECT_EQ(p->document(), nullptr);   // root is not a section
}

TEST(ElementBase, TopOfMarkAndEnclosing) {
    SmallTree t;
    EXPECT_TRUE(t.root->isTopOfMark());
    t.g1->mark = 1;
    EXPECT_FALSE(t.p1->isTopOfMark());
    EXPECT_TRUE(t.g1->isTopOfMark());
    EXPECT_EQ(t.t3->enclosingGroup(), t.g2);
    EXPECT_EQ(t.t3->enclosingParagraph(), t.p3);
    Element* child = nullptr;
    EXPECT_EQ(t.t3->enclosingSection(&child), t.s2);
    EXPECT_EQ(child, t.g2);
    EXPECT_TRUE(t.root->contains(t.t3));
    EXPECT_FALSE(t.g1->contains(t.t3));
    EXPECT_EQ(t.t3->ancestorCount(), 4);
}

TEST(ElementBase, CollapsedSectionAndExpandAncestors) {
    SmallTree t;
    t.s2->insertChild(new FakeGroup("g2b"), nullptr, kInsertAfter);
    auto* g2b = static_cast<FakeGroup*>(t.s2->childAt(1));
    auto* p = new FakeParagraph("pb");
    g2b->insertChild(p, nullptr, kInsertAfter);
    t.s2->setCollapsed(true);
    Element* section = nullptr;
    int index = -1;
    EXPECT_FALSE(t.p3->enclosingCollapsedSection());   // first child still shows
    EXPECT_TRUE(p->enclosingCollapsedSection(&section, &index));
    EXPECT_EQ(section, t.s2);
    EXPECT_EQ(index, 1);
    p->expandAncestors();
    EXPECT_EQ(t.s2->expandCount, 1);
    EXPECT_FALSE(p->enclosingCollapsedSection());
}

TEST(ElementBase, InsertSibling) {
    SmallTree t;
    EXPECT_TRUE(t.g1->insertSibling(new FakeGroup("gx"), kInsertAfter));
    EXPECT_EQ(childNames(t.root), "g1 gx s2 g3");
    auto* lone = new FakeGroup("lone");
    FakeGroup noParent("np");
    EXPECT_FALSE(noParent.insertSibling(lone, kInsertAfter));
    delete lone;
}

TEST(ElementBase, CaretOffsetGoesToChildInSpan) {
    FakeParagraph p("p");
    auto* a = new FakeText("a", "abc");
    auto* b = new FakeText("b", "");
    auto* c = new FakeText("c", "de");
    p.insertChild(a, nullptr, kInsertAfter);
    p.insertChild(b, nullptr, kInsertAfter);
    p.insertChild(c, nullptr, kInsertAfter);
    EXPECT_EQ(p.inputTextLength(), 5);
    p.setCaretOffset(4);
    EXPECT_EQ(c->caretOffset, 1);
    EXPECT_EQ(a->caretOffset, -1);
    p.setCaretOffset(2);
    EXPECT_EQ(a->caretOffset, 2);
}

TEST(ElementBase, CaretRangeFromMarkedChildren) {
    FakeParagraph p("p");
    for (const char* n : {"a", "b", "c", "d"}) p.insertChild(text(n), nullptr, kInsertAfter);
    p.mark = 2;
    p.childAt(1)->mark = 2;
    p.childAt(2)->mark = 1;
    CaretHandle handle;
    p.createCaretRange(handle, true, false);
    auto* range = dynamic_cast<ElementCaretRange*>(handle.position());
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->start().raw(), 2 * 1 + 1);   // on the partly marked child 1
    EXPECT_EQ(range->end().raw(), 2 * 2 + 2);     // after the wholly marked child 2
    p.mark = 0;
    CaretHandle empty;
    p.createCaretRange(empty, true, false);
    EXPECT_EQ(empty.position(), nullptr);
    EXPECT_TRUE(empty.hasHolder());
}

TEST(ElementBase, PlacePositionAtEdgePrefersMarked) {
    SmallTree t;
    ElementPosition pos(&t.doc);
    EXPECT_TRUE(t.root->placePositionAtEdge(pos, true));
    EXPECT_EQ(pos.element(), t.g1);   // the first child itself, at offset 0
    t.root->placePositionAtEdge(pos, false);
    EXPECT_EQ(pos.element(), t.t4);
    EXPECT_EQ(pos.offset(), 3);
    t.root->mark = 2;
    t.s2->mark = 2;
    t.g2->mark = 1;
    t.root->placePositionAtEdge(pos, false);
    EXPECT_EQ(pos.element(), t.t3);
}

struct FakeMenu {};

TEST(ElementBase, ContextMenuCacheAndRelease) {
    static int deleted = 0;
    Element::setContextMenuDeleter([](Menu*) { ++deleted; });
    FakeGroup g("g");
    FakeSection s("s");
    EXPECT_EQ(g.cachedContextMenu(), nullptr);
    static FakeMenu m1, m2;
    g.setCachedContextMenu(reinterpret_cast<Menu*>(&m1));
    s.setCachedContextMenu(reinterpret_cast<Menu*>(&m2));
    EXPECT_EQ(Element::contextMenuEntry(KIND_GROUP), reinterpret_cast<Menu*>(&m1));
    FakeGroup other("o");
    EXPECT_EQ(other.cachedContextMenu(), reinterpret_cast<Menu*>(&m1));
    Element::releaseElementKindObjects();
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(g.cachedContextMenu(), nullptr);
    Element::setContextMenuDeleter(nullptr);
}

TEST(ElementBase, DestructorTellsViews) {
    FakeDocument doc;
    auto* root = new FakeSection("root");
    root->setDocument(&doc);
    doc.rootElement = root;
    auto* g = new FakeGroup("g");
    root->insertChild(g, nullptr, kInsertAfter);
    EXPECT_EQ(g->document(), &doc);
    delete root;
    EXPECT_EQ(doc.forgotten, 2);
}

TEST(CompositeMouse, DoubleClickSelectsWholeElement) {
    SmallTree t;
    t.layout();
    ViewCaret caret(&t.doc, &t.doc.window);
    Selection selection(&t.doc, &t.doc.window);
    t.doc.window.caretObject = &caret;
    t.doc.window.selectionObject = &selection;
    EXPECT_FALSE(t.g1->mouseDown({20, 5, 1, 1}));
    EXPECT_TRUE(t.g1->mouseDown({20, 5, 2, 1}));
    EXPECT_TRUE(selection.active);
    EXPECT_EQ(caret.element(), t.g1);
    EXPECT_EQ(t.g1->mark, 1);
    EXPECT_EQ(t.p1->mark, 1);
    EXPECT_EQ(t.g3->mark, 0);
}

}  // namespace

namespace {

TEST(ElementBase, CopyChildrenToClonesInOrder) {
    FakeParagraph from("from"), to("to");
    from.insertChild(new FakeText("a", "aa"), nullptr, kInsertAfter);
    from.insertChild(new FakeText("b", "bb"), nullptr, kInsertAfter);
    to.insertChild(new FakeText("x", "x"), nullptr, kInsertAfter);
    EXPECT_EQ(from.copyChildrenTo(&to), 2);
    EXPECT_EQ(childNames(&to), "x a b");
    EXPECT_NE(to.childAt(1), from.childAt(0));   // copies, not the children themselves
    EXPECT_EQ(childNames(&from), "a b");
    EXPECT_EQ(from.copyChildrenTo(nullptr), 0);
}

TEST(ElementBase, PositionSelectedOnlyOnWhollyMarkedElement) {
    FakeText a("a", "abc");
    ElementPosition pos(&a, 1);
    EXPECT_FALSE(a.isPositionSelected(pos));
    EXPECT_TRUE(a.isPositionUnselected(pos));
    a.mark = 1;
    EXPECT_TRUE(a.isPositionSelected(pos));
    FakeText b("b", "x");
    b.mark = 1;
    EXPECT_FALSE(b.isPositionSelected(pos));
}

}  // namespace
