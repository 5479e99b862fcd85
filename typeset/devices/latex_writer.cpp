// The LaTeX writer: walks the lines laid out on the LaTeX device and writes LaTeX text.
//
// Every piece of output goes through LatexWriter::emit, which keeps the output column and
// breaks lines before a piece that would pass column 65 (never at column 0, never before a
// piece that starts with a newline).  Inside the text of an \mbox a break ends its line with
// "%", so that it does not show as a blank; the "%" counts in the 65 columns.
//
// Brackets.  A stretchy bracket and its linked partner written on the same line become one
// \left ... \right pair around the content.  A bracket whose partner is not written on the line
// (the line break falls between them), or that has no partner, becomes a group of its own sized
// by a strut and closed by the null delimiter of the other side.  Which brackets pair up is
// found by a dry pass over each line that records the brackets in the order they are written.

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "glyphtext.h"
#include "latex.h"
#include "typeset/typeset_layout.h"

namespace {

// Node types of the special layouts that the writer knows.
enum : int {
    T_INTEGRAL = 55, T_SUMBOX = 56, T_PRODBOX = 57, T_LIMIT = 58, T_DERIVATIVE = 59,
    T_EXPONENTIAL = 60, T_COMPOSITION = 61, T_CONJUGATE = 66, T_SQRT = 72, T_EVALBAR = 73,
};

constexpr int kColumns = 65;
constexpr std::size_t kPlainRun = 128;   // plain characters collected before they are written

struct LatexStop {};   // the callback asked to stop

struct SymbolLetter {
    unsigned char code;
    const char* command;
};

// LaTeX commands of Symbol-font characters, sorted by code.
const SymbolLetter kSymbolLetters[] = {
    {0x43, "X"},          {0x44, "\\Delta"},   {0x46, "\\Phi"},     {0x47, "\\Gamma"},
    {0x4A, "\\vartheta"}, {0x4C, "\\Lambda"},  {0x50, "\\Pi"},      {0x51, "\\Theta"},
    {0x52, "P"},          {0x53, "\\Sigma"},   {0x55, "Y"},         {0x56, "\\varsigma"},
    {0x57, "\\Omega"},    {0x58, "\\Xi"},      {0x59, "\\Psi"},     {0x61, "\\alpha"},
    {0x62, "\\beta"},     {0x63, "\\chi"},     {0x64, "\\delta"},   {0x65, "\\varepsilon"},
    {0x66, "\\phi"},      {0x67, "\\gamma"},   {0x68, "\\eta"},     {0x69, "\\iota"},
    {0x6A, "\\varphi"},   {0x6B, "\\kappa"},   {0x6C, "\\lambda"},  {0x6D, "\\mu"},
    {0x6E, "\\nu"},       {0x70, "\\pi"},      {0x71, "\\theta"},   {0x72, "\\rho"},
    {0x73, "\\sigma"},    {0x74, "\\tau"},     {0x75, "\\upsilon"}, {0x76, "\\varpi"},
    {0x77, "\\omega"},    {0x78, "\\xi"},      {0x79, "\\psi"},     {0x7A, "\\zeta"},
    {0xA5, "\\infty"},    {0xB4, "\\times"},   {0xB6, "\\partial"}, {0xBD, "\\mid"},
    {0xC0, "\\aleph"},    {0xC1, "\\Im"},      {0xC2, "\\Re"},      {0xC3, "\\wp"},
};

const char* symbol_letter(unsigned char c) {
    auto it = std::lower_bound(std::begin(kSymbolLetters), std::end(kSymbolLetters), c,
                               [](const SymbolLetter& s, unsigned char v) { return s.code < v; });
    return it != std::end(kSymbolLetters) && it->code == c ? it->command : nullptr;
}

bool is_left_delimiter(int type) {
    return type == G_SLPAREN || type == G_SLBRACE || type == G_SLBRACK || type == TS_SLASH || type == 207;
}

class LatexWriter {
public:
    LatexWriter(LatexCharCallback cb, void* user, TypesetContext* ctx, bool inlineForm)
        : cb_(cb), user_(user), inline_(inlineForm), ctx_(ctx) {}

