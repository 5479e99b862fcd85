// Name usage and procedure analysis (see usage.h).
#include "tools/vetlin/usage.h"

#include <algorithm>
#include <cstring>

#include "tools/vetlin/checks.h"
#include "tools/vetlin/known.h"
#include "tools/vetlin/library.h"
#include "tools/vetlin/procdb.h"
#include "tools/vetlin/report.h"
#include "tools/vetlin/scoping.h"

void (*usageAnalysedHook)(const char* name) = nullptr;

namespace {

// Uses other than reading, passing, calling, unevaluated names, package indexes, substitution
// variables, call-by-name arguments and map procedures: a global with any of them was defined
// here and should have been declared.
constexpr VWord kDefiningUses = 0xff21bff9;

VObj seq() { return store_sequence(10, DAG_EXPSEQ); }

bool assigns(VWord mode) { return (mode & (VL_ASSIGNED | VL_UNASSIGNED)) != 0; }

void append(VObj& list, const VWord* item) { list = store_append1(list, item); }

const char* text_of(const VWord* name) {
    const VWord* n = scoping_declared_name(name);
    return n != nullptr ? vl_name_text(n) : "";
}

void remove_name(VObj list, const VWord* name) {
    for (long i = 1; i < vl_length(list); ++i) {
        if (scoping_same_name(vl_op(list, i), name)) {
            store_delete1(list, i);
            return;
        }
    }
}

bool contains_name(const VWord* list, const VWord* name) {
    for (long i = 1; i < vl_length(list); ++i)
        if (scoping_same_name(vl_op(list, i), name)) return true;
    return false;
}

// Catenated names compare as whole objects: names by text, numbers and strings by their words,
// everything else operand by operand.
bool same_object(const VWord* a, const VWord* b) {
    if (a == b) return true;
    if (a == nullptr || b == nullptr) return false;
    if (vl_type(a) == DAG_NAME && vl_type(b) == DAG_NAME)
        return std::strcmp(vl_name_text(a), vl_name_text(b)) == 0;
    if ((a[0] & VL_HEADER_KEY) != (b[0] & VL_HEADER_KEY)) return false;
    const unsigned type = vl_type(a);
    if (type == DAG_INTPOS || type == DAG_INTNEG || type == DAG_STRING || type == DAG_STOP)
        return store_equal(a, b);
    for (long i = 1; i < vl_length(a); ++i)
        if (!same_object(vl_op(a, i), vl_op(b, i))) return false;
    return true;
}

// Elements of an EXPSEQ as a plain list of the same elements (a growable copy).
VObj elements(const VWord* sequence) {
    VObj list = seq();
    if (sequence != nullptr && vl_type(sequence) == DAG_EXPSEQ)
        for (long i = 1; i < vl_length(sequence); ++i) append(list, vl_op(sequence, i));
    return list;
}

// Removes later duplicates of each name, recording error n on it.
void remove_duplicates(VObj list, int n) {
    for (long i = 1; i < vl_length(list); ++i) {
        for (long j = i + 1; j < vl_length(list);) {
            if (scoping_same_name(vl_op(list, i), vl_op(list, j))) {
                usage_error(vl_op(list, j), n);
                store_delete1(list, j);
            } else {
                ++j;
            }
        }
    }
}

bool has_option(const VWord* proc, int predefined) {
    const VWord* options = vl_op(proc, 3);
    if (options == nullptr || vl_type(options) != DAG_EXPSEQ) return false;
    for (long i = 1; i < vl_length(options); ++i)
        if (scoping_same_name(vl_op(options, i), vl.predefined[predefined])) return true;
    return false;
}

// ORs the flags into the first record of the name among the lists.
void propagate(const VWord* name, VWord flags, std::initializer_list<VObj> lists) {
    for (VObj list : lists) {
        if (VObj record = usage_find(list, name)) {
            record[1] |= flags;
            return;
        }
    }
}

}  // namespace

VetlinScope usage_new_scope() {
    VetlinScope s;
    s.parameters = seq();
    s.locals = seq();
    s.scoped = seq();
    s.globals = seq();
    s.underscoreGlobals = seq();
    s.systemNames = seq();
    s.catenated = seq();
    s.errors = seq();
    s.notAssigned = seq();
    s.declaredGlobals = vl.null;
    s.argumentCounts = seq();
    s.unreachable = seq();
    s.outsideLoops = seq();
    s.outsideProcedures = seq();
    s.macroNames = seq();
    s.seqConstructs = seq();
    s.equations = seq();
    s.impliedMultiplications = seq();
    s.invalidTargets = seq();
    s.backquotes = seq();
    s.argsCalls = seq();
    s.errorTexts = seq();
    s.calledFunctions = seq();
    s.loopVariables = seq();
    return s;
}

