// The command line: kernel options and the program's own, the connection descriptors, the
// kernel's start arguments and the worksheets to open.
#include "options/KOptions.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>

#include "kernel_link/KL_PipeServer.h"
#include "kernel_link/kl_paths.h"
#include "options_fixture.h"
#include "tests/support/named_rows.h"

namespace {

using Words = std::vector<std::string>;

Words wordsOf(const KL_ArgList& list) {
    Words words;
    for (int i = 0; i < list.count(); ++i) words.emplace_back(list.word(i));
    EXPECT_EQ(list.words()[list.count()], nullptr);
    return words;
}

std::string joined(const Words& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : " | ") + w;
    return text;
}

using kelvo_test::PrintTo;

struct CommandLineRow {
    const char* name;
    const char* ini;            // the ini file's text
    Words words;                // program name first
    Words kernelArgs;
    Words otherArgs;            // empty: the same as `words`
    int kernelSharing, linkKind, kernelUiMode, showSplash;
    Words worksheets;
    const char* serverCommand;  // nullptr: the default kernel server
    const char* host;           // nullptr: no network descriptor
    int port;
};


class CommandLineTest : public OptionsFixture, public ::testing::WithParamInterface<CommandLineRow> {};

TEST_P(CommandLineTest, GivesItsSettings) {
    const CommandLineRow& r = GetParam();
    writeIni(r.ini);
    std::vector<const char*> argv;
    for (const std::string& w : r.words) argv.push_back(w.c_str());
    auto o = make(argv);
    EXPECT_EQ(joined(wordsOf(o->kernelArgs)), joined(r.kernelArgs));
    EXPECT_EQ(joined(wordsOf(o->otherArgs)), joined(r.otherArgs.empty() ? r.words : r.otherArgs));
    EXPECT_EQ(o->kernelSharing, r.kernelSharing);
    EXPECT_EQ(o->linkKind, r.linkKind);
    EXPECT_EQ(o->kernelUiMode, r.kernelUiMode);
    EXPECT_EQ(o->showSplash, r.showSplash);
    EXPECT_EQ(joined(o->commandLineWorksheets()), joined(r.worksheets));

    ASSERT_NE(o->pipeServerInfo, nullptr);
    EXPECT_EQ(o->pipeServerInfo->linkType, KL_LINK_SERVER);
    EXPECT_EQ(o->pipeServerInfo->transport, KL_TRANSPORT_PIPES);
    ASSERT_TRUE(o->pipeServerInfo->serverCommand.has_value());
    EXPECT_EQ(*o->pipeServerInfo->serverCommand, r.serverCommand ? r.serverCommand : kl_kernel_server_path());
    EXPECT_EQ(o->reservedInfo1, nullptr);
    EXPECT_EQ(o->reservedInfo2, nullptr);
    if (r.host == nullptr) {
        EXPECT_EQ(o->networkInfo, nullptr);
    } else {
        ASSERT_NE(o->networkInfo, nullptr);
        EXPECT_EQ(o->networkInfo->transport, KL_TRANSPORT_NETWORK);
        EXPECT_FALSE(o->networkInfo->serverCommand.has_value());
        ASSERT_TRUE(o->networkInfo->host.has_value());
        EXPECT_EQ(*o->networkInfo->host, r.host);
        EXPECT_EQ(o->networkInfo->port, r.port);
    }
}

const Words kStart = {"wkelvo", "-T", ",,512"};

