// The input-file stack (see input.h).
#include "tools/vetlin/input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/vetlin/run.h"

namespace {

constexpr int kSlots = 7;

struct InputStack {
    std::FILE* standardInput = nullptr;
    std::FILE* slots[kSlots] = {};
    int current = 0;
};
InputStack stack;

}  // namespace

void input_reset(std::FILE* standardInput) {
    stack = InputStack{};
    stack.standardInput = standardInput;
    stack.slots[0] = standardInput;
}

void input_close_all() {
    for (std::FILE*& f : stack.slots) {
        if (f != nullptr && f != stack.standardInput) std::fclose(f);
        f = nullptr;
    }
    stack.current = 0;
}

namespace {

std::FILE* open_regular(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    std::FILE* f = nullptr;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) f = ::fdopen(fd, "r");
    }
    if (f == nullptr) ::close(fd);
    return f;
}

bool push(const char* path, bool regularOnly) {
    int slot = stack.current + 1;
    if (stack.current == 0 && stack.slots[0] == stack.standardInput) slot = 0;
    if (slot >= kSlots) vl_fatal("too many files simultaneously open for reading");
    std::FILE* f = regularOnly ? open_regular(path) : input_open(path);
    if (f == nullptr) return false;
    stack.slots[slot] = f;
    stack.current = slot;
    return true;
}

}  // namespace

bool input_push(const char* path) { return push(path, false); }

bool input_push_regular(const char* path) { return push(path, true); }

std::FILE* input_open(const char* path) {
    std::FILE* f = std::fopen(path, "re");
    if (f == nullptr) return nullptr;
    struct stat info;
    if (fstat(fileno(f), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

void input_pop() {
    std::FILE*& f = stack.slots[stack.current];
    if (f != nullptr && f != stack.standardInput) std::fclose(f);
    f = nullptr;
    if (stack.current == 0) {
        stack.slots[0] = stack.standardInput;
        return;
    }
    --stack.current;
}

std::FILE* input_current() { return stack.slots[stack.current]; }

int input_slot() { return stack.current; }

bool input_is_terminal() {
    std::FILE* f = input_current();
    struct stat info;
    return f != nullptr && fstat(fileno(f), &info) == 0 && S_ISCHR(info.st_mode);
}
