// View box, view set-up and transforms, and the direct output of a frame's drawables.

#include "plot/render/view.h"

#include <cmath>
#include <cstring>

namespace {

void box_from_bbox(const PlotBBox& b, ViewBox* out) {
    for (int a = 0; a < 3; ++a) {
        out->lo[a] = b.lo(a);
        out->hi[a] = b.hi(a);
        out->set[a] = 1;
    }
}

bool constrained(const PlotRecord* plot, const PlotFrame* frame) {
    int s = frame ? frame->options.scaling : 0;
    return s == SCALING_CONSTRAINED || (s == SCALING_DEFAULT && plot->options.scaling == SCALING_CONSTRAINED);
}

}  // namespace

void view_box_union(bool threeD, const ViewBox* a, const ViewBox* b, ViewBox* out) {
    ViewBox r = *a;
    int axes = threeD ? 3 : 2;
    for (int i = 0; i < axes; ++i) {
        r.lo[i] = std::fmin(a->lo[i], b->lo[i]);
        r.hi[i] = std::fmax(a->hi[i], b->hi[i]);
    }
    *out = r;
}

void plot_view_box(const PlotRecord* plot, const PlotFrame* frame, ViewBox* out) {
    bool threeD = plot->dimension == 3;
    ViewBox box{};
    if (plot->frameScaling == FRAMES_NONUNIFORM && frame) {
        if (frame->options.view) box = *frame->options.view;
        else if (plot->options.view) box = *plot->options.view;
        else box_from_bbox(frame->box, &box);
    } else if (plot->options.view) {
        box = *plot->options.view;
    } else if (plot->frameCount < 2) {
        box_from_bbox(plot->box, &box);
    } else {
        bool first = true;
        for (const PlotFrame* f = plot->first; f; f = f->next) {
            ViewBox fb{};
            if (f->options.view) fb = *f->options.view;
            else box_from_bbox(f->box, &fb);
            if (first) box = fb;
            else view_box_union(threeD, &box, &fb, &box);
            first = false;
        }
    }
    if (!threeD) {
        box.lo[2] = box.hi[2] = 0;   // a 2-D view has no z
    }
    *out = box;
}

// ---- matrices -------------------------------------------------------------------------------------

void view_matrix_identity(double m[16]) {
    std::memset(m, 0, 16 * sizeof(double));
    m[0] = m[5] = m[10] = m[15] = 1;
}
void view_matrix_scale(double m[16], double sx, double sy, double sz) {
    view_matrix_identity(m);
    m[0] = sx; m[5] = sy; m[10] = sz;
}
void view_matrix_translate(double m[16], double tx, double ty, double tz) {
    view_matrix_identity(m);
    m[12] = tx; m[13] = ty; m[14] = tz;
}
void view_matrix_mirror_z(double m[16]) {
    view_matrix_identity(m);
    m[10] = -1;
}
void view_matrix_rotate_z(double m[16], double a) {
    view_matrix_identity(m);
    m[0] = std::cos(a); m[1] = std::sin(a); m[4] = -std::sin(a); m[5] = std::cos(a);
}
void view_matrix_rotate_y(double m[16], double a) {
    view_matrix_identity(m);
    m[0] = std::cos(a); m[2] = -std::sin(a); m[8] = std::sin(a); m[10] = std::cos(a);
}
void view_matrix_multiply(const double a[16], const double b[16], double out[16]) {
    double t[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[4 * r + k] * b[4 * k + c];
            t[4 * r + c] = s;
        }
    std::memcpy(out, t, sizeof t);
}

static void append(double view[16], const double step[16]) { view_matrix_multiply(view, step, view); }

// ---- 3-D --------------------------------------------------------------------------------------------

