#pragma once
// Helpers shared by the archive tests: a scratch directory, running the tool in the process or
// as a child process, and reading files and slots back byte for byte.

#include "tools/arcman/archive.h"
#include "tools/arcman/arcman.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace arcman_test {

using Bytes = std::vector<std::uint8_t>;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline Bytes read_bytes(const std::filesystem::path& path) {
    const std::string text = read_text(path);
    return Bytes(text.begin(), text.end());
}

inline void write_bytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::uint32_t be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b.at(at)} << 24) | (std::uint32_t{b.at(at + 1)} << 16) |
           (std::uint32_t{b.at(at + 2)} << 8) | std::uint32_t{b.at(at + 3)};
}

// Live slot `slot` of an index image: the name and the three numbers behind it.
struct SlotView {
    std::uint8_t first = 0;
    std::string name;
    std::uint32_t offset = 0, length = 0, time = 0;
};

inline SlotView view_slot(const Bytes& index, std::uint64_t slot) {
    SlotView v;
    const std::size_t base = static_cast<std::size_t>(slot * 64);
    v.first = index.at(base);
    if (v.first <= 1) return v;
    std::size_t n = 0;
    while (n < 52 && index.at(base + n) != 0) ++n;
    v.name.assign(reinterpret_cast<const char*>(&index.at(base)), n);
    v.offset = be32(index, base + n + 1);
    v.length = be32(index, base + n + 5);
    v.time = be32(index, base + n + 9);
    return v;
}

// A scratch directory per test, removed afterwards.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (std::filesystem::temp_directory_path() / "arcman_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::filesystem::path path(const std::string& name) const { return dir_ / name; }
    std::string arc() const { return (dir_ / "lib").string(); }
    Bytes index_bytes() const { return read_bytes(dir_ / "lib" / "kelvo.ind"); }
    Bytes data_bytes() const { return read_bytes(dir_ / "lib" / "kelvo.lib"); }

    // Runs the commands in this process, with output captured.
    RunResult run(std::vector<std::string> args) const {
        args.insert(args.begin(), "arcman");
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        RunResult r;
        r.status = arcman_main(static_cast<int>(args.size()), argv.data(), out, err);
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    // Runs the tool binary as a child process, with output captured.
    RunResult spawn(std::vector<std::string> args) const {
        args.insert(args.begin(), ARCMAN_BINARY);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string outPath = (dir_ / ".stdout").string();
        const std::string errPath = (dir_ / ".stderr").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        RunResult r;
        const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) return r;
        int status = 0;
        ::waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = read_text(outPath);
        r.err = read_text(errPath);
        return r;
    }

    void make_archive(long tableSize) const {
        std::filesystem::create_directory(arc());
        const RunResult r = run({"-c", arc(), std::to_string(tableSize)});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    std::filesystem::path dir_;

private:
    static std::string slurp(std::FILE* f) {
        std::string text;
        std::rewind(f);
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        std::fclose(f);
        return text;
    }
};

}  // namespace arcman_test
