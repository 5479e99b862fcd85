// Editing text runs and paragraphs through the caret: moves, marking, typing, deleting,
// splitting, style commands, read-only styles, and undo and redo of random edit sequences.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "document/elements/FormatCommand.h"
#include "document/elements/TextCaret.h"
#include "platform/os/sysprobe.h"
#include "tests/document/elements/text_fixture.h"

namespace {

using namespace textfixture;

std::string textsOf(Element* p) {
    std::string out;
    for (int i = 0; i < p->childCount(); ++i) {
        if (i) out += '|';
        if (auto* t = dynamic_cast<TextElement*>(p->childAt(i))) out += t->text();
    }
    return out;
}

// A paragraph that notes the commands that reach it.
class NotingParagraph : public ParagraphElement {
public:
    explicit NotingParagraph(int style) : ParagraphElement(style, nullptr) {}
    bool command(int code, const char* text, std::intptr_t argument) override {
        noted.push_back({code, text ? text : "", argument});
        return ParagraphElement::command(code, text, argument);
    }
    struct Noted {
        int code;
        std::string text;
        std::intptr_t argument;
    };
    std::vector<Noted> noted;
};

class TextEditing : public TextFixture {
protected:
    bool run(int code, const char* text = nullptr, std::intptr_t argument = 0) {
        return caret().dispatchCommand(code, text, argument);
    }
    void at(Element* e, int offset) { caret().setPosition(e, offset); }
    int beeps() const { return view->window()->beeps; }
};

// ---- deleting --------------------------------------------------------------------------------------

TEST_F(TextEditing, EdgeDeletesReachTheParagraphWithTheRunAndLeaveItAlone) {
    struct Row {
        const char* name;
        const char* key;   // "x" Backspace, "" Delete
        int offset;
    } rows[] = {{"Backspace at the start", "x", 0}, {"Delete at the end", "", 5}};
    for (const Row& r : rows) {
        auto* p = new NotingParagraph(plainStyle);
        auto* t = new TextElement(-1, "hello");
        p->insertChild(t, nullptr, kInsertAfter);
        root->insertChild(p, nullptr, kInsertAfter);
        layoutAt(300);
        at(t, r.offset);
        run(11, r.key);
        ASSERT_FALSE(p->noted.empty()) << r.name;
        EXPECT_EQ(p->noted[0].code, 11) << r.name;
        EXPECT_EQ(p->noted[0].text, r.key) << r.name;
        EXPECT_EQ(p->noted[0].argument, reinterpret_cast<std::intptr_t>(t)) << r.name;
        EXPECT_STREQ(t->text(), "hello") << r.name;
        root->removeChild(p);
    }
}

TEST_F(TextEditing, OneCharacterRunThatIsNotAloneIsRemoved) {
    struct Row {
        const char* name;
        const char* key;
        int offset;
    } rows[] = {{"Backspace", "x", 1}, {"Delete", "", 0}};
    for (const Row& r : rows) {
        auto* x = new TextElement(-1, "x");
        ParagraphElement* p = paragraph({new TextElement(-1, "ab"), x, new TextElement(-1, "cd")});
        layoutAt(300);
        at(x, r.offset);
        EXPECT_TRUE(run(11, r.key)) << r.name;
        EXPECT_EQ(textsOf(p), "ab|cd") << r.name;
        root->removeChild(p);
    }
}

TEST_F(TextEditing, TypingAndDeletingInsideARun) {
    auto* t = new TextElement(-1, "held");
    ParagraphElement* p = paragraph({t});
    layoutAt(300);
    at(t, 2);
    EXPECT_TRUE(run(9, "XY"));
    EXPECT_STREQ(t->text(), "heXYld");
    EXPECT_EQ(caret().offset(), 4);
    EXPECT_TRUE(run(10, "Z"));
    EXPECT_STREQ(t->text(), "heXYZld");
    EXPECT_TRUE(run(11, "x"));   // Backspace
    EXPECT_STREQ(t->text(), "heXYld");
    EXPECT_EQ(caret().offset(), 4);
    EXPECT_TRUE(run(11, ""));    // Delete
    EXPECT_STREQ(t->text(), "heXYd");
    // The re-fitted piece is as wide as a full layout makes it.
    EXPECT_EQ(p->lineAt(0)->pieces[0].extent.width, 50);
    p->markNeedsLayout();
    layoutAt(300);
    EXPECT_EQ(p->lineAt(0)->pieces[0].extent.width, 50);
}

TEST_F(TextEditing, WhollyMarkedOnlyChildIsEmptiedNotRemoved) {
    auto* t = new TextElement(-1, "gone");
    ParagraphElement* p = paragraph({t});
    layoutAt(300);
    at(t, 0);
    t->setMarkRange(0, 4);
    ASSERT_EQ(t->mark, 1);
    EXPECT_TRUE(run(11, ""));
    EXPECT_EQ(p->childCount(), 1);
    EXPECT_EQ(p->firstChild(), t);
    EXPECT_STREQ(t->text(), "");
    EXPECT_EQ(t->mark, 0);
}

TEST_F(TextEditing, MarksStayWithinAShrunkText) {
    auto* t = new TextElement(-1, "abcdefgh");
    paragraph({t});
    layoutAt(300);
    t->setMarkRange(2, 7);
    TextCaretRange range(t, false);
    range.start().setOffset(t, 0);
    range.end().setOffset(t, 6);
    t->deleteRange(range);
    EXPECT_STREQ(t->text(), "gh");
    EXPECT_LE(t->markEnd(), t->textLength());
    EXPECT_LE(t->markStart(), t->markEnd());
    // Drawing, counting and writing the marked part stay inside the text.
    t->selectionMarkChanged(2);
    CharacterCounts counts{};
    WalkControl control;
    control.characterCounts = &counts;
    control.flags = WALK_MARKED_ONLY;
    control.storePass(PASS_LEAF);
    t->countCharacters(control);
    int total = 0;
    for (int c : counts) total += c;
    EXPECT_LE(total, 2);
    // A position past the end deletes nothing.
    TextCaret past(t, false);
    past.setOffset(10);
    t->deleteAtPosition(past);
    EXPECT_STREQ(t->text(), "gh");
}

TEST_F(TextEditing, FitTestAndRangeExtentReadTheTextRange) {
    auto* t = new TextElement(-1, "ab cd ef");
    paragraph({t});
    layoutAt(300);
    struct Row {
        const char* name;
        int maxWidth;
        int after;   // the range the scan starts after; -1 none
        bool fits;
        int start, end;
    } rows[] = {
        {"from the start up to the last blank", 45, -1, true, 0, 3},
        {"after a range ending in this run", 45, 3, true, 4, 6},
        {"no break position: one character", 15, 5, true, 6, 7},
        {"no room at all", 0, -1, false, 0, 0},
    };
    for (const Row& r : rows) {
        CaretHandle given;
        if (r.after >= 0) {
            t->createCaretRange(given, false, false);
            given.range()->start().setOffset(t, 0);
            given.range()->end().setOffset(t, r.after);
        }
        CaretHandle made = given;
        EXPECT_EQ(t->fitsWithin(r.maxWidth, given.range(), made), r.fits) << r.name;
        if (!r.fits) continue;
        ASSERT_NE(made.range(), nullptr) << r.name;
        EXPECT_EQ(made.range()->startOffset(), r.start) << r.name;
        EXPECT_EQ(made.range()->endOffset(), r.end) << r.name;
        // The made range's extent is its bytes' width in the fixed metrics.
        EXPECT_EQ(t->rangeExtent(made.range(), view.get()).width, (r.end - r.start) * kByteWidth) << r.name;
    }
    EXPECT_EQ(t->rangeExtent(nullptr, view.get()).width, t->textLength() * kByteWidth);
}

// ---- moves and marking -----------------------------------------------------------------------------

TEST_F(TextEditing, MarkedOnlyRangesCoverTheMarkedBytes) {
    struct Row {
        const char* name;
        int markFrom, markTo;   // setMarkRange; -1: no mark at all
        bool hasRange;
        int start, end;
    } rows[] = {
        {"unmarked", -1, -1, false, 0, 0},
        {"partly marked", 2, 5, true, 2, 5},
        {"marked to the end", 3, 8, true, 3, 8},
        {"wholly marked", 0, 8, true, 0, 8},
    };
    for (const Row& r : rows) {
        auto* t = new TextElement(-1, "abcdefgh");
        paragraph({t});
        layoutAt(300);
        if (r.markFrom >= 0) t->setMarkRange(r.markFrom, r.markTo);
        CaretHandle h;
        t->createCaretRange(h, true, false);
        ASSERT_TRUE(h.hasHolder()) << r.name;
        ASSERT_EQ(h.range() != nullptr, r.hasRange) << r.name;
        if (!r.hasRange) continue;
        EXPECT_EQ(h.range()->startOffset(), r.start) << r.name;
        EXPECT_EQ(h.range()->endOffset(), r.end) << r.name;
        // Deleting the range removes exactly the marked bytes (the whole run when all are).
        std::string expected = std::string("abcdefgh").erase(std::size_t(r.start), std::size_t(r.end - r.start));
        Element* p = t->parent();
        EXPECT_TRUE(h.range()->deleteRange()) << r.name;
        EXPECT_EQ(textsOf(p), expected) << r.name;
    }
}

TEST_F(TextEditing, MarkedOnlyRangeOfAShrunkRunStaysInsideItsText) {
    auto* t = new TextElement(-1, "abcdefgh");
    paragraph({t});
    layoutAt(300);
    t->setMarkRange(4, 7);
    TextCaretRange cut(t, false);
    cut.start().setOffset(t, 0);
    cut.end().setOffset(t, 6);
    t->deleteRange(cut);   // "gh" is left; the mark was beyond it in part
    CaretHandle h;
    t->createCaretRange(h, true, false);
    CaretRange* range = h.range();
    ASSERT_NE(range, nullptr);   // still partly marked, at an empty place
    // The stored offsets, not only the clamped answers, lie inside the text.
    EXPECT_LE(range->start().raw(), t->textLength());
    EXPECT_LE(range->end().raw(), t->textLength());
    EXPECT_LE(range->start().raw(), range->end().raw());
}

TEST_F(TextEditing, WordMovesStepOverLettersAndDigits) {
    auto* t = new TextElement(-1, "ab, c3d  e");
    paragraph({t});
    layoutAt(300);
    struct Row {
        int code, from, to;
    } rows[] = {
        {1, 6, 4}, {1, 4, 0}, {1, 9, 4}, {3, 0, 4}, {3, 4, 9}, {3, 9, 10},
        {0, 3, 2}, {2, 3, 4}, {18, 3, 10}, {19, 3, 0},
    };
    for (const Row& r : rows) {
        TextPosition position(t, r.from);
        EXPECT_TRUE(t->movePosition(position, r.code, nullptr, -1)) << r.code << " from " << r.from;
        EXPECT_EQ(position.offset(), r.to) << r.code << " from " << r.from;
    }
}

TEST_F(TextEditing, WordMovesGoOneCharacterWithADoubleByteStyle) {
    sys_set_japanese(true);
    int style = charStyle([](CharStyle& s) {
        s.setFontName("MS Mincho");
        s.doubleByteFont = true;
    });
    auto* t = new TextElement(style, "\x88\x9f\x88\xa0" "ab");
    paragraph({t});
    layoutAt(300);
    TextPosition position(t, 0);
    t->movePosition(position, 3, nullptr, -1);
    EXPECT_EQ(position.offset(), 2);
    t->movePosition(position, 3, nullptr, -1);
    EXPECT_EQ(position.offset(), 4);
    t->movePosition(position, 1, nullptr, -1);
    EXPECT_EQ(position.offset(), 2);
    sys_reset_japanese();
}

TEST_F(TextEditing, DoubleClickMarksTheWordTripleClickIsLeftToTheParagraph) {
    auto* t = new TextElement(-1, "one two3 four");
    paragraph({t});
    layoutAt(300);
    at(t, 6);
    EXPECT_TRUE(t->mouseDown({0, 0, 2, 1}));
    EXPECT_EQ(t->mark, 2);
    EXPECT_EQ(t->markStart(), 4);
    EXPECT_EQ(t->markEnd(), 8);
    EXPECT_FALSE(t->mouseDown({0, 0, 3, 1}));
    EXPECT_EQ(t->mark, 0);
    EXPECT_FALSE(t->mouseDown({0, 0, 1, 1}));
}

// ---- style commands and read-only styles ---------------------------------------------------------

TEST_F(TextEditing, BoldOnAPartlyMarkedRunIsolatesTheMarkWithItsOwnStyle) {
    int style = charStyle([](CharStyle& s) { s.italic = 1; });
    auto* t = new TextElement(style, "hello world!");
    ParagraphElement* p = paragraph({t});
    layoutAt(300);
    at(t, 6);
    t->setMarkRange(6, 11);
    p->setAncestorsMark(2);
    FormatCommand bold{FormatCommand::BOLD};
    EXPECT_TRUE(run(3, nullptr, reinterpret_cast<std::intptr_t>(&bold)));
    ASSERT_EQ(textsOf(p), "hello |world|!");
    auto* part = static_cast<TextElement*>(p->childAt(1));
    auto* rest = static_cast<TextElement*>(p->childAt(2));
    EXPECT_EQ(part->mark, 1);
    EXPECT_NE(part->styleIndex(), style);
    EXPECT_EQ(t->styleIndex(), style);
    EXPECT_EQ(rest->styleIndex(), style);
    EXPECT_EQ(part->characterStyle()->bold, 1);
    EXPECT_EQ(part->characterStyle()->italic, 1);
    EXPECT_NE(t->characterStyle()->bold, 1);
}

TEST_F(TextEditing, ParagraphRefusesCharacterFormatsWhenPartlyMarked) {
    auto* p = new NotingParagraph(plainStyle);
    p->insertChild(new TextElement(-1, "abc"), nullptr, kInsertAfter);
    root->insertChild(p, nullptr, kInsertAfter);
    layoutAt(300);
    p->mark = 2;
    for (int id : {FormatCommand::BOLD, FormatCommand::ITALIC, FormatCommand::UNDERLINE, FormatCommand::FONT,
                   FormatCommand::SIZE}) {
        FormatCommand format{id, "Arial", 20};
        EXPECT_FALSE(p->command(3, nullptr, reinterpret_cast<std::intptr_t>(&format))) << id;
    }
    FormatCommand centre{FormatCommand::CENTER};
    EXPECT_TRUE(p->command(3, nullptr, reinterpret_cast<std::intptr_t>(&centre)));
    EXPECT_EQ(p->paraStyle()->justification, 3);
}

TEST_F(TextEditing, ReadOnlyStyleBeepsAndChangesNothing) {
    int style = charStyle([](CharStyle& s) { s.readOnly = 1; });
    auto* t = new TextElement(style, "fixed");
    ParagraphElement* p = paragraph({new TextElement(-1, "a"), t});
    layoutAt(300);
    std::string before = written();
    struct Row {
        const char* name;
        int code;
        const char* text;
    } rows[] = {{"read-only test", 0, nullptr}, {"typing", 9, "x"}, {"one character", 10, "x"},
                {"Backspace", 11, "x"}, {"Delete", 11, ""}};
    for (const Row& r : rows) {
        at(t, 2);
        int beepsBefore = beeps();
        EXPECT_TRUE(t->command(r.code, r.text, 0)) << r.name;
        EXPECT_EQ(beeps(), beepsBefore + 1) << r.name;
        EXPECT_EQ(written(), before) << r.name;
    }
    TextPosition position(t, 2);
    EXPECT_EQ(t->splitAt(position), t);
    EXPECT_EQ(p->childCount(), 2);
}

// ---- Enter and paragraph commands ------------------------------------------------------------------

TEST_F(TextEditing, EnterInARunSplitsTheParagraphAtTheCaret) {
    auto* t = new TextElement(-1, "abcdef");
    ParagraphElement* p = paragraph({t, new TextElement(-1, "gh")});
    layoutAt(300);
    at(t, 2);
    EXPECT_TRUE(run(0));
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(textsOf(p), "ab");
    EXPECT_EQ(textsOf(root->childAt(1)), "cdef|gh");
    EXPECT_EQ(caret().heldElement(), root->childAt(1)->firstChild());
    EXPECT_EQ(caret().offset(), 0);
}

TEST_F(TextEditing, EnterAtTheStartInsertsAnEmptyParagraphAboveWithTheCaret) {
    auto* t = new TextElement(-1, "text");
    ParagraphElement* p = paragraph({t});
    layoutAt(300);
    at(t, 0);
    EXPECT_TRUE(run(0));
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->childAt(1), p);
    EXPECT_EQ(textsOf(p), "text");
    auto* above = static_cast<ParagraphElement*>(root->childAt(0));
    EXPECT_EQ(above->styleIndex, p->styleIndex);
    EXPECT_EQ(textsOf(above), "");
    EXPECT_EQ(caret().heldElement(), above->firstChild());
}