    void writeInline() {
        const LineTable* lt = ctx_->lines;
        const TypesetNode* root = lt->root ? lt->root->node : nullptr;
        left_ = 0;
        right_ = root ? root->width : 0;
        emit("$");
        if (root) writeLine([&] { writeChecked(root, 0); });
        emit("$");
    }

    void writeDisplay() {
        const LineTable* lt = ctx_->lines;
        int n = lt->count;
        int extra = 0;
        if (n > 1) {
            int best = 0, widest = INT_MIN;
            for (int i = 0; i < n; ++i) {
                int w = lt->lines[i].width + lt->lines[i].x;
                if (w > widest) {
                    widest = w;
                    best = i;
                }
            }
            const TypesetLine& last = lt->lines[n - 1];
            if (best == 0) extra = widest - (last.width + last.x);
        }
        emit(n > 1 ? "\\begin{eqnarray*}\n\\lefteqn{" : "\\[\n");
        for (int i = 0; i < n; ++i) {
            const TypesetLine& line = lt->lines[i];
            left_ = line.left;
            right_ = line.right;
            if (i > 0) {
                emit("\n & & ");
                if (line.depth != 0) emitf("\\kelvoIndent{%d} ", line.depth);
            }
            if (line.start && line.start->node) writeLine([&] { writeChecked(line.start->node, 0); });
            if (i == 0 && n > 1) emit("}");
            if (i < n - 1)
                emit(" \\\\");
            else if (extra != 0)
                emitf("\\mbox{\\hspace{%dpt}}", extra / 100);
        }
        emit(n > 1 ? "\n\\end{eqnarray*}\n" : "\n\\]\n");
    }

private:
    LatexCharCallback cb_;
    void* user_;
    int column_ = 0;
    int superDepth_ = 0;
    bool displayStyle_ = false;
    bool inline_;
    int left_ = 0, right_ = 0;
    TypesetContext* ctx_;
    bool textMode_ = false;
    // Bracket pairing of the current line: the dry pass records the brackets in write order,
    // the real pass looks each one up by its position in that order.
    bool dry_ = false;
    std::vector<const TypesetNode*> brackets_;
    std::vector<bool> paired_;
    std::size_t bracketIndex_ = 0;

    // ---- output ---------------------------------------------------------------------------------

    void put(unsigned char c) {
        if ((c < 32 && c != '\n' && c != '\r') || c > 127) {
            char buf[12];
            std::snprintf(buf, sizeof buf, "\\char\"%02X", unsigned(c));
            for (const char* p = buf; *p; ++p)
                if (cb_(user_, *p)) throw LatexStop{};
            return;
        }
        if (cb_(user_, c)) throw LatexStop{};
    }

    void emit(const char* s, std::size_t n) {
        if (n == 0 || dry_) return;
        // A "%" closing a line inside text must fit the columns too.
        int limit = textMode_ ? kColumns - 1 : kColumns;
        if (column_ > 0 && column_ + long(n) > limit && s[0] != '\n') {
            if (textMode_) put('%');
            put('\n');
            column_ = 0;
        }
        for (std::size_t i = 0; i < n; ++i) put(static_cast<unsigned char>(s[i]));
        const void* nl = memrchr(s, '\n', n);
        if (nl)
            column_ = int(s + n - static_cast<const char*>(nl) - 1);
        else
            column_ += int(n);
    }
    void emit(const char* s) { emit(s, std::strlen(s)); }
    void emit(const std::string& s) { emit(s.data(), s.size()); }

    template <typename... Args>
    void emitf(const char* format, Args... args) {
        char buf[64];
        int n = std::snprintf(buf, sizeof buf, format, args...);
        if (n > 0) emit(buf, std::min(std::size_t(n), sizeof buf - 1));
    }

    // ---- lines and bracket pairing ----------------------------------------------------------------

