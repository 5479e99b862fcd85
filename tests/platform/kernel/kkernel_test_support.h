#pragma once
// The harness of the kernel library's tests: statements are parsed with the language parser,
// evaluated through the entry points, and every reply is recorded as its stream name, a
// structural dump of its arguments (DAG type names, decimal integers, name texts) and the text
// the one-line printer makes of them.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/storage.h"

namespace kernel_test {

// INTPOS 3 -> "3", NAME x -> "x", STRING -> "\"s\"", others TYPE(op,...); FLOAT(m,e);
// SERIES(var,coef,exp,...).
inline std::string dump(const DagWord* d) {
    if (d == nullptr) return "<null>";
    unsigned t = dag_type(d);
    switch (t) {
    case DAG_INTPOS:
    case DAG_INTNEG: return dag_integer_to_text(d);
    case DAG_NAME: return dag_text(d);
    case DAG_STRING: return std::string("\"") + dag_text(d) + "\"";
    default: break;
    }
    std::string s = dag_type_names[t - 1];
    s += "(";
    for (std::size_t i = 1; i < dag_length(d); ++i) {
        if (i > 1) s += ",";
        if (t == DAG_SERIES && i > 1 && i % 2 == 1) s += std::to_string(dag_word(d, i));
        else s += dump(dag_op(d, i));
    }
    return s + ")";
}

struct Reply {
    std::string stream;
    std::string args;      // dump of the argument sequence
    std::string printed;   // the arguments as the one-line printer writes them
};

struct Recorder {
    std::vector<Reply> replies;
    int polls = 0;
    int interruptAfterPolls = -1;   // answer non-zero from this poll on
    std::function<Dag(const std::string&, Dag)> answer;

    std::vector<std::string> streams() const {
        std::vector<std::string> s;
        for (const auto& r : replies) s.push_back(r.stream);
        return s;
    }
    std::string printed(const std::string& stream) const {
        for (const auto& r : replies)
            if (r.stream == stream) return r.printed;
        return "<none>";
    }
    std::string first(const std::string& stream) const {
        for (const auto& r : replies)
            if (r.stream == stream) return r.args;
        return "<none>";
    }
};

inline Dag onQuery(void* link, Dag reply) {
    auto* r = static_cast<Recorder*>(link);
    EXPECT_EQ(dag_type(reply), unsigned(DAG_FUNCTION));
    std::string name = dag_text(dag_op(reply, 1));
    EXPECT_EQ(name.rfind("INTERFACE_", 0), 0u) << name;
    std::string stream = name.substr(10);
    // Plot structures hold HFARRAYs, whose words are data, not DAGs: recorded by stream only.
    if (stream == "PLOT" || stream == "PLOT3D") r->replies.push_back({stream, "", ""});
    else r->replies.push_back({stream, dump(dag_op(reply, 2)), print_to_text(dag_op(reply, 2))});
    return r->answer ? r->answer(stream, dag_op(reply, 2)) : nullptr;
}

inline int onPoll(void* link) {
    auto* r = static_cast<Recorder*>(link);
    ++r->polls;
    return r->interruptAfterPolls >= 0 && r->polls > r->interruptAfterPolls ? 1 : 0;
}

// Runs body in a forked child process and answers the text it made (the child ends with _exit,
// so nothing of the parent's is torn down twice).
inline std::string inChild(const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return "<no pipe>";
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string out = body();
        ssize_t written = write(fds[1], out.data(), out.size());
        _exit(written == ssize_t(out.size()) ? 0 : 2);
    }
    close(fds[1]);
    std::string out;
    char buffer[256];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, std::size_t(got));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return out;
}

class KernelTest : public ::testing::Test {
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

    // Parses and evaluates one statement text (terminator included); the flag comes from it.
    Recorder run(const std::string& text, Recorder rec = {}) {
        int flag = 0;
        const char* err = nullptr;
        Dag stmt = parse_text_full(text.c_str(), &err, nullptr, nullptr, nullptr, &flag, nullptr,
                                   nullptr, false);
        EXPECT_NE(stmt, nullptr) << text << ": " << (err ? err : "");
        if (stmt == nullptr) return rec;
        kernel_evaluate(stmt, onQuery, onPoll, flag, 1, &rec);
        return rec;
    }
    // Runs several statements (each parsed alone) and answers the last one's recorder.
    Recorder runAll(const std::vector<std::string>& texts) {
        Recorder last;
        for (const auto& t : texts) last = run(t);
        return last;
    }
};

}  // namespace kernel_test
