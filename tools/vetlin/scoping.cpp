// Procedure scoping (see scoping.h).
#include "tools/vetlin/scoping.h"

#include <cstring>
#include <vector>

#include "tools/vetlin/run.h"

namespace {

// The procedures being simplified, innermost last.
std::vector<VObj> chain;

bool is_name(const VWord* o) { return o != nullptr && vl_type(o) == DAG_NAME; }

bool in_sequence(const VWord* sequence, const VWord* name) {
    if (sequence == nullptr || vl_type(sequence) != DAG_EXPSEQ) return false;
    for (long i = 1; i < vl_length(sequence); ++i)
        if (scoping_same_name(vl_op(sequence, i), name)) return true;
    return false;
}

// Position of the name among a sequence's elements (1 on), or 0.
long position_in(const VWord* sequence, const VWord* name) {
    if (sequence == nullptr || vl_type(sequence) != DAG_EXPSEQ) return 0;
    for (long i = 1; i < vl_length(sequence); ++i)
        if (scoping_same_name(vl_op(sequence, i), name)) return i;
    return 0;
}

// Position in a scoped list of pairs (1 on, counting pairs), or 0.
long scoped_position(const VWord* scoped, const VWord* name) {
    if (scoped == nullptr || vl_type(scoped) != DAG_EXPSEQ) return 0;
    for (long i = 1; i + 1 < vl_length(scoped); i += 2)
        if (scoping_same_name(vl_op(scoped, i), name)) return (i + 1) / 2;
    return 0;
}

bool is_option(const VWord* options, int predefined) {
    if (options == nullptr || vl_type(options) != DAG_EXPSEQ) return false;
    return in_sequence(options, vl.predefined[predefined]);
}

// The name's position in an enclosing procedure: true when found (a parameter, local or scoped
// name); `global` when the procedure declares it global.
bool resolve_in(const VWord* proc, const VWord* name, long& position, bool& global) {
    if (in_sequence(vl_op(proc, 7), name)) {
        global = true;
        return false;
    }
    if (long p = position_in(vl_op(proc, 1), name)) {
        position = -p;
        return true;
    }
    if (long p = position_in(vl_op(proc, 2), name)) {
        position = p;
        return true;
    }
    if (long p = scoped_position(vl_op(proc, 8), name)) {
        position = p;
        return true;
    }
    return false;
}

// Resolves the name along the chain (innermost first): its position, or false.
bool resolve_outward(const VWord* name, long& position) {
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        bool global = false;
        if (resolve_in(*it, name, position, global)) return true;
        if (global) return false;
    }
    return false;
}

bool own_name(const VWord* proc, const VWord* name) {
    return in_sequence(vl_op(proc, 1), name) || in_sequence(vl_op(proc, 2), name) ||
           scoped_position(vl_op(proc, 8), name) != 0;
}

void collect_scoped(VObj proc, const VWord* o) {
    if (o == nullptr) return;
    const unsigned type = vl_type(o);
    switch (type) {
    case DAG_NAME: {
        if (in_sequence(vl_op(proc, 7), o) || own_name(proc, o) ||
            scoping_environment_name(vl_name_text(o)))
            return;
        long position = 0;
        if (resolve_outward(o, position)) {
            VObj scoped = store_append2(vl_op(proc, 8), o, store_integer(position));
            vl_set_op(proc, 8, scoped);
        }
        return;
    }
    case DAG_INTPOS: case DAG_INTNEG: case DAG_RATIONAL: case DAG_FLOAT: case DAG_STRING:
    case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL: case DAG_PROC: case DAG_TABLE:
    case DAG_HASH: case DAG_HASHTAB: case DAG_STOP: case 0:
        return;
    default:
        if (type > DAG_GARBAGE) return;
        for (long i = 1; i < vl_length(o); ++i) collect_scoped(proc, vl_op(o, i));
    }
}

void collect_names(const VWord* o, VObj& names) {
    if (o == nullptr) return;
    const unsigned type = vl_type(o);
    if (type == DAG_NAME) {
        if (!in_sequence(names, o)) names = store_append1(names, o);
        return;
    }
    if (type == DAG_INTPOS || type == DAG_INTNEG || type == DAG_STRING || type == DAG_STOP ||
        type == DAG_PROC || type == 0 || type > DAG_GARBAGE)
        return;
    for (long i = 1; i < vl_length(o); ++i) collect_names(vl_op(o, i), names);
}

