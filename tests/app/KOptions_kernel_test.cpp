// The kernel connection the options prepare, used as the worksheet documents use it: with
// "-km p" each worksheet starts the kernel server that the default server command names, with
// the options' kernel arguments, and evaluates through it.
#include "options/KOptions.h"

#include <gtest/gtest.h>

#include "document/exec/ReplyStreams.h"
#include "document/exec/WorksheetDocument.h"
#include "kernel_link/KKernelSession.h"
#include "options_fixture.h"
#include "tovu/dag.h"
#include "tovu/print.h"
#include "tovu/sinks.h"
#include "tovu/storage.h"

namespace {

// Collects the results the kernel sends, printed on one line.
class ResultSink : public OutputSink {
public:
    void beginOutput() override {}
    void endOutput() override {}
    void resetOutput() override { results.push_back("<reset>"); }
    bool output(Dag dag, int kind) override {
        std::string text = std::to_string(kind) + ":";
        if (dag != nullptr) print_sequence(dag, "", sink_append_string, nullptr, 0, PRINT_TOP_UNQUOTED, &text);
        results.push_back(text);
        return true;
    }
    bool newTextInputRegion() override { return false; }
    std::vector<std::string> results;
};

class OptionsKernelTest : public OptionsFixture {
protected:
    static void SetUpTestSuite() {
        dag_init_constants();
        storage_init_default();
        dag_init_names();
    }
    void SetUp() override {
        OptionsFixture::SetUp();
        registerReplyStreams();
        worksheetHost() = WorksheetHost();
        worksheetHost().lowMemoryCheck = [] { return false; };
    }
    void TearDown() override {
        std::vector<QuietEvaluator*> left = worksheetHost().evaluators;
        worksheetHost().evaluators.clear();
        for (QuietEvaluator* e : left) delete e;
        freeReplyStreams();
        OptionsFixture::TearDown();
    }

    // Hands the options' connection choice to the worksheet documents.
    static void wire(const KOptions& o) {
        WorksheetHost& h = worksheetHost();
        h.kernelMode = o.kernelSharing;
        h.linkKind = o.linkKind;
        h.kernelArgs.clear();
        for (int i = 0; i < o.kernelArgs.count(); ++i) h.kernelArgs.emplace_back(o.kernelArgs.word(i));
        h.serverCommand = *o.pipeServerInfo->serverCommand;
    }
};

TEST_F(OptionsKernelTest, OwnKernelServerEvaluates) {
    unsetenv("KELVO_KERNEL");   // the server loads the real kernel library
    auto o = make({"wkelvo", "-km", "p"});
    wire(*o);
    ASSERT_EQ(worksheetHost().kernelArgs, (std::vector<std::string>{"wkelvo", "-T", ",,512"}));

    auto first = std::make_unique<WorksheetDocument>(nullptr);
    auto second = std::make_unique<WorksheetDocument>(nullptr);
    ASSERT_NE(first->evaluator(), nullptr);
    ASSERT_NE(second->evaluator(), nullptr);
    EXPECT_NE(first->evaluator()->session(), second->evaluator()->session());   // a kernel each

    ResultSink sink;
    first->executeInput(&sink, KString("1+2;"));
    for (int i = 0; i < 1000 && !first->queueIsEmpty(); ++i) {
        first->runQueue();
        if (!first->serviceServerLink(true)) first->drainAfterDeadLink();
    }
    first->runQueue();
    EXPECT_FALSE(first->linkIsDead());
    ASSERT_FALSE(sink.results.empty());
    EXPECT_EQ(sink.results.front(), "2:3");
}

}  // namespace
