// Edit operations and edit checks (see edit_ops.h).

#include "edit_ops.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tovu/errors.h"
#include "tovu/storage.h"
#include "util/errjump.h"

// ---- EditSelection -----------------------------------------------------------------------------------

EditSelection::EditSelection(DagHolder* h)
    : holder(h), expression(h ? h->expression : nullptr), cursor_(node_cursor_new()) {}

EditSelection::EditSelection(Dag e, DagHolder* h) : holder(h), expression(e), cursor_(node_cursor_new()) {}

EditSelection::EditSelection(const EditSelection& other)
    : holder(other.holder), expression(other.expression),
      cursor_(other.cursor_ ? node_cursor_copy(other.cursor_) : node_cursor_new()) {}

EditSelection::~EditSelection() { node_cursor_free(cursor_); }

void EditSelection::setExpression(Dag e) {
    expression = e;
    resetCursor();
}

NodeCursor* EditSelection::resetCursor() {
    node_cursor_free(cursor_);
    cursor_ = node_cursor_new();
    return cursor_;
}

void EditSelection::setCursor(NodeCursor* c) {
    if (c == cursor_) return;
    node_cursor_free(cursor_);
    cursor_ = c;
}

namespace {

const char* const kUnknown = "unknown error";

// The text of the last library error caught at an operation's boundary.
std::string g_errorText;

// The ten functions whose arguments the checks protect.
const char* const kSpecial[] = {"Int", "int", "sum", "Sum", "Product", "product", "limit", "Limit", "Diff", "diff"};

bool is_special(const char* name) {
    for (const char* s : kSpecial)
        if (std::strcmp(s, name) == 0) return true;
    return false;
}

int len(const DagWord* d) { return d ? int(dag_length(d)) : 0; }
unsigned type_of(const DagWord* d) { return d ? dag_type(d) : 0; }
bool is_type(const DagWord* d, unsigned t) { return d && dag_type(d) == t; }
bool is_integer(const DagWord* d) { return is_type(d, DAG_INTPOS) || is_type(d, DAG_INTNEG); }
bool is_unit(const DagWord* d) { return dag_is_int_value(d, 1) || dag_is_int_value(d, -1); }
bool is_one(const DagWord* d) { return dag_is_int_value(d, 1); }
bool algebraic(const DagWord* d) { return d && dag_type(d) < 16; }
bool is_name(const DagWord* d, const char* text) {
    return is_type(d, DAG_NAME) && std::strcmp(dag_text(d), text) == 0;
}
// The operand when it is a DAG, else null.
const DagWord* op(const DagWord* d, int i) {
    return dag_operand_is_dag(d, std::size_t(i)) ? dag_op(d, std::size_t(i)) : nullptr;
}
// The name of a call: operand 1 of a FUNCTION when it is a NAME.
const char* call_name(const DagWord* d) {
    if (!is_type(d, DAG_FUNCTION)) return nullptr;
    const DagWord* n = op(d, 1);
    return is_type(n, DAG_NAME) ? dag_text(n) : nullptr;
}

bool immediate_slot(const DagWord* p, int i) {
    switch (type_of(p)) {
    case DAG_SERIES: return i >= 3 && i % 2 == 1;
    case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL: case DAG_INTPOS: case DAG_INTNEG: return true;
    default: return false;
    }
}

int path_at(const NodeCursor* c, int i) { return int_stack_get(c->path, i); }
int depth_of(const NodeCursor* c) { return c && c->path ? c->path->count : 0; }

// Runs an operation under the library's handler and an error-jump guard: a raise (a library
// error, memory exhausted) becomes the operation's message.
template <typename Body>
bool guarded(const char** message, Body body) {
    try {
        ErrorGuard memoryGuard;
        TovuHandlerGuard guard;
        return body();
    } catch (const TovuError& e) {
        g_errorText = e.message;
    } catch (const ErrorJump&) {
        g_errorText = "out of memory";
    }
    if (message) *message = g_errorText.c_str();
    return false;
}

// The DAGs along the cursor's path in a new version: chain[0] the copied root, chain[k] the
// copied DAG at depth k, each stored in its copied parent.
std::vector<Dag> copy_spine(const DagWord* root, const NodeCursor* c) {
    std::vector<Dag> chain{dag_copy(root)};
    for (int k = 0; k < depth_of(c); ++k) {
        int i = path_at(c, k);
        Dag child = dag_copy(dag_op(chain.back(), std::size_t(i)));
        dag_set_op(chain.back(), std::size_t(i), child);
        chain.push_back(child);
    }
    return chain;
}

// Replaces operands first..last of the parent at the end of the chain by X (null: delete), as
// the splice rules say; the chain and the cursor (path, range) are updated to the new version.
bool splice(std::vector<Dag>& chain, NodeCursor* c, const DagWord* X, bool coefficientRule,
            const char** message) {
    int depth = depth_of(c);
    auto parent_of = [&](int d) -> Dag { return d > 0 ? chain[std::size_t(d - 1)] : nullptr; };
    Dag P = chain[std::size_t(depth)];
    Dag Q = parent_of(depth);
    int i = depth > 0 ? path_at(c, depth - 1) : 0;
    int first = c->first, last = c->last;

    // An immediate slot takes the machine integer of X.
    if (immediate_slot(P, first)) {
        if (!is_integer(X)) {
            *message = kUnknown;
            return false;
        }
        P[first] = static_cast<DagWord>(static_cast<std::intptr_t>(arith_to_int(X)));
        c->last = c->first;
        return true;
    }

    auto climb = [&](int levels) {
        for (int k = 0; k < levels; ++k) {
            first = last = path_at(c, depth - 1);
            int_stack_pop(c->path);
            --depth;
        }
        P = chain[std::size_t(depth)];
        Q = parent_of(depth);
        i = depth > 0 ? path_at(c, depth - 1) : 0;
    };
    for (int guard = 0; guard < 4 * TYPESET_MAX_DEPTH; ++guard) {
        const char* qn = call_name(Q);
        if (!X && qn && (std::strcmp(qn, "sqrt") == 0 || std::strcmp(qn, "abs") == 0) && i == 2 &&
            first == 1 && last == len(P) - 1 && depth >= 2) {
            X = op(P, 1);
            climb(2);
            continue;
        }
        if ((is_type(P, DAG_FUNCTION) || is_type(P, DAG_TABLEREF)) && first == 2 && last == 2) {
            if (!X) {
                X = dag_NULL;
            } else if (is_name(X, "%?") && op(P, 2) && len(op(P, 2)) == 1 && depth >= 1) {
                X = op(P, 1);
                climb(1);
                continue;
            } else {
                X = dag_new1(DAG_EXPSEQ, X);
            }
        }
        break;
    }
    if (!X && !P) return false;

    const bool pairs = is_type(P, DAG_SUM) || is_type(P, DAG_PROD);
    if (coefficientRule && is_type(P, DAG_SUM) && first == last) {
        if (first % 2 == 1 && is_unit(op(P, first + 1))) last = first + 1;
        else if (first % 2 == 0 && first > 1 && is_unit(op(P, first - 1))) --first;
    }
    int n = last - first + 1;
    bool merged = X && dag_type(X) == dag_type(P) &&
                  (is_type(P, DAG_EXPSEQ) || is_type(P, DAG_STATSEQ) || (pairs && n != 1));
    int m = !X ? 0 : merged ? len(X) - 1 : 1;
    int coefficientSlot = -1;
    bool quotient = is_type(P, DAG_PROD) && len(P) == 5 && is_one(op(P, 2)) && dag_is_int_value(op(P, 4), -1);
    bool numeratorGone = false;
    if (quotient && !X && (first == 1 || first == 3) && last <= first + 1) {
        // Deleting a part of a quotient deletes its pair; without a numerator the denominator
        // stands alone.
        numeratorGone = first == 1;
        last = first + 1;
        n = 2;
    } else if (pairs && (n - m) % 2 != 0) {
        if (X) {
            int origin = first;
            if (m % 2 == 1) coefficientSlot = origin + origin % 2;
            if (n % 2 == 1) ++n;
            if (m % 2 == 1) {
                ++m;
                if (first % 2 == 0) ++first;
            }
        } else if (n == 1) {
            int partner = first % 2 == 1 ? first + 1 : first - 1;
            if (partner >= 1 && partner < len(P) && is_one(op(P, partner))) {
                first = std::min(first, partner);
                n = 2;
            } else {
                X = dag_one;
                m = 1;
            }
        } else {
            // An odd run of words: widen it to whole pairs.
            if (first % 2 == 0) --first;
            else ++n;
            n = std::min(n, len(P) - first);
        }
    }
    if (first < 1 || n < 1 || first + n > len(P)) {
        *message = kUnknown;
        return false;
    }
    // Resize.
    if (m < n) {
        if (n - m >= len(P)) P = dag_new(1, dag_type(P));
        else P = dag_remove_words(P, std::size_t(first), std::size_t(n - m));
    } else if (m > n) {
        P = dag_insert_words(P, std::size_t(first), std::size_t(m - n));
    }
    if (numeratorGone && len(P) == 3) dag_set_op(P, 2, dag_one);
    bool collapsed = false;
    if (is_type(P, DAG_POWER) && len(P) == 2) {
        P = const_cast<Dag>(op(P, 1));
        collapsed = true;
    }
    // Fill.
    if (!collapsed && X) {
        int at = first;
        auto put = [&](const DagWord* w) {
            if (at == coefficientSlot) ++at;
            dag_set_op(P, std::size_t(at++), w);
        };
        if (coefficientSlot >= 0) dag_set_op(P, std::size_t(coefficientSlot), dag_one);
        if (merged) {
            for (int k = 1; k < len(X); ++k) put(dag_op(X, std::size_t(k)));
        } else {
            put(X);
        }
    }
    if (!collapsed && is_type(P, DAG_SUM) && first % 2 == 1 && first + 1 < len(P) && is_one(op(P, first))) {
        DagWord t = P[first];
        P[first] = P[first + 1];
        P[first + 1] = t;
    }
    // Store the new parent.
    chain[std::size_t(depth)] = P;
    if (Q) dag_set_op(Q, std::size_t(i), P);
    // The new cursor.
    if (collapsed) {
        if (depth > 0) climb(1);
        c->first = first;
        c->last = last;
        c->selected = 0;
        return true;
    }
    if (X) {
        c->first = first;
        c->last = first + m - 1 - (coefficientSlot >= 0 ? 1 : 0);
    } else {
        int at = std::min(first, len(P) - 1);
        if (at <= 0 && depth > 0) {
            climb(1);
            at = first;
        }
        c->first = at > 0 ? at : 0;
        c->last = at > 0 ? at : -1;
        c->selected = 0;
    }
    return true;
}

}  // namespace

