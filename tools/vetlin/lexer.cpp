// The checker's input reader, lexer and syntax-error reporter (see lexer.h).
#include "tools/vetlin/lexer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/vetlin/input.h"
#include "tools/vetlin/matcher.h"
#include "tools/vetlin/report.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/tokens.h"

VWord lexerValue = 0;
long lexerDigits = 0;

namespace {

constexpr std::size_t kLinePiece = 511;   // characters of a line read at once (512-byte buffer)
constexpr std::size_t kNeutralMax = 499;  // characters of a neutral operator, "&" included

// Escaped characters inside texts.
constexpr int kEscapedNewline = 256;
constexpr int kEscapedBackquote = 257;
constexpr int kEscapedQuote = 258;
constexpr int kStray = 127;               // an escape outside a text

struct Char {
    int c;      // the character, an escape code, or -1 at the end of input
    long pos;   // where it starts in the line held when it was read
};

struct Lexer {
    std::string line;        // the piece of the current line, as read
    std::size_t pos = 0;     // read position in it
    long tokenStart = 0;     // characters of the line before the current token
    long tokensOnLine = 0;
    bool atEnd = false;
    bool midLine = false;    // the piece held did not end its line
    std::vector<Char> pushback;
    int lastToken = 0;
    long errors = 0;
};
Lexer lx;

struct Keyword {
    const char* text;
    int token;
};
// Sorted by text in byte order, for the binary search.
constexpr Keyword kKeywords[] = {
    {"and", TOK_AND}, {"by", TOK_BY}, {"description", TOK_DESCRIPTION}, {"do", TOK_DO},
    {"done", TOK_QUIT}, {"elif", TOK_ELIF}, {"else", TOK_ELSE}, {"end", TOK_END},
    {"fi", TOK_FI}, {"for", TOK_FOR}, {"from", TOK_FROM}, {"global", TOK_GLOBAL},
    {"if", TOK_IF}, {"in", TOK_IN}, {"intersect", TOK_INTERSECT}, {"local", TOK_LOCAL},
    {"minus", TOK_MINUS}, {"mod", TOK_MOD}, {"not", TOK_NOT}, {"od", TOK_OD},
    {"option", TOK_OPTION}, {"options", TOK_OPTION}, {"or", TOK_OR}, {"proc", TOK_PROC},
    {"quit", TOK_QUIT}, {"read", TOK_READ}, {"save", TOK_SAVE}, {"stop", TOK_QUIT},
    {"then", TOK_THEN}, {"to", TOK_TO}, {"union", TOK_MINUS}, {"while", TOK_WHILE},
};
static_assert(sizeof kKeywords / sizeof kKeywords[0] == 32);

int keyword(const std::string& text) {
    long lo = 0;
    long hi = long(sizeof kKeywords / sizeof kKeywords[0]) - 1;
    while (lo <= hi) {
        const long mid = (lo + hi) / 2;
        const int order = std::strcmp(text.c_str(), kKeywords[mid].text);
        if (order == 0) return text.size() == std::strlen(kKeywords[mid].text) ? kKeywords[mid].token : 0;
        if (order < 0) hi = mid - 1;
        else lo = mid + 1;
    }
    return 0;
}

bool digit(int c) { return c >= '0' && c <= '9'; }
bool letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool name_char(int c) { return letter(c) || digit(c) || c == '_'; }
bool space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Reads the next line (or piece of a long line); false at the end of the input.
bool read_line() {
    for (;;) {
        std::FILE* file = input_current();
        if (input_is_terminal()) {
            std::fputs(vl.prompt, vl.report);
            std::fflush(vl.report);
        }
        lx.line.clear();
        lx.pos = 0;
        if (file != nullptr) {
            for (int c; lx.line.size() < kLinePiece && (c = std::getc(file)) != EOF;) {
                lx.line.push_back(char(c));
                if (c == '\n') break;
            }
        }
        if (lx.line.empty()) {
            lx.atEnd = true;
            return false;
        }
        // Only a piece that starts its line can be a shell escape or a lone backslash: the
        // next piece of a long line is text, whatever its first character.
        const bool startsLine = !lx.midLine;
        lx.midLine = lx.line.back() != '\n';
        if (startsLine) ++storeLine;
        if (startsLine && lx.line[0] == '!') {
            std::fflush(vl.report);
            continue;
        }
        if (startsLine && lx.line == "\\\n") continue;
        // The current token's start column stays: a token begun before a continuation keeps
        // it, and the reporter puts its caret at the end of the line held.
        lx.tokensOnLine = 0;
        return true;
    }
}

Char raw() {
    if (lx.atEnd) return {-1, long(lx.line.size())};
    if (lx.pos >= lx.line.size() && !read_line()) return {-1, long(lx.line.size())};
    const long at = long(lx.pos);
    return {static_cast<unsigned char>(lx.line[lx.pos++]), at};
}

// The next character with continuations joined and escapes resolved.
Char fetch() {
    for (;;) {
        const Char ch = raw();
        if (ch.c != '\\') return ch;
        if (lx.pos >= lx.line.size() || lx.line[lx.pos] == '\n') {
            if (!read_line()) return {-1, long(lx.line.size())};
            continue;
        }
        int c = static_cast<unsigned char>(lx.line[lx.pos++]);
        switch (c) {
        case '"': c = kEscapedQuote; break;
        case '`': c = kEscapedBackquote; break;
        case 'a': c = 7; break;
        case 'b': c = 8; break;
        case 'e': c = 27; break;
        case 'f': c = 12; break;
        case 'n': c = kEscapedNewline; break;
        case 'r': c = 13; break;
        case 't': c = 9; break;
        case 'v': c = 11; break;
        default: break;
        }
        return {c, ch.pos};
    }
}

Char next() {
    if (lx.pushback.empty()) return fetch();
    const Char ch = lx.pushback.back();
    lx.pushback.pop_back();
    return ch;
}

void unread(Char ch) { lx.pushback.push_back(ch); }

int peek() {
    const Char ch = next();
    unread(ch);
    return ch.c;
}

// Consumes the next character when it is `c`.
bool take(int c) {
    const Char ch = next();
    if (ch.c == c) return true;
    unread(ch);
    return false;
}

std::string name_run(std::string text) {
    for (Char ch = next();; ch = next()) {
        if (!name_char(ch.c)) {
            unread(ch);
            return text;
        }
        text.push_back(char(ch.c));
    }
}

VObj named(const std::string& text) { return store_name(text.c_str(), storeTables.names, true); }

int with_name(int token, const char* text) {
    lexerValue = reinterpret_cast<VWord>(named(text));
    return token;
}

int bracket(int token) {
    matcher_feed(token);
    return token;
}

VObj integer_of(const std::string& digits, bool negative) {
    VObj magnitude = lexer_integer(digits);
    if (!negative || (vl_length(magnitude) == 2 && magnitude[1] == 0)) return magnitude;
    VObj o = store_copy(magnitude);
    o[0] = vl_header(DAG_INTNEG, vl_length(o));
    return o;
}

std::string digit_run(int first, long* count) {
    std::string digits;
    long n = 0;
    Char ch{first, 0};
    for (;;) {
        ++n;
        if (!(digits.empty() && ch.c == '0')) digits.push_back(char(ch.c));
        ch = next();
        if (!digit(ch.c)) {
            unread(ch);
            break;
        }
    }
    if (count != nullptr) *count = n;
    return digits;
}

int number(int first) {
    VObj mantissa = lexer_integer(digit_run(first, &lexerDigits));
    const Char e = next();
    if (e.c == 'e' || e.c == 'E') {
        const Char sign = next();
        const bool hasSign = sign.c == '+' || sign.c == '-';
        const Char d = hasSign ? next() : sign;
        if (digit(d.c)) {
            VObj exponent = integer_of(digit_run(d.c, nullptr), sign.c == '-');
            lexerValue = reinterpret_cast<VWord>(
                store_make(DAG_FLOAT, reinterpret_cast<VWord>(mantissa), reinterpret_cast<VWord>(exponent)));
            return TOK_EXPONENT;
        }
        unread(d);
        if (hasSign) unread(sign);
    }
    unread(e);
    lexerValue = reinterpret_cast<VWord>(mantissa);
    return TOK_INTEGER;
}

bool neutral_stop(int c) {
    return c == -1 || c > 255 || std::strchr(" \n\t;:'[`]{(})\f#&|", c) != nullptr || c == 0;
}

int neutral() {
    std::string op = "&";
    Char ch = next();
    if (name_char(ch.c)) {
        while (name_char(ch.c) && op.size() < kNeutralMax) {
            op.push_back(char(ch.c));
            ch = next();
        }
    } else {
        while (!neutral_stop(ch.c) && op.size() < kNeutralMax) {
            op.push_back(char(ch.c));
            ch = next();
        }
    }
    unread(ch);
    if (op.size() < 2) {
        std::fprintf(vl.report, "Invalid neutral operator %s\n", op.c_str());
        return ' ';
    }
    return with_name(op == "&*" ? TOK_AMPSTAR : TOK_NEUTRAL, op.c_str());
}

int text(int quote) {
    std::string text;
    for (Char ch = next(); ch.c != -1; ch = next()) {
        if (ch.c == quote) {
            if (take(quote)) {
                text.push_back(char(quote));
                continue;
            }
            break;
        }
        text.push_back(ch.c == kEscapedNewline ? '\n' : ch.c == kEscapedBackquote ? '`'
                       : ch.c == kEscapedQuote ? '"' : char(ch.c));
    }
    if (quote == '"') {
        lexerValue = reinterpret_cast<VWord>(store_string(text.c_str()));
        return TOK_STRING;
    }
    const bool plain = !text.empty() && !digit(text[0]) &&
                       std::all_of(text.begin(), text.end(), [](char c) { return name_char(c); }) &&
                       keyword(text) == 0;
    // The mark belongs to this occurrence: a NAME of its own, with its line, so that the unique
    // NAME of the text stays unmarked for its plain uses.
    VObj name = plain ? store_plain_name(text.c_str()) : named(text);
    if (plain) vl_set_backquoted(name, true);
    lexerValue = reinterpret_cast<VWord>(name);
    return TOK_NAME;
}

int percent() {
    if (digit(peek())) return TOK_LABEL;
    std::string name = "%";
    if (name_char(peek())) return with_name(TOK_NAME, name_run(name).c_str());
    while (name.size() < 3 && take('%')) name.push_back('%');
    return with_name(TOK_NAME, name.c_str());
}

int scan() {
    lexerValue = 0;
    Char ch;
    for (;;) {
        ch = next();
        if (ch.c == -1) return TOK_EOF;
        if (ch.c == '#') {
            lx.pushback.clear();
            lx.pos = lx.line.size();
            continue;
        }
        if (!space(ch.c)) break;
    }
    lx.tokenStart = ch.pos;
    ++lx.tokensOnLine;
    const int c = ch.c;
    if (digit(c)) return number(c);
    if (letter(c) || c == '_') {
        const std::string word = name_run(std::string(1, char(c)));
        if (word.size() >= 2) {
            if (const int k = keyword(word)) {
                // Operators spelt as words carry their NAME: the call they make is named by it.
                if (k == TOK_MINUS || k == TOK_INTERSECT) lexerValue = reinterpret_cast<VWord>(named(word));
                matcher_feed(k);
                if (vl.impliedDo && matcher_is_loop_clause(k)) matcher_implicit_do();
                return k;
            }
        }
        lexerValue = reinterpret_cast<VWord>(named(word));
        return TOK_NAME;
    }
    switch (c) {
    case '%': return percent();
    case '&': return neutral();
    case '*':
        if (take('*')) return TOK_CARET;
        if (take(')')) return bracket(TOK_RBRACE);
        return TOK_STAR;
    case '@':
        return take('@') ? with_name(TOK_ATAT, "@@") : with_name(TOK_INTERSECT, "@");
    case '.':
        if (!take('.')) return TOK_DOT;
        while (take('.')) {
        }
        return TOK_DOTS;
    case '<':
        if (take('=')) {
            lexerValue = VWord(VL_KIND_LESSEQ);
            return TOK_RELATION;
        }
        if (take('>')) {
            lexerValue = VWord(VL_KIND_INEQUAT);
            return TOK_RELATION;
        }
        return TOK_LESS;
    case '>':
        if (take('=')) {
            lexerValue = VWord(VL_KIND_GREATEREQ);
            return TOK_RELATION;
        }
        return TOK_GREATER;
    case '-': return take('>') ? TOK_ARROW : TOK_MINUS_SIGN;
    case ':':
        if (take('=')) return TOK_ASSIGN;
        if (take(':')) return with_name(TOK_DCOLON, "::");
        return TOK_COLON;
    case '(':
        if (take('*')) return bracket(TOK_LBRACE);
        if (take('|')) return bracket(TOK_LBRACKET);
        return bracket(TOK_LPAREN);
    case '|': return take(')') ? bracket(TOK_RBRACKET) : TOK_BAR;
    case '"': case '`': return text(c);
    case '!': return TOK_BANG;
    case '$': return TOK_DOLLAR;
    case '\'': return TOK_QUOTE;
    case ')': return bracket(TOK_RPAREN);
    case '+': return TOK_PLUS;
    case ',': return TOK_COMMA;
    case '/': return TOK_SLASH;
    case ';': return TOK_SEMICOLON;
    case '=': return TOK_EQUAL;
    case '[': return bracket(TOK_LBRACKET);
    case ']': return bracket(TOK_RBRACKET);
    case '^': return TOK_CARET;
    case '{': return bracket(TOK_LBRACE);
    case '}': return bracket(TOK_RBRACE);
    case kEscapedNewline: case kEscapedBackquote: case kEscapedQuote: return kStray;
    default: return c;
    }
}

}  // namespace

