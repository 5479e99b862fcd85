#pragma once
// Values and statement trees of the kernel's interpreter.
//
// A statement DAG is translated once into a tree of `KNode`s (kernel_translate), which the
// interpreter walks; procedures keep their tree, so nothing refers to the caller's storage after
// the evaluation.  Values (`KValue`) hold mathematics as GiNaC expressions and the language's
// other kinds (sequences, lists, sets, relations, ranges, boolean operators, strings,
// procedures) as small C++ structures.  Only replies are turned back into DAGs
// (kernel_value_to_dag), in the expression library's normal form.
//
// Names: an unassigned name is a GiNaC symbol, one per text (kernel_symbol).  The boolean values
// are the names true and false, as in the language.

#include <cstdint>
#include <forward_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <ginac/ginac.h>

#include "tovu/dag.h"

struct KNode;
using KNodePtr = std::shared_ptr<const KNode>;

// The names a PROC node declares.
struct KProcNames {
    std::vector<std::string> params, locals, options;
};

// One node of a statement tree.  `type` is the DAG type code it came from, or one of the
// extra codes below.  Every statement is translated anew, so a node is kept small: what only
// one kind of node needs shares a field or hangs off a pointer.
struct KNode {
    unsigned type = 0;
    unsigned name = 0;            // NAME: its id (kernel_name_id); 0 in nodes made by hand
    std::vector<KNodePtr> kids;   // operands in DAG order; null for an absent optional part
    std::string text;             // NAME and STRING text; FLOAT: decimal mantissa with sign
    GiNaC::ex number;             // INTPOS, INTNEG, RATIONAL: exact value
    long index = 0;               // PARAM, LOCAL: index; FLOAT: exponent
    std::unique_ptr<const KProcNames> proc;   // PROC only
};
// Extra node codes beyond the DAG types.
// KNODE_CURRIED: made by the interpreter for f(a)(b) with f a lazy built-in; its one kid is
// the argument sequence a, and it comes first in the sequence f gets.
enum : unsigned { KNODE_NULLREQ = 100, KNODE_CURRIED = 101 };

struct KProc;
struct KValue;
using KSeq = std::vector<KValue>;

struct KValue {
    // Call: a call kept as written, name (text) and arguments (items), for calls whose
    // arguments are not all expressions (CONTEXTMENU("label", ...), TEXT("line", ...)).
    enum Kind { Expr, Seq, List, Set, Rel, Range, And, Or, Not, Str, Proc, Table, Call };
    Kind kind = Expr;
    int digits = 0;                      // floats shown with this many digits (0: Digits)
    GiNaC::ex ex;                        // Expr
    KSeq items;                          // Seq, List, Set; Rel, Range, And, Or: two; Not: one
    unsigned rel = 0;                    // Rel: DAG_EQUATION, DAG_INEQUAT, DAG_LESSEQ, DAG_LESSTHAN
    std::string text;                    // Str; Call: the function's name
    std::shared_ptr<const KProc> proc;   // Proc
    // Table: index text -> (index sequence, value); shared, so assigning a table shares it.
    std::shared_ptr<std::map<std::string, std::pair<KSeq, KValue>>> table;

    KValue() = default;
    KValue(GiNaC::ex e) : ex(std::move(e)) {}   // NOLINT: numbers and expressions convert freely
    KValue(const GiNaC::numeric& n) : ex(n) {}  // NOLINT
    static KValue seq(KSeq s = {}) { KValue v; v.kind = Seq; v.items = std::move(s); return v; }
    static KValue make(Kind k, KSeq s) { KValue v; v.kind = k; v.items = std::move(s); return v; }
    static KValue relation(unsigned r, KValue a, KValue b) {
        KValue v = make(Rel, {std::move(a), std::move(b)});
        v.rel = r;
        return v;
    }
    static KValue str(std::string t) { KValue v; v.kind = Str; v.text = std::move(t); return v; }
    static KValue call(std::string name, KSeq args) {
        KValue v = make(Call, std::move(args));
        v.text = std::move(name);
        return v;
    }
    bool isNull() const { return kind == Seq && items.empty(); }
};

