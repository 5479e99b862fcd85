// Tests of the integer-keyed hash table: chains, misuse assertions, reported input errors.
#include "util/klabel.h"

#include <gtest/gtest.h>

namespace {

class KLabelTest : public ::testing::Test {
protected:
    void SetUp() override { klabel_create(&table); }
    void TearDown() override
    {
        if (table != nullptr)
            klabel_destroy(&table);
    }

    void* find(int key)
    {
        void* data = nullptr;
        return klabel_find(&table, key, &data) ? data : nullptr;
    }

    KLabelTable* table = nullptr;
    int a = 1, b = 2, c = 3;
};

TEST(KLabelHashTest, KeyModulo211KeepsSign)
{
    struct Case {
        int key;
        int hash;
    };
    const Case cases[] = {{0, 0}, {5, 5}, {210, 210}, {211, 0}, {216, 5}, {-5, -5}, {-216, -5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(klabel_hash(c.key), c.hash);
    }
}

TEST_F(KLabelTest, CreateGivesEmptyBuckets)
{
    ASSERT_NE(table, nullptr);
    for (int i = 0; i < KLABEL_BUCKETS; ++i)
        EXPECT_EQ(table->buckets[i], nullptr) << i;
}

TEST_F(KLabelTest, SharedBucketKeepsBothKeysInOrder)
{
    ASSERT_TRUE(klabel_insert(&table, 5, &a));
    ASSERT_TRUE(klabel_insert(&table, 216, &b));
    const KLabelNode* head = table->buckets[5];
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->key, 5);
    ASSERT_NE(head->next, nullptr);
    EXPECT_EQ(head->next->key, 216);
    EXPECT_EQ(find(5), &a);
    EXPECT_EQ(find(216), &b);

    EXPECT_TRUE(klabel_remove(&table, 216));
    EXPECT_EQ(find(5), &a);
    EXPECT_EQ(find(216), nullptr);
    EXPECT_EQ(table->buckets[5]->next, nullptr);
}

TEST_F(KLabelTest, RemovingTheHeadKeepsTheRestOfTheChain)
{
    ASSERT_TRUE(klabel_insert(&table, 5, &a));
    ASSERT_TRUE(klabel_insert(&table, 216, &b));
    ASSERT_TRUE(klabel_insert(&table, 427, &c));
    EXPECT_TRUE(klabel_remove(&table, 5));
    EXPECT_EQ(find(5), nullptr);
    EXPECT_EQ(find(216), &b);
    EXPECT_EQ(find(427), &c);
    EXPECT_TRUE(klabel_insert(&table, 5, &a));   // goes to the end now
    EXPECT_EQ(table->buckets[5]->next->next->key, 5);
}

TEST_F(KLabelTest, DuplicateInsertIsReportedAndTableUnchanged)
{
    ASSERT_TRUE(klabel_insert(&table, 7, &a));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(klabel_insert(&table, 7, &b));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find('7'), std::string::npos) << err;
    EXPECT_EQ(find(7), &a);
    EXPECT_EQ(table->buckets[7]->next, nullptr);
}

TEST_F(KLabelTest, AbsentRemoveIsReported)
{
    ASSERT_TRUE(klabel_insert(&table, 5, &a));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(klabel_remove(&table, 216));
    EXPECT_FALSE(klabel_remove(&table, 9));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("216"), std::string::npos) << err;
    EXPECT_EQ(find(5), &a);
}

TEST_F(KLabelTest, NegativeKeysStayInsideTheTable)
{
    ASSERT_TRUE(klabel_insert(&table, -216, &a));
    ASSERT_TRUE(klabel_insert(&table, -5, &b));
    EXPECT_EQ(find(-216), &a);
    EXPECT_EQ(find(-5), &b);
    EXPECT_EQ(find(5), nullptr);
    EXPECT_TRUE(klabel_remove(&table, -216));
}

TEST_F(KLabelTest, DestroyWithNodesLeftFreesThemAndNullsHandle)
{
    // Leak checking under AddressSanitizer fails this test if remaining nodes leak.
    for (int key = 0; key < 1000; ++key)
        ASSERT_TRUE(klabel_insert(&table, key, &a));
    klabel_destroy(&table);
    EXPECT_EQ(table, nullptr);
    EXPECT_FALSE(klabel_find(&table, 3, nullptr));
}

using KLabelDeathTest = KLabelTest;

TEST_F(KLabelDeathTest, MisuseEndsWithAssertionText)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(klabel_create(&table), "\\*data == NULL, file klabel, line 22");
    KLabelTable* none = nullptr;
    EXPECT_DEATH(klabel_destroy(&none), "\\*data != NULL, file klabel, line 38");
    EXPECT_DEATH(klabel_insert(&none, 1, &a), "\\*data != NULL, file klabel, line 85");
    EXPECT_DEATH(klabel_remove(&none, 1), "\\*data != NULL, file klabel, line 111");
}

}  // namespace
