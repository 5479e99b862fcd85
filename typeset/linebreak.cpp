// The line breaker: cuts a laid-out tree into lines for the page width.
//
// Positions handled here are absolute (relative to the root's top-left corner).  A line records
// the slot whose node it is drawn from (its start) and that node's absolute position; its content
// edges are relative to that start.  Breaking inside a child restarts the line at the parent
// ("rebase"), so that the siblings that follow on the same line are drawn from the parent.
//
// Rules, in the order a slot is tried:
//   1. it fits the rest of the current line: placed whole;
//   2. atomic nodes are never entered: moved to a fresh line when they fit one, else placed;
//   3. text leaves are cut into pieces; sums keep a sign with its term; sequences keep an
//      operand with its comma; the labelled root gives every part its own lines; any other
//      composite is walked child by child in x order (the interleaved rule).

#include <algorithm>
#include <new>
#include <vector>

#include "typeset_layout.h"

struct BreakState {
    int avail = 0;
    int depth = 0;
    int baseIndent = 0;
    int procNesting = 0;
    int alignment = 0;
    int recursion = 0;
    std::vector<TypesetLine> lines;   // the pending list; the last one is the current line
};

namespace {

constexpr int kRecursionCap = 8 * TYPESET_MAX_DEPTH;

class Breaker {
public:
    Breaker(TypesetContext* ctx, BreakState* st) : ctx_(ctx), st_(st) {}

    int indentFor() const {
        int indent = ctx_->indentStep * st_->depth + st_->baseIndent;
        if (ctx_->device->kind != 0 && indent > 2 * ctx_->pageWidth / 3) indent = 2 * ctx_->pageWidth / 3;
        return indent;
    }

    TypesetLine& cur() { return st_->lines.back(); }

    void resetLine(TypesetLine& l) {
        int number = l.number;
        const TypesetChild* start = l.start;
        int sx = l.startX, sy = l.startY;
        l = TypesetLine{};
        l.number = number;
        l.start = start;
        l.startX = sx;
        l.startY = sy;
        l.x = indentFor();
        l.depth = st_->depth;
        l.mode = st_->procNesting != 0;
        st_->avail = ctx_->pageWidth - l.x;
    }

    void openLine() {
        TypesetLine l;
        l.number = int(st_->lines.size());
        if (!st_->lines.empty()) {
            l.start = cur().start;
            l.startX = cur().startX;
            l.startY = cur().startY;
        }
        st_->lines.push_back(l);
        resetLine(cur());
    }

    void nextLine(bool force) {
        if (cur().used || force)
            openLine();
        else
            resetLine(cur());
    }

    void startLine(const TypesetChild* s, int x, int y) {
        TypesetLine& l = cur();
        if (l.used) {
            int dx = l.startX - x, dy = l.startY - y;
            l.left += dx;
            l.right += dx;
            l.top += dy;
            l.bottom += dy;
            l.baseline += dy;
        }
        l.start = s;
        l.startX = x;
        l.startY = y;
    }

    void placeBox(int ax, int ay, int w, int h, int a) {
        TypesetLine& l = cur();
        int rx = ax - l.startX, ry = ay - l.startY;
        if (!l.used) {
            l.left = rx;
            l.right = rx + w;
            l.top = ry;
            l.bottom = ry + h;
            l.baseline = ry + a;
            l.used = true;
            return;
        }
        l.left = std::min(l.left, rx);
        l.right = std::max(l.right, rx + w);
        l.top = std::min(l.top, ry);
        l.bottom = std::max(l.bottom, ry + h);
        l.baseline = std::max(l.baseline, ry + a);
    }

    void place(const TypesetChild* s, int ax, int ay) {
        if (!s->node) return;
        placeBox(ax, ay, s->node->width, s->node->height, s->node->ascent);
    }

    bool fitsRange(int ax, int w) {
        TypesetLine& l = cur();
        if (!l.used) return w < st_->avail;
        return (ax + w - l.startX) - l.left < st_->avail;
    }

