// Storage areas: bump allocation from chained heap blocks, the area of areas, the fallback area
// used before start-up, the default area and the stack of current areas.
//
// Block sizes count 8-byte words.  A small block grows geometrically from the fresh size 6
// (6 -> 14 -> 30 -> 62 -> 126 -> 254 -> 510 -> 1022) and then stays at 1022 words plus its link
// word, so that an area making small requests asks the heap rarely.  Requests of 512 words or
// more that do not fit the current small block get a block of their own on the large chain.

#include "tovu/storage.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>

#include "tovu/dag.h"
#include "tovu/errors.h"
#include "util/errjump.h"

namespace {

constexpr const char* kStorageSource = "tovu/storage";
constexpr std::size_t kFullBlock = 1022;     // the size small blocks grow to and keep
constexpr std::size_t kLargeRequest = 512;   // requests from here on may get a block of their own
constexpr int kStackEntries = 8;

// Records of areas made at run time; every block holds 1022 words.
StorageArea areaArea{nullptr, nullptr, 0, kFullBlock, nullptr, kFullBlock + 1, 0, 0, "Areaarea"};
// Everything allocated before storage_init_default (the shared constants) lives here.
StorageArea fallbackArea{nullptr, nullptr, 0, 6, nullptr, 1023, 0, 0, "sdagArea"};
StorageArea defaultArea{nullptr, nullptr, 0, 6, nullptr, 7, 0, 0, "DAG-DEFAULT"};
bool defaultReady = false;
std::uint64_t generation = 0;   // advanced whenever blocks are freed

StorageArea* areaStack[kStackEntries] = {};
int stackTop = 0;

// Words a StorageArea record takes when it comes from the area of areas.
constexpr std::size_t kAreaRecordWords = (sizeof(StorageArea) + sizeof(DagWord) - 1) / sizeof(DagWord);

// A block of n words (link word included) behind its hidden length word.
DagWord* newBlock(std::size_t n) {
    auto* raw = static_cast<DagWord*>(allocWordsOrRaise(n + 1));
    raw[0] = n;
    return raw + 1;
}

std::size_t blockWords(const DagWord* block) { return block[-1]; }

void freeChain(DagWord* block) {
    while (block) {
        DagWord* next = reinterpret_cast<DagWord*>(block[0]);
        freeWords(block - 1);
        block = next;
    }
}

bool misaligned(const DagWord* p) { return (reinterpret_cast<std::uintptr_t>(p) & 7u) != 0; }

}  // namespace

void storage_init(StorageArea* area, unsigned flags, const char* name) {
    area->smallChain = nullptr;
    area->largeChain = nullptr;
    area->flags = flags;
    area->blockSize = 6;
    area->freeList = nullptr;
    area->used = 7;
    area->spare1 = 0;
    area->spare2 = 0;
    area->name = name;
}

void storage_free(StorageArea* area) {
    dag_names_forget_area(area);
    ++generation;
    freeChain(area->smallChain);
    freeChain(area->largeChain);
    storage_init(area, area->flags, area->name);
}

StorageArea* storage_new(unsigned flags, const char* name) {
    DagWord* record = dag_alloc(&areaArea, kAreaRecordWords);
    auto* area = new (record) StorageArea{};
    storage_init(area, flags, name);
    return area;
}

void storage_delete(StorageArea* area) {
    if (!area) return;
    storage_free(area);
    auto* record = reinterpret_cast<DagWord*>(area);
    record[0] = reinterpret_cast<DagWord>(areaArea.freeList);
    areaArea.freeList = record;
}

void storage_release_hook() {}

std::uint64_t storage_generation() { return generation; }

