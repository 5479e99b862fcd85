// Fuzz target of the "{MARK " record reader: arbitrary bytes read as records against a fixed
// tree (sections, groups, paragraphs, text and math runs).  A record that is accepted must put
// the position on an element of the tree with an offset that element accepts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "document/tree/ContainerElement.h"
#include "document/tree/ElementPosition.h"
#include "document/records/KWorksheetReader.h"

namespace {

class Section : public ContainerElement {
public:
    Element* cloneElement() const override { return new Section; }
    int elementKind() const override { return KIND_SECTION; }
};

class Group : public ContainerElement {
public:
    Element* cloneElement() const override { return new Group; }
    int elementKind() const override { return KIND_GROUP; }
};

class Paragraph : public CompositeElement {
public:
    Element* cloneElement() const override { return new Paragraph; }
    int elementKind() const override { return KIND_PARAGRAPH; }
};

class Run : public Element {
public:
    Run(int kind, int length) : kind_(kind), length_(length) {}
    Element* cloneElement() const override { return new Run(kind_, length_); }
    int elementKind() const override { return kind_; }
    bool isInline() const override { return true; }
    Element* parent() const override { return parent_; }
    void setParent(Element* p) override { parent_ = p; }
    int inputTextLength() const override { return length_; }
    void locatePosition(TextPosition&) override {}

private:
    Element* parent_ = nullptr;
    int kind_;
    int length_;
};

Element* buildTree() {
    auto* root = new Section;
    for (int g = 0; g < 4; ++g) {
        auto* group = new Group;
        root->insertChild(group, nullptr, kInsertAfter);
        for (int p = 0; p < 3; ++p) {
            auto* para = new Paragraph;
            group->insertChild(para, nullptr, kInsertAfter);
            para->insertChild(new Run(KIND_TEXT, 5 + p), nullptr, kInsertAfter);
            para->insertChild(new Run(KIND_MATH, 3), nullptr, kInsertAfter);
            para->insertChild(new Run(KIND_INPUT_TEXT, 0), nullptr, kInsertAfter);
        }
    }
    auto* nested = new Section;
    root->insertChild(nested, nullptr, kInsertAfter);
    nested->insertChild(new Group, nullptr, kInsertAfter);
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Element* root = buildTree();
    KWorksheetReader reader;
    reader.openMemory(reinterpret_cast<const char*>(data), size);
    ElementPosition position(static_cast<ElementDocument*>(nullptr));
    for (int records = 0; records < 8 && !reader.atEnd(); ++records) {
        if (!readMark(reader, position, root)) continue;
        Element* e = position.heldElement();
        if (!e || !root->contains(e)) std::abort();
        int kind = e->elementKind();
        int off = position.offset();
        int length = e->inputTextLength();
        if ((kind == KIND_TEXT || kind == KIND_INPUT_TEXT) && (off < 0 || off > length)) std::abort();
        if (kind == KIND_MATH && (off < -1 || off > length)) std::abort();
        if (kind != KIND_TEXT && kind != KIND_INPUT_TEXT && kind != KIND_MATH && off != 0) std::abort();
    }
    return 0;
}
