#pragma once
// The plain records of a parsed plot: what the plot structure reader (plot_read.h) builds from
// a PLOT or PLOT3D structure and what the renderer, the device drivers and the plot elements
// read afterwards and never change.
//
// Ownership: every record lives in the storage area passed to plot_read_structure and goes
// with it; nothing is freed one by one.  The area zero-fills, so a field the reader does not set
// is 0 or null.  All records are trivially constructible and are created in place by
// plot_alloc below.
//
// Bounding boxes (`PlotBBox`) hold min x, max x, min y, max y, min z, max z; view boxes
// (`ViewBox`) hold the minimum corner, then the maximum corner, then three set flags.

#include <cstddef>
#include <cstdint>
#include <limits>

#include "tovu/dag.h"
#include "tovu/errors.h"
#include "tovu/storage.h"

// ---- enumerations ---------------------------------------------------------------------------
enum PlotObjectKind : std::int32_t {
    PLOT_GRID = 0, PLOT_MESH = 1, PLOT_POINTS = 2, PLOT_CURVES = 3, PLOT_TEXT = 4,
    PLOT_POLYGONS = 6, PLOT_ISOSURFACE = 7,
};
enum AxesStyle : std::int32_t {
    AXES_DEFAULT = 0, AXES_NONE = 1, AXES_BOX = 2, AXES_FRAME = 3, AXES_NORMAL = 4,
};
enum DrawStyle : std::int32_t {
    STYLE_DEFAULT = 0, STYLE_HIDDEN = 1, STYLE_PATCH = 2, STYLE_PATCHNOGRID = 3,
    STYLE_PATCHCONTOUR = 4, STYLE_POINT = 5, STYLE_LINE = 6, STYLE_CONTOUR = 7,
};
enum ShadingKind : std::int32_t {
    SHADE_UNSET = 0, SHADE_XYZ = 1, SHADE_XY = 2, SHADE_Z = 3, SHADE_ZHUE = 4,
    SHADE_ZGREY = 5, SHADE_RGB = 6, SHADE_HUE = 7, SHADE_HSV = 8, SHADE_NONE = 9,
};
enum LightModel : std::int32_t {
    LIGHT_UNSET = 0, LIGHT_NONE = 1, LIGHT_USER = 2, LIGHT_1 = 3, LIGHT_2 = 4, LIGHT_3 = 5,
    LIGHT_4 = 6,
};
enum FrameScaling : std::int32_t { FRAMES_DEFAULT = 0, FRAMES_UNIFORM = 1, FRAMES_NONUNIFORM = 2 };
enum Scaling : std::int32_t { SCALING_DEFAULT = 0, SCALING_CONSTRAINED = 1, SCALING_UNCONSTRAINED = 2 };
// Alignment bits of texts.
enum : std::int32_t { ALIGN_LEFT = 1, ALIGN_RIGHT = 2, ALIGN_BELOW = 4, ALIGN_ABOVE = 8 };

// ---- records --------------------------------------------------------------------------------
struct PlotBBox {
    double v[6];   // min x, max x, min y, max y, min z, max z
    double lo(int axis) const { return v[2 * axis]; }
    double hi(int axis) const { return v[2 * axis + 1]; }
};

struct ViewBox {
    double lo[3];        // x min, y min, z min
    double hi[3];        // x max, y max, z max
    std::int32_t set[3]; // 1 when VIEW gave the axis; 0 axes are filled from the bounding box
};

struct PlotOrientation {
    double phi;     // second number of PROJECTION
    double theta;   // first number of PROJECTION
    double r;       // third number: 1 orthogonal, otherwise perspective
};

struct TickSet {
    std::int32_t kind;    // 1 a number of ticks, 2 given positions, 3 positions with labels
    std::int32_t count;   // wanted count (kind 1 input), built count, or positions given
    double* positions;    // kinds 2 and 3 (and every built set)
    char** labels;        // kind 3 (and every built set); an entry may be null: no label
};

struct PlotFont {
    const char* family;   // "times", "courier", "helvetica", "symbol"
    const char* style;    // "roman", "bold", ..., or ""
    std::int32_t size;    // points, default 12
};

struct PlotColour {
    std::int32_t kind;    // ShadingKind
    std::int32_t count;   // number of doubles in values
    double* values;
};

