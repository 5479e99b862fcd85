#pragma once
// Storage areas: named pools that hand out word-sized blocks and are released as a whole, never
// block by block, and the stack of current areas that decides where DAG constructors allocate.
//
// A word is a DagWord (uintptr_t, 8 bytes on this platform); every size below counts words.
//
// StorageArea fields, in order:
//
// | field      | meaning                                                                  |
// |------------|--------------------------------------------------------------------------|
// | smallChain | most recent small block; word 0 of each block links the one before       |
// | largeChain | most recent large block (requests of 512 words or more), linked likewise |
// | flags      | bit 0: results aligned to 8 bytes; bit 1: results are not zeroed         |
// | blockSize  | words of the current small block without its link word; 6 when fresh     |
// | freeList   | records handed back (area of areas only); word 0 links the next          |
// | used       | words handed out from the current small block; 7 when fresh              |
// | spare1/2   | not used by the area code                                                |
// | name       | constant text, never copied                                              |
//
// Invariants:
//   1. Entry 0 of the area stack is always the default area "DAG-DEFAULT"; the top entry is the
//      current area.  At most 7 areas are pushed above it (assertion at line 162 of
//      "tovu/storage"); popping the default area is an assertion at line 170.
//   2. Blocks never move; a failed heap allocation raises the out-of-memory error through the
//      error-jump stack (util/errjump.h) and does not return.
//   3. The heap block behind every small or large block starts with one hidden word, the
//      block's length in words (link word included), so that the area's address ranges can be
//      told (StorageExtents); smallChain and largeChain point just past it.

#include <cstddef>
#include <cstdint>
#include <vector>

using DagWord = std::uintptr_t;

enum : unsigned {
    STORAGE_ALIGN8 = 1u << 0,   // every result is a multiple of 8 bytes
    STORAGE_NOZERO = 1u << 1,   // results are not zeroed
};

struct StorageArea {
    DagWord* smallChain = nullptr;
    DagWord* largeChain = nullptr;
    unsigned flags = 0;
    std::size_t blockSize = 6;
    DagWord* freeList = nullptr;
    std::size_t used = 7;
    DagWord spare1 = 0;
    DagWord spare2 = 0;
    const char* name = nullptr;
};

void storage_init(StorageArea* area, unsigned flags, const char* name);
// All blocks freed; name and flags kept.  Interned names' fields that point into the area are
// set back first (dag_names_forget_area).
void storage_free(StorageArea* area);
StorageArea* storage_new(unsigned flags, const char* name);
void storage_delete(StorageArea* area);
void storage_release_hook();
// Advances every time an area's blocks are freed (storage_free, storage_delete, storage_reset),
// so that a table of node addresses kept across calls can tell that its nodes may be gone and
// new ones may sit at their addresses.
std::uint64_t storage_generation();

DagWord* dag_alloc(StorageArea* area, std::size_t n);   // n words
DagWord* storage_alloc_current(std::size_t n);          // current area (fallback before init)
StorageArea* storage_current();

void storage_init_default();
void storage_push_area(StorageArea* area);
StorageArea* storage_pop_area();
int storage_stack_top();                                // index of the top entry, 0..7
void storage_check_length(const DagWord* dag, std::size_t n);
// Frees the default area and starts the tables kept there again (dag_init_names, the keep
// table).  Interned names stay: they live in blocks of their own, which nothing frees.
void storage_reset();
void storage_free_default();
void storage_free_fallback();
// The fallback area (current while no default area is ready).
StorageArea* storage_fallback_area();

// The address ranges of an area's blocks at the time of construction: holds() tells whether a
// word lies in one of them.
class StorageExtents {
public:
    explicit StorageExtents(const StorageArea* area);
    bool holds(const DagWord* p) const;

private:
    struct Range {
        const DagWord* begin;
        const DagWord* end;
    };
    std::vector<Range> ranges_;   // sorted by begin; blocks never overlap
};

// Keeps an area current for the lifetime of the object.
class StoragePush {
public:
    explicit StoragePush(StorageArea* area) { storage_push_area(area); }
    ~StoragePush() { storage_pop_area(); }
    StoragePush(const StoragePush&) = delete;
    StoragePush& operator=(const StoragePush&) = delete;
};

// An area created by name and deleted with its owner.
class OwnedArea {
public:
    OwnedArea(unsigned flags, const char* name) : area_(storage_new(flags, name)) {}
    ~OwnedArea() { storage_delete(area_); }
    OwnedArea(const OwnedArea&) = delete;
    OwnedArea& operator=(const OwnedArea&) = delete;
    StorageArea* get() const { return area_; }

private:
    StorageArea* area_;
};
