// The one-line printer (see print.h).
#include "print.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "errors.h"
#include "scan.h"

// ---- output layer ----------------------------------------------------------------------------
namespace {

void stdout_sink(void*, int c) { std::putchar(c); }
void stderr_error_sink(void*, const char* message) { std::fprintf(stderr, "Output Error: %s\n", message); }

struct Output {
    DagSink sink = stdout_sink;
    DagErrorSink errorSink = stderr_error_sink;
    OutLineBreakHook hook = out_continuation;
    int width = 0;
    void* data = nullptr;
    int column = 0;
} out;

}  // namespace

void out_set_sinks(DagSink sink, DagErrorSink errorSink, OutLineBreakHook hook, int width, void* data) {
    out.sink = sink != nullptr ? sink : stdout_sink;
    out.errorSink = errorSink != nullptr ? errorSink : stderr_error_sink;
    out.hook = hook != nullptr ? hook : out_continuation;
    out.width = width;
    out.data = data;
    out.column = 0;
}

void out_char(int c) {
    if (c == '\n') {
        out.column = -1;
    } else if (out.width > 0 && out.column >= out.width) {
        out.hook();
        out.sink(out.data, '\n');
        out.column = 0;
    }
    out.sink(out.data, c);
    ++out.column;
}

void out_text(const char* text) {
    for (; *text != '\0'; ++text) out_char(static_cast<unsigned char>(*text));
}

void out_long(long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%ld", value);
    out_text(buffer);
}

void out_space_or_break() {
    if (out.width <= 0 || out.column < out.width - 1) {
        out_char(' ');
    } else {
        out.sink(out.data, '\n');
        out.column = 0;
    }
}

void out_continuation() {
    out.sink(out.data, '\\');
    ++out.column;
}

void out_error(const char* message) { out.errorSink(out.data, message); }
int out_column() { return out.column; }
int out_width() { return out.width > 0 ? out.width : 999999; }

// ---- printer state ---------------------------------------------------------------------------
namespace {

struct Printer {
    int quoting = 0;            // 0, 1 or 9999
    bool attributes = false;
    bool tildes = false;
    int tokenNesting = 0;       // > 0 while a number, name or word is written
    int depth = 0;              // expression depth, for quoting
    int recursion = 0;          // nesting of print_dag calls, bounded by PRINT_MAX_DEPTH
    int procNesting = 0;
    const DagWord* proc = nullptr;        // procedure being printed
    const DagWord* assignName = nullptr;  // target of a top-level assignment of a procedure
} pr;

constexpr int RAW = 9999;

// The procedure a print starts in (print_set_current_procedure).
const DagWord* currentProcedure = nullptr;

void printer_hook() {
    if (pr.tokenNesting > 0 && pr.quoting != RAW) out_continuation();
}

int precedence(unsigned type) {
    switch (type) {
    case DAG_INTPOS: case DAG_STRING: case DAG_NAME: case DAG_CATENATE: case DAG_LIST:
    case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL: case DAG_PROC: case DAG_SET:
        return 12;
    case DAG_FLOAT: case DAG_TABLEREF: case DAG_DCOLON: case DAG_FUNCTION: case DAG_HFARRAY:
        return 11;
    case DAG_POWER: return 10;
    case DAG_RATIONAL: case DAG_PROD: return 9;
    case DAG_INTNEG: return 8;
    case DAG_SUM: return 7;
    case DAG_SERIES: return 6;
    case DAG_RANGE: return 5;
    case DAG_EQUATION: case DAG_INEQUAT: case DAG_LESSEQ: case DAG_LESSTHAN: case DAG_HASH: return 4;
    case DAG_NOT: return 3;
    case DAG_AND: return 2;
    case DAG_OR: return 1;
    default: return 0;
    }
}

[[noreturn]] void unprintable() { tovu_error("unprintable data structure"); }

// Writes a text as one token, breaking the line first when it does not fit the rest of the
// line but fits on a line of its own.
void print_word(const char* text) {
    long length = long(std::strlen(text));
    long line = long(out_width()) - pr.tokenNesting;
    if (out.width > 0 && length > line - out_column() && length <= line && out_column() > 0) {
        printer_hook();
        out.sink(out.data, '\n');
        out.column = 0;
    }
    ++pr.tokenNesting;
    out_text(text);
    --pr.tokenNesting;
}
void print_word(const std::string& text) { print_word(text.c_str()); }

// ---- small predicates ----------------------------------------------------------------------------
bool is_int_value(const DagWord* d, unsigned type, DagWord digit) {
    return d != nullptr && dag_type(d) == type && dag_length(d) == 2 && d[1] == digit;
}
bool is_one(const DagWord* d) { return is_int_value(d, DAG_INTPOS, 1); }
bool is_minus_one(const DagWord* d) { return is_int_value(d, DAG_INTNEG, 1); }
bool is_name(const DagWord* d, const char* text) {
    return d != nullptr && dag_type(d) == DAG_NAME && std::strcmp(dag_text(d), text) == 0;
}
bool is_number(const DagWord* d) {
    unsigned t = dag_type(d);
    return t == DAG_INTPOS || t == DAG_INTNEG || t == DAG_RATIONAL || t == DAG_FLOAT;
}
bool is_negative_number(const DagWord* d) {
    if (d == nullptr) return false;   // an empty slot (replies from outside may hold one)
    unsigned t = dag_type(d);
    if (t == DAG_INTNEG) return true;
    if ((t == DAG_RATIONAL || t == DAG_FLOAT) && dag_length(d) >= 3 && dag_op(d, 1) != nullptr)
        return dag_type(dag_op(d, 1)) == DAG_INTNEG;
    return false;
}
const DagWord* op(const DagWord* d, std::size_t i) { return i < dag_length(d) ? dag_op(d, i) : nullptr; }

// Flips the sign of a negative number for the duration of a print (the integer, the numerator
// of a rational or the mantissa of a float), restoring it on every path.
class SignFlip {
public:
    explicit SignFlip(const DagWord* number) {
        if (number == nullptr) return;
        unsigned t = dag_type(number);
        const DagWord* target = t == DAG_INTNEG ? number
                              : (t == DAG_RATIONAL || t == DAG_FLOAT) ? dag_op(number, 1) : nullptr;
        if (target != nullptr && dag_type(target) == DAG_INTNEG) {
            word_ = const_cast<DagWord*>(target);
            saved_ = *word_;
            *word_ = dag_header(DAG_INTPOS, dag_length(target));
        }
    }
    ~SignFlip() {
        if (word_ != nullptr) *word_ = saved_;
    }
    SignFlip(const SignFlip&) = delete;
    SignFlip& operator=(const SignFlip&) = delete;

private:
    DagWord* word_ = nullptr;
    DagWord saved_ = 0;
};

void print_dag(const DagWord* d, int a);

// ---- names and quoting -------------------------------------------------------------------------
void print_name(const char* text, char quote, bool isString) {
    bool quoted;
    if (isString && pr.quoting != RAW) {
        quoted = true;
    } else {
        quoted = name_needs_quotes(text) && (pr.depth > pr.quoting || pr.procNesting > 0);
    }
    if (!quoted) {
        print_word(text);
        return;
    }
    std::string q(1, quote);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        switch (*p) {
        case 7: q += "\\a"; break;
        case 8: q += "\\b"; break;
        case 9: q += "\\t"; break;
        case 10: q += "\\n"; break;
        case 11: q += "\\v"; break;
        case 12: q += "\\f"; break;
        case 13: q += "\\r"; break;
        case 27: q += "\\e"; break;
        case '\\': q += "\\\\"; break;
        default:
            if (*p == static_cast<unsigned char>(quote)) q += '\\';
            q += char(*p);
        }
    }
    q += quote;
    print_word(q);
}

