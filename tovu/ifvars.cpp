// Interface variables (see ifvars.h).
#include "ifvars.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

InterfaceOptions interfaceOptions;

namespace {

InterfaceSettings defaultBlock;

const char* const ERR_STRUCTURE = "Error, invalid structure";
const char* const ERR_UNKNOWN = "Error, unknown interface parameter";
const char* const ERR_LIST_LONG = "Error, parameter list is too long";
const char* const ERR_LIST_VALUE = "Error, invalid list value";
const char* const ERR_LIST_ASSIGN = "Error, invalid list assignment";
const char* const ERR_TOO_LONG = "Error, value is too long";

Dag answer(const char* message) { return dag_name(message); }

bool is_intpos(const DagWord* d) { return d != nullptr && dag_type(d) == DAG_INTPOS; }
bool is_one_word(const DagWord* d) { return is_intpos(d) && dag_length(d) == 2; }

// The value of an INTPOS when it fits a K_INT.
bool fitting_value(const DagWord* d, K_INT* out) {
    if (!is_intpos(d) || dag_length(d) > 4) return false;
    std::int64_t v = 0;
    for (std::size_t i = dag_length(d) - 1; i >= 1; --i) v = v * 10000 + std::int64_t(d[i]);
    if (v > 0x7FFFFFFF) return false;
    *out = K_INT(v);
    return true;
}

const char* text_of(const DagWord* d) {
    if (d == nullptr) return nullptr;
    unsigned t = dag_type(d);
    return t == DAG_NAME || t == DAG_STRING ? dag_text(d) : nullptr;
}

enum Kind { INT_ANY, INT_ONE_WORD, BOOLEAN, TEXT };

struct Variable {
    const char* name;
    Kind kind;
    std::size_t offset;   // of a K_INT field, or of a char array for TEXT
    std::size_t size;     // of the char array
};

#define FIELD(f) offsetof(InterfaceSettings, f)
const Variable variables[] = {
    {"prompt", TEXT, FIELD(prompt), sizeof(InterfaceSettings::prompt)},
    {"echo", INT_ANY, FIELD(echo), 0},
    {"errorbreak", INT_ANY, FIELD(errorbreak), 0},
    {"quiet", BOOLEAN, FIELD(quiet), 0},
    {"warnlevel", INT_ANY, FIELD(warnlevel), 0},
    {"screenwidth", INT_ONE_WORD, FIELD(screenwidth), 0},
    {"screenheight", INT_ONE_WORD, FIELD(screenheight), 0},
    {"errorcursor", BOOLEAN, FIELD(errorcursor), 0},
    {"prettyprint", INT_ANY, FIELD(prettyprint), 0},
    {"verboseproc", INT_ANY, FIELD(verboseproc), 0},
    {"labelling", BOOLEAN, FIELD(labelling), 0},
    {"labeling", BOOLEAN, FIELD(labelling), 0},
    {"indentamount", INT_ONE_WORD, FIELD(indentamount), 0},
    {"labelwidth", INT_ONE_WORD, FIELD(labelwidth), 0},
    {"ansi", BOOLEAN, FIELD(ansi), 0},
    {"showassumed", INT_ONE_WORD, FIELD(showassumed), 0},
    {"plotdevice", TEXT, FIELD(plotdevice), sizeof(InterfaceSettings::plotdevice)},
    {"plotoutput", TEXT, FIELD(plotoutput), sizeof(InterfaceSettings::plotoutput)},
};
#undef FIELD

K_INT* int_field(InterfaceSettings* block, const Variable& v) {
    return reinterpret_cast<K_INT*>(reinterpret_cast<char*>(block) + v.offset);
}
const K_INT* int_field(const InterfaceSettings* block, const Variable& v) {
    return reinterpret_cast<const K_INT*>(reinterpret_cast<const char*>(block) + v.offset);
}

const Variable* find_variable(const char* name) {
    for (const Variable& v : variables)
        if (std::strcmp(v.name, name) == 0) return &v;
    return nullptr;
}

// Stores a plot list; the answer is null when it was stored.
const char* set_plot_list(const DagWord* list, std::int8_t* count, std::int8_t* values) {
    const DagWord* items = dag_op(list, 1);
    std::size_t n = items != nullptr && dag_type(items) == DAG_EXPSEQ ? dag_length(items) - 1 : 0;
    if (n > std::size_t(INTERFACE_PLOTLIST_MAX)) return ERR_LIST_LONG;
    for (std::size_t i = 0; i < n; ++i) {
        const DagWord* e = dag_op(items, i + 1);
        bool oneWord = e != nullptr && dag_is_integer(e) && dag_length(e) == 2;
        long value = oneWord ? long(e[1]) * (dag_type(e) == DAG_INTNEG ? -1 : 1) : 0;
        if (!oneWord || value < -128 || value > 127) {
            *count = std::int8_t(i);   // the elements before this one stay stored
            return ERR_LIST_VALUE;
        }
        values[i] = std::int8_t(value);
    }
    *count = std::int8_t(n);
    return nullptr;
}

Dag plot_list(std::int8_t count, const std::int8_t* values) {
    int n = count < 0 ? 0 : count;
    Dag items = dag_new(std::size_t(n) + 1, DAG_EXPSEQ);
    for (int i = 0; i < n; ++i) dag_set_op(items, std::size_t(i) + 1, dag_of_int(values[i]));
    return dag_new1(DAG_LIST, items);
}

}  // namespace

