#pragma once
// Process-wide memory services: a checked allocation with an out-of-memory flag, the 128 KB
// reserve block that is given back when memory runs out, and the operator-new failure handler.
//
// Invariants:
//   1. The out-of-memory flag is 0 or 1; it is set by every failed checked allocation and by the
//      new handler, and cleared by reportOutOfMemory (messages.h) once the user has been told.
//   2. The reserve is held at most once; the new handler frees it and forgets it, so a second
//      failure never frees it twice.
// Single-threaded: all state is process-wide.

#include <cstddef>

constexpr std::size_t MEM_RESERVE_BYTES = 0x20000;   // 128 KB

void mem_set_out_of_memory(int flag);
int mem_out_of_memory();

// malloc into *out; on failure sets the out-of-memory flag.  Returns whether a block was had.
bool mem_try_alloc(void** out, std::size_t size);
void* mem_alloc(std::size_t size);
void mem_free(void* block);       // null is ignored
void mem_free_raw(void* block);

// The reserve block, taken with operator new at the application's start and freed at its end.
void mem_reserve_take();
void mem_reserve_release();
bool mem_reserve_held();

// The operator-new failure handler, installed with std::set_new_handler when the library loads.
// Runs the exit callbacks, sets the out-of-memory flag, frees the reserve and raises the
// out-of-memory error (errjump.h).  It never returns to the failed allocation.  The standard
// handler interface does not pass the size of the request, so the record's byte count is 0.
[[noreturn]] void mem_new_handler();