void print_name_dag(const DagWord* d) {
    const char* text = dag_text(d);
    std::size_t n = std::strlen(text);
    std::size_t cut = n;
    while (cut > 0 && text[cut - 1] == '~') --cut;
    if (cut == n || cut == 0) {
        print_name(text, '`', false);
        return;
    }
    std::string base(text, cut);
    print_name(base.c_str(), '`', false);
    if (pr.tildes) print_word(text + cut);
}

// ---- sequences ---------------------------------------------------------------------------------------
void print_separator(const char* separator) {
    if (std::strcmp(separator, " ") == 0) {
        out_space_or_break();
    } else if (separator[0] != '\0' && separator[1] == ' ' && separator[2] == '\0') {
        out_char(separator[0]);
        out_space_or_break();
    } else {
        out_text(separator);
    }
}

void print_items(const DagWord* seq, const char* separator) {
    if (seq == nullptr) return;
    if (dag_type(seq) != DAG_EXPSEQ) {
        print_dag(seq, 0);
        return;
    }
    for (std::size_t i = 1; i < dag_length(seq); ++i) {
        if (i > 1) print_separator(separator);
        print_dag(dag_op(seq, i), 0);
    }
}

void parenthesised(const DagWord* d) {
    out_char('(');
    print_dag(d, 0);
    out_char(')');
}

// ---- numbers -------------------------------------------------------------------------------------------
void print_float(const DagWord* d, int a) {
    const DagWord* m = op(d, 1);
    const DagWord* e = op(d, 2);
    if (m == nullptr || e == nullptr || !dag_is_integer(m) || !dag_is_integer(e)) unprintable();
    std::string digits = dag_integer_to_text(m);
    bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.erase(0, 1);
    std::string text;
    if (dag_length(e) > 2) {
        text = (negative ? "-" : "") + digits + "e" + dag_integer_to_text(e);
    } else {
        long exponent = long(e[1]) * (dag_type(e) == DAG_INTNEG ? -1 : 1);
        long count = arith_digit_count(m);
        if (exponent > 0 || exponent < -count) {
            text = std::string(negative ? "-." : ".") + digits + "e" + std::to_string(count + exponent);
        } else {
            std::size_t point = std::size_t(long(digits.size()) + exponent);
            text = (negative ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point);
        }
    }
    if (negative && a > 8) {
        out_char('(');
        print_word(text);
        out_char(')');
    } else {
        print_word(text);
    }
}

