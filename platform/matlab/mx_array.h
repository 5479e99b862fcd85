#pragma once
// The array behind the mx calls, shared by the array calls and the engine's transfers.
//
// Invariants:
// 1. dims has at least 2 extents, none negative, and no extent of 1 after the second (trailing
//    ones are dropped).
// 2. count, the product of the extents, fits an int; re holds count doubles, im holds count
//    doubles for a complex array and is null for a real one.

#include "platform/matlab/engine.h"

#include <memory>
#include <string>
#include <vector>

struct KelvoMxArray {
    std::string name;
    std::vector<int> dims;
    size_t count = 0;
    std::unique_ptr<double[]> re;
    std::unique_ptr<double[]> im;
};

namespace mateng {

// The element count of the extents: -1 when an extent is negative, the product overflows or it
// exceeds what an int holds.
long long checked_count(const int* dims, int ndim);
// A zero-filled array of the extents (trailing ones past the second dropped, fewer than two
// padded with 1); null for a count checked_count refuses or when memory runs out.
std::unique_ptr<KelvoMxArray> make_array(const int* dims, int ndim, bool complex);

}  // namespace mateng
