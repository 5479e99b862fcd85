// One-line inputs: the "KLVTEXT" record, the collected input, the caret offset, Enter through
// the group, typing, palette templates, placeholder jumps, the context-menu entries, the update
// of old input and the LaTeX export, on the headless view of the text fixture.
#include "document/elements/InputTextElement.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "document/elements/ExpressionEditElement.h"
#include "document/records/KExportWriter.h"
#include "document/records/KWorksheetReader.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/ContainerElement.h"
#include "tests/document/document_env.h"
#include "tests/document/elements/text_fixture.h"
#include "util/KString.h"
#include "util/errjump.h"

namespace {

using namespace textfixture;

// An execution group that notes the commands it receives and answers `answer`.
class NotingGroup : public ContainerElement {
public:
    Element* cloneElement() const override { return new NotingGroup; }
    int elementKind() const override { return KIND_GROUP; }
    bool command(int code, const char* text, std::intptr_t argument) override {
        noted.push_back({code, argument});
        (void)text;
        return answer;
    }
    struct Noted {
        int code;
        std::intptr_t argument;
    };
    std::vector<Noted> noted;
    bool answer = true;
};

class InputFixture : public TextFixture {
protected:
    void SetUp() override {
        TextFixture::SetUp();
        registerParagraphReaders();
    }
    void TearDown() override {
        worksheetTagTable.resetReadState();
        TextFixture::TearDown();
    }
    InputTextElement* input(const char* text, int active = 1) {
        auto* e = new InputTextElement(active, text);
        paragraph({e});
        layoutAt(400);
        return e;
    }
    void at(Element* e, int offset) { caret().setPosition(e, offset); }
    std::string write(InputTextElement& e, bool markedOnly) {
        KWorksheetWriter writer;
        WalkControl control;
        control.writer = &writer;
        control.flags = markedOnly ? WALK_MARKED_ONLY : 0;
        control.storePass(PASS_LEAF);
        e.writeElement(control);
        return writer.getBuffer();
    }
    // Reads the first record of `bytes` through the tag table; null when it yields none.
    std::unique_ptr<Element> read(const std::string& bytes, int major = 3, int minor = 0) {
        reader_.openMemory(bytes);
        reader_.majorVersion = major;
        reader_.minorVersion = minor;
        Element* out = nullptr;
        int depth = errjump_depth();
        EXPECT_TRUE(worksheetTagTable.readNewRep(reader_, out, nullptr, false, nullptr));
        EXPECT_EQ(errjump_depth(), depth);
        return std::unique_ptr<Element>(out);
    }
    // The next record of the same read.
    std::unique_ptr<Element> readNext() {
        Element* out = nullptr;
        worksheetTagTable.readNewRep(reader_, out, nullptr, false, nullptr);
        return std::unique_ptr<Element>(out);
    }
    static InputTextElement* asInput(const std::unique_ptr<Element>& e) { return dynamic_cast<InputTextElement*>(e.get()); }

