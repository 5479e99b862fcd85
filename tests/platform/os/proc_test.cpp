// Tests of the process, pipe and dynamic-library layer.
#include "platform/os/proc.h"

#include "platform/os/dynlib.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() { EXPECT_EQ(proc_pipe(fd), 0); }
    ~Pipe() {
        proc_close(fd[0]);
        proc_close(fd[1]);
    }
    void closeEnd(int i) {
        proc_close(fd[i]);
        fd[i] = -1;
    }
};

// Reads until the end of the pipe (every writer gone).
std::string readAll(int fd) {
    std::string text;
    char buffer[256];
    for (long n; (n = proc_read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
    return text;
}

// Runs `sh -c script` with the given descriptors inherited and answers its exit status.
int runShell(const std::string& script, const std::vector<int>& inherit, pid_t* pidOut = nullptr) {
    std::string sh = "sh", c = "-c", body = script;
    char* argv[] = {sh.data(), c.data(), body.data(), nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -1;
    int rc = proc_spawn(&pid, argv, envp, inherit.data(), int(inherit.size()));
    EXPECT_EQ(rc, 0);
    if (rc != 0) return -1;
    if (pidOut != nullptr) *pidOut = pid;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ProcTest, PipeEndsAreCloseOnExecAndOptionallyNonBlocking) {
    for (bool nonblocking : {false, true}) {
        int fd[2] = {-1, -1};
        ASSERT_EQ(proc_pipe(fd, nonblocking), 0);
        for (int end : fd) {
            EXPECT_TRUE(::fcntl(end, F_GETFD) & FD_CLOEXEC);
            EXPECT_EQ((::fcntl(end, F_GETFL) & O_NONBLOCK) != 0, nonblocking);
            EXPECT_TRUE(proc_is_pipe(end));
        }
        char b;
        if (nonblocking) {
            // Nothing written: a non-blocking read answers at once instead of waiting.
            EXPECT_EQ(proc_read(fd[0], &b, 1), -1);
            EXPECT_EQ(errno, EAGAIN);
        }
        proc_close(fd[0]);
        proc_close(fd[1]);
    }
}

TEST(ProcTest, SpawnKeepsOnlyTheInheritedDescriptors) {
    Pipe kept, notKept;
    // The child reports, on the inherited pipe, which of the two write ends it holds.
    std::string script = "for f in " + std::to_string(kept.fd[1]) + " " + std::to_string(notKept.fd[1]) +
                         "; do if [ -e /proc/self/fd/$f ]; then printf 1 >&" + std::to_string(kept.fd[1]) +
                         "; else printf 0 >&" + std::to_string(kept.fd[1]) + "; fi; done";
    EXPECT_EQ(runShell(script, {kept.fd[1]}), 0);
    kept.closeEnd(1);
    EXPECT_EQ(readAll(kept.fd[0]), "10");
    // The parent's descriptor itself stays close-on-exec.
    EXPECT_TRUE(::fcntl(notKept.fd[1], F_GETFD) & FD_CLOEXEC);
}

TEST(ProcTest, SpawnResetsSignalsAndStartsAProcessGroup) {
    Pipe out;
    pid_t pid = -1;
    // The parent ignores SIGPIPE; the child must not inherit that.  The child prints its
    // process group, its own id and the mask of ignored signals of a program it runs.
    proc_ignore_sigpipe();
    std::string w = std::to_string(out.fd[1]);
    EXPECT_EQ(runShell("cut -d' ' -f5 /proc/$$/stat >&" + w + "; echo $$ >&" + w +
                           "; grep SigIgn /proc/self/status | cut -f2 >&" + w,
                       {out.fd[1]}, &pid),
              0);
    out.closeEnd(1);
    std::string text = readAll(out.fd[0]);
    int pgid = -1, self = -2;
    unsigned long long ignored = ~0ull;
    ASSERT_EQ(std::sscanf(text.c_str(), "%d %d %llx", &pgid, &self, &ignored), 3) << text;
    EXPECT_EQ(pgid, self);
    EXPECT_EQ(self, int(pid));
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u) << text;
    // Later tests of this process expect the default again.
    std::signal(SIGPIPE, SIG_DFL);
}

TEST(ProcTest, SpawnOfAMissingProgramFailsWithItsReason) {
    std::string name = "/nonexistent/kelvo-no-such-program";
    char* argv[] = {name.data(), nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -7;
    EXPECT_EQ(proc_spawn(&pid, argv, envp, nullptr, 0), ENOENT);
    EXPECT_EQ(pid, -7);
}

TEST(ProcTest, TryWaitSeesARunningThenAnEndedChild) {
    Pipe gate;
    std::string script = "read x <&" + std::to_string(gate.fd[0]) + "; exit 3";
    std::string sh = "sh", c = "-c";
    char* argv[] = {sh.data(), c.data(), script.data(), nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -1;
    ASSERT_EQ(proc_spawn(&pid, argv, envp, &gate.fd[0], 1), 0);
    int status = 0;
    EXPECT_EQ(proc_try_wait(pid, &status), 0);   // blocked on the gate
    EXPECT_TRUE(proc_exists(pid));
    int err = 0;
    ASSERT_EQ(proc_write_all(gate.fd[1], "\n", 1, &err), 1);
    // Wait for the exit itself, then the non-blocking reap must find it.
    siginfo_t info;
    ASSERT_EQ(::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT), 0);
    ASSERT_EQ(proc_try_wait(pid, &status), 1);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(proc_try_wait(pid, &status), -1);   // already reaped
    EXPECT_EQ(errno, ECHILD);
}

TEST(ProcTest, ReadsWritesAndCountsWaitingBytes) {
    Pipe p;
    std::string data(5000, 'x');
    int err = 0;
    ASSERT_EQ(proc_write_all(p.fd[1], data.data(), long(data.size()), &err), long(data.size()));
    int waiting = -1;
    ASSERT_EQ(proc_bytes_waiting(p.fd[0], &waiting), 0);
    EXPECT_EQ(waiting, 5000);
    struct pollfd pf = {p.fd[0], POLLIN, 0};
    EXPECT_EQ(proc_poll(&pf, 1, 0), 1);
    p.closeEnd(1);
    EXPECT_EQ(readAll(p.fd[0]), data);
    EXPECT_EQ(proc_bytes_waiting(-1, &waiting), EBADF);
}

TEST(ProcTest, WriteToAPipeWithoutReaderFailsWithEpipe) {
    proc_ignore_sigpipe();
    Pipe p;
    p.closeEnd(0);
    int err = 0;
    EXPECT_EQ(proc_write_all(p.fd[1], "abc", 3, &err), -1);
    EXPECT_EQ(err, EPIPE);
}

TEST(ProcTest, IsPipeOnlyForOpenPipes) {
    Pipe p;
    int file = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    int closedFd = ::dup(file);
    ::close(closedFd);
    struct Row {
        const char* name;
        int fd;
        bool pipe;
    } rows[] = {{"read end", p.fd[0], true}, {"write end", p.fd[1], true}, {"device", file, false},
                {"closed", closedFd, false}, {"negative", -1, false}};
    for (const Row& r : rows) EXPECT_EQ(proc_is_pipe(r.fd), r.pipe) << r.name;
    ::close(file);
}

TEST(ProcTest, DetachedThreadRunsItsFunction) {
    Pipe p;
    // The thread writes one byte; the read waits for it.
    ASSERT_TRUE(proc_start_detached(
        [](void* a) -> void* {
            int err = 0;
            proc_write_all(*static_cast<int*>(a), "t", 1, &err);
            return nullptr;
        },
        &p.fd[1], 0));
    char b = 0;
    EXPECT_EQ(proc_read(p.fd[0], &b, 1), 1);
    EXPECT_EQ(b, 't');
}

TEST(DynlibTest, LoadsSymbolsAndReportsMissingLibraries) {
    std::string error;
    void* m = dynlib_open("libm.so.6", &error);
    ASSERT_NE(m, nullptr) << error;
    auto cosine = reinterpret_cast<double (*)(double)>(dynlib_symbol(m, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(dynlib_symbol(m, "kelvo_no_such_symbol"), nullptr);
    EXPECT_EQ(dynlib_symbol(nullptr, "cos"), nullptr);

    error.clear();
    EXPECT_EQ(dynlib_open("/nonexistent/libkelvo-missing.so", &error), nullptr);
    EXPECT_NE(error.find("libkelvo-missing.so"), std::string::npos) << error;
}

std::string read_all(int fd) {
    std::string text;
    char buf[256];
    long r;
    while ((r = proc_read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(r));
    return text;
}

TEST(ProcTest, SpawnMappedEvenWhenSourcesAreTargetNumbers) {
    // Pipes made first get low numbers; mapping them onto 3 and 4 crosswise must not overwrite
    // a source before it is copied.
    int a[2], b[2];
    ASSERT_EQ(proc_pipe(a), 0);
    ASSERT_EQ(proc_pipe(b), 0);
    const char* argv[] = {"/bin/sh", "-c", "echo one >&3; echo two >&4", nullptr};
    const ProcFdMap map[] = {{a[1], 4}, {b[1], 3}};
    pid_t pid = -1;
    ASSERT_EQ(proc_spawn_mapped(&pid, const_cast<char* const*>(argv), map, 2), 0);
    ::close(a[1]);
    ::close(b[1]);
    EXPECT_EQ(read_all(a[0]), "two\n");
    EXPECT_EQ(read_all(b[0]), "one\n");
    EXPECT_TRUE(proc_wait_for(pid, 10000));
    ::close(a[0]);
    ::close(b[0]);
    const char* missing[] = {"/nonexistent/program", nullptr};
    EXPECT_EQ(proc_spawn_mapped(&pid, const_cast<char* const*>(missing), map, 0), ENOENT);
}

TEST(ProcTest, WaitWithALimitThenKill) {
    const char* argv[] = {"/bin/sleep", "30", nullptr};
    pid_t pid = -1;
    ASSERT_EQ(proc_spawn_mapped(&pid, const_cast<char* const*>(argv), nullptr, 0), 0);
    EXPECT_FALSE(proc_has_exited(pid));
    EXPECT_FALSE(proc_wait_for(pid, 50));
    proc_kill_and_reap(pid);
    EXPECT_TRUE(proc_has_exited(pid)) << "reaped: no such child any more";

    const char* quick[] = {"/bin/true", nullptr};
    ASSERT_EQ(proc_spawn_mapped(&pid, const_cast<char* const*>(quick), nullptr, 0), 0);
    while (!proc_has_exited(pid)) proc_sleep_ms(1);
    EXPECT_TRUE(proc_wait_for(pid, 0)) << "still a zombie: reaping it now succeeds";
}

TEST(ProcTest, WriteWithoutSignalKeepsTheSignalSettings) {
    int p[2];
    ASSERT_EQ(proc_pipe(p), 0);
    ::close(p[0]);
    struct sigaction before {};
    sigaction(SIGPIPE, nullptr, &before);
    ASSERT_EQ(before.sa_handler, SIG_DFL);  // a stray SIGPIPE would end this test process
    errno = 0;
    EXPECT_EQ(proc_write_nosignal(p[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    struct sigaction after {};
    sigaction(SIGPIPE, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
    sigset_t mask, pending;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    EXPECT_FALSE(sigismember(&mask, SIGPIPE));
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
    ::close(p[1]);
}

}  // namespace
