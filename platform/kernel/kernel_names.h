#pragma once
// The names of the language, interned once per process to small ids (1, 2, ...; 0 is no name),
// each with what the interpreter asks of a name at every use: which special name it is, whether
// it may be assigned, its GiNaC symbol and its built-in procedures.  Statement trees carry the
// id of each NAME (kernel_translate), so evaluating a name costs an index, not string compares
// and a search by text.
//
// Invariants:
//   1. An id never changes meaning and its record never moves: the interpreter keeps ids in
//      its variable slots and procedures.
//   2. The table only grows; it lives as long as the process.  Like the interpreter it is used
//      from one thread at a time.

#include <string>
#include <vector>

#include <ginac/ginac.h>

#include "KInterpreter.h"

// Names the interpreter treats apart from ordinary variables.
enum class KSpecial : unsigned char {
    None,
    Pi, I, Gamma, Catalan,      // constants
    Digits, Null, Libname,      // variables with effects
    Ditto1, Ditto2, Ditto3,     // %, %%, %%%
    Stop,                       // quit, done, stop
    Break, Next,
    Nargs, Args, Procname,      // inside a procedure
    Return                      // RETURN(...)
};

class KNameInfo {
public:
    explicit KNameInfo(std::string text);

    const std::string& text() const { return text_; }
    KSpecial special() const { return special_; }
    // True for the names that evaluate to themselves and for the built-ins' names: neither
    // may be assigned.
    bool isProtected() const;
    const GiNaC::ex& symbol() const;   // kernel_symbol(text)
    const KBuiltin* builtin() const;
    const KLazyBuiltin* lazyBuiltin() const;

private:
    std::string text_;
    KSpecial special_ = KSpecial::None;
    bool constant_ = false;               // Pi, I, infinity, true, false, FAIL, ...
    mutable bool resolved_ = false;       // the built-ins looked up
    mutable bool hasSymbol_ = false;
    mutable GiNaC::ex symbol_;
    mutable const KBuiltin* builtin_ = nullptr;
    mutable const KLazyBuiltin* lazy_ = nullptr;
    void resolve() const;
};

unsigned kernel_name_id(const std::string& text);

namespace kernel_names_detail {
// The records by id - 1 (owned by the table in kernel_names.cpp).
extern std::vector<const KNameInfo*> records;
}  // namespace kernel_names_detail

// The record of an id that kernel_name_id answered.
inline const KNameInfo& kernel_name(unsigned id) { return *kernel_names_detail::records[id - 1]; }
