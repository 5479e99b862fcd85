#pragma once
// Taylor series through FLINT's truncated power series over the rationals.
//
// GiNaC expands a composition such as sin(tan(x)) by differentiating it order after order,
// which grows with the order and the depth of the nesting (sin(tan(x)) to order 30: 13 ms);
// FLINT composes truncated series with exact rational coefficients directly (the same in
// about 0.1 ms).  This file takes the common case there and leaves everything else to GiNaC:
// an expression in the one variable x, at a rational point a, built from
//   - rational numbers and x,
//   - sums, products, quotients, integer powers, and rational powers of a base whose value
//     at a is a positive rational c with c^(p/q) rational,
//   - exp, ln, sin, cos, tan, arcsin, arctan, sinh, cosh, tanh, arcsinh, arctanh of an
//     argument whose value at a makes the function's value rational (0, or 1 for ln).
// Everything else (a pole, a Laurent or Puiseux term, another function or name, a float, a
// constant such as sin(1) in a coefficient, a polynomial, whose exact form GiNaC keeps) is
// answered with nullopt, and the caller uses GiNaC's series.
//
// Invariants of an answer:
//   1. It is the pseries GiNaC's own series returns for the same call: the terms with non-zero
//      coefficients in ascending powers of (x - a) below the order, then O((x-a)^order).
//   2. Every coefficient is exact; no value is approximated.
// The FLINT work runs in the kernel's process without polls when it is small, otherwise in a
// child process that an interrupt ends (kernel_child.h).

#include <optional>

#include <ginac/ginac.h>

// The series of f in x at `point` to `order` (0 <= order), or nullopt where GiNaC's series is
// to answer.  KInterrupt when the statement is interrupted while a child computes it.
std::optional<GiNaC::ex> kernel_taylor_series(const GiNaC::ex& f, const GiNaC::symbol& x, const GiNaC::ex& point,
                                              int order);