    template <typename Body>
    void writeLine(Body body) {
        // Dry pass: which brackets are written, in order.
        dry_ = true;
        brackets_.clear();
        bracketIndex_ = 0;
        int depth = superDepth_;
        bool ds = displayStyle_;
        body();
        superDepth_ = depth;
        displayStyle_ = ds;
        // Pair each right bracket with the innermost open left bracket when they are partners.
        paired_.assign(brackets_.size(), false);
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < brackets_.size(); ++i) {
            const TypesetNode* b = brackets_[i];
            if (is_left_delimiter(b->type)) {
                if (b->partner) open.push_back(i);
            } else if (!open.empty() && brackets_[open.back()] == b->partner) {
                paired_[open.back()] = paired_[i] = true;
                open.pop_back();
            }
        }
        dry_ = false;
        bracketIndex_ = 0;
        body();
    }

    // ---- slots and nodes ----------------------------------------------------------------------------

    bool visible(const TypesetNode* n, int x) const {
        return !n || (x < right_ && x + n->width > left_);
    }

    void writeChecked(const TypesetNode* n, int x) {
        if (!n) return;
        if (x < left_ || x + n->width > right_)
            writePartial(n, x);
        else
            writeNode(n, x);
    }

    void writePartial(const TypesetNode* n, int x) {
        if (typeset_is_text_type(n->type))
            writeTextClipped(n, x);
        else
            writeNode(n, x);
    }

    static const TypesetNode* first(const TypesetNode* n, int i) {
        return i < n->firstCount ? n->firstArray[i].node : nullptr;
    }
    static const TypesetNode* second(const TypesetNode* n, int i) {
        return i < n->secondCount ? n->secondArray[i].node : nullptr;
    }
    static int firstX(const TypesetNode* n, int i, int x) { return x + n->firstArray[i].x; }
    static int secondX(const TypesetNode* n, int i, int x) { return x + n->secondArray[i].x; }

    void writeNode(const TypesetNode* n, int x) {
        if (!n) return;
        int t = n->type;
        if (typeset_is_text_type(t)) {
            writeTextLeaf(n);
            return;
        }
        if (typeset_is_glyph_type(t)) {
            writeGlyph(n);
            return;
        }
        switch (t) {
        case DAG_RATIONAL:
        case DAG_PROD:
            writeFraction(n, x);
            return;
        case DAG_TABLEREF: {
            emit("{");
            bool base = first(n, 0) && visible(first(n, 0), firstX(n, 0, x));
            if (base) writeChecked(first(n, 0), firstX(n, 0, x));
            if (first(n, 1) && visible(first(n, 1), firstX(n, 1, x))) {
                if (!base) emit("\\mbox{}");
                emit("_{");
                writeChecked(first(n, 1), firstX(n, 1, x));
                emit("}");
            }
            emit("}");
            return;
        }
        case DAG_POWER:
        case T_COMPOSITION:
        case T_SQRT:
            writePower(n, x);
            return;
        case TS_MATRIX:
            if (n->flags & TSF_ATOMIC) {
                writeMatrix(n, x);
                return;
            }
            break;
        case T_INTEGRAL:
        case T_SUMBOX:
        case T_PRODBOX:
        case T_LIMIT:
            writeBigOperator(n, x);
            return;
        case T_DERIVATIVE:
            emit("{\\frac {");
            writeNode(first(n, 0), n->firstCount > 0 ? firstX(n, 0, x) : x);
            emit("}{");
            for (int i = 1; i < n->firstCount; ++i) {
                if (i > 1) emit("\\,");
                if (second(n, i)) writeNode(second(n, i), secondX(n, i, x));
                writeNode(first(n, i), firstX(n, i, x));
            }
            emit("}}");
            return;
        case T_EXPONENTIAL: {
            // The "e" and the exponent: the "e" is the second-array child when there is one,
            // else the first child before the exponent.
            int e = 0, exponent = 1;
            const TypesetNode* eNode = nullptr;
            int eX = x;
            if (second(n, 0)) {
                eNode = second(n, 0);
                eX = secondX(n, 0, x);
                exponent = 0;
            } else if (first(n, 0)) {
                eNode = first(n, 0);
                eX = firstX(n, e, x);
            }
            if (eNode && visible(eNode, eX)) writeChecked(eNode, eX);
            const TypesetNode* ex = first(n, exponent);
            if (ex && visible(ex, firstX(n, exponent, x))) {
                emit("^{");
                ++superDepth_;
                writeChecked(ex, firstX(n, exponent, x));
                --superDepth_;
                emit("}");
            }
            return;
        }
        case TS_PIECEWISE:
            emit("\\cases{");
            for (int i = 0; i < n->firstCount; ++i) {
                const TypesetNode* piece = first(n, i);
                if (!piece || !visible(piece, firstX(n, i, x))) continue;
                int px = firstX(n, i, x);
                writeNode(first(piece, 0), piece->firstCount > 0 ? firstX(piece, 0, px) : px);
                emit("&$");
                writeNode(first(piece, 1), piece->firstCount > 1 ? firstX(piece, 1, px) : px);
                emit("$\\cr ");
            }
            emit("}");
            return;
        case T_CONJUGATE:
            emit("\\overline{");
            writeNode(first(n, 0), n->firstCount > 0 ? firstX(n, 0, x) : x);
            emit("}");
            return;
        case T_EVALBAR:
            emit("{");
            writeNode(first(n, 0), n->firstCount > 0 ? firstX(n, 0, x) : x);
            if (second(n, 0)) writeNode(second(n, 0), secondX(n, 0, x));
            emit("\\hbox{$\\displaystyle \\, ");
            writeNode(first(n, 1), n->firstCount > 1 ? firstX(n, 1, x) : x);
            emit("$}}");
            return;
        default:
            break;
        }
        writeRow(n, x);
    }

