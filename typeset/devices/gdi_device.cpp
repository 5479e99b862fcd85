// The GDI typesetting device: fonts and metrics per size level, measuring, and drawing into a
// recording device context.

#include "gdi_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "glyphtext.h"
#include "typeset/typeset_layout.h"

namespace {

constexpr int kLevels = 2;

// Symbol-font pieces of stretchy delimiters and big operators: small glyph, top, middle,
// extension, bottom (0: none).  All in the Symbol font.
struct SymbolPieces {
    unsigned char small, top, middle, extension, bottom;
};
const SymbolPieces kSymbolPieces[10] = {
    {'(', 0xE6, 0, 0xE7, 0xE8},   // 194
    {')', 0xF6, 0, 0xF7, 0xF8},   // 195
    {'[', 0xE9, 0, 0xEA, 0xEB},   // 198
    {']', 0xF9, 0, 0xFA, 0xFB},   // 199
    {'{', 0xEC, 0xED, 0xEF, 0xEE},   // 196
    {'}', 0xFC, 0xFD, 0xEF, 0xFE},   // 197
    {0xF2, 0xF3, 0, 0xF4, 0xF5},  // 200 integral
    {0xE5, 0, 0, 0, 0},           // 205 summation
    {0xD5, 0, 0, 0, 0},           // 206 product
    {'?', 0, 0, 0, 0},            // other
};

const SymbolPieces& pieces_of(int type) {
    switch (type) {
    case 194: return kSymbolPieces[0];
    case 195: return kSymbolPieces[1];
    case 198: return kSymbolPieces[2];
    case 199: return kSymbolPieces[3];
    case 196: return kSymbolPieces[4];
    case 197: return kSymbolPieces[5];
    case 200: return kSymbolPieces[6];
    case 205: return kSymbolPieces[7];
    case 206: return kSymbolPieces[8];
    default: return kSymbolPieces[9];
    }
}

GdiDeviceState& state() { return gdi_device_state(); }

int level_of(int level) { return level <= 0 ? 0 : 1; }
int font_of(int style) { return style >= 0 && style < 4 ? style : STYLE_ROMAN; }

const GdiMeasureDC& measure_dc(const GdiDeviceState& s) {
    return s.measureDC ? *s.measureDC : s.ownMeasureDC;
}

int extent_of(const GdiDeviceState& s, const LOGFONTA& lf, const char* text, int count) {
    SIZE sz;
    if (!GetTextExtentPointA(measure_dc(s), lf, text, count, &sz)) return 0;
    return sz.cx;
}

// Width of a text in runs of at most the font's longest run.
int run_extent(GdiDeviceState& s, int font, int level, const char* text, std::size_t len) {
    const GdiSizeLevel::Font& f = s.levels[level].fonts[font];
    std::size_t run = std::size_t(std::max(f.longestRun, 1));
    long sum = 0;
    for (std::size_t i = 0; i < len; i += run)
        sum += extent_of(s, f.logfont, text + i, int(std::min(run, len - i)));
    return int(std::min(sum, 1000000000L));
}

void forget_glyph_caches(GdiDeviceState& s) {
    s.glyphCache[0] = s.glyphCache[1] = nullptr;
}

// ---- operations ---------------------------------------------------------------------------------

int gdi_font_metric(TypesetContext*, int style, int level, int metric) {
    GdiDeviceState& s = state();
    int l = level_of(level);
    if (gdi_ensure_level(&s, l) != 0) return 0;
    if (metric < 0 || metric > 12) return 0;
    return s.levels[l].metrics[font_of(style)][metric];
}

int gdi_char_width(TypesetContext*, int ch, int style, int level) {
    GdiDeviceState& s = state();
    int l = level_of(level), f = font_of(style);
    if (gdi_ensure_level(&s, l) != 0) return 0;
    GdiSizeLevel& lv = s.levels[l];
    bool digit = f == STYLE_ROMAN && ch >= '0' && ch <= '9';
    if (digit && lv.digitWidth[ch - '0'] != 0) return lv.digitWidth[ch - '0'];
    char c = char(ch);
    int w = extent_of(s, lv.fonts[f].logfont, &c, 1);
    if (digit) lv.digitWidth[ch - '0'] = w;
    return w;
}

int gdi_string_extent(TypesetContext*, const char* text, int style, int level, TypesetNode* node) {
    GdiDeviceState& s = state();
    int l = level_of(level), f = font_of(style);
    if (gdi_ensure_level(&s, l) != 0) {
        node->width = node->height = node->ascent = 0;
        return 0;
    }
    const char* t = text ? text : "";
    node->width = run_extent(s, f, l, t, std::strlen(t));
    node->height = s.levels[l].metrics[f][0];
    node->ascent = s.levels[l].metrics[f][1];
    return 0;
}

void fill_glyph_node(TypesetContext* ctx, TypesetNode* n, int code, int level) {
    if (code > 192) {
        n->width = 1;
        n->height = 0;
        n->ascent = 0;
        return;
    }
    const GlyphText* g = glyph_text(code < 128 ? 128 : code);
    gdi_string_extent(ctx, g->text, g->font, level, n);
    n->style = static_cast<unsigned char>(g->font << 4);
    n->source = nullptr;
}

TypesetNode* gdi_glyph_node(TypesetContext* ctx, int code, int level) {
    GdiDeviceState& s = state();
    int l = level_of(level);
    if (code > 192) {
        TypesetNode* n = typeset_node_new(ctx, code, level);
        fill_glyph_node(ctx, n, code, l);
        return n;
    }
    if (!s.glyphCache[l]) {
        auto* block = static_cast<TypesetNode**>(typeset_alloc(&ctx->nodeArena, 65 * sizeof(TypesetNode*)));
        if (!block) throw TypesetJump{3};
        std::fill(block, block + 65, nullptr);
        s.glyphCache[l] = block;
    }
    TypesetNode*& slot = s.glyphCache[l][code < 128 ? 0 : code - 128];
    if (!slot) {
        TypesetNode* n = typeset_node_new(ctx, code, l);
        fill_glyph_node(ctx, n, code, l);
        slot = n;
    }
    return slot;
}

int gdi_symbol_kind(TypesetContext* ctx, int code, int level) {
    GdiDeviceState& s = state();
    int l = level_of(level);
    if (code >= 194 && code <= 200) {
        const SymbolPieces& p = pieces_of(code);
        int h = gdi_font_metric(ctx, STYLE_SYMBOL, l, 0);
        return (p.top ? h : 0) + (p.middle ? h : 0) + (p.bottom ? h : 0);
    }
    if (code == TS_SUMSIGN || code == TS_PRODSIGN) {
        if (gdi_ensure_level(&s, l) != 0) return 0;
        return s.levels[l].bigHeight;
    }
    return 0;
}

int gdi_big_glyph_extent(GdiDeviceState& s, int level, unsigned char glyph) {
    char c = char(glyph);
    return extent_of(s, s.levels[level].bigLogfont, &c, 1);
}

int gdi_size_symbol(TypesetContext* ctx, TypesetNode* node, int level, int h) {
    GdiDeviceState& s = state();
    int l = level_of(level);
    node->size = h;
    node->height = h;
    node->ascent = h / 2;
    int t = node->type;
    if (t >= 194 && t <= 200) {
        char c = char(pieces_of(t).small);
        if (gdi_ensure_level(&s, l) == 0) node->width = extent_of(s, s.levels[l].fonts[STYLE_SYMBOL].logfont, &c, 1);
    } else if (t == TS_SLASH) {
        node->width = h;
    } else if (t == TS_SUMSIGN || t == TS_PRODSIGN) {
        if (gdi_ensure_level(&s, l) == 0) {
            node->width = gdi_big_glyph_extent(s, l, pieces_of(t).small);
            node->height = s.levels[l].bigHeight;
            node->ascent = s.levels[l].bigHalf;
        }
    } else if (t == 207 || t == 208 || t == 210) {
        node->width = gdi_font_metric(ctx, STYLE_ROMAN, l, 10);
    }
    return node->width;
}

// ---- drawing ------------------------------------------------------------------------------------

int dev_x(const TypesetDrawState* st, int x) { return x - st->originShift; }
int dev_y(const TypesetDrawState* st, int y) { return y + st->originY; }

void draw_text_run(TypesetDrawState* st, int x, int y, int font, int level, const char* text, int count,
                   int highlight) {
    GdiDeviceState& s = state();
    if (!s.drawDC || count <= 0 || gdi_ensure_level(&s, level) != 0) return;
    if (s.curFont != font || s.curLevel != level) {
        SelectObject(s.drawDC, s.levels[level].fonts[font].handle);
        s.curFont = font;
        s.curLevel = level;
    }
    if (highlight) SetTextColor(s.drawDC, RGB(0, 0, 0));
    TextOutA(s.drawDC, dev_x(st, x), dev_y(st, y) + s.levels[level].metrics[font][2], text, count);
    if (highlight) SetTextColor(s.drawDC, s.textColor);
}

HPEN pen_of_width(int width) {
    GdiDeviceState& s = state();
    if (width >= 0 && width < 8) {
        if (!s.pens[width]) s.pens[width] = CreatePen(PS_SOLID, width, s.textColor);
        return s.pens[width];
    }
    return CreatePen(PS_SOLID, width, s.textColor);
}

void release_pen(HPEN pen, int width) {
    if (width < 0 || width >= 8) DeleteObject(pen);
}

void draw_line(TypesetDrawState* st, int x0, int y0, int x1, int y1, int width) {
    GdiDeviceState& s = state();
    if (!s.drawDC) return;
    HPEN pen = pen_of_width(width);
    HGDIOBJ old = SelectObject(s.drawDC, pen);
    MoveToEx(s.drawDC, dev_x(st, x0), dev_y(st, y0), nullptr);
    LineTo(s.drawDC, dev_x(st, x1), dev_y(st, y1));
    if (old) SelectObject(s.drawDC, old);
    release_pen(pen, width);
}

void gdi_draw_text(TypesetDrawState* st, const TypesetNode* node, int x, int y, int inverted) {
    if (!node->text) return;
    draw_text_run(st, x, y, font_of(node_style(node)), level_of(node_level(node)), node->text,
                  int(std::strlen(node->text)), inverted);
}

void gdi_draw_text_clipped(TypesetDrawState* st, const TypesetNode* node, int x, int y, int inverted) {
    if (!node->text) return;
    const char* t = node->text;
    int len = int(std::strlen(t));
    int font = font_of(node_style(node)), level = level_of(node_level(node));
    int i = 0, skipped = 0;
    while (i < len) {
        int w = gdi_char_width(st->ctx, static_cast<unsigned char>(t[i]), font, level);
        if (x + skipped >= st->leftLimit) break;
        skipped += w;
        ++i;
    }
    int start = i, counted = 0, lastWidth = 0;
    while (i < len && x + skipped + counted < st->rightLimit) {
        lastWidth = gdi_char_width(st->ctx, static_cast<unsigned char>(t[i]), font, level);
        counted += lastWidth;
        ++i;
    }
    int count = i - start;
    bool newline = count > 0 && t[i - 1] == '\n';
    if (newline) {
        counted -= lastWidth;
        --count;
    }
    draw_text_run(st, x + skipped, y, font, level, t + start, count, inverted);
    if (counted > 0 && i < len && !newline) draw_text_run(st, x + skipped + counted, y, STYLE_ROMAN, level, "\\", 1, inverted);
}

void draw_delimiter(TypesetDrawState* st, const TypesetNode* n, int x, int y, int inverted) {
    GdiDeviceState& s = state();
    int l = level_of(node_level(n));
    if (gdi_ensure_level(&s, l) != 0) return;
    const SymbolPieces& p = pieces_of(n->type);
    int P = s.levels[l].metrics[STYLE_SYMBOL][0];
    int A = s.levels[l].metrics[STYLE_SYMBOL][2];
    int h = n->height;
    int y0 = y + P - A;
    auto piece = [&](unsigned char c, int py) {
        if (!c) return;
        char ch = char(c);
        draw_text_run(st, x, py, STYLE_SYMBOL, l, &ch, 1, inverted);
    };
    piece(p.top, y0);
    piece(p.bottom, y0 + h - P);
    int step = P / 2;
    if (step >= 1)   // a step below 1 would never end: no extension pieces then
        for (int o = step; P + o < h - step; o += step) piece(p.extension, y0 + o);
    piece(p.extension, y0 + h - step - P);
    if (p.middle) piece(p.middle, y0 + (h - P) / 2);
}

void draw_big_glyph(TypesetDrawState* st, const TypesetNode* n, int x, int y, int inverted) {
    GdiDeviceState& s = state();
    int l = level_of(node_level(n));
    if (!s.drawDC || gdi_ensure_level(&s, l) != 0) return;
    SelectObject(s.drawDC, s.levels[l].bigSymbol);
    s.curFont = s.curLevel = -1;
    char c = char(pieces_of(n->type).small);
    if (inverted) SetTextColor(s.drawDC, RGB(0, 0, 0));
    TextOutA(s.drawDC, dev_x(st, x), dev_y(st, y) + s.levels[l].bigAscent, &c, 1);
    if (inverted) SetTextColor(s.drawDC, s.textColor);
}

void draw_radical(TypesetDrawState* st, const TypesetNode* n, int x, int y, int t) {
    GdiDeviceState& s = state();
    if (!s.drawDC) return;
    int len = n->size, k = n->hook, h = n->height, a = n->ascent;
    POINT pts[5] = {{x + len, y}, {x + 2 * k, y}, {x + k, y + h}, {x + k / 2, y + a}, {x, y + a + k / 2}};
    for (POINT& p : pts) {
        p.x = dev_x(st, p.x);
        p.y = dev_y(st, p.y);
    }
    HPEN pen = pen_of_width(t);
    HGDIOBJ old = SelectObject(s.drawDC, pen);
    Polyline(s.drawDC, pts, 5);
    if (old) SelectObject(s.drawDC, old);
    release_pen(pen, t);
}

void gdi_draw_symbol(TypesetDrawState* st, const TypesetNode* n, int x, int y, int inverted) {
    int l = level_of(node_level(n));
    int t = gdi_font_metric(st->ctx, STYLE_ROMAN, l, 10);
    int type = n->type;
    if (type < 193) {
        const GlyphText* g = glyph_text(type);
        if (g && g->text[0]) draw_text_run(st, x, y, g->font, l, g->text, int(std::strlen(g->text)), inverted);
        return;
    }
    switch (type) {
    case 194: case 195: case 196: case 197: case 198: case 199: case 200:
        draw_delimiter(st, n, x, y, inverted);
        break;
    case TS_RULE: case TS_UNDERBAR:
        draw_line(st, x, y, x + n->size, y, t);
        break;
    case TS_RADICAL: draw_radical(st, n, x, y, t); break;
    case TS_TEXT_LEAF: gdi_draw_text(st, n, x, y, inverted); break;
    case TS_SLASH:
        draw_line(st, x + int(0.2 * n->width), y + n->height, x + int(0.8 * n->width), y, t);
        break;
    case TS_SUMSIGN: case TS_PRODSIGN: draw_big_glyph(st, n, x, y, inverted); break;
    case 207: case 208: case 210: draw_line(st, x, y, x, y + n->height, t); break;
    default: break;
    }
}

void gdi_hook(TypesetDrawState*, int, int, int) {}
int gdi_close(TypesetContext*) { return 0; }

int gdi_open(TypesetContext* ctx, const LayoutOptions* options) {
    GdiDeviceState& s = state();
    double scale = ctx->deviceData == &s && s.scale != 0 ? s.scale : 1.0;
    LayoutOptions preset;
    if (!options) {
        layout_options_init(1, &preset, nullptr);
        options = &preset;
    }
    layout_options_apply(ctx, options);
    ctx->firstLevel = 0;
    ctx->pageWidth = int(ctx->pageWidth * scale);
    ctx->pageHeight = int(ctx->pageHeight * scale);
    ctx->firstIndent = int(ctx->firstIndent * scale);
    ctx->contIndent = int(ctx->contIndent * scale);
    ctx->lineGap = int(ctx->lineGap * scale);
    if (ctx->levelCount < 1 || ctx->levelCount > kLevels) ctx->levelCount = kLevels;
    ctx->lineEndReserve = int(30 * scale);
    // The widest part that may stand beside others: what is left of a line after the larger
    // indent and the line-end reserve.
    ctx->partLimit = ctx->pageWidth - std::max(ctx->firstIndent, ctx->contIndent) - ctx->lineEndReserve;
    forget_glyph_caches(s);   // they lived in the previous run's arena
    int rc = gdi_ensure_level(&s, 0);
    if (rc != 0) return rc;
    ctx->indentStep *= gdi_char_width(ctx, 'x', STYLE_ROMAN, 0);
    return 0;
}

void compute_metrics(GdiSizeLevel& lv, int f, const TEXTMETRICA& tm, int blank) {
    int* m = lv.metrics[f];
    int height = tm.tmAscent + tm.tmDescent - tm.tmInternalLeading;
    m[0] = height;
    m[2] = tm.tmAscent - tm.tmInternalLeading;
    m[3] = m[4] = blank;
    m[5] = std::max(int(tm.tmAveCharWidth * 0.1), 1);
    m[6] = int(height * 0.5);
    m[7] = 0;
    m[8] = int(tm.tmDescent * -0.5);
    m[9] = int(tm.tmDescent * 0.5);
    m[10] = tm.tmInternalLeading / 5 == 0 ? 1 : tm.tmInternalLeading / 5;
    m[12] = blank / 2;
}

}  // namespace

