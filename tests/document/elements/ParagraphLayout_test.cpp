// Paragraph layout through the view: line breaking, alignment, indents, margins, prompts, list
// markers, spacing, hit tests, caret rectangles and moves, and the fast re-fit of a grown piece.
// The fakes (LayoutFakes.h) measure with fixed metrics; the test elements have fixed sizes.
#include "document/elements/ParagraphElement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/edit/BookmarkIndex.h"
#include "document/edit/Document.h"
#include "document/elements/InlineElement.h"
#include "document/elements/InputTextElement.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/ContainerElement.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"
#include "tests/document/elements/LayoutFakes.h"

namespace {

using ParagraphLayout = LayoutFixture;

TEST_F(ParagraphLayout, ChildThatDoesNotFitStartsANewLine) {
    ParagraphElement* p = paragraph(0, {new Box(100, 20), new Box(100, 30), new Box(100, 10)});
    layoutAt(260);
    int cw = p->contentWidth();
    ASSERT_GE(cw, 200);
    ASSERT_LT(cw, 300);
    ASSERT_EQ(p->lineCount(), 2);
    EXPECT_EQ(line(p, 0).pieceCount(), 2);
    EXPECT_EQ(line(p, 1).pieceCount(), 1);
    EXPECT_EQ(line(p, 0).pieces[1].x, 100);
    // The baseline is the tallest ascent; pieces sit on it.
    EXPECT_EQ(line(p, 0).baseline(), 30);
    EXPECT_EQ(line(p, 0).pieces[0].y, 10);
    EXPECT_EQ(line(p, 1).y, line(p, 0).y + line(p, 0).height());
    EXPECT_EQ(p->height, 40);
}

TEST_F(ParagraphLayout, AlignmentPlacesNarrowLines) {
    struct Row {
        const char* name;
        int justification;
        int expectedX;   // with content width 250 and a line 100 wide
    } rows[] = {{"left", 1, 0}, {"right", 2, 150}, {"centred", 3, 75}, {"full", 4, 0}};
    static int justification;
    for (const Row& r : rows) {
        justification = r.justification;
        int s = style([](ParaStyle& st) { st.justification = justification; });
        paragraph(s, {new Box(100, 10)});
    }
    layoutAt(250);
    int i = 0;
    for (const Row& r : rows) {
        auto* p = static_cast<ParagraphElement*>(root->childAt(i++));
        int expected = r.justification == 2   ? p->contentWidth() - 100
                       : r.justification == 3 ? (p->contentWidth() - 100) / 2
                                              : 0;
        EXPECT_EQ(line(p, 0).x, expected) << r.name;
    }
}

TEST_F(ParagraphLayout, FirstLineAndHangingIndents) {
    int first = style([](ParaStyle& s) { s.firstIndent = 15; });
    int hanging = style([](ParaStyle& s) { s.firstIndent = -15; });
    ParagraphElement* a = paragraph(first, {new Box(150, 10), new Box(150, 10)});
    ParagraphElement* b = paragraph(hanging, {new Box(150, 10), new Box(150, 10)});
    layoutAt(250);
    ASSERT_EQ(a->lineCount(), 2);
    EXPECT_EQ(line(a, 0).x, 15);
    EXPECT_EQ(line(a, 1).x, 0);
    ASSERT_EQ(b->lineCount(), 2);
    EXPECT_EQ(line(b, 0).x, 0);
    EXPECT_EQ(line(b, 1).x, 15);
}

TEST_F(ParagraphLayout, MarginsNarrowTheContentAndNegativeOnesDoNotWiden) {
    int margins = style([](ParaStyle& s) {
        s.leftMarginMode = 2, s.leftMargin = 30;
        s.rightMarginMode = 2, s.rightMargin = 20;
    });
    int negative = style([](ParaStyle& s) { s.leftMarginMode = 2, s.leftMargin = -40; });
    ParagraphElement* a = paragraph(margins, {new Box(10, 10)});
    ParagraphElement* b = paragraph(negative, {new Box(10, 10)});
    ParagraphElement* plain = paragraph(0, {new Box(10, 10)});
    layoutAt(300);
    int full = plain->contentWidth();
    EXPECT_EQ(a->contentWidth(), full - 50);
    EXPECT_EQ(line(a, 0).x, 30);
    EXPECT_EQ(b->contentWidth(), full);
    EXPECT_EQ(line(b, 0).x, 0);
}

TEST_F(ParagraphLayout, ContentWidthNeverBelowFifty) {
    ParagraphElement* p = paragraph(0, {new Box(40, 10), new Box(40, 10)});
    layoutAt(5);
    EXPECT_EQ(p->contentWidth(), 50);
    EXPECT_EQ(p->lineCount(), 2);
}

TEST_F(ParagraphLayout, FixedWidthIsTheContentWidthAndTheRoomOnEveryLine) {
    ParagraphElement* p = paragraph(0, {new Box(60, 10), new Box(60, 10)});
    p->fixedWidth = 100;
    layoutAt(400);
    EXPECT_EQ(p->contentWidth(), 100);
    EXPECT_EQ(p->remainingWidth(), 100);
    EXPECT_EQ(p->continuationWidth(), 100);
}

TEST_F(ParagraphLayout, PromptPushesTheFirstLineAndIndentsContinuationLines) {
    struct Row {
        const char* name;
        const char* prompt;
    } rows[] = {{"short prompt", "> "}, {"prompt wider than a third", "a very long prompt> "}};
    for (const Row& r : rows) {
        SetUp();
        ParagraphElement* p = paragraph(0, {new InputTextElement(1, "x"), new Box(240, 10)}, r.prompt);
        layoutAt(260);
        int promptWidth = kCharWidth * static_cast<int>(std::strlen(r.prompt));
        EXPECT_EQ(p->promptBox().width, promptWidth) << r.name;
        EXPECT_EQ(line(p, 0).pieces[0].x, promptWidth) << r.name;
        int allowance = std::min(promptWidth, p->contentWidth() / 3);
        EXPECT_EQ(p->markerIndent(), allowance) << r.name;
        ASSERT_EQ(p->lineCount(), 2) << r.name;
        EXPECT_EQ(line(p, 1).x, allowance) << r.name;
        TearDown();
    }
}

TEST_F(ParagraphLayout, OnlyInputParagraphsKeepAPrompt) {
    ParagraphElement* p = paragraph(0, {new InputTextElement(1, "1+2;")});
    ParagraphElement* q = paragraph(0, {new Box(10, 10)}, "> ");
    layoutAt(300);
    EXPECT_EQ(p->prompt(), nullptr);   // a continuation line: none given, none shown
    EXPECT_EQ(p->promptBox().width, 0);
    EXPECT_EQ(q->prompt(), nullptr);   // not an input paragraph
}

TEST_F(ParagraphLayout, ListMarkersReserveTheirWidth) {
    struct Row {
        const char* name;
        int kind;
        int expectedWidth;
        const char* drawnMarker;   // null: none drawn
    } rows[] = {
        {"bullet", 2, 3 * kSymbolWidth, "\xB7"},
        {"undecorated", 5, 3 * kSymbolWidth, nullptr},
        {"dash", 3, 3 * kCharWidth, "-  "},
        {"normal", 1, 0, nullptr},
    };
    for (const Row& r : rows) {
        SetUp();
        static int kind;
        kind = r.kind;
        int s = style([](ParaStyle& st) { st.listKind = kind; });
        ParagraphElement* p = paragraph(s, {new Box(30, 10)});
        layoutAt(300);
        EXPECT_EQ(p->markerBox().width, r.expectedWidth) << r.name;
        EXPECT_EQ(line(p, 0).x, r.expectedWidth) << r.name;
        view->drawn.clear();
        p->draw(0, 0, {0, 0, 1000, 1000});
        bool found = false;
        for (const DrawnText& d : view->drawn) found = found || (r.drawnMarker && d.text == r.drawnMarker);
        EXPECT_EQ(found, r.drawnMarker != nullptr) << r.name;
        EXPECT_EQ(view->drawn.size(), 0u + (r.drawnMarker ? 1 : 0)) << r.name;
        TearDown();
    }
}

TEST_F(ParagraphLayout, DoubleSpacingSplitsItsExtraAroundTheLines) {
    int doubled = style([](ParaStyle& s) { s.spacing = 2; });
    ParagraphElement* p = paragraph(doubled, {new Box(150, 20), new Box(150, 20)});
    layoutAt(250);
    ASSERT_EQ(p->lineCount(), 2);
    int extra = kFontHeight / 2;
    EXPECT_EQ(line(p, 0).y, extra / 2);
    EXPECT_EQ(line(p, 1).y, extra / 2 + 20 + extra);
    EXPECT_EQ(p->height, extra / 2 + 20 + extra + 20 + extra / 2);
}

TEST_F(ParagraphLayout, LineBreakModeThreeNeverWraps) {
    int noWrap = style([](ParaStyle& s) { s.charPart.lineBreak = 3; });
    ParagraphElement* p = paragraph(noWrap, {new Box(150, 10), new Box(150, 10), new Box(150, 10)});
    layoutAt(200);
    ASSERT_EQ(p->lineCount(), 1);
    EXPECT_EQ(line(p, 0).width, 450);
}

TEST_F(ParagraphLayout, ManyChildrenKeepTheirIndexes) {
    // More children than a 16-bit count holds: the last piece still names the last child.
    std::vector<Element*> boxes;
    constexpr int kCount = 33000;
    for (int i = 0; i < kCount; ++i) boxes.push_back(new Box(1, 1));
    int noWrap = style([](ParaStyle& s) { s.charPart.lineBreak = 3; });
    ParagraphElement* p = paragraph(noWrap, boxes);
    layoutAt(200);
    ASSERT_EQ(p->lineCount(), 1);
    EXPECT_EQ(line(p, 0).pieceCount(), kCount);
    EXPECT_EQ(line(p, 0).lastChildIndex(), kCount - 1);
    ElementPoint origin;
    EXPECT_EQ(p->elementAtPoint(kCount - 1, 0, origin), p->childAt(kCount - 1));
}

// ---- hit tests and carets ---------------------------------------------------------------------

TEST_F(ParagraphLayout, ClickInsideAPieceGoesBeforeOrAfterIt) {
    ParagraphElement* p = paragraph(0, {new Box(40, 10), new Box(40, 10), new Box(40, 10)});
    layoutAt(300);
    struct Row {
        int x;
        int child;
        int offset;
    } rows[] = {{5, 0, 0}, {19, 0, 0}, {21, 0, 2}, {41, 1, 0}, {79, 1, 2}, {100, 2, 2}};
    ParagraphLine& l = line(p, 0);
    for (const Row& r : rows) {
        TextPosition position(doc);
        p->positionAtPoint(position, l.x + r.x, l.y + 5);
        EXPECT_EQ(position.heldElement(), p->childAt(r.child)) << r.x;
        EXPECT_EQ(position.offset(), r.offset) << r.x;
    }
}

TEST_F(ParagraphLayout, GapBetweenPiecesSplitsAtItsMidpoint) {
    ParagraphElement* p = paragraph(0, {new Box(40, 10), new Box(40, 10)});
    layoutAt(300);
    ParagraphLine& l = line(p, 0);
    l.pieces[1].x = 60;   // a gap 40..60, as a flowing child leaves between fragments
    struct Row {
        int x;
        int child;
    } rows[] = {{45, 0}, {49, 0}, {50, 1}, {55, 1}};
    for (const Row& r : rows) {
        TextPosition position(doc);
        ASSERT_TRUE(l.hitTest(position, r.x, 5));
        EXPECT_EQ(position.heldElement(), p->childAt(r.child)) << r.x;
        ElementPoint point;
        EXPECT_EQ(l.childAtX(r.x, point), p->childAt(r.child)) << r.x;
    }
}

TEST_F(ParagraphLayout, ClickRightOfAPictureLineGoesAfterItAtParagraphLevel) {
    ParagraphElement* p = paragraph(0, {new Box(40, 10), new Box(40, 10)});
    layoutAt(300);
    TextPosition position(doc);
    p->positionAtPoint(position, line(p, 0).x + 200, 3);
    EXPECT_EQ(position.heldElement(), p);
    EXPECT_EQ(position.offset(), 2);
    EXPECT_EQ(position.rect.x, p->absoluteOrigin().x + line(p, 0).x + 80);
}

TEST_F(ParagraphLayout, CaretRectanglesAreTwoWideAndFontHigh) {
    ParagraphElement* p = paragraph(0, {new Box(40, 30), new Box(40, 10)});
    layoutAt(300);
    ElementPoint o = p->absoluteOrigin();
    struct Row {
        const char* name;
        int offset;
        int x;
    } rows[] = {{"start", 0, -3}, {"between", 1, 40}, {"end", 2, 80}};
    for (const Row& r : rows) {
        TextPosition position(doc);
        position.setPosition(p, r.offset);
        p->locatePosition(position);
        EXPECT_EQ(position.rect.x, o.x + r.x) << r.name;
        EXPECT_EQ(position.rect.width, 2) << r.name;
        EXPECT_EQ(position.rect.height, kFontHeight) << r.name;
        // The caret stands on the baseline of the tall line.
        EXPECT_EQ(position.rect.y, o.y + 30 - kFontAscent) << r.name;
    }
}

TEST_F(ParagraphLayout, EmptyParagraphCaretStandsLeftOfItsOrigin) {
    ParagraphElement* p = paragraph(0, {});
    layoutAt(300);
    TextPosition position(doc);
    position.setPosition(p, 0);
    p->locatePosition(position);
    ElementPoint o = p->absoluteOrigin();
    EXPECT_EQ(position.rect.x, o.x - 3);
    EXPECT_EQ(position.rect.y, o.y);
    EXPECT_EQ(position.rect.height, kFontHeight);
    EXPECT_EQ(p->height, kFontHeight);
}

TEST_F(ParagraphLayout, UpAndDownKeepTheRememberedX) {
    // Lines: [100] [100, 40] [100].
    ParagraphElement* p = paragraph(0, {new Box(100, 10), new Box(100, 10), new Box(40, 10), new Box(100, 10)});
    layoutAt(150);
    ASSERT_EQ(p->lineCount(), 3);
    ElementPoint o = p->absoluteOrigin();
    TextPosition position(doc);
    position.setFromPoint(o.x + 125, o.y + line(p, 1).y + 2, true);
    ASSERT_EQ(position.heldElement(), p->childAt(2));
    int remembered = position.column;
    EXPECT_EQ(remembered, o.x + 100);   // the picture's left edge
    struct Step {
        int code;
        int child;
        int offset;
    } steps[] = {{5, 3, 2}, {4, 2, 0}, {4, 0, 2}};
    for (const Step& s : steps) {
        ASSERT_TRUE(position.element()->movePosition(position, s.code, nullptr, -1));
        EXPECT_EQ(position.heldElement(), p->childAt(s.child)) << s.code;
        EXPECT_EQ(position.offset(), s.offset) << s.code;
        EXPECT_EQ(position.column, remembered);
    }
}

TEST_F(ParagraphLayout, LeftAndRightAlternateBetweenPicturesAndGaps) {
    ParagraphElement* p = paragraph(0, {new Box(40, 10), new Box(40, 10)});
    layoutAt(300);
    TextPosition position(doc);
    position.setPosition(p, 2);
    std::vector<std::pair<Element*, int>> seen;
    for (int i = 0; i < 3; ++i) {
        Element* e = position.element();
        ASSERT_TRUE(e->movePosition(position, 0, nullptr, -1));
        seen.emplace_back(position.heldElement(), position.offset());
    }
    std::vector<std::pair<Element*, int>> expected = {{p->childAt(1), 0}, {p, 1}, {p->childAt(0), 0}};
    EXPECT_EQ(seen, expected);
}

// ---- the readers of the lines --------------------------------------------------------------------

TEST_F(ParagraphLayout, PositionsReportTheirRealLine) {
    ParagraphElement* p = paragraph(0, {new Box(100, 10), new Box(100, 25)});
    layoutAt(150);
    ASSERT_EQ(p->lineCount(), 2);
    TextPosition position(doc);
    position.setPosition(p->childAt(1), 0);
    ParagraphLine* l = position.line();
    ASSERT_EQ(l, p->lineAt(1));
    ElementRect r;
    l->lineRect(r);
    ElementPoint o = p->absoluteOrigin();
    EXPECT_EQ(r.y, o.y + line(p, 1).y);
    EXPECT_EQ(r.height, 25);
    // The container's caret takes its first paragraph's first line.
    TextPosition atRoot(doc);
    atRoot.setPosition(root, 0);
    root->locatePosition(atRoot);
    EXPECT_EQ(atRoot.rect.height, line(p, 0).height());
}

// ---- the fast re-fit --------------------------------------------------------------------------

TEST_F(ParagraphLayout, GrownPieceMovesTheLinesBelowAsAFullLayoutWould) {
    auto* grow = new Box(40, 10);
    ParagraphElement* p = paragraph(0, {new Box(100, 10), grow, new Box(140, 10), new Box(60, 10)});
    layoutAt(200);
    ASSERT_GE(p->lineCount(), 2);
    grow->grow(50, 35);
    ExtentRecord extent{0, 0, 50, 35, 35};
    p->childResized(grow, grow->lineIndex, grow->pieceIndex, extent, false);
    std::vector<int> fast;
    for (int i = 0; i < p->lineCount(); ++i) fast.push_back(line(p, i).y);
    int fastHeight = p->height;
    ElementExtent e;
    p->flags |= ELEMENT_NEEDS_LAYOUT;
    p->measure(e, -1);
    std::vector<int> full;
    for (int i = 0; i < p->lineCount(); ++i) full.push_back(line(p, i).y);
    EXPECT_EQ(fast, full);
    EXPECT_EQ(fastHeight, p->height);
    EXPECT_EQ(line(p, 0).height(), 35);
}

}  // namespace