    KWorksheetReader reader_;
};

// ---- the record ------------------------------------------------------------------------------------

using InputRecord = InputFixture;

TEST_F(InputRecord, RoundTripsByteForByte) {
    struct Row {
        const char* name;
        int active;
        const char* text;
        int markStart, markEnd;   // -1: not marked
        const char* partText;     // what a marked-only write holds
    } rows[] = {
        {"active", 1, "x:=1;", -1, -1, "x:=1;"},
        {"inert", 0, "a+b;", -1, -1, "a+b;"},
        {"empty", 1, "", -1, -1, ""},
        {"quotes and backslashes", 1, "printf(\"%a\\n\", x);", -1, -1, "printf(\"%a\\n\", x);"},
        {"marked part", 1, "int(x^2, x);", 4, 7, "x^2"},
        {"marked part of an inert input", 0, "a+b+c", 2, 3, "b"},
    };
    for (const Row& r : rows) {
        InputTextElement e(r.active, r.text);
        if (r.markStart >= 0) e.setMarkRange(r.markStart, r.markEnd);
        const std::string whole = write(e, false);
        std::unique_ptr<Element> back = read(whole);
        ASSERT_NE(asInput(back), nullptr) << r.name;
        EXPECT_EQ(asInput(back)->active(), r.active != 0) << r.name;
        EXPECT_STREQ(asInput(back)->text(), r.text) << r.name;
        EXPECT_EQ(asInput(back)->styleIndex(), r.active ? InputTextElement::ACTIVE_STYLE : InputTextElement::INERT_STYLE)
            << r.name;
        EXPECT_EQ(write(*asInput(back), false), whole) << r.name;
        // A marked-only write holds the marked bytes, and reads back as an input of them.
        std::unique_ptr<Element> part = read(write(e, true));
        ASSERT_NE(asInput(part), nullptr) << r.name;
        EXPECT_STREQ(asInput(part)->text(), r.partText) << r.name;
        EXPECT_EQ(asInput(part)->active(), r.active != 0) << r.name;
    }
}

TEST_F(InputRecord, FieldsInTheirOrder) {
    InputTextElement inert(0, "a b");
    EXPECT_EQ(write(inert, false), "{KLVTEXT 0 21 3 \"a b\" }");
}

TEST_F(InputRecord, TrailingValueOfTwoPointZeroAndWhatFollows) {
    struct Row {
        const char* name;
        const char* record;
        int major, minor;
    } rows[] = {
        {"2.0 trailing 2 and two integers", "{KLVTEXT 1 0 3 \"abc\" 2 7 8 }", 2, 0},
        {"2.0 trailing 0", "{KLVTEXT 1 0 3 \"abc\" 0 }", 2, 0},
        {"2.0 without a trailing value", "{KLVTEXT 1 0 3 \"abc\" }", 2, 0},
        {"3.0 skips extra fields", "{KLVTEXT 1 0 3 \"abc\" 2 7 8 }", 3, 0},
        {"2.1 skips extra fields", "{KLVTEXT 1 0 3 \"abc\" 2 7 8 }", 2, 1},
    };
    for (const Row& r : rows) {
        std::unique_ptr<Element> first = read(std::string(r.record) + "{KLVTEXT 0 21 1 \"z\" }}", r.major, r.minor);
        ASSERT_NE(asInput(first), nullptr) << r.name;
        EXPECT_STREQ(asInput(first)->text(), "abc") << r.name;
        std::unique_ptr<Element> second = readNext();
        ASSERT_NE(asInput(second), nullptr) << r.name;
        EXPECT_STREQ(asInput(second)->text(), "z") << r.name;
        EXPECT_FALSE(asInput(second)->active()) << r.name;
    }
}

TEST_F(InputRecord, StyleIndexesFromAFile) {
    int renumbered = charStyle([](CharStyle& s) { s.bold = 1; });
    worksheetTagTable.resetReadState();
    worksheetTagTable.styleSet = doc->styleSet();
    worksheetTagTable.charStyleRenumber.assign(512, 0);
    worksheetTagTable.charStyleRenumber[400] = renumbered;
    struct Row {
        const char* name;
        const char* index;
        int major;
        int expected;
    } rows[] = {
        {"built-in", "0", 3, 0},
        {"renumbered through the file's map", "400", 3, renumbered},
        {"unknown to the document keeps its number", "450", 3, 450},
        {"beyond the map keeps its number", "5000", 3, 5000},
        {"format 1 is not renumbered", "400", 1, 400},
        {"beyond 16 bits", "70000", 3, -1},
        {"two billion", "2000000000", 3, -1},
        {"below -1", "-7", 3, -1},
    };
    for (const Row& r : rows) {
        std::unique_ptr<Element> e = read(std::string("{KLVTEXT 1 ") + r.index + " 1 \"x\" }", r.major);
        ASSERT_NE(asInput(e), nullptr) << r.name;
        EXPECT_EQ(asInput(e)->styleIndex(), r.expected) << r.name;
        // Looking an index up never grows a map.
        EXPECT_EQ(worksheetTagTable.charStyleRenumber.size(), 512u) << r.name;
    }
}

TEST_F(InputRecord, DamagedRecordsGiveNoElementAndTheReadGoesOn) {
    struct Row {
        const char* name;
        const char* record;
        bool readOn;   // a following record is still read
    } rows[] = {
        {"flag not a number", "{KLVTEXT x 0 1 \"a\" }", true},
        {"style not a number", "{KLVTEXT 1 s 1 \"a\" }", true},
        {"record cut short", "{KLVTEXT 1 }", true},
    };
    for (const Row& r : rows) {
        KWorksheetReader reader;
        reader.openMemory(std::string(r.record) + "{KLVTEXT 1 0 1 \"z\" }}");
        reader.majorVersion = 3;
        int depth = errjump_depth();
        Element* out = nullptr;
        worksheetTagTable.readNewRep(reader, out, nullptr, false, nullptr);
        std::unique_ptr<Element> first(out);
        EXPECT_EQ(first, nullptr) << r.name;
        EXPECT_EQ(errjump_depth(), depth) << r.name;
        if (!r.readOn) continue;
        Element* next = nullptr;
        worksheetTagTable.readNewRep(reader, next, nullptr, false, nullptr);
        std::unique_ptr<Element> second(next);
        ASSERT_NE(asInput(second), nullptr) << r.name;
        EXPECT_STREQ(asInput(second)->text(), "z") << r.name;
    }
}

// ---- the input a group collects --------------------------------------------------------------------

using InputCollecting = InputFixture;

TEST_F(InputCollecting, ActiveAddsItsTextAndANewlineInertNothing) {
    struct Row {
        int active;
        const char* text;
        const char* collected;
        int length;
    } rows[] = {{1, "x:=1;", "x:=1;\n", 6}, {1, "", "\n", 1}, {0, "x:=1;", "", 0}, {0, "", "", 0}};
    for (const Row& r : rows) {
        InputTextElement e(r.active, r.text);
        KString text;
        e.collectInputText(text);
        EXPECT_STREQ(text.text(), r.collected) << r.text << " active " << r.active;
        EXPECT_EQ(e.inputTextLength(), r.length) << r.text << " active " << r.active;
    }
}

TEST_F(InputCollecting, CaretOffsetCountsFromOneAndOutOfRangeGoesToTheEnd) {
    InputTextElement* e = input("abcdef");
    struct Row {
        int offset, expected;
    } rows[] = {{0, 6}, {-3, 6}, {1, 1}, {3, 3}, {5, 5}, {6, 6}, {99, 6}};
    for (const Row& r : rows) {
        at(e, 2);
        e->setCaretOffset(r.offset);
        EXPECT_EQ(caret().heldElement(), e) << r.offset;
        EXPECT_EQ(caret().offset(), r.expected) << r.offset;
    }
}

// ---- Enter -------------------------------------------------------------------------------------------

class InputEnter : public InputFixture {
protected:
    void SetUp() override {
        InputFixture::SetUp();
        saved_ = ParagraphElement::makeExecutionGroup;
        ParagraphElement::makeExecutionGroup = [](Element* first) -> Element* {
            auto* g = new NotingGroup;
            g->insertChild(first, nullptr, kInsertAfter);
            return g;
        };
    }
    void TearDown() override {
        ParagraphElement::makeExecutionGroup = saved_;
        InputFixture::TearDown();
    }
    Element* (*saved_)(Element*) = nullptr;
};

TEST_F(InputEnter, ReachesTheEnclosingGroupAsCommandZero) {
    auto* group = new NotingGroup;
    root->insertChild(group, nullptr, kInsertAfter);
    auto* p = new ParagraphElement(plainStyle, nullptr);
    auto* e = new InputTextElement(1, "1+2;");
    p->insertChild(e, nullptr, kInsertAfter);
    group->insertChild(p, nullptr, kInsertAfter);
    layoutAt(400);
    for (bool answer : {true, false}) {
        group->noted.clear();
        group->answer = answer;
        EXPECT_EQ(e->command(0, nullptr, 0), answer);
        ASSERT_EQ(group->noted.size(), 1u);
        EXPECT_EQ(group->noted[0].code, 0);
        EXPECT_EQ(group->noted[0].argument, 1);
    }
}

TEST_F(InputEnter, OutsideAnyGroupTheParagraphIsWrappedFirst) {
    InputTextElement* e = input("1+2;");
    ParagraphElement* p = e->paragraph();
    EXPECT_TRUE(e->command(0, nullptr, 0));
    auto* group = dynamic_cast<NotingGroup*>(p->parent());
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->parent(), root);
    ASSERT_EQ(group->noted.size(), 1u);
    EXPECT_EQ(group->noted[0].code, 0);
}

