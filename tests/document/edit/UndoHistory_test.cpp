// Undo history: groups, limits, merging, nesting, menu texts, records reaching their elements
// by path, the style record, linked groups, and a random edit property test.
#include "document/edit/UndoHistory.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "UndoFakes.h"
#include "document/styles/StyleSet.h"

using namespace undofakes;

namespace {

// root [ g0 [ p0 [ "a" ] ], g1 [ p1 [ "b" ] ] ]
struct UndoDoc {
    UndoDoc() {
        installTextHook();
        doc = new Document;
        root = new USection;
        doc->setRoot(root);
        for (int i = 0; i < 2; ++i) {
            auto* g = new UGroup;
            auto* p = new UPara;
            p->insertChild(new UText(std::string(1, char('a' + i))), nullptr, kInsertAfter);
            g->insertChild(p, nullptr, kInsertAfter);
            root->insertChild(g, nullptr, kInsertAfter);
        }
    }
    ~UndoDoc() { delete doc; }
    UndoHistory& h() { return *doc->undoHistory(); }
    UText* text(int group) {
        Element* g = root->childAt(group);
        return g ? dynamic_cast<UText*>(g->childAt(0)->childAt(0)) : nullptr;
    }
    // One edit in its own group.
    void edit(const char* menu, bool mergeable, const std::function<void()>& change) {
        h().beginGroup(menu, nullptr, mergeable);
        change();
        h().endUndoGroup(nullptr);
    }
    void appendText(int group, int n) {
        edit("Insert", false, [&] {
            for (int i = 0; i < n; ++i) root->childAt(group)->childAt(0)->insertChild(new UText("x"), nullptr, kInsertAfter);
        });
    }
    Document* doc;
    USection* root;
};

struct LimitCase {
    const char* name;
    int limit;
    int edits;
    int expectedUndos;
};

TEST(UndoLimits, UndoCountFollowsLimit) {
    const LimitCase cases[] = {
        {"limit 0 keeps nothing", 0, 3, 0},
        {"limit 15 after 16 edits", 15, 16, 15},
        {"limit 15 after 3 edits", 15, 3, 3},
        {"no limit", -1, 40, 40},
        {"limit 1", 1, 5, 1},
    };
    for (const auto& c : cases) {
        UndoDoc d;
        d.h().setLimit(c.limit);
        for (int i = 0; i < c.edits; ++i) d.appendText(0, 1);
        int undos = 0;
        while (d.h().canUndo() && undos < 1000) {
            d.h().undo(nullptr);
            ++undos;
        }
        EXPECT_EQ(undos, c.expectedUndos) << c.name;
        // Every kept edit is reverted: the paragraph lost exactly that many runs.
        EXPECT_EQ(d.root->childAt(0)->childAt(0)->childCount(), 1 + c.edits - c.expectedUndos) << c.name;
        if (c.limit >= 0) {
            EXPECT_LE(d.h().groupCount(), c.limit) << c.name;
        }
    }
}

TEST(UndoLimits, SetLimitDropsOldestAndMovesCursor) {
    UndoDoc d;
    for (int i = 0; i < 5; ++i) d.appendText(0, 1);
    d.h().undo(nullptr);   // cursor 3
    d.h().setLimit(2);
    EXPECT_EQ(d.h().groupCount(), 2);
    EXPECT_EQ(d.h().cursor(), 0);
    EXPECT_TRUE(d.h().canRedo());
}

TEST(UndoGroups, NewEditAfterUndoDiscardsRedo) {
    UndoDoc d;
    d.appendText(0, 1);
    d.appendText(0, 1);
    d.h().undo(nullptr);
    ASSERT_TRUE(d.h().canRedo());
    d.appendText(1, 1);
    EXPECT_FALSE(d.h().canRedo());
    EXPECT_EQ(d.h().groupCount(), 2);
}

TEST(UndoGroups, EmptyEditLeavesNoGroupAndKeepsRedo) {
    UndoDoc d;
    d.appendText(0, 1);
    d.h().undo(nullptr);
    d.edit("Nothing", false, [] {});
    EXPECT_EQ(d.h().groupCount(), 1);
    EXPECT_TRUE(d.h().canRedo());
    EXPECT_FALSE(d.h().canUndo());
}

TEST(UndoGroups, TypingInOneElementMergesAndAnotherStartsNewGroup) {
    UndoDoc d;
    std::string before = treeText(d.root);
    d.edit("Typing", true, [&] { d.text(0)->setTextRecorded("a1"); });
    d.edit("Typing", true, [&] { d.text(0)->setTextRecorded("a12"); });
    d.edit("Typing", true, [&] { d.text(0)->setTextRecorded("a123"); });
    EXPECT_EQ(d.h().groupCount(), 1);
    d.edit("Typing", true, [&] { d.text(1)->setTextRecorded("b1"); });
    EXPECT_EQ(d.h().groupCount(), 2);
    std::string after = treeText(d.root);
    d.h().undo(nullptr);
    EXPECT_EQ(d.text(1)->text, "b");
    EXPECT_EQ(d.text(0)->text, "a123");
    d.h().undo(nullptr);
    EXPECT_EQ(treeText(d.root), before);
    d.h().redo(nullptr);
    d.h().redo(nullptr);
    EXPECT_EQ(treeText(d.root), after);
}

TEST(UndoGroups, TypingNotMergedWhenNotMergeableOrNotConsecutive) {
    UndoDoc d;
    d.edit("Typing", false, [&] { d.text(0)->setTextRecorded("a1"); });
    d.edit("Typing", false, [&] { d.text(0)->setTextRecorded("a12"); });
    EXPECT_EQ(d.h().groupCount(), 2);
    // The text changed between the two groups without recording: not consecutive typing.
    d.edit("Typing", true, [&] { d.text(0)->setTextRecorded("a123"); });
    d.text(0)->text = "zz";
    d.edit("Typing", true, [&] { d.text(0)->setTextRecorded("zz4"); });
    EXPECT_EQ(d.h().groupCount(), 4);
}

TEST(UndoGroups, NestedGroupsMakeOneWithOutermostText) {
    UndoDoc d;
    d.h().beginGroup("Paste", nullptr, false);
    d.appendText(0, 1);   // an inner action with its own begin and end
    d.h().beginGroup("Inner", nullptr, false);
    d.root->childAt(1)->childAt(0)->insertChild(new UText("y"), nullptr, kInsertAfter);
    d.h().endUndoGroup(nullptr);
    EXPECT_EQ(d.h().groupCount(), 0);
    d.h().endUndoGroup(nullptr);
    EXPECT_EQ(d.h().groupCount(), 1);
    KString text;
    EXPECT_TRUE(d.h().undoMenuText(text));
    EXPECT_STREQ(text.text(), "Paste");
    d.h().undo(nullptr);
    EXPECT_EQ(d.root->childAt(0)->childAt(0)->childCount(), 1);
    EXPECT_EQ(d.root->childAt(1)->childAt(0)->childCount(), 1);
}

TEST(UndoGroups, MenuTexts) {
    UndoDoc d;
    KString text("stale");
    EXPECT_FALSE(d.h().undoMenuText(text));
    EXPECT_STREQ(text.text(), "");
    text.assign("stale");
    EXPECT_FALSE(d.h().redoMenuText(text));
    EXPECT_STREQ(text.text(), "");
    EXPECT_FALSE(d.h().canUndo());
    EXPECT_FALSE(d.h().canRedo());
    d.edit("Delete Paragraph", false, [&] { d.root->childAt(1)->removeChild(d.root->childAt(1)->childAt(0)); });
    EXPECT_TRUE(d.h().undoMenuText(text));
    EXPECT_STREQ(text.text(), "Delete Paragraph");
    EXPECT_FALSE(d.h().redoMenuText(text));
    d.h().undo(nullptr);
    EXPECT_FALSE(d.h().undoMenuText(text));
    EXPECT_TRUE(d.h().redoMenuText(text));
    EXPECT_STREQ(text.text(), "Delete Paragraph");
}

TEST(UndoFaults, UnmatchedEndIgnored) {
    UndoDoc d;
    d.h().endUndoGroup(nullptr);
    d.h().endUndoGroup(nullptr);
    EXPECT_EQ(d.h().nesting(), 0);
    EXPECT_EQ(d.h().currentGroup(), nullptr);
    d.appendText(0, 1);   // a normal edit still records
    EXPECT_TRUE(d.h().canUndo());
}

TEST(UndoFaults, ClearWhileRecordingLeavesNoGroup) {
    UndoDoc d;
    d.appendText(0, 1);
    d.h().beginGroup("Edit", nullptr, false);
    d.root->childAt(0)->childAt(0)->insertChild(new UText("q"), nullptr, kInsertAfter);
    d.h().clear();
    EXPECT_EQ(d.h().currentGroup(), nullptr);
    EXPECT_FALSE(d.doc->hasOpenUndoGroup());
    // The rest of the interrupted edit records nothing, and its end is ignored.
    d.root->childAt(0)->childAt(0)->insertChild(new UText("r"), nullptr, kInsertAfter);
    d.h().endUndoGroup(nullptr);
    EXPECT_EQ(d.h().groupCount(), 0);
    EXPECT_FALSE(d.h().canUndo());
}

TEST(UndoFaults, RecordWhosePathLeadsNowhereAppliesNothing) {
    UndoDoc d;
    Element* para = d.root->childAt(1)->childAt(0);
    InsertRecord ins(d.doc);
    ins.addElement(para->childAt(0), 0);
    DeleteRecord del(d.doc);
    del.addElement(para->childAt(0), 0);
    ModifyRecord mod(d.doc);
    mod.addElement(para->childAt(0), 0);
    // The whole second group goes, without recording: every path now leads nowhere.
    {
        RecordingSuspension off;
        d.root->removeChild(d.root->childAt(1));
    }
    std::string before = treeText(d.root);
    EXPECT_FALSE(ins.apply());
    EXPECT_FALSE(del.apply());
    EXPECT_FALSE(mod.apply());
    EXPECT_EQ(treeText(d.root), before);
    // Records made for nothing.
    InsertRecord empty(d.doc);
    EXPECT_FALSE(empty.apply());
    ModifyRecord emptyMod(d.doc);
    EXPECT_FALSE(emptyMod.apply());
}

TEST(UndoFaults, RepeatedUndoRedoOfOneModifyNeverReachesDestroyedElement) {
    UndoDoc d;
    d.edit("Typing", false, [&] { d.text(0)->setTextRecorded("changed"); });
    for (int i = 0; i < 5; ++i) {
        d.h().undo(nullptr);
        EXPECT_EQ(d.text(0)->text, "a");
        d.h().redo(nullptr);
        EXPECT_EQ(d.text(0)->text, "changed");
    }
}

TEST(UndoRecords, DescribeAndKinds) {
    UndoDoc d;
    struct Row {
        const char* name;
        EditRecord* record;
        int kind;
        const char* text;
    };
    Element* run = d.text(0);
    auto* del = new DeleteRecord(d.doc);
    del->addElement(run, 0);
    Row rows[] = {
        {"delete with element", del, 0, "Del 5"},
        {"insert", new InsertRecord(d.doc), 1, "Ins"},
        {"modify", new ModifyRecord(d.doc), 2, "Mod"},
        {"style", new StyleEditRecord(d.doc), 4, "Style"},
    };
    for (auto& r : rows) {
        KString text;
        r.record->describe(text);
        EXPECT_EQ(r.record->recordKind(), r.kind) << r.name;
        EXPECT_STREQ(text.text(), r.text) << r.name;
        delete r.record;
    }
}

TEST(UndoRecords, BracketOutsideGroupRecordsNothing) {
    UndoDoc d;
    EditBracket none(static_cast<Document*>(nullptr));
    EXPECT_FALSE(none.isRecording());
    EditBracket b(d.doc);
    EXPECT_FALSE(b.isRecording());
    d.h().beginGroup("Edit", nullptr, false);
    EXPECT_TRUE(b.isRecording());
    {
        RecordingSuspension off;
        EXPECT_FALSE(b.isRecording());
    }
    d.h().endUndoGroup(nullptr);
}

std::string styleTable(Document& doc) {
    KWorksheetWriter w;
    doc.styleSet()->writeStyleTable(w, false, true);
    return w.getBuffer();
}

TEST(UndoRecords, StyleEditRestoresBothTablesByteForByte) {
    UndoDoc d;
    d.doc->styleSet()->buildDefaultStyles();
    std::string before = styleTable(*d.doc);
    d.h().beginGroup("Style", nullptr, false);
    EditBracket b(d.doc);
    ASSERT_TRUE(b.isRecording());
    b.open();
    b.setUndoRecord(new StyleEditRecord(d.doc));
    b.captureUndoState();
    auto para = std::make_unique<ParaStyle>();
    para->setName("Mine");
    ASSERT_GE(d.doc->styleSet()->addParaStyleByName(std::move(para)), StyleSet::FIRST_USER_INDEX);
    auto chr = std::make_unique<CharStyle>();
    chr->setName("MyChar");
    ASSERT_GE(d.doc->styleSet()->addCharStyleByName(std::move(chr)), StyleSet::FIRST_USER_INDEX);
    b.setRedoRecord(new StyleEditRecord(d.doc));
    b.captureRedoState();
    d.h().endUndoGroup(nullptr);
    std::string after = styleTable(*d.doc);
    ASSERT_NE(before, after);
    for (int i = 0; i < 2; ++i) {
        d.h().undo(nullptr);
        EXPECT_EQ(styleTable(*d.doc), before);
        EXPECT_EQ(d.doc->styleSet()->owner(), d.doc);
        d.h().redo(nullptr);
        EXPECT_EQ(styleTable(*d.doc), after);
    }
    StyleEditRecord empty(d.doc);
    EXPECT_FALSE(empty.apply());
}

// ---- linked groups ---------------------------------------------------------------------------

class LinkWindow : public ElementWindow {
public:
    DocumentView* view() override { return nullptr; }
    TextCursor* createCursor() override { return nullptr; }
    bool isRectVisible(const ElementRect&) override { return true; }
    void scrollIntoView(const ElementRect&) override {}
    void invert(const ElementRect&) override {}
    void update() override { ++updates; }
    int updates = 0;
};

class LinkView : public DocumentView {
public:
    explicit LinkView(Document* doc = nullptr) : DocumentView(doc) { setViewSize(600, 400); }
    ~LinkView() override { leaveDocument(); }
    void drawText(const ElementPoint&, const char*, int, bool) override {}
    ElementWindow* worksheetWindow() override { return &window; }
    LinkWindow window;
};

TEST(UndoLinked, UndoAndRedoRunBothHalves) {
    LinkView va, vb;
    UndoDoc a, b;
    a.h().beginGroup("Move", nullptr, false);
    b.h().beginGroup("Move", nullptr, false);
    a.h().linkGroups(&va.window, &vb.window, &b.h());
    a.appendText(0, 1);
    b.appendText(1, 2);
    a.h().endUndoGroup(nullptr);
    b.h().endUndoGroup(nullptr);
    a.h().undo(nullptr);
    EXPECT_EQ(a.root->childAt(0)->childAt(0)->childCount(), 1);
    EXPECT_EQ(b.root->childAt(1)->childAt(0)->childCount(), 1);
    EXPECT_FALSE(b.h().canUndo());
    EXPECT_EQ(vb.window.updates, 1);
    a.h().redo(nullptr);
    EXPECT_EQ(b.root->childAt(1)->childAt(0)->childCount(), 3);
    EXPECT_FALSE(UndoHistory::linkedUndoRunning);
    EXPECT_FALSE(UndoHistory::linkedRedoRunning);
}

TEST(UndoLinked, ClosingTheOtherWindowUnlinks) {
    UndoDoc a;
    auto* other = new UndoDoc;   // its document goes with its last view
    LinkView va;
    auto* vb = new LinkView(other->doc);
    a.h().beginGroup("Move", nullptr, false);
    other->h().beginGroup("Move", nullptr, false);
    a.h().linkGroups(&va.window, &vb->window, &other->h());
    a.appendText(0, 1);
    other->appendText(0, 1);
    a.h().endUndoGroup(nullptr);
    other->h().endUndoGroup(nullptr);
    ASSERT_NE(a.h().groupAt(0)->linkedGroup, nullptr);
    delete vb;   // the last view: the document deletes itself
    other->doc = nullptr;
    delete other;
    EXPECT_EQ(a.h().groupAt(0)->linkedGroup, nullptr);
    EXPECT_EQ(a.h().groupAt(0)->linkedWindow, nullptr);
    a.h().undo(nullptr);   // no crash; this document's own half is reverted
    EXPECT_EQ(a.root->childAt(0)->childAt(0)->childCount(), 1);
}

TEST(UndoLinked, ClosingAWindowOfALiveDocumentUnlinks) {
    LinkView va;
    UndoDoc a, b;
    LinkView vb(b.doc);
    auto* vb2 = new LinkView(b.doc);   // b's last view: deleting it deletes b's document
    a.h().beginGroup("Move", nullptr, false);
    b.h().beginGroup("Move", nullptr, false);
    a.h().linkGroups(&va.window, &vb.window, &b.h());
    a.appendText(0, 1);
    b.appendText(0, 1);
    a.h().endUndoGroup(nullptr);
    b.h().endUndoGroup(nullptr);
    EXPECT_TRUE(b.doc->removeView(&vb));
    EXPECT_EQ(a.h().groupAt(0)->linkedGroup, nullptr);
    EXPECT_EQ(b.h().groupAt(0)->linkedGroup, nullptr);
    a.h().undo(nullptr);
    EXPECT_TRUE(b.h().canUndo());   // b's half stays for b's own undo
    b.h().undo(nullptr);
    EXPECT_EQ(b.root->childAt(0)->childAt(0)->childCount(), 1);
    delete vb2;
    b.doc = nullptr;
}

// ---- random edits ------------------------------------------------------------------------------

class RandomEdits {
public:
    explicit RandomEdits(unsigned seed) : rng(seed) {}

