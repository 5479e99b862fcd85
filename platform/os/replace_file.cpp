// Replacing a file through a temporary in the same directory (replace_file.h).
#include "platform/os/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

namespace {

std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The permission bits a newly created file gets under the process's umask.
mode_t new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

int close_checked(int fd) {
    // A close interrupted by a signal has still released the descriptor on Linux.
    if (::close(fd) != 0 && errno != EINTR) return errno;
    return 0;
}

// Makes the rename itself durable; a directory that cannot be synced does not undo the save.
void sync_directory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string resolve_link_target(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size() - 1);
        if (n < 0) return current;
        std::string target(buffer.data(), static_cast<std::size_t>(n));
        if (target.empty()) return current;
        if (target[0] != '/') target = directory_of(current) + "/" + target;
        current = target;
    }
    return current;
}

int replace_file(const std::string& path, const std::function<bool(const std::string& tempPath)>& write) {
    if (path.empty()) return ENOENT;
    const std::string target = resolve_link_target(path);
    struct stat old;
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return EISDIR;
    const mode_t mode = exists ? (old.st_mode & 07777) : new_file_mode();

    std::string temp = directory_of(target) + "/." + name_of(target) + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    temp.assign(name.data());

    auto fail = [&](int error, bool open) {
        if (open) ::close(fd);
        ::unlink(temp.c_str());
        return error != 0 ? error : EIO;
    };
    errno = 0;
    if (!write(temp)) return fail(errno, true);
    if (::fchmod(fd, mode) != 0) return fail(errno, true);
    if (::fsync(fd) != 0) return fail(errno, true);
    if (const int error = close_checked(fd)) return fail(error, false);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno, false);
    sync_directory(directory_of(target));
    return 0;
}

int replace_file_contents(const std::string& path, std::string_view bytes) {
    return replace_file(path, [&](const std::string& tempPath) {
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                const int error = errno;
                ::close(fd);
                errno = error;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        const int error = close_checked(fd);
        errno = error;
        return error == 0;
    });
}
