// The selected part of a typeset expression as one-dimensional text.
//
// The walk tests each box against the selection rectangle: outside, partly inside or wholly
// inside.  A box wholly inside that shows a DAG is written by the language's one-line printer
// (inside a procedure listing, with that procedure as the printer's current procedure, so that
// its parameters and locals print by their names); other boxes are written from their parts:
// text leaves by their text, glyphs by their linear text, products with "/" and "*", powers
// with "^", sequences with ", ".
//
// The text is gathered in a list of 512-byte chunks (511 characters and a NUL each) and joined
// once at the end.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "selection.h"
#include "tovu/print.h"

namespace {

constexpr int kWalkCap = 8 * TYPESET_MAX_DEPTH;

// Growing text in fixed chunks; a chunk may also wrap a given string without copying it.
class TextChunks {
public:
    static constexpr std::size_t kChunk = 512;

    void append(char c) {
        if (chunks_.empty() || chunks_.back().wrapped || chunks_.back().used == kChunk - 1) {
            Chunk k;
            k.owned = std::make_unique<char[]>(kChunk);
            chunks_.push_back(std::move(k));
        }
        Chunk& k = chunks_.back();
        k.owned[k.used++] = c;
        k.owned[k.used] = 0;
        ++count_;
    }
    void append(const char* text) {
        for (; *text; ++text) append(*text);
    }
    // Keeps the string (which must outlive the list) as a chunk of its own.
    void wrap(const char* text) {
        Chunk k;
        k.wrapped = text;
        k.used = std::strlen(text);
        count_ += k.used;
        chunks_.push_back(std::move(k));
    }
    std::size_t size() const { return count_; }
    char* join() const {
        char* out = static_cast<char*>(std::malloc(count_ + 1));
        if (!out) return nullptr;
        std::size_t at = 0;
        for (const Chunk& k : chunks_) {
            std::memcpy(out + at, k.wrapped ? k.wrapped : k.owned.get(), k.used);
            at += k.used;
        }
        out[at] = 0;
        return out;
    }

private:
    struct Chunk {
        std::unique_ptr<char[]> owned;
        const char* wrapped = nullptr;
        std::size_t used = 0;
    };
    std::vector<Chunk> chunks_;
    std::size_t count_ = 0;
};

enum Inside { OUTSIDE = 0, PARTLY = 1, WHOLLY = 2 };

struct Writer {
    TypesetContext* ctx;
    int left, top, right, bottom;   // the selection rectangle
    TextChunks text;
    std::string message;            // the printer's first message; later writes are dropped
    bool stopped = false;

    void put(char c) {
        if (!stopped) text.append(c);
    }
    void put(const char* s) {
        if (!stopped) text.append(s);
    }
    // A leaf's text lives in the node arena, which outlasts the list.
    void putLeaf(const char* s) {
        if (!stopped && s && *s) text.wrap(s);
    }

    Inside classify(int x, int y, const TypesetNode* n) const {
        int r = x + n->width, b = y + n->height;
        if (r <= left || x >= right || b <= top || y >= bottom) {
            // A box without extent inside the rectangle still counts as inside.
            if (!(n->width == 0 && x >= left && x <= right && y >= top && y <= bottom)) return OUTSIDE;
        }
        if (x >= left && r <= right && y >= top && b <= bottom) return WHOLLY;
        return PARTLY;
    }

    static void sink(void* data, int c) {
        Writer* w = static_cast<Writer*>(data);
        if (w->message.empty()) w->put(char(c));
    }
    static void error(void* data, const char* m) {
        Writer* w = static_cast<Writer*>(data);
        if (w->message.empty()) {
            w->message = m && *m ? m : "?";
            w->stopped = true;
        }
    }

    void print(const DagWord* dag, const DagWord* procedure) {
        if (stopped) return;
        PrintProcedureScope scope(procedure);
        print_expression(dag, sink, error, 0, PRINT_TILDES, this);
    }

