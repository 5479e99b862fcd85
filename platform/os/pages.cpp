// Huge-page advice over madvise(MADV_HUGEPAGE).

#include "platform/os/pages.h"

#include <sys/mman.h>

#include <cstdint>

void os_advise_huge_pages(void* block, std::size_t bytes) {
    auto begin = reinterpret_cast<std::uintptr_t>(block);
    std::uintptr_t first = (begin + OS_HUGE_PAGE_BYTES - 1) & ~(OS_HUGE_PAGE_BYTES - 1);
    std::uintptr_t last = (begin + bytes) & ~(OS_HUGE_PAGE_BYTES - 1);
    if (last <= first) return;
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);   // a hint: failure is harmless
#endif
}