struct PlotLight {
    PlotLight* next;
    double v[5];   // directional: phi, theta, red, green, blue; ambient: red, green, blue in v[2..4]
};

struct PlotOptions {
    char* title;
    ViewBox* view;
    PlotOrientation* orientation;
    std::int32_t axesStyle;
    TickSet** axesTicks;          // three entries (x, y, z), null = automatic
    std::int32_t axesParameter;   // tick subdivision; 5 in the plot record, 0 in frames
    char** axesLabels;            // three texts
    PlotLight* ambient;           // most recent first
    PlotLight* lights;            // most recent first
    std::int32_t lightModel;
    std::int32_t titleFont;
    std::int32_t axesLabelsFont;
    std::int32_t axesTicksFont;
    std::int32_t scaling;
    std::int32_t projection;      // 0 not given, 1 orthogonal, 2 perspective
};

struct ObjectOptions {
    char* name;
    PlotColour* colour;
    std::int32_t gridStyle;
    std::int32_t style;
    TickSet* contours;
    std::int32_t symbol;
    std::int32_t lineStyle;
    std::int32_t font;
    std::int32_t thickness;
};

struct PlotVertex {
    double x, y, z;
    double spare;   // room for a fourth double
};

struct PlotObject {
    PlotBBox box;
    PlotObject* next;
    std::int32_t kind;   // PlotObjectKind
    ObjectOptions options;
    void* data;          // the kind's data record below
};

struct PlotFrame {
    PlotBBox box;
    PlotFrame* next;
    PlotFrame* prev;
    PlotObject* first;
    PlotObject* last;
    PlotOptions options;
    ObjectOptions objectOptions;
};

struct PlotRecord {
    PlotBBox box;
    StorageArea* area;
    std::int32_t dimension;    // 2 or 3
    std::int32_t frameCount;
    PlotFrame* first;
    PlotFrame* last;
    std::int32_t fontCount;
    PlotFont** fonts;          // font n (1-based) is fonts[n - 1]
    std::int32_t frameScaling; // FrameScaling
    PlotOptions options;
    ObjectOptions objectOptions;
    const DagWord* source;     // set by the caller, never by the reader
};

// ---- object data ----------------------------------------------------------------------------
struct PlotGridData {
    std::uint8_t* defined;   // rows x cols bytes, 1 defined
    std::int32_t rows;
    std::int32_t cols;
    double* values;          // row after row
};

struct PlotMeshData {
    std::int32_t rows;
    std::int32_t cols;
    PlotVertex** vertices;   // entry j + cols * i for row i, column j; null = undefined
};

struct PlotPointList {
    std::int32_t count;
    PlotVertex** vertices;
};

struct PlotPiece {
    std::int32_t count;
    PlotPiece* next;
    std::int32_t* indices;
};

// CURVES and POLYGONS, and the polygon set extracted from an ISOSURFACE.
struct PlotCurveList {
    std::int32_t vertexCount;
    std::int32_t pieceCount;
    PlotPiece* first;
    PlotVertex** vertices;
};

struct PlotText {
    char* text;
    std::int32_t align;
    PlotVertex* location;
};

struct PlotIsoData {
    std::int32_t n, m, l;
    double* values;           // n * m * l
    PlotVertex** vertices;    // entry k + l * (j + m * i)
    PlotCurveList* polygons;  // filled by isosurface_extract at every build
};

// ---- allocation -----------------------------------------------------------------------------
// `count` zero-filled records of T from the area.  A request beyond what a size_t can hold, or
// a failed allocation, raises "Out of memory".
template <typename T>
T* plot_alloc(StorageArea* area, std::size_t count = 1) {
    if (count == 0) count = 1;
    if (count > (std::numeric_limits<std::size_t>::max() / 2) / sizeof(T)) tovu_error("Out of memory");
    std::size_t words = (count * sizeof(T) + sizeof(DagWord) - 1) / sizeof(DagWord);
    DagWord* p = dag_alloc(area, words);
    if (!p) tovu_error("Out of memory");
    if (area->flags & STORAGE_NOZERO) {
        for (std::size_t i = 0; i < words; ++i) p[i] = 0;
    }
    return reinterpret_cast<T*>(p);
}

// A copy of a NUL-terminated text in the area.
char* plot_strdup(StorageArea* area, const char* text);
