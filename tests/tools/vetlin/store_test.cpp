// Tests of the checker's object store: the allocator and its free lists, the limits and their
// fatal messages, growable sequences and their reserve, integers, hash tables, names, the
// simplification table and the search for a name.
#include "tools/vetlin/store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/console/osl.h"
#include "tools/vetlin/run.h"

namespace vetlin_test {
namespace {

using StoreTest = RunFixture;

VObj name(const char* text) { return store_name(text); }
VWord w(const VWord* o) { return reinterpret_cast<VWord>(o); }

std::vector<VWord> operands(const VWord* o) { return {o + 1, o + vl_length(o)}; }

TEST_F(StoreTest, HeaderCarriesLengthTypeAndMarker) {
    VObj o = store_new(5, DAG_LIST);
    EXPECT_EQ(vl_length(o), 5);
    EXPECT_EQ(vl_type(o), unsigned(DAG_LIST));
    EXPECT_EQ((o[0] >> 24) & 0xFF, 1u);   // bits 24-31 read 1
    EXPECT_EQ(o[0] & (VWord(1) << 23), 0u);
    EXPECT_EQ(operands(o), std::vector<VWord>(4, 0));
    VObj made = store_make(DAG_EQUATION, 7, 8);
    EXPECT_EQ(vl_length(made), 3);
    EXPECT_EQ(operands(made), (std::vector<VWord>{7, 8}));
}

// Lines beyond the old 13-bit fields read back whole, and the backquote mark keeps its own bit.
TEST_F(StoreTest, PrefixWordKeepsLongLineNumbers) {
    VObj o = store_make(DAG_ASSIGN, 0, 0);
    vl_set_backquoted(o, true);
    vl_set_lines(o, 9000, 70000);
    EXPECT_EQ(vl_first_line(o), 9000);
    EXPECT_EQ(vl_last_line(o), 70000);
    EXPECT_TRUE(vl_backquoted(o));
    vl_set_backquoted(o, false);
    EXPECT_EQ(vl_first_line(o), 9000);
    EXPECT_EQ(vl_last_line(o), 70000);
    vl_set_lines(o, VL_MAX_LINE + 5, 3);
    EXPECT_EQ(vl_first_line(o), VL_MAX_LINE);
    EXPECT_EQ(vl_last_line(o), 3);
}

TEST_F(StoreTest, FreedBlocksAreReusedBySize) {
    VObj small = store_new(3, DAG_LIST);     // a 4-word block
    store_free(small, 3);
    EXPECT_EQ(store_new(3, DAG_SET), small);
    VObj large = store_new(40, DAG_LIST);    // class 9
    store_free(large, 40);
    EXPECT_EQ(store_new(40, DAG_SET), large);
    store_free(large, 40);
    // A block larger by one or two words is not split (the rest would be too small to keep);
    // one larger by three is.
    VObj other = store_new(39, DAG_LIST);
    EXPECT_NE(other, large);
    VObj split = store_new(37, DAG_LIST);
    EXPECT_EQ(split, large);
    store_free(nullptr, 3);
    store_free(split, 0);                    // nothing
}

// Requests of 3, 4, 5 and 7 words with the prefix are pre-cut: the next ones follow directly.
TEST_F(StoreTest, SmallBlocksArePreCut) {
    for (long n : {2L, 3L, 4L, 6L}) {
        VObj first = store_new(n, DAG_LIST);
        VObj second = store_new(n, DAG_LIST);
        const long distance = std::labs(second - first);
        EXPECT_EQ(distance % (n + 1), 0) << n;
        EXPECT_LE(distance, 129 * (n + 1)) << n;
    }
}

TEST_F(StoreTest, LimitsEndTheRunWithTheirMessages) {
    struct Row {
        const char* name;
        void (*body)();
        const char* message;
    } rows[] = {
        {"length above the largest", [] { store_new(VL_MAX_LENGTH + 1, DAG_LIST); }, "object too large\n"},
        {"length zero", [] { store_new(0, DAG_LIST); }, "object too large\n"},
        {"generic constructor", [] { store_new_words(10, DAG_LIST); }, "System error (in new)\n"},
        {"delete outside", [] { store_delete1(store_make(DAG_LIST, 1, 2), 3); }, "System error (in shrin1)\n"},
        {"delete the header", [] { store_delete1(store_make(DAG_LIST, 1, 2), 0); }, "System error (in shrin1)\n"},
        {"delete two outside", [] { store_delete2(store_make(DAG_LIST, 1, 2), 2); }, "System error (in shrin2)\n"},
        {"name of 500 characters", [] { store_name(std::string(500, 'n').c_str()); }, "name too long\n"},
        {"plain name of 500 characters", [] { store_plain_name(std::string(500, 'n').c_str()); }, "name too long\n"},
        {"four digits", [] { store_to_integer(store_make(DAG_INTPOS, 1, 1, 1, 1)); }, "Integer too large to represent\n"},
        {"upper digits above 214747", [] { store_to_integer(store_make(DAG_INTPOS, 0, 4748, 21)); }, "Integer too large to represent\n"},
    };
    for (const Row& row : rows) {
        std::FILE* report = std::tmpfile();
        vl.report = report;
        vl.inFatal = false;
        EXPECT_EQ(exit_status(row.body), 127) << row.name;
        EXPECT_EQ(slurp(report), row.message) << row.name;
        std::fclose(report);
    }
    vl.report = out_;
}

TEST_F(StoreTest, LargestObjectCannotGrow) {
    VObj largest = store_new(VL_MAX_LENGTH, DAG_EXPSEQ);
    largest[VL_MAX_LENGTH - 1] = 42;
    EXPECT_EQ(vl_length(largest), VL_MAX_LENGTH);
    EXPECT_EQ(exit_status([&] { store_enlarge(largest, 1); }), 127);
    EXPECT_EQ(output(), "Object too large (in enlarge)\n");
}

TEST_F(StoreTest, RefusedChunkIsFatal) {
    os_alloc_fail_after(0);
    EXPECT_EQ(exit_status([] { store_new(20000, DAG_LIST); }), 127);
    EXPECT_EQ(output(), "Object too large (in allocating space (object too large))\n");
}

// The fatal message becomes the value of `lasterror`.
TEST_F(StoreTest, FatalMessageIsKeptInLasterror) {
    vl_init_checker();
    EXPECT_EQ(exit_status([] { vl_fatal("too many files simultaneously open for reading"); }), 127);
    const VWord* value = vl_op(vl.predefined[VL_PRE_LASTERROR], 1);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(vl_string_text(value), "too many files simultaneously open for reading");
}

TEST_F(StoreTest, EnlargeInsertDeleteTruncateCopy) {
    VObj o = store_make(DAG_LIST, 1, 2, 3);
    vl_set_lines(o, 4, 6);
    VObj grown = store_enlarge(o, 2);
    EXPECT_EQ(operands(grown), (std::vector<VWord>{1, 2, 3, 0, 0}));
    EXPECT_EQ(vl_type(grown), unsigned(DAG_LIST));
    EXPECT_EQ(vl_first_line(grown), 4);
    VObj inserted = store_insert(grown, 1, 2);
    EXPECT_EQ(operands(inserted), (std::vector<VWord>{1, 0, 0, 2, 3, 0, 0}));
    store_delete1(inserted, 2);
    EXPECT_EQ(operands(inserted), (std::vector<VWord>{1, 0, 2, 3, 0, 0}));
    store_delete2(inserted, 1);
    EXPECT_EQ(operands(inserted), (std::vector<VWord>{2, 3, 0, 0}));
    store_truncate(inserted, 5, 3);
    EXPECT_EQ(operands(inserted), (std::vector<VWord>{2, 3}));
    VObj simplified = store_simplify(store_make(DAG_LIST, w(vl.one)));
    VObj copy = store_copy(simplified);
    EXPECT_NE(copy, simplified);
    EXPECT_TRUE(store_equal(copy, simplified));
    EXPECT_FALSE(vl_simplified(copy));
    EXPECT_EQ((copy[0] >> 24) & 0xFF, 1u);
}

// A sequence outside the recent four of at most 6 words grows by exactly the words needed.
TEST_F(StoreTest, SmallSequenceOutsideRecentGrowsByOne) {
    VObj six = store_make(DAG_EXPSEQ, 1, 2, 3, 4, 5);
    VObj grown = store_append1(six, vl.one);
    EXPECT_EQ(vl_length(grown), 7);
    EXPECT_EQ(grown[6], w(vl.one));
    EXPECT_FALSE(store_is_recent(grown));
    EXPECT_EQ(store_reserve(grown), 0);
}

// A recent sequence with one word of reserve uses it in place and leaves the four.
TEST_F(StoreTest, RecentSequenceUsesItsLastReserveWord) {
    VObj sequence = store_sequence(3, DAG_EXPSEQ);
    EXPECT_EQ(vl_length(sequence), 1);
    EXPECT_EQ(vl_type(sequence + 1), unsigned(DAG_GARBAGE));
    VObj once = store_append1(sequence, vl.one);
    EXPECT_EQ(once, sequence);
    EXPECT_EQ(store_reserve(once), 1);
    EXPECT_TRUE(store_is_recent(once));
    VObj twice = store_append1(once, vl.zero);
    EXPECT_EQ(twice, sequence);
    EXPECT_EQ(operands(twice), (std::vector<VWord>{w(vl.one), w(vl.zero)}));
    EXPECT_FALSE(store_is_recent(twice));
}

// A sequence without reserve grows by length / 5 * 2 + 2; only the four most recent keep their
// reserve.
TEST_F(StoreTest, SequencesGrowByTwoFifthsAndOnlyFourKeepReserve) {
    VObj ten = store_new(10, DAG_EXPSEQ);
    VObj grown = store_append1(ten, vl.one);
    EXPECT_EQ(vl_length(grown), 11);
    EXPECT_EQ(store_reserve(grown), 5);   // 10 / 5 * 2 + 2 = 6, one used
    EXPECT_EQ(vl_type(grown + 11), unsigned(DAG_GARBAGE));
    VObj two = store_append2(grown, vl.zero, vl.ten);
    EXPECT_EQ(two, grown);
    EXPECT_EQ(store_reserve(two), 3);
    VObj others[4];
    for (VObj& o : others) o = store_append1(store_new(8, DAG_EXPSEQ), vl.one);
    EXPECT_FALSE(store_is_recent(two));
    EXPECT_EQ(store_reserve(two), 0);
    for (VObj o : others) EXPECT_TRUE(store_is_recent(o));
    VObj moved = store_append1(two, vl.one);
    EXPECT_EQ(vl_length(moved), 14);
    EXPECT_EQ(store_reserve(moved), 5);   // 13 / 5 * 2 + 2 = 6, one used
    EXPECT_EQ(moved[13], w(vl.one));
    EXPECT_EQ(moved[10], w(vl.one));
    EXPECT_EQ(moved[12], w(vl.ten));
}

// Many appends keep every element, whichever way the sequence grows.
TEST_F(StoreTest, LongSequenceKeepsEveryElement) {
    VObj sequence = store_sequence(10, DAG_EXPSEQ);
    VObj other = store_sequence(5, DAG_EXPSEQ);
    for (long i = 0; i < 3000; ++i) {
        sequence = store_append1(sequence, reinterpret_cast<VWord*>(i * 8 + 8));
        if (i % 7 == 0) other = store_append1(other, vl.one);
    }
    ASSERT_EQ(vl_length(sequence), 3001);
    for (long i = 0; i < 3000; ++i) ASSERT_EQ(sequence[i + 1], VWord(i * 8 + 8)) << i;
    EXPECT_EQ(vl_length(other), 1 + 3000 / 7 + 1);
}

TEST_F(StoreTest, IntegersInBaseTenThousand) {
    struct Row {
        long value;
        unsigned type;
        std::vector<VWord> digits;
    } rows[] = {
        {0, DAG_INTPOS, {0}},
        {1, DAG_INTPOS, {1}},
        {-1, DAG_INTNEG, {1}},
        {9999, DAG_INTPOS, {9999}},
        {10000, DAG_INTPOS, {0, 1}},
        {99999999, DAG_INTPOS, {9999, 9999}},
        {100000000, DAG_INTPOS, {0, 0, 1}},
        {-2147479999, DAG_INTNEG, {9999, 4747, 21}},
    };
    for (const Row& row : rows) {
        VObj o = store_integer(row.value);
        EXPECT_EQ(vl_type(o), row.type) << row.value;
        EXPECT_EQ(operands(o), row.digits) << row.value;
        EXPECT_TRUE(vl_simplified(o)) << row.value;
        EXPECT_EQ(store_to_integer(o), row.value) << row.value;
    }
    EXPECT_EQ(store_integer(10), vl.ten);   // simplified: one object per value
}

TEST_F(StoreTest, TextHash) {
    EXPECT_EQ(store_text_hash(""), 13u);
    EXPECT_EQ(store_text_hash("ab"), 13u + 'a' * 1 + 'b' * 2);
    EXPECT_EQ(store_text_hash("\xff"), 13u + 255);
}

TEST_F(StoreTest, NamesAreUniquePlainNamesAreNew) {
    storeLine = 12;
    VObj x = store_name("x", storeTables.names, true);
    EXPECT_EQ(vl_first_line(x), 12);
    storeLine = 13;
    EXPECT_EQ(store_name("x"), x);
    EXPECT_EQ(vl_first_line(x), 12);
    EXPECT_STREQ(vl_name_text(x), "x");
    EXPECT_EQ(x[1], 0u);
    EXPECT_EQ(vl_length(store_name("abcdefgh")), 4);   // 8 / 8 + 3
    EXPECT_EQ(vl_length(store_name("abcdefg")), 3);
    VObj plain = store_plain_name("x");
    EXPECT_NE(plain, x);
    EXPECT_EQ(vl_first_line(plain), 13);
    const std::string longest(499, 'q');
    EXPECT_STREQ(vl_name_text(store_name(longest.c_str())), longest.c_str());
    EXPECT_STREQ(vl_string_text(store_string("a string")), "a string");
}

// Many keys in one bucket: the bucket grows and every key stays found.
TEST_F(StoreTest, BucketsGrowAndTablesAppendOrReplace) {
    VObj table = store_hashtab(13);
    for (VWord i = 1; i <= 40; ++i) store_hash_add(table, i * 13, i);
    const VWord* bucket = store_hash_bucket(table, 13);
    ASSERT_NE(bucket, nullptr);
    EXPECT_GE(vl_length(bucket), 2 * 40 + 3);
    for (VWord i = 1; i <= 40; ++i) EXPECT_EQ(store_hash_get(table, i * 13), i);
    store_hash_add(table, 13, 99);          // appended: the first pair still answers
    EXPECT_EQ(store_hash_get(table, 13), 1u);
    for (long slots : {79L, 251L}) {
        VObj replacing = store_hashtab(slots);
        store_hash_add(replacing, 5, 1);
        store_hash_add(replacing, 5, 2);
        EXPECT_EQ(store_hash_get(replacing, 5), 2u) << slots;
        EXPECT_EQ(store_hash_bucket(replacing, 5)[3], 0u) << slots;
    }
    // A fresh bucket has 7 words and grows by 10 when its fourth word from the end is used.
    VObj small = store_hashtab(7);
    store_hash_add(small, 7, 1);
    EXPECT_EQ(vl_length(store_hash_bucket(small, 7)), 7);
    store_hash_add(small, 14, 2);
    EXPECT_EQ(vl_length(store_hash_bucket(small, 7)), 17);
}

TEST_F(StoreTest, EqualSumsSimplifyToOneObject) {
    auto sum = [] {
        VObj product = store_make(DAG_PROD, w(name("b")), w(store_integer(2)));
        return store_make(DAG_SUM, w(name("a")), w(vl.one), w(product), w(store_integer(3)));
    };
    VObj first = store_simplify(sum());
    VObj second = store_simplify(sum());
    EXPECT_EQ(first, second);
    EXPECT_TRUE(vl_simplified(first));
    VObj different = store_simplify(
        store_make(DAG_SUM, w(name("a")), w(vl.one), w(name("c")), w(store_integer(3))));
    EXPECT_NE(different, first);
    // Calls are simplified inside but never shared.
    auto call = [] { return store_make(DAG_FUNCTION, w(name("f")), w(store_make(DAG_EXPSEQ, w(vl.one)))); };
    VObj f1 = store_simplify(call());
    VObj f2 = store_simplify(call());
    EXPECT_NE(f1, f2);
    EXPECT_TRUE(vl_simplified(f1));
    EXPECT_EQ(f1[2], f2[2]);
    // A PROC has its body simplified.
    VObj body = store_make(DAG_STATSEQ, w(store_make(DAG_EQUATION, w(name("x")), w(vl.one))));
    VObj proc = store_new(9, DAG_PROC);
    vl_set_op(proc, 5, body);
    VObj simplified = store_simplify(proc);
    EXPECT_TRUE(vl_simplified(vl_op(simplified, 5)));
}

TEST_F(StoreTest, InvalidObjectsAreDumpedInDebugMode) {
    vl.debug = 1;
    VObj series = store_make(DAG_SERIES, w(name("x")), w(vl.one), 2);
    EXPECT_TRUE(vl_simplified(store_simplify(series)));
    const std::string dump = output();
    EXPECT_EQ(dump.rfind("simpl called with invalid object", 0), 0u) << dump;
    EXPECT_NE(dump.find("-->1 SERIES[4], "), std::string::npos) << dump;
}

TEST_F(StoreTest, ContainsLooksIntoOperandsByText) {
    VObj x = name("x");
    VObj product = store_make(DAG_PROD, w(store_plain_name("c")), w(store_integer(2)));
    VObj sum = store_make(DAG_SUM, w(x), w(vl.one), w(product), w(vl.one));
    VObj table = store_hashtab(5);
    store_hash_add(table, 3, w(store_make(DAG_LIST, w(name("t")))));
    VObj holder = store_make(DAG_TABLE, 0, w(table));
    struct Row {
        const char* name;
        const VWord* object;
        const char* text;
        bool expected;
    } rows[] = {
        {"a name itself", x, "x", true},
        {"a sum's term", sum, "x", true},
        {"a product inside a sum", sum, "c", true},
        {"absent", sum, "d", false},
        {"a number", vl.ten, "x", false},
        {"a local", store_make(DAG_LOCAL, w(x)), "x", false},
        {"a parameter", store_make(DAG_PARAM, w(x)), "x", false},
        {"a hash entry", table, "t", true},
        {"a table's buckets", holder, "t", true},
        {"a series' coefficient", store_make(DAG_SERIES, w(vl.one), w(name("k")), 1), "k", true},
        {"a string", store_string("x"), "x", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(store_contains(row.object, store_plain_name(row.text)), row.expected) << row.name;
}

TEST_F(StoreTest, ResetGivesChunksBack) {
    std::size_t blocks = 0;
    os_alloc_stats(&blocks, nullptr);
    for (int i = 0; i < 10; ++i) store_new(10000, DAG_LIST);
    EXPECT_GE(store_chunk_count(), 10u);
    store_reset();
    EXPECT_EQ(store_chunk_count(), 0u);
}

}  // namespace
}  // namespace vetlin_test
