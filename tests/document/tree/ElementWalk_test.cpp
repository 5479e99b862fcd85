// The tree walk: order of visits and passes under each flag, stop bits, marked-only walks,
// visitors that change the tree under the walk, the counting and writing visitors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ElementTreeFakes.h"
#include "document/records/KWorksheetWriter.h"
#include "tests/support/named_rows.h"

using namespace fakes;

namespace {

struct Visit {
    std::string name;
    unsigned pass;
    bool operator==(const Visit&) const = default;
};

std::string show(const std::vector<Visit>& v) {
    std::string s;
    for (const auto& x : v) s += x.name + ":" + std::to_string(x.pass) + " ";
    return s;
}

struct Recorder : WalkControl {
    std::vector<Visit> visits;
    std::string stopAt;          // element name
    unsigned stopPass = 0;
    unsigned stopBits = 0;
};

void record(Element* e, WalkControl& control) {
    auto& r = static_cast<Recorder&>(control);
    r.visits.push_back({nameOf(e), r.pass()});
    if (nameOf(e) == r.stopAt && r.pass() == r.stopPass) r.requestStop(r.stopBits);
}

// A tree small enough to list every visit:  a[ b[ x y ] z ]
struct Tiny {
    Tiny() {
        a = new FakeSection("a");
        b = new FakeGroup("b");
        p = new FakeParagraph("p");
        x = new FakeText("x", "1");
        y = new FakeText("y", "2");
        z = new FakeText("z", "3");
        a->insertChild(b, nullptr, kInsertAfter);
        b->insertChild(p, nullptr, kInsertAfter);
        p->insertChild(x, nullptr, kInsertAfter);
        p->insertChild(y, nullptr, kInsertAfter);
        a->insertChild(z, nullptr, kInsertAfter);
    }
    ~Tiny() { delete a; }
    FakeSection* a;
    FakeGroup* b;
    FakeParagraph* p;
    FakeText *x, *y, *z;
};

using kelvo_test::PrintTo;

struct WalkCase {
    const char* name;
    std::uint8_t flags;
    bool markSome;   // b and p partly, x wholly; z unmarked
    std::vector<Visit> expected;
};

class WalkOrder : public ::testing::TestWithParam<WalkCase> {};

TEST_P(WalkOrder, VisitsInOrder) {
    const WalkCase& c = GetParam();
    Tiny t;
    if (c.markSome) {
        t.a->mark = 2;
        t.b->mark = 2;
        t.p->mark = 2;
        t.x->mark = 1;
    }
    Recorder r;
    r.flags = c.flags;
    t.a->walk(&record, r);
    EXPECT_EQ(r.visits, c.expected) << c.name << ": got " << show(r.visits);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, WalkOrder,
    ::testing::Values(
        WalkCase{"flags0_leaves_only", 0, false, {{"x", 4}, {"y", 4}, {"z", 4}}},
        WalkCase{"flags1_before",
                 1,
                 false,
                 {{"a", 1}, {"b", 1}, {"p", 1}, {"x", 4}, {"y", 4}, {"z", 4}}},
        WalkCase{"flags2_after",
                 2,
                 false,
                 {{"x", 4}, {"y", 4}, {"p", 2}, {"b", 2}, {"z", 4}, {"a", 2}}},
        WalkCase{"flags3_both",
                 3,
                 false,
                 {{"a", 1}, {"b", 1}, {"p", 1}, {"x", 4}, {"y", 4}, {"p", 2}, {"b", 2}, {"z", 4}, {"a", 2}}},
        WalkCase{"bit4_linked",
                 WALK_BEFORE | WALK_LINKED,
                 false,
                 {{"a", 1}, {"b", 1}, {"p", 1}, {"x", 4}, {"y", 4}, {"z", 4}}},
        WalkCase{"bit7_marked_only",
                 WALK_BEFORE | WALK_AFTER | WALK_MARKED_ONLY,
                 true,
                 {{"a", 1}, {"b", 1}, {"p", 1}, {"x", 4}, {"p", 2}, {"b", 2}, {"a", 2}}},
        WalkCase{"bit7_unmarked_root", WALK_BEFORE | WALK_MARKED_ONLY, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ElementWalk, StopChildrenOnPass1StillGivesPass2) {
    Tiny t;
    Recorder r;
    r.flags = 3;
    r.stopAt = "b";
    r.stopPass = 1;
    r.stopBits = STOP_CHILDREN;
    t.a->walk(&record, r);
    std::vector<Visit> expected{{"a", 1}, {"b", 1}, {"b", 2}, {"z", 4}, {"a", 2}};
    EXPECT_EQ(r.visits, expected) << show(r.visits);
}

TEST(ElementWalk, StopWalkOnLeafEndsEverything) {
    Tiny t;
    Recorder r;
    r.flags = 3;
    r.stopAt = "x";
    r.stopPass = 4;
    r.stopBits = STOP_WALK;
    t.a->walk(&record, r);
    std::vector<Visit> expected{{"a", 1}, {"b", 1}, {"p", 1}, {"x", 4}};
    EXPECT_EQ(r.visits, expected) << show(r.visits);
}

TEST(ElementWalk, StoringPassClearsStop) {
    WalkControl r;
    r.storePass(PASS_BEFORE);
    r.requestStop(STOP_CHILDREN | STOP_WALK);
    EXPECT_EQ(r.stop(), 3u);
    EXPECT_EQ(r.pass(), 1u);
    r.storePass(PASS_DESCEND);
    EXPECT_EQ(r.stop(), 0u);
}

TEST(ElementWalk, CountKindCountsEachElementOncePerVisit) {
    Tiny t;
    WalkControl r;
    r.flags = WALK_BEFORE;
    t.a->walkMethod(&Element::countKind, r);
    EXPECT_EQ(r.counts[KIND_SECTION], 1);
    EXPECT_EQ(r.counts[KIND_GROUP], 1);
    EXPECT_EQ(r.counts[KIND_PARAGRAPH], 1);
    EXPECT_EQ(r.counts[KIND_TEXT], 3);
    WalkControl both;
    both.flags = WALK_BEFORE | WALK_AFTER;
    t.a->walkMethod(&Element::countKind, both);
    EXPECT_EQ(both.counts[KIND_SECTION], 2);   // composites twice, leaves once
    EXPECT_EQ(both.counts[KIND_TEXT], 3);
}

TEST(ElementWalk, FindTextSetsPassedStart) {
    Tiny t;
    WalkControl r;
    r.searchStart = t.y;
    t.a->walkMethod(&Element::findText, r);
    EXPECT_TRUE(r.passedStart);
    WalkControl none;
    FakeText other("o", "q");
    none.searchStart = &other;
    t.a->walkMethod(&Element::findText, none);
    EXPECT_FALSE(none.passedStart);
}

TEST(ElementWalk, WriterWalkWritesHeadsAndTails) {
    Tiny t;
    KWorksheetWriter writer;
    WalkControl r;
    r.flags = 3;
    r.writer = &writer;
    t.a->walkMethod(&Element::writeElement, r);
    EXPECT_EQ(writer.getBuffer(), "{SECT {EXCHG {PARA }}}");
}

TEST(ElementWalk, MarkedOnlyWriterWritesWhollyMarked) {
    Tiny t;
    t.a->mark = 2;
    t.b->mark = 1;
    t.p->mark = 1;
    KWorksheetWriter writer;
    WalkControl r;
    r.flags = 3 | WALK_MARKED_ONLY;
    r.writer = &writer;
    t.a->walkMethod(&Element::writeElement, r);
    EXPECT_EQ(writer.getBuffer(), "{EXCHG {PARA }}");
}

TEST(ElementWalk, NewRepCallbacks) {
    Tiny t;
    KWorksheetWriter writer;
    WalkControl r;
    r.writer = &writer;
    writeNewRepHeader(t.p, r);
    writeRecordTail(t.p, r);
    EXPECT_EQ(writer.getBuffer(), "{NEWREP }");
}

TEST(ElementWalk, CommandVisitorOffersCommand) {
    Tiny t;
    t.y->acceptCommands = true;
    WalkControl r;
    r.code = 42;
    t.a->walkMethod(&Element::commandVisitor, r);
    EXPECT_TRUE(r.handled);
    EXPECT_EQ(t.x->commands, std::vector<int>{42});
    EXPECT_EQ(t.y->commands, std::vector<int>{42});
}

// ---- visitors that change the tree (run under AddressSanitizer) ------------------------------

void removeOddRuns(Element* e, WalkControl& control) {
    auto* names = static_cast<std::vector<std::string>*>(control.context);
    names->push_back(nameOf(e));
    if (control.pass() != PASS_LEAF) return;
    auto* text = dynamic_cast<FakeText*>(e);
    if (text && (text->text == "1" || text->text == "3")) e->parent()->removeChild(e);
}

TEST(ElementWalkChanges, VisitorRemovingChildrenDuringIndexedWalk) {
    for (std::uint8_t flags : {std::uint8_t(WALK_BEFORE | WALK_AFTER), std::uint8_t(WALK_BEFORE | WALK_AFTER | WALK_LINKED)}) {
        FakeSection root("r");
        auto* para = new FakeParagraph("p");
        root.insertChild(para, nullptr, kInsertAfter);
        for (int i = 0; i < 5; ++i)
            para->insertChild(new FakeText("t" + std::to_string(i), std::to_string(i)), nullptr, kInsertAfter);
        std::vector<std::string> names;
        WalkControl r;
        r.flags = flags;
        r.context = &names;
        root.walk(&removeOddRuns, r);
        // Every child visited once, none skipped after a removal, no null child.
        std::vector<std::string> expected{"r", "p", "t0", "t1", "t2", "t3", "t4", "p", "r"};
        EXPECT_EQ(names, expected) << int(flags);
        ASSERT_EQ(para->childCount(), 3);
        EXPECT_EQ(nameOf(para->childAt(1)), "t2");
    }
}

void emptyGroups(Element* e, WalkControl& control) {
    auto* names = static_cast<std::vector<std::string>*>(control.context);
    names->push_back(nameOf(e) + ":" + std::to_string(control.pass()));
    if (control.pass() == PASS_LEAF) {
        // Remove the run's paragraph from its group: the group empties and removes itself
        // from the section while the walk is inside it.
        Element* para = e->parent();
        if (para && para->parent()) para->parent()->removeChild(para);
    }
}

TEST(ElementWalkChanges, GroupEmptiedDuringWalkOverItsSection) {
    SmallTree t;
    std::vector<std::string> names;
    WalkControl r;
    r.flags = WALK_BEFORE | WALK_AFTER;
    r.context = &names;
    t.s2->walk(&emptyGroups, r);
    // g2 lost p3 and left s2, which left root; all visits completed on live elements.
    std::vector<std::string> expected{"s2:1", "g2:1", "p3:1", "t3:4", "p3:2", "g2:2", "s2:2"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(t.root->childCount(), 2);
    EXPECT_EQ(nameOf(t.root->childAt(1)), "g3");
}

void deleteNextSibling(Element* e, WalkControl& control) {
    auto* names = static_cast<std::vector<std::string>*>(control.context);
    names->push_back(nameOf(e));
    if (nameOf(e) == "t0") {
        Element* p = e->parent();
        Element* next = p->childAt(1);
        // Taken out and deleted by the visitor itself, bypassing the tree's own removal.
        ASSERT_TRUE(p->removeChildAt(1));
        delete next;
    }
}

TEST(ElementWalkChanges, SiblingDeletedDirectlyIsNotVisited) {
    FakeParagraph para("p");
    for (int i = 0; i < 3; ++i) para.insertChild(new FakeText("t" + std::to_string(i), "x"), nullptr, kInsertAfter);
    std::vector<std::string> names;
    WalkControl r;
    r.context = &names;
    para.walk(&deleteNextSibling, r);
    EXPECT_EQ(names, (std::vector<std::string>{"t0", "t2"}));
}

void removeLaterSibling(Element* e, WalkControl& control) {
    auto* names = static_cast<std::vector<std::string>*>(control.context);
    names->push_back(nameOf(e));
    if (nameOf(e) == "t0") e->parent()->removeChild(e->parent()->childAt(2));
}

TEST(ElementWalkChanges, LaterSiblingRemovedIsNotVisited) {
    FakeParagraph para("p");
    for (int i = 0; i < 4; ++i) para.insertChild(new FakeText("t" + std::to_string(i), "x"), nullptr, kInsertAfter);
    std::vector<std::string> names;
    WalkControl r;
    r.context = &names;
    para.walk(&removeLaterSibling, r);
    EXPECT_EQ(names, (std::vector<std::string>{"t0", "t1", "t3"}));
    EXPECT_EQ(para.childCount(), 3);
}

}  // namespace
