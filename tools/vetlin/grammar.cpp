// The objects of the checker's grammar (see grammar.h).
#include "tools/vetlin/grammar.h"

#include <algorithm>
#include <unordered_map>

#include "tools/vetlin/lexer.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/tokens.h"

VObj gramResult = nullptr;

namespace {

// Depth of the trees built for the current statement (leaves are 0), and the digit counts of
// the numbers read, which a fraction needs.
std::unordered_map<VWord, int> depths;
std::unordered_map<VWord, long> digitCounts;

VObj obj(VWord w) { return reinterpret_cast<VObj>(w); }
VWord word(const VWord* o) { return reinterpret_cast<VWord>(o); }

int depth_of(VWord w) {
    const auto it = depths.find(w);
    return it == depths.end() ? 0 : it->second;
}

// Records the depth of an object built from `operands`; a tree deeper than the parser's stack
// is refused.
VWord deep(VWord o, int below) {
    const int depth = below + 1;
    if (depth > VL_PARSE_DEPTH) {
        lexer_syntax_error("yacc stack overflow");
        throw GrammarAbort{};
    }
    depths[o] = depth;
    return o;
}

bool is(VWord w, unsigned type) { return w != 0 && vl_type(obj(w)) == type; }

VWord integer(long value) { return word(store_integer(value)); }

}  // namespace

void gram_begin() {
    depths.clear();
    digitCounts.clear();
    gramResult = nullptr;
}

int gram_next_token(VWord* value, int* line) {
    int token = lexer_next_token();
    if (token == 0) token = 127;   // a NUL byte: a character the grammar has no use for
    *value = lexerValue;
    *line = int(std::min(storeLine, long(VL_MAX_LINE)));
    if (token == TOK_INTEGER) digitCounts[lexerValue] = lexerDigits;
    if (token == TOK_EXPONENT) digitCounts[word(vl_op(obj(lexerValue), 1))] = lexerDigits;
    return token;
}

void gram_error(const char* message) { lexer_syntax_error(message); }

VWord gram_node(unsigned type, std::initializer_list<VWord> operands, long first) {
    VObj o = store_new(long(operands.size()) + 1, type);
    int below = 0;
    long i = 1;
    for (VWord w : operands) {
        o[i++] = w;
        below = std::max(below, depth_of(w));
    }
    vl_set_lines(o, first, first);
    return deep(word(o), below);
}

VWord gram_lines(VWord object, long first, long last) {
    // Names and numbers are shared or constant: their prefix words stay as they are.
    if (object != 0 && !is(object, DAG_NAME) && object != word(vl.null)) vl_set_lines(obj(object), first, last);
    return object;
}

VWord gram_seq(VWord x) {
    if (is(x, DAG_EXPSEQ)) return x;
    return gram_node(DAG_EXPSEQ, {x}, 0);
}

VWord gram_seq_append(VWord sequence, VWord x) {
    if (!is(sequence, DAG_EXPSEQ) || sequence == word(vl.null))
        return gram_node(DAG_EXPSEQ, {sequence, x}, 0);
    const int below = std::max(depth_of(sequence) - 1, depth_of(x));
    VObj grown = store_append1(obj(sequence), obj(x));
    return deep(word(grown), below);
}

VWord gram_call(VWord name, VWord arguments, long first) {
    return gram_node(DAG_FUNCTION, {name, gram_seq(arguments)}, first);
}

VWord gram_predefined(int index) { return word(vl.predefined[index]); }

VWord gram_sum(VWord x, VWord y, long coefficient, long first) {
    if (is(x, DAG_SUM)) {
        const int below = std::max(depth_of(x) - 1, depth_of(y));
        return deep(word(store_append2(obj(x), obj(y), obj(integer(coefficient)))), below);
    }
    return gram_node(DAG_SUM, {x, integer(1), y, integer(coefficient)}, first);
}

VWord gram_negate(VWord y, long first) { return gram_node(DAG_SUM, {y, integer(-1)}, first); }

VWord gram_product(VWord x, VWord y, long coefficient, long first) {
    if (!is(x, DAG_PROD)) return gram_node(DAG_PROD, {x, integer(1), y, integer(coefficient)}, first);
    // A one-term product on the right of "*" (y^2) joins as its own pair.
    VWord term = y;
    VWord power = integer(coefficient);
    if (coefficient == 1 && is(y, DAG_PROD) && vl_length(obj(y)) == 3) {
        term = obj(y)[1];
        power = obj(y)[2];
    }
    const int below = std::max(depth_of(x) - 1, depth_of(y));
    return deep(word(store_append2(obj(x), obj(term), obj(power))), below);
}

VWord gram_power(VWord a, VWord b, long first) {
    if (b != 0 && vl_type(obj(b)) <= DAG_RATIONAL && vl_type(obj(b)) != 0)
        return gram_node(DAG_PROD, {a, b}, first);
    return gram_node(DAG_POWER, {a, b}, first);
}

VWord gram_relation(long kind, VWord a, VWord b, long first) {
    if (kind < 0) return gram_node(unsigned(-kind >> 13), {b, a}, first);
    return gram_node(unsigned(kind >> 13), {a, b}, first);
}