// ---- checks ---------------------------------------------------------------------------------------------

bool edit_cursor_fits(const DagWord* root, const NodeCursor* c) {
    if (!root || !c || !c->path) return false;
    const DagWord* p = int_stack_walk(c->path, root, 0);
    if (!p) return false;
    if (c->first == 0 && c->last == -1) return true;
    return c->first >= 1 && c->first <= c->last && c->last < len(p);
}

bool edit_whole_selected(const EditSelection* e) {
    const NodeCursor* c = e ? e->cursor() : nullptr;
    return c && e->expression && depth_of(c) == 0 && c->first == 1 && c->last == len(e->expression) - 1;
}

const char* edit_check(const EditSelection* e, const DagWord* X) {
    const NodeCursor* c = e ? e->cursor() : nullptr;
    if (!c || !edit_cursor_fits(e->expression, c)) return kUnknown;
    // P the parent of the range, R its parent (P at index b), S (R at a), T.
    const DagWord* chain[4] = {nullptr, nullptr, nullptr, nullptr};   // T, S, R, P
    int idx[4] = {0, 0, 0, 0};
    const DagWord* d = e->expression;
    chain[3] = d;
    for (int k = 0; k < depth_of(c); ++k) {
        int i = path_at(c, k);
        for (int s = 0; s < 3; ++s) {
            chain[s] = chain[s + 1];
            idx[s] = idx[s + 1];
        }
        d = dag_op(d, std::size_t(i));
        chain[3] = d;
        idx[3] = i;
    }
    const DagWord *T = chain[0], *S = chain[1], *R = chain[2], *P = chain[3];
    int a = idx[2], b = idx[3];
    int f = c->first, l = c->last;
    bool del = X == nullptr;
    if (is_type(X, DAG_ASSIGN) && depth_of(c) > 0) return "assignments cannot occur inside expressions";
    switch (type_of(P)) {
    case DAG_INTNEG: case DAG_INTPOS: case DAG_FLOAT: case DAG_STRING: case DAG_NAME: case DAG_LOCAL:
    case DAG_PARAM: case DAG_LEXICAL: case DAG_HFARRAY:
        return "cannot substitute into an atom";
    case DAG_RATIONAL:
        if (del) return "cannot delete a piece of a fraction";
        if (!is_integer(X)) return "only integers can be substituted into a fraction";
        break;
    case DAG_TABLEREF:
        if (f == 1 && del) return "cannot delete the indexed expression";
        if (f == 1 && !(is_type(X, DAG_NAME) || is_type(X, DAG_LIST) || is_type(X, DAG_TABLEREF) || is_type(X, DAG_SET)))
            return "invalid expression for indexing";
        break;
    case DAG_POWER:
        if (del && f % 2 == 1) return "cannot delete base";
        if (!del && f % 2 == 1 && !algebraic(X)) return "only algebraic expressions can be substituted into a base";
        if (!del && f % 2 == 0 && !algebraic(X)) return "only algebraic expressions can be substituted into an exponent";
        break;
    case DAG_PROD:
        if (!del && !algebraic(X) && !is_type(X, DAG_LIST)) return "only algebraic expressions can be substituted into a product";
        break;
    case DAG_SERIES:
        if (f == 1 && del) return "cannot delete series variable";
        if (f == 1 && !(is_type(X, DAG_NAME) || is_type(X, DAG_TABLEREF))) return "invalid series variable";
        if (f > 1 && f == l && f % 2 == 1 && !del) {
            if (!is_integer(X)) return "only integer powers are allowed in a series";
            // The exponent is a machine integer: a value that does not fit is refused here.
            const char* tooLarge = nullptr;
            guarded(&tooLarge, [&] {
                arith_to_int(X);
                return true;
            });
            if (tooLarge) return tooLarge;
        }
        if (f > 1 && del && (l - f + 1) % 2 == 1) return "can only delete full terms in a series";
        break;
    case DAG_SUM:
        if (!del && !algebraic(X) && !is_type(X, DAG_LIST)) return "only algebraic expressions can be substituted into a sum";
        break;
    case DAG_FUNCTION:
        if (f == 1 && del) return "cannot delete the function name";
        if (f == 1 && !algebraic(X) && !is_type(X, DAG_PROC) && !is_type(X, DAG_LOCAL) && !is_type(X, DAG_PARAM))
            return "only algebraic expressions can be applied as functions";
        break;
    case DAG_EQUATION: case DAG_INEQUAT: case DAG_LESSEQ: case DAG_LESSTHAN:
        if (del) return "cannot delete sub-expression";
        break;
    case DAG_AND: case DAG_NOT: case DAG_OR:
        if (del) return "cannot delete a term";
        if (type_of(X) >= DAG_EXPSEQ) return "invalid substitution into a boolean expression";
        break;
    case DAG_RANGE:
        if (del) return "cannot delete an end point";
        if (!algebraic(X)) return "invalid substitution in a range";
        break;
    case DAG_ASSIGN:
        if (del) return f == 1 ? "cannot delete variable" : "cannot delete value";
        if (f == 1) {
            const char* cn = call_name(X);
            bool ok = is_type(X, DAG_NAME) || is_type(X, DAG_TABLEREF) || is_type(X, DAG_EXPSEQ) ||
                      (is_type(X, DAG_FUNCTION) && !(cn && std::strcmp(cn, "matrix") == 0));
            if (!ok) return "invalid assignment";
        }
        break;
    default:
        break;
    }
    // Arguments of calls.
    const char* F = nullptr;
    bool argumentSequence = false, equationSide = false;
    if (is_type(P, DAG_EXPSEQ) && b == 2 && call_name(R)) {
        F = call_name(R);
        argumentSequence = true;
        if (std::strcmp(F, "$") == 0) {
            if (del) return "cannot delete sub-expression";
            if (f == 2 && !(is_integer(X) || is_type(X, DAG_NAME) || is_type(X, DAG_TABLEREF)))
                return "invalid substitution - integer or name required";
            const char* tn = call_name(T);
            if (f == 1 && a > 1 && is_type(S, DAG_EXPSEQ) && tn && (std::strcmp(tn, "Diff") == 0 || std::strcmp(tn, "diff") == 0) &&
                !(is_type(X, DAG_NAME) || is_type(X, DAG_TABLEREF)))
                return "invalid substitution - name required";
            return nullptr;
        }
    }
    if (!F && is_type(P, DAG_EQUATION) && f == 1 && is_type(R, DAG_EXPSEQ) && a == 2 && call_name(S) && b > 1) {
        F = call_name(S);
        equationSide = true;
    }
    if (F && is_special(F)) {
        if (del) return "cannot delete sub-expression";
        if (((argumentSequence && f > 1) || equationSide) && !(is_type(X, DAG_NAME) || is_type(X, DAG_TABLEREF)))
            return "invalid substitution - name required";
    }
    return nullptr;
}

