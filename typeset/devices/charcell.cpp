// Character-cell device and the 2-D text renderer.

#include "charcell.h"

#include <cstring>

#include "typeset/typeset_layout.h"

namespace {

// Glyph texts on the character grid, codes 129..192.
const char* const kGlyphText[64] = {
    " + ", " - ", "(", ")", " = ", " <> ", " < ", " <= ",                               // 129-136
    " and ", "not ", " or ",                                                          // 137-139
    ",", " .. ", " := ", " ... ", "/", "{", "}", "[", "]", "-", ";", " -> ", " < ",  // 140-152
    " > ", "'", ".", "::", "d",                                                       // 153-157
    "local", "global", "description", "option", "proc", "end", "if", "then", "elif",  // 158-166
    "else", "fi", "for", "in", "from", "by", "to", "while", "do", "od",               // 167-176
    "^", "^", "#",                                                                    // 177-179
    "read ", "save ", "quit",                                                         // 180-182
    "*",                                                                              // 183
    "", "", "", "", "", "", "", "", "",                                               // 184-192
};

TypesetNode* g_cache[65] = {};   // codes 128..192

struct DrawGrid {
    CharGrid* grid;
};

CharGrid* grid_of(TypesetDrawState* st) { return static_cast<CharGrid*>(st->ctx->deviceData); }

int cc_open(TypesetContext* ctx, const LayoutOptions* options) {
    LayoutOptions preset;
    if (!options) {
        layout_options_init(1, &preset, nullptr);
        options = &preset;
    }
    layout_options_apply(ctx, options);
    ctx->firstLevel = 0;
    ctx->levelCount = CharCellDevice.lastLevel - CharCellDevice.firstLevel + 1;
    ctx->lineEndReserve = 3;
    int larger = ctx->firstIndent > ctx->contIndent ? ctx->firstIndent : ctx->contIndent;
    ctx->partLimit = ctx->pageWidth - larger - 3;
    return 0;
}

int cc_close(TypesetContext*) {
    charcell_release_cache();
    return 0;
}

int cc_font_metric(TypesetContext*, int, int, int m) {
    switch (m) {
    case 0: case 1: case 2: case 3: case 4: case 6: case 10: case 11:
        return 1;
    default:
        return 0;
    }
}

int cc_char_width(TypesetContext*, int, int, int) { return 1; }

int cc_string_extent(TypesetContext*, const char* text, int, int, TypesetNode* node) {
    node->width = int(std::strlen(text));
    node->height = 1;
    node->ascent = 1;
    return 0;
}

TypesetNode* cc_glyph_node(TypesetContext* ctx, int code, int level) {
    if (code < 193) {
        int i = code - 128;
        if (i < 0) i = 0;   // codes below 128 share the empty slot 128
        if (!g_cache[i]) {
            TypesetNode* n = typeset_leaf_new(code, 0);
            if (!n) throw TypesetJump{3};
            const char* t = charcell_glyph_text(code);
            n->width = t ? int(std::strlen(t)) : 0;
            n->height = 1;
            n->ascent = 1;
            n->style = static_cast<unsigned char>(charcell_glyph_style(code) << 4);
            g_cache[i] = n;
        }
        return g_cache[i];
    }
    TypesetNode* n = typeset_node_new(ctx, code, level);
    n->width = 1;
    n->height = 0;
    n->ascent = 0;
    return n;
}

int cc_symbol_kind(TypesetContext*, int code, int) {
    switch (code) {
    case 194: case 195:
        return 3;
    case 196: case 197: case 198: case 199: case 204: case 207: case 208: case 210:
        return 1;
    case 200: case 205: case 206:
        return 5;
    default:
        return 0;
    }
}

int cc_size_symbol(TypesetContext* ctx, TypesetNode* node, int level, int h) {
    node->size = h;
    node->height = h;
    node->ascent = h > 0 ? (h + 1) / 2 : h / 2;
    switch (node->type) {
    case 200: node->width = 3; break;
    case TS_SLASH:
        if (h > 1) {
            node->height = 3;
            node->ascent = 2;
            node->width = 5;
        } else {
            node->width = 1;
        }
        break;
    case TS_SUMSIGN: node->width = h; break;
    case TS_PRODSIGN: node->width = 2 * h; break;
    case 207: case 208: case 210: node->width = cc_font_metric(ctx, 0, level, 10); break;
    default: break;
    }
    return node->width;
}

void draw_text_at(TypesetDrawState* st, const char* text, std::size_t n, int x, int y, int style) {
    CharGrid* g = grid_of(st);
    if (g) g->put(x - st->originShift, y + st->originY, text, n, style);
}

void cc_draw_text(TypesetDrawState* st, const TypesetNode* node, int x, int y, int) {
    if (!node->text) return;
    draw_text_at(st, node->text, std::strlen(node->text), x, y, node_style(node));
}

void cc_draw_text_clipped(TypesetDrawState* st, const TypesetNode* node, int x, int y, int) {
    if (!node->text) return;
    const char* t = node->text;
    std::size_t len = std::strlen(t);
    std::size_t off = 0, cnt = 0;
    int col = x;
    if (!st->pieceConsumed && st->piece.node == node) {
        off = std::size_t(st->piece.offset);
        cnt = std::size_t(st->piece.count);
        col = x + st->piece.xInNode;
        st->pieceConsumed = true;
        if (off > len) off = len;
        if (cnt > len - off) cnt = len - off;
    } else {
        int c = x;
        while (off < len && c < st->leftLimit) {
            ++off;
            ++c;
        }
        col = c;
        while (off + cnt < len && c < st->rightLimit) {
            ++cnt;
            ++c;
        }
    }
    bool newline = cnt > 0 && t[off + cnt - 1] == '\n';
    std::size_t shown = newline ? cnt - 1 : cnt;
    draw_text_at(st, t + off, shown, col, y, node_style(node));
    if (off + cnt < len && !newline) draw_text_at(st, "\\", 1, col + int(shown), y, 0);
}

void cc_draw_symbol(TypesetDrawState* st, const TypesetNode* n, int x, int y, int) {
    int style = node_style(n);
    if (n->type < 193) {
        const char* t = charcell_glyph_text(n->type);
        if (t && *t) draw_text_at(st, t, std::strlen(t), x, y, style);
        return;
    }
    int h = n->height;
    auto column = [&](char c, int col) {
        for (int r = 0; r < h; ++r) draw_text_at(st, &c, 1, col, y + r, 0);
    };
    switch (n->type) {
    case G_SLPAREN:
    case G_SRPAREN: {
        bool left = n->type == G_SLPAREN;
        for (int r = 0; r < h; ++r) {
            char c = '|';
            if (r == 0) c = left ? '/' : '\\';
            else if (r == h - 1) c = left ? '\\' : '/';
            draw_text_at(st, &c, 1, x, y + r, 0);
        }
        break;
    }
    case G_SLBRACE: column('{', x); break;
    case G_SRBRACE: column('}', x); break;
    case G_SLBRACK: column('[', x); break;
    case G_SRBRACK: column(']', x); break;
    case 200:
        for (int r = 0; r < h; ++r) {
            if (r == 0) draw_text_at(st, "/", 1, x + 2, y, 0);
            else if (r == h - 1) draw_text_at(st, "/", 1, x, y + r, 0);
            else draw_text_at(st, "|", 1, x + 1, y + r, 0);
        }
        break;
    case TS_RULE: {
        std::string bar(std::size_t(n->size > 0 ? n->size : 0), '-');
        draw_text_at(st, bar.data(), bar.size(), x, y, 0);
        break;
    }
    case TS_TEXT_LEAF:
        cc_draw_text(st, n, x, y, 0);
        break;
    case TS_SLASH:
        if (n->height <= 1) {
            draw_text_at(st, "/", 1, x, y, 0);
        } else {
            for (int r = 0; r < 3; ++r) draw_text_at(st, "/", 1, x + 4 - 2 * r, y + r, 0);
        }
        break;
    case TS_SUMSIGN: {
        int w = n->width;
        std::string bar(std::size_t(w > 0 ? w : 0), '-');
        if (h <= 0) break;
        draw_text_at(st, bar.data(), bar.size(), x, y, 0);
        if (h > 1) draw_text_at(st, bar.data(), bar.size(), x, y + h - 1, 0);
        int inner = h - 2, half = inner / 2;
        for (int r = 0; r < half; ++r) {
            draw_text_at(st, "\\", 1, x + r, y + 1 + r, 0);
            draw_text_at(st, "/", 1, x + r, y + h - 2 - r, 0);
        }
        if (inner > 0 && inner % 2 == 1) draw_text_at(st, ")", 1, x + half, y + 1 + half, 0);
        break;
    }
    case TS_PRODSIGN: {
        int w = n->width;
        if (h <= 0 || w < 2) break;
        for (int c = 1; c < w - 1; ++c) draw_text_at(st, "-", 1, x + c, y, 0);
        draw_text_at(st, "'", 1, x + w - 1, y, 0);
        if (h > 1) draw_text_at(st, "'", 1, x, y + 1, 0);
        for (int r = 1; r < h; ++r) {
            draw_text_at(st, "|", 1, x + w / 3, y + r, 0);
            draw_text_at(st, "|", 1, x + 2 * w / 3, y + r, 0);
        }
        break;
    }
    case 207: case 208: case 210: column('|', x); break;
    case TS_UNDERBAR: {
        std::string bar(std::size_t(n->width > 0 ? n->width : 0), '_');
        draw_text_at(st, bar.data(), bar.size(), x, y, 0);
        break;
    }
    default:
        break;   // 202 (radical) and the rest draw nothing here
    }
}

void cc_hook(TypesetDrawState*, int, int, int) {}

}  // namespace

