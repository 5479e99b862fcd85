// The link log.

#include "kernel_link/kl_log.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <mutex>

namespace {
std::atomic<bool> enabled{false};
std::FILE* logFile = nullptr;
std::mutex logMutex;
}  // namespace

void kl_log_init() {
    std::lock_guard<std::mutex> lock(logMutex);
    logFile = stderr;
}

void kl_log_set_file(std::FILE* file) {
    std::lock_guard<std::mutex> lock(logMutex);
    logFile = file;
}

void kl_log_enable(bool on) { enabled = on; }
bool kl_log_enabled() { return enabled; }

void kl_log(const char* format, ...) {
    if (!enabled) return;
    static const unsigned pid = unsigned(getpid());
    std::lock_guard<std::mutex> lock(logMutex);
    static char line[1024];
    int n = std::snprintf(line, sizeof line, "%u: ", pid);
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(line + n, sizeof line - std::size_t(n), format, ap);
    va_end(ap);
    std::size_t len = std::strlen(line);
    if (len == 0 || line[len - 1] != '\n') {
        if (len + 1 >= sizeof line) len = sizeof line - 2;
        line[len++] = '\n';
        line[len] = '\0';
    }
    std::FILE* f = logFile ? logFile : stderr;
    std::fputs(line, f);
    std::fflush(f);
}