// ---- products and sums ---------------------------------------------------------------------------
void print_factor(const DagWord* factor, const DagWord* exponent, bool first, int a, bool single) {
    if (is_one(exponent)) {
        if (!first) out_char('*');
        print_dag(factor, first && single ? a : 9);
    } else if (is_negative_number(exponent)) {
        if (first) out_text("1/"); else out_char('/');
        print_dag(factor, 10);
        if (!is_minus_one(exponent)) {
            out_char('^');
            SignFlip flip(exponent);
            print_dag(exponent, 10);
        }
    } else {
        if (!first) out_char('*');
        print_dag(factor, 10);
        out_char('^');
        print_dag(exponent, 10);
    }
}

void print_prod(const DagWord* d, int a) {
    std::size_t n = dag_length(d);
    bool single = n <= 3;
    for (std::size_t i = 1; i + 1 < n; i += 2)
        print_factor(op(d, i), op(d, i + 1), i == 1, a, single);
}

// coefficient * term, a PROD term written factor by factor.
void print_scaled_term(const DagWord* term) {
    if (term != nullptr && dag_type(term) == DAG_PROD) {
        std::size_t n = dag_length(term);
        for (std::size_t i = 1; i + 1 < n; i += 2) print_factor(op(term, i), op(term, i + 1), false, 9, false);
    } else {
        out_char('*');
        print_dag(term, 9);
    }
}

void print_sum(const DagWord* d, int a) {
    std::size_t n = dag_length(d);
    bool single = n <= 3;
    for (std::size_t i = 1; i + 1 < n; i += 2) {
        const DagWord* term = op(d, i);
        const DagWord* coefficient = op(d, i + 1);
        if (i == 1) {
            if (is_one(coefficient)) {
                print_dag(term, single ? a : (term != nullptr && is_number(term) ? 0 : 7));
            } else if (is_minus_one(coefficient)) {
                out_char('-');
                print_dag(term, 8);
            } else {
                print_dag(coefficient, 0);
                print_scaled_term(term);
            }
            continue;
        }
        if (is_one(coefficient)) {
            if (term != nullptr && is_negative_number(term)) {
                print_dag(term, 0);
            } else {
                out_char('+');
                print_dag(term, 7);
            }
        } else if (is_minus_one(coefficient)) {
            out_char('-');
            print_dag(term, 8);
        } else {
            if (coefficient != nullptr && is_negative_number(coefficient)) {
                print_dag(coefficient, 0);
            } else {
                out_char('+');
                print_dag(coefficient, 7);
            }
            print_scaled_term(term);
        }
    }
}

void print_series(const DagWord* d) {
    std::size_t n = dag_length(d);
    const DagWord* point = op(d, 1);
    // The expansion variable: the point itself, or the name in a SUM (name, 1, ...).
    const DagWord* variable = point;
    if (point != nullptr && dag_type(point) == DAG_SUM) {
        for (std::size_t i = 1; i + 1 < dag_length(point); i += 2)
            if (dag_type(op(point, i)) == DAG_NAME && is_one(op(point, i + 1))) variable = op(point, i);
    }
    print_word("series");
    out_char('(');
    bool orderTerm = false;
    long order = 0;
    for (std::size_t i = 2; i < n; i += 2) {
        const DagWord* c = op(d, i);
        long exponent = i + 1 < n ? long(std::intptr_t(d[i + 1])) : 0;
        bool isO = c != nullptr && dag_type(c) == DAG_FUNCTION && is_name(op(c, 1), "O");
        // A negative number coefficient is written as "-" and its magnitude, so that the text
        // reads back as the same sum (a parenthesised one after a term would read as a call).
        bool negative = c != nullptr && is_negative_number(c);
        if (negative) out_char('-');
        else if (i > 2) out_char('+');
        // Powers are of the expansion expression: x, or (x-a) about a point a.
        if (isO) {
            orderTerm = true;
            order = exponent;
            out_text("O(");
            if (exponent == 0) {
                out_char('1');
            } else {
                print_dag(point, 10);
            }
        } else {
            if (negative) {
                SignFlip flip(c);
                print_dag(c, exponent == 0 ? 7 : 9);
            } else {
                print_dag(c, exponent == 0 ? 7 : 9);
            }
            if (exponent != 0) {
                out_char('*');
                print_dag(point, 10);
            }
        }
        if (exponent > 1 || (isO && exponent > 1)) {
            out_char('^');
            out_long(exponent);
        } else if (exponent < 0) {
            out_text("^(");
            out_long(exponent);
            out_char(')');
        }
        if (isO) out_char(')');
    }
    out_char(',');
    if (point != nullptr && dag_type(point) == DAG_SUM && variable != point) {
        print_dag(variable, 0);
        out_char('=');
        // The remaining terms of the point.
        std::size_t m = dag_length(point);
        std::size_t rest = 0;
        const DagWord* lone = nullptr;
        for (std::size_t i = 1; i + 1 < m; i += 2)
            if (op(point, i) != variable) { ++rest; lone = (is_one(op(point, i + 1)) ? op(point, i) : nullptr); }
        // The point itself where one term remains: x-a gives "a" (a negative number's
        // magnitude, or a term whose coefficient is -1).
        const DagWord* single = nullptr;
        const DagWord* singleCoefficient = nullptr;
        for (std::size_t i = 1; i + 1 < m; i += 2)
            if (op(point, i) != variable) { single = op(point, i); singleCoefficient = op(point, i + 1); }
        if (rest == 1 && is_one(singleCoefficient) && is_negative_number(single)) {
            SignFlip flip(single);
            print_dag(single, 4);
        } else if (rest == 1 && is_minus_one(singleCoefficient)) {
            print_dag(single, 4);
        } else if (rest == 1 && lone != nullptr) {
            out_char('-');
            print_dag(lone, 12);
        } else {
            out_char('-');
            Dag others = dag_new(1 + 2 * rest, DAG_SUM);
            std::size_t k = 1;
            for (std::size_t i = 1; i + 1 < m; i += 2) {
                if (op(point, i) == variable) continue;
                others[k++] = point[i];
                others[k++] = point[i + 1];
            }
            print_dag(others, 12);
        }
    } else {
        print_dag(point, 0);
    }
    if (orderTerm) {
        out_char(',');
        out_long(order);
    }
    out_char(')');
}

