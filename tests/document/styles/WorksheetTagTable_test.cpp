// Tests of the tag table: lookups, element records through registered readers, style records
// among element records with renumbering, old-format fonts and regions, and the text imports.
#include <gtest/gtest.h>

#include <sstream>

#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "tests/document/document_env.h"

namespace {

// Stand-ins for elements: the tests only compare addresses.
struct FakeElement {
    std::string tag;
    int value = 0;
};
Element* asElement(FakeElement* f) { return reinterpret_cast<Element*>(f); }
FakeElement* asFake(Element* e) { return reinterpret_cast<FakeElement*>(e); }

std::vector<std::unique_ptr<FakeElement>> made;

// Reads "<int> }" and builds a fake element.
bool testSectionReader(KWorksheetReader& reader, Element*& out, Element*) {
    auto e = std::make_unique<FakeElement>();
    e->tag = "SECT";
    reader.readInt(e->value);
    if (!reader.atRecordEnd()) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    reader.skipRecord();
    out = asElement(e.get());
    made.push_back(std::move(e));
    return true;
}

bool testMathReader(KWorksheetReader& reader, Element*& out, Element*) {
    auto e = std::make_unique<FakeElement>();
    e->tag = "MATH";
    reader.skipRecord();
    out = asElement(e.get());
    made.push_back(std::move(e));
    return true;
}

class TagTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        worksheetTagTable.resetReadState();
        worksheetTagTable.registerReader("SECT", testSectionReader);
        worksheetTagTable.registerReader("XPPMATH", testMathReader);
    }
    void TearDown() override {
        worksheetTagTable.registerReader("SECT", nullptr);
        worksheetTagTable.registerReader("XPPMATH", nullptr);
        worksheetTagTable.resetReadState();
    }
    // Reads the element list; answers the tags built, "-" for records without an element.
    std::vector<std::string> readList(KWorksheetReader& reader) {
        std::vector<std::string> tags;
        Element* e = nullptr;
        while (worksheetTagTable.readNewRep(reader, e, nullptr, true, nullptr))
            tags.push_back(e ? asFake(e)->tag : "-");
        return tags;
    }
};

TEST_F(TagTableTest, LookupsInTableOrder) {
    EXPECT_EQ(28, worksheetTagTable.entryCount());
    std::string tag;
    struct Row {
        int kind;
        const char* tag;
    };
    const Row rows[] = {{0, "MATHOBJ"}, {9, "XPPMATH"}, {1, "SECT"}, {15, "SCP_R"},
                        {26, "IMAGEMAP"}, {18, "SPREADSHEET"}};
    for (const Row& r : rows) {
        EXPECT_TRUE(worksheetTagTable.tagForKind(r.kind, tag));
        EXPECT_EQ(r.tag, tag);
    }
    EXPECT_FALSE(worksheetTagTable.tagForKind(3, tag));
    EXPECT_EQ("", tag);
    ASSERT_NE(nullptr, worksheetTagTable.findTag("DAG"));
    EXPECT_EQ(nullptr, worksheetTagTable.findTag("sect"));
    EXPECT_EQ(worksheetTagTable.findTag("XPPMATH")->reader, worksheetTagTable.findTag("DAG")->reader);
    EXPECT_FALSE(worksheetTagTable.registerReader("NOPE", testMathReader));
}

TEST_F(TagTableTest, ElementListWithUnknownAndFailingRecords) {
    TextReader t("{SECT 4 }{MYSTERY 1 {INNER \"\\}\" {DEEP } } }{DAG 1 }{SECT x }{SECT 5 }{TEXT 1 } } 9");
    std::vector<std::string> tags = readList(t.reader);
    std::vector<std::string> expected = {"SECT", "-", "MATH", "-", "SECT", "-"};
    EXPECT_EQ(expected, tags);
    EXPECT_TRUE(t.reader.unknownRecordSeen);
    int next = 0;
    t.reader.readInt(next);
    EXPECT_EQ(9, next);
}

TEST_F(TagTableTest, TokenWithoutBraceIsSyntaxError) {
    TextReader t("SECT 4 }");
    Element* e = nullptr;
    EXPECT_EQ(2, worksheetErrorOf([&] { worksheetTagTable.readNewRep(t.reader, e, nullptr, true, nullptr); }));
}

TEST_F(TagTableTest, OverlongTagIsConsumedWhole) {
    std::string tag(100000, 'Q');
    TextReader t("{" + tag + " 1 2 }{SECT 3 }}");
    EXPECT_EQ((std::vector<std::string>{"-", "SECT"}), readList(t.reader));
    EXPECT_TRUE(t.reader.unknownRecordSeen);
}

TEST_F(TagTableTest, UserStylesAreRenumberedInFileOrder) {
    StyleSet set;
    auto taken = std::make_unique<CharStyle>();
    taken->setName("Taken");
    set.addCharStyle(std::move(taken), 256);
    worksheetTagTable.styleSet = &set;
    const std::string tail = " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 }";
    TextReader t("{CSTYLE \"U300\" 2 300 \"\"" + tail + "{CSTYLE \"U301\" 300 301 \"\"" + tail +
                 "{CSTYLE \"U302\" 303 302 \"\"" + tail + "{CSTYLE \"B5\" 2 5 \"\"" + tail +
                 "{PSTYLE \"P\" 0 400 1 {CSTYLE \"\" -1 -1 \"\"" + tail +
                 " 3 0 0 -1 -1 -1 0 0 0 0 0 0 -1 0 }{SECT 1 }}");
    EXPECT_EQ((std::vector<std::string>{"-", "-", "-", "-", "-", "SECT"}), readList(t.reader));
    EXPECT_EQ(257, set.findCharStyle("U300"));
    EXPECT_EQ(258, set.findCharStyle("U301"));
    EXPECT_EQ(257, set.charStyle(258)->basedOn);
    EXPECT_EQ(303, set.charStyle(259)->basedOn);   // came before its base: number kept
    EXPECT_EQ("B5", *set.charStyle(5)->name);
    EXPECT_EQ(256, set.findParaStyle("P"));
    EXPECT_EQ(257, worksheetTagTable.charStyleRenumber[300]);
    EXPECT_EQ(256, worksheetTagTable.paraStyleRenumber[400]);
}

