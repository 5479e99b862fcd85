// The inline, text and math kinds of caret positions over real inline elements: offsets,
// editing and the adjustment of other positions, the double-byte text case, text offsets left
// beyond a shortened text, a section's heading, and a property test over random trees of
// sections, groups, paragraphs, text runs and inline elements.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "document/edit/Document.h"
#include "document/elements/InlineCaret.h"
#include "document/elements/MathCaret.h"
#include "document/elements/MathElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextCaret.h"
#include "document/elements/TextElement.h"
#include "document/tree/CompositeElement.h"
#include "document/tree/ContainerElement.h"
#include "document/tree/ElementCaret.h"
#include "platform/os/mbtext.h"
#include "platform/os/sysprobe.h"

namespace {

class Sec : public ContainerElement {
public:
    Element* cloneElement() const override {
        auto* c = new Sec;
        copyChildrenTo(c);
        return c;
    }
    int elementKind() const override { return KIND_SECTION; }
};

class Grp : public ContainerElement {
public:
    Element* cloneElement() const override {
        auto* c = new Grp;
        copyChildrenTo(c);
        return c;
    }
    int elementKind() const override { return KIND_GROUP; }
};

class Para : public CompositeElement {
public:
    Element* cloneElement() const override {
        auto* c = new Para;
        copyChildrenTo(c);
        return c;
    }
    int elementKind() const override { return KIND_PARAGRAPH; }
};

// An inline element with no caret inside (a picture).
class Box : public InlineElement {
public:
    Element* cloneElement() const override { return new Box; }
    int elementKind() const override { return 15; }
};

// A text run that records the offsets its editing operations are handed and checks that they
// lie inside its text, on character boundaries.
class RecordingRun : public TextElement {
public:
    explicit RecordingRun(const char* text) : TextElement(-1, text) {}
    Element* cloneElement() const override { return new RecordingRun(text()); }
    void deleteAtPosition(SingleCaret& position) override {
        calls.push_back("delete " + std::to_string(check(position.offsetObject().raw())));
    }
    void deleteRange(CaretRange& range) override {
        calls.push_back("range " + std::to_string(check(range.start().raw())) + " " +
                        std::to_string(check(range.end().raw())));
    }
    void insertTextAt(const char* inserted, int offset) override {
        calls.push_back(std::string("insert ") + inserted + " " + std::to_string(check(offset)));
    }
    Element* splitAtCaret(const SingleCaret& caret) override {
        calls.push_back("split " + std::to_string(check(caret.offsetObject().raw())));
        return nullptr;
    }

    std::vector<std::string> calls;
    bool allInside = true;

private:
    int check(int at) {
        if (at < 0 || at > textLength() || mb_align(text(), at, textLength(), true) != at) allInside = false;
        return at;
    }
};

class CaretFamilies : public ::testing::Test {
protected:
    void SetUp() override {
        doc = new Document;
        root = new Sec;
        doc->setRoot(root);
        para = add(root, new Para);
    }
    void TearDown() override {
        sys_reset_japanese();
        delete doc;
    }
    template <typename T>
    T* add(Element* parent, T* child) {
        parent->insertChild(child, nullptr, kInsertAfter);
        return child;
    }
    static SingleCaret* at(Element* e, CaretHandle& h, int offset, bool byPath = false) {
        e->createCaretPosition(h, byPath);
        SingleCaret* c = h.single();
        c->setOffset(offset);
        return c;
    }

