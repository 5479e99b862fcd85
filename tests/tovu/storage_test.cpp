// Storage areas: block sizes, large blocks, alignment, zeroing, the area of areas, the area
// stack and its assertions, and storage_reset.

#include "tovu/storage.h"

#include <vector>

#include "tovu_env.h"

namespace {

using StorageTest = TovuTest;
using StorageDeathTest = TovuTest;

TEST_F(StorageTest, FirstAllocationOpensA14WordBlock) {
    OwnedArea area(0, "t");
    DagWord* p = dag_alloc(area.get(), 1);
    EXPECT_EQ(area.get()->blockSize, 14u);
    EXPECT_EQ(area.get()->used, 1u);
    EXPECT_EQ(p, area.get()->smallChain + 1);
    EXPECT_EQ(area.get()->smallChain[0], 0u);   // no block before it
}

TEST_F(StorageTest, SmallBlocksGrowGeometricallyTo1022) {
    OwnedArea area(0, "t");
    std::vector<std::size_t> sizes;
    DagWord* block = nullptr;
    while (sizes.size() < 9) {
        dag_alloc(area.get(), 1);
        if (area.get()->smallChain != block) {
            block = area.get()->smallChain;
            sizes.push_back(area.get()->blockSize);
        }
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{14, 30, 62, 126, 254, 510, 1022, 1022, 1022}));
}

TEST_F(StorageTest, Request511InFreshAreaOpens1022Block) {
    OwnedArea area(0, "t");
    dag_alloc(area.get(), 511);
    EXPECT_EQ(area.get()->blockSize, 1022u);
    EXPECT_EQ(area.get()->largeChain, nullptr);
}

TEST_F(StorageTest, LargeRequestGetsOwnBlockAndLeavesSmallBlock) {
    OwnedArea area(0, "t");
    dag_alloc(area.get(), 3);
    DagWord* small = area.get()->smallChain;
    std::size_t used = area.get()->used;
    DagWord* p = dag_alloc(area.get(), 512);
    ASSERT_NE(area.get()->largeChain, nullptr);
    EXPECT_EQ(p, area.get()->largeChain + 1);
    EXPECT_EQ(area.get()->smallChain, small);
    EXPECT_EQ(area.get()->used, used);
    for (std::size_t i = 0; i < 512; ++i) ASSERT_EQ(p[i], 0u);
    DagWord* q = dag_alloc(area.get(), 600);
    EXPECT_EQ(q, area.get()->largeChain + 1);
    EXPECT_EQ(reinterpret_cast<DagWord*>(area.get()->largeChain[0]), p - 1);   // chained
}

TEST_F(StorageTest, LargeRequestThatFitsIsServedFromSmallBlock) {
    OwnedArea area(0, "t");
    dag_alloc(area.get(), 511);
    dag_alloc(area.get(), 511);   // fills the first 1022-word block exactly
    dag_alloc(area.get(), 1);     // opens a second one
    DagWord* small = area.get()->smallChain;
    DagWord* p = dag_alloc(area.get(), 512);
    EXPECT_EQ(area.get()->largeChain, nullptr);
    EXPECT_EQ(p, small + 2);
    EXPECT_EQ(area.get()->used, 513u);
}

TEST_F(StorageTest, AlignedAreaAnswersMultiplesOf8) {
    OwnedArea area(STORAGE_ALIGN8, "plot");
    for (std::size_t n : {1u, 2u, 3u, 7u, 13u, 100u, 511u, 512u, 700u, 1u}) {
        DagWord* p = dag_alloc(area.get(), n);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 8, 0u) << n;
    }
}

