#pragma once
// Factorisation and gcd of polynomials with rational coefficients through FLINT, with GiNaC's
// own algorithms for everything else (algebraic numbers, floats, functions).
//
// Invariants of a factorisation this file returns:
//   1. Every irreducible factor is primitive (integer coefficients without a common divisor)
//      and its leading coefficient is positive; the leading term is the first one in the
//      lexicographic order of the variables sorted by name.
//   2. The unit and the content stand in front as one rational number.
// FLINT runs in a child process when the polynomial is large, so that an interrupt abandons
// it at once (the child is killed) without unwinding through FLINT's C code; small
// polynomials are factored in the kernel's own process.

#include "KInterpreter.h"

#include <utility>
#include <vector>

// Factors e (the numerator or denominator of a normal form): through FLINT when e is a
// polynomial over the rationals in plain names, otherwise GiNaC's factor.
GiNaC::ex kernel_factor(KInterpreter& k, const GiNaC::ex& e);
// numer/denom with both factored (a normal form's parts, denom 1 for a polynomial).  The result
// is held unevaluated as one product, so its signs stay as invariant 1 makes them.
GiNaC::ex kernel_factor_quotient(KInterpreter& k, const GiNaC::ex& numer, const GiNaC::ex& denom);

// The gcd of two polynomials: through FLINT when both have integer coefficients, otherwise
// GiNaC's gcd.  The FLINT gcd has a positive leading coefficient.
GiNaC::ex kernel_gcd(KInterpreter& k, const GiNaC::ex& a, const GiNaC::ex& b);

// The prime factors of the integer n (|n| > 1) with their multiplicities, ascending, through
// FLINT (in a child for large n, so that an interrupt ends it).
std::vector<std::pair<GiNaC::numeric, long>> kernel_integer_factors(KInterpreter& k, const GiNaC::numeric& n);

// True when n is a positive integer that passes FLINT's probable-prime test (BPSW: no composite
// is known to pass it).
bool kernel_is_probable_prime(const GiNaC::numeric& n);