namespace {

// ---- walks --------------------------------------------------------------------------------------

TEST_F(ParagraphLayout, BookmarksAndStyleChangesReachParagraphs) {
    int used = style([](ParaStyle&) {});
    int replacement = style([](ParaStyle& s) { s.justification = 2; });
    ParagraphElement* marked = paragraph(used, {new Box(10, 10)});
    marked->bookmark.assign("here");
    ParagraphElement* plain = paragraph(0, {new Box(10, 10)});
    layoutAt(300);
    ASSERT_NE(doc->bookmarks(), nullptr);
    EXPECT_EQ(doc->bookmarks()->find("here"), marked);
    EXPECT_EQ(doc->bookmarks()->find("there"), nullptr);

    struct Row {
        const char* name;
        bool character;
        int expected;   // the marked paragraph's style afterwards
    } rows[] = {{"a character change leaves it", true, used}, {"a paragraph change takes it", false, replacement}};
    for (const Row& r : rows) {
        doc->replaceStyleIndex(used, replacement, r.character ? 1 : 2, root);
        EXPECT_EQ(marked->styleIndex, r.expected) << r.name;
        EXPECT_EQ(plain->styleIndex, 0) << r.name;
    }
    // Laid out again in the new style: right-justified.
    EXPECT_EQ(line(marked, 0).x, marked->contentWidth() - 10);
}

}  // namespace

