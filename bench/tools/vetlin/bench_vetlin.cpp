// The syntax checker on a generated library source of 100,000 lines, in lines checked per
// second: at the default info level, and at level 4 with -x and a procedure database that a first
// run with -a wrote.  The report goes to a null stream; the run is the whole program in the
// process (start-up, reader, parser, checks, reports).
//
// The source comes from a seeded generator: procedures of 5 to 40 lines with locals, loops,
// conditionals, nested and operator procedures, calls, seq constructs and macros, and a share of
// faults (unused locals, unreachable code, implied multiplication, equations as statements,
// undeclared locals, wrong argument counts).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/vetlin/vetlin.h"

namespace {

namespace fs = std::filesystem;
constexpr long kLines = 100000;
constexpr unsigned kSeed = 20240611;

class Generator {
public:
    explicit Generator(std::ostream& out) : out_(out), random_(kSeed) {}

    void run() {
        line("macro(ONE = 1, TWO = 2);");
        for (int p = 0; lines_ < kLines; ++p) procedure(p);
    }
    long lines() const { return lines_; }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }
    void line(const std::string& text) {
        out_ << text << '\n';
        ++lines_;
    }
    std::string name(const char* stem, int n) { return stem + std::to_string(n); }

    // One statement of a procedure body that uses the parameters a, b and the locals.
    void statement(int p, int locals, int depth) {
        const std::string l = name("t", pick(0, locals - 1));
        switch (pick(0, 9)) {
        case 0: line("    " + l + " := a + " + std::to_string(pick(1, 99)) + "*b;"); break;
        case 1: line("    for i from 1 to " + std::to_string(pick(2, 20)) + " do " + l + " := " + l + " + i od;"); break;
        case 2: line("    if a > b then " + l + " := a else " + l + " := b fi;"); break;
        case 3: line("    " + l + " := seq(i^2, i = 1..n);"); break;
        case 4: line("    " + l + " := " + name("proc", pick(0, p)) + "(a, b);"); break;
        case 5: line("    " + l + " := [a, b, ONE, TWO];"); break;
        case 6: line("    " + l + " := map(sin, [a, b]);"); break;
        case 7:
            if (depth == 0) {
                line("    " + l + " := proc(x) local y;");
                line("        y := x + a; y");
                line("    end;");
            } else {
                line("    " + l + " := x -> x^2;");
            }
            break;
        case 8: line("    " + l + " := " + l + " . a;"); break;
        default: line("    " + l + " := subs(x = a, x^2 + " + l + ");"); break;
        }
    }

    void fault() {
        switch (pick(0, 5)) {
        case 0: line("    RETURN(a);"); line("    a := 1;"); break;                // unreachable code
        case 1: line("    u := 2(a+1);"); break;                                      // implied multiplication, undeclared
        case 2: line("    a = b;"); break;                                            // equation as a statement
        case 3: line("    break;"); break;                                            // outside a loop
        case 4: line("    seq(a, j = 1..3);"); break;                                 // control variable unused
        default: line("    proc0(a, b, a);"); break;                                   // wrong argument count
        }
    }

    void procedure(int p) {
        const int body = pick(3, 38);
        const int locals = pick(1, 4);
        std::string head = name("proc", p) + " := proc(a, b)";
        if (chance(10)) head = name("op", p) + " := proc() options operator;";
        line(head);
        std::string declared = "    local ";
        for (int i = 0; i < locals + (chance(15) ? 1 : 0); ++i) declared += (i ? ", " : "") + name("t", i);
        line(declared + ";");
        for (int s = 0; s < body; ++s) {
            if (chance(4)) fault();
            else statement(p, locals, 0);
        }
        line("    t0");
        line("end;");
    }

    std::ostream& out_;
    std::mt19937 random_;
    long lines_ = 0;
};

struct Source {
    fs::path folder;
    fs::path file;
    fs::path database;
    long lines = 0;

    Source() {
        std::string pattern = (fs::temp_directory_path() / "bench_vetlin.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        folder = pattern;
        file = folder / "library.m";
        database = folder / "procs.db";
        std::ofstream out(file);
        Generator generator(out);
        generator.run();
        lines = generator.lines();
    }
    ~Source() {
        if (std::getenv("BENCH_VETLIN_KEEP") == nullptr) fs::remove_all(folder);
    }
};

Source& source() {
    static Source s;
    return s;
}

int check(std::vector<std::string> args) {
    args.insert(args.begin(), {"vetlin", "-q", "-s"});
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    static std::FILE* null = std::fopen("/dev/null", "w");
    return vetlin_main(int(argv.size()), argv.data(), stdin, null, null);
}

void BM_vetlin_library_default_level(benchmark::State& state) {
    Source& s = source();
    for (auto _ : state) benchmark::DoNotOptimize(check({s.file.string()}));
    state.counters["lines/s"] = benchmark::Counter(double(s.lines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_vetlin_library_default_level)->Unit(benchmark::kMillisecond);

void BM_vetlin_library_level4_xref_database(benchmark::State& state) {
    Source& s = source();
    fs::remove(s.database);
    check({"-a", s.database.string(), s.file.string()});
    for (auto _ : state)
        benchmark::DoNotOptimize(check({"-i", "4", "-x", "-d", s.database.string(), s.file.string()}));
    state.counters["lines/s"] = benchmark::Counter(double(s.lines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_vetlin_library_level4_xref_database)->Unit(benchmark::kMillisecond);

}  // namespace