void add_implicit(VObj proc, const VWord* target) {
    if (target == nullptr) return;
    if (vl_type(target) == DAG_TABLEREF) target = vl_op(target, 1);
    if (!is_name(target)) return;
    if (in_sequence(vl_op(proc, 7), target) || own_name(proc, target) ||
        scoping_environment_name(vl_name_text(target)))
        return;
    long position = 0;
    if (resolve_outward(target, position)) return;
    vl_set_op(proc, 2, store_append1(vl_op(proc, 2), target));
}

void collect_implicit(VObj proc, const VWord* s) {
    if (s == nullptr) return;
    switch (vl_type(s)) {
    case DAG_ASSIGN: {
        const VWord* target = vl_op(s, 1);
        if (vl_type(target) == DAG_EXPSEQ) {
            for (long i = 1; i < vl_length(target); ++i) add_implicit(proc, vl_op(target, i));
        } else {
            add_implicit(proc, target);
        }
        return;
    }
    case DAG_FOR:
        add_implicit(proc, vl_op(s, 1));
        collect_implicit(proc, vl_op(s, vl_length(s) - 1));
        return;
    case DAG_IF:
        for (long i = 2; i < vl_length(s); i += 2) collect_implicit(proc, vl_op(s, i));
        if (vl_length(s) % 2 == 0) collect_implicit(proc, vl_op(s, vl_length(s) - 1));
        return;
    case DAG_STATSEQ:
        for (long i = 1; i < vl_length(s); ++i) collect_implicit(proc, vl_op(s, i));
        return;
    default:
        return;
    }
}

// A fresh growable EXPSEQ with the elements of `sequence`.
VObj growable_copy(const VWord* sequence) {
    VObj copy = store_sequence(10, DAG_EXPSEQ);
    if (sequence != nullptr && vl_type(sequence) == DAG_EXPSEQ)
        for (long i = 1; i < vl_length(sequence); ++i) copy = store_append1(copy, vl_op(sequence, i));
    return copy;
}

VObj plain_copy(const VWord* sequence) {
    VObj copy = store_new(1, DAG_EXPSEQ);
    if (sequence != nullptr && vl_type(sequence) == DAG_EXPSEQ && vl_length(sequence) > 1) {
        copy = store_enlarge(copy, vl_length(sequence) - 1);
        for (long i = 1; i < vl_length(sequence); ++i) vl_set_op(copy, i, vl_op(sequence, i));
    }
    return copy;
}

}  // namespace

bool scoping_environment_name(const char* text) {
    static const char* const names[] = {"Digits", "Order", "mod", "Testzero", "Normalizer", "printlevel"};
    for (const char* n : names)
        if (std::strcmp(text, n) == 0) return true;
    return std::strncmp(text, "_Env", 4) == 0;
}

const VWord* scoping_declared_name(const VWord* o) {
    if (o != nullptr && vl_type(o) == DAG_DCOLON && vl_length(o) > 1) o = vl_op(o, 1);
    return is_name(o) ? o : nullptr;
}

bool scoping_same_name(const VWord* a, const VWord* b) {
    a = scoping_declared_name(a);
    b = scoping_declared_name(b);
    return a != nullptr && b != nullptr && (a == b || std::strcmp(vl_name_text(a), vl_name_text(b)) == 0);
}

void scoping_reset() { chain.clear(); }

void scoping_simplify_proc(VObj proc) {
    if (vl_length(proc) < 9) {
        // Not a procedure of the parser's making: only its body is simplified.
        if (vl_length(proc) > 5) vl_set_op(proc, 5, store_simplify(vl_op(proc, 5)));
        return;
    }
    VObj parameters = vl_op(proc, 1);
    const VWord* options = vl_op(proc, 3);
    if ((parameters == nullptr || vl_length(parameters) <= 1) && is_option(options, VL_PRE_OPERATOR) &&
        !is_option(options, VL_PRE_ARROW)) {
        VObj names = store_sequence(5, DAG_EXPSEQ);
        collect_names(vl_op(proc, 5), names);
        vl_set_op(proc, 1, plain_copy(names));
    }
    VObj locals = vl_op(proc, 2);
    if (locals != nullptr && vl_type(locals) == DAG_LIST) locals = vl_op(locals, 1);
    vl_set_op(proc, 2, growable_copy(locals));
    vl_set_op(proc, 8, store_sequence(10, DAG_EXPSEQ));
    collect_scoped(proc, vl_op(proc, 5));
    vl_set_op(proc, 6, plain_copy(vl_op(proc, 2)));
    vl_set_op(proc, 4, plain_copy(vl_op(proc, 7)));
    collect_implicit(proc, vl_op(proc, 5));
    chain.push_back(proc);
    try {
        vl_set_op(proc, 5, store_simplify_statement(vl_op(proc, 5)));
    } catch (...) {
        chain.pop_back();
        throw;
    }
    chain.pop_back();
}