namespace {

// ---- commands -----------------------------------------------------------------------------------

class BeepingDocument : public Document {
public:
    void beep() override { ++beeps; }
    int beeps = 0;
};

TEST(InlineCommands, DeleteRemovesOnlyWithAnEmptyText) {
    struct Row {
        const char* name;
        int code;
        const char* text;
        bool handled;
        bool removed;
        int beeps;
    } rows[] = {
        {"delete with empty text", 11, "", true, true, 0},
        {"delete with a text", 11, "x", true, false, 1},
        {"delete without text", 11, nullptr, true, false, 1},
        {"another code", 12, "", false, false, 0},
    };
    for (const Row& r : rows) {
        auto* doc = new BeepingDocument;
        auto* root = new Root;
        doc->setRoot(root);
        FixedView view(doc);
        auto* p = new ParagraphElement(0, nullptr);
        auto* box = new Box(10, 10);
        p->insertChild(box, nullptr, 2);
        p->insertChild(new Box(10, 10), nullptr, 2);
        root->insertChild(p, nullptr, 2);
        EXPECT_EQ(box->command(r.code, r.text, 0), r.handled) << r.name;
        EXPECT_EQ(p->childCount(), r.removed ? 1 : 2) << r.name;
        EXPECT_EQ(doc->beeps, r.beeps) << r.name;
    }
}

}  // namespace

