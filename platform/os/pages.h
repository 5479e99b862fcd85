#pragma once
// Advice to the kernel about large blocks of memory that a caller keeps for a long time.
//
// Touching a fresh 4 KB page costs one page fault; on the virtual machines this program runs on
// a fault costs about 10 us, so that filling 100 MB of new memory page by page takes a second.
// A block offered for transparent huge pages takes one fault for every 2 MB instead.  The
// advice is only a hint: where the kernel does not take it, the block works as before.

#include <cstddef>

// The size of a transparent huge page on this platform.
constexpr std::size_t OS_HUGE_PAGE_BYTES = std::size_t(1) << 21;

// Offers the whole huge pages inside [block, block + bytes) for transparent huge pages.
// Nothing happens for a range that holds no whole huge page or when the kernel refuses.
void os_advise_huge_pages(void* block, std::size_t bytes);
