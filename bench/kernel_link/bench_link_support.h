#pragma once
// Shared start-up of the kernel-link benchmarks: the expression library once per process, the
// connect descriptor whose only start word is the benchmark's name, a query handler that
// answers nothing, the real kernel in process or in a kernsrv started over the pipe link, and
// one round trip over that link with every reply answered as the worksheet would.
//
// KL_REAL_KERNEL and KL_KERNSRV are the build tree's kernel library and server (the CMake file
// defines them).

#include <stdlib.h>

#include <memory>

#include "kernel_link/KL_Direct.h"
#include "kernel_link/KL_PipeServer.h"
#include "tovu/dag.h"
#include "tovu/storage.h"

inline void bench_link_init() {
    static bool done = false;
    if (!done) {
        storage_init_default();
        dag_init();
        done = true;
    }
}

inline KL_ConnectInfo bench_link_args(KL_ConnectInfo info, const char* name) {
    const char* w[] = {name};
    info.args = KL_ArgList(1, w);
    return info;
}

inline Dag bench_answer_nothing(void*, Dag) { return nullptr; }

// The real kernel in process, its replies answered with nothing; null (with *error set) when
// it does not start.
inline std::unique_ptr<KL_Direct> bench_start_direct(const char* name, const char** error) {
    bench_link_init();
    auto link = std::make_unique<KL_Direct>(bench_link_args(KL_ConnectInfo(), name), KL_REAL_KERNEL);
    if (link->state() != KL_IDLE) {
        *error = link->errorText();
        return nullptr;
    }
    link->setHandlers(bench_answer_nothing, nullptr, nullptr);
    return link;
}

// A kernsrv process with the real kernel; null (with *error set) when it does not start.
inline std::unique_ptr<KL_PipeServer> bench_start_kernsrv(const char* name, const char** error) {
    bench_link_init();
    ::setenv("KELVO_KERNEL", KL_REAL_KERNEL, 1);
    ::setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
    auto link = std::make_unique<KL_PipeServer>(bench_link_args(KL_ConnectInfo(KL_TRANSPORT_PIPES, KL_KERNSRV), name));
    if (link->state() != KL_IDLE || link->sendArguments() != 0) {
        *error = link->errorText();
        return nullptr;
    }
    return link;
}

// One request and its replies, each answered with NULL.
inline void bench_kernsrv_round_trip(KL_PipeServer& link, Dag statement) {
    link.startEvaluation(statement, 1);
    while (link.state() == KL_BUSY || link.state() == KL_RESULT_READY) {
        if (link.getResult(1) == nullptr) break;
        link.sendReply(dag_NULL);
    }
}
