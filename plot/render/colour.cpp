// Colour functions and lighting.

#include "plot/render/colour.h"

#include <cmath>

#include "plot/render/view.h"

namespace {

struct ShadingBox {
    double x0 = 0, y0 = 0, z0 = 0, ex = 1, ey = 1, ez = 1;
} shading;
int inverseFlag = 0;

double clampTo(double v, double lo, double extent) {
    if (!(v >= lo)) return lo;
    if (v > lo + extent) return lo + extent;
    return v;
}

// The low byte of trunc(v); v is kept within the range where the conversion is defined.
int low_byte(double v) {
    if (!std::isfinite(v)) return 0;
    if (v > 1e9) v = 1e9;
    if (v < -1e9) v = -1e9;
    return static_cast<int>(static_cast<long long>(std::trunc(v)) & 0xFF);
}

ColourWord pack(int r, int g, int b) {
    return (ColourWord(colour_channel(r)) << 16) | (ColourWord(colour_channel(g)) << 8) | ColourWord(colour_channel(b));
}

long item(const PlotColour* c, long index, long per) {
    if (!c || c->count <= per) return 0;
    long k = index * per;
    if (index < 0 || k + per > c->count) return 0;
    return k;
}

double value_at(const PlotColour* c, long k) { return c && c->values && k < c->count ? c->values[k] : 0.0; }

}  // namespace

int colour_channel(double v) {
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return static_cast<int>(v);
}

ColourWord hsv_to_rgb(double h, double s, double v) {
    if (!std::isfinite(h)) h = 0;
    h = std::fmod(h, 360.0);
    if (h < 0) h += 360;
    h /= 60;
    int i = static_cast<int>(std::trunc(h));
    double f = h - i;
    double V = std::trunc(v * 255), P = std::trunc(v * (1 - s) * 255);
    double Q = std::trunc(v * (1 - s * f) * 255), T = std::trunc(v * (1 - s * (1 - f)) * 255);
    switch (i) {
    case 0: return pack(colour_channel(V), colour_channel(T), colour_channel(P));
    case 1: return pack(colour_channel(Q), colour_channel(V), colour_channel(P));
    case 2: return pack(colour_channel(P), colour_channel(V), colour_channel(T));
    case 3: return pack(colour_channel(P), colour_channel(Q), colour_channel(V));
    case 4: return pack(colour_channel(T), colour_channel(P), colour_channel(V));
    default: return pack(colour_channel(V), colour_channel(P), colour_channel(Q));
    }
}

ColourWord colour_xyz(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double z, long, int) {
    x = clampTo(x, shading.x0, shading.ex);
    y = clampTo(y, shading.y0, shading.ey);
    z = clampTo(z, shading.z0, shading.ez);
    return pack(low_byte((x - shading.x0) * 180 / shading.ex + 75), low_byte((y - shading.y0) * 180 / shading.ey + 75),
                low_byte((z - shading.z0) * 180 / shading.ez + 75));
}

ColourWord colour_xy(const PlotRecord*, const PlotDrawables*, const PlotColour*, double x, double y, double, long, int) {
    x = clampTo(x, shading.x0, shading.ex);
    y = clampTo(y, shading.y0, shading.ey);
    return pack(220, low_byte((x - shading.x0) * 180 / shading.ex + 75), low_byte((y - shading.y0) * 210 / shading.ey + 25));
}

ColourWord colour_z(const PlotRecord*, const PlotDrawables*, const PlotColour*, double, double, double z, long, int) {
    z = clampTo(z, shading.z0, shading.ez);
    return pack(low_byte((z - shading.z0) * 160 / shading.ez + 95), 0, low_byte(255 - (z - shading.z0) * 220 / shading.ez));
}

ColourWord colour_zhue(const PlotRecord*, const PlotDrawables*, const PlotColour*, double, double, double z, long, int) {
    z = clampTo(z, shading.z0, shading.ez);
    double b = (z - shading.z0) / shading.ez;
    double f = b - std::trunc(b);
    return hsv_to_rgb((1 - f) * 310, 0.9, 1.0);
}

ColourWord colour_zgreyscale(const PlotRecord*, const PlotDrawables*, const PlotColour*, double, double, double z, long, int) {
    z = clampTo(z, shading.z0, shading.ez);
    double b = (z - shading.z0) / shading.ez;
    double f = b - std::trunc(b);
    int level = colour_channel(std::trunc(f * 180) + 75);
    return pack(level, level, level);
}

ColourWord colour_rgb(const PlotRecord*, const PlotDrawables*, const PlotColour* c, double, double, double, long index, int) {
    long k = item(c, index, 3);
    return pack(colour_channel(std::trunc(value_at(c, k) * 255)), colour_channel(std::trunc(value_at(c, k + 1) * 255)),
                colour_channel(std::trunc(value_at(c, k + 2) * 255)));
}

ColourWord colour_hue(const PlotRecord*, const PlotDrawables*, const PlotColour* c, double, double, double, long index, int) {
    long k = item(c, index, 1);
    return hsv_to_rgb(value_at(c, k) * 360, 0.9, 1.0);
}

ColourWord colour_hsv(const PlotRecord*, const PlotDrawables*, const PlotColour* c, double, double, double, long index, int) {
    long k = item(c, index, 3);
    return hsv_to_rgb(value_at(c, k) * 360, value_at(c, k + 1), value_at(c, k + 2));
}

ColourWord colour_default(const PlotRecord*, const PlotDrawables*, const PlotColour*, double, double, double, long, int mode) {
    if (mode == COLOUR_MODE_PATCH) return 0xFFFFFF;
    return inverseFlag ? 0xFFFFFF : 0;
}

