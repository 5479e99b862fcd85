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
    run(files, mine);
    run(files, theirs);
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

BENCHMARK(BM_arcman_vs_ar_add_10000_one_command_each)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_arcman_vs_ar_add_10000_in_one_command)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_arcman_vs_ar_extract_10000_by_name)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