TEST_F(TextEditing, ParagraphStyleIsSetByNameOrByIndex) {
    const int normal = doc->styleSet()->findParaStyle("Normal");
    const int heading = doc->styleSet()->findParaStyle("Heading 1");
    ASSERT_GE(normal, 0);
    ASSERT_GE(heading, 0);
    ParagraphElement* p = paragraph({new TextElement(-1, "Title")}, normal);
    layoutAt(300);
    // A name wins over the argument, which the style box fills with the name's address.
    EXPECT_TRUE(p->command(4, "Heading 1", reinterpret_cast<std::intptr_t>("Heading 1")));
    EXPECT_EQ(p->styleIndex, heading);
    EXPECT_FALSE(p->command(4, "No Such Style", 0));
    EXPECT_EQ(p->styleIndex, heading);
    EXPECT_TRUE(p->command(4, nullptr, normal));
    EXPECT_EQ(p->styleIndex, normal);
}

TEST_F(TextEditing, EnterAtTheEndStartsAParagraphOfTheNextStyle) {
    static int next;
    next = paraStyle([](ParaStyle&) {});
    int style = paraStyle([](ParaStyle& s) { s.nextStyle = std::int16_t(next); });
    auto* t = new TextElement(-1, "Title");
    ParagraphElement* p = paragraph({t}, style);
    layoutAt(300);
    at(t, 5);
    EXPECT_TRUE(run(0));
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(textsOf(p), "Title");
    auto* below = static_cast<ParagraphElement*>(root->childAt(1));
    EXPECT_EQ(below->styleIndex, next);
    EXPECT_EQ(caret().heldElement(), below->firstChild());
}