VObj usage_record(const VWord* name, VWord flags) {
    VObj record = store_new(3, VL_USAGE);
    record[1] = flags;
    vl_set_op(record, 2, name);
    return record;
}

VObj usage_find(const VWord* list, const VWord* name) {
    for (long i = 1; i < vl_length(list); ++i) {
        VObj record = vl_op(list, i);
        if (scoping_same_name(usage_name(record), name)) return record;
    }
    return nullptr;
}

void usage_error(const VWord* name, int n) {
    if (RecordErrorClass(n) == 0) return;
    VObj record = usage_find(vl.scope.errors, name);
    if (record == nullptr) {
        record = usage_record(name, 0);
        append(vl.scope.errors, record);
    }
    record[1] |= VWord(1) << n;
}

VObj usage_reference(const VWord* name, VWord mode) {
    VetlinScope& s = vl.scope;
    if ((mode & VL_UNASSIGNED) != 0 && !contains_name(s.notAssigned, name)) append(s.notAssigned, name);
    if ((mode & VL_ASSIGNED) != 0) remove_name(s.notAssigned, name);
    if (vl_backquoted(name) && RecordErrorClass(20) != 0)
        s.backquotes = store_append2(s.backquotes, name, store_integer(vl_first_line(name)));
    for (VObj list : {s.parameters, s.locals, s.scoped}) {
        if (VObj record = usage_find(list, name)) {
            record[1] |= mode;
            return record;
        }
    }
    const char* text = text_of(name);
    if (known_is_system(text)) {
        if (std::strcmp(text, "args") == 0) s.usesArgs = true;
        if (std::strcmp(text, "nargs") == 0) s.usesNargs = true;
        VObj record = usage_find(s.systemNames, name);
        if (record == nullptr) {
            record = usage_record(name, mode);
            append(s.systemNames, record);
        }
        if (assigns(mode) && !vl.suppressLibraryWarnings && std::strcmp(text, "Digits") != 0 &&
            std::strcmp(text, "printlevel") != 0)
            usage_error(name, 24);
        return record;
    }
    if (VObj record = usage_find(s.systemNames, name)) {
        record[1] |= mode;
        if (assigns(mode)) record[1] &= ~VWord(VL_UNASSIGNED);
        if (assigns(mode) && !vl.suppressLibraryWarnings) usage_error(name, 23);
        return record;
    }
    VObj& own = text[0] == '_' ? s.underscoreGlobals : s.globals;
    if (VObj record = usage_find(own, name)) {
        record[1] |= mode;
        return record;
    }
    if (library_is_routine(text)) {
        VObj record = usage_record(name, mode);
        append(s.systemNames, record);
        if (assigns(mode) && !vl.suppressLibraryWarnings) usage_error(name, 23);
        return record;
    }
    if (std::strncmp(text, "_Env", 4) == 0) return nullptr;
    VObj record = usage_record(name, mode);
    append(own, record);
    return record;
}

void usage_catenated(const VWord* catenation, VWord mode) {
    VetlinScope& s = vl.scope;
    for (long i = 1; i < vl_length(s.catenated); ++i) {
        VObj record = vl_op(s.catenated, i);
        if (same_object(usage_name(record), catenation)) {
            record[1] |= mode;
            return;
        }
    }
    append(s.catenated, usage_record(catenation, mode));
    if (!(vl.suppressLibraryWarnings && vl.depth == 0)) RecordErrorClass(26);
}

