// Inspection of statement trees without running them (kernel_inspect.h).

#include "kernel_inspect.h"

#include <cstring>

using namespace GiNaC;

namespace {

// Statement trees nest at most as deep as the translation allows; this keeps the recursion
// bounded on its own.
constexpr int MAX_DEPTH = 2000;

// Pure functions of the kernel: applying them runs nothing but mathematics.
bool is_elementary(const std::string& name) {
    static const char* const names[] = {
        "sin",    "cos",    "tan",     "sec",     "csc",     "cot",   "exp",       "ln",   "log",
        "sqrt",   "abs",    "arcsin",  "arccos",  "arctan",  "sinh",  "cosh",      "tanh", "arcsinh",
        "arccosh", "arctanh", "GAMMA", "Zeta",    "binomial", "factorial", "!"};
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

struct Inspector {
    KInterpreter& k;
    KInspectMode mode;
    int depth = 0;

    [[noreturn]] void refuse(const std::string& why) { throw KInspectRefused{why}; }

    ex math(const KValue& v) {
        if (v.kind == KValue::Expr) return v.ex;
        if (v.kind == KValue::Seq && v.items.size() == 1) return math(v.items[0]);
        refuse("not an expression: " + kernel_value_text(v));
    }

    KSeq seq(const KNode& n) {
        KSeq out;
        if (n.type != DAG_EXPSEQ) {
            out.push_back(value(n));
            return out;
        }
        for (const auto& kid : n.kids) {
            if (!kid) refuse("missing operand");
            KValue v = value(*kid);
            if (v.kind == KValue::Seq) out.insert(out.end(), v.items.begin(), v.items.end());
            else out.push_back(v);
        }
        return out;
    }

    KValue value(const KNode& n) {
        if (++depth > MAX_DEPTH) refuse("nested too deeply");
        k.step();
        KValue v = build(n);
        --depth;
        return v;
    }

    KValue build(const KNode& n) {
        switch (n.type) {
        case DAG_INTPOS:
        case DAG_INTNEG:
        case DAG_RATIONAL:
        case DAG_FLOAT: return k.eval(n);   // a number: nothing runs
        case DAG_STRING: return KValue::str(n.text);
        case DAG_NAME:
            // The constants are what their names mean; every other name stands for itself.
            if (n.text == "Pi" || n.text == "I" || n.text == "gamma" || n.text == "Catalan") return k.eval(n);
            return KValue(kernel_symbol(n.text));
        case DAG_UNEVAL: return value(*n.kids.at(0));
        case DAG_SUM:
        case DAG_PROD: {
            // One sum or product of all operands: adding them one by one costs quadratic time.
            bool sum = n.type == DAG_SUM;
            exvector operands;
            operands.reserve(n.kids.size() / 2);
            for (std::size_t i = 0; i + 1 < n.kids.size(); i += 2) {
                ex t = math(value(*n.kids[i])), c = math(value(*n.kids[i + 1]));
                operands.push_back(sum ? t * c : kernel_pow(t, c));
            }
            return sum ? KValue(ex(add(operands))) : KValue(ex(mul(operands)));
        }
        case DAG_POWER: return KValue(kernel_pow(math(value(*n.kids.at(0))), math(value(*n.kids.at(1)))));
        case DAG_EQUATION:
        case DAG_INEQUAT:
        case DAG_LESSEQ:
        case DAG_LESSTHAN: return KValue::relation(n.type, value(*n.kids.at(0)), value(*n.kids.at(1)));
        case DAG_RANGE: return KValue::make(KValue::Range, {value(*n.kids.at(0)), value(*n.kids.at(1))});
        case DAG_AND:
        case DAG_OR:
            return KValue::make(n.type == DAG_AND ? KValue::And : KValue::Or,
                                {value(*n.kids.at(0)), value(*n.kids.at(1))});
        case DAG_NOT: return KValue::make(KValue::Not, {value(*n.kids.at(0))});
        case DAG_EXPSEQ: return KValue::seq(seq(n));
        case DAG_LIST: return KValue::make(KValue::List, seq(*n.kids.at(0)));
        case DAG_SET: return KValue::make(KValue::Set, seq(*n.kids.at(0)));
        case DAG_TABLEREF: {
            const KNode& base = *n.kids.at(0);
            if (base.type != DAG_NAME) refuse("indexed expression");
            return KValue(kernel_indexed_symbol(base.text, seq(*n.kids.at(1))));
        }
        case DAG_FUNCTION: return call(n);
        default: refuse("not an expression");
        }
    }

    KValue call(const KNode& n) {
        const KNode& head = *n.kids.at(0);
        if (head.type != DAG_NAME) refuse("a call of a computed function");
        const std::string& name = head.text;
        KSeq args = seq(*n.kids.at(1));
        if (mode == KInspectMode::Literal) return KValue::call(name, std::move(args));
        if (kernel_is_effectful_name(name)) refuse("a call of " + name);
        if (is_elementary(name)) {
            if (const KBuiltin* b = kernel_find_builtin(name)) return (*b)(k, args);
        }
        exvector exArgs;
        for (const KValue& a : args) exArgs.push_back(math(a));
        return KValue(kernel_inert_call(name, exArgs));
    }
};

}  // namespace

bool kernel_is_effectful_name(const std::string& name) {
    static const char* const names[] = {
        "help",        "interface",  "print",     "lprint",      "readlib",     "plot",
        "plot3d",      "animate",    "animate3d", "smartplot",   "smartplot3d", "SMARTPLOT2D",
        "SMARTPLOT3D", "EDITSMARTPLOT", "APPENDPLOT", "APPENDPLOTS", "ContextMenu", "Spreadsheet/eval",
        "ERROR",       "libname",    "quit",      "done",        "stop"};
    if (name.rfind("INTERFACE_", 0) == 0 || name.rfind("Context", 0) == 0 || name.rfind("context/", 0) == 0)
        return true;
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

KValue kernel_inspect(KInterpreter& k, const KNode& node, KInspectMode mode) {
    Inspector in{k, mode};
    try {
        return in.value(node);
    } catch (const KError& e) {
        throw KInspectRefused{e.what()};
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {   // GiNaC's own failures (division by zero, ...)
        throw KInspectRefused{e.what()};
    }
}

KSeq kernel_inspect_args(KInterpreter& k, const KNode& argSeq, KInspectMode mode) {
    KValue v = kernel_inspect(k, argSeq, mode);
    if (v.kind == KValue::Seq) return v.items;
    return {v};
}
