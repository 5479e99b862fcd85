// Clipping of mapped coordinates to a rectangle.

#include "plot/render/scaling.h"

bool plot_clip_segment(double& x1, double& y1, double& x2, double& y2, double xlo, double xhi, double ylo,
                       double yhi) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
    double dx = x2 - x1, dy = y2 - y1;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - xlo, xhi - x1, y1 - ylo, yhi - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double r = q[i] / p[i];
        if (p[i] < 0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
    }
    double ax = x1 + t0 * dx, ay = y1 + t0 * dy, bx = x1 + t1 * dx, by = y1 + t1 * dy;
    x1 = ax; y1 = ay; x2 = bx; y2 = by;
    return true;
}

bool plot_clip_polygon(PlotRing& ring, double xlo, double xhi, double ylo, double yhi) {
    for (const auto& p : ring)
        if (!std::isfinite(p.first) || !std::isfinite(p.second)) return false;
    const double lo[2] = {xlo, ylo}, hi[2] = {xhi, yhi};
    PlotRing next;
    for (int edge = 0; edge < 4 && !ring.empty(); ++edge) {
        int axis = edge / 2;
        bool low = edge % 2 == 0;
        double limit = low ? lo[axis] : hi[axis];
        auto coord = [axis](const std::pair<double, double>& p) { return axis == 0 ? p.first : p.second; };
        auto inside = [&](const std::pair<double, double>& p) { return low ? coord(p) >= limit : coord(p) <= limit; };
        next.clear();
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const auto& a = ring[i];
            const auto& b = ring[(i + 1) % ring.size()];
            bool ia = inside(a), ib = inside(b);
            if (ia) next.push_back(a);
            if (ia != ib) {
                double t = (limit - coord(a)) / (coord(b) - coord(a));
                next.emplace_back(a.first + t * (b.first - a.first), a.second + t * (b.second - a.second));
            }
        }
        ring.swap(next);
    }
    return true;
}
