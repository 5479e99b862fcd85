// The kernel server's end of the pipe link.

#include "kernel_link/KL_PipeClient.h"

#include <limits.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel_link/kl_frame.h"
#include "kernel_link/kl_log.h"
#include "platform/os/proc.h"

namespace {

constexpr const char* TRANSFER_VAR = "PIPES_TRANSFER_VAR";
// Watch threads need little, but never less than the system's minimum (sanitizer builds need
// more than that minimum for their own bookkeeping).
constexpr std::size_t WATCH_STACK = 256 * 1024;
// Period of the parent watch (KELVO_WATCH_PERIOD_MS, 1 to 10000, shortens it for tests that
// wait for the watch), and how long a stop may take before the server is ended hard.
constexpr int WATCH_PERIOD_MS = 10000;
constexpr int STOP_DELAY_MS = 1000;
constexpr int STOP_GRACE_MS = 10000;

bool parse_number(const char*& p, int base, int maxDigits, long* out) {
    const char* start = p;
    long v = 0;
    while (*p != '\0' && *p != ' ') {
        int d;
        char c = *p;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else return false;
        v = v * base + d;
        if (++p - start > maxDigits) return false;
    }
    if (p == start) return false;
    *out = v;
    return true;
}

}  // namespace

// ---- KL_Stream ----------------------------------------------------------------------------

int KL_Stream::sendString(const char* text) { return kl_frame_send_string(kl_frame_end(this), text); }

int KL_Stream::readString(char* buffer, int size) { return kl_frame_read_string(kl_frame_end(this), buffer, size); }

int KL_Stream::sendEnd() { return kl_frame_send_end(kl_frame_end(this)); }

int KL_Stream::expectEnd() { return kl_frame_expect_end(kl_frame_end(this)); }

// ---- PIPES_TRANSFER_VAR ---------------------------------------------------------------------

bool KL_PipeHandles::parse(const char* text, KL_PipeHandles* out) {
    if (text == nullptr) return false;
    const char* p = text;
    long v[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (*p != ' ') return false;
            ++p;
        }
        if (!parse_number(p, i < 3 ? 16 : 10, i < 3 ? 8 : 10, &v[i])) return false;
    }
    if (*p != '\0') return false;
    for (int i = 0; i < 3; ++i)
        if (v[i] > INT_MAX) return false;
    out->request = int(v[0]);
    out->result = int(v[1]);
    out->exception = int(v[2]);
    out->parent = v[3];
    return true;
}

// ---- KL_PipeClient --------------------------------------------------------------------------

