// Object elements: stored and displayed size, handle classification, resizing by the handles
// (outline, capture, pointer, the size stored on release) and copies.
#include "document/elements/ObjectElement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <tuple>

#include "tests/document/elements/LayoutFakes.h"

namespace {

// ---- handle classification ----------------------------------------------------------------------

TEST(ObjectHandles, ClassificationPrefersRightBottomAndHorizontalMiddle) {
    struct Row {
        const char* name;
        int mx, my;
        int w, h, band;
        int expected;
    } rows[] = {
        // An element at (100, 50) of 80 x 60 with bands of 5.
        {"top-left corner", 102, 48, 80, 60, 5, ObjectElement::HANDLE_TOP_LEFT},
        {"top-right corner", 184, 53, 80, 60, 5, ObjectElement::HANDLE_TOP_RIGHT},
        {"bottom-left corner", 96, 110, 80, 60, 5, ObjectElement::HANDLE_BOTTOM_LEFT},
        {"bottom-right corner", 180, 110, 80, 60, 5, ObjectElement::HANDLE_BOTTOM_RIGHT},
        {"top middle", 140, 50, 80, 60, 5, ObjectElement::HANDLE_TOP},
        {"bottom middle", 144, 114, 80, 60, 5, ObjectElement::HANDLE_BOTTOM},
        {"left middle", 100, 80, 80, 60, 5, ObjectElement::HANDLE_LEFT},
        {"right middle", 176, 84, 80, 60, 5, ObjectElement::HANDLE_RIGHT},
        {"inside", 130, 70, 80, 60, 5, 0},
        // A small element: both edge bands and both middles cover every point.
        {"narrow: right edge before left", 105, 70, 10, 60, 5, 2 + 16},
        {"low: bottom edge before top", 120, 55, 80, 10, 5, 8 + 32},
        {"tiny: right-bottom and horizontal middle", 103, 53, 6, 6, 5, 2 + 8 + 16},
        {"no band: only the exact edge", 180, 70, 80, 60, 0, 2},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ObjectElement::classifyHandle(r.mx, r.my, 100, 50, r.w, r.h, r.band), r.expected) << r.name;
}

// ---- sizes --------------------------------------------------------------------------------------

using ObjectSize = LayoutFixture;

TEST_F(ObjectSize, SetSizeRaisesToTheMinimumsAndCopiesAreSized) {
    TestObject o(50, 40, 10);
    EXPECT_FALSE(o.isSized());
    o.setSize({3, 200, 7});
    EXPECT_TRUE(o.isSized());
    EXPECT_EQ(o.storedWidth(), 10);
    EXPECT_EQ(o.storedHeight(), 200);
    EXPECT_EQ(o.storedExtra(), 7);
    TestObject copy(o);
    EXPECT_TRUE(copy.isSized());
    EXPECT_EQ(copy.storedWidth(), 10);
    EXPECT_EQ(copy.storedExtra(), 7);
    EXPECT_EQ(copy.loads, 0);
}

TEST_F(ObjectSize, MeasureLoadsThePictureOnceAndSitsOnTheBaseline) {
    auto* o = new TestObject(50, 40);
    ParagraphElement* p = paragraph(0, {o});
    layoutAt(400);
    EXPECT_EQ(o->loads, 1);
    EXPECT_EQ(o->width, 50);
    EXPECT_EQ(o->height, 40);
    EXPECT_EQ(o->ascent, 40);
    EXPECT_EQ(line(p, 0).baseline(), 40);
    ExtentRecord e;
    EXPECT_TRUE(o->displaySize(e));
    EXPECT_EQ(o->loads, 1);
}

TEST_F(ObjectSize, NotSizedOrWithoutViewShowsNothing) {
    TestObject detached(50, 40);
    ExtentRecord e{1, 1, 1, 1, 1};
    EXPECT_FALSE(detached.displaySize(e));
    EXPECT_EQ(e.width, 0);
    detached.setSize({50, 40, 0});
    EXPECT_FALSE(detached.displaySize(e));   // no document, no view
    EXPECT_EQ(e.height, 0);
}

TEST_F(ObjectSize, DisplayedSizeFollowsScalesAndFitsTheContentWidth) {
    struct Row {
        const char* name;
        int storedW, storedH;
        int zoomN, zoomD;
        int fixedWidth;   // 0: the window's width gives the content width
        int viewKind;
        bool scaled;
    } rows[] = {
        {"fits at 100%", 100, 50, 1, 1, 0, 0, false},
        {"zoomed to twice", 100, 50, 2, 1, 0, 0, false},
        {"wider than the content", 900, 300, 1, 1, 0, 0, true},
        {"wider only when zoomed", 300, 100, 2, 1, 0, 0, true},
        {"kind 3 views show it whole", 900, 300, 1, 1, 0, 3, false},
        {"fixed width of 40", 300, 100, 1, 1, 40, 0, true},
    };
    for (const Row& r : rows) {
        SetUp();
        auto* o = new TestObject(r.storedW, r.storedH);
        ParagraphElement* p = paragraph(0, {o});
        p->fixedWidth = r.fixedWidth;
        view->kind = r.viewKind;
        view->setZoom(r.zoomN, r.zoomD);
        layoutAt(400);
        ExtentRecord e;
        ASSERT_TRUE(o->displaySize(e)) << r.name;
        int zoomedW = r.storedW * r.zoomN / r.zoomD, zoomedH = r.storedH * r.zoomN / r.zoomD;
        if (r.scaled) {
            int room = p->contentWidth() - 10;
            EXPECT_EQ(e.width, room) << r.name;
            EXPECT_EQ(e.height, int(double(r.storedH) * (double(room) / r.storedW))) << r.name;
        } else {
            EXPECT_EQ(e.width, zoomedW) << r.name;
            EXPECT_EQ(e.height, zoomedH) << r.name;
        }
        EXPECT_EQ(e.ascent, e.height) << r.name;
        TearDown();
    }
}

TEST_F(ObjectSize, ExtremeSizesStayWithinOneAndTheLayoutLimit) {
    struct Row {
        const char* name;
        int storedW, storedH;
        int fixedWidth;
        int zoomN;
    } rows[] = {
        {"content width of 10", 300, 100, 10, 1},
        {"content width of 1", 300, 100, 1, 1},
        {"huge stored size, zoomed", INT_MAX, INT_MAX, 0, 1000},
        {"huge on a kind 3 view", INT_MAX, 5, 0, 1000},
    };
    for (const Row& r : rows) {
        SetUp();
        auto* o = new TestObject(r.storedW, r.storedH);
        ParagraphElement* p = paragraph(0, {o});
        p->fixedWidth = r.fixedWidth;
        view->kind = std::string(r.name).find("kind 3") != std::string::npos ? 3 : 0;
        view->setZoom(r.zoomN, 1);
        layoutAt(400);
        ExtentRecord e;
        ASSERT_TRUE(o->displaySize(e)) << r.name;
        EXPECT_GE(e.width, 1) << r.name;
        EXPECT_GE(e.height, 1) << r.name;
        EXPECT_LE(e.width, ObjectElement::MAX_DISPLAY_SIZE) << r.name;
        EXPECT_LE(e.height, ObjectElement::MAX_DISPLAY_SIZE) << r.name;
        if (view->kind != 3) {
            EXPECT_LE(e.width, std::max(1, p->contentWidth() - 10)) << r.name;
        }
        TearDown();
    }
}

// ---- resizing by the handles -----------------------------------------------------------------

class ObjectResize : public LayoutFixture {
protected:
    // A 100 x 60 picture alone in a paragraph, the caret on it.
    void place(int minimum = 10) {
        withWindow();
        object = new TestObject(100, 60, minimum);
        paragraph(0, {object});
        layoutAt(400);
        window->caret()->setPosition(object, 0);
        origin = object->absoluteOrigin();
    }
    // A point on a handle of the displayed picture.
    ElementPoint handlePoint(int code) const {
        int w = object->width, h = object->height;
        int x = (code & 1) ? origin.x : (code & 2) ? origin.x + w : origin.x + w / 2;
        int y = (code & 4) ? origin.y : (code & 8) ? origin.y + h : origin.y + h / 2;
        return {x, y};
    }
    bool down(ElementPoint p) { return object->mouseDown({p.x, p.y, 1, 1}); }
    bool drag(ElementPoint p) { return object->mouseDrag({p.x, p.y, 1, 1}); }
    bool up(ElementPoint p) { return object->mouseUp({p.x, p.y, 1, 1}); }
    // Every outline drawn was drawn again (erased).
    bool outlinesErased() const {
        std::map<std::tuple<int, int, int, int>, int> count;
        for (const DrawnFrame& f : view->outlines) ++count[{f.a.x, f.a.y, f.b.x, f.b.y}];
        for (const auto& [key, n] : count)
            if (n % 2 != 0) return false;
        return !view->outlines.empty();
    }

