#pragma once
// A kernel callback table for the engine bridge's tests, built on the expression library:
// hfarrays are HFARRAY DAGs with bounds, argument sequences EXPSEQs, names and strings NAME and
// STRING DAGs.  Floats, complex floats and complex arrays, which the bridge only hands back, are
// calls of the names "float", "complexfloat" and "complexarray" whose arguments hold the parts
// (floats as one-element hfarrays).  Slot 12 throws KernelError.

#include "bridges/engbridge/engbridge.h"
#include "tovu/dag.h"

#include <string>
#include <utility>
#include <vector>

struct KernelError {
    std::string message;
};

// The table; slots the bridge must not call are null.
const KernelSlot* kernel_table();

// An hfarray with the given bounds (lower, upper) per dimension and its values in row-major
// order; the count is the number of values (tests may make it disagree with the bounds).
Dag make_hfarray(const std::vector<std::pair<long, long>>& bounds, const std::vector<double>& values);
// An argument sequence.
Dag make_args(const std::vector<Dag>& items);
Dag make_name(const char* text);
Dag make_string(const char* text);

// Reading results back.
std::vector<std::pair<long, long>> bounds_of(const DagWord* hfarray);
std::vector<double> values_of(const DagWord* hfarray);
// The callee name of a "float", "complexfloat" or "complexarray" result ("" otherwise) and its
// arguments.
std::string call_name(const DagWord* value);
const DagWord* call_arg(const DagWord* value, size_t i);
