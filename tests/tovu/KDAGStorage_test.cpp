// Tests of the document expression storage: its area, release and reuse.
#include "tovu/KDAGStorage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(KDAGStorageTest, ConstructionNamesAnEmptyArea)
{
    KDAGStorage storage;
    StorageArea* area = storage.area();
    ASSERT_NE(area, nullptr);
    EXPECT_STREQ(area->name, "KDAGStorage");
    EXPECT_EQ(area->flags, 0u);
    EXPECT_EQ(area->smallChain, nullptr);
    EXPECT_EQ(area->largeChain, nullptr);
    EXPECT_EQ(storage.state(), 0u);
}

TEST(KDAGStorageTest, ReleaseFreesBlocksClearsStateAndKeepsAreaUsable)
{
    // Leak checking under AddressSanitizer fails this test if release loses blocks.
    KDAGStorage storage;
    for (int i = 0; i < 50; ++i) {
        DagWord* small = dag_alloc(storage.area(), 10);
        ASSERT_NE(small, nullptr);
        small[9] = 1;
    }
    DagWord* large = dag_alloc(storage.area(), 4096);
    ASSERT_NE(large, nullptr);
    large[4095] = 2;
    storage.setState(7);
    EXPECT_NE(storage.area()->smallChain, nullptr);

    storage.release();
    EXPECT_EQ(storage.state(), 0u);
    EXPECT_EQ(storage.area()->smallChain, nullptr);
    EXPECT_EQ(storage.area()->largeChain, nullptr);
    EXPECT_STREQ(storage.area()->name, "KDAGStorage");

    DagWord* again = dag_alloc(storage.area(), 3);
    ASSERT_NE(again, nullptr);
    again[2] = 3;
    // Destruction releases what is left.
}

}  // namespace
