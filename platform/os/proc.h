#pragma once
// Processes, pipes and descriptors over POSIX: the calls the kernel links make to start the
// kernel server, talk to it over anonymous pipes and notice when either side has gone.
//
// Each function makes one system call (or a short retry loop around one) and turns its result
// into a value: 0 or the system error number (errno) for operations that succeed or fail, a
// count or -1 for reads and writes.  Interrupted calls (EINTR) are repeated where the comment
// says so; nothing here decides what a failure means for the caller.
//
// Thread-safe as the underlying calls are; no state is kept here.

#include <poll.h>
#include <sys/types.h>

#include <cstddef>

// Makes a pipe whose two ends are close-on-exec (and non-blocking when asked):
// fds[0] the read end, fds[1] the write end.  0, or the system error (fds untouched).
int proc_pipe(int fds[2], bool nonblocking = false);

// Starts argv[0], searched on PATH, with the environment envp, in a process group of its own,
// with an empty signal mask and SIGPIPE, SIGINT and SIGTERM at their defaults.  The descriptors
// in `inherit` stay open in the child (their close-on-exec flag is cleared there only); every
// other close-on-exec descriptor closes.  0 with *pid set, or the system error.
int proc_spawn(pid_t* pid, char* const argv[], char* const envp[], const int* inherit, int inheritCount);

// As proc_spawn, with the current environment, the parent's descriptor `from` given to the child
// as `to` for each pair (a source that is also a target is copied aside first, so the order of
// the pairs does not matter); nothing else is inherited.  0 with *pid set, or the system error.
struct ProcFdMap {
    int from;
    int to;
};
int proc_spawn_mapped(pid_t* pid, char* const argv[], const ProcFdMap* map, int count);

// Whether the child has ended, without reaping it (a reaped or foreign pid counts as ended).
bool proc_has_exited(pid_t pid);
// Waits up to timeoutMs for the child to end and reaps it: true when it ended.
bool proc_wait_for(pid_t pid, int timeoutMs);
// Kills the child (SIGKILL) and reaps it.
void proc_kill_and_reap(pid_t pid);

// Reaps the child if it has ended: 1 with *status set (as waitpid gives it), 0 while it runs,
// -1 on failure (errno says why; EINTR is repeated).
int proc_try_wait(pid_t pid, int* status);
// Reaps the child whenever it ends, on a detached thread; the caller forgets it.
void proc_reap_later(pid_t pid);
// Whether a process with this id exists (a process of another user counts).
bool proc_exists(pid_t pid);
pid_t proc_self();
pid_t proc_parent();

// A write to a pipe whose reader has gone fails with EPIPE instead of killing the process.
void proc_ignore_sigpipe();
// One write(2) (EINTR repeated) that fails with EPIPE instead of raising SIGPIPE, for a library
// that must leave the process's signal settings alone: SIGPIPE is blocked for the calling thread
// during the write and a SIGPIPE it raised is taken off again.  The count, or -1 with errno.
long proc_write_nosignal(int fd, const void* bytes, std::size_t count);

// poll(2) over the descriptors: the number ready, 0 on time-out, -1 with errno (EINTR is
// answered, not repeated, so that a caller woken by a signal can look at its flags).
int proc_poll(struct pollfd* fds, int count, int timeoutMs);
// Bytes that a read would return now: 0 with *count set, or the system error.
int proc_bytes_waiting(int fd, int* count);
// One read of at most `size` bytes (EINTR repeated): the count, 0 at the end, -1 with errno.
long proc_read(int fd, void* buffer, std::size_t size);
// Writes all `count` bytes (EINTR repeated): count, or -1 with *error set (EPIPE when the
// system wrote nothing without saying why).
long proc_write_all(int fd, const void* bytes, long count, int* error);
// Closes the descriptor unless it is negative: 0, or the system error.
int proc_close(int fd);
// Whether fd is an open descriptor of a pipe.
bool proc_is_pipe(int fd);
// Sets the close-on-exec flag: 0, or the system error.
int proc_set_cloexec(int fd);

// Milliseconds of the monotonic clock (for time limits; never goes back).
long long proc_now_ms();

// Sleeps the whole time even when signals arrive.
void proc_sleep_ms(int ms);
// Starts fn(arg) on a detached thread with a stack of at least `stackBytes` (never less than
// the system's minimum).  False when the thread could not start.
bool proc_start_detached(void* (*fn)(void*), void* arg, std::size_t stackBytes);
