// Statement and expression checks (see checks.h).
#include "tools/vetlin/checks.h"

#include <cstring>
#include <unordered_map>

#include "tools/vetlin/known.h"
#include "tools/vetlin/procdb.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/scoping.h"
#include "tools/vetlin/usage.h"

namespace {

// Access modes of the checks.
constexpr VWord kValue = 0x10002;           // read as a value
constexpr VWord kCalled = 0x4002;           // called
constexpr VWord kByValue = 0x200004;        // call-by-value argument
constexpr VWord kByName = 0x400004;         // call-by-name argument
constexpr VWord kUnevaluated = 0x40002;     // unevaluated name
constexpr VWord kMapProcedure = 0x800004;   // map or frontend procedure
constexpr VWord kSubstitution = 0x100002;   // substitution variable
constexpr VWord kPackageIndex = 0x80002;    // package index
constexpr VWord kAssignedValue = 0x81;
constexpr VWord kAssignedKinds = 0x3F8;     // assigned a list .. assigned a function value

// A loop's variable as it was before macro expansion made it a non-name, by the loop's copy.
std::unordered_map<const VWord*, const VWord*> loopVariableBeforeExpansion;

bool is(const VWord* o, unsigned type) { return o != nullptr && vl_type(o) == type; }

bool named(const VWord* o, const char* text) {
    return is(o, DAG_NAME) && std::strcmp(vl_name_text(o), text) == 0;
}

bool is_number(const VWord* o) {
    return is(o, DAG_INTPOS) || is(o, DAG_INTNEG) || is(o, DAG_RATIONAL) || is(o, DAG_FLOAT);
}

VObj line_object(long line) { return store_integer(line); }

void append_pair(VObj& list, const VWord* object, long line) {
    list = store_append2(list, object, line_object(line));
}

bool assignable(const VWord* target) {
    if (target == nullptr) return false;
    switch (vl_type(target)) {
    case DAG_NAME: case DAG_TABLEREF: case DAG_CATENATE: case DAG_FUNCTION:
        return true;
    case DAG_EXPSEQ:
        for (long i = 1; i < vl_length(target); ++i)
            if (!assignable(vl_op(target, i))) return false;
        return true;
    default:
        return false;
    }
}

// A name with letters, digits and underscores only, not empty.
bool ordinary_identifier(const VWord* name) {
    const char* text = vl_name_text(name);
    return text[0] != '\0' && !known_needs_backquotes(text);
}

bool in_list(const VWord* list, const VWord* name) {
    for (long i = 1; i < vl_length(list); ++i)
        if (scoping_same_name(vl_op(list, i), name)) return true;
    return false;
}

void set_jump(const VWord* name, long line) {
    vl.scope.jump = true;
    vl.scope.jumpName = const_cast<VObj>(name);
    vl.scope.jumpLine = line;
}

void clear_jump() {
    vl.scope.jump = false;
    vl.scope.jumpName = nullptr;
    vl.scope.jumpLine = 0;
}

bool is_local(const VWord* name) { return usage_find(vl.scope.locals, name) != nullptr; }
bool is_parameter_or_local(const VWord* name) {
    return usage_find(vl.scope.parameters, name) != nullptr || is_local(name);
}

// ---- macros ---------------------------------------------------------------------------------

long macro_index(const VWord* name) {
    for (long i = 1; i + 1 < vl_length(vl.macros); i += 2)
        if (scoping_same_name(vl_op(vl.macros, i), name)) return i;
    return 0;
}

void define_macros(const VWord* arguments) {
    for (long i = 1; i < vl_length(arguments); ++i) {
        const VWord* a = vl_op(arguments, i);
        if (!is(a, DAG_EQUATION) || !is(vl_op(a, 1), DAG_NAME)) continue;
        const VWord* name = vl_op(a, 1);
        const VWord* value = vl_op(a, 2);
        const long at = macro_index(name);
        if (scoping_same_name(value, name) && is(value, DAG_NAME)) {
            if (at != 0) store_delete2(vl.macros, at);
        } else if (at != 0) {
            vl_set_op(vl.macros, at + 1, value);
            usage_error(name, 28);
        } else {
            vl.macros = store_append2(vl.macros, name, value);
            if (known_is_system(vl_name_text(name))) usage_error(name, 25);
        }
    }
}

VObj expand(VObj o) {
    if (o == nullptr) return o;
    const unsigned type = vl_type(o);
    switch (type) {
    case DAG_NAME: {
        if (is_parameter_or_local(o)) return o;
        VObj value = MacroValue(o);
        return value != nullptr ? value : o;
    }
    case DAG_INTPOS: case DAG_INTNEG: case DAG_RATIONAL: case DAG_FLOAT: case DAG_STRING:
    case DAG_LOCAL: case DAG_PARAM: case DAG_TABLE: case DAG_PROC: case DAG_STOP:
    case DAG_LEXICAL: case DAG_HASH: case DAG_HASHTAB: case 0:
        return o;
    case DAG_FUNCTION:
        if (named(vl_op(o, 1), "macro") || named(vl_op(o, 1), "alias")) return o;
        break;
    default:
        if (type > DAG_GARBAGE) return o;
    }
    VObj copy = nullptr;
    for (long i = 1; i < vl_length(o); ++i) {
        VObj operand = vl_op(o, i);
        VObj expanded = expand(operand);
        if (expanded == operand) continue;
        if (copy == nullptr) {
            copy = store_copy(o);
            copy[-1] = o[-1];   // the copy keeps the line word
        }
        vl_set_op(copy, i, expanded);
    }
    if (copy == nullptr) return o;
    if (type == DAG_FOR && vl_op(copy, 1) != vl_op(o, 1) && !assignable(vl_op(copy, 1)))
        loopVariableBeforeExpansion[copy] = vl_op(o, 1);
    return copy;
}

// ---- uses -----------------------------------------------------------------------------------

void record_name(const VWord* name, VWord mode) { usage_reference(name, mode); }

// ---- statements -----------------------------------------------------------------------------

void check_assignment(const VWord* s) {
    const VWord* target = vl_op(s, 1);
    const VWord* value = vl_op(s, 2);
    const bool canAssign = assignable(target);
    if (!canAssign && RecordErrorClass(5) != 0)
        vl.scope.invalidTargets = store_append1(vl.scope.invalidTargets, line_object(vl_first_line(s)));
    VWord mode = kAssignedValue;
    if (is(value, DAG_PROC)) {
        mode = 0x21;
        if (is(target, DAG_NAME)) {
            usage_analyse_procedure(const_cast<VObj>(value), vl_name_text(target), !is_local(target));
        } else {
            usage_analyse_procedure(const_cast<VObj>(value), "", false);
        }
    } else {
        if (is(value, DAG_LIST) || is(value, DAG_TABLE)) mode = 0x9;
        else if (is(value, DAG_SET)) mode = 0x11;
        else if (is(value, DAG_RANGE)) mode = 0x41;
        else if (is(value, DAG_UNEVAL) && is(target, DAG_NAME) && scoping_same_name(vl_op(value, 1), target))
            mode = VL_UNASSIGNED;
        CheckExp(value);
    }
    if (canAssign) checks_record_use(target, mode);
}

void check_loop(const VWord* s) {
    const long length = vl_length(s);
    const VWord* variable = vl_op(s, 1);
    bool pushed = false;
    if (variable != nullptr && !(is(variable, DAG_EXPSEQ) && vl_length(variable) == 1)) {
        if (!assignable(variable)) {
            if (RecordErrorClass(18) != 0) {
                const auto before = loopVariableBeforeExpansion.find(s);
                const VWord* shown = before != loopVariableBeforeExpansion.end() ? before->second : variable;
                append_pair(vl.scope.macroNames, shown, vl_first_line(s));
            }
        } else {
            checks_record_use(variable, kAssignedValue);
            if (is(variable, DAG_NAME) && in_list(vl.scope.loopVariables, variable)) usage_error(variable, 6);
            vl.scope.loopVariables = store_append1(vl.scope.loopVariables, variable);
            pushed = true;
        }
    }
    // Six operands: variable, from, by, to, while, body; four: variable, in, while, body.
    const long whilePart = length == 7 ? 5 : 3;
    for (long i = 2; i < whilePart; ++i) {
        const VWord* part = vl_op(s, i);
        if (part != nullptr && !(is(part, DAG_EXPSEQ) && vl_length(part) == 1)) CheckExp(part);
    }
    const VWord* condition = vl_op(s, whilePart);
    if (condition != nullptr && !named(condition, "true")) CheckExp(condition);
    ++vl.scope.loopDepth;
    CheckStatement(vl_op(s, length - 1));
    --vl.scope.loopDepth;
    if (pushed) {
        VObj& variables = vl.scope.loopVariables;
        store_truncate(variables, vl_length(variables), vl_length(variables) - 1);
    }
    clear_jump();
}

void check_if(const VWord* s) {
    const long length = vl_length(s);
    const bool hasElse = (length - 1) % 2 == 1;
    bool allJump = true;
    for (long i = 1; i < length; ++i) {
        const bool branch = i % 2 == 0 || i == length - 1;
        if (!branch) {
            CheckExp(vl_op(s, i));
            continue;
        }
        clear_jump();
        CheckStatement(vl_op(s, i));
        allJump = allJump && vl.scope.jump;
    }
    if (hasElse && allJump) set_jump(store_name("if"), vl_first_line(s));
    else clear_jump();
}

// ---- calls ----------------------------------------------------------------------------------

// Names occurring in an object: a table reference counts as its table's name; numbers and
// strings hold none.
void names_in(const VWord* o, VObj& names) {
    if (o == nullptr) return;
    switch (vl_type(o)) {
    case DAG_NAME:
        if (!in_list(names, o)) names = store_append1(names, o);
        return;
    case DAG_TABLEREF:
        names_in(vl_op(o, 1), names);
        return;
    case DAG_INTPOS: case DAG_INTNEG: case DAG_STRING: case DAG_STOP: case DAG_PROC: case 0:
        return;
    default:
        if (vl_type(o) > DAG_GARBAGE) return;
        for (long i = 1; i < vl_length(o); ++i) names_in(vl_op(o, i), names);
    }
}

void check_implied_multiplication(const VWord* call) {
    const VWord* f = vl_op(call, 1);
    const VWord* arguments = vl_op(call, 2);
    const long line = vl_first_line(call);
    if (is_number(f)) {
        if (RecordErrorClass(19) != 0) append_pair(vl.scope.impliedMultiplications, call, line);
        return;
    }
    const VWord* argument = is(arguments, DAG_EXPSEQ) && vl_length(arguments) == 2 ? vl_op(arguments, 1) : arguments;
    if (f == nullptr || argument == nullptr) return;
    if (vl_type(f) > DAG_UNEVAL || vl_type(argument) > DAG_UNEVAL || is(f, DAG_POWER) || is(argument, DAG_POWER))
        return;
    VObj fromFunction = store_sequence(5, DAG_EXPSEQ);
    VObj fromArgument = store_sequence(5, DAG_EXPSEQ);
    names_in(f, fromFunction);
    names_in(argument, fromArgument);
    for (long i = 1; i < vl_length(fromFunction); ++i) {
        const VWord* name = vl_op(fromFunction, i);
        if (in_list(fromArgument, name) && !known_is_system(vl_name_text(name))) {
            if (RecordErrorClass(19) != 0) append_pair(vl.scope.impliedMultiplications, call, line);
            return;
        }
    }
}

// The seq-construct check; false when it does not apply.
bool check_seq_construct(const VWord* call, const char* called) {
    const VWord* arguments = vl_op(call, 2);
    if (!is(arguments, DAG_EXPSEQ) || vl_length(arguments) != 3) return false;
    const VWord* equation = vl_op(arguments, 2);
    if (!is(equation, DAG_EQUATION)) return false;
    const VWord* variable = vl_op(equation, 1);
    if (is(variable, DAG_UNEVAL)) variable = vl_op(variable, 1);
    if (!is(variable, DAG_NAME)) return false;
    const VWord* body = vl_op(arguments, 1);
    if (!store_contains(body, variable) && RecordErrorClass(29) != 0)
        append_pair(vl.scope.seqConstructs, call, vl_first_line(call));
    if (in_list(vl.scope.loopVariables, variable)) usage_error(variable, 8);
    record_name(variable, std::strcmp(called, "seq") == 0 ? 0x3 : kSubstitution);
    CheckExp(body);
    CheckExp(vl_op(equation, 2));
    return true;
}

void substitution(const VWord* equation) {
    const VWord* left = vl_op(equation, 1);
    if (is(left, DAG_NAME)) {
        record_name(left, kSubstitution);
    } else if (is(left, DAG_UNEVAL) && is(vl_op(left, 1), DAG_NAME)) {
        record_name(vl_op(left, 1), 0x140002);
    } else {
        CheckExp(equation);
        return;
    }
    CheckExp(vl_op(equation, 2));
}

enum class CallKind { plain, print, error, map, subs, evaln };

void check_call(const VWord* call, bool unevaluated) {
    const VWord* f = vl_op(call, 1);
    const VWord* arguments = vl_op(call, 2);
    const long line = vl_first_line(call);
    checks_record_use(f, kCalled);
    CallKind kind = CallKind::plain;
    bool skipArguments = false;
    if (is(f, DAG_NAME)) {
        const char* text = vl_name_text(f);
        const bool jumps = std::strcmp(text, "ERROR") == 0 || std::strcmp(text, "RETURN") == 0 ||
                           std::strcmp(text, "goto") == 0;
        if (!unevaluated && jumps) {
            set_jump(f, line);
            if (vl.depth == 0 && RecordErrorClass(1) != 0) append_pair(vl.scope.outsideProcedures, f, line);
        }
        if (std::strcmp(text, "macro") == 0 || std::strcmp(text, "alias") == 0) {
            define_macros(arguments);
            skipArguments = true;
        } else if ((std::strcmp(text, "$") == 0 || std::strcmp(text, "sum") == 0 ||
                    std::strcmp(text, "product") == 0 || std::strcmp(text, "seq") == 0) &&
                   check_seq_construct(call, text)) {
            skipArguments = true;
        } else if (std::strcmp(text, "print") == 0 || std::strcmp(text, "lprint") == 0) {
            kind = CallKind::print;
        } else if (std::strcmp(text, "ERROR") == 0) {
            kind = CallKind::error;
            vl.scope.errorTexts = store_append1(vl.scope.errorTexts, arguments);
        } else if (std::strcmp(text, "map") == 0 || std::strcmp(text, "frontend") == 0) {
            kind = CallKind::map;
        } else if (std::strcmp(text, "subs") == 0) {
            kind = CallKind::subs;
        } else if (std::strcmp(text, "evaln") == 0) {
            kind = CallKind::evaln;
        }
    }
    const long count = is(arguments, DAG_EXPSEQ) ? vl_length(arguments) - 1 : 1;
    bool passesArgs = false;
    if (!skipArguments && arguments != nullptr) {
        for (long i = 1; i <= count; ++i) {
            const VWord* a = is(arguments, DAG_EXPSEQ) ? vl_op(arguments, i) : arguments;
            if (is(a, DAG_NAME)) {
                if ((kind == CallKind::print || kind == CallKind::error) && !ordinary_identifier(a)) continue;
                if (named(a, "args")) passesArgs = true;
                record_name(a, kind == CallKind::evaln ? kUnevaluated
                               : kind == CallKind::map && i == 1 ? kMapProcedure : kByValue);
            } else if (is(a, DAG_TABLEREF) || is(a, DAG_CATENATE)) {
                checks_record_use(a, kByValue);
            } else if (is(a, DAG_UNEVAL) && (is(vl_op(a, 1), DAG_NAME) || is(vl_op(a, 1), DAG_TABLEREF) ||
                                             is(vl_op(a, 1), DAG_CATENATE))) {
                checks_record_use(vl_op(a, 1), kByName);
            } else if (kind == CallKind::subs && i < count && is(a, DAG_EQUATION)) {
                substitution(a);
            } else if (kind == CallKind::subs && i < count && is(a, DAG_SET) && is(vl_op(a, 1), DAG_EXPSEQ)) {
                const VWord* equations = vl_op(a, 1);
                for (long j = 1; j < vl_length(equations); ++j) {
                    if (is(vl_op(equations, j), DAG_EQUATION)) substitution(vl_op(equations, j));
                    else CheckExp(vl_op(equations, j));
                }
            } else {
                CheckExp(a);
            }
        }
    }
    if (passesArgs) append_pair(vl.scope.argsCalls, f, line);
    if (vl.databaseLoaded && !passesArgs) procdb_check_call(f, count, line);
    check_implied_multiplication(call);
    if (is(f, DAG_NAME) && !in_list(vl.scope.calledFunctions, f))
        vl.scope.calledFunctions = store_append1(vl.scope.calledFunctions, f);
}

}  // namespace

