#pragma once
// The kernel's analysis: limits (with direction and at infinity), definite integrals that look
// for singularities between the limits, real roots of polynomials (Sturm sequences), numeric
// quadrature and root finding, and float evaluation that is correct to Digits digits.
//
// Rule of this file: an answer is given only when it is certain; otherwise the caller returns
// the call unevaluated.  Infinity is the name `infinity` (kernel_infinity()); -infinity is its
// negation, and "undefined" is the name the language uses for a two-sided limit whose sides
// differ.

#include <vector>

#include "KInterpreter.h"

// The working precision of GiNaC for a given number of shown digits: guard digits on top, and
// never so few that CLN would compute in machine floats (with their small exponent range).
long kernel_working_digits(long shown);
// Digits as the user set them (the digits floats are shown and checked to).
long kernel_shown_digits();
// Sets the shown digits and GiNaC's working precision.
void kernel_set_digits(long shown);

GiNaC::ex kernel_infinity();
// +1 for infinity, -1 for -infinity, 0 for anything else.
int kernel_infinity_sign(const GiNaC::ex& e);

// A limit in the extended reals: a finite value, either infinity, or not known.
struct KLimit {
    enum Kind { Finite, PlusInfinity, MinusInfinity, Unknown };
    Kind kind = Unknown;
    GiNaC::ex value;   // Finite only
    static KLimit finite(const GiNaC::ex& v) { return {Finite, v}; }
    static KLimit infinite(int sign) { return {sign > 0 ? PlusInfinity : MinusInfinity, 0}; }
    static KLimit unknown() { return {Unknown, 0}; }
    int infinitySign() const { return kind == PlusInfinity ? 1 : kind == MinusInfinity ? -1 : 0; }
};

// direction: +1 from the right, -1 from the left, 0 from both sides (a two-sided limit whose
// sides are different infinities is Unknown; `*sidesDiffer` is set then).  point may be
// +-infinity (the direction is then implied).
KLimit kernel_limit(const GiNaC::ex& f, const GiNaC::symbol& x, const GiNaC::ex& point,
                    int direction, bool* sidesDiffer = nullptr);

// The definite integral of f over lo..hi (numbers, +-infinity or symbols).  antiderivative is F
// with F' = f, or an empty ex when none is known (then a numeric value is computed where the
// range and integrand allow).  False when the answer is not certain.
bool kernel_definite_integral(KInterpreter& k, const GiNaC::ex& f, const GiNaC::ex& antiderivative,
                              const GiNaC::symbol& x, const GiNaC::ex& lo, const GiNaC::ex& hi,
                              GiNaC::ex* out);

// Real roots of the polynomial p (numeric coefficients) as floats at the working precision,
// each distinct root once, ascending; only those in [lo, hi] when bounds are given.
std::vector<GiNaC::numeric> kernel_real_roots(KInterpreter& k, const GiNaC::ex& p,
                                              const GiNaC::symbol& x, const GiNaC::numeric* lo = nullptr,
                                              const GiNaC::numeric* hi = nullptr);

// A root of f in [lo, hi] by bracketing (bisection safeguarding secant steps); false when none
// is found.
bool kernel_find_root(KInterpreter& k, const GiNaC::ex& f, const GiNaC::symbol& x,
                      const GiNaC::numeric& lo, const GiNaC::numeric& hi, GiNaC::numeric* root);

// Numeric value of a definite integral over a finite range, to the shown digits (double
// exponential quadrature, refined until two levels agree).  Throws KError when it does not settle.
GiNaC::numeric kernel_quadrature(KInterpreter& k, const GiNaC::ex& f, const GiNaC::symbol& x,
                                 const GiNaC::numeric& lo, const GiNaC::numeric& hi);

// e.evalf() correct to `digits` digits: evaluated at rising precision until two evaluations agree.
GiNaC::ex kernel_evalf(KInterpreter& k, const GiNaC::ex& e, long digits);
