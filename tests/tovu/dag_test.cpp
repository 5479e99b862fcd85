// DAG constants, built-in names, constructors, copies, DAG hash tables, interning, the keep
// table, the walker, attributes, hardware-float arrays and structural equality.

#include "tovu/dag.h"

#include <cstring>
#include <string>
#include <vector>

#include "tovu_env.h"

namespace {

using DagTest = TovuTest;

std::vector<DagWord> wordsOf(const DagWord* d) { return {d + 1, d + dag_length(d)}; }

TEST_F(DagTest, SharedConstants) {
    EXPECT_TRUE(dag_is_null(dag_NULL));
    EXPECT_EQ(dag_NULL[0] & 0x7FFFFF, 0x2E0001u);
    for (int i = 0; i < 140; ++i) {
        ASSERT_EQ(dag_type(dag_intpos[i]), unsigned(DAG_INTPOS));
        ASSERT_EQ(wordsOf(dag_intpos[i]), std::vector<DagWord>{DagWord(i)});
        ASSERT_EQ(dag_type(dag_intneg[i]), unsigned(DAG_INTNEG));
        ASSERT_EQ(wordsOf(dag_intneg[i]), std::vector<DagWord>{DagWord(i + 1)});
    }
    EXPECT_EQ(dag_zero, dag_intpos[0]);
    EXPECT_EQ(dag_one, dag_intpos[1]);
    EXPECT_EQ(dag_minus_one, dag_intneg[0]);
    EXPECT_STREQ(dag_type_names[DAG_INTNEG - 1], "INTNEG");
    EXPECT_STREQ(dag_type_names[DAG_HFARRAY - 1], "HFARRAY");
    EXPECT_STREQ(dag_type_names[DAG_DEBUG - 1], "DEBUG");
}

TEST_F(DagTest, BuiltinNamesInFixedOrder) {
    struct Row {
        const char* text;
        int index;
    } rows[] = {{"%", 0},          {"%%%", 2},   {"Digits", BUILTIN_DIGITS}, {"FAIL", BUILTIN_FAIL},
                {"NULL", BUILTIN_NULL}, {"O", BUILTIN_O}, {"Pi", BUILTIN_PI}, {"builtin", BUILTIN_BUILTIN},
                {"false", BUILTIN_FALSE}, {"infinity", BUILTIN_INFINITY}, {"true", BUILTIN_TRUE},
                {"index/newtable", 40}, {"=", 59}, {"$", 96}, {"writeto", 179}, {"name", 180},
                {"anything", 215}, {"complex", 216}};
    for (const Row& r : rows) {
        EXPECT_EQ(dag_builtin_index(r.text), r.index) << r.text;
        EXPECT_STREQ(dag_builtin_texts[r.index], r.text);
        EXPECT_EQ(dag_builtins[r.index], dag_name(r.text)) << r.text;
    }
    EXPECT_EQ(dag_builtin_index("not a builtin"), -1);
    // Texts listed twice intern to one NAME.
    EXPECT_EQ(dag_builtins[59], dag_builtins[dag_builtin_index("equation") + 1]);
    EXPECT_EQ(dag_op(dag_builtins[BUILTIN_NULL], 1), dag_NULL);
    EXPECT_EQ(dag_op(dag_builtins[BUILTIN_PI], 1), nullptr);
    EXPECT_EQ(dag_op(dag_builtins[BUILTIN_PI], 2), dag_NULL);
}

TEST_F(DagTest, Constructors) {
    Dag a = dag_one, b = dag_zero, c = dag_NULL;
    Dag d0 = dag_new0(DAG_STOP);
    EXPECT_EQ(d0[0], dag_header(DAG_STOP, 1));
    Dag d2 = dag_new2(DAG_POWER, a, b);
    EXPECT_EQ(d2[0], dag_header(DAG_POWER, 3));
    EXPECT_EQ(dag_op(d2, 1), a);
    EXPECT_EQ(dag_op(d2, 2), b);
    Dag d4 = dag_new4(DAG_SUM, a, b, c, a);
    EXPECT_EQ(dag_length(d4), 5u);
    EXPECT_EQ(dag_op(d4, 3), c);
    Dag d8 = dag_new8(DAG_PROC, a, b, c, a, b, c, a, b);
    EXPECT_EQ(dag_length(d8), 9u);
    EXPECT_EQ(dag_op(d8, 8), b);
    Dag dn = dag_new_with2(6, DAG_FOR, a, b);
    EXPECT_EQ(dag_type(dn), unsigned(DAG_FOR));
    EXPECT_EQ(dag_op(dn, 2), b);
    EXPECT_EQ(dn[5], 0u);
    Dag plain = dag_new_plain(4);
    EXPECT_EQ(dag_type(plain), 0u);
    EXPECT_EQ(hash_new(8)[0], dag_header(DAG_HASHTAB, 9));
}

TEST_F(DagTest, ConstructorZeroesInNoZeroArea) {
    OwnedArea area(STORAGE_NOZERO, "raw");
    StoragePush push(area.get());
    for (int round = 0; round < 4; ++round) {
        Dag d = dag_new(30, DAG_SUM);
        for (int i = 1; i < 30; ++i) ASSERT_EQ(d[i], 0u);
        for (int i = 1; i < 30; ++i) d[i] = 0x5555;
        storage_free(area.get());
    }
}

TEST_F(DagTest, LengthLimit) {
    EXPECT_EQ(tovuErrorOf([] { dag_new(DAG_MAX_LENGTH + 1, DAG_EXPSEQ); }), "object too large");
    Dag big = nullptr;
    EXPECT_EQ(tovuErrorOf([&] { big = dag_new(DAG_MAX_LENGTH, DAG_EXPSEQ); }), "");
    EXPECT_EQ(dag_length(big), DAG_MAX_LENGTH);
    EXPECT_EQ(tovuErrorOf([&] { dag_extend(big, 1); }), "object too large");
}

TEST_F(DagTest, CopiesLeaveSourceUnchanged) {
    Dag x = dag_name("x"), y = dag_name("y"), z = dag_name("z");
    Dag s = dag_new4(DAG_SUM, x, dag_one, y, dag_one);
    std::vector<DagWord> before = wordsOf(s);

    Dag copy = dag_copy(s);
    EXPECT_NE(copy, s);
    EXPECT_EQ(wordsOf(copy), before);
    EXPECT_EQ(dag_extend(s, 0), s);
    Dag app = dag_append2(s, z, dag_one);
    EXPECT_EQ(dag_length(app), 7u);
    EXPECT_EQ(dag_op(app, 5), z);
    Dag app1 = dag_append1(dag_NULL, x);
    EXPECT_EQ(dag_length(app1), 2u);
    EXPECT_EQ(dag_type(app1), unsigned(DAG_EXPSEQ));

    Dag ins = dag_insert_words(s, 2, 2);   // two zero words after word 2
    EXPECT_EQ(wordsOf(ins), (std::vector<DagWord>{before[0], before[1], 0, 0, before[2], before[3]}));
    Dag rem = dag_remove_words(s, 2, 2);   // words 2 and 3 removed
    EXPECT_EQ(wordsOf(rem), (std::vector<DagWord>{before[0], before[3]}));
    Dag sl = dag_slice(s, 3, 2);
    EXPECT_EQ(dag_type(sl), unsigned(DAG_SUM));
    EXPECT_EQ(wordsOf(sl), (std::vector<DagWord>{before[2], before[3]}));
    EXPECT_EQ(wordsOf(s), before);
}

TEST_F(DagTest, KeepTableFollowsExtendedCopies) {
    Dag d = dag_new1(DAG_EXPSEQ, dag_one);
    EXPECT_FALSE(dag_unkeep(d));
    dag_keep(d);
    Dag longer = dag_extend(d, 3);
    EXPECT_FALSE(dag_unkeep(d));   // the keep moved to the copy
    EXPECT_TRUE(dag_unkeep(longer));
    EXPECT_FALSE(dag_unkeep(longer));
}

TEST_F(DagTest, HashBucketAlwaysEndsWithZeroKey) {
    Dag table = hash_new(1);   // one bucket: every key lands in it
    for (DagKey k = 1; k <= 200; ++k) {
        hash_insert(k, k * 10, table);
        Dag bucket = dag_op(table, 1);
        std::size_t n = dag_length(bucket);
        ASSERT_EQ(n % 2, 1u);
        ASSERT_EQ(bucket[n - 2], 0u) << "after " << k << " pairs";
    }
    EXPECT_EQ(hash_count(table), 200u);
    for (DagKey k = 1; k <= 200; ++k) {
        DagWord* pair = hash_find(k, table);
        ASSERT_NE(pair, DAG_HASH_ABSENT);
        EXPECT_EQ(pair[1], k * 10);
    }
    EXPECT_EQ(hash_find(201, table), DAG_HASH_ABSENT);
    hash_remove(7, table);
    EXPECT_EQ(hash_find(7, table), DAG_HASH_ABSENT);
    EXPECT_EQ(hash_find(200, table)[1], 2000u);   // the last pair moved into the gap
    EXPECT_EQ(hash_count(table), 199u);
}

TEST_F(DagTest, HashInsertKeepsDuplicatesFindsFirst) {
    Dag table = hash_new(16);
    hash_insert(42, 1, table);
    hash_insert(42, 2, table);
    EXPECT_EQ(hash_find(42, table)[1], 1u);
    EXPECT_EQ(hash_count(table), 2u);
}

TEST_F(DagTest, HashClearBothWays) {
    Dag table = hash_new(8);
    for (DagKey k = 1; k < 50; ++k) hash_insert(k, k, table);
    Dag bucket = dag_op(table, 1);
    hash_clear(table, false);
    EXPECT_EQ(dag_op(table, 1), bucket);   // buckets kept, pairs zeroed
    EXPECT_EQ(hash_count(table), 0u);
    hash_insert(3, 3, table);
    hash_clear(table, true);
    for (std::size_t i = 1; i < 9; ++i) EXPECT_EQ(table[i], 0u);
}

TEST_F(DagTest, TextHash) {
    struct Row {
        const char* text;
        std::uint32_t expected;
    } rows[] = {
        {"", 1},
        {"a", 97 + 1027},
        {"ab", 98 + 1027u * (97 + 1027)},
        {"\xC8", static_cast<std::uint32_t>(-56 + 1027)},   // bytes are signed
    };
    for (const Row& r : rows) EXPECT_EQ(text_hash(r.text), r.expected) << r.text;
    // Longer texts, against the recurrence one byte at a time.
    auto oneByOne = [](const char* text) {
        std::uint32_t h = 1;
        for (const char* p = text; *p; ++p) h = static_cast<std::uint32_t>(static_cast<signed char>(*p)) + 1027u * h;
        return h ? h : 1;
    };
    for (const char* text : {"abc", "abcd", "abcde", "x123456", "r12_x1234567", "\xC8\xFF\x80zzz\x7F\x01q"})
        EXPECT_EQ(text_hash(text), oneByOne(text)) << text;
}

TEST_F(DagTest, InterningNamesAndStrings) {
    Dag a = dag_name("alpha");
    EXPECT_EQ(dag_name("alpha"), a);
    Dag s = dag_intern("alpha", DAG_STRING);
    EXPECT_NE(s, a);
    EXPECT_EQ(dag_intern("alpha", DAG_STRING), s);
    EXPECT_EQ(dag_type(s), unsigned(DAG_STRING));
    EXPECT_STREQ(dag_text(a), "alpha");
    EXPECT_EQ(dag_op(a, 1), nullptr);
    EXPECT_EQ(dag_op(a, 2), dag_NULL);
    EXPECT_EQ(dag_find_name("alpha")[1], reinterpret_cast<DagWord>(a));
    EXPECT_EQ(dag_find_string("alpha")[1], reinterpret_cast<DagWord>(s));
    EXPECT_EQ(dag_find_string("beta"), DAG_HASH_ABSENT);
    EXPECT_EQ(dag_lookup_text("alpha", DAG_NAME)[0], text_hash("alpha"));
    // Lengths: text / 8 + 4 words.  The long texts do not fit the names' current block (they
    // get blocks of their own); each is found again at its address with its whole text.
    struct Row {
        std::size_t textLength;
        std::size_t words;
    } rows[] = {{0, 4}, {7, 4}, {8, 5}, {15, 5}, {16, 6}, {1000, 129}, {20000, 2504}, {300000, 37504}};
    for (const Row& r : rows) {
        std::string text(r.textLength, 'n');
        Dag d = dag_intern(text.c_str(), DAG_STRING);
        EXPECT_EQ(dag_length(d), r.words) << r.textLength;
        EXPECT_EQ(dag_intern(text.c_str(), DAG_STRING), d) << r.textLength;
        EXPECT_EQ(std::strlen(dag_text(d)), r.textLength);
        EXPECT_EQ(dag_name("after_long_text"), dag_name("after_long_text"));
    }
}

// Enough names for the name table to double many times: every one keeps its address and text
// and is found again, by dag_name and by dag_lookup_text.
TEST_F(DagTest, ManyNamesStayUnique) {
    constexpr int kCount = 50000;
    std::vector<Dag> names;
    for (int i = 0; i < kCount; ++i) names.push_back(dag_name(("v" + std::to_string(i)).c_str()));
    for (int i = 0; i < kCount; ++i) {
        std::string text = "v" + std::to_string(i);
        ASSERT_EQ(dag_name(text.c_str()), names[i]);
        ASSERT_STREQ(dag_text(names[i]), text.c_str());
        ASSERT_EQ(dag_find_name(text.c_str())[1], reinterpret_cast<DagWord>(names[i]));
    }
}

// Texts with the same hash stay two names.
TEST_F(DagTest, TextsWithEqualHashesAreDifferentNames) {
    ASSERT_EQ(text_hash("c179722"), text_hash("c8000000"));
    Dag a = dag_name("c179722");
    Dag b = dag_name("c8000000");
    EXPECT_NE(a, b);
    EXPECT_EQ(dag_name("c179722"), a);
    EXPECT_EQ(dag_name("c8000000"), b);
    EXPECT_EQ(dag_find_string("c8000000"), DAG_HASH_ABSENT);
}

// Walker: records the types it visits; answers per type from a table.
struct WalkLog {
    std::vector<unsigned> visited;
    unsigned skipType = 0;   // answer 2 here
    unsigned stopType = 0;   // answer 1 here
};

int logVisitor(DagWord* slot, void* context, void*) {
    auto* log = static_cast<WalkLog*>(context);
    unsigned type = dag_type(reinterpret_cast<Dag>(*slot));
    log->visited.push_back(type);
    if (type == log->skipType) return 2;
    if (type == log->stopType) return 1;
    return 0;
}

TEST_F(DagTest, WalkerSkipsAndStops) {
    Dag f = dag_new2(DAG_FUNCTION, dag_name("f"), dag_new1(DAG_EXPSEQ, dag_name("x")));
    Dag s = dag_new4(DAG_SUM, f, dag_one, dag_name("y"), dag_intneg[1]);
    DagWord slot = reinterpret_cast<DagWord>(s);

    WalkLog all;
    EXPECT_EQ(dag_walk(&slot, logVisitor, &all, nullptr), 0);
    EXPECT_EQ(all.visited, (std::vector<unsigned>{DAG_SUM, DAG_FUNCTION, DAG_NAME, DAG_EXPSEQ, DAG_NAME,
                                                  DAG_INTPOS, DAG_NAME, DAG_INTNEG}));

    WalkLog skip;
    skip.skipType = DAG_FUNCTION;
    int r = dag_walk(&slot, logVisitor, &skip, nullptr);
    EXPECT_EQ(r, 0);   // the last operand's walk answered 0
    EXPECT_EQ(skip.visited, (std::vector<unsigned>{DAG_SUM, DAG_FUNCTION, DAG_INTPOS, DAG_NAME, DAG_INTNEG}));

    WalkLog stop;
    stop.stopType = DAG_EXPSEQ;
    EXPECT_EQ(dag_walk(&slot, logVisitor, &stop, nullptr), 1);
    EXPECT_EQ(stop.visited, (std::vector<unsigned>{DAG_SUM, DAG_FUNCTION, DAG_NAME, DAG_EXPSEQ}));
    EXPECT_FALSE(dag_walk_complete(&slot, logVisitor, &stop, nullptr));

    DagWord empty = 0;
    EXPECT_EQ(dag_walk(&empty, logVisitor, &all, nullptr), 0);
    EXPECT_EQ(dag_walk(nullptr, logVisitor, &all, nullptr), 0);
    EXPECT_EQ(dag_walk(&slot, nullptr, &all, nullptr), 0);
}

TEST_F(DagTest, WalkerSkipsSeriesExponentsAndLeaves) {
    Dag series = dag_new(6, DAG_SERIES);
    dag_set_op(series, 1, dag_name("x"));
    dag_set_op(series, 2, dag_one);
    series[3] = 5;   // machine-word exponents: must never be followed
    dag_set_op(series, 4, dag_name("c"));
    series[5] = 7;
    Dag local = dag_new(2, DAG_LOCAL);
    local[1] = 12345;
    Dag outer = dag_new2(DAG_LIST, dag_new2(DAG_EXPSEQ, series, local), nullptr);
    outer[0] = dag_header(DAG_LIST, 2);
    DagWord slot = reinterpret_cast<DagWord>(outer);
    WalkLog log;
    dag_walk(&slot, logVisitor, &log, nullptr);
    EXPECT_EQ(log.visited, (std::vector<unsigned>{DAG_LIST, DAG_EXPSEQ, DAG_SERIES, DAG_NAME, DAG_INTPOS,
                                                  DAG_NAME, DAG_LOCAL}));
}

TEST_F(DagTest, Attributes) {
    Dag attr = dag_new1(DAG_EXPSEQ, dag_name("a"));
    Dag f3 = dag_new2(DAG_FUNCTION, dag_name("f"), dag_NULL);
    Dag f4 = dag_new3(DAG_FUNCTION, dag_name("f"), dag_NULL, attr);
    Dag l2 = dag_new1(DAG_LIST, dag_NULL);
    Dag l3 = dag_new2(DAG_LIST, dag_NULL, attr);
    Dag name = dag_name("attributed");
    dag_set_interned_field(name, 2, attr);
    Dag options = dag_new1(DAG_EXPSEQ, attr);
    Dag proc = dag_new8(DAG_PROC, dag_NULL, dag_NULL, options, dag_NULL, dag_NULL, dag_NULL, dag_NULL, dag_NULL);
    Dag proc2 = dag_new8(DAG_PROC, dag_NULL, dag_NULL, attr, dag_NULL, dag_NULL, dag_NULL, dag_NULL, dag_NULL);
    struct Row {
        const char* name;
        Dag d;
        Dag expected;
    } rows[] = {{"function", f3, dag_NULL}, {"function+attr", f4, attr}, {"list", l2, dag_NULL},
                {"list+attr", l3, attr},     {"name", name, attr},        {"proc single option", proc, attr},
                {"proc options", proc2, dag_name("a")}, {"sum", dag_new2(DAG_SUM, dag_one, dag_one), dag_NULL}};
    for (const Row& r : rows) EXPECT_EQ(dag_attributes(r.d), r.expected) << r.name;
}

TEST_F(DagTest, HfarraySmallAndLarge) {
    for (std::size_t count : {0u, 3u, 65534u, 70000u}) {
        Dag a = dag_new(5, DAG_HFARRAY);
        a[3] = 1;
        a[4] = count;
        hfarray_alloc(a, count);
        EXPECT_EQ(a[2], count);
        double* data = hfarray_data(a);
        ASSERT_NE(data, nullptr);
        for (std::size_t i = 0; i < count; ++i) data[i] = double(i) * 0.5;
        Dag b = dag_new(5, DAG_HFARRAY);
        hfarray_alloc(b, count);
        hfarray_copy_data(b, a);
        EXPECT_EQ(b[3], 1u);
        EXPECT_EQ(b[4], count);
        if (count) {
            EXPECT_EQ(hfarray_data(b)[count - 1], double(count - 1) * 0.5);
        }
        EXPECT_TRUE(dag_equal(a, b));
    }
    EXPECT_EQ(tovuErrorOf([] { hfarray_alloc(dag_new(3, DAG_HFARRAY), std::size_t(1) << 40); }),
              "not enough memory to allocate hfarray");
}

TEST_F(DagTest, StructuralEquality) {
    Dag x = dag_name("x");
    Dag p1 = dag_new2(DAG_POWER, x, dag_of_int(2));
    Dag p2 = dag_new2(DAG_POWER, x, dag_of_int(2));
    Dag p3 = dag_new2(DAG_POWER, x, dag_of_int(3));
    EXPECT_TRUE(dag_equal(p1, p2));
    EXPECT_FALSE(dag_equal(p1, p3));
    EXPECT_FALSE(dag_equal(p1, dag_new2(DAG_PROD, x, dag_of_int(2))));
    EXPECT_FALSE(dag_equal(p1, nullptr));
    EXPECT_TRUE(dag_equal(nullptr, nullptr));
    EXPECT_FALSE(dag_equal(dag_intern("x", DAG_STRING), x));
    // A chain of 60 diamonds: shared parts are compared once, not 2^60 times.
    Dag a = dag_one, b = dag_of_int(1);
    for (int i = 0; i < 60; ++i) {
        a = dag_new2(DAG_SUM, a, a);
        b = dag_new2(DAG_SUM, b, b);
    }
    EXPECT_TRUE(dag_equal(a, b));
}

}  // namespace