KL_PipeClient::KL_PipeClient(const char* name, const char* transferValue)
    : writer_(KL_BUFFER_SIZE, [this](const unsigned char* b, long n) { return writeRaw(b, n); }) {
    const char* value = transferValue != nullptr ? transferValue : std::getenv(TRANSFER_VAR);
    KL_PipeHandles h;
    if (value == nullptr || !KL_PipeHandles::parse(value, &h)) {
        kl_log("KL_PipeClient: couldn't determine pipes");
        errorCode = 3;
        dead = 1;
        return;
    }
    if (!proc_is_pipe(h.request) || !proc_is_pipe(h.result) || !proc_is_pipe(h.exception)) {
        kl_log("KL_PipeClient: couldn't determine pipes");
        errorCode = 3;
        dead = 1;
        return;
    }
    handles_ = h;
    int wake[2];
    if (proc_pipe(wake, true) != 0) {
        kl_log("KL_PipeClient: couldn't start exception thread");
        errorCode = 4;
        dead = 1;
        return;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    // The server's own ends are not for its children.
    for (int fd : {h.request, h.result, h.exception}) proc_set_cloexec(fd);
    parentWasDirect_ = h.parent > 0 && long(proc_parent()) == h.parent;

    if (!proc_start_detached([](void* a) -> void* { exceptionThread(static_cast<KL_PipeClient*>(a)); return nullptr; }, this, WATCH_STACK)) {
        kl_log("KL_PipeClient: couldn't start exception thread");
        errorCode = 4;
        dead = 1;
        return;
    }
    if (!proc_start_detached([](void* a) -> void* { watchThread(static_cast<KL_PipeClient*>(a)); return nullptr; }, this, WATCH_STACK)) {
        kl_log("KL_PipeClient: couldn't start vulture thread");
        errorCode = 5;
        dead = 1;
        return;
    }
    ::unsetenv(TRANSFER_VAR);
    if (name != nullptr) kl_log("%s connected", name);
    kl_log("connected");
}

KL_PipeClient::~KL_PipeClient() {
    // The watch threads may still use the exception descriptor and this object; the server
    // never destroys its client before it exits, and tests destroy only clients whose threads
    // never started.
    if (proc_close(handles_.request) != 0) kl_log("Can't close read pipe");
    if (proc_close(handles_.result) != 0) kl_log("Can't close write pipe");
    proc_close(wakeRead_);
    proc_close(wakeWrite_);
}

void KL_PipeClient::wake() {
    woken_.store(1);
    if (wakeWrite_ >= 0) {
        unsigned char b = 1;
        int err = 0;
        proc_write_all(wakeWrite_, &b, 1, &err);
    }
}

int KL_PipeClient::readByte() {
    if (dead) return -1;
    if (readBuffer_.available() > 0) return readBuffer_.get();
    readBuffer_.reset();
    for (;;) {
        if (woken_) {
            errorCode = EINTR;
            dead = 1;
            return -1;
        }
        struct pollfd p[2] = {{handles_.request, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        int r = proc_poll(p, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            errorCode = errno;
            kl_log("Error Peeking at pipe; status %d", errorCode);
            dead = 1;
            return -1;
        }
        if (p[1].revents != 0) continue;   // woken: checked at the top
        if (p[0].revents != 0) break;
    }
    int waiting = 0;
    if (int err = proc_bytes_waiting(handles_.request, &waiting); err != 0) {
        errorCode = err;
        kl_log("Error Peeking at pipe; status %d", errorCode);
        dead = 1;
        return -1;
    }
    int want = waiting <= 0 ? 1 : (waiting > readBuffer_.size() ? readBuffer_.size() : waiting);
    long n = proc_read(handles_.request, readBuffer_.writeSpace(), std::size_t(want));
    if (n < 0) {
        errorCode = errno;
        kl_log("Error reading pipe; status %d", errorCode);
        dead = 1;
        return -1;
    }
    lastReadCount_ = unsigned(n);
    if (n == 0) {
        dead = 1;
        return -1;
    }
    readBuffer_.commit(int(n));
    return readBuffer_.get();
}

int KL_PipeClient::write(const unsigned char* bytes, long count) {
    if (dead) return -1;
    return writer_.write(bytes, count);
}

long KL_PipeClient::writeRaw(const unsigned char* bytes, long count) {
    errorCode = 0;
    if (dead) return -1;
    int err = 0;
    if (proc_write_all(handles_.result, bytes, count, &err) == count) return count;
    errorCode = err;
    kl_log("Error writing pipe: %d", errorCode);
    dead = 1;
    return -1;
}

int KL_PipeClient::sendDAG(Dag dag) {
    int rc = kl_frame_send_dag(kl_frame_end(this), dag);
    // An unwritable DAG still gets a frame, so the worksheet is not left waiting: NULL.
    if (rc == 1) rc = kl_frame_send_dag(kl_frame_end(this), dag_NULL);
    return rc == 0 ? 0 : -1;
}

Dag KL_PipeClient::readDAG() {
    if (dead) return nullptr;
    return kl_frame_read_dag(kl_frame_end(this));
}

Dag KL_PipeClient::readRequest() {
    interrupted = 0;
    if (dead) return nullptr;
    int flag = readByte();
    if (flag == -1) return nullptr;
    requestFlag = flag != 0 ? 1 : 0;
    return readDAG();
}

int KL_PipeClient::receiveArguments(KL_ArgList& list) {
    if (dead) return 1;
    char buffer[KL_BUFFER_SIZE];
    if (readString(buffer, sizeof buffer) != 0) return -1;
    long count = std::strtol(buffer, nullptr, 10);
    if (count < 0) count = 0;
    for (long i = 0; i < count; ++i) {
        if (readString(buffer, sizeof buffer) != 0) return -1;
        list.append(buffer);
    }
    list.append(nullptr);
    return expectEnd();
}

void KL_PipeClient::exceptionThread(KL_PipeClient* self) {
    int fd = self->handles_.exception;
    bool stopping = false;
    for (;;) {
        if (stopping) {
            // A stop that has not ended the server within the grace period (a kernel stuck in
            // one long computation) is repeated, which the server takes as the order to end.
            struct pollfd p = {fd, POLLIN, 0};
            int r = proc_poll(&p, 1, STOP_GRACE_MS);
            if (r == 0) {
                ::raise(SIGTERM);
                continue;
            }
        }
        unsigned char b;
        long n = proc_read(fd, &b, 1);
        if (n <= 0) {
            kl_log("Error reading interrupt pipe; status %d", n < 0 ? errno : 0);
            kl_log("Interrupts disabled");
            if (!stopping) return;
            // The worksheet has closed the pipe after asking to stop: keep the grace timer.
            proc_sleep_ms(STOP_GRACE_MS);
            ::raise(SIGTERM);
            return;
        }
        if (b != 0) {
            self->interrupted = 1;
            ::raise(SIGINT);
            kl_log("interrupt requested");
        } else {
            proc_sleep_ms(STOP_DELAY_MS);
            kl_log("stop requested");
            stopping = true;
            ::raise(SIGTERM);
        }
    }
}

bool KL_PipeClient::parentGone() const {
    long pid = handles_.parent;
    if (!proc_exists(pid_t(pid))) return true;
    return parentWasDirect_ && long(proc_parent()) != pid;
}

void KL_PipeClient::watchThread(KL_PipeClient* self) {
    if (self->handles_.parent <= 0) {
        kl_log("Could not identify parent process; vulture process disabled");
        return;
    }
    int period = WATCH_PERIOD_MS;
    if (const char* given = std::getenv("KELVO_WATCH_PERIOD_MS")) {
        long ms = std::strtol(given, nullptr, 10);
        if (ms >= 1 && ms <= WATCH_PERIOD_MS) period = int(ms);
    }
    for (;;) {
        proc_sleep_ms(period);
        if (self->parentGone()) {
            kl_log("parent process has gone");
            ::raise(SIGTERM);
            // A second SIGTERM ends the server hard: give the stop its grace first, however
            // short the period, so a server that stops normally is never cut off midway.
            proc_sleep_ms(STOP_GRACE_MS);
        }
    }
}
