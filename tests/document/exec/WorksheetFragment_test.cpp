// Worksheet fragments: rows from "{NEWREP" groups and plain records, the flat rule, the slots,
// the kind searches, the style merge, and the readers over transfer data and files.
#include "document/elements/WorksheetFragment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/edit/Document.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/ContainerElement.h"
#include "tests/document/document_env.h"

namespace {

const std::string kPara1 = "{PARA 0 \"\" 0 \"\" {KLVTEXT 1 0 2 \"a;\" }}";
const std::string kPara2 = "{PARA 0 \"\" 0 \"\" {KLVTEXT 1 0 2 \"b;\" }}";
const std::string kPara3 = "{PARA 0 \"\" 0 \"\" {TEXT -1 1 \"c\" }}";

// An element of a given kind that may answer isMath, for the kind searches.
class KindElement : public ContainerElement {
public:
    KindElement(int kind, bool math) : kind_(kind), math_(math) {}
    Element* cloneElement() const override { return new KindElement(kind_, math_); }
    int elementKind() const override { return kind_; }
    bool isMath() const override { return math_; }

private:
    int kind_;
    bool math_;
};

class Fragments : public ::testing::Test {
protected:
    void SetUp() override {
        registerSectionReaders();
        registerExecutionGroupReaders();
        registerTextReaders();
        registerParagraphReaders();
        registerFragmentReader();
    }
    void TearDown() override {
        WorksheetFragment::transferHooks = {};
        worksheetTagTable.resetReadState();
    }
    static std::unique_ptr<WorksheetFragment> fromText(const std::string& text) {
        return WorksheetFragment::readFragmentFromText(text.data(), text.size());
    }
    // The records of a row's elements as the writer writes them, without the writer's line breaks.
    static std::string rowText(WorksheetFragment& f, int row) {
        KWorksheetWriter writer;
        for (int i = 0; i < f.rowLength(row); ++i) {
            Element* e = f.elementAt(row, i);
            if (!e) continue;
            WalkControl control;
            control.flags = WALK_BEFORE | WALK_AFTER;
            control.writer = &writer;
            e->walkMethod(&Element::writeElement, control);
        }
        std::string text = writer.getBuffer();
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        return text;
    }
};

TEST_F(Fragments, RowsFromGroupsAndPlainRecords) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> rows;   // each row's records as written back
    } rows[] = {
        {"groups give an empty row 0 and one row each", "{USTYLETAB }{NEWREP " + kPara1 + "}{NEWREP " + kPara2 + kPara3 + "}",
         {"", kPara1, kPara2 + kPara3}},
        {"plain records share row 0", "{USTYLETAB }" + kPara1 + kPara2, {kPara1 + kPara2}},
        {"a plain element after a group keeps only row 0", "{USTYLETAB }{NEWREP " + kPara1 + "}" + kPara2 + "{NEWREP " + kPara3 + "}" + kPara3,
         {kPara2 + kPara3}},
        {"a leading version record is read and dropped", "{VERSION 5 0 \"Linux\" \"5.0\" }\n{USTYLETAB }" + kPara1, {kPara1}},
        {"an empty text", "", {""}},
        {"text that is not a record ends the read", "{USTYLETAB }" + kPara1 + "0AR " + kPara2, {kPara1}},
        {"a damaged element is missing from its row", "{USTYLETAB }{NEWREP {PARA x }" + kPara2 + "}", {"", kPara2}},
    };
    for (const Row& r : rows) {
        std::unique_ptr<WorksheetFragment> f = fromText(r.text);
        ASSERT_NE(f, nullptr) << r.name;
        ASSERT_EQ(f->rowCount(), int(r.rows.size())) << r.name;
        for (int i = 0; i < f->rowCount(); ++i) EXPECT_EQ(rowText(*f, i), r.rows[std::size_t(i)]) << r.name << " row " << i;
    }
}

TEST_F(Fragments, EmptyRowMatchesEveryKindSearch) {
    std::unique_ptr<WorksheetFragment> f = fromText("{USTYLETAB }{NEWREP " + kPara1 + "}{NEWREP " + kPara2 + "}");
    ASSERT_EQ(f->rowCount(), 3);
    int row = -1;
    EXPECT_TRUE(f->findMathRow(row));
    EXPECT_EQ(row, 0);
    EXPECT_TRUE(f->findRowOfKinds(1, row, KIND_PARAGRAPH));
    EXPECT_EQ(row, 1);
    EXPECT_FALSE(f->findRowOfKinds(3, row, KIND_PARAGRAPH));
    EXPECT_EQ(row, -1);
    EXPECT_FALSE(f->findRowOfKinds(-1, row, KIND_PARAGRAPH));
}

