// Updating a generated 10 MB source file of the previous release, in MB/s: the facility alone
// on a buffer in memory, and the whole tool from a file to a file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/srcmend/srcmend.h"
#include "tovu/errors.h"
#include "tovu/storage.h"
#include "update/update.h"

namespace {

constexpr std::size_t kSize = 10u << 20;

// Procedures and statements of the old release: dittos, renamed and flagged names, single
// colons, undeclared assignments, nested procedures and comments (seeded, so every run
// updates the same text).
std::string generate() {
    std::mt19937 random(1997);
    const char* const pieces[] = {
        "x%d := \"+rgf_seq(n, %d);\n",
        "f%d := proc(a:integer, b) local t;\n  t := a*b + %d;\n  s := t^2;\n  s\nend:\n",
        "# comment %d about readline(x) %d\n",
        "g%d := proc(n) local k; k := proc(m) n + m + %d end; k(n) end;\n",
        "y%d := degree(p%d, x) + ldegree(q, x);\n",
        "z%d := [seq(i^2, i = 1..%d)];\n",
    };
    std::string text;
    char line[256];
    for (int i = 0; text.size() < kSize; ++i) {
        std::snprintf(line, sizeof line, pieces[random() % 6], i, i);
        text += line;
    }
    return text;
}

void BM_update_generated_10mb(benchmark::State& state) {
    static const std::string text = generate();
    tovu_start();
    std::vector<char> buffer(2 * text.size() + 1);
    for (auto _ : state) {
        std::copy(text.begin(), text.end(), buffer.begin());
        buffer[text.size()] = '\0';
        try {
            TovuHandlerGuard guard;
            update_source(buffer.data(), std::int32_t(2 * text.size()), nullptr, nullptr);
        } catch (const TovuError& e) {
            state.SkipWithError(e.message.c_str());
        }
        storage_reset();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * text.size()));
}
BENCHMARK(BM_update_generated_10mb)->Unit(benchmark::kMillisecond);

void BM_srcmend_file_10mb(benchmark::State& state) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("bench_srcmend_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string text = generate();
    std::ofstream(dir / "old.src", std::ios::binary) << text;
    std::string in = (dir / "old.src").string(), out = (dir / "new.src").string();
    std::FILE* devnull = std::fopen("/dev/null", "w");
    const char* argv[] = {"srcmend", in.c_str(), out.c_str()};
    for (auto _ : state) {
        if (srcmend_main(3, argv, stdin, stdout, devnull) != 0) state.SkipWithError("srcmend failed");
    }
    std::fclose(devnull);
    state.SetBytesProcessed(std::int64_t(state.iterations() * text.size()));
    fs::remove_all(dir);
}
BENCHMARK(BM_srcmend_file_10mb)->Unit(benchmark::kMillisecond);

}  // namespace