TEST_F(TagTableTest, OldFontRecordsFillFontMap) {
    StyleSet set;
    worksheetTagTable.styleSet = &set;
    TextReader t("{FONT 1 \"Arial\" \"arial\" \"\" 7 10 0 \"\" 0 }"
                 "{FONT 2 \"Courier New\" \"courier\" \"\" 4 14 32 \"\" 0 {COLOR \"0000FF\" } }"
                 "{FONT 99999 \"A\" \"a\" \"\" 4 14 32 \"\" 0 }{SECT 2 }}");
    EXPECT_EQ((std::vector<std::string>{"-", "-", "-", "SECT"}), readList(t.reader));
    EXPECT_EQ("Normal", *set.paraStyle(0)->name);
    EXPECT_EQ(1, set.paraStyle(0)->charPart.bold);
    int r3 = set.findParaStyle("R3 Font 2");
    ASSERT_GE(r3, 256);
    EXPECT_EQ(0, worksheetTagTable.fontStyleMap[1]);
    EXPECT_EQ(r3, worksheetTagTable.fontStyleMap[2]);
    EXPECT_EQ(2, worksheetTagTable.fontStyleMapLast);
    EXPECT_EQ(32u, worksheetTagTable.fontStyleMap.size());

    int c = worksheetTagTable.styleForOldRegion(2, 1);
    const CharStyle& s = set.effectiveCharStyle(c, 0, -1);
    EXPECT_EQ("Courier", *s.fontName);
    EXPECT_EQ(14, s.size);
    EXPECT_EQ(1, s.italic);
    EXPECT_EQ(255, s.color.blue);
    // Unknown numbers map to paragraph style 0: nothing differs, no new style.
    EXPECT_EQ(-1, worksheetTagTable.styleForOldRegion(-5, 4000));
}

struct FakeGroups : OldRegionGroups {
    std::vector<std::unique_ptr<FakeElement>> groups;
    std::map<Element*, std::vector<Element*>> members, outputs;
    int completeAfter = 2;   // a group's input is complete after this many regions
    Element* newGroup() override {
        groups.push_back(std::make_unique<FakeElement>());
        groups.back()->tag = "GROUP";
        return asElement(groups.back().get());
    }
    void append(Element* g, Element* r) override { members[g].push_back(r); }
    void attachOutput(Element* g, Element* r) override { outputs[g].push_back(r); }
    bool inputComplete(Element* g) override { return int(members[g].size()) >= completeAfter; }
};

TEST_F(TagTableTest, OldRegionsGroupByCompletenessAndRegionNumber) {
    FakeGroups groups;
    worksheetTagTable.setOldRegionGroups(&groups);
    FakeElement r1, r2, r3, out1, out2;
    KWorksheetReader reader;
    Element* e = asElement(&r1);
    worksheetTagTable.addOldInputRegion(e, 7, reader);
    ASSERT_NE(nullptr, e);
    Element* group = e;
    EXPECT_EQ("GROUP", asFake(group)->tag);
    e = asElement(&r2);
    worksheetTagTable.addOldCommentRegion(e, -1, reader);
    EXPECT_EQ(nullptr, e);
    e = asElement(&r3);
    worksheetTagTable.addOldInputRegion(e, 1000000, reader);   // number beyond the limit
    EXPECT_EQ(nullptr, e);
    EXPECT_EQ(nullptr, worksheetTagTable.currentGroup);        // complete now
    EXPECT_EQ(3u, groups.members[group].size());

    e = asElement(&out1);
    worksheetTagTable.addOldOutputRegion(e, 7, reader);
    EXPECT_EQ(nullptr, e);
    EXPECT_EQ(1u, groups.outputs[group].size());
    e = asElement(&out2);
    worksheetTagTable.addOldOutputRegion(e, 1000000, reader);   // no group: starts one
    ASSERT_NE(nullptr, e);
    EXPECT_NE(group, e);
    worksheetTagTable.setOldRegionGroups(nullptr);
}

struct RecordingImport : TextImportSink {
    std::vector<std::string> events;
    int inputsPerGroup = 1;
    int inputs = 0;
    void text(const std::string& line) override { events.push_back("#" + line); }
    void input(const std::string& line) override {
        events.push_back(">" + line);
        ++inputs;
    }
    bool groupComplete() override { return inputs >= inputsPerGroup; }
    void endGroup() override {
        events.push_back("|");
        inputs = 0;
    }
};

TEST(TextImport, MarkedLines) {
    std::string longLine(10000, 'z');
    std::istringstream in("  > x := 1;\r\nno marker here\n# comment\n#tight\n>" + longLine +
                          "\n# trailing\n");
    RecordingImport sink;
    importText(in, sink);
    std::vector<std::string> expected = {">x := 1;", "|", "#comment", "#tight", ">" + longLine,
                                         "|", "#trailing", "|"};
    EXPECT_EQ(expected, sink.events);
}

TEST(TextImport, PlainLinesKeepEverything) {
    std::istringstream in("  indented\n\n> not input\n");
    RecordingImport sink;
    importPlainText(in, sink);
    EXPECT_EQ((std::vector<std::string>{"#  indented", "#", "#> not input"}), sink.events);
}

}  // namespace