TEST_F(Fragments, SlotsAndTakingElements) {
    WorksheetFragment f;
    EXPECT_EQ(f.lastRow(), nullptr);
    f.appendToLastRow(new TextElement(-1, "a"));
    EXPECT_EQ(f.rowCount(), 1);
    EXPECT_EQ(f.elementKind(0, 0), KIND_TEXT);
    // Past the end of the row: empty slots, nothing to take.
    EXPECT_EQ(f.takeElement(0, 5), nullptr);
    EXPECT_EQ(f.rowLength(0), 6);
    EXPECT_EQ(f.elementKind(0, 3), 0);
    EXPECT_EQ(f.takeElement(4, 0), nullptr);
    EXPECT_EQ(f.takeElement(0, -1), nullptr);
    std::unique_ptr<Element> taken(f.takeElement(0, 0));
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(f.elementAt(0, 0), nullptr);
    EXPECT_EQ(f.takeElement(0, 0), nullptr);
}

TEST_F(Fragments, KindSearches) {
    auto groupOf = [](Element* child) {
        auto* paragraph = new KindElement(KIND_PARAGRAPH, false);
        paragraph->insertChild(child, nullptr, kInsertAfter);
        auto* group = new KindElement(KIND_GROUP, false);
        group->insertChild(paragraph, nullptr, kInsertAfter);
        return group;
    };
    WorksheetFragment f;
    f.appendRow();   // 0: a text and a math element
    f.appendToLastRow(new KindElement(KIND_TEXT, false));
    f.appendToLastRow(new KindElement(KIND_MATH, true));
    f.appendRow();   // 1: two math elements
    f.appendToLastRow(new KindElement(KIND_MATH, true));
    f.appendToLastRow(new KindElement(KIND_EXPRESSION_EDIT, true));
    f.appendRow();   // 2: a group around a text
    f.appendToLastRow(groupOf(new KindElement(KIND_TEXT, false)));
    f.appendRow();   // 3: a group around math
    f.appendToLastRow(groupOf(new KindElement(KIND_MATH, true)));
    f.appendRow();   // 4: one spreadsheet
    f.appendToLastRow(new KindElement(18, false));
    f.appendRow();   // 5: one math element
    f.appendToLastRow(new KindElement(19, true));
    struct Row {
        const char* name;
        bool (WorksheetFragment::*search)(int&);
        int expected;
    } rows[] = {
        {"math row", &WorksheetFragment::findMathRow, 1},
        {"group row", &WorksheetFragment::findGroupRow, 3},
        {"spreadsheet row", &WorksheetFragment::findSpreadsheetRow, 4},
        {"math element row", &WorksheetFragment::findMathElementRow, 5},
    };
    for (const Row& r : rows) {
        int row = -2;
        EXPECT_TRUE((f.*r.search)(row)) << r.name;
        EXPECT_EQ(row, r.expected) << r.name;
    }
    int row = -2;
    EXPECT_TRUE(f.findRowOfKindsFromStart(row, KIND_TEXT, KIND_MATH));
    EXPECT_EQ(row, 0);
    WorksheetFragment empty;
    EXPECT_FALSE(empty.findMathElementRow(row));
    EXPECT_EQ(row, -1);
}

TEST_F(Fragments, RemapStylesMergesUserStylesAndRenumbersTheElements) {
    // The fragment's user style 256 ("Shout") reaches the document at a free index of its own.
    const std::string text =
        "{USTYLETAB {CSTYLE \"Shout\" -1 256 \"Courier\" 0 1 0 0 0 1 0 0 0 0 0 0 0 0 0 }}"
        "{PARA 0 \"\" 0 \"\" {TEXT 256 4 \"loud\" }}";
    Document doc;
    auto own = std::make_unique<CharStyle>();
    own->setName("Taken");
    doc.styleSet()->addCharStyle(std::move(own), 256);
    std::unique_ptr<WorksheetFragment> f = fromText(text);
    ASSERT_NE(f->styleSet(), nullptr);
    auto* run = dynamic_cast<TextElement*>(f->elementAt(0, 0)->firstChild());
    ASSERT_NE(run, nullptr);
    const int before = run->styleIndex();
    ASSERT_NE(f->styleSet()->charStyle(before), nullptr);
    f->remapStyles(&doc);
    const CharStyle* merged = doc.styleSet()->charStyle(run->styleIndex());
    ASSERT_NE(merged, nullptr);
    ASSERT_TRUE(merged->name.has_value());
    EXPECT_EQ(*merged->name, "Shout");
    charStyleIndexMap.clear();
    paraStyleIndexMap.clear();
}

