// IndexedList and PositionPath.
#include "document/edit/IndexedList.h"
#include "document/tree/PositionPath.h"

#include <gtest/gtest.h>

#include "UndoFakes.h"

using namespace undofakes;

namespace {

struct Node : IndexedListNode {
    explicit Node(int v, int* deaths = nullptr) : value(v), deaths_(deaths) {}
    ~Node() override {
        if (deaths_) ++*deaths_;
    }
    int value;
    int* deaths_;
};

std::vector<int> values(IndexedList& list) {
    std::vector<int> out;
    for (int i = 0; i < list.count(); ++i) out.push_back(static_cast<Node*>(list.nodeAt(i))->value);
    return out;
}

TEST(IndexedList, InsertAtPlaces) {
    struct Row {
        const char* name;
        int index;
        std::vector<int> expected;
    } rows[] = {
        {"front", 0, {9, 1, 2, 3}},
        {"middle", 1, {1, 9, 2, 3}},
        {"before last", 2, {1, 2, 9, 3}},
        {"append by count", 3, {1, 2, 3, 9}},
        {"append by -1", -1, {1, 2, 3, 9}},
    };
    for (const auto& r : rows) {
        IndexedList list;
        for (int v : {1, 2, 3}) list.append(new Node(v));
        list.insertAt(new Node(9), r.index);
        EXPECT_EQ(values(list), r.expected) << r.name;
        EXPECT_EQ(static_cast<Node*>(list.tail())->value, r.expected.back()) << r.name;
    }
}

TEST(IndexedList, RemoveAtTakesNodeOutUndeleted) {
    struct Row {
        const char* name;
        int index;
        int removed;
        std::vector<int> expected;
    } rows[] = {
        {"first", 0, 1, {2, 3}},
        {"middle", 1, 2, {1, 3}},
        {"last", 2, 3, {1, 2}},
        {"last by -1", -1, 3, {1, 2}},
    };
    for (const auto& r : rows) {
        IndexedList list;
        for (int v : {1, 2, 3}) list.append(new Node(v));
        std::unique_ptr<Node> n(static_cast<Node*>(list.removeAt(r.index)));
        ASSERT_NE(n, nullptr) << r.name;
        EXPECT_EQ(n->value, r.removed) << r.name;
        EXPECT_EQ(n->next, nullptr) << r.name;
        EXPECT_EQ(values(list), r.expected) << r.name;
        // The tail stays right: appending lands at the end.
        list.append(new Node(7));
        EXPECT_EQ(values(list).back(), 7) << r.name;
    }
    IndexedList one;
    one.append(new Node(1));
    delete one.removeAt(-1);
    EXPECT_EQ(one.count(), 0);
    EXPECT_EQ(one.head(), nullptr);
    EXPECT_EQ(one.tail(), nullptr);
    EXPECT_EQ(one.removeAt(0), nullptr);   // empty: nothing to take
}

TEST(IndexedList, CacheServesForwardWalkAndResets) {
    IndexedList list;
    for (int v : {1, 2, 3}) list.append(new Node(v));
    EXPECT_EQ(static_cast<Node*>(list.nodeAt(1))->value, 2);
    EXPECT_EQ(list.cachedIndex(), 1);
    EXPECT_EQ(static_cast<Node*>(list.nodeAt(2))->value, 3);
    EXPECT_EQ(list.nodeAt(5), nullptr);
    EXPECT_EQ(list.cachedIndex(), 5);
    EXPECT_EQ(list.cachedNode(), nullptr);
    EXPECT_EQ(list.nodeAt(6), nullptr);   // walks again from the head
    EXPECT_EQ(static_cast<Node*>(list.nodeAt(-1))->value, 3);
    list.insertAt(new Node(0), 0);
    EXPECT_EQ(list.cachedIndex(), -1);
    EXPECT_EQ(static_cast<Node*>(list.nodeAt(0))->value, 0);
}

TEST(IndexedList, DeleteAllDeletesEveryNode) {
    int deaths = 0;
    {
        IndexedList list;
        for (int v = 0; v < 5; ++v) list.append(new Node(v, &deaths));
        list.deleteAll();
        EXPECT_EQ(deaths, 5);
        EXPECT_EQ(list.count(), 0);
        list.append(new Node(9, &deaths));
    }
    EXPECT_EQ(deaths, 6);
}

struct PathDoc {
    PathDoc() {
        root = new USection;
        doc.setRoot(root);
        for (int i = 0; i < 3; ++i) {
            auto* g = new UGroup;
            root->insertChild(g, nullptr, kInsertAfter);
            for (int k = 0; k < 2; ++k) g->insertChild(new UPara, nullptr, kInsertAfter);
        }
    }
    Document doc;
    USection* root;
};

TEST(PositionPathTest, PathsLeadBack) {
    PathDoc d;
    Element* g2 = d.root->childAt(2);
    Element* p21 = g2->childAt(1);
    PositionPath top(g2);
    EXPECT_EQ(top.count(), 1);
    EXPECT_EQ(top.element(), g2);
    PositionPath deep(p21);
    EXPECT_EQ(deep.count(), 2);
    EXPECT_EQ(deep.indexAt(0), 1);
    EXPECT_EQ(deep.indexAt(1), 2);
    EXPECT_EQ(deep.capacity(), 32);
    EXPECT_EQ(deep.element(), p21);
    PositionPath atRoot(d.root);
    EXPECT_EQ(atRoot.count(), 0);
    EXPECT_EQ(atRoot.element(), d.root);
    PositionPath none(nullptr);
    EXPECT_TRUE(none.noElement());
    EXPECT_EQ(none.element(), nullptr);
    // Reassigned: only the second element's indexes.
    deep.assign(d.root->childAt(0));
    EXPECT_EQ(deep.count(), 1);
    EXPECT_EQ(deep.element(), d.root->childAt(0));
}

TEST(PositionPathTest, GoneAndDetachedLeadNowhere) {
    PathDoc d;
    PositionPath deep(d.root->childAt(2)->childAt(1));
    d.root->childAt(2)->removeChild(d.root->childAt(2)->childAt(1));
    EXPECT_EQ(deep.element(), nullptr);   // the middle step still exists, the last does not
    PositionPath group(d.root->childAt(2));
    d.root->removeChild(d.root->childAt(2));
    EXPECT_EQ(group.element(), nullptr);
    // An element of a detached subtree has no path in the document.
    auto* loose = new UGroup;
    loose->insertChild(new UPara, nullptr, kInsertAfter);
    PositionPath detached(loose->childAt(0));
    EXPECT_TRUE(detached.noElement());
    EXPECT_EQ(detached.element(), nullptr);
    delete loose;
}

}  // namespace
