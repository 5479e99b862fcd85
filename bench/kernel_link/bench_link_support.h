#pragma once
// Shared start-up of the benchmarks over the real kernel (kernel link, plots): the expression
// library once per process, the connect descriptor whose only start word is the benchmark's
// name, the real kernel in process (its replies given to a query handler, by default one that
// answers nothing) or in a kernsrv started over the pipe link, and one round trip over that
// link with every reply seen by the caller and answered with NULL.
//
// KL_REAL_KERNEL and KL_KERNSRV are the build tree's kernel library and server
// (kelvo_bench_real_kernel in cmake/KelvoHelpers.cmake defines them).

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

// The real kernel in process, its replies given to `handler` with `data`; null (with *error
// set) when it does not start.
inline std::unique_ptr<KL_Direct> bench_start_direct(const char* name, const char** error,
                                                     KL_QueryHandler handler = bench_answer_nothing,
                                                     void* data = nullptr) {
    bench_link_init();
    auto link = std::make_unique<KL_Direct>(bench_link_args(KL_ConnectInfo(), name), KL_REAL_KERNEL);
    if (link->state() != KL_IDLE) {
        *error = link->errorText();
        return nullptr;
    }
    link->setHandlers(handler, nullptr, data);
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

// One request and its replies, each given to `seeReply` and answered with NULL.
template <typename SeeReply>
void bench_kernsrv_round_trip(KL_PipeServer& link, Dag statement, SeeReply seeReply) {
    link.startEvaluation(statement, 1);
    while (link.state() == KL_BUSY || link.state() == KL_RESULT_READY) {
        Dag reply = link.getResult(1);
        if (reply == nullptr) break;
        seeReply(reply);
        link.sendReply(dag_NULL);
    }
}

inline void bench_kernsrv_round_trip(KL_PipeServer& link, Dag statement) {
    bench_kernsrv_round_trip(link, statement, [](Dag) {});
}