// ---- procedures ---------------------------------------------------------------------------------------
// The name a LOCAL, PARAM or LEXICAL stands for inside the procedure being printed, or null.
const DagWord* declared_name(const DagWord* list, std::intptr_t index) {
    if (list == nullptr || dag_type(list) != DAG_EXPSEQ || index < 1 ||
        std::size_t(index) >= dag_length(list))
        return nullptr;
    const DagWord* entry = dag_op(list, std::size_t(index));
    if (entry != nullptr && dag_type(entry) == DAG_DCOLON) entry = dag_op(entry, 1);
    return entry;
}

void print_indexed_word(const char* word, std::intptr_t index) {
    print_word(word);
    out_char('[');
    print_word(std::to_string(long(index)));
    out_char(']');
}

void print_section(const char* word, const DagWord* items) {
    if (items == nullptr || dag_is_null(items)) return;
    print_word(word);
    out_space_or_break();
    print_items(items, ", ");
    out_char(';');
    out_space_or_break();
}

void print_remember_table(const DagWord* table) {
    if (table == nullptr || dag_is_null(table) || pr.assignName == nullptr) return;
    const DagWord* hashtab = table;
    if (dag_type(table) == DAG_TABLE) hashtab = op(table, 3);
    if (hashtab == nullptr || dag_type(hashtab) != DAG_HASHTAB) return;
    for (std::size_t b = 1; b < dag_length(hashtab); ++b) {
        const DagWord* bucket = dag_op(hashtab, b);
        if (bucket == nullptr) continue;
        for (std::size_t i = 1; i + 1 < dag_length(bucket) && bucket[i] != 0; i += 2) {
            const DagWord* key = dag_op(bucket, i);
            out_char(';');
            out_char(' ');
            if (dag_type(key) == DAG_DCOLON) {
                print_dag(pr.assignName, 0);
                out_char('[');
                print_dag(op(key, 1), 0);
                out_char(']');
                out_char('(');
                print_items(op(key, 2), ",");
                out_char(')');
            } else {
                print_dag(pr.assignName, 0);
                out_char('(');
                print_items(key, ",");
                out_char(')');
            }
            out_space_or_break();
            out_text(":=");
            out_space_or_break();
            print_dag(dag_op(bucket, i + 1), 0);
        }
    }
}

void print_statements(const DagWord* body) {
    if (body == nullptr) return;
    if (dag_type(body) != DAG_STATSEQ) {
        print_dag(body, 0);
        return;
    }
    for (std::size_t i = 1; i < dag_length(body); ++i) {
        if (i > 1) {
            out_char(';');
            out_space_or_break();
        }
        print_dag(dag_op(body, i), 0);
    }
}

bool has_statements(const DagWord* body) {
    return body != nullptr && !(dag_type(body) == DAG_STATSEQ && dag_length(body) == 1) &&
           !dag_is_null(body);
}

