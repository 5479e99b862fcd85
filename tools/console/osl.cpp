// The console operating-system layer (see osl.h).
#include "tools/console/osl.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::uint64_t clockTotal = 0;
std::uint64_t clockMark = 0;
bool clockStarted = false;
char libraryDirectory[512] = "";
std::string libraryValue;
std::string tempName;
std::size_t allocBlocks = 0;
std::size_t allocBytes = 0;
long failAfter = -1;

}  // namespace

std::uint64_t os_ticks() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::uint64_t(ts.tv_sec) * 1000u + std::uint64_t(ts.tv_nsec) / 1000000u;
}

double os_elapsed_seconds() {
    if (!clockStarted) os_clock_mark();
    return double(os_ticks() + clockTotal - clockMark) / 1000.0;
}

void os_clock_mark() {
    clockMark = os_ticks();
    clockStarted = true;
}

void os_clock_accumulate() {
    std::uint64_t now = os_ticks();
    if (clockStarted) clockTotal += now - clockMark;
    clockMark = now;
    clockStarted = true;
}

int os_system(char* command) {
    if (command == nullptr) return -1;
    for (char* p = command; *p != '\0'; ++p)
        if (*p == '\r' || *p == '\n') *p = ' ';
    os_clock_accumulate();
    int status = std::system(command);
    os_clock_mark();
    return status;
}

const char* os_file_name(const char* name) { return name; }

void os_set_library_directory(const char* module, const char* value) {
    char path[512] = "";
    if (module != nullptr) {
        std::size_t n = std::strlen(module);
        if (n < sizeof path) std::memcpy(path, module, n + 1);
    } else {
        ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        path[n > 0 ? n : 0] = '\0';
    }
    // Cut at the last two separators: /a/b/prog -> /a.
    for (int cut = 0; cut < 2; ++cut) {
        char* slash = std::strrchr(path, '/');
        if (slash == nullptr) {
            path[0] = '\0';
            break;
        }
        *slash = '\0';
    }
    std::memcpy(libraryDirectory, path, std::strlen(path) + 1);
    libraryValue = value != nullptr ? value : "";
}

const char* os_library_directory() { return libraryDirectory; }
const char* os_library_value() { return libraryValue.c_str(); }

const char* os_temp_file_name() {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0' || std::strlen(dir) > 128) dir = "/tmp";
    std::string pattern = std::string(dir) + "/zup4XXXXXX";
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    close(fd);
    tempName = pattern;
    return tempName.c_str();
}

int os_temp_file_beside(const std::string& path, std::string* name) {
    std::string pattern = path + ".XXXXXX";
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0 && name != nullptr) *name = pattern;
    return fd;
}

// Each block carries its size in front, so that the byte total counts what was handed out.
namespace {
constexpr std::size_t kHeader = alignof(std::max_align_t);

bool failing() {
    if (failAfter < 0) return false;
    if (failAfter == 0) return true;
    --failAfter;
    return false;
}
}  // namespace

void* os_alloc(std::size_t bytes) {
    if (failing() || bytes > SIZE_MAX - kHeader) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(bytes + kHeader));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    ++allocBlocks;
    allocBytes += bytes;
    return block + kHeader;
}

void os_free(void* block) {
    if (block != nullptr) std::free(static_cast<unsigned char*>(block) - kHeader);
}

void* os_realloc(void* block, std::size_t bytes) {
    if (block == nullptr) return os_alloc(bytes);
    if (failing() || bytes > SIZE_MAX - kHeader) return nullptr;
    auto* base = static_cast<unsigned char*>(block) - kHeader;
    std::size_t old = 0;
    std::memcpy(&old, base, sizeof old);
    auto* grown = static_cast<unsigned char*>(std::realloc(base, bytes + kHeader));
    if (grown == nullptr) return nullptr;
    std::memcpy(grown, &bytes, sizeof bytes);
    allocBytes = allocBytes - old + bytes;
    return grown + kHeader;
}

std::size_t os_alloc_stats(std::size_t* blocks, std::size_t* bytes) {
    if (blocks != nullptr) *blocks = allocBlocks;
    if (bytes != nullptr) *bytes = allocBytes;
    return allocBytes;
}

void os_alloc_reset_stats() {
    allocBlocks = 0;
    allocBytes = 0;
}

void os_alloc_fail_after(long after) { failAfter = after; }
