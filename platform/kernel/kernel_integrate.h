#pragma once
// Indefinite integration of the integrands of a first calculus course, and differentiation of
// expressions that hold unevaluated integrals.
//
// The integrator tries, in order: the table of elementary antiderivatives (linear arguments),
// linearity, partial fractions of rational functions over the rationals (logarithms and
// arctangents of irreducible quadratics), products of sines and cosines (odd powers by
// substitution, even ones by halving the angle, different angles by product-to-sum), integration
// by parts (a polynomial times exp, sin, cos, sinh, cosh or their products; a polynomial times
// ln, arctan, arcsin) and substitution (f(g(x))*g'(x) up to a constant factor).
//
// Rule of this file: an antiderivative is returned only after it has been checked: its
// derivative minus the integrand simplifies to zero, or, where the simplifier cannot decide,
// vanishes at several sample points to far more digits than rounding leaves.  Otherwise the
// caller keeps the call unevaluated.

#include "KInterpreter.h"

// An antiderivative of f with respect to x, checked; false when none is found.
bool kernel_integrate(KInterpreter& k, const GiNaC::ex& f, const GiNaC::symbol& x, GiNaC::ex* out);

// The derivative of e with respect to x.  An unevaluated int(f, v) inside e differentiates to
// f when v is x, to 0 when f does not depend on x, and otherwise to the integral of f's
// derivative (evaluated when the integrator can, else unevaluated).
GiNaC::ex kernel_diff(KInterpreter& k, const GiNaC::ex& e, const GiNaC::symbol& x);