TEST_F(TextEditing, BackspaceAtAParagraphStartPullsThePreviousParagraphIn) {
    ParagraphElement* first = paragraph({new TextElement(-1, "one"), new TextElement(-1, "two")});
    auto* t = new TextElement(-1, "three");
    ParagraphElement* second = paragraph({t});
    layoutAt(300);
    at(t, 0);
    EXPECT_TRUE(run(11, "x"));
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->firstChild(), second);
    EXPECT_EQ(textsOf(second), "one|two|three");
    (void)first;
}

TEST_F(TextEditing, DeleteAtAParagraphEndJoinsTheNextParagraph) {
    auto* t = new TextElement(-1, "one");
    ParagraphElement* first = paragraph({t});
    paragraph({new TextElement(-1, "two")});
    layoutAt(300);
    at(t, 3);
    EXPECT_TRUE(run(11, ""));
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(textsOf(first), "one|two");
}

TEST_F(TextEditing, TypingAtParagraphLevelMakesARunInFrontOfTheChildAtTheCaret) {
    auto* t = new TextElement(-1, "after");
    ParagraphElement* p = paragraph({t});
    layoutAt(300);
    at(p, 0);
    EXPECT_TRUE(run(9, "new"));
    EXPECT_EQ(textsOf(p), "new|after");
    EXPECT_EQ(caret().heldElement(), p->firstChild());
    EXPECT_EQ(caret().offset(), 3);
}

