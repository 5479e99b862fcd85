// Rectangle operations and map-mode conversions.
#include "platform/gui/base/geometry.h"

#include <algorithm>
#include <utility>

Rectangle& Rectangle::justify() {
    if (isEmpty()) return *this;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    return *this;
}

bool Rectangle::isInside(const Point& p) const {
    if (isEmpty()) return false;
    Rectangle r = *this;
    r.justify();
    return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

Rectangle Rectangle::intersection(const Rectangle& other) const {
    if (isEmpty() || other.isEmpty()) return Rectangle();
    Rectangle a = *this, b = other;
    a.justify();
    b.justify();
    Rectangle r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom));
    if (r.left > r.right || r.top > r.bottom) return Rectangle();
    return r;
}

Rectangle Rectangle::unionWith(const Rectangle& other) const {
    if (isEmpty()) return other;
    if (other.isEmpty()) return *this;
    Rectangle a = *this, b = other;
    a.justify();
    b.justify();
    return Rectangle(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                     std::max(a.bottom, b.bottom));
}

MapUnit mapUnitFromCode(int code) {
    if (code < 0 || code > 10) return MapUnit::Pixel;
    return static_cast<MapUnit>(code);
}

namespace {

// Units per inch as a ratio num / den; pixels use the device resolution.
struct PerInch { long long num, den; };

PerInch unitsPerInch(MapUnit u, int dpi) {
    switch (u) {
    case MapUnit::Mm100th: return {2540, 1};
    case MapUnit::Mm10th: return {254, 1};
    case MapUnit::Mm: return {127, 5};
    case MapUnit::Cm: return {127, 50};
    case MapUnit::Inch1000th: return {1000, 1};
    case MapUnit::Inch100th: return {100, 1};
    case MapUnit::Inch10th: return {10, 1};
    case MapUnit::Inch: return {1, 1};
    case MapUnit::Point: return {72, 1};
    case MapUnit::Twip: return {1440, 1};
    case MapUnit::Pixel: break;
    }
    return {dpi, 1};
}

// Rounded division, half away from zero; 0 when the divisor is 0.
long long divRound(__int128 a, __int128 b) {
    if (b == 0) return 0;
    if (b < 0) { a = -a; b = -b; }
    __int128 q = a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
    if (q > INT64_MAX) return INT64_MAX;
    if (q < INT64_MIN) return INT64_MIN;
    return static_cast<long long>(q);
}

// logic -> pixel: v * sNum * dpi * upiDen / (sDen * upiNum)
long long toPixel(long long v, const Fraction& s, MapUnit u, int dpi) {
    PerInch p = unitsPerInch(u, dpi);
    return divRound(static_cast<__int128>(v) * s.num * dpi * p.den,
                    static_cast<__int128>(s.den) * p.num);
}

long long toLogic(long long v, const Fraction& s, MapUnit u, int dpi) {
    PerInch p = unitsPerInch(u, dpi);
    return divRound(static_cast<__int128>(v) * s.den * p.num,
                    static_cast<__int128>(s.num) * dpi * p.den);
}

}  // namespace

long long MapMode::lengthToPixelX(long long v, int dpi) const { return toPixel(v, scaleX, unit, dpi); }
long long MapMode::lengthToPixelY(long long v, int dpi) const { return toPixel(v, scaleY, unit, dpi); }
long long MapMode::lengthToLogicX(long long v, int dpi) const { return toLogic(v, scaleX, unit, dpi); }
long long MapMode::lengthToLogicY(long long v, int dpi) const { return toLogic(v, scaleY, unit, dpi); }
long long MapMode::logicToPixelX(long long v, int dpi) const { return lengthToPixelX(v + origin.x, dpi); }
long long MapMode::logicToPixelY(long long v, int dpi) const { return lengthToPixelY(v + origin.y, dpi); }
long long MapMode::pixelToLogicX(long long v, int dpi) const { return lengthToLogicX(v, dpi) - origin.x; }
long long MapMode::pixelToLogicY(long long v, int dpi) const { return lengthToLogicY(v, dpi) - origin.y; }
