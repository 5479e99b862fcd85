// The in-process kernel link and the kernel library loader.

#include "kernel_link/KL_Direct.h"

#include <map>
#include <memory>
#include <mutex>

#include "kernel_link/kl_log.h"
#include "kernel_link/kl_paths.h"
#include "platform/os/dynlib.h"

const KL_KernelEntries* kl_load_kernel(const std::string& path, std::string* error) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<KL_KernelEntries>> loaded;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = loaded.find(path);
    if (it != loaded.end()) return it->second.get();
    // Never closed: see the header.
    std::string why;
    void* handle = dynlib_open(path, &why);
    if (handle == nullptr) {
        if (error) *error = "unable to load the kernel library: " + why;
        return nullptr;
    }
    auto e = std::make_unique<KL_KernelEntries>();
    e->start = reinterpret_cast<decltype(e->start)>(dynlib_symbol(handle, "kernel_start"));
    e->third = reinterpret_cast<decltype(e->third)>(dynlib_symbol(handle, "kernel_third"));
    e->evaluate = reinterpret_cast<decltype(e->evaluate)>(dynlib_symbol(handle, "kernel_evaluate"));
    e->stop = reinterpret_cast<decltype(e->stop)>(dynlib_symbol(handle, "kernel_stop"));
    if (!e->start || !e->third || !e->evaluate || !e->stop) {
        if (error) *error = "the kernel library " + path + " lacks one of its four entry points";
        return nullptr;
    }
    return (loaded[path] = std::move(e)).get();
}

KL_Direct::KL_Direct(const KL_ConnectInfo& connectInfo, const char* libraryPath) : KL_Link(connectInfo) {
    std::string path = libraryPath != nullptr ? std::string(libraryPath) : kl_kernel_library_path();
    std::string why;
    kernel_ = kl_load_kernel(path, &why);
    if (kernel_ == nullptr) {
        setDead(KL_ERR_INIT, 0, "%s", why.c_str());
        return;
    }
    setState(KL_IDLE);
    // Words always exist and end with null, even for an empty list.
    KL_ArgList& args = connectInfo_.args;
    args.append(nullptr);
    const char* failure = nullptr;
    try {
        failure = kernel_->start(args.count(), args.words());
    } catch (...) {
        failure = "the kernel failed to start";
    }
    if (failure != nullptr) setDead(KL_ERR_INIT, 0, "%s", failure);
}

KL_Direct::~KL_Direct() {
    if (kernel_ != nullptr) kernel_->stop();
}

int KL_Direct::startEvaluation(Dag request, int flag) {
    // A dead link has no kernel; a call from inside a query callback would nest evaluations.
    if (state() == KL_DEAD || state() == KL_BUSY) return 1;
    interrupted_.store(0);
    setState(KL_BUSY);
    requestFlag_ = flag;
    sendDAG(request);
    setStateUnlessDead(KL_IDLE);
    return 0;
}

int KL_Direct::sendDAG(Dag dag) {
    if (kernel_ == nullptr) return 1;
    kernel_->evaluate(dag, &KL_Direct::queryCallback, &KL_Direct::pollCallback, requestFlag_, 1, this);
    return 0;
}

int KL_Direct::interrupt() {
    if (state() != KL_BUSY) return 0;
    return interrupted_.exchange(1) == 0 ? 1 : 0;
}

int KL_Direct::write(const unsigned char*, int) {
    kl_log("Direct:Write internal error, shouldn't be called");
    return 1;
}

void KL_Direct::setHandlers(KL_QueryHandler queryHandler, KL_IdleHandler idleHandler, void* handlerData) {
    queryHandler_ = queryHandler;
    idleHandler_ = idleHandler;
    handlerData_ = handlerData;
}

// Both callbacks are a C boundary: nothing thrown may reach the kernel.
Dag KL_Direct::queryCallback(void* link, Dag reply) {
    auto* self = static_cast<KL_Direct*>(link);
    if (self->queryHandler_ == nullptr) return nullptr;
    try {
        return self->queryHandler_(self->handlerData_, reply);
    } catch (...) {
        return nullptr;
    }
}

int KL_Direct::pollCallback(void* link) {
    auto* self = static_cast<KL_Direct*>(link);
    if (self->idleHandler_ != nullptr) {
        try {
            self->idleHandler_(self->handlerData_);
        } catch (...) {
        }
    }
    return self->interrupted_.load();
}
