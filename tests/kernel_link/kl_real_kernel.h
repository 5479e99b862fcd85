#pragma once
// A real kernel for tests, reached in process (KL_Direct) or behind kernsrv (KL_PipeServer):
// run() evaluates one statement and hands every reply DAG, while it is alive, to `onReply`;
// every reply is answered with NULL.  Needs KL_REAL_KERNEL and KL_KERNSRV.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kernel_link/KL_Direct.h"
#include "kernel_link/KL_PipeServer.h"
#include "tests/kernel_link/kl_test_util.h"

enum class KLVia { Direct, Server };

inline const char* kl_via_text(KLVia via) { return via == KLVia::Direct ? "direct" : "kernsrv"; }
inline std::string kl_via_name(const ::testing::TestParamInfo<KLVia>& info) { return kl_via_text(info.param); }
inline void PrintTo(KLVia via, std::ostream* os) { *os << kl_via_text(via); }

class KLRealKernel {
public:
    // words: the kernel options after the program name.
    explicit KLRealKernel(KLVia via, std::vector<const char*> words = {}) {
        words.insert(words.begin(), "wkelvo");
        if (via == KLVia::Direct) {
            KL_ConnectInfo info;
            info.args = KL_ArgList(int(words.size()), words.data());
            direct_ = std::make_unique<KL_Direct>(info, KL_REAL_KERNEL);
            EXPECT_EQ(direct_->state(), KL_IDLE) << direct_->errorText();
            direct_->setHandlers(&KLRealKernel::onDirectReply, nullptr, this);
        } else {
            ::setenv("KELVO_KERNEL", KL_REAL_KERNEL, 1);
            KL_ConnectInfo info(KL_TRANSPORT_PIPES, KL_KERNSRV);
            info.args = KL_ArgList(int(words.size()), words.data());
            server_ = std::make_unique<KL_PipeServer>(info);
            ::unsetenv("KELVO_KERNEL");
            EXPECT_EQ(server_->state(), KL_IDLE) << server_->errorText();
            EXPECT_EQ(server_->sendArguments(), 0);
        }
    }

    std::function<void(Dag reply)> onReply;

    // Evaluates one statement (its terminator included) to its DONE; ":" shows no result.
    // interruptOnPrint: the first PRINT reply asks the statement to stop.
    void run(const std::string& text, bool interruptOnPrint = false) {
        interruptOnPrint_ = interruptOnPrint;
        Dag statement = kl_parse(text.c_str());
        if (!statement) return;
        std::size_t last = text.find_last_not_of(" \n");
        int flag = last != std::string::npos && text[last] == ':' ? 0 : 1;
        if (direct_) {
            direct_->startEvaluation(statement, flag);
            return;
        }
        if (server_->startEvaluation(statement, flag) != 0) return;
        while (true) {
            Dag r = server_->getResult(1);
            if (r == nullptr) break;
            deliver(r);
            server_->sendReply(dag_NULL);
            if (server_->state() != KL_BUSY && server_->state() != KL_RESULT_READY) break;
        }
    }

    // Asks the running statement to stop (from inside onReply).
    void interrupt() {
        if (direct_) direct_->interrupt();
        else server_->interrupt();
    }

private:
    static Dag onDirectReply(void* self, Dag reply) {
        static_cast<KLRealKernel*>(self)->deliver(reply);
        return nullptr;
    }
    void deliver(Dag reply) {
        if (onReply) onReply(reply);
        if (interruptOnPrint_ && std::string(dag_text(dag_op(reply, 1))) == "INTERFACE_PRINT") {
            interruptOnPrint_ = false;
            interrupt();
        }
    }

    std::unique_ptr<KL_Direct> direct_;
    std::unique_ptr<KL_PipeServer> server_;
    bool interruptOnPrint_ = false;
};
