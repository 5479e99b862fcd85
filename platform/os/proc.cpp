// Processes, pipes and descriptors over POSIX.

#include "platform/os/proc.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <vector>

extern char** environ;

int proc_pipe(int fds[2], bool nonblocking) {
    int made[2];
    if (::pipe2(made, O_CLOEXEC | (nonblocking ? O_NONBLOCK : 0)) != 0) return errno;
    fds[0] = made[0];
    fds[1] = made[1];
    return 0;
}

namespace {

// Spawns with each pair's `from` dup2'ed onto `to` in the child (onto itself clears only the
// child's close-on-exec flag), in a process group of its own, with an empty signal mask and
// SIGPIPE, SIGINT and SIGTERM at their defaults.
int spawn(pid_t* pid, char* const argv[], char* const envp[], const ProcFdMap* map, int count) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int i = 0; i < count; ++i) posix_spawn_file_actions_adddup2(&actions, map[i].from, map[i].to);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = -1;
    int rc = ::posix_spawnp(&child, argv[0], &actions, &attr, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc == 0) *pid = child;
    return rc;
}

}  // namespace

long long proc_now_ms() {
    struct timespec ts = {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int proc_spawn(pid_t* pid, char* const argv[], char* const envp[], const int* inherit, int inheritCount) {
    std::vector<ProcFdMap> map;
    for (int i = 0; i < inheritCount; ++i) map.push_back({inherit[i], inherit[i]});
    return spawn(pid, argv, envp, map.data(), inheritCount);
}

int proc_spawn_mapped(pid_t* pid, char* const argv[], const ProcFdMap* map, int count) {
    if (argv == nullptr || argv[0] == nullptr || argv[0][0] == '\0') return ENOENT;
    // Copies of the sources above every target, so that no dup2 overwrites a source still due.
    int above = 0;
    for (int i = 0; i < count; ++i) above = map[i].to >= above ? map[i].to + 1 : above;
    std::vector<ProcFdMap> copies;
    int rc = 0;
    for (int i = 0; i < count && rc == 0; ++i) {
        int copy = ::fcntl(map[i].from, F_DUPFD_CLOEXEC, above);
        if (copy < 0) rc = errno;
        else copies.push_back({copy, map[i].to});
    }
    if (rc == 0) rc = spawn(pid, argv, environ, copies.data(), int(copies.size()));
    for (const ProcFdMap& c : copies) ::close(c.from);
    return rc;
}

bool proc_has_exited(pid_t pid) {
    siginfo_t info = {};
    if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return errno == ECHILD;
    return info.si_pid == pid;
}

bool proc_wait_for(pid_t pid, int timeoutMs) {
    long long deadline = proc_now_ms() + timeoutMs;
    // Polled in short steps: an end of a child has no descriptor to wait on here, and callers
    // wait for seconds at most, only while closing.
    for (;;) {
        int status;
        int r = proc_try_wait(pid, &status);
        if (r == 1 || (r < 0 && errno == ECHILD)) return true;
        long long left = deadline - proc_now_ms();
        if (left <= 0) return false;
        proc_sleep_ms(left < 10 ? int(left) : 10);
    }
}

void proc_kill_and_reap(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

long proc_write_nosignal(int fd, const void* bytes, std::size_t count) {
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    sigset_t pending;
    sigpending(&pending);
    bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    ssize_t n;
    do n = ::write(fd, bytes, count);
    while (n < 0 && errno == EINTR);
    int saved = errno;
    // A SIGPIPE pending before the write belongs to someone else and stays.
    if (n < 0 && saved == EPIPE && !wasPending) {
        struct timespec zero = {0, 0};
        while (::sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return long(n);
}

int proc_try_wait(pid_t pid, int* status) {
    for (;;) {
        pid_t r = ::waitpid(pid, status, WNOHANG);
        if (r == pid) return 1;
        if (r == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

void proc_reap_later(pid_t pid) {
    std::thread([pid] {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

bool proc_exists(pid_t pid) { return !(::kill(pid, 0) == -1 && errno == ESRCH); }

pid_t proc_self() { return ::getpid(); }

pid_t proc_parent() { return ::getppid(); }

void proc_ignore_sigpipe() { ::signal(SIGPIPE, SIG_IGN); }

int proc_poll(struct pollfd* fds, int count, int timeoutMs) { return ::poll(fds, nfds_t(count), timeoutMs); }

int proc_bytes_waiting(int fd, int* count) {
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) != 0) return errno;
    *count = waiting;
    return 0;
}

long proc_read(int fd, void* buffer, std::size_t size) {
    ssize_t n;
    do n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    return long(n);
}

long proc_write_all(int fd, const void* bytes, long count, int* error) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    long done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, p + done, std::size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (error != nullptr) *error = n < 0 ? errno : EPIPE;
            return -1;
        }
        done += n;
    }
    return count;
}

int proc_close(int fd) {
    if (fd < 0) return 0;
    return ::close(fd) == 0 ? 0 : errno;
}

bool proc_is_pipe(int fd) {
    struct stat st;
    return fd >= 0 && ::fcntl(fd, F_GETFD) != -1 && ::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
}

int proc_set_cloexec(int fd) { return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0 ? 0 : errno; }

void proc_sleep_ms(int ms) {
    struct timespec ts = {ms / 1000, long(ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

bool proc_start_detached(void* (*fn)(void*), void* arg, std::size_t stackBytes) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    std::size_t stack = stackBytes < std::size_t(PTHREAD_STACK_MIN) ? std::size_t(PTHREAD_STACK_MIN) : stackBytes;
    pthread_attr_setstacksize(&attr, stack);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t t;
    int rc = ::pthread_create(&t, &attr, fn, arg);
    pthread_attr_destroy(&attr);
    return rc == 0;
}