void print_proc(const DagWord* d) {
    if (dag_length(d) < 6) unprintable();
    const DagWord* outerProc = pr.proc;
    const DagWord* assignName = pr.procNesting == 0 ? pr.assignName : nullptr;
    pr.proc = d;
    ++pr.procNesting;
    print_word("proc");
    out_space_or_break();
    out_char('(');
    print_items(op(d, 1), ", ");
    out_char(')');
    out_space_or_break();
    print_section("local", op(d, 2));
    const DagWord* globals = op(d, 7);
    print_section("global", globals);
    const DagWord* options = op(d, 3);
    if (options != nullptr && !dag_is_null(options))
        print_section(dag_type(options) == DAG_EXPSEQ && dag_length(options) > 2 ? "options" : "option",
                      options);
    print_section("description", op(d, 6));
    const DagWord* body = op(d, 5);
    print_statements(body);
    if (has_statements(body)) out_space_or_break();
    print_word("end");
    if (assignName != nullptr) {
        const DagWord* saved = pr.assignName;
        pr.assignName = assignName;
        print_remember_table(op(d, 4));
        pr.assignName = saved;
    }
    --pr.procNesting;
    pr.proc = outerProc;
}

// ---- the rest of the types -------------------------------------------------------------------------
void print_binary(const DagWord* d, int p, const char* op_text, bool spaced) {
    print_dag(op(d, 1), p);
    if (spaced) out_space_or_break();
    out_text(op_text);
    if (spaced) out_space_or_break();
    print_dag(op(d, 2), p);
}

void print_hfarray(const DagWord* d) {
    std::size_t n = dag_length(d);
    if (n < 3) unprintable();
    std::size_t count = std::size_t(d[2]);
    std::size_t dims = (n - 3) / 2;
    // Any empty range (high below low) makes the whole array empty. Its nested lists are printed
    // down to the first empty range; the ranges before it cost no data, so their lists are
    // limited to as many as a small array's elements.
    constexpr std::size_t kMaxEmptyLists = 65534;
    std::size_t product = dims > 0 ? 1 : 0;
    std::size_t lists = 1;
    bool tooManyLists = false;   // matters only when a later range turns out empty
    for (std::size_t k = 0; k < dims && product > 0; ++k) {
        std::intptr_t low = std::intptr_t(d[3 + 2 * k]), high = std::intptr_t(d[4 + 2 * k]);
        if (high < low) {
            product = 0;
        } else if (__builtin_mul_overflow(lists, std::size_t(high) - std::size_t(low) + 1, &lists) ||
                   lists > kMaxEmptyLists) {
            tooManyLists = true;
        }
    }
    if (product == 0 && tooManyLists) unprintable();
    for (std::size_t k = 0; k < dims && product > 0; ++k) {
        std::size_t extent = std::size_t(d[4 + 2 * k]) - std::size_t(d[3 + 2 * k]) + 1;
        // Bounds from outside can be huge: a product that wraps around could match the count
        // while the nested loops below walk far past the data.
        if (__builtin_mul_overflow(product, extent, &product) || product > count) unprintable();
    }
    if (product != count || (count > 0 && d[1] == 0)) unprintable();
    print_word("hfarray");
    out_char('(');
    for (std::size_t k = 0; k < dims; ++k) {
        print_word(std::to_string(long(std::intptr_t(d[3 + 2 * k]))));
        out_text("..");
        print_word(std::to_string(long(std::intptr_t(d[4 + 2 * k]))));
        out_char(',');
    }
    const double* data = hfarray_data(d);
    std::size_t index = 0;
    // Nested lists, first index slowest.
    auto emit = [&](auto&& self, std::size_t dim) -> void {
        out_char('[');
        // An empty range (high below low) is an empty list, not a wrapped-around huge extent.
        std::intptr_t low = std::intptr_t(d[3 + 2 * dim]), high = std::intptr_t(d[4 + 2 * dim]);
        std::size_t extent = high < low ? 0 : std::size_t(high) - std::size_t(low) + 1;
        for (std::size_t i = 0; i < extent; ++i) {
            if (i > 0) out_char(',');
            if (dim + 1 < dims) {
                self(self, dim + 1);
            } else {
                double v = data[index++];
                char buffer[64];
                if (std::isnan(v)) std::snprintf(buffer, sizeof buffer, "undefined");
                else if (std::isinf(v)) std::snprintf(buffer, sizeof buffer, v > 0 ? "infinity" : "-infinity");
                else std::snprintf(buffer, sizeof buffer, "%0.*g", 14, v);
                print_word(buffer);
            }
        }
        out_char(']');
    };
    if (dims > 0) emit(emit, 0);
    out_char(')');
}

void print_assign(const DagWord* d) {
    const DagWord* target = op(d, 1);
    const DagWord* value = op(d, 2);
    bool top = pr.depth == 1;
    bool protectedName = false;
    if (top && target != nullptr && dag_type(target) == DAG_NAME) {
        const DagWord* attrs = dag_op(target, 2);
        if (attrs != nullptr && is_name(attrs, "protected")) {
            protectedName = true;
            out_text("unprotect('");
            print_name_dag(target);
            out_text("'); ");
        }
    }
    const DagWord* savedAssign = pr.assignName;
    if (top && value != nullptr && dag_type(value) == DAG_PROC) pr.assignName = target;
    print_dag(target, 0);
    out_space_or_break();
    out_text(":=");
    out_space_or_break();
    if (value == target && pr.quoting == 0) {
        out_char('\'');
        print_dag(value, 0);
        out_char('\'');
    } else {
        print_dag(value, 0);
    }
    pr.assignName = savedAssign;
    if (protectedName) {
        out_text("; protect('");
        print_name_dag(target);
        out_text("')");
    } else if (top && pr.attributes && target != nullptr && dag_type(target) == DAG_NAME) {
        const DagWord* attrs = dag_op(target, 2);
        if (attrs != nullptr && !dag_is_null(attrs)) {
            out_text("; setattribute(");
            print_name_dag(target);
            out_char(',');
            print_dag(attrs, 0);
            out_char(')');
        }
    }
}

