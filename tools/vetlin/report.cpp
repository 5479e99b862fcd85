// Reports of the checker (see report.h).
#include "tools/vetlin/report.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tools/vetlin/input.h"
#include "tools/vetlin/known.h"
#include "tools/vetlin/printer.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/scoping.h"
#include "tools/vetlin/usage.h"
#include "tools/vetlin/writer.h"

namespace {

const char* const kHeadings[VL_ERRORS] = {
    "The following statements are not inside any loop: ",
    "The following statements are not inside any procedure: ",
    "These names were declared more than once as a local variable: ",
    "These names appeared more than once in the parameter list: ",
    "These names were declared as both a local variable and a parameter: ",
    "Invalid left hand side of assignment: ",
    "These names were used as the same loop variable for nested loops: ",
    "There is unreachable code that will never be executed: ",
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one heading, split to fit the line
    "These names were used as iteration control variables for both a $, sum, or product construct "
    "and a loop: ",
    "These names were used as global names but were not declared: ",
    "Underscore names are reserved for use in the library. These global names start with _: ",
    "These local variables were never used: ",
    "These local variables were used but never assigned a value: ",
    "These local variables were assigned a value but otherwise not used: ",
    "These parameters were never used: ",
    "These names defined in a macro or alias statement were assigned a value: ",
    "These parameters were also used as macro or alias names: ",
    "These local variables were also used as macro or alias names: ",
    "These macro or alias names were expanded to a non-name where a name was needed: ",
    "Possible implied multiplication: ",
    "Quotes are not needed around these names: ",
    "These local variables were not declared explicitly: ",
    "The following fcn calls disagree with number of parameters in the fcn def:",
    "These library names were assigned a value: ",
    "These system defined names were assigned a value: ",
    "These system defined names were redefined in a macro or alias statement: ",
    "These catenated names were used: ",
    "These parameters or local variables are also system defined names: ",
    "These names defined in a macro or alias statement were redefined: ",
    "Control variable of seq, add, or mul not referenced in body: ",
    "Equations were used as statements on the following lines: ",
    "These parameters were never used explicitly: ",
};
const char* const kGlobalsWithoutUnderscore =
    "These names were used as global names but the names don't start with _: ";

// The usage words in their fixed order, with their flags.
const struct {
    VWord flag;
    const char* word;
} kUsageWords[] = {
    {0x1000, "used as a list or table"}, {0x2000, "used as a set"}, {0x4000, "called as a fcn"},
    {0x8000, "used as a range"}, {0x10000, "used as a value"}, {0x40000, "used as an unevaluated name"},
    {0x80000, "used as a function package index"}, {0x100000, "used as a substitution variable"},
    {0x100, "assigned a value as a list or table elt"}, {0x8, "assigned a list"}, {0x10, "assigned a set"},
    {0x20, "assigned a procedure"}, {0x40, "assigned a range"}, {0x80, "assigned a value"},
    {0x200, "assigned a function value"}, {0x200000, "used as a call-by-value arg"},
    {0x400000, "used as a call-by-name arg"}, {0x800000, "used as a map or frontend procedure"},
};

// Flags of the globals that the end of the file judges, and those a -l file's own names may have.
constexpr VWord kFileDefiningUses = 0xff23bff9;
constexpr VWord kOwnRoutineUses = 0xdc4206;

bool is(const VWord* o, unsigned type) { return o != nullptr && vl_type(o) == type; }

long integer(const VWord* o) { return vl_is_integer(o) ? store_to_integer(o) : 0; }

// The text a name or record sorts by.
std::string sort_text(const VWord* o) {
    if (is(o, VL_USAGE)) o = usage_name(o);
    if (const VWord* name = scoping_declared_name(o)) return vl_name_text(name);
    return printer_text(o);
}

std::vector<const VWord*> sorted(const VWord* list) {
    std::vector<const VWord*> items;
    for (long i = 1; i < vl_length(list); ++i) items.push_back(vl_op(list, i));
    std::stable_sort(items.begin(), items.end(),
                     [](const VWord* a, const VWord* b) { return sort_text(a) < sort_text(b); });
    return items;
}

const VWord* named_object(const VWord* o) { return is(o, VL_USAGE) ? usage_name(o) : o; }

void print_names(const std::vector<const VWord*>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) writer_write(", ");
        printer_print(named_object(items[i]));
    }
}

