// The expression printer (see printer.h).
#include "tools/vetlin/printer.h"

#include <string>

#include "tools/vetlin/known.h"
#include "tools/vetlin/lexer.h"
#include "tools/vetlin/writer.h"

namespace {

constexpr const char* kUnable = "----unable to print----";

// Where the printed text goes: the line writer, or a string (printer_text).
std::string* capture = nullptr;

void put(const std::string& text) {
    if (capture != nullptr) *capture += text;
    else writer_write(text.c_str());
}

int precedence(unsigned type) {
    switch (type) {
    case DAG_OR: return 1;
    case DAG_AND: return 2;
    case DAG_NOT: return 3;
    case DAG_EQUATION: case DAG_INEQUAT: case DAG_LESSEQ: case DAG_LESSTHAN: case DAG_HASH: return 4;
    case DAG_RANGE: return 5;
    case DAG_SERIES: return 6;
    case DAG_SUM: return 7;
    case DAG_INTNEG: return 8;
    case DAG_RATIONAL: case DAG_PROD: return 9;
    case DAG_POWER: return 10;
    case DAG_FLOAT: case DAG_TABLEREF: case DAG_DCOLON: case DAG_FUNCTION: return 11;
    case DAG_INTPOS: case DAG_STRING: case DAG_NAME: case DAG_CATENATE: case DAG_LIST: case DAG_LOCAL:
    case DAG_PARAM: case DAG_PROC: case DAG_SET: return 12;
    default: return 0;
    }
}

bool is(const VWord* o, unsigned type) { return o != nullptr && vl_type(o) == type; }

bool is_integer_value(const VWord* o, long value) {
    if (!vl_is_integer(o) || vl_length(o) > 3) return false;
    long v = 0;
    for (long i = vl_length(o) - 1; i >= 1; --i) v = v * 10000 + long(o[i]);
    return (is(o, DAG_INTNEG) ? -v : v) == value;
}

std::string escaped(const char* text) {
    std::string s;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        switch (*p) {
        case 7: s += "\\a"; break;
        case 8: s += "\\b"; break;
        case 9: s += "\\t"; break;
        case 10: s += "\\n"; break;
        case 11: s += "\\v"; break;
        case 12: s += "\\f"; break;
        case 13: s += "\\r"; break;
        case 27: s += "\\e"; break;
        default: s += char(*p);
        }
    }
    return s;
}

// Digits of an integer's magnitude.
std::string magnitude(const VWord* o) { return lexer_decimal(o); }

bool negative(const VWord* o) {
    if (is(o, DAG_INTNEG)) return true;
    if (is(o, DAG_RATIONAL)) return is(vl_op(o, 1), DAG_INTNEG);
    if (is(o, DAG_FLOAT)) return is(vl_op(o, 1), DAG_INTNEG);
    return false;
}

void print(const VWord* o, int context);

void print_sequence(const VWord* sequence, const char* open, const char* separator, const char* close) {
    put(open);
    if (is(sequence, DAG_EXPSEQ) || is(sequence, DAG_STATSEQ)) {
        for (long i = 1; i < vl_length(sequence); ++i) {
            if (i > 1) put(separator);
            print(vl_op(sequence, i), 0);
        }
    } else if (sequence != nullptr) {
        print(sequence, 0);
    }
    put(close);
}

void print_binary(const VWord* o, const char* op, int p) {
    print(vl_op(o, 1), p);
    put(op);
    print(vl_op(o, 2), p);
}

void print_float(const VWord* o, int context) {
    const VWord* mantissa = vl_op(o, 1);
    const VWord* exponent = vl_op(o, 2);
    auto general = [&] {
        put("Float(");
        print(mantissa, 0);
        put(", ");
        print(exponent, 0);
        put(")");
    };
    if (!vl_is_integer(mantissa) || !vl_is_integer(exponent) || vl_length(exponent) > 3) {
        general();
        return;
    }
    const std::string digits = magnitude(mantissa);
    long e = 0;
    for (long i = vl_length(exponent) - 1; i >= 1; --i) e = e * 10000 + long(exponent[i]);
    if (is(exponent, DAG_INTNEG)) e = -e;
    if (e > 0 || -e > long(digits.size())) {
        general();
        return;
    }
    const bool minus = is(mantissa, DAG_INTNEG);
    const bool parens = minus && context >= 9;
    std::string text = digits;
    text.insert(text.size() - std::size_t(-e), ".");
    put((parens ? "(" : "") + std::string(minus ? "-" : "") + text + (parens ? ")" : ""));
}

// A product; `bareFirst`: a negative first factor prints without its parentheses (the product
// stands after a "-" of its own in a sum).
void print_product(const VWord* o, bool bareFirst) {
    for (long i = 1; i + 1 < vl_length(o); i += 2) {
        const VWord* factor = vl_op(o, i);
        const VWord* exponent = vl_op(o, i + 1);
        const bool first = i == 1;
        const int factorContext = first && bareFirst ? 0 : 10;
        if (is_integer_value(exponent, 1)) {
            if (!first) put("*");
            print(factor, factorContext);
        } else if (is(exponent, DAG_INTNEG)) {
            put(first ? "1/" : "/");
            print(factor, 10);
            if (!is_integer_value(exponent, -1)) put("**" + magnitude(exponent));
        } else {
            if (!first) put("*");
            print(factor, factorContext);
            put("**");
            print(exponent, 10);
        }
    }
}

