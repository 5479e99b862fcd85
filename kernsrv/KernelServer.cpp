// The kernel server.

#include "kernsrv/KernelServer.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "kernel_link/kl_log.h"
#include "tovu/storage.h"

namespace {

KernelServer* theServer = nullptr;
std::atomic<int> stopRequested{0};

void on_sigterm(int) {
    if (stopRequested.exchange(1) != 0) ::_exit(3);
    KernelServer* s = theServer;
    if (s == nullptr) ::_exit(3);
    if (KL_Direct* k = s->kernel.load()) k->interrupt();
    if (s->client) s->client->wake();
}

void install(int sig, void (*handler)(int)) {
    struct sigaction sa = {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(sig, &sa, nullptr);
}

}  // namespace

void ctrbrkHdlr(int) {
    KernelServer* s = theServer;
    if (s == nullptr) return;
    if (KL_Direct* k = s->kernel.load()) k->interrupt();
}

Dag kernsrv_query_handler(void*, Dag reply) {
    KernelServer* s = theServer;
    if (s == nullptr || s->client->sendDAG(reply) != 0) return nullptr;
    return s->client->readDAG();
}

KernelServer::KernelServer(int, char**) {
    // The server's own command line is not the kernel's: the kernel gets only the options that
    // arrive over the pipe.
    theServer = this;
    ::signal(SIGPIPE, SIG_IGN);
    storage_init_default();
    dag_init();
    const char* logSwitch = std::getenv("KELVO_KERNSRV_LOG");
    kl_log_init();
    kl_log_enable(logSwitch != nullptr && logSwitch[0] != '\0');
    kl_log("starting");
    install(SIGTERM, on_sigterm);
    install(SIGINT, ctrbrkHdlr);

    client = new KL_PipeClient(nullptr);
    if (client->errorCode != 0) {
        status = unsigned(client->errorCode) << 4;
        return;
    }
    kl_log("initializing kernel");
    KL_ConnectInfo info;
    if (client->receiveArguments(info.args) != 0) {
        // Without its options there is no kernel to serve with.
        kl_log("Couldn't receive kernel arguments");
        status = KL_ERR_PARAMS;
        return;
    }
    kl_log("Instantiating direct kernel");
    auto* direct = new KL_Direct(info);
    if (direct->errorCode() != 0) {
        status = (direct->osError() << 4) | (unsigned(direct->errorCode()) & 0xF);
        kl_log("Unable to instantiate direct kernel, rc = %d, %d", direct->errorCode(), int(direct->osError()));
        kl_log("kernel initialization failure %s", direct->errorText());
        delete direct;
        return;
    }
    direct->setHandlers(kernsrv_query_handler, nullptr, this);
    kernel.store(direct);
}

void KernelServer::run() {
    KL_Direct* k = kernel.load();
    if (k == nullptr) return;
    OwnedArea requestArea(0, "kernsrv-request");
    for (;;) {
        bool more;
        {
            StoragePush push(requestArea.get());
            Dag request = client->readRequest();
            more = request != nullptr && stopRequested.load() == 0;
            if (more) k->startEvaluation(request, client->requestFlag);
        }
        // The request and the answers to its replies are done with: the kernel keeps none of
        // them (it translates the request into its own structures).
        storage_free(requestArea.get());
        if (!more || stopRequested.load() != 0) break;
    }
}

unsigned kernsrv_main(int argc, char** argv) {
    auto* server = new KernelServer(argc, argv);
    if (server->status != 0) {
        kl_log("initialization failure kError = %u, osError = %u", server->status & 0xF, (server->status >> 4) & 0xFFF);
    } else {
        kl_log("initialized");
        server->run();
        // The kernel is stopped here, on the thread that ran it, never while it evaluates.
        KL_Direct* k = server->kernel.exchange(nullptr);
        delete k;
    }
    unsigned status = server->status;
    kl_log("ended, kError = %u, osError = %u", status & 0xF, (status >> 4) & 0xFFF);
    return status;
}