TEST_F(InputEnter, InertInputDoesNotRun) {
    InputTextElement* e = input("1+2;", 0);
    ParagraphElement* p = e->paragraph();
    EXPECT_FALSE(e->command(0, nullptr, 0));
    EXPECT_EQ(p->parent(), root);
}

// ---- typing and the codes an input refuses -----------------------------------------------------------

using InputTyping = InputFixture;

TEST_F(InputTyping, TypingAndDeletingThroughTheCaret) {
    struct Row {
        const char* name;
        const char* before;
        int offset;
        int code;
        const char* text;
        const char* after;
        int caretAfter;
    } rows[] = {
        {"a character", "1+;", 2, 10, "2", "1+2;", 3},
        {"a text", "x;", 1, 9, ":=1", "x:=1;", 4},
        {"at the end", "1+2", 3, 10, ";", "1+2;", 4},
        {"delete forward", "1+22;", 3, 11, "", "1+2;", 3},
        {"backspace", "1+22;", 4, 11, "\x01", "1+2;", 3},
    };
    for (const Row& r : rows) {
        InputTextElement* e = input(r.before);
        at(e, r.offset);
        EXPECT_TRUE(caret().dispatchCommand(r.code, r.text, 0)) << r.name;
        EXPECT_STREQ(e->text(), r.after) << r.name;
        EXPECT_EQ(caret().heldElement(), e) << r.name;
        EXPECT_EQ(caret().offset(), r.caretAfter) << r.name;
    }
}

