// Scanner support, type labels and the parser nesting stack (see scansup.h).
#include "tools/console/scansup.h"

#include <cstring>
#include <vector>

#include "tovu/errors.h"
#include "tovu/scan.h"

unsigned label_to_type(const char* label) {
    if (label != nullptr) {
        for (unsigned i = 0; i < DAG_TYPE_COUNT; ++i)
            if (std::strcmp(label, dag_type_names[i]) == 0) return i + 1;
    }
    tovu_error("unknown data structure label");
}

const char* type_to_label(std::uintptr_t code) {
    if (code > 0x1FFFF) code = (code >> 17) & 0x3F;
    if (code < 1 || code > DAG_TYPE_COUNT) return nullptr;
    return dag_type_names[code - 1];
}

int keyword_index(const char* name) { return lang_keyword_index(name) + 1; }

// ---- character reader ------------------------------------------------------------------------
namespace {

struct Reader {
    LangCharSource source = nullptr;
    void* context = nullptr;
    int lookahead = -2;
    int position = 0;
};
Reader reader;

int raw() {
    int c = reader.source != nullptr ? reader.source(reader.context) : -1;
    return c == 0 || c == -1 ? -1 : (c & 0xFF);
}

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

void scan_support_bind(LangCharSource source, void* context) {
    reader = Reader{};
    reader.source = source;
    reader.context = context;
}

int scan_char() {
    for (;;) {
        int c = raw();
        if (c != '\\') {
            if (c >= 0) ++reader.position;
            return c;
        }
        int d = raw();
        if (d < 0) {
            ++reader.position;
            return -1;
        }
        reader.position += 2;
        if (is_space(d)) continue;
        switch (d) {
        case '"': return 258;
        case '`': return 257;
        case 'a': return 7;
        case 'b': return 8;
        case 'e': return 27;
        case 'f': return 12;
        case 'n': return 256;
        case 'r': return 13;
        case 't': return 9;
        case 'v': return 11;
        default: return d;
        }
    }
}

int scan_next() {
    int c = reader.lookahead != -2 ? reader.lookahead : scan_char();
    if (c == -1 || c == 0) {
        reader.lookahead = -2;
        throw LangParseAbort{};
    }
    reader.lookahead = scan_char();
    return c;
}

int scan_support_lookahead() { return reader.lookahead; }
int scan_support_position() { return reader.position; }

// ---- nesting stack ---------------------------------------------------------------------------------
namespace {
struct SavedParser {
    ScanState scanner;     // the language scanner: lookahead, callbacks, position
    Reader support;        // this module's reader
};
std::vector<SavedParser> parserStack;
}  // namespace

void parser_push() {
    if (parserStack.size() >= std::size_t(PARSER_STACK_LEVELS)) tovu_error("parsers nested too deeply");
    parserStack.push_back(SavedParser{scan, reader});
}

void parser_pop() {
    if (parserStack.empty()) tovu_error("too many parsers popped from internal stack");
    scan = parserStack.back().scanner;
    reader = parserStack.back().support;
    parserStack.pop_back();
}

int parser_depth() { return int(parserStack.size()); }

Dag parse_start(unsigned flags, LangCharSource source, LangPrematureEnd prematureEnd,
                LangMessage errorPrinter, LangMessage warningPrinter, LangLabelLookup further,
                void* context, int* outPosition) {
    Dag statement = lang_parse(source, prematureEnd, errorPrinter, warningPrinter, further,
                               (flags & 1u) != 0 ? LANG_FRESH_TEXT : 0u, nullptr, context);
    if (outPosition != nullptr) *outPosition = scan.position;
    return statement;
}

// ---- collect_names ------------------------------------------------------------------------------------
Dag collect_names(const DagWord* expression) {
    Dag visited = hash_new(512);
    Dag names = hash_new(512);
    std::vector<const DagWord*> found;
    std::vector<const DagWord*> work;
    if (expression != nullptr) work.push_back(expression);
    while (!work.empty()) {
        const DagWord* d = work.back();
        work.pop_back();
        if (d == nullptr) continue;
        DagKey key = reinterpret_cast<DagKey>(d);
        if (hash_find(key, visited) != DAG_HASH_ABSENT) continue;
        hash_insert(key, 1, visited);
        unsigned type = dag_type(d);
        std::size_t n = dag_length(d);
        switch (type) {
        case DAG_INTNEG: case DAG_INTPOS: case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL:
        case DAG_STRING: case DAG_HFARRAY: case DAG_STOP:
            break;
        case DAG_NAME:
            if (hash_find(key, names) == DAG_HASH_ABSENT) {
                hash_insert(key, 1, names);
                found.push_back(d);
            }
            // The attributes are walked after the value.
            if (n > 2) work.push_back(dag_op(d, 2));
            if (n > 1) work.push_back(dag_op(d, 1));
            break;
        case DAG_SERIES:
            for (std::size_t i = n; i-- > 2;)
                if (i % 2 == 0) work.push_back(dag_op(d, i));
            if (n > 1) work.push_back(dag_op(d, 1));
            break;
        case DAG_HASHTAB:
            // Buckets are HASH blocks of (key, value) pairs; the values are expressions.
            for (std::size_t b = n; b-- > 1;) {
                const DagWord* bucket = dag_op(d, b);
                if (bucket == nullptr || dag_type(bucket) != DAG_HASH) continue;
                for (std::size_t i = dag_length(bucket); i-- > 1;)
                    if (i % 2 == 0 && bucket[i - 1] != 0) work.push_back(dag_op(bucket, i));
            }
            break;
        default:
            if (type == 0 || type >= DAG_GARBAGE) break;
            for (std::size_t i = n; i-- > 1;) work.push_back(dag_op(d, i));
            break;
        }
    }
    hash_clear(visited, true);
    hash_clear(names, true);
    Dag seq = dag_new(found.size() + 1, DAG_EXPSEQ);
    for (std::size_t i = 0; i < found.size(); ++i) dag_set_op(seq, i + 1, found[i]);
    return seq;
}