    bool fits(const TypesetChild* s, int ax) {
        if (!s->node) return true;
        if (s->node->flags & TSF_BREAK) return false;
        return fitsRange(ax, s->node->width);
    }

    bool fitsFresh(int w) const { return w < ctx_->pageWidth - indentFor(); }

    bool breakSlot(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        if (!n) return false;
        if (fits(s, ax)) {
            place(s, ax, ay);
            return false;
        }
        if (st_->recursion > kRecursionCap) {
            place(s, ax, ay);   // too deep to enter: keep it whole
            return false;
        }
        struct Enter {
            BreakState* st;
            explicit Enter(BreakState* s) : st(s) { ++st->recursion; }
            ~Enter() { --st->recursion; }
        } enter(st_);
        if (n->flags & TSF_ATOMIC) {
            bool broke = false;
            if (fitsFresh(n->width) && cur().used) {
                nextLine(false);
                startLine(s, ax, ay);
                broke = true;
            }
            place(s, ax, ay);
            return broke;
        }
        if (typeset_is_text_type(n->type)) return textRule(s, ax, ay);
        if (typeset_is_glyph_type(n->type)) {
            place(s, ax, ay);
            return false;
        }
        switch (n->type) {
        case DAG_SUM: return sumRule(s, ax, ay);
        case DAG_EXPSEQ: return seqRule(s, ax, ay);
        case TS_LABELLED: return labelRule(s, ax, ay);
        case TS_MATRIX: return ownLines(s, ax, ay, 0);
        case TS_PIECEWISE: return piecewiseRule(s, ax, ay);
        case TS_TABLE:
        case TS_ARRAY: return tableRule(s, ax, ay);
        case DAG_PROC: return procRule(s, ax, ay);
        case DAG_STATSEQ: return statseqRule(s, ax, ay);
        case DAG_IF: return ifRule(s, ax, ay);
        case DAG_FOR: return forRule(s, ax, ay);
        default: return interleaved(s, ax, ay, 0, n->firstCount, 0, n->secondCount);
        }
    }

    // One item of a parent's walk: place, move to a fresh line, or break inside.
    bool item(const TypesetChild* parent, int ax, int ay, const TypesetChild* c, bool mayMove) {
        int cx = ax + c->x, cy = ay + c->y;
        if (fits(c, cx)) {
            place(c, cx, cy);
            return false;
        }
        bool broke = false;
        if (mayMove && c->node && !(c->node->flags & TSF_BREAK) && fitsFresh(c->node->width) &&
            cur().used) {
            nextLine(false);
            startLine(parent, ax, ay);
            broke = true;
            if (fits(c, cx)) {
                place(c, cx, cy);
                return true;
            }
        }
        if (breakSlot(c, cx, cy)) {
            startLine(parent, ax, ay);
            broke = true;
        }
        return broke;
    }

    bool interleaved(const TypesetChild* s, int ax, int ay, int f0, int f1, int g0, int g1) {
        const TypesetNode* n = s->node;
        bool broke = false;
        int i = f0, j = g0;
        while (i < f1 || j < g1) {
            bool takeChild = i < f1 && (j >= g1 || n->firstArray[i].x < n->secondArray[j].x);
            const TypesetChild* c = takeChild ? &n->firstArray[i] : &n->secondArray[j];
            bool head = takeChild && i == 0;
            if (takeChild) ++i; else ++j;
            if (!c->node) continue;
            bool mayMove = n->type != DAG_FUNCTION || head;
            if (item(s, ax, ay, c, mayMove)) broke = true;
        }
        return broke;
    }

