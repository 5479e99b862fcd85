// Geometry: 16-bit clamping, the empty-edge value, rectangle operations, map-mode conversions,
// colours and font descriptions.
#include "platform/gui/base/geometry.h"

#include <gtest/gtest.h>

#include "platform/gui/base/Color.h"
#include "platform/gui/base/Font.h"

namespace {

struct ClampCase { const char* name; long long in; int32_t out; };

TEST(Geometry, ClampsEveryCoordinateTo16Bits) {
    const ClampCase cases[] = {
        {"zero", 0, 0},          {"max", 32767, 32767},     {"min", -32768, -32768},
        {"above", 32768, 32767}, {"far above", 40000, 32767}, {"below", -32769, -32768},
        {"huge", 1LL << 40, 32767}, {"would wrap", 65536 + 5, 32767},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(clamp16(c.in), c.out);
        Point p(c.in, c.in);
        EXPECT_EQ(p.x, c.out);
        EXPECT_EQ(p.y, c.out);
    }
}

TEST(Geometry, EmptyEdgeValueMakesRectangleEmpty) {
    EXPECT_TRUE(Rectangle(0, 0, RECT_EMPTY, 10).isEmpty());
    EXPECT_TRUE(Rectangle(0, 0, 10, RECT_EMPTY).isEmpty());
    EXPECT_TRUE(Rectangle(Point(5, 5), Size(0, 7)).isEmpty());
    EXPECT_TRUE(Rectangle(Point(5, 5), Size(7, 0)).isEmpty());
    EXPECT_TRUE(Rectangle().isEmpty());
    Rectangle r(Point(5, 6), Size(10, 20));
    EXPECT_FALSE(r.isEmpty());
    EXPECT_EQ(r.right, 14);
    EXPECT_EQ(r.bottom, 25);
    EXPECT_EQ(r.getWidth(), 10);
    EXPECT_EQ(r.getHeight(), 20);
    // 32768 is not the empty value: it clamps to 32767.
    Rectangle c(0, 0, 32768, 40000);
    EXPECT_FALSE(c.isEmpty());
    EXPECT_EQ(c.right, 32767);
    EXPECT_EQ(c.bottom, 32767);
}

TEST(Geometry, RectangleOperations) {
    Rectangle a(0, 0, 9, 9), b(5, 5, 19, 19), far(100, 100, 110, 110);
    EXPECT_EQ(a.intersection(b), Rectangle(5, 5, 9, 9));
    EXPECT_TRUE(a.intersection(far).isEmpty());
    EXPECT_EQ(a.unionWith(b), Rectangle(0, 0, 19, 19));
    EXPECT_EQ(a.unionWith(Rectangle()), a);
    EXPECT_TRUE(a.isInside(Point(9, 9)));
    EXPECT_FALSE(a.isInside(Point(10, 9)));
    Rectangle swapped(9, 9, 0, 0);
    swapped.justify();
    EXPECT_EQ(swapped, a);
}

struct MapCase { const char* name; MapUnit unit; int dpi; long long logic; long long pixel; };

TEST(Geometry, MapModeConversions) {
    const MapCase cases[] = {
        {"pixel", MapUnit::Pixel, 96, 123, 123},
        {"inch at 96", MapUnit::Inch, 96, 2, 192},
        {"1000th inch at 96", MapUnit::Inch1000th, 96, 1000, 96},
        {"twips at 96", MapUnit::Twip, 96, 1440, 96},
        {"twips at 600", MapUnit::Twip, 600, 720, 300},
        {"points at 72", MapUnit::Point, 72, 12, 12},
        {"100th mm at 254", MapUnit::Mm100th, 254, 2540, 254},
        {"mm at 127", MapUnit::Mm, 127, 5, 25},
        {"negative", MapUnit::Twip, 96, -1440, -96},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapMode m(c.unit);
        EXPECT_EQ(m.logicToPixelX(c.logic, c.dpi), c.pixel);
        EXPECT_EQ(m.logicToPixelY(c.logic, c.dpi), c.pixel);
        EXPECT_EQ(m.pixelToLogicX(c.pixel, c.dpi), c.logic);
    }
    MapMode scaled(MapUnit::Pixel, Point(10, 0), Fraction(2, 1), Fraction(1, 2));
    EXPECT_EQ(scaled.logicToPixelX(5, 96), 30);  // (5 + 10) * 2
    EXPECT_EQ(scaled.logicToPixelY(10, 96), 5);
    EXPECT_EQ(scaled.pixelToLogicX(30, 96), 5);
    MapMode broken(MapUnit::Pixel, Point(), Fraction(1, 0), Fraction(1, 1));
    EXPECT_EQ(broken.logicToPixelX(5, 96), 0);
}

TEST(Geometry, MapUnitCodesFromFiles) {
    EXPECT_EQ(mapUnitFromCode(4), MapUnit::Inch1000th);
    EXPECT_EQ(mapUnitFromCode(7), MapUnit::Inch);
    EXPECT_EQ(mapUnitFromCode(10), MapUnit::Pixel);
    EXPECT_EQ(mapUnitFromCode(99), MapUnit::Pixel);
    EXPECT_EQ(mapUnitFromCode(-1), MapUnit::Pixel);
}

struct ColorCase { int code; uint8_t r, g, b; };

TEST(Color, NamedColoursHaveFixedComponents) {
    const ColorCase cases[] = {
        {0, 0, 0, 0}, {7, 128, 128, 128}, {8, 192, 192, 192}, {15, 255, 255, 255}, {20, 0, 0, 0},
        {24, 0, 0, 0}, {25, 192, 192, 192}, {26, 255, 255, 255}, {27, 128, 128, 128}, {28, 192, 192, 192},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        Color col(c.code);
        EXPECT_EQ(col.getCode(), c.code);
        EXPECT_EQ(col.getRed(), c.r << 8);
        EXPECT_EQ(col.getGreen(), c.g << 8);
        EXPECT_EQ(col.getBlue(), c.b << 8);
        EXPECT_EQ(col, Color::fromRGB8(c.r, c.g, c.b));
    }
    EXPECT_EQ(Color(8).getRed(), 0xC000);
    Color rgb(0x1234, 0x5678, 0x9ABC);
    EXPECT_EQ(rgb.getCode(), COL_RGB);
    EXPECT_NE(rgb, Color(COL_BLACK));
}

TEST(Font, EqualDescriptionsHashEqually) {
    Font a("Times New Roman", Size(0, 12));
    a.setWeight(WEIGHT_BOLD);
    a.setCharSet(CHARSET_SYMBOL);
    Font b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.hash(), b.hash());
    b.setItalic(true);
    EXPECT_NE(a, b);
    b = a;
    b.setColor(Color(COL_GRAY));
    EXPECT_NE(a, b);
    EXPECT_NE(a.hash(), b.hash());
}

TEST(Region, BoundsOfEachKind) {
    EXPECT_TRUE(Region().boundRect().isEmpty());
    EXPECT_EQ(Region(Rectangle(1, 2, 3, 4)).boundRect(), Rectangle(1, 2, 3, 4));
    EXPECT_TRUE(Region(Rectangle(Point(1, 1), Size(0, 5))).isEmpty());
    Region poly(Polygon{Point(5, 1), Point(-2, 8), Point(3, 3)});
    EXPECT_EQ(poly.boundRect(), Rectangle(-2, 1, 5, 8));
    Region list(std::vector<Polygon>{{Point(0, 0), Point(1, 1)}, {Point(10, -5)}});
    EXPECT_EQ(list.boundRect(), Rectangle(0, -5, 10, 1));
}

}  // namespace
