// Paragraph tree editing: inserting, removing, replacing and splitting children with undo, and
// wrapping a paragraph in an execution group.
#include <gtest/gtest.h>

#include <string>

#include "document/tree/ContainerElement.h"
#include "tests/document/elements/text_fixture.h"

namespace {

using namespace textfixture;

// The texts of a paragraph's runs joined by "|".
std::string textsOf(Element* p) {
    std::string out;
    for (int i = 0; i < p->childCount(); ++i) {
        if (i) out += '|';
        if (auto* t = dynamic_cast<TextElement*>(p->childAt(i))) out += t->text();
    }
    return out;
}

class ParagraphTree : public TextFixture {
protected:
    ParagraphElement* abc(int style = -1) {
        return paragraph({new TextElement(-1, "a"), new TextElement(-1, "b"), new TextElement(-1, "c")}, style);
    }
};

TEST_F(ParagraphTree, SplitAtIndexZeroReturnsTheParagraphAndChangesNothing) {
    ParagraphElement* p = abc();
    layoutAt(300);
    std::string before = written();
    EXPECT_EQ(p->splitAtIndex(0), p);
    EXPECT_EQ(p->splitAtIndex(-1), p);
    EXPECT_EQ(p->splitAtIndex(4), p);
    EXPECT_EQ(written(), before);
    EXPECT_EQ(root->childCount(), 1);
}

TEST_F(ParagraphTree, SplitMovesTheTailIntoAParagraphOfTheSameOrACopiedStyle) {
    int unnamed = doc->styleSet()->addParaStyle(std::make_unique<ParaStyle>(plainStyle), 400);
    struct Row {
        const char* name;
        int index;
        bool named;
        const char* first;
        const char* second;
    } rows[] = {
        {"middle, named style", 1, true, "a", "b|c"},
        {"last, named style", 2, true, "a|b", "c"},
        {"after the last", 3, true, "a|b|c", ""},
        {"middle, unnamed style", 1, false, "a", "b|c"},
    };
    for (const Row& r : rows) {
        int style = r.named ? plainStyle : unnamed;
        ParagraphElement* p = abc(style);
        layoutAt(300);
        auto* second = dynamic_cast<ParagraphElement*>(p->splitAtIndex(r.index));
        ASSERT_NE(second, nullptr) << r.name;
        ASSERT_NE(second, p) << r.name;
        EXPECT_EQ(root->nextChild(p), second) << r.name;
        EXPECT_EQ(textsOf(p), r.first) << r.name;
        EXPECT_EQ(textsOf(second), r.second) << r.name;
        if (r.named) {
            EXPECT_EQ(second->styleIndex, style) << r.name;
        } else {
            EXPECT_NE(second->styleIndex, style) << r.name;
            const ParaStyle* copy = doc->styleSet()->paraStyle(second->styleIndex);
            ASSERT_NE(copy, nullptr) << r.name;
            EXPECT_FALSE(copy->hasName()) << r.name;
        }
        EXPECT_FALSE(second->flags & ELEMENT_NEEDS_LAYOUT) << r.name;
        while (root->childCount() > 0) root->removeChild(root->firstChild());
    }
}

TEST_F(ParagraphTree, SplitAtChildSplitsBeforeIt) {
    ParagraphElement* p = abc();
    Element* c = p->childAt(2);
    Element* second = p->splitAtChild(c);
    EXPECT_EQ(textsOf(p), "a|b");
    EXPECT_EQ(second->firstChild(), c);
    TextElement stranger(-1, "x");
    EXPECT_EQ(p->splitAtChild(&stranger), p);
}

TEST_F(ParagraphTree, EveryTreeEditIsUndoneAndRedone) {
    ParagraphElement* p = abc();
    layoutAt(300);
    struct Step {
        const char* name;
        void (*edit)(ParagraphElement* p);
    } steps[] = {
        {"insert", [](ParagraphElement* p) { p->insertChild(new TextElement(-1, "new"), p->childAt(1), kInsertBefore); }},
        {"remove", [](ParagraphElement* p) { p->removeChild(p->childAt(0)); }},
        {"remove at", [](ParagraphElement* p) {
             Element* child = p->childAt(1);
             if (p->removeChildAt(1)) destroyElement(child);
         }},
        {"replace", [](ParagraphElement* p) {
             Element* old = p->childAt(0);
             if (p->replaceChild(old, new TextElement(-1, "replaced"))) delete old;
         }},
        {"split", [](ParagraphElement* p) { p->splitAtIndex(1); }},
    };
    for (const Step& s : steps) {
        std::string before = written();
        inGroup(s.name, [&] { s.edit(p); });
        std::string after = written();
        EXPECT_NE(after, before) << s.name;
        doc->undoHistory()->undo(nullptr);
        EXPECT_EQ(written(), before) << s.name;
        doc->undoHistory()->redo(nullptr);
        EXPECT_EQ(written(), after) << s.name;
        doc->undoHistory()->undo(nullptr);
        p = static_cast<ParagraphElement*>(root->firstChild());
    }
}

TEST_F(ParagraphTree, RemovingTheLastChildLeavesTheParagraph) {
    ParagraphElement* p = paragraph({new TextElement(-1, "only")});
    layoutAt(300);
    p->removeChild(p->firstChild());
    EXPECT_EQ(root->firstChild(), p);
    EXPECT_EQ(p->childCount(), 0);
}

class Group : public ContainerElement {
public:
    Element* cloneElement() const override { return new Group; }
    int elementKind() const override { return KIND_GROUP; }
};

class WrapInGroup : public ParagraphTree {
protected:
    void SetUp() override {
        ParagraphTree::SetUp();
        saved = ParagraphElement::makeExecutionGroup;
        ParagraphElement::makeExecutionGroup = [](Element* first) -> Element* {
            auto* g = new Group;
            g->insertChild(first, nullptr, kInsertAfter);
            return g;
        };
    }
    void TearDown() override {
        ParagraphElement::makeExecutionGroup = saved;
        ParagraphTree::TearDown();
    }
    Element* (*saved)(Element*) = nullptr;
};

TEST_F(WrapInGroup, TheGroupStandsWhereTheParagraphStood) {
    ParagraphElement* first = abc();
    ParagraphElement* p = abc();
    ParagraphElement* last = abc();
    layoutAt(300);
    Element* group = p->wrapInGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(root->childAt(0), first);
    EXPECT_EQ(root->childAt(1), group);
    EXPECT_EQ(root->childAt(2), last);
    EXPECT_EQ(p->parent(), group);
    EXPECT_EQ(textsOf(p), "a|b|c");
}

TEST_F(WrapInGroup, ASectionHeadingLeavesANewHeadingBehind) {
    auto* section = new SectionElement();
    root->insertChild(section, nullptr, kInsertAfter);
    auto* heading = new ParagraphElement(plainStyle, nullptr);
    heading->insertChild(new TextElement(-1, "Title"), nullptr, kInsertAfter);
    section->insertChild(heading, nullptr, kInsertAfter);
    layoutAt(300);
    Element* group = heading->wrapInGroup();
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(section->childCount(), 2);
    EXPECT_EQ(section->childAt(0)->elementKind(), KIND_PARAGRAPH);
    EXPECT_NE(section->childAt(0), heading);
    EXPECT_EQ(section->childAt(1), group);
}

TEST_F(WrapInGroup, WithoutAGroupMakerNothingChanges) {
    ParagraphElement* p = abc();
    ParagraphElement::makeExecutionGroup = nullptr;
    EXPECT_EQ(p->wrapInGroup(), nullptr);
    EXPECT_EQ(p->parent(), root);
}

}  // namespace
