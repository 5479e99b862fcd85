// Named colour table and region bounds.
#include "platform/gui/base/Color.h"

#include <algorithm>

bool namedColorRGB8(int code, RGB8& out) {
    switch (code) {
    case COL_BLACK: out = {0, 0, 0}; return true;
    case COL_GRAY: out = {128, 128, 128}; return true;
    case COL_LIGHTGRAY: out = {192, 192, 192}; return true;
    case COL_WHITE: out = {255, 255, 255}; return true;
    case COL_WINDOWTEXT: out = {0, 0, 0}; return true;
    case COL_BUTTONTEXT: out = {0, 0, 0}; return true;
    case COL_BUTTONFACE: out = {192, 192, 192}; return true;
    case COL_HIGHLIGHT: out = {255, 255, 255}; return true;
    case COL_SHADOW: out = {128, 128, 128}; return true;
    case COL_FACE: out = {192, 192, 192}; return true;
    default: return false;
    }
}

Color::Color(int namedCode) : code_(namedCode) {
    RGB8 c{0, 0, 0};
    namedColorRGB8(namedCode, c);
    r_ = static_cast<uint16_t>(c.r << 8);
    g_ = static_cast<uint16_t>(c.g << 8);
    b_ = static_cast<uint16_t>(c.b << 8);
}

Rectangle Region::boundRect() const {
    if (kind == Empty) return Rectangle();
    if (kind == Rect) return rect;
    bool any = false;
    int32_t l = 0, t = 0, r = 0, b = 0;
    for (const Polygon& poly : polygons)
        for (const Point& p : poly) {
            if (!any) { l = r = p.x; t = b = p.y; any = true; continue; }
            l = std::min(l, p.x); r = std::max(r, p.x);
            t = std::min(t, p.y); b = std::max(b, p.y);
        }
    return any ? Rectangle(l, t, r, b) : Rectangle();
}