void print_for(const DagWord* d) {
    std::size_t n = dag_length(d);
    const DagWord* variable = op(d, 1);
    bool words = false;
    auto word = [&](const char* w) {
        if (words) out_space_or_break();
        print_word(w);
        out_space_or_break();
        words = true;
    };
    if (variable != nullptr && !dag_is_null(variable)) {
        word("for");
        print_dag(variable, 0);
    }
    const DagWord* condition = nullptr;
    const DagWord* body = nullptr;
    if (n == 5) {
        word("in");
        print_dag(op(d, 2), 0);
        condition = op(d, 3);
        body = op(d, 4);
    } else if (n == 7) {
        if (!is_one(op(d, 2))) { word("from"); print_dag(op(d, 2), 0); }
        if (!is_one(op(d, 3))) { word("by"); print_dag(op(d, 3), 0); }
        if (op(d, 4) != nullptr && !dag_is_null(op(d, 4))) { word("to"); print_dag(op(d, 4), 0); }
        condition = op(d, 5);
        body = op(d, 6);
    } else {
        unprintable();
    }
    if (condition != nullptr && !is_name(condition, "true")) { word("while"); print_dag(condition, 0); }
    word("do");
    print_statements(body);
    if (has_statements(body)) out_space_or_break();
    print_word("od");
}

void print_if(const DagWord* d) {
    std::size_t n = dag_length(d);
    std::size_t i = 1;
    for (; i + 1 < n; i += 2) {
        print_word(i == 1 ? "if" : "elif");
        out_space_or_break();
        print_dag(op(d, i), 0);
        out_space_or_break();
        print_word("then");
        out_space_or_break();
        print_statements(op(d, i + 1));
        out_space_or_break();
    }
    if (i < n) {
        print_word("else");
        out_space_or_break();
        print_statements(op(d, i));
        out_space_or_break();
    }
    print_word("fi");
}

void print_table(const DagWord* d) {
    const DagWord* indexing = op(d, 1);
    const DagWord* bounds = op(d, 2);
    print_word(is_name(bounds, "false") ? "table" : "array");
    out_char('(');
    if (indexing != nullptr && !dag_is_null(indexing)) {
        print_dag(indexing, 0);
        out_char(',');
    }
    if (bounds != nullptr && !dag_is_null(bounds) && !is_name(bounds, "false")) {
        print_dag(bounds, 0);
        out_char(',');
    }
    print_dag(op(d, 3), 0);
    out_char(')');
}

void print_hashtab(const DagWord* d) {
    out_char('[');
    bool first = true;
    for (std::size_t b = 1; b < dag_length(d); ++b) {
        const DagWord* bucket = dag_op(d, b);
        if (bucket == nullptr) continue;
        for (std::size_t i = 1; i + 1 < dag_length(bucket) && bucket[i] != 0; i += 2) {
            if (!first) out_char(',');
            first = false;
            out_char('(');
            print_dag(dag_op(bucket, i), 0);
            out_char(')');
            out_char('=');
            const DagWord* value = dag_op(bucket, i + 1);
            if (value != nullptr && dag_is_null(value)) print_word("NULL");
            else print_dag(value, 4);
        }
    }
    out_char(']');
}

bool wrap_attributes(const DagWord* d) {
    if (!pr.attributes) return false;
    unsigned t = dag_type(d);
    std::size_t n = dag_length(d);
    return ((t == DAG_FLOAT || t == DAG_TABLEREF || t == DAG_FUNCTION) && n == 4) ||
           ((t == DAG_LIST || t == DAG_SET) && n == 3);
}

void print_body(const DagWord* d, int a);

void print_dag(const DagWord* d, int a) {
    if (d == nullptr) return;
    if (pr.recursion >= PRINT_MAX_DEPTH) unprintable();
    unsigned type = dag_type(d);
    if (type == DAG_STOP) {
        print_word("quit");
        return;
    }
    if (dag_length(d) == 1) return;
    ++pr.recursion;
    ++pr.depth;
    if (precedence(type) < a) {
        out_char('(');
        print_body(d, 0);
        out_char(')');
    } else {
        print_body(d, a);
    }
    --pr.depth;
    --pr.recursion;
}

