// Tests of the source update tool: arguments, input and output files, the exact messages and
// exit statuses, buffer sizes and growth, and files that are not text.
#include "tools/srcmend/srcmend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

#include "tools/console/osl.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s.push_back(char(c));
    return s;
}

// Runs the tool in the process with `input` on its standard input.
ToolRun run(const std::vector<std::string>& args, const std::string& input = "") {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    ToolRun r;
    r.status = srcmend_main(int(argv.size()), argv.data(), in, out, err);
    r.out = contents(out);
    r.err = contents(err);
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    return r;
}

std::string read_file(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << text;
}

class SrcmendTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("srcmend_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        os_alloc_fail_after(-1);
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

const std::string kOld = "x := \"+1;\nf := proc(a:integer) y := a end;\n";
const std::string kNew =
    "x := %+1;\n### WARNING: `y` is implicitly declared local\n"
    "f := proc(a::integer) y := a end;\n";
const std::string kWarnings =
    "`\"` has been replaced by `%`\n`:` has been replaced by `::`\n"
    "`y` is implicitly declared local\n";

TEST_F(SrcmendTest, ArgumentErrors) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {"too many arguments", {"srcmend", "a", "b", "c"}, "Usage: srcmend [infile [outfile]]\n"},
        {"option", {"srcmend", "-h"}, "Usage: srcmend [infile [outfile]]\n"},
        {"option before operands", {"./bin/srcmend", "-", "x"},
         "Usage: ./bin/srcmend [infile [outfile]]\n"},
        {"missing input", {"srcmend", "/nonexistent/old.src"},
         "srcmend: could not open \"/nonexistent/old.src\" for reading\n"},
        {"directory as input", {"srcmend", "/"}, "srcmend: could not open \"/\" for reading\n"},
    };
    for (const Case& c : cases) {
        ToolRun r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
    }
}

TEST_F(SrcmendTest, FileToFile) {
    write_file(dir_ / "old.src", kOld);
    ToolRun r = run({"srcmend", (dir_ / "old.src").string(), (dir_ / "new.src").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kWarnings);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(dir_ / "new.src"), kNew);
    // Only the output is left beside the input: the temporary file was renamed.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(SrcmendTest, StandardInputAndOutput) {
    ToolRun r = run({"srcmend"}, kOld);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kNew);
    EXPECT_EQ(r.err, kWarnings);
}

TEST_F(SrcmendTest, FileInPlaceKeepsItsMode) {
    fs::path p = dir_ / "same.src";
    write_file(p, kOld);
    ::chmod(p.c_str(), 0640);
    ToolRun r = run({"srcmend", p.string(), p.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(p), kNew);
    struct stat st{};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(SrcmendTest, UnwritableOutput) {
    write_file(dir_ / "old.src", kOld);
    struct Case {
        const char* name;
        std::string out;
    } cases[] = {
        {"missing directory", (dir_ / "missing" / "new.src").string()},
        {"directory", dir_.string()},
    };
    for (const Case& c : cases) {
        ToolRun r = run({"srcmend", (dir_ / "old.src").string(), c.out});
        EXPECT_EQ(r.status, 1) << c.name;
        // The warnings come first: the output is opened after the update.
        EXPECT_EQ(r.err, kWarnings + "srcmend: could not open \"" + c.out + "\" for writing\n")
            << c.name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SrcmendTest, UpdateErrorWritesNothing) {
    fs::path out = dir_ / "new.src";
    write_file(out, "previous contents\n");
    write_file(dir_ / "old.src", "a := rgf_seq;\nx := (1;\n");
    ToolRun r = run({"srcmend", (dir_ / "old.src").string(), out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "`rgf_seq` has been replaced by `ratseq`\nsrcmend: on line 2, `;` unexpected\n");
    EXPECT_EQ(read_file(out), "previous contents\n");
    ToolRun s = run({"prog"}, "x := `unterminated");
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(s.err, "srcmend: unexpected end of input\n");
    EXPECT_EQ(s.out, "");
}

TEST_F(SrcmendTest, EmptyInput) {
    write_file(dir_ / "empty.src", "");
    ToolRun r = run({"srcmend", (dir_ / "empty.src").string(), (dir_ / "out.src").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::exists(dir_ / "out.src"));
    EXPECT_EQ(read_file(dir_ / "out.src"), "");
}

TEST_F(SrcmendTest, NotText) {
    write_file(dir_ / "bin.src", std::string("x := 1;\0y := 2;\n", 16));
    ToolRun r = run({"srcmend", (dir_ / "bin.src").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "srcmend: \"" + (dir_ / "bin.src").string() +
                         "\" is not a text file (NUL byte at offset 7)\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(SrcmendTest, LongLineAndLargeStandardInput) {
    // One line of 100 000 characters, read from the standard input, which starts with a buffer
    // of 4096 bytes and grows in steps of 4096.
    std::string line = "x := [";
    for (int i = 0; i < 20000; ++i) line += "rgf_seq,";
    line += "0];\n";
    ToolRun r = run({"srcmend"}, line);
    EXPECT_EQ(r.status, 0);
    std::string expected = "x := [";
    for (int i = 0; i < 20000; ++i) expected += "ratseq,";
    expected += "0];\n";
    EXPECT_EQ(r.out, expected);
}

TEST_F(SrcmendTest, BufferSizes) {
    struct Case {
        const char* name;
        std::size_t fileSize;
        std::size_t bytes;   // first allocation: buffer size + 1
    } cases[] = {
        {"empty file", 0, 4097},
        {"100 bytes", 100, 4097},
        {"10 000 bytes", 10000, 20001},
    };
    for (const Case& c : cases) {
        std::string text(c.fileSize, ' ');
        write_file(dir_ / "in.src", text);
        // Only the first allocation may succeed: the byte count shows its size.
        os_alloc_reset_stats();
        ToolRun r = run({"srcmend", (dir_ / "in.src").string(), (dir_ / "out.src").string()});
        EXPECT_EQ(r.status, 0) << c.name << r.err;
        std::size_t blocks = 0, bytes = 0;
        os_alloc_stats(&blocks, &bytes);
        EXPECT_EQ(blocks, 1u) << c.name;
        EXPECT_EQ(bytes, c.bytes) << c.name;
    }
}

TEST_F(SrcmendTest, FailedAllocationsEndWithStatusOne) {
    os_alloc_fail_after(0);
    ToolRun first = run({"srcmend"}, "x;\n");
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.err, "srcmend: could not allocate 4097 byte buffer\n");

    // The first growth (after 2049 characters of the standard input) fails.
    os_alloc_fail_after(1);
    ToolRun growth = run({"srcmend"}, std::string(3000, ' '));
    EXPECT_EQ(growth.status, 1);
    EXPECT_EQ(growth.err, "srcmend: could not allocate 8193 byte buffer\n");
    EXPECT_EQ(growth.out, "");
}

TEST_F(SrcmendTest, ExecutableExitStatus) {
    write_file(dir_ / "old.src", kOld);
    std::string command = std::string(SRCMEND_BINARY) + " " + (dir_ / "old.src").string() + " " +
                          (dir_ / "new.src").string() + " 2>/dev/null";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(dir_ / "new.src"), kNew);
    status = std::system((std::string(SRCMEND_BINARY) + " a b c 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
