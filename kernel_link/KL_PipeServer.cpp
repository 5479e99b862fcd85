// The worksheet's end of the pipe link.

#include "kernel_link/KL_PipeServer.h"

#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "kernel_link/kl_log.h"
#include "platform/os/proc.h"

extern char** environ;

namespace {

constexpr const char* TRANSFER_VAR = "PIPES_TRANSFER_VAR";

void close_fd(int& fd, const char* failure) {
    if (proc_close(fd) != 0) kl_log("%s", failure);
    fd = -1;
}

// Descriptors closed on every path out of the constructor unless released.
struct PipePair {
    int fd[2] = {-1, -1};
    ~PipePair() {
        for (int f : fd) proc_close(f);
    }
    int take(int i) {
        int f = fd[i];
        fd[i] = -1;
        return f;
    }
};

}  // namespace

std::vector<std::string> kl_split_command_line(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        char c = command[i];
        if (c == '\\' && i + 1 < command.size()) {
            word += command[++i];
            inWord = true;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

KL_PipeServer::KL_PipeServer(const KL_ConnectInfo& connectInfo) : KL_Link(connectInfo) {
    proc_ignore_sigpipe();
    writer_ = std::make_unique<KL_FrameWriter>(
        KL_BUFFER_SIZE, [this](const unsigned char* b, long n) { return writeRaw(b, n); });
    std::vector<std::string> words;
    if (connectInfo_.serverCommand) words = kl_split_command_line(*connectInfo_.serverCommand);
    if (words.empty()) {
        setState(KL_IDLE);
        return;
    }

    PipePair result, request, exception;
    int err = proc_pipe(result.fd);
    if (err == 0) err = proc_pipe(request.fd);
    if (err == 0) err = proc_pipe(exception.fd);
    if (err != 0) {
        setDead(KL_ERR_START, unsigned(err), "KL_PipeServer: couldn't create anonymous pipes: %s", std::strerror(err));
        return;
    }

    char transfer[96];
    std::snprintf(transfer, sizeof transfer, "%s=%08X %08X %08X %d", TRANSFER_VAR, unsigned(request.fd[0]),
                  unsigned(result.fd[1]), unsigned(exception.fd[0]), int(proc_self()));
    std::vector<char*> envp;
    std::size_t nameLen = std::strlen(TRANSFER_VAR);
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        if (!(std::strncmp(*e, TRANSFER_VAR, nameLen) == 0 && (*e)[nameLen] == '=')) envp.push_back(*e);
    envp.push_back(transfer);
    envp.push_back(nullptr);
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    // The server's three ends stay open in it; the worksheet's ends are close-on-exec.  The
    // server runs in a process group of its own: a terminal's interrupt key reaches the
    // worksheet, not the server (interrupts travel on the exception pipe).
    const int inherit[3] = {request.fd[0], result.fd[1], exception.fd[0]};
    pid_t pid = -1;
    int rc = proc_spawn(&pid, argv.data(), envp.data(), inherit, 3);
    if (rc != 0) {
        setDead(KL_ERR_START, unsigned(rc), "unable to start server process %s: %s",
                connectInfo_.serverCommand->c_str(), std::strerror(rc));
        return;
    }
    pid_ = pid;
    // request.fd[0], result.fd[1] and exception.fd[0] close with the pairs: only the server
    // holds them now.
    resultRead_ = result.take(0);
    requestWrite_ = request.take(1);
    exceptionWrite_ = exception.take(1);
    setState(KL_IDLE);
    kl_log("Connected Server\n");
}

KL_PipeServer::~KL_PipeServer() {
    close_fd(resultRead_, "Can't close read pipe\n");
    close_fd(requestWrite_, "Can't close write pipe\n");
    if (exceptionWrite_ >= 0) {
        unsigned char stop = 0x00;
        int err = 0;
        proc_write_all(exceptionWrite_, &stop, 1, &err);
        close_fd(exceptionWrite_, "Can't close exception pipe\n");
    }
    kl_log("~PipeServer: Attempted to kill server\n");
    if (pid_ > 0 && !reaped_) proc_reap_later(pid_);
}

bool KL_PipeServer::havePipes() {
    if (resultRead_ >= 0 && requestWrite_ >= 0) return true;
    if (state() != KL_DEAD) setDead(KL_ERR_START, 0, "no kernel server command was given");
    return false;
}

void KL_PipeServer::serverLost(int systemError) {
    if (state() == KL_DEAD) return;
    int status = 0;
    bool ended = false;
    if (pid_ > 0 && !reaped_) {
        // The pipe closes while the server exits, a moment before it can be reaped.
        for (int i = 0; i < 100 && !ended; ++i) {
            int r = proc_try_wait(pid_, &status);
            if (r == 1) ended = true;
            else if (r < 0) break;
            else proc_sleep_ms(10);
        }
        reaped_ = ended;
    }
    if (ended && WIFEXITED(status)) {
        int code = WEXITSTATUS(status);
        if (code == 0)
            setDead(KL_ERR_OS, unsigned(systemError ? systemError : EPIPE), "the kernel server ended");
        else if ((code & 0xF) == KL_ERR_INIT)
            setDead(KL_ERR_INIT, unsigned(code >> 4),
                    "initialization encountered errors, possible library problem (the kernel did not start)");
        else
            setDead((code & 0xF) != 0 ? (code & 0xF) : KL_ERR_OS, unsigned(code >> 4),
                    "the kernel server ended with exit status %d", code);
    } else if (ended && WIFSIGNALED(status)) {
        int sig = WTERMSIG(status);
        setDead(KL_ERR_OS, unsigned(sig), "the kernel server was killed by signal %d (%s)", sig, ::strsignal(sig));
    } else {
        int err = systemError ? systemError : EPIPE;
        setDead(KL_ERR_OS, unsigned(err), "lost the connection to the kernel server: %s", std::strerror(err));
    }
}

int KL_PipeServer::interrupt() {
    if (exceptionWrite_ < 0) return 0;
    unsigned char one = '1';
    int err = 0;
    if (proc_write_all(exceptionWrite_, &one, 1, &err) == 1) return 0;
    osError_ = unsigned(err);
    kl_log("Error writing exception pipe: %d\n", int(osError_));
    return int(osError_);
}

int KL_PipeServer::getServerStatus() {
    if (state() == KL_DEAD) return 4;
    if (readBuffer_.available() > 0) return 1;
    if (!havePipes()) return 4;
    struct pollfd p = {resultRead_, POLLIN, 0};
    int r = proc_poll(&p, 1, 0);
    if (r < 0) {
        if (errno == EINTR) return 0;
        int err = errno;
        kl_log("getServerStatus: error %d on pipe\n", err);
        serverLost(err);
        return 4;
    }
    if (p.revents & POLLIN) {
        int waiting = 0;
        if (proc_bytes_waiting(resultRead_, &waiting) == 0 && waiting > 0) return 1;
    }
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        serverLost(EPIPE);
        return 4;
    }
    return 0;
}

int KL_PipeServer::readByte() {
    if (state() == KL_DEAD) return -1;
    if (readBuffer_.available() > 0) return readBuffer_.get();
    readBuffer_.reset();
    if (!havePipes()) return -1;
    int waiting = 0;
    if (int err = proc_bytes_waiting(resultRead_, &waiting); err != 0) {
        kl_log("Error Peeking at pipe; status %d\n", err);
        serverLost(err);
        return -1;
    }
    int want = waiting <= 0 ? 1 : (waiting > readBuffer_.size() ? readBuffer_.size() : waiting);
    long n = proc_read(resultRead_, readBuffer_.writeSpace(), std::size_t(want));
    if (n < 0) {
        int err = errno;
        kl_log("Error reading pipe; status %d\n", err);
        serverLost(err);
        return -1;
    }
    if (n == 0) {
        serverLost(0);
        return -1;
    }
    readBuffer_.commit(int(n));
    return readBuffer_.get();
}

int KL_PipeServer::write(const unsigned char* bytes, int count) {
    if (state() == KL_DEAD) return -1;
    return writer_->write(bytes, count);
}

long KL_PipeServer::writeRaw(const unsigned char* bytes, long count) {
    osError_ = 0;
    if (state() == KL_DEAD) return -1;
    if (!havePipes()) return -1;
    int err = 0;
    if (proc_write_all(requestWrite_, bytes, count, &err) == count) return count;
    kl_log("Error writing pipe: %d\n", err);
    serverLost(err);
    return -1;
}

Dag KL_PipeServer::readDAG() {
    Dag d = KL_Link::readDAG();
    if (d == nullptr && state() != KL_DEAD)
        setDead(KL_ERR_OS, unsigned(EPROTO), "the kernel server sent a reply that cannot be read");
    return d;
}