    Document* doc = nullptr;
    Sec* root = nullptr;
    Para* para = nullptr;
};

// ---- kinds and offsets ------------------------------------------------------------------------------

TEST_F(CaretFamilies, EachFamilyCountsItsOwnWay) {
    auto* run = add(para, new TextElement(-1, "hello"));
    auto* box = add(para, new Box);
    auto* math = add(para, new MathElement(nullptr, 0));
    struct Row {
        const char* name;
        Element* element;
        int kind;
        std::vector<int> forward;   // raw offsets from the start to the end
        int middle;
    };
    const Row rows[] = {
        {"text", run, 3, {0, 1, 2, 3, 4, 5}, 2},
        {"inline", box, 2, {0, 1, 2}, 1},
        {"math", math, 4, {0, 1, 2}, 1},
        {"element", para, 1, {0, 2, 4, 6}, 3},
    };
    for (const Row& r : rows) {
        CaretHandle h;
        r.element->createCaretPosition(h, false);
        SingleCaret* c = h.single();
        ASSERT_NE(c, nullptr) << r.name;
        EXPECT_EQ(c->positionKind(), r.kind) << r.name;
        EXPECT_EQ(c->offsetObject().offsetKind(), r.kind) << r.name;
        std::vector<int> seen{c->offsetObject().raw()};
        while (c->stepForwardInElement()) seen.push_back(c->offsetObject().raw());
        EXPECT_EQ(seen, r.forward) << r.name;
        std::vector<int> back{c->offsetObject().raw()};
        while (c->stepBackwardInElement()) back.push_back(c->offsetObject().raw());
        std::reverse(back.begin(), back.end());
        EXPECT_EQ(back, r.forward) << r.name;
        c->toMiddle();
        EXPECT_EQ(c->offsetObject().raw(), r.middle) << r.name;
        CaretHandle range;
        r.element->createCaretRange(range, false, false);
        ASSERT_NE(range.range(), nullptr) << r.name;
        EXPECT_EQ(range.range()->positionKind(), r.kind) << r.name;
        EXPECT_TRUE(range.range()->isWhole()) << r.name;
        EXPECT_FALSE(range.range()->isCollapsed()) << r.name;
    }
}

TEST_F(CaretFamilies, InlineAndMathOffsets) {
    auto* box = add(para, new Box);
    auto* math = add(para, new MathElement(nullptr, 0));
    CaretHandle h;
    SingleCaret* c = at(box, h, 2);
    EXPECT_TRUE(c->isAtEnd());
    c->setOffset(7);   // not a place of the inline kind: left as it was
    EXPECT_EQ(c->offset(), 2);
    c = at(math, h, -1);
    EXPECT_TRUE(c->isAtEnd());
    EXPECT_EQ(c->offset(), -1);
    c->setOffset(0);
    EXPECT_EQ(c->offset(), 0);
    EXPECT_TRUE(c->isAtStart());
    // A partly marked math element's marked-only range has both ends at the start.
    math->mark = 2;
    CaretHandle r;
    math->createCaretRange(r, true, false);
    ASSERT_NE(r.range(), nullptr);
    EXPECT_TRUE(r.range()->isCollapsed());
    EXPECT_TRUE(r.range()->start().isAtStart(math));
    // Unmarked: a holder with no position.
    box->mark = 0;
    box->createCaretRange(r, true, false);
    EXPECT_TRUE(r.hasHolder());
    EXPECT_EQ(r.position(), nullptr);
}

// ---- movement across elements --------------------------------------------------------------------

TEST_F(CaretFamilies, StepForwardIntoASiblingRunLandsAfterItsFirstByte) {
    auto* first = add(para, new TextElement(-1, "ab"));
    auto* second = add(para, new TextElement(-1, "cd"));
    auto* other = add(root, new Para);
    auto* third = add(other, new TextElement(-1, "ef"));
    CaretHandle h;
    at(first, h, 2);
    ASSERT_TRUE(h.single()->stepForward(h));
    EXPECT_EQ(h.single()->element(), second);
    EXPECT_EQ(h.single()->offset(), 1);
    // Into another paragraph: its start.
    at(second, h, 2);
    ASSERT_TRUE(h.single()->stepForward(h));
    EXPECT_EQ(h.single()->element(), third);
    EXPECT_EQ(h.single()->offset(), 0);
    // Backwards across paragraphs only when asked.
    ASSERT_TRUE(h.single()->stepBackward(h, false));
    EXPECT_EQ(h.single()->element(), second);
    EXPECT_EQ(h.single()->offset(), 2);
    at(third, h, 0);
    ASSERT_TRUE(h.single()->stepBackward(h, true));
    EXPECT_EQ(h.single()->offset(), 1);
    // The last stop: nowhere to go, the handle keeps its position.
    at(third, h, 2);
    SingleCaret* before = h.single();
    EXPECT_FALSE(h.single()->stepForward(h));
    EXPECT_EQ(h.single(), before);
}

// ---- text editing and adjustment ------------------------------------------------------------------

TEST_F(CaretFamilies, TextAdjustmentsMoveOtherPositions) {
    struct Row {
        const char* name;
        int caret, rangeEnd;   // rangeEnd < 0: a single position
        int other;
        int expected;
        const char* call;
        bool insert;
    };
    const Row rows[] = {
        {"delete before the other", 2, -1, 3, 2, "delete 2", false},
        {"delete after the other", 3, -1, 2, 2, "delete 3", false},
        {"range containing the other", 1, 4, 3, 1, "range 1 4", false},
        {"range before the other", 1, 3, 5, 3, "range 1 3", false},
        {"range after the other", 3, 5, 2, 2, "range 3 5", false},
        {"insert before the other", 2, -1, 4, 7, "insert abc 2", true},
        {"insert at the other", 2, -1, 2, 5, "insert abc 2", true},
        {"insert after the other", 3, -1, 2, 2, "insert abc 3", true},
    };
    add(para, new Box);   // keeps the paragraph when a row's run leaves it
    for (const Row& r : rows) {
        auto* run = add(para, new RecordingRun("abcdef"));
        CaretHandle other;
        at(run, other, r.other);
        if (r.rangeEnd >= 0) {
            CaretHandle h;
            run->createCaretRange(h, false, false);
            h.range()->start().setOffset(run, r.caret);
            h.range()->end().setOffset(run, r.rangeEnd);
            EXPECT_TRUE(h.range()->deleteRange()) << r.name;
            h.range()->adjustForDelete(other);
        } else {
            CaretHandle h;
            SingleCaret* c = at(run, h, r.caret);
            if (r.insert) {
                EXPECT_TRUE(c->insertText("abc")) << r.name;
                c->adjustForInsert(other, 3);
            } else {
                EXPECT_TRUE(c->deleteAtCaret()) << r.name;
                c->adjustForDelete(other);
            }
        }
        ASSERT_EQ(run->calls.size(), 1u) << r.name;
        EXPECT_EQ(run->calls[0], r.call) << r.name;
        EXPECT_EQ(other.single()->offsetObject().raw(), r.expected) << r.name;
        para->removeChild(run);
    }
}

TEST_F(CaretFamilies, AdjustedPositionAtItsStartGoesToThePreviousStop) {
    auto* before = add(para, new TextElement(-1, "xy"));
    auto* run = add(para, new RecordingRun("abc"));
    CaretHandle h, other;
    at(run, other, 1);
    at(run, h, 0)->deleteAtCaret();
    h.single()->adjustForDelete(other);
    EXPECT_EQ(other.single()->element(), before);
    EXPECT_EQ(other.single()->offset(), 2);
}

TEST_F(CaretFamilies, EmptyRunsAndWholeRangesRemoveTheElement) {
    auto* keep = add(para, new TextElement(-1, "k"));
    auto* empty = add(para, new TextElement(-1, ""));
    auto* whole = add(para, new TextElement(-1, "abc"));
    auto* box = add(para, new Box);
    CaretHandle h, other;
    at(empty, h, 0);
    at(empty, other, 0);
    // The adjustment first: the other position leaves the run that is about to go.
    h.single()->adjustForDelete(other);
    EXPECT_EQ(other.single()->element(), whole);
    EXPECT_TRUE(h.single()->deleteAtCaret());
    EXPECT_EQ(para->indexOfChild(whole), 1);
    whole->createCaretRange(h, false, false);
    EXPECT_TRUE(h.range()->deleteRange());
    EXPECT_EQ(para->childCount(), 2);
    // Inline kind: a range that does not cover the element deletes nothing.
    box->createCaretRange(h, false, false);
    h.range()->end().setStart(box);
    EXPECT_FALSE(h.range()->deleteRange());
    at(box, h, 1);
    EXPECT_TRUE(h.single()->deleteAtCaret());
    EXPECT_EQ(para->childCount(), 1);
    EXPECT_EQ(para->childAt(0), keep);
}

TEST_F(CaretFamilies, SplitAtTheEndsOfARunChangesNothing) {
    auto* run = add(para, new RecordingRun("abc"));
    CaretHandle h;
    for (int offset : {0, 3}) {
        at(run, h, offset);
        EXPECT_TRUE(h.single()->split()) << offset;
        EXPECT_EQ(para->childCount(), 1) << offset;
    }
    EXPECT_TRUE(run->calls.empty());
    // Inside the run it asks the run to split; no second part came back.
    at(run, h, 1);
    EXPECT_FALSE(h.single()->split());
    EXPECT_EQ(run->calls, (std::vector<std::string>{"split 1"}));
}

TEST_F(CaretFamilies, TwoByteCharactersMoveLaterPositionsByTheirBytes) {
    sys_set_japanese(true);
    // "a", a two-byte character, "b".
    const char text[] = {'a', '\x82', '\xA0', 'b', 0};
    auto* run = add(para, new RecordingRun(text));
    CaretHandle h, other;
    at(run, other, 4);
    SingleCaret* c = at(run, h, 1);
    EXPECT_TRUE(c->deleteAtCaret());
    c->adjustForDelete(other);
    EXPECT_EQ(other.single()->offsetObject().raw(), 2);
    // An offset inside a character reads as the character's start; steps go by characters.
    at(run, h, 2);
    EXPECT_EQ(h.single()->offset(), 1);
    EXPECT_TRUE(h.single()->stepForwardInElement());
    EXPECT_EQ(h.single()->offset(), 3);
    EXPECT_TRUE(run->allInside);
}

// A position held by path whose run was replaced by a shorter one (as an undo does) hands the
// run only offsets inside its text.
TEST_F(CaretFamilies, OffsetsBeyondAShortenedTextStayInside) {
    struct Row {
        const char* name;
        bool (*edit)(Element* run, CaretHandle& h);
        const char* call;
    };
    const Row rows[] = {
        {"insert", [](Element*, CaretHandle& h) { return h.single()->insertText("z"); }, "insert z 2"},
        {"delete", [](Element*, CaretHandle& h) { return h.single()->deleteAtCaret(); }, "delete 2"},
        {"range",
         [](Element* run, CaretHandle& h) {
             run->createCaretRange(h, false, true);
             h.range()->start().setOffset(run, 1);
             h.range()->end().setOffset(run, 6);
             return h.range()->deleteRange();
         },
         "range 1 2"},
    };
    add(para, new Box);   // keeps the paragraph when a row's run leaves it
    for (const Row& r : rows) {
        auto* longRun = add(para, new RecordingRun("abcdef"));
        CaretHandle h;
        at(longRun, h, 6, true);
        ASSERT_TRUE(para->removeChildAt(1));
        destroyElement(longRun);
        auto* shortRun = add(para, new RecordingRun("ab"));
        ASSERT_EQ(h.single()->element(), shortRun) << r.name;
        EXPECT_EQ(h.single()->offset(), 2) << r.name;
        EXPECT_TRUE(h.single()->isAtEnd()) << r.name;
        EXPECT_TRUE(r.edit(shortRun, h)) << r.name;
        ASSERT_EQ(shortRun->calls.size(), 1u) << r.name;
        EXPECT_EQ(shortRun->calls[0], r.call) << r.name;
        EXPECT_TRUE(shortRun->allInside) << r.name;
        para->removeChild(shortRun);
    }
}

// ---- sections ------------------------------------------------------------------------------------

TEST_F(CaretFamilies, DeletingInASectionWithChildrenGivesItItsHeading) {
    auto* section = add(root, new SectionElement);
    auto* group = add(section, new Grp);
    add(group, new Para);
    CaretHandle h;
    section->createCaretPosition(h, false);
    EXPECT_TRUE(h.single()->deleteAtCaret());
    EXPECT_EQ(section->parent(), root);
    ASSERT_EQ(section->childCount(), 2);
    EXPECT_EQ(section->childAt(0)->elementKind(), KIND_PARAGRAPH);   // the heading
    EXPECT_EQ(section->childAt(1), group);
    // With its heading in place nothing more happens.
    EXPECT_FALSE(h.single()->deleteAtCaret());
    EXPECT_EQ(section->childCount(), 2);
}

// ---- property test ---------------------------------------------------------------------------------

class RandomTree {
public:
    explicit RandomTree(unsigned seed) : rng_(seed) {}