const TypesetDevice CharCellDevice = {
    1, 0, 0, cc_open, cc_close, cc_font_metric, cc_char_width, cc_string_extent, cc_glyph_node,
    cc_symbol_kind, cc_size_symbol, cc_draw_text, cc_draw_text_clipped, cc_draw_symbol, cc_hook,
};

const char* charcell_glyph_text(int code) {
    if (code < 129 || code > 192) return nullptr;
    return kGlyphText[code - 129];
}

int charcell_glyph_style(int code) {
    if ((code >= 137 && code <= 139) || (code >= 158 && code <= 176) || (code >= 180 && code <= 182))
        return STYLE_BOLD;
    return STYLE_ROMAN;
}

void charcell_release_cache() {
    for (auto& n : g_cache) {
        typeset_mem_free(n);
        n = nullptr;
    }
}

// ---- character grid -------------------------------------------------------------------------------

void CharGrid::reset(int rowsWanted, int columns) {
    if (rowsWanted < 1) rowsWanted = 1;
    if (columns < 1) columns = 1;
    width = columns;
    rows.assign(std::size_t(rowsWanted), std::string(std::size_t(columns), ' '));
    if (keepStyles)
        styles.assign(std::size_t(rowsWanted), std::string(std::size_t(columns), '\0'));
    else
        styles.clear();
}