TEST_F(InputTyping, StyleSplitAndFormatCodesAreRefused) {
    InputTextElement* e = input("abc");
    at(e, 1);
    for (int code : {3, 23, 31, 40, 12, 99}) {
        EXPECT_FALSE(e->command(code, "x", 0)) << code;
        EXPECT_STREQ(e->text(), "abc") << code;
        EXPECT_EQ(e->styleIndex(), InputTextElement::ACTIVE_STYLE) << code;
    }
}

TEST_F(InputTyping, SplitsKeepTheFlagAndStyle) {
    InputTextElement* e = input("abcdef", 0);
    ParagraphElement* p = e->paragraph();
    ElementPosition start(e, 0);
    EXPECT_EQ(e->splitAt(start), e);
    ElementPosition end(e, 6);
    EXPECT_EQ(e->splitAt(end), nullptr);   // nothing follows it in the paragraph
    ElementPosition middle(e, 2);
    auto* tail = dynamic_cast<InputTextElement*>(e->splitAt(middle));
    ASSERT_NE(tail, nullptr);
    EXPECT_STREQ(e->text(), "ab");
    EXPECT_STREQ(tail->text(), "cdef");
    EXPECT_FALSE(tail->active());
    EXPECT_EQ(tail->styleIndex(), InputTextElement::INERT_STYLE);
    EXPECT_EQ(p->childAt(1), tail);
}

// ---- palette templates --------------------------------------------------------------------------------

using InputTemplates = InputFixture;

