// The options object on arbitrary ini text and command-line words: it reads them, writes its
// settings back to the same ini file, and a second object reading that file must hold the same
// settings.
//
// Input: the ini text, then (after the first NUL byte) command-line words separated by NUL
// bytes; the program name comes first on its own.  The file lives in a temporary configuration
// folder on /dev/shm when there is one (the ini writer syncs every write).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "options/KOptions.h"
#include "tests/options/options_settings.h"

namespace {

// A program without windows or printers: a 1024 x 768 screen, fixed palette sizes.
class FuzzHost : public KOptionsHost {
public:
    Size screenSize() override { return Size(1024, 768); }
    bool mainFrame(FrameState&) override { return false; }
    bool activeWorksheetFrame(bool&) override { return false; }
    bool paletteWindow(int, bool&, Point&) override { return false; }
    bool measurePalettes(Size sizes[PALETTE_COUNT]) override {
        sizes[0] = Size(288, 120);
        sizes[1] = Size(144, 96);
        sizes[2] = Size(96, 97);
        return true;
    }
    int printerCount() override { return 0; }
    String printerName(int) override { return String(); }
    void makePrinter(const String&) override {}
    bool currentPrinter(String&) override { return false; }
    void addRecentFile(const String&) override {}
    int recentFileCount() override { return 0; }
    String recentFile(int) override { return String(); }
    FilePath& applicationPath(int kind) override { return paths[kind & 3]; }
    FilePath paths[APP_PATH_COUNT];
};

std::string iniPath;

void setUp() {
    if (!iniPath.empty()) return;
    char shm[] = "/dev/shm/kelvo_fuzz_options_XXXXXX";
    char tmp[] = "/tmp/kelvo_fuzz_options_XXXXXX";
    const char* dir = mkdtemp(shm);
    if (dir == nullptr) dir = mkdtemp(tmp);
    if (dir == nullptr) abort();
    setenv("XDG_CONFIG_HOME", dir, 1);
    iniPath = std::string(dir) + "/rezuru5.ini";
}

std::string wordsText(const KOptions& o) {
    std::string text;
    for (int i = 0; i < o.kernelArgs.count(); ++i) text += std::string(o.kernelArgs.word(i)) + "\x01";
    text += "\x02";
    for (const std::string& w : o.commandLineWorksheets()) text += w + "\x01";
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUp();
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t end = input.find('\0');
    std::string ini = input.substr(0, end);
    std::vector<std::string> words = {"wkelvo"};
    while (end != std::string::npos) {
        std::size_t next = input.find('\0', end + 1);
        words.push_back(input.substr(end + 1, next == std::string::npos ? std::string::npos : next - end - 1));
        end = next;
    }
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());

    std::ofstream(iniPath, std::ios::binary | std::ios::trunc) << ini;
    FuzzHost firstHost;
    KOptions first(static_cast<int>(argv.size()), argv.data(), firstHost);
    first.options_write();
    // A path that could not be written (its error state) is written as "": the next start sees
    // the current directory.
    for (FilePath& path : firstHost.paths)
        if (path.hasError()) path = FilePath();

    FuzzHost secondHost;
    KOptions second(static_cast<int>(argv.size()), argv.data(), secondHost);
    if (optionsSettingsText(first) != optionsSettingsText(second) || wordsText(first) != wordsText(second)) {
        std::fprintf(stderr, "first:\n%s\nsecond:\n%s\n", optionsSettingsText(first).c_str(),
                     optionsSettingsText(second).c_str());
        abort();
    }
    return 0;
}