TEST_F(Fragments, RemapStylesNeedsBothStyleSets) {
    WorksheetFragment withoutStyles;
    withoutStyles.appendToLastRow(new TextElement(300, "x"));
    Document doc;
    withoutStyles.remapStyles(&doc);
    EXPECT_EQ(static_cast<TextElement*>(withoutStyles.elementAt(0, 0))->styleIndex(), 300);
    std::unique_ptr<WorksheetFragment> withStyles = fromText("{USTYLETAB }{KLVTEXT 1 300 1 \"y\" }");
    withStyles->remapStyles(nullptr);
    EXPECT_EQ(static_cast<TextElement*>(withStyles->elementAt(0, 0))->styleIndex(), 300);
}

// ---- transfer data and files ------------------------------------------------------------------------

struct FakeSource {
    bool has = true;
    std::string data;
    std::size_t claimedLength = std::string::npos;   // npos: the data's length
    bool fetchFails = false;
};
FakeSource* fakeSource = nullptr;

void installFake(FakeSource& source) {
    fakeSource = &source;
    WorksheetFragment::transferHooks = {
        [](int) { return fakeSource->has; },
        [](int) { return fakeSource->claimedLength == std::string::npos ? fakeSource->data.size() : fakeSource->claimedLength; },
        [](int, char* buffer, std::size_t length) -> std::size_t {
            if (fakeSource->fetchFails) return 0;
            std::size_t n = std::min(length, fakeSource->data.size());
            std::copy(fakeSource->data.begin(), fakeSource->data.begin() + long(n), buffer);
            return n;
        }};
}

TEST_F(Fragments, TransferSources) {
    const std::string good = "{USTYLETAB }" + kPara1;
    struct Row {
        const char* name;
        FakeSource source;
        bool fragment;
        const char* row0;
    } rows[] = {
        {"worksheet text", {true, good, std::string::npos, false}, true, nullptr},
        {"no worksheet format", {false, good, std::string::npos, false}, false, nullptr},
        {"empty data", {true, "", std::string::npos, false}, false, nullptr},
        {"fetch fails", {true, good, std::string::npos, true}, false, nullptr},
        {"implausibly long", {true, good, WorksheetFragment::TRANSFER_LIMIT + 1, false}, false, nullptr},
        {"read up to the first zero byte", {true, good + std::string(1, '\0') + kPara2, std::string::npos, false}, true, nullptr},
    };
    for (Row& r : rows) {
        installFake(r.source);
        for (int source : {int(WorksheetFragment::SOURCE_CLIPBOARD), int(WorksheetFragment::SOURCE_DRAG)}) {
            std::unique_ptr<WorksheetFragment> f = WorksheetFragment::readTransferFragment(source);
            EXPECT_EQ(f != nullptr, r.fragment) << r.name;
            if (!f) continue;
            ASSERT_EQ(f->rowCount(), 1) << r.name;
            EXPECT_EQ(rowText(*f, 0), kPara1) << r.name;
        }
    }
    WorksheetFragment::transferHooks = {};
    EXPECT_EQ(WorksheetFragment::fragmentFromClipboard(), nullptr);
    fakeSource = nullptr;
}

TEST_F(Fragments, FromAFile) {
    EXPECT_EQ(WorksheetFragment::readFragmentFromFile(dataPath("no such file.kws")), nullptr);
    std::unique_ptr<WorksheetFragment> f = WorksheetFragment::readFragmentFromFile(dataPath("nesting.kws"));
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->styleSet(), nullptr);
    EXPECT_NE(f->styleSet()->charStyle(0), nullptr);
    ASSERT_GE(f->rowCount(), 1);
    EXPECT_EQ(f->elementKind(0, 0), KIND_SECTION);
    EXPECT_FALSE(f->refreshAfterInsert);
}

}  // namespace