void CharGrid::put(int col, int row, const char* text, std::size_t n, int style) {
    if (row < 0 || row >= int(rows.size()) || col < 0) return;
    if (std::size_t(col) + n > std::size_t(width)) return;   // dropped whole, never truncated
    rows[std::size_t(row)].replace(std::size_t(col), n, text, n);
    if (keepStyles && style != 0)
        styles[std::size_t(row)].replace(std::size_t(col), n, n, char(style));
}

// ---- renderer ---------------------------------------------------------------------------------------

int render_text_2d(const DagWord* dag, const LayoutOptions* options, Put2dChar putChar,
                   Put2dAttribute putAttribute, bool wantAttributes, void* user) {
    if (!putChar) return 1;
    TypesetContext* ctx = typeset_context_new(&CharCellDevice);
    if (!ctx) return 3;
    int rc = typeset_run(ctx, dag, options);
    if (rc == 0 && ctx->lines) rc = typeset_break_lines(ctx);
    if (rc != 0 || !ctx->lines) {
        int code = ctx->errorCode ? ctx->errorCode : (rc ? rc : 5);
        typeset_context_free(ctx);
        return code;
    }
    CharGrid grid;
    grid.keepStyles = wantAttributes && putAttribute;
    ctx->deviceData = &grid;
    int result = 0;
    const LineTable* lt = ctx->lines;
    for (int i = 0; i < lt->count && result == 0; ++i) {
        const TypesetLine* line = &lt->lines[i];
        bool empty = line->height <= 0 || line->width <= 0;
        grid.reset(empty ? 1 : line->height, empty ? 1 : line->x + line->width + 2);
        if (!empty) {
            TypesetDrawState st;
            typeset_draw_state_init(&st, ctx, line);
            typeset_draw(&st, line, 0, 0);
        }
        if (i > 0 && !line->mode && putChar(user, '\n')) {
            result = 6;
            break;
        }
        for (std::size_t r = 0; r < grid.rows.size() && result == 0; ++r) {
            std::string& row = grid.rows[r];
            std::size_t end = row.find_last_not_of(' ');
            std::size_t n = end == std::string::npos ? 0 : end + 1;
            int prev = 0;
            for (std::size_t c = 0; c < n; ++c) {
                if (grid.keepStyles) {
                    int s = static_cast<unsigned char>(grid.styles[r][c]);
                    if (s != prev) {
                        if (putAttribute(user, s)) { result = 6; break; }
                        prev = s;
                    }
                }
                if (putChar(user, static_cast<unsigned char>(row[c]))) { result = 6; break; }
            }
            if (result) break;
            if (grid.keepStyles && putAttribute(user, 0)) { result = 6; break; }
            if (putChar(user, '\n')) result = 6;
        }
    }
    ctx->deviceData = nullptr;
    typeset_context_free(ctx);
    return result;
}

std::string render_text_2d_string(const DagWord* dag, const LayoutOptions* options, int* code) {
    std::string out;
    int rc = render_text_2d(
        dag, options,
        [](void* u, int ch) {
            static_cast<std::string*>(u)->push_back(char(ch));
            return 0;
        },
        nullptr, false, &out);
    if (code) *code = rc;
    return out;
}