TEST_F(StorageTest, ResultsAreZeroedUnlessAsked) {
    OwnedArea area(0, "t");
    for (int round = 0; round < 3; ++round) {
        DagWord* p = dag_alloc(area.get(), 50);
        for (int i = 0; i < 50; ++i) ASSERT_EQ(p[i], 0u);
        for (int i = 0; i < 50; ++i) p[i] = 0xdeadbeef;
    }
    OwnedArea raw(STORAGE_NOZERO, "raw");
    DagWord* p = dag_alloc(raw.get(), 10);
    p[9] = 7;   // usable; content unspecified
    EXPECT_EQ(p[9], 7u);
}

TEST_F(StorageTest, FreeRestoresFreshStateKeepingNameAndFlags) {
    OwnedArea area(STORAGE_ALIGN8, "named");
    dag_alloc(area.get(), 40);
    dag_alloc(area.get(), 900);
    storage_free(area.get());
    EXPECT_EQ(area.get()->smallChain, nullptr);
    EXPECT_EQ(area.get()->largeChain, nullptr);
    EXPECT_EQ(area.get()->blockSize, 6u);
    EXPECT_EQ(area.get()->used, 7u);
    EXPECT_EQ(area.get()->flags, unsigned(STORAGE_ALIGN8));
    EXPECT_STREQ(area.get()->name, "named");
    dag_alloc(area.get(), 1);   // usable again at once
    EXPECT_EQ(area.get()->blockSize, 14u);
}

TEST_F(StorageTest, DeletedAreaRecordIsReused) {
    StorageArea* a = storage_new(0, "a");
    dag_alloc(a, 30);
    storage_delete(a);
    StorageArea* b = storage_new(1, "b");
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->flags, 1u);
    EXPECT_STREQ(b->name, "b");
    EXPECT_EQ(b->smallChain, nullptr);
    storage_delete(b);
}

TEST_F(StorageTest, PushedAreaReceivesAllocationsUntilPopped) {
    OwnedArea area(0, "exch");
    EXPECT_EQ(storage_stack_top(), 0);
    StorageArea* before = storage_current();
    {
        StoragePush push(area.get());
        EXPECT_EQ(storage_current(), area.get());
        EXPECT_EQ(storage_stack_top(), 1);
        Dag d = dag_new(3, DAG_SUM);
        EXPECT_EQ(d, area.get()->smallChain + 1);
    }
    EXPECT_EQ(storage_current(), before);
    EXPECT_STREQ(storage_current()->name, "DAG-DEFAULT");
}

