// The repairing math-input parser (see repair.h): the token text, the two repair stages and the
// parse driver over the language parser.

#include "repair.h"

#include <algorithm>
#include <utility>
#include <cstring>
#include <vector>

#include "tovu/parse_driver.h"
#include "tovu/scan.h"
#include "tovu/table.h"

const char* const kRepairTokens[REPAIR_TOKEN_COUNT] = {
    "**", "..", "::", ":=", "<=", "<>", ">=", "@@", "and", "intersect",
    "minus", "mod", "not", "or", "union", "if", "then", "elif", "else", "fi",
    "for", "from", "to", "by", "in", "while", "do", "od", "proc", "end",
    "local", "global", "option", "options", "description", "done", "quit", "stop", "read", "save",
};

namespace {

// ---- token codes -------------------------------------------------------------------------------

constexpr RepairUnit tok(int index) { return RepairUnit(REPAIR_TOKEN_FIRST + index); }

enum : int {
    T_POW2 = 0, T_RANGE, T_DCOLON, T_ASSIGN, T_LESSEQ, T_NOTEQ, T_GREATEREQ, T_COMPOSE, T_AND,
    T_INTERSECT, T_MINUS, T_MOD, T_NOT, T_OR, T_UNION, T_IF, T_THEN, T_ELIF, T_ELSE, T_FI, T_FOR,
    T_FROM, T_TO, T_BY, T_IN, T_WHILE, T_DO, T_OD, T_PROC, T_END,
};

bool is_token(RepairUnit u) { return u >= REPAIR_TOKEN_FIRST && u < REPAIR_START_MARK; }
bool is_mark(RepairUnit u) { return u == REPAIR_START_MARK || u == REPAIR_END_MARK; }

bool is_letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
// Letters, '_', '%' and '?'.
bool is_name_char(int c) { return is_letter(c) || c == '_' || c == '%' || c == '?'; }

constexpr RepairUnit kBlank = ' ';
constexpr RepairUnit kQuote = '`';

// ---- character sets of the operator stage --------------------------------------------------------

bool in_chars(RepairUnit u, const char* chars) {
    return u < 0x80 && u != 0 && std::strchr(chars, int(u)) != nullptr;
}

bool in_tokens(RepairUnit u, std::initializer_list<int> tokens) {
    if (!is_token(u)) return false;
    int index = u - REPAIR_TOKEN_FIRST;
    return std::find(tokens.begin(), tokens.end(), index) != tokens.end();
}

bool is_operator(RepairUnit u) {
    return in_chars(u, "$&*+,-/<=>@^") ||
           in_tokens(u, {T_COMPOSE, T_DCOLON, T_RANGE, T_GREATEREQ, T_AND, T_INTERSECT, T_MINUS,
                         T_MOD, T_NOT, T_OR, T_UNION, T_LESSEQ, T_NOTEQ, T_POW2});
}

bool is_infix_only(RepairUnit u) {
    return in_chars(u, "!$&*,/<=>@^") ||
           in_tokens(u, {T_COMPOSE, T_DCOLON, T_RANGE, T_GREATEREQ, T_AND, T_INTERSECT, T_MINUS,
                         T_MOD, T_OR, T_UNION, T_LESSEQ, T_NOTEQ, T_POW2});
}

bool is_closer(RepairUnit u) {
    return in_chars(u, "'),]}") || u == REPAIR_END_MARK ||
           in_tokens(u, {T_IF, T_THEN, T_ELIF, T_ELSE, T_FI, T_FOR, T_FROM, T_TO, T_BY, T_WHILE,
                         T_IN, T_DO, T_OD, T_END});
}

bool is_opener(RepairUnit u) {
    return in_chars(u, "'(,[{") || u == REPAIR_START_MARK ||
           in_tokens(u, {T_IF, T_THEN, T_ELIF, T_ELSE, T_FI, T_FOR, T_FROM, T_TO, T_BY, T_WHILE,
                         T_IN, T_DO, T_OD, T_PROC});
}

// The 44 gap pairs: a previous item, then a next item, with only blanks between.
struct GapPair {
    RepairUnit previous, next;
};

const std::vector<GapPair>& gap_pairs() {
    static const std::vector<GapPair> pairs = [] {
        std::vector<GapPair> p;
        const char* chars[][2] = {{"*", "+"}, {"*", "-"}, {"+", "+"}, {"+", "-"}, {"-", "+"}, {"-", "-"},
                                  {"/", "+"}, {"/", "-"}, {"@", "+"}, {"@", "-"}, {"^", "+"}, {"^", "-"}};
        for (auto& c : chars) p.push_back({RepairUnit(c[0][0]), RepairUnit(c[1][0])});
        const std::pair<int, RepairUnit> tokens[] = {
            {T_COMPOSE, '+'}, {T_COMPOSE, '-'}, {T_POW2, '+'}, {T_POW2, '-'},
            {T_BY, tok(T_DO)}, {T_BY, tok(T_FROM)}, {T_BY, tok(T_TO)}, {T_BY, tok(T_WHILE)},
            {T_ELIF, tok(T_THEN)}, {T_FOR, tok(T_BY)}, {T_FOR, tok(T_DO)}, {T_FOR, tok(T_FROM)},
            {T_FOR, tok(T_IN)}, {T_FOR, tok(T_TO)}, {T_FOR, tok(T_WHILE)}, {T_FROM, tok(T_BY)},
            {T_FROM, tok(T_DO)}, {T_FROM, tok(T_TO)}, {T_FROM, tok(T_WHILE)}, {T_IF, tok(T_THEN)},
            {T_IN, tok(T_DO)}, {T_IN, tok(T_WHILE)}, {T_TO, tok(T_BY)}, {T_TO, tok(T_DO)},
            {T_TO, tok(T_FROM)}, {T_TO, tok(T_WHILE)}, {T_WHILE, tok(T_BY)}, {T_WHILE, tok(T_DO)},
            {T_WHILE, tok(T_FROM)}, {T_WHILE, tok(T_TO)}};
        for (auto& t : tokens) p.push_back({tok(t.first), t.second});
        p.push_back({tok(T_ASSIGN), REPAIR_END_MARK});
        p.push_back({REPAIR_START_MARK, tok(T_ASSIGN)});
        return p;
    }();
    return pairs;
}

bool is_gap_pair(RepairUnit previous, RepairUnit next) {
    for (const GapPair& g : gap_pairs())
        if (g.previous == previous && g.next == next) return true;
    return false;
}

// ---- balancing ---------------------------------------------------------------------------------

// Class of an expected closer: brackets and the quote 2, keywords 1, the marks 0.
int entry_class(RepairUnit u) {
    if (is_mark(u)) return 0;
    if (is_token(u)) return 1;
    return 2;
}

// The stack of expected closers shared by one pass; entries that are popped without being
// matched are the missing closers and go to the pass's output.
class CloserStack {
public:
    explicit CloserStack(TokenText& out) : out_(out) {}