const char* insert_check(const IntStack* path, const DagWord* root) {
    const DagWord* level = int_stack_walk(path, root, 1);
    if (!level) return "illegal object for insertion";
    if (is_type(level, DAG_EXPSEQ)) {
        const DagWord* above = path && path->count >= 2 ? int_stack_walk(path, root, 2) : nullptr;
        const char* name = call_name(above);
        if (name && int_stack_get(path, path->count - 2) == 2 && is_special(name))
            return "cannot add to special function arguments";
        return nullptr;
    }
    if (is_type(level, DAG_SUM) || is_type(level, DAG_PROD) || is_type(level, DAG_STATSEQ)) return nullptr;
    return "illegal object for insertion";
}

// ---- edits ------------------------------------------------------------------------------------------------

bool edit_replace(const EditSelection* source, EditSelection* target, const DagWord* X, const char** message) {
    const char* dummy = nullptr;
    if (!message) message = &dummy;
    *message = nullptr;
    const NodeCursor* c = source ? source->cursor() : nullptr;
    if (!c || !source->holder || !edit_cursor_fits(source->expression, c)) {
        *message = kUnknown;
        return false;
    }
    if (const char* refused = edit_check(source, X)) {
        *message = refused;
        return false;
    }
    return guarded(message, [&] {
        StoragePush push(&source->holder->area);
        target->holder = source->holder;
        if (edit_whole_selected(source)) {
            if (!X) {
                *message = "cannot delete entire expression";
                target->holder = nullptr;
                target->setExpression(nullptr);
                return false;
            }
            Dag root = is_type(X, DAG_EXPSEQ) ? const_cast<Dag>(X) : dag_new1(DAG_EXPSEQ, X);
            target->setExpression(root);
            NodeCursor* nc = target->cursor();
            nc->selected = 1;
            nc->first = 1;
            nc->last = len(root) - 1;
            return true;
        }
        std::vector<Dag> chain = copy_spine(source->expression, c);
        NodeCursor* nc = node_cursor_copy(c);
        if (!splice(chain, nc, X, true, message)) {
            node_cursor_free(nc);
            return false;
        }
        target->expression = chain[0];
        target->setCursor(nc);
        return true;
    });
}

