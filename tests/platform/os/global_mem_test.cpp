// Tests of the global memory blocks: exact sizes, zeroed bytes, lock counting and refused handles.
#include "platform/os/global_mem.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(GlobalMemTest, SizeIsExactlyWhatWasAllocated)
{
    // Sizes around the usual heap rounding steps: none may come back rounded up.
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(7), std::size_t(8), std::size_t(17),
                             std::size_t(4095), std::size_t(4097), std::size_t(100001)}) {
        SCOPED_TRACE(size);
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, size);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(GlobalSize(h), size);
        auto* p = static_cast<unsigned char*>(GlobalLock(h));
        ASSERT_NE(p, nullptr);
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(p[i], 0) << i;
        if (size > 0) std::memset(p, 0xAB, size);  // the whole block is writable
        EXPECT_FALSE(GlobalUnlock(h));
        EXPECT_EQ(GlobalFree(h), nullptr);
    }
}

TEST(GlobalMemTest, LocksNestAndKeepTheirAddress)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    void* a = GlobalLock(h);
    void* b = GlobalLock(h);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(GlobalUnlock(h));    // one lock left
    EXPECT_FALSE(GlobalUnlock(h));   // now unlocked
    EXPECT_FALSE(GlobalUnlock(h));   // not locked at all
    EXPECT_EQ(GlobalLock(h), a);     // the bytes never move
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemTest, NullAndFreedHandlesAreRefused)
{
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
    EXPECT_FALSE(GlobalUnlock(nullptr));
    EXPECT_EQ(GlobalFree(nullptr), nullptr);  // nothing to free: the handle itself comes back

    HGLOBAL h = GlobalAlloc(GMEM_FIXED, 32);
    ASSERT_EQ(GlobalFree(h), nullptr);
    // Freed: refused without touching freed memory (AddressSanitizer would report a use).
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(h), h);

    int local = 0;
    EXPECT_EQ(GlobalSize(&local), 0u);  // an address that never was a block
    EXPECT_EQ(GlobalLock(&local), nullptr);
}

TEST(GlobalMemTest, ImpossibleSizeFails)
{
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, GLOBAL_MAX_BLOCK + 1), nullptr);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, static_cast<std::size_t>(-1)), nullptr);
}

}  // namespace