TEST_F(TextEditing, DeleteParagraphRemovesIt) {
    ParagraphElement* p = paragraph({new TextElement(-1, "x")});
    paragraph({new TextElement(-1, "y")});
    layoutAt(300);
    at(p->firstChild(), 0);
    EXPECT_TRUE(run(15));
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(textsOf(root->firstChild()), "y");
}

// ---- undo ------------------------------------------------------------------------------------------

TEST_F(TextEditing, ConsecutiveTypingInOneRunIsOneUndoStep) {
    auto* t = new TextElement(-1, "ab");
    paragraph({t});
    layoutAt(300);
    std::string before = written();
    at(t, 2);
    for (const char* key : {"c", "d", "e"}) inGroup("Typing", [&] { run(10, key); }, true);
    EXPECT_EQ(doc->undoHistory()->groupCount(), 1);
    doc->undoHistory()->undo(nullptr);
    EXPECT_EQ(written(), before);
}

TEST_F(TextEditing, TypingInAnotherRunStartsANewUndoStep) {
    auto* first = new TextElement(-1, "ab");
    auto* second = new TextElement(-1, "ab");
    paragraph({first});
    paragraph({second});
    layoutAt(300);
    at(first, 2);
    inGroup("Typing", [&] { run(10, "c"); }, true);
    std::string afterFirst = written();
    at(second, 2);
    inGroup("Typing", [&] { run(10, "c"); }, true);
    EXPECT_EQ(doc->undoHistory()->groupCount(), 2);
    doc->undoHistory()->undo(nullptr);
    EXPECT_EQ(written(), afterFirst);
}