VWord gram_float(VWord integerPart, VWord fraction, long first) {
    VWord whole = integerPart != 0 ? integerPart : word(vl.zero);
    VWord digits = fraction;
    long exponent = 0;
    if (is(fraction, DAG_FLOAT)) {
        digits = obj(fraction)[1];
        exponent = store_to_integer(obj(obj(fraction)[2]));
    }
    long count = 0;
    VObj mantissa;
    if (digits == 0) {
        mantissa = obj(whole);
    } else {
        const auto it = digitCounts.find(digits);
        count = it == digitCounts.end() ? long(lexer_decimal(obj(digits)).size()) : it->second;
        mantissa = lexer_fraction_mantissa(obj(whole), obj(digits), count);
    }
    return gram_node(DAG_FLOAT, {word(mantissa), integer(exponent - count)}, first);
}

VWord gram_loop_clauses() { return gram_node(DAG_FOR, {0, 0, 0, 0, 0, 0}, storeLine); }

VWord gram_loop_clause(VWord loop, int operand, VWord value, const char* repeated) {
    if (obj(loop)[operand] != 0) {
        gram_error(repeated);
        return loop;
    }
    obj(loop)[operand] = value;
    depths[loop] = std::max(depth_of(loop), depth_of(value) + 1);
    return deep(loop, depth_of(loop) - 1);
}

VWord gram_loop(VWord variable, VWord clauses, VWord body, long first) {
    VObj loop = obj(clauses);
    loop[1] = variable;
    if (loop[2] == 0) loop[2] = integer(1);
    if (loop[3] == 0) loop[3] = integer(1);
    if (loop[4] == 0) loop[4] = word(vl.null);
    if (loop[5] == 0) loop[5] = gram_predefined(VL_PRE_TRUE);
    loop[6] = body;
    vl_set_lines(loop, first, storeLine);
    return deep(clauses, std::max({depth_of(clauses) - 1, depth_of(variable), depth_of(body)}));
}

VWord gram_loop_in(VWord variable, VWord in, VWord condition, VWord body, long first) {
    return gram_lines(gram_node(DAG_FOR, {variable, in, condition, body}, first), first, storeLine);
}

VWord gram_if(VWord condition, VWord body, long first) {
    return gram_node(DAG_IF, {condition, body}, first);
}

VWord gram_if_append(VWord statement, VWord a, VWord b) {
    const int below = std::max({depth_of(statement) - 1, depth_of(a), depth_of(b)});
    VObj grown = store_append1(obj(statement), obj(a));
    if (b != 0) grown = store_append1(grown, obj(b));
    return deep(word(grown), below);
}

VWord gram_statseq(VWord left, VWord statement) {
    if (statement == word(vl.null)) return left;
    if (left == word(vl.null)) return statement;
    if (is(left, DAG_STATSEQ)) {
        const int below = std::max(depth_of(left) - 1, depth_of(statement));
        return deep(word(store_append1(obj(left), obj(statement))), below);
    }
    return gram_node(DAG_STATSEQ, {left, statement}, vl_first_line(obj(left)));
}

VWord gram_statement(VWord expression, long first) {
    if (!is(expression, DAG_NAME)) return expression;
    const VObj name = obj(expression);
    VObj own = store_plain_name(vl_name_text(name));
    vl_set_lines(own, first, first);
    vl_set_backquoted(own, vl_backquoted(name));
    return word(own);
}

VWord gram_proc_head(VWord parameters, long first) {
    const VWord null = word(vl.null);
    VWord locals = gram_node(DAG_LIST, {word(store_new(1, DAG_EXPSEQ))}, first);
    return gram_node(DAG_PROC, {parameters, locals, null, null, null, null, null, null}, first);
}

VWord gram_proc_part(VWord proc, int part, VWord list, const char* repeated) {
    VObj p = obj(proc);
    if (part == 2) {
        VObj locals = vl_op(p, 2);
        if (vl_length(vl_op(locals, 1)) != 1) gram_error(repeated);
        else locals[1] = list;
    } else if (p[part] != word(vl.null)) {
        gram_error(repeated);
    } else {
        p[part] = list;
    }
    return deep(proc, std::max(depth_of(proc) - 1, depth_of(list) + 1));
}

VWord gram_proc_end(VWord proc, VWord body) {
    obj(proc)[5] = body;
    vl_set_lines(obj(proc), vl_first_line(obj(proc)), storeLine);
    return deep(proc, std::max(depth_of(proc) - 1, depth_of(body)));
}

VWord gram_arrow(VWord parameters, VWord body, long first) {
    const VWord null = word(vl.null);
    VWord options = gram_node(DAG_EXPSEQ, {gram_predefined(VL_PRE_OPERATOR), gram_predefined(VL_PRE_ARROW)}, first);
    VWord locals = gram_node(DAG_LIST, {word(store_new(1, DAG_EXPSEQ))}, first);
    VWord params = parameters == null ? null : gram_seq(parameters);
    return gram_node(DAG_PROC, {params, locals, options, null, body, null, null, null}, first);
}

VWord gram_end_of_input(bool afterError) {
    (void)afterError;
    return word(store_make(VL_END_OF_INPUT, word(vl.one)));
}

VWord gram_stop(long first) { return gram_node(DAG_STOP, {}, first); }
