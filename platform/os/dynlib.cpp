// Dynamic libraries over dlopen.

#include "platform/os/dynlib.h"

#include <dlfcn.h>

void* dynlib_open(const std::string& path, std::string* error) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && error != nullptr) {
        const char* why = ::dlerror();
        *error = why != nullptr ? why : "unknown error";
    }
    return handle;
}

void* dynlib_symbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return ::dlsym(library, name);
}
