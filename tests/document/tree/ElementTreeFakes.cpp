// Test doubles of the element tree tests (ElementTreeFakes.h).
#include "ElementTreeFakes.h"

namespace fakes {

std::vector<std::string> callLog;
std::vector<std::pair<std::string, int>> markLog;

std::string rectText(const ElementRect& r) {
    return std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) + " " +
           std::to_string(r.height);
}

std::string nameOf(const Element* e) {
    if (!e) return "null";
    if (auto* n = dynamic_cast<const Named*>(e)) return n->name;
    if (e->elementKind() == KIND_PLACEHOLDER) return "placeholder";
    return "?";
}

bool FakeSection::command(int code, const char*, std::intptr_t) {
    if (code == COMMAND_EXPAND) {
        setCollapsed(false);
        ++expandCount;
        return true;
    }
    if (code == COMMAND_DELETE_SELF) {
        removeFromParent();
        return true;
    }
    return false;
}

Element* FakeText::splitAt(ElementPosition& position) {
    int off = position.offset();
    if (off <= 0 || off >= int(text.size()) || !parent_) return nullptr;
    auto* second = new FakeText(name + "'", text.substr(off), isActiveInput());
    text.resize(off);
    if (!parent_->insertChild(second, this, kInsertAfter)) {
        delete second;
        return nullptr;
    }
    return second;
}

SmallTree::SmallTree() {
    root = new FakeSection("root");
    doc.rootElement = root;
    root->setDocument(&doc);
    doc.holdLayout();
    g1 = new FakeGroup("g1");
    s2 = new FakeSection("s2");
    g2 = new FakeGroup("g2");
    g3 = new FakeGroup("g3");
    p1 = new FakeParagraph("p1");
    p2 = new FakeParagraph("p2");
    p3 = new FakeParagraph("p3");
    p4 = new FakeParagraph("p4");
    t1 = new FakeText("t1", "hello");
    t2 = new FakeText("t2", "ab");
    i1 = new FakeText("i1", "x=1", true);
    t3 = new FakeText("t3", "abc");
    t4 = new FakeText("t4", "end");
    root->insertChild(g1, nullptr, kInsertAfter);
    root->insertChild(s2, nullptr, kInsertAfter);
    root->insertChild(g3, nullptr, kInsertAfter);
    g1->insertChild(p1, nullptr, kInsertAfter);
    g1->insertChild(p2, nullptr, kInsertAfter);
    s2->insertChild(g2, nullptr, kInsertAfter);
    g2->insertChild(p3, nullptr, kInsertAfter);
    g3->insertChild(p4, nullptr, kInsertAfter);
    p1->insertChild(t1, nullptr, kInsertAfter);
    p1->insertChild(t2, nullptr, kInsertAfter);
    p2->insertChild(i1, nullptr, kInsertAfter);
    p3->insertChild(t3, nullptr, kInsertAfter);
    p4->insertChild(t4, nullptr, kInsertAfter);
    doc.releaseLayout();
}

SmallTree::~SmallTree() {
    delete root;
    callLog.clear();
    markLog.clear();
}

void SmallTree::layout() {
    ElementExtent e;
    root->layout(e);
}

}  // namespace fakes
