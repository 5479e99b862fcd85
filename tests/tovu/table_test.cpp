// Generic hash table, growable text buffer and tovu_realloc.

#include "tovu/table.h"

#include <cstring>
#include <string>

#include "tovu_env.h"

namespace {

using TableTest = TovuTest;

TEST_F(TableTest, IntHashIsNonNegativeRemainder) {
    struct Row {
        TableKey key;
        std::size_t count;
        std::size_t expected;
    } rows[] = {{0, 7, 0}, {15, 7, 1}, {-1, 7, 6}, {-8, 8, 0}, {-9, 8, 7}, {1000003, 512, 1000003 % 512}};
    for (const Row& r : rows) {
        EXPECT_EQ(table_int_hash(r.key, r.count), r.expected) << r.key << " % " << r.count;
        EXPECT_EQ(mod_nonneg(r.key, static_cast<long>(r.count)), static_cast<long>(r.expected));
    }
}

TEST_F(TableTest, SetLookupReplaceAndCollisions) {
    GenericTable* table = table_new(table_int_hash, table_int_equal, 4, "test-table", nullptr);
    int values[6] = {};
    for (TableKey k : {1, 5, 9, -3, 2}) EXPECT_EQ(table_set(table, k, &values[0]), k);   // 1, 5, 9, -3 share a bucket
    EXPECT_EQ(table_set(table, 5, &values[5]), 5);                                       // replaced
    void* v = nullptr;
    ASSERT_TRUE(table_lookup(table, 5, &v));
    EXPECT_EQ(v, &values[5]);
    ASSERT_TRUE(table_lookup(table, -3, &v));
    EXPECT_EQ(v, &values[0]);
    EXPECT_TRUE(table_lookup(table, 9, nullptr));
    v = &values[1];
    EXPECT_FALSE(table_lookup(table, 13, &v));
    EXPECT_EQ(v, &values[1]);   // untouched when absent
    table_delete(table);
}

TEST_F(TableTest, ManyKeysAllFound) {
    GenericTable* table = table_new(table_int_hash, table_int_equal, 16, "many", nullptr);
    for (TableKey k = -500; k < 500; ++k) table_set(table, k, reinterpret_cast<void*>(k + 1000));
    for (TableKey k = -500; k < 500; ++k) {
        void* v = nullptr;
        ASSERT_TRUE(table_lookup(table, k, &v)) << k;
        EXPECT_EQ(reinterpret_cast<TableKey>(v), k + 1000);
    }
    table_delete(table);
}

TEST_F(TableTest, BufferGrowsWithoutWritingPastIt) {
    char* text = buffer_new();
    EXPECT_EQ(buffer_length(text), 0u);
    EXPECT_STREQ(text, "");
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        char c = static_cast<char>('a' + i % 26);
        text = buffer_append_char(text, c);
        expected += c;
    }
    EXPECT_EQ(buffer_length(text), 1000u);
    EXPECT_EQ(std::string(text), expected);
    std::string big(5000, 'Z');
    text = buffer_append(text, big.c_str());   // longer than the remaining capacity
    expected += big;
    text = buffer_append(text, "");
    EXPECT_EQ(std::string(text), expected);
    EXPECT_EQ(buffer_length(text), expected.size());
    buffer_free(text);
}

TEST_F(TableTest, BufferAppendExactlyAtCapacityEdge) {
    for (std::size_t n : {254u, 255u, 256u, 257u}) {
        char* text = buffer_new();
        std::string s(n, 'q');
        text = buffer_append(text, s.c_str());
        EXPECT_EQ(std::string(text), s);
        text = buffer_append_char(text, '!');
        EXPECT_EQ(std::string(text), s + "!");
        buffer_free(text);
    }
}

TEST_F(TableTest, BufferToNameInterns) {
    char* text = buffer_new();
    text = buffer_append(text, "alpha");
    Dag name = buffer_to_name(text);
    EXPECT_EQ(name, dag_name("alpha"));
    EXPECT_EQ(dag_type(name), unsigned(DAG_NAME));
}

TEST_F(TableTest, ReallocFromNullAndGrow) {
    auto* p = static_cast<char*>(tovu_realloc(nullptr, 10));
    std::memcpy(p, "123456789", 10);
    p = static_cast<char*>(tovu_realloc(p, 100000));
    EXPECT_STREQ(p, "123456789");
    std::free(p);
}

}  // namespace
