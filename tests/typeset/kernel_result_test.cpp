// A kernel result as the worksheet shows it: a matrix computed by the kernel, laid out by the
// typesetter on the character-cell device as a bracketed grid.

#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

// CLN and GiNaC keep a few blocks from their static initialisation that they never release;
// LeakSanitizer is told about them so that the leak check still covers everything else.
extern "C" const char* __lsan_default_suppressions() { return "leak:libcln.so\nleak:libginac.so\n"; }

namespace {

struct Rendered {
    std::string text;
    int code = -1;
};

// Renders the first RESULT's value while the reply DAG is alive.
Dag onQuery(void* link, Dag reply) {
    auto* r = static_cast<Rendered*>(link);
    if (std::string(dag_text(dag_op(reply, 1))) != "INTERFACE_RESULT" || r->code != -1) return nullptr;
    LayoutOptions o;
    layout_options_init(1, &o, nullptr);
    o.pageWidth = 60;
    r->text = render_text_2d_string(dag_op(dag_op(reply, 2), 1), &o, &r->code);
    return nullptr;
}
int onPoll(void*) { return 0; }

// The lines without the indent that centres the display on the page.
std::string unindented(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == ' ') continue;
        lineStart = c == '\n';
        out += c;
    }
    return out;
}

class KernelResultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (dag_NULL == nullptr) {
            storage_init_default();
            dag_init();
        }
    }
    void SetUp() override {
        char prog[] = "kernel";
        char* argv[] = {prog, nullptr};
        ASSERT_EQ(kernel_start(1, argv), nullptr);
    }
    void TearDown() override { kernel_stop(); }

    Rendered show(const char* statement) {
        int flag = 0;
        Dag stmt = parse_text_full(statement, nullptr, nullptr, nullptr, nullptr, &flag, nullptr, nullptr, false);
        Rendered r;
        EXPECT_NE(stmt, nullptr) << statement;
        if (stmt != nullptr) kernel_evaluate(stmt, onQuery, onPoll, flag, 1, &r);
        return r;
    }
};

TEST_F(KernelResultTest, MatrixProductIsABracketedGrid) {
    Rendered r = show("matrix([[1,2],[3,4]]) * matrix([[0,1],[1,0]]);");
    ASSERT_EQ(r.code, 0);
    // Two rows of two right-aligned columns between tall brackets.
    EXPECT_EQ(unindented(r.text), "[2    1]\n[      ]\n[4    3]\n") << r.text;
}

}  // namespace