const CommandLineRow kCommandLines[] = {
    {"nothing", "", {"wkelvo"}, kStart, {}, 0, 2, 0, 1, {}, nullptr, nullptr, 0},
    {"own kernel server for each worksheet", "", {"wkelvo", "-km", "p"}, kStart, {}, 1, 3, 0, 1, {},
     nullptr, nullptr, 0},
    {"own in-process kernel for each worksheet", "", {"wkelvo", "-km", "p", "-kd", "d"}, kStart, {}, 1, 2, 0, 1,
     {}, nullptr, nullptr, 0},
    {"later option wins", "", {"wkelvo", "-km", "p", "-km", "s"}, kStart, {}, 0, 3, 0, 1, {}, nullptr, nullptr, 0},
    {"km a, q and other letters", "", {"wkelvo", "-km", "all", "-km", "q", "-km", "x"}, kStart, {}, 2, 2, 2, 1,
     {}, nullptr, nullptr, 0},
    {"kp and kd l", "", {"wkelvo", "-kp", "-kd", "l"}, kStart, {}, 0, 3, 1, 1, {}, nullptr, nullptr, 0},
    {"kd r and other letters", "", {"wkelvo", "-kd", "r", "-kd", "z"}, kStart, {}, 0, 6, 0, 1, {}, nullptr,
     nullptr, 0},
    {"km last without a value", "", {"wkelvo", "a.kws", "-km"}, kStart, {}, 0, 2, 0, 1, {"a.kws"}, nullptr,
     nullptr, 0},
    {"kd last without a value", "", {"wkelvo", "-kd"}, kStart, {}, 0, 2, 0, 1, {}, nullptr, nullptr, 0},
    {"km followed by an option", "", {"wkelvo", "-km", "-kd", "l"}, kStart, {}, 0, 3, 0, 1, {}, nullptr,
     nullptr, 0},
    {"nosplash takes the file as its value", "", {"wkelvo", "-nosplash", "a.kws"}, kStart, {}, 0, 2, 0, 0, {},
     nullptr, nullptr, 0},
    {"file first, nosplash last", "", {"wkelvo", "a.kws", "-nosplash"}, kStart, {}, 0, 2, 0, 0, {"a.kws"},
     nullptr, nullptr, 0},
    {"slash nosplash", "", {"wkelvo", "/nosplash"}, kStart, {}, 0, 2, 0, 0, {}, nullptr, nullptr, 0},
    {"upper-case NOSPLASH is ignored", "", {"wkelvo", "-NOSPLASH"}, kStart, {}, 0, 2, 0, 1, {}, nullptr,
     nullptr, 0},
    {"unknown option takes its value along", "", {"wkelvo", "-zoom", "2", "b.kws"}, kStart, {}, 0, 2, 0, 1,
     {"b.kws"}, nullptr, nullptr, 0},
    {"kernel options reach only the kernel", "", {"wkelvo", "-q", "-b", "/usr/lib/kelvo", "x.kws"},
     {"wkelvo", "-q", "-b", "/usr/lib/kelvo", "-T", ",,512"}, {"wkelvo", "x.kws"}, 0, 2, 0, 1, {"x.kws"},
     nullptr, nullptr, 0},
    {"host without port", "", {"wkelvo", "-kth", "calc.example.org"}, kStart, {}, 0, 2, 0, 1, {}, nullptr,
     "calc.example.org", 0},
    {"host and port", "", {"wkelvo", "-ktp", "4242", "-kth", "calc"}, kStart, {}, 0, 2, 0, 1, {}, nullptr,
     "calc", 4242},
    {"port beyond 32 bits", "", {"wkelvo", "-kth", "calc", "-ktp", "99999999999"}, kStart, {}, 0, 2, 0, 1, {},
     nullptr, "calc", 0},
    {"server command", "", {"wkelvo", "-km", "p", "-kpipeserver", "/opt/kelvo/kernsrv"}, kStart, {}, 1, 3, 0, 1,
     {}, "/opt/kelvo/kernsrv", nullptr, 0},
    {"command-line -b keeps KelvoLib out", "[Options]\nKelvoLib=/ini/lib\n", {"wkelvo", "-b", "/cmd/lib"},
     {"wkelvo", "-b", "/cmd/lib", "-T", ",,512"}, {"wkelvo"}, 0, 2, 0, 1, {}, nullptr, nullptr, 0},
    {"attached -b is no option b", "[Options]\nKelvoLib=/ini/lib\n", {"wkelvo", "-b/cmd/lib"},
     {"wkelvo", "-b/cmd/lib", "-b", "/ini/lib", "-T", ",,512"}, {"wkelvo"}, 0, 2, 0, 1, {}, nullptr, nullptr, 0},
    {"KelvoLib with blanks unchanged", "[Options]\nKelvoLib=/opt/my kelvo/lib dir\n", {"wkelvo"},
     {"wkelvo", "-b", "/opt/my kelvo/lib dir", "-T", ",,512"}, {}, 0, 2, 0, 1, {}, nullptr, nullptr, 0},
    {"stack limit", "[Options]\nStackLimit=1024\n", {"wkelvo"}, {"wkelvo", "-T", ",,1024"}, {}, 0, 2, 0, 1, {},
     nullptr, nullptr, 0},
    {"program started by its absolute path", "", {"/usr/bin/wkelvo", "a.kws"}, {"/usr/bin/wkelvo", "-T", ",,512"},
     {}, 0, 2, 0, 1, {"a.kws"}, nullptr, nullptr, 0},
    {"absolute worksheet paths", "", {"wkelvo", "/home/u/a.kws", "-km", "p", "/home/u/b.kws"}, kStart, {}, 1, 3,
     0, 1, {"/home/u/a.kws", "/home/u/b.kws"}, nullptr, nullptr, 0},
};