    void walk(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth);
    void walkPartly(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth);
    void walkPower(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth, bool whole);
    void walkProduct(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth);
    void walkSequence(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth);
    void walkGeneric(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth);
};

void Writer::walk(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth) {
    if (!n || depth > kWalkCap || stopped) return;
    if (n->type == DAG_PROC && n->source) procedure = static_cast<const DagWord*>(n->source);
    Inside in = classify(x, y, n);
    if (in == OUTSIDE) return;
    if (in == WHOLLY) {
        if (n->source && !typeset_is_glyph_type(n->type)) {
            print(static_cast<const DagWord*>(n->source), procedure);
        } else if (typeset_is_text_type(n->type)) {
            putLeaf(n->text);
        } else if (typeset_is_glyph_type(n->type)) {
            put(glyph_linear_text(n->type));
        } else if (n->type == DAG_POWER) {
            walkPower(n, x, y, procedure, depth, true);
        } else {
            walkPartly(n, x, y, procedure, depth);
        }
        return;
    }
    walkPartly(n, x, y, procedure, depth);
}

void Writer::walkPartly(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth) {
    if (typeset_is_text_type(n->type)) {
        putLeaf(n->text);
        return;
    }
    if (typeset_is_glyph_type(n->type) || n->type == DAG_INTPOS) return;
    switch (n->type) {
    case DAG_RATIONAL:
    case DAG_PROD:
        if (n->secondCount > 1 || (n->secondCount == 1 && (!n->secondArray[0].node ||
                                                            n->secondArray[0].node->type != TS_RULE)))
            break;
        walkProduct(n, x, y, procedure, depth);
        return;
    case DAG_POWER:
        walkPower(n, x, y, procedure, depth, false);
        return;
    case DAG_LIST:
    case 64:
        if (n->secondCount == 0) {
            walkSequence(n, x, y, procedure, depth);
            return;
        }
        break;
    default:
        break;
    }
    walkGeneric(n, x, y, procedure, depth);
}

void Writer::walkProduct(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth) {
    // Separators go only between children that are written.
    const TypesetChild* previous = nullptr;
    for (int i = 0; i < n->firstCount; ++i) {
        const TypesetChild* c = &n->firstArray[i];
        if (!c->node || classify(x + c->x, y + c->y, c->node) == OUTSIDE) continue;
        if (previous) put(c->x < previous->x + previous->node->width ? "/" : "*");
        walk(c->node, x + c->x, y + c->y, procedure, depth + 1);
        previous = c;
    }
}

void Writer::walkPower(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth, bool whole) {
    if (n->firstCount < 1 || !n->firstArray[0].node) return;
    const TypesetChild* base = &n->firstArray[0];
    walk(base->node, x + base->x, y + base->y, procedure, depth + 1);
    bool radical = n->secondCount == 1 && n->secondArray[0].node && n->secondArray[0].node->type == TS_RADICAL;
    if (radical) {
        if (whole) put("^(1/2)");
        return;
    }
    if (n->firstCount < 2 || !n->firstArray[1].node) return;
    const TypesetChild* e = &n->firstArray[1];
    if (classify(x + base->x, y + base->y, base->node) != OUTSIDE &&
        classify(x + e->x, y + e->y, e->node) != OUTSIDE) {
        put("^");
        walk(e->node, x + e->x, y + e->y, procedure, depth + 1);
    }
}

void Writer::walkSequence(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth) {
    bool previousInside = false;
    for (int i = 0; i < n->firstCount; ++i) {
        const TypesetChild* c = &n->firstArray[i];
        if (!c->node) continue;
        bool inside = classify(x + c->x, y + c->y, c->node) != OUTSIDE;
        if (inside && previousInside) put(", ");
        walk(c->node, x + c->x, y + c->y, procedure, depth + 1);
        previousInside = inside;
    }
}

void Writer::walkGeneric(const TypesetNode* n, int x, int y, const DagWord* procedure, int depth) {
    // Both arrays merged in x order, the second array first on equal x.
    struct Item {
        const TypesetChild* c;
        bool first;
        int index;
    };
    std::vector<Item> items;
    for (int i = 0; i < n->secondCount; ++i)
        if (n->secondArray[i].node) items.push_back({&n->secondArray[i], false, i});
    for (int i = 0; i < n->firstCount; ++i)
        if (n->firstArray[i].node) items.push_back({&n->firstArray[i], true, i});
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        if (a.c->x != b.c->x) return a.c->x < b.c->x;
        return !a.first && b.first;
    });
    bool sum = n->type == DAG_SUM;
    const Item* previous = nullptr;
    bool previousInside = false;
    for (const Item& it : items) {
        int cx = x + it.c->x;
        if (cx >= right) break;
        bool skip = cx + it.c->node->width <= left && it.c->node->width > 0;
        bool inside = !skip && classify(cx, y + it.c->y, it.c->node) != OUTSIDE;
        if (sum && it.first && previous && previous->first && previousInside && inside) put("*");
        if (!skip) walk(it.c->node, cx, y + it.c->y, procedure, depth + 1);
        previous = &it;
        previousInside = inside;
    }
}

}  // namespace

const char* glyph_linear_text(int code) {
    static const char* const kText[] = {
        "+", "-", "(", ")", "=", "<>", "<", "<=", " and ", " not ", " or ", ",", "..", ":=", " ... ",
        "/", "{", "}", "[", "]", "-", ";", " -> ", "<", ">", "'", ".", "::", "d", " local ", " global ",
        " description ", " option ", " proc ", " end ", " if ", " then ", " elif ", " else ", " fi ",
        " for ", " in ", " from ", " by ", " to ", " while ", " do ", " od ", "^", "", "#", "read ",
        "save ", "quit", "*"};
    if (code >= 129 && code <= 183) return kText[code - 129];
    switch (code) {
    case 194: return "(";
    case 195: return ")";
    case 196: return "{";
    case 197: return "}";
    case 198: return "[";
    case 199: return "]";
    case 200: return "int";
    case 202: return "sqrt";
    case 204: return "/";
    case 205: return " sum ";
    case 206: return " prod ";
    case 207: case 208: return " abs ";
    case 209: return " conjugate ";
    default: return " `?` ";
    }
}

char* render_linear_text(TypesetContext* ctx) {
    Writer w{ctx, ctx ? ctx->selLeft : 0, ctx ? ctx->selTop : 0, 0, 0, {}, {}, false};
    const TypesetChild* root = ctx && ctx->lines && ctx->lines->root ? ctx->lines->root : nullptr;
    if (root && root->node && ctx->selectionShown) {
        w.right = ctx->selLeft + ctx->selWidth;
        w.bottom = ctx->selTop + ctx->selHeight;
        w.walk(root->node, root->x, root->y, nullptr, 0);
    }
    return w.text.join();
}
