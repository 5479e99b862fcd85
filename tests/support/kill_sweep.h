#pragma once
// Crash sweeps for programs that change files: a command is run under strace with SIGKILL
// injected at the Nth call of one system call, for N = 1, 2, 3, ... until a run ends without
// being killed.  After each run the caller checks the files it left.  The runs are
// deterministic because the programs swept make the same calls for the same input.
//
// `strace -e inject=<call>:signal=SIGKILL:when=N` counts the calls of each traced process and
// kills it on entry to the Nth one, so every write, sync or rename of the command is a kill
// point in turn.  LeakSanitizer cannot run under ptrace; the child gets detect_leaks=0.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kill_sweep {

// Above this many kill points of one call the sweep is taken to be running away.
constexpr int kMaxKillPoints = 2000;

// strace's path, or empty when it is not installed.
inline std::string strace_path() {
    for (const char* p : {"/usr/bin/strace", "/bin/strace"})
        if (::access(p, X_OK) == 0) return p;
    return {};
}

enum class Ending { killed, exited };

struct Run {
    Ending ending = Ending::exited;
    int status = -1;   // exit status when exited
};

// Runs `argv` under strace, killed at the `n`th call of `syscall` (n = 0: not killed).  Its
// standard output and error go to `outputPath`.
inline Run run_killed_at(const std::vector<std::string>& argv, const std::string& syscall, int n,
                         const std::string& outputPath) {
    std::vector<std::string> args = {strace_path(), "-f", "-qq", "-o", "/dev/null"};
    if (n > 0)
        args.push_back("-e" + std::string("inject=") + syscall +
                       ":signal=SIGKILL:when=" + std::to_string(n));
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<char*> cargv;
    for (std::string& a : args) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    std::vector<std::string> env;
    std::string asan = "ASAN_OPTIONS=detect_leaks=0";
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("ASAN_OPTIONS=", 0) == 0) asan = entry + ":detect_leaks=0";
        else env.push_back(entry);
    }
    env.push_back(asan);
    std::vector<char*> cenv;
    for (std::string& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    Run run;
    const int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return run;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    // strace ends itself with the signal that ended the traced command.
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
        run.ending = Ending::killed;
    } else {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return run;
}

// One sweep over one system call.  `prepare` puts the files back to their state before the
// command; `argv` is the command; `check(killed, run)` examines the files after each run.
// Returns the number of kill points (runs that were killed).
inline int sweep(const std::string& syscall, const std::vector<std::string>& argv,
                 const std::string& outputPath, const std::function<void()>& prepare,
                 const std::function<void(int n, const Run&)>& check) {
    for (int n = 1; n <= kMaxKillPoints; ++n) {
        prepare();
        const Run run = run_killed_at(argv, syscall, n, outputPath);
        check(n, run);
        if (::testing::Test::HasFatalFailure()) return n;
        if (run.ending == Ending::exited) return n - 1;
    }
    ADD_FAILURE() << syscall << ": still killed after " << kMaxKillPoints << " calls";
    return kMaxKillPoints;
}

}  // namespace kill_sweep
