// Two small services over DAGs that the typesetter needs before the language's printer and the
// library's deep copy are available: a one-line printed form (used for parts no layout handles)
// and a deep copy into an area (used by DagHolder).  Both cap their nesting depth.

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "typeset.h"
#include "util/errjump.h"

namespace {

constexpr int kPrintDepth = 1000;
constexpr int kCopyDepth = 5000;

struct Printer {
    std::string out;

    void dag(const DagWord* d, int depth) {
        if (!d) return;
        if (depth > kPrintDepth) {
            out += "...";
            return;
        }
        unsigned t = dag_type(d);
        std::size_t len = dag_length(d);
        auto op = [&](std::size_t i) { return i < len ? dag_op(d, i) : nullptr; };
        auto infix = [&](const char* sym) {
            dag(op(1), depth + 1);
            out += sym;
            dag(op(2), depth + 1);
        };
        auto seq = [&](const DagWord* s) {
            if (!s) return;
            if (dag_type(s) != DAG_EXPSEQ) {
                dag(s, depth + 1);
                return;
            }
            for (std::size_t i = 1; i < dag_length(s); ++i) {
                if (i > 1) out += ", ";
                dag(dag_op(s, i), depth + 1);
            }
        };
        switch (t) {
        case DAG_INTNEG:
        case DAG_INTPOS:
            out += dag_integer_to_text(d);
            break;
        case DAG_RATIONAL: infix("/"); break;
        case DAG_FLOAT:
            out += "Float(";
            dag(op(1), depth + 1);
            out += ", ";
            dag(op(2), depth + 1);
            out += ")";
            break;
        case DAG_STRING:
            out += "\"";
            out += dag_text(d);
            out += "\"";
            break;
        case DAG_NAME: out += dag_text(d); break;
        case DAG_TABLEREF:
            dag(op(1), depth + 1);
            out += "[";
            seq(op(2));
            out += "]";
            break;
        case DAG_DCOLON: infix("::"); break;
        case DAG_CATENATE: infix("."); break;
        case DAG_POWER:
            out += "(";
            dag(op(1), depth + 1);
            out += ")^(";
            dag(op(2), depth + 1);
            out += ")";
            break;
        case DAG_PROD:
        case DAG_SUM:
            out += "(";
            for (std::size_t i = 1; i + 1 < len; i += 2) {
                if (i > 1) out += t == DAG_SUM ? "+" : "*";
                dag(op(i), depth + 1);
                out += t == DAG_SUM ? "*" : "^";
                dag(op(i + 1), depth + 1);
            }
            out += ")";
            break;
        case DAG_SERIES:
            out += "series(";
            dag(op(1), depth + 1);
            for (std::size_t i = 2; i + 1 < len; i += 2) {
                out += ", ";
                dag(op(i), depth + 1);
                out += ", " + std::to_string(long(dag_word(d, i + 1)));
            }
            out += ")";
            break;
        case DAG_FUNCTION:
            dag(op(1), depth + 1);
            out += "(";
            seq(op(2));
            out += ")";
            break;
        case DAG_UNEVAL:
            out += "'";
            dag(op(1), depth + 1);
            out += "'";
            break;
        case DAG_EQUATION: infix(" = "); break;
        case DAG_INEQUAT: infix(" <> "); break;
        case DAG_LESSEQ: infix(" <= "); break;
        case DAG_LESSTHAN: infix(" < "); break;
        case DAG_AND: infix(" and "); break;
        case DAG_NOT: out += "not "; dag(op(1), depth + 1); break;
        case DAG_OR: infix(" or "); break;
        case DAG_EXPSEQ: seq(d); break;
        case DAG_LIST: out += "["; seq(op(1)); out += "]"; break;
        case DAG_SET: out += "{"; seq(op(1)); out += "}"; break;
        case DAG_LOCAL: out += "local" + std::to_string(long(dag_word(d, 1))); break;
        case DAG_PARAM: out += "param" + std::to_string(long(dag_word(d, 1))); break;
        case DAG_LEXICAL: out += "lexical" + std::to_string(long(dag_word(d, 1))); break;
        case DAG_PROC: out += "proc() ... end"; break;
        case DAG_RANGE: infix(" .. "); break;
        case DAG_TABLE: out += "table()"; break;
        case DAG_HFARRAY: out += "hfarray(...)"; break;
        case DAG_ASSIGN: infix(" := "); break;
        case DAG_FOR: out += "for ... od"; break;
        case DAG_IF: out += "if ... fi"; break;
        case DAG_READ: out += "read "; dag(op(1), depth + 1); break;
        case DAG_SAVE: out += "save "; dag(op(1), depth + 1); break;
        case DAG_STATSEQ:
            for (std::size_t i = 1; i < len; ++i) {
                if (i > 1) out += "; ";
                dag(op(i), depth + 1);
            }
            break;
        case DAG_STOP: out += "quit"; break;
        case DAG_PROMPT: break;
        default:
            out += "<";
            out += t >= 1 && t <= DAG_TYPE_COUNT ? dag_type_names[t - 1] : "?";
            out += ">";
            break;
        }
    }
};

// Which operand words of a DAG are pointers to DAGs.
bool operand_is_dag(unsigned type, std::size_t i) {
    switch (type) {
    case DAG_INTNEG: case DAG_INTPOS: case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL:
    case DAG_HFARRAY:
        return false;
    case DAG_STRING: case DAG_NAME:
        return i == 2;   // attributes; the value word is dropped, the rest is text
    case DAG_SERIES:
        return i == 1 || i % 2 == 0;
    case DAG_HASH:
        return i % 2 == 0;
    default:
        return true;
    }
}

struct Copier {
    StorageArea* area;
    std::unordered_map<const DagWord*, Dag> done;
    bool failed = false;

