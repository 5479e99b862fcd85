#pragma once
// FrameImage: one frame's drawables as the builders made them, kept untransformed in flat
// arrays that index vertices instead of pointing at them.
//
// The renderer transforms a frame's vertices in place and the hidden-surface stage re-sorts,
// filters and shortens its lists, so a frame cannot be drawn twice from the same drawables.
// Each rendering makes a fresh PlotDrawables from the image (make), with the vertices in one
// block in image order; after the rendering that block holds the frame's transformed vertices,
// which the part under the pointer is found against (partAt).
//
// Every primitive carries the number (from 1) of the plot object that made it, taken from the
// object entries of the builder: an entry records the heads of the lists (which grow at the
// front) after its object was built, so object k owns the list items from its head up to the
// head of object k - 1.

#include <cstdint>
#include <vector>

#include "platform/gl3d/Mapping.h"
#include "plot/render/drawables.h"

namespace gl3d {

class FrameImage {
public:
    // Takes the frame's drawables apart; `set` is not changed.
    explicit FrameImage(const PlotDrawables& set);

    // A PlotDrawables in `area` equal to the one the image was taken from; *vertices receives
    // the block of its vertices in image order.
    PlotDrawables* make(StorageArea* area, DrawVertex** vertices) const;

    std::size_t vertexCount() const { return vertices_.size(); }
    std::size_t polygonCount() const { return polygons_.size(); }

    // The object number less 1 of the primitive at pixel (x, y) (y down) among `drawn` (the
    // transformed vertex block of a rendering, placed by `map`): a segment or point within
    // `reach` pixels or a polygon holding the point; in 3-D the one nearest the viewer there, in
    // 2-D the one drawn last.  -1 for none.
    int partAt(const DrawVertex* drawn, const Mapping& map, bool threeD, double x, double y, double reach) const;

private:
    struct Poly {
        int first, count;
        ColourWord colour;
        int object;
    };
    struct Seg {
        int a, b;
        ColourWord colour;
        int object;
    };
    struct Pt {
        int v;
        ColourWord colour;
        int object;
    };
    struct Txt {
        int v;
        std::int16_t align, font;
        const char* text;   // in the drawables' area, which outlives the image
        ColourWord colour;
    };
    struct Obj {
        std::int16_t object;
        std::int32_t style;
        int segments, polygons, points;   // index of the list head, -1 for an empty list
    };

    double box_[6];   // xmax, xmin, ymax, ymin, zmax, zmin
    std::int32_t counts_[4];
    std::vector<DrawVertex> vertices_;
    std::vector<int> arraySizes_;
    std::vector<int> arrayEntries_;   // a vertex index per array entry, -1 for an undefined sample
    std::vector<Poly> polygons_;
    std::vector<int> polygonVertices_;
    std::vector<Seg> segments_;
    std::vector<Pt> points_;
    std::vector<Txt> texts_;
    std::vector<Obj> objects_;   // in list order, the last object first
};

}  // namespace gl3d
