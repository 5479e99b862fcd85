// Plot fonts: descriptions, the font table and the active fonts.

#include "platform/gl3d/Fonts.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <strings.h>

#include "platform/gl3d/gl3d.h"
#include "platform/gui/VirtualDevice.h"
#include "plot/plot_types.h"

namespace gl3d {

namespace {

// A deque: the face names glwFontName hands out stay where they are as the list grows.
std::deque<FontDescription>& descriptions() {
    static std::deque<FontDescription> list;
    return list;
}

ActiveFonts& active() {
    static ActiveFonts fonts = [] {
        ActiveFonts f;
        f.resolution = screenResolution();
        f.defaultText = fontId(mapPlotFont("helvetica", "default", 8));
        f.title = fontId(mapPlotFont("times", "default", 14));
        return f;
    }();
    return fonts;
}

bool same(const char* a, const char* b) { return a && strcasecmp(a, b) == 0; }

}  // namespace

FontDescription mapPlotFont(const char* family, const char* style, std::int32_t points) {
    FontDescription d;
    d.points = points;
    if (same(family, "times")) {
        if (same(style, "roman")) {
            d.face = "Times New Roman";
        } else {
            d.face = "Times";
            d.bold = same(style, "bold") || same(style, "bolditalic");
            d.oblique = same(style, "italic") || same(style, "bolditalic");
        }
    } else if (same(family, "courier") || same(family, "helvetica")) {
        d.face = same(family, "courier") ? "Courier" : "Helvetica";
        d.bold = same(style, "bold") || same(style, "boldoblique");
        d.oblique = same(style, "oblique") || same(style, "boldoblique");
    } else if (same(family, "symbol")) {
        d.face = "Symbol";
    }
    return d;
}

int fontId(const FontDescription& d) {
    auto& list = descriptions();
    auto it = std::find(list.begin(), list.end(), d);
    if (it != list.end()) return static_cast<int>(it - list.begin()) + 1;
    list.push_back(d);
    return static_cast<int>(list.size());
}

const FontDescription* fontById(int id) {
    auto& list = descriptions();
    if (id < 1 || static_cast<std::size_t>(id) > list.size()) return nullptr;
    return &list[static_cast<std::size_t>(id) - 1];
}

int screenResolution() {
    static const int dpi = [] {
        VirtualDevice screen;
        return screen.getDPIY() > 0 ? screen.getDPIY() : 96;
    }();
    return dpi;
}

void fillFontTable(const PlotRecord* plot, void* table, int resolution) {
    std::int32_t words[GL3D_FONT_TABLE_BYTES / 4] = {};
    words[0] = GL3D_FONT_TABLE_MAGIC;
    words[1] = resolution > 0 ? resolution : screenResolution();
    int count = 0;
    if (plot && plot->fonts && plot->fontCount > 0) {
        count = std::min(plot->fontCount, GL3D_FONT_TABLE_FONTS);
        for (int i = 0; i < count; ++i) {
            const PlotFont* f = plot->fonts[i];
            words[GL3D_FONT_TABLE_HEADER + i] =
                f ? fontId(mapPlotFont(f->family, f->style, f->size)) : fontId(mapPlotFont("helvetica", "default", 8));
        }
    }
    words[2] = count;
    words[3] = fontId(mapPlotFont("helvetica", "default", 8));
    words[4] = fontId(mapPlotFont("times", "default", 14));
    std::memcpy(table, words, GL3D_FONT_TABLE_BYTES);
}

void activateFontTable(const void* table) {
    ActiveFonts& f = active();
    std::int32_t words[GL3D_FONT_TABLE_BYTES / 4] = {};
    if (table) std::memcpy(words, table, GL3D_FONT_TABLE_BYTES);
    if (words[0] != GL3D_FONT_TABLE_MAGIC) {
        f.resolution = screenResolution();
        f.defaultText = fontId(mapPlotFont("helvetica", "default", 8));
        f.title = fontId(mapPlotFont("times", "default", 14));
        f.plotFonts.clear();
        return;
    }
    // Values from a table someone else holds: every one is checked before use.
    f.resolution = words[1] > 0 ? words[1] : screenResolution();
    f.defaultText = fontById(words[3]) ? words[3] : fontId(mapPlotFont("helvetica", "default", 8));
    f.title = fontById(words[4]) ? words[4] : fontId(mapPlotFont("times", "default", 14));
    int count = std::clamp(words[2], 0, GL3D_FONT_TABLE_FONTS);
    f.plotFonts.assign(words + GL3D_FONT_TABLE_HEADER, words + GL3D_FONT_TABLE_HEADER + count);
}

const ActiveFonts& activeFonts() { return active(); }

int textFontId(int index) {
    const ActiveFonts& f = active();
    if (index >= 1 && static_cast<std::size_t>(index) <= f.plotFonts.size()) {
        int id = f.plotFonts[static_cast<std::size_t>(index) - 1];
        if (fontById(id)) return id;
    }
    return f.defaultText;
}

long pixelHeight(int resolution, std::int64_t points) {
    std::int64_t h = static_cast<std::int64_t>(resolution) * points / 72;
    return static_cast<long>(std::clamp<std::int64_t>(h, 1, 4096));
}

Font guiFont(int id) {
    const FontDescription* d = fontById(id);
    if (!d) d = fontById(active().defaultText);
    Font f;
    if (!d) return f;
    f.setName(String(d->face));
    f.setSize(Size(0, pixelHeight(active().resolution, d->points)));
    f.setWeight(d->bold ? WEIGHT_BOLD : WEIGHT_NORMAL);
    f.setItalic(d->oblique);
    if (d->face == "Symbol") f.setCharSet(CHARSET_SYMBOL);
    f.setAlign(ALIGN_TOP);
    f.setTransparent(true);
    return f;
}

}  // namespace gl3d