void view_transform_point(const PlotView* view, DrawVertex* v) {
    const double* M = view->m;
    double x = v->x, y = v->y, z = v->z;
    double w = M[15] != 0 ? M[15] : 1;
    double xp = (x * M[0] + y * M[4] + z * M[8] + M[12]) / w;
    double yp = (x * M[1] + y * M[5] + z * M[9] + M[13]) / w;
    double zp = (x * M[2] + y * M[6] + z * M[10] + M[14]) / w;
    double d = M[3];
    if (d != 0) {
        double k = d / (zp + d);
        xp *= k; yp *= k; zp *= k;
    }
    v->x = xp; v->y = yp; v->z = zp;
}

static void box_corner(const ViewBox& b, int k, DrawVertex* v) {
    v->x = (k & 4) ? b.hi[0] : b.lo[0];
    v->y = (k & 2) ? b.hi[1] : b.lo[1];
    v->z = (k & 1) ? b.hi[2] : b.lo[2];
    v->colour = 0;
}

void plot_setup_view_3d(const PlotRecord* plot, const PlotFrame* frame, PlotView* view, ViewBox* extent) {
    ViewBox box;
    plot_view_box(plot, frame, &box);
    double* M = view->m;
    view_matrix_translate(M, -(box.lo[0] + box.hi[0]) / 2, -(box.lo[1] + box.hi[1]) / 2, -(box.lo[2] + box.hi[2]) / 2);
    double d[3];
    double m = 0;
    for (int a = 0; a < 3; ++a) {
        d[a] = box.hi[a] - box.lo[a];
        if (d[a] > m) m = d[a];
    }
    if (m == 0 || !std::isfinite(m)) m = 1.0;
    for (double& e : d)
        if (e == 0) e = m * 1e-6;
    double s[3] = {2 / d[0], 2 / d[1], 2 / d[2]};
    if (constrained(plot, frame)) {
        double least = std::fmin(s[0], std::fmin(s[1], s[2]));
        s[0] = s[1] = s[2] = least;
    }
    double step[16];
    view_matrix_scale(step, s[0], s[1], s[2]);
    append(M, step);
    const PlotOrientation* o = frame && frame->options.orientation ? frame->options.orientation : plot->options.orientation;
    double theta = o ? o->theta : 45, phi = o ? o->phi : 45, r = o ? o->r : 1;
    constexpr double kPi = 3.1415926535897;
    view_matrix_rotate_z(step, -(theta / 180) * kPi + 0.001);
    append(M, step);
    view_matrix_rotate_y(step, -(phi / 180) * kPi + 0.001);
    append(M, step);
    view_matrix_rotate_z(step, -1.57079632679485);
    append(M, step);
    view_matrix_mirror_z(step);
    append(M, step);
    double X0 = 0, X1 = 0, Y0 = 0, Y1 = 0, Z0 = 0;
    for (int k = 0; k < 8; ++k) {
        DrawVertex c;
        box_corner(box, k, &c);
        view_transform_point(view, &c);
        if (k == 0 || c.x < X0) X0 = c.x;
        if (k == 0 || c.x > X1) X1 = c.x;
        if (k == 0 || c.y < Y0) Y0 = c.y;
        if (k == 0 || c.y > Y1) Y1 = c.y;
        if (k == 0 || c.z < Z0) Z0 = c.z;
    }
    view_matrix_translate(step, -(X0 + X1) / 2, -(Y0 + Y1) / 2, -Z0);
    append(M, step);
    int fp = frame ? frame->options.projection : 0;
    if (fp == 2 || (fp == 0 && plot->options.projection == 2)) M[3] = (r + 0.01) * ((X1 - X0) + (Y1 - Y0)) * 2;
    if (extent) {
        for (int k = 0; k < 8; ++k) {
            DrawVertex c;
            box_corner(box, k, &c);
            view_transform_point(view, &c);
            if (k == 0 || c.x < extent->lo[0]) extent->lo[0] = c.x;
            if (k == 0 || c.y < extent->lo[1]) extent->lo[1] = c.y;
            if (k == 0 || c.x > extent->hi[0]) extent->hi[0] = c.x;
            if (k == 0 || c.y > extent->hi[1]) extent->hi[1] = c.y;
        }
    }
}