struct KProc {
    std::vector<std::string> params, locals;
    std::vector<unsigned> paramIds, localIds;   // the same as name ids (kernel_name_id)
    KNodePtr body;     // STATSEQ (or a single expression for an arrow procedure)
    bool remember = false;
    // Results of a procedure with option remember, by argument text; shared by its copies.
    std::shared_ptr<std::map<std::string, KValue>> rememberTable =
        std::make_shared<std::map<std::string, KValue>>();
    std::string name;  // the name it was first assigned to, for messages
};

// An error of the user's computation; `message` is the text after "Error, ".
// `tagged` is set once the message names the procedure it came from ("(in f) ...").
struct KError : std::runtime_error {
    explicit KError(const std::string& m, bool t = false) : std::runtime_error(m), tagged(t) {}
    bool tagged;
};
struct KInterrupt {};
struct KStopRequest {};

// ---- translation and conversion (kernel_convert.cpp) --------------------------------------
// Null DAGs and unknown node types raise KError.  Nesting is capped (KError past the cap).
KNodePtr kernel_translate(const DagWord* dag);
// Builds the DAG of a value in the current storage area.
Dag kernel_value_to_dag(const KValue& value);
Dag kernel_ex_to_dag(const GiNaC::ex& e);
// Values of answer DAGs (GET answers): names, strings, integers, lists; other DAGs as a name.
KValue kernel_dag_to_value(const DagWord* dag);
// Interned NAME and STRING DAGs, made in an area that lives as long as the process.
Dag kernel_name_dag(const char* text);
Dag kernel_string_dag(const char* text);
GiNaC::symbol kernel_symbol(const std::string& name);
// True when the symbol stands for a name of the language (not a GiNaC constant).
bool kernel_is_name(const GiNaC::ex& e, std::string* text = nullptr);
// Short text of a value for messages ("x+1", "[1, 2]").
std::string kernel_value_text(const KValue& v);

// An indexed name that has no value (x[1] with x unassigned): a symbol that converts back to
// TABLEREF(base, indices).
GiNaC::ex kernel_indexed_symbol(const std::string& base, const KSeq& index);
// Calls kept unevaluated (int, limit, ...): a GiNaC function of that name, made on first use.
GiNaC::ex kernel_inert_call(const std::string& name, const GiNaC::exvector& args);
// Structural equality of values.
bool kernel_value_equal(const KValue& a, const KValue& b);

// base^exponent; 0 to a negative power is the KError "division by zero", an exact result that
// cannot fit in the memory left is the KError "object too large".
GiNaC::ex kernel_pow(const GiNaC::ex& base, const GiNaC::ex& exponent);
// Raises "object too large" when an integer of about `bits` bits (and the room to compute
// it) does not fit in the memory the process has left, before anything is allocated: GMP ends
// the process when an allocation fails inside it.
void kernel_check_integer_bits(double bits);

// Exact class tests by the class's registration record: one virtual call, where is_a's
// dynamic_cast costs a type-name comparison per test.  Only for classes without subclasses
// (numeric, mul, power, add, matrix; symbol has subclasses).
template <class T>
bool kernel_is_exactly(const GiNaC::ex& e) {
    return &GiNaC::ex_to<GiNaC::basic>(e).get_class_info() == &T::get_class_info_static();
}

