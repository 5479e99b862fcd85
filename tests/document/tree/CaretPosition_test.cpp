// Caret positions of the element kind on the fake tree: offsets, the handle's reference
// counting, ordering, movement, structural editing, and positions held by path whose path
// leads nowhere.
#include "document/tree/CaretPosition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/tree/ElementCaret.h"
#include "tests/document/tree/ElementTreeFakes.h"

namespace {

using namespace fakes;

// An element position that counts its deletions.
class CountedCaret : public ElementCaret {
public:
    CountedCaret(Element* e, int* deletions) : ElementCaret(e, false), deletions_(deletions) {}
    ~CountedCaret() override { ++*deletions_; }

private:
    int* deletions_;
};

SingleCaret* caretIn(Element* e, CaretHandle& handle, bool byPath = false) {
    e->createCaretPosition(handle, byPath);
    return handle.single();
}

// ---- offsets ---------------------------------------------------------------------------------------

TEST(ElementCaretOffsets, StepsOverGapsAndStopsAtTheEnd) {
    FakeParagraph p("p");
    for (const char* n : {"a", "b", "c"}) p.insertChild(new FakeText(n, n), nullptr, kInsertAfter);
    CaretHandle h;
    SingleCaret* c = caretIn(&p, h);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->positionKind(), 1);
    EXPECT_TRUE(c->isStructural());
    std::vector<int> seen{c->offsetObject().raw()};
    while (c->stepForwardInElement()) seen.push_back(c->offsetObject().raw());
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 4, 6}));
    EXPECT_TRUE(c->isAtEnd());
    EXPECT_FALSE(c->stepForwardInElement());
    std::vector<int> back;
    while (c->stepBackwardInElement()) back.push_back(c->offsetObject().raw());
    EXPECT_EQ(back, (std::vector<int>{4, 2, 0}));

    c->toMiddle();
    EXPECT_EQ(c->offsetObject().raw(), 3);
    EXPECT_EQ(c->childIndex(false), 1);   // on child 1
    EXPECT_TRUE(c->isInside());
    // From a place on a child the step goes to the next gap.
    EXPECT_TRUE(c->stepForwardInElement());
    EXPECT_EQ(c->offsetObject().raw(), 4);
}

TEST(ElementCaretOffsets, ChildIndexAndSides) {
    FakeParagraph p("p");
    for (const char* n : {"a", "b", "c"}) p.insertChild(new FakeText(n, n), nullptr, kInsertAfter);
    CaretHandle h;
    SingleCaret* c = caretIn(&p, h);
    struct Row {
        const char* name;
        int index, side;
        int offset;
        int childBefore, childAfter;
    };
    const Row rows[] = {
        {"start", 0, 0, 0, 0, 0},
        {"on child 0", 0, 1, 1, 0, 0},
        {"gap before child 2", 1, 2, 4, 1, 2},
        {"on child 2", 2, 1, 5, 2, 2},
        {"end", 2, 2, 6, 2, 2},
    };
    for (const Row& r : rows) {
        c->setChildSide(r.index, r.side);
        EXPECT_EQ(c->offsetObject().raw(), r.offset) << r.name;
        EXPECT_EQ(c->childIndex(false), r.childBefore) << r.name;
        EXPECT_EQ(c->childIndex(true), r.childAfter) << r.name;
        EXPECT_TRUE(c->offsetObject().isValid(&p)) << r.name;
    }
    // The element kind keeps no free offset.
    c->setOffset(5);
    EXPECT_EQ(c->offset(), 0);
    EXPECT_TRUE(c->isAtStart());
}

// ---- the handle ------------------------------------------------------------------------------------

TEST(CaretHandles, SharedHoldersDeleteTheirPositionOnce) {
    FakeParagraph p("p");
    int deletions = 0;
    {
        CaretHandle a;
        a.put(new CountedCaret(&p, &deletions));
        EXPECT_EQ(a.referenceCount(), 1);
        CaretHandle b = a;
        EXPECT_EQ(a.referenceCount(), 2);
        a.put(nullptr);   // a lets go of the shared holder and gets one of its own
        EXPECT_EQ(b.referenceCount(), 1);
        EXPECT_EQ(a.referenceCount(), 1);
        EXPECT_EQ(deletions, 0);
        b = b;   // self-assignment keeps the holder
        ASSERT_NE(b.position(), nullptr);
        b.release();
        EXPECT_EQ(deletions, 1);
        b.release();
    }
    EXPECT_EQ(deletions, 1);
}

