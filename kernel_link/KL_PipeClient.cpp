// The kernel server's end of the pipe link.

#include "kernel_link/KL_PipeClient.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel_link/kl_log.h"
#include "tovu/encode.h"

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

bool start_thread(void* (*fn)(void*), void* arg) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    std::size_t stack = WATCH_STACK < std::size_t(PTHREAD_STACK_MIN) ? std::size_t(PTHREAD_STACK_MIN) : WATCH_STACK;
    pthread_attr_setstacksize(&attr, stack);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t t;
    int rc = pthread_create(&t, &attr, fn, arg);
    pthread_attr_destroy(&attr);
    return rc == 0;
}

bool is_pipe(int fd) {
    struct stat st;
    return fd >= 0 && ::fcntl(fd, F_GETFD) != -1 && ::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
}

void sleep_ms(int ms) {
    struct timespec ts = {ms / 1000, long(ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

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

struct ReadContext {
    KL_PipeClient* client;
};
int client_source(void* data) { return static_cast<ReadContext*>(data)->client->readByte(); }
void ignore_end(void*, long) {}
void ignore_error(void*, long, const char*) {}
void string_sink(void* data, int ch) { static_cast<std::string*>(data)->push_back(char(ch)); }
void ignore_write_error(void*, const char*) {}

}  // namespace

// ---- KL_Stream ----------------------------------------------------------------------------

int KL_Stream::sendString(const char* text) {
    return write(reinterpret_cast<const unsigned char*>(text), long(std::strlen(text)) + 1) == 0 ? 0 : -1;
}

int KL_Stream::readString(char* buffer, int size) {
    for (int i = 0; i < size; ++i) {
        int c = readByte();
        if (c == -1) return -1;
        buffer[i] = char(c);
        if (c == 0) return 0;
    }
    return size;
}

int KL_Stream::sendEnd() {
    unsigned char end = KL_END_BYTE;
    return write(&end, 1) == 0 ? 0 : -1;
}

int KL_Stream::expectEnd() { return readByte() == KL_END_BYTE ? 0 : -1; }

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
    if (!is_pipe(h.request) || !is_pipe(h.result) || !is_pipe(h.exception)) {
        kl_log("KL_PipeClient: couldn't determine pipes");
        errorCode = 3;
        dead = 1;
        return;
    }
    handles_ = h;
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        kl_log("KL_PipeClient: couldn't start exception thread");
        errorCode = 4;
        dead = 1;
        return;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    // The server's own ends are not for its children.
    for (int fd : {h.request, h.result, h.exception}) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    parentWasDirect_ = h.parent > 0 && long(::getppid()) == h.parent;

    if (!start_thread([](void* a) -> void* { exceptionThread(static_cast<KL_PipeClient*>(a)); return nullptr; }, this)) {
        kl_log("KL_PipeClient: couldn't start exception thread");
        errorCode = 4;
        dead = 1;
        return;
    }
    if (!start_thread([](void* a) -> void* { watchThread(static_cast<KL_PipeClient*>(a)); return nullptr; }, this)) {
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
    if (handles_.request >= 0 && ::close(handles_.request) != 0) kl_log("Can't close read pipe");
    if (handles_.result >= 0 && ::close(handles_.result) != 0) kl_log("Can't close write pipe");
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void KL_PipeClient::wake() {
    woken_.store(1);
    if (wakeWrite_ >= 0) {
        unsigned char b = 1;
        ssize_t n = ::write(wakeWrite_, &b, 1);
        (void)n;
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
        int r = ::poll(p, 2, -1);
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
    if (::ioctl(handles_.request, FIONREAD, &waiting) != 0) {
        errorCode = errno;
        kl_log("Error Peeking at pipe; status %d", errorCode);
        dead = 1;
        return -1;
    }
    int want = waiting <= 0 ? 1 : (waiting > readBuffer_.size() ? readBuffer_.size() : waiting);
    ssize_t n;
    do n = ::read(handles_.request, readBuffer_.writeSpace(), std::size_t(want));
    while (n < 0 && errno == EINTR);
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
    long done = 0;
    while (done < count) {
        ssize_t n = ::write(handles_.result, bytes + done, std::size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            errorCode = n < 0 ? errno : EPIPE;
            kl_log("Error writing pipe: %d", errorCode);
            dead = 1;
            return -1;
        }
        done += n;
    }
    return count;
}

int KL_PipeClient::sendDAG(Dag dag) {
    std::string text;
    if (!dag_write(dag, string_sink, ignore_write_error, 0, DAG_WRITE_NO_VALUES, &text)) {
        // An unwritable DAG still gets a frame, so the worksheet is not left waiting: NULL.
        text.clear();
        dag_write(dag_NULL, string_sink, ignore_write_error, 0, DAG_WRITE_NO_VALUES, &text);
    }
    for (unsigned char c : text)
        if (write(&c, 1) != 0) return -1;
    return sendEnd();
}

Dag KL_PipeClient::readDAG() {
    if (dead) return nullptr;
    ReadContext ctx{this};
    Dag d = dag_read(client_source, ignore_end, ignore_error, nullptr, 0, &ctx);
    if (d == nullptr) return nullptr;
    return expectEnd() == 0 ? d : nullptr;
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
            int r = ::poll(&p, 1, STOP_GRACE_MS);
            if (r == 0) {
                ::raise(SIGTERM);
                continue;
            }
        }
        unsigned char b;
        ssize_t n = ::read(fd, &b, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            kl_log("Error reading interrupt pipe; status %d", n < 0 ? errno : 0);
            kl_log("Interrupts disabled");
            if (!stopping) return;
            // The worksheet has closed the pipe after asking to stop: keep the grace timer.
            sleep_ms(STOP_GRACE_MS);
            ::raise(SIGTERM);
            return;
        }
        if (b != 0) {
            self->interrupted = 1;
            ::raise(SIGINT);
            kl_log("interrupt requested");
        } else {
            sleep_ms(STOP_DELAY_MS);
            kl_log("stop requested");
            stopping = true;
            ::raise(SIGTERM);
        }
    }
}

bool KL_PipeClient::parentGone() const {
    long pid = handles_.parent;
    if (::kill(pid_t(pid), 0) == -1 && errno == ESRCH) return true;
    return parentWasDirect_ && long(::getppid()) != pid;
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
        sleep_ms(period);
        if (self->parentGone()) {
            kl_log("parent process has gone");
            ::raise(SIGTERM);
            // A second SIGTERM ends the server hard: give the stop its grace first, however
            // short the period, so a server that stops normally is never cut off midway.
            sleep_ms(STOP_GRACE_MS);
        }
    }
}