TEST_F(InputTemplates, PlaceholdersAndTheMarkedTarget) {
    struct Row {
        const char* name;
        const char* before;
        int markStart, markEnd;   // -1: the caret at markStart's place is `caretAt`
        int caretAt;
        const char* pattern;
        const char* after;
        const char* marked;
    } rows[] = {
        {"into an empty input", "", -1, -1, 0, "int(%s, %c)", "int(%?, %?);", "%?"},
        {"marked text takes %s, %c is marked", "x+1", 0, 3, 0, "(%s^%c)", "(x+1^%?)", "%?"},
        {"marked part inside a longer text", "a+x+1;", 2, 5, 0, "(%s^%c)", "a+(x+1^%?);", "%?"},
        {"marked placeholder is replaced without substitution", "a+%?;", 2, 4, 0, "(%s^%c)", "a+(%?^%?);", "%?"},
        {"marked double placeholder likewise", "a+%??;", 2, 5, 0, "sqrt(%c)", "a+sqrt(%?);", "%?"},
        {"at the caret without a mark", "a+;", -1, -1, 2, "sin(%?)", "a+sin(%?);", "%?"},
        {"a template without marks marks nothing", "a+;", -1, -1, 2, "Pi", "a+Pi;", ""},
        {"marked text without %c: the caret after the template", "y", 0, 1, 0, "abs(%s)", "abs(y)", ""},
    };
    for (const Row& r : rows) {
        InputTextElement* e = input(r.before);
        if (r.markStart >= 0) e->selectRange(r.markStart, r.markEnd);
        else at(e, r.caretAt);
        EXPECT_TRUE(e->command(48, r.pattern, InputTextElement::PALETTE_TEMPLATE)) << r.name;
        EXPECT_STREQ(e->text(), r.after) << r.name;
        std::string marked(e->text() + e->markStart(), std::size_t(e->markEnd() - e->markStart()));
        EXPECT_EQ(marked, r.marked) << r.name;
        EXPECT_EQ(caret().heldElement(), e) << r.name;
        EXPECT_EQ(caret().offset(), e->markEnd()) << r.name;
    }
}

TEST_F(InputTemplates, FirstOfSeveralIsMarkedAndOneUndoStepTakesItBack) {
    InputTextElement* e = input("");
    at(e, 0);
    const std::string before = written();
    inGroup("Palette", [&] { EXPECT_TRUE(e->command(48, "int(%s, %c)", InputTextElement::PALETTE_TEMPLATE)); });
    EXPECT_EQ(e->markStart(), 4);
    EXPECT_EQ(e->markEnd(), 6);
    doc->undoHistory()->undo(nullptr);
    EXPECT_EQ(written(), before);
}

TEST_F(InputTemplates, OtherPositionsOrNoCaretInsertNothing) {
    InputTextElement* e = input("abc");
    at(e, 1);
    EXPECT_FALSE(e->command(48, "sin(%s)", 1234));
    EXPECT_FALSE(e->command(48, nullptr, InputTextElement::PALETTE_TEMPLATE));
    InputTextElement* other = input("xyz");
    at(other, 1);
    EXPECT_FALSE(e->command(48, "sin(%s)", InputTextElement::PALETTE_TEMPLATE));
    EXPECT_STREQ(e->text(), "abc");
}

// ---- placeholder jumps ----------------------------------------------------------------------------------

using InputJumps = InputFixture;

TEST_F(InputJumps, NextAndPreviousPlaceholder) {
    // "f(%?, %?)": placeholders at 2 and 6.
    struct Row {
        const char* name;
        int code;
        int caretAt;
        int markStart, markEnd;   // -1: no mark before the jump
        bool handled;
        int startAfter, endAfter;
    } rows[] = {
        {"next from the start", 14, 0, -1, -1, true, 2, 4},
        {"next from a marked placeholder", 14, 4, 2, 4, true, 6, 8},
        {"next from the last marked placeholder goes to the end", 14, 8, 6, 8, true, 9, 9},
        {"next at the end leaves the element", 14, 9, -1, -1, false, 0, 0},
        {"previous from the end", 15, 9, -1, -1, true, 6, 8},
        {"previous from a marked placeholder", 15, 8, 6, 8, true, 2, 4},
        {"previous from the first marked placeholder goes to the start", 15, 4, 2, 4, true, 0, 0},
        {"previous at the start leaves the element", 15, 0, -1, -1, false, 0, 0},
    };
    for (const Row& r : rows) {
        InputTextElement* e = input("f(%?, %?)");
        if (r.markStart >= 0) e->selectRange(r.markStart, r.markEnd);
        else at(e, r.caretAt);
        TextPosition position(e, r.caretAt);
        EXPECT_EQ(e->movePosition(position, r.code, nullptr, -1), r.handled) << r.name;
        if (!r.handled) continue;
        if (r.startAfter == r.endAfter) {
            EXPECT_EQ(e->mark, 0) << r.name;
            EXPECT_EQ(caret().offset(), r.startAfter) << r.name;
        } else {
            EXPECT_EQ(e->markStart(), r.startAfter) << r.name;
            EXPECT_EQ(e->markEnd(), r.endAfter) << r.name;
        }
    }
}

