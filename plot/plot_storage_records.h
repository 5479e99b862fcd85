#pragma once
// Fixed-size records of the hidden-surface sweep drawn from storage areas with a free list.
//
// Each of the sweep's areas ("event", "mv", "spantab-Span", "spantab-Link", "boundary") holds
// records of one size only, so a record handed back can serve the next request of that area:
// area_give_back threads it onto the area's free list (its first word becomes the link) and
// area_record takes it off again (zeroed unless the area says not), as dag_alloc would, without
// the call; only an empty free list goes to dag_alloc.  Everything is freed with the area.

#include <cstddef>
#include <cstring>

#include "tovu/errors.h"
#include "tovu/storage.h"

template <typename T>
T* area_record(StorageArea* area) {
    constexpr std::size_t words = (sizeof(T) + sizeof(DagWord) - 1) / sizeof(DagWord);
    if (DagWord* r = area->freeList) {
        area->freeList = reinterpret_cast<DagWord*>(r[0]);
        if (!(area->flags & STORAGE_NOZERO)) std::memset(r, 0, words * sizeof(DagWord));
        return reinterpret_cast<T*>(r);
    }
    DagWord* p = dag_alloc(area, words);
    if (!p) tovu_error("graphics out of memory");
    return reinterpret_cast<T*>(p);
}

inline void area_give_back(StorageArea* area, void* record) {
    auto* w = static_cast<DagWord*>(record);
    w[0] = reinterpret_cast<DagWord>(area->freeList);
    area->freeList = w;
}