const TypesetDevice GdiTypesetDevice = {
    4, 0, 1, gdi_open, gdi_close, gdi_font_metric, gdi_char_width, gdi_string_extent, gdi_glyph_node,
    gdi_symbol_kind, gdi_size_symbol, gdi_draw_text, gdi_draw_text_clipped, gdi_draw_symbol, gdi_hook,
};

GdiDeviceState& gdi_device_state() {
    static GdiDeviceState s;
    return s;
}

void gdi_setup_fonts(GdiDeviceState* s, const LayoutOptions* options, const GdiMeasureDC* dc) {
    const char* face = options && options->fontFace ? options->fontFace : "Times New Roman";
    int size = options && options->pointSize ? options->pointSize : 12;
    int mapMode = dc->mapMode;
    if (s->setUp) {
        forget_glyph_caches(*s);
        if (s->mapMode == mapMode && s->pixelsPerInch == dc->pixelsPerInch && s->pointSize[0] == size &&
            std::strncmp(s->specs[0].face, face, sizeof s->specs[0].face - 1) == 0 &&
            s->ownMeasureDC.source == dc->source)
            return;
        gdi_release_fonts(s);
        COLORREF color = s->textColor;
        long made = s->fontsMade;
        *s = GdiDeviceState{};
        s->textColor = color;
        s->fontsMade = made;
    }
    for (int f = 0; f < 4; ++f) {
        GdiFontSpec& spec = s->specs[f];
        std::snprintf(spec.face, sizeof spec.face, "%s", f == STYLE_SYMBOL ? "Symbol" : face);
        spec.italic = f == STYLE_ITALIC ? 1 : 0;
        spec.weight = f == STYLE_BOLD ? 600 : 400;
    }
    s->pointSize[0] = size;
    s->pointSize[1] = std::max(size * 2 / 3, 4);
    s->mapMode = mapMode;
    s->pixelsPerInch = dc->pixelsPerInch;
    s->ownMeasureDC = *dc;
    s->scale = gdi_units_per_inch(mapMode, dc->pixelsPerInch) / 72.0;
    s->setUp = true;
}