TEST_F(InputJumps, WithoutPlaceholdersTheEdgeOnceThenOut) {
    InputTextElement* e = input("abc");
    at(e, 1);
    TextPosition position(e, 1);
    EXPECT_TRUE(e->movePosition(position, 14, nullptr, -1));
    EXPECT_EQ(caret().offset(), 3);
    TextPosition atEnd(e, 3);
    EXPECT_FALSE(e->movePosition(atEnd, 14, nullptr, -1));
    at(e, 1);
    TextPosition back(e, 1);
    EXPECT_TRUE(e->movePosition(back, 15, nullptr, -1));
    EXPECT_EQ(caret().offset(), 0);
    TextPosition atStart(e, 0);
    EXPECT_FALSE(e->movePosition(atStart, 15, nullptr, -1));
}

// ---- context menu --------------------------------------------------------------------------------------------

using InputMenu = InputFixture;

TEST_F(InputMenu, ToggleActiveTwiceRestoresStyleZeroOneUndoStepEach) {
    InputTextElement* e = input("x:=1;");
    at(e, 1);
    const std::string activeBytes = written();
    EXPECT_TRUE(e->command(16, nullptr, InputTextElement::MENU_KELVO_INPUT));
    EXPECT_FALSE(e->active());
    EXPECT_EQ(e->styleIndex(), InputTextElement::INERT_STYLE);
    const std::string inertBytes = written();
    EXPECT_TRUE(e->runContextMenuEntry(InputTextElement::MENU_KELVO_INPUT));
    EXPECT_TRUE(e->active());
    EXPECT_EQ(e->styleIndex(), InputTextElement::ACTIVE_STYLE);
    EXPECT_EQ(written(), activeBytes);
    EXPECT_EQ(doc->undoHistory()->groupCount(), 2);
    doc->undoHistory()->undo(nullptr);
    EXPECT_EQ(written(), inertBytes);
    doc->undoHistory()->undo(nullptr);
    EXPECT_EQ(written(), activeBytes);
}

TEST_F(InputMenu, StandardMathPutsAnExpressionEditElementInItsPlace) {
    for (int active : {1, 0}) {
        InputTextElement* e = input("int(x^2, x);", active);
        ParagraphElement* p = e->paragraph();
        at(e, 3);
        EXPECT_TRUE(e->runContextMenuEntry(InputTextElement::MENU_STANDARD_MATH));
        ASSERT_EQ(p->childCount(), 1);
        auto* edit = dynamic_cast<ExpressionEditElement*>(p->childAt(0));
        ASSERT_NE(edit, nullptr);
        EXPECT_STREQ(edit->text(), "int(x^2, x);");
        EXPECT_EQ(edit->value(), active);
        EXPECT_NE(caret().heldElement(), static_cast<Element*>(e));
    }
}

TEST_F(InputMenu, RepairReplacesTheTextOrBeeps) {
    struct Row {
        const char* name;
        const char* before;
        const char* after;
        bool beeps;
    } rows[] = {
        {"a missing bracket is repaired", "x := (1;", "x := (1);", false},
        {"a text that parses as it is stays and beeps", "x := 1;", "x := 1;", true},
    };
    for (const Row& r : rows) {
        InputTextElement* e = input(r.before);
        at(e, 2);
        const std::string before = written();
        const int groups = doc->undoHistory()->groupCount();
        const int beeps = view->window()->beeps;
        EXPECT_TRUE(e->runContextMenuEntry(InputTextElement::MENU_REPAIR)) << r.name;
        EXPECT_STREQ(e->text(), r.after) << r.name;
        EXPECT_EQ(view->window()->beeps > beeps, r.beeps) << r.name;
        if (r.beeps) continue;
        // The repair is one undo step.
        EXPECT_EQ(doc->undoHistory()->groupCount(), groups + 1) << r.name;
        doc->undoHistory()->undo(nullptr);
        EXPECT_EQ(written(), before) << r.name;
    }
    InputTextElement* e = input("x;");
    EXPECT_FALSE(e->runContextMenuEntry(9999));
}

