// Tests of `vetlin` as a whole: the program run as a process (started as "vetlin") on the
// corpus, with its banner, usage text, messages and exit statuses, and the in-process entry
// run many times in one process.
#include "tools/vetlin/vetlin.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <termios.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/startup.h"

extern char** environ;

namespace vetlin_test {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(KELVO_TEST_DATA) / "tools" / "vetlin";

std::string read_text(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string banner() {
    std::string text;
    for (const char* line : vl_banner) text += line;
    return text;
}

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class VetlinProcessTest : public ::testing::Test {
protected:
    // Runs the program in the scratch folder as "vetlin" with the arguments, standard input
    // from an empty file.
    Result spawn(std::vector<std::string> args) {
        args.insert(args.begin(), "vetlin");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string outPath = (folder_.path() / ".stdout").string();
        const std::string errPath = (folder_.path() / ".stderr").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Standard input: an empty file (/dev/null is a character device, read as a terminal).
        const std::string inPath = (folder_.path() / ".stdin").string();
        std::ofstream emptyInput{inPath};
        posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        Result r;
        const int rc = posix_spawn(&pid, VETLIN_BINARY, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) return r;
        int status = 0;
        ::waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = read_text(outPath);
        r.err = read_text(errPath);
        return r;
    }
    ScratchFolder folder_;
};

// Without -q the banner comes first, then the same report as with -q; every file ends with the
// status of its worst error class (3 for the syntax errors).
TEST_F(VetlinProcessTest, CorpusFilesGiveTheBanner) {
    const std::map<std::string, int> statuses = {
        {"argument_count.m", 0}, {"argument_count_agrees.m", 0}, {"break_outside_loop.m", 3},
        {"clean.m", 0}, {"equation_statement.m", 1}, {"implied_multiplication.m", 2}, {"lib.m", 0},
        {"nested_procedures.m", 2}, {"return_at_file_level.m", 3}, {"system_name_assigned.m", 1},
        {"unused_local.m", 2},
    };
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        if (entry.path().extension() != ".m") continue;
        ++files;
        const std::string name = entry.path().filename().string();
        const bool syntax = name.rfind("syntax_", 0) == 0;
        ASSERT_TRUE(syntax || statuses.count(name) == 1) << name;
        const int status = syntax ? 3 : statuses.at(name);
        const Result r = spawn({entry.path().string()});
        EXPECT_EQ(r.status, status) << entry.path();
        EXPECT_EQ(r.out.substr(0, banner().size()), banner()) << entry.path();
        EXPECT_EQ(r.err, "") << entry.path();
        const Result quiet = spawn({"-q", entry.path().string()});
        EXPECT_EQ(quiet.status, status) << entry.path();
        EXPECT_EQ(quiet.out, r.out.substr(banner().size())) << entry.path();
        // Every corpus file says what it exercises.
        EXPECT_NE(read_text(entry.path()).find("\n# Exercises "), std::string::npos) << entry.path();
    }
    EXPECT_GE(files, 10u);
}

// The corpus under info levels 0 to 4, -x, -l and -S -t n, byte for byte against the reports
// composed from the report rules (corpus_reports.txt).
TEST_F(VetlinProcessTest, CorpusReports) {
    const std::string text = read_text(kCorpus / "corpus_reports.txt");
    std::size_t sections = 0;
    const std::size_t first = text.find("\n### ");
    for (std::size_t at = first == std::string::npos ? first : first + 1; at != std::string::npos;) {
        const std::size_t headEnd = text.find('\n', at);
        const std::string head = text.substr(at + 4, headEnd - at - 4);
        const std::size_t statusEnd = text.find('\n', headEnd + 1);
        const int status = std::stoi(text.substr(headEnd + 1 + 7, statusEnd - headEnd - 8));
        const std::size_t next = text.find("\n### ", statusEnd);
        const std::string report = text.substr(statusEnd + 1, next == std::string::npos ? std::string::npos
                                                                                        : next + 1 - statusEnd - 1);
        at = next == std::string::npos ? next : next + 1;
        ++sections;
        std::vector<std::string> args{"-q", "-s"};
        std::size_t word = head.find(' ');
        const std::string file = head.substr(0, word);
        for (std::size_t end; word != std::string::npos; word = end) {
            end = head.find(' ', word + 1);
            args.push_back(head.substr(word + 1, end == std::string::npos ? end : end - word - 1));
        }
        args.push_back((kCorpus / file).string());
        const Result r = spawn(args);
        EXPECT_EQ(r.out, report) << head;
        EXPECT_EQ(r.status, status) << head;
        EXPECT_EQ(r.err, "") << head;
    }
    EXPECT_GE(sections, 120u);
}

// Exit statuses of the corpus by the worst error class, under the options that change them.
TEST_F(VetlinProcessTest, StatusesUnderOptions) {
    const struct {
        std::vector<std::string> options;
        const char* file;
        int status;
    } rows[] = {
        {{}, "clean.m", 0},
        {{}, "unused_local.m", 2},
        {{}, "break_outside_loop.m", 3},
        {{}, "equation_statement.m", 1},
        {{}, "system_name_assigned.m", 1},
        {{"-l"}, "system_name_assigned.m", 0},
        {{"-t", "11"}, "unused_local.m", 0},
        {{"-S"}, "unused_local.m", 0},
        {{"-S", "-t", "11"}, "unused_local.m", 2},
        {{"-S"}, "break_outside_loop.m", 0},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"-q"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back((kCorpus / row.file).string());
        const Result r = spawn(args);
        std::string shown;
        for (const std::string& o : row.options) shown += o + " ";
        EXPECT_EQ(r.status, row.status) << shown << row.file;
        EXPECT_EQ(r.err, "") << shown << row.file;
    }
}

// Procedures written to a database by one run are checked against it by the next.
TEST_F(VetlinProcessTest, DatabaseRoundTrip) {
    fs::copy_file(kCorpus / "lib.m", folder_.path() / "lib.m");
    Result r = spawn({"-q", "-a", "procs.db", "lib.m"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_text(folder_.path() / "procs.db"),
              "f" + std::string(31, ' ') + "  2  2 0 lib.m\n" + "g" + std::string(31, ' ') + "  0  0 1 lib.m\n");
    r = spawn({"-q", "-d", "procs.db", (kCorpus / "argument_count.m").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    r = spawn({"-q", "-d", "procs.db", (kCorpus / "argument_count_agrees.m").string()});
    EXPECT_EQ(r.status, 0);
    // Without the database the mismatching call passes.
    r = spawn({"-q", (kCorpus / "argument_count.m").string()});
    EXPECT_EQ(r.status, 0);
}

// The syntax-error files, one a run (a file gets one hint a run), byte for byte.
TEST_F(VetlinProcessTest, SyntaxErrorReportsOfTheCorpus) {
    const struct {
        const char* file;
        std::string report;
    } rows[] = {
        {"syntax_missing_operator.m",
         "on line     1: x := 1 2;\n" + std::string(22, ' ') +
             "^ syntax error - Probably missing an operator such as *\n"},
        {"syntax_for_clause.m",
         "on line     1: for i 1 to 5 do od;\n" + std::string(21, ' ') +
             "^ syntax error - A name must used for the for clause\n"},
        {"syntax_missing_then.m",
         "on line     1: if x 1 fi;\n" + std::string(20, ' ') +
             "^ syntax error - Probably missing the keyword then or an operator such as *\n"},
        {"syntax_stray_fi.m",
         "on line     2: fi;\n" + std::string(15, ' ') +
             "^ Syntax error\n"
             "A \"fi\" was found without a previous matching \"if\" or \"then\".\n"
             "There may have been a misplaced \"fi\" earlier.\n\n"},
    };
    for (const auto& row : rows) {
        const std::string file = (kCorpus / row.file).string();
        Result r = spawn({"-q", file});
        EXPECT_EQ(r.status, 3) << row.file;
        EXPECT_EQ(r.out, row.report) << row.file;
        r = spawn({"-q", "-i", "0", file});   // nothing printed, the status stays
        EXPECT_EQ(r.status, 3) << row.file;
        EXPECT_EQ(r.out, "") << row.file;
        r = spawn({"-q", "-S", file});
        EXPECT_EQ(r.out, row.report) << row.file;
    }
}

TEST_F(VetlinProcessTest, BannerFirstLine) {
    const Result r = spawn({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
              "    <_k_>      Kelvo V Release 5 Diagnostic Program\n");
    EXPECT_EQ(r.out, banner());
    std::size_t lines = 0;
    for (char c : r.out) lines += c == '\n';
    EXPECT_EQ(lines, 5u);
}

TEST_F(VetlinProcessTest, MisuseGivesTheUsage) {
    const std::string clean = (kCorpus / "clean.m").string();
    const std::vector<std::vector<std::string>> rows = {
        {"-i", "x"}, {"-t", "32"}, {"-z"}, {"-o"}, {clean, clean},
    };
    for (const auto& args : rows) {
        const Result r = spawn(args);
        EXPECT_EQ(r.status, 127) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.err, startup_usage_text) << args[0];
    }
}

TEST_F(VetlinProcessTest, FilesThatCannotBeOpened) {
    const std::string dir = folder_.path().string();
    const struct {
        std::vector<std::string> args;
        std::string message;
    } rows[] = {
        {{"nofile.m"}, "vetlin: cannot read nofile.m\n"},
        {{dir}, "vetlin: cannot read " + dir + "\n"},
        {{"-o", dir + "/missing/out"}, "vetlin: cannot write to " + dir + "/missing/out\n"},
        {{"-a", dir + "/missing/db"}, "vetlin: cannot append to " + dir + "/missing/db\n"},
        {{"-d", "nofile.db"}, "vetlin: cannot read nofile.db\n"},
    };
    for (const auto& row : rows) {
        const Result r = spawn(row.args);
        EXPECT_EQ(r.status, 127) << row.message;
        EXPECT_EQ(r.err, row.message);
        EXPECT_EQ(r.out, "") << row.message;
    }
}

TEST_F(VetlinProcessTest, ReportOutputToAFile) {
    const Result r = spawn({"-o", "out.txt", (kCorpus / "clean.m").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_text(folder_.path() / "out.txt"), banner());
}

// A database with bad lines: each is reported with the line as read, and the run goes on to its
// usual end and status.
TEST_F(VetlinProcessTest, DatabaseWithBadLines) {
    const std::string good = "f                                 2  2 0 lib.m\ng 0 0 1 lib.m\n";
    const std::string fourFields = "h 1 1 0\n";
    const std::string letter = "k 1 z 0 lib.m\n";
    std::ofstream(folder_.path() / "procs.db") << good << fourFields << good << letter;
    for (const char* file : {"clean.m", "unused_local.m", "break_outside_loop.m"}) {
        const std::string path = (kCorpus / file).string();
        const Result plain = spawn({"-q", path});
        const Result r = spawn({"-q", "-d", "procs.db", path});
        EXPECT_EQ(r.err, "Format error: " + fourFields + "Format error: " + letter) << file;
        EXPECT_EQ(r.status, plain.status) << file;
        EXPECT_EQ(r.out, plain.out) << file;
    }
}

TEST_F(VetlinProcessTest, StartupFile) {
    std::ofstream(folder_.path() / "VETLIN.INI") << "-q\n";
    Result r = spawn({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = spawn({"-s"});
    EXPECT_EQ(r.out, banner());
    std::ofstream(folder_.path() / "VETLIN.INI") << "-i x\n";
    r = spawn({});
    EXPECT_EQ(r.status, 127);
    EXPECT_EQ(r.err, startup_usage_text);
    EXPECT_EQ(r.out, "");
}

// Typed at a terminal (a pseudo-terminal without echo): the prompt before each line, no line
// numbers, the caret indented by the prompt, and the matcher reset after each error, so each
// stray "fi" gets its hint.
TEST(VetlinTerminalTest, PromptsCaretsAndHintsAfterEachError) {
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct termios mode;
        ::tcgetattr(0, &mode);
        mode.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(0, TCSANOW, &mode);
        ::execl(VETLIN_BINARY, "vetlin", "-q", "-s", static_cast<char*>(nullptr));
        ::_exit(126);
    }
    // Typing starts at the first prompt, when echo is off already.
    std::string out;
    char buffer[512];
    for (ssize_t n; out.find("> ") == std::string::npos && (n = ::read(master, buffer, sizeof buffer)) > 0;)
        out.append(buffer, std::size_t(n));
    const std::string typed = "x := 1 2;\nfi;\nfi;\n\x04";
    ASSERT_EQ(::write(master, typed.data(), typed.size()), ssize_t(typed.size()));
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) out.append(buffer, std::size_t(n));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    std::erase(out, '\r');
    const std::string hint = "^ Syntax error\nA \"fi\" was found without a previous matching \"if\" or \"then\".\n\n";
    EXPECT_EQ(out, "> " + std::string(9, ' ') + "^ syntax error - Probably missing an operator such as *\n" +
                       "> " + std::string(2, ' ') + hint + "> " + std::string(2, ' ') + hint + "> ");
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

// Reports of typed input leave out every line number: the heading, the located details and the
// lines of equations.
TEST(VetlinTerminalTest, ReportsWithoutLineNumbers) {
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct termios mode;
        ::tcgetattr(0, &mode);
        mode.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(0, TCSANOW, &mode);
        ::execl(VETLIN_BINARY, "vetlin", "-q", "-s", "-i", "3", static_cast<char*>(nullptr));
        ::_exit(126);
    }
    std::string out;
    char buffer[512];
    for (ssize_t n; out.find("> ") == std::string::npos && (n = ::read(master, buffer, sizeof buffer)) > 0;)
        out.append(buffer, std::size_t(n));
    const std::string typed = "g := proc(x) local t; x end;\nx = 1;\nbreak;\n\x04";
    ASSERT_EQ(::write(master, typed.data(), typed.size()), ssize_t(typed.size()));
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) out.append(buffer, std::size_t(n));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    std::erase(out, '\r');
    EXPECT_EQ(out, "> Procedure  g( x ) \n"
                   "  These local variables were never used:  t\n"
                   "> > > A break statement is found outside of any loop\n"
                   "An equation is used as a statement \n"
                   "Global names used in this file:  g, x\n");
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

// In the process: every call starts afresh, whatever the one before left.
TEST(VetlinMainTest, RunsAgainAndAgainInOneProcess) {
    ScratchFolder folder;
    const std::string clean = (kCorpus / "clean.m").string();
    for (int i = 0; i < 3; ++i) {
        std::FILE* in = std::tmpfile();
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const char* usage[] = {"vetlin", "-z"};
        EXPECT_EQ(vetlin_main(2, usage, in, out, err), 127);
        EXPECT_EQ(slurp(err), startup_usage_text);
        const char* quiet[] = {"vetlin", "-q", "-S", clean.c_str()};
        EXPECT_EQ(vetlin_main(4, quiet, in, out, err), 0);
        const std::string stray = (kCorpus / "syntax_stray_fi.m").string();
        const char* bad[] = {"vetlin", "-q", "-s", stray.c_str()};
        std::FILE* report = std::tmpfile();
        EXPECT_EQ(vetlin_main(4, bad, in, report, err), 3);
        EXPECT_NE(slurp(report).find("misplaced"), std::string::npos);
        std::fclose(report);
        const char* plain[] = {"vetlin"};
        EXPECT_EQ(vetlin_main(1, plain, in, out, err), 0);
        EXPECT_EQ(slurp(out), banner());
        EXPECT_FALSE(vl.syntaxOnly);   // the earlier run's -S is gone
        std::fclose(in);
        std::fclose(out);
        std::fclose(err);
    }
}

}  // namespace
}  // namespace vetlin_test