    // Children of both arrays in x order (a second-array child first at equal x), stopping at
    // the right limit.
    void writeRow(const TypesetNode* n, int x) {
        struct Item {
            int x;
            bool isFirst;
            int index;
        };
        std::vector<Item> items;
        items.reserve(std::size_t(n->firstCount + n->secondCount));
        for (int i = 0; i < n->secondCount; ++i)
            if (n->secondArray[i].node) items.push_back({secondX(n, i, x), false, i});
        for (int i = 0; i < n->firstCount; ++i)
            if (n->firstArray[i].node) items.push_back({firstX(n, i, x), true, i});
        std::stable_sort(items.begin(), items.end(),
                         [](const Item& a, const Item& b) { return a.x < b.x; });
        bool any = false;
        int prevEnd = 0;
        for (const Item& it : items) {
            const TypesetNode* c = it.isFirst ? n->firstArray[it.index].node : n->secondArray[it.index].node;
            int cx = it.x, end = cx + c->width;
            if (cx >= right_) break;
            if (cx >= left_ && end <= right_) {
                if (!any) {
                    if (n->type == DAG_SUM && !it.isFirst && it.index != 0 &&
                        (c->type == G_PLUS || c->type == G_MINUS))
                        emit("\\mbox{}");
                } else if (prevEnd < cx) {
                    emit("\\,");
                }
                writeNode(c, cx);
            } else if (end > left_) {
                writePartial(c, cx);
            } else {
                continue;
            }
            any = true;
            prevEnd = end;
        }
    }

    bool openDisplayStyle() {
        if (inline_ || superDepth_ != 0) return false;
        emit("{\\displaystyle ");
        displayStyle_ = true;
        return true;
    }

    void writeFraction(const TypesetNode* n, int x) {
        if (!(n->secondCount == 1 && n->secondArray[0].node && n->secondArray[0].node->type == TS_RULE)) {
            writeRow(n, x);
            return;
        }
        bool opened = openDisplayStyle();
        emit("\\frac {");
        bool any = false;
        int prevEnd = 0;
        for (int i = 0; i < n->firstCount; ++i) {
            const TypesetNode* c = n->firstArray[i].node;
            if (!c) continue;
            int cx = firstX(n, i, x);
            if (any) {
                if (cx < prevEnd)
                    emit("}{");
                else if (cx > prevEnd)
                    emit("\\,");
            }
            writeNode(c, cx);
            any = true;
            prevEnd = cx + c->width;
        }
        emit("}");
        if (opened) emit("} ");
    }