    // A random tree of sections, groups, paragraphs and runs.
    void build(Element* root, int depth = 0) {
        int n = 1 + pick(3);
        for (int i = 0; i < n; ++i) {
            Element* child;
            int what = depth >= 2 ? 2 : pick(3);
            if (what == 0) child = new USection;
            else if (what == 1) child = new UGroup;
            else child = new UPara(pick(2) ? "bm" + std::to_string(counter++) : "");
            root->insertChild(child, nullptr, kInsertAfter);
            if (what == 2) {
                for (int k = 0, m = 1 + pick(3); k < m; ++k) child->insertChild(newRun(), nullptr, kInsertAfter);
            } else {
                build(child, depth + 1);
            }
        }
    }

    // Every element below the root, in pre-order.
    void collect(Element* e, std::vector<Element*>& out) {
        for (int i = 0, n = e->childCount(); i < n; ++i) {
            out.push_back(e->childAt(i));
            collect(e->childAt(i), out);
        }
    }

    // One random edit; its description.
    std::string edit(Element* root) {
        std::vector<Element*> all;
        collect(root, all);
        std::vector<Element*> composites{root};
        std::vector<UText*> runs;
        for (Element* e : all) {
            if (auto* t = dynamic_cast<UText*>(e)) runs.push_back(t);
            else composites.push_back(e);
        }
        switch (pick(7)) {
        case 0: {   // insert
            Element* p = composites[pick(int(composites.size()))];
            int at = pick(p->childCount() + 1);
            Element* fresh = pick(2) ? static_cast<Element*>(newRun()) : new UPara;
            if (auto* para = dynamic_cast<UPara*>(fresh)) para->insertChild(newRun(), nullptr, kInsertAfter);
            p->insertChild(fresh, p->childAt(at), kInsertBefore);
            return "insert";
        }
        case 1:     // delete (an emptied parent removes itself)
            if (!all.empty()) {
                Element* e = all[pick(int(all.size()))];
                e->parent()->removeChild(e);
            }
            return "delete";
        case 2:     // modify
            if (!runs.empty()) runs[pick(int(runs.size()))]->setTextRecorded("m" + std::to_string(counter++));
            return "modify";
        case 3:     // replace
            if (!all.empty()) {
                Element* e = all[pick(int(all.size()))];
                if (e->parent()->replaceChild(e, newRun())) destroyElement(e);
            }
            return "replace";
        case 4: {   // join with the next sibling of the same kind
            for (Element* e : composites) {
                Element* p = e->parent();
                Element* next = p ? p->nextChild(e) : nullptr;
                if (next && next->elementKind() == e->elementKind()) {
                    e->joinWithSibling(2);
                    break;
                }
            }
            return "join";
        }
        case 5: {   // split a composite
            Element* p = composites[pick(int(composites.size()))];
            if (p->parent() && p->childCount() >= 2) p->splitAtIndex(1 + pick(p->childCount() - 1));
            return "split";
        }
        default: {  // empty a group or paragraph child by child: it removes itself
            for (Element* e : composites) {
                if (e != root && e->childCount() > 0 && e->mark == 0 && pick(2)) {
                    while (e->childCount() > 1) e->removeChild(e->childAt(0));
                    e->removeChild(e->childAt(0));   // the last child: e goes too
                    break;
                }
            }
            return "empty";
        }
        }
    }

