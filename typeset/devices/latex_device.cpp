// The LaTeX device: measuring with AFM metrics, in hundredths of a point.

#include <algorithm>
#include <cstring>
#include <memory>

#include "afm.h"
#include "glyphtext.h"
#include "latex.h"
#include "typeset/typeset_layout.h"

namespace {

constexpr int kFonts = 4;
constexpr int kMetrics = 11;
constexpr int kLevels = 3;
const char* const kFontFiles[kFonts] = {"tmr.afm", "tmi.afm", "sym.afm", "tmb.afm"};

// The process-wide metrics block: AFM units, equalised across the four fonts.
struct LatexMetrics {
    int metric[kFonts][kMetrics] = {};
    std::unique_ptr<AfmFontInfo> afm[kFonts];
};
std::unique_ptr<LatexMetrics> g_metrics;

int g_points[kLevels] = {12, 8, 5};

// Glyph nodes of codes 128..192, one block per size level.
TypesetNode* g_glyphs[kLevels][65] = {};

void release_glyphs() {
    for (auto& level : g_glyphs)
        for (auto& n : level) {
            typeset_mem_free(n);
            n = nullptr;
        }
}

int font_of(int style) { return style >= 0 && style < kFonts ? style : STYLE_ROMAN; }
int level_of(int level) { return level < 0 ? 0 : level >= kLevels ? kLevels - 1 : level; }

int afm_width(int font, unsigned char c) {
    const AfmFontInfo* a = g_metrics ? g_metrics->afm[font].get() : nullptr;
    return a && a->widths.size() == 256 ? a->widths[c] : 0;
}

void compute_metrics(LatexMetrics* m) {
    for (int f = 0; f < kFonts; ++f) {
        const AfmFontInfo* a = m->afm[f].get();
        const AfmGlobalInfo* g = a->global.get();
        int* v = m->metric[f];
        int box = g->fontBBox[3] - g->fontBBox[1];
        v[0] = box;
        v[2] = g->fontBBox[3];
        v[3] = v[4] = a->widths.size() == 256 ? a->widths[32] : 0;
        v[5] = 0;
        v[6] = int(g->xHeight * 0.9);
        if (v[6] == 0) v[6] = int(box * 0.5);
        v[7] = 0;
        v[8] = g->xHeight / -2;
        if (v[8] == 0) v[8] = box / -2;
        v[9] = -g->underlinePosition;
        v[10] = g->underlineThickness;
    }
    // Common ascent first, then the common height.
    int A = m->metric[0][2];
    for (int f = 1; f < kFonts; ++f) A = std::max(A, m->metric[f][2]);
    for (int f = 0; f < kFonts; ++f) {
        m->metric[f][0] += A - m->metric[f][2];
        m->metric[f][2] = A;
    }
    int H = m->metric[0][0];
    for (int f = 1; f < kFonts; ++f) H = std::max(H, m->metric[f][0]);
    for (int f = 0; f < kFonts; ++f) {
        m->metric[f][0] = H;
        m->metric[f][1] = H / 2;
    }
}

int lx_font_metric(TypesetContext*, int style, int level, int metric) {
    if (!g_metrics) return 0;
    int f = font_of(style), l = level_of(level);
    if (metric >= 0 && metric <= 10) return latex_scale(g_metrics->metric[f][metric], l);
    if (metric == 11) return 2 * latex_scale(g_metrics->metric[f][0], l);
    return 0;
}

int lx_char_width(TypesetContext*, int ch, int style, int level) {
    return latex_scale(afm_width(font_of(style), static_cast<unsigned char>(ch)), level_of(level));
}

int lx_string_extent(TypesetContext* ctx, const char* text, int style, int level, TypesetNode* node) {
    int f = font_of(style), l = level_of(level);
    long sum = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : ""); *p; ++p)
        sum += afm_width(f, *p);
    if (sum > 100000000L) sum = 100000000L;   // keeps the scaled width inside an int
    node->width = latex_scale(int(sum), l);
    node->height = lx_font_metric(ctx, f, l, 0);
    node->ascent = lx_font_metric(ctx, f, l, 1);
    return 0;
}