    void writePower(const TypesetNode* n, int x) {
        bool radical = n->secondCount == 1 && n->secondArray[0].node && n->secondArray[0].node->type == TS_RADICAL;
        if (n->type == T_SQRT || radical) {
            emit("\\sqrt{");
            writeNode(first(n, 0), n->firstCount > 0 ? firstX(n, 0, x) : x);
            emit("}");
            return;
        }
        if (first(n, 0) && visible(first(n, 0), firstX(n, 0, x))) writePartial(first(n, 0), firstX(n, 0, x));
        const TypesetNode* ex = first(n, 1);
        if (ex && visible(ex, firstX(n, 1, x))) {
            emit("^{");
            ++superDepth_;
            writeChecked(ex, firstX(n, 1, x));
            --superDepth_;
            emit("}");
        }
    }

    void writeBigOperator(const TypesetNode* n, int x) {
        bool opened = openDisplayStyle();
        switch (n->type) {
        case T_INTEGRAL: emit("\\int "); break;
        case T_SUMBOX: emit("\\sum "); break;
        case T_PRODBOX: emit("\\prod "); break;
        default: emit("\\lim "); break;
        }
        if (n->type == T_LIMIT) {
            emit("_{");
            if (first(n, 0)) writeNode(first(n, 0), firstX(n, 0, x));
            if (second(n, 1)) writeNode(second(n, 1), secondX(n, 1, x));
            if (first(n, 1)) writeNode(first(n, 1), firstX(n, 1, x));
            if (second(n, 2)) writeNode(second(n, 2), secondX(n, 2, x));
            emit("}");
        } else {
            if (first(n, 0)) {
                emit("_{");
                writeNode(first(n, 0), firstX(n, 0, x));
                emit("}");
            }
            if (first(n, 1)) {
                emit("^{");
                writeNode(first(n, 1), firstX(n, 1, x));
                emit("}");
            }
        }
        if (opened) emit("} ");
    }

    static bool is_integer(const TypesetNode* n) {
        return n && (n->type == DAG_INTPOS || n->type == DAG_INTNEG);
    }

    void writeMatrix(const TypesetNode* n, int x) {
        bool saved = displayStyle_;
        const TypesetNode* open = second(n, 0);
        const TypesetNode* close = second(n, 1);
        if (n->secondCount == 2 && open && open->type == G_SLBRACK) emit(" \\left[ ");
        emit("\n{\\begin{array}");
        const TypesetNode* row0 = first(n, 0);
        bool listRows = row0 && row0->secondCount > 0;
        if (listRows || !row0) {
            emit("{c}\n");
        } else {
            std::string spec = "{";
            for (int j = 0; j < row0->firstCount; ++j) {
                bool integers = true;
                for (int i = 0; i < n->firstCount && integers; ++i) {
                    const TypesetNode* row = first(n, i);
                    integers = row && is_integer(first(row, j));
                }
                spec += integers ? 'r' : 'c';
            }
            spec += "}\n";
            emit(spec);
        }
        for (int i = 0; i < n->firstCount; ++i) {
            const TypesetNode* row = first(n, i);
            if (!row) continue;
            int rx = firstX(n, i, x);
            displayStyle_ = false;
            if (listRows) {
                writeNode(row, rx);
            } else {
                for (int j = 0; j < row->firstCount; ++j) {
                    if (j > 0) emit(" & ");
                    if (first(row, j)) writeNode(first(row, j), firstX(row, j, rx));
                }
            }
            if (i < n->firstCount - 1) {
                emit(" \\\\");
                if (displayStyle_) emit(" [2ex]");
                emit("\n");
            }
        }
        emit("\n\\end{array}}\n");
        if (n->secondCount == 2 && close && close->type == G_SRBRACK) emit(" \\right] ");
        displayStyle_ = saved;
    }

    // ---- text ---------------------------------------------------------------------------------------

    // The opening of a text leaf's wrapper, or null.  `clipped`: the form of a cut leaf, which
    // also wraps single italic letters and other non-roman names in a plain group.
    const char* wrapperOf(const TypesetNode* n, bool clipped) const {
        int font = node_style(n);
        std::size_t len = n->text ? std::strlen(n->text) : 0;
        if (n->type == DAG_STRING) return "\\mbox{";
        bool named = n->type == DAG_NAME || n->type == TS_TEXT_LEAF;
        if (clipped && !named) return nullptr;
        if (font == STYLE_ITALIC && len > 1) return "\\mathit{";
        if (font == STYLE_ROMAN) return "\\mathrm{";
        return clipped ? "{" : nullptr;
    }

