// The installation's folders do not depend on how the program was started: by its path,
// through a symbolic link, or by a bare name found through PATH.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/KWorksheetApp.h"

namespace {

namespace fs = std::filesystem;

// Runs the command line with the shell and answers its standard output.
std::string outputOf(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

TEST(KWorksheetAppInstall, FoldersComeFromTheRealProgramFile) {
    const fs::path probe = fs::canonical(INSTALL_PROBE);
    const fs::path dir = fs::temp_directory_path() / ("kwsprobe_" + std::to_string(::getpid()));
    fs::create_directories(dir / "config");
    fs::create_symlink(probe, dir / "kprobe");
    const std::string env = "XDG_CONFIG_HOME=" + (dir / "config").string() + " QT_QPA_PLATFORM=offscreen ";
    const std::string install = KWorksheetApp::installDirectoryOf(probe.string());
    const std::string expected = "help " + install + "/kwshelp\nafm " + KWorksheetApp::dataFolderOf(install, "afm") + "\n";
    struct Row {
        const char* name;
        std::string command;
    } rows[] = {
        {"by its path", env + probe.string() + " -nosplash"},
        {"through a symbolic link", env + (dir / "kprobe").string() + " -nosplash"},
        {"by a bare name through PATH", "cd / && " + env + "PATH=" + dir.string() + ":/usr/bin:/bin kprobe -nosplash"},
    };
    for (const Row& r : rows) EXPECT_EQ(outputOf(r.command), expected) << r.name;
    fs::remove_all(dir);
}

}  // namespace