// ---- 2-D --------------------------------------------------------------------------------------------

void plot_setup_view_2d(const PlotRecord* plot, const PlotFrame* frame, PlotView* view, ViewBox* extent) {
    ViewBox box;
    plot_view_box(plot, frame, &box);
    double cx = (box.lo[0] + box.hi[0]) / 2, cy = (box.lo[1] + box.hi[1]) / 2;
    double hx = box.hi[0] - cx, hy = box.hi[1] - cy;
    if (hy == 0) {
        hy = hx;
        if (hx == 0) hx = hy = 1;
    }
    if (hx == 0) hx = hy;
    if (constrained(plot, frame)) hx = hy = std::fmax(hx, hy);
    std::memset(view->m, 0, sizeof view->m);
    view->m[0] = -cx;
    view->m[1] = -cy;
    view->m[4] = hx;
    view->m[5] = hy;
    if (extent) {
        extent->lo[0] = (box.lo[0] - cx) / hx;
        extent->lo[1] = (box.lo[1] - cy) / hy;
        extent->hi[0] = (box.hi[0] - cx) / hx;
        extent->hi[1] = (box.hi[1] - cy) / hy;
    }
}

void view_transform_point_2d(const PlotView* view, DrawVertex* v) {
    v->x = (v->x + view->m[0]) / view->m[4];
    v->y = (v->y + view->m[1]) / view->m[5];
}

void plot_transform_3d(PlotDrawables* set, const PlotView* view) {
    for (VertexArray* a = set->arrays; a; a = a->next)
        for (int i = 0; i < a->count; ++i)
            if (a->v[i]) view_transform_point(view, a->v[i]);
    double xs[2] = {set->xmin, set->xmax}, ys[2] = {set->ymin, set->ymax}, zs[2] = {set->zmin, set->zmax};
    for (int k = 0; k < 8; ++k) {
        DrawVertex c{xs[(k >> 2) & 1], ys[(k >> 1) & 1], zs[k & 1], 0};
        view_transform_point(view, &c);
        if (k == 0) {
            set->xmin = set->xmax = c.x;
            set->ymin = set->ymax = c.y;
            set->zmin = set->zmax = c.z;
            continue;
        }
        set->xmin = std::fmin(set->xmin, c.x); set->xmax = std::fmax(set->xmax, c.x);
        set->ymin = std::fmin(set->ymin, c.y); set->ymax = std::fmax(set->ymax, c.y);
        set->zmin = std::fmin(set->zmin, c.z); set->zmax = std::fmax(set->zmax, c.z);
    }
}

void plot_transform_2d(PlotDrawables* set, const PlotView* view) {
    for (VertexArray* a = set->arrays; a; a = a->next)
        for (int i = 0; i < a->count; ++i)
            if (a->v[i]) view_transform_point_2d(view, a->v[i]);
}

void plot_output_primitives(PlotOutputCallbacks* cb, const PlotDrawables* set) {
    double xs[PLOT_POLYGON_MAX], ys[PLOT_POLYGON_MAX];
    for (const DrawPolygon* p = set->polygons; p; p = p->next) {
        int n = p->count < PLOT_POLYGON_MAX ? p->count : PLOT_POLYGON_MAX;
        for (int i = 0; i < n; ++i) {
            xs[i] = p->v[i]->x;
            ys[i] = p->v[i]->y;
        }
        if (cb->polygon) cb->polygon(cb, n, xs, ys, p->colour);
    }
    for (const DrawSegment* s = set->segments; s; s = s->next)
        if (cb->line) cb->line(cb, s->a->x, s->a->y, s->b->x, s->b->y, s->colour);
    for (const DrawPoint* p = set->points; p; p = p->next)
        if (cb->point) cb->point(cb, p->v->x, p->v->y, p->colour);
    for (const DrawText* t = set->texts; t; t = t->next)
        if (cb->text) cb->text(cb, t->v->x, t->v->y, t->text, t->align, t->colour, t->font);
}