void checks_reset() { loopVariableBeforeExpansion.clear(); }

VObj MacroValue(const VWord* name) {
    if (!is(name, DAG_NAME)) {
        std::fputs("vetlin: Internal error - MacroValue was passed something other than a name\n", vl.err);
        return nullptr;
    }
    if (vl.macros == nullptr) return nullptr;
    const long at = macro_index(name);
    return at != 0 ? vl_op(vl.macros, at + 1) : nullptr;
}

bool checks_is_macro(const VWord* name) {
    const VWord* n = scoping_declared_name(name);
    return n != nullptr && vl.macros != nullptr && macro_index(n) != 0;
}

VObj checks_expand_macros(VObj statement) {
    if (vl.macros == nullptr || vl_length(vl.macros) <= 1) return statement;
    return expand(statement);
}

void checks_record_use(const VWord* o, VWord mode) {
    if (o == nullptr) return;
    switch (vl_type(o)) {
    case DAG_NAME:
        record_name(o, mode);
        return;
    case DAG_TABLEREF: {
        const VWord* table = vl_op(o, 1);
        const VWord* index = vl_op(o, 2);
        const bool routineTable = is(table, DAG_NAME) && !vl.path.empty() && vl.path == vl_name_text(table);
        if (((mode & 0x4000) != 0 || (mode & 0x20) != 0 || routineTable) && is(index, DAG_EXPSEQ) &&
            vl_length(index) == 2) {
            const VWord* element = vl_op(index, 1);
            if (is(element, DAG_NAME)) record_name(element, kPackageIndex);
            else if (is(element, DAG_UNEVAL) && is(vl_op(element, 1), DAG_NAME)) record_name(vl_op(element, 1), 0xC0002);
            else CheckExp(index);
        } else {
            CheckExp(index);
        }
        VWord tableMode;
        if ((mode & VL_ASSIGNED) != 0) tableMode = (mode & ~kAssignedKinds) | ((mode & kAssignedKinds) << 1);
        else tableMode = (mode & ~VWord(0x10000)) | 0x1002;
        checks_record_use(table, tableMode);
        return;
    }
    case DAG_CATENATE: {
        usage_catenated(o, mode);
        const VWord* left = o;
        while (is(left, DAG_CATENATE)) {
            CheckExp(vl_op(left, 2));
            left = vl_op(left, 1);
        }
        if (is(left, DAG_TABLEREF)) checks_record_use(left, mode);
        return;
    }
    case DAG_FUNCTION: {
        CheckExp(vl_op(o, 2));
        if ((mode & VL_ASSIGNED) != 0) mode = (mode & ~kAssignedKinds) | ((mode & kAssignedKinds) << 2);
        checks_record_use(vl_op(o, 1), mode);
        return;
    }
    case DAG_EXPSEQ:
        for (long i = 1; i < vl_length(o); ++i) checks_record_use(vl_op(o, i), mode);
        return;
    default:
        return;
    }
}