bool edit_insert(const EditSelection* source, EditSelection* target, const DagWord* X, const char** message) {
    const char* dummy = nullptr;
    if (!message) message = &dummy;
    *message = nullptr;
    const NodeCursor* c = source ? source->cursor() : nullptr;
    if (!X || !c || !source->holder || !edit_cursor_fits(source->expression, c) || c->last < 1) {
        *message = kUnknown;
        return false;
    }
    NodeCursor* found = node_cursor_copy(c);
    int_stack_push(found->path, c->last);
    const char* last = nullptr;
    for (;;) {
        const char* refused = insert_check(found->path, source->expression);
        if (!refused) break;
        last = refused;
        int_stack_pop(found->path);
        if (found->path->count == 0) {
            node_cursor_free(found);
            *message = last;
            return false;
        }
    }
    node_cursor_pop(found);
    bool ok = guarded(message, [&] {
        StoragePush push(&source->holder->area);
        std::vector<Dag> chain = copy_spine(source->expression, found);
        int depth = depth_of(found);
        Dag P = chain[std::size_t(depth)];
        int k = found->last;
        bool merged = dag_type(X) == dag_type(P);
        int count = merged ? len(X) - 1 : 1;
        int d = k;
        bool pairs = is_type(P, DAG_SUM) || is_type(P, DAG_PROD);
        int extra = 0;
        if (pairs) {
            if (k % 2 == 1) d = k + 1;
            if (count % 2 == 1) extra = 1;
        }
        int m = count + extra;
        if (d >= len(P)) d = len(P) - 1;
        P = dag_insert_words(P, std::size_t(d), std::size_t(m));
        int at = d + 1;
        if (merged) {
            for (int j = 1; j < len(X); ++j) dag_set_op(P, std::size_t(at++), dag_op(X, std::size_t(j)));
        } else {
            dag_set_op(P, std::size_t(at++), X);
        }
        if (extra) dag_set_op(P, std::size_t(at), dag_one);
        if (is_type(P, DAG_SUM) && d % 2 == 0 && d + 2 < len(P) && is_one(op(P, d + 1))) {
            DagWord t = P[d + 1];
            P[d + 1] = P[d + 2];
            P[d + 2] = t;
        }
        chain[std::size_t(depth)] = P;
        if (depth > 0) dag_set_op(chain[std::size_t(depth - 1)], std::size_t(path_at(found, depth - 1)), P);
        target->holder = source->holder;
        target->expression = chain[0];
        found->first = d + 1;
        found->last = d + m - extra;
        found->selected = 1;
        target->setCursor(found);
        found = nullptr;
        return true;
    });
    node_cursor_free(found);
    return ok;
}

