// The parse driver and the deep copy (see parse_driver.h).
#include "parse_driver.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "errors.h"
#include "ifvars.h"

namespace {

// ---- driver settings of the current parse ---------------------------------------------------
LangLabelLookup labelLookup = nullptr;
Dag parseResult = nullptr;
int terminatorFlag = 1;
std::string failureMessage;   // the last syntax error, for a parse the hook let go on

int stdin_source(void*) { return std::getchar(); }

void default_error_printer(void*, int position, const char* message) {
    std::fprintf(stderr, "Kelvo(%d): %s\n", position, message);
}

void default_warning_printer(void*, int position, const char* message) {
    std::printf("Warning(%d), %s\n", position, message);
}

void default_premature_end(void* context, int position) {
    scan.errorPrinter(context, position, "unexpected end of input");
}

// ---- parse_text_full's source and handlers ------------------------------------------------
struct TextSource {
    const unsigned char* text = nullptr;
    int count = 0;   // characters handed out
};
TextSource textSource;
char errorBuffer[256];
int errorPosition = -1;
bool prematureSeen = false;
const DagWord* labelHistory = nullptr;
bool labelsNull = false;

int text_source(void*) {
    unsigned char c = textSource.text[textSource.count];
    if (c == 0) return -1;   // the NUL stays where it is: asking again answers the end again
    ++textSource.count;
    return c;
}

void record_message(void*, int position, const char* message) {
    std::snprintf(errorBuffer, sizeof errorBuffer, "%s", message);
    errorPosition = position > 0 ? position - 1 : 0;
}

void record_premature_end(void*, int position) {
    prematureSeen = true;
    if (errorPosition == -1) {
        std::snprintf(errorBuffer, sizeof errorBuffer, "%s", "premature end of input");
        errorPosition = position;
    }
}

Dag history_label(void*, int number) {
    const DagWord* h = labelHistory;
    if (h != nullptr && (dag_type(h) == DAG_LIST || dag_type(h) == DAG_SET)) h = dag_op(h, 1);
    if (h == nullptr || dag_type(h) != DAG_EXPSEQ || number < 1 ||
        std::size_t(number) >= dag_length(h)) {
        return labelsNull ? dag_NULL : nullptr;
    }
    Dag copy = dag_copy_deep(dag_op(h, std::size_t(number)), nullptr, nullptr);
    if (copy == nullptr) return labelsNull ? dag_NULL : nullptr;
    return copy;
}

DagWord* area_allocate(StorageArea* area, std::size_t words) { return dag_alloc(area, words); }

}  // namespace

// ---- for the grammar ----------------------------------------------------------------------------
void lang_finish(Dag statement, int flag) {
    parseResult = statement;
    terminatorFlag = flag;
    interface_default_block()->terminator = flag;
}

Dag lang_lookup_label(int number) {
    return labelLookup != nullptr ? labelLookup(scan.context, number) : nullptr;
}

void lang_report_failure(const char* message) {
    failureMessage = message;
    scan_report_error(message);
}

void lang_set_error_hook(LangErrorHook hook) { scan.errorHook = hook; }

// ---- lang_parse -------------------------------------------------------------------------------
Dag lang_parse(LangCharSource charSource, LangPrematureEnd prematureEnd, LangMessage errorPrinter,
               LangMessage warningPrinter, LangLabelLookup lookup, unsigned flags,
               int* outTerminatorFlag, void* context) {
    scan.source = charSource != nullptr ? charSource : stdin_source;
    scan.prematureEnd = prematureEnd != nullptr ? prematureEnd : default_premature_end;
    scan.errorPrinter = errorPrinter != nullptr ? errorPrinter : default_error_printer;
    scan.warningPrinter = warningPrinter != nullptr ? warningPrinter : default_warning_printer;
    scan.context = context;
    // parse_text_full's own source holds the whole text: the scanner reads it directly.
    scan.cursor = charSource == text_source ? textSource.text + textSource.count : nullptr;
    labelLookup = lookup;
    scan_reset((flags & LANG_FRESH_TEXT) != 0);
    parseResult = nullptr;
    terminatorFlag = 1;
    failureMessage.clear();

    Dag result = nullptr;
    try {
        TovuHandlerGuard guard;
        if (lang_run_parser() == 0) {
            result = parseResult;
        } else if (!scan.errorReported) {
            // The error hook let a syntax error go on, but the grammar cannot recover from it.
            scan.errorReported = true;
            scan.errorPrinter(scan.context, scan.position,
                              failureMessage.empty() ? "syntax error" : failureMessage.c_str());
        }
    } catch (const LangParseAbort&) {
        result = nullptr;
    } catch (const TovuError& e) {
        result = nullptr;
        if (!scan.errorReported) {
            scan.errorReported = true;
            scan.errorPrinter(scan.context, scan.position, e.message.c_str());
        }
    }
    scan.cursor = nullptr;
    if (outTerminatorFlag != nullptr) *outTerminatorFlag = terminatorFlag;
    return result;
}

