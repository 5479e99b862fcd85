#pragma once
// The kernel server: runs the math kernel on behalf of the worksheet program, which starts it
// with the three pipes of the pipe link (kernel_link/KL_PipeClient.h).  It receives the
// kernel's options, starts the kernel in-process (KL_Direct) and serves requests, relaying every
// reply of the kernel to the worksheet as a send-and-answer round trip.
//
// Threads:
//   request thread   start-up, the request loop, the kernel (every call into it: start,
//                    evaluate, stop) and the relay.  It has a stack of KERNSRV_STACK bytes,
//                    which deep evaluations need.
//   exception/watch  the pipe client's threads; they only raise signals.
// Signal handlers do nothing but async-signal-safe work on atomics:
//   SIGINT  interrupts the running evaluation (KL_Direct::interrupt; nothing while idle).
//   SIGTERM asks the server to stop: the evaluation is interrupted and the request thread's
//           blocked read is woken, so the request thread stops the kernel and the server exits.
//           A second SIGTERM ends the process at once with status 3.
//
// Exit status (kError in bits 0-3, osError from bit 4):
//   0                      the request stream ended (worksheet closed it, stop, parent gone)
//   48 / 64 / 80           no usable PIPES_TRANSFER_VAR / a watch thread could not start
//   3                      the kernel options could not be received (no kernel is started)
//   (os << 4) | code       the kernel did not start (2 for a kernel start failure)
//   3                      a second SIGTERM
//
// Memory: each request, and the answers to the replies it makes, are read into the request
// area, which is freed once the request is done, so that a long session does not grow.  Names
// read with them are interned apart from it (tovu/dag.h) and stay.
//
// Log: off unless KELVO_KERNSRV_LOG is set (to anything non-empty), then to standard error.

#include <atomic>
#include <cstddef>

#include "kernel_link/KL_Direct.h"
#include "kernel_link/KL_PipeClient.h"

constexpr std::size_t KERNSRV_STACK = 16u * 1024u * 1024u;

class KernelServer {
public:
    KernelServer(int argc, char** argv);
    KernelServer(const KernelServer&) = delete;
    KernelServer& operator=(const KernelServer&) = delete;

    void run();

    KL_PipeClient* client = nullptr;                // owned; never destroyed before exit
    std::atomic<KL_Direct*> kernel{nullptr};        // owned; null until the kernel started
    unsigned status = 0;
};

Dag kernsrv_query_handler(void* data, Dag reply);
void ctrbrkHdlr(int signal);
// Start-up, request loop and shut-down on the calling thread; the exit status.
unsigned kernsrv_main(int argc, char** argv);
