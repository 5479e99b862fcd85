#pragma once
// KL_Direct: the link to a kernel running in this process.  The kernel library is loaded with
// dlopen (kl_paths.h says from where) and reached through its four entry points; an evaluation
// is one synchronous call, during which the kernel hands every reply to the query callback (its
// result is the answer) and regularly asks the poll callback whether to stop.
//
// Threads: the kernel runs on the caller's thread, and only there: start, evaluate and stop are
// never called from anywhere else, and never from a signal handler.  interrupt() is the one
// operation another thread or a signal handler may call: it touches only the atomic state and
// interrupt words (lock-free, so safe in a handler).  The link installs no signal handler of its
// own; the kernel server decides what its signals do.
//
// Loaded libraries stay loaded for the life of the process (the math libraries behind the
// kernel keep static state that does not survive unloading); each path is loaded once.

#include <atomic>
#include <string>

#include "kernel_link/KL_Link.h"

extern "C" {
typedef Dag (*KL_KernelQuery)(void* link, Dag reply);
typedef int (*KL_KernelPoll)(void* link);
}

// The four entry points of a kernel library, or the reason they could not be bound.
struct KL_KernelEntries {
    const char* (*start)(int argc, char** argv) = nullptr;
    void (*third)(void) = nullptr;   // bound, never called
    int (*evaluate)(Dag request, KL_KernelQuery query, KL_KernelPoll poll, int requestFlag, int mode,
                    void* link) = nullptr;
    void (*stop)(void) = nullptr;
};
// Null when the library or one of its entries cannot be found; *error then says why.
const KL_KernelEntries* kl_load_kernel(const std::string& path, std::string* error);

using KL_QueryHandler = Dag (*)(void* handlerData, Dag reply);
using KL_IdleHandler = void (*)(void* handlerData);

class KL_Direct : public KL_Link {
public:
    // Loads the kernel library (libraryPath, or kl_kernel_library_path() when null) and starts
    // the kernel with the descriptor's whole argument list.  A library that cannot be loaded or
    // a kernel that does not start leaves the link dead with error code 2 and the reason as its
    // error text.
    explicit KL_Direct(const KL_ConnectInfo& connectInfo, const char* libraryPath = nullptr);
    ~KL_Direct() override;   // stops the kernel

    int poll() override { return state(); }
    int sendArguments() override { return 0; }
    int startEvaluation(Dag request, int flag) override;
    Dag getResult(int) override { return dag_NULL; }
    int interrupt() override;
    Dag readDAG() override { return nullptr; }
    int sendDAG(Dag dag) override;
    int getServerStatus() override { return 0; }
    int readByte() override { return -1; }
    int write(const unsigned char* bytes, int count) override;

    void setHandlers(KL_QueryHandler queryHandler, KL_IdleHandler idleHandler, void* handlerData);
    void* handlerData() const { return handlerData_; }
    bool interrupted() const { return interrupted_.load() != 0; }

private:
    static Dag queryCallback(void* link, Dag reply);
    static int pollCallback(void* link);

    std::atomic<int> interrupted_{0};
    KL_QueryHandler queryHandler_ = nullptr;
    KL_IdleHandler idleHandler_ = nullptr;
    void* handlerData_ = nullptr;
    const KL_KernelEntries* kernel_ = nullptr;
};