DagWord* dag_alloc(StorageArea* area, std::size_t n) {
    const bool zero = (area->flags & STORAGE_NOZERO) == 0;
    const bool align = (area->flags & STORAGE_ALIGN8) != 0;

    // 1. Records handed back (area of areas): all of one size.
    if (area->freeList) {
        DagWord* record = area->freeList;
        area->freeList = reinterpret_cast<DagWord*>(record[0]);
        if (zero) std::memset(record, 0, n * sizeof(DagWord));
        return record;
    }

    // 2-3. Open a block when the current one cannot hold the request.
    const std::size_t need = n + (align ? 1 : 0);
    const std::size_t left = area->used >= area->blockSize ? 0 : area->blockSize - area->used;
    if (left < need) {
        if (n >= kLargeRequest) {
            DagWord* block = newBlock(n + 2);
            if (zero) std::memset(block + 1, 0, (n + 1) * sizeof(DagWord));
            block[0] = reinterpret_cast<DagWord>(area->largeChain);
            area->largeChain = block;
            DagWord* result = block + 1;
            if (align && misaligned(result)) ++result;
            return result;
        }
        std::size_t size = area->blockSize;
        if (size < kFullBlock) size = 2 * size + 2;
        while (size < need) size = 2 * size + 2;
        DagWord* block = newBlock(size + 1);
        if (zero) std::memset(block + 1, 0, size * sizeof(DagWord));
        block[0] = reinterpret_cast<DagWord>(area->smallChain);
        area->smallChain = block;
        area->blockSize = size;
        area->used = 0;
    }

    // 4-5. Bump.  With 8-byte words every word is already 8-byte aligned; the step is kept so
    // that the rule holds whatever the word size.
    if (align && misaligned(area->smallChain + 1 + area->used)) ++area->used;
    DagWord* result = area->smallChain + 1 + area->used;
    area->used += n;
    return result;
}

StorageExtents::StorageExtents(const StorageArea* area) {
    for (const DagWord* chain : {area->smallChain, area->largeChain})
        for (const DagWord* block = chain; block; block = reinterpret_cast<const DagWord*>(block[0]))
            ranges_.push_back({block, block + blockWords(block)});
    std::less<const DagWord*> before;
    std::sort(ranges_.begin(), ranges_.end(), [&](const Range& a, const Range& b) { return before(a.begin, b.begin); });
}

bool StorageExtents::holds(const DagWord* p) const {
    std::less<const DagWord*> before;
    // The last range that begins at or before p.
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), p,
                               [&](const DagWord* q, const Range& r) { return before(q, r.begin); });
    return it != ranges_.begin() && before(p, std::prev(it)->end);
}

StorageArea* storage_current() {
    if (stackTop > 0) return areaStack[stackTop];
    return defaultReady ? &defaultArea : &fallbackArea;
}

DagWord* storage_alloc_current(std::size_t n) { return dag_alloc(storage_current(), n); }

void storage_init_default() {
    if (!defaultReady) {
        storage_init(&defaultArea, 0, "DAG-DEFAULT");
        defaultReady = true;
    }
    for (auto& entry : areaStack) entry = nullptr;
    areaStack[0] = &defaultArea;
    stackTop = 0;
}

void storage_push_area(StorageArea* area) {
    TOVU_ASSERT(stackTop < kStackEntries - 1, kStorageSource, 162);
    areaStack[++stackTop] = area;
}

StorageArea* storage_pop_area() {
    TOVU_ASSERT(stackTop >= 1, kStorageSource, 170);
    StorageArea* area = areaStack[stackTop];
    areaStack[stackTop--] = nullptr;
    return area;
}

int storage_stack_top() { return stackTop; }

void storage_check_length(const DagWord* dag, std::size_t n) {
    TOVU_ASSERT(dag_length(dag) == n, kStorageSource, 200);
}

void storage_reset() {
    TOVU_ASSERT(stackTop == 0, kStorageSource, 205);
    storage_free_default();
    dag_forget_keep();
    dag_init_names();
}

void storage_free_default() {
    TOVU_ASSERT(defaultReady, kStorageSource, 219);
    storage_free(&defaultArea);
}

StorageArea* storage_fallback_area() { return &fallbackArea; }

void storage_free_fallback() {
    storage_free(&fallbackArea);
    fallbackArea.used = 1023;
}