    TestObject* object = nullptr;
    ElementPoint origin;
};

constexpr int kHandles[] = {ObjectElement::HANDLE_TOP_LEFT, ObjectElement::HANDLE_TOP_RIGHT,
                            ObjectElement::HANDLE_BOTTOM_LEFT, ObjectElement::HANDLE_BOTTOM_RIGHT,
                            ObjectElement::HANDLE_TOP, ObjectElement::HANDLE_BOTTOM,
                            ObjectElement::HANDLE_LEFT, ObjectElement::HANDLE_RIGHT};

TEST_F(ObjectResize, ReleaseWithoutMovementKeepsTheStoredSize) {
    for (int code : kHandles) {
        SetUp();
        place();
        int hidden = window->caret()->hideCount();
        ElementPoint at = handlePoint(code);
        ASSERT_EQ(ObjectElement::classifyHandle(at.x, at.y, origin.x, origin.y, 100, 60, 5), code);
        ASSERT_TRUE(down(at)) << code;
        EXPECT_TRUE(object->isResizing()) << code;
        EXPECT_EQ(window->captured, object) << code;
        EXPECT_TRUE(drag(at)) << code;
        EXPECT_TRUE(up(at)) << code;
        EXPECT_FALSE(object->isResizing()) << code;
        EXPECT_EQ(object->storedWidth(), 100) << code;
        EXPECT_EQ(object->storedHeight(), 60) << code;
        EXPECT_EQ(window->captured, nullptr) << code;
        EXPECT_EQ(window->releases, 1) << code;
        EXPECT_TRUE(outlinesErased()) << code;
        EXPECT_EQ(window->caret()->hideCount(), hidden) << code;
        EXPECT_FALSE(window->caret()->busy) << code;
        TearDown();
    }
}

TEST_F(ObjectResize, MovedCornerStoresTheSpannedSize) {
    struct Row {
        const char* name;
        int code;
        int dx, dy;
        int zoom;
        int expectedW, expectedH;   // at 100%, from the movement
    } rows[] = {
        {"bottom-right outwards", ObjectElement::HANDLE_BOTTOM_RIGHT, 20, 10, 1, 120, 70},
        {"top-left inwards", ObjectElement::HANDLE_TOP_LEFT, 30, 15, 1, 70, 45},
        {"right edge only changes the width", ObjectElement::HANDLE_RIGHT, -40, 25, 1, 60, 60},
        {"bottom edge only changes the height", ObjectElement::HANDLE_BOTTOM, 25, 20, 1, 100, 80},
        {"at twice the zoom the size is halved back", ObjectElement::HANDLE_BOTTOM_RIGHT, 40, 20, 2, 120, 70},
    };
    for (const Row& r : rows) {
        SetUp();
        view->setZoom(r.zoom, 1);
        place();
        ElementPoint at = handlePoint(r.code);
        ASSERT_TRUE(down(at)) << r.name;
        ElementPoint to{at.x + r.dx, at.y + r.dy};
        drag({at.x + r.dx / 2, at.y + r.dy / 2});
        drag(to);
        up(to);
        EXPECT_EQ(object->storedWidth(), r.expectedW) << r.name;
        EXPECT_EQ(object->storedHeight(), r.expectedH) << r.name;
        EXPECT_TRUE(outlinesErased()) << r.name;
        // Laid out again in the new size.
        EXPECT_EQ(object->width, r.expectedW * r.zoom) << r.name;
        TearDown();
    }
}

TEST_F(ObjectResize, CornerDraggedAcrossTheAnchorStopsAtTheMinimumOnItsSide) {
    place(10);
    ElementPoint at = handlePoint(ObjectElement::HANDLE_BOTTOM_RIGHT);
    ASSERT_TRUE(down(at));
    ElementPoint anchor = object->anchor();
    ElementPoint beyond{origin.x - 50, origin.y - 70};
    drag(beyond);
    EXPECT_EQ(object->dragCorner().x, anchor.x + 9);   // still right of and below the anchor
    EXPECT_EQ(object->dragCorner().y, anchor.y + 9);
    up(beyond);
    EXPECT_EQ(object->storedWidth(), 10);
    EXPECT_EQ(object->storedHeight(), 10);
}

TEST_F(ObjectResize, ClicksThatAreNoResizeAreNotConsumed) {
    struct Row {
        const char* name;
        bool caretOnObject;
        bool onHandle;
    } rows[] = {{"inside the picture", true, false}, {"caret elsewhere", false, true}};
    for (const Row& r : rows) {
        SetUp();
        place();
        if (!r.caretOnObject) window->caret()->setPosition(root, 0);
        ElementPoint at = r.onHandle ? handlePoint(ObjectElement::HANDLE_BOTTOM_RIGHT) : ElementPoint{origin.x + 40, origin.y + 30};
        EXPECT_FALSE(down(at)) << r.name;
        EXPECT_FALSE(object->isResizing()) << r.name;
        EXPECT_FALSE(drag(at)) << r.name;
        EXPECT_FALSE(up(at)) << r.name;
        EXPECT_TRUE(view->outlines.empty()) << r.name;
        TearDown();
    }
}

TEST_F(ObjectResize, PointerOverEachHandle) {
    place();
    const std::map<int, int> expected = {
        {ObjectElement::HANDLE_TOP_LEFT, 1005}, {ObjectElement::HANDLE_BOTTOM_RIGHT, 1005},
        {ObjectElement::HANDLE_TOP_RIGHT, 1004}, {ObjectElement::HANDLE_BOTTOM_LEFT, 1004},
        {ObjectElement::HANDLE_TOP, 1002}, {ObjectElement::HANDLE_BOTTOM, 1002},
        {ObjectElement::HANDLE_LEFT, 1003}, {ObjectElement::HANDLE_RIGHT, 1003},
    };
    for (int code : kHandles) {
        window->pointer = 0;
        ElementPoint at = handlePoint(code);
        EXPECT_TRUE(object->mouseMove({at.x, at.y, 0, 0})) << code;
        EXPECT_EQ(window->pointer, expected.at(code)) << code;
    }
    window->pointer = 0;
    EXPECT_FALSE(object->mouseMove({origin.x + 40, origin.y + 30, 0, 0}));
    EXPECT_EQ(window->pointer, 0);
}

TEST_F(ObjectResize, CaretOnAnObjectIsAFrameWithHandles) {
    place();
    TextPosition& caret = *window->caret();
    object->locatePosition(caret);
    view->frames.clear();
    object->drawCaret(caret, 0);
    ASSERT_EQ(view->frames.size(), 1u);
    EXPECT_EQ(view->frames[0].a.x, origin.x);
    EXPECT_EQ(view->frames[0].b.x, 100);   // the frame's width
    EXPECT_EQ(view->frames[0].handle, object->handleSize());
}

}  // namespace