// ---- parse_text_full ----------------------------------------------------------------------------
Dag parse_text_full(const char* text, const char** outErrorText, int* outErrorPosition,
                    int* outConsumed, bool* outPrematureEnd, int* outTerminatorFlag,
                    const DagWord* history, StorageArea* area, bool nullLabels) {
    static const char empty[] = "";
    textSource.text = reinterpret_cast<const unsigned char*>(text != nullptr ? text : empty);
    textSource.count = 0;
    errorBuffer[0] = '\0';
    errorPosition = -1;
    prematureSeen = false;
    labelHistory = history;
    labelsNull = nullLabels;

    int flag = 1;
    Dag statement = lang_parse(text_source, record_premature_end, record_message, record_message,
                               history_label, LANG_FRESH_TEXT, &flag, nullptr);
    int consumed = scan_consumed();
    if (statement == nullptr) {
        if (outErrorText != nullptr) *outErrorText = errorBuffer;
        if (outErrorPosition != nullptr) *outErrorPosition = errorPosition;
    } else if (area != nullptr) {
        Dag copy = dag_copy_deep(statement, area_allocate, area);
        if (copy == nullptr) copy = dag_copy_deep(dag_NULL, area_allocate, area);
        storage_reset();
        statement = copy;
    }
    if (outConsumed != nullptr) *outConsumed = consumed;
    if (outPrematureEnd != nullptr) *outPrematureEnd = prematureSeen;
    if (outTerminatorFlag != nullptr) *outTerminatorFlag = flag;
    labelHistory = nullptr;
    return statement;
}

Dag parse_text(const char* text) {
    return parse_text_full(text, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           false);
}

// ---- deep copy ------------------------------------------------------------------------------------
namespace {

struct DeepCopy {
    DagAllocator allocate;
    StorageArea* area;
    Dag copied;   // source node -> copy
    bool failed = false;

    Dag fresh(std::size_t words) {
        if (allocate == nullptr) return dag_new_plain(words);
        DagWord* d = allocate(area, words);
        if (d == nullptr) failed = true;
        return d;
    }

    Dag copy(const DagWord* d, int depth) {
        if (failed) return nullptr;
        if (d == nullptr) return nullptr;
        if (depth > DAG_COPY_MAX_DEPTH) {
            failed = true;
            return nullptr;
        }
        DagWord* seen = hash_find(reinterpret_cast<DagKey>(d), copied);
        if (seen != DAG_HASH_ABSENT) return dag_op(seen, 1);

        unsigned type = dag_type(d);
        std::size_t n = dag_length(d);
        Dag r = nullptr;
        switch (type) {
        case DAG_INTNEG: case DAG_INTPOS: case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL:
        case DAG_STOP:
            r = fresh(n);
            if (r == nullptr) return nullptr;
            std::memcpy(r, d, n * sizeof(DagWord));
            break;
        case DAG_NAME: case DAG_STRING:
            if (allocate == nullptr) {
                r = dag_intern(dag_text(d), type);
                break;
            }
            r = fresh(n);
            if (r == nullptr) return nullptr;
            std::memcpy(r, d, n * sizeof(DagWord));
            r[1] = 0;
            dag_set_op(r, 2, copy(dag_op(d, 2), depth + 1));
            break;
        case DAG_SERIES:
            r = fresh(n);
            if (r == nullptr) return nullptr;
            r[0] = d[0];
            dag_set_op(r, 1, copy(dag_op(d, 1), depth + 1));
            for (std::size_t i = 2; i < n; i += 2) {
                dag_set_op(r, i, copy(dag_op(d, i), depth + 1));
                if (i + 1 < n) r[i + 1] = d[i + 1];
            }
            break;
        case DAG_HFARRAY: {
            r = fresh(n);
            if (r == nullptr) return nullptr;
            std::memcpy(r, d, n * sizeof(DagWord));
            std::size_t count = n > 2 ? std::size_t(d[2]) : 0;
            r[1] = 0;
            if (allocate != nullptr) {
                DagWord* data = count > 0 ? allocate(area, count) : nullptr;
                if (count > 0 && data == nullptr) {
                    failed = true;
                    return nullptr;
                }
                r[1] = reinterpret_cast<DagWord>(data);
            } else {
                hfarray_alloc(r, count);
            }
            if (count > 0 && d[1] != 0)
                std::memcpy(hfarray_data(r), hfarray_data(d), count * sizeof(double));
            break;
        }
        case DAG_GARBAGE: case DAG_FOREIGN: case DAG_CONTROL: case DAG_PROMPT: case DAG_DEBUG:
            failed = true;
            return nullptr;
        default:
            if (type == 0 || type > DAG_TYPE_COUNT) {
                failed = true;
                return nullptr;
            }
            r = fresh(n);
            if (r == nullptr) return nullptr;
            r[0] = d[0];
            for (std::size_t i = 1; i < n; ++i) dag_set_op(r, i, copy(dag_op(d, i), depth + 1));
            break;
        }
        if (failed) return nullptr;
        hash_insert(reinterpret_cast<DagKey>(d), reinterpret_cast<DagWord>(r), copied);
        return r;
    }
};

}  // namespace

Dag dag_copy_deep(const DagWord* dag, DagAllocator allocate, StorageArea* area) {
    DeepCopy c{allocate, area, dag_copied_table()};
    Dag r = nullptr;
    try {
        r = c.copy(dag, 0);
    } catch (...) {
        hash_clear(c.copied, true);
        throw;
    }
    hash_clear(c.copied, true);
    return c.failed ? nullptr : r;
}