void usage_analyse_procedure(VObj proc, const char* name, bool globalDefinition) {
    if (proc == nullptr || vl_length(proc) < 9) return;
    ++vl.depth;
    const VetlinScope outer = vl.scope;
    const int outerSeverity = vl.Severity;
    const bool outerForced = vl.forcedReport;
    vl.scope = usage_new_scope();
    vl.Severity = 4;
    vl.forcedReport = false;
    VetlinScope& s = vl.scope;

    // 2-5: parameters and locals.
    VObj parameters = elements(vl_op(proc, 1));
    VObj locals = elements(vl_op(proc, 2));
    remove_duplicates(parameters, 3);
    remove_duplicates(locals, 2);
    const VWord* explicitLocals = vl_op(proc, 6);
    for (long i = 1; i < vl_length(locals); ++i)
        if (!contains_name(explicitLocals, vl_op(locals, i))) usage_error(vl_op(locals, i), 21);
    for (long i = 1; i < vl_length(parameters); ++i) {
        const VWord* p = vl_op(parameters, i);
        if (contains_name(locals, p)) {
            remove_name(locals, p);
            usage_error(p, 4);
        }
    }
    for (VObj list : {parameters, locals}) {
        for (long i = 1; i < vl_length(list); ++i) {
            const VWord* n = vl_op(list, i);
            if (scoping_declared_name(n) == nullptr) continue;
            if (known_is_system(text_of(n))) usage_error(n, 27);
            if (checks_is_macro(n)) usage_error(n, list == parameters ? 16 : 17);
        }
    }
    // 6: the usage records.
    for (long i = 1; i < vl_length(locals); ++i) append(s.locals, usage_record(vl_op(locals, i), 0));
    for (long i = 1; i < vl_length(parameters); ++i) append(s.parameters, usage_record(vl_op(parameters, i), 0));
    const VWord* scoped = vl_op(proc, 8);
    if (scoped != nullptr && vl_type(scoped) == DAG_EXPSEQ)
        for (long i = 1; i + 1 < vl_length(scoped); i += 2) append(s.scoped, usage_record(vl_op(scoped, i), 0));
    for (long i = 1; i < vl_length(locals); ++i) append(s.notAssigned, vl_op(locals, i));
    s.declaredGlobals = vl_op(proc, 4);

    // 7: the body.
    if (vl.debug == 1)
        std::fprintf(vl.report, "Before body check, Severity=%d, TotalSeverity=%d\n", vl.Severity, vl.TotalSeverity);
    CheckStatement(checks_expand_macros(vl_op(proc, 5)));
    if (vl.debug == 1)
        std::fprintf(vl.report, "After body check, Severity=%d, TotalSeverity=%d\n", vl.Severity, vl.TotalSeverity);

    // 8-12: what the usage shows.
    for (long i = 1; i < vl_length(s.parameters); ++i) {
        const VObj record = vl_op(s.parameters, i);
        if ((usage_flags(record) & (VL_ASSIGNED | VL_READ | VL_ARGUMENT)) == 0)
            usage_error(usage_name(record), s.usesArgs ? 31 : 14);
    }
    for (long i = 1; i < vl_length(s.locals); ++i) {
        const VObj record = vl_op(s.locals, i);
        const VWord flags = usage_flags(record);
        if (flags == 0) usage_error(usage_name(record), 11);
        else if ((flags & (VL_ASSIGNED | 0x100000 | 0x400000)) == 0) usage_error(usage_name(record), 12);
        if ((flags & 7) == VL_ASSIGNED) usage_error(usage_name(record), 13);
    }
    for (long i = 1; i < vl_length(s.globals); ++i) {
        const VObj record = vl_op(s.globals, i);
        const char* text = text_of(usage_name(record));
        if ((usage_flags(record) & kDefiningUses) != 0 && text[0] != '\0' && !known_needs_backquotes(text) &&
            !contains_name(s.declaredGlobals, usage_name(record)))
            usage_error(usage_name(record), 9);
    }
    if (!vl.suppressLibraryWarnings)
        for (long i = 1; i < vl_length(s.underscoreGlobals); ++i) usage_error(usage_name(vl_op(s.underscoreGlobals, i)), 10);
    for (long i = 1; i + 1 < vl_length(vl.macros); i += 2) {
        const VWord* macro = vl_op(vl.macros, i);
        for (VObj list : {s.globals, s.underscoreGlobals}) {
            const VObj record = usage_find(list, macro);
            if (record != nullptr && (usage_flags(record) & VL_ASSIGNED) != 0) usage_error(macro, 15);
        }
    }
    // 13-15: database line, report, the run's severity.
    if (vl.appendDatabase != nullptr && globalDefinition && name[0] != '\0')
        procdb_write(name, vl_length(s.parameters) - 1, s.usesArgs || s.usesNargs, vl.fileName.c_str());
    if (vl.infoLevel >= vl.Severity || vl.forcedReport || vl.crossReference)
        report_procedure(name, has_option(proc, VL_PRE_OPERATOR), vl_first_line(proc), vl_last_line(proc));
    vl.TotalSeverity = std::min(vl.TotalSeverity, vl.Severity);
    if (usageAnalysedHook != nullptr) usageAnalysedHook(name);

    // 16-17: scoped names' usage goes outward; the enclosing scope comes back.
    const VetlinScope inner = vl.scope;
    vl.scope = outer;
    vl.Severity = outerSeverity;
    vl.forcedReport = outerForced;
    for (long i = 1; i < vl_length(inner.scoped); ++i) {
        const VObj record = vl_op(inner.scoped, i);
        propagate(usage_name(record), usage_flags(record),
                  {vl.scope.parameters, vl.scope.locals, vl.scope.globals, vl.scope.scoped});
    }
    --vl.depth;
}
