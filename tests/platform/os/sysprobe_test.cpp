// Tests of the operating-system probes.
#include "platform/os/sysprobe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TEST(SysProbeTest, VariantsAndResources)
{
    EXPECT_FALSE(sys_is_win32s());
    EXPECT_FALSE(sys_is_windows95());
    EXPECT_EQ(sys_free_system_resources(), 100);
    EXPECT_FALSE(sys_resources_low());
    EXPECT_EQ(sys_device_object_new(nullptr), nullptr);
    sys_device_object_delete(nullptr);
}

TEST(SysProbeTest, JapaneseFromLocaleAndOverride)
{
    struct Case {
        const char* lcAll;
        const char* lang;
        bool japanese;
    };
    const Case cases[] = {
        {nullptr, "ja_JP.SJIS", true},
        {nullptr, "ja", true},
        {nullptr, "en_US.UTF-8", false},
        {nullptr, nullptr, false},
        {nullptr, "jam", true},
        {"C", "ja_JP.UTF-8", false},
        {"ja_JP.UTF-8", "en_US", true},
    };
    const char* savedLang = std::getenv("LANG");
    const std::string keepLang = savedLang ? savedLang : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lcAll ? c.lcAll : "-") + " / " + (c.lang ? c.lang : "-"));
        unsetenv("LC_CTYPE");
        c.lcAll ? setenv("LC_ALL", c.lcAll, 1) : unsetenv("LC_ALL");
        c.lang ? setenv("LANG", c.lang, 1) : unsetenv("LANG");
        sys_reset_japanese();
        EXPECT_EQ(sys_is_japanese(), c.japanese);
        sys_set_japanese(!c.japanese);
        EXPECT_EQ(sys_is_japanese(), !c.japanese);
    }
    unsetenv("LC_ALL");
    savedLang ? setenv("LANG", keepLang.c_str(), 1) : unsetenv("LANG");
    sys_reset_japanese();
}

TEST(SysProbeTest, TempFileNamesAreFreshFilesWithPrefix)
{
    const fs::path dir = fs::temp_directory_path() / ("kvl_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    setenv("TMPDIR", dir.c_str(), 1);
    std::set<std::string> names;
    for (int i = 0; i < 5; ++i) {
        const std::string name = sys_temp_file_name();
        ASSERT_FALSE(name.empty());
        const fs::path p(name);
        EXPECT_EQ(p.parent_path(), dir);
        EXPECT_EQ(p.filename().string().rfind("kvl", 0), 0u) << name;
        EXPECT_NE(p.filename().string(), "kvlXXXXXX");
        EXPECT_TRUE(fs::is_regular_file(p));
        EXPECT_EQ(fs::file_size(p), 0u);
        struct stat st {};
        ASSERT_EQ(stat(name.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << "readable by others";
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 5u);

    // An unusable directory gives an empty name, not a name of a file that does not exist.
    setenv("TMPDIR", (dir / "missing").c_str(), 1);
    EXPECT_STREQ(sys_temp_file_name(), "");
    unsetenv("TMPDIR");
    fs::remove_all(dir);
}

TEST(SysProbeTest, BreakKeyThroughHook)
{
    EXPECT_EQ(sys_break_key_state(), 0);
    EXPECT_EQ(sys_break_pressed(), 0);
    sys_set_break_key_hook([] { return static_cast<int>(0x8001); });
    EXPECT_EQ(sys_break_key_state(), 0x8001);
    EXPECT_EQ(sys_break_pressed(), 1);
    sys_set_break_key_hook([] { return 1; });
    EXPECT_EQ(sys_break_pressed(), 1);
    sys_set_break_key_hook(nullptr);
    EXPECT_EQ(sys_break_pressed(), 0);
}

TEST(SysProbeTest, MeminfoParsing)
{
    struct Case {
        const char* name;
        const char* text;
        long long expected;
    };
    const Case cases[] = {
        {"both fields", "MemTotal: 100 kB\nMemAvailable:  2000 kB\nSwapFree: 48 kB\n",
         2048LL * 1024},
        {"no swap free line", "MemAvailable: 10 kB\n", -1},
        {"no available line", "SwapFree: 10 kB\n", -1},
        {"not a number", "MemAvailable: lots kB\nSwapFree: 0 kB\n", -1},
        {"negative", "MemAvailable: -5 kB\nSwapFree: 0 kB\n", -1},
        {"prefix of another name", "MemAvailableX: 5 kB\nMemAvailable: 1 kB\nSwapFree: 1 kB", 2048},
        {"empty", "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sys_parse_meminfo(c.text), c.expected);
    }
    EXPECT_EQ(sys_parse_meminfo(nullptr), -1);
    EXPECT_GT(sys_free_memory_bytes(), 0);
}

TEST(SysProbeTest, DebugPrintOnlyWithFlag)
{
    ::testing::internal::CaptureStderr();
    sys_debug_flag = false;
    debug_print("hidden");
    sys_debug_flag = true;
    debug_print("shown");
    sys_debug_flag = false;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "shown\n");
}

TEST(SysProbeTest, DeviceMetricsDefaultsAndHooks)
{
    int resolution = 0, points = 0;
    sys_device_resolution(nullptr, nullptr, &resolution, &points);
    EXPECT_EQ(resolution, 96);
    EXPECT_EQ(points, 72);
    EXPECT_EQ(sys_palette_size(nullptr, nullptr), 1L << 24);

    SysDeviceHooks hooks;
    hooks.resolution = [](void*, void*) { return 300; };
    hooks.paletteSize = [](void*, void*) { return 236L; };
    sys_set_device_hooks(hooks);
    sys_device_resolution(nullptr, nullptr, &resolution, &points);
    EXPECT_EQ(resolution, 300);
    EXPECT_EQ(sys_palette_size(nullptr, nullptr), 236);
    sys_set_device_hooks(SysDeviceHooks{});
}

int focusCalls = 0;
int installCalls = 0;

TEST(SysProbeTest, GuiHooks)
{
    sys_focus_app_window();
    sys_install_message_hook();
    sys_set_focus_hook([] { ++focusCalls; });
    sys_set_message_hook_installer([] { ++installCalls; });
    sys_focus_app_window();
    sys_install_message_hook();
    EXPECT_EQ(focusCalls, 1);
    EXPECT_EQ(installCalls, 1);
    sys_set_focus_hook(nullptr);
    sys_set_message_hook_installer(nullptr);
    sys_init_hook();
    sys_exit_hook();
}

}  // namespace