void lexer_init() {
    lx = Lexer{};
    matcher_reset();
    matcher_message().clear();
}

void lexer_release() {
    lx = Lexer{};
    matcher_release();
}

int lexer_next_token() {
    lx.lastToken = scan();
    return lx.lastToken;
}

long lexer_syntax_errors() { return lx.errors; }

void lexer_syntax_error(const char* message) {
    ++lx.errors;
    if (vl.infoLevel > 0 || vl.syntaxOnly) {
        std::FILE* out = vl.report;
        const bool terminal = input_is_terminal();
        long indentation = long(std::strlen(vl.prompt));
        if (!terminal) {
            std::fprintf(out, "on line %5ld: ", storeLine);
            std::fwrite(lx.line.data(), 1, lx.line.size(), out);
            if (lx.line.empty() || lx.line.back() != '\n') std::fputc('\n', out);
            indentation = 15;
        }
        for (long i = 0; i < indentation; ++i) std::fputc(' ', out);
        // The caret stands under the token, never beyond the line held.
        const long start = std::clamp(lx.tokenStart, 0L, long(lx.line.size()));
        for (long i = 0; i < start; ++i) std::fputc(lx.line[std::size_t(i)] == '\t' ? '\t' : ' ', out);
        const std::string& pending = matcher_message();
        const int top = matcher_top();
        if (!pending.empty()) {
            std::fprintf(out, "^ %s\n", pending.c_str());
        } else if (start > 0 && lx.line[std::size_t(start - 1)] == '`') {
            std::fprintf(out, "^ %s - Probably missing a previous `\n", message);
        } else if (lx.lastToken == TOK_INTEGER && top == TOK_FOR) {
            std::fprintf(out, "^ %s - A name must used for the for clause\n", message);
        } else if (lx.lastToken == TOK_INTEGER || lx.lastToken == TOK_NAME) {
            std::fprintf(out, "^ %s - Probably missing ", message);
            bool keyword = true;
            if (top == TOK_IF) std::fputs("the keyword then or ", out);
            else if (top == TOK_FOR || top == TOK_FROM || top == TOK_BY || top == TOK_TO ||
                     top == TOK_WHILE || top == TOK_IN)
                std::fputs("the keyword do or ", out);
            else keyword = false;
            if (!keyword && lx.tokensOnLine == 1) std::fputs("a ; on the previous line or ", out);
            std::fputs("an operator such as *\n", out);
        } else {
            std::fprintf(out, "^ %s\n", message);
        }
        matcher_message().clear();
    }
    vl.Severity = std::min(vl.Severity, 1);
    ++vl.classCount[1];
    if (input_is_terminal()) matcher_reset();
    if (lx.errors >= VL_SYNTAX_ERROR_LIMIT) report_end_of_file();
}