TEST_F(StorageTest, SevenPushesAboveDefaultAreAllowed) {
    OwnedArea area(0, "x");
    for (int i = 0; i < 7; ++i) storage_push_area(area.get());
    EXPECT_EQ(storage_stack_top(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(storage_pop_area(), area.get());
    EXPECT_EQ(storage_stack_top(), 0);
}

TEST_F(StorageDeathTest, PopOfDefaultAreaIsAssertion) {
    EXPECT_EXIT(storage_pop_area(), ::testing::ExitedWithCode(1),
                "kelvo: assertion failed at line 170 of tovu/storage");
}

TEST_F(StorageDeathTest, EighthPushIsAssertion) {
    OwnedArea area(0, "x");
    EXPECT_EXIT(
        {
            for (int i = 0; i < 8; ++i) storage_push_area(area.get());
        },
        ::testing::ExitedWithCode(1), "kelvo: assertion failed at line 162 of tovu/storage");
}

TEST_F(StorageDeathTest, ResetWithPushedAreaIsAssertion) {
    OwnedArea area(0, "x");
    EXPECT_EXIT(
        {
            storage_push_area(area.get());
            storage_reset();
        },
        ::testing::ExitedWithCode(1), "line 205 of tovu/storage");
}

TEST_F(StorageDeathTest, CheckLengthMismatchIsAssertion) {
    Dag d = dag_new(3, DAG_SUM);
    storage_check_length(d, 3);
    EXPECT_EXIT(storage_check_length(d, 4), ::testing::ExitedWithCode(1), "line 200 of tovu/storage");
}

TEST_F(StorageTest, ResetKeepsNamesAndSetsTheirFieldsBack) {
    Dag kept = dag_name("survives_reset");
    dag_set_interned_field(kept, 1, dag_new1(DAG_EXPSEQ, dag_one));
    dag_set_interned_field(kept, 2, dag_name("protected"));
    storage_reset();
    EXPECT_EQ(dag_name("survives_reset"), kept);
    EXPECT_STREQ(dag_text(kept), "survives_reset");
    EXPECT_EQ(dag_op(kept, 1), nullptr);
    EXPECT_EQ(dag_op(kept, 2), dag_NULL);
    EXPECT_EQ(dag_name("Pi"), dag_builtins[BUILTIN_PI]);
    EXPECT_EQ(dag_op(dag_builtins[BUILTIN_NULL], 1), dag_NULL);
    EXPECT_TRUE(dag_is_null(dag_NULL));              // shared constants survive
    EXPECT_EQ(dag_intpos[139][1], 139u);
}

// Names do not belong to the area that was current when they were interned: freeing that area
// leaves them whole and still the ones dag_name answers.
TEST_F(StorageTest, NamesOutliveTheAreaCurrentWhenInterned) {
    Dag name;
    Dag string;
    {
        OwnedArea request(0, "request");
        StoragePush push(request.get());
        name = dag_name("interned_in_request");
        string = dag_intern("interned_in_request", DAG_STRING);
        EXPECT_FALSE(StorageExtents(request.get()).holds(name));
    }
    Dag churn = dag_new(600, DAG_EXPSEQ);   // reuses what the freed area gave back
    EXPECT_NE(churn, nullptr);
    EXPECT_EQ(dag_name("interned_in_request"), name);
    EXPECT_EQ(dag_intern("interned_in_request", DAG_STRING), string);
    EXPECT_STREQ(dag_text(name), "interned_in_request");
    EXPECT_EQ(dag_type(name), unsigned(DAG_NAME));
}

// A program that shuts down (frees the default and the fallback area) and starts again in the
// same process finds every name whole: its attributes word is the live empty sequence, its
// value is fresh, whatever it held before; the shared constants are the same ones.
TEST_F(StorageTest, NamesStayWholeAcrossAShutDownAndASecondStartUp) {
    enum class Held { nothing, defaultArea, fallbackArea, constant, name };
    struct Row {
        const char* name;
        const char* text;
        Held value;
        Held attributes;
    } rows[] = {
        {"fresh name", "restart_fresh", Held::nothing, Held::nothing},
        {"value in the default area", "restart_default", Held::defaultArea, Held::nothing},
        {"attributes in the default area", "restart_attrs", Held::nothing, Held::defaultArea},
        {"value in the fallback area", "restart_fallback", Held::fallbackArea, Held::fallbackArea},
        {"value a shared constant", "restart_constant", Held::constant, Held::nothing},
        {"attributes a name", "restart_named", Held::nothing, Held::name},
    };
    auto make = [](Held held) -> Dag {
        switch (held) {
        case Held::nothing: return nullptr;
        case Held::defaultArea: return dag_new1(DAG_EXPSEQ, dag_one);
        case Held::fallbackArea: {
            StoragePush push(storage_fallback_area());
            return dag_new1(DAG_EXPSEQ, dag_one);
        }
        case Held::constant: return dag_intpos[7];
        case Held::name: return dag_name("restart_protected");
        }
        return nullptr;
    };
    for (const Row& r : rows) {
        Dag d = dag_name(r.text);
        if (Dag v = make(r.value)) dag_set_interned_field(d, 1, v);
        if (Dag a = make(r.attributes)) dag_set_interned_field(d, 2, a);
    }
    Dag nullBefore = dag_NULL;
    Dag sevenBefore = dag_intpos[7];

    // Shut-down, then a second start-up, in the order the worksheet program runs them.
    storage_free_default();
    storage_free_fallback();
    dag_init_constants();
    storage_init_default();
    dag_init_names();

    EXPECT_EQ(dag_NULL, nullBefore);
    EXPECT_EQ(dag_intpos[7], sevenBefore);
    EXPECT_EQ(dag_intpos[7][1], 7u);
    for (const Row& r : rows) {
        Dag d = dag_name(r.text);
        EXPECT_STREQ(dag_text(d), r.text) << r.name;
        EXPECT_EQ(dag_op(d, 1), nullptr) << r.name;
        Dag attributes = dag_op(d, 2);
        ASSERT_EQ(attributes, dag_NULL) << r.name;
        EXPECT_EQ(dag_type(attributes), unsigned(DAG_EXPSEQ)) << r.name;   // read, not freed
        EXPECT_TRUE(dag_is_null(attributes)) << r.name;
    }
    EXPECT_EQ(dag_op(dag_builtins[BUILTIN_NULL], 1), dag_NULL);
    EXPECT_EQ(dag_type(dag_op(dag_builtins[BUILTIN_PI], 2)), unsigned(DAG_EXPSEQ));
}

// A value or attributes word that points into an area is set back when that area is freed;
// one that points elsewhere stays.
TEST_F(StorageTest, FreeingAnAreaSetsBackNameFieldsPointingIntoIt) {
    OwnedArea other(0, "other");
    Dag elsewhere;
    {
        StoragePush push(other.get());
        elsewhere = dag_new1(DAG_EXPSEQ, dag_one);
    }
    struct Row {
        const char* name;
        const char* text;
        unsigned type;
        std::size_t field;
        bool inFreedArea;
        bool large;   // the value sits in a large block of its own
    } rows[] = {
        {"value in the freed area", "f_value", DAG_NAME, 1, true, false},
        {"attributes in the freed area", "f_attr", DAG_NAME, 2, true, false},
        {"string attributes in a large block", "f_string", DAG_STRING, 2, true, true},
        {"value in another area", "f_other", DAG_NAME, 1, false, false},
        {"attributes a name", "f_named", DAG_NAME, 2, false, false},
    };
    OwnedArea freed(0, "freed");
    for (const Row& r : rows) {
        Dag d = dag_intern(r.text, r.type);
        Dag value;
        if (!r.inFreedArea) {
            value = r.field == 1 ? elsewhere : dag_name("protected");
        } else {
            StoragePush push(freed.get());
            value = dag_new(r.large ? 2000 : 3, DAG_EXPSEQ);
        }
        dag_set_interned_field(d, r.field, value);
        EXPECT_EQ(StorageExtents(freed.get()).holds(value), r.inFreedArea) << r.name;
    }
    storage_free(freed.get());
    for (const Row& r : rows) {
        Dag d = dag_intern(r.text, r.type);
        if (r.inFreedArea) {
            EXPECT_EQ(dag_op(d, r.field), r.field == 1 ? nullptr : dag_NULL) << r.name;
        } else {
            EXPECT_EQ(dag_op(d, r.field), r.field == 1 ? elsewhere : dag_name("protected")) << r.name;
        }
    }
}

TEST_F(StorageTest, ExtentsCoverSmallAndLargeBlocksOnly) {
    OwnedArea area(0, "t");
    DagWord* small = dag_alloc(area.get(), 5);
    DagWord* large = dag_alloc(area.get(), 3000);
    OwnedArea elsewhere(0, "u");
    DagWord* outside = dag_alloc(elsewhere.get(), 5);
    StorageExtents extents(area.get());
    struct Row {
        const char* name;
        const DagWord* p;
        bool expected;
    } rows[] = {
        {"small block", small, true},           {"end of the small request", small + 4, true},
        {"large block start", large, true},     {"large block end", large + 2999, true},
        {"another area", outside, false},       {"null", nullptr, false},
    };
    for (const Row& r : rows) EXPECT_EQ(extents.holds(r.p), r.expected) << r.name;
    EXPECT_FALSE(StorageExtents(elsewhere.get()).holds(small));
}

}  // namespace
