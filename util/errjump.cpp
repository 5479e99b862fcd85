// The error-jump stack (see errjump.h): guards as RAII objects over C++ exceptions.
//
// Invariants:
//   1. 0 <= depth <= ERRJUMP_LEVELS; level i belongs to the (i + 1)-th guard from the outside.
//   2. A guard restores the depth it found, on the normal path and when an ErrorJump leaves its
//      scope, so an inner guard that is skipped by a jump never leaves the depth too high.
//   3. A raise stores its record in the slot of the innermost guard's level before throwing.
#include "util/errjump.h"

#include "util/mem.h"
#include "util/messages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

OutOfMemoryRecord outOfMemoryRecord = {{1}, 0};
int errorRaised = 0;

namespace {

int depth = 0;
const ErrorRecord* slots[ERRJUMP_LEVELS];

// A raise with no guard would jump into nothing: say so and end the process.
[[noreturn]] void noHandler(const char* message)
{
    if (message != nullptr && *message != '\0')
        std::fprintf(stderr, "%s\n", message);
    std::fprintf(stderr, "kelvo: no error handler\n");
    std::fflush(stderr);
    std::exit(1);
}

[[noreturn]] void jump(const ErrorRecord* record, const char* message)
{
    errorRaised = 1;
    if (depth <= 0)
        noHandler(message);
    --depth;
    slots[depth] = record;
    throw ErrorJump(record);
}

}  // namespace

int errjump_depth()
{
    return depth;
}

const ErrorRecord* errjump_slot(int level)
{
    if (level < 0 || level >= ERRJUMP_LEVELS)
        return nullptr;
    return slots[level];
}

ErrorGuard::ErrorGuard() : level_(depth)
{
    if (depth >= ERRJUMP_LEVELS) {
        std::fprintf(stderr, "kelvo: system error, %s\n", "error-jump stack overflow");
        std::fflush(stderr);
        std::exit(1);
    }
    slots[depth] = nullptr;
    ++depth;
}

ErrorGuard::~ErrorGuard()
{
    depth = level_;
}

void raiseError(const char* message)
{
    if (depth > 0 && message != nullptr)
        showError(message);
    jump(nullptr, message);
}

void raiseRecord(const ErrorRecord* record)
{
    jump(record, nullptr);
}

void* allocWordsOrRaise(std::size_t n)
{
    // n * word size must not wrap: a wrapped size would hand back a block far smaller than the
    // caller is going to fill.
    constexpr std::size_t word = sizeof(void*);
    if (n > SIZE_MAX / word) {
        mem_set_out_of_memory(1);
        outOfMemoryRecord.bytes = SIZE_MAX;
        raiseRecord(&outOfMemoryRecord);
    }
    void* block = nullptr;
    if (!mem_try_alloc(&block, n * word)) {
        outOfMemoryRecord.bytes = n * word;
        raiseRecord(&outOfMemoryRecord);
    }
    return block;
}

void freeWords(void* block)
{
    mem_free(block);
}
