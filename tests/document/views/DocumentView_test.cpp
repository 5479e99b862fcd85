// DocumentView: registration, the coordinate model, the ratios, setZoom's walk, relayout and
// the drawing state Document::layoutForView pushes.
#include "document/tree/DocumentView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/edit/Document.h"
#include "document/tree/ContainerElement.h"
#include "document/tree/ElementPosition.h"
#include "tests/document/views/views_fixture.h"

namespace {

// Zoom notices seen by the test tree, in order: "name old/old new/new".
std::vector<std::string> zoomLog;

void logZoom(const std::string& name, const WalkControl& c) {
    zoomLog.push_back(name + " " + std::to_string(c.zoom->oldNumerator) + "/" + std::to_string(c.zoom->oldDenominator) +
                      " " + std::to_string(c.zoom->newNumerator) + "/" + std::to_string(c.zoom->newDenominator));
}

class ZoomSection : public ContainerElement {
public:
    explicit ZoomSection(std::string n) : name(std::move(n)) {}
    Element* cloneElement() const override { return new ZoomSection(name); }
    int elementKind() const override { return KIND_SECTION; }
    void zoomChanged(WalkControl& c) override { logZoom(name, c); }
    std::string name;
};

class ZoomLeaf : public Element {
public:
    explicit ZoomLeaf(std::string n) : name(std::move(n)) {}
    Element* cloneElement() const override { return new ZoomLeaf(name); }
    int elementKind() const override { return KIND_TEXT; }
    void locatePosition(TextPosition&) override {}
    void zoomChanged(WalkControl& c) override { logZoom(name, c); }
    std::string name;
};

// Records the pen operations and what it draws.
class RecordingView : public DocumentView {
public:
    explicit RecordingView(Document* d) : DocumentView(d) {}
    void pushPen(std::uint32_t rgb, int index, int width, int style, bool keep) override {
        log.push_back("push " + std::to_string(rgb) + " " + std::to_string(index) + " " + std::to_string(width) + " " +
                      std::to_string(style) + " " + std::to_string(keep));
    }
    void popPen() override { log.push_back("pop"); }
    void afterLayout() override { log.push_back("afterLayout"); }
    void drawText(const ElementPoint&, const char*, int, bool) override {}
    std::vector<std::string> log;
};

class DocumentViewTest : public viewtests::ViewsFixture {
protected:
    void SetUp() override {
        zoomLog.clear();
        auto* root = new ZoomSection("root");
        auto* inner = new ZoomSection("inner");
        inner->insertChild(new ZoomLeaf("b"), nullptr, 2);
        root->insertChild(new ZoomLeaf("a"), nullptr, 2);
        root->insertChild(inner, nullptr, 2);
        doc->setRoot(root);
    }
};

TEST_F(DocumentViewTest, SetZoomWalksTheTreeOnlyForANewValidRatio) {
    struct Step {
        const char* name;
        int numerator, denominator;
        bool accepted;
        std::vector<std::string> log;
    } steps[] = {
        {"unchanged 1/1 walks nothing", 1, 1, true, {}},
        {"a new ratio reaches every element once", 3, 2,
         true, {"root 1/1 3/2", "a 1/1 3/2", "inner 1/1 3/2", "b 1/1 3/2"}},
        {"a zero denominator changes nothing", 1, 0, false, {}},
        {"a negative numerator changes nothing", -1, 2, false, {}},
        {"the same ratio again walks nothing", 3, 2, true, {}},
        {"back to 1/1", 1, 1, true, {"root 3/2 1/1", "a 3/2 1/1", "inner 3/2 1/1", "b 3/2 1/1"}},
    };
    for (const Step& s : steps) {
        zoomLog.clear();
        EXPECT_EQ(keeper->setZoom(s.numerator, s.denominator), s.accepted) << s.name;
        EXPECT_EQ(zoomLog, s.log) << s.name;
    }
    EXPECT_EQ(keeper->zoomNumerator(), 1);
    EXPECT_EQ(keeper->zoomDenominator(), 1);
}

TEST_F(DocumentViewTest, RatiosRefuseTermsThatAreNotPositive) {
    struct Row {
        const char* name;
        int numerator, denominator;
        bool accepted;
    } rows[] = {{"twips", 20, 1, true}, {"zero numerator", 0, 1, false}, {"zero denominator", 1, 0, false},
                {"negative denominator", 2, -3, false}};
    for (const Row& r : rows) {
        viewtests::QuietView v(doc);
        EXPECT_EQ(v.setUnitsPerPoint(r.numerator, r.denominator), r.accepted) << r.name;
        EXPECT_EQ(v.setSecondScale(r.numerator, r.denominator), r.accepted) << r.name;
        EXPECT_EQ(v.unitsPerPointNumerator(), r.accepted ? r.numerator : 1) << r.name;
        EXPECT_EQ(v.secondScaleDenominator(), r.accepted ? r.denominator : 1) << r.name;
    }
}

TEST_F(DocumentViewTest, CoordinateModel) {
    struct Row {
        const char* name;
        int scrollX, scrollY, left, top;
        ElementPoint document, window, window16;
    } rows[] = {
        {"identity", 0, 0, 0, 0, {5, 7}, {5, 7}, {5, 7}},
        {"scrolled with margins", 100, 50, 10, 20, {130, 80}, {40, 50}, {40, 50}},
        {"scroll offset is minus the window's", -30, 0, 0, 0, {0, 0}, {30, 0}, {30, 0}},
        {"far right and above clamp", 0, 0, 0, 0, {40000, -40000}, {40000, -40000}, {32767, -32768}},
    };
    for (const Row& r : rows) {
        viewtests::QuietView v(doc);
        v.setScrollOrigin(r.scrollX, r.scrollY);
        v.setMargins(r.left, 0, r.top, 0);
        ElementPoint w;
        v.documentToWindow(r.document, w);
        EXPECT_EQ(w.x, r.window.x) << r.name;
        EXPECT_EQ(w.y, r.window.y) << r.name;
        ElementPoint c = v.documentToWindowXY16(r.document.x, r.document.y);
        EXPECT_EQ(c.x, r.window16.x) << r.name;
        EXPECT_EQ(c.y, r.window16.y) << r.name;
        ElementPoint back;
        v.windowToDocument(w, back);
        EXPECT_EQ(back.x, r.document.x) << r.name;
        EXPECT_EQ(back.y, r.document.y) << r.name;
        ElementPoint inPlace = r.document;
        v.documentToWindowInPlace(inPlace);
        v.windowToDocumentInPlace(inPlace);
        EXPECT_EQ(inPlace.x, r.document.x) << r.name;
    }
}

TEST_F(DocumentViewTest, RelayoutMakesTheViewActiveAndKeepsTheExtent) {
    RecordingView view(doc);
    view.setViewSize(500, 300);
    view.setMargins(10, 20, 0, 0);
    view.relayout();
    EXPECT_EQ(doc->activeDocumentView(), &view);
    auto* root = dynamic_cast<CompositeElement*>(doc->root());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->availableWidth(), 470) << "the view width less both side margins";
    EXPECT_EQ(view.documentExtent().width, root->width);
    EXPECT_EQ(view.documentExtent().height, root->height);
    EXPECT_EQ(view.log, std::vector<std::string>{"afterLayout"});
}

