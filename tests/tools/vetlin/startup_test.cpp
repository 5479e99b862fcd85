// Tests of the checker's start-up: the options of the command line and of the start-up file,
// the usage text, the library directory, the routine name and the small helpers.
#include "tools/vetlin/startup.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/input.h"
#include "tools/vetlin/run.h"

namespace vetlin_test {
namespace {

class StartupTest : public RunFixture {
protected:
    void TearDown() override {
        ::unsetenv("KELVO");
        RunFixture::TearDown();
    }
    // Runs the start-up over the arguments (the program name first); the exit status when it
    // ends the run, 0 when it succeeds, 1 when it fails without ending it.
    int start(std::vector<const char*> args) {
        args.insert(args.begin(), "vetlin");
        int status = exit_status([&] { status_ = startup_run(int(args.size()), args.data()); });
        return status >= 0 ? status : status_ ? 0 : 1;
    }
    ScratchFolder folder_;
    bool status_ = false;
};

struct OptionRow {
    const char* name;
    std::vector<const char*> args;
    const char* startupFile;   // contents of VETLIN.INI, or null for none
    const char* kelvo;         // KELVO, or null when unset
    std::function<void()> check;
};

TEST_F(StartupTest, OptionsSetTheRunSettings) {
    const OptionRow rows[] = {
        {"defaults", {}, nullptr, nullptr, [] {
             EXPECT_EQ(vl.libraryDirectory, "/kelvov2/lib/lib");
             EXPECT_EQ(vl.infoLevel, 2);
             EXPECT_EQ(vl.fileName, "stdin");
             EXPECT_FALSE(vl.syntaxOnly || vl.noLogo || vl.crossReference || vl.allPackages);
             for (int n = 0; n < VL_ERRORS; ++n) EXPECT_FALSE(vl.turnedOff[n] || vl.forced[n]);
         }},
        {"KELVO", {}, nullptr, "/opt/k", [] { EXPECT_EQ(vl.libraryDirectory, "/opt/k/lib"); }},
        {"-b as given", {"-b", "/my/lib"}, nullptr, "/opt/k", [] { EXPECT_EQ(vl.libraryDirectory, "/my/lib"); }},
        {"-i 9 gives 4", {"-i", "9"}, nullptr, nullptr, [] { EXPECT_EQ(vl.infoLevel, 4); }},
        {"-i3 in one word", {"-i3"}, nullptr, nullptr, [] { EXPECT_EQ(vl.infoLevel, 3); }},
        {"a huge level is 4", {"-i", "99999999999999999999"}, nullptr, nullptr, [] { EXPECT_EQ(vl.infoLevel, 4); }},
        {"-S -i 3 keeps 0", {"-S", "-i", "3"}, nullptr, nullptr, [] {
             EXPECT_EQ(vl.infoLevel, 0);
             EXPECT_TRUE(vl.syntaxOnly);
         }},
        {"-i 3 -S gives 0", {"-i", "3", "-S"}, nullptr, nullptr, [] { EXPECT_EQ(vl.infoLevel, 0); }},
        {"-t 5 -t 5 leaves 5", {"-t", "5", "-t", "5"}, nullptr, nullptr, [] {
             EXPECT_FALSE(vl.turnedOff[5]);
             EXPECT_FALSE(vl.forced[5]);
         }},
        {"-t 5 turns 5 off and forces it", {"-t", "5"}, nullptr, nullptr, [] {
             EXPECT_TRUE(vl.turnedOff[5]);
             EXPECT_TRUE(vl.forced[5]);
         }},
        {"-S -t 7 reports only 7, always", {"-S", "-t", "7"}, nullptr, nullptr, [] {
             for (int n = 0; n < VL_ERRORS; ++n) {
                 EXPECT_EQ(vl.turnedOff[n], n != 7) << n;
                 EXPECT_EQ(vl.forced[n], n == 7) << n;
             }
         }},
        {"flags", {"-glnpqsx"}, nullptr, nullptr, [] {
             EXPECT_TRUE(vl.suppressLibraryWarnings && vl.impliedDo && vl.allPackages && vl.noLogo &&
                         vl.skipStartupFile && vl.crossReference);
         }},
        {"the start-up file overrides", {"-i", "3"}, "-i 1\n-x", nullptr, [] {
             EXPECT_EQ(vl.infoLevel, 1);
             EXPECT_TRUE(vl.crossReference);
         }},
        {"-s skips the start-up file", {"-s", "-i", "3"}, "-i 1", nullptr, [] { EXPECT_EQ(vl.infoLevel, 3); }},
        {"the start-up file names the file", {}, "-q f.m", nullptr, [] {
             EXPECT_EQ(vl.fileName, "f.m");
             EXPECT_EQ(input_slot(), 0);
             EXPECT_NE(input_current(), vl.in);
         }},
        {"both name a file", {"g.m"}, "f.m", nullptr, [] {
             EXPECT_EQ(vl.fileName, "f.m");
             EXPECT_EQ(input_slot(), 1);
         }},
        {"the file's name object", {"./src/plot/axes"}, nullptr, nullptr, [] {
             EXPECT_EQ(vl.path, "plot/axes");
             EXPECT_STREQ(vl_name_text(vl.fileNameObject), "./src/plot/axes");
         }},
        {"a database that opens", {"-d", "procs.db"}, nullptr, nullptr, [] { EXPECT_TRUE(vl.databaseLoaded); }},
        {"-a and -o open their files", {"-a", "append.db", "-o", "out.txt"}, nullptr, nullptr, [] {
             EXPECT_NE(vl.appendDatabase, nullptr);
             EXPECT_EQ(vl.report, vl.reportFile);
             EXPECT_NE(vl.report, nullptr);
         }},
    };
    std::ofstream("f.m") << "f := 1;\n";
    std::ofstream("g.m") << "g := 1;\n";
    std::ofstream("procs.db") << "f 1 1 0 f.m\n";
    std::filesystem::create_directories("src/plot");
    std::ofstream("src/plot/axes") << "\n";
    for (const OptionRow& row : rows) {
        SCOPED_TRACE(row.name);
        vl_begin_run(in_, out_, err_);
        vl_make_constants();
        std::filesystem::remove("VETLIN.INI");
        if (row.startupFile != nullptr) std::ofstream("VETLIN.INI") << row.startupFile;
        if (row.kelvo != nullptr) ::setenv("KELVO", row.kelvo, 1);
        else ::unsetenv("KELVO");
        ASSERT_EQ(start(row.args), 0) << errors();
        row.check();
    }
}

TEST_F(StartupTest, MisuseGivesTheUsageText) {
    const std::vector<std::vector<const char*>> rows = {
        {"-i", "x"}, {"-i", ""}, {"-t", "32"}, {"-t", "99999999999999999999"}, {"-t", "-1"},
        {"-z"}, {"-o"}, {"-i"}, {"a.m", "b.m"}, {"-:"},
    };
    for (const auto& args : rows) {
        vl_begin_run(in_, out_, err_);
        vl_make_constants();
        std::FILE* err = std::tmpfile();
        vl.err = err;
        EXPECT_EQ(start(args), 127) << args[0];
        EXPECT_EQ(slurp(err), startup_usage_text) << args[0];
        std::fclose(err);
    }
    EXPECT_EQ(output(), "");
}

TEST_F(StartupTest, UsageTextIsExact) {
    EXPECT_STREQ(startup_usage_text,
                 "Usage: vetlin [options] [files]\n"
                 "Options:\n"
                 "-i level        info level (0 to 3)\n"
                 "-l              suppress library source type warnings\n"
                 "-q              suppress Kelvo logo\n"
                 "-s              do not read Vetlin startup file\n"
                 "-S              check syntax only\n"
                 "-x              display cross reference information\n"
                 "-a database     append proc definitions to database\n"
                 "-b library      use the library in the specified directory\n"
                 "-d database     use the specified library database\n"
                 "-t error        turn off the specified error number\n"
                 "-o outfile      redirect output to specified file\n");
}

TEST_F(StartupTest, FilesThatCannotBeOpened) {
    std::filesystem::create_directory("dir");
    struct Row {
        std::vector<const char*> args;
        const char* message;
    } rows[] = {
        {{"nofile.m"}, "vetlin: cannot read nofile.m\n"},
        {{"dir"}, "vetlin: cannot read dir\n"},
        {{"-d", "nofile.db"}, "vetlin: cannot read nofile.db\n"},
        {{"-d", "dir"}, "vetlin: cannot read dir\n"},
        {{"-o", "missing/out"}, "vetlin: cannot write to missing/out\n"},
        {{"-a", "missing/db"}, "vetlin: cannot append to missing/db\n"},
    };
    for (const Row& row : rows) {
        vl_begin_run(in_, out_, err_);
        vl_make_constants();
        std::FILE* err = std::tmpfile();
        vl.err = err;
        EXPECT_EQ(start(row.args), 1) << row.message;
        EXPECT_EQ(slurp(err), row.message);
        std::fclose(err);
    }
}

TEST_F(StartupTest, StartupFileWithBadOptions) {
    std::ofstream("VETLIN.INI") << "-i x\n";
    std::FILE* err = std::tmpfile();
    vl.err = err;
    EXPECT_EQ(start({}), 127);
    EXPECT_EQ(slurp(err), startup_usage_text);
    std::fclose(err);
}

TEST_F(StartupTest, StartupFileOfTooManyWordsIsRefused) {
    {
        std::ofstream ini("VETLIN.INI");
        for (int i = 0; i < 132; ++i) ini << "-q ";
    }
    std::FILE* err = std::tmpfile();
    vl.err = err;
    EXPECT_EQ(start({}), 1);
    EXPECT_EQ(slurp(err), "vetlin: more than 131 words in VETLIN.INI\n");
    std::fclose(err);
}

TEST(StartupWordsTest, WordsOfTheStartupFile) {
    struct Row {
        const char* name;
        std::string text;
        bool stopAtNewline;
        std::vector<std::string> words;
        bool fits;
    } rows[] = {
        {"empty", "", false, {"prog"}, true},
        {"blanks, tabs and lines", "  -q\t-i 3\n\n-x  \n", false, {"prog", "-q", "-i", "3", "-x"}, true},
        {"stop at the newline", "-q -s\n-x", true, {"prog", "-q", "-s"}, true},
        {"a long word keeps 511 characters", std::string(600, 'w') + " next", false,
         {"prog", std::string(511, 'w'), "next"}, true},
        {"131 words", [] { std::string s; for (int i = 0; i < 131; ++i) s += "a "; return s; }(), false,
         std::vector<std::string>(132, "a"), true},
        {"132 words", [] { std::string s; for (int i = 0; i < 132; ++i) s += "a "; return s; }(), false,
         std::vector<std::string>(132, "a"), false},
    };
    rows[4].words[0] = rows[5].words[0] = "prog";
    for (const Row& row : rows) {
        std::FILE* f = std::tmpfile();
        std::fwrite(row.text.data(), 1, row.text.size(), f);
        std::rewind(f);
        std::vector<std::string> words;
        EXPECT_EQ(startup_read_words(f, row.stopAtNewline, "prog", words), row.fits) << row.name;
        EXPECT_EQ(words, row.words) << row.name;
        std::fclose(f);
    }
}

TEST(StartupRoutineNameTest, WorkedOutFromThePath) {
    struct Row {
        const char* path;
        const char* library;
        const char* routine;
    } rows[] = {
        {"./src/plot/axes", "/kelvov2/lib/lib", "plot/axes"},
        {"lib/src/foo", "/kelvov2/lib/lib", "lib/foo"},
        {"", "/kelvov2/lib/lib", ""},
        {"/kelvov2/lib/lib/src/foo", "/kelvov2/lib/lib", "foo"},
        {"/kelvov2/lib/lib/plot/axes", "/kelvov2/lib/lib", "plot/axes"},
        {"/kelvov2/lib/lib/x", "", "kelvov2/lib/lib/x"},
        {"src/sin", "/l", "sin"},
        {"./a/src/b/src/c", "/l", "a/b/src/c"},
        {"/abs/name", "/l", "abs/name"},
    };
    for (const Row& row : rows) {
        std::string path = row.path;
        startup_routine_name(path, row.library);
        EXPECT_EQ(path, row.routine) << row.path;
    }
    std::string longPath = "./src/" + std::string(5000, 'p');
    startup_routine_name(longPath, "/l");
    EXPECT_EQ(longPath, std::string(5000, 'p'));
}

TEST(StartupHelpersTest, UnsignedFindAndRemovePrefix) {
    EXPECT_EQ(startup_unsigned(""), -1);
    EXPECT_EQ(startup_unsigned("12"), 12);
    EXPECT_EQ(startup_unsigned("007"), 7);
    EXPECT_EQ(startup_unsigned("1a"), -1);
    EXPECT_EQ(startup_unsigned("-1"), -1);
    EXPECT_EQ(startup_unsigned("99999999999999999999"), LONG_MAX);
    EXPECT_EQ(startup_find("abcabc", "ca"), 2);
    EXPECT_EQ(startup_find("abc", ""), 0);
    EXPECT_EQ(startup_find("abc", "x"), -1);
    std::string text = "abcdef";
    startup_remove_prefix(text, 2);
    EXPECT_EQ(text, "cdef");
    startup_remove_prefix(text, 10);
    EXPECT_EQ(text, "");
}

using StartupSequenceTest = RunFixture;

TEST_F(StartupSequenceTest, PopAndAppend) {
    VObj stack = store_sequence(5, DAG_EXPSEQ);
    stack = startup_append(stack, vl.one);
    stack = startup_append(stack, vl.ten);
    EXPECT_EQ(startup_pop(stack), vl.ten);
    stack = startup_append(stack, vl.zero);
    EXPECT_EQ(startup_pop(stack), vl.zero);
    EXPECT_EQ(startup_pop(stack), vl.one);
    EXPECT_EQ(vl_length(stack), 1);
    EXPECT_EQ(startup_pop(stack), vl.null);
    EXPECT_EQ(output(), "Trying to pop an empty stack\n");
}

}  // namespace
}  // namespace vetlin_test
