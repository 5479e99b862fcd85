// Child processes: descriptor mapping, waiting with a limit, and writes to a pipe nobody reads.

#include "platform/os/child.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

std::string read_all(int fd) {
    std::string text;
    char buf[256];
    ssize_t r;
    while ((r = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(r));
    return text;
}

TEST(ChildSpawn, MapsDescriptorsEvenWhenSourcesAreTargetNumbers) {
    // Pipes made first get low numbers; mapping them onto 0..4 must not overwrite a source
    // before it is copied.
    int a[2], b[2];
    ASSERT_TRUE(child_pipe(a));
    ASSERT_TRUE(child_pipe(b));
    pid_t pid = child_spawn({"/bin/sh", "-c", "echo one >&3; echo two >&4"}, {{a[1], 4}, {b[1], 3}});
    ASSERT_GT(pid, 0);
    ::close(a[1]);
    ::close(b[1]);
    EXPECT_EQ(read_all(a[0]), "two\n");
    EXPECT_EQ(read_all(b[0]), "one\n");
    EXPECT_TRUE(child_wait_for(pid, 10000));
    ::close(a[0]);
    ::close(b[0]);
}

TEST(ChildSpawn, MissingProgramFailsWithoutAChild) {
    errno = 0;
    EXPECT_EQ(child_spawn({"/nonexistent/program"}, {}), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(child_spawn({""}, {}), -1);
}

TEST(ChildWait, TimesOutThenKillReaps) {
    pid_t pid = child_spawn({"/bin/sleep", "30"}, {});
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(child_has_exited(pid));
    EXPECT_FALSE(child_wait_for(pid, 50));
    child_kill_and_reap(pid);
    // Reaped: no such child any more.
    EXPECT_TRUE(child_has_exited(pid));
}

TEST(ChildWait, ExitedChildIsSeenBeforeItIsReaped) {
    pid_t pid = child_spawn({"/bin/true"}, {});
    ASSERT_GT(pid, 0);
    while (!child_has_exited(pid)) ::usleep(1000);
    // Still a zombie: reaping it now succeeds.
    EXPECT_TRUE(child_wait_for(pid, 0));
}

TEST(ChildWrite, BrokenPipeFailsWithoutSignalAndKeepsSettings) {
    int p[2];
    ASSERT_TRUE(child_pipe(p));
    ::close(p[0]);
    struct sigaction before {};
    sigaction(SIGPIPE, nullptr, &before);
    ASSERT_EQ(before.sa_handler, SIG_DFL);  // a stray SIGPIPE would end this test process
    errno = 0;
    EXPECT_EQ(child_write(p[1], "x", 1), -1);
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