// Whether a sum's term prints beginning with a minus (it then needs no "+" before it).
bool begins_with_minus(const VWord* term) {
    if (negative(term) && !is(term, DAG_RATIONAL)) return true;
    return is(term, DAG_PROD) && vl_length(term) >= 3 && negative(vl_op(term, 1)) &&
           is_integer_value(vl_op(term, 2), 1) && !is(vl_op(term, 1), DAG_RATIONAL);
}

void print_term(const VWord* term, int context) {
    if (is(term, DAG_PROD)) {
        const bool parens = precedence(DAG_PROD) < context;
        if (parens) put("(");
        print_product(term, begins_with_minus(term));
        if (parens) put(")");
    } else if (begins_with_minus(term)) {
        print(term, 0);
    } else {
        print(term, context);
    }
}

void print_sum(const VWord* o) {
    for (long i = 1; i + 1 < vl_length(o); i += 2) {
        const VWord* term = vl_op(o, i);
        const VWord* coefficient = vl_op(o, i + 1);
        const bool first = i == 1;
        if (is_integer_value(coefficient, 1)) {
            if (!first && !begins_with_minus(term)) put("+");
            print_term(term, 7);
        } else if (is_integer_value(coefficient, -1)) {
            put("-");
            print(term, 8);
        } else {
            if (!first && !negative(coefficient)) put("+");
            print(coefficient, 0);
            put("*");
            print(term, 9);
        }
    }
}

// SERIES(x, coefficient, order, ...): the orders are raw machine integers.
void print_series(const VWord* o) {
    const VWord* x = vl_op(o, 1);
    for (long i = 2; i + 1 < vl_length(o); i += 2) {
        const VWord* coefficient = vl_op(o, i);
        const long n = long(std::intptr_t(o[i + 1]));
        if (i > 2) put("+");
        const std::string power = n < 0 ? "**(" + std::to_string(n) + ")" : "**" + std::to_string(n);
        if (is(coefficient, DAG_NAME) && std::string(vl_name_text(coefficient)) == "O") {
            put("O(");
            print(x, 10);
            put(power);
            put(")");
            continue;
        }
        print(coefficient, 9);
        if (n == 0) continue;
        put("*");
        print(x, 10);
        put(power);
    }
}

void print_for(const VWord* o) {
    const long length = vl_length(o);
    auto present = [](const VWord* part) { return part != nullptr && !(is(part, DAG_EXPSEQ) && vl_length(part) == 1); };
    put("for ");
    print(vl_op(o, 1), 0);
    if (length == 7) {
        const char* words[] = {" from ", " by ", " to "};
        for (long i = 2; i <= 4; ++i) {
            if (!present(vl_op(o, i))) continue;
            put(words[i - 2]);
            print(vl_op(o, i), 0);
        }
    } else if (length >= 3) {
        put(" in ");
        print(vl_op(o, 2), 0);
    }
    const VWord* condition = vl_op(o, length == 7 ? 5 : 3);
    if (present(condition) && !(is(condition, DAG_NAME) && std::string(vl_name_text(condition)) == "true")) {
        put(" while ");
        print(condition, 0);
    }
    put(" do ");
    print(vl_op(o, length - 1), 0);
    put(" od");
}

void print_if(const VWord* o) {
    const long length = vl_length(o);
    for (long i = 1; i < length; i += 2) {
        if (i == length - 1) {
            put(" else ");
            print(vl_op(o, i), 0);
            break;
        }
        put(i == 1 ? "if " : " elif ");
        print(vl_op(o, i), 0);
        put(" then ");
        print(vl_op(o, i + 1), 0);
    }
    put(" fi");
}

void print_proc(const VWord* o) {
    put("proc (");
    print_sequence(vl_op(o, 1), "", ", ", "");
    put(") ");
    const VWord* locals = vl_op(o, 2);
    if (is(locals, DAG_LIST)) locals = vl_op(locals, 1);
    if (is(locals, DAG_EXPSEQ) && vl_length(locals) > 1) print_sequence(locals, "local ", ", ", "; ");
    const VWord* options = vl_op(o, 3);
    if (is(options, DAG_EXPSEQ) && vl_length(options) > 1) print_sequence(options, "options ", ", ", "; ");
    print(vl_op(o, 5), 0);
    put(" end");
}

void print_pairs(const VWord* hash) {
    for (long i = 1; i + 1 < vl_length(hash) && hash[i] != 0; i += 2) {
        if (i > 1) put(",");
        put(std::to_string(long(hash[i])) + "=");
        print(vl_op(hash, i + 1), 0);
    }
}