    void push(RepairUnit u) { items_.push_back(u); }
    bool topIs(RepairUnit u) const { return !items_.empty() && items_.back() == u; }

    // Pops entries until x is popped, writing every other one; with x absent, writes them all.
    void closeTo(RepairUnit x) {
        while (!items_.empty()) {
            RepairUnit top = items_.back();
            items_.pop_back();
            if (top == x) return;
            out_.push_back(top);
        }
    }

    // Pops and writes while the top entry's class is above k.
    void flushAbove(int k) {
        while (!items_.empty() && entry_class(items_.back()) > k) {
            out_.push_back(items_.back());
            items_.pop_back();
        }
    }

    // Looks down from the top: at x, closes to x; stops without effect at y or after an entry
    // of class 2.
    void search(RepairUnit x, RepairUnit y) {
        for (std::size_t i = items_.size(); i-- > 0;) {
            RepairUnit e = items_[i];
            if (e == x) {
                closeTo(x);
                return;
            }
            if (e == y || entry_class(e) == 2) return;
        }
    }

private:
    std::vector<RepairUnit> items_;
    TokenText& out_;
};

// Which units of a token text are backquoted text (the backquotes included), read left to right
// in both passes so that an unclosed backquote pairs the same way whichever way a pass runs.
// The marks are never quoted: an unclosed backquote runs to the end mark, which still acts.
std::vector<bool> quoted_mask(const TokenText& in) {
    std::vector<bool> mask(in.size(), false);
    bool quoted = false;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (is_mark(in[i])) continue;
        if (in[i] == kQuote) {
            mask[i] = true;
            quoted = !quoted;
            continue;
        }
        mask[i] = quoted;
    }
    return mask;
}

