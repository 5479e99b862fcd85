#pragma once
// Builders of test expressions over the library's constructors, and the one-time start-up of
// the expression library for the test binary.

#include <initializer_list>
#include <string>
#include <utility>

#include "tovu/dag.h"

namespace tb {

Dag I(long v);                       // integer of a machine value
Dag Big(const std::string& digits);  // integer of any size ("-" for negatives)
Dag N(const char* text);             // NAME
Dag S(const char* text);             // STRING
Dag Q(long num, long den);           // RATIONAL
Dag F(long mantissa, long exponent); // FLOAT
Dag Seq(std::initializer_list<Dag> items);
Dag Fn(const char* name, std::initializer_list<Dag> args);
Dag Sum(std::initializer_list<std::pair<Dag, Dag>> termCoeff);
Dag Prod(std::initializer_list<std::pair<Dag, Dag>> factorExp);
Dag Pow(Dag base, Dag exponent);
Dag Bin(unsigned type, Dag a, Dag b);
Dag Un(unsigned type, Dag a);
Dag List(std::initializer_list<Dag> items);
Dag Set(std::initializer_list<Dag> items);
Dag Tref(Dag base, std::initializer_list<Dag> indices);
// SERIES of x with (coefficient, exponent) pairs.
Dag Series(Dag x, std::initializer_list<std::pair<Dag, long>> terms);
Dag BigO();                          // O(1), the order-term marker

}  // namespace tb