void CheckStatement(const VWord* s) {
    if (s == nullptr) return;
    vl_dump(s, "CheckStatement called with: ");
    if (is(s, DAG_EXPSEQ) && vl_length(s) == 1) return;
    if (vl.scope.jump) {
        if (RecordErrorClass(7) != 0) append_pair(vl.scope.unreachable, vl.scope.jumpName, vl.scope.jumpLine);
        clear_jump();
    }
    switch (vl_type(s)) {
    case DAG_NAME:
        if (named(s, "break") || named(s, "next")) {
            set_jump(s, vl_first_line(s));
            if (vl.scope.loopDepth == 0 && RecordErrorClass(0) != 0)
                append_pair(vl.scope.outsideLoops, s, vl_first_line(s));
        } else {
            CheckExp(s);
        }
        return;
    case DAG_EQUATION:
        if (RecordErrorClass(30) != 0)
            vl.scope.equations = store_append1(vl.scope.equations, line_object(vl_first_line(s)));
        CheckExp(s);
        return;
    case DAG_ASSIGN:
        check_assignment(s);
        return;
    case DAG_FOR:
        check_loop(s);
        return;
    case DAG_IF:
        check_if(s);
        return;
    case DAG_READ: case DAG_SAVE:
        CheckExp(vl_op(s, 1));
        return;
    case DAG_STATSEQ:
        for (long i = 1; i < vl_length(s); ++i) CheckStatement(vl_op(s, i));
        return;
    case DAG_STOP:
        set_jump(store_name("quit"), vl_first_line(s));
        return;
    default:
        CheckExp(s);
    }
}