    void build(Element* parent, int depth) {
        for (int i = 0, n = 1 + pick(3); i < n; ++i) {
            int what = depth >= 3 ? 2 : pick(3);
            if (what == 2) {
                auto* p = new Para;
                parent->insertChild(p, nullptr, kInsertAfter);
                for (int k = 0, m = 1 + pick(3); k < m; ++k) {
                    Element* leaf = pick(4) == 0 ? static_cast<Element*>(new Box)
                                                 : new TextElement(-1, std::string(pick(4), 'a' + pick(26)).c_str());
                    p->insertChild(leaf, nullptr, kInsertAfter);
                }
            } else {
                Element* c = what == 0 ? static_cast<Element*>(new Sec) : new Grp;
                parent->insertChild(c, nullptr, kInsertAfter);
                build(c, depth + 1);
            }
        }
    }
    int pick(int n) { return n <= 0 ? 0 : static_cast<int>(rng_() % static_cast<unsigned>(n)); }

private:
    std::mt19937 rng_;
};

void preorder(Element* e, std::vector<Element*>& out) {
    out.push_back(e);
    for (int i = 0, n = e->childCount(); i < n; ++i) preorder(e->childAt(i), out);
}

// Every place of every element, with its rank in a plain walk: (pre-order index, offset).
struct Place {
    CaretHandle handle;
    int element;
    int offset;
};

std::vector<Place> everyPlace(Element* root) {
    std::vector<Element*> all;
    preorder(root, all);
    std::vector<Place> places;
    for (int i = 0; i < static_cast<int>(all.size()); ++i) {
        CaretHandle h;
        all[i]->createCaretPosition(h, false);
        SingleCaret* c = h.single();
        int last = -1;
        for (;;) {
            int raw = c->offsetObject().raw();
            if (raw != last) {
                Place p;
                c->copyInto(p.handle, false);
                p.element = i;
                p.offset = raw;
                places.push_back(std::move(p));
            }
            last = raw;
            // Element positions also stand on each child.
            if (c->isStructural() && !c->isAtEnd()) {
                Place on;
                c->copyInto(on.handle, false);
                on.handle.single()->setChildSide(raw / 2, 1);
                on.element = i;
                on.offset = raw + 1;
                places.push_back(std::move(on));
            }
            if (!c->stepForwardInElement()) break;
        }
    }
    return places;
}

TEST(CaretProperty, OrderingMovementAndPathsAgreeWithAPlainWalk) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        Document doc;
        auto* root = new Sec;
        doc.setRoot(root);
        RandomTree random(seed);
        random.build(root, 0);

