// kernsrv: the kernel server program.  Runs the server on a thread with a large stack and exits
// with its status.

#include <pthread.h>

#include <cstdio>

#include "kernsrv/KernelServer.h"

namespace {

struct Args {
    int argc;
    char** argv;
    unsigned status;
};

void* serve(void* p) {
    auto* a = static_cast<Args*>(p);
    a->status = kernsrv_main(a->argc, a->argv);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    Args args{argc, argv, 0};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, KERNSRV_STACK);
    pthread_t t;
    if (pthread_create(&t, &attr, serve, &args) != 0) {
        // No thread: serve on this one, whose stack the system sized.
        serve(&args);
    } else {
        pthread_join(t, nullptr);
    }
    pthread_attr_destroy(&attr);
    return int(args.status & 0xFF);
}
