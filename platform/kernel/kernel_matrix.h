#pragma once
// Matrices: a matrix value is a GiNaC matrix inside an expression value, made by the built-in
// `matrix` from a list of rows and shown as the call matrix([[row], ...]).  Sums, products with
// scalars and conforming matrices and integer powers are evaluated as soon as the interpreter
// builds them (kernel_matrix_evaluate); the built-ins transpose, det, inverse, rank, linsolve
// and eigenvalues work on them.  Errors say what is wrong: sizes that do not conform, a
// singular matrix, entries that are not algebraic.

#include <map>
#include <string>

#include "KInterpreter.h"

// The built-ins of this file, added to the table when it is made.
void kernel_add_matrix_builtins(std::map<std::string, KBuiltin>& table);

// Evaluates the sums, products and powers of matrices in e (an arithmetic result that has a
// matrix operand); KError for sizes that do not conform, a singular matrix to a negative power
// and a matrix added to a scalar.
GiNaC::ex kernel_matrix_evaluate(const GiNaC::ex& e);

// Raises the KError that says what GiNaC's exception from matrix arithmetic means.
[[noreturn]] void kernel_matrix_error(const std::exception& e);
