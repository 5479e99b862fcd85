#pragma once
// Shared pieces of the checker's tests: a fixture that starts a run on temporary streams (the
// store, tables and constants ready, nothing read yet), a helper that catches the end of a run,
// and a scratch folder that the test works in.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "tools/console/osl.h"
#include "tools/vetlin/run.h"

namespace vetlin_test {

inline std::string slurp(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(char(c));
    return text;
}

// The status with which `body` ends the run, or -1 when it returns.
template <typename Body>
int exit_status(Body body) {
    try {
        body();
    } catch (const VetlinExit& exit) {
        return exit.status;
    }
    return -1;
}

// A fresh folder made for the test, removed afterwards; the test's working folder while it runs.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/vetlin_test.XXXXXX";
        dir_ = ::mkdtemp(pattern);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    ~ScratchFolder() {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path dir_;
    std::filesystem::path old_;
};

class RunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        in_ = std::tmpfile();
        out_ = std::tmpfile();
        err_ = std::tmpfile();
        vl_begin_run(in_, out_, err_);
        vl_make_constants();
    }
    void TearDown() override {
        os_alloc_fail_after(-1);
        vl_end_run();
        std::fclose(in_);
        std::fclose(out_);
        std::fclose(err_);
    }
    std::string output() { return slurp(out_); }
    std::string errors() { return slurp(err_); }

    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
};

// A run with the checker initialised (no banner), reading the source given to it.
class CheckerFixture : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        vl.noLogo = true;
        vl_init_checker();
    }
    void TearDown() override {
        RunFixture::TearDown();
        if (restarted_ != nullptr) std::fclose(restarted_);
    }
    void source(const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), in_);
        std::rewind(in_);
    }
    // Starts a fresh run whose standard input holds `text`.
    void restart(const std::string& text) {
        if (restarted_ != nullptr) std::fclose(restarted_);
        restarted_ = std::tmpfile();
        std::fwrite(text.data(), 1, text.size(), restarted_);
        std::rewind(restarted_);
        vl_begin_run(restarted_, out_, err_);
        vl_make_constants();
        vl.noLogo = true;
        vl_init_checker();
    }

private:
    std::FILE* restarted_ = nullptr;
};

}  // namespace vetlin_test