const DagWord* edit_selected_expression(const EditSelection* e) {
    const NodeCursor* c = e ? e->cursor() : nullptr;
    if (!c || !edit_cursor_fits(e->expression, c)) return nullptr;
    const DagWord* P = int_stack_walk(c->path, e->expression, 0);
    if (c->first == 0 && c->last == -1) return P;
    int f = c->first, l = c->last;
    if (f == l) return immediate_slot(P, f) ? nullptr : op(P, f);
    if (is_type(P, DAG_SUM) || is_type(P, DAG_PROD)) {
        if (f % 2 == 0) --f;
        if (l % 2 == 1 && l + 1 < len(P)) ++l;
        if (l - f == 1) {
            if (is_one(op(P, f))) return op(P, l);
            if (is_one(op(P, l))) return op(P, f);
        }
    }
    if (!e->holder) return nullptr;
    const DagWord* out = nullptr;
    guarded(nullptr, [&] {
        StoragePush push(&e->holder->area);
        out = dag_slice(const_cast<Dag>(P), std::size_t(f), std::size_t(l - f + 1));
        return true;
    });
    return out;
}

bool edit_selection_is_name(const EditSelection* e, const char* text) {
    const NodeCursor* c = e ? e->cursor() : nullptr;
    if (!c || !c->selected || !edit_cursor_fits(e->expression, c)) return false;
    const DagWord* P = int_stack_walk(c->path, e->expression, 0);
    int span = c->last - c->first + 1;
    if ((is_type(P, DAG_SUM) || is_type(P, DAG_PROD)) ? span > 2 : span > 1) return false;
    const DagWord* x = edit_selected_expression(e);
    if (!is_type(x, DAG_NAME)) return false;
    if (text) return std::strcmp(dag_text(x), text) == 0;
    return is_name(x, "%?") || is_name(x, "%??");
}