    // A group of parts that should stay on one line (a term with its sign, an operand with its
    // comma).  Falls back to the interleaved walk over the group when it cannot.
    bool group(const TypesetChild* s, int ax, int ay, const TypesetChild* const* parts, int count) {
        int lo = 0, hi = 0;
        bool any = false, forced = false;
        for (int k = 0; k < count; ++k) {
            const TypesetChild* p = parts[k];
            if (!p || !p->node) continue;
            int x0 = ax + p->x, x1 = x0 + p->node->width;
            if (!any) { lo = x0; hi = x1; any = true; }
            lo = std::min(lo, x0);
            hi = std::max(hi, x1);
            if (p->node->flags & TSF_BREAK) forced = true;
        }
        if (!any) return false;
        bool broke = false;
        if (!forced) {
            if (fitsRange(lo, hi - lo)) {
                for (int k = 0; k < count; ++k)
                    if (parts[k] && parts[k]->node) place(parts[k], ax + parts[k]->x, ay + parts[k]->y);
                return false;
            }
            if (fitsFresh(hi - lo) && cur().used) {
                nextLine(false);
                startLine(s, ax, ay);
                for (int k = 0; k < count; ++k)
                    if (parts[k] && parts[k]->node) place(parts[k], ax + parts[k]->x, ay + parts[k]->y);
                return true;
            }
        }
        // Walk the parts in x order.
        const TypesetChild* sorted[8];
        int m = 0;
        for (int k = 0; k < count && m < 8; ++k)
            if (parts[k] && parts[k]->node) sorted[m++] = parts[k];
        std::sort(sorted, sorted + m, [](const TypesetChild* a, const TypesetChild* b) { return a->x < b->x; });
        for (int k = 0; k < m; ++k)
            if (item(s, ax, ay, sorted[k], true)) broke = true;
        return broke;
    }

    bool sumRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        int terms = n->firstCount / 2;
        if (terms == 0) return interleaved(s, ax, ay, 0, n->firstCount, 0, n->secondCount);
        int k = n->secondCount / terms;
        if (k < 1) k = 1;
        if (k > 4) k = 4;
        bool broke = false;
        for (int t = 0; t < terms; ++t) {
            const TypesetChild* parts[6] = {&n->firstArray[2 * t], &n->firstArray[2 * t + 1]};
            int count = 2;
            for (int g = 0; g < k && k * t + g < n->secondCount; ++g) parts[count++] = &n->secondArray[k * t + g];
            if (group(s, ax, ay, parts, count)) broke = true;
        }
        return broke;
    }

