// Long library calls in a forked child (kernel_child.h).
//
// The text a child writes for kernel_compute (first byte the kind):
//   E<message>                 the work raised KError (or another error) with that message
//   T<message>                 the work raised a KError already tagged with its procedure
//   I<digits>                  an integer in hexadecimal, signed (linear both ways, where the
//                              decimal digits of an archive take CLN quadratic time)
//   A<archive>                 any other value, as GiNaC writes an archive of it (name "v")

#include "kernel_child.h"

#include <gmp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <sstream>

#include <cln/integer_io.h>

#include "KInterpreter.h"

using namespace GiNaC;

namespace {

// A child process with the read end of its output pipe; killed and reaped when dropped.
class Child {
public:
    Child(pid_t pid, int fd) : pid_(pid), fd_(fd) {}
    ~Child() {
        if (fd_ >= 0) close(fd_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            int status;
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    int fd() const { return fd_; }
    // Waits for the child's end; true when it exited normally with status 0.
    bool reap() {
        int status = 0;
        pid_t r;
        while ((r = waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {}
        pid_ = -1;
        return r > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_;
    int fd_;
};

void write_all(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(1);
        p += n;
        left -= std::size_t(n);
    }
}

std::string hex_text(const cln::cl_I& n) {
    std::ostringstream out;
    cln::print_integer(out, 16, n);
    return out.str();
}

cln::cl_I hex_integer(const std::string& text) {
    if (text.empty() || text == "-") throw KError("a result did not come back whole");
    const bool negative = text[0] == '-';
    const std::size_t start = negative ? 1 : 0;
    for (std::size_t i = start; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) throw KError("a result did not come back whole");
    return cln::read_integer(16, negative ? -1 : 0, text.c_str(), start, text.size());
}

std::string value_text(const ex& v) {
    if (is_a<numeric>(v) && ex_to<numeric>(v).is_integer())
        return "I" + hex_text(cln::the<cln::cl_I>(ex_to<numeric>(v).to_cl_N()));
    archive ar;
    ar.archive_ex(v, "v");
    std::ostringstream out;
    out << ar;
    return "A" + out.str();
}

// The names of e, for matching those of an archive.
void names_of(const ex& e, std::set<ex, ex_is_less>* out) {
    if (is_a<symbol>(e)) {
        out->insert(e);
        return;
    }
    for (std::size_t i = 0; i < e.nops(); ++i) names_of(e.op(i), out);
}

// The value a child wrote; nullopt when it cannot be read back.
std::optional<ex> read_value(const std::string& text, const ex& inputs) {
    if (text.empty()) return std::nullopt;
    if (text[0] == 'E' || text[0] == 'T') throw KError(text.substr(1), text[0] == 'T');
    try {
        if (text[0] == 'I') return ex(numeric(hex_integer(text.substr(1))));
        if (text[0] == 'A') {
            std::set<ex, ex_is_less> names;
            names_of(inputs, &names);
            lst known;
            for (const ex& n : names) known.append(n);
            archive ar;
            std::istringstream in(text.substr(1));
            in >> ar;
            if (!in) return std::nullopt;
            return ar.unarchive_ex(known, "v");
        }
    } catch (const KError&) {
        return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> kernel_run_in_child(const std::function<std::string()>& work, const char* what) {
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        // The child never polls: the link belongs to the kernel's process.  GMP gets its own
        // allocation functions back, which end the child on a failure (the exit is seen).
        close(fds[0]);
        KLibraryPollPause pause;
        mp_set_memory_functions(nullptr, nullptr, nullptr);
        std::string text;
        try {
            text = work();
        } catch (...) {
            _exit(1);
        }
        write_all(fds[1], text);
        _exit(0);
    }
    close(fds[1]);
    Child child(pid, fds[0]);
    const std::string failed = std::string(what) + " failed: ";
    std::string text;
    char buffer[65536];
    for (;;) {
        pollfd pfd{child.fd(), POLLIN, 0};
        int ready = ::poll(&pfd, 1, int(KInterpreter::POLL_INTERVAL.count()));
        kernel_step_running();
        if (ready < 0 && errno != EINTR) throw KError(failed + strerror(errno));
        if (ready <= 0) continue;
        ssize_t n = read(child.fd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw KError(failed + strerror(errno));
        if (n == 0) break;
        text.append(buffer, std::size_t(n));
    }
    if (!child.reap()) throw KError(failed + "out of memory");
    return text;
}

GiNaC::ex kernel_compute(bool large, const GiNaC::ex& inputs, const std::function<GiNaC::ex()>& work) {
    if (!large) return work();
    std::optional<std::string> text = kernel_run_in_child(
        [&]() -> std::string {
            try {
                return value_text(work());
            } catch (const KError& e) {
                return std::string(e.tagged ? "T" : "E") + e.what();
            } catch (const std::bad_alloc&) {
                return "Eobject too large";
            } catch (const std::exception& e) {
                return std::string("E") + e.what();
            }
        },
        "computation");
    if (text) {
        if (std::optional<ex> v = read_value(*text, inputs)) return *v;
    }
    return work();
}