// Heading, a blank and the sorted names on one line; nothing for an empty list.
void name_list(long indentation, const char* heading, const VWord* list) {
    if (vl_length(list) <= 1) return;
    writer_begin_line(indentation);
    writer_write(heading);
    writer_write(" ");
    print_names(sorted(list));
    writer_end_line();
}

void description_list(long indentation, long nameIndentation, const char* heading,
                      const std::vector<const VWord*>& names) {
    if (names.empty()) return;
    writer_begin_line(indentation);
    writer_write(heading);
    writer_end_line();
    for (const VWord* n : names) known_describe(sort_text(n).c_str(), nameIndentation);
}

void usage_list(long indentation, long nameIndentation, const char* heading, const VWord* list) {
    if (vl_length(list) <= 1) return;
    writer_begin_line(indentation);
    writer_write(heading);
    writer_end_line();
    for (const VWord* record : sorted(list)) {
        const VWord* name = usage_name(record);
        writer_begin_line(nameIndentation);
        printer_print(name);
        if (is(name, DAG_NAME)) {
            const char* text = vl_name_text(name);
            long width = long(std::strlen(text));
            if (text[0] == '\0' || known_needs_backquotes(text)) width += 2;
            for (; width < 6; ++width) writer_write(" ");
        }
        writer_write(" was ");
        const VWord flags = usage_flags(record);
        if (flags == 0) writer_write("never used");
        bool first = true;
        for (const auto& w : kUsageWords) {
            if ((flags & w.flag) == 0) continue;
            if (!first) writer_write(", ");
            writer_write(w.word);
            first = false;
        }
        writer_end_line();
    }
}

bool shows(int n) { return vl.infoLevel >= vl.errorClass[n] || vl.forced[n]; }

// " on line " or " on lines " and the lines of a list of line numbers, unless reading a terminal.
void line_numbers(const VWord* lines) {
    if (input_is_terminal()) return;
    writer_write(vl_length(lines) == 2 ? "on line " : "on lines ");
    for (long i = 1; i < vl_length(lines); ++i) {
        if (i > 1) writer_write(", ");
        writer_printf("%ld", integer(vl_op(lines, i)));
    }
}

void details(long b) {
    const VetlinScope& s = vl.scope;
    if (shows(22)) {
        for (long i = 1; i < vl_length(s.argumentCounts); ++i) {
            const VWord* e = vl_op(s.argumentCounts, i);
            const long arguments = integer(vl_op(e, 2));
            writer_begin_line(b);
            printer_print(vl_op(e, 1));
            if (arguments == 1) writer_write(" was called with 1 arg");
            else writer_printf(" was called with %ld args,", arguments);
            writer_location(integer(vl_op(e, 3)));
            writer_printf(" but defined for %s in %s",
                          report_count_phrase(integer(vl_op(e, 4)), integer(vl_op(e, 5))).c_str(),
                          is(vl_op(e, 6), DAG_NAME) ? vl_name_text(vl_op(e, 6)) : "");
            writer_end_line();
        }
    }
    auto located = [&](int n, const VWord* list, const char* format, long indentation) {
        if (!shows(n)) return;
        for (long i = 1; i + 1 < vl_length(list); i += 2) {
            writer_begin_line(indentation);
            writer_printf(format, printer_text(vl_op(list, i)).c_str());
            writer_location(integer(vl_op(list, i + 1)));
            writer_end_line();
        }
    };
    located(7, s.unreachable, "There is unreachable code following a %s statement", b);
    located(0, s.outsideLoops, "A %s statement is found outside of any loop", b);
    if (vl.depth == 0) located(1, s.outsideProcedures, "A %s statement is found outside of any procedure", 0);
    if (shows(18)) {
        for (long i = 1; i + 1 < vl_length(s.macroNames); i += 2) {
            writer_begin_line(b);
            writer_printf("The macro name %s was expanded ", printer_text(vl_op(s.macroNames, i)).c_str());
            writer_write("into an non-assignable expr where a name was needed ");
            writer_location(integer(vl_op(s.macroNames, i + 1)));
            writer_end_line();
        }
    }
    if (shows(29)) {
        for (long i = 1; i + 1 < vl_length(s.seqConstructs); i += 2) {
            const VWord* call = vl_op(s.seqConstructs, i);
            writer_begin_line(b);
            writer_printf("The main expr of a %s construct", printer_text(vl_op(call, 1)).c_str());
            writer_location(integer(vl_op(s.seqConstructs, i + 1)));
            writer_write(" doesn't contain the iteration control variable.");
            writer_end_line();
        }
    }
    if (shows(30) && vl_length(s.equations) > 1) {
        writer_begin_line(b);
        if (vl_length(s.equations) == 2) writer_write("An equation is used as a statement ");
        else writer_printf("There are %ld equations used as statements ", vl_length(s.equations) - 1);
        line_numbers(s.equations);
        writer_end_line();
    }
    if (shows(19)) {
        for (long i = 1; i + 1 < vl_length(s.impliedMultiplications); i += 2) {
            writer_begin_line(b);
            writer_write("This function call");
            writer_location(integer(vl_op(s.impliedMultiplications, i + 1)));
            writer_write(" seems to be a product which is missing the ");
            writer_write("* operator: ");
            printer_print(vl_op(s.impliedMultiplications, i));
            writer_end_line();
        }
    }
    if (shows(5) && vl_length(s.invalidTargets) > 1) {
        writer_begin_line(b);
        writer_write("Invalid left hand side of assignment ");
        line_numbers(s.invalidTargets);
        writer_end_line();
    }
    if (shows(20)) {
        for (long i = 1; i + 1 < vl_length(s.backquotes); i += 2) {
            writer_begin_line(b);
            writer_write("This name");
            writer_location(integer(vl_op(s.backquotes, i + 1)));
            writer_write(" does not need backquotes(``): ");
            printer_print(vl_op(s.backquotes, i));
            writer_end_line();
        }
    }
}