TEST_F(DocumentViewTest, LayoutForViewPushesTheAutomaticTextPenForTheActiveViewOnly) {
    RecordingView active(doc), other(doc);
    active.setViewSize(400, 300);
    active.relayout();
    doc->layoutForView(&active, {0, 0, 400, 300});
    doc->layoutForView(&other, {0, 0, 400, 300});
    EXPECT_EQ(active.log, (std::vector<std::string>{"afterLayout", "push 0 5 0 1 0", "pop"}));
    EXPECT_TRUE(other.log.empty());
}

struct CountedList {
    static int deleted;
};
int CountedList::deleted = 0;

TEST_F(DocumentViewTest, PageListIsDeletedWithItsView) {
    CountedList::deleted = 0;
    {
        viewtests::QuietView v(doc);
        // Any object stands in for the page list: the view only owns it.
        v.setPageList(OwnedPageList(reinterpret_cast<PageList*>(new int(7)), [](PageList* p) {
            delete reinterpret_cast<int*>(p);
            ++CountedList::deleted;
        }));
        EXPECT_NE(v.pageList(), nullptr);
    }
    EXPECT_EQ(CountedList::deleted, 1);
}

TEST_F(DocumentViewTest, RectOutlineIsTheClosedFivePointPolyline) {
    struct OutlineView : DocumentView {
        using DocumentView::DocumentView;
        void drawText(const ElementPoint&, const char*, int, bool) override {}
        void drawPolyLine(const ElementPoint* p, int n) override { points.assign(p, p + n); }
        std::vector<ElementPoint> points;
    } v(doc);
    v.drawRectOutline({10, 20, 30, 40});
    ASSERT_EQ(v.points.size(), 5u);
    const int expected[5][2] = {{10, 20}, {40, 20}, {40, 60}, {10, 60}, {10, 20}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(v.points[std::size_t(i)].x, expected[i][0]) << i;
        EXPECT_EQ(v.points[std::size_t(i)].y, expected[i][1]) << i;
    }
}

}  // namespace