namespace {

// ---- styles and the caret's arrival ------------------------------------------------------------

TEST_F(ParagraphLayout, LoadTimeRenumberingNeverGrowsTheMap) {
    std::vector<int>& map = worksheetTagTable.paraStyleRenumber;
    map.assign(320, 0);
    map[300] = 260;
    map[12] = 5;
    struct Row {
        const char* name;
        int index;
        int expected;
    } rows[] = {
        {"renumbered user style", 300, 260},
        {"user style left unmapped", 310, 310},
        {"user style beyond the map", 5000, 5000},
        {"built-in style", 12, 12},
    };
    for (const Row& r : rows) {
        ParagraphElement p(r.index, nullptr);
        WalkControl control;
        p.remapStyleIndex(control);
        EXPECT_EQ(p.styleIndex, r.expected) << r.name;
        EXPECT_EQ(map.size(), 320u) << r.name;
    }
    map.clear();
    ParagraphElement p(400, nullptr);
    WalkControl control;
    p.remapStyleIndex(control);
    EXPECT_EQ(p.styleIndex, 400);
    EXPECT_TRUE(map.empty());
}

TEST_F(ParagraphLayout, UsedStylesAreTheParagraphsStyleAndItsBases) {
    int base = style([](ParaStyle&) {});
    static int baseIndex;
    baseIndex = base;
    int derived = style([](ParaStyle& s) { s.basedOn = static_cast<std::int16_t>(baseIndex); });
    int unused = style([](ParaStyle&) {});
    paragraph(derived, {new Box(10, 10)});
    doc->markUsedStyles(root);
    StyleSet* set = doc->styleSet();
    EXPECT_TRUE(set->paraStyle(derived)->used);
    EXPECT_TRUE(set->paraStyle(base)->used);
    EXPECT_FALSE(set->paraStyle(unused)->used);
}

TEST_F(ParagraphLayout, CaretArrivalShowsTheParagraphStyleAndItsContextBar) {
    RecordingWindow& w = withWindow();
    int s = style([](ParaStyle&) {});
    auto* box = new Box(10, 10);
    ParagraphElement* p = paragraph(s, {box});
    layoutAt(300);
    box->caretArrived();   // an inline child hands the arrival to its paragraph
    EXPECT_EQ(w.paraStyle, s);
    EXPECT_EQ(w.charStyle, -1);
    EXPECT_EQ(w.contextBar, ParagraphElement::CONTEXT_BAR);
    EXPECT_EQ(w.contextOwner, p);
}

TEST_F(ParagraphLayout, TripleClickSelectsTheWholeParagraph) {
    RecordingWindow& w = withWindow();
    ParagraphElement* p = paragraph(0, {new Box(10, 10), new Box(10, 10)});
    layoutAt(300);
    EXPECT_FALSE(p->mouseDown({5, 5, 2, 1}));
    EXPECT_TRUE(p->mouseDown({5, 5, 3, 1}));
    Selection* selection = w.selection();
    EXPECT_EQ(selection->anchor.element(), p);
    EXPECT_EQ(selection->anchor.offset(), 0);
    EXPECT_EQ(selection->current.element(), p);
    EXPECT_EQ(selection->current.offset(), p->childCount());
    EXPECT_EQ(w.caret()->element(), p);
    EXPECT_EQ(w.caret()->offset(), 0);
}

}  // namespace

