#pragma once
// Shared helpers of the plot structure reader (plot_read.cpp: options, element loop, bounding
// boxes; plot_read_objects.cpp: objects, vertices, ANIMATE).  Internal to the reader.

#include <cstddef>
#include <cstdint>

#include "plot/plot_types.h"

namespace plotread {

// The operands of an EXPSEQ as a span; any other DAG is a sequence of itself.
struct Args {
    const DagWord* const* items = nullptr;
    std::size_t n = 0;
    const DagWord* operator[](std::size_t i) const { return i < n ? items[i] : nullptr; }
    Args from(std::size_t k) const {
        Args a;
        if (k < n) { a.items = items + k; a.n = n - k; }
        return a;
    }
};

Args seq_args(const DagWord* const* slot);   // slot holds the EXPSEQ (or single DAG)
Args function_args(const DagWord* f);        // arguments of a FUNCTION
Args list_items(const DagWord* list);        // entries of a LIST

unsigned type_of(const DagWord* d);          // 0 for null
bool is_numeric(const DagWord* d);
double numeric(const DagWord* d);            // arith_to_double
bool is_name(const DagWord* d, const char* text);
bool is_name_or_string(const DagWord* d);
const char* name_of(const DagWord* d);       // text of a NAME/STRING, "" otherwise
bool is_function(const DagWord* d);          // FUNCTION with a NAME head
const char* function_name(const DagWord* d);
bool is_function_named(const DagWord* d, const char* name);
bool is_undefined_name(const DagWord* d);    // FAIL or infinity
bool is_positive_int(const DagWord* d);      // INTPOS > 0 that fits 32 bits

// A checked view of an HFARRAY: rank and per-dimension bounds agree with the element count.
struct Hf {
    const double* data = nullptr;
    long count = 0;
    int rank = 0;
    long lo[8] = {};
    long hi[8] = {};
    long extent(int i) const { return hi[i] - lo[i] + 1; }
    bool origin_one() const {
        for (int i = 0; i < rank; ++i) if (lo[i] != 1) return false;
        return true;
    }
};
bool hf_view(const DagWord* d, Hf* out);   // false for a malformed HFARRAY or another type

// Reader state.
struct State {
    PlotOptions* options = nullptr;
    ObjectOptions* objectOptions = nullptr;
    bool animateSeen = false;
    const DagWord** fontKeys = nullptr;   // identity of each FONT argument sequence
    std::int32_t fontCapacity = 0;
};
extern State state;

using Handler = void (*)(PlotRecord* plot, Args args, const DagWord* argsDag);
struct Entry {
    const char* name;
    Handler handler;
};
Handler find_handler(const Entry* table, const char* name);
extern const Entry plotLevelTable[];
extern const Entry objectTable[];
extern const Entry plotOptionTable[];
extern const Entry objectOptionTable[];

void read_colour(PlotRecord* plot, Args args, long count);
PlotObject* append_object(PlotRecord* plot, std::int32_t kind, void* data);
void read_object_options(PlotRecord* plot, PlotObject* object, Args options, long count);
void box_from_vertices(PlotBBox* box, PlotVertex* const* vertices, long n);

}  // namespace plotread
