// Kernel library and server locations.

#include "kernel_link/kl_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#ifndef KELVO_DEFAULT_KERNEL
#define KELVO_DEFAULT_KERNEL "libkkernel.so"
#endif
#ifndef KELVO_DEFAULT_KERNSRV
#define KELVO_DEFAULT_KERNSRV "kernsrv"
#endif

namespace {

bool is_file(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string from_env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

}  // namespace

std::string kl_executable_dir() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, std::size_t(n));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string kl_kernel_library_path() {
    std::string env = from_env("KELVO_KERNEL");
    if (!env.empty()) return env;
    std::string dir = kl_executable_dir();
    if (!dir.empty()) {
        for (const char* rel : {"/libkkernel.so", "/../lib/kelvo/libkkernel.so"})
            if (is_file(dir + rel)) return dir + rel;
    }
    return KELVO_DEFAULT_KERNEL;
}

std::string kl_kernel_server_path() {
    std::string env = from_env("KELVO_KERNSRV");
    if (!env.empty()) return env;
    std::string dir = kl_executable_dir();
    if (!dir.empty() && is_file(dir + "/kernsrv")) return dir + "/kernsrv";
    return KELVO_DEFAULT_KERNSRV;
}
