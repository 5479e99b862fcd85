// The kernel link base: framing, kernel options, the reply round trip and error texts.

#include "kernel_link/KL_Link.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "kernel_link/kl_frame.h"
#include "kernel_link/kl_log.h"

KL_Link::KL_Link(const KL_ConnectInfo& connectInfo) : connectInfo_(connectInfo) {}

KL_Link::~KL_Link() = default;

void KL_Link::setStateUnlessDead(int s) {
    int cur = state_.load();
    while (cur != KL_DEAD && !state_.compare_exchange_weak(cur, s)) {
    }
}

void KL_Link::setErrorText(const char* format, ...) {
    if (!errorText_) errorText_.reset(new char[KL_ERROR_TEXT_MAX + 1]());
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(errorText_.get(), KL_ERROR_TEXT_MAX + 1, format, ap);
    va_end(ap);
    kl_log("%s", errorText_.get());
}

void KL_Link::setDead(int code, unsigned os, const char* format, ...) {
    errorCode_ = code;
    osError_ = os;
    if (!errorText_) errorText_.reset(new char[KL_ERROR_TEXT_MAX + 1]());
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(errorText_.get(), KL_ERROR_TEXT_MAX + 1, format, ap);
    va_end(ap);
    kl_log("%s", errorText_.get());
    setState(KL_DEAD);
}

const char* KL_Link::errorText() {
    if (errorText_ && errorText_[0] != '\0') return errorText_.get();
    switch (errorCode_) {
    case KL_ERR_NONE: setErrorText("no error information available"); break;
    case KL_ERR_START: setErrorText("unable to start server process"); break;
    case KL_ERR_INIT: setErrorText("initialization encountered errors, possible library problem"); break;
    case KL_ERR_PARAMS: setErrorText("invalid parameters for server"); break;
    case KL_ERR_CONNECT: setErrorText("unable to connect to server"); break;
    case KL_ERR_OS: setErrorText("server encountered OS error %u", osError_); break;
    default: setErrorText("unexpected server error %u, no information", unsigned(errorCode_)); break;
    }
    return errorText_.get();
}

int KL_Link::poll() {
    if (state() == KL_BUSY && getServerStatus() != 0 && state() == KL_BUSY) setState(KL_RESULT_READY);
    return state();
}

int KL_Link::sendArguments() {
    KL_ArgList kernel;
    int count = KL_ArgList::kernelArgs(connectInfo_.args, kernel);
    for (int i = 0; i < count; ++i) {
        if (std::strlen(kernel.word(i)) > std::size_t(KL_ARG_TEXT_MAX)) {
            // The receiving side could not take it and would start no kernel at all.
            setDead(KL_ERR_PARAMS, 0, "kernel option longer than %d characters", KL_ARG_TEXT_MAX);
            return -1;
        }
    }
    char number[16];
    std::snprintf(number, sizeof number, "%d", count);
    if (sendString(number) != 0) return -1;
    for (int i = 0; i < count; ++i)
        if (sendString(kernel.word(i)) != 0) return -1;
    return sendEnd() == 0 ? 0 : -1;
}

int KL_Link::startEvaluation(Dag request, int flag) {
    requestFlag_ = flag;
    if (state() == KL_DEAD) return 1;
    unsigned char flagByte = flag != 0 ? 0x01 : 0x00;
    write(&flagByte, 1);
    if (sendDAG(request) != 0 || state() == KL_DEAD) {
        setState(KL_DEAD);
        return 1;
    }
    setStateUnlessDead(KL_BUSY);
    return 0;
}

Dag KL_Link::getResult(int wait) {
    if (state() == KL_DEAD) return nullptr;
    if (wait == 0 && poll() != KL_RESULT_READY) return nullptr;
    Dag reply = readDAG();
    setStateUnlessDead(KL_BUSY);
    if (reply != nullptr && isDoneReply(reply)) setStateUnlessDead(KL_IDLE);
    return reply;
}

Dag KL_Link::sendReply(Dag answer) { return sendDAG(answer) == 0 ? answer : nullptr; }

int KL_Link::sendString(const char* text) { return kl_frame_send_string(kl_frame_end(this), text); }

int KL_Link::readString(char* buffer, int size) { return kl_frame_read_string(kl_frame_end(this), buffer, size); }

int KL_Link::sendEnd() { return kl_frame_send_end(kl_frame_end(this)); }

int KL_Link::expectEnd() { return kl_frame_expect_end(kl_frame_end(this)); }

Dag KL_Link::readDAG() { return kl_frame_read_dag(kl_frame_end(this)); }

int KL_Link::sendDAG(Dag dag) { return kl_frame_send_dag(kl_frame_end(this), dag) == 0 ? 0 : 1; }

bool KL_Link::isDoneReply(const DagWord* reply) {
    if (reply == nullptr || dag_type(reply) != DAG_FUNCTION || dag_length(reply) < 2) return false;
    const DagWord* name = dag_op(reply, 1);
    return name != nullptr && dag_type(name) == DAG_NAME && std::strncmp(dag_text(name), "INTERFACE_DONE", 14) == 0;
}
