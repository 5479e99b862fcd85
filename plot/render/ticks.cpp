// Tick sets and number labels.

#include "plot/render/ticks.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void tick_label_trim_exponent(char* text) {
    char* e = std::strchr(text, 'e');
    if (!e) return;
    char* digits = e + 1;
    if (*digits == '+' || *digits == '-') ++digits;
    if (std::strlen(digits) == 3 && digits[0] == '0') std::memmove(digits, digits + 1, 3);
}

void tick_nice_step(double lo, double hi, int count, double minStep, double* first, double* step) {
    if (count <= 1) {
        *step = hi - lo + 1;
        *first = count == 0 ? lo - 0.5 : (lo + hi) / 2;
        return;
    }
    double raw = (hi - lo) / (count - 1);
    double c = raw > minStep ? raw : minStep;
    double m = std::pow(10.0, std::floor(std::log10(c)));
    if (m > minStep && m < raw) {
        if (5 * m <= raw * 0.9999999998) m = 5 * m;
        else if (2 * m <= raw * 0.9999999998) m = 2 * m;
    }
    // m is 0 or not finite only for a degenerate range; the caller refuses such a step.
    for (int guard = 0; m > 0 && std::isfinite(m) && m < minStep && guard < 2000; ++guard) {
        if (2 * m >= minStep) m = 2 * m;
        else if (5 * m >= minStep) m = 5 * m;
        else m = 10 * m;
    }
    *step = m;
    *first = std::ceil(lo / m) * m;
}

namespace {

struct LabelFormat {
    char format[16];
    double s;
};

LabelFormat label_format(double lo, double hi) {
    LabelFormat f;
    f.s = std::fabs(lo) + std::fabs(hi);
    double d = std::fabs(hi - lo);
    std::strcpy(f.format, "%g");
    if (f.s != 0 && f.s * 1e-20 < d && d < f.s * 0.001) {
        int digits = 2 - static_cast<int>(std::trunc(std::log10(d / f.s)));
        std::snprintf(f.format, sizeof f.format, "%%.%dg", digits);
    }
    return f;
}

char* make_label(StorageArea* area, const LabelFormat& f, double v) {
    char* text = plot_alloc<char>(area, 40);
    if (std::fabs(v) <= f.s * 1e-8) std::strcpy(text, "0");
    else std::snprintf(text, 40, f.format, v);
    tick_label_trim_exponent(text);
    return text;
}

}  // namespace

TickSet* tick_set_build(StorageArea* area, double lo, double hi, int wanted, double minStep,
                        const TickSet* spec, int subdivision) {
    int kind = spec ? spec->kind : 1;
    long count = spec ? spec->count : wanted;
    if (count <= 0) return nullptr;
    if (!std::isfinite(lo) || !std::isfinite(hi)) return nullptr;
    LabelFormat f = label_format(lo, hi);
    if (kind == 2 || kind == 3) {
        if (!spec->positions) return nullptr;
        TickSet* t = plot_alloc<TickSet>(area);
        t->kind = kind;
        t->count = static_cast<std::int32_t>(count);
        t->positions = spec->positions;
        if (kind == 3 && spec->labels) {
            t->labels = spec->labels;
        } else {
            t->labels = plot_alloc<char*>(area, count);
            for (long i = 0; i < count; ++i) t->labels[i] = make_label(area, f, t->positions[i]);
        }
        return t;
    }
    if (count > TICK_MAX_WANTED) count = TICK_MAX_WANTED;
    double first, step;
    tick_nice_step(lo, hi, static_cast<int>(count), minStep, &first, &step);
    if (subdivision > 0) step /= subdivision;
    if (!(step > 0) || !std::isfinite(step) || !std::isfinite(first)) return nullptr;
    double e = f.s * 2e-10;
    long below = 0;
    while (below < TICK_MAX_BUILT && first - (below + 1) * step >= lo - e) ++below;
    long above = 0;   // ticks taken from the first tick upward
    while (below + above < TICK_MAX_BUILT && first + above * step <= hi + e) ++above;
    long n = below + above;
    if (n == 0) return nullptr;
    TickSet* t = plot_alloc<TickSet>(area);
    t->kind = 1;
    t->count = static_cast<std::int32_t>(n);
    t->positions = plot_alloc<double>(area, n);
    t->labels = plot_alloc<char*>(area, n);
    double base = first - below * step;
    for (long i = 0; i < n; ++i) {
        t->positions[i] = base + i * step;
        long index = i - below;   // counted from the first tick of the nice step
        if (subdivision <= 0 || index % 5 == 0) t->labels[i] = make_label(area, f, t->positions[i]);
    }
    return t;
}
