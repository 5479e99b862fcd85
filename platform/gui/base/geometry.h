#pragma once
// 16-bit geometry of the GUI layer: Point, Size, Rectangle, Polygon, Fraction and MapMode.
//
// Invariants:
//  1. Every coordinate the layer receives is clamped to -32768..32767 (clamp16), so a caller that
//     forgot to clamp gets the nearest edge, never a wrap-around.
//  2. A Rectangle's right and bottom edges are inclusive.  The value RECT_EMPTY (32769, 0x8001)
//     in either marks an empty rectangle that draws nothing; Rectangle(Point, Size) produces it
//     for a zero width or height.
//  3. MapMode unit codes 4 (thousandths of an inch) and 7 (inch) are stored in picture streams;
//     10 is device pixels.  The other codes are ours.  An unknown code read from a file is taken
//     as pixels (mapUnitFromCode).
//
// Qt-free: the document model uses these types.

#include <cstdint>
#include <vector>

constexpr int32_t RECT_EMPTY = 32769;

constexpr int32_t clamp16(long long v) {
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : static_cast<int32_t>(v));
}

struct Point {
    int32_t x = 0, y = 0;
    constexpr Point() = default;
    constexpr Point(long long px, long long py) : x(clamp16(px)), y(clamp16(py)) {}
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int32_t width = 0, height = 0;
    constexpr Size() = default;
    constexpr Size(long long w, long long h) : width(clamp16(w)), height(clamp16(h)) {}
    friend constexpr bool operator==(const Size&, const Size&) = default;
};

// An edge is clamped like a coordinate, except that the empty-edge value passes unchanged.
constexpr int32_t clampEdge(long long v) { return v == RECT_EMPTY ? RECT_EMPTY : clamp16(v); }

struct Rectangle {
    int32_t left = 0, top = 0, right = RECT_EMPTY, bottom = RECT_EMPTY;

    constexpr Rectangle() = default;
    constexpr Rectangle(long long l, long long t, long long r, long long b)
        : left(clamp16(l)), top(clamp16(t)), right(clampEdge(r)), bottom(clampEdge(b)) {}
    constexpr Rectangle(const Point& p, const Size& s)
        : left(p.x), top(p.y),
          right(s.width == 0 ? RECT_EMPTY : clamp16(static_cast<long long>(p.x) + s.width - 1)),
          bottom(s.height == 0 ? RECT_EMPTY : clamp16(static_cast<long long>(p.y) + s.height - 1)) {}

    constexpr bool isEmpty() const { return right == RECT_EMPTY || bottom == RECT_EMPTY; }
    constexpr Point topLeft() const { return Point(left, top); }
    // Width and height of a non-empty rectangle (0 for an empty one); negative when the
    // rectangle is not justified.
    constexpr long getWidth() const { return isEmpty() ? 0 : static_cast<long>(right) - left + (right >= left ? 1 : -1); }
    constexpr long getHeight() const { return isEmpty() ? 0 : static_cast<long>(bottom) - top + (bottom >= top ? 1 : -1); }
    constexpr Size getSize() const { return Size(getWidth(), getHeight()); }
    // Swaps edges so that left <= right and top <= bottom (an empty rectangle stays empty).
    Rectangle& justify();
    bool isInside(const Point& p) const;
    // Intersection; empty when the two do not meet.
    Rectangle intersection(const Rectangle& r) const;
    // Smallest rectangle holding both; an empty operand is ignored.
    Rectangle unionWith(const Rectangle& r) const;
    friend constexpr bool operator==(const Rectangle&, const Rectangle&) = default;
};

using Polygon = std::vector<Point>;

struct Fraction {
    int32_t num = 1, den = 1;
    constexpr Fraction() = default;
    constexpr Fraction(int32_t n, int32_t d) : num(n), den(d) {}
    constexpr bool isValid() const { return den != 0; }
    friend constexpr bool operator==(const Fraction&, const Fraction&) = default;
};

enum class MapUnit : int {
    Mm100th = 0, Mm10th = 1, Mm = 2, Cm = 3,
    Inch1000th = 4, Inch100th = 5, Inch10th = 6, Inch = 7,
    Point = 8, Twip = 9, Pixel = 10,
};
MapUnit mapUnitFromCode(int code);

// Logic units of a device: unit, origin (added to logic coordinates before scaling) and a scale
// per axis.  A logic value v maps to device pixels as (v + origin) * scale * dpi / unitsPerInch.
struct MapMode {
    MapUnit unit = MapUnit::Pixel;
    Point origin;
    Fraction scaleX, scaleY;

    constexpr MapMode() = default;
    constexpr explicit MapMode(MapUnit u) : unit(u) {}
    MapMode(MapUnit u, Point o, Fraction sx, Fraction sy) : unit(u), origin(o), scaleX(sx), scaleY(sy) {}

    // Conversions with the given device resolution (dots per inch), rounded to the nearest
    // integer.  A zero scale denominator maps everything to 0.
    long long logicToPixelX(long long v, int dpi) const;
    long long logicToPixelY(long long v, int dpi) const;
    long long pixelToLogicX(long long v, int dpi) const;
    long long pixelToLogicY(long long v, int dpi) const;
    // Lengths (no origin).
    long long lengthToPixelX(long long v, int dpi) const;
    long long lengthToPixelY(long long v, int dpi) const;
    long long lengthToLogicX(long long v, int dpi) const;
    long long lengthToLogicY(long long v, int dpi) const;
    friend bool operator==(const MapMode&, const MapMode&) = default;
};
