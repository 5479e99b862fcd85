// The fixed-metric fake device.

#include "fake_device.h"

#include <cstring>

namespace {

constexpr int kCharWidth = 2;
int g_forcedPartLimit = -1;

int fd_open(TypesetContext* ctx, const LayoutOptions* options) {
    LayoutOptions preset;
    if (!options) {
        layout_options_init(0, &preset, nullptr);
        options = &preset;
    }
    layout_options_apply(ctx, options);
    ctx->firstLevel = 0;
    ctx->levelCount = 3;
    ctx->lineEndReserve = 0;
    ctx->partLimit = g_forcedPartLimit >= 0 ? g_forcedPartLimit : ctx->pageWidth;
    return 0;
}

int fd_close(TypesetContext*) { return 0; }

int fd_font_metric(TypesetContext*, int, int, int m) {
    switch (m) {
    case 0: case 11: return 3;   // text height
    case 1: return 2;            // ascent
    case 2: return 1;            // descent
    case 3: case 4: return 2;    // a blank
    case 6: return 1;
    case 10: return 1;           // rule thickness
    case 12: return 1;           // half a blank
    default: return 0;
    }
}

int fd_char_width(TypesetContext*, int, int, int) { return kCharWidth; }

int fd_string_extent(TypesetContext*, const char* text, int, int, TypesetNode* node) {
    node->width = kCharWidth * int(std::strlen(text));
    node->height = 3;
    node->ascent = 2;
    return 0;
}

TypesetNode* fd_glyph_node(TypesetContext* ctx, int code, int level) {
    TypesetNode* n = typeset_node_new(ctx, code, level);
    if (code < 193) {
        n->width = kCharWidth;
        n->height = 3;
        n->ascent = 2;
    } else {
        n->width = kCharWidth;
        n->height = 0;
        n->ascent = 0;
    }
    return n;
}

int fd_symbol_kind(TypesetContext*, int code, int) { return code >= 193 ? 3 : 0; }

int fd_size_symbol(TypesetContext*, TypesetNode* node, int, int h) {
    node->size = h;
    node->height = h;
    node->ascent = (h + 1) / 2;
    return node->width;
}

std::vector<FakeDraw>* sink(TypesetDrawState* st) {
    return static_cast<std::vector<FakeDraw>*>(st->ctx->deviceData);
}

void fd_draw_text(TypesetDrawState* st, const TypesetNode* node, int x, int y, int inverted) {
    sink(st)->push_back({node->type, node->text ? node->text : "", x, y, inverted != 0});
}

void fd_draw_symbol(TypesetDrawState* st, const TypesetNode* node, int x, int y, int inverted) {
    sink(st)->push_back({node->type, node->text ? node->text : "", x, y, inverted != 0});
}

void fd_hook(TypesetDrawState*, int, int, int) {}

}  // namespace

const TypesetDevice FakeDevice::descriptor = {
    0, 0, 2, fd_open, fd_close, fd_font_metric, fd_char_width, fd_string_extent, fd_glyph_node,
    fd_symbol_kind, fd_size_symbol, fd_draw_text, fd_draw_text, fd_draw_symbol, fd_hook,
};

FakeDevice::FakeDevice() = default;

FakeDevice::~FakeDevice() {
    if (ctx_) typeset_context_free(ctx_);
}

int FakeDevice::run(const DagWord* dag, int pageWidth, int partLimit) {
    if (ctx_) typeset_context_free(ctx_);
    draws_.clear();
    ctx_ = typeset_context_new(&descriptor);
    if (!ctx_) return 3;
    ctx_->keepPaths = keepPaths_ ? 1 : 0;
    LayoutOptions o;
    layout_options_init(0, &o, nullptr);
    o.pageWidth = pageWidth;
    g_forcedPartLimit = partLimit;
    int rc = typeset_run(ctx_, dag, &o);
    g_forcedPartLimit = -1;
    if (rc == 0 && ctx_->lines) rc = typeset_break_lines(ctx_);
    if (rc != 0 || !ctx_->lines) return ctx_->errorCode ? ctx_->errorCode : (rc ? rc : 5);
    ctx_->deviceData = &draws_;
    for (int i = 0; i < ctx_->lines->count; ++i) {
        const TypesetLine* line = &ctx_->lines->lines[i];
        if (line->height <= 0 || line->width <= 0) continue;
        TypesetDrawState st;
        typeset_draw_state_init(&st, ctx_, line);
        typeset_draw(&st, line, 0, 0);
    }
    ctx_->deviceData = nullptr;
    return 0;
}

const TypesetNode* FakeDevice::root() const {
    return ctx_ && ctx_->lines && ctx_->lines->root ? ctx_->lines->root->node : nullptr;
}

std::vector<FakeDraw> FakeDevice::drawsOf(const std::string& text) const {
    std::vector<FakeDraw> out;
    for (const FakeDraw& d : draws_)
        if (d.text == text) out.push_back(d);
    return out;
}

std::vector<FakeDraw> FakeDevice::drawsOfType(int type) const {
    std::vector<FakeDraw> out;
    for (const FakeDraw& d : draws_)
        if (d.type == type) out.push_back(d);
    return out;
}