InterfaceSettings* interface_default_block() { return &defaultBlock; }

InterfaceSettings* interface_vars_new() {
    auto* block = new (std::nothrow) InterfaceSettings(defaultBlock);
    if (block == nullptr) return nullptr;
    block->plotoptions = nullptr;
    if (defaultBlock.plotoptions != nullptr &&
        interface_set_text(&block->plotoptions, defaultBlock.plotoptions) != 0) {
        delete block;
        return nullptr;
    }
    return block;
}

void interface_vars_free(InterfaceSettings* block) {
    if (block == nullptr) return;
    std::free(block->plotoptions);
    delete block;
}

int interface_set_text(char** slot, const char* text) {
    if (slot == nullptr) return -1;
    char* copy = nullptr;
    if (text != nullptr) {
        std::size_t n = std::strlen(text) + 1;
        copy = static_cast<char*>(std::malloc(n));
        if (copy == nullptr) return -1;
        std::memcpy(copy, text, n);
    }
    std::free(*slot);
    *slot = copy;
    return 0;
}

Dag interface_set(const DagWord* request, InterfaceSettings* block) {
    if (request == nullptr || dag_type(request) != DAG_EXPSEQ || dag_length(request) != 3 ||
        dag_type(dag_op(request, 1)) != DAG_NAME)
        return answer(ERR_STRUCTURE);
    const char* name = dag_text(dag_op(request, 1));
    const DagWord* value = dag_op(request, 2);
    if (value == nullptr) return answer(ERR_STRUCTURE);

    if (dag_type(value) == DAG_LIST) {
        const char* error = nullptr;
        if (std::strcmp(name, "preplot") == 0)
            error = set_plot_list(value, &block->preplotCount, block->preplot);
        else if (std::strcmp(name, "postplot") == 0)
            error = set_plot_list(value, &block->postplotCount, block->postplot);
        else
            error = ERR_LIST_ASSIGN;
        return error != nullptr ? answer(error) : dag_NULL;
    }

    if (const Variable* v = find_variable(name)) {
        K_INT n = 0;
        switch (v->kind) {
        case INT_ANY:
            if (!fitting_value(value, &n)) break;
            *int_field(block, *v) = n;
            return dag_NULL;
        case INT_ONE_WORD:
            if (!is_one_word(value)) break;
            *int_field(block, *v) = K_INT(value[1]);
            return dag_NULL;
        case BOOLEAN:
            if (dag_type(value) != DAG_NAME) break;
            *int_field(block, *v) = std::strcmp(dag_text(value), "true") == 0 ? 1 : 0;
            return dag_NULL;
        case TEXT: {
            const char* text = text_of(value);
            if (text == nullptr) break;
            if (std::strcmp(v->name, "plotdevice") == 0 && std::strcmp(text, "default") == 0)
                text = "char";
            if (std::strlen(text) >= v->size) return answer(ERR_TOO_LONG);
            std::memcpy(reinterpret_cast<char*>(block) + v->offset, text, std::strlen(text) + 1);
            return dag_NULL;
        }
        }
        return answer(ERR_UNKNOWN);
    }
    if (std::strcmp(name, "plotoptions") == 0) {
        const char* text = text_of(value);
        if (text == nullptr) return answer(ERR_UNKNOWN);
        if (interface_set_text(&block->plotoptions, text) != 0) return answer(ERR_TOO_LONG);
        return dag_NULL;
    }
    if (std::strcmp(name, "latexwidth") == 0) {
        K_INT n = 0;
        if (!fitting_value(value, &n)) return answer(ERR_UNKNOWN);
        block->latexwidth = n / 1000.0;
        return dag_NULL;
    }
    return answer(ERR_UNKNOWN);
}