void print_body(const DagWord* d, int a) {
    unsigned type = dag_type(d);
    if (wrap_attributes(d)) {
        print_word("setattribute");
        out_char('(');
        // The same DAG without its attribute word.
        std::size_t n = dag_length(d);
        Dag bare = dag_new(n - 1, type);
        std::memcpy(bare + 1, d + 1, (n - 2) * sizeof(DagWord));
        print_body(bare, 0);
        out_char(',');
        print_dag(dag_op(d, n - 1), 0);
        out_char(')');
        return;
    }
    switch (type) {
    case DAG_INTNEG:
        if (a > 5) {
            out_char('(');
            print_word(dag_integer_to_text(d));
            out_char(')');
        } else {
            print_word(dag_integer_to_text(d));
        }
        return;
    case DAG_INTPOS:
        print_word(dag_integer_to_text(d));
        return;
    case DAG_RATIONAL: {
        bool negative = is_negative_number(d);
        if (negative && a > 5) out_char('(');
        print_dag(op(d, 1), 0);
        out_char('/');
        print_dag(op(d, 2), 9);
        if (negative && a > 5) out_char(')');
        return;
    }
    case DAG_FLOAT: print_float(d, a); return;
    case DAG_STRING: print_name(dag_text(d), '"', true); return;
    case DAG_NAME: print_name_dag(d); return;
    case DAG_TABLEREF:
        print_dag(op(d, 1), 11);
        out_char('[');
        print_items(op(d, 2), ",");
        out_char(']');
        return;
    case DAG_DCOLON: case DAG_POWER: case DAG_EQUATION: case DAG_INEQUAT: case DAG_LESSEQ:
    case DAG_LESSTHAN: case DAG_RANGE: {
        int p = precedence(type);
        if (a == p) {
            out_char('(');
            print_body(d, 0);
            out_char(')');
            return;
        }
        switch (type) {
        case DAG_DCOLON: print_binary(d, p, "::", false); break;
        case DAG_POWER: print_binary(d, p, "^", false); break;
        case DAG_EQUATION: print_binary(d, p, "=", true); break;
        case DAG_INEQUAT: print_binary(d, p, "<>", true); break;
        case DAG_LESSEQ: print_binary(d, p, "<=", true); break;
        case DAG_LESSTHAN: print_binary(d, p, "<", true); break;
        default: print_binary(d, p, "..", true); break;
        }
        return;
    }
    case DAG_AND: print_binary(d, 2, "and", true); return;
    case DAG_OR: print_binary(d, 1, "or", true); return;
    case DAG_CATENATE: {
        const DagWord* left = op(d, 1);
        const DagWord* right = op(d, 2);
        unsigned lt = left != nullptr ? dag_type(left) : 0;
        unsigned rt = right != nullptr ? dag_type(right) : 0;
        if (lt == DAG_NAME || lt == DAG_TABLEREF || lt == DAG_FUNCTION || lt == DAG_LOCAL ||
            lt == DAG_PARAM || lt == DAG_CATENATE)
            print_dag(left, 0);
        else
            parenthesised(left);
        out_char('.');
        if (rt == DAG_INTPOS || rt == DAG_LOCAL || rt == DAG_PARAM || rt == DAG_NAME)
            print_dag(right, 0);
        else
            parenthesised(right);
        return;
    }
    case DAG_PROD: print_prod(d, a); return;
    case DAG_SUM: print_sum(d, a); return;
    case DAG_SERIES: print_series(d); return;
    case DAG_FUNCTION: {
        const DagWord* f = op(d, 1);
        const DagWord* args = op(d, 2);
        if (is_name(f, "factorial") && args != nullptr && dag_type(args) == DAG_EXPSEQ &&
            dag_length(args) == 2) {
            print_dag(dag_op(args, 1), 11);
            out_char('!');
            return;
        }
        print_dag(f, 11);
        out_char('(');
        if (args != nullptr && dag_type(args) == DAG_EXPSEQ) print_items(args, ",");
        else print_dag(args, 100);
        out_char(')');
        return;
    }
    case DAG_UNEVAL:
        out_char('\'');
        print_dag(op(d, 1), 0);
        out_char('\'');
        return;
    case DAG_NOT:
        print_word("not");
        out_space_or_break();
        print_dag(op(d, 1), 3);
        return;
    case DAG_EXPSEQ:
        if (dag_length(d) == 2) {
            print_dag(dag_op(d, 1), a);
        } else {
            --pr.depth;
            print_items(d, ", ");
            ++pr.depth;
        }
        return;
    case DAG_LIST: case DAG_SET:
        out_char(type == DAG_LIST ? '[' : '{');
        print_items(op(d, 1), ", ");
        out_char(type == DAG_LIST ? ']' : '}');
        return;
    case DAG_LOCAL: {
        std::intptr_t index = dag_word(d, 1);
        const DagWord* name = pr.proc != nullptr ? declared_name(op(pr.proc, 2), index) : nullptr;
        if (name != nullptr) print_dag(name, 0);
        else print_indexed_word("loc", index);
        return;
    }
    case DAG_PARAM: {
        std::intptr_t index = dag_word(d, 1);
        if (index == -1) { print_word("args"); return; }
        if (index == 0) { print_word("nargs"); return; }
        if (index == -2) { print_word("procname"); return; }
        const DagWord* name = pr.proc != nullptr ? declared_name(op(pr.proc, 1), index) : nullptr;
        if (name != nullptr) print_dag(name, 0);
        else print_indexed_word("args", index);
        return;
    }
    case DAG_LEXICAL: {
        std::intptr_t index = dag_word(d, 1);
        std::intptr_t magnitude = index < 0 ? -index : index;
        const DagWord* table = pr.proc != nullptr ? op(pr.proc, 8) : nullptr;
        const DagWord* entry = nullptr;
        if (table != nullptr && dag_type(table) == DAG_EXPSEQ && magnitude >= 1 &&
            std::size_t(2 * magnitude) < dag_length(table)) {
            entry = dag_op(table, std::size_t(2 * magnitude));
            unsigned et = entry != nullptr ? dag_type(entry) : 0;
            if (et == DAG_LOCAL || et == DAG_PARAM || et == DAG_LEXICAL)
                entry = dag_op(table, std::size_t(2 * magnitude - 1));
        }
        if (entry != nullptr && dag_type(entry) == DAG_NAME) {
            print_dag(entry, 0);
        } else {
            print_word("lex");
            out_char('[');
            print_word(std::to_string(long(index)));
            out_char(']');
        }
        return;
    }
    case DAG_PROC: print_proc(d); return;
    case DAG_TABLE: print_table(d); return;
    case DAG_HFARRAY: print_hfarray(d); return;
    case DAG_ASSIGN: print_assign(d); return;
    case DAG_FOR: print_for(d); return;
    case DAG_IF: print_if(d); return;
    case DAG_READ: case DAG_SAVE:
        print_word(type == DAG_READ ? "read" : "save");
        out_space_or_break();
        print_dag(op(d, 1), 0);
        return;
    case DAG_STATSEQ: print_statements(d); return;
    case DAG_HASHTAB: print_hashtab(d); return;
    case DAG_DEBUG:
        print_word("DEBUG");
        out_char('(');
        for (std::size_t i = 1; i < dag_length(d); ++i) {
            if (i > 1) out_space_or_break();
            print_dag(dag_op(d, i), 0);
        }
        out_char(')');
        return;
    default:
        unprintable();
    }
}

