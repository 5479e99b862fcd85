// The page list: pages opened, boxes placed and fitted, page rectangles.
#include "document/views/PageList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A view that draws nothing.
class SizeOnlyView : public DocumentView {
public:
    SizeOnlyView() : DocumentView(nullptr) {}
    void drawText(const ElementPoint&, const char*, int, bool) override {}
};

// A view of 600 x 400 with margins 10, 20, 30, 40: usable 570 x 330.
class PageListTest : public ::testing::Test {
protected:
    PageListTest() {
        view_.setViewSize(600, 400);
        view_.setMargins(10, 20, 30, 40);
    }
    SizeOnlyView view_;
};

ExtentRecord box(int x, int y, int width, int height) { return ExtentRecord{x, y, width, height, 0}; }

TEST_F(PageListTest, ANewListHoldsOneEmptyPage) {
    PageList list(view_);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.page(0).usableWidth, 570);
    EXPECT_EQ(list.page(0).usableHeight, 330);
    // A page break before anything was placed leaves no blank page.
    list.newPage();
    list.newPage();
    EXPECT_EQ(list.count(), 1);
}

TEST_F(PageListTest, BoxesFillPagesAndBreakWhereTheyDoNotFit) {
    struct Step {
        const char* name;
        ExtentRecord box;
        ElementPoint offset;
        bool fits;   // asked before placing; a box that does not fit opens a new page first
    };
    const Step steps[] = {
        {"first box on an empty page", box(5, 0, 200, 100), {3, 50}, true},
        {"below it", box(5, 100, 300, 100), {3, 50}, true},
        {"exactly to the usable height", box(5, 200, 100, 130), {3, 50}, true},
        {"one pixel too low", box(0, 330, 100, 1), {3, 50}, false},
        {"taller than a page, on an empty one", box(0, 0, 50, 1000), {0, 400}, false},
        {"after the tall box", box(0, 1000, 50, 10), {0, 400}, false},
    };
    PageList list(view_);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(list.fits(s.box, s.offset), s.fits);
        if (!list.fits(s.box, s.offset)) list.newPage();
        EXPECT_TRUE(list.fits(s.box, s.offset));
        list.place(s.box, s.offset);
    }
    ASSERT_EQ(list.count(), 4);
    // Page 1: origin of the first box, widest box, lowest bottom from its top.
    EXPECT_EQ(list.pageRect(0).x, 8);
    EXPECT_EQ(list.pageRect(0).y, 50);
    EXPECT_EQ(list.pageRect(0).width, 300);
    EXPECT_EQ(list.pageRect(0).height, 330);
    EXPECT_EQ(list.page(0).boxes, 3);
    // Page 2: the single-pixel box.
    EXPECT_EQ(list.pageRect(1).y, 380);
    EXPECT_EQ(list.pageRect(1).height, 1);
    // Page 3: the tall box alone; page 4 the box after it.
    EXPECT_EQ(list.pageRect(2).y, 400);
    EXPECT_EQ(list.pageRect(2).height, 1000);
    EXPECT_EQ(list.page(2).boxes, 1);
    EXPECT_EQ(list.pageRect(3).y, 1400);
}

TEST_F(PageListTest, APageKeepsTheUsableSizeOfItsTime) {
    PageList list(view_);
    list.place(box(0, 0, 10, 10), {0, 0});
    view_.setViewSize(300, 200);
    list.newPage();
    EXPECT_EQ(list.page(0).usableHeight, 330);
    EXPECT_EQ(list.page(1).usableWidth, 270);
    EXPECT_EQ(list.page(1).usableHeight, 130);
}

TEST_F(PageListTest, TheViewOwnsItsPageList) {
    SizeOnlyView owner;
    owner.setViewSize(300, 200);
    owner.setPageList(OwnedPageList(new PageList(owner), [](PageList* list) { delete list; }));
    ASSERT_NE(owner.pageList(), nullptr);
    owner.pageList()->place(box(0, 0, 10, 10), {0, 0});
    owner.pageList()->newPage();
    EXPECT_EQ(owner.pageList()->count(), 2);
    // Deleted with the view (LeakSanitizer would report it otherwise).
}

TEST_F(PageListTest, ManyPagesAndRectanglesOutsideTheList) {
    PageList list(view_);
    const int pages = 3 * static_cast<int>(PageList::kGrowStep) + 5;
    for (int i = 0; i < pages; ++i) {
        if (i > 0) list.newPage();
        list.place(box(0, 0, 100 + i, 20), {0, i * 330});
    }
    ASSERT_EQ(list.count(), pages);
    for (int i = 0; i < pages; ++i) {
        ElementRect r = list.pageRect(i);
        EXPECT_EQ(r.y, i * 330) << i;
        EXPECT_EQ(r.width, 100 + i) << i;
    }
    for (int bad : {-1, pages, pages + 1, 1 << 30, -(1 << 30)}) {
        ElementRect r = list.pageRect(bad);
        EXPECT_TRUE(r.empty()) << bad;
        EXPECT_EQ(r.x, 0) << bad;
        EXPECT_EQ(r.y, 0) << bad;
    }
}

}  // namespace
