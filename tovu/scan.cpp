// The language scanner (see scan.h).
#include "scan.h"

#include <cstring>

#include "errors.h"

ScanState scan;

// ---- reserved words --------------------------------------------------------------------------
// Sorted for the binary search; words of one row of the grammar share one token.
const char* const lang_keywords[LANG_KEYWORD_COUNT] = {
    "and", "by", "description", "do", "done", "elif", "else", "end", "fi", "for", "from",
    "global", "if", "in", "intersect", "local", "minus", "mod", "not", "od", "option",
    "options", "or", "proc", "quit", "read", "save", "stop", "then", "to", "union", "while",
};
static const int keywordTokens[LANG_KEYWORD_COUNT] = {
    LT_AND, LT_BY, LT_DESCRIPTION, LT_DO, LT_QUIT, LT_ELIF, LT_ELSE, LT_END_WORD, LT_FI, LT_FOR,
    LT_FROM, LT_GLOBAL, LT_IF, LT_IN, LT_AT, LT_LOCAL, LT_MINUS_UNION, LT_MOD, LT_NOT, LT_OD,
    LT_OPTION, LT_OPTION, LT_OR, LT_PROC, LT_QUIT, LT_READ, LT_SAVE, LT_QUIT, LT_THEN, LT_TO,
    LT_MINUS_UNION, LT_WHILE,
};

namespace {
// For each lower-case first letter, the first index of the sorted table whose word starts with it
// (or beyond); the words of that letter run up to the next letter's entry.
struct KeywordIndex {
    signed char first[27];
    KeywordIndex() : first{} {
        int k = 0;
        for (int letter = 0; letter < 26; ++letter) {
            while (k < LANG_KEYWORD_COUNT && lang_keywords[k][0] - 'a' < letter) ++k;
            first[letter] = static_cast<signed char>(k);
        }
        first[26] = LANG_KEYWORD_COUNT;
    }
};
}  // namespace

int lang_keyword_index(const char* text) {
    if (text == nullptr || text[0] == '\0' || text[1] == '\0') return -1;
    static const KeywordIndex index;  // built on the first call
    int letter = static_cast<unsigned char>(text[0]) - 'a';
    if (letter < 0 || letter >= 26) return -1;   // every reserved word starts with a lower-case letter
    for (int k = index.first[letter]; k < index.first[letter + 1]; ++k)
        if (std::strcmp(text + 1, lang_keywords[k] + 1) == 0) return k;
    return -1;
}

// ---- character classes (C locale, ASCII only) ------------------------------------------------
static bool is_digit(int c) { return c >= '0' && c <= '9'; }
static bool is_letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
static bool is_name_char(int c) { return is_letter(c) || is_digit(c) || c == '_'; }
static bool is_space(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');   // \t \n \v \f \r are 9..13
}

// ---- reading characters ------------------------------------------------------------------------
// One character from the source; -1 at the end.  Every character taken is counted.
static int raw_read() {
    int c;
    if (scan.cursor != nullptr) {
        c = *scan.cursor;
        if (c == 0) return -1;   // the NUL stays where it is: asking again answers the end again
        ++scan.cursor;
    } else {
        c = scan.source(scan.context);
        if (c == 0 || c == -1) return -1;
    }
    ++scan.position;
    return c & 0xFF;
}

// One character with the backslash escapes applied.
static int read_char() {
    for (;;) {
        int c = raw_read();
        if (c != '\\') return c;
        int d = raw_read();
        if (d < 0) return -1;
        if (is_space(d)) continue;   // line continuation
        switch (d) {
        case 'a': return 7;
        case 'b': return 8;
        case 'e': return 27;
        case 'f': return 12;
        case 'r': return 13;
        case 't': return 9;
        case 'v': return 11;
        case 'n': return SCAN_ESC_NEWLINE;
        case '"': return SCAN_ESC_DQUOTE;
        case '`': return SCAN_ESC_BQUOTE;
        default: return d;
        }
    }
}

static int next_char() {
    if (scan.lookahead != -2) {
        int c = scan.lookahead;
        scan.lookahead = -2;
        scan.lookaheadWidth = 0;
        return c;
    }
    return read_char();
}

static int peek_char() {
    if (scan.lookahead == -2) {
        int before = scan.position;
        int c = read_char();
        if (c < 0) return -1;   // the lookahead stays reset at the end
        scan.lookahead = c;
        scan.lookaheadWidth = scan.position - before;
    }
    return scan.lookahead;
}

