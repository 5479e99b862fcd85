// Sections in the worksheet window: Enter, Delete, Delete Paragraph and Split Section through
// the executor and their Undo; the button's geometry on the window's view; the drawing of an
// expanded and a collapsed section; clicks on the button.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>

#include "app/KWorksheetWindow.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/tree/ViewCaret.h"
#include "document/views/WindowView.h"
#include "platform/gui/gui_test.h"
#include "tests/app/worksheet_window_fixture.h"

namespace {

using namespace worksheet_window_test;

// The block structure of a tree: S section, P paragraph, G group, _ placeholder; a section's
// children in parentheses.
std::string shape(const Element* e) {
    std::string out;
    for (int i = 0; i < e->childCount(); ++i) {
        const Element* c = e->childAt(i);
        if (!out.empty()) out += ' ';
        switch (c->elementKind()) {
        case KIND_SECTION: out += "S(" + shape(c) + ")"; break;
        case KIND_PARAGRAPH: out += "P"; break;
        case KIND_GROUP: out += "G"; break;
        case KIND_PLACEHOLDER: out += "_"; break;
        default: out += "?"; break;
        }
    }
    return out;
}

// A window over the worksheet  S(P"Title" G"777" G"888") G"999"  at 400 x 300 pixels.
class SectionWindowTest : public WorksheetWindowFixture {
protected:
    void SetUp() override {
        WorksheetWindowFixture::SetUp();
        auto* root = new SectionElement();
        section = new SectionElement();
        auto* heading = new ParagraphElement(SectionElement::STYLE_HEADING_1, nullptr);
        heading->insertChild(new TextElement(-1, "Title"), nullptr, kInsertAfter);
        section->insertChild(heading, nullptr, kInsertAfter);
        section->insertChild(groupWith("777"), nullptr, kInsertAfter);
        section->insertChild(groupWith("888"), nullptr, kInsertAfter);
        root->insertChild(section, nullptr, kInsertAfter);
        root->insertChild(groupWith("999"), nullptr, kInsertAfter);
        auto document = std::make_unique<WorksheetDocument>(nullptr);
        document->setRoot(root);
        reopen(std::move(document));
    }
    Element* root() { return window->document()->root(); }
    QImage paint() {
        window->invalidate();
        window->update();
        return window->backBuffer()->copy();
    }
    // The section's button box in window pixels.
    Rectangle buttonInWindow() {
        ElementPoint o = section->absoluteOrigin();
        ElementPoint w;
        window->view()->documentToWindowXY(o.x + section->button.box.x, o.y + section->button.box.y, w);
        return Rectangle(Point(w.x, w.y), Size(section->button.box.width, section->button.box.height));
    }
    void click(Point p) {
        window->mouseButtonDown(MouseEvent(p, 1, MOUSE_LEFT, 0));
        window->mouseButtonUp(MouseEvent(p, 1, MOUSE_LEFT, 0));
    }

