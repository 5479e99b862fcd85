// Positions: end placement, held points, positions leaving destroyed elements, caret objects,
// and the "{MARK " record with its damaged forms.
#include <gtest/gtest.h>

#include <string>

#include "ElementTreeFakes.h"
#include "document/tree/CaretPosition.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "tests/support/named_rows.h"

using namespace fakes;

namespace {

std::string markText(ElementPosition& pos) {
    KWorksheetWriter writer;
    writeMark(writer, pos);
    return writer.getBuffer();
}

TEST(MarkRecord, RootPositionWritesEmptyPath) {
    SmallTree t;
    ElementPosition pos(&t.doc);
    pos.setPosition(t.root, 0);
    EXPECT_EQ(markText(pos), "{MARK \"\" 0 }");
    ElementPosition back(&t.doc);
    back.setPosition(t.t4, 2);
    KWorksheetReader reader;
    reader.openMemory(markText(pos));
    EXPECT_TRUE(readMark(reader, back, t.root));
    EXPECT_EQ(back.heldElement(), t.root);
    EXPECT_EQ(back.offset(), 0);
}

TEST(MarkRecord, DetachedPositionWritesEmptyPath) {
    SmallTree t;
    ElementPosition pos(&t.doc);
    EXPECT_EQ(markText(pos), "{MARK \"\" 0 }");
}

TEST(MarkRecord, ThreeLevelsDownRootFirst) {
    SmallTree t;
    ElementPosition pos(&t.doc);
    pos.setPosition(t.t2, 2);
    EXPECT_EQ(markText(pos), "{MARK \"0 0 1\" 2 }");
    pos.setPosition(t.t3, 1);
    EXPECT_EQ(markText(pos), "{MARK \"1 0 0 0\" 1 }");
    ElementPosition back(&t.doc);
    KWorksheetReader reader;
    reader.openMemory(markText(pos));
    EXPECT_TRUE(readMark(reader, back, t.root));
    EXPECT_EQ(back.heldElement(), t.t3);
    EXPECT_EQ(back.offset(), 1);
}

using kelvo_test::PrintTo;

struct MarkReadCase {
    const char* name;
    const char* input;
    bool result;
    const char* element;   // where the position is afterwards
    int offset;
};

class MarkRead : public ::testing::TestWithParam<MarkReadCase> {};

TEST_P(MarkRead, DamagedAndOddRecords) {
    const MarkReadCase& c = GetParam();
    SmallTree t;
    ElementPosition pos(&t.doc);
    pos.setPosition(t.t4, 1);
    KWorksheetReader reader;
    reader.openMemory(std::string(c.input));
    EXPECT_EQ(readMark(reader, pos, t.root), c.result) << c.name;
    EXPECT_EQ(nameOf(pos.heldElement()), c.element) << c.name;
    EXPECT_EQ(pos.offset(), c.offset) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Records, MarkRead,
    ::testing::Values(
        MarkReadCase{"index_beyond_children", "{MARK \"0 5 0\" 1 }", false, "t4", 1},
        MarkReadCase{"root_index_beyond", "{MARK \"3\" 0 }", false, "t4", 1},
        MarkReadCase{"negative_index", "{MARK \"0 -1\" 0 }", false, "t4", 1},
        MarkReadCase{"twenty_digits", "{MARK \"11111111111111111111\" 0 }", false, "t4", 1},
        MarkReadCase{"ten_digit_overflow", "{MARK \"4294967296\" 0 }", false, "t4", 1},
        MarkReadCase{"letters", "{MARK \"0 a\" 0 }", false, "t4", 1},
        MarkReadCase{"digits_then_letters", "{MARK \"0x1\" 0 }", false, "t4", 1},
        MarkReadCase{"path_below_leaf", "{MARK \"0 0 0 0\" 0 }", false, "t4", 1},
        MarkReadCase{"offset_past_text_clamps", "{MARK \"0 0 0\" 99 }", true, "t1", 5},
        MarkReadCase{"negative_offset_clamps", "{MARK \"0 0 0\" -4 }", true, "t1", 5},
        MarkReadCase{"huge_offset_clamps", "{MARK \"0 0 1\" 99999999999999999999 }", true, "t2", 2},
        MarkReadCase{"offset_on_block_is_0", "{MARK \"1\" 3 }", true, "s2", 0},
        MarkReadCase{"text_offset_kept", "{MARK \"2 0 0\" 2 }", true, "t4", 2},
        MarkReadCase{"extra_fields_skipped", "{MARK \"0\" 0 7 \"x\\}\" }", true, "g1", 0},
        MarkReadCase{"double_blank", "{MARK \"0  0\" 0 }", true, "p1", 0},
        MarkReadCase{"other_record", "{VIEWOPTS 1 2 }", false, "t4", 1},
        MarkReadCase{"bare_name", "{MARK}", false, "t4", 1},
        MarkReadCase{"empty_input", "", false, "t4", 1},
        MarkReadCase{"truncated_path", "{MARK \"0 0", false, "t4", 1},
        MarkReadCase{"no_offset", "{MARK \"0\" }", false, "t4", 1},
        MarkReadCase{"unquoted_path", "{MARK 12 3 }", false, "t4", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkRecord, ReaderStaysInStepAfterDamagedRecords) {
    SmallTree t;
    ElementPosition pos(&t.doc);
    KWorksheetReader reader;
    reader.openMemory(std::string("{MARK \"9\" 0 }{VIEWOPTS \"a\\}\" 1 }{MARK \"0 1 0\" 2 }"));
    EXPECT_FALSE(readMark(reader, pos, t.root));
    EXPECT_FALSE(readMark(reader, pos, t.root));
    EXPECT_TRUE(readMark(reader, pos, t.root));
    EXPECT_EQ(pos.heldElement(), t.i1);
    EXPECT_EQ(pos.offset(), 2);
    EXPECT_FALSE(readMark(reader, pos, t.root));   // end of input
}

TEST(MarkRecord, NoRootAnswersFalse) {
    SmallTree t;
    ElementPosition pos(&t.doc);
    KWorksheetReader reader;
    reader.openMemory(std::string("{MARK \"\" 0 }"));
    EXPECT_FALSE(readMark(reader, pos, nullptr));
}

// ---- positions ---------------------------------------------------------------------------------

TEST(Positions, PlaceAtEndOf) {
    SmallTree t;
    ElementPosition pos(&t.doc);
    EXPECT_TRUE(pos.placeAtEndOf(t.root));
    EXPECT_EQ(pos.heldElement(), t.t4);
    EXPECT_EQ(pos.offset(), 3);
    // An empty block element gives way to its next sibling.
    auto* empty = new FakeGroup("empty");
    t.root->insertChild(empty, t.g1, kInsertAfter);
    pos.placeAtEndOf(empty);
    EXPECT_EQ(pos.heldElement(), t.s2);
    EXPECT_EQ(pos.offset(), 0);
    // A collapsed section is not entered.
    t.s2->setCollapsed(true);
    pos.placeAtEndOf(t.s2);
    EXPECT_EQ(pos.heldElement(), t.g3);
}

TEST(Positions, ElementIsToldWhenPositionLeaves) {
    SmallTree t;
    {
        ElementPosition pos(&t.doc);
        pos.setPosition(t.t1, 1);
        pos.setPosition(t.t2, 0);
        EXPECT_EQ(t.t1->released, 1);
        pos.detach(false);
        EXPECT_EQ(t.t2->released, 0);
        pos.setPosition(t.t2, 0);
    }
    EXPECT_EQ(t.t2->released, 1);   // the destructor detaches with notification
}

TEST(Positions, HoldAsPointResolvesAgain) {
    SmallTree t;
    t.layout();
    TextPosition pos(&t.doc);
    pos.setPosition(t.t3, 2);
    EXPECT_EQ(rectText(pos.rectangle()), "44 36 1 12");
    pos.holdAsPoint();
    EXPECT_TRUE(pos.pending);
    EXPECT_EQ(pos.elementIfResolved(), nullptr);
    EXPECT_EQ(pos.pendingX, 44);
    EXPECT_EQ(pos.pendingY, 42);
    EXPECT_EQ(pos.element(), t.t3);
    EXPECT_FALSE(pos.pending);
}

TEST(Positions, EqualsComparesElementAndRectangle) {
    SmallTree t;
    t.layout();
    TextPosition a(&t.doc), b(&t.doc);
    a.setPosition(t.t1, 1);
    b.setPosition(t.t1, 1);
    EXPECT_TRUE(a.equals(b));
    b.setPosition(t.t1, 2);
    EXPECT_FALSE(a.equals(b));
    b.setPosition(t.t2, 1);
    EXPECT_FALSE(a.equals(b));
}

TEST(Positions, LeaveDestroyedElements) {
    SmallTree t;
    t.layout();
    ElementPosition plain(&t.doc);
    TextPosition held(&t.doc);
    plain.setPosition(t.t3, 1);
    held.setPosition(t.t3, 1);
    held.rectangle();
    ElementPosition onGroup(&t.doc);
    onGroup.setPosition(t.g3, 0);
    t.root->removeChild(t.s2);   // deletes s2 and everything below it
    EXPECT_EQ(plain.heldElement(), nullptr);
    EXPECT_TRUE(held.pending);
    EXPECT_EQ(held.heldElement(), nullptr);
    EXPECT_EQ(onGroup.heldElement(), t.g3);
    // Resolved again: the point now lies in g3, which moved up into s2's place.
    EXPECT_EQ(held.element(), t.t4);
}

TEST(Positions, DirectDeleteAlsoReleases) {
    FakeParagraph p("p");
    auto* a = new FakeText("a", "abc");
    p.insertChild(a, nullptr, kInsertAfter);
    ElementPosition pos(a, 2);
    ASSERT_TRUE(p.removeChildAt(0));
    delete a;
    EXPECT_EQ(pos.heldElement(), nullptr);
}

TEST(CaretObjects, CaptureAndRestore) {
    SmallTree t;
    ElementPosition pos(&t.doc);
    pos.setPosition(t.t2, 1);
    CaretHandle handle;
    EXPECT_TRUE(pos.captureCaret(handle, false));
    ASSERT_NE(handle.single(), nullptr);
    EXPECT_FALSE(handle.single()->isViewCaret);
    pos.setPosition(t.t4, 0);
    pos.restoreFromCaret(handle);
    EXPECT_EQ(pos.heldElement(), t.t2);
    // Shared holders: a second handle keeps the position alive after the first lets go.
    CaretHandle copy = handle;
    handle.release();
    ASSERT_NE(copy.position(), nullptr);
    // The captured element goes away: restoring leaves the position alone.
    pos.setPosition(t.t4, 0);
    t.p1->removeChild(t.t2);
    pos.restoreFromCaret(copy);
    EXPECT_EQ(pos.heldElement(), t.t4);
    ElementPosition detached(&t.doc);
    CaretHandle none;
    EXPECT_FALSE(detached.captureCaret(none, false));
    EXPECT_TRUE(none.hasHolder());
    EXPECT_EQ(none.position(), nullptr);
}

}  // namespace