// Takes a run of plain characters straight from a direct text: characters for which `keep` holds
// and that are not a backslash (escapes go the ordinary way), up to the first other one.  With
// `into`, they are appended to it.  Only while no lookahead character is pending, so that the
// order of characters stays that of the ordinary path; the caller goes on the ordinary way.
template <class Keep>
static void take_run(Keep keep, std::string* into) {
    if (scan.cursor == nullptr || scan.lookahead != -2) return;
    const unsigned char* start = scan.cursor;
    const unsigned char* p = start;
    while (*p != 0 && *p != '\\' && keep(*p)) ++p;
    if (into != nullptr) into->append(reinterpret_cast<const char*>(start), std::size_t(p - start));
    scan.position += std::int32_t(p - start);
    scan.cursor = p;
}

void scan_reset(bool fresh) {
    if (fresh) {
        scan.lookahead = -2;
        scan.lookaheadWidth = 0;
    }
    scan.position = 0;
    if (scan.lookahead != -2) scan.position = scan.lookaheadWidth;
    scan.atEnd = false;
    scan.errorReported = false;
    scan.token = LT_END;
    scan.tokenChar = 0;
    scan.tokenWord = nullptr;
    scan.tokenValue = nullptr;
    scan.digitCount = 0;
    scan.exponent = 0;
}

int scan_consumed() {
    int n = scan.position - (scan.lookahead != -2 ? scan.lookaheadWidth : 0);
    return n < 0 ? 0 : n;
}

// ---- reports -------------------------------------------------------------------------------------
void scan_report_error(const char* message) {
    if (scan.atEnd) {
        scan.errorReported = true;
        scan.prematureEnd(scan.context, scan.position);
        throw LangParseAbort{};
    }
    if (scan.errorHook != nullptr && scan.errorHook(scan.position, message) != 0) return;
    scan.errorReported = true;
    scan.errorPrinter(scan.context, scan.position, message);
    throw LangParseAbort{};
}

void scan_report_warning(const char* message) {
    scan.warningPrinter(scan.context, scan.position, message);
}

[[noreturn]] void scan_fail(const char* message) {
    scan_report_error(message);
    scan.errorReported = true;
    scan.errorPrinter(scan.context, scan.position, message);
    throw LangParseAbort{};
}

// Largest text a NAME or STRING can hold within the length field, and the most decimal digits an
// integer can hold: longer input is refused instead of building a DAG whose length field wraps.
static constexpr std::size_t SCAN_MAX_TEXT = (DAG_MAX_LENGTH - 3) * sizeof(DagWord) - 1;
static constexpr std::size_t SCAN_MAX_DIGITS = (DAG_MAX_LENGTH - 1) * 4;

std::string scan_syntax_message() {
    switch (scan.token) {
    case LT_ASSIGN: return "`:=` unexpected";
    case LT_RANGE: return "`..` unexpected";
    case LT_NAME: return "missing operator or `;`";
    case LT_INTEGER: return "unexpected number";
    case LT_INTEXP: return "unexpected real number";
    case LT_NEUTRAL: return "unexpected neutral operator";
    case LT_OPTION: return "reserved word `option` or `options` unexpected";
    case LT_ATAT: return "`@@` unexpected";
    case LT_AT: return "`@` or reserved word `intersect` unexpected";
    case LT_QUIT: return "reserved words `quit`, `done`, or `stop` unexpected";
    case LT_LE: case LT_NE: case LT_GE: return "unexpected relational operator";
    case LT_STRING: return "unexpected string";
    case LT_MINUS_UNION: return "reserved words `union` or `minus` unexpected";
    case LT_END: return "unexpected end of input";
    case LT_LABEL: return "unexpected label";
    case LT_ANDSTAR: return "`&*` unexpected";
    case LT_ARROW: return "`->` unexpected";
    case LT_POWER: return "`^` unexpected";
    case LT_DCOLON: return "`::` unexpected";
    case '\'': return "unexpected single forward quote";
    case LT_BADCHAR: {
        int c = scan.tokenChar;
        if (c > 126) return "symbol unexpected";
        if (c == 7) return "control character `\\a` unexpected";
        if (c == 8) return "control character `\\b` unexpected";
        if (c == 27) return "control character `\\e` unexpected";
        return "control character unexpected";
    }
    default: break;
    }
    if (scan.token >= LT_AND && scan.token <= LT_WHILE) {
        return std::string("reserved word `") + (scan.tokenWord ? scan.tokenWord : "") +
               "` unexpected";
    }
    if (scan.token > 0 && scan.token < 256) {
        char c = char(scan.token);
        if (std::strchr(":,/$.=!><{[(-+*}]);|", c) != nullptr)
            return std::string("`") + c + "` unexpected";
        return std::string("character `") + c + "` unexpected";
    }
    return "syntax error";
}

