// The engine calls over an Octave child process.
//
// Descriptors of the child:
//   0  commands (our `cmd` writes)
//   1, 2  output and errors on one pipe (our `out` reads), so text arrives in the order written
//   3  array data to the child (our `putW` writes; `putR`, a copy of the child's end, lets us
//      drain bytes a failed transfer left)
//   4  array data from the child (our `getR` reads)
//
// Each call sends one command line and then pumps: writes the command (and array bytes) while
// reading the output, until the marker line arrives.  Every descriptor of ours is non-blocking
// and the loop watches the child itself, so a child that dies, exits or stops reading makes the
// call fail instead of hang, even when a grandchild still holds its output pipe.
//
// States: open (answers calls) -> broken (the child is gone or a pipe broke: every call fails at
// once) -> closed (engClose: reaped and freed).

#include "platform/matlab/engine.h"

#include "platform/matlab/mx_array.h"
#include "platform/matlab/octave_text.h"
#include "platform/os/proc.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/random.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

constexpr int kOpenTimeoutMs = 30000;
constexpr int kCloseTimeoutMs = 5000;
// How often a waiting call looks whether the child still lives.
constexpr int kWatchMs = 20;
// The size asked for the array data pipes.
constexpr int kDataPipeBytes = 1 << 20;
// The largest number of extents a transfer accepts from the child.
constexpr long long kMaxDims = 64;

// Helper functions defined in the engine at start: they move arrays through descriptors 3 and 4
// in their own scope, so the user's workspace gains nothing but the variables named.
//   put: the column-major doubles of the real part, then of the imaginary part, little-endian.
//   get: int64 words, status (0 none, 1 array), then the number of extents, the complex flag and
//        the extents; then the doubles as for put.
const char* const kHelpers =
    "function kelvo_put__(n, d, c)\n"
    "  f = fopen('/dev/fd/3', 'r');\n"
    "  k = prod(d);\n"
    "  v = fread(f, k, 'double', 0, 'ieee-le');\n"
    "  if c\n"
    "    v = complex(v, fread(f, k, 'double', 0, 'ieee-le'));\n"
    "  end\n"
    "  fclose(f);\n"
    "  assignin('base', n, reshape(v, d));\n"
    "end\n"
    "function kelvo_get__(n)\n"
    "  f = fopen('/dev/fd/4', 'w');\n"
    "  ok = evalin('base', ['exist(''' n ''', ''var'')']) == 1;\n"
    "  if ok\n"
    "    v = evalin('base', n);\n"
    "    ok = isnumeric(v) || islogical(v) || ischar(v);\n"
    "  end\n"
    "  if ~ok\n"
    "    fwrite(f, 0, 'int64', 0, 'ieee-le');\n"
    "    fclose(f);\n"
    "    return;\n"
    "  end\n"
    "  v = full(double(v));\n"
    "  d = size(v);\n"
    "  c = ~isreal(v);\n"
    "  fwrite(f, [1 numel(d) c d], 'int64', 0, 'ieee-le');\n"
    "  fwrite(f, real(v), 'double', 0, 'ieee-le');\n"
    "  if c\n"
    "    fwrite(f, imag(v), 'double', 0, 'ieee-le');\n"
    "  end\n"
    "  fclose(f);\n"
    "end\n";

std::string random_token() {
    unsigned char bytes[12] = {};
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t r = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
    }
    if (got < sizeof bytes) {
        // No random source: the clock and the process keep tokens of engines apart.
        long long seed = proc_now_ms() ^ (static_cast<long long>(::getpid()) << 20);
        std::memcpy(bytes, &seed, sizeof seed);
    }
    static const char hex[] = "0123456789abcdef";
    std::string token = "KLVMARK";
    for (unsigned char b : bytes) {
        token += hex[b >> 4];
        token += hex[b & 15];
    }
    return token;
}

void close_fd(int& fd) {
    proc_close(fd);
    fd = -1;
}

bool set_nonblocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Reads and drops what a descriptor holds now.
void drain(int fd) {
    char scratch[65536];
    while (fd >= 0) {
        ssize_t r = ::read(fd, scratch, sizeof scratch);
        if (r > 0) continue;
        if (r < 0 && errno == EINTR) continue;
        break;
    }
}