std::string lexer_decimal(const VWord* integer) {
    const long digits = vl_length(integer) - 1;
    std::string text;
    char group[8];
    for (long i = digits; i >= 1; --i) {
        std::snprintf(group, sizeof group, i == digits ? "%ld" : "%04ld", long(integer[i] % 10000));
        text += group;
    }
    return text.empty() ? "0" : text;
}

VObj lexer_integer(const std::string& digits) {
    std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return store_make(DAG_INTPOS, 0);
    const std::size_t count = digits.size() - first;
    const std::size_t words = (count + 3) / 4;
    if (words + 1 > std::size_t(VL_MAX_LENGTH)) vl_fatal("object too large");
    VObj o = store_new(long(words) + 1, DAG_INTPOS);
    // Base-10000 digits from the right, least significant first.
    std::size_t end = digits.size();
    for (std::size_t w = 1; w <= words; ++w) {
        const std::size_t begin = end >= first + 4 ? end - 4 : first;
        VWord value = 0;
        for (std::size_t i = begin; i < end; ++i) value = value * 10 + VWord(digits[i] - '0');
        o[w] = value;
        end = begin;
    }
    return o;
}

VObj lexer_fraction_mantissa(const VWord* integerPart, const VWord* fraction, long digits) {
    std::string text = lexer_decimal(integerPart);
    std::string tail = lexer_decimal(fraction);
    if (long(tail.size()) < digits) tail.insert(0, std::size_t(digits - long(tail.size())), '0');
    return lexer_integer(text + tail);
}
