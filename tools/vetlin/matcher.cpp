// The construct matcher (see matcher.h).
#include "tools/vetlin/matcher.h"

#include <cctype>
#include <cstdio>

#include "tools/console/osl.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/tokens.h"

namespace {

constexpr long kFirstCapacity = 50;

struct Matcher {
    int* stack = nullptr;
    long capacity = 0;
    long top = -1;
    bool seen[VL_TOKEN_TABLE] = {};
    bool hints = true;
    bool impliedDo = false;   // an implied do was fed and no do since
    std::string message;
};
Matcher m;

bool top_is(std::initializer_list<int> tokens) {
    if (m.top < 0) return false;
    for (int t : tokens)
        if (m.stack[m.top] == t) return true;
    return false;
}

void push(int token) {
    if (m.top + 1 >= m.capacity) {
        const long grown = m.capacity == 0 ? kFirstCapacity : m.capacity * 2;
        auto* bigger = static_cast<int*>(os_realloc(m.stack, std::size_t(grown) * sizeof(int)));
        if (bigger == nullptr) {
            m.hints = false;
            return;
        }
        m.stack = bigger;
        m.capacity = grown;
    }
    m.stack[++m.top] = token;
}

void pop() {
    if (m.top >= 0) --m.top;
}

void replace(int token) { m.stack[m.top] = token; }

int closer_of(int token) {
    switch (token) {
    case TOK_BY: case TOK_DO: case TOK_FOR: case TOK_FROM: case TOK_IN: case TOK_TO:
    case TOK_WHILE: case TOK_OD:
        return TOK_OD;
    case TOK_IF: case TOK_THEN: case TOK_ELIF: case TOK_ELSE: case TOK_FI:
        return TOK_FI;
    case TOK_PROC: case TOK_END:
        return TOK_END;
    case TOK_LBRACE: case TOK_RBRACE:
        return TOK_RBRACE;
    case TOK_LBRACKET: case TOK_RBRACKET:
        return TOK_RBRACKET;
    default:
        return TOK_RPAREN;
    }
}

const char* partner_of(int token) {
    switch (token) {
    case TOK_OD: return "do";
    case TOK_FI: case TOK_ELIF: case TOK_ELSE: return "if\" or \"then";
    case TOK_END: return "proc";
    case TOK_THEN: return "if";
    case TOK_RBRACE: return "{";
    case TOK_RBRACKET: return "[";
    default: return "(";
    }
}

const char* article_n(const char* text) {
    switch (std::tolower(static_cast<unsigned char>(text[0]))) {
    case 'a': case 'e': case 'i': case 'o': case 'u': return "n";
    default: return "";
    }
}

std::string format(const char* pattern, const char* a, const char* b = "", const char* c = "",
                   const char* d = "") {
    const int size = std::snprintf(nullptr, 0, pattern, a, b, c, d);
    std::string text(std::size_t(size), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, a, b, c, d);
    return text;
}

// Loop clauses in the wrong order: `fed` should come before `top`.
void clause_order(int top, int fed) {
    if (!m.hints) return;
    m.message += format("Syntax error: The %s clause should come before the %s clause\n",
                        matcher_token_text(fed), matcher_token_text(top));
    m.hints = false;
}

void mismatch(int found) {
    if (!m.hints) return;
    const char* text = matcher_token_text(found);
    m.message = "Syntax error\n";
    m.message += format("A%s \"%s\" was found without a previous matching \"%s\".\n",
                        article_n(text), text, partner_of(found));
    const int closer = closer_of(found);
    const bool misplaced = m.seen[closer];
    if (misplaced)
        m.message += format("There may have been a misplaced \"%s\" earlier", matcher_token_text(closer));
    if (m.top >= 0) {
        const char* topCloser = matcher_token_text(closer_of(m.stack[m.top]));
        m.message += format("%s%s \"%s\" may be needed to close the previous \"%s\" construct",
                            misplaced ? "\nor a" : "A", article_n(topCloser), topCloser,
                            matcher_token_text(m.stack[m.top]));
    }
    if (misplaced || m.top >= 0) m.message += ".\n";
    m.hints = false;
}

// Pops the top when it is one of `openers`; a mismatch otherwise.
void close(int found, std::initializer_list<int> openers) {
    if (top_is(openers)) pop();
    else mismatch(found);
}

}  // namespace

const char* matcher_token_text(int token) {
    switch (token) {
    case TOK_BY: return "by";
    case TOK_DO: return "do";
    case TOK_ELIF: return "elif";
    case TOK_ELSE: return "else";
    case TOK_END: return "end";
    case TOK_FI: return "fi";
    case TOK_FOR: return "for";
    case TOK_FROM: return "from";
    case TOK_IF: return "if";
    case TOK_IN: return "in";
    case TOK_OD: return "od";
    case TOK_PROC: return "proc";
    case TOK_THEN: return "then";
    case TOK_TO: return "to";
    case TOK_WHILE: return "while";
    case TOK_LBRACE: return "{";
    case TOK_LBRACKET: return "[";
    case TOK_LPAREN: return "(";
    case TOK_RBRACE: return "}";
    case TOK_RBRACKET: return "]";
    case TOK_RPAREN: return ")";
    default: return "?";
    }
}