// Takes the array bytes kelvo_get__ writes, checking every announced number before anything is
// allocated.  Once it has failed it keeps reading and dropping bytes, so the child never blocks.
class ArrayReader {
public:
    void feed(const char* data, size_t n) {
        while (n > 0 && !failed_) {
            if (!array_) {
                size_t take = std::min(n, sizeof(int64_t) - partial_);
                std::memcpy(word_ + partial_, data, take);
                partial_ += take;
                data += take;
                n -= take;
                if (partial_ == sizeof(int64_t)) {
                    partial_ = 0;
                    int64_t w;
                    std::memcpy(&w, word_, sizeof w);
                    header(w);
                }
                continue;
            }
            size_t left = total_ - received_;
            if (left == 0) {
                failed_ = true;  // more bytes than announced
                break;
            }
            size_t take = std::min(n, left);
            copy(data, take);
            data += take;
            n -= take;
        }
    }

    bool failed() const { return failed_; }
    // True once every announced byte arrived (or the child announced no array).
    bool complete() const { return !failed_ && (none_ || (array_ && received_ == total_)); }
    bool none() const { return none_; }
    std::unique_ptr<KelvoMxArray> take() { return std::move(array_); }

private:
    // Header words: status, number of extents, complex flag, extents.
    void header(int64_t w) {
        words_.push_back(w);
        if (words_[0] == 0 && words_.size() == 1) {
            none_ = true;
            return;
        }
        if (none_ || words_[0] != 1) {
            failed_ = true;
            return;
        }
        if (words_.size() < 3) return;
        int64_t ndim = words_[1];
        if (ndim < 2 || ndim > kMaxDims || (words_[2] != 0 && words_[2] != 1)) {
            failed_ = true;
            return;
        }
        if (static_cast<int64_t>(words_.size()) < 3 + ndim) return;
        std::vector<int> dims;
        for (int64_t i = 0; i < ndim; ++i) {
            int64_t d = words_[3 + i];
            if (d < 0 || d > INT_MAX) {
                failed_ = true;
                return;
            }
            dims.push_back(static_cast<int>(d));
        }
        array_ = mateng::make_array(dims.data(), static_cast<int>(ndim), words_[2] == 1);
        if (!array_) {
            failed_ = true;
            return;
        }
        part_ = array_->count * sizeof(double);
        total_ = part_ * (array_->im ? 2 : 1);
    }

    double* target() { return received_ < part_ ? array_->re.get() : array_->im.get(); }

    void copy(const char* data, size_t n) {
        while (n > 0) {
            size_t inPart = received_ % (part_ ? part_ : 1);
            size_t room = part_ - inPart;
            size_t take = std::min(n, room);
            std::memcpy(reinterpret_cast<char*>(target()) + inPart, data, take);
            received_ += take;
            data += take;
            n -= take;
        }
    }

    char word_[sizeof(int64_t)] = {};
    size_t partial_ = 0;
    std::vector<int64_t> words_;
    bool none_ = false;
    bool failed_ = false;
    std::unique_ptr<KelvoMxArray> array_;
    size_t part_ = 0;
    size_t total_ = 0;
    size_t received_ = 0;
};

}  // namespace

struct KelvoEngine {
    pid_t pid = -1;
    int cmd = -1;
    int out = -1;
    int putW = -1;
    int putR = -1;
    int getR = -1;
    std::string token;
    char* buffer = nullptr;
    int size = 0;
    bool broken = false;

    ~KelvoEngine() {
        close_fd(cmd);
        close_fd(out);
        close_fd(putW);
        close_fd(putR);
        close_fd(getR);
    }

    // Marks the engine broken; its child is reaped by engClose (or at once when the engine
    // never opened).
    void breakDown() { broken = true; }