LOGFONTA gdi_create_font(const GdiDeviceState* s, const GdiFontSpec& spec, int pointSize, bool symbolCharset) {
    LOGFONTA lf;
    std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", spec.face);
    if (s->mapMode == MM_TEXT)
        lf.lfHeight = (pointSize * s->pixelsPerInch) / -72;
    else
        lf.lfHeight = int32_t(-pointSize * s->scale);
    lf.lfWidth = 0;
    lf.lfItalic = BYTE(spec.italic);
    lf.lfWeight = spec.weight;
    lf.lfOutPrecision = symbolCharset ? 7 : 4;
    lf.lfQuality = 0;
    lf.lfPitchAndFamily = 0x12;
    lf.lfCharSet = symbolCharset ? SYMBOL_CHARSET : ANSI_CHARSET;
    return lf;
}

int gdi_ensure_level(GdiDeviceState* s, int level) {
    int l = level_of(level);
    if (s->loaded[l]) return 0;
    if (!s->setUp) {
        GdiMeasureDC dc;
        dc.mapMode = MM_TWIPS;
        gdi_setup_fonts(s, nullptr, &dc);
    }
    return gdi_load_level(s, l);
}

int gdi_load_level(GdiDeviceState* s, int level) {
    int l = level_of(level);
    GdiSizeLevel& lv = s->levels[l];
    for (auto& f : lv.fonts)
        if (f.handle) DeleteObject(f.handle);
    if (lv.bigSymbol) DeleteObject(lv.bigSymbol);
    lv = GdiSizeLevel{};
    const GdiMeasureDC& dc = measure_dc(*s);
    for (int f = 0; f < 4; ++f) {
        GdiSizeLevel::Font& slot = lv.fonts[f];
        slot.logfont = gdi_create_font(s, s->specs[f], s->pointSize[l], f == STYLE_SYMBOL);
        TEXTMETRICA tm;
        if (!GetTextMetricsA(dc, slot.logfont, &tm)) return 2;
        slot.handle = CreateFontIndirectA(&slot.logfont);
        if (!slot.handle) return 2;
        ++s->fontsMade;
        int blank = extent_of(*s, slot.logfont, " ", 1);
        compute_metrics(lv, f, tm, blank);
        slot.longestRun = 32000 / std::max(extent_of(*s, slot.logfont, "M", 1), 1);
    }
    // Common ascent, then the common height.
    int A = 0, H = 0;
    for (int f = 0; f < 4; ++f) A = std::max(A, lv.metrics[f][2]);
    for (int f = 0; f < 4; ++f) {
        lv.shift[f] = A - lv.metrics[f][2];
        lv.metrics[f][0] += lv.shift[f];
        lv.metrics[f][2] = A;
        H = std::max(H, lv.metrics[f][0]);
    }
    for (int f = 0; f < 4; ++f) {
        lv.metrics[f][0] = lv.metrics[f][11] = H;
        lv.metrics[f][1] = H / 2;
    }
    lv.bigLogfont = gdi_create_font(s, s->specs[STYLE_SYMBOL], s->pointSize[l] * 3 / 2, true);
    TEXTMETRICA big;
    if (!GetTextMetricsA(dc, lv.bigLogfont, &big)) return 2;
    lv.bigSymbol = CreateFontIndirectA(&lv.bigLogfont);
    if (!lv.bigSymbol) return 2;
    ++s->fontsMade;
    lv.bigHeight = big.tmAscent + big.tmDescent - big.tmInternalLeading;
    lv.bigHalf = lv.bigHeight / 2;
    lv.bigAscent = big.tmAscent - big.tmInternalLeading;
    s->loaded[l] = true;
    return 0;
}

void gdi_release_fonts(GdiDeviceState* s) {
    for (int l = 0; l < kLevels; ++l) {
        GdiSizeLevel& lv = s->levels[l];
        for (auto& f : lv.fonts) {
            if (f.handle) DeleteObject(f.handle);
            f.handle = nullptr;
        }
        if (lv.bigSymbol) DeleteObject(lv.bigSymbol);
        lv.bigSymbol = nullptr;
        s->loaded[l] = false;
    }
    for (HPEN& p : s->pens) {
        if (p) DeleteObject(p);
        p = nullptr;
    }
    s->curFont = s->curLevel = -1;
}

void gdi_typeset_cleanup() {
    GdiDeviceState& s = gdi_device_state();
    gdi_release_fonts(&s);
    forget_glyph_caches(s);
}