TokenText forward_pass(const TokenText& in) {
    TokenText out;
    CloserStack stack(out);
    const std::vector<bool> quoted = quoted_mask(in);
    for (std::size_t i = 0; i < in.size();) {
        RepairUnit c = in[i];
        if (quoted[i]) {
            out.push_back(c);
            ++i;
            continue;
        }
        switch (c) {
        case '\'':
            if (stack.topIs('\'')) stack.closeTo('\'');
            else stack.push('\'');
            break;
        case ')': case ']': case '}': stack.closeTo(c); break;
        case '(': stack.push(')'); break;
        case '[': stack.push(']'); break;
        case '{': stack.push('}'); break;
        case ':': case ';': stack.flushAbove(1); break;
        case REPAIR_END_MARK: stack.flushAbove(0); break;
        default:
            if (!is_token(c)) break;
            switch (c - REPAIR_TOKEN_FIRST) {
            case T_IF: stack.flushAbove(1); stack.push(tok(T_THEN)); break;
            case T_THEN: stack.closeTo(tok(T_THEN)); stack.push(tok(T_FI)); break;
            case T_ELIF: stack.closeTo(tok(T_FI)); stack.push(tok(T_THEN)); break;
            case T_ELSE: stack.closeTo(tok(T_FI)); stack.push(tok(T_FI)); break;
            case T_FI: stack.closeTo(tok(T_FI)); break;
            case T_FOR: stack.flushAbove(1); stack.push(tok(T_DO)); break;
            case T_FROM: case T_TO: case T_BY: case T_IN: case T_WHILE:
                stack.search(tok(T_DO), tok(T_FI));
                stack.push(tok(T_DO));
                break;
            case T_DO: stack.search(tok(T_DO), tok(T_FI)); stack.push(tok(T_OD)); break;
            case T_OD: stack.closeTo(tok(T_OD)); break;
            case T_PROC: {
                stack.push(tok(T_END));
                out.push_back(c);
                ++i;
                bool paren = i < in.size() &&
                             (in[i] == '(' || (in[i] == kBlank && i + 1 < in.size() && in[i + 1] == '('));
                if (!paren) {
                    out.push_back('(');
                    stack.push(')');
                }
                continue;
            }
            case T_END: stack.closeTo(tok(T_END)); break;
            default: break;
            }
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

// Right to left over the forward output; the stack holds expected openers.
TokenText backward_pass(const TokenText& in) {
    TokenText out;
    CloserStack stack(out);
    const std::vector<bool> quoted = quoted_mask(in);
    for (std::size_t i = in.size(); i-- > 0;) {
        RepairUnit c = in[i];
        if (quoted[i]) {
            out.push_back(c);
            continue;
        }
        switch (c) {
        case '\'':
            if (stack.topIs('\'')) stack.closeTo('\'');
            else stack.push('\'');
            break;
        case '(': case '[': case '{': stack.closeTo(c); break;
        case ')': stack.push('('); break;
        case ']': stack.push('['); break;
        case '}': stack.push('{'); break;
        case ':': case ';': stack.flushAbove(1); break;
        case REPAIR_START_MARK: stack.flushAbove(0); break;
        default:
            if (!is_token(c)) break;
            switch (c - REPAIR_TOKEN_FIRST) {
            case T_IF: stack.search(tok(T_IF), tok(T_DO)); break;
            case T_THEN: stack.search(tok(T_THEN), tok(T_DO)); stack.push(tok(T_IF)); break;
            case T_ELIF: stack.search(tok(T_IF), tok(T_DO)); stack.push(tok(T_THEN)); break;
            case T_ELSE: stack.search(tok(T_THEN), tok(T_DO)); stack.push(tok(T_THEN)); break;
            case T_FI: stack.flushAbove(1); stack.push(tok(T_THEN)); break;
            case T_FOR: stack.search(tok(T_FOR), tok(T_THEN)); break;
            case T_DO: stack.search(tok(T_DO), tok(T_THEN)); break;
            case T_OD: stack.flushAbove(1); stack.push(tok(T_DO)); break;
            default: break;
            }
        }
        out.push_back(c);
    }
    std::reverse(out.begin(), out.end());
    return out;
}

// ---- parsing -----------------------------------------------------------------------------------

// The character source of one parse: the text, then ";" unless the text ends in ";" or ":".
struct ParseSource {
    const unsigned char* text = nullptr;
    std::size_t length = 0;
    std::size_t next = 0;
    bool terminatorGiven = false;
};

int next_char(void* context) {
    auto* s = static_cast<ParseSource*>(context);
    if (s->next < s->length) return s->text[s->next++];
    if (!s->terminatorGiven) {
        s->terminatorGiven = true;
        unsigned char last = s->length > 0 ? s->text[s->length - 1] : 0;
        if (last != ';' && last != ':') return ';';
    }
    return -1;
}

void silent_end(void*, int) {}
void silent_message(void*, int, const char*) {}

Dag parse_one(const std::string& text, int* consumed) {
    ParseSource source;
    source.text = reinterpret_cast<const unsigned char*>(text.c_str());
    source.length = text.size();
    Dag d = lang_parse(next_char, silent_end, silent_message, silent_message, nullptr, LANG_FRESH_TEXT,
                       nullptr, &source);
    if (consumed) {
        int n = scan_consumed();
        *consumed = n < 0 ? 0 : std::min<int>(n, int(std::min<std::size_t>(text.size(), 0x7fffffff)));
    }
    return d;
}

}  // namespace

// ---- token text ----------------------------------------------------------------------------------

TokenText tokenize(const std::string& text) {
    TokenText out;
    out.push_back(REPAIR_START_MARK);
    const std::size_t n = text.size();
    auto byte = [&](std::size_t i) { return int(static_cast<unsigned char>(text[i])); };
    bool quoted = false;
    for (std::size_t i = 0; i < n;) {
        int c = byte(i);
        if (c == kQuote) quoted = !quoted;
        if (quoted || c == kQuote) {
            out.push_back(RepairUnit(c));
            ++i;
            continue;
        }
        int matched = -1;
        std::size_t length = 0;
        for (int t = 0; t < REPAIR_TOKEN_COUNT; ++t) {
            const char* word = kRepairTokens[t];
            std::size_t len = std::strlen(word);
            if (text.compare(i, len, word) != 0) continue;
            if (is_letter(word[0])) {
                bool before = i > 0 && (is_digit(byte(i - 1)) || is_name_char(byte(i - 1)));
                bool after = i + len < n && (is_digit(byte(i + len)) || is_name_char(byte(i + len)));
                if (before || after) continue;
            }
            matched = t;
            length = len;
            break;
        }
        if (matched >= 0) {
            out.push_back(tok(matched));
            i += length;
            continue;
        }
        if (c == kBlank && (out.back() == kBlank || out.back() == REPAIR_START_MARK)) {
            ++i;
            continue;
        }
        out.push_back(RepairUnit(c));
        ++i;
    }
    out.push_back(REPAIR_END_MARK);
    return out;
}

std::string detokenize(const TokenText& tokens) {
    std::string out;
    const std::size_t n = tokens.size();
    const std::vector<bool> quoted = quoted_mask(tokens);
    for (std::size_t i = 0; i < n; ++i) {
        RepairUnit u = tokens[i];
        if (is_mark(u)) continue;
        if (quoted[i]) {
            // Backquoted text holds only bytes (tokenize copies it as it stands).
            out.push_back(char(u & 0xFF));
            continue;
        }
        if (is_token(u)) {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
            out += kRepairTokens[u - REPAIR_TOKEN_FIRST];
            if (i + 1 < n && tokens[i + 1] != kBlank && !is_mark(tokens[i + 1])) out.push_back(' ');
            continue;
        }
        out.push_back(char(u));
    }
    return out;
}

// ---- the two stages ------------------------------------------------------------------------------

TokenText balance_cycle(const TokenText& tokens) { return backward_pass(forward_pass(tokens)); }

std::string balance(const std::string& text) {
    TokenText current = tokenize(text);
    for (int cycle = 0; cycle < 5; ++cycle) {
        TokenText next = balance_cycle(current);
        bool same = next == current;
        current = std::move(next);
        if (same) break;
    }
    return detokenize(current);
}

std::string insert_operators(const std::string& text) {
    TokenText in = tokenize(text);
    TokenText out;
    const std::size_t n = in.size();
    bool number = false;
    RepairUnit previousNonBlank = 0;   // none yet
    const TokenText placeholder = {kBlank, '%', '?', kBlank};
    const std::vector<bool> quoted = quoted_mask(in);
    for (std::size_t i = 0; i < n; ++i) {
        RepairUnit c = in[i];
        RepairUnit p = i > 0 ? in[i - 1] : 0;
        if (quoted[i]) {
            out.push_back(c);
            previousNonBlank = c;
            number = false;
            continue;
        }
        if (is_digit(c) && !is_letter(p) && !is_digit(p)) number = true;
        if (c != kBlank && previousNonBlank != 0) {
            RepairUnit q = previousNonBlank;
            bool gap = (is_operator(q) && is_closer(c)) || (is_opener(q) && is_infix_only(c)) ||
                       (is_operator(q) && is_infix_only(c)) || is_gap_pair(q, c);
            if (gap) out += placeholder;
        }
        if (number && is_letter(c) && c != 'e' && c != 'E') out.push_back('*');
        out.push_back(c);
        if (c == kBlank && i + 1 < n) {
            bool before = is_letter(p) || is_digit(p) || p == '%' || p == '?' || p == '_' || p == kQuote;
            RepairUnit next = in[i + 1];
            bool after = is_letter(next) || next == '_' || next == '%' || next == kQuote;
            if (before && after) out.push_back('*');
        }
        if (!is_digit(c)) number = false;
        if (c != kBlank) previousNonBlank = c;
    }
    return detokenize(out);
}

// ---- the driver ------------------------------------------------------------------------------------

Dag parse_with_repair(const char* text, char** repaired, int* position) {
    if (repaired) *repaired = nullptr;
    if (position) *position = -1;
    std::string original = text ? text : "";
    int consumed = 0;
    Dag d = parse_one(original, &consumed);
    if (d) {
        if (position) *position = consumed;
        return d;
    }
    std::string balanced = balance(original);
    std::string fixed = balanced;
    d = parse_one(balanced, nullptr);
    if (!d) {
        fixed = insert_operators(balanced);
        d = parse_one(fixed, nullptr);
    }
    if (d && repaired) {
        char* buffer = buffer_new();
        for (char c : fixed) buffer = buffer_append_char(buffer, c);
        *repaired = buffer;
    }
    return d;
}