void matcher_reset() {
    int* stack = m.stack;
    const long capacity = m.capacity;
    std::string message = std::move(m.message);
    m = Matcher{};
    m.stack = stack;
    m.capacity = capacity;
    m.message = std::move(message);
}

void matcher_release() {
    os_free(m.stack);
    m = Matcher{};
}

void matcher_feed(int token) {
    switch (token) {
    case TOK_FROM: case TOK_BY: case TOK_TO:
        if (top_is({TOK_BY, TOK_FOR, TOK_FROM, TOK_TO, TOK_WHILE})) replace(token);
        else if (top_is({TOK_DO})) clause_order(TOK_DO, token);
        else push(token);
        break;
    case TOK_WHILE:
        if (top_is({TOK_BY, TOK_FOR, TOK_FROM, TOK_IN, TOK_TO})) replace(token);
        else if (top_is({TOK_DO})) clause_order(TOK_DO, token);
        else push(token);
        break;
    case TOK_FOR:
        if (top_is({TOK_BY, TOK_FROM, TOK_IN, TOK_TO, TOK_WHILE})) clause_order(m.stack[m.top], token);
        else push(token);
        break;
    case TOK_IN:
        if (top_is({TOK_DO, TOK_WHILE})) clause_order(m.stack[m.top], token);
        else if (top_is({TOK_FOR})) replace(token);
        else push(token);
        break;
    case TOK_DO:
        m.impliedDo = false;
        if (top_is({TOK_BY, TOK_FOR, TOK_FROM, TOK_IN, TOK_TO, TOK_WHILE})) replace(token);
        else push(token);
        break;
    case TOK_OD:
        close(token, {TOK_DO});
        break;
    case TOK_IF: case TOK_PROC: case TOK_LBRACE: case TOK_LBRACKET: case TOK_LPAREN:
        push(token);
        break;
    case TOK_THEN:
        if (top_is({TOK_IF, TOK_ELIF})) replace(token);
        else mismatch(token);
        break;
    case TOK_ELIF: case TOK_ELSE:
        if (top_is({TOK_THEN, TOK_ELIF})) replace(token);
        else mismatch(token);
        break;
    case TOK_FI:
        close(token, {TOK_THEN, TOK_ELIF, TOK_ELSE});
        break;
    case TOK_END:
        close(token, {TOK_PROC});
        break;
    case TOK_RBRACE:
        close(token, {TOK_LBRACE});
        break;
    case TOK_RBRACKET:
        close(token, {TOK_LBRACKET});
        break;
    case TOK_RPAREN:
        close(token, {TOK_LPAREN});
        break;
    default:
        break;
    }
    if (token >= 0 && token < VL_TOKEN_TABLE) m.seen[token] = true;
}

void matcher_implicit_do() {
    if (m.impliedDo) return;
    matcher_feed(TOK_DO);
    m.impliedDo = true;
}

std::string& matcher_message() { return m.message; }

int matcher_top() { return m.top >= 0 ? m.stack[m.top] : 0; }
bool matcher_hints_on() { return m.hints; }
int matcher_depth() { return int(m.top + 1); }

bool matcher_is_loop_clause(int token) {
    return token == TOK_BY || token == TOK_DO || token == TOK_FOR || token == TOK_FROM ||
           token == TOK_TO || token == TOK_WHILE;
}

bool matcher_is_block(int token) {
    return token == TOK_DO || token == TOK_ELIF || token == TOK_ELSE || token == TOK_END ||
           token == TOK_FI || token == TOK_IF || token == TOK_OD || token == TOK_PROC;
}

bool matcher_is_bracket(int c) {
    return c == '(' || c == ')' || c == '[' || c == ']' || c == '{' || c == '}';
}

long matcher_column(std::string_view line, long position) {
    long column = 0;
    for (long i = 0; i < position && std::size_t(i) < line.size(); ++i)
        column = line[std::size_t(i)] == '\t' ? (column / 8 + 1) * 8 : column + 1;
    return column + 1;
}

void matcher_indentation_problem(int token, const std::vector<long>& stack) {
    std::FILE* out = vl.report;
    std::fprintf(out, "Indentation problem: symbol is %s\n", matcher_token_text(token));
    const long height = long(stack.size());
    std::fprintf(out, "Indent stack height = %ld", height / 3);
    if (height % 3 != 0) std::fprintf(out, " + %ld/3", height % 3);
    std::fputc('\n', out);
    for (long i = 0; i + 2 < height; i += 3)
        std::fprintf(out, "%3ld %10s %4ld %3ld\n", i, matcher_token_text(int(stack[std::size_t(i)])),
                     stack[std::size_t(i) + 1], stack[std::size_t(i) + 2]);
}