// Names whose error record carries one of the errors.
std::vector<const VWord*> names_with_errors(std::initializer_list<int> numbers) {
    std::vector<const VWord*> names;
    for (const VWord* record : sorted(vl.scope.errors)) {
        for (int n : numbers) {
            if ((usage_flags(record) & (VWord(1) << n)) != 0) {
                names.push_back(usage_name(record));
                break;
            }
        }
    }
    return names;
}

void report(const char* name, bool isOperator, long first, long last) {
    const VetlinScope& s = vl.scope;
    const bool procedure = vl.depth >= 1;
    const long b = procedure ? 2 : 0;
    const long nameIndentation = procedure ? 6 : 4;
    const int level = vl.infoLevel;
    // 1. Heading.
    if (procedure) {
        writer_begin_line(0);
        if (vl.depth >= 2) writer_write("Nested ");
        const char* t = isOperator ? "Operator " : "Procedure ";
        if (name[0] != '\0') writer_printf("%s %s(", t, name);
        else writer_printf("Anonymous %s proc(", t);
        if (vl_length(s.parameters) > 1) {
            writer_write(" ");
            for (long i = 1; i < vl_length(s.parameters); ++i) {
                if (i > 1) writer_write(", ");
                printer_print(usage_name(vl_op(s.parameters, i)));
            }
            writer_write(" ");
        }
        writer_write(") ");
        if (first >= 1 && !input_is_terminal()) {
            if (first == last) writer_printf("on line %ld", first);
            else writer_printf("on lines %ld to %ld", first, last);
        }
        writer_end_line();
    }
    // 2. Error lists.
    const std::vector<const VWord*> errors = sorted(s.errors);
    for (int n = 0; n < VL_ERRORS; ++n) {
        if (n > vl.highestError[level] && !vl.forced[n]) continue;
        std::vector<const VWord*> names;
        for (const VWord* record : errors)
            if ((usage_flags(record) & (VWord(1) << n)) != 0) names.push_back(usage_name(record));
        if (names.empty()) continue;
        writer_begin_line(b);
        writer_write(n == 9 && vl.suppressLibraryWarnings ? kGlobalsWithoutUnderscore : kHeadings[n]);
        writer_write(" ");
        print_names(names);
        writer_end_line();
    }
    // 3. Detail lines.
    details(b);
    // 4. Usage sections.
    const bool catenatedOn = !vl.turnedOff[26];
    if (procedure) {
        if (level >= 4) {
            usage_list(b, nameIndentation, "Parameter usage: ", s.parameters);
            usage_list(b, nameIndentation, "Local variable usage: ", s.locals);
            usage_list(b, nameIndentation, "Scoped variable usage: ", s.scoped);
            usage_list(b, nameIndentation, "Global variables used in this procedure: ", s.globals);
            usage_list(b, nameIndentation, "System names used in this procedure: ", s.systemNames);
            if (catenatedOn) usage_list(b, nameIndentation, "Catenated names used in this procedure: ", s.catenated);
        } else if (level == 3) {
            name_list(b, "Global names used in this procedure: ", s.globals);
            if (catenatedOn) name_list(b, "Catenated names used in this procedure: ", s.catenated);
        } else if (vl.forced[26]) {
            name_list(b, "Catenated names used in this procedure: ", s.catenated);
        }
    } else {
        if (level >= 4) {
            usage_list(b, nameIndentation, "Global variables used in this file: ", s.globals);
            usage_list(b, nameIndentation, "System names used in this file: ", s.systemNames);
            if (catenatedOn) usage_list(b, nameIndentation, "Catenated names used in this file: ", s.catenated);
        } else if (level == 3) {
            const long least = vl.suppressLibraryWarnings ? 3 : 2;   // list length: names + 1
            if (vl_length(s.globals) >= least) name_list(b, "Global names used in this file: ", s.globals);
            if (catenatedOn && vl_length(s.catenated) >= least)
                name_list(b, "Catenated names used in this file: ", s.catenated);
        } else if (vl.forced[26]) {
            name_list(b, "Catenated names used in this file: ", s.catenated);
        }
    }
    // 5. Error texts.
    if (level >= 4 && vl_length(s.errorTexts) > 1) {
        writer_begin_line(b);
        writer_write("Error msgs generated:");
        writer_end_line();
        for (long i = 1; i < vl_length(s.errorTexts); ++i) {
            writer_begin_line(b + 4);
            printer_print(vl_op(s.errorTexts, i));
            writer_end_line();
        }
    }
    // 6. Known names and the functions called.
    if (level >= 4) {
        std::vector<const VWord*> names;
        for (const VWord* record : sorted(s.systemNames)) names.push_back(usage_name(record));
        description_list(b, nameIndentation, "Kelvo uses these names: ", names);
    } else if (level >= 2) {
        description_list(b, nameIndentation, "These names are special to Kelvo: ",
                         level == 3 ? names_with_errors({23, 24, 27}) : names_with_errors({23, 24}));
    }
    if (level >= 4 || vl.crossReference) {
        if (vl_length(s.calledFunctions) > 1) {
            name_list(b, "These functions were called: ", s.calledFunctions);
        } else {
            writer_begin_line(b);
            writer_write("No functions were called.");
            writer_end_line();
        }
    }
}

}  // namespace