bool edit_selection_is_placeholder(const EditSelection* e) { return edit_selection_is_name(e, nullptr); }

int cursor_compare(const NodeCursor* a, const NodeCursor* b, bool* inside) {
    if (inside) *inside = false;
    int da = depth_of(a), db = depth_of(b);
    int common = std::min(da, db);
    for (int k = 0; k < common; ++k) {
        int x = path_at(a, k), y = path_at(b, k);
        if (x != y) return x < y ? -1 : 1;
    }
    if (da == db) {
        if (a->first == b->first && a->last == b->last) return 0;
        if (a->last < b->first) return -1;
        if (a->first > b->last) return 1;
        return -2;
    }
    if (da > db) {
        int j = path_at(a, db);
        if (j >= b->first) {
            if (inside && j <= b->last) *inside = true;
            return 1;
        }
        return -1;
    }
    int j = path_at(b, da);
    if (j < a->first) return 1;
    if (j > a->last) return -1;
    if (inside) *inside = true;
    return -1;
}

// ---- name search ---------------------------------------------------------------------------------------------

namespace {

bool not_entered(const DagWord* d) {
    unsigned t = type_of(d);
    if (t < 1 || t > 45) return true;
    switch (t) {
    case DAG_INTNEG: case DAG_INTPOS: case DAG_STRING: case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL:
    case DAG_HFARRAY: case DAG_STOP: case 42: case 43: case 44: case 45:
        return true;
    default:
        return false;
    }
}

// Descent from operand i of parent (at path): a hit leaves path/index in `hit`.
bool descend(const DagWord* parent, int i, IntStack* path, const char* name, bool backward, NodeCursor* hit,
             int depth) {
    const DagWord* d = op(parent, i);
    if (!d || depth > 4 * TYPESET_MAX_DEPTH) return false;
    if (is_name(d, name)) {
        int_stack_clear(hit->path);
        for (int k = 0; k < path->count; ++k) int_stack_push(hit->path, path->items[k]);
        hit->first = hit->last = i;
        return true;
    }
    if (dag_type(d) == DAG_NAME || not_entered(d)) return false;
    int_stack_push(path, i);
    int n = len(d);
    bool found = false;
    for (int k = backward ? n - 1 : 1; !found && k >= 1 && k < n; k += backward ? -1 : 1) {
        if (immediate_slot(d, k)) continue;
        found = descend(d, k, path, name, backward, hit, depth + 1);
    }
    int_stack_pop(path);
    return found;
}

// The next (previous) hit from a cursor; without a range, a descent from the root.
bool search_from(const DagWord* root, const NodeCursor* from, const char* name, bool backward, NodeCursor* hit) {
    IntStack* path = int_stack_new();
    bool found = false;
    if (!from || from->first == 0 || from->last <= 0) {
        int n = len(root);
        for (int k = backward ? n - 1 : 1; !found && k >= 1 && k < n; k += backward ? -1 : 1)
            found = descend(root, k, path, name, backward, hit, 0);
    } else {
        for (int k = 0; k < from->path->count; ++k) int_stack_push(path, from->path->items[k]);
        int start = backward ? from->first : from->last;
        bool passOver = true;
        for (;;) {
            const DagWord* P = int_stack_walk(path, root, 0);
            int n = len(P);
            for (int k = start; !found && k >= 1 && k < n; k += backward ? -1 : 1) {
                if (passOver && k == start) {
                    passOver = false;
                    if (is_name(op(P, k), name) || immediate_slot(P, k)) continue;
                    if (backward) continue;   // the selection itself is not searched backward
                }
                if (immediate_slot(P, k)) continue;
                found = descend(P, k, path, name, backward, hit, 0);
            }
            if (found || path->count == 0) break;
            int from_index = path->items[path->count - 1];
            int_stack_pop(path);
            start = backward ? from_index - 1 : from_index + 1;
            passOver = false;
        }
    }
    int_stack_free(path);
    return found;
}

}  // namespace