    // One exchange: writes `command` (and the `put` bytes to descriptor 3) while reading the
    // output into `scan` and the bytes of descriptor 4 into `get`, until the marker arrives.
    // False when the engine broke (or timeoutMs passed, when not negative).
    bool pump(const std::string& command, const char* put, size_t putLength, ArrayReader* get,
              mateng::MarkerScanner& scan, int timeoutMs) {
        long long deadline = timeoutMs >= 0 ? proc_now_ms() + timeoutMs : 0;
        size_t cmdDone = 0, putDone = 0;
        char chunk[65536];
        while (!scan.done()) {
            pollfd fds[4];
            int nfds = 0;
            fds[nfds++] = {out, POLLIN, 0};
            int cmdAt = -1, putAt = -1, getAt = -1;
            if (cmdDone < command.size()) {
                cmdAt = nfds;
                fds[nfds++] = {cmd, POLLOUT, 0};
            }
            if (putDone < putLength) {
                putAt = nfds;
                fds[nfds++] = {putW, POLLOUT, 0};
            }
            if (get) {
                getAt = nfds;
                fds[nfds++] = {getR, POLLIN, 0};
            }
            int ready = ::poll(fds, static_cast<nfds_t>(nfds), kWatchMs);
            if (ready < 0 && errno != EINTR) return false;
            if (ready > 0) {
                if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                    ssize_t r = ::read(out, chunk, sizeof chunk);
                    if (r == 0) return false;  // the child closed its output
                    if (r > 0) scan.feed(chunk, static_cast<size_t>(r));
                    else if (errno != EAGAIN && errno != EINTR) return false;
                }
                if (cmdAt >= 0 && fds[cmdAt].revents) {
                    ssize_t w = proc_write_nosignal(cmd, command.data() + cmdDone, command.size() - cmdDone);
                    if (w > 0) cmdDone += static_cast<size_t>(w);
                    else if (w < 0 && errno != EAGAIN) return false;
                }
                if (putAt >= 0 && fds[putAt].revents) {
                    ssize_t w = proc_write_nosignal(putW, put + putDone, putLength - putDone);
                    if (w > 0) putDone += static_cast<size_t>(w);
                    else if (w < 0 && errno != EAGAIN) return false;
                }
                if (getAt >= 0 && (fds[getAt].revents & (POLLIN | POLLHUP))) {
                    ssize_t r = ::read(getR, chunk, sizeof chunk);
                    if (r > 0) get->feed(chunk, static_cast<size_t>(r));
                    else if (r == 0 || (errno != EAGAIN && errno != EINTR)) return false;
                }
            }
            if (scan.done()) break;
            if (proc_has_exited(pid)) return false;
            if (timeoutMs >= 0 && proc_now_ms() > deadline) return false;
        }
        // The child printed the marker after its last data write: what is left of the array
        // bytes is in the pipe now.
        if (get) {
            for (;;) {
                ssize_t r = ::read(getR, chunk, sizeof chunk);
                if (r > 0) get->feed(chunk, static_cast<size_t>(r));
                else if (r < 0 && errno == EINTR) continue;
                else break;
            }
        }
        // Bytes of a transfer the child gave up on must not reach the next one.
        if (putDone < putLength) drain(putR);
        return cmdDone == command.size();
    }

    // Runs `body` in the engine, then prints the marker with the status digit 0 when it raised
    // no error and 1 when it did; `report` prints a caught error as Octave prints an uncaught
    // one.  False when the engine broke.
    bool exchange(const std::string& body, bool report, const char* put, size_t putLength, ArrayReader* get,
                  mateng::MarkerScanner& scan, int timeoutMs = -1) {
        if (broken) return false;
        const std::string flush = "fflush(stdout); fflush(stderr); ";
        std::string line = "try, " + body + "; " + flush + "fprintf('%s0\\n', '" + token +
                           "'); catch, ";
        if (report) line += "fflush(stdout); fprintf('error: %s\\n', lasterr()); ";
        line += flush + "fprintf('%s1\\n', '" + token + "'); end; fflush(stdout);\n";
        if (!pump(line, put, putLength, get, scan, timeoutMs)) {
            breakDown();
            return false;
        }
        return true;
    }
};

