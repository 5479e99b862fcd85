// The known-name tables (see known.h).
#include "tools/vetlin/known.h"

#include <cctype>
#include <cstring>

#include "tools/vetlin/run.h"
#include "tools/vetlin/writer.h"

namespace {

const char* const kCategoryTexts[VL_CATEGORIES + 2] = {
    "",
    "throughout Kelvo",
    "as a readlib-defined name",
    "for evala",
    "as a constant",
    "as macro names",
    "as an inert name",
    "in the plot3d routine",
    "in the define routine",
    "as a type name",
    "to the interface routines",
    "for evalc",
    "for evalf",
    "for the convert routines",
    "for the diff routines",
    "for the expand routine",
    "for the limit routine",
    "for the simplify routines",
    "in the series routines",
    "for evalhf",
    "for 2D plotting",
    "for linear algebra",
    "for tables",
    "in calls to parse",
    "as a function in the combinat package",
    "as a function in the difforms package",
    "as a function in the geom3d package",
    "as a function in the geometry package",
    "as a function in the grobner package",
    "as a function in the linalg package",
    "as a function in the logic package",
    "as a function in the np package",
    "as a function in the numtheory package",
    "as a function in the orthopoly package",
    "as a function in the powseries package",
    "as a function in the projgeom package",
    "as a function in the simplex package",
    "as a function in the stats package",
    "as a function in the student package",
    "",
};

// A row as stored: the category numbers, NUL-ended (at most ten, so the eleventh byte is 0).
struct KnownEntry {
    const char* name;
    unsigned char categories[11];
};

const KnownEntry kEntries[] = {
#include "tools/vetlin/known_names.inc"
};
static_assert(sizeof kEntries / sizeof kEntries[0] == VL_KNOWN_NAMES);

KnownRow builtinRows[VL_KNOWN_NAMES + 1];
KnownTables tables = {nullptr, nullptr};

KnownTables& current() {
    if (tables.rows == nullptr) tables = known_builtin_tables();
    return tables;
}

[[noreturn]] void inconsistent(const char* first, long firstValue, const char* second, long secondValue) {
    std::fputs("vetlin: Internal inconsistancy: ", vl.err);
    std::fprintf(vl.err, first, firstValue);
    if (second != nullptr) {
        std::fputc(' ', vl.err);
        std::fprintf(vl.err, second, secondValue);
    }
    std::fputc('\n', vl.err);
    std::fflush(vl.err);
    vl_exit(127);
}

bool empty(const char* text) { return text == nullptr || *text == '\0'; }

int compare(const char* a, const char* b) { return std::strcmp(a, b); }   // bytes as unsigned

}  // namespace

KnownTables known_builtin_tables() {
    for (long i = 0; i < VL_KNOWN_NAMES; ++i)
        builtinRows[i] = {kEntries[i].name, reinterpret_cast<const char*>(kEntries[i].categories)};
    builtinRows[VL_KNOWN_NAMES] = {"", ""};
    return {kCategoryTexts, builtinRows};
}

void known_use_tables(KnownTables t) { tables = t; }

void known_self_check() {
    KnownTables& t = current();
    for (long i = 1; i <= VL_CATEGORIES; ++i)
        if (empty(t.categories[i]))
            inconsistent("Bad category count. Index=%ld", i, "Num. categories should be %ld", VL_CATEGORIES);
    if (!empty(t.categories[VL_CATEGORIES + 1]))
        inconsistent("Bad category count. Index=%ld", VL_CATEGORIES + 1, "Num. categories should be %ld",
                     VL_CATEGORIES);
    for (long i = 0; i < VL_KNOWN_NAMES; ++i)
        if (empty(t.rows[i].name))
            inconsistent("Bad name count. Index=%ld", i, "Num. names should be %ld", VL_KNOWN_NAMES);
    if (!empty(t.rows[VL_KNOWN_NAMES].name))
        inconsistent("Bad name count. Index=%ld", VL_KNOWN_NAMES, "Num. names should be %ld", VL_KNOWN_NAMES);
    for (long i = 0; i < VL_KNOWN_NAMES; ++i) {
        const char* categories = t.rows[i].categories;
        if (empty(categories)) inconsistent("Missing libuse list. Index=%ld", i, nullptr, 0);
        for (const unsigned char* c = reinterpret_cast<const unsigned char*>(categories); *c != 0; ++c)
            if (*c > VL_CATEGORIES) inconsistent("Bad category index. Name index=%ld", i, nullptr, 0);
    }
    // Rows out of byte order are sorted with names and category strings together.
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (long i = 0; i + 1 < VL_KNOWN_NAMES; ++i) {
            if (compare(t.rows[i].name, t.rows[i + 1].name) > 0) {
                const KnownRow row = t.rows[i];
                t.rows[i] = t.rows[i + 1];
                t.rows[i + 1] = row;
                swapped = true;
            }
        }
    }
}

long known_lookup(const char* text) {
    if (empty(text)) return -1;
    const KnownTables& t = current();
    long lo = 0;
    long hi = VL_KNOWN_NAMES - 1;
    while (lo <= hi) {
        const long mid = (lo + hi) / 2;
        const int order = compare(text, t.rows[mid].name);
        if (order < 0) {
            hi = mid - 1;
        } else if (order > 0) {
            lo = mid + 1;
        } else {
            if (vl.infoLevel >= 3 || vl.allPackages) return mid;
            for (const unsigned char* c = reinterpret_cast<const unsigned char*>(t.rows[mid].categories);
                 *c != 0; ++c)
                if (*c <= VL_CATEGORY_THRESHOLD) return mid;
            return -1;
        }
    }
    return -1;
}

bool known_needs_backquotes(const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p)
        if (!std::isalnum(*p) && *p != '_') return true;
    return false;
}

std::string known_contexts(const char* text) {
    const long row = known_lookup(text);
    if (row < 0) return "as the name of a library routine";
    const KnownTables& t = current();
    std::string contexts;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(t.rows[row].categories); *c != 0; ++c) {
        if (!contexts.empty()) contexts += ", ";
        contexts += t.categories[*c];
    }
    return contexts;
}

void known_describe(const char* text, long indentation) {
    writer_begin_line(indentation);
    std::string part = known_needs_backquotes(text) ? "`" + std::string(text) + "` " : text + std::string(" ");
    if (!known_needs_backquotes(text) && part.size() < 7) part.resize(7, ' ');
    writer_write(part.c_str());
    writer_set_extra(long(part.size()));
    writer_write("defined ");
    writer_write(known_contexts(text).c_str());
    writer_end_line();
}
