// Document base and bookmark index.
#include "document/edit/Document.h"

#include <gtest/gtest.h>

#include "UndoFakes.h"
#include "document/edit/BookmarkIndex.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"
#include "document/records/KExportWriter.h"
#include "tests/support/named_rows.h"

using namespace undofakes;

namespace {

// ---- bookmarks -------------------------------------------------------------------------------

struct BookmarkDoc {
    explicit BookmarkDoc(int paragraphs, const char* prefix = "bm") {
        root = new USection;
        doc.setRoot(root);
        auto* g = new UGroup;
        root->insertChild(g, nullptr, kInsertAfter);
        for (int i = 0; i < paragraphs; ++i) g->insertChild(new UPara(prefix + std::to_string(i)), nullptr, kInsertAfter);
    }
    Document doc;
    USection* root;
};

TEST(Bookmarks, FirstFourHundredNinetyFiveInDocumentOrder) {
    BookmarkDoc d(500);
    BookmarkIndex& b = *d.doc.bookmarks();
    EXPECT_FALSE(b.built());
    ASSERT_EQ(b.count(), 495);
    EXPECT_STREQ(b.name(0)->text(), "bm0");
    EXPECT_STREQ(b.name(494)->text(), "bm494");
    EXPECT_EQ(b.name(495), nullptr);
    EXPECT_EQ(b.name(-1), nullptr);
    EXPECT_EQ(b.element(495), nullptr);
    EXPECT_EQ(b.capacity(), 512);
    EXPECT_EQ(b.find("bm497"), nullptr);   // not listed
    EXPECT_EQ(b.find("bm7"), d.root->childAt(0)->childAt(7));
}

TEST(Bookmarks, GrowsInStepsOfThirtyTwo) {
    struct Row {
        int names;
        int capacity;
    } rows[] = {{1, 32}, {32, 32}, {33, 64}, {64, 64}, {65, 96}};
    for (const auto& r : rows) {
        BookmarkIndex b(nullptr);
        for (int i = 0; i < r.names; ++i) b.add("x");
        EXPECT_EQ(b.capacity(), r.capacity) << r.names;
    }
}

TEST(Bookmarks, DestroyingBookmarkedParagraphRebuilds) {
    BookmarkDoc d(3);
    BookmarkIndex& b = *d.doc.bookmarks();
    ASSERT_EQ(b.count(), 3);
    EXPECT_EQ(b.buildCount(), 1);
    EXPECT_EQ(b.count(), 3);
    EXPECT_EQ(b.buildCount(), 1);   // built once, then reused
    Element* g = d.root->childAt(0);
    g->removeChild(g->childAt(1));
    EXPECT_FALSE(b.built());
    ASSERT_EQ(b.count(), 2);
    EXPECT_STREQ(b.name(1)->text(), "bm2");
    EXPECT_EQ(b.buildCount(), 2);
}

TEST(Bookmarks, DuplicateNamesListedTwiceLaterWins) {
    BookmarkDoc d(0);
    Element* g = d.root->childAt(0);
    for (const char* name : {"same", "", "other", "same"}) g->insertChild(new UPara(name), nullptr, kInsertAfter);
    BookmarkIndex& b = *d.doc.bookmarks();
    ASSERT_EQ(b.count(), 3);
    EXPECT_STREQ(b.name(0)->text(), "same");
    EXPECT_STREQ(b.name(2)->text(), "same");
    EXPECT_EQ(b.find("same"), g->childAt(3));
    EXPECT_EQ(b.element(0), g->childAt(3));
    EXPECT_EQ(b.element(1), g->childAt(2));
    EXPECT_EQ(b.find("Same"), nullptr);   // case-sensitive
    EXPECT_EQ(b.find("sam"), nullptr);
}

// ---- views ------------------------------------------------------------------------------------

class TrackedDocument : public Document {
public:
    explicit TrackedDocument(bool* deleted) : deleted_(deleted) {}
    ~TrackedDocument() override { *deleted_ = true; }
    void positionAtPoint(TextPosition& position, int x, int y) override {
        lastX = x;
        lastY = y;
        Document::positionAtPoint(position, x, y);
    }
    int lastX = -1;
    int lastY = -1;

private:
    bool* deleted_;
};

class TestView : public DocumentView {
public:
    explicit TestView(Document* doc) : DocumentView(doc) {
        setViewSize(600, 400);
        setMargins(0, 0, 10, 10);
    }
    void setTitle(const char* t) override { title = t; }
    void drawText(const ElementPoint&, const char*, int, bool) override {}
    std::string title;
};

TEST(DocumentViews, RemovingLastViewDeletesDocument) {
    bool deleted = false;
    auto* doc = new TrackedDocument(&deleted);
    auto* a = new TestView(doc);
    auto* b = new TestView(doc);
    doc->addView(a);   // registered once, however often added
    EXPECT_EQ(doc->viewCount(), 2);
    doc->setDisplayTitle("Sheet [server]");
    EXPECT_EQ(a->title, "Sheet [server]");
    EXPECT_EQ(b->title, "Sheet [server]");
    delete a;
    EXPECT_FALSE(deleted);
    EXPECT_EQ(doc->viewCount(), 1);
    delete b;
    EXPECT_TRUE(deleted);
}

TEST(DocumentViews, ViewsOutliveADeletedDocument) {
    auto* doc = new Document;
    TestView view(doc);
    delete doc;
    EXPECT_EQ(view.document(), nullptr);
}

TEST(DocumentLayout, HoldsNestAndUnmatchedReleaseIgnored) {
    Document doc;
    doc.setRoot(new USection);
    doc.holdLayout(false);
    doc.holdLayout(false);
    doc.holdLayout(true);
    EXPECT_EQ(doc.relayoutCount(), 0);
    doc.holdLayout(true);
    EXPECT_EQ(doc.relayoutCount(), 1);
    doc.holdLayout(true);   // unmatched
    EXPECT_EQ(doc.layoutHold(), 0);
    EXPECT_EQ(doc.relayoutCount(), 1);
    doc.holdLayout(false);
    EXPECT_TRUE(doc.layoutHeld());
    doc.holdLayout(true);
    EXPECT_FALSE(doc.layoutHeld());
    EXPECT_EQ(doc.relayoutCount(), 2);
}

TEST(DocumentWalks, CountsZeroedWithoutRoot) {
    Document doc;
    ElementKindCounts kinds;
    kinds.fill(7);
    doc.countKinds(kinds, nullptr);
    for (int k : kinds) EXPECT_EQ(k, 0);
    CharacterCounts chars;
    chars.fill(7);
    doc.countCharacters(chars);
    for (int c : chars) EXPECT_EQ(c, 0);
    KExportWriter writer(nullptr, 70);
    EXPECT_FALSE(doc.exportText(writer));
    Element* first = reinterpret_cast<Element*>(1);
    doc.collectGroups(true, false, &first);
    EXPECT_EQ(first, nullptr);
    EXPECT_FALSE(doc.joinOfKind(KIND_GROUP));
}

TEST(DocumentWalks, CountKindsOverSubtreeAndMarkedPart) {
    BookmarkDoc d(3);
    auto* g2 = new UGroup;
    g2->insertChild(new UPara, nullptr, kInsertAfter);
    d.root->insertChild(g2, nullptr, kInsertAfter);
    ElementKindCounts kinds;
    d.doc.countKinds(kinds, d.root->childAt(0));
    EXPECT_EQ(kinds[KIND_GROUP], 1);
    EXPECT_EQ(kinds[KIND_PARAGRAPH], 3);
    // The marked part of the whole tree: root and g2 marked.
    d.root->mark = 2;
    g2->mark = 1;
    g2->childAt(0)->mark = 1;
    d.doc.countKinds(kinds, nullptr);
    EXPECT_EQ(kinds[KIND_SECTION], 1);
    EXPECT_EQ(kinds[KIND_GROUP], 1);
    EXPECT_EQ(kinds[KIND_PARAGRAPH], 1);
}

// ---- broadcasts -----------------------------------------------------------------------------

// A leaf that logs every notice it gets, with the data the walk carries for it (leaf walks
// visit only leaves).
class NoticedLeaf : public BlockElement {
public:
    explicit NoticedLeaf(std::string* log) : log_(log) {}
    Element* cloneElement() const override { return new NoticedLeaf(log_); }
    void locatePosition(TextPosition&) override {}
    void placeChildWindow(WalkControl&) override { *log_ += "place;"; }
    void viewScaleChanged(WalkControl& c) override {
        *log_ += "scale " + std::to_string(c.viewScale->oldScale) + " " + std::to_string(c.viewScale->newScale) +
                 " " + std::to_string(c.viewScale->zoomNumerator) + " " +
                 std::to_string(c.viewScale->zoomDenominator) + ";";
    }
    void showChildWindow(WalkControl& c) override { *log_ += c.showFlag ? "show 1;" : "show 0;"; }
    void repaintChildWindow(WalkControl&) override { *log_ += "repaint;"; }
    void updateInputSyntax(WalkControl&) override { *log_ += "syntax;"; }
    void documentShown(WalkControl&) override { *log_ += "shown;"; }
    void documentClosing(WalkControl&) override { *log_ += "closing;"; }
    void worksheetRenamed(WalkControl&) override { *log_ += "renamed;"; }

private:
    std::string* log_;
};

using kelvo_test::PrintTo;

struct BroadcastCase {
    const char* name;
    void (*send)(Document& doc);
    const char* expected;   // what the two leaves log, in document order
};

const BroadcastCase broadcastCases[] = {
    {"place", [](Document& d) { d.placeChildWindows(); }, "place;place;"},
    {"scale", [](Document& d) { d.broadcastViewScale(ViewScaleChange{2, 3, 4, 5}); }, "scale 2 3 4 5;scale 2 3 4 5;"},
    {"show", [](Document& d) { d.showChildWindows(true); }, "show 1;show 1;"},
    {"hide", [](Document& d) { d.showChildWindows(false); }, "show 0;show 0;"},
    {"repaint", [](Document& d) { d.repaintChildWindows(); }, "repaint;repaint;"},
    {"syntax", [](Document& d) { d.updateInputSyntax(); }, "syntax;syntax;"},
    {"shown", [](Document& d) { d.notifyShown(); }, "shown;shown;"},
    {"closing", [](Document& d) { d.notifyClosing(); }, "closing;closing;"},
    {"renamed", [](Document& d) { d.visitLeaves(); }, "renamed;renamed;"},
};

class DocumentBroadcast : public ::testing::TestWithParam<BroadcastCase> {};

TEST_P(DocumentBroadcast, ReachesItsOwnNoticeOnly) {
    const BroadcastCase& c = GetParam();
    std::string log;
    Document doc;
    auto* root = new USection;
    doc.setRoot(root);
    auto* group = new UGroup;
    root->insertChild(group, nullptr, kInsertAfter);
    auto* para = new UPara;
    group->insertChild(para, nullptr, kInsertAfter);
    para->insertChild(new NoticedLeaf(&log), nullptr, kInsertAfter);
    para->insertChild(new NoticedLeaf(&log), nullptr, kInsertAfter);
    c.send(doc);
    EXPECT_EQ(log, c.expected) << c.name;
    // Without a root nothing is sent and nothing breaks.
    Document empty;
    c.send(empty);
}

INSTANTIATE_TEST_SUITE_P(All, DocumentBroadcast, ::testing::ValuesIn(broadcastCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DocumentViews, SetActiveViewAnswersTheRootExtent) {
    auto* doc = new Document;   // deleted with its view
    doc->setRoot(new USection);
    TestView view(doc);
    ElementExtent extent{-1, -1};
    doc->setActiveView(&view, 600, &extent);
    EXPECT_EQ(doc->activeDocumentView(), &view);
    EXPECT_GE(extent.width, 0);
    EXPECT_GE(extent.height, 0);
}

// ---- caret movement --------------------------------------------------------------------------

// A run that sits on one line whose rectangle the test chooses.
class LinedText : public UText {
public:
    ParagraphLine* line = nullptr;
    ParagraphLine* lineAtPosition(TextPosition&) override { return line; }
};

TEST(DocumentCaret, MoveCaretTargets) {
    struct Row {
        const char* name;
        int code;
        ElementRect line;
        bool handled;
        int x, y;
    } rows[] = {
        // page = 400 - 10 - 10 = 380; 0.9 page = 342
        {"page down, line bottom below target", 7, {0, 100, 600, 500}, true, 30, 342 + 600 + 1},
        {"page down, short line", 7, {0, 100, 600, 20}, true, 30, 480},
        {"page up, target above line", 6, {0, 100, 600, 20}, true, 30, -280},
        {"line start", 8, {0, 100, 600, 20}, true, 0, 100},
        {"line end", 9, {0, 100, 600, 20}, true, 0x40000000, 100},
        {"document start", 10, {0, 100, 600, 20}, true, 0, 0},
        {"document end", 11, {0, 100, 600, 20}, true, 0x40000000, 0x40000000},
        {"unknown code", 12, {0, 100, 600, 20}, false, -1, -1},
    };
    for (const auto& r : rows) {
        bool deleted = false;
        auto* doc = new TrackedDocument(&deleted);
        auto* root = new USection;
        doc->setRoot(root);
        auto* para = new UPara;
        auto* run = new LinedText;
        para->insertChild(run, nullptr, kInsertAfter);
        root->insertChild(para, nullptr, kInsertAfter);
        auto* view = new TestView(doc);
        doc->setActiveView(view, 0, 0);
        ParagraphLine line(para);
        ElementPoint origin = para->absoluteOrigin();
        line.x = r.line.x - origin.x;
        line.y = r.line.y - origin.y;
        line.width = r.line.width;
        line.lineHeight = r.line.height;
        run->line = &line;
        TextPosition position(doc);
        position.setPosition(run, 0);
        position.rect = {30, 100, 1, 12};
        position.valid = true;
        EXPECT_EQ(doc->moveCaret(position, r.code), r.handled) << r.name;
        EXPECT_EQ(doc->lastX, r.x) << r.name;
        EXPECT_EQ(doc->lastY, r.y) << r.name;
        position.detach(false);
        delete view;
        EXPECT_TRUE(deleted);
    }
}

// ---- joins ---------------------------------------------------------------------------------------

TEST(DocumentJoin, JoinsMarkedRunsOfOneKind) {
    struct Row {
        const char* name;
        int kind;
        std::vector<int> kinds;    // the root's children: 1 section, 14 group
        std::vector<int> marked;   // their marks
        bool result;
        std::vector<int> childCounts;   // the root's children's child counts afterwards
    } rows[] = {
        {"three marked groups", KIND_GROUP, {14, 14, 14}, {1, 1, 1}, true, {3}},
        {"stops at an unmarked group", KIND_GROUP, {14, 14, 14}, {1, 1, 0}, true, {2, 1}},
        {"stops at another kind", KIND_GROUP, {14, 1, 14}, {1, 1, 1}, true, {1, 1, 1}},
        {"sections", KIND_SECTION, {14, 1, 1}, {1, 1, 1}, true, {1, 2}},
        {"nothing of the kind marked", KIND_SECTION, {14, 14}, {1, 1}, false, {1, 1}},
        {"other kinds refused", KIND_PARAGRAPH, {14, 14}, {1, 1}, false, {1, 1}},
    };
    for (const auto& r : rows) {
        Document doc;
        auto* root = new USection;
        doc.setRoot(root);
        for (std::size_t i = 0; i < r.kinds.size(); ++i) {
            Element* c = r.kinds[i] == KIND_GROUP ? static_cast<Element*>(new UGroup) : new USection;
            c->insertChild(new UPara, nullptr, kInsertAfter);
            c->mark = r.marked[i];
            c->childAt(0)->mark = r.marked[i];
            root->insertChild(c, nullptr, kInsertAfter);
        }
        root->mark = 2;
        EXPECT_EQ(doc.joinOfKind(r.kind), r.result) << r.name;
        std::vector<int> counts;
        for (int i = 0; i < root->childCount(); ++i) counts.push_back(root->childAt(i)->childCount());
        EXPECT_EQ(counts, r.childCounts) << r.name;
    }
}

}  // namespace