    SectionElement* section = nullptr;
};

constexpr const char* kInitial = "S(P G G) G";

TEST_F(SectionWindowTest, CaretCommandsOnASectionGiveTheirTreesAndUndoRestoresThem) {
    struct Row {
        const char* name;
        int code;
        bool onSecondGroup;   // the caret in the section's second group's input, else on the section
        const char* tree;
    } rows[] = {
        {"Enter puts a new section of the same depth before it", KWorksheetWindow::kEnter, false,
         "S(P) S(P G G) G"},
        {"Delete keeps the children in its place", KWorksheetWindow::kDelete, false, "P G G G"},
        {"Delete Paragraph removes it", KWorksheetWindow::kDeleteParagraph, false, "G"},
        {"Split Section splits it at the caret", KWorksheetWindow::kSplitSection, true, "S(P G) S(P G) G"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_EQ(shape(root()), kInitial);
        section = static_cast<SectionElement*>(root()->firstChild());
        if (r.onSecondGroup) window->caret()->setPosition(firstInput(section->childAt(2)), 0);
        else window->caret()->setPosition(section, 0);
        EXPECT_TRUE(window->executeAction(r.code, nullptr, 0));
        EXPECT_EQ(shape(root()), r.tree);
        EXPECT_EQ(window->document()->undoHistory()->nesting(), 0);
        EXPECT_EQ(window->caret()->hideCount(), 0);
        ASSERT_NE(window->caret()->element(), nullptr);
        EXPECT_TRUE(root()->contains(window->caret()->element()));
        window->document()->undoHistory()->undo(window->caret());
        window->relayoutAll();
        EXPECT_EQ(shape(root()), kInitial) << "Undo restores the tree";
        section = static_cast<SectionElement*>(root()->firstChild());
        EXPECT_STREQ(firstInput(section->childAt(1))->text(), "777");
        EXPECT_STREQ(firstInput(section->childAt(2))->text(), "888");
    }
}

TEST_F(SectionWindowTest, EnterPutsTheCaretInTheNewHeading) {
    window->caret()->setPosition(section, 0);
    ASSERT_TRUE(window->executeAction(KWorksheetWindow::kEnter, nullptr, 0));
    Element* fresh = root()->firstChild();
    ASSERT_NE(fresh, section);
    EXPECT_EQ(window->caret()->element(), fresh->firstChild()->firstChild());
    EXPECT_EQ(static_cast<ParagraphElement*>(fresh->firstChild())->styleIndex, SectionElement::STYLE_HEADING_1);
}

TEST_F(SectionWindowTest, DeleteOfAPartlyMarkedSectionIsRefused) {
    section->mark = 2;
    window->caret()->setPosition(section, 0);
    EXPECT_FALSE(section->command(SectionElement::CMD_DELETE, nullptr, 0));
    section->mark = 0;
    EXPECT_EQ(shape(root()), kInitial);
}

TEST(SectionButtonGeometry, BoxSideAndIndentFollowResolutionAndZoom) {
    struct Row {
        int r1, r2, z1, z2;
        int side, indent;
    } rows[] = {{96, 72, 1, 1, 18, 22}, {96, 72, 2, 1, 34, 42}, {1, 1, 1, 1, 16, 20}, {20, 1, 1, 1, 320, 400}};
    for (const Row& r : rows) {
        const SectionButtonGeometry g = SectionElement::buttonGeometryFor(r.r1, r.r2, r.z1, r.z2);
        EXPECT_EQ(g.side, r.side) << r.r1 << "/" << r.r2 << " zoom " << r.z1 << "/" << r.z2;
        EXPECT_EQ(g.side * 5 / 4, r.indent);
    }
}

TEST_F(SectionWindowTest, TheLaidOutSectionTakesItsBoxAndIndentFromTheView) {
    struct Row {
        int z1, z2;
        int side, indent;
    } rows[] = {{1, 1, 18, 22}, {2, 1, 34, 42}};
    ASSERT_TRUE(window->view()->setUnitsPerPoint(96, 72));
    for (const Row& r : rows) {
        window->view()->setZoom(r.z1, r.z2);
        root()->markNeedsLayout();
        section->markNeedsLayout();
        window->relayoutAll();
        EXPECT_EQ(section->button.box.width, r.side) << "zoom " << r.z1;
        EXPECT_EQ(section->button.box.height, r.side);
        EXPECT_EQ(section->indent(), r.indent);
        EXPECT_EQ(section->slot(1)->x, r.indent);
        EXPECT_TRUE(section->bracketShown);
        EXPECT_EQ(static_cast<SectionElement*>(root())->indent(), 0) << "the root has no bracket";
    }
}

// Pixels darker than `limit` inside a window rectangle: dark ones (the button's lines) below 64,
// any ink (the inputs' coloured, smoothed text) below 200.
int darkIn(const QImage& image, const Rectangle& r, int limit = 64) {
    int n = 0;
    for (long y = std::max<long>(r.top, 0); y <= r.bottom && y < image.height(); ++y)
        for (long x = std::max<long>(r.left, 0); x <= r.right && x < image.width(); ++x) n += qGray(image.pixel(x, y)) < limit;
    return n;
}
int inkIn(const QImage& image, const Rectangle& r) { return darkIn(image, r, 200); }

TEST_F(SectionWindowTest, ACollapsedSectionDrawsAPlusAndOnlyItsHeading) {
    const QImage expanded = paint();
    const Rectangle box = buttonInWindow();
    const long midX = (box.left + box.right) / 2;
    // The upright of the plus: the middle column above and below the bar.
    const Rectangle upright(Point(midX - 1, box.top + 3), Size(3, (box.bottom - box.top) / 2 - 3));
    // The section's groups below the heading.
    ElementPoint g;
    ElementPoint o = section->childAt(1)->absoluteOrigin();
    window->view()->documentToWindowXY(o.x, o.y, g);
    const Rectangle groups(Point(g.x + 12, g.y), Size(120, section->slot(1)->height + section->slot(2)->height));
    EXPECT_GT(inkIn(expanded, groups), 20) << "the expanded section draws its groups";
    EXPECT_EQ(darkIn(expanded, upright), 0) << "an expanded section's button shows a minus";
    EXPECT_GT(darkIn(expanded, Rectangle(Point(box.left, box.top), Size(box.right - box.left, box.bottom - box.top))), 0);

    section->collapse(true);
    window->relayoutAll();
    const QImage collapsed = paint();
    EXPECT_GT(darkIn(collapsed, upright), 0) << "a collapsed section's button shows a plus";
    // What follows the collapsed section moves up under its heading; the section's own groups are
    // not drawn, so the only group left there is the root's 999.
    EXPECT_EQ(section->height, std::max(section->slot(0)->y + section->slot(0)->height, section->button.box.bottom()));
    EXPECT_LT(inkIn(collapsed, groups), inkIn(expanded, groups));
    Element* hit = nullptr;
    ElementPoint origin;
    hit = window->document()->elementAtPoint(o.x + 20, o.y + 2, origin);
    EXPECT_FALSE(hit && section->childAt(1)->contains(hit)) << "nothing below the heading is hit";
}

TEST_F(SectionWindowTest, ClicksOnTheButtonCollapseAndExpand) {
    paint();
    window->caret()->setPosition(firstInput(section->childAt(2)), 1);
    const Rectangle box = buttonInWindow();
    const Point centre((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    click(centre);
    EXPECT_TRUE(section->isCollapsed());
    EXPECT_FALSE(section->button.pressed);
    EXPECT_EQ(window->caret()->element(), section) << "the caret leaves the hidden part";
    click(centre);
    EXPECT_FALSE(section->isCollapsed());
    // A press that is released off the button changes nothing.
    window->mouseButtonDown(MouseEvent(centre, 1, MOUSE_LEFT, 0));
    window->mouseButtonUp(MouseEvent(Point(centre.x + 200, centre.y + 100), 1, MOUSE_LEFT, 0));
    EXPECT_FALSE(section->isCollapsed());
    EXPECT_EQ(window->capturedElement(), nullptr);
}

}  // namespace