extern "C" {

Engine* engOpen(const char* startcmd) {
    std::string program = "octave-cli";
    if (startcmd && *startcmd) {
        program = startcmd;
    } else if (const char* env = std::getenv("KELVO_OCTAVE"); env && *env) {
        program = env;
    }
    auto engine = std::make_unique<KelvoEngine>();
    int cmdPipe[2], outPipe[2], putPipe[2], getPipe[2];
    if (proc_pipe(cmdPipe) != 0) return nullptr;
    engine->cmd = cmdPipe[1];
    int childIn = cmdPipe[0];
    if (proc_pipe(outPipe) != 0) {
        ::close(childIn);
        return nullptr;
    }
    engine->out = outPipe[0];
    int childOut = outPipe[1];
    int childPut = -1, childGet = -1;
    if (proc_pipe(putPipe) == 0) {
        engine->putR = putPipe[0];
        engine->putW = putPipe[1];
        childPut = ::fcntl(putPipe[0], F_DUPFD_CLOEXEC, 0);
    }
    if (proc_pipe(getPipe) == 0) {
        engine->getR = getPipe[0];
        childGet = getPipe[1];
    }
    pid_t pid = -1;
    if (childPut >= 0 && childGet >= 0) {
        const char* argv[] = {program.c_str(), "--quiet", "--norc", "--no-history", "--no-line-editing",
                              "--no-window-system", nullptr};
        const ProcFdMap map[] = {{childIn, 0}, {childOut, 1}, {childOut, 2}, {childPut, 3}, {childGet, 4}};
        if (proc_spawn_mapped(&pid, const_cast<char* const*>(argv), map, 5) != 0) pid = -1;
    }
    for (int fd : {childIn, childOut, childPut, childGet})
        if (fd >= 0) ::close(fd);
    if (pid < 0) return nullptr;
    engine->pid = pid;
    engine->token = random_token();
    // Larger data pipes cut the switches between the two processes on a big transfer (the
    // system may grant less; the default 64 KiB works, only slower).
    for (int fd : {engine->putW, engine->getR}) ::fcntl(fd, F_SETPIPE_SZ, kDataPipeBytes);
    for (int fd : {engine->cmd, engine->out, engine->putW, engine->putR, engine->getR})
        if (!set_nonblocking(fd)) {
            proc_kill_and_reap(pid);
            return nullptr;
        }
    mateng::MarkerScanner scan(engine->token, 0);
    // Defining the helpers is the first exchange: its marker shows that the engine reads and
    // runs commands.
    if (!engine->exchange("eval(" + mateng::string_literal(kHelpers) + ")", false, nullptr, 0, nullptr, scan,
                          kOpenTimeoutMs) ||
        scan.status() != '0') {
        proc_kill_and_reap(pid);
        return nullptr;
    }
    return engine.release();
}

int engClose(Engine* ep) {
    if (!ep) return 1;
    if (!ep->broken && !proc_has_exited(ep->pid)) proc_write_nosignal(ep->cmd, "exit\n", 5);
    // End of input ends Octave too, should the exit line not have reached it.
    close_fd(ep->cmd);
    if (!proc_wait_for(ep->pid, kCloseTimeoutMs)) proc_kill_and_reap(ep->pid);
    delete ep;
    return 0;
}

int engOutputBuffer(Engine* ep, char* buffer, int size) {
    if (!ep) return 1;
    if (!buffer || size <= 0) {
        ep->buffer = nullptr;
        ep->size = 0;
    } else {
        ep->buffer = buffer;
        ep->size = size;
    }
    return 0;
}

int engEvalString(Engine* ep, const char* command) {
    if (!ep || !command) return 1;
    const std::string prompt = ">> ";
    size_t keep = 0;
    if (ep->buffer) keep = static_cast<size_t>(ep->size - 1);
    mateng::MarkerScanner scan(ep->token, keep > prompt.size() ? keep - prompt.size() : 0);
    bool ok = ep->exchange("eval(" + mateng::string_literal(command) + ")", true, nullptr, 0, nullptr, scan);
    if (ep->buffer) {
        std::string text = prompt + scan.captured();
        size_t n = std::min(text.size(), keep);
        std::memcpy(ep->buffer, text.data(), n);
        ep->buffer[n] = '\0';
    }
    return ok ? 0 : 1;
}

int engPutArray(Engine* ep, const mxArray* array) {
    if (!ep || !array || !mateng::is_identifier(array->name.c_str())) return 1;
    std::string dims = "[";
    for (size_t i = 0; i < array->dims.size(); ++i) dims += (i ? " " : "") + std::to_string(array->dims[i]);
    dims += "]";
    // The parts go as one run of bytes: real, then imaginary.
    size_t part = array->count * sizeof(double);
    std::string bytes(reinterpret_cast<const char*>(array->re.get()), part);
    if (array->im) bytes.append(reinterpret_cast<const char*>(array->im.get()), part);
    static_assert(sizeof(double) == 8, "doubles travel as IEEE binary64");
    mateng::MarkerScanner scan(ep->token, 0);
    std::string body = "kelvo_put__('" + array->name + "', " + dims + ", " + (array->im ? "true" : "false") + ")";
    if (!ep->exchange(body, false, bytes.data(), bytes.size(), nullptr, scan)) return 1;
    return scan.status() == '0' ? 0 : 1;
}

mxArray* engGetArray(Engine* ep, const char* name) {
    if (!ep || !mateng::is_identifier(name)) return nullptr;
    ArrayReader reader;
    mateng::MarkerScanner scan(ep->token, 0);
    std::string body = std::string("kelvo_get__('") + name + "')";
    if (!ep->exchange(body, false, nullptr, 0, &reader, scan)) return nullptr;
    if (scan.status() != '0' || !reader.complete() || reader.none()) {
        drain(ep->getR);
        return nullptr;
    }
    return reader.take().release();
}

}  // extern "C"
