#pragma once
// Helpers of the LaTeX device tests: the writer into a string, and expressions every test uses.

#include <string>

#include "tests/typeset/dag_build.h"
#include "typeset/devices/latex.h"

namespace lt {

struct Written {
    int result = -1;
    std::string text;
};

// Options of the math element's LaTeX export: preset 3, the page width in points.
LayoutOptions export_options(int pageWidth = 432);

// The writer's output (result and text) for an expression.
Written write(Dag d, bool inlineForm, const LayoutOptions* options = nullptr);

// The decimal digits of 2^n.
std::string power_of_two(int n);

// x1 + x2 + ... + xn
Dag long_sum(int n, const char* prefix = "x");

// proc(n) if n < 1 then n := 2 fi end: the assignment sits at nesting depth 2.
Dag nested_proc();

// (1/2 + x) / (1/3 + y): a fraction of fractions, tall enough for stretchy brackets.
Dag tall_fraction();

// (tall_fraction() + the terms of rest) * z
Dag bracketed_times_z(Dag rest);

}  // namespace lt