unsigned CheckExp(const VWord* e) {
    if (e == nullptr) return 0;
    vl_dump(e, "CheckExp called with: ");
    const unsigned type = vl_type(e);
    switch (type) {
    case DAG_INTPOS: case DAG_INTNEG: case DAG_RATIONAL: case DAG_FLOAT: case DAG_STRING:
        break;
    case DAG_NAME: case DAG_TABLEREF: case DAG_CATENATE:
        checks_record_use(e, kValue);
        break;
    case DAG_SERIES:   // the expansion point, then (coefficient, order) pairs
        for (long i = 2; i < vl_length(e); i += 2) CheckExp(vl_op(e, i));
        break;
    case DAG_FUNCTION:
        check_call(e, false);
        break;
    case DAG_UNEVAL: {
        const VWord* operand = vl_op(e, 1);
        if (is(operand, DAG_FUNCTION)) check_call(operand, true);
        else if (is(operand, DAG_NAME)) record_name(operand, kUnevaluated);
        else CheckExp(operand);
        break;
    }
    case DAG_LOCAL: case DAG_PARAM: case DAG_TABLE:
        vl_dump(e, "Object should not have been created: ");
        break;
    case DAG_PROC:
        usage_analyse_procedure(const_cast<VObj>(e), "", false);
        break;
    case DAG_ASSIGN: case DAG_FOR: case DAG_IF: case DAG_READ: case DAG_SAVE: case DAG_STATSEQ:
    case DAG_STOP:
        CheckStatement(e);
        break;
    default:
        if (type == 0 || type == DAG_LEXICAL || type == DAG_HFARRAY || type > DAG_GARBAGE) {
            vl_dump(e, "Object unknown: ");
            break;
        }
        for (long i = 1; i < vl_length(e); ++i) CheckExp(vl_op(e, i));
    }
    return type;
}