void begin_print(DagSink sink, DagErrorSink errorSink, int width, unsigned flags, void* data) {
    out_set_sinks(sink, errorSink, printer_hook, width - 1, data);
    pr = Printer{};
    pr.proc = currentProcedure;
    if (flags & PRINT_RAW) pr.quoting = RAW;
    else if (flags & PRINT_TOP_UNQUOTED) pr.quoting = 1;
    pr.attributes = (flags & PRINT_ATTRIBUTES) != 0;
    pr.tildes = (flags & PRINT_TILDES) != 0;
}

template <typename Body>
void guarded(Body body) {
    try {
        TovuHandlerGuard guard;
        body();
    } catch (const TovuError& e) {
        out_error(e.message.c_str());
    }
}

}  // namespace

void print_set_current_procedure(const DagWord* proc) { currentProcedure = proc; }
const DagWord* print_current_procedure() { return currentProcedure; }

bool name_needs_quotes(const char* text) {
    if (text == nullptr || text[0] == '\0') return true;
    if (lang_keyword_index(text) >= 0) return true;
    auto letter = [](unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto digit = [](unsigned char c) { return c >= '0' && c <= '9'; };
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    const char* extra;
    if (letter(p[0]) || p[0] == '_') extra = "_%";
    else if (p[0] == '%') extra = "_%$?";
    else if (p[0] == '~') extra = "$_";
    else return true;
    for (++p; *p != 0; ++p)
        if (!letter(*p) && !digit(*p) && std::strchr(extra, *p) == nullptr) return true;
    return false;
}

void print_expression(const DagWord* dag, DagSink sink, DagErrorSink errorSink, int width,
                      unsigned flags, void* data) {
    begin_print(sink, errorSink, width, flags, data);
    guarded([&] { print_dag(dag, 0); });
}

void print_sequence(const DagWord* dag, const char* separator, DagSink sink, DagErrorSink errorSink,
                    int width, unsigned flags, void* data) {
    begin_print(sink, errorSink, width, flags, data);
    guarded([&] { print_items(dag, separator != nullptr ? separator : ", "); });
}

namespace {
struct TextSink {
    std::string text;
    std::string error;
};
void text_sink(void* data, int c) { static_cast<TextSink*>(data)->text.push_back(char(c)); }
void text_error(void* data, const char* message) { static_cast<TextSink*>(data)->error = message; }
}  // namespace

std::string print_to_text(const DagWord* dag, unsigned flags, int width, std::string* error) {
    TextSink s;
    print_expression(dag, text_sink, text_error, width, flags, &s);
    if (error != nullptr) *error = s.error;
    return s.text;
}