    static bool wrapped_text_type(int t) {
        return t == DAG_NAME || t == DAG_STRING || t == DAG_LOCAL || t == DAG_PARAM || t == DAG_LEXICAL ||
               t == TS_TEXT_LEAF;
    }

    void writeTextLeaf(const TypesetNode* n) {
        const char* text = n->text ? n->text : "";
        if (!wrapped_text_type(n->type)) {
            emit(text);   // numbers and made-up texts are written as they are
            return;
        }
        const char* wrapper = wrapperOf(n, false);
        openWrapper(n, wrapper);
        writeStyledText(n, text, std::strlen(text));
        closeWrapper(wrapper);
    }

    void openWrapper(const TypesetNode* n, const char* wrapper) {
        if (!wrapper) return;
        emit(wrapper);
        if (n->type == DAG_STRING) textMode_ = true;
    }
    void closeWrapper(const char* wrapper) {
        if (!wrapper) return;
        emit("}");
        textMode_ = false;
    }

    void writeStyledText(const TypesetNode* n, const char* text, std::size_t len) {
        if (node_style(n) != STYLE_SYMBOL) {
            writeText(text, len);
            return;
        }
        for (std::size_t i = 0; i < len; ++i) {
            const char* cmd = symbol_letter(static_cast<unsigned char>(text[i]));
            if (cmd) {
                emit(cmd);
                emit(" ");
            } else {
                writeText(text + i, 1);
            }
        }
    }

    // Escapes and writes text; plain characters are collected and written in runs.
    void writeText(const char* text, std::size_t len) {
        std::string run;
        auto flush = [&] {
            emit(run);
            run.clear();
        };
        for (std::size_t i = 0; i < len; ++i) {
            char c = text[i];
            const char* special = nullptr;
            char escaped[3] = {'\\', c, '\0'};
            switch (c) {
            case ' ': special = textMode_ ? "~" : "\\ "; break;
            case '\'': special = textMode_ ? "'" : "^{\\prime }"; break;
            case '\\': special = textMode_ ? "$\\backslash$" : "\\backslash "; break;
            case '^': special = "\\symbol{94}"; break;
            case '~': special = "\\symbol{126}"; break;
            case '"': special = i + 1 == len ? "''" : "``"; break;
            case '#': case '$': case '%': case '&': case '_': case '{': case '}':
                special = escaped;
                break;
            default:
                run.push_back(c);
                if (run.size() == kPlainRun) flush();
                continue;
            }
            flush();
            emit(special);
        }
        flush();
    }

    void writeTextClipped(const TypesetNode* n, int x) {
        if (x >= left_ && x + n->width <= right_) {
            writeTextLeaf(n);
            return;
        }
        const char* text = n->text ? n->text : "";
        std::size_t len = std::strlen(text);
        const char* wrapper = wrapperOf(n, true);
        openWrapper(n, wrapper);
        int font = node_style(n), level = node_level(n);
        std::size_t start = 0, count = 0;
        int xx = x;
        while (start < len) {
            int w = ctx_->device->charWidth(ctx_, static_cast<unsigned char>(text[start]), font, level);
            if (xx + w > left_) break;
            xx += w;
            ++start;
        }
        while (start + count < len) {
            int w = ctx_->device->charWidth(ctx_, static_cast<unsigned char>(text[start + count]), font, level);
            if (xx + w > right_) break;
            xx += w;
            ++count;
        }
        writeStyledText(n, text + start, count);
        if (start + count < len) emit(textMode_ ? "$\\backslash$" : "\\backslash ");
        closeWrapper(wrapper);
    }

    // ---- glyphs and delimiters ------------------------------------------------------------------------

