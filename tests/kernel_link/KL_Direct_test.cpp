// The in-process link over the scripted stand-in kernel, and end to end over the real kernel
// library.

#include "kernel_link/KL_Direct.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kl_test_util.h"

namespace {

struct Recorder {
    std::vector<std::string> streams;
    std::vector<std::string> values;
    KL_Direct* link = nullptr;
    int idleCalls = 0;
    int interruptAtIdle = -1;        // call interrupt() twice on this idle call
    std::vector<int> interruptResults;
};

Dag record(void* data, Dag reply) {
    auto* r = static_cast<Recorder*>(data);
    std::string name = dag_text(dag_op(reply, 1));
    r->streams.push_back(name.substr(10));
    r->values.push_back(kl_printed(dag_op(reply, 2)));
    return dag_of_int(42);
}

void idle(void* data) {
    auto* r = static_cast<Recorder*>(data);
    if (++r->idleCalls == r->interruptAtIdle) {
        r->interruptResults.push_back(r->link->interrupt());
        r->interruptResults.push_back(r->link->interrupt());
    }
}

KL_ConnectInfo info_with(std::initializer_list<const char*> words) {
    KL_ConnectInfo info;
    std::vector<const char*> v(words);
    info.args = KL_ArgList(int(v.size()), v.data());
    return info;
}

TEST(KLDirect, EvaluatesThroughQueryHandler) {
    KL_Direct link(info_with({"wkelvo"}), KL_SCRIPT_KERNEL);
    ASSERT_EQ(link.state(), KL_IDLE) << link.errorText();
    Recorder r;
    link.setHandlers(record, nullptr, &r);
    EXPECT_EQ(link.startEvaluation(kl_parse("prints(a, b, c);"), 1), 0);
    EXPECT_EQ(r.streams, (std::vector<std::string>{"PRINT", "PRINT", "PRINT", "DONE"}));
    EXPECT_EQ(r.values[1], "b");
    EXPECT_EQ(link.state(), KL_IDLE);
    EXPECT_EQ(link.getResult(1), dag_NULL);   // replies never wait on this link
    EXPECT_EQ(link.poll(), KL_IDLE);
    EXPECT_EQ(link.readDAG(), nullptr);
    EXPECT_EQ(link.readByte(), -1);
    unsigned char b = 0;
    EXPECT_NE(link.write(&b, 1), 0);
}

TEST(KLDirect, AnswersReachTheKernelAndFlagsPass) {
    KL_Direct link(info_with({"wkelvo"}), KL_SCRIPT_KERNEL);
    Recorder r;
    link.setHandlers(record, nullptr, &r);
    link.startEvaluation(kl_parse("ask(GET, prompt);"), 1);
    EXPECT_EQ(r.streams, (std::vector<std::string>{"GET", "RESULT", "DONE"}));
    EXPECT_EQ(r.values[1], "42");   // the handler's answer came back
    for (int flag : {0, 1}) {
        r = Recorder{};
        link.startEvaluation(kl_parse("flag();"), flag);
        ASSERT_EQ(r.values.size(), 2u);
        EXPECT_EQ(r.values[0], std::to_string(flag));
    }
}

TEST(KLDirect, WithoutQueryHandlerEveryAnswerIsNull) {
    KL_Direct link(info_with({"wkelvo"}), KL_SCRIPT_KERNEL);
    Recorder r;
    link.setHandlers(nullptr, nullptr, &r);
    EXPECT_EQ(link.startEvaluation(kl_parse("ask(GET, prompt);"), 1), 0);
    EXPECT_EQ(link.state(), KL_IDLE);
}

TEST(KLDirect, KernelArgumentsArePassedWhole) {
    KL_Direct link(info_with({"wkelvo", "-q", "-b", "lib"}), KL_SCRIPT_KERNEL);
    Recorder r;
    link.setHandlers(record, nullptr, &r);
    link.startEvaluation(kl_parse("args();"), 1);
    EXPECT_EQ(r.values[0], "[\"wkelvo\", \"-q\", \"-b\", \"lib\"]");
}

TEST(KLDirect, StartFailureLeavesLinkDeadWithKernelText) {
    KL_Direct link(info_with({"wkelvo", "-T", "fail:no algebra library"}), KL_SCRIPT_KERNEL);
    EXPECT_EQ(link.state(), KL_DEAD);
    EXPECT_EQ(link.errorCode(), KL_ERR_INIT);
    EXPECT_STREQ(link.errorText(), "no algebra library");
    EXPECT_EQ(link.startEvaluation(kl_parse("1;"), 1), 1);
}

TEST(KLDirect, MissingLibraryIsAnInitError) {
    KL_Direct link(info_with({"wkelvo"}), "/nonexistent/libkkernel.so");
    EXPECT_EQ(link.state(), KL_DEAD);
    EXPECT_EQ(link.errorCode(), KL_ERR_INIT);
    EXPECT_NE(std::string(link.errorText()).find("/nonexistent/libkkernel.so"), std::string::npos);
}

TEST(KLDirect, InterruptOnlyWhileBusyAndOnce) {
    KL_Direct link(info_with({"wkelvo"}), KL_SCRIPT_KERNEL);
    EXPECT_EQ(link.interrupt(), 0);   // idle: nothing set
    EXPECT_FALSE(link.interrupted());

    Recorder r;
    r.link = &link;
    r.interruptAtIdle = 3;
    link.setHandlers(record, idle, &r);
    link.startEvaluation(kl_parse("spin(100000);"), 1);
    EXPECT_EQ(r.interruptResults, (std::vector<int>{1, 0}));   // the second call finds it set
    EXPECT_EQ(r.streams, (std::vector<std::string>{"INTR", "DONE"}));

    // The next evaluation starts with the interrupt cleared and runs to its end.
    r = Recorder{};
    link.setHandlers(record, nullptr, &r);
    link.startEvaluation(kl_parse("spin(5);"), 1);
    EXPECT_EQ(r.streams, (std::vector<std::string>{"RESULT", "DONE"}));
    EXPECT_EQ(r.values[0], "5");
}

TEST(KLDirect, NestedEvaluationIsRefused) {
    KL_Direct link(info_with({"wkelvo"}), KL_SCRIPT_KERNEL);
    struct Nest {
        KL_Direct* link;
        int inner = -2;
    } n{&link};
    link.setHandlers(
        [](void* d, Dag) -> Dag {
            auto* nest = static_cast<Nest*>(d);
            if (nest->inner == -2) nest->inner = nest->link->startEvaluation(dag_NULL, 1);
            return nullptr;
        },
        nullptr, &n);
    link.startEvaluation(kl_parse("prints(a);"), 1);
    EXPECT_EQ(n.inner, 1);
    EXPECT_EQ(link.state(), KL_IDLE);
}

#ifdef KL_REAL_KERNEL
TEST(KLDirectRealKernel, OnePlusTwo) {
    KL_Direct link(info_with({"wkelvo"}), KL_REAL_KERNEL);
    ASSERT_EQ(link.state(), KL_IDLE) << link.errorText();
    Recorder r;
    link.setHandlers(record, nullptr, &r);
    link.startEvaluation(kl_parse("1+2;"), 1);
    ASSERT_EQ(r.streams, (std::vector<std::string>{"RESULT", "DONE"}));
    EXPECT_EQ(r.values[0], "3");
}
#endif

}  // namespace
