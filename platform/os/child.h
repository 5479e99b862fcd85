#pragma once
// Child processes over POSIX for the layers that run a helper program: starting one with
// descriptors of our choosing, watching it without reaping it, waiting for it with a time limit,
// ending it, and writing to its pipes without SIGPIPE.
//
// The caller owns the pid it is handed and reaps it through child_wait_for or child_kill_and_reap.
// Pipes made here are close-on-exec, so a child inherits only the descriptors it is given.

#include <sys/types.h>

#include <cstddef>
#include <utility>
#include <vector>

// A pipe made with O_CLOEXEC: fd[0] reads, fd[1] writes.  False (errno set) on failure.
bool child_pipe(int fd[2]);

// Starts argv[0] (searched on PATH when it holds no slash) with argv, the current environment
// and, for each pair {from, to}, the parent's descriptor `from` as the child's `to`; every other
// descriptor made close-on-exec stays behind.  The child starts with the default action for
// SIGPIPE and an empty signal mask.  -1 (errno set) when the program cannot be started.
pid_t child_spawn(const std::vector<const char*>& argv, const std::vector<std::pair<int, int>>& fds);

// True once the child has ended (it stays a zombie until reaped).
bool child_has_exited(pid_t pid);

// Waits up to timeoutMs milliseconds for the child to end and reaps it.  True when it ended.
bool child_wait_for(pid_t pid, int timeoutMs);

// Kills the child (SIGKILL) and reaps it.
void child_kill_and_reap(pid_t pid);

// Writes up to n bytes to fd once (a pipe end; non-blocking or not), as write(2) does, except
// that writing to a pipe nobody reads fails with EPIPE without raising SIGPIPE, and without
// changing the process's signal settings.  The count written, or -1 with errno set.
ssize_t child_write(int fd, const void* data, size_t n);