    // Some element of the tree, the root included.
    Element* anyElement(Element* root) {
        std::vector<Element*> all{root};
        collect(root, all);
        return all[pick(int(all.size()))];
    }

private:
    int pick(int n) { return n <= 0 ? 0 : int(rng() % unsigned(n)); }
    UText* newRun() { return new UText("t" + std::to_string(counter++)); }
    std::mt19937 rng;
    int counter = 0;
};

// The child indexes from the root down to the caret's element; {-1} without an element.
std::vector<int> caretPlace(ElementPosition& caret) {
    Element* e = caret.element();
    if (!e) return {-1};
    std::vector<int> path;
    for (; e->parent(); e = e->parent()) path.insert(path.begin(), e->parent()->indexOfChild(e));
    path.push_back(caret.offset());
    return path;
}

TEST(UndoProperty, RandomEditsUndoneAndRedoneMatchRecordedTextsAndCarets) {
    for (unsigned seed = 1; seed <= 25; ++seed) {
        Document doc;
        auto* root = new USection;
        doc.setRoot(root);
        RandomEdits random(seed);
        {
            RecordingSuspension off;
            random.build(root);
        }
        UndoHistory& h = *doc.undoHistory();
        h.setLimit(-1);
        ElementPosition caret(&doc);
        std::vector<std::string> texts{treeText(root)};
        std::vector<std::string> script;
        // Where the caret stood before and after each kept edit.
        std::vector<std::vector<int>> before, after;
        for (int step = 0; step < 30; ++step) {
            caret.setPosition(random.anyElement(root), 0);
            std::vector<int> placeBefore = caretPlace(caret);
            h.beginGroup("Edit", &caret, false);
            std::string what = random.edit(root);
            caret.setPosition(random.anyElement(root), 0);
            std::vector<int> placeAfter = caretPlace(caret);
            h.endUndoGroup(&caret);
            std::string now = treeText(root);
            if (h.cursor() + 2 == int(texts.size())) {
                // No group kept: nothing may have changed.
                ASSERT_EQ(now, texts.back()) << "seed " << seed << " step " << step << " " << what;
                continue;
            }
            ASSERT_EQ(h.cursor() + 1, int(texts.size()) ) << "seed " << seed;
            texts.push_back(now);
            script.push_back(what);
            before.push_back(placeBefore);
            after.push_back(placeAfter);
        }
        int n = int(texts.size()) - 1;
        EXPECT_GE(n, 5) << "seed " << seed << ": the script should change the tree";
        for (int round = 0; round < 3; ++round) {
            for (int k = n; k > 0; --k) {
                ASSERT_TRUE(h.canUndo());
                h.undo(&caret);
                ASSERT_EQ(treeText(root), texts[k - 1])
                    << "seed " << seed << " round " << round << " undo of step " << k << " (" << script[k - 1] << ")";
                ASSERT_EQ(caretPlace(caret), before[k - 1])
                    << "seed " << seed << " round " << round << " caret after undo of step " << k;
            }
            EXPECT_FALSE(h.canUndo());
            for (int k = 1; k <= n; ++k) {
                ASSERT_TRUE(h.canRedo());
                h.redo(&caret);
                ASSERT_EQ(treeText(root), texts[k])
                    << "seed " << seed << " round " << round << " redo of step " << k << " (" << script[k - 1] << ")";
                ASSERT_EQ(caretPlace(caret), after[k - 1])
                    << "seed " << seed << " round " << round << " caret after redo of step " << k;
            }
            EXPECT_FALSE(h.canRedo());
        }
    }
}

}  // namespace