        // Ordering against the walk, over every pair of places.
        std::vector<Place> places = everyPlace(root);
        for (const Place& a : places) {
            for (const Place& b : places) {
                std::pair<int, int> ra{a.element, a.offset}, rb{b.element, b.offset};
                const SingleCaret& ca = *a.handle.single();
                const SingleCaret& cb = *b.handle.single();
                ASSERT_EQ(ca.isBefore(cb), ra < rb) << "seed " << seed;
                ASSERT_EQ(ca.isAfter(cb), ra > rb) << "seed " << seed;
                ASSERT_EQ(ca.isSame(cb), ra == rb) << "seed " << seed;
            }
        }

        // Forward steps from the document's start, backward steps from its end.
        for (bool forward : {true, false}) {
            for (bool across : {false, true}) {
                if (forward && across) continue;
                CaretHandle h;
                root->createCaretPosition(h, false);
                if (!forward) h.single()->toEnd();
                if (!h.single()->caretStop(h)) break;   // no caret stop in the tree
                int steps = 0;
                for (;; ++steps) {
                    ASSERT_LT(steps, 10000) << "seed " << seed << ": the steps do not end";
                    CaretHandle previous = h;
                    bool moved = forward ? h.single()->stepForward(h) : h.single()->stepBackward(h, across);
                    if (!moved) {
                        EXPECT_EQ(h.single(), previous.single());
                        break;
                    }
                    if (forward) ASSERT_TRUE(h.single()->isAfter(*previous.single())) << "seed " << seed;
                    else ASSERT_TRUE(h.single()->isBefore(*previous.single())) << "seed " << seed;
                }
                EXPECT_GT(steps, 0) << "seed " << seed;
            }
        }

        // A path survives the deletion and rebuilding of everything on its way.
        std::vector<Element*> all;
        preorder(root, all);
        Element* target = all[1 + random.pick(static_cast<int>(all.size()) - 1)];
        std::vector<int> indexes;
        for (Element* e = target; e->parent(); e = e->parent()) indexes.insert(indexes.begin(), e->parent()->indexOfChild(e));
        CaretHandle held;
        target->createCaretPosition(held, true);
        Element* top = root->childAt(indexes[0]);
        Element* rebuilt = top->cloneElement();
        root->replaceChild(top, rebuilt);
        destroyElement(top);
        Element* expected = root;
        for (int index : indexes) expected = expected->childAt(index);
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(held.single()->element(), expected) << "seed " << seed;
        EXPECT_EQ(held.single()->positionKind() == 3, expected->isText()) << "seed " << seed;
        // The top-level elements from its ancestor's index on removed: the path leads nowhere.
        while (root->childCount() > indexes[0]) root->removeChild(root->childAt(indexes[0]));
        EXPECT_EQ(held.single()->element(), nullptr) << "seed " << seed;
    }
}

}  // namespace
