// The worksheet's end of the pipe link: bytes at the pipe (against an echoing stand-in server),
// start failures, and whole conversations with a real kernsrv process over the scripted
// stand-in kernel and over the real kernel library.

#include "kernel_link/KL_PipeServer.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kernel_link/KKernelSession.h"
#include "kl_test_util.h"

namespace {

KL_ConnectInfo pipe_info(const std::string& command, std::initializer_list<const char*> words) {
    KL_ConnectInfo info(KL_TRANSPORT_PIPES, command.c_str());
    std::vector<const char*> v(words);
    info.args = KL_ArgList(int(v.size()), v.data());
    return info;
}

// Reads n bytes back from the link.
std::string read_back(KL_PipeServer& link, std::size_t n) {
    std::string s;
    while (s.size() < n) {
        int c = link.readByte();
        if (c < 0) break;
        s.push_back(char(c));
    }
    return s;
}

TEST(KLPipeServerBytes, OptionsRequestAndInterruptAtThePipe) {
    std::string record = kl_temp_name("exc");
    {
        KL_PipeServer link(pipe_info(std::string(KL_ECHO_SERVER) + " " + record, {"wkelvo", "-q", "doc.kws", "-b", "lib"}));
        ASSERT_EQ(link.state(), KL_IDLE) << link.errorText();
        ASSERT_EQ(link.sendArguments(), 0);
        std::string options = kl_options_message({"4", "wkelvo", "-q", "-b", "lib"});
        EXPECT_EQ(read_back(link, options.size()), options);

        Dag stmt = kl_parse("f(x, \"s\");");
        ASSERT_EQ(link.startEvaluation(stmt, 1), 0);
        std::string request = "\x01" + kl_frame(stmt);
        EXPECT_EQ(read_back(link, request.size()), request);
        ASSERT_EQ(link.startEvaluation(stmt, 0), 0);
        request = std::string(1, '\0') + kl_frame(stmt);
        EXPECT_EQ(read_back(link, request.size()), request);

        // The echo makes the request look like a reply: poll sees it waiting.
        ASSERT_EQ(link.startEvaluation(dag_of_int(5), 0), 0);
        EXPECT_EQ(link.readByte(), 0);   // the flag byte
        for (int i = 0; i < 1000 && link.poll() != KL_RESULT_READY; ++i) usleep(10000);
        ASSERT_EQ(link.state(), KL_RESULT_READY);
        Dag r = link.getResult(0);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(kl_printed(r), "5");

        EXPECT_EQ(link.interrupt(), 0);
        EXPECT_EQ(link.interrupt(), 0);
    }
    // The destructor's stop byte follows the two interrupt bytes.
    ASSERT_TRUE(kl_wait_for_file(record));
    EXPECT_EQ(kl_read_file(record), "31 31 00 ");
    ::unlink(record.c_str());
}

TEST(KLPipeServerBytes, LongRequestArrivesWhole) {
    std::string record = kl_temp_name("exc");
    KL_PipeServer link(pipe_info(std::string(KL_ECHO_SERVER) + " " + record, {"wkelvo"}));
    Dag big = dag_intern(std::string(9000, 'y').c_str(), DAG_STRING);
    ASSERT_EQ(link.startEvaluation(big, 1), 0);
    std::string request = "\x01" + kl_frame(big);
    EXPECT_EQ(read_back(link, request.size()), request);
}

TEST(KLPipeServerFailures, ServerThatCannotStart) {
    KL_PipeServer link(pipe_info("/nonexistent/kernsrv -x", {"wkelvo"}));
    EXPECT_EQ(link.state(), KL_DEAD);
    EXPECT_EQ(link.errorCode(), KL_ERR_START);
    std::string text = link.errorText();
    EXPECT_NE(text.find("/nonexistent/kernsrv"), std::string::npos) << text;
    EXPECT_NE(text.find("No such file"), std::string::npos) << text;
    EXPECT_EQ(link.startEvaluation(dag_NULL, 1), 1);
    EXPECT_EQ(link.getResult(1), nullptr);
}

TEST(KLPipeServerFailures, NoCommandFailsAtFirstUse) {
    KL_ConnectInfo info(KL_TRANSPORT_PIPES, nullptr);
    KL_PipeServer link(info);
    EXPECT_EQ(link.state(), KL_IDLE);
    EXPECT_EQ(link.sendArguments(), -1);
    EXPECT_EQ(link.state(), KL_DEAD);
    EXPECT_EQ(link.errorCode(), KL_ERR_START);
    EXPECT_STRNE(link.errorText(), "no error information available");
}

TEST(KLPipeServerFailures, CommandLineSplitting) {
    struct Case {
        const char* in;
        std::vector<std::string> out;
    };
    const Case cases[] = {
        {"kernsrv", {"kernsrv"}},
        {"  a  b\tc ", {"a", "b", "c"}},
        {"\"/opt/my dir/kernsrv\" -x", {"/opt/my dir/kernsrv", "-x"}},
        {"a\\ b \"\"", {"a b", ""}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(kl_split_command_line(c.in), c.out) << c.in;
}

#ifdef KL_KERNSRV

// A conversation with a real kernsrv; `kernel` is the kernel library it loads.
class KernsrvLink : public ::testing::Test {
protected:
    // With `log`, the server writes its log (its standard error) to that file.
    std::unique_ptr<KL_PipeServer> start(const char* kernel, std::initializer_list<const char*> words,
                                         const std::string& log = "") {
        ::setenv("KELVO_KERNEL", kernel, 1);
        int savedError = -1;
        if (!log.empty()) {
            ::setenv("KELVO_KERNSRV_LOG", "1", 1);
            int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            EXPECT_GE(fd, 0);
            savedError = ::dup(2);
            ::dup2(fd, 2);
            ::close(fd);
        }
        auto link = std::make_unique<KL_PipeServer>(pipe_info(KL_KERNSRV, words));
        if (savedError >= 0) {
            ::dup2(savedError, 2);
            ::close(savedError);
            ::unsetenv("KELVO_KERNSRV_LOG");
        }
        ::unsetenv("KELVO_KERNEL");
        EXPECT_EQ(link->state(), KL_IDLE) << link->errorText();
        EXPECT_EQ(link->sendArguments(), 0);
        return link;
    }
    // Sends a statement and answers every reply with `answer` until DONE (or failure); the
    // streams and printed values seen.
    std::vector<std::string> run(KL_PipeServer& link, const char* text, Dag answer = nullptr) {
        std::vector<std::string> seen;
        if (link.startEvaluation(kl_parse(text), 1) != 0) return {"<failed>"};
        for (int guard = 0; guard < 100; ++guard) {
            Dag r = link.getResult(1);
            if (r == nullptr) {
                seen.push_back("<null>");
                break;
            }
            seen.push_back(std::string(dag_text(dag_op(r, 1))).substr(10) + ":" + kl_printed(dag_op(r, 2)));
            link.sendReply(answer ? answer : dag_NULL);
            if (link.state() == KL_IDLE) break;
        }
        return seen;
    }
};

TEST_F(KernsrvLink, RoundTripsInOrder) {
    auto link = start(KL_SCRIPT_KERNEL, {"wkelvo", "-q"});
    EXPECT_EQ(run(*link, "prints(a, b, c);"),
              (std::vector<std::string>{"PRINT:a", "PRINT:b", "PRINT:c", "DONE:"}));
    EXPECT_EQ(link->state(), KL_IDLE);
    EXPECT_EQ(run(*link, "ask(GET, prompt);", dag_intern("> ", DAG_STRING)),
              (std::vector<std::string>{"GET:prompt", "RESULT:\"> \"", "DONE:"}));   // our answer
    EXPECT_EQ(run(*link, "args();"),
              (std::vector<std::string>{"RESULT:[\"wkelvo\", \"-q\"]", "DONE:"}));
    EXPECT_EQ(run(*link, "bytes();"), (std::vector<std::string>{"RESULT:\"\x01\x80\xFF\"", "DONE:"}));
    EXPECT_EQ(run(*link, "big(6000);")[0].size(), std::string("RESULT:\"\"").size() + 6000);
}

TEST_F(KernsrvLink, InterruptDuringLongEvaluation) {
    std::string log = kl_temp_name("kernsrv_log");
    auto link = start(KL_SCRIPT_KERNEL, {"wkelvo"}, log);
    // An interrupt while the server waits for a request changes nothing.  The request goes
    // once the server has handled the interrupt: on a loaded machine it could otherwise still
    // be on its way when the evaluation starts.
    EXPECT_EQ(link->interrupt(), 0);
    bool handled = false;
    for (int i = 0; i < 1200 && !handled; ++i) {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        handled = text.str().find("interrupt requested") != std::string::npos;
        if (!handled) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::unlink(log.c_str());
    ASSERT_TRUE(handled);
    EXPECT_EQ(run(*link, "spin(20);"), (std::vector<std::string>{"RESULT:20", "DONE:"}));

    ASSERT_EQ(link->startEvaluation(kl_parse("spinp(600000);"), 1), 0);
    Dag r = link->getResult(1);   // the evaluation runs once its first reply is here
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(dag_text(dag_op(r, 1)), "INTERFACE_PRINT");
    EXPECT_EQ(link->getResult(0), nullptr);   // nothing more waits: the server awaits our answer
    EXPECT_EQ(link->interrupt(), 0);
    link->sendReply(dag_NULL);
    r = link->getResult(1);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(dag_text(dag_op(r, 1)), "INTERFACE_INTR");
    link->sendReply(dag_NULL);
    r = link->getResult(1);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(KL_Link::isDoneReply(r));
    link->sendReply(dag_NULL);
    EXPECT_EQ(link->state(), KL_IDLE);
    EXPECT_EQ(run(*link, "spin(3);"), (std::vector<std::string>{"RESULT:3", "DONE:"}));
}

TEST_F(KernsrvLink, ServerKilledMidEvaluation) {
    auto link = start(KL_SCRIPT_KERNEL, {"wkelvo"});
    ASSERT_EQ(link->startEvaluation(kl_parse("spin(600000);"), 1), 0);
    ASSERT_EQ(::kill(link->serverPid(), SIGKILL), 0);
    EXPECT_EQ(link->getResult(1), nullptr);   // returns: no hang
    EXPECT_EQ(link->state(), KL_DEAD);
    EXPECT_EQ(link->errorCode(), KL_ERR_OS);
    std::string text = link->errorText();
    EXPECT_NE(text.find("killed by signal 9"), std::string::npos) << text;
    EXPECT_EQ(link->startEvaluation(dag_NULL, 1), 1);
}

TEST_F(KernsrvLink, ServerEndsBetweenRequests) {
    auto link = start(KL_SCRIPT_KERNEL, {"wkelvo"});
    EXPECT_EQ(run(*link, "die();"), (std::vector<std::string>{"<null>"}));
    EXPECT_EQ(link->state(), KL_DEAD);
    EXPECT_STRNE(link->errorText(), "no error information available");
    EXPECT_NE(std::string(link->errorText()).find("exit status 9"), std::string::npos) << link->errorText();
}

TEST_F(KernsrvLink, KernelStartFailure) {
    auto link = start(KL_SCRIPT_KERNEL, {"wkelvo", "-T", "fail:broken library"});
    // The server ends; the link learns it at its next operation.
    EXPECT_EQ(run(*link, "1;"), (std::vector<std::string>{"<null>"}));
    EXPECT_EQ(link->state(), KL_DEAD);
    EXPECT_EQ(link->errorCode(), KL_ERR_INIT);
    EXPECT_NE(std::string(link->errorText()).find("initialization encountered errors"), std::string::npos);
}

TEST_F(KernsrvLink, QuietEvaluationOverThePipe) {
    auto session = std::make_shared<KKernelSession>(start(KL_SCRIPT_KERNEL, {"wkelvo"}).release());
    QuietEvaluator q(nullptr, session);
    EXPECT_EQ(q.linkType(), KL_LINK_SERVER);
    Dag v = q.evaluateString("prints(a, b);");
    EXPECT_EQ(kl_printed(v), "b");
    EXPECT_TRUE(q.done());
    EXPECT_EQ(kl_printed(q.evaluateString("ask(GET, prompt);")), "`> `");   // the session's settings
    EXPECT_EQ(session->link->state(), KL_IDLE);
}

TEST_F(KernsrvLink, QuietEvaluationStopsWhenTheLinkDies) {
    auto session = std::make_shared<KKernelSession>(start(KL_SCRIPT_KERNEL, {"wkelvo"}).release());
    QuietEvaluator q(nullptr, session);
    EXPECT_EQ(q.evaluateString("die();"), nullptr);
    EXPECT_FALSE(q.done());
    EXPECT_EQ(session->link->state(), KL_DEAD);
    EXPECT_EQ(q.evaluateString("1;"), nullptr);   // no wait on a dead link
}

#ifdef KL_REAL_KERNEL
TEST_F(KernsrvLink, RealKernelOnePlusTwo) {
    auto link = start(KL_REAL_KERNEL, {"wkelvo"});
    EXPECT_EQ(run(*link, "1+2;"), (std::vector<std::string>{"RESULT:3", "DONE:"}));
    run(*link, "x := 5;");
    EXPECT_EQ(run(*link, "x^2;"), (std::vector<std::string>{"RESULT:25", "DONE:"}));   // state kept
}
#endif

#endif  // KL_KERNSRV

}  // namespace