    void writeGlyph(const TypesetNode* n) {
        int code = n->type;
        static const char* const kFixed[] = {
            " + ", " - ", "(", ")", "=", "\\neq ", " < ", "\\leq ",                      // 129-136
            "\\ \\textbf{and}\\ ", "\\ \\textbf{not}\\ ", "\\ \\textbf{or}\\ ",          // 137-139
            ", ", " .. ", " := ", "\\ldots ", "/", "\\{", "\\}", "[", "]",               // 140-148
            " - ", ";", "\\rightarrow ", "\\langle ", "\\rangle ", "\\hbox{'}", ".",     // 149-155
            "\\hbox{::}", "\\partial ",                                                  // 156-157
        };
        if (code >= 129 && code <= 157) {
            emit(kFixed[code - 129]);
        } else if ((code >= 158 && code <= 176) || (code >= 180 && code <= 182)) {
            emit("\\textbf{");
            emit(glyph_text(code)->text);
            emit("} ");
        } else if (code == 177 || code == 178) {
            emit("**");
        } else if (code == 179) {
            emit("\\#");
        } else if (code == 183) {
            emit(" \\times ");
        } else if ((code >= G_SLPAREN && code <= G_SRBRACK) || code == TS_SLASH || code == 207 || code == 208) {
            writeDelimiter(n);
        } else if (code == TS_TEXT_LEAF) {
            writeTextLeaf(n);
        } else if (code == 210) {
            emitf("\\vrule \\lower %dpt ", n->size / 100);
        } else {
            emit(" ? ");
        }
    }

    void writeDelimiter(const TypesetNode* n) {
        bool paired = false;
        if (dry_)
            brackets_.push_back(n);
        else if (bracketIndex_ < paired_.size())
            paired = paired_[bracketIndex_];
        ++bracketIndex_;
        const char* text = nullptr;
        switch (n->type) {
        case G_SLPAREN: text = " \\left( "; break;
        case G_SLBRACE: text = " \\left\\{ "; break;
        case G_SLBRACK: text = " \\left[ "; break;
        case TS_SLASH: text = " \\left/ "; break;
        case 207: text = " \\left| "; break;
        case G_SRPAREN: text = " \\right) "; break;
        case G_SRBRACE: text = " \\right\\} "; break;
        case G_SRBRACK: text = " \\right] "; break;
        default: text = " \\right| "; break;
        }
        std::string strut;
        if (!paired) {
            int level = node_level(n);
            int m = ctx_->device->charWidth(ctx_, 'M', STYLE_ROMAN, level);
            float s = m > 0 ? float(n->height) * 0.5f / float(m) : 0.0f;
            char buf[80];
            std::snprintf(buf, sizeof buf, "{\\vrule height%.2fem width0em depth%.2fem}", double(s / 2),
                          double(s / 2));
            strut = buf;
        }
        if (is_left_delimiter(n->type)) {
            emit(text);
            if (!paired) {
                emit(strut);
                emit(" \\right. \\! ");
            }
            emit(" \\! ");
        } else {
            emit(" \\! ");
            if (!paired) {
                emit("\\! \\left. ");
                emit(strut);
            }
            emit(text);
        }
    }

public:
    static int run(const DagWord* dag, const LayoutOptions* options, bool inlineForm,
                   LatexCharCallback callback, void* user) {
        if (!callback) return 1;
        TypesetContext* ctx = typeset_context_new(&LatexDevice);
        if (!ctx) return 3;
        int rc = typeset_run(ctx, dag, options);
        if (rc == 0 && ctx->lines) rc = typeset_break_lines(ctx);
        if (rc != 0 || !ctx->lines) {
            int code = ctx->errorCode ? ctx->errorCode : 5;
            typeset_context_free(ctx);
            return code;
        }
        LatexWriter w(callback, user, ctx, inlineForm);
        ctx->deviceData = &w;
        int result = 0;
        try {
            if (inlineForm)
                w.writeInline();
            else
                w.writeDisplay();
        } catch (const LatexStop&) {
            result = 6;
        }
        ctx->deviceData = nullptr;
        typeset_context_free(ctx);
        return result;
    }
};

}  // namespace

int latex_write_expression(const DagWord* dag, const LayoutOptions* options, bool inlineForm,
                           LatexCharCallback callback, void* user) {
    return LatexWriter::run(dag, options, inlineForm, callback, user);
}