    bool seqRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        if (n->secondCount != n->firstCount - 1)
            return interleaved(s, ax, ay, 0, n->firstCount, 0, n->secondCount);
        bool broke = false;
        for (int i = 0; i < n->firstCount; ++i) {
            const TypesetChild* parts[2] = {&n->firstArray[i], i + 1 < n->firstCount ? &n->secondArray[i] : nullptr};
            if (group(s, ax, ay, parts, parts[1] ? 2 : 1)) broke = true;
        }
        return broke;
    }

    // Every child from `from` on, each on a line of its own.
    bool ownLines(const TypesetChild* s, int ax, int ay, int from) {
        const TypesetNode* n = s->node;
        for (int i = from; i < n->firstCount; ++i) {
            const TypesetChild* c = &n->firstArray[i];
            if (!c->node) continue;
            nextLine(false);
            startLine(s, ax, ay);
            if (breakSlot(c, ax + c->x, ay + c->y)) startLine(s, ax, ay);
        }
        return true;
    }

    // The brace with the first piece, then every other piece on a line of its own.
    bool piecewiseRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        int glyphs = n->secondCount < 1 ? n->secondCount : 1;
        interleaved(s, ax, ay, 0, n->firstCount < 1 ? n->firstCount : 1, 0, glyphs);
        ownLines(s, ax, ay, 1);
        return true;
    }

    // Table and array calls: the head (indexing function, ranges) with all but the last two
    // glyphs, each equation on a line of its own, then the closing "]" and ")" on a last line.
    bool tableRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        int g = n->secondCount;
        int head = g > 5 ? g - 4 : 1;
        if (head > n->firstCount) head = n->firstCount;
        int headGlyphs = g >= 2 ? g - 2 : 0;
        interleaved(s, ax, ay, 0, head, 0, headGlyphs);
        ownLines(s, ax, ay, head);
        nextLine(false);
        startLine(s, ax, ay);
        interleaved(s, ax, ay, n->firstCount, n->firstCount, headGlyphs, g);
        return true;
    }

    // One slot (child or glyph) on a fresh line.
    void ownLine(const TypesetChild* s, int ax, int ay, const TypesetChild* c) {
        if (!c || !c->node) return;
        nextLine(false);
        startLine(s, ax, ay);
        if (breakSlot(c, ax + c->x, ay + c->y)) startLine(s, ax, ay);
    }

    void deeper(int step) {
        st_->depth += step;
        st_->alignment = 1;
    }

    // A procedure listing: "proc(params)", then locals, globals, options and description each
    // on a line, the body one level in, "end", and the remember table.
    bool procRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        if (n->firstCount != 7 || n->secondCount != 5) return interleaved(s, ax, ay, 0, n->firstCount, 0, n->secondCount);
        interleaved(s, ax, ay, 0, 1, 0, 3);
        ++st_->procNesting;
        for (int i = 1; i <= 4; ++i) ownLine(s, ax, ay, &n->firstArray[i]);
        deeper(1);
        ownLine(s, ax, ay, n->firstArray[5].node ? &n->firstArray[5] : &n->secondArray[3]);
        deeper(-1);
        ownLine(s, ax, ay, &n->secondArray[4]);
        ownLine(s, ax, ay, &n->firstArray[6]);
        --st_->procNesting;
        return true;
    }

    // Every statement on a line; each but the last with its ";".
    bool statseqRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        if (n->secondCount != n->firstCount - 1) return interleaved(s, ax, ay, 0, n->firstCount, 0, n->secondCount);
        for (int i = 0; i < n->firstCount; ++i) {
            const TypesetChild* c = &n->firstArray[i];
            bool control = c->node && (c->node->type == DAG_IF || c->node->type == DAG_FOR);
            if (!control) deeper(1);
            nextLine(false);
            startLine(s, ax, ay);
            interleaved(s, ax, ay, i, i + 1, i, i + 1 < n->firstCount ? i + 1 : i);
            if (!control) deeper(-1);
        }
        return true;
    }

    // Each condition with its keywords on a line, its branch one level in on the next; "else"
    // on a line before its branch; "fi" on its own line.
    bool ifRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        int k = n->firstCount;
        if (n->secondCount != k + 1) return interleaved(s, ax, ay, 0, n->firstCount, 0, n->secondCount);
        for (int i = 0; i < k; i += 2) {
            nextLine(false);
            startLine(s, ax, ay);
            if (i + 1 < k) {
                interleaved(s, ax, ay, i, i + 1, i, i + 2);
                deeper(1);
                ownLine(s, ax, ay, &n->firstArray[i + 1]);
                deeper(-1);
            } else {
                interleaved(s, ax, ay, i, i, i, i + 1);
                deeper(1);
                ownLine(s, ax, ay, &n->firstArray[i]);
                deeper(-1);
            }
        }
        ownLine(s, ax, ay, &n->secondArray[k]);
        return true;
    }

    // The header up to "do", the body one level in, "od" on its own line.
    bool forRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        int f = n->firstCount, g = n->secondCount;
        if (f < 1 || g < 1) return interleaved(s, ax, ay, 0, f, 0, g);
        // The body is the last child laid out (its slot may be followed by empty ones).
        int body = f - 1;
        while (body > 0 && !n->firstArray[body].node) --body;
        int od = g - 1;
        while (od > 0 && !n->secondArray[od].node) --od;
        interleaved(s, ax, ay, 0, body, 0, od);
        deeper(1);
        ownLine(s, ax, ay, &n->firstArray[body]);
        deeper(-1);
        ownLine(s, ax, ay, &n->secondArray[od]);
        return true;
    }

    bool labelRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        bool single = true;
        for (int i = 0; i < n->firstCount; ++i) {
            const TypesetChild* c = &n->firstArray[i];
            if (!c->node) continue;
            if (i > 0) {
                st_->baseIndent = ctx_->firstIndent;
                nextLine(true);
                cur().extraGap = 3 * ctx_->lineGap;
                st_->baseIndent = ctx_->contIndent;
                startLine(c, ax + c->x, ay + c->y);
            }
            std::size_t before = st_->lines.size();
            breakSlot(c, ax + c->x, ay + c->y);
            if (st_->lines.size() != before) single = false;
        }
        if (single) st_->alignment = 2;
        return true;
    }

    bool textRule(const TypesetChild* s, int ax, int ay) {
        const TypesetNode* n = s->node;
        const char* t = n->text ? n->text : "";
        int len = int(std::char_traits<char>::length(t));
        int style = node_style(n), level = node_level(n);
        int pos = 0, xin = 0;
        bool broke = false, firstPiece = true;
        while (pos < len) {
            TypesetLine& l = cur();
            int rest = l.used ? st_->avail - ((ax + xin - l.startX) - l.left) : st_->avail;
            int cnt = 0, pw = 0;
            bool newline = false;
            while (pos + cnt < len) {
                int cw = ctx_->device->charWidth(ctx_, static_cast<unsigned char>(t[pos + cnt]), style, level);
                bool take = (cnt == 0 && !l.used) || pw + cw < rest - ctx_->lineEndReserve;
                if (!take) break;
                pw += cw;
                ++cnt;
                if (t[pos + cnt - 1] == '\n') {
                    newline = true;
                    break;
                }
            }
            if (cnt > 0) {
                placeBox(ax + xin, ay, pw, n->height, n->ascent);
                if (!l.piece.node) l.piece = TypesetTextPiece{n, pos, cnt, xin, pw};
                if (!firstPiece) l.mode = 1;
                firstPiece = false;
            }
            pos += cnt;
            xin += pw;
            if (pos < len || newline) {
                nextLine(true);
                startLine(s, ax, ay);
                broke = true;
            }
        }
        return broke;
    }

