// Sections: headings by level and depth, collapse state and its keys, the placeholder rule of
// insertion, heading repair after removals, splitting, indent and outdent, the "{SECT "
// record written by the walk and read through the tag table, and the plain-text export of a
// collapsed section.

#include "document/elements/SectionElement.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SectionFakes.h"
#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/exec/PlaceholderElement.h"
#include "document/elements/TextElement.h"
#include "tests/document/document_env.h"
#include "tests/support/named_rows.h"

namespace {

// A chain of nested sections; the innermost is at depth `depth`.
struct SectionChain {
    SectionElement root;
    SectionElement* innermost = &root;
    explicit SectionChain(int depth) {
        for (int i = 0; i < depth; ++i) {
            auto* s = new SectionElement();
            innermost->insertChild(s, nullptr, kInsertAfter);
            innermost = s;
        }
    }
};

int firstStyle(const Element* section) {
    auto* p = dynamic_cast<ParagraphElement*>(section ? section->firstChild() : nullptr);
    return p ? p->styleIndex : -1;
}

std::string writeTree(Element* root, std::uint8_t extraFlags = 0) {
    KWorksheetWriter writer;
    WalkControl control;
    control.flags = WALK_BEFORE | WALK_AFTER | extraFlags;
    control.writer = &writer;
    root->walkMethod(&Element::writeElement, control);
    return writer.getBuffer();
}

// ---- headings ------------------------------------------------------------------------------

using kelvo_test::PrintTo;

struct HeadingCase {
    const char* name;
    int depth;   // of the section asked
    int level;   // asked for (0: the depth)
    int style;
};

class SectionHeading : public ::testing::TestWithParam<HeadingCase> {};

TEST_P(SectionHeading, StyleForLevel) {
    const HeadingCase& c = GetParam();
    SectionChain chain(c.depth);
    EXPECT_EQ(chain.innermost->headingStyleForLevel(c.level), c.style) << c.name;
    chain.innermost->insertHeading(c.level);
    EXPECT_EQ(firstStyle(chain.innermost), c.style) << c.name;
    Element* text = chain.innermost->firstChild()->firstChild();
    ASSERT_NE(text, nullptr) << c.name;
    EXPECT_EQ(text->elementKind(), KIND_TEXT) << c.name;
}

const HeadingCase kHeadingCases[] = {
    {"level1", 0, 1, 3},        {"level2", 0, 2, 4},        {"level3", 0, 3, 5},
    {"level4", 0, 4, 20},       {"level9", 0, 9, 20},       {"depth1", 1, 0, 3},
    {"depth2", 1 + 1, 0, 4},    {"depth3", 3, 0, 5},        {"depth4", 4, 0, 20},
    {"depth6", 6, 0, 20},       {"negativeLevelDepth2", 2, -1, 4},
};
INSTANTIATE_TEST_SUITE_P(All, SectionHeading, ::testing::ValuesIn(kHeadingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Section, LevelConstructorPutsHeadingFirst) {
    SectionElement s(2);
    ASSERT_EQ(s.childCount(), 1);
    EXPECT_EQ(firstStyle(&s), SectionElement::STYLE_HEADING_2);
}

// ---- collapse state ------------------------------------------------------------------------

struct CollapseCase {
    const char* name;
    bool startCollapsed;
    int code;            // command code
    const char* text;    // typed text for code 10
    bool handled;
    bool endCollapsed;
    bool modified;
};

class SectionCollapse : public ::testing::TestWithParam<CollapseCase> {};

TEST_P(SectionCollapse, CommandSetsState) {
    const CollapseCase& c = GetParam();
    Document doc;
    auto* root = new SectionElement();
    doc.setRoot(root);
    auto* nested = new SectionElement(1);
    root->insertChild(nested, nullptr, kInsertAfter);
    nested->setCollapsedFlag(c.startCollapsed);
    doc.modified = false;
    EXPECT_EQ(nested->command(c.code, c.text, 0), c.handled) << c.name;
    EXPECT_EQ(nested->isCollapsed(), c.endCollapsed) << c.name;
    EXPECT_EQ((nested->flags & ELEMENT_COLLAPSED_SECTION) != 0, c.endCollapsed) << c.name;
    EXPECT_EQ(doc.modified, c.modified) << c.name;
}

const CollapseCase kCollapseCases[] = {
    {"collapseExpanded", false, 22, nullptr, true, true, true},
    {"collapseCollapsed", true, 22, nullptr, true, true, false},
    {"expandCollapsed", true, 21, nullptr, true, false, true},
    {"expandExpanded", false, 21, nullptr, true, false, false},
    {"spaceOnExpanded", false, 10, " ", true, true, true},
    {"spaceOnCollapsed", true, 10, " ", true, false, true},
    {"plusOnCollapsed", true, 10, "+", true, false, true},
    {"plusOnExpanded", false, 10, "+", true, false, false},
    {"minusOnExpanded", false, 10, "-", true, true, true},
    {"otherKey", false, 10, "x", false, false, false},
    {"noText", false, 10, nullptr, false, false, false},
    {"unknownCode", false, 99, nullptr, false, false, false},
};
INSTANTIATE_TEST_SUITE_P(All, SectionCollapse, ::testing::ValuesIn(kCollapseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Section, RootAnswersOnlyIndent) {
    SectionElement root;
    EXPECT_FALSE(root.command(SectionElement::CMD_COLLAPSE, nullptr, 0));
    EXPECT_FALSE(root.isCollapsed());
    EXPECT_FALSE(root.command(SectionElement::CMD_TYPING, " ", 0));
    EXPECT_FALSE(root.isCollapsed());
}

TEST(Section, CopyKeepsStateAndChildren) {
    SectionElement s(1);
    s.insertChild(new ExecutionGroup(), nullptr, kInsertAfter);
    s.setCollapsedFlag(true);
    s.extraIndent = 7;
    std::unique_ptr<Element> copy(s.cloneElement());
    auto* c = dynamic_cast<SectionElement*>(copy.get());
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->isCollapsed());
    EXPECT_NE(c->flags & ELEMENT_COLLAPSED_SECTION, 0u);
    EXPECT_EQ(c->extraIndent, 7);
    ASSERT_EQ(c->childCount(), 2);
    EXPECT_EQ(c->childAt(1)->elementKind(), KIND_GROUP);
}

// ---- children ----------------------------------------------------------------------------------

TEST(Section, InsertGoesBeforeTrailingPlaceholder) {
    struct Case {
        const char* name;
        bool placeholderAsReference;
        InsertMode mode;
    };
    const Case cases[] = {{"noReference", false, kInsertAfter}, {"placeholderAfter", true, kInsertAfter}, {"placeholderBefore", true, kInsertBefore}};
    for (const Case& c : cases) {
        SectionElement root;
        auto* placeholder = new PlaceholderElement;
        root.insertChild(placeholder, nullptr, kInsertAfter);
        auto* group = new ExecutionGroup();
        ASSERT_TRUE(root.insertChild(group, c.placeholderAsReference ? placeholder : nullptr, c.mode)) << c.name;
        ASSERT_EQ(root.childCount(), 2) << c.name;
        EXPECT_EQ(root.childAt(0), group) << c.name;
        EXPECT_EQ(root.lastChild(), placeholder) << c.name;
    }
}

TEST(Section, RemovingHeadingOfNestedSectionGivesNewHeading) {
    SectionElement root;
    auto* nested = new SectionElement(1);
    root.insertChild(nested, nullptr, kInsertAfter);
    nested->insertChild(new ExecutionGroup(), nullptr, kInsertAfter);
    Element* heading = nested->firstChild();
    nested->removeChild(heading);
    ASSERT_EQ(nested->childCount(), 2);
    EXPECT_EQ(firstStyle(nested), SectionElement::STYLE_HEADING_1);
    EXPECT_EQ(nested->childAt(1)->elementKind(), KIND_GROUP);
}

TEST(Section, RemovingOnlyChildTakesSectionOut) {
    SectionElement root;
    auto* nested = new SectionElement(1);
    root.insertChild(nested, nullptr, kInsertAfter);
    nested->removeChild(nested->firstChild());
    EXPECT_EQ(root.childCount(), 0);
}

TEST(Section, RootGetsNoHeading) {
    SectionElement root;
    root.insertChild(new ExecutionGroup(), nullptr, kInsertAfter);
    root.insertChild(new ExecutionGroup(), nullptr, kInsertAfter);
    root.removeChild(root.firstChild());
    ASSERT_EQ(root.childCount(), 1);
    EXPECT_EQ(root.firstChild()->elementKind(), KIND_GROUP);
}

struct SplitCase {
    const char* name;
    int index;
    bool splits;
    int firstCount;    // children left in the section
    int secondCount;   // children of the new section (heading included)
};

class SectionSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SectionSplit, SplitAtIndex) {
    const SplitCase& c = GetParam();
    SectionElement root;
    auto* s = new SectionElement(1);   // heading + 3 groups
    root.insertChild(s, nullptr, kInsertAfter);
    for (int i = 0; i < 3; ++i) s->insertChild(new ExecutionGroup(), nullptr, kInsertAfter);
    Element* answer = s->splitAtIndex(c.index);
    if (!c.splits) {
        EXPECT_EQ(answer, s) << c.name;
        EXPECT_EQ(root.childCount(), 1) << c.name;
        EXPECT_EQ(s->childCount(), 4) << c.name;
        return;
    }
    ASSERT_EQ(root.childCount(), 2) << c.name;
    EXPECT_EQ(root.childAt(1), answer) << c.name;
    EXPECT_EQ(s->childCount(), c.firstCount) << c.name;
    EXPECT_EQ(answer->childCount(), c.secondCount) << c.name;
    EXPECT_EQ(firstStyle(answer), SectionElement::STYLE_HEADING_1) << c.name;
}

const SplitCase kSplitCases[] = {
    {"atZero", 0, false, 4, 0},     {"atEnd", 4, false, 4, 0},      {"pastEnd", 9, false, 4, 0},
    {"negative", -1, false, 4, 0},  {"afterHeading", 1, true, 1, 4}, {"atLast", 3, true, 3, 2},
};
INSTANTIATE_TEST_SUITE_P(All, SectionSplit, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Section, JoinTakesNextSectionsChildren) {
    SectionElement root;
    auto* a = new SectionElement(1);
    auto* b = new SectionElement(1);
    root.insertChild(a, nullptr, kInsertAfter);
    root.insertChild(b, nullptr, kInsertAfter);
    b->insertChild(new ExecutionGroup(), nullptr, kInsertAfter);
    EXPECT_TRUE(a->command(SectionElement::CMD_JOIN_SECTIONS, nullptr, 0));
    ASSERT_EQ(root.childCount(), 1);
    EXPECT_EQ(a->childCount(), 3);
}

// ---- indent and outdent ----------------------------------------------------------------------

TEST(Section, IndentWrapsMarkedChildrenAndOutdentUndoesIt) {
    SectionElement root;
    auto* heading = new ParagraphElement(0, nullptr);
    auto* g1 = new ExecutionGroup();
    auto* g2 = new ExecutionGroup();
    auto* g3 = new ExecutionGroup();
    for (Element* e : {static_cast<Element*>(heading), static_cast<Element*>(g1), static_cast<Element*>(g2),
                       static_cast<Element*>(g3)})
        root.insertChild(e, nullptr, kInsertAfter);
    heading->mark = 1;
    g1->mark = 1;
    ASSERT_TRUE(root.command(SectionElement::CMD_INDENT, nullptr, 0));
    // The paragraph became the heading of a new subsection holding the group.
    ASSERT_EQ(root.childCount(), 3);
    auto* sub = dynamic_cast<SectionElement*>(root.childAt(0));
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(sub->childCount(), 2);
    EXPECT_EQ(sub->childAt(0), heading);
    EXPECT_EQ(heading->styleIndex, SectionElement::STYLE_HEADING_1);
    EXPECT_EQ(sub->childAt(1), g1);
    EXPECT_EQ(heading->mark, 0);
    EXPECT_EQ(g1->mark, 0);
    EXPECT_EQ(root.childAt(1), g2);

    // Outdent the whole subsection again: its children go back to the root, the heading
    // turns back into a normal paragraph and the emptied subsection goes.
    heading->mark = 1;
    g1->mark = 1;
    sub->outdent(nullptr);
    ASSERT_EQ(root.childCount(), 4);
    EXPECT_EQ(root.childAt(0), heading);
    EXPECT_EQ(heading->styleIndex, ParagraphElement::STYLE_NORMAL);
    EXPECT_EQ(root.childAt(1), g1);
    EXPECT_EQ(root.childAt(2), g2);
}

TEST(Section, OutdentOfLaterChildSplitsSection) {
    SectionElement root;
    auto* s = new SectionElement(1);
    root.insertChild(s, nullptr, kInsertAfter);
    auto* g1 = new ExecutionGroup();
    auto* g2 = new ExecutionGroup();
    auto* g3 = new ExecutionGroup();
    s->insertChild(g1, nullptr, kInsertAfter);
    s->insertChild(g2, nullptr, kInsertAfter);
    s->insertChild(g3, nullptr, kInsertAfter);
    s->command(SectionElement::CMD_OUTDENT, nullptr, reinterpret_cast<std::intptr_t>(g2));
    // s keeps its heading and g1; g2 follows it in the root; g3 is in a new section after.
    ASSERT_EQ(root.childCount(), 3);
    EXPECT_EQ(root.childAt(0), s);
    ASSERT_EQ(s->childCount(), 2);
    EXPECT_EQ(s->childAt(1), g1);
    EXPECT_EQ(root.childAt(1), g2);
    auto* rest = dynamic_cast<SectionElement*>(root.childAt(2));
    ASSERT_NE(rest, nullptr);
    ASSERT_EQ(rest->childCount(), 2);
    EXPECT_EQ(rest->childAt(1), g3);
}

TEST(Section, IndentWithoutMarksDoesNothing) {
    SectionElement root;
    root.insertChild(new ExecutionGroup(), nullptr, kInsertAfter);
    EXPECT_FALSE(root.wrapInSection(nullptr));
    EXPECT_EQ(root.childCount(), 1);
}

// ---- records -----------------------------------------------------------------------------------

TEST(SectionRecord, WalkWritesHeadFlagAndTail) {
    SectionElement root;
    auto* nested = new SectionElement();
    nested->insertChild(new ParagraphElement(3, nullptr), nullptr, kInsertAfter);
    nested->setCollapsedFlag(true);
    root.insertChild(nested, nullptr, kInsertAfter);
    root.insertChild(new PlaceholderElement, nullptr, kInsertAfter);
    EXPECT_EQ(writeTree(&root), "{SECT 0 {SECT 1 {PARA 3 \"\" 0 \"\" }}}");
}

TEST(SectionRecord, MarkedWalkSkipsRootAndPartlyMarkedSections) {
    SectionElement root;
    auto* whole = new SectionElement();
    whole->insertChild(new ParagraphElement(3, nullptr), nullptr, kInsertAfter);
    auto* part = new SectionElement();
    auto* marked = new ParagraphElement(4, nullptr);
    part->insertChild(marked, nullptr, kInsertAfter);
    part->insertChild(new ParagraphElement(5, nullptr), nullptr, kInsertAfter);
    root.insertChild(whole, nullptr, kInsertAfter);
    root.insertChild(part, nullptr, kInsertAfter);
    root.mark = 2;
    whole->markSubtree(1);
    part->mark = 2;
    marked->mark = 1;
    EXPECT_EQ(writeTree(&root, WALK_MARKED_ONLY), "{SECT 0 {PARA 3 \"\" 0 \"\" }}{PARA 4 \"\" 0 \"\" }");
}

struct RecordCase {
    const char* name;
    int major, minor;
    const char* text;       // one record, then {KLVTEXT "after"}
    int children;           // -1: no section
    bool collapsed;
    int firstStyle;         // style of the first child (-1: not a paragraph)
    bool withParent;
};

class SectionRecordRead : public ::testing::TestWithParam<RecordCase> {};

TEST_P(SectionRecordRead, ReadsSectionAndGoesOn) {
    const RecordCase& c = GetParam();
    ReaderRegistration registration;
    TextReader text(std::string(c.text) + "{KLVTEXT 1 0 5 \"after\" }");
    text.reader.majorVersion = c.major;
    text.reader.minorVersion = c.minor;
    SectionElement parent;
    Element* out = nullptr;
    EXPECT_EQ(worksheetErrorOf([&] {
                  EXPECT_TRUE(worksheetTagTable.readNewRep(text.reader, out, c.withParent ? &parent : nullptr,
                                                           true, nullptr));
              }),
              0)
        << c.name;
    std::unique_ptr<Element> owned(out);
    if (c.children < 0) {
        EXPECT_EQ(out, nullptr) << c.name;
    } else {
        auto* s = dynamic_cast<SectionElement*>(out);
        ASSERT_NE(s, nullptr) << c.name;
        EXPECT_EQ(s->childCount(), c.children) << c.name;
        EXPECT_EQ(s->isCollapsed(), c.collapsed) << c.name;
        EXPECT_EQ(firstStyle(s), c.firstStyle) << c.name;
    }
    // The reader stands after the record.
    Element* after = nullptr;
    worksheetErrorOf([&] { worksheetTagTable.readNewRep(text.reader, after, nullptr, true, nullptr); });
    std::unique_ptr<Element> ownedAfter(after);
    auto* input = dynamic_cast<InputTextElement*>(after);
    ASSERT_NE(input, nullptr) << c.name;
    EXPECT_STREQ(input->text(), "after") << c.name;
}

const RecordCase kRecordCases[] = {
    {"noChildren", 3, 0, "{SECT 0 }", -1, false, -1, false},
    {"onlyDroppedKinds", 3, 0, "{SECT 0 {KLVTEXT 1 0 1 \"x\" }}", -1, false, -1, false},
    {"collapsedFlag", 3, 0, "{SECT 1 {PARA 3 \"\" 0 \"\" }{EXCHG {PARA 0 \"\" 0 \"\" }}}", 2, true, 3, false},
    {"format21ReadsFlag", 2, 1, "{SECT 1 {PARA 3 \"\" 0 \"\" }}", 1, true, 3, false},
    {"format20HasNoFlag", 2, 0, "{SECT {PARA 3 \"\" 0 \"\" }}", 1, false, 3, false},
    {"format1HasNoFlag", 1, 0, "{SECT {PARA 3 \"\" 0 \"\" }}", 1, false, 3, false},
    {"inlineChildDropped", 3, 0, "{SECT 0 {PARA 4 \"\" 0 \"\" }{KLVTEXT 1 0 1 \"x\" }{SECT 0 {PARA 5 \"\" 0 \"\" }}}", 2, false, 4, false},
    {"nestedGetsHeading", 3, 0, "{SECT 0 {EXCHG {PARA 0 \"\" 0 \"\" }}}", 2, false, 3, true},
    {"nestedKeepsParagraph", 3, 0, "{SECT 0 {PARA 0 \"\" 0 \"\" }{EXCHG {PARA 0 \"\" 0 \"\" }}}", 2, false, 0, true},
    {"rootGetsNoHeading", 3, 0, "{SECT 0 {EXCHG {PARA 0 \"\" 0 \"\" }}}", 1, false, -1, false},
    {"badFlag", 3, 0, "{SECT x {PARA 3 \"\" 0 \"\" }}", -1, false, -1, false},
    {"unknownInside", 3, 0, "{SECT 0 {WIDGET {A {B }}}{PARA 3 \"\" 0 \"\" }}", 1, false, 3, false},
};
INSTANTIATE_TEST_SUITE_P(All, SectionRecordRead, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A fragment's element list keeps three integers before a section's own fields.
TEST(SectionRecord, FragmentEntryDropsThreeIntegersThenReadsTheSection) {
    ReaderRegistration registration;
    TextReader text("{SECT 7 8 9 1 {PARA 3 \"\" 0 \"\" }{EXCHG {PARA 0 \"\" 0 \"\" }}}{KLVTEXT 1 0 5 \"after\" }");
    text.reader.majorVersion = 3;
    std::string token;
    text.reader.readToken(token);
    ASSERT_EQ(token, "{SECT");
    Element* out = nullptr;
    EXPECT_EQ(worksheetErrorOf([&] { EXPECT_TRUE(readFragmentSectRecord(text.reader, out, nullptr)); }), 0);
    std::unique_ptr<Element> owned(out);
    auto* s = dynamic_cast<SectionElement*>(out);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->childCount(), 2);
    EXPECT_TRUE(s->isCollapsed());
    Element* after = nullptr;
    worksheetErrorOf([&] { worksheetTagTable.readNewRep(text.reader, after, nullptr, true, nullptr); });
    std::unique_ptr<Element> ownedAfter(after);
    auto* input = dynamic_cast<InputTextElement*>(after);
    ASSERT_NE(input, nullptr);
    EXPECT_STREQ(input->text(), "after");
}

TEST(SectionRecord, DeepNestingIsBounded) {
    ReaderRegistration registration;
    std::string text;
    const int levels = 5000;
    for (int i = 0; i < levels; ++i) text += "{SECT 0 {PARA 3 \"\" 0 \"\" }";
    for (int i = 0; i < levels; ++i) text += "}";
    text += "{KLVTEXT 1 0 5 \"after\" }";
    TextReader reader(text);
    Element* out = nullptr;
    EXPECT_EQ(worksheetErrorOf([&] { worksheetTagTable.readNewRep(reader.reader, out, nullptr, true, nullptr); }), 0);
    std::unique_ptr<Element> owned(out);
    ASSERT_NE(out, nullptr);
    int depth = 0;
    for (Element* e = out; e && e->elementKind() == KIND_SECTION; e = e->lastChild()) ++depth;
    EXPECT_LE(depth, WorksheetTagTable::RECORD_DEPTH_LIMIT);
    EXPECT_TRUE(reader.reader.unknownRecordSeen);
    Element* after = nullptr;
    worksheetErrorOf([&] { worksheetTagTable.readNewRep(reader.reader, after, nullptr, true, nullptr); });
    std::unique_ptr<Element> ownedAfter(after);
    ASSERT_NE(dynamic_cast<InputTextElement*>(after), nullptr);
}

// ---- plain-text export ---------------------------------------------------------------------------

// Records which runs the export walk reached.
class ExportRun : public TextElement {
public:
    explicit ExportRun(const char* text) : TextElement(-1, text) {}
    void exportText(WalkControl& control) override {
        static_cast<std::vector<std::string>*>(control.context)->push_back(text());
    }
};

ParagraphElement* paragraphWith(const char* text) {
    auto* p = new ParagraphElement(0, nullptr);
    p->insertChild(new ExportRun(text), nullptr, kInsertAfter);
    return p;
}

struct ExportCase {
    const char* name;
    bool collapsed;
    bool markedOnly;
    int sectionMark;
    const char* expected;   // runs reached, joined by "|"
};

class SectionExport : public ::testing::TestWithParam<ExportCase> {};

TEST_P(SectionExport, CollapsedExportsHeadingOnly) {
    const ExportCase& c = GetParam();
    SectionElement root;
    root.insertChild(paragraphWith("before"), nullptr, kInsertAfter);
    auto* s = new SectionElement();
    s->insertChild(paragraphWith("heading"), nullptr, kInsertAfter);
    s->insertChild(paragraphWith("body"), nullptr, kInsertAfter);
    root.insertChild(s, nullptr, kInsertAfter);
    root.insertChild(paragraphWith("after"), nullptr, kInsertAfter);
    s->setCollapsedFlag(c.collapsed);
    if (c.markedOnly) {
        root.mark = 2;
        if (c.sectionMark == 1) s->markSubtree(1);
        else if (c.sectionMark == 2) {
            s->mark = 2;
            s->lastChild()->markSubtree(1);
        }
    }
    std::vector<std::string> runs;
    WalkControl control;
    control.flags = WALK_BEFORE | WALK_AFTER | (c.markedOnly ? WALK_MARKED_ONLY : 0);
    control.context = &runs;
    root.walkMethod(&Element::exportText, control);
    std::string joined;
    for (const std::string& r : runs) joined += (joined.empty() ? "" : "|") + r;
    EXPECT_EQ(joined, c.expected) << c.name;
}

const ExportCase kExportCases[] = {
    {"expanded", false, false, 0, "before|heading|body|after"},
    {"collapsed", true, false, 0, "before|heading|after"},
    {"collapsedWhollyMarked", true, true, 1, "heading"},
    {"collapsedPartlyMarked", true, true, 2, ""},
    {"expandedPartlyMarked", false, true, 2, "body"},
};
INSTANTIATE_TEST_SUITE_P(All, SectionExport, ::testing::ValuesIn(kExportCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
