// Kernel session and quiet evaluator over the in-process link and the scripted kernel (the
// pipe-link cases are with the pipe link's tests), and end to end over the real kernel.

#include "kernel_link/KKernelSession.h"

#include <gtest/gtest.h>

#include <memory>

#include "kl_test_util.h"

namespace {

std::shared_ptr<KKernelSession> direct_session(const char* kernel) {
    KL_ConnectInfo info;
    const char* w[] = {"wkelvo"};
    info.args = KL_ArgList(1, w);
    return std::make_shared<KKernelSession>(new KL_Direct(info, kernel));
}

TEST(KKernelSession, FieldsAndNumbering) {
    std::shared_ptr<KKernelSession> a = direct_session(KL_SCRIPT_KERNEL);
    std::shared_ptr<KKernelSession> b = direct_session(KL_SCRIPT_KERNEL);
    EXPECT_STREQ(a->memoryText.text(), "0.0K");
    EXPECT_STREQ(a->timeText.text(), "0.0");
    EXPECT_FALSE(a->argumentsSent);
    EXPECT_TRUE(a->firstRun);
    EXPECT_EQ(b->sessionNumber, a->sessionNumber + 1);
}

TEST(QuietEvaluator, SharedSessionLivesUntilLastEvaluator) {
    std::weak_ptr<KKernelSession> watch;
    QuietEvaluator* first = nullptr;
    {
        std::shared_ptr<KKernelSession> s = direct_session(KL_SCRIPT_KERNEL);
        watch = s;
        first = new QuietEvaluator(nullptr, s);
        QuietEvaluator second(nullptr, first->sharedSession());
        EXPECT_EQ(second.session(), first->session());
        EXPECT_EQ(first->sessionUsers(), 3);   // the two evaluators and s
    }
    EXPECT_EQ(first->sessionUsers(), 1);
    EXPECT_FALSE(watch.expired());
    first->setMemoryText("12.5K");
    EXPECT_STREQ(first->memoryText()->text(), "12.5K");
    EXPECT_EQ(kl_printed(first->evaluateString("7;")), "7");   // the session still works
    delete first;   // deletes the session and its link
    EXPECT_TRUE(watch.expired());
}

TEST(QuietEvaluator, KeepsLastValueAndAnswersSettings) {
    std::shared_ptr<KKernelSession> s = direct_session(KL_SCRIPT_KERNEL);
    QuietEvaluator q(nullptr, s);
    EXPECT_EQ(q.linkType(), KL_LINK_DIRECT);
    struct Case {
        const char* name;
        const char* text;
        const char* value;
    };
    const Case cases[] = {
        {"print then result: the last kept value wins", "pr(a, b);", "b"},
        {"three prints", "prints(a, b, c);", "c"},
        {"GET answered from the session's settings", "ask(GET, screenwidth);", "79"},
        {"SET stored: answer NULL", "ask(SET, screenwidth, 60);", ""},
        {"SET took effect", "ask(GET, screenwidth);", "60"},
        {"unlisted stream answered NULL", "ask(TEXT, hello);", ""},
        {"error only: no value", "fail(\"oops\");", "<null>"},
    };
    for (const auto& c : cases) {
        Dag v = q.evaluateString(c.text);
        std::string printed = kl_printed(v);
        EXPECT_EQ(printed, c.value) << c.name;
        EXPECT_TRUE(q.done()) << c.name;
    }
    EXPECT_EQ(s->currentEvaluator, &q);
}

TEST(QuietEvaluator, UnparsableTextNeverReachesKernel) {
    std::shared_ptr<KKernelSession> s = direct_session(KL_SCRIPT_KERNEL);
    QuietEvaluator q(nullptr, s);
    EXPECT_EQ(q.evaluateString("1 +;"), nullptr);
    EXPECT_EQ(s->currentEvaluator, nullptr);
}

TEST(QuietEvaluator, DeadLinkGivesNoValue) {
    std::shared_ptr<KKernelSession> s = direct_session("/nonexistent/libkkernel.so");
    QuietEvaluator q(nullptr, s);
    EXPECT_EQ(q.evaluateString("1;"), nullptr);
    EXPECT_FALSE(q.done());
    EXPECT_EQ(q.errorCode(), 0);   // its own; the session link's is reported by errorText
    EXPECT_NE(std::string(q.errorText()).find("nonexistent"), std::string::npos);
}

Dag doubled(Dag v) { return dag_new2(DAG_LIST, v, v); }

TEST(QuietEvaluator, DisplayConversionApplied) {
    std::shared_ptr<KKernelSession> s = direct_session(KL_SCRIPT_KERNEL);
    QuietEvaluator q(nullptr, s);
    kl_set_display_converter(doubled);
    Dag v = q.evaluateString("5;");
    kl_set_display_converter(nullptr);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(dag_type(v), unsigned(DAG_LIST));
}

#ifdef KL_REAL_KERNEL
TEST(QuietEvaluatorRealKernel, Arithmetic) {
    std::shared_ptr<KKernelSession> s = direct_session(KL_REAL_KERNEL);
    QuietEvaluator q(nullptr, s);
    EXPECT_EQ(kl_printed(q.evaluateString("1+2;")), "3");
    EXPECT_EQ(kl_printed(q.evaluateString("2^100;")), "1267650600228229401496703205376");
}
#endif

}  // namespace