    Dag copy(const DagWord* d, int depth) {
        if (!d || failed) return nullptr;
        if (depth > kCopyDepth) {
            failed = true;
            return nullptr;
        }
        // The shared constants live for the whole run.
        if (d == dag_NULL) return const_cast<Dag>(d);
        auto it = done.find(d);
        if (it != done.end()) return it->second;
        std::size_t len = dag_length(d);
        unsigned type = dag_type(d);
        if (len == 0) {
            failed = true;
            return nullptr;
        }
        Dag c = dag_alloc(area, len);
        std::memcpy(c, d, len * sizeof(DagWord));
        done[d] = c;
        if (type == DAG_NAME && len > 1) c[1] = 0;
        if (type == DAG_HFARRAY && len >= 3 && d[1]) {
            long count = long(d[2]);
            if (count < 0) {
                failed = true;
                return nullptr;
            }
            std::size_t words = (std::size_t(count) * sizeof(double) + sizeof(DagWord) - 1) / sizeof(DagWord);
            DagWord* data = words ? dag_alloc(area, words) : nullptr;
            if (words) std::memcpy(data, reinterpret_cast<const void*>(d[1]), std::size_t(count) * sizeof(double));
            c[1] = reinterpret_cast<DagWord>(data);
        }
        for (std::size_t i = 1; i < len; ++i) {
            if (!operand_is_dag(type, i) || !d[i]) continue;
            if ((type == DAG_NAME || type == DAG_STRING) && i > 2) break;
            Dag sub = copy(reinterpret_cast<const DagWord*>(d[i]), depth + 1);
            if (failed) return nullptr;
            c[i] = reinterpret_cast<DagWord>(sub);
        }
        return c;
    }
};

}  // namespace

std::size_t typeset_print_dag(const DagWord* dag, char* out, std::size_t capacity) {
    Printer p;
    p.dag(dag, 0);
    if (out && capacity > 0) {
        std::size_t n = p.out.size() < capacity - 1 ? p.out.size() : capacity - 1;
        std::memcpy(out, p.out.data(), n);
        out[n] = 0;
    }
    return p.out.size();
}

Dag typeset_copy_deep(const DagWord* dag, StorageArea* area) {
    if (!dag) return nullptr;
    try {
        ErrorGuard guard;
        Copier c{area, {}};
        Dag r = c.copy(dag, 0);
        return c.failed ? nullptr : r;
    } catch (const ErrorJump&) {
        return nullptr;
    }
}
