// Child processes over POSIX: posix_spawn with descriptor mapping, waitid without reaping, and
// writes that keep SIGPIPE away from the caller.

#include "platform/os/child.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool child_pipe(int fd[2]) { return ::pipe2(fd, O_CLOEXEC) == 0; }

pid_t child_spawn(const std::vector<const char*>& argv, const std::vector<std::pair<int, int>>& fds) {
    if (argv.empty() || argv[0] == nullptr || argv[0][0] == '\0') {
        errno = ENOENT;
        return -1;
    }
    std::vector<char*> args;
    for (const char* a : argv) args.push_back(const_cast<char*>(a));
    args.push_back(nullptr);

    // A source that is also some pair's target could be overwritten before it is read: each
    // source is first copied above every target, and the copies are mapped.
    int above = 0;
    for (const auto& p : fds) above = p.second >= above ? p.second + 1 : above;
    std::vector<int> copies;
    for (const auto& p : fds) {
        int copy = ::fcntl(p.first, F_DUPFD_CLOEXEC, above);
        if (copy < 0) {
            int saved = errno;
            for (int c : copies) ::close(c);
            errno = saved;
            return -1;
        }
        copies.push_back(copy);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (size_t i = 0; i < fds.size(); ++i) posix_spawn_file_actions_adddup2(&actions, copies[i], fds[i].second);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    int rc = ::posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    for (int c : copies) ::close(c);
    if (rc != 0) {
        errno = rc;
        return -1;
    }
    return pid;
}

bool child_has_exited(pid_t pid) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno == ECHILD;  // already reaped, or not ours
    return info.si_pid == pid;
}

namespace {

long long now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool reap(pid_t pid, int flags) {
    int status = 0;
    for (;;) {
        pid_t r = ::waitpid(pid, &status, flags);
        if (r == pid) return true;
        if (r < 0 && errno == EINTR) continue;
        return r < 0 && errno == ECHILD;
    }
}

}  // namespace

bool child_wait_for(pid_t pid, int timeoutMs) {
    long long deadline = now_ms() + timeoutMs;
    // Polled in short steps: a child's end has no descriptor to wait on without pidfd, and the
    // callers wait for seconds at most, only while closing.
    for (;;) {
        if (reap(pid, WNOHANG)) return true;
        long long left = deadline - now_ms();
        if (left <= 0) return false;
        ::poll(nullptr, 0, static_cast<int>(left < 10 ? left : 10));
    }
}

void child_kill_and_reap(pid_t pid) {
    ::kill(pid, SIGKILL);
    reap(pid, 0);
}

ssize_t child_write(int fd, const void* data, size_t n) {
    // SIGPIPE is blocked for this thread during the write; a SIGPIPE the write raised is then
    // pending and taken off again, unless one was pending before (it belongs to someone else).
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    sigset_t pending;
    sigpending(&pending);
    bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    ssize_t r;
    do {
        r = ::write(fd, data, n);
    } while (r < 0 && errno == EINTR);
    int saved = errno;
    if (r < 0 && saved == EPIPE && !wasPending) {
        timespec zero{};
        while (::sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return r;
}