ColourFunction select_colour_function(const PlotRecord* plot, const PlotFrame* frame, const PlotColour* colour,
                                      int inverse) {
    ViewBox box;
    plot_view_box(plot, frame, &box);
    shading.x0 = box.lo[0];
    shading.y0 = box.lo[1];
    shading.z0 = box.lo[2];
    shading.ex = box.hi[0] - box.lo[0];
    shading.ey = box.hi[1] - box.lo[1];
    shading.ez = box.hi[2] - box.lo[2];
    double mean = (shading.ex + shading.ey + shading.ez) / 3;
    double u = mean != 0 && std::isfinite(mean) ? std::fabs(mean) : 1;
    double* extents[3] = {&shading.ex, &shading.ey, &shading.ez};
    for (double* e : extents)
        if (!(*e >= u * 1e-7)) *e = u * 1e-7;
    inverseFlag = inverse;
    switch (colour ? colour->kind : 0) {
    case SHADE_XYZ: return colour_xyz;
    case SHADE_XY: return colour_xy;
    case SHADE_Z: return colour_z;
    case SHADE_ZHUE: return colour_zhue;
    case SHADE_ZGREY: return colour_zgreyscale;
    case SHADE_RGB: return colour_rgb;
    case SHADE_HUE: return colour_hue;
    case SHADE_HSV: return colour_hsv;
    default: return colour_default;
    }
}

namespace {

struct Light {
    double phi, theta, r, g, b;
};

const Light kModels[4][3] = {
    {{45, 90, 0.9, 0, 0}, {-45, 45, 0, 0, 0.9}, {90, -45, 0, 0.9, 0}},
    {{-45, 90, 0, 0, 0.9}, {45, 45, 0, 0.9, 0}, {90, 45, 0.9, 0, 0}},
    {{135, 0, 0.9, 0, 0}, {45, 45, 0, 0.9, 0}, {45, 45, 0, 0, 0.9}},
    {{60, 85, 0.8, 0.8, 0.8}, {}, {}},
};
const int kModelLights[4] = {3, 3, 3, 1};
const double kModelAmbient[4] = {0.5, 0.5, 0.5, 0.6};

}  // namespace

void plot_apply_lighting(const PlotRecord* plot, const PlotFrame* frame, PlotDrawables* set) {
    int model = frame && frame->options.lightModel ? frame->options.lightModel : plot->options.lightModel;
    if (model <= LIGHT_NONE || model > LIGHT_4) return;
    struct Dir {
        double lx, ly, lz, r, g, b;
    };
    Dir lights[64];
    int count = 0;
    bool haveAmbient = false;
    double ambient[3] = {0, 0, 0};
    constexpr double kPi = 3.141592654;
    auto add = [&](double phi, double theta, double r, double g, double b) {
        if (count >= 64) return;   // more lights than this add nothing visible
        phi *= kPi / 180;
        theta *= kPi / 180;
        lights[count++] = {std::sin(phi) * std::sin(theta), std::cos(phi), -std::sin(phi) * std::cos(theta), r, g, b};
    };
    if (model == LIGHT_USER) {
        const PlotLight* list = frame && frame->options.lights ? frame->options.lights : plot->options.lights;
        for (const PlotLight* l = list; l; l = l->next) add(l->v[0], l->v[1], l->v[2], l->v[3], l->v[4]);
        const PlotLight* amb = frame && frame->options.ambient ? frame->options.ambient : plot->options.ambient;
        if (amb) {
            haveAmbient = true;
            for (int i = 0; i < 3; ++i) ambient[i] = amb->v[2 + i];
        }
    } else {
        int k = model - LIGHT_1;
        for (int i = 0; i < kModelLights[k]; ++i) {
            const Light& l = kModels[k][i];
            add(l.phi, l.theta, l.r, l.g, l.b);
        }
        haveAmbient = true;
        ambient[0] = ambient[1] = ambient[2] = kModelAmbient[k];
    }
    if (count == 0 && !haveAmbient) return;
    for (DrawPolygon* p = set->polygons; p; p = p->next) {
        if (p->colour & COLOUR_BACKGROUND_FILL) continue;
        double nx = 0, ny = 0, nz = 0;
        for (int i = 0; i < p->count; ++i) {
            const DrawVertex* a = p->v[i];
            const DrawVertex* b = p->v[(i + 1) % p->count];
            nx += (a->y - b->y) * (a->z + b->z);
            ny += (a->z - b->z) * (a->x + b->x);
            nz += (a->y + b->y) * (a->x - b->x);
        }
        double len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (nz > 0) len = -len;
        if (len != 0 && std::isfinite(len)) {
            nx /= len;
            ny /= len;
            nz /= len;
        }
        double R = (p->colour >> 16) & 0xFF, G = (p->colour >> 8) & 0xFF, B = p->colour & 0xFF;
        double r = haveAmbient ? R * ambient[0] : 0, g = haveAmbient ? G * ambient[1] : 0, b = haveAmbient ? B * ambient[2] : 0;
        for (int i = 0; i < count; ++i) {
            double c = lights[i].lx * nx + lights[i].ly * ny + lights[i].lz * nz;
            if (c > 0) {
                r += lights[i].r * R * c;
                g += lights[i].g * G * c;
                b += lights[i].b * B * c;
            }
        }
        if (r > 255) r = 255;
        if (g > 255) g = 255;
        if (b > 255) b = 255;
        p->colour = (p->colour & 0xFF000000u) | pack(colour_channel(std::trunc(r + 0.5)), colour_channel(std::trunc(g + 0.5)),
                                                     colour_channel(std::trunc(b + 0.5)));
    }
}