// ---- tokens ----------------------------------------------------------------------------------------
static int set_token(int token) {
    scan.token = token;
    return token;
}

static Dag intern_text(unsigned type) {
    if (scan.text.size() > SCAN_MAX_TEXT) scan_fail("object too large");
    return dag_intern(scan.text.c_str(), type);
}

static int scan_number(int first) {
    scan.text.clear();
    scan.text.push_back(char(first));
    take_run([](int k) { return is_digit(k); }, &scan.text);
    while (is_digit(peek_char())) scan.text.push_back(char(next_char()));
    scan.digitCount = int(scan.text.size() > 0x7FFFFFFF ? 0x7FFFFFFF : scan.text.size());
    std::size_t lead = scan.text.find_first_not_of('0');
    if (lead == std::string::npos) {
        scan.tokenValue = dag_zero;
    } else if (scan.text.size() - lead <= 4) {
        long value = 0;
        for (std::size_t i = lead; i < scan.text.size(); ++i) value = value * 10 + (scan.text[i] - '0');
        scan.tokenValue = dag_of_int(value);
    } else {
        if (scan.text.size() - lead > SCAN_MAX_DIGITS) scan_fail("object too large");
        scan.tokenValue = dag_integer_from_text(std::string_view(scan.text).substr(lead));
    }
    int c = peek_char();
    if (c != 'e' && c != 'E') return set_token(LT_INTEGER);
    next_char();
    bool negative = false;
    c = peek_char();
    if (c == '+' || c == '-') {
        negative = c == '-';
        next_char();
    }
    std::int64_t magnitude = 0;
    while (is_digit(peek_char())) {
        magnitude = magnitude * 10 + (next_char() - '0');
        if (magnitude > 0x7FFFFFFF) scan_fail("exponent too large");
    }
    scan.exponent = std::int32_t(negative ? -magnitude : magnitude);
    return set_token(LT_INTEXP);
}

static int scan_quoted(int delimiter) {
    bool isString = delimiter == '"';
    scan.text.clear();
    bool warned = false;
    int first = peek_char();
    bool longWarning = isString && !(is_letter(first) || is_digit(first));
    for (;;) {
        take_run([delimiter](int k) { return k != delimiter && k != '\n'; }, &scan.text);
        int c = next_char();
        if (c < 0) {
            scan.atEnd = true;
            scan_fail("unexpected end of input");
        }
        if (c == delimiter) {
            if (peek_char() != delimiter) break;
            next_char();
            scan.text.push_back(char(delimiter));
            continue;
        }
        if (c == '\n' && !warned) {
            warned = true;
            if (!isString)
                scan_report_warning("incomplete quoted name;  use ` to end the name");
            else if (longWarning)
                scan_report_warning("incomplete string;  use \" to end the string (note that "
                                    "the ditto operator is now % instead of \")");
            else
                scan_report_warning("incomplete string;  use \" to end the string");
        }
        if (c == SCAN_ESC_NEWLINE) c = '\n';
        else if (c == SCAN_ESC_DQUOTE) c = '"';
        else if (c == SCAN_ESC_BQUOTE) c = '`';
        scan.text.push_back(char(c));
    }
    scan.tokenValue = intern_text(isString ? DAG_STRING : DAG_NAME);
    return set_token(isString ? LT_STRING : LT_NAME);
}

// Characters that end the symbol run of a neutral operator.
static bool ends_neutral(int c) {
    return c < 0 || c >= 256 || is_space(c) || is_name_char(c) || c == '`' ||
           std::strchr(";:'[]{(})#&%|", c) != nullptr;
}

