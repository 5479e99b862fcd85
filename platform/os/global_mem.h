#pragma once
// Global memory blocks: heap blocks passed by handle between the worksheet program and the OLE
// support library (an OLE object's stored bytes go to the library in one and come back in
// another).
//
// Invariants:
//  1. GlobalSize answers exactly the size the block was allocated with, never a rounded-up size,
//     so that a writer that stores GlobalSize bytes writes back the size it read.
//  2. A handle is checked against the table of live blocks before use: a null, unknown or freed
//     handle makes GlobalLock answer null, GlobalSize 0, GlobalUnlock false and GlobalFree the
//     handle itself; it is never dereferenced.
//  3. The bytes never move while the block lives, so a pointer from GlobalLock stays valid until
//     GlobalFree; the lock count is kept only to answer GlobalUnlock.
//
// Thread-safe: the table is guarded by a mutex.  The blocks belong to whoever holds the handle;
// GlobalFree releases one.

#include <cstddef>
#include <cstdint>

using HGLOBAL = void*;

// Flags: fixed and movable blocks behave alike here (invariant 3); zero-initialised or not, the
// bytes of a new block are 0.
enum : unsigned {
    GMEM_FIXED = 0x0000,
    GMEM_MOVEABLE = 0x0002,
    GMEM_NODISCARD = 0x0020,
    GMEM_ZEROINIT = 0x0040,
};

// Largest block: the largest size a signed 32-bit length field (as worksheet records store them)
// describes, so that a damaged length cannot ask for more.
constexpr std::size_t GLOBAL_MAX_BLOCK = 0x7FFFFFFF;

// A new block of `bytes` bytes; null when the memory cannot be had or `bytes` exceeds
// GLOBAL_MAX_BLOCK.
HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes);
// The block's first byte (a valid pointer also for a block of 0 bytes); null for a bad handle.
void* GlobalLock(HGLOBAL block);
// True while the block stays locked after this unlock.
bool GlobalUnlock(HGLOBAL block);
// The size the block was allocated with; 0 for a bad handle.
std::size_t GlobalSize(HGLOBAL block);
// Releases the block: null on success, the handle itself when it was not a live block.
HGLOBAL GlobalFree(HGLOBAL block);
