// Socket folder and service-name checks (rules in dde_socket.h).
#include "platform/dde/dde_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace dde {

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

std::string dde_socket_folder_path(uid_t uid) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg == '/') return std::string(xdg) + "/wkelvo-dde";
    return "/tmp/wkelvo-dde-" + std::to_string(uid);
}

bool dde_prepare_socket_folder(uid_t uid, std::string& folder, std::string* error) {
    folder = dde_socket_folder_path(uid);
    auto refuse = [&](const std::string& why) {
        if (error) *error = "socket folder " + folder + ": " + why;
        return false;
    };
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return refuse(std::strerror(errno));
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return refuse(std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) return refuse("not a directory");
    if (st.st_uid != uid) return refuse("owned by another user");
    if ((st.st_mode & 077) != 0) return refuse("open to other users");
    return true;
}

bool dde_valid_service_name(std::string_view folder, std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos) return false;
    // folder + "/" + name + NUL must fit.
    return folder.size() + 1 + name.size() + 1 <= sizeof(sockaddr_un{}.sun_path);
}

bool dde_socket_address(std::string_view folder, std::string_view name, sockaddr_un& addr, std::string* error) {
    if (!dde_valid_service_name(folder, name)) {
        if (error) *error = "refused service name";
        return false;
    }
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::string path = std::string(folder) + "/" + std::string(name);
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

long long dde_now_ms() {
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace dde
