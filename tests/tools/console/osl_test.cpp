// Tests of the console operating-system layer.
#include "tools/console/osl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(ConsoleOsTest, CommandOfTwoLinesRunsAsOne) {
    std::string out = std::filesystem::temp_directory_path() / ("osl_" + std::to_string(getpid()));
    std::string command = "echo one\necho two > " + out + "\r";
    int status = os_system(command.data());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(command, "echo one echo two > " + out + " ");
    std::ifstream f(out);
    std::string line;
    std::getline(f, line);
    EXPECT_EQ(line, "one echo two");
    std::remove(out.c_str());
}

TEST(ConsoleOsTest, LibraryDirectory) {
    struct { const char* module; const char* dir; } cases[] = {
        {"/a/b/prog", "/a"}, {"/prog", ""}, {"prog", ""}, {"/x/y/z/bin/srcmend", "/x/y/z"},
    };
    for (const auto& c : cases) {
        os_set_library_directory(c.module, "v");
        EXPECT_STREQ(os_library_directory(), c.dir) << c.module;
        EXPECT_STREQ(os_library_value(), "v");
    }
    os_set_library_directory(nullptr, nullptr);
    EXPECT_NE(os_library_directory()[0], '\0');
}

TEST(ConsoleOsTest, TemporaryFilesAreNewAndPrivate) {
    std::string a = os_temp_file_name();
    std::string b = os_temp_file_name();
    EXPECT_NE(a, b);
    for (const std::string& n : {a, b}) {
        EXPECT_NE(n.find("/zup4"), std::string::npos);
        struct stat st{};
        ASSERT_EQ(stat(n.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        std::remove(n.c_str());
    }
}

TEST(ConsoleOsTest, AllocationCount) {
    os_alloc_reset_stats();
    void* a = os_alloc(100);
    void* b = os_alloc(28);
    std::size_t blocks = 0, bytes = 0;
    EXPECT_EQ(os_alloc_stats(&blocks, &bytes), 128u);
    EXPECT_EQ(blocks, 2u);
    a = os_realloc(a, 200);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(os_alloc_stats(nullptr, nullptr), 228u);
    os_alloc_fail_after(0);
    EXPECT_EQ(os_alloc(1), nullptr);
    EXPECT_EQ(os_realloc(a, 300), nullptr);   // the block is kept
    os_alloc_fail_after(-1);
    os_free(a);
    os_free(b);
}

}  // namespace
