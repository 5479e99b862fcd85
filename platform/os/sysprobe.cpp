// Operating-system probes over POSIX (see sysprobe.h).
#include "platform/os/sysprobe.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

bool sys_debug_flag = false;

namespace {

// -1 not decided yet (read the locale on first use), else 0 or 1.
int japanese = -1;

char tempName[4096];

int (*breakKeyHook)() = nullptr;
SysDeviceHooks deviceHooks;
void (*focusHook)() = nullptr;
void (*messageHookInstaller)() = nullptr;

bool localeIsJapanese()
{
    // LC_ALL overrides everything, then LC_CTYPE decides the character set, then LANG.
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return std::strncmp(value, "ja", 2) == 0;
    }
    return false;
}

// The value of one "Name:   123 kB" line of /proc/meminfo in bytes, or -1.
long long meminfoField(const char* text, const char* field)
{
    const std::size_t n = std::strlen(field);
    for (const char* line = text; line != nullptr && *line != '\0';) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            char* end = nullptr;
            errno = 0;
            const long long kb = std::strtoll(line + n + 1, &end, 10);
            if (end == line + n + 1 || errno != 0 || kb < 0 || kb > (1LL << 53) / 1024)
                return -1;
            return kb * 1024;
        }
        line = std::strchr(line, '\n');
        if (line != nullptr)
            ++line;
    }
    return -1;
}

}  // namespace

bool sys_is_win32s()
{
    return false;
}

bool sys_is_windows95()
{
    return false;
}

bool sys_is_japanese()
{
    if (japanese < 0)
        japanese = localeIsJapanese() ? 1 : 0;
    return japanese == 1;
}

void sys_set_japanese(bool on)
{
    japanese = on ? 1 : 0;
}

void sys_reset_japanese()
{
    japanese = -1;
}

const char* sys_temp_file_name()
{
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0')
        dir = "/tmp";
    const int n = std::snprintf(tempName, sizeof tempName, "%s/kvlXXXXXX", dir);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof tempName) {
        tempName[0] = '\0';
        return tempName;
    }
    const int fd = mkstemp(tempName);
    if (fd < 0) {
        tempName[0] = '\0';
        return tempName;
    }
    close(fd);
    return tempName;
}

void sys_set_break_key_hook(int (*hook)())
{
    breakKeyHook = hook;
}

int sys_break_key_state()
{
    return breakKeyHook != nullptr ? breakKeyHook() : 0;
}

int sys_break_pressed()
{
    return sys_break_key_state() != 0 ? 1 : 0;
}

int sys_free_system_resources()
{
    return 100;
}

bool sys_resources_low()
{
    return false;
}

long long sys_parse_meminfo(const char* text)
{
    if (text == nullptr)
        return -1;
    const long long available = meminfoField(text, "MemAvailable");
    const long long swap = meminfoField(text, "SwapFree");
    if (available < 0 || swap < 0)
        return -1;
    return available + swap;
}

long long sys_free_memory_bytes()
{
    std::FILE* f = std::fopen("/proc/meminfo", "re");
    if (f == nullptr)
        return -1;
    std::string text;
    char chunk[1024];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0 && text.size() < (1u << 20))
        text.append(chunk, got);
    std::fclose(f);
    return sys_parse_meminfo(text.c_str());
}

long long sys_address_space_left_bytes()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    // The first field of statm is the size of the address space in pages.
    std::FILE* f = std::fopen("/proc/self/statm", "re");
    if (f == nullptr)
        return -1;
    unsigned long long pages = 0;
    int got = std::fscanf(f, "%llu", &pages);
    std::fclose(f);
    if (got != 1)
        return -1;
    long long used = static_cast<long long>(pages) * sysconf(_SC_PAGESIZE);
    long long left = static_cast<long long>(limit.rlim_cur) - used;
    return left > 0 ? left : 0;
}

void debug_print(const char* text)
{
    if (!sys_debug_flag)
        return;
    std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
    std::fflush(stderr);
}

void sys_set_device_hooks(const SysDeviceHooks& hooks)
{
    deviceHooks = hooks;
}

void sys_device_resolution(void* device, void* window, int* resolution, int* points)
{
    const int r = deviceHooks.resolution != nullptr ? deviceHooks.resolution(device, window)
                                                    : SYS_DEFAULT_RESOLUTION;
    if (resolution != nullptr)
        *resolution = r > 0 ? r : SYS_DEFAULT_RESOLUTION;
    if (points != nullptr)
        *points = 72;
}

long sys_palette_size(void* device, void* window)
{
    if (deviceHooks.paletteSize != nullptr)
        return deviceHooks.paletteSize(device, window);
    return SYS_DEFAULT_PALETTE_SIZE;
}

void* sys_device_object_new(void*)
{
    return nullptr;
}

void sys_device_object_delete(void*)
{
}

void sys_set_focus_hook(void (*hook)())
{
    focusHook = hook;
}

void sys_focus_app_window()
{
    if (focusHook != nullptr)
        focusHook();
}

void sys_set_message_hook_installer(void (*installer)())
{
    messageHookInstaller = installer;
}

void sys_install_message_hook()
{
    if (messageHookInstaller != nullptr)
        messageHookInstaller();
}

void sys_init_hook()
{
}

void sys_exit_hook()
{
}