void measure_glyph(TypesetContext* ctx, TypesetNode* n, int code, int level) {
    if (code > 192) {
        n->width = 1;
        n->height = 0;
        n->ascent = 0;
        return;
    }
    const GlyphText* g = glyph_text(code < 128 ? 128 : code);
    lx_string_extent(ctx, g->text, g->font, level, n);
    n->style = static_cast<unsigned char>(g->font << 4);
    n->source = nullptr;
}

TypesetNode* lx_glyph_node(TypesetContext* ctx, int code, int level) {
    int l = level_of(level);
    if (code <= 192) {
        int i = code < 128 ? 0 : code - 128;
        TypesetNode*& slot = g_glyphs[l][i];
        if (!slot) {
            TypesetNode* n = typeset_leaf_new(code, l);
            if (!n) throw TypesetJump{3};
            measure_glyph(ctx, n, code, l);
            slot = n;
        }
        return slot;
    }
    TypesetNode* n = typeset_node_new(ctx, code, level);
    measure_glyph(ctx, n, code, level);
    return n;
}

int lx_symbol_kind(TypesetContext*, int, int) { return 0; }

int lx_size_symbol(TypesetContext* ctx, TypesetNode* node, int level, int h) {
    int l = level_of(level);
    node->size = h;
    node->height = h;
    node->ascent = h / 2;
    switch (node->type) {
    case 200: node->width = lx_char_width(ctx, 0xF3, STYLE_SYMBOL, l); break;
    case TS_SLASH:
        node->width = h;
        if (h == 2) node->ascent = 2;
        break;
    case TS_SUMSIGN: case TS_PRODSIGN: node->width = h; break;
    case 207: case 208: case 210: node->width = lx_font_metric(ctx, STYLE_ROMAN, l, 10); break;
    default: break;
    }
    return node->width;
}

// The writer reads the node tree itself: the drawing operations do nothing.
void lx_draw(TypesetDrawState*, const TypesetNode*, int, int, int) {}
void lx_hook(TypesetDrawState*, int, int, int) {}

}  // namespace

const TypesetDevice LatexDevice = {
    3, 0, 2, latex_open, latex_close, lx_font_metric, lx_char_width, lx_string_extent, lx_glyph_node,
    lx_symbol_kind, lx_size_symbol, lx_draw, lx_draw, lx_draw, lx_hook,
};

void latex_set_point_sizes(int base) {
    int sizes[kLevels];
    int p = base;
    for (int l = 0; l < kLevels; ++l) {
        if (l > 0) p = std::max(p * 2 / 3, 4);
        sizes[l] = p;
    }
    if (!std::equal(sizes, sizes + kLevels, g_points)) {
        std::copy(sizes, sizes + kLevels, g_points);
        release_glyphs();   // measured at the old sizes
    }
}

int latex_point_size(int level) { return g_points[level_of(level)]; }

int latex_scale(int value, int level) {
    return int(static_cast<long long>(value) * g_points[level_of(level)] / 10);
}

int latex_open(TypesetContext* ctx, const LayoutOptions* options) {
    LayoutOptions preset;
    if (!options) {
        layout_options_init(1, &preset, nullptr);
        options = &preset;
    }
    layout_options_apply(ctx, options);
    ctx->firstLevel = 0;
    ctx->levelCount = kLevels;
    latex_set_point_sizes(12);
    ctx->pageWidth *= 100;
    ctx->pageHeight *= 100;
    ctx->contIndent *= 100;
    ctx->lineEndReserve = 3600;
    // The widest part that may stand beside others: what is left of a line after the larger
    // indent and the line-end reserve.
    ctx->partLimit = ctx->pageWidth - std::max(ctx->firstIndent, ctx->contIndent) - 3600;
    int rc = latex_load_metrics();
    if (rc != 0) ctx->errorCode = rc;
    return rc;
}

int latex_close(TypesetContext*) {
    release_glyphs();
    return 0;
}

int latex_load_metrics() {
    if (g_metrics) return 0;
    auto m = std::make_unique<LatexMetrics>();
    for (int f = 0; f < kFonts; ++f) {
        m->afm[f] = afm_open(kFontFiles[f]);
        if (!m->afm[f] || !m->afm[f]->global || m->afm[f]->widths.size() != 256) {
            latex_unload_metrics();
            return 2;
        }
    }
    compute_metrics(m.get());
    g_metrics = std::move(m);
    return 0;
}

void latex_unload_metrics() {
    g_metrics.reset();
    release_glyphs();
}