INSTANTIATE_TEST_SUITE_P(Rows, CommandLineTest, ::testing::ValuesIn(kCommandLines),
                         [](const ::testing::TestParamInfo<CommandLineRow>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

using CommandLineWords = OptionsFixture;

TEST_F(CommandLineWords, FiftyWordsAreAllKept) {
    std::vector<std::string> files;
    for (int i = 1; i <= 45; ++i) files.push_back("sheet" + std::to_string(i) + ".kws");
    std::vector<std::string> words = {"wkelvo"};
    words.insert(words.end(), files.begin(), files.begin() + 20);
    words.insert(words.end(), {"-km", "p"});
    words.insert(words.end(), files.begin() + 20, files.begin() + 40);
    words.insert(words.end(), {"-kd", "l"});
    words.insert(words.end(), files.begin() + 40, files.end());
    ASSERT_EQ(words.size(), 50u);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    auto o = make(argv);
    EXPECT_EQ(wordsOf(o->otherArgs), words);
    EXPECT_EQ(o->commandLineWorksheets(), files);
    EXPECT_EQ(o->kernelSharing, 1);
    EXPECT_EQ(o->linkKind, 3);
}

// A kernel server path that needs quoting for the pipe link's command splitter.
TEST_F(CommandLineWords, DefaultServerCommandSplitsBackIntoThePath) {
    const char* old = std::getenv("KELVO_KERNSRV");
    std::string saved = old ? old : "";
    for (const char* path : {"/opt/kelvo 5/kernsrv", "/opt/say \"hi\"/kernsrv", "/opt/back\\slash/kernsrv",
                             "/opt/plain/kernsrv"}) {
        SCOPED_TRACE(path);
        setenv("KELVO_KERNSRV", path, 1);
        auto o = make();
        ASSERT_TRUE(o->pipeServerInfo->serverCommand.has_value());
        EXPECT_EQ(kl_split_command_line(*o->pipeServerInfo->serverCommand), Words{path});
    }
    if (old) setenv("KELVO_KERNSRV", saved.c_str(), 1);
    else unsetenv("KELVO_KERNSRV");
}

TEST_F(CommandLineWords, KelvoLibWithBlanksIsWrittenBackUnchanged) {
    writeIni("[Options]\nKelvoLib=/opt/my kelvo/lib\n");
    auto o = make();
    EXPECT_STREQ(o->libraryPath.text(), "/opt/my kelvo/lib");
    ASSERT_TRUE(o->options_write());
    EXPECT_EQ(iniValue(readIni(), "Options", "KelvoLib"), "/opt/my kelvo/lib");
}

}  // namespace