namespace {

TEST_F(ParagraphLayout, SelectionZonesFollowTheRealLines) {
    RecordingWindow& w = withWindow();
    // Two lines of different heights: the zones take each line's own top and height.
    ParagraphElement* p = paragraph(0, {new Box(100, 10), new Box(100, 25), new Box(30, 10)});
    layoutAt(150);
    ASSERT_EQ(p->lineCount(), 2);
    ViewCaret& caret = *w.caret();
    caret.setPosition(p->childAt(0), 2);
    Selection& selection = *w.selection();
    selection.setAnchor(caret);
    caret.setPosition(p->childAt(2), 0);
    selection.extendTo(caret);
    ElementRect first, second;
    line(p, 0).lineRect(first);
    line(p, 1).lineRect(second);
    EXPECT_EQ(selection.top.y, first.y);
    EXPECT_EQ(selection.top.height, first.height);
    EXPECT_EQ(selection.bottom.y, second.y);
    EXPECT_EQ(selection.bottom.height, second.height);
    EXPECT_TRUE(selection.anchorFirst);
}

}  // namespace

namespace {

// ---- marks from the selection ------------------------------------------------------------------

TEST_F(ParagraphLayout, SelectionMarksWholePiecesAndWholeParagraphs) {
    RecordingWindow& w = withWindow();
    ParagraphElement* before = paragraph(0, {new Box(40, 10)});
    ParagraphElement* p = paragraph(0, {new Box(40, 10), new Box(40, 10), new Box(40, 10), new Box(40, 10)});
    ParagraphElement* inside = paragraph(0, {new Box(40, 10)});
    ParagraphElement* last = paragraph(0, {new Box(40, 10), new Box(40, 10)});
    layoutAt(300);
    ViewCaret& caret = *w.caret();
    Selection& selection = *w.selection();

    // Within one line: from before child 1 to before child 3.
    caret.setPosition(p->childAt(1), 0);
    selection.setAnchor(caret);
    caret.setPosition(p->childAt(3), 0);
    selection.extendTo(caret);
    struct Row {
        int child;
        int expected;
    } rows[] = {{0, 0}, {1, 1}, {2, 1}, {3, 0}};
    for (const Row& r : rows) EXPECT_EQ(p->childAt(r.child)->markFromSelection(selection), r.expected) << r.child;

    // Over three paragraphs: the one between is wholly inside, the ones at the ends are not.
    caret.setPosition(p, 2);
    selection.setAnchor(caret);
    caret.setPosition(last, 1);
    selection.extendTo(caret);
    EXPECT_EQ(inside->markFromSelection(selection), 1);
    EXPECT_EQ(p->markFromSelection(selection), 2);
    EXPECT_EQ(last->markFromSelection(selection), 2);
    EXPECT_GT(before->markFromSelection(selection), 2);   // wholly above
}

TEST_F(ParagraphLayout, InlineMarksCaretAndRenderingGoThroughTheView) {
    withWindow();
    auto* box = new Box(40, 16);
    paragraph(0, {new Box(30, 10), box});
    layoutAt(300);
    ElementRect r = box->documentRect();
    EXPECT_EQ(r.width, 40);
    EXPECT_EQ(r.height, 16);

    box->selectionMarkChanged(1);
    ASSERT_EQ(view->highlights.size(), 1u);
    EXPECT_EQ(view->highlights[0].x, r.x);
    EXPECT_EQ(view->highlights[0].y, r.y);

    TextPosition at(doc);
    at.setPosition(box, 0);
    box->locatePosition(at);
    box->drawCaret(at, 0);
    ASSERT_EQ(view->frames.size(), 1u);
    EXPECT_EQ(view->frames[0].handle, 0);

    box->renderAt({100, 50}, *view);
    ASSERT_EQ(view->fills.size(), 1u);
    EXPECT_EQ(view->fills[0].y, 50 - 16);
    EXPECT_EQ(view->fills[0].width, 40);
    ASSERT_EQ(view->lines.size(), 1u);
    EXPECT_EQ(view->lines[0].b.x, 140);
    EXPECT_EQ(view->lines[0].b.y, 50);
}

}  // namespace
