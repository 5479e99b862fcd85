#pragma once
// Colours and the drawing attributes that carry them: Color, Pen, Brush, Palette, Region.
//
// A Color has 16-bit components (an 8-bit value v is stored as v << 8) and a code: COL_RGB (29)
// for a colour given by its components, otherwise the code of a named colour whose components
// come from a fixed table (namedColorRGB8).  Two colours are equal when their components are
// equal, whatever their codes.
//
// Qt-free: the document model and the picture streams use these types.

#include <cstdint>
#include <vector>

#include "platform/gui/base/geometry.h"

// Named colour codes the program uses.
enum : int {
    COL_BLACK = 0,
    COL_GRAY = 7,           // dark grey: the print-preview area
    COL_LIGHTGRAY = 8,
    COL_WHITE = 15,
    COL_WINDOWTEXT = 20,    // the window text colour: black, the automatic text colour
    COL_BUTTONTEXT = 24,
    COL_BUTTONFACE = 25,
    COL_HIGHLIGHT = 26,
    COL_SHADOW = 27,
    COL_FACE = 28,
    COL_RGB = 29,           // the colour is given by its components
};

struct RGB8 { uint8_t r, g, b; };
// 8-bit components of a named colour; false for a code that names no colour.
bool namedColorRGB8(int code, RGB8& out);

class Color {
public:
    Color() = default;  // black, given by components
    // A named colour; an unknown code gives black with that code kept.
    explicit Color(int namedCode);
    Color(uint16_t r16, uint16_t g16, uint16_t b16) : code_(COL_RGB), r_(r16), g_(g16), b_(b16) {}
    static Color fromRGB8(uint8_t r, uint8_t g, uint8_t b) {
        return Color(static_cast<uint16_t>(r << 8), static_cast<uint16_t>(g << 8), static_cast<uint16_t>(b << 8));
    }

    int getCode() const { return code_; }
    uint16_t getRed() const { return r_; }
    uint16_t getGreen() const { return g_; }
    uint16_t getBlue() const { return b_; }
    uint8_t red8() const { return static_cast<uint8_t>(r_ >> 8); }
    uint8_t green8() const { return static_cast<uint8_t>(g_ >> 8); }
    uint8_t blue8() const { return static_cast<uint8_t>(b_ >> 8); }

    bool operator==(const Color& o) const { return r_ == o.r_ && g_ == o.g_ && b_ == o.b_; }
    bool operator!=(const Color& o) const { return !(*this == o); }

private:
    int code_ = COL_RGB;
    uint16_t r_ = 0, g_ = 0, b_ = 0;
};

enum PenStyle : int { PEN_NULL = 0, PEN_SOLID = 1, PEN_DASH = 2, PEN_DOT = 3, PEN_DASHDOT = 4 };

struct Pen {
    Color color;
    int32_t width = 0;      // 0 = thinnest line the device draws
    int style = PEN_SOLID;  // PenStyle
    Pen() = default;
    Pen(const Color& c, int32_t w = 0, int s = PEN_SOLID) : color(c), width(w), style(s) {}
    bool operator==(const Pen&) const = default;
};

enum BrushStyle : int { BRUSH_NULL = 0, BRUSH_SOLID = 1, BRUSH_HATCH = 5 };

struct Brush {
    Color color{COL_WHITE};
    int style = BRUSH_SOLID;  // BrushStyle
    bool transparent = false;
    Brush() = default;
    Brush(const Color& c, int s = BRUSH_SOLID, bool t = false) : color(c), style(s), transparent(t) {}
    bool operator==(const Brush&) const = default;
};

// A list of colours a window may select; it changes nothing on a true-colour display.
struct Palette {
    std::vector<Color> colors;
    bool operator==(const Palette&) const = default;
};

// Clip-region shapes as pictures record them.
struct Region {
    enum Kind : int { Empty = 0, Rect = 1, Poly = 2, PolyPoly = 3 };
    Kind kind = Empty;
    Rectangle rect;
    std::vector<Polygon> polygons;  // one for Poly, any number for PolyPoly

    Region() = default;
    explicit Region(const Rectangle& r) : kind(r.isEmpty() ? Empty : Rect), rect(r) {}
    explicit Region(const Polygon& p) : kind(Poly), polygons{p} {}
    explicit Region(std::vector<Polygon> ps) : kind(PolyPoly), polygons(std::move(ps)) {}
    bool isEmpty() const { return kind == Empty; }
    // Smallest rectangle holding the region (empty for an empty region).
    Rectangle boundRect() const;
    bool operator==(const Region&) const = default;
};