TEST_F(InputMenu, TheCaretArrivingShowsTheInputBarForTheInput) {
    InputTextElement* e = input("x", 0);
    at(e, 1);
    std::vector<TestWindow::ContextBar>& bars = view->window()->contextBars;
    bars.clear();
    EXPECT_TRUE(caret().dispatchCommand(10, "y", 0));
    ASSERT_FALSE(bars.empty());
    EXPECT_EQ(bars.back().index, InputTextElement::INPUT_CONTEXT_BAR);
    EXPECT_EQ(bars.back().owner, e);
}

// ---- updating old input ----------------------------------------------------------------------------------------

using InputUpdate = InputFixture;

TEST_F(InputUpdate, RewritesInputOfThePreviousReleaseAndKeepsTextOnFailure) {
    struct Row {
        const char* name;
        const char* before;
        const char* after;
        bool failed;
    } rows[] = {
        {"renamed function", "a := rgf_seq(1, 2);", "a := ratseq(1, 2);", false},
        {"ditto", "x := \"+1;", "x := %+1;", false},
        {"parameter colon", "f := proc(x:integer) x end;", "f := proc(x::integer) x end;", false},
        {"current input stays", "y := x^2;", "y := x^2;", false},
        // The update rewrites the first line before the second fails to parse: the input keeps
        // what the user wrote.
        {"failure half-way", "a := rgf_seq;\nx := (1;", "a := rgf_seq;\nx := (1;", true},
        {"premature end", "a := rgf_seq;\nx := 1", "a := rgf_seq;\nx := 1", true},
    };
    for (const Row& r : rows) {
        InputTextElement e(1, r.before);
        WalkControl control;
        control.storePass(PASS_LEAF);
        e.updateInputSyntax(control);
        EXPECT_STREQ(e.text(), r.after) << r.name;
        EXPECT_EQ(!e.updateMessage().empty(), r.failed) << r.name << ": " << e.updateMessage();
    }
}

// ---- exports -----------------------------------------------------------------------------------------------------

using InputExport = InputFixture;

TEST_F(InputExport, LatexMacroWithItsEscapes) {
    struct Row {
        const char* name;
        int active;
        const char* text;
        const char* expected;
    } rows[] = {
        {"active", 1, "x:=1;", "\\kelvoinline{active}{1d}{x:=1;}{%\r\n}"},
        {"inert", 0, "a+b", "\\kelvoinline{inert}{1d}{a+b}{%\r\n}"},
        {"braces and backslashes", 1, "f:={a}\\b;", "\\kelvoinline{active}{1d}{f:=\\{a\\}\\\\b;}{%\r\n}"},
        {"empty gives nothing", 1, "", ""},
    };
    for (const Row& r : rows) {
        InputTextElement e(r.active, r.text);
        std::ostringstream out;
        KLatexExportWriter writer(&out, 0);
        WalkControl control;
        control.exportWriter = &writer;
        control.storePass(PASS_LEAF);
        e.exportLatexElement(control);
        writer.writeString("", true);
        EXPECT_EQ(out.str(), r.expected) << r.name;
    }
}

TEST_F(InputExport, PlainTextWithoutThePendingPrefix) {
    InputTextElement* e = input("x:=1;");
    std::ostringstream out;
    KExportWriter writer(&out, 0);
    // In an input paragraph the line starts with the input prefix; a text run would switch it
    // to the text prefix, an input does not.
    writer.setLinePrefixMode(1);
    WalkControl control;
    control.exportWriter = &writer;
    control.storePass(PASS_LEAF);
    e->exportText(control);
    writer.writeString("", true);
    EXPECT_EQ(out.str(), "> x:=1;");
    e->setMarkRange(3, 4);
    std::ostringstream part;
    KExportWriter partWriter(&part, 0);
    control.exportWriter = &partWriter;
    control.flags = WALK_MARKED_ONLY;
    e->exportText(control);
    partWriter.writeString("", true);
    EXPECT_EQ(part.str(), "1");
}

}  // namespace