Dag interface_get(const DagWord* request, const InterfaceSettings* block) {
    if (request == nullptr || dag_type(request) != DAG_EXPSEQ || dag_length(request) != 2 ||
        dag_type(dag_op(request, 1)) != DAG_NAME)
        return answer(ERR_STRUCTURE);
    const char* name = dag_text(dag_op(request, 1));
    Dag trueName = dag_builtins[BUILTIN_TRUE];
    Dag falseName = dag_builtins[BUILTIN_FALSE];

    if (const Variable* v = find_variable(name)) {
        switch (v->kind) {
        case INT_ANY:
        case INT_ONE_WORD:
            return dag_of_int(*int_field(block, *v));
        case BOOLEAN:
            return *int_field(block, *v) != 0 ? trueName : falseName;
        case TEXT:
            return dag_name(reinterpret_cast<const char*>(block) + v->offset);
        }
    }
    if (std::strcmp(name, "endcolon") == 0) return block->terminator == 0 ? trueName : falseName;
    if (std::strcmp(name, "plotoptions") == 0)
        return dag_name(block->plotoptions != nullptr ? block->plotoptions : "");
    if (std::strcmp(name, "version") == 0) return dag_name(interface_version_banner());
    if (std::strcmp(name, "latexwidth") == 0) return dag_of_int(long(block->latexwidth * 1000.0));
    if (std::strcmp(name, "preplot") == 0) return plot_list(block->preplotCount, block->preplot);
    if (std::strcmp(name, "postplot") == 0) return plot_list(block->postplotCount, block->postplot);
    return answer(ERR_UNKNOWN);
}

const char* interface_version_banner(bool win32s) {
    static char banner[96];
    std::snprintf(banner, sizeof banner, "Kelvo Worksheet Interface, %s, %s, %s", "Release 5",
                  win32s ? "IBM INTEL WIN32S" : "IBM INTEL NT", "Nov 27 1997");
    return banner;
}

// ---- KInterfaceVars -----------------------------------------------------------------------------
KInterfaceVars::KInterfaceVars(const InterfaceOptions& options) : block_(interface_vars_new()) {
    if (block_ == nullptr) throw std::bad_alloc();
    block_->prettyprint = options.prettyPrint;
    block_->showassumed = options.showAssumed;
    // A device name that does not fit keeps the default block's device.
    if (options.plotDevice.size() <= std::size_t(INTERFACE_PLOTDEVICE_MAX))
        std::memcpy(block_->plotdevice, options.plotDevice.c_str(), options.plotDevice.size() + 1);
}

KInterfaceVars::~KInterfaceVars() { interface_vars_free(block_); }

Dag KInterfaceVars::set(const DagWord* request) {
    Dag result = interface_set(request, block_);
    if (dag_is_null(result) && dag_length(request) == 3 &&
        std::strcmp(dag_text(dag_op(request, 1)), "plotdevice") == 0) {
        const char* text = text_of(dag_op(request, 2));
        if (text != nullptr && std::strcmp(text, "default") == 0)
            std::memcpy(block_->plotdevice, "inline", sizeof "inline");
    }
    return result;
}

Dag KInterfaceVars::get(const DagWord* request) const { return interface_get(request, block_); }
