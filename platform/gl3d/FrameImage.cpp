// A frame's drawables kept untransformed, copied for each rendering, and the part under the
// pointer.

#include "platform/gl3d/FrameImage.h"

#include <cmath>
#include <limits>
#include <unordered_map>

namespace gl3d {

namespace {

// Positions of the items of one list, head first.
template <typename T>
std::unordered_map<const void*, int> positions(const T* head) {
    std::unordered_map<const void*, int> at;
    int i = 0;
    for (const T* t = head; t; t = t->next) at.emplace(t, i++);
    return at;
}

int positionOf(const std::unordered_map<const void*, int>& at, const void* item, int length) {
    if (!item) return length;
    auto it = at.find(item);
    return it == at.end() ? length : it->second;
}

// owner[i] = the object number of list item i (0 for items no object entry covers).
// `heads` are the entries' head positions in entry order (last object first).
std::vector<int> owners(int length, const std::vector<std::pair<int, int>>& heads) {
    std::vector<int> owner(static_cast<std::size_t>(length), 0);
    for (std::size_t e = 0; e < heads.size(); ++e) {
        int from = heads[e].first;
        int to = e + 1 < heads.size() ? heads[e + 1].first : length;
        for (int i = from; i < to && i < length; ++i) owner[static_cast<std::size_t>(i)] = heads[e].second;
    }
    return owner;
}

bool finite(const DrawVertex& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

FrameImage::FrameImage(const PlotDrawables& set) {
    box_[0] = set.xmax; box_[1] = set.xmin; box_[2] = set.ymax;
    box_[3] = set.ymin; box_[4] = set.zmax; box_[5] = set.zmin;
    counts_[0] = set.pointCount; counts_[1] = set.segmentCount;
    counts_[2] = set.polygonCount; counts_[3] = set.textCount;

    std::unordered_map<const DrawVertex*, int> index;
    auto indexOf = [&](const DrawVertex* v) -> int {
        if (!v) return -1;
        auto [it, fresh] = index.try_emplace(v, static_cast<int>(vertices_.size()));
        if (fresh) vertices_.push_back(*v);
        return it->second;
    };
    for (const VertexArray* a = set.arrays; a; a = a->next) {
        int n = a->count > 0 && a->v ? a->count : 0;
        arraySizes_.push_back(n);
        for (int i = 0; i < n; ++i) arrayEntries_.push_back(indexOf(a->v[i]));
    }

    auto polygonAt = positions(set.polygons);
    auto segmentAt = positions(set.segments);
    auto pointAt = positions(set.points);
    int np = static_cast<int>(polygonAt.size()), ns = static_cast<int>(segmentAt.size()),
        nq = static_cast<int>(pointAt.size());
    std::vector<std::pair<int, int>> polygonHeads, segmentHeads, pointHeads;
    for (const DrawObjectEntry* e = set.objects; e; e = e->next) {
        Obj o{e->object, e->style, -1, -1, -1};
        int p = positionOf(polygonAt, e->polygons, np), s = positionOf(segmentAt, e->segments, ns),
            q = positionOf(pointAt, e->points, nq);
        o.polygons = p < np ? p : -1;
        o.segments = s < ns ? s : -1;
        o.points = q < nq ? q : -1;
        objects_.push_back(o);
        polygonHeads.emplace_back(p, e->object);
        segmentHeads.emplace_back(s, e->object);
        pointHeads.emplace_back(q, e->object);
    }
    std::vector<int> polygonOwner = owners(np, polygonHeads), segmentOwner = owners(ns, segmentHeads),
                     pointOwner = owners(nq, pointHeads);

    int i = 0;
    for (const DrawPolygon* p = set.polygons; p; p = p->next, ++i) {
        int n = p->count > 0 && p->v ? p->count : 0;
        polygons_.push_back(Poly{static_cast<int>(polygonVertices_.size()), n, p->colour,
                                 polygonOwner[static_cast<std::size_t>(i)]});
        for (int k = 0; k < n; ++k) polygonVertices_.push_back(indexOf(p->v[k]));
    }
    i = 0;
    for (const DrawSegment* s = set.segments; s; s = s->next, ++i)
        segments_.push_back(Seg{indexOf(s->a), indexOf(s->b), s->colour, segmentOwner[static_cast<std::size_t>(i)]});
    i = 0;
    for (const DrawPoint* p = set.points; p; p = p->next, ++i)
        points_.push_back(Pt{indexOf(p->v), p->colour, pointOwner[static_cast<std::size_t>(i)]});
    for (const DrawText* t = set.texts; t; t = t->next) texts_.push_back(Txt{indexOf(t->v), t->align, t->font, t->text, t->colour});
}

PlotDrawables* FrameImage::make(StorageArea* area, DrawVertex** verticesOut) const {
    auto* s = plot_alloc<PlotDrawables>(area);
    s->xmax = box_[0]; s->xmin = box_[1]; s->ymax = box_[2];
    s->ymin = box_[3]; s->zmax = box_[4]; s->zmin = box_[5];
    s->pointCount = counts_[0]; s->segmentCount = counts_[1];
    s->polygonCount = counts_[2]; s->textCount = counts_[3];

    DrawVertex* block = plot_alloc<DrawVertex>(area, vertices_.size());
    for (std::size_t k = 0; k < vertices_.size(); ++k) block[k] = vertices_[k];
    auto vertex = [block](int k) -> DrawVertex* { return k < 0 ? nullptr : block + k; };
    if (verticesOut) *verticesOut = block;

    std::size_t entry = 0;
    for (int n : arraySizes_) {
        auto* a = plot_alloc<VertexArray>(area);
        a->count = n;
        a->v = plot_alloc<DrawVertex*>(area, static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) a->v[k] = vertex(arrayEntries_[entry++]);
        if (s->arraysTail) s->arraysTail->next = a; else s->arrays = a;
        s->arraysTail = a;
    }

    DrawPolygon* polygons = plot_alloc<DrawPolygon>(area, polygons_.size());
    DrawVertex** rings = plot_alloc<DrawVertex*>(area, polygonVertices_.size());
    for (std::size_t k = 0; k < polygonVertices_.size(); ++k) rings[k] = vertex(polygonVertices_[k]);
    for (std::size_t k = 0; k < polygons_.size(); ++k) {
        DrawPolygon& p = polygons[k];
        p.count = polygons_[k].count;
        p.v = rings + polygons_[k].first;
        p.colour = polygons_[k].colour;
        p.next = k + 1 < polygons_.size() ? &polygons[k + 1] : nullptr;
    }
    DrawSegment* segments = plot_alloc<DrawSegment>(area, segments_.size());
    for (std::size_t k = 0; k < segments_.size(); ++k) {
        segments[k].a = vertex(segments_[k].a);
        segments[k].b = vertex(segments_[k].b);
        segments[k].colour = segments_[k].colour;
        segments[k].next = k + 1 < segments_.size() ? &segments[k + 1] : nullptr;
    }
    DrawPoint* points = plot_alloc<DrawPoint>(area, points_.size());
    for (std::size_t k = 0; k < points_.size(); ++k) {
        points[k].v = vertex(points_[k].v);
        points[k].colour = points_[k].colour;
        points[k].next = k + 1 < points_.size() ? &points[k + 1] : nullptr;
    }
    DrawText* texts = plot_alloc<DrawText>(area, texts_.size());
    for (std::size_t k = 0; k < texts_.size(); ++k) {
        texts[k].v = vertex(texts_[k].v);
        texts[k].align = texts_[k].align;
        texts[k].font = texts_[k].font;
        texts[k].text = texts_[k].text;
        texts[k].colour = texts_[k].colour;
        texts[k].next = k + 1 < texts_.size() ? &texts[k + 1] : nullptr;
    }
    s->polygons = polygons_.empty() ? nullptr : polygons;
    s->segments = segments_.empty() ? nullptr : segments;
    s->points = points_.empty() ? nullptr : points;
    s->texts = texts_.empty() ? nullptr : texts;

    DrawObjectEntry* entries = plot_alloc<DrawObjectEntry>(area, objects_.size());
    for (std::size_t k = 0; k < objects_.size(); ++k) {
        DrawObjectEntry& e = entries[k];
        e.object = objects_[k].object;
        e.style = objects_[k].style;
        e.polygons = objects_[k].polygons < 0 ? nullptr : &polygons[objects_[k].polygons];
        e.segments = objects_[k].segments < 0 ? nullptr : &segments[objects_[k].segments];
        e.points = objects_[k].points < 0 ? nullptr : &points[objects_[k].points];
        e.next = k + 1 < objects_.size() ? &entries[k + 1] : nullptr;
    }
    s->objects = objects_.empty() ? nullptr : entries;
    return s;
}

int FrameImage::partAt(const DrawVertex* drawn, const Mapping& map, bool threeD, double x, double y,
                       double reach) const {
    int best = -1;
    double bestDepth = std::numeric_limits<double>::infinity();
    // 2-D: the primitive drawn last wins.  3-D: the nearest to the viewer (smaller depth); on a
    // tie the one drawn later.
    auto take = [&](int object, double depth) {
        if (object <= 0) return;
        if (threeD && !(depth <= bestDepth)) return;
        bestDepth = depth;
        best = object - 1;
    };
    struct P {
        double x, y, z;
    };
    auto at = [&](int k, P* out) {
        if (k < 0 || static_cast<std::size_t>(k) >= vertices_.size()) return false;
        const DrawVertex& v = drawn[k];
        if (!finite(v)) return false;
        *out = P{map.pixelX(map.u(v.x)), map.pixelY(map.v(v.y)), v.z};
        return true;
    };

    // Polygons first, then segments, then points: the order of the direct output.
    std::vector<P> ring;
    for (const Poly& p : polygons_) {
        ring.clear();
        bool ok = p.count >= 3;
        for (int k = 0; ok && k < p.count; ++k) {
            P q;
            ok = at(polygonVertices_[static_cast<std::size_t>(p.first + k)], &q);
            ring.push_back(q);
        }
        if (!ok) continue;
        bool inside = false;
        for (std::size_t a = 0, b = ring.size() - 1; a < ring.size(); b = a++) {
            if ((ring[a].y > y) != (ring[b].y > y) &&
                x < (ring[b].x - ring[a].x) * (y - ring[a].y) / (ring[b].y - ring[a].y) + ring[a].x)
                inside = !inside;
        }
        if (!inside) continue;
        // Depth there: from the fan triangle that holds the point, else the mean.
        double depth = 0;
        for (const P& q : ring) depth += q.z;
        depth /= static_cast<double>(ring.size());
        for (std::size_t k = 1; k + 1 < ring.size(); ++k) {
            const P &a = ring[0], &b = ring[k], &c = ring[k + 1];
            double d = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
            if (d == 0) continue;
            double l1 = ((b.y - c.y) * (x - c.x) + (c.x - b.x) * (y - c.y)) / d;
            double l2 = ((c.y - a.y) * (x - c.x) + (a.x - c.x) * (y - c.y)) / d;
            double l3 = 1 - l1 - l2;
            if (l1 >= 0 && l2 >= 0 && l3 >= 0) {
                depth = l1 * a.z + l2 * b.z + l3 * c.z;
                break;
            }
        }
        take(p.object, depth);
    }
    for (const Seg& s : segments_) {
        P a, b;
        if (!at(s.a, &a) || !at(s.b, &b)) continue;
        double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0;
        t = std::fmax(0, std::fmin(1, t));
        double ex = a.x + t * dx - x, ey = a.y + t * dy - y;
        if (ex * ex + ey * ey <= reach * reach) take(s.object, a.z + t * (b.z - a.z));
    }
    for (const Pt& q : points_) {
        P a;
        if (!at(q.v, &a)) continue;
        double ex = a.x - x, ey = a.y - y;
        if (ex * ex + ey * ey <= reach * reach) take(q.object, a.z);
    }
    return best;
}

}  // namespace gl3d