bool edit_find_name(const EditSelection* e, EditSelection* target, const char* name, bool backward) {
    if (!e || !e->expression || !name) return false;
    const NodeCursor* c = e->cursor();
    if (c && !edit_cursor_fits(e->expression, c)) return false;
    NodeCursor* hit = node_cursor_new();
    if (!search_from(e->expression, c, name, backward, hit)) {
        node_cursor_free(hit);
        return false;
    }
    hit->selected = 1;
    target->holder = e->holder;
    target->expression = e->expression;
    target->setCursor(hit);
    return true;
}

bool edit_replace_name(const EditSelection* source, EditSelection* target, const char* name,
                       const DagWord* X, const char** message) {
    const char* dummy = nullptr;
    if (!message) message = &dummy;
    *message = nullptr;
    if (!source || !source->holder || !source->expression || !name) {
        *message = kUnknown;
        return false;
    }
    // Every hit of the original expression, in order; they are replaced from the last back, so
    // that a replacement that changes a DAG's length never moves a hit still to come.
    std::vector<NodeCursor*> hits;
    NodeCursor* probe = node_cursor_new();
    while (search_from(source->expression, probe, name, false, probe)) {
        hits.push_back(node_cursor_copy(probe));
        if (hits.size() > 100000) break;
    }
    node_cursor_free(probe);
    bool coefficientRule = std::strcmp(name, "%c") != 0 && std::strcmp(name, "%s") != 0;
    bool ok = guarded(message, [&] {
        StoragePush push(&source->holder->area);
        EditSelection work(dag_copy(source->expression), source->holder);
        for (std::size_t h = hits.size(); h-- > 0;) {
            work.setCursor(node_cursor_copy(hits[h]));
            if (const char* refused = edit_check(&work, X)) {
                *message = refused;
                return false;
            }
            std::vector<Dag> chain = copy_spine(work.expression, work.cursor());
            NodeCursor* nc = node_cursor_copy(hits[h]);
            bool spliced = splice(chain, nc, X, coefficientRule, message);
            node_cursor_free(nc);
            if (!spliced) return false;
            work.expression = chain[0];
        }
        target->holder = source->holder;
        target->setExpression(work.expression);
        return true;
    });
    for (NodeCursor* h : hits) node_cursor_free(h);
    return ok;
}
