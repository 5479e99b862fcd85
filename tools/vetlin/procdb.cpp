// The procedure database (see procdb.h).
#include "tools/vetlin/procdb.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <string>

#include "tools/vetlin/run.h"

namespace {

// Lines are read in pieces of at most this many characters.
constexpr int kLineLength = 500;

bool space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Fields read as "%s %ld %ld %ld %s" reads them: each conversion first skips white space.
struct Fields {
    const char* p;
    bool word(std::string& out) {
        while (*p != '\0' && space(*p)) ++p;
        const char* start = p;
        while (*p != '\0' && !space(*p)) ++p;
        out.assign(start, p);
        return p != start;
    }
    bool number(long& out) {
        while (*p != '\0' && space(*p)) ++p;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        unsigned long magnitude = 0;
        const unsigned long limit = negative ? 0UL - static_cast<unsigned long>(LONG_MIN) : LONG_MAX;
        for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
            const unsigned digit = unsigned(*p - '0');
            if (magnitude > (limit - digit) / 10) vl_fatal("Integer too large to represent");
            magnitude = magnitude * 10 + digit;
        }
        out = negative ? long(0UL - magnitude) : long(magnitude);
        return true;
    }
};

// An integer object within the store's range (beyond it the run ends, as the store's own
// conversion does).
VObj count_object(long value) {
    VObj o = store_integer(value);
    store_to_integer(o);
    return o;
}

}  // namespace

void procdb_load_line(const char* line) {
    Fields fields{line};
    std::string name, file;
    long least = 0, most = 0, flag = 0;
    if (!fields.word(name) || !fields.number(least) || !fields.number(most) || !fields.number(flag) ||
        !fields.word(file)) {
        std::fprintf(vl.err, "Format error: %s", line);
        std::fflush(vl.err);
        return;
    }
    VObj entry = store_make(DAG_EXPSEQ, count_object(least), count_object(most), count_object(flag),
                            store_name(file.c_str()));
    VObj key = store_name(name.c_str(), storeTables.database, false);
    vl_set_op(key, 1, store_simplify(entry));
}

void procdb_load(std::FILE* file) {
    char line[kLineLength + 1];
    while (std::fgets(line, sizeof line, file) != nullptr) procdb_load_line(line);
}

void procdb_write(const char* name, long parameters, bool variableArguments, const char* fileName) {
    if (vl.appendDatabase == nullptr) return;
    std::fprintf(vl.appendDatabase, "%-32s %2ld %2ld %1d %s\n", name, parameters, parameters,
                 variableArguments ? 1 : 0, fileName);
}

VObj procdb_find(const char* name) {
    const VWord key = store_text_hash(name);
    const VWord* bucket = store_hash_bucket(storeTables.database, key);
    if (bucket == nullptr) return nullptr;
    for (long i = 1; bucket[i] != 0; i += 2) {
        const VObj candidate = vl_op(bucket, i + 1);
        if (bucket[i] == key && std::strcmp(vl_name_text(candidate), name) == 0) return candidate;
    }
    return nullptr;
}

void procdb_check_call(const VWord* called, long arguments, long line) {
    if (called == nullptr || vl_type(called) != DAG_NAME) return;
    const char* name = vl_name_text(called);
    const VObj key = procdb_find(name);
    if (key == nullptr) return;
    const VObj entry = vl_op(key, 1);
    if (entry == nullptr || vl_type(entry) != DAG_EXPSEQ) {
        std::fprintf(vl.err, "%s did not have EXPSEQ value\n", name);
        return;
    }
    if (vl_length(entry) != 5) {
        std::fprintf(vl.err, "%s did not have length of 5\n", name);
        return;
    }
    const VObj least = vl_op(entry, 1);
    const VObj most = vl_op(entry, 2);
    if (!vl_is_integer(least) || !vl_is_integer(most)) return;
    if (arguments >= store_to_integer(least) && arguments <= store_to_integer(most)) return;
    const VObj flag = vl_op(entry, 3);
    if (vl_is_integer(flag) && store_to_integer(flag) == 1) return;
    if (RecordErrorClass(22) == 0) return;
    VObj mismatch = store_new(7, DAG_EXPSEQ);
    vl_set_op(mismatch, 1, called);
    vl_set_op(mismatch, 2, store_integer(arguments));
    vl_set_op(mismatch, 3, store_integer(line));
    vl_set_op(mismatch, 4, least);
    vl_set_op(mismatch, 5, most);
    vl_set_op(mismatch, 6, vl_op(entry, 4));
    vl.scope.argumentCounts = store_append1(vl.scope.argumentCounts, store_simplify(mismatch));
}
