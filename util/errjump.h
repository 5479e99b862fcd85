#pragma once
// The error-jump stack: how the program recovers from a failed operation by going back to the
// innermost guard that an enclosing operation set up.
//
// 256 levels, each with a message slot; a depth counter (0 outside every guard) tells how many
// are in use.  Built on C++ exceptions: a guard is an RAII object that takes level d = depth and
// makes the depth d + 1; a raise stores its error record in level d's slot and throws
// `ErrorJump`; the guard's destructor restores depth d on both paths, and the caller catches
// `ErrorJump` right outside the guard's scope:
//
//     try {
//         ErrorGuard guard;
//         ... work that may raise ...
//     } catch (const ErrorJump& jump) {
//         if (jump.record == &outOfMemoryRecord) reportOutOfMemory("load");
//     }
//
// Error records: null for an ordinary error (raiseError), &outOfMemoryRecord (kind 1) when an
// allocation failed, or a record of another module (the worksheet streams' file-format error,
// kind 2).  A raise with no guard at all (depth 0) writes its message and "no error handler" to
// stderr and ends the process with exit code 1: it never jumps into nothing.
//
// Out-of-memory errors show nothing at the raise; ordinary errors with a message show it at once
// (showError).  No ErrorJump may cross a C boundary (kernel entry points, Qt handlers, plot
// driver callbacks): those catch everything.

#include <cstddef>
#include <exception>

struct ErrorRecord {
    int kind;   // 1 out of memory, 2 worksheet file format, others by module
};

struct OutOfMemoryRecord : ErrorRecord {
    std::size_t bytes;   // size of the request that failed
};
extern OutOfMemoryRecord outOfMemoryRecord;

// What a raise throws; `record` is the content of the receiving level's message slot.
struct ErrorJump : std::exception {
    const ErrorRecord* record;
    explicit ErrorJump(const ErrorRecord* r) : record(r) {}
    const char* what() const noexcept override { return "error jump"; }
};

constexpr int ERRJUMP_LEVELS = 256;

extern int errorRaised;   // set by every raise; cleared by reportOutOfMemory and the loader

int errjump_depth();
// The slot of level d; guards read what the raise left there.
const ErrorRecord* errjump_slot(int level);

class ErrorGuard {
public:
    ErrorGuard();    // more than 256 nested guards is a system error
    ~ErrorGuard();   // restores the depth found
    ErrorGuard(const ErrorGuard&) = delete;
    ErrorGuard& operator=(const ErrorGuard&) = delete;
    int level() const { return level_; }

private:
    int level_;
};

// Shows the message when given (showError), then jumps to the innermost guard with a null record.
[[noreturn]] void raiseError(const char* message);
// Jumps with a record of the caller's (nothing shown).
[[noreturn]] void raiseRecord(const ErrorRecord* record);
// n words (sizeof(void*) bytes each) from the heap; on failure raises the out-of-memory error.
void* allocWordsOrRaise(std::size_t n);
void freeWords(void* block);