TEST(CaretHandles, PositionReadWhileItsHandleIsRefilledStaysAlive) {
    SmallTree t;
    // The only reference to the position in t2 is the handle that moveOutOfElement refills;
    // the old position is read after the refill (AddressSanitizer checks the reading).
    int deletions = 0;
    CaretHandle handle;
    handle.put(new CountedCaret(t.t2, &deletions));
    CaretHandle self;
    SingleCaret* leaving = caretIn(t.t2, self);
    leaving->moveOutOfElement(handle);
    EXPECT_EQ(deletions, 1);
    ASSERT_NE(handle.single(), nullptr);
    EXPECT_EQ(handle.single()->element(), t.i1);   // the next caret stop, at its start
    // A position stepping inside the handle that holds it.
    CaretHandle walker;
    caretIn(t.p1, walker);
    EXPECT_TRUE(walker.single()->stepForward(walker));
    EXPECT_EQ(walker.single()->offsetObject().raw(), 2);
    // The last stop: moving out falls back to the previous stop.
    caretIn(t.t4, handle);
    CaretHandle last;
    caretIn(t.t4, last)->moveOutOfElement(handle);
    EXPECT_EQ(handle.single()->element(), t.t3);
}

// ---- ordering --------------------------------------------------------------------------------------

TEST(CaretOrdering, SectionComesBeforeItsChildrenEvenAtItsEnd) {
    SmallTree t;
    CaretHandle section, inside, after;
    caretIn(t.s2, section)->toEnd();
    caretIn(t.t3, inside);
    caretIn(t.t4, after);
    EXPECT_TRUE(section.single()->isBefore(*inside.single()));
    EXPECT_TRUE(inside.single()->isAfter(*section.single()));
    EXPECT_FALSE(section.single()->isAfter(*inside.single()));
    EXPECT_TRUE(inside.single()->isBefore(*after.single()));
    EXPECT_TRUE(inside.single()->isBetween(*section.single(), *after.single()));
    CaretHandle again;
    caretIn(t.s2, again)->toEnd();
    EXPECT_TRUE(again.single()->isSame(*section.single()));
    again.single()->toStart();
    EXPECT_TRUE(again.single()->isBefore(*section.single()));
    EXPECT_TRUE(again.single()->isNotSame(*section.single()));
    // A position without an element is neither before, after nor the same.
    FakeText loose("x", "x");
    CaretHandle detached;
    caretIn(&loose, detached);
    EXPECT_FALSE(detached.single()->isBefore(*inside.single()));
    EXPECT_FALSE(detached.single()->isAfter(*inside.single()));
}

// ---- movement ---------------------------------------------------------------------------------------

TEST(CaretMovement, ParentCaretStopAndInsertion) {
    SmallTree t;
    CaretHandle h;
    caretIn(t.t2, h);
    ASSERT_TRUE(h.single()->toParent(h));
    EXPECT_EQ(h.single()->element(), t.p1);
    EXPECT_EQ(h.single()->offsetObject().raw(), 2 * 1 + 0);   // before t2: it stood at its start
    // The caret stop of a section's start descends to the first inline element.
    caretIn(t.root, h);
    ASSERT_TRUE(h.single()->caretStop(h));
    EXPECT_EQ(h.single()->element(), t.t1);
    caretIn(t.root, h)->toEnd();
    ASSERT_TRUE(h.single()->caretStop(h));
    EXPECT_EQ(h.single()->element(), t.t4);
    // No children: nowhere to descend.
    FakeParagraph empty("e");
    caretIn(&empty, h);
    EXPECT_FALSE(h.single()->caretStop(h));
    EXPECT_EQ(h.single()->element(), &empty);
    // Insertion into the gap, and at the end.
    caretIn(t.p1, h)->setChildSide(1, 0);
    auto* x = new FakeText("x", "x");
    ASSERT_TRUE(h.single()->insertElement(x));
    EXPECT_EQ(t.p1->childAt(1), x);
    h.single()->toEnd();
    auto* y = new FakeText("y", "y");
    ASSERT_TRUE(h.single()->insertElement(y));
    EXPECT_EQ(t.p1->lastChild(), y);
    // Splitting at a gap gives the second part.
    caretIn(t.p1, h)->setChildSide(2, 0);
    EXPECT_TRUE(h.single()->split());
    EXPECT_EQ(t.g1->childCount(), 3);
    EXPECT_EQ(t.p1->childCount(), 2);
}

TEST(CaretMovement, StructuralDeletionRemovesOnlyAnElementWithoutChildren) {
    SmallTree t;
    auto* empty = new FakeParagraph("e");
    t.g1->insertChild(empty, nullptr, kInsertAfter);
    CaretHandle h, other;
    caretIn(t.p1, h);
    EXPECT_FALSE(h.single()->deleteAtCaret());   // p1 has children: it stays
    EXPECT_EQ(t.p1->parent(), t.g1);
    int before = t.g1->childCount();
    caretIn(empty, h);
    CaretHandle keep;
    h.single()->copyInto(keep, true);   // by path: it names the place, not the object
    EXPECT_TRUE(h.single()->deleteAtCaret());
    EXPECT_EQ(t.g1->childCount(), before - 1);
    EXPECT_EQ(keep.single()->element(), nullptr);   // the index is past the last child now
}

// ---- positions held by path -----------------------------------------------------------------------

