// The editor part: the command walk over a subtree, the selection marks, and a part destroyed
// with its caret placed and its selection marked (run under AddressSanitizer).
#include "app/KEditorPart.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "tests/document/tree/ElementTreeFakes.h"

namespace {

using fakes::SmallTree;

// What one element's commandVisitor received.
struct Visit {
    std::string name;
    int code;
    std::string text;
    std::intptr_t argument;
    void* context;
    bool operator==(const Visit&) const = default;
};
std::vector<Visit> visits;

void recordVisit(const std::string& name, const WalkControl& c) {
    visits.push_back({name, c.code, c.text ? c.text : "", c.argument, c.context});
}

// A section and a leaf that record what their commandVisitor is handed.
class RecordingSection : public fakes::FakeSection {
public:
    using FakeSection::FakeSection;
    void commandVisitor(WalkControl& c) override {
        recordVisit(name, c);
        FakeSection::commandVisitor(c);
    }
};

class RecordingText : public fakes::FakeText {
public:
    using FakeText::FakeText;
    void commandVisitor(WalkControl& c) override {
        recordVisit(name, c);
        FakeText::commandVisitor(c);
    }
};

TEST(KEditorPart, WalkElementsHandsTheFourValuesToEachElementOnce) {
    fakes::FakeDocument doc;
    auto* root = new RecordingSection("root");
    doc.rootElement = root;
    root->setDocument(&doc);
    auto* inner = new RecordingSection("inner");
    root->insertChild(inner, nullptr, 2);
    auto* para = new fakes::FakeParagraph("p");
    inner->insertChild(para, nullptr, 2);
    for (const char* n : {"a", "b", "c"}) para->insertChild(new RecordingText(n, "xy"), nullptr, 2);
    auto* outside = new RecordingText("outside", "z");
    auto* para2 = new fakes::FakeParagraph("p2");
    root->insertChild(para2, nullptr, 2);
    para2->insertChild(outside, nullptr, 2);

    KEditorPart part(&doc, &doc.window);
    int context = 0;
    visits.clear();
    EXPECT_TRUE(part.walkElements(inner, 3, "Bold", 1252, &context));
    const std::vector<Visit> expected{{"inner", 3, "Bold", 1252, &context},
                                      {"a", 3, "Bold", 1252, &context},
                                      {"b", 3, "Bold", 1252, &context},
                                      {"c", 3, "Bold", 1252, &context}};
    EXPECT_EQ(visits, expected);
    // The elements' own command ran with the same values.
    EXPECT_EQ(static_cast<RecordingText*>(para->childAt(1))->commands, std::vector<int>{3});
    EXPECT_TRUE(outside->commands.empty());
    // Nothing to walk is still answered true.
    visits.clear();
    EXPECT_TRUE(part.walkElements(nullptr, 3, nullptr, 0, nullptr));
    EXPECT_TRUE(visits.empty());
    delete root;
}

TEST(KEditorPart, RequestsAnswerNothingHereAndEditableFollowsTheFlag) {
    SmallTree t;
    KEditorPart part(&t.doc, &t.doc.window);
    EXPECT_TRUE(part.isEditable());
    part.setEditable(false);
    EXPECT_FALSE(part.isEditable());
    EXPECT_FALSE(part.executeAction(71, nullptr, 0));
    ASSERT_NE(part.caret(), nullptr);
    ASSERT_NE(part.selection(), nullptr);
    EXPECT_EQ(part.caret()->window(), &t.doc.window);
}

TEST(KEditorPart, ClearSelectionMarksAndDestructionWithAMarkedSelection) {
    SmallTree t;
    t.layout();
    auto part = std::make_unique<KEditorPart>(&t.doc, &t.doc.window);
    ViewCaret& caret = *part->caret();
    caret.setPosition(t.t1, 1);
    part->selection()->setAnchor(caret);
    caret.setPosition(t.t3, 2);
    part->selection()->extendTo(caret);
    part->setMarkValue(2);
    ASSERT_NE(t.root->mark, 0);
    ASSERT_NE(t.t1->mark, 0);

    part->clearSelectionMarks();
    EXPECT_EQ(part->markValue(), 0);
    for (Element* e : std::initializer_list<Element*>{t.root, t.g1, t.p1, t.t1, t.t2, t.s2, t.t3})
        EXPECT_EQ(e->mark, 0) << fakes::nameOf(e);

    // Marked again and destroyed with the caret still in the tree: the caret and selection go
    // with the part, and the tree outlives them untouched.
    part->selection()->setAnchor(caret);
    caret.setPosition(t.t4, 1);
    part->selection()->extendTo(caret);
    part.reset();
    EXPECT_EQ(t.root->childCount(), 3);
}

}  // namespace
