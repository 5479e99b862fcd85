#pragma once
// Drawables: what the builders (build.h) make of a frame's objects and what every later stage
// works on: the view transform and direct output (view.h), lighting (colour.h), the axes
// (axes.h) and the hidden-surface removal that plugs into the pipeline (pipeline.h).
//
// Ownership: every record lives in the drawing area passed to plot_build_drawables and goes
// with it.  A vertex may be shared by several primitives but is reachable through exactly one
// VertexArray of its frame, so the view transform touches it once.
//
// ColourWord (32 bits):
//
// | bits  | meaning                                                                     |
// |-------|-----------------------------------------------------------------------------|
// | 0-23  | red << 16 | green << 8 | blue, each 0..255                                   |
// | 24    | background fill: hides what lies behind, never drawn as a coloured primitive |
// | 25-27 | LINESTYLE of a segment                                                      |
// | 28-31 | THICKNESS of a segment, or SYMBOL of a point                                |

#include <cstdint>

#include "plot/plot_types.h"

using ColourWord = std::uint32_t;
constexpr ColourWord COLOUR_BACKGROUND_FILL = 0x1000000;

struct DrawVertex {
    double x, y, z;
    ColourWord colour;
};

struct VertexArray {
    std::int32_t count;
    VertexArray* next;
    DrawVertex** v;   // count entries; null = undefined sample
};

struct DrawPoint {
    DrawVertex* v;
    DrawPoint* next;
    ColourWord colour;   // SYMBOL in bits 28-31
};

struct DrawText {
    DrawVertex* v;
    DrawText* next;
    std::int16_t align;
    std::int16_t font;
    const char* text;
    ColourWord colour;
};

struct DrawSegment {
    double work[4];   // working fields of the hidden-surface removal
    DrawVertex* a;
    DrawVertex* b;
    void* spanLink;
    DrawSegment* next;
    ColourWord colour;
};

struct DrawPolygon {
    double plane[5];   // a, b, c of z = a x + b y + c, then zmin, zmax (hidden-surface removal)
    std::int32_t count;
    DrawPolygon* next;
    ColourWord colour;
    void* spanLink[2];
    DrawVertex** v;    // count entries
};

struct DrawObjectEntry {
    DrawObjectEntry* next;
    std::int16_t object;   // object number within the frame, from 1
    std::int32_t style;
    DrawSegment* segments;
    DrawPolygon* polygons;
    DrawPoint* points;
};

struct PlotDrawables {
    double xmax, xmin, ymax, ymin, zmax, zmin;
    PlotDrawables* next;
    std::int32_t pointCount, segmentCount, polygonCount, textCount;
    VertexArray* arrays;
    VertexArray* arraysTail;
    DrawText* texts;
    DrawPoint* points;
    DrawSegment* segments;
    DrawPolygon* polygons;
    DrawObjectEntry* objects;
};

// The view of one frame: a 4 x 4 matrix (row-vector convention, element (r, c) at 4r + c; M[3]
// is the perspective distance, 0 for orthogonal) in 3-D; in 2-D ox, oy at 0, 1 and the
// half-extents hx, hy at 4, 5.
struct PlotView {
    double m[16];
};

// The output side of the renderer.  Every operation gets the record itself first; an output
// side may keep fields of its own after these.  Coordinates are view units.
struct PlotOutputCallbacks {
    StorageArea* storage;
    void (*point)(PlotOutputCallbacks* cb, double x, double y, ColourWord colour);
    void (*line)(PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord colour);
    void (*polygon)(PlotOutputCallbacks* cb, int n, const double* xs, const double* ys, ColourWord colour);
    void (*text)(PlotOutputCallbacks* cb, double x, double y, const char* text, int align, ColourWord colour, int font);
    // May be null.  The box the text would take, in view units.
    void (*textExtent)(PlotOutputCallbacks* cb, double x, double y, const char* text, int align, int unused,
                       int font, double* x0, double* y0, double* x1, double* y1);
    void (*overlayLine)(PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord colour);
    void (*overlayText)(PlotOutputCallbacks* cb, double x, double y, const char* text, int align, ColourWord colour, int font);
    void (*setDrawingArea)(PlotOutputCallbacks* cb, double xmin, double xmax, double ymin, double ymax);
    void (*hookA)(PlotOutputCallbacks* cb);
    int (*hookB)(PlotOutputCallbacks* cb);
    int (*interruptTest)(PlotOutputCallbacks* cb);
    ColourWord background;   // 0xFFFFFF unless the output side changes it
};

constexpr int PLOT_POLYGON_MAX = 128;   // vertices handed to `polygon` at most