TEST(CaretPaths, FindTheElementAgainAndLeadNowhereWhenItIsGone) {
    SmallTree t;
    CaretHandle h;
    SingleCaret* c = caretIn(t.t2, h, true);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->isHeldByPath());
    EXPECT_EQ(c->element(), t.t2);
    // Rebuild p1 with its runs at the same indexes: the path finds the new run.
    t.g1->removeChild(t.p1);
    auto* p = new FakeParagraph("p1 again");
    p->insertChild(new FakeText("t1 again", "hello"), nullptr, kInsertAfter);
    auto* run = new FakeText("t2 again", "ab");
    p->insertChild(run, nullptr, kInsertAfter);
    t.g1->insertChild(p, t.p2, kInsertBefore);
    EXPECT_EQ(c->element(), run);
    // The paragraph gone for good: p2 (one child) takes its index, and the last index finds
    // no child there.
    t.g1->removeChild(p);
    EXPECT_EQ(c->element(), nullptr);
    // A direct position turned into one held by path keeps its element.
    CaretHandle d;
    caretIn(t.t4, d)->holdByPath();
    EXPECT_EQ(d.single()->element(), t.t4);
}

// Every operation on a position whose path leads nowhere leaves the tree as it was.
TEST(CaretPaths, OperationsOnAPathThatLeadsNowhereChangeNothing) {
    struct Op {
        const char* name;
        bool (*run)(SingleCaret& c, CaretHandle& handle);
    };
    const Op ops[] = {
        {"deleteElement", [](SingleCaret& c, CaretHandle&) { return c.deleteElement(); }},
        {"deleteAtCaret", [](SingleCaret& c, CaretHandle&) { return c.deleteAtCaret(); }},
        {"split", [](SingleCaret& c, CaretHandle&) { return c.split(); }},
        {"insertElement",
         [](SingleCaret& c, CaretHandle&) {
             auto* x = new FakeText("x", "x");
             bool done = c.insertElement(x);
             if (!done) delete x;
             return done;
         }},
        {"insertText", [](SingleCaret& c, CaretHandle&) { return c.insertText("zz"); }},
        {"stepForward", [](SingleCaret& c, CaretHandle& h) { return c.stepForward(h); }},
        {"stepBackward", [](SingleCaret& c, CaretHandle& h) { return c.stepBackward(h, true); }},
        {"toParent", [](SingleCaret& c, CaretHandle& h) { return c.toParent(h); }},
        {"caretStop", [](SingleCaret& c, CaretHandle& h) { return c.caretStop(h); }},
        {"toNextCaretStop", [](SingleCaret& c, CaretHandle& h) { return c.toNextCaretStop(h, false); }},
        {"toPreviousCaretStop", [](SingleCaret& c, CaretHandle& h) { return c.toPreviousCaretStop(h, false); }},
        {"copyInto", [](SingleCaret& c, CaretHandle& h) { return c.copyInto(h, false); }},
        {"moveOutOfElement",
         [](SingleCaret& c, CaretHandle& h) {
             c.moveOutOfElement(h);
             return false;
         }},
        {"adjustForDelete",
         [](SingleCaret& c, CaretHandle& h) {
             c.adjustForDelete(h);
             return false;
         }},
    };
    for (const Op& op : ops) {
        SmallTree t;
        CaretHandle h;
        SingleCaret* c = caretIn(t.p2, h, true);
        t.g1->removeChild(t.p2);   // the path's last index now finds no child
        ASSERT_EQ(c->element(), nullptr) << op.name;
        CaretHandle target;
        caretIn(t.t1, target);
        SingleCaret* before = target.single();
        std::vector<std::string> shape;
        for (Element* e : {static_cast<Element*>(t.root), static_cast<Element*>(t.g1), static_cast<Element*>(t.p1)})
            shape.push_back(std::to_string(e->childCount()));
        EXPECT_FALSE(op.run(*c, target)) << op.name;
        EXPECT_EQ(target.single(), before) << op.name << ": the handle is left as it was";
        EXPECT_EQ(target.single()->element(), t.t1) << op.name;
        std::vector<std::string> after;
        for (Element* e : {static_cast<Element*>(t.root), static_cast<Element*>(t.g1), static_cast<Element*>(t.p1)})
            after.push_back(std::to_string(e->childCount()));
        EXPECT_EQ(after, shape) << op.name;
    }
    // The same for a range.
    SmallTree t;
    CaretHandle r;
    t.p2->createCaretRange(r, false, true);
    t.g1->removeChild(t.p2);
    ASSERT_EQ(r.range()->element(), nullptr);
    CaretHandle target;
    caretIn(t.t1, target);
    EXPECT_FALSE(r.range()->deleteRange());
    r.range()->adjustForDelete(target);
    EXPECT_FALSE(r.range()->startPosition(target));
    EXPECT_EQ(target.single()->element(), t.t1);
    EXPECT_EQ(t.g1->childCount(), 1);
    EXPECT_EQ(t.p1->childCount(), 2);
}

}  // namespace