private:
    TypesetContext* ctx_;
    BreakState* st_;
};

}  // namespace

void line_break_discard(TypesetContext* ctx) {
    delete ctx->breakState;
    ctx->breakState = nullptr;
}

int line_break_run(TypesetContext* ctx) {
    LineTable* lt = ctx->lines;
    line_break_discard(ctx);
    ctx->breakState = new BreakState;
    BreakState* st = ctx->breakState;
    Breaker b(ctx, st);
    st->baseIndent = ctx->firstIndent;
    b.openLine();
    st->baseIndent = ctx->contIndent;
    b.startLine(lt->root, 0, 0);
    b.breakSlot(lt->root, 0, 0);

    // Finish: drop trailing empty lines, build the array in the line arena.
    while (st->lines.size() > 1 && !st->lines.back().used) st->lines.pop_back();
    int count = int(st->lines.size());
    void* mem = typeset_alloc(&ctx->lineArena, sizeof(TypesetLine) * std::size_t(count));
    if (!mem) throw TypesetJump{3};
    auto* out = static_cast<TypesetLine*>(mem);
    int running = 0;
    for (int i = 0; i < count; ++i) {
        TypesetLine l = st->lines[std::size_t(i)];
        l.number = i;
        l.width = std::min(l.right - l.left, ctx->pageWidth);
        l.height = l.bottom - l.top;
        l.ascent = l.baseline - l.top;
        if (!l.used) l.width = l.height = l.ascent = 0;
        if (i == 0) {
            l.y = ctx->lineGap;
            running = l.height + 2 * ctx->lineGap;
        } else {
            l.y = running + l.extraGap;
            running += l.height + ctx->lineGap + l.extraGap;
            if (st->alignment == 1) l.x = l.depth * ctx->indentStep;
            if (st->alignment == 2) l.x += (ctx->pageWidth - l.width) / 2;
        }
        new (&out[i]) TypesetLine(l);
    }
    if (count > 0 && (st->alignment == 2 || (count == 1 && st->alignment == 0)))
        out[0].x = std::max(0, (ctx->pageWidth - out[0].width) / 2);
    lt->lines = out;
    lt->count = count;
    lt->totalHeight = running;
    lt->alignment = st->alignment;
    line_break_discard(ctx);
    return 0;
}
