// Tests of the option scanner: option letters, arguments in both forms, the end of the options
// and the usage line.
#include "tools/console/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    const char* name;
    std::vector<const char*> args;
    std::string scanned;   // letter, or letter=argument, one per option
    int operandIndex;
};

TEST(OptionsTest, ScansClustersArgumentsAndOperands) {
    const Case cases[] = {
        {"clusters", {"prog", "-ac", "-bfile", "x"}, "a c b=file ", 3},
        {"argument in the next word", {"prog", "-b", "file", "x"}, "b=file ", 3},
        {"two minus signs end the options", {"prog", "-a", "--", "-c"}, "a ", 3},
        {"a lone minus sign ends the options", {"prog", "-", "-c"}, "", 2},
        {"no options", {"prog", "x", "-a"}, "", 1},
        {"nothing at all", {"prog"}, "", 1},
        {"argument ends a cluster", {"prog", "-abc", "-c"}, "a b=c c ", 3},
    };
    for (const Case& c : cases) {
        option_reset();
        std::string scanned;
        for (int letter; (letter = option_next(int(c.args.size()), c.args.data(), "ab:c", "prog",
                                               "file ...")) != -1;) {
            scanned += char(letter);
            if (optionArgument != nullptr) scanned += std::string("=") + optionArgument;
            scanned += ' ';
        }
        EXPECT_EQ(scanned, c.scanned) << c.name;
        EXPECT_EQ(optionIndex, c.operandIndex) << c.name;
    }
}

// The checked scanner hands misuse back as '?' and goes on with the next word.
TEST(OptionsTest, CheckedScanAnswersMisuse) {
    const Case cases[] = {
        {"unknown letter", {"prog", "-z", "-a"}, "? a ", 3},
        {"unknown letter in a cluster", {"prog", "-za", "x"}, "? a ", 2},
        {"missing argument", {"prog", "-a", "-b"}, "a ? ", 3},
        {"colon", {"prog", "-:"}, "? ", 2},
    };
    for (const Case& c : cases) {
        option_reset();
        std::string scanned;
        for (int letter; (letter = option_next_checked(int(c.args.size()), c.args.data(), "ab:c")) != -1;) {
            scanned += char(letter);
            if (optionArgument != nullptr) scanned += std::string("=") + optionArgument;
            scanned += ' ';
        }
        EXPECT_EQ(scanned, c.scanned) << c.name;
        EXPECT_EQ(optionIndex, c.operandIndex) << c.name;
    }
}

TEST(OptionsTest, UsageLine) {
    EXPECT_EQ(option_usage_line("prog", "ab:c", "file ..."), "Usage: prog [-ac] [-b...] file ...");
    EXPECT_EQ(option_usage_line("p", "x:y:", "f"), "Usage: p [-x...] [-y...] f");
    EXPECT_EQ(option_usage_line("p", "q", "f"), "Usage: p [-q] f");
}

using OptionsDeathTest = ::testing::Test;

TEST_F(OptionsDeathTest, MisuseShowsUsageAndExits) {
    const std::vector<std::vector<const char*>> misuses = {
        {"prog", "-b"},          // argument missing
        {"prog", "-z"},          // unknown letter
        {"prog", "-:"},          // ":" is never an option
    };
    for (const auto& args : misuses) {
        EXPECT_EXIT(
            {
                option_reset();
                while (option_next(int(args.size()), args.data(), "ab:c", "prog", "file ...") != -1) {
                }
            },
            ::testing::ExitedWithCode(1), "^Usage: prog \\[-ac\\] \\[-b\\.\\.\\.\\] file \\.\\.\\.\n$")
            << args[1];
    }
}

}  // namespace
