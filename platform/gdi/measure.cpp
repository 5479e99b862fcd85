// Text metrics and extents of the measuring device context.
#include "platform/gdi/measure.h"

#include <cmath>
#include <cstring>

namespace {

class FixedSource : public GdiFontMetricSource {
public:
    bool face(const LOGFONTA& f, GdiFaceMetrics* out) const override {
        if (f.lfFaceName[0] == '\0' || std::strcmp(f.lfFaceName, "Missing") == 0) return false;
        GdiFaceMetrics m;
        m.unitsPerEm = 1000;
        m.winAscent = f.lfCharSet == SYMBOL_CHARSET ? 1000 : 900;
        m.winDescent = f.lfCharSet == SYMBOL_CHARSET ? 250 : 300;
        m.avgCharWidth = 500;
        m.maxCharWidth = 1000;
        *out = m;
        return true;
    }
    int advance(const LOGFONTA& f, unsigned char c) const override {
        int w = 500;
        if (c == ' ' || c == 'l' || c == 'i') w = 250;
        else if (c == 'M') w = 1000;
        if (f.lfWeight >= FW_SEMIBOLD) w += w / 10;
        return w;
    }
};

// The em height in logical units, in design units' scale: em / unitsPerEm per design unit.
double em_height(const GdiMeasureDC& dc, const LOGFONTA& f, const GdiFaceMetrics& m) {
    if (f.lfHeight < 0) return -double(f.lfHeight);
    if (f.lfHeight > 0) {
        int cell = m.winAscent + m.winDescent;
        return cell > 0 ? double(f.lfHeight) * m.unitsPerEm / cell : double(f.lfHeight);
    }
    return 12.0 * gdi_units_per_inch(dc.mapMode, dc.pixelsPerInch) / 72.0;
}

const GdiFontMetricSource& source_of(const GdiMeasureDC& dc) {
    return dc.source ? *dc.source : gdi_fixed_metric_source();
}

long scaled(double units, double em, int unitsPerEm) {
    return std::lround(units * em / (unitsPerEm > 0 ? unitsPerEm : 1000));
}

}  // namespace

const GdiFontMetricSource& gdi_fixed_metric_source() {
    static const FixedSource source;
    return source;
}

int gdi_units_per_inch(int mapMode, int pixelsPerInch) {
    switch (mapMode) {
    case MM_LOMETRIC: return 254;
    case MM_HIMETRIC: return 2540;
    case MM_LOENGLISH: return 100;
    case MM_HIENGLISH: return 1000;
    case MM_TWIPS: return 1440;
    default: return pixelsPerInch > 0 ? pixelsPerInch : 96;
    }
}

BOOL GetTextMetricsA(const GdiMeasureDC& dc, const LOGFONTA& font, TEXTMETRICA* tm) {
    GdiFaceMetrics m;
    if (!tm || !source_of(dc).face(font, &m)) return FALSE;
    double em = em_height(dc, font, m);
    TEXTMETRICA t;
    t.tmAscent = int32_t(scaled(m.winAscent, em, m.unitsPerEm));
    t.tmDescent = int32_t(scaled(m.winDescent, em, m.unitsPerEm));
    t.tmHeight = t.tmAscent + t.tmDescent;
    t.tmInternalLeading = t.tmHeight - int32_t(std::lround(em));
    if (t.tmInternalLeading < 0) t.tmInternalLeading = 0;
    t.tmAveCharWidth = int32_t(scaled(m.avgCharWidth, em, m.unitsPerEm));
    t.tmMaxCharWidth = int32_t(scaled(m.maxCharWidth, em, m.unitsPerEm));
    t.tmWeight = font.lfWeight;
    t.tmItalic = font.lfItalic;
    t.tmCharSet = font.lfCharSet;
    *tm = t;
    return TRUE;
}

BOOL GetTextExtentPointA(const GdiMeasureDC& dc, const LOGFONTA& font, const char* text, int count, SIZE* size) {
    GdiFaceMetrics m;
    const GdiFontMetricSource& src = source_of(dc);
    if (!size || count < 0 || (count > 0 && !text) || !src.face(font, &m)) return FALSE;
    double em = em_height(dc, font, m);
    long sum = 0;
    for (int i = 0; i < count; ++i) sum += src.advance(font, static_cast<unsigned char>(text[i]));
    size->cx = int32_t(scaled(double(sum), em, m.unitsPerEm));
    size->cy = int32_t(scaled(m.winAscent + m.winDescent, em, m.unitsPerEm));
    return TRUE;
}