TEST_F(TextEditing, RandomEditsUndoAndRedoToTheSameBytes) {
    static int italic;
    italic = charStyle([](CharStyle& s) { s.italic = 1; });
    for (unsigned seed = 1; seed <= 20; ++seed) {
        while (root->childCount() > 0) root->removeChild(root->firstChild());
        doc->undoHistory()->clear();
        paragraph({new TextElement(-1, "alpha beta"), new TextElement(italic, "gamma")});
        paragraph({new TextElement(-1, "delta")});
        layoutAt(120);
        std::mt19937 rng(seed);
        auto pick = [&](int n) { return int(rng() % unsigned(n)); };
        std::vector<std::string> states{written()};
        for (int step = 0; step < 12; ++step) {
            // A caret on a random run at a random offset.
            std::vector<TextElement*> runs;
            for (int i = 0; i < root->childCount(); ++i)
                for (int k = 0; k < root->childAt(i)->childCount(); ++k)
                    if (auto* r = dynamic_cast<TextElement*>(root->childAt(i)->childAt(k))) runs.push_back(r);
            if (runs.empty()) break;
            TextElement* r = runs[std::size_t(pick(int(runs.size())))];
            const int offset = pick(r->textLength() + 1);
            at(r, offset);
            FormatCommand bold{FormatCommand::BOLD};
            // The caret positions of the run edit it as deleting, splitting and undo groups do.
            CaretHandle position;
            r->createCaretPosition(position, false);
            position.single()->setOffset(offset);
            int action = pick(10);
            inGroup("edit", [&] {
                switch (action) {
                case 0: run(9, "xy"); break;
                case 1: run(11, "x"); break;
                case 2: run(11, ""); break;
                case 3: run(0); break;
                case 4:
                    r->setMarkRange(0, std::max(1, r->textLength() / 2));
                    run(3, nullptr, reinterpret_cast<std::intptr_t>(&bold));
                    break;
                case 5: r->mergeWithNeighbours(); break;
                case 6: run(40, nullptr, italic); break;
                case 7: position.single()->split(); break;
                case 8: position.single()->insertText("zq"); break;
                default: {
                    CaretHandle range;
                    r->createCaretRange(range, false, false);
                    range.range()->start().setOffset(r, offset);
                    range.range()->end().setOffset(r, offset + pick(4));
                    range.range()->deleteRange();
                    break;
                }
                }
            });
            for (int i = 0; i < root->childCount(); ++i) root->childAt(i)->markSubtree(0);
            states.push_back(written());
        }
        std::string after = states.back();
        while (doc->undoHistory()->canUndo()) doc->undoHistory()->undo(nullptr);
        EXPECT_EQ(written(), states.front()) << "seed " << seed;
        while (doc->undoHistory()->canRedo()) doc->undoHistory()->redo(nullptr);
        EXPECT_EQ(written(), after) << "seed " << seed;
    }
}

}  // namespace