// Parts of GiNaC objects read in place.  GiNaC keeps a sum or a product as (rest, coeff) pairs
// plus an overall numeric coefficient, and op(i) recombines pair i into a new object (rest*coeff
// in a sum, rest^coeff in a product) on every call; a power keeps its base and exponent, and a
// call its arguments, as members that op() copies out.  A class derived from a GiNaC class may
// form pointers to the protected members it inherits; reading an object through such a pointer
// is ordinary member access.
namespace kernel_detail {
struct PairAccess : GiNaC::expairseq {
    static const GiNaC::epvector& pairs(const GiNaC::expairseq& s) { return s.*(&PairAccess::seq); }
    static const GiNaC::ex& overall(const GiNaC::expairseq& s) { return s.*(&PairAccess::overall_coeff); }
};
struct PowerAccess : GiNaC::power {
    static const GiNaC::ex& base_of(const GiNaC::power& p) { return p.*(&PowerAccess::basis); }
    static const GiNaC::ex& exponent_of(const GiNaC::power& p) { return p.*(&PowerAccess::exponent); }
};
struct ArgumentAccess : GiNaC::exprseq {
    static const GiNaC::exvector& of(const GiNaC::exprseq& s) { return s.*(&ArgumentAccess::seq); }
};
}  // namespace kernel_detail

// Whether e or one of its subexpressions passes `test`, walked depth first on a stack of its own
// (GiNaC's preorder iterator allocates its stack of iterators even for a single name).  Sums,
// products, powers and calls are read in place, so the walk builds no objects for them: the
// parts it sees are each pair's rest and coefficient and the overall coefficient, not the
// recombined rest*coeff or rest^coeff that op() would build.  So `test` must look for parts
// that are never such a recombined product or power (calls, names, derivatives).
template <class Test>
bool kernel_has_part(const GiNaC::ex& e, const Test& test) {
    using namespace kernel_detail;
    if (test(e)) return true;
    if (e.nops() == 0) return false;
    std::vector<const GiNaC::ex*> stack;
    stack.reserve(16);
    stack.push_back(&e);
    std::forward_list<GiNaC::ex> made;   // parts other classes' op() built, alive for the walk
    auto visit = [&](const GiNaC::ex& part) {
        if (test(part)) return true;
        if (part.nops() != 0) stack.push_back(&part);
        return false;
    };
    while (!stack.empty()) {
        const GiNaC::ex& x = *stack.back();
        stack.pop_back();
        if (kernel_is_exactly<GiNaC::add>(x) || kernel_is_exactly<GiNaC::mul>(x)) {
            const auto& s = GiNaC::ex_to<GiNaC::expairseq>(x);
            for (const GiNaC::expair& p : PairAccess::pairs(s))
                if (visit(p.rest) || visit(p.coeff)) return true;
            if (visit(PairAccess::overall(s))) return true;
        } else if (kernel_is_exactly<GiNaC::power>(x)) {
            const auto& p = GiNaC::ex_to<GiNaC::power>(x);
            if (visit(PowerAccess::base_of(p)) || visit(PowerAccess::exponent_of(p))) return true;
        } else if (kernel_is_exactly<GiNaC::function>(x) || kernel_is_exactly<GiNaC::fderivative>(x)) {
            for (const GiNaC::ex& a : ArgumentAccess::of(GiNaC::ex_to<GiNaC::exprseq>(x)))
                if (visit(a)) return true;
        } else {
            for (std::size_t i = 0, n = x.nops(); i < n; ++i) {
                made.push_front(x.op(i));
                if (visit(made.front())) return true;
            }
        }
    }
    return false;
}

// The "true"/"false" names.
KValue kernel_bool(bool b);

// The value of an integer that CLN holds as an immediate word (62 bits with sign), read without
// a CLN call; false for any other number.  Inline: result conversion asks it for every
// coefficient and exponent.  numeric::to_cl_N() would return a copy; a class derived from
// numeric may read the protected value in place.
namespace kernel_detail {
struct NumericValue : GiNaC::numeric {
    static const cln::cl_N& of(const GiNaC::numeric& n) { return n.*(&NumericValue::value); }
};
}  // namespace kernel_detail
inline bool kernel_fixnum(const GiNaC::numeric& n, std::int64_t* value) {
    const cln::cl_N& x = kernel_detail::NumericValue::of(n);
    if (cln::cl_tag(x.word) != cl_FN_tag) return false;
    *value = static_cast<std::int64_t>(x.word) >> cl_value_shift;
    return true;
}
