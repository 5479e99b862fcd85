// The deep copy of a DAG into an area that DagHolder keeps (names' values dropped, hardware
// float data copied along), with its nesting depth capped.

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "typeset.h"
#include "util/errjump.h"

namespace {

constexpr int kCopyDepth = 5000;

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
