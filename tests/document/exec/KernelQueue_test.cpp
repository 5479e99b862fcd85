// The execution queue's rules.

#include "document/exec/KernelQueue.h"

#include "document/exec/OutputSink.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Sinks are only compared by address here.
struct NoSink : OutputSink {
    void resetOutput() override {}
    bool output(Dag, int) override { return true; }
    bool newTextInputRegion() override { return false; }
};
NoSink sinkE, sinkF;
OutputSink* const E = &sinkE;
OutputSink* const F = &sinkF;

// "B", "S<terminated>", "E" for each node from the front, with the sink as e/f.
std::string drain(KernelQueue& q) {
    std::string s;
    while (!q.isEmpty()) {
        s += q.frontSink() == E ? 'e' : 'f';
        if (q.frontIsBegin()) s += 'B';
        else if (q.frontIsEnd()) s += 'E';
        else s += q.frontTerminated() ? "S1" : "S0";
        s += ' ';
        q.pop();
    }
    return s;
}

TEST(KernelQueue, RunsInOrder) {
    KernelQueue q;
    Dag s1 = dag_of_int(1), s2 = dag_of_int(2);
    q.pushBegin(E);
    q.pushStatement(E, s1, true);
    q.pushStatement(E, s2, false);
    q.pushEnd(E);
    q.pushBegin(F);
    q.pushStatement(F, s1, true);
    q.pushEnd(F);
    EXPECT_EQ(q.size(), 7u);
    EXPECT_TRUE(q.frontIsBegin());
    q.pop();
    EXPECT_EQ(q.frontStatement(), s1);   // a DONE pops exactly one
    q.pop();
    EXPECT_EQ(q.frontStatement(), s2);
    EXPECT_EQ(drain(q), "eS0 eE fB fS1 fE ");
}

TEST(KernelQueue, PushRules) {
    struct Case {
        const char* name;
        void (*build)(KernelQueue&);
        const char* expected;
    };
    const Case cases[] = {
        {"statement on empty queue", [](KernelQueue& q) { q.pushStatement(E, dag_NULL, true); }, ""},
        {"statement after end marker",
         [](KernelQueue& q) {
             q.pushBegin(E);
             q.pushStatement(E, dag_NULL, true);
             q.pushEnd(E);
             q.pushStatement(E, dag_NULL, true);
         },
         "eB eS1 eE "},
        {"statement of another sink", [](KernelQueue& q) { q.pushBegin(E); q.pushStatement(F, dag_NULL, true); }, "eB "},
        {"end of empty run", [](KernelQueue& q) { q.pushBegin(E); q.pushEnd(E); }, "eB "},
        {"end of another sink", [](KernelQueue& q) { q.pushBegin(E); q.pushStatement(E, dag_NULL, false); q.pushEnd(F); }, "eB eS0 "},
        {"end on empty queue", [](KernelQueue& q) { q.pushEnd(E); }, ""},
    };
    for (const auto& c : cases) {
        KernelQueue q;
        c.build(q);
        EXPECT_EQ(drain(q), c.expected) << c.name;
    }
}

TEST(KernelQueue, DropLast) {
    struct Case {
        std::size_t drop;
        const char* expected;
    };
    const Case cases[] = {{0, "eB eS1 eS0 "}, {1, "eB eS1 "}, {2, "eB "}, {3, ""}, {5, ""}};
    for (const auto& c : cases) {
        KernelQueue q;
        q.pushBegin(E);
        q.pushStatement(E, dag_NULL, true);
        q.pushStatement(E, dag_NULL, false);
        q.dropLast(c.drop);
        // The tail is right after the drop: a new statement joins only an open run.
        q.pushStatement(E, dag_of_int(9), true);
        std::string expected = c.expected;
        if (!expected.empty()) expected += "eS1 ";
        EXPECT_EQ(drain(q), expected) << c.drop;
    }
}

TEST(KernelQueue, EmptyQueueAnswers) {
    KernelQueue q;
    EXPECT_TRUE(q.isEmpty());
    EXPECT_EQ(q.frontSink(), nullptr);
    EXPECT_EQ(q.frontStatement(), nullptr);
    EXPECT_FALSE(q.frontTerminated());
    EXPECT_FALSE(q.frontIsBegin());
    EXPECT_FALSE(q.frontIsEnd());
    q.pop();   // nothing happens
    EXPECT_TRUE(q.isEmpty());
}

}  // namespace
