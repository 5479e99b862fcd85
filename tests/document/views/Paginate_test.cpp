// Paragraph lines cut into the pages of a page list: forced page breaks of a style, lines that
// go whole onto the next page, collapsed sections left out.
#include <gtest/gtest.h>

#include <vector>

#include "document/elements/SectionElement.h"
#include "document/views/PageList.h"
#include "tests/document/elements/LayoutFakes.h"

namespace {

class Paginate : public LayoutFixture {
protected:
    // Lays the document out for a page of the given usable height and walks it into a list.
    std::unique_ptr<PageList> paginate(int pageHeight) {
        layoutAt(300);
        view->setViewSize(300, pageHeight);
        auto pages = std::make_unique<PageList>(*view);
        WalkControl control;
        control.flags = WALK_BEFORE;
        control.pages = pages.get();
        root->walkMethod(&Element::paginate, control);
        return pages;
    }
    // Every line box of the paragraphs, in document coordinates.
    std::vector<ElementRect> lineBoxes(const std::vector<ParagraphElement*>& paragraphs) {
        std::vector<ElementRect> boxes;
        for (ParagraphElement* p : paragraphs)
            for (int i = 0; i < p->lineCount(); ++i) {
                ElementRect r;
                line(p, i).lineRect(r);
                boxes.push_back(r);
            }
        return boxes;
    }
    static int boxesOf(const PageList& pages) {
        int n = 0;
        for (int i = 0; i < pages.count(); ++i) n += pages.page(i).boxes;
        return n;
    }
};

TEST_F(Paginate, LinesGoWholeOntoTheNextPage) {
    // Lines of 40 on pages of 100: the third line would straddle the edge.
    std::vector<Element*> boxes;
    for (int i = 0; i < 7; ++i) boxes.push_back(new Box(250, 40));
    ParagraphElement* p = paragraph(0, boxes);
    std::unique_ptr<PageList> pages = paginate(100);
    std::vector<ElementRect> lines = lineBoxes({p});
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(boxesOf(*pages), 7);
    EXPECT_GT(pages->count(), 1);
    for (int i = 0; i < pages->count(); ++i) {
        ElementRect page = pages->pageRect(i);
        EXPECT_LE(page.height, 100) << i;
        // Each line lies wholly on one page.
        for (const ElementRect& l : lines) {
            bool starts = l.y >= page.y && l.y < page.y + page.height;
            if (starts) EXPECT_LE(l.y + l.height, page.y + page.height) << i;
        }
    }
    // The pages follow each other: one starts where a line starts.
    for (int i = 1; i < pages->count(); ++i) {
        bool atLine = false;
        for (const ElementRect& l : lines) atLine = atLine || l.y == pages->pageRect(i).y;
        EXPECT_TRUE(atLine) << i;
    }
}

TEST_F(Paginate, StyleThatStartsANewPageStartsOne) {
    struct Row {
        const char* name;
        int newPage;
        int expectedPages;
    } rows[] = {{"new page", 1, 2}, {"no new page", 2, 1}, {"undefined", 0, 1}};
    for (const Row& r : rows) {
        SetUp();
        static int newPage;
        newPage = r.newPage;
        int secondStyle = style([](ParaStyle& s) { s.newPage = newPage; });
        ParagraphElement* first = paragraph(0, {new Box(50, 20)});
        ParagraphElement* second = paragraph(secondStyle, {new Box(50, 20)});
        std::unique_ptr<PageList> pages = paginate(1000);
        EXPECT_EQ(pages->count(), r.expectedPages) << r.name;
        ElementRect expectedTop = lineBoxes({r.expectedPages == 2 ? second : first}).front();
        EXPECT_EQ(pages->pageRect(pages->count() - 1).y, expectedTop.y) << r.name;
        EXPECT_EQ(boxesOf(*pages), 2) << r.name;
        pages.reset();
        TearDown();
    }
}

TEST_F(Paginate, BreakingStyleOnTheFirstParagraphLeavesNoBlankPage) {
    int breaking = style([](ParaStyle& s) { s.newPage = 1; });
    paragraph(breaking, {new Box(50, 20)});
    std::unique_ptr<PageList> pages = paginate(1000);
    EXPECT_EQ(pages->count(), 1);
    EXPECT_EQ(pages->page(0).boxes, 1);
}

TEST_F(Paginate, CollapsedSectionsPlaceOnlyTheirHeading) {
    struct Row {
        const char* name;
        bool collapsed;
    } rows[] = {{"expanded", false}, {"collapsed", true}};
    for (const Row& r : rows) {
        SetUp();
        auto* section = new SectionElement(1);
        root->insertChild(section, nullptr, kInsertAfter);
        auto* body = new ParagraphElement(0, nullptr);
        body->insertChild(new Box(50, 20), nullptr, kInsertAfter);
        section->insertChild(body, nullptr, kInsertAfter);
        section->setCollapsedFlag(r.collapsed);
        std::unique_ptr<PageList> pages = paginate(1000);
        auto* heading = static_cast<ParagraphElement*>(section->firstChild());
        int expected = heading->lineCount() + (r.collapsed ? 0 : body->lineCount());
        EXPECT_EQ(boxesOf(*pages), expected) << r.name;
        pages.reset();
        TearDown();
    }
}

}  // namespace