void print(const VWord* o, int context) {
    if (o == nullptr) {
        put(kUnable);
        return;
    }
    const unsigned type = vl_type(o);
    if (type == DAG_INTNEG) {
        const bool parens = context >= 6;
        put((parens ? "(-" : "-") + magnitude(o) + (parens ? ")" : ""));
        return;
    }
    if (type == DAG_FLOAT) {
        print_float(o, context);
        return;
    }
    const int p = precedence(type);
    if (p < context || (type == DAG_RATIONAL && negative(o) && context >= 6)) {
        put("(");
        print(o, 0);
        put(")");
        return;
    }
    switch (type) {
    case DAG_INTPOS: put(magnitude(o)); break;
    case DAG_RATIONAL:
        print(vl_op(o, 1), 0);
        put("/");
        print(vl_op(o, 2), 12);
        break;
    case DAG_STRING: put("\"" + escaped(vl_string_text(o)) + "\""); break;
    case DAG_NAME: {
        const char* text = vl_name_text(o);
        if (text[0] == '\0' || known_needs_backquotes(text)) put("`" + escaped(text) + "`");
        else put(text);
        break;
    }
    case DAG_TABLEREF:
        print(vl_op(o, 1), 11);
        print_sequence(vl_op(o, 2), "[", ",", "]");
        break;
    case DAG_DCOLON: print_binary(o, "::", p); break;
    case DAG_CATENATE: print_binary(o, " . ", p); break;
    case DAG_POWER: print_binary(o, " ** ", p); break;
    case DAG_EQUATION: print_binary(o, " = ", p); break;
    case DAG_INEQUAT: print_binary(o, " <> ", p); break;
    case DAG_LESSEQ: print_binary(o, " <= ", p); break;
    case DAG_LESSTHAN: print_binary(o, " < ", p); break;
    case DAG_AND: print_binary(o, " and ", p); break;
    case DAG_OR: print_binary(o, " or ", p); break;
    case DAG_RANGE: print_binary(o, " .. ", p); break;
    case DAG_ASSIGN: print_binary(o, " := ", p); break;
    case DAG_NOT:
        put("not ");
        print(vl_op(o, 1), p);
        break;
    case DAG_PROD: print_product(o, false); break;
    case DAG_SUM: print_sum(o); break;
    case DAG_SERIES: print_series(o); break;
    case DAG_FUNCTION: {
        const VWord* f = vl_op(o, 1);
        const VWord* arguments = vl_op(o, 2);
        if (is(f, DAG_NAME) && std::string(vl_name_text(f)) == "factorial" &&
            !(is(arguments, DAG_EXPSEQ) && vl_length(arguments) != 2)) {
            print(is(arguments, DAG_EXPSEQ) ? vl_op(arguments, 1) : arguments, 12);
            put("!");
            break;
        }
        print(f, 12);
        print_sequence(arguments, "(", ",", ")");
        break;
    }
    case DAG_UNEVAL:
        put("'");
        print(vl_op(o, 1), 0);
        put("'");
        break;
    case DAG_EXPSEQ: print_sequence(o, "", ", ", ""); break;
    case DAG_LIST: print_sequence(vl_op(o, 1), "[", ", ", "]"); break;
    case DAG_SET: print_sequence(vl_op(o, 1), "{", ", ", "}"); break;
    case DAG_LOCAL: put("loc[" + std::to_string(long(o[1])) + "]"); break;
    case DAG_PARAM: {
        const long index = long(std::intptr_t(o[1]));
        put(index == -1 ? "args" : index == 0 ? "nargs" : index == -2 ? "procname" : "args[" + std::to_string(index) + "]");
        break;
    }
    case DAG_PROC: print_proc(o); break;
    case DAG_FOR: print_for(o); break;
    case DAG_IF: print_if(o); break;
    case DAG_READ:
        put("read ");
        print(vl_op(o, 1), 0);
        break;
    case DAG_SAVE:
        put("save ");
        print_sequence(vl_op(o, 1), "", ", ", "");
        break;
    case DAG_STATSEQ: print_sequence(o, "", "; ", ""); break;
    case DAG_STOP: put("quit"); break;
    case DAG_TABLE:
        put("table(");
        for (long i = 1; i < vl_length(o); ++i) {
            if (i > 1) put(", ");
            print(vl_op(o, i), 0);
        }
        put(")");
        break;
    case DAG_HASH:
        put("[");
        print_pairs(o);
        put("]");
        break;
    case DAG_HASHTAB: {
        put("[");
        bool any = false;
        for (long i = 1; i < vl_length(o); ++i) {
            const VWord* bucket = vl_op(o, i);
            if (bucket == nullptr || !is(bucket, DAG_HASH) || bucket[1] == 0) continue;
            if (any) put(",");
            print_pairs(bucket);
            any = true;
        }
        put("]");
        break;
    }
    case VL_USAGE: print(vl_op(o, 2), context); break;
    default: put(kUnable);
    }
}

}  // namespace

void printer_print(const VWord* o, int context) { print(o, context); }

std::string printer_text(const VWord* o) {
    std::string text;
    std::string* outer = capture;
    capture = &text;
    print(o, 0);
    capture = outer;
    return text;
}