int scan_token() {
    scan.tokenValue = nullptr;
    scan.tokenWord = nullptr;
    scan.tokenChar = 0;
    scan.digitCount = 0;
    scan.exponent = 0;
    int c;
    for (;;) {
        c = next_char();
        if (c < 0) {
            scan.atEnd = true;
            return set_token(LT_END);
        }
        if (is_space(c)) {
            take_run([](int k) { return is_space(k); }, nullptr);
            continue;
        }
        if (c == '#') {
            take_run([](int k) { return k != '\n'; }, nullptr);
            do c = next_char(); while (c >= 0 && c != '\n');
            if (c < 0) {
                scan.atEnd = true;
                return set_token(LT_END);
            }
            continue;
        }
        break;
    }

    if (is_digit(c)) return scan_number(c);

    if (is_letter(c) || c == '_') {
        scan.text.assign(1, char(c));
        take_run([](int k) { return is_name_char(k); }, &scan.text);
        while (is_name_char(peek_char())) scan.text.push_back(char(next_char()));
        int k = lang_keyword_index(scan.text.c_str());
        if (k >= 0) {
            scan.tokenWord = lang_keywords[k];
            if (keywordTokens[k] == LT_MINUS_UNION || keywordTokens[k] == LT_AT)
                scan.tokenValue = dag_name(lang_keywords[k]);
            return set_token(keywordTokens[k]);
        }
        scan.tokenValue = intern_text(DAG_NAME);
        return set_token(LT_NAME);
    }

    switch (c) {
    case '%': {
        int d = peek_char();
        if (is_digit(d)) return set_token(LT_LABEL);
        scan.text.assign(1, '%');
        if (is_letter(d) || d == '_' || d == '?') {
            while (is_name_char(peek_char()) || peek_char() == '?')
                scan.text.push_back(char(next_char()));
        } else {
            for (int i = 0; i < 2 && peek_char() == '%'; ++i) scan.text.push_back(char(next_char()));
        }
        scan.tokenValue = intern_text(DAG_NAME);
        return set_token(LT_NAME);
    }
    case '&': {
        scan.text.assign(1, '&');
        int d = peek_char();
        if (is_letter(d) || d == '_') {
            while (is_name_char(peek_char())) scan.text.push_back(char(next_char()));
        } else {
            while (!ends_neutral(peek_char())) scan.text.push_back(char(next_char()));
            if (scan.text.size() == 1) scan_fail("invalid neutral operator");
            if (scan.text == "&*") return set_token(LT_ANDSTAR);
        }
        scan.tokenValue = intern_text(DAG_NAME);
        return set_token(LT_NEUTRAL);
    }
    case '~':
        scan.text.assign(1, '~');
        while (is_name_char(peek_char()) || peek_char() == '$') scan.text.push_back(char(next_char()));
        scan.tokenValue = intern_text(DAG_NAME);
        return set_token(LT_NAME);
    case '*':
        if (peek_char() == '*') { next_char(); return set_token(LT_POWER); }
        if (peek_char() == ')') { next_char(); return set_token('}'); }
        return set_token('*');
    case '^':
        return set_token(LT_POWER);
    case '@':
        if (peek_char() == '@') {
            next_char();
            scan.tokenValue = dag_name("@@");
            return set_token(LT_ATAT);
        }
        scan.tokenValue = dag_name("@");
        return set_token(LT_AT);
    case '.':
        if (peek_char() != '.') return set_token('.');
        while (peek_char() == '.') next_char();
        return set_token(LT_RANGE);
    case '<':
        if (peek_char() == '=') { next_char(); return set_token(LT_LE); }
        if (peek_char() == '>') { next_char(); return set_token(LT_NE); }
        return set_token('<');
    case '>':
        if (peek_char() == '=') { next_char(); return set_token(LT_GE); }
        return set_token('>');
    case '-':
        if (peek_char() == '>') { next_char(); return set_token(LT_ARROW); }
        return set_token('-');
    case ':':
        if (peek_char() == '=') { next_char(); return set_token(LT_ASSIGN); }
        if (peek_char() == ':') {
            next_char();
            scan.tokenValue = dag_name("::");
            return set_token(LT_DCOLON);
        }
        return set_token(':');
    case '(':
        if (peek_char() == '*') { next_char(); return set_token('{'); }
        if (peek_char() == '|') { next_char(); return set_token('['); }
        return set_token('(');
    case '|':
        if (peek_char() == ')') { next_char(); return set_token(']'); }
        return set_token('|');
    case '`':
    case '"':
        return scan_quoted(c);
    default:
        break;
    }
    if (c >= 256) {
        scan.token = LT_BADCHAR;
        scan_fail("syntax error, `\\` unexpected");
    }
    if (c >= 32 && c <= 126) {
        scan.tokenChar = c;
        return set_token(c);
    }
    scan.tokenChar = c;
    return set_token(LT_BADCHAR);
}