void report_print(const VWord* o) { printer_print(o); }

std::string report_count_phrase(long least, long most) {
    if (least == most) {
        if (least == 0) return "no args";
        if (least == 1) return "exactly 1 arg";
        return "exactly " + std::to_string(least) + " args";
    }
    if (most == least + 1) return std::to_string(least) + " or " + std::to_string(most) + " args";
    if (most == 999) return least > 0 ? std::to_string(least) + " or more args" : "any number of args";
    return std::to_string(least) + " to " + std::to_string(most) + " args";
}

void report_procedure(const char* name, bool isOperator, long firstLine, long lastLine) {
    report(name, isOperator, firstLine, lastLine);
}

void report_end_of_file() {
    VetlinScope& s = vl.scope;
    const long catenated = vl_length(s.catenated) - 1;
    if (catenated >= (vl.suppressLibraryWarnings ? 2 : 1)) vl.Severity = std::min(vl.Severity, vl.errorClass[26]);
    std::vector<const VWord*> collected;
    for (long i = 1; i < vl_length(s.globals); ++i) {
        const VWord* record = vl_op(s.globals, i);
        const VWord* name = usage_name(record);
        if (!is(name, DAG_NAME)) continue;
        const char* text = vl_name_text(name);
        const VWord flags = usage_flags(record);
        if (text[0] == '\0' || known_needs_backquotes(text) || (flags & kFileDefiningUses) == 0) continue;
        if (vl.suppressLibraryWarnings && !vl.path.empty() &&
            std::strncmp(text, vl.path.c_str(), vl.path.size()) == 0 && (flags & ~kOwnRoutineUses) == 0)
            continue;
        collected.push_back(name);
    }
    if (vl.suppressLibraryWarnings && collected.size() >= 2)
        for (const VWord* name : collected) usage_error(name, 9);
    if (!vl.suppressLibraryWarnings)
        for (long i = 1; i < vl_length(s.underscoreGlobals); ++i) usage_error(usage_name(vl_op(s.underscoreGlobals, i)), 10);
    report("", false, 0, 0);
    vl.TotalSeverity = std::min(vl.TotalSeverity, vl.Severity);
    std::fflush(vl.report);
    vl_exit(4 - vl.TotalSeverity);
}
