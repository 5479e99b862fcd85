// Replacing a file through a temporary: the new content arrives whole, the old file survives
// every failure byte for byte, no temporary is left behind, links and permission bits stay.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/replace_file.h"

namespace {

class ReplaceFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/replace_file_testXXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override {
        for (const std::string& f : entries()) ::unlink((dir + "/" + f).c_str());
        ::rmdir(dir.c_str());
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        if (DIR* d = ::opendir(dir.c_str())) {
            while (dirent* e = ::readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
            ::closedir(d);
        }
        return out;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static mode_t modeOf(const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
    }
    std::string dir;
};

TEST_F(ReplaceFileTest, NewAndExistingFilesGetTheWholeContentAndKeepTheirMode) {
    const std::string path = dir + "/a.kws";
    ASSERT_EQ(replace_file_contents(path, "first"), 0);
    EXPECT_EQ(read(path), "first");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(path), 0666 & ~mask) << "a new file gets the umask's bits, not mkstemp's 0600";

    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(replace_file_contents(path, std::string(100000, 'x')), 0);
    EXPECT_EQ(read(path), std::string(100000, 'x'));
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(entries(), std::vector<std::string>{"a.kws"});
}

TEST_F(ReplaceFileTest, ALinkIsFollowedToItsTargetAndStaysALink) {
    ASSERT_EQ(::mkdir((dir + "/sub").c_str(), 0755), 0);
    const std::string target = dir + "/sub/real.txt";
    write(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    const std::string link = dir + "/link.txt";
    ASSERT_EQ(::symlink("sub/real.txt", link.c_str()), 0);
    EXPECT_EQ(resolve_link_target(link), dir + "/sub/real.txt");
    ASSERT_EQ(replace_file_contents(link, "new"), 0);
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read(target), "new");
    EXPECT_EQ(modeOf(target), 0604u);
    ::unlink(target.c_str());
    ::rmdir((dir + "/sub").c_str());
}

TEST_F(ReplaceFileTest, FailuresLeaveTheOldFileAndNoTemporary) {
    const std::string path = dir + "/keep.txt";
    struct Row {
        const char* name;
        std::function<bool(const std::string&)> writer;
    } rows[] = {
        {"the writer reports a failure after writing", [](const std::string& temp) {
             write(temp, "half");
             return false;
         }},
        {"the writer fails with its own errno", [](const std::string&) {
             errno = ENOSPC;
             return false;
         }},
    };
    for (const Row& r : rows) {
        write(path, "the old content");
        const int error = replace_file(path, r.writer);
        EXPECT_NE(error, 0) << r.name;
        EXPECT_EQ(read(path), "the old content") << r.name;
        EXPECT_EQ(entries(), std::vector<std::string>{"keep.txt"}) << r.name;
    }
    EXPECT_EQ(replace_file(dir + "/missing/x.txt", [](const std::string&) { return true; }), ENOENT);
    EXPECT_EQ(replace_file(dir, [](const std::string&) { return true; }), EISDIR);
}

// A write that passes the file-size limit fails half-way (EFBIG, SIGXFSZ ignored): the child
// reports the error it got, the parent finds the old file untouched and no temporary.
TEST_F(ReplaceFileTest, AWriteCutShortByTheFileSizeLimitLeavesTheOldFile) {
    const std::string path = dir + "/big.txt";
    const std::string old(3000, 'o');
    write(path, old);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int error = replace_file_contents(path, std::string(10000, 'n'));
        ::_exit(error == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's replace did not fail with EFBIG";
    EXPECT_EQ(read(path), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"big.txt"});
}

}  // namespace
