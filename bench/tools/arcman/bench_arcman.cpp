// The archive tool against GNU ar on one set of 10,000 small members (16..255 bytes, seeded):
// adding them one command at a time, adding them in one command, and extracting each by name
// with one command per member.  Both programs run in the same iteration on the same files; the
// reported time is arcman's, the counters give ar's time and the ratio ar / arcman.
//
// ar is given its cheapest matching operations: "q" (append without looking for an existing
// member) for adding and "x archive member" for extracting.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr int kMembers = 10000;

struct Workspace {
    fs::path root;
    fs::path files;                  // the members, named m00000 .. m09999
    std::vector<std::string> names;

    Workspace() {
        std::string templ = (fs::temp_directory_path() / "bench_arcman.XXXXXX").string();
        if (!::mkdtemp(templ.data())) std::abort();
        root = templ;
        files = root / "files";
        fs::create_directory(files);
        std::mt19937 rng(20240601);
        for (int i = 0; i < kMembers; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "m%05d", i);
            names.emplace_back(name);
            std::ofstream out(files / name, std::ios::binary);
            const std::size_t size = 16 + rng() % 240;
            for (std::size_t k = 0; k < size; ++k) out.put(static_cast<char>(rng()));
        }
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void fresh(const fs::path& p) const {
        fs::remove_all(p);
        fs::create_directory(p);
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

// Runs a program (looked up in PATH) in `cwd`, output discarded; aborts on failure so that a
// broken run is never timed as a fast one.
void run(const std::string& cwd, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_arcman: %s failed\n", args[0].c_str());
        std::abort();
    }
}

template <typename F>
double seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void report(benchmark::State& state, const char* what, double arcman, double ar) {
    state.SetIterationTime(arcman);
    state.counters["arcman_s"] = arcman;
    state.counters["ar_s"] = ar;
    state.counters["ar_over_arcman"] = ar / arcman;
    std::printf("%s: arcman %.3f s, ar %.3f s, ratio ar/arcman %.2f\n", what, arcman, ar, ar / arcman);
    std::fflush(stdout);
}

// A new archive `lib` and a new ar archive `arFile`, each holding the 10,000 members, each
// filled by one command (ar with `arMode`).
void fill_both(Workspace& w, const std::string& arcman, const std::string& lib,
               const std::string& arFile, const char* arMode) {
    const std::string files = w.files.string();
    w.fresh(lib);
    run(files, {arcman, "-c", lib, "10000"});
    fs::remove(arFile);
    std::vector<std::string> mine{arcman, "-a", lib};
    std::vector<std::string> theirs{"ar", arMode, arFile};
    for (const std::string& n : w.names) {
        mine.push_back(n);
        mine.push_back(n);
        theirs.push_back(n);
    }
    run(files, mine);
    run(files, theirs);
}

void BM_arcman_vs_ar_add_10000_one_command_each(benchmark::State& state) {
    Workspace& w = workspace();
    const std::string files = w.files.string();
    const std::string lib = (w.root / "lib").string();
    const std::string arFile = (w.root / "lib.a").string();
    for (auto _ : state) {
        w.fresh(lib);
        run(files, {ARCMAN_BINARY, "-c", lib, "10000"});
        fs::remove(arFile);
        const double a = seconds([&] {
            for (const std::string& n : w.names) run(files, {ARCMAN_BINARY, "-a", lib, n, n});
        });
        const double b = seconds([&] {
            for (const std::string& n : w.names) run(files, {"ar", "qc", arFile, n});
        });
        report(state, "add one command each", a, b);
    }
}

void BM_arcman_vs_ar_add_10000_in_one_command(benchmark::State& state) {
    Workspace& w = workspace();
    const std::string files = w.files.string();
    const std::string lib = (w.root / "lib").string();
    const std::string arFile = (w.root / "lib.a").string();
    for (auto _ : state) {
        w.fresh(lib);
        run(files, {ARCMAN_BINARY, "-c", lib, "10000"});
        fs::remove(arFile);
        std::vector<std::string> mine{ARCMAN_BINARY, "-a", lib};
        std::vector<std::string> theirs{"ar", "qc", arFile};
        for (const std::string& n : w.names) {
            mine.push_back(n);
            mine.push_back(n);
            theirs.push_back(n);
        }
        const double a = seconds([&] { run(files, mine); });
        const double b = seconds([&] { run(files, theirs); });
        report(state, "add in one command", a, b);
    }
}

void BM_arcman_vs_ar_extract_10000_by_name(benchmark::State& state) {
    Workspace& w = workspace();
    const std::string files = w.files.string();
    const std::string lib = (w.root / "lib").string();
    const std::string arFile = (w.root / "lib.a").string();
    const std::string out = (w.root / "out").string();
    fill_both(w, ARCMAN_BINARY, lib, arFile, "qc");
    for (auto _ : state) {
        w.fresh(out);
        const double a = seconds([&] {
            for (const std::string& n : w.names) run(out, {ARCMAN_BINARY, "-x", lib, n, n});
        });
        w.fresh(out);
        const double b = seconds([&] {
            for (const std::string& n : w.names) run(out, {"ar", "x", arFile, n});
        });
        report(state, "extract by name", a, b);
    }
}

// The cost of one small change to a large archive: -a of a 1 KB member into an archive of
// 10,000 members, against "ar rS" (replace or add, no symbol table) of the same member into an
// ar archive of the same 10,000.  arcman syncs the member's bytes before it writes the slot, so
// this is where that sync shows; the archive should lie on a disk-backed file system (TMPDIR),
// not tmpfs, for the figure to mean anything.  BENCH_ARCMAN names another arcman binary to
// compare builds in one run.
void BM_arcman_vs_ar_add_one_1k_member_to_10000(benchmark::State& state) {
    constexpr int kAdds = 50;
    Workspace& w = workspace();
    const std::string files = w.files.string();
    const std::string lib = (w.root / "lib").string();
    const std::string arFile = (w.root / "lib.a").string();
    const char* other = std::getenv("BENCH_ARCMAN");
    const std::string arcman = other ? other : ARCMAN_BINARY;
    std::vector<std::string> added;
    std::mt19937 rng(7);
    for (int i = 0; i < kAdds; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "k%03d", i);
        added.emplace_back(name);
        std::ofstream out(w.files / name, std::ios::binary);
        for (int k = 0; k < 1024; ++k) out.put(static_cast<char>(rng()));
    }
    for (auto _ : state) {
        fill_both(w, arcman, lib, arFile, "qcS");
        const double a = seconds([&] {
            for (const std::string& n : added) run(files, {arcman, "-a", lib, n, n});
        });
        const double b = seconds([&] {
            for (const std::string& n : added) run(files, {"ar", "rS", arFile, n});
        });
        report(state, "add one 1 KB member to 10,000", a / kAdds, b / kAdds);
        std::printf("  per command: arcman %.3f ms, ar rS %.3f ms\n", 1000 * a / kAdds, 1000 * b / kAdds);
    }
    for (const std::string& n : added) fs::remove(w.files / n);
}

BENCHMARK(BM_arcman_vs_ar_add_10000_one_command_each)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_arcman_vs_ar_add_10000_in_one_command)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_arcman_vs_ar_extract_10000_by_name)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_arcman_vs_ar_add_one_1k_member_to_10000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
